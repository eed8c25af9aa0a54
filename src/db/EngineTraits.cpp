#include "EngineTraits.h"

#include "DeclaredTypes.h"
#include "JetCatalogReader.h"
#include "UIText.h"

namespace {

QString sqlServerSystemTables()
{
    // The SQL Server catalogue's type code really is a lower-case 's' here.
    return QStringLiteral("SELECT * FROM sysobjects where xtype = 's'");
}

// Spelled once, where the Access catalogue's own run answers it.
const TEngineTraits kAccess = {.word = "Access",
                               .listIndexBase = 0,
                               .hasViews = false,
                               .choosesDatabase = false,
                               .systemTableStatement = &JetSystemTableStatement,
                               .nameText = 4,
                               .profilePrefix = "PR_Access_",
                               .hasSchemas = false,
                               .hasTypeCodes = true,
                               .autoIncrementText = 336,
                               .declaredType = &AccessDeclaredType};
const TEngineTraits kSqlServer = {.word = "SQLServer",
                                  .listIndexBase = 1,
                                  .hasViews = true,
                                  .choosesDatabase = true,
                                  .systemTableStatement = &sqlServerSystemTables,
                                  .nameText = 3,
                                  .profilePrefix = "PR_SQLServer_",
                                  .hasSchemas = true,
                                  .hasTypeCodes = false,
                                  .autoIncrementText = 348,
                                  .declaredType = &SqlServerDeclaredType};

} // namespace

const TEngineTraits& EngineTraits(TProviderType provider)
{
    return provider == ptSQLServer ? kSqlServer : kAccess;
}

const TEngineTraits& EngineTraitsOfWord(const QString& word)
{
    const TEngineTraits* traits = FindEngineTraits(word);
    return traits ? *traits : kAccess;
}

const TEngineTraits* FindEngineTraits(const QString& word)
{
    for (const TEngineTraits* traits : {&kAccess, &kSqlServer}) {
        if (word == QLatin1String(traits->word))
            return traits;
    }
    return nullptr;
}

QString DeclaredTypeText(const TCatalogue& catalogue, const TCatalogueColumn& column)
{
    return EngineTraitsOfWord(catalogue.provider).declaredType(column, CurrentLanguage);
}
