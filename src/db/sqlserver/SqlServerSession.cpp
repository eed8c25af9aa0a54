#include "SqlServerSession.h"

#include "SqlServerBrowser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>

namespace {

const QString kQodbc = QStringLiteral("QODBC");
// The driver's query timeout: a server that stops answering in the middle of a statement (a
// half-open connection behind a VPN) ends it instead of leaving the program waiting for ever.
constexpr int kQueryTimeoutSeconds = 300;

const char* const kDriverEnv = "ORVANE_TDSODBC";

[[noreturn]] void fail(const QString& message, std::int32_t helpContext = 0)
{
    throw AutomationError(helpContext, message);
}

std::int32_t nativeCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().trimmed().toInt(&ok);
    return ok ? code : 0;
}

QString errorText(const QSqlError& error)
{
    return ReadableSqlErrorText(error.databaseText(), error.driverText());
}

// FreeTDS numbers its own (client-side) messages from 20000; a message below that, or with no
// number, came from the server or the driver manager.
bool clientSide(std::int32_t code)
{
    return code >= 20000 && code < 30000;
}

// Every message of the server itself carries its number; a failure without one, or with one of
// FreeTDS's own, is the connection's rather than the statement's. (The first statement on a
// connection the server dropped fails as "Unknown error" with number 0, the next ones as
// "Communication link failure".)
bool connectionFailure(const QSqlError& error)
{
    const std::int32_t code = nativeCode(error);
    return code == 0 || clientSide(code);
}

QString nextConnectionName()
{
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("orvane-sqlserver-%1").arg(++counter);
}

// The driver's parser takes a braced value up to the first "}" that a ";" follows, and unescapes
// nothing: every value can be written braced except one holding "};" (or a NUL, which would end
// the string early).
QString bracedItem(const char* key, const QString& value, const char* what)
{
    if (value.contains(QLatin1String("};")) || value.contains(QChar(u'\0')))
        fail(QStringLiteral("The %1 contains the characters \"};\" (or a NUL character), which the FreeTDS "
                            "driver cannot be given; change the %1.")
                 .arg(QLatin1String(what)));
    return QLatin1String(key) + QLatin1String("={") + value + QLatin1String("};");
}

// A freetds.conf of this process's own, holding one section per log-in that checks certificates,
// named to FreeTDS once through FREETDSCONF. FreeTDS looks a section up there first and, when the
// file has none of the name asked for, goes on to the user's and the system's files as before.
QString certificateSectionName(const SqlServerLogin& login)
{
    static QMutex mutex;
    static QTemporaryDir* dir = nullptr;
    static QString sections;
    static unsigned next = 0;
    const QMutexLocker lock(&mutex);
    if (!dir) {
        dir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/orvane-freetds-XXXXXX"));
        if (!dir->isValid())
            fail(QStringLiteral("No folder for the FreeTDS settings of a certificate check could be made "
                                "in %1.")
                     .arg(QDir::tempPath()));
        qputenv("FREETDSCONF", QFile::encodeName(dir->filePath(QStringLiteral("freetds.conf"))));
    }
    const QString name = QStringLiteral("orvane-verified-%1").arg(++next);
    sections += TdsCertificateSection(name, login);
    QSaveFile file(dir->filePath(QStringLiteral("freetds.conf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(sections.toUtf8()) < 0 || !file.commit())
        fail(QStringLiteral("The FreeTDS settings of a certificate check could not be written to %1.")
                 .arg(file.fileName()));
    return name;
}

QString usualMultiarch()
{
#if defined(__x86_64__)
    return QStringLiteral("x86_64-linux-gnu");
#elif defined(__aarch64__)
    return QStringLiteral("aarch64-linux-gnu");
#elif defined(__i386__)
    return QStringLiteral("i386-linux-gnu");
#elif defined(__arm__)
    return QStringLiteral("arm-linux-gnueabihf");
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
    return QStringLiteral("powerpc64le-linux-gnu");
#elif defined(__s390x__)
    return QStringLiteral("s390x-linux-gnu");
#else
    return QString();
#endif
}

} // namespace

SqlServerAddress ParseSqlServerName(const QString& server)
{
    QString name = server.trimmed();
    // Client tools accept a protocol prefix; TCP is the only one there is here.
    if (name.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        name = name.mid(4).trimmed();

    SqlServerAddress address;
    const qsizetype comma = name.lastIndexOf(u',');
    if (comma >= 0) {
        const QString portText = name.mid(comma + 1).trimmed();
        bool ok = false;
        const int port = portText.toInt(&ok, 10);
        if (!ok || port < 1 || port > 65535)
            fail(QStringLiteral("The server name \"%1\" ends in \",%2\", which is not a port number.")
                     .arg(server, portText));
        address.port = port;
        name = name.left(comma).trimmed();
    }

    QString host = name;
    QString instance;
    const qsizetype backslash = name.indexOf(u'\\');
    if (backslash >= 0) {
        host = name.left(backslash).trimmed();
        instance = name.mid(backslash + 1).trimmed();
    }
    // The names Windows tools use for the local machine.
    if (host.isEmpty() || host == QLatin1String(".") ||
        host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        host = QStringLiteral("127.0.0.1");
    address.host = instance.isEmpty() ? host : host + u'\\' + instance;
    // Without a port the driver does not fall back to the standard one, it fails; an instance name
    // is resolved by the browser service instead.
    if (address.port == 0 && instance.isEmpty())
        address.port = 1433;
    return address;
}

QString FindTdsOdbcDriver()
{
    const QString override = qEnvironmentVariable(kDriverEnv);
    if (!override.isEmpty()) {
        if (QFileInfo(override).isFile())
            return override;
        fail(QStringLiteral(
                 "The FreeTDS ODBC driver was not found at \"%1\" (named by %2). Install the Debian "
                 "package tdsodbc, or correct %2.")
                 .arg(override, QLatin1String(kDriverEnv)));
    }
    QStringList candidates;
    const QString multiarch = usualMultiarch();
    if (!multiarch.isEmpty())
        candidates << QStringLiteral("/usr/lib/%1/odbc/libtdsodbc.so").arg(multiarch);
    candidates << QStringLiteral("/usr/lib/odbc/libtdsodbc.so")
               << QStringLiteral("/usr/lib64/odbc/libtdsodbc.so")
               << QStringLiteral("/usr/local/lib/libtdsodbc.so") << QStringLiteral("/usr/lib64/libtdsodbc.so")
               << QStringLiteral("/usr/lib/libtdsodbc.so");
    for (const QString& path : std::as_const(candidates)) {
        if (QFileInfo(path).isFile())
            return path;
    }
    fail(QStringLiteral("The FreeTDS ODBC driver (libtdsodbc.so) is not installed; SQL Server cannot be "
                        "reached without it. Install the Debian package tdsodbc."));
}

QString TdsCertificateSection(const QString& name, const SqlServerLogin& login)
{
    const SqlServerAddress address = ParseSqlServerName(login.server);
    const qsizetype backslash = address.host.indexOf(u'\\');
    const QString host = backslash < 0 ? address.host : address.host.left(backslash);
    const QString instance = backslash < 0 ? QString() : address.host.mid(backslash + 1);
    const QString ca = login.certificateAuthority.isEmpty()
                           ? QStringLiteral("system")
                           : QFileInfo(login.certificateAuthority).absoluteFilePath();
    // The file has no quoting: a line break or a comment sign would end or cut the value.
    for (const QString& value : {host, instance, ca}) {
        if (value.contains(u'\n') || value.contains(u'\r') || value.contains(u';') || value.contains(u'#'))
            fail(QStringLiteral("\"%1\" cannot be handed to FreeTDS for a certificate check (it holds a line "
                                "break, \";\" or \"#\").")
                     .arg(value));
    }
    QString s = u'[' + name + QLatin1String("]\n\thost = ") + host + u'\n';
    if (!instance.isEmpty())
        s += QLatin1String("\tinstance = ") + instance + u'\n';
    if (address.port != 0)
        s += QStringLiteral("\tport = %1\n").arg(address.port);
    s += QLatin1String("\tca file = ") + ca + u'\n';
    s += QLatin1String("\tcheck certificate hostname = yes\n");
    return s;
}

QString TdsConnectionString(const QString& driverPath, const SqlServerLogin& login)
{
    const SqlServerAddress address = ParseSqlServerName(login.server);
    if (login.login.isEmpty())
        fail(QStringLiteral("No login name given. Give a SQL Server login, or a Windows account as "
                            "DOMAIN\\user with its password; integrated log-in with the identity of the "
                            "current session (its Kerberos ticket) is not available."));
    // The driver manager reads DRIVER itself; a path only needs braces when it holds a separator.
    QString s = driverPath.contains(u';') ? bracedItem("DRIVER", driverPath, "driver path")
                                          : QLatin1String("DRIVER=") + driverPath + u';';
    if (login.verifyCertificate) {
        s += bracedItem("Servername", certificateSectionName(login), "server name");
    } else {
        s += bracedItem("Server", address.host, "server name");
        if (address.port != 0)
            s += QStringLiteral("Port=%1;").arg(address.port);
    }
    // "request", FreeTDS's own default, is left unsaid.
    if (login.requireEncryption)
        s += QLatin1String("Encryption=require;");
    s += bracedItem("UID", login.login, "login name");
    s += bracedItem("PWD", login.password, "password");
    if (!login.database.isEmpty())
        s += bracedItem("Database", login.database, "database name");
    // The last value must end in ";": Qt hands the driver the string with its NUL, which would
    // otherwise become part of that value.
    s += QStringLiteral("Timeout=%1;").arg(kQueryTimeoutSeconds);
    s += QLatin1String("APP=Orvane;TDS_Version=7.4;ClientCharset=UTF-8;");
    return s;
}

QString ReadableSqlErrorText(const QString& databaseText, const QString& driverText)
{
    static const QRegularExpression tags(QStringLiteral("(?:\\[[^\\[\\]]*\\])+"));
    QStringList parts;
    for (const QString& piece : databaseText.split(tags, Qt::SkipEmptyParts)) {
        const QString part = piece.trimmed();
        if (!part.isEmpty() && !parts.contains(part))
            parts << part;
    }
    if (parts.size() > 1)
        parts.removeIf([](const QString& p) {
            return p.compare(QLatin1String("Unable to connect to data source"), Qt::CaseInsensitive) == 0;
        });
    if (parts.isEmpty()) {
        QString driver = driverText.trimmed();
        if (driver.startsWith(QLatin1String("QODBC:")))
            driver = driver.mid(6).trimmed();
        return driver;
    }
    QString text;
    for (const QString& part : std::as_const(parts)) {
        if (!text.isEmpty()) {
            const QChar last = text.back();
            if (last != u'.' && last != u'!' && last != u'?' && last != u':')
                text += u'.';
            text += u' ';
        }
        text += part;
    }
    return text;
}

SqlServerSession::SqlServerSession(const SqlServerLogin& login, bool autoReconnect)
    : m_login(login), m_autoReconnect(autoReconnect)
{
    if (!QSqlDatabase::isDriverAvailable(kQodbc))
        fail(
            QStringLiteral("Qt's ODBC database driver (QODBC) is not installed; SQL Server cannot be reached "
                           "without it. Install the Debian package libqt6sql6-odbc."));
    m_driverPath = FindTdsOdbcDriver();
    // Written once here so that a value the driver cannot take fails before any network traffic.
    TdsConnectionString(m_driverPath, m_login);

    m_connectionName = nextConnectionName();
    QSqlDatabase::addDatabase(kQodbc, m_connectionName);
    try {
        open();
    } catch (...) {
        // No destructor runs for a session that never came to be.
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

SqlServerSession::~SqlServerSession()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void SqlServerSession::open()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    // The plugin's metadata can be there while the plugin itself cannot load (unixODBC missing).
    if (!db.isValid())
        fail(
            QStringLiteral("Qt's ODBC database driver (QODBC) cannot be loaded; SQL Server cannot be reached "
                           "without it. Install the Debian packages libqt6sql6-odbc and unixodbc."));
    m_databaseKnown = false;
    const int timeoutMs = (m_login.loginTimeout > 0 ? m_login.loginTimeout : 60) * 1000;
    QElapsedTimer clock;
    clock.start();
    const SqlServerAddress address = ParseSqlServerName(m_login.server);
    const qsizetype backslash = address.host.indexOf(u'\\');
    SqlServerLogin target = m_login;
    int lookedUpPort = 0;
    if (backslash >= 0 && address.port == 0) {
        // The driver's own lookup waits far longer than the login timeout and, for a name the host
        // does not know, only says the server is unavailable.
        lookedUpPort =
            LookUpInstancePort(address.host.left(backslash), address.host.mid(backslash + 1), timeoutMs);
        target.server = address.host.left(backslash) + u',' + QString::number(lookedUpPort);
    }
    db.setDatabaseName(TdsConnectionString(m_driverPath, target));
    // What the lookup took comes off the log-in's share; the driver counts whole seconds.
    const int leftSeconds = std::max<int>(1, static_cast<int>((timeoutMs - clock.elapsed() + 999) / 1000));
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(leftSeconds));
    if (db.open()) {
        // The server refuses the log-in when the database named in it cannot be opened.
        m_currentDatabase = m_login.database;
        m_databaseKnown = !m_login.database.isEmpty();
        return;
    }
    const QSqlError error = db.lastError();
    const std::int32_t code = nativeCode(error);
    QString text = errorText(error);
    // Without a server's word the message alone does not say which server could not be reached.
    if (clientSide(code) || code == 0) {
        QString where;
        if (lookedUpPort != 0)
            where = QStringLiteral("host %1, port %2 of instance %3")
                        .arg(address.host.left(backslash))
                        .arg(lookedUpPort)
                        .arg(address.host.mid(backslash + 1));
        else if (backslash < 0)
            where = QStringLiteral("host %1, port %2").arg(address.host).arg(address.port);
        else
            where = QStringLiteral("host %1, port %2, instance %3")
                        .arg(address.host.left(backslash))
                        .arg(address.port)
                        .arg(address.host.mid(backslash + 1));
        text = QStringLiteral("Cannot connect to the SQL Server \"%1\" (%2): %3")
                   .arg(m_login.server, where, text);
        // FreeTDS ends a refused TLS negotiation with its plain 20002 and no reason of its own.
        if (code == 20002 && (m_login.requireEncryption || m_login.verifyCertificate)) {
            text +=
                m_login.verifyCertificate
                    ? QStringLiteral(". The connection was to be encrypted with a trusted certificate: the "
                                     "server does not encrypt, or its certificate is not from a trusted CA "
                                     "or does not name the host \"%1\".")
                          .arg(address.host.section(u'\\', 0, 0))
                    : QStringLiteral(
                          ". The connection was to be encrypted, and the server does not encrypt.");
        }
    }
    fail(text, code);
}

void SqlServerSession::statementFailed(const QSqlError& error) const
{
    QString text = errorText(error);
    // "Unknown error" alone would not say that the server, not the statement, is the trouble.
    if (connectionFailure(error))
        text = QStringLiteral("The connection to the SQL Server \"%1\" failed: %2").arg(m_login.server, text);
    fail(text, nativeCode(error));
}

bool SqlServerSession::reopenAfterLoss(const QSqlError& error)
{
    // A new log-in is cheap next to a report that breaks off; a statement that fails for its own
    // reasons fails again after it and is reported then.
    if (!m_autoReconnect || !connectionFailure(error))
        return false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    open();
    return true;
}

int SqlServerSession::engineEdition()
{
    if (m_engineEdition == 0) {
        int edition = -1;
        select(QString(), QStringLiteral("SELECT CAST(SERVERPROPERTY('EngineEdition') AS int)"),
               [&](const QSqlQuery& q) { edition = q.value(0).toInt(); });
        m_engineEdition = edition;
    }
    return m_engineEdition;
}

void SqlServerSession::useDatabase(const QString& database)
{
    // Names compare as the server's usual collation does, without regard to case.
    if (m_databaseKnown && m_currentDatabase.compare(database, Qt::CaseInsensitive) == 0)
        return;
    if (database.contains(QChar(u'\0')))
        fail(QStringLiteral("A database name cannot contain a NUL character."));
    constexpr int kAzureSqlDatabase = 5;
    if (engineEdition() == kAzureSqlDatabase) {
        // USE may name only the current database there: another one takes a log-in of its own.
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
            db.setDatabaseName(TdsConnectionString(FindTdsOdbcDriver(), [&] {
                SqlServerLogin login = m_login;
                login.database = database;
                return login;
            }()));
        }
        m_login.database = database;
        open();
        return;
    }
    QString quoted = database;
    quoted.replace(u']', QLatin1String("]]"));
    const QString sql = QLatin1String("USE [") + quoted + u']';
    for (bool retried = false;; retried = true) {
        QSqlError failure;
        {
            QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
            q.setForwardOnly(true);
            if (q.exec(sql)) {
                m_currentDatabase = database;
                m_databaseKnown = true;
                return;
            }
            failure = q.lastError();
        }
        // Whether the server switched is not known after a failure: the next use asks again.
        m_databaseKnown = false;
        if (retried || !reopenAfterLoss(failure))
            statementFailed(failure);
    }
}

void SqlServerSession::select(const QString& database, const QString& sql,
                              const std::function<void(const QSqlQuery&)>& eachRow, bool mayReconnect)
{
    selectResults(database, sql, {eachRow}, mayReconnect);
}

void SqlServerSession::selectResults(const QString& database, const QString& sql,
                                     const std::vector<std::function<void(const QSqlQuery&)>>& eachRow,
                                     bool mayReconnect)
{
    for (bool retried = false;; retried = true) {
        if (!database.isEmpty())
            useDatabase(database);
        QSqlError failure;
        {
            QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
            // A scrollable query makes the driver ask for a server cursor.
            q.setForwardOnly(true);
            if (q.exec(sql)) {
                for (std::size_t n = 0; n < eachRow.size(); ++n) {
                    // A statement of the batch that failed ends the results early, with its error.
                    if (n > 0 && !q.nextResult()) {
                        if (q.lastError().isValid())
                            statementFailed(q.lastError());
                        fail(QStringLiteral("The server answered the catalogue query with %1 result(s) "
                                            "instead of %2.")
                                 .arg(n)
                                 .arg(eachRow.size()));
                    }
                    while (q.next())
                        eachRow[n](q);
                    // Rows delivered are not taken back: a failure after them is not retried.
                    if (q.lastError().isValid())
                        statementFailed(q.lastError());
                }
                return;
            }
            failure = q.lastError();
        }
        if (retried || !mayReconnect || !reopenAfterLoss(failure))
            statementFailed(failure);
    }
}
