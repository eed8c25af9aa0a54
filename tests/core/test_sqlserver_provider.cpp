// The SQL Server provider: server names, the driver's connection string, readable errors, column
// lengths, and the catalogue objects against the project's test TDS server through the real
// QODBC and FreeTDS drivers.
#include "SqlServerProvider.h"
#include "SqlServerSession.h"

#include "CatalogFixture.h"
#include "TdsServerProcess.h"

#include <QByteArray>
#include <QFile>
#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Server names

struct ServerNameCase
{
    const char* name;
    const char* server;
    const char* host;
    int port;
};

void PrintTo(const ServerNameCase& c, std::ostream* os)
{
    *os << c.server;
}

class ServerNames : public ::testing::TestWithParam<ServerNameCase>
{
};

TEST_P(ServerNames, BecomeHostAndPort)
{
    const ServerNameCase& c = GetParam();
    const SqlServerAddress address = ParseSqlServerName(QString::fromUtf8(c.server));
    EXPECT_EQ(address.host, QString::fromUtf8(c.host));
    EXPECT_EQ(address.port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ServerNames,
    ::testing::Values(ServerNameCase{"HostAlone", "dbhost", "dbhost", 1433},
                      ServerNameCase{"HostAndPort", "127.0.0.1,14330", "127.0.0.1", 14330},
                      ServerNameCase{"BlanksAroundPort", " dbhost , 14330 ", "dbhost", 14330},
                      ServerNameCase{"Instance", "dbhost\\SQLEXPRESS", "dbhost\\SQLEXPRESS", 0},
                      ServerNameCase{"InstanceAndPort", "dbhost\\SQLEXPRESS,14335", "dbhost\\SQLEXPRESS",
                                     14335},
                      ServerNameCase{"TcpPrefix", "tcp:dbhost,1500", "dbhost", 1500},
                      ServerNameCase{"LocalInParentheses", "(local)", "127.0.0.1", 1433},
                      ServerNameCase{"Dot", ".\\SQLEXPRESS", "127.0.0.1\\SQLEXPRESS", 0},
                      ServerNameCase{"Empty", "", "127.0.0.1", 1433}),
    [](const auto& p) { return std::string(p.param.name); });

class BadPorts : public ::testing::TestWithParam<const char*>
{
};

TEST_P(BadPorts, AreRefusedNamingThePort)
{
    try {
        ParseSqlServerName(QString::fromUtf8(GetParam()));
        FAIL() << "accepted";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("port"))) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, BadPorts,
                         ::testing::Values("dbhost,", "dbhost,0", "dbhost,65536", "dbhost,x1"));

// ---------------------------------------------------------------------------------------------
// Connection string

SqlServerLogin loginOf(const char* server, const char* user, const char* password)
{
    SqlServerLogin login;
    login.server = QString::fromUtf8(server);
    login.login = QString::fromUtf8(user);
    login.password = QString::fromUtf8(password);
    return login;
}

TEST(TdsConnectionString, BracesEveryValueAndEndsWithSeparator)
{
    const QString s = TdsConnectionString(QStringLiteral("/usr/lib/x/libtdsodbc.so"),
                                          loginOf("127.0.0.1,14330", "tester", "a;b=c}"));
    EXPECT_TRUE(s.startsWith(QLatin1String("DRIVER=/usr/lib/x/libtdsodbc.so;"))) << qPrintable(s);
    EXPECT_TRUE(s.contains(QLatin1String(";Server={127.0.0.1};Port=14330;"))) << qPrintable(s);
    EXPECT_TRUE(s.contains(QLatin1String(";UID={tester};PWD={a;b=c}};"))) << qPrintable(s);
    EXPECT_TRUE(s.contains(QLatin1String("TDS_Version=7.4;"))) << qPrintable(s);
    EXPECT_TRUE(s.contains(QLatin1String("ClientCharset=UTF-8;"))) << qPrintable(s);
    EXPECT_TRUE(s.endsWith(u';'));
}

TEST(TdsConnectionString, InstanceWithoutPortLeavesThePortToTheBrowser)
{
    const QString s = TdsConnectionString(QStringLiteral("/d.so"), loginOf("dbhost\\INST", "u", "p"));
    EXPECT_TRUE(s.contains(QLatin1String("Server={dbhost\\INST};"))) << qPrintable(s);
    EXPECT_FALSE(s.contains(QLatin1String("Port="))) << qPrintable(s);
}

struct RefusedValueCase
{
    const char* name;
    const char* user;
    const char* password;
    const char* mentions;
};

void PrintTo(const RefusedValueCase& c, std::ostream* os)
{
    *os << c.name;
}

class RefusedValues : public ::testing::TestWithParam<RefusedValueCase>
{
};

TEST_P(RefusedValues, FailBeforeAnythingIsSent)
{
    const RefusedValueCase& c = GetParam();
    try {
        TdsConnectionString(QStringLiteral("/d.so"), loginOf("h", c.user, c.password));
        FAIL() << "accepted";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String(c.mentions))) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Values, RefusedValues,
                         ::testing::Values(RefusedValueCase{"BraceSemicolonInPassword", "u", "a};b",
                                                            "password"},
                                           RefusedValueCase{"BraceSemicolonInLogin", "u};x", "p", "login"},
                                           RefusedValueCase{"NoLogin", "", "p", "integrated"}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Error texts

struct ErrorTextCase
{
    const char* name;
    const char* databaseText;
    const char* driverText;
    const char* expected;
};

void PrintTo(const ErrorTextCase& c, std::ostream* os)
{
    *os << c.name;
}

class ErrorTexts : public ::testing::TestWithParam<ErrorTextCase>
{
};

TEST_P(ErrorTexts, KeepTheMessagesWithoutTags)
{
    const ErrorTextCase& c = GetParam();
    EXPECT_EQ(ReadableSqlErrorText(QString::fromUtf8(c.databaseText), QString::fromUtf8(c.driverText)),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ErrorTexts,
    ::testing::Values(
        ErrorTextCase{"RefusedLogin",
                      "[FreeTDS][SQL Server]Unable to connect to data source [FreeTDS][SQL "
                      "Server]Login failed for user 'tester'.",
                      "QODBC: Unable to connect", "Login failed for user 'tester'."},
        ErrorTextCase{"Timeout",
                      "[FreeTDS][SQL Server]Timeout expired [FreeTDS][SQL Server]Unable to connect "
                      "to data source",
                      "QODBC: Unable to connect", "Timeout expired"},
        ErrorTextCase{"TwoServerMessages",
                      "[FreeTDS][SQL Server]Cannot open database \"x\" [FreeTDS][SQL Server]Login "
                      "failed for user 'u'.",
                      "", "Cannot open database \"x\". Login failed for user 'u'."},
        ErrorTextCase{"OnlyTheGenericOne", "[FreeTDS][SQL Server]Unable to connect to data source",
                      "QODBC: Unable to connect", "Unable to connect to data source"},
        ErrorTextCase{"NoDatabaseText", "", "QODBC: Unable to connect", "Unable to connect"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Column lengths

struct LengthCase
{
    const char* name;
    int baseType;
    int stored;
    int expected;
};

void PrintTo(const LengthCase& c, std::ostream* os)
{
    *os << c.name;
}

class ColumnLengths : public ::testing::TestWithParam<LengthCase>
{
};

TEST_P(ColumnLengths, AsTheTableDefinitionShowsThem)
{
    const LengthCase& c = GetParam();
    EXPECT_EQ(SqlServerColumnLength(c.baseType, c.stored), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Types, ColumnLengths,
                         ::testing::Values(LengthCase{"NVarCharInCharacters", 231, 80, 40},
                                           LengthCase{"NCharInCharacters", 239, 20, 10},
                                           LengthCase{"NVarCharMax", 231, -1, -1},
                                           LengthCase{"VarCharMax", 167, -1, -1},
                                           LengthCase{"VarCharInBytes", 167, 40, 40},
                                           LengthCase{"Binary", 173, 16, 16}, LengthCase{"Int", 56, 4, 4},
                                           LengthCase{"Decimal", 106, 9, 9}, LengthCase{"NText", 99, 16, 16}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Server object without a server

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_old)
            qputenv(m_name, *m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

Variant newServer(std::int32_t loginTimeout = 5)
{
    Variant server(CreateSqlServerObject());
    server.put(QStringLiteral("LoginSecure"), Variant(false));
    server.put(QStringLiteral("LoginTimeout"), Variant(loginTimeout));
    server.put(QStringLiteral("AutoReconnect"), Variant(true));
    return server;
}

QString connectError(const Variant& server, const QString& name, const QString& login,
                     const QString& password)
{
    try {
        server.invoke(QStringLiteral("Connect"), {Variant(name), Variant(login), Variant(password)});
    } catch (const AutomationError& e) {
        return e.description();
    }
    return QString();
}

TEST(SqlServerObject, MissingDriverNamesItsPackage)
{
    ScopedEnv env("ORVANE_TDSODBC", "/nonexistent/libtdsodbc.so");
    const QString message =
        connectError(newServer(), QStringLiteral("127.0.0.1,1"), QStringLiteral("u"), QStringLiteral("p"));
    EXPECT_TRUE(message.contains(QLatin1String("tdsodbc"))) << qPrintable(message);
    EXPECT_TRUE(message.contains(QLatin1String("/nonexistent/libtdsodbc.so"))) << qPrintable(message);
}

TEST(SqlServerObject, IntegratedLoginIsRefused)
{
    Variant server = newServer();
    server.put(QStringLiteral("LoginSecure"), Variant(true));
    const QString message =
        connectError(server, QStringLiteral("127.0.0.1,1"), QStringLiteral("u"), QString());
    EXPECT_TRUE(message.contains(QLatin1String("Integrated"))) << qPrintable(message);
}

// A port on 127.0.0.1 that nothing listens on: bound once to learn a free number, then closed.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    ::close(fd);
    return ntohs(addr.sin_port);
}

TEST(SqlServerObject, ServerDownFailsNamingTheServer)
{
    const int port = closedPort();
    ASSERT_NE(port, 0);
    const QString name = QStringLiteral("127.0.0.1,%1").arg(port);
    // A long login timeout: a refused connection must not wait for it.
    const QString message = connectError(newServer(30), name, QStringLiteral("u"), QStringLiteral("p"));
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(message.contains(name)) << qPrintable(message);
}

TEST(SqlServerObject, CatalogueNeedsAConnection)
{
    EXPECT_THROW(newServer().get(QStringLiteral("Databases")), AutomationError);
}

// ---------------------------------------------------------------------------------------------
// Against the test server

const QString kUser = QStringLiteral("tester");
const QString kPassword = QStringLiteral("Secr3t");
// Every character the connection string treats specially, short of the one form it cannot carry.
const QString kOddUser = QStringLiteral("odd");
const QString kOddPassword = QStringLiteral("p;w=}{x '\"\\");

// Ten tables shaped like those of "big", for comparing what a report costs.
tdsfixture::Database tenTables()
{
    tdsfixture::Database db("ten");
    db.addSqlServer2000SystemTables();
    const tdsfixture::Database big = tdsfixture::bigDatabase(10, 20);
    for (const tdsfixture::Object& o : big.objects()) {
        if (o.xtype == "U")
            db.addTable(o.name, o.columns);
    }
    return db;
}

class SqlServerProvider : public ::testing::Test
{
public:
    static void SetUpTestSuite()
    {
        if (TdsServerProcess::odbcDriverPath().empty() ||
            !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
            return;
        s_dir = std::make_unique<QTemporaryDir>();
        const std::string dir = s_dir->path().toStdString();
        tdsfixture::writeStandardFixtures(dir);
        tdsfixture::writeDatabase(tenTables(), dir);
        TdsServerProcess::Options options;
        options.catalogDir = dir;
        options.logins = {(kUser + u':' + kPassword).toStdString(),
                          (kOddUser + u':' + kOddPassword).toStdString()};
        s_server = std::make_unique<TdsServerProcess>(options);
        RegisterOleProvider(QStringLiteral("SQLDMO.SQLServer"), CreateSqlServerObject);
        RegisterQueryObjectFactory(ptSQLServer, CreateSqlServerQueryObject);
    }

    static void TearDownTestSuite()
    {
        UnregisterOleProvider(QStringLiteral("SQLDMO.SQLServer"));
        RegisterQueryObjectFactory(ptSQLServer, QueryObjectFactory());
        s_server.reset();
        s_dir.reset();
    }

    void SetUp() override
    {
        if (!s_server)
            GTEST_SKIP()
                << "FreeTDS ODBC driver (tdsodbc) or Qt's ODBC driver (libqt6sql6-odbc) not installed";
    }

    static QString serverName() { return QStringLiteral("127.0.0.1,%1").arg(s_server->port()); }

    // A server object as the SQL Server back end makes it: through the ProgID, logged in.
    static Variant connected(const QString& login = kUser, const QString& password = kPassword)
    {
        Variant server = CreateOleObject(QStringLiteral("SQLDMO.SQLServer"));
        server.put(QStringLiteral("LoginSecure"), Variant(false));
        server.put(QStringLiteral("LoginTimeout"), Variant(std::int32_t(10)));
        server.put(QStringLiteral("AutoReconnect"), Variant(true));
        server.invoke(QStringLiteral("Connect"), {Variant(serverName()), Variant(login), Variant(password)});
        return server;
    }

    static Variant item(const Variant& collection, const Variant& key)
    {
        return collection.invoke(QStringLiteral("Item"), {key});
    }

    static Variant database(const Variant& server, const QString& name)
    {
        return item(server.get(QStringLiteral("Databases")), Variant(name));
    }

    static QStringList names(const Variant& collection)
    {
        QStringList list;
        const std::int32_t n = collection.get(QStringLiteral("Count")).toInt();
        for (std::int32_t i = 1; i <= n; ++i)
            list << item(collection, Variant(i)).get(QStringLiteral("Name")).toText();
        return list;
    }

    static long requestsNow()
    {
        const TdsServerProcess::Counts c = s_server->counts();
        return c.batches + c.rpc;
    }

    static std::unique_ptr<QTemporaryDir> s_dir;
    static std::unique_ptr<TdsServerProcess> s_server;
};

std::unique_ptr<QTemporaryDir> SqlServerProvider::s_dir;
std::unique_ptr<TdsServerProcess> SqlServerProvider::s_server;

TEST_F(SqlServerProvider, ListsTheDatabasesInTheServersOrder)
{
    const QStringList expected{QStringLiteral("big"), QStringLiteral("master"), QStringLiteral("sample"),
                               QStringLiteral("ten"), QStringLiteral("we]ird';db")};
    EXPECT_EQ(names(connected().get(QStringLiteral("Databases"))), expected);
    EXPECT_EQ(ListSqlServerDatabases(serverName(), kUser, kPassword), expected);
}

struct ConnectionTestCase
{
    const char* name;
    QString login;
    QString password;
    QString database;
    const char* failure; // a piece of the message; nullptr: the test passes
};

void PrintTo(const ConnectionTestCase& c, std::ostream* os)
{
    *os << c.name;
}

class SqlServerConnectionTest : public SqlServerProvider,
                                public ::testing::WithParamInterface<ConnectionTestCase>
{
};

TEST_P(SqlServerConnectionTest, ReportsTheFailureOrNothing)
{
    const ConnectionTestCase& c = GetParam();
    const QString message = TestSqlServerConnection(serverName(), c.login, c.password, c.database);
    if (c.failure)
        EXPECT_TRUE(message.contains(QLatin1String(c.failure))) << qPrintable(message);
    else
        EXPECT_EQ(message, QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqlServerConnectionTest,
    ::testing::Values(
        ConnectionTestCase{"ServerOnly", kUser, kPassword, QString(), nullptr},
        ConnectionTestCase{"DatabaseNeedingQuotes", kUser, kPassword, QStringLiteral("we]ird';db"), nullptr},
        ConnectionTestCase{"PasswordWithSeparatorsAndBraces", kOddUser, kOddPassword,
                           QStringLiteral("sample"), nullptr},
        ConnectionTestCase{"WrongPassword", kUser, QStringLiteral("wrong"), QString(),
                           "Login failed for user 'tester'"},
        ConnectionTestCase{"UnknownDatabase", kUser, kPassword, QStringLiteral("nope"), "'nope'"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SqlServerProvider, RefusedLoginCarriesTheServersMessage)
{
    try {
        connected(kUser, QStringLiteral("wrong"));
        FAIL() << "logged in";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("Login failed for user 'tester'"))) << e.what();
        EXPECT_FALSE(e.description().contains(QLatin1String("[FreeTDS]"))) << e.what();
    }
}

TEST_F(SqlServerProvider, TablesAndViewsComeInNameOrder)
{
    const Variant sample = database(connected(), QStringLiteral("sample"));
    const QStringList tables{QStringLiteral("Maße]'; Übersicht"), QStringLiteral("Order Details"),
                             QStringLiteral("syscolumns"),        QStringLiteral("syscomments"),
                             QStringLiteral("sysdepends"),        QStringLiteral("sysfilegroups"),
                             QStringLiteral("sysfiles"),          QStringLiteral("sysfiles1"),
                             QStringLiteral("sysforeignkeys"),    QStringLiteral("sysfulltextcatalogs"),
                             QStringLiteral("sysfulltextnotify"), QStringLiteral("sysindexes"),
                             QStringLiteral("sysindexkeys"),      QStringLiteral("sysmembers"),
                             QStringLiteral("sysobjects"),        QStringLiteral("syspermissions"),
                             QStringLiteral("sysproperties"),     QStringLiteral("sysprotects"),
                             QStringLiteral("sysreferences"),     QStringLiteral("systypes"),
                             QStringLiteral("sysusers"),          QStringLiteral("titles")};
    EXPECT_EQ(names(sample.get(QStringLiteral("Tables"))), tables);
    EXPECT_EQ(names(sample.get(QStringLiteral("Views"))),
              (QStringList{QStringLiteral("Größe Ansicht"), QStringLiteral("titleview")}));
}

struct LookupCase
{
    const char* name;
    Variant key;
    const char* found; // nullptr: the lookup throws
};

void PrintTo(const LookupCase& c, std::ostream* os)
{
    *os << c.name;
}

class SqlServerLookups : public SqlServerProvider, public ::testing::WithParamInterface<LookupCase>
{
};

TEST_P(SqlServerLookups, FindByNameOrPositionFromOne)
{
    const LookupCase& c = GetParam();
    const Variant tables = database(connected(), QStringLiteral("sample")).get(QStringLiteral("Tables"));
    if (c.found)
        EXPECT_EQ(item(tables, c.key).get(QStringLiteral("Name")).toText(), QString::fromUtf8(c.found));
    else
        EXPECT_THROW(item(tables, c.key), AutomationError);
}

INSTANTIATE_TEST_SUITE_P(Keys, SqlServerLookups,
                         ::testing::Values(LookupCase{"First", Variant(std::int32_t(1)), "Maße]'; Übersicht"},
                                           LookupCase{"Last", Variant(std::int32_t(22)), "titles"},
                                           LookupCase{"Zero", Variant(std::int32_t(0)), nullptr},
                                           LookupCase{"PastTheEnd", Variant(std::int32_t(23)), nullptr},
                                           LookupCase{"Name", Variant("Order Details"), "Order Details"},
                                           LookupCase{"OtherCase", Variant("TITLES"), "titles"},
                                           LookupCase{"QuotesAndBrackets", Variant("Maße]'; Übersicht"),
                                                      "Maße]'; Übersicht"},
                                           LookupCase{"ViewIsNoTable", Variant("titleview"), nullptr},
                                           LookupCase{"Unknown", Variant("nope"), nullptr},
                                           LookupCase{"Boolean", Variant(true), nullptr}),
                         [](const auto& p) { return std::string(p.param.name); });

struct ColumnCase
{
    const char* name;
    const char* object;
    bool view;
    int position;
    const char* column;
    const char* dataType;
    int length;
    bool allowNulls;
};

void PrintTo(const ColumnCase& c, std::ostream* os)
{
    *os << c.name;
}

class SqlServerColumns : public SqlServerProvider, public ::testing::WithParamInterface<ColumnCase>
{
};

TEST_P(SqlServerColumns, ShowTypeLengthAndNullsAsTheDefinition)
{
    const ColumnCase& c = GetParam();
    const Variant sample = database(connected(), QStringLiteral("sample"));
    const Variant object = item(sample.get(QString::fromLatin1(c.view ? "Views" : "Tables")),
                                Variant(QString::fromUtf8(c.object)));
    const Variant columns =
        c.view ? object.invoke(QStringLiteral("ListColumns")) : object.get(QStringLiteral("Columns"));
    const Variant column = item(columns, Variant(std::int32_t(c.position)));
    EXPECT_EQ(column.get(QStringLiteral("Name")).toText(), QString::fromUtf8(c.column));
    EXPECT_EQ(column.get(QStringLiteral("DataType")).toText(), QString::fromUtf8(c.dataType));
    EXPECT_EQ(column.get(QStringLiteral("Length")).toInt(), c.length);
    EXPECT_EQ(column.get(QStringLiteral("AllowNulls")), Variant(c.allowNulls));
}

INSTANTIATE_TEST_SUITE_P(
    Types, SqlServerColumns,
    ::testing::Values(
        ColumnCase{"UserTypeOverVarchar", "titles", false, 1, "title_id", "tid", 6, false},
        ColumnCase{"Money", "titles", false, 5, "price", "money", 8, true},
        ColumnCase{"Int", "titles", false, 7, "royalty", "int", 4, true},
        ColumnCase{"NVarChar", "titles", false, 9, "notes", "nvarchar", 200, true},
        ColumnCase{"DateTimeNotNull", "titles", false, 10, "pubdate", "datetime", 8, false},
        ColumnCase{"UserTypeOverChar", "Order Details", false, 2, "emp_id", "empid", 9, false},
        ColumnCase{"Decimal", "Order Details", false, 6, "Größe", "decimal", 9, true},
        ColumnCase{"NVarCharMax", "Order Details", false, 7, "it's", "nvarchar", -1, true},
        ColumnCase{"VarCharMax", "Order Details", false, 8, "a]b", "varchar", -1, true},
        ColumnCase{"Bit", "Order Details", false, 9, "x;y", "bit", 1, false},
        ColumnCase{"NText", "Order Details", false, 10, "Memo", "ntext", 16, true},
        ColumnCase{"Text", "Order Details", false, 11, "Legacy", "text", 16, true},
        ColumnCase{"NChar", "Maße]'; Übersicht", false, 5, "Code", "nchar", 5, true},
        ColumnCase{"Binary", "Maße]'; Übersicht", false, 6, "Hash", "binary", 16, true},
        ColumnCase{"VarBinaryMax", "Maße]'; Übersicht", false, 8, "Ablage", "varbinary", -1, true},
        ColumnCase{"SysName", "Maße]'; Übersicht", false, 16, "Kennung", "sysname", 128, false},
        ColumnCase{"CjkName", "Maße]'; Übersicht", false, 17, "日本語の列", "nvarchar", 40, true},
        ColumnCase{"UserTypeOverNVarChar", "Maße]'; Übersicht", false, 18, "Telefon", "phone", 24, true},
        ColumnCase{"ViewColumn", "titleview", true, 1, "title", "varchar", 80, false},
        ColumnCase{"ViewUserType", "Größe Ansicht", true, 2, "emp_id", "empid", 9, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SqlServerProvider, ColumnCountsPerTable)
{
    const Variant tables = database(connected(), QStringLiteral("sample")).get(QStringLiteral("Tables"));
    EXPECT_EQ(
        item(tables, Variant("titles")).get(QStringLiteral("Columns")).get(QStringLiteral("Count")).toInt(),
        10);
    EXPECT_EQ(item(tables, Variant("Order Details"))
                  .get(QStringLiteral("Columns"))
                  .get(QStringLiteral("Count"))
                  .toInt(),
              14);
    EXPECT_EQ(item(tables, Variant("sysobjects"))
                  .get(QStringLiteral("Columns"))
                  .get(QStringLiteral("Count"))
                  .toInt(),
              8);
}

TEST_F(SqlServerProvider, DatabaseWhoseNameNeedsQuoting)
{
    const Variant weird = database(connected(), QStringLiteral("we]ird';db"));
    EXPECT_TRUE(names(weird.get(QStringLiteral("Tables"))).contains(QStringLiteral("t]1")));
    EXPECT_EQ(names(weird.get(QStringLiteral("Views"))), QStringList{QStringLiteral("v;1")});
    const Variant columns =
        item(weird.get(QStringLiteral("Tables")), Variant("t]1")).get(QStringLiteral("Columns"));
    EXPECT_EQ(names(columns), (QStringList{QStringLiteral("a"), QStringLiteral("b'c")}));
    EXPECT_EQ(item(columns, Variant(std::int32_t(2))).get(QStringLiteral("Length")).toInt(), 10);
}

TEST_F(SqlServerProvider, SwitchingBetweenDatabasesReadsEachOnesCatalogue)
{
    const Variant server = connected();
    const Variant weird = database(server, QStringLiteral("we]ird';db"));
    const Variant sample = database(server, QStringLiteral("sample"));
    // Lists read in turns, each after the other database became the current one.
    EXPECT_EQ(names(weird.get(QStringLiteral("Views"))), QStringList{QStringLiteral("v;1")});
    EXPECT_EQ(sample.get(QStringLiteral("Views")).get(QStringLiteral("Count")).toInt(), 2);
    EXPECT_EQ(weird.get(QStringLiteral("Tables")).get(QStringLiteral("Count")).toInt(), 20);
    EXPECT_EQ(item(weird.get(QStringLiteral("Tables")), Variant("t]1"))
                  .get(QStringLiteral("Columns"))
                  .get(QStringLiteral("Count"))
                  .toInt(),
              2);
}

// Everything a structure report of every table of the database reads; returns the requests the
// server answered meanwhile.
long requestsForWholeReport(const QString& databaseName, int& tables)
{
    using P = SqlServerProvider;
    const long before = P::requestsNow();
    {
        const Variant server = P::connected();
        const Variant db = P::database(server, databaseName);
        const Variant list = db.get(QStringLiteral("Tables"));
        tables = list.get(QStringLiteral("Count")).toInt();
        for (std::int32_t t = 1; t <= tables; ++t) {
            const Variant columns = P::item(list, Variant(t)).get(QStringLiteral("Columns"));
            const std::int32_t n = columns.get(QStringLiteral("Count")).toInt();
            for (std::int32_t c = 1; c <= n; ++c) {
                const Variant column = P::item(columns, Variant(c));
                column.get(QStringLiteral("Name"));
                column.get(QStringLiteral("DataType"));
                column.get(QStringLiteral("Length"));
                column.get(QStringLiteral("AllowNulls"));
            }
        }
    }
    return P::requestsNow() - before;
}

TEST_F(SqlServerProvider, WholeCatalogueCostsTheSameRequestsForAThousandTablesAsForTen)
{
    int small = 0;
    int large = 0;
    const long forTen = requestsForWholeReport(QStringLiteral("ten"), small);
    const long forThousand = requestsForWholeReport(QStringLiteral("big"), large);
    EXPECT_EQ(small, 29);
    EXPECT_EQ(large, 1019);
    EXPECT_EQ(forThousand, forTen);
}

TEST_F(SqlServerProvider, ObjectsOutliveTheServerObjectAndTheirConnection)
{
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();
    {
        Variant table;
        {
            const Variant server = connected();
            table = item(database(server, QStringLiteral("sample")).get(QStringLiteral("Tables")),
                         Variant("titles"));
        }
        // The columns are read only now, after the server object is gone.
        const Variant columns = table.get(QStringLiteral("Columns"));
        EXPECT_EQ(columns.get(QStringLiteral("Count")).toInt(), 10);
        EXPECT_EQ(item(columns, Variant(std::int32_t(1))).get(QStringLiteral("DataType")).toText(),
                  QStringLiteral("tid"));
    }
    EXPECT_EQ(QSqlDatabase::connectionNames(), connectionsBefore);
}

TEST_F(SqlServerProvider, SystemTableQueryFindsSystemTablesByName)
{
    const QString connectionString =
        QStringLiteral("Provider=SQLOLEDB.1;Password=%1;Persist Security Info=True;User ID=%2;"
                       "Initial Catalog=sample;Data Source=%3")
            .arg(kPassword, kUser, serverName());
    const std::unique_ptr<TQueryObject> query = CreateQueryObject(ptSQLServer);
    query->setConnectionString(connectionString);
    query->close();
    query->setCommandText(QStringLiteral("SELECT * FROM sysobjects where xtype = 's'"));
    query->open();
    EXPECT_TRUE(query->locate(QStringLiteral("name"), QStringLiteral("sysobjects")));
    EXPECT_TRUE(query->locate(QStringLiteral("NAME"), QStringLiteral("sysusers")));
    EXPECT_FALSE(query->locate(QStringLiteral("name"), QStringLiteral("titles")));
    EXPECT_FALSE(query->locate(QStringLiteral("name"), QStringLiteral("sysobj")));
    EXPECT_FALSE(query->locate(QStringLiteral("nosuchfield"), QStringLiteral("sysobjects")));
    query->close();
    EXPECT_FALSE(query->locate(QStringLiteral("name"), QStringLiteral("sysobjects")));
}

TEST_F(SqlServerProvider, QueryInADatabaseWhoseNameNeedsQuoting)
{
    const std::unique_ptr<TQueryObject> query = CreateQueryObject(ptSQLServer);
    query->setConnectionString(
        QStringLiteral("User ID=%1;Password=%2;Initial Catalog=\"we]ird';db\";Data Source=%3")
            .arg(kUser, kPassword, serverName()));
    query->setCommandText(QStringLiteral("SELECT name FROM sysobjects"));
    query->open();
    EXPECT_TRUE(query->locate(QStringLiteral("name"), QStringLiteral("t]1")));
}

TEST_F(SqlServerProvider, QueryFailuresCarryTheServersMessage)
{
    const std::unique_ptr<TQueryObject> query = CreateQueryObject(ptSQLServer);
    query->setConnectionString(
        QStringLiteral("User ID=%1;Password=wrong;Data Source=%2").arg(kUser, serverName()));
    query->setCommandText(QStringLiteral("SELECT * FROM sysobjects"));
    try {
        query->open();
        FAIL() << "opened";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("Login failed for user 'tester'"))) << e.what();
    }
    query->setConnectionString(QStringLiteral("User ID=%1;Password=%2;Initial Catalog=sample;Data Source=%3")
                                   .arg(kUser, kPassword, serverName()));
    query->setCommandText(QStringLiteral("SELECT * FROM nosuchtable"));
    EXPECT_THROW(query->open(), AutomationError);
    EXPECT_FALSE(query->locate(QStringLiteral("name"), QStringLiteral("sysobjects")));
}

TEST(SqlServerSilentServer, LoginTimeoutEndsTheWait)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "FreeTDS ODBC driver (tdsodbc) not installed";
    QTemporaryDir dir;
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.logins = {"tester:Secr3t"};
    options.delayLoginSeconds = 30;
    TdsServerProcess server(options);
    const QString message = connectError(newServer(1), QStringLiteral("127.0.0.1,%1").arg(server.port()),
                                         QStringLiteral("tester"), QStringLiteral("Secr3t"));
    EXPECT_TRUE(message.contains(QLatin1String("Timeout"), Qt::CaseInsensitive)) << qPrintable(message);
}

// The server goes away under a connected object and comes back on the same port (the test server
// is started through a script that pins the port).
class SqlServerAutoReconnect : public ::testing::TestWithParam<bool>
{
};

TEST_P(SqlServerAutoReconnect, LogsInAgainOnlyWhenAsked)
{
    const bool reconnect = GetParam();
    const QString program = QStringLiteral(ORVANE_BINARY_DIR "/tests/support/tds/tds-testserver");
    if (TdsServerProcess::odbcDriverPath().empty() || !QFile::exists(program))
        GTEST_SKIP() << "FreeTDS ODBC driver or tds-testserver missing";
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::sampleDatabase(), dir.path().toStdString());
    const int port = closedPort();
    ASSERT_NE(port, 0);
    const QString script = dir.filePath(QStringLiteral("pinned-port-server"));
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\nexec '%1' \"$@\" --port %2\n").arg(program).arg(port).toUtf8());
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.logins = {"tester:Secr3t"};
    options.program = script.toStdString();
    auto server = std::make_unique<TdsServerProcess>(options);
    ASSERT_EQ(server->port(), port);

    Variant sqlServer = newServer(5);
    sqlServer.put(QStringLiteral("AutoReconnect"), Variant(reconnect));
    sqlServer.invoke(QStringLiteral("Connect"), {Variant(QStringLiteral("127.0.0.1,%1").arg(port)),
                                                 Variant("tester"), Variant("Secr3t")});
    const Variant sample =
        sqlServer.get(QStringLiteral("Databases")).invoke(QStringLiteral("Item"), {Variant("sample")});
    EXPECT_EQ(sample.get(QStringLiteral("Tables")).get(QStringLiteral("Count")).toInt(), 22);

    server.reset();
    server = std::make_unique<TdsServerProcess>(options);
    if (reconnect) {
        EXPECT_EQ(sample.get(QStringLiteral("Views")).get(QStringLiteral("Count")).toInt(), 2);
    } else {
        try {
            sample.get(QStringLiteral("Views"));
            FAIL() << "read over a dropped connection";
        } catch (const AutomationError& e) {
            EXPECT_TRUE(e.description().contains(QLatin1String("connection"))) << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, SqlServerAutoReconnect, ::testing::Bool(),
                         [](const auto& p) { return std::string(p.param ? "On" : "Off"); });

} // namespace
