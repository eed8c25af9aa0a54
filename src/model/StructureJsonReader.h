// Reads a structure document ("orvane-structure" as StructureJson writes it) back into the model,
// so a snapshot kept in a repository can stand for a database in a comparison. Members come in any
// order, after a byte order mark or not; a later version only adds members and object kinds, and
// what this reader does not know it skips (docs/STRUCTURE-JSON.md, "Later versions"). Anything
// that is not such a document is refused with a sentence naming the place, never guessed.
#pragma once

#include "Catalogue.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

struct TStructureDocument
{
    QString program; // the writing program's "Orvane <version>"; empty when the document has none
    // 1: the tables (or views) alone, without what version 2 added; 2: the whole database.
    int version = 0;
    TCatalogue catalogue;
};

// False with error set (e.g. "objects[1].columns[0].length: a whole number expected") when bytes
// is not a structure document of version 1 or later; document is then left as it was. The text is read in
// one pass straight into the model, without a document tree or the whole text beside it, so a
// snapshot of a large database costs little more than its model.
bool ReadStructureJson(QIODevice& device, TStructureDocument& document, QString& error);
bool ReadStructureJson(const QByteArray& bytes, TStructureDocument& document, QString& error);

// Whether bytes look like a JSON document at all (the first non-blank character after any byte
// order mark is '{'), so a command line can tell a snapshot from a database file without trusting
// the file name.
bool LooksLikeJsonDocument(const QByteArray& bytes);
