#include "SqlServerSession.h"

#include "FreeTdsConfig.h"
#include "SqlServerBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

namespace {

const QString kQodbc = QStringLiteral("QODBC");
// The driver's query timeout when none is chosen: a server that stops answering in the middle of a
// statement (a half-open connection behind a VPN) ends it instead of leaving the program waiting
// for ever.
constexpr int kDefaultQueryTimeoutSeconds = 60;

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

// FreeTDS takes some settings only from files: the CA file and the host name check from a
// freetds.conf section, and a database name holding "};" only from an odbc.ini DSN (the
// connection string cannot hold it, freetds.conf cuts a value at ";"). A log-in that needs them
// gets a folder of its own for the time it takes: named to FreeTDS through FREETDSCONF and
// ODBCINI while the driver connects, removed as soon as it has, whatever the outcome.
class DriverFiles
{
public:
    DriverFiles() = default;
    DriverFiles(const DriverFiles&) = delete;
    DriverFiles& operator=(const DriverFiles&) = delete;
    ~DriverFiles()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
        if (m_dir)
            m_dir->remove();
    }

    // Writes the file and names it to the driver in the variable; the old value comes back when
    // this ends.
    void write(const char* variable, const QString& fileName, const QString& text)
    {
        if (!m_dir) {
            m_dir =
                std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvane-freetds-XXXXXX"));
            if (!m_dir->isValid())
                fail(QStringLiteral("No folder for the FreeTDS settings of this log-in could be made in %1.")
                         .arg(QDir::tempPath()));
        }
        QSaveFile file(m_dir->filePath(fileName));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
            fail(QStringLiteral("The FreeTDS settings of this log-in could not be written to %1.")
                     .arg(file.fileName()));
        if (!std::any_of(m_saved.begin(), m_saved.end(), [&](const auto& e) { return e.first == variable; }))
            m_saved.emplace_back(variable, qEnvironmentVariableIsSet(variable)
                                               ? std::optional<QByteArray>(qgetenv(variable))
                                               : std::nullopt);
        qputenv(variable, QFile::encodeName(file.fileName()));
    }

    QString folder() const { return m_dir ? m_dir->path() : QString(); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

// The folder of the log-in being made, for tests that check it is gone afterwards.
QString g_lastDriverFolder;

// What the driver's parser cannot take braced: a value holding "};".
bool needsDsn(const QString& value)
{
    return value.contains(QLatin1String("};"));
}

// The sections and DSNs are named afresh for every log-in, so two never mix.
QString nextFileSectionName()
{
    static std::atomic<unsigned> next{0};
    return QStringLiteral("orvane-%1-%2").arg(QCoreApplication::applicationPid()).arg(++next);
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
    // An IPv6 address in brackets, as URLs write it: the address is what lies between them.
    if (host.startsWith(u'[')) {
        if (!host.endsWith(u']') || host.size() < 3)
            fail(QStringLiteral(
                     "The server name \"%1\" opens a \"[\" for an IPv6 address that no \"]\" closes.")
                     .arg(server));
        host = host.mid(1, host.size() - 2).trimmed();
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
    s += login.checkHostName ? QLatin1String("\tcheck certificate hostname = yes\n")
                             : QLatin1String("\tcheck certificate hostname = no\n");
    return s;
}

namespace {

// The connection string, and with files the settings the string cannot carry written where the
// driver reads them; without, the names they would be found under stand in (to check the values
// before anything is sent).
QString connectionString(const QString& driverPath, const SqlServerLogin& login, DriverFiles* files)
{
    const SqlServerAddress address = ParseSqlServerName(login.server);
    if (login.login.isEmpty())
        fail(QStringLiteral("No login name given. Give a SQL Server login, or a Windows account as "
                            "DOMAIN\\user with its password; integrated log-in with the identity of the "
                            "current session (its Kerberos ticket) is not available."));
    if (login.database.contains(QChar(u'\0')))
        fail(QStringLiteral("A database name cannot contain a NUL character."));
    const bool dsn = needsDsn(login.database);
    // An odbc.ini value loses the blanks around it; a name that needs one and has them cannot be
    // given at all.
    if (dsn && login.database.trimmed() != login.database)
        fail(QStringLiteral("The database name \"%1\" holds the characters \"};\" and begins or ends with a "
                            "blank; the FreeTDS driver cannot be given such a name.")
                 .arg(login.database));
    QString where;
    if (login.verifyCertificate) {
        const QString section = files ? nextFileSectionName() : QStringLiteral("orvane-verified");
        if (files)
            files->write("FREETDSCONF", QStringLiteral("freetds.conf"),
                         TdsCertificateSection(section, login));
        else
            TdsCertificateSection(section, login);
        where = dsn ? QLatin1String("Servername = ") + section + u'\n'
                    : bracedItem("Servername", section, "server name");
    } else {
        // An IPv6 address goes bare, its port apart: the driver resolves the text as it stands.
        if (dsn) {
            where = QLatin1String("Server = ") + address.host + u'\n';
            if (address.port != 0)
                where += QStringLiteral("Port = %1\n").arg(address.port);
        } else {
            where = bracedItem("Server", address.host, "server name");
            if (address.port != 0)
                where += QStringLiteral("Port=%1;").arg(address.port);
        }
    }
    // The driver manager reads DRIVER itself; a path only needs braces when it holds a separator.
    // Qt's ODBC driver passes a string on as it is only when it names DRIVER (or SERVER).
    QString s = driverPath.contains(u';') ? bracedItem("DRIVER", driverPath, "driver path")
                                          : QLatin1String("DRIVER=") + driverPath + u';';
    if (dsn) {
        // FreeTDS takes the server and the database from the DSN (it refuses a SERVER beside it);
        // the rest stays in the string.
        const QString name = files ? nextFileSectionName() : QStringLiteral("orvane-database");
        if (driverPath.contains(u'\n') || login.database.contains(u'\n') || login.database.contains(u'\r'))
            fail(QStringLiteral("A database name holding \"};\" cannot also hold a line break."));
        if (files)
            files->write("ODBCINI", QStringLiteral("odbc.ini"),
                         u'[' + name + QLatin1String("]\nDriver = ") + driverPath + u'\n' + where +
                             QLatin1String("Database = ") + login.database + u'\n');
        s += bracedItem("DSN", name, "data source name");
    } else {
        s += where;
    }
    // "request", FreeTDS's own default, is left unsaid.
    if (login.requireEncryption)
        s += QLatin1String("Encryption=require;");
    else if (login.encryptionOff)
        s += QLatin1String("Encryption=off;");
    s += bracedItem("UID", login.login, "login name");
    s += bracedItem("PWD", login.password, "password");
    if (!login.database.isEmpty() && !dsn)
        s += bracedItem("Database", login.database, "database name");
    if (login.readOnlyIntent)
        s += QLatin1String("ApplicationIntent=ReadOnly;");
    if (login.useNtlmV2)
        s += *login.useNtlmV2 ? QLatin1String("UseNTLMv2=yes;") : QLatin1String("UseNTLMv2=no;");
    // The last value must end in ";": Qt hands the driver the string with its NUL, which would
    // otherwise become part of that value.
    s += QStringLiteral("Timeout=%1;").arg(EffectiveQueryTimeout(login));
    s += QLatin1String("APP=Orvane;TDS_Version=") + login.tdsVersion + QLatin1String(";ClientCharset=UTF-8;");
    return s;
}

} // namespace

std::int32_t EffectiveQueryTimeout(const SqlServerLogin& login)
{
    return login.queryTimeout > 0 ? login.queryTimeout : kDefaultQueryTimeoutSeconds;
}

QString TdsConnectionString(const QString& driverPath, const SqlServerLogin& login)
{
    return connectionString(driverPath, login, nullptr);
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

namespace {

// The pooled sessions, as their owners hold them: a session is lent while someone keeps it.
struct Pool
{
    QMutex mutex;
    std::vector<std::weak_ptr<SqlServerSession>> sessions;
};

Pool& pool()
{
    static Pool p;
    return p;
}

// Two log-ins are one when everything that reaches the server is the same; how long the log-in may
// wait does not matter to a session that is open.
bool sameLogIn(const SqlServerLogin& a, const SqlServerLogin& b)
{
    return a.server == b.server && a.login == b.login && a.password == b.password &&
           a.database == b.database && a.requireEncryption == b.requireEncryption &&
           a.verifyCertificate == b.verifyCertificate && a.certificateAuthority == b.certificateAuthority &&
           EffectiveQueryTimeout(a) == EffectiveQueryTimeout(b) && a.readOnlyIntent == b.readOnlyIntent;
}

bool timedOut(const QSqlError& error)
{
    return error.databaseText().contains(QLatin1String("Timeout expired"), Qt::CaseInsensitive) ||
           error.driverText().contains(QLatin1String("Timeout expired"), Qt::CaseInsensitive);
}

// How a log-in that had to be encrypted (and perhaps checked) was refused, learnt by logging in
// again with a made-up login that the server turns away: the server's refusal says the step before
// it went through, FreeTDS's own failure that it did not. No credential of the user's goes to a
// server whose certificate failed the check.
enum class EncryptionRefusal
{
    Unknown,
    NotEncrypted,
    CertificateNotTrusted,
    HostNameMismatch
};

const QString kProbeLogin = QStringLiteral("orvane-encryption-probe");

// True when the server itself answered a probe log-in (and so the TLS handshake went through).
bool serverAnswers(const QString& driverPath, SqlServerLogin probe, int timeoutSeconds, bool checkHostName)
{
    probe.login = kProbeLogin;
    probe.password.clear();
    const QString name = QStringLiteral("orvane-probe-%1").arg(nextFileSectionName());
    bool answered = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kQodbc, name);
        DriverFiles files;
        probe.checkHostName = checkHostName && probe.checkHostName;
        const QString cs = connectionString(driverPath, probe, &files);
        db.setDatabaseName(cs);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(timeoutSeconds));
        if (db.open()) {
            answered = true; // a server that takes any login: the handshake went through too
            db.close();
        } else {
            const std::int32_t code = nativeCode(db.lastError());
            answered = code != 0 && !clientSide(code);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return answered;
}

EncryptionRefusal diagnoseRefusal(const QString& driverPath, const SqlServerLogin& login, int timeoutSeconds)
{
    SqlServerLogin plain = login;
    plain.database.clear();
    plain.requireEncryption = true;
    plain.verifyCertificate = false;
    if (!serverAnswers(driverPath, plain, timeoutSeconds, true))
        return EncryptionRefusal::NotEncrypted;
    if (!login.verifyCertificate)
        return EncryptionRefusal::Unknown;
    SqlServerLogin checked = login;
    checked.database.clear();
    if (!serverAnswers(driverPath, checked, timeoutSeconds, false))
        return EncryptionRefusal::CertificateNotTrusted;
    return EncryptionRefusal::HostNameMismatch;
}

} // namespace

QString LastSqlServerSettingsFolder()
{
    return g_lastDriverFolder;
}

SqlServerSession::SqlServerSession(const SqlServerLogin& login, bool autoReconnect)
    : m_login(login), m_asked(login), m_autoReconnect(autoReconnect)
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

std::shared_ptr<SqlServerSession> SqlServerSession::OpenPooled(const SqlServerLogin& login,
                                                               bool autoReconnect)
{
    auto session = std::make_shared<SqlServerSession>(login, autoReconnect);
    Pool& p = pool();
    const QMutexLocker lock(&p.mutex);
    std::erase_if(p.sessions, [](const std::weak_ptr<SqlServerSession>& w) { return w.expired(); });
    p.sessions.push_back(session);
    return session;
}

std::shared_ptr<SqlServerSession> SqlServerSession::Borrow(const SqlServerLogin& login)
{
    Pool& p = pool();
    const QMutexLocker lock(&p.mutex);
    for (const std::weak_ptr<SqlServerSession>& w : p.sessions) {
        if (std::shared_ptr<SqlServerSession> session = w.lock();
            session && sameLogIn(session->m_asked, login))
            return session;
    }
    return nullptr;
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
    // What the user's freetds.conf sets for the server, where the log-in says nothing itself.
    SqlServerLogin target = WithFreeTdsSettings(m_login);
    const SqlServerAddress address = ParseSqlServerName(target.server);
    const qsizetype backslash = address.host.indexOf(u'\\');
    int lookedUpPort = 0;
    if (backslash >= 0 && address.port == 0) {
        // The driver's own lookup waits far longer than the login timeout and, for a name the host
        // does not know, only says the server is unavailable.
        lookedUpPort =
            LookUpInstancePort(address.host.left(backslash), address.host.mid(backslash + 1), timeoutMs);
        target.server = address.host.left(backslash) + u',' + QString::number(lookedUpPort);
    }
    bool opened = false;
    {
        DriverFiles files;
        db.setDatabaseName(connectionString(m_driverPath, target, &files));
        g_lastDriverFolder = files.folder();
        // What the lookup took comes off the log-in's share; the driver counts whole seconds.
        const int leftSeconds =
            std::max<int>(1, static_cast<int>((timeoutMs - clock.elapsed() + 999) / 1000));
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(leftSeconds));
        opened = db.open();
    }
    if (opened) {
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
        const QString host = backslash < 0 ? address.host : address.host.left(backslash);
        if (lookedUpPort != 0)
            where = QStringLiteral("host %1, port %2 of instance %3")
                        .arg(host)
                        .arg(lookedUpPort)
                        .arg(address.host.mid(backslash + 1));
        else if (backslash < 0)
            where = QStringLiteral("host %1, port %2").arg(host).arg(address.port);
        else
            where = QStringLiteral("host %1, port %2, instance %3")
                        .arg(host)
                        .arg(address.port)
                        .arg(address.host.mid(backslash + 1));
        text = QStringLiteral("Cannot connect to the SQL Server \"%1\" (%2): %3")
                   .arg(m_login.server, where, text);
        // FreeTDS ends a refused TLS negotiation with its plain 20002 and no reason of its own.
        if (code == 20002 && (target.requireEncryption || target.verifyCertificate)) {
            const int leftSeconds =
                std::max<int>(1, static_cast<int>((timeoutMs - clock.elapsed() + 999) / 1000));
            switch (diagnoseRefusal(m_driverPath, target, leftSeconds)) {
            case EncryptionRefusal::NotEncrypted:
                text +=
                    QStringLiteral(". The connection was to be encrypted, and the server does not encrypt.");
                break;
            case EncryptionRefusal::CertificateNotTrusted:
                text +=
                    QStringLiteral(". The connection was to be encrypted with a trusted certificate, and the "
                                   "server's certificate is not from a trusted CA (%1). Name the CA's "
                                   "certificate with --ca-file, or take the certificate unchecked with "
                                   "--trust-server-certificate.")
                        .arg(target.certificateAuthority.isEmpty()
                                 ? QStringLiteral("the system's store")
                                 : QStringLiteral("the file %1").arg(target.certificateAuthority));
                break;
            case EncryptionRefusal::HostNameMismatch:
                text +=
                    QStringLiteral(". The server's certificate is trusted but is not made out for the host "
                                   "name \"%1\": connect by a name the certificate names, or take it "
                                   "unchecked with --trust-server-certificate.")
                        .arg(host);
                break;
            case EncryptionRefusal::Unknown:
                text += QStringLiteral(". The connection was to be encrypted; the encrypted log-in failed.");
                break;
            }
        } else if (target.encryptionOff && (code == 20002 || code == 20017)) {
            text += QStringLiteral(
                ". The connection was not to be encrypted (\"encryption = off\" in freetds.conf), "
                "and a server that requires encryption turns such a client away.");
        }
    }
    fail(text, code);
}

void SqlServerSession::statementFailed(const QSqlError& error) const
{
    QString text = errorText(error);
    if (timedOut(error))
        text = QStringLiteral("The SQL Server \"%1\" did not answer within %2 seconds (the query timeout); "
                              "the statement was given up. A longer wait can be chosen as the query timeout "
                              "(--query-timeout, or the data link's query timeout).")
                   .arg(m_login.server)
                   .arg(EffectiveQueryTimeout(m_login));
    // "Unknown error" alone would not say that the server, not the statement, is the trouble.
    else if (connectionFailure(error))
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

namespace {

// The statements after the batch, each ended by ";" (a server takes it; the test server needs it).
QString withRideAlong(const QString& sql, const QStringList& statements)
{
    QString batch = sql.trimmed();
    if (!batch.endsWith(u';'))
        batch += u';';
    for (const QString& statement : statements)
        batch += u'\n' + statement + u';';
    return batch;
}

} // namespace

void SqlServerSession::selectResults(const QString& database, const QString& sql,
                                     const std::vector<std::function<void(const QSqlQuery&)>>& eachRow,
                                     bool mayReconnect)
{
    const QString key = database.toCaseFolded();
    for (bool retried = false;; retried = true) {
        if (!database.isEmpty())
            useDatabase(database);
        const bool ride = !database.isEmpty() && !m_rideAlong.isEmpty() && !m_rodeAlongIn.contains(key);
        QSqlError failure;
        {
            QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
            // A scrollable query makes the driver ask for a server cursor.
            q.setForwardOnly(true);
            if (q.exec(ride ? withRideAlong(sql, m_rideAlong) : sql)) {
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
                if (ride) {
                    m_rodeAlongIn << key;
                    readRideAlong(q, key);
                }
                return;
            }
            failure = q.lastError();
        }
        if (retried || !mayReconnect || !reopenAfterLoss(failure))
            statementFailed(failure);
    }
}

void SqlServerSession::readRideAlong(QSqlQuery& q, const QString& database)
{
    for (const QString& statement : std::as_const(m_rideAlong)) {
        // A statement that failed takes the rest with it; they are run on their own when asked for.
        if (!q.nextResult())
            return;
        SqlServerRows result;
        const QSqlRecord record = q.record();
        for (int i = 0; i < record.count(); ++i)
            result.fields << record.fieldName(i);
        while (q.next()) {
            QStringList row;
            row.reserve(result.fields.size());
            for (int i = 0; i < result.fields.size(); ++i)
                row << q.value(i).toString();
            result.rows.push_back(std::move(row));
        }
        if (q.lastError().isValid())
            return;
        m_kept[{database, statement}] = std::move(result);
    }
}

std::optional<SqlServerRows> SqlServerSession::takeRows(const QString& database, const QString& sql)
{
    const auto it = m_kept.find({database.toCaseFolded(), sql});
    if (it == m_kept.end())
        return std::nullopt;
    SqlServerRows rows = std::move(it->second);
    m_kept.erase(it);
    return rows;
}

const SqlServerRows* SqlServerSession::rows(const QString& database, const QString& sql) const
{
    const auto it = m_kept.find({database.toCaseFolded(), sql});
    return it == m_kept.end() ? nullptr : &it->second;
}
