// Reaching a SQL Server the way users name it: a Windows login written DOMAIN\user (NTLMv2, checked
// by the test server as a domain controller checks it) and a named instance host\NAME found
// through the SQL Server Browser, each through orvane-report and the real FreeTDS driver.
#include "CatalogFixture.h"
#include "CommandRuns.h"
#include "SqlServerBrowser.h"
#include "TdsServerSuite.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr const char* kAccount = "CORP\\alice:Pä55 wörd";

CommandRun reportAs(const QString& server, const QString& user, const QString& password,
                    QStringList extra = {})
{
    extra << QStringLiteral("--server") << server << QStringLiteral("--database") << QStringLiteral("sample")
          << QStringLiteral("--user") << user << QStringLiteral("--password-stdin")
          << QStringLiteral("--language") << QStringLiteral("en");
    return RunCommandInProcess(extra, password.toUtf8() + '\n');
}

struct WindowsLoginCase
{
    const char* name;
    const char* user;
    const char* password;
    const char* refusal; // nullptr: the report is written
};

class WindowsLogin : public TdsServerSuite, public ::testing::WithParamInterface<WindowsLoginCase>
{
protected:
    static void SetUpTestSuite()
    {
        TdsServerProcess::Options options;
        options.logins = {"tester:Secr3t"};
        options.windowsLogins = {kAccount, "CORP\\bob:other"};
        StartServer(options);
    }
};

TEST_P(WindowsLogin, IsCheckedByTheServer)
{
    const WindowsLoginCase& c = GetParam();
    const CommandRun run = reportAs(address(), QString::fromUtf8(c.user), QString::fromUtf8(c.password));
    if (!c.refusal) {
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("      *** titles ****")) << run.out.toStdString();
        return;
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(c.refusal)) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsLogin,
    ::testing::Values(
        WindowsLoginCase{"RightPassword", "CORP\\alice", "Pä55 wörd", nullptr},
        // Windows compares account names without regard to case.
        WindowsLoginCase{"NamesInOtherCase", "corp\\ALICE", "Pä55 wörd", nullptr},
        WindowsLoginCase{"WrongPassword", "CORP\\alice", "pä55 wörd", "Login failed for user 'CORP\\alice'."},
        WindowsLoginCase{"AnotherAccountsPassword", "CORP\\alice", "other",
                         "Login failed for user 'CORP\\alice'."},
        WindowsLoginCase{"OtherDomain", "EAST\\alice", "Pä55 wörd", "Login failed for user 'EAST\\alice'."},
        // The SQL Server login still works beside the Windows ones.
        WindowsLoginCase{"SqlServerLogin", "tester", "Secr3t", nullptr}),
    [](const ::testing::TestParamInfo<WindowsLoginCase>& p) { return std::string(p.param.name); });

// A server that knows no Windows accounts refuses such a login as a server outside the domain does.
class WindowsLoginElsewhere : public TdsServerSuite
{
protected:
    static void SetUpTestSuite() { StartServer(); }
};

TEST_F(WindowsLoginElsewhere, AServerWithoutTheDomainRefusesWithItsMessage)
{
    const CommandRun run = reportAs(address(), QStringLiteral("CORP\\alice"), QStringLiteral("Pä55 wörd"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("The login is from an untrusted domain")) << run.err.toStdString();
}

// The Browser's port is the one seam: the test server's responder listens on a free UDP port.
class BrowserPort
{
public:
    explicit BrowserPort(int port) { qputenv("ORVANE_SQLBROWSER_PORT", QByteArray::number(port)); }
    ~BrowserPort() { qunsetenv("ORVANE_SQLBROWSER_PORT"); }
    BrowserPort(const BrowserPort&) = delete;
    BrowserPort& operator=(const BrowserPort&) = delete;
};

struct InstanceCase
{
    const char* name;
    const char* server;
    const char* error; // nullptr: the report is written
};

class NamedInstance : public TdsServerSuite, public ::testing::WithParamInterface<InstanceCase>
{
protected:
    static void SetUpTestSuite()
    {
        TdsServerProcess::Options options;
        options.logins = {"tester:Secr3t"};
        options.browserInstances = {"SQLEXPRESS", "Reports"};
        StartServer(options);
    }
};

TEST_P(NamedInstance, IsFoundThroughTheBrowserOrNamedInTheError)
{
    const InstanceCase& c = GetParam();
    const BrowserPort browser(s_server->browserPort());
    const CommandRun run =
        reportAs(QString::fromUtf8(c.server), QStringLiteral("tester"), QStringLiteral("Secr3t"),
                 {QStringLiteral("--login-timeout"), QStringLiteral("2")});
    if (!c.error) {
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("      *** titles ****"));
        return;
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(c.error)) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamedInstance,
    ::testing::Values(InstanceCase{"Known", "127.0.0.1\\SQLEXPRESS", nullptr},
                      InstanceCase{"KnownInOtherCase", "localhost\\reports", nullptr},
                      InstanceCase{"Unknown", "127.0.0.1\\NOPE",
                                   "Cannot find the instance NOPE on host 127.0.0.1: the SQL Server "
                                   "Browser (UDP port"}),
    [](const ::testing::TestParamInfo<InstanceCase>& p) { return std::string(p.param.name); });

TEST(NamedInstanceElsewhere, AHostWithoutABrowserIsNamedInTheError)
{
    int closedPort = 0;
    {
        QTemporaryDir dir;
        TdsServerProcess::Options options;
        options.catalogDir = dir.path().toStdString();
        options.browserInstances = {"SQLEXPRESS"};
        TdsServerProcess gone(options);
        closedPort = gone.browserPort();
    }
    const BrowserPort browser(closedPort);
    const CommandRun run =
        reportAs(QStringLiteral("127.0.0.1\\SQLEXPRESS"), QStringLiteral("tester"), QStringLiteral("x"),
                 {QStringLiteral("--login-timeout"), QStringLiteral("2")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(
        run.err.contains("Cannot find the instance SQLEXPRESS on host 127.0.0.1: no SQL Server Browser "
                         "answers on the host"))
        << run.err.toStdString();
}

struct BrowserAnswerCase
{
    const char* name;
    QByteArray answer;
    const char* instance;
    int port;
};

class BrowserAnswerText : public ::testing::TestWithParam<BrowserAnswerCase>
{
};

TEST_P(BrowserAnswerText, GivesTheInstancesTcpPort)
{
    EXPECT_EQ(TcpPortOfInstance(GetParam().answer, QString::fromUtf8(GetParam().instance)), GetParam().port);
}

const QByteArray kTwoInstances = "ServerName;DB1;InstanceName;SQLEXPRESS;IsClustered;No;Version;16.0.1000.6;"
                                 "tcp;49172;np;\\\\DB1\\pipe\\MSSQL$SQLEXPRESS\\sql\\query;;"
                                 "ServerName;DB1;InstanceName;PIPESONLY;IsClustered;No;Version;15.0.2000.5;"
                                 "np;\\\\DB1\\pipe\\MSSQL$PIPESONLY\\sql\\query;;";

INSTANTIATE_TEST_SUITE_P(
    Answers, BrowserAnswerText,
    ::testing::Values(
        BrowserAnswerCase{"First", kTwoInstances, "SQLEXPRESS", 49172},
        BrowserAnswerCase{"NameInOtherCase", kTwoInstances, "sqlexpress", 49172},
        BrowserAnswerCase{"NoTcp", kTwoInstances, "PIPESONLY", 0},
        BrowserAnswerCase{"NotThere", kTwoInstances, "OTHER", 0},
        // A port field of another instance is never taken for this one's.
        BrowserAnswerCase{"PortOfAnotherInstance",
                          "ServerName;A;InstanceName;X;tcp;1500;;ServerName;A;InstanceName;Y;;", "Y", 0},
        BrowserAnswerCase{"WholeDatagram",
                          QByteArray("\x05\x2A\x00", 3) + "ServerName;A;InstanceName;INST;tcp;50000;;",
                          "INST", 50000},
        BrowserAnswerCase{"BadPort", "ServerName;A;InstanceName;INST;tcp;99999;;", "INST", 0},
        BrowserAnswerCase{"Cut", "ServerName;A;InstanceName;INST;tcp", "INST", 0}),
    [](const ::testing::TestParamInfo<BrowserAnswerCase>& p) { return std::string(p.param.name); });

} // namespace
