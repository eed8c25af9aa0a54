// Encryption of the passwords kept in profile sections. Stored texts must stay readable by the
// Windows program and readable from it, so key derivation, vector, chaining mode, pad and text
// encoding are fixed; only the block ciphers and the hash come from Crypto++.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <stdexcept>

namespace CryptoPP {
class BlockTransformation;
}

// Misuse of the cipher layer (bad key size, use before initialisation). The profile code never
// triggers it; it exists so a programming error fails loudly instead of leaking plain text.
class TCipherError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One block cipher with its key schedule, initialisation vector, chaining register and
// initialised flag, and the 8-bit cipher feedback mode the stored texts use.
class TKorvCipher
{
public:
    virtual ~TKorvCipher();
    TKorvCipher(const TKorvCipher&) = delete;
    TKorvCipher& operator=(const TKorvCipher&) = delete;

    int BlockSize() const { return m_blockSize; }
    int MaxKeySize() const { return m_maxKeyBits; }
    bool Initialized() const { return m_initialized; }

    // keyBits must be a multiple of 8 between 8 and MaxKeySize(). Without iv the vector is a block
    // of 0xFF encrypted once under the new key.
    void Init(const unsigned char* key, int keyBits, const unsigned char* iv = nullptr);
    // Keys the cipher with the leading bits of the SHA-1 digest of keyText.
    void InitStr(const QByteArray& keyText);
    // The chaining register takes the vector again.
    void Reset();
    // Key schedule, vector and register are overwritten; the cipher counts as not initialised.
    void Burn();

    void EncryptECB(const unsigned char* in, unsigned char* out);
    void DecryptECB(const unsigned char* in, unsigned char* out);
    void EncryptCFB8bit(unsigned char* data, qsizetype size);
    void DecryptCFB8bit(unsigned char* data, qsizetype size);

    // For inspection in tests: copies of the current vector and chaining register.
    QByteArray IV() const;
    QByteArray ChainingRegister() const;

protected:
    TKorvCipher(int blockSize, int maxKeyBits);
    // Builds the schedule from keyBytes bytes of key (already checked against the size rules).
    virtual void setKey(const unsigned char* key, int keyBytes) = 0;

    std::unique_ptr<CryptoPP::BlockTransformation> m_enc;
    std::unique_ptr<CryptoPP::BlockTransformation> m_dec;

private:
    void requireInitialized() const;

    int m_blockSize;
    int m_maxKeyBits;
    bool m_initialized = false;
    std::array<unsigned char, 16> m_iv{};
    std::array<unsigned char, 16> m_register{};
};

class TKorvBlowfish : public TKorvCipher
{
public:
    TKorvBlowfish();
    ~TKorvBlowfish() override;

protected:
    void setKey(const unsigned char* key, int keyBytes) override;
};

class TKorvRijndael : public TKorvCipher
{
public:
    TKorvRijndael();
    ~TKorvRijndael() override;

protected:
    void setKey(const unsigned char* key, int keyBytes) override;
};

class TKorvTwofish : public TKorvCipher
{
public:
    TKorvTwofish();
    ~TKorvTwofish() override;

protected:
    void setKey(const unsigned char* key, int keyBytes) override;
};

class TKorvRC2 : public TKorvCipher
{
public:
    TKorvRC2();
    ~TKorvRC2() override;

protected:
    void setKey(const unsigned char* key, int keyBytes) override;
};

// Turns a text into its stored form under a key text and back. The program always uses quick mode
// (Blowfish only) through EncryptText/DecryptText; the full mode chains Twofish, Blowfish, Rijndael.
class TUserManagerCrypt : public QObject
{
    Q_OBJECT
public:
    explicit TUserManagerCrypt(QObject* owner = nullptr);
    ~TUserManagerCrypt() override;

    // Stores the key text and derives WorkingKey from it.
    void setKey(const QString& keyText);
    // Same, from the key text's bytes as they stand.
    void setKeyBytes(const QByteArray& keyText);
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    void setQuick(bool quick) { m_quick = quick; }

    // Stored text of text() under WorkingKey; neither the input nor the key changes.
    QString Encrypt();
    // Text of text() read as a stored text. Throws TBase64Error for a length not a multiple of 4.
    QString Decrypt();

    // Byte forms of Encrypt and Decrypt, without any text encoding.
    QString EncryptBytes(const QByteArray& plain);
    QByteArray DecryptBytes(const QString& stored);

    // Appends the bytes L+177 ... Limit+177 to a text of L <= Limit bytes.
    static QByteArray PadText(const QByteArray& text, int limit);
    // Removes the pad that Encrypt added to a text of up to 20 bytes; a text whose own end continues
    // the pad downwards loses that end, as in the Windows program. Only a 21-byte text ending in the
    // pad's last byte can be padded: anything else (longer texts carry no pad) comes back whole.
    static QByteArray UnpadText(const QByteArray& text);

    QByteArray WorkingKey() const { return m_workingKey; }

    TKorvBlowfish& Blowfish() { return *m_blowfish; }
    TKorvRijndael& Rijndael() { return *m_rijndael; }
    TKorvTwofish& Twofish() { return *m_twofish; }
    TKorvRC2& RC2() { return *m_rc2; }

private:
    std::unique_ptr<TKorvBlowfish> m_blowfish;
    std::unique_ptr<TKorvRijndael> m_rijndael;
    std::unique_ptr<TKorvTwofish> m_twofish;
    std::unique_ptr<TKorvRC2> m_rc2;
    QByteArray m_keyText;
    QByteArray m_workingKey;
    QString m_text;
    bool m_quick = false;
};

// Bytes a text is encrypted as: Windows-1252 where every character exists there and those bytes
// decrypt to the same text again, else UTF-8.
QByteArray CryptTextBytes(const QString& text);

QString EncryptText(const QString& keyText, const QString& plainText);
// Throws TBase64Error for a stored text whose length is not a multiple of four.
QString DecryptText(const QString& keyText, const QString& storedText);
