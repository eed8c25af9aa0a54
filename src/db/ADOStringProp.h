// Reads the server, login, password and database back out of an ADO connection string; the
// SQL Server back end uses it to find what to log in with.
#pragma once

#include <QString>

class TKorvADOStringProp
{
public:
    TKorvADOStringProp() = default;
    explicit TKorvADOStringProp(const QString& connectionString);

    void SetConnectionString(const QString& connectionString);
    // Keys match exactly, letter case included; a later item wins; values keep their blanks, and a
    // quoted value loses only its quotation marks. Values whose key is absent keep what they held.
    void Parse();

    QString ConnectionString;
    QString DataSource;
    QString Password;
    QString UserID;
    QString InitialCatalog;
};
