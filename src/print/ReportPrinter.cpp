#include "ReportPrinter.h"

#include "ReportLines.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

// How much further than its own indentation a line continues after a break: one step of the
// report's indentation.
constexpr int kContinuationIndent = 4;

} // namespace

PrintError::PrintError(const QString& message) : std::runtime_error(message.toStdString()) {}

QFont ReportFont()
{
    QFont font(QString::fromLatin1(kReportFontFamily), kReportFontPointSize);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

QStringList BreakPrintLine(const QString& text, const std::function<bool(const QString&)>& fits)
{
    qsizetype lead = 0;
    while (lead < text.size() && text.at(lead) == u' ')
        ++lead;
    const QString indent(lead + kContinuationIndent, u' ');
    QStringList pieces;
    QString prefix; // the indentation of a continued line; none on the first
    QString rest = text;
    for (;;) {
        if (fits(prefix + rest) || (prefix.isEmpty() && rest.size() <= 1)) {
            pieces << prefix + rest;
            return pieces;
        }
        // The longest head that fits, found by halving: report lines are short, pages narrow.
        qsizetype low = 0, high = rest.size() - 1;
        while (low < high) {
            const qsizetype middle = (low + high + 1) / 2;
            if (fits(prefix + rest.left(middle)))
                low = middle;
            else
                high = middle - 1;
        }
        if (low == 0 && !prefix.isEmpty()) {
            // Paper too narrow for the indentation: the rest goes on unindented.
            prefix.clear();
            continue;
        }
        // A single character is printed whether it fits or not, so the text always advances.
        qsizetype cut = std::max<qsizetype>(low, 1);
        qsizetype next = cut;
        // Rather at the last blank of the head (or the one right after it) than inside a word;
        // the blanks there are not printed. A line's own indentation is no place to break.
        const qsizetype first = prefix.isEmpty() ? lead : 0;
        for (qsizetype at = cut; at > first; --at) {
            if (at < rest.size() && rest.at(at) == u' ') {
                qsizetype end = at;
                while (end > first && rest.at(end - 1) == u' ')
                    --end;
                if (end == first)
                    break;
                next = at;
                while (next < rest.size() && rest.at(next) == u' ')
                    ++next;
                cut = end;
                break;
            }
        }
        pieces << prefix + rest.left(cut);
        rest = rest.mid(next);
        prefix = indent;
        if (rest.isEmpty())
            return pieces;
    }
}

void PrintReportLines(QPagedPaintDevice& device, const QString& jobName, const QFont& font,
                      const QStringList& lines)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw PrintError(
            QStringLiteral("Der Druckauftrag \"%1\" konnte nicht begonnen werden.").arg(jobName));

    QFont printFont(font);
    printFont.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() : 9);
    painter.setFont(printFont);
    const QFontMetricsF metrics(printFont, &device);
    // The painter's origin is the printable area's top left; its size is the device's.
    const QSizeF area(device.width(), device.height());
    const qreal lineHeight = metrics.lineSpacing();
    const qreal cell = metrics.horizontalAdvance(QLatin1Char(' '));
    // A wide character takes two cells however wide the fallback font draws it.
    const auto fits = [&](const QString& piece) {
        const qreal width =
            WideRuns(piece).isEmpty() ? metrics.horizontalAdvance(piece) : qreal(DisplayWidth(piece)) * cell;
        return width <= area.width();
    };
    const auto draw = [&](qreal baseline, const QString& piece) {
        const QList<TWideRun> runs = WideRuns(piece);
        if (runs.isEmpty()) {
            painter.drawText(QPointF(0, baseline), piece);
            return;
        }
        qsizetype done = 0;
        const auto drawNarrow = [&](qsizetype end) {
            if (end > done)
                painter.drawText(QPointF(qreal(DisplayWidth(piece.left(done))) * cell, baseline),
                                 piece.mid(done, end - done));
            done = end;
        };
        for (const TWideRun& run : runs) {
            drawNarrow(run.start);
            // Each wide character on its own, in the middle of its two cells.
            qreal x = qreal(DisplayWidth(piece.left(run.start))) * cell;
            for (qsizetype i = run.start; i < run.start + run.length;) {
                const qsizetype units = piece.at(i).isHighSurrogate() ? 2 : 1;
                const QString glyph = piece.mid(i, units);
                painter.drawText(QPointF(x + (2 * cell - metrics.horizontalAdvance(glyph)) / 2, baseline),
                                 glyph);
                x += 2 * cell;
                i += units;
            }
            done = run.start + run.length;
        }
        drawNarrow(piece.size());
    };

    qreal y = 0;
    const auto printLine = [&](const QString& line) {
        for (const QString& piece : BreakPrintLine(line, fits)) {
            if (y + lineHeight > area.height() && y > 0) {
                device.newPage();
                y = 0;
            }
            draw(y + metrics.ascent(), piece);
            y += lineHeight;
        }
    };
    for (const QString& line : lines)
        printLine(line);
    printLine(QStringLiteral(" "));
    painter.end();
}

void SetReportPdfLayout(QPagedPaintDevice& device)
{
    const QPageSize paper(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                              ? QPageSize::Letter
                              : QPageSize::A4);
    device.setPageLayout(
        QPageLayout(paper, QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Point));
}

void PrintReportPdf(QIODevice& device, const QString& title, const QFont& font, const QStringList& lines)
{
    QPdfWriter writer(&device);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Orvane"));
    // The resolution the window's printer works at, so lines break at the same places.
    writer.setResolution(1200);
    SetReportPdfLayout(writer);
    PrintReportLines(writer, title, font, lines);
}
