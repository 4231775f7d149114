#pragma once
// Reading the encoder's elapsed time out of a chunk of its console output.

#include <string_view>

namespace kinovex {

// The run of decimal digits at `position`: -1 if the position is past the end or holds no
// digit, or if the number is not greater than 0. The fraction after a point is not read.
long ReadNumberAt(std::string_view text, std::size_t position);

// The whole seconds of the last status update's "time=" field in `chunk`, found through the
// chunk's last lowercase m, or 0 when the chunk holds none that can be read.
long ParseProgressSeconds(std::string_view chunk);

} // namespace kinovex
