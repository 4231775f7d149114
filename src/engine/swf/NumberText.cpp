#include "engine/swf/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kinovex::flash {

namespace {

// Near the largest number, rounding to 15 digits would print a number past it (which reads
// back as Infinity): the digits are cut off instead, 1.79769313486231e+308.
std::string fifteenDigitsCut(double n) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.16e", std::fabs(n)); // d.dddddddddddddddde+ddd
    std::string mantissa(buf, 16);                         // d.dddddddddddddd
    while (mantissa.back() == '0') {
        mantissa.pop_back();
    }
    if (mantissa.back() == '.') {
        mantissa.pop_back();
    }
    return (n < 0 ? "-" : "") + mantissa + (buf + 18);
}

// 15 significant digits of |n|, a half rounded up (4096.000244140625 gives 409600024414063),
// and the power of ten of the first.
std::string roundedDigits(double n, int& exp10) {
    char buf[64];
    // d.dddd...e±x, as printf's %.40e writes it (exactly, without printf's cost).
    const auto written =
        std::to_chars(buf, buf + sizeof buf - 1, std::fabs(n), std::chars_format::scientific, 40);
    *written.ptr = '\0';
    std::string digits = buf[0] + std::string(buf + 2, 14);
    exp10 = std::atoi(std::strchr(buf, 'e') + 1);
    if (buf[16] >= '5') {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') {
            digits[--i] = '0';
        }
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exp10;
        } else {
            ++digits[i - 1];
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    return digits;
}

// Plain form from 1e-5 up to 1e15, "1.5e+20" and "7.62939453125e-6" outside it.
std::string fifteenDigits(double n) {
    if (std::fabs(n) < 1e15 && n == std::trunc(n)) {
        char buf[32];
        const auto written = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(n));
        return std::string(buf, written.ptr);
    }
    int exp10 = 0;
    const std::string digits = roundedDigits(n, exp10);
    std::string out = n < 0 ? "-" : "";
    const auto count = static_cast<int>(digits.size());
    if (exp10 < -5 || exp10 >= 15) {
        out += digits.substr(0, 1) + (count > 1 ? "." + digits.substr(1) : "");
        out += (exp10 < 0 ? "e-" : "e+") + std::to_string(std::abs(exp10));
        if (std::isinf(std::strtod(out.c_str(), nullptr))) {
            return fifteenDigitsCut(n);
        }
    } else if (exp10 < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exp10 - 1), '0') + digits;
    } else if (count <= exp10 + 1) {
        out += digits + std::string(static_cast<std::size_t>(exp10 + 1 - count), '0');
    } else {
        const auto point = static_cast<std::size_t>(exp10 + 1);
        out += digits.substr(0, point) + "." + digits.substr(point);
    }
    return out;
}

// ECMAScript's Number::toString: shortest round-trip digits placed by the exponent.
std::string shortestDigits(double n) {
    std::string sign;
    if (n < 0) {
        sign = "-";
        n = -n;
    }
    char buf[48];
    int precision = 1;
    for (; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*e", precision - 1, n);
        if (std::strtod(buf, nullptr) == n) {
            break;
        }
    }
    // buf: d.ddddde±x
    std::string mantissa;
    const char* p = buf;
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            mantissa += *p;
        }
    }
    const int exp10 = std::atoi(p + 1);
    while (mantissa.size() > 1 && mantissa.back() == '0') {
        mantissa.pop_back();
    }
    const int k = static_cast<int>(mantissa.size());
    const int point = exp10 + 1; // digits before the decimal point
    std::string out;
    if (k <= point && point <= 21) {
        out = mantissa + std::string(static_cast<std::size_t>(point - k), '0');
    } else if (0 < point && point <= 21) {
        out = mantissa.substr(0, static_cast<std::size_t>(point)) + "." +
              mantissa.substr(static_cast<std::size_t>(point));
    } else if (-6 < point && point <= 0) {
        out = "0." + std::string(static_cast<std::size_t>(-point), '0') + mantissa;
    } else {
        out = mantissa.substr(0, 1);
        if (k > 1) {
            out += "." + mantissa.substr(1);
        }
        out += point - 1 >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(point - 1));
    }
    return sign + out;
}

} // namespace

std::string numberToString(double n, NumberDigits digits) {
    if (std::isnan(n)) {
        return "NaN";
    }
    if (std::isinf(n)) {
        return n > 0 ? "Infinity" : "-Infinity";
    }
    if (n == 0) {
        return "0"; // also -0
    }
    return digits == NumberDigits::Fifteen ? fifteenDigits(n) : shortestDigits(n);
}

std::string numberToString(double n, int radix, NumberDigits digits) {
    if (radix == 10 || radix < 2 || radix > 36 || std::isnan(n) || std::isinf(n)) {
        return numberToString(n, digits);
    }
    double v = std::trunc(n);
    const bool negative = v < 0;
    if (negative) {
        v = -v;
    }
    if (v == 0) {
        return "0";
    }
    std::string out;
    while (v >= 1 && out.size() < 1100) {
        const double digit = std::fmod(v, radix);
        out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[static_cast<int>(digit)]);
        v = std::floor(v / radix);
    }
    if (negative) {
        out.insert(out.begin(), '-');
    }
    return out;
}

} // namespace kinovex::flash
