#include "engine/render/BitmapTint.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kinovex::flash {

namespace {

// The transform of each channel value, once per value rather than once per pixel; and
// c * 255 / a as a multiply by a rounded-up reciprocal, exact for c * 255 < 2^16.
class Tint {
public:
    explicit Tint(const ColorTransform& cx) {
        for (int v = 0; v < 256; ++v) {
            const auto u = static_cast<std::uint8_t>(v);
            const Rgba t = cx.apply(Rgba{u, u, u, u});
            m_r[v] = t.r;
            m_g[v] = t.g;
            m_b[v] = t.b;
            m_a[v] = t.a;
        }
        for (std::uint64_t a = 1; a < 256; ++a) {
            m_reciprocal[a] = ((std::uint64_t{1} << 24) + a - 1) / a;
        }
        // An opaque pixel (most of a picture) is its straight colour: each channel's whole
        // answer, premultiplied and in place, comes from one table.
        m_opaqueAlpha = m_a[255];
        for (std::uint32_t v = 0; v < 256; ++v) {
            m_opaque[0][v] = (m_r[v] * m_opaqueAlpha / 255) << 16;
            m_opaque[1][v] = (m_g[v] * m_opaqueAlpha / 255) << 8;
            m_opaque[2][v] = m_b[v] * m_opaqueAlpha / 255;
        }
    }

    std::uint32_t operator()(std::uint32_t p) const {
        const std::uint32_t a = p >> 24;
        if (a == 255) {
            return m_opaqueAlpha << 24 | m_opaque[0][(p >> 16) & 255] |
                   m_opaque[1][(p >> 8) & 255] | m_opaque[2][p & 255];
        }
        const std::uint64_t inv = m_reciprocal[a];
        auto straight = [&](int shift) {
            return static_cast<std::uint32_t>((((p >> shift) & 255) * 255 * inv) >> 24) & 255;
        };
        const std::uint32_t na = m_a[a];
        const std::uint32_t r = m_r[a != 0 ? straight(16) : 0];
        const std::uint32_t g = m_g[a != 0 ? straight(8) : 0];
        const std::uint32_t b = m_b[a != 0 ? straight(0) : 0];
        return (na << 24) | ((r * na / 255) << 16) | ((g * na / 255) << 8) | (b * na / 255);
    }

private:
    std::array<std::uint32_t, 256> m_r{}, m_g{}, m_b{}, m_a{};
    std::array<std::uint64_t, 256> m_reciprocal{};
    std::uint32_t m_opaqueAlpha = 255;
    std::array<std::array<std::uint32_t, 256>, 3> m_opaque{};
};

// A transform that only multiplies each channel by 256ths up to 1, as the file format writes
// fades: the 256ths for red, green and blue, and the alpha an opaque pixel takes.
struct ChannelScale {
    std::array<int, 3> colour{}; // red, green, blue
    int alpha = 255;
};

std::optional<ChannelScale> channelScale(const ColorTransform& cx) {
    if (cx.rAdd != 0.0 || cx.gAdd != 0.0 || cx.bAdd != 0.0 || cx.aAdd != 0.0) {
        return std::nullopt;
    }
    auto in256ths = [](double mult) -> std::optional<int> {
        const double scaled = mult * 256.0;
        if (!(scaled >= 0.0 && scaled <= 256.0) || scaled != std::floor(scaled)) {
            return std::nullopt;
        }
        return static_cast<int>(scaled);
    };
    const auto r = in256ths(cx.rMult), g = in256ths(cx.gMult), b = in256ths(cx.bMult);
    const auto a = in256ths(cx.aMult);
    if (!r || !g || !b || !a) {
        return std::nullopt;
    }
    return ChannelScale{{*r, *g, *b}, 255 * *a >> 8};
}

#if defined(__SSE2__)
// Pixels [0, width) of a row four at a time, opaque ones by the scale, the rest by `tint`;
// returns how many it did. An opaque pixel's channel v becomes t = v * n >> 8, then
// t * alpha / 255 rounded down, as the tables have it; its alpha, 255 * 256 >> 8 = 255, becomes
// the alpha.
int scaleRow(const std::uint32_t* s, std::uint32_t* d, int width, const ChannelScale& scale,
             const Tint& tint) {
    // Little-endian pixels unpack to blue, green, red, alpha in 16-bit lanes.
    const auto [nr, ng, nb] = scale.colour;
    const __m128i factors =
        _mm_set_epi16(256, static_cast<short>(nr), static_cast<short>(ng), static_cast<short>(nb),
                      256, static_cast<short>(nr), static_cast<short>(ng), static_cast<short>(nb));
    const __m128i alpha = _mm_set1_epi16(static_cast<short>(scale.alpha));
    const __m128i one = _mm_set1_epi16(1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i zero = _mm_setzero_si128();
    // Products stay below 2^16 (v, t <= 255; n <= 256), so the low half of each is it; and
    // q / 255 rounded down is (q + 1 + (q >> 8)) >> 8 for q <= 255 * 255.
    auto scaled = [&](__m128i v) {
        const __m128i t = _mm_srli_epi16(_mm_mullo_epi16(v, factors), 8);
        const __m128i q = _mm_mullo_epi16(t, alpha);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(q, one), _mm_srli_epi16(q, 8)), 8);
    };
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(p, opaque), opaque)) != 0xFFFF) {
            for (int i = x; i < x + 4; ++i) {
                d[i] = tint(s[i]);
            }
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x),
                         _mm_packus_epi16(scaled(_mm_unpacklo_epi8(p, zero)),
                                          scaled(_mm_unpackhi_epi8(p, zero))));
    }
    return x;
}
#endif

} // namespace

cairo_surface_t* transformedSurface(cairo_surface_t* src, const ColorTransform& cx) {
    cairo_surface_t* dst =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(src),
                                   cairo_image_surface_get_height(src));
    transformInto(src, cx, dst);
    return dst;
}

void transformInto(cairo_surface_t* src, const ColorTransform& cx, cairo_surface_t* dst) {
    cairo_surface_flush(src);
    cairo_surface_flush(dst);
    const int w = cairo_image_surface_get_width(src);
    const int h = cairo_image_surface_get_height(src);
    const int sstride = cairo_image_surface_get_stride(src);
    const int dstride = cairo_image_surface_get_stride(dst);
    const unsigned char* sdata = cairo_image_surface_get_data(src);
    unsigned char* ddata = cairo_image_surface_get_data(dst);
    const Tint tint(cx);
    [[maybe_unused]] const std::optional<ChannelScale> scale = channelScale(cx);
    for (int y = 0; y < h; ++y) {
        const auto* s = reinterpret_cast<const std::uint32_t*>(
            sdata + static_cast<std::ptrdiff_t>(y) * sstride);
        auto* d =
            reinterpret_cast<std::uint32_t*>(ddata + static_cast<std::ptrdiff_t>(y) * dstride);
        int x = 0;
#if defined(__SSE2__)
        if (scale) {
            x = scaleRow(s, d, w, *scale, tint);
        }
#endif
        for (; x < w; ++x) {
            d[x] = tint(s[x]);
        }
    }
    cairo_surface_mark_dirty(dst);
}

} // namespace kinovex::flash
