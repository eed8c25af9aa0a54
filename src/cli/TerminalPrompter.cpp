#include "TerminalPrompter.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The terminal state to bring back when a signal ends the program while echo is off.
int g_ttyFd = -1;
struct termios g_savedTermios;

extern "C" void RestoreTerminalAndDie(int signal)
{
    if (g_ttyFd >= 0)
        tcsetattr(g_ttyFd, TCSAFLUSH, &g_savedTermios);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class Terminal
{
public:
    Terminal() : m_fd(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~Terminal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool ok() const { return m_fd >= 0; }

    // One line typed at the terminal; false at end of input.
    bool ask(const QString& prompt, bool echo, QString& answer)
    {
        struct termios saved;
        const bool quiet = !echo && tcgetattr(m_fd, &saved) == 0;
        using Handler = void (*)(int);
        Handler oldInt = SIG_DFL, oldTerm = SIG_DFL, oldHup = SIG_DFL;
        if (quiet) {
            g_savedTermios = saved;
            g_ttyFd = m_fd;
            oldInt = std::signal(SIGINT, RestoreTerminalAndDie);
            oldTerm = std::signal(SIGTERM, RestoreTerminalAndDie);
            oldHup = std::signal(SIGHUP, RestoreTerminalAndDie);
            struct termios silent = saved;
            silent.c_lflag &= ~tcflag_t(ECHO);
            silent.c_lflag |= ECHONL;
            tcsetattr(m_fd, TCSAFLUSH, &silent);
        }
        // Only now: whatever is typed after the prompt appears must already be unechoed.
        write(prompt.toUtf8());
        QByteArray line;
        bool gotLine = false;
        char c;
        for (;;) {
            const ssize_t n = ::read(m_fd, &c, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (c == '\n') {
                gotLine = true;
                break;
            }
            line.append(c);
        }
        if (quiet) {
            tcsetattr(m_fd, TCSAFLUSH, &saved);
            g_ttyFd = -1;
            std::signal(SIGINT, oldInt);
            std::signal(SIGTERM, oldTerm);
            std::signal(SIGHUP, oldHup);
        }
        if (!gotLine && !line.isEmpty())
            gotLine = true; // input ended without a line end: the text typed still counts
        if (!gotLine)
            write("\n");
        answer = QString::fromUtf8(line);
        line.fill('\0');
        return gotLine;
    }

private:
    void write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += n;
        }
    }

    int m_fd;
};

} // namespace

bool TTerminalPrompter::AskDatabasePassword(QString& password)
{
    Terminal terminal;
    return terminal.ok() && terminal.ask(QStringLiteral("Database password: "), false, password);
}

bool TTerminalPrompter::AskUserLogin(QString& user, QString& password, bool askUser)
{
    Terminal terminal;
    if (!terminal.ok())
        return false;
    if (askUser && !terminal.ask(QStringLiteral("User: "), true, user))
        return false;
    return terminal.ask(QStringLiteral("Password for %1: ").arg(user), false, password);
}
