// SQL Server as it is in the field, through orvane-report and the data link's database list against
// the test server's modes: one login per report, database names SQL Server allows however awkward,
// a mistyped database, a login that may not see everything, encryption refused for each of its
// reasons, a server that stops answering, the user's freetds.conf, read-only replicas and IPv6.
#include "CatalogFixture.h"
#include "CommandRuns.h"
#include "DataLinkString.h"
#include "FreeTdsConfig.h"
#include "KorvDMOConnection.h"
#include "Language.h"
#include "SqlServerSession.h"
#include "TdsServerSuite.h"
#include "UIText.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace {

const auto caseName = [](const auto& p) { return std::string(p.param.name); };

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

// Database names SQL Server takes as delimited identifiers, the ones a connection string, a
// freetds.conf or a USE statement find hardest to carry.
const char* const kAwkwardNames[] = {"a};b",          "x]};{y",   "};",         "ab}",         "{braced}",
                                     "semi;colon=eq", "#hash; x", "it's \"q\"", "Größe データ"};

class SqlServerField : public TdsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        TdsServerProcess::Options options;
        options.logins = {"tester:Secr3t", "viewer:View1", "sa:"};
        options.extraArguments = {"--restricted-login", "viewer", "--grant", "viewer:Order Details"};
        StartServer(options, [](const std::string& dir) {
            tdsfixture::writeStandardFixtures(dir);
            for (const char* name : kAwkwardNames) {
                tdsfixture::Database db(name);
                db.addTable("T1", {{"id", "int", false}});
                tdsfixture::writeDatabase(db, dir);
            }
        });
    }
    void SetUp() override
    {
        TdsServerSuite::SetUp();
        CurrentLanguage = 2;
    }

    static QString server(int port = 0) { return address(port); }

    static CommandRun report(const QString& database, QStringList extra = {}, const QString& user = "tester",
                             const QByteArray& password = "Secr3t", const QString& at = server())
    {
        extra << QStringLiteral("--server") << at << QStringLiteral("--database") << database
              << QStringLiteral("--user") << user << QStringLiteral("--password-stdin")
              << QStringLiteral("--language") << QStringLiteral("en");
        return RunCommandInProcess(extra, password + '\n');
    }
};

// The system-table query uses the report's own session: whatever the report writes, one login.
struct ReportCase
{
    const char* name;
    QStringList arguments;
};

class OneLogin : public SqlServerField, public ::testing::WithParamInterface<ReportCase>
{
};

TEST_P(OneLogin, PerReport)
{
    const long before = s_server->counts().logins;
    const CommandRun run = report(QStringLiteral("sample"), GetParam().arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(s_server->counts().logins - before, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, OneLogin,
                         ::testing::Values(ReportCase{"Text", {}}, ReportCase{"Json", {"--format", "json"}},
                                           ReportCase{"SystemTables", {"--system-tables"}},
                                           ReportCase{"Views", {"--views"}},
                                           ReportCase{"Detail", {"--detail"}}),
                         caseName);

// At the TCP level a report costs TCP, PRELOGIN, two round trips of TLS (the server's default
// encrypts the login), LOGIN7, the two statements the drivers send on connect and one batch.
struct WireCase
{
    const char* name;
    const char* encryption;
    QStringList arguments;
    long roundTrips;
};

class RoundTrips : public SqlServerField, public ::testing::WithParamInterface<WireCase>
{
};

TEST_P(RoundTrips, AreTheLoginsAndOneBatch)
{
    const WireCase& c = GetParam();
    TdsServerProcess::Options options;
    options.catalogDir = s_dir->path().toStdString();
    options.logins = {"tester:Secr3t"};
    options.encryption = c.encryption;
    TdsServerProcess tds(options);
    TdsServerProcess::Options relay;
    relay.latencyProxyFor = tds.port();
    TdsServerProcess proxy(relay);
    const long before = proxy.counts().roundTrips;
    const CommandRun run =
        report(QStringLiteral("big"), c.arguments, QStringLiteral("tester"), "Secr3t", server(proxy.port()));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(proxy.counts().roundTrips - before, c.roundTrips);
}

INSTANTIATE_TEST_SUITE_P(Encryption, RoundTrips,
                         ::testing::Values(WireCase{"LoginOnlyJson", "offered", {"--format", "json"}, 8},
                                           WireCase{"LoginOnlyText", "offered", {}, 8},
                                           WireCase{"NoneJson", "not-supported", {"--format", "json"}, 6},
                                           WireCase{"AllJson", "required", {"--format", "json"}, 8}),
                         caseName);

// A statement riding along with the catalogue that fails costs nothing but its rows: the
// system-table query then runs on its own, on the same session.
struct RideAlongCase
{
    const char* name;
    long failStatement; // the batch's seventeen, then the system-table statement, then the permission check
};

class RideAlongFault : public ::testing::TestWithParam<RideAlongCase>
{
};

TEST_P(RideAlongFault, CostsOnlyItsRows)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    QTemporaryDir dir;
    tdsfixture::writeStandardFixtures(dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.failStatement = GetParam().failStatement;
    options.failNumber = 1205;
    TdsServerProcess tds(options);
    const CommandRun run =
        RunCommandInProcess({QStringLiteral("--server"), QStringLiteral("127.0.0.1,%1").arg(tds.port()),
                             QStringLiteral("--database"), QStringLiteral("sample"), QStringLiteral("--user"),
                             QStringLiteral("sa"), QStringLiteral("--password-stdin")},
                            "\n");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(blocks(run.out), 4) << run.out.toStdString(); // the system tables greyed as ever
    EXPECT_FALSE(run.err.contains("warning"));
    EXPECT_EQ(tds.counts().logins, 1);
}

INSTANTIATE_TEST_SUITE_P(Statements, RideAlongFault,
                         ::testing::Values(RideAlongCase{"SystemTableStatement", 18},
                                           RideAlongCase{"PermissionCheck", 19}),
                         caseName);

// The name reaches the server whole in the login (which would be refused for any other name) and
// in the report.
class AwkwardDatabaseName : public SqlServerField, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(AwkwardDatabaseName, IsReportedThroughOneLogin)
{
    const QString name = QString::fromUtf8(GetParam());
    const long before = s_server->counts().logins;
    const CommandRun run = report(name);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(run.out).contains(QStringLiteral("      *** Database:  ") + name + u'\n'))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("      *** T1 *")) << run.out.toStdString();
    EXPECT_EQ(s_server->counts().logins - before, 1);
    // The folder of the DSN that carried it is gone.
    if (name.contains(QLatin1String("};"))) {
        EXPECT_FALSE(LastSqlServerSettingsFolder().isEmpty());
        EXPECT_FALSE(QDir(LastSqlServerSettingsFolder()).exists());
    }
}

INSTANTIATE_TEST_SUITE_P(Names, AwkwardDatabaseName, ::testing::ValuesIn(kAwkwardNames),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             return "Name" + std::to_string(p.index);
                         });

// A login without VIEW DEFINITION sees what it may and is told so; the others see everything.
struct ViewCase
{
    const char* name;
    const char* user;
    const char* password;
    bool warned;
    int tables;
};

class PartialView : public SqlServerField, public ::testing::WithParamInterface<ViewCase>
{
};

TEST_P(PartialView, IsWarnedOfOnStandardError)
{
    const ViewCase& c = GetParam();
    const CommandRun run = report(QStringLiteral("sample"), {}, QString::fromUtf8(c.user), c.password);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(
        run.err.contains("orvane-report: warning: the login may not see every object of database 'sample'"),
        c.warned)
        << run.err.toStdString();
    EXPECT_EQ(blocks(run.out), c.tables) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("      *** Order Details *"));
}

INSTANTIATE_TEST_SUITE_P(Logins, PartialView,
                         ::testing::Values(ViewCase{"Restricted", "viewer", "View1", true, 1},
                                           ViewCase{"Granted", "tester", "Secr3t", false, 4},
                                           ViewCase{"Sysadmin", "sa", "", false, 4}),
                         caseName);

// The data link's Refresh: a database that cannot be opened gives the list from master.
TEST_F(SqlServerField, RefreshWithAMistypedDatabaseListsTheDatabases)
{
    TDataLinkFields fields;
    fields.Server = server();
    fields.User = QStringLiteral("tester");
    fields.Password = QStringLiteral("Secr3t");
    fields.Database = QStringLiteral("smaple");
    const QStringList names = ListServerDatabases(ComposeDataLinkString(fields));
    EXPECT_TRUE(names.contains(QStringLiteral("sample"))) << names.join(u'|').toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("master")));
    EXPECT_FALSE(names.contains(QStringLiteral("smaple")));
}

// Azure SQL Database: a server login that names no database lands in master and gets the list; a
// contained user must name its database, and is told so.
struct AzureCase
{
    const char* name;
    const char* user;
    const char* password;
    const char* database;
    const char* listed; // nullptr: refused, with the advice to name a database
};

class AzureRefresh : public TdsServerSuite, public ::testing::WithParamInterface<AzureCase>
{
protected:
    static void SetUpTestSuite()
    {
        TdsServerProcess::Options options;
        options.logins = {"admin:A1", "contained:C1"};
        options.azure = true;
        options.extraArguments = {"--contained", "contained:sample"};
        StartServer(options);
    }
};

TEST_P(AzureRefresh, ListsOrSaysThatADatabaseMustBeNamed)
{
    CurrentLanguage = 2;
    const AzureCase& c = GetParam();
    TDataLinkFields fields;
    fields.Server = address();
    fields.User = QString::fromUtf8(c.user);
    fields.Password = QString::fromUtf8(c.password);
    fields.Database = QString::fromUtf8(c.database);
    try {
        const QStringList names = ListServerDatabases(ComposeDataLinkString(fields));
        ASSERT_NE(c.listed, nullptr) << "listed " << names.join(u'|').toStdString();
        EXPECT_TRUE(names.contains(QString::fromUtf8(c.listed))) << names.join(u'|').toStdString();
    } catch (const AutomationError& e) {
        ASSERT_EQ(c.listed, nullptr) << e.what();
        EXPECT_TRUE(e.description().startsWith(QLatin1String("Login failed for user 'contained'.")))
            << e.what();
        EXPECT_TRUE(e.description().contains(LoadUIText(601))) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Logins, AzureRefresh,
    ::testing::Values(AzureCase{"ServerLoginNoDatabase", "admin", "A1", "", "sample"},
                      AzureCase{"ContainedUserNoDatabase", "contained", "C1", "", nullptr},
                      AzureCase{"ContainedUserItsDatabase", "contained", "C1", "sample", "sample"}),
    caseName);

TEST(AzureHostNames, AreToldThatADatabaseMustBeNamed)
{
    CurrentLanguage = 2;
    EXPECT_TRUE(MustNameDatabaseText(QStringLiteral("srv.database.windows.net,1433"), QStringLiteral("No."))
                    .endsWith(LoadUIText(600)));
    EXPECT_TRUE(MustNameDatabaseText(QStringLiteral("db.example.org"), QStringLiteral("No."))
                    .endsWith(LoadUIText(601)));
}

// --encrypt refused: which of the three things happened, each with what to do about it. The
// folder of the checked login's FreeTDS settings is gone after the run, refused or not.
struct RefusalCase
{
    const char* name;
    const char* serverEncryption;
    const char* certificateHost;
    const char* connectAs; // host name the client connects by
    bool caFile;           // trust the server's own certificate
    const char* says;      // nullptr: the report is written
};

class EncryptionRefusal : public ::testing::TestWithParam<RefusalCase>
{
};

TEST_P(EncryptionRefusal, SaysWhyAndRemovesItsSettings)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    const RefusalCase& c = GetParam();
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), dir.path().toStdString());
    const QString certificate = dir.filePath(QStringLiteral("server.pem"));
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.encryption = c.serverEncryption;
    if (std::string(c.serverEncryption) != "not-supported")
        options.certificateOut = certificate.toStdString();
    options.extraArguments = {"--certificate-host", c.certificateHost};
    TdsServerProcess tds(options);
    QStringList arguments{QStringLiteral("--server"),
                          QStringLiteral("%1,%2").arg(QLatin1String(c.connectAs)).arg(tds.port()),
                          QStringLiteral("--database"),
                          QStringLiteral("we]ird';db"),
                          QStringLiteral("--user"),
                          QStringLiteral("sa"),
                          QStringLiteral("--password-stdin"),
                          QStringLiteral("--encrypt"),
                          QStringLiteral("--login-timeout"),
                          QStringLiteral("10")};
    if (std::string(c.serverEncryption) == "not-supported")
        arguments << QStringLiteral("--trust-server-certificate");
    if (c.caFile)
        arguments << QStringLiteral("--ca-file") << certificate;
    const CommandRun run = RunCommandInProcess(arguments, "\n");
    SetDMOLoginTimeout(30);
    SetDMOCertificateAuthority(QString());
    if (!c.says) {
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    } else {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
    }
    if (std::string(c.serverEncryption) != "not-supported") {
        EXPECT_FALSE(LastSqlServerSettingsFolder().isEmpty());
        EXPECT_FALSE(QDir(LastSqlServerSettingsFolder()).exists())
            << LastSqlServerSettingsFolder().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, EncryptionRefusal,
    ::testing::Values(
        RefusalCase{"ServerDoesNotEncrypt", "not-supported", "localhost", "127.0.0.1", false,
                    "The connection was to be encrypted, and the server does not encrypt."},
        RefusalCase{
            "CertificateNotTrusted", "offered", "localhost", "localhost", false,
            "is not from a trusted CA (the system's store). Name the CA's certificate with --ca-file, or "
            "take the certificate unchecked with --trust-server-certificate."},
        RefusalCase{"HostNameMismatch", "offered", "other.example", "localhost", true,
                    "is trusted but is not made out for the host name \"localhost\""},
        RefusalCase{"Checked", "offered", "localhost", "localhost", true, nullptr}),
    caseName);

// A server that stops answering in the middle of the catalogue read is given up after the query
// timeout, with a message that names the server and the time.
TEST(SqlServerSilence, IsGivenUpAfterTheQueryTimeout)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    // The driver's probe on connect is the first batch; the catalogue read is the second.
    options.extraArguments = {"--stall-after-batches", "1"};
    TdsServerProcess tds(options);
    const QString at = QStringLiteral("127.0.0.1,%1").arg(tds.port());
    const CommandRun run = RunCommandInProcess({QStringLiteral("--server"), at, QStringLiteral("--database"),
                                                QStringLiteral("we]ird';db"), QStringLiteral("--user"),
                                                QStringLiteral("sa"), QStringLiteral("--password-stdin"),
                                                QStringLiteral("--query-timeout"), QStringLiteral("2")},
                                               "\n");
    EXPECT_EQ(run.exitCode, 1);
    const QString err = QString::fromUtf8(run.err).trimmed();
    EXPECT_TRUE(
        err.startsWith(QStringLiteral("The SQL Server \"%1\" did not answer within 2 seconds").arg(at)))
        << err.toStdString();
}

// The user's freetds.conf: what it sets for every server and for the server's own section.
struct ConfCase
{
    const char* name;
    const char* conf;       // %1: the server's port
    const char* serverName; // %1: the server's port
    const char* encryption; // the server's mode
    const char* says;       // nullptr: the report is written
};

class UsersFreeTdsConf : public ::testing::TestWithParam<ConfCase>
{
};

TEST_P(UsersFreeTdsConf, IsRead)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    const ConfCase& c = GetParam();
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.encryption = c.encryption;
    TdsServerProcess tds(options);
    const QString confFile = dir.filePath(QStringLiteral("freetds.conf"));
    {
        QFile file(confFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QString text = QString::fromUtf8(c.conf);
        file.write((text.contains(QLatin1String("%1")) ? text.arg(tds.port()) : text).toUtf8());
    }
    const QByteArray saved = qgetenv("FREETDSCONF");
    qputenv("FREETDSCONF", QFile::encodeName(confFile));
    const CommandRun run = RunCommandInProcess({QStringLiteral("--server"),
                                                QString::fromUtf8(c.serverName).contains(QLatin1String("%1"))
                                                    ? QString::fromUtf8(c.serverName).arg(tds.port())
                                                    : QString::fromUtf8(c.serverName),
                                                QStringLiteral("--database"), QStringLiteral("we]ird';db"),
                                                QStringLiteral("--user"), QStringLiteral("sa"),
                                                QStringLiteral("--password-stdin")},
                                               "\n");
    if (saved.isNull())
        qunsetenv("FREETDSCONF");
    else
        qputenv("FREETDSCONF", saved);
    if (!c.says) {
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    } else {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, UsersFreeTdsConf,
    ::testing::Values(ConfCase{"GlobalEncryptionRequired",
                               "[global]\n\tencryption = require ; as the policy says\n", "127.0.0.1,%1",
                               "not-supported", "the server does not encrypt"},
                      ConfCase{"GlobalEncryptionOff", "[global]\n\tencryption = off\n", "127.0.0.1,%1",
                               "required", "a server that requires encryption turns such a client away"},
                      ConfCase{"AliasWithHostAndPort",
                               "# ours\n[Reporting]\n\thost = 127.0.0.1\n\tport = %1\n", "reporting",
                               "offered", nullptr},
                      ConfCase{"GlobalPort", "[global]\n\tport = %1\n\ttds version = 7.3\n", "127.0.0.1",
                               "offered", nullptr}),
    caseName);

// The file's own reading: sections found without regard to case, the section over [global],
// values cut at a comment sign, blanks made one.
TEST(FreeTdsConfText, ReadsAsFreeTdsDoes)
{
    FreeTdsSettings s;
    EXPECT_TRUE(ParseFreeTdsConf(QStringLiteral("[global]\n  port = 1500\n encryption =  Require  # policy\n"
                                                "; [reporting]\n[REPORTING]\nhost = db1.example.org\n"
                                                "port=1600\n  check  certificate   hostname = no\n"
                                                "[other]\nport = 1700\n"),
                                 QStringLiteral("reporting"), s));
    EXPECT_EQ(s.host, QStringLiteral("db1.example.org"));
    EXPECT_EQ(s.port, 1600);
    EXPECT_EQ(s.encryption, QStringLiteral("require"));
    EXPECT_EQ(s.checkHostName, std::optional<bool>(false));
    FreeTdsSettings none;
    EXPECT_FALSE(
        ParseFreeTdsConf(QStringLiteral("[global]\nport = 1500\n"), QStringLiteral("reporting"), none));
    EXPECT_EQ(none.port, 1500);
}

// An availability group's secondary that takes only read-intent connections.
struct IntentCase
{
    const char* name;
    QStringList arguments;
    int exitCode;
};

class ReadOnlyReplica : public ::testing::TestWithParam<IntentCase>
{
};

TEST_P(ReadOnlyReplica, TakesTheReportWithReadOnlyIntent)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.extraArguments = {"--read-only-replica"};
    TdsServerProcess tds(options);
    QStringList arguments = GetParam().arguments;
    arguments << QStringLiteral("--server") << QStringLiteral("127.0.0.1,%1").arg(tds.port())
              << QStringLiteral("--database") << QStringLiteral("we]ird';db") << QStringLiteral("--user")
              << QStringLiteral("sa") << QStringLiteral("--password-stdin");
    const CommandRun run = RunCommandInProcess(arguments, "\n");
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    if (run.exitCode != 0) {
        EXPECT_TRUE(run.err.contains("when the application intent is set to read only"))
            << run.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Intents, ReadOnlyReplica,
                         ::testing::Values(IntentCase{"Undeclared", {}, 1},
                                           IntentCase{"ReadWrite", {"--application-intent", "readwrite"}, 1},
                                           IntentCase{"ReadOnly", {"--application-intent", "readonly"}, 0},
                                           IntentCase{
                                               "ReadOnlyAnyCase", {"--application-intent", "ReadOnly"}, 0}),
                         caseName);

// IPv6 literals wherever a server name goes.
class Ipv6Server : public ::testing::TestWithParam<const char*>
{
};

TEST_P(Ipv6Server, IsReached)
{
    if (TdsServerProcess::odbcDriverPath().empty())
        GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    QTemporaryDir dir;
    tdsfixture::writeDatabase(tdsfixture::weirdDatabase(), dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.extraArguments = {"--ipv6"};
    std::unique_ptr<TdsServerProcess> tds;
    try {
        tds = std::make_unique<TdsServerProcess>(options);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
    }
    const CommandRun run = RunCommandInProcess(
        {QStringLiteral("--server"), QString::fromUtf8(GetParam()).arg(tds->port()),
         QStringLiteral("--database"), QStringLiteral("we]ird';db"), QStringLiteral("--user"),
         QStringLiteral("sa"), QStringLiteral("--password-stdin")},
        "\n");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(" we]ird';db\n")) << run.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Forms, Ipv6Server, ::testing::Values("[::1],%1", "::1,%1", "tcp:[::1],%1"));

} // namespace
