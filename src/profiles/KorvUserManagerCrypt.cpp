#include "KorvUserManagerCrypt.h"

#include "Base64.h"
#include "TextCodec.h"

#include <crypto++/algparam.h>
#include <crypto++/argnames.h>
#include <crypto++/blowfish.h>
#include <crypto++/rc2.h>
#include <crypto++/rijndael.h>
#include <crypto++/sha.h>
#include <crypto++/twofish.h>

#include <algorithm>
#include <cstring>

namespace {

// The pad bytes run up to this value; a padded text is always this many bytes plus one.
constexpr int kPadBase = 177;
constexpr int kTextLimit = 20;
constexpr int kKeyLimit = 51;

// Writes through a volatile pointer so the compiler cannot drop the store as dead.
void secureFill(void* p, std::size_t n, unsigned char value)
{
    volatile unsigned char* v = static_cast<volatile unsigned char*>(p);
    while (n--)
        *v++ = value;
}

// Overwrites the buffer only while this array is its sole holder: a shared buffer belongs to someone
// who still needs it, and writing through data() would merely detach a copy.
void wipe(QByteArray& bytes)
{
    if (!bytes.isEmpty() && bytes.isDetached())
        secureFill(bytes.data(), std::size_t(bytes.size()), 0xFF);
    bytes.clear();
}

unsigned char* bytesOf(QByteArray& a)
{
    return reinterpret_cast<unsigned char*>(a.data());
}

// Scope guard for a cipher: whatever leaves the operation, the cipher is reset and wiped.
struct CipherUse
{
    TKorvCipher& cipher;
    ~CipherUse()
    {
        cipher.Reset();
        cipher.Burn();
    }
};

} // namespace

// ---- TKorvCipher ---------------------------------------------------------------------------------

TKorvCipher::TKorvCipher(int blockSize, int maxKeyBits) : m_blockSize(blockSize), m_maxKeyBits(maxKeyBits) {}

TKorvCipher::~TKorvCipher()
{
    Burn();
}

void TKorvCipher::requireInitialized() const
{
    if (!m_initialized)
        throw TCipherError("Cipher not initialized");
}

void TKorvCipher::Init(const unsigned char* key, int keyBits, const unsigned char* iv)
{
    if (m_initialized)
        Burn();
    if (keyBits <= 0 || keyBits % 8 != 0 || keyBits > m_maxKeyBits)
        throw TCipherError("Key size invalid");
    setKey(key, keyBits / 8);
    m_initialized = true;
    if (iv) {
        std::memcpy(m_iv.data(), iv, std::size_t(m_blockSize));
    } else {
        // A fixed vector makes the stored text a function of text and key alone, which is what lets
        // the settings file be compared and carried between machines.
        std::array<unsigned char, 16> ones;
        ones.fill(0xFF);
        EncryptECB(ones.data(), m_iv.data());
    }
    m_register = m_iv;
}

void TKorvCipher::InitStr(const QByteArray& keyText)
{
    std::array<unsigned char, CryptoPP::SHA1::DIGESTSIZE> digest;
    CryptoPP::SHA1().CalculateDigest(digest.data(),
                                     reinterpret_cast<const unsigned char*>(keyText.constData()),
                                     std::size_t(keyText.size()));
    const int bits = std::min(m_maxKeyBits, int(digest.size()) * 8);
    try {
        Init(digest.data(), bits);
    } catch (...) {
        secureFill(digest.data(), digest.size(), 0xFF);
        throw;
    }
    secureFill(digest.data(), digest.size(), 0xFF);
}

void TKorvCipher::Reset()
{
    if (m_initialized)
        m_register = m_iv;
}

void TKorvCipher::Burn()
{
    // Crypto++ keeps its schedules in blocks that zero themselves when freed.
    m_enc.reset();
    m_dec.reset();
    secureFill(m_iv.data(), m_iv.size(), 0xFF);
    secureFill(m_register.data(), m_register.size(), 0xFF);
    m_initialized = false;
}

void TKorvCipher::EncryptECB(const unsigned char* in, unsigned char* out)
{
    requireInitialized();
    m_enc->ProcessBlock(in, out);
}

void TKorvCipher::DecryptECB(const unsigned char* in, unsigned char* out)
{
    requireInitialized();
    m_dec->ProcessBlock(in, out);
}

void TKorvCipher::EncryptCFB8bit(unsigned char* data, qsizetype size)
{
    requireInitialized();
    std::array<unsigned char, 16> block;
    const int bs = m_blockSize;
    for (qsizetype i = 0; i < size; ++i) {
        m_enc->ProcessBlock(m_register.data(), block.data());
        data[i] ^= block[0];
        std::memmove(m_register.data(), m_register.data() + 1, std::size_t(bs - 1));
        m_register[std::size_t(bs - 1)] = data[i];
    }
    secureFill(block.data(), block.size(), 0xFF);
}

void TKorvCipher::DecryptCFB8bit(unsigned char* data, qsizetype size)
{
    requireInitialized();
    std::array<unsigned char, 16> block;
    const int bs = m_blockSize;
    for (qsizetype i = 0; i < size; ++i) {
        m_enc->ProcessBlock(m_register.data(), block.data());
        const unsigned char cipherByte = data[i];
        data[i] ^= block[0];
        std::memmove(m_register.data(), m_register.data() + 1, std::size_t(bs - 1));
        m_register[std::size_t(bs - 1)] = cipherByte;
    }
    secureFill(block.data(), block.size(), 0xFF);
}

QByteArray TKorvCipher::IV() const
{
    return QByteArray(reinterpret_cast<const char*>(m_iv.data()), m_blockSize);
}

QByteArray TKorvCipher::ChainingRegister() const
{
    return QByteArray(reinterpret_cast<const char*>(m_register.data()), m_blockSize);
}

// ---- the four ciphers ----------------------------------------------------------------------------

TKorvBlowfish::TKorvBlowfish() : TKorvCipher(8, 448) {}
TKorvBlowfish::~TKorvBlowfish() = default;

void TKorvBlowfish::setKey(const unsigned char* key, int keyBytes)
{
    // Crypto++ refuses Blowfish keys under 4 bytes although the cipher allows them. Its schedule
    // cycles through the key bytes, so the key repeated whole up to at least 4 bytes is the same key.
    if (keyBytes < 4) {
        const int size = keyBytes * ((4 + keyBytes - 1) / keyBytes);
        unsigned char longer[6];
        for (int i = 0; i < size; ++i)
            longer[i] = key[i % keyBytes];
        m_enc = std::make_unique<CryptoPP::Blowfish::Encryption>(longer, std::size_t(size));
        m_dec = std::make_unique<CryptoPP::Blowfish::Decryption>(longer, std::size_t(size));
        secureFill(longer, sizeof longer, 0xFF);
        return;
    }
    m_enc = std::make_unique<CryptoPP::Blowfish::Encryption>(key, std::size_t(keyBytes));
    m_dec = std::make_unique<CryptoPP::Blowfish::Decryption>(key, std::size_t(keyBytes));
}

TKorvRijndael::TKorvRijndael() : TKorvCipher(16, 256) {}
TKorvRijndael::~TKorvRijndael() = default;

void TKorvRijndael::setKey(const unsigned char* key, int keyBytes)
{
    // AES takes 16, 24 or 32 bytes; a shorter key is followed by zero bytes up to the next of these.
    const int size = keyBytes <= 16 ? 16 : keyBytes <= 24 ? 24 : 32;
    std::array<unsigned char, 32> k{};
    std::memcpy(k.data(), key, std::size_t(keyBytes));
    m_enc = std::make_unique<CryptoPP::Rijndael::Encryption>(k.data(), std::size_t(size));
    m_dec = std::make_unique<CryptoPP::Rijndael::Decryption>(k.data(), std::size_t(size));
    secureFill(k.data(), k.size(), 0xFF);
}

TKorvTwofish::TKorvTwofish() : TKorvCipher(16, 256) {}
TKorvTwofish::~TKorvTwofish() = default;

void TKorvTwofish::setKey(const unsigned char* key, int keyBytes)
{
    // Twofish defines shorter keys as zero-extended to the next of 128, 192 and 256 bits.
    const int size = keyBytes <= 16 ? 16 : keyBytes <= 24 ? 24 : 32;
    std::array<unsigned char, 32> k{};
    std::memcpy(k.data(), key, std::size_t(keyBytes));
    m_enc = std::make_unique<CryptoPP::Twofish::Encryption>(k.data(), std::size_t(size));
    m_dec = std::make_unique<CryptoPP::Twofish::Decryption>(k.data(), std::size_t(size));
    secureFill(k.data(), k.size(), 0xFF);
}

TKorvRC2::TKorvRC2() : TKorvCipher(8, 1024) {}
TKorvRC2::~TKorvRC2() = default;

void TKorvRC2::setKey(const unsigned char* key, int keyBytes)
{
    // Effective key length 1024: the key is used in full, no reduction of the expanded key.
    m_enc = std::make_unique<CryptoPP::RC2::Encryption>(key, std::size_t(keyBytes), 1024);
    m_dec = std::make_unique<CryptoPP::RC2::Decryption>(key, std::size_t(keyBytes), 1024);
}

// ---- TUserManagerCrypt ---------------------------------------------------------------------------

TUserManagerCrypt::TUserManagerCrypt(QObject* owner)
    : QObject(owner), m_blowfish(std::make_unique<TKorvBlowfish>()),
      m_rijndael(std::make_unique<TKorvRijndael>()), m_twofish(std::make_unique<TKorvTwofish>()),
      m_rc2(std::make_unique<TKorvRC2>())
{
    // Before a key is written the working key is empty: the data ciphers are keyed from the digest
    // of no bytes, as the stored texts of the Windows program expect.
}

TUserManagerCrypt::~TUserManagerCrypt()
{
    wipe(m_keyText);
    wipe(m_workingKey);
}

void TUserManagerCrypt::setKey(const QString& keyText)
{
    setKeyBytes(ToAnsiBytes(keyText));
}

void TUserManagerCrypt::setKeyBytes(const QByteArray& keyText)
{
    wipe(m_keyText);
    m_keyText = QByteArray(keyText.constData(), keyText.size());
    CipherUse use{*m_rc2};
    m_rc2->InitStr(m_keyText);
    QByteArray w = PadText(m_keyText, kKeyLimit);
    m_rc2->EncryptCFB8bit(bytesOf(w), w.size());
    wipe(m_workingKey);
    m_workingKey = w;
}

QByteArray TUserManagerCrypt::PadText(const QByteArray& text, int limit)
{
    QByteArray out(text.constData(), text.size());
    for (qsizetype n = text.size(); n <= limit; ++n)
        out += char((n + kPadBase) & 0xFF);
    return out;
}

QByteArray TUserManagerCrypt::UnpadText(const QByteArray& text)
{
    // Only a padded text is exactly 21 bytes ending in the pad's last byte; anything else was stored
    // without pad (longer texts) and must come back whole, not cut or emptied.
    if (text.size() != kTextLimit + 1 || static_cast<unsigned char>(text.back()) != kPadBase + kTextLimit)
        return text;
    // The whole pad is what the empty text leaves; the one-byte text 177 leaves the same bytes, but
    // an empty password is common and that one is not, so this reads as empty. CryptTextBytes
    // gives byte 177 alone another form.
    if (text == PadText(QByteArray(), kTextLimit))
        return QByteArray();
    QByteArray result;
    for (int n = kTextLimit; n >= 1; --n) {
        QByteArray run;
        for (int b = n + kPadBase; b <= kPadBase + kTextLimit; ++b)
            run += char(b);
        if (text.contains(run))
            result = text.left(n);
    }
    return result;
}

QString TUserManagerCrypt::EncryptBytes(const QByteArray& plain)
{
    QByteArray t(plain.constData(), plain.size());
    auto pass = [&](TKorvCipher& cipher) {
        CipherUse use{cipher};
        cipher.InitStr(m_workingKey);
        QByteArray padded = PadText(t, kTextLimit);
        wipe(t);
        t = std::move(padded);
        cipher.EncryptCFB8bit(bytesOf(t), t.size());
    };
    try {
        if (!m_quick)
            pass(*m_twofish);
        pass(*m_blowfish);
        if (!m_quick)
            pass(*m_rijndael);
    } catch (...) {
        wipe(t);
        throw;
    }
    return Base64Encode(t);
}

QByteArray TUserManagerCrypt::DecryptBytes(const QString& stored)
{
    QByteArray t = Base64Decode(stored);
    auto pass = [&](TKorvCipher& cipher) {
        CipherUse use{cipher};
        cipher.InitStr(m_workingKey);
        cipher.DecryptCFB8bit(bytesOf(t), t.size());
    };
    try {
        if (!m_quick)
            pass(*m_rijndael);
        pass(*m_blowfish);
        if (!m_quick)
            pass(*m_twofish);
    } catch (...) {
        wipe(t);
        throw;
    }
    QByteArray result = UnpadText(t);
    wipe(t);
    return result;
}

QString TUserManagerCrypt::Encrypt()
{
    QByteArray bytes = CryptTextBytes(m_text);
    try {
        const QString stored = EncryptBytes(bytes);
        wipe(bytes);
        return stored;
    } catch (...) {
        wipe(bytes);
        throw;
    }
}

QString TUserManagerCrypt::Decrypt()
{
    QByteArray bytes = DecryptBytes(m_text);
    const QString text = FromAnsiBytes(bytes);
    wipe(bytes);
    return text;
}

namespace {

bool readsBack(const QByteArray& bytes, const QString& text)
{
    QByteArray padded = TUserManagerCrypt::PadText(bytes, kTextLimit);
    QByteArray back = TUserManagerCrypt::UnpadText(padded);
    const bool same = FromAnsiBytes(back) == text;
    wipe(back);
    wipe(padded);
    return same;
}

} // namespace

QByteArray CryptTextBytes(const QString& text)
{
    // The Windows program's form whenever it reads back as the same text. A few texts cannot: their
    // end continues the pad, or their bytes happen to be valid UTF-8 of another text. Those take
    // their UTF-8 form, which the Windows program could not have read back correctly either way.
    bool ok = false;
    QByteArray cp = ToWindows1252(text, &ok);
    if (ok && readsBack(cp, text))
        return cp;
    QByteArray utf8 = text.toUtf8();
    if (!ok || readsBack(utf8, text)) {
        wipe(cp);
        return utf8;
    }
    wipe(utf8);
    return cp;
}

QString EncryptText(const QString& keyText, const QString& plainText)
{
    // A component of its own, freed on every way out; no owner, so a call from any thread is safe.
    TUserManagerCrypt crypt;
    crypt.setQuick(true);
    crypt.setKey(keyText);
    crypt.setText(plainText);
    return crypt.Encrypt();
}

QString DecryptText(const QString& keyText, const QString& storedText)
{
    TUserManagerCrypt crypt;
    crypt.setQuick(true);
    crypt.setKey(keyText);
    crypt.setText(storedText);
    return crypt.Decrypt();
}
