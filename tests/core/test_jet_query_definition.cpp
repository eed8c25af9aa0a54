// An Access saved query's SQL as Access's SQL view shows it, rebuilt from MSysQueries rows given
// as values: every query type, every join shape, aliases, parameters, the select predicates, the
// stored texts, and rows that do not add up.
#include "JetQueryDefinition.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

namespace A = JetQueryAttribute;

JetQueryRow row(int attribute, const QString& expression = {}, const QString& name1 = {},
                const QString& name2 = {}, int flag = 0)
{
    return JetQueryRow{attribute, flag, name1, name2, expression};
}
JetQueryRow typeRow(int code, const QString& target = {}, const QString& text = {})
{
    return row(A::Type, text, target, {}, code);
}
JetQueryRow column(const QString& expression, const QString& alias = {}, int flag = 0,
                   const QString& target = {})
{
    return row(A::Column, expression, alias, target, flag);
}
JetQueryRow table(const QString& name, const QString& alias = {})
{
    return row(A::Table, {}, name, alias);
}
JetQueryRow join(const QString& left, const QString& right, int type, const QString& on)
{
    return row(A::Join, on, left, right, type);
}
JetQueryRow options(int flag, const QString& top = {})
{
    return row(A::Options, {}, top, {}, flag);
}
JetQueryRow where(const QString& e)
{
    return row(A::Where, e);
}
JetQueryRow orderBy(const QString& e, bool descending = false)
{
    return row(A::OrderBy, e, descending ? QStringLiteral("D") : QString());
}
JetQueryRow parameter(const QString& name, int daoType)
{
    return row(A::Parameter, {}, name, {}, daoType);
}

struct QueryCase
{
    const char* label;
    QList<JetQueryRow> rows;
    std::int32_t objectFlags;
    TQueryType type;
    const char* sql;
};

void PrintTo(const QueryCase& c, std::ostream* os)
{
    *os << c.label;
}

class JetQuerySql : public ::testing::TestWithParam<QueryCase>
{
};

TEST_P(JetQuerySql, IsWhatTheSqlViewShows)
{
    const QueryCase& c = GetParam();
    // Every query starts and ends with the same two rows.
    QList<JetQueryRow> rows{row(A::Start)};
    rows += c.rows;
    rows.append(row(A::End));
    const JetQueryDefinition q = JetQueryFromRows(rows, c.objectFlags);
    EXPECT_EQ(q.type, c.type);
    EXPECT_EQ(q.sql, QString::fromUtf8(c.sql));
}

const QString kOrderJoin = QStringLiteral("Customers.CustomerID = Orders.CustomerID");
const QString kDetailJoin = QStringLiteral("Orders.OrderID = [Order Details].OrderID");

INSTANTIATE_TEST_SUITE_P(
    Selects, JetQuerySql,
    ::testing::Values(
        QueryCase{"OneTable",
                  {column(QStringLiteral("Customers.CompanyName")), column(QStringLiteral("Customers.City")),
                   table(QStringLiteral("Customers"))},
                  0,
                  TQueryType::Select,
                  "SELECT Customers.CompanyName, Customers.City\nFROM Customers;"},
        QueryCase{
            "AliasesAndClauses",
            {column(QStringLiteral("Customers.Country")),
             column(QStringLiteral("Count(Customers.CustomerID)"), QStringLiteral("Number of Customers")),
             column(QStringLiteral("Sum([Size])"), QStringLiteral("SumOfSize")),
             table(QStringLiteral("Customers")), where(QStringLiteral("(((Customers.Active)=True))")),
             row(A::GroupBy, QStringLiteral("Customers.Country")),
             row(A::Having, QStringLiteral("(((Count(Customers.CustomerID))>5))")),
             orderBy(QStringLiteral("Count(Customers.CustomerID)"), true),
             orderBy(QStringLiteral("Customers.Country"))},
            0,
            TQueryType::Select,
            "SELECT Customers.Country, Count(Customers.CustomerID) AS [Number of Customers], Sum([Size]) AS "
            "SumOfSize\nFROM Customers\nWHERE (((Customers.Active)=True))\nGROUP BY Customers.Country\n"
            "HAVING (((Count(Customers.CustomerID))>5))\nORDER BY Count(Customers.CustomerID) DESC, "
            "Customers.Country;"},
        QueryCase{"Distinct",
                  {options(JetQueryOption::Distinct), column(QStringLiteral("Orders.ShipCountry")),
                   table(QStringLiteral("Orders"))},
                  0,
                  TQueryType::Select,
                  "SELECT DISTINCT Orders.ShipCountry\nFROM Orders;"},
        QueryCase{"DistinctRowAndAllFields",
                  {options(JetQueryOption::DistinctRow | JetQueryOption::AllFields),
                   column(QStringLiteral("Orders.OrderID")), table(QStringLiteral("Orders"))},
                  0,
                  TQueryType::Select,
                  "SELECT DISTINCTROW Orders.OrderID, *\nFROM Orders;"},
        QueryCase{"Top",
                  {options(JetQueryOption::Top, QStringLiteral("10")),
                   column(QStringLiteral("Orders.Freight")), table(QStringLiteral("Orders")),
                   orderBy(QStringLiteral("Orders.Freight"), true)},
                  0,
                  TQueryType::Select,
                  "SELECT TOP 10 Orders.Freight\nFROM Orders\nORDER BY Orders.Freight DESC;"},
        QueryCase{"DistinctTopPercent",
                  {options(JetQueryOption::Distinct | JetQueryOption::Top | JetQueryOption::Percent,
                           QStringLiteral("25")),
                   column(QStringLiteral("Orders.Freight")), table(QStringLiteral("Orders"))},
                  0,
                  TQueryType::Select,
                  "SELECT DISTINCT TOP 25 PERCENT Orders.Freight\nFROM Orders;"},
        QueryCase{"OwnerAccess",
                  {options(JetQueryOption::OwnerAccess | JetQueryOption::AllFields),
                   table(QStringLiteral("Orders"))},
                  0,
                  TQueryType::Select,
                  "SELECT *\nFROM Orders\nWITH OWNERACCESS OPTION;"},
        QueryCase{"TypeRowOfASelect",
                  {typeRow(JetQueryTypeCode::Select), column(QStringLiteral("Products.ProductName")),
                   table(QStringLiteral("Products"))},
                  0,
                  TQueryType::Select,
                  "SELECT Products.ProductName\nFROM Products;"},
        QueryCase{
            "Parameters",
            {parameter(QStringLiteral("Start Date"), 8), parameter(QStringLiteral("[Which Country]"), 10),
             parameter(QStringLiteral("Minimum"), 5), options(JetQueryOption::AllFields),
             table(QStringLiteral("Orders")),
             where(QStringLiteral("(((Orders.OrderDate)>=[Start Date]) AND ((Orders.ShipCountry)=[Which "
                                  "Country]) AND ((Orders.Freight)>=[Minimum]))"))},
            0,
            TQueryType::Select,
            "PARAMETERS [Start Date] DateTime, [Which Country] Text ( 255 ), Minimum Currency;\nSELECT "
            "*\nFROM "
            "Orders\nWHERE (((Orders.OrderDate)>=[Start Date]) AND ((Orders.ShipCountry)=[Which Country]) "
            "AND "
            "((Orders.Freight)>=[Minimum]));"},
        QueryCase{"QuotedNames",
                  {column(QStringLiteral("[Order Details].Quantity")), column(QStringLiteral("[2nd].X")),
                   table(QStringLiteral("Order Details")), table(QStringLiteral("2nd")),
                   table(QStringLiteral("Größe"), QStringLiteral("G"))},
                  0,
                  TQueryType::Select,
                  "SELECT [Order Details].Quantity, [2nd].X\nFROM [Order Details], [2nd], Größe AS G;"},
        QueryCase{"FromAnotherDatabase",
                  {options(JetQueryOption::AllFields), table(QStringLiteral("Archive")),
                   row(A::RemoteDb, QString(), QStringLiteral("C:\\data\\old.mdb"))},
                  0,
                  TQueryType::Select,
                  "SELECT *\nFROM Archive IN 'C:\\data\\old.mdb';"}),
    [](const ::testing::TestParamInfo<QueryCase>& p) { return std::string(p.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Joins, JetQuerySql,
    ::testing::Values(
        QueryCase{"Inner",
                  {column(QStringLiteral("Customers.CompanyName")),
                   column(QStringLiteral("Orders.OrderDate")), table(QStringLiteral("Customers")),
                   table(QStringLiteral("Orders")),
                   join(QStringLiteral("Customers"), QStringLiteral("Orders"), 1, kOrderJoin)},
                  0,
                  TQueryType::Select,
                  "SELECT Customers.CompanyName, Orders.OrderDate\nFROM Customers INNER JOIN Orders ON "
                  "Customers.CustomerID = Orders.CustomerID;"},
        QueryCase{
            "Left",
            {options(JetQueryOption::AllFields), table(QStringLiteral("Customers")),
             table(QStringLiteral("Orders")),
             join(QStringLiteral("Customers"), QStringLiteral("Orders"), 2, kOrderJoin),
             where(QStringLiteral("(((Orders.OrderID) Is Null))"))},
            0,
            TQueryType::Select,
            "SELECT *\nFROM Customers LEFT JOIN Orders ON Customers.CustomerID = Orders.CustomerID\nWHERE "
            "(((Orders.OrderID) Is Null));"},
        QueryCase{"Right",
                  {options(JetQueryOption::AllFields), table(QStringLiteral("Customers")),
                   table(QStringLiteral("Orders")),
                   join(QStringLiteral("Customers"), QStringLiteral("Orders"), 3, kOrderJoin)},
                  0,
                  TQueryType::Select,
                  "SELECT *\nFROM Customers RIGHT JOIN Orders ON Customers.CustomerID = Orders.CustomerID;"},
        QueryCase{
            "NestedInBrackets",
            {column(QStringLiteral("Customers.CompanyName")),
             column(QStringLiteral("[Order Details].Quantity")), table(QStringLiteral("Customers")),
             table(QStringLiteral("Orders")), table(QStringLiteral("Order Details")),
             join(QStringLiteral("Customers"), QStringLiteral("Orders"), 1, kOrderJoin),
             join(QStringLiteral("Orders"), QStringLiteral("Order Details"), 2, kDetailJoin)},
            0,
            TQueryType::Select,
            "SELECT Customers.CompanyName, [Order Details].Quantity\nFROM (Customers INNER JOIN Orders ON "
            "Customers.CustomerID = Orders.CustomerID) LEFT JOIN [Order Details] ON Orders.OrderID = [Order "
            "Details].OrderID;"},
        QueryCase{
            "TwoLevelsDeep",
            {options(JetQueryOption::AllFields), table(QStringLiteral("Customers")),
             table(QStringLiteral("Orders")), table(QStringLiteral("Order Details")),
             table(QStringLiteral("Products")),
             join(QStringLiteral("Customers"), QStringLiteral("Orders"), 1, kOrderJoin),
             join(QStringLiteral("Orders"), QStringLiteral("Order Details"), 1, kDetailJoin),
             join(QStringLiteral("Products"), QStringLiteral("Order Details"), 1,
                  QStringLiteral("Products.ProductID = [Order Details].ProductID"))},
            0,
            TQueryType::Select,
            "SELECT *\nFROM Products INNER JOIN ((Customers INNER JOIN Orders ON Customers.CustomerID = "
            "Orders.CustomerID) INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) ON "
            "Products.ProductID = [Order Details].ProductID;"},
        QueryCase{"TwoConditions",
                  {options(JetQueryOption::AllFields), table(QStringLiteral("Order Details")),
                   table(QStringLiteral("Returns")),
                   // Access keeps a join's later conditions first.
                   join(QStringLiteral("Order Details"), QStringLiteral("Returns"), 1,
                        QStringLiteral("[Order Details].ProductID = Returns.ProductID")),
                   join(QStringLiteral("Order Details"), QStringLiteral("Returns"), 1,
                        QStringLiteral("[Order Details].OrderID = Returns.OrderID"))},
                  0,
                  TQueryType::Select,
                  "SELECT *\nFROM [Order Details] INNER JOIN Returns ON ([Order Details].OrderID = "
                  "Returns.OrderID) "
                  "AND ([Order Details].ProductID = Returns.ProductID);"},
        QueryCase{
            "SelfJoinWithAliases",
            {column(QStringLiteral("E.LastName"), QStringLiteral("Employee")),
             column(QStringLiteral("M.LastName"), QStringLiteral("Manager")),
             table(QStringLiteral("Employees"), QStringLiteral("E")),
             table(QStringLiteral("Employees"), QStringLiteral("M")),
             join(QStringLiteral("E"), QStringLiteral("M"), 2, QStringLiteral("E.ReportsTo = M.EmployeeID"))},
            0,
            TQueryType::Select,
            "SELECT E.LastName AS Employee, M.LastName AS Manager\nFROM Employees AS E LEFT JOIN Employees "
            "AS M "
            "ON E.ReportsTo = M.EmployeeID;"},
        QueryCase{"CrossProductBesideAJoin",
                  {options(JetQueryOption::AllFields), table(QStringLiteral("Countries")),
                   table(QStringLiteral("Customers")), table(QStringLiteral("Orders")),
                   join(QStringLiteral("Customers"), QStringLiteral("Orders"), 1, kOrderJoin)},
                  0,
                  TQueryType::Select,
                  "SELECT *\nFROM Countries, Customers INNER JOIN Orders ON Customers.CustomerID = "
                  "Orders.CustomerID;"}),
    [](const ::testing::TestParamInfo<QueryCase>& p) { return std::string(p.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Types, JetQuerySql,
    ::testing::Values(
        QueryCase{
            "Crosstab",
            {typeRow(JetQueryTypeCode::Crosstab),
             column(QStringLiteral("Customers.Country"), {}, JetQueryColumnFlag::RowHeading),
             column(QStringLiteral("Year([OrderDate])"), {}, JetQueryColumnFlag::Pivot),
             column(QStringLiteral("Sum(Orders.Freight)"), QStringLiteral("SumOfFreight")),
             table(QStringLiteral("Customers")), table(QStringLiteral("Orders")),
             join(QStringLiteral("Customers"), QStringLiteral("Orders"), 1, kOrderJoin),
             row(A::GroupBy, QStringLiteral("Customers.Country"), {}, {}, JetQueryColumnFlag::RowHeading),
             row(A::GroupBy, QStringLiteral("Year([OrderDate])")),
             orderBy(QStringLiteral("Customers.Country"))},
            16,
            TQueryType::Crosstab,
            "TRANSFORM Sum(Orders.Freight) AS SumOfFreight\nSELECT Customers.Country\nFROM Customers INNER "
            "JOIN Orders ON Customers.CustomerID = Orders.CustomerID\nGROUP BY Customers.Country\nORDER BY "
            "Customers.Country\nPIVOT Year([OrderDate]);"},
        QueryCase{"MakeTable",
                  {column(QStringLiteral("Orders.OrderID")), column(QStringLiteral("Orders.Freight")),
                   typeRow(JetQueryTypeCode::MakeTable, QStringLiteral("Orders Archive")),
                   table(QStringLiteral("Orders")), where(QStringLiteral("(((Orders.Shipped)=True))"))},
                  80,
                  TQueryType::MakeTable,
                  "SELECT Orders.OrderID, Orders.Freight INTO [Orders Archive]\nFROM Orders\nWHERE "
                  "(((Orders.Shipped)=True));"},
        QueryCase{
            "AppendSelect",
            {typeRow(JetQueryTypeCode::Append, QStringLiteral("Customers Archive")),
             column(QStringLiteral("Customers.CompanyName"), {}, 0, QStringLiteral("CompanyName")),
             column(QStringLiteral("Customers.City"), {}, 0, QStringLiteral("Home Town")),
             table(QStringLiteral("Customers"))},
            64,
            TQueryType::Append,
            "INSERT INTO [Customers Archive] ( CompanyName, [Home Town] )\nSELECT Customers.CompanyName, "
            "Customers.City\nFROM Customers;"},
        QueryCase{"AppendValues",
                  {typeRow(JetQueryTypeCode::Append, QStringLiteral("Countries")),
                   column(QStringLiteral("\"NO\""), {}, JetQueryColumnFlag::AppendValue - 0x10000,
                          QStringLiteral("CountryCode")),
                   column(QStringLiteral("\"Norway\""), {}, JetQueryColumnFlag::AppendValue - 0x10000,
                          QStringLiteral("CountryName"))},
                  64,
                  TQueryType::Append,
                  "INSERT INTO Countries ( CountryCode, CountryName )\nVALUES (\"NO\", \"Norway\");"},
        QueryCase{"Update",
                  {typeRow(JetQueryTypeCode::Update), table(QStringLiteral("Products")),
                   table(QStringLiteral("Order Details")),
                   join(QStringLiteral("Products"), QStringLiteral("Order Details"), 1,
                        QStringLiteral("Products.ProductID = [Order Details].ProductID")),
                   column(QStringLiteral("[Products].[UnitPrice]"), {}, 0,
                          QStringLiteral("Order Details.UnitPrice")),
                   column(QStringLiteral("0"), {}, 0, QStringLiteral("Order Details.Discount")),
                   where(QStringLiteral("(((Products.Discontinued)=False))"))},
                  48,
                  TQueryType::Update,
                  "UPDATE Products INNER JOIN [Order Details] ON Products.ProductID = [Order "
                  "Details].ProductID SET "
                  "[Order Details].UnitPrice = [Products].[UnitPrice], [Order Details].Discount = 0\nWHERE "
                  "(((Products.Discontinued)=False));"},
        QueryCase{
            "Delete",
            {typeRow(JetQueryTypeCode::Delete), column(QStringLiteral("Orders.*")),
             column(QStringLiteral("Orders.ShippedDate")), table(QStringLiteral("Orders")),
             where(QStringLiteral("(((Orders.ShippedDate)<#1/1/2000#))"))},
            32,
            TQueryType::Delete,
            "DELETE Orders.*, Orders.ShippedDate\nFROM Orders\nWHERE (((Orders.ShippedDate)<#1/1/2000#));"},
        QueryCase{"DeleteDistinctRow",
                  {typeRow(JetQueryTypeCode::Delete), options(JetQueryOption::DistinctRow),
                   column(QStringLiteral("Orders.*")), table(QStringLiteral("Orders"))},
                  32,
                  TQueryType::Delete,
                  "DELETE DISTINCTROW Orders.*\nFROM Orders;"},
        QueryCase{"Union",
                  {typeRow(JetQueryTypeCode::Union), options(JetQueryOption::Distinct),
                   row(A::Table, QStringLiteral("SELECT City FROM Customers "), {},
                       QString::fromLatin1(kJetUnionPart1)),
                   row(A::Table, QStringLiteral("SELECT ShipCity FROM Orders"), {},
                       QString::fromLatin1(kJetUnionPart2))},
                  128,
                  TQueryType::Union,
                  "SELECT City FROM Customers\nUNION SELECT ShipCity FROM Orders;"},
        QueryCase{
            "UnionAllOrdered",
            {typeRow(JetQueryTypeCode::Union), options(0),
             row(A::Table,
                 QStringLiteral("SELECT City FROM Customers\r\nWHERE Active\r\nUNION\r\nSELECT City "
                                "FROM Suppliers"),
                 {}, QString::fromLatin1(kJetUnionPart1)),
             row(A::Table, QStringLiteral("SELECT ShipCity FROM Orders"), {},
                 QString::fromLatin1(kJetUnionPart2)),
             orderBy(QStringLiteral("City"))},
            128,
            TQueryType::Union,
            "SELECT City FROM Customers\nWHERE Active\nUNION\nSELECT City FROM Suppliers\nUNION ALL SELECT "
            "ShipCity FROM Orders\nORDER BY City;"},
        QueryCase{"PassThroughWithoutItsNul",
                  {typeRow(JetQueryTypeCode::PassThrough, QStringLiteral("ODBC;DSN=Shop"),
                           QStringLiteral("EXEC dbo.Totals\r\n  @year = 2024;") + QChar(0))},
                  112,
                  TQueryType::PassThrough,
                  "EXEC dbo.Totals\n  @year = 2024;"},
        QueryCase{"DataDefinition",
                  {typeRow(JetQueryTypeCode::DataDefinition, {},
                           QStringLiteral("CREATE TABLE Notes (Id COUNTER, Body MEMO);") + QChar(0))},
                  96,
                  TQueryType::DataDefinition,
                  "CREATE TABLE Notes (Id COUNTER, Body MEMO);"},
        // Access leaves the type row out of a select query; the catalogue's flags still say it.
        QueryCase{"TypeFromTheCatalogue",
                  {column(QStringLiteral("Orders.*")), table(QStringLiteral("Orders"))},
                  32,
                  TQueryType::Delete,
                  "DELETE Orders.*\nFROM Orders;"}),
    [](const ::testing::TestParamInfo<QueryCase>& p) { return std::string(p.param.label); });

// Rows a damaged file can hold: the query keeps its type, but no SQL is made up.
INSTANTIATE_TEST_SUITE_P(
    Damaged, JetQuerySql,
    ::testing::Values(
        QueryCase{"JoinNamingNoTable",
                  {options(JetQueryOption::AllFields), table(QStringLiteral("Orders")),
                   join(QStringLiteral("Orders"), QStringLiteral("Gone"), 1, QStringLiteral("x"))},
                  0,
                  TQueryType::Select,
                  ""},
        QueryCase{"UnknownJoinType",
                  {options(JetQueryOption::AllFields), table(QStringLiteral("Customers")),
                   table(QStringLiteral("Orders")),
                   join(QStringLiteral("Customers"), QStringLiteral("Orders"), 7, kOrderJoin)},
                  0,
                  TQueryType::Select,
                  ""},
        QueryCase{"ConditionsOfTwoJoinTypes",
                  {options(JetQueryOption::AllFields), table(QStringLiteral("Customers")),
                   table(QStringLiteral("Orders")),
                   join(QStringLiteral("Customers"), QStringLiteral("Orders"), 1, kOrderJoin),
                   join(QStringLiteral("Customers"), QStringLiteral("Orders"), 2, kOrderJoin)},
                  0,
                  TQueryType::Select,
                  ""},
        QueryCase{"UnionWithoutItsSecondPart",
                  {typeRow(JetQueryTypeCode::Union),
                   row(A::Table, QStringLiteral("SELECT 1"), {}, QString::fromLatin1(kJetUnionPart1))},
                  128,
                  TQueryType::Union,
                  ""},
        QueryCase{
            "UnknownTypeCode", {typeRow(42), table(QStringLiteral("Orders"))}, 0, TQueryType::Select, ""},
        QueryCase{"PassThroughWithoutText",
                  {typeRow(JetQueryTypeCode::PassThrough)},
                  112,
                  TQueryType::PassThrough,
                  ""}),
    [](const ::testing::TestParamInfo<QueryCase>& p) { return std::string(p.param.label); });

TEST(JetQueryParameters, NameAndTypeAsThePARAMETERSClauseWritesThem)
{
    const JetQueryDefinition q =
        JetQueryFromRows({parameter(QStringLiteral("Start Date"), 8), parameter(QStringLiteral("Name"), 10),
                          parameter(QStringLiteral("Flag"), 1), parameter(QStringLiteral("Anything"), 99),
                          options(JetQueryOption::AllFields), table(QStringLiteral("Orders"))},
                         0);
    ASSERT_EQ(q.parameters.size(), 4);
    EXPECT_EQ(q.parameters[0].name, QStringLiteral("[Start Date]"));
    EXPECT_EQ(q.parameters[0].typeName, QStringLiteral("DateTime"));
    EXPECT_EQ(q.parameters[1].typeName, QStringLiteral("Text"));
    EXPECT_EQ(q.parameters[1].length, 255);
    EXPECT_EQ(q.parameters[2].typeName, QStringLiteral("Bit"));
    EXPECT_EQ(q.parameters[2].length, 0);
    EXPECT_EQ(q.parameters[3].typeName, QStringLiteral("Value"));
    EXPECT_TRUE(q.sql.startsWith(QStringLiteral(
        "PARAMETERS [Start Date] DateTime, Name Text ( 255 ), Flag Bit, Anything Value;\nSELECT *")));
}

} // namespace
