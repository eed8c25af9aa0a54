// The Jet catalogue as the structure model, on small hand-made values: which columns may be Null,
// which kind an object is, what a relationship's flags make of a foreign key, and how keys,
// indexes and relationship rows are gathered; and a reader message taken apart field by field.
#include "Automation.h"
#include "JetCatalogReader.h"
#include "JetCatalogueModel.h"
#include "JetReaderFormat.h"
#include "StructureJson.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using namespace jetreader;

JetColumnInfo column(const QString& name, std::uint8_t jetType, std::int32_t size = 4)
{
    JetColumnInfo c;
    c.name = name;
    c.jetType = jetType;
    c.size = size;
    c.fixed = jetType != 10 && jetType != 12;
    return c;
}

JetIndexInfo index(const QString& name, QList<JetIndexColumn> columns, bool primary = false,
                   bool unique = false)
{
    return JetIndexInfo{name, primary, unique || primary, std::move(columns)};
}

JetFileHeader jet4()
{
    JetFileHeader h;
    h.version = 1;
    h.pageSize = 4096;
    return h;
}

const TCatalogueObject& only(const TCatalogue& model)
{
    EXPECT_EQ(model.objects.size(), 1);
    return model.objects.constFirst();
}

TCatalogue modelOf(const JetTableInfo& table, const QList<JetRelationRow>& relations = {})
{
    JetCatalogue catalogue;
    catalogue.tables.append(table);
    catalogue.relations = relations;
    return JetCatalogueModel(catalogue, jet4(), QStringLiteral("/data/shop.mdb"));
}

// --- which columns may hold Null -------------------------------------------------------------------

struct NullCase
{
    const char* label;
    std::uint8_t jetType;
    bool required;
    bool inPrimaryKey;
    bool nullable;
};

void PrintTo(const NullCase& c, std::ostream* os)
{
    *os << c.label;
}

class JetNullable : public ::testing::TestWithParam<NullCase>
{
};

TEST_P(JetNullable, FollowsRequiredYesNoAndThePrimaryKey)
{
    const NullCase& c = GetParam();
    JetTableInfo t;
    t.name = QStringLiteral("T");
    JetColumnInfo col = column(QStringLiteral("Value"), c.jetType);
    col.required = c.required;
    t.columns = {column(QStringLiteral("Id"), 4), col};
    // The key names the column in another letter case: Jet's names ignore case.
    t.indexes = {index(QStringLiteral("PrimaryKey"),
                       {{c.inPrimaryKey ? QStringLiteral("VALUE") : QStringLiteral("Id"), false}}, true)};
    const TCatalogue model = modelOf(t);
    const TCatalogueObject& o = only(model);
    ASSERT_EQ(o.columns.size(), 2);
    EXPECT_EQ(o.columns.at(1).nullable, c.nullable);
    EXPECT_EQ(o.columns.at(0).nullable, c.inPrimaryKey);
}

INSTANTIATE_TEST_SUITE_P(Columns, JetNullable,
                         ::testing::Values(NullCase{"PlainText", 10, false, false, true},
                                           NullCase{"RequiredText", 10, true, false, false},
                                           NullCase{"YesNo", 1, false, false, false},
                                           NullCase{"KeyColumn", 4, false, true, false},
                                           NullCase{"RequiredKeyColumn", 4, true, true, false},
                                           NullCase{"PlainLong", 4, false, false, true}),
                         [](const ::testing::TestParamInfo<NullCase>& p) {
                             return std::string(p.param.label);
                         });

// --- what an object is -------------------------------------------------------------------------------

struct KindCase
{
    const char* label;
    std::int32_t flags;
    std::optional<std::int32_t> linkType;
    TObjectKind kind;
    bool hidden = false;
};

void PrintTo(const KindCase& c, std::ostream* os)
{
    *os << c.label;
}

class JetKinds : public ::testing::TestWithParam<KindCase>
{
};

TEST_P(JetKinds, FollowTheListsSystemRuleAndTheLinkType)
{
    const KindCase& c = GetParam();
    JetTableInfo t;
    t.name = QStringLiteral("T");
    t.flags = c.flags;
    if (c.linkType) {
        JetLinkInfo link;
        link.type = *c.linkType;
        link.foreignName = QStringLiteral("Source");
        link.database = QStringLiteral("C:\\data\\back.mdb");
        link.connectShown = QStringLiteral("ODBC;DSN=Shop;UID=sa");
        t.link = link;
    }
    const TCatalogue model = modelOf(t);
    const TCatalogueObject& o = only(model);
    EXPECT_EQ(o.kind, c.kind);
    EXPECT_EQ(o.hidden, c.hidden);
    if (c.linkType == kLinkJet) {
        ASSERT_TRUE(o.link);
        EXPECT_EQ(o.link->file, QStringLiteral("C:\\data\\back.mdb"));
        EXPECT_EQ(o.link->table, QStringLiteral("Source"));
        EXPECT_TRUE(o.link->odbc.isEmpty());
    } else if (c.linkType == kLinkOdbc) {
        ASSERT_TRUE(o.link);
        EXPECT_EQ(o.link->odbc, QStringLiteral("ODBC;DSN=Shop;UID=sa"));
        EXPECT_TRUE(o.link->file.isEmpty());
    } else {
        EXPECT_FALSE(o.link);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Objects, JetKinds,
    ::testing::Values(
        KindCase{"UserTable", 0, std::nullopt, TObjectKind::Table},
        KindCase{"SystemFlag", std::int32_t(0x80000000u), std::nullopt, TObjectKind::SystemTable},
        KindCase{"AltSystemFlag", 0x2, std::nullopt, TObjectKind::SystemTable},
        // Access 2007 and later: a table the user hid, one with attachment or
        // multi-value fields; both are the user's.
        KindCase{"HiddenTable", 0x8, std::nullopt, TObjectKind::Table, true},
        KindCase{"TableWithAttachments", 0x40000, std::nullopt, TObjectKind::Table},
        KindCase{"HiddenWithAttachments", 0x40008, std::nullopt, TObjectKind::Table, true},
        KindCase{"HiddenSystemTable", std::int32_t(0x8000000Au), std::nullopt, TObjectKind::SystemTable},
        KindCase{"JetLink", 0, kLinkJet, TObjectKind::LinkedTable},
        KindCase{"OdbcLink", 0, kLinkOdbc, TObjectKind::LinkedTable},
        KindCase{"JetLinkWithFlags", 0x8, kLinkJet, TObjectKind::LinkedTable, true}),
    [](const ::testing::TestParamInfo<KindCase>& p) { return std::string(p.param.label); });

TEST(JetConnect, ShownWithoutItsPassword)
{
    EXPECT_EQ(JetConnectWithoutPassword(QStringLiteral("ODBC;DSN=Shop;UID=sa;PWD=geheim;APP=x")),
              QStringLiteral("ODBC;DSN=Shop;UID=sa;APP=x"));
    EXPECT_EQ(JetConnectWithoutPassword(QStringLiteral("ODBC;pwd = a=b;DSN=Shop")),
              QStringLiteral("ODBC;DSN=Shop"));
    EXPECT_EQ(JetConnectWithoutPassword(QStringLiteral(";PWD=x")), QString());
    EXPECT_EQ(JetConnectWithoutPassword(QStringLiteral("ODBC;DSN=PWDs")), QStringLiteral("ODBC;DSN=PWDs"));
}

// --- what a relationship's flags make of a foreign key ----------------------------------------------

struct FlagCase
{
    const char* label;
    std::int32_t grbit;
    bool enforced;
    TReferentialAction onUpdate;
    TReferentialAction onDelete;
};

void PrintTo(const FlagCase& c, std::ostream* os)
{
    *os << c.label;
}

class JetRelationFlags : public ::testing::TestWithParam<FlagCase>
{
};

TEST_P(JetRelationFlags, GiveEnforcementAndActions)
{
    const FlagCase& c = GetParam();
    TCatalogueForeignKey key;
    ApplyJetRelationFlags(c.grbit, key);
    EXPECT_EQ(key.enforced, c.enforced);
    EXPECT_EQ(key.onUpdate, c.onUpdate);
    EXPECT_EQ(key.onDelete, c.onDelete);
}

constexpr auto kNo = TReferentialAction::NoAction;
constexpr auto kCascade = TReferentialAction::Cascade;
constexpr auto kSetNull = TReferentialAction::SetNull;

INSTANTIATE_TEST_SUITE_P(
    Grbits, JetRelationFlags,
    ::testing::Values(FlagCase{"Enforced", 0, true, kNo, kNo}, FlagCase{"NotEnforced", 0x2, false, kNo, kNo},
                      FlagCase{"CascadeUpdates", 0x100, true, kCascade, kNo},
                      FlagCase{"CascadeDeletes", 0x1000, true, kNo, kCascade},
                      FlagCase{"SetNullOnDelete", 0x2000, true, kNo, kSetNull},
                      FlagCase{"BothCascades", 0x1100, true, kCascade, kCascade},
                      // Join types and one-to-one say nothing about the key's actions.
                      FlagCase{"JoinBitsOnly", 0x3000001, true, kNo, kNo},
                      FlagCase{"InheritedLeftJoinCascadeUpdates", 0x1000104, true, kCascade, kNo}),
    [](const ::testing::TestParamInfo<FlagCase>& p) { return std::string(p.param.label); });

// --- relationship rows gathered into keys --------------------------------------------------------------

TEST(JetModel, RelationshipRowsBecomeKeysInTheirStoredColumnOrder)
{
    JetTableInfo t;
    t.name = QStringLiteral("Order Details");
    // Rows as MSysRelationships may hold them: out of key order, another table's row between,
    // the table's name in another letter case.
    const QList<JetRelationRow> relations = {
        {QStringLiteral("zProducts"), QStringLiteral("Order Details"), QStringLiteral("ProductID"),
         QStringLiteral("Products"), QStringLiteral("ProductID"), 0, 0},
        {QStringLiteral("Orders"), QStringLiteral("order details"), QStringLiteral("Line"),
         QStringLiteral("Orders"), QStringLiteral("Ref"), 1, 0x2},
        {QStringLiteral("CustomersOrders"), QStringLiteral("Orders"), QStringLiteral("CustomerID"),
         QStringLiteral("Customers"), QStringLiteral("CustomerID"), 0, 0},
        {QStringLiteral("Orders"), QStringLiteral("Order Details"), QStringLiteral("OrderID"),
         QStringLiteral("Orders"), QStringLiteral("OrderID"), 0, 0x2},
    };
    const TCatalogue model = modelOf(t, relations);
    const TCatalogueObject& o = only(model);
    ASSERT_EQ(o.foreignKeys.size(), 2);
    const TCatalogueForeignKey& orders = o.foreignKeys.at(0);
    EXPECT_EQ(orders.name, QStringLiteral("Orders"));
    EXPECT_EQ(orders.columns, (QStringList{QStringLiteral("OrderID"), QStringLiteral("Line")}));
    EXPECT_EQ(orders.referencedColumns, (QStringList{QStringLiteral("OrderID"), QStringLiteral("Ref")}));
    EXPECT_FALSE(orders.enforced);
    EXPECT_EQ(o.foreignKeys.at(1).name, QStringLiteral("zProducts"));
}

// The GUID AutoNumber flag counts only on a GUID column: Jet 3 files set it on ordinary ones.
TEST(JetModel, OnlyAGuidColumnIsAGuidAutoNumber)
{
    JetTableInfo t;
    t.name = QStringLiteral("T");
    t.columns = {column(QStringLiteral("Guid"), 15, 16), column(QStringLiteral("Text"), 10, 100)};
    for (JetColumnInfo& c : t.columns)
        c.autoGuid = true;
    const TCatalogue model = modelOf(t);
    EXPECT_TRUE(only(model).columns.at(0).autoIncrement);
    EXPECT_FALSE(only(model).columns.at(1).autoIncrement);
}

// --- design properties, queries and multi-value lookups on values ------------------------------------

TEST(JetProperties, BecomeFieldPropertiesChecksAndLookups)
{
    JetTableInfo t;
    t.name = QStringLiteral("T");
    t.id = 10;
    t.properties = {{"ValidationRule", "[A]<[B]"}, {"ValidationText", "A before B"}};
    t.columns = {column(QStringLiteral("A"), 4), column(QStringLiteral("B"), 4),
                 column(QStringLiteral("C"), 10, 20)};
    t.columns[0].properties = {{"DecimalPlaces", "255"}, {"ValidationRule", ">0"}, {"DisplayControl", "120"}};
    t.columns[1].properties = {
        {"DecimalPlaces", "3"}, {"Caption", "Bee"}, {"AllowZeroLength", "no"}, {"DisplayControl", "109"}};
    t.columns[2].properties = {{"AllowZeroLength", "yes"}, {"Format", ">"}, {"InputMask", "LLL"}};
    JetTableInfo values;
    values.name = QStringLiteral("f_1_C");
    values.id = 11;
    values.flags = std::int32_t(0x800A0000u);
    values.columns = {column(QStringLiteral("Value"), 10, 20)};
    values.columns[0].properties = {{"DisplayControl", "110"},
                                    {"RowSourceType", "Value List"},
                                    {"RowSource", "a;b"},
                                    {"ColumnCount", "1"},
                                    {"LimitToList", "yes"}};
    JetCatalogue catalogue;
    catalogue.tables = {t, values};
    // The second row names a table that is not there: nothing comes of it.
    catalogue.complexColumns = {{QStringLiteral("C"), 10, 11}, {QStringLiteral("C"), 10, 99}};
    const TCatalogue model = JetCatalogueModel(catalogue, jet4(), QStringLiteral("/x.mdb"));
    ASSERT_EQ(model.objects.size(), 2);
    ASSERT_NE(model.find(QStringLiteral("T")), nullptr);
    const TCatalogueObject& o = *model.find(QStringLiteral("T"));
    ASSERT_EQ(o.checks.size(), 2);
    EXPECT_TRUE(o.checks[0].column.isEmpty());
    EXPECT_EQ(o.checks[0].definition, QStringLiteral("[A]<[B]"));
    EXPECT_EQ(o.checks[0].text, QStringLiteral("A before B"));
    EXPECT_TRUE(o.checks[0].name.isEmpty());
    EXPECT_EQ(o.checks[1].column, QStringLiteral("A"));
    EXPECT_TRUE(o.checks[1].text.isEmpty());
    EXPECT_FALSE(o.columns[0].properties->decimalPlaces);
    ASSERT_TRUE(o.columns[0].properties->lookup);
    // A number no name is known for.
    EXPECT_EQ(o.columns[0].properties->lookup->displayControl, QStringLiteral("120"));
    EXPECT_EQ(o.columns[1].properties->decimalPlaces, 3);
    EXPECT_EQ(o.columns[1].properties->caption, QStringLiteral("Bee"));
    EXPECT_FALSE(o.columns[1].properties->allowZeroLength);
    EXPECT_FALSE(o.columns[1].properties->lookup); // a text box alone is no lookup
    EXPECT_TRUE(o.columns[2].properties->allowZeroLength);
    EXPECT_EQ(o.columns[2].properties->format, QStringLiteral(">"));
    EXPECT_EQ(o.columns[2].properties->inputMask, QStringLiteral("LLL"));
    // The multi-value field shows the lookup its values' table keeps.
    ASSERT_TRUE(o.columns[2].properties->lookup);
    EXPECT_EQ(o.columns[2].properties->lookup->displayControl, QStringLiteral("listBox"));
    EXPECT_EQ(o.columns[2].properties->lookup->rowSource, QStringLiteral("a;b"));
    EXPECT_EQ(o.columns[2].properties->lookup->columnCount, 1);
    EXPECT_FALSE(o.columns[2].properties->lookup->boundColumn);
    EXPECT_TRUE(o.columns[2].properties->lookup->limitToList);
    EXPECT_EQ(model.find(QStringLiteral("f_1_C"))->kind, TObjectKind::SystemTable);
}

TEST(FieldProperties, ACopiedColumnsPropertiesAreItsOwn)
{
    TCatalogueColumn plain;
    EXPECT_TRUE(plain.properties->caption.isEmpty());
    EXPECT_FALSE(plain.properties->lookup);

    TCatalogueColumn field;
    field.properties.edit().caption = QStringLiteral("Kunde");
    field.properties.edit().lookup = TColumnLookup{QStringLiteral("comboBox"), {}, {}, 1, 2, true};
    TCatalogueColumn copy = field;
    copy.properties.edit().caption = QStringLiteral("Customer");
    copy.properties.edit().lookup->limitToList = false;
    plain = copy;
    copy.properties.edit().lookup.reset();
    EXPECT_EQ(field.properties->caption, QStringLiteral("Kunde"));
    ASSERT_TRUE(field.properties->lookup);
    EXPECT_TRUE(field.properties->lookup->limitToList);
    EXPECT_EQ(plain.properties->caption, QStringLiteral("Customer"));
    ASSERT_TRUE(plain.properties->lookup);
    EXPECT_FALSE(plain.properties->lookup->limitToList);
    // Moving leaves the source as a column without properties, never a dangling one.
    TCatalogueColumn moved = std::move(field);
    EXPECT_EQ(moved.properties->caption, QStringLiteral("Kunde"));
    EXPECT_TRUE(field.properties->caption.isEmpty()); // NOLINT(bugprone-use-after-move)
}

struct QueryFlagCase
{
    const char* name;
    std::int32_t flags;
    bool systemObject;
    bool hidden;
};

class JetQueryObjects : public ::testing::TestWithParam<QueryFlagCase>
{
};

TEST_P(JetQueryObjects, AreAccessOwnOrHiddenByNameAndFlags)
{
    const QueryFlagCase& c = GetParam();
    JetCatalogue catalogue;
    catalogue.tables = {JetTableInfo{}};
    catalogue.tables[0].name = QStringLiteral("zzz Table");
    JetQueryInfo q;
    q.name = QString::fromUtf8(c.name);
    q.id = 42;
    q.flags = c.flags;
    q.rows = {JetQueryRow{5, 0, QStringLiteral("zzz Table"), {}, {}}, JetQueryRow{3, 1, {}, {}, {}}};
    catalogue.queries = {q};
    const TCatalogue model = JetCatalogueModel(catalogue, jet4(), QStringLiteral("/x.mdb"));
    ASSERT_EQ(model.objects.size(), 2);
    // After the tables, whatever the names.
    const TCatalogueObject& o = model.objects.at(1);
    EXPECT_EQ(o.kind, TObjectKind::Query);
    EXPECT_EQ(o.engineId, 42);
    EXPECT_EQ(o.systemObject, c.systemObject);
    EXPECT_EQ(o.hidden, c.hidden);
    EXPECT_EQ(o.definition, QStringLiteral("SELECT *\nFROM [zzz Table];"));
}

INSTANTIATE_TEST_SUITE_P(Flags, JetQueryObjects,
                         ::testing::Values(QueryFlagCase{"Plain", 0, false, false},
                                           QueryFlagCase{"Hidden", 0x8, false, true},
                                           QueryFlagCase{"AccessOwn", 0x2, true, false},
                                           QueryFlagCase{"~sq_fOrders", 0, true, false},
                                           QueryFlagCase{"~SQ_rSales", 0xA, true, true}),
                         [](const ::testing::TestParamInfo<QueryFlagCase>& p) {
                             std::string name = p.param.name;
                             std::erase_if(name, [](char ch) { return ch == '~'; });
                             return name;
                         });

// --- a reader message, field by field -------------------------------------------------------------------

struct Message
{
    QByteArray bytes;
    Message& u32(std::uint32_t v)
    {
        bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
        return *this;
    }
    Message& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    Message& str(const QByteArray& s) { return u32(std::uint32_t(s.size())).raw(s); }
    Message& raw(const QByteArray& s)
    {
        bytes += s;
        return *this;
    }
};

Message richMessage()
{
    Message m;
    m.u32(kJetReaderMagic).u32(kJetReaderVersion);
    m.u32(kTagTable)
        .str("zTable")
        .i32(77)
        .i32(8)
        .str("Table text")
        .u32(1)
        .str("ValidationRule")
        .str("[Price]>0");
    m.u32(1);
    m.str("Price").i32(5).i32(8).i32(kColumnFixed | kColumnRequired).i32(19).i32(4);
    m.str("0")
        .str("[Qty]*2")
        .str("Column text")
        .u32(2)
        .str("Format")
        .str("Currency")
        .str("DecimalPlaces")
        .str("2");
    m.u32(1).str("ByPrice").i32(kIndexUnique).u32(1).str("Price").i32(1);
    m.u32(kTagTable).str("Mid").i32(5).i32(0).str("").u32(0).u32(2);
    m.str("Id")
        .i32(4)
        .i32(4)
        .i32(kColumnFixed | kColumnAutoLong)
        .i32(0)
        .i32(0)
        .str("")
        .str("")
        .str("")
        .u32(0);
    m.str("Ref").i32(4).i32(4).i32(kColumnFixed).i32(0).i32(0).str("").str("").str("").u32(0);
    m.u32(1).str("PrimaryKey").i32(kIndexPrimary | kIndexUnique).u32(1).str("Id").i32(0);
    m.u32(kTagLink).str("aLink").i32(99).i32(kLinkOdbc).i32(0).str("dbo.Src").str("").str("ODBC;DSN=x");
    m.u32(kTagRelation).str("R").str("Mid").str("Ref").str("zTable").str("Price").i32(0).i32(0x1002);
    m.u32(kTagComplex).str("Ref").i32(5).i32(77);
    m.u32(kTagQuery).str("Prices").i32(0x0F000100).i32(8).str("Prices of all").u32(2);
    m.i32(6).i32(0).str("").str("").str("zTable.Price").i32(5).i32(0).str("zTable").str("").str("");
    m.u32(kTagColumns).u32(2).str("Id").str("Name").u32(kTagRow).str("2").str("MSysObjects");
    m.u32(kTagEnd).u32(7);
    return m;
}

QByteArray documentOf(const TCatalogue& model)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& o : model.objects)
        objects.append(&o);
    return StructureJson(model, objects, QStringLiteral("Orvane test"));
}

// The message arrives through a pipe in pieces of any size, cut anywhere; read as it comes it must
// give what it gives read whole, also when the local tables become model objects on arrival.
class JetReaderMessageInPieces : public ::testing::TestWithParam<int>
{
};

TEST_P(JetReaderMessageInPieces, GiveWhatTheWholeMessageGives)
{
    const QByteArray whole = richMessage().bytes;
    const QString path = QStringLiteral("/x.mdb");
    const JetCatalogue reference = ParseJetCatalogueMessage(whole, path);

    JetCatalogueModelBuilder builder(jet4(), path);
    JetCatalogueStream stream(path, [&builder](const JetTableInfo& t) { builder.add(t); });
    QByteArray arrived;
    for (qsizetype at = 0; at < whole.size(); at += GetParam()) {
        arrived += whole.mid(at, GetParam());
        arrived.remove(0, stream.feed(arrived, false));
    }
    stream.feed(arrived, true);
    const JetCatalogue rest = stream.take();
    ASSERT_EQ(rest.tables.size(), 1); // the link alone
    EXPECT_EQ(rest.tables.at(0).name, QStringLiteral("aLink"));
    ASSERT_TRUE(rest.systemTables);
    EXPECT_EQ(rest.systemTables->rows, reference.systemTables->rows);
    EXPECT_EQ(documentOf(builder.finish(rest)), documentOf(JetCatalogueModel(reference, jet4(), path)));
}

INSTANTIATE_TEST_SUITE_P(Sizes, JetReaderMessageInPieces, ::testing::Values(1, 3, 8, 13, 64, 1 << 16));

// Cut short anywhere, a message is damage once nothing more can come, never a smaller catalogue.
TEST(JetReaderMessage, ATornMessageIsDamageAtEveryCut)
{
    const QByteArray whole = richMessage().bytes;
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        JetCatalogueStream stream(QStringLiteral("/x.mdb"));
        const QByteArray part = whole.left(cut);
        const qsizetype taken = stream.feed(part, false);
        EXPECT_LE(taken, cut);
        EXPECT_THROW(
            {
                stream.feed(part.mid(taken), true);
                stream.take();
            },
            AutomationError)
            << "cut at " << cut;
    }
}

TEST(JetReaderMessage, EveryFieldLandsWhereItBelongs)
{
    Message m;
    m.u32(kJetReaderMagic).u32(kJetReaderVersion);
    m.u32(kTagTable).str("zTable").i32(77).i32(8).str("Table text").u32(1).str("ValidationText").str("No!");
    m.u32(1);
    m.str("Price").i32(5).i32(8).i32(kColumnFixed | kColumnRequired).i32(19).i32(4);
    m.str("0").str("[Qty]*2").str("Column text").u32(1).str("Caption").str("Preis");
    m.u32(1).str("ByPrice").i32(kIndexUnique).u32(1).str("Price").i32(1);
    m.u32(kTagLink).str("aLink").i32(99).i32(kLinkOdbc).i32(0).str("dbo.Src").str("").str("ODBC;DSN=x");
    m.u32(kTagRelation).str("R").str("aLink").str("A").str("zTable").str("B").i32(3).i32(0x1002);
    m.u32(kTagComplex).str("Tags").i32(77).i32(78);
    m.u32(kTagQuery)
        .str("zQuery")
        .i32(-5)
        .i32(0x38)
        .str("Orders by day")
        .u32(1)
        .i32(7)
        .i32(-32768)
        .str("a")
        .str("b")
        .str("a.x = b.x");
    m.u32(kTagQuery).str("aQuery").i32(6).i32(0).str("").u32(0);
    m.u32(kTagColumns).u32(2).str("Id").str("Name").u32(kTagRow).str("2").str("MSysObjects");
    m.u32(kTagEnd).u32(7);

    const JetCatalogue c = ParseJetCatalogueMessage(m.bytes, QStringLiteral("/x.mdb"));
    ASSERT_EQ(c.tables.size(), 2);
    // In name order: the link first.
    const JetTableInfo& link = c.tables.at(0);
    EXPECT_EQ(link.name, QStringLiteral("aLink"));
    EXPECT_EQ(link.id, 99);
    ASSERT_TRUE(link.link);
    EXPECT_EQ(link.link->type, kLinkOdbc);
    EXPECT_EQ(link.link->foreignName, QStringLiteral("dbo.Src"));
    EXPECT_EQ(link.link->connect, QStringLiteral("ODBC;DSN=x"));

    const JetTableInfo& t = c.tables.at(1);
    EXPECT_EQ(t.id, 77);
    EXPECT_EQ(t.flags, 8);
    EXPECT_EQ(t.description, QStringLiteral("Table text"));
    ASSERT_EQ(t.columns.size(), 1);
    const JetColumnInfo& price = t.columns.at(0);
    EXPECT_EQ(price.jetType, 5);
    EXPECT_EQ(price.size, 8);
    EXPECT_TRUE(price.fixed && price.required && !price.autoLong);
    EXPECT_EQ(price.precision, 19);
    EXPECT_EQ(price.scale, 4);
    EXPECT_EQ(price.defaultValue, QStringLiteral("0"));
    EXPECT_EQ(price.expression, QStringLiteral("[Qty]*2"));
    EXPECT_EQ(price.description, QStringLiteral("Column text"));
    EXPECT_EQ(price.properties, (QList<std::pair<QString, QString>>{{"Caption", "Preis"}}));
    EXPECT_EQ(t.properties, (QList<std::pair<QString, QString>>{{"ValidationText", "No!"}}));
    ASSERT_EQ(t.indexes.size(), 1);
    EXPECT_EQ(t.indexes.at(0).name, QStringLiteral("ByPrice"));
    EXPECT_TRUE(t.indexes.at(0).unique);
    EXPECT_FALSE(t.indexes.at(0).primary);
    ASSERT_EQ(t.indexes.at(0).columns.size(), 1);
    EXPECT_TRUE(t.indexes.at(0).columns.at(0).descending);

    ASSERT_EQ(c.relations.size(), 1);
    const JetRelationRow& r = c.relations.at(0);
    EXPECT_EQ((QStringList{r.name, r.table, r.column, r.referencedTable, r.referencedColumn}),
              (QStringList{"R", "aLink", "A", "zTable", "B"}));
    EXPECT_EQ(r.position, 3);
    EXPECT_EQ(r.flags, 0x1002);

    ASSERT_EQ(c.complexColumns.size(), 1);
    EXPECT_EQ(c.complexColumns.at(0).column, QStringLiteral("Tags"));
    EXPECT_EQ(c.complexColumns.at(0).tableId, 77);
    EXPECT_EQ(c.complexColumns.at(0).flatTableId, 78);

    // Queries in name order, their rows as they came.
    ASSERT_EQ(c.queries.size(), 2);
    EXPECT_EQ(c.queries.at(0).name, QStringLiteral("aQuery"));
    EXPECT_TRUE(c.queries.at(0).rows.isEmpty());
    const JetQueryInfo& q = c.queries.at(1);
    EXPECT_EQ(q.id, -5);
    EXPECT_EQ(q.flags, 0x38);
    EXPECT_EQ(q.description, QStringLiteral("Orders by day"));
    ASSERT_EQ(q.rows.size(), 1);
    EXPECT_EQ(q.rows.at(0).attribute, 7);
    EXPECT_EQ(q.rows.at(0).flag, -32768);
    EXPECT_EQ((QStringList{q.rows.at(0).name1, q.rows.at(0).name2, q.rows.at(0).expression}),
              (QStringList{"a", "b", "a.x = b.x"}));

    ASSERT_TRUE(c.systemTables);
    EXPECT_EQ(c.systemTables->columns, (QStringList{"Id", "Name"}));
    EXPECT_EQ(c.systemTables->rows, (QList<QStringList>{{"2", "MSysObjects"}}));
}

TEST(JetReaderMessage, ADescendingMarkOtherThanZeroOrOneIsDamage)
{
    Message m;
    m.u32(kJetReaderMagic).u32(kJetReaderVersion);
    m.u32(kTagTable).str("T").i32(1).i32(0).str("").u32(0).u32(0);
    m.u32(1).str("I").i32(0).u32(1).str("C").i32(2);
    m.u32(kTagEnd).u32(1);
    EXPECT_THROW(ParseJetCatalogueMessage(m.bytes, QStringLiteral("/x.mdb")), AutomationError);
}

// A query row's attribute is a byte and its flag sixteen bits: anything wider did not come from the
// file.
TEST(JetReaderMessage, AQueryRowBeyondItsFieldsIsDamage)
{
    for (const auto& [attribute, flag] : {std::pair{256, 0}, std::pair{-1, 0}, std::pair{5, 40000}}) {
        Message m;
        m.u32(kJetReaderMagic).u32(kJetReaderVersion);
        m.u32(kTagQuery).str("Q").i32(1).i32(0).str("").u32(1).i32(attribute).i32(flag).str("").str("").str(
            "");
        m.u32(kTagEnd).u32(1);
        EXPECT_THROW(ParseJetCatalogueMessage(m.bytes, QStringLiteral("/x.mdb")), AutomationError)
            << attribute;
    }
}

} // namespace
