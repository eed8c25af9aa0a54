// The seam between a provider's database object and the structure model: the object that stands
// for an opened database (the Jet catalogue, a SQL Server database) hands out its TCatalogue,
// read once and kept, so the writers never learn which engine it came from.
#pragma once

#include "Catalogue.h"

#include <memory>

class TCatalogueSource
{
public:
    virtual ~TCatalogueSource() = default;
    // The whole structure; read on the first call and kept. Throws AutomationError with the
    // engine's message when it cannot be read: a structure that failed is never handed out as
    // an empty one.
    virtual std::shared_ptr<const TCatalogue> StructureModel() = 0;
};
