#include "JetCatalogReader.h"

#include "Automation.h"
#include "HelperProcess.h"
#include "JetReaderFormat.h"

#include <QFileInfo>
#include <QMutex>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>

using namespace jetreader;

namespace {

std::atomic<int> g_timeoutMs{20000};
std::atomic<bool> g_readQueries{true};

struct ProgramPath
{
    QMutex mutex;
    QString path;
};

ProgramPath& programPath()
{
    static ProgramPath p;
    return p;
}

// What a reader may send at most: far more than any real catalogue, far less than trouble.
constexpr qint64 kMaxReaderOutput = 256LL * 1024 * 1024;
// Address space the reader may use beyond the file it maps.
constexpr qint64 kReaderMemoryMiB = 1024;
constexpr std::int32_t kHelpBase = 5000000;

[[noreturn]] void damaged(const QString& path)
{
    throw JetDamagedError(path);
}

// Takes a reader's message apart with bounds checks: a reader that died half-way leaves a torn one.
class Reader
{
public:
    explicit Reader(const QByteArray& data, qsizetype from = 0) : m_data(data), m_pos(from) {}
    bool atEnd() const { return m_pos == m_data.size(); }
    qsizetype position() const { return m_pos; }
    // True once a read asked for more bytes than there were: a message that is still arriving,
    // or one that was torn.
    bool ranShort() const { return m_short; }
    // For a count that needs more bytes than are left; true.
    bool markShort() { return m_short = true; }
    qsizetype remaining() const { return m_data.size() - m_pos; }
    bool peekU32(std::uint32_t& v)
    {
        if (remaining() < qsizetype(sizeof v))
            return m_short = true, false;
        std::memcpy(&v, m_data.constData() + m_pos, sizeof v);
        return true;
    }
    bool u32(std::uint32_t& v) { return raw(&v, sizeof v); }
    bool i32(std::int32_t& v) { return raw(&v, sizeof v); }
    bool str(QString& s)
    {
        std::uint32_t n = 0;
        if (!u32(n))
            return false;
        if (n > static_cast<std::uint32_t>(m_data.size() - m_pos))
            return m_short = true, false;
        s = QString::fromUtf8(m_data.constData() + m_pos, static_cast<qsizetype>(n));
        m_pos += n;
        return true;
    }

private:
    bool raw(void* out, std::size_t n)
    {
        if (m_data.size() - m_pos < static_cast<qsizetype>(n))
            return m_short = true, false;
        std::memcpy(out, m_data.constData() + m_pos, n);
        m_pos += static_cast<qsizetype>(n);
        return true;
    }
    const QByteArray& m_data;
    qsizetype m_pos = 0;
    bool m_short = false;
};

// Runs the reader and checks its message's opening; the rest is left in the reader's hands. A
// reported error is thrown: "cannot open" as the damaged file it means, others with their text.
QByteArray runReader(const QString& mode, const QString& path, const QByteArray& input,
                     const HelperOutputConsumer& consume = {}, bool withQueries = true)
{
    const QString program = JetReaderProgram();
    const qint64 memoryMiB = kReaderMemoryMiB + QFileInfo(path).size() / (1024 * 1024) + 1;
    const int timeoutMs = g_timeoutMs.load();
    const QStringList arguments = {mode,
                                   path,
                                   QStringLiteral("--time-limit"),
                                   QString::number(timeoutMs / 1000 + 2),
                                   QStringLiteral("--memory-limit"),
                                   QString::number(memoryMiB),
                                   QStringLiteral("--queries"),
                                   withQueries ? QStringLiteral("1") : QStringLiteral("0")};
    HelperRunResult r = RunHelperProgram(program, arguments, input, timeoutMs, kMaxReaderOutput, consume);
    if (r.status == HelperRunResult::StartFailed)
        throw AutomationError(
            kHelpBase + kJetCannotOpen,
            QStringLiteral("Could not start the Access reader '%1' for '%2'.").arg(program, path));
    if (r.status != HelperRunResult::Finished || (r.exitCode != 0 && r.exitCode != kExitReported))
        damaged(path);
    return std::move(r.output);
}

// Reads the opening of a message; throws for a reported error or anything torn.
void readOpening(Reader& in, const QString& path)
{
    std::uint32_t magic = 0, version = 0;
    if (!in.u32(magic) || magic != kJetReaderMagic || !in.u32(version) || version != kJetReaderVersion)
        damaged(path);
}

[[noreturn]] void throwReported(Reader& in, const QString& path)
{
    std::int32_t number = 0;
    QString message;
    // Jet's error numbers are small and positive; anything else did not come from the reader (and
    // would overflow the help context it is turned into).
    if (!in.i32(number) || !in.str(message) || number == kJetCannotOpen || number <= 0 || number > 0xFFFF)
        damaged(path);
    if (message.isEmpty())
        message = QStringLiteral("Syntax error in query.");
    throw AutomationError(kHelpBase + number, message);
}

// The end record: the count must match what arrived, and nothing may follow.
void readEnd(Reader& in, std::uint32_t records, const QString& path)
{
    std::uint32_t count = 0;
    if (!in.u32(count) || count != records || !in.atEnd())
        damaged(path);
}

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 0x20) : c;
}

} // namespace

AutomationError JetDamagedError(const QString& path)
{
    return AutomationError(kHelpBase + kJetCannotOpen,
                           QStringLiteral("Cannot open database '%1'.  It may not be a database that your "
                                          "application recognizes, or the file may be corrupt.")
                               .arg(path));
}

void SetJetSavedQueriesRead(bool read)
{
    g_readQueries.store(read);
}

bool JetSavedQueriesRead()
{
    return g_readQueries.load();
}

void SetJetReaderTimeout(int milliseconds)
{
    g_timeoutMs.store(milliseconds > 0 ? milliseconds : 1);
}

int JetReaderTimeout()
{
    return g_timeoutMs.load();
}

void SetJetReaderProgram(const QString& path)
{
    ProgramPath& p = programPath();
    QMutexLocker lock(&p.mutex);
    p.path = path;
}

QString JetReaderProgram()
{
    {
        ProgramPath& p = programPath();
        QMutexLocker lock(&p.mutex);
        if (!p.path.isEmpty())
            return p.path;
    }
    return HelperProgramPath(QStringLiteral("orvane-jet-reader"));
}

bool JetNameLess(const QString& a, const QString& b)
{
    // a.compare(b, Qt::CaseInsensitive) < 0, without Qt's general case folding while both are ASCII.
    const qsizetype common = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t cx = a.at(i).unicode();
        const char16_t cy = b.at(i).unicode();
        if (cx >= 0x80 || cy >= 0x80)
            return a.compare(b, Qt::CaseInsensitive) < 0;
        if (asciiLower(cx) != asciiLower(cy))
            return asciiLower(cx) < asciiLower(cy);
    }
    return a.size() < b.size();
}

JetCatalogue ReadJetCatalogue(const QString& path, const QString& password,
                              const JetLocalTableTaker& takeLocal, bool withQueries)
{
    // The password is the first line of the reader's input: a line end inside one would end it there.
    QByteArray input = password.section(QLatin1Char('\n'), 0, 0).toUtf8() + '\n';
    // Records are read while the reader still writes the rest. What goes wrong in them waits until
    // the run is over: a reader that crashed or ran out of time says more than the torn record.
    JetCatalogueStream stream(path, takeLocal);
    std::exception_ptr failure;
    const QByteArray rest = runReader(
        QStringLiteral("catalogue"), path, input,
        [&](const QByteArray& arrived) {
            if (failure)
                return arrived.size();
            try {
                return stream.feed(arrived, false);
            } catch (...) {
                failure = std::current_exception();
                return arrived.size();
            }
        },
        withQueries);
    input.fill('\0');
    if (failure)
        std::rethrow_exception(failure);
    stream.feed(rest, true);
    return stream.take();
}

namespace {

bool isByte(std::int32_t v)
{
    return v >= 0 && v <= 0xFF;
}

// A count that cannot be true: more entries than bytes left, each entry taking at least minBytes.
bool countTooLarge(std::uint32_t count, Reader& in, qsizetype minBytes)
{
    return qint64(count) * minBytes > in.remaining() && in.markShort();
}

// A block of properties: its count, then name and value of each.
void readProperties(Reader& in, QList<std::pair<QString, QString>>& properties, const QString& path)
{
    std::uint32_t count = 0;
    if (!in.u32(count) || countTooLarge(count, in, 8))
        damaged(path);
    for (std::uint32_t i = 0; i < count; ++i) {
        QString name, value;
        if (!in.str(name) || !in.str(value))
            damaged(path);
        properties.append({std::move(name), std::move(value)});
    }
}

void readColumn(Reader& in, JetColumnInfo& col, const QString& path)
{
    std::int32_t type = 0, flags = 0, precision = 0, scale = 0;
    if (!in.str(col.name) || !in.i32(type) || !in.i32(col.size) || !in.i32(flags) || !in.i32(precision) ||
        !in.i32(scale) || !in.str(col.defaultValue) || !in.str(col.expression) || !in.str(col.description))
        damaged(path);
    readProperties(in, col.properties, path);
    if (!isByte(type) || !isByte(precision) || !isByte(scale))
        damaged(path);
    col.jetType = std::uint8_t(type);
    col.fixed = flags & kColumnFixed;
    col.autoLong = flags & kColumnAutoLong;
    col.autoGuid = flags & kColumnAutoGuid;
    col.required = flags & kColumnRequired;
    col.hyperlink = flags & kColumnHyperlink;
    col.precision = std::uint8_t(precision);
    col.scale = std::uint8_t(scale);
}

void readIndex(Reader& in, JetIndexInfo& index, const QString& path)
{
    std::int32_t flags = 0;
    std::uint32_t keyCount = 0;
    if (!in.str(index.name) || !in.i32(flags) || !in.u32(keyCount) || countTooLarge(keyCount, in, 8))
        damaged(path);
    index.primary = flags & kIndexPrimary;
    index.unique = flags & kIndexUnique;
    for (std::uint32_t k = 0; k < keyCount; ++k) {
        JetIndexColumn column;
        std::int32_t descending = 0;
        if (!in.str(column.name) || !in.i32(descending) || (descending != 0 && descending != 1))
            damaged(path);
        column.descending = descending == 1;
        index.columns.append(std::move(column));
    }
}

JetTableInfo readTable(Reader& in, const QString& path)
{
    JetTableInfo table;
    std::uint32_t columnCount = 0, indexCount = 0;
    if (!in.str(table.name) || !in.i32(table.id) || !in.i32(table.flags) || !in.str(table.description))
        damaged(path);
    readProperties(in, table.properties, path);
    if (!in.u32(columnCount) || countTooLarge(columnCount, in, 40))
        damaged(path);
    table.columns.reserve(columnCount);
    for (std::uint32_t c = 0; c < columnCount; ++c) {
        JetColumnInfo col;
        readColumn(in, col, path);
        table.columns.append(std::move(col));
    }
    if (!in.u32(indexCount) || countTooLarge(indexCount, in, 12))
        damaged(path);
    for (std::uint32_t i = 0; i < indexCount; ++i) {
        JetIndexInfo index;
        readIndex(in, index, path);
        table.indexes.append(std::move(index));
    }
    return table;
}

JetTableInfo readLink(Reader& in, const QString& path)
{
    JetTableInfo table;
    JetLinkInfo link;
    if (!in.str(table.name) || !in.i32(table.id) || !in.i32(link.type) || !in.i32(table.flags) ||
        !in.str(link.foreignName) || !in.str(link.database) || !in.str(link.connect) ||
        (link.type != kLinkJet && link.type != kLinkOdbc))
        damaged(path);
    table.link = std::move(link);
    return table;
}

JetRelationRow readRelation(Reader& in, const QString& path)
{
    JetRelationRow row;
    if (!in.str(row.name) || !in.str(row.table) || !in.str(row.column) || !in.str(row.referencedTable) ||
        !in.str(row.referencedColumn) || !in.i32(row.position) || !in.i32(row.flags))
        damaged(path);
    return row;
}

JetComplexColumn readComplex(Reader& in, const QString& path)
{
    JetComplexColumn complex;
    if (!in.str(complex.column) || !in.i32(complex.tableId) || !in.i32(complex.flatTableId))
        damaged(path);
    return complex;
}

JetQueryInfo readQuery(Reader& in, const QString& path)
{
    JetQueryInfo query;
    std::uint32_t rowCount = 0;
    if (!in.str(query.name) || !in.i32(query.id) || !in.i32(query.flags) || !in.str(query.description) ||
        !in.u32(rowCount) || countTooLarge(rowCount, in, 20))
        damaged(path);
    query.rows.reserve(rowCount);
    for (std::uint32_t r = 0; r < rowCount; ++r) {
        JetQueryRow row;
        std::int32_t attribute = 0, flag = 0;
        if (!in.i32(attribute) || !in.i32(flag) || !in.str(row.name1) || !in.str(row.name2) ||
            !in.str(row.expression) || !isByte(attribute) || flag < -32768 || flag > 32767)
            damaged(path);
        row.attribute = attribute;
        row.flag = flag;
        query.rows.append(std::move(row));
    }
    return query;
}

// The field names of a result and its rows up to the end record; returns how many rows came.
std::uint32_t readResult(Reader& in, JetQueryResult& result, const QString& path)
{
    std::uint32_t columnCount = 0;
    if (!in.u32(columnCount) || countTooLarge(columnCount, in, 4))
        damaged(path);
    for (std::uint32_t j = 0; j < columnCount; ++j) {
        QString name;
        if (!in.str(name))
            damaged(path);
        result.columns.append(name);
    }
    std::uint32_t tag = 0;
    for (;;) {
        if (!in.peekU32(tag))
            damaged(path);
        if (tag != kTagRow)
            break;
        in.u32(tag);
        QStringList row;
        row.reserve(qMin<qsizetype>(columnCount, in.remaining() / 4));
        for (std::uint32_t j = 0; j < columnCount; ++j) {
            QString value;
            if (!in.str(value))
                damaged(path);
            row.append(value);
        }
        result.rows.append(row);
    }
    return std::uint32_t(result.rows.size());
}

} // namespace

QString JetSystemTableStatement()
{
    return QString::fromLatin1(kSystemTableStatement);
}

bool JetIsSystemFlags(std::int32_t flags)
{
    return (static_cast<std::uint32_t>(flags) & 0x80000002u) != 0;
}

JetQueryResult JetSystemTablesOnly(JetQueryResult answer)
{
    qsizetype flagsColumn = -1;
    for (qsizetype i = 0; i < answer.columns.size() && flagsColumn < 0; ++i) {
        if (answer.columns[i].compare(QLatin1String("Flags"), Qt::CaseInsensitive) == 0)
            flagsColumn = i;
    }
    if (flagsColumn < 0)
        return answer;
    answer.rows.removeIf([flagsColumn](const QStringList& row) {
        bool ok = false;
        const qlonglong flags = row.value(flagsColumn).toLongLong(&ok);
        return !ok || !JetIsSystemFlags(static_cast<std::int32_t>(flags));
    });
    return answer;
}

namespace {

// Reads one record into catalogue; records counts them, ended is set by the end record.
void readRecord(Reader& in, JetCatalogue& catalogue, std::uint32_t& records, bool& ended, const QString& path,
                const JetLocalTableTaker& takeLocal)
{
    std::uint32_t tag = 0;
    if (!in.u32(tag))
        damaged(path);
    if (tag == kTagEnd) {
        std::uint32_t count = 0;
        if (!in.u32(count) || count != records)
            damaged(path);
        ended = true;
        return;
    }
    // The statement's answer is the last thing before the end.
    if (catalogue.systemTables)
        damaged(path);
    switch (tag) {
    case kTagError:
        throwReported(in, path);
    case kTagTable:
        if (takeLocal)
            takeLocal(readTable(in, path));
        else
            catalogue.tables.append(readTable(in, path));
        ++records;
        break;
    case kTagLink:
        catalogue.tables.append(readLink(in, path));
        ++records;
        break;
    case kTagRelation:
        catalogue.relations.append(readRelation(in, path));
        ++records;
        break;
    case kTagComplex:
        catalogue.complexColumns.append(readComplex(in, path));
        ++records;
        break;
    case kTagQuery:
        catalogue.queries.append(readQuery(in, path));
        ++records;
        break;
    case kTagColumns: {
        JetQueryResult answer;
        records += readResult(in, answer, path);
        catalogue.systemTables = std::move(answer);
        break;
    }
    default:
        damaged(path);
    }
}

} // namespace

JetCatalogueStream::JetCatalogueStream(QString path, JetLocalTableTaker takeLocal)
    : m_path(std::move(path)), m_takeLocal(std::move(takeLocal))
{
}

qsizetype JetCatalogueStream::feed(const QByteArray& data, bool last)
{
    Reader in(data);
    if (!m_opened) {
        // Eight bytes say whose message this is; fewer are a message still arriving.
        if (data.size() < 8 && !last)
            return 0;
        readOpening(in, m_path);
        m_opened = true;
    }
    while (!m_ended) {
        const qsizetype start = in.position();
        try {
            readRecord(in, m_catalogue, m_records, m_ended, m_path, m_takeLocal);
        } catch (const AutomationError&) {
            // A record that is not all there yet is read again whole once more has come.
            if (!last && in.ranShort())
                return start;
            throw;
        }
    }
    if (last && !in.atEnd())
        damaged(m_path);
    return in.position();
}

JetCatalogue JetCatalogueStream::take()
{
    if (!m_ended)
        damaged(m_path);
    std::stable_sort(
        m_catalogue.tables.begin(), m_catalogue.tables.end(),
        [](const JetTableInfo& a, const JetTableInfo& b) { return JetNameLess(a.name, b.name); });
    std::stable_sort(
        m_catalogue.queries.begin(), m_catalogue.queries.end(),
        [](const JetQueryInfo& a, const JetQueryInfo& b) { return JetNameLess(a.name, b.name); });
    return std::move(m_catalogue);
}

JetCatalogue ParseJetCatalogueMessage(const QByteArray& data, const QString& path)
{
    JetCatalogueStream stream(path);
    stream.feed(data, true);
    return stream.take();
}

QString JetNormalizedStatement(const QString& sql)
{
    // The reader refuses a statement that ends in ";", which the engine it stands in for accepts.
    QString text = sql.trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    // The statement is one line after the password line; line ends inside it are blanks to SQL
    // anyway.
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

JetQueryResult RunJetQuery(const QString& path, const QString& sql, const QString& password)
{
    const QString text = JetNormalizedStatement(sql);
    QByteArray input = password.section(QLatin1Char('\n'), 0, 0).toUtf8() + '\n' + text.toUtf8();
    const QByteArray data = runReader(QStringLiteral("query"), path, input);
    input.fill('\0');
    return ParseJetQueryMessage(data, path);
}

JetQueryResult ParseJetQueryMessage(const QByteArray& data, const QString& path)
{
    Reader in(data);
    readOpening(in, path);
    JetQueryResult result;
    std::uint32_t tag = 0;
    if (!in.u32(tag))
        damaged(path);
    if (tag == kTagError)
        throwReported(in, path);
    if (tag != kTagColumns)
        damaged(path);
    const std::uint32_t rows = readResult(in, result, path);
    if (!in.u32(tag) || tag != kTagEnd)
        damaged(path);
    readEnd(in, rows, path);
    return result;
}
