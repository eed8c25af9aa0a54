#include "KorvADOXConnection.h"

#include <array>
#include <utility>

namespace {

// The back end's lookups and counts never throw: a failure is an empty reference or 0.
template <typename T, typename F>
T guarded(F&& body, T neutral)
{
    try {
        return body();
    } catch (...) {
        return neutral;
    }
}

} // namespace

TKorvADOXConnection::TKorvADOXConnection(const QString& connectionString)
    : ErrorItem(std::make_unique<TErrorItem>())
{
    try {
        Catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
    } catch (...) {
        // A missing component is not a connection error: the record stays at 0.
        Catalog.clear();
        return;
    }
    try {
        Catalog.put(QStringLiteral("ActiveConnection"), Variant(connectionString));
    } catch (const AutomationError& e) {
        ErrorItem->Number = e.helpContext() != 0 ? e.helpContext() : -1;
        ErrorItem->Text = e.description();
    } catch (const std::exception& e) {
        ErrorItem->Number = -1;
        ErrorItem->Text = QString::fromUtf8(e.what());
    } catch (...) {
        ErrorItem->Number = -1;
        ErrorItem->Text = QStringLiteral("OLE-Fehler %1").arg(0x80004005u, 8, 16, QLatin1Char('0'));
    }
}

TKorvADOXConnection::~TKorvADOXConnection() = default;

void TKorvADOXConnection::SetTable(const Variant& table)
{
    CurrentTable = table;
}

void TKorvADOXConnection::SetColumn(const Variant& column)
{
    CurrentColumn = column;
}

Variant TKorvADOXConnection::TableByName(const QString& name)
{
    return guarded(
        [&] {
            const Variant tables = Catalog.get(QStringLiteral("Tables"));
            return tables.get(QStringLiteral("Item"), {Variant(name)});
        },
        Variant());
}

Variant TKorvADOXConnection::TableByIndex(std::int32_t index)
{
    return guarded(
        [&] {
            const Variant tables = Catalog.get(QStringLiteral("Tables"));
            return tables.get(QStringLiteral("Item"), {Variant(index)});
        },
        Variant());
}

Variant TKorvADOXConnection::ColumnByIndex(std::int32_t index)
{
    return guarded(
        [&] {
            const Variant columns = CurrentTable.get(QStringLiteral("Columns"));
            return columns.get(QStringLiteral("Item"), {Variant(index)});
        },
        Variant());
}

std::int32_t TKorvADOXConnection::TableCount()
{
    return guarded(
        [&] {
            const Variant tables = Catalog.get(QStringLiteral("Tables"));
            return tables.get(QStringLiteral("Count")).toInt();
        },
        std::int32_t(0));
}

std::int32_t TKorvADOXConnection::ColumnCount()
{
    return guarded(
        [&] {
            const Variant columns = CurrentTable.get(QStringLiteral("Columns"));
            return columns.get(QStringLiteral("Count")).toInt();
        },
        std::int32_t(0));
}

QString TKorvADOXConnection::DataTypeName(std::int32_t dataType)
{
    static const std::array<std::pair<std::int32_t, const char*>, 27> kNames = {{
        {2, "SmallInt"},     {3, "Integer"},       {4, "Single"},      {5, "Double"},
        {6, "Currency"},     {7, "Date"},          {8, "BSTR"},        {11, "Boolean"},
        {12, "Variant"},     {14, "Decimal"},      {16, "TinyInt"},    {20, "BigInt"},
        {72, "GUID"},        {128, "Binary"},      {129, "Char"},      {130, "WChar"},
        {131, "Numeric"},    {132, "UserDefined"}, {133, "DBDate"},    {134, "DBTime"},
        {135, "DBTimeStamp"}, {200, "VarChar"},    {201, "LongVarChar"}, {202, "VarWChar"},
        {203, "LongVarWChar"}, {204, "VarBinary"}, {205, "LongVarBinary"},
    }};
    for (const auto& [number, name] : kNames) {
        if (number == dataType)
            return QString::fromLatin1(name);
    }
    return QStringLiteral("unknown");
}
