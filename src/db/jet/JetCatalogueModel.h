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

// The same model made while the catalogue is still being read: each local table becomes its
// model object as it arrives (add), so its reader form need not be kept; finish adds what comes
// later (the links, followed, and the relationships) and puts the objects in catalogue order.
class JetCatalogueModelBuilder
{
public:
    JetCatalogueModelBuilder(const JetFileHeader& header, const QString& path);
    void add(const JetTableInfo& table);
    // rest holds the tables not given to add; the objects keep JetNameLess order, equal names
    // the order in which they came.
    TCatalogue finish(const JetCatalogue& rest);

private:
    JetFileHeader m_header;
    TCatalogue m_model;
};

// What a relationship's grbit makes of a foreign key: enforced and the two actions.
void ApplyJetRelationFlags(std::int32_t grbit, TCatalogueForeignKey& key);

// A Connect text without its password items ("PWD=..."), as it may be shown.
QString JetConnectWithoutPassword(const QString& connect);
