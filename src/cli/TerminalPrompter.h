// Asking the person at the terminal for what a database still wants: a user name, passwords
// without echo. Reads the controlling terminal (/dev/tty), so standard input stays free for data.
#pragma once

#include "OpenDatabase.h"

class TTerminalPrompter : public TCredentialPrompter
{
public:
    bool AskDatabasePassword(QString& password) override;
    bool AskUserLogin(QString& user, QString& password, bool askUser) override;
};
