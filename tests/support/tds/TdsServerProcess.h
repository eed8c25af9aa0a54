// Runs tds-testserver for a test: starts it (posix_spawn, never fork, as test programs run
// threads), learns its port, asks it for its request counts, and ends and reaps it on destruction.
// Also builds the connection string that Qt's ODBC driver needs to reach it through FreeTDS.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

class TdsServerProcess
{
public:
    struct Options
    {
        std::string catalogDir;
        std::vector<std::string> logins; // "USER:PASSWORD"; empty = the server's default (sa, no password)
        double delayLoginSeconds = 0;
        int latencyMs = 0;
        long failStatement = 0; // with failNumber: --fail-statement
        int failNumber = 0;
        long dropAfterBatches = 0;
        bool denyViewAnyDatabase = false;
        bool azure = false;
        std::vector<std::string> owners; // "USER:DATABASE"
        std::string program;             // empty = the tds-testserver built with this library
        std::string encryption;     // --encryption: "offered" (empty: the same), "required", "not-supported"
        std::string certificateOut; // --certificate-out: where the server writes its certificate
        std::vector<std::string> windowsLogins; // "DOMAIN\\USER:PASSWORD", checked by NTLMv2
        // Non-empty: the server also answers as the SQL Server Browser for these instance names.
        std::vector<std::string> browserInstances;
        // Further options as the server spells them ("--sysadmin", "bob", "--ipv6", ...).
        std::vector<std::string> extraArguments;
        // Non-zero: run tds-latency-proxy in front of the server on this port instead, with a round
        // trip of latencyMs; counts() then gives its connections and round trips.
        int latencyProxyFor = 0;
    };

    struct Counts
    {
        long batches = -1;
        long rpc = -1;
        long logins = -1;
        long statements = -1;  // statements run, SET and USE not counted
        long connections = -1; // the latency proxy's
        long roundTrips = -1;
    };

    // Throws std::runtime_error when the server cannot be started or reports no port.
    explicit TdsServerProcess(const Options& options);
    ~TdsServerProcess();
    TdsServerProcess(const TdsServerProcess&) = delete;
    TdsServerProcess& operator=(const TdsServerProcess&) = delete;

    int port() const { return m_port; }
    // The Browser responder's UDP port; 0 without browserInstances.
    int browserPort() const { return m_browserPort; }
    pid_t pid() const { return m_pid; }

    // SQL batches and RPC requests answered so far (SIGUSR1, then the line it prints). Throws
    // std::runtime_error when the server does not answer.
    Counts counts();
    // SIGTERM and reap; the exit status (as from waitpid), or -1 if it was already ended.
    int terminate();

    // DSN-less ODBC connection string for Qt's QODBC driver with FreeTDS: values in braces and the
    // string ending with ";" (Qt hands the last value over with a NUL). Extra is appended as is,
    // e.g. "Timeout=3;".
    std::string connectionString(const std::string& user, const std::string& password,
                                 const std::string& database, const std::string& extra = {}) const;
    // The FreeTDS ODBC driver library (libtdsodbc.so under /usr/lib/*/odbc/), or "" when missing.
    static std::string odbcDriverPath();

private:
    // One line from the server's standard error, or "" when none came within the wait.
    std::string readErrorLine();

    pid_t m_pid = -1;
    int m_port = 0;
    int m_browserPort = 0;
    int m_stdout = -1;
    int m_stderr = -1;
    std::string m_errBuffer;
};
