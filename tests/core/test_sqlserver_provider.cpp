// The SQL Server provider: server names and the values the driver's connection string refuses,
// offline; the catalogue objects and the query object against the project's test TDS server
// through the real QODBC and FreeTDS drivers.
#include "CatalogueSource.h"
#include "DataLinkString.h"
#include "KorvConnection.h"
#include "SqlServerProvider.h"
#include "SqlServerSession.h"

#include "CatalogFixture.h"
#include "TdsServerProcess.h"
#include "TdsServerSuite.h"

#include <QFile>
#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const auto caseName = [](const auto& p) { return std::string(p.param.name); };

struct ServerNameCase
{
    const char* name;
    const char* server;
    const char* host; // nullptr: refused
    int port;
};

class ServerNames : public ::testing::TestWithParam<ServerNameCase>
{
};

TEST_P(ServerNames, BecomeHostAndPort)
{
    const ServerNameCase& c = GetParam();
    if (!c.host) {
        EXPECT_THROW(ParseSqlServerName(c.server), AutomationError);
        return;
    }
    const SqlServerAddress address = ParseSqlServerName(c.server);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
}

INSTANTIATE_TEST_SUITE_P(Forms, ServerNames,
                         ::testing::Values(ServerNameCase{"HostAlone", "dbhost", "dbhost", 1433},
                                           ServerNameCase{"HostAndPort", " dbhost , 14330 ", "dbhost", 14330},
                                           ServerNameCase{"Instance", "dbhost\\SQLEXPRESS",
                                                          "dbhost\\SQLEXPRESS", 0},
                                           ServerNameCase{"InstanceAndPort", "h\\I,14335", "h\\I", 14335},
                                           ServerNameCase{"TcpPrefix", "tcp:dbhost,1500", "dbhost", 1500},
                                           ServerNameCase{"Local", "(local)", "127.0.0.1", 1433},
                                           ServerNameCase{"Ipv6InBrackets", "[fe80::1]", "fe80::1", 1433},
                                           ServerNameCase{"Ipv6WithPort", "[::1],1433", "::1", 1433},
                                           ServerNameCase{"Ipv6Bare", "fe80::1,1444", "fe80::1", 1444},
                                           ServerNameCase{"Ipv6Instance", "[::1]\\SQL", "::1\\SQL", 0},
                                           ServerNameCase{"Ipv6Unclosed", "[::1,1433", nullptr, 0},
                                           ServerNameCase{"PortZero", "dbhost,0", nullptr, 0},
                                           ServerNameCase{"PortNotANumber", "dbhost,x1", nullptr, 0}),
                         caseName);

SqlServerLogin loginOf(const char* user, const char* password)
{
    SqlServerLogin login;
    login.server = QStringLiteral("127.0.0.1,14330");
    login.login = QString::fromUtf8(user);
    login.password = QString::fromUtf8(password);
    return login;
}

struct RefusedValueCase
{
    const char* name;
    const char* user;
    const char* password;
    const char* mentions;
};

class RefusedValues : public ::testing::TestWithParam<RefusedValueCase>
{
};

TEST_P(RefusedValues, FailBeforeAnythingIsSent)
{
    const RefusedValueCase& c = GetParam();
    try {
        TdsConnectionString(QStringLiteral("/d.so"), loginOf(c.user, c.password));
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
                         caseName);

// ---------------------------------------------------------------------------------------------
// The server object without a running server

class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv() { m_old ? qputenv(m_name, *m_old) : qunsetenv(m_name); }

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

Variant newServer(std::int32_t loginTimeout, bool autoReconnect = true)
{
    Variant server(CreateSqlServerObject());
    server.put("LoginSecure", Variant(false));
    server.put("LoginTimeout", Variant(loginTimeout));
    server.put("AutoReconnect", Variant(autoReconnect));
    return server;
}

QString connectError(const Variant& server, const QString& name,
                     const QString& login = QStringLiteral("tester"),
                     const QString& password = QStringLiteral("Secr3t"))
{
    try {
        server.invoke("Connect", {Variant(name), Variant(login), Variant(password)});
    } catch (const AutomationError& e) {
        return e.description();
    }
    return QString();
}

// A port on 127.0.0.1 that nothing listens on: bound once to learn a free number, then closed.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? ntohs(addr.sin_port) : 0;
}

TEST(SqlServerObject, MissingDriverNamesItsPackage)
{
    ScopedEnv env("ORVANE_TDSODBC", "/nonexistent/libtdsodbc.so");
    const QString message = connectError(newServer(5), QStringLiteral("127.0.0.1,1"));
    EXPECT_TRUE(message.contains(QLatin1String("tdsodbc"))) << qPrintable(message);
}

TEST(SqlServerObject, IntegratedLoginIsRefused)
{
    const Variant server = newServer(5);
    server.put("LoginSecure", Variant(true));
    EXPECT_TRUE(connectError(server, QStringLiteral("127.0.0.1,1")).contains(QLatin1String("Integrated")));
}

// ---------------------------------------------------------------------------------------------
// Against the test server

const QString kUser = QStringLiteral("tester");
const QString kPassword = QStringLiteral("Secr3t");
// Every character the connection string treats specially, short of the one form it cannot carry.
const QString kOddUser = QStringLiteral("odd");
const QString kOddPassword = QStringLiteral("p;w=}{x '\"\\");

bool driversMissing()
{
    return TdsServerProcess::odbcDriverPath().empty() ||
           !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"));
}

Variant item(const Variant& collection, const Variant& key)
{
    return collection.invoke("Item", {key});
}

QStringList names(const Variant& collection)
{
    QStringList list;
    const std::int32_t n = collection.get("Count").toInt();
    for (std::int32_t i = 1; i <= n; ++i)
        list << item(collection, Variant(i)).get("Name").toText();
    return list;
}

// One column of the table "Typen" (and of the view "Ansicht", which repeats them) in the database
// "types": how it is declared and what the provider must show for it.
struct ColumnCase
{
    const char* name;
    const char* column;
    const char* declared;
    bool nullable;
    const char* dataType;
    int length;
};

const ColumnCase kColumnCases[] = {
    {"UserTypeOverVarchar", "title_id", "tid", false, "tid", 6},
    {"Int", "royalty", "int", true, "int", 4},
    {"NVarCharInCharacters", "notes", "nvarchar(200)", true, "nvarchar", 200},
    {"DateTime", "pubdate", "datetime", false, "datetime", 8},
    {"Decimal", "Größe", "decimal(10,2)", true, "decimal", 9},
    {"NVarCharMax", "it's", "nvarchar(max)", true, "nvarchar", -1},
    {"VarCharMax", "a]b", "varchar(max)", true, "varchar", -1},
    {"Bit", "x;y", "bit", false, "bit", 1},
    {"Text", "Legacy", "text", true, "text", 16},
    {"NChar", "Code", "nchar(5)", true, "nchar", 5},
    {"Binary", "Hash", "binary(16)", true, "binary", 16},
    {"SysName", "Kennung", "sysname", false, "sysname", 128},
    {"CjkName", "日本語の列", "nvarchar(40)", true, "nvarchar", 40},
    {"UserTypeOverNVarChar", "Telefon Nr.", "phone", true, "phone", 24},
};

tdsfixture::Database typesDatabase()
{
    std::vector<tdsfixture::Column> columns;
    for (const ColumnCase& c : kColumnCases)
        columns.push_back({c.column, c.declared, c.nullable});
    tdsfixture::Database db("types");
    db.addUserType("tid", "varchar(6)").addUserType("phone", "nvarchar(24)");
    db.addTable("Typen", columns).addView("Ansicht", columns);
    return db;
}

class SqlServerProvider : public TdsServerSuite
{
public:
    static void SetUpTestSuite()
    {
        if (driversMissing())
            return;
        TdsServerProcess::Options options;
        options.logins = {(kUser + u':' + kPassword).toStdString(),
                          (kOddUser + u':' + kOddPassword).toStdString()};
        StartServer(options, [](const std::string& dir) {
            tdsfixture::writeStandardFixtures(dir);
            // Ten tables shaped like those of "big", to compare what reading every column costs.
            tdsfixture::Database ten("ten");
            ten.addSqlServer2000SystemTables();
            const tdsfixture::Database shapes = tdsfixture::bigDatabase(10, 20);
            for (const tdsfixture::Object& o : shapes.objects()) {
                if (o.xtype == "U")
                    ten.addTable(o.name, o.columns);
            }
            tdsfixture::writeDatabase(ten, dir);
            tdsfixture::writeDatabase(typesDatabase(), dir);
        });
        RegisterOleProvider(QStringLiteral("SQLDMO.SQLServer"), CreateSqlServerObject);
        RegisterQueryObjectFactory(ptSQLServer, CreateSqlServerQueryObject);
    }

    static void TearDownTestSuite()
    {
        RegisterQueryObjectFactory(ptSQLServer, QueryObjectFactory());
        TdsServerSuite::TearDownTestSuite();
    }

    void SetUp() override
    {
        if (driversMissing())
            GTEST_SKIP()
                << "FreeTDS ODBC driver (tdsodbc) or Qt's ODBC driver (libqt6sql6-odbc) not installed";
        TdsServerSuite::SetUp();
    }

    static QString serverName() { return address(); }

    // A server object as the SQL Server back end makes it: through the ProgID, logged in.
    static Variant connected()
    {
        const Variant server = CreateOleObject(QStringLiteral("SQLDMO.SQLServer"));
        server.put("LoginSecure", Variant(false));
        server.put("LoginTimeout", Variant(std::int32_t(30)));
        server.put("AutoReconnect", Variant(true));
        server.invoke("Connect", {Variant(serverName()), Variant(kUser), Variant(kPassword)});
        return server;
    }

    static Variant database(const QString& name) { return item(connected().get("Databases"), Variant(name)); }

    static long requestsNow()
    {
        const TdsServerProcess::Counts c = s_server->counts();
        return c.batches + c.rpc;
    }
};

TEST_F(SqlServerProvider, DatabasesTablesAndViewsInTheServersOrder)
{
    const QStringList databases{"big", "master", "sample", "ten", "types", "we]ird';db"};
    EXPECT_EQ(names(connected().get("Databases")), databases);
    EXPECT_EQ(ListSqlServerDatabases(serverName(), kUser, kPassword), databases);

    const Variant sample = database(QStringLiteral("sample"));
    const QStringList tables{
        "Maße]'; Übersicht", "Order Details", "syscolumns",   "syscomments",    "sysdepends",
        "sysfilegroups",     "sysfiles",      "sysfiles1",    "sysforeignkeys", "sysfulltextcatalogs",
        "sysfulltextnotify", "sysindexes",    "sysindexkeys", "sysmembers",     "sysobjects",
        "syspermissions",    "sysproperties", "sysprotects",  "sysreferences",  "systypes",
        "sysusers",          "titles",        "sales.titles"};
    EXPECT_EQ(names(sample.get("Tables")), tables);
    EXPECT_EQ(names(sample.get("Views")), (QStringList{"Größe Ansicht", "titleview"}));
}

struct LookupCase
{
    const char* name;
    Variant key;
    const char* found; // nullptr: the lookup throws
};

class SqlServerLookups : public SqlServerProvider, public ::testing::WithParamInterface<LookupCase>
{
};

TEST_P(SqlServerLookups, ByNameOrPositionFromOne)
{
    const LookupCase& c = GetParam();
    const Variant tables = database(QStringLiteral("sample")).get("Tables");
    if (c.found)
        EXPECT_EQ(item(tables, c.key).get("Name").toText(), c.found);
    else
        EXPECT_THROW(item(tables, c.key), AutomationError);
}

INSTANTIATE_TEST_SUITE_P(Keys, SqlServerLookups,
                         ::testing::Values(LookupCase{"First", Variant(std::int32_t(1)), "Maße]'; Übersicht"},
                                           LookupCase{"Last", Variant(std::int32_t(23)), "sales.titles"},
                                           LookupCase{"Zero", Variant(std::int32_t(0)), nullptr},
                                           LookupCase{"PastTheEnd", Variant(std::int32_t(24)), nullptr},
                                           LookupCase{"OtherCase", Variant("TITLES"), "titles"},
                                           LookupCase{"OtherSchema", Variant("sales.titles"), "sales.titles"},
                                           LookupCase{"OtherSchemaOtherCase", Variant("Sales.Titles"),
                                                      "sales.titles"},
                                           LookupCase{"ViewIsNoTable", Variant("titleview"), nullptr},
                                           LookupCase{"Unknown", Variant("nope"), nullptr}),
                         caseName);

class SqlServerColumns : public SqlServerProvider, public ::testing::WithParamInterface<ColumnCase>
{
};

TEST_P(SqlServerColumns, ShowTypeLengthAndNullsAsTheDefinition)
{
    const ColumnCase& c = GetParam();
    // Columns keep their declared order: the case's place in the list.
    const auto place = std::find_if(std::begin(kColumnCases), std::end(kColumnCases),
                                    [&](const ColumnCase& k) { return std::strcmp(k.name, c.name) == 0; });
    const std::int32_t position = std::int32_t(place - std::begin(kColumnCases)) + 1;
    const Variant types = database(QStringLiteral("types"));
    const Variant tableColumns = item(types.get("Tables"), Variant("Typen")).get("Columns");
    const Variant viewColumns = item(types.get("Views"), Variant("Ansicht")).invoke("ListColumns");
    for (const Variant& columns : {tableColumns, viewColumns}) {
        const Variant column = item(columns, Variant(position));
        EXPECT_EQ(column.get("Name").toText(), c.column);
        EXPECT_EQ(column.get("DataType").toText(), c.dataType);
        EXPECT_EQ(column.get("Length").toInt(), c.length);
        EXPECT_EQ(column.get("AllowNulls"), Variant(c.nullable));
    }
}

INSTANTIATE_TEST_SUITE_P(Types, SqlServerColumns, ::testing::ValuesIn(kColumnCases), caseName);

// The structure model of the rich sample, as the Database object hands it out: one case per thing
// it holds, each written as a line that says it all.
std::shared_ptr<const TCatalogue> modelOf(const Variant& database)
{
    auto* source = dynamic_cast<TCatalogueSource*>(database.objectPtr().get());
    return source ? source->StructureModel() : nullptr;
}

const TCatalogueObject& objectIn(const TCatalogue& model, const char* listName)
{
    static const TCatalogueObject none;
    const TCatalogueObject* o = model.find(QString::fromUtf8(listName));
    return o ? *o : none;
}

QString columnLine(const TCatalogue& model, const char* table, const char* column)
{
    for (const TCatalogueColumn& c : objectIn(model, table).columns) {
        if (c.name == QString::fromUtf8(column))
            return QStringLiteral("%1 %2 %3 base=%4 %5%6 default=%7 computed=%8 \"%9\"")
                .arg(c.number)
                .arg(c.typeName)
                .arg(c.length)
                .arg(c.baseType, c.nullable ? "null" : "notnull", c.autoIncrement ? " identity" : "",
                     c.defaultValue, c.computed, c.description);
    }
    return QStringLiteral("no column");
}

QString keysLine(const TCatalogue& model, const char* table)
{
    const TCatalogueObject& o = objectIn(model, table);
    QStringList parts;
    if (o.primaryKey)
        parts << QStringLiteral("PK %1(%2)").arg(o.primaryKey->name, o.primaryKey->columns.join(u','));
    for (const TCatalogueIndex& i : o.indexes) {
        QStringList columns;
        for (const TCatalogueIndexColumn& c : i.columns)
            columns << c.name + (c.descending ? " desc" : "");
        parts << QStringLiteral("%1%2(%3)%4%5%6")
                     .arg(i.unique ? "unique " : "", i.name, columns.join(u','),
                          i.clustered ? " clustered" : "",
                          i.included.isEmpty() ? QString() : " include(" + i.included.join(u',') + u')',
                          i.filter.isEmpty() ? QString() : " where " + i.filter);
    }
    for (const TCatalogueForeignKey& f : o.foreignKeys)
        parts << QStringLiteral("FK %1(%2) -> %3.%4(%5)%6 update=%7 delete=%8")
                     .arg(f.name, f.columns.join(u','), f.referencedSchema, f.referencedTable,
                          f.referencedColumns.join(u','), f.enforced ? "" : " not enforced",
                          ReferentialActionName(f.onUpdate), ReferentialActionName(f.onDelete));
    return parts.join(QStringLiteral("; "));
}

// Any object by the name the list would show, routines, sequences and synonyms too.
const TCatalogueObject& anyIn(const TCatalogue& model, const char* listName)
{
    static const TCatalogueObject none;
    for (const TCatalogueObject& o : model.objects)
        if (o.listName() == QString::fromUtf8(listName))
            return o;
    return none;
}

// The sample as the fixture describes it, for texts too long to spell out here.
const tdsfixture::Object& described(const char* name)
{
    static const tdsfixture::Database sample = tdsfixture::sampleDatabase();
    return *sample.find(name);
}

// "procedure(@a int 4, @b money 8 output) returns bit 1 columns 0 text": its kind, parameters,
// return value, columns and whether its text is the one stored, none, or encrypted.
QString routineLine(const TCatalogue& model, const char* name)
{
    const TCatalogueObject& o = anyIn(model, name);
    QStringList parameters;
    for (const TCatalogueParameter& p : o.parameters)
        parameters << QStringLiteral("%1 %2 %3%4")
                          .arg(p.name, p.typeName)
                          .arg(p.length)
                          .arg(p.output ? " output" : "");
    QString line = ObjectKindName(o.kind) + u'(' + parameters.join(QStringLiteral(", ")) + u')';
    if (o.returns)
        line += QStringLiteral(" returns %1 %2%3")
                    .arg(o.returns->typeName)
                    .arg(o.returns->length)
                    .arg(o.returns->name.isEmpty() ? "" : " named");
    const bool stored = o.definition == QString::fromStdString(described(name).definition);
    return line + QStringLiteral(" columns %1 ").arg(o.columns.size()) +
           (o.encrypted              ? "encrypted"
            : o.definition.isEmpty() ? "no text"
            : stored                 ? "text"
                                     : "other text");
}

QString triggersLine(const TCatalogue& model, const char* table)
{
    QStringList parts;
    for (const TCatalogueTrigger& t : anyIn(model, table).triggers) {
        QString text = t.encrypted ? " encrypted" : t.definition.isEmpty() ? " no text" : "";
        for (const tdsfixture::Trigger& d : described(table).triggers)
            if (QString::fromStdString(d.name) == t.name && !t.encrypted &&
                QString::fromStdString(d.definition) != t.definition)
                text = " other text";
        parts << QStringLiteral("%1 [%2] %3%4%5")
                     .arg(t.name, t.events.join(u','), TriggerTimingName(t.timing),
                          t.enabled ? "" : " disabled", text);
    }
    return parts.join(QStringLiteral("; "));
}

QString checksLine(const TCatalogue& model, const char* table)
{
    QStringList parts;
    for (const TCatalogueCheck& c : anyIn(model, table).checks)
        parts << QStringLiteral("%1 (%2) %3%4")
                     .arg(c.name, c.column, c.definition, c.enforced ? "" : " not enforced");
    return parts.join(QStringLiteral("; "));
}

QString sequenceLine(const TCatalogue& model, const char* name)
{
    const TCatalogueObject& o = anyIn(model, name);
    if (!o.sequence)
        return QStringLiteral("no sequence");
    const TCatalogueSequence& q = *o.sequence;
    return QStringList{q.typeName, q.start, q.increment, q.minimum, q.maximum, q.cycle ? "cycle" : "nocycle"}
        .join(u' ');
}

struct ModelCase
{
    const char* name;
    QString (*line)(const TCatalogue&);
    const char* expected;
};

class SqlServerModel : public SqlServerProvider, public ::testing::WithParamInterface<ModelCase>
{
};

TEST_P(SqlServerModel, HoldsTheStructureOfTheSample)
{
    const std::shared_ptr<const TCatalogue> model = modelOf(database(QStringLiteral("sample")));
    ASSERT_TRUE(model);
    EXPECT_EQ(GetParam().line(*model).toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sample, SqlServerModel,
    ::testing::Values(
        ModelCase{
            "Database",
            [](const TCatalogue& m) { return m.provider + u' ' + m.database + u' ' + m.server.left(10); },
            "SQLServer sample 127.0.0.1,"},
        // Tables in the list's order, same-named ones as two objects of their schemas, then views.
        ModelCase{"Objects",
                  [](const TCatalogue& m) {
                      QStringList list;
                      for (const TCatalogueObject& o : m.objects)
                          if (o.kind != TObjectKind::SystemTable)
                              list << ObjectKindName(o.kind) + u' ' + o.schema + u'/' + o.listName() +
                                          QStringLiteral(" %1").arg(o.columns.size());
                      return list.join(QStringLiteral(", "));
                  },
                  "table dbo/Maße]'; Übersicht 18, table dbo/Order Details 14, table dbo/titles 10, "
                  "table sales/sales.titles 9, view dbo/Größe Ansicht 2, view dbo/titleview 3, "
                  "procedure dbo/byroyalty 0, function dbo/Netto 0, function dbo/RegexMatch 0, "
                  "function dbo/TitelNachTyp 2, procedure sales/sales.Umsatzbericht 0, "
                  "sequence dbo/Auftragsnummern 0, sequence sales/sales.Kassenzettel 0, synonym "
                  "sales/sales.Archiv 0, "
                  "synonym dbo/Bücher 0"},
        ModelCase{"SystemTables",
                  [](const TCatalogue& m) {
                      return QString::number(
                          std::count_if(m.objects.begin(), m.objects.end(), [](const auto& o) {
                              return o.kind == TObjectKind::SystemTable && o.listName() == o.name;
                          }));
                  },
                  "19"},
        ModelCase{"UserTypeKeepsItsName",
                  [](const TCatalogue& m) { return columnLine(m, "titles", "title_id"); },
                  "1 tid 6 base=varchar notnull default= computed= \"\""},
        ModelCase{"SysnameIsBasedOnNVarChar",
                  [](const TCatalogue& m) { return columnLine(m, "Maße]'; Übersicht", "Kennung"); },
                  "16 sysname 128 base=nvarchar notnull default= computed= \"\""},
        ModelCase{"DefaultAndDescription",
                  [](const TCatalogue& m) {
                      return columnLine(m, "titles", "type") + " | " + columnLine(m, "titles", "title");
                  },
                  "3 char 12 base= notnull default=('UNDECIDED') computed= \"\" | "
                  "2 varchar 80 base= notnull default= computed= \"Der Titel, wie er gedruckt steht\""},
        ModelCase{"IdentityComputedAndDefaultOfTheOtherSchema",
                  [](const TCatalogue& m) {
                      return columnLine(m, "sales.titles", "SaleID") + " | " +
                             columnLine(m, "sales.titles", "Total") + " | " +
                             columnLine(m, "sales.titles", "Sold");
                  },
                  "1 int 4 base= notnull identity default= computed= \"\" | "
                  "7 money 8 base= null default= computed=([Qty]*[Price]) \"\" | "
                  "8 datetime 8 base= notnull default=(getdate()) computed= \"\""},
        ModelCase{"NonAsciiDescriptions",
                  [](const TCatalogue& m) {
                      return objectIn(m, "titles").description + " | " +
                             objectIn(m, "Maße]'; Übersicht").description + " | " +
                             columnLine(m, "Maße]'; Übersicht", "日本語の列");
                  },
                  "Bücher, wie sie verlegt werden | 測定値の一覧 | "
                  "17 nvarchar 40 base= null default= computed= \"日本語の説明\""},
        // The key's own index is not listed again; a unique constraint is a unique index; included
        // columns are no keys; names sorted without regard to case.
        ModelCase{"KeysAndIndexes", [](const TCatalogue& m) { return keysLine(m, "titles"); },
                  "PK UPKCL_titleidind(title_id); titleind(pubdate desc,title_id) include(price); "
                  "unique UQ_titles_title(title)"},
        ModelCase{"CompositeKeyBesideAClusteredIndex",
                  [](const TCatalogue& m) { return keysLine(m, "Order Details"); },
                  "PK PK_Order_Details(OrderID,emp_id); CIX_Order_Details_emp(emp_id) clustered"},
        ModelCase{
            "ForeignKeysAndAFilteredIndex", [](const TCatalogue& m) { return keysLine(m, "sales.titles"); },
            "PK PK_sales_titles(SaleID); IX_sales_titles_Offen(Sold) include(Price) where ([Qty]>(0)); "
            "unique IX_sales_titles_Sold(Sold desc,SaleID); "
            "FK fk_sales_titles_Maße(Maß) -> dbo.Maße]'; Übersicht(Id) update=setDefault delete=setNull; "
            "FK FK_sales_titles_Order_Details(OrderID,emp_id) -> dbo.Order Details(OrderID,emp_id) not "
            "enforced update=noAction delete=noAction; "
            "FK FK_sales_titles_titles(title_id) -> dbo.titles(title_id) update=cascade delete=cascade"},
        ModelCase{"ViewsHaveNoKeys", [](const TCatalogue& m) { return keysLine(m, "titleview") + u'.'; },
                  "."},
        ModelCase{"ViewWithLeadingComments", [](const TCatalogue& m) { return routineLine(m, "titleview"); },
                  "view() columns 3 text"},
        ModelCase{"EncryptedView", [](const TCatalogue& m) { return routineLine(m, "Größe Ansicht"); },
                  "view() columns 2 encrypted"},
        ModelCase{"Procedure", [](const TCatalogue& m) { return routineLine(m, "byroyalty"); },
                  "procedure(@percentage int 4) columns 0 text"},
        ModelCase{"ProcedureWithAnOutputAndALongText",
                  [](const TCatalogue& m) { return routineLine(m, "sales.Umsatzbericht"); },
                  "procedure(@von datetime 8, @bis datetime 8, @summe money 8 output) columns 0 text"},
        ModelCase{"ScalarFunction", [](const TCatalogue& m) { return routineLine(m, "Netto"); },
                  "function(@brutto money 8, @satz decimal 5) returns money 8 columns 0 text"},
        ModelCase{"InlineFunctionWithItsColumns",
                  [](const TCatalogue& m) { return routineLine(m, "TitelNachTyp"); },
                  "function(@type char 12) columns 2 text"},
        ModelCase{"ClrFunctionWithoutText", [](const TCatalogue& m) { return routineLine(m, "RegexMatch"); },
                  "function(@input nvarchar -1, @pattern nvarchar 4000) returns bit 1 columns 0 no text"},
        ModelCase{
            "TableTriggers", [](const TCatalogue& m) { return triggersLine(m, "titles"); },
            "tr_titles_delete [delete] after disabled encrypted; tr_titles_Änderung [insert,update] after"},
        ModelCase{"ViewTrigger", [](const TCatalogue& m) { return triggersLine(m, "titleview"); },
                  "tr_titleview_insert [insert] insteadOf"},
        ModelCase{"ChecksOfATableAndAColumn", [](const TCatalogue& m) { return checksLine(m, "titles"); },
                  "CK_titles_advance () ([advance] IS NULL OR [royalty] IS NOT NULL); "
                  "CK_titles_price (price) ([price]>=(0))"},
        ModelCase{"CheckNotEnforced", [](const TCatalogue& m) { return checksLine(m, "Order Details"); },
                  "CK_Order_Details_Quantity (Quantity) ([Quantity]>(0)) not enforced"},
        ModelCase{"Sequences",
                  [](const TCatalogue& m) {
                      return sequenceLine(m, "Auftragsnummern") + " | " +
                             sequenceLine(m, "sales.Kassenzettel");
                  },
                  "bigint 1000 1 1 9223372036854775807 nocycle | int 1 5 1 1000 cycle"},
        ModelCase{"Synonyms",
                  [](const TCatalogue& m) {
                      return anyIn(m, "Bücher").synonymTarget + " | " +
                             anyIn(m, "sales.Archiv").synonymTarget;
                  },
                  "[dbo].[titles] | [Archiv].[dbo].[titles]"},
        ModelCase{"NoneIsTheEngines",
                  [](const TCatalogue& m) {
                      return QString::number(std::count_if(m.objects.begin(), m.objects.end(),
                                                           [](const auto& o) { return o.systemObject; }));
                  },
                  "0"}),
    caseName);

// Definitions as the server keeps them, whatever their length: the procedure's passes what an
// nvarchar(4000) holds, non-ASCII text runs through it, and the view's begins with its comments.
TEST_F(SqlServerProvider, DefinitionsComeWhole)
{
    const std::shared_ptr<const TCatalogue> model = modelOf(database(QStringLiteral("sample")));
    ASSERT_TRUE(model);
    const QString procedure = anyIn(*model, "sales.Umsatzbericht").definition;
    EXPECT_GT(procedure.size(), 4000);
    EXPECT_EQ(procedure.toStdString(), described("sales.Umsatzbericht").definition);
    EXPECT_TRUE(anyIn(*model, "titleview").definition.startsWith(QStringLiteral("/* Titel mit Preis")));
    for (const TCatalogueTrigger& t : anyIn(*model, "titles").triggers) {
        if (!t.encrypted) {
            EXPECT_EQ(t.definition.toStdString(), described("titles").triggers[0].definition);
        }
    }
}

// Tables, views, their columns and the model come from one read of a constant number of round
// trips; a server without the catalog views (SQL Server 2000) still gives tables and columns.
TEST_F(SqlServerProvider, OneReadServesTheCollectionsAndTheModel)
{
    const Variant sample = database(QStringLiteral("sample"));
    const long before = requestsNow();
    const Variant sales = item(sample.get("Tables"), Variant("sales.titles"));
    EXPECT_EQ(names(sales.get("Columns")).first(), QStringLiteral("SaleID"));
    EXPECT_EQ(names(item(sample.get("Tables"), Variant("titles")).get("Columns")).first(),
              QStringLiteral("title_id"));
    EXPECT_EQ(sample.get("Views").get("Count").toInt(), 2);
    EXPECT_EQ(modelOf(sample)->objects.size(), 34);
    // The engine edition (asked once, as a USE is needed), the USE and the one batch.
    EXPECT_EQ(requestsNow() - before, 3);

    // The facade hands out the current database's model.
    TKorvConnection facade;
    facade.SetConnectionType(ctDMO);
    facade.Open(QStringLiteral("Provider=SQLOLEDB.1;Password=%1;User ID=%2;Data Source=%3")
                    .arg(kPassword, kUser, serverName()));
    facade.SetDatabase(facade.DatabaseByName(QStringLiteral("sample")));
    const std::shared_ptr<const TCatalogue> viaFacade = facade.StructureModel();
    ASSERT_TRUE(viaFacade);
    EXPECT_EQ(objectIn(*viaFacade, "sales.titles").columns.size(), 9);

    const std::shared_ptr<const TCatalogue> old = modelOf(database(QStringLiteral("we]ird';db")));
    ASSERT_TRUE(old);
    EXPECT_EQ(objectIn(*old, "t]1").columns.size(), 2);
    EXPECT_EQ(objectIn(*old, "t]1").columns[1].typeName, QStringLiteral("nvarchar"));
    EXPECT_EQ(objectIn(*old, "t]1").columns[1].length, 10);
    EXPECT_FALSE(objectIn(*old, "t]1").primaryKey);
}

// A catalogue the server cannot read whole is an error with the server's words, never a partial model.
TEST_F(SqlServerProvider, AFailingReadThrowsTheServersMessage)
{
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::sampleDatabase(), dir.path().toStdString());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.filePath(QStringLiteral("sample.sqlite")).toUtf8().constData(), &db),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "ALTER TABLE foreign_keys DROP COLUMN is_disabled", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    TdsServerProcess broken(options);
    const Variant server = CreateOleObject(QStringLiteral("SQLDMO.SQLServer"));
    server.invoke("Connect",
                  {Variant(QStringLiteral("127.0.0.1,%1").arg(broken.port())), Variant("sa"), Variant("")});
    const Variant sample = item(server.get("Databases"), Variant("sample"));
    try {
        modelOf(sample);
        FAIL() << "read";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Invalid column name 'is_disabled'.")) << e.what();
    }
    EXPECT_THROW(sample.get("Tables"), AutomationError);
}

// A server without some catalog view (SQL Server 2005 to 2008 R2 have no sys.sequences; a file
// may lack any of the newer ones, and 2005's sys.indexes has no filter): that part is empty, the
// rest is read, in the same number of round trips.
struct OlderServer
{
    const char* name;
    const char* change; // SQL run on a copy of the sample
    const char* expected;
};

const char kWholeSample[] =
    "texts 7 encrypted 2 triggers 3 events 4 parameters 9 returns 2 checks 3 sequences 2 "
    "synonyms 2 filters 1 included 2 columns 51";

// What the model holds of each part.
QString partsOf(const TCatalogue& model)
{
    int texts = 0, encrypted = 0, triggers = 0, events = 0, parameters = 0, returns = 0, checks = 0,
        sequences = 0, synonyms = 0, filters = 0, included = 0, columns = 0;
    for (const TCatalogueObject& o : model.objects) {
        texts += !o.definition.isEmpty();
        encrypted += o.encrypted;
        for (const TCatalogueTrigger& t : o.triggers) {
            ++triggers;
            events += t.events.size();
            texts += !t.definition.isEmpty();
            encrypted += t.encrypted;
        }
        parameters += o.parameters.size();
        returns += o.returns.has_value();
        checks += o.checks.size();
        sequences += o.sequence.has_value();
        synonyms += !o.synonymTarget.isEmpty();
        for (const TCatalogueIndex& i : o.indexes) {
            filters += !i.filter.isEmpty();
            included += i.included.size();
        }
        if (o.kind == TObjectKind::Table)
            columns += o.columns.size();
    }
    return QStringLiteral("texts %1 encrypted %2 triggers %3 events %4 parameters %5 returns %6 checks %7 "
                          "sequences %8 synonyms %9 filters %10 included %11 columns %12")
        .arg(texts)
        .arg(encrypted)
        .arg(triggers)
        .arg(events)
        .arg(parameters)
        .arg(returns)
        .arg(checks)
        .arg(sequences)
        .arg(synonyms)
        .arg(filters)
        .arg(included)
        .arg(columns);
}

const OlderServer kOlderServers[] = {
    {"Complete", "", kWholeSample},
    {"NoSequences", "DROP TABLE sequences; DELETE FROM objects WHERE type = 'SO'",
     "texts 7 encrypted 2 triggers 3 events 4 parameters 9 returns 2 checks 3 sequences 0 synonyms 2 filters "
     "1 "
     "included 2 columns 51"},
    {"NoModules", "DROP TABLE sql_modules",
     "texts 0 encrypted 0 triggers 3 events 4 parameters 9 returns 2 checks 3 sequences 2 synonyms 2 filters "
     "1 "
     "included 2 columns 51"},
    {"NoTriggers", "DROP TABLE triggers",
     "texts 5 encrypted 1 triggers 0 events 0 parameters 9 returns 2 checks 3 sequences 2 synonyms 2 filters "
     "1 "
     "included 2 columns 51"},
    {"NoTriggerEvents", "DROP TABLE trigger_events",
     "texts 7 encrypted 2 triggers 3 events 0 parameters 9 returns 2 checks 3 sequences 2 synonyms 2 filters "
     "1 "
     "included 2 columns 51"},
    {"NoParameters", "DROP TABLE parameters",
     "texts 7 encrypted 2 triggers 3 events 4 parameters 0 returns 0 checks 3 sequences 2 synonyms 2 filters "
     "1 "
     "included 2 columns 51"},
    {"NoChecks", "DROP TABLE check_constraints",
     "texts 7 encrypted 2 triggers 3 events 4 parameters 9 returns 2 checks 0 sequences 2 synonyms 2 filters "
     "1 "
     "included 2 columns 51"},
    {"NoSynonyms", "DROP TABLE synonyms",
     "texts 7 encrypted 2 triggers 3 events 4 parameters 9 returns 2 checks 3 sequences 2 synonyms 0 filters "
     "1 "
     "included 2 columns 51"},
    {"IndexesWithoutFilters",
     "ALTER TABLE indexes DROP COLUMN has_filter; ALTER TABLE indexes DROP COLUMN filter_definition",
     "texts 7 encrypted 2 triggers 3 events 4 parameters 9 returns 2 checks 3 sequences 2 synonyms 2 filters "
     "0 "
     "included 2 columns 51"},
    // The filter is read by its text alone, whatever else a file's sys.indexes holds.
    {"IndexesWithoutHasFilter", "ALTER TABLE indexes DROP COLUMN has_filter", kWholeSample},
    {"NoneOfTheNewerViews",
     "DROP TABLE sequences; DROP TABLE sql_modules; DROP TABLE triggers; DROP TABLE trigger_events; "
     "DROP TABLE parameters; DROP TABLE check_constraints; DROP TABLE synonyms; "
     "ALTER TABLE indexes DROP COLUMN has_filter; ALTER TABLE indexes DROP COLUMN filter_definition",
     "texts 0 encrypted 0 triggers 0 events 0 parameters 0 returns 0 checks 0 sequences 0 synonyms 0 filters "
     "0 "
     "included 2 columns 51"},
};

class SqlServerOlderCatalogue : public TdsServerSuite, public ::testing::WithParamInterface<OlderServer>
{
public:
    static void SetUpTestSuite()
    {
        if (driversMissing())
            return;
        StartServer({}, [](const std::string& dir) {
            for (const OlderServer& c : kOlderServers) {
                tdsfixture::writeDatabase(tdsfixture::sampleDatabase(), dir);
                const QString folder = QString::fromStdString(dir);
                const QString file = folder + QStringLiteral("/%1.sqlite").arg(QLatin1String(c.name));
                ASSERT_TRUE(QFile::rename(folder + QStringLiteral("/sample.sqlite"), file));
                sqlite3* handle = nullptr;
                ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &handle), SQLITE_OK);
                EXPECT_EQ(sqlite3_exec(handle, c.change, nullptr, nullptr, nullptr), SQLITE_OK) << c.name;
                sqlite3_close(handle);
            }
        });
    }
    void SetUp() override
    {
        if (driversMissing())
            GTEST_SKIP() << "ODBC drivers missing";
        TdsServerSuite::SetUp();
    }
};

TEST_P(SqlServerOlderCatalogue, ReadsWhatThereIsAtTheSameCost)
{
    Variant server = newServer(10);
    server.invoke("Connect", {Variant(QStringLiteral("127.0.0.1,%1").arg(s_server->port())), Variant("sa"),
                              Variant("")});
    const Variant db = item(server.get("Databases"), Variant(QLatin1String(GetParam().name)));
    const TdsServerProcess::Counts before = s_server->counts();
    const std::shared_ptr<const TCatalogue> model = modelOf(db);
    const TdsServerProcess::Counts after = s_server->counts();
    ASSERT_TRUE(model);
    EXPECT_EQ(partsOf(*model).toStdString(), GetParam().expected);
    EXPECT_EQ(objectIn(*model, "titles").columns.size(), 10);
    // The engine edition, the USE and the one batch, as for the whole sample.
    EXPECT_EQ((after.batches - before.batches) + (after.rpc - before.rpc), 3);
}

INSTANTIATE_TEST_SUITE_P(Cases, SqlServerOlderCatalogue, ::testing::ValuesIn(kOlderServers), caseName);

TEST_F(SqlServerProvider, DatabaseWhoseNameNeedsQuotingBesideAnother)
{
    const Variant server = connected();
    const Variant weird = item(server.get("Databases"), Variant("we]ird';db"));
    const Variant sample = item(server.get("Databases"), Variant("sample"));
    // Read in turns: each list after the other database became the current one.
    EXPECT_EQ(names(weird.get("Views")), QStringList{"v;1"});
    EXPECT_EQ(sample.get("Views").get("Count").toInt(), 2);
    const Variant columns = item(weird.get("Tables"), Variant("t]1")).get("Columns");
    EXPECT_EQ(names(columns), (QStringList{"a", "b'c"}));
}

TEST_F(SqlServerProvider, ObjectsOutliveTheServerObjectAndTheirConnectionGoesWithThem)
{
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();
    {
        // The columns are read only after the server object is gone.
        const Variant columns =
            item(database(QStringLiteral("sample")).get("Tables"), Variant("titles")).get("Columns");
        EXPECT_EQ(columns.get("Count").toInt(), 10);
    }
    EXPECT_EQ(QSqlDatabase::connectionNames(), connectionsBefore);
}

TEST_F(SqlServerProvider, SystemTableQueryFindsSystemTablesByName)
{
    const std::unique_ptr<TQueryObject> query = CreateQueryObject(ptSQLServer);
    query->setConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Password=%1;Persist Security Info=True;User "
                       "ID=%2;Initial Catalog=sample;Data Source=%3")
            .arg(kPassword, kUser, serverName()));
    query->close();
    query->setCommandText(QStringLiteral("SELECT * FROM sysobjects where xtype = 's'"));
    query->open();
    EXPECT_TRUE(query->locate(QStringLiteral("name"), QStringLiteral("sysobjects")));
    EXPECT_TRUE(query->locate(QStringLiteral("NAME"), QStringLiteral("sysusers")));
    EXPECT_FALSE(query->locate(QStringLiteral("name"), QStringLiteral("titles")));
    EXPECT_FALSE(query->locate(QStringLiteral("name"), QStringLiteral("sysobj")));

    query->setConnectionString(
        QStringLiteral("User ID=%1;Password=wrong;Data Source=%2").arg(kUser, serverName()));
    try {
        query->open();
        FAIL() << "opened";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("Login failed for user 'tester'"))) << e.what();
    }
    EXPECT_FALSE(query->locate(QStringLiteral("name"), QStringLiteral("sysobjects")));
}

struct ConnectionTestCase
{
    const char* name;
    QString login;
    QString password;
    QString database;
    const char* failure; // a piece of the message; nullptr: the test passes
};

class SqlServerConnectionTest : public SqlServerProvider,
                                public ::testing::WithParamInterface<ConnectionTestCase>
{
};

TEST_P(SqlServerConnectionTest, ReportsTheFailureOrNothing)
{
    const ConnectionTestCase& c = GetParam();
    const QString message = TestSqlServerConnection(serverName(), c.login, c.password, c.database);
    if (c.failure) {
        EXPECT_TRUE(message.contains(QLatin1String(c.failure))) << qPrintable(message);
        // The server's words, without the driver's tags.
        EXPECT_FALSE(message.contains(QLatin1String("[FreeTDS]"))) << qPrintable(message);
    } else
        EXPECT_EQ(message, QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqlServerConnectionTest,
    ::testing::Values(ConnectionTestCase{"ServerOnly", kUser, kPassword, QString(), nullptr},
                      ConnectionTestCase{"PasswordWithSeparatorsAndBraces", kOddUser, kOddPassword,
                                         QStringLiteral("sample"), nullptr},
                      ConnectionTestCase{"WrongPassword", kUser, QStringLiteral("wrong"), QString(),
                                         "Login failed for user 'tester'"},
                      ConnectionTestCase{"UnknownDatabase", kUser, kPassword, QStringLiteral("nope"),
                                         "'nope'"}),
    caseName);

// The server goes away under a connected object and comes back on the same port (started through
// a script that pins the port).
class SqlServerAutoReconnect : public ::testing::TestWithParam<bool>
{
};

TEST_P(SqlServerAutoReconnect, LogsInAgainOnlyWhenAsked)
{
    const QString program = QStringLiteral(ORVANE_BINARY_DIR "/tests/support/tds/tds-testserver");
    if (driversMissing() || !QFile::exists(program))
        GTEST_SKIP() << "ODBC drivers or tds-testserver missing";
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::sampleDatabase(), dir.path().toStdString());
    tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), dir.path().toStdString());
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

    const Variant sqlServer = newServer(5, GetParam());
    sqlServer.invoke(
        "Connect", {Variant(QStringLiteral("127.0.0.1,%1").arg(port)), Variant("tester"), Variant("Secr3t")});
    const Variant sample = item(sqlServer.get("Databases"), Variant("sample"));
    EXPECT_EQ(sample.get("Tables").get("Count").toInt(), 23);

    server.reset();
    server = std::make_unique<TdsServerProcess>(options);
    // What was read stays; the next database needs the server again.
    EXPECT_EQ(sample.get("Views").get("Count").toInt(), 2);
    const Variant other = item(sqlServer.get("Databases"), Variant("we]ird';db"));
    if (GetParam())
        EXPECT_EQ(other.get("Views").get("Count").toInt(), 1);
    else
        EXPECT_THROW(other.get("Views"), AutomationError);
}

INSTANTIATE_TEST_SUITE_P(Settings, SqlServerAutoReconnect, ::testing::Bool(),
                         [](const auto& p) { return std::string(p.param ? "On" : "Off"); });

// The data link dialog's list under DENY VIEW ANY DATABASE: what the server shows, plus a database
// typed by hand once the server has let it be used; a name it refuses brings the server's message.
TEST(SqlServerDataLinkList, ADatabaseTypedByHandIsTriedNotRefused)
{
    if (driversMissing())
        GTEST_SKIP() << "ODBC drivers missing";
    QTemporaryDir dir;
    tdsfixture::writeStandardFixtures(dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.denyViewAnyDatabase = true;
    // Not sa: a sysadmin sees every database.
    options.logins = {"lister:"};
    TdsServerProcess server(options);
    TDataLinkFields fields;
    fields.Server = QStringLiteral("127.0.0.1,%1").arg(server.port());
    fields.User = QStringLiteral("lister");
    EXPECT_EQ(ListServerDatabases(ComposeDataLinkString(fields)), QStringList{QStringLiteral("master")});
    fields.Database = QStringLiteral("SAMPLE");
    EXPECT_EQ(ListServerDatabases(ComposeDataLinkString(fields)),
              QStringList({QStringLiteral("master"), QStringLiteral("sample")}));
    // A database that cannot be opened gives way to the list the login sees from master.
    fields.Database = QStringLiteral("gone");
    EXPECT_EQ(ListServerDatabases(ComposeDataLinkString(fields)), QStringList{QStringLiteral("master")});
}

// Azure SQL Database refuses USE between databases (40508): the session starts in the database of
// its log-in, and reaches another one by a log-in of its own; one without a database is refused.
TEST(SqlServerAzure, AnotherDatabaseIsReachedByALogInNotByUse)
{
    if (driversMissing())
        GTEST_SKIP() << "ODBC drivers missing";
    QTemporaryDir dir;
    tdsfixture::writeStandardFixtures(dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.azure = true;
    options.logins = {"sa:", "guest:G1"};
    options.extraArguments = {"--contained", "guest:sample"};
    TdsServerProcess server(options);
    const QString name = QStringLiteral("127.0.0.1,%1").arg(server.port());

    // A contained user must name its database; a server login lands in master.
    EXPECT_THROW(newServer(5).invoke("Connect", {Variant(name), Variant("guest"), Variant("G1")}),
                 AutomationError);
    EXPECT_NO_THROW(newServer(5).invoke("Connect", {Variant(name), Variant("sa"), Variant("")}));

    Variant sqlServer = newServer(5);
    sqlServer.put("LoginDatabase", Variant(QStringLiteral("sample")));
    sqlServer.invoke("Connect", {Variant(name), Variant("sa"), Variant("")});
    const long logins = server.counts().logins;
    EXPECT_EQ(item(sqlServer.get("Databases"), Variant("sample")).get("Views").get("Count").toInt(), 2);
    EXPECT_EQ(server.counts().logins, logins);
    EXPECT_EQ(item(sqlServer.get("Databases"), Variant("we]ird';db")).get("Views").get("Count").toInt(), 1);
    EXPECT_EQ(server.counts().logins, logins + 1);
}

// sys.types shows a user type only to a login with a permission on it: a column of a type the
// login cannot see is named by its base type, and no column drops out of its table.
TEST(SqlServerTypeVisibility, AColumnOfAnUnseenUserTypeKeepsItsBaseType)
{
    if (driversMissing())
        GTEST_SKIP() << "ODBC drivers missing";
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::sampleDatabase(), dir.path().toStdString());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.filePath(QStringLiteral("sample.sqlite")).toUtf8().constData(), &db),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DELETE FROM types WHERE is_user_defined = 1", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    TdsServerProcess server(options);
    Variant sqlServer = newServer(5);
    sqlServer.put("LoginDatabase", Variant(QStringLiteral("sample")));
    sqlServer.invoke(
        "Connect", {Variant(QStringLiteral("127.0.0.1,%1").arg(server.port())), Variant("sa"), Variant("")});
    const Variant columns =
        item(item(sqlServer.get("Databases"), Variant("sample")).get("Tables"), Variant("titles"))
            .get("Columns");
    ASSERT_EQ(columns.get("Count").toInt(), 10);
    const Variant titleId = item(columns, Variant(1));
    EXPECT_EQ(titleId.get("Name").toText(), QStringLiteral("title_id"));
    EXPECT_EQ(titleId.get("DataType").toText(), QStringLiteral("varchar"));
    EXPECT_EQ(titleId.get("Length").toInt(), 6);
}

} // namespace
