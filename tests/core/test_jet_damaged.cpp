// Damaged and hostile files: whatever the bytes, opening them through the Access provider ends in
// an error or a usable catalogue, never a crash or a hang of the program.
#include "Automation.h"
#include "CatalogueSource.h"
#include "HelperProcess.h"
#include "JetCatalogReader.h"
#include "JetReaderFormat.h"

#include "JetWriter.h"

#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <random>
#include <sys/wait.h>

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
        // The whole model too: saved queries are rebuilt from whatever their rows say.
        if (auto* source = dynamic_cast<TCatalogueSource*>(catalog.objectPtr().get())) {
            for (const TCatalogueObject& o : source->StructureModel()->objects)
                o.definition.size();
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

// The data page of MSysQueries (the one that holds a union's parts) damaged byte by byte: the
// reader fails or the queries come without SQL, never anything worse.
TEST_F(DamagedFiles, DamagedQueryRows)
{
    const QByteArray marker = QByteArray("X\0007\000Y\000Z\000_\000", 10);
    qsizetype page = -1;
    for (qsizetype at = 3 * 4096; at + 4096 <= s_original->size() && page < 0; at += 4096) {
        if (s_original->at(at) == 0x01 && s_original->mid(at, 4096).contains(marker))
            page = at;
    }
    ASSERT_GE(page, 0) << "no page holds the queries' rows";
    std::mt19937 random(31);
    std::uniform_int_distribution<int> offset(14, 4095);
    for (int round = 0; round < 40; ++round) {
        QByteArray bytes = *s_original;
        for (int i = 0; i < 1 + round % 8; ++i) {
            const qsizetype at = page + offset(random);
            bytes[at] = static_cast<char>(bytes[at] ^ (0x11 << (i % 4)));
        }
        SCOPED_TRACE(round);
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

// True when this process has no child at all, running or waiting to be reaped.
bool noChildLeft()
{
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// --- the helper runner, on shell scripts ---------------------------------------------------------

struct HelperCase
{
    const char* label;
    const char* script; // run by /bin/sh -c, with "one two" and "ü" as $1 and $2
    QByteArray input;
    int timeoutMs;
    qint64 maxOutput;
    HelperRunResult::Status status;
    int exitCode;      // checked when Finished
    QByteArray output; // checked when Finished
};

void PrintTo(const HelperCase& c, std::ostream* os)
{
    *os << c.label;
}

// Generous wherever the script ends on its own, so a busy machine changes nothing.
constexpr int kAmple = 20000;
constexpr int kShort = 300;

class HelperRun : public ::testing::TestWithParam<HelperCase>
{
};

TEST_P(HelperRun, EndsInAStatusAndLeavesNoChild)
{
    const HelperCase& c = GetParam();
    const HelperRunResult r =
        RunHelperProgram(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), QString::fromUtf8(c.script), QStringLiteral("sh"),
                          QStringLiteral("one two"), QStringLiteral("ü")},
                         c.input, c.timeoutMs, c.maxOutput);
    EXPECT_EQ(r.status, c.status);
    if (c.status == HelperRunResult::Finished) {
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.output, c.output);
    }
    EXPECT_TRUE(noChildLeft()) << "the helper was not reaped";
}

const QByteArray kBigInput(1 << 20, 'i'); // far beyond what a pipe holds

INSTANTIATE_TEST_SUITE_P(
    Scripts, HelperRun,
    ::testing::Values(
        HelperCase{"OutputAndExitCode",
                   "printf hello; exit 3",
                   {},
                   kAmple,
                   100,
                   HelperRunResult::Finished,
                   3,
                   "hello"},
        HelperCase{"ArgumentsArriveUnsplit",
                   "printf '[%s]' \"$@\"",
                   {},
                   kAmple,
                   100,
                   HelperRunResult::Finished,
                   0,
                   "[one two][\xC3\xBC]"},
        HelperCase{"StandardErrorIsNotOutput",
                   "echo noise >&2; printf out",
                   {},
                   kAmple,
                   100,
                   HelperRunResult::Finished,
                   0,
                   "out"},
        HelperCase{"InputReachesStandardInput", "exec cat", "secret\nSELECT 1\n", kAmple, 100,
                   HelperRunResult::Finished, 0, "secret\nSELECT 1\n"},
        // Written while the output is read, or helper and caller would wait for each other.
        HelperCase{"InputLargerThanAPipe", "exec cat", kBigInput, kAmple, 2 << 20, HelperRunResult::Finished,
                   0, kBigInput},
        HelperCase{"NoInputIsAnEndAtOnce", "exec cat", {}, kAmple, 100, HelperRunResult::Finished, 0, {}},
        HelperCase{
            "Crash", "printf partial; kill -SEGV $$", {}, kAmple, 100, HelperRunResult::Crashed, 0, {}},
        HelperCase{"Hang", "exec sleep 60", {}, kShort, 100, HelperRunResult::TimedOut, 0, {}},
        HelperCase{"HangAfterClosingItsOutput",
                   "exec >&-; exec sleep 60",
                   {},
                   kShort,
                   100,
                   HelperRunResult::TimedOut,
                   0,
                   {}},
        HelperCase{"Flood", "exec cat /dev/zero", {}, kAmple, 10000, HelperRunResult::TooMuchData, 0, {}}),
    [](const ::testing::TestParamInfo<HelperCase>& p) { return std::string(p.param.label); });

// A helper that ends without reading its input (a reader that fails to start) must cost only
// itself: the write to its closed pipe must not end this process with SIGPIPE.
TEST(HelperInput, AHelperThatEndsWithoutReadingItsInputCostsOnlyItself)
{
    const HelperRunResult r = RunHelperProgram(
        QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 4")}, kBigInput, kAmple, 100);
    EXPECT_EQ(r.status, HelperRunResult::Finished);
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_TRUE(noChildLeft());
}

TEST(HelperStart, AProgramThatCannotBeStartedSaysSo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath(QStringLiteral("not-a-program"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    for (const QString& program : {dir.filePath(QStringLiteral("missing")), plain}) {
        SCOPED_TRACE(program.toStdString());
        EXPECT_EQ(RunHelperProgram(program, {}, QByteArrayLiteral("x\n"), kAmple, 100).status,
                  HelperRunResult::StartFailed);
    }
    EXPECT_TRUE(noChildLeft());
}

// --- a fake reader: whatever it sends, the caller gets its error or 3049, never a crash -----------

// A reader's message, built field by field.
struct Message
{
    QByteArray bytes;
    Message& u32(std::uint32_t v)
    {
        bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
        return *this;
    }
    Message& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    Message& str(const QByteArray& s) { return u32(std::uint32_t(s.size())).raw(s); }
    Message& raw(const QByteArray& s)
    {
        bytes += s;
        return *this;
    }
};

Message opening()
{
    return Message().u32(jetreader::kJetReaderMagic).u32(jetreader::kJetReaderVersion);
}

// One table "Orders" (Id 5) with one column "Id" (Long, autonumber) and its primary key.
Message withTable(Message m, std::int32_t type = 4, std::uint32_t columns = 1, std::uint32_t indexes = 1,
                  std::uint32_t keyColumns = 1)
{
    m.u32(jetreader::kTagTable).str("Orders").i32(5).i32(0).str("").u32(0).u32(columns);
    m.str("Id").i32(type).i32(4).i32(jetreader::kColumnFixed | jetreader::kColumnAutoLong).i32(0).i32(0);
    m.str("").str("").str("").u32(0);
    m.u32(indexes).str("PrimaryKey").i32(jetreader::kIndexPrimary | jetreader::kIndexUnique).u32(keyColumns);
    return m.str("Id").i32(0);
}

// A link "Linked" to the table Orders of another file.
Message withLink(Message m, std::int32_t type = jetreader::kLinkJet)
{
    m.u32(jetreader::kTagLink).str("Linked").i32(7).i32(type).i32(0);
    return m.str("Orders").str("C:\\b.mdb").str(";PWD=x");
}

// The relationship "OrdersLinked" from Linked.Id to Orders.Id.
Message withRelation(Message m)
{
    m.u32(jetreader::kTagRelation).str("OrdersLinked").str("Linked").str("Id").str("Orders").str("Id");
    return m.i32(0).i32(jetreader::kRelationCascadeDeletes);
}

// The system-table statement's answer: field "Name", one row.
Message withSystemAnswer(Message m, std::uint32_t fields = 1)
{
    return m.u32(jetreader::kTagColumns).u32(fields).str("Name").u32(jetreader::kTagRow).str("MSysObjects");
}

Message withError(Message m, std::int32_t number, const QByteArray& text)
{
    return m.u32(jetreader::kTagError).i32(number).str(text);
}

Message withEnd(Message m, std::uint32_t count)
{
    return m.u32(jetreader::kTagEnd).u32(count);
}

// A query result: one column "x", one row "1".
Message withResult(Message m, std::uint32_t columns = 1, std::uint32_t rowTag = jetreader::kTagRow)
{
    return m.u32(jetreader::kTagColumns).u32(columns).str("x").u32(rowTag).str("1");
}

const QByteArray kGoodCatalogue = withEnd(withTable(opening()), 1).bytes;
const QByteArray kGoodQuery = withEnd(withResult(opening()), 1).bytes;

struct FakeCase
{
    const char* label;
    bool query;         // RunJetQuery, else ReadJetCatalogue
    QByteArray output;  // what the fake writes
    const char* ending; // shell commands after writing
    std::int32_t error; // help context expected, 0: read
    const char* text;   // its description, when given
};

void PrintTo(const FakeCase& c, std::ostream* os)
{
    *os << c.label;
}

// Sets the reader program to a script that records its arguments and input beside itself and
// writes output; puts the real reader back afterwards.
class FakeReader
{
public:
    FakeReader(const QByteArray& output, const char* ending) : m_old(JetReaderProgram())
    {
        const QString script = m_dir.filePath(QStringLiteral("reader"));
        QFile out(script + QStringLiteral(".out"));
        QFile f(script);
        m_ok = m_dir.isValid() && out.open(QIODevice::WriteOnly) && out.write(output) == output.size() &&
               f.open(QIODevice::WriteOnly) &&
               f.write(QByteArrayLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\ncat > \"$0.in\"\n"
                                         "cat \"$0.out\"\n") +
                       ending + '\n') > 0 &&
               f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        f.close();
        SetJetReaderProgram(script);
    }
    ~FakeReader() { SetJetReaderProgram(m_old); }
    FakeReader(const FakeReader&) = delete;
    FakeReader& operator=(const FakeReader&) = delete;

    bool ok() const { return m_ok; }
    QByteArray recorded(const char* what) const
    {
        QFile f(m_dir.filePath(QStringLiteral("reader.") + QLatin1String(what)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_old;
    bool m_ok = false;
};

// The help context and text of what reading through the fake throws; 0 when it reads.
std::int32_t readThrough(bool query, QString* text = nullptr)
{
    const QString file = QStringLiteral("/nonexistent/fake.mdb");
    try {
        if (query)
            RunJetQuery(file, QStringLiteral("SELECT * FROM MSysObjects"));
        else
            ReadJetCatalogue(file, QStringLiteral("pw"));
    } catch (const AutomationError& e) {
        if (text)
            *text = e.description();
        return e.helpContext();
    }
    return 0;
}

class FakeReaderOutput : public ::testing::TestWithParam<FakeCase>
{
protected:
    static void SetUpTestSuite()
    {
        s_oldTimeout = JetReaderTimeout();
        SetJetReaderTimeout(kAmple);
    }
    static void TearDownTestSuite() { SetJetReaderTimeout(s_oldTimeout); }
    static int s_oldTimeout;
};
int FakeReaderOutput::s_oldTimeout = 0;

TEST_P(FakeReaderOutput, GivesTheReportedErrorOrCannotOpen)
{
    const FakeCase& c = GetParam();
    const FakeReader fake(c.output, c.ending);
    ASSERT_TRUE(fake.ok());
    QString text;
    EXPECT_EQ(readThrough(c.query, &text), c.error);
    if (c.text) {
        EXPECT_EQ(text, QString::fromUtf8(c.text));
    }
    EXPECT_TRUE(noChildLeft());
}

constexpr std::int32_t kDamaged = 5003049;

INSTANTIATE_TEST_SUITE_P(
    Messages, FakeReaderOutput,
    ::testing::Values(
        FakeCase{"Catalogue", false, kGoodCatalogue, "exit 0", 0, nullptr},
        FakeCase{"Query", true, kGoodQuery, "exit 0", 0, nullptr},
        FakeCase{"CatalogueWithALink", false, withEnd(withLink(withTable(opening())), 2).bytes, "exit 0", 0,
                 nullptr},
        FakeCase{"CatalogueWithEverything", false,
                 withEnd(withSystemAnswer(withRelation(withLink(withTable(opening())))), 4).bytes, "exit 0",
                 0, nullptr},
        FakeCase{"SystemAnswerBeforeATable", false, withEnd(withTable(withSystemAnswer(opening())), 2).bytes,
                 "exit 0", kDamaged, nullptr},
        FakeCase{"TwoSystemAnswers", false, withEnd(withSystemAnswer(withSystemAnswer(opening())), 2).bytes,
                 "exit 0", kDamaged, nullptr},
        FakeCase{"SystemAnswerFieldCountBeyondTheMessage", false,
                 withEnd(withSystemAnswer(opening(), 0xFFFFFFF), 1).bytes, "exit 0", kDamaged, nullptr},
        FakeCase{"RowOutsideAnAnswer", false, withEnd(opening().u32(jetreader::kTagRow).str("x"), 1).bytes,
                 "exit 0", kDamaged, nullptr},
        FakeCase{"IndexCountBeyondTheMessage", false,
                 withEnd(withTable(opening(), 4, 1, 0x7FFFFFFF), 1).bytes, "exit 0", kDamaged, nullptr},
        FakeCase{"KeyColumnCountBeyondTheMessage", false,
                 withEnd(withTable(opening(), 4, 1, 1, 0xFFFFFFFF), 1).bytes, "exit 0", kDamaged, nullptr},
        FakeCase{"RelationTorn", false, withRelation(opening()).bytes.chopped(3), "exit 0", kDamaged,
                 nullptr},
        FakeCase{"LinkOfAnotherType", false, withEnd(withLink(opening(), 5), 1).bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{"LinkTorn", false, withLink(opening()).bytes.chopped(2), "exit 0", kDamaged, nullptr},
        FakeCase{"WrongMagic", false, withEnd(Message().u32(0x12345678).u32(1), 0).bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{
            "WrongVersion", false,
            withEnd(Message().u32(jetreader::kJetReaderMagic).u32(jetreader::kJetReaderVersion + 1), 0).bytes,
            "exit 0", kDamaged, nullptr},
        FakeCase{"EndCountTooHigh", false, withEnd(withTable(opening()), 2).bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{"EndCountTooLow", false, withEnd(withTable(opening()), 0).bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{"RowCountDisagrees", true, withEnd(withResult(opening()), 0).bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{"BytesAfterTheEnd", false, kGoodCatalogue + "x", "exit 0", kDamaged, nullptr},
        FakeCase{"UnknownTag", false, withEnd(opening().u32(0x3F3F3F3F), 0).bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{"RowOfAnotherTag", true, withEnd(withResult(opening(), 1, jetreader::kTagTable), 1).bytes,
                 "exit 0", kDamaged, nullptr},
        FakeCase{"TypeBeyondAByte", false, withEnd(withTable(opening(), 300), 1).bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{"ColumnCountBeyondTheMessage", false, withEnd(withTable(opening(), 4, 0xFFFFFFFF), 1).bytes,
                 "exit 0", kDamaged, nullptr},
        FakeCase{"QueryColumnCountBeyondTheMessage", true,
                 withEnd(withResult(opening(), 0xFFFFFFFF), 1).bytes, "exit 0", kDamaged, nullptr},
        FakeCase{"StringBeyondTheMessage", false,
                 opening().u32(jetreader::kTagTable).u32(0x7FFFFFFF).raw("Or").bytes, "exit 0", kDamaged,
                 nullptr},
        FakeCase{"ReportedPasswordError", false, withError(opening(), 3031, "Not a valid password.").bytes,
                 "exit 1", 5003031, "Not a valid password."},
        FakeCase{"ReportedPasswordErrorOnAQuery", true,
                 withError(opening(), 3031, "Not a valid password.").bytes, "exit 1", 5003031,
                 "Not a valid password."},
        FakeCase{"ReportedSyntaxErrorWithoutText", true, withError(opening(), 3075, {}).bytes, "exit 1",
                 5003075, "Syntax error in query."},
        FakeCase{"ReportedCannotOpen", false, withError(opening(), 3049, "anything").bytes, "exit 1",
                 kDamaged, nullptr},
        FakeCase{"ReportedErrorTorn", false,
                 opening().u32(jetreader::kTagError).i32(3031).u32(40).raw("Not").bytes, "exit 1", kDamaged,
                 nullptr},
        // Found by the fuzz driver: a forged number overflowed the help context it becomes.
        FakeCase{"ReportedNumberBeyondJets", false, withError(opening(), 2147483647, "x").bytes, "exit 1",
                 kDamaged, nullptr},
        FakeCase{"ReportedNegativeNumber", true, withError(opening(), -5000000, "x").bytes, "exit 1",
                 kDamaged, nullptr},
        FakeCase{"WholeButAnUnknownExitCode", false, kGoodCatalogue, "exit 3", kDamaged, nullptr},
        FakeCase{"WholeThenCrashed", false, kGoodCatalogue, "kill -SEGV $$", kDamaged, nullptr},
        FakeCase{"NothingAtAll", false, {}, "exit 0", kDamaged, nullptr}),
    [](const ::testing::TestParamInfo<FakeCase>& p) { return std::string(p.param.label); });

// A reader that dies half-way leaves a torn message: cut anywhere, it is never taken as read.
class TornMessage : public ::testing::TestWithParam<bool>
{
};

TEST_P(TornMessage, IsCannotOpenWhereverItIsCut)
{
    const QByteArray whole = GetParam() ? kGoodQuery : kGoodCatalogue;
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        const FakeReader fake(whole.left(cut), "exit 0");
        ASSERT_TRUE(fake.ok());
        EXPECT_EQ(readThrough(GetParam()), kDamaged) << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, TornMessage, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "Query" : "Catalogue";
                         });

TEST(FakeReader, AHangingReaderIsCannotOpenAndIsEnded)
{
    const int old = JetReaderTimeout();
    SetJetReaderTimeout(kShort);
    {
        const FakeReader fake(kGoodCatalogue.left(12), "exec sleep 60");
        ASSERT_TRUE(fake.ok());
        EXPECT_EQ(readThrough(false), kDamaged);
    }
    SetJetReaderTimeout(old);
    EXPECT_TRUE(noChildLeft());
}

TEST(FakeReader, ThePasswordTravelsOnStandardInputOnly)
{
    const FakeReader fake(kGoodCatalogue, "exit 0");
    ASSERT_TRUE(fake.ok());
    const JetCatalogue catalogue =
        ReadJetCatalogue(QStringLiteral("/nonexistent/fake.mdb"), QStringLiteral("Geh€im"));
    ASSERT_EQ(catalogue.tables.size(), 1);
    ASSERT_EQ(catalogue.tables.at(0).columns.size(), 1);
    const JetColumnInfo& id = catalogue.tables.at(0).columns.at(0);
    EXPECT_EQ(id.name, QStringLiteral("Id"));
    EXPECT_TRUE(id.fixed && id.autoLong && !id.autoGuid);
    EXPECT_EQ(fake.recorded("in"), QByteArray("Geh\xE2\x82\xACim\n"));
    EXPECT_FALSE(fake.recorded("args").contains("Geh")) << fake.recorded("args").toStdString();
    EXPECT_TRUE(fake.recorded("args").startsWith("catalogue\n/nonexistent/fake.mdb\n"));
}

} // namespace
