#include "TdsNtlm.h"

#include "TdsWire.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace tds {

namespace {

constexpr char kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', '\0'};
constexpr std::uint32_t kNegotiateUnicode = 0x00000001;
constexpr std::uint32_t kRequestTarget = 0x00000004;
constexpr std::uint32_t kNegotiateNtlm = 0x00000200;
constexpr std::uint32_t kAlwaysSign = 0x00008000;
constexpr std::uint32_t kTargetTypeDomain = 0x00010000;
constexpr std::uint32_t kExtendedSessionSecurity = 0x00080000;
constexpr std::uint32_t kTargetInfo = 0x00800000;
constexpr std::uint32_t kNegotiateVersion = 0x02000000;
constexpr std::size_t kChallengeHeader = 56; // up to and with the Version field

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    put16(out, at, static_cast<std::uint16_t>(v));
    put16(out, at + 2, static_cast<std::uint16_t>(v >> 16));
}

std::vector<std::uint8_t> utf16le(std::string_view utf8)
{
    std::vector<std::uint8_t> out;
    for (char16_t c : Utf8ToUtf16(utf8)) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}

void avPair(std::vector<std::uint8_t>& out, std::uint16_t id, const std::vector<std::uint8_t>& value)
{
    const std::size_t at = out.size();
    out.resize(at + 4);
    put16(out, at, id);
    put16(out, at + 2, static_cast<std::uint16_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
}

std::string upperAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// MD4 lives in OpenSSL's legacy provider, loaded into a context of its own so the process's
// default algorithms stay as they are.
std::array<std::uint8_t, 16> md4(const std::vector<std::uint8_t>& data)
{
    struct Legacy
    {
        OSSL_LIB_CTX* context = OSSL_LIB_CTX_new();
        OSSL_PROVIDER* provider = context ? OSSL_PROVIDER_load(context, "legacy") : nullptr;
        EVP_MD* md = provider ? EVP_MD_fetch(context, "MD4", nullptr) : nullptr;
    };
    static const Legacy legacy;
    if (!legacy.md)
        throw std::runtime_error("MD4 is not available (OpenSSL's legacy provider is missing)");
    std::array<std::uint8_t, 16> out{};
    unsigned int length = 0;
    if (!EVP_Digest(data.data(), data.size(), out.data(), &length, legacy.md, nullptr) || length != 16)
        throw std::runtime_error("MD4 failed");
    return out;
}

std::array<std::uint8_t, 16> hmacMd5(const std::uint8_t* key, std::size_t keyBytes, const std::uint8_t* data,
                                     std::size_t bytes)
{
    std::array<std::uint8_t, 16> out{};
    unsigned int length = 0;
    if (!HMAC(EVP_md5(), key, static_cast<int>(keyBytes), data, bytes, out.data(), &length) || length != 16)
        throw std::runtime_error("HMAC-MD5 failed");
    return out;
}

} // namespace

std::optional<WindowsAccount> ParseWindowsAccount(std::string_view text)
{
    const std::size_t backslash = text.find('\\');
    const std::size_t colon = text.find(':', backslash == std::string_view::npos ? 0 : backslash);
    if (backslash == std::string_view::npos || colon == std::string_view::npos || backslash == 0 ||
        colon == backslash + 1)
        return std::nullopt;
    return WindowsAccount{std::string(text.substr(0, backslash)),
                          std::string(text.substr(backslash + 1, colon - backslash - 1)),
                          std::string(text.substr(colon + 1))};
}

bool IsNtlmNegotiate(const std::vector<std::uint8_t>& bytes)
{
    return bytes.size() >= 16 && std::memcmp(bytes.data(), kSignature, 8) == 0 && bytes[8] == 1 &&
           bytes[9] == 0 && bytes[10] == 0 && bytes[11] == 0;
}

std::vector<std::uint8_t> NtlmChallengeMessage(const ServerChallenge& challenge, std::string_view domain,
                                               std::string_view computer)
{
    const std::vector<std::uint8_t> target = utf16le(domain);
    const std::string dnsDomain = std::string(domain) + ".test";
    std::vector<std::uint8_t> info;
    avPair(info, 2, target);                                           // MsvAvNbDomainName
    avPair(info, 1, utf16le(computer));                                // MsvAvNbComputerName
    avPair(info, 4, utf16le(dnsDomain));                               // MsvAvDnsDomainName
    avPair(info, 3, utf16le(std::string(computer) + "." + dnsDomain)); // MsvAvDnsComputerName
    // MsvAvTimestamp: FILETIME, 100 ns since 1601.
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count() /
                           100;
    const std::uint64_t filetime = static_cast<std::uint64_t>(since1970) + 116444736000000000ULL;
    std::vector<std::uint8_t> stamp(8);
    for (int i = 0; i < 8; ++i)
        stamp[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(filetime >> (8 * i));
    avPair(info, 7, stamp);
    avPair(info, 0, {}); // MsvAvEOL

    std::vector<std::uint8_t> out(kChallengeHeader);
    std::memcpy(out.data(), kSignature, 8);
    put32(out, 8, 2);
    put16(out, 12, static_cast<std::uint16_t>(target.size()));
    put16(out, 14, static_cast<std::uint16_t>(target.size()));
    put32(out, 16, static_cast<std::uint32_t>(kChallengeHeader));
    put32(out, 20,
          kNegotiateUnicode | kRequestTarget | kNegotiateNtlm | kAlwaysSign | kTargetTypeDomain |
              kExtendedSessionSecurity | kTargetInfo | kNegotiateVersion);
    std::memcpy(out.data() + 24, challenge.data(), 8);
    put16(out, 40, static_cast<std::uint16_t>(info.size()));
    put16(out, 42, static_cast<std::uint16_t>(info.size()));
    put32(out, 44, static_cast<std::uint32_t>(kChallengeHeader + target.size()));
    // Version: Windows Server 2019 (10.0 build 17763), NTLM revision 15.
    const std::uint8_t version[8] = {10, 0, 0x63, 0x45, 0, 0, 0, 15};
    std::memcpy(out.data() + 48, version, 8);
    out.insert(out.end(), target.begin(), target.end());
    out.insert(out.end(), info.begin(), info.end());
    return out;
}

NtlmAuthenticate ParseNtlmAuthenticate(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() < 64 || std::memcmp(bytes.data(), kSignature, 8) != 0)
        throw ProtocolError("SSPI message is no NTLM message");
    Reader header(bytes);
    header.take(8);
    if (header.u32() != 3)
        throw ProtocolError("NTLM message is no AUTHENTICATE");
    struct Field
    {
        std::uint16_t length;
        std::uint32_t offset;
    };
    auto field = [&header] {
        Field f{};
        f.length = header.u16();
        header.u16(); // the maximum length, always the same
        f.offset = header.u32();
        return f;
    };
    const Field lm = field(), nt = field(), domain = field(), user = field(), workstation = field();
    field(); // the encrypted session key, unused without signing
    const std::uint32_t flags = header.u32();
    auto slice = [&bytes](const Field& f) {
        if (std::size_t(f.offset) + f.length > bytes.size())
            throw ProtocolError("NTLM AUTHENTICATE field outside the message");
        return std::vector<std::uint8_t>(bytes.begin() + f.offset, bytes.begin() + f.offset + f.length);
    };
    auto text = [&](const Field& f) {
        const std::vector<std::uint8_t> raw = slice(f);
        if (flags & kNegotiateUnicode)
            return Utf16LeToUtf8(raw.data(), raw.size() & ~std::size_t(1));
        return std::string(raw.begin(), raw.end()); // OEM: only ASCII names are expected here
    };
    NtlmAuthenticate message;
    message.lmResponse = slice(lm);
    message.ntResponse = slice(nt);
    message.domain = text(domain);
    message.user = text(user);
    message.workstation = text(workstation);
    return message;
}

std::array<std::uint8_t, 16> NtOwfV2(std::string_view password, std::string_view user,
                                     std::string_view domain)
{
    const std::array<std::uint8_t, 16> ntHash = md4(utf16le(password));
    const std::vector<std::uint8_t> identity = utf16le(upperAscii(user) + std::string(domain));
    return hmacMd5(ntHash.data(), ntHash.size(), identity.data(), identity.size());
}

bool VerifyNtlmV2(const NtlmAuthenticate& message, const ServerChallenge& challenge,
                  std::string_view password)
{
    // NTProofStr (16 bytes), then the client's blob: RespType 1, HiRespType 1, reserved, time,
    // client challenge, reserved, the target information. 24 bytes are an NTLMv1 response.
    const std::vector<std::uint8_t>& nt = message.ntResponse;
    if (nt.size() < 16 + 28 || nt[16] != 1 || nt[17] != 1)
        return false;
    const std::array<std::uint8_t, 16> key = NtOwfV2(password, message.user, message.domain);
    std::vector<std::uint8_t> signedPart(challenge.begin(), challenge.end());
    signedPart.insert(signedPart.end(), nt.begin() + 16, nt.end());
    const std::array<std::uint8_t, 16> proof =
        hmacMd5(key.data(), key.size(), signedPart.data(), signedPart.size());
    return std::memcmp(proof.data(), nt.data(), 16) == 0;
}

ServerChallenge NewServerChallenge()
{
    ServerChallenge challenge{};
    if (RAND_bytes(challenge.data(), static_cast<int>(challenge.size())) != 1)
        throw std::runtime_error("no random bytes for an NTLM challenge");
    return challenge;
}

bool MatchesAccount(const WindowsAccount& account, std::string_view domain, std::string_view user)
{
    return equalsNoCase(account.domain, domain) && equalsNoCase(account.user, user);
}

} // namespace tds
