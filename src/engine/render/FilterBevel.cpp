#include "engine/render/FilterBevel.h"

#include "engine/render/CoverageBlur.h"
#include "engine/render/FilterBlur.h"
#include "engine/render/PremulPixel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace kinovex::flash {

namespace {

// The object's alpha blurred as the filter says, with `mx` columns and `my` rows of zeros on
// each side, so that it reads moved by up to (mx, my) without a test at the edges.
struct BorderedCoverage {
    std::vector<std::uint8_t> values;
    int mx = 0;
    int my = 0;
    int width = 0;
    const std::uint8_t* row(int y) const {
        return values.data() + static_cast<std::ptrdiff_t>(y + my) * width + mx;
    }
};

BorderedCoverage blurredCoverage(const std::uint32_t* px, int w, int h, int stride, const Filter& f,
                                 double scale, int mx, int my) {
    std::vector<std::uint8_t> alpha(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* row = px + static_cast<std::ptrdiff_t>(y) * stride;
        std::transform(row, row + w, alpha.begin() + static_cast<std::ptrdiff_t>(y) * w,
                       [](std::uint32_t p) { return static_cast<std::uint8_t>(p >> 24); });
    }
    coverageBlur(alpha.data(), w, h, blurRadius(f.blurX, scale), blurRadius(f.blurY, scale),
                 std::max(1, f.passes));
    BorderedCoverage out;
    out.mx = mx;
    out.my = my;
    out.width = w + 2 * mx;
    out.values.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(h + 2 * my),
                      0);
    for (int y = 0; y < h; ++y) {
        std::copy_n(alpha.begin() + static_cast<std::ptrdiff_t>(y) * w, w,
                    out.values.begin() + (out.row(y) - out.values.data()));
    }
    return out;
}

// 256 premultiplied colours along a gradient's stops.
std::vector<std::uint32_t> ramp(const std::vector<GradientStop>& stops) {
    std::vector<std::uint32_t> out(256, 0);
    if (stops.empty()) {
        return out;
    }
    for (int i = 0; i < 256; ++i) {
        std::size_t k = 0;
        while (k + 1 < stops.size() && stops[k + 1].ratio < i) {
            ++k;
        }
        const GradientStop& a = stops[k];
        const GradientStop& b = k + 1 < stops.size() ? stops[k + 1] : a;
        const double span = b.ratio - a.ratio;
        const double t = span > 0 ? std::clamp((i - a.ratio) / span, 0.0, 1.0) : 0.0;
        auto mix = [t](std::uint8_t x, std::uint8_t y) { return x + (y - x) * t; };
        out[static_cast<std::size_t>(i)] =
            premul8::fromStraight(mix(a.color.r, b.color.r), mix(a.color.g, b.color.g),
                                  mix(a.color.b, b.color.b), mix(a.color.a, b.color.a));
    }
    return out;
}

// Every channel of a premultiplied pixel times k (0..1).
std::uint32_t scaled(std::uint32_t p, double k) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        out |= static_cast<std::uint32_t>(std::lround(((p >> shift) & 255u) * k)) << shift;
    }
    return out;
}

std::uint32_t opaque(const Rgba& c) {
    return premul8::fromStraight(c.r, c.g, c.b, c.a);
}

// A bevel's effect for each difference of blurred coverage d (-255..255), at d + 255: light
// falls from the filter's angle, so edges facing it are lit.
std::vector<std::uint32_t> bevelEffects(const Filter& f) {
    const bool gradient = f.type == Filter::Type::GradientBevel;
    const std::vector<std::uint32_t> colors =
        gradient ? ramp(f.gradient) : std::vector<std::uint32_t>{};
    std::vector<std::uint32_t> out(511);
    for (int d = -255; d <= 255; ++d) {
        const double lit = std::clamp(d / 255.0 * f.strength, -1.0, 1.0);
        std::uint32_t effect = 0;
        if (gradient) {
            // The gradient runs from the highlight (0) to the shadow (255).
            const int index =
                std::clamp(static_cast<int>(std::lround(127.5 - lit * 127.5)), 0, 255);
            effect = colors[static_cast<std::size_t>(index)];
        } else {
            effect = scaled(opaque(lit > 0 ? f.highlight : f.color), std::abs(lit));
        }
        out[static_cast<std::size_t>(d + 255)] = effect;
    }
    return out;
}

// A gradient glow's effect for each blurred coverage value.
std::vector<std::uint32_t> glowEffects(const Filter& f) {
    const std::vector<std::uint32_t> colors = ramp(f.gradient);
    std::vector<std::uint32_t> out(256);
    for (int a = 0; a < 256; ++a) {
        const double g = f.inner ? 1.0 - a / 255.0 : a / 255.0;
        const int index =
            std::clamp(static_cast<int>(std::lround(std::min(1.0, g * f.strength) * 255)), 0, 255);
        out[static_cast<std::size_t>(a)] = colors[static_cast<std::size_t>(index)];
    }
    return out;
}

// Where the effect shows (inside, outside or both) and how it meets the object.
std::uint32_t combine(std::uint32_t effect, std::uint32_t src, const Filter& f) {
    const std::uint32_t srcA = premul8::alpha(src);
    if (f.inner && !f.onTop) {
        effect = premul8::scale(effect, srcA);
    } else if (!f.inner && !f.onTop) {
        effect = premul8::scale(effect, 255u - srcA);
    }
    if (f.knockout) {
        return effect;
    }
    return f.inner || f.onTop ? premul8::over(effect, src) : premul8::over(src, effect);
}

} // namespace

void applyBevelOrGradientGlow(std::uint32_t* px, int w, int h, int stride, const Filter& f,
                              double scale) {
    const int dx = static_cast<int>(std::lround(std::cos(f.angle) * f.distance * scale));
    const int dy = static_cast<int>(std::lround(std::sin(f.angle) * f.distance * scale));
    const BorderedCoverage cover =
        blurredCoverage(px, w, h, stride, f, scale, std::abs(dx), std::abs(dy));
    const bool bevel = f.type == Filter::Type::Bevel || f.type == Filter::Type::GradientBevel;
    const std::vector<std::uint32_t> effects = bevel ? bevelEffects(f) : glowEffects(f);
    for (int y = 0; y < h; ++y) {
        std::uint32_t* row = px + static_cast<std::ptrdiff_t>(y) * stride;
        // The coverage toward the light and away from it.
        const std::uint8_t* toward = cover.row(y + dy) + dx;
        const std::uint8_t* away = cover.row(y - dy) - dx;
        for (int x = 0; x < w; ++x) {
            const int index = bevel ? toward[x] - away[x] + 255 : away[x];
            row[x] = combine(effects[static_cast<std::size_t>(index)], row[x], f);
        }
    }
}

} // namespace kinovex::flash
