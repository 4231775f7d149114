#include "engine/avm1/builtins/CaseMapping.h"

#include "engine/avm1/Utf8.h"

namespace kinovex::flash::avm1 {

namespace {

bool within(std::uint32_t c, std::uint32_t first, std::uint32_t last) {
    return c >= first && c <= last;
}

// Blocks where upper and lower case letters alternate: the upper one has the parity `upperOdd`.
struct PairedBlock {
    std::uint32_t first;
    std::uint32_t last;
    bool upperOdd;
};

constexpr PairedBlock kPairedBlocks[] = {
    {0x0100, 0x012f, false}, {0x0132, 0x0137, false}, {0x0139, 0x0148, true},
    {0x014a, 0x0177, false}, {0x0179, 0x017e, true},  {0x0460, 0x0481, false},
    {0x048a, 0x04bf, false},
};

// Blocks where a lower case letter is the upper one plus `offset`.
struct ShiftedBlock {
    std::uint32_t firstUpper;
    std::uint32_t lastUpper;
    std::uint32_t offset;
};

constexpr ShiftedBlock kShiftedBlocks[] = {
    {0x0041, 0x005a, 32}, {0x00c0, 0x00d6, 32}, {0x00d8, 0x00de, 32}, {0x0391, 0x03a1, 32},
    {0x03a3, 0x03ab, 32}, {0x0388, 0x038a, 37}, {0x038e, 0x038f, 63}, {0x0410, 0x042f, 32},
    {0x0400, 0x040f, 80}, {0xff21, 0xff3a, 32},
};

// Single letters outside the blocks, as {upper, lower}.
constexpr std::uint32_t kSingles[][2] = {{0x0178, 0x00ff}, {0x0386, 0x03ac}, {0x038c, 0x03cc}};
// Lower case letters whose upper case letter has another lower case one (dotless i, long s,
// final sigma, micro sign), as {upper, lower}: they only go up.
constexpr std::uint32_t kUpOnly[][2] = {
    {0x0049, 0x0131}, {0x0053, 0x017f}, {0x03a3, 0x03c2}, {0x039c, 0x00b5}};

// Which way a paired letter goes; `toUpper` picks the direction.
std::uint32_t pairedCase(std::uint32_t c, bool toUpper) {
    for (const PairedBlock& b : kPairedBlocks) {
        if (within(c, b.first, b.last)) {
            const bool isUpper = ((c & 1) != 0) == b.upperOdd;
            if (isUpper && !toUpper) {
                return c + 1;
            }
            if (!isUpper && toUpper) {
                return c - 1;
            }
            return c;
        }
    }
    return c;
}

} // namespace

std::uint32_t upperCase(std::uint32_t c) {
    for (const ShiftedBlock& b : kShiftedBlocks) {
        if (within(c, b.firstUpper + b.offset, b.lastUpper + b.offset)) {
            return c - b.offset;
        }
    }
    for (const auto& s : kSingles) {
        if (c == s[1]) {
            return s[0];
        }
    }
    for (const auto& s : kUpOnly) {
        if (c == s[1]) {
            return s[0];
        }
    }
    return pairedCase(c, true);
}

std::uint32_t lowerCase(std::uint32_t c) {
    for (const ShiftedBlock& b : kShiftedBlocks) {
        if (within(c, b.firstUpper, b.lastUpper)) {
            return c + b.offset;
        }
    }
    for (const auto& s : kSingles) {
        if (c == s[0]) {
            return s[1];
        }
    }
    return pairedCase(c, false);
}

std::string mapCase(std::string_view s, std::uint32_t (*map)(std::uint32_t)) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t end = i + 1;
        while (end < s.size() && (static_cast<unsigned char>(s[end]) & 0xc0) == 0x80) {
            ++end;
        }
        const std::string_view one = s.substr(i, end - i);
        const std::uint32_t c = static_cast<unsigned char>(one[0]) < 0x80
                                    ? static_cast<unsigned char>(one[0])
                                    : utf8At(one, 0);
        const std::uint32_t m = map(c);
        if (m == c) {
            out += one;
        } else {
            out += utf8Encode(m);
        }
        i = end;
    }
    return out;
}

} // namespace kinovex::flash::avm1
