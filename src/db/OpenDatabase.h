// Opening a database the way the program's commands do: an Access file whose log-in or database
// password is refused is asked for again and retried. The window, the command-line program and
// profile loading all open through here; only the questions differ, asked through one interface.
#pragma once

#include "ConnectionSettings.h"

#include <QString>

#include <cstdint>

class TKorvConnection;

// The error numbers (help context) of a refused Access log-in.
constexpr std::int32_t kErrorAccountRefused = 5003029;
constexpr std::int32_t kErrorPasswordRefused = 5003031;

// What is asked when a log-in is refused. An answer that cannot be had (cancelled, no terminal,
// end of input) gives false.
class TCredentialPrompter
{
public:
    virtual ~TCredentialPrompter() = default;
    virtual bool AskDatabasePassword(QString& password) = 0;
    // user comes preset with the name tried; with askUser false only the password is wanted.
    virtual bool AskUserLogin(QString& user, QString& password, bool askUser) = 0;
};

// How often a refused credential is asked for before the refusal stands. A password given up
// front (from standard input) is final: it is not asked for again.
struct TOpenRetryLimits
{
    int accountAsks = -1;  // -1: for as long as answers come
    int passwordAsks = -1; // -1: for as long as answers come
};

struct TOpenResult
{
    enum Outcome
    {
        Opened,
        Declined, // a log-in was refused and no further answer came: the refusal is in number/text
        Failed    // any other error, in number/text
    };
    Outcome outcome = Failed;
    std::int32_t number = 0;
    QString text;
    // The string of the last attempt (the one that opened, when it did).
    QString connectionString;

    bool opened() const { return outcome == Opened; }
    // "5003031: Not a valid password."; the text alone when there is no number.
    QString message() const
    {
        return number == 0 ? text : QString::number(number) + QStringLiteral(": ") + text;
    }
};

// Opens props' Access file through connection (whose type is ctADOX). On a refused account or
// database password asks prompter and tries again with the answer, which is written into props.
// An empty string to open (no file) gives Failed with number 0.
TOpenResult OpenAccessWithRetry(TKorvConnection& connection, TConnectionProperties& props,
                                TCredentialPrompter& prompter, const TOpenRetryLimits& limits = {});

// Logs in to the SQL Server of an ADO connection string through connection (whose type is ctDMO),
// as the facade's Open does, but keeps the reason of a failure: the server's message (a refused
// login, a server that cannot be reached) or the driver's.
TOpenResult OpenSQLServer(TKorvConnection& connection, const QString& connectionString);

// Overwrites a secret before its memory is given back.
void WipeSecret(QString& secret);
