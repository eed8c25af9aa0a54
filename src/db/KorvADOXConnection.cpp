#include "KorvADOXConnection.h"

#include "Guarded.h"

#include <algorithm>
#include <array>

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
            // One argument list, reused: a report asks for tens of thousands of columns.
            if (m_itemArgs.size() != 1)
                m_itemArgs = {Variant(index)};
            else
                m_itemArgs[0] = Variant(index);
            return columns.get(QStringLiteral("Item"), m_itemArgs);
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
    struct Name
    {
        std::int32_t number;
        QString name;
    };
    // Made once: every column line of a report asks for one of these.
    static const std::array<Name, 27> kNames = {{
        {2, QStringLiteral("SmallInt")},       {3, QStringLiteral("Integer")},
        {4, QStringLiteral("Single")},         {5, QStringLiteral("Double")},
        {6, QStringLiteral("Currency")},       {7, QStringLiteral("Date")},
        {8, QStringLiteral("BSTR")},           {11, QStringLiteral("Boolean")},
        {12, QStringLiteral("Variant")},       {14, QStringLiteral("Decimal")},
        {16, QStringLiteral("TinyInt")},       {20, QStringLiteral("BigInt")},
        {72, QStringLiteral("GUID")},          {128, QStringLiteral("Binary")},
        {129, QStringLiteral("Char")},         {130, QStringLiteral("WChar")},
        {131, QStringLiteral("Numeric")},      {132, QStringLiteral("UserDefined")},
        {133, QStringLiteral("DBDate")},       {134, QStringLiteral("DBTime")},
        {135, QStringLiteral("DBTimeStamp")},  {200, QStringLiteral("VarChar")},
        {201, QStringLiteral("LongVarChar")},  {202, QStringLiteral("VarWChar")},
        {203, QStringLiteral("LongVarWChar")}, {204, QStringLiteral("VarBinary")},
        {205, QStringLiteral("LongVarBinary")},
    }};
    // The table is ordered by number.
    const auto found = std::lower_bound(kNames.begin(), kNames.end(), dataType,
                                        [](const Name& entry, std::int32_t number) { return entry.number < number; });
    if (found != kNames.end() && found->number == dataType)
        return found->name;
    return QStringLiteral("unknown");
}
