#include "SqlServerBrowser.h"

#include "Automation.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cerrno>
#include <cstring>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kBrowserPort = 1434;
constexpr std::uint8_t kClientUnicastInstance = 0x04; // CLNT_UCAST_INST
constexpr std::uint8_t kServerResponse = 0x05;        // SVR_RESP
constexpr int kMaxInstanceNameBytes = 32;
constexpr int kMaxResponseBytes = 65535 + 3;

[[noreturn]] void fail(const QString& message)
{
    throw AutomationError(0, message);
}

int browserPort()
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("ORVANE_SQLBROWSER_PORT", &ok);
    return ok && port > 0 && port < 65536 ? port : kBrowserPort;
}

class Socket
{
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

int TcpPortOfInstance(const QByteArray& response, const QString& instance)
{
    QByteArray text = response;
    // The datagram: SVR_RESP, the length of the text (little-endian), the text.
    if (text.size() >= 3 && static_cast<std::uint8_t>(text[0]) == kServerResponse)
        text = text.mid(3, static_cast<std::uint8_t>(text[1]) | (static_cast<std::uint8_t>(text[2]) << 8));
    // Each instance is a run of "key;value;" pairs, and the runs are parted by an empty item.
    const QStringList items = QString::fromLocal8Bit(text).split(u';');
    QString name, tcp;
    for (qsizetype i = 0; i <= items.size(); ++i) {
        if (i == items.size() || items[i].isEmpty()) {
            if (name.compare(instance, Qt::CaseInsensitive) == 0) {
                bool ok = false;
                const int port = tcp.toInt(&ok);
                return ok && port > 0 && port < 65536 ? port : 0;
            }
            name.clear(), tcp.clear();
            continue;
        }
        if (i + 1 >= items.size())
            break;
        const QString& key = items[i];
        const QString& value = items[i + 1];
        if (key.compare(QLatin1String("InstanceName"), Qt::CaseInsensitive) == 0)
            name = value;
        else if (key.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
            tcp = value;
        ++i;
    }
    return 0;
}

int LookUpInstancePort(const QString& host, const QString& instance, int timeoutMs)
{
    const int port = browserPort();
    const QString where = QStringLiteral("the instance %1 on host %2").arg(instance, host);
    const QByteArray name = instance.toLocal8Bit();
    if (name.isEmpty() || name.size() > kMaxInstanceNameBytes || name.contains('\0'))
        fail(QStringLiteral("\"%1\" is no SQL Server instance name (at most %2 characters).")
                 .arg(instance)
                 .arg(kMaxInstanceNameBytes));
    QElapsedTimer clock;
    clock.start();

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int rc =
        getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &found);
    if (rc != 0)
        fail(QStringLiteral("Cannot find %1: the host name is not known (%2).")
                 .arg(where, QString::fromLocal8Bit(gai_strerror(rc))));
    QByteArray request(1, static_cast<char>(kClientUnicastInstance));
    request += name;
    request += '\0';
    QByteArray buffer(kMaxResponseBytes, Qt::Uninitialized);
    // Each address in the resolver's order ("localhost" may be ::1 before 127.0.0.1); a connected
    // datagram socket hears of a closed port, and then the next address is asked.
    QString lastError;
    bool refused = false;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        Socket socket(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (socket.fd() < 0 || ::connect(socket.fd(), a->ai_addr, a->ai_addrlen) != 0 ||
            ::send(socket.fd(), request.constData(), static_cast<std::size_t>(request.size()), 0) < 0) {
            lastError = QString::fromLocal8Bit(std::strerror(errno));
            continue;
        }
        for (;;) {
            const qint64 left = timeoutMs - clock.elapsed();
            pollfd pfd{socket.fd(), POLLIN, 0};
            const int ready = left > 0 ? ::poll(&pfd, 1, static_cast<int>(left)) : 0;
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            const ssize_t got =
                ::recv(socket.fd(), buffer.data(), static_cast<std::size_t>(buffer.size()), 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                refused = refused || errno == ECONNREFUSED;
                lastError = QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
            const QByteArray answer = buffer.left(got);
            // Anything else on the socket (a stray or late datagram) is not the answer.
            if (answer.isEmpty() || static_cast<std::uint8_t>(answer[0]) != kServerResponse)
                continue;
            freeaddrinfo(found);
            const int tcpPort = TcpPortOfInstance(answer, instance);
            if (tcpPort == 0)
                fail(QStringLiteral(
                         "Cannot connect to %1: the SQL Server Browser names no TCP port for it (the "
                         "instance does not accept TCP/IP connections).")
                         .arg(where));
            return tcpPort;
        }
        if (clock.elapsed() >= timeoutMs)
            break;
    }
    freeaddrinfo(found);
    if (clock.elapsed() < timeoutMs) {
        if (refused)
            fail(QStringLiteral("Cannot find %1: no SQL Server Browser answers on the host (UDP port %2 is "
                                "closed). Start the SQL Server Browser service there, or give the "
                                "instance's port as host,port.")
                     .arg(where)
                     .arg(port));
        fail(QStringLiteral(
                 "Cannot reach the SQL Server Browser of host %1 (UDP port %2) to find the instance "
                 "%3: %4.")
                 .arg(host)
                 .arg(port)
                 .arg(instance, lastError));
    }
    // The Browser stays silent about an instance it does not have.
    fail(QStringLiteral("Cannot find %1: the SQL Server Browser (UDP port %2) named no such instance within "
                        "%3 seconds. Check the instance name, or give the instance's port as host,port.")
             .arg(where)
             .arg(port)
             .arg((timeoutMs + 999) / 1000));
}
