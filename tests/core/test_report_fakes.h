// In-memory catalogue objects for the report and table-list suites: registered under the
// providers' ProgIDs, they let the real facade and back ends read a catalogue whose every call
// can be counted or made to fail.
#pragma once

#include "Automation.h"
#include "QueryObject.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace fake {

// A plain object with stored properties and optional methods. Reading a property listed in
// failing throws, as a provider does when a member call fails.
class Object : public Dispatch
{
public:
    QMap<QString, Variant> properties;
    QMap<QString, std::function<Variant(const QList<Variant>&)>> methods;
    QSet<QString> failing;

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (failing.contains(name))
            throw AutomationError(0, QStringLiteral("cannot read ") + name);
        if (methods.contains(name))
            return methods[name](args);
        if (!properties.contains(name))
            unknownMember(name);
        return properties.value(name);
    }
    void put(const QString& name, const Variant& value) override
    {
        if (methods.contains(QStringLiteral("put:") + name)) {
            methods[QStringLiteral("put:") + name]({value});
            return;
        }
        properties[name] = value;
    }
    Variant invoke(const QString& name, const QList<Variant>& args) override
    {
        if (failing.contains(name))
            throw AutomationError(0, QStringLiteral("cannot call ") + name);
        if (!methods.contains(name))
            unknownMember(name);
        return methods[name](args);
    }
};

// A collection with Item (by name or by index from base) and Count, as both catalogues have.
class Collection : public Dispatch
{
public:
    explicit Collection(int base) : m_base(base) {}
    QList<DispatchPtr> items;

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        if (name == QLatin1String("Count"))
            return Variant(std::int32_t(items.size()));
        if (name == QLatin1String("Item") && args.size() == 1)
            return item(args.first());
        unknownMember(name);
    }
    Variant invoke(const QString& name, const QList<Variant>& args) override { return get(name, args); }

private:
    Variant item(const Variant& key) const
    {
        if (key.kind() == Variant::Kind::Text) {
            for (const DispatchPtr& object : items) {
                if (object->get(QStringLiteral("Name"), {}).toText() == key.toText())
                    return Variant(object);
            }
        } else {
            const int index = key.toInt() - m_base;
            if (index >= 0 && index < items.size())
                return Variant(items.at(index));
        }
        throw AutomationError(0, QStringLiteral("Item cannot be found in the collection."));
    }
    int m_base;
};

inline std::shared_ptr<Object> MakeObject(const QString& name)
{
    auto object = std::make_shared<Object>();
    object->properties[QStringLiteral("Name")] = Variant(name);
    return object;
}

// An Access-style column (Type number, DefinedSize).
inline DispatchPtr JetColumn(const QString& name, int type, int size)
{
    auto column = MakeObject(name);
    column->properties[QStringLiteral("Type")] = Variant(std::int32_t(type));
    column->properties[QStringLiteral("DefinedSize")] = Variant(std::int32_t(size));
    return column;
}

// A SQL Server-style column (DataType text, Length, AllowNulls).
inline DispatchPtr ServerColumn(const QString& name, const QString& type, int length, bool allowNulls)
{
    auto column = MakeObject(name);
    column->properties[QStringLiteral("DataType")] = Variant(type);
    column->properties[QStringLiteral("Length")] = Variant(std::int32_t(length));
    column->properties[QStringLiteral("AllowNulls")] = Variant(allowNulls);
    return column;
}

inline std::shared_ptr<Object> TableWith(const QString& name, int base, const QList<DispatchPtr>& columns)
{
    auto table = MakeObject(name);
    auto collection = std::make_shared<Collection>(base);
    collection->items = columns;
    table->properties[QStringLiteral("Columns")] = Variant(DispatchPtr(collection));
    return table;
}

// A view whose ListColumns hands out a fresh list on every call, counting the calls.
inline std::shared_ptr<Object> ViewWith(const QString& name, const QList<DispatchPtr>& columns,
                                        int* listCalls)
{
    auto view = MakeObject(name);
    view->methods[QStringLiteral("ListColumns")] = [columns, listCalls](const QList<Variant>&) {
        if (listCalls)
            ++*listCalls;
        auto list = std::make_shared<Collection>(1);
        list->items = columns;
        return Variant(DispatchPtr(list));
    };
    return view;
}

// The "ADOX.Catalog" stand-in: a Tables collection counting from 0; ActiveConnection accepts a
// string containing acceptedPassword (or any string when empty), otherwise raises 5003031.
struct JetCatalog
{
    QList<DispatchPtr> tables;
    QString requiredPassword;

    DispatchPtr make() const
    {
        auto catalog = std::make_shared<Object>();
        auto collection = std::make_shared<Collection>(0);
        collection->items = tables;
        catalog->properties[QStringLiteral("Tables")] = Variant(DispatchPtr(collection));
        const QString password = requiredPassword;
        catalog->methods[QStringLiteral("put:ActiveConnection")] = [password](const QList<Variant>& args) {
            if (!password.isEmpty() && !args.first().toText().contains(QStringLiteral("Database Password=") +
                                                                       password + QLatin1Char(';')))
                throw AutomationError(5003031, QStringLiteral("Not a valid password."));
            return Variant();
        };
        return catalog;
    }
};

// The "SQLDMO.SQLServer" stand-in: one database with tables and views counting from 1.
struct ServerCatalog
{
    QString database;
    QList<DispatchPtr> tables;
    QList<DispatchPtr> views;

    DispatchPtr make() const
    {
        auto server = std::make_shared<Object>();
        server->methods[QStringLiteral("Connect")] = [](const QList<Variant>&) { return Variant(); };
        auto db = MakeObject(database);
        auto tableCollection = std::make_shared<Collection>(1);
        tableCollection->items = tables;
        auto viewCollection = std::make_shared<Collection>(1);
        viewCollection->items = views;
        db->properties[QStringLiteral("Tables")] = Variant(DispatchPtr(tableCollection));
        db->properties[QStringLiteral("Views")] = Variant(DispatchPtr(viewCollection));
        auto databases = std::make_shared<Collection>(1);
        databases->items = {db};
        server->properties[QStringLiteral("Databases")] = Variant(DispatchPtr(databases));
        return server;
    }
};

// Registers a provider for the lifetime of the guard and removes it afterwards.
class ProviderGuard
{
public:
    ProviderGuard(const QString& progId, std::function<DispatchPtr()> factory) : m_progId(progId)
    {
        RegisterOleProvider(progId, std::move(factory));
    }
    ~ProviderGuard() { UnregisterOleProvider(m_progId); }
    ProviderGuard(const ProviderGuard&) = delete;
    ProviderGuard& operator=(const ProviderGuard&) = delete;

private:
    QString m_progId;
};

} // namespace fake
