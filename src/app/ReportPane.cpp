#include "ReportPane.h"

#include "EngineTraits.h"
#include "Main.h"
#include "RtfWriter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

void WritePaneRtf(const QTextDocument& document, TRtfWriter& writer)
{
    const QTextBlock last = document.lastBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block == last && block.length() <= 1)
            break;
        QList<TRedRun> red;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QBrush brush = fragment.charFormat().foreground();
            if (brush.style() != Qt::NoBrush && brush.color() == QColor(Qt::red))
                red.append({fragment.position() - block.position(), fragment.length()});
        }
        writer.AddLine(block.text(), red);
    }
}

namespace {

// runs are positions in text, which the cursor's document holds from offset on.
void FitWideRuns(QTextCursor& cursor, int offset, const QString& text, const QList<TWideRun>& runs,
                 const QFont& font)
{
    if (runs.isEmpty())
        return;
    // The pane's font has no wide glyphs; the fallback font's are seldom two of its cells wide.
    // Spacing after each of them makes up the difference, so the columns after them line up.
    const QFontMetricsF metrics(font);
    const qreal cell = metrics.horizontalAdvance(QLatin1Char(' '));
    for (const TWideRun& run : runs) {
        const qreal glyphs = metrics.horizontalAdvance(text.mid(run.start, run.length));
        QTextCharFormat spacing;
        spacing.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        spacing.setFontLetterSpacing(2 * cell - glyphs / qreal(run.characters));
        cursor.setPosition(offset + int(run.start));
        cursor.setPosition(offset + int(run.start + run.length), QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(spacing);
    }
    cursor.movePosition(QTextCursor::End);
}

} // namespace

TPaneLineSink::TPaneLineSink(QTextEdit* pane, int intervalMs)
    : m_pane(pane), m_intervalMs(intervalMs), m_first(pane->document()->isEmpty())
{
    // The pane follows the report as it grows; its scroll range learns of new lines only after
    // they were laid out, so the scrolling goes with the range. The user's cursor and selection
    // stay where they are.
    QScrollBar* bar = pane->verticalScrollBar();
    m_follow = QObject::connect(bar, &QScrollBar::rangeChanged, bar,
                                [bar](int, int maximum) { bar->setValue(maximum); });
}

TPaneLineSink::~TPaneLineSink()
{
    QObject::disconnect(m_follow);
}

void TPaneLineSink::AddLine(const QString& line)
{
    m_pending.append(line);
}

void TPaneLineSink::Flush()
{
    if (m_pending.size() < kMaxBatchLines && m_shown.isValid() && m_shown.elapsed() < m_intervalMs)
        return;
    Publish();
}

void TPaneLineSink::Publish()
{
    m_shown.start();
    if (m_pending.isEmpty())
        return;
    QString text;
    QList<TWideRun> wide;
    for (const QString& line : std::as_const(m_pending)) {
        if (!m_first)
            text += QChar::ParagraphSeparator;
        m_first = false;
        for (TWideRun run : WideRuns(line)) {
            run.start += text.size();
            wide.append(run);
        }
        text += line;
    }
    m_pending.clear();
    QTextCursor cursor(m_pane->document());
    cursor.movePosition(QTextCursor::End);
    const int offset = cursor.position();
    cursor.beginEditBlock();
    cursor.insertText(text);
    FitWideRuns(cursor, offset, text, wide, m_pane->font());
    cursor.endEditBlock();
    QScrollBar* bar = m_pane->verticalScrollBar();
    bar->setValue(bar->maximum());
}

TWindowRunHooks::TWindowRunHooks(TfrmMain& window, QProgressBar* bar, QRadioButton* views)
    : m_window(window), m_bar(bar), m_views(views)
{
}

TWindowRunHooks::~TWindowRunHooks()
{
    if (m_waiting)
        QApplication::restoreOverrideCursor();
}

bool TWindowRunHooks::CancelRequested()
{
    return m_window.CancelRequested;
}

void TWindowRunHooks::BeginWait()
{
    if (!m_waiting)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    m_waiting = true;
}

void TWindowRunHooks::EndWait()
{
    if (m_waiting)
        QApplication::restoreOverrideCursor();
    m_waiting = false;
}

void TWindowRunHooks::SetProgressRange(int minimum, int maximum)
{
    m_bar->setRange(minimum, maximum);
}

void TWindowRunHooks::StepProgress()
{
    m_bar->setValue(m_bar->value() + 1);
}

void TWindowRunHooks::SetProgressPosition(int position)
{
    m_bar->setValue(position);
}

void TWindowRunHooks::ProcessEvents()
{
    QCoreApplication::processEvents();
}

bool TWindowRunHooks::ViewsSelectedNow()
{
    return EngineTraits(m_window.Provider()).hasViews && m_views->isChecked();
}
