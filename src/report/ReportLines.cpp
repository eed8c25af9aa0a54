#include "ReportLines.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

namespace {

// Copies chars to out as bytes while they are ASCII, in blocks of eight (or four) characters;
// false at the first block that is not (out then holds a partial copy).
bool CopyAscii(char* out, const char16_t* chars, qsizetype size)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    // Sixteen characters a step while the line lasts: one check and one store for both halves.
    for (; i + 16 <= size; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
        const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i + 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(low, upper), high), zero)) != 0xFFFF)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, upper));
    }
    for (; i + 8 <= size; i += 8) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(eight, high), zero)) != 0xFFFF)
            return false;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(eight, eight));
    }
#endif
    for (; i + 4 <= size; i += 4) {
        std::uint64_t four;
        std::memcpy(&four, chars + i, sizeof four);
        if (four & 0xFF80FF80FF80FF80ULL)
            return false;
        out[i] = char(chars[i]);
        out[i + 1] = char(chars[i + 1]);
        out[i + 2] = char(chars[i + 2]);
        out[i + 3] = char(chars[i + 3]);
    }
    for (; i < size; ++i) {
        if (chars[i] >= 0x80)
            return false;
        out[i] = char(chars[i]);
    }
    return true;
}

} // namespace

TDeviceLineSink::TDeviceLineSink(QIODevice& device, bool wholeBlocks)
    : m_device(device), m_encoder(QStringConverter::Utf8), m_wholeBlocks(wholeBlocks)
{
    // Allocated once at its full size: lines are written straight into it, and the buffer only
    // ever grows for a single line longer than all of it.
    m_buffer.resize(kFlushSize + 4096);
}

TDeviceLineSink::~TDeviceLineSink()
{
    WriteOut();
}

void TDeviceLineSink::AddLine(const QString& line)
{
    if (!m_ok)
        return;
    const qsizetype size = line.size();
    // Report lines are nearly always plain ASCII: those are copied byte for byte. Anything else, or
    // a line after one that ended inside a surrogate pair, goes through the encoder, which keeps
    // the state between lines.
    bool ascii = !m_encoderPending;
    const char16_t* chars = reinterpret_cast<const char16_t*>(line.constData());
    const qsizetype room = (ascii ? size : m_encoder.requiredSpace(size)) + 1;
    if (m_used + room > m_buffer.size())
        m_buffer.resize(m_used + room);
    char* end = m_buffer.data() + m_used;
    if (ascii) {
        ascii = CopyAscii(end, chars, size);
        if (ascii) {
            end += size;
        } else {
            const qsizetype encodedRoom = m_encoder.requiredSpace(size) + 1;
            if (m_used + encodedRoom > m_buffer.size())
                m_buffer.resize(m_used + encodedRoom);
            end = m_buffer.data() + m_used;
        }
    }
    if (!ascii) {
        end = m_encoder.appendToBuffer(end, line);
        // An empty line leaves whatever the encoder holds where it was.
        if (size > 0)
            m_encoderPending = QChar::isHighSurrogate(chars[size - 1]);
    }
    *end++ = '\n';
    m_used = end - m_buffer.constData();
    // A table of thousands of columns must not pile up unbounded between two flush points.
    if (m_used >= kFlushSize)
        WriteOut();
}

void TDeviceLineSink::Flush()
{
    if (!m_wholeBlocks)
        WriteOut();
}

void TDeviceLineSink::WriteOut()
{
    if (m_ok && m_used > 0) {
        if (m_device.write(m_buffer.constData(), m_used) != m_used)
            m_ok = false;
    }
    m_used = 0;
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

// Column lines are the bulk of a report (tens of thousands of them): each is composed in one
// string of its final length, written through a plain pointer, without the temporaries and
// growth steps that appending field by field costs.
constexpr qsizetype kNumberWidth = 3;
constexpr qsizetype kNameWidth = 30;
constexpr qsizetype kTypeWidth = 20;
constexpr qsizetype kLengthWidth = 5;
constexpr qsizetype kMarkWidth = 1;

char16_t* PutBlanks(char16_t* out, qsizetype count)
{
    static constexpr qsizetype kChunk = 64;
    static const auto kBlanks = [] {
        std::array<char16_t, kChunk> blanks;
        blanks.fill(u' ');
        return blanks;
    }();
    while (count > 0) {
        const qsizetype n = qMin(count, kChunk);
        std::memcpy(out, kBlanks.data(), size_t(n) * sizeof(char16_t));
        out += n;
        count -= n;
    }
    return out;
}

// Blanks a whole line with plain stores, eight characters at a time: no library call, which for a
// line of seventy-odd characters costs more than the filling itself.
void FillBlanks(char16_t* out, qsizetype count)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i blanks = _mm_set1_epi16(static_cast<short>(u' '));
    for (; i + 8 <= count; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), blanks);
#endif
    for (; i < count; ++i)
        out[i] = u' ';
}

void PutText(char16_t* out, const QString& text)
{
    const qsizetype size = text.size();
    if (size > 0)
        std::memcpy(out, text.constData(), size_t(size) * sizeof(char16_t));
}

// The decimal digits of number, written backwards so that they end right before end; returns where
// they start. A plain loop: the numbers of a column line have one to three digits.
char16_t* PutNumberBefore(char16_t* end, qint64 number)
{
    const bool negative = number < 0;
    auto magnitude = negative ? 0 - static_cast<quint64>(number) : static_cast<quint64>(number);
    do {
        *--end = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--end = u'-';
    return end;
}

// Characters PutNumberBefore writes for number.
qsizetype NumberSize(qint64 number)
{
    qsizetype size = number < 0 ? 2 : 1;
    auto magnitude = number < 0 ? 0 - static_cast<quint64>(number) : static_cast<quint64>(number);
    while (magnitude >= 10) {
        magnitude /= 10;
        ++size;
    }
    return size;
}

// Composes into out, which keeps its storage from line to line when nobody else holds it. The
// whole line is blanked first and the fields are then copied to their
// places, which costs far less than padding field by field.
void ComposeColumnEntry(QString& out, qsizetype indent, int number, const QString& name, const QString& typeName,
                        int length, const QString& nullMark)
{
    // "%3d %-30s %-20s %5d  %1s": every width is a minimum.
    const qsizetype numberField = qMax(kNumberWidth, NumberSize(number));
    const qsizetype nameField = qMax(kNameWidth, name.size());
    const qsizetype typeField = qMax(kTypeWidth, typeName.size());
    const qsizetype lengthField = qMax(kLengthWidth, NumberSize(length));
    const qsizetype size = indent + numberField + 1 + nameField + 1 + typeField + 1 + lengthField + 2 +
                           qMax(kMarkWidth, nullMark.size());
    if (out.size() != size)
        out.resize(size);
    // data() gives this string its own copy first when a sink still shares the previous line.
    char16_t* const line = reinterpret_cast<char16_t*>(out.data());
    FillBlanks(line, size);
    char16_t* p = line + indent;
    PutNumberBefore(p + numberField, number);
    p += numberField + 1;
    PutText(p, name);
    p += nameField + 1;
    PutText(p, typeName);
    p += typeField + 1;
    PutNumberBefore(p + lengthField, length);
    p += lengthField + 2;
    PutText(p, nullMark);
}

} // namespace

QString ColumnEntry(int number, const QString& name, const QString& typeName, int length,
                    const QString& nullMark)
{
    QString out;
    ComposeColumnEntry(out, 0, number, name, typeName, length, nullMark);
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
    // One per table: composed in the reused buffer like the column lines. The layout is
    // TitleText's after the margin.
    const qsizetype fillCount = fill && text.size() < kTitleFillWidth ? kTitleFillWidth - text.size() : 0;
    const qsizetype size = kReportMargin + 4 + text.size() + (fill ? 1 + fillCount : 0);
    m_line.resize(size);
    char16_t* p = reinterpret_cast<char16_t*>(m_line.data());
    const char16_t delimiter = m_delimiter.unicode();
    p = PutBlanks(p, kReportMargin);
    *p++ = delimiter;
    *p++ = delimiter;
    *p++ = delimiter;
    *p++ = u' ';
    if (!text.isEmpty())
        std::memcpy(p, text.constData(), size_t(text.size()) * sizeof(char16_t));
    p += text.size();
    if (fill) {
        *p++ = u' ';
        for (qsizetype i = 0; i < fillCount; ++i)
            *p++ = delimiter;
    }
    Q_ASSERT(p == reinterpret_cast<char16_t*>(m_line.data()) + size);
    m_sink.AddLine(m_line);
}

void TReportWriter::AddColumnLine(int number, const QString& name, const QString& typeName, int length,
                                  const QString& nullMark)
{
    ComposeColumnEntry(m_line, kReportMargin + kIndentStep, number, name, typeName, length, nullMark);
    m_sink.AddLine(m_line);
}
