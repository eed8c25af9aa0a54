// Password-protected .accdb files. Access 2007 and later encrypt every page but the first with
// Office encryption (RC4 CryptoAPI, ECMA-376 standard AES, a "non-standard" AES variant, or agile
// AES) and keep what a reader needs for it in the header page. This unit tells the scheme from the
// header page, checks a password, derives the keys and decrypts (or, for the fixture writer,
// encrypts) pages. It knows nothing of libmdb or Qt: the reader program, the Jet writer and the
// known-answer tests use the same functions. The facts behind every step: shared/ACCDB-CRYPTO.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace accdb {

using Bytes = std::vector<std::uint8_t>;
// A page's 4-byte block number, as it enters the key or IV derivation.
using Block = std::array<std::uint8_t, 4>;

inline constexpr std::size_t kPageSize = 4096;
inline constexpr std::size_t kVersionOffset = 0x14;
inline constexpr std::size_t kDatabaseKeyOffset = 0x3E;
// uint16 length of the encryption information, then the information itself (never masked).
inline constexpr std::size_t kInfoLengthOffset = 0x299;
inline constexpr std::size_t kInfoOffset = 0x29B;
// A password longer than this many UTF-16 units is cut, as Access does.
inline constexpr std::size_t kMaxPasswordUnits = 255;

// --- the header page ---------------------------------------------------------------------------

// The database key of a header page (at least kDatabaseKeyOffset + 4 bytes) after unmasking: its
// four bytes read as a little-endian number. 0 means the pages are not encrypted.
std::uint32_t DatabaseKey(const std::uint8_t* page0);
// Stores key into the header page's key field, masked as the header is. Key 0 makes the pages
// read as plain, which is how a decrypted image is handed on.
void SetDatabaseKey(std::uint8_t* page0, std::uint32_t key);
// Whether the first size bytes of a file are the header of an ACE (.accdb) file whose pages are
// encrypted: the ACE signature, version 2 or later, a whole first page and a non-zero key.
bool IsEncryptedAce(const std::uint8_t* data, std::size_t size);
// The block of page number page: the database key's bytes XOR the page number's, little-endian.
Block PageBlock(std::uint32_t databaseKey, std::uint32_t page);
// The password as every scheme hashes it: UTF-16LE without terminator, cut to kMaxPasswordUnits.
// Malformed UTF-8 becomes U+FFFD (the caller sends what Qt encoded, which is always well formed).
Bytes PasswordBytes(std::string_view utf8);

// --- the encryption information in the header page ----------------------------------------------

enum class Scheme
{
    Rc4CryptoApi,   // RC4, 40 to 128 bits, SHA-1 ([MS-OFFCRYPTO] 2.3.5)
    StandardAes,    // ECMA-376 standard: AES-ECB, key from 50,000 SHA-1 rounds (2.3.4.5, 2.3.4.7)
    NonStandardAes, // as standard without the flag that says AES and without the rounds
    Agile,          // XML description, AES-CBC, iterated SHA-1 or SHA-2 (2.3.4.10 - 2.3.4.13)
};
const char* SchemeName(Scheme scheme);

enum class HashAlgorithm
{
    Sha1,
    Sha256,
    Sha384,
    Sha512,
};
std::size_t HashSize(HashAlgorithm algorithm);
// The hash of the concatenation of the parts.
Bytes Hash(HashAlgorithm algorithm, std::initializer_list<const Bytes*> parts);

// The CryptoAPI header and verifier of versions 2.2, 3.2 and 4.2 (RC4 and both AES kinds).
struct CryptoApiInfo
{
    std::uint32_t flags = 0;
    std::uint32_t algId = 0;
    std::uint32_t keyBits = 0;   // as used: 0 in the file is resolved to 40 (RC4) or the AES size
    Bytes salt;                  // 16 bytes
    Bytes encryptedVerifier;     // 16 bytes
    Bytes encryptedVerifierHash; // 20 bytes (RC4) or 32 (AES)
};

inline constexpr std::uint32_t kFlagCryptoApi = 0x04;
inline constexpr std::uint32_t kFlagDocProps = 0x08;
inline constexpr std::uint32_t kFlagExternal = 0x10;
inline constexpr std::uint32_t kFlagAes = 0x20;
inline constexpr std::uint32_t kAlgRc4 = 0x6801;
inline constexpr std::uint32_t kAlgAes128 = 0x660E;
inline constexpr std::uint32_t kAlgAes192 = 0x660F;
inline constexpr std::uint32_t kAlgAes256 = 0x6610;
inline constexpr std::uint32_t kAlgSha1 = 0x8004;

// One key description of the agile XML: keyData (the pages) or the password's encryptedKey.
struct AgileKeyInfo
{
    HashAlgorithm hash = HashAlgorithm::Sha1;
    std::uint32_t keyBits = 0;
    std::uint32_t blockSize = 0; // 16: AES is the only cipher read
    Bytes salt;
};

struct AgileInfo
{
    AgileKeyInfo keyData;
    AgileKeyInfo passwordKey;
    std::uint32_t spinCount = 0;
    Bytes encryptedVerifierHashInput;
    Bytes encryptedVerifierHashValue;
    Bytes encryptedKeyValue;
};

struct EncryptionInfo
{
    Scheme scheme = Scheme::Rc4CryptoApi;
    std::uint16_t versionMajor = 0;
    std::uint16_t versionMinor = 0;
    CryptoApiInfo cryptoApi; // all but agile
    AgileInfo agile;         // agile
};

enum class Status
{
    Ok,
    WrongPassword,
    Damaged,     // the encryption information or the pages make no sense: "may be corrupt"
    Unsupported, // a scheme this unit does not decrypt; detail names it
};

struct Result
{
    Status status = Status::Ok;
    std::string detail; // Unsupported: the scheme; Damaged: what is wrong (for people reading logs)
};

// Reads the encryption information of a header page of size bytes (at least kPageSize). Everything
// a password check needs is checked here, so that any later refusal can only be the password.
Result ParseEncryptionInfo(const std::uint8_t* page0, std::size_t size, EncryptionInfo& info);

// The encryption information as stored from offset kInfoOffset (its length goes to
// kInfoLengthOffset). For the fixture writer; ParseEncryptionInfo reads it back.
Bytes SerializeCryptoApiInfo(Scheme scheme, const CryptoApiInfo& info, std::uint16_t versionMajor,
                             const std::u16string& cspName);
Bytes SerializeAgileInfo(const AgileInfo& info);

// --- the steps of each scheme, each pinned by known-answer tests --------------------------------

namespace rc4 {
// H0 = SHA1(salt || password).
Bytes BaseHash(const Bytes& salt, const Bytes& password);
// SHA1(H0 || block) cut to keyBits; a 40-bit key is then zero-padded to 16 bytes.
Bytes BlockKey(const Bytes& baseHash, const Block& block, std::uint32_t keyBits);
// RC4 keyed with key over data, from the first byte of the keystream (encrypts and decrypts).
void Crypt(const Bytes& key, std::uint8_t* data, std::size_t size);
// Whether key (of block 0) opens the verifier: one keystream over verifier and then its hash.
// verifier receives the decrypted verifier.
bool Verify(const CryptoApiInfo& info, const Bytes& key, Bytes* verifier = nullptr);
} // namespace rc4

namespace aes {
inline constexpr std::uint32_t kStandardRounds = 50000;
// Hn: H0 = SHA1(salt || password), then rounds times H = SHA1(LE32(i) || H).
Bytes BaseHash(const Bytes& salt, const Bytes& password, std::uint32_t rounds);
// The key of a block: the two SHA-1 of the block hash XOR 0x36 / 0x5C, cut to keyBits.
Bytes BlockKey(const Bytes& baseHash, const Block& block, std::uint32_t keyBits);
void EcbDecrypt(const Bytes& key, std::uint8_t* data, std::size_t size);
void EcbEncrypt(const Bytes& key, std::uint8_t* data, std::size_t size);
// Whether key (of block 0) opens the verifier: SHA1(verifier) equals the hash's first 20 bytes.
bool Verify(const CryptoApiInfo& info, const Bytes& key, Bytes* verifier = nullptr);
} // namespace aes

namespace agile {
using KeyBlock = std::array<std::uint8_t, 8>;
extern const KeyBlock kVerifierInputBlock;
extern const KeyBlock kVerifierValueBlock;
extern const KeyBlock kKeyValueBlock;
// Hn: H0 = H(salt || password), then spinCount times H = H(LE32(i) || H).
Bytes BaseHash(HashAlgorithm hash, const Bytes& salt, const Bytes& password, std::uint32_t spinCount);
// H(Hn || block) cut to keyBits or padded with 0x36.
Bytes BlockKey(HashAlgorithm hash, const Bytes& baseHash, const KeyBlock& block, std::uint32_t keyBits);
// The IV of a page: keyData's hash of (keyData salt || page block), cut or padded (0x36) to the
// block size.
Bytes PageIv(const AgileKeyInfo& keyData, const Block& block);
// AES-CBC without padding; size a multiple of 16.
void CbcDecrypt(const Bytes& key, const Bytes& iv, std::uint8_t* data, std::size_t size);
void CbcEncrypt(const Bytes& key, const Bytes& iv, std::uint8_t* data, std::size_t size);
// The password check and the intermediate key: true when password opens info, with the decrypted
// verifier and the page key (keyData's key size) put into the outputs given.
bool Unlock(const AgileInfo& info, const Bytes& password, Bytes* key, Bytes* verifier = nullptr);
} // namespace agile

// --- pages ----------------------------------------------------------------------------------

// What decrypts and encrypts the pages of one file, with the keys derived once.
class PageCipher
{
public:
    virtual ~PageCipher() = default;
    // One whole page (kPageSize bytes) of number page (1 or more), in place.
    virtual void decrypt(std::uint8_t* data, std::uint32_t page) = 0;
    virtual void encrypt(std::uint8_t* data, std::uint32_t page) = 0;
};

// Checks password against info and derives what the pages need. Null when the password is wrong.
std::unique_ptr<PageCipher> Unlock(const EncryptionInfo& info, const Bytes& password,
                                   std::uint32_t databaseKey);

// The whole of an encrypted ACE image of size bytes, in place: parses the header page, checks the
// password, decrypts pages 1 onwards and sets the key to 0, so that the image reads as a plain
// file. A wrong password, an unsupported scheme or damaged encryption information leave every page
// as it was; pages that decrypt to no pages (Damaged after all) leave the image decrypted.
Result DecryptImage(std::uint8_t* image, std::size_t size, std::string_view passwordUtf8);

} // namespace accdb
