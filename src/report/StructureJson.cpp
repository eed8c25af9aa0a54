#include "StructureJson.h"

#include "EngineTraits.h"
#include "JsonOut.h"

#include <QBuffer>

#include <algorithm>

namespace {

void OptionalText(JsonOut& json, const char* key, const QString& text)
{
    if (!text.isEmpty()) {
        json.key(key);
        json.value(text);
    }
}

// Documents are for scripts: their words stay English whatever the UI language.
constexpr int kDocumentLanguage = 2;

void WriteColumn(JsonOut& json, const TCatalogueColumn& column, const TEngineTraits& engine)
{
    json.beginObject();
    json.key("number");
    json.value(static_cast<long long>(column.number));
    OptionalText(json, "name", column.name);
    OptionalText(json, "type", column.typeName);
    OptionalText(json, "declaredType", engine.declaredType(column, kDocumentLanguage));
    if (engine.hasTypeCodes && column.typeCode) {
        json.key("typeCode");
        json.value(static_cast<long long>(*column.typeCode));
    }
    if (engine.hasSchemas)
        OptionalText(json, "baseType", column.baseType);
    json.key("length");
    json.value(static_cast<long long>(column.length));
    json.key("nullable");
    json.value(column.nullable);
    json.key("autoIncrement");
    json.value(column.autoIncrement);
    OptionalText(json, "default", column.defaultValue);
    OptionalText(json, "computed", column.computed);
    OptionalText(json, "description", column.description);
    json.endObject();
}

void WriteObject(JsonOut& json, const TCatalogueObject& object, const TEngineTraits& engine)
{
    json.beginObject();
    json.key("name");
    json.value(object.name);
    if (engine.hasSchemas)
        OptionalText(json, "schema", object.schema);
    json.key("kind");
    json.value(ObjectKindName(object.kind));
    OptionalText(json, "description", object.description);
    if (object.link) {
        json.key("link");
        json.beginObject();
        if (!object.link->odbc.isEmpty()) {
            OptionalText(json, "odbc", object.link->odbc);
        } else {
            OptionalText(json, "file", object.link->file);
            OptionalText(json, "table", object.link->table);
        }
        json.endObject();
    }
    json.key("columns");
    json.beginArray();
    // The readers give the columns in number order already; only another order is sorted.
    const auto byNumber = [](const TCatalogueColumn& a, const TCatalogueColumn& b) {
        return a.number < b.number;
    };
    if (std::is_sorted(object.columns.begin(), object.columns.end(), byNumber)) {
        for (const TCatalogueColumn& column : object.columns)
            WriteColumn(json, column, engine);
    } else {
        QList<TCatalogueColumn> columns = object.columns;
        std::stable_sort(columns.begin(), columns.end(), byNumber);
        for (const TCatalogueColumn& column : columns)
            WriteColumn(json, column, engine);
    }
    json.endArray();
    if (object.primaryKey) {
        json.key("primaryKey");
        json.beginObject();
        OptionalText(json, "name", object.primaryKey->name);
        json.key("columns");
        json.inlineNames(object.primaryKey->columns);
        json.endObject();
    }
    json.key("indexes");
    json.beginArray();
    for (const TCatalogueIndex& index : IndexesByName(object.indexes)) {
        json.beginObject();
        OptionalText(json, "name", index.name);
        json.key("unique");
        json.value(index.unique);
        json.key("columns");
        json.beginArray();
        for (const TCatalogueIndexColumn& column : index.columns) {
            json.beginObject();
            json.key("name");
            json.value(column.name);
            json.key("descending");
            json.value(column.descending);
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.key("foreignKeys");
    json.beginArray();
    for (const TCatalogueForeignKey& key : ForeignKeysByName(object.foreignKeys)) {
        json.beginObject();
        OptionalText(json, "name", key.name);
        json.key("columns");
        json.inlineNames(key.columns);
        OptionalText(json, "referencedTable", key.referencedTable);
        if (engine.hasSchemas)
            OptionalText(json, "referencedSchema", key.referencedSchema);
        json.key("referencedColumns");
        json.inlineNames(key.referencedColumns);
        json.key("enforced");
        json.value(key.enforced);
        json.key("onUpdate");
        json.value(ReferentialActionName(key.onUpdate));
        json.key("onDelete");
        json.value(ReferentialActionName(key.onDelete));
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

template <typename T> QList<T> ByName(QList<T> items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const T& a, const T& b) { return a.name.compare(b.name, Qt::CaseInsensitive) < 0; });
    return items;
}

} // namespace

QList<TCatalogueIndex> IndexesByName(QList<TCatalogueIndex> indexes)
{
    return ByName(std::move(indexes));
}

QList<TCatalogueForeignKey> ForeignKeysByName(QList<TCatalogueForeignKey> keys)
{
    return ByName(std::move(keys));
}

bool WriteStructureJson(QIODevice& device, const TCatalogue& catalogue,
                        const QList<const TCatalogueObject*>& objects, const QString& program)
{
    // A document of thousands of tables goes out in parts rather than whole beside the model.
    constexpr qsizetype kPart = 256 * 1024;
    const auto writeOut = [&device](const QByteArray& part) { return device.write(part) == part.size(); };
    const TEngineTraits& engine = EngineTraitsOfWord(catalogue.provider);
    JsonOut json;
    json.reserve(2 * kPart);
    json.beginObject();
    json.key("format");
    json.value(QStringLiteral("orvane-structure"));
    json.key("version");
    json.value(static_cast<long long>(kStructureJsonVersion));
    OptionalText(json, "program", program);
    json.key("provider");
    json.value(QString::fromLatin1(engine.word));
    if (engine.hasSchemas)
        OptionalText(json, "server", catalogue.server);
    OptionalText(json, "database", catalogue.database);
    json.key("objects");
    json.beginArray();
    for (const TCatalogueObject* object : objects) {
        WriteObject(json, *object, engine);
        if (json.size() >= kPart) {
            if (!writeOut(json.text()))
                return false;
            json.dropText();
        }
    }
    json.endArray();
    json.endObject();
    return writeOut(json.finish());
}

QByteArray StructureJson(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                         const QString& program)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteStructureJson(buffer, catalogue, objects, program);
    return buffer.data();
}
