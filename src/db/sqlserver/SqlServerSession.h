// One log-in to a SQL Server through Qt's ODBC driver, unixODBC and the FreeTDS ODBC driver: the
// pieces the SQL Server provider and its query object share (finding the driver, writing the
// connection string, readable errors, forward-only statements, the current database).
#pragma once

#include "Automation.h"

#include <QSqlQuery>
#include <QString>

#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
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
    // How long a statement waits for the server's answer before it is given up, in seconds; 0 or
    // less means the default (60).
    std::int32_t queryTimeout = 60;
    // ApplicationIntent=ReadOnly: the login declares it only reads, so an availability group's
    // listener routes it to a readable secondary, and a secondary that takes only such logins lets
    // it in.
    bool readOnlyIntent = false;
    // FreeTDS's default (off, off) encrypts whenever the server offers it and takes any certificate.
    bool requireEncryption = false; // refuse a server that does not encrypt
    bool verifyCertificate = false; // the certificate must be trusted and name the host
    QString certificateAuthority;   // PEM file of the trusted CAs; empty: the system store
    // Set from the user's freetds.conf (FreeTdsConfig.h): the protocol version, a client that does
    // not encrypt at all, and whether a checked certificate must name the host.
    QString tdsVersion = QStringLiteral("7.4");
    bool encryptionOff = false;
    bool checkHostName = true;
    std::optional<bool> useNtlmV2; // a Windows login's NTLM version; unset: FreeTDS's (v2)
};

// Where a server name points: the Server= and Port= values of the connection string (port 0: none,
// the instance is found through the server's browser service).
struct SqlServerAddress
{
    QString host; // with "\instance" when one was named
    int port = 0;
};

// Throws AutomationError for a name whose port is not a port number. An IPv6 address may be
// written bare ("fe80::1") or in brackets ("[::1]", "[::1],1433"); the host comes without them.
SqlServerAddress ParseSqlServerName(const QString& server);

// The seconds a log-in's statements wait for the server: the query timeout, or the default.
std::int32_t EffectiveQueryTimeout(const SqlServerLogin& login);

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

// The folder the last log-in wrote its FreeTDS settings to (empty when it needed none); it is gone
// once that log-in has been made or refused.
QString LastSqlServerSettingsFolder();

// The messages of an ODBC error without the driver's "[FreeTDS][SQL Server]" tags and without the
// driver manager's generic "Unable to connect to data source" when something more telling came.
QString ReadableSqlErrorText(const QString& databaseText, const QString& driverText);

// The rows of a statement that rode along with another batch, kept until asked for.
struct SqlServerRows
{
    QStringList fields;
    std::vector<QStringList> rows;
};

class SqlServerSession
{
public:
    // Logs in; throws AutomationError with the server's or the driver's message.
    SqlServerSession(const SqlServerLogin& login, bool autoReconnect);

    // Logs in as the constructor does; the session is lent to the callers of Borrow() for as
    // long as it lives.
    static std::shared_ptr<SqlServerSession> OpenPooled(const SqlServerLogin& login, bool autoReconnect);
    // The open pooled session of the same log-in (server, login, password, database and every
    // connection setting but the login timeout), as ADO's session pooling hands one out; null
    // when there is none.
    static std::shared_ptr<SqlServerSession> Borrow(const SqlServerLogin& login);

    // Statements that ride along, once per database, with the next batch run in that database
    // (after its own statements, so that they cannot change its results); their rows are kept
    // for takeRows(). A failing one costs nothing but its rows.
    void setRideAlong(const QStringList& statements) { m_rideAlong = statements; }
    // The rows sql gave when it rode along in database, handed out once; nullopt when it did not
    // ride along there (or failed).
    std::optional<SqlServerRows> takeRows(const QString& database, const QString& sql);
    // The rows sql gave when it rode along in database, kept for the next caller.
    const SqlServerRows* rows(const QString& database, const QString& sql) const;
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
    void readRideAlong(QSqlQuery& q, const QString& database);
    bool reopenAfterLoss(const QSqlError& error);
    [[noreturn]] void statementFailed(const QSqlError& error) const;

    SqlServerLogin m_login;
    SqlServerLogin m_asked; // as the log-in was asked for: what Borrow() compares
    QString m_driverPath;
    bool m_autoReconnect;
    QString m_connectionName;
    QString m_currentDatabase;
    bool m_databaseKnown = false;
    int m_engineEdition = 0; // 0: not asked yet
    QStringList m_rideAlong;
    QStringList m_rodeAlongIn; // the databases (case-folded) whose batch the statements rode with
    std::map<std::pair<QString, QString>, SqlServerRows> m_kept; // (database case-folded, sql)
};
