// The structure document for scripts: the model of an opened database as JSON of the
// "orvane-structure" format, version 2 (docs/STRUCTURE-JSON.md and
// docs/orvane-structure.schema.json describe it). Keys come in a fixed order and a value that is
// unknown or empty is left out, so two documents of the same structure are the same bytes and a
// repository's diff of two snapshots shows only what changed.
#pragma once

#include "Catalogue.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

constexpr int kStructureJsonVersion = 2;

// The document for the objects chosen (each one of catalogue's objects, in the order given).
// program is the "Orvane <version>" text. UTF-8, two-blank indentation, ends with a line end.
QByteArray StructureJson(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                         const QString& program);
// The same document written to device in parts; false when a write failed.
bool WriteStructureJson(QIODevice& device, const TCatalogue& catalogue,
                        const QList<const TCatalogueObject*>& objects, const QString& program);

// What a document of the whole database holds beside its tables: the views (or Access's queries),
// the routines, the sequences and the synonyms, each kind in name order; the engine's own objects
// (systemObject) only with systemObjects.
QList<const TCatalogueObject*> ObjectsBesideTables(const TCatalogue& catalogue, bool systemObjects);

// Indexes and foreign keys as the documents list them: by name, without regard to case.
QList<TCatalogueIndex> IndexesByName(QList<TCatalogueIndex> indexes);
QList<TCatalogueForeignKey> ForeignKeysByName(QList<TCatalogueForeignKey> keys);
