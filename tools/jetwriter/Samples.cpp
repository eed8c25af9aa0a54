// Ready-made databases: the bundled sample, the column-type tour and benchmark files.
#include "JetWriter.h"

#include <stdexcept>

namespace jet {
namespace {

Column column(const QString& name, ColumnType type, int length = 0)
{
    Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

Column autoNumber(const QString& name)
{
    Column c = column(name, ColumnType::Long);
    c.autoNumber = true;
    return c;
}

Column decimal(const QString& name, int precision, int scale)
{
    Column c = column(name, ColumnType::Numeric);
    c.precision = precision;
    c.scale = scale;
    return c;
}

Column described(Column c, const QString& description)
{
    c.description = description;
    return c;
}

Column withDefault(Column c, const QString& value)
{
    c.defaultValue = value;
    return c;
}

Column requiredColumn(Column c)
{
    c.required = true;
    return c;
}

Index index(const QString& name, const QList<IndexColumn>& columns)
{
    Index ix;
    ix.name = name;
    ix.columns = columns;
    return ix;
}

Index primaryKey(const QList<IndexColumn>& columns)
{
    Index ix = index(QStringLiteral("PrimaryKey"), columns);
    ix.primaryKey = true;
    return ix;
}

Index uniqueIndex(const QString& name, const QList<IndexColumn>& columns)
{
    Index ix = index(name, columns);
    ix.unique = true;
    return ix;
}

Relationship relationship(const QString& referenced, const QStringList& referencedColumns,
                          const QString& table, const QStringList& columns, std::uint32_t flags)
{
    return Relationship{referenced + table, table, columns, referenced, referencedColumns, flags};
}

Column captioned(Column c, const QString& caption)
{
    c.caption = caption;
    return c;
}

Column validated(Column c, const QString& rule, const QString& text)
{
    c.validationRule = rule;
    c.validationText = text;
    return c;
}

Column formatted(Column c, const QString& format, int decimalPlaces = -1)
{
    c.format = format;
    c.decimalPlaces = decimalPlaces;
    return c;
}

Column masked(Column c, const QString& inputMask)
{
    c.inputMask = inputMask;
    return c;
}

Column lookedUp(Column c, const QString& rowSource, int columnCount = 1, bool limitToList = true)
{
    Lookup l;
    l.rowSource = rowSource;
    l.columnCount = columnCount;
    l.limitToList = limitToList;
    c.lookup = l;
    return c;
}

QueryColumn out(const QString& expression, const QString& alias = {})
{
    return QueryColumn{expression, alias};
}

QueryJoin innerJoin(const QString& left, const QString& right, const QString& on, int type = 1)
{
    return QueryJoin{left, right, type, {on}};
}

// The saved queries of the sample: one of every type, with joins (nested too), aliases,
// parameters, TOP and DISTINCTROW, and the hidden ones Access and the user leave behind.
QList<Query> sampleQueries()
{
    const QString customersOrders = QStringLiteral("Customers.Customer_ID = Orders.Customer_ID");
    QList<Query> q;

    Query byCountry{QStringLiteral("Orders by Country")};
    byCountry.columns = {out(QStringLiteral("Customers.Country")),
                         out(QStringLiteral("Count(Orders.Order_ID)"), QStringLiteral("Number of Orders")),
                         out(QStringLiteral("Sum(Orders.Freight)"), QStringLiteral("SumOfFreight"))};
    byCountry.tables = {{QStringLiteral("Customers")}, {QStringLiteral("Orders")}};
    byCountry.joins = {innerJoin(QStringLiteral("Customers"), QStringLiteral("Orders"), customersOrders)};
    byCountry.groupBy = {QStringLiteral("Customers.Country")};
    byCountry.orderBy = {{QStringLiteral("Count(Orders.Order_ID)"), true}};
    q << byCountry;

    Query totals{QStringLiteral("Order Totals")};
    totals.distinctRow = true;
    totals.columns = {out(QStringLiteral("O.Order_ID")), out(QStringLiteral("C.CompanyName")),
                      out(QStringLiteral("Sum(CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])))"),
                          QStringLiteral("Total"))};
    totals.tables = {{QStringLiteral("Customers"), QStringLiteral("C")},
                     {QStringLiteral("Orders"), QStringLiteral("O")},
                     {QStringLiteral("Order Details")}};
    totals.joins = {
        innerJoin(QStringLiteral("C"), QStringLiteral("O"), QStringLiteral("C.Customer_ID = O.Customer_ID")),
        innerJoin(QStringLiteral("O"), QStringLiteral("Order Details"),
                  QStringLiteral("O.Order_ID = [Order Details].Order_ID"))};
    totals.groupBy = {QStringLiteral("O.Order_ID"), QStringLiteral("C.CompanyName")};
    q << totals;

    Query period{QStringLiteral("Orders in Period")};
    period.description = QStringLiteral("Orders placed between two dates the user is asked for");
    period.parameters = {{QStringLiteral("[Start Date]"), 8}, {QStringLiteral("[End Date]"), 8}};
    period.columns = {out(QStringLiteral("Orders.Order_ID")), out(QStringLiteral("Orders.OrderDate")),
                      out(QStringLiteral("Orders.ShipName"))};
    period.tables = {{QStringLiteral("Orders")}};
    period.where = QStringLiteral("(((Orders.OrderDate) Between [Start Date] And [End Date]))");
    period.orderBy = {{QStringLiteral("Orders.OrderDate"), false}};
    q << period;

    Query top{QStringLiteral("Top 10 Products")};
    top.top = 10;
    top.columns = {out(QStringLiteral("Products.ProductName")), out(QStringLiteral("Products.UnitPrice"))};
    top.tables = {{QStringLiteral("Products")}};
    top.orderBy = {{QStringLiteral("Products.UnitPrice"), true}};
    q << top;

    Query without{QStringLiteral("Customers without Orders")};
    without.columns = {out(QStringLiteral("Customers.CompanyName")), out(QStringLiteral("Customers.City"))};
    without.tables = {{QStringLiteral("Customers")}, {QStringLiteral("Orders")}};
    without.joins = {innerJoin(QStringLiteral("Customers"), QStringLiteral("Orders"), customersOrders, 2)};
    without.where = QStringLiteral("(((Orders.Order_ID) Is Null))");
    q << without;

    Query crosstab{QStringLiteral("Freight by Year"), QueryType::Crosstab};
    crosstab.columns = {QueryColumn{QStringLiteral("Orders.ShipCountry"), {}, {}, true}};
    crosstab.tables = {{QStringLiteral("Orders")}};
    crosstab.groupBy = {QStringLiteral("Orders.ShipCountry")};
    crosstab.transform = QStringLiteral("Sum(Orders.Freight)");
    crosstab.transformAlias = QStringLiteral("SumOfFreight");
    crosstab.pivot = QStringLiteral("Year([OrderDate])");
    q << crosstab;

    Query archive{QStringLiteral("Archive Shipped Orders"), QueryType::MakeTable};
    archive.columns = {out(QStringLiteral("Orders.*"))};
    archive.tables = {{QStringLiteral("Orders")}};
    archive.target = QStringLiteral("Orders Archive");
    archive.where = QStringLiteral("(((Orders.ShippedDate) Is Not Null))");
    q << archive;

    Query append{QStringLiteral("Add Customer Countries"), QueryType::Append};
    append.distinct = true;
    append.description =
        QStringLiteral("Adds the customers' countries missing from the list (Größe: ünïcödé)");
    append.target = QStringLiteral("Countries");
    append.columns = {QueryColumn{QStringLiteral("Customers.Country"), {}, QStringLiteral("CountryName")}};
    append.tables = {{QStringLiteral("Customers")}, {QStringLiteral("Countries")}};
    append.joins = {innerJoin(QStringLiteral("Customers"), QStringLiteral("Countries"),
                              QStringLiteral("Customers.Country = Countries.CountryName"), 2)};
    append.where = QStringLiteral("(((Countries.CountryName) Is Null))");
    q << append;

    Query raise{QStringLiteral("Raise Prices"), QueryType::Update};
    raise.parameters = {{QStringLiteral("[Percent Increase]"), 7}};
    raise.tables = {{QStringLiteral("Products")}};
    raise.columns = {QueryColumn{
        QStringLiteral("[UnitPrice]*(1+[Percent Increase]/100)"), {}, QStringLiteral("Products.UnitPrice")}};
    raise.where = QStringLiteral("(((Products.Discontinued)=False))");
    q << raise;

    Query purge{QStringLiteral("Delete Old Orders"), QueryType::Delete};
    purge.columns = {out(QStringLiteral("Orders.*"))};
    purge.tables = {{QStringLiteral("Orders")}};
    purge.where = QStringLiteral("(((Orders.OrderDate)<#1/1/2000#))");
    q << purge;

    Query countries{QStringLiteral("All Countries"), QueryType::Union};
    countries.unionParts = {QStringLiteral("SELECT Customers.Country FROM Customers"),
                            QStringLiteral("SELECT Orders.ShipCountry FROM Orders")};
    q << countries;

    Query server{QStringLiteral("Server Totals"), QueryType::PassThrough};
    server.connect = QStringLiteral("ODBC;DSN=Nordwind;Trusted_Connection=Yes");
    server.text =
        QStringLiteral("SELECT Country, COUNT(*) AS Customers\r\nFROM dbo.Customers\r\nGROUP BY Country");
    q << server;

    Query ddl{QStringLiteral("Create Notes Table"), QueryType::DataDefinition};
    ddl.text =
        QStringLiteral("CREATE TABLE Notes (NoteID COUNTER CONSTRAINT PK_Notes PRIMARY KEY, Body MEMO);");
    q << ddl;

    // The record source Access saved for the report "Customer List", and a query the user hid.
    Query recordSource{QStringLiteral("~sq_rCustomer List")};
    recordSource.flags = QueryFlag::AltSystem | QueryFlag::Hidden;
    recordSource.columns = {out(QStringLiteral("Customers.*"))};
    recordSource.tables = {{QStringLiteral("Customers")}};
    recordSource.orderBy = {{QStringLiteral("Customers.CompanyName"), false}};
    q << recordSource;

    Query settings{QStringLiteral("Settings Lookup")};
    settings.flags = QueryFlag::Hidden;
    settings.columns = {out(QStringLiteral("AppSettings.SettingName")),
                        out(QStringLiteral("AppSettings.SettingValue"))};
    settings.tables = {{QStringLiteral("AppSettings")}};
    q << settings;
    return q;
}

} // namespace

Table everyTypeTable(const QString& name)
{
    Column fixedText = column(QStringLiteral("FixedText"), ColumnType::Text, 10);
    fixedText.fixed = true;
    Column fixedBinary = column(QStringLiteral("FixedBinary"), ColumnType::Binary, 16);
    fixedBinary.fixed = true;
    Column hyperlink = column(QStringLiteral("Hyperlink"), ColumnType::Memo);
    hyperlink.hyperlink = true;
    Column guidAuto = column(QStringLiteral("GuidAuto"), ColumnType::RepId);
    guidAuto.autoNumber = true;
    return Table{name,
                 {autoNumber(QStringLiteral("AutoId")), column(QStringLiteral("YesNo"), ColumnType::Bool),
                  column(QStringLiteral("ByteValue"), ColumnType::Byte),
                  column(QStringLiteral("IntValue"), ColumnType::Int),
                  column(QStringLiteral("LongValue"), ColumnType::Long),
                  column(QStringLiteral("MoneyValue"), ColumnType::Money),
                  column(QStringLiteral("SingleValue"), ColumnType::Float),
                  column(QStringLiteral("DoubleValue"), ColumnType::Double),
                  column(QStringLiteral("DateValue"), ColumnType::DateTime),
                  column(QStringLiteral("VarBinary"), ColumnType::Binary, 50), fixedBinary,
                  column(QStringLiteral("Text50"), ColumnType::Text, 50), fixedText,
                  column(QStringLiteral("OleObject"), ColumnType::OLE),
                  column(QStringLiteral("MemoText"), ColumnType::Memo), hyperlink,
                  column(QStringLiteral("Guid"), ColumnType::RepId), guidAuto,
                  decimal(QStringLiteral("Amount"), 18, 4)},
                 TableFlag::User,
                 0};
}

Database sampleDatabase(Format format)
{
    const bool jet3 = format == Format::Jet3;
    Column website = column(QStringLiteral("Website"), ColumnType::Memo);
    website.hyperlink = true;
    Table customers{QStringLiteral("Customers"),
                    {autoNumber(QStringLiteral("Customer_ID")),
                     column(QStringLiteral("CompanyName"), ColumnType::Text, 40),
                     column(QStringLiteral("ContactName"), ColumnType::Text, 30),
                     column(QStringLiteral("Address"), ColumnType::Text, 60),
                     column(QStringLiteral("City"), ColumnType::Text, 15),
                     masked(captioned(column(QStringLiteral("PostalCode"), ColumnType::Text, 10),
                                      QStringLiteral("Postal Code")),
                            QStringLiteral("00000;;_")),
                     lookedUp(column(QStringLiteral("Country"), ColumnType::Text, 15),
                              QStringLiteral("SELECT Countries.CountryName FROM Countries ORDER BY "
                                             "Countries.CountryName;")),
                     masked(column(QStringLiteral("Phone"), ColumnType::Text, 24),
                            QStringLiteral("!\\(999\") \"000\\-0000;;_")),
                     column(QStringLiteral("Notes"), ColumnType::Memo), website},
                    TableFlag::User,
                    0};
    Table products{
        QStringLiteral("Products"),
        {autoNumber(QStringLiteral("Product_ID")),
         column(QStringLiteral("ProductName"), ColumnType::Text, 40),
         column(QStringLiteral("QuantityPerUnit"), ColumnType::Text, 20),
         formatted(column(QStringLiteral("UnitPrice"), ColumnType::Money), QStringLiteral("Currency"), 255),
         validated(column(QStringLiteral("UnitsInStock"), ColumnType::Int), QStringLiteral(">=0"),
                   QStringLiteral("The stock cannot be negative.")),
         column(QStringLiteral("ReorderLevel"), ColumnType::Byte),
         jet3 ? column(QStringLiteral("WeightKg"), ColumnType::Double)
              : decimal(QStringLiteral("WeightKg"), 10, 3),
         column(QStringLiteral("Discontinued"), ColumnType::Bool),
         column(QStringLiteral("Picture"), ColumnType::OLE)},
        TableFlag::User,
        0};
    Column tracking = column(QStringLiteral("TrackingGuid"), ColumnType::RepId);
    Table orders{
        QStringLiteral("Orders"),
        {autoNumber(QStringLiteral("Order_ID")),
         lookedUp(
             captioned(column(QStringLiteral("Customer_ID"), ColumnType::Long), QStringLiteral("Customer")),
             QStringLiteral("SELECT Customers.Customer_ID, Customers.CompanyName FROM Customers ORDER BY "
                            "Customers.CompanyName;"),
             2),
         validated(formatted(captioned(column(QStringLiteral("OrderDate"), ColumnType::DateTime),
                                       QStringLiteral("Order Date")),
                             QStringLiteral("Short Date")),
                   QStringLiteral(">=#1/1/2000#"), QStringLiteral("Orders start in 2000.")),
         formatted(column(QStringLiteral("ShippedDate"), ColumnType::DateTime), QStringLiteral("Short Date")),
         validated(
             formatted(column(QStringLiteral("Freight"), ColumnType::Money), QStringLiteral("Currency"), 2),
             QStringLiteral(">=0"), QStringLiteral("Freight cannot be negative.")),
         column(QStringLiteral("ShipName"), ColumnType::Text, 40),
         column(QStringLiteral("ShipCountry"), ColumnType::Text, 15), tracking},
        TableFlag::User,
        0};
    Table details{
        QStringLiteral("Order Details"),
        {column(QStringLiteral("Order_ID"), ColumnType::Long),
         column(QStringLiteral("Product_ID"), ColumnType::Long),
         column(QStringLiteral("UnitPrice"), ColumnType::Money),
         validated(column(QStringLiteral("Quantity"), ColumnType::Int), QStringLiteral(">0"),
                   QStringLiteral("Order at least one.")),
         validated(
             formatted(column(QStringLiteral("Discount"), ColumnType::Float), QStringLiteral("Percent"), 0),
             QStringLiteral("Between 0 And 1"), QStringLiteral("A discount lies between 0% and 100%."))},
        TableFlag::User,
        0};
    Column code = column(QStringLiteral("CountryCode"), ColumnType::Text, 2);
    code.fixed = true;
    code.caption = QStringLiteral("ISO Code");
    code.inputMask = QStringLiteral(">LL");
    Table countries{
        QStringLiteral("Countries"),
        {code, column(QStringLiteral("CountryName"), ColumnType::Text, 50),
         formatted(column(QStringLiteral("VatRate"), ColumnType::Double), QStringLiteral("Percent"), 1)},
        TableFlag::User,
        0};
    Table settings{QStringLiteral("AppSettings"),
                   {column(QStringLiteral("SettingName"), ColumnType::Text, 50),
                    column(QStringLiteral("SettingValue"), ColumnType::Text, 255),
                    column(QStringLiteral("ChangedAt"), ColumnType::DateTime)},
                   TableFlag::Hidden,
                   0};

    customers.columns[8].allowZeroLength = true;         // Notes
    products.columns[7].lookup = Lookup{106, QString()}; // Discontinued: a check box
    orders.validationRule = QStringLiteral("[ShippedDate] Is Null Or [ShippedDate]>=[OrderDate]");
    orders.validationText = QStringLiteral("An order ships after it was placed.");

    Database db;
    db.format = format;
    db.tables = {customers, orders, details, products, countries, settings};
    db.otherObjects = {CatalogObject{QStringLiteral("Customer List"), -32764, 0}};
    db.queries = sampleQueries();
    return db;
}

Database richDatabase(Format format)
{
    // Jet 3 keeps text in Windows-1252.
    auto cjk = [&](const QString& text) { return format == Format::Jet3 ? QString() : text; };
    auto asc = [](const char* name) { return IndexColumn{QLatin1String(name), false}; };
    auto desc = [](const char* name) { return IndexColumn{QLatin1String(name), true}; };

    Column code = column(QStringLiteral("CountryCode"), ColumnType::Text, 2);
    code.fixed = true;
    Table countries{
        QStringLiteral("Countries"),
        {described(code, QStringLiteral("ISO 3166 code")),
         requiredColumn(column(QStringLiteral("CountryName"), ColumnType::Text, 50)),
         withDefault(column(QStringLiteral("VatRate"), ColumnType::Double), QStringLiteral("0.2"))},
        TableFlag::User,
        0};
    countries.indexes = {primaryKey({asc("CountryCode")}),
                         uniqueIndex(QStringLiteral("CountryName"), {asc("CountryName")})};
    countries.description = QStringLiteral("Länder") + cjk(QStringLiteral(" – 国家"));

    Table customers{
        QStringLiteral("Customers"),
        {described(autoNumber(QStringLiteral("CustomerID")), QStringLiteral("AutoNumber key")),
         described(requiredColumn(column(QStringLiteral("CompanyName"), ColumnType::Text, 40)),
                   QStringLiteral("Firmenname") + cjk(QStringLiteral(" (顧客)"))),
         column(QStringLiteral("City"), ColumnType::Text, 30),
         described(column(QStringLiteral("CountryCode"), ColumnType::Text, 2),
                   QStringLiteral("Set to Null when the country goes")),
         described(withDefault(column(QStringLiteral("Size"), ColumnType::Byte), QStringLiteral("1")),
                   QStringLiteral("Größe")),
         withDefault(column(QStringLiteral("Active"), ColumnType::Bool), QStringLiteral("Yes")),
         withDefault(column(QStringLiteral("Created"), ColumnType::DateTime), QStringLiteral("=Now()"))},
        TableFlag::User,
        0};
    customers.indexes = {primaryKey({asc("CustomerID")}),
                         uniqueIndex(QStringLiteral("CompanyName"), {asc("CompanyName")}),
                         index(QStringLiteral("CityCountry"), {asc("CountryCode"), asc("City")})};
    customers.description = QStringLiteral("Kunden und ihre Größe") + cjk(QStringLiteral("; 顧客"));

    Table employees{QStringLiteral("Employees"),
                    {autoNumber(QStringLiteral("EmployeeID")),
                     requiredColumn(column(QStringLiteral("LastName"), ColumnType::Text, 30)),
                     column(QStringLiteral("ReportsTo"), ColumnType::Long)},
                    TableFlag::User,
                    0};
    employees.indexes = {primaryKey({asc("EmployeeID")})};
    employees.description = QStringLiteral("Staff; ReportsTo is a relationship of the table with itself");

    Table orders{QStringLiteral("Orders"),
                 {autoNumber(QStringLiteral("OrderID")),
                  column(QStringLiteral("CustomerID"), ColumnType::Long),
                  column(QStringLiteral("EmployeeID"), ColumnType::Long),
                  described(withDefault(column(QStringLiteral("OrderDate"), ColumnType::DateTime),
                                        QStringLiteral("=Now()")),
                            QStringLiteral("Newest first in its index")),
                  withDefault(column(QStringLiteral("Freight"), ColumnType::Money), QStringLiteral("0")),
                  column(QStringLiteral("ShipCountry"), ColumnType::Text, 2),
                  withDefault(column(QStringLiteral("Shipped"), ColumnType::Bool), QStringLiteral("No")),
                  column(QStringLiteral("ShippedDate"), ColumnType::DateTime)},
                 TableFlag::User,
                 0};
    // CustomersOrders shares the CustomerID index, so ShippedDate, made later, has logical
    // number 6 but real index 4.
    Index shippedLater = index(QStringLiteral("ShippedDate"), {asc("ShippedDate")});
    shippedLater.afterRelationships = true;
    orders.indexes = {primaryKey({asc("OrderID")}), index(QStringLiteral("OrderDate"), {desc("OrderDate")}),
                      index(QStringLiteral("CustomerID"), {asc("CustomerID")}), shippedLater};
    orders.description = QStringLiteral("One row per order");

    Table products{
        QStringLiteral("Products"),
        {autoNumber(QStringLiteral("ProductID")),
         requiredColumn(column(QStringLiteral("ProductName"), ColumnType::Text, 40)),
         column(QStringLiteral("Category"), ColumnType::Text, 20),
         withDefault(column(QStringLiteral("UnitPrice"), ColumnType::Money), QStringLiteral("0")),
         withDefault(column(QStringLiteral("Discontinued"), ColumnType::Bool), QStringLiteral("No"))},
        TableFlag::User,
        0};
    products.indexes = {primaryKey({asc("ProductID")}),
                        uniqueIndex(QStringLiteral("CategoryName"), {asc("Category"), desc("ProductName")})};

    Column lineTotal = column(QStringLiteral("LineTotal"), ColumnType::Double);
    lineTotal.expression = QStringLiteral("[UnitPrice]*[Quantity]*(1-[Discount])");
    lineTotal.description = QStringLiteral("Calculated");
    Table details{
        QStringLiteral("Order Details"),
        {column(QStringLiteral("OrderID"), ColumnType::Long),
         column(QStringLiteral("ProductID"), ColumnType::Long),
         column(QStringLiteral("UnitPrice"), ColumnType::Money),
         withDefault(column(QStringLiteral("Quantity"), ColumnType::Int), QStringLiteral("1")),
         withDefault(column(QStringLiteral("Discount"), ColumnType::Float), QStringLiteral("0")),
         withDefault(column(QStringLiteral("Note"), ColumnType::Text, 50), QStringLiteral("\"x\""))},
        TableFlag::User,
        0};
    if (format == Format::Ace12)
        details.columns.append(lineTotal);
    details.indexes = {primaryKey({asc("OrderID"), asc("ProductID")}),
                       index(QStringLiteral("ProductID"), {asc("ProductID")})};
    details.description = QStringLiteral("Composite primary key");

    Table returns{
        QStringLiteral("Returns"),
        {autoNumber(QStringLiteral("ReturnID")), column(QStringLiteral("OrderID"), ColumnType::Long),
         column(QStringLiteral("ProductID"), ColumnType::Long),
         column(QStringLiteral("ReturnDate"), ColumnType::DateTime),
         described(column(QStringLiteral("Reason"), ColumnType::Memo), cjk(QStringLiteral("理由")))},
        TableFlag::User,
        0};
    Index late = index(QStringLiteral("ReturnDate"), {asc("ReturnDate")});
    late.afterRelationships = true;
    returns.indexes = {primaryKey({asc("ReturnID")}), late};
    returns.description = QStringLiteral("Its index ReturnDate was made after its relationship");

    Database db;
    db.format = format;
    db.tables = {countries, customers, employees, orders, products, details, returns};
    using namespace RelationFlag;
    const QStringList orderId{QStringLiteral("OrderID")};
    const QStringList productId{QStringLiteral("ProductID")};
    db.relationships = {
        relationship(QStringLiteral("Countries"), {QStringLiteral("CountryCode")},
                     QStringLiteral("Customers"), {QStringLiteral("CountryCode")},
                     CascadeUpdates | CascadeNull),
        relationship(QStringLiteral("Customers"), {QStringLiteral("CustomerID")}, QStringLiteral("Orders"),
                     {QStringLiteral("CustomerID")}, CascadeDeletes),
        relationship(QStringLiteral("Employees"), {QStringLiteral("EmployeeID")}, QStringLiteral("Orders"),
                     {QStringLiteral("EmployeeID")}, NotEnforced),
        relationship(QStringLiteral("Employees"), {QStringLiteral("EmployeeID")}, QStringLiteral("Employees"),
                     {QStringLiteral("ReportsTo")}, 0),
        relationship(QStringLiteral("Countries"), {QStringLiteral("CountryCode")}, QStringLiteral("Orders"),
                     {QStringLiteral("ShipCountry")}, CascadeUpdates),
        relationship(QStringLiteral("Orders"), orderId, QStringLiteral("Order Details"), orderId,
                     CascadeUpdates | CascadeDeletes),
        relationship(QStringLiteral("Products"), productId, QStringLiteral("Order Details"), productId, 0),
        relationship(QStringLiteral("Order Details"), orderId + productId, QStringLiteral("Returns"),
                     orderId + productId, CascadeDeletes)};
    db.relationships[3].name = QStringLiteral("EmployeesEmployees");
    return db;
}

Database benchmarkDatabase(int tables, int columnsPerTable, Format format)
{
    if (tables < 0 || columnsPerTable < 0 || columnsPerTable > 255)
        throw std::invalid_argument("benchmark database: 0 or more tables of 0 to 255 columns");
    // A spread of types close to what real schemas hold: mostly numbers and short text.
    struct Kind
    {
        ColumnType type;
        int length;
        const char* suffix;
    };
    static const Kind kinds[] = {{ColumnType::Long, 0, "Id"},       {ColumnType::Text, 50, "Name"},
                                 {ColumnType::Text, 255, "Remark"}, {ColumnType::DateTime, 0, "Date"},
                                 {ColumnType::Money, 0, "Amount"},  {ColumnType::Int, 0, "Count"},
                                 {ColumnType::Double, 0, "Ratio"},  {ColumnType::Bool, 0, "Flag"},
                                 {ColumnType::Memo, 0, "Notes"},    {ColumnType::Numeric, 0, "Value"},
                                 {ColumnType::Byte, 0, "Level"},    {ColumnType::Text, 10, "Code"}};
    Database db;
    db.format = format;
    db.tables.reserve(tables);
    for (int t = 1; t <= tables; ++t) {
        Table table;
        table.name = QStringLiteral("Table%1").arg(t, 4, 10, QLatin1Char('0'));
        table.columns.reserve(columnsPerTable);
        for (int c = 1; c <= columnsPerTable; ++c) {
            const Kind& k = kinds[(t + c) % std::size(kinds)];
            const ColumnType type =
                k.type == ColumnType::Numeric && format == Format::Jet3 ? ColumnType::Double : k.type;
            Column col = column(
                QStringLiteral("Col%1_%2").arg(c, 2, 10, QLatin1Char('0')).arg(QLatin1String(k.suffix)), type,
                k.length);
            col.autoNumber = c == 1 && k.type == ColumnType::Long;
            table.columns.append(col);
        }
        db.tables.append(table);
    }
    return db;
}

void addBenchmarkQueries(Database& db, int count)
{
    if (count < 0 || (count > 0 && db.tables.size() < 2))
        throw std::invalid_argument("benchmark queries: 0 or more, over at least two tables");
    for (const Table& t : db.tables) {
        if (count > 0 && t.columns.size() < 2)
            throw std::invalid_argument("benchmark queries: every table needs two columns");
    }
    const qsizetype tables = db.tables.size();
    for (int n = 1; n <= count; ++n) {
        // Benchmark tables and columns have plain names: nothing needs brackets.
        const Table& a = db.tables[(n - 1) % tables];
        const Table& b = db.tables[n % tables];
        const QString& a1 = a.columns[0].name;
        const QString& a2 = a.columns[1].name;
        Query q;
        q.name = QStringLiteral("Query%1").arg(n, 4, 10, QLatin1Char('0'));
        if (n % 6 == 0) {
            q.type = QueryType::Update;
            q.tables = {{a.name}};
            q.columns = {QueryColumn{QStringLiteral("Null"), {}, a.name + u'.' + a2}};
            q.where = QStringLiteral("(((%1.%2)=0))").arg(a.name, a1);
        } else {
            q.columns = {QueryColumn{QStringLiteral("A.") + a1},
                         QueryColumn{QStringLiteral("A.") + a2, QStringLiteral("Second")},
                         QueryColumn{b.name + u'.' + b.columns[1].name}};
            q.tables = {{a.name, QStringLiteral("A")}, {b.name}};
            q.joins = {QueryJoin{QStringLiteral("A"),
                                 b.name,
                                 1 + n % 3,
                                 {QStringLiteral("A.%1 = %2.%3").arg(a1, b.name, b.columns[0].name)}}};
            q.orderBy = {{QStringLiteral("A.") + a1, n % 2 == 0}};
            if (n % 6 == 1) {
                q.parameters = {{QStringLiteral("[Lowest]"), 4}};
                q.where = QStringLiteral("(((A.%1)>=[Lowest]))").arg(a1);
            }
        }
        db.queries.append(q);
    }
}

} // namespace jet
