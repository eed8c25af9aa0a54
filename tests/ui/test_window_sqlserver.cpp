// The window on a SQL Server: the data link dialog's string opens the server, Refresh lists the
// tables (system tables greyed by the server's own answer) or the views, Output writes their
// blocks, and a refused login leaves an empty list and the system-table query's one message.
#include "WindowFixture.h"

#include "CatalogFixture.h"
#include "ConnectionProfiles.h"
#include "DataLinkString.h"
#include "KorvDMOConnection.h"
#include "KorvUserManagerCrypt.h"
#include "TdsServerProcess.h"

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <ostream>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class WindowSqlServerTest : public WindowFixture
{
protected:
    static void SetUpTestSuite()
    {
        WindowFixture::SetUpTestSuite();
        s_dir = std::make_unique<QTemporaryDir>();
        tdsfixture::writeDatabase(tdsfixture::sampleDatabase(), s_dir->path().toStdString());
        TdsServerProcess::Options options;
        options.catalogDir = s_dir->path().toStdString();
        options.logins = {"tester:Secr3t;x"};
        s_server = std::make_unique<TdsServerProcess>(options);
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_dir.reset();
    }
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (TdsServerProcess::odbcDriverPath().empty())
            GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
        start();
    }

    // Answers the data link dialog as a user who typed these values and pressed OK.
    void openWith(const QString& password, const QString& database = QStringLiteral("sample"), int port = 0)
    {
        TDataLinkFields fields;
        fields.Server = QStringLiteral("127.0.0.1,%1").arg(port ? port : s_server->port());
        fields.User = QStringLiteral("tester");
        fields.Password = password;
        fields.Database = database;
        prompter->dataLinkAnswers.enqueue([fields](const QString&) { return ComposeDataLinkString(fields); });
        action("actOpenDatabase")->trigger();
    }

    QListWidget* list() const { return child<QListWidget>("chkTables"); }

    QStringList entries(bool enabled) const
    {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            if (bool(list()->item(i)->flags() & Qt::ItemIsEnabled) == enabled)
                names << list()->item(i)->text();
        return names;
    }

    QString pane() const { return child<QTextEdit>("memOutput")->toPlainText(); }

    static std::unique_ptr<QTemporaryDir> s_dir;
    static std::unique_ptr<TdsServerProcess> s_server;
};

std::unique_ptr<QTemporaryDir> WindowSqlServerTest::s_dir;
std::unique_ptr<TdsServerProcess> WindowSqlServerTest::s_server;

TEST_F(WindowSqlServerTest, TablesAreListedWithTheSystemTablesGreyedAndReported)
{
    prompter->errorsExpected = false;
    openWith(QStringLiteral("Secr3t;x"));
    EXPECT_EQ(window->Server(), QStringLiteral("127.0.0.1,%1").arg(s_server->port()));
    EXPECT_EQ(window->Database(), QStringLiteral("sample"));
    EXPECT_EQ(list()->count(), 23);
    const QStringList greyed = entries(false);
    EXPECT_EQ(greyed.size(), 19);
    EXPECT_TRUE(greyed.contains(QStringLiteral("sysobjects")));
    EXPECT_EQ(entries(true),
              QStringList({QStringLiteral("Maße]'; Übersicht"), QStringLiteral("Order Details"),
                           QStringLiteral("titles"), QStringLiteral("sales.titles")}));

    // The mark on releases them; Select all then checks every entry.
    action("tbiSysTables")->trigger();
    EXPECT_TRUE(entries(false).isEmpty());
    action("tbiSysTables")->trigger();
    action("actMarkAll")->trigger();
    action("actOutput")->trigger();
    const QString text = pane();
    EXPECT_TRUE(text.contains(QStringLiteral("*** Provider:  SQLServer\n"))) << text.left(600).toStdString();
    EXPECT_TRUE(text.contains(
        QStringLiteral("            1 title_id                       tid                      6  +")));
    // The entry of the other schema's "titles" reports its own columns.
    EXPECT_TRUE(text.contains(
        QStringLiteral("*** sales.titles *****************************************************\n"
                       "            1 SaleID                         int                      4  +\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("*** sysobjects")));
}

TEST_F(WindowSqlServerTest, ViewsAreListedWhenChosenAndReportedWithoutNullMarks)
{
    prompter->errorsExpected = false;
    child<QRadioButton>("rbViews")->setChecked(true);
    openWith(QStringLiteral("Secr3t;x"));
    EXPECT_EQ(entries(true), QStringList({QStringLiteral("Größe Ansicht"), QStringLiteral("titleview")}));
    EXPECT_TRUE(entries(false).isEmpty());
    action("actMarkAll")->trigger();
    action("actOutput")->trigger();
    EXPECT_TRUE(pane().contains(
        QStringLiteral("            3 ytd_sales                      int                      4   \n")))
        << pane().toStdString();
}

// The pane draws a wide character in two cells of its font, so the columns after a name in CJK
// stand where they stand after any other name.
TEST_F(WindowSqlServerTest, ColumnsAfterAWideNameLineUpInThePane)
{
    prompter->errorsExpected = false;
    openWith(QStringLiteral("Secr3t;x"));
    for (int i = 0; i < list()->count(); ++i)
        if (list()->item(i)->text() == QStringLiteral("Maße]'; Übersicht"))
            list()->item(i)->setCheckState(Qt::Checked);
    action("actOutput")->trigger();
    QTextDocument* document = child<QTextEdit>("memOutput")->document();
    child<QTextEdit>("memOutput")->resize(1200, 400);
    document->setTextWidth(2000);
    const auto typeX = [&](const QString& name, const QString& type) -> qreal {
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            if (!block.text().contains(name))
                continue;
            const qsizetype at = block.text().indexOf(type, block.text().indexOf(name) + name.size());
            return block.layout()->lineAt(0).cursorToX(int(at));
        }
        ADD_FAILURE() << name.toStdString() << " not in the report";
        return -1;
    };
    const qreal wide = typeX(QStringLiteral("日本語の列"), QStringLiteral("nvarchar"));
    const qreal narrow = typeX(QStringLiteral("Telefon Nr."), QStringLiteral("phone"));
    EXPECT_NEAR(wide, narrow, 0.5);
    EXPECT_GT(narrow, 0);
}

// A login that fails: the opening stays quiet as the back end swallows it, and the system-table
// query of the refresh after it says why, once.
struct RefusalCase
{
    const char* label;
    bool closedPort;
    const char* message; // what the one message contains
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.label;
}

class RefusedLogin : public WindowSqlServerTest, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(RefusedLogin, IsReportedOncePerAttemptWithAnEmptyList)
{
    const RefusalCase& c = GetParam();
    QString server = QStringLiteral("127.0.0.1,%1").arg(s_server->port());
    if (c.closedPort) {
        // A port the system handed out and nobody listens on any more.
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(probe, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
        ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
        ::close(probe);
        server = QStringLiteral("127.0.0.1,%1").arg(ntohs(address.sin_port));
    }
    for (int attempt = 1; attempt <= 2; ++attempt) {
        TDataLinkFields fields;
        fields.Server = server;
        fields.User = QStringLiteral("tester");
        fields.Password = QStringLiteral("wrong");
        fields.Database = QStringLiteral("sample");
        prompter->dataLinkAnswers.enqueue([fields](const QString&) { return ComposeDataLinkString(fields); });
        action("actOpenDatabase")->trigger();
        EXPECT_EQ(list()->count(), 0);
        ASSERT_EQ(prompter->ofKind("default-error").size(), attempt)
            << prompter->kinds().join(u',').toStdString();
        EXPECT_TRUE(prompter->ofKind("default-error").last().text.contains(QString::fromUtf8(c.message)))
            << prompter->ofKind("default-error").last().text.toStdString();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(prompter->kinds(), (QStringList{"data-link", "default-error", "data-link", "default-error"}));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, RefusedLogin,
    ::testing::Values(RefusalCase{"WrongPassword", false, "Login failed for user 'tester'."},
                      RefusalCase{"ClosedPort", true, "konnte nicht erreicht werden"}),
    [](const ::testing::TestParamInfo<RefusalCase>& p) { return std::string(p.param.label); });

TEST_F(WindowSqlServerTest, RefreshBeforeAnyDatabaseWasOpenedShowsWhyTheQueryFailed)
{
    action("actRefresh")->trigger();
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(prompter->kinds(), QStringList{"default-error"});
    // Once a server is open the same refresh of an emptied database field is quiet.
    prompter->errorsExpected = false;
    prompter->shown.clear();
    openWith(QStringLiteral("Secr3t;x"));
    ASSERT_EQ(list()->count(), 23);
    child<QTabWidget>("pgcProvider")->setCurrentIndex(1);
    child<QTabWidget>("pgcProvider")->setCurrentIndex(0);
    action("actRefresh")->trigger();
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(prompter->kinds(), QStringList{"data-link"});
}

TEST_F(WindowSqlServerTest, ProfilesOpenWithTheirStoredPasswordOrTheOneAskedFor)
{
    const QString server = QStringLiteral("127.0.0.1,%1").arg(s_server->port());
    writeWindowsIni({"[PR_SQLServer_Gespeichert]", "Server=" + server, "Database=sample", "User=tester",
                     "Persist Security Info=True", "Password=" + EncryptText(kProfileKey, "Secr3t;x"),
                     "[PR_SQLServer_Gefragt]", "Server=" + server, "Database=sample", "User=tester"});
    window.reset();
    start();
    prompter->errorsExpected = false;
    chooseProfile("cboSQLServerProfile", "Gespeichert");
    EXPECT_EQ(list()->count(), 23);
    // A cancelled question opens nothing, and the last connection is not listed under this name.
    prompter->cancelInput();
    chooseProfile("cboSQLServerProfile", "Gefragt");
    EXPECT_EQ(list()->count(), 0);
    chooseProfile("cboSQLServerProfile", "");
    EXPECT_EQ(window->Server(), "");
    prompter->answerInput("Secr3t;x");
    chooseProfile("cboSQLServerProfile", "Gefragt");
    EXPECT_EQ(list()->count(), 23);
    EXPECT_EQ(prompter->kinds(), (QStringList{"input", "input"}));
}

// A catalogue read that fails, by the server's error or a lost connection, is one error box with
// the server's message; the list stays empty (no tables that would report without columns) and
// the pane too.
TEST_F(WindowSqlServerTest, AFailingCatalogueReadIsOneErrorBoxAndAnEmptyList)
{
    struct Fault
    {
        long failStatement;
        int failNumber;
        long dropAfterBatches;
        const char* message;
    };
    // Statements: the database list, then the catalogue batch's; batches: the driver's type probe,
    // the database list, the catalogue batch.
    for (const Fault& fault : {Fault{3, 1205, 0, "chosen as the deadlock victim"},
                               Fault{0, 0, 2, "The connection to the SQL Server"}}) {
        SCOPED_TRACE(fault.message);
        TdsServerProcess::Options options;
        options.catalogDir = s_dir->path().toStdString();
        options.logins = {"tester:Secr3t;x"};
        options.failStatement = fault.failStatement;
        options.failNumber = fault.failNumber;
        options.dropAfterBatches = fault.dropAfterBatches;
        TdsServerProcess server(options);
        prompter->shown.clear();
        openWith(QStringLiteral("Secr3t;x"), QStringLiteral("sample"), server.port());
        EXPECT_EQ(list()->count(), 0);
        EXPECT_TRUE(pane().isEmpty());
        const auto errors = prompter->ofKind(QStringLiteral("default-error"));
        ASSERT_EQ(errors.size(), 1) << prompter->kinds().join(u',').toStdString();
        EXPECT_TRUE(errors.first().text.contains(QLatin1String(fault.message)))
            << errors.first().text.toStdString();
        EXPECT_EQ(server.counts().logins, 1);
    }
}

// A server that takes every connection and never says a word: it accepts on 127.0.0.1 and
// keeps each connection open, unanswered, until it is destroyed.
class SilentServer
{
public:
    SilentServer()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_socket, 16) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size) != 0 || ::pipe(m_stop) != 0)
            throw std::runtime_error("the silent server cannot listen");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            for (;;) {
                pollfd watched[2] = {{m_socket, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
                if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0)
                    return;
                const int connection = ::accept(m_socket, nullptr, nullptr);
                if (connection >= 0) {
                    m_connections.push_back(connection);
                    ++m_accepted;
                }
            }
        });
    }
    ~SilentServer()
    {
        (void)!::write(m_stop[1], "x", 1);
        m_thread.join();
        for (const int connection : m_connections)
            ::close(connection);
        ::close(m_socket);
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return m_port; }
    int accepted() const { return m_accepted; }

private:
    int m_socket = -1;
    int m_stop[2] = {-1, -1};
    int m_port = 0;
    std::atomic<int> m_accepted{0};
    std::vector<int> m_connections;
    std::thread m_thread;
};

// The login timeout the back ends use, short for a test and given back afterwards.
struct ShortLoginTimeout
{
    ShortLoginTimeout() { SetDMOLoginTimeout(1); }
    ~ShortLoginTimeout() { SetDMOLoginTimeout(30); }
};

struct WaitCase
{
    const char* label;
    bool silent;
};

void PrintTo(const WaitCase& c, std::ostream* os)
{
    *os << c.label;
}

class InputDuringTheWait : public WindowSqlServerTest, public ::testing::WithParamInterface<WaitCase>
{
protected:
    // The user clicks the Access tab: the click waits in the queue until the window takes input.
    void clickAccessTabLater()
    {
        auto* bar = child<QTabWidget>("pgcProvider")->findChild<QTabBar*>();
        ASSERT_NE(bar, nullptr);
        const QPoint at = bar->tabRect(bar->count() - 1).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                bar, new QMouseEvent(type, at, bar->mapToGlobal(at), Qt::LeftButton,
                                     type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                     Qt::NoModifier));
    }
};

// A server that takes the connection and never answers costs one login timeout per attempt, not
// a second one for the system-table query. A tab clicked while the window waits does not switch
// the page in the middle of the command: the attempt's answer is shown, and the window afterwards
// is what that answer made it, on the page it was asked on.
TEST_P(InputDuringTheWait, IsRefusedAndTheAttemptsAnswerStands)
{
    const WaitCase& c = GetParam();
    const ShortLoginTimeout timeout;
    SilentServer silent;
    window->show();
    QApplication::processEvents();
    const QString server = QStringLiteral("127.0.0.1,%1").arg(c.silent ? silent.port() : s_server->port());
    for (int attempt = 1; attempt <= 2; ++attempt) {
        TDataLinkFields fields;
        fields.Server = server;
        fields.User = QStringLiteral("tester");
        fields.Password = QStringLiteral("Secr3t;x");
        fields.Database = QStringLiteral("sample");
        prompter->dataLinkAnswers.enqueue([this, fields](const QString&) {
            clickAccessTabLater();
            return ComposeDataLinkString(fields);
        });
        action("actOpenDatabase")->trigger();
        QApplication::processEvents();

        EXPECT_EQ(child<QTabWidget>("pgcProvider")->currentWidget(), child<QWidget>("tshSQLServer"));
        EXPECT_EQ(window->Provider(), ptSQLServer);
        EXPECT_EQ(window->Connection->ConnectionType, ctDMO);
        EXPECT_EQ(window->Server(), server);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        const auto errors = prompter->ofKind("default-error");
        if (c.silent) {
            EXPECT_EQ(list()->count(), 0);
            ASSERT_EQ(errors.size(), attempt) << prompter->kinds().join(u',').toStdString();
            EXPECT_TRUE(errors.last().text.contains(QStringLiteral("127.0.0.1")))
                << errors.last().text.toStdString();
            // The accepting thread may lag behind on a busy machine; it never runs ahead.
            EXPECT_TRUE(QTest::qWaitFor([&] { return silent.accepted() >= attempt; }, 10000));
            EXPECT_EQ(silent.accepted(), attempt);
        } else {
            EXPECT_EQ(list()->count(), 23);
            EXPECT_TRUE(errors.isEmpty()) << errors.first().text.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, InputDuringTheWait,
                         ::testing::Values(WaitCase{"SilentServer", true},
                                           WaitCase{"AnsweringServer", false}),
                         [](const ::testing::TestParamInfo<WaitCase>& p) {
                             return std::string(p.param.label);
                         });

} // namespace
