#include "ReportLines.h"

#include <QByteArray>

#include <algorithm>

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

TDeviceLineSink::TDeviceLineSink(QIODevice& device) : m_device(device)
{
    // Filled and emptied again and again: the room stays, so no flush makes it grow anew.
    m_buffer.reserve(2 * kFlushSize);
}

TDeviceLineSink::~TDeviceLineSink()
{
    Finish();
}

void TDeviceLineSink::AddLine(const QString& line)
{
    if (!m_ok)
        return;
    // Encoded straight into the buffer: the toolkit's encoder takes ASCII, which report lines
    // mostly are, many characters at a time.
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + m_utf8.requiredSpace(line.size()) + 1);
    char* end = m_utf8.appendToBuffer(m_buffer.data() + start, line);
    *end++ = '\n';
    m_buffer.resize(end - m_buffer.constData());
    // Passed on a part at a time, however long the report or any one table of it.
    if (m_buffer.size() >= kFlushSize)
        Finish();
}

void TDeviceLineSink::Finish()
{
    if (m_ok && !m_buffer.isEmpty() && m_device.write(m_buffer) != m_buffer.size())
        m_ok = false;
    m_buffer.resize(0);
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

// Lines are built in place: a report of a large catalogue has tens of thousands of them. Widths
// are display widths and minimums: a field is padded after (or, for numbers, before) its text so
// the next field starts in the same column whatever the characters before it; nothing is cut.
struct Digits
{
    explicit Digits(qint64 value)
    {
        const bool negative = value < 0;
        quint64 rest = negative ? 0 - quint64(value) : quint64(value);
        do {
            units[--start] = char16_t(u'0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        if (negative)
            units[--start] = u'-';
    }
    qsizetype size() const { return qsizetype(sizeof units / sizeof units[0]) - start; }
    const char16_t* begin() const { return units + start; }

    char16_t units[24];
    qsizetype start = 24;
};

qsizetype Padding(qsizetype width, qsizetype used)
{
    return used < width ? width - used : 0;
}

// "%3d %-30s %-20s %5d  %1s"
class ColumnEntryLayout
{
public:
    ColumnEntryLayout(int number, const QString& name, const QString& typeName, int length,
                      const QString& nullMark)
        : m_number(number), m_length(length), m_name(name), m_typeName(typeName), m_nullMark(nullMark),
          m_namePad(Padding(30, DisplayWidth(name))), m_typePad(Padding(20, DisplayWidth(typeName))),
          m_markPad(Padding(1, DisplayWidth(nullMark)))
    {
    }

    qsizetype size() const
    {
        return Padding(3, m_number.size()) + m_number.size() + 1 + m_name.size() + m_namePad + 1 +
               m_typeName.size() + m_typePad + 1 + Padding(5, m_length.size()) + m_length.size() + 2 +
               m_nullMark.size() + m_markPad;
    }

    void appendTo(QString& out) const
    {
        const qsizetype start = out.size();
        out.resize(start + size());
        char16_t* at = reinterpret_cast<char16_t*>(out.data()) + start;
        at = number(at, m_number, 3);
        *at++ = u' ';
        at = text(at, m_name, m_namePad);
        *at++ = u' ';
        at = text(at, m_typeName, m_typePad);
        *at++ = u' ';
        at = number(at, m_length, 5);
        *at++ = u' ';
        *at++ = u' ';
        text(at, m_nullMark, m_markPad);
    }

private:
    static char16_t* number(char16_t* at, const Digits& digits, qsizetype width)
    {
        at = std::fill_n(at, Padding(width, digits.size()), u' ');
        return std::copy_n(digits.begin(), digits.size(), at);
    }
    static char16_t* text(char16_t* at, const QString& value, qsizetype padding)
    {
        at = std::copy_n(reinterpret_cast<const char16_t*>(value.constData()), value.size(), at);
        return std::fill_n(at, padding, u' ');
    }

    Digits m_number, m_length;
    const QString& m_name;
    const QString& m_typeName;
    const QString& m_nullMark;
    qsizetype m_namePad, m_typePad, m_markPad;
};

} // namespace

QString ColumnEntry(int number, const QString& name, const QString& typeName, int length,
                    const QString& nullMark)
{
    QString out;
    ColumnEntryLayout(number, name, typeName, length, nullMark).appendTo(out);
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
    // One text serves every line where the sink only writes lines out; a sink that keeps them
    // shares it, and the next line then gets a text of its own, of its exact length.
    const ColumnEntryLayout entry(number, name, typeName, length, nullMark);
    constexpr qsizetype indent = kReportMargin + kIndentStep;
    if (!m_line.isDetached())
        m_line = QString();
    m_line.reserve(indent + entry.size());
    m_line.resize(0);
    m_line.resize(indent, QLatin1Char(' '));
    entry.appendTo(m_line);
    m_sink.AddLine(m_line);
}
