#include "Providers.h"

#include "JetCatalogReader.h"
#include "JetProvider.h"
#include "SqlServerProvider.h"

void RegisterBuiltInProviders()
{
    RegisterJetProvider();
    RegisterOleProvider(QStringLiteral("SQLDMO.SQLServer"), &CreateSqlServerObject);
    SetBuiltInQueryObjectFactory(ptSQLServer, &CreateSqlServerQueryObject);
}

void SetTablesOnlyOpenings(bool tablesOnly)
{
    SetJetSavedQueriesRead(!tablesOnly);
}

bool TablesOnlyOpenings()
{
    return !JetSavedQueriesRead();
}
