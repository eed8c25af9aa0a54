#include "CatalogueSamples.h"

#include "HelperProcess.h"
#include "KorvADOXConnection.h"

#include <QFileInfo>
#include <QStandardPaths>

TCatalogueColumn ModelColumn(int number, const QString& name, const QString& typeName, int length,
                             bool nullable)
{
    TCatalogueColumn column;
    column.number = number;
    column.name = name;
    column.typeName = typeName;
    column.length = length;
    column.nullable = nullable;
    return column;
}

TCatalogueObject ModelObject(const QString& name, const QList<TCatalogueColumn>& columns, TObjectKind kind)
{
    TCatalogueObject object;
    object.name = name;
    object.kind = kind;
    object.columns = columns;
    return object;
}

TCatalogueColumn JetModelColumn(int number, const QString& name, int adoType, int size, bool nullable)
{
    TCatalogueColumn column =
        ModelColumn(number, name, TKorvADOXConnection::DataTypeName(adoType), size, nullable);
    column.typeCode = adoType;
    return column;
}

TCatalogue SampleAccessCatalogue()
{
    TCatalogue c;
    c.provider = QStringLiteral("Access");
    c.database = QStringLiteral("/data/Nordwind.mdb");

    TCatalogueObject customers;
    customers.name = QStringLiteral("Customers");
    customers.description = QStringLiteral("Who buys");
    customers.columns = {JetModelColumn(1, QStringLiteral("CustomerID"), 202, 5, false),
                         JetModelColumn(2, QStringLiteral("Größe"), 3, 4)};
    customers.columns[0].description = QStringLiteral("Five letters\r\nupper case");
    customers.columns[1].defaultValue = QStringLiteral("0");
    customers.primaryKey = TCataloguePrimaryKey{QStringLiteral("PrimaryKey"), {QStringLiteral("CustomerID")}};

    TCatalogueObject orders;
    orders.name = QStringLiteral("Orders");
    orders.columns = {JetModelColumn(1, QStringLiteral("OrderID"), 3, 4, false),
                      JetModelColumn(2, QStringLiteral("CustomerID"), 202, 5),
                      JetModelColumn(3, QStringLiteral("Shipped"), 11, 2, false),
                      JetModelColumn(4, QStringLiteral("Qty"), 17, 1)};
    orders.columns[0].autoIncrement = true;
    orders.columns[3].defaultValue = QStringLiteral("=1");
    orders.primaryKey = TCataloguePrimaryKey{QStringLiteral("PrimaryKey"), {QStringLiteral("OrderID")}};
    // Out of name order on purpose: the documents sort them.
    orders.indexes = {
        TCatalogueIndex{QStringLiteral("Shipped"), false, {{QStringLiteral("Shipped"), true}}},
        TCatalogueIndex{QStringLiteral("CustomerID"),
                        false,
                        {{QStringLiteral("CustomerID"), false}, {QStringLiteral("OrderID"), false}}}};
    TCatalogueForeignKey key;
    key.name = QStringLiteral("CustomersOrders");
    key.columns = {QStringLiteral("CustomerID")};
    key.referencedTable = QStringLiteral("Customers");
    key.referencedColumns = {QStringLiteral("CustomerID")};
    key.onUpdate = TReferentialAction::Cascade;
    key.onDelete = TReferentialAction::SetNull;
    orders.foreignKeys = {key};

    TCatalogueObject linked;
    linked.name = QStringLiteral("Archive");
    linked.kind = TObjectKind::LinkedTable;
    linked.link =
        TCatalogueLink{QStringLiteral("C:\\Daten\\Archiv.mdb"), QStringLiteral("Orders"), QString()};

    c.objects = {customers, orders, linked};
    return c;
}

TCatalogue SampleSqlServerCatalogue()
{
    TCatalogue c;
    c.provider = QStringLiteral("SQLServer");
    c.server = QStringLiteral("db1,1433");
    c.database = QStringLiteral("Sales");

    TCatalogueObject orders;
    orders.name = QStringLiteral("Orders");
    orders.schema = QStringLiteral("dbo");
    orders.engineId = 581577110;
    orders.description = QStringLiteral("Orders | \"quoted\" <b>");
    orders.columns = {ModelColumn(1, QStringLiteral("OrderID"), QStringLiteral("int"), 4, false),
                      ModelColumn(2, QStringLiteral("Placed"), QStringLiteral("datetime"), 8, false),
                      ModelColumn(3, QStringLiteral("Code"), QStringLiteral("ShortCode"), 6),
                      ModelColumn(4, QStringLiteral("Total"), QStringLiteral("money"), 8)};
    orders.columns[0].autoIncrement = true;
    orders.columns[1].defaultValue = QStringLiteral("(getdate())");
    orders.columns[2].baseType = QStringLiteral("varchar");
    orders.columns[3].computed = QStringLiteral("([Qty]*[Price])");
    orders.primaryKey = TCataloguePrimaryKey{QStringLiteral("PK_Orders"), {QStringLiteral("OrderID")}};
    orders.indexes = {
        TCatalogueIndex{QStringLiteral("UQ_Orders_Code"), true, {{QStringLiteral("Code"), false}}}};

    TCatalogueObject salesOrders;
    salesOrders.name = QStringLiteral("Orders");
    salesOrders.schema = QStringLiteral("sales");
    salesOrders.columns = {ModelColumn(1, QStringLiteral("OrderID"), QStringLiteral("int"), 4, false)};
    TCatalogueForeignKey key;
    key.name = QStringLiteral("FK_sales_Orders_dbo_Orders");
    key.columns = {QStringLiteral("OrderID")};
    key.referencedSchema = QStringLiteral("dbo");
    key.referencedTable = QStringLiteral("Orders");
    key.referencedColumns = {QStringLiteral("OrderID")};
    key.enforced = false;
    key.onDelete = TReferentialAction::Cascade;
    salesOrders.foreignKeys = {key};

    c.objects = {orders, salesOrders};
    return c;
}

namespace {

QString SchemaVerdict(const QByteArray& document, const QString& schema)
{
    // Debian's interpreter, which has the python3-jsonschema package the scripts install; a
    // python3 earlier on the path may lack it.
    const QString system = QStringLiteral("/usr/bin/python3");
    const QString python =
        QFileInfo::exists(system) ? system : QStandardPaths::findExecutable(QStringLiteral("python3"));
    const HelperRunResult run =
        RunHelperProgram(python, {QStringLiteral(ORVANE_SOURCE_DIR "/tests/tools/validate_json.py"), schema},
                         document, 60000, 1 << 20);
    return QString::fromUtf8(run.output).trimmed();
}

} // namespace

QString StructureSchemaVerdict(const QByteArray& document)
{
    return SchemaVerdict(document, QStringLiteral(ORVANE_SOURCE_DIR "/docs/orvane-structure.schema.json"));
}

QString ComparisonSchemaVerdict(const QByteArray& document)
{
    return SchemaVerdict(document, QStringLiteral(ORVANE_SOURCE_DIR "/docs/orvane-comparison.schema.json"));
}
