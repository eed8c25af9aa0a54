#include "TextCodec.h"

#include <QUtf8StringView>

namespace {

// Windows-1252 code points of the bytes 0x80..0x9F; 0 marks the five unassigned bytes,
// which Windows maps to the C1 control of the same value.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t decodeByte(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
        return kHigh[b - 0x80];
    return b;
}

} // namespace

bool IsValidUtf8(const QByteArray& bytes)
{
    // A stateless decoder forgets its errors between calls and a stateful one holds back an
    // unfinished sequence at the end without reporting it; the view's own check sees both.
    return QUtf8StringView(bytes.constData(), bytes.size()).isValidUtf8();
}

QByteArray ToWindows1252(const QString& text, bool* ok)
{
    QByteArray out;
    out.reserve(text.size());
    bool good = true;
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || (c >= 0x80 && c <= 0x9F && kHigh[c - 0x80] == 0)) {
            out.append(char(c));
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32; ++i) {
            if (kHigh[i] == c) {
                found = i;
                break;
            }
        }
        if (found < 0) {
            good = false;
            out.append('?');
        } else {
            out.append(char(0x80 + found));
        }
    }
    if (ok)
        *ok = good;
    return out;
}

QString FromWindows1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char b : bytes)
        out.append(QChar(decodeByte(static_cast<unsigned char>(b))));
    return out;
}

QByteArray ToAnsiBytes(const QString& text)
{
    bool ok = false;
    QByteArray cp = ToWindows1252(text, &ok);
    return ok ? cp : text.toUtf8();
}

QString FromAnsiBytes(const QByteArray& bytes)
{
    return IsValidUtf8(bytes) ? QString::fromUtf8(bytes) : FromWindows1252(bytes);
}
