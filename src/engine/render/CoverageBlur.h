#pragma once
// Box blur of a plane of coverage values (one byte a pixel), as shadows, glows and bevels
// blur the object's alpha.

#include <cstdint>

namespace kinovex::flash {

// Blurs the width x height values at `plane` (rows `width` apart) `passes` times each way with
// boxes 2 * radius + 1 wide; values beyond the edges count as 0. Each value becomes the floor
// of its box's mean, as boxBlur gives for one channel.
void coverageBlur(std::uint8_t* plane, int width, int height, int radiusX, int radiusY, int passes);

} // namespace kinovex::flash
