// The diagram as SVG: a file of its own (SVG 1.1, --format svg) or inline in the HTML page. Names
// are text, not outlines, so the picture can be searched and read aloud; each table is a group
// titled with its name and each relationship one titled with its key and rules, which browsers
// show as tooltips.
#pragma once

#include "DiagramLayout.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

struct TDiagramSvgOptions
{
    // A document of its own (XML declaration, namespace, version); otherwise an element for an
    // HTML page, where the parser supplies the namespace.
    bool standalone = true;
    QString title;    // the document's title
    QString idPrefix; // before every id, so that several pictures on a page keep theirs apart
    // The page address a table's box links to (HTML); empty or unset: no link.
    std::function<QString(int box)> boxLink;
};

QByteArray DiagramSvg(const TDiagramGraph& graph, const QList<TDiagramPicture>& pictures,
                      const TDiagramSvgOptions& options);

// Text for XML content or an attribute value: markup characters as entities; characters XML 1.0
// cannot hold become U+FFFD.
QString XmlText(const QString& text);

// What names the database in a picture's or a document's title: a server's database by its name,
// a file by the file's name.
QString DocumentTitle(const TCatalogue& catalogue);

// The objects' whole diagram, planned and laid out: an SVG document titled with the database, or
// the Graphviz source of the same pictures.
QByteArray StructureDiagramSvg(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                               const TDiagramOptions& options);
QByteArray StructureDiagramDot(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                               const TDiagramOptions& options);
