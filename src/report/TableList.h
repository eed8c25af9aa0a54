// The table list's logic without a window: listing the catalogue's tables or views through the
// facade, greying out system tables by asking the database which they are, and the two marking
// commands. The window copies these entries to and from its check list.
#pragma once

#include "ProviderType.h"

#include <QList>
#include <QString>

class TKorvConnection;
class TQueryObject;

struct TTableEntry
{
    QString text;
    bool checked = false;
    bool enabled = true;
    // The engine's own object by its catalogue (Access's form and report queries): greyed out
    // with the system tables, whatever the system-table statement finds.
    bool systemObject = false;

    friend bool operator==(const TTableEntry&, const TTableEntry&) = default;
};

using TTableList = QList<TTableEntry>;

// Appends one unchecked, enabled entry per catalogue object, in catalogue order: SQL Server
// tables or views 1..n of the database named database (made the facade's current database first),
// Access tables 0..n-1, or Access's queries as its structure model holds them (the facade has no
// collection of them). An empty database lists nothing. Reading a name goes straight to the
// object, so a failure there throws (AutomationError) and leaves the entries added so far.
void ListCatalogueObjects(TKorvConnection& connection, TProviderType provider, const QString& database,
                          bool views, TTableList& entries);

// The statement that finds the system tables of the provider's catalogue.
QString SystemTableQuery(TProviderType provider);

// Greys out (or with showSystemTables releases) and unchecks every entry whose text the query
// finds in its field "name", and every systemObject entry. Opening the query throws before any
// entry is changed.
void ApplySystemTableRule(TTableList& entries, bool showSystemTables, TQueryObject& query,
                          const QString& connectionString, const QString& statement);
// The same through the query object registered for provider and its statement.
void ApplySystemTableRule(TTableList& entries, bool showSystemTables, TProviderType provider,
                          const QString& connectionString);

// Checks every enabled entry; disabled entries keep their state.
void SelectAll(TTableList& entries);
// Unchecks every entry, enabled or not.
void UnselectAll(TTableList& entries);
