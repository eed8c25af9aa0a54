// tds-latency-proxy: a TCP relay that puts a network's distance between a client and a server on
// loopback, for benchmarks that must pay for every round trip a real link costs: each byte is
// held back half the round-trip time in each direction, and a new connection's first byte a whole
// round trip more (the TCP handshake the client waited for), so a TLS handshake, a login and every
// statement cost what they would over that link. It counts the round trips it carried: one per
// connection for the handshake, and one each time the server answers after the client spoke.
// One thread per connection, each a poll loop over both sockets.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const char kUsage[] =
    "usage: tds-latency-proxy --target PORT [--port N] [--round-trip MS]\n"
    "\n"
    "Relays TCP connections from 127.0.0.1:N (0, the default, picks a free port; the first line on\n"
    "standard output is \"port N\") to 127.0.0.1:PORT, holding every byte back MS/2 milliseconds in\n"
    "each direction and the first byte of a connection MS more, as a link with a round-trip time\n"
    "of MS (default 0) does. SIGUSR1 prints \"connections C round-trips R\" on standard error: R\n"
    "counts a connection's handshake and every turn at which the server answered the client; so\n"
    "does the end of the program (SIGTERM, SIGINT).\n";

std::atomic<long> g_connections{0};
std::atomic<long> g_roundTrips{0};
std::atomic<bool> g_stopping{false};

struct Chunk
{
    Clock::time_point due;
    std::string bytes;
    std::size_t sent = 0;
};

// One direction of a connection: what was read from one side and is due for the other.
struct Lane
{
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    bool readEnd = false; // the source closed its side
    bool shutDown = false;
};

void relay(int client, int server, std::chrono::microseconds oneWay, std::chrono::microseconds handshake)
{
    Lane up{client, server, {}, false, false};   // client to server
    Lane down{server, client, {}, false, false}; // server to client
    bool firstByte = true;
    bool clientSpoke = false; // since the server last answered
    char buffer[65536];
    while (!g_stopping) {
        const Clock::time_point now = Clock::now();
        int timeoutMs = 200;
        for (Lane* lane : {&up, &down}) {
            if (!lane->queue.empty()) {
                const auto wait =
                    std::chrono::duration_cast<std::chrono::milliseconds>(lane->queue.front().due - now)
                        .count();
                timeoutMs = std::clamp<int>(static_cast<int>(wait) + 1, 0, timeoutMs);
            }
        }
        pollfd fds[2] = {{client, 0, 0}, {server, 0, 0}};
        const auto want = [&](Lane& lane, pollfd& source, pollfd& target) {
            if (!lane.readEnd)
                source.events |= POLLIN;
            if (!lane.queue.empty() && lane.queue.front().due <= now)
                target.events |= POLLOUT;
        };
        want(up, fds[0], fds[1]);
        want(down, fds[1], fds[0]);
        if (poll(fds, 2, timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        const Clock::time_point arrived = Clock::now();
        const auto readInto = [&](Lane& lane, const pollfd& source) {
            if (lane.readEnd || !(source.revents & (POLLIN | POLLHUP | POLLERR)))
                return true;
            const ssize_t got = ::read(lane.from, buffer, sizeof buffer);
            if (got < 0)
                return errno == EAGAIN || errno == EINTR;
            if (got == 0) {
                lane.readEnd = true;
                return true;
            }
            Clock::time_point due = arrived + oneWay;
            if (&lane == &up) {
                if (firstByte)
                    due += handshake;
                firstByte = false;
                clientSpoke = true;
            } else if (clientSpoke) {
                clientSpoke = false;
                ++g_roundTrips;
            }
            // Bytes keep their order: none is delivered before one read earlier.
            if (!lane.queue.empty())
                due = std::max(due, lane.queue.back().due);
            lane.queue.push_back({due, std::string(buffer, static_cast<std::size_t>(got)), 0});
            return true;
        };
        if (!readInto(up, fds[0]) || !readInto(down, fds[1]))
            break;
        bool failed = false;
        for (Lane* lane : {&up, &down}) {
            const Clock::time_point current = Clock::now();
            while (!lane->queue.empty() && lane->queue.front().due <= current) {
                Chunk& chunk = lane->queue.front();
                const ssize_t put = ::send(lane->to, chunk.bytes.data() + chunk.sent,
                                           chunk.bytes.size() - chunk.sent, MSG_NOSIGNAL);
                if (put < 0) {
                    failed = errno != EAGAIN && errno != EINTR;
                    break;
                }
                chunk.sent += static_cast<std::size_t>(put);
                if (chunk.sent < chunk.bytes.size())
                    break;
                lane->queue.pop_front();
            }
            // The close travels as late as the last byte before it.
            if (lane->readEnd && lane->queue.empty() && !lane->shutDown) {
                ::shutdown(lane->to, SHUT_WR);
                lane->shutDown = true;
            }
        }
        if (failed || (up.shutDown && down.shutDown))
            break;
    }
    ::close(client);
    ::close(server);
}

int connectTo(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

void prepare(int fd)
{
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

bool parseLong(const char* text, long min, long max, long& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && out >= min && out <= max;
}

void printCounts()
{
    std::fprintf(stderr, "connections %ld round-trips %ld\n", g_connections.load(), g_roundTrips.load());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv)
{
    long target = 0, port = 0, roundTripMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        const bool known = arg == "--target" || arg == "--port" || arg == "--round-trip";
        if (!known || i + 1 >= argc) {
            std::fprintf(stderr, "tds-latency-proxy: bad argument %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        }
        long& value = arg == "--target" ? target : arg == "--port" ? port : roundTripMs;
        if (!parseLong(argv[++i], arg == "--target" ? 1 : 0, arg == "--round-trip" ? 600000 : 65535, value)) {
            std::fprintf(stderr, "tds-latency-proxy: bad value for %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (target == 0) {
        std::fprintf(stderr, "tds-latency-proxy: --target is required\n\n%s", kUsage);
        return 2;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    if (signalFd < 0 || listener < 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "tds-latency-proxy: cannot listen: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("port %d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    const auto oneWay = std::chrono::microseconds(roundTripMs * 1000 / 2);
    const auto handshake = std::chrono::microseconds(roundTripMs * 1000);
    std::vector<std::thread> threads;
    for (bool running = true; running;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {listener, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signalFd, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGUSR1)
                    printCounts();
                else
                    running = false;
            }
        }
        if (running && (fds[1].revents & POLLIN)) {
            const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            const int server = connectTo(static_cast<int>(target));
            if (server < 0) {
                ::close(client);
                continue;
            }
            ++g_connections;
            ++g_roundTrips;
            prepare(client);
            prepare(server);
            threads.emplace_back(relay, client, server, oneWay, handshake);
        }
    }
    g_stopping = true;
    for (std::thread& t : threads)
        t.join();
    close(listener);
    printCounts();
    return 0;
}
