// The "SQLDMO.SQLServer" provider: a SQL Server's catalogue as automation objects (SQLServer,
// Databases, Database, Tables, Views, Table, View, Columns, Column) over ODBC (FreeTDS). The
// databases come from sys.databases (sysdatabases where it is missing); a database's structure
// (SqlServerCatalogue.h) is read whole, in one round trip, when its first collection is asked for, and serves
// its collections and its structure model (the Database object is a TCatalogueSource). Tables and views of a
// schema other than dbo are named "schema.name". Collections count from 1, are ordered by name as the server
// sorts and are kept by their object. Objects handed out stay usable after the server object is
// released. Failures throw AutomationError with the server's or the driver's message.
#pragma once

#include "Automation.h"
#include "QueryObject.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// A new, unconnected server object (the factory for "SQLDMO.SQLServer"). Members: LoginSecure
// (only False can log in), LoginTimeout (seconds), AutoReconnect, EncryptionRequired,
// CertificateChecked, CertificateAuthority (a PEM file; empty: the system store), Connect(server,
// login, password), DisConnect, Name, Databases.
DispatchPtr CreateSqlServerObject();

// The system-table query object for SQL Server: logs in with the Data Source, User ID and Password
// of an ADO connection string, switches to its Initial Catalog and runs the statement as given.
std::unique_ptr<TQueryObject> CreateSqlServerQueryObject();

// The column length a SQL Server table definition shows: characters for the Unicode character types
// (whose stored length is in bytes), -1 for the max types, otherwise the stored length. baseType is
// the physical type number (systypes.xtype), storedLength syscolumns.length.
std::int32_t SqlServerColumnLength(std::int32_t baseType, std::int32_t storedLength);

// For the data link dialog: the names of the server's databases, in the server's order. Throws
// AutomationError when the log-in fails.
QStringList ListSqlServerDatabases(const QString& server, const QString& login, const QString& password,
                                   std::int32_t loginTimeout = 15);

// For the data link dialog's test button: logs in (and, when database is given, opens that database
// and reads its table list). Returns the failure's message, or an empty text when all went well.
QString TestSqlServerConnection(const QString& server, const QString& login, const QString& password,
                                const QString& database = QString(), std::int32_t loginTimeout = 15);
