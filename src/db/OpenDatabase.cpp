#include "OpenDatabase.h"

#include "KorvADOXConnection.h"
#include "KorvConnection.h"
#include "KorvDMOConnection.h"

#include <exception>

void WipeSecret(QString& secret)
{
    secret.fill(QChar(0));
    secret.clear();
}

TOpenResult OpenAccessWithRetry(TKorvConnection& connection, TConnectionProperties& props,
                                TCredentialPrompter& prompter, const TOpenRetryLimits& limits)
{
    const auto mayAsk = [](int limit, int asked) { return limit < 0 || asked < limit; };
    int accountAsks = 0;
    int passwordAsks = 0;
    // A loop, not a retry that calls itself: a long series of wrong answers cannot exhaust the stack.
    for (;;) {
        TOpenResult result;
        result.connectionString = BuildAccessConnectionString(props);
        if (result.connectionString.isEmpty())
            return result;
        connection.Open(result.connectionString);
        const TErrorItem* error =
            connection.ADOXConnection ? connection.ADOXConnection->ErrorItem.get() : nullptr;
        if (!error || error->Number == 0) {
            // No error, yet no catalogue: the provider itself is missing. The window says nothing
            // then (its error record is clear); the command line needs a reason.
            if (connection.ADOXConnection && connection.ADOXConnection->Catalog.isEmpty()) {
                result.text =
                    QStringLiteral("The Access catalogue provider (ADOX.Catalog) is not registered.");
                return result;
            }
            result.outcome = TOpenResult::Opened;
            return result;
        }
        result.number = error->Number;
        result.text = error->Text;
        if (result.number == kErrorAccountRefused) {
            result.outcome = TOpenResult::Declined;
            QString user = props.User;
            QString password;
            if (!mayAsk(limits.accountAsks, accountAsks++) ||
                !prompter.AskUserLogin(user, password, props.User.isEmpty()))
                return result;
            props.User = user;
            WipeSecret(props.UserPassword);
            props.UserPassword = password;
            WipeSecret(password);
            continue;
        }
        if (result.number == kErrorPasswordRefused) {
            result.outcome = TOpenResult::Declined;
            QString password;
            if (!mayAsk(limits.passwordAsks, passwordAsks++) || !prompter.AskDatabasePassword(password))
                return result;
            WipeSecret(props.Password);
            props.Password = password;
            WipeSecret(password);
            continue;
        }
        return result;
    }
}

TOpenResult OpenSQLServer(TKorvConnection& connection, const QString& connectionString)
{
    TOpenResult result;
    result.connectionString = connectionString;
    // The old back ends go first, as with the facade's own Open.
    connection.DMOConnection.reset();
    connection.ADOXConnection.reset();
    try {
        connection.DMOConnection = std::make_unique<TKorvDMOConnection>(connectionString);
        result.outcome = TOpenResult::Opened;
    } catch (const AutomationError& e) {
        result.text = e.description();
    } catch (const std::exception& e) {
        result.text = QString::fromUtf8(e.what());
    }
    return result;
}
