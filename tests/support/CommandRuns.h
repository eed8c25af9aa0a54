// Helpers for running the command-line report in process: a prompter with no terminal behind it
// and reading back what a run wrote to a stream.
#pragma once

#include "ReportCommand.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>

// The credential questions answered from a list; an answer "user/password" serves a log-in
// question. Declines once the list is used up. Every question is noted: "password", "user and
// password" or "password of <user>".
class TScriptedAnswers : public TCredentialPrompter
{
public:
    explicit TScriptedAnswers(QStringList answers = {}) : m_answers(std::move(answers)) {}
    QStringList questions;

    bool AskDatabasePassword(QString& password) override;
    bool AskUserLogin(QString& user, QString& password, bool askUser) override;

private:
    QStringList m_answers;
};

// Has no answers: every question is refused, as without a terminal.
class TNoAnswers : public TScriptedAnswers
{
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
// on, in the C.UTF-8 locale, with input as standard input, in workingDirectory when one is given.
ProgramRun RunProgram(const QStringList& arguments, const QByteArray& input = {},
                      const QString& program = ReportProgramPath(), const QString& workingDirectory = {});
