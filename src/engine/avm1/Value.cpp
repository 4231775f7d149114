#include "engine/avm1/Value.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kinovex::flash::avm1 {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The longest prefix of `s` that reads as a decimal number; returns its length.
std::size_t decimalPrefix(std::string_view s, double& out) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    const std::size_t digitsStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ++i;
    }
    std::size_t digits = i - digitsStart;
    if (i < s.size() && s[i] == '.') {
        ++i;
        const std::size_t f = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
        }
        digits += i - f;
    }
    if (digits == 0) {
        return 0;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
                ++j;
            }
            i = j;
        }
    }
    out = std::strtod(std::string(s.substr(0, i)).c_str(), nullptr);
    return i;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

// All of `s` as digits in `radix`; NaN when anything else is there (or nothing).
double digitsInRadix(std::string_view s, int radix) {
    double v = 0;
    for (const char c : s) {
        const int d = digitValue(c);
        if (d >= radix) {
            return std::nan("");
        }
        v = v * radix + d;
    }
    return s.empty() ? std::nan("") : v;
}

// Digits in `radix`, with an optional sign in front of them.
double signedDigits(std::string_view s, int radix) {
    const bool sign = !s.empty() && (s.front() == '-' || s.front() == '+');
    const double v = digitsInRadix(sign ? s.substr(1) : s, radix);
    return sign && s.front() == '-' ? -v : v;
}

} // namespace

bool isOctalText(std::string_view s) {
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        s.remove_prefix(1);
    }
    return s.size() > 1 && s[0] == '0' && s.find_first_not_of("01234567") == std::string_view::npos;
}

namespace {} // namespace

double leadingInteger(std::string_view s, int radix) {
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    double v = 0;
    std::size_t used = 0;
    for (; used < s.size() && digitValue(s[used]) < radix; ++used) {
        v = v * radix + digitValue(s[used]);
    }
    if (used == 0) {
        return std::nan("");
    }
    return negative ? -v : v;
}

double stringToNumber(std::string_view s, int version) {
    if (version < 5) {
        while (!s.empty() && isSpace(s.front())) {
            s.remove_prefix(1);
        }
        double v = 0;
        return decimalPrefix(s, v) ? v : 0.0;
    }
    // From version 6, text that starts right away with 0x is hexadecimal (a minus may follow
    // the 0x), and a 0 followed by octal digits alone is octal (a sign may come first); blanks
    // in front turn both off.
    if (version >= 6 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        return signedDigits(trimBlanks(s.substr(2)), 16);
    }
    if (version >= 6 && isOctalText(trimBlanks(s)) && !isSpace(s.front())) {
        return signedDigits(trimBlanks(s), 8);
    }
    s = trimBlanks(s);
    if (s.empty()) {
        return std::nan("");
    }
    double v = 0;
    const std::size_t used = decimalPrefix(s, v);
    return used == s.size() ? v : std::nan("");
}

std::uint32_t toUint32(double n) {
    if (std::isnan(n) || std::isinf(n)) {
        return 0;
    }
    double m = std::fmod(std::trunc(n), 4294967296.0);
    if (m < 0) {
        m += 4294967296.0;
    }
    return static_cast<std::uint32_t>(m);
}

namespace {

constexpr std::uint64_t kNaNBits = 0x7FF8000000000000ULL;
constexpr std::uint64_t kNaNMarkBits = 0x0007FFFFFFFFFFFFULL;

std::uint64_t bitsOf(double n) {
    return std::bit_cast<std::uint64_t>(n);
}

} // namespace

double markedNaN(std::uint64_t box) {
    return std::bit_cast<double>(kNaNBits | ((box % kNaNMarkBits) + 1));
}

bool isMarkedNaN(double n) {
    return std::isnan(n) && (bitsOf(n) & kNaNMarkBits) != 0;
}

bool sameNaNBox(double a, double b) {
    return isMarkedNaN(a) && bitsOf(a) == bitsOf(b);
}

std::int32_t toInt32(double n) {
    return static_cast<std::int32_t>(toUint32(n));
}

double toInteger(double n) {
    if (std::isnan(n)) {
        return 0;
    }
    return std::trunc(n);
}

std::uint32_t toFrameNumber(double n) {
    return static_cast<std::uint32_t>(std::clamp(toInteger(n), 1.0, 4294967295.0));
}

} // namespace kinovex::flash::avm1
