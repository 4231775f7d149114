#pragma once
// The machine keeps strings as UTF-8, but scripts index them by UTF-16 code units as the
// player does: length, charAt, indexOf and the like work on the units these give. A code unit
// of a surrogate with no partner is kept as its own three bytes (as String.fromCharCode makes
// it), so that joining the halves again gives the character back.

#include <string>
#include <string_view>

namespace kinovex::flash::avm2 {

std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view units);
// True when every byte is ASCII: then bytes and code units are the same.
bool isAscii(std::string_view text);
// The text as the player prints it: two halves side by side as their character, a lone one as
// U+FFFD.
std::string printable(std::string_view text);

} // namespace kinovex::flash::avm2
