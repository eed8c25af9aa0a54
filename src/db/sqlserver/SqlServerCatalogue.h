// The structure of one SQL Server database as a TCatalogue, read in one round trip from the
// catalog views of SQL Server 2005 and later, objects identified by object_id, so that same-named
// tables of two schemas stay two objects. A server without those views (SQL Server 2000) gives the
// tables, views and columns of its compatibility views instead, without keys and descriptions.
#pragma once

#include "Catalogue.h"

#include <QString>

#include <memory>

class SqlServerSession;

// Tables and system tables by name, then the views by name, each with its columns, keys, indexes,
// foreign keys, defaults and descriptions. Throws AutomationError with the server's message.
std::shared_ptr<const TCatalogue> ReadSqlServerCatalogue(SqlServerSession& session, const QString& database);
