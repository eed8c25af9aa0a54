// A small mutation fuzzer for the parsers that take outside input in process: it starts from seed
// inputs, mutates them at random (bit flips, byte changes, cut and copied pieces, splices, tokens
// of the format) and hands each result to the target for a given number of seconds. Built only
// with the sanitizers, so any memory fault or undefined behaviour ends the run with a report; the
// target itself checks properties (a write read back gives the same value, and so on) and aborts
// when one fails.
#pragma once

#include <QByteArray>
#include <QList>

#include <functional>

struct FuzzTarget
{
    const char* name;
    QList<QByteArray> seeds;
    QList<QByteArray> tokens; // pieces of the format worth inserting
    std::function<void(const QByteArray& input)> run;
};

// Runs target for the seconds given as the first argument (default 10); a file named as the
// second argument is run once instead (to replay a finding). Prints the number of executions.
int RunFuzzer(int argc, char** argv, const FuzzTarget& target);

// Ends the run with a message when a property does not hold.
void FuzzCheck(bool condition, const char* what);
