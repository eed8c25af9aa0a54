#include "Language.h"

#include <initializer_list>

namespace {

// Only the letters A to Z fold: "DEUTSCH" matches, but no other letter's case is ignored.
bool equalsAsciiNoCase(const QString& value, const char* word)
{
    const QLatin1StringView w(word);
    if (value.size() != w.size())
        return false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        char16_t a = value[i].unicode();
        char16_t b = static_cast<unsigned char>(w[i].toLatin1());
        if (a >= u'a' && a <= u'z')
            a = a - u'a' + u'A';
        if (b >= u'a' && b <= u'z')
            b = b - u'a' + u'A';
        if (a != b)
            return false;
    }
    return true;
}

bool isOneOf(const QString& value, std::initializer_list<const char*> words)
{
    for (const char* w : words) {
        if (equalsAsciiNoCase(value, w))
            return true;
    }
    return false;
}

} // namespace

int LanguageCodeFromSetting(const QString& value)
{
    if (isOneOf(value, {"D", "Deu", "Deutsch"}) || value == u"1")
        return 1;
    if (isOneOf(value, {"E", "Eng", "English"}) || value == u"2")
        return 2;
    if (isOneOf(value, {"Debug"}) || value == u"99")
        return 99;
    return 1;
}
