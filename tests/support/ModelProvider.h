// A structure model served as an engine's catalogue component, for suites that drive the real
// facade and back ends: registered under the engine's ProgID ("ADOX.Catalog" for Access,
// "SQLDMO.SQLServer" for SQL Server) while the object lives, it answers through the generic
// adapter with that engine's traits, as the real providers do. A member of a named table or view
// can be made to fail as a provider's call fails, and the calls of each member are counted.
#pragma once

#include "Catalogue.h"
#include "ProviderType.h"

#include <QString>

#include <memory>

class TModelProvider
{
public:
    // SQL Server serves the model as the one database named model.database.
    TModelProvider(TProviderType engine, TCatalogue model);
    ~TModelProvider();
    TModelProvider(const TModelProvider&) = delete;
    TModelProvider& operator=(const TModelProvider&) = delete;

    // Reading or calling member of the object listed as object throws AutomationError.
    void Fail(const QString& object, const QString& member);
    // How often member of the object listed as object was read or called.
    int Calls(const QString& object, const QString& member) const;

    struct State;

private:
    QString m_progId;
    std::shared_ptr<State> m_state;
};
