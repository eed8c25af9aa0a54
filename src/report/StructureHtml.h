// The structure as documentation in one HTML file that needs nothing else (styles, diagrams and
// the filter's script are inside it, so opening it makes no request): a header naming the
// database, a table of contents with a filter box, the relationship diagrams, then per table its
// columns, keys, indexes, foreign keys and referencing tables (linked both ways), descriptions
// and the diagram of its neighbours. Labels are in the UI language; it prints, and reads in a
// narrow window.
#pragma once

#include "Catalogue.h"
#include "Diagram.h"

#include <QByteArray>
#include <QList>
#include <QString>

// UTF-8 HTML5. program is the "Orvane <version>" text. Throws TDiagramLayoutError when Graphviz
// fails.
QByteArray StructureHtml(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                         const QString& program, const TDiagramOptions& diagram);
