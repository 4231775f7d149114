#pragma once
// Multi-byte string actions work on characters; our strings hold UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace kinovex::flash::avm1 {

std::size_t utf8Length(std::string_view s);
// `count` characters from character `from`.
std::string utf8Substr(std::string_view s, double from, double count);
// The code point of character `index` (0 when out of range).
std::uint32_t utf8At(std::string_view s, std::size_t index);
std::string utf8Encode(std::uint32_t codePoint);

} // namespace kinovex::flash::avm1
