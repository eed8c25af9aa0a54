// Saving the pane as RTF into the temporary folder, read back by an independent reader (unrtf,
// Debian package unrtf): lines, font and red search marks; and failures that keep what was there.
#include "Unwritable.h"
#include "WindowFixture.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextEdit>

class SaveReport : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // The program's temporary folder is the system's, which follows TMPDIR.
        ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("tmp")));
        qputenv("TMPDIR", tmp().toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("TMPDIR");
        WindowFixture::TearDown();
    }
    QString tmp(const QString& name = {}) const { return folder.filePath(QStringLiteral("tmp/") + name); }
    QByteArray bytes(const QString& name) const
    {
        QFile file(tmp(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // unrtf's HTML (fonts, colours, every character as an entity) and its lines as text.
    static QString unrtfHtml(const QString& file)
    {
        QProcess unrtf;
        unrtf.start(QStringLiteral("unrtf"), {QStringLiteral("--html"), file});
        return unrtf.waitForFinished(30000) ? QString::fromUtf8(unrtf.readAllStandardOutput()) : QString();
    }
    static QStringList unrtfLines(const QString& file)
    {
        QTextDocument html;
        html.setHtml(unrtfHtml(file));
        QStringList lines = html.toRawText().split(QRegularExpression(QStringLiteral("[\n\u2028\u2029]")));
        for (QString& line : lines)
            line = line.simplified(); // unrtf keeps one blank of a run
        return lines;
    }
};

TEST_F(SaveReport, WritesThePaneWithItsFontAndRedMarksUnderTheConfiguredName)
{
    if (QStandardPaths::findExecutable(QStringLiteral("unrtf")).isEmpty())
        GTEST_SKIP() << "unrtf is not installed (Debian package unrtf; scripts/install-deps.sh)";
    writeIni("[Application]\nLanguage=1\nFilename=report.txt\n");
    start();
    const QString report = QStringLiteral(
        "  *** Straße Müller ***\n  1 CustomerID  Preis € 張偉 한국\n\n  2 C:\\{Pfad} }{  OrderId");
    child<QTextEdit>("memOutput")->setPlainText(report);
    child<QLineEdit>("edtSearch")->setText(QStringLiteral("id"));
    action("actFindText")->trigger();
    action("actFindText")->trigger();
    action("actSaveListbox")->trigger();

    QStringList expected;
    for (const QString& line : report.split(u'\n'))
        expected << line.simplified();
    EXPECT_EQ(unrtfLines(tmp(QStringLiteral("report.txt"))), expected);
    const QString html = unrtfHtml(tmp(QStringLiteral("report.txt")));
    EXPECT_TRUE(html.contains(QStringLiteral("<font face=\"Courier New\"><span style=\"font-size:9pt\">")));
    EXPECT_TRUE(html.contains(QStringLiteral("<font color=\"#ff0000\">ID</font>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<font color=\"#ff0000\">Id</font>")));

    // Saving again overwrites without a word.
    child<QTextEdit>("memOutput")->setPlainText(QStringLiteral("new"));
    action("actSaveListbox")->trigger();
    EXPECT_EQ(unrtfLines(tmp(QStringLiteral("report.txt"))), QStringList{"new"});
    EXPECT_TRUE(prompter->shown.isEmpty());
}

TEST_F(SaveReport, MissingKeyNamesTheFileWithTheMarkerAndAnEmptyPaneGivesAnEmptyDocument)
{
    start();
    action("actSaveListbox")->trigger();
    const QByteArray rtf = bytes(QStringLiteral("_$$$_"));
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi") && rtf.endsWith("\\cf1 \n}\n")) << rtf.constData();
    EXPECT_TRUE(prompter->shown.isEmpty());
}

TEST_F(SaveReport, FileThatCannotBeCreatedShowsWhyAndKeepsWhatWasThere)
{
    writeIni("[Application]\nLanguage=1\nFilename=report.rtf\n");
    start();
    child<QTextEdit>("memOutput")->setPlainText(QStringLiteral("report"));
    ASSERT_TRUE(QDir(tmp()).mkdir(QStringLiteral("report.rtf")));
    action("actSaveListbox")->trigger();
    ASSERT_EQ(prompter->ofKind("default-error").size(), 1);
    EXPECT_TRUE(prompter->shown[0].text.startsWith(
        QStringLiteral("Datei \"%1\" kann nicht erstellt werden. ").arg(tmp(QStringLiteral("report.rtf")))));
    ASSERT_TRUE(QDir(tmp(QStringLiteral("report.rtf"))).removeRecursively());

    // A folder nobody may write to (root neither, through the immutable flag): the old file stays.
    QFile old(tmp(QStringLiteral("report.rtf")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    Unwritable locked(tmp());
    if (!locked.active())
        GTEST_SKIP() << "the temporary folder cannot be made unwritable here";
    action("actSaveListbox")->trigger();
    EXPECT_EQ(prompter->ofKind("default-error").size(), 2);
    EXPECT_EQ(bytes(QStringLiteral("report.rtf")), "old");
    EXPECT_EQ(QDir(tmp()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.rtf"});
}
