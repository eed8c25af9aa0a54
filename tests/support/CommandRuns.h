// Helpers for running the command-line report in process: a prompter with no terminal behind it
// and reading back what a run wrote to a stream.
#pragma once

#include "ReportCommand.h"

#include <QByteArray>
#include <QString>
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

// The built orvane-report.
QString ReportProgramPath();

struct ProgramRun
{
    int exitCode = -1; // -2: ended by a signal; -1: did not start or did not end in time
    QString out;
    QString err;
};

// Runs program (orvane-report by default) in a session of its own, so it has no terminal to ask
// on, in the C.UTF-8 locale, with input as standard input.
ProgramRun RunProgram(const QStringList& arguments, const QByteArray& input = {},
                      const QString& program = ReportProgramPath());
