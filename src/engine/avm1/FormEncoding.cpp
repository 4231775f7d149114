#include "engine/avm1/FormEncoding.h"

#include "engine/avm1/Utf8.h"
#include "engine/swf/PercentEncoding.h"

#include <cstdint>

namespace kinovex::flash::avm1 {

namespace {

std::string utf16Text(std::string_view bytes, bool bigEndian) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto hi = static_cast<std::uint8_t>(bytes[bigEndian ? i : i + 1]);
        const auto lo = static_cast<std::uint8_t>(bytes[bigEndian ? i + 1 : i]);
        std::uint32_t unit = static_cast<std::uint32_t>(hi) << 8 | lo;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const auto hi2 = static_cast<std::uint8_t>(bytes[bigEndian ? i + 2 : i + 3]);
            const auto lo2 = static_cast<std::uint8_t>(bytes[bigEndian ? i + 3 : i + 2]);
            const std::uint32_t low = static_cast<std::uint32_t>(hi2) << 8 | lo2;
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (unit == 0) {
            break;
        }
        out += utf8Encode(unit);
    }
    return out;
}

} // namespace

std::string formDecode(std::string_view text) {
    return percentDecode(text, true);
}

std::vector<std::pair<std::string, std::string>> decodeFormVariables(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('&', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view pair = text.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        std::string name = formDecode(pair.substr(0, equals));
        if (!name.empty()) {
            out.emplace_back(std::move(name), equals == std::string_view::npos
                                                  ? std::string()
                                                  : formDecode(pair.substr(equals + 1)));
        }
        start = end + 1;
    }
    return out;
}

std::string loadedFileText(std::string_view bytes, int swfVersion) {
    if (swfVersion >= 6 && bytes.size() >= 2) {
        const auto b0 = static_cast<std::uint8_t>(bytes[0]);
        const auto b1 = static_cast<std::uint8_t>(bytes[1]);
        if (b0 == 0xFE && b1 == 0xFF) {
            return utf16Text(bytes.substr(2), true);
        }
        if (b0 == 0xFF && b1 == 0xFE) {
            return utf16Text(bytes.substr(2), false);
        }
        if (bytes.size() >= 3 && b0 == 0xEF && b1 == 0xBB &&
            static_cast<std::uint8_t>(bytes[2]) == 0xBF) {
            bytes.remove_prefix(3);
        }
    }
    return cutAtNul(movieText(bytes, swfVersion));
}

} // namespace kinovex::flash::avm1
