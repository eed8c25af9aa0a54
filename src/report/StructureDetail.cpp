#include "StructureDetail.h"

#include "EngineTraits.h"
#include "StructureJson.h"
#include "UIText.h"

namespace {

constexpr int kTextPrimaryKey = 330;
constexpr int kTextIndex = 331;
constexpr int kTextUniqueIndex = 332;
constexpr int kTextForeignKey = 333;
constexpr int kTextReferencedBy = 334;
constexpr int kTextDefault = 335;
constexpr int kTextAutoNumber = 336;
constexpr int kTextComputed = 337;
constexpr int kTextDescription = 338;
constexpr int kTextLinkedTo = 339;
constexpr int kTextOnUpdate = 340;
constexpr int kTextOnDelete = 341;
constexpr int kTextNoAction = 342;
constexpr int kTextCascade = 343;
constexpr int kTextSetNull = 344;
constexpr int kTextSetDefault = 345;
constexpr int kTextNotEnforced = 346;
constexpr int kTextDescending = 347;
constexpr int kTextIdentity = 348;
constexpr int kTextType = 353;

// Every label of the block, so the values line up whichever labels a table happens to need.
constexpr int kLabels[] = {kTextPrimaryKey,   kTextIndex,       kTextUniqueIndex, kTextForeignKey,
                           kTextReferencedBy, kTextDefault,     kTextAutoNumber,  kTextIdentity,
                           kTextComputed,     kTextDescription, kTextLinkedTo,    kTextType};

QString Joined(const QStringList& names)
{
    return QLatin1Char('(') + names.join(QStringLiteral(", ")) + QLatin1Char(')');
}

class Block
{
public:
    Block()
    {
        for (int id : kLabels)
            m_width = qMax(m_width, LoadUIText(id).size());
    }

    void add(int label, const QString& value)
    {
        const QString text = LoadUIText(label);
        const QString padding(m_width + 1 - text.size(), QLatin1Char(' '));
        // A stored text may hold line breaks of any kind; each part gets its own report line.
        QString normalised = value;
        normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        const QStringList parts = normalised.split(QLatin1Char('\n'));
        m_lines.append(text + padding + parts.first());
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

} // namespace

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
        block.add(index.unique ? kTextUniqueIndex : kTextIndex, IndexText(index));
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
    return block.lines();
}

void WriteStructureDetail(TReportWriter& writer, const TCatalogue& catalogue, const TCatalogueObject& object)
{
    for (const QString& text : StructureDetailTexts(catalogue, object))
        writer.AddIndentedLine(text, 1);
}
