#include "StructureMarkdown.h"

#include "EngineTraits.h"
#include "MarkdownDiagram.h"
#include "StructureDetail.h"
#include "StructureJson.h"
#include "UIText.h"

namespace {

constexpr int kTextProvider = 155;
constexpr int kTextServer = 156;
constexpr int kTextDatabase = 157;
constexpr int kTextPrimaryKey = 330;
constexpr int kTextUniqueIndex = 332;
constexpr int kTextReferencedBy = 334;
constexpr int kTextDefault = 335;
constexpr int kTextComputed = 337;
constexpr int kTextDescription = 338;
constexpr int kTextLinkedTo = 339;
constexpr int kTextAutoNumber = 336;
constexpr int kTextIdentity = 348;
constexpr int kTextColumn = 352;
constexpr int kTextType = 353;
constexpr int kTextLength = 354;
constexpr int kTextNull = 355;
constexpr int kTextNullable = 356;
constexpr int kTextYes = 357;
constexpr int kTextNo = 358;
constexpr int kTextIndexes = 359;
constexpr int kTextForeignKeys = 360;

// The header labels carry blanks and a colon for the report's alignment; here only the word.
QString Label(int id)
{
    QString text = LoadUIText(id).trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

QString Code(const QString& text)
{
    // A code span cannot hold its own fence; longer fences around backticks would not survive a
    // table cell in every renderer, so such a text is shown escaped instead.
    if (text.contains(QLatin1Char('`')) || text.contains(QLatin1Char('|')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        return MarkdownText(text);
    return QLatin1Char('`') + text + QLatin1Char('`');
}

QString Names(const QStringList& names)
{
    QStringList escaped;
    for (const QString& name : names)
        escaped.append(MarkdownText(name));
    return escaped.join(QStringLiteral(", "));
}

void Line(QString& out, const QString& text = QString())
{
    out += text;
    out += QLatin1Char('\n');
}

void WriteObject(QString& out, const TCatalogue& catalogue, const TCatalogueObject& object,
                 const TMarkdownAnchors& anchors)
{
    const bool sqlServer = catalogue.provider == QLatin1String("SQLServer");
    Line(out, QStringLiteral("## ") + MarkdownText(object.listName()));
    Line(out);
    if (!object.description.isEmpty()) {
        Line(out, MarkdownText(object.description));
        Line(out);
    }
    if (object.link) {
        const TCatalogueLink& link = *object.link;
        Line(out, Label(kTextLinkedTo) + QStringLiteral(": ") +
                      MarkdownText(link.odbc.isEmpty() ? link.file + QStringLiteral(": ") + link.table
                                                       : link.odbc));
        Line(out);
    }
    if (!object.columns.isEmpty()) {
        Line(out, QStringLiteral("| # | ") + Label(kTextColumn) + QStringLiteral(" | ") + Label(kTextType) +
                      QStringLiteral(" | ") + Label(kTextLength) + QStringLiteral(" | ") + Label(kTextNull) +
                      QStringLiteral(" | ") + Label(kTextNullable) + QStringLiteral(" | ") +
                      Label(kTextDefault) + QStringLiteral(" | ") + Label(kTextDescription) +
                      QStringLiteral(" |"));
        Line(out, QStringLiteral("|--:|---|---|--:|:-:|:-:|---|---|"));
        for (const TCatalogueColumn& column : object.columns) {
            QString defaultText;
            if (!column.defaultValue.isEmpty())
                defaultText = Code(column.defaultValue);
            if (!column.computed.isEmpty())
                defaultText = Label(kTextComputed) + QStringLiteral(": ") + Code(column.computed);
            if (column.autoIncrement)
                defaultText = Label(sqlServer ? kTextIdentity : kTextAutoNumber);
            // The report's null mark: "+" where SQL Server forbids nulls, nothing for Access.
            const QString nullMark = sqlServer && !column.nullable ? QStringLiteral("+") : QString();
            Line(out, QStringLiteral("| ") + QString::number(column.number) + QStringLiteral(" | ") +
                          MarkdownText(column.name) + QStringLiteral(" | ") + MarkdownText(column.typeName) +
                          QStringLiteral(" | ") + QString::number(column.length) + QStringLiteral(" | ") +
                          nullMark + QStringLiteral(" | ") + Label(column.nullable ? kTextYes : kTextNo) +
                          QStringLiteral(" | ") + defaultText + QStringLiteral(" | ") +
                          MarkdownText(column.description) + QStringLiteral(" |"));
        }
        Line(out);
    }
    if (object.primaryKey) {
        Line(out, QStringLiteral("**") + Label(kTextPrimaryKey) + QStringLiteral("**: ") +
                      MarkdownText(object.primaryKey->name) + QStringLiteral(" (") +
                      Names(object.primaryKey->columns) + QLatin1Char(')'));
        Line(out);
    }
    const QList<TCatalogueIndex> indexes = IndexesByName(object.indexes);
    if (!indexes.isEmpty()) {
        Line(out, QStringLiteral("**") + Label(kTextIndexes) + QStringLiteral("**"));
        Line(out);
        for (const TCatalogueIndex& index : indexes) {
            QString text = QStringLiteral("- ") + MarkdownText(IndexText(index));
            if (index.unique)
                text += QStringLiteral(" (") + Label(kTextUniqueIndex) + QLatin1Char(')');
            Line(out, text);
        }
        Line(out);
    }
    const QList<TCatalogueForeignKey> keys = ForeignKeysByName(object.foreignKeys);
    if (!keys.isEmpty()) {
        Line(out, QStringLiteral("**") + Label(kTextForeignKeys) + QStringLiteral("**"));
        Line(out);
        for (const TCatalogueForeignKey& key : keys) {
            QString text = QStringLiteral("- ") + MarkdownText(key.name) + QStringLiteral(" (") +
                           Names(key.columns) + QStringLiteral(") → ") + anchors.referencedText(key) +
                           QStringLiteral("; ") + LoadUIText(340) + QLatin1Char(' ') +
                           ReferentialActionText(key.onUpdate) + QStringLiteral(", ") + LoadUIText(341) +
                           QLatin1Char(' ') + ReferentialActionText(key.onDelete);
            if (!key.enforced)
                text += QStringLiteral(", ") + LoadUIText(346);
            Line(out, text);
        }
        Line(out);
    }
    QStringList referencing;
    for (const TCatalogueObject& other : catalogue.objects) {
        for (const TCatalogueForeignKey& key : other.foreignKeys) {
            if (References(key, object))
                referencing.append(QStringLiteral("- ") + anchors.objectText(other) + QStringLiteral(" (") +
                                   Names(key.columns) + QStringLiteral("): ") + MarkdownText(key.name));
        }
    }
    if (!referencing.isEmpty()) {
        Line(out, QStringLiteral("**") + Label(kTextReferencedBy) + QStringLiteral("**"));
        Line(out);
        for (const QString& text : referencing)
            Line(out, text);
        Line(out);
    }
}

} // namespace

QString MarkdownText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool lineStart = true;
    bool leadingDigits = false; // "12." or "12)" at a line's start would open a numbered list
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QStringLiteral("<br>");
            lineStart = true;
            continue;
        }
        // "&" too: an entity written as text must not turn into its character.
        const bool inline_ = QStringLiteral("\\`*_[]<>|~&").contains(c);
        // Block markup ("- ", "# ", "1. ") needs a blank or the line's end after its mark.
        const bool markEnds = i + 1 == text.size() || text.at(i + 1) == QLatin1Char(' ') ||
                              text.at(i + 1) == QLatin1Char('\t') || text.at(i + 1) == QLatin1Char('\n') ||
                              text.at(i + 1) == QLatin1Char('\r');
        const bool block = markEnds && ((lineStart && QStringLiteral("#+-=").contains(c)) ||
                                        (leadingDigits && (c == QLatin1Char('.') || c == QLatin1Char(')'))));
        if (inline_ || block)
            out += QLatin1Char('\\');
        out += c;
        leadingDigits = (lineStart || leadingDigits) && c.isDigit();
        lineStart = lineStart && c == QLatin1Char(' ');
    }
    return out;
}

QByteArray StructureMarkdown(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                             const QString& program, const TDiagramOptions& diagram)
{
    QStringList headings{catalogue.database};
    headings.append(MarkdownOverviewHeadings(objects));
    const TMarkdownAnchors anchors(headings, objects);
    QString out;
    Line(out, QStringLiteral("# ") + MarkdownText(catalogue.database));
    Line(out);
    QStringList facts;
    facts.append(Label(kTextProvider) + QStringLiteral(": ") +
                 LoadUIText(EngineTraitsOfWord(catalogue.provider).nameText));
    if (!catalogue.server.isEmpty())
        facts.append(Label(kTextServer) + QStringLiteral(": ") + MarkdownText(catalogue.server));
    facts.append(Label(kTextDatabase) + QStringLiteral(": ") + MarkdownText(catalogue.database));
    if (!program.isEmpty())
        facts.append(MarkdownText(program));
    // Two blanks at a line's end are a hard line break in every flavour that renders tables.
    Line(out, facts.join(QStringLiteral("  \n")));
    Line(out);
    WriteMarkdownOverview(out, objects, anchors, diagram);
    for (const TCatalogueObject* object : objects)
        WriteObject(out, catalogue, *object, anchors);
    while (out.endsWith(QStringLiteral("\n\n")))
        out.chop(1);
    return out.toUtf8();
}
