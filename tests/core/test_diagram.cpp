// The relationship diagram on model values: which boxes, rows, marks and lines the structure
// gives, how a big database is split into pictures, the layout Graphviz gives (deterministic,
// everything placed, lines between their boxes), the SVG and Graphviz source, and the Mermaid
// block and Markdown anchors, the former checked by Mermaid's own parser.
#include "CatalogueSamples.h"
#include "Diagram.h"
#include "DiagramJob.h"
#include "DiagramLayout.h"
#include "DiagramSvg.h"
#include "DocumentCheckers.h"
#include "MarkdownDiagram.h"
#include "UIText.h"

#include <QSet>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <ostream>

namespace {

QList<const TCatalogueObject*> All(const TCatalogue& catalogue)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects)
        objects.append(&object);
    return objects;
}

TCatalogueForeignKey Key(const QString& name, const QStringList& columns, const QString& table,
                         const QStringList& referenced)
{
    TCatalogueForeignKey key;
    key.name = name;
    key.columns = columns;
    key.referencedTable = table;
    key.referencedColumns = referenced;
    return key;
}

// A shop with the shapes relationships take: a composite key, a table referring to itself, a key
// that is also the primary key (one to one), one to a unique index, one not enforced.
TCatalogue Shop()
{
    TCatalogue c;
    c.provider = QStringLiteral("Access");
    c.database = QStringLiteral("/data/shop.mdb");
    TCatalogueObject customers =
        ModelObject(QStringLiteral("Customers"),
                    {ModelColumn(1, QStringLiteral("CustomerID"), QStringLiteral("Long"), 4, false),
                     ModelColumn(2, QStringLiteral("Code"), QStringLiteral("Text"), 5, false),
                     ModelColumn(3, QStringLiteral("Name"), QStringLiteral("Text"), 40)});
    customers.primaryKey = TCataloguePrimaryKey{QStringLiteral("PrimaryKey"), {QStringLiteral("CustomerID")}};
    customers.indexes = {
        TCatalogueIndex{QStringLiteral("Code"), true, {{QStringLiteral("Code"), false}}, false, {}, {}}};
    TCatalogueObject profiles =
        ModelObject(QStringLiteral("Profiles"),
                    {ModelColumn(1, QStringLiteral("CustomerID"), QStringLiteral("Long"), 4, false),
                     ModelColumn(2, QStringLiteral("Note"), QStringLiteral("Memo"), 0)});
    profiles.primaryKey = TCataloguePrimaryKey{QStringLiteral("PrimaryKey"), {QStringLiteral("CustomerID")}};
    profiles.foreignKeys = {Key(QStringLiteral("CustomersProfiles"), {QStringLiteral("CustomerID")},
                                QStringLiteral("customers"), {QStringLiteral("CustomerID")})};
    TCatalogueObject orders =
        ModelObject(QStringLiteral("Orders"),
                    {ModelColumn(1, QStringLiteral("Shipped"), QStringLiteral("Yes/No"), 1),
                     ModelColumn(2, QStringLiteral("OrderID"), QStringLiteral("Long"), 4, false),
                     ModelColumn(3, QStringLiteral("CustomerCode"), QStringLiteral("Text"), 5, false),
                     ModelColumn(4, QStringLiteral("ParentID"), QStringLiteral("Long"), 4)});
    orders.primaryKey = TCataloguePrimaryKey{QStringLiteral("PrimaryKey"), {QStringLiteral("OrderID")}};
    orders.foreignKeys = {Key(QStringLiteral("CustomersOrders"), {QStringLiteral("CustomerCode")},
                              QStringLiteral("Customers"), {QStringLiteral("Code")}),
                          Key(QStringLiteral("OrdersOrders"), {QStringLiteral("ParentID")},
                              QStringLiteral("Orders"), {QStringLiteral("OrderID")})};
    orders.foreignKeys[1].enforced = false;
    orders.foreignKeys[1].onDelete = TReferentialAction::Cascade;
    TCatalogueObject lines =
        ModelObject(QStringLiteral("Order Lines"),
                    {ModelColumn(1, QStringLiteral("OrderID"), QStringLiteral("Long"), 4, false),
                     ModelColumn(2, QStringLiteral("Line"), QStringLiteral("Integer"), 2, false),
                     ModelColumn(3, QStringLiteral("Qty"), QStringLiteral("Integer"), 2)});
    lines.primaryKey = TCataloguePrimaryKey{QStringLiteral("PrimaryKey"),
                                            {QStringLiteral("Line"), QStringLiteral("OrderID")}};
    lines.foreignKeys = {Key(QStringLiteral("OrdersOrder Lines"), {QStringLiteral("OrderID")},
                             QStringLiteral("Orders"), {QStringLiteral("OrderID")}),
                         Key(QStringLiteral("ToNowhere"), {QStringLiteral("Qty")}, QStringLiteral("Gone"),
                             {QStringLiteral("ID")})};
    TCatalogueObject notes = ModelObject(QStringLiteral("Notes"),
                                         {ModelColumn(1, QStringLiteral("Text"), QStringLiteral("Memo"), 0)});
    c.objects = {customers, profiles, orders, lines, notes};
    return c;
}

QStringList RowNames(const TDiagramBox& box)
{
    QStringList names;
    for (const TDiagramColumn& column : box.columns)
        names.append(DiagramColumnMark(column) + QLatin1Char(':') + column.name +
                     (column.typeName.isEmpty() ? QString() : QLatin1Char(':') + column.typeName));
    return names;
}

class DiagramTest : public ::testing::Test
{
protected:
    void SetUp() override { CurrentLanguage = 2; }
    void TearDown() override { CurrentLanguage = 0; }
};

} // namespace

TEST_F(DiagramTest, BoxesListTheKeyColumnsPrimaryKeyFirstAndMarkThem)
{
    const TCatalogue shop = Shop();
    const TDiagramGraph graph = BuildDiagramGraph(All(shop), {});
    ASSERT_EQ(graph.boxes.size(), 5);
    // Customers: its key, and Code, which Orders refers to; not Name.
    EXPECT_EQ(RowNames(graph.boxes[0]), (QStringList{"PK:CustomerID", ":Code"}));
    EXPECT_EQ(RowNames(graph.boxes[1]), (QStringList{"PK FK:CustomerID"}));
    // The primary key's column first although it is second in the table.
    EXPECT_EQ(RowNames(graph.boxes[2]), (QStringList{"PK:OrderID", "FK:CustomerCode", "FK:ParentID"}));
    // A composite key in key order; a key to a table that is not there still marks its column.
    EXPECT_EQ(RowNames(graph.boxes[3]), (QStringList{"PK:Line", "PK FK:OrderID", "FK:Qty"}));
    EXPECT_TRUE(graph.boxes[4].columns.isEmpty());
    EXPECT_EQ(graph.boxes[3].name, QStringLiteral("Order Lines"));

    TDiagramOptions all;
    all.columns = TDiagramColumns::All;
    const TDiagramGraph full = BuildDiagramGraph(All(shop), all);
    EXPECT_EQ(RowNames(full.boxes[2]), (QStringList{"PK:OrderID:Long", ":Shipped:Yes/No",
                                                    "FK:CustomerCode:Text", "FK:ParentID:Long"}));
    EXPECT_EQ(RowNames(full.boxes[4]), (QStringList{":Text:Memo"}));
}

TEST_F(DiagramTest, LinesRunFromTheReferringRowsToTheReferencedRowsWithTheirEnds)
{
    const TCatalogue shop = Shop();
    const TDiagramGraph graph = BuildDiagramGraph(All(shop), {});
    // The key to a table that is not among the objects has no line.
    ASSERT_EQ(graph.lines.size(), 4);
    struct Expected
    {
        int from, fromRow, to, toRow;
        TDiagramEnd fromEnd, toEnd;
    };
    const Expected expected[] = {
        // Profiles' key is its primary key: one profile at most per customer.
        {1, 0, 0, 0, TDiagramEnd::ZeroOrOne, TDiagramEnd::One},
        // To Customers' unique Code, which the box lists for it.
        {2, 1, 0, 1, TDiagramEnd::ZeroOrMany, TDiagramEnd::One},
        // Orders to itself, through a nullable column.
        {2, 2, 2, 0, TDiagramEnd::ZeroOrMany, TDiagramEnd::ZeroOrOne},
        {3, 1, 2, 0, TDiagramEnd::ZeroOrMany, TDiagramEnd::One},
    };
    for (qsizetype i = 0; i < graph.lines.size(); ++i) {
        const TDiagramLine& line = graph.lines[i];
        const Expected& e = expected[i];
        EXPECT_EQ(line.from, e.from) << i;
        EXPECT_EQ(line.fromRow, e.fromRow) << i;
        EXPECT_EQ(line.to, e.to) << i;
        EXPECT_EQ(line.toRow, e.toRow) << i;
        EXPECT_EQ(line.fromEnd, e.fromEnd) << i;
        EXPECT_EQ(line.toEnd, e.toEnd) << i;
    }
    EXPECT_EQ(graph.lines[2].title,
              QStringLiteral("OrdersOrders: Orders (ParentID) → Orders (OrderID); on update "
                             "no action, on delete cascade, not enforced"));
    CurrentLanguage = 1;
    EXPECT_TRUE(BuildDiagramGraph(All(shop), {}).lines[2].title.endsWith(QStringLiteral("nicht erzwungen")));
}

TEST_F(DiagramTest, KeysFindTheirTableInTheirSchema)
{
    const TCatalogue sales = SampleSqlServerCatalogue();
    const TDiagramGraph graph = BuildDiagramGraph(All(sales), {});
    ASSERT_EQ(graph.lines.size(), 1);
    // sales.Orders refers to dbo.Orders, not to itself.
    EXPECT_EQ(graph.lines[0].from, 1);
    EXPECT_EQ(graph.lines[0].to, 0);
    EXPECT_EQ(graph.boxes[1].name, QStringLiteral("sales.Orders"));
    EXPECT_FALSE(graph.lines[0].key->enforced);
}

// A graph of groups of the given sizes (each a chain) and a number of unrelated tables.
TCatalogue Groups(const QList<int>& sizes, int unrelated)
{
    TCatalogue c;
    c.provider = QStringLiteral("Access");
    int n = 0;
    for (int size : sizes) {
        for (int i = 0; i < size; ++i) {
            TCatalogueObject object =
                ModelObject(QStringLiteral("T%1").arg(n),
                            {ModelColumn(1, QStringLiteral("ID"), QStringLiteral("Long"), 4, false)});
            object.primaryKey = TCataloguePrimaryKey{QStringLiteral("PK"), {QStringLiteral("ID")}};
            if (i > 0)
                object.foreignKeys = {Key(QStringLiteral("K%1").arg(n), {QStringLiteral("ID")},
                                          QStringLiteral("T%1").arg(n - 1), {QStringLiteral("ID")})};
            c.objects.append(object);
            ++n;
        }
    }
    for (int i = 0; i < unrelated; ++i, ++n)
        c.objects.append(ModelObject(QStringLiteral("T%1").arg(n), {}));
    return c;
}

struct PlanCase
{
    int limit;
    QList<TDiagramPanelKind> kinds;
};

void PrintTo(const PlanCase& c, std::ostream* os)
{
    *os << "limit " << c.limit;
}

class DiagramPlanTest : public ::testing::TestWithParam<PlanCase>
{
};

// Groups of 3 and 2 tables and 3 unrelated ones (8 in all).
TEST_P(DiagramPlanTest, EveryTableAndLineIsInAPictureOfAtMostTheLimit)
{
    const TCatalogue c = Groups({3, 2}, 3);
    const TDiagramGraph graph = BuildDiagramGraph(All(c), {});
    const QList<TDiagramPanel> plan = PlanDiagrams(graph, GetParam().limit);
    QList<TDiagramPanelKind> kinds;
    QSet<int> boxes;
    QSet<int> lines;
    for (const TDiagramPanel& panel : plan) {
        kinds.append(panel.kind);
        if (panel.kind != TDiagramPanelKind::Whole && panel.kind != TDiagramPanelKind::Neighbours) {
            EXPECT_LE(panel.boxes.size(), GetParam().limit);
        }
        for (int b : panel.boxes)
            boxes.insert(b);
        for (int l : panel.lines) {
            lines.insert(l);
            EXPECT_TRUE(panel.boxes.contains(graph.lines[l].from) && panel.boxes.contains(graph.lines[l].to));
        }
    }
    EXPECT_EQ(kinds, GetParam().kinds);
    EXPECT_EQ(boxes.size(), 8);
    EXPECT_EQ(lines.size(), 3);
}

using K = TDiagramPanelKind;
INSTANTIATE_TEST_SUITE_P(
    Limits, DiagramPlanTest,
    ::testing::Values(
        PlanCase{8, {K::Whole}}, PlanCase{200, {K::Whole}}, PlanCase{3, {K::Group, K::Group, K::Unrelated}},
        // The group of three is over the limit: each of its tables with its neighbours.
        PlanCase{2, {K::Neighbours, K::Neighbours, K::Neighbours, K::Group, K::Unrelated, K::Unrelated}},
        PlanCase{1,
                 {K::Neighbours, K::Neighbours, K::Neighbours, K::Neighbours, K::Neighbours, K::Unrelated,
                  K::Unrelated, K::Unrelated}}));

TEST_F(DiagramTest, NeighboursAreTheTablesReferredToAndReferringAndTheirCaptionsSaySo)
{
    const TCatalogue shop = Shop();
    const TDiagramGraph graph = BuildDiagramGraph(All(shop), {});
    const TDiagramPanel orders = NeighbourPanel(graph, 2);
    EXPECT_EQ(orders.boxes, (QList<int>{0, 2, 3}));
    EXPECT_EQ(orders.lines, (QList<int>{1, 2, 3}));
    EXPECT_EQ(DiagramPanelTitle(graph, orders), QStringLiteral("Orders and its neighbours"));
    const TCatalogue groups = Groups({3, 2}, 3);
    const TDiagramGraph g = BuildDiagramGraph(All(groups), {});
    const QList<TDiagramPanel> plan = PlanDiagrams(g, 3);
    EXPECT_EQ(DiagramPanelTitle(g, plan[1]), QStringLiteral("Group 2: 2 tables"));
    EXPECT_EQ(DiagramPanelTitle(g, plan[2]), QStringLiteral("Tables without relationships"));
}

TEST_F(DiagramTest, LayoutPlacesEveryBoxAtItsSizeApartAndEveryLineBetweenItsBoxes)
{
    const TCatalogue shop = Shop();
    const TDiagramGraph graph = BuildDiagramGraph(All(shop), {});
    const QList<TDiagramPanel> plan = PlanDiagrams(graph, 200);
    ASSERT_EQ(plan.size(), 1);
    const TDiagramPicture picture = LayOutDiagram(graph, plan[0]);
    ASSERT_EQ(picture.boxes.size(), 5);
    ASSERT_EQ(picture.lines.size(), 4);
    const QRectF bounds(QPointF(0, 0), picture.size);
    for (qsizetype i = 0; i < picture.boxes.size(); ++i) {
        const TPlacedBox& box = picture.boxes[i];
        EXPECT_EQ(box.box, i);
        const TDiagramBoxMetrics m = DiagramBoxMetrics(graph.boxes[box.box]);
        EXPECT_NEAR(box.rect.width(), m.width, 0.5);
        EXPECT_NEAR(box.rect.height(), m.height, 0.5);
        EXPECT_TRUE(bounds.contains(box.rect)) << i;
        for (qsizetype j = 0; j < i; ++j)
            EXPECT_FALSE(box.rect.intersects(picture.boxes[j].rect)) << i << " " << j;
    }
    // The unrelated table sits under the related ones.
    for (int b = 0; b < 4; ++b)
        EXPECT_GT(picture.boxes[4].rect.top(), picture.boxes[b].rect.bottom());
    for (const TPlacedLine& placed : picture.lines) {
        const TDiagramLine& line = graph.lines[placed.line];
        ASSERT_GE(placed.path.size(), 4);
        EXPECT_EQ((placed.path.size() - 1) % 3, 0);
        const QRectF from = picture.boxes[line.from].rect.adjusted(-1, -1, 1, 1);
        const QRectF to = picture.boxes[line.to].rect.adjusted(-1, -1, 1, 1);
        // It starts on the referring box, at the height of its row, and ends on the referenced one.
        EXPECT_TRUE(from.contains(placed.path.first())) << placed.line;
        EXPECT_TRUE(to.contains(placed.path.last())) << placed.line;
        const QPointF row = DiagramRowBaseline(picture.boxes[line.from].rect, line.fromRow);
        if (line.from != line.to) {
            EXPECT_NEAR(placed.path.first().y(), row.y() - kDiagramFontSize * 0.35,
                        kDiagramRowHeight / 2 + 1);
        }
    }
    // The same structure, the same picture.
    const TDiagramPicture again = LayOutDiagram(graph, plan[0]);
    EXPECT_EQ(again.size, picture.size);
    for (qsizetype i = 0; i < picture.boxes.size(); ++i)
        EXPECT_EQ(again.boxes[i].rect, picture.boxes[i].rect);
    for (qsizetype i = 0; i < picture.lines.size(); ++i)
        EXPECT_EQ(again.lines[i].path, picture.lines[i].path);
}

TEST_F(DiagramTest, GraphvizSourceHasOneGraphForTheRelatedAndOneForTheGridAndEscapesNames)
{
    TCatalogue shop = Shop();
    shop.objects[4].name = QStringLiteral("Notes <\"&\\N>");
    const TDiagramGraph graph = BuildDiagramGraph(All(shop), {});
    const QList<QByteArray> graphs = DiagramDotGraphs(graph, PlanDiagrams(graph, 200)[0]);
    ASSERT_EQ(graphs.size(), 2);
    EXPECT_TRUE(graphs[0].startsWith("digraph relationships {"));
    EXPECT_EQ(graphs[0].count(" -> "), 4);
    EXPECT_TRUE(graphs[0].contains("style=dashed"));
    // The referenced table first, the self-reference on the right side.
    EXPECT_TRUE(graphs[0].contains("b0:r1 -> b2:r1 ["));
    EXPECT_TRUE(graphs[0].contains("b2:r0:e -> b2:r2:e ["));
    EXPECT_TRUE(graphs[1].startsWith("graph unrelated {"));
    EXPECT_TRUE(graphs[1].contains("layout=osage"));
    EXPECT_TRUE(graphs[1].contains("<B>Notes &lt;&quot;&amp;\\N&gt;</B>"));
    EXPECT_TRUE(graphs[1].contains("tooltip=\"Notes <\\\"&\\\\N>\""));
}

TEST_F(DiagramTest, EndMarksFollowCrowsFootNotation)
{
    const QList<QPointF> path{{0, 0}, {10, 0}, {20, 0}, {30, 0}};
    const TDiagramEndMark one = DiagramEndMark(path, false, TDiagramEnd::One);
    ASSERT_EQ(one.strokes.size(), 2);
    EXPECT_TRUE(one.circles.isEmpty());
    // Two bars across the line near its end.
    for (const QLineF& bar : one.strokes) {
        EXPECT_DOUBLE_EQ(bar.x1(), bar.x2());
        EXPECT_GT(bar.x1(), 15);
    }
    const TDiagramEndMark many = DiagramEndMark(path, true, TDiagramEnd::ZeroOrMany);
    ASSERT_EQ(many.strokes.size(), 2);
    ASSERT_EQ(many.circles.size(), 1);
    // The foot's toes spread on the box's side of the line, the circle beyond them.
    EXPECT_EQ(many.strokes[0].p2(), QPointF(0, -6));
    EXPECT_EQ(many.strokes[1].p2(), QPointF(0, 6));
    EXPECT_GT(many.circles[0].x(), many.strokes[0].x1());
    const TDiagramEndMark zeroOrOne = DiagramEndMark(path, true, TDiagramEnd::ZeroOrOne);
    EXPECT_EQ(zeroOrOne.strokes.size(), 1);
    EXPECT_EQ(zeroOrOne.circles.size(), 1);
}

TEST_F(DiagramTest, SvgHoldsEveryTableAndRelationshipAsTitledGroupsOfText)
{
    TCatalogue shop = Shop();
    shop.objects[0].name = QStringLiteral("Kunden & <Partner>");
    shop.objects[1].foreignKeys[0].referencedTable = shop.objects[0].name;
    shop.objects[2].foreignKeys[0].referencedTable = shop.objects[0].name;
    const QByteArray svg = StructureDiagramSvg(shop, All(shop), {});
    QXmlStreamReader xml(svg);
    QStringList tables;
    QStringList relationships;
    QSet<QString> ids;
    QStringList texts;
    QString group;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString id = xml.attributes().value(QStringLiteral("id")).toString();
        if (!id.isEmpty()) {
            EXPECT_FALSE(ids.contains(id)) << id.toStdString();
        }
        ids.insert(id);
        if (xml.name() == QLatin1String("svg")) {
            EXPECT_EQ(xml.attributes().value(QStringLiteral("version")), QLatin1String("1.1"));
        }
        if (xml.name() == QLatin1String("g"))
            group = xml.attributes().value(QStringLiteral("class")).toString();
        if (xml.name() == QLatin1String("title") && group == QLatin1String("table"))
            tables.append(xml.readElementText());
        else if (xml.name() == QLatin1String("title") && group == QLatin1String("relationship"))
            relationships.append(xml.readElementText());
        else if (xml.name() == QLatin1String("text"))
            texts.append(xml.readElementText(QXmlStreamReader::IncludeChildElements));
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(tables, (QStringList{"Kunden & <Partner>", "Profiles", "Orders", "Order Lines", "Notes"}));
    ASSERT_EQ(relationships.size(), 4);
    EXPECT_TRUE(relationships[0].startsWith(
        QStringLiteral("CustomersProfiles: Profiles (CustomerID) → Kunden & <Partner>")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Kunden & <Partner>")));
    EXPECT_TRUE(texts.contains(QStringLiteral("PKOrderID")));
    // Same structure, same bytes.
    EXPECT_EQ(StructureDiagramSvg(shop, All(shop), {}), svg);
}

TEST_F(DiagramTest, AnchorsStayUniqueWhereNamesGiveOneSlug)
{
    EXPECT_EQ(MarkdownSlug(QStringLiteral("Order Details")), QStringLiteral("order-details"));
    EXPECT_EQ(MarkdownSlug(QStringLiteral("dbo.Größe_2 (alt)")), QStringLiteral("dbogröße_2-alt"));
    TCatalogue c;
    for (const char* name :
         {"Order Details", "Order-Details", "order details", "Contents", "Order Details-1"})
        c.objects.append(ModelObject(QString::fromUtf8(name), {}));
    const TMarkdownAnchors anchors({QStringLiteral("shop"), QStringLiteral("Contents")}, All(c));
    QStringList got;
    for (const TCatalogueObject& object : c.objects)
        got.append(anchors.anchor(&object));
    EXPECT_EQ(got, (QStringList{"order-details", "order-details-1", "order-details-2", "contents-1",
                                "order-details-1-1"}));
    EXPECT_EQ(anchors.heading(1), QStringLiteral("contents"));
}

// Names as databases have them: each reaches the diagram whole, bare, quoted or as an alias
// that shows it with look-alikes of what Mermaid cannot hold, and Mermaid's own parser takes every
// block (one run of it for all, as it takes seconds to start).
TEST_F(DiagramTest, MermaidTakesEveryNameAndShowsIt)
{
    const QStringList names{"Orders",       "Order Details", "class",        "erDiagram", "Größe",
                            "sales.Orders", "Tab\"le",       "50% off",      "C:\\back",  "a{b}:c",
                            "#1 choice",    "顧客",          "x;y <z> & [w]"};
    QString page;
    for (const QString& name : names) {
        TCatalogue c;
        TCatalogueObject parent =
            ModelObject(name, {ModelColumn(1, name, QStringLiteral("Date/Time"), 8, false)});
        parent.primaryKey = TCataloguePrimaryKey{QStringLiteral("PK"), {name}};
        TCatalogueObject child = ModelObject(
            QStringLiteral("Child"), {ModelColumn(1, QStringLiteral("Ref"), QStringLiteral("Date/Time"), 8)});
        child.foreignKeys = {Key(name, {QStringLiteral("Ref")}, name, {name})};
        c.objects = {parent, child};
        const TDiagramGraph graph = BuildDiagramGraph(All(c), {});
        const QString block = MermaidErDiagram(graph, PlanDiagrams(graph, 200)[0]);
        page += QStringLiteral("```mermaid\n") + block + QStringLiteral("```\n\n");
        QString shown = name;
        shown.replace(u'"', QChar(0x201d))
            .replace(u'%', QChar(0xff05))
            .replace(u'\\', QChar(0x2216))
            .replace(u'#', QChar(0xff03));
        const bool bare = block.contains(QStringLiteral("    ") + name + QStringLiteral(" {"));
        const bool quoted = block.contains(QStringLiteral("    \"") + name + QStringLiteral("\" {"));
        const bool alias = block.contains(QStringLiteral("[\"") + shown + QStringLiteral("\"] {"));
        EXPECT_EQ(int(bare) + int(quoted) + int(alias), 1) << block.toStdString();
        EXPECT_EQ(alias, shown != name) << block.toStdString();
        // The key column keeps its name in the attribute's comment where Mermaid needs another spelling.
        EXPECT_TRUE(block.contains(QStringLiteral("PK\n")) ||
                    block.contains(QStringLiteral("PK \"") + shown + u'"'))
            << block.toStdString();
        EXPECT_TRUE(block.contains(QStringLiteral("|o..o{ Child : \"") + shown + u'"'))
            << block.toStdString();
    }
    EXPECT_EQ(MermaidVerdict(page.toUtf8()), QStringLiteral("valid %1").arg(names.size()))
        << page.toStdString();
}

TEST_F(DiagramTest, LayoutJobHandsOverEveryPictureInOrderAndStopsWhenCancelled)
{
    auto model = std::make_shared<const TCatalogue>(Groups({3, 2}, 3));
    QList<const TCatalogueObject*> objects = All(*model);
    TDiagramOptions options;
    options.limit = 3;
    TDiagramLayoutJob job(model, objects, options);
    QList<int> indexes;
    bool planned = false;
    QObject::connect(
        &job, &TDiagramLayoutJob::planned, &job, [&] { planned = true; }, Qt::DirectConnection);
    QObject::connect(
        &job, &TDiagramLayoutJob::pictureReady, &job,
        [&](int index, const TDiagramPicture& picture) {
            indexes.append(index);
            EXPECT_FALSE(picture.boxes.isEmpty());
        },
        Qt::DirectConnection);
    job.start();
    ASSERT_TRUE(job.wait(60000));
    EXPECT_TRUE(planned);
    EXPECT_EQ(job.pictureCount(), 3);
    EXPECT_EQ(indexes, (QList<int>{0, 1, 2}));

    TDiagramLayoutJob cancelled(model, objects, options);
    int pictures = 0;
    QObject::connect(
        &cancelled, &TDiagramLayoutJob::pictureReady, &cancelled, [&] { ++pictures; }, Qt::DirectConnection);
    cancelled.cancel();
    cancelled.start();
    ASSERT_TRUE(cancelled.wait(60000));
    EXPECT_EQ(pictures, 0);
    // The plan is made all the same, so the window can say how far it got.
    EXPECT_EQ(cancelled.pictureCount(), 3);
}

TEST_F(DiagramTest, DiagramObjectsAreTheCheckedEntriesOrEveryEnabledOne)
{
    const TCatalogue shop = Shop();
    TTableList entries{{QStringLiteral("Customers"), false, true},
                       {QStringLiteral("Orders"), false, true},
                       {QStringLiteral("MSysObjects"), false, false},
                       {QStringLiteral("Notes"), false, true}};
    QStringList names;
    for (const TCatalogueObject* object : DiagramObjects(shop, entries, false))
        names.append(object->name);
    EXPECT_EQ(names, (QStringList{"Customers", "Orders", "Notes"}));
    entries[1].checked = true;
    entries[3].checked = true;
    names.clear();
    for (const TCatalogueObject* object : DiagramObjects(shop, entries, false))
        names.append(object->name);
    EXPECT_EQ(names, (QStringList{"Orders", "Notes"}));
}
