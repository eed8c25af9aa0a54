#include "ReportLines.h"

#include <QByteArray>

#include <charconv>

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

TDeviceLineSink::TDeviceLineSink(QIODevice& device) : m_device(device), m_encoder(QStringConverter::Utf8)
{
    m_buffer.reserve(kFlushSize + 4096);
}

TDeviceLineSink::~TDeviceLineSink()
{
    Flush();
}

void TDeviceLineSink::AddLine(const QString& line)
{
    if (!m_ok)
        return;
    const qsizetype used = m_buffer.size();
    m_buffer.resize(used + m_encoder.requiredSpace(line.size()) + 1);
    char* end = m_encoder.appendToBuffer(m_buffer.data() + used, line);
    *end++ = '\n';
    m_buffer.resize(end - m_buffer.constData());
    // A table of thousands of columns must not pile up unbounded between two flush points.
    if (m_buffer.size() >= kFlushSize)
        Flush();
}

void TDeviceLineSink::Flush()
{
    if (m_ok && !m_buffer.isEmpty()) {
        if (m_device.write(m_buffer) != m_buffer.size())
            m_ok = false;
    }
    m_buffer.resize(0);
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

void AppendBlanks(QString& out, qsizetype count)
{
    if (count > 0)
        out.resize(out.size() + count, QLatin1Char(' '));
}

void AppendLeft(QString& out, const QString& text, qsizetype width)
{
    out += text;
    AppendBlanks(out, width - text.size());
}

void AppendRight(QString& out, qint64 number, qsizetype width)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    const qsizetype size = result.ptr - digits;
    AppendBlanks(out, width - size);
    out += QLatin1StringView(digits, size);
}

// The report writes tens of thousands of these lines; they are composed in one buffer, without
// the temporaries that padding each field separately would cost.
void AppendColumnEntry(QString& out, int number, const QString& name, const QString& typeName, int length,
                       const QString& nullMark)
{
    out.reserve(out.size() + 64 + name.size() + typeName.size() + nullMark.size());
    AppendRight(out, number, 3);
    out += QLatin1Char(' ');
    AppendLeft(out, name, 30);
    out += QLatin1Char(' ');
    AppendLeft(out, typeName, 20);
    out += QLatin1Char(' ');
    AppendRight(out, length, 5);
    out += QLatin1String("  ");
    AppendLeft(out, nullMark, 1);
}

} // namespace

QString ColumnEntry(int number, const QString& name, const QString& typeName, int length,
                    const QString& nullMark)
{
    QString out;
    AppendColumnEntry(out, number, name, typeName, length, nullMark);
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
    QString line;
    line.reserve(kReportMargin + kIndentStep + 64 + name.size() + typeName.size() + nullMark.size());
    AppendBlanks(line, kReportMargin + kIndentStep);
    AppendColumnEntry(line, number, name, typeName, length, nullMark);
    m_sink.AddLine(line);
}
