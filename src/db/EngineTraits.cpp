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
// Access's views are its saved queries, which the model holds (its text 488 "Queries"); its checks
// are validation rules (444 "Rule").
const TEngineTraits kAccess = {.word = "Access",
                               .listIndexBase = 0,
                               .hasViews = true,
                               .choosesDatabase = false,
                               .systemTableStatement = &JetSystemTableStatement,
                               .nameText = 4,
                               .profilePrefix = "PR_Access_",
                               .viewsFromModel = true,
                               .viewsText = 488,
                               .checkText = 444,
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
                                  .viewsFromModel = false,
                                  .viewsText = 27,
                                  .checkText = 443,
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
