#include "JetHeader.h"

#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int kMaskStart = 0x18;
constexpr int kCodePageOffset = 0x3C;
constexpr int kDatabaseKeyOffset = 0x3E;
constexpr int kPasswordOffset = 0x42;
constexpr int kCreationDateOffset = 0x72;
constexpr int kJet3PasswordBytes = 20;
constexpr int kJet4PasswordBytes = 40;
// A catalogue needs at least the header page, one data page and the catalogue's own definition.
constexpr int kMinimumPages = 3;

int maskLength(bool jet3)
{
    return jet3 ? 126 : 128;
}

// RC4 with the fixed key Jet uses for its header; the keystream is the same for every file.
void rc4(std::uint8_t* data, int length)
{
    static const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    std::array<std::uint8_t, 256> s;
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

std::uint16_t le16(const QByteArray& b, int at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) |
                                      (static_cast<std::uint8_t>(b[at + 1]) << 8));
}

std::uint32_t le32(const QByteArray& b, int at)
{
    return static_cast<std::uint32_t>(le16(b, at)) | (static_cast<std::uint32_t>(le16(b, at + 2)) << 16);
}

// The creation date's integer part, converted the way Jet truncates it; a hostile value (NaN, out of
// range) must not be undefined behaviour.
std::int32_t dateMask(const QByteArray& page)
{
    double date = 0;
    std::memcpy(&date, page.constData() + kCreationDateOffset, sizeof date);
    if (!std::isfinite(date))
        return 0;
    if (date >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (date <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(date);
}

QStringDecoder decoderFor(std::uint16_t codePage)
{
    QStringDecoder decoder(QStringLiteral("windows-%1").arg(codePage).toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder("windows-1252");
    return decoder;
}

QByteArray encodeFor(std::uint16_t codePage, const QString& text)
{
    if (codePage == 1252 || codePage == 0)
        return ToAnsiBytes(text);
    QStringEncoder encoder(QStringLiteral("windows-%1").arg(codePage).toLatin1().constData());
    if (!encoder.isValid())
        return ToAnsiBytes(text);
    return encoder.encode(text);
}

} // namespace

void ApplyJetHeaderMask(QByteArray& page, bool jet3)
{
    const int length = maskLength(jet3);
    if (page.size() < kMaskStart + length)
        return;
    rc4(reinterpret_cast<std::uint8_t*>(page.data()) + kMaskStart, length);
}

bool ParseJetHeader(const QByteArray& firstPage, std::int64_t fileSize, JetFileHeader& header)
{
    if (firstPage.size() < 2048)
        return false;
    static const char kSignature[4] = {0x00, 0x01, 0x00, 0x00};
    if (std::memcmp(firstPage.constData(), kSignature, 4) != 0)
        return false;
    const QByteArray engine = firstPage.mid(4, 16);
    if (engine != QByteArray("Standard Jet DB\0", 16) && engine != QByteArray("Standard ACE DB\0", 16))
        return false;
    const int version = static_cast<std::uint8_t>(firstPage[0x14]);
    if (version > 6)
        return false;
    const bool ace = engine.startsWith("Standard ACE");
    // The engine name and the version byte must tell the same story.
    if (ace != (version >= 2))
        return false;
    const int pageSize = version == 0 ? 2048 : 4096;
    if (firstPage.size() < pageSize || fileSize < std::int64_t(pageSize) * kMinimumPages ||
        fileSize % pageSize != 0)
        return false;

    QByteArray page = firstPage.left(pageSize);
    ApplyJetHeaderMask(page, version == 0);

    JetFileHeader h;
    h.version = version;
    h.pageSize = pageSize;
    h.codePage = le16(page, kCodePageOffset);
    h.databaseKey = le32(page, kDatabaseKeyOffset);
    if (version == 0) {
        QByteArray bytes = page.mid(kPasswordOffset, kJet3PasswordBytes);
        const qsizetype nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        h.passwordBytes = bytes;
        h.password = decoderFor(h.codePage).decode(bytes);
    } else {
        QByteArray bytes = page.mid(kPasswordOffset, kJet4PasswordBytes);
        const std::int32_t mask = dateMask(page);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(
                bytes[i] ^ static_cast<char>((static_cast<std::uint32_t>(mask) >> (8 * (i % 4))) & 0xFF));
        QString text;
        for (int i = 0; i + 1 < bytes.size(); i += 2) {
            const char16_t unit = le16(bytes, i);
            if (unit == 0)
                break;
            text += QChar(unit);
        }
        h.password = text;
        h.passwordBytes = bytes.left(text.size() * 2);
    }
    header = h;
    return true;
}

bool IsEncryptedAceHeader(const QByteArray& firstPage)
{
    // The length is not in question here: any that passes the header checks will do.
    JetFileHeader header;
    return ParseJetHeader(firstPage, std::int64_t(4096) * kMinimumPages, header) && header.isAce() &&
           header.databaseKey != 0;
}

bool JetPasswordMatches(const JetFileHeader& header, const QString& candidate)
{
    if (header.isJet3()) {
        // A NUL in the candidate is not cut away: "secret\0x" must not open a file locked with "secret".
        return encodeFor(header.codePage, candidate).left(kJet3PasswordBytes) == header.passwordBytes;
    }
    return candidate.left(kJet4PasswordBytes / 2) == header.password;
}
