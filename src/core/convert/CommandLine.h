#pragma once
// Splitting a command text into program arguments.

#include <string>
#include <vector>

namespace kinovex {

// Splits `command` as the Windows C runtime splits a process's command line, which is what the
// encoder's command text was written for:
// - the first word (the program) ends at the first blank or tab outside double quotes; quotes
//   in it only group and backslashes are plain characters;
// - in the other words, 2n backslashes before a quote give n backslashes and the quote opens or
//   closes a quoted part, 2n+1 backslashes before a quote give n backslashes and a literal
//   quote, backslashes before anything else stand for themselves;
// - inside a quoted part, two quotes in a row give one literal quote and the part goes on;
// - blanks and tabs outside quotes separate words; a quoted empty part is an empty word.
std::vector<std::string> SplitCommandLine(const std::string& command);

} // namespace kinovex
