#include "SqlServerProvider.h"

#include "ADOStringProp.h"
#include "CatalogueAutomation.h"
#include "CatalogueSource.h"
#include "EngineTraits.h"
#include "KorvDMOConnection.h"
#include "MemberNames.h"
#include "SqlServerCatalogue.h"
#include "SqlServerSession.h"

#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The databases from the catalog view of SQL Server 2005 and later, which Azure SQL Database has
// too; then from the compatibility view every server version has. Names are sysname,
// nvarchar(128), and Qt's ODBC driver reads text in pieces of the declared length in bytes, decoding
// each piece alone: widened, a name with many non-ASCII characters fits one piece.
const QString kDatabasesSql =
    QStringLiteral("SELECT CAST(d.name AS nvarchar(4000)) FROM sys.databases d ORDER BY d.name");
const QString kOldDatabasesSql =
    QStringLiteral("SELECT CAST(d.name AS nvarchar(4000)) FROM sysdatabases d ORDER BY d.name");
// Where the catalog view is missing (SQL Server 2000: "Invalid object name") or the login may not
// read it; any other failure is the answer.
constexpr std::int32_t kInvalidObjectName = 208;
constexpr std::int32_t kPermissionDenied = 229;

// Whether the login may see every object's metadata in the current database. HAS_PERMS_BY_NAME
// counts the permissions that imply it (CONTROL, db_owner, VIEW ANY DEFINITION, sysadmin); run
// through EXEC so that a server without the function (SQL Server 2000) fails only this statement
// when it runs, not the batch it rides along with when that is compiled.
const QString kViewDefinitionSql =
    QStringLiteral("EXEC(N'SELECT HAS_PERMS_BY_NAME(DB_NAME(), ''DATABASE'', ''VIEW DEFINITION'')')");

constexpr std::int32_t kNChar = 239;
constexpr std::int32_t kNVarChar = 231;

bool is(const QString& name, std::u16string_view member)
{
    return SameMemberName(name, member);
}

[[noreturn]] void fail(const QString& message)
{
    throw AutomationError(0, message);
}

[[noreturn]] void notConnected()
{
    fail(QStringLiteral("The SQLServer object is not connected: call Connect first."));
}

const Variant& argument(const QString& member, const QList<Variant>& args, qsizetype position)
{
    if (position >= args.size())
        fail(QStringLiteral("Too few arguments for %1.").arg(member));
    return args[position];
}

void noArguments(const QString& member, const QList<Variant>& args)
{
    if (!args.isEmpty())
        fail(QStringLiteral("%1 takes no arguments.").arg(member));
}

using SessionPtr = std::shared_ptr<SqlServerSession>;
using ModelPtr = std::shared_ptr<const TCatalogue>;

// What the objects of one database share: the connection and the structure, read in one go when
// the first collection is asked for and kept.
class DatabaseData
{
public:
    DatabaseData(SessionPtr session, QString name) : m_session(std::move(session)), m_name(std::move(name)) {}

    const QString& name() const { return m_name; }

    // One attempt per opening: a read that failed fails again with the same message, without
    // asking the server once more for every table.
    const ModelPtr& model()
    {
        if (m_failure)
            throw *m_failure;
        if (!m_model) {
            try {
                m_model = ReadSqlServerCatalogue(*m_session, m_name);
                // Read with the catalogue; a server that could not answer it is taken at its word.
                const SqlServerRows* granted = m_session->rows(m_name, kViewDefinitionSql);
                if (granted && !granted->rows.empty() && granted->rows.front().value(0) == u"0") {
                    auto partial = std::make_shared<TCatalogue>(*m_model);
                    partial->partialView = true;
                    m_model = std::move(partial);
                }
            } catch (const AutomationError& e) {
                m_failure = e;
                throw;
            }
        }
        return m_model;
    }

private:
    SessionPtr m_session;
    QString m_name;
    ModelPtr m_model;
    std::optional<AutomationError> m_failure;
};

using DatabasePtr = std::shared_ptr<DatabaseData>;

// The database's structure is its catalogue source: the same read serves the collections and the
// model's writers.
class SqlDatabase final : public Dispatch, public TCatalogueSource
{
public:
    explicit SqlDatabase(DatabasePtr data)
        : m_data(std::move(data)),
          m_automation(kSqlServerCatalogueAutomation, [this] { return m_data->model(); })
    {
    }

    std::shared_ptr<const TCatalogue> StructureModel() override { return m_data->model(); }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (is(name, u"Name")) {
            noArguments(name, args);
            return Variant(m_data->name());
        }
        Variant collection;
        if (m_automation.get(name, args, collection))
            return collection;
        return Dispatch::get(name, args);
    }

private:
    DatabasePtr m_data;
    TCatalogueAutomation m_automation;
};

class SqlDatabases final : public TAutomationCollection
{
public:
    using NameSource = std::function<QStringList()>;

    SqlDatabases(SessionPtr session, NameSource names)
        : TAutomationCollection(kSqlServerCatalogueAutomation, "Databases"), m_session(std::move(session)),
          m_source(std::move(names))
    {
    }

    // A database asked for by name needs no list: its object comes at once, and a report of one
    // database costs no round trip for the names of the others. A login may also use a database
    // the server does not list to it (VIEW ANY DATABASE denied, or a database not owned): the
    // server's answer to reading it says whether it may be read. Names compare as the server's
    // usual collation does, without regard to case.
    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (IsAutomationMember(name, TAutomationMember::Item) && args.size() == 1 &&
            args.first().kind() == Variant::Kind::Text)
            return Variant(database(args.first().toText()));
        return TAutomationCollection::get(name, args);
    }

protected:
    int count() const override { return static_cast<int>(names().size()); }
    QString nameAt(int position) const override { return names()[position]; }
    Variant item(int position) override { return Variant(database(names()[position])); }

private:
    const QStringList& names() const
    {
        if (!m_names)
            m_names = m_source();
        return *m_names;
    }

    // The same object every time, so that what it has read is read once.
    DispatchPtr database(const QString& name)
    {
        DispatchPtr& slot = m_objects[name.toCaseFolded()];
        if (!slot) {
            // A listed database keeps the spelling of the list.
            QString spelled = name;
            if (m_names) {
                for (const QString& listed : std::as_const(*m_names))
                    if (listed.compare(name, Qt::CaseInsensitive) == 0)
                        spelled = listed;
            }
            slot = std::make_shared<SqlDatabase>(std::make_shared<DatabaseData>(m_session, spelled));
        }
        return slot;
    }

    SessionPtr m_session;
    NameSource m_source;
    mutable std::optional<QStringList> m_names;
    QHash<QString, DispatchPtr> m_objects;
};

class SqlServerObject final : public Dispatch
{
public:
    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (is(name, u"LoginSecure"))
            return Variant(m_loginSecure);
        if (is(name, u"LoginTimeout"))
            return Variant(m_loginTimeout);
        if (is(name, u"QueryTimeout"))
            return Variant(m_queryTimeout);
        if (is(name, u"ApplicationIntent"))
            return Variant(m_readOnlyIntent ? QStringLiteral("ReadOnly") : QStringLiteral("ReadWrite"));
        if (is(name, u"AutoReconnect"))
            return Variant(m_autoReconnect);
        if (is(name, u"LoginDatabase"))
            return Variant(m_loginDatabase);
        if (is(name, u"Name"))
            return Variant(m_session ? m_session->serverName() : QString());
        if (is(name, u"Databases")) {
            noArguments(name, args);
            if (!m_session)
                notConnected();
            if (!m_databases) {
                // Read when the list is first wanted, right after the log-in: a connection lost
                // under it is not logged in again.
                m_databases = std::make_shared<SqlDatabases>(m_session, [session = m_session] {
                    QStringList names;
                    const auto add = [&](const QSqlQuery& q) { names << q.value(0).toString(); };
                    try {
                        session->select(QString(), kDatabasesSql, add, false);
                    } catch (const AutomationError& e) {
                        if (e.helpContext() != kInvalidObjectName && e.helpContext() != kPermissionDenied)
                            throw;
                        names.clear();
                        session->select(QString(), kOldDatabasesSql, add, false);
                    }
                    return names;
                });
            }
            return Variant(m_databases);
        }
        return invoke(name, args);
    }

    void put(const QString& name, const Variant& value) override
    {
        if (is(name, u"LoginSecure")) {
            m_loginSecure = value.toBool();
        } else if (is(name, u"LoginDatabase")) {
            m_loginDatabase = value.toText();
        } else if (is(name, u"LoginTimeout")) {
            m_loginTimeout = value.toInt();
        } else if (is(name, u"QueryTimeout")) {
            m_queryTimeout = value.toInt();
        } else if (is(name, u"ApplicationIntent")) {
            m_readOnlyIntent = value.toText().trimmed().compare(u"ReadOnly", Qt::CaseInsensitive) == 0;
        } else if (is(name, u"EncryptionRequired")) {
            m_encryptionRequired = value.toBool();
        } else if (is(name, u"CertificateChecked")) {
            m_certificateChecked = value.toBool();
        } else if (is(name, u"CertificateAuthority")) {
            m_certificateAuthority = value.toText();
        } else if (is(name, u"AutoReconnect")) {
            m_autoReconnect = value.toBool();
            if (m_session)
                m_session->setAutoReconnect(m_autoReconnect);
        } else {
            Dispatch::put(name, value);
        }
    }

    Variant invoke(const QString& name, const QList<Variant>& args) override
    {
        if (is(name, u"Connect")) {
            connect(args);
            return Variant();
        }
        if (is(name, u"DisConnect") || is(name, u"Close")) {
            disconnect();
            return Variant();
        }
        return Dispatch::invoke(name, args);
    }

private:
    void connect(const QList<Variant>& args)
    {
        SqlServerLogin login;
        login.server = argument(QStringLiteral("Connect"), args, 0).toText();
        login.login = args.size() > 1 ? args[1].toText() : QString();
        login.password = args.size() > 2 ? args[2].toText() : QString();
        login.loginTimeout = m_loginTimeout;
        login.queryTimeout = m_queryTimeout;
        login.readOnlyIntent = m_readOnlyIntent;
        login.database = m_loginDatabase;
        login.requireEncryption = m_encryptionRequired;
        login.verifyCertificate = m_certificateChecked;
        login.certificateAuthority = m_certificateAuthority;
        if (m_loginSecure)
            fail(QStringLiteral(
                "Integrated log-in with the identity of the current session is not available: set "
                "LoginSecure to False and log in with a SQL Server login, or with a Windows account "
                "written DOMAIN\\user and its password."));
        // A new log-in replaces the old one; objects handed out before keep theirs. The session is
        // lent to the system-table query of the same connection string, whose statement (and the
        // permission check) ride along with the first catalogue read, so a report logs in once.
        auto session = SqlServerSession::OpenPooled(login, m_autoReconnect);
        session->setRideAlong({EngineTraits(ptSQLServer).systemTableStatement(), kViewDefinitionSql});
        disconnect();
        m_session = std::move(session);
    }

    void disconnect()
    {
        m_databases.reset();
        m_session.reset();
    }

    bool m_loginSecure = false;
    std::int32_t m_loginTimeout = 60;
    std::int32_t m_queryTimeout = 60;
    bool m_readOnlyIntent = false;
    bool m_autoReconnect = true;
    QString m_loginDatabase; // empty: the login's default database
    bool m_encryptionRequired = false;
    bool m_certificateChecked = false;
    QString m_certificateAuthority; // empty: the system store
    SessionPtr m_session;
    DispatchPtr m_databases;
};

// Reads the whole result at open: the connection is given back at once, and locate needs no server.
class SqlServerQueryObject final : public TQueryObject
{
public:
    void setConnectionString(const QString& connectionString) override
    {
        m_connectionString = connectionString;
    }
    void close() override
    {
        m_open = false;
        m_fields.clear();
        m_rows.clear();
    }
    void setCommandText(const QString& sql) override { m_sql = sql; }
    void open() override
    {
        close();
        if (m_connectionString.trimmed().isEmpty())
            fail(QStringLiteral("The connection string is empty."));
        const TKorvADOStringProp props(m_connectionString);
        SqlServerLogin login;
        login.server = props.DataSource;
        login.login = props.UserID;
        login.password = props.Password;
        login.database = props.InitialCatalog;
        login.requireEncryption = props.EncryptionRequired();
        login.verifyCertificate = props.CertificateChecked();
        if (login.verifyCertificate)
            login.certificateAuthority = DMOCertificateAuthority();
        // The same wait as the main log-in: a server that is down costs the time the user chose,
        // not a second, longer one.
        login.loginTimeout = DMOLoginTimeout();
        login.queryTimeout = props.QueryTimeout();
        login.readOnlyIntent = props.ReadOnlyIntent();
        QStringList fields;
        std::vector<QStringList> rows;
        // The connection's own session when it is open, as ADO's session pooling hands it out;
        // the statement may have been answered with its catalogue already.
        std::shared_ptr<SqlServerSession> session = SqlServerSession::Borrow(login);
        if (session) {
            if (std::optional<SqlServerRows> kept = session->takeRows(props.InitialCatalog, m_sql)) {
                m_fields = std::move(kept->fields);
                m_rows = std::move(kept->rows);
                m_open = true;
                return;
            }
        } else {
            session = std::make_shared<SqlServerSession>(login, false);
        }
        session->select(props.InitialCatalog, m_sql, [&](const QSqlQuery& q) {
            // The field names once; a record per row would copy every value a second time.
            if (rows.empty()) {
                const QSqlRecord record = q.record();
                for (int i = 0; i < record.count(); ++i)
                    fields << record.fieldName(i);
            }
            QStringList row;
            row.reserve(fields.size());
            for (int i = 0; i < fields.size(); ++i)
                row << q.value(i).toString();
            rows.push_back(std::move(row));
        });
        m_fields = std::move(fields);
        m_rows = std::move(rows);
        m_open = true;
    }
    bool locate(const QString& field, const QString& value) const override
    {
        if (!m_open)
            return false;
        qsizetype column = -1;
        for (qsizetype i = 0; i < m_fields.size() && column < 0; ++i) {
            if (m_fields[i].compare(field, Qt::CaseInsensitive) == 0)
                column = i;
        }
        if (column < 0)
            return false;
        for (const QStringList& row : m_rows) {
            if (row.value(column) == value)
                return true;
        }
        return false;
    }

private:
    QString m_connectionString;
    QString m_sql;
    QStringList m_fields;
    std::vector<QStringList> m_rows;
    bool m_open = false;
};

Variant connectedServer(const QString& server, const QString& login, const QString& password,
                        std::int32_t loginTimeout)
{
    Variant sqlServer(CreateSqlServerObject());
    sqlServer.put(QStringLiteral("LoginSecure"), Variant(false));
    sqlServer.put(QStringLiteral("LoginTimeout"), Variant(loginTimeout));
    sqlServer.invoke(QStringLiteral("Connect"), {Variant(server), Variant(login), Variant(password)});
    return sqlServer;
}

} // namespace

std::int32_t SqlServerColumnLength(std::int32_t baseType, std::int32_t storedLength)
{
    // varchar(max), nvarchar(max), varbinary(max) and xml store -1; halving it would give 0.
    if (storedLength < 0)
        return -1;
    if (baseType == kNChar || baseType == kNVarChar)
        return storedLength / 2;
    return storedLength;
}

DispatchPtr CreateSqlServerObject()
{
    return std::make_shared<SqlServerObject>();
}

std::unique_ptr<TQueryObject> CreateSqlServerQueryObject()
{
    return std::make_unique<SqlServerQueryObject>();
}

QStringList ListSqlServerDatabases(const QString& server, const QString& login, const QString& password,
                                   std::int32_t loginTimeout)
{
    const Variant databases =
        connectedServer(server, login, password, loginTimeout).get(QStringLiteral("Databases"));
    const std::int32_t count = databases.get(QStringLiteral("Count")).toInt();
    QStringList names;
    names.reserve(count);
    for (std::int32_t i = 1; i <= count; ++i)
        names << databases.invoke(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Name")).toText();
    return names;
}

QString TestSqlServerConnection(const QString& server, const QString& login, const QString& password,
                                const QString& database, std::int32_t loginTimeout)
{
    try {
        const Variant sqlServer = connectedServer(server, login, password, loginTimeout);
        if (!database.isEmpty()) {
            const Variant db = sqlServer.get(QStringLiteral("Databases"))
                                   .invoke(QStringLiteral("Item"), {Variant(database)});
            db.get(QStringLiteral("Tables"));
        }
        return QString();
    } catch (const AutomationError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}
