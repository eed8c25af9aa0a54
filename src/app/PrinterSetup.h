// The printer a window's print command prints on: the system's default printer, or a PDF file
// when one is named (tests, and a print preview). The report and the relationship diagram both
// go through it, so they end up on the same printer.
#pragma once

#include <QString>

class QPrinter;

// Sets printer up for one job. Throws PrintError when there is no default printer.
void SetUpPrinter(QPrinter& printer, const QString& pdfTarget);
