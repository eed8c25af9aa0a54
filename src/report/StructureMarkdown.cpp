#include "StructureMarkdown.h"

#include "EngineTraits.h"
#include "MarkdownDiagram.h"
#include "StructureDetail.h"
#include "StructureJson.h"
#include "StructureTexts.h"
#include "UIText.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

using namespace StructureTexts;

// The header labels carry blanks and a colon for the report's alignment; here only the word.
QString Label(int id)
{
    QString text = LoadUIText(id).trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

bool MultiLine(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

QString Code(const QString& text)
{
    // A code span cannot hold its own fence; longer fences around backticks would not survive a
    // table cell in every renderer, so such a text is shown escaped instead.
    if (text.contains(QLatin1Char('`')) || text.contains(QLatin1Char('|')) || MultiLine(text))
        return MarkdownLineText(text);
    return QLatin1Char('`') + text + QLatin1Char('`');
}

// A cell holds one line: a text of several shows its first line there and whole under the table.
QString CellText(const QString& text, const QString& column, const QString& label, QStringList& notes)
{
    if (!MultiLine(text))
        return MarkdownLineText(text);
    notes.append(QStringLiteral("- ") + MarkdownText(column) + QStringLiteral(", ") + label +
                 QStringLiteral(": ") + MarkdownText(text).replace(u'\n', QStringLiteral("\n  ")));
    return MarkdownLineText(text.section(QRegularExpression(QStringLiteral("[\r\n]")), 0, 0)) +
           QStringLiteral(" …");
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

// A fenced code block of the SQL, its fence longer than any run of backticks inside it.
void SqlBlock(QString& out, const QString& sql)
{
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : sql) {
        run = c == QLatin1Char('`') ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    const QString fence(std::max<qsizetype>(3, longest + 1), QLatin1Char('`'));
    QString text = sql;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    Line(out, fence + QStringLiteral("sql"));
    Line(out, text);
    Line(out, fence);
    Line(out);
}

void Labelled(QStringList& facts, int label, const QString& value)
{
    facts.append(QStringLiteral("**") + Label(label) + QStringLiteral("**: ") + value);
}

// What a query, a routine, a sequence or a synonym is: its kind, its type, what it returns.
void WriteFacts(QString& out, const TCatalogueObject& object)
{
    QStringList facts;
    const QString kind = ObjectKindText(object.kind);
    if (!kind.isEmpty())
        facts.append(QLatin1Char('*') + MarkdownText(kind) + QLatin1Char('*'));
    if (object.hidden)
        facts.append(QStringLiteral("**") + Label(kTextHidden) + QStringLiteral("**"));
    if (object.queryType)
        Labelled(facts, kTextQueryType, MarkdownText(QueryTypeText(*object.queryType)));
    if (object.returns)
        Labelled(facts, kTextReturns, MarkdownText(ReturnsText(*object.returns)));
    if (object.sequence)
        Labelled(facts, kTextSequence, MarkdownText(SequenceText(*object.sequence)));
    if (!object.synonymTarget.isEmpty())
        Labelled(facts, kTextTarget, Code(object.synonymTarget));
    if (!facts.isEmpty()) {
        Line(out, facts.join(QStringLiteral("  \n")));
        Line(out);
    }
    if (!object.parameters.isEmpty()) {
        Line(out, QStringLiteral("**") + Label(kTextParameter) + QStringLiteral("**"));
        Line(out);
        for (const TCatalogueParameter& parameter : object.parameters)
            Line(out, QStringLiteral("- ") + MarkdownText(ParameterText(parameter)));
        Line(out);
    }
}

// Access's field properties as a table of the columns that have any.
void WriteFieldProperties(QString& out, const TCatalogueObject& object)
{
    const auto code = [](const QString& text) { return text.isEmpty() ? text : Code(text); };
    QStringList rows;
    for (const TCatalogueColumn& column : object.columns) {
        const QStringList cells{
            MarkdownText(column.properties->caption),
            code(column.properties->format),
            code(column.properties->inputMask),
            column.properties->decimalPlaces ? QString::number(*column.properties->decimalPlaces) : QString(),
            column.properties->allowZeroLength ? Label(kTextYes) : QString(),
            column.properties->lookup ? MarkdownText(LookupText(*column.properties->lookup)) : QString()};
        if (std::all_of(cells.begin(), cells.end(), [](const QString& cell) { return cell.isEmpty(); }))
            continue;
        rows.append(QStringLiteral("| ") + MarkdownText(column.name) + QStringLiteral(" | ") +
                    cells.join(QStringLiteral(" | ")) + QStringLiteral(" |"));
    }
    if (rows.isEmpty())
        return;
    QStringList head{Label(kTextColumn)};
    for (int label = kTextCaption; label < kTextCaption + 6; ++label)
        head.append(Label(label));
    Line(out, QStringLiteral("| ") + head.join(QStringLiteral(" | ")) + QStringLiteral(" |"));
    Line(out, QStringLiteral("|---|---|---|---|--:|:-:|---|"));
    for (const QString& row : rows)
        Line(out, row);
    Line(out);
}

void WriteChecksAndTriggers(QString& out, const TCatalogue& catalogue, const TCatalogueObject& object)
{
    if (!object.checks.isEmpty()) {
        Line(out, QStringLiteral("**") + Label(EngineTraitsOfWord(catalogue.provider).checkText) +
                      QStringLiteral("**"));
        Line(out);
        for (const TCatalogueCheck& check : object.checks) {
            const QString owner = CheckOwnerText(check);
            QString text = QStringLiteral("- ");
            if (!owner.isEmpty())
                text += MarkdownText(owner) + QStringLiteral(": ");
            text += Code(check.definition);
            if (!check.enforced)
                text += QStringLiteral(", ") + LoadUIText(346);
            if (!check.text.isEmpty())
                text += QStringLiteral("; ") + Label(kTextRuleText) + QStringLiteral(": ") +
                        MarkdownText(check.text);
            Line(out, text);
        }
        Line(out);
    }
    for (const TCatalogueTrigger& trigger : object.triggers) {
        Line(out, QStringLiteral("**") + Label(kTextTrigger) + QStringLiteral("**: ") +
                      MarkdownText(TriggerHeadText(trigger)));
        Line(out);
        if (!trigger.definition.isEmpty())
            SqlBlock(out, trigger.definition);
        else if (trigger.encrypted) {
            Line(out, QLatin1Char('*') + MarkdownText(EncryptedText()) + QLatin1Char('*'));
            Line(out);
        }
    }
    if (!object.definition.isEmpty() || object.encrypted) {
        Line(out, QStringLiteral("**") + Label(kTextDefinition) + QStringLiteral("**"));
        Line(out);
        if (!object.definition.isEmpty()) {
            SqlBlock(out, object.definition);
        } else {
            Line(out, QLatin1Char('*') + MarkdownText(EncryptedText()) + QLatin1Char('*'));
            Line(out);
        }
    }
}

void WriteObject(QString& out, const TCatalogue& catalogue, const TCatalogueObject& object,
                 const TMarkdownAnchors& anchors)
{
    Line(out, QStringLiteral("## ") + MarkdownLineText(object.listName()));
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
    WriteFacts(out, object);
    if (!object.columns.isEmpty()) {
        Line(out, QStringLiteral("| # | ") + Label(kTextColumn) + QStringLiteral(" | ") + Label(kTextType) +
                      QStringLiteral(" | ") + Label(kTextLength) + QStringLiteral(" | ") +
                      Label(kTextNullable) + QStringLiteral(" | ") + Label(kTextDefault) +
                      QStringLiteral(" | ") + Label(kTextDescription) + QStringLiteral(" |"));
        Line(out, QStringLiteral("|--:|---|---|--:|:-:|---|---|"));
        QStringList notes;
        for (const TCatalogueColumn& column : object.columns) {
            QString defaultText;
            if (!column.defaultValue.isEmpty())
                defaultText = MultiLine(column.defaultValue)
                                  ? CellText(column.defaultValue, column.name, Label(kTextDefault), notes)
                                  : Code(column.defaultValue);
            if (!column.computed.isEmpty())
                defaultText = Label(kTextComputed) + QStringLiteral(": ") +
                              (MultiLine(column.computed)
                                   ? CellText(column.computed, column.name, Label(kTextComputed), notes)
                                   : Code(column.computed));
            if (column.autoIncrement)
                defaultText = Label(EngineTraitsOfWord(catalogue.provider).autoIncrementText);
            Line(out, QStringLiteral("| ") + QString::number(column.number) + QStringLiteral(" | ") +
                          MarkdownLineText(column.name) + QStringLiteral(" | ") +
                          MarkdownLineText(DeclaredTypeText(catalogue, column)) + QStringLiteral(" | ") +
                          QString::number(column.length) + QStringLiteral(" | ") +
                          Label(column.nullable ? kTextYes : kTextNo) + QStringLiteral(" | ") + defaultText +
                          QStringLiteral(" | ") +
                          CellText(column.description, column.name, Label(kTextDescription), notes) +
                          QStringLiteral(" |"));
        }
        Line(out);
        if (!notes.isEmpty()) {
            for (const QString& note : notes)
                Line(out, note);
            Line(out);
        }
    }
    WriteFieldProperties(out, object);
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
            QString text = QStringLiteral("- ") + MarkdownText(IndexFullText(index));
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
    WriteChecksAndTriggers(out, catalogue, object);
}

} // namespace

namespace {

// Escapes text for Markdown; lineBreak stands for each of its line breaks.
QString Escaped(const QString& text, const QString& lineBreak)
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
            out += lineBreak;
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

} // namespace

QString MarkdownText(const QString& text)
{
    // A backslash at a line's end is CommonMark's hard line break: no HTML, which a safe renderer
    // would show as text or drop. Line breaks at the end would leave a stray backslash.
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == QLatin1Char('\n') || text.at(end - 1) == QLatin1Char('\r')))
        --end;
    return Escaped(text.left(end), QStringLiteral("\\\n"));
}

QString MarkdownLineText(const QString& text)
{
    // Shown as the two characters the comparison's lines show for a line break.
    return Escaped(text, QStringLiteral("\\\\n"));
}

QByteArray StructureMarkdown(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                             const QString& program, const TDiagramOptions& diagram)
{
    QStringList headings{catalogue.database};
    headings.append(MarkdownOverviewHeadings(objects));
    const TMarkdownAnchors anchors(headings, objects);
    QString out;
    Line(out, QStringLiteral("# ") + MarkdownLineText(catalogue.database));
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
