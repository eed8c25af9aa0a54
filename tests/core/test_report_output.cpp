// Where a report goes: the device sink writes every line as UTF-8 whatever its characters and
// length; a column entry lays out as the C library's printf would; and the command-line program
// writes its report to every kind of standard output (a file opened for appending, a pipe, a
// stream without a descriptor), and calls a full device an error. Lines sent to the PDF writer
// arrive as they were, and input cut anywhere inside a line is refused.
#include "CommandRuns.h"
#include "JetWriter.h"
#include "PdfLines.h"
#include "ReportCommand.h"
#include "ReportLines.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ostream>
#include <thread>
#include <unistd.h>

namespace {

// What the sink must write for lines: each line's own UTF-8 and a line end.
QByteArray utf8Lines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines)
        out += line.toUtf8() + '\n';
    return out;
}

QByteArray throughTheSink(const QStringList& lines)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        TDeviceLineSink sink(buffer);
        for (const QString& line : lines)
            sink.AddLine(line);
    }
    return buffer.data();
}

struct CharacterCase
{
    const char* label;
    QString character; // one character, perhaps a surrogate pair
};

void PrintTo(const CharacterCase& c, std::ostream* os)
{
    *os << c.label;
}

class SinkCharacters : public ::testing::TestWithParam<CharacterCase>
{
};

// Lines of every length up to 40 with the character at every position, each followed by a plain
// line, so no character is handled by where it falls.
TEST_P(SinkCharacters, EveryPositionArrivesAsUtf8)
{
    QStringList lines;
    for (int length = 1; length <= 40; ++length) {
        for (int position = 0; position < length; ++position) {
            QString line(length, QLatin1Char('a'));
            line.replace(position, 1, GetParam().character);
            lines << line << QString(length, QLatin1Char('b'));
        }
    }
    EXPECT_EQ(throughTheSink(lines), utf8Lines(lines));
}

INSTANTIATE_TEST_SUITE_P(Characters, SinkCharacters,
                         ::testing::Values(CharacterCase{"FirstBeyondAscii", QString(QChar(0x80))},
                                           CharacterCase{"Umlaut", QStringLiteral("ü")},
                                           CharacterCase{"Euro", QStringLiteral("€")},
                                           CharacterCase{"LastOfThePlane", QString(QChar(0xFFFD))},
                                           CharacterCase{"SurrogatePair", QString::fromUcs4(U"\U0001F600")}),
                         [](const ::testing::TestParamInfo<CharacterCase>& p) {
                             return std::string(p.param.label);
                         });

TEST(PdfLines, ArriveAsSentAndACutInsideALineIsRefused)
{
    // A name may hold a line end; an empty line is a line too.
    const QStringList sent{QStringLiteral("*** Größe"), QString(), QStringLiteral("a\nb\r"),
                           QString(300, QChar(0x20AC))};
    const QByteArray data = EncodePdfLines(sent);
    QStringList received;
    ASSERT_TRUE(DecodePdfLines(data, received));
    EXPECT_EQ(received, sent);

    QList<qsizetype> lineEnds{0};
    for (const QString& line : sent)
        lineEnds << lineEnds.last() + 4 + line.toUtf8().size();
    for (qsizetype cut = 1; cut < data.size(); ++cut) {
        QStringList part;
        EXPECT_EQ(DecodePdfLines(data.left(cut), part), lineEnds.contains(cut)) << cut;
    }
}

TEST(DeviceSink, LinesLongerThanItsBufferArriveWhole)
{
    const QStringList lines = {
        QStringLiteral("head"), QString(100000, QLatin1Char('x')), QString(40000, QChar(0xE9)),
        QString(70000, QLatin1Char('y')) + QString::fromUcs4(U"\U0001F600"), QStringLiteral("tail")};
    EXPECT_EQ(throughTheSink(lines), utf8Lines(lines));
}

// Half a pair is no character: it must stay on its own line (as a replacement) and not join the
// next line's start, nor vanish at the end.
TEST(DeviceSink, HalfAPairStaysOnItsLine)
{
    const QChar high(0xD83D);
    const QStringList lines = {QStringLiteral("ab") + high, QChar(0xDE00) + QStringLiteral("cd"),
                               QStringLiteral("x") + high, QStringLiteral("end") + high};
    // Lone halves only here: each may come out as '?' or U+FFFD.
    const auto plain = [](QString s) {
        for (QChar& c : s) {
            if (c.isSurrogate() || c == QChar(0xFFFD))
                c = QLatin1Char('?');
        }
        return s;
    };
    const QList<QByteArray> written = throughTheSink(lines).split('\n');
    ASSERT_EQ(written.size(), lines.size() + 1);
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(plain(QString::fromUtf8(written.at(i))), plain(lines.at(i))) << "line " << i;
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
                      EntryCase{"WidthsExactlyFilled", 999, "abcdefghijklmnopqrstuvwxyz0123",
                                "abcdefghijklmnopqrst", 99999, "x"},
                      EntryCase{"EveryFieldOverflows", 1000, "abcdefghijklmnopqrstuvwxyz0123456789",
                                "abcdefghijklmnopqrstuvwxy", 123456789, "++"},
                      // SQL Server reports -1 as the length of the (max) types.
                      EntryCase{"NegativeLength", 12, "Notes", "varchar", -1, " "},
                      EntryCase{"SmallestInteger", -2147483647 - 1, "a", "b", -2147483647 - 1, ""},
                      EntryCase{"LargestInteger", 2147483647, "a", "b", 2147483647, ""}),
    [](const ::testing::TestParamInfo<EntryCase>& p) { return std::string(p.param.label); });

// --- the command-line program's standard output -----------------------------------------------

// The report without its date line (line 5), which is the run's own.
QByteArray WithoutDate(const QByteArray& report)
{
    QList<QByteArray> lines = report.split('\n');
    if (lines.size() > 4)
        lines.removeAt(4);
    return lines.join('\n');
}

class StandardOutputTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        // Some hundred kilobytes of report: more than a pipe holds at once.
        jet::Database db;
        for (int t = 0; t < 300; ++t) {
            jet::Table table;
            table.name = QStringLiteral("Table_%1").arg(t, 3, 10, QLatin1Char('0'));
            for (int c = 0; c < 12; ++c)
                table.columns.append(jet::makeColumn(QStringLiteral("Field_%1_%2").arg(t).arg(c),
                                                     jet::ColumnType::Text, 20 + c));
            db.tables.append(table);
        }
        s_file = new QString(s_dir->filePath(QStringLiteral("out.mdb")));
        jet::writeFile(*s_file, db);
        s_reference = new QByteArray(run(std::tmpfile()));
    }
    static void TearDownTestSuite()
    {
        delete s_reference;
        delete s_file;
        delete s_dir;
    }

    // Runs the program on the file with out as standard output; the report it wrote, read back
    // (out is closed).
    static QByteArray run(std::FILE* out, int expectedExit = 0, QString* error = nullptr)
    {
        TNoAnswers prompter;
        std::FILE* in = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_TRUE(out && in && err);
        if (!out || !in || !err)
            return {};
        EXPECT_EQ(RunReportCommand({QStringLiteral("--language"), QStringLiteral("en"), *s_file}, prompter,
                                   in, out, err),
                  expectedExit);
        if (error)
            *error = QString::fromUtf8(ReadStreamFromStart(err));
        const QByteArray bytes = expectedExit == 0 ? ReadStreamFromStart(out) : QByteArray();
        std::fclose(in);
        std::fclose(err);
        std::fclose(out);
        return bytes;
    }

    static QTemporaryDir* s_dir;
    static QString* s_file;
    static QByteArray* s_reference;
};
QTemporaryDir* StandardOutputTest::s_dir = nullptr;
QString* StandardOutputTest::s_file = nullptr;
QByteArray* StandardOutputTest::s_reference = nullptr;

TEST_F(StandardOutputTest, TheReferenceIsTheWholeReport)
{
    // 300 titles and 3,600 column lines between the header and the closing frame.
    EXPECT_EQ(s_reference->count('\n'), 8 + 300 + 3600 + 1);
    EXPECT_TRUE(s_reference->contains("Field_299_11"));
    EXPECT_GT(s_reference->size(), 256 * 1024);
}

TEST_F(StandardOutputTest, FileOpenedForAppendingKeepsWhatItHeld)
{
    const QByteArray path = QFile::encodeName(s_dir->filePath(QStringLiteral("append.txt")));
    {
        QFile earlier(QString::fromLocal8Bit(path));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier text\n");
    }
    std::FILE* out = std::fopen(path.constData(), "a+");
    const QByteArray all = run(out);
    ASSERT_TRUE(all.startsWith("earlier text\n"));
    EXPECT_EQ(WithoutDate(all.mid(13)), WithoutDate(*s_reference));
}

TEST_F(StandardOutputTest, StreamWithoutADescriptorGetsTheReportWritten)
{
    char* memory = nullptr;
    size_t size = 0;
    std::FILE* out = ::open_memstream(&memory, &size);
    ASSERT_NE(out, nullptr);
    TNoAnswers prompter;
    std::FILE* in = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(RunReportCommand({QStringLiteral("--language"), QStringLiteral("en"), *s_file}, prompter, in,
                               out, err),
              0);
    std::fclose(out);
    const QByteArray written(memory, qsizetype(size));
    std::free(memory);
    std::fclose(in);
    std::fclose(err);
    EXPECT_EQ(WithoutDate(written), WithoutDate(*s_reference));
}

TEST_F(StandardOutputTest, PipeReceivesTheWholeReport)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    QByteArray received;
    std::thread reader([&] {
        char piece[8192];
        ssize_t n;
        while ((n = ::read(fds[0], piece, sizeof piece)) > 0)
            received.append(piece, qsizetype(n));
        ::close(fds[0]);
    });
    TNoAnswers prompter;
    std::FILE* out = ::fdopen(fds[1], "w");
    std::FILE* in = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int exitCode = RunReportCommand({QStringLiteral("--language"), QStringLiteral("en"), *s_file},
                                          prompter, in, out, err);
    std::fclose(out);
    reader.join();
    std::fclose(in);
    std::fclose(err);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(WithoutDate(received), WithoutDate(*s_reference));
}

TEST_F(StandardOutputTest, FullDeviceIsAnErrorNotASuccess)
{
    std::FILE* out = std::fopen("/dev/full", "w");
    if (!out)
        GTEST_SKIP() << "no /dev/full here";
    QString error;
    run(out, 1, &error);
    EXPECT_TRUE(error.startsWith(QStringLiteral("orvane-report: cannot write the report: ")))
        << error.toStdString();
}

// The program leaves each report's structure to its exit; a process that runs more reports (the
// suites do) must still read a file anew once it has changed.
TEST(ReportStructureLeftToExit, ALaterRunReadsTheFileAsItIsThen)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("changing.mdb"));
    const auto writeWith = [&](const QString& tableName) {
        jet::Database db;
        jet::Table table;
        table.name = tableName;
        table.columns.append(jet::makeColumn(QStringLiteral("Id"), jet::ColumnType::Long, 4));
        db.tables.append(table);
        jet::writeFile(file, db);
    };
    SetReportStructureLeftToExit(true);
    writeWith(QStringLiteral("Before"));
    const CommandRun first = RunCommandInProcess({QStringLiteral("--language"), QStringLiteral("en"), file});
    writeWith(QStringLiteral("After"));
    const CommandRun second = RunCommandInProcess({QStringLiteral("--language"), QStringLiteral("en"), file});
    SetReportStructureLeftToExit(false);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(first.out.contains("*** Before "));
    EXPECT_TRUE(second.out.contains("*** After "));
    EXPECT_FALSE(second.out.contains("Before"));
}

} // namespace
