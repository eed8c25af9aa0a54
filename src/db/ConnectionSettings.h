// The main window's connection settings turned into the two connection strings it opens, and the
// SQL Server settings read back from a string the data link dialog returned. Kept free of widgets
// so the window, the profiles and the command line share one definition.
#pragma once

#include <QString>

struct TConnectionProperties
{
    QString Server;
    QString Database;
    QString User;
    QString Password;
    QString UserPassword;
    QString SystemDatabase;
    QString SavePW;
    // "True" or "False" as the OLE DB properties "Use Encryption for Data" and "Trust Server
    // Certificate" take them; empty: not named in the string, FreeTDS's default.
    QString UseEncryption = {};
    QString TrustServerCertificate = {};
    // The OLE DB properties "General Timeout" (seconds a statement waits for the server) and
    // "Application Intent" ("ReadOnly" or "ReadWrite"); empty: not named, the program's default.
    QString GeneralTimeout = {};
    QString ApplicationIntent = {};
};

// Workgroup file named in every Access string, whatever SystemDatabase holds.
inline const QString AccessSystemDatabasePath = QStringLiteral("C:\\temp\\Karvenix.mdw");

QString BuildSQLServerConnectionString(const TConnectionProperties& props);
QString BuildAccessConnectionString(const TConnectionProperties& props);

// Sets Server, Database, User, Password, SavePW, UseEncryption, TrustServerCertificate, GeneralTimeout and
// ApplicationIntent from the items that
// begin with their keys (at most 100 characters each); keys that are absent leave their property alone. When
// SavePW ends up "False", Password is emptied.
void ApplySQLServerConnectionString(const QString& connectionString, TConnectionProperties& props);
