#include "JetCatalogueModel.h"

#include "EngineTraits.h"
#include "JetProvider.h"
#include "JetReaderFormat.h"
#include "KorvADOXConnection.h"

#include <algorithm>

namespace {

bool nameLessIgnoringCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
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
        const bool system = (static_cast<std::uint32_t>(t.flags) & 0x80000002u) != 0;
        object.engineType = system ? QStringLiteral("SYSTEM TABLE") : QStringLiteral("TABLE");
        // The rule of the list's greyed entries: a local table with any flag set.
        object.kind = t.flags != 0 ? TObjectKind::SystemTable : TObjectKind::Table;
    }
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
    return object;
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
    std::stable_sort(
        m_model.objects.begin(), m_model.objects.end(),
        [](const TCatalogueObject& a, const TCatalogueObject& b) { return JetNameLess(a.name, b.name); });
    if (!rest.relations.isEmpty()) {
        for (TCatalogueObject& object : m_model.objects)
            object.foreignKeys = foreignKeys(rest.relations, object.name);
    }
    return std::move(m_model);
}

TCatalogue JetCatalogueModel(const JetCatalogue& catalogue, const JetFileHeader& header, const QString& path)
{
    return JetCatalogueModelBuilder(header, path).finish(catalogue);
}
