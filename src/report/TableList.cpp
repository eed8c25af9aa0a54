#include "TableList.h"

#include "JetCatalogReader.h"
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
    if (provider == ptSQLServer) {
        // Unguarded, as the structure below: a database list that could not be read is the
        // server's message, not an empty list.
        connection.SetDatabase(connection.DMOConnection
                                   ? connection.DMOConnection->SQLServer.get(QStringLiteral("Databases"))
                                         .invoke(QStringLiteral("Item"), {Variant(database)})
                                   : Variant());
        // The structure is read here, once and unguarded: a read that fails ends the opening with
        // the server's message instead of listing tables that would report without columns.
        connection.StructureModel();
        if (views) {
            const std::int32_t count = connection.ViewCount();
            for (std::int32_t i = 1; i <= count; ++i)
                AddEntry(entries, connection.ViewByIndex(i));
        } else {
            const std::int32_t count = connection.TableCount();
            for (std::int32_t i = 1; i <= count; ++i)
                AddEntry(entries, connection.TableByIndex(i));
        }
    } else if (provider == ptAccess) {
        const std::int32_t count = connection.TableCount();
        for (std::int32_t i = 0; i < count; ++i)
            AddEntry(entries, connection.TableByIndex(i));
    }
}

QString SystemTableQuery(TProviderType provider)
{
    // Sent exactly as written; the SQL Server catalogue's type code really is a lower-case 's' here.
    if (provider == ptSQLServer)
        return QStringLiteral("SELECT * FROM sysobjects where xtype = 's'");
    // Spelled once, where the Access catalogue's own run answers it.
    return JetSystemTableStatement();
}

void ApplySystemTableRule(TTableList& entries, bool showSystemTables, TQueryObject& query,
                          const QString& connectionString, const QString& statement)
{
    query.setConnectionString(connectionString);
    query.close();
    query.setCommandText(statement);
    query.open();
    for (TTableEntry& entry : entries) {
        if (query.locate(QStringLiteral("name"), entry.text)) {
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
