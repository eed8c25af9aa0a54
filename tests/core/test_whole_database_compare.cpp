// Comparing whole databases: what version 2 added as items and properties, definitions compared
// without regard to their layout, a version 1 snapshot held to what it holds, and across the
// engines an Access query standing for a view and a validation rule for a check constraint.
#include "CatalogueSamples.h"
#include "ComparisonReport.h"
#include "ComparisonSources.h"
#include "StructureCompare.h"
#include "StructureJson.h"
#include "StructureJsonReader.h"
#include "UIText.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

QList<const TCatalogueObject*> All(const TCatalogue& catalogue)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects)
        objects.append(&object);
    return objects;
}

QString LineOf(const TStructureDifference& d)
{
    QString line = ChangeKindName(d.change) + u' ' + DifferenceItemName(d.item) + u' ' +
                   (d.schema.isEmpty() ? QString() : d.schema + u'.') + d.object;
    if (!d.name.isEmpty())
        line += u'.' + d.name;
    if (d.change == TChangeKind::Changed)
        line += u' ' + d.property + u' ' + d.baseline + QStringLiteral(" -> ") + d.current;
    return line;
}

QStringList Lines(const TStructureComparison& comparison)
{
    QStringList lines;
    for (const TStructureDifference& d : comparison.differences)
        lines.append(LineOf(d));
    return lines;
}

QStringList Lines(const TCatalogue& baseline, const TCatalogue& current)
{
    return Lines(CompareStructures(baseline, All(baseline), current, All(current)));
}

TCatalogueObject& Named(TCatalogue& catalogue, const QString& name)
{
    for (TCatalogueObject& object : catalogue.objects) {
        if (object.listName() == name)
            return object;
    }
    ADD_FAILURE() << "no object " << name.toStdString();
    return catalogue.objects.first();
}

TEST(WholeDatabaseCompare, TheSameDatabaseHasNoDifferences)
{
    for (const TCatalogue& sample : {SampleAccessDatabase(), SampleSqlServerDatabase()})
        EXPECT_EQ(Lines(sample, sample), QStringList());
}

// One change to a whole-database sample, and the lines it must give.
struct TEdit
{
    const char* label;
    bool sqlServer;
    void (*edit)(TCatalogue&);
    QStringList lines;
};

void PrintTo(const TEdit& edit, std::ostream* os)
{
    *os << edit.label;
}

class WholeDatabaseEdits : public testing::TestWithParam<TEdit>
{
};

TEST_P(WholeDatabaseEdits, GiveTheirDifferences)
{
    const TCatalogue before = GetParam().sqlServer ? SampleSqlServerDatabase() : SampleAccessDatabase();
    TCatalogue after = before;
    GetParam().edit(after);
    EXPECT_EQ(Lines(before, after), GetParam().lines);
}

const QString kOrders = QStringLiteral("Orders");
const QString kView = QStringLiteral("vOpenOrders");

INSTANTIATE_TEST_SUITE_P(
    ItemsAndProperties, WholeDatabaseEdits,
    testing::Values(
        TEdit{"DefinitionLaidOutAnew",
              true,
              [](TCatalogue& c) {
                  QString& d = Named(c, kView).definition;
                  d.replace(QStringLiteral("\r\n"), QStringLiteral("\n   \t"))
                      .replace(u' ', QStringLiteral("  "));
                  d += QStringLiteral("\n\n");
              },
              {}},
        TEdit{"DefinitionChanged",
              true,
              [](TCatalogue& c) {
                  Named(c, QStringLiteral("fn_OrderTotal")).definition = QStringLiteral("CREATE FUNCTION x");
              },
              {QStringLiteral(
                  "changed table dbo.fn_OrderTotal definition CREATE FUNCTION dbo.fn_OrderTotal (@OrderID "
                  "int) RETURNS money\r\nAS BEGIN RETURN (SELECT Total FROM dbo.Orders WHERE OrderID = "
                  "@OrderID) END\r\n -> CREATE FUNCTION x")}},
        TEdit{"ViewAdded",
              true,
              [](TCatalogue& c) {
                  TCatalogueObject v = Named(c, kView);
                  v.name = QStringLiteral("vAll");
                  c.objects.append(v);
              },
              {QStringLiteral("added table dbo.vAll")}},
        TEdit{"Encrypted",
              true,
              [](TCatalogue& c) { Named(c, QStringLiteral("sales.vSecret")).encrypted = false; },
              {QStringLiteral("changed table sales.vSecret encrypted true -> false")}},
        TEdit{"CheckRemoved",
              true,
              [](TCatalogue& c) { Named(c, kOrders).checks.removeFirst(); },
              {QStringLiteral("removed check dbo.Orders.CK_Orders_Placed")}},
        TEdit{"CheckDefinition",
              true,
              [](TCatalogue& c) { Named(c, kOrders).checks[1].definition = QStringLiteral("([Total]>(0))"); },
              {QStringLiteral(
                  "changed check dbo.Orders.CK_Orders_Total definition ([Total]>=(0)) -> ([Total]>(0))")}},
        TEdit{"CheckEnforced",
              true,
              [](TCatalogue& c) { Named(c, kOrders).checks[0].enforced = true; },
              {QStringLiteral("changed check dbo.Orders.CK_Orders_Placed enforced false -> true")}},
        TEdit{"TriggerEventsAndEnabled",
              true,
              [](TCatalogue& c) {
                  TCatalogueTrigger& audit = Named(c, kOrders).triggers[0];
                  audit.events.append(QStringLiteral("delete"));
                  audit.enabled = false;
              },
              {QStringLiteral("changed trigger dbo.Orders.trg_Orders_Audit events insert, update -> insert, "
                              "update, delete"),
               QStringLiteral("changed trigger dbo.Orders.trg_Orders_Audit enabled true -> false")}},
        TEdit{"TriggerTiming",
              true,
              [](TCatalogue& c) { Named(c, kOrders).triggers[0].timing = TTriggerTiming::InsteadOf; },
              {QStringLiteral("changed trigger dbo.Orders.trg_Orders_Audit timing after -> insteadOf")}},
        TEdit{"TriggerAdded",
              true,
              [](TCatalogue& c) {
                  TCatalogueTrigger log = Named(c, kOrders).triggers[0];
                  log.name = QStringLiteral("trg_Orders_Log");
                  Named(c, kOrders).triggers.append(log);
              },
              {QStringLiteral("added trigger dbo.Orders.trg_Orders_Log")}},
        TEdit{"ParameterTypeAndOutput",
              true,
              [](TCatalogue& c) {
                  TCatalogueParameter& p = Named(c, QStringLiteral("usp_PlaceOrder")).parameters[2];
                  p.typeName = QStringLiteral("bigint");
                  p.length = 8;
                  p.output = false;
              },
              {QStringLiteral("changed parameter dbo.usp_PlaceOrder.@OrderID type int -> bigint"),
               QStringLiteral("changed parameter dbo.usp_PlaceOrder.@OrderID length 4 -> 8"),
               QStringLiteral("changed parameter dbo.usp_PlaceOrder.@OrderID output true -> false")}},
        TEdit{"ParameterRemoved",
              true,
              [](TCatalogue& c) { Named(c, QStringLiteral("usp_PlaceOrder")).parameters.removeAt(1); },
              {QStringLiteral("removed parameter dbo.usp_PlaceOrder.@Total")}},
        TEdit{"Returns",
              true,
              [](TCatalogue& c) {
                  Named(c, QStringLiteral("fn_Regex")).returns->typeName = QStringLiteral("int");
              },
              {QStringLiteral("changed table dbo.fn_Regex returns bit 1 -> int 1")}},
        TEdit{"IndexFilterIncludedClustered",
              true,
              [](TCatalogue& c) {
                  TCatalogueObject& o = Named(c, kOrders);
                  o.indexes[1].filter = QStringLiteral("([Placed] > '20210101')");
                  o.indexes[1].included.removeLast();
                  o.indexes[0].clustered = false;
              },
              {QStringLiteral("changed index dbo.Orders.IX_Orders_Placed included Total, Code -> Total"),
               QStringLiteral(
                   "changed index dbo.Orders.IX_Orders_Placed filter ([Placed]>'20200101') -> ([Placed] > "
                   "'20210101')"),
               QStringLiteral("changed index dbo.Orders.UQ_Orders_Code clustered true -> false")}},
        TEdit{"SequenceAndSynonym",
              true,
              [](TCatalogue& c) {
                  Named(c, QStringLiteral("OrderNumbers")).sequence->increment = QStringLiteral("10");
                  Named(c, QStringLiteral("OrderNumbers")).sequence->cycle = true;
                  Named(c, QStringLiteral("Archive")).synonymTarget = QStringLiteral("[Old].[dbo].[Orders]");
              },
              {QStringLiteral(
                   "changed table dbo.Archive target [ArchiveDb].[dbo].[Orders] -> [Old].[dbo].[Orders]"),
               QStringLiteral("changed table dbo.OrderNumbers increment 1 -> 10"),
               QStringLiteral("changed table dbo.OrderNumbers cycle false -> true")}},
        TEdit{"QueryTypeAndHidden",
              false,
              [](TCatalogue& c) {
                  TCatalogueObject& q = Named(c, QStringLiteral("qryOpenOrders"));
                  q.queryType = TQueryType::MakeTable;
                  q.hidden = true;
              },
              {QStringLiteral("changed table qryOpenOrders hidden false -> true"),
               QStringLiteral("changed table qryOpenOrders queryType select -> makeTable")}},
        TEdit{"QueryParameterAdded",
              false,
              [](TCatalogue& c) {
                  Named(c, QStringLiteral("qryOpenOrders"))
                      .parameters.append(
                          TCatalogueParameter{QStringLiteral("[Kunde]"), QStringLiteral("Text"), 255, false});
              },
              {QStringLiteral("added parameter qryOpenOrders.[Kunde]")}},
        TEdit{"RuleTextAndRuleRemoved",
              false,
              [](TCatalogue& c) {
                  Named(c, QStringLiteral("Customers")).checks[0].text = QStringLiteral("Nie negativ");
                  Named(c, kOrders).checks.clear();
              },
              {QStringLiteral("changed check Customers.Größe text Nicht negativ -> Nie negativ"),
               QStringLiteral("removed check Orders")}},
        TEdit{
            "FieldProperties",
            false,
            [](TCatalogue& c) {
                TCatalogueObject& o = Named(c, QStringLiteral("Customers"));
                o.columns[0].properties.edit().caption.clear();
                o.columns[1].properties.edit().decimalPlaces.reset();
                Named(c, kOrders).columns[1].properties.edit().lookup->limitToList = false;
            },
            {QStringLiteral("changed column Customers.CustomerID caption Kunden-Nr. -> "),
             QStringLiteral("changed column Customers.Größe decimalPlaces 2 -> "),
             QStringLiteral(
                 "changed column Orders.CustomerID lookup comboBox, Table/Query, SELECT Customers.CustomerID "
                 "FROM Customers ORDER BY Customers.CustomerID;, boundColumn 1, columnCount 2, limitToList "
                 "-> comboBox, Table/Query, SELECT Customers.CustomerID FROM Customers ORDER BY "
                 "Customers.CustomerID;, boundColumn 1, columnCount 2")}}),
    [](const testing::TestParamInfo<TEdit>& p) { return std::string(p.param.label); });

TEST(WholeDatabaseCompare, TheTextReportNamesEachObjectAsWhatItIs)
{
    const int saved = CurrentLanguage;
    CurrentLanguage = 2;
    const TCatalogue before = SampleSqlServerDatabase();
    TCatalogue after = before;
    after.objects.removeIf([](const TCatalogueObject& o) { return o.kind == TObjectKind::Procedure; });
    Named(after, kOrders).checks.removeLast();
    TComparisonSettings settings;
    settings.baseline.catalogue = &before;
    settings.current.catalogue = &after;
    TStringLineSink sink;
    const TStructureComparison comparison = CompareStructures(before, All(before), after, All(after));
    WriteComparisonReport(sink, settings, comparison);
    const QString text = sink.lines().join(u'\n');
    EXPECT_TRUE(text.contains(QLatin1String("removed procedure"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("removed check CK_Orders_Total"))) << text.toStdString();
    // The document says it in its own words; a table's kind goes without saying.
    const QByteArray json = ComparisonJson(settings, comparison, QString());
    EXPECT_TRUE(json.contains(R"("object": "usp_PlaceOrder",
      "schema": "dbo",
      "kind": "procedure",
      "item": "table")"))
        << json.constData();
    EXPECT_TRUE(json.contains(R"("object": "Orders",
      "schema": "dbo",
      "item": "check")"))
        << json.constData();
    CurrentLanguage = saved;
}

// A version 1 snapshot holds the tables and what version 1 says of them: the rest of the current
// database, and what version 2 says of its tables, is nothing added.
TEST(WholeDatabaseCompare, AVersionOneBaselineIsComparedOnWhatItHolds)
{
    const TCatalogue sample = SampleSqlServerCatalogue();
    QByteArray one = StructureJson(sample, All(sample), QString());
    one.replace("\"version\": 2", "\"version\": 1");
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(one, read, error)) << error.toStdString();
    TComparedSide baseline;
    baseline.catalogue = std::make_shared<const TCatalogue>(read.catalogue);
    baseline.snapshot = QStringLiteral("before.json");
    baseline.documentVersion = read.version;
    TComparedSide current;
    current.catalogue = std::make_shared<const TCatalogue>(SampleSqlServerDatabase());
    current.snapshot = QStringLiteral("after.json");
    current.documentVersion = 2;

    // Indexes are version 1's: a new one is a difference; its filter and included columns are not.
    EXPECT_EQ(Lines(CompareSides(baseline, current, {})),
              QStringList{QStringLiteral("added index dbo.Orders.IX_Orders_Placed")});
    // The same both ways round.
    EXPECT_EQ(Lines(CompareSides(current, baseline, {})),
              QStringList{QStringLiteral("removed index dbo.Orders.IX_Orders_Placed")});
    // Two version 2 sides compare whole.
    baseline.documentVersion = 2;
    EXPECT_TRUE(
        Lines(CompareSides(baseline, current, {})).contains(QStringLiteral("added table dbo.vOpenOrders")));
}

TEST(WholeDatabaseCompare, TheSelectionChoosesViewsAloneOrObjectsOfAnyKindByName)
{
    TComparedSide side;
    side.catalogue = std::make_shared<const TCatalogue>(SampleAccessDatabase());
    side.snapshot = QStringLiteral("x.json");
    const auto names = [&side](const TComparedSelection& selection) {
        QStringList out;
        for (const TCatalogueObject* o : ComparedObjects(side, selection))
            out.append(o->name);
        return out;
    };
    TComparedSelection views;
    views.views = true;
    EXPECT_EQ(names(views),
              (QStringList{"qryOpenOrders", "qryOrdersBetween", "qryPurge", "qryQtyByCustomer"}));
    views.systemTables = true;
    EXPECT_EQ(names(views).size(), 5);
    TComparedSelection picked;
    picked.tables = {QStringLiteral("orders"), QStringLiteral("QRYPURGE")};
    EXPECT_EQ(names(picked), (QStringList{"Orders", "qryPurge"}));
    EXPECT_EQ(names({}).size(), 4 + 4);
}

TCatalogueObject Query(const QString& name, const QString& sql)
{
    TCatalogueObject q;
    q.name = name;
    q.kind = TObjectKind::Query;
    q.queryType = TQueryType::Select;
    q.definition = sql;
    return q;
}

TCatalogueObject View(const QString& name, const QString& sql)
{
    TCatalogueObject v;
    v.name = name;
    v.schema = QStringLiteral("dbo");
    v.kind = TObjectKind::View;
    v.definition = sql;
    return v;
}

TCatalogueObject TableWithCheck(const QString& name, const QString& schema, const TCatalogueCheck& check)
{
    TCatalogueObject t;
    t.name = name;
    t.schema = schema;
    TCatalogueColumn qty = ModelColumn(1, QStringLiteral("Qty"), QStringLiteral("int"), 4);
    if (schema.isEmpty()) {
        qty.typeName = QStringLiteral("Integer");
        qty.typeCode = 3;
    }
    t.columns = {qty};
    if (!check.definition.isEmpty())
        t.checks = {check};
    return t;
}

// Access's SQL and SQL Server's are two dialects: whether the query's view is there counts, how
// either is written does not.
TEST(WholeDatabaseCompareAcrossEngines, AQueryMatchesTheViewOfItsNameAndARuleTheCheckOfItsColumn)
{
    TCatalogue access;
    access.provider = QStringLiteral("Access");
    access.objects = {TableWithCheck(kOrders, QString(),
                                     {QString(), QStringLiteral("Qty"), QStringLiteral(">0"),
                                      QStringLiteral("Positive"), true}),
                      Query(QStringLiteral("qryOpen"),
                            QStringLiteral("SELECT Orders.* FROM Orders WHERE (((Orders.Qty)>0));")),
                      Query(QStringLiteral("qryGone"), QStringLiteral("SELECT 1;"))};
    TCatalogue server;
    server.provider = QStringLiteral("SQLServer");
    server.objects = {
        TableWithCheck(kOrders, QStringLiteral("dbo"),
                       {QStringLiteral("CK_Orders_Qty"), QStringLiteral("qty"), QStringLiteral("([Qty]>(0))"),
                        QString(), true}),
        View(QStringLiteral("QRYOPEN"),
             QStringLiteral("CREATE VIEW dbo.qryOpen AS SELECT * FROM dbo.Orders WHERE Qty > 0")),
        View(QStringLiteral("vNew"), QStringLiteral("CREATE VIEW dbo.vNew AS SELECT 1 AS x"))};
    const TStructureComparison comparison = CompareStructures(access, All(access), server, All(server));
    EXPECT_TRUE(comparison.typeMapping);
    EXPECT_EQ(Lines(comparison),
              (QStringList{QStringLiteral("removed table qryGone"), QStringLiteral("added table dbo.vNew")}));

    // A rule without its check (or the other way round) is a difference; so is a check not enforced.
    server.objects[0].checks[0].column = QStringLiteral("Other");
    EXPECT_EQ(Lines(CompareStructures(access, {&access.objects[0]}, server, {&server.objects[0]})),
              (QStringList{QStringLiteral("added check dbo.Orders.CK_Orders_Qty"),
                           QStringLiteral("removed check dbo.Orders.Qty")}));
    server.objects[0].checks[0].column = QStringLiteral("Qty");
    server.objects[0].checks[0].enforced = false;
    EXPECT_EQ(Lines(CompareStructures(access, {&access.objects[0]}, server, {&server.objects[0]})),
              QStringList{QStringLiteral("changed check dbo.Orders.Qty enforced true -> false")});

    // A table matches no view of its name, nor a query a table.
    TCatalogue tableNamedLikeTheQuery = server;
    tableNamedLikeTheQuery.objects[1].kind = TObjectKind::Table;
    EXPECT_EQ(
        Lines(CompareStructures(access, {&access.objects[1]}, tableNamedLikeTheQuery,
                                {&tableNamedLikeTheQuery.objects[1]})),
        (QStringList{QStringLiteral("removed table qryOpen"), QStringLiteral("added table dbo.QRYOPEN")}));
}

TEST(SameDefinition, RunsOfBlanksAndLineEndsAreOneBlank)
{
    EXPECT_TRUE(
        SameDefinition(QStringLiteral("SELECT a,\r\n\tb FROM t"), QStringLiteral("  SELECT a, b\nFROM t\n")));
    EXPECT_FALSE(SameDefinition(QStringLiteral("SELECT a, b"), QStringLiteral("SELECT a,b")));
    EXPECT_FALSE(SameDefinition(QStringLiteral("select a"), QStringLiteral("SELECT a")));
    EXPECT_TRUE(SameDefinition(QString(), QStringLiteral(" \r\n")));
}

} // namespace
