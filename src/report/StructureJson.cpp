#include "StructureJson.h"

#include "EngineTraits.h"
#include "JsonOut.h"

#include <QBuffer>

#include <algorithm>
#include <optional>

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

void OptionalNumber(JsonOut& json, const char* key, const std::optional<std::int32_t>& number)
{
    if (number) {
        json.key(key);
        json.value(static_cast<long long>(*number));
    }
}

// A flag that is false unless said otherwise: written only when true.
void OptionalFlag(JsonOut& json, const char* key, bool flag)
{
    if (flag) {
        json.key(key);
        json.value(true);
    }
}

// Access's field properties as the design view shows them.
void WriteFieldProperties(JsonOut& json, const TCatalogueColumn& column)
{
    OptionalText(json, "caption", column.properties->caption);
    OptionalText(json, "format", column.properties->format);
    OptionalText(json, "inputMask", column.properties->inputMask);
    OptionalNumber(json, "decimalPlaces", column.properties->decimalPlaces);
    OptionalFlag(json, "allowZeroLength", column.properties->allowZeroLength);
    if (column.properties->lookup) {
        const TColumnLookup& lookup = *column.properties->lookup;
        json.key("lookup");
        json.beginObject();
        OptionalText(json, "displayControl", lookup.displayControl);
        OptionalText(json, "rowSourceType", lookup.rowSourceType);
        OptionalText(json, "rowSource", lookup.rowSource);
        OptionalNumber(json, "boundColumn", lookup.boundColumn);
        OptionalNumber(json, "columnCount", lookup.columnCount);
        OptionalFlag(json, "limitToList", lookup.limitToList);
        json.endObject();
    }
}

void WriteParameter(JsonOut& json, const TCatalogueParameter& parameter)
{
    json.beginObject();
    OptionalText(json, "name", parameter.name);
    OptionalText(json, "type", parameter.typeName);
    if (parameter.length != 0) {
        json.key("length");
        json.value(static_cast<long long>(parameter.length));
    }
    OptionalFlag(json, "output", parameter.output);
    json.endObject();
}

// What a query, a routine or a sequence says before its columns.
void WriteHead(JsonOut& json, const TCatalogueObject& object)
{
    if (object.queryType) {
        json.key("queryType");
        json.value(QueryTypeName(*object.queryType));
    }
    OptionalFlag(json, "encrypted", object.encrypted);
    if (!object.parameters.isEmpty()) {
        json.key("parameters");
        json.beginArray();
        for (const TCatalogueParameter& parameter : object.parameters)
            WriteParameter(json, parameter);
        json.endArray();
    }
    if (object.returns) {
        json.key("returns");
        json.beginObject();
        OptionalText(json, "type", object.returns->typeName);
        if (object.returns->length != 0) {
            json.key("length");
            json.value(static_cast<long long>(object.returns->length));
        }
        json.endObject();
    }
}

// Checks, triggers, a sequence's numbers, a synonym's target and the definition, after the keys.
void WriteTail(JsonOut& json, const TCatalogueObject& object)
{
    if (!object.checks.isEmpty()) {
        json.key("checks");
        json.beginArray();
        for (const TCatalogueCheck& check : object.checks) {
            json.beginObject();
            OptionalText(json, "name", check.name);
            OptionalText(json, "column", check.column);
            OptionalText(json, "definition", check.definition);
            OptionalText(json, "text", check.text);
            json.key("enforced");
            json.value(check.enforced);
            json.endObject();
        }
        json.endArray();
    }
    if (!object.triggers.isEmpty()) {
        json.key("triggers");
        json.beginArray();
        for (const TCatalogueTrigger& trigger : object.triggers) {
            json.beginObject();
            OptionalText(json, "name", trigger.name);
            json.key("events");
            json.inlineNames(trigger.events);
            json.key("timing");
            json.value(TriggerTimingName(trigger.timing));
            json.key("enabled");
            json.value(trigger.enabled);
            OptionalFlag(json, "encrypted", trigger.encrypted);
            OptionalText(json, "definition", trigger.definition);
            json.endObject();
        }
        json.endArray();
    }
    if (object.sequence) {
        const TCatalogueSequence& sequence = *object.sequence;
        OptionalText(json, "type", sequence.typeName);
        OptionalText(json, "start", sequence.start);
        OptionalText(json, "increment", sequence.increment);
        OptionalText(json, "minimum", sequence.minimum);
        OptionalText(json, "maximum", sequence.maximum);
        OptionalFlag(json, "cycle", sequence.cycle);
    }
    OptionalText(json, "target", object.synonymTarget);
    OptionalText(json, "definition", object.definition);
}

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
    WriteFieldProperties(json, column);
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
    OptionalFlag(json, "hidden", object.hidden);
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
    WriteHead(json, object);
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
        OptionalFlag(json, "clustered", index.clustered);
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
        if (!index.included.isEmpty()) {
            json.key("included");
            json.inlineNames(index.included);
        }
        OptionalText(json, "filter", index.filter);
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
    WriteTail(json, object);
    json.endObject();
}

template <typename T> QList<T> ByName(QList<T> items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const T& a, const T& b) { return a.name.compare(b.name, Qt::CaseInsensitive) < 0; });
    return items;
}

} // namespace

QList<const TCatalogueObject*> ObjectsBesideTables(const TCatalogue& catalogue, bool systemObjects)
{
    // The order of the kinds in a document; tables come before them in the list's order.
    const auto rank = [](TObjectKind kind) {
        switch (kind) {
        case TObjectKind::View:
        case TObjectKind::Query:
            return 0;
        case TObjectKind::Procedure:
        case TObjectKind::Function:
            return 1;
        case TObjectKind::Sequence:
            return 2;
        case TObjectKind::Synonym:
            return 3;
        case TObjectKind::Table:
        case TObjectKind::SystemTable:
        case TObjectKind::LinkedTable:
            break;
        }
        return -1;
    };
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects) {
        if (rank(object.kind) >= 0 && (systemObjects || !object.systemObject))
            objects.append(&object);
    }
    std::stable_sort(objects.begin(), objects.end(),
                     [&rank](const TCatalogueObject* a, const TCatalogueObject* b) {
                         if (rank(a->kind) != rank(b->kind))
                             return rank(a->kind) < rank(b->kind);
                         if (const int byName = a->name.compare(b->name, Qt::CaseInsensitive))
                             return byName < 0;
                         return a->schema.compare(b->schema, Qt::CaseInsensitive) < 0;
                     });
    return objects;
}

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
    const auto writeOut = [&device](QByteArrayView part) {
        return device.write(part.data(), part.size()) == part.size();
    };
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
