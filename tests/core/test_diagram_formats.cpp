// The diagram formats end to end: orvane-report on an Access file with relationships, read back
// by independent parsers (Qt's XML reader for the SVG, html5lib for the HTML page, Mermaid's own
// parser for the Markdown page's diagram), and the formats table's usage rules.
#include "CommandRuns.h"
#include "DocumentCheckers.h"
#include "JetWriter.h"
#include "MarkdownDiagram.h"
#include "ReportFormats.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

const QStringList kRichTables{"Countries", "Customers", "Employees", "Order Details",
                              "Orders",    "Products",  "Returns"};
const QStringList kRichKeys{"CountriesCustomers",    "CustomersOrders",     "EmployeesOrders",
                            "EmployeesEmployees",    "CountriesOrders",     "OrdersOrder Details",
                            "ProductsOrder Details", "Order DetailsReturns"};

class DiagramFormatsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new QTemporaryDir;
        s_rich = s_folder->filePath(QStringLiteral("rich.mdb"));
        jet::writeFile(s_rich, jet::richDatabase());
    }
    static void TearDownTestSuite()
    {
        delete s_folder;
        s_folder = nullptr;
    }

    static ProgramRun Report(const QStringList& arguments)
    {
        return RunProgram(QStringList{QStringLiteral("--language"), QStringLiteral("en")} + arguments +
                          QStringList{s_rich});
    }

    static QTemporaryDir* s_folder;
    static QString s_rich;
};

QTemporaryDir* DiagramFormatsTest::s_folder = nullptr;
QString DiagramFormatsTest::s_rich;

} // namespace

TEST_F(DiagramFormatsTest, SvgHoldsEveryTableAndForeignKey)
{
    const ProgramRun run = Report({QStringLiteral("--format"), QStringLiteral("svg")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(run.out.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ")));
    QXmlStreamReader xml(run.out);
    QStringList tables;
    QStringList keys;
    QString group;
    bool textHasName = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("svg")) {
            EXPECT_EQ(xml.namespaceUri(), QLatin1String("http://www.w3.org/2000/svg"));
        }
        if (xml.name() == QLatin1String("g"))
            group = xml.attributes().value(QStringLiteral("class")).toString();
        if (xml.name() == QLatin1String("title") && group == QLatin1String("table"))
            tables.append(xml.readElementText());
        else if (xml.name() == QLatin1String("title") && group == QLatin1String("relationship"))
            keys.append(xml.readElementText().section(QLatin1Char(':'), 0, 0));
        else if (xml.name() == QLatin1String("text") &&
                 xml.readElementText(QXmlStreamReader::IncludeChildElements) ==
                     QLatin1String("Order Details"))
            textHasName = true;
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(QSet<QString>(tables.begin(), tables.end()),
              QSet<QString>(kRichTables.begin(), kRichTables.end()));
    EXPECT_EQ(tables.size(), kRichTables.size());
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()), QSet<QString>(kRichKeys.begin(), kRichKeys.end()));
    EXPECT_EQ(keys.size(), kRichKeys.size());
    // Names are text a reader can find, not outlines.
    EXPECT_TRUE(textHasName);
    // The same file gives the same picture.
    EXPECT_EQ(Report({QStringLiteral("--format"), QStringLiteral("svg")}).out, run.out);
}

TEST_F(DiagramFormatsTest, DotIsTheGraphvizSourceOfTheSamePicture)
{
    const ProgramRun run = Report({QStringLiteral("--format"), QStringLiteral("dot"),
                                   QStringLiteral("--diagram-columns"), QStringLiteral("all")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count(QStringLiteral("digraph relationships {")), 1);
    EXPECT_EQ(run.out.count(QStringLiteral(" -> ")), kRichKeys.size());
    // Every column with its type.
    EXPECT_TRUE(run.out.contains(QStringLiteral("CountryName&#160;")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("VarWChar")));
}

TEST_F(DiagramFormatsTest, HtmlIsOneValidPageWithNothingFetchedAndLinksBothWays)
{
    const ProgramRun run = Report({QStringLiteral("--format"), QStringLiteral("html")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject findings = HtmlFindings(run.out.toUtf8());
    EXPECT_EQ(findings.value(QStringLiteral("errors")).toArray(), QJsonArray())
        << run.out.left(2000).toStdString();
    const QJsonObject sections = findings.value(QStringLiteral("sections")).toObject();
    // The whole diagram, and one section per table headed by its name.
    ASSERT_TRUE(sections.contains(QStringLiteral("relationships")));
    QStringList headings;
    for (auto it = sections.begin(); it != sections.end(); ++it)
        if (it.key() != QLatin1String("relationships"))
            headings.append(it.value().toObject().value(QStringLiteral("heading")).toString());
    EXPECT_EQ(QSet<QString>(headings.begin(), headings.end()),
              QSet<QString>(kRichTables.begin(), kRichTables.end()));
    const auto links = [&](const char* section) {
        return sections.value(QLatin1String(section)).toObject().value(QStringLiteral("links")).toArray();
    };
    // Orders' foreign key leads to Customers, and Customers' "referenced by" back to Orders.
    EXPECT_TRUE(links("table-orders").contains(QStringLiteral("table-customers")));
    EXPECT_TRUE(links("table-customers").contains(QStringLiteral("table-orders")));
    EXPECT_TRUE(links("table-order-details").contains(QStringLiteral("table-returns")));
    // The whole diagram and each related table's neighbours (Employees refers to itself too).
    EXPECT_EQ(findings.value(QStringLiteral("svg")).toInt(), 1 + kRichTables.size());
    EXPECT_TRUE(run.out.contains(QStringLiteral("<html lang=\"en\">")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("placeholder=\"Filter tables\"")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("@media print")));
    const ProgramRun german = RunProgram({QStringLiteral("--language"), QStringLiteral("de"),
                                          QStringLiteral("--format"), QStringLiteral("html"), s_rich});
    EXPECT_TRUE(german.out.contains(QStringLiteral("placeholder=\"Tabellen filtern\"")));
}

TEST_F(DiagramFormatsTest, MarkdownHasContentsLinksAndAMermaidBlockMermaidReads)
{
    const ProgramRun run = Report({QStringLiteral("--format"), QStringLiteral("markdown")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(MermaidVerdict(run.out.toUtf8()), QStringLiteral("valid 1"));
    // Every link goes to a heading's anchor, as Git hosting sites make them.
    QStringList headings;
    static const QRegularExpression heading(QStringLiteral("^#+ (.*)$"), QRegularExpression::MultilineOption);
    for (auto it = heading.globalMatch(run.out); it.hasNext();) {
        QString text = it.next().captured(1);
        headings.append(text.remove(QLatin1Char('\\')));
    }
    QHash<QString, int> seen;
    QSet<QString> anchors;
    for (const QString& text : headings) {
        const QString base = MarkdownSlug(text);
        QString slug = base;
        for (int n = 1; seen.contains(slug); ++n)
            slug = base + QLatin1Char('-') + QString::number(n);
        seen.insert(slug, 0);
        anchors.insert(slug);
    }
    static const QRegularExpression link(QStringLiteral("\\]\\(#([^)]*)\\)"));
    int count = 0;
    for (auto it = link.globalMatch(run.out); it.hasNext(); ++count) {
        const QString target = it.next().captured(1);
        EXPECT_TRUE(anchors.contains(target)) << target.toStdString();
    }
    EXPECT_GT(count, kRichTables.size() + kRichKeys.size());
    EXPECT_TRUE(run.out.contains(QStringLiteral("- [Order Details](#order-details)\n")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("→ [Customers](#customers) (CustomerID)")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("- [Orders](#orders) (CustomerID): CustomersOrders")));
    // The contents and the diagram come before the first table.
    EXPECT_LT(run.out.indexOf(QStringLiteral("```mermaid")), run.out.indexOf(QStringLiteral("## Countries")));
}

TEST_F(DiagramFormatsTest, BeyondTheLimitEachGroupIsAPicture)
{
    const ProgramRun run =
        Report({QStringLiteral("--format"), QStringLiteral("svg"), QStringLiteral("--diagram-limit=5")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    // All seven tables are one group of more than five: a picture per table and its neighbours.
    EXPECT_EQ(run.out.count(QStringLiteral("<g class=\"picture\"")), kRichTables.size());
    EXPECT_TRUE(run.out.contains(QStringLiteral("Orders and its neighbours")));
}

TEST_F(DiagramFormatsTest, FormatsTableRulesAreUsageErrors)
{
    struct Case
    {
        QStringList arguments;
        QString message;
    };
    const QList<Case> cases{
        {{"--format", "png"}, "--format takes text, rtf, pdf, json, markdown, svg, dot or html, not 'png'"},
        {{"--format", "svg", "--compare", "old.json"}, "--format svg does not go with --compare"},
        {{"--diagram-limit", "10"},
         "--diagram-columns and --diagram-limit go with a report as markdown, svg, dot or html"},
        {{"--format", "html", "--diagram-limit", "0"}, "--diagram-limit takes a number of tables from 1 up"},
        {{"--format", "svg", "--diagram-columns", "some"}, "--diagram-columns takes keys or all, not 'some'"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = RunProgram(c.arguments + QStringList{s_rich});
        EXPECT_EQ(run.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("orvane-report: ") + c.message + QLatin1Char('\n')))
            << run.err.toStdString();
    }
    // --help lists every format of the table with what it is.
    const ProgramRun help = RunProgram({QStringLiteral("--help")});
    for (const TReportFormatInfo& format : ReportFormats()) {
        const QRegularExpression line(
            QStringLiteral("^  %1 +%2")
                .arg(QLatin1String(format.name),
                     QRegularExpression::escape(QString::fromUtf8(format.help).section('\n', 0, 0))),
            QRegularExpression::MultilineOption);
        EXPECT_TRUE(line.match(help.out).hasMatch()) << format.name;
    }
}
