// The structure of one SQL Server database as a TCatalogue, read in one round trip from the
// catalog views of SQL Server 2005 and later, objects identified by object_id, so that same-named
// tables of two schemas stay two objects. A server without those views (SQL Server 2000) gives the
// tables, views and columns of its compatibility views instead, without keys and descriptions.
#pragma once

#include "Catalogue.h"

#include <QString>

#include <memory>

class SqlServerSession;

// Tables and system tables by name, then the views, the procedures and functions, the sequences
// and the synonyms, each kind by name: tables with their columns, keys, indexes, foreign keys,
// defaults, checks, triggers and descriptions, views with their columns, texts and triggers,
// routines with their parameters and texts. Throws AutomationError with the server's message.
std::shared_ptr<const TCatalogue> ReadSqlServerCatalogue(SqlServerSession& session, const QString& database);
