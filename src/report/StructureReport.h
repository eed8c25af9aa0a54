// The Output run: the framed header and one block per checked entry of the table list, read
// through the connection facade and written to a line sink. The window drives it with its pane,
// progress bar, wait cursor and Break command; the command-line program with a file or stdout.
#pragma once

#include "Catalogue.h"
#include "ProviderType.h"
#include "ReportLines.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <functional>
#include <memory>

class TKorvConnection;

// The version-information entry the header's program line names (the file version).
constexpr int kReportVersionKey = 2;

// One entry of the table list as the run sees it.
struct TReportEntry
{
    QString text;
    bool checked = false;
};

// What the header shows and how the blocks are read.
struct TReportSettings
{
    TProviderType provider = ptAccess;
    QString server;
    QString database;
    // The version field of the active provider page; no version line when empty.
    QString versionText;
    QChar delimiter = QLatin1Char('*');
    // The list holds views, so each block is written by the view writer (Access: queries, each
    // written from the structure model with its type, parameters and SQL).
    bool views = false;
    // The report's date; replaceable so reports can be compared exactly.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // Date and time are formatted in this locale's short date and long time formats.
    QLocale locale;
    // The extended report: each block gets its keys, indexes, relationships, defaults and
    // descriptions from this model, under its column lines. None: the plain report.
    std::shared_ptr<const TCatalogue> structure;
};

// The window's part in a run. Every hook has a harmless default, so the command-line program and
// the tests only override what they need.
class TReportRunHooks
{
public:
    virtual ~TReportRunHooks() = default;
    // Polled before each entry; a true answer ends the run silently.
    virtual bool CancelRequested() { return false; }
    // Wait cursor. EndWait is called on every way out once BeginWait was called.
    virtual void BeginWait() {}
    virtual void EndWait() {}
    virtual void SetProgressRange(int minimum, int maximum)
    {
        Q_UNUSED(minimum)
        Q_UNUSED(maximum)
    }
    virtual void StepProgress() {}
    virtual void SetProgressPosition(int position) { Q_UNUSED(position) }
    // Called after each entry so that painting and the Break command get their turn.
    virtual void ProcessEvents() {}
    // Whether views are selected at this moment. A run chooses its writer once, at its start; a run
    // that started with tables asks this before each table, because when the choice was switched
    // to views meanwhile, the table is looked up as a view.
    virtual bool ViewsSelectedNow() { return false; }
};

enum class TReportOutcome
{
    EmptyList, // no entries: nothing was written
    Completed,
    Cancelled // the header and the blocks so far stand; no closing frame line
};

// "14.03.2026 09:05:07"; at exactly midnight only the date. The long time format is used without
// its time-zone part, which the report has no use for.
QString ReportDateTimeText(const QDateTime& when, const QLocale& locale);

// Writes the report into writer's sink. The caller empties its output beforehand. A failure
// outside the blocks (in the header, in the loop) propagates after the wait cursor was reset;
// failures inside one block end that block silently.
TReportOutcome RunStructureReport(TKorvConnection& connection, const TReportSettings& settings,
                                  const QList<TReportEntry>& entries, TReportLineSink& sink,
                                  TReportRunHooks& hooks);

// The header lines alone (from the opening frame to the frame after the database and version).
void WriteReportHeader(TReportWriter& writer, const TReportSettings& settings);

// One block: the title line and one line per column. Never throws.
void WriteTableStructure(TKorvConnection& connection, TReportWriter& writer, const QString& name,
                         bool lookUpAsView = false);
void WriteViewStructure(TKorvConnection& connection, TReportWriter& writer, const QString& name);
