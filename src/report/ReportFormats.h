// The output formats, said once: each format's name, what it is, its file extension, which
// sources and options it takes and the writer that makes it. The command line's parsing, --help,
// dispatch and man page test, and the window's save dialogs all read this one table.
#pragma once

#include "Catalogue.h"
#include "ComparisonReport.h"
#include "Diagram.h"
#include "StructureCompare.h"
#include "StructureReport.h"

#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>

enum class TReportFormat
{
    Text,
    Rtf,
    Pdf,
    Json,
    Markdown,
    Svg,
    Dot,
    Html
};

// Lays report lines out on pages as the window's print command does; false when it failed.
using TPageWriter = std::function<bool(QIODevice& device, const QString& title, const QStringList& lines)>;

// What a report's writer is given.
struct TReportOutput
{
    // The line formats run the report through the connection.
    TKorvConnection* connection = nullptr;
    TReportSettings settings;
    QList<TReportEntry> entries;
    // The structure formats write the chosen objects of settings.structure.
    QList<const TCatalogueObject*> objects;
    QString program; // "Orvane <version>"
    TDiagramOptions diagram;
    TPageWriter pages;
};

// What a comparison's writer is given.
struct TComparisonOutput
{
    const TComparisonSettings* settings = nullptr;
    const TStructureComparison* comparison = nullptr;
    QString program;
    TPageWriter pages;
};

struct TReportFormatInfo
{
    const char* name; // "svg", as --format takes it
    TReportFormat format;
    const char* extension; // of its files, without the dot
    const char* help;      // what --help says of it
    // Written from the structure model (which is then read whatever --detail says) rather than
    // from the report's lines.
    bool structure;
    bool diagram; // takes --diagram-columns and --diagram-limit
    // Each false when a write failed; writeComparison is null for a format that has no comparison.
    bool (*write)(QIODevice& device, const TReportOutput& output);
    bool (*writeComparison)(QIODevice& device, const TComparisonOutput& output);
};

// Every format, in the order --help lists them; the first is the default.
std::span<const TReportFormatInfo> ReportFormats();
// The format --format names (exactly as spelled), or null.
const TReportFormatInfo* FindReportFormat(const QString& name);
const TReportFormatInfo& ReportFormatInfo(TReportFormat format);
// "text, rtf, pdf, ..., html" or with another joining word before the last: the names of the
// formats for which take holds, for messages.
QString ReportFormatNames(bool (*take)(const TReportFormatInfo&), const QString& lastJoin);
