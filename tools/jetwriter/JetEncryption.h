// Turns a plain .accdb image into a password-protected one, in any scheme Access uses, for test
// fixtures and benchmark files: the encryption information goes into the header page, the
// database key into its masked field, and every other page is encrypted. The key derivations are
// the reader's own (src/jetreader/AccdbCrypto.h), which the known-answer tests pin to real files.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace jet {

enum class Encryption
{
    Rc4Crypto40,       // RC4 CryptoAPI, 40-bit (Access 2007, "Base" provider)
    Rc4Crypto128,      // RC4 CryptoAPI, 128-bit ("Enhanced" provider)
    StandardAes128,    // ECMA-376 standard AES-128 (50,000 SHA-1 rounds)
    NonStandardAes256, // AES-256 with the key from one SHA-1, as some Access versions write it
    AgileAes128Sha1,   // agile, AES-128, SHA-1
    AgileAes256Sha512, // agile, AES-256, SHA-512 (Access 2010 and later)
};

struct EncryptionOptions
{
    Encryption scheme = Encryption::AgileAes256Sha512;
    QString password;
    std::uint32_t spinCount = 100000; // agile only
    // Salts, keys and the database key come from a generator seeded with this; 0 seeds it from the
    // system, so that files differ.
    std::uint32_t seed = 0;
};

// The names mkjet takes: rc4-40, rc4-128, aes128-standard, aes256-nonstandard, agile-aes128-sha1,
// agile-aes256-sha512.
QStringList encryptionNames();
bool encryptionFromName(const QString& name, Encryption* scheme);
QString encryptionName(Encryption scheme);

// The encrypted twin of plain, an unencrypted ACE image (buildFile with Format::Ace12). The
// header's Jet password field is left as it is: Access does not use it in such files. Throws
// std::invalid_argument for an image that is no unencrypted ACE file.
QByteArray encryptImage(const QByteArray& plain, const EncryptionOptions& options);

} // namespace jet
