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
    // "Use Encryption for Data" and "Trust Server Certificate": "True", "False", or empty when the
    // string does not name them (then they are left out again).
    QString UseEncryption = {};
    QString TrustServerCertificate = {};
    // "General Timeout" (seconds) and "Application Intent" ("ReadOnly", "ReadWrite"); empty when
    // the string does not name them.
    QString GeneralTimeout = {};
    QString ApplicationIntent = {};
};

// The settings of an initialisation string; keys are matched as the provider does, without regard
// to case.
TDataLinkFields ParseDataLinkString(const QString& connectionString);
// "Provider=SQLOLEDB.1;Password=...;Persist Security Info=...;User ID=...;Initial Catalog=...;
// Data Source=...", values quoted where they need it. The password is always included.
QString ComposeDataLinkString(const TDataLinkFields& fields);

// Logs in through the SQL Server back end with a connection string and reads the server's
// database names; throws on failure. A database the log-in cannot open (mistyped, or no access)
// does not stop the list: it is read from master then. A refused log-in that named no database
// says that one must be named where the server asks for it (Azure SQL Database, contained users).
QStringList ListServerDatabases(const QString& connectionString);

// A refused log-in that named no database, with what the user should do: name one, since Azure
// SQL Database (recognised by its host names) and a contained user's database take no log-in
// without it.
QString MustNameDatabaseText(const QString& server, const QString& refusal);

// The text of a failed log-in as the user reads it: a server that cannot be reached is named, in
// the UI language, with the driver's own words on the line after; any other failure's text comes
// back as the driver gave it.
QString ServerFailureText(const QString& server, const QString& driverText);
