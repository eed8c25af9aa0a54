// The Jet writer's files, judged by a reader that is not ours: mdbtools' command-line tools.
// The header password is decoded here with an RC4 of the test's own, not the writer's.
#include "JetWriter.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mdbtools.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <ostream>
#include <stdexcept>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
    QStringList lines() const
    {
        QStringList result;
        for (const QString& l : out.split(QLatin1Char('\n')))
            if (!l.trimmed().isEmpty())
                result.append(l.trimmed());
        return result;
    }
};

ToolRun runTool(const QString& tool, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(tool, args);
    ToolRun r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const char* formatName(jet::Format f)
{
    switch (f) {
    case jet::Format::Jet3:
        return "Jet3";
    case jet::Format::Jet4:
        return "Jet4";
    case jet::Format::Ace12:
        return "Ace12";
    }
    return "?";
}

class JetFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* tool : {"mdb-tables", "mdb-schema", "mdb-sql", "mdb-export", "mdb-ver"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " (package mdbtools) is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }

    QString write(const jet::Database& db, const QString& name = QStringLiteral("test.mdb"))
    {
        const QString path = m_dir.filePath(name);
        jet::writeFile(path, db);
        return path;
    }

    // Column name -> type text as mdb-schema prints it for one table.
    static QMap<QString, QString> schemaOf(const QString& path, const QString& table,
                                           const QString& backend = QStringLiteral("access"))
    {
        const ToolRun r = runTool(QStringLiteral("mdb-schema"), {QStringLiteral("-T"), table, path, backend});
        QMap<QString, QString> columns;
        for (const QString& line : r.lines()) {
            const qsizetype tab = line.indexOf(QLatin1Char('\t'));
            if (!line.startsWith(QLatin1Char('[')) && !line.startsWith(QLatin1Char('"')))
                continue;
            if (tab < 0)
                continue;
            QString name = line.left(tab);
            name = name.mid(1, name.size() - 2);
            QString type = line.mid(tab).trimmed();
            if (type.endsWith(QLatin1Char(',')))
                type.chop(1);
            columns.insert(name, type.trimmed());
        }
        return columns;
    }

    // Column names in the order mdb-schema prints them.
    static QStringList columnOrder(const QString& path, const QString& table)
    {
        QStringList names;
        const ToolRun r = runTool(QStringLiteral("mdb-schema"), {QStringLiteral("-T"), table, path});
        for (const QString& line : r.lines())
            if (line.startsWith(QLatin1Char('[')) && line.contains(QLatin1Char('\t')))
                names.append(line.section(QLatin1Char('\t'), 0, 0).mid(1).chopped(1));
        return names;
    }

    // Name -> Flags of the rows the program's system-table query selects.
    static QMap<QString, qint64> systemQuery(const QString& path, ToolRun* run = nullptr)
    {
        const ToolRun r = runTool(QStringLiteral("mdb-sql"),
                                  {QStringLiteral("-P"), QStringLiteral("-H"), QStringLiteral("-F"),
                                   QStringLiteral("-d"), QStringLiteral("|"), path},
                                  "SELECT Name, Flags FROM MSysObjects where type = 1 and flags <> 0\n");
        if (run)
            *run = r;
        QMap<QString, qint64> rows;
        for (const QString& line : r.lines())
            rows.insert(line.section(QLatin1Char('|'), 0, 0), line.section(QLatin1Char('|'), 1).toLongLong());
        return rows;
    }

    QTemporaryDir m_dir;
};

jet::Table table(const QString& name, QList<jet::Column> columns, std::uint32_t flags = jet::TableFlag::User)
{
    return jet::Table{name, std::move(columns), flags, 0};
}

// ---------------------------------------------------------------------------------------------
// Catalogue: versions, table lists, the system-table query

class FormatTest : public JetFiles, public ::testing::WithParamInterface<jet::Format>
{
};

TEST_P(FormatTest, ReaderSeesVersionTablesAndSystemFlags)
{
    jet::Database db;
    db.format = GetParam();
    db.tables = {
        table(QStringLiteral("Kunden"), {jet::makeColumn(QStringLiteral("Nr"), jet::ColumnType::Long)}),
        table(QStringLiteral("Versteckt"),
              {jet::makeColumn(QStringLiteral("Wert"), jet::ColumnType::Text, 20)}, jet::TableFlag::Hidden),
        table(QStringLiteral("Bücher €"),
              {jet::makeColumn(QStringLiteral("Größe"), jet::ColumnType::Double)})};
    const QString path = write(db);

    const char* expectedVersion = GetParam() == jet::Format::Jet3   ? "JET3"
                                  : GetParam() == jet::Format::Jet4 ? "JET4"
                                                                    : "ACE12";
    EXPECT_EQ(runTool(QStringLiteral("mdb-ver"), {path}).lines(),
              QStringList{QLatin1String(expectedVersion)});

    // Hidden user tables are user tables; system tables only show on request.
    const QStringList user{QStringLiteral("Kunden"), QStringLiteral("Versteckt"), QStringLiteral("Bücher €")};
    EXPECT_EQ(runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path}).lines(), user);
    const QStringList all =
        QStringList{QStringLiteral("MSysObjects"),       QStringLiteral("MSysACEs"),
                    QStringLiteral("MSysQueries"),       QStringLiteral("MSysRelationships"),
                    QStringLiteral("MSysAccessStorage"), QStringLiteral("MSysIMEXSpecs")} +
        user;
    EXPECT_EQ(
        runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-S"), QStringLiteral("-1"), path}).lines(),
        all);

    const QMap<QString, qint64> expected{{QStringLiteral("MSysObjects"), -2147483646},
                                         {QStringLiteral("MSysACEs"), -2147483648LL},
                                         {QStringLiteral("MSysQueries"), -2147483648LL},
                                         {QStringLiteral("MSysRelationships"), -2147483648LL},
                                         {QStringLiteral("MSysAccessStorage"), 10},
                                         {QStringLiteral("MSysIMEXSpecs"), 2},
                                         {QStringLiteral("Versteckt"), 8}};
    EXPECT_EQ(systemQuery(path), expected);
    EXPECT_EQ(schemaOf(path, QStringLiteral("Bücher €")).value(QStringLiteral("Größe")),
              QStringLiteral("Double"));
}

TEST_P(FormatTest, WithoutSystemTablesOnlyTheCatalogueDefinitionRemains)
{
    jet::Database db;
    db.format = GetParam();
    db.withSystemTables = false;
    db.tables = {
        table(QStringLiteral("Solo"), {jet::makeColumn(QStringLiteral("A"), jet::ColumnType::Long)})};
    const QString path = write(db);
    EXPECT_EQ(
        runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-S"), QStringLiteral("-1"), path}).lines(),
        QStringList{QStringLiteral("Solo")});
    // No catalogue row names MSysObjects, so a query on it finds no table: the failure case of
    // the system-table query.
    ToolRun run;
    EXPECT_TRUE(systemQuery(path, &run).isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("MSysObjects is not a table"))) << run.err.toStdString();
}

TEST_P(FormatTest, TextLengthsAreCharactersWhateverTheStorageUnit)
{
    jet::Database db;
    db.format = GetParam();
    db.tables = {
        table(QStringLiteral("T"), {jet::makeColumn(QStringLiteral("One"), jet::ColumnType::Text, 1),
                                    jet::makeColumn(QStringLiteral("Fifty"), jet::ColumnType::Text, 50),
                                    jet::makeColumn(QStringLiteral("Max"), jet::ColumnType::Text, 255),
                                    jet::makeColumn(QStringLiteral("Default"), jet::ColumnType::Text, 0)})};
    const auto schema = schemaOf(write(db), QStringLiteral("T"));
    EXPECT_EQ(schema.value(QStringLiteral("One")), QStringLiteral("Text (1)"));
    EXPECT_EQ(schema.value(QStringLiteral("Fifty")), QStringLiteral("Text (50)"));
    EXPECT_EQ(schema.value(QStringLiteral("Max")), QStringLiteral("Text (255)"));
    EXPECT_EQ(schema.value(QStringLiteral("Default")), QStringLiteral("Text (255)"));
}

TEST_P(FormatTest, WideTableDefinitionContinuesOverSeveralPages)
{
    jet::Table wide;
    wide.name = QStringLiteral("Wide");
    QStringList expected;
    for (int i = 0; i < 255; ++i) {
        const QString name =
            QStringLiteral("Column%1_").arg(i, 3, 10, QLatin1Char('0')).leftJustified(64, QLatin1Char('x'));
        wide.columns.append(jet::makeColumn(name, i % 3 ? jet::ColumnType::Text : jet::ColumnType::Long, 20));
        expected.append(name);
    }
    jet::Database db;
    db.format = GetParam();
    db.tables = {
        wide, table(QStringLiteral("After"), {jet::makeColumn(QStringLiteral("Z"), jet::ColumnType::Byte)})};
    const QString path = write(db);
    EXPECT_EQ(columnOrder(path, QStringLiteral("Wide")), expected);
    EXPECT_EQ(columnOrder(path, QStringLiteral("After")), QStringList{QStringLiteral("Z")});
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatTest,
                         ::testing::Values(jet::Format::Jet4, jet::Format::Jet3, jet::Format::Ace12),
                         [](const auto& p) { return std::string(formatName(p.param)); });

// ---------------------------------------------------------------------------------------------
// Columns

TEST_F(JetFiles, EveryColumnTypeReadsBackAsItsType)
{
    jet::Database db;
    db.tables = {jet::everyTypeTable()};
    const QString path = write(db);
    const QMap<QString, QString> expected{
        {QStringLiteral("AutoId"), QStringLiteral("Long Integer")},
        {QStringLiteral("YesNo"), QStringLiteral("Boolean NOT NULL")},
        {QStringLiteral("ByteValue"), QStringLiteral("Byte")},
        {QStringLiteral("IntValue"), QStringLiteral("Integer")},
        {QStringLiteral("LongValue"), QStringLiteral("Long Integer")},
        {QStringLiteral("MoneyValue"), QStringLiteral("Currency")},
        {QStringLiteral("SingleValue"), QStringLiteral("Single")},
        {QStringLiteral("DoubleValue"), QStringLiteral("Double")},
        {QStringLiteral("DateValue"), QStringLiteral("DateTime")},
        {QStringLiteral("VarBinary"), QStringLiteral("Binary")},
        {QStringLiteral("FixedBinary"), QStringLiteral("Binary")},
        {QStringLiteral("Text50"), QStringLiteral("Text (50)")},
        {QStringLiteral("FixedText"), QStringLiteral("Text (10)")},
        {QStringLiteral("OleObject"), QStringLiteral("OLE (255)")},
        {QStringLiteral("MemoText"), QStringLiteral("Memo/Hyperlink (255)")},
        {QStringLiteral("Hyperlink"), QStringLiteral("Memo/Hyperlink (255)")},
        {QStringLiteral("Guid"), QStringLiteral("Replication ID")},
        {QStringLiteral("GuidAuto"), QStringLiteral("Replication ID")},
        {QStringLiteral("Amount"), QStringLiteral("Numeric (18, 4)")}};
    EXPECT_EQ(schemaOf(path, QStringLiteral("AllTypes")), expected);

    // mdbtools shows the long-integer AutoNumber flag only through its SQL back ends.
    const auto pg = schemaOf(path, QStringLiteral("AllTypes"), QStringLiteral("postgres"));
    EXPECT_EQ(pg.value(QStringLiteral("autoid")), QStringLiteral("SERIAL"));
    EXPECT_EQ(pg.value(QStringLiteral("longvalue")), QStringLiteral("INTEGER"));
}

// The remaining flag bits are invisible to the command-line tools, so they are read from the
// definition page that MSysObjects.Id names, at the offsets of the documented Jet 4 layout.
TEST_F(JetFiles, ColumnFlagBitsSitInTheDefinition)
{
    jet::Database db;
    db.tables = {jet::everyTypeTable()};
    const QString path = write(db);
    const ToolRun exported =
        runTool(QStringLiteral("mdb-export"), {QStringLiteral("-d"), QStringLiteral("|"),
                                               QStringLiteral("-Q"), path, QStringLiteral("MSysObjects")});
    int page = -1;
    for (const QString& line : exported.lines())
        if (line.section(QLatin1Char('|'), 2, 2) == QLatin1String("AllTypes"))
            page = line.section(QLatin1Char('|'), 0, 0).toInt();
    ASSERT_GT(page, 2);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_GE(bytes.size(), (page + 1) * 4096);
    const char* tdef = bytes.constData() + page * 4096;
    ASSERT_EQ(tdef[0], 0x02);
    ASSERT_EQ(std::uint8_t(tdef[45]), jet::everyTypeTable().columns.size());
    auto flagsOf = [&](const QString& name) {
        const auto cols = jet::everyTypeTable().columns;
        for (int i = 0; i < cols.size(); ++i)
            if (cols[i].name == name)
                return std::uint8_t(tdef[63 + 25 * i + 15]);
        return std::uint8_t(0xFF);
    };
    EXPECT_EQ(flagsOf(QStringLiteral("AutoId")) & 0x04, 0x04);
    EXPECT_EQ(flagsOf(QStringLiteral("LongValue")) & 0x04, 0);
    EXPECT_EQ(flagsOf(QStringLiteral("GuidAuto")) & 0x40, 0x40);
    EXPECT_EQ(flagsOf(QStringLiteral("Guid")) & 0x40, 0);
    EXPECT_EQ(flagsOf(QStringLiteral("Hyperlink")) & 0x80, 0x80);
    EXPECT_EQ(flagsOf(QStringLiteral("MemoText")) & 0x80, 0);
    EXPECT_EQ(flagsOf(QStringLiteral("FixedText")) & 0x01, 0x01);
    EXPECT_EQ(flagsOf(QStringLiteral("Text50")) & 0x01, 0);
    EXPECT_EQ(flagsOf(QStringLiteral("FixedBinary")) & 0x01, 0x01);
    EXPECT_EQ(flagsOf(QStringLiteral("VarBinary")) & 0x01, 0);
}

struct DecimalCase
{
    int precision;
    int scale;
};

void PrintTo(const DecimalCase& c, std::ostream* os)
{
    *os << "Decimal(" << c.precision << "," << c.scale << ")";
}

class DecimalTest : public JetFiles, public ::testing::WithParamInterface<DecimalCase>
{
};

// mdbtools names the two bytes the other way round; what matters is that precision comes first.
TEST_P(DecimalTest, PrecisionAndScaleReadBack)
{
    jet::Column c = jet::makeColumn(QStringLiteral("Amount"), jet::ColumnType::Numeric);
    c.precision = GetParam().precision;
    c.scale = GetParam().scale;
    jet::Database db;
    db.tables = {table(QStringLiteral("D"), {c})};
    EXPECT_EQ(schemaOf(write(db), QStringLiteral("D")).value(QStringLiteral("Amount")),
              QStringLiteral("Numeric (%1, %2)").arg(GetParam().precision).arg(GetParam().scale));
}

INSTANTIATE_TEST_SUITE_P(Decimals, DecimalTest,
                         ::testing::Values(DecimalCase{1, 0}, DecimalCase{10, 3}, DecimalCase{18, 4},
                                           DecimalCase{28, 0}, DecimalCase{28, 28}),
                         [](const auto& p) {
                             return "P" + std::to_string(p.param.precision) + "S" +
                                    std::to_string(p.param.scale);
                         });

// ---------------------------------------------------------------------------------------------
// Sample and benchmark databases

TEST_F(JetFiles, SampleDatabaseHasItsSchemaAndCatalogueObjects)
{
    const QString path = write(jet::sampleDatabase());
    EXPECT_EQ(runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path}).lines(),
              (QStringList{QStringLiteral("Customers"), QStringLiteral("Orders"),
                           QStringLiteral("Order Details"), QStringLiteral("Products"),
                           QStringLiteral("Countries"), QStringLiteral("AppSettings")}));
    EXPECT_EQ(systemQuery(path).value(QStringLiteral("AppSettings")), 8);
    const auto customers = schemaOf(path, QStringLiteral("Customers"));
    EXPECT_EQ(customers.value(QStringLiteral("Customer_ID")), QStringLiteral("Long Integer"));
    EXPECT_EQ(customers.value(QStringLiteral("CompanyName")), QStringLiteral("Text (40)"));
    EXPECT_EQ(schemaOf(path, QStringLiteral("Products")).value(QStringLiteral("WeightKg")),
              QStringLiteral("Numeric (10, 3)"));

    // The query and the report are catalogue rows of their own types, not tables.
    const ToolRun objects =
        runTool(QStringLiteral("mdb-export"), {QStringLiteral("-d"), QStringLiteral("|"),
                                               QStringLiteral("-Q"), path, QStringLiteral("MSysObjects")});
    QMap<QString, QString> types;
    for (const QString& line : objects.lines())
        types.insert(line.section(QLatin1Char('|'), 2, 2), line.section(QLatin1Char('|'), 3, 3));
    EXPECT_EQ(types.value(QStringLiteral("Orders by Country")), QStringLiteral("5"));
    EXPECT_EQ(types.value(QStringLiteral("Server Totals")), QStringLiteral("5"));
    EXPECT_EQ(types.value(QStringLiteral("Customer List")), QStringLiteral("-32764"));
    EXPECT_EQ(types.value(QStringLiteral("Tables")), QStringLiteral("3"));
}

TEST_F(JetFiles, SampleDatabaseAlsoWritesAsJet3)
{
    const QString path = write(jet::sampleDatabase(jet::Format::Jet3));
    EXPECT_EQ(runTool(QStringLiteral("mdb-ver"), {path}).lines(), QStringList{QStringLiteral("JET3")});
    EXPECT_EQ(schemaOf(path, QStringLiteral("Products")).value(QStringLiteral("WeightKg")),
              QStringLiteral("Double"));
}

TEST_F(JetFiles, BenchmarkDatabaseListsAllItsTables)
{
    const QString path = write(jet::benchmarkDatabase(2000, 30));
    const QStringList tables = runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path}).lines();
    ASSERT_EQ(tables.size(), 2000);
    EXPECT_EQ(tables.first(), QStringLiteral("Table0001"));
    EXPECT_EQ(tables.last(), QStringLiteral("Table2000"));
    // The last definition is reachable and whole.
    const QStringList columns = columnOrder(path, QStringLiteral("Table2000"));
    ASSERT_EQ(columns.size(), 30);
    EXPECT_TRUE(columns.first().startsWith(QLatin1String("Col01_")));
    EXPECT_TRUE(columns.last().startsWith(QLatin1String("Col30_")));
}

// ---------------------------------------------------------------------------------------------
// Database password in the header page

void rc4Apply(const std::array<unsigned char, 4>& key, char* data, int len)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    unsigned j = 0;
    for (int i = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) % 256;
        std::swap(s[i], s[j]);
    }
    unsigned a = 0, b = 0;
    for (int n = 0; n < len; ++n) {
        a = (a + 1) % 256;
        b = (b + s[a]) % 256;
        std::swap(s[a], s[b]);
        data[n] = char(static_cast<unsigned char>(data[n]) ^ s[(s[a] + s[b]) % 256]);
    }
}

struct PasswordCase
{
    const char* label;
    jet::Format format;
    QString password;
    double creationDate;
    QByteArray expectedField; // Jet 3: the stored bytes; Jet 4/ACE: the decoded UTF-16LE
};

void PrintTo(const PasswordCase& c, std::ostream* os)
{
    *os << c.label;
}

class PasswordTest : public JetFiles, public ::testing::WithParamInterface<PasswordCase>
{
};

TEST_P(PasswordTest, HeaderFieldDecodesToThePassword)
{
    const PasswordCase& c = GetParam();
    jet::Database db = jet::sampleDatabase(c.format);
    db.password = c.password;
    db.creationDate = c.creationDate;
    const QString path = write(db);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray header = f.read(c.format == jet::Format::Jet3 ? 2048 : 4096);
    ASSERT_EQ(header.at(0), 0);
    const bool jet3 = c.format == jet::Format::Jet3;
    EXPECT_EQ(header.mid(4, 15), c.format == jet::Format::Ace12 ? "Standard ACE DB" : "Standard Jet DB");
    rc4Apply({0xC7, 0xDA, 0x39, 0x6B}, header.data() + 0x18, jet3 ? 126 : 128);
    EXPECT_EQ(std::uint8_t(header[0x3C]) | (std::uint8_t(header[0x3D]) << 8), 1252);
    EXPECT_EQ(header.mid(0x3E, 4), QByteArray(4, '\0')) << "a database key would make readers decrypt pages";

    QByteArray field = header.mid(0x42, jet3 ? 20 : 40);
    if (!jet3) {
        double stored;
        std::memcpy(&stored, header.constData() + 0x72, 8);
        EXPECT_EQ(stored, c.creationDate);
        const auto mask = std::uint32_t(std::int32_t(c.creationDate));
        for (int i = 0; i < field.size(); ++i)
            field[i] = char(std::uint8_t(field[i]) ^ std::uint8_t(mask >> (8 * (i % 4))));
    }
    QByteArray expected = c.expectedField;
    expected.resize(field.size(), '\0');
    EXPECT_EQ(field.toHex(' '), expected.toHex(' '));

    // mdbtools ignores the password, so a protected file still lists.
    EXPECT_EQ(runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path}).lines().size(), 6);
}

QByteArray utf16le(const QString& s)
{
    QByteArray out;
    for (QChar ch : s) {
        out.append(char(ch.unicode() & 0xFF));
        out.append(char(ch.unicode() >> 8));
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Passwords, PasswordTest,
    ::testing::Values(
        PasswordCase{"Jet4None", jet::Format::Jet4, QString(), 44532.65, QByteArray()},
        PasswordCase{"Jet4Plain", jet::Format::Jet4, QStringLiteral("Secret1"), 44532.65, utf16le("Secret1")},
        PasswordCase{"Jet4NonAscii", jet::Format::Jet4, QStringLiteral("Pässwort€Ω"), 44532.65,
                     QByteArray("P\0\xE4\0s\0s\0w\0o\0r\0t\0\xAC\x20\xA9\x03", 20)},
        PasswordCase{"Jet4Twenty", jet::Format::Jet4, QStringLiteral("abcdefghijKLMNOPQRST"), 44532.65,
                     utf16le("abcdefghijKLMNOPQRST")},
        PasswordCase{"Jet4LongerIsCut", jet::Format::Jet4, QStringLiteral("abcdefghijKLMNOPQRSTuvwxy"),
                     44532.65, utf16le("abcdefghijKLMNOPQRST")},
        PasswordCase{"Jet4ZeroDateNoMask", jet::Format::Jet4, QStringLiteral("pw"), 0.0, utf16le("pw")},
        PasswordCase{"Jet4DateBefore1900", jet::Format::Jet4, QStringLiteral("pw"), -700.75, utf16le("pw")},
        PasswordCase{"AcePlain", jet::Format::Ace12, QStringLiteral("Secret1"), 45000.5, utf16le("Secret1")},
        PasswordCase{"Jet3None", jet::Format::Jet3, QString(), 0.0, QByteArray()},
        PasswordCase{"Jet3CodePage", jet::Format::Jet3, QStringLiteral("Grüße€"), 0.0,
                     QByteArray("Gr\xFC\xDF"
                                "e\x80")},
        PasswordCase{"Jet3LongerIsCut", jet::Format::Jet3, QStringLiteral("abcdefghijKLMNOPQRSTuvwxy"), 0.0,
                     QByteArray("abcdefghijKLMNOPQRST")}),
    [](const auto& p) { return std::string(p.param.label); });

// ---------------------------------------------------------------------------------------------
// Indexes, relationships and design properties, read back through libmdb itself

// What libmdb makes of one table: its indexes as "Name type=T [unique] [required]: Col, Col DESC"
// and the properties asked for, as "Column.Property" (the table's own under ".Property").
struct LibmdbTable
{
    bool found = false;
    std::uint32_t page = 0;
    QStringList indexes;
    QMap<QString, QString> props;
};

QString text(const char* s)
{
    return s ? QString::fromUtf8(s) : QString();
}

LibmdbTable readWithLibmdb(const QString& path, const QString& table, const QStringList& propNames = {})
{
    LibmdbTable out;
    MdbHandle* mdb = mdb_open(path.toUtf8().constData(), MDB_NOFLAGS);
    if (!mdb)
        return out;
    MdbCatalogEntry* entry = nullptr;
    if (mdb_read_catalog(mdb, MDB_TABLE))
        entry = mdb_get_catalogentry_by_name(mdb, table.toUtf8().constData());
    MdbTableDef* t = entry ? mdb_read_table(entry) : nullptr;
    if (t && mdb_read_columns(t)) {
        out.found = true;
        out.page = std::uint32_t(entry->table_pg);
        mdb_read_indices(t);
        for (unsigned i = 0; t->indices && i < t->num_idxs; ++i) {
            const auto* ix = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
            QStringList columns;
            for (unsigned k = 0; k < ix->num_keys; ++k) {
                const auto* c =
                    static_cast<MdbColumn*>(g_ptr_array_index(t->columns, ix->key_col_num[k] - 1));
                columns.append(text(c->name) +
                               (ix->key_col_order[k] == MDB_DESC ? QStringLiteral(" DESC") : QString()));
            }
            out.indexes.append(
                QStringLiteral("%1 type=%2%3%4: %5")
                    .arg(text(ix->name))
                    .arg(int(ix->index_type))
                    .arg((ix->flags & MDB_IDX_UNIQUE) ? QStringLiteral(" unique") : QString())
                    .arg((ix->flags & MDB_IDX_REQUIRED) ? QStringLiteral(" required") : QString())
                    .arg(columns.join(QLatin1String(", "))));
        }
        for (const QString& name : propNames) {
            const QByteArray key = name.toUtf8();
            if (const char* v = mdb_table_get_prop(t, key.constData()))
                out.props.insert(QLatin1Char('.') + name, text(v));
            for (unsigned c = 0; c < t->num_cols; ++c) {
                const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
                if (const char* v = mdb_col_get_prop(col, key.constData()))
                    out.props.insert(text(col->name) + QLatin1Char('.') + name, text(v));
            }
        }
    }
    if (t)
        mdb_free_tabledef(t);
    mdb_close(mdb);
    return out;
}

// The logical index entries as stored, which libmdb does not hand out for foreign keys: name,
// type, the real index's columns, and the other side of a foreign key.
struct StoredIndex
{
    QString name;
    int type = 0;
    int real = -1;
    QList<int> columns; // column numbers of the real index it uses
    int relTableType = 0;
    int relIndex = -1;
    std::uint32_t relPage = 0;
    int cascadeUpdates = 0;
    int cascadeDeletes = 0;
};

std::uint32_t u32(const QByteArray& b, qsizetype at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(b.at(at + i));
    return v;
}

std::uint32_t u16(const QByteArray& b, qsizetype at)
{
    return std::uint8_t(b.at(at)) | (std::uint32_t(std::uint8_t(b.at(at + 1))) << 8);
}

// Jet 3 keeps the same fields, narrower and without the constants in front.
QList<StoredIndex> storedIndexes(const QString& path, std::uint32_t page,
                                 jet::Format format = jet::Format::Jet4)
{
    const bool jet3 = format == jet::Format::Jet3;
    const int P = jet3 ? 2048 : 4096;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray file = f.readAll();
    QByteArray s = file.mid(qsizetype(page) * P, P);
    for (std::uint32_t next = u32(s, 4); next != 0;) {
        const QByteArray p = file.mid(qsizetype(next) * P, P);
        s += p.mid(8);
        next = u32(p, 4);
    }
    const int ncols = int(u16(s, jet3 ? 25 : 45));
    const int nidx = int(u32(s, jet3 ? 27 : 47));
    const int nreal = int(u32(s, jet3 ? 31 : 51));
    qsizetype pos = jet3 ? 43 + 8 * nreal + 18 * ncols : 63 + 12 * nreal + 25 * ncols;
    for (int c = 0; c < ncols; ++c)
        pos += jet3 ? 1 + std::uint8_t(s.at(pos)) : 2 + u16(s, pos);
    QList<QList<int>> reals;
    for (int r = 0; r < nreal; ++r, pos += jet3 ? 39 : 52) {
        QList<int> columns;
        for (int k = 0; k < 10; ++k) {
            const std::uint32_t c = u16(s, pos + (jet3 ? 0 : 4) + 3 * k);
            if (c != 0xFFFF)
                columns.append(int(c));
        }
        reals.append(columns);
    }
    QList<StoredIndex> out;
    for (int i = 0; i < nidx; ++i, pos += jet3 ? 20 : 28) {
        const qsizetype b = pos + (jet3 ? 0 : 4);
        StoredIndex ix;
        ix.real = int(u32(s, b + 4));
        ix.columns = reals.value(ix.real);
        ix.relTableType = std::uint8_t(s.at(b + 8));
        ix.relIndex = int(std::int32_t(u32(s, b + 9)));
        ix.relPage = u32(s, b + 13);
        ix.cascadeUpdates = std::uint8_t(s.at(b + 17));
        ix.cascadeDeletes = std::uint8_t(s.at(b + 18));
        ix.type = std::uint8_t(s.at(b + 19));
        out.append(ix);
    }
    for (StoredIndex& ix : out) {
        if (jet3) {
            const int len = std::uint8_t(s.at(pos));
            ix.name = QString::fromLatin1(s.mid(pos + 1, len)); // the names used here are ASCII
            pos += 1 + len;
            continue;
        }
        const qsizetype len = u16(s, pos);
        for (qsizetype k = 0; k < len; k += 2)
            ix.name.append(QChar(char16_t(u16(s, pos + 2 + k))));
        pos += 2 + len;
    }
    return out;
}

class FormatRich : public JetFiles, public ::testing::WithParamInterface<jet::Format>
{
};

TEST_P(FormatRich, LibmdbSeesTheUserIndexes)
{
    const QString path = write(jet::richDatabase(GetParam()));
    const QMap<QString, QStringList> expected{
        {QStringLiteral("Countries"),
         {"PrimaryKey type=1 unique required: CountryCode", "CountryName type=0 unique: CountryName",
          ".rB type=2: ", ".rC type=2: "}},
        {QStringLiteral("Customers"),
         {"PrimaryKey type=1 unique required: CustomerID", "CompanyName type=0 unique: CompanyName",
          "CityCountry type=0: CountryCode, City", "CountriesCustomers type=2: ", ".rB type=2: "}},
        {QStringLiteral("Orders"),
         {"PrimaryKey type=1 unique required: OrderID", "OrderDate type=0: OrderDate DESC",
          "CustomerID type=0: CustomerID",
          "CustomersOrders type=2: ", "CountriesOrders type=2: ", ".rB type=2: "}},
        {QStringLiteral("Products"),
         {"PrimaryKey type=1 unique required: ProductID",
          "CategoryName type=0 unique: Category, ProductName DESC", ".rB type=2: "}},
        {QStringLiteral("Order Details"),
         {"PrimaryKey type=1 unique required: OrderID, ProductID", "ProductID type=0: ProductID",
          "OrdersOrder Details type=2: ", "ProductsOrder Details type=2: ", ".rB type=2: "}},
        {QStringLiteral("Employees"),
         {"PrimaryKey type=1 unique required: EmployeeID", ".rB type=2: ", "EmployeesEmployees type=2: "}}};
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        LibmdbTable t = readWithLibmdb(path, it.key());
        ASSERT_TRUE(t.found) << it.key().toStdString();
        // libmdb loses the indexes made after the relationships; the next test reads them.
        t.indexes.removeIf(
            [](const QString& line) { return line.startsWith(QLatin1String("ShippedDate ")); });
        EXPECT_EQ(t.indexes, it.value()) << it.key().toStdString();
    }
}

TEST_P(FormatRich, ForeignKeyIndexesPointAtEachOther)
{
    const jet::Database db = jet::richDatabase(GetParam());
    const QString path = write(db);
    QMap<QString, std::uint32_t> pages;
    QMap<std::uint32_t, QList<StoredIndex>> stored;
    for (const jet::Table& t : db.tables) {
        const std::uint32_t page = readWithLibmdb(path, t.name).page;
        ASSERT_GT(page, 2u) << t.name.toStdString();
        pages.insert(t.name, page);
        stored.insert(page, storedIndexes(path, page, GetParam()));
    }
    int enforced = 0;
    for (const jet::Relationship& r : db.relationships) {
        const QList<StoredIndex>& many = stored.value(pages.value(r.table));
        const auto fk =
            std::find_if(many.begin(), many.end(), [&](const StoredIndex& s) { return s.name == r.name; });
        if (r.flags & jet::RelationFlag::NotEnforced) {
            EXPECT_EQ(fk, many.end()) << r.name.toStdString();
            continue;
        }
        ++enforced;
        ASSERT_NE(fk, many.end()) << r.name.toStdString();
        EXPECT_EQ(fk->type, 2);
        EXPECT_EQ(fk->relTableType, 2);
        EXPECT_EQ(fk->relPage, pages.value(r.referencedTable)) << r.name.toStdString();
        EXPECT_EQ(fk->cascadeUpdates, (r.flags & jet::RelationFlag::CascadeUpdates) ? 1 : 0);
        EXPECT_EQ(fk->cascadeDeletes, (r.flags & jet::RelationFlag::CascadeDeletes) ? 1
                                      : (r.flags & jet::RelationFlag::CascadeNull)  ? 2
                                                                                    : 0);
        QList<int> columns;
        for (const QString& c : r.columns)
            for (int i = 0; i < db.tables.size(); ++i)
                if (db.tables[i].name == r.table)
                    for (int k = 0; k < db.tables[i].columns.size(); ++k)
                        if (db.tables[i].columns[k].name == c)
                            columns.append(k);
        EXPECT_EQ(fk->columns, columns) << r.name.toStdString();

        // The referenced side's index is the one the number names, and it names this one back.
        const QList<StoredIndex>& one = stored.value(fk->relPage);
        ASSERT_GE(fk->relIndex, 0);
        ASSERT_LT(fk->relIndex, one.size());
        const StoredIndex& back = one.at(fk->relIndex);
        EXPECT_TRUE(back.name.startsWith(QLatin1String(".r"))) << back.name.toStdString();
        EXPECT_EQ(back.type, 2);
        EXPECT_EQ(back.relTableType, 1);
        EXPECT_EQ(back.relPage, pages.value(r.table));
        EXPECT_EQ(std::distance(many.begin(), fk), back.relIndex);
        EXPECT_EQ(back.cascadeDeletes, fk->cascadeDeletes);
    }
    EXPECT_EQ(enforced, 7);
}

TEST_P(FormatRich, RelationshipsAreRowsOfMSysRelationships)
{
    const QString path = write(jet::richDatabase(GetParam()));
    const ToolRun r = runTool(QStringLiteral("mdb-export"),
                              {QStringLiteral("-d"), QStringLiteral("|"), QStringLiteral("-Q"), path,
                               QStringLiteral("MSysRelationships")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.lines(),
        (QStringList{
            "ccolumn|grbit|icolumn|szColumn|szObject|szReferencedColumn|szReferencedObject|szRelationship",
            "1|8448|0|CountryCode|Customers|CountryCode|Countries|CountriesCustomers",
            "1|4096|0|CustomerID|Orders|CustomerID|Customers|CustomersOrders",
            "1|2|0|EmployeeID|Orders|EmployeeID|Employees|EmployeesOrders",
            "1|0|0|ReportsTo|Employees|EmployeeID|Employees|EmployeesEmployees",
            "1|256|0|ShipCountry|Orders|CountryCode|Countries|CountriesOrders",
            "1|4352|0|OrderID|Order Details|OrderID|Orders|OrdersOrder Details",
            "1|0|0|ProductID|Order Details|ProductID|Products|ProductsOrder Details",
            "2|4096|0|OrderID|Returns|OrderID|Order Details|Order DetailsReturns",
            "2|4096|1|ProductID|Returns|ProductID|Order Details|Order DetailsReturns"}));

    // mdb-schema turns the enforced ones into foreign keys and says which one is not enforced.
    const ToolRun schema = runTool(QStringLiteral("mdb-schema"),
                                   {QStringLiteral("--relations"), path, QStringLiteral("postgres")});
    EXPECT_TRUE(schema.out.contains(
        QLatin1String("ALTER TABLE \"Order Details\" ADD CONSTRAINT \"order details_orderid_fk\" "
                      "FOREIGN KEY (\"orderid\") REFERENCES \"Orders\"(\"orderid\") ON UPDATE "
                      "CASCADE ON DELETE CASCADE")))
        << schema.out.toStdString();
    EXPECT_TRUE(
        schema.out.contains(QLatin1String("-- Relationship from \"Orders\" (\"employeeid\") to "
                                          "\"Employees\"(\"employeeid\") does not enforce integrity.")));
}

TEST_P(FormatRich, PropertiesReadBackThroughLibmdb)
{
    const jet::Database db = jet::richDatabase(GetParam());
    const QString path = write(db);
    const QStringList names{QStringLiteral("Description"), QStringLiteral("DefaultValue"),
                            QStringLiteral("Required"), QStringLiteral("Expression")};
    int described = 0;
    for (const jet::Table& t : db.tables) {
        QMap<QString, QString> expected;
        if (!t.description.isEmpty())
            expected.insert(QStringLiteral(".Description"), t.description);
        for (const jet::Column& c : t.columns) {
            const QString prefix = c.name + QLatin1Char('.');
            if (!c.description.isEmpty())
                expected.insert(prefix + QStringLiteral("Description"), c.description);
            if (!c.defaultValue.isEmpty())
                expected.insert(prefix + QStringLiteral("DefaultValue"), c.defaultValue);
            if (c.required)
                expected.insert(prefix + QStringLiteral("Required"), QStringLiteral("yes"));
            if (!c.expression.isEmpty())
                expected.insert(prefix + QStringLiteral("Expression"), c.expression);
        }
        described += int(expected.size());
        EXPECT_EQ(readWithLibmdb(path, t.name, names).props, expected) << t.name.toStdString();
    }
    EXPECT_GT(described, 25);

    // The texts that are easy to get wrong, spelled out.
    const LibmdbTable customers = readWithLibmdb(path, QStringLiteral("Customers"), names);
    EXPECT_EQ(customers.props.value(QStringLiteral("Size.Description")), QStringLiteral("Größe"));
    EXPECT_EQ(customers.props.value(QStringLiteral("Created.DefaultValue")), QStringLiteral("=Now()"));
    EXPECT_EQ(customers.props.value(QStringLiteral(".Description")),
              GetParam() == jet::Format::Jet3 ? QStringLiteral("Kunden und ihre Größe")
                                              : QStringLiteral("Kunden und ihre Größe; 顧客"));
    const LibmdbTable details = readWithLibmdb(path, QStringLiteral("Order Details"), names);
    EXPECT_EQ(details.props.value(QStringLiteral("Note.DefaultValue")), QStringLiteral("\"x\""));
    EXPECT_EQ(details.props.contains(QStringLiteral("LineTotal.Expression")),
              GetParam() == jet::Format::Ace12);
}

// The sample's design-view properties, as libmdb reads them back.
TEST_P(FormatRich, FieldPropertiesReadBackThroughLibmdb)
{
    const QString path = write(jet::sampleDatabase(GetParam()));
    const QStringList names{"Caption",         "Format",         "InputMask",      "DecimalPlaces",
                            "AllowZeroLength", "ValidationRule", "ValidationText", "DisplayControl",
                            "RowSourceType",   "RowSource",      "BoundColumn",    "ColumnCount",
                            "LimitToList"};
    const LibmdbTable orders = readWithLibmdb(path, QStringLiteral("Orders"), names);
    EXPECT_EQ(orders.props.value(".ValidationRule"),
              QStringLiteral("[ShippedDate] Is Null Or [ShippedDate]>=[OrderDate]"));
    EXPECT_EQ(orders.props.value(".ValidationText"), QStringLiteral("An order ships after it was placed."));
    EXPECT_EQ(orders.props.value("OrderDate.Caption"), QStringLiteral("Order Date"));
    EXPECT_EQ(orders.props.value("OrderDate.Format"), QStringLiteral("Short Date"));
    EXPECT_EQ(orders.props.value("OrderDate.ValidationRule"), QStringLiteral(">=#1/1/2000#"));
    EXPECT_EQ(orders.props.value("Freight.DecimalPlaces"), QStringLiteral("2"));
    EXPECT_EQ(orders.props.value("Customer_ID.DisplayControl"), QStringLiteral("111"));
    EXPECT_EQ(orders.props.value("Customer_ID.RowSourceType"), QStringLiteral("Table/Query"));
    EXPECT_EQ(orders.props.value("Customer_ID.BoundColumn"), QStringLiteral("1"));
    EXPECT_EQ(orders.props.value("Customer_ID.ColumnCount"), QStringLiteral("2"));
    EXPECT_EQ(orders.props.value("Customer_ID.LimitToList"), QStringLiteral("yes"));
    const LibmdbTable customers = readWithLibmdb(path, QStringLiteral("Customers"), names);
    EXPECT_EQ(customers.props.value("Phone.InputMask"), QStringLiteral("!\\(999\") \"000\\-0000;;_"));
    EXPECT_EQ(customers.props.value("Notes.AllowZeroLength"), QStringLiteral("yes"));
    const LibmdbTable products = readWithLibmdb(path, QStringLiteral("Products"), names);
    EXPECT_EQ(products.props.value("UnitPrice.DecimalPlaces"), QStringLiteral("255"));
    EXPECT_EQ(products.props.value("Discontinued.DisplayControl"), QStringLiteral("106"));
    EXPECT_FALSE(products.props.contains("Discontinued.RowSource"));
}

// Every saved query of the sample is a catalogue row of Type 5 with its rows in MSysQueries,
// from the start mark (attribute 0) to the end mark (255), as the SQL reader sees them.
TEST_P(FormatRich, QueriesAreRowsOfMSysQueries)
{
    const jet::Database db = jet::sampleDatabase(GetParam());
    const QString path = write(db);
    const ToolRun objects = runTool(QStringLiteral("mdb-sql"),
                                    {QStringLiteral("-P"), QStringLiteral("-H"), QStringLiteral("-F"),
                                     QStringLiteral("-d"), QStringLiteral("|"), path},
                                    "SELECT Id, Name, Flags FROM MSysObjects where type = 5\n");
    ASSERT_EQ(objects.exitCode, 0) << objects.err.toStdString();
    QMap<QString, QString> ids;
    QMap<QString, qint64> flags;
    for (const QString& line : objects.lines()) {
        ids.insert(line.section(u'|', 0, 0), line.section(u'|', 1, 1));
        flags.insert(line.section(u'|', 1, 1), line.section(u'|', 2, 2).toLongLong());
    }
    ASSERT_EQ(ids.size(), db.queries.size());
    EXPECT_EQ(flags.value(QStringLiteral("Raise Prices")), 48);
    EXPECT_EQ(flags.value(QStringLiteral("All Countries")), 128);
    EXPECT_EQ(flags.value(QStringLiteral("~sq_rCustomer List")), 0xA);

    const ToolRun rows = runTool(QStringLiteral("mdb-sql"),
                                 {QStringLiteral("-P"), QStringLiteral("-H"), QStringLiteral("-F"),
                                  QStringLiteral("-d"), QStringLiteral("|"), path},
                                 "SELECT ObjectId, Attribute, Name1 FROM MSysQueries\n");
    ASSERT_EQ(rows.exitCode, 0) << rows.err.toStdString();
    QMap<QString, QList<int>> attributes;
    for (const QString& line : rows.lines()) {
        ASSERT_TRUE(ids.contains(line.section(u'|', 0, 0))) << line.toStdString();
        attributes[ids.value(line.section(u'|', 0, 0))].append(line.section(u'|', 1, 1).toInt());
    }
    EXPECT_EQ(attributes.size(), db.queries.size());
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        ASSERT_GE(it.value().size(), 3);
        EXPECT_EQ(it.value().at(0), 0);
        EXPECT_EQ(it.value().at(1), 255);
    }
    // A select query has no type row; a join's two tables and its condition are one row.
    EXPECT_EQ(attributes.value(QStringLiteral("Orders by Country")),
              (QList<int>{0, 255, 6, 6, 6, 7, 5, 5, 9, 11}));
    EXPECT_EQ(attributes.value(QStringLiteral("All Countries")), (QList<int>{0, 255, 5, 1, 5, 3}));
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatRich,
                         ::testing::Values(jet::Format::Jet4, jet::Format::Ace12, jet::Format::Jet3),
                         [](const auto& p) { return std::string(formatName(p.param)); });

TEST_F(JetFiles, BenchmarkQueriesAreWrittenOverTheTables)
{
    jet::Database db = jet::benchmarkDatabase(20, 5);
    jet::addBenchmarkQueries(db, 50);
    ASSERT_EQ(db.queries.size(), 50);
    EXPECT_EQ(db.queries.first().name, QStringLiteral("Query0001"));
    const QString path = write(db);
    const ToolRun objects = runTool(QStringLiteral("mdb-sql"),
                                    {QStringLiteral("-P"), QStringLiteral("-H"), QStringLiteral("-F"), path},
                                    "SELECT Name FROM MSysObjects where type = 5\n");
    EXPECT_EQ(objects.lines().size(), 50);
    jet::Database tooSmall = jet::benchmarkDatabase(1, 5);
    EXPECT_THROW(jet::addBenchmarkQueries(tooSmall, 1), std::invalid_argument);
}

// Indexes made after a relationship whose foreign key needed a stored index of its own: the
// stored entries say which real index each uses, though libmdb 1.0 pairs by position and loses
// them.
TEST_F(JetFiles, IndexMadeAfterARelationshipKeepsItsStoredColumns)
{
    const QString path = write(jet::richDatabase());
    const LibmdbTable orders = readWithLibmdb(path, QStringLiteral("Orders"));
    ASSERT_TRUE(orders.found);
    const QList<StoredIndex> inOrders = storedIndexes(path, orders.page);
    ASSERT_EQ(inOrders.size(), 7);
    EXPECT_EQ(inOrders[2].name, QStringLiteral("CustomerID"));
    EXPECT_EQ(inOrders[3].name, QStringLiteral("CustomersOrders"));
    EXPECT_EQ(inOrders[3].real, inOrders[2].real) << "the foreign key shares the user's index";
    EXPECT_EQ(inOrders[6].name, QStringLiteral("ShippedDate"));
    EXPECT_EQ(inOrders[6].real, 4);
    EXPECT_EQ(inOrders[6].columns, QList<int>{7});

    const LibmdbTable returns = readWithLibmdb(path, QStringLiteral("Returns"));
    ASSERT_TRUE(returns.found);
    const QList<StoredIndex> stored = storedIndexes(path, returns.page);
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(stored[0].name, QStringLiteral("PrimaryKey"));
    EXPECT_EQ(stored[0].columns, QList<int>{0});
    EXPECT_EQ(stored[1].name, QStringLiteral("Order DetailsReturns"));
    EXPECT_EQ(stored[1].columns, (QList<int>{1, 2}));
    EXPECT_EQ(stored[2].name, QStringLiteral("ReturnDate"));
    EXPECT_EQ(stored[2].columns, QList<int>{3});
}

struct BlobCase
{
    const char* label;
    int descriptionLength;
    int columns;
    jet::Format format = jet::Format::Jet4;
};

void PrintTo(const BlobCase& c, std::ostream* os)
{
    *os << c.label;
}

class PropertyBlobTest : public JetFiles, public ::testing::WithParamInterface<BlobCase>
{
};

// Short blobs (a table's short description) stay in the catalogue row, longer ones go to one
// long-value row, the longest to a chain of them; every description comes back whole.
TEST_P(PropertyBlobTest, DescriptionsOfAnyLengthComeBack)
{
    jet::Table t =
        table(QStringLiteral("Described"), {jet::makeColumn(QStringLiteral("Plain"), jet::ColumnType::Long)});
    QMap<QString, QString> expected;
    if (GetParam().columns == 0) {
        t.description = QString(GetParam().descriptionLength, QLatin1Char('t')) + QStringLiteral("€");
        expected.insert(QStringLiteral(".Description"), t.description);
    }
    for (int c = 0; c < GetParam().columns; ++c) {
        jet::Column col = jet::makeColumn(QStringLiteral("C%1").arg(c), jet::ColumnType::Long);
        col.description = QString(GetParam().descriptionLength, QChar(u'a' + c % 26)) + QStringLiteral("ß");
        expected.insert(col.name + QStringLiteral(".Description"), col.description);
        t.columns.append(col);
    }
    jet::Database db;
    db.format = GetParam().format;
    db.tables = {
        t, table(QStringLiteral("After"), {jet::makeColumn(QStringLiteral("Z"), jet::ColumnType::Long)})};
    const QString path = write(db);
    EXPECT_EQ(readWithLibmdb(path, QStringLiteral("Described"), {QStringLiteral("Description")}).props,
              expected);
    EXPECT_EQ(runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path}).lines(),
              (QStringList{QStringLiteral("Described"), QStringLiteral("After")}));
}

INSTANTIATE_TEST_SUITE_P(Blobs, PropertyBlobTest,
                         ::testing::Values(BlobCase{"Inline", 1, 0}, BlobCase{"TableAndColumn", 1, 1},
                                           BlobCase{"OneRow", 200, 3}, BlobCase{"JustOverOneRow", 2020, 1},
                                           BlobCase{"Chain", 1000, 12}, BlobCase{"LongChain", 3000, 20},
                                           BlobCase{"Jet3Inline", 1, 0, jet::Format::Jet3},
                                           BlobCase{"Jet3OneRow", 300, 3, jet::Format::Jet3},
                                           BlobCase{"Jet3Chain", 1000, 5, jet::Format::Jet3}),
                         [](const auto& p) { return std::string(p.param.label); });

// Index blocks and foreign-key references patched into a definition that continues on further
// pages, and more relationship rows than one page holds.
TEST_F(JetFiles, IndexesOfAWideTableAndManyRelationships)
{
    jet::Table parent =
        table(QStringLiteral("Parent"), {jet::makeColumn(QStringLiteral("Id"), jet::ColumnType::Long)});
    jet::Index pk;
    pk.name = QStringLiteral("PrimaryKey");
    pk.primaryKey = true;
    pk.columns = {{QStringLiteral("Id"), false}};
    parent.indexes = {pk};
    jet::Table wide = table(QStringLiteral("Wide"), {});
    jet::Database db;
    for (int i = 0; i < 120; ++i) {
        const QString name =
            QStringLiteral("Ref%1_").arg(i, 3, 10, QLatin1Char('0')).leftJustified(64, QLatin1Char('x'));
        wide.columns.append(jet::makeColumn(name, jet::ColumnType::Long));
        db.relationships.append(jet::Relationship{QStringLiteral("Rel%1").arg(i),
                                                  QStringLiteral("Wide"),
                                                  {name},
                                                  QStringLiteral("Parent"),
                                                  {QStringLiteral("Id")},
                                                  i % 2 ? jet::RelationFlag::CascadeDeletes : 0u});
    }
    jet::Index last;
    last.name = QStringLiteral("LastColumns");
    last.columns = {{wide.columns[119].name, true}, {wide.columns[118].name, false}};
    wide.indexes = {last};
    db.tables = {parent, wide};
    const QString path = write(db);

    const LibmdbTable w = readWithLibmdb(path, QStringLiteral("Wide"));
    ASSERT_TRUE(w.found);
    ASSERT_EQ(w.indexes.size(), 121);
    EXPECT_EQ(w.indexes.first(), QStringLiteral("LastColumns type=0: %1 DESC, %2")
                                     .arg(wide.columns[119].name, wide.columns[118].name));
    const LibmdbTable p = readWithLibmdb(path, QStringLiteral("Parent"));
    const QList<StoredIndex> stored = storedIndexes(path, w.page);
    ASSERT_EQ(stored.size(), 121);
    for (int i = 1; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].relPage, p.page) << i;
        EXPECT_EQ(stored[i].columns, QList<int>{i - 1}) << i;
    }
    const ToolRun rows = runTool(QStringLiteral("mdb-export"),
                                 {QStringLiteral("-H"), path, QStringLiteral("MSysRelationships")});
    EXPECT_EQ(rows.lines().size(), 120);
}

// ---------------------------------------------------------------------------------------------
// Descriptions the writer refuses

struct RefusalCase
{
    const char* label;
    std::function<void(jet::Database&)> spoil;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.label;
}

class RefusalTest : public ::testing::TestWithParam<RefusalCase>
{
};

TEST_P(RefusalTest, BadDescriptionIsAnErrorNotAFile)
{
    jet::Database db;
    db.tables = {
        table(QStringLiteral("Good"), {jet::makeColumn(QStringLiteral("A"), jet::ColumnType::Long)})};
    ASSERT_NO_THROW(jet::buildFile(db));
    GetParam().spoil(db);
    EXPECT_THROW(jet::buildFile(db), std::invalid_argument);
}

jet::Column& firstColumn(jet::Database& db)
{
    return db.tables[0].columns[0];
}

jet::Index keyIndex(const QString& name, const QStringList& columns, bool primaryKey = false)
{
    jet::Index ix;
    ix.name = name;
    ix.primaryKey = primaryKey;
    for (const QString& c : columns)
        ix.columns.append(jet::IndexColumn{c, false});
    return ix;
}

// Adds a table Parent keyed on Id and a relationship Good.A -> Parent.Id; returns the list for
// spoiling.
QList<jet::Relationship>& addParentAndLink(jet::Database& db, std::uint32_t flags)
{
    jet::Table parent =
        table(QStringLiteral("Parent"), {jet::makeColumn(QStringLiteral("Id"), jet::ColumnType::Long)});
    parent.indexes = {keyIndex(QStringLiteral("PrimaryKey"), {"Id"}, true)};
    db.tables.append(parent);
    db.relationships.append(jet::Relationship{QStringLiteral("ParentGood"),
                                              QStringLiteral("Good"),
                                              {QStringLiteral("A")},
                                              QStringLiteral("Parent"),
                                              {QStringLiteral("Id")},
                                              flags});
    return db.relationships;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(
        RefusalCase{"EmptyTableName", [](jet::Database& db) { db.tables[0].name = QStringLiteral("  "); }},
        RefusalCase{"TableName65",
                    [](jet::Database& db) { db.tables[0].name = QString(65, QLatin1Char('t')); }},
        RefusalCase{"DuplicateTableInOtherCase",
                    [](jet::Database& db) {
                        db.tables.append(db.tables[0]);
                        db.tables[1].name = QStringLiteral("GOOD");
                    }},
        RefusalCase{"UserTableNamedLikeTheCatalogue",
                    [](jet::Database& db) { db.tables[0].name = QStringLiteral("msysobjects"); }},
        RefusalCase{"EmptyColumnName", [](jet::Database& db) { firstColumn(db).name.clear(); }},
        RefusalCase{"DuplicateColumn",
                    [](jet::Database& db) {
                        db.tables[0].columns.append(jet::makeColumn(QStringLiteral("a"), jet::ColumnType::Text, 5));
                    }},
        RefusalCase{"TooManyColumns",
                    [](jet::Database& db) {
                        for (int i = 0; i < 255; ++i)
                            db.tables[0].columns.append(
                                jet::makeColumn(QStringLiteral("C%1").arg(i), jet::ColumnType::Byte));
                    }},
        RefusalCase{"TextLength256",
                    [](jet::Database& db) {
                        firstColumn(db) = jet::makeColumn(QStringLiteral("A"), jet::ColumnType::Text, 256);
                    }},
        RefusalCase{"NegativeBinaryLength",
                    [](jet::Database& db) {
                        firstColumn(db) = jet::makeColumn(QStringLiteral("A"), jet::ColumnType::Binary, -1);
                    }},
        RefusalCase{"DecimalPrecision0",
                    [](jet::Database& db) {
                        firstColumn(db).type = jet::ColumnType::Numeric;
                        firstColumn(db).precision = 0;
                    }},
        RefusalCase{"DecimalPrecision29",
                    [](jet::Database& db) {
                        firstColumn(db).type = jet::ColumnType::Numeric;
                        firstColumn(db).precision = 29;
                    }},
        RefusalCase{"DecimalScaleAbovePrecision",
                    [](jet::Database& db) {
                        firstColumn(db).type = jet::ColumnType::Numeric;
                        firstColumn(db).precision = 5;
                        firstColumn(db).scale = 6;
                    }},
        RefusalCase{"UnknownTypeCode",
                    [](jet::Database& db) { firstColumn(db).type = static_cast<jet::ColumnType>(14); }},
        RefusalCase{"Jet3Decimal",
                    [](jet::Database& db) {
                        db.format = jet::Format::Jet3;
                        firstColumn(db).type = jet::ColumnType::Numeric;
                    }},
        RefusalCase{"Jet3NameOutsideCodePage",
                    [](jet::Database& db) {
                        db.format = jet::Format::Jet3;
                        db.tables[0].name = QStringLiteral("Ωmega");
                    }},
        RefusalCase{"Jet3PasswordOutsideCodePage",
                    [](jet::Database& db) {
                        db.format = jet::Format::Jet3;
                        db.password = QStringLiteral("пароль");
                    }},
        RefusalCase{"CreationDateNaN", [](jet::Database& db) { db.creationDate = std::nan(""); }},
        RefusalCase{"EmptyObjectName",
                    [](jet::Database& db) { db.otherObjects.append(jet::CatalogObject{QString(), 5, 0}); }},
        RefusalCase{"IndexOnUnknownColumn",
                    [](jet::Database& db) { db.tables[0].indexes = {keyIndex(QStringLiteral("X"), {"Nope"})}; }},
        RefusalCase{"IndexOnAnOleColumn",
                    [](jet::Database& db) {
                        firstColumn(db).type = jet::ColumnType::OLE;
                        db.tables[0].indexes = {keyIndex(QStringLiteral("X"), {"A"})};
                    }},
        RefusalCase{"IndexWithoutColumns",
                    [](jet::Database& db) { db.tables[0].indexes = {keyIndex(QStringLiteral("X"), {})}; }},
        RefusalCase{"IndexOfElevenColumns",
                    [](jet::Database& db) {
                        QStringList names;
                        for (int i = 0; i < 11; ++i) {
                            db.tables[0].columns.append(jet::makeColumn(QStringLiteral("K%1").arg(i), jet::ColumnType::Long));
                            names.append(QStringLiteral("K%1").arg(i));
                        }
                        db.tables[0].indexes = {keyIndex(QStringLiteral("Wide"), names)};
                    }},
        RefusalCase{"IndexNamesAColumnTwice",
                    [](jet::Database& db) { db.tables[0].indexes = {keyIndex(QStringLiteral("X"), {"A", "a"})}; }},
        RefusalCase{"TwoIndexesOfOneNameInOtherCase",
                    [](jet::Database& db) {
                        db.tables[0].indexes = {keyIndex(QStringLiteral("X"), {"A"}), keyIndex(QStringLiteral("x"), {"A"})};
                    }},
        RefusalCase{"TwoPrimaryKeys",
                    [](jet::Database& db) {
                        db.tables[0].columns.append(jet::makeColumn(QStringLiteral("B"), jet::ColumnType::Long));
                        db.tables[0].indexes = {keyIndex(QStringLiteral("PrimaryKey"), {"A"}, true),
                                                keyIndex(QStringLiteral("Second"), {"B"}, true)};
                    }},
        RefusalCase{"Jet3DescriptionOutsideCodePage",
                    [](jet::Database& db) {
                        db.format = jet::Format::Jet3;
                        firstColumn(db).description = QStringLiteral("理由");
                    }},
        RefusalCase{"DescriptionTooLongForAProperty",
                    [](jet::Database& db) { firstColumn(db).description = QString(40000, QLatin1Char('d')); }},
        RefusalCase{"CalculatedColumnOutsideAce",
                    [](jet::Database& db) { firstColumn(db).expression = QStringLiteral("[A]+1"); }},
        RefusalCase{"RelationshipToUnknownTable",
                    [](jet::Database& db) { addParentAndLink(db, 0)[0].referencedTable = QStringLiteral("Nowhere"); }},
        RefusalCase{"RelationshipOnUnknownColumn",
                    [](jet::Database& db) { addParentAndLink(db, 0)[0].columns = {QStringLiteral("Nope")}; }},
        RefusalCase{"RelationshipColumnCountsDiffer",
                    [](jet::Database& db) { addParentAndLink(db, 0)[0].columns.append(QStringLiteral("A")); }},
        RefusalCase{"CascadeWithoutEnforcement",
                    [](jet::Database& db) {
                        addParentAndLink(db, jet::RelationFlag::NotEnforced | jet::RelationFlag::CascadeDeletes);
                    }},
        RefusalCase{"DeleteAndSetNull",
                    [](jet::Database& db) {
                        addParentAndLink(db, jet::RelationFlag::CascadeDeletes | jet::RelationFlag::CascadeNull);
                    }},
        RefusalCase{"EnforcedWithoutUniqueIndexOnTheReferencedSide",
                    [](jet::Database& db) {
                        addParentAndLink(db, 0);
                        db.tables[1].indexes[0].primaryKey = false;
                    }},
        RefusalCase{"EnforcedOverColumnsOfDifferentTypes",
                    [](jet::Database& db) {
                        addParentAndLink(db, 0);
                        firstColumn(db).type = jet::ColumnType::Int;
                    }},
        RefusalCase{"RelationshipNamedLikeAnIndexOfItsTable",
                    [](jet::Database& db) {
                        addParentAndLink(db, 0);
                        db.tables[0].indexes = {keyIndex(QStringLiteral("ParentGood"), {"A"})};
                    }},
        RefusalCase{"TwoRelationshipsOfOneName",
                    [](jet::Database& db) {
                        addParentAndLink(db, jet::RelationFlag::NotEnforced);
                        db.relationships.append(db.relationships[0]);
                    }},
        RefusalCase{"RelationshipsWithoutSystemTables",
                    [](jet::Database& db) {
                        addParentAndLink(db, jet::RelationFlag::NotEnforced);
                        db.withSystemTables = false;
                    }},
        RefusalCase{"QueriesWithoutSystemTables",
                    [](jet::Database& db) {
                        db.queries = {jet::Query{QStringLiteral("Q")}};
                        db.withSystemTables = false;
                    }},
        RefusalCase{"QueryNamedLikeATable",
                    [](jet::Database& db) { db.queries = {jet::Query{QStringLiteral("good")}}; }},
        RefusalCase{"UnionOfOneSelect",
                    [](jet::Database& db) {
                        jet::Query q{QStringLiteral("U"), jet::QueryType::Union};
                        q.unionParts = {QStringLiteral("SELECT 1")};
                        db.queries = {q};
                    }},
        RefusalCase{"PassThroughWithoutItsStatement",
                    [](jet::Database& db) {
                        db.queries = {jet::Query{QStringLiteral("P"), jet::QueryType::PassThrough}};
                    }},
        RefusalCase{"JoinOfAnUnknownType",
                    [](jet::Database& db) {
                        jet::Query q{QStringLiteral("J")};
                        q.joins = {jet::QueryJoin{QStringLiteral("a"), QStringLiteral("b"), 4, {QStringLiteral("x")}}};
                        db.queries = {q};
                    }},
        RefusalCase{"MultiValueFieldOutsideAce",
                    [](jet::Database& db) {
                        firstColumn(db).type = jet::ColumnType::Text;
                        firstColumn(db).multiValue = jet::ColumnType::Text;
                    }}),
    [](const auto& p) { return std::string(p.param.label); });

TEST(JetWriterFile, UnwritablePathThrowsAndLeavesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("missing/sub/x.mdb"));
    EXPECT_THROW(jet::writeFile(path, jet::sampleDatabase()), std::runtime_error);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(JetWriterFile, RefusedDescriptionLeavesAnExistingFileAlone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("keep.mdb"));
    jet::writeFile(path, jet::sampleDatabase());
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    jet::Database bad;
    bad.tables = {table(QString(), {})};
    EXPECT_THROW(jet::writeFile(path, bad), std::invalid_argument);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

} // namespace
