#pragma once
// %XX escapes in names and form text, as a movie writes them.

#include <string>
#include <string_view>

namespace kinovex::flash {

// The value of a hex digit (either case); -1 for any other character.
int hexDigit(char c);

// `text` with each %XX (two hex digits) turned into its byte; with `plusIsSpace` (form text),
// each '+' into a space. A '%' without two hex digits after it stays as it is.
std::string percentDecode(std::string_view text, bool plusIsSpace);

} // namespace kinovex::flash
