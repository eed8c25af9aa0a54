// Member names are matched as automation matches them: without regard to case, as Unicode folds
// it. Simple case folding keeps every UTF-16 length, so a name of another length never matches.
#pragma once

#include <QString>

#include <cstring>
#include <string_view>

namespace member_names_detail {

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 0x20) : c;
}

// name against a member of the same length that differs from it somewhere.
bool sameIgnoringCase(const QString& name, std::u16string_view member);

} // namespace member_names_detail

// A report asks for several members of every column, so a name spelled exactly as the member (the
// common case) is settled inline, and most misses at the first letter; the rest goes to the
// case-blind comparison.
inline bool SameMemberName(const QString& name, std::u16string_view member)
{
    if (name.size() != qsizetype(member.size()) || member.empty())
        return false;
    const char16_t* chars = reinterpret_cast<const char16_t*>(name.constData());
    // A first character beyond ASCII is left to the full comparison.
    const char16_t first = chars[0];
    if (first < 0x80 && member_names_detail::asciiLower(first) != member_names_detail::asciiLower(member[0]))
        return false;
    return std::memcmp(chars, member.data(), sizeof(char16_t) * member.size()) == 0 ||
           member_names_detail::sameIgnoringCase(name, member);
}
