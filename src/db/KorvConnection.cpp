#include "KorvConnection.h"

#include "CatalogueSource.h"
#include "Guarded.h"
#include "KorvADOXConnection.h"
#include "KorvDMOConnection.h"

namespace {

template <typename B> B& need(const std::unique_ptr<B>& backEnd)
{
    if (!backEnd)
        throw AutomationError(0, QStringLiteral("No connection is open."));
    return *backEnd;
}

} // namespace

TKorvConnection::TKorvConnection() = default;
TKorvConnection::~TKorvConnection() = default;

void TKorvConnection::setBeep(std::function<void()> beep)
{
    m_beep = std::move(beep);
}

void TKorvConnection::beep()
{
    if (m_beep)
        guarded([&] { m_beep(); });
}

void TKorvConnection::SetConnectionType(TConnectionType connectionType)
{
    ConnectionType = connectionType;
}

void TKorvConnection::SetDatabase(const Variant& database)
{
    guarded([&] {
        CurrentDatabase = database;
        if (ConnectionType == ctADOX)
            beep();
        else if (ConnectionType == ctDMO)
            need(DMOConnection).SetDatabase(database);
    });
}

void TKorvConnection::SetTable(const Variant& table)
{
    guarded([&] {
        CurrentTable = table;
        if (ConnectionType == ctADOX)
            need(ADOXConnection).SetTable(table);
        else if (ConnectionType == ctDMO)
            need(DMOConnection).SetTable(table);
    });
}

void TKorvConnection::SetView(const Variant& view)
{
    guarded([&] {
        CurrentView = view;
        if (ConnectionType == ctADOX)
            beep();
        else if (ConnectionType == ctDMO)
            need(DMOConnection).SetView(view);
    });
}

void TKorvConnection::SetColumn(const Variant& column)
{
    guarded([&] {
        CurrentColumn = column;
        if (ConnectionType == ctADOX)
            need(ADOXConnection).SetColumn(column);
        else if (ConnectionType == ctDMO)
            need(DMOConnection).SetColumn(column);
    });
}

void TKorvConnection::Open(const QString& connectionString)
{
    guarded([&] {
        // The old back end goes first, so two never exist at once (and its file or log-in is
        // released before the new one is made).
        DMOConnection.reset();
        ADOXConnection.reset();
        if (ConnectionType == ctADOX)
            ADOXConnection = std::make_unique<TKorvADOXConnection>(connectionString);
        else if (ConnectionType == ctDMO)
            DMOConnection = std::make_unique<TKorvDMOConnection>(connectionString);
    });
}

void TKorvConnection::Close()
{
    // The current objects first: a SQL Server database object keeps its session alive.
    CurrentColumn = Variant();
    CurrentTable = Variant();
    CurrentView = Variant();
    CurrentDatabase = Variant();
    DMOConnection.reset();
    ADOXConnection.reset();
}

void TKorvConnection::SetColumn(Variant&& column)
{
    guarded([&] {
        CurrentColumn = std::move(column);
        if (ConnectionType == ctADOX)
            need(ADOXConnection).SetColumn(CurrentColumn);
        else if (ConnectionType == ctDMO)
            need(DMOConnection).SetColumn(CurrentColumn);
    });
}

Variant TKorvConnection::DatabaseByName(const QString& name)
{
    return guarded(
        [&]() -> Variant {
            if (ConnectionType == ctADOX) {
                beep();
                return Variant();
            }
            if (ConnectionType == ctDMO)
                return need(DMOConnection).DatabaseByName(name);
            return Variant();
        },
        Variant());
}

Variant TKorvConnection::TableByName(const QString& name)
{
    return guarded(
        [&]() -> Variant {
            if (ConnectionType == ctADOX)
                return need(ADOXConnection).TableByName(name);
            if (ConnectionType == ctDMO)
                return need(DMOConnection).TableByName(name);
            return Variant();
        },
        Variant());
}

Variant TKorvConnection::TableByIndex(std::int32_t index)
{
    return guarded(
        [&]() -> Variant {
            if (ConnectionType == ctADOX)
                return need(ADOXConnection).TableByIndex(index);
            if (ConnectionType == ctDMO)
                return need(DMOConnection).TableByIndex(index);
            return Variant();
        },
        Variant());
}

Variant TKorvConnection::ColumnByIndex(std::int32_t index)
{
    return guarded(
        [&]() -> Variant {
            if (ConnectionType == ctADOX)
                return need(ADOXConnection).ColumnByIndex(index - 1);
            if (ConnectionType == ctDMO)
                return need(DMOConnection).ColumnByIndex(index);
            return Variant();
        },
        Variant());
}

QString TKorvConnection::ObjectName(const Variant& object)
{
    return guarded(
        [&]() -> QString {
            if (ConnectionType == ctADOX || ConnectionType == ctDMO)
                return object.get(QStringLiteral("Name")).toText();
            return QString();
        },
        QString());
}

std::int32_t TKorvConnection::ColumnLength(const Variant& column)
{
    return guarded(
        [&]() -> std::int32_t {
            if (ConnectionType == ctADOX)
                return column.get(QStringLiteral("DefinedSize")).toInt();
            if (ConnectionType == ctDMO)
                return column.get(QStringLiteral("Length")).toInt();
            return 0;
        },
        std::int32_t(0));
}

QString TKorvConnection::ColumnTypeName(const Variant& column)
{
    return guarded(
        [&]() -> QString {
            if (ConnectionType == ctADOX)
                return TKorvADOXConnection::DataTypeName(column.get(QStringLiteral("Type")).toInt());
            if (ConnectionType == ctDMO)
                return column.get(QStringLiteral("DataType")).toText();
            return QString();
        },
        QString());
}

Variant TKorvConnection::ViewByName(const QString& name)
{
    return guarded(
        [&]() -> Variant {
            if (ConnectionType == ctADOX) {
                beep();
                return Variant();
            }
            if (ConnectionType == ctDMO)
                return need(DMOConnection).ViewByName(name);
            return Variant();
        },
        Variant());
}

Variant TKorvConnection::ViewByIndex(std::int32_t index)
{
    return guarded(
        [&]() -> Variant {
            if (ConnectionType == ctADOX) {
                beep();
                return Variant();
            }
            if (ConnectionType == ctDMO)
                return need(DMOConnection).ViewByIndex(index);
            return Variant();
        },
        Variant());
}

std::int32_t TKorvConnection::TableCount()
{
    return guarded(
        [&]() -> std::int32_t {
            if (ConnectionType == ctADOX)
                return need(ADOXConnection).TableCount();
            if (ConnectionType == ctDMO)
                return need(DMOConnection).TableCount();
            return 0;
        },
        std::int32_t(0));
}

std::int32_t TKorvConnection::ColumnCount()
{
    return guarded(
        [&]() -> std::int32_t {
            if (ConnectionType == ctADOX)
                return need(ADOXConnection).ColumnCount();
            if (ConnectionType == ctDMO)
                return need(DMOConnection).ColumnCount();
            return 0;
        },
        std::int32_t(0));
}

std::int32_t TKorvConnection::ViewCount()
{
    return guarded(
        [&]() -> std::int32_t {
            if (ConnectionType == ctDMO)
                return need(DMOConnection).ViewCount();
            return 0;
        },
        std::int32_t(0));
}

QString TKorvConnection::ColumnNullMark(const Variant& column)
{
    return guarded(
        [&]() -> QString {
            if (ConnectionType == ctDMO)
                return column.get(QStringLiteral("AllowNulls")) == Variant(true) ? QStringLiteral(" ")
                                                                                 : QStringLiteral("+");
            return QString();
        },
        QString());
}

std::shared_ptr<const TCatalogue> TKorvConnection::StructureModel()
{
    // Access has one catalogue per file and no current database; SQL Server's current database is
    // the one whose structure is wanted.
    const Variant& holder =
        ConnectionType == ctADOX ? (ADOXConnection ? ADOXConnection->Catalog : Variant()) : CurrentDatabase;
    auto* source = dynamic_cast<TCatalogueSource*>(holder.objectPtr().get());
    return source ? source->StructureModel() : nullptr;
}
