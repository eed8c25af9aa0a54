#include "JetProvider.h"

#include "CatalogueAutomation.h"
#include "CatalogueSource.h"
#include "ConnectionStringItems.h"
#include "JetCatalogueModel.h"
#include "JetLinkedTables.h"
#include "JetReaderFormat.h"
#include "MemberNames.h"
#include "QueryObject.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
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
    // The structure, made once at the opening; the reader's tables are let go then, so a large
    // file's catalogue is not held twice while a report or a document is written from it.
    std::shared_ptr<const TCatalogue> model;
};

using DataPtr = std::shared_ptr<const CatalogueData>;

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
    // The local tables become model objects while the reader still runs; the links are
    // followed once it is done.
    JetCatalogueModelBuilder builder(header, data->path);
    data->catalogue = ReadJetCatalogue(
        settings.dataSource, settings.databasePassword,
        [&builder](const JetTableInfo& table) { builder.add(table); }, JetSavedQueriesRead());
    ResolveJetLinks(data->catalogue, settings.dataSource, settings.databasePassword);
    data->model = std::make_shared<const TCatalogue>(builder.finish(data->catalogue));
    data->catalogue.tables = {};
    data->catalogue.relations = {};
    data->catalogue.complexColumns = {};
    data->catalogue.queries = {};
    openCatalogues().add(data);
    return data;
}

class JetCatalog final : public Dispatch, public TCatalogueSource
{
public:
    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (SameMemberName(name, u"ActiveConnection") && args.isEmpty())
            return m_data ? Variant(m_connectionString) : Variant();
        // Closed, the collections fail as the model does.
        Variant collection;
        if (m_automation.get(name, args, collection))
            return collection;
        return Dispatch::get(name, args);
    }

    void put(const QString& name, const Variant& value) override
    {
        if (!SameMemberName(name, u"ActiveConnection")) {
            Dispatch::put(name, value);
            return;
        }
        // A refused connection leaves the catalogue as it was.
        const QString connectionString = value.toText();
        m_data = openCatalogue(connectionString);
        // Collections handed out before keep the model they were made from.
        m_automation = newAutomation();
        m_connectionString = connectionString;
    }

    std::shared_ptr<const TCatalogue> StructureModel() override
    {
        if (!m_data)
            throw AutomationError(0, QStringLiteral("Operation is not allowed when the object is closed."));
        return m_data->model;
    }

private:
    TCatalogueAutomation newAutomation()
    {
        return TCatalogueAutomation(kJetCatalogueAutomation, [this] { return StructureModel(); });
    }

    DataPtr m_data;
    TCatalogueAutomation m_automation = newAutomation();
    QString m_connectionString;
};

} // namespace

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
        const bool systemTables = JetNormalizedStatement(m_sql) == JetSystemTableStatement();
        if (systemTables)
            known = openCatalogues().systemTables(settings.dataSource, settings.databasePassword);
        m_result =
            known ? std::move(*known) : RunJetQuery(settings.dataSource, m_sql, settings.databasePassword);
        // The statement's "flags <> 0" stands for the system tables, which a hidden table or one
        // of Access 2007's tables with attachments is not.
        if (systemTables)
            m_result = JetSystemTablesOnly(std::move(m_result));
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
