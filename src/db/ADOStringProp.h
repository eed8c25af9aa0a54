// Reads the server, login, password and database back out of an ADO connection string; the
// SQL Server back end uses it to find what to log in with.
#pragma once

#include <QString>

#include <optional>

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
    // The OLE DB properties "Use Encryption for Data" and "Trust Server Certificate" as written
    // ("True", "False"); empty when the string does not name them.
    QString UseEncryptionForData;
    QString TrustServerCertificate;
    // The OLE DB properties "General Timeout" (seconds a statement waits for the server) and
    // "Application Intent" ("ReadOnly" or "ReadWrite"); empty when not named.
    QString GeneralTimeout;
    QString ApplicationIntent;

    // Encryption is required when "Use Encryption for Data" is true. The certificate is checked when
    // "Trust Server Certificate" is false, or when encryption is required and the certificate is not
    // said to be trusted, as the OLE DB provider does; a string naming neither keeps FreeTDS's
    // default (encrypt when offered, any certificate).
    bool EncryptionRequired() const;
    bool CertificateChecked() const;
    // "General Timeout" as a number of seconds from 1; 0 when not named (or not such a number):
    // the program's default.
    int QueryTimeout() const;
    // "Application Intent" is ReadOnly (any letter case).
    bool ReadOnlyIntent() const;
};

// "True", "yes" or "1" (any case) is true; "False", "no" or "0" false; anything else neither.
std::optional<bool> ConnectionFlag(const QString& value);
