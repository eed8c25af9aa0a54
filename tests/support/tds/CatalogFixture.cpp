#include "CatalogFixture.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

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
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
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

bool isCatalogTable(const std::string& name)
{
    const std::string n = lower(name);
    return n == "sysobjects" || n == "syscolumns" || n == "systypes";
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

Database& Database::add(const std::string& name, const std::string& xtype, int id,
                        std::vector<Column> columns)
{
    if (name.empty())
        throw std::invalid_argument("empty object name");
    for (const Column& c : columns) {
        if (c.name.empty())
            throw std::invalid_argument("empty column name in " + name);
        shapeOf(c.type);
    }
    if (m_names.count(lower(name)) || m_ids.count(id))
        throw std::invalid_argument("object defined twice: " + name);
    m_names.insert(lower(name));
    m_ids.insert(id);
    m_objects.push_back({name, xtype, id, std::move(columns)});
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
    return add(name, "U", kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, std::move(columns));
}

Database& Database::addView(const std::string& name, std::vector<Column> columns)
{
    return add(name, "V", kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, std::move(columns));
}

Database& Database::addObject(const std::string& name, const std::string& xtype)
{
    return add(name, xtype, kFirstUserObjectId + kUserObjectIdStep * m_nextUserId++, {});
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
        const Stmt objects = prepare(db.get(), "INSERT INTO sysobjects VALUES (?, ?, ?, 1)");
        const Stmt columns = prepare(db.get(), "INSERT INTO syscolumns VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const Object& o : database.objects()) {
            insert(db.get(), objects.get(), o.name, o.id, o.xtype);
            std::string definition;
            for (std::size_t i = 0; i < o.columns.size(); ++i) {
                const Column& c = o.columns[i];
                const TypeShape s = database.shapeOf(c.type);
                insert(db.get(), columns.get(), o.id, static_cast<int>(i + 1), c.name, s.xtype, s.xusertype,
                       s.length, s.xprec, s.xscale, c.nullable ? 1 : 0);
                definition += (i ? ", " : "") + quoted(c.name) + " " + affinityOf(s.xtype);
            }
            // Tables and views exist for real too (empty), so a SELECT naming one finds it.
            if (o.columns.empty() || isCatalogTable(o.name))
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
    }
    run(db.get(), "COMMIT");
    db.reset();
    std::filesystem::rename(temp, target);
}

Database sampleDatabase()
{
    Database db("sample");
    db.addSqlServer2000SystemTables()
        .addUserType("tid", "varchar(6)")
        .addUserType("empid", "char(9)")
        .addUserType("phone", "nvarchar(24)")
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
        .addView("titleview", columns("title varchar(80) not null, price money, ytd_sales int"))
        .addView("Größe Ansicht", columns("Größe decimal(10,2), emp_id empid not null"))
        .addObject("UPKCL_titleidind", "PK")
        .addObject("DF__titles__type", "D")
        .addObject("byroyalty", "P");
    return db;
}

Database weirdDatabase()
{
    Database db("we]ird';db");
    db.addSqlServer2000SystemTables()
        .addTable("t]1", columns("a int not null, b'c nvarchar(10)"))
        .addView("v;1", columns("a int not null"));
    return db;
}

Database bigDatabase(int tables, int columnsPerTable)
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
    return db;
}

void writeStandardFixtures(const std::string& dir)
{
    std::filesystem::create_directories(dir);
    writeDatabase(sampleDatabase(), dir);
    writeDatabase(weirdDatabase(), dir);
    writeDatabase(bigDatabase(), dir);
}

} // namespace tdsfixture
