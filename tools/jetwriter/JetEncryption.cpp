#include "JetEncryption.h"

#include "AccdbCrypto.h"

#include <cstring>
#include <random>
#include <stdexcept>

namespace jet {
namespace {

using accdb::Bytes;

struct SchemeName
{
    Encryption scheme;
    const char* name;
};

constexpr SchemeName kNames[] = {
    {Encryption::Rc4Crypto40, "rc4-40"},
    {Encryption::Rc4Crypto128, "rc4-128"},
    {Encryption::StandardAes128, "aes128-standard"},
    {Encryption::NonStandardAes256, "aes256-nonstandard"},
    {Encryption::AgileAes128Sha1, "agile-aes128-sha1"},
    {Encryption::AgileAes256Sha512, "agile-aes256-sha512"},
};

[[noreturn]] void invalid(const char* what)
{
    throw std::invalid_argument(what);
}

class Random
{
public:
    explicit Random(std::uint32_t seed) : m_engine(seed != 0 ? seed : std::random_device{}()) {}
    Bytes bytes(std::size_t n)
    {
        Bytes b(n);
        for (auto& v : b)
            v = std::uint8_t(m_engine());
        return b;
    }
    std::uint32_t nonZero()
    {
        std::uint32_t v = 0;
        while (v == 0)
            v = m_engine();
        return v;
    }

private:
    std::mt19937 m_engine;
};

constexpr accdb::Block kBlockZero = {0, 0, 0, 0};

// RC4 CryptoAPI, standard and non-standard AES: salt, verifier and the verifier's hash encrypted
// with the key of block 0.
Bytes cryptoApiInfo(Encryption scheme, const Bytes& password, Random& random)
{
    accdb::CryptoApiInfo info;
    info.salt = random.bytes(16);
    const Bytes verifier = random.bytes(16);
    Bytes hash = accdb::Hash(accdb::HashAlgorithm::Sha1, {&verifier});
    accdb::Scheme kind = accdb::Scheme::Rc4CryptoApi;
    std::u16string csp = u"Microsoft Enhanced RSA and AES Cryptographic Provider";
    switch (scheme) {
    case Encryption::Rc4Crypto40:
        info.flags = accdb::kFlagCryptoApi;
        info.algId = accdb::kAlgRc4;
        info.keyBits = 40;
        csp = u"Microsoft Base Cryptographic Provider v1.0";
        break;
    case Encryption::Rc4Crypto128:
        info.flags = accdb::kFlagCryptoApi | accdb::kFlagDocProps;
        info.algId = accdb::kAlgRc4;
        info.keyBits = 128;
        csp = u"Microsoft Enhanced Cryptographic Provider v1.0";
        break;
    case Encryption::StandardAes128:
        kind = accdb::Scheme::StandardAes;
        info.flags = accdb::kFlagCryptoApi | accdb::kFlagAes;
        info.algId = accdb::kAlgAes128;
        info.keyBits = 128;
        break;
    default:
        kind = accdb::Scheme::NonStandardAes;
        info.flags = accdb::kFlagCryptoApi | accdb::kFlagDocProps;
        info.algId = accdb::kAlgAes256;
        info.keyBits = 256;
        break;
    }
    Bytes plain = verifier;
    if (kind == accdb::Scheme::Rc4CryptoApi) {
        // One keystream over the verifier and then its hash.
        plain.insert(plain.end(), hash.begin(), hash.end());
        const Bytes key =
            accdb::rc4::BlockKey(accdb::rc4::BaseHash(info.salt, password), kBlockZero, info.keyBits);
        accdb::rc4::Crypt(key, plain.data(), plain.size());
        info.encryptedVerifier.assign(plain.begin(), plain.begin() + 16);
        info.encryptedVerifierHash.assign(plain.begin() + 16, plain.end());
    } else {
        const std::uint32_t rounds = kind == accdb::Scheme::StandardAes ? accdb::aes::kStandardRounds : 0;
        const Bytes key =
            accdb::aes::BlockKey(accdb::aes::BaseHash(info.salt, password, rounds), kBlockZero, info.keyBits);
        hash.resize(32, 0);
        accdb::aes::EcbEncrypt(key, plain.data(), plain.size());
        accdb::aes::EcbEncrypt(key, hash.data(), hash.size());
        info.encryptedVerifier = plain;
        info.encryptedVerifierHash = hash;
    }
    return accdb::SerializeCryptoApiInfo(kind, info, 4, csp);
}

// Agile: a random page key, given to the password through three derived keys.
Bytes agileInfo(Encryption scheme, const Bytes& password, std::uint32_t spinCount, Random& random)
{
    const bool strong = scheme == Encryption::AgileAes256Sha512;
    accdb::AgileInfo info;
    for (accdb::AgileKeyInfo* key : {&info.keyData, &info.passwordKey}) {
        key->hash = strong ? accdb::HashAlgorithm::Sha512 : accdb::HashAlgorithm::Sha1;
        key->keyBits = strong ? 256 : 128;
        key->blockSize = 16;
        key->salt = random.bytes(16);
    }
    info.spinCount = spinCount;
    const accdb::AgileKeyInfo& pk = info.passwordKey;
    const Bytes base = accdb::agile::BaseHash(pk.hash, pk.salt, password, spinCount);
    const Bytes& iv = pk.salt;

    Bytes verifier = random.bytes(16);
    Bytes hash = accdb::Hash(pk.hash, {&verifier});
    hash.resize((hash.size() + 15) / 16 * 16, 0);
    const Bytes pageKey = random.bytes(info.keyData.keyBits / 8);
    info.encryptedVerifierHashInput = verifier;
    info.encryptedVerifierHashValue = hash;
    info.encryptedKeyValue = pageKey;
    const struct
    {
        const accdb::agile::KeyBlock& block;
        Bytes& data;
    } parts[] = {{accdb::agile::kVerifierInputBlock, info.encryptedVerifierHashInput},
                 {accdb::agile::kVerifierValueBlock, info.encryptedVerifierHashValue},
                 {accdb::agile::kKeyValueBlock, info.encryptedKeyValue}};
    for (const auto& part : parts) {
        const Bytes key = accdb::agile::BlockKey(pk.hash, base, part.block, pk.keyBits);
        accdb::agile::CbcEncrypt(key, iv, part.data.data(), part.data.size());
    }
    return accdb::SerializeAgileInfo(info);
}

} // namespace

QStringList encryptionNames()
{
    QStringList names;
    for (const SchemeName& n : kNames)
        names << QString::fromLatin1(n.name);
    return names;
}

bool encryptionFromName(const QString& name, Encryption* scheme)
{
    for (const SchemeName& n : kNames) {
        if (name == QLatin1String(n.name)) {
            *scheme = n.scheme;
            return true;
        }
    }
    return false;
}

QString encryptionName(Encryption scheme)
{
    for (const SchemeName& n : kNames)
        if (n.scheme == scheme)
            return QString::fromLatin1(n.name);
    return {};
}

QByteArray encryptImage(const QByteArray& plain, const EncryptionOptions& options)
{
    const auto size = std::size_t(plain.size());
    auto* data = reinterpret_cast<const std::uint8_t*>(plain.constData());
    if (size < 3 * accdb::kPageSize || size % accdb::kPageSize != 0 ||
        std::memcmp(data + 4, "Standard ACE DB", 16) != 0 || accdb::DatabaseKey(data) != 0)
        invalid("not an unencrypted ACE image");

    Random random(options.seed);
    const Bytes password = accdb::PasswordBytes(options.password.toStdString());
    const bool agile =
        options.scheme == Encryption::AgileAes128Sha1 || options.scheme == Encryption::AgileAes256Sha512;
    const Bytes info = agile ? agileInfo(options.scheme, password, options.spinCount, random)
                             : cryptoApiInfo(options.scheme, password, random);
    if (accdb::kInfoOffset + info.size() > accdb::kPageSize)
        invalid("the encryption information does not fit the header page");

    QByteArray image = plain;
    auto* out = reinterpret_cast<std::uint8_t*>(image.data());
    out[accdb::kInfoLengthOffset] = std::uint8_t(info.size());
    out[accdb::kInfoLengthOffset + 1] = std::uint8_t(info.size() >> 8);
    std::memcpy(out + accdb::kInfoOffset, info.data(), info.size());
    const std::uint32_t databaseKey = random.nonZero();
    accdb::SetDatabaseKey(out, databaseKey);

    // The pages are encrypted with what the reader derives from the header just written, so a
    // header it could not read back fails here, not in a test far away.
    accdb::EncryptionInfo parsed;
    if (accdb::ParseEncryptionInfo(out, accdb::kPageSize, parsed).status != accdb::Status::Ok)
        invalid("the encryption information written does not read back");
    const auto cipher = accdb::Unlock(parsed, password, databaseKey);
    if (!cipher)
        invalid("the password written does not open the file");
    for (std::size_t p = 1; p < size / accdb::kPageSize; ++p)
        cipher->encrypt(out + p * accdb::kPageSize, std::uint32_t(p));
    return image;
}

} // namespace jet
