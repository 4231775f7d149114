#pragma once
// The order of the machine's strings (UTF-8) as the player orders its own (UTF-16 code units):
// the two differ where a character past the first plane meets one from U+E000 to U+FFFF.

#include <string_view>

namespace kinovex::flash::avm2 {

// Negative, zero or positive as `a` comes before, with or after `b`.
int compareUtf16(std::string_view a, std::string_view b);

} // namespace kinovex::flash::avm2
