// Opening an Access file with retries: which questions a refused log-in or password leads to, how
// the limits end them, and what the properties hold afterwards. On a file whose database password
// is "right"; the workgroup lets only Admin without a password in.
#include "CommandRuns.h"
#include "KorvADOXConnection.h"
#include "KorvConnection.h"
#include "OpenDatabase.h"

#include "JetWriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct OpenCase
{
    const char* label;
    QString user;
    QString userPassword;
    QString password;
    QStringList answers;
    TOpenRetryLimits limits;
    TOpenResult::Outcome outcome;
    std::int32_t number;
    QStringList questions;
    QString acceptedUser; // checked when opened
    bool missingFile = false;
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << c.label;
}

QStringList times(int n, const QString& s)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << s;
    return out;
}

const QString kRight = QStringLiteral("right");
const QString kAsk = QStringLiteral("password");
constexpr TOpenRetryLimits kUnlimited{};
constexpr TOpenRetryLimits kPasswordFinal{-1, 0};

class OpenWithRetry : public ::testing::TestWithParam<OpenCase>
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        jet::Database db = jet::sampleDatabase();
        db.password = kRight;
        jet::writeFile(s_dir->filePath(QStringLiteral("locked.mdb")), db);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QTemporaryDir* s_dir;
};
QTemporaryDir* OpenWithRetry::s_dir = nullptr;

TEST_P(OpenWithRetry, AsksWhatWasRefusedAndKeepsTheAcceptedAnswer)
{
    const OpenCase& c = GetParam();
    TConnectionProperties props;
    props.Database =
        s_dir->filePath(c.missingFile ? QStringLiteral("missing.mdb") : QStringLiteral("locked.mdb"));
    props.User = c.user;
    props.UserPassword = c.userPassword;
    props.Password = c.password;
    TScriptedAnswers prompter(c.answers);
    TKorvConnection connection;
    connection.SetConnectionType(ctADOX);

    const TOpenResult result = OpenAccessWithRetry(connection, props, prompter, c.limits);
    EXPECT_EQ(result.outcome, c.outcome) << result.message().toStdString();
    EXPECT_EQ(result.number, c.number);
    EXPECT_EQ(prompter.questions, c.questions);
    EXPECT_EQ(result.connectionString, BuildAccessConnectionString(props));
    if (c.number == kErrorPasswordRefused) {
        EXPECT_EQ(result.message(), QStringLiteral("5003031: Not a valid password."));
    }
    if (c.number == kErrorAccountRefused) {
        EXPECT_EQ(result.text, QStringLiteral("Not a valid account name or password."));
    }
    if (result.opened()) {
        EXPECT_EQ(props.Password, kRight);
        EXPECT_EQ(props.User, c.acceptedUser);
        ASSERT_TRUE(connection.ADOXConnection);
        EXPECT_GT(connection.ADOXConnection->TableCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenWithRetry,
    ::testing::Values(OpenCase{"RightAtOnce", {}, {}, kRight, {}, kUnlimited, TOpenResult::Opened, 0, {}, {}},
                      OpenCase{"WrongThenRight",
                               {},
                               {},
                               QStringLiteral("wrong"),
                               {kRight},
                               kUnlimited,
                               TOpenResult::Opened,
                               0,
                               {kAsk},
                               {}},
                      OpenCase{"NoneThenTwoWrongThenRight",
                               {},
                               {},
                               {},
                               {QStringLiteral("a"), QStringLiteral("b"), kRight},
                               kUnlimited,
                               TOpenResult::Opened,
                               0,
                               times(3, kAsk),
                               {}},
                      OpenCase{"Declined",
                               {},
                               {},
                               QStringLiteral("wrong"),
                               {},
                               kUnlimited,
                               TOpenResult::Declined,
                               kErrorPasswordRefused,
                               {kAsk},
                               {}},
                      // A password from standard input is final.
                      OpenCase{"PasswordFinal",
                               {},
                               {},
                               QStringLiteral("wrong"),
                               {kRight},
                               kPasswordFinal,
                               TOpenResult::Declined,
                               kErrorPasswordRefused,
                               {},
                               {}},
                      OpenCase{"LimitReached",
                               {},
                               {},
                               {},
                               {QStringLiteral("a"), QStringLiteral("b"), kRight},
                               {-1, 2},
                               TOpenResult::Declined,
                               kErrorPasswordRefused,
                               times(2, kAsk),
                               {}},
                      // A loop that called itself would use a frame per answer.
                      OpenCase{"ManyWrongAnswersUntilDeclined",
                               {},
                               {},
                               {},
                               times(50, QStringLiteral("wrong")),
                               kUnlimited,
                               TOpenResult::Declined,
                               kErrorPasswordRefused,
                               times(51, kAsk),
                               {}},
                      // A user given is kept: only its password is asked for.
                      OpenCase{"UserGivenOnlyItsPasswordIsAsked",
                               QStringLiteral("Admin"),
                               QStringLiteral("x"),
                               kRight,
                               {QStringLiteral("ignored/")},
                               kUnlimited,
                               TOpenResult::Opened,
                               0,
                               {QStringLiteral("password of Admin")},
                               QStringLiteral("Admin")},
                      OpenCase{"NoUserGivenAsksForOne",
                               {},
                               QStringLiteral("x"),
                               kRight,
                               {QStringLiteral("Admin/")},
                               kUnlimited,
                               TOpenResult::Opened,
                               0,
                               {QStringLiteral("user and password")},
                               QStringLiteral("Admin")},
                      OpenCase{"LoginThenPassword",
                               {},
                               QStringLiteral("x"),
                               {},
                               {QStringLiteral("Admin/"), kRight},
                               kUnlimited,
                               TOpenResult::Opened,
                               0,
                               {QStringLiteral("user and password"), kAsk},
                               QStringLiteral("Admin")},
                      OpenCase{"LoginDeclined",
                               QStringLiteral("Bob"),
                               {},
                               kRight,
                               {},
                               kUnlimited,
                               TOpenResult::Declined,
                               kErrorAccountRefused,
                               {QStringLiteral("password of Bob")},
                               {}},
                      OpenCase{"LoginFinal",
                               QStringLiteral("Bob"),
                               {},
                               kRight,
                               {QStringLiteral("x/")},
                               {0, -1},
                               TOpenResult::Declined,
                               kErrorAccountRefused,
                               {},
                               {}},
                      OpenCase{"MissingFileAsksNothing",
                               {},
                               {},
                               {},
                               {kRight},
                               kUnlimited,
                               TOpenResult::Failed,
                               5003024,
                               {},
                               {},
                               true}),
    [](const ::testing::TestParamInfo<OpenCase>& p) { return std::string(p.param.label); });

} // namespace
