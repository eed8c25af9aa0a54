// Base64 and the stored-password decryption on any stored text: a clean error or a text, never a
// fault; and what is encrypted decrypts to itself.
#include "Base64.h"
#include "FuzzDriver.h"
#include "KorvUserManagerCrypt.h"

#include <exception>

int main(int argc, char** argv)
{
    const QString key = QStringLiteral("Orvane fuzz key");
    FuzzTarget target{"fuzz_crypt",
                      {EncryptText(key, QStringLiteral("secret")).toUtf8(),
                       EncryptText(key, QString()).toUtf8(),
                       EncryptText(key, QStringLiteral("Pässwörd € 日本")).toUtf8(), QByteArray("AAAA"),
                       QByteArray("====")},
                      {"=", "==", "+", "/", "A", "\n"},
                      {}};
    target.run = [&key](const QByteArray& input) {
        const QString text = QString::fromUtf8(input);
        try {
            Base64Decode(text);
        } catch (const std::exception&) {
        }
        try {
            DecryptText(key, text);
        } catch (const std::exception&) {
        }
        // Printable text of a password's length: what users store.
        QString plain;
        for (const char c : input.left(20))
            if (c >= 0x20 && c < 0x7F)
                plain += QLatin1Char(c);
        FuzzCheck(DecryptText(key, EncryptText(key, plain)) == plain, "an encrypted text decrypts to itself");
    };
    return RunFuzzer(argc, argv, target);
}
