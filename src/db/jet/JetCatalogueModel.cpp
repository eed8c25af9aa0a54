#include "JetCatalogueModel.h"

#include "EngineTraits.h"
#include "JetProvider.h"
#include "JetReaderFormat.h"
#include "KorvADOXConnection.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::int32_t kHiddenFlag = 0x8;

bool nameLessIgnoringCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString propertyOf(const QList<std::pair<QString, QString>>& properties, QLatin1String name)
{
    for (const auto& [key, value] : properties) {
        if (key == name)
            return value;
    }
    return QString();
}

std::optional<std::int32_t> numberProperty(const QList<std::pair<QString, QString>>& properties,
                                           QLatin1String name)
{
    bool ok = false;
    const int value = propertyOf(properties, name).toInt(&ok);
    return ok ? std::optional<std::int32_t>(value) : std::nullopt;
}

// The control Access's Lookup tab names by the number it stores.
QString displayControlName(const QString& stored)
{
    switch (stored.toInt()) {
    case 106:
        return QStringLiteral("checkBox");
    case 109:
        return QStringLiteral("textBox");
    case 110:
        return QStringLiteral("listBox");
    case 111:
        return QStringLiteral("comboBox");
    default:
        return stored;
    }
}

// The lookup a field's properties describe; none when they describe none (Access stores the text
// box it shows any field in on many fields that are no lookup).
std::optional<TColumnLookup> lookupOf(const QList<std::pair<QString, QString>>& properties)
{
    TColumnLookup lookup;
    lookup.displayControl = displayControlName(propertyOf(properties, QLatin1String("DisplayControl")));
    lookup.rowSourceType = propertyOf(properties, QLatin1String("RowSourceType"));
    lookup.rowSource = propertyOf(properties, QLatin1String("RowSource"));
    lookup.boundColumn = numberProperty(properties, QLatin1String("BoundColumn"));
    lookup.columnCount = numberProperty(properties, QLatin1String("ColumnCount"));
    lookup.limitToList = propertyOf(properties, QLatin1String("LimitToList")) == QLatin1String("yes");
    const bool plainControl =
        lookup.displayControl.isEmpty() || lookup.displayControl == QLatin1String("textBox");
    if (plainControl && lookup.rowSourceType.isEmpty() && lookup.rowSource.isEmpty() && !lookup.boundColumn &&
        !lookup.columnCount && !lookup.limitToList)
        return std::nullopt;
    return lookup;
}

// The validation rule of a field (column given) or of the table.
std::optional<TCatalogueCheck> checkOf(const QList<std::pair<QString, QString>>& properties,
                                       const QString& column)
{
    const QString rule = propertyOf(properties, QLatin1String("ValidationRule"));
    if (rule.isEmpty())
        return std::nullopt;
    TCatalogueCheck check;
    check.column = column;
    check.definition = rule;
    check.text = propertyOf(properties, QLatin1String("ValidationText"));
    return check;
}

TCatalogueColumn modelColumn(const JetColumnInfo& c, int number, const JetFileHeader& header,
                             const QStringList& keyColumns)
{
    TCatalogueColumn column;
    column.number = number;
    column.name = c.name;
    const std::int32_t type = JetAdoType(c);
    column.typeName = TKorvADOXConnection::DataTypeName(type);
    column.length = JetDefinedSize(c, header);
    column.typeCode = type;
    if (c.jetType == 16) {
        column.precision = std::int32_t(c.precision);
        column.scale = std::int32_t(c.scale);
    }
    // A Yes/No value is a bit of the row's null mask and cannot be Null; nor can a key column.
    const bool inKey = std::any_of(keyColumns.begin(), keyColumns.end(),
                                   [&](const QString& k) { return sameName(k, c.name); });
    column.nullable = !(c.required || c.jetType == 1 || inKey);
    // The GUID flag means nothing on other types (Jet 3 sets it on ordinary columns).
    column.autoIncrement = (c.jetType == 4 && c.autoLong) || (c.jetType == 15 && c.autoGuid);
    column.hyperlink = c.jetType == 12 && c.hyperlink;
    column.complex = c.jetType == 18;
    column.defaultValue = c.defaultValue;
    column.computed = c.expression;
    column.description = c.description;
    if (!c.properties.isEmpty()) {
        TFieldProperties shown;
        shown.caption = propertyOf(c.properties, QLatin1String("Caption"));
        shown.format = propertyOf(c.properties, QLatin1String("Format"));
        shown.inputMask = propertyOf(c.properties, QLatin1String("InputMask"));
        // Access stores "Auto" as 255.
        shown.decimalPlaces = numberProperty(c.properties, QLatin1String("DecimalPlaces"));
        if (shown.decimalPlaces == 255)
            shown.decimalPlaces.reset();
        shown.allowZeroLength =
            propertyOf(c.properties, QLatin1String("AllowZeroLength")) == QLatin1String("yes");
        shown.lookup = lookupOf(c.properties);
        // Most fields carry properties the design view does not show (column widths, text
        // compression): those get no set of their own.
        if (!shown.caption.isEmpty() || !shown.format.isEmpty() || !shown.inputMask.isEmpty() ||
            shown.decimalPlaces || shown.allowZeroLength || shown.lookup)
            column.properties.edit() = std::move(shown);
    }
    return column;
}

// The foreign keys whose referencing side is table: the relationship rows grouped by name, each
// key's columns in their stored place.
QList<TCatalogueForeignKey> foreignKeys(const QList<JetRelationRow>& relations, const QString& table)
{
    QList<const JetRelationRow*> rows;
    for (const JetRelationRow& row : relations) {
        if (sameName(row.table, table))
            rows.append(&row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const JetRelationRow* a, const JetRelationRow* b) {
        return a->position < b->position;
    });
    QList<TCatalogueForeignKey> keys;
    for (const JetRelationRow* row : rows) {
        auto key = std::find_if(keys.begin(), keys.end(),
                                [&](const TCatalogueForeignKey& k) { return sameName(k.name, row->name); });
        if (key == keys.end()) {
            TCatalogueForeignKey fresh;
            fresh.name = row->name;
            fresh.referencedTable = row->referencedTable;
            ApplyJetRelationFlags(row->flags, fresh);
            keys.append(fresh);
            key = keys.end() - 1;
        }
        key->columns.append(row->column);
        key->referencedColumns.append(row->referencedColumn);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const TCatalogueForeignKey& a, const TCatalogueForeignKey& b) {
                         return nameLessIgnoringCase(a.name, b.name);
                     });
    return keys;
}

// The object without its foreign keys, which come with the relationships at the message's end.
TCatalogueObject modelObject(const JetTableInfo& t, const JetFileHeader& header)
{
    TCatalogueObject object;
    object.name = t.name;
    object.engineId = t.id;
    object.description = t.description;
    if (t.link) {
        object.kind = TObjectKind::LinkedTable;
        TCatalogueLink link;
        if (t.link->type == jetreader::kLinkJet) {
            link.file = t.link->database;
            link.table = t.link->foreignName;
        } else {
            link.odbc = t.link->connectShown;
        }
        if (!t.link->resolved)
            object.unresolvedLink = t.link->problem;
        object.link = link;
        object.engineType =
            t.link->type == jetreader::kLinkJet ? QStringLiteral("LINK") : QStringLiteral("PASS-THROUGH");
    } else {
        const bool system = JetIsSystemFlags(t.flags);
        object.engineType = system ? QStringLiteral("SYSTEM TABLE") : QStringLiteral("TABLE");
        object.kind = system ? TObjectKind::SystemTable : TObjectKind::Table;
    }
    object.hidden = (t.flags & kHiddenFlag) != 0 && object.kind != TObjectKind::SystemTable;
    object.indexes.reserve(t.indexes.size());
    for (const JetIndexInfo& index : t.indexes) {
        if (index.primary && !object.primaryKey) {
            TCataloguePrimaryKey key;
            key.name = index.name;
            for (const JetIndexColumn& c : index.columns)
                key.columns.append(c.name);
            object.primaryKey = key;
            continue;
        }
        TCatalogueIndex modelIndex;
        modelIndex.name = index.name;
        modelIndex.unique = index.unique;
        for (const JetIndexColumn& c : index.columns)
            modelIndex.columns.append({c.name, c.descending});
        object.indexes.append(modelIndex);
    }
    std::stable_sort(object.indexes.begin(), object.indexes.end(),
                     [](const TCatalogueIndex& a, const TCatalogueIndex& b) {
                         return nameLessIgnoringCase(a.name, b.name);
                     });
    // A linked table's columns are sized as its back-end's format stores them.
    JetFileHeader sizing = header;
    if (t.link)
        sizing.version = t.link->backEndVersion;
    const QStringList keyColumns = object.primaryKey ? object.primaryKey->columns : QStringList();
    object.columns.reserve(t.columns.size());
    for (qsizetype c = 0; c < t.columns.size(); ++c)
        object.columns.append(modelColumn(t.columns.at(c), int(c) + 1, sizing, keyColumns));
    // The table's own rule first, then the fields' in their order.
    if (auto check = checkOf(t.properties, QString()))
        object.checks.append(*check);
    for (const JetColumnInfo& c : t.columns) {
        if (auto check = checkOf(c.properties, c.name))
            object.checks.append(*check);
    }
    return object;
}

TCatalogueObject modelQuery(const JetQueryInfo& q)
{
    TCatalogueObject object;
    object.name = q.name;
    object.kind = TObjectKind::Query;
    object.engineId = q.id;
    // Access's own queries, behind forms and reports' record sources.
    object.systemObject = q.name.startsWith(QLatin1String("~sq_"), Qt::CaseInsensitive) || (q.flags & 0x2);
    object.hidden = (q.flags & kHiddenFlag) != 0;
    object.description = q.description;
    JetQueryDefinition definition = JetQueryFromRows(q.rows, q.flags);
    object.queryType = definition.type;
    object.parameters = std::move(definition.parameters);
    object.definition = std::move(definition.sql);
    return object;
}

// A multi-value field keeps its lookup on the Value column of the hidden table of its values;
// the field shows it.
void takeValueLookups(QList<TCatalogueObject>& objects, const QList<JetComplexColumn>& complexColumns)
{
    auto byId = [&](std::int32_t id) -> TCatalogueObject* {
        for (TCatalogueObject& o : objects) {
            if (o.engineId == id && o.kind != TObjectKind::LinkedTable)
                return &o;
        }
        return nullptr;
    };
    for (const JetComplexColumn& complex : complexColumns) {
        TCatalogueObject* table = byId(complex.tableId);
        const TCatalogueObject* values = byId(complex.flatTableId);
        if (!table || !values || table == values)
            continue;
        const auto value =
            std::find_if(values->columns.begin(), values->columns.end(),
                         [](const TCatalogueColumn& c) { return sameName(c.name, QStringLiteral("Value")); });
        const auto field = std::find_if(table->columns.begin(), table->columns.end(),
                                        [&](const TCatalogueColumn& c) { return c.name == complex.column; });
        if (value != values->columns.end() && value->properties->lookup && field != table->columns.end() &&
            !field->properties->lookup)
            field->properties.edit().lookup = value->properties->lookup;
    }
}

// Objects are large: a stable sort fills a merge buffer with half of them even when nothing is
// out of place, and a catalogue usually comes in name order already.
void sortByName(QList<TCatalogueObject>::iterator first, QList<TCatalogueObject>::iterator last)
{
    const auto less = [](const TCatalogueObject& a, const TCatalogueObject& b) {
        return JetNameLess(a.name, b.name);
    };
    if (!std::is_sorted(first, last, less))
        std::stable_sort(first, last, less);
}

} // namespace

void ApplyJetRelationFlags(std::int32_t grbit, TCatalogueForeignKey& key)
{
    key.enforced = (grbit & jetreader::kRelationNotEnforced) == 0;
    key.onUpdate = (grbit & jetreader::kRelationCascadeUpdates) ? TReferentialAction::Cascade
                                                                : TReferentialAction::NoAction;
    if (grbit & jetreader::kRelationCascadeDeletes)
        key.onDelete = TReferentialAction::Cascade;
    else if (grbit & jetreader::kRelationSetNullOnDelete)
        key.onDelete = TReferentialAction::SetNull;
    else
        key.onDelete = TReferentialAction::NoAction;
}

QString JetConnectWithoutPassword(const QString& connect)
{
    QStringList kept;
    for (const QString& part : connect.split(QLatin1Char(';'))) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        if (part.contains(QLatin1Char('=')) && key.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0)
            continue;
        kept.append(part);
    }
    return kept.join(QLatin1Char(';'));
}

JetCatalogueModelBuilder::JetCatalogueModelBuilder(const JetFileHeader& header, const QString& path)
    : m_header(header)
{
    m_model.provider = QString::fromLatin1(EngineTraits(ptAccess).word);
    m_model.database = path;
}

void JetCatalogueModelBuilder::add(const JetTableInfo& table)
{
    m_model.objects.append(modelObject(table, m_header));
}

TCatalogue JetCatalogueModelBuilder::finish(const JetCatalogue& rest)
{
    m_model.objects.reserve(m_model.objects.size() + rest.tables.size());
    for (const JetTableInfo& table : rest.tables)
        add(table);
    sortByName(m_model.objects.begin(), m_model.objects.end());
    if (!rest.relations.isEmpty()) {
        for (TCatalogueObject& object : m_model.objects)
            object.foreignKeys = foreignKeys(rest.relations, object.name);
    }
    if (!rest.complexColumns.isEmpty())
        takeValueLookups(m_model.objects, rest.complexColumns);
    // The queries after the tables, in name order.
    m_model.objects.reserve(m_model.objects.size() + rest.queries.size());
    const qsizetype firstQuery = m_model.objects.size();
    for (const JetQueryInfo& query : rest.queries)
        m_model.objects.append(modelQuery(query));
    sortByName(m_model.objects.begin() + firstQuery, m_model.objects.end());
    return std::move(m_model);
}

TCatalogue JetCatalogueModel(const JetCatalogue& catalogue, const JetFileHeader& header, const QString& path)
{
    return JetCatalogueModelBuilder(header, path).finish(catalogue);
}
