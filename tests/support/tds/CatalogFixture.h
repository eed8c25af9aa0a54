// Catalogue fixtures for the test TDS server: SQLite files holding the compatibility views
// sysobjects, syscolumns and systypes and the catalog views of SQL Server 2005 and later (sys.objects,
// sys.columns, sys.indexes, ...; see FIXTURES.md) with the rows a SQL Server database would show, so
// that a catalogue query gives here what it gives on a real server. A database is described once,
// with SQL Server type texts ("nvarchar(40)", "decimal(10,2)", "varchar(max)", a user type's name),
// keys, indexes, foreign keys, defaults and descriptions, and both layouts are written from that one
// description as NAME.sqlite into a folder that tds-testserver serves.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

namespace tdsfixture {

struct Column
{
    Column() = default;
    Column(std::string columnName, std::string typeText, bool allowsNull = true)
        : name(std::move(columnName)), type(std::move(typeText)), nullable(allowsNull)
    {
    }

    std::string name;
    std::string type; // SQL Server type text, or the name of one of the database's user types
    bool nullable = true;
    // As SQL Server stores them: "(getdate())", "((0))", "([Qty]*[Price])"; empty when none.
    std::string defaultValue;
    std::string defaultName; // the default constraint's name; made up from the column when empty
    std::string computed;    // the type is then the expression's
    bool identity = false;
    long long seed = 1, increment = 1;
    std::string description; // MS_Description
};

// A primary key or unique constraint: its name and key columns in key order.
struct Key
{
    std::string name;
    std::vector<std::string> columns;
};

struct IndexKey
{
    std::string column;
    bool descending = false;
};

// An index that is no constraint (a nonclustered one unless clustered is set; the primary key's
// index is clustered when no other index is).
struct Index
{
    std::string name;
    bool unique = false;
    std::vector<IndexKey> keys;
    std::vector<std::string> included; // INCLUDE columns
    std::string filter{};              // a filtered index's WHERE as stored: "([Qty]>(0))"
    bool clustered = false;
};

// A procedure's or function's parameter, or (without a name) a scalar function's return value.
struct Parameter
{
    std::string name; // with its "@"
    std::string type; // as for columns
    bool output = false;
};

// A DML trigger of a table or view.
struct Trigger
{
    std::string name;
    std::vector<std::string> events; // "INSERT", "UPDATE", "DELETE"
    bool insteadOf = false;
    bool disabled = false;
    std::string definition; // the CREATE TRIGGER text as stored
    bool encrypted = false; // WITH ENCRYPTION: sys.sql_modules shows no text
};

// A CHECK constraint of a column, or of the table when column is empty.
struct Check
{
    std::string name;
    std::string column;
    std::string definition; // as stored: "([price]>=(0))"
    bool disabled = false;  // NOCHECK: not enforced
};

// CREATE SEQUENCE: the type and the values as written (integers).
struct Sequence
{
    std::string type = "bigint";
    long long start = 1, increment = 1, minimum = 1, maximum = 9223372036854775807LL;
    bool cycle = false;
};

// Referential actions with sys.foreign_keys' codes.
enum class Action
{
    NoAction = 0,
    Cascade = 1,
    SetNull = 2,
    SetDefault = 3
};

struct ForeignKey
{
    std::string name;
    std::vector<std::string> columns;
    std::string referencedTable; // "schema.name", or a bare name in dbo
    std::vector<std::string> referencedColumns;
    bool disabled = false; // WITH NOCHECK / NOCHECK CONSTRAINT: not enforced
    Action onDelete = Action::NoAction;
    Action onUpdate = Action::NoAction;
};

// Columns from a list like "id int not null, [Größe Nr.] decimal(10,2), notes nvarchar(max) null":
// a name (in brackets, with "]]" for "]", when it holds a blank), a type text, and an optional
// "null" or "not null" (nullable when neither is given). Throws std::invalid_argument on an empty item.
std::vector<Column> columns(std::string_view definition);

// What syscolumns stores for a column of some type.
struct TypeShape
{
    int xtype = 0;
    int xusertype = 0;
    int length = 0; // bytes; -1 for the (max) types and xml
    int xprec = 0;
    int xscale = 0;
};

struct Object
{
    std::string name;
    // "U" table, "V" view, "S" system table, "P"/"PC" procedure, "FN"/"IF"/"TF"/"FS"/"FT"
    // function, "SO" sequence, "SN" synonym. Tables, views and table-valued functions have columns.
    std::string xtype;
    int id = 0;
    std::vector<Column> columns;
    std::string schema = "dbo";
    std::string description; // MS_Description
    std::optional<Key> primaryKey;
    std::vector<Key> uniqueConstraints;
    std::vector<Index> indexes;
    std::vector<ForeignKey> foreignKeys;
    std::vector<Check> checks;
    std::vector<Trigger> triggers; // of tables and views
    // Views and T-SQL routines: the text sys.sql_modules holds (leading comments and all); none
    // with encrypted. CLR routines (PC, FS, FT) have no such row.
    std::string definition;
    bool encrypted = false;
    std::vector<Parameter> parameters; // in order; a scalar function's return value first, unnamed
    std::optional<Sequence> sequence;
    std::string synonymTarget; // base_object_name as stored: "[dbo].[titles]"

    // Throws std::invalid_argument when there is no such column.
    Column& column(const std::string& name);
    const Column& column(const std::string& name) const;
};

struct UserType
{
    std::string name;
    std::string baseType; // a system type text, e.g. "varchar(6)"
};

// One database. The builders throw std::invalid_argument on an unknown type text, an empty name or a
// name used twice, so a fixture cannot silently describe something a server would refuse.
class Database
{
public:
    explicit Database(std::string name);

    Database& addUserType(const std::string& name, const std::string& baseType);
    // A schema besides dbo (schema_id 1) and sys (4); the first one added gets id 5.
    Database& addSchema(const std::string& name);
    Database& addTable(const std::string& name, std::vector<Column> columns);
    Database& addTable(const std::string& schema, const std::string& name, std::vector<Column> columns);
    Database& addView(const std::string& name, std::vector<Column> columns);
    Database& addSystemTable(const std::string& name, std::vector<Column> columns);
    // A catalogue row without columns: a procedure ("P"), a key ("PK"), a default ("D"), ...
    Database& addObject(const std::string& name, const std::string& xtype);
    // A procedure or function (xtype P, PC, FN, IF, TF, FS, FT): its parameters (a scalar
    // function's return value first, without a name) and, for T-SQL ones, its definition.
    Database& addRoutine(const std::string& schema, const std::string& name, const std::string& xtype,
                         std::vector<Parameter> parameters, std::string definition = {});
    Database& addSequence(const std::string& schema, const std::string& name, Sequence sequence);
    Database& addSynonym(const std::string& schema, const std::string& name, const std::string& target);
    // The 19 system tables of a SQL Server 2000 user database with their usual object ids.
    Database& addSqlServer2000SystemTables();

    // The object "schema.name", or "name" in dbo; throws std::invalid_argument when there is none.
    // Keys, indexes, foreign keys, defaults and descriptions are set on it; writeDatabase checks
    // that what they name exists.
    Object& object(const std::string& qualifiedName);
    const Object* find(const std::string& qualifiedName) const;

    const std::string& name() const { return m_name; }
    const std::vector<Object>& objects() const { return m_objects; }
    const std::vector<std::string>& schemas() const { return m_schemas; } // without dbo and sys
    int schemaId(const std::string& schema) const;                        // -1 when unknown
    // False: only the compatibility views, as on SQL Server 2000, which has no sys.* catalog views.
    bool catalogViews = true;
    const std::vector<UserType>& userTypes() const { return m_userTypes; }

    // The syscolumns values for a type text in this database (user types get xusertype 257 and up).
    TypeShape shapeOf(const std::string& typeText) const;

private:
    Database& add(const std::string& name, const std::string& xtype, int id, std::vector<Column> columns,
                  const std::string& schema = "dbo");

    std::string m_name;
    std::vector<std::string> m_schemas;
    std::vector<Object> m_objects;
    std::vector<UserType> m_userTypes;
    std::set<std::string> m_names; // "schema.name", lower case
    std::set<int> m_ids;
    int m_nextUserId = 0;
};

// Whether a file's table of this name (any letter case) stands for a catalogue view: sysobjects,
// syscolumns, systypes or one of layout 2's sys.X. A user table of such a name gets no real table.
bool isCatalogTable(const std::string& name);

// The catalogue tables with the system types, in an open database. Throws std::runtime_error.
void createCatalogTables(sqlite3* db);

// Writes DIR/NAME.sqlite (replacing it) by way of a temporary file, so a server listing DIR never
// sees half a database. Throws std::invalid_argument for a name no file can carry ("/", NUL) and
// std::runtime_error when the file cannot be written.
void writeDatabase(const Database& db, const std::string& dir);
std::string databaseFileName(const std::string& databaseName);

// A user database: the 19 system tables of SQL Server 2000, 3 user tables in dbo and one of the same
// name as one of them in the schema "sales", 2 views, the user types tid, empid and phone, every
// common column type, nullable and not, and awkward names (blank, "]", "'", ";", umlauts, CJK); a
// composite primary key, a unique constraint, an index with a descending key and an included
// column, foreign keys with cascades, set null and one not enforced, defaults, an IDENTITY and a
// computed column, descriptions (non-ASCII too) on tables and columns. Besides the tables: view
// definitions (one with leading comments, one encrypted), procedures and functions with their
// parameters (an output one, a scalar function's return type, a CLR function without text, a
// procedure of more than 4,000 characters), triggers of a table and a view (after and instead
// of, one disabled, one encrypted), check constraints of a column and of a table (one not
// enforced), a clustered index beside a nonclustered primary key, a filtered index, two sequences
// and two synonyms. No table list may show any of them.
Database sampleDatabase();
// The database "we]ird';db", whose name needs quoting in every form of USE; it has only the
// compatibility views, as a SQL Server 2000 database has.
Database weirdDatabase();
// What bigDatabase adds besides its tables: views View0001... over Table0001..., procedures
// Proc0001... with two parameters, and triggers Trigger0001... on Table0001..., each with a
// definition of a few hundred characters.
struct Modules
{
    int views = 0;
    int procedures = 0;
    int triggers = 0;
};

// tables x columnsPerTable columns of mixed types, named Table0001... and Col01_<type>...
Database bigDatabase(int tables = 1000, int columnsPerTable = 20, Modules modules = {});
// sample, big and we]ird';db into dir (created when missing); big with the given modules.
void writeStandardFixtures(const std::string& dir, Modules bigModules = {});

} // namespace tdsfixture
