// Linked tables of an Access front-end through orvane-report: listed with the local tables, their
// columns read from the back-ends (each read once), unresolved links reported without columns and
// warned about on standard error.
#include "CommandRuns.h"
#include "JetCatalogReader.h"
#include "JetLinkedTables.h"
#include "SplitApplication.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The report after its eight header lines, and what it should be.
std::string body(const QByteArray& out)
{
    return QString::fromUtf8(out).section(u'\n', 8).toStdString();
}

std::string expectedBody(bool protectedFrontEnd)
{
    return (SplitApplicationReportBody(protectedFrontEnd)
            << QString(6, u' ') + QString(70, u'*') << QString())
        .join(u'\n')
        .toStdString();
}

std::string warning(const char* table, const char* source, const char* reason)
{
    return "orvane-report: warning: linked table '" + std::string(table) + "' (" + source +
           ") has no columns: " + reason + "\n";
}

const std::string kGone =
    warning("Gone", "back-end 'C:\\data\\gone.mdb'", "Could not find file 'C:\\data\\gone.mdb'.");
const std::string kLocked =
    warning("LockedNoPwd", "back-end 'C:\\data\\locked.mdb'", "Not a valid password.");
const std::string kOdbc = warning("Remote", "ODBC", "ODBC data sources are not read.");

class LinkedTables : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override { SetJetReaderProgram(m_reader); }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Puts a script before the real reader that logs each run's mode and file.
    void countReaderRuns()
    {
        QFile script(path(QStringLiteral("reader")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s %s\\n' \"$1\" \"$2\" >> \"$0.log\"\nexec '" + m_reader.toUtf8() +
                     "' \"$@\"\n");
        script.close();
        ASSERT_TRUE(
            script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        SetJetReaderProgram(script.fileName());
    }
    QStringList readerRuns() const
    {
        QFile log(path(QStringLiteral("reader.log")));
        return log.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    QTemporaryDir m_dir;
    const QString m_reader = JetReaderProgram();
};

TEST_F(LinkedTables, AreReportedFromTheirBackEndsReadOnceEach)
{
    const QString front = WriteSplitApplication(m_dir.path());
    countReaderRuns();

    const CommandRun run = RunCommandInProcess({QStringLiteral("--language"), QStringLiteral("en"), front});

    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(body(run.out), expectedBody(false));
    EXPECT_EQ(run.err.toStdString(), kGone + kLocked + kOdbc);
    // Two links into BACK.MDB, two into locked.mdb (one refused before any reader run): each read
    // once; the system tables came with the front-end's own run.
    EXPECT_EQ(readerRuns(), (QStringList{QStringLiteral("catalogue ") + front,
                                         QStringLiteral("catalogue ") + path(QStringLiteral("BACK.MDB")),
                                         QStringLiteral("catalogue ") + path(QStringLiteral("locked.mdb"))}));

    // Only the links of the report are warned about.
    const CommandRun picked =
        RunCommandInProcess({QStringLiteral("--table"), QStringLiteral("Remote"), QStringLiteral("--table"),
                             QStringLiteral("Notes"), front});
    EXPECT_EQ(picked.exitCode, 0);
    EXPECT_EQ(picked.err.toStdString(), kOdbc);
}

TEST_F(LinkedTables, ABackEndWithoutAStoredPasswordOpensWithTheFrontEndsOwn)
{
    const QString front = WriteSplitApplication(m_dir.path(), true);
    const CommandRun run = RunCommandInProcess(
        {QStringLiteral("--language"), QStringLiteral("en"), QStringLiteral("--password-stdin"), front},
        kSplitPassword.toUtf8() + '\n');
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(body(run.out), expectedBody(true));
    EXPECT_EQ(run.err.toStdString(), kGone + kOdbc);
}

TEST_F(LinkedTables, BackEndIsFoundAtItsPathOrByItsNameBesideTheFrontEnd)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("sub")));
    for (const char* name : {"sub/Back.mdb", "Other.MDB"})
        ASSERT_TRUE(QFile(path(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
    const QString folder = m_dir.path();
    const QString back = path(QStringLiteral("sub/Back.mdb"));
    // A path of this system is taken as it stands; a relative one counts from the front-end.
    EXPECT_EQ(LocateJetBackEnd(back, folder), back);
    EXPECT_EQ(LocateJetBackEnd(QStringLiteral("sub\\Back.mdb"), folder), back);
    // A Windows path names a file beside the front-end, in any letter case.
    EXPECT_EQ(LocateJetBackEnd(QStringLiteral("D:\\Apps\\other.mdb"), folder),
              path(QStringLiteral("Other.MDB")));
    EXPECT_EQ(LocateJetBackEnd(QStringLiteral("\\\\server\\share\\OTHER.mdb"), folder),
              path(QStringLiteral("Other.MDB")));
    EXPECT_EQ(LocateJetBackEnd(QStringLiteral("C:\\data\\back.mdb"), folder), QString());
    EXPECT_EQ(LocateJetBackEnd(QStringLiteral("C:\\sub"), folder), QString());
}

} // namespace
