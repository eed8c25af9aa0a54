// The relationship diagram before it is laid out: a box per table with its key columns (or all
// of them) marked, a line per foreign key with what its two ends allow, and the plan of which
// pictures a database gets. Every place that draws relationships (the SVG, the Graphviz source,
// the HTML and Markdown pages, the window) starts from this one description.
#pragma once

#include "Catalogue.h"

#include <QList>
#include <QString>

// Which columns a box lists: the primary key's and the foreign keys' (and the columns other
// tables refer to), or every column with its type.
enum class TDiagramColumns
{
    Keys,
    All
};

struct TDiagramOptions
{
    TDiagramColumns columns = TDiagramColumns::Keys;
    // Up to this many tables the database is one picture; beyond it each connected group of
    // tables is one, and a group larger than this gets one picture per table and its neighbours.
    int limit = 200;
};

constexpr int kDefaultDiagramLimit = 200;

struct TDiagramColumn
{
    QString name;
    QString typeName; // empty unless every column is listed
    bool primaryKey = false;
    bool foreignKey = false;
};

struct TDiagramBox
{
    QString name; // the table list's name ("schema.name" outside dbo)
    const TCatalogueObject* object = nullptr;
    // The primary key's columns first, in key order, then the rest in the table's order.
    QList<TDiagramColumn> columns;
};

// What one end of a relationship line allows, in crow's foot notation.
enum class TDiagramEnd
{
    One,        // exactly one: the referenced row of a key whose columns cannot be null
    ZeroOrOne,  // a key with nullable columns; or the referring side of a unique key
    ZeroOrMany, // the referring side
};

struct TDiagramLine
{
    int from = 0;     // the referring box
    int fromRow = -1; // its row of the first referring column; -1: the title row
    int to = 0;       // the referenced box
    int toRow = -1;   // its row of the first referenced column; -1: the title row
    const TCatalogueForeignKey* key = nullptr;
    TDiagramEnd fromEnd = TDiagramEnd::ZeroOrMany;
    TDiagramEnd toEnd = TDiagramEnd::One;
    // "CustomersOrders: Orders (CustomerID) → Customers (CustomerID); on update cascade, on delete
    // set null": the tooltip and the SVG title, in the UI language.
    QString title;
};

struct TDiagramGraph
{
    QList<TDiagramBox> boxes;
    QList<TDiagramLine> lines;
};

// What a diagram of a document's objects draws: its tables; the objects themselves when it holds
// no table (views asked for alone). Queries, routines, sequences and synonyms relate nothing.
QList<const TCatalogueObject*> DiagramObjects(const QList<const TCatalogueObject*>& objects);

// The boxes of the objects given (in their order) and the lines of their foreign keys between
// them; a key to a table that is not among them has no line. The objects must outlive the graph.
TDiagramGraph BuildDiagramGraph(const QList<const TCatalogueObject*>& objects,
                                const TDiagramOptions& options);

enum class TDiagramPanelKind
{
    Whole,      // every box: the related ones by dot, the others in a grid under them
    Group,      // one connected group of related tables
    Unrelated,  // tables without a relationship, in a grid
    Neighbours, // one table (focus) with the tables it refers to and that refer to it
};

// One picture: which boxes and lines it shows.
struct TDiagramPanel
{
    TDiagramPanelKind kind = TDiagramPanelKind::Whole;
    QList<int> boxes; // ascending
    QList<int> lines; // ascending
    int focus = -1;   // Neighbours: the table they are the neighbours of
    int number = 0;   // Group: counted from 1 in the plan's order
};

// The pictures of the whole graph: one when it has at most limit boxes (none when it has no
// box); otherwise one per connected group of at most limit boxes, one per box of a larger group
// (its neighbours), and the unrelated boxes in grids of at most limit each. Every box and every
// line is in at least one of them.
QList<TDiagramPanel> PlanDiagrams(const TDiagramGraph& graph, int limit);

// The box with its direct neighbours and every line among them.
TDiagramPanel NeighbourPanel(const TDiagramGraph& graph, int box);

// The connected groups of related boxes (each ascending, in order of their first box), and the
// boxes without any line.
struct TDiagramGroups
{
    QList<QList<int>> groups;
    QList<int> unrelated;
};
TDiagramGroups DiagramGroups(const TDiagramGraph& graph);

// The panel's caption in the UI language: empty for the whole database, "Tables without
// relationships", "Group 2: 14 tables", "Orders and its neighbours".
QString DiagramPanelTitle(const TDiagramGraph& graph, const TDiagramPanel& panel);

// "PK", "FK", "PK FK" or empty.
QString DiagramColumnMark(const TDiagramColumn& column);
