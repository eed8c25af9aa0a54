// The File menu's structure commands against real Access files: the structure document the save
// command writes is orvane-report's, the comparison in the pane is orvane-report's difference
// report, a baseline that cannot be read is told once and leaves the pane as it was, and a window
// that was emptied has nothing left to compare or save.
#include "WindowFixture.h"

#include "CommandRuns.h"
#include "ConnectionProfiles.h"
#include "JetWriter.h"
#include "KorvUserManagerCrypt.h"
#include "UIText.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>

#include <functional>
#include <ostream>

namespace {

const QDateTime kFixedTime(QDate(2026, 3, 14), QTime(9, 5, 7));

jet::Database Shop(const QString& password = {})
{
    jet::Database db;
    db.password = password;
    db.tables = {jet::Table{QStringLiteral("Orders"),
                            {jet::makeColumn(QStringLiteral("Order_ID"), jet::ColumnType::Long),
                             jet::makeColumn(QStringLiteral("ShipName"), jet::ColumnType::Text, 40)}},
                 jet::Table{QStringLiteral("Customers"),
                            {jet::makeColumn(QStringLiteral("Customer_ID"), jet::ColumnType::Long)}}};
    return db;
}

// The shop one release earlier: a shorter ship name, no customers, a table since dropped.
jet::Database EarlierShop(const QString& password = {})
{
    jet::Database db;
    db.password = password;
    db.tables = {jet::Table{QStringLiteral("Orders"),
                            {jet::makeColumn(QStringLiteral("Order_ID"), jet::ColumnType::Long),
                             jet::makeColumn(QStringLiteral("ShipName"), jet::ColumnType::Text, 30)}},
                 jet::Table{QStringLiteral("Notes"),
                            {jet::makeColumn(QStringLiteral("Note_ID"), jet::ColumnType::Long)}}};
    return db;
}

// A report's lines without its date line, which differs from run to run.
QStringList WithoutDate(QStringList lines)
{
    const QString date = LoadUIText(154).trimmed();
    lines.removeIf([&](const QString& line) { return line.contains(date); });
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class WindowCompareTest : public WindowFixture
{
protected:
    QString write(const QString& name, const jet::Database& db)
    {
        const QString path = folder.filePath(name);
        jet::writeFile(path, db);
        return path;
    }

    QString writeBytes(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // The window on its Access page with the shop opened.
    void openShop()
    {
        start();
        window->setClock([] { return kFixedTime; });
        child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>("tshAccess"));
        shop = write(QStringLiteral("shop.mdb"), Shop());
        prompter->openAnswers.enqueue(shop);
        action("actOpenDatabase")->trigger();
        ASSERT_EQ(prompter->kinds(), QStringList{"open"});
        prompter->shown.clear();
    }

    QStringList paneLines() const
    {
        QStringList lines;
        const QTextDocument* doc = child<QTextEdit>("memOutput")->document();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            lines << b.text();
        return lines;
    }

    QString shop;
};

TEST_F(WindowCompareTest, SaveStructureWritesTheDocumentOfTheCommandLine)
{
    openShop();
    // Last in the File menu, in the UI language.
    const QList<QAction*> file = child<QMenu>("tbsiDatei")->actions();
    ASSERT_GE(file.size(), 2);
    EXPECT_EQ(file.at(file.size() - 2), action("actSaveStructure"));
    EXPECT_EQ(file.constLast(), action("actCompareWith"));
    EXPECT_EQ(action("actSaveStructure")->text(), QStringLiteral("&Struktur speichern…"));

    const QString target = folder.filePath(QStringLiteral("snapshot.json"));
    prompter->saveAnswers.enqueue(target);
    prompter->errorsExpected = false;
    action("actSaveStructure")->trigger();

    ASSERT_EQ(prompter->kinds(), QStringList{"save"});
    EXPECT_EQ(prompter->shown[0].text, folder.filePath(QStringLiteral("shop.json")));
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    // The document names the file, not the folder it lies in here: the command line's for the
    // file named so.
    const ProgramRun cli =
        RunProgram({QStringLiteral("--format"), QStringLiteral("json"), QFileInfo(shop).fileName()}, {},
                   ReportProgramPath(), QFileInfo(shop).absolutePath());
    ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    const QString document = QString::fromUtf8(saved.readAll());
    EXPECT_EQ(document, cli.out);
    EXPECT_TRUE(document.contains(QLatin1String("\"database\": \"shop.mdb\""))) << document.toStdString();
}

TEST_F(WindowCompareTest, CompareWithShowsTheDifferenceReportAndItsCount)
{
    openShop();
    const QString baseline = write(QStringLiteral("earlier.mdb"), EarlierShop(QStringLiteral("pw")));
    prompter->openAnswers.enqueue(baseline);
    prompter->databasePasswordAnswers.enqueue({true, QStringLiteral("pw")});
    prompter->errorsExpected = false;
    action("actCompareWith")->trigger();

    // The baseline's password is asked as the window asks for an Access file's, and it stays the
    // baseline's: the open database's settings keep theirs.
    ASSERT_EQ(prompter->kinds(), (QStringList{"open", "login-db"}));
    EXPECT_TRUE(prompter->shown[0].preset.startsWith(LoadUIText(437) + QStringLiteral(" (*.json)|")));
    EXPECT_TRUE(window->Password().isEmpty());
    EXPECT_EQ(window->Database(), shop);

    const ProgramRun cli =
        RunProgram({QStringLiteral("--language"), QStringLiteral("de"), QStringLiteral("--password-stdin"),
                    QStringLiteral("--compare"), baseline, shop},
                   "\npw\n");
    ASSERT_EQ(cli.exitCode, 3) << cli.err.toStdString();
    const QStringList pane = WithoutDate(paneLines());
    EXPECT_EQ(pane, WithoutDate(cli.out.split(QLatin1Char('\n'))));
    // Removed Notes, added Customers, the ship name's length.
    EXPECT_EQ(child<QLabel>("lblHint")->text(), QStringLiteral("3 Unterschiede"));

    // The pane's commands work on it as on the structure report.
    child<QLineEdit>("edtSearch")->setText(QStringLiteral("ShipName"));
    action("actFindText")->trigger();
    EXPECT_EQ(child<QTextEdit>("memOutput")->textCursor().selectedText(), QStringLiteral("ShipName"));
}

// The difference count stands in the status line while hints come and go over it: the hint of
// the menu item that ran the comparison, which the menu withdraws as it closes (after the command
// has run), and the hint of a button the pointer crosses.
TEST_F(WindowCompareTest, TheDifferenceCountOutlastsTheHintsThatCrossIt)
{
    openShop();
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    prompter->openAnswers.enqueue(write(QStringLiteral("earlier.mdb"), EarlierShop()));
    prompter->errorsExpected = false;
    auto* file = child<QMenu>("tbsiDatei");
    child<QMenuBar>("tbtMenue")->setActiveAction(file->menuAction());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    file->setActiveAction(action("actCompareWith"));
    QTest::keyClick(file, Qt::Key_Return);
    QApplication::processEvents();
    ASSERT_EQ(prompter->kinds(), QStringList{"open"});
    auto* status = child<QLabel>("lblHint");
    EXPECT_EQ(status->text(), QStringLiteral("3 Unterschiede"));

    QWidget* button = child<QToolBar>("tbtSymbolleiste")->widgetForAction(action("actPrint"));
    ASSERT_NE(button, nullptr);
    QStatusTipEvent over(action("actPrint")->statusTip());
    QApplication::sendEvent(button, &over);
    EXPECT_EQ(status->text(), action("actPrint")->statusTip());
    QStatusTipEvent gone{QString()};
    QApplication::sendEvent(button, &gone);
    EXPECT_EQ(status->text(), QStringLiteral("3 Unterschiede"));
}

struct BrokenBaseline
{
    const char* label;
    QByteArray bytes;    // the baseline file
    const char* message; // the error box's text after the file's path, or all of it
    bool afterPath;
};

void PrintTo(const BrokenBaseline& c, std::ostream* os)
{
    *os << c.label;
}

class FailingBaseline : public WindowCompareTest, public ::testing::WithParamInterface<BrokenBaseline>
{
};

TEST_P(FailingBaseline, IsOneErrorBoxAndThePaneStaysAsItWas)
{
    openShop();
    const BrokenBaseline& c = GetParam();
    const QString baseline = writeBytes(QStringLiteral("baseline.file"), c.bytes);
    child<QTextEdit>("memOutput")->setPlainText(QStringLiteral("old report"));
    child<QLabel>("lblHint")->setText(QStringLiteral("old hint"));
    prompter->openAnswers.enqueue(baseline);

    action("actCompareWith")->trigger();

    const auto errors = prompter->ofKind("error");
    ASSERT_EQ(errors.size(), 1) << prompter->kinds().join(u',').toStdString();
    EXPECT_TRUE(prompter->ofKind("default-error").isEmpty());
    const QString expected = (c.afterPath ? baseline + QStringLiteral(": ") : QString()) + c.message;
    EXPECT_TRUE(errors[0].text.startsWith(expected)) << errors[0].text.toStdString();
    EXPECT_EQ(paneLines(), QStringList{QStringLiteral("old report")});
    EXPECT_EQ(child<QLabel>("lblHint")->text(), QStringLiteral("old hint"));
    EXPECT_TRUE(window->Password().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Baselines, FailingBaseline,
    ::testing::Values(BrokenBaseline{"UnreadableJson", "{\"format\": \"orvane-structure\", ", "", true},
                      BrokenBaseline{"DamagedAccessFile", QByteArray(4096, '\xab'), "", false}),
    [](const ::testing::TestParamInfo<BrokenBaseline>& p) { return std::string(p.param.label); });

// A question about the baseline's password that the user cancels, at once or after a wrong
// answer, is no failure: nothing is told, and the pane and the status bar show what they showed.
class CancelledBaselinePassword : public WindowCompareTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(CancelledBaselinePassword, ShowsNothingAndLeavesThePaneAsItWas)
{
    openShop();
    const QString baseline = write(QStringLiteral("earlier.mdb"), EarlierShop(QStringLiteral("pw")));
    for (int wrong = 0; wrong < GetParam(); ++wrong)
        prompter->databasePasswordAnswers.enqueue({true, QStringLiteral("wrong")});
    prompter->databasePasswordAnswers.enqueue({false, QString()});
    child<QTextEdit>("memOutput")->setPlainText(QStringLiteral("old report"));
    child<QLabel>("lblHint")->setText(QStringLiteral("old hint"));
    prompter->openAnswers.enqueue(baseline);
    prompter->errorsExpected = false;

    action("actCompareWith")->trigger();

    QStringList asked{"open"};
    for (int i = 0; i <= GetParam(); ++i)
        asked << "login-db";
    EXPECT_EQ(prompter->kinds(), asked);
    EXPECT_EQ(paneLines(), QStringList{QStringLiteral("old report")});
    EXPECT_EQ(child<QLabel>("lblHint")->text(), QStringLiteral("old hint"));
    EXPECT_TRUE(window->Password().isEmpty());
    EXPECT_EQ(window->Database(), shop);
}

INSTANTIATE_TEST_SUITE_P(WrongAnswersBefore, CancelledBaselinePassword, ::testing::Values(0, 1));

struct NothingOpenCase
{
    const char* command;
    int language;
    const char* message;
};

void PrintTo(const NothingOpenCase& c, std::ostream* os)
{
    *os << c.command << " in language " << c.language;
}

class NothingOpen : public WindowFixture, public ::testing::WithParamInterface<NothingOpenCase>
{
};

// Neither command is greyed; with no database open each says so, in the window's language,
// before it asks anything.
TEST_P(NothingOpen, SaysSoInTheWindowsLanguageAndAsksNothing)
{
    writeIni(QByteArray("[Application]\nLanguage=") + QByteArray::number(GetParam().language) + '\n');
    start();
    QAction* command = action(GetParam().command);
    ASSERT_TRUE(command->isEnabled());
    command->trigger();
    ASSERT_EQ(prompter->kinds(), QStringList{"default-error"});
    EXPECT_EQ(prompter->shown[0].text, QString::fromUtf8(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NothingOpen,
    ::testing::Values(NothingOpenCase{"actSaveStructure", 1, "Es ist keine Datenbank geöffnet."},
                      NothingOpenCase{"actCompareWith", 1, "Es ist keine Datenbank geöffnet."},
                      NothingOpenCase{"actSaveStructure", 2, "No database is open."},
                      NothingOpenCase{"actCompareWith", 2, "No database is open."}));

// What empties the window (the blank profile entry, a cancelled open, a deleted profile, another
// page, a file name typed by hand) leaves no connection behind: the structure commands find
// nothing open and no profile is shown. The difference count goes with the comparison it counts:
// only a typed file name, which empties the list alone, leaves the pane.
struct EmptyingPath
{
    const char* label;
    std::function<void(WindowCompareTest&)> act;
    bool keepsPane = false;
};

void PrintTo(const EmptyingPath& c, std::ostream* os)
{
    *os << c.label;
}

class EmptiedWindow : public WindowCompareTest, public ::testing::WithParamInterface<EmptyingPath>
{
public:
    using WindowCompareTest::action;
    using WindowCompareTest::child;
    using WindowCompareTest::chooseProfile;
    FakePrompter& fake() { return *prompter; }
};

TEST_P(EmptiedWindow, LeavesNoConnectionCountOrProfileBehind)
{
    shop = write(QStringLiteral("shop.mdb"), Shop());
    writeWindowsIni({"[PR_Access_Laden]", "Database=" + shop,
                     "Database Password=" + EncryptText(kProfileKey, ""),
                     "User=", "Password=" + EncryptText(kProfileKey, "")});
    start();
    child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>("tshAccess"));
    chooseProfile("cboAccessProfile", QStringLiteral("Laden"));
    ASSERT_GT(child<QListWidget>("chkTables")->count(), 2);
    prompter->openAnswers.enqueue(write(QStringLiteral("earlier.mdb"), EarlierShop()));
    prompter->errorsExpected = false;
    action("actCompareWith")->trigger();
    ASSERT_EQ(child<QLabel>("lblHint")->text(), QStringLiteral("3 Unterschiede"));
    prompter->shown.clear();
    prompter->errorsExpected = true;

    GetParam().act(*this);

    EXPECT_EQ(child<QListWidget>("chkTables")->count(), 0);
    EXPECT_EQ(paneLines().join(QString()).isEmpty(), !GetParam().keepsPane);
    EXPECT_EQ(child<QLabel>("lblHint")->text().isEmpty(), !GetParam().keepsPane);
    const bool access = child<QTabWidget>("pgcProvider")->currentWidget() == child<QWidget>("tshAccess");
    EXPECT_TRUE(
        child<QComboBox>(access ? "cboAccessProfile" : "cboSQLServerProfile")->currentText().isEmpty());
    for (const char* command : {"actCompareWith", "actSaveStructure"}) {
        prompter->shown.clear();
        action(command)->trigger();
        ASSERT_EQ(prompter->kinds(), QStringList{"default-error"}) << command;
        EXPECT_EQ(prompter->shown[0].text, LoadUIText(570)) << command;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, EmptiedWindow,
    ::testing::Values(
        EmptyingPath{"BlankProfileEntry",
                     [](WindowCompareTest& fixture) {
                         static_cast<EmptiedWindow&>(fixture).chooseProfile("cboAccessProfile", QString());
                     }},
        EmptyingPath{"OpenCancelled",
                     [](WindowCompareTest& fixture) {
                         auto& w = static_cast<EmptiedWindow&>(fixture);
                         w.fake().openAnswers.enqueue(QString());
                         w.action("actOpenDatabase")->trigger();
                     }},
        EmptyingPath{"ProfileDeleted",
                     [](WindowCompareTest& fixture) {
                         static_cast<EmptiedWindow&>(fixture).action("actDeleteProfile")->trigger();
                     }},
        EmptyingPath{
            "OtherPage",
            [](WindowCompareTest& fixture) {
                auto& w = static_cast<EmptiedWindow&>(fixture);
                w.child<QTabWidget>("pgcProvider")->setCurrentWidget(w.child<QWidget>("tshSQLServer"));
            }},
        EmptyingPath{"FileNameTyped",
                     [](WindowCompareTest& fixture) {
                         auto& w = static_cast<EmptiedWindow&>(fixture);
                         auto* field = w.child<QLineEdit>("edtAccessDB");
                         field->setFocus();
                         field->end(false);
                         QTest::keyClicks(field, "x");
                     },
                     true}),
    [](const ::testing::TestParamInfo<EmptyingPath>& p) { return std::string(p.param.label); });
