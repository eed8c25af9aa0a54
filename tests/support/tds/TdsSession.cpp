#include "TdsSession.h"

#include "CatalogFixture.h"

#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <limits>

namespace tds {

namespace {

constexpr const char* kFileSuffix = ".sqlite";
constexpr std::size_t kMaxRpcParams = 2100; // the most parameters a real server takes
constexpr std::uint16_t kCmdSelect = 0xC1;

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::string_view wordAt(std::string_view s, std::size_t pos)
{
    std::size_t end = pos;
    while (end < s.size() && isWordChar(s[end]))
        ++end;
    return s.substr(pos, end - pos);
}

// Skips blanks, statement separators and comments.
std::size_t skipFiller(std::string_view s, std::size_t pos)
{
    while (pos < s.size()) {
        if (std::isspace(static_cast<unsigned char>(s[pos])) || s[pos] == ';') {
            ++pos;
        } else if (s.substr(pos, 2) == "--") {
            pos = s.find('\n', pos);
            pos = pos == std::string_view::npos ? s.size() : pos + 1;
        } else if (s.substr(pos, 2) == "/*") {
            pos = s.find("*/", pos + 2);
            pos = pos == std::string_view::npos ? s.size() : pos + 2;
        } else {
            break;
        }
    }
    return pos;
}

// A name as USE takes it: [bracketed]] with doubled closers], "quoted", or a bare word.
std::string readIdentifier(std::string_view s, std::size_t& pos)
{
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])))
        ++pos;
    std::string name;
    if (pos < s.size() && (s[pos] == '[' || s[pos] == '"')) {
        const char close = s[pos] == '[' ? ']' : '"';
        for (++pos; pos < s.size(); ++pos) {
            if (s[pos] == close) {
                if (pos + 1 < s.size() && s[pos + 1] == close) {
                    name += close;
                    ++pos;
                    continue;
                }
                ++pos;
                return name;
            }
            name += s[pos];
        }
        return name;
    }
    while (pos < s.size() && !std::isspace(static_cast<unsigned char>(s[pos])) && s[pos] != ';')
        name += s[pos++];
    return name;
}

// SQLite has no N'...' literals; the prefix only tells a real server the text is Unicode, which
// every SQLite text is, so it is dropped outside strings, quoted names and comments.
std::string dropUnicodePrefixes(std::string_view sql)
{
    std::string out;
    out.reserve(sql.size());
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        std::size_t end = i + 1;
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            end = sql.find(close, i + 1);
            end = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(i, 2) == "--") {
            end = sql.find('\n', i);
            end = end == std::string_view::npos ? sql.size() : end;
        } else if (sql.substr(i, 2) == "/*") {
            end = sql.find("*/", i + 2);
            end = end == std::string_view::npos ? sql.size() : end + 2;
        } else if ((c == 'N' || c == 'n') && i + 1 < sql.size() && sql[i + 1] == '\'' &&
                   (i == 0 || !isWordChar(sql[i - 1]))) {
            ++i;
            continue;
        }
        out.append(sql.substr(i, end - i));
        i = end;
    }
    return out;
}

// A name at pos spelled word or [word] (without regard to ASCII case); its end, or npos.
std::size_t matchName(std::string_view s, std::size_t pos, std::string_view word)
{
    const bool bracketed = pos < s.size() && s[pos] == '[';
    const std::size_t start = pos + (bracketed ? 1 : 0);
    if (!equalsNoCase(s.substr(start, word.size()), word))
        return std::string_view::npos;
    std::size_t end = start + word.size();
    if (bracketed) {
        if (end >= s.size() || s[end] != ']')
            return std::string_view::npos;
        return end + 1;
    }
    return end < s.size() && isWordChar(s[end]) ? std::string_view::npos : end;
}

// sys.databases is server-wide, not one of a database file's tables: the session keeps it in the
// temp schema as sys_databases, and a reference to it (sys.databases, [sys].[databases], any case)
// is pointed there. Strings, quoted names and comments are left alone.
std::string mapServerViews(std::string_view sql)
{
    std::string out;
    out.reserve(sql.size());
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        std::size_t end = i + 1;
        if (c == '\'' || c == '"') {
            end = sql.find(c, i + 1);
            end = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(i, 2) == "--") {
            end = sql.find('\n', i);
            end = end == std::string_view::npos ? sql.size() : end;
        } else if (sql.substr(i, 2) == "/*") {
            end = sql.find("*/", i + 2);
            end = end == std::string_view::npos ? sql.size() : end + 2;
        } else if ((i == 0 || !isWordChar(sql[i - 1])) && (c == 's' || c == 'S' || c == '[')) {
            std::size_t p = matchName(sql, i, "sys");
            if (p != std::string_view::npos) {
                while (p < sql.size() && std::isspace(static_cast<unsigned char>(sql[p])))
                    ++p;
                if (p < sql.size() && sql[p] == '.') {
                    ++p;
                    while (p < sql.size() && std::isspace(static_cast<unsigned char>(sql[p])))
                        ++p;
                    const std::size_t q = matchName(sql, p, "databases");
                    if (q != std::string_view::npos) {
                        out += "temp.sys_databases";
                        i = q;
                        continue;
                    }
                }
            }
            if (c == '[') {
                end = sql.find(']', i + 1);
                end = end == std::string_view::npos ? sql.size() : end + 1;
            }
        } else if (c == '[') {
            end = sql.find(']', i + 1);
            end = end == std::string_view::npos ? sql.size() : end + 1;
        }
        out.append(sql.substr(i, end - i));
        i = end;
    }
    return out;
}

// Words of SQLite's dialect that T-SQL does not have, as written, where one stands outside strings,
// quoted names and comments; "" when none does. A real server fails the whole batch on them when it
// parses it, before any statement runs.
std::string foreignKeyword(std::string_view sql)
{
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        std::size_t end = i + 1;
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            end = sql.find(close, i + 1);
            end = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(i, 2) == "--") {
            end = sql.find('\n', i);
            end = end == std::string_view::npos ? sql.size() : end;
        } else if (sql.substr(i, 2) == "/*") {
            end = sql.find("*/", i + 2);
            end = end == std::string_view::npos ? sql.size() : end + 2;
        } else if (isWordChar(c) && (i == 0 || !isWordChar(sql[i - 1]))) {
            const std::string_view word = wordAt(sql, i);
            if (equalsNoCase(word, "limit"))
                return std::string(word);
            end = i + word.size();
        }
        i = end;
    }
    return {};
}

// The parameter names of an @params declaration such as "@P1 INT,@P2 DECIMAL(10,2)".
std::vector<std::string> declaredNames(const std::string& declaration)
{
    std::vector<std::string> names;
    std::string item;
    int depth = 0;
    auto flush = [&] {
        const std::size_t b = item.find_first_not_of(" \t\r\n");
        if (b != std::string::npos)
            names.push_back(item.substr(b, item.find_first_of(" \t\r\n", b) - b));
        item.clear();
    };
    for (char c : declaration) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (c == ',' && depth == 0)
            flush();
        else
            item += c;
    }
    flush();
    return names;
}

// One character of SQL_Latin1_General_CP1_CI_AS as far as the fixtures need it: the letter
// without case (lower), and the letter without its accent, for Latin-1.
struct Folded
{
    char32_t caseless; // 'Á' -> 'á'
    char32_t base;     // 'á' -> 'a'
};

Folded foldLatin1(char32_t c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        c += 0x20;
    static const char kBase[] = "aaaaaaaceeeeiiiidnooooo/ouuuuyty"; // U+00E0 .. U+00FF
    const char32_t base = c >= 0xE0 && c <= 0xFF ? static_cast<char32_t>(kBase[c - 0xE0]) : c;
    return {c, base == 0xDF ? U's' : base};
}

std::u32string codePoints(const void* data, int bytes)
{
    const auto* p = static_cast<const unsigned char*>(data);
    std::u32string out;
    for (int i = 0; i < bytes;) {
        const unsigned char b = p[i];
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n && i + k < bytes; ++k)
            c = (c << 6) | (p[i + k] & 0x3F);
        out += c;
        i += n;
    }
    // Trailing blanks do not count, as in the server's comparisons.
    while (!out.empty() && out.back() == U' ')
        out.pop_back();
    return out;
}

// Case-blind, accent-sensitive: "a" = "A", "a" <> "á", and "á" sorts after "a" and before "b",
// as a dictionary does.
int compareCiAs(void*, int aBytes, const void* a, int bBytes, const void* b)
{
    const std::u32string x = codePoints(a, aBytes), y = codePoints(b, bBytes);
    for (const bool accents : {false, true}) {
        for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
            const Folded fx = foldLatin1(x[i]), fy = foldLatin1(y[i]);
            const char32_t cx = accents ? fx.caseless : fx.base, cy = accents ? fy.caseless : fy.base;
            if (cx != cy)
                return cx < cy ? -1 : 1;
        }
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
    }
    return 0;
}

void sqlIsNull(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

// LEN counts characters without the trailing blanks, as the server's function does.
void sqlLen(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    std::string_view s(text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    sqlite3_result_int64(ctx, std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void sqlDbName(sqlite3_context* ctx, int, sqlite3_value**)
{
    const auto* name = static_cast<const std::string*>(sqlite3_user_data(ctx));
    sqlite3_result_text(ctx, name->c_str(), static_cast<int>(name->size()), SQLITE_TRANSIENT);
}

// SERVERPROPERTY('EngineEdition'): 5 on Azure SQL Database, 3 (Enterprise, Developer) here
// otherwise; the other properties are NULL, as for a name the server does not know.
void sqlServerProperty(sqlite3_context* ctx, int, sqlite3_value** args)
{
    const auto* azure = static_cast<const bool*>(sqlite3_user_data(ctx));
    const unsigned char* name = sqlite3_value_text(args[0]);
    if (name && strcasecmp(reinterpret_cast<const char*>(name), "EngineEdition") == 0)
        sqlite3_result_int(ctx, *azure ? 5 : 3);
    else
        sqlite3_result_null(ctx);
}

// The parts of a one-, two- or three-part name as OBJECT_ID takes it: "[sys].[objects]",
// "sales.titles", "titles", with "]]" for "]" and "" for '"' inside quoted parts.
std::vector<std::string> nameParts(std::string_view name)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '.') {
            parts.emplace_back();
        } else if (c == '[' || c == '"') {
            const char close = c == '[' ? ']' : '"';
            for (++i; i < name.size(); ++i) {
                if (name[i] == close && (i + 1 >= name.size() || name[i + 1] != close))
                    break;
                if (name[i] == close)
                    ++i;
                parts.back() += name[i];
            }
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            parts.back() += c;
        }
    }
    return parts;
}

// The first integer the statement gives with the texts bound in order (NULL where there is none);
// nullopt when it gives none or does not prepare.
std::optional<std::int64_t> firstInteger(sqlite3* db, const char* sql,
                                         std::initializer_list<const char*> texts)
{
    sqlite3_stmt* stmt = nullptr;
    std::optional<std::int64_t> value;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
        int index = 0;
        for (const char* text : texts) {
            if (text)
                sqlite3_bind_text(stmt, ++index, text, -1, SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(stmt, ++index);
        }
        if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
            value = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    return value;
}

// OBJECT_ID(name [, type]): a catalog view sys.X that the database holds (negative, as a
// server's system objects are numbered), or an object of the database by its name, in dbo
// when no schema is named; NULL for anything else, and for a name in another database.
void sqlObjectId(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const auto* database = static_cast<const std::string*>(sqlite3_user_data(ctx));
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto* type = argc > 1 ? reinterpret_cast<const char*>(sqlite3_value_text(argv[1])) : nullptr;
    const std::vector<std::string> parts = nameParts(text ? text : "");
    if (parts.size() > 3 || parts.back().empty() ||
        (parts.size() == 3 && !parts[0].empty() && !equalsNoCase(parts[0], *database)))
        return sqlite3_result_null(ctx);
    const std::string& name = parts.back();
    const std::string schema =
        parts.size() > 1 && !parts[parts.size() - 2].empty() ? parts[parts.size() - 2] : "dbo";
    sqlite3* db = sqlite3_context_db_handle(ctx);
    std::optional<std::int64_t> id;
    if (equalsNoCase(schema, "sys")) {
        if (!type || equalsNoCase(type, "V")) {
            // The file's own tables include the user tables, which are no catalog views.
            id = equalsNoCase(name, "databases") ? std::optional<std::int64_t>(0)
                 : tdsfixture::isCatalogTable(name)
                     ? firstInteger(db,
                                    "SELECT rowid FROM sys.sqlite_master WHERE type = 'table' AND "
                                    "lower(name) = lower(?1)",
                                    {name.c_str()})
                     : std::nullopt;
            if (id)
                id = -100 - *id;
        }
    } else {
        id = firstInteger(
            db,
            "SELECT o.object_id FROM sys.objects o JOIN sys.schemas s ON s.schema_id = o.schema_id "
            "WHERE o.name = ?1 COLLATE NOCASE AND s.name = ?2 COLLATE NOCASE "
            "AND (?3 IS NULL OR o.type = ?3 COLLATE NOCASE)",
            {name.c_str(), schema.c_str(), type});
        // A database of only the compatibility views knows dbo alone.
        if (!id && equalsNoCase(schema, "dbo"))
            id = firstInteger(db,
                              "SELECT id FROM sysobjects WHERE name = ?1 COLLATE NOCASE "
                              "AND (?2 IS NULL OR xtype = ?2 COLLATE NOCASE)",
                              {name.c_str(), type});
    }
    if (id)
        sqlite3_result_int64(ctx, *id);
    else
        sqlite3_result_null(ctx);
}

// Where, from pos on and outside strings, quoted names, comments, parentheses and CASE ... END, a
// ';' stands (when semicolon is set), one of words begins, or (when closing is set) the ')' that
// closes the parenthesis pos is in; s.size() when nowhere.
std::size_t findTopLevel(std::string_view s, std::size_t pos, std::initializer_list<std::string_view> words,
                         bool semicolon, bool closing = false)
{
    int depth = 0, cases = 0;
    while (pos < s.size()) {
        const char c = s[pos];
        std::size_t end = pos + 1;
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            end = s.find(close, pos + 1);
            end = end == std::string_view::npos ? s.size() : end + 1;
        } else if (s.substr(pos, 2) == "--") {
            end = s.find('\n', pos);
            end = end == std::string_view::npos ? s.size() : end;
        } else if (s.substr(pos, 2) == "/*") {
            end = s.find("*/", pos + 2);
            end = end == std::string_view::npos ? s.size() : end + 2;
        } else if (c == ')' && closing && depth == 0) {
            return pos;
        } else if (c == '(' || c == ')') {
            depth += c == '(' ? 1 : -1;
        } else if (c == ';' && semicolon && depth == 0 && cases == 0) {
            return pos;
        } else if (isWordChar(c) && (pos == 0 || !isWordChar(s[pos - 1]))) {
            const std::string_view word = wordAt(s, pos);
            if (depth == 0 && cases == 0 && std::any_of(words.begin(), words.end(), [&](std::string_view w) {
                    return equalsNoCase(word, w);
                }))
                return pos;
            cases += equalsNoCase(word, "case") ? 1 : equalsNoCase(word, "end") && cases > 0 ? -1 : 0;
            end = pos + word.size();
        }
        pos = end;
    }
    return s.size();
}

// The start of the last word between from and to that stands outside strings, comments and
// parentheses; to when there is none.
std::size_t lastTopLevelWord(std::string_view s, std::size_t from, std::size_t to, std::string_view word)
{
    std::size_t found = to;
    for (std::size_t pos = findTopLevel(s.substr(0, to), from, {word}, false); pos < to;
         pos = findTopLevel(s.substr(0, to), pos + word.size(), {word}, false))
        found = pos;
    return found;
}

// CAST(x AS varbinary(max)), which SQLite cannot parse, becomes tds_varbinary(x), outside strings,
// quoted names and comments; other CASTs stay as they are.
std::string rewriteBinaryCasts(std::string_view sql)
{
    std::string out;
    out.reserve(sql.size());
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        std::size_t end = i + 1;
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            end = sql.find(close, i + 1);
            end = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(i, 2) == "--") {
            end = sql.find('\n', i);
            end = end == std::string_view::npos ? sql.size() : end;
        } else if (sql.substr(i, 2) == "/*") {
            end = sql.find("*/", i + 2);
            end = end == std::string_view::npos ? sql.size() : end + 2;
        } else if (isWordChar(c) && (i == 0 || !isWordChar(sql[i - 1]))) {
            const std::string_view word = wordAt(sql, i);
            end = i + word.size();
            const std::size_t open = skipFiller(sql, end);
            if (equalsNoCase(word, "cast") && open < sql.size() && sql[open] == '(') {
                // The CAST's closing parenthesis, and the last AS before it at its own depth.
                const std::size_t close = findTopLevel(sql, open + 1, {}, false, true);
                const std::size_t as =
                    close < sql.size() ? lastTopLevelWord(sql, open + 1, close, "as") : close;
                std::string type(sql.substr(std::min(as + 2, close), close - std::min(as + 2, close)));
                type.erase(std::remove_if(type.begin(), type.end(), ::isspace), type.end());
                if (as < close && equalsNoCase(type, "varbinary(max)")) {
                    out += "tds_varbinary(" + rewriteBinaryCasts(sql.substr(open + 1, as - open - 1)) + ")";
                    i = close + 1;
                    continue;
                }
            }
        }
        out.append(sql.substr(i, end - i));
        i = end;
    }
    return out;
}

// tds_varbinary(x): the bytes CAST(x AS varbinary(max)) gives: a text (nvarchar, as every text
// here) as UTF-16LE, an integer as its 4 or 8 bytes in big-endian order, a blob as it is.
void sqlVarbinary(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::string bytes;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        return sqlite3_result_null(ctx);
    case SQLITE_INTEGER: {
        const std::int64_t v = sqlite3_value_int64(argv[0]);
        const int size =
            v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()
                ? 4
                : 8;
        for (int k = size - 1; k >= 0; --k)
            bytes += static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * k)) & 0xFF);
        break;
    }
    case SQLITE_BLOB:
        bytes.assign(static_cast<const char*>(sqlite3_value_blob(argv[0])),
                     static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
        break;
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        for (char16_t unit : Utf8ToUtf16(
                 std::string_view(text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(argv[0])))))
            bytes += static_cast<char>(unit & 0xFF), bytes += static_cast<char>(unit >> 8);
    }
    }
    sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

// COL_LENGTH(table, column): the column's length in bytes as sys.columns gives it (-1 for the (max)
// types), for a catalog view sys.X by the type it is declared with; NULL when either is missing.
void sqlColLength(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto* table = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto* column = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const std::vector<std::string> parts = nameParts(table ? table : "");
    if (!column || parts.size() > 2 || parts.back().empty())
        return sqlite3_result_null(ctx);
    const std::string schema = parts.size() == 2 ? parts[0] : "dbo";
    sqlite3* db = sqlite3_context_db_handle(ctx);
    std::optional<std::int64_t> length;
    if (equalsNoCase(schema, "sys")) {
        // The declared type's length: sysname 256, nvarchar(n) 2n, char(n) n, the (max) types -1
        // (the older views' definitions, declared nvarchar, are nvarchar(max) on a server).
        length =
            firstInteger(db,
                         "SELECT CASE WHEN lower(type) = 'sysname' THEN 256 "
                         "WHEN lower(type) IN ('nvarchar', 'nvarchar(max)', 'nvarchar(-1)') THEN -1 "
                         "WHEN lower(type) IN ('bit', 'tinyint') THEN 1 WHEN lower(type) = 'smallint' THEN 2 "
                         "WHEN lower(type) = 'int' THEN 4 WHEN lower(type) = 'sql_variant' THEN 8016 "
                         "WHEN lower(type) LIKE 'nvarchar(%' THEN 2 * CAST(substr(type, 10) AS INTEGER) "
                         "WHEN lower(type) LIKE 'char(%' THEN CAST(substr(type, 6) AS INTEGER) END "
                         "FROM pragma_table_info(?1, 'sys') WHERE lower(name) = lower(?2)",
                         {parts.back().c_str(), column});
    } else {
        length = firstInteger(
            db,
            "SELECT c.max_length FROM sys.columns c JOIN sys.objects o ON o.object_id = c.object_id "
            "JOIN sys.schemas s ON s.schema_id = o.schema_id WHERE o.name = ?1 COLLATE NOCASE "
            "AND s.name = ?2 COLLATE NOCASE AND c.name = ?3 COLLATE NOCASE",
            {parts.back().c_str(), schema.c_str(), column});
    }
    if (length)
        sqlite3_result_int64(ctx, *length);
    else
        sqlite3_result_null(ctx);
}

// EXEC ('...'), the dynamic form that runs a string as a batch of its own: the string's text (its
// doubled quotes made single) and, in end, where the statement ends; nullopt for any other EXEC.
std::optional<std::string> execString(std::string_view s, std::size_t from, std::size_t& end)
{
    std::size_t pos = skipFiller(s, from);
    if (pos >= s.size() || s[pos] != '(')
        return std::nullopt;
    pos = skipFiller(s, pos + 1);
    if (pos >= s.size() || s[pos] != '\'')
        return std::nullopt;
    std::string text;
    for (++pos; pos < s.size(); ++pos) {
        if (s[pos] == '\'') {
            if (pos + 1 < s.size() && s[pos + 1] == '\'') {
                text += '\'';
                ++pos;
                continue;
            }
            break;
        }
        text += s[pos];
    }
    pos = skipFiller(s, pos + 1);
    if (pos >= s.size() || s[pos] != ')')
        return std::nullopt;
    end = pos + 1;
    return text;
}

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A column of the catalog views, declared with the SQL Server type Microsoft documents for it,
// goes out as that type, as a real server sends it; anything else by its values below.
std::optional<ResultColumn> declaredType(const char* declared, const std::vector<std::vector<Value>>& rows,
                                         std::size_t col)
{
    std::string decl = declared ? declared : "";
    std::transform(decl.begin(), decl.end(), decl.begin(), [](unsigned char c) { return std::tolower(c); });
    ResultColumn column;
    std::int64_t low = 0, high = 0;
    bool text = false;
    if (decl == "sysname") {
        column.maxChars = 128, text = true;
    } else if (decl == "nvarchar(max)" || decl == "nvarchar(-1)") {
        column.type = ColumnType::NVarCharMax, text = true;
    } else if ((decl.starts_with("nvarchar(") || decl.starts_with("char(")) && decl.back() == ')' &&
               decl.find("max") == std::string::npos) {
        // A length that is no number from 1 to 4000 leaves the column to its values.
        const std::string digits = decl.substr(decl.find('(') + 1, decl.size() - decl.find('(') - 2);
        if (digits.empty() || digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), ::isdigit) ||
            std::stoi(digits) < 1 || std::stoi(digits) > 4000)
            return std::nullopt;
        column.maxChars = static_cast<std::uint16_t>(std::stoi(digits));
        text = true;
    } else if (decl == "bit") {
        column.type = ColumnType::Bit, high = 1;
    } else if (decl == "tinyint") {
        column.type = ColumnType::Int1, high = 255;
    } else if (decl == "smallint") {
        column.type = ColumnType::Int2, low = -32768, high = 32767;
    } else if (decl == "int") {
        column.type = ColumnType::Int4, low = std::numeric_limits<std::int32_t>::min(),
        high = std::numeric_limits<std::int32_t>::max();
    } else {
        return std::nullopt;
    }
    for (const auto& row : rows) {
        const Value& v = row[col];
        const bool fits = v.kind == Value::Null ||
                          (text ? v.kind == Value::Text
                                : v.kind == Value::Integer && v.integer >= low && v.integer <= high);
        if (!fits)
            return std::nullopt;
    }
    return column;
}

ColumnType chooseType(const char* declared, const std::vector<std::vector<Value>>& rows, std::size_t col)
{
    bool text = false, blob = false, real = false, integer = false, fits4 = true;
    for (const auto& row : rows) {
        const Value& v = row[col];
        text |= v.kind == Value::Text;
        blob |= v.kind == Value::Blob;
        real |= v.kind == Value::Real;
        if (v.kind == Value::Integer) {
            integer = true;
            fits4 &= v.integer >= std::numeric_limits<std::int32_t>::min() &&
                     v.integer <= std::numeric_limits<std::int32_t>::max();
        }
    }
    if (text || (blob && (real || integer)))
        return ColumnType::NVarChar;
    if (blob) {
        // A value no varbinary(n) holds comes from a (max) column or a CAST to one.
        const bool large = std::any_of(rows.begin(), rows.end(), [&](const auto& row) {
            return row[col].kind == Value::Blob && row[col].bytes.size() > 8000;
        });
        return large ? ColumnType::VarBinaryMax : ColumnType::VarBinary;
    }
    if (real)
        return ColumnType::Float8;
    if (integer)
        return fits4 ? ColumnType::Int4 : ColumnType::Int8;
    // No values to go by: the declared type's affinity decides, as far as SQLite knows one.
    std::string decl = declared ? declared : "";
    std::transform(decl.begin(), decl.end(), decl.begin(), [](unsigned char c) { return std::toupper(c); });
    if (decl.find("INT") != std::string::npos)
        return ColumnType::Int4;
    if (decl.find("REAL") != std::string::npos || decl.find("FLOA") != std::string::npos ||
        decl.find("DOUB") != std::string::npos)
        return ColumnType::Float8;
    if (decl.find("BLOB") != std::string::npos)
        return ColumnType::VarBinary;
    return ColumnType::NVarChar;
}

std::string numberText(const Value& v)
{
    if (v.kind == Value::Integer)
        return std::to_string(v.integer);
    char buf[64];
    sqlite3_snprintf(sizeof buf, buf, "%!.15g", v.real);
    return buf;
}

struct UnsupportedParameter : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

const char* procedureName(int id)
{
    static const char* const names[] = {"",
                                        "sp_cursor",
                                        "sp_cursoropen",
                                        "sp_cursorprepare",
                                        "sp_cursorexecute",
                                        "sp_cursorprepexec",
                                        "sp_cursorunprepare",
                                        "sp_cursorfetch",
                                        "sp_cursoroption",
                                        "sp_cursorclose",
                                        "sp_executesql",
                                        "sp_prepare",
                                        "sp_execute",
                                        "sp_prepexec",
                                        "sp_prepexecrpc",
                                        "sp_unprepare"};
    return id > 0 && id < 16 ? names[id] : "";
}

} // namespace

std::vector<std::string> Catalog::databaseNames() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir, ec)) {
        const std::string file = entry.path().filename().string();
        const std::size_t suffix = std::char_traits<char>::length(kFileSuffix);
        if (file.size() > suffix && file.ends_with(kFileSuffix) && entry.is_regular_file(ec)) {
            std::string name = file.substr(0, file.size() - suffix);
            if (!equalsNoCase(name, "master"))
                names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    names.insert(names.begin(), "master");
    return names;
}

std::optional<std::string> Catalog::resolve(const std::string& name) const
{
    for (const std::string& candidate : databaseNames()) {
        if (equalsNoCase(candidate, name))
            return candidate;
    }
    return std::nullopt;
}

std::string Catalog::pathOf(const std::string& canonicalName) const
{
    const std::filesystem::path path = std::filesystem::path(m_dir) / (canonicalName + kFileSuffix);
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) ? path.string() : std::string();
}

// DONE tokens go out one statement late, so that each learns whether another result follows and
// can carry the MORE bit; the driver stops reading at the first DONE without it.
class Session::DoneQueue
{
public:
    explicit DoneQueue(TokenWriter& out) : m_out(out) {}
    void push(std::uint8_t token, std::uint16_t status, std::uint16_t command, std::uint64_t rows)
    {
        flush(true);
        m_token = token, m_status = status, m_command = command, m_rows = rows;
        m_pending = true;
    }
    // Returns whether a DONE was written.
    bool flush(bool more)
    {
        if (!m_pending)
            return false;
        m_out.done(m_token, m_status | (more ? DoneStatus::More : 0), m_command, m_rows);
        m_pending = false;
        return true;
    }

private:
    TokenWriter& m_out;
    bool m_pending = false;
    std::uint8_t m_token = 0;
    std::uint16_t m_status = 0, m_command = 0;
    std::uint64_t m_rows = 0;
};

Session::~Session()
{
    sqlite3_close(m_db);
}

bool Session::use(const std::string& name)
{
    const std::optional<std::string> canonical = m_catalog.resolve(name);
    if (!canonical)
        return false;
    const std::string path = m_catalog.pathOf(*canonical);
    sqlite3* db = nullptr;
    // Fixtures are shared by every connection and test; nothing a client sends may change them.
    const int rc = path.empty()
                       ? sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
                       : sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    bool ok = rc == SQLITE_OK;
    // QUOTED_IDENTIFIER is ON, as for every ODBC connection: "text" names a column and is never a
    // string, so one that names none fails with 207 as on a real server.
    ok = ok && sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr) == SQLITE_OK &&
         sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr) == SQLITE_OK;
    if (ok && path.empty()) {
        // A master without a file still answers catalogue queries, with the system types only.
        try {
            tdsfixture::createCatalogTables(db);
        } catch (const std::exception&) {
            ok = false;
        }
    }
    // The server-wide list of databases lives in the temp schema, which SQLite searches first for
    // unqualified names, so every database (master too) answers "sysdatabases" the same way.
    // sys.databases as sys_databases, with the columns of the real view a client asks for most
    // (declared with their documented types) and every database ONLINE.
    ok =
        ok && exec(db, "PRAGMA temp_store=MEMORY") &&
        exec(db,
             "CREATE TEMP TABLE sysdatabases (name TEXT COLLATE NOCASE NOT NULL, dbid INTEGER NOT NULL)") &&
        exec(db, "CREATE TEMP TABLE sys_databases (name sysname COLLATE NOCASE NOT NULL, database_id int NOT "
                 "NULL, compatibility_level tinyint NOT NULL, collation_name sysname, user_access tinyint, "
                 "is_read_only bit, state tinyint, state_desc nvarchar(60))");
    if (ok) {
        sqlite3_stmt* insert = nullptr;
        sqlite3_stmt* insertView = nullptr;
        ok = sqlite3_prepare_v2(db, "INSERT INTO temp.sysdatabases VALUES (?, ?)", -1, &insert, nullptr) ==
                 SQLITE_OK &&
             sqlite3_prepare_v2(db,
                                "INSERT INTO temp.sys_databases VALUES (?, ?, 150, "
                                "'SQL_Latin1_General_CP1_CI_AS', 0, ?, 0, 'ONLINE')",
                                -1, &insertView, nullptr) == SQLITE_OK;
        const std::vector<std::string> names = m_catalog.databaseNames();
        const auto visible = [this](const std::string& n) {
            if (!m_visible || equalsNoCase(n, "master") || equalsNoCase(n, "tempdb"))
                return true;
            return std::any_of(m_visible->begin(), m_visible->end(),
                               [&](const std::string& own) { return equalsNoCase(own, n); });
        };
        // Azure SQL Database's sys.databases shows a user database only itself and master.
        const auto inView = [&](const std::string& n) {
            if (m_azure && !equalsNoCase(*canonical, "master"))
                return equalsNoCase(n, "master") || equalsNoCase(n, *canonical);
            return visible(n);
        };
        for (std::size_t i = 0; ok && i < names.size(); ++i) {
            if (visible(names[i])) {
                sqlite3_bind_text(insert, 1, names[i].c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(insert, 2, static_cast<sqlite3_int64>(i + 1));
                ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
            }
            if (!inView(names[i]))
                continue;
            sqlite3_bind_text(insertView, 1, names[i].c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(insertView, 2, static_cast<sqlite3_int64>(i + 1));
            sqlite3_bind_int(insertView, 3, 0);
            ok = ok && sqlite3_step(insertView) == SQLITE_DONE && sqlite3_reset(insertView) == SQLITE_OK;
        }
        sqlite3_finalize(insert);
        sqlite3_finalize(insertView);
    }
    // The catalog views sys.X are the file's tables X: the file once more as the schema "sys", so
    // that "sys.objects" and "[sys].[objects]" find them in any letter case, and a database without
    // them (SQL Server 2000) answers "Invalid object name".
    if (ok && !path.empty()) {
        sqlite3_stmt* attach = nullptr;
        ok = sqlite3_prepare_v2(db, "ATTACH DATABASE ? AS sys", -1, &attach, nullptr) == SQLITE_OK &&
             sqlite3_bind_text(attach, 1, path.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
             sqlite3_step(attach) == SQLITE_DONE;
        sqlite3_finalize(attach);
    }
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    // The fixtures declare their name columns NOCASE; here that is the server's collation.
    ok = ok && sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, nullptr, compareCiAs) == SQLITE_OK &&
         sqlite3_create_function(db, "isnull", 2, flags, nullptr, sqlIsNull, nullptr, nullptr) == SQLITE_OK &&
         sqlite3_create_function(db, "len", 1, flags, nullptr, sqlLen, nullptr, nullptr) == SQLITE_OK &&
         sqlite3_create_function(db, "db_name", 0, SQLITE_UTF8, &m_database, sqlDbName, nullptr, nullptr) ==
             SQLITE_OK &&
         sqlite3_create_function(db, "object_id", -1, SQLITE_UTF8, &m_database, sqlObjectId, nullptr,
                                 nullptr) == SQLITE_OK &&
         sqlite3_create_function(db, "col_length", 2, SQLITE_UTF8, nullptr, sqlColLength, nullptr, nullptr) ==
             SQLITE_OK &&
         sqlite3_create_function(db, "tds_varbinary", 1, flags, nullptr, sqlVarbinary, nullptr, nullptr) ==
             SQLITE_OK &&
         sqlite3_create_function(db, "serverproperty", 1, SQLITE_UTF8, &m_azure, sqlServerProperty, nullptr,
                                 nullptr) == SQLITE_OK;
    if (!ok) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_close(m_db);
    m_db = db;
    m_database = *canonical;
    return true;
}

void Session::batch(const std::string& sql, TokenWriter& out)
{
    DoneQueue dones(out);
    if (!runStatements(sql, {}, dones, out, Token::Done)) {
        out.done(Token::Done, DoneStatus::Error, 0, 0);
        return;
    }
    if (!dones.flush(false))
        out.done(Token::Done, DoneStatus::Final, 0, 0);
}

bool Session::runStatements(const std::string& original, const std::vector<Param>& binds, DoneQueue& dones,
                            TokenWriter& out, std::uint8_t doneToken)
{
    const std::string sql = rewriteBinaryCasts(mapServerViews(dropUnicodePrefixes(original)));
    const std::string_view s(sql);
    if (const std::string word = foreignKeyword(s); !word.empty()) {
        out.message(true, 102, 1, 15, "Incorrect syntax near '" + word + "'.");
        return false;
    }
    // Every round consumes at least one character, so the text's length bounds the loop.
    for (std::size_t pos = skipFiller(s, 0); pos < s.size(); pos = skipFiller(s, pos)) {
        const std::string_view word = wordAt(s, pos);
        if (equalsNoCase(word, "set")) {
            // Session options (textsize, quoted identifiers, ...) change nothing here, and a real
            // server sends no DONE for them either, so they leave no empty result behind.
            pos = std::min(s.find_first_of(";\n", pos), s.size());
        } else if (equalsNoCase(word, "use")) {
            pos += word.size();
            const std::string name = readIdentifier(s, pos);
            const std::string old = m_database;
            dones.flush(true);
            if (m_azure && !equalsNoCase(name, m_database)) {
                out.message(
                    true, 40508, 1, 16,
                    "USE statement is not supported to switch between databases. Use a new connection "
                    "to connect to a different database.");
                return false;
            }
            if (!use(name)) {
                out.message(true, 911, 1, 16,
                            "Database '" + name +
                                "' does not exist. Make sure that the name is entered correctly.");
                return false;
            }
            out.envChange(1, m_database, old);
            out.message(false, 5701, 2, 0, "Changed database context to '" + m_database + "'.");
            dones.push(doneToken, DoneStatus::Final, 0, 0);
        } else if (equalsNoCase(word, "if")) {
            if (!runIf(s, pos, binds, dones, out, doneToken))
                return false;
        } else if (std::size_t end = 0; (equalsNoCase(word, "exec") || equalsNoCase(word, "execute")) &&
                                        execString(s, pos + word.size(), end)) {
            // The string is compiled only now, so it may name what the batch around it could not.
            if (!runStatements(*execString(s, pos + word.size(), end), binds, dones, out, doneToken))
                return false;
            pos = end;
        } else if (startsWithNoCase(word, "sp_") || equalsNoCase(word, "exec") ||
                   equalsNoCase(word, "execute")) {
            // No stored procedures here; the driver's type-info probe on connect ends up here too.
            const std::string_view name =
                startsWithNoCase(word, "sp_") ? word : wordAt(s, skipFiller(s, pos + word.size()));
            dones.flush(true);
            out.message(true, 2812, 62, 16, "Could not find stored procedure '" + std::string(name) + "'.");
            return false;
        } else {
            const char* tail = nullptr;
            if (!runOne(s.data() + pos, static_cast<int>(s.size() - pos), &tail, binds, dones, out,
                        doneToken))
                return false;
            const std::size_t next = static_cast<std::size_t>(tail - s.data());
            pos = std::max(next, pos + 1);
        }
    }
    return true;
}

bool Session::runIf(std::string_view s, std::size_t& pos, const std::vector<Param>& binds, DoneQueue& dones,
                    TokenWriter& out, std::uint8_t doneToken)
{
    // The condition ends where the statement it guards begins.
    const std::size_t condition = pos + 2;
    const std::size_t thenStart = findTopLevel(
        s, condition,
        {"select", "with", "set", "use", "exec", "execute", "if", "begin", "insert", "update", "delete"},
        false);
    const std::string_view first = wordAt(s, thenStart);
    dones.flush(true);
    if (thenStart >= s.size() || skipFiller(s, condition) >= thenStart) {
        out.message(true, 102, 1, 15, "Incorrect syntax near 'IF'.");
        return false;
    }
    if (equalsNoCase(first, "begin") || equalsNoCase(first, "if")) {
        out.message(true, 50000, 1, 16, "This server runs IF ... ELSE with single statements only.");
        return false;
    }
    const std::size_t thenEnd = findTopLevel(s, thenStart, {"else"}, true);
    const std::string_view thenBranch = s.substr(thenStart, thenEnd - thenStart);
    std::string_view elseBranch;
    pos = thenEnd;
    const std::size_t next = skipFiller(s, thenEnd);
    if (equalsNoCase(wordAt(s, next), "else")) {
        const std::size_t elseStart = next + 4;
        if (equalsNoCase(wordAt(s, skipFiller(s, elseStart)), "begin") ||
            equalsNoCase(wordAt(s, skipFiller(s, elseStart)), "if")) {
            out.message(true, 50000, 1, 16, "This server runs IF ... ELSE with single statements only.");
            return false;
        }
        pos = findTopLevel(s, elseStart, {}, true);
        elseBranch = s.substr(elseStart, pos - elseStart);
    }
    const std::string test = "SELECT CASE WHEN (" + std::string(s.substr(condition, thenStart - condition)) +
                             ") THEN 1 ELSE 0 END";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, test.c_str(), -1, &stmt, nullptr) != SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_ROW) {
        writeSqliteError(out);
        sqlite3_finalize(stmt);
        return false;
    }
    const bool holds = sqlite3_column_int(stmt, 0) != 0;
    sqlite3_finalize(stmt);
    // Only the branch taken is compiled, so the other may name a view this database lacks.
    const std::string_view branch = holds ? thenBranch : elseBranch;
    return skipFiller(branch, 0) >= branch.size() ||
           runStatements(std::string(branch), binds, dones, out, doneToken);
}

void WriteInjectedError(TokenWriter& out, std::int32_t number)
{
    switch (number) {
    case 1205:
        out.message(
            true, 1205, 51, 13,
            "Transaction (Process ID 53) was deadlocked on lock resources with another process and has "
            "been chosen as the deadlock victim. Rerun the transaction.");
        break;
    case 1222:
        out.message(true, 1222, 56, 16, "Lock request time out period exceeded.");
        break;
    case 229:
        out.message(true, 229, 5, 14,
                    "The SELECT permission was denied on the object 'databases', database "
                    "'mssqlsystemresource', schema 'sys'.");
        break;
    case 40613:
        out.message(true, 40613, 1, 17,
                    "Database 'sample' on server 'testserver' is not currently available. Please retry the "
                    "connection later.");
        break;
    default:
        out.message(true, number, 1, 16, "Injected failure " + std::to_string(number) + ".");
        break;
    }
}

bool Session::runOne(const char* sql, int bytes, const char** tail, const std::vector<Param>& binds,
                     DoneQueue& dones, TokenWriter& out, std::uint8_t doneToken)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, bytes, &stmt, tail) != SQLITE_OK) {
        dones.flush(true);
        writeSqliteError(out);
        return false;
    }
    if (!stmt)
        return true; // only comments
    if (m_faults && m_faults->failStatement > 0 && ++m_faults->statements == m_faults->failStatement) {
        sqlite3_finalize(stmt);
        dones.flush(true);
        WriteInjectedError(out, m_faults->failNumber);
        return false;
    }
    for (const Param& p : binds) {
        const int index = p.name.empty() ? 0 : sqlite3_bind_parameter_index(stmt, p.name.c_str());
        if (index <= 0)
            continue;
        switch (p.value.kind) {
        case Value::Null:
            sqlite3_bind_null(stmt, index);
            break;
        case Value::Integer:
            sqlite3_bind_int64(stmt, index, p.value.integer);
            break;
        case Value::Real:
            sqlite3_bind_double(stmt, index, p.value.real);
            break;
        case Value::Text:
            sqlite3_bind_text(stmt, index, p.value.bytes.data(), static_cast<int>(p.value.bytes.size()),
                              SQLITE_TRANSIENT);
            break;
        case Value::Blob:
            sqlite3_bind_blob(stmt, index, p.value.bytes.data(), static_cast<int>(p.value.bytes.size()),
                              SQLITE_TRANSIENT);
            break;
        }
    }
    // The whole result is read before anything is sent, as the column types depend on the values.
    const int columns = sqlite3_column_count(stmt);
    ResultSet result;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto& row = result.rows.emplace_back(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            Value& v = row[static_cast<std::size_t>(c)];
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                v.kind = Value::Integer, v.integer = sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_FLOAT:
                v.kind = Value::Real, v.real = sqlite3_column_double(stmt, c);
                break;
            case SQLITE_TEXT:
                v.kind = Value::Text;
                v.bytes.assign(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
                break;
            case SQLITE_BLOB:
                v.kind = Value::Blob;
                v.bytes.assign(static_cast<const char*>(sqlite3_column_blob(stmt, c)),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
                break;
            default:
                break;
            }
        }
    }
    if (rc != SQLITE_DONE) {
        dones.flush(true);
        writeSqliteError(out);
        sqlite3_finalize(stmt);
        return false;
    }
    for (int c = 0; c < columns; ++c) {
        const auto col = static_cast<std::size_t>(c);
        const char* name = sqlite3_column_name(stmt, c);
        const char* declared = sqlite3_column_decltype(stmt, c);
        ResultColumn column{name ? name : "", ColumnType::NVarChar};
        if (const std::optional<ResultColumn> typed = declaredType(declared, result.rows, col)) {
            column.type = typed->type;
            column.maxChars = typed->maxChars;
            // char(n) comes padded with blanks to its length, as from a real server.
            if (declared && equalsNoCase(std::string_view(declared).substr(0, 5), "char("))
                for (auto& row : result.rows)
                    if (row[col].kind == Value::Text && row[col].bytes.size() < column.maxChars)
                        row[col].bytes.resize(column.maxChars, ' ');
        } else {
            column.type = chooseType(declared, result.rows, col);
        }
        if (column.type == ColumnType::NVarChar) {
            for (auto& row : result.rows) {
                if (row[col].kind == Value::Integer || row[col].kind == Value::Real)
                    row[col] = Value{Value::Text, 0, 0, numberText(row[col])};
            }
        }
        result.columns.push_back(std::move(column));
    }
    const bool readOnly = sqlite3_stmt_readonly(stmt);
    sqlite3_finalize(stmt);
    dones.flush(true);
    if (columns > 0) {
        out.resultSet(result);
        dones.push(doneToken, DoneStatus::Count, kCmdSelect, result.rows.size());
    } else if (!readOnly) {
        dones.push(doneToken, DoneStatus::Count, 0, static_cast<std::uint64_t>(sqlite3_changes(m_db)));
    } else {
        dones.push(doneToken, DoneStatus::Final, 0, 0);
    }
    return true;
}

void Session::writeSqliteError(TokenWriter& out)
{
    const std::string message = sqlite3_errmsg(m_db);
    // The two errors a catalogue query meets most, in the numbers and words a real server uses.
    const auto after = [&](std::string_view prefix) { return message.substr(prefix.size()); };
    if (message.starts_with("no such table: "))
        out.message(true, 208, 1, 16, "Invalid object name '" + after("no such table: ") + "'.");
    else if (message.starts_with("no such column: ")) {
        // The server names the column alone, without the alias it was asked through.
        const std::string column = after("no such column: ");
        out.message(true, 207, 1, 16, "Invalid column name '" + column.substr(column.rfind('.') + 1) + "'.");
    } else if (message.find("syntax error") != std::string::npos)
        out.message(true, 102, 1, 15, "Incorrect syntax (" + message + ").");
    else
        out.message(true, 50000, 1, 16, message);
}

Session::Param Session::readParam(Reader& r)
{
    Param p;
    p.name = r.utf16(r.u8());
    r.u8(); // status: output or not makes no difference to a value that is only read
    const std::uint8_t type = r.u8();
    Value& v = p.value;
    auto setInt = [&](std::int64_t i) { v.kind = Value::Integer, v.integer = i; };
    auto readInt = [&](std::size_t len) {
        switch (len) {
        case 0:
            break;
        case 1:
            setInt(r.u8());
            break;
        case 2:
            setInt(static_cast<std::int16_t>(r.u16()));
            break;
        case 4:
            setInt(static_cast<std::int32_t>(r.u32()));
            break;
        case 8:
            setInt(static_cast<std::int64_t>(r.u64()));
            break;
        default:
            throw ProtocolError("bad integer length");
        }
    };
    auto readFloat = [&](std::size_t len) {
        if (len == 4)
            v.kind = Value::Real, v.real = std::bit_cast<float>(r.u32());
        else if (len == 8)
            v.kind = Value::Real, v.real = std::bit_cast<double>(r.u64());
        else if (len != 0)
            throw ProtocolError("bad float length");
    };
    // PLP: total length (all ones = NULL), then chunks until an empty one.
    auto readPlp = [&](Value::Kind kind, bool utf16) {
        if (r.u64() == ~std::uint64_t(0))
            return;
        std::string data;
        for (std::uint32_t chunk = r.u32(); chunk != 0; chunk = r.u32())
            data.append(reinterpret_cast<const char*>(r.take(chunk)), chunk);
        v.kind = kind;
        v.bytes =
            utf16 ? Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()) : data;
    };
    auto readData = [&](Value::Kind kind, bool utf16, std::size_t len) {
        const std::uint8_t* d = r.take(len);
        v.kind = kind;
        v.bytes = utf16 ? Utf16LeToUtf8(d, len) : std::string(reinterpret_cast<const char*>(d), len);
    };
    switch (type) {
    case 0x1F: // NULL
        break;
    case 0x30: // TINYINT
    case 0x32: // BIT
        readInt(1);
        break;
    case 0x34:
        readInt(2);
        break;
    case 0x38:
        readInt(4);
        break;
    case 0x7F:
        readInt(8);
        break;
    case 0x3B:
        readFloat(4);
        break;
    case 0x3E:
        readFloat(8);
        break;
    case 0x26: // INTN
    case 0x68: // BITN
        r.u8();
        readInt(r.u8());
        break;
    case 0x6D: // FLTN
        r.u8();
        readFloat(r.u8());
        break;
    case 0xA7:   // BIGVARCHAR: the UTF-8 collation the server announces makes these bytes UTF-8
    case 0xAF:   // BIGCHAR
    case 0xE7:   // NVARCHAR
    case 0xEF:   // NCHAR
    case 0xA5:   // BIGVARBINARY
    case 0xAD: { // BIGBINARY
        const bool text = type != 0xA5 && type != 0xAD;
        const bool utf16 = type == 0xE7 || type == 0xEF;
        const std::uint16_t max = r.u16();
        if (text)
            r.take(5); // collation
        const Value::Kind kind = text ? Value::Text : Value::Blob;
        if (max == 0xFFFF) {
            readPlp(kind, utf16);
        } else if (const std::uint16_t len = r.u16(); len != 0xFFFF) {
            readData(kind, utf16, len);
        }
        break;
    }
    case 0x23:   // TEXT
    case 0x63:   // NTEXT
    case 0x22: { // IMAGE
        r.u32();
        if (type != 0x22)
            r.take(5);
        // Parameter values of these types come without the text pointer that rows carry.
        if (const std::uint32_t len = r.u32(); len != 0xFFFFFFFF)
            readData(type == 0x22 ? Value::Blob : Value::Text, type == 0x63, len);
        break;
    }
    default:
        throw UnsupportedParameter("Parameter type " + std::to_string(type) +
                                   " is not supported by this server.");
    }
    return p;
}

void Session::rpc(Reader& r, TokenWriter& out)
{
    r.skipAllHeaders();
    const std::uint16_t nameLength = r.u16();
    int id = 0;
    std::string name;
    if (nameLength == 0xFFFF) {
        id = r.u16();
        name = procedureName(id);
        if (name.empty())
            name = "#" + std::to_string(id);
    } else {
        name = r.utf16(nameLength);
        for (int k = 1; k < 16; ++k) {
            if (equalsNoCase(name, procedureName(k)))
                id = k;
        }
    }
    r.u16(); // option flags
    std::vector<Param> params;
    try {
        // A batch flag byte (0x80, 0xFF or 0xFE) would start another call; the driver sends one.
        while (r.remaining() > 0 && params.size() < kMaxRpcParams && r.peek() != 0x80 && r.peek() < 0xFE)
            params.push_back(readParam(r));
    } catch (const UnsupportedParameter& e) {
        out.message(true, 50000, 1, 16, e.what());
        out.done(Token::DoneProc, DoneStatus::Error, 0, 0);
        return;
    }
    const bool prepexec = id == 13, executesql = id == 10;
    if ((prepexec && params.size() >= 3) || (executesql && params.size() >= 1)) {
        // sp_prepexec: handle, declaration, text, values; sp_executesql: text, declaration, values.
        const std::size_t stmtIndex = prepexec ? 2 : 0, declIndex = 1, firstValue = prepexec ? 3 : 2;
        const std::vector<std::string> names = params.size() > declIndex
                                                   ? declaredNames(params[declIndex].value.bytes)
                                                   : std::vector<std::string>();
        std::vector<Param> binds;
        for (std::size_t i = firstValue; i < params.size(); ++i) {
            const std::size_t k = i - firstValue;
            binds.push_back({k < names.size() ? names[k] : "@P" + std::to_string(k + 1), params[i].value});
        }
        DoneQueue dones(out);
        if (!runStatements(params[stmtIndex].value.bytes, binds, dones, out, Token::DoneInProc)) {
            out.done(Token::DoneProc, DoneStatus::Error, 0, 0);
            return;
        }
        dones.flush(true);
        out.returnStatus(0);
        if (prepexec)
            out.returnIntValue(m_nextHandle++);
        out.done(Token::DoneProc, DoneStatus::Final, 0, 0);
    } else if (id == 15) { // sp_unprepare: nothing is kept per handle
        out.returnStatus(0);
        out.done(Token::DoneProc, DoneStatus::Final, 0, 0);
    } else {
        out.message(true, 2812, 62, 16, "Could not find stored procedure '" + name + "'.");
        out.done(Token::DoneProc, DoneStatus::Error, 0, 0);
    }
}

} // namespace tds
