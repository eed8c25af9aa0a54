// Saved connections in the window, from a settings file the Windows program wrote (Windows-1252,
// CR LF): the lists, loading with and without a stored password, loads that fail part-way, the
// name question of Save Profile, and Delete Profile.
#include "WindowFixture.h"

#include "ConnectionProfiles.h"
#include "JetWriter.h"
#include "KorvUserManagerCrypt.h"
#include "UIText.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <ostream>

namespace {

class WindowProfilesTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        jet::Database db;
        db.password = "Geheimnis";
        db.tables << jet::Table{"Kunden", {jet::Column{"Nr", jet::ColumnType::Long}}};
        jet::writeFile(mdb, db);
        writeWindowsIni({"[PR_SQLServer_Verkäufe]", "Server=db-süd,1", "Database=Verkäufe", "User=Jürgen",
                         "Persist Security Info=False", "Password=", "[PR_Access_Läden]", "Database=" + mdb,
                         "Database Password=" + EncryptText(kProfileKey, "Geheimnis"),
                         "User=", "Password=" + EncryptText(kProfileKey, ""), "[pr_sqlserver_Klein]",
                         "Server=x", "[PR_SQLServer_aPR_sqlserver_b]", "Server=y", "[PR_Access_Kaputt]",
                         "Database=" + mdb, "Database Password=abc"});
        start();
        showPage("tshAccess");
    }

    void showPage(const char* page)
    {
        child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>(page));
    }
    int tables() const { return child<QListWidget>("chkTables")->count(); }

    QString mdb = folder.filePath("Bücher.mdb");
};

TEST_F(WindowProfilesTest, AccessProfilesOpenWithoutADialogOrStopAtAStoredPasswordThatCannotBeRead)
{
    EXPECT_EQ(profileEntries("cboAccessProfile"), (QStringList{"", "Läden", "Kaputt"}));
    // A prefix in other letter case is no profile; one inside a name is taken out of it.
    EXPECT_EQ(profileEntries("cboSQLServerProfile"), (QStringList{"", "Verkäufe", "ab"}));
    chooseProfile("cboAccessProfile", "Kaputt");
    EXPECT_EQ(prompter->shown.at(0).text, "Base64: Incorrect string format");
    EXPECT_EQ(window->Database(), mdb);
    EXPECT_EQ(tables(), 0);

    chooseProfile("cboAccessProfile", "Läden");
    EXPECT_GT(tables(), 1);
    EXPECT_EQ(window->UserPassword(), ""); // not the byte 177 of the same stored form
}

TEST_F(WindowProfilesTest, SqlServerProfilesWithoutAStoredPasswordAskForIt)
{
    showPage("tshSQLServer");
    prompter->cancelInput();
    chooseProfile("cboSQLServerProfile", "Verkäufe");
    EXPECT_EQ(prompter->shown[0].title, "Passwort");
    EXPECT_TRUE(prompter->shown[0].secret);
    EXPECT_EQ(window->Server(), "db-süd,1");
    // The listed name reads the section of that name, which is not there.
    prompter->cancelInput();
    chooseProfile("cboSQLServerProfile", "ab");
    EXPECT_EQ(window->Server(), "_$$$_");
    EXPECT_EQ(prompter->kinds(), (QStringList{"input", "input"}));
}

TEST_F(WindowProfilesTest, SaveAsksAgainForATakenNameAndTheNewProfileOutlivesARestart)
{
    chooseProfile("cboAccessProfile", "Läden");
    prompter->cancelInput();
    action("actSetProfil")->trigger();
    // Many refusals in other letter case, and the stack stays as it is.
    for (int i = 0; i < 2000; ++i)
        prompter->answerInput(i % 2 ? "LÄDEN" : "kaputt");
    prompter->answerInput(" Neu ");
    action("actSetProfil")->trigger();
    EXPECT_EQ(prompter->ofKind("input").last().preset, mdb);
    EXPECT_EQ(prompter->ofKind("error").size(), 2000);
    EXPECT_EQ(prompter->ofKind("error")[0].text, LoadUIText(160));
    EXPECT_EQ(child<QComboBox>("cboAccessProfile")->currentText(), "Neu");

    window.reset();
    start();
    showPage("tshAccess");
    chooseProfile("cboAccessProfile", "Neu");
    EXPECT_GT(tables(), 1);
    // A hand-written section in other letter case takes the name; a refused write ends the save,
    // and what was written before stays.
    showPage("tshSQLServer");
    window->SetUser("a\nb");
    prompter->answerInput("KLEIN");
    prompter->answerInput("Halb");
    action("actSetProfil")->trigger();
    EXPECT_EQ(prompter->ofKind("error").size(), 2001);
    EXPECT_TRUE(prompter->ofKind("default-error").at(0).text.startsWith("nach "));
    EXPECT_TRUE(readIni().endsWith("[PR_SQLServer_Halb]\r\nServer=\r\nDatabase=\r\n"));
}

TEST_F(WindowProfilesTest, DeleteRemovesOnlyTheCurrentProfile)
{
    const QByteArray before = readIni();
    action("actDeleteProfile")->trigger();
    EXPECT_EQ(readIni(), before);
    chooseProfile("cboAccessProfile", "Läden");
    action("actDeleteProfile")->trigger();
    EXPECT_EQ(profileEntries("cboAccessProfile"), (QStringList{"", "Kaputt"}));
    EXPECT_EQ(tables(), 0);
    writeIni("");
    window.reset();
    start();
    EXPECT_EQ(profileEntries("cboAccessProfile"), QStringList{""});
}

// What a user does to a closed profile list without choosing from it.
struct Gesture
{
    const char* label;
    std::function<void(QComboBox*)> act;
};

void PrintTo(const Gesture& g, std::ostream* os)
{
    *os << g.label;
}

void wheel(QComboBox* box, int delta)
{
    const QPointF at(box->width() / 2.0, box->height() / 2.0);
    QWheelEvent event(at, box->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &event);
}

class ClosedProfileList : public WindowProfilesTest, public ::testing::WithParamInterface<Gesture>
{
};

TEST_P(ClosedProfileList, LoadsNothingUntilAnEntryIsChosen)
{
    auto* box = child<QComboBox>("cboAccessProfile");
    chooseProfile("cboAccessProfile", "Läden");
    ASSERT_GT(tables(), 1);
    window->findChild<QLineEdit*>("edtAccessVersion")->setText("1.0");

    GetParam().act(box);
    // Keys drop the list down; leaving it with Escape is no choice.
    if (box->view()->isVisible())
        QTest::keyClick(box->view(), Qt::Key_Escape);
    QApplication::processEvents();

    EXPECT_EQ(box->currentText(), "Läden");
    EXPECT_GT(tables(), 1);
    EXPECT_EQ(window->findChild<QLineEdit*>("edtAccessVersion")->text(), "1.0");
    EXPECT_TRUE(prompter->shown.isEmpty()) << prompter->kinds().join(u',').toStdString();

    // Closing the list on the entry it already shows is no new choice either.
    chooseProfile("cboAccessProfile", "Läden");
    EXPECT_EQ(window->findChild<QLineEdit*>("edtAccessVersion")->text(), "1.0");
    chooseProfile("cboAccessProfile", "Kaputt");
    EXPECT_EQ(prompter->kinds(), QStringList{"default-error"});
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, ClosedProfileList,
    ::testing::Values(Gesture{"WheelDown", [](QComboBox* box) { wheel(box, -120); }},
                      Gesture{"WheelUp", [](QComboBox* box) { wheel(box, 120); }},
                      Gesture{"ArrowDown", [](QComboBox* box) { QTest::keyClick(box, Qt::Key_Down); }},
                      Gesture{"ArrowUp", [](QComboBox* box) { QTest::keyClick(box, Qt::Key_Up); }},
                      Gesture{"End", [](QComboBox* box) { QTest::keyClick(box, Qt::Key_End); }},
                      Gesture{"TypeAhead", [](QComboBox* box) { QTest::keyClicks(box, "K"); }},
                      Gesture{"TypeAheadThenEnterInTheList",
                              [](QComboBox* box) {
                                  QTest::keyClicks(box, "L");
                                  // The typed letter found the entry already shown.
                                  QTest::keyClick(box->view(), Qt::Key_Return);
                              }}),
    [](const ::testing::TestParamInfo<Gesture>& p) { return std::string(p.param.label); });

} // namespace
