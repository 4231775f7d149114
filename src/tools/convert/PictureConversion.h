#pragma once
// The engine's pictures turned into what ffmpeg is handed. The engine draws premultiplied
// BGRA (0xAARRGGBB words); an encoder wants straight alpha, and an opaque picture for a 4:2:0
// encoder travels best as YUV 4:2:0 made here: under half the bytes through the pipe, and no
// conversion left for ffmpeg to do.

#include <cstdint>
#include <span>

namespace kinovex::cli {

// Premultiplied to straight alpha, in place.
void unpremultiply(std::span<std::uint32_t> pixels);

// An opaque width x height picture (both even) as planar YUV 4:2:0, BT.601 video range (what
// ffmpeg's own conversion makes of it): width * height luma bytes, then a quarter of that of
// blue-difference and of red-difference chroma, each chroma sample the mean of its 2 x 2
// pixels. `out` holds width * height * 3 / 2 bytes.
void toYuv420(const std::uint32_t* pixels, int width, int height, std::uint8_t* out);

} // namespace kinovex::cli
