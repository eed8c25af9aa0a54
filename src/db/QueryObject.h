// The query object of the system-table command: runs one SELECT over a connection string and
// answers whether the result holds a row whose given field equals a text. One object per use.
#pragma once

#include "ProviderType.h"

#include <QString>

#include <functional>
#include <memory>

class TQueryObject
{
public:
    virtual ~TQueryObject();

    virtual void setConnectionString(const QString& connectionString) = 0;
    // Drops the result of an earlier open; harmless when nothing is open.
    virtual void close() = 0;
    virtual void setCommandText(const QString& sql) = 0;
    // Runs the command text; throws AutomationError when the connection or the statement fails.
    virtual void open() = 0;
    // Whether a row of the open result has field (matched without regard to case) equal to value,
    // whole text, case-sensitive. False when nothing is open or the field does not exist.
    virtual bool locate(const QString& field, const QString& value) const = 0;
};

using QueryObjectFactory = std::function<std::unique_ptr<TQueryObject>()>;

// The query object for the provider's connection strings. Without a registered factory its open()
// throws AutomationError.
std::unique_ptr<TQueryObject> CreateQueryObject(TProviderType provider);

// The provider's own query object (registered with the providers, see Providers.h).
void SetBuiltInQueryObjectFactory(TProviderType provider, QueryObjectFactory factory);
// Stands in for the built-in factory (tests install fakes); an empty factory restores the built-in.
void RegisterQueryObjectFactory(TProviderType provider, QueryObjectFactory factory);
