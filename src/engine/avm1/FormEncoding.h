#pragma once
// Variables as URL-encoded text ("name=value&name2=value2"), as LoadVars.decode and
// loadVariables read them.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kinovex::flash::avm1 {

// %XX sequences as the bytes they stand for, '+' as a space; anything else as it is.
std::string formDecode(std::string_view text);

// The variables of `text` in the order written. Pairs are split at '&', a pair at its first '='
// (a pair with none has an empty value); pairs with an empty name are left out.
std::vector<std::pair<std::string, std::string>> decodeFormVariables(std::string_view text);

// Text of a file a movie loaded, as its scripts see it. From version 6 a byte-order mark says
// UTF-16 (big or little endian) or UTF-8 and is dropped; other text is read as the movie's
// own (UTF-8, or Latin-1 before version 6). The text ends at its first NUL character.
std::string loadedFileText(std::string_view bytes, int swfVersion);

} // namespace kinovex::flash::avm1
