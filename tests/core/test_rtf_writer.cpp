// The RTF writer's escapes and its wide characters; documents are read back by an independent
// reader in test_save_report.
#include "RtfWriter.h"

#include <QBuffer>

#include <gtest/gtest.h>

TEST(RtfWriter, EscapesWhatRtfReservesAndEncodesEveryCharacterOutsideAscii)
{
    EXPECT_EQ(RtfEscaped(QStringLiteral("C:\\dir {x}\t?")), "C:\\\\dir \\{x\\}\\tab ?");
    EXPECT_EQ(RtfEscaped(QStringLiteral("Ä€\u00a0")), "\\'c4\\'80\\'a0");
    // Beyond Windows-1252: signed UTF-16 units, so a high CJK one and an emoji's pair go below 0.
    EXPECT_EQ(RtfEscaped(QStringLiteral("張한😀")), "\\u24373?\\u-10916?\\u-10179?\\u-8704?");
}

namespace {

QByteArray Document(const QString& line, const QList<TRedRun>& red = {})
{
    QByteArray bytes;
    QBuffer device(&bytes);
    device.open(QIODevice::WriteOnly);
    TRtfWriter writer(device, QStringLiteral("Courier New"), 9);
    writer.AddLine(line, red);
    EXPECT_TRUE(writer.Finish());
    return bytes;
}

} // namespace

// A reader draws an ideograph an em wide, narrower than the two cells it takes in the pane and
// the print: each one is followed by the spacing that makes up the difference (at 9 pt, 2 cells of
// 1229/2048 em are 216 twips, the em 180), in a CJK font of fixed pitch, and the blanks after
// it stay in the report's font, whichever script a reader gives them.
TEST(RtfWriter, WideCharactersTakeTwoCellsOfTheReportFont)
{
    const QByteArray rtf = Document(QStringLiteral("  1 日本語 x"));
    EXPECT_TRUE(rtf.contains("{\\f1\\fmodern\\fprq1\\fcharset128 MS Gothic;}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\pard\\plain\\f0\\fs18\\dbch\\af0\\cf1 ")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("  1 {\\dbch\\af1\\expndtw36 \\u26085?\\u26412?\\u-30050?} x\n}"))
        << rtf.constData();
}

TEST(RtfWriter, ARedMarkAcrossAWideNameKeepsBothLooks)
{
    // "ab日本" with the hit "b日".
    const QByteArray rtf = Document(QStringLiteral("ab日本"), {{1, 2}});
    EXPECT_TRUE(rtf.contains(
        "a{\\cf2 b}{\\cf2 {\\dbch\\af1\\expndtw36 \\u26085?}}{\\dbch\\af1\\expndtw36 \\u26412?}"))
        << rtf.constData();
}
