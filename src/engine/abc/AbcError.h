#pragma once
// What was wrong with a block of ActionScript 3 bytecode, and where.

#include <cstddef>
#include <string>

namespace kinovex::flash::abc {

struct AbcError {
    std::size_t offset = 0; // in the block's bytes
    std::string message;
    int playerError = 0; // the number of the player's VerifyError for it, 0 when it has none

    std::string text() const { return "at byte " + std::to_string(offset) + ": " + message; }
};

} // namespace kinovex::flash::abc
