// The structure as a Markdown page for a wiki or a repository: a heading for the database, one per
// table with a GitHub-style table of its columns, then its keys, indexes and foreign keys. Labels
// are in the UI language; every text from the database is escaped so that it renders as itself.
#pragma once

#include "Catalogue.h"
#include "Diagram.h"

#include <QByteArray>
#include <QList>
#include <QString>

// UTF-8, ends with a line end. program is the "Orvane <version>" text named under the heading.
// Above the tables come their contents and the relationship diagram (MarkdownDiagram.h), drawn
// as diagram says.
QByteArray StructureMarkdown(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                             const QString& program, const TDiagramOptions& diagram = {});

// A text as Markdown shows it literally, in a paragraph or a list item: the characters that would
// start markup are escaped, and a line break is a hard line break (a backslash at the line's end),
// which a renderer that refuses HTML keeps too.
QString MarkdownText(const QString& text);
// The same where only one line fits (a heading, a table cell): a "|" cannot end the cell, and a
// line break is shown as the two characters \n.
QString MarkdownLineText(const QString& text);
