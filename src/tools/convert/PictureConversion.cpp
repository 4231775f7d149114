#include "tools/convert/PictureConversion.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kinovex::cli {

namespace {

// BT.601 in 15-bit fixed point, scaled to video range (luma 16..235, chroma 16..240). Chroma
// comes from the sum of a 2 x 2 block, four times the mean: two more bits to shift.
constexpr std::int32_t kYr = 8414, kYg = 16519, kYb = 3208;
constexpr std::int32_t kUr = -4857, kUg = -9535, kUb = 14392;
constexpr std::int32_t kVr = 14392, kVg = -12052, kVb = -2340;
constexpr std::int32_t kLumaOffset = (16 << 15) + (1 << 14);
constexpr std::int32_t kChromaOffset = (128 << 17) + (1 << 16);

inline std::int32_t red(std::uint32_t p) {
    return static_cast<std::int32_t>((p >> 16) & 255);
}
inline std::int32_t green(std::uint32_t p) {
    return static_cast<std::int32_t>((p >> 8) & 255);
}
inline std::int32_t blue(std::uint32_t p) {
    return static_cast<std::int32_t>(p & 255);
}

inline std::uint8_t luma(std::uint32_t p) {
    return static_cast<std::uint8_t>(
        (kYr * red(p) + kYg * green(p) + kYb * blue(p) + kLumaOffset) >> 15);
}

// Pixels [from, to) of a row pair, one pixel pair at a time.
void rowPair(const std::uint32_t* top, const std::uint32_t* bottom, std::size_t from,
             std::size_t to, std::uint8_t* yTop, std::uint8_t* yBottom, std::uint8_t* u,
             std::uint8_t* v) {
    for (std::size_t x = from; x < to; x += 2) {
        const std::uint32_t a = top[x], b = top[x + 1], c = bottom[x], d = bottom[x + 1];
        yTop[x] = luma(a);
        yTop[x + 1] = luma(b);
        yBottom[x] = luma(c);
        yBottom[x + 1] = luma(d);
        const std::int32_t r = red(a) + red(b) + red(c) + red(d);
        const std::int32_t g = green(a) + green(b) + green(c) + green(d);
        const std::int32_t bl = blue(a) + blue(b) + blue(c) + blue(d);
        u[x / 2] = static_cast<std::uint8_t>((kUr * r + kUg * g + kUb * bl + kChromaOffset) >> 17);
        v[x / 2] = static_cast<std::uint8_t>((kVr * r + kVg * g + kVb * bl + kChromaOffset) >> 17);
    }
}

#if defined(__SSE2__)
// The same arithmetic eight pixels of a row pair at a time: channels widened to 16 bits, the
// weighted sums made with multiply-add pairs.
struct Channels {
    __m128i r, g, b; // eight 16-bit values each
};

inline Channels channels(const std::uint32_t* p) {
    const __m128i mask = _mm_set1_epi32(255);
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4));
    auto channel = [&](int shift) {
        return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(lo, shift), mask),
                               _mm_and_si128(_mm_srli_epi32(hi, shift), mask));
    };
    return {channel(16), channel(8), channel(0)};
}

// kx * x + ky * y + kz * z + offset >> shift for four 16-bit x, y, z in the low half of each.
inline __m128i weighted(__m128i x, __m128i y, __m128i z, __m128i xy, __m128i zw, __m128i offset,
                        int shift) {
    const __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(x, y), xy),
                      _mm_madd_epi16(_mm_unpacklo_epi16(z, _mm_setzero_si128()), zw));
    return _mm_srai_epi32(_mm_add_epi32(sum, offset), shift);
}

inline __m128i pairs(std::int32_t a, std::int32_t b) {
    return _mm_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << 16) |
                                                    (static_cast<std::uint32_t>(a) & 0xFFFF)));
}

void storeLuma(const Channels& c, std::uint8_t* out) {
    const __m128i rg = pairs(kYr, kYg), b0 = pairs(kYb, 0), offset = _mm_set1_epi32(kLumaOffset);
    const __m128i lo = weighted(c.r, c.g, c.b, rg, b0, offset, 15);
    const __m128i hi = weighted(_mm_unpackhi_epi64(c.r, c.r), _mm_unpackhi_epi64(c.g, c.g),
                                _mm_unpackhi_epi64(c.b, c.b), rg, b0, offset, 15);
    const __m128i words = _mm_packs_epi32(lo, hi);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
}

// Four chroma samples from the block sums (four 16-bit values in the low half of each).
void storeChroma(__m128i r, __m128i g, __m128i b, std::int32_t kr, std::int32_t kg, std::int32_t kb,
                 std::uint8_t* out) {
    const __m128i value =
        weighted(r, g, b, pairs(kr, kg), pairs(kb, 0), _mm_set1_epi32(kChromaOffset), 17);
    const __m128i words = _mm_packs_epi32(value, value);
    const auto bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(out, &bytes, 4);
}

// The sums of horizontal pairs of eight 16-bit values, as four 16-bit values.
inline __m128i pairSums(__m128i top, __m128i bottom) {
    const __m128i sums = _mm_madd_epi16(_mm_add_epi16(top, bottom), _mm_set1_epi16(1));
    return _mm_packs_epi32(sums, sums);
}

std::size_t rowPairSse2(const std::uint32_t* top, const std::uint32_t* bottom, std::size_t width,
                        std::uint8_t* yTop, std::uint8_t* yBottom, std::uint8_t* u,
                        std::uint8_t* v) {
    std::size_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const Channels t = channels(top + x);
        const Channels d = channels(bottom + x);
        storeLuma(t, yTop + x);
        storeLuma(d, yBottom + x);
        const __m128i r = pairSums(t.r, d.r), g = pairSums(t.g, d.g), b = pairSums(t.b, d.b);
        storeChroma(r, g, b, kUr, kUg, kUb, u + x / 2);
        storeChroma(r, g, b, kVr, kVg, kVb, v + x / 2);
    }
    return x;
}
#endif

} // namespace

void unpremultiply(std::span<std::uint32_t> pixels) {
    for (std::uint32_t& p : pixels) {
        const std::uint32_t a = p >> 24;
        if (a == 255 || a == 0) {
            continue;
        }
        auto channel = [&](int shift) {
            const std::uint32_t c = (p >> shift) & 255;
            return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a) << shift;
        };
        p = (a << 24) | channel(16) | channel(8) | channel(0);
    }
}

void toYuv420(const std::uint32_t* pixels, int width, int height, std::uint8_t* out) {
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    std::uint8_t* yPlane = out;
    std::uint8_t* uPlane = out + w * h;
    std::uint8_t* vPlane = uPlane + (w / 2) * (h / 2);
    for (std::size_t row = 0; row + 1 < h; row += 2) {
        const std::uint32_t* top = pixels + row * w;
        const std::uint32_t* bottom = top + w;
        std::uint8_t* yTop = yPlane + row * w;
        std::uint8_t* u = uPlane + (row / 2) * (w / 2);
        std::uint8_t* v = vPlane + (row / 2) * (w / 2);
        std::size_t done = 0;
#if defined(__SSE2__)
        done = rowPairSse2(top, bottom, w, yTop, yTop + w, u, v);
#endif
        rowPair(top, bottom, done, w, yTop, yTop + w, u, v);
    }
}

} // namespace kinovex::cli
