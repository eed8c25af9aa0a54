// The lines the extended report adds under a table's column lines: its keys, indexes,
// relationships in both directions, defaults, AutoNumber/IDENTITY columns, computed columns and
// descriptions, Access's field properties, checks and triggers, and of a view, query or routine
// its parameters and definition, taken from the structure model and indented like the column
// lines.
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

// What the plain report shows of an Access query, which has no column lines: its type, its
// parameters and its SQL, laid out as the detail lines are.
QStringList QueryReportTexts(const TCatalogueObject& object);
// A query's block: its title line, then those lines (or, with the extended report, all detail
// lines) indented like column lines.
void WriteQueryStructure(TReportWriter& writer, const TCatalogue& catalogue, const TCatalogueObject& object,
                         bool extended);

// "Orders (OrderID, Line)": a key's or an index's name and its columns; descending columns are
// marked in the UI language.
QString IndexText(const TCatalogueIndex& index);
// IndexText with what SQL Server adds: ", clustered", ", include (Total)", ", filter ([x]>(0))".
QString IndexFullText(const TCatalogueIndex& index);
// The UI words of a query's type ("make-table", "Tabellenerstellung") and of an object's kind
// ("procedure", "Prozedur"; tables of every kind: "").
QString QueryTypeText(TQueryType type);
QString ObjectKindText(TObjectKind kind);
// "@From datetime 8 OUTPUT", "[Start date] DateTime": a parameter as its line shows it.
QString ParameterText(const TCatalogueParameter& parameter);
// "int 4", a function's return type with its length.
QString ReturnsText(const TCatalogueParameter& returns);
// "bigint, start 1, increment 1, minimum 1, maximum 1000, cycle".
QString SequenceText(const TCatalogueSequence& sequence);
// "combo box, Table/Query: SELECT ..., bound column 1, 2 columns, limit to list".
QString LookupText(const TColumnLookup& lookup);
// "trg_Orders AFTER INSERT, UPDATE" with ", disabled" when it is.
QString TriggerHeadText(const TCatalogueTrigger& trigger);
// What names a check on its line: "CK_Orders_Total (Total)", an Access rule's field "Größe", or
// nothing for a table's own rule.
QString CheckOwnerText(const TCatalogueCheck& check);
// "(encrypted)" in the UI language: what stands for a definition the server keeps encrypted.
QString EncryptedText();
// The referenced side of a foreign key: "Customers (CustomerID)", with its schema where it is not
// dbo.
QString ReferencedText(const TCatalogueForeignKey& key);
// "schema.name", or the bare name in dbo and where there is no schema (Access).
QString QualifiedName(const QString& schema, const QString& name);
// Whether key points at object (by name without regard to case; by schema where both have one).
bool References(const TCatalogueForeignKey& key, const TCatalogueObject& object);
// The object among these that key points at: the one of its exact name before one that differs
// only in case; null when none is.
const TCatalogueObject* ReferencedObject(const TCatalogueForeignKey& key,
                                         const QList<const TCatalogueObject*>& among);
// The UI word of a referential action ("cascade", "weitergeben").
QString ReferentialActionText(TReferentialAction action);
