#pragma once
// Helpers for the engine's tests: load a movie made by our writer, draw it, look at pixels.

#include "SwfWriter.h"
#include "engine/Player.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kinovex::flash::test {

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // premultiplied ARGB

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// 0xRRGGBB of an opaque pixel.
inline std::uint32_t rgb(std::uint32_t argb) {
    return argb & 0xffffffu;
}

inline bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 255);
        const int cb = static_cast<int>((b >> shift) & 255);
        if (ca - cb > tolerance || cb - ca > tolerance) {
            return false;
        }
    }
    return true;
}

inline Frame render(Player& player, int width = 0, int height = 0) {
    Frame f;
    f.width = width > 0 ? width : player.stageWidth();
    f.height = height > 0 ? height : player.stageHeight();
    f.pixels.assign(static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height), 0);
    player.draw(f.pixels.data(), f.width, f.height, f.width * 4);
    return f;
}

inline LoadResult load(Player& player, const swf::SwfWriter& movie,
                       swf::Compression compression = swf::Compression::None) {
    const std::vector<std::uint8_t> bytes = movie.finish(compression);
    return player.loadFromMemory(bytes);
}

// A filled rectangle shape in pixels.
inline std::uint16_t defineRect(swf::SwfWriter& movie, double x, double y, double w, double h,
                                std::uint32_t rgbColor, std::uint8_t alpha = 255) {
    swf::ShapeBuilder shape;
    shape.fill0(shape.addFill(swf::FillStyle::solid(swf::Rgb(rgbColor, alpha))))
        .rectangle(x, y, w, h);
    return movie.defineShape(shape);
}

} // namespace kinovex::flash::test
