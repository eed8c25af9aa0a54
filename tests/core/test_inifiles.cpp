// The settings file: lookups in hand-edited and foreign files, byte-exact updates, and failures
// that must leave the old file as it was.
#include "KorvIniFiles.h"
#include "Unwritable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <ostream>

namespace {

// Byte strings with embedded zero bytes.
template <size_t N> QByteArray raw(const char (&s)[N])
{
    return QByteArray(s, N - 1);
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

std::string printable(const QByteArray& bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (u < 0x20 || u >= 0x7F) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        } else
            out += c;
    }
    return out;
}

class IniTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("orvane.ini"));
};

// ---- reading ---------------------------------------------------------------------------------

struct ReadCase
{
    const char* name;
    QByteArray content;
    const char* section;
    const char* key;
    QString expected;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniReadTest : public IniTest, public ::testing::WithParamInterface<ReadCase>
{
};

TEST_P(IniReadTest, FindsValue)
{
    writeBytes(file, GetParam().content);
    EXPECT_EQ(IniReadString(file, QString::fromUtf8(GetParam().section), QString::fromUtf8(GetParam().key)),
              GetParam().expected);
}

const QString kAbsent = QStringLiteral("_$$$_");

INSTANTIATE_TEST_SUITE_P(
    Files, IniReadTest,
    ::testing::Values(
        ReadCase{"NamesIgnoreCase", "[application]\nlanguage=2\n", "Application", "Language", "2"},
        ReadCase{"BlanksAroundValueDropped", "[A]\nk= \t v w \t\n", "A", "k", "v w"},
        ReadCase{"BlanksAroundNamesDropped", "  [ A ]  \n  k  =v\n", "A", "k", "v"},
        ReadCase{"BlankValueReadsEmpty", "[Application]\nDelimiter= \n", "Application", "Delimiter", ""},
        ReadCase{"AbsentKey", "[A]\nk=v\n", "A", "x", kAbsent},
        ReadCase{"AbsentSection", "[A]\nk=v\n", "B", "k", kAbsent},
        ReadCase{"KeyOfOtherSectionNotSeen", "[A]\nx=1\n[B]\nk=v\n", "A", "k", kAbsent},
        ReadCase{"KeyBeforeAnySectionNotSeen", "k=v\n[A]\nx=1\n", "A", "k", kAbsent},
        ReadCase{"CommentIsNoKey", "[A]\n;k=v\n", "A", "k", kAbsent},
        ReadCase{"FirstOfDuplicateKeys", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        ReadCase{"DuplicateSectionsAreOne", "[A]\nx=1\n[B]\ny=2\n[a]\nk=3\n", "A", "k", "3"},
        ReadCase{"FirstSectionWinsForSharedKey", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        ReadCase{"EqualsInValue", "[A]\nk=a=b\n", "A", "k", "a=b"},
        ReadCase{"BracketInSectionName", "[PR_Access_a]b]\nk=v\n", "PR_Access_a]b", "k", "v"},
        ReadCase{"CrLf", "[A]\r\nk=v\r\n", "A", "k", "v"},
        ReadCase{"NoFinalLineEnd", "[A]\nk=v", "A", "k", "v"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        ReadCase{"Utf8Line", "[A]\nk=M\xC3\xBCller\n", "A", "k", QStringLiteral(u"Müller")},
        ReadCase{"Windows1252Line", "[A]\nk=M\xFCller \x80\n", "A", "k", QStringLiteral(u"Müller €")},
        ReadCase{"CutUtf8SequenceIsWindows1252", "[A]\nk=ab\xC3\n", "A", "k", QStringLiteral(u"abÃ")},
        ReadCase{"Windows1252SectionName",
                 "[PR_Access_Gr\xF6\xDF"
                 "e]\nk=v\n",
                 "PR_Access_Größe", "k", "v"},
        ReadCase{"GarbageAroundKeys", raw("\x00\xFF\xFE\n[A]\n\x01\x00zz\x00\n=\nk=v\n"), "A", "k", "v"},
        ReadCase{"GarbageInsideSection", raw("[A]\n\x00\xFF\xFE\x00junk\nk=v\n"), "A", "k", "v"},
        ReadCase{"LongValueWhole", "[A]\nk=" + QByteArray(100000, 'x') + "\n", "A", "k",
                 QString(100000, u'x')},
        ReadCase{"EmptyFile", "", "A", "k", kAbsent},
        // As Windows' profile functions read a hand-edited file.
        ReadCase{"CrAloneEndsLines", "[X]\rx=1\r[A]\rk=v\r", "A", "k", "v"},
        ReadCase{"CrAloneInsideCrLfFile", "[A]\r\nx=1\rk=v\r\n", "A", "k", "v"},
        ReadCase{"UnclosedHeaderIsALineOfTheSectionAbove", "[A]\n[B\nk=v\n", "A", "k", "v"},
        ReadCase{"KeyWithoutEqualsHasNoValue", "[A]\nk\n", "A", "k", kAbsent},
        ReadCase{"NulEndsValue",
                 raw("[A]\nk= ab\x00"
                     "cd\n"),
                 "A", "k", "ab"}));

TEST_F(IniTest, MissingFileReadsAsAbsent)
{
    EXPECT_EQ(IniReadString(file, QStringLiteral("A"), QStringLiteral("k")), kAbsent);
    EXPECT_TRUE(IniSectionNames(file).isEmpty());
    EXPECT_FALSE(IniSectionExists(file, QStringLiteral("A")));
}

TEST_F(IniTest, DirectoryReadsAsAbsent)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("orvane.ini")));
    EXPECT_EQ(IniReadString(file, QStringLiteral("A"), QStringLiteral("k")), kAbsent);
    EXPECT_TRUE(IniSectionNames(file).isEmpty());
}

TEST_F(IniTest, SectionNamesInFileOrderOnceEach)
{
    writeBytes(file, "k=v\n[Application]\nLanguage=1\n; [NotOne]\n[PR_Access_b]\n[ PR_SQLServer_a ]\nx=1\n"
                     "[pr_access_B]\ny=2\n[PR_Access_a]b]\n");
    EXPECT_EQ(IniSectionNames(file),
              (QStringList{"Application", "PR_Access_b", "PR_SQLServer_a", "PR_Access_a]b"}));
}

TEST_F(IniTest, SectionExistsOnlyWithAKey)
{
    writeBytes(file, "[Empty]\n; comment\n\n=v\n[Odd]\nno equals sign\n[Dup]\n[dup]\nk=v\n[Full]\nk=\n"
                     "[Open]\n[Unclosed\n");
    EXPECT_FALSE(IniSectionExists(file, QStringLiteral("Empty")));
    EXPECT_TRUE(IniSectionExists(file, QStringLiteral("Odd")));
    EXPECT_TRUE(IniSectionExists(file, QStringLiteral("Open")));
    EXPECT_FALSE(IniSectionExists(file, QStringLiteral("Unclosed")));
    EXPECT_TRUE(IniSectionExists(file, QStringLiteral("DUP")));
    EXPECT_TRUE(IniSectionExists(file, QStringLiteral("full")));
    EXPECT_FALSE(IniSectionExists(file, QStringLiteral("None")));
}

// ---- writing ---------------------------------------------------------------------------------

struct WriteCase
{
    const char* name;
    QByteArray before; // empty: no file at all
    const char* section;
    const char* key;
    QString value;
    QByteArray after;
};

void PrintTo(const WriteCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniWriteTest : public IniTest, public ::testing::WithParamInterface<WriteCase>
{
};

TEST_P(IniWriteTest, ChangesOnlyItsLine)
{
    const WriteCase& c = GetParam();
    if (!c.before.isEmpty())
        writeBytes(file, c.before);
    IniWriteString(file, QString::fromUtf8(c.section), QString::fromUtf8(c.key), c.value);
    EXPECT_EQ(printable(readBytes(file)), printable(c.after));
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniWriteTest,
    ::testing::Values(
        WriteCase{"CreatesFileWithCrLf", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
        WriteCase{"KeyWithoutEqualsReplacedInPlace", "[A]\n User \nx=1\n", "A", "user", "v",
                  "[A]\nUser=v\nx=1\n"},
        WriteCase{"CrLinesKeptAndAdded", "[A]\rx=1\ry=2\r", "A", "k", "v", "[A]\rx=1\ry=2\rk=v\r"},
        WriteCase{"OneLineFileGetsCrLf", "[A]", "A", "k", "v", "[A]\r\nk=v\r\n"},
        WriteCase{"NulEndsWrittenValue", "[A]\nk=1\n", "A", "k", QString::fromUtf8("ab\0cd", 5),
                  "[A]\nk=ab\n"},
        WriteCase{"ReplacesInPlaceKeepingSpelling", "; note\n[Application]\nX=1\nLANGUAGE = 1\nY=2\n",
                  "application", "Language", "English",
                  "; note\n[Application]\nX=1\nLANGUAGE =English\nY=2\n"},
        WriteCase{"NewKeyAtEndOfSection", "[A]\nx=1\n\n; about B\n[B]\ny=2\n", "A", "k", "v",
                  "[A]\nx=1\nk=v\n\n; about B\n[B]\ny=2\n"},
        WriteCase{"NewKeyInEmptySection", "[A]\n[B]\ny=2\n", "A", "k", "v", "[A]\nk=v\n[B]\ny=2\n"},
        WriteCase{"NewSectionAtEnd", "[A]\nx=1\n", "B", "k", "v", "[A]\nx=1\n[B]\nk=v\n"},
        WriteCase{"CrLfKept", "[A]\r\nx=1\r\n", "B", "k", "v", "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"},
        WriteCase{"CrLfKeptOnReplace", "[A]\r\nk=1\r\nx=2\r\n", "A", "k", "9", "[A]\r\nk=9\r\nx=2\r\n"},
        WriteCase{"NoFinalLineEndNewKey", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\nk=v\n"},
        WriteCase{"NoFinalLineEndNewSection", "[A]\nx=1", "B", "k", "v", "[A]\nx=1\n[B]\nk=v\n"},
        WriteCase{"NoFinalLineEndReplace", "[A]\nk=1", "A", "k", "2", "[A]\nk=2\n"},
        WriteCase{"FirstDuplicateKeyChanged", "[A]\nk=1\nk=2\n", "A", "K", "9", "[A]\nk=9\nk=2\n"},
        WriteCase{"KeyOfDuplicateSectionChangedWhereItStands", "[A]\nx=1\n[B]\n[a]\nk=1\n", "A", "k", "2",
                  "[A]\nx=1\n[B]\n[a]\nk=2\n"},
        WriteCase{"NewKeyInFirstOfDuplicateSections", "[A]\nx=1\n[B]\n[a]\ny=1\n", "A", "k", "v",
                  "[A]\nx=1\nk=v\n[B]\n[a]\ny=1\n"},
        WriteCase{"ForeignBytesElsewhereKept", "[A]\nname=M\xFCller\n", "A", "k", QStringLiteral(u"ä"),
                  "[A]\nname=M\xFCller\nk=\xC3\xA4\n"},
        WriteCase{"Windows1252KeyRewrittenAsUtf8",
                  "[A]\nGr\xF6\xDF"
                  "e=1\n",
                  "A",
                  "Gr\xC3\xB6\xC3\x9F"
                  "e",
                  "2",
                  "[A]\nGr\xC3\xB6\xC3\x9F"
                  "e=2\n"},
        WriteCase{"GarbageKept", raw("[A]\n\x00\xFF junk\nk=1\n"), "A", "k", "2",
                  raw("[A]\n\x00\xFF junk\nk=2\n")},
        WriteCase{"LongValue", "[A]\nk=1\n", "A", "k", QString(5000, u'y'),
                  "[A]\nk=" + QByteArray(5000, 'y') + "\n"},
        WriteCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "2", "\xEF\xBB\xBF[A]\nk=2\n"}));

struct RoundTripCase
{
    const char* name;
    QString written;
    QString read;
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniRoundTripTest : public IniTest, public ::testing::WithParamInterface<RoundTripCase>
{
};

TEST_P(IniRoundTripTest, ReadsBackWhatWasWritten)
{
    IniWriteString(file, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("first"));
    IniWriteString(file, QStringLiteral("A"), QStringLiteral("k"), GetParam().written);
    EXPECT_EQ(IniReadString(file, QStringLiteral("a"), QStringLiteral("K")), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniRoundTripTest,
    ::testing::Values(
        RoundTripCase{"Ascii", "Data Source=x;User ID=sa", "Data Source=x;User ID=sa"},
        RoundTripCase{"NonAscii", QStringLiteral(u"Größe äöü €"), QStringLiteral(u"Größe äöü €")},
        RoundTripCase{"OutsideWindows1252", QStringLiteral(u"Ωmega 日本"), QStringLiteral(u"Ωmega 日本")},
        RoundTripCase{"SurroundingBlanks", "  x y  ", "x y"}, RoundTripCase{"SingleBlank", " ", ""},
        RoundTripCase{"Empty", "", ""}, RoundTripCase{"Marker", "_$$$_", "_$$$_"},
        RoundTripCase{"Brackets", "[B]", "[B]"}, RoundTripCase{"Semicolon", ";x", ";x"}));

TEST_F(IniTest, CaseVariantsOfASectionAreOne)
{
    IniWriteString(file, QStringLiteral("PR_Access_Test"), QStringLiteral("User"), QStringLiteral("a"));
    IniWriteString(file, QStringLiteral("pr_access_test"), QStringLiteral("user"), QStringLiteral("b"));
    EXPECT_EQ(readBytes(file), QByteArray("[PR_Access_Test]\r\nUser=b\r\n"));
    EXPECT_TRUE(IniSectionExists(file, QStringLiteral("PR_ACCESS_TEST")));
    IniEraseSection(file, QStringLiteral("pR_aCCESS_tEST"));
    EXPECT_FALSE(IniSectionExists(file, QStringLiteral("PR_Access_Test")));
}

// ---- erasing ---------------------------------------------------------------------------------

struct EraseCase
{
    const char* name;
    QByteArray before;
    const char* section;
    QByteArray after;
};

void PrintTo(const EraseCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniEraseTest : public IniTest, public ::testing::WithParamInterface<EraseCase>
{
};

TEST_P(IniEraseTest, RemovesSectionOnly)
{
    writeBytes(file, GetParam().before);
    IniEraseSection(file, QString::fromUtf8(GetParam().section));
    EXPECT_EQ(printable(readBytes(file)), printable(GetParam().after));
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniEraseTest,
    ::testing::Values(EraseCase{"Middle", "[A]\na=1\n[B]\nb=1\nc=2\n\n; about C\n[C]\nc=1\n", "b",
                                "[A]\na=1\n\n; about C\n[C]\nc=1\n"},
                      EraseCase{"Last", "[A]\r\na=1\r\n[B]\r\nb=1", "B", "[A]\r\na=1\r\n"},
                      EraseCase{"EveryDuplicate", "[B]\nb=1\n[A]\na=1\n[b]\nb=2\n", "B", "[A]\na=1\n"},
                      EraseCase{"HeaderOnly", "[A]\na=1\n[B]\n", "B", "[A]\na=1\n"},
                      EraseCase{"AbsentLeavesFile", "[A]\na=1", "B", "[A]\na=1"}));

TEST_F(IniTest, EraseOfMissingFileCreatesNothing)
{
    IniEraseSection(file, QStringLiteral("A"));
    EXPECT_FALSE(QFile::exists(file));
}

// ---- failures --------------------------------------------------------------------------------

TEST_F(IniTest, WriteErrorNamesTheFile)
{
    EXPECT_STREQ(SettingsWriteError(QStringLiteral("/x/Größe.ini")).what(),
                 "nach /x/Größe.ini kann nicht geschrieben werden");
}

struct RefusedCase
{
    const char* name;
    const char* section;
    const char* key;
    const char* value;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniRefusedTest : public IniTest, public ::testing::WithParamInterface<RefusedCase>
{
};

// Text that would turn into extra lines of the file must not get in, and nothing else changes.
TEST_P(IniRefusedTest, RefusedWithoutChange)
{
    const QByteArray before = "[Application]\nLanguage=1\n";
    writeBytes(file, before);
    const RefusedCase& c = GetParam();
    EXPECT_THROW(IniWriteString(file, QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                                QString::fromUtf8(c.value)),
                 SettingsWriteError);
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(IniReadString(file, QStringLiteral("Application"), QStringLiteral("Delimiter")), kAbsent);
}

INSTANTIATE_TEST_SUITE_P(Inputs, IniRefusedTest,
                         ::testing::Values(RefusedCase{"ValueLf", "A", "k", "x\n[Application]\nDelimiter=#"},
                                           RefusedCase{"ValueCr", "A", "k", "x\rDelimiter=#"},
                                           RefusedCase{"SectionLf", "A]\nDelimiter=#\n[B", "k", "v"},
                                           RefusedCase{"KeyWithEquals", "Application", "Delimiter=#", "v"},
                                           RefusedCase{"KeyLikeHeader", "A", "[Application]", "v"},
                                           RefusedCase{"KeyLikeComment", "A", ";k", "v"}));

TEST_F(IniTest, PathIsADirectory)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("orvane.ini/inner")));
    try {
        IniWriteString(file, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
        FAIL() << "write into a directory succeeded";
    } catch (const SettingsWriteError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  QStringLiteral("nach %1 kann nicht geschrieben werden").arg(file));
    }
    EXPECT_THROW(IniEraseSection(file, QStringLiteral("A")), SettingsWriteError);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("orvane.ini/inner"))).isDir());
}

TEST_F(IniTest, FolderIsAFile)
{
    writeBytes(dir.filePath(QStringLiteral("plain")), "data");
    const QString inside = dir.filePath(QStringLiteral("plain/orvane.ini"));
    EXPECT_THROW(IniWriteString(inside, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v")),
                 SettingsWriteError);
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("plain"))), QByteArray("data"));
}

TEST_F(IniTest, NonRegularFileIsNotReplaced)
{
    ASSERT_EQ(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_THROW(IniWriteString(file, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v")),
                 SettingsWriteError);
    struct stat st
    {
    };
    ASSERT_EQ(stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

struct LockedCase
{
    const char* name;
    bool lockFolder; // otherwise the file itself
};

void PrintTo(const LockedCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniLockedTest : public IniTest, public ::testing::WithParamInterface<LockedCase>
{
};

TEST_P(IniLockedTest, FailedWriteLosesNothing)
{
    const QByteArray before =
        "; mine\n[Application]\nLanguage=2\nDelimiter=#\n[PR_Access_x]\nDatabase=/a.mdb\n";
    writeBytes(file, before);
    Unwritable lock(GetParam().lockFolder ? dir.path() : file);
    if (!lock.active())
        GTEST_SKIP() << "this file system cannot make the path unwritable";
    EXPECT_THROW(
        IniWriteString(file, QStringLiteral("Application"), QStringLiteral("Language"), QStringLiteral("1")),
        SettingsWriteError);
    EXPECT_THROW(IniWriteString(file, QStringLiteral("New"), QStringLiteral("k"), QStringLiteral("v")),
                 SettingsWriteError);
    EXPECT_THROW(IniEraseSection(file, QStringLiteral("PR_Access_x")), SettingsWriteError);
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"orvane.ini"});
    EXPECT_EQ(IniReadString(file, QStringLiteral("Application"), QStringLiteral("Language")), "2");
}

INSTANTIATE_TEST_SUITE_P(Paths, IniLockedTest,
                         ::testing::Values(LockedCase{"ReadOnlyFolder", true},
                                           LockedCase{"ReadOnlyFile", false}));

} // namespace
