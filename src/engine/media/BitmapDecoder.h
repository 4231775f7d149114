#pragma once
// Bitmaps of a movie decoded to premultiplied 32-bit pixels: JPEG (with shared tables, with an
// alpha plane), PNG and GIF inside JPEG tags, and the lossless formats.

#include "engine/definitions/Characters.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kinovex::flash {

struct DecodedImage {
    int width = 0;
    int height = 0;
    // Premultiplied ARGB in native byte order (cairo's ARGB32), rows without padding.
    std::vector<std::uint32_t> pixels;
};

// Larger images are refused: the player's own limit is about this, and it bounds what a damaged
// header can make us allocate.
constexpr std::uint64_t kMaxBitmapPixels = 16u * 1024u * 1024u;

// False (with `error` set) when the data cannot be decoded.
bool decodeBitmap(const BitmapCharacter& bitmap, DecodedImage& out, std::string& error);

// Drops what real movies put in their JPEG data that a JPEG decoder rejects: an end-of-image
// marker followed by a new start-of-image before the image proper (also from joining shared
// tables with an image), and repeated start-of-image markers.
std::vector<std::uint8_t> normalizeJpeg(std::span<const std::uint8_t> data);

} // namespace kinovex::flash
