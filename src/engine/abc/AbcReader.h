#pragma once
// Reading a block of ActionScript 3 bytecode into an AbcFile. Every count is checked against the
// bytes left and every index against its pool, so damaged input gives an error, never a crash
// or an allocation larger than the block.

#include "engine/abc/AbcError.h"
#include "engine/abc/AbcFile.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kinovex::flash::abc {

// Reads `bytes` (which the file keeps) into `out`. On error `out` holds what was read so far
// and must not be used.
std::optional<AbcError> readAbc(std::vector<std::uint8_t> bytes, AbcFile& out);

} // namespace kinovex::flash::abc
