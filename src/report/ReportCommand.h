// The command-line structure report: the arguments of orvane-report, opening an Access file with
// the window's retry flow (passwords from standard input or the terminal, never from the
// arguments), and streaming the report the window writes when every enabled entry is checked.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

struct TReportCommandOptions
{
    bool systemTables = false;
    QStringList tables;
    int language = 0; // 0: from the settings file; 1 German, 2 English
    QChar delimiter;  // null: from the settings file
    QString output;   // empty: standard output
    QString user;
    bool passwordStdin = false;
    bool help = false;
    QString file;
};

// Parses the arguments (without the program name). A usage error gives false and its text.
bool ParseReportCommandLine(const QStringList& arguments, TReportCommandOptions& options, QString& error);

QString ReportCommandUsage();

// What the program asks the person at the terminal. An answer that cannot be had (no terminal,
// end of input) gives false.
class TCredentialPrompter
{
public:
    virtual ~TCredentialPrompter() = default;
    virtual bool AskDatabasePassword(QString& password) = 0;
    // With askUser false only the password is asked; user keeps the name given.
    virtual bool AskUserLogin(QString& user, QString& password, bool askUser) = 0;
};

// Asks on the controlling terminal (/dev/tty), passwords without echo.
class TTerminalPrompter : public TCredentialPrompter
{
public:
    bool AskDatabasePassword(QString& password) override;
    bool AskUserLogin(QString& user, QString& password, bool askUser) override;
};

// How often a refused credential is asked for again on the terminal before giving up.
constexpr int kTerminalAttempts = 3;

// The settings file the window uses: orvane.ini beside the executables, or in the user's
// configuration folder when that folder cannot be written (as the window decides it).
QString ReportCommandSettingsFile(const QString& executableFolder);

// The whole program: 0 done, 1 error (message on err), 2 usage error (usage on err).
int RunReportCommand(const QStringList& arguments, TCredentialPrompter& prompter, std::FILE* in,
                     std::FILE* out, std::FILE* err);
