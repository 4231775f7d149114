#pragma once
// Comparing script names: from version 7 on names are case-sensitive, before it they match
// whatever the case of their ASCII letters.

#include <string_view>

namespace kinovex::flash::avm1 {

// An ASCII letter in lower case; any other byte as it is.
inline char lowerAsciiLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool sameName(std::string_view a, std::string_view b, bool caseSensitive) {
    if (a.size() != b.size()) {
        return false;
    }
    if (caseSensitive) {
        return a == b;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAsciiLetter(a[i]) != lowerAsciiLetter(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace kinovex::flash::avm1
