#include "ReportLines.h"

#include <QByteArray>

QString TStringLineSink::text() const
{
    QString out;
    qsizetype size = 0;
    for (const QString& line : m_lines)
        size += line.size() + 1;
    out.reserve(size);
    for (const QString& line : m_lines) {
        out += line;
        out += QLatin1Char('\n');
    }
    return out;
}

TDeviceLineSink::TDeviceLineSink(QIODevice& device) : m_device(device) {}

TDeviceLineSink::~TDeviceLineSink()
{
    Flush();
}

void TDeviceLineSink::AddLine(const QString& line)
{
    if (!m_ok)
        return;
    // Each line on its own: half a surrogate pair at a line's end stays (as a replacement) on its
    // line rather than joining the next line's first character across the line end.
    m_buffer += line.toUtf8();
    m_buffer += '\n';
    // A table of thousands of columns must not pile up unbounded between two flush points.
    if (m_buffer.size() >= kFlushSize)
        Flush();
}

void TDeviceLineSink::Flush()
{
    if (m_ok && !m_buffer.isEmpty() && m_device.write(m_buffer) != m_buffer.size())
        m_ok = false;
    m_buffer.clear();
}

QString ReportLine(const QString& text)
{
    return QString(kReportMargin, QLatin1Char(' ')) + text;
}

QString IndentedLine(const QString& text, int level)
{
    return ReportLine(QString(kIndentStep * qMax(0, level), QLatin1Char(' ')) + text);
}

QString FrameText(QChar delimiter)
{
    return QString(kFrameWidth, delimiter);
}

QString TitleText(QChar delimiter, const QString& text, bool fill)
{
    QString out = QString(3, delimiter) + QLatin1Char(' ') + text;
    if (fill) {
        // A title of the fill width or longer keeps its blank and gets no delimiter.
        out += QLatin1Char(' ');
        if (text.size() < kTitleFillWidth)
            out += QString(kTitleFillWidth - text.size(), delimiter);
    }
    return out;
}

namespace {

// Pads to a minimum width: nothing is ever cut.
QString PadRight(const QString& text, qsizetype width)
{
    return text.size() >= width ? text : text + QString(width - text.size(), QLatin1Char(' '));
}

QString PadLeft(const QString& text, qsizetype width)
{
    return text.size() >= width ? text : QString(width - text.size(), QLatin1Char(' ')) + text;
}

} // namespace

QString ColumnEntry(int number, const QString& name, const QString& typeName, int length,
                    const QString& nullMark)
{
    // "%3d %-30s %-20s %5d  %1s"
    return PadLeft(QString::number(number), 3) + QLatin1Char(' ') + PadRight(name, 30) + QLatin1Char(' ') +
           PadRight(typeName, 20) + QLatin1Char(' ') + PadLeft(QString::number(length), 5) +
           QLatin1String("  ") + PadRight(nullMark, 1);
}

void TReportWriter::AddReportLine(const QString& text)
{
    m_sink.AddLine(ReportLine(text));
}

void TReportWriter::AddIndentedLine(const QString& text, int level)
{
    m_sink.AddLine(IndentedLine(text, level));
}

void TReportWriter::AddSeparatorLine()
{
    AddReportLine(FrameText(m_delimiter));
}

void TReportWriter::AddTitleLine(const QString& text, bool fill)
{
    AddReportLine(TitleText(m_delimiter, text, fill));
}

void TReportWriter::AddColumnLine(int number, const QString& name, const QString& typeName, int length,
                                  const QString& nullMark)
{
    AddIndentedLine(ColumnEntry(number, name, typeName, length, nullMark), 1);
}
