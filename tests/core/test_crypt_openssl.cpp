// Stored passwords checked against a second implementation: SHA-1, RC2, Blowfish and AES from
// OpenSSL's libcrypto, chained here by hand, must give the very stored texts this program writes.
#include "KorvUserManagerCrypt.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <ostream>

namespace {

class OpenSslBlock
{
public:
    OpenSslBlock(const char* name, const QByteArray& key, int rc2Bits = 0) : m_ctx(EVP_CIPHER_CTX_new())
    {
        const EVP_CIPHER* cipher = EVP_get_cipherbyname(name);
        if (!cipher)
            throw std::runtime_error(std::string("OpenSSL lacks ") + name);
        EVP_EncryptInit_ex(m_ctx, cipher, nullptr, nullptr, nullptr);
        EVP_CIPHER_CTX_set_key_length(m_ctx, key.size());
        if (rc2Bits)
            EVP_CIPHER_CTX_ctrl(m_ctx, EVP_CTRL_SET_RC2_KEY_BITS, rc2Bits, nullptr);
        if (EVP_EncryptInit_ex(m_ctx, nullptr, nullptr,
                               reinterpret_cast<const unsigned char*>(key.constData()), nullptr) != 1)
            throw std::runtime_error("OpenSSL key set-up failed");
        EVP_CIPHER_CTX_set_padding(m_ctx, 0);
        m_blockSize = EVP_CIPHER_CTX_get_block_size(m_ctx);
    }
    ~OpenSslBlock() { EVP_CIPHER_CTX_free(m_ctx); }
    int blockSize() const { return m_blockSize; }

    QByteArray encrypt(const QByteArray& block)
    {
        QByteArray out(block.size() + m_blockSize, 0);
        int len = 0;
        EVP_EncryptUpdate(m_ctx, reinterpret_cast<unsigned char*>(out.data()), &len,
                          reinterpret_cast<const unsigned char*>(block.constData()), block.size());
        out.truncate(len);
        return out;
    }

    // CFB with 8-bit feedback, which OpenSSL offers for neither RC2 nor Blowfish.
    QByteArray cfb8(QByteArray data)
    {
        QByteArray reg = encrypt(QByteArray(m_blockSize, '\xFF'));
        for (qsizetype i = 0; i < data.size(); ++i) {
            data[i] = char(data[i] ^ encrypt(reg)[0]);
            reg = reg.mid(1) + data[i];
        }
        return data;
    }

private:
    EVP_CIPHER_CTX* m_ctx;
    int m_blockSize = 0;
};

QByteArray sha1(const QByteArray& bytes)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(bytes.constData(), bytes.size(), md, &len, EVP_sha1(), nullptr);
    return QByteArray(reinterpret_cast<const char*>(md), int(len));
}

QByteArray pad(QByteArray text, int limit)
{
    for (int n = text.size(); n <= limit; ++n)
        text += char(n + 177);
    return text;
}

QString base64(const QByteArray& bytes)
{
    QByteArray out(4 * ((bytes.size() + 2) / 3) + 1, 0);
    const int len = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                    reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    return QString::fromLatin1(out.left(len));
}

QString referenceStoredText(const QByteArray& keyText, const QByteArray& plain)
{
    OpenSslBlock rc2("RC2-ECB", sha1(keyText), 1024);
    const QByteArray workingKey = rc2.cfb8(pad(keyText, 51));
    OpenSslBlock blowfish("BF-ECB", sha1(workingKey));
    return base64(blowfish.cfb8(pad(plain, 20)));
}

class OpenSslTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        legacy = OSSL_PROVIDER_load(nullptr, "legacy");
        defaults = OSSL_PROVIDER_load(nullptr, "default");
    }
    static void TearDownTestSuite()
    {
        if (legacy)
            OSSL_PROVIDER_unload(legacy);
        if (defaults)
            OSSL_PROVIDER_unload(defaults);
    }
    void SetUp() override
    {
        if (!legacy)
            GTEST_SKIP() << "OpenSSL legacy provider not available";
    }
    static OSSL_PROVIDER* legacy;
    static OSSL_PROVIDER* defaults;
};
OSSL_PROVIDER* OpenSslTest::legacy = nullptr;
OSSL_PROVIDER* OpenSslTest::defaults = nullptr;

struct StoredCase
{
    const char* key;   // Windows-1252 bytes
    const char* plain; // Windows-1252 bytes
};

void PrintTo(const StoredCase& c, std::ostream* os)
{
    *os << "key \"" << c.key << "\" text \"" << c.plain << '"';
}

class StoredTextTest : public OpenSslTest, public ::testing::WithParamInterface<StoredCase>
{
};

TEST_P(StoredTextTest, MatchesTheIndependentChain)
{
    const QByteArray key(GetParam().key);
    const QByteArray plain(GetParam().plain);
    const QString expected = referenceStoredText(key, plain);
    TUserManagerCrypt crypt;
    crypt.setQuick(true);
    crypt.setKeyBytes(key);
    EXPECT_EQ(crypt.EncryptBytes(plain), expected);
    // Decrypting the reference must give the text back (the empty text's form reads as empty).
    EXPECT_EQ(crypt.DecryptBytes(expected), plain);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredTextTest,
    ::testing::Values(StoredCase{"p#4!W\xF6=t\xB0Q", ""}, StoredCase{"p#4!W\xF6=t\xB0Q", "sa"},
                      StoredCase{"p#4!W\xF6=t\xB0Q", "Geheim!2024"},
                      StoredCase{"p#4!W\xF6=t\xB0Q", "\xE4\xF6\xFC\xDF\x80 ;=\""},
                      StoredCase{"p#4!W\xF6=t\xB0Q", "exactly twenty bytes"},
                      StoredCase{"p#4!W\xF6=t\xB0Q", "a password that is longer than twenty"},
                      StoredCase{"", "x"},
                      StoredCase{"a key text that is well over fifty-one characters long, really", "x"}));

TEST_F(OpenSslTest, FixedProfileKeyThroughTheTextRoutines)
{
    const QString key = QString::fromUtf8("p#4!Wö=t°Q");
    const QString text = QString::fromUtf8("Größe€");
    EXPECT_EQ(EncryptText(key, text), referenceStoredText("p#4!W\xF6=t\xB0Q", "Gr\xF6\xDF"
                                                                              "e\x80"));
}

struct BlockCase
{
    const char* name;
    int which;
};

void PrintTo(const BlockCase& c, std::ostream* os)
{
    *os << c.name;
}

class BlockTest : public OpenSslTest, public ::testing::WithParamInterface<BlockCase>
{
};

TEST_P(BlockTest, SingleBlocksUnderADigestKeyAgree)
{
    const QByteArray digest = sha1("block test key");
    std::unique_ptr<TKorvCipher> ours;
    QByteArray opensslKey = digest;
    int rc2Bits = 0;
    switch (GetParam().which) {
    case 0:
        ours = std::make_unique<TKorvBlowfish>();
        break;
    case 1:
        ours = std::make_unique<TKorvRC2>();
        rc2Bits = 1024;
        break;
    default:
        // A 160-bit key is four zero bytes short of AES-192.
        ours = std::make_unique<TKorvRijndael>();
        opensslKey += QByteArray(4, 0);
        break;
    }
    ours->InitStr("block test key");
    OpenSslBlock ref(GetParam().name, opensslKey, rc2Bits);
    ASSERT_EQ(ref.blockSize(), ours->BlockSize());
    QByteArray block(ours->BlockSize(), 0);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(round * 61 + i * 13);
        QByteArray out(block.size(), 0);
        ours->EncryptECB(reinterpret_cast<const unsigned char*>(block.constData()),
                         reinterpret_cast<unsigned char*>(out.data()));
        EXPECT_EQ(out.toHex(), ref.encrypt(block).toHex());
    }
    EXPECT_EQ(ours->IV().toHex(), ref.encrypt(QByteArray(ours->BlockSize(), '\xFF')).toHex());
}

INSTANTIATE_TEST_SUITE_P(
    Ciphers, BlockTest,
    ::testing::Values(BlockCase{"BF-ECB", 0}, BlockCase{"RC2-ECB", 1}, BlockCase{"AES-192-ECB", 2}),
    [](const ::testing::TestParamInfo<BlockCase>& p) {
        return std::string(p.param.which == 0 ? "Blowfish" : p.param.which == 1 ? "RC2" : "Rijndael");
    });

} // namespace
