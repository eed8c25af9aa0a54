// The whole database in the writers, on the whole-database samples: the version 2 structure
// document (its shape, what it leaves out, its schema, reading it and version 1 back), the
// extended report's lines and the plain report's query blocks, the Markdown page, and the Access
// query list.
#include "CatalogueSamples.h"
#include "CommandRuns.h"
#include "JetWriter.h"
#include "KorvConnection.h"
#include "ModelProvider.h"
#include "QueryObject.h"
#include "ReportLines.h"
#include "StructureDetail.h"
#include "StructureJson.h"
#include "StructureJsonReader.h"
#include "StructureMarkdown.h"
#include "StructureReport.h"
#include "TableList.h"
#include "UIText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr char kProgram[] = "Orvane 0.7.1.2";

QList<const TCatalogueObject*> All(const TCatalogue& catalogue)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects)
        objects.append(&object);
    return objects;
}

const TCatalogueObject& Named(const TCatalogue& catalogue, const QString& name)
{
    for (const TCatalogueObject& object : catalogue.objects) {
        if (object.listName() == name)
            return object;
    }
    ADD_FAILURE() << "no object " << name.toStdString();
    return catalogue.objects.first();
}

class LanguageGuard
{
public:
    explicit LanguageGuard(int language) : m_saved(CurrentLanguage) { CurrentLanguage = language; }
    ~LanguageGuard() { CurrentLanguage = m_saved; }

private:
    int m_saved;
};

QByteArray Document(const TCatalogue& catalogue)
{
    return StructureJson(catalogue, All(catalogue), QString::fromLatin1(kProgram));
}

QJsonObject ObjectOf(const QByteArray& document, const QString& name)
{
    for (const QJsonValue& value :
         QJsonDocument::fromJson(document).object().value(QLatin1String("objects")).toArray()) {
        if (value.toObject().value(QLatin1String("name")).toString() == name)
            return value.toObject();
    }
    ADD_FAILURE() << "no object " << name.toStdString();
    return {};
}

// ---------------------------------------------------------------------------------------------
// The version 2 document

class WholeDatabaseSample : public testing::TestWithParam<TCatalogue (*)()>
{
};

TEST_P(WholeDatabaseSample, DocumentValidatesAndReadsBackToTheSameBytes)
{
    const TCatalogue sample = GetParam()();
    const QByteArray written = Document(sample);
    EXPECT_EQ(StructureSchemaVerdict(written), QLatin1String("valid"));
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(written, read, error)) << error.toStdString();
    EXPECT_EQ(read.version, 2);
    const QByteArray again = StructureJson(read.catalogue, All(read.catalogue), read.program);
    EXPECT_EQ(again.toStdString(), written.toStdString());
}

TEST_P(WholeDatabaseSample, ObjectsBesideTablesComeKindByKindInNameOrder)
{
    const TCatalogue sample = GetParam()();
    QStringList listed;
    for (const TCatalogueObject* object : ObjectsBesideTables(sample, false)) {
        EXPECT_FALSE(IsTableKind(object->kind)) << object->name.toStdString();
        EXPECT_FALSE(object->systemObject) << object->name.toStdString();
        listed.append(ObjectKindName(object->kind) + u' ' + object->listName());
    }
    const QStringList expected =
        sample.provider == QLatin1String("Access")
            ? QStringList{"query qryOpenOrders", "query qryOrdersBetween", "query qryPurge",
                          "query qryQtyByCustomer"}
            : QStringList{"view vOpenOrders",  "view sales.vSecret",       "function fn_OrderTotal",
                          "function fn_Regex", "procedure usp_PlaceOrder", "sequence OrderNumbers",
                          "synonym Archive"};
    EXPECT_EQ(listed, expected);
}

INSTANTIATE_TEST_SUITE_P(BothEngines, WholeDatabaseSample,
                         testing::Values(&SampleAccessDatabase, &SampleSqlServerDatabase));

TEST(StructureJsonVersion2, TheEnginesOwnObjectsComeOnlyWithTheSystemTables)
{
    const TCatalogue sample = SampleAccessDatabase();
    const QList<const TCatalogueObject*> all = ObjectsBesideTables(sample, true);
    ASSERT_EQ(all.size(), 5);
    // "~" sorts after the letters, as it does without regard to case.
    EXPECT_EQ(all.last()->name, QStringLiteral("~sq_cOrders"));
}

TEST(StructureJsonVersion2, RoutineSequenceAndSynonymHaveTheContractedShape)
{
    const TCatalogue sample = SampleSqlServerDatabase();
    const QList<const TCatalogueObject*> objects{&Named(sample, QStringLiteral("fn_OrderTotal")),
                                                 &Named(sample, QStringLiteral("OrderNumbers")),
                                                 &Named(sample, QStringLiteral("Archive"))};
    const QByteArray json = StructureJson(sample, objects, QString());
    const QByteArray expected = R"json(
    {
      "name": "fn_OrderTotal",
      "schema": "dbo",
      "kind": "function",
      "parameters": [
        {
          "name": "@OrderID",
          "type": "int",
          "length": 4
        }
      ],
      "returns": {
        "type": "money",
        "length": 8
      },
      "columns": [],
      "indexes": [],
      "foreignKeys": [],
      "definition": "CREATE FUNCTION dbo.fn_OrderTotal (@OrderID int) RETURNS money\r\nAS BEGIN RETURN (SELECT Total FROM dbo.Orders WHERE OrderID = @OrderID) END\r\n"
    },
    {
      "name": "OrderNumbers",
      "schema": "dbo",
      "kind": "sequence",
      "columns": [],
      "indexes": [],
      "foreignKeys": [],
      "type": "bigint",
      "start": "1000",
      "increment": "1",
      "minimum": "1000",
      "maximum": "9223372036854775807"
    },
    {
      "name": "Archive",
      "schema": "dbo",
      "kind": "synonym",
      "columns": [],
      "indexes": [],
      "foreignKeys": [],
      "target": "[ArchiveDb].[dbo].[Orders]"
    }
  ]
}
)json";
    EXPECT_TRUE(json.endsWith(expected)) << json.toStdString();
}

TEST(StructureJsonVersion2, AccessQueryRulesAndFieldPropertiesAreWrittenAndDefaultsLeftOut)
{
    const QByteArray json = Document(SampleAccessDatabase());
    const QJsonObject query = ObjectOf(json, QStringLiteral("qryOrdersBetween"));
    EXPECT_EQ(query.value(QLatin1String("kind")).toString(), QLatin1String("query"));
    EXPECT_EQ(query.value(QLatin1String("queryType")).toString(), QLatin1String("select"));
    const QJsonArray parameters = query.value(QLatin1String("parameters")).toArray();
    ASSERT_EQ(parameters.size(), 2);
    // An Access parameter has no length, and is no output: neither is written.
    EXPECT_EQ(parameters.at(0).toObject(), (QJsonObject{{"name", "[Start date]"}, {"type", "DateTime"}}));
    EXPECT_TRUE(query.value(QLatin1String("definition")).toString().startsWith(QLatin1String("PARAMETERS ")));
    EXPECT_FALSE(query.contains(QLatin1String("hidden")));
    EXPECT_TRUE(ObjectOf(json, QStringLiteral("qryPurge")).value(QLatin1String("hidden")).toBool());
    EXPECT_TRUE(ObjectOf(json, QStringLiteral("Notes")).value(QLatin1String("hidden")).toBool());

    const QJsonObject customers = ObjectOf(json, QStringLiteral("Customers"));
    EXPECT_EQ(
        customers.value(QLatin1String("checks")).toArray(),
        (QJsonArray{QJsonObject{
            {"column", "Größe"}, {"definition", ">=0"}, {"text", "Nicht negativ"}, {"enforced", true}}}));
    const QJsonArray columns = customers.value(QLatin1String("columns")).toArray();
    EXPECT_EQ(columns.at(0).toObject().value(QLatin1String("caption")).toString(),
              QStringLiteral("Kunden-Nr."));
    EXPECT_EQ(columns.at(1).toObject().value(QLatin1String("decimalPlaces")).toInt(), 2);
    // Decimal places Auto and a false Allow Zero Length are what a field has unless set.
    EXPECT_FALSE(columns.at(0).toObject().contains(QLatin1String("decimalPlaces")));
    EXPECT_FALSE(columns.at(0).toObject().contains(QLatin1String("allowZeroLength")));

    const QJsonObject orders = ObjectOf(json, QStringLiteral("Orders"));
    const QJsonObject customerId = orders.value(QLatin1String("columns")).toArray().at(1).toObject();
    EXPECT_TRUE(customerId.value(QLatin1String("allowZeroLength")).toBool());
    EXPECT_EQ(customerId.value(QLatin1String("lookup")).toObject(),
              (QJsonObject{
                  {"displayControl", "comboBox"},
                  {"rowSourceType", "Table/Query"},
                  {"rowSource", "SELECT Customers.CustomerID FROM Customers ORDER BY Customers.CustomerID;"},
                  {"boundColumn", 1},
                  {"columnCount", 2},
                  {"limitToList", true}}));
    // The table's own rule names no field.
    EXPECT_EQ(orders.value(QLatin1String("checks")).toArray().at(0).toObject(),
              (QJsonObject{{"definition", "[Qty]<=100"}, {"enforced", true}}));
}

TEST(StructureJsonVersion2, SqlServerIndexesChecksTriggersAndEncryptedModules)
{
    const QByteArray json = Document(SampleSqlServerDatabase());
    const QJsonObject orders = ObjectOf(json, QStringLiteral("Orders"));
    const QJsonArray indexes = orders.value(QLatin1String("indexes")).toArray();
    ASSERT_EQ(indexes.size(), 2);
    const QJsonObject placed = indexes.at(0).toObject();
    EXPECT_EQ(placed.value(QLatin1String("included")).toArray(), (QJsonArray{"Total", "Code"}));
    EXPECT_EQ(placed.value(QLatin1String("filter")).toString(), QStringLiteral("([Placed]>'20200101')"));
    EXPECT_FALSE(placed.contains(QLatin1String("clustered")));
    EXPECT_TRUE(indexes.at(1).toObject().value(QLatin1String("clustered")).toBool());
    const QJsonArray checks = orders.value(QLatin1String("checks")).toArray();
    ASSERT_EQ(checks.size(), 2);
    EXPECT_FALSE(checks.at(0).toObject().value(QLatin1String("enforced")).toBool());
    EXPECT_FALSE(checks.at(0).toObject().contains(QLatin1String("column")));
    EXPECT_EQ(orders.value(QLatin1String("triggers"))
                  .toArray()
                  .at(0)
                  .toObject()
                  .value(QLatin1String("events"))
                  .toArray(),
              (QJsonArray{"insert", "update"}));
    const QJsonObject secret = ObjectOf(json, QStringLiteral("vSecret"));
    EXPECT_TRUE(secret.value(QLatin1String("encrypted")).toBool());
    EXPECT_FALSE(secret.contains(QLatin1String("definition")));
    const QJsonObject trigger = ObjectOf(json, QStringLiteral("vOpenOrders"))
                                    .value(QLatin1String("triggers"))
                                    .toArray()
                                    .at(0)
                                    .toObject();
    EXPECT_EQ(trigger, (QJsonObject{{"name", "trg_vOpenOrders_Delete"},
                                    {"events", QJsonArray{"delete"}},
                                    {"timing", "insteadOf"},
                                    {"enabled", false},
                                    {"encrypted", true}}));
    // A definition far past a report line's width is written whole.
    EXPECT_GT(
        ObjectOf(json, QStringLiteral("vOpenOrders")).value(QLatin1String("definition")).toString().size(),
        500);
}

// The schema holds what only one engine or only one version has to its place.
TEST(StructureSchemaVersion2, RefusesWhatTheOtherEngineOrVersionOneCannotHold)
{
    const QByteArray head =
        R"({"format": "orvane-structure", "version": 2, "provider": "SQLServer", "objects": [)";
    const QByteArray rest = R"(, "columns": [], "indexes": [], "foreignKeys": []}]})";
    const auto verdict = [&rest](const QByteArray& start, const QByteArray& object) {
        return StructureSchemaVerdict(start + object + rest);
    };
    EXPECT_EQ(verdict(head, R"({"name": "v", "kind": "view", "definition": "CREATE VIEW v AS SELECT 1")"),
              QLatin1String("valid"));
    EXPECT_EQ(
        verdict(head, R"({"name": "s", "kind": "sequence", "type": "int", "start": "-5", "cycle": true)"),
        QLatin1String("valid"));
    for (const QByteArray& broken : {
             QByteArray(R"({"name": "q", "kind": "query")"),
             QByteArray(R"({"name": "v", "kind": "view", "queryType": "select")"),
             QByteArray(R"({"name": "t", "kind": "table", "start": "1")"),
             QByteArray(R"({"name": "s", "kind": "sequence", "start": "1.5")"),
             QByteArray(R"({"name": "s", "kind": "sequence", "cycle": false)"),
             QByteArray(R"({"name": "v", "kind": "view", "definition": "")"),
             QByteArray(R"({"name": "t", "kind": "table", "triggers": [{"name": "x", "events": ["merge"],)"
                        R"( "timing": "after", "enabled": true}])"),
             QByteArray(R"({"name": "f", "kind": "procedure", "returns": {"type": "int"})"),
         })
        EXPECT_NE(verdict(head, broken), QLatin1String("valid")) << broken.constData();
    const QByteArray access =
        R"({"format": "orvane-structure", "version": 2, "provider": "Access", "objects": [)";
    EXPECT_EQ(verdict(access, R"({"name": "q", "kind": "query", "queryType": "union")"),
              QLatin1String("valid"));
    EXPECT_NE(verdict(access, R"({"name": "p", "kind": "procedure")"), QLatin1String("valid"));
    const QByteArray one =
        R"({"format": "orvane-structure", "version": 1, "provider": "SQLServer", "objects": [)";
    EXPECT_EQ(verdict(one, R"({"name": "v", "kind": "view")"), QLatin1String("valid"));
    EXPECT_NE(verdict(one, R"({"name": "v", "kind": "view", "definition": "x")"), QLatin1String("valid"));
    EXPECT_NE(verdict(one, R"({"name": "p", "kind": "procedure")"), QLatin1String("valid"));
}

TEST(StructureJsonReaderVersion2, ReadsVersionOneAsVersionOne)
{
    QByteArray json = Document(SampleSqlServerCatalogue());
    json.replace("\"version\": 2", "\"version\": 1");
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(json, read, error)) << error.toStdString();
    EXPECT_EQ(read.version, 1);
    EXPECT_EQ(read.catalogue.objects.size(), 2);
}

struct TBadMember
{
    const char* label;
    const char* object; // members after "name"
    const char* error;
};

class StructureJsonReaderRefusesVersion2 : public testing::TestWithParam<TBadMember>
{
};

TEST_P(StructureJsonReaderRefusesVersion2, WithThePlace)
{
    const QByteArray json =
        QByteArray(R"({"format": "orvane-structure", "version": 2, "provider": "Access",)"
                   R"( "objects": [{"name": "T", "columns": [], "indexes": [], "foreignKeys": [], )") +
        GetParam().object + "}]}";
    TStructureDocument read;
    QString error;
    EXPECT_FALSE(ReadStructureJson(json, read, error));
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().error))) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Members, StructureJsonReaderRefusesVersion2,
    testing::Values(TBadMember{"QueryType", R"("queryType": "pivot")", "objects[0].queryType: 'pivot'"},
                    TBadMember{"Timing", R"("triggers": [{"name": "t", "timing": "before"}])",
                               "objects[0].triggers[0].timing: 'before'"},
                    TBadMember{"Events", R"("triggers": [{"name": "t", "events": "insert"}])",
                               "triggers[0].events: an array expected"},
                    TBadMember{"ParameterLength", R"("parameters": [{"name": "@a", "length": "4"}])",
                               "parameters[0].length: a whole number"},
                    TBadMember{"Hidden", R"("hidden": 1)", "objects[0].hidden: true or false"},
                    TBadMember{"SequenceStart", R"("kind": "sequence", "start": 1)",
                               "objects[0].start: a text expected"},
                    TBadMember{"DecimalPlaces", R"("columns": [{"number": 1, "decimalPlaces": 2.5}])",
                               "columns[0].decimalPlaces: a whole number"}),
    [](const testing::TestParamInfo<TBadMember>& p) { return std::string(p.param.label); });

// ---------------------------------------------------------------------------------------------
// The extended report and the plain report's queries

TEST(StructureDetailWholeDatabase, AccessFieldPropertiesAndRulesFollowTheTablesLines)
{
    LanguageGuard english(2);
    const TCatalogue sample = SampleAccessDatabase();
    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("Customers"))),
              QStringList({
                  "Type          CustomerID: Short Text (5)",
                  "Type          Größe: Number (Long Integer)",
                  "Primary key   PrimaryKey (CustomerID)",
                  "Referenced by Orders (CustomerID): CustomersOrders",
                  "Default       Größe = 0",
                  "Description   Who buys",
                  "Description   CustomerID: Five letters",
                  "              upper case",
                  "Caption       CustomerID: Kunden-Nr.",
                  "Input mask    CustomerID: >LLLLL",
                  "Format        Größe: Standard",
                  "Decimals      Größe: 2",
                  "Rule          Größe: >=0",
                  "Rule text     Größe: Nicht negativ",
              }));
    const QStringList orders = StructureDetailTexts(sample, Named(sample, QStringLiteral("Orders")));
    EXPECT_EQ(
        orders.mid(orders.indexOf(QStringLiteral("AutoNumber    OrderID")) + 1),
        QStringList({
            "Zero length   CustomerID: yes",
            "Lookup        CustomerID: combo box, Table/Query: SELECT Customers.CustomerID FROM Customers "
            "ORDER BY Customers.CustomerID;, bound column 1, 2 columns, limit to list",
            "Rule          [Qty]<=100",
        }));
}

TEST(StructureDetailWholeDatabase, QueryBlockShowsTypeParametersAndTheSqlLineByLine)
{
    LanguageGuard english(2);
    const TCatalogue sample = SampleAccessDatabase();
    const QStringList expected{
        "Query type    select",
        "Parameter     [Start date] DateTime",
        "Parameter     [End date] DateTime",
        "Definition    PARAMETERS [Start date] DateTime, [End date] DateTime;",
        "              SELECT Orders.*",
        "              FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID",
        "              WHERE (((Orders.Placed) Between [Start date] And [End date]));",
    };
    EXPECT_EQ(QueryReportTexts(Named(sample, QStringLiteral("qryOrdersBetween"))), expected);
    // The extended report has nothing more to say of it; a hidden query says so first.
    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("qryOrdersBetween"))), expected);
    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("qryPurge"))).first(),
              QStringLiteral("Hidden        yes"));
}

TEST(StructureDetailWholeDatabase, SqlServerModulesAreShownWholeAsStored)
{
    LanguageGuard english(2);
    const TCatalogue sample = SampleSqlServerDatabase();
    const TCatalogueObject& view = Named(sample, QStringLiteral("vOpenOrders"));
    const QStringList lines = StructureDetailTexts(sample, view);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines.at(0), QStringLiteral("Type          OrderID: int"));
    EXPECT_EQ(lines.at(1),
              QStringLiteral("Trigger       trg_vOpenOrders_Delete INSTEAD OF DELETE, disabled"));
    EXPECT_EQ(lines.at(2), QStringLiteral("              (encrypted)"));
    EXPECT_EQ(lines.at(3), QStringLiteral("Definition    -- Orders not yet placed | <b>"));
    // The long line is one line, cut nowhere.
    EXPECT_EQ(lines.at(5),
              QStringLiteral("              ") + view.definition.split(QStringLiteral("\r\n")).last());

    const QStringList orders = StructureDetailTexts(sample, Named(sample, QStringLiteral("Orders")));
    for (const char* line :
         {"Index         IX_Orders_Placed (Placed descending), include (Total, Code), filter "
          "([Placed]>'20200101')",
          "Unique index  UQ_Orders_Code (Code), clustered",
          "Check         CK_Orders_Placed: ([Placed]<=getdate()), not enforced",
          "Check         CK_Orders_Total (Total): ([Total]>=(0))",
          "Trigger       trg_Orders_Audit AFTER INSERT, UPDATE", "                  SET NOCOUNT ON;"})
        EXPECT_TRUE(orders.contains(QString::fromUtf8(line))) << line;

    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("fn_OrderTotal"))).mid(0, 2),
              QStringList({"Parameter     @OrderID int 4", "Returns       money 8"}));
    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("usp_PlaceOrder"))).at(2),
              QStringLiteral("Parameter     @OrderID int 4 OUTPUT"));
    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("sales.vSecret"))),
              QStringList{"Definition    (encrypted)"});
    EXPECT_EQ(
        StructureDetailTexts(sample, Named(sample, QStringLiteral("OrderNumbers"))),
        QStringList{
            "Sequence      bigint, start 1000, increment 1, minimum 1000, maximum 9223372036854775807"});
    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("Archive"))),
              QStringList{"Target        [ArchiveDb].[dbo].[Orders]"});
    // A CLR function has parameters and a return type, and no definition to show.
    EXPECT_EQ(StructureDetailTexts(sample, Named(sample, QStringLiteral("fn_Regex"))).size(), 2);
}

// The new labels are no wider than the old ones: values start in the old column in every language.
class WholeDatabaseDetailLanguages : public testing::TestWithParam<int>
{
};

TEST_P(WholeDatabaseDetailLanguages, ValuesLineUpWithTheOldLabels)
{
    LanguageGuard language(GetParam());
    const TCatalogue access = SampleAccessDatabase();
    const TCatalogue server = SampleSqlServerDatabase();
    const QStringList first = StructureDetailTexts(access, access.objects.at(0));
    const qsizetype start =
        first.filter(QLatin1String("PrimaryKey")).value(0).indexOf(QLatin1String("PrimaryKey"));
    ASSERT_GT(start, 0);
    QStringList lines;
    for (const TCatalogue* sample : {&access, &server}) {
        for (const TCatalogueObject& object : sample->objects)
            lines += StructureDetailTexts(*sample, object);
    }
    for (const QString& line : lines) {
        ASSERT_GT(line.size(), start) << line.toStdString();
        EXPECT_EQ(line.at(start - 1), QLatin1Char(' ')) << line.toStdString();
        // A label's value starts right there; a value's further lines keep their own indentation.
        if (line.at(0) != QLatin1Char(' ')) {
            EXPECT_NE(line.at(start), QLatin1Char(' ')) << line.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(GermanEnglishIdentifiers, WholeDatabaseDetailLanguages, testing::Values(1, 2, 99));

// ---------------------------------------------------------------------------------------------
// Markdown

TEST(StructureMarkdownWholeDatabase, DefinitionsAreFencedSqlAndTheRestLabelled)
{
    LanguageGuard english(2);
    TCatalogue sample = SampleSqlServerDatabase();
    const QString page =
        QString::fromUtf8(StructureMarkdown(sample, All(sample), QString::fromLatin1(kProgram)));
    const TCatalogueObject& view = Named(sample, QStringLiteral("vOpenOrders"));
    QString definition = view.definition;
    definition.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_TRUE(page.contains(QStringLiteral("## vOpenOrders\n\n*view*\n\n| # |"))) << page.toStdString();
    EXPECT_TRUE(
        page.contains(QStringLiteral("**Definition**\n\n```sql\n") + definition + QStringLiteral("\n```\n")));
    EXPECT_TRUE(
        page.contains(QStringLiteral("## sales.vSecret\n\n*view*\n\n**Definition**\n\n*(encrypted)*\n")));
    EXPECT_TRUE(page.contains(
        QStringLiteral("*function*  \n**Returns**: money 8\n\n**Parameter**\n\n- @OrderID int 4\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("**Target**: `[ArchiveDb].[dbo].[Orders]`")));
    EXPECT_TRUE(page.contains(
        QStringLiteral("**Check**\n\n- CK\\_Orders\\_Placed: `([Placed]<=getdate())`, not enforced\n"
                       "- CK\\_Orders\\_Total (Total): `([Total]>=(0))`\n")));
    EXPECT_TRUE(page.contains(
        QStringLiteral("**Trigger**: trg\\_Orders\\_Audit AFTER INSERT, UPDATE\n\n```sql\n"
                       "CREATE TRIGGER trg_Orders_Audit ON dbo.Orders AFTER INSERT, UPDATE\n")));
    EXPECT_TRUE(page.contains(
        QStringLiteral("- IX\\_Orders\\_Placed (Placed descending), include (Total, Code), filter "
                       "(\\[Placed\\]\\>'20200101')\n")));

    // A definition holding a fence of its own gets a longer one.
    sample.objects[2].definition = QStringLiteral("SELECT '```' AS fence");
    const QString fenced = QString::fromUtf8(StructureMarkdown(sample, {&sample.objects[2]}, QString()));
    EXPECT_TRUE(fenced.contains(QStringLiteral("\n````sql\nSELECT '```' AS fence\n````\n")))
        << fenced.toStdString();
}

TEST(StructureMarkdownWholeDatabase, AccessQueriesRulesAndFieldProperties)
{
    LanguageGuard english(2);
    const TCatalogue sample = SampleAccessDatabase();
    const QString page = QString::fromUtf8(StructureMarkdown(sample, All(sample), QString()));
    EXPECT_TRUE(
        page.contains(QStringLiteral("## qryPurge\n\n*query*  \n**Hidden**  \n**Query type**: delete\n")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(
        QStringLiteral("**Parameter**\n\n- \\[Start date\\] DateTime\n- \\[End date\\] DateTime\n")));
    EXPECT_TRUE(page.contains(
        QStringLiteral("| Column | Caption | Format | Input mask | Decimals | Zero length | Lookup |\n"
                       "|---|---|---|---|--:|:-:|---|\n"
                       "| CustomerID | Kunden-Nr. |  | `>LLLLL` |  |  |  |\n"
                       "| Größe |  | `Standard` |  | 2 |  |  |\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("**Rule**\n\n- Größe: `>=0`; Rule text: Nicht negativ\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("**Rule**\n\n- `[Qty]<=100`\n")));
}

// ---------------------------------------------------------------------------------------------
// The Access page's query list and its report

const QDateTime kFixedTime(QDate(2026, 3, 14), QTime(9, 5, 7));

// Finds the system tables by name; the queries behind forms the catalogue marks itself.
class SystemNames final : public TQueryObject
{
public:
    void setConnectionString(const QString&) override {}
    void close() override {}
    void setCommandText(const QString&) override {}
    void open() override {}
    bool locate(const QString&, const QString& value) const override
    {
        return value.startsWith(QLatin1String("MSys"));
    }
};

class AccessQueriesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        CurrentLanguage = 2;
        m_provider = std::make_unique<TModelProvider>(ptAccess, SampleAccessDatabase());
        m_connection.SetConnectionType(ctADOX);
        m_connection.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"));
    }
    void TearDown() override { CurrentLanguage = 0; }

    std::unique_ptr<TModelProvider> m_provider;
    TKorvConnection m_connection;
};

TEST_F(AccessQueriesTest, TheQueryChoiceListsTheQueriesAndGreysTheFormsOwn)
{
    TTableList tables;
    ListCatalogueObjects(m_connection, ptAccess, QStringLiteral("/x.mdb"), false, tables);
    EXPECT_EQ(tables.size(), 4);
    TTableList queries;
    ListCatalogueObjects(m_connection, ptAccess, QStringLiteral("/x.mdb"), true, queries);
    QStringList texts;
    for (const TTableEntry& entry : queries)
        texts.append(entry.text);
    EXPECT_EQ(texts, (QStringList{"qryOpenOrders", "qryOrdersBetween", "qryPurge", "qryQtyByCustomer",
                                  "~sq_cOrders"}));
    SystemNames query;
    ApplySystemTableRule(queries, false, query, QStringLiteral("x"), QStringLiteral("SELECT"));
    EXPECT_FALSE(queries.last().enabled);
    EXPECT_TRUE(queries.first().enabled);
    SelectAll(queries);
    EXPECT_FALSE(queries.last().checked);
    ApplySystemTableRule(queries, true, query, QStringLiteral("x"), QStringLiteral("SELECT"));
    EXPECT_TRUE(queries.last().enabled);
}

TEST_F(AccessQueriesTest, OutputOfCheckedQueriesWritesTitleTypeParametersAndSql)
{
    TReportSettings s;
    s.provider = ptAccess;
    s.database = QStringLiteral("/data/Nordwind.mdb");
    s.views = true;
    s.clock = [] { return kFixedTime; };
    TStringLineSink sink;
    TReportRunHooks hooks;
    EXPECT_EQ(RunStructureReport(
                  m_connection, s,
                  {{QStringLiteral("qryOpenOrders"), false}, {QStringLiteral("qryOrdersBetween"), true}},
                  sink, hooks),
              TReportOutcome::Completed);
    QStringList lines = sink.lines();
    const qsizetype title =
        lines.indexOf(ReportLine(TitleText(QLatin1Char('*'), QStringLiteral("qryOrdersBetween"), true)));
    ASSERT_GE(title, 0) << lines.join(u'\n').toStdString();
    QStringList expected;
    for (const QString& text :
         QueryReportTexts(Named(SampleAccessDatabase(), QStringLiteral("qryOrdersBetween"))))
        expected.append(IndentedLine(text, 1));
    expected.append(ReportLine(FrameText(QLatin1Char('*'))));
    EXPECT_EQ(lines.mid(title + 1), expected);
    EXPECT_FALSE(lines.join(u'\n').contains(QLatin1String("qryOpenOrders")));

    // The extended report adds the rest of what the model knows.
    s.structure = m_connection.StructureModel();
    TStringLineSink detailed;
    RunStructureReport(m_connection, s, {{QStringLiteral("qryPurge"), true}}, detailed, hooks);
    EXPECT_TRUE(detailed.lines().contains(IndentedLine(QStringLiteral("Hidden        yes"), 1)));
    EXPECT_TRUE(detailed.lines().contains(IndentedLine(QStringLiteral("Query type    delete"), 1)));
}

// orvane-report on an Access file whose catalogue is the whole-database model: --queries lists
// the queries, a document holds everything, and --table picks an object of any kind.
TEST(ReportCommandWholeDatabase, QueriesAndDocumentsOfTheWholeDatabase)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("nordwind.mdb"));
    jet::Database db;
    db.tables = {jet::Table{QStringLiteral("Orders"),
                            {jet::makeColumn(QStringLiteral("OrderID"), jet::ColumnType::Long)}}};
    jet::writeFile(file, db);
    const TModelProvider model(ptAccess, SampleAccessDatabase());

    const CommandRun queries = RunCommandInProcess(
        {QStringLiteral("--queries"), QStringLiteral("--language"), QStringLiteral("en"), file});
    ASSERT_EQ(queries.exitCode, 0) << queries.err.toStdString();
    const QString text = QString::fromUtf8(queries.out);
    EXPECT_TRUE(text.contains(QStringLiteral("*** qryQtyByCustomer ")));
    EXPECT_TRUE(text.contains(IndentedLine(QStringLiteral("Query type    crosstab"), 1)));
    EXPECT_TRUE(text.contains(IndentedLine(QStringLiteral("              PIVOT Orders.Shipped;"), 1)));
    EXPECT_FALSE(text.contains(QStringLiteral("~sq_cOrders")));
    EXPECT_FALSE(text.contains(QStringLiteral("*** Customers ")));

    const CommandRun json = RunCommandInProcess({QStringLiteral("--format"), QStringLiteral("json"), file});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    QStringList names;
    for (const QJsonValue& o :
         QJsonDocument::fromJson(json.out).object().value(QLatin1String("objects")).toArray())
        names.append(o.toObject().value(QLatin1String("name")).toString());
    EXPECT_EQ(names, (QStringList{"Customers", "Orders", "Notes", "Archive", "qryOpenOrders",
                                  "qryOrdersBetween", "qryPurge", "qryQtyByCustomer"}));
    EXPECT_EQ(StructureSchemaVerdict(json.out), QLatin1String("valid"));

    const CommandRun picked = RunCommandInProcess(
        {QStringLiteral("--format"), QStringLiteral("markdown"), QStringLiteral("--table"),
         QStringLiteral("QRYPURGE"), QStringLiteral("--table"), QStringLiteral("Orders"), file});
    ASSERT_EQ(picked.exitCode, 0) << picked.err.toStdString();
    const QString page = QString::fromUtf8(picked.out);
    EXPECT_TRUE(page.contains(QStringLiteral("\n## Orders\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("\n## qryPurge\n")));
    EXPECT_FALSE(page.contains(QStringLiteral("\n## Customers\n")));
    // The plain report lists tables only; a query's name is no table's.
    EXPECT_EQ(RunCommandInProcess({QStringLiteral("--table"), QStringLiteral("qryPurge"), file}).exitCode, 1);
}

} // namespace
