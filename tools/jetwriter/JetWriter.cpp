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
    int tdefColumnStart; // first column block in a table definition (no indexes written)
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

QByteArray definitionStream(const Layout& lay, const TableDefs& defs, std::uint32_t flags,
                            std::uint32_t rowCount)
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

private:
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

    const Table catalogTable = msysObjects();
    const TableDefs catalogDefs = defineColumns(lay, catalogTable);
    std::vector<TableDefs> defs;
    defs.reserve(tables.size());
    for (const Table& t : tables)
        defs.push_back(defineColumns(lay, t));

    Image image(lay);
    writeHeader(image.page(image.newPage()), lay, db); // 0: header
    const std::uint32_t mapPage = image.newPage();     // 1: first usage-map page
    const std::uint32_t catalogPage = image.newPage(); // 2: MSysObjects
    std::vector<std::uint32_t> tdefPages;
    tdefPages.reserve(tables.size());
    for (qsizetype i = 0; i < tables.size(); ++i)
        tdefPages.push_back(
            image.writeDefinition(definitionStream(lay, defs[i], tables[i].flags, tables[i].rowCount)));

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
    for (qsizetype i = 0; i < tables.size(); ++i)
        rows.push_back({tdefPages[i], tablesContainer, tables[i].name, 1, tables[i].flags});
    std::uint32_t nextId = kContainerBase + 0x100;
    for (const CatalogObject& o : db.otherObjects)
        rows.push_back({nextId++, tablesContainer, o.name, o.type, o.flags, &o});

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
        catalog.add(buildRow(lay, catalogDefs, v));
    }
    const std::uint32_t catalogStart = catalog.pages().empty() ? catalogPage : catalog.pages().front();
    image.writeDefinition(definitionStream(lay, catalogDefs, catalogTable.flags, std::uint32_t(rows.size())),
                          catalogPage);

    // Usage maps: two rows per table (pages in use, pages with free space), on map pages that
    // belong to no table, so a page scan never mistakes them for data.
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
    for (std::uint32_t tdef : tdefPages)
        patchMaps(tdef, noPages, noPages);

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

} // namespace jet
