// ByteArray's text: UTF-8 with and without a length, other character sets through iconv, and
// toString.

#include "engine/avm2/ByteArray.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/Utf16Text.h"
#include "engine/text/TextEncoding.h"

#include <algorithm>
#include <cctype>
#include <iconv.h>

namespace kinovex::flash::avm2 {

namespace {

// How many bytes the valid UTF-8 sequence at p takes, or 0 when none starts there.
std::size_t sequenceLength(const std::uint8_t* p, std::size_t left) {
    const std::uint8_t b = p[0];
    std::size_t n = 0;
    if (b < 0x80) {
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
    }
    if (n == 0 || n > left) {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    if ((b == 0xE0 && p[1] < 0xA0) || (b == 0xF0 && p[1] < 0x90) || (b == 0xF4 && p[1] > 0x8F)) {
        return 0; // too long a form, or past U+10FFFF
    }
    return n;
}

std::string lowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isUtf8(const std::string& charset) {
    return charset == "utf-8" || charset == "utf8";
}

// The character set's name as iconv knows it.
std::string iconvName(const std::string& charset) {
    if (charset == "unicode" || charset == "utf-16") {
        return "UTF-16LE";
    }
    if (charset == "unicodefffe") {
        return "UTF-16BE";
    }
    return charset;
}

// Text converted between character sets; nothing when iconv knows neither.
std::optional<std::string> convert(const std::string& to, const std::string& from,
                                   const std::string& text) {
    iconv_t cd = iconv_open((to + "//TRANSLIT").c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in = text;
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            if (outLeft < 8) {
                break;
            }
            ++inPtr; // a byte no character: skipped
            --inLeft;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

Value writeUTFBytes(Machine& vm, Value s, Args a) {
    const std::string text = vm.toString(arg(a, 0));
    putBytes(vm, byteArraySelf(vm, s), reinterpret_cast<const std::uint8_t*>(text.data()),
             text.size());
    return Value();
}

Value writeUTF(Machine& vm, Value s, Args a) {
    Object* ba = byteArraySelf(vm, s);
    const std::string text = vm.toString(arg(a, 0));
    if (text.size() > 0xFFFF) {
        vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
    }
    writeUnsigned(vm, ba, text.size(), 2);
    putBytes(vm, ba, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return Value();
}

Value readUTFBytes(Machine& vm, Value s, Args a) {
    const std::uint32_t n = vm.toUint(arg(a, 0));
    const std::uint8_t* p = takeBytes(vm, byteArraySelf(vm, s), n);
    return vm.str(utf8Text(p, n, true));
}

Value readUTF(Machine& vm, Value s, Args) {
    Object* ba = byteArraySelf(vm, s);
    const auto n = static_cast<std::size_t>(readUnsigned(vm, ba, 2));
    const std::uint8_t* p = takeBytes(vm, ba, n);
    return vm.str(utf8Text(p, n, true));
}

Value writeMultiByte(Machine& vm, Value s, Args a) {
    const std::string text = vm.toString(arg(a, 0));
    const std::string charset = lowerCase(vm.toString(arg(a, 1)));
    std::optional<std::string> bytes;
    if (!isUtf8(charset)) {
        bytes = convert(iconvName(charset), "UTF-8", text);
    }
    const std::string& out = bytes ? *bytes : text;
    putBytes(vm, byteArraySelf(vm, s), reinterpret_cast<const std::uint8_t*>(out.data()),
             out.size());
    return Value();
}

Value readMultiByte(Machine& vm, Value s, Args a) {
    const std::uint32_t n = vm.toUint(arg(a, 0));
    const std::string charset = lowerCase(vm.toString(arg(a, 1)));
    const std::uint8_t* p = takeBytes(vm, byteArraySelf(vm, s), n);
    if (!isUtf8(charset)) {
        const std::string raw(reinterpret_cast<const char*>(p), n);
        if (auto text = convert("UTF-8", iconvName(charset), raw)) {
            return vm.str(text->substr(0, text->find('\0')));
        }
    }
    return vm.str(utf8Text(p, n, true));
}

std::string utf16Text(const std::uint8_t* p, std::size_t n, bool bigEndian) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        units.push_back(
            static_cast<char16_t>(bigEndian ? (p[i] << 8) | p[i + 1] : (p[i + 1] << 8) | p[i]));
    }
    return fromUtf16(units);
}

// The whole array as text, whatever the position: a byte order mark picks UTF-16.
Value toString(Machine& vm, Value s, Args) {
    const auto& b = byteArraySelf(vm, s)->byteData;
    if (b.size() >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE))) {
        return vm.str(utf16Text(b.data() + 2, b.size() - 2, b[0] == 0xFE));
    }
    return vm.str(utf8Text(b.data(), b.size(), false));
}

} // namespace

std::string utf8Text(const std::uint8_t* data, std::size_t n, bool stopAtZero) {
    std::size_t start = 0;
    if (n >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        start = 3;
    }
    std::size_t end = n;
    if (stopAtZero) {
        end = static_cast<std::size_t>(std::find(data + start, data + n, 0) - data);
    }
    return utf8Bytes(data + start, end - start);
}

std::string utf8Bytes(const std::uint8_t* data, std::size_t n) {
    std::string out;
    out.reserve(n);
    std::size_t i = 0;
    while (i < n) {
        const std::size_t len = sequenceLength(data + i, n - i);
        if (len == 0) {
            appendUtf8(out, data[i]);
            ++i;
            continue;
        }
        out.append(reinterpret_cast<const char*>(data + i), len);
        i += len;
    }
    return out;
}

void installByteArrayText(Machine& m, ClassInfo* ba) {
    m.defineMethod(ba, "writeUTFBytes", writeUTFBytes, 1);
    m.defineMethod(ba, "writeUTF", writeUTF, 1);
    m.defineMethod(ba, "readUTFBytes", readUTFBytes, 1);
    m.defineMethod(ba, "readUTF", readUTF);
    m.defineMethod(ba, "writeMultiByte", writeMultiByte, 2);
    m.defineMethod(ba, "readMultiByte", readMultiByte, 2);
    m.defineMethod(ba, "toString", toString);
}

} // namespace kinovex::flash::avm2
