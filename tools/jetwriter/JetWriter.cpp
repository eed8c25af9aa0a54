// Builds the page image of an Access database from a Database description.
//
// Page plan: 0 header, 1 first page of usage-map rows, 2 the MSysObjects definition (readers
// expect it there), then every other table definition (continuing on further pages where long),
// then the MSysObjects data pages side by side so one bitmap row covers them, then any further
// usage-map pages. Map rows are placed last and their positions patched into the definitions.
#include "JetWriter.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

namespace jet {
namespace {

constexpr int kMaxNameLength = 64;  // Access refuses longer object and column names
constexpr int kMaxColumns = 255;    // Access's limit; readers keep the column number in one byte
constexpr int kMapBitmapBytes = 64; // a usage-map row as Access writes it: 512 pages from its start page

[[noreturn]] void invalid(const QString& what)
{
    throw std::invalid_argument(what.toStdString());
}

// Sizes and offsets that differ between the two on-disk generations.
struct Layout
{
    bool jet3;
    int pageSize;
    int rowCountOffset;  // data pages: row count, followed by the row offset table
    int tdefColumnStart; // the real-index row counts, then the column blocks, start here
    int columnBlockSize;
    int textUnit; // bytes per character of Text
    int rowCountSize() const { return jet3 ? 1 : 2; }
};

Layout layoutFor(Format f)
{
    if (f == Format::Jet3)
        return {true, 2048, 8, 43, 18, 1};
    return {false, 4096, 12, 63, 25, 2};
}

void put16(char* p, std::uint32_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}

void put32(char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

void putDouble(char* p, double d)
{
    std::uint64_t bits;
    static_assert(sizeof bits == sizeof d);
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i)
        p[i] = char((bits >> (8 * i)) & 0xFF);
}

QByteArray le16(std::uint32_t v)
{
    QByteArray b(2, '\0');
    put16(b.data(), v);
    return b;
}

QByteArray le32(std::uint32_t v)
{
    QByteArray b(4, '\0');
    put32(b.data(), v);
    return b;
}

// The header region and nothing else is masked with this fixed RC4 key; encryption and
// decryption are the same operation.
void rc4(const unsigned char* key, int keyLen, char* data, int len)
{
    std::array<unsigned char, 256> s;
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLen]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] = char(static_cast<unsigned char>(data[n]) ^ s[(s[i] + s[j]) & 0xFF]);
    }
}

// Windows-1252, the code page Jet 3 files store text in. Characters it lacks are refused rather
// than replaced: a silently altered name or password would make a fixture lie.
std::optional<QByteArray> toCp1252(const QString& text)
{
    static const char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32; ++i)
            if (high[i] == u && u != 0)
                found = i;
        if (found < 0)
            return std::nullopt;
        out.append(char(0x80 + found));
    }
    return out;
}

QByteArray ucs2(const QString& text)
{
    QByteArray out(text.size() * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        put16(out.data() + 2 * i, text.at(i).unicode());
    return out;
}

QByteArray encodeText(const Layout& lay, const QString& text, const QString& what)
{
    if (!lay.jet3)
        return ucs2(text);
    auto bytes = toCp1252(text);
    if (!bytes)
        invalid(QStringLiteral("%1 \"%2\" has characters a Jet 3 file cannot hold").arg(what, text));
    return *bytes;
}

void checkName(const QString& name, const QString& what)
{
    if (name.trimmed().isEmpty())
        invalid(QStringLiteral("%1 name is empty").arg(what));
    if (name.size() > kMaxNameLength)
        invalid(QStringLiteral("%1 name \"%2\" is longer than %3 characters")
                    .arg(what, name)
                    .arg(kMaxNameLength));
}

// ---------------------------------------------------------------------------------------------
// Columns

struct ColumnDef
{
    ColumnType type;
    bool fixed;
    std::uint8_t flags;
    std::uint8_t extraFlags;
    int size; // bytes as stored
    int number;
    int varIndex;
    int fixedOffset;
    std::uint8_t misc1, misc2; // precision/scale, or the sort order for text
    QByteArray name;           // encoded
};

struct TableDefs
{
    std::vector<ColumnDef> columns;
    int varCount = 0;
    int fixedAreaSize = 0;
};

int storageSize(ColumnType t)
{
    switch (t) {
    case ColumnType::Bool:
    case ColumnType::Byte:
        return 1;
    case ColumnType::Int:
        return 2;
    case ColumnType::Long:
    case ColumnType::Float:
    case ColumnType::Complex:
        return 4;
    case ColumnType::Money:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::BigInt:
        return 8;
    case ColumnType::RepId:
        return 16;
    case ColumnType::Numeric:
        return 17;
    case ColumnType::ExtDateTime:
        return 42;
    default:
        return 0; // variable or sized by the column
    }
}

bool knownType(ColumnType t)
{
    switch (t) {
    case ColumnType::Bool:
    case ColumnType::Byte:
    case ColumnType::Int:
    case ColumnType::Long:
    case ColumnType::Money:
    case ColumnType::Float:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Binary:
    case ColumnType::Text:
    case ColumnType::OLE:
    case ColumnType::Memo:
    case ColumnType::Unknown13:
    case ColumnType::RepId:
    case ColumnType::Numeric:
    case ColumnType::Complex:
    case ColumnType::BigInt:
    case ColumnType::ExtDateTime:
        return true;
    }
    return false;
}

TableDefs defineColumns(const Layout& lay, const Table& table)
{
    if (table.columns.size() > kMaxColumns)
        invalid(QStringLiteral("table \"%1\" has %2 columns, more than %3")
                    .arg(table.name)
                    .arg(table.columns.size())
                    .arg(kMaxColumns));
    TableDefs defs;
    defs.columns.reserve(table.columns.size());
    QSet<QString> seen;
    int number = 0;
    for (const Column& c : table.columns) {
        // Message texts are only composed on failure: benchmark files have tens of thousands of columns.
        auto where = [&] { return QStringLiteral("column \"%1\" of table \"%2\"").arg(c.name, table.name); };
        if (c.name.trimmed().isEmpty() || c.name.size() > kMaxNameLength)
            checkName(c.name, QStringLiteral("a column of table \"%1\":").arg(table.name));
        const QString folded = c.name.toLower();
        if (seen.contains(folded))
            invalid(QStringLiteral("%1 appears twice").arg(where()));
        seen.insert(folded);
        if (!knownType(c.type))
            invalid(
                QStringLiteral("%1 has type code %2, which Jet does not know").arg(where()).arg(int(c.type)));
        if (lay.jet3 && (c.type == ColumnType::Numeric || int(c.type) >= int(ColumnType::Complex)))
            invalid(
                QStringLiteral("%1: a Jet 3 file cannot hold type code %2").arg(where()).arg(int(c.type)));

        ColumnDef d{};
        d.type = c.type;
        d.number = number++;
        d.name = encodeText(lay, c.name, QStringLiteral("column name"));
        d.size = storageSize(c.type);
        d.fixed = d.size > 0;
        if (c.type == ColumnType::Text || c.type == ColumnType::Binary) {
            const int chars = c.length == 0 ? 255 : c.length;
            if (chars < 1 || chars > 255)
                invalid(QStringLiteral("%1 has length %2; 1 to 255 fit").arg(where()).arg(c.length));
            d.size = c.type == ColumnType::Text ? chars * lay.textUnit : chars;
            d.fixed = c.fixed;
        }
        if (c.type == ColumnType::Numeric) {
            if (c.precision < 1 || c.precision > 28 || c.scale < 0 || c.scale > c.precision)
                invalid(QStringLiteral("%1 has precision %2 and scale %3; precision 1 to 28 and scale 0 to "
                                       "precision fit")
                            .arg(where())
                            .arg(c.precision)
                            .arg(c.scale));
            d.misc1 = std::uint8_t(c.precision);
            d.misc2 = std::uint8_t(c.scale);
        }
        if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
            d.misc1 = 0x09; // sort order 0x409, general
            d.misc2 = 0x04;
            if (!lay.jet3)
                d.extraFlags = 0x01; // Unicode compression, as Access sets it for new text columns
        }

        const bool autoLong = c.autoNumber && c.type == ColumnType::Long;
        const bool autoGuid = c.autoNumber && c.type == ColumnType::RepId;
        d.flags = (d.fixed ? ColumnFlag::Fixed : 0) | (autoLong || autoGuid ? 0 : ColumnFlag::Updatable) |
                  (autoLong ? ColumnFlag::AutoLong : 0) | (autoGuid ? ColumnFlag::AutoGuid : 0) |
                  (c.hyperlink && c.type == ColumnType::Memo ? ColumnFlag::Hyperlink : 0) | c.extraFlags;
        defs.columns.push_back(d);
    }
    // Fixed values sit in column order; Yes/No columns keep their value in the null mask and
    // take no room. Variable values are numbered in column order too.
    for (ColumnDef& d : defs.columns) {
        if (d.fixed) {
            d.fixedOffset = defs.fixedAreaSize;
            if (d.type != ColumnType::Bool)
                defs.fixedAreaSize += d.size;
        } else {
            d.varIndex = defs.varCount++;
        }
    }
    return defs;
}

// ---------------------------------------------------------------------------------------------
// Table definitions

// Index structures in a table definition; Jet 3 has the same fields without the leading
// constants and the unknown gaps.
struct IndexLayout
{
    int countSize;   // per real index, before the column blocks: its row count
    int realSize;    // per real index, after the column names
    int realColumns; // offsets in it: the ten column slots,
    int realMap;     // the usage-map pointer,
    int realRoot;    // the first index page,
    int realFlags;   // and the flags
    int logicalSize; // per logical index, after the real ones
    int logicalBase; // its fields start here
    int firstEntry;  // index pages: where the entries begin, after the entry bitmap
};

IndexLayout indexLayoutFor(const Layout& lay)
{
    if (lay.jet3)
        return {8, 39, 0, 30, 34, 38, 20, 0, 0xF8};
    return {12, 52, 4, 34, 38, 46, 28, 4, 0x1E0};
}

constexpr int kMaxIndexColumns = 10;
constexpr std::uint32_t kRealIndexMagic = 1923;    // constant Access puts in front of a real index
constexpr std::uint32_t kLogicalIndexMagic = 1625; // and in front of a logical one
constexpr std::uint8_t kIndexFlagUnique = 0x01;
constexpr std::uint8_t kIndexFlagIgnoreNulls = 0x02;
constexpr std::uint8_t kIndexFlagRequired = 0x08;
constexpr std::uint8_t kIndexFlagAlways = 0x80; // set by Access 2000 and later on every index

// A stored B-tree: the columns it orders by and its flags. Several logical indexes may share one.
struct RealIndex
{
    std::vector<std::pair<int, bool>> columns; // column number, descending
    std::uint8_t flags = kIndexFlagAlways;
    qsizetype streamOffset = 0; // of its block in the definition stream, for later patching
};

// A named index as the user (or a relationship) sees it.
struct LogicalIndex
{
    QString name;
    int real = 0;
    std::uint8_t type = 0; // 1 primary key, 2 foreign key
    // Foreign-key indexes only: which side this table is (1 referenced, 2 referencing), the
    // other side's logical index number and table, and the cascade actions.
    std::uint8_t relTableType = 0;
    int relIndex = -1;
    int relTable = -1; // position in the table list; its definition page is patched in
    std::uint8_t cascadeUpdates = 0;
    std::uint8_t cascadeDeletes = 0; // 1 delete, 2 set Null
    qsizetype streamOffset = 0;
};

struct IndexPlan
{
    std::vector<RealIndex> reals;
    std::vector<LogicalIndex> logicals;
};

QByteArray definitionStream(const Layout& lay, const TableDefs& defs, std::uint32_t flags,
                            std::uint32_t rowCount, IndexPlan* plan = nullptr)
{
    const bool system = (flags & (TableFlag::System | TableFlag::AltSystem)) != 0;
    const int ncols = int(defs.columns.size());
    QByteArray s(lay.tdefColumnStart, '\0');
    char* h = s.data();
    h[0] = 0x02;
    h[1] = 0x01;
    if (lay.jet3) {
        put32(h + 12, rowCount);
        h[20] = system ? 0x53 : 0x4E;
        put16(h + 21, ncols);
        put16(h + 23, defs.varCount);
        put16(h + 25, ncols);
    } else {
        put32(h + 16, rowCount);
        h[40] = system ? 0x53 : 0x4E;
        put16(h + 41, ncols);
        put16(h + 43, defs.varCount);
        put16(h + 45, ncols);
    }
    const IndexLayout il = indexLayoutFor(lay);
    if (plan) {
        put32(h + (lay.jet3 ? 27 : 47), std::uint32_t(plan->logicals.size()));
        put32(h + (lay.jet3 ? 31 : 51), std::uint32_t(plan->reals.size()));
        // Row counts of the indexes: all empty.
        s.append(QByteArray(il.countSize * qsizetype(plan->reals.size()), '\0'));
    }
    for (const ColumnDef& d : defs.columns) {
        QByteArray b(lay.columnBlockSize, '\0');
        char* p = b.data();
        p[0] = char(d.type);
        if (lay.jet3) {
            put16(p + 1, d.number);
            put16(p + 3, d.varIndex);
            put16(p + 5, d.number);
            if (d.type == ColumnType::Text || d.type == ColumnType::Memo)
                put16(p + 7, 0x409);
            p[13] = char(d.flags);
            put16(p + 14, d.fixedOffset);
            put16(p + 16, d.size);
        } else {
            put16(p + 5, d.number);
            put16(p + 7, d.varIndex);
            put16(p + 9, d.number);
            p[11] = char(d.misc1);
            p[12] = char(d.misc2);
            p[15] = char(d.flags);
            p[16] = char(d.extraFlags);
            put16(p + 21, d.fixedOffset);
            put16(p + 23, d.size);
        }
        s.append(b);
    }
    for (const ColumnDef& d : defs.columns) {
        s.append(lay.jet3 ? QByteArray(1, char(d.name.size())) : le16(d.name.size()));
        s.append(d.name);
    }
    if (plan) {
        for (RealIndex& r : plan->reals) {
            r.streamOffset = s.size();
            QByteArray b(il.realSize, '\0');
            char* p = b.data();
            if (!lay.jet3)
                put32(p, kRealIndexMagic);
            for (int i = 0; i < kMaxIndexColumns; ++i) {
                char* slot = p + il.realColumns + 3 * i;
                if (i < int(r.columns.size())) {
                    put16(slot, std::uint32_t(r.columns[std::size_t(i)].first));
                    slot[2] = r.columns[std::size_t(i)].second ? 0x00 : 0x01; // 1 = ascending
                } else {
                    put16(slot, 0xFFFF);
                }
            }
            // Its usage-map row and first index page are patched in later.
            p[il.realFlags] = char(r.flags);
            s.append(b);
        }
        for (std::size_t n = 0; n < plan->logicals.size(); ++n) {
            LogicalIndex& l = plan->logicals[n];
            l.streamOffset = s.size();
            QByteArray b(il.logicalSize, '\0');
            if (!lay.jet3)
                put32(b.data(), kLogicalIndexMagic);
            char* p = b.data() + il.logicalBase;
            put32(p, std::uint32_t(n));
            put32(p + 4, std::uint32_t(l.real));
            p[8] = char(l.relTableType);
            put32(p + 9, std::uint32_t(l.relIndex)); // -1 for an index that is no foreign key
            // +13: the other table's definition page, patched in later.
            p[17] = char(l.cascadeUpdates);
            p[18] = char(l.cascadeDeletes);
            p[19] = char(l.type);
            s.append(b);
        }
        for (const LogicalIndex& l : plan->logicals) {
            const QByteArray name = encodeText(lay, l.name, QStringLiteral("index name"));
            s.append(lay.jet3 ? QByteArray(1, char(name.size())) : le16(std::uint32_t(name.size())));
            s.append(name);
        }
    }
    s.append(le16(0xFFFF)); // end of the (empty) column usage-map list
    put32(s.data() + 8, std::uint32_t(s.size()));
    return s;
}

// ---------------------------------------------------------------------------------------------
// Rows and data pages

// A value as stored, or nullopt for NULL. Yes/No values: an empty array is Yes, nullopt No.
using Value = std::optional<QByteArray>;

QByteArray buildRow(const Layout& lay, const TableDefs& defs, const std::vector<Value>& values)
{
    const int ncols = int(defs.columns.size());
    const int w = lay.rowCountSize();
    QByteArray row(w + defs.fixedAreaSize, '\0');
    if (lay.jet3)
        row[0] = char(ncols);
    else
        put16(row.data(), ncols);
    QByteArray mask((ncols + 7) / 8, '\0');
    std::vector<int> varStart(defs.varCount + 1, 0);
    for (int i = 0; i < ncols; ++i) {
        const ColumnDef& d = defs.columns[i];
        const Value& v = values[i];
        if (v)
            mask[d.number / 8] = char(mask[d.number / 8] | (1 << (d.number % 8)));
        if (d.fixed && v && d.type != ColumnType::Bool)
            std::memcpy(row.data() + w + d.fixedOffset, v->constData(),
                        std::min<qsizetype>(v->size(), d.size));
    }
    for (int vi = 0; vi < defs.varCount; ++vi) {
        for (int i = 0; i < ncols; ++i) {
            const ColumnDef& d = defs.columns[i];
            if (!d.fixed && d.varIndex == vi) {
                varStart[vi] = int(row.size());
                if (values[i])
                    row.append(*values[i]);
            }
        }
    }
    varStart[defs.varCount] = int(row.size());
    auto putOffset = [&](int v) { row.append(lay.jet3 ? QByteArray(1, char(v)) : le16(v)); };
    if (defs.varCount > 0) {
        for (int vi = defs.varCount; vi >= 0; --vi)
            putOffset(varStart[vi]);
        putOffset(defs.varCount);
    }
    row.append(mask);
    // Jet 3 offsets are single bytes; longer rows need a jump table, which is not written.
    if (lay.jet3 && row.size() > 256)
        invalid(QStringLiteral("a row of %1 bytes is too long for a Jet 3 file; use shorter names")
                    .arg(row.size()));
    return row;
}

// ---------------------------------------------------------------------------------------------
// The file image

struct PageRow
{
    std::uint32_t page = 0;
    int row = 0;
    std::uint32_t pointer() const { return (page << 8) | std::uint32_t(row); }
};

class Image
{
public:
    explicit Image(const Layout& lay) : m_lay(lay) {}

    std::uint32_t newPage()
    {
        const auto n = std::uint32_t(m_bytes.size() / m_lay.pageSize);
        if (n >= 0x7FFFFF)
            invalid(QStringLiteral("the database would need more pages than a page pointer can address"));
        // Grown by doubling: appending page by page would copy the image once per page.
        const qsizetype needed = m_bytes.size() + m_lay.pageSize;
        if (m_bytes.capacity() < needed)
            m_bytes.reserve(std::max<qsizetype>(needed, 2 * m_bytes.capacity()));
        m_bytes.resize(needed, '\0');
        return n;
    }
    char* page(std::uint32_t n) { return m_bytes.data() + qsizetype(n) * m_lay.pageSize; }
    QByteArray take() { return std::move(m_bytes); }

    // Writes a definition stream on its first page and as many continuation pages as it needs.
    std::uint32_t writeDefinition(QByteArray stream, std::optional<std::uint32_t> firstPage = {})
    {
        const int P = m_lay.pageSize;
        // A stream that ends exactly on a page end makes a reader step onto a next page that is
        // not there; two spare bytes keep it off the boundary.
        if (stream.size() >= P && (stream.size() - P) % (P - 8) == 0)
            stream.append(2, '\0');
        const std::uint32_t first = firstPage ? *firstPage : newPage();
        std::uint32_t current = first;
        qsizetype pos = 0;
        int headerLen = 0; // the first page's header is part of the stream
        while (true) {
            const qsizetype chunk = std::min<qsizetype>(stream.size() - pos, P - headerLen);
            std::memcpy(page(current) + headerLen, stream.constData() + pos, chunk);
            pos += chunk;
            char* p = page(current);
            p[0] = 0x02;
            p[1] = 0x01;
            put16(p + 2, std::uint32_t(P - headerLen - chunk));
            if (pos >= stream.size()) {
                put32(p + 4, 0);
                break;
            }
            const std::uint32_t next = newPage();
            put32(page(current) + 4, next);
            current = next;
            headerLen = 8;
        }
        return first;
    }

    // Overwrites four bytes at offset of the definition stream that starts on page first. The
    // stream is cut at page ends, so the bytes may lie on two pages.
    void patchDefinition(std::uint32_t first, qsizetype offset, std::uint32_t value)
    {
        const int P = m_lay.pageSize;
        for (int i = 0; i < 4; ++i) {
            qsizetype at = offset + i;
            std::uint32_t pg = first;
            if (at >= P) {
                at -= P;
                pg = nextPage(pg);
                while (at >= P - 8) {
                    at -= P - 8;
                    pg = nextPage(pg);
                }
                at += 8;
            }
            page(pg)[at] = char((value >> (8 * i)) & 0xFF);
        }
    }

private:
    std::uint32_t nextPage(std::uint32_t pg)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(page(pg));
        return std::uint32_t(p[4]) | (std::uint32_t(p[5]) << 8) | (std::uint32_t(p[6]) << 16) |
               (std::uint32_t(p[7]) << 24);
    }

    const Layout& m_lay;
    QByteArray m_bytes;
};

// Fills data pages with rows, each page owned by one table definition.
class RowPacker
{
public:
    RowPacker(const Layout& lay, Image& image, std::uint32_t owner, std::vector<std::uint32_t> reserved = {})
        : m_lay(lay), m_image(image), m_owner(owner), m_reserved(std::move(reserved))
    {
    }

    PageRow add(const QByteArray& row)
    {
        const int P = m_lay.pageSize;
        if (row.size() > P - m_lay.rowCountOffset - 4)
            invalid(QStringLiteral("a row of %1 bytes does not fit on a page").arg(row.size()));
        if (!m_open || m_rows == 255 || freeSpace() < row.size() + 2)
            openPage();
        char* p = m_image.page(m_current);
        m_top -= int(row.size());
        std::memcpy(p + m_top, row.constData(), row.size());
        put16(p + m_lay.rowCountOffset + 2 + 2 * m_rows, std::uint32_t(m_top));
        const PageRow at{m_current, m_rows};
        ++m_rows;
        put16(p + m_lay.rowCountOffset, std::uint32_t(m_rows));
        put16(p + 2, std::uint32_t(freeSpace()));
        return at;
    }

    const std::vector<std::uint32_t>& pages() const { return m_pages; }

private:
    int freeSpace() const { return m_top - (m_lay.rowCountOffset + 2 + 2 * m_rows); }

    void openPage()
    {
        if (!m_reserved.empty()) {
            m_current = m_reserved.front();
            m_reserved.erase(m_reserved.begin());
        } else {
            m_current = m_image.newPage();
        }
        m_pages.push_back(m_current);
        char* p = m_image.page(m_current);
        p[0] = 0x01;
        p[1] = 0x01;
        put32(p + 4, m_owner);
        m_open = true;
        m_rows = 0;
        m_top = m_lay.pageSize;
        put16(p + 2, std::uint32_t(freeSpace()));
    }

    const Layout& m_lay;
    Image& m_image;
    std::uint32_t m_owner;
    std::vector<std::uint32_t> m_reserved;
    std::vector<std::uint32_t> m_pages;
    bool m_open = false;
    std::uint32_t m_current = 0;
    int m_rows = 0;
    int m_top = 0;
};

// A type-0 usage map: start page, then one bit per page from there on.
QByteArray usageMap(const Layout& lay, std::uint32_t startPage, const std::vector<std::uint32_t>& pages)
{
    std::uint32_t span = 0;
    for (std::uint32_t p : pages)
        span = std::max(span, p - startPage + 1);
    const int bitmapBytes = std::max<int>(kMapBitmapBytes, int((span + 7) / 8));
    if (5 + bitmapBytes > lay.pageSize - lay.rowCountOffset - 4)
        invalid(QStringLiteral("too many catalogue pages for one usage-map row"));
    QByteArray m(5 + bitmapBytes, '\0');
    put32(m.data() + 1, startPage);
    for (std::uint32_t p : pages) {
        const std::uint32_t bit = p - startPage;
        m[5 + bit / 8] = char(m[5 + bit / 8] | (1 << (bit % 8)));
    }
    return m;
}

// ---------------------------------------------------------------------------------------------
// The system tables

Column col(const QString& name, ColumnType type, int length = 0)
{
    Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

Table msysObjects()
{
    return Table{
        QStringLiteral("MSysObjects"),
        {col("Id", ColumnType::Long), col("ParentId", ColumnType::Long), col("Name", ColumnType::Text, 255),
         col("Type", ColumnType::Int), col("DateCreate", ColumnType::DateTime),
         col("DateUpdate", ColumnType::DateTime), col("Owner", ColumnType::Binary, 255),
         col("Flags", ColumnType::Long), col("Database", ColumnType::Memo), col("Connect", ColumnType::Memo),
         col("ForeignName", ColumnType::Text, 255), col("RmtInfoShort", ColumnType::Binary, 255),
         col("RmtInfoLong", ColumnType::OLE), col("Lv", ColumnType::OLE), col("LvProp", ColumnType::OLE),
         col("LvModule", ColumnType::OLE), col("LvExtra", ColumnType::OLE)},
        TableFlag::System | TableFlag::AltSystem,
        0};
}

QList<Table> otherSystemTables()
{
    Table aces{QStringLiteral("MSysACEs"),
               {col("ACM", ColumnType::Long), col("FInheritable", ColumnType::Bool),
                col("ObjectId", ColumnType::Long), col("SID", ColumnType::Binary, 255)},
               TableFlag::System,
               0};
    Table queries{QStringLiteral("MSysQueries"),
                  {col("Attribute", ColumnType::Byte), col("Expression", ColumnType::Memo),
                   col("Flag", ColumnType::Int), col("LvExtra", ColumnType::OLE),
                   col("Name1", ColumnType::Text, 255), col("Name2", ColumnType::Text, 255),
                   col("ObjectId", ColumnType::Long), col("Order", ColumnType::Binary, 255)},
                  TableFlag::System,
                  0};
    Table relationships{
        QStringLiteral("MSysRelationships"),
        {col("ccolumn", ColumnType::Long), col("grbit", ColumnType::Long), col("icolumn", ColumnType::Long),
         col("szColumn", ColumnType::Text, 64), col("szObject", ColumnType::Text, 64),
         col("szReferencedColumn", ColumnType::Text, 64), col("szReferencedObject", ColumnType::Text, 64),
         col("szRelationship", ColumnType::Text, 64)},
        TableFlag::System,
        0};
    Table storage{QStringLiteral("MSysAccessStorage"),
                  {col("DateCreate", ColumnType::DateTime), col("DateUpdate", ColumnType::DateTime),
                   col("Id", ColumnType::Long), col("Lv", ColumnType::OLE),
                   col("Name", ColumnType::Text, 128), col("ParentId", ColumnType::Long),
                   col("Type", ColumnType::Long)},
                  TableFlag::AltSystem | TableFlag::Hidden,
                  0};
    storage.columns[2].autoNumber = true;
    Table imex{QStringLiteral("MSysIMEXSpecs"),
               {col("DateDelim", ColumnType::Text, 2), col("DateFourDigitYear", ColumnType::Bool),
                col("DateLeadingZeros", ColumnType::Bool), col("DateOrder", ColumnType::Int),
                col("DecimalPoint", ColumnType::Text, 2), col("FieldSeparator", ColumnType::Text, 2),
                col("FileType", ColumnType::Int), col("SpecID", ColumnType::Long),
                col("SpecName", ColumnType::Text, 64), col("SpecType", ColumnType::Byte),
                col("StartRow", ColumnType::Long), col("TextDelim", ColumnType::Text, 2),
                col("TimeDelim", ColumnType::Text, 2)},
               TableFlag::AltSystem,
               0};
    imex.columns[7].autoNumber = true;
    return {aces, queries, relationships, storage, imex};
}

struct CatalogRow
{
    std::uint32_t id;
    std::uint32_t parentId;
    QString name;
    std::int16_t type;
    std::uint32_t flags;
    const CatalogObject* object = nullptr; // its link columns, if any
    Value lvProp = std::nullopt;           // the design-property blob, as the row holds it
};

// A Memo value short enough to live in the row: its length with the inline bit, eight bytes that
// point nowhere, then the text.
QByteArray inlineMemo(const QByteArray& text)
{
    return le32(std::uint32_t(text.size()) | 0x80000000u) + QByteArray(8, '\0') + text;
}

Value optionalText(const Layout& lay, const QString& text, const QString& what, bool memo)
{
    if (text.isEmpty())
        return std::nullopt;
    const QByteArray bytes = encodeText(lay, text, what);
    return memo ? inlineMemo(bytes) : bytes;
}

constexpr std::uint32_t kContainerBase = 0x0F000000u; // ids of objects without a definition page

void writeHeader(char* p, const Layout& lay, const Database& db)
{
    p[0] = 0x00;
    p[1] = 0x01;
    const QByteArray engine = db.format == Format::Ace12 ? "Standard ACE DB" : "Standard Jet DB";
    std::memcpy(p + 4, engine.constData(), engine.size());
    put32(p + 0x14, db.format == Format::Jet3 ? 0 : db.format == Format::Jet4 ? 1 : 2);

    put16(p + 0x3C, db.codePage);
    put32(p + 0x3E, 0); // no page encoding
    if (lay.jet3) {
        put16(p + 0x3A, db.sortOrder);
        auto bytes = toCp1252(db.password);
        if (!bytes)
            invalid(QStringLiteral("the password has characters a Jet 3 file cannot hold"));
        std::memcpy(p + 0x42, bytes->constData(), std::min<qsizetype>(bytes->size(), 20));
    } else {
        put32(p + 0x6E, db.sortOrder);
        putDouble(p + 0x72, db.creationDate);
        QByteArray field = ucs2(db.password.left(20));
        field.resize(40, '\0');
        // The password bytes are masked with the creation date's whole days, little-endian.
        const double days = std::trunc(db.creationDate);
        const auto mask = std::uint32_t(std::int32_t(std::clamp(days, -2147483648.0, 2147483647.0)));
        for (int i = 0; i < 40; ++i)
            field[i] = char(static_cast<unsigned char>(field[i]) ^ ((mask >> (8 * (i % 4))) & 0xFF));
        std::memcpy(p + 0x42, field.constData(), 40);
    }
    static const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, 4, p + 0x18, lay.jet3 ? 126 : 128);
}

// ---------------------------------------------------------------------------------------------
// Indexes and relationships

int columnPosition(const Table& t, const QString& name)
{
    for (qsizetype i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool hasIndexNamed(const IndexPlan& plan, const QString& name)
{
    return std::any_of(plan.logicals.begin(), plan.logicals.end(),
                       [&](const LogicalIndex& l) { return l.name.compare(name, Qt::CaseInsensitive) == 0; });
}

void addUserIndex(IndexPlan& plan, const Table& t, const Index& ix)
{
    checkName(ix.name, QStringLiteral("an index of table \"%1\":").arg(t.name));
    auto where = [&] { return QStringLiteral("index \"%1\" of table \"%2\"").arg(ix.name, t.name); };
    if (hasIndexNamed(plan, ix.name))
        invalid(QStringLiteral("%1 appears twice").arg(where()));
    if (ix.columns.isEmpty() || ix.columns.size() > kMaxIndexColumns)
        invalid(QStringLiteral("%1 has %2 columns; 1 to %3 fit")
                    .arg(where())
                    .arg(ix.columns.size())
                    .arg(kMaxIndexColumns));
    RealIndex r;
    for (const IndexColumn& c : ix.columns) {
        const int n = columnPosition(t, c.name);
        if (n < 0)
            invalid(QStringLiteral("%1 names the unknown column \"%2\"").arg(where(), c.name));
        const ColumnType type = t.columns[n].type;
        if (type == ColumnType::OLE || type == ColumnType::Complex)
            invalid(
                QStringLiteral("%1: column \"%2\" is of a type Access cannot index").arg(where(), c.name));
        if (std::any_of(r.columns.begin(), r.columns.end(), [&](const auto& rc) { return rc.first == n; }))
            invalid(QStringLiteral("%1 names column \"%2\" twice").arg(where(), c.name));
        r.columns.emplace_back(n, c.descending);
    }
    if (ix.primaryKey && std::any_of(plan.logicals.begin(), plan.logicals.end(),
                                     [](const LogicalIndex& l) { return l.type == 1; }))
        invalid(QStringLiteral("table \"%1\" has two primary keys").arg(t.name));
    if (ix.primaryKey || ix.unique)
        r.flags |= kIndexFlagUnique;
    if (ix.primaryKey || ix.required)
        r.flags |= kIndexFlagRequired;
    if (ix.ignoreNulls)
        r.flags |= kIndexFlagIgnoreNulls;
    plan.reals.push_back(r);
    LogicalIndex l;
    l.name = ix.name;
    l.real = int(plan.reals.size()) - 1;
    l.type = ix.primaryKey ? 1 : 0;
    plan.logicals.push_back(l);
}

bool sameColumns(const RealIndex& r, const std::vector<int>& columns)
{
    if (r.columns.size() != columns.size())
        return false;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (r.columns[i].first != columns[i] || r.columns[i].second)
            return false;
    return true;
}

// The two hidden indexes of an enforced relationship: one on the referenced side sharing its
// unique index, one on the referencing side sharing an index over the same columns or its own.
void addForeignKeyIndexes(std::vector<IndexPlan>& plans, int from, const std::vector<int>& fromColumns,
                          int to, const std::vector<int>& toColumns, const Relationship& rel,
                          const QList<Table>& tables)
{
    const std::uint8_t updates = (rel.flags & RelationFlag::CascadeUpdates) ? 1 : 0;
    const std::uint8_t deletes = (rel.flags & RelationFlag::CascadeDeletes) ? 1
                                 : (rel.flags & RelationFlag::CascadeNull)  ? 2
                                                                            : 0;
    int shared = -1;
    for (std::size_t i = 0; i < plans[std::size_t(to)].reals.size() && shared < 0; ++i) {
        const RealIndex& r = plans[std::size_t(to)].reals[i];
        if (sameColumns(r, toColumns) && (r.flags & kIndexFlagUnique))
            shared = int(i);
    }
    if (shared < 0)
        invalid(QStringLiteral("relationship \"%1\": table \"%2\" has no unique index over exactly the "
                               "referenced columns, which an enforced relationship needs")
                    .arg(rel.name, tables[to].name));
    if (hasIndexNamed(plans[std::size_t(from)], rel.name))
        invalid(QStringLiteral("relationship \"%1\": table \"%2\" already has an index of that name")
                    .arg(rel.name, tables[from].name));

    // Access names the referenced side's indexes .rB, .rC, ... .rZ (names compare without case);
    // past that the letters continue as .rBB, .rBC, ...
    QString primaryName;
    for (int n = 0; primaryName.isEmpty(); ++n) {
        QString suffix;
        for (int k = n; k >= 0; k = k / 25 - 1)
            suffix.prepend(QChar(char16_t(u'B' + k % 25)));
        const QString candidate = QStringLiteral(".r") + suffix;
        if (!hasIndexNamed(plans[std::size_t(to)], candidate))
            primaryName = candidate;
    }
    LogicalIndex primary;
    primary.name = primaryName;
    primary.real = shared;
    primary.type = 2;
    primary.relTableType = 1;
    primary.relTable = from;
    primary.cascadeUpdates = updates;
    primary.cascadeDeletes = deletes;
    plans[std::size_t(to)].logicals.push_back(primary);
    const int primaryNumber = int(plans[std::size_t(to)].logicals.size()) - 1;
    // The referencing side's index comes next in its table (the same table for a relationship
    // of a table with itself).
    IndexPlan& sp = plans[std::size_t(from)];
    plans[std::size_t(to)].logicals.back().relIndex = int(sp.logicals.size());

    int real = -1;
    for (std::size_t i = 0; i < sp.reals.size() && real < 0; ++i)
        if (sameColumns(sp.reals[i], fromColumns))
            real = int(i);
    if (real < 0) {
        RealIndex r;
        for (int c : fromColumns)
            r.columns.emplace_back(c, false);
        sp.reals.push_back(r);
        real = int(sp.reals.size()) - 1;
    }
    LogicalIndex secondary;
    secondary.name = rel.name;
    secondary.real = real;
    secondary.type = 2;
    secondary.relTableType = 2;
    secondary.relIndex = primaryNumber;
    secondary.relTable = to;
    secondary.cascadeUpdates = updates;
    secondary.cascadeDeletes = deletes;
    sp.logicals.push_back(secondary);
}

// ---------------------------------------------------------------------------------------------
// Design properties (MSysObjects.LvProp)

struct Property
{
    QString name;
    ColumnType type;
    bool ddl; // a property of the engine's own (DefaultValue, Required), not one Access added
    QByteArray value;
};

Property textProperty(const Layout& lay, const QString& name, const QString& value, bool ddl)
{
    return Property{name, ColumnType::Memo, ddl, encodeText(lay, value, name)};
}

// A property Access keeps as Text (10) rather than Memo.
Property shortTextProperty(const Layout& lay, const QString& name, const QString& value, bool ddl)
{
    return Property{name, ColumnType::Text, ddl, encodeText(lay, value, name)};
}

Property shortProperty(const QString& name, int value)
{
    return Property{name, ColumnType::Int, false, le16(std::uint32_t(value))};
}

Property yesProperty(const QString& name, bool ddl)
{
    return Property{name, ColumnType::Bool, ddl, QByteArray(1, char(0xFF))};
}

// The design view's field properties (Description, DefaultValue and Required are written apart).
void addFieldProperties(const Layout& lay, const Column& c, std::vector<Property>& props)
{
    if (!c.caption.isEmpty())
        props.push_back(shortTextProperty(lay, QStringLiteral("Caption"), c.caption, false));
    if (!c.format.isEmpty())
        props.push_back(shortTextProperty(lay, QStringLiteral("Format"), c.format, false));
    if (!c.inputMask.isEmpty())
        props.push_back(shortTextProperty(lay, QStringLiteral("InputMask"), c.inputMask, false));
    if (c.decimalPlaces >= 0)
        props.push_back(Property{QStringLiteral("DecimalPlaces"), ColumnType::Byte, false,
                                 QByteArray(1, char(c.decimalPlaces))});
    if (c.allowZeroLength)
        props.push_back(yesProperty(QStringLiteral("AllowZeroLength"), true));
    if (!c.validationRule.isEmpty())
        props.push_back(textProperty(lay, QStringLiteral("ValidationRule"), c.validationRule, true));
    if (!c.validationText.isEmpty())
        props.push_back(shortTextProperty(lay, QStringLiteral("ValidationText"), c.validationText, true));
    // A multi-value field's lookup lives on its values' table.
    if (c.lookup && !c.multiValue) {
        const Lookup& l = *c.lookup;
        props.push_back(shortProperty(QStringLiteral("DisplayControl"), l.displayControl));
        if (l.displayControl != 106 && l.displayControl != 109) {
            props.push_back(shortTextProperty(lay, QStringLiteral("RowSourceType"), l.rowSourceType, false));
            props.push_back(textProperty(lay, QStringLiteral("RowSource"), l.rowSource, false));
            props.push_back(shortProperty(QStringLiteral("BoundColumn"), l.boundColumn));
            props.push_back(shortProperty(QStringLiteral("ColumnCount"), l.columnCount));
            if (l.limitToList)
                props.push_back(yesProperty(QStringLiteral("LimitToList"), false));
        }
    }
}

// The property blob of a table: "MR2\0" ("KKD\0" in Jet 3), the pool of property names, then a block for the
// table itself (no name, type 0) and one per column with properties (its name, type 1). Empty if the table
// has no properties.
QByteArray propertyBlob(const Layout& lay, Format format, const Table& t)
{
    std::vector<std::pair<QString, std::vector<Property>>> blocks;
    std::vector<Property> own;
    if (!t.description.isEmpty())
        own.push_back(textProperty(lay, QStringLiteral("Description"), t.description, false));
    if (!t.validationRule.isEmpty())
        own.push_back(textProperty(lay, QStringLiteral("ValidationRule"), t.validationRule, true));
    if (!t.validationText.isEmpty())
        own.push_back(textProperty(lay, QStringLiteral("ValidationText"), t.validationText, true));
    if (!own.empty())
        blocks.push_back({QString(), std::move(own)});
    for (const Column& c : t.columns) {
        std::vector<Property> props;
        if (!c.description.isEmpty())
            props.push_back(textProperty(lay, QStringLiteral("Description"), c.description, false));
        if (!c.defaultValue.isEmpty())
            props.push_back(textProperty(lay, QStringLiteral("DefaultValue"), c.defaultValue, true));
        if (c.required)
            props.push_back(
                Property{QStringLiteral("Required"), ColumnType::Bool, true, QByteArray(1, char(0xFF))});
        if (!c.expression.isEmpty()) {
            if (format != Format::Ace12)
                invalid(QStringLiteral("column \"%1\" of table \"%2\": calculated columns need an ACE file")
                            .arg(c.name, t.name));
            props.push_back(textProperty(lay, QStringLiteral("Expression"), c.expression, true));
            props.push_back(
                Property{QStringLiteral("ResultType"), ColumnType::Byte, true, QByteArray(1, char(c.type))});
        }
        addFieldProperties(lay, c, props);
        if (!props.empty())
            blocks.push_back({c.name, std::move(props)});
    }
    if (blocks.empty())
        return {};
    if (!blocks.front().first.isEmpty())
        blocks.insert(blocks.begin(), {QString(), {}}); // the table's own block comes first

    QStringList pool;
    auto nameIndex = [&](const QString& n) {
        qsizetype i = pool.indexOf(n);
        if (i < 0) {
            pool.append(n);
            i = pool.size() - 1;
        }
        return std::uint32_t(i);
    };
    for (const auto& b : blocks)
        for (const Property& p : b.second)
            nameIndex(p.name);

    auto chunk = [](std::uint32_t type, const QByteArray& body) {
        return le32(std::uint32_t(6 + body.size())) + le16(type) + body;
    };
    QByteArray names;
    for (const QString& n : pool) {
        const QByteArray bytes = encodeText(lay, n, QStringLiteral("property name"));
        names += le16(std::uint32_t(bytes.size())) + bytes;
    }
    QByteArray blob(lay.jet3 ? "KKD\0" : "MR2\0", 4);
    blob += chunk(0x80, names);
    for (const auto& b : blocks) {
        const QByteArray objectName = encodeText(lay, b.first, QStringLiteral("column name"));
        QByteArray body =
            le32(std::uint32_t(6 + objectName.size())) + le16(std::uint32_t(objectName.size())) + objectName;
        for (const Property& p : b.second) {
            if (p.value.size() > 0xFFFF - 8)
                invalid(QStringLiteral("table \"%1\": the %2 of \"%3\" is too long for a property")
                            .arg(t.name, p.name, b.first.isEmpty() ? t.name : b.first));
            QByteArray entry = le16(std::uint32_t(8 + p.value.size()));
            entry.append(char(p.ddl ? 1 : 0));
            entry.append(char(p.type));
            entry += le16(nameIndex(p.name)) + le16(std::uint32_t(p.value.size())) + p.value;
            body += entry;
        }
        blob += chunk(b.first.isEmpty() ? 0x00 : 0x01, body);
    }
    return blob;
}

constexpr std::uint32_t kLvalOwner = 0x4C41564Cu; // "LVAL" where a data page names its table
constexpr int kMaxInlineLongValue = 64;           // longer values go to long-value pages

// A long (OLE or Memo) value as the row holds it: inline when short, else a pointer to one row
// of a long-value page, or to the first of a chain of rows that each start with the next's pointer.
QByteArray longValue(const Layout& lay, RowPacker& lval, const QByteArray& data)
{
    if (data.size() <= kMaxInlineLongValue)
        return inlineMemo(data);
    const auto size = std::uint32_t(data.size());
    // Longer values are split over several rows.
    const qsizetype maxRow = lay.jet3 ? 2032 : 4076;
    if (data.size() <= maxRow)
        return le32(size | 0x40000000u) + le32(lval.add(data).pointer()) + le32(0);
    const qsizetype piece = maxRow - 4;
    std::uint32_t next = 0;
    for (qsizetype i = (data.size() + piece - 1) / piece - 1; i >= 0; --i)
        next = lval.add(le32(next) + data.mid(i * piece, piece)).pointer();
    return le32(size) + le32(next) + le32(0);
}

// An index page with no entries: the root of the index of an empty table.
void writeEmptyLeaf(char* p, const Layout& lay, std::uint32_t tdefPage)
{
    p[0] = 0x04;
    p[1] = 0x01;
    put16(p + 2, std::uint32_t(lay.pageSize - indexLayoutFor(lay).firstEntry));
    put32(p + 4, tdefPage);
}

// ---------------------------------------------------------------------------------------------
// Saved queries (MSysQueries)

// One MSysQueries row before it is encoded.
struct QueryRowSpec
{
    std::uint8_t attribute;
    std::int16_t flag = 0;
    QString name1{};
    QString name2{};
    QString expression{};
    bool hasFlag = true; // false: Flag is Null
};

// MSysObjects.Flags of a query's type (DAO's QueryDefTypeEnum) and the Flag of its type row.
std::pair<std::uint32_t, int> queryTypeCodes(QueryType type)
{
    switch (type) {
    case QueryType::Select:
        return {0, 1};
    case QueryType::MakeTable:
        return {80, 2};
    case QueryType::Append:
        return {64, 3};
    case QueryType::Update:
        return {48, 4};
    case QueryType::Delete:
        return {32, 5};
    case QueryType::Crosstab:
        return {16, 6};
    case QueryType::DataDefinition:
        return {96, 7};
    case QueryType::PassThrough:
        return {112, 8};
    case QueryType::Union:
        return {128, 9};
    }
    return {0, 1};
}

// The rows Access writes for a query, in the order it inserts them: the start (0) and end (255)
// marks, the type (1; none for a select), parameters (2), output columns (6), joins (7), tables
// (5), WHERE (8), GROUP BY (9), HAVING (10), ORDER BY (11), and last the options (3) when any is
// set. Stored texts end in a NUL.
std::vector<QueryRowSpec> queryRows(const Query& q)
{
    auto where = [&] { return QStringLiteral("query \"%1\"").arg(q.name); };
    std::vector<QueryRowSpec> rows;
    rows.push_back({0, 0});
    rows.push_back({255, 0, {}, {}, {}, false});
    const int typeCode = queryTypeCodes(q.type).second;
    const QChar nul(0);
    switch (q.type) {
    case QueryType::Select:
        break;
    case QueryType::PassThrough:
        if (q.text.isEmpty())
            invalid(QStringLiteral("%1 has no statement").arg(where()));
        rows.push_back({1, std::int16_t(typeCode), q.connect, {}, q.text + nul});
        return rows;
    case QueryType::DataDefinition:
        if (q.text.isEmpty())
            invalid(QStringLiteral("%1 has no statement").arg(where()));
        rows.push_back({1, std::int16_t(typeCode), {}, {}, q.text + nul});
        return rows;
    case QueryType::Union: {
        if (q.unionParts.size() < 2)
            invalid(QStringLiteral("%1 needs two or more SELECTs").arg(where()));
        const QString glue =
            q.unionAll ? QStringLiteral("\r\nUNION ALL\r\n") : QStringLiteral("\r\nUNION\r\n");
        // Access keeps the first member's trailing blank.
        rows.push_back({5,
                        0,
                        {},
                        QStringLiteral("X7YZ_____1"),
                        q.unionParts.mid(0, q.unionParts.size() - 1).join(glue) + u' '});
        rows.push_back({1, std::int16_t(typeCode)});
        rows.push_back({5, 0, {}, QStringLiteral("X7YZ_____2"), q.unionParts.constLast()});
        for (const auto& [expression, descending] : q.orderBy)
            rows.push_back({11, 0, descending ? QStringLiteral("D") : QString(), {}, expression});
        rows.push_back({3, std::int16_t(q.unionAll ? 1 : 3)});
        return rows;
    }
    default:
        if ((q.type == QueryType::MakeTable || q.type == QueryType::Append) && q.target.isEmpty())
            invalid(QStringLiteral("%1 has no target table").arg(where()));
        // A make-table query's type row follows its columns.
        if (q.type != QueryType::MakeTable)
            rows.push_back({1, std::int16_t(typeCode), q.target});
        break;
    }
    for (const QueryParameter& p : q.parameters)
        rows.push_back({2, std::int16_t(p.daoType), p.name});
    const bool crosstab = q.type == QueryType::Crosstab;
    // An append of a VALUES list names its target columns through the columns' targets alone.
    const bool valuesOnly = q.type == QueryType::Append && !q.values.isEmpty();
    for (const QueryColumn& c : valuesOnly ? QList<QueryColumn>() : q.columns) {
        if (q.type == QueryType::Update)
            rows.push_back({6, 0, {}, c.target, c.expression});
        else
            rows.push_back(
                {6, std::int16_t(crosstab && c.rowHeading ? 2 : 0), c.alias, c.target, c.expression});
    }
    for (qsizetype i = 0; i < q.values.size(); ++i)
        rows.push_back({6, std::int16_t(-32768), {}, q.columns.value(i).target, q.values[i]});
    if (crosstab) {
        if (q.transform.isEmpty() || q.pivot.isEmpty())
            invalid(QStringLiteral("%1 needs a value and a column heading").arg(where()));
        rows.push_back({6, 1, {}, {}, q.pivot});
        rows.push_back({6, 0, q.transformAlias, {}, q.transform});
    }
    if (q.type == QueryType::MakeTable)
        rows.push_back({1, std::int16_t(typeCode), q.target});
    for (const QueryJoin& j : q.joins) {
        if (j.type < 1 || j.type > 3 || j.conditions.isEmpty())
            invalid(
                QStringLiteral("%1 has a join of type %2 or without a condition").arg(where()).arg(j.type));
        // Access keeps a join's later conditions first.
        for (qsizetype i = j.conditions.size() - 1; i >= 0; --i)
            rows.push_back({7, std::int16_t(j.type), j.left, j.right, j.conditions[i]});
    }
    for (const QueryTable& t : q.tables)
        rows.push_back({5, 0, t.name, t.alias, {}, false});
    if (!q.where.isEmpty())
        rows.push_back({8, 0, {}, {}, q.where});
    for (const QString& g : q.groupBy)
        rows.push_back({9, std::int16_t(crosstab ? 2 : 0), {}, {}, g});
    if (crosstab)
        rows.push_back({9, 0, {}, {}, q.pivot});
    if (!q.having.isEmpty())
        rows.push_back({10, 0, {}, {}, q.having});
    for (const auto& [expression, descending] : q.orderBy)
        rows.push_back({11, 0, descending ? QStringLiteral("D") : QString(), {}, expression});
    const int options = (q.allFields ? 0x01 : 0) | (q.distinct ? 0x02 : 0) | (q.distinctRow ? 0x08 : 0) |
                        (q.top > 0 ? 0x10 : 0) | (q.top > 0 && q.percent ? 0x20 : 0);
    if (options != 0)
        rows.push_back({3, std::int16_t(options), q.top > 0 ? QString::number(q.top) : QString()});
    return rows;
}

// The multi-value fields of a table: their hidden tables of values go into the file too.
struct ComplexField
{
    QString column;
    int table;     // position in the table list
    int flatTable; // likewise
};

constexpr std::uint32_t kFlatTableFlags = 0x800A0000u; // what Access gives a field's table of values

} // namespace

QByteArray buildFile(const Database& db)
{
    const Layout lay = layoutFor(db.format);
    if (!std::isfinite(db.creationDate))
        invalid(QStringLiteral("the creation date is not a number"));

    // Names are checked up front; any later refusal still throws before writeFile touches the disk.
    QList<Table> tables;
    if (db.withSystemTables)
        tables = otherSystemTables();
    const int userBase = int(tables.size());
    QSet<QString> names{QStringLiteral("msysobjects")};
    for (const Table& t : tables)
        names.insert(t.name.toLower());
    for (const Table& t : db.tables) {
        checkName(t.name, QStringLiteral("a table"));
        if (names.contains(t.name.toLower()))
            invalid(QStringLiteral("table \"%1\" appears twice").arg(t.name));
        names.insert(t.name.toLower());
        tables.append(t);
    }
    for (const CatalogObject& o : db.otherObjects)
        checkName(o.name, QStringLiteral("a catalogue object"));
    for (const Query& q : db.queries) {
        checkName(q.name, QStringLiteral("a query"));
        if (names.contains(q.name.toLower()))
            invalid(QStringLiteral("query \"%1\" has the name of a table or another query").arg(q.name));
        names.insert(q.name.toLower());
    }
    if (!db.queries.isEmpty() && !db.withSystemTables)
        invalid(QStringLiteral("queries need the system tables"));

    // Multi-value fields (ACE): a hidden table of the values per field, and MSysComplexColumns.
    std::vector<ComplexField> complexFields;
    const int userEnd = int(tables.size());
    for (int i = userBase; i < userEnd; ++i) {
        for (const Column& c : tables[i].columns) {
            if (!c.multiValue)
                continue;
            if (db.format != Format::Ace12 || c.type != ColumnType::Complex)
                invalid(QStringLiteral(
                            "column \"%1\" of table \"%2\": a multi-value field is a Complex column of "
                            "an ACE file")
                            .arg(c.name, tables[i].name));
            Column value = makeColumn(QStringLiteral("Value"), *c.multiValue,
                                      *c.multiValue == ColumnType::Text ? 255 : 0);
            value.lookup = c.lookup;
            Column owner = makeColumn(QStringLiteral("_") + c.name, ColumnType::Long);
            const QString flatName = QStringLiteral("f_%1_%2").arg(
                QString::number(0x5A3C0000u + std::uint32_t(complexFields.size()), 16)
                    .toUpper()
                    .rightJustified(32, u'0'),
                c.name);
            tables.append(Table{flatName, {owner, value}, kFlatTableFlags, 0});
            complexFields.push_back({c.name, i, int(tables.size()) - 1});
        }
    }
    int complexTable = -1;
    if (!complexFields.empty()) {
        tables.append(
            Table{QStringLiteral("MSysComplexColumns"),
                  {col("ColumnName", ColumnType::Text, 64), col("ComplexID", ColumnType::Long),
                   col("ComplexTypeObjectID", ColumnType::Long), col("ConceptualTableID", ColumnType::Long),
                   col("FlatTableID", ColumnType::Long)},
                  TableFlag::System,
                  std::uint32_t(complexFields.size())});
        complexTable = int(tables.size()) - 1;
    }

    const Table catalogTable = msysObjects();
    const TableDefs catalogDefs = defineColumns(lay, catalogTable);
    std::vector<TableDefs> defs;
    defs.reserve(tables.size());
    for (const Table& t : tables)
        defs.push_back(defineColumns(lay, t));

    // Indexes: the user's first, then the hidden ones of the relationships in their order, then
    // the indexes made after them. A logical index's number is its position.
    std::vector<IndexPlan> plans(tables.size());
    for (int i = userBase; i < int(tables.size()); ++i) {
        for (const Index& ix : tables[i].indexes)
            if (!ix.afterRelationships)
                addUserIndex(plans[std::size_t(i)], tables[i], ix);
    }
    auto userTable = [&](const QString& name) {
        for (int i = userBase; i < int(tables.size()); ++i)
            if (tables[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    const int relTable = db.withSystemTables ? 2 : -1; // MSysRelationships
    if (!db.relationships.isEmpty() && relTable < 0)
        invalid(QStringLiteral("relationships need the system tables"));
    std::vector<QByteArray> relRows;
    QSet<QString> relNames;
    for (const Relationship& r : db.relationships) {
        checkName(r.name, QStringLiteral("a relationship"));
        auto where = [&] { return QStringLiteral("relationship \"%1\"").arg(r.name); };
        if (relNames.contains(r.name.toLower()))
            invalid(QStringLiteral("%1 appears twice").arg(where()));
        relNames.insert(r.name.toLower());
        const int from = userTable(r.table);
        const int to = userTable(r.referencedTable);
        if (from < 0 || to < 0)
            invalid(QStringLiteral("%1 names an unknown table").arg(where()));
        if (r.columns.isEmpty() || r.columns.size() != r.referencedColumns.size() ||
            r.columns.size() > kMaxIndexColumns)
            invalid(QStringLiteral("%1 needs 1 to %2 columns on each side, as many on one as on the other")
                        .arg(where())
                        .arg(kMaxIndexColumns));
        const bool enforced = !(r.flags & RelationFlag::NotEnforced);
        const std::uint32_t cascades =
            RelationFlag::CascadeUpdates | RelationFlag::CascadeDeletes | RelationFlag::CascadeNull;
        if (!enforced && (r.flags & cascades))
            invalid(QStringLiteral("%1 cascades but is not enforced").arg(where()));
        if ((r.flags & RelationFlag::CascadeDeletes) && (r.flags & RelationFlag::CascadeNull))
            invalid(QStringLiteral("%1 both deletes and sets Null on delete").arg(where()));
        std::vector<int> fromColumns, toColumns;
        for (qsizetype c = 0; c < r.columns.size(); ++c) {
            const int fc = columnPosition(tables[from], r.columns[c]);
            const int tc = columnPosition(tables[to], r.referencedColumns[c]);
            if (fc < 0 || tc < 0)
                invalid(QStringLiteral("%1 names an unknown column").arg(where()));
            if (std::find(fromColumns.begin(), fromColumns.end(), fc) != fromColumns.end() ||
                std::find(toColumns.begin(), toColumns.end(), tc) != toColumns.end())
                invalid(QStringLiteral("%1 names a column twice").arg(where()));
            if (enforced && tables[from].columns[fc].type != tables[to].columns[tc].type)
                invalid(QStringLiteral("%1 joins columns of different types").arg(where()));
            fromColumns.push_back(fc);
            toColumns.push_back(tc);
        }
        if (enforced) {
            addForeignKeyIndexes(plans, from, fromColumns, to, toColumns, r, tables);
        }
        const TableDefs& rd = defs[std::size_t(relTable)];
        for (qsizetype c = 0; c < r.columns.size(); ++c) {
            std::vector<Value> v(rd.columns.size());
            v[0] = le32(std::uint32_t(r.columns.size()));
            v[1] = le32(r.flags);
            v[2] = le32(std::uint32_t(c));
            v[3] = encodeText(lay, tables[from].columns[fromColumns[std::size_t(c)]].name,
                              QStringLiteral("name"));
            v[4] = encodeText(lay, tables[from].name, QStringLiteral("name"));
            v[5] =
                encodeText(lay, tables[to].columns[toColumns[std::size_t(c)]].name, QStringLiteral("name"));
            v[6] = encodeText(lay, tables[to].name, QStringLiteral("name"));
            v[7] = encodeText(lay, r.name, QStringLiteral("name"));
            relRows.push_back(buildRow(lay, rd, v));
        }
    }
    for (int i = userBase; i < int(tables.size()); ++i)
        for (const Index& ix : tables[i].indexes)
            if (ix.afterRelationships)
                addUserIndex(plans[std::size_t(i)], tables[i], ix);
    std::vector<QByteArray> blobs(tables.size());
    for (int i = userBase; i < int(tables.size()); ++i)
        blobs[std::size_t(i)] = propertyBlob(lay, db.format, tables[i]);

    // The queries' rows; each query's catalogue Id comes after the other objects'.
    const int queryTable = db.withSystemTables ? 1 : -1; // MSysQueries
    const std::uint32_t firstQueryId = kContainerBase + 0x100 + std::uint32_t(db.otherObjects.size());
    std::vector<std::vector<QueryRowSpec>> queryRowSpecs;
    std::uint32_t queryRowCount = 0;
    for (const Query& q : db.queries) {
        queryRowSpecs.push_back(queryRows(q));
        queryRowCount += std::uint32_t(queryRowSpecs.back().size());
    }

    Image image(lay);
    writeHeader(image.page(image.newPage()), lay, db); // 0: header
    const std::uint32_t mapPage = image.newPage();     // 1: first usage-map page
    const std::uint32_t catalogPage = image.newPage(); // 2: MSysObjects
    std::vector<std::uint32_t> tdefPages;
    tdefPages.reserve(tables.size());
    for (qsizetype i = 0; i < tables.size(); ++i) {
        IndexPlan& plan = plans[std::size_t(i)];
        const std::uint32_t rowCount = i == relTable     ? std::uint32_t(relRows.size())
                                       : i == queryTable ? queryRowCount
                                                         : tables[i].rowCount;
        tdefPages.push_back(image.writeDefinition(definitionStream(
            lay, defs[std::size_t(i)], tables[i].flags, rowCount, plan.logicals.empty() ? nullptr : &plan)));
    }

    // Index roots, and the other side of each foreign-key index.
    const IndexLayout il = indexLayoutFor(lay);
    std::vector<std::vector<std::uint32_t>> rootPages(tables.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        for (const RealIndex& r : plans[i].reals) {
            const std::uint32_t root = image.newPage();
            writeEmptyLeaf(image.page(root), lay, tdefPages[i]);
            image.patchDefinition(tdefPages[i], r.streamOffset + il.realRoot, root);
            rootPages[i].push_back(root);
        }
        for (const LogicalIndex& l : plans[i].logicals)
            if (l.relTable >= 0)
                image.patchDefinition(tdefPages[i], l.streamOffset + il.logicalBase + 13,
                                      tdefPages[std::size_t(l.relTable)]);
    }

    // Long property blobs, then the relationship rows, each on pages of their own.
    RowPacker lval(lay, image, kLvalOwner);
    std::vector<Value> lvProps(tables.size());
    for (std::size_t i = 0; i < blobs.size(); ++i)
        if (!blobs[i].isEmpty())
            lvProps[i] = longValue(lay, lval, blobs[i]);
    // A query's Description is a property of its catalogue row, kept as a table's is.
    std::vector<Value> queryProps(std::size_t(db.queries.size()));
    for (qsizetype i = 0; i < db.queries.size(); ++i) {
        if (db.queries[i].description.isEmpty())
            continue;
        Table own;
        own.name = db.queries[i].name;
        own.description = db.queries[i].description;
        queryProps[std::size_t(i)] = longValue(lay, lval, propertyBlob(lay, db.format, own));
    }
    // The data rows of the system tables that have any, by table.
    std::vector<std::vector<QByteArray>> dataRows(tables.size());
    if (relTable >= 0)
        dataRows[std::size_t(relTable)] = std::move(relRows);
    if (queryTable >= 0) {
        const TableDefs& qd = defs[std::size_t(queryTable)];
        for (std::size_t n = 0; n < queryRowSpecs.size(); ++n) {
            std::vector<int> perAttribute(256, 0);
            for (const QueryRowSpec& r : queryRowSpecs[n]) {
                std::vector<Value> v(qd.columns.size());
                v[0] = QByteArray(1, char(r.attribute));
                if (!r.expression.isEmpty())
                    v[1] = longValue(lay, lval, encodeText(lay, r.expression, QStringLiteral("query text")));
                if (r.hasFlag)
                    v[2] = le16(std::uint16_t(r.flag));
                v[4] = optionalText(lay, r.name1, QStringLiteral("query name"), false);
                v[5] = optionalText(lay, r.name2, QStringLiteral("query name"), false);
                v[6] = le32(firstQueryId + std::uint32_t(n));
                // Order: the row's place among its attribute's rows, big-endian.
                const std::uint32_t place = std::uint32_t(perAttribute[r.attribute]++);
                QByteArray order(4, '\0');
                for (int b = 0; b < 4; ++b)
                    order[b] = char((place >> (8 * (3 - b))) & 0xFF);
                v[7] = order;
                dataRows[std::size_t(queryTable)].push_back(buildRow(lay, qd, v));
            }
        }
    }
    if (complexTable >= 0) {
        const TableDefs& cd = defs[std::size_t(complexTable)];
        for (std::size_t n = 0; n < complexFields.size(); ++n) {
            std::vector<Value> v(cd.columns.size());
            v[0] = encodeText(lay, complexFields[n].column, QStringLiteral("name"));
            v[1] = le32(std::uint32_t(n + 1));
            v[2] = le32(0);
            v[3] = le32(tdefPages[std::size_t(complexFields[n].table)]);
            v[4] = le32(tdefPages[std::size_t(complexFields[n].flatTable)]);
            dataRows[std::size_t(complexTable)].push_back(buildRow(lay, cd, v));
        }
    }
    std::vector<std::vector<std::uint32_t>> dataPages(tables.size());
    for (std::size_t i = 0; i < dataRows.size(); ++i) {
        if (dataRows[i].empty())
            continue;
        RowPacker packer(lay, image, tdefPages[i]);
        for (const QByteArray& row : dataRows[i])
            packer.add(row);
        dataPages[i] = packer.pages();
    }

    // The catalogue rows.
    const double date = db.creationDate;
    std::vector<CatalogRow> rows;
    const std::uint32_t tablesContainer = db.withSystemTables ? kContainerBase + 1 : 0;
    if (db.withSystemTables) {
        rows.push_back({kContainerBase + 1, kContainerBase, QStringLiteral("Tables"), 3, 0});
        rows.push_back({kContainerBase + 2, kContainerBase, QStringLiteral("Databases"), 3, 0});
        rows.push_back({kContainerBase + 3, kContainerBase, QStringLiteral("Relationships"), 3, 0});
        rows.push_back({kContainerBase + 4, kContainerBase + 2, QStringLiteral("MSysDb"), 2, 0});
        rows.push_back({catalogPage, tablesContainer, catalogTable.name, 1, catalogTable.flags});
    }
    for (qsizetype i = 0; i < tables.size(); ++i) {
        rows.push_back({tdefPages[i], tablesContainer, tables[i].name, 1, tables[i].flags});
        rows.back().lvProp = lvProps[std::size_t(i)];
    }
    std::uint32_t nextId = kContainerBase + 0x100;
    for (const CatalogObject& o : db.otherObjects)
        rows.push_back({nextId++, tablesContainer, o.name, o.type, o.flags, &o});
    for (qsizetype i = 0; i < db.queries.size(); ++i) {
        const Query& q = db.queries[i];
        rows.push_back({nextId++, tablesContainer, q.name, 5, queryTypeCodes(q.type).first | q.flags});
        rows.back().lvProp = queryProps[std::size_t(i)];
    }
    for (const Relationship& r : db.relationships)
        rows.push_back({nextId++, kContainerBase + 3, r.name, 8, 0});

    QByteArray dateBytes(8, '\0');
    putDouble(dateBytes.data(), date);
    RowPacker catalog(lay, image, catalogPage);
    for (const CatalogRow& r : rows) {
        std::vector<Value> v(catalogDefs.columns.size());
        v[0] = le32(r.id);
        v[1] = le32(r.parentId);
        v[2] = encodeText(lay, r.name, QStringLiteral("name"));
        v[3] = le16(std::uint16_t(r.type));
        v[4] = dateBytes;
        v[5] = dateBytes;
        v[7] = le32(r.flags);
        if (r.object) {
            v[8] = optionalText(lay, r.object->database, QStringLiteral("Database"), true);
            v[9] = optionalText(lay, r.object->connect, QStringLiteral("Connect"), true);
            v[10] = optionalText(lay, r.object->foreignName, QStringLiteral("ForeignName"), false);
        }
        v[14] = r.lvProp;
        catalog.add(buildRow(lay, catalogDefs, v));
    }
    const std::uint32_t catalogStart = catalog.pages().empty() ? catalogPage : catalog.pages().front();
    image.writeDefinition(definitionStream(lay, catalogDefs, catalogTable.flags, std::uint32_t(rows.size())),
                          catalogPage);

    // Usage maps: two rows per table (pages in use, pages with free space), one per index, on
    // map pages that belong to no table, so a page scan never mistakes them for data.
    RowPacker maps(lay, image, 0, {mapPage});
    const QByteArray noPages = usageMap(lay, 0, {});
    auto patchMaps = [&](std::uint32_t tdef, const QByteArray& used, const QByteArray& free) {
        const PageRow u = maps.add(used);
        const PageRow f = maps.add(free);
        const int at = lay.jet3 ? 35 : 55;
        put32(image.page(tdef) + at, u.pointer());
        put32(image.page(tdef) + at + 4, f.pointer());
    };
    patchMaps(catalogPage, usageMap(lay, catalogStart, catalog.pages()), usageMap(lay, catalogStart, {}));
    for (std::size_t i = 0; i < tdefPages.size(); ++i) {
        const std::vector<std::uint32_t>& pages = dataPages[i];
        if (!pages.empty())
            patchMaps(tdefPages[i], usageMap(lay, pages.front(), pages), usageMap(lay, pages.front(), {}));
        else
            patchMaps(tdefPages[i], noPages, noPages);
        for (std::size_t r = 0; r < plans[i].reals.size(); ++r) {
            const std::uint32_t root = rootPages[i][r];
            image.patchDefinition(tdefPages[i], plans[i].reals[r].streamOffset + il.realMap,
                                  maps.add(usageMap(lay, root, {root})).pointer());
        }
    }

    return image.take();
}

CatalogObject jetLink(const QString& name, const QString& database, const QString& foreignName,
                      const QString& connect)
{
    CatalogObject link(name, 6);
    link.database = database;
    link.connect = connect;
    link.foreignName = foreignName;
    return link;
}

CatalogObject odbcLink(const QString& name, const QString& connect, const QString& foreignName)
{
    CatalogObject link(name, 4);
    link.connect = connect;
    link.foreignName = foreignName;
    return link;
}

void writeFile(const QString& path, const Database& db)
{
    const QByteArray bytes = buildFile(db);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error(
            QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
    if (f.write(bytes) != bytes.size() || !f.commit())
        throw std::runtime_error(
            QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
}

Column makeColumn(const QString& name, ColumnType type, int length, bool fixed)
{
    Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.fixed = fixed;
    return c;
}

} // namespace jet
