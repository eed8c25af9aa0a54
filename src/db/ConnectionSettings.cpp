#include "ConnectionSettings.h"

#include "ConnectionStringItems.h"
#include "Korvado.h"

#include <initializer_list>

namespace {

// The builder writes two quotation marks as its "unset" marker, so a user value of exactly two
// quotation marks would read back as empty. Such values go in as a stand-in that occurs in no other
// value and is swapped for their quoted form afterwards.
class LiteralMarkers
{
public:
    explicit LiteralMarkers(std::initializer_list<const QString*> values) : m_standIn(QChar(0xE000))
    {
        for (bool clash = true; clash;) {
            clash = false;
            for (const QString* v : values) {
                if (v->contains(m_standIn)) {
                    m_standIn += QChar(0xE000);
                    clash = true;
                    break;
                }
            }
        }
    }

    QString operator()(const QString& value)
    {
        if (value != ADOEmptyValueMarker)
            return value;
        m_used = true;
        return m_standIn;
    }

    QString finish(QString built) const
    {
        if (m_used)
            built.replace(m_standIn, QStringLiteral("\"\"\"\"\"\""));
        return built;
    }

private:
    QString m_standIn;
    bool m_used = false;
};

constexpr int kValueCut = 100;

} // namespace

QString BuildSQLServerConnectionString(const TConnectionProperties& p)
{
    LiteralMarkers literal{&p.Server, &p.Database, &p.User, &p.Password};
    TKorvADOConnectionString cs(csSQLServer2);
    cs.Provider = QStringLiteral("SQLOLEDB");
    cs.UserID = literal(p.User);
    cs.Password = literal(p.Password);
    cs.DataSource = literal(p.Server);
    cs.SQLOLEDB_InitialCatalog = literal(p.Database);
    cs.SQLOLEDB_PersistSecurityInfo = p.SavePW == u"True";
    cs.SQLOLEDB_UseProcedureForPrepare = 1;
    cs.SQLOLEDB_AutoTranslate = true;
    cs.SQLOLEDB_PacketSize = 4096;
    QString built = cs.BuildConnectionString();
    // Only when asked for: a string without them is the one every earlier version wrote.
    if (!p.UseEncryption.isEmpty())
        built += QLatin1String(";Use Encryption for Data=") + p.UseEncryption;
    if (!p.TrustServerCertificate.isEmpty())
        built += QLatin1String(";Trust Server Certificate=") + p.TrustServerCertificate;
    if (!p.GeneralTimeout.isEmpty())
        built += QLatin1String(";General Timeout=") + p.GeneralTimeout;
    if (!p.ApplicationIntent.isEmpty())
        built += QLatin1String(";Application Intent=") + p.ApplicationIntent;
    return literal.finish(built);
}

QString BuildAccessConnectionString(const TConnectionProperties& p)
{
    LiteralMarkers literal{&p.User, &p.UserPassword, &p.Database, &p.Password};
    TKorvADOConnectionString cs(csJet);
    cs.Provider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
    cs.UserID = literal(p.User);
    cs.Password = literal(p.UserPassword);
    cs.DataSource = literal(p.Database);
    cs.JetOLEDB_SystemDatabase = AccessSystemDatabasePath;
    cs.JetOLEDB_DatabasePassword = literal(p.Password);
    return literal.finish(cs.BuildConnectionString());
}

void ApplySQLServerConnectionString(const QString& connectionString, TConnectionProperties& props)
{
    struct Rule
    {
        QStringView key;
        QString TConnectionProperties::*field;
    };
    static const Rule rules[] = {
        {u"Data Source", &TConnectionProperties::Server},
        {u"Initial Catalog", &TConnectionProperties::Database},
        {u"User ID", &TConnectionProperties::User},
        {u"Password", &TConnectionProperties::Password},
        {u"Persist Security Info", &TConnectionProperties::SavePW},
        {u"Use Encryption for Data", &TConnectionProperties::UseEncryption},
        {u"Trust Server Certificate", &TConnectionProperties::TrustServerCertificate},
        {u"General Timeout", &TConnectionProperties::GeneralTimeout},
        {u"Application Intent", &TConnectionProperties::ApplicationIntent},
    };
    for (const ConnectionStringItem& item : SplitConnectionString(connectionString)) {
        for (const Rule& rule : rules) {
            if (!item.key.startsWith(rule.key))
                continue;
            QString value;
            if (item.key.size() == rule.key.size()) {
                value = item.value;
            } else {
                // A longer key ("Data Sourcex=…", "Password =…") is read the old way: the text
                // from the place where "=" would stand after the bare key.
                const QString raw = item.hasEquals ? item.key + u'=' + item.value : item.key;
                value = raw.mid(rule.key.size() + 1);
            }
            props.*rule.field = value.left(kValueCut);
            break;
        }
    }
    if (props.SavePW == u"False")
        props.Password.clear();
}
