// flash.utils.escapeMultiByte and unescapeMultiByte: text as %-escaped UTF-8 bytes. A half of
// a surrogate pair alone is U+FFFD, and the text ends at its first zero character.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/ByteArray.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/Utf16Text.h"
#include "engine/swf/PercentEncoding.h"

#include <cctype>

namespace kinovex::flash::avm2 {

namespace {

// The text as UTF-8, lone surrogate halves made U+FFFD; when `toZero`, up to its first zero
// character.
std::string wellFormed(const std::string& text, bool toZero) {
    std::u16string units = toUtf16(text);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            units[i] = 0xFFFD;
        } else if (u == 0 && toZero) {
            units.resize(i);
        }
    }
    return fromUtf16(units);
}

Value escapeMultiByte(Machine& vm, Value, Args a) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : wellFormed(vm.toString(arg(a, 0)), true)) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) != 0) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return vm.str(out);
}

// A % with a character that is no hex digit drops both; one with a second that is not drops
// all three; a % too near the end drops the rest. A zero character ends the text, unless a %
// drops it.
Value unescapeMultiByte(Machine& vm, Value, Args a) {
    const std::string text = wellFormed(vm.toString(arg(a, 0)), false);
    std::string bytes;
    for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 1 >= text.size() || hexDigit(text[i + 1]) < 0) {
            ++i;
            continue;
        }
        if (i + 2 >= text.size() || hexDigit(text[i + 2]) < 0) {
            i += 2;
            continue;
        }
        bytes += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
        i += 2;
    }
    return vm.str(utf8Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

} // namespace

void installMultiByteEscapes(Machine& m) {
    m.defineGlobalFunction("flash.utils", "escapeMultiByte", escapeMultiByte, 1);
    m.defineGlobalFunction("flash.utils", "unescapeMultiByte", unescapeMultiByte, 1);
}

} // namespace kinovex::flash::avm2
