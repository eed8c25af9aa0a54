#include "EngineTraits.h"

#include "JetCatalogReader.h"

namespace {

QString sqlServerSystemTables()
{
    // The SQL Server catalogue's type code really is a lower-case 's' here.
    return QStringLiteral("SELECT * FROM sysobjects where xtype = 's'");
}

// Spelled once, where the Access catalogue's own run answers it.
const TEngineTraits kAccess = {"Access", 0, false, false, &JetSystemTableStatement, 4, "PR_Access_"};
const TEngineTraits kSqlServer = {"SQLServer", 1, true, true, &sqlServerSystemTables, 3, "PR_SQLServer_"};

} // namespace

const TEngineTraits& EngineTraits(TProviderType provider)
{
    return provider == ptSQLServer ? kSqlServer : kAccess;
}

const TEngineTraits& EngineTraitsOfWord(const QString& word)
{
    return word == QLatin1String(kSqlServer.word) ? kSqlServer : kAccess;
}
