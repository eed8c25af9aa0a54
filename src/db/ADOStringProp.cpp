#include "ADOStringProp.h"

#include "ConnectionStringItems.h"

TKorvADOStringProp::TKorvADOStringProp(const QString& connectionString)
{
    SetConnectionString(connectionString);
}

void TKorvADOStringProp::SetConnectionString(const QString& connectionString)
{
    ConnectionString = connectionString;
    Parse();
}

void TKorvADOStringProp::Parse()
{
    for (const ConnectionStringItem& item : SplitConnectionString(ConnectionString)) {
        if (item.key == u"Data Source")
            DataSource = item.value;
        else if (item.key == u"User ID")
            UserID = item.value;
        else if (item.key == u"Password")
            Password = item.value;
        else if (item.key == u"Initial Catalog")
            InitialCatalog = item.value;
        else if (item.key.compare(u"Use Encryption for Data", Qt::CaseInsensitive) == 0)
            UseEncryptionForData = item.value;
        else if (item.key.compare(u"Trust Server Certificate", Qt::CaseInsensitive) == 0)
            TrustServerCertificate = item.value;
        else if (item.key.compare(u"General Timeout", Qt::CaseInsensitive) == 0)
            GeneralTimeout = item.value;
        else if (item.key.compare(u"Application Intent", Qt::CaseInsensitive) == 0)
            ApplicationIntent = item.value;
    }
}

std::optional<bool> ConnectionFlag(const QString& value)
{
    const QString v = value.trimmed();
    for (const char* yes : {"true", "yes", "1"})
        if (v.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return true;
    for (const char* no : {"false", "no", "0"})
        if (v.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return false;
    return std::nullopt;
}

bool TKorvADOStringProp::EncryptionRequired() const
{
    return ConnectionFlag(UseEncryptionForData).value_or(false);
}

bool TKorvADOStringProp::CertificateChecked() const
{
    const std::optional<bool> trust = ConnectionFlag(TrustServerCertificate);
    if (trust.has_value())
        return !*trust;
    return EncryptionRequired();
}

int TKorvADOStringProp::QueryTimeout() const
{
    bool ok = false;
    const int seconds = GeneralTimeout.trimmed().toInt(&ok);
    return ok && seconds > 0 ? seconds : 0;
}

bool TKorvADOStringProp::ReadOnlyIntent() const
{
    return ApplicationIntent.trimmed().compare(u"ReadOnly", Qt::CaseInsensitive) == 0;
}
