#include "ReportPrinter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

PrintError::PrintError(const QString& message) : std::runtime_error(message.toStdString()) {}

QStringList BreakPrintLine(const QString& text, const std::function<bool(const QString&)>& fits)
{
    QStringList pieces;
    QString rest = text;
    // A single character is printed whether it fits or not, so the text always advances.
    while (rest.size() > 1 && !fits(rest)) {
        // The longest head that fits, found by halving: report lines are short, pages narrow.
        qsizetype low = 1, high = rest.size() - 1;
        while (low < high) {
            const qsizetype middle = (low + high + 1) / 2;
            if (fits(rest.left(middle)))
                low = middle;
            else
                high = middle - 1;
        }
        pieces << rest.left(low);
        rest = rest.mid(low);
    }
    pieces << rest;
    return pieces;
}

void PrintLines(QPrinter& printer, const QString& title, const QFont& font, const QStringList& lines)
{
    printer.setDocName(title);
    printer.setFullPage(false);
    QPainter painter;
    if (!painter.begin(&printer))
        throw PrintError(QStringLiteral("Der Druckauftrag \"%1\" konnte nicht begonnen werden.").arg(title));

    QFont printFont(font);
    printFont.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() : 9);
    painter.setFont(printFont);
    const QFontMetricsF metrics(printFont, &printer);
    const QRectF area(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
    const qreal lineHeight = metrics.lineSpacing();
    const auto fits = [&](const QString& piece) { return metrics.horizontalAdvance(piece) <= area.width(); };

    qreal y = 0;
    for (const QString& line : lines) {
        for (const QString& piece : BreakPrintLine(line, fits)) {
            if (y + lineHeight > area.height() && y > 0) {
                printer.newPage();
                y = 0;
            }
            painter.drawText(QPointF(0, y + metrics.ascent()), piece);
            y += lineHeight;
        }
    }
    painter.end();
}
