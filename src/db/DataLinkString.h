// The OLE DB initialisation string of the SQL Server data link: its settings read and composed,
// and the database list the dialog offers, read from the server.
#pragma once

#include <QString>
#include <QStringList>

struct TDataLinkFields
{
    QString Server;
    QString User;
    QString Password;
    bool SavePassword = false;
    QString Database;
};

// The settings of an initialisation string; keys are matched as the provider does, without regard
// to case.
TDataLinkFields ParseDataLinkString(const QString& connectionString);
// "Provider=SQLOLEDB.1;Password=...;Persist Security Info=...;User ID=...;Initial Catalog=...;
// Data Source=...", values quoted where they need it. The password is always included.
QString ComposeDataLinkString(const TDataLinkFields& fields);

// Logs in through the SQL Server back end with a connection string and reads the server's
// database names; throws on failure.
QStringList ListServerDatabases(const QString& connectionString);
