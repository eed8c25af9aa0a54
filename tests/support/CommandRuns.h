// Helpers for running the command-line report in process: a prompter with no terminal behind it
// and reading back what a run wrote to a stream.
#pragma once

#include "ReportCommand.h"

#include <QByteArray>
#include <QStringList>

#include <cstdio>

// Has no answers: every question is refused, as without a terminal.
class TNoAnswers : public TCredentialPrompter
{
public:
    bool AskDatabasePassword(QString&) override { return false; }
    bool AskUserLogin(QString&, QString&, bool) override { return false; }
};

// Everything written to f so far, read from its start.
QByteArray ReadStreamFromStart(std::FILE* f);

struct CommandRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The report command run in process with input as standard input, no terminal answers and no
// settings file.
CommandRun RunCommandInProcess(const QStringList& arguments, const QByteArray& input = {});
