// The fixed-layout lines of the structure report and the sinks they are written to. The window,
// the command-line program and the tests share this code, so a report is the same text wherever
// it is written.
#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <QByteArray>
#include <QIODevice>

// Receives the report one line at a time, without a line end.
class TReportLineSink
{
public:
    virtual ~TReportLineSink() = default;
    virtual void AddLine(const QString& line) = 0;
    // Called after the header, after every entry of the table list (written or skipped) and at the
    // end of a run, so a sink that batches its output knows a good moment to pass it on.
    virtual void Flush() {}
};

// Keeps the lines in memory; for tests and for callers that want the whole report as text.
class TStringLineSink : public TReportLineSink
{
public:
    void AddLine(const QString& line) override { m_lines.append(line); }
    const QStringList& lines() const { return m_lines; }
    // The lines, each followed by "\n".
    QString text() const;
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};

// Streams each line as UTF-8 followed by "\n" to a device (a file, stdout), 64 KiB at a time;
// memory does not grow with the report. The run's flush points are no reason to write: a report
// of thousands of small tables would be thousands of small writes.
class TDeviceLineSink : public TReportLineSink
{
public:
    explicit TDeviceLineSink(QIODevice& device);
    // Writes what is still waiting.
    ~TDeviceLineSink() override;
    void AddLine(const QString& line) override;
    // Writes what is waiting.
    void Finish();
    // False once any write to the device has failed (disk full, closed pipe).
    bool ok() const { return m_ok; }

private:
    static constexpr qsizetype kFlushSize = 64 * 1024;
    QIODevice& m_device;
    QByteArray m_buffer;
    // Stateless: half a surrogate pair at a line's end stays (as a replacement) on its line
    // rather than joining the next line's first character across the line end.
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    bool m_ok = true;
};

// The pure line compositions. Every width is a minimum: nothing is ever cut.
constexpr int kReportMargin = 6;    // blanks before every line
constexpr int kIndentStep = 4;      // blanks per indentation level
constexpr int kFrameWidth = 70;     // delimiter characters in a frame line
constexpr int kTitleFillWidth = 65; // a title is filled with delimiters up to this length

// The font the report is shown, printed and saved in (Courier New resolves to Liberation Mono).
constexpr char kReportFontFamily[] = "Courier New";
constexpr int kReportFontPointSize = 9;

// Columns the text takes in a monospace font: East Asian wide and fullwidth characters two,
// combining marks and zero-width characters none, every other character one. A surrogate pair is
// one character; a lone surrogate shows as one replacement glyph.
qsizetype DisplayWidth(const QString& text);

// A stretch of text whose characters take two columns each, in UTF-16 units.
struct TWideRun
{
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype characters = 0;

    friend bool operator==(const TWideRun&, const TWideRun&) = default;
};
// The wide stretches of text, in order; none for a text of narrow characters. Whoever draws a
// line gives each of their characters two cells of the font's narrow advance, which a fallback
// font's glyph rarely is.
QList<TWideRun> WideRuns(const QString& text);

QString ReportLine(const QString& text);
QString IndentedLine(const QString& text, int level);
QString FrameText(QChar delimiter);
// Three delimiters, a blank and the text; with fill, a blank and delimiters up to the fill width.
QString TitleText(QChar delimiter, const QString& text, bool fill);
// "%3d %-30s %-20s %5d  %1s"
QString ColumnEntry(int number, const QString& name, const QString& typeName, int length,
                    const QString& nullMark);

// Writes the report's line kinds to a sink with one delimiter character.
class TReportWriter
{
public:
    TReportWriter(TReportLineSink& sink, QChar delimiter) : m_sink(sink), m_delimiter(delimiter) {}

    void AddReportLine(const QString& text);
    void AddIndentedLine(const QString& text, int level);
    void AddSeparatorLine();
    void AddTitleLine(const QString& text, bool fill);
    void AddColumnLine(int number, const QString& name, const QString& typeName, int length,
                       const QString& nullMark);

    QChar delimiter() const { return m_delimiter; }
    TReportLineSink& sink() { return m_sink; }

private:
    TReportLineSink& m_sink;
    QChar m_delimiter;
    QString m_line;
};
