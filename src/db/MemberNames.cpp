#include "MemberNames.h"

namespace member_names_detail {

bool sameIgnoringCase(const QString& name, std::u16string_view member)
{
    const qsizetype length = name.size();
    const char16_t* chars = reinterpret_cast<const char16_t*>(name.constData());
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = chars[i];
        const char16_t m = member[std::size_t(i)];
        if (c == m)
            continue;
        // Beyond ASCII only Qt's full Unicode comparison knows what folds to what.
        if (c >= 0x80 || m >= 0x80)
            return name.compare(QStringView(member.data(), length), Qt::CaseInsensitive) == 0;
        if (asciiLower(c) != asciiLower(m))
            return false;
    }
    return true;
}

} // namespace member_names_detail
