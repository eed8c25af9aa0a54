// Printing the output pane's lines: a plain job in the pane's font, line after line from the top
// left of the printable area, long lines broken where they stop fitting, no header or footer.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

class QPrinter;

// Raised when there is nothing to print on: no default printer, or a job the printer refuses.
class PrintError : public std::runtime_error
{
public:
    explicit PrintError(const QString& message);
};

// Splits text into the pieces printed on successive lines: each piece as long as fits(piece)
// allows, at least one character, so the text always advances.
QStringList BreakPrintLine(const QString& text, const std::function<bool(const QString&)>& fits);

// Prints lines on printer as one job named title. Throws PrintError when the job cannot start.
void PrintLines(QPrinter& printer, const QString& title, const QFont& font, const QStringList& lines);
