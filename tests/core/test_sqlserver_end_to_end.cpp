// orvane-report from the server to each writer: the test server's sample through the FreeTDS ODBC
// driver, with its views, routines, triggers, checks, sequences and synonyms. Each writer shows a
// module's text as the server stores it (the fixture's own text is the expectation), and a
// snapshot compares equal to the database it was taken of.
#include "CatalogFixture.h"
#include "CatalogueSamples.h"
#include "CommandRuns.h"
#include "DocumentCheckers.h"
#include "TdsServerSuite.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

QString described(const char* name)
{
    static tdsfixture::Database sample = tdsfixture::sampleDatabase();
    return QString::fromStdString(sample.object(name).definition);
}

QString withUnixLineEnds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

class SqlServerEndToEnd : public TdsServerSuite
{
protected:
    static void SetUpTestSuite() { StartServer(); }

    static QStringList server()
    {
        return {QStringLiteral("--server"),   address(),
                QStringLiteral("--database"), QStringLiteral("sample"),
                QStringLiteral("--user"),     QStringLiteral("sa"),
                QStringLiteral("--language"), QStringLiteral("en")};
    }

    static CommandRun report(const QStringList& arguments)
    {
        CommandRun run = RunCommandInProcess(arguments + server());
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return run;
    }
};

TEST_F(SqlServerEndToEnd, JsonHoldsEveryModuleAsStored)
{
    const CommandRun run = report({QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(StructureSchemaVerdict(run.out), QLatin1String("valid"));

    const QJsonObject view = DocumentObjectNamed(run.out, QStringLiteral("titleview"));
    EXPECT_EQ(view.value(QLatin1String("definition")).toString(), described("titleview"));
    const QJsonObject trigger = view.value(QLatin1String("triggers")).toArray().at(0).toObject();
    EXPECT_EQ(trigger.value(QLatin1String("timing")).toString(), QLatin1String("insteadOf"));
    // Beyond what an nvarchar(4000) holds, umlauts and CJK text intact.
    const QJsonObject procedure = DocumentObjectNamed(run.out, QStringLiteral("Umsatzbericht"));
    EXPECT_EQ(procedure.value(QLatin1String("kind")).toString(), QLatin1String("procedure"));
    EXPECT_EQ(procedure.value(QLatin1String("definition")).toString(), described("sales.Umsatzbericht"));
    EXPECT_EQ(procedure.value(QLatin1String("parameters")).toArray().size(), 3);
    EXPECT_TRUE(DocumentObjectNamed(run.out, QStringLiteral("Größe Ansicht"))
                    .value(QLatin1String("encrypted"))
                    .toBool());

    QStringList checks;
    for (const QJsonValue& c :
         DocumentObjectNamed(run.out, QStringLiteral("titles")).value(QLatin1String("checks")).toArray())
        checks << c.toObject().value(QLatin1String("name")).toString() + u' ' +
                      c.toObject().value(QLatin1String("definition")).toString();
    EXPECT_TRUE(checks.contains(QStringLiteral("CK_titles_price ([price]>=(0))")))
        << checks.join(u'|').toStdString();
    EXPECT_EQ(
        DocumentObjectNamed(run.out, QStringLiteral("Archiv")).value(QLatin1String("target")).toString(),
        QLatin1String("[Archiv].[dbo].[titles]"));
}

TEST_F(SqlServerEndToEnd, MarkdownAndHtmlShowTheModulesWhole)
{
    const CommandRun markdown = report({QStringLiteral("--format"), QStringLiteral("markdown")});
    const QString page = QString::fromUtf8(markdown.out);
    EXPECT_TRUE(page.contains(QStringLiteral("```sql\n") + withUnixLineEnds(described("titleview")) +
                              QStringLiteral("\n```")));
    EXPECT_TRUE(page.contains(withUnixLineEnds(described("sales.Umsatzbericht"))));
    EXPECT_TRUE(MermaidVerdict(markdown.out).startsWith(QLatin1String("valid")))
        << MermaidVerdict(markdown.out).toStdString();

    const CommandRun html = report({QStringLiteral("--format"), QStringLiteral("html")});
    const QString text = QString::fromUtf8(html.out);
    for (const char* shown :
         {"CREATE VIEW titleview\nAS\nSELECT title, price, ytd_sales\nFROM titles",
          "CREATE TRIGGER tr_titleview_insert ON titleview", "([price]&gt;=(0))", "[Archiv].[dbo].[titles]"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(shown))) << shown;
    const QJsonObject findings = HtmlFindings(html.out);
    EXPECT_TRUE(findings.value(QLatin1String("errors")).toArray().isEmpty())
        << QJsonDocument(findings.value(QLatin1String("errors")).toArray()).toJson().toStdString();
}

TEST_F(SqlServerEndToEnd, TheExtendedReportShowsChecksTriggersAndIndexes)
{
    const QString text = QString::fromUtf8(
        report({QStringLiteral("--detail"), QStringLiteral("--table"), QStringLiteral("titles")}).out);
    for (const char* shown :
         {"CK_titles_price (price): ([price]>=(0))", "tr_titles_Änderung AFTER INSERT, UPDATE",
          "SET NOCOUNT ON;", "titleind (pubdate descending, title_id), include (price)"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(shown))) << shown << "\n" << text.toStdString();
}

TEST_F(SqlServerEndToEnd, ASnapshotComparesEqualToItsDatabase)
{
    const QString baseline = s_dir->filePath(QStringLiteral("snapshot.json"));
    report({QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"), baseline});
    ASSERT_TRUE(QFile::exists(baseline));
    const CommandRun same =
        RunCommandInProcess(QStringList{QStringLiteral("--compare"), baseline} + server());
    EXPECT_EQ(same.exitCode, 0) << same.out.toStdString() << same.err.toStdString();
}

} // namespace
