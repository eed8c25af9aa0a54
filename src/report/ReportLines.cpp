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

TDeviceLineSink::~TDeviceLineSink()
{
    Flush();
}

void TDeviceLineSink::AddLine(const QString& line)
{
    if (!m_ok)
        return;
    m_buffer += line.toUtf8();
    m_buffer += '\n';
    // A table of thousands of columns must not pile up unbounded between two flush points.
    if (m_buffer.size() >= 64 * 1024)
        Flush();
}

void TDeviceLineSink::Flush()
{
    if (m_ok && !m_buffer.isEmpty()) {
        if (m_device.write(m_buffer) != m_buffer.size())
            m_ok = false;
    }
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

QString ColumnEntry(int number, const QString& name, const QString& typeName, int length,
                    const QString& nullMark)
{
    const QLatin1Char blank(' ');
    QString out;
    out.reserve(64 + name.size() + typeName.size());
    out += QString::number(number).rightJustified(3, blank);
    out += blank;
    out += name.leftJustified(30, blank);
    out += blank;
    out += typeName.leftJustified(20, blank);
    out += blank;
    out += QString::number(length).rightJustified(5, blank);
    out += QLatin1String("  ");
    out += nullMark.leftJustified(1, blank);
    return out;
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
