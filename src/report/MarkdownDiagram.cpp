#include "MarkdownDiagram.h"

#include "StructureDetail.h"
#include "StructureMarkdown.h"
#include "UIText.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kTextRelationships = 503;
constexpr int kTextContents = 504;

// Words Mermaid's erDiagram reads as its own when they stand bare.
bool MermaidWord(const QString& name)
{
    static const QSet<QString> words{
        QStringLiteral("erdiagram"),  QStringLiteral("direction"), QStringLiteral("style"),
        QStringLiteral("classdef"),   QStringLiteral("class"),     QStringLiteral("acctitle"),
        QStringLiteral("accdescr"),   QStringLiteral("title"),     QStringLiteral("pk"),
        QStringLiteral("fk"),         QStringLiteral("uk"),        QStringLiteral("to"),
        QStringLiteral("optionally"), QStringLiteral("one"),       QStringLiteral("zero"),
        QStringLiteral("many"),       QStringLiteral("only"),      QStringLiteral("or"),
        QStringLiteral("more"),       QStringLiteral("end"),       QStringLiteral("subgraph"),
        QStringLiteral("tb"),         QStringLiteral("bt"),        QStringLiteral("lr"),
        QStringLiteral("rl"),         QStringLiteral("u"),         QStringLiteral("default")};
    return words.contains(name.toLower());
}

bool Bare(const QString& name)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return identifier.match(name).hasMatch() && !MermaidWord(name);
}

// A name inside Mermaid's quotes: its quotes cannot hold '"', '%' (comments), '\\' or line breaks.
bool Quotable(const QString& name)
{
    if (name.trimmed().isEmpty())
        return false;
    for (const QChar c : name) {
        if (c == u'"' || c == u'%' || c == u'\\' || c == u'#' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

// The text shown for a name that cannot be quoted: the characters Mermaid cannot take as look-alikes.
QString LookAlike(const QString& name)
{
    QString out;
    for (const QChar c : name) {
        if (c == u'"')
            out += QChar(0x201d); // right double quotation mark
        else if (c == u'%')
            out += QChar(0xff05); // fullwidth percent sign
        else if (c == u'\\')
            out += QChar(0x2216); // set minus, which looks like a backslash
        else if (c == u'#')
            out += QChar(0xff03); // fullwidth number sign
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QLatin1Char(' ');
        else
            out += c;
    }
    return out.trimmed().isEmpty() ? QStringLiteral("_") : out;
}

// An attribute's type or name as a Mermaid word: letters, digits, '_' and '-', starting with a
// letter or '_'.
QString Word(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        const bool ascii = c.unicode() < 0x80;
        out += ascii && (c.isLetterOrNumber() || c == u'_' || c == u'-') ? c : QChar(u'_');
    }
    if (out.isEmpty() || !(out.at(0).isLetter() || out.at(0) == u'_'))
        out.prepend(QLatin1Char('_'));
    return out;
}

const TCatalogueColumn* FindColumn(const TCatalogueObject& object, const QString& name)
{
    for (const TCatalogueColumn& column : object.columns) {
        if (column.name.compare(name, Qt::CaseInsensitive) == 0)
            return &column;
    }
    return nullptr;
}

bool InPrimaryKey(const TCatalogueObject& object, const QStringList& columns)
{
    if (!object.primaryKey || columns.isEmpty())
        return false;
    for (const QString& name : columns) {
        const bool found =
            std::any_of(object.primaryKey->columns.begin(), object.primaryKey->columns.end(),
                        [&name](const QString& key) { return key.compare(name, Qt::CaseInsensitive) == 0; });
        if (!found)
            return false;
    }
    return true;
}

// The entity names of the boxes of a picture: bare, quoted, or an alias under a made-up name.
struct TEntity
{
    QString id;    // how the relationships name it
    QString alias; // ["..."] after its name in its block, or empty
};

QList<TEntity> Entities(const TDiagramGraph& graph, const TDiagramPanel& panel)
{
    QSet<QString> taken;
    for (int b : panel.boxes) {
        const QString& name = graph.boxes.at(b).name;
        if (Bare(name))
            taken.insert(name);
        else if (Quotable(name))
            taken.insert(QLatin1Char('"') + name + QLatin1Char('"'));
    }
    QList<TEntity> entities(graph.boxes.size());
    int made = 0;
    for (int b : panel.boxes) {
        const QString& name = graph.boxes.at(b).name;
        TEntity& entity = entities[b];
        if (Bare(name)) {
            entity.id = name;
        } else if (Quotable(name)) {
            entity.id = QLatin1Char('"') + name + QLatin1Char('"');
        } else {
            do
                entity.id = QStringLiteral("table_%1").arg(++made);
            while (taken.contains(entity.id));
            taken.insert(entity.id);
            entity.alias = QStringLiteral("[\"") + LookAlike(name) + QStringLiteral("\"]");
        }
    }
    return entities;
}

QString Comment(const QString& text)
{
    QString out = LookAlike(text);
    return QStringLiteral(" \"") + out + QLatin1Char('"');
}

} // namespace

QString MarkdownSlug(const QString& heading)
{
    QString slug;
    for (const QChar c : heading.toLower()) {
        if (c == u' ')
            slug += QLatin1Char('-');
        else if (c.isLetterOrNumber() || c.isMark() || c == u'_' || c == u'-')
            slug += c;
    }
    return slug;
}

TMarkdownAnchors::TMarkdownAnchors(const QStringList& headings, const QList<const TCatalogueObject*>& objects)
    : m_documented(objects)
{
    QHash<QString, int> seen;
    const auto unique = [&seen](const QString& heading) {
        const QString base = MarkdownSlug(heading);
        QString slug = base;
        while (seen.contains(slug)) {
            int& count = seen[base];
            slug = base + QLatin1Char('-') + QString::number(++count);
        }
        seen.insert(slug, 0);
        return slug;
    };
    for (const QString& heading : headings)
        m_headings.append(unique(heading));
    for (const TCatalogueObject* object : objects)
        m_objects.insert(object, unique(object->listName()));
}

const TCatalogueObject* TMarkdownAnchors::referenced(const TCatalogueForeignKey& key) const
{
    return ReferencedObject(key, m_documented);
}

QString TMarkdownAnchors::objectText(const TCatalogueObject& object) const
{
    const QString name = MarkdownText(QualifiedName(object.schema, object.name));
    const QString target = anchor(&object);
    return target.isEmpty() ? name
                            : QLatin1Char('[') + name + QStringLiteral("](#") + target + QLatin1Char(')');
}

QString TMarkdownAnchors::referencedText(const TCatalogueForeignKey& key) const
{
    const TCatalogueObject* object = referenced(key);
    if (object == nullptr)
        return MarkdownText(ReferencedText(key));
    QStringList columns;
    for (const QString& column : key.referencedColumns)
        columns.append(MarkdownText(column));
    return objectText(*object) + QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QStringList MarkdownOverviewHeadings(const QList<const TCatalogueObject*>& objects)
{
    QStringList headings;
    if (objects.isEmpty())
        return headings;
    headings.append(LoadUIText(kTextContents));
    headings.append(LoadUIText(kTextRelationships));
    return headings;
}

void WriteMarkdownOverview(QString& out, const QList<const TCatalogueObject*>& objects,
                           const TMarkdownAnchors& anchors, const TDiagramOptions& options)
{
    if (objects.isEmpty())
        return;
    out += QStringLiteral("## ") + MarkdownText(LoadUIText(kTextContents)) + QStringLiteral("\n\n");
    for (const TCatalogueObject* object : objects)
        out += QStringLiteral("- ") + anchors.objectText(*object) + QLatin1Char('\n');
    out += QLatin1Char('\n');

    const QList<const TCatalogueObject*> drawn = DiagramObjects(objects);
    const TDiagramGraph graph = BuildDiagramGraph(drawn, options);
    out += QStringLiteral("## ") + MarkdownText(LoadUIText(kTextRelationships)) + QStringLiteral("\n\n");
    for (const TDiagramPanel& panel : PlanDiagrams(graph, options.limit)) {
        // A picture per table would bury the page; its links say the same.
        if (panel.kind == TDiagramPanelKind::Neighbours)
            continue;
        const QString caption = DiagramPanelTitle(graph, panel);
        if (!caption.isEmpty())
            out += QStringLiteral("**") + MarkdownText(caption) + QStringLiteral("**\n\n");
        out += QStringLiteral("```mermaid\n") + MermaidErDiagram(graph, panel) + QStringLiteral("```\n\n");
    }
}

QString MermaidErDiagram(const TDiagramGraph& graph, const TDiagramPanel& panel)
{
    const QList<TEntity> entities = Entities(graph, panel);
    QString out = QStringLiteral("erDiagram\n");
    for (int b : panel.boxes) {
        const TDiagramBox& box = graph.boxes.at(b);
        const TEntity& entity = entities.at(b);
        out += QStringLiteral("    ") + entity.id + entity.alias;
        if (box.columns.isEmpty()) {
            out += QLatin1Char('\n');
            continue;
        }
        out += QStringLiteral(" {\n");
        for (const TDiagramColumn& column : box.columns) {
            const TCatalogueColumn* source = FindColumn(*box.object, column.name);
            const QString name = Word(column.name);
            out += QStringLiteral("        ") + Word(source != nullptr ? source->typeName : column.typeName) +
                   QLatin1Char(' ') + name;
            QStringList keys;
            if (column.primaryKey)
                keys.append(QStringLiteral("PK"));
            if (column.foreignKey)
                keys.append(QStringLiteral("FK"));
            if (!keys.isEmpty())
                out += QLatin1Char(' ') + keys.join(QStringLiteral(", "));
            // A name Mermaid had to spell otherwise is shown whole in the attribute's comment.
            if (name != column.name)
                out += Comment(column.name);
            out += QLatin1Char('\n');
        }
        out += QStringLiteral("    }\n");
    }
    for (int l : panel.lines) {
        const TDiagramLine& line = graph.lines.at(l);
        const QString toEnd = line.toEnd == TDiagramEnd::One ? QStringLiteral("||") : QStringLiteral("|o");
        const QString fromEnd =
            line.fromEnd == TDiagramEnd::ZeroOrMany ? QStringLiteral("o{") : QStringLiteral("o|");
        // Mermaid's solid line is an identifying relationship: the key is part of the referring
        // table's primary key.
        const QString style = InPrimaryKey(*graph.boxes.at(line.from).object, line.key->columns)
                                  ? QStringLiteral("--")
                                  : QStringLiteral("..");
        QString label =
            line.key->name.isEmpty() ? line.key->columns.join(QStringLiteral(", ")) : line.key->name;
        out += QStringLiteral("    ") + entities.at(line.to).id + QLatin1Char(' ') + toEnd + style + fromEnd +
               QLatin1Char(' ') + entities.at(line.from).id + QStringLiteral(" :") + Comment(label) +
               QLatin1Char('\n');
    }
    return out;
}
