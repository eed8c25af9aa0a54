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
        TCatalogueIndex{QStringLiteral("Shipped"), false, {{QStringLiteral("Shipped"), true}}, false, {}, {}},
        TCatalogueIndex{QStringLiteral("CustomerID"),
                        false,
                        {{QStringLiteral("CustomerID"), false}, {QStringLiteral("OrderID"), false}},
                        false,
                        {},
                        {}}};
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
    orders.indexes = {TCatalogueIndex{
        QStringLiteral("UQ_Orders_Code"), true, {{QStringLiteral("Code"), false}}, false, {}, {}}};

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

TCatalogueObject Query(const QString& name, TQueryType type, const QString& sql)
{
    TCatalogueObject query;
    query.name = name;
    query.kind = TObjectKind::Query;
    query.queryType = type;
    query.definition = sql;
    return query;
}

TCatalogueObject Module(const QString& name, TObjectKind kind, const QString& definition,
                        const QString& schema = QStringLiteral("dbo"))
{
    TCatalogueObject module;
    module.name = name;
    module.schema = schema;
    module.kind = kind;
    module.definition = definition;
    return module;
}

} // namespace

TCatalogue SampleAccessDatabase()
{
    TCatalogue c = SampleAccessCatalogue();
    TCatalogueObject& customers = c.objects[0];
    customers.columns[0].properties.edit().caption = QStringLiteral("Kunden-Nr.");
    customers.columns[0].properties.edit().inputMask = QStringLiteral(">LLLLL");
    customers.columns[1].properties.edit().format = QStringLiteral("Standard");
    customers.columns[1].properties.edit().decimalPlaces = 2;
    customers.checks = {TCatalogueCheck{QString(), QStringLiteral("Größe"), QStringLiteral(">=0"),
                                        QStringLiteral("Nicht negativ"), true}};
    TCatalogueObject& orders = c.objects[1];
    orders.columns[1].properties.edit().allowZeroLength = true;
    TColumnLookup lookup;
    lookup.displayControl = QStringLiteral("comboBox");
    lookup.rowSourceType = QStringLiteral("Table/Query");
    lookup.rowSource =
        QStringLiteral("SELECT Customers.CustomerID FROM Customers ORDER BY Customers.CustomerID;");
    lookup.boundColumn = 1;
    lookup.columnCount = 2;
    lookup.limitToList = true;
    orders.columns[1].properties.edit().lookup = lookup;
    // A rule of the table itself, on no one field.
    orders.checks = {TCatalogueCheck{QString(), QString(), QStringLiteral("[Qty]<=100"), QString(), true}};

    TCatalogueObject notes =
        ModelObject(QStringLiteral("Notes"), {JetModelColumn(1, QStringLiteral("Text"), 203, 0)});
    notes.hidden = true;
    c.objects.insert(2, notes);

    TCatalogueObject open = Query(QStringLiteral("qryOpenOrders"), TQueryType::Select,
                                  QStringLiteral("SELECT Orders.OrderID, Orders.CustomerID\r\nFROM Orders\r\n"
                                                 "WHERE (((Orders.Shipped)=False));\r\n"));
    TCatalogueObject byDate = Query(
        QStringLiteral("qryOrdersBetween"), TQueryType::Select,
        QStringLiteral("PARAMETERS [Start date] DateTime, [End date] DateTime;\r\nSELECT Orders.*\r\n"
                       "FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID\r\n"
                       "WHERE (((Orders.Placed) Between [Start date] And [End date]));\r\n"));
    byDate.parameters = {
        TCatalogueParameter{QStringLiteral("[Start date]"), QStringLiteral("DateTime"), 0, false},
        TCatalogueParameter{QStringLiteral("[End date]"), QStringLiteral("DateTime"), 0, false}};
    TCatalogueObject purge =
        Query(QStringLiteral("qryPurge"), TQueryType::Delete,
              QStringLiteral("DELETE Orders.*\r\nFROM Orders\r\nWHERE (((Orders.Shipped)=True));\r\n"));
    purge.hidden = true;
    TCatalogueObject crosstab = Query(
        QStringLiteral("qryQtyByCustomer"), TQueryType::Crosstab,
        QStringLiteral("TRANSFORM Sum(Orders.Qty) AS SumOfQty\r\nSELECT Orders.CustomerID\r\nFROM Orders\r\n"
                       "GROUP BY Orders.CustomerID\r\nPIVOT Orders.Shipped;\r\n"));
    TCatalogueObject form = Query(QStringLiteral("~sq_cOrders"), TQueryType::Select,
                                  QStringLiteral("SELECT Orders.* FROM Orders;\r\n"));
    form.systemObject = true;
    c.objects += {open, byDate, purge, crosstab, form};
    return c;
}

TCatalogue SampleSqlServerDatabase()
{
    TCatalogue c = SampleSqlServerCatalogue();
    TCatalogueObject& orders = c.objects[0];
    orders.indexes[0].clustered = true;
    TCatalogueIndex placed{QStringLiteral("IX_Orders_Placed"), false, {{QStringLiteral("Placed"), true}}};
    placed.included = {QStringLiteral("Total"), QStringLiteral("Code")};
    placed.filter = QStringLiteral("([Placed]>'20200101')");
    orders.indexes.append(placed);
    orders.checks = {TCatalogueCheck{QStringLiteral("CK_Orders_Placed"), QString(),
                                     QStringLiteral("([Placed]<=getdate())"), QString(), false},
                     TCatalogueCheck{QStringLiteral("CK_Orders_Total"), QStringLiteral("Total"),
                                     QStringLiteral("([Total]>=(0))"), QString(), true}};
    TCatalogueTrigger audit;
    audit.name = QStringLiteral("trg_Orders_Audit");
    audit.events = {QStringLiteral("insert"), QStringLiteral("update")};
    audit.definition =
        QStringLiteral("CREATE TRIGGER trg_Orders_Audit ON dbo.Orders AFTER INSERT, UPDATE\r\nAS\r\n"
                       "    SET NOCOUNT ON;\r\n");
    orders.triggers = {audit};

    // A definition as SQL Server keeps it: a leading comment, and one line far longer than a
    // report line.
    TCatalogueObject openOrders =
        Module(QStringLiteral("vOpenOrders"), TObjectKind::View,
               QStringLiteral("-- Orders not yet placed | <b>\r\nCREATE VIEW dbo.vOpenOrders AS\r\nSELECT "
                              "OrderID, Code, Total FROM "
                              "dbo.Orders WHERE ") +
                   QStringList(QList<QString>(40, QStringLiteral("Total > 0"))).join(QStringLiteral(" OR ")));
    openOrders.columns = {ModelColumn(1, QStringLiteral("OrderID"), QStringLiteral("int"), 4, false)};
    TCatalogueTrigger instead;
    instead.name = QStringLiteral("trg_vOpenOrders_Delete");
    instead.events = {QStringLiteral("delete")};
    instead.timing = TTriggerTiming::InsteadOf;
    instead.enabled = false;
    instead.encrypted = true;
    openOrders.triggers = {instead};
    TCatalogueObject secret =
        Module(QStringLiteral("vSecret"), TObjectKind::View, QString(), QStringLiteral("sales"));
    secret.encrypted = true;

    TCatalogueObject place =
        Module(QStringLiteral("usp_PlaceOrder"), TObjectKind::Procedure,
               QStringLiteral("CREATE PROCEDURE dbo.usp_PlaceOrder @Code varchar(6), @Total money,\r\n"
                              "    @OrderID int OUTPUT\r\nAS\r\nBEGIN\r\n"
                              "    INSERT dbo.Orders (Code, Total) VALUES (@Code, @Total);\r\n"
                              "    SET @OrderID = SCOPE_IDENTITY();\r\nEND\r\n"));
    place.parameters = {TCatalogueParameter{QStringLiteral("@Code"), QStringLiteral("varchar"), 6, false},
                        TCatalogueParameter{QStringLiteral("@Total"), QStringLiteral("money"), 8, false},
                        TCatalogueParameter{QStringLiteral("@OrderID"), QStringLiteral("int"), 4, true}};
    TCatalogueObject total =
        Module(QStringLiteral("fn_OrderTotal"), TObjectKind::Function,
               QStringLiteral("CREATE FUNCTION dbo.fn_OrderTotal (@OrderID int) RETURNS money\r\n"
                              "AS BEGIN RETURN (SELECT Total FROM dbo.Orders WHERE OrderID = "
                              "@OrderID) END\r\n"));
    total.parameters = {TCatalogueParameter{QStringLiteral("@OrderID"), QStringLiteral("int"), 4, false}};
    total.returns = TCatalogueParameter{QString(), QStringLiteral("money"), 8, false};
    // A CLR function: listed, with no definition to show.
    TCatalogueObject clr = Module(QStringLiteral("fn_Regex"), TObjectKind::Function, QString());
    clr.parameters = {
        TCatalogueParameter{QStringLiteral("@Pattern"), QStringLiteral("nvarchar"), 8000, false}};
    clr.returns = TCatalogueParameter{QString(), QStringLiteral("bit"), 1, false};

    TCatalogueObject numbers = Module(QStringLiteral("OrderNumbers"), TObjectKind::Sequence, QString());
    numbers.sequence = TCatalogueSequence{QStringLiteral("bigint"),
                                          QStringLiteral("1000"),
                                          QStringLiteral("1"),
                                          QStringLiteral("1000"),
                                          QStringLiteral("9223372036854775807"),
                                          false};
    TCatalogueObject archive = Module(QStringLiteral("Archive"), TObjectKind::Synonym, QString());
    archive.synonymTarget = QStringLiteral("[ArchiveDb].[dbo].[Orders]");

    c.objects += {openOrders, secret, place, total, clr, numbers, archive};
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
