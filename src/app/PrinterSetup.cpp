#include "PrinterSetup.h"

#include "ReportPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>

void SetUpPrinter(QPrinter& printer, const QString& pdfTarget)
{
    if (pdfTarget.isEmpty()) {
        const QPrinterInfo target = QPrinterInfo::defaultPrinter();
        if (target.isNull())
            throw PrintError(QStringLiteral("Es ist kein Standarddrucker eingerichtet."));
        printer.setPrinterName(target.printerName());
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfTarget);
        // The paper orvane-report's PDF is laid out on, so both give the same pages.
        SetReportPdfLayout(printer);
    }
}
