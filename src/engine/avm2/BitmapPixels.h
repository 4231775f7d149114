#pragma once
// The pixels of a BitmapData: premultiplied ARGB, as the player keeps them, so that a colour
// read back is what premultiplying made of the one written.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kinovex::flash::avm2 {

struct BitmapPixels {
    int width = 0;
    int height = 0;
    bool transparent = true;
    std::vector<std::uint32_t> argb; // premultiplied, rows without padding

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    std::uint32_t& at(int x, int y) {
        return argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
    }
    std::uint32_t get(int x, int y) const {
        return argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
    }
};

// A colour as scripts give it (0xAARRGGBB) premultiplied: each channel times alpha / 255,
// rounded.
inline std::uint32_t premultiplied(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    const auto channel = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (channel((argb >> 16) & 0xFF) << 16) | (channel((argb >> 8) & 0xFF) << 8) |
           channel(argb & 0xFF);
}

// Back to the colour scripts read: each channel times 255 / alpha in 8.8 fixed point, the
// reciprocal cut off.
inline std::uint32_t unpremultiplied(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 0) {
        return 0;
    }
    const std::uint32_t scale = 65280 / a;
    const auto channel = [scale](std::uint32_t c) {
        return std::min<std::uint32_t>((c * scale + 127) >> 8, 255);
    };
    return (a << 24) | (channel((argb >> 16) & 0xFF) << 16) | (channel((argb >> 8) & 0xFF) << 8) |
           channel(argb & 0xFF);
}

} // namespace kinovex::flash::avm2
