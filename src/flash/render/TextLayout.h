#pragma once
// Text of text fields: what the movie stores (plain or a small HTML subset, UTF-8 or, in old
// movies, Latin-1) turned into lines of character codes.

#include <cstdint>
#include <string>
#include <vector>

namespace kinovex::flash {

// Drops the tags of a text field's HTML, turning paragraph ends and <br> into line breaks and
// the usual entities into their characters.
std::string htmlToPlain(const std::string& html);

// Character codes of `text`: UTF-8 when it is valid UTF-8, otherwise Latin-1 (movies before
// version 6 store text that way).
std::u32string decodeText(const std::string& text);

// Splits at line breaks (CR, LF or CR LF).
std::vector<std::u32string> splitLines(const std::u32string& text);

// UTF-8 of one line.
std::string encodeUtf8(const std::u32string& text);

} // namespace kinovex::flash
