#pragma once
// Character codes of the text a movie stores and the UTF-8 the rest of the engine uses.

#include <string>
#include <string_view>

namespace kinovex::flash {

// Text stored in a movie. From version 6 on movies store UTF-8; older ones store the
// system's 8-bit code page, read here as Latin-1. Bytes that are not valid UTF-8 in a newer
// movie are taken one by one as Latin-1 rather than lost.
std::u32string decodeMovieText(std::string_view bytes, int swfVersion);

// UTF-8, with every byte of an invalid sequence taken as Latin-1.
std::u32string decodeUtf8(std::string_view bytes);

std::string encodeUtf8(std::u32string_view text);
// Appends one character as UTF-8; a value past U+10FFFF is no character and adds nothing.
void appendUtf8(std::string& out, char32_t c);

} // namespace kinovex::flash
