#include "StructureHtml.h"

#include "DiagramSvg.h"
#include "EngineTraits.h"
#include "MarkdownDiagram.h"
#include "StructureDetail.h"
#include "StructureJson.h"
#include "StructureTexts.h"
#include "UIText.h"

#include <QHash>

#include <algorithm>

namespace {

using namespace StructureTexts;

constexpr int kTextRelationships = 503;
constexpr int kTextContents = 504;
constexpr int kTextFilter = 505;
constexpr int kTextWrittenBy = 522;

constexpr char kStyle[] = R"(
*{box-sizing:border-box}
body{margin:0;font-family:system-ui,-apple-system,"Segoe UI",Roboto,"Liberation Sans",sans-serif;color:#1d2733;line-height:1.45;background:#fff}
header{padding:1rem 1.5rem;background:#243447;color:#fff}
header h1{margin:0 0 .3rem;font-size:1.6rem;overflow-wrap:anywhere}
header p{margin:0;opacity:.9;overflow-wrap:anywhere}
.layout{display:flex;align-items:flex-start}
nav{position:sticky;top:0;flex:none;width:17rem;max-height:100vh;overflow:auto;padding:1rem;border-right:1px solid #d5dbe3;background:#f7f9fb}
nav h2{font-size:1.1rem;margin:0 0 .5rem}
nav input{width:100%;padding:.35rem .5rem;margin-bottom:.5rem;font:inherit}
nav ul{list-style:none;margin:0;padding:0}
nav li{margin:.1rem 0;overflow-wrap:anywhere}
main{flex:1;min-width:0;padding:1rem 1.5rem}
section{margin-bottom:2rem}
h2{font-size:1.3rem;border-bottom:1px solid #d5dbe3;padding-bottom:.2rem;overflow-wrap:anywhere}
h3{font-size:1rem;margin:1rem 0 .3rem}
.scroll{overflow-x:auto;max-width:100%}
table{border-collapse:collapse;font-size:.92rem}
th,td{border:1px solid #d5dbe3;padding:.2rem .5rem;text-align:left;vertical-align:top}
th{background:#eef2f6}
td.number{text-align:right}
code,pre{font-family:"Liberation Mono","DejaVu Sans Mono",monospace;font-size:.9em}
pre{margin:.3rem 0 .8rem;padding:.5rem .7rem;background:#f7f9fb;border:1px solid #e3e7ec;overflow-x:auto;white-space:pre}
.key{color:#8a5a00;font-weight:bold}
figure{margin:.5rem 0;overflow:auto;max-width:100%;border:1px solid #e3e7ec;background:#fff}
figure svg{display:block}
a{color:#1a5fb4}
a:target,section:target h2{background:#fff3c4}
@media (max-width:48rem){.layout{display:block}nav{position:static;width:auto;max-height:none;border-right:0;border-bottom:1px solid #d5dbe3}main{padding:1rem}}
@media print{pre{white-space:pre-wrap;overflow:visible}nav input{display:none}.layout{display:block}nav{position:static;width:auto;max-height:none;overflow:visible;border:0;background:none}header{background:none;color:#000;padding:0 0 1rem}main{padding:0}figure{overflow:visible;border:0}figure svg{max-width:100%;height:auto}section.table{break-inside:avoid-page}h2,h3{break-after:avoid}a{color:inherit;text-decoration:none}.scroll{overflow:visible}}
)";

// The filter hides the contents' entries that do not hold the typed text.
constexpr char kScript[] = R"(
(function () {
  var box = document.getElementById('filter');
  var items = document.querySelectorAll('#contents li');
  box.addEventListener('input', function () {
    var wanted = box.value.toLowerCase();
    for (var i = 0; i < items.length; ++i)
      items[i].hidden = wanted !== '' && items[i].textContent.toLowerCase().indexOf(wanted) < 0;
  });
})();
)";

QString Html(const QString& text)
{
    QString out = XmlText(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

// Text kept as it is, line by line, for a <pre> block.
QString Verbatim(const QString& text)
{
    QString out = XmlText(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

QString SqlBlock(const QString& sql)
{
    return QStringLiteral("<pre><code class=\"sql\">") + Verbatim(sql) + QStringLiteral("</code></pre>\n");
}

QString Label(int id)
{
    QString text = LoadUIText(id).trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

QString Names(const QStringList& names)
{
    QStringList escaped;
    for (const QString& name : names)
        escaped.append(Html(name));
    return escaped.join(QStringLiteral(", "));
}

class THtmlWriter
{
public:
    THtmlWriter(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                const TDiagramOptions& options)
        : m_catalogue(catalogue), m_objects(objects),
          m_graph(BuildDiagramGraph(DiagramObjects(objects), options))
    {
        QHash<QString, int> seen;
        for (qsizetype i = 0; i < objects.size(); ++i) {
            const QString base = QStringLiteral("table-") + MarkdownSlug(objects.at(i)->listName());
            QString id = base;
            for (int n = 1; seen.contains(id); ++n)
                id = base + QLatin1Char('-') + QString::number(n);
            seen.insert(id, 0);
            m_ids.insert(objects.at(i), id);
        }
        for (qsizetype i = 0; i < m_graph.boxes.size(); ++i)
            m_boxOf.insert(m_graph.boxes.at(i).object, int(i));
        m_plan = PlanDiagrams(m_graph, options.limit);
    }

    QString document(const QString& program)
    {
        const QString title = DocumentTitle(m_catalogue);
        QString out =
            QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n"
                           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                           "<title>%2</title>\n<style>")
                .arg(CurrentLanguage == 1 ? QStringLiteral("de") : QStringLiteral("en"), Html(title));
        out += QLatin1String(kStyle);
        out += QStringLiteral("</style>\n</head>\n<body>\n<header>\n<h1>") + Html(title) +
               QStringLiteral("</h1>\n<p>");
        QStringList facts;
        facts.append(Label(kTextProvider) + QStringLiteral(": ") +
                     Html(LoadUIText(EngineTraitsOfWord(m_catalogue.provider).nameText)));
        if (!m_catalogue.server.isEmpty())
            facts.append(Label(kTextServer) + QStringLiteral(": ") + Html(m_catalogue.server));
        facts.append(Label(kTextDatabase) + QStringLiteral(": ") + Html(m_catalogue.database));
        if (!program.isEmpty())
            facts.append(Html(LoadUIText(kTextWrittenBy).arg(program)));
        out +=
            facts.join(QStringLiteral(" · ")) + QStringLiteral("</p>\n</header>\n<div class=\"layout\">\n");
        out += contents();
        out += QStringLiteral("<main>\n");
        out += diagrams();
        for (const TCatalogueObject* object : m_objects)
            out += table(*object);
        out += QStringLiteral("</main>\n</div>\n<script>");
        out += QLatin1String(kScript);
        out += QStringLiteral("</script>\n</body>\n</html>\n");
        return out;
    }

private:
    QString link(const TCatalogueObject& object, const QString& text) const
    {
        const QString id = m_ids.value(&object);
        return id.isEmpty() ? Html(text)
                            : QStringLiteral("<a href=\"#") + id + QStringLiteral("\">") + Html(text) +
                                  QStringLiteral("</a>");
    }

    QString contents() const
    {
        QString out = QStringLiteral("<nav id=\"contents\" aria-label=\"%1\">\n<h2>%1</h2>\n")
                          .arg(Html(Label(kTextContents)));
        out += QStringLiteral("<input type=\"search\" id=\"filter\" placeholder=\"%1\" aria-label=\"%1\">\n")
                   .arg(Html(Label(kTextFilter)));
        out += QStringLiteral("<ul>\n");
        if (!m_plan.isEmpty())
            out += QStringLiteral("<li><a href=\"#relationships\">") + Html(Label(kTextRelationships)) +
                   QStringLiteral("</a></li>\n");
        for (const TCatalogueObject* object : m_objects)
            out += QStringLiteral("<li>") + link(*object, object->listName()) + QStringLiteral("</li>\n");
        return out + QStringLiteral("</ul>\n</nav>\n");
    }

    QString svg(const QList<TDiagramPicture>& pictures, const QString& prefix) const
    {
        TDiagramSvgOptions options;
        options.standalone = false;
        options.idPrefix = prefix;
        options.boxLink = [this](int box) {
            return QLatin1Char('#') + m_ids.value(m_graph.boxes.at(box).object);
        };
        return QString::fromUtf8(DiagramSvg(m_graph, pictures, options));
    }

    QString diagrams() const
    {
        if (m_plan.isEmpty())
            return QString();
        QString out = QStringLiteral("<section id=\"relationships\">\n<h2>") +
                      Html(Label(kTextRelationships)) + QStringLiteral("</h2>\n");
        // Pictures side by side would need a wide screen; one under the other each scrolls alone.
        // A table's neighbours are drawn in its own section.
        for (qsizetype i = 0; i < m_plan.size(); ++i) {
            if (m_plan.at(i).kind != TDiagramPanelKind::Neighbours)
                out += QStringLiteral("<figure>\n") +
                       svg({LayOutDiagram(m_graph, m_plan.at(i))}, QStringLiteral("d%1-").arg(i)) +
                       QStringLiteral("</figure>\n");
        }
        return out + QStringLiteral("</section>\n");
    }

    QString table(const TCatalogueObject& object) const
    {
        QString out = QStringLiteral("<section class=\"table\" id=\"%1\">\n<h2>%2</h2>\n")
                          .arg(m_ids.value(&object), Html(object.listName()));
        if (!object.description.isEmpty())
            out += QStringLiteral("<p>") + Html(object.description) + QStringLiteral("</p>\n");
        if (object.link) {
            const TCatalogueLink& l = *object.link;
            out += QStringLiteral("<p>") + Html(Label(kTextLinkedTo)) + QStringLiteral(": ") +
                   Html(l.odbc.isEmpty() ? l.file + QStringLiteral(": ") + l.table : l.odbc) +
                   QStringLiteral("</p>\n");
        }
        out += facts(object);
        if (!object.columns.isEmpty()) {
            out += QStringLiteral("<div class=\"scroll\"><table>\n<thead><tr><th>#</th><th>%1</th><th>%2</th>"
                                  "<th>%3</th><th>%4</th><th>%5</th><th>%6</th></tr></thead>\n<tbody>\n")
                       .arg(Html(Label(kTextColumn)), Html(Label(kTextType)), Html(Label(kTextLength)),
                            Html(Label(kTextNullable)), Html(Label(kTextDefault)),
                            Html(Label(kTextDescription)));
            const QStringList primary = object.primaryKey ? object.primaryKey->columns : QStringList();
            for (const TCatalogueColumn& column : object.columns) {
                QString defaultText;
                if (!column.defaultValue.isEmpty())
                    defaultText =
                        QStringLiteral("<code>") + Html(column.defaultValue) + QStringLiteral("</code>");
                if (!column.computed.isEmpty())
                    defaultText = Html(Label(kTextComputed)) + QStringLiteral(": <code>") +
                                  Html(column.computed) + QStringLiteral("</code>");
                if (column.autoIncrement)
                    defaultText = Html(Label(EngineTraitsOfWord(m_catalogue.provider).autoIncrementText));
                const bool key = primary.contains(column.name, Qt::CaseInsensitive);
                out += QStringLiteral("<tr><td class=\"number\">%1</td><td>%2%3</td><td>%4</td>"
                                      "<td class=\"number\">%5</td><td>%6</td><td>%7</td><td>%8</td></tr>\n")
                           .arg(QString::number(column.number), Html(column.name),
                                key ? QStringLiteral(" <span class=\"key\">PK</span>") : QString(),
                                Html(DeclaredTypeText(m_catalogue, column)), QString::number(column.length),
                                Html(Label(column.nullable ? kTextYes : kTextNo)), defaultText,
                                Html(column.description));
            }
            out += QStringLiteral("</tbody>\n</table></div>\n");
        }
        out += fieldProperties(object);
        if (object.primaryKey) {
            out += QStringLiteral("<h3>") + Html(Label(kTextPrimaryKey)) + QStringLiteral("</h3>\n<p>") +
                   Html(object.primaryKey->name) + QStringLiteral(" (") + Names(object.primaryKey->columns) +
                   QStringLiteral(")</p>\n");
        }
        const QList<TCatalogueIndex> indexes = IndexesByName(object.indexes);
        if (!indexes.isEmpty()) {
            out += QStringLiteral("<h3>") + Html(Label(kTextIndexes)) + QStringLiteral("</h3>\n<ul>\n");
            for (const TCatalogueIndex& index : indexes)
                out += QStringLiteral("<li>") + Html(IndexText(index)) +
                       (index.unique ? QStringLiteral(" (") + Html(Label(kTextUniqueIndex)) + QLatin1Char(')')
                                     : QString()) +
                       QStringLiteral("</li>\n");
            out += QStringLiteral("</ul>\n");
        }
        const QList<TCatalogueForeignKey> keys = ForeignKeysByName(object.foreignKeys);
        if (!keys.isEmpty()) {
            out += QStringLiteral("<h3>") + Html(Label(kTextForeignKeys)) + QStringLiteral("</h3>\n<ul>\n");
            for (const TCatalogueForeignKey& key : keys) {
                const TCatalogueObject* target = ReferencedObject(key, m_objects);
                const QString name = QualifiedName(key.referencedSchema, key.referencedTable);
                out +=
                    QStringLiteral("<li>") + Html(key.name) + QStringLiteral(" (") + Names(key.columns) +
                    QStringLiteral(") → ") + (target != nullptr ? link(*target, name) : Html(name)) +
                    QStringLiteral(" (") + Names(key.referencedColumns) + QStringLiteral("); ") +
                    Html(LoadUIText(kTextOnUpdate)) + QLatin1Char(' ') +
                    Html(ReferentialActionText(key.onUpdate)) + QStringLiteral(", ") +
                    Html(LoadUIText(kTextOnDelete)) + QLatin1Char(' ') +
                    Html(ReferentialActionText(key.onDelete)) +
                    (key.enforced ? QString() : QStringLiteral(", ") + Html(LoadUIText(kTextNotEnforced))) +
                    QStringLiteral("</li>\n");
            }
            out += QStringLiteral("</ul>\n");
        }
        QString referencing;
        for (const TCatalogueObject& other : m_catalogue.objects) {
            for (const TCatalogueForeignKey& key : other.foreignKeys) {
                if (References(key, object))
                    referencing += QStringLiteral("<li>") +
                                   link(other, QualifiedName(other.schema, other.name)) +
                                   QStringLiteral(" (") + Names(key.columns) + QStringLiteral("): ") +
                                   Html(key.name) + QStringLiteral("</li>\n");
            }
        }
        if (!referencing.isEmpty())
            out += QStringLiteral("<h3>") + Html(Label(kTextReferencedBy)) + QStringLiteral("</h3>\n<ul>\n") +
                   referencing + QStringLiteral("</ul>\n");
        out += checksAndTriggers(object);
        out += neighbours(object);
        return out + QStringLiteral("</section>\n");
    }

    // What a query, a routine, a sequence or a synonym is, and a routine's parameters.
    static QString facts(const TCatalogueObject& object)
    {
        QStringList facts;
        const QString kind = ObjectKindText(object.kind);
        if (!kind.isEmpty())
            facts.append(QStringLiteral("<em>") + Html(kind) + QStringLiteral("</em>"));
        if (object.hidden)
            facts.append(QStringLiteral("<strong>") + Html(Label(kTextHidden)) + QStringLiteral("</strong>"));
        const auto fact = [&facts](int label, const QString& value) {
            facts.append(QStringLiteral("<strong>") + Html(Label(label)) + QStringLiteral("</strong>: ") +
                         value);
        };
        if (object.queryType)
            fact(kTextQueryType, Html(QueryTypeText(*object.queryType)));
        if (object.returns)
            fact(kTextReturns, Html(ReturnsText(*object.returns)));
        if (object.sequence)
            fact(kTextSequence, Html(SequenceText(*object.sequence)));
        if (!object.synonymTarget.isEmpty())
            fact(kTextTarget,
                 QStringLiteral("<code>") + Html(object.synonymTarget) + QStringLiteral("</code>"));
        QString out;
        if (!facts.isEmpty())
            out += QStringLiteral("<p>") + facts.join(QStringLiteral("<br>")) + QStringLiteral("</p>\n");
        if (!object.parameters.isEmpty()) {
            out += QStringLiteral("<h3>") + Html(Label(kTextParameter)) + QStringLiteral("</h3>\n<ul>\n");
            for (const TCatalogueParameter& parameter : object.parameters)
                out += QStringLiteral("<li>") + Html(ParameterText(parameter)) + QStringLiteral("</li>\n");
            out += QStringLiteral("</ul>\n");
        }
        return out;
    }

    // Access's field properties, a row for each column that has any.
    static QString fieldProperties(const TCatalogueObject& object)
    {
        const auto code = [](const QString& text) {
            return text.isEmpty() ? text : QStringLiteral("<code>") + Html(text) + QStringLiteral("</code>");
        };
        QString rows;
        for (const TCatalogueColumn& column : object.columns) {
            const QStringList cells{
                Html(column.properties->caption),
                code(column.properties->format),
                code(column.properties->inputMask),
                column.properties->decimalPlaces ? QString::number(*column.properties->decimalPlaces)
                                                 : QString(),
                column.properties->allowZeroLength ? Html(Label(kTextYes)) : QString(),
                column.properties->lookup ? Html(LookupText(*column.properties->lookup)) : QString()};
            if (std::all_of(cells.begin(), cells.end(), [](const QString& cell) { return cell.isEmpty(); }))
                continue;
            rows += QStringLiteral("<tr><td>") + Html(column.name) + QStringLiteral("</td><td>") +
                    cells.join(QStringLiteral("</td><td>")) + QStringLiteral("</td></tr>\n");
        }
        if (rows.isEmpty())
            return QString();
        QString out = QStringLiteral("<div class=\"scroll\"><table>\n<thead><tr><th>") +
                      Html(Label(kTextColumn)) + QStringLiteral("</th>");
        for (int label = kTextCaption; label < kTextCaption + 6; ++label)
            out += QStringLiteral("<th>") + Html(Label(label)) + QStringLiteral("</th>");
        return out + QStringLiteral("</tr></thead>\n<tbody>\n") + rows +
               QStringLiteral("</tbody>\n</table></div>\n");
    }

    QString checksAndTriggers(const TCatalogueObject& object) const
    {
        QString out;
        if (!object.checks.isEmpty()) {
            out += QStringLiteral("<h3>") + Html(Label(EngineTraitsOfWord(m_catalogue.provider).checkText)) +
                   QStringLiteral("</h3>\n<ul>\n");
            for (const TCatalogueCheck& check : object.checks) {
                const QString owner = CheckOwnerText(check);
                out += QStringLiteral("<li>");
                if (!owner.isEmpty())
                    out += Html(owner) + QStringLiteral(": ");
                out += QStringLiteral("<code>") + Html(check.definition) + QStringLiteral("</code>");
                if (!check.enforced)
                    out += QStringLiteral(", ") + Html(LoadUIText(kTextNotEnforced));
                if (!check.text.isEmpty())
                    out += QStringLiteral("; ") + Html(Label(kTextRuleText)) + QStringLiteral(": ") +
                           Html(check.text);
                out += QStringLiteral("</li>\n");
            }
            out += QStringLiteral("</ul>\n");
        }
        for (const TCatalogueTrigger& trigger : object.triggers) {
            out += QStringLiteral("<h3>") + Html(Label(kTextTrigger)) + QStringLiteral(": ") +
                   Html(TriggerHeadText(trigger)) + QStringLiteral("</h3>\n");
            if (!trigger.definition.isEmpty())
                out += SqlBlock(trigger.definition);
            else if (trigger.encrypted)
                out += QStringLiteral("<p><em>") + Html(EncryptedText()) + QStringLiteral("</em></p>\n");
        }
        if (!object.definition.isEmpty() || object.encrypted) {
            out += QStringLiteral("<h3>") + Html(Label(kTextDefinition)) + QStringLiteral("</h3>\n");
            out += object.definition.isEmpty()
                       ? QStringLiteral("<p><em>") + Html(EncryptedText()) + QStringLiteral("</em></p>\n")
                       : SqlBlock(object.definition);
        }
        return out;
    }

    // A table alone has no neighbours worth a picture.
    QString neighbours(const TCatalogueObject& object) const
    {
        const int box = m_boxOf.value(&object, -1);
        if (box < 0)
            return QString();
        const TDiagramPanel panel = NeighbourPanel(m_graph, box);
        if (panel.lines.isEmpty())
            return QString();
        TDiagramPicture picture = LayOutDiagram(m_graph, panel);
        return QStringLiteral("<figure>\n") + svg({picture}, QStringLiteral("n%1-").arg(box)) +
               QStringLiteral("</figure>\n");
    }

    const TCatalogue& m_catalogue;
    const QList<const TCatalogueObject*>& m_objects;
    TDiagramGraph m_graph;
    QList<TDiagramPanel> m_plan;
    QHash<const TCatalogueObject*, QString> m_ids;
    QHash<const TCatalogueObject*, int> m_boxOf;
};

} // namespace

QByteArray StructureHtml(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                         const QString& program, const TDiagramOptions& diagram)
{
    THtmlWriter writer(catalogue, objects, diagram);
    return writer.document(program).toUtf8();
}
