// The "ADOX.Catalog" provider: a Jet/ACE file's catalogue as automation objects (Catalog, Tables,
// Table, Columns, Column), read with libmdb. Putting ActiveConnection opens the file named by the
// Jet connection string read-only, checks the workgroup log-in and the database password the way
// Jet does, and reads the catalogue (see SetJetCatalogueStreaming); failures carry Jet's error numbers as help
// context 5000000 + number and Jet's messages.
#pragma once

#include "Automation.h"
#include "JetCatalogReader.h"
#include "JetHeader.h"

#include <QString>

#include <cstdint>

// What the provider takes from a Jet connection string (keys matched without regard to case).
struct JetConnectionSettings
{
    QString dataSource;
    QString userId;
    QString password;         // the workgroup user's password
    QString databasePassword; // "Jet OLEDB:Database Password"
};

JetConnectionSettings ParseJetConnectionString(const QString& connectionString);

// Every check short of reading the catalogue: workgroup log-in (3029), file present (3024), a
// readable regular file (3051), a Jet or ACE header (3343), the database password (3031), and an
// encrypted ACE file. Throws AutomationError; returns the file's header.
JetFileHeader CheckJetAccess(const JetConnectionSettings& settings);

// ADO data type number and ADOX DefinedSize of a column of a file with this header.
std::int32_t JetAdoType(const JetColumnInfo& column);
std::int32_t JetDefinedSize(const JetColumnInfo& column, const JetFileHeader& header);

// A new, unconnected catalogue object (the factory registered for "ADOX.Catalog").
DispatchPtr CreateJetCatalog();

// Off (the default): connecting returns once the whole catalogue is read, and a damaged table
// anywhere refuses the connection. On: connecting checks the log-in, the file and its password and
// starts the reader; the table list is waited for when first needed (WaitForJetCatalogueList asks
// for it, and throws 3049 when it cannot be read), a table's columns when first asked. A read that
// breaks off makes the tables or columns it did not reach throw 3049, which the facade turns into
// empty answers: whoever turns streaming on must ask CheckJetCatalogueComplete before trusting
// what it got.
void SetJetCatalogueStreaming(bool streaming);
bool JetCatalogueStreaming();

// Waits for the table list of a connected Jet catalogue object; throws AutomationError 3049 when it
// cannot be read. Nothing for any other object.
void WaitForJetCatalogueList(const Variant& catalog);

// Waits until the catalogue of a connected Jet catalogue object is read; throws AutomationError
// 3049 when it did not arrive whole. Nothing for any other object.
void CheckJetCatalogueComplete(const Variant& catalog);
