// The .accdb decryption step by step against the known-answer vectors of shared/ACCDB-CRYPTO.md,
// taken from real encrypted files (R: RC4 40-bit, N: non-standard AES-256, A1: agile AES-128/SHA-1,
// A2: agile AES-256/SHA-512), and S: ECMA-376 standard AES-128, for which no real file was found:
// its values were computed outside this program (Python's hashlib for the hashes, the OpenSSL
// command line for AES). Header pages are built here by hand from the facts sheet's layout, not
// with the fixture writer, so that reader and writer cannot share a misreading of it.
#include "AccdbCrypto.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace accdb;

namespace {

Bytes hex(const char* text)
{
    const QByteArray b = QByteArray::fromHex(text);
    return Bytes(b.begin(), b.end());
}

std::string hexOf(const Bytes& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex().toStdString();
}

std::string hexOf(const std::uint8_t* data, std::size_t size)
{
    return hexOf(Bytes(data, data + size));
}

Bytes password(std::string_view utf8)
{
    return PasswordBytes(utf8);
}

Block block(std::uint32_t databaseKey, std::uint32_t page)
{
    return PageBlock(databaseKey, page);
}

constexpr Block kBlockZero = {0, 0, 0, 0};
const char kPage1Start[] = "0101640f01000000000000000200bb0f";

// A page whose first 16 bytes are the given ciphertext; the rest does not matter here.
Bytes pageStartingWith(const char* cipherHex)
{
    Bytes page(kPageSize, 0x5A);
    const Bytes start = hex(cipherHex);
    std::memcpy(page.data(), start.data(), start.size());
    return page;
}

// --- a header page, built by hand ---

void put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

void putBytes(Bytes& b, std::size_t at, const Bytes& v)
{
    std::copy(v.begin(), v.end(), b.begin() + std::ptrdiff_t(at));
}

// An ACE header page with the database key's physical bytes and encryption info at 0x29B.
Bytes headerPage(const char* physicalKeyHex, const Bytes& info)
{
    Bytes page(kPageSize, 0);
    page[1] = 0x01;
    std::memcpy(page.data() + 4, "Standard ACE DB", 16);
    page[0x14] = 0x03;
    putBytes(page, 0x3E, hex(physicalKeyHex));
    put16(page, 0x299, std::uint32_t(info.size()));
    putBytes(page, 0x29B, info);
    return page;
}

struct CryptoApiFields
{
    std::uint32_t flags;
    std::uint32_t algId;
    std::uint32_t keyBits;
    std::uint32_t providerType;
    const char16_t* csp;
    const char* salt;
    const char* encryptedVerifier;
    const char* encryptedVerifierHash;
};

// Version 4.2: version, flags, header size S, the header (32 fixed bytes + CSP name), the verifier.
Bytes cryptoApiInfo(const CryptoApiFields& f)
{
    const std::u16string csp = f.csp;
    const std::size_t s = 32 + 2 * (csp.size() + 1);
    const Bytes hash = hex(f.encryptedVerifierHash);
    Bytes info(12 + s + 40 + hash.size(), 0);
    put16(info, 0, 4);
    put16(info, 2, 2);
    put32(info, 4, f.flags);
    put32(info, 8, std::uint32_t(s));
    put32(info, 12, f.flags);
    put32(info, 20, f.algId);
    put32(info, 24, 0x8004);
    put32(info, 28, f.keyBits);
    put32(info, 32, f.providerType);
    for (std::size_t i = 0; i < csp.size(); ++i)
        put16(info, 44 + 2 * i, csp[i]);
    const std::size_t v = 12 + s;
    put32(info, v, 16);
    putBytes(info, v + 4, hex(f.salt));
    putBytes(info, v + 20, hex(f.encryptedVerifier));
    put32(info, v + 36, 20);
    putBytes(info, v + 40, hash);
    return info;
}

const CryptoApiFields kR = {0x04,
                            0x6801,
                            40,
                            1,
                            u"Microsoft Base Cryptographic Provider v1.0",
                            "78da7d5196c71492eed3b4471a479449",
                            "27f28425cc153a8f0c296d467fc6fb30",
                            "4dc1ea9024bbc3bf372ef0d987974c85fa729d62"};
const CryptoApiFields kN = {0x0C,
                            0x6610,
                            256,
                            0x18,
                            u"Microsoft Enhanced RSA and AES Cryptographic Provider",
                            "7413eec1b30f2d38a62d1160e1b00ce7",
                            "cad9594b612a162f52b00350e54537f8",
                            "19f94c8655326a58a04a82d61699a884acf288030d14442371fdce77c9e63bca"};
const CryptoApiFields kS = {0x24,
                            0x660E,
                            128,
                            0x18,
                            u"Microsoft Enhanced RSA and AES Cryptographic Provider",
                            "00112233445566778899aabbccddeeff",
                            "a16d3b39a2015d5c840aefe467137cdb",
                            "cfe778067373d9ecf207f5a4624a433f1bdc42ddf9ec571a771fa7b4648d9869"};

QByteArray b64(const char* hexText)
{
    return QByteArray::fromHex(hexText).toBase64();
}

// The agile description of sample A1 as Access writes it.
Bytes agileInfoA1()
{
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
        "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\" "
        "xmlns:c=\"http://schemas.microsoft.com/office/2006/keyEncryptor/certificate\">"
        "<keyData saltSize=\"16\" blockSize=\"16\" keyBits=\"128\" hashSize=\"20\" cipherAlgorithm=\"AES\" "
        "cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA1\" saltValue=\"" +
        b64("0e9623e1635b33a2565e4b9a1b2911b4") +
        "\"/><keyEncryptors><keyEncryptor "
        "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
        "<p:encryptedKey spinCount=\"100000\" saltSize=\"16\" blockSize=\"16\" keyBits=\"128\" "
        "hashSize=\"20\" "
        "cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA1\" saltValue=\"" +
        b64("c7c6aea8158d46d1831d0c337be68156") + "\" encryptedVerifierHashInput=\"" +
        b64("54f5c9cdd9dc18ee17845acb99da082c") + "\" encryptedVerifierHashValue=\"" +
        b64("e1211c5e9295b29d20dfd455f689fe11c27dfc9efef5ca41c83ca88fbb1df554") + "\" encryptedKeyValue=\"" +
        b64("a34723f783b1a321c643a083c2a4dd06") + "\"/></keyEncryptor></keyEncryptors></encryption>";
    Bytes info(8 + std::size_t(xml.size()), 0);
    put16(info, 0, 4);
    put16(info, 2, 4);
    put32(info, 4, 0x40);
    std::memcpy(info.data() + 8, xml.constData(), std::size_t(xml.size()));
    return info;
}

// Parses page, unlocks it with pw and decrypts page 1 (starting with cipherHex) with the result.
std::string firstBytesOfPage1(const Bytes& page0, const char* pw, const char* cipherHex)
{
    EncryptionInfo info;
    const Result parsed = ParseEncryptionInfo(page0.data(), page0.size(), info);
    EXPECT_EQ(parsed.status, Status::Ok) << parsed.detail;
    const auto cipher = Unlock(info, password(pw), DatabaseKey(page0.data()));
    if (!cipher)
        return "refused";
    Bytes page = pageStartingWith(cipherHex);
    cipher->decrypt(page.data(), 1);
    return hexOf(page.data(), 16);
}

} // namespace

// --- the header page and the password ---------------------------------------------------------

TEST(AccdbHeader, TheDatabaseKeyIsUnmaskedAndNeutralised)
{
    Bytes page = headerPage("1aad4fef", {});
    EXPECT_EQ(DatabaseKey(page.data()), 0xa1f327e1u);
    EXPECT_TRUE(IsEncryptedAce(page.data(), page.size()));
    SetDatabaseKey(page.data(), 0);
    EXPECT_EQ(hexOf(page.data() + 0x3E, 4), "fb8abc4e");
    EXPECT_EQ(DatabaseKey(page.data()), 0u);
    EXPECT_FALSE(IsEncryptedAce(page.data(), page.size()));
}

TEST(AccdbHeader, OnlyAnAceHeaderWithAKeyIsEncrypted)
{
    Bytes jet4 = headerPage("1aad4fef", {});
    std::memcpy(jet4.data() + 4, "Standard Jet DB", 16);
    jet4[0x14] = 1;
    EXPECT_FALSE(IsEncryptedAce(jet4.data(), jet4.size()));
    const Bytes ace = headerPage("1aad4fef", {});
    EXPECT_FALSE(IsEncryptedAce(ace.data(), kPageSize - 1));
}

TEST(AccdbHeader, PageBlockIsTheKeyXorThePageNumber)
{
    const Block b = block(0xa1f327e1u, 1);
    EXPECT_EQ(hexOf(Bytes(b.begin(), b.end())), "e027f3a1");
}

TEST(AccdbPassword, IsUtf16LittleEndianCutAt255Units)
{
    EXPECT_EQ(hexOf(password("Test123")), "5400650073007400310032003300");
    EXPECT_EQ(hexOf(password("Grüße€")), "47007200fc00df006500ac20");
    // Beyond the basic plane: a surrogate pair.
    EXPECT_EQ(hexOf(password("\xC3\xBC\xE2\x82\xAC\xF0\x9F\x94\x91")), "fc00ac203dd811dd");
    EXPECT_TRUE(password("").empty());
    EXPECT_EQ(password(std::string(300, 'x')).size(), 2 * kMaxPasswordUnits);
    // Malformed UTF-8 (a lone continuation byte, a cut sequence) becomes U+FFFD.
    EXPECT_EQ(hexOf(password("a\x80"
                             "b\xC3")),
              "6100fdff6200fdff");
}

// --- R: RC4 CryptoAPI, 40-bit, "Test123" --------------------------------------------------------

TEST(AccdbRc4, KnownAnswersStepByStep)
{
    const Bytes h0 = rc4::BaseHash(hex(kR.salt), password("Test123"));
    EXPECT_EQ(hexOf(h0), "3a484b8cc067045f5222b6ce8cee9c3277b90aca");
    const Bytes k0 = rc4::BlockKey(h0, kBlockZero, 40);
    EXPECT_EQ(hexOf(k0), "37a6391791" + std::string(22, '0'));

    CryptoApiInfo info;
    info.keyBits = 40;
    info.salt = hex(kR.salt);
    info.encryptedVerifier = hex(kR.encryptedVerifier);
    info.encryptedVerifierHash = hex(kR.encryptedVerifierHash);
    Bytes verifier;
    EXPECT_TRUE(rc4::Verify(info, k0, &verifier));
    EXPECT_EQ(hexOf(verifier), "c8221854eab5384be2d6c6b62063f34f");
    EXPECT_FALSE(
        rc4::Verify(info, rc4::BlockKey(rc4::BaseHash(info.salt, password("test123")), kBlockZero, 40)));

    const Bytes k1 = rc4::BlockKey(h0, block(0xa1f327e1u, 1), 40);
    EXPECT_EQ(hexOf(k1), "02dbed81c1" + std::string(22, '0'));
    Bytes page = pageStartingWith("1ff3c8a1bacb73e00e29ee45d7073039");
    rc4::Crypt(k1, page.data(), page.size());
    EXPECT_EQ(hexOf(page.data(), 16), kPage1Start);
}

// --- N: non-standard AES-256 (no rounds), "password" ----------------------------------------------

TEST(AccdbNonStandardAes, KnownAnswersStepByStep)
{
    const Bytes hn = aes::BaseHash(hex(kN.salt), password("password"), 0);
    EXPECT_EQ(hexOf(hn), "9cbe8095a57496cfcec1f68f04be0baf813a6240");
    const Bytes k0 = aes::BlockKey(hn, kBlockZero, 256);
    EXPECT_EQ(hexOf(k0), "d719a1dc1ac65b82f040551877639bb4c9a6eb6153769e26fdf53127c8fb625f");

    CryptoApiInfo info;
    info.keyBits = 256;
    info.encryptedVerifier = hex(kN.encryptedVerifier);
    info.encryptedVerifierHash = hex(kN.encryptedVerifierHash);
    Bytes verifier;
    EXPECT_TRUE(aes::Verify(info, k0, &verifier));
    EXPECT_EQ(hexOf(verifier), "1c03338691b8b8a372224896d6958a90");

    const Bytes k1 = aes::BlockKey(hn, block(0xa1e69e87u, 1), 256);
    EXPECT_EQ(hexOf(k1), "680d70809c34ae582eaa5b3b7f99a92ff3fa5f3f3457b02e429ad5e2f683b5ce");
    Bytes page = pageStartingWith("8ea7f079a8e33da9b11b0d77999b6818");
    aes::EcbDecrypt(k1, page.data(), page.size());
    EXPECT_EQ(hexOf(page.data(), 16), kPage1Start);
}

// --- S: ECMA-376 standard AES-128 (50,000 rounds), "Test123", values computed independently ----

TEST(AccdbStandardAes, KnownAnswersStepByStep)
{
    EXPECT_EQ(hexOf(aes::BaseHash(hex(kS.salt), password("Test123"), 0)),
              "c4635f90e2c90b2c6414688d975df8a44153eddd");
    const Bytes hn = aes::BaseHash(hex(kS.salt), password("Test123"), aes::kStandardRounds);
    EXPECT_EQ(hexOf(hn), "2d9bef9a39abc014309a6798f37380438b8b0378");
    const Bytes k0 = aes::BlockKey(hn, kBlockZero, 128);
    EXPECT_EQ(hexOf(k0), "1c9ddae9e1b1c51bf415e9aea2c5bad4");

    CryptoApiInfo info;
    info.keyBits = 128;
    info.encryptedVerifier = hex(kS.encryptedVerifier);
    info.encryptedVerifierHash = hex(kS.encryptedVerifierHash);
    Bytes verifier;
    EXPECT_TRUE(aes::Verify(info, k0, &verifier));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(verifier.data()), 16), "Orvane verifier!");

    const Bytes k1 = aes::BlockKey(hn, block(0xa1f327e1u, 1), 128);
    EXPECT_EQ(hexOf(k1), "1a112d71391d67808c0d5ecc21c348ae");
    Bytes page = pageStartingWith("83e350196caada6d9e5b757f29ecf25b");
    aes::EcbDecrypt(k1, page.data(), page.size());
    EXPECT_EQ(hexOf(page.data(), 16), kPage1Start);
}

// --- R, N and S from a header page built by hand: the parser finds what the steps above need --------

TEST(AccdbCryptoApi, TheHeaderPageOpensWithThePasswordAlone)
{
    // Physical key bytes: the mask XOR the database key (R and S e1 27 f3 a1, N 87 9e e6 a1).
    const struct
    {
        CryptoApiFields fields;
        const char* physicalKey;
        Scheme scheme;
        const char* right;
        const char* wrong;
        const char* page1;
    } cases[] = {
        {kR, "1aad4fef", Scheme::Rc4CryptoApi, "Test123", "Test1234", "1ff3c8a1bacb73e00e29ee45d7073039"},
        {kN, "7c145aef", Scheme::NonStandardAes, "password", "Password", "8ea7f079a8e33da9b11b0d77999b6818"},
        {kS, "1aad4fef", Scheme::StandardAes, "Test123", "", "83e350196caada6d9e5b757f29ecf25b"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.right);
        const Bytes page0 = headerPage(c.physicalKey, cryptoApiInfo(c.fields));
        EncryptionInfo info;
        ASSERT_EQ(ParseEncryptionInfo(page0.data(), page0.size(), info).status, Status::Ok);
        EXPECT_EQ(info.scheme, c.scheme);
        EXPECT_EQ(info.cryptoApi.keyBits, c.fields.keyBits);
        EXPECT_EQ(firstBytesOfPage1(page0, c.right, c.page1), kPage1Start);
        EXPECT_EQ(firstBytesOfPage1(page0, c.wrong, c.page1), "refused");
    }
}

// --- A1: agile AES-128 / SHA-1, "Test123" --------------------------------------------------------

TEST(AccdbAgile, A1KnownAnswersStepByStep)
{
    const Bytes salt = hex("c7c6aea8158d46d1831d0c337be68156");
    EXPECT_EQ(hexOf(agile::BaseHash(HashAlgorithm::Sha1, salt, password("Test123"), 0)),
              "ef430d984825941120987b56cf723b5be12ec99a");
    const Bytes hn = agile::BaseHash(HashAlgorithm::Sha1, salt, password("Test123"), 100000);
    EXPECT_EQ(hexOf(hn), "9a5520488c33b38cd34f4853a008548f970ec071");
    EXPECT_EQ(hexOf(agile::BlockKey(HashAlgorithm::Sha1, hn, agile::kVerifierInputBlock, 128)),
              "489b5d9b7c4f94be755917c17daf2f88");
    EXPECT_EQ(hexOf(agile::BlockKey(HashAlgorithm::Sha1, hn, agile::kVerifierValueBlock, 128)),
              "198250d625a0190dfaa1ef4710712761");
    EXPECT_EQ(hexOf(agile::BlockKey(HashAlgorithm::Sha1, hn, agile::kKeyValueBlock, 128)),
              "50dceeebb2acf3fc197e0181fb643145");

    EncryptionInfo info;
    const Bytes page0 = headerPage("470157ee", agileInfoA1()); // dbkey bc 8b eb a0
    EXPECT_EQ(DatabaseKey(page0.data()), 0xa0eb8bbcu);
    const Result parsed = ParseEncryptionInfo(page0.data(), page0.size(), info);
    ASSERT_EQ(parsed.status, Status::Ok) << parsed.detail;
    ASSERT_EQ(info.scheme, Scheme::Agile);
    EXPECT_EQ(info.agile.spinCount, 100000u);
    Bytes key, verifier;
    ASSERT_TRUE(agile::Unlock(info.agile, password("Test123"), &key, &verifier));
    EXPECT_EQ(hexOf(verifier), "4cf57acc50b661547c0553349dfae3d8");
    EXPECT_EQ(hexOf(key), "643d08def85d4145b4f602d7132d185a");
    EXPECT_EQ(hexOf(agile::PageIv(info.agile.keyData, block(0xa0eb8bbcu, 1))),
              "2f60d9e7edd2615799711745ce07d0b3");
    EXPECT_EQ(firstBytesOfPage1(page0, "Test123", "15219dee99e87ccec2919ea03bd3d79f"), kPage1Start);
    EXPECT_EQ(firstBytesOfPage1(page0, "test123", "15219dee99e87ccec2919ea03bd3d79f"), "refused");
}

// --- A2: agile AES-256 / SHA-512, "1234" (only the first block of the verifier hash is known) ------

TEST(AccdbAgile, A2KnownAnswersStepByStep)
{
    const Bytes salt = hex("8dc7e3bdc243463d83d4e6a016c8f74f");
    EXPECT_EQ(hexOf(agile::BaseHash(HashAlgorithm::Sha512, salt, password("1234"), 0)).substr(0, 32),
              "6be19153c338c027f4cb1fe1c54cabed");
    const Bytes hn = agile::BaseHash(HashAlgorithm::Sha512, salt, password("1234"), 100000);
    EXPECT_EQ(hexOf(hn).substr(0, 32), "73459a2327e13dcb5ca1934cd0245a7c");
    const Bytes k1 = agile::BlockKey(HashAlgorithm::Sha512, hn, agile::kVerifierInputBlock, 256);
    const Bytes k2 = agile::BlockKey(HashAlgorithm::Sha512, hn, agile::kVerifierValueBlock, 256);
    const Bytes k3 = agile::BlockKey(HashAlgorithm::Sha512, hn, agile::kKeyValueBlock, 256);
    EXPECT_EQ(hexOf(k1), "569514f9169288a4801abe84940a2223ff13ba30d9ba472e2c51efc7f52d0942");
    EXPECT_EQ(hexOf(k2), "6f73dd6dcad49dd475a9bd69c9a599e9658890658cb61c5208fed5386043886e");
    EXPECT_EQ(hexOf(k3), "29e0807ac8fa0804d43dc6742240c9b48a0602497a0ca86d72d53838687a549d");

    Bytes verifier = hex("1eb83f6807b2b315c9853a44b2d02026");
    agile::CbcDecrypt(k1, salt, verifier.data(), verifier.size());
    EXPECT_EQ(hexOf(verifier), "eecf16f825283e4d3ae9871b91117296");
    Bytes valueStart = hex("0aec1b8fd61130f41d1a8ef65d8884d2");
    agile::CbcDecrypt(k2, salt, valueStart.data(), valueStart.size());
    EXPECT_EQ(hexOf(valueStart), hexOf(Hash(HashAlgorithm::Sha512, {&verifier})).substr(0, 32));
    EXPECT_EQ(hexOf(valueStart), "36820630ed74552ccfeec822804588ec");

    Bytes key = hex("42e6c4a1893c0874d1b6294193ac7745e7adea73583dd2165467bd9de76e81d3");
    agile::CbcDecrypt(k3, salt, key.data(), key.size());
    EXPECT_EQ(hexOf(key), "fa94524aa5a90bbdf0cbb25e5d10bc3590b47618c18371016a9612ca922ce436");

    AgileKeyInfo keyData;
    keyData.hash = HashAlgorithm::Sha512;
    keyData.blockSize = 16;
    keyData.keyBits = 256;
    keyData.salt = hex("dcc179a992e5fded2c8535743007157a");
    const Bytes iv = agile::PageIv(keyData, block(0xa1b31fa9u, 1));
    EXPECT_EQ(hexOf(iv), "a8d15d7d4fcc1780b70372ec84688e52");
    Bytes page = pageStartingWith("c31154b0dc50ab52707e36597795277b");
    agile::CbcDecrypt(key, iv, page.data(), page.size());
    EXPECT_EQ(hexOf(page.data(), 16), kPage1Start);
}

// --- damaged and unsupported encryption information (facts sheet, section 9) ----------------------
// Each CryptoAPI field is damaged through the whole program in test_accdb_encrypted; the agile
// description's many attributes are checked here, on the parser alone.

// Agile attributes changed in the XML text: each must be refused before any password is tried.
TEST(AccdbDamagedInfo, AgileAttributes)
{
    struct Change
    {
        const char* from;
        const char* to;
        Status expected;
    };
    const Change changes[] = {
        {"<p:encryptedKey", "<p:somethingElse", Status::Damaged},               // no password key encryptor
        {"keyEncryptor/password\">", "keyEncryptor/other\">", Status::Damaged}, // nor here
        {"xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"", "xmlns:q=\"x\"",
         Status::Damaged}, // undeclared prefix
        {"spinCount=\"100000\"", "spinCount=\"10000001\"", Status::Damaged},
        {"spinCount=\"100000\"", "spinCount=\"many\"", Status::Damaged},
        {"keyBits=\"128\" hashSize=\"20\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" "
         "hashAlgorithm=\"SHA1\" saltValue",
         "keyBits=\"100\" hashSize=\"20\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" "
         "hashAlgorithm=\"SHA1\" saltValue",
         Status::Damaged},
        {"hashSize=\"20\"", "hashSize=\"64\"", Status::Damaged},
        {"blockSize=\"16\"", "blockSize=\"8\"", Status::Damaged},
        {"saltSize=\"16\"", "saltSize=\"15\"", Status::Damaged},
        {"cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"DES\"", Status::Unsupported},
        {"ChainingModeCBC", "ChainingModeCFB", Status::Unsupported},
        {"hashAlgorithm=\"SHA1\"", "hashAlgorithm=\"MD5\"", Status::Unsupported},
        {"encryptedKeyValue=\"", "encryptedKeyValue=\"AAAA", Status::Damaged},                // 3 bytes more
        {"encryptedVerifierHashInput=\"", "encryptedVerifierHashInput=\"!", Status::Damaged}, // not Base64
    };
    for (const Change& c : changes) {
        const Bytes original = agileInfoA1();
        QByteArray text(reinterpret_cast<const char*>(original.data()), qsizetype(original.size()));
        ASSERT_TRUE(text.contains(c.from)) << c.from;
        text.replace(text.indexOf(c.from), qsizetype(std::strlen(c.from)), c.to);
        const Bytes page0 = headerPage("470157ee", Bytes(text.begin(), text.end()));
        EncryptionInfo info;
        const Result r = ParseEncryptionInfo(page0.data(), page0.size(), info);
        EXPECT_EQ(r.status, c.expected) << c.to << ": " << r.detail;
    }
}
