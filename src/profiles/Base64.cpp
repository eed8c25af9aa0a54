#include "Base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'A' && u <= u'Z')
        return u - u'A';
    if (u >= u'a' && u <= u'z')
        return u - u'a' + 26;
    if (u >= u'0' && u <= u'9')
        return u - u'0' + 52;
    if (u == u'+')
        return 62;
    // Stored texts from the Windows program were decoded this way, "=" included: a fill character
    // in a group that still yields its byte contributes 63 to it.
    return 63;
}

} // namespace

TBase64Error::TBase64Error() : std::runtime_error("Base64: Incorrect string format") {}

QString Base64Encode(const QByteArray& bytes)
{
    QString out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        out += QLatin1Char(kAlphabet[(v >> 18) & 63]);
        out += QLatin1Char(kAlphabet[(v >> 12) & 63]);
        out += QLatin1Char(kAlphabet[(v >> 6) & 63]);
        out += QLatin1Char(kAlphabet[v & 63]);
    }
    const qsizetype rest = n - i;
    if (rest == 1) {
        const unsigned v = p[i] << 16;
        out += QLatin1Char(kAlphabet[(v >> 18) & 63]);
        out += QLatin1Char(kAlphabet[(v >> 12) & 63]);
        out += QStringLiteral("==");
    } else if (rest == 2) {
        const unsigned v = (p[i] << 16) | (p[i + 1] << 8);
        out += QLatin1Char(kAlphabet[(v >> 18) & 63]);
        out += QLatin1Char(kAlphabet[(v >> 12) & 63]);
        out += QLatin1Char(kAlphabet[(v >> 6) & 63]);
        out += u'=';
    }
    return out;
}

QByteArray Base64Decode(const QString& text)
{
    const qsizetype n = text.size();
    if (n % 4 != 0)
        throw TBase64Error();
    QByteArray out;
    if (n == 0)
        return out;
    out.reserve(n / 4 * 3);
    for (qsizetype g = 0; g < n; g += 4) {
        const unsigned v = (sextet(text[g]) << 18) | (sextet(text[g + 1]) << 12) |
                           (sextet(text[g + 2]) << 6) | sextet(text[g + 3]);
        const bool last = g + 4 == n;
        out += char((v >> 16) & 0xFF);
        if (last && text[g + 2] == u'=')
            break;
        out += char((v >> 8) & 0xFF);
        if (last && text[g + 3] == u'=')
            break;
        out += char(v & 0xFF);
    }
    return out;
}
