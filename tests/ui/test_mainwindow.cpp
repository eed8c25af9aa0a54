// The main window: first start, settings location, language on every control, the language
// command, the page switch, the Access file field, shortcuts and the output button.
#include "WindowFixture.h"

#include "AppResources.h"
#include "KorvIniFiles.h"
#include "UIText.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>

#include <ostream>

namespace {

QStringList contentLines(const QByteArray& text)
{
    QStringList lines;
    for (const QByteArray& line : text.split('\n')) {
        const QString trimmed = QString::fromUtf8(line).trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

void addTable(QListWidget* list, const QString& name)
{
    auto* item = new QListWidgetItem(name, list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
}

} // namespace

using MainWindowTest = WindowFixture;

TEST_F(MainWindowTest, FirstStartWritesDefaultsAndOpensEmptyInGerman)
{
    ASSERT_FALSE(QFile::exists(iniPath()));
    start();

    EXPECT_EQ(SettingsFileName(), iniPath());
    EXPECT_EQ(contentLines(readIni()), (QStringList{"[Application]", "Language=1", "Delimiter=*"}));
    EXPECT_EQ(CurrentLanguage, 1);
    EXPECT_EQ(window->DelimiterChar(), QChar(u'*'));
    EXPECT_EQ(window->objectName(), "frmMain");
    EXPECT_EQ(window->windowTitle(), "Orvane");
    EXPECT_EQ(window->size(), QSize(842, 543));

    auto* pages = child<QTabWidget>("pgcProvider");
    EXPECT_EQ(pages->currentWidget(), child<QWidget>("tshSQLServer"));
    EXPECT_EQ(window->Provider(), ptSQLServer);
    ASSERT_NE(window->Connection, nullptr);
    EXPECT_EQ(window->Connection->ConnectionType, ctDMO);
    EXPECT_EQ(child<QMenu>("tbsiDatei")->title(), "&Datei");

    for (const char* name :
         {"edtSQLServer", "edtSQLDatabase", "edtSQLServerVersion", "edtAccessDB", "edtAccessVersion"})
        EXPECT_TRUE(child<QLineEdit>(name)->text().isEmpty()) << name;
    EXPECT_EQ(child<QListWidget>("chkTables")->count(), 0);
    EXPECT_TRUE(child<QTextEdit>("memOutput")->toPlainText().isEmpty());
    EXPECT_TRUE(child<QRadioButton>("rbTables")->isChecked());
    EXPECT_FALSE(action("tbiSysTables")->isChecked());
    EXPECT_EQ(child<QProgressBar>("pbrAufbau")->value(), 0);
    EXPECT_EQ(child<QLineEdit>("edtSearch")->text(), "...");
    EXPECT_TRUE(window->Server().isEmpty() && window->Database().isEmpty() && window->User().isEmpty() &&
                window->Password().isEmpty() && window->SavePW().isEmpty());
    EXPECT_TRUE(prompter->shown.isEmpty());
}

TEST_F(MainWindowTest, ExistingSettingsAreNotOverwritten)
{
    writeIni("[Application]\nLanguage=English\nDelimiter=#-\n[PR_Access_x]\nDatabase=a.mdb\n");
    start();
    EXPECT_EQ(CurrentLanguage, 2);
    // Only the first character of a longer value delimits.
    EXPECT_EQ(window->DelimiterChar(), QChar(u'#'));
    EXPECT_EQ(IniReadString(iniPath(), "PR_Access_x", "Database"), "a.mdb");
}

TEST_F(MainWindowTest, MissingDelimiterKeyGivesTheMarkersFirstCharacter)
{
    writeIni("[Application]\nLanguage=1\n");
    start();
    EXPECT_EQ(window->DelimiterChar(), QChar(u'_'));
}

TEST_F(MainWindowTest, StartsWhenTheProgramFolderCannotBeWritten)
{
    // A "folder" that is a plain file cannot take a settings file, whoever runs the tests.
    const QString blocker = folder.filePath(QStringLiteral("bin"));
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString configFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QFile::remove(QDir(configFolder).filePath(QStringLiteral("orvane.ini")));

    start(blocker + QStringLiteral("/orvane"));

    EXPECT_FALSE(SettingsFileName().startsWith(blocker));
    EXPECT_TRUE(QFile::exists(SettingsFileName()));
    EXPECT_EQ(contentLines(readIni()), (QStringList{"[Application]", "Language=1", "Delimiter=*"}));
    EXPECT_EQ(child<QMenu>("tbsiDatei")->title(), "&Datei");
    EXPECT_TRUE(prompter->shown.isEmpty());
    QFile::remove(SettingsFileName());
}

TEST_F(MainWindowTest, StartsInGermanWhenNoSettingsFileCanBeWrittenAnywhere)
{
    const QString blocker = folder.filePath(QStringLiteral("bin"));
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // The fallback folder lies under the home folder; a home that is a plain file takes nothing.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", blocker.toUtf8());
    start(blocker + QStringLiteral("/orvane"));
    qputenv("HOME", home);

    const auto errors = prompter->ofKind("default-error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].text.contains(QStringLiteral("kann nicht geschrieben werden")));
    // The failure is reported and the window still comes up complete.
    EXPECT_EQ(CurrentLanguage, 1);
    EXPECT_EQ(child<QMenu>("tbsiDatei")->title(), "&Datei");
    EXPECT_EQ(window->Connection->ConnectionType, ctDMO);
}

// ---------------------------------------------------------------------------------------------
// Texts on the controls

struct LanguageCase
{
    const char* setting;
    int code;
    const char* fileMenu;
    const char* editMenu;
    const char* exitCaption;
    const char* exitHint;
    const char* saveHint;
    const char* sqlTab;
    const char* accessLabel;
    const char* tablesRadio;
    const char* openButtonHint;
};

void PrintTo(const LanguageCase& c, std::ostream* os)
{
    *os << c.setting;
}

class LanguageOnControls : public WindowFixture, public ::testing::WithParamInterface<LanguageCase>
{
};

TEST_P(LanguageOnControls, ShowTheLanguagesTexts)
{
    const LanguageCase& c = GetParam();
    writeIni(QByteArray("[Application]\nLanguage=") + c.setting + "\nDelimiter=*\nFilename=Orvane.txt\n");
    start();

    EXPECT_EQ(CurrentLanguage, c.code);
    EXPECT_EQ(child<QMenu>("tbsiDatei")->title(), QString::fromUtf8(c.fileMenu));
    EXPECT_EQ(child<QMenu>("tbsiBearbeiten")->title(), QString::fromUtf8(c.editMenu));
    EXPECT_EQ(action("actExit")->text(), QString::fromUtf8(c.exitCaption));
    EXPECT_EQ(action("actExit")->toolTip(), QString::fromUtf8(c.exitHint));
    EXPECT_EQ(action("actSaveListbox")->toolTip(), QString::fromUtf8(c.saveHint));
    auto* pages = child<QTabWidget>("pgcProvider");
    EXPECT_EQ(pages->tabText(0), QString::fromUtf8(c.sqlTab));
    EXPECT_EQ(child<QLabel>("lblAccessDatenbank")->text(), QString::fromUtf8(c.accessLabel));
    EXPECT_EQ(child<QRadioButton>("rbTables")->text(), QString::fromUtf8(c.tablesRadio));
    EXPECT_EQ(child<QToolButton>("btnOpenDatabase")->toolTip(), QString::fromUtf8(c.openButtonHint));
    // The output command never has a caption, in no language.
    EXPECT_TRUE(action("actOutput")->text().isEmpty());
    EXPECT_FALSE(action("actOutput")->toolTip().isEmpty());
    EXPECT_EQ(window->windowTitle(), "Orvane");

    // As narrow as the window goes, the Tables/Views choice still shows whole.
    window->show();
    window->resize(1, 400);
    QApplication::processEvents();
    const QWidget* column = child<QWidget>("pnlSQLServer3");
    for (const char* name : {"lblSQLServerSelect", "rbTables", "rbViews"}) {
        const QWidget* text = child<QWidget>(name);
        EXPECT_GE(text->width(), text->sizeHint().width()) << name;
        EXPECT_LE(text->geometry().right(), column->width() - 1) << name;
        EXPECT_GE(column->mapTo(window.get(), QPoint(column->width(), 0)).x(),
                  text->mapTo(window.get(), QPoint(text->width(), 0)).x())
            << name;
        EXPECT_LE(column->mapTo(window.get(), QPoint(column->width(), 0)).x(), window->width()) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LanguageOnControls,
    ::testing::Values(LanguageCase{"1", 1, "&Datei", "&Bearbeiten", "&Beenden", "Beenden",
                                   "Ausgabe speichern in <TEMP>:\\Orvane.txt", "SQLServer", "Datenbankname",
                                   "Tabellen", "Datenbank öffnen"},
                      LanguageCase{"english", 2, "&File", "&Edit", "&Exit", "Exit",
                                   "Save Output to file <TEMP>:\\Orvane.txt", "SQLServer", "Databasename",
                                   "Tables", "Open Database"},
                      LanguageCase{"DEBUG", 99, "#51", "#52", "#91", "#92", "#84Orvane.txt", "#3", "#41",
                                   "#26", "#112"}));

// With the identifiers on display every command shows which texts it was given, so a wrong pair
// anywhere in the table shows up.
struct CommandCase
{
    const char* action;
    int captionId; // 0: no caption
    int hintId;
};

void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.action;
}

class CommandTexts : public WindowFixture, public ::testing::WithParamInterface<CommandCase>
{
};

TEST_P(CommandTexts, CaptionAndHintFollowTheirIdentifiers)
{
    writeIni("[Application]\nLanguage=99\nDelimiter=*\nFilename=r.rtf\n");
    start();
    const CommandCase& c = GetParam();
    QAction* command = action(c.action);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->text(), c.captionId ? QStringLiteral("#%1").arg(c.captionId) : QString());
    QString hint = QStringLiteral("#%1").arg(c.hintId);
    if (c.hintId == 84)
        hint += QStringLiteral("r.rtf");
    EXPECT_EQ(command->toolTip(), hint);
}

INSTANTIATE_TEST_SUITE_P(
    AllCommands, CommandTexts,
    ::testing::Values(CommandCase{"actExit", 91, 92}, CommandCase{"actOpenDatabase", 111, 112},
                      CommandCase{"actRefresh", 99, 100}, CommandCase{"actMarkAll", 95, 96},
                      CommandCase{"actMarkNo", 97, 98}, CommandCase{"actPrint", 93, 94},
                      CommandCase{"actSaveListbox", 83, 84}, CommandCase{"actSaveClipboard", 85, 86},
                      CommandCase{"actFindText", 87, 88}, CommandCase{"actBreak", 89, 90},
                      CommandCase{"actOutput", 0, 102}, CommandCase{"actEnableSys", 81, 82},
                      CommandCase{"actExtendedReport", 349, 350}, CommandCase{"actSetLanguage", 105, 106},
                      CommandCase{"actSetDelimiter", 103, 104}, CommandCase{"actSetProfil", 107, 108},
                      CommandCase{"actDeleteProfile", 109, 110}, CommandCase{"actInfoUeber", 113, 114}));

TEST_F(MainWindowTest, LabelsAndTabsFollowTheirIdentifiers)
{
    writeIni("[Application]\nLanguage=99\n");
    start();
    const std::pair<const char*, int> labels[] = {{"lblSQLServerServer", 22},  {"lblSQLServerDatenbank", 23},
                                                  {"lblSQLServerVersion", 24}, {"lblSQLServerProfil", 21},
                                                  {"lblSQLServerSelect", 25},  {"lblAccessDatenbank", 41},
                                                  {"lblAccessProfil", 21},     {"lblAccessVersion", 24}};
    for (const auto& [name, id] : labels)
        EXPECT_EQ(child<QLabel>(name)->text(), QStringLiteral("#%1").arg(id)) << name;
    EXPECT_EQ(child<QRadioButton>("rbViews")->text(), "#27");
    EXPECT_EQ(child<QTabWidget>("pgcProvider")->tabText(1), "#4");
    EXPECT_EQ(child<QMenu>("tbsiOptionen")->title(), "#53");
    EXPECT_EQ(child<QMenu>("tbsiHilfe")->title(), "#54");
    // Absent "Filename": the reader's marker stands where the file name would be.
    EXPECT_EQ(action("actSaveListbox")->toolTip(), "#84_$$$_");
}

TEST_F(MainWindowTest, MenusHoldTheirCommandsInOrder)
{
    start();
    const auto names = [this](const char* menu) {
        QStringList result;
        for (QAction* item : child<QMenu>(menu)->actions())
            result << (item->isSeparator() ? QStringLiteral("|") : item->objectName());
        return result;
    };
    EXPECT_EQ(names("tbsiDatei"),
              (QStringList{"actPrint", "|", "actExit", "|", "actSaveStructure", "actCompareWith"}));
    EXPECT_EQ(names("tbsiBearbeiten"), (QStringList{"actMarkAll", "actMarkNo", "|", "actSaveClipboard",
                                                    "actSaveListbox", "|", "actFindText", "actRefresh"}));
    EXPECT_EQ(names("tbsiOptionen"),
              (QStringList{"actSetLanguage", "actSetDelimiter", "tbiSysTables", "actExtendedReport"}));
    EXPECT_EQ(names("tbsiHilfe"), (QStringList{"actInfoUeber"}));
    // Key names beside the menu items are the toolkit's German ones in every language.
    EXPECT_TRUE(action("tbiSysTables")->text().endsWith(QStringLiteral("\tStrg+Alt+S")))
        << action("tbiSysTables")->text().toStdString();
}

// ---------------------------------------------------------------------------------------------
// The language command

struct LanguageCommandCase
{
    const char* stored;
    const char* answer; // nullptr: cancelled
    const char* title;
    const char* prompt;
    const char* preset;
    const char* storedAfter;
    int codeAfter;
    const char* editMenuAfter;
};

void PrintTo(const LanguageCommandCase& c, std::ostream* os)
{
    *os << c.stored << " -> " << (c.answer ? c.answer : "(cancel)");
}

class LanguageCommand : public WindowFixture, public ::testing::WithParamInterface<LanguageCommandCase>
{
};

TEST_P(LanguageCommand, StoresTheAnswerAndAppliesIt)
{
    const LanguageCommandCase& c = GetParam();
    writeIni(QByteArray("[Application]\nLanguage=") + c.stored + "\nDelimiter=*\n");
    start();
    if (c.answer)
        prompter->answerInput(QString::fromUtf8(c.answer));
    else
        prompter->cancelInput();

    action("actSetLanguage")->trigger();

    ASSERT_EQ(prompter->ofKind("input").size(), 1);
    const auto shown = prompter->ofKind("input").constFirst();
    EXPECT_EQ(shown.title, QString::fromUtf8(c.title));
    EXPECT_EQ(shown.text, QString::fromUtf8(c.prompt));
    EXPECT_EQ(shown.preset, QString::fromUtf8(c.preset));
    EXPECT_EQ(IniReadString(iniPath(), "Application", "Language"), QString::fromUtf8(c.storedAfter));
    EXPECT_EQ(CurrentLanguage, c.codeAfter);
    EXPECT_EQ(child<QMenu>("tbsiBearbeiten")->title(), QString::fromUtf8(c.editMenuAfter));
    EXPECT_TRUE(prompter->ofKind("default-error").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LanguageCommand,
    ::testing::Values(
        LanguageCommandCase{"1", "Deutsch", "Eingabedialog", "Geben Sie eine Sprache ein !", "1", "Deutsch",
                            1, "&Bearbeiten"},
        LanguageCommandCase{"English", nullptr, "Input Dialog", "Input new Language !", "2", "2", 2, "&Edit"},
        LanguageCommandCase{"1", "e", "Eingabedialog", "Geben Sie eine Sprache ein !", "1", "e", 2, "&Edit"},
        LanguageCommandCase{"2", "Englisch", "Input Dialog", "Input new Language !", "2", "Englisch", 1,
                            "&Bearbeiten"},
        LanguageCommandCase{"99", nullptr, "#151", "#152", "99", "99", 99, "#52"},
        LanguageCommandCase{"Debug", "2", "#151", "#152", "99", "2", 2, "&Edit"}));

// The Access file dialog's description is the language's; "All files" is the toolkit's, German
// in every language.
TEST_F(MainWindowTest, FileDialogFilterFollowsTheLanguage)
{
    start();
    child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>("tshAccess"));
    for (const auto& [language, filter] :
         {std::pair{"2", "Access databases (*.mdb;*.accdb)|*.MDB;*.ACCDB|Alle Dateien (*)|*"},
          std::pair{"1", "Access Datenbanken (*.mdb;*.accdb)|*.MDB;*.ACCDB|Alle Dateien (*)|*"}}) {
        prompter->answerInput(QString::fromLatin1(language));
        action("actSetLanguage")->trigger();
        prompter->openAnswers.enqueue(QString());
        action("actOpenDatabase")->trigger();
        EXPECT_EQ(prompter->ofKind("open").last().preset, QString::fromLatin1(filter)) << language;
    }
}

// Alt and a letter reach one item of an open menu, and one menu of the bar, in either language.
class AccessKeys : public WindowFixture, public ::testing::WithParamInterface<int>
{
};

TEST_P(AccessKeys, AreDistinctInTheBarAndInEveryMenu)
{
    writeIni(QByteArray("[Application]\nLanguage=") + QByteArray::number(GetParam()) + '\n');
    start();
    const auto keyOf = [](const QString& text) { return QKeySequence::mnemonic(text).toString(); };
    QStringList bar;
    for (QAction* entry : child<QMenuBar>("tbtMenue")->actions()) {
        QMenu* menu = entry->menu();
        ASSERT_NE(menu, nullptr);
        SCOPED_TRACE(menu->objectName().toStdString());
        EXPECT_FALSE(keyOf(menu->title()).isEmpty()) << menu->title().toStdString();
        EXPECT_FALSE(bar.contains(keyOf(menu->title()))) << menu->title().toStdString();
        bar << keyOf(menu->title());
        QStringList items;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator() || !item->isVisible() || keyOf(item->text()).isEmpty())
                continue;
            EXPECT_FALSE(items.contains(keyOf(item->text()))) << item->text().toStdString();
            items << keyOf(item->text());
        }
        // Every item of a menu with a choice to make can be reached by its key.
        if (menu->actions().size() > 1) {
            for (QAction* item : menu->actions())
                EXPECT_TRUE(item->isSeparator() || !keyOf(item->text()).isEmpty())
                    << item->text().toStdString();
        }
    }
    EXPECT_GE(bar.size(), 4);
}

INSTANTIATE_TEST_SUITE_P(Languages, AccessKeys, ::testing::Values(1, 2));

TEST_F(MainWindowTest, LanguageCommandThatCannotWriteKeepsTheLanguage)
{
    writeIni("[Application]\nLanguage=2\n");
    start();
    // A folder where the settings file was: no write can succeed, whoever runs the tests.
    ASSERT_TRUE(QFile::remove(iniPath()));
    ASSERT_TRUE(QDir().mkdir(iniPath()));
    prompter->answerInput(QStringLiteral("1"));

    action("actSetLanguage")->trigger();

    const auto errors = prompter->ofKind("default-error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].title, "Orvane");
    EXPECT_TRUE(errors[0].text.contains(QStringLiteral("kann nicht geschrieben werden")))
        << errors[0].text.toStdString();
    EXPECT_EQ(CurrentLanguage, 2);
    EXPECT_EQ(child<QMenu>("tbsiBearbeiten")->title(), "&Edit");

    // The window is still usable afterwards.
    action("actInfoUeber")->trigger();
    EXPECT_EQ(prompter->aboutShown, 1);
}

// ---------------------------------------------------------------------------------------------
// Page switch and the Access file field

TEST_F(MainWindowTest, PageSwitchResetsTheConnectionAndFollowsTheProvider)
{
    start();
    window->SetServer("srv");
    window->SetDatabase("db");
    window->SetUser("sa");
    window->SetPassword("pw");
    window->SetUserPassword("upw");
    window->SetSystemDatabase("sys.mdw");
    window->SetSavePW("True");
    child<QLineEdit>("edtSQLServerVersion")->setText("v1");
    child<QLineEdit>("edtAccessVersion")->setText("v2");
    child<QTextEdit>("memOutput")->setPlainText("report");
    addTable(child<QListWidget>("chkTables"), "Customers");
    window->SQLServerConnectionString = "kept";

    auto* pages = child<QTabWidget>("pgcProvider");
    pages->setCurrentWidget(child<QWidget>("tshAccess"));

    EXPECT_EQ(window->Provider(), ptAccess);
    EXPECT_EQ(window->Connection->ConnectionType, ctADOX);
    EXPECT_TRUE(window->Server().isEmpty() && window->Database().isEmpty() && window->User().isEmpty() &&
                window->Password().isEmpty() && window->UserPassword().isEmpty() &&
                window->SystemDatabase().isEmpty() && window->SavePW().isEmpty());
    for (const char* name :
         {"edtSQLServer", "edtSQLDatabase", "edtSQLServerVersion", "edtAccessDB", "edtAccessVersion"})
        EXPECT_TRUE(child<QLineEdit>(name)->text().isEmpty()) << name;
    EXPECT_EQ(child<QListWidget>("chkTables")->count(), 0);
    EXPECT_TRUE(child<QTextEdit>("memOutput")->toPlainText().isEmpty());
    EXPECT_EQ(window->SQLServerConnectionString, "kept");

    pages->setCurrentWidget(child<QWidget>("tshSQLServer"));
    EXPECT_EQ(window->Provider(), ptSQLServer);
    EXPECT_EQ(window->Connection->ConnectionType, ctDMO);
}

TEST_F(MainWindowTest, WritersShowServerAndDatabaseOnThePages)
{
    start();
    addTable(child<QListWidget>("chkTables"), "Orders");
    window->SetServer("host,1433");
    window->SetDatabase("C:\\data\\shop.mdb");
    EXPECT_EQ(child<QLineEdit>("edtSQLServer")->text(), "host,1433");
    EXPECT_EQ(child<QLineEdit>("edtSQLDatabase")->text(), "C:\\data\\shop.mdb");
    EXPECT_EQ(child<QLineEdit>("edtAccessDB")->text(), "C:\\data\\shop.mdb");
    // A new database empties the list through the file field's change event.
    EXPECT_EQ(child<QListWidget>("chkTables")->count(), 0);
    EXPECT_EQ(window->property("Database").toString(), "C:\\data\\shop.mdb");
}

TEST_F(MainWindowTest, TypingInTheAccessFileFieldEmptiesTheListWithEveryKey)
{
    startShown();
    auto* pages = child<QTabWidget>("pgcProvider");
    pages->setCurrentWidget(child<QWidget>("tshAccess"));
    auto* file = child<QLineEdit>("edtAccessDB");
    auto* list = child<QListWidget>("chkTables");
    file->setFocus();

    QString typed;
    for (QChar key : QStringLiteral("/d/x.mdb")) {
        addTable(list, "T");
        QTest::keyClicks(file, QString(key));
        typed += key;
        EXPECT_EQ(list->count(), 0) << "after " << typed.toStdString();
        EXPECT_EQ(child<QLineEdit>("edtSQLDatabase")->text(), typed);
        EXPECT_EQ(window->Database(), typed);
    }
}

// ---------------------------------------------------------------------------------------------
// Shortcuts, commands, layout

struct ShortcutCase
{
    const char* focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* action;
};

void PrintTo(const ShortcutCase& c, std::ostream* os)
{
    *os << c.action << " from " << c.focus;
}

class Shortcuts : public WindowFixture, public ::testing::WithParamInterface<ShortcutCase>
{
};

TEST_P(Shortcuts, ReachTheWindowsCommandWhereverTheFocusIs)
{
    const ShortcutCase& c = GetParam();
    startShown();
    auto* target = child<QWidget>(c.focus);
    target->setFocus();
    QApplication::processEvents();
    QSignalSpy fired(action(c.action), &QAction::triggered);
    auto* edit = qobject_cast<QLineEdit*>(target);
    const QString before = edit ? edit->text() : QString();
    // Commands that ask something are answered with Cancel.
    prompter->cancelInput();

    QTest::keyClick(target, c.key, c.modifiers);

    EXPECT_EQ(fired.count(), 1);
    // The field kept its own handling out of the way: nothing was selected or typed.
    if (edit) {
        EXPECT_FALSE(edit->hasSelectedText());
        EXPECT_EQ(edit->text(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Shortcuts,
    ::testing::Values(
        ShortcutCase{"edtSearch", Qt::Key_A, Qt::ControlModifier, "actMarkAll"},
        ShortcutCase{"edtSearch", Qt::Key_C, Qt::ControlModifier, "actSaveClipboardSelected"},
        ShortcutCase{"edtSearch", Qt::Key_C, Qt::ControlModifier | Qt::AltModifier, "actSaveClipboard"},
        ShortcutCase{"edtSearch", Qt::Key_F3, Qt::NoModifier, "actFindText"},
        ShortcutCase{"edtSearch", Qt::Key_Q, Qt::ControlModifier, "actBreak"},
        ShortcutCase{"memOutput", Qt::Key_A, Qt::ControlModifier, "actMarkAll"},
        ShortcutCase{"memOutput", Qt::Key_C, Qt::ControlModifier, "actSaveClipboardSelected"},
        ShortcutCase{"chkTables", Qt::Key_F5, Qt::NoModifier, "actRefresh"},
        ShortcutCase{"chkTables", Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, "actMarkNo"},
        ShortcutCase{"edtSQLServerVersion", Qt::Key_P, Qt::ControlModifier, "actPrint"},
        ShortcutCase{"edtSQLServerVersion", Qt::Key_D, Qt::ControlModifier | Qt::AltModifier,
                     "actSetDelimiter"},
        ShortcutCase{"memOutput", Qt::Key_F9, Qt::NoModifier, "actOutput"},
        ShortcutCase{"chkTables", Qt::Key_F9, Qt::NoModifier, "actOutput"}));

TEST_F(MainWindowTest, BreakShortcutSetsTheCancelFlag)
{
    startShown();
    child<QLineEdit>("edtSearch")->setFocus();
    QTest::keyClick(child<QWidget>("edtSearch"), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(window->CancelRequested);
}

TEST_F(MainWindowTest, SystemTablesItemAndShortcutToggleTheMarkTheCommandReads)
{
    startShown();
    QAction* item = action("tbiSysTables");

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(window->ShowSystemTables);

    QSignalSpy fired(action("actEnableSys"), &QAction::triggered);
    child<QWidget>("chkTables")->setFocus();
    QTest::keyClick(child<QWidget>("chkTables"), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(fired.count(), 1);
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(window->ShowSystemTables);

    // Running the command itself applies the mark as it stands.
    action("actEnableSys")->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(window->ShowSystemTables);
}

struct LayoutCase
{
    const char* name;
    int width;  // -1: free
    int height; // -1: free
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class Layout : public WindowFixture, public ::testing::WithParamInterface<LayoutCase>
{
};

// The report's columns, the pages' fields and the bars only fit together at these sizes.
TEST_P(Layout, ControlHasItsSize)
{
    const LayoutCase& c = GetParam();
    startShown();
    // A page lays out its columns only once it has been shown.
    auto* pages = child<QTabWidget>("pgcProvider");
    pages->setCurrentWidget(child<QWidget>("tshAccess"));
    QApplication::processEvents();
    pages->setCurrentWidget(child<QWidget>("tshSQLServer"));
    QApplication::processEvents();

    auto* control = child<QWidget>(c.name);
    ASSERT_NE(control, nullptr);
    if (c.width >= 0) {
        EXPECT_EQ(control->width(), c.width);
    }
    if (c.height >= 0) {
        EXPECT_EQ(control->height(), c.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Layout,
    ::testing::Values(LayoutCase{"tbdMenue", 842, 23}, LayoutCase{"tbdSymbolleiste", 842, 28},
                      LayoutCase{"pgcProvider", 842, 134}, LayoutCase{"chkTables", 201, -1},
                      LayoutCase{"pnlOutput", 40, -1}, LayoutCase{"fcStatusBar1", 842, 20},
                      LayoutCase{"pnlSQLServer1", 329, -1}, LayoutCase{"pnlSQLServer2", 280, -1},
                      LayoutCase{"edtSQLServer", 201, -1}, LayoutCase{"edtSQLDatabase", 201, -1},
                      LayoutCase{"edtSQLServerVersion", 201, -1}, LayoutCase{"cboSQLServerProfile", 201, -1},
                      LayoutCase{"btnSQLServerSaveProfile", 97, 25},
                      LayoutCase{"btnSQLServerDeleteProfile", 97, 25}, LayoutCase{"pnlAccess1", 329, -1},
                      LayoutCase{"Panel1", 280, -1}, LayoutCase{"edtAccessDB", 265, -1},
                      LayoutCase{"btnOpenDatabase", 23, 22}, LayoutCase{"edtAccessVersion", 201, -1},
                      LayoutCase{"cboAccessProfile", 201, -1}, LayoutCase{"btnAccessSaveProfile", 97, 25},
                      LayoutCase{"btnAccessDeleteProfile", 97, 25}, LayoutCase{"edtSearch", 121, -1}));

TEST_F(MainWindowTest, SplitterIsThinAndTheOpenButtonFlatBesideTheFileField)
{
    startShown();
    EXPECT_EQ(child<QSplitter>("Splitter1")->handleWidth(), 3);
    auto* open = child<QToolButton>("btnOpenDatabase");
    EXPECT_TRUE(open->autoRaise());
    EXPECT_GE(open->x(), child<QLineEdit>("edtAccessDB")->geometry().right());
    // The window opens centred on the screen (to the pixel, as far as halving allows).
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - screen.center()).manhattanLength(), 4);
}

TEST_F(MainWindowTest, ToolbarHoldsItsButtonsInOrderAndCommandsCarryTheirImages)
{
    start();
    QStringList items;
    for (QAction* item : child<QToolBar>("tbtSymbolleiste")->actions())
        items << (item->isSeparator() ? QStringLiteral("|") : item->objectName());
    EXPECT_EQ(items, (QStringList{"actExit", "|", "actOpenDatabase", "|", "actRefresh", "|", "actMarkAll",
                                  "actMarkNo", "|", "actPrint", "|", "actSaveListbox", "actSaveClipboard",
                                  "|", "actFindText", "tbcFindWindow", "|", "actBreak"}));
    EXPECT_FALSE(child<QToolBar>("tbtSymbolleiste")->isMovable());
    EXPECT_FALSE(child<QToolBar>("tbtSymbolleiste")->isFloatable());

    // The images live in the library's resources, which only load when asked for.
    for (const char* name :
         {"actExit", "actOpenDatabase", "actRefresh", "actMarkAll", "actMarkNo", "actPrint", "actSaveListbox",
          "actSaveClipboard", "actFindText", "actBreak", "actOutput", "actSetLanguage", "actSetDelimiter",
          "actSetProfil", "actDeleteProfile", "actInfoUeber"})
        EXPECT_FALSE(action(name)->icon().isNull()) << name;
    EXPECT_FALSE(child<QToolButton>("btnOpenDatabase")->icon().isNull());
    // The output button shows its arrow and nothing else.
    EXPECT_EQ(child<QToolButton>("btnOutput")->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_TRUE(action("actOutput")->text().isEmpty());
}

struct MenuKeyCase
{
    const char* action;
    const char* shown;
};

void PrintTo(const MenuKeyCase& c, std::ostream* os)
{
    *os << c.action;
}

class MenuKeys : public WindowFixture, public ::testing::WithParamInterface<MenuKeyCase>
{
};

// Menus write an item's shortcut with the toolkit's key names, which are German in every language.
TEST_P(MenuKeys, ShowTheGermanKeyNamesInEveryLanguage)
{
    ASSERT_TRUE(InstallToolkitTexts());
    writeIni("[Application]\nLanguage=2\nDelimiter=*\n");
    start();
    EXPECT_EQ(action(GetParam().action)->shortcut().toString(QKeySequence::NativeText),
              QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Items, MenuKeys,
    ::testing::Values(MenuKeyCase{"actMarkNo", "Strg+Alt+A"}, MenuKeyCase{"actMarkAll", "Strg+A"},
                      MenuKeyCase{"actPrint", "Strg+P"}, MenuKeyCase{"actSaveClipboard", "Strg+Alt+C"},
                      MenuKeyCase{"actSetLanguage", "Strg+Alt+L"}, MenuKeyCase{"actRefresh", "F5"}));

// The first window keeps its designed size where the screen has room for it and its frame, and
// is as large as the screen's free area allows where it has not, standing in the middle of it.
struct PlacementCase
{
    const char* label;
    QRect available;
    QRect placed; // the frame's top left, the inside's size
};

void PrintTo(const PlacementCase& c, std::ostream* os)
{
    *os << c.label;
}

class Placement : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(Placement, FitsTheFreeAreaFrameAndAll)
{
    const PlacementCase& c = GetParam();
    const QMargins frame(4, 27, 4, 4);
    const QRect placed = InitialWindowGeometry(QSize(842, 543), c.available, frame);
    EXPECT_EQ(placed, c.placed);
    EXPECT_TRUE(c.available.contains(QRect(placed.topLeft(), placed.size().grownBy(frame))));
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Placement,
    ::testing::Values(PlacementCase{"FullHd", QRect(0, 0, 1920, 1040), QRect(539, 248, 842, 543)},
                      // 1920 x 1080 pixels at a scale factor of 2, less a panel of 40 pixels: as
                      // tall as there is room for, the frame at the top edge.
                      PlacementCase{"FullHdAtScaleTwo", QRect(0, 0, 960, 520), QRect(59, 0, 842, 489)},
                      PlacementCase{"SecondScreenAtScaleTwo", QRect(1920, 20, 960, 540),
                                    QRect(1979, 20, 842, 509)},
                      PlacementCase{"Narrow", QRect(0, 0, 800, 600), QRect(0, 26, 792, 543)}),
    [](const ::testing::TestParamInfo<PlacementCase>& p) { return std::string(p.param.label); });

// On Full HD at a scale factor of 2 (the suites' second screen) the window, frame and all, fits
// the screen it opens on, as wide as designed and as tall as there is room for.
TEST_F(MainWindowTest, FirstWindowFitsAScreenAtScaleTwo)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);
    QScreen* scaled = screens.at(1);
    ASSERT_EQ(scaled->devicePixelRatio(), 2.0);
    start();
    PlaceOnScreen(*window, QSize(842, 543), scaled);
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(window->screen(), scaled);
    EXPECT_TRUE(scaled->availableGeometry().contains(window->frameGeometry()));
    EXPECT_EQ(window->width(), 842);
    EXPECT_LT(window->height(), 543);
}

TEST_F(MainWindowTest, OutputButtonFillsItsPanelAtEverySize)
{
    startShown();
    auto* panel = child<QWidget>("pnlOutput");
    auto* button = child<QToolButton>("btnOutput");
    for (const QSize size : {QSize(1200, 800), QSize(600, 400), QSize(842, 543)}) {
        window->resize(size);
        QApplication::processEvents();
        EXPECT_EQ(button->geometry(), panel->rect()) << size.width() << "x" << size.height();
        EXPECT_EQ(panel->width(), 40);
    }
}

TEST_F(MainWindowTest, HintShowsBesideTheProgressBar)
{
    startShown();
    auto* bar = child<QProgressBar>("pbrAufbau");
    bar->setValue(40);
    QAction* print = action("actPrint");
    // What resting the mouse on the toolbar button does.
    print->showStatusText(child<QToolBar>("tbtSymbolleiste")->widgetForAction(print));
    EXPECT_EQ(child<QLabel>("lblHint")->text(), LoadUIText(94));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GT(bar->width(), 200);
}

TEST_F(MainWindowTest, InfoCommandShowsTheAboutDialog)
{
    start();
    action("actInfoUeber")->trigger();
    EXPECT_EQ(prompter->kinds(), QStringList{"about"});
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndReleasesTheFacade)
{
    startShown();
    action("actExit")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Connection, nullptr);
    EXPECT_TRUE(prompter->shown.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Copying and searching the pane

class PaneCommands : public WindowFixture
{
protected:
    QTextEdit* pane() const { return child<QTextEdit>("memOutput"); }
    QString selected() const { return pane()->textCursor().selectedText(); }
    QColor colourAt(int position) const
    {
        QTextCursor c(pane()->document());
        c.setPosition(position + 1);
        return c.charFormat().foreground().color();
    }
};

TEST_F(PaneCommands, CopyPutsEveryLineWithCrLfAndEmptyPaneGivesNothing)
{
    startShown();
    QApplication::clipboard()->setText(QStringLiteral("stale"));
    action("actSaveClipboard")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QString());

    pane()->setPlainText(QStringLiteral("first line\nsecond line\n"));
    action("actSaveClipboard")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "first line\r\nsecond line\r\n");
}

// Where the pane wraps a line depends on its width alone: the copy has the lines as written.
TEST_F(PaneCommands, CopyGivesTheLinesAsWrittenHoweverNarrowThePane)
{
    startShown();
    const QString frame = QString(6, u' ') + QString(70, u'*');
    const QString key =
        QStringLiteral("          Fremdschlüssel FK_Orders_Customers (Customer_ID) -> Customers "
                       "(Customer_ID) bei Aktualisierung weitergeben, bei Löschung auf NULL setzen");
    pane()->setPlainText(frame + u'\n' + key);
    window->resize(420, 400);
    QApplication::processEvents();
    ASSERT_GT(pane()->document()->lastBlock().layout()->lineCount(), 1);
    action("actSaveClipboard")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(),
              frame + QStringLiteral("\r\n") + key + QStringLiteral("\r\n"));
}

TEST_F(PaneCommands, TabLeavesThePaneAndTypesNothing)
{
    startShown();
    pane()->setPlainText(QStringLiteral("report"));
    pane()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(pane()->hasFocus());
    QTest::keyClick(pane(), Qt::Key_Tab);
    EXPECT_FALSE(pane()->hasFocus());
    EXPECT_EQ(pane()->toPlainText(), QStringLiteral("report"));
    // Shift+Tab comes back, as before.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(pane()->hasFocus());
}

TEST_F(PaneCommands, CtrlCInTheSearchFieldCopiesThePanesSelection)
{
    startShown();
    pane()->setPlainText(QStringLiteral("alpha beta\ngamma"));
    QTextCursor c(pane()->document());
    c.setPosition(6);
    c.setPosition(13, QTextCursor::KeepAnchor);
    pane()->setTextCursor(c);
    auto* search = child<QLineEdit>("edtSearch");
    search->setFocus();
    search->selectAll();
    QTest::keyClick(search, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "beta\nga");
}

TEST_F(PaneCommands, FindNextMarksHitAfterHitIgnoringCaseThenStartsOver)
{
    startShown();
    pane()->setPlainText(QStringLiteral("  1 CustomerID  int\n  2 Name\n  3 OrderId  int"));
    auto* search = child<QLineEdit>("edtSearch");
    search->setText(QStringLiteral("ID"));
    const QString text = pane()->toPlainText();
    const int first = text.indexOf(QStringLiteral("ID"));
    const int second = text.indexOf(QStringLiteral("Id"));

    action("actFindText")->trigger();
    EXPECT_EQ(selected(), "ID");
    EXPECT_EQ(pane()->textCursor().selectionStart(), first);
    EXPECT_EQ(colourAt(first), QColor(Qt::red));

    action("actFindText")->trigger();
    EXPECT_EQ(selected(), "Id");
    EXPECT_EQ(pane()->textCursor().selectionStart(), second);
    EXPECT_EQ(colourAt(first), QColor(Qt::red)); // earlier hits stay marked

    action("actFindText")->trigger();
    EXPECT_TRUE(selected().isEmpty());
    EXPECT_EQ(window->SearchPosition, 0);

    action("actFindText")->trigger();
    EXPECT_EQ(pane()->textCursor().selectionStart(), first);

    // A new search text clears every mark and starts from the top.
    search->setText(QStringLiteral("name"));
    EXPECT_EQ(colourAt(first), QColor(Qt::black));
    EXPECT_EQ(colourAt(second), QColor(Qt::black));
    EXPECT_FALSE(pane()->textCursor().hasSelection());
    EXPECT_EQ(window->SearchPosition, 0);
    action("actFindText")->trigger();
    EXPECT_EQ(selected(), "Name");
}

TEST_F(PaneCommands, FindNextWithoutAnOccurrenceOnlyRemovesTheSelection)
{
    startShown();
    pane()->setPlainText(QStringLiteral("Customers\nOrders"));
    pane()->selectAll();
    child<QLineEdit>("edtSearch")->setText(QStringLiteral("xyz"));
    pane()->selectAll();
    action("actFindText")->trigger();
    EXPECT_FALSE(pane()->textCursor().hasSelection());
    EXPECT_EQ(window->SearchPosition, 0);
    EXPECT_EQ(pane()->toPlainText(), "Customers\nOrders");
}
