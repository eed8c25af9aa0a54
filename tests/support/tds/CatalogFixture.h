// Catalogue fixtures for the test TDS server: SQLite files holding the three catalogue tables
// sysobjects, syscolumns and systypes with the rows a SQL Server database would show, so that a
// catalogue query gives here what it gives on a real server. A database is described with SQL
// Server type texts ("nvarchar(40)", "decimal(10,2)", "varchar(max)", a user type's name) and
// written as NAME.sqlite into a folder that tds-testserver serves.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tdsfixture {

struct Column
{
    std::string name;
    std::string type; // SQL Server type text, or the name of one of the database's user types
    bool nullable = true;
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
    std::string xtype; // "U" table, "V" view, "S" system table; others ("P", "PK", "D") carry no columns
    int id = 0;
    std::vector<Column> columns;
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
    Database& addTable(const std::string& name, std::vector<Column> columns);
    Database& addView(const std::string& name, std::vector<Column> columns);
    Database& addSystemTable(const std::string& name, std::vector<Column> columns);
    // A catalogue row without columns: a procedure ("P"), a key ("PK"), a default ("D"), ...
    Database& addObject(const std::string& name, const std::string& xtype);
    // The 19 system tables of a SQL Server 2000 user database with their usual object ids.
    Database& addSqlServer2000SystemTables();

    const std::string& name() const { return m_name; }
    const std::vector<Object>& objects() const { return m_objects; }
    const std::vector<UserType>& userTypes() const { return m_userTypes; }

    // The syscolumns values for a type text in this database (user types get xusertype 257 and up).
    TypeShape shapeOf(const std::string& typeText) const;

private:
    Database& add(const std::string& name, const std::string& xtype, int id, std::vector<Column> columns);

    std::string m_name;
    std::vector<Object> m_objects;
    std::vector<UserType> m_userTypes;
    std::set<std::string> m_names; // lower case
    std::set<int> m_ids;
    int m_nextUserId = 0;
};

// The catalogue tables with the system types, in an open database. Throws std::runtime_error.
void createCatalogTables(sqlite3* db);

// Writes DIR/NAME.sqlite (replacing it) by way of a temporary file, so a server listing DIR never
// sees half a database. Throws std::invalid_argument for a name no file can carry ("/", NUL) and
// std::runtime_error when the file cannot be written.
void writeDatabase(const Database& db, const std::string& dir);
std::string databaseFileName(const std::string& databaseName);

// A SQL Server 2000 style user database: the 19 system tables, 3 user tables, 2 views, the user
// types tid, empid and phone, every common column type, nullable and not, and awkward names (blank,
// "]", "'", ";", umlauts, CJK), plus a procedure, a key and a default that no table list may show.
Database sampleDatabase();
// The database "we]ird';db", whose name needs quoting in every form of USE.
Database weirdDatabase();
// tables x columnsPerTable columns of mixed types, named Table0001... and Col01_<type>...
Database bigDatabase(int tables = 1000, int columnsPerTable = 20);
// sample, big and we]ird';db into dir (created when missing).
void writeStandardFixtures(const std::string& dir);

} // namespace tdsfixture
