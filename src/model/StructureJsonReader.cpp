#include "StructureJsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace {

// The first thing wrong with the document, with the place it was found.
struct TFormatError
{
    QString message;
};

[[noreturn]] void Fail(const QString& place, const QString& what)
{
    throw TFormatError{place.isEmpty() ? what : place + QStringLiteral(": ") + what};
}

QString Place(const QString& parent, const char* key)
{
    return parent.isEmpty() ? QString::fromLatin1(key) : parent + QLatin1Char('.') + QLatin1String(key);
}

QString Place(const QString& parent, qsizetype index)
{
    return parent + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QJsonObject ObjectAt(const QJsonValue& value, const QString& place)
{
    if (!value.isObject())
        Fail(place, QStringLiteral("an object expected"));
    return value.toObject();
}

QJsonArray ArrayOf(const QJsonObject& object, const char* key, const QString& parent, bool required)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() && !required)
        return {};
    if (!value.isArray())
        Fail(Place(parent, key), QStringLiteral("an array expected"));
    return value.toArray();
}

QString TextOf(const QJsonObject& object, const char* key, const QString& parent, bool required = false)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        if (required)
            Fail(Place(parent, key), QStringLiteral("missing"));
        return {};
    }
    if (!value.isString())
        Fail(Place(parent, key), QStringLiteral("a text expected"));
    return value.toString();
}

bool FlagOf(const QJsonObject& object, const char* key, const QString& parent, bool absent)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined())
        return absent;
    if (!value.isBool())
        Fail(Place(parent, key), QStringLiteral("true or false expected"));
    return value.toBool();
}

// JSON numbers are doubles to Qt: only whole numbers in the 32-bit range are the model's.
std::optional<std::int32_t> NumberOf(const QJsonObject& object, const char* key, const QString& parent,
                                     bool required)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        if (required)
            Fail(Place(parent, key), QStringLiteral("missing"));
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::floor(number) != number ||
        number < double(std::numeric_limits<std::int32_t>::min()) ||
        number > double(std::numeric_limits<std::int32_t>::max()))
        Fail(Place(parent, key), QStringLiteral("a whole number expected"));
    return static_cast<std::int32_t>(number);
}

QStringList NamesOf(const QJsonObject& object, const char* key, const QString& parent)
{
    QStringList names;
    const QJsonArray array = ArrayOf(object, key, parent, false);
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isString())
            Fail(Place(Place(parent, key), i), QStringLiteral("a text expected"));
        names.append(array.at(i).toString());
    }
    return names;
}

TObjectKind KindOf(const QJsonObject& object, const QString& parent)
{
    const QString text = TextOf(object, "kind", parent);
    for (const TObjectKind kind :
         {TObjectKind::Table, TObjectKind::View, TObjectKind::SystemTable, TObjectKind::LinkedTable}) {
        if (text == ObjectKindName(kind))
            return kind;
    }
    if (text.isEmpty())
        return TObjectKind::Table;
    Fail(Place(parent, "kind"), QStringLiteral("'%1' is not an object kind").arg(text));
}

TReferentialAction ActionOf(const QJsonObject& object, const char* key, const QString& parent)
{
    const QString text = TextOf(object, key, parent);
    for (const TReferentialAction action : {TReferentialAction::NoAction, TReferentialAction::Cascade,
                                            TReferentialAction::SetNull, TReferentialAction::SetDefault}) {
        if (text == ReferentialActionName(action))
            return action;
    }
    if (text.isEmpty())
        return TReferentialAction::NoAction;
    Fail(Place(parent, key), QStringLiteral("'%1' is not a referential action").arg(text));
}

TCatalogueColumn ReadColumn(const QJsonObject& json, const QString& place)
{
    TCatalogueColumn column;
    column.number = *NumberOf(json, "number", place, true);
    column.name = TextOf(json, "name", place);
    column.typeName = TextOf(json, "type", place);
    column.typeCode = NumberOf(json, "typeCode", place, false);
    column.baseType = TextOf(json, "baseType", place);
    column.length = NumberOf(json, "length", place, false).value_or(0);
    column.nullable = FlagOf(json, "nullable", place, true);
    column.autoIncrement = FlagOf(json, "autoIncrement", place, false);
    column.defaultValue = TextOf(json, "default", place);
    column.computed = TextOf(json, "computed", place);
    column.description = TextOf(json, "description", place);
    return column;
}

TCatalogueIndex ReadIndex(const QJsonObject& json, const QString& place)
{
    TCatalogueIndex index;
    index.name = TextOf(json, "name", place);
    index.unique = FlagOf(json, "unique", place, false);
    const QJsonArray columns = ArrayOf(json, "columns", place, false);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString columnPlace = Place(Place(place, "columns"), i);
        const QJsonObject column = ObjectAt(columns.at(i), columnPlace);
        index.columns.append(TCatalogueIndexColumn{TextOf(column, "name", columnPlace, true),
                                                   FlagOf(column, "descending", columnPlace, false)});
    }
    return index;
}

TCatalogueForeignKey ReadForeignKey(const QJsonObject& json, const QString& place)
{
    TCatalogueForeignKey key;
    key.name = TextOf(json, "name", place);
    key.columns = NamesOf(json, "columns", place);
    key.referencedTable = TextOf(json, "referencedTable", place);
    key.referencedSchema = TextOf(json, "referencedSchema", place);
    key.referencedColumns = NamesOf(json, "referencedColumns", place);
    key.enforced = FlagOf(json, "enforced", place, true);
    key.onUpdate = ActionOf(json, "onUpdate", place);
    key.onDelete = ActionOf(json, "onDelete", place);
    return key;
}

TCatalogueObject ReadObject(const QJsonObject& json, const QString& place)
{
    TCatalogueObject object;
    object.name = TextOf(json, "name", place, true);
    if (object.name.isEmpty())
        Fail(Place(place, "name"), QStringLiteral("empty"));
    object.schema = TextOf(json, "schema", place);
    object.kind = KindOf(json, place);
    object.description = TextOf(json, "description", place);
    const QJsonValue link = json.value(QLatin1String("link"));
    if (!link.isUndefined()) {
        const QString linkPlace = Place(place, "link");
        const QJsonObject linkObject = ObjectAt(link, linkPlace);
        object.link =
            TCatalogueLink{TextOf(linkObject, "file", linkPlace), TextOf(linkObject, "table", linkPlace),
                           TextOf(linkObject, "odbc", linkPlace)};
    }
    const QJsonArray columns = ArrayOf(json, "columns", place, true);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString columnPlace = Place(Place(place, "columns"), i);
        object.columns.append(ReadColumn(ObjectAt(columns.at(i), columnPlace), columnPlace));
    }
    const QJsonValue primaryKey = json.value(QLatin1String("primaryKey"));
    if (!primaryKey.isUndefined()) {
        const QString keyPlace = Place(place, "primaryKey");
        const QJsonObject keyObject = ObjectAt(primaryKey, keyPlace);
        object.primaryKey = TCataloguePrimaryKey{TextOf(keyObject, "name", keyPlace),
                                                 NamesOf(keyObject, "columns", keyPlace)};
    }
    const QJsonArray indexes = ArrayOf(json, "indexes", place, true);
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        const QString indexPlace = Place(Place(place, "indexes"), i);
        object.indexes.append(ReadIndex(ObjectAt(indexes.at(i), indexPlace), indexPlace));
    }
    const QJsonArray keys = ArrayOf(json, "foreignKeys", place, true);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QString keyPlace = Place(Place(place, "foreignKeys"), i);
        object.foreignKeys.append(ReadForeignKey(ObjectAt(keys.at(i), keyPlace), keyPlace));
    }
    return object;
}

} // namespace

bool LooksLikeJsonDocument(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{';
    }
    return false;
}

bool ReadStructureJson(QByteArray bytes, TStructureDocument& document, QString& error)
{
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &parseError);
    bytes = QByteArray();
    if (parseError.error != QJsonParseError::NoError) {
        error =
            QStringLiteral("not JSON: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    if (!json.isObject()) {
        error = QStringLiteral("not a structure document: the top level is not an object");
        return false;
    }
    try {
        const QJsonObject top = json.object();
        const QJsonValue format = top.value(QLatin1String("format"));
        if (format.toString() != QLatin1String("orvane-structure"))
            Fail(QString(),
                 QStringLiteral("not a structure document: \"format\" is not \"orvane-structure\""));
        const QJsonValue version = top.value(QLatin1String("version"));
        if (!version.isDouble())
            Fail(QStringLiteral("version"), QStringLiteral("a number expected"));
        if (version.toDouble() != 1.0)
            Fail(QString(), QStringLiteral("structure document version %1 is not supported (1 is)")
                                .arg(QString::number(version.toDouble())));
        TStructureDocument read;
        read.program = TextOf(top, "program", QString());
        read.catalogue.provider = TextOf(top, "provider", QString(), true);
        if (read.catalogue.provider != QLatin1String("Access") &&
            read.catalogue.provider != QLatin1String("SQLServer"))
            Fail(QStringLiteral("provider"),
                 QStringLiteral("'%1' is neither Access nor SQLServer").arg(read.catalogue.provider));
        read.catalogue.server = TextOf(top, "server", QString());
        read.catalogue.database = TextOf(top, "database", QString());
        const QJsonArray objects = ArrayOf(top, "objects", QString(), true);
        for (qsizetype i = 0; i < objects.size(); ++i) {
            const QString place = Place(QStringLiteral("objects"), i);
            read.catalogue.objects.append(ReadObject(ObjectAt(objects.at(i), place), place));
        }
        document = std::move(read);
        return true;
    } catch (const TFormatError& e) {
        error = e.message;
        return false;
    }
}
