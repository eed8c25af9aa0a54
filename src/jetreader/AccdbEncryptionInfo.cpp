// Reading and writing the encryption information of an .accdb header page: the CryptoAPI header
// and verifier (versions x.2) and the agile XML description (version 4.4). Every field a password
// check relies on is checked here, so that a damaged header is never taken for a wrong password.
#include "AccdbCrypto.h"

// glib's GMarkup reads the agile XML; glib is in the reader already (libmdb needs it).
#include <glib.h>

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>

#include <cstring>
#include <map>

namespace accdb {
namespace {

constexpr char kEncryptionNamespace[] = "http://schemas.microsoft.com/office/2006/encryption";
constexpr char kPasswordNamespace[] = "http://schemas.microsoft.com/office/2006/keyEncryptor/password";
constexpr char kCertificateNamespace[] = "http://schemas.microsoft.com/office/2006/keyEncryptor/certificate";
constexpr std::uint32_t kAgileReserved = 0x40;
// [MS-OFFCRYPTO] 2.3.4.10 caps the spin count; a hostile file cannot ask for more work.
constexpr std::uint32_t kMaxSpinCount = 10000000;
constexpr std::size_t kEncryptionHeaderFixed = 32; // fields before the CSP name
constexpr std::uint32_t kVerifierSaltSize = 16;
constexpr std::uint32_t kVerifierHashSize = 20;

Result damaged(std::string what)
{
    return {Status::Damaged, std::move(what)};
}

Result unsupported(std::string what)
{
    return {Status::Unsupported, std::move(what)};
}

std::uint16_t get16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}

std::uint32_t get32(const std::uint8_t* p)
{
    return std::uint32_t(get16(p)) | (std::uint32_t(get16(p + 2)) << 16);
}

void put16(Bytes& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void put32(Bytes& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void append(Bytes& out, const Bytes& b)
{
    out.insert(out.end(), b.begin(), b.end());
}

std::size_t roundUp(std::size_t n, std::size_t unit)
{
    return (n + unit - 1) / unit * unit;
}

// --- CryptoAPI (versions 2.2, 3.2, 4.2) ----------------------------------------------------------

Result parseCryptoApi(const std::uint8_t* info, std::size_t length, EncryptionInfo& out)
{
    if (length < 12)
        return damaged("the CryptoAPI header is cut short");
    const std::uint32_t headerSize = get32(info + 8);
    if (headerSize < kEncryptionHeaderFixed || headerSize > length - 12)
        return damaged("the CryptoAPI header size is out of range");
    const std::uint8_t* header = info + 12;
    const std::uint32_t flags = get32(header);
    const std::uint32_t algId = get32(header + 8);
    const std::uint32_t algIdHash = get32(header + 12);
    std::uint32_t keyBits = get32(header + 16);

    if (!(flags & kFlagCryptoApi))
        return damaged("the CryptoAPI flag is not set");
    if (flags & kFlagExternal)
        return unsupported("external (fExternal) encryption");
    if (algIdHash != 0 && algIdHash != kAlgSha1)
        return damaged("unknown hash algorithm id");

    CryptoApiInfo c;
    c.flags = flags;
    c.algId = algId;
    const bool aesFlag = flags & kFlagAes;
    Scheme scheme;
    std::uint32_t aesBits = 0;
    switch (algId) {
    case 0:
        scheme = aesFlag ? Scheme::StandardAes : Scheme::Rc4CryptoApi;
        aesBits = 128;
        break;
    case kAlgRc4:
        if (aesFlag)
            return damaged("the AES flag is set for RC4");
        scheme = Scheme::Rc4CryptoApi;
        break;
    case kAlgAes128:
    case kAlgAes192:
    case kAlgAes256:
        // Without the flag that says AES the key comes from a single hash: the variant some
        // Access versions write (jackcessencrypt's "non-standard" encryption).
        scheme = aesFlag ? Scheme::StandardAes : Scheme::NonStandardAes;
        aesBits = algId == kAlgAes128 ? 128 : algId == kAlgAes192 ? 192 : 256;
        break;
    default:
        return damaged("unknown cipher algorithm id");
    }
    if (scheme == Scheme::Rc4CryptoApi) {
        if (keyBits == 0)
            keyBits = 40; // [MS-OFFCRYPTO] 2.3.5.1
        if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
            return damaged("the RC4 key size is out of range");
    } else {
        if (keyBits == 0)
            keyBits = aesBits;
        if (keyBits != aesBits)
            return damaged("the AES key size does not match the algorithm");
    }
    c.keyBits = keyBits;

    const std::uint8_t* verifier = header + headerSize;
    const std::size_t left = length - 12 - headerSize;
    const std::size_t hashLength = scheme == Scheme::Rc4CryptoApi ? 20 : 32;
    if (left < 4 + 16 + 16 + 4 + hashLength)
        return damaged("the verifier is cut short");
    if (get32(verifier) != kVerifierSaltSize)
        return damaged("the salt size is not 16");
    if (get32(verifier + 36) != kVerifierHashSize)
        return damaged("the verifier hash size is not 20");
    c.salt.assign(verifier + 4, verifier + 20);
    c.encryptedVerifier.assign(verifier + 20, verifier + 36);
    c.encryptedVerifierHash.assign(verifier + 40, verifier + 40 + hashLength);
    out.scheme = scheme;
    out.cryptoApi = std::move(c);
    return {};
}

// --- agile (version 4.4) ------------------------------------------------------------------------

using Attributes = std::map<std::string, std::string>;

// What the parser keeps of the XML: the two elements a password check needs.
struct AgileXml
{
    struct Open
    {
        std::string ns;
        std::string local;
        bool passwordEncryptor = false; // a keyEncryptor whose uri names the password encryptor
    };
    std::vector<std::vector<std::pair<std::string, std::string>>> scopes; // prefix -> namespace
    std::vector<Open> open;
    bool haveKeyData = false;
    bool haveEncryptedKey = false;
    Attributes keyData;
    Attributes encryptedKey;

    const std::string* lookup(const std::string& prefix) const
    {
        for (auto s = scopes.rbegin(); s != scopes.rend(); ++s)
            for (const auto& [p, uri] : *s)
                if (p == prefix)
                    return &uri;
        return nullptr;
    }
};

void startElement(GMarkupParseContext*, const gchar* name, const gchar** names, const gchar** values,
                  gpointer data, GError** error)
{
    auto& x = *static_cast<AgileXml*>(data);
    std::vector<std::pair<std::string, std::string>> scope;
    for (int i = 0; names[i]; ++i) {
        const std::string attribute = names[i];
        if (attribute == "xmlns")
            scope.emplace_back(std::string(), values[i]);
        else if (attribute.rfind("xmlns:", 0) == 0)
            scope.emplace_back(attribute.substr(6), values[i]);
    }
    x.scopes.push_back(std::move(scope));

    const std::string qualified = name;
    const std::size_t colon = qualified.find(':');
    const std::string prefix = colon == std::string::npos ? std::string() : qualified.substr(0, colon);
    AgileXml::Open element;
    element.local = colon == std::string::npos ? qualified : qualified.substr(colon + 1);
    if (const std::string* ns = x.lookup(prefix))
        element.ns = *ns;
    else if (!prefix.empty()) {
        g_set_error(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, "undeclared prefix");
        return;
    }

    const auto attributes = [&] {
        Attributes a;
        for (int i = 0; names[i]; ++i)
            a[names[i]] = values[i];
        return a;
    };
    const std::size_t depth = x.open.size();
    const bool inEncryption = element.ns == kEncryptionNamespace;
    if (depth == 0 && !(inEncryption && element.local == "encryption")) {
        g_set_error(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, "not an encryption description");
        return;
    }
    if (depth == 1 && inEncryption && element.local == "keyData" && !x.haveKeyData) {
        x.keyData = attributes();
        x.haveKeyData = true;
    }
    if (depth == 2 && inEncryption && element.local == "keyEncryptor" && x.open[1].local == "keyEncryptors" &&
        x.open[1].ns == kEncryptionNamespace) {
        const Attributes a = attributes();
        const auto uri = a.find("uri");
        element.passwordEncryptor = uri != a.end() && uri->second == kPasswordNamespace;
    }
    if (depth == 3 && x.open[2].passwordEncryptor && element.ns == kPasswordNamespace &&
        element.local == "encryptedKey" && !x.haveEncryptedKey) {
        x.encryptedKey = attributes();
        x.haveEncryptedKey = true;
    }
    x.open.push_back(std::move(element));
}

void endElement(GMarkupParseContext*, const gchar*, gpointer data, GError**)
{
    auto& x = *static_cast<AgileXml*>(data);
    if (!x.open.empty())
        x.open.pop_back();
    if (!x.scopes.empty())
        x.scopes.pop_back();
}

bool parseXml(const std::string& text, AgileXml& x)
{
    static const GMarkupParser parser = {startElement, endElement, nullptr, nullptr, nullptr};
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, GMarkupParseFlags(0), &x, nullptr);
    GError* error = nullptr;
    const bool ok = g_markup_parse_context_parse(context, text.data(), gssize(text.size()), &error) &&
                    g_markup_parse_context_end_parse(context, &error);
    if (error)
        g_error_free(error);
    g_markup_parse_context_free(context);
    return ok;
}

bool number(const Attributes& a, const char* name, std::uint32_t& out)
{
    const auto it = a.find(name);
    if (it == a.end() || it->second.empty() || it->second.size() > 10)
        return false;
    std::uint64_t v = 0;
    for (char c : it->second) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + std::uint64_t(c - '0');
    }
    if (v > 0xFFFFFFFFu)
        return false;
    out = std::uint32_t(v);
    return true;
}

bool base64(const Attributes& a, const char* name, Bytes& out)
{
    const auto it = a.find(name);
    if (it == a.end())
        return false;
    const std::string& text = it->second;
    // The decoder skips what is not Base64; a value with anything else in it is not one.
    for (char c : text) {
        const bool valid = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '+' || c == '/' || c == '=' || c == '\r' || c == '\n' || c == ' ' ||
                           c == '\t';
        if (!valid)
            return false;
    }
    std::string decoded;
    CryptoPP::StringSource(text, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(decoded)));
    out.assign(decoded.begin(), decoded.end());
    return true;
}

// The attributes a key description shares (keyData and encryptedKey).
Result readKey(const Attributes& a, const char* what, AgileKeyInfo& key)
{
    const std::string where = std::string(" in ") + what;
    const auto text = [&](const char* name) {
        const auto it = a.find(name);
        return it == a.end() ? std::string() : it->second;
    };
    const std::string cipher = text("cipherAlgorithm");
    const std::string chaining = text("cipherChaining");
    const std::string hash = text("hashAlgorithm");
    if (cipher.empty() || chaining.empty() || hash.empty())
        return damaged("an algorithm is missing" + where);
    if (cipher != "AES")
        return unsupported("agile encryption with the cipher " + cipher);
    if (chaining != "ChainingModeCBC")
        return unsupported("agile encryption with the chaining mode " + chaining);
    if (hash == "SHA1" || hash == "SHA-1")
        key.hash = HashAlgorithm::Sha1;
    else if (hash == "SHA256" || hash == "SHA-256")
        key.hash = HashAlgorithm::Sha256;
    else if (hash == "SHA384" || hash == "SHA-384")
        key.hash = HashAlgorithm::Sha384;
    else if (hash == "SHA512" || hash == "SHA-512")
        key.hash = HashAlgorithm::Sha512;
    else
        return unsupported("agile encryption with the hash algorithm " + hash);

    std::uint32_t saltSize = 0, hashSize = 0;
    if (!number(a, "saltSize", saltSize) || !number(a, "blockSize", key.blockSize) ||
        !number(a, "keyBits", key.keyBits) || !number(a, "hashSize", hashSize))
        return damaged("a size is missing or not a number" + where);
    if (key.blockSize != 16)
        return damaged("the block size is not AES's" + where);
    if (key.keyBits != 128 && key.keyBits != 192 && key.keyBits != 256)
        return damaged("the key size is not AES's" + where);
    if (hashSize != HashSize(key.hash))
        return damaged("the hash size does not match the hash algorithm" + where);
    if (!base64(a, "saltValue", key.salt) || saltSize < 1 || saltSize > 65536 || key.salt.size() != saltSize)
        return damaged("the salt does not have its size" + where);
    return {};
}

Result parseAgile(const std::uint8_t* info, std::size_t length, EncryptionInfo& out)
{
    if (length < 8 || get32(info + 4) != kAgileReserved)
        return damaged("the agile header's reserved field is not 0x40");
    std::string text(reinterpret_cast<const char*>(info + 8), length - 8);
    // A byte-order mark before the XML, and NUL padding after it, are not XML.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    while (!text.empty() &&
           (text.back() == '\0' || text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    AgileXml x;
    if (!parseXml(text, x))
        return damaged("the agile description is not well-formed XML");
    if (!x.haveKeyData)
        return damaged("the agile description has no keyData");
    if (!x.haveEncryptedKey)
        return damaged("the agile description has no password key encryptor");

    AgileInfo a;
    if (Result r = readKey(x.keyData, "keyData", a.keyData); r.status != Status::Ok)
        return r;
    if (Result r = readKey(x.encryptedKey, "encryptedKey", a.passwordKey); r.status != Status::Ok)
        return r;
    if (!number(x.encryptedKey, "spinCount", a.spinCount) || a.spinCount > kMaxSpinCount)
        return damaged("the spin count is missing or out of range");
    const std::size_t block = a.passwordKey.blockSize;
    if (!base64(x.encryptedKey, "encryptedVerifierHashInput", a.encryptedVerifierHashInput) ||
        a.encryptedVerifierHashInput.size() != roundUp(a.passwordKey.salt.size(), block))
        return damaged("the encrypted verifier does not have its size");
    if (!base64(x.encryptedKey, "encryptedVerifierHashValue", a.encryptedVerifierHashValue) ||
        a.encryptedVerifierHashValue.size() != roundUp(HashSize(a.passwordKey.hash), block))
        return damaged("the encrypted verifier hash does not have its size");
    if (!base64(x.encryptedKey, "encryptedKeyValue", a.encryptedKeyValue) ||
        a.encryptedKeyValue.size() != roundUp(a.keyData.keyBits / 8, block))
        return damaged("the encrypted key does not have its size");
    out.scheme = Scheme::Agile;
    out.agile = std::move(a);
    return {};
}

std::string base64Text(const Bytes& b)
{
    std::string text;
    CryptoPP::StringSource(b.data(), b.size(), true,
                           new CryptoPP::Base64Encoder(new CryptoPP::StringSink(text), false));
    return text;
}

const char* hashName(HashAlgorithm hash)
{
    switch (hash) {
    case HashAlgorithm::Sha1:
        return "SHA1";
    case HashAlgorithm::Sha256:
        return "SHA256";
    case HashAlgorithm::Sha384:
        return "SHA384";
    case HashAlgorithm::Sha512:
        return "SHA512";
    }
    return "";
}

std::string keyAttributes(const AgileKeyInfo& key)
{
    return "saltSize=\"" + std::to_string(key.salt.size()) + "\" blockSize=\"" +
           std::to_string(key.blockSize) + "\" keyBits=\"" + std::to_string(key.keyBits) + "\" hashSize=\"" +
           std::to_string(HashSize(key.hash)) +
           "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"" +
           hashName(key.hash) + "\" saltValue=\"" + base64Text(key.salt) + "\"";
}

} // namespace

Result ParseEncryptionInfo(const std::uint8_t* page0, std::size_t size, EncryptionInfo& info)
{
    if (size < kPageSize)
        return damaged("the header page is cut short");
    const std::size_t length = get16(page0 + kInfoLengthOffset);
    if (length < 4 || kInfoOffset + length > kPageSize)
        return damaged("the encryption information's length is out of range");
    const std::uint8_t* p = page0 + kInfoOffset;
    EncryptionInfo parsed;
    parsed.versionMajor = get16(p);
    parsed.versionMinor = get16(p + 2);
    const std::string version =
        std::to_string(parsed.versionMajor) + "." + std::to_string(parsed.versionMinor);
    Result r;
    if (parsed.versionMajor == 4 && parsed.versionMinor == 4)
        r = parseAgile(p, length, parsed);
    else if (parsed.versionMinor == 2 && parsed.versionMajor >= 2 && parsed.versionMajor <= 4)
        r = parseCryptoApi(p, length, parsed);
    else if (parsed.versionMinor == 3 && (parsed.versionMajor == 3 || parsed.versionMajor == 4))
        return unsupported("extensible encryption (version " + version + ")");
    else if (parsed.versionMajor == 1 && parsed.versionMinor == 1)
        return unsupported("Office binary RC4 encryption (version 1.1)");
    else
        return damaged("unknown encryption version " + version);
    if (r.status == Status::Ok)
        info = std::move(parsed);
    return r;
}

Bytes SerializeCryptoApiInfo(Scheme scheme, const CryptoApiInfo& info, std::uint16_t versionMajor,
                             const std::u16string& cspName)
{
    Bytes header;
    put32(header, info.flags);
    put32(header, 0); // SizeExtra
    put32(header, info.algId);
    put32(header, kAlgSha1);
    put32(header, info.keyBits);
    put32(header, scheme == Scheme::Rc4CryptoApi ? 0x01 : 0x18); // provider type
    put32(header, 0);
    put32(header, 0);
    for (char16_t c : cspName)
        put16(header, c);
    put16(header, 0);

    Bytes out;
    put16(out, versionMajor);
    put16(out, 2);
    put32(out, info.flags);
    put32(out, std::uint32_t(header.size()));
    append(out, header);
    put32(out, std::uint32_t(info.salt.size()));
    append(out, info.salt);
    append(out, info.encryptedVerifier);
    put32(out, kVerifierHashSize);
    append(out, info.encryptedVerifierHash);
    return out;
}

Bytes SerializeAgileInfo(const AgileInfo& info)
{
    const std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n") +
                            "<encryption xmlns=\"" + kEncryptionNamespace + "\" xmlns:p=\"" +
                            kPasswordNamespace + "\" xmlns:c=\"" + kCertificateNamespace + "\"><keyData " +
                            keyAttributes(info.keyData) + "/><keyEncryptors><keyEncryptor uri=\"" +
                            kPasswordNamespace + "\"><p:encryptedKey spinCount=\"" +
                            std::to_string(info.spinCount) + "\" " + keyAttributes(info.passwordKey) +
                            " encryptedVerifierHashInput=\"" + base64Text(info.encryptedVerifierHashInput) +
                            "\" encryptedVerifierHashValue=\"" + base64Text(info.encryptedVerifierHashValue) +
                            "\" encryptedKeyValue=\"" + base64Text(info.encryptedKeyValue) +
                            "\"/></keyEncryptor></keyEncryptors></encryption>";
    Bytes out;
    put16(out, 4);
    put16(out, 4);
    put32(out, kAgileReserved);
    out.insert(out.end(), xml.begin(), xml.end());
    return out;
}

} // namespace accdb
