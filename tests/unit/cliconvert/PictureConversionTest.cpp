// What goes down the pipe: YUV 4:2:0 as ffmpeg itself would make it from the engine's BGRA,
// and straight alpha from premultiplied.

#include "tools/convert/PictureConversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kinovex::cli {
namespace {

constexpr std::uint32_t Opaque(std::uint32_t rgb) {
    return 0xFF000000u | rgb;
}

struct Yuv {
    int y, u, v;
};

// BT.601 video range in floating point: the reference the fixed-point conversion must meet.
Yuv Reference(double r, double g, double b) {
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    return {static_cast<int>(16 + 219 * y / 255 + 0.5),
            static_cast<int>(128 + 224 * (b - y) / (1.772 * 255) + 0.5),
            static_cast<int>(128 + 224 * (r - y) / (1.402 * 255) + 0.5)};
}

TEST(PictureConversion, Yuv420MatchesBt601VideoRangeWithChromaFromEachBlock) {
    // Known points of the scale, then every primary and grey in each 2 x 2 block.
    const std::vector<std::pair<std::uint32_t, Yuv>> known{
        {0x000000, {16, 128, 128}}, {0xFFFFFF, {235, 128, 128}}, {0xFF0000, {81, 90, 240}},
        {0x00FF00, {145, 54, 34}},  {0x0000FF, {41, 240, 110}},  {0x808080, {126, 128, 128}},
        {0xFFFF00, {210, 16, 146}}, {0x00FFFF, {170, 166, 16}},  {0xFF00FF, {106, 202, 222}}};
    for (const auto& [rgb, expected] : known) {
        SCOPED_TRACE(rgb);
        // Wide enough for eight pixels at a time and a tail after them.
        std::vector<std::uint32_t> picture(18 * 2, Opaque(rgb));
        std::uint8_t out[18 * 2 * 3 / 2];
        toYuv420(picture.data(), 18, 2, out);
        for (int i = 0; i < 36; ++i) {
            EXPECT_NEAR(out[i], expected.y, 1) << i;
        }
        for (int i = 36; i < 36 + 9; ++i) {
            EXPECT_NEAR(out[i], expected.u, 1) << i;
            EXPECT_NEAR(out[i + 9], expected.v, 1) << i;
        }
    }

    // A picture of varied colours, as wide as sixteen pixels at a time, eight, and a tail:
    // luma per pixel, chroma of each block's mean colour, planes laid out one after the other.
    const int w = 30, h = 6;
    std::vector<std::uint32_t> picture(w * h);
    for (int i = 0; i < w * h; ++i) {
        picture[i] = Opaque(static_cast<std::uint32_t>(i * 0x0B3D71 + 0x102030) & 0xFFFFFF);
    }
    std::vector<std::uint8_t> out(w * h * 3 / 2);
    toYuv420(picture.data(), w, h, out.data());
    auto channel = [&](int x, int y, int shift) {
        return static_cast<double>((picture[y * w + x] >> shift) & 255);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Yuv ref = Reference(channel(x, y, 16), channel(x, y, 8), channel(x, y, 0));
            EXPECT_NEAR(out[y * w + x], ref.y, 1) << x << "," << y;
        }
    }
    for (int by = 0; by < h / 2; ++by) {
        for (int bx = 0; bx < w / 2; ++bx) {
            double mean[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                for (int c = 0; c < 3; ++c) {
                    mean[c] += channel(2 * bx + k % 2, 2 * by + k / 2, 16 - 8 * c) / 4;
                }
            }
            const Yuv ref = Reference(mean[0], mean[1], mean[2]);
            const std::size_t at = static_cast<std::size_t>(by) * (w / 2) + bx;
            EXPECT_NEAR(out[w * h + at], ref.u, 1) << bx << "," << by;
            EXPECT_NEAR(out[w * h + (w / 2) * (h / 2) + at], ref.v, 1) << bx << "," << by;
            // Converted alone, a block takes the pixel-pair loop, which is the arithmetic's
            // plain statement: the wide loop must give the very same bytes.
            const std::size_t corner = static_cast<std::size_t>(2 * by) * w + 2 * bx;
            const std::uint32_t block[4] = {picture[corner], picture[corner + 1],
                                            picture[corner + w], picture[corner + w + 1]};
            std::uint8_t alone[6];
            toYuv420(block, 2, 2, alone);
            EXPECT_EQ(alone[0], out[corner]);
            EXPECT_EQ(alone[1], out[corner + 1]);
            EXPECT_EQ(alone[2], out[corner + w]);
            EXPECT_EQ(alone[3], out[corner + w + 1]);
            EXPECT_EQ(alone[4], out[w * h + at]);
            EXPECT_EQ(alone[5], out[w * h + (w / 2) * (h / 2) + at]);
        }
    }
}

TEST(PictureConversion, UnpremultiplyRestoresStraightColourAndLeavesEndsAlone) {
    std::vector<std::uint32_t> pixels{
        0x80400000u, // half-transparent red at half strength: full red
        0x40102030u, // quarter alpha
        0xFF123456u, // opaque: as it is
        0x00000000u, // clear: as it is
        0x01010101u, // the faintest alpha: no overflow past 255
    };
    unpremultiply(pixels);
    EXPECT_EQ(pixels[0], 0x80800000u);
    EXPECT_EQ(pixels[1], 0x404080BFu);
    EXPECT_EQ(pixels[2], 0xFF123456u);
    EXPECT_EQ(pixels[3], 0x00000000u);
    EXPECT_EQ(pixels[4], 0x01FFFFFFu);
}

} // namespace
} // namespace kinovex::cli
