#include "KorvADOXConnection.h"

#include "Guarded.h"

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
    return guarded([&] { return currentColumns().get(QStringLiteral("Item"), {Variant(index)}); }, Variant());
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

const Variant& TKorvADOXConnection::currentColumns()
{
    // A report reads every column of a table: the collection is asked for once per table, and
    // asked again whenever CurrentTable holds another object (however it got there).
    if (!m_columnsTable.isObject() || m_columnsTable.objectPtr() != CurrentTable.objectPtr()) {
        m_columns = CurrentTable.get(QStringLiteral("Columns"));
        m_columnsTable = CurrentTable;
    }
    return m_columns;
}

std::int32_t TKorvADOXConnection::ColumnCount()
{
    return guarded([&] { return currentColumns().get(QStringLiteral("Count")).toInt(); }, std::int32_t(0));
}

QString TKorvADOXConnection::DataTypeName(std::int32_t dataType)
{
    // Every column line of a report asks for one of these: a switch the compiler turns into a jump
    // table, and literals whose copies share static text (no allocation, no reference count).
    switch (dataType) {
    case 2:
        return QStringLiteral("SmallInt");
    case 3:
        return QStringLiteral("Integer");
    case 4:
        return QStringLiteral("Single");
    case 5:
        return QStringLiteral("Double");
    case 6:
        return QStringLiteral("Currency");
    case 7:
        return QStringLiteral("Date");
    case 8:
        return QStringLiteral("BSTR");
    case 11:
        return QStringLiteral("Boolean");
    case 12:
        return QStringLiteral("Variant");
    case 14:
        return QStringLiteral("Decimal");
    case 16:
        return QStringLiteral("TinyInt");
    case 20:
        return QStringLiteral("BigInt");
    case 72:
        return QStringLiteral("GUID");
    case 128:
        return QStringLiteral("Binary");
    case 129:
        return QStringLiteral("Char");
    case 130:
        return QStringLiteral("WChar");
    case 131:
        return QStringLiteral("Numeric");
    case 132:
        return QStringLiteral("UserDefined");
    case 133:
        return QStringLiteral("DBDate");
    case 134:
        return QStringLiteral("DBTime");
    case 135:
        return QStringLiteral("DBTimeStamp");
    case 200:
        return QStringLiteral("VarChar");
    case 201:
        return QStringLiteral("LongVarChar");
    case 202:
        return QStringLiteral("VarWChar");
    case 203:
        return QStringLiteral("LongVarWChar");
    case 204:
        return QStringLiteral("VarBinary");
    case 205:
        return QStringLiteral("LongVarBinary");
    default:
        return QStringLiteral("unknown");
    }
}
