#include "JetProvider.h"

#include "CatalogueSource.h"
#include "ConnectionStringItems.h"
#include "JetCatalogueModel.h"
#include "JetLinkedTables.h"
#include "JetReaderFormat.h"
#include "QueryObject.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int32_t kHelpBase = 5000000;

[[noreturn]] void jetError(std::int32_t number, const QString& message)
{
    throw AutomationError(kHelpBase + number, message);
}

[[noreturn]] void notFound(const QString& path)
{
    jetError(3024, QStringLiteral("Could not find file '%1'.").arg(path));
}

[[noreturn]] void cannotOpen(const QString& path)
{
    jetError(3051, QStringLiteral("The database engine cannot open the file '%1'.  It is already opened "
                                  "exclusively by another user, or you need permission to view its data.")
                       .arg(path));
}

[[noreturn]] void unrecognized(const QString& path)
{
    jetError(3343, QStringLiteral("Unrecognized database format '%1'.").arg(path));
}

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 0x20) : c;
}

// name against an ASCII member name of the same length, ignoring case; a name with characters
// beyond ASCII gets Qt's full Unicode comparison.
bool sameMemberNameSlow(const QString& name, const char16_t* member)
{
    const qsizetype length = name.size();
    const char16_t* chars = reinterpret_cast<const char16_t*>(name.constData());
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = chars[i];
        const char16_t m = member[i];
        if (c == m)
            continue;
        if (c >= 0x80)
            return name.compare(QStringView(member, length), Qt::CaseInsensitive) == 0;
        if (asciiLower(c) != asciiLower(m))
            return false;
    }
    return true;
}

// Member names are matched as automation does: without regard to case. A report asks for several
// members of every column, so a name spelled exactly as the member (the common case) is settled
// inline, without a library call; a name that differs anywhere goes to the case-blind comparison. Simple case
// folding keeps every UTF-16 length, so a name of another length never matches.
template <std::size_t N> inline bool is(const QString& name, const char16_t (&member)[N])
{
    constexpr qsizetype length = qsizetype(N - 1);
    if (name.size() != length)
        return false;
    const char16_t* chars = reinterpret_cast<const char16_t*>(name.constData());
    // Most misses differ in the first letter: settled here. A first character beyond ASCII is left
    // to the full comparison.
    const char16_t first = chars[0];
    if (first < 0x80 && asciiLower(first) != asciiLower(member[0]))
        return false;
    // A compare of a size known here is expanded by the compiler into a few wide loads.
    return std::memcmp(chars, member, sizeof(char16_t) * std::size_t(length)) == 0 ||
           sameMemberNameSlow(name, member);
}

[[noreturn]] void notInCollection()
{
    throw AutomationError(0, QStringLiteral("Item cannot be found in the collection corresponding to the "
                                            "requested name or ordinal."));
}

const Variant& singleArgument(const QString& member, const QList<Variant>& args)
{
    if (args.size() != 1)
        throw AutomationError(0, QStringLiteral("Invalid number of parameters for %1.").arg(member));
    return args.first();
}

// The first page of the file, read without blocking (a FIFO or device never gets this far) and with
// its length; throws the Jet errors for what is not a readable regular file.
QByteArray readFirstPage(const QString& path, std::int64_t& size)
{
    // A NUL inside the name would make the system open a shorter name: some other file.
    const QByteArray native = QFile::encodeName(path);
    const bool unusable = native.isEmpty() || native.contains('\0');
    struct stat st;
    if (unusable || ::stat(native.constData(), &st) != 0) {
        if (unusable || errno == ENOENT || errno == ENOTDIR)
            notFound(path);
        cannotOpen(path);
    }
    if (!S_ISREG(st.st_mode))
        cannotOpen(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        cannotOpen(path);
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        cannotOpen(path);
    }
    QByteArray page(4096, '\0');
    qsizetype have = 0;
    bool failed = false;
    while (have < page.size()) {
        const ssize_t n = ::read(fd, page.data() + have, static_cast<size_t>(page.size() - have));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failed = true;
            break;
        }
        if (n == 0)
            break;
        have += n;
    }
    ::close(fd);
    if (failed)
        cannotOpen(path);
    page.truncate(have);
    size = static_cast<std::int64_t>(opened.st_size);
    return page;
}

// What tells one state of a file from another: a file written since has another stamp.
struct FileStamp
{
    bool valid = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path)
{
    FileStamp stamp;
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.contains('\0') || ::stat(native.constData(), &st) != 0)
        return stamp;
    stamp.valid = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

// The password a reading was made with, kept only as a digest.
QByteArray passwordDigest(const QString& password)
{
    return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256);
}

// The catalogue of one open, shared by every object handed out from it, so that objects a caller
// still holds stay valid after the catalogue is reconnected.
struct CatalogueData
{
    QString path;
    JetFileHeader header;
    JetCatalogue catalogue;
    // The file as it was when the reading began, and the password it was read with.
    FileStamp stamp;
    QByteArray passwordDigest;

    // Position of a table by name, without regard to case; -1 for none. The index is made at the
    // first search.
    int lookup(const QString& name) const
    {
        if (!m_indexMade) {
            const int count = int(catalogue.tables.size());
            m_index.reserve(count);
            // Filled backwards so that of two names differing only in case the first wins, as a
            // search would.
            for (int t = count - 1; t >= 0; --t)
                m_index.insert(catalogue.tables.at(t).name.toCaseFolded(), t);
            m_indexMade = true;
        }
        return m_index.value(name.toCaseFolded(), -1);
    }

private:
    mutable bool m_indexMade = false;
    mutable QHash<QString, int> m_index; // case-folded name -> position
};

using DataPtr = std::shared_ptr<const CatalogueData>;

// Item's argument: a number is a position counting from 0, text a name (found by findName).
template <typename FindName> int itemPosition(const Variant& key, int count, FindName findName)
{
    int position = -1;
    switch (key.kind()) {
    case Variant::Kind::Int:
        position = key.toInt();
        break;
    case Variant::Kind::Text:
        position = findName(key.toText());
        break;
    default:
        break;
    }
    if (position < 0 || position >= count)
        notInCollection();
    return position;
}

// Lives inside its collection (see JetColumns), which keeps the catalogue alive for it.
class JetColumn final : public Dispatch
{
public:
    JetColumn(const JetColumnInfo* column, const JetFileHeader* header) : m_column(column), m_header(header)
    {
    }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        const JetColumnInfo& c = *m_column;
        if (!args.isEmpty())
            return Dispatch::get(name, args);
        if (is(name, u"Name"))
            return Variant(c.name);
        if (is(name, u"Type"))
            return Variant(JetAdoType(c));
        if (is(name, u"DefinedSize"))
            return Variant(JetDefinedSize(c, *m_header));
        if (is(name, u"Precision"))
            return Variant(std::int32_t(c.jetType == 16 ? c.precision : 0));
        if (is(name, u"NumericScale"))
            return Variant(std::int32_t(c.jetType == 16 ? c.scale : 0));
        return Dispatch::get(name, args);
    }

private:
    const JetColumnInfo* m_column;
    const JetFileHeader* m_header;
};

class JetColumns final : public Dispatch, public std::enable_shared_from_this<JetColumns>
{
public:
    JetColumns(DataPtr data, int table) : m_data(std::move(data)), m_table(m_data->catalogue.tables.at(table))
    {
        // A linked table's columns are sized as its back-end's format stores them.
        if (m_table.link)
            m_linkHeader.version = m_table.link->backEndVersion;
    }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        const int count = static_cast<int>(m_table.columns.size());
        if (is(name, u"Count") && args.isEmpty())
            return Variant(std::int32_t(count));
        if (is(name, u"Item")) {
            // Tables have few columns and are rarely searched by name: no index is kept for them.
            const int position = itemPosition(singleArgument(name, args), count, [&](const QString& wanted) {
                for (int c = 0; c < count; ++c) {
                    if (m_table.columns.at(c).name.compare(wanted, Qt::CaseInsensitive) == 0)
                        return c;
                }
                return -1;
            });
            // A report reads every column several times over: the member objects are made once
            // and handed out as the same object each time, as a real collection does. A reference
            // to one shares ownership of the collection that holds it.
            if (m_items.empty()) {
                m_items.reserve(static_cast<std::size_t>(count));
                const JetFileHeader* header = m_table.link ? &m_linkHeader : &m_data->header;
                for (const JetColumnInfo& column : m_table.columns)
                    m_items.emplace_back(&column, header);
            }
            return Variant(DispatchPtr(shared_from_this(), &m_items[static_cast<std::size_t>(position)]));
        }
        return Dispatch::get(name, args);
    }
    Variant invoke(const QString& name, const QList<Variant>& args) override { return get(name, args); }

private:
    DataPtr m_data;
    const JetTableInfo& m_table;
    JetFileHeader m_linkHeader;
    std::vector<JetColumn> m_items; // never grows once filled: references into it stay valid
};

class JetTable final : public Dispatch
{
public:
    JetTable(DataPtr data, int table) : m_data(std::move(data)), m_table(table) {}

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        const JetTableInfo& t = m_data->catalogue.tables.at(m_table);
        if (!args.isEmpty())
            return Dispatch::get(name, args);
        if (is(name, u"Name"))
            return Variant(t.name);
        if (is(name, u"Columns")) {
            // The facade asks for the collection once per column read: keep the one object.
            if (!m_columns)
                m_columns = std::make_shared<JetColumns>(m_data, m_table);
            return Variant(m_columns);
        }
        if (is(name, u"Type")) {
            if (t.link)
                return Variant(t.link->type == jetreader::kLinkJet ? QStringLiteral("LINK")
                                                                   : QStringLiteral("PASS-THROUGH"));
            const bool system = (static_cast<std::uint32_t>(t.flags) & 0x80000002u) != 0;
            return Variant(system ? QStringLiteral("SYSTEM TABLE") : QStringLiteral("TABLE"));
        }
        return Dispatch::get(name, args);
    }

private:
    DataPtr m_data;
    int m_table;
    DispatchPtr m_columns;
};

class JetTables final : public Dispatch
{
public:
    explicit JetTables(DataPtr data) : m_data(std::move(data)) {}

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        const int count = int(m_data->catalogue.tables.size());
        if (is(name, u"Count") && args.isEmpty())
            return Variant(std::int32_t(count));
        if (is(name, u"Item")) {
            const int position = itemPosition(singleArgument(name, args), count,
                                              [&](const QString& wanted) { return m_data->lookup(wanted); });
            return Variant(DispatchPtr(std::make_shared<JetTable>(m_data, position)));
        }
        return Dispatch::get(name, args);
    }
    Variant invoke(const QString& name, const QList<Variant>& args) override { return get(name, args); }

private:
    DataPtr m_data;
};

// The open catalogues, so that the system-table statement on a file an opening has just read is
// answered from that reading instead of a reader run of its own. An entry lives as long as its
// opening.
class OpenCatalogues
{
public:
    void add(const DataPtr& data)
    {
        QMutexLocker lock(&m_mutex);
        m_open.erase(std::remove_if(m_open.begin(), m_open.end(),
                                    [](const std::weak_ptr<const CatalogueData>& w) { return w.expired(); }),
                     m_open.end());
        m_open.push_back(data);
    }

    // The statement's answer for path as it is now, read with password; none when no opening
    // holds one.
    std::optional<JetQueryResult> systemTables(const QString& path, const QString& password)
    {
        const FileStamp now = stampOf(path);
        if (!now.valid)
            return std::nullopt;
        const QByteArray digest = passwordDigest(password);
        QMutexLocker lock(&m_mutex);
        for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) {
            const DataPtr data = it->lock();
            if (data && data->stamp == now && data->passwordDigest == digest && data->catalogue.systemTables)
                return data->catalogue.systemTables;
        }
        return std::nullopt;
    }

private:
    QMutex m_mutex;
    std::vector<std::weak_ptr<const CatalogueData>> m_open;
};

OpenCatalogues& openCatalogues()
{
    static OpenCatalogues open;
    return open;
}

DataPtr openCatalogue(const QString& connectionString)
{
    const JetConnectionSettings settings = ParseJetConnectionString(connectionString);
    const JetFileHeader header = CheckJetAccess(settings);

    auto data = std::make_shared<CatalogueData>();
    data->path = settings.dataSource;
    data->header = header;
    // Taken before the reading: a file changed while it is read is read again when next asked.
    data->stamp = stampOf(settings.dataSource);
    data->passwordDigest = passwordDigest(settings.databasePassword);
    data->catalogue = ReadJetCatalogue(settings.dataSource, settings.databasePassword);
    ResolveJetLinks(data->catalogue, settings.dataSource, settings.databasePassword);
    openCatalogues().add(data);
    return data;
}

class JetCatalog final : public Dispatch, public TCatalogueSource
{
public:
    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (!args.isEmpty())
            return Dispatch::get(name, args);
        if (is(name, u"ActiveConnection"))
            return m_data ? Variant(m_connectionString) : Variant();
        if (is(name, u"Tables")) {
            if (!m_data)
                throw AutomationError(0,
                                      QStringLiteral("Operation is not allowed when the object is closed."));
            // Kept for the catalogue this connection read; a new connection makes a new one.
            if (!m_tables)
                m_tables = std::make_shared<JetTables>(m_data);
            return Variant(m_tables);
        }
        return Dispatch::get(name, args);
    }

    void put(const QString& name, const Variant& value) override
    {
        if (!is(name, u"ActiveConnection")) {
            Dispatch::put(name, value);
            return;
        }
        // A refused connection leaves the catalogue as it was.
        const QString connectionString = value.toText();
        m_data = openCatalogue(connectionString);
        m_tables.reset();
        m_model.reset();
        m_connectionString = connectionString;
    }

    std::shared_ptr<const TCatalogue> StructureModel() override
    {
        if (!m_data)
            throw AutomationError(0, QStringLiteral("Operation is not allowed when the object is closed."));
        if (!m_model)
            m_model = std::make_shared<const TCatalogue>(
                JetCatalogueModel(m_data->catalogue, m_data->header, m_data->path));
        return m_model;
    }

    const CatalogueData* data() const { return m_data.get(); }

private:
    DataPtr m_data;
    std::shared_ptr<const TCatalogue> m_model; // of m_data, made when first asked for
    DispatchPtr m_tables;
    QString m_connectionString;
};

} // namespace

QList<JetUnresolvedLink> JetCatalogUnresolvedLinks(const Variant& catalog)
{
    const auto* jet = dynamic_cast<const JetCatalog*>(catalog.objectPtr().get());
    if (!jet || !jet->data())
        return {};
    return UnresolvedJetLinks(jet->data()->catalogue);
}

JetConnectionSettings ParseJetConnectionString(const QString& connectionString)
{
    JetConnectionSettings s;
    for (const ConnectionStringItem& item : SplitConnectionString(connectionString)) {
        const QString key = item.key.trimmed();
        // A later item overrides an earlier one with the same key.
        if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0)
            s.dataSource = item.value;
        else if (key.compare(QLatin1String("User ID"), Qt::CaseInsensitive) == 0)
            s.userId = item.value;
        else if (key.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0)
            s.password = item.value;
        else if (key.compare(QLatin1String("Jet OLEDB:Database Password"), Qt::CaseInsensitive) == 0)
            s.databasePassword = item.value;
    }
    return s;
}

JetFileHeader CheckJetAccess(const JetConnectionSettings& settings)
{
    // Only the default workgroup exists here: its one account is Admin without a password. The log-in
    // comes before the file, as with Jet.
    const bool defaultUser = settings.userId.isEmpty() ||
                             settings.userId.compare(QLatin1String("Admin"), Qt::CaseInsensitive) == 0;
    if (!defaultUser || !settings.password.isEmpty())
        jetError(3029, QStringLiteral("Not a valid account name or password."));

    const QString& path = settings.dataSource;
    std::int64_t size = 0;
    const QByteArray firstPage = readFirstPage(path, size);
    JetFileHeader header;
    if (!ParseJetHeader(firstPage, size, header)) {
        // A whole header page of a password-protected .accdb in a file of another length: cut short.
        if (IsEncryptedAceHeader(firstPage))
            throw JetDamagedError(path);
        unrecognized(path);
    }
    // A password-protected .accdb is encrypted throughout: the reader checks the password while it
    // decrypts the file (unsupported schemes and damaged encryption data are its errors too). The
    // header's Jet password field means nothing in such a file.
    if (header.isAce() && header.databaseKey != 0)
        return header;
    if (!JetPasswordMatches(header, settings.databasePassword))
        jetError(3031, QStringLiteral("Not a valid password."));
    return header;
}

std::int32_t JetAdoType(const JetColumnInfo& c)
{
    switch (c.jetType) {
    case 1:
        return 11; // Boolean
    case 2:
        return 17; // UnsignedTinyInt
    case 3:
        return 2; // SmallInt
    case 4:
        return 3; // Integer
    case 5:
        return 6; // Currency
    case 6:
        return 4; // Single
    case 7:
        return 5; // Double
    case 8:
        return 7; // Date
    case 9:
        return c.fixed ? 128 : 204; // Binary / VarBinary
    case 10:
        return c.fixed ? 130 : 202; // WChar / VarWChar
    case 11:
        return 205; // LongVarBinary
    case 12:
        return 203; // LongVarWChar
    case 15:
        return 72; // GUID
    case 16:
        return 131; // Numeric
    case 18:
        return 205; // attachments and multi-value fields
    case 19:
        return 20; // BigInt
    case 20:
        return 135; // DBTimeStamp
    default:
        return 0; // a code this program does not know: named "unknown"
    }
}

std::int32_t JetDefinedSize(const JetColumnInfo& c, const JetFileHeader& header)
{
    switch (c.jetType) {
    case 10:
        // Jet 4 and ACE keep text as UTF-16: the stored size is twice the length in characters.
        return header.isJet3() ? c.size : c.size / 2;
    case 9:
        return c.size;
    case 12:
        return 536870910;
    case 11:
        return 1073741823;
    default:
        return 0;
    }
}

DispatchPtr CreateJetCatalog()
{
    return std::make_shared<JetCatalog>();
}

namespace {

// Access: the statement runs on its own reading of the file, except the system-table statement on
// a file an opening has just read, whose answer came with that reading.
class JetQueryObject final : public TQueryObject
{
public:
    void setConnectionString(const QString& connectionString) override
    {
        m_connectionString = connectionString;
    }
    void close() override
    {
        m_open = false;
        m_result = JetQueryResult();
    }
    void setCommandText(const QString& sql) override { m_sql = sql; }
    void open() override
    {
        close();
        if (m_connectionString.trimmed().isEmpty())
            throw AutomationError(0, QStringLiteral("The connection string is empty."));
        const JetConnectionSettings settings = ParseJetConnectionString(m_connectionString);
        CheckJetAccess(settings);
        std::optional<JetQueryResult> known;
        if (JetNormalizedStatement(m_sql) == JetSystemTableStatement())
            known = openCatalogues().systemTables(settings.dataSource, settings.databasePassword);
        m_result =
            known ? std::move(*known) : RunJetQuery(settings.dataSource, m_sql, settings.databasePassword);
        m_open = true;
    }
    bool locate(const QString& field, const QString& value) const override
    {
        if (!m_open)
            return false;
        qsizetype column = -1;
        for (qsizetype i = 0; i < m_result.columns.size() && column < 0; ++i) {
            if (m_result.columns[i].compare(field, Qt::CaseInsensitive) == 0)
                column = i;
        }
        if (column < 0)
            return false;
        for (const QStringList& row : m_result.rows) {
            if (row.value(column) == value)
                return true;
        }
        return false;
    }

private:
    QString m_connectionString;
    QString m_sql;
    JetQueryResult m_result;
    bool m_open = false;
};

} // namespace

void RegisterJetProvider()
{
    RegisterOleProvider(QStringLiteral("ADOX.Catalog"), &CreateJetCatalog);
    SetBuiltInQueryObjectFactory(ptAccess, [] { return std::make_unique<JetQueryObject>(); });
}
