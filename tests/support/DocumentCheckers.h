// Independent readers of what the writers make, for the suites: Mermaid's own parser for the
// Markdown page's diagrams (Node.js, tests/tools/check_mermaid.mjs) and html5lib's HTML5 parser
// for the HTML page (tests/tools/check_html.py). Both are installed by scripts/install-deps.sh.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// "valid N" (N mermaid blocks, all parsed), or the first block that does not parse and why.
QString MermaidVerdict(const QByteArray& markdown);

// The member of a structure document's "objects" of that name; empty when there is none.
QJsonObject DocumentObjectNamed(const QByteArray& document, const QString& name);

// html5lib's findings: "errors" (parse errors, anything that would be fetched, ids used twice,
// links to no target), "sections" (per section id its "heading" and in-page "links"), "svg".
QJsonObject HtmlFindings(const QByteArray& html);
