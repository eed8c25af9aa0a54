// Where a finished report goes: the device sink that writes whole blocks when nobody reads before
// the end, and the command-line program handing its held report to every kind of standard output
// (a file, a file opened for appending, a pipe, a stream without a descriptor, a full device).
#include "CommandRuns.h"
#include "JetWriter.h"
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

// A buffer that remembers the size of every write it got.
class CountingDevice : public QBuffer
{
public:
    CountingDevice() { open(QIODevice::WriteOnly); }
    QList<qint64> writes;

protected:
    qint64 writeData(const char* data, qint64 size) override
    {
        writes.append(size);
        return QBuffer::writeData(data, size);
    }
};

QString NumberedLine(int i)
{
    // Long enough that a few thousand lines pass the sink's block size several times.
    return QStringLiteral("line %1 ").arg(i) + QString(60, QLatin1Char('x'));
}

struct SinkCase
{
    const char* label;
    int lines;
};

void PrintTo(const SinkCase& c, std::ostream* os)
{
    *os << c.label;
}

class WholeBlocksTest : public ::testing::TestWithParam<SinkCase>
{
};

TEST_P(WholeBlocksTest, SameBytesInBlocksOfTheFlushSizeWhateverTheFlushPoints)
{
    QByteArray expected;
    CountingDevice blocks;
    {
        TDeviceLineSink sink(blocks, true);
        for (int i = 0; i < GetParam().lines; ++i) {
            sink.AddLine(NumberedLine(i));
            expected += NumberedLine(i).toUtf8() + '\n';
            if (i % 7 == 0)
                sink.Flush(); // a run's flush point after every few lines: passed over
        }
        sink.Flush();
    } // the rest goes out when the sink ends
    EXPECT_EQ(blocks.data(), expected);
    for (qsizetype w = 0; w + 1 < blocks.writes.size(); ++w)
        EXPECT_GE(blocks.writes.at(w), 64 * 1024) << "write " << w << " of " << blocks.writes.size();

    // The same lines through a sink that honours the flush points write the same bytes, in more
    // pieces as soon as there is more than one flush point with lines waiting.
    CountingDevice pieces;
    {
        TDeviceLineSink sink(pieces);
        for (int i = 0; i < GetParam().lines; ++i) {
            sink.AddLine(NumberedLine(i));
            if (i % 7 == 0)
                sink.Flush();
        }
    }
    EXPECT_EQ(pieces.data(), expected);
    if (GetParam().lines > 8) {
        EXPECT_GT(pieces.writes.size(), blocks.writes.size());
    }
}

TEST(WholeBlocks, WriteOutSendsWhatIsWaitingAndNothingTwice)
{
    CountingDevice device;
    TDeviceLineSink sink(device, true);
    sink.AddLine(QStringLiteral("one"));
    sink.Flush();
    EXPECT_TRUE(device.data().isEmpty());
    sink.WriteOut();
    EXPECT_EQ(device.data(), QByteArray("one\n"));
    sink.WriteOut();
    EXPECT_EQ(device.writes.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WholeBlocksTest,
                         ::testing::Values(SinkCase{"Nothing", 0}, SinkCase{"OneLine", 1},
                                           SinkCase{"UnderOneBlock", 500}, SinkCase{"SeveralBlocks", 4000}),
                         [](const ::testing::TestParamInfo<SinkCase>& sizeCase) { return sizeCase.param.label; });

// --- the command-line program's standard output -----------------------------------------------

jet::Column Column(const QString& name, jet::ColumnType type, int length = 0)
{
    jet::Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

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
        // Some hundred kilobytes of report: several blocks, more than a pipe holds at once.
        jet::Database db;
        for (int t = 0; t < 300; ++t) {
            jet::Table table;
            table.name = QStringLiteral("Table_%1").arg(t, 3, 10, QLatin1Char('0'));
            for (int c = 0; c < 12; ++c)
                table.columns.append(Column(QStringLiteral("Field_%1_%2").arg(t).arg(c), jet::ColumnType::Text, 20 + c));
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
        EXPECT_EQ(RunReportCommand({QStringLiteral("--language"), QStringLiteral("en"), *s_file}, prompter, in, out,
                                   err),
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
    // The kernel refuses to move pages into a file opened for appending: the copy reads back.
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
    EXPECT_EQ(RunReportCommand({QStringLiteral("--language"), QStringLiteral("en"), *s_file}, prompter, in, out, err), 0);
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
    const int exitCode =
        RunReportCommand({QStringLiteral("--language"), QStringLiteral("en"), *s_file}, prompter, in, out, err);
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
    EXPECT_TRUE(error.startsWith(QStringLiteral("orvane-report: cannot write the report: "))) << error.toStdString();
}

} // namespace
