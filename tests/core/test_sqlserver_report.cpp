// orvane-report against a SQL Server: the project's TDS test server, reached through the real
// FreeTDS ODBC driver. What a script relies on: the report's text, the server's own message for a
// refused login, a quick failure for a server that is down or silent, and a number of round trips
// that does not grow with the catalogue.
#include "CatalogFixture.h"
#include "CatalogueSamples.h"
#include "CommandRuns.h"
#include "KorvDMOConnection.h"
#include "TdsServerSuite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The title lines of the report's blocks: "      *** NAME ****...".
int blocks(const QByteArray& report)
{
    static const QRegularExpression title(QStringLiteral("^ {6}\\*{3} .* \\*+$"),
                                          QRegularExpression::MultilineOption);
    int n = 0;
    for (auto it = title.globalMatch(QString::fromUtf8(report)); it.hasNext(); it.next())
        ++n;
    return n;
}

QString lines(std::initializer_list<const char*> list)
{
    QString text;
    for (const char* line : list)
        text += QString::fromUtf8(line) + QLatin1Char('\n');
    return text;
}

class SqlServerReport : public TdsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        // big with views, procedures and triggers too, which cost no round trip of their own.
        StartServer({}, [](const std::string& dir) { tdsfixture::writeStandardFixtures(dir, {50, 50, 50}); });
    }

    static QString server() { return address(); }

    // The report of one database, as user sa without a password.
    static CommandRun report(const QString& database, QStringList extra = {})
    {
        extra << QStringLiteral("--server") << server() << QStringLiteral("--database") << database
              << QStringLiteral("--user") << QStringLiteral("sa") << QStringLiteral("--language")
              << QStringLiteral("en");
        return RunCommandInProcess(extra);
    }
};

TEST_F(SqlServerReport, TablesWithTheirTypesLengthsAndNullMarks)
{
    const CommandRun run = report(QStringLiteral("sample"));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = QString::fromUtf8(run.out);
    EXPECT_TRUE(
        text.contains(QStringLiteral("      *** Provider:  SQLServer\n      *** Server:    127.0.0.1,")));
    EXPECT_TRUE(text.contains(QStringLiteral("      *** Database:  sample\n")));
    // A user type keeps its own name; characters, not bytes; "+" marks a column that takes no NULL.
    EXPECT_TRUE(text.contains(lines({
        "      *** titles ***********************************************************",
        "            1 title_id                       tid                      6  +",
        "            2 title                          varchar                 80  +",
        "            3 type                           char                    12  +",
        "            4 pub_id                         char                     4   ",
        "            5 price                          money                    8   ",
        "            6 advance                        money                    8   ",
        "            7 royalty                        int                      4   ",
        "            8 ytd_sales                      int                      4   ",
        "            9 notes                          nvarchar               200   ",
        "           10 pubdate                        datetime                 8  +",
    }))) << text.toStdString();
    // Max types are -1; awkward names come through whole.
    EXPECT_TRUE(text.contains(
        QStringLiteral("            7 it's                           nvarchar                -1   \n")));
    EXPECT_TRUE(text.contains(QStringLiteral("      *** Maße]'; Übersicht ****")));
    // The system tables are greyed, so a report of every entry leaves them out.
    EXPECT_FALSE(text.contains(QStringLiteral("*** sysobjects")));
    EXPECT_EQ(blocks(run.out), 4);
}

// Two tables named "titles", in dbo and in sales: two entries, each with its own columns, and each
// found by the name the list shows.
TEST_F(SqlServerReport, SameNamedTablesOfTwoSchemasEachReportTheirOwnColumns)
{
    const CommandRun run =
        report(QStringLiteral("sample"), {QStringLiteral("--table"), QStringLiteral("sales.titles"),
                                          QStringLiteral("--table"), QStringLiteral("titles")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = QString::fromUtf8(run.out);
    EXPECT_TRUE(text.contains(lines({
        "      *** sales.titles *****************************************************",
        "            1 SaleID                         int                      4  +",
        "            2 title_id                       tid                      6  +",
    }))) << text.toStdString();
    EXPECT_TRUE(text.contains(lines({
        "      *** titles ***********************************************************",
        "            1 title_id                       tid                      6  +",
    })));
    EXPECT_EQ(blocks(run.out), 2);
    EXPECT_EQ(text.count(QStringLiteral("SaleID")), 1);
}

TEST_F(SqlServerReport, SystemTablesOnRequestAndViewsWithBlankMarks)
{
    const CommandRun all = report(QStringLiteral("sample"), {QStringLiteral("--system-tables")});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(all.out).count(QStringLiteral("\n      *** sys")), 19);

    const CommandRun views = report(QStringLiteral("sample"), {QStringLiteral("--views")});
    ASSERT_EQ(views.exitCode, 0) << views.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(views.out).contains(lines({
        "      *** titleview ********************************************************",
        "            1 title                          varchar                 80   ",
        "            2 price                          money                    8   ",
        "            3 ytd_sales                      int                      4   ",
    }))) << views.out.toStdString();
    EXPECT_FALSE(views.out.contains("*** titles "));
}

TEST_F(SqlServerReport, ADatabaseNameThatNeedsQuotingEverywhere)
{
    const CommandRun run = report(QStringLiteral("we]ird';db"));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("      *** Database:  we]ird';db\n"));
    EXPECT_EQ(report(QStringLiteral("no such db")).exitCode, 1);
}

// However many tables, views, routines and triggers: the same statements, so the same number of
// round trips; and the report shows tables only, as it always did.
TEST_F(SqlServerReport, RoundTripsDoNotGrowWithTheCatalogue)
{
    const auto cost = [](const QString& database, int& tables) {
        const TdsServerProcess::Counts before = s_server->counts();
        const CommandRun run = report(database);
        const TdsServerProcess::Counts after = s_server->counts();
        tables = blocks(run.out);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return (after.batches - before.batches) + (after.rpc - before.rpc);
    };
    int bigTables = 0, sampleTables = 0;
    const long big = cost(QStringLiteral("big"), bigTables);
    const long sample = cost(QStringLiteral("sample"), sampleTables);
    EXPECT_EQ(bigTables, 1000);
    EXPECT_EQ(sampleTables, 4);
    EXPECT_EQ(big, sample);
    // Fewer than the ten that reading tables and columns in separate statements took.
    EXPECT_LT(big, 10);
}

// The structure document: what the schema allows, the same-named tables of two schemas as two
// objects with their own columns, and no round trip more than the plain report.
TEST_F(SqlServerReport, StructureDocumentKeepsSchemasApartAtTheReportsCost)
{
    const auto cost = [](const QStringList& extra, CommandRun& run) {
        const TdsServerProcess::Counts before = s_server->counts();
        run = report(QStringLiteral("sample"), extra);
        const TdsServerProcess::Counts after = s_server->counts();
        return (after.batches - before.batches) + (after.rpc - before.rpc);
    };
    CommandRun plain, json;
    const long plainCost = cost({}, plain);
    const long jsonCost = cost({QStringLiteral("--format"), QStringLiteral("json")}, json);
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    EXPECT_EQ(jsonCost, plainCost);
    EXPECT_EQ(StructureSchemaVerdict(json.out), QLatin1String("valid"));
    QMap<QString, QJsonObject> titles;
    for (const QJsonValue& value :
         QJsonDocument::fromJson(json.out).object().value(QLatin1String("objects")).toArray()) {
        const QJsonObject object = value.toObject();
        if (object.value(QLatin1String("name")).toString() == QLatin1String("titles"))
            titles.insert(object.value(QLatin1String("schema")).toString(), object);
    }
    ASSERT_EQ(titles.keys(), QStringList({QStringLiteral("dbo"), QStringLiteral("sales")}));
    const auto firstColumn = [](const QJsonObject& o) {
        return o.value(QLatin1String("columns"))
            .toArray()
            .first()
            .toObject()
            .value(QLatin1String("name"))
            .toString();
    };
    EXPECT_NE(firstColumn(titles.value(QStringLiteral("dbo"))),
              firstColumn(titles.value(QStringLiteral("sales"))));
    EXPECT_FALSE(
        titles.value(QStringLiteral("sales")).value(QLatin1String("foreignKeys")).toArray().isEmpty());
}

class SqlServerLogin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (TdsServerProcess::odbcDriverPath().empty())
            GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
        ASSERT_TRUE(m_dir.isValid());
        tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), m_dir.path().toStdString());
    }
    void TearDown() override { SetDMOLoginTimeout(30); }

    std::unique_ptr<TdsServerProcess> start(double delayLogin = 0)
    {
        TdsServerProcess::Options options;
        options.catalogDir = m_dir.path().toStdString();
        options.logins = {"tester:Secr3t"};
        options.delayLoginSeconds = delayLogin;
        return std::make_unique<TdsServerProcess>(options);
    }

    QTemporaryDir m_dir;
};

TEST_F(SqlServerLogin, ARefusedLoginPrintsTheServersMessage)
{
    const auto server = start();
    const CommandRun run =
        RunCommandInProcess({QStringLiteral("--server"), QStringLiteral("127.0.0.1,%1").arg(server->port()),
                             QStringLiteral("--database"), QStringLiteral("we]ird';db"),
                             QStringLiteral("--user"), QStringLiteral("tester")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("Login failed for user 'tester'.")) << run.err.toStdString();
}

TEST_F(SqlServerLogin, AServerThatIsDownOrSilentFailsWithinTheLoginTimeout)
{
    // Nothing listens on a port just given back.
    int freePort = 0;
    {
        const auto gone = start();
        freePort = gone->port();
    }
    const CommandRun down =
        RunCommandInProcess({QStringLiteral("--server"), QStringLiteral("127.0.0.1,%1").arg(freePort),
                             QStringLiteral("--database"), QStringLiteral("x"), QStringLiteral("--user"),
                             QStringLiteral("tester")});
    EXPECT_EQ(down.exitCode, 1);
    // Where it looked, then the driver's own words.
    EXPECT_TRUE(down.err.contains(
        QStringLiteral("(host 127.0.0.1, port %1): Unable to connect").arg(freePort).toUtf8()))
        << down.err.toStdString();

    const auto silent = start(30);
    const CommandRun run = RunCommandInProcess(
        {QStringLiteral("--server"), QStringLiteral("127.0.0.1,%1").arg(silent->port()),
         QStringLiteral("--database"), QStringLiteral("we]ird';db"), QStringLiteral("--user"),
         QStringLiteral("tester"), QStringLiteral("--login-timeout"), QStringLiteral("1")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.err.isEmpty());
}

// A catalogue read that fails (the server's error on one statement of the batch, or a connection
// lost under it) ends the run: the server's message on standard error, status 1, no report, and
// no log-in again once the read has begun.
struct CatalogueFault
{
    const char* name;
    long failStatement;
    int failNumber;
    long dropAfterBatches;
    const char* message; // on standard error
    long logins;
};

class SqlServerCatalogueFault : public ::testing::TestWithParam<CatalogueFault>
{
protected:
    void SetUp() override
    {
        if (TdsServerProcess::odbcDriverPath().empty())
            GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
        ASSERT_TRUE(m_dir.isValid());
        tdsfixture::writeStandardFixtures(m_dir.path().toStdString());
    }
    QTemporaryDir m_dir;
};

TEST_P(SqlServerCatalogueFault, EndsTheRunWithTheServersMessageAfterOneLogin)
{
    const CatalogueFault& fault = GetParam();
    TdsServerProcess::Options options;
    options.catalogDir = m_dir.path().toStdString();
    options.failStatement = fault.failStatement;
    options.failNumber = fault.failNumber;
    options.dropAfterBatches = fault.dropAfterBatches;
    TdsServerProcess server(options);
    const CommandRun run =
        RunCommandInProcess({QStringLiteral("--server"), QStringLiteral("127.0.0.1,%1").arg(server.port()),
                             QStringLiteral("--database"), QStringLiteral("sample"), QStringLiteral("--user"),
                             QStringLiteral("sa"), QStringLiteral("--language"), QStringLiteral("en")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(fault.message)) << run.err.toStdString();
    EXPECT_EQ(server.counts().logins, fault.logins);
}

// Statements the server counts: the batch's nine, in their order (a report of one database reads
// no list of the others), then the two that ride along with it.
INSTANTIATE_TEST_SUITE_P(
    Faults, SqlServerCatalogueFault,
    ::testing::Values(CatalogueFault{"DeadlockVictimOnTheColumns", 2, 1205, 0,
                                     "1205: Transaction (Process ID 53) was deadlocked", 1},
                      CatalogueFault{"LockTimeoutOnTheObjects", 1, 1222, 0,
                                     "1222: Lock request time out period exceeded.", 1},
                      CatalogueFault{"FailoverOnTheLastStatement", 9, 40613, 0,
                                     "40613: Database 'sample' on server", 1},
                      // Batches: the driver's type probe, the catalogue batch (no USE: the login named the
                      // database).
                      CatalogueFault{"ConnectionLostUnderTheCatalogueBatch", 0, 0, 1,
                                     "The connection to the SQL Server", 1}),
    [](const ::testing::TestParamInfo<CatalogueFault>& p) { return std::string(p.param.name); });

// Under DENY VIEW ANY DATABASE the list of databases shows the login only master, tempdb and its
// own, yet it may use others: the report tries the name, and the server's refusal is what it says.
TEST(SqlServerVisibility, ADatabaseTheListDoesNotShowIsTriedAndTheServersAnswerShown)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    QTemporaryDir dir;
    tdsfixture::writeStandardFixtures(dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.denyViewAnyDatabase = true;
    TdsServerProcess server(options);
    const auto run = [&](const char* database, QStringList extra = {}) {
        extra << QStringLiteral("--server") << QStringLiteral("127.0.0.1,%1").arg(server.port())
              << QStringLiteral("--database") << QString::fromUtf8(database) << QStringLiteral("--user")
              << QStringLiteral("sa") << QStringLiteral("--language") << QStringLiteral("en");
        return RunCommandInProcess(extra);
    };
    const CommandRun sample = run("sample");
    EXPECT_EQ(sample.exitCode, 0) << sample.err.toStdString();
    EXPECT_EQ(blocks(sample.out), 4);
    EXPECT_TRUE(
        sample.out.contains("            1 title_id                       tid                      6  +\n"));

    const CommandRun missing = run("no such db");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_TRUE(missing.err.contains("Cannot open database \"no such db\" requested by the login."))
        << missing.err.toStdString();
}

// Azure SQL Database: the database goes into the log-in, so the report needs no USE, which that
// server refuses between databases; a log-in that names none is refused with the server's words.
TEST(SqlServerAzure, TheReportLogsInToTheDatabase)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    QTemporaryDir dir;
    tdsfixture::writeStandardFixtures(dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.azure = true;
    TdsServerProcess server(options);
    const CommandRun run =
        RunCommandInProcess({QStringLiteral("--server"), QStringLiteral("127.0.0.1,%1").arg(server.port()),
                             QStringLiteral("--database"), QStringLiteral("sample"), QStringLiteral("--user"),
                             QStringLiteral("sa"), QStringLiteral("--language"), QStringLiteral("en"),
                             QStringLiteral("--system-tables")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(run.out).count(QStringLiteral("\n      *** sys")), 19);
    EXPECT_TRUE(run.out.contains("      *** titles ****"));
}

// Encryption as a user meets it: the server offers it (login-only TLS unless more is asked),
// requires it (everything over TLS), or cannot do it; the user may require it and may require a
// certificate that is trusted, from the system store or a CA file.
struct EncryptionCase
{
    const char* name;
    const char* serverMode;
    std::vector<const char*> options; // "CA" stands for the server's certificate file
    int exitCode;
};

class SqlServerEncryption : public ::testing::TestWithParam<EncryptionCase>
{
};

TEST_P(SqlServerEncryption, ReportsOrRefuses)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    const EncryptionCase& c = GetParam();
    QTemporaryDir dir;
    tdsfixture::writeStandardFixtures(dir.path().toStdString());
    const QString ca = dir.filePath(QStringLiteral("server.pem"));
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.encryption = c.serverMode;
    options.certificateOut = ca.toStdString();
    TdsServerProcess server(options);
    QStringList args{QStringLiteral("--server"),   QStringLiteral("127.0.0.1,%1").arg(server.port()),
                     QStringLiteral("--database"), QStringLiteral("sample"),
                     QStringLiteral("--user"),     QStringLiteral("sa"),
                     QStringLiteral("--language"), QStringLiteral("en")};
    for (const char* o : c.options)
        args << (QLatin1String(o) == QLatin1String("CA") ? ca : QString::fromUtf8(o));
    const CommandRun run = RunCommandInProcess(args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    if (c.exitCode == 0) {
        EXPECT_EQ(blocks(run.out), 4) << run.err.toStdString();
    } else {
        // Nothing that failed may look like a report.
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains("Cannot connect to the SQL Server")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("The connection was to be encrypted")) << run.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SqlServerEncryption,
    ::testing::Values(
        EncryptionCase{"OfferedGivesLoginOnlyEncryptionByDefault", "offered", {}, 0},
        EncryptionCase{"RequiredByTheServerGivesFullEncryption", "required", {}, 0},
        EncryptionCase{"OldServerWithoutEncryptionStillWorksByDefault", "not-supported", {}, 0},
        EncryptionCase{"EncryptAgainstAServerThatCannotIsRefused",
                       "not-supported",
                       {"--encrypt", "--trust-server-certificate"},
                       1},
        EncryptionCase{
            "EncryptWithAnyCertificate", "offered", {"--encrypt", "--trust-server-certificate"}, 0},
        EncryptionCase{"SelfSignedCertificateNotInTheSystemStoreIsRefused", "offered", {"--encrypt"}, 1},
        EncryptionCase{
            "SelfSignedCertificateTrustedThroughItsCaFile", "required", {"--encrypt", "--ca-file", "CA"}, 0},
        EncryptionCase{
            "CertificateCheckedOnLoginOnlyEncryption", "offered", {"--no-trust-server-certificate"}, 1}),
    [](const ::testing::TestParamInfo<EncryptionCase>& p) { return std::string(p.param.name); });

} // namespace
