// What the Markdown page adds above its tables: a table of contents linking to each table's
// heading and a Mermaid erDiagram of the relationships; and the anchors by which a foreign key
// links to the table it refers to and back. Anchors are the slugs Git hosting sites give headings
// (GitHub's rule: lower case, punctuation dropped, blanks as hyphens, "-1", "-2" after repeats),
// counted over every heading of the page, so two names with one slug still get two anchors.
#pragma once

#include "Catalogue.h"
#include "Diagram.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// A heading's slug before repeats are counted.
QString MarkdownSlug(const QString& heading);

class TMarkdownAnchors
{
public:
    // headings: the page's headings above the tables', in their order.
    TMarkdownAnchors(const QStringList& headings, const QList<const TCatalogueObject*>& objects);

    // The anchor of a heading above the tables, of a documented table, or empty.
    QString heading(qsizetype index) const { return m_headings.value(index); }
    QString anchor(const TCatalogueObject* object) const { return m_objects.value(object); }
    // The documented table a key refers to, or null.
    const TCatalogueObject* referenced(const TCatalogueForeignKey& key) const;
    // Markdown for a table's name: a link to its heading where it is on the page.
    QString objectText(const TCatalogueObject& object) const;
    // The referenced side of a key, "Customers (CustomerID)", its table linked where it can be.
    QString referencedText(const TCatalogueForeignKey& key) const;

private:
    QStringList m_headings;
    QHash<const TCatalogueObject*, QString> m_objects;
    QList<const TCatalogueObject*> m_documented;
};

// The headings the overview puts above the tables (contents; relationships when there are any
// diagrams), in the UI language, for the anchors.
QStringList MarkdownOverviewHeadings(const QList<const TCatalogueObject*>& objects);

// The table of contents and the Mermaid blocks: one of the whole database up to the diagram
// limit, beyond it one per connected group and one of the unrelated tables per limit.
void WriteMarkdownOverview(QString& out, const QList<const TCatalogueObject*>& objects,
                           const TMarkdownAnchors& anchors, const TDiagramOptions& options);

// The erDiagram of one picture: names Mermaid cannot take bare are quoted, and one it cannot
// quote (a '"', '%' or '\\' in it) gets an alias whose text shows it with look-alike characters.
// Without the ```mermaid fence; ends with a line end.
QString MermaidErDiagram(const TDiagramGraph& graph, const TDiagramPanel& panel);
