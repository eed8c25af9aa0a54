// The window's side of a report run: the output pane as the report's line sink, and the run's
// hooks (Break, wait cursor, progress bar, letting the window handle input between entries).
#pragma once

#include "StructureReport.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QStringList>

class QProgressBar;
class QRadioButton;
class QTextDocument;
class QTextEdit;
class TfrmMain;
class TRtfWriter;

// Writes the pane's document to writer: one line per paragraph with the stretches the search
// coloured red. An empty last paragraph is no line, so an empty pane gives an empty document.
void WritePaneRtf(const QTextDocument& document, TRtfWriter& writer);

// Shows the report in the pane while it is written. Lines are collected and appended in batches,
// each as one edit at the document's end, so earlier lines keep their layout and only the new
// ones are laid out. A batch goes out when the interval has passed or when it has grown to
// kMaxBatchLines: laying out a batch blocks the window, so a batch must stay small enough that
// input (Break above all) is handled within a fraction of a second, however fast lines come.
class TPaneLineSink : public TReportLineSink
{
public:
    static constexpr int kMaxBatchLines = 2000;

    TPaneLineSink(QTextEdit* pane, int intervalMs);
    ~TPaneLineSink() override;
    TPaneLineSink(const TPaneLineSink&) = delete;
    TPaneLineSink& operator=(const TPaneLineSink&) = delete;

    void AddLine(const QString& line) override;
    void Flush() override;
    // Appends whatever is pending now, whatever the interval says.
    void Publish();

private:
    QTextEdit* m_pane;
    int m_intervalMs;
    QStringList m_pending;
    QElapsedTimer m_shown;
    bool m_first;
    QMetaObject::Connection m_follow;
};

class TWindowRunHooks : public TReportRunHooks
{
public:
    TWindowRunHooks(TfrmMain& window, QProgressBar* bar, QRadioButton* views);
    ~TWindowRunHooks() override;
    TWindowRunHooks(const TWindowRunHooks&) = delete;
    TWindowRunHooks& operator=(const TWindowRunHooks&) = delete;

    bool CancelRequested() override;
    void BeginWait() override;
    void EndWait() override;
    void SetProgressRange(int minimum, int maximum) override;
    void StepProgress() override;
    void SetProgressPosition(int position) override;
    void ProcessEvents() override;
    bool ViewsSelectedNow() override;

private:
    TfrmMain& m_window;
    QProgressBar* m_bar;
    QRadioButton* m_views;
    bool m_waiting = false;
};
