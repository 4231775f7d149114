// Blend modes laid straight into the pixels give what cairo's compositing gives, on pixels of
// every kind (clear, half covered, opaque; channels low, middle and high).

#include "engine/render/BlendModes.h"

#include <cairo.h>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace kinovex::flash::test {
namespace {

// A premultiplied pixel from a running seed: alpha first, each channel at most alpha.
std::uint32_t pixel(std::uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    std::uint32_t a = seed >> 24;
    if ((seed & 0x300u) == 0) {
        a = 255; // many pixels of a picture are opaque
    } else if ((seed & 0x300u) == 0x100u) {
        a = 0;
    }
    std::uint32_t p = a << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        seed = seed * 1664525u + 1013904223u;
        p |= (a == 0 ? 0 : (seed >> 16) % (a + 1)) << shift;
    }
    return p;
}

struct ModeCase {
    BlendMode mode;
    cairo_operator_t cairoOperator;
};

class BlendModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(BlendModes, MatchCairosCompositing) {
    constexpr int kW = 64, kH = 64;
    std::uint32_t seed = 7;
    std::vector<std::uint32_t> below(kW * kH), above(kW * kH);
    for (std::size_t i = 0; i < below.size(); ++i) {
        below[i] = pixel(seed);
        above[i] = pixel(seed);
    }
    std::vector<std::uint32_t> ours = below;
    ASSERT_TRUE(blendsDirectly(GetParam().mode));
    blendImage(ours.data(), kW, above.data(), kW, kW, kH, GetParam().mode);

    std::vector<std::uint32_t> theirs = below;
    cairo_surface_t* dst = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(theirs.data()), CAIRO_FORMAT_ARGB32, kW, kH, kW * 4);
    cairo_surface_t* src = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(above.data()), CAIRO_FORMAT_ARGB32, kW, kH, kW * 4);
    cairo_t* cr = cairo_create(dst);
    cairo_set_operator(cr, GetParam().cairoOperator);
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(dst);
    cairo_surface_destroy(src);
    cairo_surface_destroy(dst);
    int differing = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        differing += ours[i] != theirs[i];
    }
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, BlendModes,
    ::testing::Values(ModeCase{BlendMode::Overlay, CAIRO_OPERATOR_OVERLAY},
                      ModeCase{BlendMode::Hardlight, CAIRO_OPERATOR_HARD_LIGHT},
                      ModeCase{BlendMode::Screen, CAIRO_OPERATOR_SCREEN},
                      ModeCase{BlendMode::Darken, CAIRO_OPERATOR_DARKEN},
                      ModeCase{BlendMode::Lighten, CAIRO_OPERATOR_LIGHTEN},
                      ModeCase{BlendMode::Difference, CAIRO_OPERATOR_DIFFERENCE}));

} // namespace
} // namespace kinovex::flash::test
