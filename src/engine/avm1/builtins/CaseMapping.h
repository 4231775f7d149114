#pragma once
// Upper and lower case as String.toUpperCase and toLowerCase change it: the letters of ASCII,
// Latin-1, Latin Extended-A, Greek, Cyrillic and the full-width Latin ones; other characters
// stay as they are.

#include <cstdint>
#include <string>
#include <string_view>

namespace kinovex::flash::avm1 {

std::uint32_t upperCase(std::uint32_t c);
std::uint32_t lowerCase(std::uint32_t c);
// Every character of the UTF-8 text `s` through `map`.
std::string mapCase(std::string_view s, std::uint32_t (*map)(std::uint32_t));

} // namespace kinovex::flash::avm1
