// The Access reader program on real files: a table definition libmdb cannot read anywhere in the
// file refuses the whole connection (never a short catalogue), the command line then prints the
// error and no report, and a good file gives the same report through the command line as through
// the window's path; the catalogue's order and every column field as written.
#include "Automation.h"
#include "CommandRuns.h"
#include "ConnectionSettings.h"
#include "JetCatalogReader.h"
#include "KorvADOXConnection.h"
#include "KorvConnection.h"
#include "ReportLines.h"
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
#include <ostream>
#include <random>
#include <tuple>

namespace {

constexpr std::int32_t kCannotOpen = 5003049;
constexpr qsizetype kPageSize = 4096; // Jet 4

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
template <typename Body> std::int32_t errorOf(Body&& body)
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

// Every table as the automation objects show it: "name (type): column|type|size|precision|scale, ...".
QStringList walk(const Variant& catalog)
{
    QStringList out;
    const Variant tables = catalog.get(QStringLiteral("Tables"));
    for (int i = 0, n = tables.get(QStringLiteral("Count")).toInt(); i < n; ++i) {
        const Variant table = tables.get(QStringLiteral("Item"), {Variant(i)});
        const Variant columns = table.get(QStringLiteral("Columns"));
        QStringList cols;
        for (int c = 0, m = columns.get(QStringLiteral("Count")).toInt(); c < m; ++c) {
            const Variant col = columns.get(QStringLiteral("Item"), {Variant(c)});
            cols << QStringLiteral("%1|%2|%3|%4|%5")
                        .arg(col.get(QStringLiteral("Name")).toText())
                        .arg(col.get(QStringLiteral("Type")).toInt())
                        .arg(col.get(QStringLiteral("DefinedSize")).toInt())
                        .arg(col.get(QStringLiteral("Precision")).toInt())
                        .arg(col.get(QStringLiteral("NumericScale")).toInt());
        }
        out << QStringLiteral("%1 (%2): %3")
                   .arg(table.get(QStringLiteral("Name")).toText(),
                        table.get(QStringLiteral("Type")).toText(), cols.join(QStringLiteral(", ")));
    }
    return out;
}

// The command line's complaint about path, and nothing else.
bool onlyCannotOpen(const QByteArray& err, const QString& path)
{
    const QByteArray start = QStringLiteral("5003049: Cannot open database '%1'.")
                                 .arg(QFileInfo(path).absoluteFilePath())
                                 .toUtf8();
    return err.startsWith(start) && err.endsWith('\n') && err.count('\n') == 1;
}

// --- a file with one damaged table definition ---------------------------------------------------

// Damage to one table's definition page that leaves the catalogue (MSysObjects) readable, so only
// reading that one table fails.
struct Damage
{
    const char* label;
    int offset; // in the definition page
    QByteArray bytes;
};

const Damage kDamages[] = {
    // A data page's type byte where the definition's 0x02 belongs.
    {"NotADefinitionPage", 0, QByteArray("\x01", 1)},
    // The column count (bytes 45-46) far beyond the one column the definition holds.
    {"ColumnCountBeyondTheDefinition", 45, QByteArray("\xff\x0f", 2)},
};

// Where the damaged table falls in the catalogue's order: first, among the others, last but one.
const char* const kBrokenNames[] = {"Aa_Broken", "Nn_Broken", "Zz_Broken"};

const QString kMarker = QStringLiteral("DamageMarker");

class DamagedTable : public ::testing::TestWithParam<std::tuple<Damage, const char*>>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        jet::Database db = jet::sampleDatabase();
        db.tables.append(jet::Table{QString::fromLatin1(std::get<1>(GetParam())),
                                    {jet::makeColumn(kMarker, jet::ColumnType::Long)}});
        db.tables.append(jet::Table{QStringLiteral("Zzz_After"),
                                    {jet::makeColumn(QStringLiteral("Tail"), jet::ColumnType::Text, 12)}});
        const QByteArray good = jet::buildFile(db);

        // The definition page is the one holding the marker column's name (UTF-16LE, stored once).
        const QByteArray needle(reinterpret_cast<const char*>(kMarker.utf16()), kMarker.size() * 2);
        const qsizetype at = good.indexOf(needle);
        ASSERT_GE(at, 0);
        ASSERT_EQ(good.indexOf(needle, at + 1), -1);
        const qsizetype page = at / kPageSize;
        ASSERT_GT(page, 2) << "page 2 is the catalogue's own definition";
        ASSERT_EQ(good.at(page * kPageSize), '\x02');
        QByteArray damaged = good;
        const Damage& damage = std::get<0>(GetParam());
        damaged.replace(page * kPageSize + damage.offset, damage.bytes.size(), damage.bytes);
        ASSERT_EQ(damaged.size(), good.size());

        m_good = m_dir.filePath(QStringLiteral("good.mdb"));
        m_damaged = m_dir.filePath(QStringLiteral("damaged.mdb"));
        ASSERT_TRUE(writeBytes(m_good, good));
        ASSERT_TRUE(writeBytes(m_damaged, damaged));
    }

    QTemporaryDir m_dir;
    QString m_good;
    QString m_damaged;
};

TEST_P(DamagedTable, RefusesTheConnectionAndKeepsTheEarlierOne)
{
    // The reader itself fails on the damage, and only on it: the undamaged twin reads whole.
    EXPECT_EQ(errorOf([&] { ReadJetCatalogue(m_good); }), 0);
    EXPECT_EQ(errorOf([&] { ReadJetCatalogue(m_damaged); }), kCannotOpen);

    Variant catalog = connect(m_good);
    const QStringList before = walk(catalog);
    EXPECT_EQ(errorOf([&] {
                  catalog.put(QStringLiteral("ActiveConnection"), Variant(connectionString(m_damaged)));
              }),
              kCannotOpen);
    EXPECT_EQ(catalog.get(QStringLiteral("ActiveConnection")).toText(), connectionString(m_good));
    EXPECT_EQ(walk(catalog), before);
    EXPECT_EQ(errorOf([&] { connect(m_damaged); }), kCannotOpen);
}

TEST_P(DamagedTable, TheCommandLinePrintsOnlyTheErrorAndNoReport)
{
    const CommandRun run = RunCommandInProcess({m_damaged});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.left(400).toStdString();
    EXPECT_TRUE(onlyCannotOpen(run.err, m_damaged)) << run.err.toStdString();
}

TEST_P(DamagedTable, TheCommandLineKeepsAnOutputFileAndMakesNone)
{
    const QString output = m_dir.filePath(QStringLiteral("report.txt"));
    const QByteArray old("an earlier report\n");
    ASSERT_TRUE(writeBytes(output, old));
    const CommandRun run = RunCommandInProcess({QStringLiteral("--output"), output, m_damaged});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(onlyCannotOpen(run.err, m_damaged)) << run.err.toStdString();
    EXPECT_EQ(readBytes(output), old);

    EXPECT_EQ(RunCommandInProcess(
                  {QStringLiteral("--output=") + m_dir.filePath(QStringLiteral("new.txt")), m_damaged})
                  .exitCode,
              1);
    QStringList files = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, QStringList({QStringLiteral("damaged.mdb"), QStringLiteral("good.mdb"),
                                  QStringLiteral("report.txt")}));

    // The good twin does replace it: the refusal above was the damage's.
    EXPECT_EQ(RunCommandInProcess({QStringLiteral("--output"), output, m_good}).exitCode, 0);
    EXPECT_NE(readBytes(output), old);
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedTable,
                         ::testing::Combine(::testing::ValuesIn(kDamages), ::testing::ValuesIn(kBrokenNames)),
                         [](const ::testing::TestParamInfo<std::tuple<Damage, const char*>>& p) {
                             return std::string(std::get<0>(p.param).label) + "_" + std::get<1>(p.param);
                         });

// A file whose catalogue libmdb cannot read at all: the catalogue definition's owned-pages map
// points nowhere. A named table must not turn that into "not found".
TEST(UnreadableList, IsRefusedWithTheReadersErrorWhateverTheTablesAskedFor)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray bytes = jet::buildFile(jet::sampleDatabase());
    bytes[2 * kPageSize + 55] = static_cast<char>(0xFF);
    const QString path = dir.filePath(QStringLiteral("nolist.mdb"));
    ASSERT_TRUE(writeBytes(path, bytes));

    EXPECT_EQ(errorOf([&] { connect(path); }), kCannotOpen);
    for (const QStringList& options :
         {QStringList(), QStringList{QStringLiteral("--table"), QStringLiteral("Customers")}}) {
        const CommandRun run = RunCommandInProcess(options + QStringList{path});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(onlyCannotOpen(run.err, path)) << run.err.toStdString();
    }
}

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
    const QStringList alphabet = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"),
                                  QStringLiteral("Z"), QStringLiteral("_"), QStringLiteral("["),
                                  QStringLiteral("0"), QStringLiteral(" "), QStringLiteral("é"),
                                  QStringLiteral("É"), QStringLiteral("ß"), QStringLiteral("ſ"),
                                  QStringLiteral("s"), QStringLiteral("S"), QStringLiteral("µ"),
                                  QStringLiteral("Μ"), QStringLiteral("ς"), QStringLiteral("Σ"),
                                  QStringLiteral("ı"), QStringLiteral("İ"), QStringLiteral("\U0001D504")};
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

// Names that stress the order: mixed case, beyond ASCII, and pairs equal without regard to case
// (as Qt folds) that the file still tells apart, in both orders.
jet::Database awkwardNames()
{
    const QStringList stems = {QStringLiteral("alpha"),  QStringLiteral("Beta"),   QStringLiteral("GAMMA"),
                               QStringLiteral("delta_"), QStringLiteral("Äpfel"),  QStringLiteral("öl"),
                               QStringLiteral("éclair"), QStringLiteral("Straße"), QStringLiteral("Zürich"),
                               QStringLiteral("_under"), QStringLiteral("[br]"),   QStringLiteral("Ωmega"),
                               QStringLiteral("日本"),   QStringLiteral("Teſt"),   QStringLiteral("Test"),
                               QStringLiteral("µ-unit"), QStringLiteral("μ-unit"), QStringLiteral("ϐeta"),
                               QStringLiteral("βeta"),   QStringLiteral("σigma"),  QStringLiteral("ςigma"),
                               QStringLiteral("zulu"),   QStringLiteral("Z"),      QStringLiteral("a b")};
    const QStringList suffixes = {
        QString(),           QStringLiteral("1"), QStringLiteral("_2"),  QStringLiteral(" 3"),
        QStringLiteral("Ä"), QStringLiteral("a"), QStringLiteral("B"),   QStringLiteral("10"),
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
            for (int c = 0; c < 1 + n % 4; ++c) {
                t.columns.append(
                    c % 2 ? jet::makeColumn(QStringLiteral("Wert_%1_ü").arg(c), jet::ColumnType::Long)
                          : jet::makeColumn(QStringLiteral("Col%1").arg(c), jet::ColumnType::Text,
                                            1 + (n + c) % 60));
            }
            db.tables.append(t);
            ++n;
        }
    }
    return db;
}

TEST(CatalogueOrder, IsTheFilesOrderSortedStablyAsQtComparesWithoutRegardToCase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const jet::Database db = awkwardNames();
    const QString path = dir.filePath(QStringLiteral("names.mdb"));
    jet::writeFile(path, db);
    QStringList expected;
    for (const jet::Table& t : db.tables)
        expected << t.name;
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QStringList listed;
    for (const JetTableInfo& t : ReadJetCatalogue(path).tables)
        listed << t.name;
    EXPECT_EQ(listed, expected);
    // The provider hands out the same order.
    const Variant tables = connect(path).get(QStringLiteral("Tables"));
    QStringList provided;
    for (int i = 0; i < tables.get(QStringLiteral("Count")).toInt(); ++i)
        provided << tables.get(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Name")).toText();
    EXPECT_EQ(provided, expected);
}

// --- what arrives from good files ---------------------------------------------------------------

TEST(CatalogueColumns, EveryFieldArrivesAsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    jet::Database db;
    db.withSystemTables = false;
    for (int t = 0; t < 120; ++t) {
        jet::Table table;
        table.name = QStringLiteral("T%1_%2")
                         .arg(t, 4, 10, QLatin1Char('0'))
                         .arg(t % 7 ? QStringLiteral("x") : QStringLiteral("ä"));
        jet::Column id = jet::makeColumn(QStringLiteral("Id"), jet::ColumnType::Long);
        id.autoNumber = t % 2 == 0;
        table.columns.append(id);
        for (int c = 0; c < 1 + t % 9; ++c) {
            jet::Column text =
                jet::makeColumn(QStringLiteral("Text_%1%2").arg(c).arg(QString(c, QChar(0x00E9 + c))),
                                jet::ColumnType::Text, 1 + (t * 7 + c) % 255);
            text.fixed = (t + c) % 5 == 0;
            table.columns.append(text);
        }
        jet::Column money = jet::makeColumn(QStringLiteral("Betrag"), jet::ColumnType::Numeric);
        money.precision = 1 + t % 28;
        money.scale = t % (money.precision + 1);
        table.columns.append(money);
        jet::Column guid = jet::makeColumn(QStringLiteral("G"), jet::ColumnType::RepId);
        guid.autoNumber = t % 3 == 0;
        table.columns.append(guid);
        db.tables.append(table);
    }
    const QString path = dir.filePath(QStringLiteral("columns.mdb"));
    jet::writeFile(path, db);

    const JetCatalogue catalogue = ReadJetCatalogue(path);
    ASSERT_EQ(catalogue.tables.size(), db.tables.size());
    int mismatches = 0;
    for (qsizetype i = 0; i < db.tables.size(); ++i) {
        const jet::Table& want = db.tables.at(i);
        const JetTableInfo& got = catalogue.tables.at(i);
        ASSERT_EQ(got.name, want.name);
        ASSERT_EQ(got.columns.size(), want.columns.size()) << got.name.toStdString();
        for (qsizetype c = 0; c < want.columns.size() && mismatches < 10; ++c) {
            const jet::Column& w = want.columns.at(c);
            const JetColumnInfo& g = got.columns.at(c);
            const bool text = w.type == jet::ColumnType::Text;
            const bool numeric = w.type == jet::ColumnType::Numeric;
            const bool same = g.name == w.name && g.jetType == int(w.type) &&
                              (!text || (g.size == 2 * w.length && g.fixed == w.fixed)) &&
                              g.autoLong == (w.type == jet::ColumnType::Long && w.autoNumber) &&
                              g.autoGuid == (w.type == jet::ColumnType::RepId && w.autoNumber) &&
                              (!numeric || (g.precision == w.precision && g.scale == w.scale));
            if (!same) {
                ++mismatches;
                ADD_FAILURE() << want.name.toStdString() << " column " << c << ": got "
                              << g.name.toStdString() << " type " << int(g.jetType) << " size " << g.size
                              << " fixed " << g.fixed << " auto " << g.autoLong << g.autoGuid << " precision "
                              << int(g.precision) << " scale " << int(g.scale);
            }
        }
    }
}

TEST(CatalogueColumns, AnEmptyCatalogueIsNoError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    jet::Database db;
    db.withSystemTables = false;
    const QString path = dir.filePath(QStringLiteral("empty.mdb"));
    jet::writeFile(path, db);
    EXPECT_TRUE(ReadJetCatalogue(path).tables.isEmpty());
    EXPECT_EQ(connect(path).get(QStringLiteral("Tables")).get(QStringLiteral("Count")).toInt(), 0);
}

jet::Database sampleWithEveryType()
{
    jet::Database db = jet::sampleDatabase();
    db.tables.append(jet::everyTypeTable());
    return db;
}

// With the system tables, which the command line's system-table query needs.
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
};

// The window's path: the facade on a connection, the table list with every entry checked.
QByteArray reportThroughTheFacade(const QString& path)
{
    TConnectionProperties props;
    props.Database = QFileInfo(path).absoluteFilePath();
    const QString cs = BuildAccessConnectionString(props);
    TKorvConnection connection;
    connection.SetConnectionType(ctADOX);
    connection.Open(cs);
    if (!connection.ADOXConnection ||
        (connection.ADOXConnection->ErrorItem && connection.ADOXConnection->ErrorItem->Number != 0))
        return {};
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
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    {
        TDeviceLineSink sink(buffer);
        TReportRunHooks hooks;
        RunStructureReport(connection, settings, reportEntries, sink, hooks);
    }
    return text;
}

TEST_P(GoodFiles, TheCommandLineReportIsTheFacadesReport)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const jet::Database db = GetParam().make();
    const QString path = dir.filePath(QStringLiteral("good.mdb"));
    jet::writeFile(path, db);

    const CommandRun run = RunCommandInProcess({path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    QList<QByteArray> cli = run.out.split('\n');
    QList<QByteArray> window = reportThroughTheFacade(path).split('\n');
    ASSERT_GT(cli.size(), 5);
    ASSERT_GT(window.size(), 5);
    // Line 5 holds the date and time of the run.
    cli.removeAt(4);
    window.removeAt(4);
    EXPECT_TRUE(cli == window)
        << "first difference at line "
        << std::distance(cli.begin(),
                         std::mismatch(cli.begin(), cli.end(), window.begin(), window.end()).first);
    EXPECT_GE(cli.size(), db.tables.size());
}

INSTANTIATE_TEST_SUITE_P(Files, GoodFiles,
                         ::testing::Values(GoodFile{"Sample", &sampleWithEveryType},
                                           GoodFile{"AwkwardNames", &awkwardNamesWithSystemTables}),
                         [](const ::testing::TestParamInfo<GoodFile>& p) {
                             return std::string(p.param.label);
                         });

} // namespace
