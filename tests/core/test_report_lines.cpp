// The report's line kinds, compared character for character.
#include "ReportLines.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <ostream>

namespace {

QString Blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}

struct ColumnCase
{
    const char* label;
    int number;
    QString name;
    QString typeName;
    int length;
    QString mark;
    QString expected;
};

void PrintTo(const ColumnCase& c, std::ostream* os)
{
    *os << c.label;
}

class ColumnLineTest : public ::testing::TestWithParam<ColumnCase>
{
};

TEST_P(ColumnLineTest, ComposesTheEntryWithTenLeadingBlanks)
{
    const ColumnCase& c = GetParam();
    TStringLineSink sink;
    TReportWriter writer(sink, QLatin1Char('*'));
    writer.AddColumnLine(c.number, c.name, c.typeName, c.length, c.mark);
    ASSERT_EQ(sink.lines().size(), 1);
    EXPECT_EQ(sink.lines().first(), c.expected);
}

const QString kCustomerId = QStringLiteral("Customer_ID");
const QString kName35 = QStringLiteral("A_column_name_of_thirty_five_chars_");

INSTANTIATE_TEST_SUITE_P(
    Layout, ColumnLineTest,
    ::testing::Values(
        ColumnCase{"NotNullable", 1, kCustomerId, QStringLiteral("int"), 4, QStringLiteral("+"),
                   Blanks(10) + QStringLiteral("  1 ") + kCustomerId + Blanks(30 - 11) +
                       QStringLiteral(" int") + Blanks(17) + QStringLiteral("     4  +")},
        ColumnCase{"NullableBlankMark", 1, kCustomerId, QStringLiteral("int"), 4, QStringLiteral(" "),
                   Blanks(10) + QStringLiteral("  1 ") + kCustomerId + Blanks(19) + QStringLiteral(" int") +
                       Blanks(17) + QStringLiteral("     4   ")},
        ColumnCase{"EmptyMarkGivesBlank", 12, QStringLiteral("Price"), QStringLiteral("Currency"), 8,
                   QString(),
                   Blanks(10) + QStringLiteral(" 12 Price") + Blanks(25) + QStringLiteral(" Currency") +
                       Blanks(12) + QStringLiteral("     8   ")},
        ColumnCase{"LongNamePushesTheRest", 3, kName35, QStringLiteral("VarWChar"), 50, QString(),
                   Blanks(10) + QStringLiteral("  3 ") + kName35 + QStringLiteral(" VarWChar") + Blanks(12) +
                       QStringLiteral("    50   ")},
        ColumnCase{"NineDigitLength", 7, QStringLiteral("Notes"), QStringLiteral("LongVarWChar"), 536870910,
                   QString(),
                   Blanks(10) + QStringLiteral("  7 Notes") + Blanks(25) + QStringLiteral(" LongVarWChar") +
                       Blanks(8) + QStringLiteral(" 536870910   ")},
        ColumnCase{"FourDigitNumberAndLongType", 1234, QStringLiteral("X"),
                   QStringLiteral("a_type_name_longer_than_20"), 0, QStringLiteral("+"),
                   Blanks(10) + QStringLiteral("1234 X") + Blanks(29) +
                       QStringLiteral(" a_type_name_longer_than_20     0  +")}),
    [](const ::testing::TestParamInfo<ColumnCase>& p) { return std::string(p.param.label); });

TEST(ColumnLine, CustomerIdLineIsSeventyFourCharactersWithFieldsInPlace)
{
    const QString line =
        IndentedLine(ColumnEntry(1, kCustomerId, QStringLiteral("int"), 4, QStringLiteral("+")), 1);
    ASSERT_EQ(line.size(), 74);
    EXPECT_EQ(line.mid(10, 3), QStringLiteral("  1"));
    EXPECT_EQ(line.mid(14, 30).trimmed(), kCustomerId);
    EXPECT_EQ(line.mid(45, 20).trimmed(), QStringLiteral("int"));
    EXPECT_EQ(line.mid(66, 5), QStringLiteral("    4"));
    EXPECT_EQ(line.at(73), QLatin1Char('+'));
}

TEST(ColumnLine, ThirtyFiveCharacterNameMovesTypeToPositionFiftyOne)
{
    const QString line = IndentedLine(ColumnEntry(1, kName35, QStringLiteral("int"), 4, QString()), 1);
    EXPECT_EQ(line.size(), 79);
    EXPECT_EQ(line.indexOf(QStringLiteral("int")) + 1, 51);
}

struct TitleCase
{
    const char* label;
    int titleLength;
    bool fill;
    int expectedLength;
    int expectedFill; // delimiters after the title
    bool endsInBlank;
};

void PrintTo(const TitleCase& c, std::ostream* os)
{
    *os << c.label;
}

class TitleLineTest : public ::testing::TestWithParam<TitleCase>
{
};

TEST_P(TitleLineTest, FillsUpToSixtyFiveCharactersOfTitle)
{
    const TitleCase& c = GetParam();
    const QString title(c.titleLength, QLatin1Char('t'));
    TStringLineSink sink;
    TReportWriter writer(sink, QLatin1Char('#'));
    writer.AddTitleLine(title, c.fill);
    ASSERT_EQ(sink.lines().size(), 1);
    const QString line = sink.lines().first();
    EXPECT_EQ(line.size(), c.expectedLength);
    EXPECT_TRUE(line.startsWith(Blanks(6) + QStringLiteral("### ") + title));
    const QString rest = line.mid(10 + c.titleLength);
    if (c.fill) {
        EXPECT_EQ(rest, QStringLiteral(" ") + QString(c.expectedFill, QLatin1Char('#')));
    } else {
        EXPECT_TRUE(rest.isEmpty());
    }
    EXPECT_EQ(line.endsWith(QLatin1Char(' ')), c.endsInBlank);
}

INSTANTIATE_TEST_SUITE_P(Lengths, TitleLineTest,
                         ::testing::Values(TitleCase{"Eight", 8, true, 76, 57, false},
                                           TitleCase{"SixtyFour", 64, true, 76, 1, false},
                                           TitleCase{"SixtyFive", 65, true, 76, 0, true},
                                           TitleCase{"Seventy", 70, true, 81, 0, true},
                                           TitleCase{"EmptyTitle", 0, true, 76, 65, false},
                                           TitleCase{"HeaderWithoutFill", 20, false, 30, 0, false}),
                         [](const ::testing::TestParamInfo<TitleCase>& p) {
                             return std::string(p.param.label);
                         });

TEST(FrameLine, SeventyDelimitersAfterSixBlanks)
{
    for (QChar d : {QChar(u'*'), QChar(u'='), QChar(0x00A7)}) {
        TStringLineSink sink;
        TReportWriter writer(sink, d);
        writer.AddSeparatorLine();
        ASSERT_EQ(sink.lines().size(), 1);
        EXPECT_EQ(sink.lines().first(), Blanks(6) + QString(70, d));
    }
}

TEST(IndentedLine, FourBlanksPerLevelAfterTheMargin)
{
    EXPECT_EQ(IndentedLine(QStringLiteral("x"), 0), Blanks(6) + QStringLiteral("x"));
    EXPECT_EQ(IndentedLine(QStringLiteral("x"), 1), Blanks(10) + QStringLiteral("x"));
    EXPECT_EQ(IndentedLine(QStringLiteral("x"), 3), Blanks(18) + QStringLiteral("x"));
}

TEST(DeviceSink, StreamsUtf8LinesEndedByNewline)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        TDeviceLineSink sink(buffer);
        sink.AddLine(QStringLiteral("first"));
        sink.AddLine(QStringLiteral("Kunden-Übersicht"));
        sink.AddLine(QString());
        sink.Finish();
        EXPECT_TRUE(sink.ok());
        sink.AddLine(QStringLiteral("last"));
        // Destruction passes on what is still buffered.
    }
    EXPECT_EQ(buffer.data(), QByteArray("first\nKunden-\xC3\x9C"
                                        "bersicht\n\nlast\n"));
}

TEST(DeviceSink, ReportsAFailingDevice)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadOnly);
    TDeviceLineSink sink(buffer);
    sink.AddLine(QStringLiteral("x"));
    sink.Finish();
    EXPECT_FALSE(sink.ok());
}

} // namespace

namespace {

struct WidthCase
{
    const char* label;
    QString text;
    qsizetype width;
};

void PrintTo(const WidthCase& c, std::ostream* os)
{
    *os << c.label;
}

class DisplayWidthTest : public ::testing::TestWithParam<WidthCase>
{
};

TEST_P(DisplayWidthTest, CountsTheColumnsATerminalGives)
{
    EXPECT_EQ(DisplayWidth(GetParam().text), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, DisplayWidthTest,
    ::testing::Values(WidthCase{"Ascii", QStringLiteral("Customer_ID"), 11},
                      WidthCase{"Latin1AndGreek", QStringLiteral("Maße Größe αβγ"), 14},
                      WidthCase{"Han", QStringLiteral("顧客番号"), 8},
                      WidthCase{"HangulSyllables", QStringLiteral("고객"), 4},
                      WidthCase{"HalfwidthKatakana", QStringLiteral("ｶﾀｶﾅ"), 4},
                      WidthCase{"FullwidthLatin", QStringLiteral("ＡＢＣ"), 6},
                      WidthCase{"CombiningAcute", QStringLiteral("e\u0301e\u0301"), 2},
                      WidthCase{"EnclosingCircle", QStringLiteral("1\u20dd"), 1},
                      WidthCase{"ZeroWidthSpaceAndJoiner", QStringLiteral("a\u200bb\u200dc"), 3},
                      WidthCase{"HangulJamoSequence", QStringLiteral("\u1100\u1161\u11a8"), 2},
                      WidthCase{"AstralHan", QStringLiteral("\U00020000x"), 3},
                      WidthCase{"AstralNarrow", QStringLiteral("\U0001D400"), 1},
                      WidthCase{"Emoji", QStringLiteral("\U0001F600"), 2},
                      WidthCase{"LoneHighSurrogate", QString(QChar(0xd800)) + QStringLiteral("a"), 2},
                      WidthCase{"LoneLowSurrogate", QString(QChar(0xdc00)), 1},
                      WidthCase{"Empty", QString(), 0}),
    [](const ::testing::TestParamInfo<WidthCase>& p) { return std::string(p.param.label); });

// Where the type name starts, in display columns, counted over what comes before it.
qsizetype TypeColumn(const QString& line, const QString& typeName)
{
    return DisplayWidth(line.left(line.indexOf(typeName))) + 1;
}

TEST(WideNames, ColumnLinesKeepTheirFieldsInPlace)
{
    const QString narrow =
        IndentedLine(ColumnEntry(1, QStringLiteral("Kundennummer"), QStringLiteral("int"), 4, "+"), 1);
    const QString wide =
        IndentedLine(ColumnEntry(1, QStringLiteral("顧客番号"), QStringLiteral("int"), 4, "+"), 1);
    const QString marked =
        IndentedLine(ColumnEntry(1, QStringLiteral("Cafe\u0301"), QStringLiteral("int"), 4, "+"), 1);
    EXPECT_EQ(DisplayWidth(narrow), 74);
    EXPECT_EQ(DisplayWidth(wide), 74);
    EXPECT_EQ(DisplayWidth(marked), 74);
    EXPECT_EQ(TypeColumn(wide, QStringLiteral("int")), 46);
    EXPECT_EQ(TypeColumn(marked, QStringLiteral("int")), 46);
    // Four wide characters take eight of the thirty columns, so twenty-two blanks follow.
    EXPECT_EQ(wide, Blanks(12) + QStringLiteral("1 顧客番号") + Blanks(22) + QStringLiteral(" int") +
                        Blanks(17) + QStringLiteral(" ") + Blanks(4) + QStringLiteral("4  +"));
}

TEST(WideNames, AWideNameLongerThanItsFieldMovesTheRestByItsOverflow)
{
    // Sixteen wide characters: 32 columns, two over the field.
    const QString name(16, QChar(0x6f22));
    const QString line = IndentedLine(ColumnEntry(1, name, QStringLiteral("int"), 4, QString()), 1);
    EXPECT_EQ(TypeColumn(line, QStringLiteral("int")), 48);
    EXPECT_TRUE(line.contains(name)) << "nothing is cut";
}

TEST(WideNames, TitleLinesFillToTheSameColumn)
{
    const QString eightWide(4, QChar(0x8868)); // four characters, eight columns
    EXPECT_EQ(TitleText(u'*', eightWide, true),
              QStringLiteral("*** ") + eightWide + u' ' + QString(57, u'*'));
    // A title as wide as the fill width gets no delimiter, however few characters it has.
    const QString full(33, QChar(0x8868));
    EXPECT_EQ(TitleText(u'*', full, true), QStringLiteral("*** ") + full + u' ');
    EXPECT_EQ(DisplayWidth(ReportLine(TitleText(u'*', QStringLiteral("Übersicht"), true))), 76);
}

} // namespace

TEST(WideRunsTest, FindsTheStretchesOfWideCharacters)
{
    EXPECT_TRUE(WideRuns(QStringLiteral("Maße Café\u0301 ＡBC")).size() == 1);
    EXPECT_TRUE(WideRuns(QStringLiteral("Customer_ID")).isEmpty());
    // Two stretches, one of them with a character beyond the first plane (two UTF-16 units).
    const QList<TWideRun> runs = WideRuns(QStringLiteral("1 顧客 x \U00020000漢"));
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0], (TWideRun{2, 2, 2}));
    EXPECT_EQ(runs[1], (TWideRun{7, 3, 2}));
}
