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
// The text of character code `code` as String.fromCharCode and MBAsciiToChar make it: from
// version 6 the character code & 0xFFFF; before, when the code is above 255, the characters
// of its second and its low byte. A character 0 ends a string, so callers cut the text there
// (see cutAtNul).
std::string textOfCode(std::uint32_t code, int swfVersion);
// Bytes that may not be UTF-8 read as the player reads them: a stray continuation byte is the
// Latin-1 character of that code; a lead byte takes as many bytes as it announces (up to 7)
// and gives U+FFFD when they are no valid character; the text ends at a NUL or at a sequence
// the bytes left cannot complete.
std::string readUtf8Leniently(std::string_view bytes);
// `s` up to its first NUL character.
std::string cutAtNul(std::string s);
// Text in a movie's actions: movies before version 6 have one byte a character (Latin-1),
// later ones UTF-8.
std::string movieText(std::string_view text, int swfVersion);
// The other way, for names a script looks for in the movie (frame labels, exported symbols):
// before version 6, each character as a byte ('?' beyond U+00FF).
std::string movieBytes(std::string_view text, int swfVersion);

} // namespace kinovex::flash::avm1
