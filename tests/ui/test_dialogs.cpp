// The about dialog and the two login dialogs in each language, and the real prompter's boxes
// (buttons by kind, the returned result, Cancel giving the preset back).
#include "ADOStringProp.h"
#include "AppResources.h"
#include "ConnectionSettings.h"
#include "Prompter.h"
#include "UIText.h"
#include "VersionInfo.h"
#include "WindowFixture.h"
#include "d_DataLink.h"
#include "d_InfoUeber.h"
#include "d_LoginDatabase.h"
#include "d_LoginUser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

namespace {

// Runs action on the next modal dialog once it is shown.
void whenModalShown(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            whenModalShown(action);
            return;
        }
        action(modal);
    });
}

class DialogTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { InstallToolkitTexts(); }
    // German, as the program starts with a new settings file, whichever test runs first.
    void SetUp() override { CurrentLanguage = 1; }
    void TearDown() override { CurrentLanguage = 1; }
};

template <class T> T* find(QObject* parent, const char* name)
{
    auto* found = parent->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// About dialog

struct AboutCase
{
    int language;
    const char* title;
    const char* versionLabel;
    const char* commentLabel;
    const char* ok;
};

void PrintTo(const AboutCase& c, std::ostream* os)
{
    *os << "language " << c.language;
}

class AboutDialog : public DialogTest, public ::testing::WithParamInterface<AboutCase>
{
};

TEST_P(AboutDialog, ShowsTheTextsOfTheLanguage)
{
    const AboutCase& c = GetParam();
    CurrentLanguage = c.language;
    TdlgInfoAbout dialog(nullptr, [](const QUrl&) {});

    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(find<QLabel>(&dialog, "lblInfoVersion")->text(),
              QString::fromUtf8(c.versionLabel) + QStringLiteral(" 0.7.1.2"));
    EXPECT_EQ(find<QLabel>(&dialog, "lblInfoComment")->text(), QString::fromUtf8(c.commentLabel));
    EXPECT_EQ(find<QPushButton>(&dialog, "btnInfoOK")->text(), QString::fromUtf8(c.ok));
    EXPECT_EQ(find<QLabel>(&dialog, "lblInfoCopyright")->text(), QString::fromUtf8(kProgramCopyright));
    EXPECT_EQ(find<QLabel>(&dialog, "lblInfoEmail")->text(),
              LoadUIText(212) + u' ' + QString::fromUtf8(kMakerEmail));
    EXPECT_EQ(find<QPushButton>(&dialog, "btnInfoHyperlink")->text(), QString::fromUtf8(kMakerWebAddress));
    EXPECT_EQ(find<QPlainTextEdit>(&dialog, "memInfoComment")->toPlainText(), LoadUIText(211));
    EXPECT_TRUE(find<QPlainTextEdit>(&dialog, "memInfoComment")->isReadOnly());
    EXPECT_EQ(dialog.size(), QSize(438, 333));
}

INSTANTIATE_TEST_SUITE_P(Languages, AboutDialog,
                         ::testing::Values(AboutCase{1, "Info über Orvane",
                                                     "Version:   ", "Kommentar: ", "OK"},
                                           AboutCase{2, "Info about Orvane", "Version:   ", "Comment:", "OK"},
                                           AboutCase{99, "#206 #5", "#158", "#210", "#1"}));

TEST_F(DialogTest, AboutDialogPlacesItsControls)
{
    TdlgInfoAbout dialog(nullptr, [](const QUrl&) {});
    struct Place
    {
        const char* name;
        QRect rect; // an empty size: only the place is fixed
    };
    const Place places[] = {
        {"Panel1", QRect(8, 8, 425, 281)},
        {"imgInfoProgramIcon", QRect(8, 8, 113, 99)},
        {"lblInfoProductName", QRect(136, 16, 0, 0)},
        {"lblInfoVersion", QRect(136, 40, 0, 0)},
        {"lblInfoCopyright", QRect(136, 64, 0, 0)},
        {"lblInfoEmail", QRect(136, 88, 0, 0)},
        {"lblInfoComment", QRect(8, 152, 0, 0)},
        {"memInfoComment", QRect(80, 152, 337, 113)},
        {"btnInfoOK", QRect(183, 300, 75, 25)},
    };
    for (const Place& place : places) {
        const QRect actual = find<QWidget>(&dialog, place.name)->geometry();
        if (place.rect.width() > 0) {
            EXPECT_EQ(actual, place.rect) << place.name;
        } else {
            EXPECT_EQ(actual.topLeft(), place.rect.topLeft()) << place.name;
        }
    }
    EXPECT_TRUE(find<QPushButton>(&dialog, "btnInfoOK")->isDefault());
    // The link keeps its place's centre and height, and shows the whole address.
    const auto* link = find<QPushButton>(&dialog, "btnInfoHyperlink");
    EXPECT_EQ(link->geometry().center(), QRect(200, 120, 121, 22).center());
    EXPECT_EQ(link->height(), 22);
    EXPECT_GE(link->width(), std::max(121, link->fontMetrics().horizontalAdvance(link->text())));
}

TEST_F(DialogTest, AboutLinkAndPictureOpenTheWebAddressAndKeepTheDialogOpen)
{
    QList<QUrl> opened;
    TdlgInfoAbout dialog(nullptr, [&](const QUrl& url) { opened << url; });
    dialog.show();
    QTest::mouseClick(find<QPushButton>(&dialog, "btnInfoHyperlink"), Qt::LeftButton);
    QTest::mouseClick(find<QLabel>(&dialog, "imgInfoProgramIcon"), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl(QString::fromUtf8(kMakerWebAddress)));
    EXPECT_EQ(opened[1], opened[0]);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(find<QLabel>(&dialog, "imgInfoProgramIcon")->pixmap().isNull());
}

// The window's dialogs as the real prompter shows them: titles exactly their texts (no display
// name the platform would append), and the about dialog's link showing the whole address.
using WindowDialogs = WindowFixture;

TEST_F(WindowDialogs, TitlesAreTheirTextsAndTheLinkShowsTheWholeAddress)
{
    SetApplicationNames();
    // Without a display name of its own, the application's name stands in for it.
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    QCoreApplication::setApplicationName(name);

    start();
    window->setPrompter(std::make_shared<TQtPrompter>());
    QString inputTitle;
    whenModalShown([&](QWidget* modal) {
        inputTitle = modal->windowTitle();
        static_cast<QDialog*>(modal)->reject();
    });
    action("actSetLanguage")->trigger();
    EXPECT_EQ(inputTitle, "Eingabedialog");

    QString aboutTitle, address;
    int width = 0, needed = 1;
    whenModalShown([&](QWidget* modal) {
        aboutTitle = modal->windowTitle();
        const auto* link = find<QPushButton>(modal, "btnInfoHyperlink");
        address = link->text();
        width = link->width();
        needed = link->fontMetrics().horizontalAdvance(address);
        static_cast<QDialog*>(modal)->accept();
    });
    action("actInfoUeber")->trigger();
    EXPECT_EQ(aboutTitle, "Info über Orvane");
    EXPECT_EQ(address, QString::fromUtf8(kMakerWebAddress));
    EXPECT_GE(width, needed);
}

// ---------------------------------------------------------------------------------------------
// Login dialogs

struct LoginCase
{
    int language;
    const char* userTitle;
    const char* userLabel;
    const char* passwordLabel;
    const char* databaseTitle;
    const char* cancel;
};

void PrintTo(const LoginCase& c, std::ostream* os)
{
    *os << "language " << c.language;
}

class LoginDialogs : public DialogTest, public ::testing::WithParamInterface<LoginCase>
{
};

TEST_P(LoginDialogs, ShowTheTextsOfTheLanguage)
{
    const LoginCase& c = GetParam();
    CurrentLanguage = c.language;
    TdlgLoginUser user;
    EXPECT_EQ(user.windowTitle(), QString::fromUtf8(c.userTitle));
    EXPECT_EQ(find<QLabel>(&user, "lblLoginUserName")->text(), QString::fromUtf8(c.userLabel));
    EXPECT_EQ(find<QLabel>(&user, "lblLoginUserPassword")->text(), QString::fromUtf8(c.passwordLabel));
    EXPECT_EQ(find<QPushButton>(&user, "btnOK")->text(), "OK");
    EXPECT_EQ(find<QPushButton>(&user, "btnCancel")->text(), QString::fromUtf8(c.cancel));
    EXPECT_EQ(user.size(), QSize(265, 135));

    TdlgLoginDatabase database;
    EXPECT_EQ(database.windowTitle(), QString::fromUtf8(c.databaseTitle));
    EXPECT_EQ(find<QLabel>(&database, "lblLoginDatabasePassword")->text(),
              QString::fromUtf8(c.passwordLabel));
    EXPECT_EQ(find<QPushButton>(&database, "btnCancel")->text(), QString::fromUtf8(c.cancel));
    EXPECT_EQ(database.size(), QSize(265, 103));
}

INSTANTIATE_TEST_SUITE_P(Languages, LoginDialogs,
                         ::testing::Values(LoginCase{1, "Anmeldung Benutzer", "Name", "Kennwort",
                                                     "Anmeldung Datenbank", "Abbrechen"},
                                           LoginCase{2, "Login User", "User", "Password", "Login Database",
                                                     "Cancel"}));

// Tab moves through the fields first, then OK, then Cancel.
TEST_F(DialogTest, LoginDialogsTabThroughFieldsThenButtons)
{
    const auto chain = [](QWidget* first) {
        QStringList names;
        QWidget* at = first;
        do {
            if (at->focusPolicy() & Qt::TabFocus)
                names << at->objectName();
            at = at->nextInFocusChain();
        } while (at != first);
        return names;
    };
    TdlgLoginUser user;
    EXPECT_EQ(chain(find<QWidget>(&user, "edtLoginUserName")),
              (QStringList{"edtLoginUserName", "edtLoginUserPassword", "btnOK", "btnCancel"}));
    EXPECT_EQ(find<QWidget>(&user, "btnOK")->geometry(), QRect(47, 100, 75, 25));
    EXPECT_EQ(find<QWidget>(&user, "btnCancel")->geometry(), QRect(135, 100, 75, 25));
    EXPECT_EQ(find<QWidget>(&user, "edtLoginUserPassword")->geometry().topLeft(), QPoint(88, 52));
    TdlgLoginDatabase database;
    EXPECT_EQ(chain(find<QWidget>(&database, "edtLoginDatabasePassword")),
              (QStringList{"edtLoginDatabasePassword", "btnOK", "btnCancel"}));
    EXPECT_EQ(find<QWidget>(&database, "btnOK")->geometry(), QRect(47, 68, 75, 25));
    EXPECT_EQ(find<QWidget>(&database, "Bevel1")->geometry(), QRect(8, 8, 249, 49));
}

TEST_F(DialogTest, EnterInTheFieldsConfirmsWithWhatWasTyped)
{
    TdlgLoginUser user;
    user.show();
    QTest::keyClicks(find<QLineEdit>(&user, "edtLoginUserName"), "Maria");
    QTest::keyClicks(find<QLineEdit>(&user, "edtLoginUserPassword"), "s3cret;=x");
    QTest::keyClick(find<QLineEdit>(&user, "edtLoginUserPassword"), Qt::Key_Return);
    EXPECT_TRUE(user.OK);
    EXPECT_EQ(user.User, "Maria");
    EXPECT_EQ(user.Password, "s3cret;=x");
    EXPECT_EQ(user.result(), QDialog::Accepted);

    TdlgLoginDatabase database;
    database.show();
    QTest::keyClicks(find<QLineEdit>(&database, "edtLoginDatabasePassword"), "pw");
    QTest::keyClick(find<QLineEdit>(&database, "edtLoginDatabasePassword"), Qt::Key_Enter);
    EXPECT_TRUE(database.OK);
    EXPECT_EQ(database.Password, "pw");
}

TEST_F(DialogTest, EscapeCancelsAndKeepsNothing)
{
    TdlgLoginUser user;
    user.show();
    QTest::keyClicks(find<QLineEdit>(&user, "edtLoginUserName"), "Maria");
    QTest::keyClick(find<QLineEdit>(&user, "edtLoginUserName"), Qt::Key_Escape);
    EXPECT_FALSE(user.OK);
    EXPECT_TRUE(user.User.isEmpty());
    EXPECT_EQ(user.result(), QDialog::Rejected);

    TdlgLoginDatabase database;
    database.show();
    QTest::keyClicks(find<QLineEdit>(&database, "edtLoginDatabasePassword"), "pw");
    QTest::mouseClick(find<QPushButton>(&database, "btnCancel"), Qt::LeftButton);
    EXPECT_FALSE(database.OK);
    EXPECT_TRUE(database.Password.isEmpty());
}

TEST_F(DialogTest, PasswordFieldsMaskEveryCharacterWithHash)
{
    TdlgLoginUser user;
    auto* field = find<QLineEdit>(&user, "edtLoginUserPassword");
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field), int(u'#'));
    TdlgLoginDatabase database;
    auto* other = find<QLineEdit>(&database, "edtLoginDatabasePassword");
    EXPECT_EQ(other->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, other), int(u'#'));
    // The user name is readable.
    EXPECT_EQ(find<QLineEdit>(&user, "edtLoginUserName")->echoMode(), QLineEdit::Normal);
}

// ---------------------------------------------------------------------------------------------
// The real prompter's boxes

struct ErrorBoxCase
{
    int kind;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press;
    int result;
};

void PrintTo(const ErrorBoxCase& c, std::ostream* os)
{
    *os << "kind " << c.kind << " result " << c.result;
}

class ErrorBox : public DialogTest, public ::testing::WithParamInterface<ErrorBoxCase>
{
};

TEST_P(ErrorBox, ShowsTheKindsButtonsAndReturnsTheOnePressed)
{
    const ErrorBoxCase& c = GetParam();
    QMessageBox::StandardButtons seen;
    QString title, text, pressedText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModalShown([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = box->standardButtons();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        pressedText = box->button(c.press)->text();
        box->button(c.press)->click();
    });

    TQtPrompter prompter;
    EXPECT_EQ(prompter.ShowErrorMessage(nullptr, QStringLiteral("5003024: Could not find file 'x'."), c.kind),
              c.result);
    EXPECT_EQ(seen, c.buttons);
    EXPECT_EQ(title, "Fehler");
    EXPECT_EQ(text, "5003024: Could not find file 'x'.");
    EXPECT_EQ(icon, QMessageBox::Critical);
    const char* expectedCaption = c.press == QMessageBox::Yes      ? "&Ja"
                                  : c.press == QMessageBox::No     ? "&Nein"
                                  : c.press == QMessageBox::Cancel ? "Abbrechen"
                                                                   : "OK";
    EXPECT_EQ(pressedText, expectedCaption);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ErrorBox,
    ::testing::Values(ErrorBoxCase{0, QMessageBox::Ok, QMessageBox::Ok, mrOK},
                      ErrorBoxCase{7, QMessageBox::Ok, QMessageBox::Ok, mrOK},
                      ErrorBoxCase{2, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, mrNo},
                      ErrorBoxCase{3, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                   QMessageBox::Cancel, mrCancel},
                      ErrorBoxCase{4, QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Yes, mrYes}));

TEST_F(DialogTest, DefaultErrorBoxIsCaptionedWithTheProgramName)
{
    QString title;
    QMessageBox::StandardButtons seen;
    whenModalShown([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        seen = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    TQtPrompter().ShowDefaultError(nullptr, QStringLiteral("boom"));
    EXPECT_EQ(title, "Orvane");
    EXPECT_EQ(seen, QMessageBox::Ok);
}

TEST_F(DialogTest, InputBoxGivesTheAnswerOrThePresetOnCancel)
{
    whenModalShown([](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(input, nullptr);
        input->setTextValue(QStringLiteral("English"));
        input->accept();
    });
    EXPECT_EQ(TQtPrompter().InputBox(nullptr, "Input Dialog", "Input new Language !", "1"), "English");

    QString cancelText;
    whenModalShown([&](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(input, nullptr);
        input->setTextValue(QStringLiteral("typed"));
        cancelText = modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text();
        input->reject();
    });
    EXPECT_EQ(TQtPrompter().InputBox(nullptr, "Input Dialog", "Input new Language !", "99"), "99");
    EXPECT_EQ(cancelText, "Abbrechen");
}

struct FilterCase
{
    const char* filter;
    const char* qtFilter;
};

void PrintTo(const FilterCase& c, std::ostream* os)
{
    *os << c.filter;
}

class NameFilter : public ::testing::TestWithParam<FilterCase>
{
};

TEST_P(NameFilter, MatchesTheExtensionInAnyCase)
{
    EXPECT_EQ(QtNameFilters(QString::fromUtf8(GetParam().filter)).join(u'/'),
              QString::fromUtf8(GetParam().qtFilter));
}

INSTANTIATE_TEST_SUITE_P(
    Filters, NameFilter,
    ::testing::Values(
        FilterCase{"Access Datenbanken (*.mdb)|*.MDB", "Access Datenbanken (*.mdb) (*.[mM][dD][bB])"},
        FilterCase{"Access databases (*.mdb)|*.MDB", "Access databases (*.mdb) (*.[mM][dD][bB])"},
        FilterCase{"All|*.mdb;*.accdb", "All (*.[mM][dD][bB] *.[aA][cC][cC][dD][bB])"},
        FilterCase{"Everything", "Everything (*)"},
        FilterCase{"A (*.mdb)|*.MDB|A (*.accdb)|*.ACCDB|Alle Dateien (*)|*",
                   "A (*.mdb) (*.[mM][dD][bB])/A (*.accdb) (*.[aA][cC][cC][dD][bB])/"
                   "Alle Dateien (*) (*)"}));

// ---------------------------------------------------------------------------------------------
// Data link dialog

struct DataLinkCase
{
    const char* name;
    TDataLinkFields fields;
};

void PrintTo(const DataLinkCase& c, std::ostream* os)
{
    *os << c.name;
}

class DataLinkString : public ::testing::TestWithParam<DataLinkCase>
{
};

TEST_P(DataLinkString, ComposedSettingsReadBackUnchanged)
{
    const TDataLinkFields& f = GetParam().fields;
    const QString composed = ComposeDataLinkString(f);
    const TDataLinkFields parsed = ParseDataLinkString(composed);
    EXPECT_EQ(parsed.Server, f.Server);
    EXPECT_EQ(parsed.User, f.User);
    EXPECT_EQ(parsed.Password, f.Password);
    EXPECT_EQ(parsed.Database, f.Database);
    EXPECT_EQ(parsed.SavePassword, f.SavePassword);

    // The window reads the same settings out of it.
    TConnectionProperties props;
    ApplySQLServerConnectionString(composed, props);
    EXPECT_EQ(props.Server, f.Server);
    EXPECT_EQ(props.Database, f.Database);
    EXPECT_EQ(props.User, f.User);
    EXPECT_EQ(props.SavePW, f.SavePassword ? "True" : "False");
    EXPECT_EQ(props.Password, f.SavePassword ? f.Password : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Values, DataLinkString,
    ::testing::Values(DataLinkCase{"plain", {"DBHOST", "sa", "pw", true, "Sales"}},
                      DataLinkCase{"not kept", {"DBHOST\\SQL2019", "sa", "pw", false, "Sales"}},
                      DataLinkCase{"separators", {"host,1433", "user;x", "p;w=1", true, "Data Source=evil"}},
                      DataLinkCase{"quotes and blanks", {" srv ", "O'Brien", "\"quoted\"", true, "my db "}},
                      DataLinkCase{"empty", {"", "", "", false, ""}}));

TEST(DataLinkStringTest, ReadsTheProvidersKeysInAnyCase)
{
    const TDataLinkFields f = ParseDataLinkString("Provider=SQLOLEDB;password=pw;user id=sa;data "
                                                  "source=srv;persist security info=TRUE;initial catalog=db");
    EXPECT_EQ(f.Server, "srv");
    EXPECT_EQ(f.User, "sa");
    EXPECT_EQ(f.Password, "pw");
    EXPECT_EQ(f.Database, "db");
    EXPECT_TRUE(f.SavePassword);
}

// The two encryption boxes: a string that names neither comes back without them; a box that is
// ticked, or that changes a property the string named, is written as the OLE DB property.
TEST_F(DialogTest, DataLinkDialogCarriesTheEncryptionChoices)
{
    const auto lister = [](const QString&) { return QStringList{"master"}; };
    {
        TdlgDataLink dialog(QStringLiteral("Data Source=h;User ID=sa"), nullptr, lister);
        EXPECT_FALSE(find<QCheckBox>(&dialog, "chkEncrypt")->isChecked());
        const QString untouched = ComposeDataLinkString(dialog.fields());
        EXPECT_FALSE(untouched.contains("Encryption")) << untouched.toStdString();
        EXPECT_FALSE(untouched.contains("Certificate")) << untouched.toStdString();
        find<QCheckBox>(&dialog, "chkEncrypt")->setChecked(true);
        EXPECT_TRUE(ComposeDataLinkString(dialog.fields()).endsWith(";Use Encryption for Data=True"));
    }
    {
        TdlgDataLink dialog(
            QStringLiteral("Data Source=h;Use Encryption for Data=True;Trust Server Certificate=True"),
            nullptr, lister);
        EXPECT_TRUE(find<QCheckBox>(&dialog, "chkEncrypt")->isChecked());
        ASSERT_TRUE(find<QCheckBox>(&dialog, "chkTrustCertificate")->isChecked());
        find<QCheckBox>(&dialog, "chkTrustCertificate")->setChecked(false);
        const TDataLinkFields chosen = dialog.fields();
        EXPECT_EQ(chosen.UseEncryption, "True");
        EXPECT_EQ(chosen.TrustServerCertificate, "False");
    }
}

// Read-only intent and the query timeout: left as they were, a string that named neither comes
// back without them; chosen, they are written as the OLE DB properties the window, the profiles
// and the back end read.
struct IntentTimeoutCase
{
    const char* name;
    const char* initial;
    bool tick;   // read-only intent checked in the dialog
    int timeout; // the spin box's value
    const char* intent;
    const char* generalTimeout;
};

void PrintTo(const IntentTimeoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class DataLinkIntentAndTimeout : public DialogTest, public ::testing::WithParamInterface<IntentTimeoutCase>
{
};

TEST_P(DataLinkIntentAndTimeout, AreCarriedIntoTheString)
{
    const IntentTimeoutCase& c = GetParam();
    TdlgDataLink dialog(QString::fromUtf8(c.initial), nullptr, [](const QString&) { return QStringList{}; });
    find<QCheckBox>(&dialog, "chkReadOnlyIntent")->setChecked(c.tick);
    find<QSpinBox>(&dialog, "spnQueryTimeout")->setValue(c.timeout);
    const QString composed = ComposeDataLinkString(dialog.fields());
    TConnectionProperties props;
    ApplySQLServerConnectionString(composed, props);
    EXPECT_EQ(props.ApplicationIntent, QString::fromUtf8(c.intent)) << composed.toStdString();
    EXPECT_EQ(props.GeneralTimeout, QString::fromUtf8(c.generalTimeout)) << composed.toStdString();
    const TKorvADOStringProp read(BuildSQLServerConnectionString(props));
    EXPECT_EQ(read.ReadOnlyIntent(), c.tick);
    EXPECT_EQ(read.QueryTimeout(), c.timeout);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, DataLinkIntentAndTimeout,
    ::testing::Values(IntentTimeoutCase{"untouched", "Data Source=h;User ID=sa", false, 0, "", ""},
                      IntentTimeoutCase{"chosen", "Data Source=h;User ID=sa", true, 45, "ReadOnly", "45"},
                      IntentTimeoutCase{"taken back",
                                        "Data Source=h;Application Intent=ReadOnly;General Timeout=9", false,
                                        0, "ReadWrite", ""},
                      IntentTimeoutCase{"kept", "Data Source=h;Application Intent=readonly;General Timeout=9",
                                        true, 9, "ReadOnly", "9"}));

TEST_F(DialogTest, DataLinkDialogGivesTheComposedStringOrTheInitialOne)
{
    const QString initial = QStringLiteral("Provider=SQLOLEDB;Password=;User ID=;Data Source=old;"
                                           "Persist Security Info=False;Initial Catalog=");
    {
        TdlgDataLink dialog(initial, nullptr, [](const QString&) { return QStringList{"master", "Sales"}; });
        EXPECT_EQ(find<QLineEdit>(&dialog, "edtServer")->text(), "old");
        find<QLineEdit>(&dialog, "edtServer")->setText("DBHOST");
        find<QLineEdit>(&dialog, "edtUser")->setText("sa");
        find<QLineEdit>(&dialog, "edtPassword")->setText("pw");
        find<QCheckBox>(&dialog, "chkSavePassword")->setChecked(true);
        dialog.btnRefreshClick();
        auto* databases = find<QComboBox>(&dialog, "cboDatabase");
        ASSERT_EQ(databases->count(), 2);
        databases->setCurrentIndex(1);
        whenModalShown([](QWidget* modal) {
            modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        dialog.exec();
        EXPECT_EQ(dialog.result(), "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
                                   "Initial Catalog=Sales;Data Source=DBHOST");
    }
    {
        TdlgDataLink dialog(initial, nullptr, [](const QString&) -> QStringList {
            throw std::runtime_error("Login failed for user 'sa'.");
        });
        find<QLineEdit>(&dialog, "edtServer")->setText("changed");
        dialog.btnTestClick();
        EXPECT_TRUE(find<QLabel>(&dialog, "lblStatus")->text().contains("Login failed for user 'sa'."));
        whenModalShown([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        dialog.exec();
        EXPECT_EQ(dialog.result(), initial);
    }
}

TEST_F(DialogTest, DataLinkDialogBlankPasswordAndTheTestOfTheChosenDatabase)
{
    TdlgDataLink dialog(QStringLiteral("Provider=SQLOLEDB;Password=old;User ID=sa;Data Source=h"), nullptr,
                        [](const QString&) {
                            return QStringList{"master", "Sales"};
                        });
    auto* password = find<QLineEdit>(&dialog, "edtPassword");
    find<QCheckBox>(&dialog, "chkBlankPassword")->setChecked(true);
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_FALSE(password->isEnabled());
    EXPECT_TRUE(dialog.fields().Password.isEmpty());
    find<QCheckBox>(&dialog, "chkBlankPassword")->setChecked(false);
    EXPECT_TRUE(password->isEnabled());

    auto* databases = find<QComboBox>(&dialog, "cboDatabase");
    auto* status = find<QLabel>(&dialog, "lblStatus");
    for (const auto& [database, succeeds] :
         {std::pair{"sales", true}, std::pair{"", true}, std::pair{"Gone", false}}) {
        databases->setEditText(QString::fromUtf8(database));
        dialog.btnTestClick();
        EXPECT_EQ(status->text() == LoadUIText(311), succeeds) << database;
    }
    EXPECT_TRUE(status->text().contains("'Gone'"));
}

namespace {

struct DataLinkTexts
{
    int language;
    const char* title;
    const char* serverLabel;
    const char* saveLabel;
    const char* test;
    const char* unreachable;
};

void PrintTo(const DataLinkTexts& c, std::ostream* os)
{
    *os << "language " << c.language;
}

class DataLinkLanguage : public DialogTest, public ::testing::WithParamInterface<DataLinkTexts>
{
};

const char kUnreachable[] =
    "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not exist";

TEST_P(DataLinkLanguage, SpeaksTheUILanguageAndNamesAServerItCannotReach)
{
    const DataLinkTexts& c = GetParam();
    CurrentLanguage = c.language;
    TdlgDataLink dialog(QStringLiteral("Data Source=dbhost,1433"), nullptr,
                        [](const QString&) -> QStringList { throw std::runtime_error(kUnreachable); });
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.title));
    auto* form = dialog.findChild<QFormLayout*>();
    ASSERT_NE(form, nullptr);
    auto* serverLabel = qobject_cast<QLabel*>(form->labelForField(find<QLineEdit>(&dialog, "edtServer")));
    ASSERT_NE(serverLabel, nullptr);
    EXPECT_EQ(serverLabel->text(), QString::fromUtf8(c.serverLabel));
    EXPECT_EQ(find<QCheckBox>(&dialog, "chkSavePassword")->text(), QString::fromUtf8(c.saveLabel));
    EXPECT_EQ(find<QPushButton>(&dialog, "btnTest")->text(), QString::fromUtf8(c.test));
    // The toolkit's own buttons stay as the toolkit's German translation gives them.
    EXPECT_EQ(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(), "Abbrechen");

    dialog.resize(dialog.sizeHint());
    dialog.show();
    QApplication::processEvents();
    const auto geometries = [&dialog] {
        QList<QRect> rects{dialog.geometry()};
        for (const char* name : {"edtServer", "cboDatabase", "btnTest"})
            rects << dialog.findChild<QWidget*>(QLatin1String(name))->geometry();
        rects << dialog.findChild<QDialogButtonBox*>()->geometry();
        return rects;
    };
    const QList<QRect> before = geometries();
    dialog.btnRefreshClick();
    QApplication::processEvents();
    const QString status = find<QLabel>(&dialog, "lblStatus")->text();
    EXPECT_EQ(status, QString::fromUtf8(c.unreachable) + u'\n' + QString::fromUtf8(kUnreachable));
    EXPECT_EQ(geometries(), before) << "a two-line message moved the rows";
    dialog.btnTestClick();
    QApplication::processEvents();
    EXPECT_TRUE(find<QLabel>(&dialog, "lblStatus")->text().contains(QString::fromUtf8(c.unreachable)));
    EXPECT_EQ(geometries(), before);
}

// Shrunk as far as it goes, the dialog still shows each check box's text whole, in either language.
TEST_P(DataLinkLanguage, ShowsEveryChoiceWholeAtItsSmallestWidth)
{
    CurrentLanguage = GetParam().language;
    TdlgDataLink dialog(QStringLiteral("Data Source=dbhost,1433"));
    dialog.show();
    dialog.resize(1, dialog.height());
    QApplication::processEvents();
    const QList<QCheckBox*> boxes = dialog.findChildren<QCheckBox*>();
    ASSERT_GE(boxes.size(), 5);
    for (const QCheckBox* box : boxes) {
        EXPECT_GE(box->width(), box->sizeHint().width()) << box->text().toStdString();
        EXPECT_LE(box->geometry().right(), dialog.contentsRect().right()) << box->text().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, DataLinkLanguage,
    ::testing::Values(DataLinkTexts{1, "Datenverknüpfungseigenschaften",
                                    "Servername:", "Speichern des Kennworts zulassen", "Verbindung testen",
                                    "Der Server 'dbhost,1433' konnte nicht erreicht werden."},
                      DataLinkTexts{2, "Data Link Properties", "Server name:", "Allow saving password",
                                    "Test Connection", "The server 'dbhost,1433' could not be reached."}));

// At its smallest the dialog still shows every word of a long message: the status area scrolls
// to the lines below its four, and a word too long for a line is not cut off.
TEST_F(DialogTest, DataLinkStatusLosesNothingAtTheSmallestSize)
{
    CurrentLanguage = 2;
    const std::string host = "db-cluster-listener.example.internal";
    const std::string message =
        "Cannot connect to the SQL Server \"" + host + ",14330\" (host " + host +
        ", port 14330): [FreeTDS][SQL Server]Unable to connect to data source. The "
        "connection was to be encrypted with a trusted certificate: the server does "
        "not encrypt, or its certificate is not from a trusted CA or does not name the "
        "host \"" +
        host + "\".";
    TdlgDataLink dialog(QStringLiteral("Data Source=h"), nullptr,
                        [&](const QString&) -> QStringList { throw std::runtime_error(message); });
    dialog.show();
    dialog.resize(1, 1);
    QApplication::processEvents();
    dialog.btnTestClick();
    QApplication::processEvents();
    auto* status = find<QLabel>(&dialog, "lblStatus");
    auto* area = find<QScrollArea>(&dialog, "scrStatus");
    ASSERT_TRUE(status->text().endsWith(QStringLiteral("\"") + QString::fromStdString(host) + "\"."));
    // The whole message is laid out in the label, no word narrower than it is...
    EXPECT_GE(status->height(), status->heightForWidth(status->width()));
    EXPECT_GE(status->width(), status->minimumSizeHint().width());
    // ...and what the area does not show can be scrolled to.
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(area->verticalScrollBar()->maximum(), status->height() - area->viewport()->height());
}

TEST(ServerFailureTextTest, OtherFailuresKeepTheDriversWords)
{
    CurrentLanguage = 2;
    // The session's English naming of the server is not said twice.
    EXPECT_EQ(
        ServerFailureText("h,1", QStringLiteral("Cannot connect to the SQL Server \"h,1\": ") + kUnreachable),
        QStringLiteral("The server 'h,1' could not be reached.\n") + kUnreachable);
    // The session names the host and port it tried; they follow the UI language's lead line.
    CurrentLanguage = 1;
    EXPECT_EQ(
        ServerFailureText("h,1",
                          QStringLiteral("Cannot connect to the SQL Server \"h,1\" (host h, port 1): ") +
                              kUnreachable),
        QStringLiteral("Der Server 'h,1' konnte nicht erreicht werden.\nhost h, port 1: ") + kUnreachable);
    // A server that takes the connection and never answers is as unreachable, in the same words.
    EXPECT_EQ(
        ServerFailureText("h,1", QStringLiteral("Cannot connect to the SQL Server \"h,1\" (host h, port 1): "
                                                "Timeout expired")),
        QStringLiteral("Der Server 'h,1' konnte nicht erreicht werden.\nhost h, port 1: Timeout expired"));
    EXPECT_EQ(ServerFailureText("h", "Login failed for user 'sa'."), "Login failed for user 'sa'.");
    EXPECT_EQ(ServerFailureText("h", ""), "");
}

} // namespace
