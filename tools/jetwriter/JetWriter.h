// Writes Access database files (.mdb, Jet 4; plus Jet 3 and ACE variants) from a plain description of
// their tables. Used to generate test fixtures, the bundled sample database and benchmark files; never
// part of the program. The files carry what a catalogue reader needs (header page, MSysObjects, table
// definitions, usage maps), index definitions with empty index pages, relationships and design
// properties, but no user data rows; they are checked against mdbtools.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>

namespace jet {

// Column type codes as stored in a table definition.
enum class ColumnType : std::uint8_t
{
    Bool = 1,
    Byte = 2,
    Int = 3,  // 16-bit
    Long = 4, // 32-bit; AutoNumber with Column::autoNumber
    Money = 5,
    Float = 6,
    Double = 7,
    DateTime = 8,
    Binary = 9,
    Text = 10,
    OLE = 11,
    Memo = 12, // Hyperlink with Column::hyperlink
    Unknown13 = 13,
    RepId = 15,       // GUID; GUID AutoNumber with Column::autoNumber
    Numeric = 16,     // Decimal(precision, scale)
    Complex = 18,     // ACE only: attachments, multi-value fields
    BigInt = 19,      // ACE only
    ExtDateTime = 20, // ACE only
};

// Column flag bits as stored (byte 15 of a Jet 4 column block).
namespace ColumnFlag {
inline constexpr std::uint8_t Fixed = 0x01;
inline constexpr std::uint8_t Updatable = 0x02;
inline constexpr std::uint8_t AutoLong = 0x04;
inline constexpr std::uint8_t AutoGuid = 0x40;
inline constexpr std::uint8_t Hyperlink = 0x80;
} // namespace ColumnFlag

// A lookup field as Access's Lookup tab stores it.
struct Lookup
{
    int displayControl = 111; // 106 check box, 109 text box, 110 list box, 111 combo box
    QString rowSourceType = QStringLiteral("Table/Query"); // or "Value List", "Field List"
    QString rowSource{};
    int boundColumn = 1;
    int columnCount = 1;
    bool limitToList = false;
};

struct Column;
// A column of a name, a type and, for Text and Binary, a length; the rest as the struct presets it.
Column makeColumn(const QString& name, ColumnType type, int length = 0, bool fixed = false);

struct Column
{
    QString name;
    ColumnType type = ColumnType::Long;
    // Text: characters (stored as twice as many bytes in Jet 4 and ACE); Binary: bytes. 0 = 255.
    // Ignored for the other types, which get their storage size.
    int length = 0;
    // Fixed-length Text or Binary. Types of a fixed storage size are always flagged fixed.
    bool fixed = false;
    // Long: AutoNumber (flag 0x04); RepId: GUID AutoNumber (flag 0x40). Ignored for other types.
    bool autoNumber = false;
    // Memo only: flag 0x80.
    bool hyperlink = false;
    // Numeric only (stored at bytes 11 and 12 of the column block).
    int precision = 18;
    int scale = 0;
    // OR'ed into the stored flag byte as is, for odd combinations.
    std::uint8_t extraFlags = 0;

    // Design properties, stored in the table's MSysObjects.LvProp (Jet 3: in its code page). Empty
    // texts and false are not written.
    QString description{};
    bool required = false;  // the Required property, not a stored column flag
    QString defaultValue{}; // as Access keeps it: "0", "=Now()", "\"x\""
    QString expression{};   // ACE only: the Expression of a calculated column, with ResultType
    // The field properties of the design view; empty texts, -1 and false are not written.
    QString caption{};
    QString format{};
    QString inputMask{};
    int decimalPlaces = -1; // 0 to 15, or 255 for "Auto" as Access stores it
    bool allowZeroLength = false;
    QString validationRule{};
    QString validationText{};
    std::optional<Lookup> lookup{};
    // Complex (ACE): a multi-value field of values of this type. The writer adds the hidden table
    // of its values, whose Value column carries the lookup, and its row of MSysComplexColumns.
    std::optional<ColumnType> multiValue{};
};

struct IndexColumn
{
    QString name;
    bool descending = false;
};

// A user index. The hidden indexes that enforce a relationship are added by
// the writer from Database::relationships.
struct Index
{
    QString name;               // Access names the primary key "PrimaryKey"
    QList<IndexColumn> columns; // 1 to 10
    bool primaryKey = false;    // also unique and required
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    // Created after the table's relationships: its stored index comes after the hidden
    // foreign-key ones, as in a file where an index was added later. libmdb 1.0 then loses it.
    bool afterRelationships = false;
};

namespace TableFlag {
inline constexpr std::uint32_t User = 0;
inline constexpr std::uint32_t AltSystem = 0x2;
inline constexpr std::uint32_t Hidden = 0x8;
inline constexpr std::uint32_t System = 0x80000000u;
} // namespace TableFlag

struct Table
{
    QString name;
    QList<Column> columns;
    std::uint32_t flags = TableFlag::User; // MSysObjects.Flags
    std::uint32_t rowCount = 0;            // only the count in the definition; no rows are written
    QList<Index> indexes{};
    QString description{};    // the table's own Description property
    QString validationRule{}; // the table's own rule over its fields, and its text
    QString validationText{};
};

// MSysRelationships.grbit bits.
namespace RelationFlag {
inline constexpr std::uint32_t OneToOne = 0x1;
inline constexpr std::uint32_t NotEnforced = 0x2;
inline constexpr std::uint32_t CascadeUpdates = 0x100;
inline constexpr std::uint32_t CascadeDeletes = 0x1000;
inline constexpr std::uint32_t CascadeNull = 0x2000; // set the foreign key to Null on delete
} // namespace RelationFlag

// A relationship: table.columns refer to referencedTable.referencedColumns (in the same order).
// Written as one MSysRelationships row per column pair and a catalogue row of Type 8. An enforced
// one (no NotEnforced bit) also gets the two hidden foreign-key indexes Access keeps: ".rB",
// ".rC", ... on the referenced table, which must have a unique index over exactly those columns,
// and one named like the relationship on the referencing table.
struct Relationship
{
    QString name; // Access's default: referenced table name + table name, "CustomersOrders"
    QString table;
    QStringList columns;
    QString referencedTable;
    QStringList referencedColumns;
    std::uint32_t flags = 0; // RelationFlag bits
};

// A catalogue row that is not a local table (query 5, linked table 6, ODBC link 4, relationship 8,
// form -32768, ...). It gets no table definition; its Id points at no page.
struct CatalogObject
{
    CatalogObject() = default;
    CatalogObject(const QString& objectName, std::int16_t objectType, std::uint32_t objectFlags = 0)
        : name(objectName), type(objectType), flags(objectFlags)
    {
    }

    QString name;
    std::int16_t type = 5;
    std::uint32_t flags = 0;
    // Linked tables: MSysObjects.Database (the back-end file), Connect (";PWD=..." for a
    // password-protected back-end, "ODBC;DSN=..." for an ODBC link) and ForeignName (the table's
    // name in its source). Empty texts are stored as NULL.
    QString database;
    QString connect;
    QString foreignName;
};

// A link to the table foreignName of the Access file database (Type 6), as Access stores it.
CatalogObject jetLink(const QString& name, const QString& database, const QString& foreignName,
                      const QString& connect = {});
// A link to the table foreignName of an ODBC data source (Type 4).
CatalogObject odbcLink(const QString& name, const QString& connect, const QString& foreignName);

// A saved query, described as Access's query designer holds it; the writer stores it as the
// MSysQueries rows Access writes (docs/JET-FORMAT.md) and a catalogue row of Type 5.
enum class QueryType
{
    Select,
    MakeTable,
    Append,
    Update,
    Delete,
    Crosstab,
    DataDefinition,
    PassThrough,
    Union
};

struct QueryColumn
{
    QString expression;
    QString alias{};
    // Append: the target table's column; Update: the column set ("Table.Column"), expression being
    // the new value. Crosstab: true for the row headings (the other columns are the value).
    QString target{};
    bool rowHeading = false;
};

struct QueryTable
{
    QString name;
    QString alias{};
};

struct QueryJoin
{
    QString left; // a table's alias or name
    QString right;
    int type = 1; // 1 inner, 2 left, 3 right
    QStringList conditions;
};

struct QueryParameter
{
    QString name;
    int daoType = 10; // DAO: 1 Yes/No, 4 Long, 5 Currency, 7 Double, 8 Date/Time, 10 Text, ...
};

namespace QueryFlag {
inline constexpr std::uint32_t AltSystem = 0x2; // Access's own (forms' and reports' record sources)
inline constexpr std::uint32_t Hidden = 0x8;
} // namespace QueryFlag

struct Query
{
    QString name;
    QueryType type = QueryType::Select;
    std::uint32_t flags = 0; // QueryFlag bits beyond the type, which the writer adds
    QString description{};   // the Description property Access shows in the navigation pane
    QList<QueryParameter> parameters{};
    bool distinct = false;
    bool distinctRow = false;
    bool allFields = false; // "*" after the columns
    int top = 0;            // TOP n; 0: none
    bool percent = false;
    QList<QueryColumn> columns{};
    QList<QueryTable> tables{};
    QList<QueryJoin> joins{};
    QString where{};
    QStringList groupBy{};
    QString having{};
    QList<std::pair<QString, bool>> orderBy{}; // expression, descending
    QString target{};                          // make-table and append: the target table
    QStringList values{};                      // append: a VALUES list (with the columns' targets)
    QString transform{};                       // crosstab: the value and its alias
    QString transformAlias{};
    QString pivot{};
    QString text{};           // pass-through and data-definition: the statement
    QString connect{};        // pass-through: the ODBC connect text
    QStringList unionParts{}; // union: the SELECTs, in order
    bool unionAll = false;
};

enum class Format
{
    Jet4,  // 4 KiB pages, version byte 1
    Jet3,  // 2 KiB pages, version byte 0, text in Windows-1252, 20-byte password at 0x42; no Decimal
           // or ACE types, and catalogue rows must stay under 256 bytes (names of 64 characters fit)
    Ace12, // as Jet 4 with version byte 2 and "Standard ACE DB"; a password is stored as Jet 4 does
};

struct Database
{
    Format format = Format::Jet4;
    // Empty = no password. Jet 4/ACE: up to 20 UTF-16 units; Jet 3: up to 20 bytes of Windows-1252.
    // Longer texts are cut to what the field holds.
    QString password;
    double creationDate = 44532.65; // OLE date; its integer part masks the Jet 4 password
    std::uint16_t codePage = 1252;
    std::uint32_t sortOrder = 0x409;
    QList<Table> tables;
    // Adds the system tables with the flags Access gives them: MSysObjects 0x80000002 (with a row
    // for itself, Id 2), MSysACEs, MSysQueries, MSysRelationships 0x80000000, MSysAccessStorage 0xA
    // (0x2 | hidden), MSysIMEXSpecs 0x2; plus the catalogue rows "Tables", "Databases",
    // "Relationships" (Type 3) and "MSysDb" (Type 2). Without it only the MSysObjects definition is
    // written (readers need it) and it has no row for itself, so a query naming it finds no table.
    bool withSystemTables = true;
    // Further catalogue rows after the tables, in this order.
    QList<CatalogObject> otherObjects;
    // Need withSystemTables (MSysRelationships holds them).
    QList<Relationship> relationships;
    // Need withSystemTables (MSysQueries holds them); catalogue rows after otherObjects.
    QList<Query> queries{};
};

// The whole file image. Table definitions longer than a page continue on further pages, so tables
// with hundreds of columns are fine. Throws std::invalid_argument for descriptions that cannot be
// stored (empty or overlong names, lengths out of range, more than 4096 columns).
QByteArray buildFile(const Database& db);
// Writes buildFile(db) to path; throws std::runtime_error when the file cannot be written.
void writeFile(const QString& path, const Database& db);

// One column of every type Jet 4 knows, with the usual flags: the tour of a column reader.
Table everyTypeTable(const QString& name = QStringLiteral("AllTypes"));
// The bundled sample: Customers, Orders, "Order Details", Products, Countries, the hidden table
// AppSettings (Flags 8), a query and a report in the catalogue, and the system tables.
// For Jet 3, which has no Decimal, Double stands in.
Database sampleDatabase(Format format = Format::Jet4);
// The structure-model tour: Customers, Orders, "Order Details",
// Products, Countries, Employees and Returns with primary keys (one single-column, one composite),
// unique, descending and multi-column indexes, relationships with cascading updates, deletes and
// Null, one not enforced and one over two columns, descriptions in several scripts, default
// values, Required, AutoNumber and Yes/No columns; for ACE a calculated column. Jet 3 files,
// whose code page has no CJK, get the descriptions without their CJK words. Returns.ReturnDate
// and Orders.ShippedDate are indexes made after their tables' relationships (see
// Index::afterRelationships); the second has a logical number other than its real one.
Database richDatabase(Format format = Format::Jet4);
// tables x columnsPerTable (0 to 255) columns of mixed types, named Table0001... and
// Col01_<kind>..., for benchmarks. Throws std::invalid_argument for counts out of range.
Database benchmarkDatabase(int tables = 2000, int columnsPerTable = 30, Format format = Format::Jet4);
// count saved queries over db's tables (which must have at least two, with two columns each):
// selects with joins, aliases and criteria, a parameter query and an action query of each kind
// in turn, named Query0001...
void addBenchmarkQueries(Database& db, int count);

} // namespace jet
