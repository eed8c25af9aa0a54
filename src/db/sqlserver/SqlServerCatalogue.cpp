#include "SqlServerCatalogue.h"

#include "EngineTraits.h"
#include "SqlServerProvider.h"
#include "SqlServerSession.h"

#include <QHash>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QVariant>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// Catalogue reads take shared locks on the system tables, and another session's open DDL holds
// them; without a bound a report waits as long as that session keeps its transaction. A SET sends
// no result of its own, so it rides along in the statement it guards, at no extra round trip.
#define ORVANE_LOCK_BOUND "SET LOCK_TIMEOUT 20000;\n"

// Routines by their sys.objects types: T-SQL procedures and functions, and the CLR ones, whose
// code lives in an assembly and so has no text here.
#define ORVANE_ROUTINE_TYPES "'P', 'PC', 'FN', 'IF', 'TF', 'FS', 'FT'"

// A catalog view that a server may lack (sys.sequences came with SQL Server 2012; a fixture may
// hold only older views). A real server resolves a missing object's name only when the statement
// runs, and its error 208 then ends the whole batch: so the statement runs only where the view
// exists, and elsewhere an empty result stands in for it, the batch keeps its shape and the rest
// is read.
#define ORVANE_WHERE_VIEW_EXISTS(view, statement)                                                            \
    "IF OBJECT_ID(N'sys." view "') IS NOT NULL " statement ";\nELSE SELECT NULL WHERE 1 = 0;\n"

// One batch, one result set per statement, read in this order. Names are sysname, nvarchar(128),
// and Qt's ODBC driver reads text in pieces of the declared length in bytes, decoding each piece
// alone: widened, a name with many non-ASCII characters fits one piece. Types come by the column's
// user type (a user type's own name, "sysname"), its length by the system type beneath; a user type
// the login may not see (sys.types shows it only with a permission on it) is named by its base
// type, rather than its columns dropping out of the join. Objects are ordered by kind (tables,
// views, routines, sequences, synonyms), then by name as the server sorts, dbo's before a
// same-named one of another schema. Texts of the (max) types (definitions, filters) come as their
// UTF-16 bytes: Qt's ODBC driver, in the narrow mode it takes with FreeTDS, reads such a column in
// pieces and gives up on one longer than its first piece (the driver cannot tell the length),
// while binary columns it reads whole.
const QString kCatalogueBatch = QStringLiteral(
    ORVANE_LOCK_BOUND
    "SELECT o.object_id, CAST(o.name AS nvarchar(4000)), CAST(s.name AS nvarchar(4000)), o.type, "
    "o.is_ms_shipped "
    "FROM sys.objects o JOIN sys.schemas s ON s.schema_id = o.schema_id "
    "WHERE o.type IN ('U', 'S', 'V', " ORVANE_ROUTINE_TYPES ", 'SO', 'SN') "
    "ORDER BY CASE WHEN o.type IN ('U', 'S') THEN 0 WHEN o.type = 'V' THEN 1 WHEN o.type = 'SO' THEN 3 "
    "WHEN o.type = 'SN' THEN 4 ELSE 2 END, o.name, CASE WHEN s.name = 'dbo' THEN 0 ELSE 1 END, s.name;\n"
    "SELECT c.object_id, CAST(c.name AS nvarchar(4000)), CAST(COALESCE(t.name, b.name) AS nvarchar(4000)), "
    "c.system_type_id, c.max_length, c.is_nullable, c.is_identity, CAST(b.name AS nvarchar(4000)), "
    "c.user_type_id, c.precision, c.scale "
    "FROM sys.columns c JOIN sys.objects o ON o.object_id = c.object_id "
    "LEFT JOIN sys.types t ON t.user_type_id = c.user_type_id "
    "LEFT JOIN sys.types b ON b.user_type_id = c.system_type_id "
    "WHERE o.type IN ('U', 'S', 'V', 'IF', 'TF', 'FT') ORDER BY c.object_id, c.column_id;\n"
    "SELECT d.parent_object_id, d.parent_column_id, CAST(d.definition AS varbinary(max)) "
    "FROM sys.default_constraints d;\n"
    "SELECT cc.object_id, cc.column_id, CAST(cc.definition AS varbinary(max)) FROM sys.computed_columns cc;\n"
    "SELECT ep.major_id, ep.minor_id, CAST(ep.value AS nvarchar(4000)) FROM sys.extended_properties ep "
    "WHERE ep.class = 1 AND ep.name = N'MS_Description';\n"
    "SELECT i.object_id, i.index_id, CAST(i.name AS nvarchar(4000)), i.is_unique, i.is_primary_key, i.type "
    "FROM sys.indexes i WHERE i.type > 0;\n"
    "SELECT ic.object_id, ic.index_id, CAST(c.name AS nvarchar(4000)), ic.is_descending_key, "
    "ic.is_included_column "
    "FROM sys.index_columns ic JOIN sys.columns c ON c.object_id = ic.object_id AND c.column_id = "
    "ic.column_id "
    "WHERE ic.key_ordinal > 0 OR ic.is_included_column = 1 "
    "ORDER BY ic.object_id, ic.index_id, ic.is_included_column, ic.key_ordinal, ic.index_column_id;\n"
    "SELECT f.object_id, f.parent_object_id, CAST(f.name AS nvarchar(4000)), CAST(rs.name AS "
    "nvarchar(4000)), "
    "CAST(ro.name AS nvarchar(4000)), f.is_disabled, f.delete_referential_action, "
    "f.update_referential_action "
    "FROM sys.foreign_keys f JOIN sys.objects ro ON ro.object_id = f.referenced_object_id "
    "JOIN sys.schemas rs ON rs.schema_id = ro.schema_id;\n"
    "SELECT fc.constraint_object_id, CAST(pc.name AS nvarchar(4000)), CAST(rc.name AS nvarchar(4000)) "
    "FROM sys.foreign_key_columns fc "
    "JOIN sys.columns pc ON pc.object_id = fc.parent_object_id AND pc.column_id = fc.parent_column_id "
    "JOIN sys.columns rc ON rc.object_id = fc.referenced_object_id AND rc.column_id = "
    "fc.referenced_column_id "
    "ORDER BY fc.constraint_object_id, fc.constraint_column_id;\n"
    // DML triggers (parent class 1: a table or view); a database's DDL triggers belong to no object.
    ORVANE_WHERE_VIEW_EXISTS("triggers",
                             "SELECT tr.object_id, tr.parent_id, CAST(tr.name AS nvarchar(4000)), "
                             "tr.is_disabled, tr.is_instead_of_trigger FROM sys.triggers tr "
                             "WHERE tr.parent_class = 1")
    // 1 insert, 2 update, 3 delete; a DDL trigger's events are others.
    ORVANE_WHERE_VIEW_EXISTS("trigger_events", "SELECT te.object_id, te.type FROM sys.trigger_events te")
    // The texts of views, T-SQL routines and DML triggers, whole, leading comments and all.
    ORVANE_WHERE_VIEW_EXISTS("sql_modules", "SELECT m.object_id, CAST(m.definition AS varbinary(max)) "
                                            "FROM sys.sql_modules m "
                                            "JOIN sys.objects o ON o.object_id = m.object_id "
                                            "WHERE o.type IN ('V', 'P', 'FN', 'IF', 'TF', 'TR')")
    // Parameter 0, unnamed, is a scalar function's return value.
    ORVANE_WHERE_VIEW_EXISTS("parameters",
                             "SELECT p.object_id, CAST(p.name AS nvarchar(4000)), p.parameter_id, "
                             "CAST(COALESCE(t.name, b.name) AS nvarchar(4000)), p.system_type_id, "
                             "p.max_length, p.is_output FROM sys.parameters p "
                             "LEFT JOIN sys.types t ON t.user_type_id = p.user_type_id "
                             "LEFT JOIN sys.types b ON b.user_type_id = p.system_type_id "
                             "ORDER BY p.object_id, p.parameter_id")
    // Column 0: a check of the whole table.
    ORVANE_WHERE_VIEW_EXISTS(
        "check_constraints",
        "SELECT cc.parent_object_id, CAST(cc.name AS nvarchar(4000)), cc.parent_column_id, "
        "CAST(cc.definition AS varbinary(max)), cc.is_disabled FROM sys.check_constraints cc")
    // A sequence's values are sql_variant of its type: as text, every digit of a decimal(38) kept.
    ORVANE_WHERE_VIEW_EXISTS("sequences", "SELECT sq.object_id, CAST(t.name AS nvarchar(4000)), "
                                          "CAST(sq.start_value AS nvarchar(4000)), "
                                          "CAST(sq.increment AS nvarchar(4000)), "
                                          "CAST(sq.minimum_value AS nvarchar(4000)), "
                                          "CAST(sq.maximum_value AS nvarchar(4000)), sq.is_cycling "
                                          "FROM sys.sequences sq "
                                          "LEFT JOIN sys.types t ON t.user_type_id = sq.user_type_id")
    // The target as stored, bracketed and with its database or server when it names one.
    ORVANE_WHERE_VIEW_EXISTS("synonyms", "SELECT sn.object_id, CAST(sn.base_object_name AS nvarchar(4000)) "
                                         "FROM sys.synonyms sn")
    // A statement naming a column the view lacks fails when the batch is compiled, before anything
    // runs; as a string run on its own it is compiled only where the column exists.
    "IF COL_LENGTH(N'sys.indexes', N'filter_definition') IS NOT NULL EXEC (N'SELECT i.object_id, i.index_id, "
    "CAST(i.filter_definition AS varbinary(max)) FROM sys.indexes i WHERE i.filter_definition IS NOT "
    "NULL');\n"
    "ELSE SELECT NULL WHERE 1 = 0;");
#undef ORVANE_WHERE_VIEW_EXISTS
#undef ORVANE_ROUTINE_TYPES

// SQL Server 2000 has only the compatibility views; their statements as the provider always sent them.
const QString kLegacyObjectsSql = QStringLiteral(
    ORVANE_LOCK_BOUND
    "SELECT CAST(o.name AS nvarchar(4000)), o.id, o.xtype FROM sysobjects o WHERE o.xtype IN ('U', 'S') "
    "ORDER BY o.name");
const QString kLegacyViewsSql = QStringLiteral("SELECT CAST(o.name AS nvarchar(4000)), o.id, o.xtype FROM "
                                               "sysobjects o WHERE o.xtype = 'V' ORDER BY o.name");
const QString kLegacyColumnsSql = QStringLiteral(
    "SELECT c.id, CAST(c.name AS nvarchar(4000)), t.name, t.xtype, c.length, c.isnullable FROM syscolumns c "
    "JOIN sysobjects o ON o.id = c.id JOIN systypes t ON t.xusertype = c.xusertype "
    "WHERE o.xtype IN ('U', 'S', 'V') ORDER BY c.id, c.colid");
#undef ORVANE_LOCK_BOUND

constexpr int kInvalidObjectName = 208;

TObjectKind kindOf(const QString& type)
{
    const QString t = type.trimmed().toUpper(); // char(2): "U "
    if (t == QLatin1String("V"))
        return TObjectKind::View;
    if (t == QLatin1String("S"))
        return TObjectKind::SystemTable;
    if (t == QLatin1String("P") || t == QLatin1String("PC"))
        return TObjectKind::Procedure;
    if (t == QLatin1String("FN") || t == QLatin1String("IF") || t == QLatin1String("TF") ||
        t == QLatin1String("FS") || t == QLatin1String("FT"))
        return TObjectKind::Function;
    if (t == QLatin1String("SO"))
        return TObjectKind::Sequence;
    if (t == QLatin1String("SN"))
        return TObjectKind::Synonym;
    return TObjectKind::Table;
}

// sys.trigger_events' codes 1, 2 and 3, in the order the model keeps them.
const char* const kTriggerEvents[] = {"insert", "update", "delete"};

TReferentialAction actionOf(int code)
{
    switch (code) {
    case 1:
        return TReferentialAction::Cascade;
    case 2:
        return TReferentialAction::SetNull;
    case 3:
        return TReferentialAction::SetDefault;
    default:
        return TReferentialAction::NoAction;
    }
}

qint64 id(const QSqlQuery& q, int field)
{
    return q.value(field).toLongLong();
}

bool flag(const QSqlQuery& q, int field)
{
    return q.value(field).toInt() != 0;
}

// The next column of o from a row whose fields 1 to 5 are name, type, max_length, system type id
// and is_nullable, as both the catalog views' and the compatibility views' statements give them.
TCatalogueColumn ListedColumn(const QSqlQuery& q, const TCatalogueObject& o)
{
    TCatalogueColumn c;
    c.number = int(o.columns.size()) + 1;
    c.name = q.value(1).toString();
    c.typeName = q.value(2).toString().trimmed();
    c.length = SqlServerColumnLength(q.value(3).toInt(), q.value(4).toInt());
    c.nullable = flag(q, 5);
    return c;
}

// The digits a declaration names: decimal(p,s) and numeric(p,s), and the fractional seconds of
// time(s), datetime2(s) and datetimeoffset(s), by the system type beneath.
void SetDigits(TCatalogueColumn& c, int systemType, int precision, int scale)
{
    constexpr int kTime = 41, kDateTime2 = 42, kDateTimeOffset = 43, kDecimal = 106, kNumeric = 108;
    if (systemType == kDecimal || systemType == kNumeric) {
        c.precision = precision;
        c.scale = scale;
    } else if (systemType == kTime || systemType == kDateTime2 || systemType == kDateTimeOffset) {
        c.scale = scale;
    }
}

bool byNameNoCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

// Builds the objects while the result sets come in; rows of the later sets find their object or
// column through the ids.
class Builder
{
public:
    explicit Builder(TCatalogue& catalogue) : m_catalogue(catalogue) {}

    void object(qint64 objectId, const QString& name, const QString& schema, TObjectKind kind)
    {
        TCatalogueObject o;
        o.name = name;
        o.schema = schema;
        o.kind = kind;
        o.engineId = objectId;
        m_catalogue.objects.append(std::move(o));
    }

    // Called once all objects are in: the list no longer moves, so pointers into it stay valid.
    void indexObjects()
    {
        for (TCatalogueObject& o : m_catalogue.objects)
            m_objects.insert(o.engineId, &o);
    }

    TCatalogueObject* objectOf(qint64 objectId) const { return m_objects.value(objectId, nullptr); }

    TCatalogueColumn* column(qint64 objectId, int number) const
    {
        TCatalogueObject* o = objectOf(objectId);
        if (!o || number < 1 || number > o->columns.size())
            return nullptr;
        return &o->columns[number - 1];
    }

private:
    TCatalogue& m_catalogue;
    QHash<qint64, TCatalogueObject*> m_objects;
};

struct IndexRow
{
    qint64 object = 0;
    int index = 0;
    TCatalogueIndex value;
    bool primary = false;
};

struct ForeignKeyRow
{
    qint64 parent = 0;
    TCatalogueForeignKey value;
};

struct TriggerRow
{
    qint64 parent = 0;
    TCatalogueTrigger value;
    int events = 0; // bit n: kTriggerEvents[n]
};

// A text of a (max) type read as CAST(... AS varbinary(max)): its UTF-16 bytes decoded, or nullopt
// for NULL.
std::optional<QString> maxText(const QSqlQuery& q, int field)
{
    const QVariant v = q.value(field);
    if (v.isNull())
        return std::nullopt;
    return QString(QStringDecoder(QStringDecoder::Utf16LE).decode(v.toByteArray()));
}

void readCatalogViews(SqlServerSession& session, const QString& database, TCatalogue& catalogue)
{
    Builder build(catalogue);
    QHash<QPair<qint64, int>, IndexRow> indexes;
    QList<QPair<qint64, int>> indexOrder;
    QHash<qint64, ForeignKeyRow> foreignKeys;
    QList<qint64> foreignKeyOrder;
    QHash<qint64, TriggerRow> triggers;
    QList<qint64> triggerOrder;
    bool indexed = false;
    auto objects = [&] {
        if (!indexed)
            build.indexObjects();
        indexed = true;
    };
    session.selectResults(
        database, kCatalogueBatch,
        {[&](const QSqlQuery& q) {
             const TObjectKind kind = kindOf(q.value(3).toString());
             build.object(id(q, 0), q.value(1).toString(), q.value(2).toString(), kind);
             // Routines Microsoft ships into a database (the diagram procedures) are the engine's.
             if (!IsTableKind(kind) && !IsViewKind(kind))
                 catalogue.objects.last().systemObject = flag(q, 4);
         },
         [&](const QSqlQuery& q) {
             objects();
             TCatalogueObject* o = build.objectOf(id(q, 0));
             if (!o)
                 return;
             TCatalogueColumn c = ListedColumn(q, *o);
             c.autoIncrement = flag(q, 6);
             // A user type (and sysname) is based on a system type of another name.
             if (q.value(8).toInt() != q.value(3).toInt())
                 c.baseType = q.value(7).toString().trimmed();
             SetDigits(c, q.value(3).toInt(), q.value(9).toInt(), q.value(10).toInt());
             o->columns.append(std::move(c));
         },
         [&](const QSqlQuery& q) {
             objects();
             if (TCatalogueColumn* c = build.column(id(q, 0), q.value(1).toInt()))
                 c->defaultValue = maxText(q, 2).value_or(QString());
         },
         [&](const QSqlQuery& q) {
             objects();
             if (TCatalogueColumn* c = build.column(id(q, 0), q.value(1).toInt()))
                 c->computed = maxText(q, 2).value_or(QString());
         },
         [&](const QSqlQuery& q) {
             objects();
             const int minor = q.value(1).toInt();
             if (minor == 0) {
                 if (TCatalogueObject* o = build.objectOf(id(q, 0)))
                     o->description = q.value(2).toString();
             } else if (TCatalogueColumn* c = build.column(id(q, 0), minor)) {
                 c->description = q.value(2).toString();
             }
         },
         [&](const QSqlQuery& q) {
             objects();
             if (!build.objectOf(id(q, 0)))
                 return;
             IndexRow row;
             row.object = id(q, 0);
             row.index = q.value(1).toInt();
             row.value.name = q.value(2).toString();
             row.value.unique = flag(q, 3);
             row.primary = flag(q, 4);
             // 1 clustered, 5 clustered columnstore.
             row.value.clustered = q.value(5).toInt() == 1 || q.value(5).toInt() == 5;
             const QPair<qint64, int> key(row.object, row.index);
             indexes.insert(key, std::move(row));
             indexOrder.append(key);
         },
         [&](const QSqlQuery& q) {
             const auto it = indexes.find(qMakePair(id(q, 0), q.value(1).toInt()));
             if (it == indexes.end())
                 return;
             if (flag(q, 4))
                 it->value.included << q.value(2).toString();
             else
                 it->value.columns.append(TCatalogueIndexColumn{q.value(2).toString(), flag(q, 3)});
         },
         [&](const QSqlQuery& q) {
             objects();
             if (!build.objectOf(id(q, 1)))
                 return;
             ForeignKeyRow row;
             row.parent = id(q, 1);
             row.value.name = q.value(2).toString();
             row.value.referencedSchema = q.value(3).toString();
             row.value.referencedTable = q.value(4).toString();
             row.value.enforced = !flag(q, 5);
             row.value.onDelete = actionOf(q.value(6).toInt());
             row.value.onUpdate = actionOf(q.value(7).toInt());
             foreignKeys.insert(id(q, 0), std::move(row));
             foreignKeyOrder.append(id(q, 0));
         },
         [&](const QSqlQuery& q) {
             const auto it = foreignKeys.find(id(q, 0));
             if (it == foreignKeys.end())
                 return;
             it->value.columns << q.value(1).toString();
             it->value.referencedColumns << q.value(2).toString();
         },
         [&](const QSqlQuery& q) {
             objects();
             if (!build.objectOf(id(q, 1)))
                 return;
             TriggerRow row;
             row.parent = id(q, 1);
             row.value.name = q.value(2).toString();
             row.value.enabled = !flag(q, 3);
             row.value.timing = flag(q, 4) ? TTriggerTiming::InsteadOf : TTriggerTiming::After;
             triggers.insert(id(q, 0), std::move(row));
             triggerOrder.append(id(q, 0));
         },
         [&](const QSqlQuery& q) {
             const auto it = triggers.find(id(q, 0));
             const int type = q.value(1).toInt();
             if (it != triggers.end() && type >= 1 && type <= 3)
                 it->events |= 1 << (type - 1);
         },
         [&](const QSqlQuery& q) {
             objects();
             // NULL: a module created WITH ENCRYPTION.
             const std::optional<QString> text = maxText(q, 1);
             if (TCatalogueObject* o = build.objectOf(id(q, 0))) {
                 o->definition = text.value_or(QString());
                 o->encrypted = !text;
             } else if (const auto it = triggers.find(id(q, 0)); it != triggers.end()) {
                 it->value.definition = text.value_or(QString());
                 it->value.encrypted = !text;
             }
         },
         [&](const QSqlQuery& q) {
             objects();
             TCatalogueObject* o = build.objectOf(id(q, 0));
             if (!o)
                 return;
             TCatalogueParameter p;
             p.name = q.value(1).toString();
             p.typeName = q.value(3).toString().trimmed();
             p.length = SqlServerColumnLength(q.value(4).toInt(), q.value(5).toInt());
             p.output = flag(q, 6);
             // Parameter 0 is a scalar function's return value (which the server marks as output).
             if (q.value(2).toInt() == 0) {
                 p.output = false;
                 o->returns = std::move(p);
             } else {
                 o->parameters.append(std::move(p));
             }
         },
         [&](const QSqlQuery& q) {
             objects();
             TCatalogueObject* o = build.objectOf(id(q, 0));
             if (!o)
                 return;
             TCatalogueCheck check;
             check.name = q.value(1).toString();
             // Column 0: a check of the table, not of one column.
             if (const TCatalogueColumn* c = build.column(id(q, 0), q.value(2).toInt()))
                 check.column = c->name;
             check.definition = maxText(q, 3).value_or(QString());
             check.enforced = !flag(q, 4);
             o->checks.append(std::move(check));
         },
         [&](const QSqlQuery& q) {
             objects();
             if (TCatalogueObject* o = build.objectOf(id(q, 0)))
                 o->sequence = TCatalogueSequence{q.value(1).toString().trimmed(), q.value(2).toString(),
                                                  q.value(3).toString(),           q.value(4).toString(),
                                                  q.value(5).toString(),           flag(q, 6)};
         },
         [&](const QSqlQuery& q) {
             objects();
             if (TCatalogueObject* o = build.objectOf(id(q, 0)))
                 o->synonymTarget = q.value(1).toString();
         },
         [&](const QSqlQuery& q) {
             const auto it = indexes.find(qMakePair(id(q, 0), q.value(1).toInt()));
             if (it != indexes.end())
                 it->value.filter = maxText(q, 2).value_or(QString());
         }},
        false);
    objects();
    for (const auto& key : std::as_const(indexOrder)) {
        IndexRow& row = indexes[key];
        TCatalogueObject* o = build.objectOf(row.object);
        if (row.primary)
            o->primaryKey = TCataloguePrimaryKey{row.value.name, [&] {
                                                     QStringList names;
                                                     for (const TCatalogueIndexColumn& c : row.value.columns)
                                                         names << c.name;
                                                     return names;
                                                 }()};
        else
            o->indexes.append(std::move(row.value));
    }
    for (qint64 key : std::as_const(foreignKeyOrder)) {
        ForeignKeyRow& row = foreignKeys[key];
        build.objectOf(row.parent)->foreignKeys.append(std::move(row.value));
    }
    for (qint64 key : std::as_const(triggerOrder)) {
        TriggerRow& row = triggers[key];
        for (int n = 0; n < 3; ++n)
            if (row.events & (1 << n))
                row.value.events << QString::fromLatin1(kTriggerEvents[n]);
        build.objectOf(row.parent)->triggers.append(std::move(row.value));
    }
    const auto byName = [](const auto& a, const auto& b) { return byNameNoCase(a.name, b.name); };
    for (TCatalogueObject& o : catalogue.objects) {
        std::stable_sort(o.indexes.begin(), o.indexes.end(), byName);
        std::stable_sort(o.foreignKeys.begin(), o.foreignKeys.end(), byName);
        std::stable_sort(o.checks.begin(), o.checks.end(), byName);
        std::stable_sort(o.triggers.begin(), o.triggers.end(), byName);
    }
}

void readCompatibilityViews(SqlServerSession& session, const QString& database, TCatalogue& catalogue)
{
    Builder build(catalogue);
    const auto object = [&](const QSqlQuery& q) {
        build.object(id(q, 1), q.value(0).toString(), QString(), kindOf(q.value(2).toString()));
    };
    session.select(database, kLegacyObjectsSql, object, false);
    session.select(database, kLegacyViewsSql, object, false);
    build.indexObjects();
    session.select(
        database, kLegacyColumnsSql,
        [&](const QSqlQuery& q) {
            TCatalogueObject* o = build.objectOf(id(q, 0));
            if (!o)
                return;
            o->columns.append(ListedColumn(q, *o));
        },
        false);
}

} // namespace

std::shared_ptr<const TCatalogue> ReadSqlServerCatalogue(SqlServerSession& session, const QString& database)
{
    auto catalogue = std::make_shared<TCatalogue>();
    catalogue->provider = QString::fromLatin1(EngineTraits(ptSQLServer).word);
    catalogue->server = session.serverName();
    catalogue->database = database;
    try {
        readCatalogViews(session, database, *catalogue);
    } catch (const AutomationError& e) {
        // Only a server without the catalog views (the batch's first statement names sys.objects
        // and sys.schemas) reads the old way; any other failure is one.
        const bool noCatalogViews =
            e.helpContext() == kInvalidObjectName &&
            (e.description().contains(QLatin1String("'sys.objects'"), Qt::CaseInsensitive) ||
             e.description().contains(QLatin1String("'sys.schemas'"), Qt::CaseInsensitive));
        if (!noCatalogViews)
            throw;
        *catalogue = TCatalogue{catalogue->provider, catalogue->server, database, {}};
        readCompatibilityViews(session, database, *catalogue);
    }
    return catalogue;
}
