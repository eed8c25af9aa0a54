// The outputs of a structure comparison: the difference report in the structure report's frame
// style (for text, RTF and PDF), the "orvane-comparison" JSON document and a Markdown page.
#pragma once

#include "ReportLines.h"
#include "StructureCompare.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

constexpr int kComparisonJsonVersion = 1;

// One side as the outputs name it.
struct TComparisonSide
{
    const TCatalogue* catalogue = nullptr;
    QString snapshot; // the JSON file the side was read from; empty for an opened database
};

struct TComparisonSettings
{
    TComparisonSide baseline;
    TComparisonSide current;
    QChar delimiter = QLatin1Char('*');
    QDateTime when = QDateTime::currentDateTime();
    QLocale locale;
};

// Header naming both sides, then the differences grouped by table, then their count.
void WriteComparisonReport(TReportLineSink& sink, const TComparisonSettings& settings,
                           const TStructureComparison& comparison);

// "No differences", "1 difference", "12 differences" in the UI language.
QString ComparisonCountText(qsizetype count);

// program is the "Orvane <version>" text.
QByteArray ComparisonJson(const TComparisonSettings& settings, const TStructureComparison& comparison,
                          const QString& program);
QByteArray ComparisonMarkdown(const TComparisonSettings& settings, const TStructureComparison& comparison,
                              const QString& program);
