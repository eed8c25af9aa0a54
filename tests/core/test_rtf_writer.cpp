// The RTF writer's escapes; documents are read back by an independent reader in test_save_report.
#include "RtfWriter.h"

#include <gtest/gtest.h>

TEST(RtfWriter, EscapesWhatRtfReservesAndEncodesEveryCharacterOutsideAscii)
{
    EXPECT_EQ(RtfEscaped(QStringLiteral("C:\\dir {x}\t?")), "C:\\\\dir \\{x\\}\\tab ?");
    EXPECT_EQ(RtfEscaped(QStringLiteral("Ä€\u00a0")), "\\'c4\\'80\\'a0");
    // Beyond Windows-1252: signed UTF-16 units, so a high CJK one and an emoji's pair go below 0.
    EXPECT_EQ(RtfEscaped(QStringLiteral("張한😀")), "\\u24373?\\u-10916?\\u-10179?\\u-8704?");
}
