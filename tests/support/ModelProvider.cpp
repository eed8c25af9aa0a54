#include "ModelProvider.h"

#include "CatalogueAutomation.h"
#include "CatalogueSource.h"

#include <QHash>
#include <QSet>

struct TModelProvider::State
{
    std::shared_ptr<const TCatalogue> model;
    QSet<QString> faults;
    QHash<QString, int> calls;

    static QString key(const QString& object, const QString& member)
    {
        return object + QLatin1Char('\n') + member.toCaseFolded();
    }
};

namespace {

using StatePtr = std::shared_ptr<TModelProvider::State>;

// Stands between the caller and what the adapter hands out. Below a Tables or Views collection
// each wrapper knows the listed object it belongs to, which is where faults and counts apply.
class Watched final : public Dispatch
{
public:
    Watched(DispatchPtr inner, StatePtr state, QString object, bool isObject)
        : m_inner(std::move(inner)), m_state(std::move(state)), m_object(std::move(object)),
          m_isObject(isObject)
    {
    }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        watch(name);
        return wrap(m_inner->get(name, args), name);
    }
    void put(const QString& name, const Variant& value) override { m_inner->put(name, value); }
    Variant invoke(const QString& name, const QList<Variant>& args) override
    {
        watch(name);
        return wrap(m_inner->invoke(name, args), name);
    }

private:
    void watch(const QString& member)
    {
        if (!m_isObject)
            return;
        const QString key = TModelProvider::State::key(m_object, member);
        ++m_state->calls[key];
        if (m_state->faults.contains(key))
            throw AutomationError(0, QStringLiteral("cannot read ") + member);
    }

    Variant wrap(const Variant& value, const QString& member) const
    {
        if (!value.isObject())
            return value;
        // An item of a Tables or Views collection is a listed object; its name is read past the
        // faults, from the adapter's own object.
        const bool listed = m_object.isEmpty() && IsAutomationMember(member, TAutomationMember::Item);
        const QString object =
            listed ? value.objectPtr()->get(QStringLiteral("Name"), {}).toText() : m_object;
        return Variant(DispatchPtr(std::make_shared<Watched>(value.objectPtr(), m_state, object, listed)));
    }

    DispatchPtr m_inner;
    StatePtr m_state;
    QString m_object;
    bool m_isObject;
};

// The opened database: the Access catalogue or one SQL Server database.
class Database final : public Dispatch, public TCatalogueSource
{
public:
    Database(const TCatalogueAutomationTraits& traits, StatePtr state)
        : m_state(state), m_automation(traits, [state] { return state->model; })
    {
    }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (IsAutomationMember(name, TAutomationMember::Name))
            return Variant(m_state->model->database);
        Variant collection;
        if (m_automation.get(name, args, collection))
            return Variant(
                DispatchPtr(std::make_shared<Watched>(collection.objectPtr(), m_state, QString(), false)));
        return Dispatch::get(name, args);
    }
    // The Access catalogue's connection: any string opens it.
    void put(const QString&, const Variant&) override {}

    std::shared_ptr<const TCatalogue> StructureModel() override { return m_state->model; }

private:
    StatePtr m_state;
    TCatalogueAutomation m_automation;
};

class Databases final : public TAutomationCollection
{
public:
    explicit Databases(DispatchPtr database)
        : TAutomationCollection(kSqlServerCatalogueAutomation, "Databases"), m_database(std::move(database))
    {
    }

protected:
    int count() const override { return 1; }
    QString nameAt(int) const override { return m_database->get(QStringLiteral("Name"), {}).toText(); }
    Variant item(int) override { return Variant(m_database); }

private:
    DispatchPtr m_database;
};

// The server: log-in settings are taken, Connect succeeds, and Databases holds the one database.
class Server final : public Dispatch
{
public:
    explicit Server(StatePtr state)
        : m_databases(
              std::make_shared<Databases>(std::make_shared<Database>(kSqlServerCatalogueAutomation, state)))
    {
    }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (name.compare(QLatin1String("Databases"), Qt::CaseInsensitive) == 0)
            return Variant(m_databases);
        return Dispatch::get(name, args);
    }
    void put(const QString&, const Variant&) override {}
    Variant invoke(const QString& name, const QList<Variant>& args) override
    {
        if (name.compare(QLatin1String("Connect"), Qt::CaseInsensitive) == 0)
            return Variant();
        return Dispatch::invoke(name, args);
    }

private:
    DispatchPtr m_databases;
};

} // namespace

TModelProvider::TModelProvider(TProviderType engine, TCatalogue model)
    : m_progId(engine == ptAccess ? QStringLiteral("ADOX.Catalog") : QStringLiteral("SQLDMO.SQLServer")),
      m_state(std::make_shared<State>())
{
    m_state->model = std::make_shared<const TCatalogue>(std::move(model));
    const StatePtr state = m_state;
    if (engine == ptAccess)
        RegisterOleProvider(m_progId,
                            [state] { return std::make_shared<Database>(kJetCatalogueAutomation, state); });
    else
        RegisterOleProvider(m_progId, [state] { return std::make_shared<Server>(state); });
}

TModelProvider::~TModelProvider()
{
    UnregisterOleProvider(m_progId);
}

void TModelProvider::Fail(const QString& object, const QString& member)
{
    m_state->faults.insert(State::key(object, member));
}

int TModelProvider::Calls(const QString& object, const QString& member) const
{
    return m_state->calls.value(State::key(object, member));
}
