#pragma once
// Where the running program lives.

#include <string>

namespace kinovex {

// Full path of the running executable with symbolic links resolved (so a link in bin/ leads to
// the real program folder). Empty if it cannot be determined.
std::string RunningProgramPath();

// The folder that holds the program, without a trailing separator. The environment variable
// KINOVEX_PROGRAM_FOLDER replaces it (tests use it to run the start-up in a folder of their own).
std::string ProgramFolder();

// The program file's base name ("kinovex" for /usr/lib/kinovex/kinovex).
std::string ProgramBaseName();

} // namespace kinovex
