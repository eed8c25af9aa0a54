#include "KorvDMOConnection.h"

#include "ADOStringProp.h"
#include "Guarded.h"

#include <QMutex>

#include <atomic>

namespace {

std::atomic<std::int32_t> g_loginTimeout{30};
QMutex g_authorityMutex;
QString g_certificateAuthority;

Variant item(const Variant& owner, const char* collection, const Variant& key)
{
    const Variant items = owner.get(QString::fromLatin1(collection));
    return items.invoke(QStringLiteral("Item"), {key});
}

std::int32_t count(const Variant& owner, const char* collection)
{
    const Variant items = owner.get(QString::fromLatin1(collection));
    return items.get(QStringLiteral("Count")).toInt();
}

} // namespace

// Members are built in order; if the log-in throws, the ones built so far (the parsed values, the
// server object) are released on the way out, and no half-made back end is left behind.
TKorvDMOConnection::TKorvDMOConnection(const QString& connectionString)
{
    ConnectionProps = std::make_unique<TKorvADOStringProp>(connectionString);
    SQLServer = CreateOleObject(QStringLiteral("SQLDMO.SQLServer"));
    SQLServer.put(QStringLiteral("LoginSecure"), Variant(false));
    SQLServer.put(QStringLiteral("LoginTimeout"), Variant(DMOLoginTimeout()));
    SQLServer.put(QStringLiteral("AutoReconnect"), Variant(true));
    // Logged in straight to the database: no USE is needed, and on Azure SQL Database or for a
    // contained user there is no other way in.
    SQLServer.put(QStringLiteral("LoginDatabase"), Variant(ConnectionProps->InitialCatalog));
    // Set only when asked for, so a server object without these properties still serves a
    // connection string that names neither.
    if (ConnectionProps->EncryptionRequired())
        SQLServer.put(QStringLiteral("EncryptionRequired"), Variant(true));
    if (ConnectionProps->CertificateChecked()) {
        SQLServer.put(QStringLiteral("CertificateChecked"), Variant(true));
        if (!DMOCertificateAuthority().isEmpty())
            SQLServer.put(QStringLiteral("CertificateAuthority"), Variant(DMOCertificateAuthority()));
    }
    if (ConnectionProps->QueryTimeout() > 0)
        SQLServer.put(QStringLiteral("QueryTimeout"), Variant(ConnectionProps->QueryTimeout()));
    if (ConnectionProps->ReadOnlyIntent())
        SQLServer.put(QStringLiteral("ApplicationIntent"), Variant(QStringLiteral("ReadOnly")));
    SQLServer.invoke(QStringLiteral("Connect"),
                     {Variant(ConnectionProps->DataSource), Variant(ConnectionProps->UserID),
                      Variant(ConnectionProps->Password)});
}

TKorvDMOConnection::~TKorvDMOConnection() = default;

void TKorvDMOConnection::SetDatabase(const Variant& database)
{
    CurrentDatabase = database;
}

void TKorvDMOConnection::SetTable(const Variant& table)
{
    CurrentTable = table;
}

void TKorvDMOConnection::SetColumn(const Variant& column)
{
    CurrentColumn = column;
}

void TKorvDMOConnection::SetView(const Variant& view)
{
    CurrentView = view;
}

Variant TKorvDMOConnection::DatabaseByName(const QString& name)
{
    return guarded([&] { return item(SQLServer, "Databases", Variant(name)); }, Variant());
}

Variant TKorvDMOConnection::TableByName(const QString& name)
{
    return guarded([&] { return item(CurrentDatabase, "Tables", Variant(name)); }, Variant());
}

Variant TKorvDMOConnection::TableByIndex(std::int32_t index)
{
    return guarded([&] { return item(CurrentDatabase, "Tables", Variant(index)); }, Variant());
}

Variant TKorvDMOConnection::ColumnByIndex(std::int32_t index)
{
    return guarded([&] { return item(CurrentTable, "Columns", Variant(index)); }, Variant());
}

Variant TKorvDMOConnection::ViewByIndex(std::int32_t index)
{
    return guarded([&] { return item(CurrentDatabase, "Views", Variant(index)); }, Variant());
}

Variant TKorvDMOConnection::ViewByName(const QString& name)
{
    return guarded([&] { return item(CurrentDatabase, "Views", Variant(name)); }, Variant());
}

std::int32_t TKorvDMOConnection::TableCount()
{
    return guarded([&] { return count(CurrentDatabase, "Tables"); }, std::int32_t(0));
}

std::int32_t TKorvDMOConnection::ColumnCount()
{
    return guarded([&] { return count(CurrentTable, "Columns"); }, std::int32_t(0));
}

std::int32_t TKorvDMOConnection::ViewCount()
{
    return guarded([&] { return count(CurrentDatabase, "Views"); }, std::int32_t(0));
}

void SetDMOLoginTimeout(std::int32_t seconds)
{
    g_loginTimeout.store(seconds > 0 ? seconds : 30);
}

std::int32_t DMOLoginTimeout()
{
    return g_loginTimeout.load();
}

void SetDMOCertificateAuthority(const QString& pemFile)
{
    const QMutexLocker lock(&g_authorityMutex);
    g_certificateAuthority = pemFile;
}

QString DMOCertificateAuthority()
{
    const QMutexLocker lock(&g_authorityMutex);
    return g_certificateAuthority;
}
