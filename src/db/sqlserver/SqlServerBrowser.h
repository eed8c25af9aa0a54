// Finding a named SQL Server instance ("host\NAME") the way Microsoft's clients do: one datagram to
// the SQL Server Browser on UDP port 1434 of the host, whose answer names the instance's TCP port.
// Done here rather than by the driver so that the lookup ends within the login timeout and a name
// the host does not know is reported as such.
#pragma once

#include <QByteArray>
#include <QString>

// The TCP port the Browser's answer (an SVR_RESP datagram, or just its text) gives for instance;
// 0 when the answer does not name the instance or the instance takes no TCP connections.
int TcpPortOfInstance(const QByteArray& response, const QString& instance);

// Asks the Browser on host for instance's TCP port and waits at most timeoutMs for the answer.
// Throws AutomationError with a message naming instance and host when there is no usable answer.
// ORVANE_SQLBROWSER_PORT, when set, replaces UDP port 1434 (tests run their own responder).
int LookUpInstancePort(const QString& host, const QString& instance, int timeoutMs);
