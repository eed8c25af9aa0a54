// The "ADOX.Catalog" provider: a Jet/ACE file's catalogue as automation objects (Catalog, Tables,
// Table, Columns, Column), read with libmdb. Putting ActiveConnection opens the file named by the
// Jet connection string read-only, checks the workgroup log-in and the database password the way
// Jet does, and reads the whole catalogue; failures carry Jet's error numbers as help context
// 5000000 + number and Jet's messages.
#pragma once

#include "Automation.h"
#include "JetCatalogReader.h"
#include "JetHeader.h"
#include "JetLinkedTables.h"

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

// Registers the catalogue under "ADOX.Catalog" and the Access query object.
void RegisterJetProvider();
