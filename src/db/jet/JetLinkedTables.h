// Linked tables of an Access front-end. A Jet link's columns are those of the table it names in its
// back-end file, read by a reader run of their own (limits and damaged-file safety included); the
// back-end is looked for at the stored path, then under the stored file name, in any letter case,
// in the front-end's folder. A link that cannot be followed, and an ODBC link, keep no columns and
// say why; nothing here fails the front-end's opening.
#pragma once

#include "JetCatalogReader.h"

#include <QList>
#include <QString>

// Follows every link of catalogue, read from the file frontEnd. A back-end opens with the password
// its link stores (";PWD=..." in Connect), else with frontEndPassword. Each back-end file is read at
// most once, however many links point into it. The stored passwords are wiped afterwards.
void ResolveJetLinks(JetCatalogue& catalogue, const QString& frontEnd, const QString& frontEndPassword);

// The back-end file a link names, found as above ("\" separates folders as "/" does); empty when
// there is none. A Windows drive path is never taken as a path of this system; another relative path
// counts from the front-end's folder.
QString LocateJetBackEnd(const QString& stored, const QString& frontEndFolder);
