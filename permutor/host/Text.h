// Text helpers shared by the module and the host. "Without regard to case" means ASCII letters
// only, everywhere: these are the one place that rule lives.
#pragma once

#include <string>
#include <string_view>

namespace permutor::host {

constexpr char Text_UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

inline std::string Text_Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = Text_UpperChar(c);
    return r;
}

// <0, 0, >0 like strcmp, ASCII letters compared without case, other bytes by value.
inline int Text_CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(Text_UpperChar(a[i]));
        const unsigned char y = static_cast<unsigned char>(Text_UpperChar(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline bool Text_EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Text_CompareNoCase(a, b) == 0;
}

inline bool Text_StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && Text_EqualNoCase(s.substr(0, prefix.size()), prefix);
}

// Position of `needle` in `hay` without regard to case, or npos.
inline std::size_t Text_FindNoCase(std::string_view hay, std::string_view needle) {
    if (needle.size() > hay.size())
        return std::string_view::npos;
    for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i)
        if (Text_EqualNoCase(hay.substr(i, needle.size()), needle))
            return i;
    return std::string_view::npos;
}

// Removes leading and trailing characters with a code of 32 or less.
inline std::string_view Text_Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    return s.substr(b, e - b);
}

} // namespace permutor::host
