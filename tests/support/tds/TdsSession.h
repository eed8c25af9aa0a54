// The SQL side of the test TDS server: a folder of SQLite files posing as the databases of one
// server, and one client connection's view of it (current database, batches, RPC calls). Each
// session owns its SQLite handle, so sessions run on their own threads without sharing state.
#pragma once

#include "TdsWire.h"

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tds {

// The folder: every NAME.sqlite is the database NAME; "master" exists even without a file.
class Catalog
{
public:
    explicit Catalog(std::string dir) : m_dir(std::move(dir)) {}
    // master first, then the other names in byte order; read afresh on every call, so files
    // added while the server runs show up at the next USE or login.
    std::vector<std::string> databaseNames() const;
    // The name as the catalogue spells it, matched without regard to ASCII case, as a server with
    // a case-blind collation does.
    std::optional<std::string> resolve(const std::string& name) const;
    std::string pathOf(const std::string& canonicalName) const;

private:
    std::string m_dir;
};

// Faults a test asks for, shared by every connection of one server: the failStatement-th statement
// the server runs (counted from 1 over all connections) fails with error failNumber.
struct Faults
{
    long failStatement = 0; // 0: none
    std::int32_t failNumber = 0;
    std::atomic<long> statements{0};
};

// The text and severity a real server sends with the error numbers a catalogue read meets.
void WriteInjectedError(TokenWriter& out, std::int32_t number);

class Session
{
public:
    explicit Session(const Catalog& catalog, Faults* faults = nullptr) : m_catalog(catalog), m_faults(faults)
    {
    }
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Under DENY VIEW ANY DATABASE the database list shows only master, tempdb and these (the
    // login's own); nullopt: every database. Takes effect at the next use().
    void setVisibleDatabases(std::optional<std::vector<std::string>> names) { m_visible = std::move(names); }

    // Azure SQL Database: USE names only the current database, SERVERPROPERTY('EngineEdition') is 5.
    void setAzure(bool on) { m_azure = on; }

    // Opens the named database read-only; false (and the old one kept) when there is none.
    bool use(const std::string& name);
    const std::string& database() const { return m_database; }

    // Replies end with a DONE (or DONEPROC) that has no MORE bit.
    void batch(const std::string& sql, TokenWriter& out);
    void rpc(Reader& request, TokenWriter& out);

private:
    struct Param
    {
        std::string name;
        Value value;
    };
    class DoneQueue;

    // Runs sql statement by statement; false after the first error, which has then been written.
    bool runStatements(const std::string& sql, const std::vector<Param>& binds, DoneQueue& dones,
                       TokenWriter& out, std::uint8_t doneToken);
    bool runOne(const char* sql, int bytes, const char** tail, const std::vector<Param>& binds,
                DoneQueue& dones, TokenWriter& out, std::uint8_t doneToken);
    // IF condition statement [ELSE statement] at pos, which it moves past the whole construct.
    bool runIf(std::string_view sql, std::size_t& pos, const std::vector<Param>& binds, DoneQueue& dones,
               TokenWriter& out, std::uint8_t doneToken);
    void writeSqliteError(TokenWriter& out);
    static Param readParam(Reader& r);

    const Catalog& m_catalog;
    Faults* m_faults;
    std::optional<std::vector<std::string>> m_visible;
    bool m_azure = false;
    sqlite3* m_db = nullptr;
    std::string m_database;
    std::int32_t m_nextHandle = 1;
};

} // namespace tds
