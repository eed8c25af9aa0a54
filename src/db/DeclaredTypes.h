// A column's type the way its engine's users write it, beside the report's ADO-style names: SQL
// Server's declaration ("nvarchar(40)", "decimal(19,4)", "varchar(max)", "sysname") and Access's
// design view data type with its field size ("Short Text (40)", "Number (Long Integer)"). Reached
// through TEngineTraits::declaredType.
#pragma once

#include "Catalogue.h"

#include <QString>

// language: 1 German, 2 English (the words of Access's own design view in that language).
QString AccessDeclaredType(const TCatalogueColumn& column, int language);
// The same in every language: SQL Server's type names are keywords.
QString SqlServerDeclaredType(const TCatalogueColumn& column, int language);
