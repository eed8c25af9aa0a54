// The test TDS server as the SQL Server provider meets it: through Qt's ODBC driver and the real
// FreeTDS driver. Log-ins and their refusals, catalogue queries on the generated fixtures, bound
// parameters, awkward names, USE, errors, the login timeout, request counts and bad clients.
// Also the type rules of the fixture writer, which the catalogue's faithfulness rests on.
#include "CatalogFixture.h"
#include "TdsServerProcess.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::string kUser = "tester";
const std::string kPassword = "Secr3t;x";

// One QODBC connection, removed again when the test is done with it.
class Connection
{
public:
    Connection(const TdsServerProcess& server, const std::string& database,
               const std::string& password = kPassword, const std::string& user = kUser,
               const QString& options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=20"))
        : m_name(QStringLiteral("tds%1").arg(++s_counter))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        db.setDatabaseName(QString::fromStdString(server.connectionString(user, password, database)));
        db.setConnectOptions(options);
        m_open = db.open();
        m_error = db.lastError();
    }
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_open; }
    const QSqlError& error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    QSqlQuery query() const
    {
        QSqlQuery q(db());
        q.setForwardOnly(true); // a scrollable query would ask for server cursors
        return q;
    }
    // The first column of every row; the query must succeed.
    QStringList column(const QString& sql) const
    {
        QSqlQuery q = query();
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        QStringList values;
        while (q.next())
            values << q.value(0).toString();
        return values;
    }

private:
    static inline std::atomic<int> s_counter{0};
    QString m_name;
    bool m_open = false;
    QSqlError m_error;
};

class TdsServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/orvane-tds-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_dir = pattern;
        tdsfixture::writeStandardFixtures(s_dir);
        s_server = std::make_unique<TdsServerProcess>(TdsServerProcess::Options{
            s_dir, {kUser + ":" + kPassword, "sa:"}, 0, 0, 0, 0, 0, false, false, {}, {}, {}, {}, {}, {}});
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        std::filesystem::remove_all(s_dir);
    }
    void SetUp() override
    {
        if (TdsServerProcess::odbcDriverPath().empty())
            GTEST_SKIP() << "FreeTDS ODBC driver (tdsodbc) not installed";
    }

    static TdsServerProcess& server() { return *s_server; }

    static inline std::string s_dir;
    static inline std::unique_ptr<TdsServerProcess> s_server;
};

TEST_F(TdsServer, LogsInAndListsTheNineteenSystemTables)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    const QStringList expected = {
        "syscolumns",        "syscomments",    "sysdepends",     "sysfilegroups",
        "sysfiles",          "sysfiles1",      "sysforeignkeys", "sysfulltextcatalogs",
        "sysfulltextnotify", "sysindexes",     "sysindexkeys",   "sysmembers",
        "sysobjects",        "syspermissions", "sysproperties",  "sysprotects",
        "sysreferences",     "systypes",       "sysusers"};
    EXPECT_EQ(c.column("SELECT name FROM sysobjects WHERE xtype='S' ORDER BY name"), expected);
    // The table list's own query, with its lower-case letter.
    EXPECT_EQ(c.column("SELECT * FROM sysobjects where xtype = 's'").size(), 19);
    EXPECT_EQ(c.column("SELECT name FROM sysobjects WHERE xtype='U' ORDER BY name"),
              QStringList({"Maße]'; Übersicht", "Order Details", "titles", "titles"}));
}

TEST_F(TdsServer, CatalogueJoinGivesServerTypesAndLengths)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    ASSERT_TRUE(q.exec("SELECT c.name, t.name, c.length, c.xprec, c.xscale, c.isnullable FROM syscolumns c"
                       " JOIN sysobjects o ON o.id = c.id JOIN systypes t ON t.xusertype = c.xusertype"
                       " WHERE o.name = 'Order Details' ORDER BY c.colid"))
        << q.lastError().text().toStdString();
    QStringList rows;
    while (q.next()) {
        rows << QStringLiteral("%1 %2 %3 %4 %5 %6")
                    .arg(q.value(0).toString(), q.value(1).toString())
                    .arg(q.value(2).toInt())
                    .arg(q.value(3).toInt())
                    .arg(q.value(4).toInt())
                    .arg(q.value(5).toInt());
    }
    ASSERT_EQ(rows.size(), 14);
    EXPECT_EQ(rows[1], "emp_id empid 9 0 0 0");
    EXPECT_EQ(rows[5], "Größe decimal 9 10 2 1");
    EXPECT_EQ(rows[6], "it's nvarchar -1 0 0 1");
    EXPECT_EQ(rows[8], "x;y bit 1 1 0 0");
}

// Awkward names reach the client intact, whether written into the SQL text or bound.
class NameRoundTrip : public TdsServer, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(NameRoundTrip, AsLiteralAndAsBoundParameter)
{
    const QString name = QString::fromUtf8(GetParam());
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QString literal = name;
    literal.replace("'", "''");
    EXPECT_EQ(c.column("SELECT name FROM syscolumns WHERE name = N'" + literal +
                       "' UNION "
                       "SELECT name FROM sysobjects WHERE name = N'" +
                       literal + "'"),
              QStringList{name});

    QSqlQuery q = c.query();
    ASSERT_TRUE(q.prepare("SELECT o.name, o.uid FROM sysobjects o WHERE o.name = ? AND o.uid = ? UNION "
                          "SELECT c.name, 1 FROM syscolumns c WHERE c.name = ? AND c.colid > ?"));
    q.addBindValue(name);
    q.addBindValue(1);
    q.addBindValue(name);
    q.addBindValue(0);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), name);
    EXPECT_EQ(q.value(1).toInt(), 1);
    EXPECT_FALSE(q.next());
}

INSTANTIATE_TEST_SUITE_P(Names, NameRoundTrip,
                         ::testing::Values("titles", "Order Details", "Maße]'; Übersicht", "Größe Ansicht",
                                           "日本語の列", "it's", "a]b", "x;y"));

// A value as the tests compare it: NULL, bytes in hex, anything else as text.
std::string shown(const QVariant& v)
{
    if (v.isNull())
        return "NULL";
    if (v.metaType().id() == QMetaType::QByteArray)
        return v.toByteArray().toHex().toStdString();
    return v.toString().toStdString();
}

// Result columns take their type from the values, or from the declared type when there are none.
struct ColumnCase
{
    const char* select;
    int metaType; // of the field, as the driver describes the column
    const char* text;
};

class ResultColumnType : public TdsServer, public ::testing::WithParamInterface<ColumnCase>
{
};

TEST_P(ResultColumnType, FollowsTheValues)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    ASSERT_TRUE(q.exec(GetParam().select)) << q.lastError().text().toStdString();
    EXPECT_EQ(q.record().field(0).metaType().id(), GetParam().metaType)
        << q.record().field(0).metaType().name();
    const std::string text = q.next() ? shown(q.value(0)) : "(no row)";
    EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResultColumnType,
    ::testing::Values(ColumnCase{"SELECT 42", QMetaType::Int, "42"},
                      ColumnCase{"SELECT 5000000000", QMetaType::LongLong, "5000000000"},
                      ColumnCase{"SELECT 2.5", QMetaType::Double, "2.5"},
                      ColumnCase{"SELECT 'Größe'", QMetaType::QString, "Größe"},
                      ColumnCase{"SELECT NULL", QMetaType::QString, "NULL"},
                      ColumnCase{"SELECT x'41ff'", QMetaType::QByteArray, "41ff"},
                      // Mixed values: the widest kind wins, numbers written out as text.
                      ColumnCase{"SELECT 7 UNION ALL SELECT 'x' ORDER BY 1", QMetaType::QString, "7"},
                      ColumnCase{"SELECT 1 UNION ALL SELECT 0.5 ORDER BY 1 DESC", QMetaType::Double, "1"},
                      // No rows: the declared type of the column decides.
                      ColumnCase{"SELECT uid FROM sysobjects WHERE 0 = 1", QMetaType::Int, "(no row)"},
                      ColumnCase{"SELECT name FROM sysobjects WHERE 0 = 1", QMetaType::QString, "(no row)"}));

TEST_F(TdsServer, LongTextsAreCutAt4000Characters)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    const QStringList values = c.column("SELECT hex(zeroblob(2500))");
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0], QString(4000, '0'));
}

// Every kind of value Qt binds reaches the statement: "SELECT ?" gives it back.
struct BoundCase
{
    QVariant value;
    const char* back;
};

class BoundValue : public TdsServer, public ::testing::WithParamInterface<BoundCase>
{
};

TEST_P(BoundValue, ComesBack)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    ASSERT_TRUE(q.prepare("SELECT ?"));
    q.addBindValue(GetParam().value);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(shown(q.value(0)), GetParam().back);
}

INSTANTIATE_TEST_SUITE_P(Values, BoundValue,
                         ::testing::Values(BoundCase{42, "42"}, BoundCase{-7, "-7"},
                                           BoundCase{qlonglong(5000000000), "5000000000"},
                                           BoundCase{true, "1"}, // no bit type: SQLite keeps an integer
                                           BoundCase{2.5, "2.5"},
                                           BoundCase{QString("Größe 日本語テキスト"), "Größe 日本語テキスト"},
                                           BoundCase{QString(""), ""},
                                           BoundCase{QByteArray("\0\x01\xff", 3), "0001ff"},
                                           BoundCase{QVariant(QMetaType::fromType<int>()), "NULL"},
                                           BoundCase{QVariant(QMetaType::fromType<QString>()), "NULL"}));

struct Refusal
{
    const char* user;
    const char* password;
    const char* database;
    const char* native;
};

class LoginRefused : public TdsServer, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(LoginRefused, OpenFailsWithTheServersMessage)
{
    const Refusal r = GetParam();
    Connection c(server(), r.database, r.password, r.user);
    EXPECT_FALSE(c.isOpen());
    EXPECT_TRUE(c.error().text().contains("Login failed for user")) << c.error().text().toStdString();
    EXPECT_EQ(c.error().nativeErrorCode().toStdString(), r.native);
}

INSTANTIATE_TEST_SUITE_P(Cases, LoginRefused,
                         ::testing::Values(Refusal{"tester", "Secr3t", "sample", "18456"},
                                           Refusal{"tester", "secr3t;x", "sample", "18456"},
                                           Refusal{"nobody", "Secr3t;x", "sample", "18456"},
                                           Refusal{"tester", "Secr3t;x", "nosuchdb", "4060"}));

TEST_F(TdsServer, UseSwitchesToANameThatNeedsQuoting)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    EXPECT_TRUE(q.exec("USE [we]]ird';db]")) << q.lastError().text().toStdString();
    EXPECT_EQ(c.column("SELECT db_name()"), QStringList{"we]ird';db"});
    EXPECT_EQ(c.column("SELECT name FROM sysobjects WHERE xtype IN ('U', 'V') ORDER BY name"),
              QStringList({"t]1", "v;1"}));

    Connection direct(server(), "we]ird';db");
    ASSERT_TRUE(direct.isOpen()) << direct.error().text().toStdString();
    EXPECT_EQ(direct.column("SELECT db_name()"), QStringList{"we]ird';db"});
}

// The database list is the same wherever it is asked for, master (a database without a file) included.
class DatabaseList : public TdsServer, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(DatabaseList, MasterFirstThenSortedFromEveryDatabase)
{
    Connection c(server(), GetParam());
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    EXPECT_EQ(c.column("SELECT name || ':' || dbid FROM sysdatabases ORDER BY dbid"),
              QStringList({"master:1", "big:2", "sample:3", "we]ird';db:4"}));
}

INSTANTIATE_TEST_SUITE_P(From, DatabaseList, ::testing::Values("", "master", "sample", "we]ird';db"));

struct FailingStatement
{
    const char* sql;
    const char* native;
};

class StatementError : public TdsServer, public ::testing::WithParamInterface<FailingStatement>
{
};

TEST_P(StatementError, FailsWithItsNumberAndLeavesTheConnectionUsable)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    EXPECT_FALSE(q.exec(GetParam().sql));
    EXPECT_EQ(q.lastError().nativeErrorCode().toStdString(), GetParam().native)
        << q.lastError().text().toStdString();
    EXPECT_EQ(c.column("SELECT count(*) FROM sysobjects WHERE xtype = 'U'"), QStringList{"4"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatementError,
    ::testing::Values(FailingStatement{"SELECT * FROM nosuchtable", "208"},
                      FailingStatement{"SELECT nosuchcolumn FROM sysobjects", "207"},
                      FailingStatement{"EXEC sp_help", "2812"}, FailingStatement{"USE nosuchdb", "911"},
                      // SQLite's dialect, not T-SQL's: the whole batch fails.
                      FailingStatement{"SELECT name FROM sysobjects LIMIT 1", "102"},
                      FailingStatement{"SELECT 1; SELECT name FROM sysobjects limit 1", "102"},
                      // Under QUOTED_IDENTIFIER ON "U" is a name, not a string.
                      FailingStatement{"SELECT name FROM sysobjects WHERE xtype = \"U\"", "207"},
                      // The fixtures are opened read-only.
                      FailingStatement{"DELETE FROM sysobjects", "50000"}));

// The catalog views of the fixture layout: every documented column answers, in any spelling of
// the view's name; a column of the real view that the layout leaves out fails as on a server
// without it, so a query cannot come to depend on what the fixtures do not hold.
struct CatalogView
{
    const char* view;
    const char* columns;
    const char* missing; // a column the real view has
};

class CatalogViews : public TdsServer, public ::testing::WithParamInterface<CatalogView>
{
};

TEST_P(CatalogViews, AnswerTheirColumnsAndRefuseOthers)
{
    const CatalogView& v = GetParam();
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    const QString view = QString::fromLatin1(v.view);
    QSqlQuery q = c.query();
    for (const QString& from : {"sys." + view, "[SYS].[" + view.toUpper() + "]"}) {
        const QString sql = QStringLiteral("SELECT %1 FROM %2 x").arg(QLatin1String(v.columns), from);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    EXPECT_FALSE(q.exec(QStringLiteral("SELECT x.%1 FROM sys.%2 x").arg(QLatin1String(v.missing), view)));
    EXPECT_EQ(q.lastError().nativeErrorCode(), QStringLiteral("207"));
    EXPECT_TRUE(q.lastError().databaseText().contains(
        QStringLiteral("Invalid column name '%1'.").arg(QLatin1String(v.missing))))
        << q.lastError().databaseText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Views, CatalogViews,
    ::testing::Values(
        CatalogView{"schemas", "name, schema_id, principal_id", "is_fixed_role"},
        CatalogView{"objects", "name, object_id, schema_id, parent_object_id, type, is_ms_shipped",
                    "create_date"},
        CatalogView{"columns",
                    "object_id, name, column_id, system_type_id, user_type_id, max_length, precision, scale, "
                    "is_nullable, is_identity, is_computed",
                    "collation_name"},
        CatalogView{
            "types",
            "name, system_type_id, user_type_id, schema_id, max_length, precision, scale, is_nullable, "
            "is_user_defined",
            "collation_name"},
        CatalogView{"indexes",
                    "object_id, name, index_id, type, is_unique, is_primary_key, is_unique_constraint, "
                    "is_disabled, has_filter, filter_definition",
                    "fill_factor"},
        CatalogView{"index_columns",
                    "object_id, index_id, index_column_id, column_id, key_ordinal, is_descending_key, "
                    "is_included_column",
                    "partition_ordinal"},
        CatalogView{"foreign_keys",
                    "name, object_id, parent_object_id, referenced_object_id, is_disabled, "
                    "delete_referential_action, update_referential_action",
                    "is_not_trusted"},
        CatalogView{"foreign_key_columns",
                    "constraint_object_id, constraint_column_id, parent_object_id, parent_column_id, "
                    "referenced_object_id, referenced_column_id",
                    "type"},
        CatalogView{"default_constraints", "name, object_id, parent_object_id, parent_column_id, definition",
                    "is_system_named"},
        CatalogView{"computed_columns", "object_id, column_id, definition", "is_persisted"},
        CatalogView{"identity_columns", "object_id, column_id, seed_value, increment_value", "last_value"},
        CatalogView{"extended_properties", "class, major_id, minor_id, name, value", "class_desc"},
        CatalogView{"sql_modules", "object_id, definition", "uses_ansi_nulls"},
        CatalogView{"check_constraints",
                    "name, object_id, parent_object_id, parent_column_id, definition, is_disabled",
                    "is_not_trusted"},
        CatalogView{
            "parameters",
            "object_id, name, parameter_id, system_type_id, user_type_id, max_length, precision, scale, "
            "is_output",
            "is_readonly"},
        CatalogView{"triggers",
                    "name, object_id, parent_class, parent_id, is_disabled, is_instead_of_trigger",
                    "type_desc"},
        CatalogView{"trigger_events", "object_id, type, type_desc", "is_first"},
        CatalogView{"sequences",
                    "name, object_id, schema_id, user_type_id, start_value, increment, minimum_value, "
                    "maximum_value, is_cycling",
                    "current_value"},
        CatalogView{"synonyms", "name, object_id, schema_id, base_object_name", "type"}),
    [](const auto& p) { return std::string(p.param.view); });

// Declared as Microsoft documents the views: names are sysname (nvarchar(128)), a type code is
// char(2), padded; a database without the views (SQL Server 2000) does not know them.
TEST_F(TdsServer, CatalogViewsCarryTheirDeclaredTypes)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    ASSERT_TRUE(q.exec("SELECT o.name, o.type, o.object_id, c.column_id, c.is_nullable FROM sys.objects o "
                       "JOIN sys.columns c ON c.object_id = o.object_id "
                       "WHERE o.name = 'titles' AND o.schema_id = 5 AND c.column_id = 1"))
        << q.lastError().text().toStdString();
    EXPECT_EQ(q.record().field(0).length(), 128);
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("U "));
    EXPECT_EQ(q.record().field(2).metaType().id(), QMetaType::Int);
    EXPECT_EQ(q.value(4).toInt(), 0);
    EXPECT_FALSE(q.next());

    Connection old(server(), "we]ird';db");
    ASSERT_TRUE(old.isOpen()) << old.error().text().toStdString();
    QSqlQuery none = old.query();
    EXPECT_FALSE(none.exec("SELECT name FROM sys.objects"));
    EXPECT_EQ(none.lastError().nativeErrorCode(), QStringLiteral("208"));
}

// Module texts as nvarchar(max): whole however long, leading comments and line ends kept; an
// encrypted module's text is NULL, a CLR routine has no row. Qt's ODBC driver gives up on a long
// nvarchar(max) value over FreeTDS, so the texts are read as their bytes, as the provider reads them.
TEST_F(TdsServer, ModuleTextsGoOutWhole)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    const tdsfixture::Database sample = tdsfixture::sampleDatabase();
    QSqlQuery q = c.query();
    const auto text = [&](const char* name) {
        const QString sql =
            QStringLiteral(
                "SELECT CAST(definition AS varbinary(max)) FROM sys.sql_modules WHERE object_id = %1")
                .arg(sample.find(name)->id);
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        QVariantList values;
        while (q.next())
            values << (q.value(0).isNull()
                           ? QVariant()
                           : QVariant(QString(
                                 QStringDecoder(QStringDecoder::Utf16LE).decode(q.value(0).toByteArray()))));
        return values;
    };
    for (const char* name : {"sales.Umsatzbericht", "titleview", "byroyalty"}) {
        const QVariantList values = text(name);
        ASSERT_EQ(values.size(), 1) << name;
        const QString expected = QString::fromStdString(sample.find(name)->definition);
        EXPECT_EQ(values[0].toString().size(), expected.size()) << name;
        EXPECT_TRUE(values[0].toString() == expected) << name;
    }
    EXPECT_GT(QString::fromStdString(sample.find("sales.Umsatzbericht")->definition).size(), 4000);
    const QVariantList encrypted = text("Größe Ansicht");
    ASSERT_EQ(encrypted.size(), 1);
    EXPECT_TRUE(encrypted[0].isNull());
    EXPECT_TRUE(text("RegexMatch").isEmpty());
    // Declared as the view declares it; a short value reads as text.
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT definition FROM sys.sql_modules WHERE object_id = %1")
                           .arg(sample.find("byroyalty")->id)));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString().toStdString(), sample.find("byroyalty")->definition);
}

// CAST(... AS varbinary(max)) gives a value's bytes as SQL Server does: nvarchar text as UTF-16LE,
// an int as its four bytes, high first.
TEST_F(TdsServer, CastsToVarbinaryMaxGiveTheBytes)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    ASSERT_TRUE(q.exec("SELECT CAST(N'Aä' AS varbinary(max)), CAST(258 AS VARBINARY ( MAX )), "
                       "CAST(NULL AS varbinary(max)), CAST('7' AS int)"))
        << q.lastError().text().toStdString();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toByteArray(), QByteArray("A\0\xE4\0", 4));
    EXPECT_EQ(q.value(1).toByteArray(), QByteArray("\0\0\x01\x02", 4));
    EXPECT_TRUE(q.value(2).isNull());
    EXPECT_EQ(q.value(3).toInt(), 7);
}

// OBJECT_ID as SQL Server answers it: a catalog view the database has (negative), an object by
// one, two or three parts in any letter case, NULL for what is not there.
struct ObjectIdCase
{
    const char* label;
    const char* arguments;
    const char* object; // what it names: "sys" for a catalog view, "" for NULL
};

class ObjectId : public TdsServer, public ::testing::WithParamInterface<ObjectIdCase>
{
};

TEST_P(ObjectId, NamesWhatTheDatabaseHolds)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT OBJECT_ID(%1)").arg(QString::fromUtf8(GetParam().arguments))))
        << q.lastError().text().toStdString();
    ASSERT_TRUE(q.next());
    const std::string object = GetParam().object;
    if (object.empty())
        EXPECT_TRUE(q.value(0).isNull()) << q.value(0).toString().toStdString();
    else if (object == "sys")
        EXPECT_LT(q.value(0).toLongLong(), 0);
    else
        EXPECT_EQ(q.value(0).toLongLong(), tdsfixture::sampleDatabase().find(object)->id);
}

INSTANTIATE_TEST_SUITE_P(Names, ObjectId,
                         ::testing::Values(ObjectIdCase{"Bare", "N'titles'", "titles"},
                                           ObjectIdCase{"OtherCase", "'TITLES'", "titles"},
                                           ObjectIdCase{"Dbo", "'dbo.titles'", "titles"},
                                           ObjectIdCase{"OtherSchema", "N'[sales].[titles]'", "sales.titles"},
                                           ObjectIdCase{"ThisDatabase", "'sample.dbo.titles'", "titles"},
                                           ObjectIdCase{"OtherDatabase", "'big.dbo.titles'", ""},
                                           ObjectIdCase{"Quoted", "N'[Maße]]''; Übersicht]'",
                                                        "Maße]'; Übersicht"},
                                           ObjectIdCase{"Missing", "'nosuch'", ""},
                                           ObjectIdCase{"OfType", "'titleview', 'V'", "titleview"},
                                           ObjectIdCase{"OfOtherType", "'titles', 'V'", ""},
                                           ObjectIdCase{"CatalogView", "N'sys.sequences'", "sys"},
                                           ObjectIdCase{"CatalogViewBracketed", "'[SYS].[Objects]'", "sys"},
                                           ObjectIdCase{"NoSuchView", "'sys.nosuch'", ""},
                                           ObjectIdCase{"UserTableIsNoCatalogView", "'sys.titles'", ""}),
                         [](const auto& p) { return std::string(p.param.label); });

// A database of an older server, without sys.sequences (and, as on SQL Server 2005, without the
// filter of sys.indexes): a statement naming it fails with 208 and ends the batch, as on SQL
// Server; guarded by IF OBJECT_ID, the batch goes on.
class MissingView : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/orvane-tds-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_dir = pattern;
        tdsfixture::writeDatabase(tdsfixture::sampleDatabase(), s_dir);
        std::filesystem::copy_file(s_dir + "/sample.sqlite", s_dir + "/old.sqlite");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((s_dir + "/old.sqlite").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "DROP TABLE sequences; ALTER TABLE indexes DROP COLUMN has_filter; "
                               "ALTER TABLE indexes DROP COLUMN filter_definition",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        TdsServerProcess::Options options;
        options.catalogDir = s_dir;
        options.logins = {kUser + ":" + kPassword};
        s_server = std::make_unique<TdsServerProcess>(options);
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        std::filesystem::remove_all(s_dir);
    }
    void SetUp() override
    {
        if (TdsServerProcess::odbcDriverPath().empty())
            GTEST_SKIP() << "FreeTDS ODBC driver (tdsodbc) not installed";
    }

    // The first column of each result of the batch, "|"-joined, one text per result; the error's
    // number last when the batch ended with one.
    static QStringList results(const char* database, const char* sql)
    {
        Connection c(*s_server, database);
        EXPECT_TRUE(c.isOpen()) << c.error().text().toStdString();
        QSqlQuery q = c.query();
        QStringList out;
        if (!q.exec(QString::fromUtf8(sql)))
            return {q.lastError().nativeErrorCode()};
        do {
            QStringList values;
            while (q.next())
                values << q.value(0).toString();
            out << values.join(u'|');
        } while (q.nextResult());
        if (q.lastError().isValid())
            out << q.lastError().nativeErrorCode();
        return out;
    }

    static inline std::string s_dir;
    static inline std::unique_ptr<TdsServerProcess> s_server;
};

TEST_F(MissingView, EndsTheBatchUnlessGuarded)
{
    const char* unguarded = "SELECT 1; SELECT name FROM sys.sequences; SELECT 2";
    EXPECT_EQ(results("sample", unguarded), QStringList({"1", "Auftragsnummern|Kassenzettel", "2"}));
    EXPECT_EQ(results("old", unguarded), QStringList({"1", "208"}));

    const char* guarded =
        "SELECT 1;\n"
        "IF OBJECT_ID(N'sys.sequences') IS NOT NULL SELECT name FROM sys.sequences ORDER BY name;\n"
        "ELSE SELECT NULL WHERE 1 = 0;\n"
        "SELECT 2";
    EXPECT_EQ(results("sample", guarded), QStringList({"1", "Auftragsnummern|Kassenzettel", "2"}));
    EXPECT_EQ(results("old", guarded), QStringList({"1", "", "2"}));
    // Without ELSE and its semicolon; the branch not taken gives no result at all.
    EXPECT_EQ(results("old", "IF OBJECT_ID('sys.sequences') IS NULL SELECT 'none' ELSE SELECT name FROM "
                             "sys.sequences; SELECT 3"),
              QStringList({"none", "3"}));
    EXPECT_EQ(results("old", "IF 1 = 0 SELECT name FROM sys.sequences; SELECT 4"), QStringList({"4"}));
    // A condition that fails is the statement's error; a block is not run here.
    EXPECT_EQ(results("old", "SELECT 5; IF nosuch = 1 SELECT 6"), QStringList({"5", "207"}));
    EXPECT_EQ(results("old", "IF 1 = 1 BEGIN SELECT 7 END"), QStringList({"50000"}));
}

// A column a view lacks fails the batch when it is compiled; a string run by EXEC is compiled only
// when it runs, so COL_LENGTH can guard it.
TEST_F(MissingView, ExecRunsAStringOnlyWhenItsTurnComes)
{
    EXPECT_EQ(
        results("sample",
                "SELECT COALESCE(CAST(COL_LENGTH('sys.indexes', 'filter_definition') AS TEXT), 'NULL') "
                "|| ' ' || COL_LENGTH(N'[sys].[objects]', N'NAME') || ' ' || "
                "COL_LENGTH('sys.objects', 'type') || ' ' || COALESCE(COL_LENGTH('sys.objects', "
                "'nosuch'), 'NULL') || ' ' || COL_LENGTH('titles', 'title') || ' ' || "
                "COL_LENGTH('sales.titles', 'Qty') || ' ' || COALESCE(COL_LENGTH('nosuch', 'a'), 'NULL')"),
        QStringList({"-1 256 2 NULL 80 2 NULL"}));
    EXPECT_EQ(results("old", "SELECT COALESCE(COL_LENGTH('sys.indexes', 'filter_definition'), 'NULL')"),
              QStringList({"NULL"}));
    const char* guarded = "IF COL_LENGTH(N'sys.indexes', N'has_filter') IS NOT NULL "
                          "EXEC (N'SELECT name FROM sys.indexes WHERE has_filter = 1 AND name <> ''x''');\n"
                          "ELSE SELECT NULL WHERE 1 = 0;\n"
                          "SELECT 2";
    EXPECT_EQ(results("sample", guarded), QStringList({"IX_sales_titles_Offen", "2"}));
    EXPECT_EQ(results("old", guarded), QStringList({"", "2"}));
    EXPECT_EQ(results("old", "SELECT name FROM sys.indexes WHERE has_filter = 1"), QStringList({"207"}));
}

// Names compare as under SQL_Latin1_General_CP1_CI_AS: letter case and trailing blanks do not
// count, accents do.
struct CollatedName
{
    const char* label;
    const char* literal;
    bool found;
};

class TdsServerCollation : public TdsServer, public testing::WithParamInterface<CollatedName>
{
};

TEST_P(TdsServerCollation, NamesCompareCaseBlindButAccentSensitive)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    const QStringList names =
        c.column(QStringLiteral("SELECT name FROM sysobjects WHERE xtype='U' AND name = '%1'")
                     .arg(QString::fromUtf8(GetParam().literal)));
    EXPECT_EQ(!names.isEmpty(), GetParam().found) << names.join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Names, TdsServerCollation,
                         testing::Values(CollatedName{"Exact", "Order Details", true},
                                         CollatedName{"OtherCase", "ORDER details", true},
                                         CollatedName{"TrailingBlanks", "Order Details   ", true},
                                         CollatedName{"OtherCaseOfUmlauts", "MAßE]''; üBERSICHT", true},
                                         CollatedName{"Accent", "Order Détails", false},
                                         CollatedName{"LeadingBlank", " Order Details", false}),
                         [](const testing::TestParamInfo<CollatedName>& p) {
                             return std::string(p.param.label);
                         });

// sys.databases is the server's, the same from every database, and names its columns as the view.
TEST_F(TdsServer, SysDatabasesListsTheFolder)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    EXPECT_EQ(
        c.column("SELECT name || ':' || database_id || ':' || state_desc FROM [SYS].[Databases] ORDER BY "
                 "database_id"),
        c.column("SELECT name || ':' || dbid || ':ONLINE' FROM sysdatabases ORDER BY dbid"));
    EXPECT_EQ(c.column("SELECT count(*) FROM sys.databases"), QStringList{"4"});
    // Inside a string it is text.
    EXPECT_EQ(c.column("SELECT 'sys.databases'"), QStringList{"sys.databases"});
}

TEST_F(TdsServer, SeveralStatementsGiveSeveralResults)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    // Each result is read to its end before the next, as the driver needs.
    ASSERT_TRUE(
        q.exec("SET NOCOUNT ON; SELECT name FROM sysobjects WHERE id IN (1, 3) ORDER BY id; SELECT 2 + 3"));
    QStringList first;
    while (q.next())
        first << q.value(0).toString();
    EXPECT_EQ(first, QStringList({"sysobjects", "syscolumns"}));
    ASSERT_TRUE(q.nextResult());
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 5);
    EXPECT_FALSE(q.next());
    EXPECT_FALSE(q.nextResult());
}

TEST_F(TdsServer, LargeResultsCrossManyPackets)
{
    Connection c(server(), "big");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    const QStringList names = c.column("SELECT o.name || '.' || c.name FROM sysobjects o JOIN syscolumns c"
                                       " ON c.id = o.id WHERE o.xtype = 'U' ORDER BY o.name, c.colid");
    ASSERT_EQ(names.size(), 1000 * 20);
    EXPECT_EQ(names.first(), "Table0001.Col01_varchar");
    EXPECT_EQ(names.last(), "Table1000.Col20_int");
}

TEST_F(TdsServer, ConnectionsToDifferentDatabasesRunSideBySide)
{
    Connection a(server(), "sample");
    Connection b(server(), "we]ird';db");
    ASSERT_TRUE(a.isOpen() && b.isOpen());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.column("SELECT db_name()"), QStringList{"sample"});
        EXPECT_EQ(b.column("SELECT db_name()"), QStringList{"we]ird';db"});
    }
}

TEST_F(TdsServer, CountsGrowByTheBatchesSent)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    const TdsServerProcess::Counts before = server().counts();
    c.column("SELECT 1");
    c.column("SELECT 1; SELECT 2");
    QSqlQuery failing = c.query();
    failing.exec("SELECT * FROM nosuchtable");
    const TdsServerProcess::Counts afterBatches = server().counts();
    EXPECT_EQ(afterBatches.batches - before.batches, 3);
    EXPECT_EQ(afterBatches.rpc, before.rpc);

    QSqlQuery prepared = c.query();
    ASSERT_TRUE(prepared.prepare("SELECT name FROM sysobjects WHERE id = ?"));
    prepared.addBindValue(1);
    ASSERT_TRUE(prepared.exec());
    const TdsServerProcess::Counts afterRpc = server().counts();
    EXPECT_EQ(afterRpc.batches, afterBatches.batches);
    EXPECT_GE(afterRpc.rpc - afterBatches.rpc, 1);
}

// What the driver sends besides queries: transactions, a cancel for results left unread, and a
// statement prepared again with new values. None may leave the connection stuck.
TEST_F(TdsServer, TransactionsCancelsAndReexecutionAreAnswered)
{
    Connection c(server(), "big");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlDatabase db = c.db();
    ASSERT_TRUE(db.transaction()) << db.lastError().text().toStdString();
    EXPECT_TRUE(db.commit()) << db.lastError().text().toStdString();
    ASSERT_TRUE(db.transaction());
    EXPECT_TRUE(db.rollback()) << db.lastError().text().toStdString();
    {
        QSqlQuery unread = c.query();
        ASSERT_TRUE(unread.exec("SELECT name FROM syscolumns"));
        ASSERT_TRUE(unread.next());
        unread.finish(); // thousands of rows still pending
    }
    EXPECT_EQ(c.column("SELECT count(*) FROM sysobjects WHERE xtype = 'U'"), QStringList{"1000"});

    QSqlQuery unbound = c.query(); // prepared without values: the declaration arrives as NULL
    ASSERT_TRUE(unbound.prepare("SELECT count(*) FROM sysobjects WHERE xtype = 'S'"));
    ASSERT_TRUE(unbound.exec()) << unbound.lastError().text().toStdString();
    ASSERT_TRUE(unbound.next());
    EXPECT_EQ(unbound.value(0).toInt(), 19);
    EXPECT_FALSE(unbound.next()); // one statement at a time per connection, as with a real server

    QSqlQuery q = c.query();
    ASSERT_TRUE(q.prepare("SELECT name FROM sysobjects WHERE name = ?"));
    for (const QString name : {"Table0007", "Table0999", "nosuch"}) {
        q.addBindValue(name);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        QStringList found;
        while (q.next())
            found << q.value(0).toString();
        EXPECT_EQ(found, name == "nosuch" ? QStringList() : QStringList{name});
    }
}

TEST_F(TdsServer, PreparedStatementErrorFailsTheExec)
{
    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    QSqlQuery q = c.query();
    ASSERT_TRUE(q.prepare("SELECT name FROM nosuchtable WHERE id = ?"));
    q.addBindValue(1);
    EXPECT_FALSE(q.exec());
    EXPECT_EQ(q.lastError().nativeErrorCode(), "208") << q.lastError().text().toStdString();
    EXPECT_EQ(c.column("SELECT 1"), QStringList{"1"});
}

// Bytes that are no TDS conversation cost their connection, never the server.
class BadClient : public TdsServer, public ::testing::WithParamInterface<std::string>
{
};

TEST_P(BadClient, ServerStaysUp)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(server().port()));
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string& bytes = GetParam();
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    shutdown(fd, SHUT_WR);
    char sink[256];
    while (recv(fd, sink, sizeof sink, 0) > 0) {
    }
    close(fd);

    Connection c(server(), "sample");
    ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
    EXPECT_EQ(c.column("SELECT 7"), QStringList{"7"});
}

INSTANTIATE_TEST_SUITE_P(Bytes, BadClient,
                         ::testing::Values(std::string("\x12\x01\x00\x03\x00\x00\x00\x00",
                                                       8), // length below the header
                                           std::string("\x10\x01\x00\x10\x00\x00\x01\x00"
                                                       "abcdefgh",
                                                       16), // LOGIN7 far too short
                                           std::string("\x01\x01\x00\x0C\x00\x00\x01\x00"
                                                       "\x16\x00\x00\x00",
                                                       12),                            // batch before login
                                           std::string("\x12\x00\x00\x40\x00\x00", 6), // cut inside a header
                                           std::string("GET / HTTP/1.0\r\n\r\n")));

// A far-away server: every reply comes late, and everything still works.
TEST(TdsServerLatency, RepliesHeldBackStillArrive)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "FreeTDS ODBC driver (tdsodbc) not installed";
    char pattern[] = "/tmp/orvane-tds-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), pattern);
    {
        TdsServerProcess far({pattern, {}, 0, 50, 0, 0, 0, false, false, {}, {}, {}, {}, {}, {}});
        Connection c(far, "", "", "sa");
        ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
        QSqlQuery q = c.query();
        EXPECT_TRUE(q.exec("USE [we]]ird';db]"));
        EXPECT_EQ(c.column("SELECT name FROM sysobjects WHERE xtype = 'U'"), QStringList{"t]1"});
    }
    std::filesystem::remove_all(pattern);
}

struct Shape
{
    const char* type;
    tdsfixture::TypeShape expected;
};

class FixtureTypes : public ::testing::TestWithParam<Shape>
{
};

TEST_P(FixtureTypes, StoredAsTheServerStoresThem)
{
    tdsfixture::Database db("t");
    db.addUserType("tid", "varchar(6)").addUserType("wide", "nvarchar(max)");
    const tdsfixture::TypeShape s = db.shapeOf(GetParam().type);
    const tdsfixture::TypeShape& e = GetParam().expected;
    EXPECT_EQ(s.xtype, e.xtype);
    EXPECT_EQ(s.xusertype, e.xusertype);
    EXPECT_EQ(s.length, e.length);
    EXPECT_EQ(s.xprec, e.xprec);
    EXPECT_EQ(s.xscale, e.xscale);
}

INSTANTIATE_TEST_SUITE_P(
    Types, FixtureTypes,
    ::testing::Values(Shape{"nvarchar(40)", {231, 231, 80, 0, 0}},
                      Shape{"NVARCHAR (40)", {231, 231, 80, 0, 0}},
                      Shape{"varchar(max)", {167, 167, -1, 0, 0}}, Shape{"char", {175, 175, 1, 0, 0}},
                      Shape{"nchar(10)", {239, 239, 20, 0, 0}}, Shape{"decimal(10,2)", {106, 106, 9, 10, 2}},
                      Shape{"numeric", {108, 108, 9, 18, 0}}, Shape{"decimal(38, 4)", {106, 106, 17, 38, 4}},
                      Shape{"float(24)", {59, 59, 4, 24, 0}}, Shape{"float", {62, 62, 8, 53, 0}},
                      Shape{"time", {41, 41, 5, 16, 7}}, Shape{"datetime2(3)", {42, 42, 7, 23, 3}},
                      Shape{"datetimeoffset(0)", {43, 43, 8, 26, 0}}, Shape{"sysname", {231, 256, 256, 0, 0}},
                      Shape{"timestamp", {189, 189, 8, 0, 0}}, Shape{"tid", {167, 257, 6, 0, 0}},
                      Shape{"wide", {231, 258, -1, 0, 0}}));

// What the benchmark's database adds on request: views over its tables, procedures with their
// parameters, triggers spread over the tables, each with its text.
TEST(TdsFixture, BigDatabaseGetsTheModulesAskedFor)
{
    const tdsfixture::Database db = tdsfixture::bigDatabase(4, 3, {2, 3, 5});
    int views = 0, procedures = 0, triggers = 0;
    for (const tdsfixture::Object& o : db.objects()) {
        views += o.xtype == "V" && o.columns.size() == 3 && !o.definition.empty();
        procedures += o.xtype == "P" && o.parameters.size() == 2 && !o.definition.empty();
        for (const tdsfixture::Trigger& t : o.triggers)
            triggers += o.xtype == "U" && !t.definition.empty();
    }
    EXPECT_EQ(views, 2);
    EXPECT_EQ(procedures, 3);
    EXPECT_EQ(triggers, 5);
    EXPECT_EQ(db.find("Table0001")->triggers.size(), 2u);
}

// A description a server would refuse is refused when the file is written.
struct BadModule
{
    const char* label;
    void (*spoil)(tdsfixture::Database&);
};

class FixtureRefuses : public ::testing::TestWithParam<BadModule>
{
};

TEST_P(FixtureRefuses, WhatNoServerHolds)
{
    char pattern[] = "/tmp/orvane-tds-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    tdsfixture::Database db = tdsfixture::sampleDatabase();
    EXPECT_THROW(
        {
            GetParam().spoil(db);
            tdsfixture::writeDatabase(db, pattern);
        },
        std::invalid_argument);
    std::filesystem::remove_all(pattern);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixtureRefuses,
    ::testing::Values(
        BadModule{"CheckOfNoColumn",
                  [](tdsfixture::Database& db) {
                      db.object("titles").checks.push_back({"CK_x", "nosuch", "(1)", false});
                  }},
        BadModule{"CheckOfAView",
                  [](tdsfixture::Database& db) {
                      db.object("titleview").checks.push_back({"CK_x", "", "(1)", false});
                  }},
        BadModule{
            "TriggerWithoutEvents",
            [](tdsfixture::Database& db) {
                db.object("titles").triggers.push_back({"tr_x", {}, false, false, "CREATE TRIGGER", false});
            }},
        BadModule{
            "TriggerOfUnknownEvent",
            [](tdsfixture::Database& db) {
                db.object("titles").triggers.push_back({"tr_x", {"TRUNCATE"}, false, false, "x", false});
            }},
        BadModule{"NameTaken",
                  [](tdsfixture::Database& db) {
                      db.object("titles").checks.push_back({"titleview", "", "(1)", false});
                  }},
        BadModule{"TwoClusteredIndexes",
                  [](tdsfixture::Database& db) {
                      db.object("Order Details")
                          .indexes.push_back({"CIX_2", false, {{"OrderID", false}}, {}, {}, true});
                  }},
        BadModule{
            "ClrRoutineWithText",
            [](tdsfixture::Database& db) { db.addRoutine("dbo", "clr", "PC", {}, "CREATE PROCEDURE clr"); }},
        BadModule{"RoutineOfUnknownType",
                  [](tdsfixture::Database& db) {
                      db.addRoutine("dbo", "f", "FN", {{"", "nosuchtype", false}});
                  }},
        BadModule{"SequenceOfText",
                  [](tdsfixture::Database& db) {
                      db.addSequence("dbo", "s", {"varchar(10)", 1, 1, 1, 10, false});
                  }}),
    [](const auto& p) { return std::string(p.param.label); });

// DENY VIEW ANY DATABASE: the list shows master, tempdb and the login's own databases (with their
// real ids), and a database left out of it can still be used.
TEST(TdsServerVisibility, OnlyOwnDatabasesAreListedYetOthersCanBeUsed)
{
    char pattern[] = "/tmp/orvane-tds-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    tdsfixture::writeStandardFixtures(pattern);
    TdsServerProcess::Options options;
    options.catalogDir = pattern;
    options.denyViewAnyDatabase = true;
    options.owners = {"sa:BIG"};
    {
        TdsServerProcess restricted(options);
        Connection c(restricted, "sample", "", "sa");
        ASSERT_TRUE(c.isOpen()) << c.error().text().toStdString();
        EXPECT_EQ(c.column("SELECT name || ':' || dbid FROM sysdatabases ORDER BY dbid"),
                  QStringList({"master:1", "big:2"}));
    }
    std::filesystem::remove_all(pattern);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
