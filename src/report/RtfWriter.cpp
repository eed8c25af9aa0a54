#include "RtfWriter.h"

#include "TextCodec.h"

#include <QDir>
#include <QSaveFile>

#include <cmath>
#include <stdexcept>

QByteArray RtfEscaped(const QString& text)
{
    // Converting the whole text at once gives one byte per UTF-16 unit, '?' where Windows-1252
    // has no character.
    const QByteArray ansi = ToWindows1252(text);
    QByteArray out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const auto byte = static_cast<unsigned char>(ansi.at(i));
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c == 0x2028) {
            // A line break inside a paragraph (Shift+Enter in the pane).
            out += "\\line ";
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else if (byte != '?' || c == u'?') {
            static const char digits[] = "0123456789abcdef";
            out += "\\'";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        } else {
            // RTF numbers are signed 16-bit; the '?' is what a reader without Unicode shows.
            out += "\\u";
            out += QByteArray::number(int(static_cast<qint16>(c)));
            out += '?';
        }
    }
    return out;
}

namespace {

// Courier New, and Liberation Mono in its place, draw every character 1229/2048 of an em wide.
constexpr double kReportCellEm = 1229.0 / 2048.0;

} // namespace

TRtfWriter::TRtfWriter(QIODevice& device, const QString& fontFamily, qreal pointSize)
    : m_device(device), m_fontFamily(fontFamily),
      m_halfPoints(pointSize > 0 ? int(std::lround(pointSize * 2)) : 18),
      // An ideograph is an em wide in every CJK font; the spacing after it makes up two cells.
      m_wideSpacing(int(std::lround(m_halfPoints * 10 * (2 * kReportCellEm - 1))))
{
}

void TRtfWriter::writeHeader()
{
    m_started = true;
    // \fmodern\fprq1: a fixed-pitch family, so a reader without the font picks another that
    // keeps the report's columns. The report's font is the one for East Asian text too (\dbch\af0):
    // a reader sets the blanks after a wide name in it, which in a CJK font are narrower. The wide
    // characters themselves have a fixed-pitch CJK font of their own (f1).
    append("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 " +
           RtfEscaped(m_fontFamily) +
           ";}{\\f1\\fmodern\\fprq1\\fcharset128 MS Gothic;}}\n{\\colortbl "
           ";\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\n\\pard\\plain\\f0\\fs" +
           QByteArray::number(m_halfPoints) + "\\dbch\\af0\\cf1 ");
}

void TRtfWriter::AddLine(const QString& line)
{
    AddLine(line, {});
}

void TRtfWriter::AddLine(const QString& line, const QList<TRedRun>& red)
{
    if (!m_started)
        writeHeader();
    // Paragraph marks separate the lines: a mark after the last line would give the document
    // an empty paragraph the pane does not have.
    if (!m_firstLine)
        append("\\par\n");
    m_firstLine = false;
    const QList<TWideRun> wide = WideRuns(line);
    if (red.isEmpty() && wide.isEmpty()) {
        append(RtfEscaped(line));
        return;
    }
    // Each character's look: bit 1 red, bit 2 wide. Stretches of one look become one group.
    QList<quint8> look(line.size(), 0);
    for (const TRedRun& run : red) {
        const qsizetype from = qBound<qsizetype>(0, run.start, line.size());
        const qsizetype to = qBound<qsizetype>(from, run.start + run.length, line.size());
        for (qsizetype i = from; i < to; ++i)
            look[i] |= 1;
    }
    for (const TWideRun& run : wide) {
        for (qsizetype i = run.start; i < run.start + run.length; ++i)
            look[i] |= 2;
    }
    for (qsizetype i = 0; i < line.size();) {
        qsizetype end = i;
        while (end < line.size() && look[end] == look[i])
            ++end;
        QByteArray text = RtfEscaped(line.mid(i, end - i));
        // Each wide character is followed by the spacing that makes it two cells wide, as the
        // pane and the print give it.
        if (look[i] & 2)
            text = "{\\dbch\\af1\\expndtw" + QByteArray::number(m_wideSpacing) + ' ' + text + '}';
        if (look[i] & 1)
            text = "{\\cf2 " + text + '}';
        append(text);
        i = end;
    }
}

void TRtfWriter::append(const QByteArray& bytes)
{
    m_buffer += bytes;
    if (m_buffer.size() >= kFlushSize)
        Flush();
}

void TRtfWriter::Flush()
{
    if (m_buffer.isEmpty())
        return;
    if (m_device.write(m_buffer) != m_buffer.size())
        m_ok = false;
    m_buffer.clear();
}

bool TRtfWriter::Finish()
{
    if (!m_started)
        writeHeader();
    append("\n}\n");
    Flush();
    return m_ok;
}

void SaveRtfFile(const QString& fileName, const QString& fontFamily, qreal pointSize,
                 const std::function<void(TRtfWriter&)>& fill)
{
    const auto fail = [&](const QString& reason) {
        return std::runtime_error(QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2")
                                      .arg(QDir::toNativeSeparators(fileName), reason)
                                      .toStdString());
    };
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw fail(file.errorString());
    TRtfWriter rtf(file, fontFamily, pointSize);
    fill(rtf);
    if (!rtf.Finish()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw fail(reason);
    }
    if (!file.commit())
        throw fail(file.errorString());
}
