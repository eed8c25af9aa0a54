#include "StructureJson.h"

#include <algorithm>

namespace {

// Appends JSON text in the order it is told, which QJsonObject (sorted keys) cannot keep.
class JsonOut
{
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The key of the next value inside an object.
    void key(const char* name)
    {
        separate();
        m_out += '"';
        m_out += name;
        m_out += "\": ";
        m_afterKey = true;
    }

    void value(const QString& text)
    {
        separate();
        m_out += '"';
        for (const QChar qc : text) {
            const char16_t c = qc.unicode();
            const char* escape = nullptr;
            switch (c) {
            case u'"':
                escape = "\\\"";
                break;
            case u'\\':
                escape = "\\\\";
                break;
            case u'\n':
                escape = "\\n";
                break;
            case u'\r':
                escape = "\\r";
                break;
            case u'\t':
                escape = "\\t";
                break;
            default:
                break;
            }
            if (!escape && c >= 0x20) {
                m_pending += QChar(c);
                continue;
            }
            flushText();
            if (escape)
                m_out += escape;
            else
                m_out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0')).toLatin1();
        }
        flushText();
        m_out += '"';
    }
    void value(long long number)
    {
        separate();
        m_out += QByteArray::number(number);
    }
    void value(bool flag)
    {
        separate();
        m_out += flag ? "true" : "false";
    }

    // Short arrays of names stay on one line: a key's columns read as one item.
    void inlineNames(const QStringList& names)
    {
        separate();
        m_out += '[';
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i > 0)
                m_out += ", ";
            m_afterKey = true;
            value(names.at(i));
        }
        m_out += ']';
    }

    QByteArray finish()
    {
        m_out += '\n';
        return m_out;
    }

private:
    void flushText()
    {
        // Runs of ordinary characters go out together; a lone surrogate becomes U+FFFD here.
        if (!m_pending.isEmpty()) {
            m_out += m_pending.toUtf8();
            m_pending.clear();
        }
    }

    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (!m_first.isEmpty()) {
            if (!m_first.back())
                m_out += ',';
            m_first.back() = false;
            newline();
        }
    }

    void open(char bracket)
    {
        separate();
        m_out += bracket;
        m_first.push_back(true);
    }

    void close(char bracket)
    {
        const bool empty = m_first.back();
        m_first.pop_back();
        if (!empty)
            newline();
        m_out += bracket;
    }

    void newline()
    {
        m_out += '\n';
        m_out += QByteArray(2 * m_first.size(), ' ');
    }

    QByteArray m_out;
    QString m_pending;
    QList<bool> m_first; // per open bracket: nothing written inside it yet
    bool m_afterKey = false;
};

void OptionalText(JsonOut& json, const char* key, const QString& text)
{
    if (!text.isEmpty()) {
        json.key(key);
        json.value(text);
    }
}

bool SqlServer(const TCatalogue& catalogue)
{
    return catalogue.provider == QLatin1String("SQLServer");
}

void WriteColumn(JsonOut& json, const TCatalogueColumn& column, bool sqlServer)
{
    json.beginObject();
    json.key("number");
    json.value(static_cast<long long>(column.number));
    OptionalText(json, "name", column.name);
    OptionalText(json, "type", column.typeName);
    if (!sqlServer && column.typeCode) {
        json.key("typeCode");
        json.value(static_cast<long long>(*column.typeCode));
    }
    if (sqlServer)
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

void WriteObject(JsonOut& json, const TCatalogueObject& object, bool sqlServer)
{
    json.beginObject();
    json.key("name");
    json.value(object.name);
    if (sqlServer)
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
    QList<TCatalogueColumn> columns = object.columns;
    std::stable_sort(
        columns.begin(), columns.end(),
        [](const TCatalogueColumn& a, const TCatalogueColumn& b) { return a.number < b.number; });
    for (const TCatalogueColumn& column : columns)
        WriteColumn(json, column, sqlServer);
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
        if (sqlServer)
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

QByteArray StructureJson(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                         const QString& program)
{
    const bool sqlServer = SqlServer(catalogue);
    JsonOut json;
    json.beginObject();
    json.key("format");
    json.value(QStringLiteral("orvane-structure"));
    json.key("version");
    json.value(static_cast<long long>(kStructureJsonVersion));
    OptionalText(json, "program", program);
    json.key("provider");
    json.value(sqlServer ? QStringLiteral("SQLServer") : QStringLiteral("Access"));
    if (sqlServer)
        OptionalText(json, "server", catalogue.server);
    OptionalText(json, "database", catalogue.database);
    json.key("objects");
    json.beginArray();
    for (const TCatalogueObject* object : objects)
        WriteObject(json, *object, sqlServer);
    json.endArray();
    json.endObject();
    return json.finish();
}
