// The user's freetds.conf as FreeTDS itself would read it for a server name: the program connects
// with a connection string, for which the driver reads no such file, so the settings a user keeps
// there are read here and put into the log-in. Read: [global] and the section named like the
// server's host (as FreeTDS looks them up: $FREETDSCONF, else ~/.freetds.conf, else the system's
// /etc/freetds/freetds.conf, the first file that has the section ending the search), and of them
// host, port, instance, tds version, encryption, ca file, check certificate hostname, read-only
// intent and use ntlmv2. What the program is told (a port in the server name, --encrypt, --ca-file, ...)
// wins.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct SqlServerLogin;

struct FreeTdsSettings
{
    QString host;     // a section's host: the name is an alias
    int port = 0;     // 0: not set
    QString instance; // looked up through the SQL Server Browser when no port is set
    QString tdsVersion;
    QString encryption; // "off", "request" or "require" as written (lower case)
    QString caFile;
    std::optional<bool> checkHostName;
    std::optional<bool> readOnlyIntent;
    std::optional<bool> useNtlmV2;
};

// The files FreeTDS reads, in its order, whether they exist or not.
QStringList FreeTdsConfigFiles();

// Applies the [global] section of text and then the section named section (without regard to
// case, as FreeTDS matches it) to settings; true when the named section is there.
bool ParseFreeTdsConf(const QString& text, const QString& section, FreeTdsSettings& settings);

// The settings for a server name, read from the files.
FreeTdsSettings ReadFreeTdsSettings(const QString& section);

// The log-in with what the user's freetds.conf sets for its server put in where the log-in itself
// says nothing.
SqlServerLogin WithFreeTdsSettings(const SqlServerLogin& login);
