// Byte forms of text: settings lines and stored passwords written by Windows must read back right.
#include "TextCodec.h"

#include <gtest/gtest.h>

TEST(TextCodecTest, Utf8CheckCatchesBrokenAndUnfinishedSequences)
{
    EXPECT_TRUE(IsValidUtf8(QByteArray("plain")));
    EXPECT_TRUE(IsValidUtf8(QByteArray("\xc3\xa4")));
    EXPECT_FALSE(IsValidUtf8(QByteArray("\xe4")));     // Windows-1252 "ä"
    EXPECT_FALSE(IsValidUtf8(QByteArray("ab\xc3")));   // cut at the end
    EXPECT_FALSE(IsValidUtf8(QByteArray("\xc3\x28"))); // bad continuation
}

TEST(TextCodecTest, Windows1252CoversTheHighBlock)
{
    const QString text = QString::fromUtf8("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ äöü°");
    bool ok = false;
    const QByteArray bytes = ToWindows1252(text, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bytes.size(), text.size());
    EXPECT_EQ(FromWindows1252(bytes), text);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x80);
}

TEST(TextCodecTest, AnsiBytesFallBackToUtf8OnlyWhenNeeded)
{
    EXPECT_EQ(ToAnsiBytes(QString::fromUtf8("p#4!Wö=t°Q")), QByteArray("p#4!W\xf6=t\xb0Q"));
    const QString cyrillic = QString::fromUtf8("пароль");
    EXPECT_EQ(ToAnsiBytes(cyrillic), cyrillic.toUtf8());
    EXPECT_EQ(FromAnsiBytes(cyrillic.toUtf8()), cyrillic);
    EXPECT_EQ(FromAnsiBytes(QByteArray("W\xf6rd")), QString::fromUtf8("Wörd"));
}
