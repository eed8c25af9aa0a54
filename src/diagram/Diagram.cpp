#include "Diagram.h"

#include "StructureDetail.h"
#include "UIText.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>

namespace {

constexpr int kTextOnUpdate = 340;
constexpr int kTextOnDelete = 341;
constexpr int kTextNotEnforced = 346;
constexpr int kTextUnrelated = 508;
constexpr int kTextGroup = 509;
constexpr int kTextNeighbours = 510;

bool SameColumns(const QStringList& a, const QStringList& b)
{
    if (a.size() != b.size())
        return false;
    for (const QString& name : a) {
        const bool found = std::any_of(b.begin(), b.end(), [&name](const QString& other) {
            return other.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!found)
            return false;
    }
    return true;
}

bool Contains(const QStringList& names, const QString& name)
{
    return std::any_of(names.begin(), names.end(), [&name](const QString& other) {
        return other.compare(name, Qt::CaseInsensitive) == 0;
    });
}

const TCatalogueColumn* FindColumn(const TCatalogueObject& object, const QString& name)
{
    for (const TCatalogueColumn& column : object.columns) {
        if (column.name.compare(name, Qt::CaseInsensitive) == 0)
            return &column;
    }
    return nullptr;
}

// A key whose columns are the primary key's or a unique index's refers from at most one row.
bool UniqueColumns(const TCatalogueObject& object, const QStringList& columns)
{
    if (object.primaryKey && SameColumns(object.primaryKey->columns, columns))
        return true;
    for (const TCatalogueIndex& index : object.indexes) {
        if (!index.unique || !index.filter.isEmpty())
            continue;
        QStringList names;
        for (const TCatalogueIndexColumn& column : index.columns)
            names.append(column.name);
        if (SameColumns(names, columns))
            return true;
    }
    return false;
}

int RowOf(const TDiagramBox& box, const QStringList& columns)
{
    if (columns.isEmpty())
        return -1;
    for (qsizetype i = 0; i < box.columns.size(); ++i) {
        if (box.columns.at(i).name.compare(columns.first(), Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QString LineTitle(const TDiagramBox& from, const TDiagramBox& to, const TCatalogueForeignKey& key)
{
    QString title;
    if (!key.name.isEmpty())
        title = key.name + QStringLiteral(": ");
    title += from.name + QStringLiteral(" (") + key.columns.join(QStringLiteral(", ")) +
             QStringLiteral(") → ") + to.name + QStringLiteral(" (") +
             key.referencedColumns.join(QStringLiteral(", ")) + QStringLiteral("); ") +
             LoadUIText(kTextOnUpdate) + QLatin1Char(' ') + ReferentialActionText(key.onUpdate) +
             QStringLiteral(", ") + LoadUIText(kTextOnDelete) + QLatin1Char(' ') +
             ReferentialActionText(key.onDelete);
    if (!key.enforced)
        title += QStringLiteral(", ") + LoadUIText(kTextNotEnforced);
    return title;
}

// Finds a referenced table among the boxes: the same name in the same schema, else the same name
// in another letter case (Access and most collations do not tell them apart).
class TBoxIndex
{
public:
    explicit TBoxIndex(const QList<TDiagramBox>& boxes) : m_boxes(boxes)
    {
        for (qsizetype i = 0; i < boxes.size(); ++i)
            m_byName[boxes.at(i).object->name.toCaseFolded()].append(int(i));
    }

    int find(const TCatalogueForeignKey& key) const
    {
        const auto it = m_byName.constFind(key.referencedTable.toCaseFolded());
        if (it == m_byName.constEnd())
            return -1;
        int fallback = -1;
        for (int i : *it) {
            const TCatalogueObject& object = *m_boxes.at(i).object;
            if (!References(key, object))
                continue;
            if (object.name == key.referencedTable)
                return i;
            if (fallback < 0)
                fallback = i;
        }
        return fallback;
    }

private:
    const QList<TDiagramBox>& m_boxes;
    QHash<QString, QList<int>> m_byName;
};

QList<TDiagramColumn> BoxColumns(const TCatalogueObject& object, const QSet<QString>& referenced,
                                 const TDiagramOptions& options)
{
    QStringList foreign;
    for (const TCatalogueForeignKey& key : object.foreignKeys)
        foreign.append(key.columns);
    const QStringList primary = object.primaryKey ? object.primaryKey->columns : QStringList();
    const bool all = options.columns == TDiagramColumns::All;
    auto make = [&](const TCatalogueColumn& column) {
        TDiagramColumn out;
        out.name = column.name;
        if (all)
            out.typeName = column.typeName;
        out.primaryKey = Contains(primary, column.name);
        out.foreignKey = Contains(foreign, column.name);
        return out;
    };
    QList<TDiagramColumn> columns;
    for (const QString& name : primary) {
        if (const TCatalogueColumn* column = FindColumn(object, name))
            columns.append(make(*column));
    }
    for (const TCatalogueColumn& column : object.columns) {
        if (Contains(primary, column.name))
            continue;
        if (all || Contains(foreign, column.name) || referenced.contains(column.name.toCaseFolded()))
            columns.append(make(column));
    }
    return columns;
}

// Union-find over the boxes; the root of a set is its smallest box.
int Root(QList<int>& parent, int i)
{
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

TDiagramPanel PanelOf(const TDiagramGraph& graph, TDiagramPanelKind kind, const QList<int>& boxes)
{
    TDiagramPanel panel;
    panel.kind = kind;
    panel.boxes = boxes;
    std::sort(panel.boxes.begin(), panel.boxes.end());
    QList<bool> in(graph.boxes.size(), false);
    for (int box : panel.boxes)
        in[box] = true;
    for (qsizetype i = 0; i < graph.lines.size(); ++i) {
        if (in[graph.lines.at(i).from] && in[graph.lines.at(i).to])
            panel.lines.append(int(i));
    }
    return panel;
}

} // namespace

QList<const TCatalogueObject*> DiagramObjects(const QList<const TCatalogueObject*>& objects)
{
    QList<const TCatalogueObject*> tables;
    for (const TCatalogueObject* object : objects) {
        if (IsTableKind(object->kind))
            tables.append(object);
    }
    return tables.isEmpty() ? objects : tables;
}

TDiagramGraph BuildDiagramGraph(const QList<const TCatalogueObject*>& objects, const TDiagramOptions& options)
{
    TDiagramGraph graph;
    graph.boxes.reserve(objects.size());
    for (const TCatalogueObject* object : objects) {
        TDiagramBox box;
        box.name = object->listName();
        box.object = object;
        graph.boxes.append(box);
    }
    const TBoxIndex index(graph.boxes);

    // The referenced columns first: a key to a unique index's columns shows them in the box.
    struct TFound
    {
        int from;
        int to;
        const TCatalogueForeignKey* key;
    };
    QList<TFound> found;
    QList<QSet<QString>> referenced(graph.boxes.size());
    for (qsizetype from = 0; from < graph.boxes.size(); ++from) {
        for (const TCatalogueForeignKey& key : graph.boxes.at(from).object->foreignKeys) {
            const int to = index.find(key);
            if (to < 0)
                continue;
            found.append(TFound{int(from), to, &key});
            for (const QString& column : key.referencedColumns)
                referenced[to].insert(column.toCaseFolded());
        }
    }
    for (qsizetype i = 0; i < graph.boxes.size(); ++i)
        graph.boxes[i].columns = BoxColumns(*graph.boxes.at(i).object, referenced.at(i), options);

    for (const TFound& f : found) {
        const TCatalogueObject& referring = *graph.boxes.at(f.from).object;
        TDiagramLine line;
        line.from = f.from;
        line.to = f.to;
        line.key = f.key;
        line.fromRow = RowOf(graph.boxes.at(f.from), f.key->columns);
        line.toRow = RowOf(graph.boxes.at(f.to), f.key->referencedColumns);
        line.fromEnd =
            UniqueColumns(referring, f.key->columns) ? TDiagramEnd::ZeroOrOne : TDiagramEnd::ZeroOrMany;
        const bool nullable =
            std::any_of(f.key->columns.begin(), f.key->columns.end(), [&](const QString& name) {
                const TCatalogueColumn* column = FindColumn(referring, name);
                return column == nullptr || column->nullable;
            });
        line.toEnd = nullable ? TDiagramEnd::ZeroOrOne : TDiagramEnd::One;
        line.title = LineTitle(graph.boxes.at(f.from), graph.boxes.at(f.to), *f.key);
        graph.lines.append(line);
    }
    return graph;
}

TDiagramGroups DiagramGroups(const TDiagramGraph& graph)
{
    const int count = int(graph.boxes.size());
    QList<int> parent(count);
    std::iota(parent.begin(), parent.end(), 0);
    QList<bool> related(count, false);
    for (const TDiagramLine& line : graph.lines) {
        related[line.from] = true;
        related[line.to] = true;
        const int a = Root(parent, line.from);
        const int b = Root(parent, line.to);
        if (a != b)
            parent[std::max(a, b)] = std::min(a, b);
    }
    TDiagramGroups out;
    QHash<int, qsizetype> groupOfRoot;
    for (int i = 0; i < count; ++i) {
        if (!related.at(i)) {
            out.unrelated.append(i);
            continue;
        }
        const int root = Root(parent, i);
        const auto it = groupOfRoot.constFind(root);
        if (it == groupOfRoot.constEnd()) {
            groupOfRoot.insert(root, out.groups.size());
            out.groups.append(QList<int>{i});
        } else {
            out.groups[*it].append(i);
        }
    }
    return out;
}

QList<TDiagramPanel> PlanDiagrams(const TDiagramGraph& graph, int limit)
{
    QList<TDiagramPanel> panels;
    if (graph.boxes.isEmpty())
        return panels;
    limit = std::max(limit, 1);
    if (graph.boxes.size() <= limit) {
        QList<int> all(graph.boxes.size());
        std::iota(all.begin(), all.end(), 0);
        panels.append(PanelOf(graph, TDiagramPanelKind::Whole, all));
        return panels;
    }
    const TDiagramGroups groups = DiagramGroups(graph);
    int number = 0;
    for (const QList<int>& group : groups.groups) {
        ++number;
        if (group.size() <= limit) {
            panels.append(PanelOf(graph, TDiagramPanelKind::Group, group));
            panels.last().number = number;
        } else {
            for (int box : group)
                panels.append(NeighbourPanel(graph, box));
        }
    }
    for (qsizetype start = 0; start < groups.unrelated.size(); start += limit)
        panels.append(PanelOf(graph, TDiagramPanelKind::Unrelated, groups.unrelated.mid(start, limit)));
    return panels;
}

TDiagramPanel NeighbourPanel(const TDiagramGraph& graph, int box)
{
    QList<int> boxes{box};
    for (const TDiagramLine& line : graph.lines) {
        if (line.from == box && !boxes.contains(line.to))
            boxes.append(line.to);
        if (line.to == box && !boxes.contains(line.from))
            boxes.append(line.from);
    }
    TDiagramPanel panel = PanelOf(graph, TDiagramPanelKind::Neighbours, boxes);
    panel.focus = box;
    return panel;
}

QString DiagramPanelTitle(const TDiagramGraph& graph, const TDiagramPanel& panel)
{
    switch (panel.kind) {
    case TDiagramPanelKind::Whole:
        return QString();
    case TDiagramPanelKind::Group:
        return LoadUIText(kTextGroup).arg(panel.number).arg(panel.boxes.size());
    case TDiagramPanelKind::Unrelated:
        return LoadUIText(kTextUnrelated);
    case TDiagramPanelKind::Neighbours:
        break;
    }
    return LoadUIText(kTextNeighbours).arg(graph.boxes.at(panel.focus).name);
}

QString DiagramColumnMark(const TDiagramColumn& column)
{
    if (column.primaryKey && column.foreignKey)
        return QStringLiteral("PK FK");
    if (column.primaryKey)
        return QStringLiteral("PK");
    if (column.foreignKey)
        return QStringLiteral("FK");
    return QString();
}
