#include "StructureDetail.h"

#include "EngineTraits.h"
#include "StructureJson.h"
#include "StructureTexts.h"
#include "UIText.h"

#include <utility>

namespace {

using namespace StructureTexts;

constexpr int kTextIndex = 331;
constexpr int kTextForeignKey = 333;
constexpr int kTextAutoNumber = 336;
constexpr int kTextNoAction = 342;
constexpr int kTextCascade = 343;
constexpr int kTextSetNull = 344;
constexpr int kTextSetDefault = 345;
constexpr int kTextDescending = 347;
constexpr int kTextIdentity = 348;
constexpr int kTextCheck = 443;
constexpr int kTextRule = 444;
constexpr int kTextFormat = 449;
constexpr int kTextInputMask = 450;
constexpr int kTextDecimals = 451;
constexpr int kTextZeroLength = 452;
constexpr int kTextLookup = 453;
constexpr int kTextEncrypted = 457;
constexpr int kTextDisabled = 458;
constexpr int kTextClustered = 459;
constexpr int kTextInclude = 460;
constexpr int kTextFilter = 461;
constexpr int kTextStart = 462;
constexpr int kTextIncrement = 463;
constexpr int kTextMinimum = 464;
constexpr int kTextMaximum = 465;
constexpr int kTextCycle = 466;
constexpr int kTextBoundColumn = 467;
constexpr int kTextColumnCount = 468;
constexpr int kTextLimitToList = 469;
constexpr int kTextTextBox = 470;
constexpr int kTextSelect = 474;
constexpr int kTextQuery = 483;

// Every label of the block, so the values line up whichever labels a table happens to need. The
// later labels are no wider than the first ones in either language, so the block of a table
// that has none of them is laid out as it always was.
constexpr int kLabels[] = {
    kTextPrimaryKey, kTextIndex,    kTextUniqueIndex, kTextForeignKey,  kTextReferencedBy, kTextDefault,
    kTextAutoNumber, kTextIdentity, kTextComputed,    kTextDescription, kTextLinkedTo,     kTextQueryType,
    kTextParameter,  kTextReturns,  kTextCheck,       kTextRule,        kTextRuleText,     kTextTrigger,
    kTextDefinition, kTextCaption,  kTextFormat,      kTextInputMask,   kTextDecimals,     kTextZeroLength,
    kTextLookup,     kTextHidden,   kTextSequence,    kTextTarget,      kTextType};

QString Joined(const QStringList& names)
{
    return QLatin1Char('(') + names.join(QStringLiteral(", ")) + QLatin1Char(')');
}

class Block
{
public:
    Block()
    {
        // Measured once per language: a report of thousands of tables builds a block for each.
        thread_local int measured = -1;
        thread_local qsizetype width = 0;
        if (measured != CurrentLanguage) {
            width = 0;
            for (int id : kLabels)
                width = qMax(width, LoadUIText(id).size());
            measured = CurrentLanguage;
        }
        m_width = width;
    }

    void add(int label, const QString& value)
    {
        const QString text = LoadUIText(label);
        const QString padding(m_width + 1 - text.size(), QLatin1Char(' '));
        // A stored text may hold line breaks of any kind; each part gets its own report line.
        QString normalised = value;
        normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QStringList parts = normalised.split(QLatin1Char('\n'));
        // The line end that closes a stored text (a definition's last) begins no line.
        while (parts.size() > 1 && parts.constLast().isEmpty())
            parts.removeLast();
        // A definition may begin with a line end: its label then stands alone, without blanks.
        m_lines.append(parts.first().isEmpty() ? text : text + padding + parts.first());
        const QString under(m_width + 1, QLatin1Char(' '));
        for (qsizetype i = 1; i < parts.size(); ++i)
            m_lines.append(under + parts.at(i));
    }

    QStringList lines() const { return m_lines; }

private:
    qsizetype m_width = 0;
    QStringList m_lines;
};

QString ForeignKeyText(const TCatalogueForeignKey& key)
{
    QString text = key.name + QLatin1Char(' ') + Joined(key.columns) + QStringLiteral(" -> ") +
                   ReferencedText(key) + QStringLiteral(", ") + LoadUIText(kTextOnUpdate) + QLatin1Char(' ') +
                   ReferentialActionText(key.onUpdate) + QStringLiteral(", ") + LoadUIText(kTextOnDelete) +
                   QLatin1Char(' ') + ReferentialActionText(key.onDelete);
    if (!key.enforced)
        text += QStringLiteral(", ") + LoadUIText(kTextNotEnforced);
    return text;
}

QString ColumnValue(const TCatalogueColumn& column, const QString& value)
{
    return column.name + QStringLiteral(": ") + value;
}

// Access's field properties, column by column.
void AddFieldProperties(Block& block, const TCatalogueObject& object)
{
    for (const TCatalogueColumn& column : object.columns) {
        if (!column.properties->caption.isEmpty())
            block.add(kTextCaption, ColumnValue(column, column.properties->caption));
        if (!column.properties->format.isEmpty())
            block.add(kTextFormat, ColumnValue(column, column.properties->format));
        if (!column.properties->inputMask.isEmpty())
            block.add(kTextInputMask, ColumnValue(column, column.properties->inputMask));
        if (column.properties->decimalPlaces)
            block.add(kTextDecimals, ColumnValue(column, QString::number(*column.properties->decimalPlaces)));
        if (column.properties->allowZeroLength)
            block.add(kTextZeroLength, ColumnValue(column, LoadUIText(kTextYes)));
        if (column.properties->lookup)
            block.add(kTextLookup, ColumnValue(column, LookupText(*column.properties->lookup)));
    }
}

void AddChecks(Block& block, const TCatalogue& catalogue, const TCatalogueObject& object)
{
    const int label = EngineTraitsOfWord(catalogue.provider).checkText;
    for (const TCatalogueCheck& check : object.checks) {
        const QString owner = CheckOwnerText(check);
        const QString prefix = owner.isEmpty() ? QString() : owner + QStringLiteral(": ");
        QString text = prefix + check.definition;
        if (!check.enforced)
            text += QStringLiteral(", ") + LoadUIText(kTextNotEnforced);
        block.add(label, text);
        if (!check.text.isEmpty())
            block.add(kTextRuleText, prefix + check.text);
    }
}

QString DefinitionText(const QString& definition, bool encrypted)
{
    return encrypted && definition.isEmpty() ? EncryptedText() : definition;
}

// What a query, a routine, a sequence or a synonym is, before its columns: the lines the plain
// report shows of a query come first.
void AddHead(Block& block, const TCatalogueObject& object)
{
    if (object.queryType)
        block.add(kTextQueryType, QueryTypeText(*object.queryType));
    for (const TCatalogueParameter& parameter : object.parameters)
        block.add(kTextParameter, ParameterText(parameter));
    if (object.returns)
        block.add(kTextReturns, ReturnsText(*object.returns));
}

void AddDefinition(Block& block, const TCatalogueObject& object)
{
    if (!object.definition.isEmpty() || object.encrypted)
        block.add(kTextDefinition, DefinitionText(object.definition, object.encrypted));
}

} // namespace

QString IndexFullText(const TCatalogueIndex& index)
{
    QString text = IndexText(index);
    if (index.clustered)
        text += QStringLiteral(", ") + LoadUIText(kTextClustered);
    if (!index.included.isEmpty())
        text += QStringLiteral(", ") + LoadUIText(kTextInclude) + u' ' + Joined(index.included);
    if (!index.filter.isEmpty())
        text += QStringLiteral(", ") + LoadUIText(kTextFilter) + u' ' + index.filter;
    return text;
}

QString QueryTypeText(TQueryType type)
{
    return LoadUIText(kTextSelect + int(type));
}

QString ObjectKindText(TObjectKind kind)
{
    switch (kind) {
    case TObjectKind::Query:
        return LoadUIText(kTextQuery);
    case TObjectKind::View:
        return LoadUIText(484);
    case TObjectKind::Procedure:
        return LoadUIText(485);
    case TObjectKind::Function:
        return LoadUIText(486);
    case TObjectKind::Sequence:
        return LoadUIText(496);
    case TObjectKind::Synonym:
        return LoadUIText(487);
    case TObjectKind::Table:
    case TObjectKind::SystemTable:
    case TObjectKind::LinkedTable:
        break;
    }
    return QString();
}

QString ParameterText(const TCatalogueParameter& parameter)
{
    QString text = parameter.name;
    if (!parameter.typeName.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + parameter.typeName;
    if (parameter.length != 0)
        text += u' ' + QString::number(parameter.length);
    if (parameter.output)
        text += QStringLiteral(" OUTPUT");
    return text;
}

QString ReturnsText(const TCatalogueParameter& returns)
{
    return returns.length != 0 ? returns.typeName + u' ' + QString::number(returns.length) : returns.typeName;
}

QString SequenceText(const TCatalogueSequence& sequence)
{
    QStringList parts;
    if (!sequence.typeName.isEmpty())
        parts.append(sequence.typeName);
    const std::pair<int, const QString*> numbers[] = {{kTextStart, &sequence.start},
                                                      {kTextIncrement, &sequence.increment},
                                                      {kTextMinimum, &sequence.minimum},
                                                      {kTextMaximum, &sequence.maximum}};
    for (const auto& [label, value] : numbers) {
        if (!value->isEmpty())
            parts.append(LoadUIText(label) + u' ' + *value);
    }
    if (sequence.cycle)
        parts.append(LoadUIText(kTextCycle));
    return parts.join(QStringLiteral(", "));
}

QString LookupText(const TColumnLookup& lookup)
{
    static const char* const kControls[] = {"textBox", "listBox", "comboBox", "checkBox"};
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        if (lookup.displayControl == QLatin1String(kControls[i]))
            parts.append(LoadUIText(kTextTextBox + i));
    }
    if (!lookup.rowSourceType.isEmpty() || !lookup.rowSource.isEmpty())
        parts.append(lookup.rowSource.isEmpty() ? lookup.rowSourceType
                     : lookup.rowSourceType.isEmpty()
                         ? lookup.rowSource
                         : lookup.rowSourceType + QStringLiteral(": ") + lookup.rowSource);
    if (lookup.boundColumn)
        parts.append(LoadUIText(kTextBoundColumn) + u' ' + QString::number(*lookup.boundColumn));
    if (lookup.columnCount)
        parts.append(LoadUIText(kTextColumnCount).arg(*lookup.columnCount));
    if (lookup.limitToList)
        parts.append(LoadUIText(kTextLimitToList));
    return parts.join(QStringLiteral(", "));
}

QString TriggerHeadText(const TCatalogueTrigger& trigger)
{
    QString text = trigger.name +
                   (trigger.timing == TTriggerTiming::InsteadOf ? QStringLiteral(" INSTEAD OF ")
                                                                : QStringLiteral(" AFTER ")) +
                   trigger.events.join(QStringLiteral(", ")).toUpper();
    if (!trigger.enabled)
        text += QStringLiteral(", ") + LoadUIText(kTextDisabled);
    return text;
}

QString CheckOwnerText(const TCatalogueCheck& check)
{
    // A rule's field names it where the engine gives it no name.
    if (check.column.isEmpty())
        return check.name;
    return check.name.isEmpty() ? check.column : check.name + QStringLiteral(" (") + check.column + u')';
}

QString EncryptedText()
{
    return u'(' + LoadUIText(kTextEncrypted) + u')';
}

QString QualifiedName(const QString& schema, const QString& name)
{
    if (schema.isEmpty() || schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        return name;
    return schema + QLatin1Char('.') + name;
}

bool References(const TCatalogueForeignKey& key, const TCatalogueObject& object)
{
    if (key.referencedTable.compare(object.name, Qt::CaseInsensitive) != 0)
        return false;
    // Access keys name no schema; SQL Server's always do.
    return key.referencedSchema.isEmpty() || object.schema.isEmpty() ||
           key.referencedSchema.compare(object.schema, Qt::CaseInsensitive) == 0;
}

const TCatalogueObject* ReferencedObject(const TCatalogueForeignKey& key,
                                         const QList<const TCatalogueObject*>& among)
{
    const TCatalogueObject* fallback = nullptr;
    for (const TCatalogueObject* object : among) {
        if (!References(key, *object))
            continue;
        if (object->name == key.referencedTable)
            return object;
        if (fallback == nullptr)
            fallback = object;
    }
    return fallback;
}

QString ReferentialActionText(TReferentialAction action)
{
    switch (action) {
    case TReferentialAction::Cascade:
        return LoadUIText(kTextCascade);
    case TReferentialAction::SetNull:
        return LoadUIText(kTextSetNull);
    case TReferentialAction::SetDefault:
        return LoadUIText(kTextSetDefault);
    case TReferentialAction::NoAction:
        break;
    }
    return LoadUIText(kTextNoAction);
}

QString IndexText(const TCatalogueIndex& index)
{
    QStringList columns;
    for (const TCatalogueIndexColumn& column : index.columns)
        columns.append(column.descending ? column.name + QLatin1Char(' ') + LoadUIText(kTextDescending)
                                         : column.name);
    return index.name + QLatin1Char(' ') + Joined(columns);
}

QString ReferencedText(const TCatalogueForeignKey& key)
{
    return QualifiedName(key.referencedSchema, key.referencedTable) + QLatin1Char(' ') +
           Joined(key.referencedColumns);
}

QStringList StructureDetailTexts(const TCatalogue& catalogue, const TCatalogueObject& object)
{
    Block block;
    if (object.link) {
        const TCatalogueLink& link = *object.link;
        block.add(kTextLinkedTo,
                  link.odbc.isEmpty() ? link.file + QStringLiteral(": ") + link.table : link.odbc);
    }
    // The column lines keep the report's ADO-style names; here each type as the engine's users
    // write it.
    for (const TCatalogueColumn& column : object.columns)
        block.add(kTextType, column.name + QStringLiteral(": ") + DeclaredTypeText(catalogue, column));
    if (object.primaryKey)
        block.add(kTextPrimaryKey,
                  object.primaryKey->name + QLatin1Char(' ') + Joined(object.primaryKey->columns));
    for (const TCatalogueIndex& index : IndexesByName(object.indexes))
        block.add(index.unique ? kTextUniqueIndex : kTextIndex, IndexFullText(index));
    for (const TCatalogueForeignKey& key : ForeignKeysByName(object.foreignKeys))
        block.add(kTextForeignKey, ForeignKeyText(key));
    for (const TCatalogueObject& other : catalogue.objects) {
        for (const TCatalogueForeignKey& key : other.foreignKeys) {
            if (References(key, object))
                block.add(kTextReferencedBy, QualifiedName(other.schema, other.name) + QLatin1Char(' ') +
                                                 Joined(key.columns) + QStringLiteral(": ") + key.name);
        }
    }
    for (const TCatalogueColumn& column : object.columns) {
        if (!column.defaultValue.isEmpty())
            block.add(kTextDefault, column.name + QStringLiteral(" = ") + column.defaultValue);
    }
    for (const TCatalogueColumn& column : object.columns) {
        if (column.autoIncrement)
            block.add(EngineTraitsOfWord(catalogue.provider).autoIncrementText, column.name);
    }
    for (const TCatalogueColumn& column : object.columns) {
        if (!column.computed.isEmpty())
            block.add(kTextComputed, column.name + QStringLiteral(" = ") + column.computed);
    }
    if (!object.description.isEmpty())
        block.add(kTextDescription, object.description);
    for (const TCatalogueColumn& column : object.columns) {
        if (!column.description.isEmpty())
            block.add(kTextDescription, column.name + QStringLiteral(": ") + column.description);
    }
    // What the whole database adds comes after, so a table that has none of it reads as before.
    if (object.hidden)
        block.add(kTextHidden, LoadUIText(kTextYes));
    AddHead(block, object);
    AddFieldProperties(block, object);
    AddChecks(block, catalogue, object);
    for (const TCatalogueTrigger& trigger : object.triggers) {
        const QString definition = DefinitionText(trigger.definition, trigger.encrypted);
        block.add(kTextTrigger, definition.isEmpty() ? TriggerHeadText(trigger)
                                                     : TriggerHeadText(trigger) + u'\n' + definition);
    }
    if (object.sequence)
        block.add(kTextSequence, SequenceText(*object.sequence));
    if (!object.synonymTarget.isEmpty())
        block.add(kTextTarget, object.synonymTarget);
    AddDefinition(block, object);
    return block.lines();
}

QStringList QueryReportTexts(const TCatalogueObject& object)
{
    Block block;
    AddHead(block, object);
    AddDefinition(block, object);
    return block.lines();
}

void WriteQueryStructure(TReportWriter& writer, const TCatalogue& catalogue, const TCatalogueObject& object,
                         bool extended)
{
    writer.AddTitleLine(object.listName(), true);
    const QStringList lines = extended ? StructureDetailTexts(catalogue, object) : QueryReportTexts(object);
    for (const QString& text : lines)
        writer.AddIndentedLine(text, 1);
}

void WriteStructureDetail(TReportWriter& writer, const TCatalogue& catalogue, const TCatalogueObject& object)
{
    for (const QString& text : StructureDetailTexts(catalogue, object))
        writer.AddIndentedLine(text, 1);
}
