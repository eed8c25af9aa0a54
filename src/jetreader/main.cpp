// orvane-jet-reader: reads one Access file with libmdb and writes its catalogue, or the result of
// one SELECT, to standard output in the form JetReaderFormat.h documents. libmdb crashes or loops
// on some damaged files; here such a file costs this short-lived process, never the program that
// started it, which also limits its time and memory.
#include "DecryptedImage.h"
#include "JetReaderFormat.h"

// glib's headers bring C++ templates of their own; they must be seen before libmdb's headers
// wrap glib in extern "C".
#include <glib.h>
#include <mdbsql.h>
#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace jetreader;

namespace {

struct MdbCloser
{
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableDefFreer
{
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
struct SqlFreer
{
    // Frees the statement's state and closes the database it holds.
    void operator()(MdbSQL* sql) const { mdb_sql_exit(sql); }
};
using MdbPtr = std::unique_ptr<MdbHandle, MdbCloser>;
using TableDefPtr = std::unique_ptr<MdbTableDef, TableDefFreer>;
using SqlPtr = std::unique_ptr<MdbSQL, SqlFreer>;

// Output is gathered and written in large pieces; a reader that dies half-way leaves a torn
// message, which the caller recognises by the missing end record.
class Output
{
public:
    ~Output() { flush(); }
    void u32(std::uint32_t v) { m_data.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void i32(std::int32_t v) { m_data.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void str(const char* s)
    {
        const std::size_t n = s ? std::strlen(s) : 0;
        u32(static_cast<std::uint32_t>(n));
        m_data.append(s ? s : "", n);
        if (m_data.size() >= (1u << 16))
            flush();
    }
    void flush()
    {
        std::size_t done = 0;
        while (done < m_data.size()) {
            const ssize_t n = ::write(STDOUT_FILENO, m_data.data() + done, m_data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                std::_Exit(3); // the caller went away: nobody is left to tell
            done += static_cast<std::size_t>(n);
        }
        m_data.clear();
    }

private:
    std::string m_data;
};

int reportError(Output& out, std::int32_t number, const char* message)
{
    out.u32(kTagError);
    out.i32(number);
    out.str(message);
    out.flush();
    return kExitReported;
}

// The limits the caller asked for: a process that runs away is ended by the system even if its
// parent is stuck, and a crash leaves no core file behind.
void limitSelf(unsigned seconds, unsigned long long memoryMiB)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    struct rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (seconds > 0)
        ::alarm(seconds);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space for its shadow: an address-space limit
    // would keep the sanitizer build's reader from starting at all.
    memoryMiB = 0;
#endif
    if (memoryMiB > 0) {
        const rlim_t bytes = static_cast<rlim_t>(memoryMiB) << 20;
        struct rlimit as = {bytes, bytes};
        ::setrlimit(RLIMIT_AS, &as);
    }
}

// Everything on standard input; the caller sends a few lines at most.
std::string readInput()
{
    std::string data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || data.size() > (1u << 20))
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

// Opens path read-only. Through a private mapping of the whole file where one can be had: libmdb
// then reads its pages from memory, where from a file it asks the system for the size, position
// and bytes of every page it reads. The mapping lives as long as the process.
// The decrypted image of a password-protected .accdb, read instead of the file; null for a plain one.
const accdb::DecryptedImage* g_decrypted = nullptr;

MdbHandle* openForReading(const char* path)
{
    if (g_decrypted)
        return mdb_open_buffer(g_decrypted->data(), g_decrypted->size(), MDB_NOFLAGS);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        void* mapped = MAP_FAILED;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            mapped = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (mapped != MAP_FAILED) {
            if (MdbHandle* mdb = mdb_open_buffer(mapped, static_cast<size_t>(st.st_size), MDB_NOFLAGS))
                return mdb;
            ::munmap(mapped, static_cast<size_t>(st.st_size));
        }
    }
    return mdb_open(path, MDB_NOFLAGS);
}

bool sameName(const char* a, const char* b)
{
    return g_ascii_strcasecmp(a, b) == 0;
}

// What one pass over MSysObjects gives: where each link points, every row's Id, and the answer to
// the program's system-table statement ("SELECT * FROM MSysObjects where type = 1 and flags <> 0"),
// so that an opening needs no second reader run for it.
struct ObjectRow
{
    std::string name;
    int type = 0;
    std::int32_t id = 0;
    std::int32_t flags = 0;
    std::string foreignName, database, connect;
    std::string description; // a saved query's, when asked for
};

struct ObjectsScan
{
    std::vector<ObjectRow> rows;
    bool linkFields = false; // ForeignName, Database and Connect exist
    bool systemAnswer = false;
    std::vector<std::string> fields;              // the statement's field names (SELECT *)
    std::vector<std::vector<std::string>> system; // its rows
};

std::int32_t toInt32(const std::string& text)
{
    return static_cast<std::int32_t>(std::strtoll(text.c_str(), nullptr, 10));
}

// The Description among the design properties of the MSysObjects row libmdb has just fetched,
// kept in its LvProp column (bound); empty when the row has none.
std::string designDescription(MdbHandle* mdb, MdbColumn* lvProp)
{
    // A Null leaves the bound header of an earlier row behind: nothing to follow.
    if (lvProp->cur_value_len <= 0)
        return {};
    std::size_t size = 0;
    void* kkd = mdb_ole_read_full(mdb, lvProp, &size);
    if (!kkd)
        return {};
    GPtrArray* blocks = size > 0 ? mdb_kkd_to_props(mdb, kkd, size) : nullptr;
    std::free(kkd);
    if (!blocks)
        return {};
    std::string found;
    for (guint p = 0; p < blocks->len; ++p) {
        auto* block = static_cast<MdbProperties*>(g_ptr_array_index(blocks, p));
        // The object's own block is the one without a column's name.
        if (found.empty() && block && block->hash && (!block->name || !*block->name)) {
            if (const auto* text = static_cast<const char*>(g_hash_table_lookup(block->hash, "Description")))
                found = text;
        }
        if (block)
            mdb_free_props(block);
    }
    g_ptr_array_free(blocks, TRUE);
    return found;
}

// libmdb's catalogue keeps neither the raw type (it folds type 4 into a report's), nor the full Id,
// nor the columns that say where a link points, so MSysObjects is read here as the table it is.
// sqlEntry is the catalogue entry libmdb's SQL would read for "FROM MSysObjects" (the first local
// table of that name); the statement is answered here only when that is this very definition.
// With queryDescriptions, each saved query's row brings its Description too.
ObjectsScan scanObjects(MdbHandle* mdb, const MdbCatalogEntry* sqlEntry, bool queryDescriptions)
{
    ObjectsScan scan;
    // The catalogue's definition is always on page 2; libmdb itself reads it through such an entry.
    MdbCatalogEntry objects;
    std::memset(&objects, 0, sizeof objects);
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::snprintf(objects.object_name, sizeof objects.object_name, "%s", "MSysObjects");
    TableDefPtr table(mdb_read_table(&objects));
    if (!table || !mdb_read_columns(table.get()))
        return scan;
    const unsigned int count = table->num_cols;
    // Bound values land here, each cut to libmdb's bind size; they outlive the definition bound to them.
    std::vector<std::string> values(count, std::string(mdb->bind_size + 1, '\0'));
    enum Field
    {
        Name,
        Type,
        Flags,
        Id,
        ForeignName,
        Database,
        Connect,
        LvProp,
        FieldCount
    };
    static const char* const kFields[FieldCount] = {"Name",        "Type",     "Flags",   "Id",
                                                    "ForeignName", "Database", "Connect", "LvProp"};
    int at[FieldCount];
    std::fill(at, at + FieldCount, -1);
    for (unsigned int c = 0; c < count; ++c) {
        const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
        scan.fields.emplace_back(col->name);
        for (int f = 0; f < FieldCount; ++f) {
            if (at[f] < 0 && sameName(col->name, kFields[f]))
                at[f] = int(c);
        }
    }
    // Only the fields read here are bound: libmdb turns every bound value into text, the
    // catalogue's dates too. Of the properties (a long binary value) it copies only the header,
    // which the few rows that need them follow.
    if (!queryDescriptions)
        at[LvProp] = -1;
    for (const int c : at) {
        if (c >= 0 && mdb_bind_column(table.get(), c + 1, values[std::size_t(c)].data(), nullptr) == -1)
            return scan;
    }
    auto* lvProp = at[LvProp] >= 0
                       ? static_cast<MdbColumn*>(g_ptr_array_index(table->columns, guint(at[LvProp])))
                       : nullptr;
    if (at[Name] < 0 || at[Type] < 0 || at[Flags] < 0)
        return scan;
    scan.linkFields = at[ForeignName] >= 0 && at[Database] >= 0 && at[Connect] >= 0;
    // A WHERE naming a column the table lacks is the SQL reader's refusal, not an answer.
    scan.systemAnswer = sqlEntry && sqlEntry->table_pg == 2;
    auto value = [&](int field) { return at[field] >= 0 ? values[at[field]].c_str() : ""; };
    mdb_rewind_table(table.get());
    // Where each row of the system-table statement's answer lies: page and row on it.
    std::vector<std::pair<unsigned long, unsigned int>> systemRows;
    while (mdb_fetch_row(table.get())) {
        ObjectRow row;
        row.name = value(Name);
        row.type = std::atoi(value(Type));
        row.flags = toInt32(value(Flags));
        row.id = toInt32(value(Id));
        if (row.type == kLinkJet || row.type == kLinkOdbc) {
            row.foreignName = value(ForeignName);
            row.database = value(Database);
            row.connect = value(Connect);
        }
        if (lvProp && row.type == kQueryObjectType)
            row.description = designDescription(mdb, lvProp);
        // An empty value is a Null, which "type = 1" and "flags <> 0" never match.
        if (scan.systemAnswer && row.type == 1 && row.flags != 0 && *value(Type) && *value(Flags))
            systemRows.emplace_back(table->cur_phys_pg, table->cur_row - 1);
        scan.rows.push_back(std::move(row));
    }
    // The statement's few rows are read again, now with every field bound.
    if (systemRows.empty())
        return scan;
    for (unsigned int c = 0; c < count; ++c) {
        if (mdb_bind_column(table.get(), int(c) + 1, values[c].data(), nullptr) == -1)
            return scan;
    }
    for (const auto& [page, row] : systemRows) {
        // Fresh bytes: libmdb answers a read of the page it read last from a buffer that a long
        // value's page may have passed through since.
        mdb->cur_pg = 0;
        if (mdb_read_pg(mdb, page) <= 0 || !mdb_read_row(table.get(), row))
            continue;
        std::vector<std::string> answer;
        answer.reserve(count);
        for (unsigned int c = 0; c < count; ++c)
            answer.emplace_back(values[c].c_str());
        scan.system.push_back(std::move(answer));
    }
    return scan;
}

std::uint32_t writeLinks(const ObjectsScan& scan, Output& out)
{
    if (!scan.linkFields)
        return 0;
    std::uint32_t sent = 0;
    for (const ObjectRow& row : scan.rows) {
        if (row.type != kLinkJet && row.type != kLinkOdbc)
            continue;
        out.u32(kTagLink);
        out.str(row.name.c_str());
        out.i32(row.id);
        out.i32(row.type);
        out.i32(row.flags);
        out.str(row.foreignName.c_str());
        out.str(row.database.c_str());
        out.str(row.connect.c_str());
        ++sent;
    }
    return sent;
}

std::uint32_t writeSystemAnswer(const ObjectsScan& scan, Output& out)
{
    if (!scan.systemAnswer)
        return 0;
    out.u32(kTagColumns);
    out.u32(static_cast<std::uint32_t>(scan.fields.size()));
    for (const std::string& field : scan.fields)
        out.str(field.c_str());
    for (const std::vector<std::string>& row : scan.system) {
        out.u32(kTagRow);
        for (const std::string& value : row)
            out.str(value.c_str());
    }
    return static_cast<std::uint32_t>(scan.system.size());
}

// The local table of that name (ASCII case ignored); null when the file has none.
MdbCatalogEntry* catalogueEntry(MdbHandle* mdb, const char* name)
{
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (sameName(e->object_name, name))
            return e;
    }
    return nullptr;
}

// The rows of MSysRelationships, one per key column, read with the plain row loop (libmdb's own
// relationship listing stops early where deleted rows stand before live ones). A file without the
// table, or without its usual columns, has no relationships.
std::uint32_t writeRelationships(MdbHandle* mdb, Output& out)
{
    MdbCatalogEntry* entry = catalogueEntry(mdb, "MSysRelationships");
    if (!entry)
        return 0;
    TableDefPtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
        return 0;
    static const char* const kFields[] = {"szRelationship",     "szObject", "szColumn", "szReferencedObject",
                                          "szReferencedColumn", "icolumn",  "grbit"};
    constexpr int kFieldCount = int(sizeof kFields / sizeof kFields[0]);
    std::vector<std::string> values(kFieldCount, std::string(mdb->bind_size + 1, '\0'));
    for (int i = 0; i < kFieldCount; ++i) {
        gchar* field = const_cast<gchar*>(kFields[i]);
        if (mdb_bind_column_by_name(table.get(), field, values[i].data(), nullptr) == -1)
            return 0;
    }
    mdb_rewind_table(table.get());
    std::uint32_t sent = 0;
    while (mdb_fetch_row(table.get())) {
        out.u32(kTagRelation);
        for (int i = 0; i < 5; ++i)
            out.str(values[i].c_str());
        out.i32(toInt32(values[5].c_str()));
        out.i32(toInt32(values[6].c_str()));
        ++sent;
    }
    return sent;
}

// --- indexes -------------------------------------------------------------------------------------

struct IndexColumn
{
    std::string name;
    bool descending = false;
};

struct TableIndex
{
    std::string name;
    bool primary = false;
    bool unique = false;
    std::vector<IndexColumn> columns;
};

// A table definition as one stream of bytes: its first page whole, then the bytes after the 8-byte
// header of each page it continues on, as libmdb itself reads it. False for a chain that loops or
// leaves the file.
bool readDefinition(MdbHandle* mdb, unsigned long first, std::string& out)
{
    const std::size_t pageSize = static_cast<std::size_t>(mdb->fmt->pg_size);
    std::vector<unsigned long> seen;
    for (unsigned long page = first; page != 0;) {
        if (std::find(seen.begin(), seen.end(), page) != seen.end() || seen.size() >= 1024)
            return false;
        seen.push_back(page);
        // Read afresh: libmdb answers a read of "the current page" from its buffer.
        mdb->cur_pg = 0;
        if (mdb_read_pg(mdb, page) != static_cast<ssize_t>(pageSize))
            return false;
        const char* bytes = reinterpret_cast<const char*>(mdb->pg_buf);
        if (out.empty())
            out.assign(bytes, pageSize);
        else
            out.append(bytes + 8, pageSize - 8);
        page = static_cast<unsigned long>(static_cast<std::uint32_t>(mdb_get_int32(mdb->pg_buf, 4)));
    }
    return true;
}

// Bounds-checked reading of a definition stream.
class Cursor
{
public:
    Cursor(const std::string& data, std::size_t pos) : m_data(data), m_pos(pos) {}
    bool skip(std::size_t n)
    {
        if (n > m_data.size() || m_pos > m_data.size() - n)
            return m_ok = false;
        m_pos += n;
        return true;
    }
    unsigned u8() { return fits(1) ? static_cast<unsigned char>(m_data[m_pos++]) : 0; }
    unsigned u16()
    {
        const unsigned lo = u8();
        return lo | (u8() << 8);
    }
    std::uint32_t u32()
    {
        const std::uint32_t lo = u16();
        return lo | (std::uint32_t(u16()) << 16);
    }
    const char* here() const { return m_data.data() + m_pos; }
    bool ok() const { return m_ok; }

private:
    bool fits(std::size_t n)
    {
        if (!m_ok || n > m_data.size() - m_pos)
            return m_ok = false;
        return true;
    }
    const std::string& m_data;
    std::size_t m_pos;
    bool m_ok = true;
};

// The indexes a user sees: the logical indexes of the definition other than the hidden ones Jet
// keeps for relationships (type 2), each with the real index it names. libmdb's own reading pairs a
// logical index with the real index of its own number instead, which differs once an index has
// been dropped and another made; so the definition is read here. A section that does not add up
// gives no indexes, never a failed table.
std::vector<TableIndex> readIndexes(MdbHandle* mdb, const MdbTableDef* table)
{
    std::string data;
    if (!readDefinition(mdb, table->entry->table_pg, data))
        return {};
    const MdbFormatConstants* fmt = mdb->fmt;
    const bool jet3 = IS_JET3(mdb);
    Cursor head(data, 0);
    std::uint32_t numCols = 0, numIdx = 0, numReal = 0;
    if (head.skip(fmt->tab_num_cols_offset)) {
        numCols = head.u16();
        numIdx = head.u32();
        numReal = head.u32();
    }
    // More than any table can have: the counts are damaged.
    if (!head.ok() || numIdx > 1000 || numReal > 1000 || numCols != table->num_cols)
        return {};
    Cursor in(data, fmt->tab_cols_start_offset);
    in.skip(std::size_t(numReal) * fmt->tab_ridx_entry_size);
    in.skip(std::size_t(numCols) * fmt->tab_col_entry_size);
    for (std::uint32_t c = 0; c < numCols && in.ok(); ++c)
        in.skip(jet3 ? in.u8() : in.u16());

    struct Real
    {
        std::vector<IndexColumn> columns;
        unsigned flags = 0;
        bool readable = true;
    };
    std::vector<Real> reals(numReal);
    for (Real& real : reals) {
        if (!jet3)
            in.skip(4);
        for (int k = 0; k < 10; ++k) {
            const unsigned number = in.u16();
            const unsigned order = in.u8();
            if (number == 0xFFFF)
                continue;
            const MdbColumn* found = nullptr;
            for (unsigned int c = 0; c < table->num_cols && !found; ++c) {
                const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
                if (unsigned(col->col_num) == number)
                    found = col;
            }
            if (!found)
                real.readable = false;
            else
                real.columns.push_back({found->name, (order & 0x01) == 0});
        }
        in.skip(jet3 ? 8 : 12); // usage map, first index page (and, in Jet 4, four unknown bytes)
        real.flags = in.u8();
        if (!jet3)
            in.skip(5);
    }
    struct Logical
    {
        std::uint32_t real = 0;
        unsigned type = 0;
    };
    std::vector<Logical> logicals(numIdx);
    for (Logical& logical : logicals) {
        if (!jet3)
            in.skip(4);
        in.skip(4); // the logical index's own number
        logical.real = in.u32();
        in.skip(11); // the relationship's index and table, its actions
        logical.type = in.u8();
        if (!jet3)
            in.skip(4);
    }
    std::vector<TableIndex> indexes;
    for (const Logical& logical : logicals) {
        const unsigned length = jet3 ? in.u8() : in.u16();
        const char* raw = in.here();
        if (!in.skip(length))
            return {};
        // A foreign-key index, or one whose real index is missing or names unknown columns.
        if (logical.type == 2 || logical.real >= numReal || !reals[logical.real].readable)
            continue;
        std::string name(3 * std::size_t(length) + 1, '\0');
        mdb_unicode2ascii(mdb, raw, length, name.data(), name.size());
        name.resize(std::strlen(name.c_str()));
        const Real& real = reals[logical.real];
        indexes.push_back({name, logical.type == 1, logical.type == 1 || (real.flags & 0x01), real.columns});
    }
    if (!in.ok())
        return {};
    return indexes;
}

// The flags libmdb drops from each column's entry in the definition, by stored column number
// (MdbColumn.col_num); none when the definition does not add up.
std::vector<std::pair<unsigned, unsigned>> readColumnFlags(MdbHandle* mdb, const MdbTableDef* table)
{
    std::string data;
    if (!readDefinition(mdb, table->entry->table_pg, data))
        return {};
    const MdbFormatConstants* fmt = mdb->fmt;
    Cursor head(data, 0);
    std::uint32_t numCols = 0, numReal = 0;
    if (head.skip(fmt->tab_num_cols_offset)) {
        numCols = head.u16();
        head.skip(4);
        numReal = head.u32();
    }
    if (!head.ok() || numReal > 1000 || numCols != table->num_cols)
        return {};
    std::vector<std::pair<unsigned, unsigned>> flags;
    for (std::uint32_t c = 0; c < numCols; ++c) {
        const std::size_t entry = fmt->tab_cols_start_offset +
                                  std::size_t(numReal) * fmt->tab_ridx_entry_size +
                                  std::size_t(c) * fmt->tab_col_entry_size;
        Cursor number(data, 0), flag(data, 0);
        number.skip(entry + fmt->col_num_offset);
        flag.skip(entry + fmt->col_flags_offset);
        const unsigned n = number.u8(), f = flag.u8();
        if (!number.ok() || !flag.ok())
            return {};
        flags.emplace_back(n, f);
    }
    return flags;
}

void writeIndexes(const std::vector<TableIndex>& indexes, Output& out)
{
    out.u32(static_cast<std::uint32_t>(indexes.size()));
    for (const TableIndex& index : indexes) {
        out.str(index.name.c_str());
        out.i32((index.primary ? kIndexPrimary : 0) | (index.unique ? kIndexUnique : 0));
        out.u32(static_cast<std::uint32_t>(index.columns.size()));
        for (const IndexColumn& column : index.columns) {
            out.str(column.name.c_str());
            out.i32(column.descending ? 1 : 0);
        }
    }
}

const char* property(const char* value)
{
    return value ? value : "";
}

// The properties of names that a block holds: their count, then each name and value as libmdb
// gives them.
template <std::size_t N>
void writeProperties(MdbProperties* props, const char* const (&names)[N], Output& out)
{
    const char* values[N] = {};
    std::uint32_t count = 0;
    if (props && props->hash) {
        for (std::size_t i = 0; i < N; ++i) {
            values[i] = static_cast<const char*>(g_hash_table_lookup(props->hash, names[i]));
            count += values[i] ? 1 : 0;
        }
    }
    out.u32(count);
    for (std::size_t i = 0; i < N && count > 0; ++i) {
        if (values[i]) {
            out.str(names[i]);
            out.str(values[i]);
        }
    }
}

// --- saved queries -----------------------------------------------------------------------------

struct QueryRow
{
    std::int32_t objectId = 0;
    int attribute = 0;
    int flag = 0;
    std::string name1, name2, expression;
    std::string order; // the raw bytes of the row's place among its attribute's rows
    std::size_t position = 0;
};

// Longer than any SQL text a person writes; libmdb cuts bound values at its bind size.
constexpr std::size_t kQueryBindSize = 256 * 1024;

// Every row of MSysQueries, in the order of its own key (ObjectId, Attribute, Order), file order
// breaking ties. A file without the table or its usual columns has none.
std::vector<QueryRow> readQueryRows(MdbHandle* mdb)
{
    std::vector<QueryRow> rows;
    MdbCatalogEntry* entry = catalogueEntry(mdb, "MSysQueries");
    if (!entry)
        return rows;
    TableDefPtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
        return rows;
    rows.reserve(table->num_rows);
    const std::size_t savedBindSize = mdb->bind_size;
    mdb_set_bind_size(mdb, kQueryBindSize);
    static const char* const kFields[] = {"ObjectId", "Attribute", "Flag", "Name1", "Name2", "Expression"};
    constexpr int kFieldCount = int(sizeof kFields / sizeof kFields[0]);
    std::vector<std::string> values(kFieldCount, std::string(kQueryBindSize + 1, '\0'));
    bool bound = true;
    for (int i = 0; i < kFieldCount && bound; ++i) {
        gchar* field = const_cast<gchar*>(kFields[i]);
        bound = mdb_bind_column_by_name(table.get(), field, values[i].data(), nullptr) != -1;
    }
    // Order is binary: its bytes are taken from the row itself, not through a bound text.
    const MdbColumn* order = nullptr;
    for (unsigned int c = 0; c < table->num_cols && !order; ++c) {
        const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
        if (sameName(col->name, "Order"))
            order = col;
    }
    if (bound) {
        mdb_rewind_table(table.get());
        const std::size_t pageSize = static_cast<std::size_t>(mdb->fmt->pg_size);
        while (mdb_fetch_row(table.get())) {
            QueryRow row;
            row.objectId = toInt32(values[0]);
            row.attribute = std::atoi(values[1].c_str());
            row.flag = std::atoi(values[2].c_str());
            row.name1 = values[3].c_str();
            row.name2 = values[4].c_str();
            row.expression = values[5].c_str();
            if (order && order->cur_value_len > 0 && std::size_t(order->cur_value_start) < pageSize &&
                std::size_t(order->cur_value_len) <= pageSize - std::size_t(order->cur_value_start))
                row.order.assign(reinterpret_cast<const char*>(mdb->pg_buf) + order->cur_value_start,
                                 std::size_t(order->cur_value_len));
            row.position = rows.size();
            rows.push_back(std::move(row));
        }
    }
    mdb_set_bind_size(mdb, savedBindSize);
    std::sort(rows.begin(), rows.end(), [](const QueryRow& a, const QueryRow& b) {
        if (a.objectId != b.objectId)
            return a.objectId < b.objectId;
        if (a.attribute != b.attribute)
            return a.attribute < b.attribute;
        if (a.order != b.order)
            return a.order < b.order;
        return a.position < b.position;
    });
    return rows;
}

// The saved queries (MSysObjects type 5), each with its rows of MSysQueries.
std::uint32_t writeQueries(MdbHandle* mdb, const ObjectsScan& scan, Output& out)
{
    std::vector<const ObjectRow*> queries;
    for (const ObjectRow& row : scan.rows) {
        if (row.type == kQueryObjectType)
            queries.push_back(&row);
    }
    if (queries.empty())
        return 0;
    const std::vector<QueryRow> rows = readQueryRows(mdb);
    for (const ObjectRow* query : queries) {
        const auto first =
            std::lower_bound(rows.begin(), rows.end(), query->id,
                             [](const QueryRow& r, std::int32_t id) { return r.objectId < id; });
        auto last = first;
        while (last != rows.end() && last->objectId == query->id)
            ++last;
        out.u32(kTagQuery);
        out.str(query->name.c_str());
        out.i32(query->id);
        out.i32(query->flags);
        out.str(query->description.c_str());
        out.u32(static_cast<std::uint32_t>(last - first));
        for (auto r = first; r != last; ++r) {
            out.i32(r->attribute);
            out.i32(r->flag);
            out.str(r->name1.c_str());
            out.str(r->name2.c_str());
            out.str(r->expression.c_str());
        }
    }
    return static_cast<std::uint32_t>(queries.size());
}

// The rows of MSysComplexColumns: which hidden table holds each attachment or multi-value field's
// values. A file without the table (all but ACE files) has none.
std::uint32_t writeComplexColumns(MdbHandle* mdb, Output& out)
{
    MdbCatalogEntry* entry = catalogueEntry(mdb, "MSysComplexColumns");
    if (!entry)
        return 0;
    TableDefPtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
        return 0;
    static const char* const kFields[] = {"ColumnName", "ConceptualTableID", "FlatTableID"};
    std::vector<std::string> values(3, std::string(mdb->bind_size + 1, '\0'));
    for (int i = 0; i < 3; ++i) {
        gchar* field = const_cast<gchar*>(kFields[i]);
        if (mdb_bind_column_by_name(table.get(), field, values[i].data(), nullptr) == -1)
            return 0;
    }
    mdb_rewind_table(table.get());
    std::uint32_t sent = 0;
    while (mdb_fetch_row(table.get())) {
        out.u32(kTagComplex);
        out.str(values[0].c_str());
        out.i32(toInt32(values[1]));
        out.i32(toInt32(values[2]));
        ++sent;
    }
    return sent;
}

int writeCatalogue(const char* path, bool withQueries, Output& out)
{
    MdbPtr mdb(openForReading(path));
    // The raw-type filter keeps exactly the local tables (type 1), system ones too.
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE))
        return reportError(out, kJetCannotOpen, "");
    const MdbCatalogEntry* sqlEntry = catalogueEntry(mdb.get(), "MSysObjects");
    const ObjectsScan scan = scanObjects(mdb.get(), sqlEntry, withQueries);
    // The Ids of the local tables, in the order the catalogue met them.
    std::vector<const ObjectRow*> local;
    for (const ObjectRow& row : scan.rows) {
        if (row.type == 1)
            local.push_back(&row);
    }
    std::uint32_t sent = 0;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        TableDefPtr table(mdb_read_table(entry));
        if (!table || !mdb_read_columns(table.get()))
            return reportError(out, kJetCannotOpen, entry->object_name);
        const bool sameRow = local.size() == mdb->num_catalog && local[i]->name == entry->object_name;
        out.u32(kTagTable);
        out.str(entry->object_name);
        out.i32(sameRow ? local[i]->id : static_cast<std::int32_t>(entry->table_pg));
        out.i32(entry->flags);
        out.str(property(mdb_table_get_prop(table.get(), "Description")));
        writeProperties(table->props, kTableProperties, out);
        out.u32(table->num_cols);
        // libmdb is done with the definition's pages once the columns are read.
        const std::vector<std::pair<unsigned, unsigned>> stored = readColumnFlags(mdb.get(), table.get());
        for (unsigned int c = 0; c < table->num_cols; ++c) {
            const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
            const char* required = mdb_col_get_prop(col, "Required");
            const auto flags = std::find_if(stored.begin(), stored.end(), [col](const auto& f) {
                return f.first == unsigned(col->col_num);
            });
            const bool hyperlink = flags != stored.end() && (flags->second & kStoredHyperlinkFlag) != 0;
            out.str(col->name);
            out.i32(col->col_type);
            out.i32(col->col_size);
            out.i32((col->is_fixed ? kColumnFixed : 0) | (col->is_long_auto ? kColumnAutoLong : 0) |
                    (col->is_uuid_auto ? kColumnAutoGuid : 0) |
                    (required && std::strcmp(required, "yes") == 0 ? kColumnRequired : 0) |
                    (hyperlink ? kColumnHyperlink : 0));
            // libmdb names these two the wrong way round: its "scale" is the precision.
            out.i32(col->col_scale);
            out.i32(col->col_prec);
            out.str(property(mdb_col_get_prop(col, "DefaultValue")));
            out.str(property(mdb_col_get_prop(col, "Expression")));
            out.str(property(mdb_col_get_prop(col, "Description")));
            writeProperties(col->props, kColumnProperties, out);
        }
        writeIndexes(readIndexes(mdb.get(), table.get()), out);
        ++sent;
    }
    sent += writeLinks(scan, out);
    sent += writeRelationships(mdb.get(), out);
    sent += writeComplexColumns(mdb.get(), out);
    if (withQueries)
        sent += writeQueries(mdb.get(), scan, out);
    sent += writeSystemAnswer(scan, out);
    out.u32(kTagEnd);
    out.u32(sent);
    return 0;
}

// Comparison nodes whose column name matched no column of the table: libmdb silently treats them
// as constants and would return rows a real engine refuses.
int countUnresolvedColumns(const MdbSargNode* node, int depth = 0)
{
    if (!node || depth > 1000)
        return 0;
    const int here = mdb_is_relational_op(node->op) && node->parent && !node->col ? 1 : 0;
    return here + countUnresolvedColumns(node->left, depth + 1) +
           countUnresolvedColumns(node->right, depth + 1);
}

int writeQuery(const char* path, const std::string& statement, Output& out)
{
    SqlPtr sql(mdb_sql_init());
    // Not mdb_sql_open: it passes the name through wordexp(), which runs "$(...)" in a file name as
    // a command and splits names at blanks.
    sql->mdb = openForReading(path);
    if (!sql->mdb)
        return reportError(out, kJetCannotOpen, "");
    if (!mdb_sql_run_query(sql.get(), statement.c_str()) || !sql->cur_table)
        return reportError(out, kJetSyntaxError, sql->error_msg);
    const int unresolved = countUnresolvedColumns(sql->cur_table->sarg_tree);
    if (unresolved > 0) {
        const std::string message = "Too few parameters. Expected " + std::to_string(unresolved) + ".";
        return reportError(out, kJetTooFewParameters, message.c_str());
    }
    out.u32(kTagColumns);
    out.u32(sql->num_columns);
    for (unsigned int j = 0; j < sql->num_columns; ++j)
        out.str(static_cast<MdbSQLColumn*>(g_ptr_array_index(sql->columns, j))->name);
    std::uint32_t rows = 0;
    while (mdb_sql_fetch_row(sql.get(), sql->cur_table)) {
        out.u32(kTagRow);
        for (unsigned int j = 0; j < sql->num_columns; ++j)
            out.str(static_cast<const char*>(g_ptr_array_index(sql->bound_values, j)));
        ++rows;
    }
    out.u32(kTagEnd);
    out.u32(rows);
    return 0;
}

int usage()
{
    std::fputs("usage: orvane-jet-reader catalogue|query FILE [--time-limit SECONDS] [--memory-limit MIB]\n"
               "                         [--queries 0|1]\n"
               "The password (first line) and the statement come on standard input. A catalogue\n"
               "holds the saved queries unless --queries is 0.\n",
               stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string mode = argv[1];
    const char* path = argv[2];
    unsigned seconds = 0;
    unsigned long long memoryMiB = 0;
    bool withQueries = true;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const unsigned long long value = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--time-limit")
            seconds = static_cast<unsigned>(value);
        else if (option == "--memory-limit")
            memoryMiB = value;
        else if (option == "--queries")
            withQueries = value != 0;
        else
            return usage();
    }
    if ((argc - 3) % 2 != 0 || (mode != "catalogue" && mode != "query"))
        return usage();
    limitSelf(seconds, memoryMiB);

    std::string input = readInput();
    const std::size_t lineEnd = input.find('\n');
    const std::size_t passwordLength = lineEnd == std::string::npos ? input.size() : lineEnd;
    std::string statement = lineEnd == std::string::npos ? std::string() : input.substr(lineEnd + 1);

    Output out;
    out.u32(kJetReaderMagic);
    out.u32(kJetReaderVersion);
    // A password-protected .accdb is checked and decrypted here, in memory only. A plain file's
    // password was checked before the reader started; it is wiped all the same.
    accdb::DecryptedImage decrypted;
    const accdb::LoadFailure failure = decrypted.load(path, std::string_view(input.data(), passwordLength));
    std::memset(input.data(), 0, passwordLength);
    if (failure.jetError != 0)
        return reportError(out, failure.jetError, failure.message.c_str());
    if (!decrypted.empty())
        g_decrypted = &decrypted;
    return mode == "catalogue" ? writeCatalogue(path, withQueries, out) : writeQuery(path, statement, out);
}
