#pragma once
// Names in movies (symbols, instances, fonts, commands) compare without regard to the case of
// ASCII letters where the player ignores case; other bytes must match exactly.

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kinovex::flash {

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return x == y || (x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y));
           });
}

} // namespace kinovex::flash
