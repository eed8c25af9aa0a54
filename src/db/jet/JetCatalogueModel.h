// The Jet catalogue as the structure model: what one opening of an Access file read (tables,
// links followed to their back-ends, indexes, relationships, properties), in the terms every
// writer reads.
#pragma once

#include "Catalogue.h"
#include "JetCatalogReader.h"
#include "JetHeader.h"

#include <QString>

// The model of catalogue, read from the file path (named as the report's header names it) whose
// header is header. Objects keep the catalogue's order; type names and lengths are the report's.
TCatalogue JetCatalogueModel(const JetCatalogue& catalogue, const JetFileHeader& header, const QString& path);

// What a relationship's grbit makes of a foreign key: enforced and the two actions.
void ApplyJetRelationFlags(std::int32_t grbit, TCatalogueForeignKey& key);

// A Connect text without its password items ("PWD=..."), as it may be shown.
QString JetConnectWithoutPassword(const QString& connect);
