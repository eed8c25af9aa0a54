// Structure models for the writers' suites: one small database of each engine with every kind of
// detail (keys, indexes, relationships in both directions, defaults, AutoNumber/IDENTITY,
// computed columns, descriptions with line breaks and characters that need escaping).
#pragma once

#include "Catalogue.h"

#include <QByteArray>
#include <QString>

TCatalogue SampleAccessCatalogue();
TCatalogue SampleSqlServerCatalogue();

// The same databases whole: the Access file with saved queries of several types (one with
// parameters, a hidden one, one behind a form), validation rules of a field and of a table,
// captions, formats, input masks, decimal places and a lookup field, and a hidden table; the SQL
// Server database with views (one encrypted, one with an INSTEAD OF trigger), a procedure, a
// scalar and a CLR function, check constraints, a trigger, clustered, filtered and including
// indexes, a sequence and a synonym.
TCatalogue SampleAccessDatabase();
TCatalogue SampleSqlServerDatabase();

// A column with the values every column has; the rest stays default.
TCatalogueColumn ModelColumn(int number, const QString& name, const QString& typeName, int length,
                             bool nullable = true);
// A table (or view, system table) of those columns; the rest stays default.
TCatalogueObject ModelObject(const QString& name, const QList<TCatalogueColumn>& columns,
                             TObjectKind kind = TObjectKind::Table);
// An Access column as the Jet reader makes it: the ADO type number and the report's name for it.
TCatalogueColumn JetModelColumn(int number, const QString& name, int adoType, int size, bool nullable = true);

// What the repository's schema validator says of a structure document: "valid" or the first
// problem it found.
QString StructureSchemaVerdict(const QByteArray& document);
// The same for a comparison document against docs/orvane-comparison.schema.json.
QString ComparisonSchemaVerdict(const QByteArray& document);
