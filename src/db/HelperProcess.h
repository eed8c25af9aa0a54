// Runs a helper program of our own (the Access reader, the PDF writer) with posix_spawn and collects its
// standard output. The program runs threads, so it never forks; a helper that crashes, hangs or floods its
// pipe costs only itself.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Where the helper program name is: beside the running program (a build tree), else in the
// installed helper folder (../libexec/orvane from it).
QString HelperProgramPath(const QString& name);

struct HelperRunResult
{
    enum Status
    {
        Finished,    // exited normally; exitCode holds its status
        Crashed,     // ended by a signal
        TimedOut,    // killed after the time limit
        TooMuchData, // wrote more than the limit allowed; killed
        StartFailed  // the program could not be started
    };
    Status status = StartFailed;
    int exitCode = -1;
    QByteArray output;
};

// Starts program with arguments, writes input to its standard input and closes it, and reads its
// standard output until it ends. Its standard error goes to /dev/null. A helper still running
// after timeoutMs, or writing more than maxOutput bytes, is killed; it is always reaped before
// this returns. The bytes of input are wiped from the copies made here.
//
// With consume given, the output is handed over while the helper still writes: consume gets what
// has arrived and is not taken yet and returns how many of its leading bytes it took, which leave
// output; the caller's work on them then overlaps the helper's. It must not throw.
using HelperOutputConsumer = std::function<qsizetype(const QByteArray& arrived)>;
HelperRunResult RunHelperProgram(const QString& program, const QStringList& arguments,
                                 const QByteArray& input, int timeoutMs, qint64 maxOutput,
                                 const HelperOutputConsumer& consume = {});
