#include "StructureMarkdown.h"

#include "EngineTraits.h"
#include "StructureDetail.h"
#include "StructureJson.h"
#include "UIText.h"

#include <QRegularExpression>

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
constexpr int kTextColumn = 352;
constexpr int kTextType = 353;
constexpr int kTextLength = 354;
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

void WriteObject(QString& out, const TCatalogue& catalogue, const TCatalogueObject& object)
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
                           Names(key.columns) + QStringLiteral(") → ") + MarkdownText(ReferencedText(key)) +
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
                referencing.append(QStringLiteral("- ") +
                                   MarkdownText(QualifiedName(other.schema, other.name)) +
                                   QStringLiteral(" (") + Names(key.columns) + QStringLiteral("): ") +
                                   MarkdownText(key.name));
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
                             const QString& program)
{
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
    for (const TCatalogueObject* object : objects)
        WriteObject(out, catalogue, *object);
    while (out.endsWith(QStringLiteral("\n\n")))
        out.chop(1);
    return out.toUtf8();
}
