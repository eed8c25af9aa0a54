// The catalogue handed over while it arrives: the reader child sends the table list first and the
// columns after it, so a connection can be used before the whole file is read. What must hold:
// a table the read never reached is an error, never an empty or short table; a read that breaks
// off is noticed before anything is trusted (the command-line report prints nothing and keeps
// its old output file); a stream dropped early takes its child with it; and a good file gives the
// same catalogue and the same report whether it is streamed or waited for.
#include "Automation.h"
#include "CommandRuns.h"
#include "ConnectionSettings.h"
#include "JetCatalogReader.h"
#include "JetChildProcess.h"
#include "JetProvider.h"
#include "KorvADOXConnection.h"
#include "KorvConnection.h"
#include "ReportCommand.h"
#include "ReportLines.h"
#include "Settings.h"
#include "StructureReport.h"
#include "TableList.h"

#include "JetWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <future>
#include <ostream>
#include <random>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int32_t kCannotOpen = 5003049;
constexpr qsizetype kPageSize = 4096; // Jet 4

jet::Column column(const QString& name, jet::ColumnType type, int length = 0)
{
    jet::Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The help context of the AutomationError body throws; 0 when it returns, -1 for anything else.
template <typename Body>
std::int32_t errorOf(Body&& body)
{
    try {
        body();
    } catch (const AutomationError& e) {
        return e.helpContext();
    } catch (...) {
        return -1;
    }
    return 0;
}

QString connectionString(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
}

Variant connect(const QString& path)
{
    Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
    catalog.put(QStringLiteral("ActiveConnection"), Variant(connectionString(path)));
    return catalog;
}

// The process-wide switches, put back whatever a test does.
class Streaming
{
public:
    explicit Streaming(bool on) : m_old(JetCatalogueStreaming()) { SetJetCatalogueStreaming(on); }
    ~Streaming() { SetJetCatalogueStreaming(m_old); }
    Streaming(const Streaming&) = delete;
    Streaming& operator=(const Streaming&) = delete;

private:
    bool m_old;
};

class ReaderTimeout
{
public:
    explicit ReaderTimeout(int ms) : m_old(JetReaderTimeout()) { SetJetReaderTimeout(ms); }
    ~ReaderTimeout() { SetJetReaderTimeout(m_old); }
    ReaderTimeout(const ReaderTimeout&) = delete;
    ReaderTimeout& operator=(const ReaderTimeout&) = delete;

private:
    int m_old;
};

// One table as the automation objects show it.
struct TableView
{
    QString name;
    QString type;
    QStringList columns; // "name|type|definedSize|precision|scale"

    friend bool operator==(const TableView&, const TableView&) = default;
};

void PrintTo(const TableView& t, std::ostream* os)
{
    *os << t.name.toStdString() << " (" << t.type.toStdString() << ") [" << t.columns.join(u", ").toStdString()
        << "]";
}

QStringList columnsOf(const Variant& table)
{
    const Variant columns = table.get(QStringLiteral("Columns"));
    QStringList out;
    const int count = columns.get(QStringLiteral("Count")).toInt();
    for (int c = 0; c < count; ++c) {
        const Variant col = columns.get(QStringLiteral("Item"), {Variant(c)});
        out << QStringLiteral("%1|%2|%3|%4|%5")
                   .arg(col.get(QStringLiteral("Name")).toText())
                   .arg(col.get(QStringLiteral("Type")).toInt())
                   .arg(col.get(QStringLiteral("DefinedSize")).toInt())
                   .arg(col.get(QStringLiteral("Precision")).toInt())
                   .arg(col.get(QStringLiteral("NumericScale")).toInt());
    }
    return out;
}

Variant tableAt(const Variant& catalog, int index)
{
    return catalog.get(QStringLiteral("Tables")).get(QStringLiteral("Item"), {Variant(index)});
}

int tableCount(const Variant& catalog)
{
    return catalog.get(QStringLiteral("Tables")).get(QStringLiteral("Count")).toInt();
}

// Every table in the given order of positions (all of them, front to back, when empty).
std::vector<TableView> walk(const Variant& catalog, std::vector<int> order = {})
{
    if (order.empty()) {
        order.resize(static_cast<std::size_t>(tableCount(catalog)));
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
    }
    std::vector<TableView> out;
    for (int i : order) {
        const Variant table = tableAt(catalog, i);
        out.push_back({table.get(QStringLiteral("Name")).toText(), table.get(QStringLiteral("Type")).toText(),
                       columnsOf(table)});
    }
    return out;
}

// --- child processes of this test process -------------------------------------------------------

// State letter of a process from /proc ('R', 'S', 'T', 'Z', ...), 0 when it is gone.
char processState(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() ? stat.at(close + 2) : 0;
}

// Children of this process that have not ended (zombies excluded).
std::vector<pid_t> liveChildren()
{
    std::vector<pid_t> out;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&number));
        if (!number)
            continue;
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = f.readAll();
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        // After the command: state, then the parent's id.
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == ::getpid() && fields.at(0) != "Z")
            out.push_back(pid);
    }
    return out;
}

// True when this process has no child at all, running or waiting to be reaped.
bool noChildLeft()
{
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// Waits (at most a few seconds) until pid shows the state wanted or has ended; its last state.
char waitForState(pid_t pid, char wanted)
{
    char state = processState(pid);
    for (int i = 0; i < 5000 && state != 0 && state != wanted && state != 'Z'; ++i) {
        ::usleep(1000);
        state = processState(pid);
    }
    return state;
}

// --- a file with one damaged table definition ---------------------------------------------------

// Damage done to one table's definition page. Both leave the catalogue (MSysObjects) readable, so
// the table list arrives whole; libmdb then fails on that one table.
struct Damage
{
    const char* label;
    int offset; // in the definition page
    QByteArray bytes;
    char failsIn; // 'T': mdb_read_table refuses the page, 'C': mdb_read_columns fails
};

const Damage kDamages[] = {
    // A data page's type byte where the definition's 0x02 belongs.
    {"NotADefinitionPage", 0, QByteArray("\x01", 1), 'T'},
    // The column count (bytes 45-46) far beyond the one column the definition holds.
    {"ColumnCountBeyondTheDefinition", 45, QByteArray("\xff\x0f", 2), 'C'},
};

// Where the damaged table falls in the catalogue's order: first, among the others, last but one.
const char* const kBrokenNames[] = {"Aa_Broken", "Nn_Broken", "Zz_Broken"};

const QString kMarker = QStringLiteral("DamageMarker");

// libmdb, called directly (through the symbols the program already links): the damage must be
// something the reader itself fails on, not something only this program objects to. Answers, from
// a child: 'K' the table and its columns read, 'T' / 'C' as in Damage, 'O' the file did not open;
// or a status other than Finished when libmdb died.
ChildRunResult readTableWithLibmdb(const QString& path, const QString& table)
{
    using OpenFn = void* (*)(const char*, int);
    using CatalogFn = void* (*)(void*, int);
    using TableFn = void* (*)(void*, char*, int);
    using ColumnsFn = void* (*)(void*);
    const auto open = reinterpret_cast<OpenFn>(::dlsym(RTLD_DEFAULT, "mdb_open"));
    const auto catalog = reinterpret_cast<CatalogFn>(::dlsym(RTLD_DEFAULT, "mdb_read_catalog"));
    const auto readTable = reinterpret_cast<TableFn>(::dlsym(RTLD_DEFAULT, "mdb_read_table_by_name"));
    const auto readColumns = reinterpret_cast<ColumnsFn>(::dlsym(RTLD_DEFAULT, "mdb_read_columns"));
    if (!open || !catalog || !readTable || !readColumns)
        return {};
    const QByteArray file = path.toUtf8();
    QByteArray name = table.toUtf8();
    return RunInChildProcess(
        [&](int fd) {
            constexpr int kNoFlags = 0; // MDB_NOFLAGS
            constexpr int kTables = 1;  // MDB_TABLE
            char answer = 'O';
            if (void* mdb = open(file.constData(), kNoFlags); mdb && catalog(mdb, kTables)) {
                void* def = readTable(mdb, name.data(), kTables);
                answer = !def ? 'T' : !readColumns(def) ? 'C' : 'K';
            }
            WriteAllToFd(fd, &answer, 1);
        },
        5000, 16);
}

class DamagedTable : public ::testing::TestWithParam<std::tuple<Damage, const char*>>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_brokenName = QString::fromLatin1(std::get<1>(GetParam()));
        jet::Database db = jet::sampleDatabase();
        db.tables.append(jet::Table{m_brokenName, {column(kMarker, jet::ColumnType::Long)}});
        db.tables.append(jet::Table{QStringLiteral("Zzz_After"), {column(QStringLiteral("Tail"), jet::ColumnType::Text, 12)}});
        const QByteArray good = jet::buildFile(db);

        // The definition page is the one holding the marker column's name (UTF-16LE, stored once).
        const QByteArray needle(reinterpret_cast<const char*>(kMarker.utf16()), kMarker.size() * 2);
        const qsizetype at = good.indexOf(needle);
        ASSERT_GE(at, 0);
        ASSERT_EQ(good.indexOf(needle, at + 1), -1);
        const qsizetype page = at / kPageSize;
        ASSERT_GT(page, 2) << "page 2 is the catalogue's own definition";
        ASSERT_EQ(good.at(page * kPageSize), '\x02');
        ASSERT_EQ(good.at(page * kPageSize + 1), '\x01');
        QByteArray damaged = good;
        const Damage& damage = std::get<0>(GetParam());
        damaged.replace(page * kPageSize + damage.offset, damage.bytes.size(), damage.bytes);
        ASSERT_EQ(damaged.size(), good.size());

        m_good = m_dir.filePath(QStringLiteral("good.mdb"));
        m_damaged = m_dir.filePath(QStringLiteral("damaged.mdb"));
        ASSERT_TRUE(writeBytes(m_good, good));
        ASSERT_TRUE(writeBytes(m_damaged, damaged));

        // What the undamaged twin shows, read whole.
        const Streaming off(false);
        m_reference = walk(connect(m_good));
        for (std::size_t i = 0; i < m_reference.size(); ++i) {
            if (m_reference[i].name == m_brokenName)
                m_brokenIndex = static_cast<int>(i);
        }
        ASSERT_GE(m_brokenIndex, 0);
        ASSERT_LT(m_brokenIndex + 1, static_cast<int>(m_reference.size())) << "a table must follow the damaged one";
    }

    void TearDown() override { EXPECT_TRUE(noChildLeft()) << "a reader child outlived the test"; }

    QTemporaryDir m_dir;
    QString m_brokenName;
    QString m_good;
    QString m_damaged;
    std::vector<TableView> m_reference;
    int m_brokenIndex = -1;
};

TEST_P(DamagedTable, LibmdbItselfFailsOnThatTableAndReadsItsUndamagedTwin)
{
    const ChildRunResult good = readTableWithLibmdb(m_good, m_brokenName);
    if (good.status == ChildRunResult::StartFailed)
        GTEST_SKIP() << "libmdb's entry points cannot be looked up in this build";
    ASSERT_EQ(good.status, ChildRunResult::Finished);
    EXPECT_EQ(good.output, QByteArray("K"));

    const ChildRunResult damaged = readTableWithLibmdb(m_damaged, m_brokenName);
    ASSERT_EQ(damaged.status, ChildRunResult::Finished);
    EXPECT_EQ(damaged.output, QByteArray(1, std::get<0>(GetParam()).failsIn));
    // The table after it is untouched: only the order of reading makes it unreachable.
    const ChildRunResult after = readTableWithLibmdb(m_damaged, QStringLiteral("Zzz_After"));
    ASSERT_EQ(after.status, ChildRunResult::Finished);
    EXPECT_EQ(after.output, QByteArray("K"));
}

TEST_P(DamagedTable, WithoutStreamingTheConnectionIsRefusedAndTheEarlierOneStays)
{
    const Streaming off(false);
    Variant catalog = connect(m_good);
    const std::int32_t error = errorOf(
        [&] { catalog.put(QStringLiteral("ActiveConnection"), Variant(connectionString(m_damaged))); });
    EXPECT_EQ(error, kCannotOpen);
    // The refused connection changed nothing: the catalogue still answers for the good file, whole.
    EXPECT_EQ(catalog.get(QStringLiteral("ActiveConnection")).toText(), connectionString(m_good));
    EXPECT_EQ(walk(catalog), m_reference);
    EXPECT_EQ(errorOf([&] { CheckJetCatalogueComplete(catalog); }), 0);

    EXPECT_EQ(errorOf([&] { connect(m_damaged); }), kCannotOpen);
}

TEST_P(DamagedTable, WithStreamingTheTablesBeforeTheDamageAreWholeAndTheRestRefuse)
{
    const Streaming on(true);
    Variant catalog;
    ASSERT_EQ(errorOf([&] { catalog = connect(m_damaged); }), 0);
    // The list itself is whole: every name, in order, every type.
    const int count = tableCount(catalog);
    ASSERT_EQ(count, static_cast<int>(m_reference.size()));
    for (int i = 0; i < count; ++i) {
        const Variant table = tableAt(catalog, i);
        EXPECT_EQ(table.get(QStringLiteral("Name")).toText(), m_reference[i].name);
        EXPECT_EQ(table.get(QStringLiteral("Type")).toText(), m_reference[i].type);
    }
    // Asked from the back: the tables the read never reached refuse, whatever was asked first, and
    // keep refusing; the ones before keep their columns.
    for (int i = count - 1; i >= 0; --i) {
        SCOPED_TRACE(m_reference[i].name.toStdString());
        const Variant columns = tableAt(catalog, i).get(QStringLiteral("Columns"));
        if (i < m_brokenIndex) {
            EXPECT_EQ(columnsOf(tableAt(catalog, i)), m_reference[i].columns);
        } else {
            EXPECT_EQ(errorOf([&] { columns.get(QStringLiteral("Count")); }), kCannotOpen);
            EXPECT_EQ(errorOf([&] { columns.get(QStringLiteral("Item"), {Variant(0)}); }), kCannotOpen);
            EXPECT_EQ(errorOf([&] { columns.get(QStringLiteral("Count")); }), kCannotOpen);
        }
    }
    // By name as well.
    const Variant byName =
        catalog.get(QStringLiteral("Tables")).get(QStringLiteral("Item"), {Variant(m_brokenName)});
    EXPECT_EQ(byName.get(QStringLiteral("Name")).toText(), m_brokenName);
    EXPECT_EQ(errorOf([&] { byName.get(QStringLiteral("Columns")).get(QStringLiteral("Count")); }), kCannotOpen);

    EXPECT_EQ(errorOf([&] { CheckJetCatalogueComplete(catalog); }), kCannotOpen);
    EXPECT_EQ(errorOf([&] { CheckJetCatalogueComplete(catalog); }), kCannotOpen);
}

TEST_P(DamagedTable, TheStreamStopsAtTheDamagedTable)
{
    JetCatalogueStream stream(m_damaged);
    ASSERT_EQ(stream.tableCount(), static_cast<int>(m_reference.size()));
    for (int i = 0; i < stream.tableCount(); ++i)
        EXPECT_EQ(stream.table(i).name, m_reference[i].name);
    // The end first: its refusal must not take the earlier tables with it.
    EXPECT_EQ(errorOf([&] { stream.waitComplete(); }), kCannotOpen);
    EXPECT_EQ(errorOf([&] { stream.waitForColumns(stream.tableCount() - 1); }), kCannotOpen);
    EXPECT_EQ(errorOf([&] { stream.waitForColumns(m_brokenIndex); }), kCannotOpen);
    for (int i = 0; i < m_brokenIndex; ++i)
        EXPECT_EQ(stream.waitForColumns(i).columns.size(), m_reference[i].columns.size()) << i;
    EXPECT_EQ(errorOf([&] { stream.waitComplete(); }), kCannotOpen);
}

// The command line in process, with no terminal answers and no settings file.
struct CommandRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CommandRun runCommand(const QStringList& arguments)
{
    SetSettingsFileName(QString());
    TNoAnswers prompter;
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CommandRun run;
    if (in && out && err) {
        run.exitCode = RunReportCommand(arguments, prompter, in, out, err);
        run.out = ReadStreamFromStart(out);
        run.err = ReadStreamFromStart(err);
    }
    for (std::FILE* f : {in, out, err}) {
        if (f)
            std::fclose(f);
    }
    return run;
}

QByteArray cannotOpenMessage(const QString& file)
{
    return QStringLiteral("5003049: Cannot open database '%1'.").arg(QFileInfo(file).absoluteFilePath()).toUtf8();
}

TEST_P(DamagedTable, TheCommandLinePrintsTheErrorAndNoReport)
{
    for (const bool streamingBefore : {false, true}) {
        const Streaming before(streamingBefore);
        const CommandRun run = runCommand({m_damaged});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.left(400).toStdString();
        EXPECT_TRUE(run.err.startsWith(cannotOpenMessage(m_damaged))) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith('\n'));
        // The program's own switch is put back, failed or not.
        EXPECT_EQ(JetCatalogueStreaming(), streamingBefore);
    }
}

TEST_P(DamagedTable, TheCommandLineLeavesTheOutputFileAsItWas)
{
    const QString output = m_dir.filePath(QStringLiteral("report.txt"));
    const QByteArray old("an earlier report\n");
    ASSERT_TRUE(writeBytes(output, old));
    const CommandRun run = runCommand({QStringLiteral("--output"), output, m_damaged});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.startsWith(cannotOpenMessage(m_damaged))) << run.err.toStdString();
    EXPECT_EQ(readBytes(output), old);

    // Nor is a new one made, and nothing half-written is left beside them.
    const QString fresh = m_dir.filePath(QStringLiteral("new-report.txt"));
    EXPECT_EQ(runCommand({QStringLiteral("--output=") + fresh, m_damaged}).exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(fresh));
    QStringList files = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, QStringList({QStringLiteral("damaged.mdb"), QStringLiteral("good.mdb"),
                                  QStringLiteral("report.txt")}));

    // The same command on the good twin does replace the file: the refusal above was the damage's.
    const CommandRun good = runCommand({QStringLiteral("--output"), output, m_good});
    EXPECT_EQ(good.exitCode, 0) << good.err.toStdString();
    EXPECT_NE(readBytes(output), old);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedTable, ::testing::Combine(::testing::ValuesIn(kDamages), ::testing::ValuesIn(kBrokenNames)),
    [](const ::testing::TestParamInfo<std::tuple<Damage, const char*>>& p) {
        return std::string(std::get<0>(p.param).label) + "_" + std::get<1>(p.param);
    });

// --- the order of the list ----------------------------------------------------------------------

struct NamePair
{
    const char* label;
    QString a;
    QString b;
};

void PrintTo(const NamePair& p, std::ostream* os)
{
    *os << p.label;
}

class NameOrder : public ::testing::TestWithParam<NamePair>
{
};

TEST_P(NameOrder, IsQtsComparisonWithoutRegardToCase)
{
    const QString& a = GetParam().a;
    const QString& b = GetParam().b;
    EXPECT_EQ(JetNameLess(a, b), a.compare(b, Qt::CaseInsensitive) < 0);
    EXPECT_EQ(JetNameLess(b, a), b.compare(a, Qt::CaseInsensitive) < 0);
    EXPECT_FALSE(JetNameLess(a, a));
    EXPECT_FALSE(JetNameLess(a, b) && JetNameLess(b, a));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, NameOrder,
    ::testing::Values(
        NamePair{"CaseOnly", QStringLiteral("abc"), QStringLiteral("ABC")},
        NamePair{"CaseDecidesNothing", QStringLiteral("abD"), QStringLiteral("ABc")},
        NamePair{"Prefix", QStringLiteral("Ab"), QStringLiteral("aBc")},
        NamePair{"Empty", QString(), QStringLiteral("a")},
        // '_' lies between the capitals and the small letters: the letters are compared folded.
        NamePair{"UnderscoreAgainstCapital", QStringLiteral("a_"), QStringLiteral("AB")},
        NamePair{"UnderscoreFirst", QStringLiteral("_x"), QStringLiteral("Zeta")},
        NamePair{"BracketAgainstLetter", QStringLiteral("[t]"), QStringLiteral("a")},
        NamePair{"DigitAgainstLetter", QStringLiteral("Table9"), QStringLiteral("tablea")},
        NamePair{"UmlautAgainstAscii", QStringLiteral("Ä"), QStringLiteral("b")},
        NamePair{"UmlautCase", QStringLiteral("ä1"), QStringLiteral("Ä")},
        NamePair{"AccentAfterCommonAsciiPrefix", QStringLiteral("abé"), QStringLiteral("ABF")},
        NamePair{"AsciiPrefixOfLongerNonAscii", QStringLiteral("ab"), QStringLiteral("ABé")},
        NamePair{"SharpS", QStringLiteral("Straße"), QStringLiteral("STRASSE")},
        // Characters whose case folding differs from their lower case: equal to Qt, not to toLower.
        NamePair{"LongS", QStringLiteral("Teſt"), QStringLiteral("TEST")},
        NamePair{"MicroSign", QStringLiteral("µ-Meter"), QStringLiteral("Μ-meter")},
        NamePair{"FinalSigma", QStringLiteral("ας"), QStringLiteral("ΑΣ")},
        NamePair{"BetaSymbol", QStringLiteral("ϐeta"), QStringLiteral("Βeta")},
        NamePair{"KelvinSign", QStringLiteral("\u212Aelvin"), QStringLiteral("kelvin")},
        NamePair{"DottedCapitalI", QStringLiteral("x\u0130"), QStringLiteral("xi")},
        NamePair{"DotlessSmallI", QStringLiteral("x\u0131"), QStringLiteral("XI")},
        NamePair{"SurrogatePair", QStringLiteral("\U0001D504"), QStringLiteral("a")},
        NamePair{"SurrogateAgainstLastBmp", QStringLiteral("a\U0001D504"), QStringLiteral("A\uFFFD")},
        NamePair{"Cjk", QStringLiteral("日本"), QStringLiteral("Zz")}),
    [](const ::testing::TestParamInfo<NamePair>& p) { return std::string(p.param.label); });

TEST(NameOrderRandom, AgreesWithQtOnManyMixedNames)
{
    const QStringList alphabet = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("Z"),
                                  QStringLiteral("_"), QStringLiteral("["), QStringLiteral("0"), QStringLiteral(" "),
                                  QStringLiteral("é"), QStringLiteral("É"), QStringLiteral("ß"), QStringLiteral("ſ"),
                                  QStringLiteral("s"), QStringLiteral("S"), QStringLiteral("µ"), QStringLiteral("Μ"),
                                  QStringLiteral("ς"), QStringLiteral("Σ"), QStringLiteral("ı"), QStringLiteral("İ"),
                                  QStringLiteral("\U0001D504")};
    std::mt19937 random(4711);
    std::uniform_int_distribution<int> length(0, 5);
    std::uniform_int_distribution<int> letter(0, static_cast<int>(alphabet.size()) - 1);
    auto name = [&] {
        QString s;
        for (int n = length(random); n > 0; --n)
            s += alphabet.at(letter(random));
        return s;
    };
    int disagreements = 0;
    for (int i = 0; i < 20000 && disagreements < 5; ++i) {
        const QString a = name();
        const QString b = name();
        if (JetNameLess(a, b) != (a.compare(b, Qt::CaseInsensitive) < 0)) {
            ++disagreements;
            ADD_FAILURE() << "'" << a.toStdString() << "' < '" << b.toStdString() << "'";
        }
    }
}

// --- good files: streamed or waited for, the same catalogue -------------------------------------

// Names that stress the order: mixed case, beyond ASCII, and pairs equal without regard to case
// (as Qt folds) that the file still tells apart, in both orders.
jet::Database awkwardNames()
{
    const QStringList stems = {QStringLiteral("alpha"),  QStringLiteral("Beta"),     QStringLiteral("GAMMA"),
                               QStringLiteral("delta_"), QStringLiteral("Äpfel"),    QStringLiteral("öl"),
                               QStringLiteral("éclair"), QStringLiteral("Straße"),   QStringLiteral("Zürich"),
                               QStringLiteral("_under"), QStringLiteral("[br]"),     QStringLiteral("Ωmega"),
                               QStringLiteral("日本"),   QStringLiteral("Teſt"),     QStringLiteral("Test"),
                               QStringLiteral("µ-unit"), QStringLiteral("μ-unit"),   QStringLiteral("ϐeta"),
                               QStringLiteral("βeta"),   QStringLiteral("σigma"),    QStringLiteral("ςigma"),
                               QStringLiteral("zulu"),   QStringLiteral("Z"),        QStringLiteral("a b")};
    const QStringList suffixes = {QString(),          QStringLiteral("1"),  QStringLiteral("_2"), QStringLiteral(" 3"),
                                  QStringLiteral("Ä"), QStringLiteral("a"), QStringLiteral("B"),  QStringLiteral("10"),
                                  QStringLiteral("é"), QStringLiteral("_"), QStringLiteral("[x]"), QStringLiteral("Z9")};
    jet::Database db;
    db.withSystemTables = false;
    int n = 0;
    for (int round = 0; round < static_cast<int>(suffixes.size()); ++round) {
        QStringList names = stems;
        if (round % 2)
            std::reverse(names.begin(), names.end());
        for (QString name : names) {
            if (round % 3 == 1) {
                // Swaps the case of ASCII letters only, so the pairs above stay apart for the writer.
                for (QChar& c : name) {
                    if (c.unicode() < 0x80)
                        c = c.isUpper() ? c.toLower() : c.toUpper();
                }
            }
            jet::Table t;
            t.name = name + suffixes.at(round);
            const int columns = 1 + n % 4;
            for (int c = 0; c < columns; ++c) {
                t.columns.append(c % 2 ? column(QStringLiteral("Wert_%1_ü").arg(c), jet::ColumnType::Long)
                                       : column(QStringLiteral("Col%1").arg(c), jet::ColumnType::Text, 1 + (n + c) % 60));
            }
            db.tables.append(t);
            ++n;
        }
    }
    return db;
}

jet::Database sampleWithEveryType()
{
    jet::Database db = jet::sampleDatabase();
    db.tables.append(jet::everyTypeTable());
    return db;
}

// The same with the system tables, which the command line's system-table query needs.
jet::Database awkwardNamesWithSystemTables()
{
    jet::Database db = awkwardNames();
    db.withSystemTables = true;
    return db;
}

struct GoodFile
{
    const char* label;
    jet::Database (*make)();
};

void PrintTo(const GoodFile& f, std::ostream* os)
{
    *os << f.label;
}

class GoodFiles : public ::testing::TestWithParam<GoodFile>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_db = GetParam().make();
        m_path = m_dir.filePath(QStringLiteral("good.mdb"));
        jet::writeFile(m_path, m_db);
    }
    void TearDown() override { EXPECT_TRUE(noChildLeft()) << "a reader child outlived the test"; }

    QTemporaryDir m_dir;
    jet::Database m_db;
    QString m_path;
};

TEST_P(GoodFiles, StreamedCatalogueIsTheCatalogueReadWhole)
{
    std::vector<TableView> whole;
    {
        const Streaming off(false);
        whole = walk(connect(m_path));
    }
    ASSERT_FALSE(whole.empty());
    const Streaming on(true);
    const Variant streamed = connect(m_path);
    EXPECT_EQ(walk(streamed), whole);
    EXPECT_EQ(errorOf([&] { CheckJetCatalogueComplete(streamed); }), 0);

    // Asked from the back on a fresh connection: the last table first, while the rest may still
    // be on its way.
    const Variant again = connect(m_path);
    std::vector<int> backwards(whole.size());
    for (std::size_t i = 0; i < backwards.size(); ++i)
        backwards[i] = static_cast<int>(backwards.size() - 1 - i);
    std::vector<TableView> expected(whole.rbegin(), whole.rend());
    EXPECT_EQ(walk(again, backwards), expected);
    EXPECT_EQ(errorOf([&] { CheckJetCatalogueComplete(again); }), 0);
}

// The command line streams; the window waits for the whole catalogue. Their reports (apart from
// the time they were made) must be the same bytes.
TEST_P(GoodFiles, CommandLineReportIsTheReportOfTheWholeCatalogue)
{
    const CommandRun run = runCommand({m_path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    const Streaming off(false);
    TConnectionProperties props;
    props.Database = QFileInfo(m_path).absoluteFilePath();
    const QString cs = BuildAccessConnectionString(props);
    TKorvConnection connection;
    connection.SetConnectionType(ctADOX);
    connection.Open(cs);
    ASSERT_TRUE(connection.ADOXConnection);
    ASSERT_TRUE(!connection.ADOXConnection->ErrorItem || connection.ADOXConnection->ErrorItem->Number == 0);
    TTableList entries;
    ListCatalogueObjects(connection, ptAccess, props.Database, false, entries);
    ApplySystemTableRule(entries, false, ptAccess, cs);
    SelectAll(entries);
    QList<TReportEntry> reportEntries;
    for (const TTableEntry& e : entries)
        reportEntries.append(TReportEntry{e.text, e.checked});
    TReportSettings settings;
    settings.provider = ptAccess;
    settings.database = props.Database;
    settings.delimiter = QLatin1Char('*');
    settings.locale = QLocale::system();
    QByteArray text;
    {
        QBuffer buffer(&text);
        buffer.open(QIODevice::WriteOnly);
        TDeviceLineSink sink(buffer);
        TReportRunHooks hooks;
        RunStructureReport(connection, settings, reportEntries, sink, hooks);
        sink.Flush();
    }
    QList<QByteArray> cli = run.out.split('\n');
    QList<QByteArray> window = text.split('\n');
    ASSERT_GT(cli.size(), 5);
    ASSERT_GT(window.size(), 5);
    // Line 5 holds the date and time of the run.
    EXPECT_TRUE(cli.at(4).contains(':'));
    cli.removeAt(4);
    window.removeAt(4);
    EXPECT_EQ(cli.size(), window.size());
    EXPECT_TRUE(cli == window) << "first difference at line "
                               << std::distance(cli.begin(), std::mismatch(cli.begin(), cli.end(), window.begin(),
                                                                           window.end())
                                                                 .first);
    // Every user table got its block.
    EXPECT_GE(cli.size(), static_cast<qsizetype>(m_db.tables.size()));
}

INSTANTIATE_TEST_SUITE_P(Files, GoodFiles,
                         ::testing::Values(GoodFile{"Sample", &sampleWithEveryType},
                                           GoodFile{"AwkwardNames", &awkwardNamesWithSystemTables}),
                         [](const ::testing::TestParamInfo<GoodFile>& p) { return std::string(p.param.label); });

TEST(StreamedList, IsTheFilesOrderSortedStablyAsQtComparesWithoutRegardToCase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const jet::Database db = awkwardNames();
    const QString path = dir.filePath(QStringLiteral("names.mdb"));
    jet::writeFile(path, db);
    QStringList expected;
    for (const jet::Table& t : db.tables)
        expected << t.name;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    JetCatalogueStream stream(path);
    QStringList listed;
    for (int i = 0; i < stream.tableCount(); ++i)
        listed << stream.table(i).name;
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(errorOf([&] { stream.waitComplete(); }), 0);
}

// Every field a column carries, through the streamed message: tables enough that records are cut
// at every kind of place by the pieces the pipe hands over.
TEST(StreamedColumns, EveryFieldArrivesAsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    jet::Database db;
    db.withSystemTables = false;
    for (int t = 0; t < 1200; ++t) {
        jet::Table table;
        table.name = QStringLiteral("T%1_%2").arg(t, 4, 10, QLatin1Char('0')).arg(t % 7 ? QStringLiteral("x") : QStringLiteral("ä"));
        jet::Column id = column(QStringLiteral("Id"), jet::ColumnType::Long);
        id.autoNumber = t % 2 == 0;
        table.columns.append(id);
        for (int c = 0; c < 1 + t % 9; ++c) {
            jet::Column text = column(QStringLiteral("Text_%1%2").arg(c).arg(QString(c, QChar(0x00E9 + c))),
                                      jet::ColumnType::Text, 1 + (t * 7 + c) % 255);
            text.fixed = (t + c) % 5 == 0;
            table.columns.append(text);
        }
        jet::Column money = column(QStringLiteral("Betrag"), jet::ColumnType::Numeric);
        money.precision = 1 + t % 28;
        money.scale = t % (money.precision + 1);
        table.columns.append(money);
        jet::Column guid = column(QStringLiteral("G"), jet::ColumnType::RepId);
        guid.autoNumber = t % 3 == 0;
        table.columns.append(guid);
        db.tables.append(table);
    }
    const QString path = dir.filePath(QStringLiteral("columns.mdb"));
    jet::writeFile(path, db);

    JetCatalogueStream stream(path);
    ASSERT_EQ(stream.tableCount(), static_cast<int>(db.tables.size()));
    // The names sort as they were written; the last table is asked for first.
    std::vector<int> order{stream.tableCount() - 1};
    for (int i = 0; i < stream.tableCount() - 1; ++i)
        order.push_back(i);
    int mismatches = 0;
    for (int i : order) {
        const jet::Table& want = db.tables.at(i);
        const JetTableInfo& got = stream.waitForColumns(i);
        ASSERT_EQ(got.name, want.name);
        ASSERT_EQ(got.columns.size(), want.columns.size()) << got.name.toStdString();
        for (qsizetype c = 0; c < want.columns.size() && mismatches < 10; ++c) {
            const jet::Column& w = want.columns.at(c);
            const JetColumnInfo& g = got.columns.at(c);
            const bool text = w.type == jet::ColumnType::Text;
            const bool numeric = w.type == jet::ColumnType::Numeric;
            const bool same = got.columnName(g) == w.name && g.jetType == int(w.type) &&
                              (!text || (g.size == 2 * w.length && g.fixed == w.fixed)) &&
                              g.autoLong == (w.type == jet::ColumnType::Long && w.autoNumber) &&
                              g.autoGuid == (w.type == jet::ColumnType::RepId && w.autoNumber) &&
                              (!numeric || (g.precision == w.precision && g.scale == w.scale));
            if (!same) {
                ++mismatches;
                ADD_FAILURE() << want.name.toStdString() << " column " << c << ": got "
                              << got.columnName(g).toString().toStdString() << " type " << g.jetType << " size "
                              << g.size << " fixed " << g.fixed << " auto " << g.autoLong << g.autoGuid
                              << " precision " << g.precision << " scale " << g.scale;
            }
        }
    }
    EXPECT_EQ(errorOf([&] { stream.waitComplete(); }), 0);
}

TEST(StreamedColumns, AnEmptyCatalogueIsCompleteAtOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    jet::Database db;
    db.withSystemTables = false;
    const QString path = dir.filePath(QStringLiteral("empty.mdb"));
    jet::writeFile(path, db);
    JetCatalogueStream stream(path);
    EXPECT_EQ(stream.tableCount(), 0);
    EXPECT_EQ(errorOf([&] { stream.waitComplete(); }), 0);
    const Streaming on(true);
    const Variant catalog = connect(path);
    EXPECT_EQ(tableCount(catalog), 0);
    EXPECT_EQ(errorOf([&] { CheckJetCatalogueComplete(catalog); }), 0);
}

// --- ending a reader early ----------------------------------------------------------------------

constexpr int kBigTables = 3000;
constexpr int kBigColumns = 30;

// A catalogue large enough that its columns are still being read when the list has arrived.
class BigCatalogue : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_path = new QString(s_dir->filePath(QStringLiteral("big.mdb")));
        jet::Database db = jet::benchmarkDatabase(kBigTables, kBigColumns);
        db.withSystemTables = false;
        jet::writeFile(*s_path, db);
    }
    static void TearDownTestSuite()
    {
        delete s_path;
        delete s_dir;
        s_path = nullptr;
        s_dir = nullptr;
    }
    void TearDown() override { EXPECT_TRUE(noChildLeft()) << "a reader child outlived the test"; }

    // Calls open until its reader child is caught still reading, and stops that child; the child's
    // id, or -1 when every attempt found the child already done. reset undoes an attempt.
    template <typename Open, typename Reset>
    static pid_t catchReader(Open open, Reset reset)
    {
        for (int attempt = 0; attempt < 8; ++attempt) {
            open();
            const std::vector<pid_t> children = liveChildren();
            if (children.size() == 1 && ::kill(children.front(), SIGSTOP) == 0 &&
                waitForState(children.front(), 'T') == 'T')
                return children.front();
            reset();
        }
        return -1;
    }
    static pid_t openWithStoppedChild(std::unique_ptr<JetCatalogueStream>& stream)
    {
        return catchReader([&] { stream = std::make_unique<JetCatalogueStream>(*s_path); },
                           [&] { stream.reset(); });
    }

    static QTemporaryDir* s_dir;
    static QString* s_path;
};
QTemporaryDir* BigCatalogue::s_dir = nullptr;
QString* BigCatalogue::s_path = nullptr;

TEST_F(BigCatalogue, DroppingAStreamWhoseChildIsStillReadingEndsTheChild)
{
    // A limit far beyond the bound below: only the cancel can end the wait in time.
    const ReaderTimeout timeout(60000);
    std::unique_ptr<JetCatalogueStream> stream;
    const pid_t child = openWithStoppedChild(stream);
    ASSERT_GT(child, 0) << "the reader always finished before it could be caught";
    EXPECT_EQ(stream->tableCount(), kBigTables);
    const auto start = std::chrono::steady_clock::now();
    stream.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(processState(child), 0) << "the child is still there";
    EXPECT_TRUE(liveChildren().empty());
}

TEST_F(BigCatalogue, DroppingStreamsRightAwayLeavesNoChild)
{
    for (int i = 0; i < 4; ++i) {
        JetCatalogueStream stream(*s_path);
        EXPECT_EQ(stream.tableCount(), kBigTables);
        if (i % 2)
            stream.waitForColumns(0);
    }
    EXPECT_TRUE(liveChildren().empty());
}

TEST_F(BigCatalogue, ConnectingWaitsForTheWholeCatalogueOnlyWithoutStreaming)
{
    const ReaderTimeout timeout(60000);
    {
        const Streaming off(false);
        const Variant catalog = connect(*s_path);
        // Read whole and its reader gone before the connection is handed over.
        EXPECT_TRUE(noChildLeft());
        EXPECT_EQ(tableCount(catalog), kBigTables);
    }
    const Streaming on(true);
    Variant catalog;
    // Streamed, connecting only starts the reader; the list is there once asked for.
    const pid_t child = catchReader(
        [&] {
            catalog = connect(*s_path);
            WaitForJetCatalogueList(catalog);
        },
        [&] { catalog = Variant(); });
    ASSERT_GT(child, 0) << "connecting with streaming never returned before the reader was done";
    EXPECT_EQ(tableCount(catalog), kBigTables);
    EXPECT_EQ(tableAt(catalog, kBigTables - 1).get(QStringLiteral("Name")).toText(), QStringLiteral("Table%1").arg(kBigTables));
    // Dropping the last object of the connection ends the reader, stopped as it is.
    const auto start = std::chrono::steady_clock::now();
    catalog = Variant();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(processState(child), 0) << "the child is still there";
}

// A reader that dies half-way (as libmdb does on some damage) leaves the tables it sent whole and
// the rest refused; the catalogue is never reported complete.
TEST_F(BigCatalogue, AReaderKilledHalfWayIsAnIncompleteCatalogue)
{
    const ReaderTimeout timeout(60000);
    std::unique_ptr<JetCatalogueStream> stream;
    const pid_t child = openWithStoppedChild(stream);
    ASSERT_GT(child, 0) << "the reader always finished before it could be caught";
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    EXPECT_EQ(errorOf([&] { stream->waitComplete(); }), kCannotOpen);
    int firstRefused = -1;
    for (int i = 0; i < stream->tableCount(); ++i) {
        const std::int32_t error = errorOf([&] { stream->waitForColumns(i); });
        if (error == 0) {
            ASSERT_EQ(firstRefused, -1) << "table " << i << " arrived after a refused one";
            EXPECT_EQ(stream->table(i).columns.size(), kBigColumns) << "table " << i << " arrived torn";
        } else {
            EXPECT_EQ(error, kCannotOpen);
            if (firstRefused < 0)
                firstRefused = i;
        }
    }
    stream.reset();
    EXPECT_EQ(processState(child), 0);
}

// --- the child runner's cancel descriptor -------------------------------------------------------

class CancelPipe : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(::pipe(m_fds), 0); }
    void TearDown() override
    {
        for (int fd : m_fds)
            ::close(fd);
        EXPECT_TRUE(noChildLeft()) << "a child outlived the test";
    }
    void cancel() { ASSERT_EQ(::write(m_fds[1], "x", 1), 1); }

    int m_fds[2] = {-1, -1};
};

TEST_F(CancelPipe, AChildThatWouldRunOnEndsWhenAnotherThreadCancels)
{
    std::promise<void> started;
    std::future<void> startedSeen = started.get_future();
    bool told = false;
    std::thread canceller([&] {
        startedSeen.wait();
        cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    const ChildRunResult r = RunInChildProcess(
        [](int fd) {
            WriteAllToFd(fd, "up", 2);
            for (;;)
                ::pause();
        },
        60000, 100,
        [&](const QByteArray& received) -> qsizetype {
            if (!told && received.contains("up")) {
                told = true;
                started.set_value();
            }
            return 0;
        },
        m_fds[0]);
    canceller.join();
    EXPECT_EQ(r.status, ChildRunResult::Cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(CancelPipe, AChildThatKeepsWritingIsCancelledAllTheSame)
{
    std::thread canceller;
    bool told = false;
    const ChildRunResult r = RunInChildProcess(
        [](int fd) {
            const QByteArray block(512, 'x');
            while (WriteAllToFd(fd, block.constData(), block.size()))
                ::usleep(200);
        },
        60000, 1LL << 40,
        [&](const QByteArray& received) -> qsizetype {
            if (!told) {
                told = true;
                canceller = std::thread([this] { cancel(); });
            }
            return received.size();
        },
        m_fds[0]);
    if (canceller.joinable())
        canceller.join();
    EXPECT_EQ(r.status, ChildRunResult::Cancelled);
}

TEST_F(CancelPipe, AlreadyReadableBeforeTheStartCancelsAtOnce)
{
    cancel();
    const ChildRunResult r = RunInChildProcess(
        [](int) {
            for (;;)
                ::pause();
        },
        60000, 100, {}, m_fds[0]);
    EXPECT_EQ(r.status, ChildRunResult::Cancelled);
}

TEST_F(CancelPipe, AQuietDescriptorChangesNothing)
{
    const ChildRunResult ok = RunInChildProcess([](int fd) { WriteAllToFd(fd, "hello", 5); }, 5000, 100, {}, m_fds[0]);
    EXPECT_EQ(ok.status, ChildRunResult::Finished);
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.output, QByteArray("hello"));

    const ChildRunResult crashed = RunInChildProcess([](int) { std::raise(SIGSEGV); }, 5000, 100, {}, m_fds[0]);
    EXPECT_EQ(crashed.status, ChildRunResult::Crashed);

    const ChildRunResult failed = RunInChildProcess([](int) { throw 1; }, 5000, 100, {}, m_fds[0]);
    EXPECT_EQ(failed.status, ChildRunResult::Finished);
    EXPECT_NE(failed.exitCode, 0);
}

} // namespace

namespace {

// A file whose catalogue libmdb cannot read at all (it dies on it): streamed, connecting only
// starts the reader, and everything that needs the list refuses with the refused connection's error.
class UnreadableList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QByteArray bytes = jet::buildFile(jet::sampleDatabase());
        // The catalogue definition's owned-pages map then points nowhere.
        bytes[2 * 4096 + 55] = static_cast<char>(0xFF);
        m_path = m_dir.filePath(QStringLiteral("nolist.mdb"));
        ASSERT_TRUE(writeBytes(m_path, bytes));
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(UnreadableList, StreamedConnectionRefusesAtTheListAndIsNeverComplete)
{
    const ReaderTimeout timeout(5000);
    const Streaming on(true);
    Variant catalog;
    ASSERT_EQ(errorOf([&] { catalog = connect(m_path); }), 0);
    EXPECT_EQ(errorOf([&] { WaitForJetCatalogueList(catalog); }), kCannotOpen);
    const Variant tables = catalog.get(QStringLiteral("Tables"));
    EXPECT_EQ(errorOf([&] { tables.get(QStringLiteral("Count")); }), kCannotOpen);
    EXPECT_EQ(errorOf([&] { tables.get(QStringLiteral("Item"), {Variant(QStringLiteral("Customers"))}); }),
              kCannotOpen);
    EXPECT_EQ(errorOf([&] { CheckJetCatalogueComplete(catalog); }), kCannotOpen);
    // Without streaming the same file is refused at once.
    const Streaming off(false);
    EXPECT_EQ(errorOf([&] { connect(m_path); }), kCannotOpen);
}

TEST_F(UnreadableList, CommandLineGivesTheReadersErrorWhateverTheTablesAskedFor)
{
    const ReaderTimeout timeout(5000);
    // A named table would otherwise be "not found" in a list that never came.
    for (const QStringList& options : {QStringList(), QStringList{QStringLiteral("--table"), QStringLiteral("Customers")}}) {
        const CommandRun run = runCommand(options + QStringList{m_path});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith(cannotOpenMessage(m_path))) << run.err.toStdString();
    }
}

} // namespace
