#include "JetCatalogReader.h"

#include "Automation.h"
#include "JetChildProcess.h"

#include <mdbsql.h>
#include <mdbtools.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <numeric>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::atomic<int> g_timeoutMs{20000};

// What a child may send at most: far more than any real catalogue, far less than trouble.
constexpr qint64 kMaxChildOutput = 256LL * 1024 * 1024;

constexpr std::uint32_t kMagicCatalogue = 0x324A434F; // "OCJ2"
constexpr std::uint32_t kMagicQuery = 0x31514A4F;     // "OJQ1"
constexpr std::uint32_t kMagicError = 0x454A434F;     // "OCJE"
constexpr std::uint32_t kMagicEnd = 0x21444E45;       // "END!"
constexpr std::uint32_t kTagTable = 0x4C424154;       // "TABL"

constexpr std::int32_t kJetCannotOpen = 3049;
constexpr std::int32_t kJetTooFewParameters = 3061;
constexpr std::int32_t kJetSyntaxError = 3075;
constexpr std::int32_t kHelpBase = 5000000;

// A column goes out as name start, name length, type, size, flags, precision and scale.
constexpr int kColumnRecordFields = 7;

// How much of the catalogue the child gathers before sending it: small enough that the parent can
// start on the first tables soon, large enough to keep the writes few.
constexpr std::size_t kFlushBytes = 1u << 15;

// The child serialises into this; the parent reads with bounds checks, since a child that dies
// half-way leaves a torn message.
class Writer
{
public:
    void u32(std::uint32_t v) { m_data.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void i32(std::int32_t v) { m_data.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void str(const char* s)
    {
        const std::size_t n = s ? std::strlen(s) : 0;
        u32(static_cast<std::uint32_t>(n));
        m_data.append(s ? s : "", n);
    }
    void raw(const void* data, std::size_t size) { m_data.append(static_cast<const char*>(data), size); }
    // Overwrites a value written before (a length known only later).
    void setU32(std::size_t at, std::uint32_t v) { std::memcpy(m_data.data() + at, &v, sizeof v); }
    const std::string& data() const { return m_data; }
    void reserve(std::size_t n) { m_data.reserve(n); }
    // Sends what is buffered, so the parent can take it apart while the rest is being read.
    void flush(int fd)
    {
        WriteAllToFd(fd, m_data.data(), static_cast<qint64>(m_data.size()));
        m_data.clear();
    }

private:
    std::string m_data;
};

class Reader
{
public:
    explicit Reader(const QByteArray& data, qsizetype pos = 0) : m_data(data), m_pos(pos) {}
    qsizetype pos() const { return m_pos; }
    void seek(qsizetype pos) { m_pos = pos; }
    bool u32(std::uint32_t& v) { return raw(&v, sizeof v); }
    bool i32(std::int32_t& v) { return raw(&v, sizeof v); }
    // A string's bytes without converting them; false when they have not all arrived.
    bool bytes(const char*& data, qsizetype& size)
    {
        std::uint32_t n = 0;
        if (!u32(n) || n > static_cast<std::uint32_t>(m_data.size() - m_pos))
            return false;
        data = m_data.constData() + m_pos;
        size = static_cast<qsizetype>(n);
        m_pos += size;
        return true;
    }
    bool str(QString& s)
    {
        std::uint32_t n = 0;
        if (!u32(n) || n > static_cast<std::uint32_t>(m_data.size() - m_pos))
            return false;
        s = QString::fromUtf8(m_data.constData() + m_pos, static_cast<qsizetype>(n));
        m_pos += n;
        return true;
    }
    qsizetype remaining() const { return m_data.size() - m_pos; }
    // The next size bytes, which the caller has checked are there.
    const char* take(qsizetype size)
    {
        const char* at = m_data.constData() + m_pos;
        m_pos += size;
        return at;
    }

private:
    bool raw(void* out, std::size_t n)
    {
        if (remaining() < static_cast<qsizetype>(n))
            return false;
        std::memcpy(out, m_data.constData() + m_pos, n);
        m_pos += static_cast<qsizetype>(n);
        return true;
    }
    const QByteArray& m_data;
    qsizetype m_pos;
};

AutomationError damagedError(const QString& path)
{
    return AutomationError(kHelpBase + kJetCannotOpen,
                           QStringLiteral("Cannot open database '%1'.  It may not be a database that your "
                                          "application recognizes, or the file may be corrupt.")
                               .arg(path));
}

[[noreturn]] void damaged(const QString& path)
{
    throw damagedError(path);
}

AutomationError readerNotStarted(const QString& path)
{
    return AutomationError(kHelpBase + kJetCannotOpen, QStringLiteral("Could not start the reader for '%1'.").arg(path));
}

void sendError(int fd, std::int32_t number, const char* message)
{
    Writer w;
    w.u32(kMagicError);
    w.i32(number);
    w.str(message);
    WriteAllToFd(fd, w.data().data(), static_cast<qint64>(w.data().size()));
}

// Opens path read-only for libmdb, in the child. Through a private mapping of the whole file where
// one can be had: libmdb then reads its pages from memory, where from a file it asks the system
// for the size, the position and the bytes of every page it reads (tens of thousands of calls
// for a large catalogue). A file that cannot be mapped is opened by name as before.
MdbHandle* openForReading(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        void* mapped = MAP_FAILED;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            mapped = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (mapped != MAP_FAILED) {
            // The mapping stays until the child ends, like the handle that reads it.
            if (MdbHandle* mdb = mdb_open_buffer(mapped, static_cast<size_t>(st.st_size), MDB_NOFLAGS))
                return mdb;
            ::munmap(mapped, static_cast<size_t>(st.st_size));
        }
    }
    return mdb_open(path.c_str(), MDB_NOFLAGS);
}

// Appends a name libmdb gives as UTF-8.
void appendUtf16(std::u16string& out, const char* utf8)
{
    const std::size_t size = utf8 ? std::strlen(utf8) : 0;
    std::size_t i = 0;
    while (i < size && static_cast<unsigned char>(utf8[i]) < 0x80)
        ++i;
    if (i == size) {
        // Plain ASCII, nearly always: widened in place.
        const std::size_t at = out.size();
        out.resize(at + size);
        char16_t* to = out.data() + at;
        for (std::size_t k = 0; k < size; ++k)
            to[k] = static_cast<unsigned char>(utf8[k]);
        return;
    }
    const QString text = QString::fromUtf8(utf8, static_cast<qsizetype>(size));
    out.append(reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size()));
}

// Runs in the child.
void readCatalogueChild(const std::string& path, int fd)
{
    MdbHandle* mdb = openForReading(path);
    if (!mdb) {
        sendError(fd, kJetCannotOpen, "");
        return;
    }
    // The raw-type filter of the reader keeps exactly the local tables (type 1), system ones too.
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        sendError(fd, kJetCannotOpen, "");
        return;
    }
    // The list goes first and in the order the catalogue objects hand the tables out, and the
    // columns follow in that order: the parent can then work down the list while the rest is read.
    const unsigned int count = mdb->num_catalog;
    std::vector<QString> names;
    names.reserve(count);
    for (unsigned int i = 0; i < count; ++i)
        names.push_back(QString::fromUtf8(static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i))->object_name));
    std::vector<unsigned int> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&names](unsigned int a, unsigned int b) { return JetNameLess(names[a], names[b]); });

    Writer w;
    w.reserve(kFlushBytes + (1 << 14));
    std::u16string columnNames;
    w.u32(kMagicCatalogue);
    w.u32(count);
    for (unsigned int i : order) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        w.str(entry->object_name);
        w.i32(entry->flags);
    }
    w.flush(fd);
    for (unsigned int i : order) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        MdbTableDef* table = mdb_read_table(entry);
        if (!table || !mdb_read_columns(table)) {
            w.flush(fd);
            sendError(fd, kJetCannotOpen, entry->object_name);
            return;
        }
        // The columns go out in the form the parent keeps them: fixed records and every name
        // one after the other as UTF-16, so that taking a table in is two copies, not a loop over
        // names. The parent's core is the busier one while a report is written.
        columnNames.clear();
        w.u32(kTagTable);
        w.u32(table->num_cols);
        const std::size_t countAt = w.data().size();
        w.u32(0); // the names' length, filled in below
        for (unsigned int c = 0; c < table->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            const std::size_t start = columnNames.size();
            appendUtf16(columnNames, col->name);
            const std::uint32_t flags =
                (col->is_fixed ? 1u : 0u) | (col->is_long_auto ? 2u : 0u) | (col->is_uuid_auto ? 4u : 0u);
            // libmdb names the last two the wrong way round: its "scale" is the precision.
            const std::int32_t record[kColumnRecordFields] = {static_cast<std::int32_t>(start),
                                                              static_cast<std::int32_t>(columnNames.size() - start),
                                                              col->col_type,
                                                              col->col_size,
                                                              static_cast<std::int32_t>(flags),
                                                              col->col_scale,
                                                              col->col_prec};
            w.raw(record, sizeof record);
        }
        w.setU32(countAt, static_cast<std::uint32_t>(columnNames.size()));
        w.raw(columnNames.data(), columnNames.size() * sizeof(char16_t));
        mdb_free_tabledef(table);
        if (w.data().size() >= kFlushBytes)
            w.flush(fd);
    }
    w.u32(kMagicEnd);
    w.flush(fd);
    // No mdb_close: the child ends now, and a damaged file should not get another chance to crash.
}

// Comparison nodes whose column name matched no column of the table: the reader would silently
// treat them as constants and return rows a real engine would refuse.
int countUnresolvedColumns(const MdbSargNode* node, int depth = 0)
{
    if (!node || depth > 1000)
        return 0;
    int n = 0;
    if (mdb_is_relational_op(node->op) && node->parent && !node->col)
        n = 1;
    return n + countUnresolvedColumns(node->left, depth + 1) + countUnresolvedColumns(node->right, depth + 1);
}

void runQueryChild(const std::string& path, const std::string& sqlText, int fd)
{
    MdbSQL* sql = mdb_sql_init();
    // Not mdb_sql_open: it passes the name through wordexp(), which runs "$(...)" in a file name as
    // a command and splits names at blanks.
    sql->mdb = openForReading(path);
    if (!sql->mdb) {
        sendError(fd, kJetCannotOpen, "");
        return;
    }
    if (!mdb_sql_run_query(sql, sqlText.c_str()) || !sql->cur_table) {
        sendError(fd, kJetSyntaxError, sql->error_msg);
        return;
    }
    const int unresolved = countUnresolvedColumns(sql->cur_table->sarg_tree);
    if (unresolved > 0) {
        const std::string message = "Too few parameters. Expected " + std::to_string(unresolved) + ".";
        sendError(fd, kJetTooFewParameters, message.c_str());
        return;
    }
    Writer w;
    w.u32(kMagicQuery);
    w.u32(sql->num_columns);
    for (unsigned int j = 0; j < sql->num_columns; ++j)
        w.str(static_cast<MdbSQLColumn*>(g_ptr_array_index(sql->columns, j))->name);
    while (mdb_sql_fetch_row(sql, sql->cur_table)) {
        w.u32(1);
        for (unsigned int j = 0; j < sql->num_columns; ++j)
            w.str(static_cast<const char*>(g_ptr_array_index(sql->bound_values, j)));
    }
    w.u32(0);
    w.u32(kMagicEnd);
    WriteAllToFd(fd, w.data().data(), static_cast<qint64>(w.data().size()));
}

// Runs work in a child and hands back its message, or throws for a child that failed.
QByteArray runChild(const QString& path, const std::function<void(int)>& work,
                    const std::function<qsizetype(const QByteArray&)>& onData = {})
{
    const ChildRunResult r = RunInChildProcess(work, g_timeoutMs.load(), kMaxChildOutput, onData);
    if (r.status == ChildRunResult::StartFailed)
        throw readerNotStarted(path);
    if (r.status != ChildRunResult::Finished || r.exitCode != 0)
        damaged(path);
    return r.output;
}

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 0x20) : c;
}

// Throws the error a child reported; returns when the message is not an error.
void throwIfError(const QByteArray& data, const QString& path)
{
    Reader in(data);
    std::uint32_t magic = 0;
    if (!in.u32(magic))
        damaged(path);
    if (magic != kMagicError)
        return;
    std::int32_t number = 0;
    QString message;
    if (!in.i32(number) || !in.str(message) || number == kJetCannotOpen)
        damaged(path);
    if (message.isEmpty())
        message = QStringLiteral("Syntax error in query.");
    throw AutomationError(kHelpBase + number, message);
}

} // namespace

void SetJetReaderTimeout(int milliseconds)
{
    g_timeoutMs.store(milliseconds > 0 ? milliseconds : 1);
}

int JetReaderTimeout()
{
    return g_timeoutMs.load();
}

bool JetNameLess(const QString& a, const QString& b)
{
    // a.compare(b, Qt::CaseInsensitive) < 0, without Qt's general case folding while both are ASCII.
    const qsizetype common = qMin(a.size(), b.size());
    const QChar* x = a.constData();
    const QChar* y = b.constData();
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t cx = x[i].unicode();
        const char16_t cy = y[i].unicode();
        if (cx >= 0x80 || cy >= 0x80)
            return a.compare(b, Qt::CaseInsensitive) < 0;
        const char16_t lx = asciiLower(cx);
        const char16_t ly = asciiLower(cy);
        if (lx != ly)
            return lx < ly;
    }
    return a.size() < b.size();
}

namespace {

// Room for the columns and names of a catalogue: taken from large blocks one after the other and
// given back all at once. A catalogue of tens of thousands of columns held in a small allocation
// per table touches a thousand fresh pages, each a fault of its own (and on a virtual machine a
// costly one); blocks of the huge-page size may be backed by a few huge pages instead.
class CatalogueArena
{
public:
    CatalogueArena() = default;
    CatalogueArena(const CatalogueArena&) = delete;
    CatalogueArena& operator=(const CatalogueArena&) = delete;
    ~CatalogueArena()
    {
        for (const Block& block : m_blocks)
            ::munmap(block.base, block.size);
    }

    // size bytes aligned for any of the records kept here; throws std::bad_alloc.
    void* allocate(std::size_t size)
    {
        constexpr std::size_t kAlign = alignof(std::max_align_t);
        size = (size + kAlign - 1) & ~(kAlign - 1);
        if (size > m_left)
            grow(size);
        void* at = m_next;
        m_next += size;
        m_left -= size;
        return at;
    }

private:
    struct Block
    {
        void* base;
        std::size_t size;
    };
    static constexpr std::size_t kHugePage = std::size_t(2) << 20;
    // A small catalogue (the usual case) stays in ordinary pages.
    static constexpr std::size_t kFirstBlock = std::size_t(256) << 10;

    void grow(std::size_t need)
    {
        const bool first = m_blocks.empty();
        std::size_t size = first ? kFirstBlock : kHugePage;
        while (size < need)
            size *= 2;
        // Huge pages need blocks aligned to their size: map one page more and trim.
        const std::size_t slack = first ? 0 : kHugePage;
        void* raw = ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            throw std::bad_alloc();
        char* base = static_cast<char*>(raw);
        if (slack > 0) {
            char* aligned = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(base) + kHugePage - 1) &
                                                    ~std::uintptr_t(kHugePage - 1));
            if (aligned > base)
                ::munmap(base, std::size_t(aligned - base));
            const std::size_t tail = slack - std::size_t(aligned - base);
            if (tail > 0)
                ::munmap(aligned + size, tail);
            base = aligned;
            // Only advice: without transparent huge pages the block simply has ordinary ones.
            ::madvise(base, size, MADV_HUGEPAGE);
        }
        m_blocks.push_back(Block{base, size});
        m_next = base;
        m_left = size;
    }

    std::vector<Block> m_blocks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
};

} // namespace

struct JetCatalogueStream::State
{
    QString path;
    // Filled by the reader thread before `listed` is set, never resized afterwards: the reader then
    // only fills in the columns of the entry at `arrived`, which nobody reads before it moves on.
    std::vector<JetTableInfo> tables;
    CatalogueArena arena; // the tables' columns and names
    std::atomic<int> arrived{0}; // tables whose columns are in, from the first on
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> listedNow{false}; // listed, for a look without the lock
    bool listed = false; // guarded by mutex, as are the three below
    bool ended = false;
    bool whole = false;
    std::exception_ptr listError; // why no list came, when none did
    int cancel[2] = {-1, -1};
    std::thread reader;

    ~State()
    {
        if (reader.joinable()) {
            if (cancel[1] >= 0) {
                const char stop = 1;
                [[maybe_unused]] const ssize_t n = ::write(cancel[1], &stop, 1);
            }
            reader.join();
        }
        for (int fd : cancel) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    void run() noexcept;
};

namespace {

// The columns of one table record, kept in arena and handed to table; false (table untouched) when
// its bytes have not all arrived, or (bad set) when they make no sense.
bool parseColumns(Reader& in, JetTableInfo& table, CatalogueArena& arena, bool& bad)
{
    constexpr qsizetype kRecordSize = kColumnRecordFields * 4;
    std::uint32_t columnCount = 0;
    std::uint32_t namesLength = 0;
    if (!in.u32(columnCount) || !in.u32(namesLength))
        return false;
    const qsizetype need = qsizetype(columnCount) * kRecordSize + qsizetype(namesLength) * 2;
    if (in.remaining() < need)
        return false;
    const char* records = in.take(qsizetype(columnCount) * kRecordSize);
    const char* names = in.take(qsizetype(namesLength) * 2);
    // Records and names in one piece: the records first, whose alignment the names can share.
    const std::size_t recordBytes = std::size_t(columnCount) * sizeof(JetColumnInfo);
    char* room = static_cast<char*>(arena.allocate(recordBytes + std::size_t(namesLength) * 2));
    auto* out = reinterpret_cast<JetColumnInfo*>(room);
    for (std::uint32_t c = 0; c < columnCount; ++c) {
        std::int32_t field[kColumnRecordFields];
        std::memcpy(field, records + qsizetype(c) * kRecordSize, sizeof field);
        // A name outside the names would be read beyond them; the rest are bytes of the table
        // definition, so anything larger did not come from the reader.
        const bool fits = field[0] >= 0 && field[1] >= 0 && std::uint32_t(field[0]) <= namesLength &&
                          std::uint32_t(field[1]) <= namesLength - std::uint32_t(field[0]) && field[1] <= 0xFFFF;
        const auto isByte = [](std::int32_t v) { return v >= 0 && v <= 0xFF; };
        if (!fits || !isByte(field[2]) || !isByte(field[5]) || !isByte(field[6])) {
            bad = true;
            return false;
        }
        JetColumnInfo& col = *new (out + c) JetColumnInfo;
        col.nameStart = field[0];
        col.nameLength = std::uint16_t(field[1]);
        col.jetType = std::uint8_t(field[2]);
        col.size = field[3];
        const auto flags = static_cast<std::uint32_t>(field[4]);
        col.fixed = flags & 1u;
        col.autoLong = flags & 2u;
        col.autoGuid = flags & 4u;
        col.precision = std::uint8_t(field[5]);
        col.scale = std::uint8_t(field[6]);
    }
    char16_t* copied = reinterpret_cast<char16_t*>(room + recordBytes);
    if (namesLength > 0)
        std::memcpy(copied, names, std::size_t(namesLength) * 2);
    table.columns = JetColumnList(out, qsizetype(columnCount));
    table.columnNames = copied;
    return true;
}

} // namespace

void JetCatalogueStream::State::run() noexcept
{
    // The message is taken apart while the child is still reading: a record whose bytes have not
    // all arrived is tried again with the next piece, and what has been taken is handed back to be
    // dropped. Only at the end does "incomplete" mean "damaged". position counts from the start of
    // what is kept.
    qsizetype position = 0;
    bool started = false;
    bool haveList = false;
    bool finished = false;
    bool failed = false; // the child reported an error (or sent something else): judged at the end
    std::uint32_t tableCount = 0;
    std::vector<JetTableInfo> list;
    int next = 0; // the table whose columns come next

    auto consume = [&](const QByteArray& data) {
        if (failed || finished)
            return;
        Reader in(data, position);
        if (!started) {
            std::uint32_t magic = 0;
            if (!in.u32(magic))
                return;
            if (magic != kMagicCatalogue || !in.u32(tableCount)) {
                failed = magic != kMagicCatalogue;
                return;
            }
            started = true;
            // A guess for the reserve only; what arrives decides.
            list.reserve(std::min<std::uint32_t>(tableCount, 1u << 16));
            position = in.pos();
        }
        if (!haveList) {
            while (list.size() < tableCount) {
                JetTableInfo table;
                if (!in.str(table.name) || !in.i32(table.flags))
                    return; // position still points at this entry
                list.push_back(std::move(table));
                position = in.pos();
            }
            haveList = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                tables = std::move(list);
                listed = true;
                listedNow.store(true, std::memory_order_release);
            }
            changed.notify_all();
        }
        int got = next;
        for (;;) {
            const qsizetype before = in.pos();
            std::uint32_t tag = 0;
            if (!in.u32(tag))
                break;
            if (tag == kMagicEnd) {
                finished = true;
                break;
            }
            if (tag != kTagTable || got >= static_cast<int>(tables.size())) {
                failed = true; // an error report (or more tables than listed); read again at the end
                in.seek(before);
                break;
            }
            // Only a whole record is stored in the table: nobody reads it before arrived moves on.
            bool bad = false;
            if (!parseColumns(in, tables[static_cast<std::size_t>(got)], arena, bad)) {
                failed = bad;
                in.seek(before);
                break;
            }
            ++got;
        }
        position = in.pos();
        if (got != next) {
            next = got;
            {
                std::lock_guard<std::mutex> lock(mutex);
                arrived.store(got, std::memory_order_release);
            }
            changed.notify_all();
        }
    };
    // While the child runs: everything read so far is taken and dropped.
    auto consumeAndTake = [&](const QByteArray& data) -> qsizetype {
        consume(data);
        return std::exchange(position, 0);
    };

    bool complete = false;
    std::exception_ptr error;
    try {
        const std::string file = path.toStdString();
        const ChildRunResult r = RunInChildProcess([&file](int fd) { readCatalogueChild(file, fd); },
                                                   g_timeoutMs.load(), kMaxChildOutput, consumeAndTake, cancel[0]);
        consume(r.output);
        if (r.status == ChildRunResult::StartFailed) {
            error = std::make_exception_ptr(readerNotStarted(path));
        } else if (!haveList && r.status == ChildRunResult::Finished && r.exitCode == 0 && (failed || !started)) {
            // The child said why it could not read the list.
            try {
                throwIfError(r.output.mid(position), path);
                damaged(path);
            } catch (...) {
                error = std::current_exception();
            }
        }
        complete = r.status == ChildRunResult::Finished && r.exitCode == 0 && haveList && finished && !failed &&
                 next == static_cast<int>(tables.size()) && position == r.output.size();
    } catch (...) {
        complete = false;
        if (!haveList)
            error = std::current_exception();
    }
    if (!haveList && !error)
        error = std::make_exception_ptr(damagedError(path));
    {
        std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        whole = complete;
        if (!haveList)
            listError = error;
    }
    changed.notify_all();
}

JetCatalogueStream::JetCatalogueStream(const QString& path, bool waitForList) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.path = path;
    // Without the pipe a stream dropped early waits for its child to finish instead of ending it.
    if (::pipe2(s.cancel, O_CLOEXEC) != 0)
        s.cancel[0] = s.cancel[1] = -1;
    try {
        s.reader = std::thread([&s] { s.run(); });
    } catch (const std::system_error&) {
        s.run(); // no thread to be had: the whole catalogue is read here and now
    }
    if (waitForList)
        this->waitForList();
}

JetCatalogueStream::~JetCatalogueStream() = default;

void JetCatalogueStream::waitForList() const
{
    State& s = *m_state;
    if (s.listedNow.load(std::memory_order_acquire))
        return;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait(lock, [&s] { return s.listed || s.ended; });
    if (!s.listed) {
        const std::exception_ptr error = s.listError;
        lock.unlock();
        std::rethrow_exception(error);
    }
}

int JetCatalogueStream::tableCount() const
{
    waitForList();
    return static_cast<int>(m_state->tables.size());
}

const JetTableInfo& JetCatalogueStream::table(int index) const
{
    waitForList();
    return m_state->tables[static_cast<std::size_t>(index)];
}

const JetTableInfo& JetCatalogueStream::waitForColumns(int index)
{
    waitForList();
    State& s = *m_state;
    if (s.arrived.load(std::memory_order_acquire) <= index) {
        std::unique_lock<std::mutex> lock(s.mutex);
        s.changed.wait(lock, [&] { return s.arrived.load(std::memory_order_acquire) > index || s.ended; });
        if (s.arrived.load(std::memory_order_acquire) <= index) {
            lock.unlock();
            damaged(s.path);
        }
    }
    return s.tables[static_cast<std::size_t>(index)];
}

void JetCatalogueStream::waitComplete()
{
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait(lock, [&s] { return s.ended; });
    if (!s.whole) {
        lock.unlock();
        damaged(s.path);
    }
}

JetQueryResult RunJetQuery(const QString& path, const QString& sql)
{
    // The reader refuses a statement that ends in ";", which the engine it stands in for accepts.
    QString text = sql.trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    const std::string file = path.toStdString();
    const std::string statement = text.toStdString();
    const QByteArray data = runChild(path, [&](int fd) { runQueryChild(file, statement, fd); });
    throwIfError(data, path);

    Reader in(data);
    std::uint32_t magic = 0, columnCount = 0;
    if (!in.u32(magic) || magic != kMagicQuery || !in.u32(columnCount) ||
        columnCount > static_cast<std::uint32_t>(in.remaining() / 4))
        damaged(path);
    JetQueryResult result;
    for (std::uint32_t j = 0; j < columnCount; ++j) {
        QString name;
        if (!in.str(name))
            damaged(path);
        result.columns.append(name);
    }
    for (;;) {
        std::uint32_t more = 0;
        if (!in.u32(more))
            damaged(path);
        if (!more)
            break;
        QStringList row;
        row.reserve(columnCount);
        for (std::uint32_t j = 0; j < columnCount; ++j) {
            QString value;
            if (!in.str(value))
                damaged(path);
            row.append(value);
        }
        result.rows.append(row);
    }
    std::uint32_t end = 0;
    if (!in.u32(end) || end != kMagicEnd)
        damaged(path);
    return result;
}
