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

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
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

// The linked tables: MSysObjects rows of raw type 6 (a table of another Access file) or 4 (ODBC).
// libmdb's catalogue keeps neither the raw type (it folds type 4 into a report's) nor the columns
// that say where a link points, so MSysObjects is read here as the table it is. A catalogue
// without those columns (some generated files) holds no links.
std::uint32_t writeLinks(MdbHandle* mdb, Output& out)
{
    // The catalogue's definition is always on page 2; libmdb itself reads it through such an entry.
    MdbCatalogEntry objects;
    std::memset(&objects, 0, sizeof objects);
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::snprintf(objects.object_name, sizeof objects.object_name, "%s", "MSysObjects");
    static const char* const kFields[] = {"Name", "Type", "Flags", "ForeignName", "Database", "Connect"};
    constexpr int kFieldCount = int(sizeof kFields / sizeof kFields[0]);
    // Bound values land here, each cut to libmdb's bind size; they outlive the definition bound to them.
    std::vector<std::string> values(kFieldCount, std::string(mdb->bind_size + 1, '\0'));
    TableDefPtr table(mdb_read_table(&objects));
    if (!table || !mdb_read_columns(table.get()))
        return 0;
    for (int i = 0; i < kFieldCount; ++i) {
        gchar* field = const_cast<gchar*>(kFields[i]);
        if (mdb_bind_column_by_name(table.get(), field, values[i].data(), nullptr) == -1)
            return 0;
    }
    mdb_rewind_table(table.get());
    std::uint32_t sent = 0;
    while (mdb_fetch_row(table.get())) {
        const int type = std::atoi(values[1].c_str());
        if (type != kLinkJet && type != kLinkOdbc)
            continue;
        out.u32(kTagLink);
        out.str(values[0].c_str());
        out.i32(type);
        out.i32(static_cast<std::int32_t>(std::strtoll(values[2].c_str(), nullptr, 10)));
        out.str(values[3].c_str());
        out.str(values[4].c_str());
        out.str(values[5].c_str());
        ++sent;
    }
    return sent;
}

int writeCatalogue(const char* path, Output& out)
{
    MdbPtr mdb(openForReading(path));
    // The raw-type filter keeps exactly the local tables (type 1), system ones too.
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE))
        return reportError(out, kJetCannotOpen, "");
    std::uint32_t sent = 0;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        TableDefPtr table(mdb_read_table(entry));
        if (!table || !mdb_read_columns(table.get()))
            return reportError(out, kJetCannotOpen, entry->object_name);
        out.u32(kTagTable);
        out.str(entry->object_name);
        out.i32(entry->flags);
        out.u32(table->num_cols);
        for (unsigned int c = 0; c < table->num_cols; ++c) {
            const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, c));
            out.str(col->name);
            out.i32(col->col_type);
            out.i32(col->col_size);
            out.i32((col->is_fixed ? kColumnFixed : 0) | (col->is_long_auto ? kColumnAutoLong : 0) |
                    (col->is_uuid_auto ? kColumnAutoGuid : 0));
            // libmdb names these two the wrong way round: its "scale" is the precision.
            out.i32(col->col_scale);
            out.i32(col->col_prec);
        }
        ++sent;
    }
    sent += writeLinks(mdb.get(), out);
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
               "The password (first line) and the statement come on standard input.\n",
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
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const unsigned long long value = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--time-limit")
            seconds = static_cast<unsigned>(value);
        else if (option == "--memory-limit")
            memoryMiB = value;
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
    return mode == "catalogue" ? writeCatalogue(path, out) : writeQuery(path, statement, out);
}
