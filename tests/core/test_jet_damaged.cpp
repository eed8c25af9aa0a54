// Damaged and hostile files: whatever the bytes, opening them through the Access provider ends in
// an error or a usable catalogue, never a crash or a hang of the program.
#include "Automation.h"
#include "JetCatalogReader.h"
#include "JetChildProcess.h"

#include "JetWriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

class DamagedFiles : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_oldTimeout = JetReaderTimeout();
        SetJetReaderTimeout(2000);
        jet::Database db = jet::sampleDatabase();
        db.tables.append(jet::everyTypeTable());
        s_original = new QByteArray(jet::buildFile(db));
    }
    static void TearDownTestSuite()
    {
        SetJetReaderTimeout(s_oldTimeout);
        delete s_original;
    }

    // Opens bytes as a file and reads every table and column; returns the help context of the error
    // opening threw, 0 when it opened. Reading an opened catalogue must not throw.
    int openAndWalk(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("damaged.mdb"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            ADD_FAILURE() << "cannot write the test file";
        f.close();
        Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
        try {
            catalog.put(QStringLiteral("ActiveConnection"), Variant(QStringLiteral("Data Source=") + path));
        } catch (const AutomationError& e) {
            return e.helpContext();
        }
        const Variant tables = catalog.get(QStringLiteral("Tables"));
        const int n = tables.get(QStringLiteral("Count")).toInt();
        for (int i = 0; i < n; ++i) {
            const Variant table = tables.get(QStringLiteral("Item"), {Variant(i)});
            table.get(QStringLiteral("Name")).toText();
            const Variant columns = table.get(QStringLiteral("Columns"));
            const int m = columns.get(QStringLiteral("Count")).toInt();
            for (int c = 0; c < m; ++c) {
                const Variant column = columns.get(QStringLiteral("Item"), {Variant(c)});
                column.get(QStringLiteral("Name")).toText();
                column.get(QStringLiteral("Type")).toInt();
                column.get(QStringLiteral("DefinedSize")).toInt();
            }
        }
        return 0;
    }

    static void expectErrorOrCatalogue(int helpContext)
    {
        EXPECT_TRUE(helpContext == 0 || helpContext == 5003343 || helpContext == 5003049) << helpContext;
    }

    static QByteArray* s_original;
    static int s_oldTimeout;

private:
    QTemporaryDir m_dir;
};
QByteArray* DamagedFiles::s_original = nullptr;
int DamagedFiles::s_oldTimeout = 0;

TEST_F(DamagedFiles, TheUndamagedFileOpens)
{
    EXPECT_EQ(openAndWalk(*s_original), 0);
}

TEST_F(DamagedFiles, ZeroLengthAndTinyFilesAreNotDatabases)
{
    EXPECT_EQ(openAndWalk(QByteArray()), 5003343);
    EXPECT_EQ(openAndWalk(s_original->left(1)), 5003343);
    EXPECT_EQ(openAndWalk(s_original->left(0x20)), 5003343);
}

TEST_F(DamagedFiles, TruncatedAnywhere)
{
    const qsizetype size = s_original->size();
    QList<qsizetype> cuts = {2047, 2048, 4095, 4096, 4097, size - 1, size / 2};
    // Every whole-page cut passes the header checks and reaches the reader.
    for (qsizetype at = 4096; at < size; at += 4096)
        cuts << at;
    for (qsizetype at : cuts) {
        SCOPED_TRACE(at);
        expectErrorOrCatalogue(openAndWalk(s_original->left(at)));
    }
}

TEST_F(DamagedFiles, FlippedBytesAfterTheHeader)
{
    std::mt19937 random(20261209);
    const qsizetype size = s_original->size();
    std::uniform_int_distribution<qsizetype> position(4096, size - 1);
    std::uniform_int_distribution<int> count(1, 16);
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes = *s_original;
        const int flips = count(random);
        for (int i = 0; i < flips; ++i) {
            const qsizetype at = position(random);
            bytes[at] = static_cast<char>(~bytes[at]);
        }
        SCOPED_TRACE(round);
        expectErrorOrCatalogue(openAndWalk(bytes));
    }
}

TEST_F(DamagedFiles, EveryByteOfTheCatalogueDefinitionFlipped)
{
    // Page 2 holds the definition of the catalogue table itself: the reader's first steps.
    for (int offset = 0; offset < 400; offset += 5) {
        QByteArray bytes = *s_original;
        bytes[2 * 4096 + offset] = static_cast<char>(bytes[2 * 4096 + offset] ^ 0x5A);
        SCOPED_TRACE(offset);
        expectErrorOrCatalogue(openAndWalk(bytes));
    }
}

// libmdb 1.0 dies on this one (an owned-pages map pointer of the catalogue's definition that points
// nowhere): the crash must stay in the reader and come back as an error.
TEST_F(DamagedFiles, AFileThatCrashesTheReaderIsAnError)
{
    QByteArray bytes = *s_original;
    bytes[2 * 4096 + 55] = static_cast<char>(0xFF);
    EXPECT_EQ(openAndWalk(bytes), 5003049);
}

TEST_F(DamagedFiles, RandomPagesBehindAGenuineHeader)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20; ++round) {
        QByteArray bytes = s_original->left(4096);
        for (int i = 0; i < 4096 * (2 + round % 5); ++i)
            bytes.append(static_cast<char>(byte(random)));
        SCOPED_TRACE(round);
        expectErrorOrCatalogue(openAndWalk(bytes));
    }
}

TEST_F(DamagedFiles, RandomBytesAreNotADatabase)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray bytes;
    for (int i = 0; i < 4096 * 4; ++i)
        bytes.append(static_cast<char>(byte(random)));
    EXPECT_EQ(openAndWalk(bytes), 5003343);
}

// The child runner itself: crashes, hangs and floods of the work must all come back as a status.
TEST(ChildRunner, ReportsOutputCrashTimeoutAndFlood)
{
    const ChildRunResult ok = RunInChildProcess([](int fd) { WriteAllToFd(fd, "hello", 5); }, 2000, 100);
    EXPECT_EQ(ok.status, ChildRunResult::Finished);
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.output, QByteArray("hello"));

    const ChildRunResult crashed = RunInChildProcess([](int) { std::raise(SIGSEGV); }, 2000, 100);
    EXPECT_EQ(crashed.status, ChildRunResult::Crashed);

    const auto start = std::chrono::steady_clock::now();
    const ChildRunResult hung = RunInChildProcess(
        [](int) {
            for (;;)
                ::pause();
        },
        300, 100);
    EXPECT_EQ(hung.status, ChildRunResult::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    const ChildRunResult flood = RunInChildProcess(
        [](int fd) {
            const QByteArray chunk(4096, 'x');
            for (;;)
                if (!WriteAllToFd(fd, chunk.constData(), chunk.size()))
                    return;
        },
        2000, 10000);
    EXPECT_EQ(flood.status, ChildRunResult::TooMuchData);

    const ChildRunResult thrown = RunInChildProcess([](int) { throw 1; }, 2000, 100);
    EXPECT_EQ(thrown.status, ChildRunResult::Finished);
    EXPECT_NE(thrown.exitCode, 0);
}

} // namespace
