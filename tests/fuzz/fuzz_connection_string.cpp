// The connection-string parsers (ADO strings, the data link string, the Jet provider's keys) on
// any text; a value quoted by the program's own quoting splits back to itself.
#include "ADOStringProp.h"
#include "ConnectionStringItems.h"
#include "DataLinkString.h"
#include "FuzzDriver.h"
#include "JetProvider.h"

int main(int argc, char** argv)
{
    FuzzTarget target{
        "fuzz_connection_string",
        {QByteArray("Provider=SQLOLEDB.1;Password=\"a;b\";Persist Security Info=True;User ID=sa;"
                    "Initial Catalog=Sales;Data Source=host,1433"),
         QByteArray("Provider=Microsoft.Jet.OLEDB.4.0;Data Source='C:\\x.mdb';Jet OLEDB:Database "
                    "Password=\"\"\"\";User ID=Admin"),
         QByteArray("a=;=b;;c='d''e';f=\"g")},
        {";", "=", "\"", "'", "\"\"", "''", "Data Source=", "Password=", " "},
        {}};
    target.run = [](const QByteArray& input) {
        const QString text = QString::fromUtf8(input);
        SplitConnectionString(text);
        TKorvADOStringProp props(text);
        ParseDataLinkString(text);
        ParseJetConnectionString(text);
        const QString value = text.left(40);
        const QList<ConnectionStringItem> items = SplitConnectionString(
            QStringLiteral("k=") + QuoteConnectionValue(value) + QStringLiteral(";z=1"));
        FuzzCheck(!items.isEmpty() && (items.constFirst().value == value || value == QStringLiteral("\"\"")),
                  "a quoted value splits back to itself");
    };
    return RunFuzzer(argc, argv, target);
}
