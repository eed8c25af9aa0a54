// The report as a Rich Text Format document: what the window's save command writes from its pane
// (with the red search marks) and what orvane-report writes for --format rtf. Qt writes no RTF,
// so this small writer does: header, a font table naming the report's font (and a CJK one for
// wide characters, spaced to two cells each), a colour table with black and red, one paragraph
// per line. It streams to any device, so memory does not grow with
// the report.
#pragma once

#include "ReportLines.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

#include <functional>

// A stretch of a line shown in red (a search hit), in UTF-16 positions of the line.
struct TRedRun
{
    qsizetype start = 0;
    qsizetype length = 0;
};

// The text as RTF body characters: ASCII as it is, "\", "{" and "}" escaped, a tab as \tab, a
// character Windows-1252 holds as \'hh, every other one as \uN? (UTF-16 units, N signed).
QByteArray RtfEscaped(const QString& text);

class TRtfWriter : public TReportLineSink
{
public:
    // The header goes out with the first line or at Finish; fontFamily and pointSize are what
    // the document's text is set in.
    TRtfWriter(QIODevice& device, const QString& fontFamily, qreal pointSize);
    // A plain report line (no red runs): how the command line's report arrives.
    void AddLine(const QString& line) override;
    // A line with the parts the pane shows in red. Runs may come in any order and overlap.
    void AddLine(const QString& line, const QList<TRedRun>& red);
    void Flush() override;
    // Closes the document and writes what is waiting. False when any write failed.
    bool Finish();
    bool ok() const { return m_ok; }

private:
    void writeHeader();
    void append(const QByteArray& bytes);

    static constexpr qsizetype kFlushSize = 64 * 1024;
    QIODevice& m_device;
    QString m_fontFamily;
    int m_halfPoints;
    int m_wideSpacing; // twips after each wide character
    QByteArray m_buffer;
    bool m_started = false;
    bool m_firstLine = true;
    bool m_ok = true;
};

// Writes fileName as an RTF document whose lines fill gives the writer. The file is written beside
// its place and renamed over it at the end: a file that cannot be created or written throws
// std::runtime_error with the reason, and what was there keeps its bytes.
void SaveRtfFile(const QString& fileName, const QString& fontFamily, qreal pointSize,
                 const std::function<void(TRtfWriter&)>& fill);
