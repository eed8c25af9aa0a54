#include "HelperProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void killAndReap(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// A helper that ends without reading its input must cost only itself: writing to its closed pipe
// raises SIGPIPE, which would end this program. The signal is held back for the write and, if it
// came, taken away again before it is let through.
ssize_t writeWithoutSigpipe(int fd, const char* data, qsizetype size)
{
    sigset_t pipeOnly, old;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool alreadyPending = sigismember(&pendingBefore, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &old);
    const ssize_t n = ::write(fd, data, size_t(size));
    const int saved = errno;
    if (n < 0 && saved == EPIPE && !alreadyPending) {
        const struct timespec none = {0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return n;
}

qint64 millisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
        .count();
}

} // namespace

QString HelperProgramPath(const QString& name)
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + u'/' + name;
    if (QFileInfo(beside).isExecutable())
        return beside;
    return folder + QStringLiteral("/../libexec/orvane/") + name;
}

HelperRunResult RunHelperProgram(const QString& program, const QStringList& arguments,
                                 const QByteArray& input, int timeoutMs, qint64 maxOutput,
                                 const HelperOutputConsumer& consume)
{
    HelperRunResult result;
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> argBytes;
    argBytes.push_back(path);
    for (const QString& a : arguments)
        argBytes.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // Close-on-exec, so a program started meanwhile by another thread cannot keep our pipes open;
    // the spawn's dup2 clears the flag on the helper's own 0 and 1.
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0)
        return result;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        closeFd(in[0]);
        closeFd(in[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The helper should die of a broken pipe if we go away, whatever this process ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeFd(in[0]);
    closeFd(out[1]);
    if (spawned != 0) {
        closeFd(in[1]);
        closeFd(out[0]);
        return result;
    }

    // The input is a few lines: it fits the pipe, but is written alongside the reading all the
    // same, so a helper that answers before reading cannot wedge both sides.
    QByteArray pending = input;
    qsizetype written = 0;
    if (pending.isEmpty())
        closeFd(in[1]);
    else
        ::fcntl(in[1], F_SETFL, O_NONBLOCK);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    bool tooMuch = false;
    qint64 total = 0;
    for (;;) {
        const qint64 left = millisecondsLeft(deadline);
        if (left <= 0) {
            timedOut = true;
            break;
        }
        struct pollfd p[2] = {{out[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        const int ready = ::poll(p, in[1] >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            timedOut = true; // cannot wait any more: as good as a helper that never finished
            break;
        }
        if (in[1] >= 0 && p[1].revents != 0) {
            const ssize_t n =
                writeWithoutSigpipe(in[1], pending.constData() + written, pending.size() - written);
            if (n > 0)
                written += n;
            if ((n < 0 && errno != EINTR && errno != EAGAIN) || written == pending.size())
                closeFd(in[1]);
        }
        if (p[0].revents == 0)
            continue;
        char chunk[1 << 16];
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // the helper closed its end: it is finishing
        if (total + n > maxOutput) {
            tooMuch = true;
            break;
        }
        total += n;
        result.output.append(chunk, n);
        if (consume) {
            const qsizetype taken = consume(result.output);
            if (taken > 0)
                result.output.remove(0, qMin(taken, result.output.size()));
        }
    }
    pending.fill('\0');
    closeFd(in[1]);
    closeFd(out[0]);
    if (timedOut || tooMuch) {
        killAndReap(pid);
        result.status = timedOut ? HelperRunResult::TimedOut : HelperRunResult::TooMuchData;
        return result;
    }

    // Its output is closed, so it is ending; it still gets only what is left of the time.
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            // Reaped by someone else (SIGCHLD ignored): the caller judges by the output alone.
            result.status = HelperRunResult::Finished;
            result.exitCode = 0;
            return result;
        }
        if (millisecondsLeft(deadline) <= 0) {
            killAndReap(pid);
            result.status = HelperRunResult::TimedOut;
            return result;
        }
        ::usleep(1000);
    }
    if (WIFEXITED(status)) {
        result.status = HelperRunResult::Finished;
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.status = HelperRunResult::Crashed;
    }
    return result;
}
