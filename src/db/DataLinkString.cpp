#include "DataLinkString.h"

#include "ConnectionStringItems.h"
#include "KorvDMOConnection.h"
#include "UIText.h"

#include <QRegularExpression>

QString ServerFailureText(const QString& server, const QString& driverText)
{
    // FreeTDS says this for a refused connection, a name that does not resolve and a server that
    // does not answer in time alike; it never names the server.
    if (!driverText.contains(QLatin1String("Adaptive Server is unavailable or does not exist"),
                             Qt::CaseInsensitive))
        return driverText;
    // The session's own English naming of the server gives way to the one in the UI language.
    static const QRegularExpression sessionPrefix(
        QStringLiteral("^Cannot connect to the SQL Server \".*\": "));
    QString words = driverText;
    words.remove(sessionPrefix);
    return LoadUIText(314).arg(server) + u'\n' + words;
}

QStringList ListServerDatabases(const QString& connectionString)
{
    TKorvDMOConnection connection(connectionString);
    const Variant databases = connection.SQLServer.get(QStringLiteral("Databases"));
    const std::int32_t count = databases.get(QStringLiteral("Count")).toInt();
    QStringList names;
    for (std::int32_t i = 1; i <= count; ++i)
        names << databases.get(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Name")).toText();
    // The list shows only what the login may see; a database named by hand is tried instead, and
    // the server's refusal (no access, no such database) is the answer.
    const QString chosen = ParseDataLinkString(connectionString).Database;
    if (!chosen.isEmpty() && !names.contains(chosen, Qt::CaseInsensitive)) {
        databases.get(QStringLiteral("Item"), {Variant(chosen)}).get(QStringLiteral("Tables"));
        names << chosen;
    }
    return names;
}

TDataLinkFields ParseDataLinkString(const QString& connectionString)
{
    TDataLinkFields fields;
    for (const ConnectionStringItem& item : SplitConnectionString(connectionString)) {
        const QString key = item.key.trimmed();
        const auto is = [&](const char* name) {
            return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        };
        if (is("Data Source") || is("Server"))
            fields.Server = item.value;
        else if (is("User ID") || is("UID"))
            fields.User = item.value;
        else if (is("Password") || is("PWD"))
            fields.Password = item.value;
        else if (is("Initial Catalog") || is("Database"))
            fields.Database = item.value;
        else if (is("Persist Security Info"))
            fields.SavePassword =
                item.value.trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
        else if (is("Use Encryption for Data"))
            fields.UseEncryption = item.value.trimmed();
        else if (is("Trust Server Certificate"))
            fields.TrustServerCertificate = item.value.trimmed();
    }
    // The empty-value marker stands for nothing.
    for (QString* value : {&fields.Server, &fields.User, &fields.Password, &fields.Database})
        if (*value == QLatin1String("\"\""))
            value->clear();
    return fields;
}

QString ComposeDataLinkString(const TDataLinkFields& fields)
{
    QString s = QStringLiteral("Provider=SQLOLEDB.1;Password=%1;Persist Security Info=%2;User ID=%3;"
                               "Initial Catalog=%4;Data Source=%5")
                    .arg(QuoteConnectionValue(fields.Password),
                         fields.SavePassword ? QStringLiteral("True") : QStringLiteral("False"),
                         QuoteConnectionValue(fields.User), QuoteConnectionValue(fields.Database),
                         QuoteConnectionValue(fields.Server));
    if (!fields.UseEncryption.isEmpty())
        s += QLatin1String(";Use Encryption for Data=") + QuoteConnectionValue(fields.UseEncryption);
    if (!fields.TrustServerCertificate.isEmpty())
        s +=
            QLatin1String(";Trust Server Certificate=") + QuoteConnectionValue(fields.TrustServerCertificate);
    return s;
}
