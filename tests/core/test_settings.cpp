// Where the settings file lives and the process-wide wrappers around it.
#include "KorvIniFiles.h"
#include "Settings.h"
#include "Unwritable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        // A configuration folder of this test's own: ctest runs the tests of this suite side by
        // side, and one test's removing the folder must not pull it from under another.
        m_savedName = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(
            QStringLiteral("test_settings_%1")
                .arg(QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name())));
        m_saved = SettingsFileName();
        SetSettingsFileName(dir.filePath(QStringLiteral("orvane.ini")));
    }
    void TearDown() override
    {
        SetSettingsFileName(m_saved);
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QCoreApplication::setApplicationName(m_savedName);
    }

    QTemporaryDir dir;

private:
    QString m_saved;
    QString m_savedName;
};

TEST_F(SettingsTest, DefaultsAreExactlyLanguageThenDelimiter)
{
    CreateDefaultSettings();
    EXPECT_EQ(readBytes(SettingsFileName()), QByteArray("[Application]\r\nLanguage=1\r\nDelimiter=*\r\n"));
    EXPECT_EQ(ReadSetting(QStringLiteral("application"), QStringLiteral("DELIMITER")), QStringLiteral("*"));
}

TEST_F(SettingsTest, WrappersUseTheProcessWideFile)
{
    WriteSetting(QStringLiteral("Application"), QStringLiteral("Filename"), QStringLiteral("Orvane.txt"));
    EXPECT_EQ(IniReadString(dir.filePath(QStringLiteral("orvane.ini")), QStringLiteral("Application"),
                            QStringLiteral("Filename")),
              QStringLiteral("Orvane.txt"));
    SetSettingsFileName(dir.filePath(QStringLiteral("other.ini")));
    EXPECT_EQ(ReadSetting(QStringLiteral("Application"), QStringLiteral("Filename")), kNotPresentValue);
}

// A command that fails halfway keeps what it wrote before the failure, and says which file.
TEST_F(SettingsTest, FailedWriteKeepsEarlierValues)
{
    WriteSetting(QStringLiteral("PR_Access_x"), QStringLiteral("Database"), QStringLiteral("/a.mdb"));
    Unwritable lock(dir.path());
    if (!lock.active())
        GTEST_SKIP() << "this file system cannot lock the folder";
    try {
        WriteSetting(QStringLiteral("PR_Access_x"), QStringLiteral("User"), QStringLiteral("Admin"));
        FAIL() << "write into a locked folder succeeded";
    } catch (const SettingsWriteError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  QStringLiteral("nach %1 kann nicht geschrieben werden").arg(SettingsFileName()));
    }
    EXPECT_EQ(ReadSetting(QStringLiteral("PR_Access_x"), QStringLiteral("Database")),
              QStringLiteral("/a.mdb"));
    EXPECT_EQ(ReadSetting(QStringLiteral("PR_Access_x"), QStringLiteral("User")), kNotPresentValue);
}

struct NameCase
{
    const char* exe; // relative to the test folder
    const char* ini;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.exe;
}

class SettingsNameTest : public SettingsTest, public ::testing::WithParamInterface<NameCase>
{
};

TEST_P(SettingsNameTest, BesideAWritableExecutable)
{
    const QString exe = dir.filePath(QString::fromUtf8(GetParam().exe));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(exe).path()));
    EXPECT_EQ(DetermineSettingsFileName(exe), dir.filePath(QString::fromUtf8(GetParam().ini)));
}

INSTANTIATE_TEST_SUITE_P(Names, SettingsNameTest,
                         ::testing::Values(NameCase{"orvane", "orvane.ini"},
                                           NameCase{"bin/Orvane.exe", "bin/Orvane.ini"},
                                           NameCase{"my.tool.bin", "my.tool.ini"},
                                           NameCase{"Tools.old/tool", "Tools.old/tool.ini"}));

TEST_F(SettingsTest, ReadOnlyFolderMovesToUserConfiguration)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir(config).removeRecursively();
    const QString exe = dir.filePath(QStringLiteral("orvane"));
    Unwritable lock(dir.path());
    if (!lock.active())
        GTEST_SKIP() << "this file system cannot lock the folder";
    const QString name = DetermineSettingsFileName(exe);
    EXPECT_EQ(name, config + QStringLiteral("/orvane.ini"));
    EXPECT_TRUE(QFileInfo(config).isDir());
    SetSettingsFileName(name);
    CreateDefaultSettings();
    EXPECT_EQ(ReadSetting(QStringLiteral("Application"), QStringLiteral("Language")), QStringLiteral("1"));
}

TEST_F(SettingsTest, ExistingFileInReadOnlyFolderStaysInUse)
{
    CreateDefaultSettings();
    Unwritable lock(dir.path());
    if (!lock.active())
        GTEST_SKIP() << "this file system cannot lock the folder";
    EXPECT_EQ(DetermineSettingsFileName(dir.filePath(QStringLiteral("orvane"))),
              dir.filePath(QStringLiteral("orvane.ini")));
}

TEST_F(SettingsTest, MissingFolderMovesToUserConfiguration)
{
    EXPECT_EQ(DetermineSettingsFileName(dir.filePath(QStringLiteral("gone/orvane"))),
              QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                  QStringLiteral("/orvane.ini"));
}

} // namespace
