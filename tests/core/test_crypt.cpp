// Password encryption of stored profiles: the pad rule, the stored form, round trips and the
// cipher objects' life cycle.
#include "KorvUserManagerCrypt.h"

#include "Base64.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

const QString kProfileKey = QString::fromUtf8("p#4!Wö=t°Q");

QString latin1(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray run(int from, int to)
{
    QByteArray out;
    for (int b = from; b <= to; ++b)
        out += char(b);
    return out;
}

} // namespace

struct PadCase
{
    int length;
    int limit;
    QByteArray appended;
};

void PrintTo(const PadCase& c, std::ostream* os)
{
    *os << "length " << c.length << " limit " << c.limit;
}

class PadTextTest : public ::testing::TestWithParam<PadCase>
{
};

TEST_P(PadTextTest, AppendsTheRunUpToTheLimit)
{
    const QByteArray text(GetParam().length, 'k');
    EXPECT_EQ(TUserManagerCrypt::PadText(text, GetParam().limit), text + GetParam().appended);
}

INSTANTIATE_TEST_SUITE_P(Cases, PadTextTest,
                         ::testing::Values(PadCase{3, 20, run(180, 197)}, PadCase{10, 51, run(187, 228)},
                                           PadCase{0, 20, run(177, 197)}, PadCase{20, 20, run(197, 197)},
                                           PadCase{21, 20, {}}, PadCase{60, 51, {}}));

TEST(CryptTest, SameInputSameOutputAndKeysMatter)
{
    const QString a = EncryptText(kProfileKey, "secret");
    EXPECT_EQ(a, EncryptText(kProfileKey, "secret"));
    EXPECT_NE(a, EncryptText("another key", "secret"));
    EXPECT_NE(a, EncryptText(kProfileKey, "secreT"));
}

TEST(CryptTest, ShortTextsGiveTwentyEightCharactersWithoutFill)
{
    for (int len = 0; len <= 20; ++len) {
        const QString stored = EncryptText(kProfileKey, QString(len, u'x'));
        EXPECT_EQ(stored.size(), 28) << len;
        EXPECT_FALSE(stored.contains(u'=')) << len;
    }
}

TEST(CryptTest, EmptyTextAndByte177ShareOneStoredBytes)
{
    TUserManagerCrypt c;
    c.setKey(kProfileKey);
    c.setQuick(true);
    const QString stored = c.EncryptBytes(QByteArray());
    EXPECT_EQ(stored, c.EncryptBytes(QByteArray("\xB1")));
    // An empty saved password must not come back as a character nobody typed.
    EXPECT_EQ(c.DecryptBytes(stored), QByteArray());
    EXPECT_EQ(DecryptText(kProfileKey, stored), QString());
}

struct ContinuationCase
{
    QByteArray text;
    QByteArray expected;
};

void PrintTo(const ContinuationCase& c, std::ostream* os)
{
    *os << c.text.toHex().constData();
}

class PadContinuationTest : public ::testing::TestWithParam<ContinuationCase>
{
};

// Bytes whose end continues their pad downwards cannot be told from the pad; the Windows program
// reads such stored texts this way, so this program must too. The text routines avoid writing them.
TEST_P(PadContinuationTest, StoredBytesLoseTheContinuingEnd)
{
    TUserManagerCrypt c;
    c.setKey(kProfileKey);
    c.setQuick(true);
    EXPECT_EQ(c.DecryptBytes(c.EncryptBytes(GetParam().text)), GetParam().expected);
}

TEST_P(PadContinuationTest, TextRoutinesStillGiveTheTextBack)
{
    const QString text = latin1(GetParam().text);
    EXPECT_EQ(DecryptText(kProfileKey, EncryptText(kProfileKey, text)), text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PadContinuationTest,
    ::testing::Values(ContinuationCase{"abc" + run(180, 181), "abc"}, // L 5, k 2
                      ContinuationCase{"a" + run(178, 178), "a"},     // L 2, k 1
                      ContinuationCase{run(177, 178), {}},            // L 2, k 2: the empty text's form
                      ContinuationCase{"x" + run(178, 196), "x"},     // L 20, k 19
                      ContinuationCase{run(177, 177), {}},            // the empty text's form
                      ContinuationCase{"ab" + run(180, 180), "ab" + run(180, 180)})); // not L+176: kept

TEST(CryptTest, TextsWhoseWindowsBytesReadAsUtf8ComeBack)
{
    // "Ã©" in Windows-1252 is the UTF-8 of "é"; stored that way it would come back changed.
    const QString text = QString::fromUtf8("Ã©");
    EXPECT_EQ(DecryptText(kProfileKey, EncryptText(kProfileKey, text)), text);
    // Ordinary Windows-1252 texts keep the Windows program's stored form.
    EXPECT_EQ(CryptTextBytes(QString::fromUtf8("Größe")), QByteArray("Gr\xF6\xDF"
                                                                     "e"));
    EXPECT_EQ(CryptTextBytes(QString::fromUtf8("Ω")), QByteArray("\xCE\xA9"));
}

class RoundTripTest : public ::testing::TestWithParam<QString>
{
};

void PrintTo(const QString& s, std::ostream* os)
{
    *os << s.toStdString();
}

TEST_P(RoundTripTest, EveryLengthUpToFortyComesBack)
{
    for (int len = 0; len <= 40; ++len) {
        QString text;
        while (text.size() < len)
            text += GetParam();
        text.truncate(len);
        const QString stored = EncryptText(kProfileKey, text);
        EXPECT_EQ(DecryptText(kProfileKey, stored), text) << "length " << len;
    }
}

INSTANTIATE_TEST_SUITE_P(Alphabets, RoundTripTest,
                         ::testing::Values(QStringLiteral("Passw0rd;=\" "), QString::fromUtf8("äöüßÄÖÜ€°"),
                                           QString::fromUtf8("ΩжЖ日本"), QString::fromUtf8("aÅ"),
                                           QString(QChar(0)) + QStringLiteral("z")));

TEST(CryptTest, LongTextsEndingLikeAPadComeBackWhole)
{
    // 21 bytes ending in the pad's last byte, and longer texts holding a pad run inside.
    const QString endsLikePad = QString(20, u'a') + QChar(197);
    EXPECT_EQ(DecryptText(kProfileKey, EncryptText(kProfileKey, endsLikePad)), endsLikePad);
    const QString holdsRun = QStringLiteral("0123456789") + latin1(run(190, 197)) + QStringLiteral("tail");
    EXPECT_EQ(DecryptText(kProfileKey, EncryptText(kProfileKey, holdsRun)), holdsRun);
}

TEST(CryptTest, StoredTextOfAnotherKeyGivesNoErrorAndNotTheText)
{
    const QString stored = EncryptText(kProfileKey, "secret");
    EXPECT_NE(DecryptText("wrong", stored), QStringLiteral("secret"));
}

TEST(CryptTest, BadStoredLengthPassesTheBase64Error)
{
    EXPECT_THROW(DecryptText(kProfileKey, "abcde"), TBase64Error);
    EXPECT_EQ(DecryptText(kProfileKey, ""), QString());
}

TEST(CryptTest, ProfileKeyIsTakenAsItsWindows1252Bytes)
{
    TUserManagerCrypt a;
    a.setKey(kProfileKey);
    TUserManagerCrypt b;
    b.setKeyBytes(QByteArray("p#4!W\xF6=t\xB0Q"));
    EXPECT_EQ(a.WorkingKey(), b.WorkingKey());
}

TEST(CryptTest, WorkingKeyLength)
{
    TUserManagerCrypt c;
    c.setKeyBytes(QByteArray(10, 'k'));
    EXPECT_EQ(c.WorkingKey().size(), 52);
    c.setKeyBytes(QByteArray(51, 'k'));
    EXPECT_EQ(c.WorkingKey().size(), 52);
    // Over 51 bytes there is no pad: the working key is the key text's RC2 encryption.
    const QByteArray longKey(60, 'k');
    c.setKeyBytes(longKey);
    EXPECT_EQ(c.WorkingKey().size(), 60);
    EXPECT_NE(c.WorkingKey(), longKey);
}

TEST(CryptTest, ComponentWithoutKeyUsesTheEmptyWorkingKey)
{
    TUserManagerCrypt c;
    c.setQuick(true);
    c.setText("abc");
    const QString stored = c.Encrypt();
    EXPECT_EQ(c.text(), QStringLiteral("abc"));
    c.setText(stored);
    EXPECT_EQ(c.Decrypt(), QStringLiteral("abc"));
    EXPECT_TRUE(c.WorkingKey().isEmpty());
}

TEST(CryptTest, FullModeRoundTripsAndDiffersFromQuick)
{
    TUserManagerCrypt c;
    c.setKey(kProfileKey);
    c.setQuick(true);
    c.setText("secret");
    const QString quick = c.Encrypt();
    c.setQuick(false);
    const QString full = c.Encrypt();
    EXPECT_NE(quick, full);
    EXPECT_EQ(full.size(), 28);
    for (const QString& text : {QString(), QStringLiteral("secret"), QString(33, u'q')}) {
        c.setText(text);
        c.setText(c.Encrypt());
        EXPECT_EQ(c.Decrypt(), text);
    }
}

TEST(CryptTest, CiphersHoldNoKeyBetweenOperations)
{
    TUserManagerCrypt c(nullptr);
    c.setKey(kProfileKey);
    c.setText("secret");
    c.setText(c.Encrypt());
    c.Decrypt();
    const QByteArray burnt16(16, '\xFF');
    for (TKorvCipher* cipher :
         {static_cast<TKorvCipher*>(&c.Blowfish()), static_cast<TKorvCipher*>(&c.Rijndael()),
          static_cast<TKorvCipher*>(&c.Twofish()), static_cast<TKorvCipher*>(&c.RC2())}) {
        EXPECT_FALSE(cipher->Initialized());
        EXPECT_EQ(cipher->IV(), burnt16.left(cipher->BlockSize()));
        EXPECT_EQ(cipher->ChainingRegister(), burnt16.left(cipher->BlockSize()));
    }
}

class CipherTest : public ::testing::TestWithParam<int>
{
};

std::unique_ptr<TKorvCipher> makeCipher(int which)
{
    switch (which) {
    case 0:
        return std::make_unique<TKorvBlowfish>();
    case 1:
        return std::make_unique<TKorvRijndael>();
    case 2:
        return std::make_unique<TKorvTwofish>();
    default:
        return std::make_unique<TKorvRC2>();
    }
}

TEST_P(CipherTest, RefusesMisuse)
{
    auto cipher = makeCipher(GetParam());
    unsigned char data[16] = {};
    EXPECT_THROW(cipher->EncryptCFB8bit(data, 1), TCipherError);
    EXPECT_THROW(cipher->EncryptECB(data, data), TCipherError);
    const unsigned char key[200] = {};
    EXPECT_THROW(cipher->Init(key, 12), TCipherError);
    EXPECT_THROW(cipher->Init(key, 0), TCipherError);
    EXPECT_THROW(cipher->Init(key, cipher->MaxKeySize() + 8), TCipherError);
    EXPECT_FALSE(cipher->Initialized());
    cipher->Init(key, cipher->MaxKeySize());
    EXPECT_TRUE(cipher->Initialized());
}

TEST_P(CipherTest, Cfb8DecryptInvertsEncryptAndResetRestartsTheStream)
{
    auto cipher = makeCipher(GetParam());
    cipher->InitStr("key text");
    QByteArray data("The quick brown fox jumps over the lazy dog");
    const QByteArray plain = data;
    const QByteArray iv = cipher->IV();
    cipher->EncryptCFB8bit(reinterpret_cast<unsigned char*>(data.data()), data.size());
    EXPECT_NE(data, plain);
    EXPECT_EQ(cipher->ChainingRegister(), data.right(cipher->BlockSize()));
    cipher->Reset();
    EXPECT_EQ(cipher->ChainingRegister(), iv);
    cipher->DecryptCFB8bit(reinterpret_cast<unsigned char*>(data.data()), data.size());
    EXPECT_EQ(data, plain);
}

TEST_P(CipherTest, DecryptingTheVectorGivesTheBlockOfOnes)
{
    auto cipher = makeCipher(GetParam());
    cipher->InitStr("key text");
    const QByteArray iv = cipher->IV();
    QByteArray back(cipher->BlockSize(), 0);
    cipher->DecryptECB(reinterpret_cast<const unsigned char*>(iv.constData()),
                       reinterpret_cast<unsigned char*>(back.data()));
    EXPECT_EQ(back, QByteArray(cipher->BlockSize(), '\xFF'));
}

std::string cipherName(const ::testing::TestParamInfo<int>& info)
{
    static const char* const names[] = {"Blowfish", "Rijndael", "Twofish", "RC2"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CipherTest, ::testing::Values(0, 1, 2, 3), cipherName);
