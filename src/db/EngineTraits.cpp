#include "EngineTraits.h"

#include "JetCatalogReader.h"

namespace {

QString sqlServerSystemTables()
{
    // The SQL Server catalogue's type code really is a lower-case 's' here.
    return QStringLiteral("SELECT * FROM sysobjects where xtype = 's'");
}

// Spelled once, where the Access catalogue's own run answers it.
// Access's views are its saved queries, which the model holds (its text 488 "Queries"); its checks
// are validation rules (444 "Rule").
const TEngineTraits kAccess = {"Access",     0,    true, false, &JetSystemTableStatement, 4,
                               "PR_Access_", true, 488,  444};
const TEngineTraits kSqlServer = {"SQLServer",     1,     true, true, &sqlServerSystemTables, 3,
                                  "PR_SQLServer_", false, 27,   443};

} // namespace

const TEngineTraits& EngineTraits(TProviderType provider)
{
    return provider == ptSQLServer ? kSqlServer : kAccess;
}

const TEngineTraits& EngineTraitsOfWord(const QString& word)
{
    return word == QLatin1String(kSqlServer.word) ? kSqlServer : kAccess;
}
