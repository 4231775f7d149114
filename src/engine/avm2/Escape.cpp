// escape and unescape: %XX for the first 256 characters, %uXXXX for UTF-16 code units beyond
// them (a character past the first plane is two). The machine's strings are UTF-8.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/Utf16Text.h"
#include "engine/text/TextEncoding.h"

#include <cctype>
#include <cstring>

namespace kinovex::flash::avm2 {

namespace {

bool keptByEscape(char32_t c) {
    return c < 128 &&
           (std::isalnum(static_cast<int>(c)) != 0 || std::strchr("@-_.*+/", static_cast<int>(c)));
}

void appendHex(std::string& out, unsigned value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 15];
    }
}

// By UTF-16 code unit, so that a half of a surrogate pair alone is escaped as itself.
std::string escaped(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        if (keptByEscape(c)) {
            out += static_cast<char>(c);
        } else if (c < 256) {
            out += '%';
            appendHex(out, c, 2);
        } else {
            out += "%u";
            appendHex(out, c, 4);
        }
    }
    return out;
}

// The value of `digits` hex digits at `at`, or -1 when they are not all there.
long hexAt(const std::u32string& s, std::size_t at, std::size_t digits) {
    if (at + digits > s.size()) {
        return -1;
    }
    long v = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const char32_t c = s[i];
        if (c >= 128 || std::isxdigit(static_cast<int>(c)) == 0) {
            return -1;
        }
        v = v * 16 + (std::isdigit(static_cast<int>(c)) != 0 ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
}

// Pairs of surrogates become the character they stand for.
std::u32string joinSurrogates(const std::u32string& units) {
    std::u32string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            out += 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::u32string unescaped(const std::u32string& s) {
    std::u32string units;
    for (std::size_t i = 0; i < s.size(); ++i) {
        long v = -1;
        if (s[i] == '%' && i + 1 < s.size() && s[i + 1] == 'u') {
            v = hexAt(s, i + 2, 4);
            i += v >= 0 ? 5 : 0;
        } else if (s[i] == '%') {
            v = hexAt(s, i + 1, 2);
            i += v >= 0 ? 2 : 0;
        }
        units += v >= 0 ? static_cast<char32_t>(v) : s[i];
    }
    return joinSurrogates(units);
}

Value escapeFn(Machine& vm, Value, Args args) {
    return vm.str(escaped(toUtf16(vm.toString(arg(args, 0)))));
}

Value unescapeFn(Machine& vm, Value, Args args) {
    return vm.str(encodeUtf8(unescaped(decodeUtf8(vm.toString(arg(args, 0))))));
}

} // namespace

void installEscapeFunctions(Machine& m) {
    m.defineGlobalFunction("", "escape", escapeFn, 1);
    m.defineGlobalFunction("", "unescape", unescapeFn, 1);
}

} // namespace kinovex::flash::avm2
