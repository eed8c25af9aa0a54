#include "ADOStringProp.h"

#include "ConnectionStringItems.h"

TKorvADOStringProp::TKorvADOStringProp(const QString& connectionString)
{
    SetConnectionString(connectionString);
}

void TKorvADOStringProp::SetConnectionString(const QString& connectionString)
{
    ConnectionString = connectionString;
    Parse();
}

void TKorvADOStringProp::Parse()
{
    for (const ConnectionStringItem& item : SplitConnectionString(ConnectionString)) {
        if (item.key == u"Data Source")
            DataSource = item.value;
        else if (item.key == u"User ID")
            UserID = item.value;
        else if (item.key == u"Password")
            Password = item.value;
        else if (item.key == u"Initial Catalog")
            InitialCatalog = item.value;
    }
}
