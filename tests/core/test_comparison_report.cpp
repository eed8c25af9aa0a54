// The outputs of a comparison on a fixed set of differences: the JSON document's exact bytes
// (a contract for CI scripts: key order, empty values left out) and the report lines.
#include "CatalogueSamples.h"
#include "ComparisonReport.h"
#include "UIText.h"

#include <gtest/gtest.h>

namespace {

class LanguageGuard
{
public:
    explicit LanguageGuard(int language) : m_saved(CurrentLanguage) { CurrentLanguage = language; }
    ~LanguageGuard() { CurrentLanguage = m_saved; }

private:
    int m_saved;
};

TStructureDifference Difference(TChangeKind change, TDifferenceItem item, const char* name,
                                const char* property = "", const char* baseline = "",
                                const char* current = "")
{
    TStructureDifference d;
    d.change = change;
    d.object = QStringLiteral("Orders");
    d.schema = QStringLiteral("dbo");
    d.item = item;
    d.name = QString::fromUtf8(name);
    d.property = QString::fromUtf8(property);
    d.baseline = QString::fromUtf8(baseline);
    d.current = QString::fromUtf8(current);
    return d;
}

struct TFixture
{
    TCatalogue access;
    TCatalogue sql;
    TComparisonSettings settings;
    TStructureComparison comparison;

    TFixture()
    {
        access.provider = QStringLiteral("Access");
        access.database = QStringLiteral("/data/back.mdb");
        sql.provider = QStringLiteral("SQLServer");
        sql.server = QStringLiteral("db1");
        sql.database = QStringLiteral("Sales");
        settings.baseline = TComparisonSide{&access, QStringLiteral("before.json")};
        settings.current = TComparisonSide{&sql, QString()};
        settings.when = QDateTime(QDate(2026, 12, 9), QTime(10, 30));
        settings.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
        comparison.typeMapping = true;
        comparison.differences = {
            Difference(TChangeKind::Changed, TDifferenceItem::Column, "Freight", "type", "Currency", "float"),
            Difference(TChangeKind::Changed, TDifferenceItem::Column, "Note", "default", "", "('x')"),
            Difference(TChangeKind::Changed, TDifferenceItem::Table, "", "description", "two\r\nlines", ""),
            Difference(TChangeKind::Removed, TDifferenceItem::Index, "Shipped")};
    }
};

TEST(ComparisonJson, IsExactlyTheContractedShapeWithEmptyValuesLeftOut)
{
    const TFixture f;
    const std::string expected = R"json({
  "format": "orvane-comparison",
  "version": 1,
  "program": "Orvane 1.2",
  "baseline": {
    "provider": "Access",
    "database": "/data/back.mdb"
  },
  "current": {
    "provider": "SQLServer",
    "server": "db1",
    "database": "Sales"
  },
  "typeMapping": "access-sqlserver",
  "differences": [
    {
      "change": "changed",
      "object": "Orders",
      "schema": "dbo",
      "item": "column",
      "name": "Freight",
      "property": "type",
      "baseline": "Currency",
      "current": "float"
    },
    {
      "change": "changed",
      "object": "Orders",
      "schema": "dbo",
      "item": "column",
      "name": "Note",
      "property": "default",
      "current": "('x')"
    },
    {
      "change": "changed",
      "object": "Orders",
      "schema": "dbo",
      "item": "table",
      "property": "description",
      "baseline": "two\r\nlines"
    },
    {
      "change": "removed",
      "object": "Orders",
      "schema": "dbo",
      "item": "index",
      "name": "Shipped"
    }
  ]
}
)json";
    EXPECT_EQ(ComparisonJson(f.settings, f.comparison, QStringLiteral("Orvane 1.2")).toStdString(), expected);
}

TEST(ComparisonReport, NamesBothSidesAndPutsEachDifferenceOnOneLine)
{
    const LanguageGuard english(2);
    const TFixture f;
    TStringLineSink sink;
    WriteComparisonReport(sink, f.settings, f.comparison);
    const QStringList lines = sink.lines();
    ASSERT_GE(lines.size(), 10);
    EXPECT_EQ(lines.at(4), QStringLiteral("      *** Structure comparison"));
    EXPECT_EQ(lines.at(6),
              QStringLiteral("      *** Baseline:  Access /data/back.mdb (snapshot before.json)"));
    EXPECT_EQ(lines.at(7), QStringLiteral("      *** Current:   SQLServer db1 Sales"));
    EXPECT_EQ(lines.at(8), QStringLiteral("      *** Types:     Access and SQL Server types mapped"));
    // dbo is the bare name, as in the report's title lines.
    EXPECT_EQ(lines.mid(10, 5),
              (QStringList{QStringLiteral("      *** Orders ") + QString(59, u'*'),
                           QStringLiteral("          changed column Freight: type Currency -> float"),
                           QStringLiteral("          changed column Note: default (none) -> ('x')"),
                           QStringLiteral("          changed table: description two\\nlines -> (none)"),
                           QStringLiteral("          removed index Shipped")}));
    EXPECT_EQ(lines.at(lines.size() - 2), QStringLiteral("      *** 4 differences"));
}

TEST(ComparisonReport, SaysSoWhenNothingDiffersInTheUiLanguage)
{
    const LanguageGuard german(1);
    TFixture f;
    f.comparison.differences.clear();
    f.comparison.typeMapping = false;
    TStringLineSink sink;
    WriteComparisonReport(sink, f.settings, f.comparison);
    EXPECT_TRUE(sink.lines().contains(QStringLiteral("      *** Keine Unterschiede")));
    EXPECT_FALSE(sink.text().contains(QStringLiteral("Typen:")));
    const QByteArray page = ComparisonMarkdown(f.settings, f.comparison, QString());
    EXPECT_TRUE(page.startsWith("# Strukturvergleich\n\n- Basis: Access /data/back.mdb"))
        << page.toStdString();
    EXPECT_FALSE(page.contains("\n## "));
}

// A changed type reads as each engine's users write it, in the report's language; the document
// keeps the values the structure documents spell. Where the declared types say the same (a user
// type whose base changed) the document's values show what differs.
struct TTypeText
{
    int language;
    const char* line;
    const char* sameDeclared;
};

class ComparisonTypeText : public ::testing::TestWithParam<TTypeText>
{
};

TEST_P(ComparisonTypeText, NamesTheTypesAsTheirEnginesDo)
{
    const LanguageGuard language(GetParam().language);
    TFixture f;
    const TCatalogueColumn access = JetModelColumn(1, QStringLiteral("Name"), 202, 40);
    const TCatalogueColumn sql = ModelColumn(1, QStringLiteral("Name"), QStringLiteral("nvarchar"), -1);
    TStructureDifference d =
        Difference(TChangeKind::Changed, TDifferenceItem::Column, "Name", "type", "VarWChar", "nvarchar");
    d.baselineColumn = &access;
    d.currentColumn = &sql;
    TCatalogueColumn code = ModelColumn(2, QStringLiteral("Code"), QStringLiteral("Code"), 6);
    code.baseType = QStringLiteral("varchar");
    TCatalogueColumn wideCode = code;
    wideCode.baseType = QStringLiteral("nvarchar");
    TStructureDifference base = Difference(TChangeKind::Changed, TDifferenceItem::Column, "Code", "type",
                                           "Code (varchar)", "Code (nvarchar)");
    base.baselineColumn = &code;
    base.currentColumn = &wideCode;
    f.settings.baseline = TComparisonSide{&f.access, QString()};
    TComparisonSettings sqlBoth = f.settings;
    sqlBoth.baseline = TComparisonSide{&f.sql, QString()};
    f.comparison.differences = {d};

    TStringLineSink sink;
    WriteComparisonReport(sink, f.settings, f.comparison);
    EXPECT_TRUE(sink.lines().contains(QString::fromUtf8(GetParam().line)))
        << sink.lines().join(u'\n').toStdString();
    const QByteArray json = ComparisonJson(f.settings, f.comparison, QString());
    EXPECT_TRUE(json.contains("\"baseline\": \"VarWChar\",\n      \"current\": \"nvarchar\""))
        << json.toStdString();
    EXPECT_TRUE(QString::fromUtf8(ComparisonMarkdown(f.settings, f.comparison, QString()))
                    .contains(QStringLiteral("- ") + QString::fromUtf8(GetParam().line).trimmed()));

    f.comparison.differences = {base};
    TStringLineSink same;
    WriteComparisonReport(same, sqlBoth, f.comparison);
    EXPECT_TRUE(same.lines().contains(QString::fromUtf8(GetParam().sameDeclared)))
        << same.lines().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ComparisonTypeText,
    ::testing::Values(TTypeText{2, "          changed column Name: type Short Text (40) -> nvarchar(max)",
                                "          changed column Code: type Code (varchar) -> Code (nvarchar)"},
                      TTypeText{1, "          geändert Spalte Name: Typ Kurzer Text (40) -> nvarchar(max)",
                                "          geändert Spalte Code: Typ Code (varchar) -> Code (nvarchar)"}));

// The published schema holds the writer's documents and refuses what the format rules out.
TEST(ComparisonSchema, WrittenDocumentsValidateAndBrokenOnesDoNot)
{
    TFixture f;
    const QByteArray written = ComparisonJson(f.settings, f.comparison, QStringLiteral("Orvane 1.2"));
    EXPECT_EQ(ComparisonSchemaVerdict(written), QLatin1String("valid"));
    f.comparison.differences.clear();
    EXPECT_EQ(ComparisonSchemaVerdict(ComparisonJson(f.settings, f.comparison, QString())),
              QLatin1String("valid"));
    for (const auto& [from, to] : std::initializer_list<std::pair<const char*, const char*>>{
             {R"("change": "removed",)", R"("change": "removed", "property": "type",)"},
             {R"("typeMapping": "access-sqlserver")", R"("typeMapping": "yes")"},
             {R"("item": "table",)", R"("item": "table", "name": "x",)"},
             {R"("version": 1)", R"("version": 2)"},
             {R"("provider": "Access")", R"("provider": "Access", "server": "x")"}}) {
        QByteArray broken = written;
        broken.replace(from, to);
        ASSERT_NE(broken, written) << from;
        EXPECT_NE(ComparisonSchemaVerdict(broken), QLatin1String("valid")) << to;
    }
}

} // namespace
