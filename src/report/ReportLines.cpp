#include "ReportLines.h"

#include <QByteArray>

#include <unicode/uchar.h>

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

namespace {

int CharacterWidth(char32_t c)
{
    // The common case costs no table look-up; names are mostly ASCII.
    if (c >= 0x20 && c < 0x7f)
        return 1;
    const auto uc = static_cast<UChar32>(c);
    switch (u_charType(uc)) {
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_FORMAT_CHAR:
        return 0;
    default:
        break;
    }
    // The medial vowels and final consonants of Hangul syllables written as letters join the
    // initial consonant's cell.
    if (c >= 0x1160 && c <= 0x11ff)
        return 0;
    switch (u_getIntPropertyValue(uc, UCHAR_EAST_ASIAN_WIDTH)) {
    case U_EA_WIDE:
    case U_EA_FULLWIDTH:
        return 2;
    default:
        return 1;
    }
}

} // namespace

qsizetype DisplayWidth(const QString& text)
{
    qsizetype width = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar unit = text.at(i);
        if (unit.unicode() >= 0x20 && unit.unicode() < 0x7f) {
            ++width;
        } else if (unit.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            width += CharacterWidth(QChar::surrogateToUcs4(unit, text.at(i + 1)));
            ++i;
        } else if (unit.isSurrogate()) {
            ++width;
        } else {
            width += CharacterWidth(unit.unicode());
        }
    }
    return width;
}

QList<TWideRun> WideRuns(const QString& text)
{
    QList<TWideRun> runs;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        const QChar unit = text.at(i);
        if (unit.unicode() < 0x7f) {
            ++i;
            continue;
        }
        const bool pair = unit.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const bool wide = pair ? CharacterWidth(QChar::surrogateToUcs4(unit, text.at(i + 1))) == 2
                               : !unit.isSurrogate() && CharacterWidth(unit.unicode()) == 2;
        if (wide) {
            if (!runs.isEmpty() && runs.last().start + runs.last().length == i) {
                runs.last().length += units;
            } else {
                runs.append({i, units, 0});
            }
            ++runs.last().characters;
        }
        i += units;
    }
    return runs;
}

QString ReportLine(const QString& text)
{
    return QString(kReportMargin, QLatin1Char(' ')) + text;
}

QString IndentedLine(const QString& text, int level)
{
    QString line(kReportMargin + kIndentStep * qMax(0, level), QLatin1Char(' '));
    line += text;
    return line;
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
        const qsizetype width = DisplayWidth(text);
        if (width < kTitleFillWidth)
            out += QString(kTitleFillWidth - width, delimiter);
    }
    return out;
}

namespace {

// Pads to a minimum display width, so the next field starts in the same column whatever the
// characters before it; nothing is ever cut. Lines are built in place: a report of a large
// catalogue has tens of thousands of them.
void AppendPaddedRight(QString& out, const QString& text, qsizetype width)
{
    out += text;
    const qsizetype used = DisplayWidth(text);
    if (used < width)
        out.resize(out.size() + width - used, QLatin1Char(' '));
}

void AppendPaddedLeft(QString& out, const QString& text, qsizetype width)
{
    const qsizetype used = DisplayWidth(text);
    if (used < width)
        out.resize(out.size() + width - used, QLatin1Char(' '));
    out += text;
}

// "%3d %-30s %-20s %5d  %1s"
void AppendColumnEntry(QString& out, int number, const QString& name, const QString& typeName, int length,
                       const QString& nullMark)
{
    AppendPaddedLeft(out, QString::number(number), 3);
    out += QLatin1Char(' ');
    AppendPaddedRight(out, name, 30);
    out += QLatin1Char(' ');
    AppendPaddedRight(out, typeName, 20);
    out += QLatin1Char(' ');
    AppendPaddedLeft(out, QString::number(length), 5);
    out += QLatin1String("  ");
    AppendPaddedRight(out, nullMark, 1);
}

constexpr qsizetype kColumnEntryWidth = 3 + 1 + 30 + 1 + 20 + 1 + 5 + 2 + 1;

} // namespace

QString ColumnEntry(int number, const QString& name, const QString& typeName, int length,
                    const QString& nullMark)
{
    QString out;
    out.reserve(kColumnEntryWidth);
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
    line.reserve(kReportMargin + kIndentStep + kColumnEntryWidth);
    line.resize(kReportMargin + kIndentStep, QLatin1Char(' '));
    AppendColumnEntry(line, number, name, typeName, length, nullMark);
    m_sink.AddLine(line);
}
