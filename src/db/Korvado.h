// Composition of the ADO connection strings the program opens and queries with, for the Jet
// (Access) and the SQL Server OLE DB providers, from a fixed set of properties with per-provider
// defaults. Values that would change the string's meaning are written quoted.
#pragma once

#include <QString>

#include <cstdint>

enum TConnectionStringKind : std::uint8_t
{
    csJet = 0,
    csSQLServer = 1,
    csSQLServer2 = 2
};

enum TConnectMode : std::uint8_t
{
    cmUnknown = 0,
    cmRead = 1,
    cmWrite = 2,
    cmReadWrite = 3,
    cmShareDenyRead = 4,
    cmShareDenyWrite = 5,
    cmShareExclusive = 6,
    cmShareDenyNone = 7
};

// Two quotation marks: the value written for a property that is deliberately left unset.
inline const QString ADOEmptyValueMarker = QStringLiteral("\"\"");

class TKorvADOConnectionString
{
public:
    // A kind outside the three known ones gives an object without defaults that composes nothing.
    explicit TKorvADOConnectionString(TConnectionStringKind kind);

    static QString BoolText(bool value);
    // Bytes above cmShareDenyNone are written as "Share Deny None".
    static QString ModeText(TConnectMode mode);

    QString BuildConnectionString() const;

    TConnectionStringKind Kind;

    // Plain fields, read and written directly by the callers.
    QString Provider;
    QString Password;
    QString UserID;
    QString DataSource;
    TConnectMode Mode = cmUnknown;
    QString ExtendedProperties;
    QString JetOLEDB_SystemDatabase;
    QString JetOLEDB_RegistryPath;
    QString JetOLEDB_DatabasePassword;
    std::int32_t JetOLEDB_EngineType = 0;
    std::int32_t JetOLEDB_DatabaseLockingMode = 0;
    std::int32_t JetOLEDB_GlobalPartialBulkOps = 0;
    std::int32_t JetOLEDB_GlobalBulkTransactions = 0;
    QString JetOLEDB_NewDatabasePassword;
    bool JetOLEDB_CreateSystemDatabase = false;
    bool JetOLEDB_EncryptDatabase = false;
    bool JetOLEDB_DontCopyLocaleOnCompact = false;
    bool JetOLEDB_CompactWithoutReplicaRepair = false;
    bool JetOLEDB_SFP = false;
    bool SQLOLEDB_PersistSecurityInfo = false;
    QString SQLOLEDB_InitialCatalog;
    std::int32_t SQLOLEDB_UseProcedureForPrepare = 0;
    bool SQLOLEDB_AutoTranslate = false;
    std::int32_t SQLOLEDB_PacketSize = 0;
    QString SQLOLEDB_WorkstationID;
};
