// One log-in to a SQL Server through Qt's ODBC driver, unixODBC and the FreeTDS ODBC driver: the
// pieces the SQL Server provider and its query object share (finding the driver, writing the
// connection string, readable errors, forward-only statements, the current database).
#pragma once

#include "Automation.h"

#include <QSqlQuery>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QSqlError;

struct SqlServerLogin
{
    QString server; // "host", "host,port", "host\instance" or "host\instance,port"
    QString login;
    QString password;
    // The database the log-in asks for (LOGIN7's database): where the session starts without a
    // USE, and the only way into a database of Azure SQL Database or for a contained user.
    QString database;
    std::int32_t loginTimeout = 60; // seconds; 0 or less means the default
    // FreeTDS's default (off, off) encrypts whenever the server offers it and takes any certificate.
    bool requireEncryption = false; // refuse a server that does not encrypt
    bool verifyCertificate = false; // the certificate must be trusted and name the host
    QString certificateAuthority;   // PEM file of the trusted CAs; empty: the system store
};

// Where a server name points: the Server= and Port= values of the connection string (port 0: none,
// the instance is found through the server's browser service).
struct SqlServerAddress
{
    QString host; // with "\instance" when one was named
    int port = 0;
};

// Throws AutomationError for a name whose port is not a port number.
SqlServerAddress ParseSqlServerName(const QString& server);

// The path of libtdsodbc.so: ORVANE_TDSODBC when set, else the usual install places. Throws
// AutomationError naming the Debian package when there is none.
QString FindTdsOdbcDriver();

// The freetds.conf section a log-in that checks the certificate is made through: FreeTDS 1.3
// takes the CA file and the host name check only from there, never from the connection string.
// Throws AutomationError for a value the file cannot hold.
QString TdsCertificateSection(const QString& name, const SqlServerLogin& login);

// The DSN-less connection string for the driver. Throws AutomationError for a value the driver's
// parser cannot take whole, rather than sending a cut password or login.
QString TdsConnectionString(const QString& driverPath, const SqlServerLogin& login);

// The messages of an ODBC error without the driver's "[FreeTDS][SQL Server]" tags and without the
// driver manager's generic "Unable to connect to data source" when something more telling came.
QString ReadableSqlErrorText(const QString& databaseText, const QString& driverText);

class SqlServerSession
{
public:
    // Logs in; throws AutomationError with the server's or the driver's message.
    SqlServerSession(const SqlServerLogin& login, bool autoReconnect);
    ~SqlServerSession();
    SqlServerSession(const SqlServerSession&) = delete;
    SqlServerSession& operator=(const SqlServerSession&) = delete;

    // Makes database the current one unless it is already: by USE, or, where the server allows no
    // USE between databases (Azure SQL Database), by logging in to it. Throws AutomationError.
    void useDatabase(const QString& database);

    // SERVERPROPERTY('EngineEdition'), asked once, where Azure SQL Database (5) differs.
    int engineEdition();

    // Runs sql in database (the current one when empty) and hands every row to eachRow; throws
    // AutomationError with the server's message. A lost connection is reopened once when
    // autoReconnect is on and the statement had not started to deliver rows.
    void select(const QString& database, const QString& sql,
                const std::function<void(const QSqlQuery&)>& eachRow, bool mayReconnect = true);

    // Runs a batch of several SELECTs in one round trip and hands the rows of the n-th result set to
    // eachRow[n]; throws AutomationError with the server's message when a statement fails or the
    // batch gives fewer results than handlers. Reconnects as select does unless mayReconnect is off;
    // the USE before it may still log in again, as a connection lost while idle is found there.
    void selectResults(const QString& database, const QString& sql,
                       const std::vector<std::function<void(const QSqlQuery&)>>& eachRow,
                       bool mayReconnect = true);

    void setAutoReconnect(bool on) { m_autoReconnect = on; }
    const QString& serverName() const { return m_login.server; }
    const QString& connectionName() const { return m_connectionName; }

private:
    void open();
    bool reopenAfterLoss(const QSqlError& error);
    [[noreturn]] void statementFailed(const QSqlError& error) const;

    SqlServerLogin m_login;
    QString m_driverPath;
    bool m_autoReconnect;
    QString m_connectionName;
    QString m_currentDatabase;
    bool m_databaseKnown = false;
    int m_engineEdition = 0; // 0: not asked yet
};
