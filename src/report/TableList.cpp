#include "TableList.h"

#include "EngineTraits.h"
#include "KorvConnection.h"
#include "KorvDMOConnection.h"
#include "QueryObject.h"

namespace {

void AddEntry(TTableList& entries, const Variant& object)
{
    // Read by the object itself, not through the facade, which would hide a failure as "".
    entries.append(TTableEntry{object.get(QStringLiteral("Name")).toText(), false, true});
}

} // namespace

void ListCatalogueObjects(TKorvConnection& connection, TProviderType provider, const QString& database,
                          bool views, TTableList& entries)
{
    if (database.isEmpty())
        return;
    const TEngineTraits& engine = EngineTraits(provider);
    if (engine.choosesDatabase) {
        // Unguarded, as the structure below: a database list that could not be read is the
        // server's message, not an empty list.
        connection.SetDatabase(connection.DMOConnection
                                   ? connection.DMOConnection->SQLServer.get(QStringLiteral("Databases"))
                                         .invoke(QStringLiteral("Item"), {Variant(database)})
                                   : Variant());
        // The structure is read here, once and unguarded: a read that fails ends the opening with
        // the server's message instead of listing tables that would report without columns.
        connection.StructureModel();
    }
    const bool listViews = views && engine.hasViews;
    if (listViews && engine.viewsFromModel) {
        const std::shared_ptr<const TCatalogue> model = connection.StructureModel();
        if (!model)
            return;
        for (const TCatalogueObject& object : model->objects) {
            if (IsViewKind(object.kind))
                entries.append(TTableEntry{object.listName(), false, true, object.systemObject});
        }
        return;
    }
    const std::int32_t count = listViews ? connection.ViewCount() : connection.TableCount();
    for (std::int32_t i = engine.listIndexBase; i < engine.listIndexBase + count; ++i)
        AddEntry(entries, listViews ? connection.ViewByIndex(i) : connection.TableByIndex(i));
}

QString SystemTableQuery(TProviderType provider)
{
    return EngineTraits(provider).systemTableStatement();
}

void ApplySystemTableRule(TTableList& entries, bool showSystemTables, TQueryObject& query,
                          const QString& connectionString, const QString& statement)
{
    query.setConnectionString(connectionString);
    query.close();
    query.setCommandText(statement);
    query.open();
    for (TTableEntry& entry : entries) {
        if (entry.systemObject || query.locate(QStringLiteral("name"), entry.text)) {
            entry.enabled = showSystemTables;
            entry.checked = false;
        }
    }
}

void ApplySystemTableRule(TTableList& entries, bool showSystemTables, TProviderType provider,
                          const QString& connectionString)
{
    std::unique_ptr<TQueryObject> query = CreateQueryObject(provider);
    ApplySystemTableRule(entries, showSystemTables, *query, connectionString, SystemTableQuery(provider));
}

void SelectAll(TTableList& entries)
{
    for (TTableEntry& entry : entries) {
        if (entry.enabled)
            entry.checked = true;
    }
}

void UnselectAll(TTableList& entries)
{
    for (TTableEntry& entry : entries)
        entry.checked = false;
}
