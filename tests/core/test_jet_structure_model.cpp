// The structure model of an Access file as the provider reads it, on the writer's rich sample:
// primary keys, indexes (unique, descending, several columns, one made after its relationship,
// which libmdb's own pairing loses), foreign keys with their actions, defaults, Required, Yes/No
// and AutoNumber columns, descriptions in several scripts; and a linked table's keys from its
// back-end.
#include "Automation.h"
#include "CatalogueSource.h"
#include "JetCatalogReader.h"
#include "KorvConnection.h"

#include "JetWriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <exception>
#include <ostream>

namespace {

QString joined(const QStringList& names)
{
    return names.join(QLatin1Char(','));
}

QString actions(const TCatalogueForeignKey& key)
{
    return ReferentialActionName(key.onUpdate) + u'/' + ReferentialActionName(key.onDelete);
}

// The keys, indexes and foreign keys of an object, a line each.
QStringList keyLines(const TCatalogueObject& o)
{
    QStringList lines;
    if (o.primaryKey)
        lines << QStringLiteral("pk %1(%2)").arg(o.primaryKey->name, joined(o.primaryKey->columns));
    for (const TCatalogueIndex& index : o.indexes) {
        QStringList columns;
        for (const TCatalogueIndexColumn& c : index.columns)
            columns << (c.descending ? c.name + QStringLiteral(" desc") : c.name);
        lines << QStringLiteral("%1 %2(%3)")
                     .arg(index.unique ? QStringLiteral("unique") : QStringLiteral("index"), index.name,
                          joined(columns));
    }
    for (const TCatalogueForeignKey& key : o.foreignKeys)
        lines << QStringLiteral("fk %1(%2)->%3(%4) %5%6")
                     .arg(key.name, joined(key.columns), key.referencedTable, joined(key.referencedColumns),
                          key.enforced ? QString() : QStringLiteral("not enforced "), actions(key));
    return lines;
}

// The columns whose model says more than a name and a type, a line each.
QStringList columnLines(const TCatalogueObject& o)
{
    QStringList lines;
    for (const TCatalogueColumn& c : o.columns) {
        QStringList parts;
        if (!c.nullable)
            parts << QStringLiteral("not null");
        if (c.autoIncrement)
            parts << QStringLiteral("auto");
        if (!c.defaultValue.isEmpty())
            parts << QStringLiteral("default ") + c.defaultValue;
        if (!c.computed.isEmpty())
            parts << QStringLiteral("computed ") + c.computed;
        if (!c.description.isEmpty())
            parts << QStringLiteral("'") + c.description + u'\'';
        if (!parts.isEmpty())
            lines << QStringLiteral("%1 %2: %3").arg(c.number).arg(c.name, parts.join(QStringLiteral(", ")));
    }
    return lines;
}

struct TableCase
{
    const char* table;
    const char* description;
    QStringList keys;
    QStringList columns;
};

void PrintTo(const TableCase& c, std::ostream* os)
{
    *os << c.table;
}

const TableCase kTables[] = {
    {"Countries",
     "Länder – 国家",
     {"pk PrimaryKey(CountryCode)", "unique CountryName(CountryName)"},
     {"1 CountryCode: not null, 'ISO 3166 code'", "2 CountryName: not null", "3 VatRate: default 0.2"}},
    {"Customers",
     "Kunden und ihre Größe; 顧客",
     {"pk PrimaryKey(CustomerID)", "index CityCountry(CountryCode,City)", "unique CompanyName(CompanyName)",
      "fk CountriesCustomers(CountryCode)->Countries(CountryCode) cascade/setNull"},
     {"1 CustomerID: not null, auto, 'AutoNumber key'", "2 CompanyName: not null, 'Firmenname (顧客)'",
      "4 CountryCode: 'Set to Null when the country goes'", "5 Size: default 1, 'Größe'",
      "6 Active: not null, default Yes", "7 Created: default =Now()"}},
    {"Employees",
     "Staff; ReportsTo is a relationship of the table with itself",
     {"pk PrimaryKey(EmployeeID)",
      "fk EmployeesEmployees(ReportsTo)->Employees(EmployeeID) noAction/noAction"},
     {"1 EmployeeID: not null, auto", "2 LastName: not null"}},
    {"Orders",
     "One row per order",
     {"pk PrimaryKey(OrderID)", "index CustomerID(CustomerID)", "index OrderDate(OrderDate desc)",
      // Made after the relationships: its logical and real numbers differ.
      "index ShippedDate(ShippedDate)",
      "fk CountriesOrders(ShipCountry)->Countries(CountryCode) cascade/noAction",
      "fk CustomersOrders(CustomerID)->Customers(CustomerID) noAction/cascade",
      "fk EmployeesOrders(EmployeeID)->Employees(EmployeeID) not enforced noAction/noAction"},
     {"1 OrderID: not null, auto", "4 OrderDate: default =Now(), 'Newest first in its index'",
      "5 Freight: default 0", "7 Shipped: not null, default No"}},
    {"Products",
     "",
     {"pk PrimaryKey(ProductID)", "unique CategoryName(Category,ProductName desc)"},
     {"1 ProductID: not null, auto", "2 ProductName: not null", "4 UnitPrice: default 0",
      "5 Discontinued: not null, default No"}},
    {"Order Details",
     "Composite primary key",
     {"pk PrimaryKey(OrderID,ProductID)", "index ProductID(ProductID)",
      "fk OrdersOrder Details(OrderID)->Orders(OrderID) cascade/cascade",
      "fk ProductsOrder Details(ProductID)->Products(ProductID) noAction/noAction"},
     {"1 OrderID: not null", "2 ProductID: not null", "4 Quantity: default 1", "5 Discount: default 0",
      "6 Note: default \"x\""}},
    {"Returns",
     "Its index ReturnDate was made after its relationship",
     {"pk PrimaryKey(ReturnID)", "index ReturnDate(ReturnDate)",
      "fk Order DetailsReturns(OrderID,ProductID)->Order Details(OrderID,ProductID) noAction/cascade"},
     {"1 ReturnID: not null, auto", "5 Reason: '理由'"}},
};

std::shared_ptr<const TCatalogue> structureOf(const QString& path)
{
    Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
    catalog.put(QStringLiteral("ActiveConnection"),
                Variant(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path));
    auto* source = dynamic_cast<TCatalogueSource*>(catalog.objectPtr().get());
    if (!source)
        return nullptr;
    // Asked twice, the same model: it is made once per opening.
    const std::shared_ptr<const TCatalogue> model = source->StructureModel();
    return model == source->StructureModel() ? model : nullptr;
}

class RichSample : public ::testing::TestWithParam<TableCase>
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        const QStringList names{QStringLiteral("rich.mdb"), QStringLiteral("rich.accdb"),
                                QStringLiteral("rich3.mdb")};
        const jet::Format formats[] = {jet::Format::Jet4, jet::Format::Ace12, jet::Format::Jet3};
        for (int f = 0; f < 3; ++f) {
            const jet::Format format = formats[f];
            const QString path = s_dir->filePath(names.at(f));
            try {
                jet::writeFile(path, jet::richDatabase(format));
                s_models.append(structureOf(path));
            } catch (const std::exception& e) {
                s_error += path + QStringLiteral(": ") + QString::fromUtf8(e.what()) + u'\n';
            }
        }
    }
    static void TearDownTestSuite()
    {
        s_models.clear();
        delete s_dir;
        s_dir = nullptr;
    }

    static QTemporaryDir* s_dir;
    static QList<std::shared_ptr<const TCatalogue>> s_models;
    static QString s_error;
};
QString RichSample::s_error;
QTemporaryDir* RichSample::s_dir = nullptr;
QList<std::shared_ptr<const TCatalogue>> RichSample::s_models;

TEST_P(RichSample, KeysIndexesRelationshipsAndPropertiesAsWritten)
{
    const TableCase& c = GetParam();
    ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString();
    ASSERT_EQ(s_models.size(), 3);
    for (const std::shared_ptr<const TCatalogue>& model : s_models) {
        ASSERT_TRUE(model);
        SCOPED_TRACE(model->database.toStdString());
        const TCatalogueObject* o = model->find(QString::fromUtf8(c.table));
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->kind, TObjectKind::Table);
        EXPECT_NE(o->engineId, 0);
        // Jet 3 lays indexes out differently; its texts are those of its code page, so the
        // sample leaves out what Windows-1252 cannot hold: only its keys are compared.
        if (model->database.endsWith(QStringLiteral("rich3.mdb"))) {
            EXPECT_EQ(keyLines(*o), c.keys);
            continue;
        }
        EXPECT_EQ(o->description, QString::fromUtf8(c.description));
        EXPECT_EQ(keyLines(*o), c.keys);
        QStringList columns = columnLines(*o);
        // The ACE sample's calculated column.
        if (c.table == std::string("Order Details") && model->database.endsWith(QStringLiteral(".accdb"))) {
            ASSERT_FALSE(columns.isEmpty());
            EXPECT_EQ(columns.takeLast(),
                      QStringLiteral("7 LineTotal: computed [UnitPrice]*[Quantity]*(1-[Discount]), "
                                     "'Calculated'"));
        }
        EXPECT_EQ(columns, c.columns);
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, RichSample, ::testing::ValuesIn(kTables),
                         [](const ::testing::TestParamInfo<TableCase>& p) {
                             std::string name = p.param.table;
                             std::erase(name, ' ');
                             return name;
                         });

TEST(RichSampleObjects, ThroughTheFacadeInListOrderWithTheSystemTablesAndTheFileAsDatabase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("rich.mdb"));
    jet::writeFile(path, jet::richDatabase());
    // Reached as the window and the command line reach it: through the facade.
    TKorvConnection connection;
    connection.SetConnectionType(ctADOX);
    connection.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
    const std::shared_ptr<const TCatalogue> model = connection.StructureModel();
    ASSERT_TRUE(model);
    EXPECT_EQ(model->provider, QStringLiteral("Access"));
    EXPECT_EQ(model->database, path);
    QStringList tables, system;
    for (const TCatalogueObject& o : model->objects)
        (o.kind == TObjectKind::SystemTable ? system : tables) << o.name;
    EXPECT_EQ(tables, (QStringList{"Countries", "Customers", "Employees", "Order Details", "Orders",
                                   "Products", "Returns"}));
    EXPECT_TRUE(system.contains(QStringLiteral("MSysRelationships")));
    EXPECT_TRUE(system.contains(QStringLiteral("MSysObjects")));
}

// --- the sample's saved queries and field properties, in every format ------------------------------

struct QueryExpectation
{
    const char* name;
    TQueryType type;
    const char* sql;
};

const QueryExpectation kSampleQueries[] = {
    {"Add Customer Countries", TQueryType::Append,
     "INSERT INTO Countries ( CountryName )\nSELECT DISTINCT Customers.Country\nFROM Customers LEFT JOIN "
     "Countries ON "
     "Customers.Country = Countries.CountryName\nWHERE (((Countries.CountryName) Is Null));"},
    {"All Countries", TQueryType::Union,
     "SELECT Customers.Country FROM Customers\nUNION SELECT Orders.ShipCountry FROM Orders;"},
    {"Archive Shipped Orders", TQueryType::MakeTable,
     "SELECT Orders.* INTO [Orders Archive]\nFROM Orders\nWHERE (((Orders.ShippedDate) Is Not Null));"},
    {"Create Notes Table", TQueryType::DataDefinition,
     "CREATE TABLE Notes (NoteID COUNTER CONSTRAINT PK_Notes PRIMARY KEY, Body MEMO);"},
    {"Customers without Orders", TQueryType::Select,
     "SELECT Customers.CompanyName, Customers.City\nFROM Customers LEFT JOIN Orders ON Customers.Customer_ID "
     "= "
     "Orders.Customer_ID\nWHERE (((Orders.Order_ID) Is Null));"},
    {"Delete Old Orders", TQueryType::Delete,
     "DELETE Orders.*\nFROM Orders\nWHERE (((Orders.OrderDate)<#1/1/2000#));"},
    {"Freight by Year", TQueryType::Crosstab,
     "TRANSFORM Sum(Orders.Freight) AS SumOfFreight\nSELECT Orders.ShipCountry\nFROM Orders\nGROUP BY "
     "Orders.ShipCountry\nPIVOT Year([OrderDate]);"},
    {"Order Totals", TQueryType::Select,
     "SELECT DISTINCTROW O.Order_ID, C.CompanyName, "
     "Sum(CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount]))) AS Total\nFROM (Customers AS C INNER "
     "JOIN "
     "Orders AS O ON C.Customer_ID = O.Customer_ID) INNER JOIN [Order Details] ON O.Order_ID = [Order "
     "Details].Order_ID\nGROUP BY O.Order_ID, C.CompanyName;"},
    {"Orders by Country", TQueryType::Select,
     "SELECT Customers.Country, Count(Orders.Order_ID) AS [Number of Orders], Sum(Orders.Freight) AS "
     "SumOfFreight\nFROM Customers INNER JOIN Orders ON Customers.Customer_ID = Orders.Customer_ID\nGROUP BY "
     "Customers.Country\nORDER BY Count(Orders.Order_ID) DESC;"},
    {"Orders in Period", TQueryType::Select,
     "PARAMETERS [Start Date] DateTime, [End Date] DateTime;\nSELECT Orders.Order_ID, Orders.OrderDate, "
     "Orders.ShipName\nFROM Orders\nWHERE (((Orders.OrderDate) Between [Start Date] And [End Date]))\nORDER "
     "BY "
     "Orders.OrderDate;"},
    {"Raise Prices", TQueryType::Update,
     "PARAMETERS [Percent Increase] IEEEDouble;\nUPDATE Products SET Products.UnitPrice = "
     "[UnitPrice]*(1+[Percent "
     "Increase]/100)\nWHERE (((Products.Discontinued)=False));"},
    {"Server Totals", TQueryType::PassThrough,
     "SELECT Country, COUNT(*) AS Customers\nFROM dbo.Customers\nGROUP BY Country"},
    {"Settings Lookup", TQueryType::Select,
     "SELECT AppSettings.SettingName, AppSettings.SettingValue\nFROM AppSettings;"},
    {"Top 10 Products", TQueryType::Select,
     "SELECT TOP 10 Products.ProductName, Products.UnitPrice\nFROM Products\nORDER BY Products.UnitPrice "
     "DESC;"},
    {"~sq_rCustomer List", TQueryType::Select,
     "SELECT Customers.*\nFROM Customers\nORDER BY Customers.CompanyName;"},
};

struct FormatCase
{
    const char* label;
    jet::Format format;
    const char* file;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.label;
}

const TCatalogueColumn* columnOf(const TCatalogueObject* o, const QString& name)
{
    if (!o)
        return nullptr;
    for (const TCatalogueColumn& c : o->columns) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

class SampleFile : public ::testing::TestWithParam<FormatCase>
{
protected:
    // The sample, in ACE with a multi-value field whose lookup Access keeps on its values' table.
    std::shared_ptr<const TCatalogue> read()
    {
        jet::Database db = jet::sampleDatabase(GetParam().format);
        if (GetParam().format == jet::Format::Ace12) {
            jet::Column tags = jet::makeColumn(QStringLiteral("Tags"), jet::ColumnType::Complex);
            tags.multiValue = jet::ColumnType::Text;
            jet::Lookup values;
            values.rowSourceType = QStringLiteral("Value List");
            values.rowSource = QStringLiteral("\"Wholesale\";\"Retail\";\"Online\"");
            tags.lookup = values;
            db.tables[0].columns.append(tags);
        }
        const QString path = m_dir.filePath(QString::fromLatin1(GetParam().file));
        jet::writeFile(path, db);
        return structureOf(path);
    }
    QTemporaryDir m_dir;
};

TEST_P(SampleFile, HoldsEveryQueryAfterTheTablesAsAccessShowsIt)
{
    const std::shared_ptr<const TCatalogue> model = read();
    ASSERT_TRUE(model);
    QStringList queries;
    bool tablesDone = false;
    for (const TCatalogueObject& o : model->objects) {
        if (o.kind == TObjectKind::Query) {
            queries << o.name;
            tablesDone = true;
        } else {
            EXPECT_FALSE(tablesDone) << "a table after the queries: " << o.name.toStdString();
        }
    }
    QStringList expected;
    for (const QueryExpectation& e : kSampleQueries)
        expected << QString::fromUtf8(e.name);
    EXPECT_EQ(queries, expected);
    for (const QueryExpectation& e : kSampleQueries) {
        const TCatalogueObject* q = model->find(QString::fromUtf8(e.name), true);
        ASSERT_NE(q, nullptr) << e.name;
        SCOPED_TRACE(e.name);
        EXPECT_EQ(q->kind, TObjectKind::Query);
        EXPECT_NE(q->engineId, 0);
        ASSERT_TRUE(q->queryType);
        EXPECT_EQ(*q->queryType, e.type);
        EXPECT_EQ(q->definition, QString::fromUtf8(e.sql));
        const bool accessOwn = q->name.startsWith(u'~');
        EXPECT_EQ(q->systemObject, accessOwn);
        EXPECT_EQ(q->hidden, accessOwn || q->name == QLatin1String("Settings Lookup"));
    }
    const TCatalogueObject* period = model->find(QStringLiteral("Orders in Period"), true);
    ASSERT_NE(period, nullptr);
    EXPECT_EQ(period->description, QStringLiteral("Orders placed between two dates the user is asked for"));
    EXPECT_EQ(model->find(QStringLiteral("Add Customer Countries"), true)->description,
              QStringLiteral("Adds the customers' countries missing from the list (Größe: ünïcödé)"));
    EXPECT_TRUE(model->find(QStringLiteral("All Countries"), true)->description.isEmpty());
    ASSERT_EQ(period->parameters.size(), 2);
    EXPECT_EQ(period->parameters[0].name, QStringLiteral("[Start Date]"));
    EXPECT_EQ(period->parameters[0].typeName, QStringLiteral("DateTime"));
    EXPECT_EQ(period->parameters[1].name, QStringLiteral("[End Date]"));
}

TEST_P(SampleFile, HoldsTheFieldAndTablePropertiesOfTheDesignView)
{
    const std::shared_ptr<const TCatalogue> model = read();
    ASSERT_TRUE(model);
    const TCatalogueObject* orders = model->find(QStringLiteral("Orders"));
    ASSERT_NE(orders, nullptr);
    QStringList checks;
    for (const TCatalogueCheck& c : orders->checks)
        checks << QStringLiteral("%1|%2|%3|%4").arg(c.name, c.column, c.definition, c.text);
    EXPECT_EQ(checks, (QStringList{
                          "||[ShippedDate] Is Null Or [ShippedDate]>=[OrderDate]|An order ships after it was "
                          "placed.",
                          "|OrderDate|>=#1/1/2000#|Orders start in 2000.",
                          "|Freight|>=0|Freight cannot be negative."}));
    const TCatalogueColumn* date = columnOf(orders, QStringLiteral("OrderDate"));
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->properties->caption, QStringLiteral("Order Date"));
    EXPECT_EQ(date->properties->format, QStringLiteral("Short Date"));
    EXPECT_FALSE(date->properties->decimalPlaces);
    const TCatalogueColumn* freight = columnOf(orders, QStringLiteral("Freight"));
    ASSERT_NE(freight, nullptr);
    EXPECT_EQ(freight->properties->decimalPlaces, 2);
    const TCatalogueColumn* customer = columnOf(orders, QStringLiteral("Customer_ID"));
    ASSERT_NE(customer, nullptr);
    ASSERT_TRUE(customer->properties->lookup);
    EXPECT_EQ(customer->properties->lookup->displayControl, QStringLiteral("comboBox"));
    EXPECT_EQ(customer->properties->lookup->rowSourceType, QStringLiteral("Table/Query"));
    EXPECT_EQ(customer->properties->lookup->rowSource,
              QStringLiteral("SELECT Customers.Customer_ID, Customers.CompanyName FROM Customers ORDER BY "
                             "Customers.CompanyName;"));
    EXPECT_EQ(customer->properties->lookup->boundColumn, 1);
    EXPECT_EQ(customer->properties->lookup->columnCount, 2);
    EXPECT_TRUE(customer->properties->lookup->limitToList);

    const TCatalogueObject* customers = model->find(QStringLiteral("Customers"));
    const TCatalogueColumn* postal = columnOf(customers, QStringLiteral("PostalCode"));
    ASSERT_NE(postal, nullptr);
    EXPECT_EQ(postal->properties->inputMask, QStringLiteral("00000;;_"));
    const TCatalogueColumn* notes = columnOf(customers, QStringLiteral("Notes"));
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->properties->allowZeroLength);
    EXPECT_FALSE(notes->properties->lookup);

    const TCatalogueObject* products = model->find(QStringLiteral("Products"));
    const TCatalogueColumn* price = columnOf(products, QStringLiteral("UnitPrice"));
    ASSERT_NE(price, nullptr);
    EXPECT_EQ(price->properties->format, QStringLiteral("Currency"));
    EXPECT_FALSE(price->properties->decimalPlaces); // stored as 255: Auto
    const TCatalogueColumn* discontinued = columnOf(products, QStringLiteral("Discontinued"));
    ASSERT_NE(discontinued, nullptr);
    ASSERT_TRUE(discontinued->properties->lookup);
    EXPECT_EQ(discontinued->properties->lookup->displayControl, QStringLiteral("checkBox"));

    // A hidden table is a user table.
    const TCatalogueObject* settings = model->find(QStringLiteral("AppSettings"));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->kind, TObjectKind::Table);
    EXPECT_TRUE(settings->hidden);

    if (GetParam().format == jet::Format::Ace12) {
        const TCatalogueColumn* tags = columnOf(customers, QStringLiteral("Tags"));
        ASSERT_NE(tags, nullptr);
        ASSERT_TRUE(tags->properties->lookup);
        EXPECT_EQ(tags->properties->lookup->rowSourceType, QStringLiteral("Value List"));
        EXPECT_EQ(tags->properties->lookup->rowSource, QStringLiteral("\"Wholesale\";\"Retail\";\"Online\""));
        EXPECT_EQ(tags->properties->lookup->displayControl, QStringLiteral("comboBox"));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SampleFile,
                         ::testing::Values(FormatCase{"Jet3", jet::Format::Jet3, "sample3.mdb"},
                                           FormatCase{"Jet4", jet::Format::Jet4, "sample.mdb"},
                                           FormatCase{"Ace", jet::Format::Ace12, "sample.accdb"}),
                         [](const ::testing::TestParamInfo<FormatCase>& p) {
                             return std::string(p.param.label);
                         });

// A query whose rows do not add up is listed with its type but without SQL; the rest reads.
TEST(DamagedQueryRows, LeaveTheQueryWithoutADefinition)
{
    QTemporaryDir dir;
    jet::Database db = jet::sampleDatabase();
    jet::Query broken{QStringLiteral("Broken Join")};
    broken.allFields = true;
    broken.tables = {{QStringLiteral("Orders")}};
    broken.joins = {jet::QueryJoin{
        QStringLiteral("Orders"), QStringLiteral("Vanished"), 1, {QStringLiteral("Orders.X = Vanished.X")}}};
    db.queries.append(broken);
    const QString path = dir.filePath(QStringLiteral("broken.mdb"));
    jet::writeFile(path, db);
    const std::shared_ptr<const TCatalogue> model = structureOf(path);
    ASSERT_TRUE(model);
    const TCatalogueObject* q = model->find(QStringLiteral("Broken Join"), true);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->queryType, TQueryType::Select);
    EXPECT_TRUE(q->definition.isEmpty());
    const TCatalogueObject* fine = model->find(QStringLiteral("Top 10 Products"), true);
    ASSERT_NE(fine, nullptr);
    EXPECT_FALSE(fine->definition.isEmpty());
}

// A linked table's keys and indexes are its back-end table's.
TEST(LinkedTableStructure, ComesFromTheBackEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString back = dir.filePath(QStringLiteral("back.mdb"));
    jet::writeFile(back, jet::richDatabase());
    jet::Database front;
    front.otherObjects = {jet::jetLink(QStringLiteral("Kunden"), QStringLiteral("C:\\data\\back.mdb"),
                                       QStringLiteral("Customers")),
                          jet::odbcLink(QStringLiteral("Remote"),
                                        QStringLiteral("ODBC;DSN=Shop;UID=sa;PWD=secret"),
                                        QStringLiteral("dbo.Orders"))};
    const QString frontPath = dir.filePath(QStringLiteral("front.mdb"));
    jet::writeFile(frontPath, front);

    const std::shared_ptr<const TCatalogue> model = structureOf(frontPath);
    ASSERT_TRUE(model);
    const TCatalogueObject* kunden = model->find(QStringLiteral("Kunden"));
    ASSERT_NE(kunden, nullptr);
    EXPECT_EQ(kunden->kind, TObjectKind::LinkedTable);
    ASSERT_TRUE(kunden->link);
    EXPECT_EQ(kunden->link->file, QStringLiteral("C:\\data\\back.mdb"));
    EXPECT_EQ(kunden->link->table, QStringLiteral("Customers"));
    EXPECT_EQ(keyLines(*kunden),
              (QStringList{"pk PrimaryKey(CustomerID)", "index CityCountry(CountryCode,City)",
                           "unique CompanyName(CompanyName)"}));
    ASSERT_FALSE(kunden->columns.isEmpty());
    EXPECT_EQ(kunden->columns.at(0).description, QStringLiteral("AutoNumber key"));

    const TCatalogueObject* remote = model->find(QStringLiteral("Remote"));
    ASSERT_NE(remote, nullptr);
    ASSERT_TRUE(remote->link);
    EXPECT_EQ(remote->link->odbc, QStringLiteral("ODBC;DSN=Shop;UID=sa"));
    EXPECT_TRUE(remote->columns.isEmpty());
}

} // namespace
