// Runs a piece of work in a forked child process and collects what it writes to a pipe. The Jet
// reader (libmdb) crashes or loops on some damaged files; in a child such a file costs the child,
// never the program, and a time limit ends a child that does not finish.
#pragma once

#include <QByteArray>

#include <functional>

struct ChildRunResult
{
    enum Status
    {
        Finished,    // exited normally; exitCode holds its status
        Crashed,     // killed by a signal it raised itself (a crash)
        TimedOut,    // killed after the time limit
        TooMuchData, // wrote more than the limit allowed; killed
        Cancelled,   // the caller gave up on it (cancelFd became readable); killed
        StartFailed  // no child could be started
    };
    Status status = StartFailed;
    int exitCode = -1;
    QByteArray output;
};

// work runs in the child with the write end of the pipe; the child then ends without running any
// destructor or exit handler of the parent's program. The child's standard output and error go to
// /dev/null, it writes no core file and its address space is limited. onData, when given, sees the
// output received and not yet taken after every piece that arrives, so the parent can work while
// the child does; it answers how many leading bytes it has taken, which are then dropped (output
// ends up holding only what was never taken). maxOutput limits all the child writes, taken or not.
// cancelFd, when not -1, is watched with the pipe: once it is readable the child is killed, so
// another thread can end a run that is waiting for the child.
ChildRunResult RunInChildProcess(const std::function<void(int fd)>& work, int timeoutMs, qint64 maxOutput,
                                 const std::function<qsizetype(const QByteArray& received)>& onData = {},
                                 int cancelFd = -1);

// Writes all of data to fd, retrying after interruptions; false when the pipe fails.
bool WriteAllToFd(int fd, const char* data, qint64 size);
