// The connection facade: the one object through which the program reaches a database catalogue.
// It holds at most one back end (Access or SQL Server), chosen by ConnectionType at Open, and the
// current database, table, view and column that later calls work on. It never throws: every
// operation swallows failures and answers with an empty reference, empty text or 0.
#pragma once

#include "Automation.h"
#include "Catalogue.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TKorvADOXConnection;
class TKorvDMOConnection;

// The reverse numbering of TProviderType: ptSQLServer maps to ctDMO, ptAccess to ctADOX.
enum TConnectionType : std::uint8_t
{
    ctADOX = 0,
    ctDMO = 1
};

class TKorvConnection
{
public:
    TConnectionType ConnectionType = ctADOX;
    std::unique_ptr<TKorvADOXConnection> ADOXConnection;
    std::unique_ptr<TKorvDMOConnection> DMOConnection;
    Variant CurrentDatabase;
    Variant CurrentTable;
    Variant CurrentColumn;
    Variant CurrentView;

    TKorvConnection();
    ~TKorvConnection();
    TKorvConnection(const TKorvConnection&) = delete;
    TKorvConnection& operator=(const TKorvConnection&) = delete;

    void SetConnectionType(TConnectionType connectionType);
    void SetDatabase(const Variant& database);
    void SetTable(const Variant& table);
    void SetView(const Variant& view);
    void SetColumn(const Variant& column);
    // The same for a column just fetched (SetColumn(ColumnByIndex(i))): the facade keeps the
    // value itself instead of a copy, one shared reference fewer to take and drop per column.
    void SetColumn(Variant&& column);
    // Replaces the back end by a new one of ConnectionType built from connectionString. An Access
    // back end always exists afterwards (its ErrorItem tells how connecting went); a SQL Server
    // back end only when the log-in succeeded.
    void Open(const QString& connectionString);
    // Releases the back end and every current object, so nothing of the last database (its
    // catalogue, its structure, its log-in) can be reached any more. ConnectionType stays.
    void Close();
    Variant DatabaseByName(const QString& name);
    Variant TableByName(const QString& name);
    // Index base of the back end: 0 for Access, 1 for SQL Server.
    Variant TableByIndex(std::int32_t index);
    // Counts from 1 with both back ends.
    Variant ColumnByIndex(std::int32_t index);
    QString ObjectName(const Variant& object);
    std::int32_t ColumnLength(const Variant& column);
    QString ColumnTypeName(const Variant& column);
    Variant ViewByName(const QString& name);
    // Counts from 1 (SQL Server only).
    Variant ViewByIndex(std::int32_t index);
    std::int32_t TableCount();
    std::int32_t ColumnCount();
    std::int32_t ViewCount();
    // " " when the column allows nulls, "+" when not (SQL Server); always "" for Access.
    QString ColumnNullMark(const Variant& column);

    // The structure model of the current database (keys, indexes, relationships, descriptions),
    // for the writers beyond the plain report. Unlike every other member this one throws
    // (AutomationError with the engine's message), because a structure that could not be read
    // must never be written as an empty one; nullptr when no database is current.
    std::shared_ptr<const TCatalogue> StructureModel();

    // The system beep of the operations that make no sense for Access. Core has no sound: the
    // default does nothing; the window installs its own.
    void setBeep(std::function<void()> beep);

private:
    void beep();

    std::function<void()> m_beep;
};
