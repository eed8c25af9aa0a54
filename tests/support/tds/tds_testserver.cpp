// tds-testserver: a small TDS 7.4 server over a folder of SQLite files, for tests that reach "SQL
// Server" through the real FreeTDS ODBC driver. One thread per client connection; the main thread
// only accepts connections and handles signals (through a signalfd, so no code runs in a handler).
#include "TdsBrowser.h"
#include "TdsNtlm.h"
#include "TdsSession.h"
#include "TdsTls.h"
#include "TdsWire.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxMessageBytes = 16 * 1024 * 1024;
constexpr std::size_t kFirstPacketSize = 4096;

const char kUsage[] =
    "usage: tds-testserver --catalog DIR [--port N] [--login USER:PASSWORD]...\n"
    "                      [--delay-login SECONDS] [--latency MS]\n"
    "                      [--fail-statement N:ERROR] [--drop-after-batches N]\n"
    "                      [--deny-view-any-database] [--owner USER:DATABASE]... [--azure]\n"
    "                      [--encryption offered|required|not-supported]\n"
    "                      [--certificate-out FILE] [--certificate-host NAME]\n"
    "                      [--windows-login DOMAIN\\USER:PASSWORD]...\n"
    "                      [--browser-instance NAME]... [--browser-port N]\n"
    "                      [--sysadmin USER]... [--restricted-login USER]... [--grant USER:OBJECT]...\n"
    "                      [--contained USER:DATABASE]... [--read-only-replica]\n"
    "                      [--stall-after-batches N] [--ipv6]\n"
    "\n"
    "Serves every DIR/NAME.sqlite as database NAME (opened read-only) to TDS 7.4 clients on\n"
    "127.0.0.1; \"master\" exists even without a file. Every database shows a sysdatabases table.\n"
    "\n"
    "  --port N             listen on port N; 0 (the default) picks a free one. The first line on\n"
    "                       standard output is \"port N\".\n"
    "  --login USER:PASS    a login that is accepted (user names compared case-blind, passwords\n"
    "                       exactly); may be repeated. Without any, only \"sa\" with an empty\n"
    "                       password is accepted.\n"
    "  --windows-login DOMAIN\\USER:PASSWORD\n"
    "                       a Windows account of the domain DOMAIN whose NTLMv2 log-in is\n"
    "                       accepted (domain and user compared case-blind); may be repeated.\n"
    "                       The server answers NTLM as a member of the first account's domain.\n"
    "  --delay-login S      wait S seconds (fractions allowed) before answering a login.\n"
    "  --latency MS         hold every reply back for MS milliseconds.\n"
    "  --fail-statement N:ERROR\n"
    "                       the N-th statement run (counted over all connections) fails with\n"
    "                       error number ERROR (1205, 1222 and 40613 with the real text).\n"
    "  --drop-after-batches N\n"
    "                       after N SQL batches (over all connections) every connection that\n"
    "                       sends another is closed without an answer, as by a lost network.\n"
    "  --deny-view-any-database\n"
    "                       the database list shows a login only master, tempdb and the databases\n"
    "                       it owns; every database can still be used.\n"
    "  --azure              behave as Azure SQL Database: a login must name its database, USE of\n"
    "                       another database fails with error 40508, EngineEdition is 5.\n"
    "  --encryption MODE    what PRELOGIN answers: \"offered\" (the default, as every SQL Server since\n"
    "                       2005: TLS for the login only when the client asks for no more, for\n"
    "                       everything when it asks for encryption), \"required\" (everything over\n"
    "                       TLS; a client that cannot encrypt is turned away) or \"not-supported\".\n"
    "  --certificate-out FILE\n"
    "                       write the server's certificate (PEM, self-signed, made at start) to\n"
    "                       FILE, for a client to trust as its CA file.\n"
    "  --certificate-host NAME\n"
    "                       the host name the certificate is made for (default localhost; it is\n"
    "                       valid for 127.0.0.1 too).\n"
    "  --browser-instance NAME\n"
    "                       answer as the SQL Server Browser on UDP 127.0.0.1 that this server is\n"
    "                       the instance NAME; may be repeated. Requests for other instances get\n"
    "                       no answer, as from a real Browser. The second line on standard output\n"
    "                       is then \"browser N\", the UDP port.\n"
    "  --browser-port N     the Browser's UDP port; 0 (the default) picks a free one.\n"
    "  --owner USER:DATABASE\n"
    "                       the login USER owns DATABASE; may be repeated.\n"
    "  --sysadmin USER      USER is a member of sysadmin (\"sa\" always is): no mode hides a\n"
    "                       database or an object from it; may be repeated.\n"
    "  --restricted-login USER\n"
    "                       USER lacks VIEW DEFINITION: the catalogue shows it only the system\n"
    "                       objects and those granted to it (with what belongs to them), and\n"
    "                       HAS_PERMS_BY_NAME(..., 'VIEW DEFINITION') is 0; may be repeated.\n"
    "  --grant USER:OBJECT  USER holds a permission on the object named OBJECT, so sees it\n"
    "                       when restricted; may be repeated.\n"
    "  --contained USER:DATABASE\n"
    "                       with --azure: USER is a contained user of DATABASE and must name it\n"
    "                       in its login; other logins are server logins and land in master\n"
    "                       when they name none. May be repeated.\n"
    "  --read-only-replica  behave as an availability group's secondary that takes only\n"
    "                       read-intent connections: a login to a user database without\n"
    "                       ApplicationIntent=ReadOnly fails with error 978.\n"
    "  --stall-after-batches N\n"
    "                       after N SQL batches (over all connections) the server stops answering\n"
    "                       any request, attention included, and keeps the connections open.\n"
    "  --ipv6               listen on [::1] instead of 127.0.0.1.\n"
    "\n"
    "SIGUSR1 prints \"batches N rpc M logins L statements S\" (SQL batches, RPC requests, logins\n"
    "accepted and statements run so far) on standard error; so does the end of the program.\n"
    "SIGTERM or SIGINT end it with status 0.\n";

struct Login
{
    std::string user;
    std::string password;
};

struct Server
{
    explicit Server(std::string dir) : catalog(std::move(dir)) {}

    tds::Catalog catalog;
    std::vector<Login> logins;
    std::vector<tds::WindowsAccount> windowsLogins;
    int delayLoginMs = 0;
    int latencyMs = 0;
    std::atomic<long> batches{0};
    std::atomic<long> rpcs{0};
    std::atomic<long> loginsAccepted{0};
    long dropAfterBatches = 0;  // 0: never
    long stallAfterBatches = 0; // 0: never
    bool denyViewAnyDatabase = false;
    bool azure = false;
    bool readOnlyReplica = false;
    std::vector<Login> owners; // user, database
    std::vector<std::string> sysadmins;
    std::vector<std::string> restricted;
    std::vector<Login> grants;    // user, object
    std::vector<Login> contained; // user, database

    static bool named(const std::vector<std::string>& names, const std::string& user)
    {
        return std::any_of(names.begin(), names.end(),
                           [&](const std::string& n) { return strcasecmp(n.c_str(), user.c_str()) == 0; });
    }
    bool isSysadmin(const std::string& user) const
    {
        return strcasecmp(user.c_str(), "sa") == 0 || named(sysadmins, user);
    }
    std::vector<std::string> second(const std::vector<Login>& pairs, const std::string& user) const
    {
        std::vector<std::string> out;
        for (const Login& p : pairs)
            if (strcasecmp(p.user.c_str(), user.c_str()) == 0)
                out.push_back(p.password);
        return out;
    }
    tds::EncryptionMode encryption = tds::EncryptionMode::Offered;
    std::unique_ptr<tds::TlsContext> tls; // null when encryption is not supported

    std::vector<std::string> ownedBy(const std::string& user) const
    {
        std::vector<std::string> names;
        for (const Login& o : owners)
            if (strcasecmp(o.user.c_str(), user.c_str()) == 0)
                names.push_back(o.password);
        return names;
    }
    tds::Faults faults;

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;

    // Sleeps unless the server stops first; false when it does.
    bool pause(int ms)
    {
        std::unique_lock lock(mutex);
        return !wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
    }

    bool accepts(const tds::Login7& login) const
    {
        return std::any_of(logins.begin(), logins.end(), [&](const Login& l) {
            return strcasecmp(l.user.c_str(), login.user.c_str()) == 0 && l.password == login.password;
        });
    }

    void printCounts() const
    {
        std::fprintf(stderr, "batches %ld rpc %ld logins %ld statements %ld\n", batches.load(), rpcs.load(),
                     loginsAccepted.load(), faults.statements.load());
        std::fflush(stderr);
    }
};

class Connection
{
public:
    Connection(Server& server, int fd)
        : m_server(server), m_socketFd(fd), m_socket(fd), m_session(server.catalog, &server.faults)
    {
    }

    void serve()
    {
        try {
            tds::Message message;
            while (tds::ReadMessage(*m_stream, message, kMaxMessageBytes)) {
                if (!handle(message))
                    return;
            }
        } catch (const tds::ProtocolError& e) {
            std::fprintf(stderr, "connection closed: %s\n", e.what());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "connection closed: %s\n", e.what());
        }
    }

private:
    bool reply(const tds::TokenWriter& out)
    {
        if (m_server.latencyMs > 0 && !m_server.pause(m_server.latencyMs))
            return false;
        return tds::SendMessage(*m_stream, out.bytes(), m_packetSize);
    }

    // A server that stops answering: nothing more is read or sent until the server ends or the
    // client gives up and closes.
    bool stall()
    {
        m_stalled = true;
        while (m_server.pause(1000)) {
            pollfd fd{m_socketFd, POLLRDHUP, 0};
            if (poll(&fd, 1, 0) > 0 && (fd.revents & (POLLRDHUP | POLLHUP | POLLERR)))
                return false;
        }
        return false;
    }

    // False ends the connection.
    bool handle(const tds::Message& message)
    {
        using namespace tds;
        TokenWriter out;
        if (!m_loggedIn && message.type != PacketType::PreLogin && message.type != PacketType::Login7 &&
            message.type != PacketType::Sspi)
            throw ProtocolError("request before login");
        switch (message.type) {
        case PacketType::PreLogin: {
            if (m_loggedIn || m_preLoginDone)
                throw ProtocolError("second PRELOGIN");
            m_preLoginDone = true;
            return preLogin(message);
        }
        case PacketType::Login7:
            if (m_loggedIn || m_pendingWindowsLogin)
                throw ProtocolError("second LOGIN7");
            return login(ParseLogin7(message.payload));
        case PacketType::Sspi:
            if (m_loggedIn || !m_pendingWindowsLogin)
                throw ProtocolError("SSPI message outside a Windows login");
            return windowsLogin(message.payload);
        case PacketType::SqlBatch: {
            Reader r(message.payload);
            // ALL_HEADERS is optional in the protocol; a text never starts with a small length.
            if (r.remaining() >= 4) {
                const std::uint32_t total = Reader(message.payload).u32();
                if (total >= 4 && total <= r.remaining())
                    r.skipAllHeaders();
            }
            const std::size_t bytes = r.remaining() & ~std::size_t(1);
            const std::string sql = Utf16LeToUtf8(r.take(bytes), bytes);
            const long number =
                ++m_server.batches; // counted before the reply, so a client that saw it sees it
            if (m_server.dropAfterBatches > 0 && number > m_server.dropAfterBatches)
                return false;
            if (m_server.stallAfterBatches > 0 && number > m_server.stallAfterBatches)
                return stall();
            m_session.batch(sql, out);
            return reply(out);
        }
        case PacketType::Rpc: {
            Reader r(message.payload);
            ++m_server.rpcs;
            if (m_server.stallAfterBatches > 0 && m_server.batches > m_server.stallAfterBatches)
                return stall();
            m_session.rpc(r, out);
            return reply(out);
        }
        case PacketType::TransactionManager:
            // Nothing is ever written, so there is nothing to begin, commit or roll back.
            out.done(Token::Done, DoneStatus::Final, 0, 0);
            return reply(out);
        case PacketType::Attention:
            if (m_stalled ||
                (m_server.stallAfterBatches > 0 && m_server.batches > m_server.stallAfterBatches))
                return stall();
            // Every reply is complete before the next request is read, so there is nothing to
            // cancel; the acknowledgement is what the driver waits for.
            out.done(Token::Done, DoneStatus::Attention, 0, 0);
            return reply(out);
        default:
            throw ProtocolError("unknown packet type " + std::to_string(message.type));
        }
    }

    bool preLogin(const tds::Message& message)
    {
        using namespace tds;
        const EncryptionAnswer answer =
            NegotiateEncryption(m_server.encryption, PreLoginEncryption(message.payload));
        TokenWriter out;
        const std::vector<std::uint8_t> bytes = PreLoginReply(answer.reply);
        out.raw(bytes.data(), bytes.size());
        if (!reply(out) || answer.close)
            return false;
        if (answer.tls != TlsUse::None) {
            m_tls = std::make_unique<TlsStream>(*m_server.tls, m_socket, answer.tls);
            m_tls->handshake(kMaxMessageBytes);
            m_stream = m_tls.get();
        }
        return true;
    }

    bool login(const tds::Login7& login)
    {
        using namespace tds;
        if (m_server.delayLoginMs > 0 && !m_server.pause(m_server.delayLoginMs))
            return false;
        if (login.integratedSecurity)
            return startWindowsLogin(login);
        return finishLogin(login, login.user, m_server.accepts(login));
    }

    // The NEGOTIATE came with LOGIN7; the CHALLENGE goes back in an SSPI token, and the login
    // waits for the client's AUTHENTICATE.
    bool startWindowsLogin(const tds::Login7& login)
    {
        using namespace tds;
        TokenWriter out;
        if (m_server.windowsLogins.empty() || !IsNtlmNegotiate(login.sspi)) {
            // What a server outside any domain the client's account is known to says.
            out.message(true, 18452, 1, 14,
                        "Login failed. The login is from an untrusted domain and cannot be used with "
                        "Integrated authentication.");
            out.done(Token::Done, DoneStatus::Error, 0, 0);
            return reply(out);
        }
        m_challenge = NewServerChallenge();
        const std::vector<std::uint8_t> challenge =
            NtlmChallengeMessage(m_challenge, m_server.windowsLogins.front().domain, "TDSTEST");
        out.u8(Token::Sspi);
        out.u16(static_cast<std::uint16_t>(challenge.size()));
        out.raw(challenge.data(), challenge.size());
        m_pendingWindowsLogin = login;
        return reply(out);
    }

    bool windowsLogin(const std::vector<std::uint8_t>& payload)
    {
        using namespace tds;
        const NtlmAuthenticate message = ParseNtlmAuthenticate(payload);
        const Login7 login = *m_pendingWindowsLogin;
        m_pendingWindowsLogin.reset();
        bool accepted = false;
        for (const WindowsAccount& account : m_server.windowsLogins)
            if (MatchesAccount(account, message.domain, message.user))
                accepted = VerifyNtlmV2(message, m_challenge, account.password);
        return finishLogin(login, message.domain + "\\" + message.user, accepted);
    }

    bool finishLogin(const tds::Login7& login, const std::string& user, bool accepted)
    {
        using namespace tds;
        TokenWriter out;
        const std::string database = login.database.empty() ? "master" : login.database;
        const std::string refusal = "Login failed for user '" + user + "'.";
        const bool sysadmin = m_server.isSysadmin(user);
        m_session.setSysadmin(sysadmin);
        if (m_server.denyViewAnyDatabase)
            m_session.setVisibleDatabases(m_server.ownedBy(user));
        if (Server::named(m_server.restricted, user))
            m_session.setGrantedObjects(m_server.second(m_server.grants, user));
        m_session.setAzure(m_server.azure);
        // A contained user exists only in its database and can log in only to it; a server login
        // that names no database lands in master.
        const std::vector<std::string> home =
            m_server.azure ? m_server.second(m_server.contained, user) : std::vector<std::string>();
        const bool containedElsewhere =
            !home.empty() && std::none_of(home.begin(), home.end(), [&](const std::string& d) {
                return strcasecmp(d.c_str(), login.database.c_str()) == 0;
            });
        // A secondary that allows only read-intent connections turns the others away from its
        // databases (master stays reachable).
        const bool readWriteToReplica =
            m_server.readOnlyReplica && !login.readOnlyIntent && strcasecmp(database.c_str(), "master") != 0;
        if (!accepted || containedElsewhere) {
            out.message(true, 18456, 1, 14, refusal);
            out.done(Token::Done, DoneStatus::Error, 0, 0);
        } else if (readWriteToReplica) {
            out.message(true, 978, 1, 14,
                        "The target database ('" + database +
                            "') is in an availability group and is currently accessible for connections "
                            "when the application intent is set to read only. For more information about "
                            "application intent, see SQL Server Books Online.");
            out.message(true, 18456, 1, 14, refusal);
            out.done(Token::Done, DoneStatus::Error, 0, 0);
        } else if (!m_session.use(database)) {
            out.message(true, 4060, 1, 11,
                        "Cannot open database \"" + database +
                            "\" requested by the login. The login failed.");
            out.message(true, 18456, 1, 14, refusal);
            out.done(Token::Done, DoneStatus::Error, 0, 0);
        } else {
            m_loggedIn = true;
            ++m_server.loginsAccepted;
            const std::size_t asked = login.packetSize;
            // SQL Server's order: the database with its 5701, the collation, the language with its
            // 5703, LOGINACK, then the packet size it granted (old value: the size asked for).
            out.envChange(1, m_session.database(), "master");
            out.message(false, 5701, 2, 0, "Changed database context to '" + m_session.database() + "'.");
            out.envChangeCollation();
            out.envChange(2, "us_english", "");
            out.message(false, 5703, 1, 0, "Changed language setting to us_english.");
            out.loginAck();
            const std::size_t granted = std::clamp<std::size_t>(asked, 512, 32767);
            out.envChange(4, std::to_string(granted), std::to_string(asked));
            out.done(Token::Done, DoneStatus::Final, 0, 0);
            const bool sent = reply(out);
            m_packetSize = granted;
            return sent;
        }
        // The client closes after a refusal; the connection stays until it does.
        return reply(out);
    }

    Server& m_server;
    int m_socketFd;
    bool m_stalled = false;
    tds::SocketStream m_socket;
    std::unique_ptr<tds::TlsStream> m_tls;
    tds::Stream* m_stream = &m_socket;
    tds::Session m_session;
    bool m_preLoginDone = false;
    bool m_loggedIn = false;
    std::optional<tds::Login7> m_pendingWindowsLogin;
    tds::ServerChallenge m_challenge{};
    std::size_t m_packetSize = kFirstPacketSize;
};

struct Client
{
    int fd = -1;
    std::thread thread;
    std::atomic<bool> finished{false};
};

bool parseInt(const char* text, long min, long max, long& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && out >= min && out <= max;
}

int usageError(const char* message)
{
    std::fprintf(stderr, "tds-testserver: %s\n\n%s", message, kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string catalogDir;
    long port = 0;
    std::vector<Login> logins;
    std::vector<tds::WindowsAccount> windowsLogins;
    std::vector<std::string> browserInstances;
    long browserPort = 0;
    double delayLogin = 0;
    long latency = 0;
    long failStatement = 0, failNumber = 0, dropAfter = 0;
    bool denyView = false;
    bool azure = false;
    bool readOnlyReplica = false;
    bool ipv6 = false;
    long stallAfter = 0;
    std::vector<std::string> sysadmins, restrictedLogins;
    std::vector<Login> grants, contained;
    std::vector<Login> owners;
    tds::EncryptionMode encryption = tds::EncryptionMode::Offered;
    std::string certificateOut;
    std::string certificateHost = "localhost";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--azure") {
            azure = true;
            continue;
        }
        if (arg == "--deny-view-any-database") {
            denyView = true;
            continue;
        }
        if (arg == "--read-only-replica") {
            readOnlyReplica = true;
            continue;
        }
        if (arg == "--ipv6") {
            ipv6 = true;
            continue;
        }
        if (i + 1 >= argc)
            return usageError(("missing value after " + arg).c_str());
        const char* value = argv[++i];
        if (arg == "--catalog") {
            catalogDir = value;
        } else if (arg == "--port") {
            if (!parseInt(value, 0, 65535, port))
                return usageError("bad --port");
        } else if (arg == "--login") {
            const char* colon = std::strchr(value, ':');
            if (!colon || colon == value)
                return usageError("--login wants USER:PASSWORD");
            logins.push_back({std::string(value, colon), std::string(colon + 1)});
        } else if (arg == "--windows-login") {
            std::optional<tds::WindowsAccount> account = tds::ParseWindowsAccount(value);
            if (!account)
                return usageError("--windows-login wants DOMAIN\\USER:PASSWORD");
            windowsLogins.push_back(std::move(*account));
        } else if (arg == "--browser-instance") {
            if (!*value || std::strlen(value) > 32)
                return usageError("--browser-instance wants a name of 1 to 32 characters");
            browserInstances.emplace_back(value);
        } else if (arg == "--browser-port") {
            if (!parseInt(value, 0, 65535, browserPort))
                return usageError("bad --browser-port");
        } else if (arg == "--delay-login") {
            char* end = nullptr;
            delayLogin = std::strtod(value, &end);
            if (end == value || *end != '\0' || delayLogin < 0 || delayLogin > 3600)
                return usageError("bad --delay-login");
        } else if (arg == "--latency") {
            if (!parseInt(value, 0, 600000, latency))
                return usageError("bad --latency");
        } else if (arg == "--fail-statement") {
            const char* colon = std::strchr(value, ':');
            if (!colon || !parseInt(std::string(value, colon).c_str(), 1, 1000000000, failStatement) ||
                !parseInt(colon + 1, 1, 2147483647, failNumber))
                return usageError("--fail-statement wants N:ERROR");
        } else if (arg == "--encryption") {
            const std::string mode = value;
            if (mode == "offered")
                encryption = tds::EncryptionMode::Offered;
            else if (mode == "required")
                encryption = tds::EncryptionMode::Required;
            else if (mode == "not-supported")
                encryption = tds::EncryptionMode::NotSupported;
            else
                return usageError("--encryption wants offered, required or not-supported");
        } else if (arg == "--certificate-out") {
            certificateOut = value;
        } else if (arg == "--certificate-host") {
            certificateHost = value;
            if (certificateHost.empty())
                return usageError("bad --certificate-host");
        } else if (arg == "--owner") {
            const char* colon = std::strchr(value, ':');
            if (!colon || colon == value || !colon[1])
                return usageError("--owner wants USER:DATABASE");
            owners.push_back({std::string(value, colon), std::string(colon + 1)});
        } else if (arg == "--drop-after-batches") {
            if (!parseInt(value, 1, 1000000000, dropAfter))
                return usageError("bad --drop-after-batches");
        } else if (arg == "--stall-after-batches") {
            if (!parseInt(value, 1, 1000000000, stallAfter))
                return usageError("bad --stall-after-batches");
        } else if (arg == "--sysadmin" || arg == "--restricted-login") {
            if (!*value)
                return usageError((arg + " wants a login name").c_str());
            (arg == "--sysadmin" ? sysadmins : restrictedLogins).emplace_back(value);
        } else if (arg == "--grant" || arg == "--contained") {
            const char* colon = std::strchr(value, ':');
            if (!colon || colon == value || !colon[1])
                return usageError((arg + " wants USER:NAME").c_str());
            (arg == "--grant" ? grants : contained)
                .push_back({std::string(value, colon), std::string(colon + 1)});
        } else {
            return usageError(("unknown option " + arg).c_str());
        }
    }
    if (catalogDir.empty())
        return usageError("--catalog is required");
    if (logins.empty() && windowsLogins.empty())
        logins.push_back({"sa", ""});

    // Made before the port is announced, so a test that reads the port finds the file written.
    std::unique_ptr<tds::TlsContext> tls;
    if (encryption != tds::EncryptionMode::NotSupported) {
        try {
            tls = std::make_unique<tds::TlsContext>(certificateHost);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tds-testserver: %s\n", e.what());
            return 1;
        }
        if (!certificateOut.empty()) {
            std::FILE* f = std::fopen(certificateOut.c_str(), "wb");
            const std::string& pem = tls->certificatePem();
            if (!f || std::fwrite(pem.data(), 1, pem.size(), f) != pem.size() || std::fclose(f) != 0) {
                std::fprintf(stderr, "tds-testserver: cannot write %s\n", certificateOut.c_str());
                return 1;
            }
        }
    }

    // Blocked in every thread (threads inherit the mask), taken from the signalfd by the main loop.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    const int listener = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_storage address{};
    socklen_t length = 0;
    if (ipv6) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
        a6->sin6_family = AF_INET6;
        a6->sin6_addr = in6addr_loopback;
        a6->sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *a6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
        a4->sin_family = AF_INET;
        a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a4->sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *a4;
    }
    if (signalFd < 0 || listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "tds-testserver: cannot listen on %s:%ld: %s\n", ipv6 ? "[::1]" : "127.0.0.1",
                     port, std::strerror(errno));
        return 1;
    }
    const int tcpPort = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                   : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    std::printf("port %d\n", tcpPort);
    int browser = -1;
    if (!browserInstances.empty()) {
        browser = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in udp{};
        udp.sin_family = AF_INET;
        udp.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        udp.sin_port = htons(static_cast<std::uint16_t>(browserPort));
        socklen_t udpLength = sizeof udp;
        if (browser < 0 || bind(browser, reinterpret_cast<sockaddr*>(&udp), sizeof udp) != 0 ||
            getsockname(browser, reinterpret_cast<sockaddr*>(&udp), &udpLength) != 0) {
            std::fprintf(stderr, "tds-testserver: cannot listen on UDP 127.0.0.1:%ld: %s\n", browserPort,
                         std::strerror(errno));
            return 1;
        }
        std::printf("browser %u\n", ntohs(udp.sin_port));
    }
    std::fflush(stdout);

    Server server(catalogDir);
    server.logins = std::move(logins);
    server.windowsLogins = std::move(windowsLogins);
    server.delayLoginMs = static_cast<int>(delayLogin * 1000);
    server.latencyMs = static_cast<int>(latency);
    server.dropAfterBatches = dropAfter;
    server.denyViewAnyDatabase = denyView;
    server.azure = azure;
    server.readOnlyReplica = readOnlyReplica;
    server.stallAfterBatches = stallAfter;
    server.sysadmins = std::move(sysadmins);
    server.restricted = std::move(restrictedLogins);
    server.grants = std::move(grants);
    server.contained = std::move(contained);
    server.owners = std::move(owners);
    server.encryption = encryption;
    server.tls = std::move(tls);
    server.faults.failStatement = failStatement;
    server.faults.failNumber = static_cast<std::int32_t>(failNumber);

    std::list<std::unique_ptr<Client>> clients;
    auto reap = [&clients](bool all) {
        for (auto it = clients.begin(); it != clients.end();) {
            if (all || (*it)->finished) {
                (*it)->thread.join();
                close((*it)->fd);
                it = clients.erase(it);
            } else {
                ++it;
            }
        }
    };

    for (bool running = true; running;) {
        pollfd fds[3] = {{signalFd, POLLIN, 0}, {listener, POLLIN, 0}, {browser, POLLIN, 0}};
        if (poll(fds, browser >= 0 ? 3 : 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signalFd, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGUSR1)
                    server.printCounts();
                else
                    running = false;
            }
        }
        if (running && browser >= 0 && (fds[2].revents & POLLIN)) {
            std::uint8_t request[1024];
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = recvfrom(browser, request, sizeof request, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got > 0) {
                const std::vector<std::uint8_t> answer = tds::BrowserAnswer(
                    request, static_cast<std::size_t>(got), browserInstances, "TDSTEST", tcpPort);
                if (!answer.empty())
                    sendto(browser, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                           fromLength);
            }
        }
        if (running && (fds[1].revents & POLLIN)) {
            const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            reap(false);
            auto client = std::make_unique<Client>();
            client->fd = fd;
            Client* raw = client.get();
            client->thread = std::thread([&server, raw] {
                Connection(server, raw->fd).serve();
                // The peer sees the end now; the descriptor is closed once the thread is joined.
                shutdown(raw->fd, SHUT_RDWR);
                raw->finished = true;
            });
            clients.push_back(std::move(client));
        }
    }

    {
        std::lock_guard lock(server.mutex);
        server.stopping = true;
    }
    server.wake.notify_all();
    // Wakes threads blocked reading; the descriptors themselves are closed only after the join.
    for (const auto& client : clients)
        shutdown(client->fd, SHUT_RDWR);
    reap(true);
    close(listener);
    if (browser >= 0)
        close(browser);
    server.printCounts();
    return 0;
}
