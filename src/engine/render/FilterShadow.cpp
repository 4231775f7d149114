#include "engine/render/FilterShadow.h"

#include "engine/render/CoverageBlur.h"
#include "engine/render/FilterBlur.h"
#include "engine/render/PremulPixel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace kinovex::flash {

namespace {

// How the coloured coverage meets the object.
enum class Mode {
    Under,           // the object over its shadow
    Alone,           // the shadow in place of the object
    Inside,          // an inner shadow over the object, within its coverage
    KnockoutOutside, // only the shadow, cut out where the object is
    KnockoutInside,  // only the inner shadow, within the object's coverage
};

Mode modeOf(const Filter& f) {
    if (f.knockout) {
        return f.inner ? Mode::KnockoutInside : Mode::KnockoutOutside;
    }
    if (f.inner) {
        return Mode::Inside;
    }
    return f.compositeSource ? Mode::Under : Mode::Alone;
}

using ColorTable = std::array<std::uint32_t, 256>;

// The shadow's premultiplied colour for each blurred coverage value: coverage times the
// strength (at most full), times the colour's own alpha.
ColorTable shadowColors(const Filter& f) {
    ColorTable table{};
    for (std::size_t a = 0; a < table.size(); ++a) {
        const double cover = std::clamp(static_cast<double>(a) / 255.0 * f.strength, 0.0, 1.0);
        const double sa = cover * f.color.a / 255.0;
        auto ch = [sa](double c) { return static_cast<std::uint32_t>(std::lround(c * sa)); };
        table[a] = ch(255.0) << 24 | ch(f.color.r) << 16 | ch(f.color.g) << 8 | ch(f.color.b);
    }
    return table;
}

// The object's alpha moved by (dx, dy), one byte a pixel, rows `w` apart; flipped (255 - a)
// for inner shadows, where the uncovered area casts the shadow. Beyond the object's pixels it
// counts as uncovered.
void movedCoverage(const std::uint32_t* px, int w, int h, int stride, int dx, int dy, bool inner,
                   std::uint8_t* out) {
    const std::uint8_t flip = inner ? 255u : 0u;
    const int from = std::clamp(dx, 0, w);
    const int to = std::clamp(w + dx, 0, w);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = out + static_cast<std::ptrdiff_t>(y) * w;
        const int sy = y - dy;
        if (sy < 0 || sy >= h || from >= to) {
            std::fill_n(row, w, flip);
            continue;
        }
        std::fill(row, row + from, flip);
        const std::uint32_t* src = px + static_cast<std::ptrdiff_t>(sy) * stride - dx;
        for (int x = from; x < to; ++x) {
            row[x] = static_cast<std::uint8_t>((src[x] >> 24) ^ flip);
        }
        std::fill(row + to, row + w, flip);
    }
}

// An inner shadow over the object: the result keeps the object's alpha, and no channel may
// pass it.
std::uint32_t inside(std::uint32_t src, std::uint32_t shadow) {
    const std::uint32_t a = premul8::alpha(src);
    const std::uint32_t sum = premul8::over(premul8::scale(shadow, a), src);
    std::uint32_t out = a << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        out |= std::min((sum >> shift) & 255u, a) << shift;
    }
    return out;
}

template <Mode M> std::uint32_t compose(std::uint32_t src, std::uint32_t shadow) {
    if constexpr (M == Mode::Under) {
        return premul8::over(src, shadow);
    } else if constexpr (M == Mode::Alone) {
        return shadow;
    } else if constexpr (M == Mode::Inside) {
        return inside(src, shadow);
    } else if constexpr (M == Mode::KnockoutOutside) {
        return premul8::scale(shadow, 255u - premul8::alpha(src));
    } else {
        return premul8::scale(shadow, premul8::alpha(src));
    }
}

// Under the object and inside it, no shadow leaves a pixel as it was, and under it an opaque
// pixel too: a block of such pixels (most of a large object) is passed over. Blocks have a fixed
// length so that the compiler tests each one many values at a time.
constexpr int kBlock = 16;

template <Mode M> bool keepsBlock(const std::uint32_t* row, const std::uint8_t* cover) {
    std::uint8_t any = 0;
    std::uint32_t all = ~0u;
    for (int k = 0; k < kBlock; ++k) {
        any |= cover[k];
        all &= row[k];
    }
    return any == 0 || (M == Mode::Under && premul8::alpha(all) == 255u);
}

template <Mode M>
void composeRow(std::uint32_t* row, const std::uint8_t* cover, int w, const ColorTable& colors) {
    int x = 0;
    if constexpr (M == Mode::Under || M == Mode::Inside) {
        for (; x + kBlock <= w; x += kBlock) {
            if (keepsBlock<M>(row + x, cover + x)) {
                continue;
            }
            for (int k = 0; k < kBlock; ++k) {
                row[x + k] = compose<M>(row[x + k], colors[cover[x + k]]);
            }
        }
    }
    for (; x < w; ++x) {
        row[x] = compose<M>(row[x], colors[cover[x]]);
    }
}

template <Mode M>
void composeRows(std::uint32_t* px, int w, int h, int stride, const std::uint8_t* cover,
                 const ColorTable& colors) {
    for (int y = 0; y < h; ++y) {
        composeRow<M>(px + static_cast<std::ptrdiff_t>(y) * stride,
                      cover + static_cast<std::ptrdiff_t>(y) * w, w, colors);
    }
}

void composeShadow(std::uint32_t* px, int w, int h, int stride, const std::uint8_t* cover,
                   const Filter& f) {
    const ColorTable colors = shadowColors(f);
    switch (modeOf(f)) {
    case Mode::Under:
        composeRows<Mode::Under>(px, w, h, stride, cover, colors);
        break;
    case Mode::Alone:
        composeRows<Mode::Alone>(px, w, h, stride, cover, colors);
        break;
    case Mode::Inside:
        composeRows<Mode::Inside>(px, w, h, stride, cover, colors);
        break;
    case Mode::KnockoutOutside:
        composeRows<Mode::KnockoutOutside>(px, w, h, stride, cover, colors);
        break;
    case Mode::KnockoutInside:
        composeRows<Mode::KnockoutInside>(px, w, h, stride, cover, colors);
        break;
    }
}

} // namespace

void applyShadow(std::uint32_t* px, int w, int h, int stride, const Filter& f, double scale) {
    const int dx = static_cast<int>(std::lround(std::cos(f.angle) * f.distance * scale));
    const int dy = static_cast<int>(std::lround(std::sin(f.angle) * f.distance * scale));
    std::vector<std::uint8_t> cover(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    movedCoverage(px, w, h, stride, dx, dy, f.inner, cover.data());
    coverageBlur(cover.data(), w, h, blurRadius(f.blurX, scale), blurRadius(f.blurY, scale),
                 std::max(1, f.passes));
    composeShadow(px, w, h, stride, cover.data(), f);
}

} // namespace kinovex::flash
