#include "DataLinkString.h"

#include "Automation.h"
#include "ConnectionStringItems.h"
#include "KorvDMOConnection.h"
#include "UIText.h"

#include <QRegularExpression>

#include <memory>

QString ServerFailureText(const QString& server, const QString& driverText)
{
    // The session frames every failure to reach a server (refused, a name that does not resolve,
    // no answer within the login timeout) in English with the server's name; FreeTDS's own words
    // for a refused connection never name it.
    static const QRegularExpression sessionPrefix(
        QStringLiteral("^Cannot connect to the SQL Server \".*?\"(?: \\((host [^)]*)\\))?: "));
    const QRegularExpressionMatch framed = sessionPrefix.match(driverText);
    if (!framed.hasMatch() &&
        !driverText.contains(QLatin1String("Adaptive Server is unavailable or does not exist"),
                             Qt::CaseInsensitive))
        return driverText;
    // The English naming gives way to the one in the UI language; the host and port it tried,
    // which a name from freetds.conf or the Browser's answer decided, stay.
    QString words = driverText;
    if (framed.hasMatch())
        words = (framed.hasCaptured(1) ? framed.captured(1) + QStringLiteral(": ") : QString()) +
                words.mid(framed.capturedLength());
    return LoadUIText(314).arg(server) + u'\n' + words;
}

namespace {

// The error numbers of a log-in refused as a whole, and of one whose database could not be opened.
constexpr std::int32_t kLoginFailed = 18456;
constexpr std::int32_t kCannotOpenDatabase = 4060;

// The host names of Azure SQL Database's servers, in each of its clouds.
bool IsAzureSqlDatabaseHost(const QString& server)
{
    const QString host = server.section(u',', 0, 0).section(u'\\', 0, 0).trimmed();
    for (const char* zone : {".database.windows.net", ".database.chinacloudapi.cn",
                             ".database.usgovcloudapi.net", ".database.cloudapi.de"})
        if (host.endsWith(QLatin1String(zone), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

QString MustNameDatabaseText(const QString& server, const QString& refusal)
{
    return refusal + u' ' + (IsAzureSqlDatabaseHost(server) ? LoadUIText(600) : LoadUIText(601));
}

QStringList ListServerDatabases(const QString& connectionString)
{
    TDataLinkFields fields = ParseDataLinkString(connectionString);
    std::unique_ptr<TKorvDMOConnection> connection;
    bool fromMaster = false;
    try {
        connection = std::make_unique<TKorvDMOConnection>(connectionString);
    } catch (const AutomationError& e) {
        if (e.helpContext() == kLoginFailed && fields.Database.isEmpty())
            throw AutomationError(e.helpContext(), MustNameDatabaseText(fields.Server, e.description()));
        if (e.helpContext() != kCannotOpenDatabase || fields.Database.isEmpty() ||
            fields.Database.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0)
            throw;
        // Every login may open master: the list the login can see comes from there.
        fields.Database = QStringLiteral("master");
        connection = std::make_unique<TKorvDMOConnection>(ComposeDataLinkString(fields));
        fromMaster = true;
    }
    const Variant databases = connection->SQLServer.get(QStringLiteral("Databases"));
    const std::int32_t count = databases.get(QStringLiteral("Count")).toInt();
    QStringList names;
    for (std::int32_t i = 1; i <= count; ++i)
        names << databases.get(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Name")).toText();
    // The list shows only what the login may see; a database named by hand is tried instead, and
    // the server's refusal (no access, no such database) is the answer.
    const QString chosen = ParseDataLinkString(connectionString).Database;
    if (!fromMaster && !chosen.isEmpty() && !names.contains(chosen, Qt::CaseInsensitive)) {
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
        else if (is("General Timeout"))
            fields.GeneralTimeout = item.value.trimmed();
        else if (is("Application Intent"))
            fields.ApplicationIntent = item.value.trimmed();
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
    if (!fields.GeneralTimeout.isEmpty())
        s += QLatin1String(";General Timeout=") + QuoteConnectionValue(fields.GeneralTimeout);
    if (!fields.ApplicationIntent.isEmpty())
        s += QLatin1String(";Application Intent=") + QuoteConnectionValue(fields.ApplicationIntent);
    return s;
}
