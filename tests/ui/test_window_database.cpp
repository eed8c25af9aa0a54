// The window against real Access files written by the Jet writer: the open command with its
// login retries and error box, the table list with greyed system tables, the report in the pane,
// Break, the delimiter command, and the SQL Server branch through a scripted data link dialog.
#include "WindowFixture.h"

#include "JetCatalogReader.h"
#include "JetEncryption.h"
#include "JetWriter.h"
#include "KorvADOXConnection.h"
#include "KorvIniFiles.h"
#include "Prompter.h"
#include "ReportLines.h"
#include "SplitApplication.h"
#include "StructureReport.h"
#include "UIText.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <ostream>

namespace {

jet::Table table(const QString& name, int columns)
{
    jet::Table t;
    t.name = name;
    for (int i = 1; i <= columns; ++i) {
        jet::Column c;
        c.name = QStringLiteral("%1_Col%2").arg(name).arg(i);
        c.type = i % 2 ? jet::ColumnType::Long : jet::ColumnType::Text;
        c.length = 40;
        t.columns << c;
    }
    return t;
}

const QDateTime kFixedTime(QDate(2026, 3, 14), QTime(9, 5, 7));

} // namespace

class WindowDatabaseTest : public WindowFixture
{
protected:
    QString makeFile(const QString& password = {}, int tables = 3)
    {
        jet::Database db;
        db.password = password;
        for (int i = 1; i <= tables; ++i)
            db.tables << table(QStringLiteral("Table%1").arg(i, 2, 10, QLatin1Char('0')), 3);
        const QString path = folder.filePath(QStringLiteral("shop.mdb"));
        jet::writeFile(path, db);
        return path;
    }

    void startOnAccessPage()
    {
        start();
        window->setClock([] { return kFixedTime; });
        child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>("tshAccess"));
    }

    QListWidget* list() const { return child<QListWidget>("chkTables"); }

    QStringList entries(bool onlyEnabled) const
    {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            if (!onlyEnabled || (list()->item(i)->flags() & Qt::ItemIsEnabled))
                names << list()->item(i)->text();
        return names;
    }

    QStringList checked() const
    {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            if (list()->item(i)->checkState() == Qt::Checked)
                names << list()->item(i)->text();
        return names;
    }

    QStringList paneLines() const
    {
        QStringList lines;
        const QTextDocument* doc = child<QTextEdit>("memOutput")->document();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            lines << b.text();
        if (lines.size() == 1 && lines[0].isEmpty())
            lines.clear();
        return lines;
    }
};

TEST_F(WindowDatabaseTest, OpensAPlainFileAndGreysItsSystemTables)
{
    const QString path = makeFile();
    startOnAccessPage();
    prompter->openAnswers.enqueue(path);
    prompter->errorsExpected = false;

    action("actOpenDatabase")->trigger();

    ASSERT_EQ(prompter->kinds(), QStringList{"open"});
    // Both Access formats under one entry, then every file.
    EXPECT_EQ(prompter->shown[0].preset,
              "Access Datenbanken (*.mdb;*.accdb)|*.MDB;*.ACCDB|Alle Dateien (*)|*");
    EXPECT_EQ(prompter->shown[0].text, QDir::homePath());
    EXPECT_EQ(window->Database(), path);
    EXPECT_EQ(child<QLineEdit>("edtAccessDB")->text(), path);
    EXPECT_TRUE(window->AccessConnectionString.startsWith(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=") + path + u';'))
        << window->AccessConnectionString.toStdString();

    EXPECT_EQ(entries(true), (QStringList{"Table01", "Table02", "Table03"}));
    const QStringList all = entries(false);
    EXPECT_GT(all.size(), 3);
    for (const QString& name : all) {
        if (name.startsWith(QStringLiteral("MSys"))) {
            EXPECT_FALSE(entries(true).contains(name)) << name.toStdString();
        }
    }
    EXPECT_TRUE(checked().isEmpty());
}

TEST_F(WindowDatabaseTest, SystemTableMarkSelectAllAndUnselectAll)
{
    startOnAccessPage();
    prompter->openAnswers.enqueue(makeFile());
    action("actOpenDatabase")->trigger();
    const QStringList user{"Table01", "Table02", "Table03"};
    const QStringList all = entries(false);

    action("actMarkAll")->trigger();
    EXPECT_EQ(checked(), user);

    action("tbiSysTables")->trigger();
    EXPECT_EQ(entries(true), all);
    // Released system tables stay unchecked until checked; the user tables keep their marks.
    EXPECT_EQ(checked(), user);
    action("actMarkAll")->trigger();
    EXPECT_EQ(checked(), all);

    action("tbiSysTables")->trigger();
    EXPECT_EQ(entries(true), user);
    EXPECT_EQ(checked(), user);

    action("actMarkNo")->trigger();
    EXPECT_TRUE(checked().isEmpty());
    EXPECT_TRUE(prompter->ofKind("default-error").isEmpty());
}

TEST_F(WindowDatabaseTest, RefreshWhoseSystemTableQueryFailsKeepsItsEntriesReleased)
{
    startOnAccessPage();
    const QString path = makeFile();
    prompter->openAnswers.enqueue(path);
    action("actOpenDatabase")->trigger();
    ASSERT_TRUE(prompter->ofKind("default-error").isEmpty());
    const QStringList all = entries(false);

    // The catalogue was read when the file was opened; the system catalogue is asked afresh.
    ASSERT_TRUE(QFile::remove(path));
    action("actRefresh")->trigger();

    EXPECT_EQ(prompter->ofKind("default-error").size(), 1);
    EXPECT_EQ(entries(false), all);
    // Nothing was greyed and nothing checked: the command ended before it changed any entry.
    EXPECT_EQ(entries(true), all);
    EXPECT_TRUE(checked().isEmpty());
}

// A wrong password asks again until the right one, for an .mdb and for a password-protected
// .accdb (agile AES-256) alike: both go through the same dialog.
TEST_F(WindowDatabaseTest, WrongPasswordsAskAgainUntilTheRightOne)
{
    for (const bool encryptedAccdb : {false, true}) {
        SCOPED_TRACE(encryptedAccdb ? "accdb" : "mdb");
        QString path = makeFile(QStringLiteral("Geheim"));
        if (encryptedAccdb) {
            jet::Database db;
            db.format = jet::Format::Ace12;
            for (int i = 1; i <= 3; ++i)
                db.tables << table(QStringLiteral("Table%1").arg(i, 2, 10, QLatin1Char('0')), 3);
            jet::EncryptionOptions options;
            options.password = QStringLiteral("Geheim");
            const QByteArray bytes = jet::encryptImage(jet::buildFile(db), options);
            path = folder.filePath(QStringLiteral("shop.accdb"));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        prompter = std::make_shared<FakePrompter>();
        startOnAccessPage();
        prompter->openAnswers.enqueue(path);
        for (const char* attempt : {"geheim", "", "Geheim "})
            prompter->databasePasswordAnswers.enqueue({true, QString::fromUtf8(attempt)});
        prompter->databasePasswordAnswers.enqueue({true, QStringLiteral("Geheim")});
        prompter->errorsExpected = false;

        action("actOpenDatabase")->trigger();

        EXPECT_EQ(prompter->ofKind("login-db").size(), 4);
        EXPECT_EQ(window->Password(), "Geheim");
        EXPECT_EQ(window->Database(), path);
        EXPECT_EQ(entries(true), (QStringList{"Table01", "Table02", "Table03"}));
    }
}

TEST_F(WindowDatabaseTest, ManyWrongPasswordsDoNotExhaustTheStack)
{
    const QString path = makeFile(QStringLiteral("pw"));
    start();
    child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>("tshAccess"));
    window->SetDatabase(path);
    for (int i = 0; i < 2000; ++i)
        prompter->databasePasswordAnswers.enqueue({true, QStringLiteral("nope")});
    prompter->databasePasswordAnswers.enqueue({false, {}});

    window->OpenAccessDatabase();

    EXPECT_EQ(prompter->ofKind("login-db").size(), 2001);
    EXPECT_TRUE(window->Database().isEmpty());
}

TEST_F(WindowDatabaseTest, CancelledPasswordGivesUpTheFile)
{
    startOnAccessPage();
    prompter->openAnswers.enqueue(makeFile(QStringLiteral("pw")));
    prompter->databasePasswordAnswers.enqueue({true, QStringLiteral("wrong")});
    prompter->databasePasswordAnswers.enqueue({false, {}});
    prompter->errorsExpected = false;

    action("actOpenDatabase")->trigger();

    EXPECT_EQ(prompter->kinds(), (QStringList{"open", "login-db", "login-db"}));
    EXPECT_TRUE(window->Password().isEmpty());
    EXPECT_TRUE(window->Database().isEmpty());
    EXPECT_TRUE(child<QLineEdit>("edtAccessDB")->text().isEmpty());
    EXPECT_EQ(list()->count(), 0);
}

struct UserLoginCase
{
    const char* name;
    TLoginUserAnswer answer;
    bool opened;
};

void PrintTo(const UserLoginCase& c, std::ostream* os)
{
    *os << c.name;
}

class UserLogin : public WindowDatabaseTest, public ::testing::WithParamInterface<UserLoginCase>
{
};

TEST_P(UserLogin, RefusedAccountIsAskedForThroughTheUserDialog)
{
    const UserLoginCase& c = GetParam();
    const QString path = makeFile();
    startOnAccessPage();
    window->SetDatabase(path);
    window->SetUser(QStringLiteral("Maria"));
    window->SetUserPassword(QStringLiteral("x"));
    prompter->userLoginAnswers.enqueue(c.answer);
    prompter->errorsExpected = false;

    window->OpenAccessDatabase();

    EXPECT_EQ(prompter->kinds(), QStringList{"login-user"});
    EXPECT_EQ(window->User(), c.answer.OK ? c.answer.User : QString());
    EXPECT_EQ(window->UserPassword(), c.answer.OK ? c.answer.Password : QString());
    EXPECT_EQ(window->Database(), c.opened ? path : QString());
    EXPECT_EQ(child<QLineEdit>("edtAccessDB")->text(), c.opened ? path : QString());
    // A cancelled login empties the file field, and with it goes the refused back end.
    ASSERT_EQ(window->Connection->ADOXConnection != nullptr, c.opened);
    if (c.opened) {
        EXPECT_EQ(window->Connection->ADOXConnection->ErrorItem->Number, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, UserLogin,
                         ::testing::Values(UserLoginCase{"admin", {true, "admin", ""}, true},
                                           UserLoginCase{"cancel", {false, "", ""}, false}));

TEST_F(WindowDatabaseTest, MissingFileShowsOneErrorBoxAndAnEmptyList)
{
    startOnAccessPage();
    const QString missing = folder.filePath(QStringLiteral("gone.mdb"));
    prompter->openAnswers.enqueue(missing);

    action("actOpenDatabase")->trigger();

    EXPECT_EQ(prompter->kinds(), (QStringList{"open", "error"}));
    const auto errors = prompter->ofKind("error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].text, QStringLiteral("5003024: Could not find file '%1'.").arg(missing));
    EXPECT_EQ(errors[0].errorKind, 0);
    EXPECT_EQ(list()->count(), 0);
}

TEST_F(WindowDatabaseTest, CancelledFileDialogOpensNothing)
{
    startOnAccessPage();
    prompter->openAnswers.enqueue(QString());
    action("actOpenDatabase")->trigger();
    EXPECT_EQ(prompter->kinds(), QStringList{"open"});
    EXPECT_TRUE(window->AccessConnectionString.isEmpty());
    EXPECT_TRUE(window->Database().isEmpty());
}

// The entries as the file dialog lists them: the name, then the patterns it filters by.
TEST_F(WindowDatabaseTest, TheFirstFilterEntryShowsBothAccessFormatsInAnyCase)
{
    startOnAccessPage();
    prompter->openAnswers.enqueue(QString());
    action("actOpenDatabase")->trigger();
    ASSERT_EQ(prompter->kinds(), QStringList{"open"});
    const QStringList filters = QtNameFilters(prompter->shown[0].preset);
    ASSERT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters[0].startsWith(LoadUIText(43) + QStringLiteral(" (")));
    EXPECT_TRUE(filters[1].startsWith(QStringLiteral("Alle Dateien")));

    QTemporaryDir dir;
    const QStringList names{"a.mdb", "B.MDB", "c.accdb", "D.ACCDB", "e.AcCdB", "f.txt", "g.mdb.bak", "h.ldb"};
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // The patterns stand in the last pair of parentheses, separated by blanks.
    const QString first = filters[0];
    const qsizetype open = first.lastIndexOf(u'(');
    const QStringList patterns = first.mid(open + 1, first.size() - open - 2).split(u' ');
    EXPECT_EQ(QDir(dir.path()).entryList(patterns, QDir::Files, QDir::Name),
              (QStringList{"B.MDB", "D.ACCDB", "a.mdb", "c.accdb", "e.AcCdB"}));
}

TEST_F(WindowDatabaseTest, OutputWritesTheSameLinesAsTheReportWriter)
{
    startOnAccessPage();
    prompter->openAnswers.enqueue(makeFile());
    action("actOpenDatabase")->trigger();
    child<QLineEdit>("edtAccessVersion")->setText(QStringLiteral("v 1.0"));
    action("actMarkAll")->trigger();
    child<QTextEdit>("memOutput")->setPlainText(QStringLiteral("old report"));

    action("actOutput")->trigger();

    TReportSettings settings;
    settings.provider = ptAccess;
    settings.database = window->Database();
    settings.versionText = QStringLiteral("v 1.0");
    settings.clock = [] { return kFixedTime; };
    settings.locale = QLocale();
    QList<TReportEntry> reportEntries;
    for (const QString& name : entries(false))
        reportEntries.append({name, checked().contains(name)});
    TStringLineSink expected;
    TReportRunHooks quiet;
    RunStructureReport(*window->Connection, settings, reportEntries, expected, quiet);

    EXPECT_EQ(paneLines(), expected.lines());
    EXPECT_EQ(paneLines().constFirst(), QString(6, u' ') + QString(70, u'*'));
    EXPECT_TRUE(paneLines().contains(QStringLiteral("      *** Table02 ") + QString(58, u'*')));
    EXPECT_EQ(child<QProgressBar>("pbrAufbau")->value(), 0);
    EXPECT_FALSE(window->reportRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The report's columns line up only in the pane's fixed-pitch font.
    auto* pane = child<QTextEdit>("memOutput");
    EXPECT_EQ(pane->document()->defaultFont().family(), pane->font().family());
    EXPECT_TRUE(pane->document()->isUndoRedoEnabled());

    // A second run replaces the first.
    action("actOutput")->trigger();
    EXPECT_EQ(paneLines(), expected.lines());
}

TEST_F(WindowDatabaseTest, OpenRefreshAndOutputStartTheReaderOnce)
{
    // A script before the real reader logs each run.
    const QString reader = JetReaderProgram();
    QFile script(folder.filePath(QStringLiteral("reader")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$0.log\"\nexec '" + reader.toUtf8() + "' \"$@\"\n");
    script.close();
    ASSERT_TRUE(
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    SetJetReaderProgram(script.fileName());
    auto runs = [&] {
        QFile log(script.fileName() + QStringLiteral(".log"));
        return log.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    };

    startOnAccessPage();
    const QString path = makeFile();
    prompter->openAnswers.enqueue(path);
    action("actOpenDatabase")->trigger();
    action("actRefresh")->trigger();
    action("actMarkAll")->trigger();
    action("actOutput")->trigger();
    EXPECT_EQ(entries(true), (QStringList{"Table01", "Table02", "Table03"}));
    EXPECT_TRUE(paneLines().contains(QStringLiteral("      *** Table02 ") + QString(58, u'*')));
    EXPECT_EQ(runs(), QStringList{QStringLiteral("catalogue")});

    // The file changed under the open catalogue: the system tables are asked for anew.
    jet::Database changed;
    changed.tables << table(QStringLiteral("Table01"), 3)
                   << jet::Table{QStringLiteral("Secret"), table(QStringLiteral("S"), 1).columns,
                                 jet::TableFlag::Hidden, 0};
    jet::writeFile(path, changed);
    action("actEnableSys")->trigger();
    EXPECT_EQ(runs(), (QStringList{QStringLiteral("catalogue"), QStringLiteral("query")}));
    SetJetReaderProgram(reader);
}

TEST_F(WindowDatabaseTest, SplitApplicationListsAndReportsItsLinkedTablesWithoutMessages)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("app")));
    const QString front = WriteSplitApplication(folder.filePath(QStringLiteral("app")));
    startOnAccessPage();
    prompter->openAnswers.enqueue(front);
    prompter->errorsExpected = false;

    action("actOpenDatabase")->trigger();
    EXPECT_EQ(entries(true), SplitApplicationTables());
    action("actMarkAll")->trigger();
    action("actOutput")->trigger();

    // Unresolved links show their title line only, and no box is shown for them.
    EXPECT_EQ(prompter->kinds(), QStringList{"open"});
    const QStringList lines = paneLines();
    ASSERT_GT(lines.size(), 9);
    EXPECT_EQ(lines.mid(8, lines.size() - 9), SplitApplicationReportBody(false));
    EXPECT_EQ(lines.constLast(), lines.constFirst());
}

TEST_F(WindowDatabaseTest, OutputWithAnEmptyListOnlyEmptiesThePane)
{
    start();
    child<QTextEdit>("memOutput")->setPlainText(QStringLiteral("old report"));
    action("actOutput")->trigger();
    EXPECT_TRUE(paneLines().isEmpty());
    EXPECT_TRUE(prompter->shown.isEmpty());
}

TEST_F(WindowDatabaseTest, BreakStopsAfterTheEntryInProgressAndOtherCommandsWait)
{
    startOnAccessPage();
    prompter->openAnswers.enqueue(makeFile({}, 8));
    action("actOpenDatabase")->trigger();
    action("actMarkAll")->trigger();
    const int userTables = checked().size();
    ASSERT_EQ(userTables, 8);
    const int listSize = list()->count();
    // Every entry reaches the pane as soon as it is written.
    window->setPaneInterval(0);
    // Shown and active, so that shortcuts reach it.
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();

    // Break is pressed while the third table is written; the press is handled when the run
    // processes events after that entry.
    const QString third = QStringLiteral("      *** Table03 ");
    auto* bar = child<QProgressBar>("pbrAufbau");
    const int thirdPosition = entries(false).indexOf(QStringLiteral("Table03")) + 1;
    bool pressed = false;
    QObject::connect(bar, &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (pressed || value != thirdPosition)
            return;
        pressed = true;
        QTimer::singleShot(0, window.get(), [&] {
            EXPECT_TRUE(window->reportRunning());
            ASSERT_NE(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            // The pane shows the report as far as it is written, not only when the run ends.
            const QString soFar = paneLines().join(u'\n');
            EXPECT_TRUE(soFar.contains(third));
            EXPECT_FALSE(soFar.contains(QStringLiteral("*** Table04")));
            action("actRefresh")->trigger(); // refused while the run goes on
            // Refused as well, and the menu item's mark stays as it was.
            action("tbiSysTables")->trigger();
            EXPECT_FALSE(action("tbiSysTables")->isChecked());
            QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
            EXPECT_FALSE(action("tbiSysTables")->isChecked());
            // Break as the user presses it.
            QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        });
    });

    action("actOutput")->trigger();

    const QStringList lines = paneLines();
    EXPECT_TRUE(lines.join(u'\n').contains(third));
    EXPECT_FALSE(lines.join(u'\n').contains(QStringLiteral("*** Table04")));
    // No closing frame after a cancelled run: the last line is a column of the third table.
    EXPECT_TRUE(lines.constLast().contains(QStringLiteral("Table03_Col3")))
        << lines.constLast().toStdString();
    EXPECT_EQ(list()->count(), listSize);
    EXPECT_EQ(checked().size(), userTables);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(bar->value(), thirdPosition);
    EXPECT_FALSE(window->reportRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The next run starts afresh and runs to its end.
    action("actOutput")->trigger();
    EXPECT_EQ(paneLines().constLast(), QString(6, u' ') + QString(70, u'*'));
}

// A long run on a wide file: lines come far faster than the pane can lay them out, so the pane
// takes them in bounded batches and input is handled between them. A Break typed while a batch
// is being laid out ends the run at the next entry, and the pane then holds exactly the report
// up to that entry.
TEST_F(WindowDatabaseTest, BreakTypedWhileThePaneTakesABatchEndsALongRunAtAnEntry)
{
    jet::Database db;
    constexpr int kTables = 120;
    for (int i = 1; i <= kTables; ++i)
        db.tables << table(QStringLiteral("Wide%1").arg(i, 3, 10, QLatin1Char('0')), 250);
    const QString path = folder.filePath(QStringLiteral("wide.mdb"));
    jet::writeFile(path, db);
    startOnAccessPage();
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    prompter->openAnswers.enqueue(path);
    action("actOpenDatabase")->trigger();
    action("actMarkAll")->trigger();
    action("actOutput")->trigger();
    const QStringList whole = paneLines();
    ASSERT_GT(whole.size(), kTables * 250);

    // The press is typed the moment the pane has taken its third batch (the header is the first).
    QTextDocument* document = child<QTextEdit>("memOutput")->document();
    int batches = 0;
    bool typed = false;
    QObject::connect(document, &QTextDocument::contentsChange, window.get(), [&](int, int, int added) {
        if (added <= 1 || ++batches != 3)
            return;
        QTimer::singleShot(0, window.get(), [&] {
            typed = true;
            QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        });
    });
    action("actOutput")->trigger();
    QObject::disconnect(document, nullptr, window.get(), nullptr);

    ASSERT_TRUE(typed);
    const QStringList broken = paneLines();
    const int reached = child<QProgressBar>("pbrAufbau")->value();
    EXPECT_GT(reached, 0);
    EXPECT_LT(reached, kTables) << "the run went on to its end";
    // Header plus whole blocks of the first entries, as in the complete report, and nothing after.
    const auto headerLines = whole.indexOf(QRegularExpression(QStringLiteral("^ {6}\\*{3} Wide001 \\*+$")));
    ASSERT_GT(headerLines, 0);
    // The list holds the greyed system tables too; only the checked entries before the break wrote a block.
    int written = 0;
    for (int i = 0; i < reached; ++i)
        written += list()->item(i)->checkState() == Qt::Checked ? 1 : 0;
    ASSERT_EQ(broken.size(), headerLines + written * 251);
    EXPECT_EQ(broken, whole.mid(0, broken.size()));
    EXPECT_TRUE(broken.constLast().contains(QStringLiteral("Col250"))) << broken.constLast().toStdString();
    EXPECT_FALSE(window->reportRunning());
}

TEST_F(WindowDatabaseTest, PaneFollowsTheReportWhileItGrows)
{
    startOnAccessPage();
    window->show();
    QApplication::processEvents();
    prompter->openAnswers.enqueue(makeFile({}, 30));
    action("actOpenDatabase")->trigger();
    action("actMarkAll")->trigger();
    window->setPaneInterval(0);

    auto* pane = child<QTextEdit>("memOutput");
    auto* bar = child<QProgressBar>("pbrAufbau");
    const int position = entries(false).indexOf(QStringLiteral("Table20")) + 1;
    int scrolledTo = -1;
    int scrollEnd = -1;
    QObject::connect(bar, &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (value != position)
            return;
        // Looked at after the run has let the pane catch up, as the user would see it.
        QTimer::singleShot(0, window.get(), [&] {
            QTimer::singleShot(0, window.get(), [&] {
                scrolledTo = pane->verticalScrollBar()->value();
                scrollEnd = pane->verticalScrollBar()->maximum();
            });
        });
    });

    action("actOutput")->trigger();

    ASSERT_GT(scrollEnd, 0) << "the pane was not looked at while the run went on";
    EXPECT_EQ(scrolledTo, scrollEnd);
    // After the run the pane shows the report's last line.
    QApplication::processEvents();
    QScrollBar* scroll = pane->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), scrollEnd);
    EXPECT_EQ(scroll->value(), scroll->maximum());
}

TEST_F(WindowDatabaseTest, ClosingDuringAReportStopsTheRunThenCloses)
{
    startOnAccessPage();
    window->show();
    prompter->openAnswers.enqueue(makeFile({}, 6));
    action("actOpenDatabase")->trigger();
    action("actMarkAll")->trigger();
    auto* pages = child<QTabWidget>("pgcProvider");
    auto* bar = child<QProgressBar>("pbrAufbau");
    const int secondPosition = entries(false).indexOf(QStringLiteral("Table02")) + 1;
    bool done = false;
    QObject::connect(bar, &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (done || value != secondPosition)
            return;
        done = true;
        QTimer::singleShot(0, window.get(), [&] {
            // The page stays while the run reads through its facade.
            pages->setCurrentWidget(child<QWidget>("tshSQLServer"));
            EXPECT_EQ(pages->currentWidget(), child<QWidget>("tshAccess"));
            EXPECT_EQ(window->Provider(), ptAccess);
            window->close();
            EXPECT_NE(window->Connection, nullptr);
        });
    });

    action("actOutput")->trigger();
    ASSERT_TRUE(done);
    EXPECT_FALSE(paneLines().join(u'\n').contains(QStringLiteral("*** Table03")));
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Connection, nullptr);
    // Commands after closing find no facade and do nothing.
    action("actRefresh")->trigger();
    EXPECT_TRUE(prompter->ofKind("default-error").isEmpty());
}

struct DelimiterCase
{
    const char* answer; // nullptr: cancelled
    QChar expected;
};

void PrintTo(const DelimiterCase& c, std::ostream* os)
{
    *os << (c.answer ? c.answer : "(cancel)");
}

class DelimiterCommand : public WindowDatabaseTest, public ::testing::WithParamInterface<DelimiterCase>
{
};

TEST_P(DelimiterCommand, KeepsTheFirstCharacterAndStoresIt)
{
    const DelimiterCase& c = GetParam();
    start();
    if (c.answer)
        prompter->answerInput(QString::fromUtf8(c.answer));
    else
        prompter->cancelInput();
    // Something else in the file must survive the write.
    WriteSetting(QStringLiteral("Application"), QStringLiteral("Filename"), QStringLiteral("r.rtf"));

    action("actSetDelimiter")->trigger();

    ASSERT_EQ(prompter->ofKind("input").size(), 1);
    EXPECT_EQ(prompter->shown[0].title, "Eingabedialog");
    EXPECT_EQ(prompter->shown[0].text, "Geben Sie ein Trennzeichen ein !");
    EXPECT_EQ(prompter->shown[0].preset, "*");
    EXPECT_EQ(window->DelimiterChar(), c.expected);
    EXPECT_EQ(IniReadString(iniPath(), "Application", "Delimiter"), QString(c.expected));
    EXPECT_EQ(IniReadString(iniPath(), "Application", "Filename"), "r.rtf");
}

INSTANTIATE_TEST_SUITE_P(Answers, DelimiterCommand,
                         ::testing::Values(DelimiterCase{"=", u'='}, DelimiterCase{"#-", u'#'},
                                           DelimiterCase{nullptr, u'*'}, DelimiterCase{"", u'*'},
                                           DelimiterCase{"§", u'§'}));

TEST_F(WindowDatabaseTest, DelimiterChangeAppliesToTheNextReport)
{
    startOnAccessPage();
    prompter->openAnswers.enqueue(makeFile({}, 1));
    action("actOpenDatabase")->trigger();
    action("actMarkAll")->trigger();
    prompter->answerInput(QStringLiteral("="));
    action("actSetDelimiter")->trigger();
    action("actOutput")->trigger();
    EXPECT_EQ(paneLines().constFirst(), QString(6, u' ') + QString(70, u'='));
    EXPECT_EQ(paneLines().constLast(), QString(6, u' ') + QString(70, u'='));
}

// ---------------------------------------------------------------------------------------------
// SQL Server page

TEST_F(WindowDatabaseTest, CancelledDataLinkDialogOpensNothing)
{
    start();
    prompter->dataLinkAnswers.enqueue(nullptr);
    action("actOpenDatabase")->trigger();

    ASSERT_EQ(prompter->kinds(), QStringList{"data-link"});
    EXPECT_TRUE(prompter->shown[0].preset.startsWith(
        QStringLiteral("Provider=SQLOLEDB;Password=;User ID=;Data Source=;Persist Security Info=False;")));
    EXPECT_TRUE(window->SQLServerConnectionString.isEmpty());
    EXPECT_EQ(window->SavePW(), "False");
    EXPECT_EQ(list()->count(), 0);
}

TEST_F(WindowDatabaseTest, ConfirmedDataLinkDialogSetsTheConnectionProperties)
{
    start();
    // A port nobody listens on: the log-in fails at once, and the refresh after it says so.
    const QString answer =
        QStringLiteral("Provider=SQLOLEDB.1;Password=pw;Persist Security Info=False;User ID=sa;"
                       "Initial Catalog=Sales;Data Source=127.0.0.1,1");
    prompter->dataLinkAnswers.enqueue([answer](const QString&) { return answer; });

    action("actOpenDatabase")->trigger();

    ASSERT_EQ(prompter->kinds(), (QStringList{"data-link", "default-error"}));
    EXPECT_TRUE(
        prompter->shown[1].text.startsWith("Der Server '127.0.0.1,1' konnte nicht erreicht werden.\n"))
        << prompter->shown[1].text.toStdString();
    // Named once, in the UI language, with the host and port that were tried.
    EXPECT_FALSE(prompter->shown[1].text.contains("Cannot connect")) << prompter->shown[1].text.toStdString();
    EXPECT_TRUE(prompter->shown[1].text.contains("host 127.0.0.1, port 1: "))
        << prompter->shown[1].text.toStdString();

    EXPECT_EQ(window->SQLServerConnectionString, answer);
    EXPECT_EQ(window->Server(), "127.0.0.1,1");
    EXPECT_EQ(window->Database(), "Sales");
    EXPECT_EQ(child<QLineEdit>("edtSQLDatabase")->text(), "Sales");
    EXPECT_EQ(window->User(), "sa");
    // Not to be kept: the property is emptied although the string still carries it.
    EXPECT_TRUE(window->Password().isEmpty());
    EXPECT_EQ(window->SavePW(), "False");
    EXPECT_EQ(list()->count(), 0);
}

// The Options menu's Extended report item: after the system-tables item, off at first, kept in the
// settings file across starts, and Output then writes each table's structure under its columns.
TEST_F(WindowDatabaseTest, ExtendedReportItemIsKeptAndAddsTheStructureToTheOutput)
{
    const QString file = folder.filePath(QStringLiteral("rich.mdb"));
    jet::writeFile(file, jet::richDatabase());
    // The settings file's language (German by default) labels the lines.
    const QRegularExpression keyLine(
        QStringLiteral("^ {10}Primärschlüssel +PrimaryKey \\(OrderID, ProductID\\)$"));
    const auto outputOf = [&] {
        prompter->openAnswers.enqueue(file);
        action("actOpenDatabase")->trigger();
        action("actMarkAll")->trigger();
        action("actOutput")->trigger();
        return paneLines();
    };
    startOnAccessPage();
    const QList<QAction*> options = child<QMenu>("tbsiOptionen")->actions();
    ASSERT_EQ(options.indexOf(action("actExtendedReport")), options.indexOf(action("tbiSysTables")) + 1);
    EXPECT_FALSE(action("actExtendedReport")->isChecked());
    const QStringList plain = outputOf();
    EXPECT_TRUE(plain.filter(keyLine).isEmpty());

    action("actExtendedReport")->trigger();
    EXPECT_TRUE(readIni().contains("ExtendedReport=1"));
    const QStringList extended = outputOf();
    const qsizetype title =
        extended.indexOf(ReportLine(TitleText(u'*', QStringLiteral("Order Details"), true)));
    ASSERT_GE(title, 0);
    // Six column lines, each column's type as Access's design view names it in the UI language,
    // then the keys.
    EXPECT_EQ(extended.value(title + 7),
              QStringLiteral("          Typ               OrderID: Zahl (Long Integer)"));
    EXPECT_TRUE(keyLine.match(extended.value(title + 13)).hasMatch())
        << extended.value(title + 13).toStdString();
    EXPECT_EQ(extended.size() - plain.size(),
              extended.filter(QRegularExpression(QStringLiteral("^ {10}\\S"))).size() -
                  plain.filter(QRegularExpression(QStringLiteral("^ {10}\\S"))).size());

    window.reset();
    startOnAccessPage();
    EXPECT_TRUE(action("actExtendedReport")->isChecked());
    action("actExtendedReport")->trigger();
    EXPECT_TRUE(readIni().contains("ExtendedReport=0"));
}
