// Path and splitting helpers: the cases the settings file and the connection strings rely on.
#include "Utils.h"

#include <gtest/gtest.h>

#include <ostream>

struct SplitCase
{
    const char* text;
    QStringList pieces;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class SplitToListTest : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitToListTest, GivesPiecesInOrder)
{
    QStringList list{QStringLiteral("stale")};
    SplitToList(QString::fromUtf8(GetParam().text), u';', list);
    EXPECT_EQ(list, GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitToListTest,
                         ::testing::Values(SplitCase{"a;b;c", {"a", "b", "c"}}, SplitCase{"a;b;", {"a", "b"}},
                                           SplitCase{"a;;b", {"a", "", "b"}}, SplitCase{";a", {"", "a"}},
                                           SplitCase{"", {}},
                                           SplitCase{"Provider=SQLOLEDB.1;Data Source=srv;",
                                                     {"Provider=SQLOLEDB.1", "Data Source=srv"}}));

TEST(SplitToListTest, LongPiecesComeOutWhole)
{
    const QString longPiece(300, u'x');
    QStringList list;
    SplitToList(longPiece + QStringLiteral(";b"), u';', list);
    EXPECT_EQ(list, (QStringList{longPiece, "b"}));
}

struct AtCharCase
{
    const char* text;
    const char* head;
    const char* tail;
};

void PrintTo(const AtCharCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class SplitAtCharTest : public ::testing::TestWithParam<AtCharCase>
{
};

TEST_P(SplitAtCharTest, SplitsAtFirstSeparator)
{
    QString head = "x", tail = "y";
    SplitAtChar(QString::fromUtf8(GetParam().text), u'=', head, tail);
    EXPECT_EQ(head, QString::fromUtf8(GetParam().head));
    EXPECT_EQ(tail, QString::fromUtf8(GetParam().tail));
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitAtCharTest,
                         ::testing::Values(AtCharCase{"User ID=sa", "User ID", "sa"},
                                           AtCharCase{"=x", "", "x"}, AtCharCase{"a=b=c", "a", "b=c"},
                                           AtCharCase{"abc", "abc", ""}));

TEST(ReplaceAllNoCaseTest, RemovesPrefixInAnyCase)
{
    EXPECT_EQ(ReplaceAllNoCase("pr_access_Test", "PR_Access_", ""), "Test");
    EXPECT_EQ(ReplaceAllNoCase("aAaA", "a", "aa"), "aaaaaaaa");
    EXPECT_EQ(ReplaceAllNoCase("abc", "", "x"), "abc");
}

struct PathCase
{
    const char* path;
    const char* folder;
    const char* base;
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << '"' << c.path << '"';
}

class PathTest : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(PathTest, FolderAndBaseName)
{
    EXPECT_EQ(FileFolder(QString::fromUtf8(GetParam().path)), QString::fromUtf8(GetParam().folder));
    EXPECT_EQ(FileBaseName(QString::fromUtf8(GetParam().path)), QString::fromUtf8(GetParam().base));
}

INSTANTIATE_TEST_SUITE_P(Cases, PathTest,
                         ::testing::Values(PathCase{"C:\\Tools\\Orvane.exe", "C:\\Tools", "Orvane"},
                                           PathCase{"C:\\Orvane.exe", "C:\\", "Orvane"},
                                           PathCase{"C:Orvane.exe", "C:", "C:Orvane"},
                                           PathCase{"C:\\Tools\\my.tool.exe", "C:\\Tools", "my.tool"},
                                           PathCase{"Orvane.exe", "", "Orvane"},
                                           PathCase{"/opt/orvane/bin/orvane", "/opt/orvane/bin", "orvane"},
                                           PathCase{"/usr/Tools.old/tool", "/usr/Tools.old", "tool"},
                                           PathCase{"/orvane", "/", "orvane"},
                                           PathCase{"C:\\Tools\\Tables.exe", "C:\\Tools", "Tables"}));

TEST(LastPosTest, FindsLastOccurrenceIncludingAtEnd)
{
    EXPECT_EQ(LastPos("a.b.c", "."), 4);
    EXPECT_EQ(LastPos("abc", "abc"), 1);
    EXPECT_EQ(LastPos("abc", "x"), 0);
    EXPECT_EQ(LastPos("ab", "abc"), 0);
}
