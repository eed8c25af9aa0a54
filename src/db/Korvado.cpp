#include "Korvado.h"

#include "ConnectionStringItems.h"

#include <QStringList>

TKorvADOConnectionString::TKorvADOConnectionString(TConnectionStringKind kind) : Kind(kind)
{
    switch (kind) {
    case csJet:
        Provider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
        Password = ADOEmptyValueMarker;
        UserID = QStringLiteral("Admin");
        DataSource = ADOEmptyValueMarker;
        Mode = cmShareDenyNone;
        ExtendedProperties = ADOEmptyValueMarker;
        JetOLEDB_SystemDatabase = ADOEmptyValueMarker;
        JetOLEDB_RegistryPath = ADOEmptyValueMarker;
        JetOLEDB_DatabasePassword = ADOEmptyValueMarker;
        JetOLEDB_EngineType = 5;
        JetOLEDB_DatabaseLockingMode = 1;
        JetOLEDB_GlobalPartialBulkOps = 2;
        JetOLEDB_GlobalBulkTransactions = 1;
        JetOLEDB_NewDatabasePassword = ADOEmptyValueMarker;
        break;
    case csSQLServer:
    case csSQLServer2:
        Provider = QStringLiteral("SQLOLEDB.1");
        Password = ADOEmptyValueMarker;
        UserID = QStringLiteral("Admin");
        DataSource = ADOEmptyValueMarker;
        Mode = cmShareDenyNone;
        SQLOLEDB_InitialCatalog = ADOEmptyValueMarker;
        SQLOLEDB_UseProcedureForPrepare = 1;
        SQLOLEDB_AutoTranslate = true;
        SQLOLEDB_PacketSize = 4096;
        SQLOLEDB_WorkstationID = ADOEmptyValueMarker;
        break;
    }
}

QString TKorvADOConnectionString::BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString TKorvADOConnectionString::ModeText(TConnectMode mode)
{
    switch (mode) {
    case cmUnknown:
        return QStringLiteral("Unknown");
    case cmRead:
        return QStringLiteral("Read");
    case cmWrite:
        return QStringLiteral("Write");
    case cmReadWrite:
        return QStringLiteral("Read Write");
    case cmShareDenyRead:
        return QStringLiteral("Share Deny Read");
    case cmShareDenyWrite:
        return QStringLiteral("Share Deny Write");
    case cmShareExclusive:
        return QStringLiteral("Share Exclusive");
    case cmShareDenyNone:
        break;
    }
    return QStringLiteral("Share Deny None");
}

QString TKorvADOConnectionString::BuildConnectionString() const
{
    QStringList items;
    // A password or path holding ";" must stay one value, or it could name another server.
    auto text = [&items](const char* key, const QString& value) {
        items << QLatin1String(key) + QuoteConnectionValue(value);
    };
    auto number = [&items](const char* key, std::int32_t value) {
        items << QLatin1String(key) + QString::number(value);
    };
    auto flag = [&items](const char* key, bool value) { items << QLatin1String(key) + BoolText(value); };

    switch (Kind) {
    case csJet:
        text("Provider=", Provider);
        text("Password=", Password);
        text("User ID=", UserID);
        text("Data Source=", DataSource);
        items << QStringLiteral("Mode=") + ModeText(Mode);
        text("Extended Properties=", ExtendedProperties);
        text("Jet OLEDB:System database=", JetOLEDB_SystemDatabase);
        text("Jet OLEDB:Registry Path=", JetOLEDB_RegistryPath);
        text("Jet OLEDB:Database Password=", JetOLEDB_DatabasePassword);
        number("Jet OLEDB:Engine Type=", JetOLEDB_EngineType);
        number("Jet OLEDB:Database Locking Mode=", JetOLEDB_DatabaseLockingMode);
        number("Jet OLEDB:Global Partial Bulk Ops=", JetOLEDB_GlobalPartialBulkOps);
        number("Jet OLEDB:Global Bulk Transactions=", JetOLEDB_GlobalBulkTransactions);
        text("Jet OLEDB:New Database Password=", JetOLEDB_NewDatabasePassword);
        flag("Jet OLEDB:Create System Database=", JetOLEDB_CreateSystemDatabase);
        flag("Jet OLEDB:Encrypt Database=", JetOLEDB_EncryptDatabase);
        flag("Jet OLEDB:Don't Copy Locale on Compact=", JetOLEDB_DontCopyLocaleOnCompact);
        flag("Jet OLEDB:Compact Without Replica Repair=", JetOLEDB_CompactWithoutReplicaRepair);
        flag("Jet OLEDB:SFP=", JetOLEDB_SFP);
        break;
    case csSQLServer:
    case csSQLServer2:
        text("Provider=", Provider);
        text("Password=", Password);
        text("User ID=", UserID);
        text("Data Source=", DataSource);
        flag("Persist Security Info=", SQLOLEDB_PersistSecurityInfo);
        text("Initial Catalog=", SQLOLEDB_InitialCatalog);
        number("Use Procedure for Prepare=", SQLOLEDB_UseProcedureForPrepare);
        flag("Auto Translate=", SQLOLEDB_AutoTranslate);
        number("Packet Size=", SQLOLEDB_PacketSize);
        text("Workstation ID=", SQLOLEDB_WorkstationID);
        break;
    }
    return items.join(u';');
}
