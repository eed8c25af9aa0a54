#include "CatalogFixture.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <utility>

namespace tdsfixture {

namespace {

struct SystemType
{
    const char* name;
    TypeShape shape; // storage length, precision and scale as systypes lists them
};

// systypes of SQL Server 2008 and later (its compatibility view), in xtype order.
const SystemType kSystemTypes[] = {
    {"image", {34, 34, 16, 0, 0}},
    {"text", {35, 35, 16, 0, 0}},
    {"uniqueidentifier", {36, 36, 16, 0, 0}},
    {"date", {40, 40, 3, 10, 0}},
    {"time", {41, 41, 5, 16, 7}},
    {"datetime2", {42, 42, 8, 27, 7}},
    {"datetimeoffset", {43, 43, 10, 34, 7}},
    {"tinyint", {48, 48, 1, 3, 0}},
    {"smallint", {52, 52, 2, 5, 0}},
    {"int", {56, 56, 4, 10, 0}},
    {"smalldatetime", {58, 58, 4, 16, 0}},
    {"real", {59, 59, 4, 24, 0}},
    {"money", {60, 60, 8, 19, 4}},
    {"datetime", {61, 61, 8, 23, 3}},
    {"float", {62, 62, 8, 53, 0}},
    {"sql_variant", {98, 98, 8016, 0, 0}},
    {"ntext", {99, 99, 16, 0, 0}},
    {"bit", {104, 104, 1, 1, 0}},
    {"decimal", {106, 106, 17, 38, 38}},
    {"numeric", {108, 108, 17, 38, 38}},
    {"smallmoney", {122, 122, 4, 10, 4}},
    {"bigint", {127, 127, 8, 19, 0}},
    {"varbinary", {165, 165, 8000, 0, 0}},
    {"varchar", {167, 167, 8000, 0, 0}},
    {"binary", {173, 173, 8000, 0, 0}},
    {"char", {175, 175, 8000, 0, 0}},
    {"timestamp", {189, 189, 8, 0, 0}},
    {"nvarchar", {231, 231, 8000, 0, 0}},
    {"nchar", {239, 239, 8000, 0, 0}},
    {"xml", {241, 241, -1, 0, 0}},
    {"sysname", {231, 256, 256, 0, 0}},
};

constexpr int kFirstUserTypeId = 257;
constexpr int kFirstUserObjectId = 357576312; // ids of user objects on a real server look like this
constexpr int kUserObjectIdStep = 1600007;

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string trimmed(const std::string& s)
{
    const std::size_t b = s.find_first_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

int parseNumber(const std::string& text, const std::string& typeText)
{
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > 5 || !std::all_of(t.begin(), t.end(), ::isdigit))
        throw std::invalid_argument("bad number in type " + typeText);
    return std::stoi(t);
}

// Bytes a decimal of precision p takes on disk.
int decimalLength(int precision)
{
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

// Storage bytes of the time part with fractional-second scale s.
int timeLength(int scale)
{
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

std::string quoted(const std::string& name)
{
    std::string q = "\"";
    for (char c : name)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// The SQLite column type for a real table standing in for a catalogued one.
const char* affinityOf(int xtype)
{
    static const std::set<int> integers = {48, 52, 56, 104, 127}, reals = {59, 60, 62, 106, 108, 122},
                               blobs = {34, 165, 173, 189};
    return integers.count(xtype) ? "INTEGER"
           : reals.count(xtype)  ? "REAL"
           : blobs.count(xtype)  ? "BLOB"
                                 : "TEXT";
}

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Stmt = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

void run(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("SQLite: " + message + " in: " + sql.substr(0, 200));
    }
}

Stmt prepare(sqlite3* db, const char* sql)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db));
    return Stmt(s, sqlite3_finalize);
}

// Binds the values in order, runs the statement once and resets it for the next row.
template <typename... Values> void insert(sqlite3* db, sqlite3_stmt* s, const Values&... values)
{
    int i = 0;
    auto bind = [&](const auto& v) {
        ++i;
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::nullptr_t>)
            sqlite3_bind_null(s, i);
        else if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
            sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        else if constexpr (std::is_same_v<std::decay_t<decltype(v)>, const char*>)
            sqlite3_bind_text(s, i, v, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_int64(s, i, v);
    };
    (bind(values), ...);
    if (sqlite3_step(s) != SQLITE_DONE)
        throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db));
    sqlite3_reset(s);
}

// The catalog views, each a table of the database's own file: the name, then the columns with the
// types Microsoft documents for them (sysname is nvarchar(128); the server sends these types).
struct ViewTable
{
    const char* name;
    const char* columns;
};
const ViewTable kCatalogViews[] = {
    {"schemas", "name sysname COLLATE NOCASE, schema_id int, principal_id int"},
    {"objects", "name sysname COLLATE NOCASE, object_id int, schema_id int, parent_object_id int, "
                "type char(2) COLLATE NOCASE, is_ms_shipped bit"},
    {"columns", "object_id int, name sysname COLLATE NOCASE, column_id int, system_type_id tinyint, "
                "user_type_id int, max_length smallint, precision tinyint, scale tinyint, is_nullable bit, "
                "is_identity bit, is_computed bit"},
    {"types", "name sysname COLLATE NOCASE, system_type_id tinyint, user_type_id int, schema_id int, "
              "max_length smallint, precision tinyint, scale tinyint, is_nullable bit, is_user_defined bit"},
    {"indexes", "object_id int, name sysname COLLATE NOCASE, index_id int, type tinyint, is_unique bit, "
                "is_primary_key bit, is_unique_constraint bit, is_disabled bit, has_filter bit, "
                "filter_definition \"nvarchar(max)\""},
    {"index_columns", "object_id int, index_id int, index_column_id int, column_id int, key_ordinal tinyint, "
                      "is_descending_key bit, is_included_column bit"},
    {"foreign_keys", "name sysname COLLATE NOCASE, object_id int, parent_object_id int, "
                     "referenced_object_id int, is_disabled bit, delete_referential_action tinyint, "
                     "update_referential_action tinyint"},
    {"foreign_key_columns", "constraint_object_id int, constraint_column_id int, parent_object_id int, "
                            "parent_column_id int, referenced_object_id int, referenced_column_id int"},
    {"default_constraints", "name sysname COLLATE NOCASE, object_id int, parent_object_id int, "
                            "parent_column_id int, definition nvarchar"},
    {"computed_columns", "object_id int, column_id int, definition nvarchar"},
    {"identity_columns", "object_id int, column_id int, seed_value sql_variant, increment_value sql_variant"},
    {"extended_properties", "class tinyint, major_id int, minor_id int, name sysname COLLATE NOCASE, "
                            "value sql_variant"},
    {"sql_modules", "object_id int, definition \"nvarchar(max)\""},
    {"check_constraints", "name sysname COLLATE NOCASE, object_id int, parent_object_id int, "
                          "parent_column_id int, definition \"nvarchar(max)\", is_disabled bit"},
    {"parameters", "object_id int, name sysname COLLATE NOCASE, parameter_id int, system_type_id tinyint, "
                   "user_type_id int, max_length smallint, precision tinyint, scale tinyint, is_output bit"},
    {"triggers", "name sysname COLLATE NOCASE, object_id int, parent_class tinyint, parent_id int, "
                 "is_disabled bit, is_instead_of_trigger bit"},
    {"trigger_events", "object_id int, type int, type_desc nvarchar(60)"},
    {"sequences", "name sysname COLLATE NOCASE, object_id int, schema_id int, user_type_id int, "
                  "start_value sql_variant, increment sql_variant, minimum_value sql_variant, "
                  "maximum_value sql_variant, is_cycling bit"},
    {"synonyms",
     "name sysname COLLATE NOCASE, object_id int, schema_id int, base_object_name nvarchar(1035)"},
};

const char* const kRoutineTypes[] = {"P", "PC", "FN", "IF", "TF", "FS", "FT"};

bool isRoutine(const std::string& xtype)
{
    return std::any_of(std::begin(kRoutineTypes), std::end(kRoutineTypes),
                       [&](const char* t) { return xtype == t; });
}

// CLR routines live in an assembly: sys.sql_modules has no row for them.
bool isClrRoutine(const std::string& xtype)
{
    return xtype == "PC" || xtype == "FS" || xtype == "FT";
}

// sys.trigger_events' codes.
int triggerEventType(const std::string& event)
{
    return event == "INSERT" ? 1 : event == "UPDATE" ? 2 : event == "DELETE" ? 3 : 0;
}

} // namespace

bool isCatalogTable(const std::string& name)
{
    const std::string n = lower(name);
    return n == "sysobjects" || n == "syscolumns" || n == "systypes" ||
           std::any_of(std::begin(kCatalogViews), std::end(kCatalogViews),
                       [&](const ViewTable& v) { return n == v.name; });
}

namespace {

constexpr int kDboSchemaId = 1;
constexpr int kSysSchemaId = 4;
constexpr int kFirstUserSchemaId = 5;

std::string qualifiedKey(const std::string& schema, const std::string& name)
{
    return lower(schema) + "." + lower(name);
}

} // namespace

Database::Database(std::string name) : m_name(std::move(name))
{
    if (m_name.empty())
        throw std::invalid_argument("empty database name");
}

TypeShape Database::shapeOf(const std::string& typeText) const
{
    const std::string text = lower(trimmed(typeText));
    const std::size_t paren = text.find('(');
    const std::string base = trimmed(text.substr(0, paren));
    std::vector<std::string> args;
    if (paren != std::string::npos) {
        if (text.back() != ')')
            throw std::invalid_argument("bad type " + typeText);
        std::string inner = text.substr(paren + 1, text.size() - paren - 2);
        for (std::size_t comma; (comma = inner.find(',')) != std::string::npos; inner.erase(0, comma + 1))
            args.push_back(trimmed(inner.substr(0, comma)));
        args.push_back(trimmed(inner));
    }
    for (std::size_t i = 0; i < m_userTypes.size(); ++i) {
        if (lower(m_userTypes[i].name) == base) {
            if (!args.empty())
                throw std::invalid_argument("user type with arguments: " + typeText);
            TypeShape shape = shapeOf(m_userTypes[i].baseType);
            shape.xusertype = kFirstUserTypeId + static_cast<int>(i);
            return shape;
        }
    }
    const auto it = std::find_if(std::begin(kSystemTypes), std::end(kSystemTypes),
                                 [&](const SystemType& t) { return base == t.name; });
    if (it == std::end(kSystemTypes))
        throw std::invalid_argument("unknown type " + typeText);
    TypeShape shape = it->shape;
    const std::string kind = it->name;
    const bool sized = kind == "char" || kind == "varchar" || kind == "binary" || kind == "varbinary";
    const bool wide = kind == "nchar" || kind == "nvarchar";
    if (sized || wide) {
        if (args.size() > 1)
            throw std::invalid_argument("bad type " + typeText);
        const bool variable = kind.starts_with("var") || kind == "nvarchar";
        if (!args.empty() && args[0] == "max") {
            if (!variable)
                throw std::invalid_argument("(max) on a fixed type: " + typeText);
            shape.length = -1;
        } else {
            const int n = args.empty() ? 1 : parseNumber(args[0], typeText);
            if (n < 1 || n > (wide ? 4000 : 8000))
                throw std::invalid_argument("length out of range: " + typeText);
            shape.length = wide ? 2 * n : n;
        }
        shape.xprec = shape.xscale = 0;
    } else if (kind == "decimal" || kind == "numeric") {
        if (args.size() > 2)
            throw std::invalid_argument("bad type " + typeText);
        const int p = args.empty() ? 18 : parseNumber(args[0], typeText);
        const int s = args.size() < 2 ? 0 : parseNumber(args[1], typeText);
        if (p < 1 || p > 38 || s > p)
            throw std::invalid_argument("precision out of range: " + typeText);
        shape.length = decimalLength(p), shape.xprec = p, shape.xscale = s;
    } else if (kind == "float") {
        // float(1..24) is stored as real.
        const int n = args.empty() ? 53 : parseNumber(args[0], typeText);
        if (args.size() > 1 || n < 1 || n > 53)
            throw std::invalid_argument("bad type " + typeText);
        if (n <= 24)
            return shapeOf("real");
    } else if (kind == "time" || kind == "datetime2" || kind == "datetimeoffset") {
        const int s = args.empty() ? 7 : parseNumber(args[0], typeText);
        if (args.size() > 1 || s > 7)
            throw std::invalid_argument("bad type " + typeText);
        // Precision counts the digits shown: the fixed part, then the point and s digits when s > 0.
        const int fixedDigits = kind == "time" ? 8 : kind == "datetime2" ? 19 : 26;
        const int extraBytes = kind == "time" ? 0 : kind == "datetime2" ? 3 : 5;
        shape.length = timeLength(s) + extraBytes;
        shape.xprec = fixedDigits + (s > 0 ? s + 1 : 0);
        shape.xscale = s;
    } else if (!args.empty()) {
        throw std::invalid_argument("type takes no arguments: " + typeText);
    }
    return shape;
}

Column& Object::column(const std::string& wanted)
{
    return const_cast<Column&>(std::as_const(*this).column(wanted));
}

const Column& Object::column(const std::string& wanted) const
{
    for (const Column& c : columns) {
        if (lower(c.name) == lower(wanted))
            return c;
    }
    throw std::invalid_argument("no column " + wanted + " in " + schema + "." + name);
}

Database& Database::addSchema(const std::string& name)
{
    if (name.empty() || schemaId(name) >= 0)
        throw std::invalid_argument("schema name taken: " + name);
    m_schemas.push_back(name);
    return *this;
}

int Database::schemaId(const std::string& schema) const
{
    const std::string s = lower(schema);
    if (s == "dbo")
        return kDboSchemaId;
    if (s == "sys")
        return kSysSchemaId;
    for (std::size_t i = 0; i < m_schemas.size(); ++i) {
        if (lower(m_schemas[i]) == s)
            return kFirstUserSchemaId + static_cast<int>(i);
    }
    return -1;
}

const Object* Database::find(const std::string& qualifiedName) const
{
    // The schema is what comes before the first dot, when that names a schema; a dbo name may hold dots.
    const std::size_t dot = qualifiedName.find('.');
    std::string schema = "dbo", name = qualifiedName;
    if (dot != std::string::npos && schemaId(qualifiedName.substr(0, dot)) >= 0)
        schema = qualifiedName.substr(0, dot), name = qualifiedName.substr(dot + 1);
    for (const Object& o : m_objects) {
        if (qualifiedKey(o.schema, o.name) == qualifiedKey(schema, name))
            return &o;
    }
    return nullptr;
}

Object& Database::object(const std::string& qualifiedName)
{
    const Object* o = find(qualifiedName);
    if (!o)
        throw std::invalid_argument("no object " + qualifiedName);
    return const_cast<Object&>(*o);
}

Database& Database::add(const std::string& name, const std::string& xtype, int id,
                        std::vector<Column> columns, const std::string& schema)
{
    if (schemaId(schema) < 0)
        throw std::invalid_argument("unknown schema " + schema);
    if (name.empty())
        throw std::invalid_argument("empty object name");
    for (const Column& c : columns) {
        if (c.name.empty())
            throw std::invalid_argument("empty column name in " + name);
        shapeOf(c.type);
    }
    if (m_names.count(qualifiedKey(schema, name)) || m_ids.count(id))
        throw std::invalid_argument("object defined twice: " + name);
    m_names.insert(qualifiedKey(schema, name));
    m_ids.insert(id);
    Object o;
    o.name = name, o.xtype = xtype, o.id = id, o.columns = std::move(columns), o.schema = schema;
    m_objects.push_back(std::move(o));
    return *this;
}

Database& Database::addUserType(const std::string& name, const std::string& baseType)
{
    const std::string key = lower(name);
    const bool taken = std::any_of(std::begin(kSystemTypes), std::end(kSystemTypes),
                                   [&](const SystemType& t) { return key == t.name; }) ||
                       std::any_of(m_userTypes.begin(), m_userTypes.end(),
                                   [&](const UserType& t) { return lower(t.name) == key; });
    if (name.empty() || taken)
        throw std::invalid_argument("user type name taken: " + name);
    if (shapeOf(baseType).xusertype >= kFirstUserTypeId)
        throw std::invalid_argument("user type over a user type: " + name);
    m_userTypes.push_back({name, baseType});
    return *this;
}

Database& Database::addTable(const std::string& name, std::vector<Column> columns)
{
    return addTable("dbo", name, std::move(columns));
}

Database& Database::addTable(const std::string& schema, const std::string& name, std::vector<Column> columns)
{
    return add(name, "U", kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, std::move(columns),
               schema);
}

Database& Database::addView(const std::string& name, std::vector<Column> columns)
{
    return add(name, "V", kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, std::move(columns));
}

Database& Database::addObject(const std::string& name, const std::string& xtype)
{
    return add(name, xtype, kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, {});
}

Database& Database::addRoutine(const std::string& schema, const std::string& name, const std::string& xtype,
                               std::vector<Parameter> parameters, std::string definition)
{
    if (!isRoutine(xtype))
        throw std::invalid_argument("not a routine type: " + xtype);
    if (isClrRoutine(xtype) && !definition.empty())
        throw std::invalid_argument("a CLR routine has no T-SQL definition: " + name);
    for (const Parameter& p : parameters)
        shapeOf(p.type);
    add(name, xtype, kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, {}, schema);
    m_objects.back().parameters = std::move(parameters);
    m_objects.back().definition = std::move(definition);
    return *this;
}

Database& Database::addSequence(const std::string& schema, const std::string& name, Sequence sequence)
{
    const TypeShape shape = shapeOf(sequence.type);
    if (shape.xtype != 48 && shape.xtype != 52 && shape.xtype != 56 && shape.xtype != 127 &&
        shape.xtype != 106 && shape.xtype != 108)
        throw std::invalid_argument("a sequence is of an integer type: " + name);
    if (sequence.increment == 0 || sequence.minimum > sequence.maximum || sequence.start < sequence.minimum ||
        sequence.start > sequence.maximum)
        throw std::invalid_argument("sequence values out of order: " + name);
    add(name, "SO", kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, {}, schema);
    m_objects.back().sequence = std::move(sequence);
    return *this;
}

Database& Database::addSynonym(const std::string& schema, const std::string& name, const std::string& target)
{
    if (target.empty())
        throw std::invalid_argument("synonym without a target: " + name);
    add(name, "SN", kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, {}, schema);
    m_objects.back().synonymTarget = target;
    return *this;
}

Database& Database::addSystemTable(const std::string& name, std::vector<Column> columns)
{
    // System objects take the low ids; the next free one below the user range.
    int id = 1;
    for (const Object& o : m_objects) {
        if (o.id < kFirstUserObjectId)
            id = std::max(id, o.id + 1);
    }
    return add(name, "S", id, std::move(columns));
}

Database& Database::addSqlServer2000SystemTables()
{
    struct Table
    {
        const char* name;
        int id;
        const char* columns;
    };
    static const Table tables[] = {
        {"sysobjects", 1,
         "name sysname, id int, xtype char(2), uid smallint, info smallint, status int, "
         "parent_obj int, crdate datetime"},
        {"sysindexes", 2,
         "id int, status int, first binary(6), indid smallint, root binary(6), keycnt smallint, "
         "rowcnt bigint, name sysname"},
        {"syscolumns", 3,
         "name sysname, id int, xtype tinyint, xusertype smallint, length smallint, xprec tinyint, "
         "xscale tinyint, colid smallint, isnullable int"},
        {"systypes", 4,
         "name sysname, xtype tinyint, status tinyint, xusertype smallint, length smallint, "
         "xprec tinyint, xscale tinyint, uid smallint"},
        {"syscomments", 6,
         "id int, number smallint, colid smallint, status smallint, ctext varbinary(8000), "
         "text nvarchar(4000)"},
        {"sysfiles1", 8, "status int, fileid smallint, name nchar(128), filename nchar(260)"},
        {"syspermissions", 9, "id int, grantee smallint, grantor smallint, actadd smallint, actmod smallint"},
        {"sysusers", 10,
         "uid smallint, status smallint, name sysname, sid varbinary(85), createdate datetime, "
         "updatedate datetime"},
        {"sysproperties", 11, "id int, smallid smallint, type tinyint, name sysname, value sql_variant"},
        {"sysdepends", 12, "id int, depid int, number smallint, depnumber smallint, status smallint"},
        {"sysreferences", 14, "constid int, fkeyid int, rkeyid int, rkeyindid smallint, keycnt smallint"},
        {"sysfulltextcatalogs", 19, "ftcatid smallint, name sysname, status smallint, path nvarchar(260)"},
        {"sysindexkeys", 20, "id int, indid smallint, colid smallint, keyno smallint"},
        {"sysforeignkeys", 21,
         "constid int, fkeyid int, rkeyid int, fkey smallint, rkey smallint, keyno smallint"},
        {"sysmembers", 22, "memberuid smallint, groupuid smallint"},
        {"sysprotects", 23,
         "id int, uid smallint, action tinyint, protecttype tinyint, columns varbinary(4000), "
         "grantor smallint"},
        {"sysfulltextnotify", 24, "tableid int, rowinfo smallint, ftkey varbinary(860), ftkeyid int"},
        {"sysfilegroups", 96, "groupid smallint, allocpolicy smallint, status int, groupname sysname"},
        {"sysfiles", 97,
         "fileid smallint, groupid smallint, size int, maxsize int, growth int, status int, perf int, "
         "name nchar(128), filename nchar(260)"},
    };
    for (const Table& t : tables) {
        std::vector<Column> list = columns(t.columns);
        for (Column& c : list)
            c.nullable = false;
        add(t.name, "S", t.id, std::move(list));
    }
    return *this;
}

std::vector<Column> columns(std::string_view definition)
{
    std::vector<Column> out;
    std::string item;
    int depth = 0;
    auto flush = [&] {
        std::string text = trimmed(item);
        item.clear();
        if (text.empty())
            throw std::invalid_argument("empty column in: " + std::string(definition));
        Column c;
        std::size_t typeStart = 0;
        if (text[0] == '[') {
            for (typeStart = 1; typeStart < text.size(); ++typeStart) {
                if (text[typeStart] == ']' && text.compare(typeStart, 2, "]]") != 0)
                    break;
                c.name += text[typeStart];
                if (text.compare(typeStart, 2, "]]") == 0)
                    ++typeStart;
            }
            ++typeStart;
        } else {
            typeStart = text.find(' ');
            c.name = text.substr(0, typeStart);
        }
        std::string type = trimmed(typeStart < text.size() ? text.substr(typeStart) : std::string());
        for (const char* suffix : {" not null", " null"}) {
            if (lower(type).ends_with(suffix)) {
                c.nullable = std::string(suffix) == " null";
                type = trimmed(type.substr(0, type.size() - std::strlen(suffix)));
                break;
            }
        }
        c.type = type;
        out.push_back(std::move(c));
    };
    for (char ch : definition) {
        depth += ch == '(' ? 1 : ch == ')' ? -1 : 0;
        if (ch == ',' && depth == 0)
            flush();
        else
            item += ch;
    }
    flush();
    return out;
}

void createCatalogTables(sqlite3* db)
{
    // The catalogue compares names and type letters without regard to case, as a server with
    // the default case-blind collation does.
    run(db,
        "CREATE TABLE sysobjects (name TEXT COLLATE NOCASE NOT NULL, id INTEGER PRIMARY KEY,"
        " xtype TEXT COLLATE NOCASE NOT NULL, uid INTEGER NOT NULL DEFAULT 1);"
        "CREATE TABLE syscolumns (id INTEGER NOT NULL, colid INTEGER NOT NULL, name TEXT COLLATE NOCASE NOT "
        "NULL,"
        " xtype INTEGER NOT NULL, xusertype INTEGER NOT NULL, length INTEGER NOT NULL,"
        " xprec INTEGER NOT NULL DEFAULT 0, xscale INTEGER NOT NULL DEFAULT 0, isnullable INTEGER NOT NULL);"
        "CREATE TABLE systypes (name TEXT COLLATE NOCASE NOT NULL, xtype INTEGER NOT NULL,"
        " xusertype INTEGER PRIMARY KEY, length INTEGER NOT NULL, xprec INTEGER NOT NULL DEFAULT 0,"
        " xscale INTEGER NOT NULL DEFAULT 0);");
    const Stmt s = prepare(db, "INSERT INTO systypes VALUES (?, ?, ?, ?, ?, ?)");
    for (const SystemType& t : kSystemTypes)
        insert(db, s.get(), t.name, t.shape.xtype, t.shape.xusertype, t.shape.length, t.shape.xprec,
               t.shape.xscale);
}

std::string databaseFileName(const std::string& databaseName)
{
    if (databaseName.empty() || databaseName.find('/') != std::string::npos ||
        databaseName.find('\0') != std::string::npos)
        throw std::invalid_argument("no file can carry the database name " + databaseName);
    return databaseName + ".sqlite";
}

namespace {

// A key, foreign key or default: an object of its own in both layouts, under its table.
struct Constraint
{
    std::string name;
    std::string xtype; // PK, UQ, F, D
    int id = 0;
    const Object* parent = nullptr;
};

std::size_t columnNumber(const Object& o, const std::string& name)
{
    const Column& c = o.column(name);
    return static_cast<std::size_t>(&c - o.columns.data()) + 1;
}

// The constraints in a fixed order with ids above every object's, checked as a server would check
// the DDL: key columns exist and take no NULL, a foreign key names a key of the table it references.
std::vector<Constraint> constraintsOf(const Database& database)
{
    int id = 0;
    for (const Object& o : database.objects())
        id = std::max(id, o.id);
    std::vector<Constraint> list;
    std::set<std::string> names;
    for (const Object& o : database.objects())
        names.insert(lower(o.schema) + "." + lower(o.name));
    auto add = [&](const std::string& name, const char* xtype, const Object& parent) {
        if (name.empty() || !names.insert(lower(parent.schema) + "." + lower(name)).second)
            throw std::invalid_argument("constraint name empty or taken: " + name);
        list.push_back({name, xtype, ++id, &parent});
    };
    auto checkKey = [](const Object& o, const Key& key) {
        if (key.columns.empty())
            throw std::invalid_argument("key without columns: " + key.name);
        for (const std::string& c : key.columns) {
            if (o.column(c).nullable)
                throw std::invalid_argument("nullable key column " + c + " in " + key.name);
        }
    };
    for (const Object& o : database.objects()) {
        if (o.primaryKey) {
            checkKey(o, *o.primaryKey);
            add(o.primaryKey->name, "PK", o);
        }
        for (const Key& k : o.uniqueConstraints) {
            for (const std::string& c : k.columns)
                o.column(c);
            add(k.name, "UQ", o);
        }
        for (const Index& i : o.indexes) {
            if (i.keys.empty())
                throw std::invalid_argument("index without keys: " + i.name);
            for (const IndexKey& k : i.keys)
                o.column(k.column);
            for (const std::string& c : i.included)
                o.column(c);
        }
        for (const ForeignKey& f : o.foreignKeys) {
            const Object* target = database.find(f.referencedTable);
            if (!target || f.columns.empty() || f.columns.size() != f.referencedColumns.size())
                throw std::invalid_argument("bad foreign key " + f.name);
            for (const std::string& c : f.columns)
                o.column(c);
            auto sameColumns = [&](const Key& k) {
                std::set<std::string> a, b;
                for (const std::string& c : k.columns)
                    a.insert(lower(c));
                for (const std::string& c : f.referencedColumns)
                    b.insert(lower(target->column(c).name));
                return a == b;
            };
            const bool keyed =
                (target->primaryKey && sameColumns(*target->primaryKey)) ||
                std::any_of(target->uniqueConstraints.begin(), target->uniqueConstraints.end(), sameColumns);
            if (!keyed)
                throw std::invalid_argument("foreign key " + f.name + " names no key of " +
                                            f.referencedTable);
            add(f.name, "F", o);
        }
        for (const Column& c : o.columns) {
            if (c.identity && c.nullable)
                throw std::invalid_argument("nullable identity column " + c.name);
            if (!c.defaultValue.empty())
                add(c.defaultName.empty() ? "DF__" + o.name + "__" + c.name : c.defaultName, "D", o);
        }
        if (std::count_if(o.indexes.begin(), o.indexes.end(), [](const Index& i) { return i.clustered; }) > 1)
            throw std::invalid_argument("two clustered indexes on " + o.name);
        for (const Index& i : o.indexes) {
            if (i.clustered && (!i.filter.empty() || !i.included.empty()))
                throw std::invalid_argument("a clustered index has no filter and no INCLUDE: " + i.name);
        }
        for (const Check& c : o.checks) {
            if (o.xtype != "U" || c.definition.empty())
                throw std::invalid_argument("check constraint of no table or without definition: " + c.name);
            if (!c.column.empty())
                o.column(c.column);
            add(c.name, "C", o);
        }
        for (const Trigger& t : o.triggers) {
            if ((o.xtype != "U" && o.xtype != "V") || t.events.empty())
                throw std::invalid_argument("trigger of no table or view, or without events: " + t.name);
            for (const std::string& e : t.events) {
                if (triggerEventType(e) == 0)
                    throw std::invalid_argument("trigger event " + e + " of " + t.name);
            }
            if (t.encrypted != t.definition.empty())
                throw std::invalid_argument("a trigger has a definition unless encrypted: " + t.name);
            add(t.name, "TR", o);
        }
    }
    return list;
}

// sys.sql_modules, sys.parameters, sys.check_constraints, sys.triggers with their events,
// sys.sequences and sys.synonyms.
template <typename IdOf> void writeModules(sqlite3* db, const Database& database, const IdOf& idOf)
{
    const Stmt modules = prepare(db, "INSERT INTO sql_modules VALUES (?, ?)");
    const Stmt parameters = prepare(db, "INSERT INTO parameters VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const Stmt checks = prepare(db, "INSERT INTO check_constraints VALUES (?, ?, ?, ?, ?, ?)");
    const Stmt triggers = prepare(db, "INSERT INTO triggers VALUES (?, ?, 1, ?, ?, ?)");
    const Stmt events = prepare(db, "INSERT INTO trigger_events VALUES (?, ?, ?)");
    const Stmt sequences = prepare(db, "INSERT INTO sequences VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const Stmt synonyms = prepare(db, "INSERT INTO synonyms VALUES (?, ?, ?, ?)");
    // WITH ENCRYPTION leaves the row, without its text.
    auto module = [&](int id, const std::string& definition, bool encrypted) {
        if (encrypted)
            insert(db, modules.get(), id, nullptr);
        else if (!definition.empty())
            insert(db, modules.get(), id, definition);
    };
    for (const Object& o : database.objects()) {
        const int schema = database.schemaId(o.schema);
        if (o.xtype == "V" || (isRoutine(o.xtype) && !isClrRoutine(o.xtype)))
            module(o.id, o.definition, o.encrypted);
        // A scalar function's return value is parameter 0, unnamed, an output.
        const bool returns = o.xtype == "FN" || o.xtype == "FS";
        for (std::size_t i = 0; i < o.parameters.size(); ++i) {
            const Parameter& p = o.parameters[i];
            const TypeShape s = database.shapeOf(p.type);
            const bool result = returns && i == 0;
            insert(db, parameters.get(), o.id, result ? std::string() : p.name,
                   static_cast<int>(returns ? i : i + 1), s.xtype, s.xusertype, s.length, s.xprec, s.xscale,
                   result || p.output ? 1 : 0);
        }
        for (const Check& c : o.checks)
            insert(db, checks.get(), c.name, idOf(o, c.name), o.id,
                   c.column.empty() ? 0 : static_cast<int>(columnNumber(o, c.column)), c.definition,
                   c.disabled ? 1 : 0);
        for (const Trigger& t : o.triggers) {
            const int id = idOf(o, t.name);
            insert(db, triggers.get(), t.name, id, o.id, t.disabled ? 1 : 0, t.insteadOf ? 1 : 0);
            for (const std::string& e : t.events)
                insert(db, events.get(), id, triggerEventType(e), e);
            module(id, t.definition, t.encrypted);
        }
        if (o.sequence) {
            const Sequence& q = *o.sequence;
            insert(db, sequences.get(), o.name, o.id, schema, database.shapeOf(q.type).xusertype, q.start,
                   q.increment, q.minimum, q.maximum, q.cycle ? 1 : 0);
        }
        if (!o.synonymTarget.empty())
            insert(db, synonyms.get(), o.name, o.id, schema, o.synonymTarget);
    }
}

// The catalog views of SQL Server 2005 and later, from the same description as the compatibility views.
void writeCatalogViews(sqlite3* db, const Database& database, const std::vector<Constraint>& constraints)
{
    for (const ViewTable& v : kCatalogViews)
        run(db, std::string("CREATE TABLE ") + v.name + " (" + v.columns + ")");
    auto idOf = [&](const Object& parent, const std::string& name) {
        for (const Constraint& c : constraints) {
            if (c.parent == &parent && c.name == name)
                return c.id;
        }
        throw std::logic_error("constraint not collected: " + name);
    };

    const Stmt schemas = prepare(db, "INSERT INTO schemas VALUES (?, ?, ?)");
    insert(db, schemas.get(), "dbo", kDboSchemaId, 1);
    insert(db, schemas.get(), "guest", 2, 2);
    insert(db, schemas.get(), "INFORMATION_SCHEMA", 3, 3);
    insert(db, schemas.get(), "sys", kSysSchemaId, 4);
    for (const std::string& name : database.schemas())
        insert(db, schemas.get(), name, database.schemaId(name), 1);

    const Stmt types = prepare(db, "INSERT INTO types VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const SystemType& t : kSystemTypes)
        insert(db, types.get(), t.name, t.shape.xtype, t.shape.xusertype, kSysSchemaId, t.shape.length,
               t.shape.xprec, t.shape.xscale, std::string(t.name) == "sysname" ? 0 : 1, 0);
    for (const UserType& t : database.userTypes()) {
        const TypeShape s = database.shapeOf(t.name);
        insert(db, types.get(), t.name, s.xtype, s.xusertype, kDboSchemaId, s.length, s.xprec, s.xscale, 1,
               1);
    }

    const Stmt objects = prepare(db, "INSERT INTO objects VALUES (?, ?, ?, ?, ?, ?)");
    const Stmt columns = prepare(db, "INSERT INTO columns VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const Stmt defaults = prepare(db, "INSERT INTO default_constraints VALUES (?, ?, ?, ?, ?)");
    const Stmt computed = prepare(db, "INSERT INTO computed_columns VALUES (?, ?, ?)");
    const Stmt identity = prepare(db, "INSERT INTO identity_columns VALUES (?, ?, ?, ?)");
    const Stmt properties =
        prepare(db, "INSERT INTO extended_properties VALUES (1, ?, ?, 'MS_Description', ?)");
    const Stmt indexes = prepare(db, "INSERT INTO indexes VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?, ?)");
    const Stmt indexColumns = prepare(db, "INSERT INTO index_columns VALUES (?, ?, ?, ?, ?, ?, ?)");
    const Stmt foreignKeys = prepare(db, "INSERT INTO foreign_keys VALUES (?, ?, ?, ?, ?, ?, ?)");
    const Stmt foreignKeyColumns = prepare(db, "INSERT INTO foreign_key_columns VALUES (?, ?, ?, ?, ?, ?)");
    for (const Object& o : database.objects()) {
        const int schema = database.schemaId(o.schema);
        insert(db, objects.get(), o.name, o.id, schema, 0, o.xtype, o.xtype == "S" ? 1 : 0);
        if (!o.description.empty())
            insert(db, properties.get(), o.id, 0, o.description);
        for (std::size_t i = 0; i < o.columns.size(); ++i) {
            const Column& c = o.columns[i];
            const TypeShape s = database.shapeOf(c.type);
            const int number = static_cast<int>(i + 1);
            insert(db, columns.get(), o.id, c.name, number, s.xtype, s.xusertype, s.length, s.xprec, s.xscale,
                   c.nullable ? 1 : 0, c.identity ? 1 : 0, c.computed.empty() ? 0 : 1);
            if (!c.defaultValue.empty())
                insert(db, defaults.get(),
                       c.defaultName.empty() ? "DF__" + o.name + "__" + c.name : c.defaultName,
                       idOf(o, c.defaultName.empty() ? "DF__" + o.name + "__" + c.name : c.defaultName), o.id,
                       number, c.defaultValue);
            if (!c.computed.empty())
                insert(db, computed.get(), o.id, number, c.computed);
            if (c.identity)
                insert(db, identity.get(), o.id, number, c.seed, c.increment);
            if (!c.description.empty())
                insert(db, properties.get(), o.id, number, c.description);
        }
        if (o.xtype != "U" && o.xtype != "S")
            continue;
        // Every table has its heap or its clustered index (here: the primary key's) as index 0 or 1.
        int indexId = 1;
        auto addIndex = [&](const std::string& name, int type, bool unique, bool primary, bool constraint,
                            const std::vector<IndexKey>& keys, const std::vector<std::string>& included,
                            const std::string& filter) {
            const int id = type == 1 ? 1 : ++indexId;
            if (filter.empty())
                insert(db, indexes.get(), o.id, name, id, type, unique ? 1 : 0, primary ? 1 : 0,
                       constraint ? 1 : 0, 0, nullptr);
            else
                insert(db, indexes.get(), o.id, name, id, type, unique ? 1 : 0, primary ? 1 : 0,
                       constraint ? 1 : 0, 1, filter);
            int position = 0;
            for (std::size_t k = 0; k < keys.size(); ++k)
                insert(db, indexColumns.get(), o.id, id, ++position,
                       static_cast<int>(columnNumber(o, keys[k].column)), static_cast<int>(k + 1),
                       keys[k].descending ? 1 : 0, 0);
            for (const std::string& c : included)
                insert(db, indexColumns.get(), o.id, id, ++position, static_cast<int>(columnNumber(o, c)), 0,
                       0, 1);
        };
        auto keysOf = [](const Key& key) {
            std::vector<IndexKey> keys;
            for (const std::string& c : key.columns)
                keys.push_back({c, false});
            return keys;
        };
        const bool clusteredIndex =
            std::any_of(o.indexes.begin(), o.indexes.end(), [](const Index& i) { return i.clustered; });
        if (o.primaryKey)
            addIndex(o.primaryKey->name, clusteredIndex ? 2 : 1, true, true, false, keysOf(*o.primaryKey), {},
                     {});
        else if (!clusteredIndex)
            insert(db, indexes.get(), o.id, nullptr, 0, 0, 0, 0, 0, 0, nullptr);
        for (const Key& k : o.uniqueConstraints)
            addIndex(k.name, 2, true, false, true, keysOf(k), {}, {});
        for (const Index& i : o.indexes)
            addIndex(i.name, i.clustered ? 1 : 2, i.unique, false, false, i.keys, i.included, i.filter);
        for (const ForeignKey& f : o.foreignKeys) {
            const Object& target = *database.find(f.referencedTable);
            const int id = idOf(o, f.name);
            insert(db, foreignKeys.get(), f.name, id, o.id, target.id, f.disabled ? 1 : 0,
                   static_cast<int>(f.onDelete), static_cast<int>(f.onUpdate));
            for (std::size_t k = 0; k < f.columns.size(); ++k)
                insert(db, foreignKeyColumns.get(), id, static_cast<int>(k + 1), o.id,
                       static_cast<int>(columnNumber(o, f.columns[k])), target.id,
                       static_cast<int>(columnNumber(target, f.referencedColumns[k])));
        }
    }
    for (const Constraint& c : constraints)
        insert(db, objects.get(), c.name, c.id, database.schemaId(c.parent->schema), c.parent->id, c.xtype,
               0);
    writeModules(db, database, idOf);
}

} // namespace

void writeDatabase(const Database& database, const std::string& dir)
{
    const std::filesystem::path target = std::filesystem::path(dir) / databaseFileName(database.name());
    const std::filesystem::path temp = target.string() + ".tmp";
    std::filesystem::remove(temp);
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(temp.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Db db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot create " + temp.string());
    run(db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN");
    createCatalogTables(db.get());
    {
        const Stmt types = prepare(db.get(), "INSERT INTO systypes VALUES (?, ?, ?, ?, ?, ?)");
        for (const UserType& t : database.userTypes()) {
            const TypeShape s = database.shapeOf(t.name);
            insert(db.get(), types.get(), t.name, s.xtype, s.xusertype, s.length, s.xprec, s.xscale);
        }
        const std::vector<Constraint> constraints = constraintsOf(database);
        const Stmt objects = prepare(db.get(), "INSERT INTO sysobjects VALUES (?, ?, ?, ?)");
        const Stmt columns = prepare(db.get(), "INSERT INTO syscolumns VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const Object& o : database.objects()) {
            // sysobjects.uid is the schema's id since SQL Server 2005.
            insert(db.get(), objects.get(), o.name, o.id, o.xtype, database.schemaId(o.schema));
            std::string definition;
            for (std::size_t i = 0; i < o.columns.size(); ++i) {
                const Column& c = o.columns[i];
                const TypeShape s = database.shapeOf(c.type);
                insert(db.get(), columns.get(), o.id, static_cast<int>(i + 1), c.name, s.xtype, s.xusertype,
                       s.length, s.xprec, s.xscale, c.nullable ? 1 : 0);
                definition += (i ? ", " : "") + quoted(c.name) + " " + affinityOf(s.xtype);
            }
            // Tables and views of dbo exist for real too (empty), so a SELECT naming one finds it.
            if (o.columns.empty() || isCatalogTable(o.name) || database.schemaId(o.schema) != kDboSchemaId)
                continue;
            if (o.xtype != "U" && o.xtype != "S" && o.xtype != "V")
                continue;
            if (o.xtype == "V") {
                std::string select;
                for (std::size_t i = 0; i < o.columns.size(); ++i)
                    select += (i ? ", NULL AS " : "NULL AS ") + quoted(o.columns[i].name);
                run(db.get(), "CREATE VIEW " + quoted(o.name) + " AS SELECT " + select);
            } else {
                run(db.get(), "CREATE TABLE " + quoted(o.name) + " (" + definition + ")");
            }
        }
        for (const Constraint& c : constraints)
            insert(db.get(), objects.get(), c.name, c.id, c.xtype, database.schemaId(c.parent->schema));
        if (database.catalogViews)
            writeCatalogViews(db.get(), database, constraints);
    }
    run(db.get(), "COMMIT");
    db.reset();
    std::filesystem::rename(temp, target);
}

// A procedure of some 10,000 characters with umlauts and CJK text throughout, beyond what an
// nvarchar(4000) holds.
std::string longProcedureText()
{
    std::string text =
        "-- Umsatzbericht: Summe der Verkäufe eines Zeitraums\r\n"
        "CREATE PROCEDURE sales.Umsatzbericht @von datetime, @bis datetime, @summe money OUTPUT\r\n"
        "AS\r\nBEGIN\r\n";
    for (int step = 1; step <= 80; ++step)
        text += "    -- Schritt " + std::to_string(step) +
                ": Umsätze prüfen (売上の確認)\r\n"
                "    SELECT @summe = SUM(Price) FROM sales.titles WHERE Sold BETWEEN @von AND @bis;\r\n";
    return text + "END\r\n";
}

Database sampleDatabase()
{
    Database db("sample");
    db.addSqlServer2000SystemTables()
        .addUserType("tid", "varchar(6)")
        .addUserType("empid", "char(9)")
        .addUserType("phone", "nvarchar(24)")
        .addSchema("sales")
        .addTable("titles",
                  columns("title_id tid not null, title varchar(80) not null, type char(12) not null, "
                          "pub_id char(4), price money, advance money, royalty int, ytd_sales int, "
                          "notes nvarchar(200), pubdate datetime not null"))
        .addTable(
            "Order Details",
            columns("OrderID int not null, emp_id empid not null, Quantity smallint not null, "
                    "Discount real not null, UnitPrice smallmoney, Größe decimal(10,2), it's nvarchar(max), "
                    "a]b varchar(max), x;y bit not null, Memo ntext, Legacy text, Picture image, "
                    "RowVer timestamp not null, Guid uniqueidentifier"))
        .addTable(
            "Maße]'; Übersicht",
            columns("Id bigint not null, Kurz tinyint, Zahl numeric(18,0), Wert float, Code nchar(5), "
                    "Hash binary(16), Daten varbinary(50), Ablage varbinary(max), Beliebig sql_variant, "
                    "Tag date, Zeit time(3), Stempel datetime2(7), Zone datetimeoffset, Klein smalldatetime, "
                    "Dokument xml, Kennung sysname not null, 日本語の列 nvarchar(40), [Telefon Nr.] phone"))
        // Same name as dbo.titles, other columns: each must report its own.
        .addTable("sales", "titles",
                  columns("SaleID int not null, title_id tid not null, OrderID int, emp_id empid, "
                          "Qty smallint not null, Price money not null, Total money, Sold datetime not null, "
                          "Maß bigint"))
        .addView("titleview", columns("title varchar(80) not null, price money, ytd_sales int"))
        .addView("Größe Ansicht", columns("Größe decimal(10,2), emp_id empid not null"))
        .addRoutine("dbo", "byroyalty", "P", {{"@percentage", "int", false}},
                    "CREATE PROCEDURE byroyalty @percentage int\r\nAS\r\n"
                    "SELECT title_id FROM titles WHERE royalty = @percentage\r\n")
        .addRoutine("sales", "Umsatzbericht", "P",
                    {{"@von", "datetime", false}, {"@bis", "datetime", false}, {"@summe", "money", true}},
                    longProcedureText())
        .addRoutine("dbo", "Netto", "FN",
                    {{"", "money", false}, {"@brutto", "money", false}, {"@satz", "decimal(5,2)", false}},
                    "CREATE FUNCTION dbo.Netto(@brutto money, @satz decimal(5,2))\r\nRETURNS money\r\nAS\r\n"
                    "BEGIN\r\n    RETURN @brutto / (1 + @satz / 100)\r\nEND\r\n")
        .addRoutine("dbo", "TitelNachTyp", "IF", {{"@type", "char(12)", false}},
                    "CREATE FUNCTION dbo.TitelNachTyp(@type char(12))\r\nRETURNS TABLE\r\nAS\r\n"
                    "RETURN SELECT title_id, title FROM titles WHERE type = @type\r\n")
        // A CLR function: parameters and return type, no text.
        .addRoutine(
            "dbo", "RegexMatch", "FS",
            {{"", "bit", false}, {"@input", "nvarchar(max)", false}, {"@pattern", "nvarchar(4000)", false}})
        .addSequence("dbo", "Auftragsnummern", Sequence{"bigint", 1000, 1, 1, 9223372036854775807LL, false})
        .addSequence("sales", "Kassenzettel", Sequence{"int", 1, 5, 1, 1000, true})
        .addSynonym("dbo", "Bücher", "[dbo].[titles]")
        .addSynonym("sales", "Archiv", "[Archiv].[dbo].[titles]");
    db.object("TitelNachTyp").columns = columns("title_id tid not null, title varchar(80) not null");
    // As SQL Server keeps a module's text: from the first character after the batch separator,
    // leading comments and line ends as the client sent them.
    db.object("titleview").definition = "/* Titel mit Preis und Absatz,\r\n   für die Verlagsübersicht */\r\n"
                                        "-- geändert 2009\r\n"
                                        "CREATE VIEW titleview\r\nAS\r\nSELECT title, price, ytd_sales\r\n"
                                        "FROM titles\r\n";
    db.object("Größe Ansicht").encrypted = true;
    db.object("titleview")
        .triggers.push_back({"tr_titleview_insert",
                             {"INSERT"},
                             true,
                             false,
                             "CREATE TRIGGER tr_titleview_insert ON titleview\r\n"
                             "INSTEAD OF INSERT\r\nAS\r\n"
                             "    INSERT INTO titles (title_id, title, type, pubdate)\r\n"
                             "    SELECT 'XX0000', title, 'UNDECIDED', GETDATE() FROM inserted;\r\n",
                             false});

    Object& titles = db.object("titles");
    titles.description = "Bücher, wie sie verlegt werden";
    titles.primaryKey = Key{"UPKCL_titleidind", {"title_id"}};
    titles.uniqueConstraints.push_back({"UQ_titles_title", {"title"}});
    titles.indexes.push_back(
        {"titleind", false, {{"pubdate", true}, {"title_id", false}}, {"price"}, {}, false});
    titles.column("type").defaultValue = "('UNDECIDED')";
    titles.column("type").defaultName = "DF__titles__type";
    titles.column("pubdate").defaultValue = "(getdate())";
    titles.column("title").description = "Der Titel, wie er gedruckt steht";
    titles.checks.push_back({"CK_titles_price", "price", "([price]>=(0))", false});
    titles.checks.push_back({"CK_titles_advance", "", "([advance] IS NULL OR [royalty] IS NOT NULL)", false});
    titles.triggers.push_back({"tr_titles_Änderung",
                               {"INSERT", "UPDATE"},
                               false,
                               false,
                               "CREATE TRIGGER tr_titles_Änderung ON titles\r\nAFTER INSERT, UPDATE\r\nAS\r\n"
                               "    SET NOCOUNT ON;\r\n",
                               false});
    titles.triggers.push_back({"tr_titles_delete", {"DELETE"}, false, true, "", true});

    Object& details = db.object("Order Details");
    details.primaryKey = Key{"PK_Order_Details", {"OrderID", "emp_id"}};
    details.column("Quantity").defaultValue = "((1))";
    details.column("Discount").defaultValue = "((0))";
    // The clustered index is not the primary key's.
    details.indexes.push_back({"CIX_Order_Details_emp", false, {{"emp_id", false}}, {}, {}, true});
    details.checks.push_back({"CK_Order_Details_Quantity", "Quantity", "([Quantity]>(0))", true});

    Object& measures = db.object("Maße]'; Übersicht");
    measures.description = "測定値の一覧";
    measures.primaryKey = Key{"PK_Maße", {"Id"}};
    measures.column("Id").identity = true;
    measures.column("日本語の列").description = "日本語の説明";

    Object& sales = db.object("sales.titles");
    sales.description = "Verkäufe je Titel";
    sales.primaryKey = Key{"PK_sales_titles", {"SaleID"}};
    sales.column("SaleID").identity = true;
    sales.column("SaleID").seed = 1000;
    sales.column("Total").computed = "([Qty]*[Price])";
    sales.column("Sold").defaultValue = "(getdate())";
    sales.column("Qty").description = "Stückzahl";
    sales.indexes.push_back(
        {"IX_sales_titles_Sold", true, {{"Sold", true}, {"SaleID", false}}, {}, {}, false});
    sales.indexes.push_back(
        {"IX_sales_titles_Offen", false, {{"Sold", false}}, {"Price"}, "([Qty]>(0))", false});
    sales.foreignKeys.push_back({"FK_sales_titles_titles",
                                 {"title_id"},
                                 "titles",
                                 {"title_id"},
                                 false,
                                 Action::Cascade,
                                 Action::Cascade});
    sales.foreignKeys.push_back({"FK_sales_titles_Order_Details",
                                 {"OrderID", "emp_id"},
                                 "Order Details",
                                 {"OrderID", "emp_id"},
                                 true,
                                 Action::NoAction,
                                 Action::NoAction});
    sales.foreignKeys.push_back({"fk_sales_titles_Maße",
                                 {"Maß"},
                                 "Maße]'; Übersicht",
                                 {"Id"},
                                 false,
                                 Action::SetNull,
                                 Action::SetDefault});
    return db;
}

Database weirdDatabase()
{
    Database db("we]ird';db");
    db.catalogViews = false;
    db.addSqlServer2000SystemTables()
        .addTable("t]1", columns("a int not null, b'c nvarchar(10)"))
        .addView("v;1", columns("a int not null"));
    return db;
}

Database bigDatabase(int tables, int columnsPerTable, Modules modules)
{
    static const char* const types[] = {"int",      "nvarchar(40)", "varchar(100)",    "decimal(12,2)",
                                        "datetime", "bit",          "bigint",          "char(10)",
                                        "float",    "smallint",     "money",           "nvarchar(max)",
                                        "tinyint",  "date",         "uniqueidentifier"};
    constexpr int typeCount = static_cast<int>(std::size(types));
    Database db("big");
    db.addSqlServer2000SystemTables();
    for (int t = 1; t <= tables; ++t) {
        std::vector<Column> columns;
        for (int c = 1; c <= columnsPerTable; ++c) {
            const std::string type = types[(t + c) % typeCount];
            char name[64];
            std::snprintf(name, sizeof name, "Col%02d_%s", c, type.substr(0, type.find('(')).c_str());
            columns.push_back({name, type, c % 3 != 1});
        }
        char name[32];
        std::snprintf(name, sizeof name, "Table%04d", t);
        db.addTable(name, std::move(columns));
    }
    // Each module over one of the tables, cycling through them.
    auto table = [&](int n) {
        char name[32];
        std::snprintf(name, sizeof name, "Table%04d", (n - 1) % std::max(tables, 1) + 1);
        return std::string(name);
    };
    const std::string body =
        "    -- Zeilen, deren erste Spalte gesetzt ist, in der Reihenfolge der Ablage\r\n";
    for (int v = 1; v <= modules.views; ++v) {
        char name[32];
        std::snprintf(name, sizeof name, "View%04d", v);
        // Copied: adding the view may move the objects.
        const Object source = db.object(table(v));
        const std::vector<Column> shown(
            source.columns.begin(), source.columns.begin() + std::min<std::size_t>(3, source.columns.size()));
        std::string list;
        for (const Column& c : shown)
            list += (list.empty() ? "" : ", ") + c.name;
        db.addView(name, shown);
        db.object(name).definition = "CREATE VIEW " + std::string(name) + "\r\nAS\r\n" + body + "SELECT " +
                                     list + "\r\nFROM " + source.name + "\r\nWHERE " + shown[0].name +
                                     " IS NOT NULL\r\n";
    }
    for (int p = 1; p <= modules.procedures; ++p) {
        char name[32];
        std::snprintf(name, sizeof name, "Proc%04d", p);
        const Object& source = db.object(table(p));
        db.addRoutine("dbo", name, "P", {{"@from", "int", false}, {"@count", "int", true}},
                      "CREATE PROCEDURE " + std::string(name) +
                          " @from int, @count int OUTPUT\r\nAS\r\nBEGIN\r\n" + body +
                          "    SELECT @count = COUNT(*) FROM " + source.name + ";\r\nEND\r\n");
    }
    for (int t = 1; t <= modules.triggers; ++t) {
        char name[32];
        std::snprintf(name, sizeof name, "Trigger%04d", t);
        Object& target = db.object(table(t));
        target.triggers.push_back({name,
                                   {"INSERT", "UPDATE"},
                                   false,
                                   false,
                                   "CREATE TRIGGER " + std::string(name) + " ON " + target.name +
                                       "\r\nAFTER INSERT, UPDATE\r\nAS\r\n" + body +
                                       "    SET NOCOUNT ON;\r\n",
                                   false});
    }
    return db;
}

void writeStandardFixtures(const std::string& dir, Modules bigModules)
{
    std::filesystem::create_directories(dir);
    writeDatabase(sampleDatabase(), dir);
    writeDatabase(weirdDatabase(), dir);
    writeDatabase(bigDatabase(1000, 20, bigModules), dir);
}

} // namespace tdsfixture
