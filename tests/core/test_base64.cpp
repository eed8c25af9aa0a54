// Base64 of stored passwords: the standard encoding and the lenient decoder that must read every
// stored text the Windows program wrote.
#include "Base64.h"

#include <gtest/gtest.h>

#include <ostream>

struct Base64Case
{
    const char* bytes;
    const char* text;
};

void PrintTo(const Base64Case& c, std::ostream* os)
{
    *os << '"' << c.bytes << "\" <-> \"" << c.text << '"';
}

class Base64KnownTest : public ::testing::TestWithParam<Base64Case>
{
};

TEST_P(Base64KnownTest, EncodesAndDecodesBothWays)
{
    const QByteArray bytes(GetParam().bytes);
    EXPECT_EQ(Base64Encode(bytes), QString::fromLatin1(GetParam().text));
    EXPECT_EQ(Base64Decode(QString::fromLatin1(GetParam().text)), bytes);
}

INSTANTIATE_TEST_SUITE_P(Rfc4648, Base64KnownTest,
                         ::testing::Values(Base64Case{"", ""}, Base64Case{"f", "Zg=="},
                                           Base64Case{"fo", "Zm8="}, Base64Case{"foo", "Zm9v"},
                                           Base64Case{"foob", "Zm9vYg=="}, Base64Case{"fooba", "Zm9vYmE="},
                                           Base64Case{"foobar", "Zm9vYmFy"},
                                           Base64Case{"\xFB\xEF\xFF", "++//"}));

TEST(Base64Test, EveryByteValueRoundTrips)
{
    for (int len = 0; len <= 70; ++len) {
        QByteArray bytes;
        for (int i = 0; i < len; ++i)
            bytes += char((i * 37 + len * 11) & 0xFF);
        const QString text = Base64Encode(bytes);
        EXPECT_EQ(text.size() % 4, 0);
        EXPECT_FALSE(text.contains(u'\n'));
        EXPECT_EQ(Base64Decode(text), bytes) << "length " << len;
    }
}

class Base64BadLengthTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(Base64BadLengthTest, IsRejectedWithTheFixedMessage)
{
    try {
        Base64Decode(QString::fromLatin1(GetParam()));
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Base64: Incorrect string format");
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, Base64BadLengthTest,
                         ::testing::Values("A", "AB", "ABC", "ABCDE", "Zm9vYg="));

TEST(Base64Test, CharactersOutsideTheAlphabetCountAsSlash)
{
    EXPECT_EQ(Base64Decode("ab*d"), Base64Decode("ab/d"));
    EXPECT_EQ(Base64Decode(QString::fromUtf8("ä\xC3\xA9_-")), Base64Decode("////"));
    EXPECT_EQ(Base64Decode("////"), QByteArray("\xFF\xFF\xFF"));
}

TEST(Base64Test, FillOnlyShortensTheLastGroup)
{
    // "=" before the last group is an ordinary (63) character.
    EXPECT_EQ(Base64Decode("QQ==QQ=="), QByteArray("A\x0F\xFF"
                                                   "A"));
    // The third character decides first: "x=" followed by anything gives one byte.
    EXPECT_EQ(Base64Decode("QQ=x"), QByteArray("A"));
    EXPECT_EQ(Base64Decode("QUI="), QByteArray("AB"));
}
