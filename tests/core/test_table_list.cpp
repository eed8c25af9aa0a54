// Listing the catalogue through the facade and the system-table rule, over structure models served
// as the engines' catalogues and a scripted query object.
#include "Automation.h"
#include "CatalogueSamples.h"
#include "KorvConnection.h"
#include "ModelProvider.h"
#include "QueryObject.h"
#include "TableList.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

QStringList Texts(const TTableList& entries)
{
    QStringList out;
    for (const TTableEntry& e : entries)
        out << e.text;
    return out;
}

QStringList Names(const QString& prefix, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << prefix + QString::number(i);
    return out;
}

// Tables (or views) of those names, one column each.
QList<TCatalogueObject> Objects(const QStringList& names, TObjectKind kind = TObjectKind::Table)
{
    QList<TCatalogueObject> out;
    for (const QString& n : names)
        out << ModelObject(n, {JetModelColumn(1, QStringLiteral("c"), 3, 4)}, kind);
    return out;
}

class CatalogueListingTest : public ::testing::Test
{
protected:
    void OpenJet(const QList<TCatalogueObject>& tables)
    {
        TCatalogue model;
        model.objects = tables;
        m_provider = std::make_unique<TModelProvider>(ptAccess, model);
        m_connection.SetConnectionType(ctADOX);
        m_connection.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"));
    }
    void OpenServer(const QList<TCatalogueObject>& tables, const QList<TCatalogueObject>& views)
    {
        TCatalogue model;
        model.database = QStringLiteral("Sales");
        model.objects = tables + views;
        m_provider = std::make_unique<TModelProvider>(ptSQLServer, model);
        m_connection.SetConnectionType(ctDMO);
        m_connection.Open(QStringLiteral("Provider=SQLOLEDB;User ID=sa;Data Source=DBHOST"));
    }

    std::unique_ptr<TModelProvider> m_provider;
    TKorvConnection m_connection;
};

TEST_F(CatalogueListingTest, AccessListsEveryTableInCatalogueOrder)
{
    const QStringList names{QStringLiteral("Zeta"), QStringLiteral("MSysObjects"), QStringLiteral("Alpha")};
    OpenJet(Objects(names));
    TTableList entries;
    ListCatalogueObjects(m_connection, ptAccess, QStringLiteral("/x.mdb"), false, entries);
    EXPECT_EQ(Texts(entries), names);
    for (const TTableEntry& e : entries) {
        EXPECT_TRUE(e.enabled);
        EXPECT_FALSE(e.checked);
    }
}

TEST_F(CatalogueListingTest, SqlServerListsTablesOrViewsCountingFromOne)
{
    const QStringList tables = Names(QStringLiteral("t"), 22);
    const QStringList views = Names(QStringLiteral("v"), 3);
    OpenServer(Objects(tables), Objects(views, TObjectKind::View));
    TTableList entries;
    ListCatalogueObjects(m_connection, ptSQLServer, QStringLiteral("Sales"), false, entries);
    EXPECT_EQ(Texts(entries), tables);
    entries.clear();
    ListCatalogueObjects(m_connection, ptSQLServer, QStringLiteral("Sales"), true, entries);
    EXPECT_EQ(Texts(entries), views);
}

// No database lists nothing; a database the server refuses is its message, not an empty list
// that would read as a database without tables.
TEST_F(CatalogueListingTest, EmptyDatabaseListsNothingAndAnUnknownOneFails)
{
    OpenServer(Objects(Names(QStringLiteral("t"), 2)), {});
    TTableList entries;
    ListCatalogueObjects(m_connection, ptSQLServer, QString(), false, entries);
    EXPECT_TRUE(entries.isEmpty());
    EXPECT_THROW(ListCatalogueObjects(m_connection, ptSQLServer, QStringLiteral("NoSuchDb"), false, entries),
                 std::exception);
    EXPECT_TRUE(entries.isEmpty());
}

TEST_F(CatalogueListingTest, FailingNameEndsTheListingAfterTheEntriesSoFar)
{
    OpenJet(Objects(Names(QStringLiteral("t"), 4)));
    m_provider->Fail(QStringLiteral("t2"), QStringLiteral("Name"));
    TTableList entries;
    EXPECT_THROW(ListCatalogueObjects(m_connection, ptAccess, QStringLiteral("/x.mdb"), false, entries),
                 AutomationError);
    EXPECT_EQ(Texts(entries), (QStringList{QStringLiteral("t0"), QStringLiteral("t1")}));
}

// A query object that answers from a fixed set of names and records how it was driven.
class ScriptedQuery : public TQueryObject
{
public:
    QStringList systemNames;
    bool failOpen = false;
    // Shared, so a test can read it after the command has destroyed its query object.
    std::shared_ptr<QStringList> log = std::make_shared<QStringList>();
    QStringList& calls = *log;

    void setConnectionString(const QString& s) override { calls << QStringLiteral("connection:") + s; }
    void close() override { calls << QStringLiteral("close"); }
    void setCommandText(const QString& sql) override { calls << QStringLiteral("command:") + sql; }
    void open() override
    {
        calls << QStringLiteral("open");
        if (failOpen)
            throw AutomationError(5003024, QStringLiteral("Could not find file 'x.mdb'."));
        m_open = true;
    }
    bool locate(const QString& field, const QString& value) const override
    {
        return m_open && field.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0 &&
               systemNames.contains(value);
    }

private:
    bool m_open = false;
};

struct ProviderCase
{
    TProviderType provider;
    const char* statement;
};

void PrintTo(const ProviderCase& c, std::ostream* os)
{
    *os << (c.provider == ptSQLServer ? "SQLServer" : "Access");
}

class SystemTableRuleTest : public ::testing::TestWithParam<ProviderCase>
{
protected:
    void TearDown() override { RegisterQueryObjectFactory(GetParam().provider, {}); }

    // The three user tables and nineteen system tables of a typical catalogue, interleaved.
    static TTableList Catalogue(QStringList* system)
    {
        TTableList entries;
        for (int i = 0; i < 22; ++i) {
            const bool isSystem = i % 7 != 3;
            const QString name =
                (isSystem ? QStringLiteral("sys") : QStringLiteral("user")) + QString::number(i);
            if (isSystem)
                *system << name;
            entries.append(TTableEntry{name, false, true});
        }
        return entries;
    }
};

TEST_P(SystemTableRuleTest, RunsTheProvidersStatementOverItsConnectionString)
{
    auto query = std::make_unique<ScriptedQuery>();
    const std::shared_ptr<QStringList> calls = query->log;
    auto holder = std::make_shared<std::unique_ptr<ScriptedQuery>>(std::move(query));
    RegisterQueryObjectFactory(GetParam().provider,
                               [holder]() -> std::unique_ptr<TQueryObject> { return std::move(*holder); });
    TTableList entries{{QStringLiteral("a"), true, true}};
    ApplySystemTableRule(entries, false, GetParam().provider, QStringLiteral("conn"));
    EXPECT_EQ(*calls, (QStringList{QStringLiteral("connection:conn"), QStringLiteral("close"),
                                   QStringLiteral("command:") + QString::fromUtf8(GetParam().statement),
                                   QStringLiteral("open")}));
    EXPECT_EQ(SystemTableQuery(GetParam().provider), QString::fromUtf8(GetParam().statement));
}

TEST_P(SystemTableRuleTest, GreysReleasesAndKeepsMarksAsTheMarkToggles)
{
    QStringList system;
    TTableList entries = Catalogue(&system);
    ScriptedQuery query;
    query.systemNames = system;
    const QString statement = SystemTableQuery(GetParam().provider);

    ApplySystemTableRule(entries, false, query, QStringLiteral("c"), statement);
    for (const TTableEntry& e : entries) {
        EXPECT_EQ(e.enabled, !system.contains(e.text)) << e.text.toStdString();
        EXPECT_FALSE(e.checked);
    }
    SelectAll(entries);
    int checked = 0;
    for (const TTableEntry& e : entries)
        checked += e.checked ? 1 : 0;
    EXPECT_EQ(checked, 3);

    ApplySystemTableRule(entries, true, query, QStringLiteral("c"), statement);
    for (const TTableEntry& e : entries) {
        EXPECT_TRUE(e.enabled);
        EXPECT_EQ(e.checked, !system.contains(e.text));
    }
    SelectAll(entries);
    for (const TTableEntry& e : entries)
        EXPECT_TRUE(e.checked);

    ApplySystemTableRule(entries, false, query, QStringLiteral("c"), statement);
    for (const TTableEntry& e : entries) {
        EXPECT_EQ(e.enabled, !system.contains(e.text));
        EXPECT_EQ(e.checked, !system.contains(e.text));
    }
}

TEST_P(SystemTableRuleTest, FailingQueryChangesNoEntry)
{
    TTableList entries{{QStringLiteral("sys"), true, true}, {QStringLiteral("user"), false, false}};
    const TTableList before = entries;
    ScriptedQuery query;
    query.systemNames = {QStringLiteral("sys")};
    query.failOpen = true;
    EXPECT_THROW(
        ApplySystemTableRule(entries, false, query, QString(), SystemTableQuery(GetParam().provider)),
        AutomationError);
    EXPECT_EQ(entries, before);
}

INSTANTIATE_TEST_SUITE_P(
    Providers, SystemTableRuleTest,
    ::testing::Values(ProviderCase{ptSQLServer, "SELECT * FROM sysobjects where xtype = 's'"},
                      ProviderCase{ptAccess, "SELECT * FROM MSysObjects where type = 1 and flags <> 0"}));

TEST(MarkCommands, SelectAllSkipsDisabledUnselectAllClearsEverything)
{
    TTableList entries{{QStringLiteral("a"), false, true},
                       {QStringLiteral("b"), false, false},
                       {QStringLiteral("c"), true, false}};
    SelectAll(entries);
    EXPECT_EQ(entries, (TTableList{{QStringLiteral("a"), true, true},
                                   {QStringLiteral("b"), false, false},
                                   {QStringLiteral("c"), true, false}}));
    UnselectAll(entries);
    for (const TTableEntry& e : entries)
        EXPECT_FALSE(e.checked);
    TTableList empty;
    SelectAll(empty);
    EXPECT_TRUE(empty.isEmpty());
}

} // namespace
