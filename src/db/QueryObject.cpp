#include "QueryObject.h"

#include "Automation.h"
#include "JetCatalogReader.h"
#include "JetProvider.h"

#include <QMutex>

#include <array>

TQueryObject::~TQueryObject() = default;

namespace {

// Access: the statement runs on its own reading of the file, never on a catalogue's handle.
class JetQueryObject final : public TQueryObject
{
public:
    void setConnectionString(const QString& connectionString) override { m_connectionString = connectionString; }
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
        m_result = RunJetQuery(settings.dataSource, m_sql);
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

// SQL Server queries come with the SQL Server provider; until then opening one says so.
class UnavailableQueryObject final : public TQueryObject
{
public:
    void setConnectionString(const QString&) override {}
    void close() override {}
    void setCommandText(const QString&) override {}
    void open() override
    {
        throw AutomationError(0, QStringLiteral("Queries on SQL Server are not available: the SQL Server "
                                                "provider is not installed."));
    }
    bool locate(const QString&, const QString&) const override { return false; }
};

struct Factories
{
    QMutex mutex;
    std::array<QueryObjectFactory, 2> custom;
};

Factories& factories()
{
    static Factories f;
    return f;
}

} // namespace

std::unique_ptr<TQueryObject> CreateQueryObject(TProviderType provider)
{
    QueryObjectFactory custom;
    if (provider == ptSQLServer || provider == ptAccess) {
        Factories& f = factories();
        QMutexLocker lock(&f.mutex);
        custom = f.custom[provider];
    }
    if (custom) {
        if (std::unique_ptr<TQueryObject> q = custom())
            return q;
    }
    if (provider == ptAccess)
        return std::make_unique<JetQueryObject>();
    return std::make_unique<UnavailableQueryObject>();
}

void RegisterQueryObjectFactory(TProviderType provider, QueryObjectFactory factory)
{
    if (provider != ptSQLServer && provider != ptAccess)
        return;
    Factories& f = factories();
    QMutexLocker lock(&f.mutex);
    f.custom[provider] = std::move(factory);
}
