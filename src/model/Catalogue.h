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
#include <optional>

enum class TObjectKind
{
    Table,
    View,
    SystemTable,
    LinkedTable
};

// What a foreign key does to the referencing rows when the referenced key changes or goes.
enum class TReferentialAction
{
    NoAction,
    Cascade,
    SetNull,
    SetDefault
};

struct TCatalogueColumn
{
    int number = 0; // from 1, in the table's own order
    QString name;
    // Exactly what the structure report shows.
    QString typeName;
    std::int32_t length = 0;
    // Access: the ADO DataTypeEnum number behind typeName (a Byte column is 17, which the report
    // calls "unknown"); unset for SQL Server.
    std::optional<std::int32_t> typeCode;
    // SQL Server: the system type a user-defined type is based on; empty otherwise.
    QString baseType;
    // Access: a Decimal column's digits and digits after the point; unset for every other type.
    std::optional<std::int32_t> precision;
    std::optional<std::int32_t> scale;
    bool nullable = true;
    bool autoIncrement = false;
    // Expressions as the catalogue stores them ("(getdate())", "=Now()"); empty when none.
    QString defaultValue;
    QString computed;
    QString description;
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

// The unresolved links among the objects, in list order.
QList<TUnresolvedLink> UnresolvedLinks(const TCatalogue& catalogue);

// "noAction", "cascade", "setNull", "setDefault": the spelling of the JSON documents.
QString ReferentialActionName(TReferentialAction action);
// "table", "view", "system table", "linked table".
QString ObjectKindName(TObjectKind kind);
