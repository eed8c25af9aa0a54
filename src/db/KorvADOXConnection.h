// The Access back end of the connection facade: one "ADOX.Catalog" object connected by a Jet
// connection string, its tables and the columns of the current table. Connecting is the one step
// whose failure is kept (in ErrorItem), for the window to decide between the login dialogs and an
// error box.
#pragma once

#include "Automation.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// Outcome of the last connection attempt: Number 0 means no error.
class TErrorItem
{
public:
    std::int32_t Number = 0;
    QString Text;
};

class TKorvADOXConnection
{
public:
    Variant Catalog;
    Variant CurrentTable;
    Variant CurrentColumn;
    std::unique_ptr<TErrorItem> ErrorItem;

    // Never throws: a refused connection lands in ErrorItem (the help context, or -1 when that is 0,
    // and the message); a catalogue object that cannot be created leaves Catalog empty and
    // ErrorItem at 0.
    explicit TKorvADOXConnection(const QString& connectionString);
    ~TKorvADOXConnection();
    TKorvADOXConnection(const TKorvADOXConnection&) = delete;
    TKorvADOXConnection& operator=(const TKorvADOXConnection&) = delete;

    void SetTable(const Variant& table);
    void SetColumn(const Variant& column);
    Variant TableByName(const QString& name);
    // Counts from 0.
    Variant TableByIndex(std::int32_t index);
    // Counts from 0.
    Variant ColumnByIndex(std::int32_t index);
    std::int32_t TableCount();
    std::int32_t ColumnCount();
    // The ADO data type constant's name without "ad" ("VarWChar" for 202), "unknown" for others.
    static QString DataTypeName(std::int32_t dataType);

private:
    const Variant& currentColumns();

    Variant m_columnsTable; // the table m_columns belongs to
    Variant m_columns;
};
