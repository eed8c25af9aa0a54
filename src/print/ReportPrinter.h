// Printing the report's lines: a plain job in the report's font, line after line from the top
// left of the printable area, long lines broken at a blank and indented, no header or footer,
// and one closing line that holds a single blank. The window's printer and orvane-report's PDF
// pages go through the same code, so the command line gives the pages the print command prints.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

class QIODevice;
class QPagedPaintDevice;

// Raised when there is nothing to print on: no default printer, or a job the printer refuses.
class PrintError : public std::runtime_error
{
public:
    explicit PrintError(const QString& message);
};

// The font the report is shown and printed in: Courier New 9 pt (Liberation Mono through
// fontconfig), fixed pitch, so the report's columns line up.
QFont ReportFont();

// Splits text into the pieces printed on successive lines. A line too long breaks at its last
// blank that fits, which is not printed; only a head without a blank breaks at its last character
// that fits. The pieces after the first are indented by the line's own indentation and four
// blanks more, so they read as its continuation. Each piece holds at least one character of text,
// so the text always advances.
QStringList BreakPrintLine(const QString& text, const std::function<bool(const QString&)>& fits);

// Prints lines on device as one job, then the closing line with a single blank. The caller names
// the job on the device (printer or PDF writer); jobName only goes into the failure's message.
// Throws PrintError when the job cannot start.
void PrintReportLines(QPagedPaintDevice& device, const QString& jobName, const QFont& font,
                      const QStringList& lines);

// The paper a PDF job is laid out on: A4 (Letter where the locale measures in US units) with
// the narrow border a printer cannot print on. The window's print into a file uses it too.
void SetReportPdfLayout(QPagedPaintDevice& device);

// The print job as a PDF document titled title, written to device. Needs a QGuiApplication (no
// display: the offscreen platform does). Throws PrintError when the document cannot start.
void PrintReportPdf(QIODevice& device, const QString& title, const QFont& font, const QStringList& lines);
