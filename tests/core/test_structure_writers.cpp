// The writers over the structure model: the JSON document (its exact bytes are a contract for
// scripts, and it must validate against the repository's schema), the extended report's detail
// lines and the Markdown page.
#include "CatalogueSamples.h"
#include "StructureDetail.h"
#include "StructureJson.h"
#include "StructureMarkdown.h"
#include "UIText.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <ostream>

namespace {

constexpr char kProgram[] = "Orvane 0.7.1.2";

QList<const TCatalogueObject*> All(const TCatalogue& catalogue)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects)
        objects.append(&object);
    return objects;
}

class LanguageGuard
{
public:
    explicit LanguageGuard(int language) : m_saved(CurrentLanguage) { CurrentLanguage = language; }
    ~LanguageGuard() { CurrentLanguage = m_saved; }

private:
    int m_saved;
};

TEST(StructureJson, SqlServerDocumentIsExactlyTheContractedShape)
{
    const TCatalogue catalogue = SampleSqlServerCatalogue();
    const QByteArray expected = R"json({
  "format": "orvane-structure",
  "version": 2,
  "program": "Orvane 0.7.1.2",
  "provider": "SQLServer",
  "server": "db1,1433",
  "database": "Sales",
  "objects": [
    {
      "name": "Orders",
      "schema": "dbo",
      "kind": "table",
      "description": "Orders | \"quoted\" <b>",
      "columns": [
        {
          "number": 1,
          "name": "OrderID",
          "type": "int",
          "declaredType": "int",
          "length": 4,
          "nullable": false,
          "autoIncrement": true
        },
        {
          "number": 2,
          "name": "Placed",
          "type": "datetime",
          "declaredType": "datetime",
          "length": 8,
          "nullable": false,
          "autoIncrement": false,
          "default": "(getdate())"
        },
        {
          "number": 3,
          "name": "Code",
          "type": "ShortCode",
          "declaredType": "ShortCode",
          "baseType": "varchar",
          "length": 6,
          "nullable": true,
          "autoIncrement": false
        },
        {
          "number": 4,
          "name": "Total",
          "type": "money",
          "declaredType": "money",
          "length": 8,
          "nullable": true,
          "autoIncrement": false,
          "computed": "([Qty]*[Price])"
        }
      ],
      "primaryKey": {
        "name": "PK_Orders",
        "columns": ["OrderID"]
      },
      "indexes": [
        {
          "name": "UQ_Orders_Code",
          "unique": true,
          "columns": [
            {
              "name": "Code",
              "descending": false
            }
          ]
        }
      ],
      "foreignKeys": []
    },
    {
      "name": "Orders",
      "schema": "sales",
      "kind": "table",
      "columns": [
        {
          "number": 1,
          "name": "OrderID",
          "type": "int",
          "declaredType": "int",
          "length": 4,
          "nullable": false,
          "autoIncrement": false
        }
      ],
      "indexes": [],
      "foreignKeys": [
        {
          "name": "FK_sales_Orders_dbo_Orders",
          "columns": ["OrderID"],
          "referencedTable": "Orders",
          "referencedSchema": "dbo",
          "referencedColumns": ["OrderID"],
          "enforced": false,
          "onUpdate": "noAction",
          "onDelete": "cascade"
        }
      ]
    }
  ]
}
)json";
    EXPECT_EQ(StructureJson(catalogue, All(catalogue), QString::fromLatin1(kProgram)), expected);
}

TEST(StructureJson, AccessDocumentCarriesTypeCodesLinksAndNoServerKeys)
{
    const TCatalogue catalogue = SampleAccessCatalogue();
    const QByteArray json = StructureJson(catalogue, All(catalogue), QString::fromLatin1(kProgram));
    const QJsonDocument document = QJsonDocument::fromJson(json);
    ASSERT_TRUE(document.isObject());
    const QJsonObject root = document.object();
    EXPECT_FALSE(root.contains(QLatin1String("server")));
    const QJsonArray objects = root.value(QLatin1String("objects")).toArray();
    ASSERT_EQ(objects.size(), 3);
    const QJsonObject orders = objects.at(1).toObject();
    EXPECT_FALSE(orders.contains(QLatin1String("schema")));
    // A Byte column: the report says "unknown", the code says what it is.
    const QJsonObject qty = orders.value(QLatin1String("columns")).toArray().at(3).toObject();
    EXPECT_EQ(qty.value(QLatin1String("type")).toString(), QLatin1String("unknown"));
    EXPECT_EQ(qty.value(QLatin1String("typeCode")).toInt(), 17);
    // Indexes by name, without regard to case, whatever order the engine gave.
    const QJsonArray indexes = orders.value(QLatin1String("indexes")).toArray();
    ASSERT_EQ(indexes.size(), 2);
    EXPECT_EQ(indexes.at(0).toObject().value(QLatin1String("name")).toString(), QLatin1String("CustomerID"));
    EXPECT_EQ(objects.at(2)
                  .toObject()
                  .value(QLatin1String("link"))
                  .toObject()
                  .value(QLatin1String("file"))
                  .toString(),
              QLatin1String("C:\\Daten\\Archiv.mdb"));
    // A line break inside a description survives as an escape.
    EXPECT_TRUE(json.contains(R"("description": "Five letters\r\nupper case")"));
}

class StructureSchema : public ::testing::TestWithParam<int>
{
};

TEST_P(StructureSchema, WrittenDocumentsValidate)
{
    const TCatalogue catalogue = GetParam() == 0 ? SampleAccessCatalogue() : SampleSqlServerCatalogue();
    EXPECT_EQ(StructureSchemaVerdict(StructureJson(catalogue, All(catalogue), QString::fromLatin1(kProgram))),
              QLatin1String("valid"));
}

INSTANTIATE_TEST_SUITE_P(BothEngines, StructureSchema, ::testing::Values(0, 1));

// The schema is only worth its name if it refuses what the format rules out.
TEST(StructureSchemaRules, RefusesNullsEmptyTextsAndEngineKeysOfTheOtherEngine)
{
    const QByteArray base =
        R"({"format": "orvane-structure", "version": 1, "provider": "Access", "objects": [)";
    const QByteArray column = R"({"number": 1, "name": "a", "type": "Integer", "typeCode": 3, "length": 4,)"
                              R"( "nullable": true, "autoIncrement": false)";
    const QByteArray object = R"({"name": "t", "kind": "table", "columns": [)";
    const QByteArray rest = R"(], "indexes": [], "foreignKeys": []}]})";
    EXPECT_EQ(StructureSchemaVerdict(base + object + column + "}" + rest), QLatin1String("valid"));
    for (const QByteArray& broken : {QByteArray(R"(, "description": null)"), QByteArray(R"(, "default": "")"),
                                     QByteArray(R"(, "baseType": "int")"), QByteArray(R"(, "size": 4)")})
        EXPECT_NE(StructureSchemaVerdict(base + object + column + broken + "}" + rest),
                  QLatin1String("valid"))
            << broken.constData();
    EXPECT_NE(StructureSchemaVerdict(
                  QByteArray(R"({"format": "orvane-structure", "version": 1, "provider": "Access",)"
                             R"( "server": "x", "objects": []})")),
              QLatin1String("valid"));
}

TEST(StructureDetail, AccessBlockListsEveryDetailInEnglish)
{
    LanguageGuard english(2);
    const TCatalogue catalogue = SampleAccessCatalogue();
    EXPECT_EQ(
        StructureDetailTexts(catalogue, catalogue.objects.at(1)),
        QStringList({
            "Type          OrderID: AutoNumber",
            "Type          CustomerID: Short Text (5)",
            "Type          Shipped: Yes/No",
            "Type          Qty: Number (Byte)",
            "Primary key   PrimaryKey (OrderID)",
            "Index         CustomerID (CustomerID, OrderID)",
            "Index         Shipped (Shipped descending)",
            "Foreign key   CustomersOrders (CustomerID) -> Customers (CustomerID), on update cascade, on "
            "delete set null",
            "Default       Qty = =1",
            "AutoNumber    OrderID",
        }));
    EXPECT_EQ(StructureDetailTexts(catalogue, catalogue.objects.at(0)),
              QStringList({
                  "Type          CustomerID: Short Text (5)",
                  "Type          Größe: Number (Long Integer)",
                  "Primary key   PrimaryKey (CustomerID)",
                  "Referenced by Orders (CustomerID): CustomersOrders",
                  "Default       Größe = 0",
                  "Description   Who buys",
                  "Description   CustomerID: Five letters",
                  "              upper case",
              }));
    EXPECT_EQ(StructureDetailTexts(catalogue, catalogue.objects.at(2)),
              QStringList({"Linked to     C:\\Daten\\Archiv.mdb: Orders"}));
}

// Whatever the language, every value starts in one column, so the block reads as a table.
class StructureDetailLanguages : public ::testing::TestWithParam<int>
{
};

TEST_P(StructureDetailLanguages, ValuesLineUp)
{
    LanguageGuard language(GetParam());
    const TCatalogue catalogue = SampleSqlServerCatalogue();
    QStringList lines = StructureDetailTexts(catalogue, catalogue.objects.at(0));
    lines += StructureDetailTexts(catalogue, catalogue.objects.at(1));
    ASSERT_GE(lines.size(), 6);
    // The first value after the column types.
    const qsizetype start =
        lines.filter(QLatin1String("PK_Orders")).value(0).indexOf(QLatin1String("PK_Orders"));
    ASSERT_GT(start, 0);
    for (const QString& line : lines) {
        EXPECT_NE(line.at(start), QLatin1Char(' ')) << line.toStdString();
        EXPECT_EQ(line.at(start - 1), QLatin1Char(' ')) << line.toStdString();
    }
    // The referencing table in another schema is named with it.
    EXPECT_TRUE(lines.filter(QLatin1String("sales.Orders (OrderID): FK_sales_Orders_dbo_Orders")).size() ==
                1);
}

INSTANTIATE_TEST_SUITE_P(GermanEnglishIdentifiers, StructureDetailLanguages, ::testing::Values(1, 2, 99));

struct JsonTextCase
{
    const char* label;
    QString text;
    QByteArray written; // between the quotes
};

void PrintTo(const JsonTextCase& c, std::ostream* os)
{
    *os << c.label;
}

class JsonText : public ::testing::TestWithParam<JsonTextCase>
{
};

// Every text of the document goes through one escaping: what a JSON reader must get back, with a
// lone surrogate (which UTF-8 cannot carry) as U+FFFD.
TEST_P(JsonText, IsEscapedAndEncodedAsUtf8)
{
    TCatalogue catalogue;
    catalogue.provider = QStringLiteral("Access");
    TCatalogueObject object;
    object.name = QStringLiteral("T");
    object.description = GetParam().text;
    catalogue.objects = {object};
    const QByteArray json = StructureJson(catalogue, All(catalogue), QString::fromLatin1(kProgram));
    EXPECT_TRUE(json.contains("\"description\": \"" + GetParam().written + "\",\n")) << json.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonText,
    ::testing::Values(
        JsonTextCase{"Plain", QStringLiteral("Orders of 2026"), "Orders of 2026"},
        JsonTextCase{"QuoteAndBackslash", QStringLiteral("say \"C:\\x\""), "say \\\"C:\\\\x\\\""},
        JsonTextCase{"LineBreaksAndTab", QStringLiteral("a\r\nb\tc\n"), "a\\r\\nb\\tc\\n"},
        JsonTextCase{"OtherControls", QString(QChar(1)) + QChar(0x1f) + QStringLiteral("x"),
                     "\\u0001\\u001fx"},
        JsonTextCase{"BeyondAscii", QStringLiteral("Größe 名前 \U0001F600"), "Größe 名前 \xF0\x9F\x98\x80"},
        JsonTextCase{"EscapeBetweenWideCharacters", QStringLiteral("ä\"ö"), "ä\\\"ö"},
        JsonTextCase{"LoneSurrogates", QString(QChar(0xD83D)) + QStringLiteral("\n") + QChar(0xDE00),
                     "\xEF\xBF\xBD\\n\xEF\xBF\xBD"}),
    [](const ::testing::TestParamInfo<JsonTextCase>& p) { return std::string(p.param.label); });

// A large catalogue's document is written in parts through one growing buffer: every part
// boundary and every growth must leave the text whole.
TEST(StructureJson, ADocumentOfManyPartsReadsBackWhole)
{
    TCatalogue catalogue;
    catalogue.provider = QStringLiteral("Access");
    const QString note = QStringLiteral("Größe \"x\"\n名前\t").repeated(40);
    for (int t = 0; t < 1500; ++t) {
        TCatalogueObject object;
        object.name = QStringLiteral("T%1").arg(t, 4, 10, QLatin1Char('0'));
        // One text longer than the buffer's first room.
        object.description = (t == 777 ? note.repeated(600) : note) + QString::number(t);
        TCatalogueColumn column;
        column.number = 1;
        column.name = QStringLiteral("C");
        column.typeName = QStringLiteral("Integer");
        object.columns = {column};
        catalogue.objects.append(object);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteStructureJson(buffer, catalogue, All(catalogue), QString::fromLatin1(kProgram)));
    ASSERT_GT(buffer.data().size(), 2 * 1024 * 1024);
    EXPECT_EQ(StructureJson(catalogue, All(catalogue), QString::fromLatin1(kProgram)), buffer.data());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(buffer.data(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonArray objects = document.object().value(QStringLiteral("objects")).toArray();
    ASSERT_EQ(objects.size(), 1500);
    for (int t : {0, 777, 1499}) {
        const QJsonObject object = objects.at(t).toObject();
        EXPECT_EQ(object.value(QStringLiteral("description")).toString(),
                  (t == 777 ? note.repeated(600) : note) + QString::number(t));
        EXPECT_EQ(
            object.value(QStringLiteral("columns")).toArray().at(0).toObject().value(QStringLiteral("name")),
            QStringLiteral("C"));
    }
}

struct MarkdownCase
{
    const char* text;
    const char* markdown;
};

class MarkdownEscaping : public ::testing::TestWithParam<MarkdownCase>
{
};

TEST_P(MarkdownEscaping, TextRendersAsItself)
{
    EXPECT_EQ(MarkdownText(QString::fromUtf8(GetParam().text)), QString::fromUtf8(GetParam().markdown));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MarkdownEscaping,
    ::testing::Values(MarkdownCase{"Order Details", "Order Details"}, MarkdownCase{"a|b", "a\\|b"},
                      // Hard line breaks, no HTML; a break at the end would leave a stray backslash.
                      MarkdownCase{"line\r\nnext\rlast\n", "line\\\nnext\\\nlast"},
                      MarkdownCase{"one\n\n- two", "one\\\n\\\n\\- two"},
                      MarkdownCase{"my_table*x*", "my\\_table\\*x\\*"},
                      MarkdownCase{"<b>&amp;", "\\<b\\>\\&amp;"},
                      MarkdownCase{"# not a heading", "\\# not a heading"}, MarkdownCase{"- x", "\\- x"},
                      MarkdownCase{"12. x", "12\\. x"}, MarkdownCase{"v1.2-3", "v1.2-3"},
                      MarkdownCase{"127.0.0.1", "127.0.0.1"}, MarkdownCase{"-x", "-x"},
                      MarkdownCase{"[link](x)", "\\[link\\](x)"}, MarkdownCase{"Größe 名前", "Größe 名前"}));

TEST(StructureMarkdown, PageHasHeadingsColumnTablesAndKeys)
{
    LanguageGuard english(2);
    const TCatalogue catalogue = SampleSqlServerCatalogue();
    const QString page =
        QString::fromUtf8(StructureMarkdown(catalogue, All(catalogue), QString::fromLatin1(kProgram)));
    const QStringList lines = page.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), QLatin1String("# Sales"));
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^## "))),
              QStringList({"## Contents", "## Relationships", "## Orders", "## sales.Orders"}));
    EXPECT_TRUE(lines.contains(QLatin1String("Orders \\| \"quoted\" \\<b\\>")));
    EXPECT_TRUE(lines.contains(QLatin1String("| 2 | Placed | datetime | 8 | no | `(getdate())` |  |")));
    EXPECT_TRUE(lines.contains(QLatin1String("| 1 | OrderID | int | 4 | no | Identity |  |")));
    // A user type by its own name, as SQL Server's users write it.
    EXPECT_TRUE(lines.contains(QLatin1String("| 3 | Code | ShortCode | 6 | yes |  |  |")));
    EXPECT_TRUE(lines.contains(QLatin1String("**Primary key**: PK\\_Orders (OrderID)")));
    EXPECT_TRUE(lines.contains(QLatin1String("- UQ\\_Orders\\_Code (Code) (Unique index)")));
    EXPECT_TRUE(lines.contains(
        QLatin1String("- [sales.Orders](#salesorders) (OrderID): FK\\_sales\\_Orders\\_dbo\\_Orders")));
    // Each table's header row is followed by its alignment row, and every row has the same cells.
    const QStringList rows = lines.filter(QRegularExpression(QStringLiteral("^\\|")));
    ASSERT_EQ(rows.size(), 2 + 4 + 2 + 1);
    for (const QString& row : rows)
        EXPECT_EQ(QString(row).remove(QLatin1String("\\|")).count(QLatin1Char('|')), 8) << row.toStdString();
    EXPECT_TRUE(page.endsWith(QLatin1String("\n")));
    EXPECT_FALSE(page.endsWith(QLatin1String("\n\n")));
}

// A text of several lines keeps its breaks where a renderer that refuses HTML shows it: in a
// paragraph as hard breaks, out of a table cell (which holds one line) into a list under it.
TEST(StructureMarkdown, MultiLineTextsKeepTheirBreaksWithoutHtml)
{
    LanguageGuard english(2);
    TCatalogue catalogue = SampleAccessCatalogue();
    catalogue.objects[0].description = QStringLiteral("Who buys\nand where");
    catalogue.objects[0].columns[1].defaultValue = QStringLiteral("IIf([A]=1,\r\n2,3)");
    const QString page = QString::fromUtf8(
        StructureMarkdown(catalogue, {&catalogue.objects.at(0)}, QString::fromLatin1(kProgram)));
    EXPECT_FALSE(page.contains(QLatin1String("<br>"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QLatin1String("\n\nWho buys\\\nand where\n\n"))) << page.toStdString();
    const QStringList lines = page.split(QLatin1Char('\n'));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("| 1 | CustomerID | Short Text (5) | 5 | no |  | Five letters … |")))
        << page.toStdString();
    EXPECT_TRUE(lines.contains(
        QStringLiteral("| 2 | Größe | Number (Long Integer) | 4 | yes | IIf(\\[A\\]=1, … |  |")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("\n\n- CustomerID, Description: Five letters\\\n  upper case\n"
                                             "- Größe, Default: IIf(\\[A\\]=1,\\\n  2,3)\n\n")))
        << page.toStdString();
    for (const QString& row : lines.filter(QRegularExpression(QStringLiteral("^\\|"))))
        EXPECT_EQ(QString(row).remove(QLatin1String("\\|")).count(QLatin1Char('|')), 8) << row.toStdString();
}

} // namespace
