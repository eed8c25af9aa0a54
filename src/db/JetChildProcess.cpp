#include "JetChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Virtual size of this process, in bytes, from /proc; 0 when it cannot be read.
unsigned long long currentAddressSpace()
{
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    unsigned long long pages = 0;
    if (std::fscanf(f, "%llu", &pages) != 1)
        pages = 0;
    std::fclose(f);
    return pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}

void prepareChild(int timeoutMs, int keepFd)
{
    // Only the pipe to the parent stays open. A reader started by another thread of the parent at
    // the same moment would otherwise keep the write end of this one's pipe (or this one that of
    // the other) and hold the parent's wait for the end of the message until it exits.
    if (keepFd > STDERR_FILENO + 1)
        ::close_range(STDERR_FILENO + 1, static_cast<unsigned>(keepFd - 1), 0);
    ::close_range(static_cast<unsigned>(std::max(keepFd + 1, STDERR_FILENO + 1)), ~0U, 0);
    // A crash must simply end the child, whatever crash handler the program installed.
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        ::signal(sig, SIG_DFL);
    // Never outlive the parent, nor the time it is willing to wait.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::alarm(static_cast<unsigned>(timeoutMs / 1000 + 2));
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) {
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::close(devNull);
    }
    struct rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // A hostile file must not make the reader eat the machine's memory: allow 1 GiB on top of what
    // the forked copy of the program already maps.
    const unsigned long long now = currentAddressSpace();
    if (now > 0) {
        struct rlimit as = {now + (1ULL << 30), now + (1ULL << 30)};
        ::setrlimit(RLIMIT_AS, &as);
    }
    // The parent may have ignored SIGPIPE; the child should simply die if the parent goes away.
    ::signal(SIGPIPE, SIG_DFL);
}

void killAndReap(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

bool WriteAllToFd(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

ChildRunResult RunInChildProcess(const std::function<void(int fd)>& work, int timeoutMs, qint64 maxOutput,
                                 const std::function<qsizetype(const QByteArray& received)>& onData,
                                 int cancelFd)
{
    ChildRunResult result;
    int fds[2];
    // Close-on-exec, so a program another thread starts meanwhile cannot keep our pipe open.
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return result;
    // A roomy pipe lets the child write a large catalogue without waiting for the parent at every
    // 64 KiB: on a busy machine each such wait costs a trip through the scheduler. Refused is fine.
    ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (pid == 0) {
        ::close(fds[0]);
        prepareChild(timeoutMs, fds[1]);
        int code = 0;
        try {
            work(fds[1]);
        } catch (...) {
            code = 3;
        }
        ::close(fds[1]);
        ::_exit(code);
    }

    ::close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    bool tooMuch = false;
    bool cancelled = false;
    // Read straight into the output; what the caller takes is dropped, so a long message does not
    // pile up (nor get copied again on every growth) when it is taken apart as it arrives.
    static constexpr qsizetype kChunk = 1 << 16;
    qint64 total = 0;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        struct pollfd p[2] = {{fds[0], POLLIN, 0}, {cancelFd, POLLIN, 0}};
        const int ready = ::poll(p, cancelFd >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            timedOut = true; // cannot wait any more: treat like a child that never finished
            break;
        }
        if (ready == 0)
            continue; // the deadline check above ends the loop
        if (cancelFd >= 0 && p[1].revents != 0) {
            cancelled = true;
            break;
        }
        const qsizetype have = result.output.size();
        result.output.resize(have + kChunk);
        const ssize_t n = ::read(fds[0], result.output.data() + have, static_cast<size_t>(kChunk));
        result.output.resize(have + (n > 0 ? n : 0));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            break;
        }
        if (n == 0)
            break; // the child closed its end: it is finishing
        total += n;
        if (total > maxOutput) {
            result.output.resize(have);
            tooMuch = true;
            break;
        }
        if (onData) {
            try {
                const qsizetype taken = qMin(onData(result.output), result.output.size());
                if (taken > 0) {
                    // Moved down by hand: the buffer keeps its place and size, so the next read
                    // lands in memory already in use instead of a fresh allocation.
                    const qsizetype rest = result.output.size() - taken;
                    char* buffer = result.output.data();
                    std::memmove(buffer, buffer + taken, static_cast<size_t>(rest));
                    result.output.resize(rest);
                }
            } catch (...) {
                ::close(fds[0]);
                killAndReap(pid);
                throw;
            }
        }
    }
    ::close(fds[0]);

    if (timedOut || tooMuch || cancelled) {
        killAndReap(pid);
        result.status = timedOut  ? ChildRunResult::TimedOut
                        : tooMuch ? ChildRunResult::TooMuchData
                                  : ChildRunResult::Cancelled;
        return result;
    }

    // The pipe is closed; the child ends right after. Give it what is left of the time limit,
    // woken by its end through a process descriptor where the system has them (rather than
    // looking again every millisecond).
    const int childFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        if (r < 0 && errno == ECHILD) {
            // SIGCHLD is ignored in this process, so the child was reaped for us and its status is
            // lost: the caller judges by whether the message it wrote is complete.
            if (childFd >= 0)
                ::close(childFd);
            result.status = ChildRunResult::Finished;
            result.exitCode = 0;
            return result;
        }
        if (r < 0 && errno != EINTR) {
            if (childFd >= 0)
                ::close(childFd);
            result.status = ChildRunResult::Crashed;
            return result;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            if (childFd >= 0)
                ::close(childFd);
            killAndReap(pid);
            result.status = ChildRunResult::TimedOut;
            return result;
        }
        if (childFd >= 0) {
            struct pollfd p = {childFd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left));
        } else {
            ::usleep(1000);
        }
    }
    if (childFd >= 0)
        ::close(childFd);
    if (WIFEXITED(status)) {
        result.status = ChildRunResult::Finished;
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.status = ChildRunResult::Crashed;
    }
    return result;
}
