// The lines the extended report adds under a table's column lines: its keys, indexes,
// relationships in both directions, defaults, AutoNumber/IDENTITY columns, computed columns and
// descriptions, taken from the structure model and indented like the column lines.
#pragma once

#include "Catalogue.h"
#include "ReportLines.h"

#include <QStringList>

// The detail lines of object (one of catalogue's objects), without the report's margin: a label
// padded so every value starts in the same column, then the value; a value spanning several lines
// (a description with line breaks) continues under itself. No lines when there is nothing to add.
QStringList StructureDetailTexts(const TCatalogue& catalogue, const TCatalogueObject& object);

// Writes them indented like the column lines.
void WriteStructureDetail(TReportWriter& writer, const TCatalogue& catalogue, const TCatalogueObject& object);

// "Orders (OrderID, Line)": a key's or an index's name and its columns; descending columns are
// marked in the UI language.
QString IndexText(const TCatalogueIndex& index);
// The referenced side of a foreign key: "Customers (CustomerID)", with its schema where it is not
// dbo.
QString ReferencedText(const TCatalogueForeignKey& key);
// "schema.name", or the bare name in dbo and where there is no schema (Access).
QString QualifiedName(const QString& schema, const QString& name);
// Whether key points at object (by name without regard to case; by schema where both have one).
bool References(const TCatalogueForeignKey& key, const TCatalogueObject& object);
// The UI word of a referential action ("cascade", "weitergeben").
QString ReferentialActionText(TReferentialAction action);
