#pragma once
// Solid and gradient fills painted straight into an ARGB32 image through a coverage mask.
// Cairo pays a large fixed cost for every gradient it composites (a pixman gradient is set up
// per span); a frame of a few hundred small gradient shapes spent most of its time there. Here
// a gradient becomes a colour ramp once per fill style and colour transform, and each fill is
// one pass over the pixels its shape covers.

#include "engine/definitions/Characters.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kinovex::flash {

// A gradient's colours along its length (premultiplied ARGB), plus how it spreads and what
// shape it has.
struct GradientRamp {
    static constexpr int kSize = 1024;
    std::array<std::uint32_t, kSize> colors{};
    FillStyle::Type type = FillStyle::Type::Linear;
    SpreadMode spread = SpreadMode::Pad;
    double focal = 0.0; // focal gradients: -0.998..0.998 of the radius along x
    bool opaque = true; // every colour has full alpha
};

// The stops a gradient is drawn with, colour transform applied: the file's stops, and for
// linear-RGB interpolation extra stops between them that follow the linear-light curve.
struct RampStop {
    double offset = 0.0; // 0..1
    Rgba color;
};
std::vector<RampStop> gradientStops(const Gradient& gradient, const ColorTransform& cx);

GradientRamp makeRamp(const FillStyle& fill, const ColorTransform& cx);

// What a fill paints with. For gradients, `toGradient` maps device pixels to the unit gradient
// square (-1..1 on both axes).
struct Paint {
    std::uint32_t solid = 0; // premultiplied ARGB when `ramp` is null
    const GradientRamp* ramp = nullptr;
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0; // toGradient, cairo's order
};

// A rectangle of an ARGB32 image (premultiplied) and of an A8 coverage mask laid over it.
struct CoverageTarget {
    std::uint32_t* pixels = nullptr; // the image's pixel (x0, y0)
    int strideWords = 0;
    const std::uint8_t* coverage = nullptr; // the mask's pixel for (x0, y0)
    int coverageStride = 0;
    int x0 = 0; // image coordinates of the rectangle, for the paint's position
    int y0 = 0;
    int width = 0;
    int height = 0;
};

// Paints `paint` OVER the image where the mask covers it (the mask scales the paint's alpha),
// with the same rounding as cairo's image backend.
void compositeOver(const CoverageTarget& target, const Paint& paint);
// Adds the paint under what the image holds, scaled by the mask and limited to what is still
// uncovered of each pixel: fills gathered front to back this way cover a pixel at most once,
// so fills that meet along an edge share its pixels without a seam.
void accumulate(const CoverageTarget& target, const Paint& paint);
// A premultiplied image OVER another of the same size.
void compositeImageOver(std::uint32_t* dst, int dstStrideWords, const std::uint32_t* src,
                        int srcStrideWords, int width, int height);
// Keeps what was drawn over an image only where a mask covers it: each pixel becomes
// under + (drawn - under) * coverage / 255, rounded to nearest, so a covered pixel keeps what
// was drawn, an uncovered one gets back what lay beneath, and a part-covered one the mix.
void keepCovered(std::uint32_t* drawn, int drawnStrideWords, const std::uint32_t* under,
                 int underStrideWords, const std::uint8_t* coverage, int coverageStride, int width,
                 int height);

// Whether painting may use the processor's widest vectors where it has them (it may unless
// told otherwise); either way gives the same pixels, so tests check one against the other.
// Returns what was allowed before.
bool allowWideVectors(bool allowed);

} // namespace kinovex::flash
