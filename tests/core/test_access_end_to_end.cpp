// orvane-report from the file to each writer: mkjet's sample in Jet 4, read by libmdb in the
// Access reader, with its saved queries, validation rules and field properties. What a user
// documenting an Access application sees of them in every format, and a comparison that notices a
// changed query.
#include "CatalogueSamples.h"
#include "CommandRuns.h"
#include "DocumentCheckers.h"
#include "JetWriter.h"
#include "Providers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const char* const kAppendSql = "INSERT INTO Countries ( CountryName )\n"
                               "SELECT DISTINCT Customers.Country\n"
                               "FROM Customers LEFT JOIN Countries ON Customers.Country = "
                               "Countries.CountryName\n"
                               "WHERE (((Countries.CountryName) Is Null));";

class AccessEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        s_file = s_dir->filePath(QStringLiteral("sample.mdb"));
        jet::writeFile(s_file, jet::sampleDatabase(jet::Format::Jet4));
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static CommandRun report(QStringList arguments)
    {
        arguments << QStringLiteral("--language") << QStringLiteral("en") << s_file;
        CommandRun run = RunCommandInProcess(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return run;
    }

    static std::unique_ptr<QTemporaryDir> s_dir;
    static QString s_file;
};

std::unique_ptr<QTemporaryDir> AccessEndToEnd::s_dir;
QString AccessEndToEnd::s_file;

TEST_F(AccessEndToEnd, JsonHoldsTheQueriesSqlAndTheDesignViewsProperties)
{
    const CommandRun run = report({QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(StructureSchemaVerdict(run.out), QLatin1String("valid"));
    const QJsonDocument document = QJsonDocument::fromJson(run.out);
    const QJsonObject append = DocumentObjectNamed(run.out, QStringLiteral("Add Customer Countries"));
    EXPECT_EQ(append.value(QLatin1String("kind")).toString(), QLatin1String("query"));
    EXPECT_EQ(append.value(QLatin1String("queryType")).toString(), QLatin1String("append"));
    EXPECT_EQ(append.value(QLatin1String("definition")).toString(), QString::fromUtf8(kAppendSql));
    // Access's own queries for forms come only with the system tables.
    for (const QJsonValue& o : document.object().value(QLatin1String("objects")).toArray())
        EXPECT_FALSE(o.toObject().value(QLatin1String("name")).toString().startsWith(u'~'));

    const QJsonObject orders = DocumentObjectNamed(run.out, QStringLiteral("Orders"));
    QStringList rules;
    for (const QJsonValue& c : orders.value(QLatin1String("checks")).toArray())
        rules << c.toObject().value(QLatin1String("definition")).toString();
    EXPECT_TRUE(rules.contains(QStringLiteral(">=0"))) << rules.join(u'|').toStdString();
    for (const QJsonValue& c : orders.value(QLatin1String("columns")).toArray()) {
        const QJsonObject column = c.toObject();
        if (column.value(QLatin1String("name")).toString() == QLatin1String("OrderDate")) {
            EXPECT_EQ(column.value(QLatin1String("format")).toString(), QLatin1String("Short Date"));
            EXPECT_EQ(column.value(QLatin1String("caption")).toString(), QLatin1String("Order Date"));
        }
    }
}

TEST_F(AccessEndToEnd, MarkdownFencesTheSqlAndItsDiagramParses)
{
    const CommandRun run = report({QStringLiteral("--format"), QStringLiteral("markdown")});
    const QString page = QString::fromUtf8(run.out);
    EXPECT_TRUE(
        page.contains(QStringLiteral("```sql\n") + QString::fromUtf8(kAppendSql) + QStringLiteral("\n```")))
        << run.out.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Freight cannot be negative.")));
    // The diagram draws the tables; a query relates nothing.
    const qsizetype diagram = page.indexOf(QStringLiteral("```mermaid"));
    ASSERT_GE(diagram, 0);
    const QString mermaid = page.mid(diagram, page.indexOf(QStringLiteral("```\n"), diagram + 10) - diagram);
    EXPECT_TRUE(mermaid.contains(QStringLiteral("Orders")));
    EXPECT_FALSE(mermaid.contains(QStringLiteral("Countries\"")) ||
                 mermaid.contains(QStringLiteral("Customer_Countries")))
        << mermaid.toStdString();
    EXPECT_TRUE(MermaidVerdict(run.out).startsWith(QLatin1String("valid")))
        << MermaidVerdict(run.out).toStdString();
}

TEST_F(AccessEndToEnd, TheExtendedReportAndTheQueryListShowRulesPropertiesAndSql)
{
    const QString detail = QString::fromUtf8(
        report({QStringLiteral("--detail"), QStringLiteral("--table"), QStringLiteral("Orders")}).out);
    for (const char* text : {"Rule text", "Orders start in 2000.", "Caption", "Order Date", "Short Date",
                             "Lookup", "limit to list"})
        EXPECT_TRUE(detail.contains(QString::fromUtf8(text))) << text << "\n" << detail.toStdString();

    const QString queries = QString::fromUtf8(report({QStringLiteral("--queries")}).out);
    EXPECT_TRUE(queries.contains(QStringLiteral("*** Add Customer Countries ")));
    for (const QString& line : QString::fromUtf8(kAppendSql).split(u'\n'))
        EXPECT_TRUE(queries.contains(line + u'\n')) << line.toStdString();
}

// The plain report spares itself the saved queries; the run after it, in the same process, that
// shows them reads them again.
TEST_F(AccessEndToEnd, APlainReportLeavesTheQueriesToTheRunsThatShowThem)
{
    const QString plain = QString::fromUtf8(report({}).out);
    EXPECT_TRUE(plain.contains(QStringLiteral("*** Orders ")));
    EXPECT_FALSE(TablesOnlyOpenings());
    const QString queries = QString::fromUtf8(report({QStringLiteral("--queries")}).out);
    EXPECT_TRUE(queries.contains(QStringLiteral("*** Add Customer Countries "))) << queries.toStdString();
}

TEST_F(AccessEndToEnd, HtmlShowsTheSqlAndIsWellFormed)
{
    const CommandRun run = report({QStringLiteral("--format"), QStringLiteral("html")});
    EXPECT_TRUE(QString::fromUtf8(run.out).contains(QStringLiteral("INSERT INTO Countries ( CountryName )")));
    const QJsonObject findings = HtmlFindings(run.out);
    EXPECT_TRUE(findings.value(QLatin1String("errors")).toArray().isEmpty())
        << QJsonDocument(findings.value(QLatin1String("errors")).toArray()).toJson().toStdString();
}

// A snapshot of the file compares equal to it; the same snapshot with a query's SQL and a rule
// edited names both.
TEST_F(AccessEndToEnd, ASnapshotComparesEqualAndAnEditedOneNamesTheQueryAndTheRule)
{
    const QByteArray snapshot = report({QStringLiteral("--format"), QStringLiteral("json")}).out;
    const QString baseline = s_dir->filePath(QStringLiteral("before.json"));
    QFile file(baseline);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(snapshot);
    file.close();
    EXPECT_EQ(RunCommandInProcess({QStringLiteral("--compare"), baseline, s_file}).exitCode, 0);

    QJsonObject root = QJsonDocument::fromJson(snapshot).object();
    QJsonArray objects = root.value(QLatin1String("objects")).toArray();
    for (qsizetype i = 0; i < objects.size(); ++i) {
        QJsonObject o = objects.at(i).toObject();
        const QString name = o.value(QLatin1String("name")).toString();
        if (name == QLatin1String("Add Customer Countries"))
            o.insert(QLatin1String("definition"),
                     QStringLiteral("INSERT INTO Countries ( CountryName )\n"
                                    "SELECT Customers.Country\nFROM Customers;"));
        if (name == QLatin1String("Orders"))
            o.remove(QLatin1String("checks"));
        objects.replace(i, o);
    }
    root.insert(QLatin1String("objects"), objects);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(root).toJson());
    file.close();
    const CommandRun changed = RunCommandInProcess(
        {QStringLiteral("--compare"), baseline, QStringLiteral("--format"), QStringLiteral("json"), s_file});
    EXPECT_EQ(changed.exitCode, 3) << changed.err.toStdString();
    QStringList differences;
    for (const QJsonValue& d :
         QJsonDocument::fromJson(changed.out).object().value(QLatin1String("differences")).toArray()) {
        const QJsonObject o = d.toObject();
        differences << QStringList{o.value(QLatin1String("change")).toString(),
                                   o.value(QLatin1String("object")).toString(),
                                   o.value(QLatin1String("item")).toString(),
                                   o.value(QLatin1String("property")).toString()}
                           .join(u' ');
    }
    EXPECT_TRUE(differences.contains(QStringLiteral("changed Add Customer Countries table definition")))
        << differences.join(u'\n').toStdString();
    EXPECT_TRUE(differences.contains(QStringLiteral("added Orders check ")))
        << differences.join(u'\n').toStdString();
}

} // namespace
