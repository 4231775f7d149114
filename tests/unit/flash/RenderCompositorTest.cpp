// Painting through a coverage mask, pixel by pixel against premultiplied OVER and against
// adding under what is there, over rows of every length so that the eight- and four-at-a-time
// paths and the pixels left over at a row's end are all covered.

#include "engine/render/Compositor.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace kinovex::flash::test {
namespace {

// x / 255, rounded to nearest.
std::uint32_t div255(std::uint32_t x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

std::uint32_t channel(std::uint32_t p, int shift) {
    return (p >> shift) & 255;
}

std::uint32_t premultiplied(std::mt19937& rng) {
    const std::uint32_t a =
        std::uniform_int_distribution<std::uint32_t>(0, 3)(rng) == 0 ? 255 : rng() & 255;
    std::uint32_t p = a << 24;
    for (int shift : {0, 8, 16}) {
        p |= std::uniform_int_distribution<std::uint32_t>(0, a)(rng) << shift;
    }
    return p;
}

// Each test runs with the widest vectors the processor has and with four-pixel steps alone.
class RenderCompositor : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { m_before = allowWideVectors(GetParam()); }
    void TearDown() override { allowWideVectors(m_before); }

private:
    bool m_before = true;
};

TEST_P(RenderCompositor, SolidPaintBlendsEveryPixelByItsCoverage) {
    std::mt19937 rng(7);
    for (int width : {1, 3, 4, 5, 8, 13, 31, 64}) {
        const int height = 3;
        std::vector<std::uint32_t> over(static_cast<std::size_t>(width * height));
        std::vector<std::uint8_t> mask(over.size());
        for (std::size_t i = 0; i < over.size(); ++i) {
            over[i] = premultiplied(rng);
            // Runs of nothing, of full coverage and of everything between.
            const int kind = static_cast<int>(rng() % 4);
            mask[i] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<std::uint8_t>(rng() & 255);
        }
        std::vector<std::uint32_t> under = over;
        for (std::uint32_t solid : {0x80402010u, 0xff336699u, 0x01010000u}) {
            std::vector<std::uint32_t> expectOver = over;
            std::vector<std::uint32_t> expectUnder = under;
            for (std::size_t i = 0; i < over.size(); ++i) {
                std::uint32_t o = 0, u = 0;
                const std::uint32_t room = 255 - (under[i] >> 24);
                const std::uint32_t m = std::min<std::uint32_t>(mask[i], room);
                const std::uint32_t sa = div255((solid >> 24) * mask[i]);
                for (int shift : {0, 8, 16, 24}) {
                    const std::uint32_t s = div255(channel(solid, shift) * mask[i]);
                    o |= std::min<std::uint32_t>(255,
                                                 s + div255(channel(over[i], shift) * (255 - sa)))
                         << shift;
                    u |= std::min<std::uint32_t>(255, div255(channel(solid, shift) * m) +
                                                          channel(under[i], shift))
                         << shift;
                }
                expectOver[i] = o;
                expectUnder[i] = u;
            }
            CoverageTarget t;
            t.strideWords = width;
            t.coverage = mask.data();
            t.coverageStride = width;
            t.width = width;
            t.height = height;
            Paint paint;
            paint.solid = solid;
            t.pixels = over.data();
            compositeOver(t, paint);
            t.pixels = under.data();
            accumulate(t, paint);
            for (std::size_t i = 0; i < over.size(); ++i) {
                ASSERT_EQ(over[i], expectOver[i]) << "width " << width << " pixel " << i;
                ASSERT_EQ(under[i], expectUnder[i]) << "width " << width << " pixel " << i;
            }
        }
    }
}

// src OVER dst through coverage m, as cairo's image backend rounds it.
std::uint32_t overThrough(std::uint32_t src, std::uint32_t dst, std::uint32_t m) {
    const std::uint32_t sa = div255((src >> 24) * m);
    std::uint32_t o = 0;
    for (int shift : {0, 8, 16, 24}) {
        o |= std::min<std::uint32_t>(255, div255(channel(src, shift) * m) +
                                              div255(channel(dst, shift) * (255 - sa)))
             << shift;
    }
    return o;
}

TEST_P(RenderCompositor, GradientPaintTakesEachPixelsColourFromItsPlaceInTheRamp) {
    // Linear and radial gradients that pad, over rows of every length with gaps in the
    // coverage: every covered pixel gets the ramp colour of its own centre (give or take the
    // neighbouring entry where rounding falls either way), pixels past the ends the end colours.
    GradientRamp ramp;
    for (int i = 0; i < GradientRamp::kSize; ++i) {
        const auto v = static_cast<std::uint32_t>(i * 255 / (GradientRamp::kSize - 1));
        ramp.colors[static_cast<std::size_t>(i)] = 0xc0000000u | v << 16 | (255 - v) / 2 << 8;
    }
    ramp.spread = SpreadMode::Pad;
    std::mt19937 rng(5);
    for (FillStyle::Type type : {FillStyle::Type::Linear, FillStyle::Type::Radial}) {
        ramp.type = type;
        Paint paint;
        paint.ramp = &ramp;
        // Device pixels to the gradient square: about 40 pixels across it, turned a little.
        paint.a = 0.047;
        paint.b = 0.011;
        paint.c = -0.009;
        paint.d = 0.051;
        paint.tx = -1.3;
        paint.ty = -0.4;
        for (int width = 1; width <= 45; ++width) {
            const int height = 3;
            std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height));
            std::vector<std::uint8_t> mask(pixels.size());
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                pixels[i] = premultiplied(rng);
                mask[i] = rng() % 3 == 0 ? 0 : static_cast<std::uint8_t>(rng() | 1);
            }
            const std::vector<std::uint32_t> before = pixels;
            CoverageTarget t;
            t.pixels = pixels.data();
            t.strideWords = width;
            t.coverage = mask.data();
            t.coverageStride = width;
            t.x0 = 3;
            t.y0 = 7;
            t.width = width;
            t.height = height;
            compositeOver(t, paint);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y * width + x);
                    const double px = t.x0 + x + 0.5, py = t.y0 + y + 0.5;
                    const double gx = paint.a * px + paint.c * py + paint.tx;
                    const double gy = paint.b * px + paint.d * py + paint.ty;
                    const double at =
                        type == FillStyle::Type::Linear ? (gx + 1) / 2 : std::hypot(gx, gy);
                    const int index = static_cast<int>(std::clamp(at, 0.0, 1.0) * 1023 + 0.5);
                    bool matches = false;
                    for (int k = std::max(0, index - 1); k <= std::min(1023, index + 1); ++k) {
                        matches =
                            matches || pixels[i] == overThrough(ramp.colors[k], before[i], mask[i]);
                    }
                    ASSERT_TRUE(matches) << "width " << width << " at " << x << "," << y << " type "
                                         << static_cast<int>(type);
                }
            }
        }
    }
}

TEST_P(RenderCompositor, AnImageGoesOverAnotherPixelByPixel) {
    // A shape's bitmap: clear around the shape, opaque and see-through on it, and a row of a
    // backdrop, opaque throughout. Every row length and a source narrower than its rows, so
    // that four-pixel steps, clear and opaque stretches and the pixels left at a row's end all
    // come up.
    std::mt19937 rng(11);
    for (int width = 1; width <= 19; ++width) {
        const int height = 4;
        const int srcStride = width + 3;
        const int dstStride = width + 5;
        std::vector<std::uint32_t> src(static_cast<std::size_t>(srcStride * height));
        std::vector<std::uint32_t> dst(static_cast<std::size_t>(dstStride * height));
        for (std::size_t i = 0; i < src.size(); ++i) {
            src[i] = i / srcStride == 1 ? premultiplied(rng) | 0xFF000000u
                     : rng() % 3 == 0   ? 0
                                        : premultiplied(rng);
        }
        for (std::uint32_t& p : dst) {
            p = premultiplied(rng);
        }
        std::vector<std::uint32_t> expect = dst;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t s = src[static_cast<std::size_t>(y * srcStride + x)];
                std::uint32_t& d = expect[static_cast<std::size_t>(y * dstStride + x)];
                std::uint32_t o = 0;
                for (int shift : {0, 8, 16, 24}) {
                    o |= std::min<std::uint32_t>(
                             255, channel(s, shift) + div255(channel(d, shift) * (255 - (s >> 24))))
                         << shift;
                }
                d = o;
            }
        }
        compositeImageOver(dst.data(), dstStride, src.data(), srcStride, width, height);
        for (std::size_t i = 0; i < dst.size(); ++i) {
            ASSERT_EQ(dst[i], expect[i]) << "width " << width << " pixel " << i;
        }
    }
}

TEST(RenderMaskedContent, EachPixelMixesWhatLayBeneathAndWhatWasDrawnByItsCoverage) {
    // Masks are mostly covered or uncovered in long stretches, with part-covered edges: rows
    // of every length up to three eight-pixel steps, with runs of each kind.
    std::mt19937 rng(12);
    for (int width = 1; width <= 25; ++width) {
        const int height = 6;
        const int drawnStride = width + 2;
        const int underStride = width + 3;
        const int coverageStride = width + 5;
        std::vector<std::uint32_t> drawn(static_cast<std::size_t>(drawnStride * height));
        std::vector<std::uint32_t> under(static_cast<std::size_t>(underStride * height));
        std::vector<std::uint8_t> coverage(static_cast<std::size_t>(coverageStride * height));
        for (std::uint32_t& p : drawn) {
            p = premultiplied(rng);
        }
        for (std::uint32_t& p : under) {
            p = premultiplied(rng);
        }
        for (int y = 0; y < height; ++y) {
            const std::uint8_t run[] = {0, 255, 0, 255, 0, 255};
            for (int x = 0; x < width; ++x) {
                coverage[static_cast<std::size_t>(y * coverageStride + x)] =
                    y < 4 ? run[y + (x >= 8 && x < 16 ? 1 : 0)]
                          : static_cast<std::uint8_t>(rng() % 3 == 0 ? rng() & 255 : run[x % 2]);
            }
        }
        std::vector<std::uint32_t> expect = drawn;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t k = coverage[static_cast<std::size_t>(y * coverageStride + x)];
                const std::uint32_t u = under[static_cast<std::size_t>(y * underStride + x)];
                std::uint32_t& d = expect[static_cast<std::size_t>(y * drawnStride + x)];
                std::uint32_t o = 0;
                for (int shift : {0, 8, 16, 24}) {
                    o |= div255(channel(u, shift) * (255 - k) + channel(d, shift) * k) << shift;
                }
                d = o;
            }
        }
        keepCovered(drawn.data(), drawnStride, under.data(), underStride, coverage.data(),
                    coverageStride, width, height);
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            ASSERT_EQ(drawn[i], expect[i]) << "width " << width << " pixel " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Vectors, RenderCompositor, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Widest" : "FourAtATime";
                         });

} // namespace
} // namespace kinovex::flash::test
