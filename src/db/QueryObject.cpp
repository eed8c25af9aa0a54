#include "QueryObject.h"

#include "Automation.h"

#include <QMutex>

#include <array>

TQueryObject::~TQueryObject() = default;

namespace {

// A provider whose query object is not registered: opening says so.
class UnavailableQueryObject final : public TQueryObject
{
public:
    void setConnectionString(const QString&) override {}
    void close() override {}
    void setCommandText(const QString&) override {}
    void open() override
    {
        throw AutomationError(0, QStringLiteral("Queries are not available: the provider is not installed."));
    }
    bool locate(const QString&, const QString&) const override { return false; }
};

struct Factories
{
    QMutex mutex;
    std::array<QueryObjectFactory, 2> builtIn;
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
    QueryObjectFactory custom, builtIn;
    if (provider == ptSQLServer || provider == ptAccess) {
        Factories& f = factories();
        QMutexLocker lock(&f.mutex);
        custom = f.custom[provider];
        builtIn = f.builtIn[provider];
    }
    for (const QueryObjectFactory& factory : {custom, builtIn}) {
        if (!factory)
            continue;
        if (std::unique_ptr<TQueryObject> q = factory())
            return q;
    }
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

void SetBuiltInQueryObjectFactory(TProviderType provider, QueryObjectFactory factory)
{
    if (provider != ptSQLServer && provider != ptAccess)
        return;
    Factories& f = factories();
    QMutexLocker lock(&f.mutex);
    f.builtIn[provider] = std::move(factory);
}
