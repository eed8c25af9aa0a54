// The version block carried by the executable, and reading blocks out of arbitrary files.
#include "VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

namespace {

struct OwnCase
{
    int index;
    QString value;
};

void PrintTo(const OwnCase& c, std::ostream* os)
{
    *os << "index " << c.index;
}

class OwnVersionTest : public ::testing::TestWithParam<OwnCase>
{
};

TEST_P(OwnVersionTest, FromRunningExecutable)
{
    EXPECT_EQ(OwnVersionInfoString(GetParam().index), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Keys, OwnVersionTest,
                         ::testing::Values(OwnCase{1, "Orvane"}, OwnCase{2, "0.7.1.2"}, OwnCase{3, "Orvane"},
                                           OwnCase{4, QString::fromUtf8(kProgramCopyright)}, OwnCase{5, ""},
                                           OwnCase{6, "orvane"}, OwnCase{7, "Orvane"}, OwnCase{8, "0.7"},
                                           OwnCase{9, "--- keine ---"}, OwnCase{-1, ""}, OwnCase{10, ""}));

// The value must come from the file on disk, not only from memory.
TEST(VersionInfoTest, ExecutableFileHoldsTheBlock)
{
    EXPECT_EQ(VersionInfoString(QCoreApplication::applicationFilePath(), 2), QStringLiteral("0.7.1.2"));
    EXPECT_FALSE(OwnVersionInfoString(0).isEmpty());
    // Read where the program's own bytes came from, it is what a search of the whole file finds.
    for (int index = 0; index < 10; ++index)
        EXPECT_EQ(OwnVersionInfoString(index),
                  VersionInfoString(QCoreApplication::applicationFilePath(), index))
            << index;
}

// Blocks are assembled at run time so that this test program holds no second well-formed block.
QByteArray block(const char* language, const QList<std::pair<QByteArray, QByteArray>>& entries)
{
    QByteArray b = QByteArray("String") + "FileInfo\\" + language + "\\" + '\0';
    for (const auto& [key, value] : entries)
        b += key + '\0' + value + '\0';
    return b + '\0';
}

QByteArray german(const QByteArray& version)
{
    return block("040704E4", {{"CompanyName", "Maker"}, {"FileVersion", version}, {"Comments", "x"}});
}

QByteArray english(const QByteArray& version)
{
    return block("040904E4", {{"FileVersion", version}});
}

struct FileCase
{
    const char* name;
    QByteArray content;
    QString version;
};

void PrintTo(const FileCase& c, std::ostream* os)
{
    *os << c.name;
}

class VersionFileTest : public ::testing::TestWithParam<FileCase>
{
};

TEST_P(VersionFileTest, FileVersion)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("program"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(GetParam().content), GetParam().content.size());
    f.close();
    EXPECT_EQ(VersionInfoString(path, 2), GetParam().version);
}

const QByteArray kFiller(70000, '\x7F');

INSTANTIATE_TEST_SUITE_P(
    Files, VersionFileTest,
    ::testing::Values(
        FileCase{"Empty", "", ""}, FileCase{"NoBlock", QByteArray(100000, 'S'), ""},
        FileCase{"German", "head" + german("1.2.3.4") + "tail", "1.2.3.4"},
        FileCase{"EnglishOnly", "head" + english("1.2.3.4") + "tail", ""},
        FileCase{"EnglishThenGerman", english("9") + german("1.0"), "1.0"},
        FileCase{"GermanWithoutKey", block("040704E4", {{"Comments", "x"}}) + english("9"), ""},
        FileCase{"AcrossReadPieces", QByteArray(65536 - 7, 'a') + german("5.6"), "5.6"},
        FileCase{"DeepInLargeFile", kFiller + kFiller + kFiller + german("7.7") + kFiller, "7.7"},
        FileCase{"BrokenHeaderSkipped", QByteArray("String") + "FileInfo\\0407X4E4\\" + '\0' + german("2.0"),
                 "2.0"},
        FileCase{"Windows1252Value", block("040704E4", {{"FileVersion", "1\xB2"}}), QStringLiteral(u"1²")}));

// A block cut off anywhere must be rejected without reading past the file.
TEST(VersionInfoTest, TruncatedBlocksGiveNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut"));
    const QByteArray whole = german("1.2.3.4");
    for (qsizetype length = 1; length < whole.size(); ++length) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(whole.left(length));
        f.close();
        EXPECT_EQ(VersionInfoString(path, 2), QString()) << "length " << length;
    }
}

TEST(VersionInfoTest, MissingFileOrBadIndexGiveNothing)
{
    QTemporaryDir dir;
    EXPECT_EQ(VersionInfoString(dir.filePath(QStringLiteral("none")), 2), QString());
    EXPECT_EQ(VersionInfoString(dir.path(), 2), QString());
    const QString self = QCoreApplication::applicationFilePath();
    EXPECT_EQ(VersionInfoString(self, -1), QString());
    EXPECT_EQ(VersionInfoString(self, 10), QString());
}

} // namespace
