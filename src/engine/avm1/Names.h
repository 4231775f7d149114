#pragma once
// Comparing script names: from version 7 on names are case-sensitive, before it they match
// whatever the case of their ASCII letters.

#include <string_view>

namespace kinovex::flash::avm1 {

inline bool sameName(std::string_view a, std::string_view b, bool caseSensitive) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (!caseSensitive) {
            x = (x >= 'A' && x <= 'Z') ? static_cast<char>(x - 'A' + 'a') : x;
            y = (y >= 'A' && y <= 'Z') ? static_cast<char>(y - 'A' + 'a') : y;
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

} // namespace kinovex::flash::avm1
