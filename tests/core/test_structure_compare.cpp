// The comparison of two structures on small models: what counts as one difference, what matches
// what without regard to case, and, across the engines, which types and spellings are the same.
#include "CatalogueSamples.h"
#include "StructureCompare.h"
#include "TypeMapping.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QList<const TCatalogueObject*> All(const TCatalogue& catalogue)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects)
        objects.append(&object);
    return objects;
}

// One line per difference: "change item object.name property baseline -> current".
QStringList Lines(const TCatalogue& baseline, const TCatalogue& current)
{
    QStringList lines;
    for (const TStructureDifference& d :
         CompareStructures(baseline, All(baseline), current, All(current)).differences) {
        QString line = ChangeKindName(d.change) + u' ' + DifferenceItemName(d.item) + u' ' +
                       (d.schema.isEmpty() ? QString() : d.schema + u'.') + d.object;
        if (!d.name.isEmpty())
            line += u'.' + d.name;
        if (d.change == TChangeKind::Changed)
            line += u' ' + d.property + u' ' + d.baseline + QStringLiteral(" -> ") + d.current;
        lines.append(line);
    }
    return lines;
}

TCatalogue Access(QList<TCatalogueObject> objects)
{
    TCatalogue c;
    c.provider = QStringLiteral("Access");
    c.objects = std::move(objects);
    return c;
}

TCatalogue SqlServer(QList<TCatalogueObject> objects)
{
    TCatalogue c;
    c.provider = QStringLiteral("SQLServer");
    c.objects = std::move(objects);
    return c;
}

TCatalogueObject Table(const QString& name, QList<TCatalogueColumn> columns, const QString& schema = {})
{
    TCatalogueObject o;
    o.name = name;
    o.schema = schema;
    o.columns = std::move(columns);
    return o;
}

TCatalogueColumn AccessColumn(const QString& name, const char* type, int code, int length)
{
    TCatalogueColumn c = ModelColumn(1, name, QString::fromLatin1(type), length);
    c.typeCode = code;
    return c;
}

TCatalogueColumn SqlColumn(const QString& name, const char* type, int length)
{
    return ModelColumn(1, name, QString::fromLatin1(type), length);
}

TEST(StructureCompare, TheSameStructureHasNoDifferences)
{
    for (const TCatalogue& sample : {SampleAccessCatalogue(), SampleSqlServerCatalogue()}) {
        const TStructureComparison result = CompareStructures(sample, All(sample), sample, All(sample));
        EXPECT_TRUE(result.differences.isEmpty());
        EXPECT_FALSE(result.typeMapping);
    }
}

TEST(StructureCompare, NamesMatchWithoutRegardToCaseAndColumnOrderIsNotCompared)
{
    TCatalogue before = SampleAccessCatalogue();
    TCatalogue after = before;
    after.objects[1].name = QStringLiteral("ORDERS");
    std::swap(after.objects[1].columns[0], after.objects[1].columns[3]);
    after.objects[1].columns[0].number = 1;
    after.objects[1].columns[3].number = 4;
    after.objects[1].columns[2].name = QStringLiteral("shipped");
    after.objects[1].indexes[0].name = QStringLiteral("SHIPPED");
    after.objects[1].foreignKeys[0].name = QStringLiteral("customersorders");
    EXPECT_EQ(Lines(before, after), QStringList());
}

TEST(StructureCompare, AnAddedOrRemovedTableIsOneDifferenceWithoutItsColumns)
{
    const TCatalogue before = SampleAccessCatalogue();
    TCatalogue after = before;
    after.objects.removeAt(0);
    after.objects.append(Table(QStringLiteral("Audit"), {SqlColumn(QStringLiteral("At"), "Date", 8)}));
    EXPECT_EQ(Lines(before, after),
              (QStringList{QStringLiteral("added table Audit"), QStringLiteral("removed table Customers")}));
}

// One change to the Orders table of the Access sample, and the one line it must give.
struct TEdit
{
    const char* label;
    void (*edit)(TCatalogueObject&);
    const char* line;
};

class StructureCompareEdits : public testing::TestWithParam<TEdit>
{
};

TEST_P(StructureCompareEdits, GiveOneDifferenceEach)
{
    const TCatalogue before = SampleAccessCatalogue();
    TCatalogue after = before;
    GetParam().edit(after.objects[1]);
    const QStringList expected =
        *GetParam().line ? QStringList{QString::fromUtf8(GetParam().line)} : QStringList();
    EXPECT_EQ(Lines(before, after), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Properties, StructureCompareEdits,
    testing::Values(
        TEdit{"ColumnAdded",
              [](TCatalogueObject& o) {
                  o.columns.append(ModelColumn(5, QStringLiteral("Freight"), QStringLiteral("Currency"), 8));
              },
              "added column Orders.Freight"},
        TEdit{"ColumnRemoved", [](TCatalogueObject& o) { o.columns.removeAt(2); },
              "removed column Orders.Shipped"},
        TEdit{"Type",
              [](TCatalogueObject& o) {
                  o.columns[0].typeName = QStringLiteral("Double");
                  o.columns[0].typeCode = 5;
                  o.columns[0].length = 8;
              },
              "changed column Orders.OrderID type Integer -> Double"},
        TEdit{"UnknownTypesByCode", [](TCatalogueObject& o) { o.columns[3].typeCode = 16; },
              "changed column Orders.Qty type unknown (17) -> unknown (16)"},
        TEdit{"TextLength", [](TCatalogueObject& o) { o.columns[1].length = 10; },
              "changed column Orders.CustomerID length 5 -> 10"},
        TEdit{"Nullable", [](TCatalogueObject& o) { o.columns[1].nullable = false; },
              "changed column Orders.CustomerID nullable true -> false"},
        TEdit{"DefaultAdded",
              [](TCatalogueObject& o) { o.columns[1].defaultValue = QStringLiteral("\"X\""); },
              "changed column Orders.CustomerID default  -> \"X\""},
        TEdit{"AutoIncrement", [](TCatalogueObject& o) { o.columns[0].autoIncrement = false; },
              "changed column Orders.OrderID autoIncrement true -> false"},
        TEdit{"ColumnDescription",
              [](TCatalogueObject& o) { o.columns[2].description = QStringLiteral("sent"); },
              "changed column Orders.Shipped description  -> sent"},
        TEdit{"Kind", [](TCatalogueObject& o) { o.kind = TObjectKind::LinkedTable; },
              "changed table Orders kind table -> linked table"},
        TEdit{"TableDescription", [](TCatalogueObject& o) { o.description = QStringLiteral("All orders"); },
              "changed table Orders description  -> All orders"},
        TEdit{"PrimaryKeyColumns",
              [](TCatalogueObject& o) { o.primaryKey->columns.append(QStringLiteral("CustomerID")); },
              "changed primaryKey Orders columns OrderID -> OrderID, CustomerID"},
        TEdit{"PrimaryKeyRenamedOnly",
              [](TCatalogueObject& o) { o.primaryKey->name = QStringLiteral("PK_Orders"); }, ""},
        TEdit{"PrimaryKeyRemoved", [](TCatalogueObject& o) { o.primaryKey.reset(); },
              "removed primaryKey Orders"},
        TEdit{"IndexUnique", [](TCatalogueObject& o) { o.indexes[0].unique = true; },
              "changed index Orders.Shipped unique false -> true"},
        TEdit{
            "IndexColumns", [](TCatalogueObject& o) { o.indexes[1].columns[1].descending = true; },
            "changed index Orders.CustomerID columns CustomerID, OrderID -> CustomerID, OrderID descending"},
        TEdit{"IndexRemoved", [](TCatalogueObject& o) { o.indexes.removeAt(0); },
              "removed index Orders.Shipped"},
        TEdit{"KeyTarget",
              [](TCatalogueObject& o) { o.foreignKeys[0].referencedTable = QStringLiteral("Clients"); },
              "changed foreignKey Orders.CustomersOrders referencedTable Customers -> Clients"},
        TEdit{"KeyEnforced", [](TCatalogueObject& o) { o.foreignKeys[0].enforced = false; },
              "changed foreignKey Orders.CustomersOrders enforced true -> false"},
        TEdit{"KeyOnDelete",
              [](TCatalogueObject& o) { o.foreignKeys[0].onDelete = TReferentialAction::Cascade; },
              "changed foreignKey Orders.CustomersOrders onDelete setNull -> cascade"},
        TEdit{"KeyAdded",
              [](TCatalogueObject& o) {
                  TCatalogueForeignKey k = o.foreignKeys[0];
                  k.name = QStringLiteral("Second");
                  o.foreignKeys.append(k);
              },
              "added foreignKey Orders.Second"}),
    [](const testing::TestParamInfo<TEdit>& p) { return std::string(p.param.label); });

TEST(StructureCompare, DifferencesComeByObjectItemAndName)
{
    const TCatalogue before = SampleAccessCatalogue();
    TCatalogue after = before;
    after.objects[1].foreignKeys.clear();
    after.objects[1].columns[3].nullable = false;
    after.objects[1].columns[1].nullable = false;
    after.objects[0].description.clear();
    EXPECT_EQ(Lines(before, after),
              (QStringList{
                  QStringLiteral("changed table Customers description Who buys -> "),
                  QStringLiteral("changed column Orders.CustomerID nullable true -> false"),
                  QStringLiteral("changed column Orders.Qty nullable true -> false"),
                  QStringLiteral("removed foreignKey Orders.CustomersOrders"),
              }));
}

// One Access column against one SQL Server column: equal, or the one line they give.
struct TCrossColumn
{
    const char* label;
    TCatalogueColumn access;
    TCatalogueColumn sqlServer;
    const char* line; // empty: no difference
};

class CrossEngineColumns : public testing::TestWithParam<TCrossColumn>
{
};

TEST_P(CrossEngineColumns, MapTypesAndSpellings)
{
    const TCatalogue access = Access({Table(QStringLiteral("T"), {GetParam().access})});
    const TCatalogue sql =
        SqlServer({Table(QStringLiteral("t"), {GetParam().sqlServer}, QStringLiteral("dbo"))});
    const QStringList expected =
        *GetParam().line ? QStringList{QString::fromUtf8(GetParam().line)} : QStringList();
    EXPECT_EQ(Lines(access, sql), expected);
    EXPECT_TRUE(CompareStructures(access, All(access), sql, All(sql)).typeMapping);
}

TCatalogueColumn WithDefault(TCatalogueColumn c, const char* expression)
{
    c.defaultValue = QString::fromUtf8(expression);
    return c;
}

TCatalogueColumn WithBase(TCatalogueColumn c, const char* base)
{
    c.baseType = QString::fromLatin1(base);
    return c;
}

const QString kC = QStringLiteral("C");

INSTANTIATE_TEST_SUITE_P(
    TypeTable, CrossEngineColumns,
    testing::Values(
        TCrossColumn{"TextToNvarchar", AccessColumn(kC, "VarWChar", 202, 50), SqlColumn(kC, "nvarchar", 50),
                     ""},
        TCrossColumn{"TextToVarchar", AccessColumn(kC, "VarWChar", 202, 50), SqlColumn(kC, "varchar", 50),
                     ""},
        TCrossColumn{"TextLength", AccessColumn(kC, "VarWChar", 202, 50), SqlColumn(kC, "nvarchar", 40),
                     "changed column dbo.T.C length 50 -> 40"},
        TCrossColumn{"TextToMax", AccessColumn(kC, "VarWChar", 202, 50), SqlColumn(kC, "nvarchar", -1),
                     "changed column dbo.T.C type VarWChar -> nvarchar"},
        TCrossColumn{"FixedText", AccessColumn(kC, "WChar", 130, 3), SqlColumn(kC, "nchar", 3), ""},
        TCrossColumn{"MemoToMax", AccessColumn(kC, "LongVarWChar", 203, 0), SqlColumn(kC, "nvarchar", -1),
                     ""},
        TCrossColumn{"MemoToNtext", AccessColumn(kC, "LongVarWChar", 203, 0), SqlColumn(kC, "ntext", 16), ""},
        TCrossColumn{"MemoToSizedText", AccessColumn(kC, "LongVarWChar", 203, 0),
                     SqlColumn(kC, "nvarchar", 255), "changed column dbo.T.C type LongVarWChar -> nvarchar"},
        TCrossColumn{"Byte", AccessColumn(kC, "unknown", 17, 1), SqlColumn(kC, "tinyint", 1), ""},
        TCrossColumn{"SmallInt", AccessColumn(kC, "SmallInt", 2, 2), SqlColumn(kC, "smallint", 2), ""},
        TCrossColumn{"Integer", AccessColumn(kC, "Integer", 3, 4), SqlColumn(kC, "int", 4), ""},
        TCrossColumn{"BigInt", AccessColumn(kC, "BigInt", 20, 8), SqlColumn(kC, "bigint", 8), ""},
        TCrossColumn{"Single", AccessColumn(kC, "Single", 4, 4), SqlColumn(kC, "real", 4), ""},
        TCrossColumn{"Double", AccessColumn(kC, "Double", 5, 8), SqlColumn(kC, "float", 8), ""},
        TCrossColumn{"Currency", AccessColumn(kC, "Currency", 6, 8), SqlColumn(kC, "money", 8), ""},
        TCrossColumn{"CurrencyToFloat", AccessColumn(kC, "Currency", 6, 8), SqlColumn(kC, "float", 8),
                     "changed column dbo.T.C type Currency -> float"},
        TCrossColumn{"NumericToDecimal", AccessColumn(kC, "Numeric", 131, 19), SqlColumn(kC, "decimal", 9),
                     ""},
        TCrossColumn{"DateToDatetime2", AccessColumn(kC, "Date", 7, 8), SqlColumn(kC, "datetime2", 8), ""},
        TCrossColumn{"DateToSmalldatetime", AccessColumn(kC, "Date", 7, 8), SqlColumn(kC, "smalldatetime", 4),
                     ""},
        TCrossColumn{"Boolean", AccessColumn(kC, "Boolean", 11, 2), SqlColumn(kC, "bit", 1), ""},
        TCrossColumn{"Guid", AccessColumn(kC, "GUID", 72, 16), SqlColumn(kC, "uniqueidentifier", 16), ""},
        TCrossColumn{"OleObject", AccessColumn(kC, "LongVarBinary", 205, 0), SqlColumn(kC, "image", 16), ""},
        TCrossColumn{"OleObjectToVarbinaryMax", AccessColumn(kC, "LongVarBinary", 205, 0),
                     SqlColumn(kC, "varbinary", -1), ""},
        TCrossColumn{"Binary", AccessColumn(kC, "Binary", 128, 16), SqlColumn(kC, "varbinary", 16), ""},
        TCrossColumn{"BinaryLength", AccessColumn(kC, "VarBinary", 204, 16), SqlColumn(kC, "binary", 8),
                     "changed column dbo.T.C length 16 -> 8"},
        TCrossColumn{"UserTypeByItsBase", AccessColumn(kC, "Integer", 3, 4),
                     WithBase(SqlColumn(kC, "OrderNo", 4), "int"), ""},
        TCrossColumn{"NotInTheTable", AccessColumn(kC, "Integer", 3, 4), SqlColumn(kC, "sql_variant", 8016),
                     "changed column dbo.T.C type Integer -> sql_variant"},
        TCrossColumn{"AccessWithoutCode", ModelColumn(1, kC, QStringLiteral("Integer"), 4),
                     SqlColumn(kC, "int", 4), "changed column dbo.T.C type Integer -> int"},
        TCrossColumn{"DefaultParentheses", WithDefault(AccessColumn(kC, "Integer", 3, 4), "0"),
                     WithDefault(SqlColumn(kC, "int", 4), "((0))"), ""},
        TCrossColumn{"NowIsGetdate", WithDefault(AccessColumn(kC, "Date", 7, 8), "=Now()"),
                     WithDefault(SqlColumn(kC, "datetime", 8), "(getdate())"), ""},
        TCrossColumn{"DifferentDefault", WithDefault(AccessColumn(kC, "Integer", 3, 4), "1"),
                     WithDefault(SqlColumn(kC, "int", 4), "((0))"),
                     "changed column dbo.T.C default 1 -> ((0))"}),
    [](const testing::TestParamInfo<TCrossColumn>& p) { return std::string(p.param.label); });

TEST(StructureCompare, AcrossEnginesAccessTablesMatchInAnySchemaDboFirst)
{
    const TCatalogue access = Access({Table(QStringLiteral("Orders"), {AccessColumn(kC, "Integer", 3, 4)})});
    const TCatalogue sql =
        SqlServer({Table(QStringLiteral("Orders"), {SqlColumn(kC, "bigint", 8)}, QStringLiteral("sales")),
                   Table(QStringLiteral("Orders"), {SqlColumn(kC, "int", 4)}, QStringLiteral("dbo"))});
    EXPECT_EQ(Lines(access, sql), QStringList{QStringLiteral("added table sales.Orders")});
    // The other way round too, the SQL Server side being the baseline.
    EXPECT_EQ(Lines(sql, access), QStringList{QStringLiteral("removed table sales.Orders")});

    const TCatalogue elsewhere =
        SqlServer({Table(QStringLiteral("Orders"), {SqlColumn(kC, "int", 4)}, QStringLiteral("app"))});
    EXPECT_EQ(Lines(access, elsewhere), QStringList());
}

TEST(StructureCompare, AcrossEnginesKeysAndIndexesMatchByTheirColumns)
{
    TCatalogueObject a =
        Table(QStringLiteral("Orders"), {AccessColumn(QStringLiteral("ID"), "Integer", 3, 4),
                                         AccessColumn(QStringLiteral("Cust"), "Integer", 3, 4)});
    a.primaryKey = TCataloguePrimaryKey{QStringLiteral("PrimaryKey"), {QStringLiteral("ID")}};
    a.indexes = {
        TCatalogueIndex{QStringLiteral("Cust"), false, {{QStringLiteral("Cust"), false}}, false, {}, {}}};
    TCatalogueForeignKey key;
    key.name = QStringLiteral("CustomersOrders");
    key.columns = {QStringLiteral("Cust")};
    key.referencedTable = QStringLiteral("Customers");
    key.referencedColumns = {QStringLiteral("ID")};
    a.foreignKeys = {key};

    TCatalogueObject s =
        Table(QStringLiteral("Orders"),
              {SqlColumn(QStringLiteral("ID"), "int", 4), SqlColumn(QStringLiteral("Cust"), "int", 4)},
              QStringLiteral("dbo"));
    s.primaryKey = TCataloguePrimaryKey{QStringLiteral("PK_Orders"), {QStringLiteral("id")}};
    s.indexes = {TCatalogueIndex{
        QStringLiteral("IX_Orders_Cust"), true, {{QStringLiteral("cust"), false}}, false, {}, {}}};
    key.name = QStringLiteral("FK_Orders_Customers");
    key.referencedSchema = QStringLiteral("dbo");
    key.onDelete = TReferentialAction::Cascade;
    s.foreignKeys = {key};

    EXPECT_EQ(
        Lines(Access({a}), SqlServer({s})),
        (QStringList{
            QStringLiteral("changed index dbo.Orders.Cust unique false -> true"),
            QStringLiteral("changed foreignKey dbo.Orders.CustomersOrders onDelete noAction -> cascade")}));

    s.indexes[0].columns[0].name = QStringLiteral("ID");
    s.foreignKeys[0].referencedTable = QStringLiteral("Clients");
    EXPECT_EQ(Lines(Access({a}), SqlServer({s})),
              (QStringList{QStringLiteral("removed index dbo.Orders.Cust"),
                           QStringLiteral("added index dbo.Orders.IX_Orders_Cust"),
                           QStringLiteral("removed foreignKey dbo.Orders.CustomersOrders"),
                           QStringLiteral("added foreignKey dbo.Orders.FK_Orders_Customers")}));
}

// Indexes matched by their columns: of several on the same columns the one of the same name is
// the partner, whichever the alphabet puts first (nwind's CategoryID index on Products against
// SQL Server's CategoriesProducts and CategoryID).
struct TIndexPairing
{
    const char* label;
    QStringList baseline; // index names, each on CategoryID
    QStringList current;
    bool cross;
    QStringList expected;
};

class IndexPairing : public ::testing::TestWithParam<TIndexPairing>
{
};

TEST_P(IndexPairing, PrefersTheSameNamedPartner)
{
    const auto products = [](const QStringList& names, bool sql) {
        TCatalogueObject o = Table(QStringLiteral("Products"),
                                   {sql ? SqlColumn(QStringLiteral("CategoryID"), "int", 4)
                                        : AccessColumn(QStringLiteral("CategoryID"), "Integer", 3, 4)},
                                   sql ? QStringLiteral("dbo") : QString());
        for (const QString& name : names)
            o.indexes.append(TCatalogueIndex{name, false, {{QStringLiteral("CategoryID"), false}}});
        return o;
    };
    const TIndexPairing& p = GetParam();
    const TCatalogue baseline = Access({products(p.baseline, false)});
    const TCatalogue current =
        p.cross ? SqlServer({products(p.current, true)}) : Access({products(p.current, false)});
    EXPECT_EQ(Lines(baseline, current), p.expected);
    // The other way round pairs the same.
    QStringList reversed;
    for (QString line : p.expected)
        reversed.append(line.startsWith(QLatin1String("added"))
                            ? line.replace(0, 5, QStringLiteral("removed"))
                            : line.replace(0, 7, QStringLiteral("added")));
    std::sort(reversed.begin(), reversed.end());
    QStringList back = Lines(current, baseline);
    std::sort(back.begin(), back.end());
    EXPECT_EQ(back, reversed);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, IndexPairing,
    ::testing::Values(TIndexPairing{"CrossEngineNameSortsLater",
                                    {QStringLiteral("CategoryID")},
                                    {QStringLiteral("CategoriesProducts"), QStringLiteral("CategoryID")},
                                    true,
                                    {QStringLiteral("added index dbo.Products.CategoriesProducts")}},
                      TIndexPairing{"CrossEngineNameSortsFirst",
                                    {QStringLiteral("CategoryID")},
                                    {QStringLiteral("CategoryID"), QStringLiteral("ZZ_Category")},
                                    true,
                                    {QStringLiteral("added index dbo.Products.ZZ_Category")}},
                      TIndexPairing{"CrossEngineOtherCase",
                                    {QStringLiteral("categoryid"), QStringLiteral("CategoriesProducts")},
                                    {QStringLiteral("CategoryID"), QStringLiteral("XCategoriesProducts")},
                                    true,
                                    {}},
                      TIndexPairing{"CrossEngineNoNamesakeTakesTheFirst",
                                    {QStringLiteral("Category")},
                                    {QStringLiteral("IX_A"), QStringLiteral("IX_B")},
                                    true,
                                    {QStringLiteral("added index dbo.Products.IX_B")}},
                      TIndexPairing{"SameEngineByName",
                                    {QStringLiteral("CategoryID")},
                                    {QStringLiteral("CategoriesProducts"), QStringLiteral("CategoryID")},
                                    false,
                                    {QStringLiteral("added index Products.CategoriesProducts")}}),
    [](const ::testing::TestParamInfo<TIndexPairing>& p) { return std::string(p.param.label); });

TEST(StructureCompare, TheTypeTableCoversEveryAccessCodeTheDocumentationNames)
{
    QList<int> codes;
    for (const TTypeCorrespondence& pair : AccessSqlServerTypes())
        if (!codes.contains(pair.accessTypeCode))
            codes.append(pair.accessTypeCode);
    EXPECT_EQ(codes, (QList<int>{202, 130, 203, 17, 2, 3, 20, 4, 5, 6, 131, 7, 11, 72, 205, 204, 128}));
}

TEST(NormalisedExpression, DropsOnlyEnclosingParentheses)
{
    EXPECT_EQ(NormalisedExpression(QStringLiteral("((0))")), QStringLiteral("0"));
    EXPECT_EQ(NormalisedExpression(QStringLiteral("(1)+(2)")), QStringLiteral("(1)+(2)"));
    EXPECT_EQ(NormalisedExpression(QStringLiteral("=Now()")), QStringLiteral("getdate()"));
    EXPECT_EQ(NormalisedExpression(QStringLiteral("(GetDate())")), QStringLiteral("getdate()"));
    EXPECT_EQ(NormalisedExpression(QStringLiteral("(")), QStringLiteral("("));
}

} // namespace
