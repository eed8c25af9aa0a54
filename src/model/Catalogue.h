// The structure of one opened database as plain values: its objects in list order with their
// columns, keys, indexes, relationships, defaults and descriptions. Both engines' readers fill it
// once per opening, and every writer (the extended report, JSON, Markdown) reads only this, so a
// new output is one writer and a new engine one reader.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

enum class TObjectKind
{
    Table,
    View,
    SystemTable,
    LinkedTable,
    Query,     // an Access saved query
    Procedure, // SQL Server: P, and PC (CLR, no definition)
    Function,  // SQL Server: FN, IF, TF, and FS, FT (CLR, no definition)
    Sequence,
    Synonym
};

// The tables of the table list: local, system and linked ones.
bool IsTableKind(TObjectKind kind);
// What the list shows in place of tables when asked for views: SQL Server's views, Access's queries.
bool IsViewKind(TObjectKind kind);

// What an Access saved query does, by MSysObjects/MSysQueries.
enum class TQueryType
{
    Select,
    Crosstab,
    MakeTable,
    Append,
    Update,
    Delete,
    Union,
    PassThrough,
    DataDefinition
};

// What a foreign key does to the referencing rows when the referenced key changes or goes.
enum class TReferentialAction
{
    NoAction,
    Cascade,
    SetNull,
    SetDefault
};

// An Access lookup field: how the design view's Lookup tab shows the field.
struct TColumnLookup
{
    QString displayControl; // "textBox", "listBox", "comboBox", "checkBox"
    QString rowSourceType;  // "Table/Query", "Value List", "Field List", as stored
    QString rowSource;      // a query's SQL, a table's name or the values, as stored
    std::optional<std::int32_t> boundColumn;
    std::optional<std::int32_t> columnCount;
    bool limitToList = false;
};

// Access field properties as the design view shows them; empty or unset when not set.
struct TFieldProperties
{
    QString caption;
    QString format;
    QString inputMask;
    std::optional<std::int32_t> decimalPlaces; // unset: "Auto"
    bool allowZeroLength = false;
    // A multi-value field's lookup is stored on its hidden value table's Value column; it is
    // shown here, on the field.
    std::optional<TColumnLookup> lookup;
};

// A column's field properties, kept apart from the column: most fields have none, and a catalogue
// of many thousand columns is read, held and freed in one go, where every byte of a column counts.
// Reading one that was never set sees an empty set; edit() makes the column's own. Copies are deep.
class TFieldPropertiesBox
{
public:
    TFieldPropertiesBox() = default;
    TFieldPropertiesBox(const TFieldPropertiesBox& other);
    TFieldPropertiesBox& operator=(const TFieldPropertiesBox& other);
    TFieldPropertiesBox(TFieldPropertiesBox&&) noexcept = default;
    TFieldPropertiesBox& operator=(TFieldPropertiesBox&&) noexcept = default;
    ~TFieldPropertiesBox() = default;

    const TFieldProperties& operator*() const;
    const TFieldProperties* operator->() const { return &**this; }
    TFieldProperties& edit();

private:
    std::unique_ptr<TFieldProperties> m_properties;
};

struct TCatalogueColumn
{
    int number = 0; // from 1, in the table's own order
    // What the structure report shows: name, type and length exactly so.
    std::int32_t length = 0;
    QString name;
    QString typeName;
    // Access: the ADO DataTypeEnum number behind typeName (a Byte column is 17, which the report
    // calls "unknown"); unset for SQL Server.
    std::optional<std::int32_t> typeCode;
    // SQL Server: the system type a user-defined type is based on; empty otherwise.
    QString baseType;
    // A decimal column's digits and digits after the point (Access's Decimal, SQL Server's decimal
    // and numeric); SQL Server's time, datetime2 and datetimeoffset keep their fractional digits in
    // scale. Unset for every other type.
    std::optional<std::int32_t> precision;
    std::optional<std::int32_t> scale;
    bool nullable = true;
    bool autoIncrement = false;
    // Access: a Long Text field the design view shows as Hyperlink (ADO calls it LongVarWChar);
    // a field kept in a hidden table of its own, an attachment or a multi-value field (ADO calls
    // it LongVarBinary, as an OLE Object).
    bool hyperlink = false;
    bool complex = false;
    // Expressions as the catalogue stores them ("(getdate())", "=Now()"); empty when none.
    QString defaultValue;
    QString computed;
    QString description;
    TFieldPropertiesBox properties;
};

struct TCataloguePrimaryKey
{
    QString name;
    QStringList columns; // in key order
};

struct TCatalogueIndexColumn
{
    QString name;
    bool descending = false;
};

struct TCatalogueIndex
{
    QString name;
    bool unique = false;
    QList<TCatalogueIndexColumn> columns; // in key order
    bool clustered = false;               // SQL Server
    QStringList included{};               // SQL Server: the included (non-key) columns, in their order
    QString filter{};                     // SQL Server: a filtered index's filter_definition
};

// A routine's parameter or a function's return value ("type" names types as the report does).
struct TCatalogueParameter
{
    QString name; // with its "@" on SQL Server; an Access PARAMETERS name as written
    QString typeName;
    std::int32_t length = 0;
    bool output = false;
};

// A SQL Server check constraint, or an Access validation rule (no name; the field's name as
// column for a field's rule, no column for the table's own).
struct TCatalogueCheck
{
    QString name;
    QString column; // empty: a table-level check
    QString definition;
    QString text; // Access: the ValidationText shown when the rule fails
    bool enforced = true;
};

enum class TTriggerTiming
{
    After,
    InsteadOf
};

struct TCatalogueTrigger
{
    QString name;
    QStringList events; // "insert", "update", "delete", in that order
    TTriggerTiming timing = TTriggerTiming::After;
    bool enabled = true;
    QString definition; // empty when encrypted
    bool encrypted = false;
};

struct TCatalogueSequence
{
    QString typeName; // as the report names types
    // Exact decimal digits: a decimal(38) sequence goes beyond what a double holds.
    QString start;
    QString increment;
    QString minimum;
    QString maximum;
    bool cycle = false;
};

struct TCatalogueForeignKey
{
    QString name;
    QStringList columns;      // of this table, in key order
    QString referencedSchema; // SQL Server only
    QString referencedTable;
    QStringList referencedColumns;
    bool enforced = true;
    TReferentialAction onUpdate = TReferentialAction::NoAction;
    TReferentialAction onDelete = TReferentialAction::NoAction;
};

// Where a linked table's rows live.
struct TCatalogueLink
{
    QString file;  // Jet link: the back-end file as stored
    QString table; // Jet link: the table's name there
    QString odbc;  // ODBC link: the connect text (without any password)
};

struct TCatalogueObject
{
    QString name;
    QString schema; // SQL Server only
    TObjectKind kind = TObjectKind::Table;
    // Access: the catalogue's own word for the table ("TABLE", "SYSTEM TABLE", "LINK",
    // "PASS-THROUGH"), which follows the engine's flags rather than the list's greying rule that
    // decides kind; empty for SQL Server.
    QString engineType;
    // The engine's own identity: SQL Server's object_id, Access's MSysObjects Id; 0 when unknown.
    std::int64_t engineId = 0;
    QString description;
    std::optional<TCatalogueLink> link;
    // A linked table whose columns could not be read from where its rows live: why not.
    std::optional<QString> unresolvedLink;
    QList<TCatalogueColumn> columns; // by number
    std::optional<TCataloguePrimaryKey> primaryKey;
    // The primary key's own index is not among them; a unique constraint is a unique index.
    QList<TCatalogueIndex> indexes;
    QList<TCatalogueForeignKey> foreignKeys;

    // Access: a hidden user table, or a query with the hidden flag.
    bool hidden = false;
    // An object of the engine's own rather than the user's, of a kind other than a table (which
    // is a SystemTable): Access's queries behind forms and reports ("~sq_..."); listed only when
    // system tables are.
    bool systemObject = false;
    // Views, queries and routines: the text as stored (SQL Server's sql_modules.definition, a
    // query's SQL as Access shows it in SQL view); empty when encrypted or not stored (CLR).
    QString definition;
    bool encrypted = false;
    std::optional<TQueryType> queryType;        // Access queries
    QList<TCatalogueParameter> parameters;      // routines; an Access query's PARAMETERS
    std::optional<TCatalogueParameter> returns; // a scalar function's return value (no name)
    QList<TCatalogueCheck> checks;              // in name order, then column order
    QList<TCatalogueTrigger> triggers;          // by name
    std::optional<TCatalogueSequence> sequence;
    QString synonymTarget; // a synonym's base_object_name as stored

    // The name the table list and the report's title line show: bare for Access, for SQL
    // Server's dbo schema and for system tables, "schema.name" otherwise.
    QString listName() const;
};

struct TCatalogue
{
    QString provider; // "Access" or "SQLServer"
    QString server;   // SQL Server only
    QString database;
    QList<TCatalogueObject> objects; // in list order
    // SQL Server: the login lacks VIEW DEFINITION in the database, so the server showed it only the
    // objects it owns or holds a permission on; what is listed may not be all there is.
    bool partialView = false;

    // The object a list entry names (listName, exactly, else without regard to case); among
    // same-named objects the first of the wanted kind family (views vs. the rest) wins. nullptr
    // when there is none.
    const TCatalogueObject* find(const QString& listName, bool view = false) const;
};

// TCatalogue::find for a whole list of entries: the exact names indexed once, so a report of
// thousands of tables does not search the catalogue once per table. The catalogue must outlive it
// unchanged.
class TCatalogueLookup
{
public:
    explicit TCatalogueLookup(const TCatalogue& catalogue);
    const TCatalogueObject* find(const QString& listName, bool view = false) const;
    // The objects of listNames, in their order; when one is missing, none, with missing set to
    // its name: a document that left it out without a word would read as complete.
    QList<const TCatalogueObject*> findAll(const QStringList& listNames, bool view, QString& missing) const;

private:
    const TCatalogue& m_catalogue;
    QHash<QString, const TCatalogueObject*> m_tables; // everything but views
    QHash<QString, const TCatalogueObject*> m_views;
};

// A linked table that shows no columns because its source could not be read, with the warning a
// caller gives for it.
struct TUnresolvedLink
{
    QString table;
    QString warning; // "linked table 'Orders' (back-end 'C:\data\back.mdb') has no columns: ..."
};

// What a caller says of a catalogue with partialView: "the login may not see every object of
// database 'X' ...".
QString PartialViewWarning(const TCatalogue& catalogue);

// The unresolved links among the objects, in list order.
QList<TUnresolvedLink> UnresolvedLinks(const TCatalogue& catalogue);

// "noAction", "cascade", "setNull", "setDefault": the spelling of the JSON documents.
QString ReferentialActionName(TReferentialAction action);
// "table", "view", "system table", "linked table", "query", "procedure", "function", "sequence",
// "synonym": the spelling of the JSON documents.
QString ObjectKindName(TObjectKind kind);
// "select", "crosstab", "makeTable", "append", "update", "delete", "union", "passThrough",
// "dataDefinition".
QString QueryTypeName(TQueryType type);
// "after", "insteadOf".
QString TriggerTimingName(TTriggerTiming timing);
