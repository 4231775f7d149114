#include "desktop/browser/NaturalOrder.h"

#include <cstddef>
#include <cstdint>

namespace kinovex {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The code point at `at` (a stray byte stands for itself) and how many bytes it takes.
char32_t DecodeAt(std::string_view text, std::size_t at, std::size_t& length) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    length = 1;
    for (int i = 0; i < extra; ++i) {
        if (at + length >= text.size() ||
            (static_cast<std::uint8_t>(text[at + length]) & 0xC0) != 0x80) {
            length = 1;
            return lead;
        }
        code = (code << 6) | (static_cast<std::uint8_t>(text[at + length]) & 0x3F);
        ++length;
    }
    return code;
}

// The small letter of a capital of the Latin (Latin-1 and Extended-A), Greek or Cyrillic
// alphabets; any other character as it is.
char32_t FoldCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) // Ѐ to Џ
        return c + 0x50;
    if (c == 0x178) // Ÿ
        return 0xFF;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149)
        return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) ? c + (c & 1) : c | 1;
    return c;
}

// Compares the digit runs at `a[i]` and `b[j]` by their value and moves past them.
int CompareNumbers(std::string_view a, std::size_t& i, std::string_view b, std::size_t& j) {
    while (i < a.size() && a[i] == '0')
        ++i;
    while (j < b.size() && b[j] == '0')
        ++j;
    const std::size_t startA = i;
    const std::size_t startB = j;
    while (i < a.size() && IsDigit(a[i]))
        ++i;
    while (j < b.size() && IsDigit(b[j]))
        ++j;
    if (i - startA != j - startB)
        return i - startA < j - startB ? -1 : 1;
    return a.substr(startA, i - startA).compare(b.substr(startB, j - startB));
}

} // namespace

int NaturalCompare(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            if (const int numbers = CompareNumbers(a, i, b, j); numbers != 0)
                return numbers < 0 ? -1 : 1;
            continue;
        }
        std::size_t lengthA = 0;
        std::size_t lengthB = 0;
        const char32_t foldedA = FoldCase(DecodeAt(a, i, lengthA));
        const char32_t foldedB = FoldCase(DecodeAt(b, j, lengthB));
        if (foldedA != foldedB)
            return foldedA < foldedB ? -1 : 1;
        i += lengthA;
        j += lengthB;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

} // namespace kinovex
