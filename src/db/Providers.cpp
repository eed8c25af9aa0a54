#include "Providers.h"

#include "JetProvider.h"
#include "SqlServerProvider.h"

void RegisterBuiltInProviders()
{
    RegisterJetProvider();
    RegisterOleProvider(QStringLiteral("SQLDMO.SQLServer"), &CreateSqlServerObject);
    SetBuiltInQueryObjectFactory(ptSQLServer, &CreateSqlServerQueryObject);
}
