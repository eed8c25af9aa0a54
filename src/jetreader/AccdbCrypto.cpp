// The key derivations, password checks and page ciphers of the four schemes, and the decryption
// of a whole image. Parsing the encryption information is in AccdbEncryptionInfo.cpp.
#include "AccdbCrypto.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/aes.h>
#include <cryptopp/arc4.h>
#include <cryptopp/misc.h>
#include <cryptopp/modes.h>
#include <cryptopp/secblock.h>
#include <cryptopp/sha.h>

#include <algorithm>
#include <cstring>

namespace accdb {
namespace {

constexpr std::uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr std::size_t kMaskStart = 0x18;

// The header mask's keystream over the database key field (the same for every file).
std::array<std::uint8_t, 4> keyFieldMask()
{
    std::uint8_t stream[kDatabaseKeyOffset + 4 - kMaskStart] = {};
    CryptoPP::Weak::ARC4 rc4(kHeaderMaskKey, sizeof kHeaderMaskKey);
    rc4.ProcessString(stream, sizeof stream);
    std::array<std::uint8_t, 4> mask;
    std::memcpy(mask.data(), stream + (kDatabaseKeyOffset - kMaskStart), 4);
    return mask;
}

const std::array<std::uint8_t, 4>& keyFieldMaskOnce()
{
    static const std::array<std::uint8_t, 4> mask = keyFieldMask();
    return mask;
}

void wipe(Bytes& bytes)
{
    if (!bytes.empty())
        CryptoPP::SecureWipeBuffer(bytes.data(), bytes.size());
    bytes.clear();
}

// Cut to size, or extended to size with pad.
Bytes fit(Bytes b, std::size_t size, std::uint8_t pad)
{
    b.resize(size, pad);
    return b;
}

bool sameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size)
{
    // Constant time: the comparison must not tell how much of a guess was right.
    return CryptoPP::VerifyBufsEqual(a, b, size);
}

template <class H> Bytes hashParts(std::initializer_list<const Bytes*> parts)
{
    H h;
    for (const Bytes* p : parts)
        h.Update(p->data(), p->size());
    Bytes out(H::DIGESTSIZE);
    h.Final(out.data());
    return out;
}

// H = hash(LE32(i) || H) for i = 0 .. rounds - 1, in place. The one hot loop of a key derivation.
template <class H> void iterate(Bytes& value, std::uint32_t rounds)
{
    H h;
    std::uint8_t counter[4];
    for (std::uint32_t i = 0; i < rounds; ++i) {
        counter[0] = std::uint8_t(i);
        counter[1] = std::uint8_t(i >> 8);
        counter[2] = std::uint8_t(i >> 16);
        counter[3] = std::uint8_t(i >> 24);
        h.Update(counter, sizeof counter);
        h.Update(value.data(), value.size());
        h.Final(value.data());
    }
}

void iterate(HashAlgorithm algorithm, Bytes& value, std::uint32_t rounds)
{
    switch (algorithm) {
    case HashAlgorithm::Sha1:
        return iterate<CryptoPP::SHA1>(value, rounds);
    case HashAlgorithm::Sha256:
        return iterate<CryptoPP::SHA256>(value, rounds);
    case HashAlgorithm::Sha384:
        return iterate<CryptoPP::SHA384>(value, rounds);
    case HashAlgorithm::Sha512:
        return iterate<CryptoPP::SHA512>(value, rounds);
    }
}

Bytes sha1(std::initializer_list<const Bytes*> parts)
{
    return hashParts<CryptoPP::SHA1>(parts);
}

Bytes blockBytes(const Block& block)
{
    return Bytes(block.begin(), block.end());
}

constexpr Block kBlockZero = {0, 0, 0, 0};

// --- page ciphers -------------------------------------------------------------------------------

class Rc4Pages final : public PageCipher
{
public:
    Rc4Pages(Bytes baseHash, std::uint32_t keyBits, std::uint32_t databaseKey)
        : m_baseHash(std::move(baseHash)), m_keyBits(keyBits), m_databaseKey(databaseKey)
    {
    }
    ~Rc4Pages() override { wipe(m_baseHash); }
    void decrypt(std::uint8_t* data, std::uint32_t page) override { crypt(data, page); }
    void encrypt(std::uint8_t* data, std::uint32_t page) override { crypt(data, page); }

private:
    void crypt(std::uint8_t* data, std::uint32_t page)
    {
        Bytes key = rc4::BlockKey(m_baseHash, PageBlock(m_databaseKey, page), m_keyBits);
        rc4::Crypt(key, data, kPageSize);
        wipe(key);
    }
    Bytes m_baseHash;
    std::uint32_t m_keyBits;
    std::uint32_t m_databaseKey;
};

// Standard and non-standard AES: a key of its own for every page, ECB.
class EcbPages final : public PageCipher
{
public:
    EcbPages(Bytes baseHash, std::uint32_t keyBits, std::uint32_t databaseKey)
        : m_baseHash(std::move(baseHash)), m_keyBits(keyBits), m_databaseKey(databaseKey)
    {
    }
    ~EcbPages() override { wipe(m_baseHash); }
    void decrypt(std::uint8_t* data, std::uint32_t page) override
    {
        Bytes key = pageKey(page);
        aes::EcbDecrypt(key, data, kPageSize);
        wipe(key);
    }
    void encrypt(std::uint8_t* data, std::uint32_t page) override
    {
        Bytes key = pageKey(page);
        aes::EcbEncrypt(key, data, kPageSize);
        wipe(key);
    }

private:
    Bytes pageKey(std::uint32_t page) const
    {
        return aes::BlockKey(m_baseHash, PageBlock(m_databaseKey, page), m_keyBits);
    }
    Bytes m_baseHash;
    std::uint32_t m_keyBits;
    std::uint32_t m_databaseKey;
};

// Agile: one key for every page, an IV of its own for each, CBC restarted at every page.
class CbcPages final : public PageCipher
{
public:
    CbcPages(const Bytes& key, AgileKeyInfo keyData, std::uint32_t databaseKey)
        : m_keyData(std::move(keyData)), m_databaseKey(databaseKey)
    {
        const Bytes iv(16, 0);
        m_decryption.SetKeyWithIV(key.data(), key.size(), iv.data(), iv.size());
        m_encryption.SetKeyWithIV(key.data(), key.size(), iv.data(), iv.size());
    }
    void decrypt(std::uint8_t* data, std::uint32_t page) override
    {
        m_decryption.Resynchronize(iv(page).data(), 16);
        m_decryption.ProcessData(data, data, kPageSize);
    }
    void encrypt(std::uint8_t* data, std::uint32_t page) override
    {
        m_encryption.Resynchronize(iv(page).data(), 16);
        m_encryption.ProcessData(data, data, kPageSize);
    }

private:
    Bytes iv(std::uint32_t page) const { return agile::PageIv(m_keyData, PageBlock(m_databaseKey, page)); }
    AgileKeyInfo m_keyData;
    std::uint32_t m_databaseKey;
    CryptoPP::CBC_Mode<CryptoPP::AES>::Decryption m_decryption;
    CryptoPP::CBC_Mode<CryptoPP::AES>::Encryption m_encryption;
};

// A decrypted page of number 1 or more begins with a page type Access writes and the byte 01
// (the facts sheet, section 9); page 2 is the catalogue's table definition.
bool looksLikeCataloguePage(const std::uint8_t* page2)
{
    return page2[0] == 0x02 && page2[1] == 0x01;
}

} // namespace

// --- the header page -----------------------------------------------------------------------------

std::uint32_t DatabaseKey(const std::uint8_t* page0)
{
    const auto& mask = keyFieldMaskOnce();
    std::uint32_t key = 0;
    for (int i = 0; i < 4; ++i)
        key |= std::uint32_t(page0[kDatabaseKeyOffset + i] ^ mask[i]) << (8 * i);
    return key;
}

void SetDatabaseKey(std::uint8_t* page0, std::uint32_t key)
{
    const auto& mask = keyFieldMaskOnce();
    for (int i = 0; i < 4; ++i)
        page0[kDatabaseKeyOffset + i] = std::uint8_t((key >> (8 * i)) ^ mask[i]);
}

bool IsEncryptedAce(const std::uint8_t* data, std::size_t size)
{
    static const char kSignature[20] = {0x00, 0x01, 0x00, 0x00, 'S', 't', 'a', 'n', 'd', 'a',
                                        'r',  'd',  ' ',  'A',  'C', 'E', ' ', 'D', 'B', 0x00};
    return size >= kPageSize && std::memcmp(data, kSignature, sizeof kSignature) == 0 &&
           data[kVersionOffset] >= 2 && DatabaseKey(data) != 0;
}

Block PageBlock(std::uint32_t databaseKey, std::uint32_t page)
{
    const std::uint32_t v = databaseKey ^ page;
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

Bytes PasswordBytes(std::string_view utf8)
{
    std::u16string units;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        char32_t cp = 0xFFFD;
        std::size_t length = 1;
        if (c < 0x80) {
            cp = c;
        } else {
            const int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
            if (extra > 0 && i + std::size_t(extra) < n) {
                char32_t v = c & (0x3F >> extra);
                bool ok = true;
                for (int k = 1; k <= extra && ok; ++k) {
                    ok = (s[i + k] & 0xC0) == 0x80;
                    v = (v << 6) | (s[i + k] & 0x3F);
                }
                static const char32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
                if (ok && v >= kMinimum[extra] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                    cp = v;
                    length = std::size_t(extra) + 1;
                }
            }
        }
        i += length;
        if (cp >= 0x10000) {
            units.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(char16_t(cp));
        }
    }
    if (units.size() > kMaxPasswordUnits)
        units.resize(kMaxPasswordUnits);
    Bytes out;
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
        out.push_back(std::uint8_t(u));
        out.push_back(std::uint8_t(u >> 8));
    }
    CryptoPP::SecureWipeBuffer(units.data(), units.size());
    return out;
}

const char* SchemeName(Scheme scheme)
{
    switch (scheme) {
    case Scheme::Rc4CryptoApi:
        return "RC4 CryptoAPI";
    case Scheme::StandardAes:
        return "ECMA-376 standard AES";
    case Scheme::NonStandardAes:
        return "non-standard AES";
    case Scheme::Agile:
        return "agile";
    }
    return "?";
}

std::size_t HashSize(HashAlgorithm algorithm)
{
    switch (algorithm) {
    case HashAlgorithm::Sha1:
        return 20;
    case HashAlgorithm::Sha256:
        return 32;
    case HashAlgorithm::Sha384:
        return 48;
    case HashAlgorithm::Sha512:
        return 64;
    }
    return 0;
}

Bytes Hash(HashAlgorithm algorithm, std::initializer_list<const Bytes*> parts)
{
    switch (algorithm) {
    case HashAlgorithm::Sha1:
        return hashParts<CryptoPP::SHA1>(parts);
    case HashAlgorithm::Sha256:
        return hashParts<CryptoPP::SHA256>(parts);
    case HashAlgorithm::Sha384:
        return hashParts<CryptoPP::SHA384>(parts);
    case HashAlgorithm::Sha512:
        return hashParts<CryptoPP::SHA512>(parts);
    }
    return {};
}

// --- RC4 CryptoAPI ------------------------------------------------------------------------------

namespace rc4 {

Bytes BaseHash(const Bytes& salt, const Bytes& password)
{
    return sha1({&salt, &password});
}

Bytes BlockKey(const Bytes& baseHash, const Block& block, std::uint32_t keyBits)
{
    const Bytes b = blockBytes(block);
    Bytes key = fit(sha1({&baseHash, &b}), keyBits / 8, 0);
    // A 40-bit key is used as 16 bytes, the last 11 zero ([MS-OFFCRYPTO] 2.3.5.2).
    if (keyBits == 40)
        key.resize(16, 0);
    return key;
}

void Crypt(const Bytes& key, std::uint8_t* data, std::size_t size)
{
    CryptoPP::Weak::ARC4 cipher(key.data(), key.size());
    cipher.ProcessString(data, size);
}

bool Verify(const CryptoApiInfo& info, const Bytes& key, Bytes* verifier)
{
    // One keystream: the verifier, then its hash where the verifier ended.
    Bytes both = info.encryptedVerifier;
    both.insert(both.end(), info.encryptedVerifierHash.begin(), info.encryptedVerifierHash.end());
    Crypt(key, both.data(), both.size());
    Bytes plain(both.begin(), both.begin() + 16);
    const Bytes expected = sha1({&plain});
    const bool ok = both.size() >= 36 && sameBytes(expected.data(), both.data() + 16, 20);
    if (verifier)
        *verifier = plain;
    wipe(both);
    wipe(plain);
    return ok;
}

} // namespace rc4

// --- standard and non-standard AES ---------------------------------------------------------------

namespace aes {

Bytes BaseHash(const Bytes& salt, const Bytes& password, std::uint32_t rounds)
{
    Bytes h = sha1({&salt, &password});
    iterate<CryptoPP::SHA1>(h, rounds);
    return h;
}

Bytes BlockKey(const Bytes& baseHash, const Block& block, std::uint32_t keyBits)
{
    const Bytes b = blockBytes(block);
    Bytes final = fit(sha1({&baseHash, &b}), 64, 0);
    Bytes inner(64), outer(64);
    for (std::size_t i = 0; i < 64; ++i) {
        inner[i] = std::uint8_t(final[i] ^ 0x36);
        outer[i] = std::uint8_t(final[i] ^ 0x5C);
    }
    Bytes x1 = sha1({&inner});
    Bytes x2 = sha1({&outer});
    x1.insert(x1.end(), x2.begin(), x2.end());
    wipe(final);
    wipe(inner);
    wipe(outer);
    wipe(x2);
    return fit(std::move(x1), keyBits / 8, 0);
}

void EcbDecrypt(const Bytes& key, std::uint8_t* data, std::size_t size)
{
    CryptoPP::ECB_Mode<CryptoPP::AES>::Decryption cipher(key.data(), key.size());
    cipher.ProcessData(data, data, size);
}

void EcbEncrypt(const Bytes& key, std::uint8_t* data, std::size_t size)
{
    CryptoPP::ECB_Mode<CryptoPP::AES>::Encryption cipher(key.data(), key.size());
    cipher.ProcessData(data, data, size);
}

bool Verify(const CryptoApiInfo& info, const Bytes& key, Bytes* verifier)
{
    Bytes plain = info.encryptedVerifier;
    Bytes hash = info.encryptedVerifierHash;
    EcbDecrypt(key, plain.data(), plain.size());
    EcbDecrypt(key, hash.data(), hash.size());
    const Bytes expected = sha1({&plain});
    const bool ok = hash.size() >= 20 && sameBytes(expected.data(), hash.data(), 20);
    if (verifier)
        *verifier = plain;
    wipe(plain);
    wipe(hash);
    return ok;
}

} // namespace aes

// --- agile --------------------------------------------------------------------------------------

namespace agile {

const KeyBlock kVerifierInputBlock = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
const KeyBlock kVerifierValueBlock = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
const KeyBlock kKeyValueBlock = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

Bytes BaseHash(HashAlgorithm hash, const Bytes& salt, const Bytes& password, std::uint32_t spinCount)
{
    Bytes h = Hash(hash, {&salt, &password});
    iterate(hash, h, spinCount);
    return h;
}

Bytes BlockKey(HashAlgorithm hash, const Bytes& baseHash, const KeyBlock& block, std::uint32_t keyBits)
{
    const Bytes b(block.begin(), block.end());
    return fit(Hash(hash, {&baseHash, &b}), keyBits / 8, 0x36);
}

Bytes PageIv(const AgileKeyInfo& keyData, const Block& block)
{
    const Bytes b = blockBytes(block);
    return fit(Hash(keyData.hash, {&keyData.salt, &b}), keyData.blockSize, 0x36);
}

void CbcDecrypt(const Bytes& key, const Bytes& iv, std::uint8_t* data, std::size_t size)
{
    CryptoPP::CBC_Mode<CryptoPP::AES>::Decryption cipher(key.data(), key.size(), iv.data());
    cipher.ProcessData(data, data, size);
}

void CbcEncrypt(const Bytes& key, const Bytes& iv, std::uint8_t* data, std::size_t size)
{
    CryptoPP::CBC_Mode<CryptoPP::AES>::Encryption cipher(key.data(), key.size(), iv.data());
    cipher.ProcessData(data, data, size);
}

bool Unlock(const AgileInfo& info, const Bytes& password, Bytes* key, Bytes* verifier)
{
    const AgileKeyInfo& pk = info.passwordKey;
    Bytes base = BaseHash(pk.hash, pk.salt, password, info.spinCount);
    const Bytes iv = fit(pk.salt, pk.blockSize, 0x36);

    Bytes k1 = BlockKey(pk.hash, base, kVerifierInputBlock, pk.keyBits);
    Bytes input = info.encryptedVerifierHashInput;
    CbcDecrypt(k1, iv, input.data(), input.size());
    input.resize(pk.salt.size());

    Bytes k2 = BlockKey(pk.hash, base, kVerifierValueBlock, pk.keyBits);
    Bytes value = info.encryptedVerifierHashValue;
    CbcDecrypt(k2, iv, value.data(), value.size());

    const Bytes expected = Hash(pk.hash, {&input});
    const bool ok =
        value.size() >= expected.size() && sameBytes(expected.data(), value.data(), expected.size());
    if (verifier)
        *verifier = input;
    if (ok && key) {
        Bytes k3 = BlockKey(pk.hash, base, kKeyValueBlock, pk.keyBits);
        Bytes intermediate = info.encryptedKeyValue;
        CbcDecrypt(k3, iv, intermediate.data(), intermediate.size());
        intermediate.resize(info.keyData.keyBits / 8);
        *key = std::move(intermediate);
        wipe(k3);
    }
    for (Bytes* secret : {&base, &k1, &k2, &input, &value})
        wipe(*secret);
    return ok;
}

} // namespace agile

// --- pages ----------------------------------------------------------------------------------

std::unique_ptr<PageCipher> Unlock(const EncryptionInfo& info, const Bytes& password,
                                   std::uint32_t databaseKey)
{
    const CryptoApiInfo& c = info.cryptoApi;
    switch (info.scheme) {
    case Scheme::Rc4CryptoApi: {
        Bytes base = rc4::BaseHash(c.salt, password);
        Bytes key = rc4::BlockKey(base, kBlockZero, c.keyBits);
        const bool ok = rc4::Verify(c, key);
        wipe(key);
        if (!ok) {
            wipe(base);
            return nullptr;
        }
        return std::make_unique<Rc4Pages>(std::move(base), c.keyBits, databaseKey);
    }
    case Scheme::StandardAes:
    case Scheme::NonStandardAes: {
        Bytes base =
            aes::BaseHash(c.salt, password, info.scheme == Scheme::StandardAes ? aes::kStandardRounds : 0);
        Bytes key = aes::BlockKey(base, kBlockZero, c.keyBits);
        const bool ok = aes::Verify(c, key);
        wipe(key);
        if (!ok) {
            wipe(base);
            return nullptr;
        }
        return std::make_unique<EcbPages>(std::move(base), c.keyBits, databaseKey);
    }
    case Scheme::Agile: {
        Bytes key;
        if (!agile::Unlock(info.agile, password, &key))
            return nullptr;
        auto pages = std::make_unique<CbcPages>(key, info.agile.keyData, databaseKey);
        wipe(key);
        return pages;
    }
    }
    return nullptr;
}

Result DecryptImage(std::uint8_t* image, std::size_t size, std::string_view passwordUtf8)
{
    if (size < 3 * kPageSize || size % kPageSize != 0)
        return {Status::Damaged, "the file is not a whole number of pages, or too short"};
    if (!IsEncryptedAce(image, size))
        return {Status::Damaged, "not an encrypted ACE header"};
    EncryptionInfo info;
    Result parsed = ParseEncryptionInfo(image, kPageSize, info);
    if (parsed.status != Status::Ok)
        return parsed;
    const std::uint32_t databaseKey = DatabaseKey(image);
    Bytes password = PasswordBytes(passwordUtf8);
    const std::unique_ptr<PageCipher> cipher = Unlock(info, password, databaseKey);
    wipe(password);
    if (!cipher)
        return {Status::WrongPassword, {}};
    const std::size_t pages = size / kPageSize;
    for (std::size_t p = 1; p < pages; ++p)
        cipher->decrypt(image + p * kPageSize, std::uint32_t(p));
    SetDatabaseKey(image, 0);
    // The password was right, so pages that are no pages were damaged in the file.
    if (!looksLikeCataloguePage(image + 2 * kPageSize))
        return {Status::Damaged, "page 2 is not the catalogue's definition after decryption"};
    return {};
}

} // namespace accdb
