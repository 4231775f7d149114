#include "engine/avm2/Utf16Order.h"

#include <cstdint>
#include <utility>

namespace kinovex::flash::avm2 {

namespace {

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The character starting at `at` (a lone or broken byte stands for itself).
char32_t characterAt(std::string_view s, std::size_t at) {
    if (at >= s.size()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(s[at]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if (at + static_cast<std::size_t>(i) >= s.size() ||
            !continuation(static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]))) {
            return lead;
        }
        c = (c << 6) | (static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]) & 0x3F);
    }
    return c;
}

// A character's first UTF-16 code unit, then the character (which orders its second one).
std::pair<char32_t, char32_t> utf16Key(char32_t c) {
    return {c < 0x10000 ? c : 0xD800 + ((c - 0x10000) >> 10), c};
}

} // namespace

int compareUtf16(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        ++i;
    }
    if (i == a.size() || i == b.size()) {
        return a.size() == b.size() ? 0 : (i == a.size() ? -1 : 1);
    }
    // Back to the start of the character the two differ in: their bytes before it are equal.
    while (i > 0 && continuation(static_cast<unsigned char>(a[i]))) {
        --i;
    }
    const auto x = utf16Key(characterAt(a, i));
    const auto y = utf16Key(characterAt(b, i));
    return x < y ? -1 : (y < x ? 1 : 0);
}

} // namespace kinovex::flash::avm2
