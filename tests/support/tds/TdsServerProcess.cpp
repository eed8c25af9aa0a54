#include "TdsServerProcess.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Waits for a stuck server are bounded, but generously: a loaded machine must not fail a test.
constexpr int kLineWaitMs = 60000;
constexpr int kMaxSkippedLines = 10000;

// One line (without its newline) from fd, keeping what follows in buffer; "" on timeout or EOF.
std::string readLine(int fd, std::string& buffer, int timeoutMs)
{
    for (;;) {
        const std::size_t newline = buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            return line;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char chunk[4096];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string formatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

} // namespace

TdsServerProcess::TdsServerProcess(const Options& options)
{
    odbcDriverPath(); // a suite that talks to this server loads the driver: keep it loaded
#ifdef ORVANE_TDS_TESTSERVER
    const std::string program = options.program.empty() ? ORVANE_TDS_TESTSERVER : options.program;
#else
    const std::string program = options.program;
#endif
    std::vector<std::string> args = {program, "--catalog", options.catalogDir, "--port", "0"};
    for (const std::string& login : options.logins)
        args.insert(args.end(), {"--login", login});
    if (options.delayLoginSeconds > 0)
        args.insert(args.end(), {"--delay-login", formatSeconds(options.delayLoginSeconds)});
    if (options.latencyMs > 0)
        args.insert(args.end(), {"--latency", std::to_string(options.latencyMs)});
    if (options.failStatement > 0)
        args.insert(args.end(), {"--fail-statement", std::to_string(options.failStatement) + ":" +
                                                         std::to_string(options.failNumber)});
    if (options.dropAfterBatches > 0)
        args.insert(args.end(), {"--drop-after-batches", std::to_string(options.dropAfterBatches)});
    if (options.denyViewAnyDatabase)
        args.push_back("--deny-view-any-database");
    if (options.azure)
        args.push_back("--azure");
    if (!options.encryption.empty())
        args.insert(args.end(), {"--encryption", options.encryption});
    if (!options.certificateOut.empty())
        args.insert(args.end(), {"--certificate-out", options.certificateOut});
    for (const std::string& owner : options.owners)
        args.insert(args.end(), {"--owner", owner});
    for (const std::string& account : options.windowsLogins)
        args.insert(args.end(), {"--windows-login", account});
    for (const std::string& instance : options.browserInstances)
        args.insert(args.end(), {"--browser-instance", instance});
    args.insert(args.end(), options.extraArguments.begin(), options.extraArguments.end());
    // The latency proxy in front of a server takes only its own options.
    if (options.latencyProxyFor > 0) {
#ifdef ORVANE_TDS_LATENCY_PROXY
        args = {ORVANE_TDS_LATENCY_PROXY, "--target", std::to_string(options.latencyProxyFor), "--round-trip",
                std::to_string(options.latencyMs)};
#else
        throw std::runtime_error("tds-latency-proxy is not known to this build");
#endif
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]), close(out[1]);
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const int rc = posix_spawn(&m_pid, args.front().c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_stdout = out[0];
    m_stderr = err[0];
    if (rc != 0) {
        m_pid = -1;
        close(m_stdout), close(m_stderr);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
    }
    std::string outBuffer;
    const std::string line = readLine(m_stdout, outBuffer, kLineWaitMs);
    if (std::sscanf(line.c_str(), "port %d", &m_port) != 1 || m_port <= 0) {
        terminate();
        // The server is gone, so its standard error reaches its end.
        std::string diagnostics;
        for (int i = 0; i < kMaxSkippedLines; ++i) {
            const std::string l = readLine(m_stderr, m_errBuffer, kLineWaitMs);
            if (l.empty())
                break;
            diagnostics += l + "\n";
        }
        close(m_stdout), close(m_stderr);
        throw std::runtime_error("tds-testserver reported no port: " + line + " " + diagnostics);
    }
    if (!options.browserInstances.empty()) {
        const std::string browserLine = readLine(m_stdout, outBuffer, kLineWaitMs);
        if (std::sscanf(browserLine.c_str(), "browser %d", &m_browserPort) != 1 || m_browserPort <= 0) {
            terminate();
            close(m_stdout), close(m_stderr);
            throw std::runtime_error("tds-testserver reported no browser port: " + browserLine);
        }
    }
}

TdsServerProcess::~TdsServerProcess()
{
    terminate();
    close(m_stdout);
    close(m_stderr);
}

std::string TdsServerProcess::readErrorLine()
{
    return readLine(m_stderr, m_errBuffer, kLineWaitMs);
}

TdsServerProcess::Counts TdsServerProcess::counts()
{
    if (m_pid <= 0 || kill(m_pid, SIGUSR1) != 0)
        throw std::runtime_error("tds-testserver is not running");
    // Other lines (reports of closed connections) may come first.
    for (int i = 0; i < kMaxSkippedLines; ++i) {
        const std::string line = readErrorLine();
        if (line.empty() && m_errBuffer.empty())
            break;
        Counts c;
        if (std::sscanf(line.c_str(), "batches %ld rpc %ld logins %ld statements %ld", &c.batches, &c.rpc,
                        &c.logins, &c.statements) >= 2 ||
            std::sscanf(line.c_str(), "connections %ld round-trips %ld", &c.connections, &c.roundTrips) == 2)
            return c;
    }
    throw std::runtime_error("tds-testserver did not report its counts");
}

int TdsServerProcess::terminate()
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, SIGTERM);
    int status = 0;
    // Polled, so a server that ignores SIGTERM cannot hang the test; it is killed after that.
    for (int i = 0; i < 2000; ++i) {
        const pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || (r < 0 && errno != EINTR)) {
            m_pid = -1;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(m_pid, SIGKILL);
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return status;
}

std::string TdsServerProcess::connectionString(const std::string& user, const std::string& password,
                                               const std::string& database, const std::string& extra) const
{
    std::string s = "DRIVER=" + odbcDriverPath() + ";Server=127.0.0.1;Port=" + std::to_string(m_port) +
                    ";UID={" + user + "};PWD={" + password + "};";
    if (!database.empty())
        s += "Database={" + database + "};";
    return s + "TDS_Version=7.4;ClientCharset=UTF-8;" + extra;
}

std::string TdsServerProcess::odbcDriverPath()
{
    static const std::string path = [] {
        glob_t found{};
        std::string first;
        if (glob("/usr/lib/*/odbc/libtdsodbc.so", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
            first = found.gl_pathv[0];
        globfree(&found);
        // The driver manager unloads the driver with the last connection, and the thread-local
        // storage the driver had stays listed for the thread: LeakSanitizer's check at exit then
        // walks into it and dies, failing a suite that passed. Held here, the driver stays.
        if (!first.empty())
            dlopen(first.c_str(), RTLD_NOW | RTLD_NODELETE);
        return first;
    }();
    return path;
}
