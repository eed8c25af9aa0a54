// Base64 form of the encrypted passwords kept in profile sections. The decoder is deliberately
// lenient in the same way as the Windows program's, so every stored text it wrote reads the same.
#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// Thrown for a stored text that cannot be Base64 at all (length not a multiple of four).
class TBase64Error : public std::runtime_error
{
public:
    TBase64Error();
};

// Standard alphabet, "=" fill, no line breaks.
QString Base64Encode(const QByteArray& bytes);

// Characters outside the alphabet count as 63, like "/"; the fill characters only shorten the last
// group. Throws TBase64Error when the length is not a multiple of four.
QByteArray Base64Decode(const QString& text);
