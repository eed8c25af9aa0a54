// The connection facade and its two back ends: index bases, beeps, neutral results, the Access
// error record, and a SQL Server back end driven against a small in-memory SQL-DMO model.
#include "KorvADOXConnection.h"
#include "KorvConnection.h"
#include "KorvDMOConnection.h"

#include "ADOStringProp.h"

#include "JetProvider.h"
#include "JetWriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

// --- A tiny SQL-DMO object model -------------------------------------------------------------

class FakeObject : public Dispatch
{
public:
    QHash<QString, Variant> props;

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (args.isEmpty() && props.contains(name))
            return props.value(name);
        return Dispatch::get(name, args);
    }
    Variant invoke(const QString& name, const QList<Variant>& args) override
    {
        if (name == "ListColumns" && args.isEmpty() && props.contains("Columns"))
            return props.value("Columns");
        return Dispatch::invoke(name, args);
    }
};

// SQL-DMO collections count from 1 and find names exactly.
class FakeCollection : public Dispatch
{
public:
    QList<Variant> items;

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (name == "Count" && args.isEmpty())
            return Variant(std::int32_t(items.size()));
        return Dispatch::get(name, args);
    }
    Variant invoke(const QString& name, const QList<Variant>& args) override
    {
        if (name != "Item" || args.size() != 1)
            return Dispatch::invoke(name, args);
        const Variant& key = args.first();
        if (key.kind() == Variant::Kind::Int) {
            const int i = key.toInt();
            if (i >= 1 && i <= items.size())
                return items[i - 1];
        } else {
            for (const Variant& item : items) {
                if (item.get("Name").toText() == key.toText())
                    return item;
            }
        }
        throw AutomationError(0, QStringLiteral("[SQL-DMO]The name '%1' was not found.").arg(key.toText()));
    }
};

Variant object(QHash<QString, Variant> props)
{
    auto o = std::make_shared<FakeObject>();
    o->props = std::move(props);
    return Variant(DispatchPtr(o));
}

Variant collection(QList<Variant> items)
{
    auto c = std::make_shared<FakeCollection>();
    c->items = std::move(items);
    return Variant(DispatchPtr(c));
}

Variant column(const char* name, const char* type, int length, Variant allowNulls)
{
    return object({{"Name", Variant(name)},
                   {"DataType", Variant(type)},
                   {"Length", Variant(std::int32_t(length))},
                   {"AllowNulls", allowNulls}});
}

Variant shopDatabase()
{
    const Variant customers = object({{"Name", Variant("Customers")},
                                      {"Columns", collection({column("Customer_ID", "int", 4, Variant(false)),
                                                              column("Name", "varchar", 40, Variant(true)),
                                                              column("Odd", "char", 1, Variant("True"))})}});
    const Variant orders = object({{"Name", Variant("Orders")}, {"Columns", collection({})}});
    const Variant sysobjects = object({{"Name", Variant("sysobjects")}, {"Columns", collection({})}});
    const Variant view = object({{"Name", Variant("CustomerView")},
                                 {"Columns", collection({column("Name", "varchar", 40, Variant(true))})}});
    return object({{"Name", Variant("Shop")},
                   {"Tables", collection({customers, orders, sysobjects})},
                   {"Views", collection({view})}});
}

// The server: records what the back end sets and logs in with; refuses any password but "pw".
class FakeServer : public FakeObject
{
public:
    QStringList log;

    void put(const QString& name, const Variant& value) override { log << name + "=" + value.toText(); }
    Variant invoke(const QString& name, const QList<Variant>& args) override
    {
        if (name != "Connect")
            return FakeObject::invoke(name, args);
        QStringList texts;
        for (const Variant& a : args)
            texts << a.toText();
        log << "Connect(" + texts.join(",") + ")";
        if (args.size() != 3 || args[2].toText() != "pw")
            throw AutomationError(0,
                                  QStringLiteral("Login failed for user '%1'.").arg(args.value(1).toText()));
        return Variant();
    }
};

class FacadeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterOleProvider(QStringLiteral("SQLDMO.SQLServer"), [this] {
            auto server = std::make_shared<FakeServer>();
            server->props.insert("Databases", collection({shopDatabase()}));
            m_server = server;
            return server;
        });
        m.setBeep([this] { ++beeps; });
    }
    void TearDown() override
    {
        UnregisterOleProvider(QStringLiteral("SQLDMO.SQLServer"));
        RegisterOleProvider(QStringLiteral("ADOX.Catalog"), &CreateJetCatalog);
    }

    void openShop()
    {
        m.SetConnectionType(ctDMO);
        m.Open(
            QStringLiteral("Provider=SQLOLEDB;Password=pw;User ID=sa;Data Source=srv;Initial Catalog=Shop"));
        m.SetDatabase(m.DatabaseByName(QStringLiteral("Shop")));
    }
    QStringList serverLog() const
    {
        auto server = m_server.lock();
        return server ? server->log : QStringList();
    }

    TKorvConnection m;
    int beeps = 0;
    std::weak_ptr<FakeServer> m_server;
};

// --- Before any open ---------------------------------------------------------------------------

struct NeutralCase
{
    std::string name;
    TConnectionType type;
    std::function<bool(TKorvConnection&)> isNeutral;
    int beeps;
};

void PrintTo(const NeutralCase& c, std::ostream* os)
{
    *os << c.name;
}

class FacadeBeforeOpen : public FacadeTest, public ::testing::WithParamInterface<NeutralCase>
{
};

TEST_P(FacadeBeforeOpen, NeutralResultAndTheRightBeeps)
{
    m.SetConnectionType(GetParam().type);
    EXPECT_TRUE(GetParam().isNeutral(m));
    EXPECT_EQ(beeps, GetParam().beeps);
}

std::vector<NeutralCase> neutralCases()
{
    std::vector<NeutralCase> cases;
    const Variant some = object({{"Name", Variant("x")}});
    for (TConnectionType t : {ctADOX, ctDMO}) {
        const bool adox = t == ctADOX;
        const std::string p = adox ? "Adox" : "Dmo";
        auto add = [&](const char* n, std::function<bool(TKorvConnection&)> f, int adoxBeeps) {
            cases.push_back({p + n, t, f, adox ? adoxBeeps : 0});
        };
        add(
            "TableCount", [](TKorvConnection& c) { return c.TableCount() == 0; }, 0);
        add(
            "ColumnCount", [](TKorvConnection& c) { return c.ColumnCount() == 0; }, 0);
        add(
            "ViewCount", [](TKorvConnection& c) { return c.ViewCount() == 0; }, 0);
        add(
            "TableByIndex", [](TKorvConnection& c) { return c.TableByIndex(0).isEmpty(); }, 0);
        add(
            "TableByName", [](TKorvConnection& c) { return c.TableByName("x").isEmpty(); }, 0);
        add(
            "ColumnByIndex", [](TKorvConnection& c) { return c.ColumnByIndex(1).isEmpty(); }, 0);
        add(
            "DatabaseByName", [](TKorvConnection& c) { return c.DatabaseByName("x").isEmpty(); }, 1);
        add(
            "ViewByName", [](TKorvConnection& c) { return c.ViewByName("x").isEmpty(); }, 1);
        add(
            "ViewByIndex", [](TKorvConnection& c) { return c.ViewByIndex(1).isEmpty(); }, 1);
        add(
            "ObjectNameOfNothing", [](TKorvConnection& c) { return c.ObjectName(Variant()).isEmpty(); }, 0);
        add(
            "ObjectNameOfText", [](TKorvConnection& c) { return c.ObjectName(Variant("t")).isEmpty(); }, 0);
        add(
            "ColumnLength", [](TKorvConnection& c) { return c.ColumnLength(Variant()) == 0; }, 0);
        add(
            "ColumnTypeName", [](TKorvConnection& c) { return c.ColumnTypeName(Variant()).isEmpty(); }, 0);
        add(
            "ColumnNullMark", [](TKorvConnection& c) { return c.ColumnNullMark(Variant()).isEmpty(); }, 0);
        add(
            "SetDatabaseStores",
            [some](TKorvConnection& c) {
                c.SetDatabase(some);
                return c.CurrentDatabase == some;
            },
            1);
        add(
            "SetViewStores",
            [some](TKorvConnection& c) {
                c.SetView(some);
                return c.CurrentView == some;
            },
            1);
        add(
            "SetTableStores",
            [some](TKorvConnection& c) {
                c.SetTable(some);
                return c.CurrentTable == some;
            },
            0);
        add(
            "SetColumnStores",
            [some](TKorvConnection& c) {
                c.SetColumn(some);
                return c.CurrentColumn == some;
            },
            0);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(BothTypes, FacadeBeforeOpen, ::testing::ValuesIn(neutralCases()),
                         [](const auto& p) { return p.param.name; });

TEST_F(FacadeTest, StartsAsAccessWithoutBackEnd)
{
    EXPECT_EQ(m.ConnectionType, ctADOX);
    EXPECT_FALSE(m.ADOXConnection);
    EXPECT_FALSE(m.DMOConnection);
    EXPECT_TRUE(m.CurrentDatabase.isEmpty() && m.CurrentTable.isEmpty() && m.CurrentColumn.isEmpty() &&
                m.CurrentView.isEmpty());
}

// --- SQL Server ----------------------------------------------------------------------------------

TEST_F(FacadeTest, SqlServerLogsInAsTheStringSays)
{
    openShop();
    ASSERT_TRUE(m.DMOConnection);
    // The database goes into the log-in itself.
    EXPECT_EQ(serverLog(), QStringList({"LoginSecure=False", "LoginTimeout=30", "AutoReconnect=True",
                                        "LoginDatabase=Shop", "Connect(srv,sa,pw)"}));
    EXPECT_EQ(m.DMOConnection->ConnectionProps->InitialCatalog, "Shop");
    EXPECT_EQ(beeps, 0);
}

TEST_F(FacadeTest, SqlServerCollectionsCountFromOne)
{
    openShop();
    ASSERT_EQ(m.TableCount(), 3);
    EXPECT_TRUE(m.TableByIndex(0).isEmpty());
    EXPECT_EQ(m.ObjectName(m.TableByIndex(1)), "Customers");
    EXPECT_EQ(m.ObjectName(m.TableByIndex(3)), "sysobjects");
    EXPECT_TRUE(m.TableByIndex(4).isEmpty());
    EXPECT_EQ(m.ViewCount(), 1);
    EXPECT_TRUE(m.ViewByIndex(0).isEmpty());
    EXPECT_EQ(m.ObjectName(m.ViewByIndex(1)), "CustomerView");
    EXPECT_TRUE(m.DatabaseByName("Nope").isEmpty());
    EXPECT_TRUE(m.TableByName("customers").isEmpty()); // the model matches exactly
}

TEST_F(FacadeTest, SqlServerColumnsAndTheirAttributes)
{
    openShop();
    m.SetTable(m.TableByName("Customers"));
    ASSERT_EQ(m.ColumnCount(), 3);
    EXPECT_TRUE(m.ColumnByIndex(0).isEmpty());
    m.SetColumn(m.ColumnByIndex(1));
    EXPECT_EQ(m.ObjectName(m.CurrentColumn), "Customer_ID");
    EXPECT_EQ(m.ColumnTypeName(m.CurrentColumn), "int");
    EXPECT_EQ(m.ColumnLength(m.CurrentColumn), 4);
    EXPECT_EQ(m.ColumnNullMark(m.CurrentColumn), "+");
    m.SetColumn(m.ColumnByIndex(2));
    EXPECT_EQ(m.ColumnNullMark(m.CurrentColumn), " ");
    // A text "True" compares equal to True.
    m.SetColumn(m.ColumnByIndex(3));
    EXPECT_EQ(m.ColumnNullMark(m.CurrentColumn), " ");
    // A column without AllowNulls cannot be read: nothing.
    EXPECT_EQ(m.ColumnNullMark(object({{"Name", Variant("x")}})), "");
}

TEST_F(FacadeTest, SqlServerViewsAndTheirColumnList)
{
    openShop();
    m.SetView(m.ViewByName("CustomerView"));
    EXPECT_EQ(m.ObjectName(m.CurrentView), "CustomerView");
    const Variant columns = m.CurrentView.invoke("ListColumns");
    EXPECT_EQ(columns.get("Count").toInt(), 1);
    m.SetColumn(columns.invoke("Item", {Variant(std::int32_t(1))}));
    EXPECT_EQ(m.ObjectName(m.CurrentColumn), "Name");
    EXPECT_EQ(beeps, 0);
}

TEST_F(FacadeTest, ARefusedLoginLeavesNoBackEndAndNoMessage)
{
    m.SetConnectionType(ctDMO);
    m.Open(QStringLiteral("Password=wrong;User ID=sa;Data Source=srv"));
    EXPECT_FALSE(m.DMOConnection);
    EXPECT_EQ(m.TableCount(), 0);
    EXPECT_TRUE(m.DatabaseByName("Shop").isEmpty());
    // The half-made server object is released, not kept somewhere.
    EXPECT_TRUE(m_server.expired());
}

TEST_F(FacadeTest, WithoutTheSqlServerComponentNothingOpens)
{
    UnregisterOleProvider(QStringLiteral("SQLDMO.SQLServer"));
    m.SetConnectionType(ctDMO);
    m.Open(QStringLiteral("Password=pw;User ID=sa;Data Source=srv"));
    EXPECT_FALSE(m.DMOConnection);
    EXPECT_EQ(m.ViewCount(), 0);
}

TEST_F(FacadeTest, KeysOfAnotherCaseAreNotRecognised)
{
    m.SetConnectionType(ctDMO);
    m.Open(QStringLiteral("Password=pw;User ID=sa;data source=srv"));
    EXPECT_TRUE(serverLog().contains("Connect(,sa,pw)"));
}

TEST_F(FacadeTest, SwitchingTypeWithoutReopeningFindsNoBackEnd)
{
    openShop();
    m.SetConnectionType(ctADOX);
    EXPECT_EQ(m.TableCount(), 0);
    EXPECT_TRUE(m.DMOConnection);
    EXPECT_FALSE(m.CurrentDatabase.isEmpty()); // kept until overwritten
    m.Open(QStringLiteral("Data Source=/nonexistent/x.mdb"));
    EXPECT_FALSE(m.DMOConnection);
    ASSERT_TRUE(m.ADOXConnection);
    EXPECT_EQ(m.ADOXConnection->ErrorItem->Number, 5003024);
}

// --- Access ----------------------------------------------------------------------------------------

class AccessFacade : public FacadeTest
{
protected:
    QString writeFile(const jet::Database& db)
    {
        const QString path = m_dir.filePath(QStringLiteral("shop.mdb"));
        jet::writeFile(path, db);
        return path;
    }
    static QString jetString(const QString& path, const QString& password)
    {
        return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Data Source=%1;"
                              "Mode=Share Deny None;Jet OLEDB:System database=C:\\temp\\Karvenix.mdw;"
                              "Jet OLEDB:Database Password=%2;Jet OLEDB:Engine Type=5")
            .arg(path, password);
    }
    QTemporaryDir m_dir;
};

// A password-protected file, opened through the facade as the window does, lists its tables and
// every column's name, type name and length.
TEST_F(AccessFacade, PasswordProtectedFileListsTablesAndColumns)
{
    jet::Database db;
    db.password = QStringLiteral("Sesam");
    db.tables = {jet::everyTypeTable(QStringLiteral("AllTypes"))};
    const QString path = writeFile(db);

    m.Open(jetString(path, QStringLiteral("Sesam")));
    ASSERT_TRUE(m.ADOXConnection);
    EXPECT_EQ(m.ADOXConnection->ErrorItem->Number, 0);
    EXPECT_EQ(m.ADOXConnection->ErrorItem->Text, "");

    QStringList tables;
    for (int i = 0; i < m.TableCount(); ++i)
        tables << m.ObjectName(m.TableByIndex(i));
    EXPECT_TRUE(tables.contains("AllTypes"));
    EXPECT_TRUE(tables.contains("MSysObjects"));

    m.SetTable(m.TableByName("alltypes"));
    QStringList lines;
    for (int i = 1; i <= m.ColumnCount(); ++i) {
        m.SetColumn(m.ColumnByIndex(i));
        lines << QStringLiteral("%1 %2 %3")
                     .arg(m.ObjectName(m.CurrentColumn), m.ColumnTypeName(m.CurrentColumn))
                     .arg(m.ColumnLength(m.CurrentColumn));
        EXPECT_EQ(m.ColumnNullMark(m.CurrentColumn), "");
    }
    EXPECT_EQ(lines, QStringList({"AutoId Integer 0", "YesNo Boolean 0", "ByteValue unknown 0",
                                  "IntValue SmallInt 0", "LongValue Integer 0", "MoneyValue Currency 0",
                                  "SingleValue Single 0", "DoubleValue Double 0", "DateValue Date 0",
                                  "VarBinary VarBinary 50", "FixedBinary Binary 16", "Text50 VarWChar 50",
                                  "FixedText WChar 10", "OleObject LongVarBinary 1073741823",
                                  "MemoText LongVarWChar 536870910", "Hyperlink LongVarWChar 536870910",
                                  "Guid GUID 0", "GuidAuto GUID 0", "Amount Numeric 0"}));
    EXPECT_EQ(beeps, 0);
}

TEST_F(AccessFacade, WrongPasswordIsRecordedNotThrown)
{
    jet::Database db;
    db.password = QStringLiteral("Sesam");
    const QString path = writeFile(db);
    m.Open(jetString(path, QStringLiteral("sesam")));
    ASSERT_TRUE(m.ADOXConnection);
    EXPECT_EQ(m.ADOXConnection->ErrorItem->Number, 5003031);
    EXPECT_EQ(m.ADOXConnection->ErrorItem->Text, "Not a valid password.");
    EXPECT_EQ(m.TableCount(), 0);
}

TEST_F(AccessFacade, IndexBases)
{
    jet::Database db;
    db.withSystemTables = false;
    jet::Column a, b;
    a.name = "First";
    b.name = "Second";
    db.tables = {jet::Table{QStringLiteral("Only"), {a, b}}};
    m.Open(jetString(writeFile(db), QString()));
    const int count = m.TableCount();
    ASSERT_GE(count, 1);
    EXPECT_EQ(m.ObjectName(m.TableByIndex(0)), "Only");
    EXPECT_TRUE(m.TableByIndex(count).isEmpty());
    EXPECT_EQ(m.ColumnCount(), 0); // no table set yet
    m.SetTable(m.TableByIndex(0));
    EXPECT_EQ(m.ObjectName(m.ColumnByIndex(1)), "First");
    EXPECT_EQ(m.ObjectName(m.ColumnByIndex(2)), "Second");
    EXPECT_TRUE(m.ColumnByIndex(0).isEmpty());
    EXPECT_TRUE(m.ColumnByIndex(3).isEmpty());
    EXPECT_TRUE(m.TableByName("Missing").isEmpty());
}

TEST_F(AccessFacade, WithoutTheCatalogueComponentTheBackEndExistsEmpty)
{
    UnregisterOleProvider(QStringLiteral("ADOX.Catalog"));
    m.Open(QStringLiteral("Data Source=/whatever.mdb"));
    ASSERT_TRUE(m.ADOXConnection);
    EXPECT_TRUE(m.ADOXConnection->Catalog.isEmpty());
    EXPECT_EQ(m.ADOXConnection->ErrorItem->Number, 0);
    EXPECT_EQ(m.ADOXConnection->ErrorItem->Text, "");
    EXPECT_EQ(m.TableCount(), 0);
}

class RefusingCatalog : public Dispatch
{
public:
    void put(const QString&, const Variant&) override { throw AutomationError(0, QStringLiteral("boom")); }
};

TEST_F(AccessFacade, AnErrorWithoutHelpContextIsMinusOne)
{
    RegisterOleProvider(QStringLiteral("ADOX.Catalog"), [] { return std::make_shared<RefusingCatalog>(); });
    TKorvADOXConnection backEnd(QStringLiteral("Data Source=x"));
    EXPECT_EQ(backEnd.ErrorItem->Number, -1);
    EXPECT_EQ(backEnd.ErrorItem->Text, "boom");
    EXPECT_FALSE(backEnd.Catalog.isEmpty());
}

TEST_F(AccessFacade, ReopeningReleasesTheOldBackEnd)
{
    jet::Database db;
    const QString path = writeFile(db);
    m.Open(jetString(path, QString()));
    ASSERT_TRUE(m.ADOXConnection);
    std::weak_ptr<Dispatch> old = m.ADOXConnection->Catalog.objectPtr();
    m.Open(jetString(path, QString()));
    EXPECT_TRUE(old.expired());
    EXPECT_GT(m.TableCount(), 0);
}

struct TypeNameCase
{
    int number;
    const char* name;
};

void PrintTo(const TypeNameCase& c, std::ostream* os)
{
    *os << c.number;
}

class DataTypeNames : public ::testing::TestWithParam<TypeNameCase>
{
};

TEST_P(DataTypeNames, NamesTheAdoConstants)
{
    EXPECT_EQ(TKorvADOXConnection::DataTypeName(GetParam().number), QString::fromLatin1(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Table, DataTypeNames,
                         ::testing::Values(TypeNameCase{2, "SmallInt"}, TypeNameCase{3, "Integer"},
                                           TypeNameCase{8, "BSTR"}, TypeNameCase{12, "Variant"},
                                           TypeNameCase{14, "Decimal"}, TypeNameCase{16, "TinyInt"},
                                           TypeNameCase{20, "BigInt"}, TypeNameCase{72, "GUID"},
                                           TypeNameCase{128, "Binary"}, TypeNameCase{129, "Char"},
                                           TypeNameCase{132, "UserDefined"}, TypeNameCase{135, "DBTimeStamp"},
                                           TypeNameCase{200, "VarChar"}, TypeNameCase{202, "VarWChar"},
                                           TypeNameCase{205, "LongVarBinary"}, TypeNameCase{0, "unknown"},
                                           TypeNameCase{17, "unknown"}, TypeNameCase{9, "unknown"},
                                           TypeNameCase{139, "unknown"}, TypeNameCase{-1, "unknown"},
                                           TypeNameCase{206, "unknown"}));

} // namespace
