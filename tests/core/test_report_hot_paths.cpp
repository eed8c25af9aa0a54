// The shortcuts a large report runs through: member names matched without Qt's general case
// folding, collection members made once and shared, column names kept per table, the reader
// child's message taken apart as it arrives, column lines composed in a reused buffer and plain
// ASCII lines written without the encoder. Each must answer exactly what the general path does.
#include "Automation.h"
#include "JetChildProcess.h"
#include "JetProvider.h"
#include "ReportLines.h"

#include "JetWriter.h"

#include <QBuffer>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <vector>

#include <unistd.h>

namespace {

jet::Column column(const QString& name, jet::ColumnType type, int length = 0)
{
    jet::Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

// One table whose column names need more than ASCII.
class CatalogueFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        jet::Database db;
        jet::Table orders;
        orders.name = QStringLiteral("Orders");
        orders.columns = {column(QStringLiteral("Note"), jet::ColumnType::Text, 40),
                          column(QStringLiteral("Straße"), jet::ColumnType::Long),
                          column(QStringLiteral("Größe_€"), jet::ColumnType::Text, 12)};
        db.tables = {orders};
        m_path = m_dir.filePath(QStringLiteral("hot.mdb"));
        jet::writeFile(m_path, db);
        m_catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
        m_catalog.put(QStringLiteral("ActiveConnection"),
                      Variant(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(m_path)));
    }

    Variant table() const
    {
        return m_catalog.get(QStringLiteral("Tables")).get(QStringLiteral("Item"), {Variant("Orders")});
    }
    Variant columnAt(int position) const
    {
        return table().get(QStringLiteral("Columns")).get(QStringLiteral("Item"), {Variant(position)});
    }

    QTemporaryDir m_dir;
    QString m_path;
    Variant m_catalog;
};

struct MemberCase
{
    const char* label;
    QString spelling;
    QString member; // empty: no such member
};

void PrintTo(const MemberCase& c, std::ostream* os)
{
    *os << c.label;
}

class MemberNameTest : public CatalogueFile, public ::testing::WithParamInterface<MemberCase>
{
};

TEST_P(MemberNameTest, MatchesAsTheGeneralComparisonDoes)
{
    const Variant note = columnAt(0);
    if (GetParam().member.isEmpty()) {
        EXPECT_THROW(note.get(GetParam().spelling), AutomationError);
        return;
    }
    const Variant expected = note.get(GetParam().member);
    const Variant got = note.get(GetParam().spelling);
    EXPECT_EQ(got.kind(), expected.kind());
    EXPECT_EQ(got.toText(), expected.toText());
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, MemberNameTest,
    ::testing::Values(MemberCase{"Exact", QStringLiteral("DefinedSize"), QStringLiteral("DefinedSize")},
                      MemberCase{"Lower", QStringLiteral("name"), QStringLiteral("Name")},
                      MemberCase{"Upper", QStringLiteral("TYPE"), QStringLiteral("Type")},
                      MemberCase{"Mixed", QStringLiteral("dEFINEDsIZE"), QStringLiteral("DefinedSize")},
                      // U+017F LATIN SMALL LETTER LONG S folds to "s" in Unicode case folding.
                      MemberCase{"FoldsBeyondAscii", QStringLiteral("Definedſize"), QStringLiteral("DefinedSize")},
                      MemberCase{"Shorter", QStringLiteral("Nam"), QString()},
                      MemberCase{"Longer", QStringLiteral("Names"), QString()},
                      MemberCase{"SameLengthOtherLetters", QStringLiteral("Nome"), QString()},
                      MemberCase{"AccentedLetter", QStringLiteral("Näme"), QString()}));

TEST_F(CatalogueFile, CollectionHandsOutTheSameMemberObjectEachTime)
{
    const Variant columns = table().get(QStringLiteral("Columns"));
    EXPECT_TRUE(columns.get(QStringLiteral("Item"), {Variant(1)}) == columns.get(QStringLiteral("Item"), {Variant(1)}));
    EXPECT_FALSE(columns.get(QStringLiteral("Item"), {Variant(0)}) == columns.get(QStringLiteral("Item"), {Variant(1)}));
    // By name or by position: one object.
    EXPECT_TRUE(columns.get(QStringLiteral("Item"), {Variant("NOTE")}) == columns.get(QStringLiteral("Item"), {Variant(0)}));
}

TEST_F(CatalogueFile, ColumnNamesBeyondAsciiReadBackExactlyAndAreFoundWithoutRegardToCase)
{
    EXPECT_EQ(columnAt(0).get(QStringLiteral("Name")).toText(), QStringLiteral("Note"));
    EXPECT_EQ(columnAt(1).get(QStringLiteral("Name")).toText(), QStringLiteral("Straße"));
    EXPECT_EQ(columnAt(2).get(QStringLiteral("Name")).toText(), QStringLiteral("Größe_€"));
    const Variant columns = table().get(QStringLiteral("Columns"));
    EXPECT_EQ(columns.get(QStringLiteral("Item"), {Variant(QStringLiteral("GRÖßE_€"))}).get(QStringLiteral("Name")).toText(),
              QStringLiteral("Größe_€"));
    // Case folding maps one character to one: "ß" is no "SS".
    EXPECT_THROW(columns.get(QStringLiteral("Item"), {Variant(QStringLiteral("STRASSE"))}), AutomationError);
}

TEST_F(CatalogueFile, MemberObjectsOutliveTheirTableAndAReconnectedCatalogue)
{
    const Variant kept = columnAt(2);
    m_catalog.put(QStringLiteral("ActiveConnection"),
                  Variant(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(m_path)));
    m_catalog.clear();
    EXPECT_EQ(kept.get(QStringLiteral("Name")).toText(), QStringLiteral("Größe_€"));
    EXPECT_EQ(kept.get(QStringLiteral("DefinedSize")).toInt(), 12);
}

TEST(CatalogueOrder, TablesAreOrderedByNameAsQtComparesWithoutRegardToCase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList names = {QStringLiteral("b"),  QStringLiteral("ab"),   QStringLiteral("A"),
                               QStringLiteral("aBc"), QStringLiteral("a_"),  QStringLiteral("Ä"),
                               QStringLiteral("Zeta"), QStringLiteral("_x"), QStringLiteral("é"),
                               QStringLiteral("Ab1"), QStringLiteral("[t]"), QStringLiteral("ä1")};
    jet::Database db;
    db.withSystemTables = false;
    for (const QString& name : names) {
        jet::Table t;
        t.name = name;
        t.columns = {column(QStringLiteral("id"), jet::ColumnType::Long)};
        db.tables.append(t);
    }
    const QString path = dir.filePath(QStringLiteral("order.mdb"));
    jet::writeFile(path, db);
    Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
    catalog.put(QStringLiteral("ActiveConnection"),
                Variant(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(path)));
    const Variant tables = catalog.get(QStringLiteral("Tables"));
    QStringList listed;
    for (int i = 0; i < tables.get(QStringLiteral("Count")).toInt(); ++i)
        listed << tables.get(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Name")).toText();
    listed.removeIf([&](const QString& name) { return !names.contains(name); });
    // The reference order: Qt's own comparison.
    QStringList expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(listed, expected);
}

// A line with one character at every position of a 20-character line: before, inside and after the
// blocks the ASCII copy works in.
struct SinkCase
{
    int position;
    QString character;
};

void PrintTo(const SinkCase& c, std::ostream* os)
{
    *os << "U+" << std::hex << unsigned(c.character.at(0).unicode()) << " at " << std::dec << c.position;
}

class DeviceSinkTest : public ::testing::TestWithParam<SinkCase>
{
};

TEST_P(DeviceSinkTest, WritesEveryLineAsUtf8WhateverItsCharacters)
{
    QString odd = QStringLiteral("abcdefghijklmnopqrst");
    odd.replace(GetParam().position, 1, GetParam().character);
    const QStringList lines = {QStringLiteral("plain ascii line of some length"), odd, QStringLiteral("after"),
                               odd.left(GetParam().position + 1)};
    QByteArray expected;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        TDeviceLineSink sink(buffer);
        for (const QString& line : lines) {
            sink.AddLine(line);
            expected += line.toUtf8() + '\n';
        }
    }
    EXPECT_EQ(buffer.data(), expected);
}

std::vector<SinkCase> SinkCases()
{
    std::vector<SinkCase> cases;
    for (int position = 0; position < 20; ++position) {
        cases.push_back({position, QStringLiteral("é")});
        cases.push_back({position, QString(QChar(0x80))}); // the first character beyond ASCII
    }
    cases.push_back({7, QStringLiteral("€")});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Positions, DeviceSinkTest, ::testing::ValuesIn(SinkCases()));

TEST(DeviceSink, SurrogatePairSplitAcrossTheAsciiBlocksStaysOneCharacter)
{
    // U+1F600 as a pair at positions 7 and 8: across the first block of eight.
    const QString line = QStringLiteral("1234567") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("90");
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        TDeviceLineSink sink(buffer);
        sink.AddLine(line);
        sink.AddLine(QStringLiteral("next"));
    }
    EXPECT_EQ(buffer.data(), QByteArray("1234567\xF0\x9F\x98\x80" "90\nnext\n"));
}

TEST(DeviceSink, HalfAPairLeftAtALineEndIsHandledAsTheEncoderAloneWouldHandleIt)
{
    // A lone high surrogate at the end of a line, an empty line, then plain lines: what comes out
    // must not depend on which lines took the ASCII shortcut.
    const QStringList lines = {QStringLiteral("ab") + QChar(0xD83D), QString(), QStringLiteral("cd"),
                               QStringLiteral("ef")};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        TDeviceLineSink sink(buffer);
        for (const QString& line : lines)
            sink.AddLine(line);
    }
    QStringEncoder encoder(QStringConverter::Utf8);
    QByteArray expected;
    for (const QString& line : lines)
        expected += QByteArray(encoder.encode(line)) + '\n';
    EXPECT_EQ(buffer.data(), expected);
}

TEST(DeviceSink, LinesLongerThanItsBufferArriveWhole)
{
    const QStringList lines = {QStringLiteral("head"), QString(100000, QLatin1Char('x')), QString(40000, QChar(0xE9)),
                               QStringLiteral("tail")};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QByteArray expected;
    {
        TDeviceLineSink sink(buffer);
        for (const QString& line : lines) {
            sink.AddLine(line);
            expected += line.toUtf8() + '\n';
        }
        sink.Flush();
        EXPECT_TRUE(sink.ok());
    }
    EXPECT_EQ(buffer.data(), expected);
}

TEST(ReportWriter, SinkKeepsEveryColumnLineIntactWhileTheWriterReusesItsBuffer)
{
    TStringLineSink sink;
    TReportWriter writer(sink, QLatin1Char('*'));
    writer.AddColumnLine(1, QStringLiteral("A_rather_long_column_name_of_40_characters"), QStringLiteral("VarWChar"),
                         50, QString());
    writer.AddColumnLine(2, QStringLiteral("B"), QStringLiteral("Integer"), 0, QStringLiteral("+"));
    ASSERT_EQ(sink.lines().size(), 2);
    const auto reference = [](int number, const char* name, const char* type, int length, const char* mark) {
        return QStringLiteral("          ") + QString::asprintf("%3d %-30s %-20s %5d  %1s", number, name, type, length, mark);
    };
    EXPECT_EQ(sink.lines().at(0), reference(1, "A_rather_long_column_name_of_40_characters", "VarWChar", 50, ""));
    EXPECT_EQ(sink.lines().at(1), reference(2, "B", "Integer", 0, "+"));
}

TEST(ReportWriter, LinesOfEqualLengthHeldByTheSinkAreNotOverwrittenByTheNext)
{
    TStringLineSink sink;
    TReportWriter writer(sink, QLatin1Char('*'));
    writer.AddColumnLine(1, QStringLiteral("First"), QStringLiteral("Integer"), 4, QString());
    writer.AddColumnLine(2, QStringLiteral("Other"), QStringLiteral("VarWChar"), 50, QStringLiteral("+"));
    ASSERT_EQ(sink.lines().size(), 2);
    ASSERT_EQ(sink.lines().at(0).size(), sink.lines().at(1).size());
    EXPECT_TRUE(sink.lines().at(0).contains(QStringLiteral("First")));
    EXPECT_TRUE(sink.lines().at(1).contains(QStringLiteral("Other")));
}

// A column entry against the C library's formatting of the same fields.
struct EntryCase
{
    const char* label;
    int number;
    const char* name;
    const char* type;
    int length;
    const char* mark;
};

void PrintTo(const EntryCase& c, std::ostream* os)
{
    *os << c.label;
}

class ColumnEntryTest : public ::testing::TestWithParam<EntryCase>
{
};

TEST_P(ColumnEntryTest, MatchesPrintfLayout)
{
    const EntryCase& c = GetParam();
    EXPECT_EQ(ColumnEntry(c.number, QString::fromLatin1(c.name), QString::fromLatin1(c.type), c.length,
                          QString::fromLatin1(c.mark)),
              QString::asprintf("%3d %-30s %-20s %5d  %1s", c.number, c.name, c.type, c.length, c.mark));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ColumnEntryTest,
    ::testing::Values(EntryCase{"Zeroes", 0, "", "", 0, ""},
                      EntryCase{"Typical", 7, "Customer_ID", "Integer", 4, "+"},
                      EntryCase{"WidthsExactlyFilled", 999, "abcdefghijklmnopqrstuvwxyz0123", "abcdefghijklmnopqrst",
                                99999, "x"},
                      EntryCase{"EveryFieldOverflows", 1000, "abcdefghijklmnopqrstuvwxyz0123456789",
                                "abcdefghijklmnopqrstuvwxy", 123456789, "++"},
                      // SQL Server reports -1 as the length of the (max) types.
                      EntryCase{"NegativeLength", 12, "Notes", "varchar", -1, " "},
                      EntryCase{"SmallestInteger", -2147483647 - 1, "a", "b", -2147483647 - 1, ""},
                      EntryCase{"LargestInteger", 2147483647, "a", "b", 2147483647, ""}));

// Lines of every length up to 40 with one non-ASCII character at every position: the ASCII copy
// works in blocks of sixteen, then eight, then single characters, and each must hand over to the
// encoder at the right place.
TEST(DeviceSink, EveryLengthAndPositionOfANonAsciiCharacterArrivesAsUtf8)
{
    QByteArray expected;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        TDeviceLineSink sink(buffer);
        for (int length = 1; length <= 40; ++length) {
            for (int position = 0; position < length; ++position) {
                QString line(length, QLatin1Char('a'));
                line[position] = QChar(0xE9);
                sink.AddLine(line);
                expected += line.toUtf8() + '\n';
            }
            const QString plain(length, QLatin1Char('b'));
            sink.AddLine(plain);
            expected += plain.toUtf8() + '\n';
        }
    }
    EXPECT_EQ(buffer.data(), expected);
}

TEST(ChildOutput, BytesTheCallerTakesAreDroppedAndTheRestKept)
{
    QByteArray seen;
    qsizetype offered = 0;
    const ChildRunResult r = RunInChildProcess(
        [](int fd) {
            for (const char* piece : {"abc", "def", "ghij"}) {
                WriteAllToFd(fd, piece, qint64(std::strlen(piece)));
                ::usleep(20000);
            }
        },
        5000, 100, [&](const QByteArray& received) -> qsizetype {
            // Everything but the last byte is taken each time.
            ++offered;
            seen += received.left(received.size() - 1);
            return received.size() - 1;
        });
    ASSERT_EQ(r.status, ChildRunResult::Finished);
    EXPECT_GE(offered, 1);
    EXPECT_EQ(seen + r.output, QByteArray("abcdefghij"));
    EXPECT_EQ(r.output, QByteArray("j"));
}

TEST(ChildOutput, LimitCountsEverythingTheChildWroteEvenWhenTaken)
{
    const ChildRunResult r = RunInChildProcess(
        [](int fd) {
            const QByteArray block(64, 'x');
            for (int i = 0; i < 4; ++i) {
                WriteAllToFd(fd, block.constData(), block.size());
                ::usleep(10000);
            }
        },
        5000, 100, [](const QByteArray& received) -> qsizetype { return received.size(); });
    EXPECT_EQ(r.status, ChildRunResult::TooMuchData);
}

} // namespace
