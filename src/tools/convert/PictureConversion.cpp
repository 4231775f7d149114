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
// The same arithmetic four pixels at a time. Masking a pixel with 0x00FF00FF leaves blue and red
// as the two 16-bit halves of each 32-bit lane, shifting its 16-bit halves right by 8 leaves
// green and alpha: one multiply-add of each against (blue, red) and (green, 0) weights is the
// weighted sum, and sums of pixels stay in 16 bits (at most 4 x 255).
inline __m128i blueRed(__m128i p) {
    return _mm_and_si128(p, _mm_set1_epi32(0x00FF00FF));
}
inline __m128i greenAlpha(__m128i p) {
    return _mm_srli_epi16(p, 8);
}

// (weight of the low half, weight of the high half) in every 32-bit lane.
inline __m128i weights(std::int32_t low, std::int32_t high) {
    return _mm_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(high) << 16) |
                                                    (static_cast<std::uint32_t>(low) & 0xFFFF)));
}

// kb * blue + kr * red + kg * green + offset >> shift in each 32-bit lane.
inline __m128i weighted(__m128i br, __m128i ga, std::int32_t kb, std::int32_t kr, std::int32_t kg,
                        std::int32_t offset, int shift) {
    const __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(br, weights(kb, kr)), _mm_madd_epi16(ga, weights(kg, 0)));
    return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(offset)), shift);
}

// Eight 32-bit values 0..255 as eight bytes.
inline void storeEight(__m128i lo, __m128i hi, std::uint8_t* out) {
    const __m128i words = _mm_packs_epi32(lo, hi);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
}

// Four 32-bit values 0..255 as four bytes.
inline void storeFour(__m128i values, std::uint8_t* out) {
    const __m128i words = _mm_packs_epi32(values, values);
    const auto bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(out, &bytes, 4);
}

inline __m128i lumaOf(__m128i p) {
    return weighted(blueRed(p), greenAlpha(p), kYb, kYr, kYg, kLumaOffset, 15);
}

// The channel sums of the 2 x 2 blocks of four columns of a row pair, in lanes 0 and 2.
inline __m128i blockSums(__m128i top, __m128i bottom) {
    const __m128i column = _mm_add_epi16(top, bottom);
    return _mm_add_epi16(column, _mm_srli_epi64(column, 32));
}

// Lanes 0 and 2 of a, then of b.
inline __m128i evenLanes(__m128i a, __m128i b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
}

std::size_t rowPairSse2(const std::uint32_t* top, const std::uint32_t* bottom, std::size_t width,
                        std::uint8_t* yTop, std::uint8_t* yBottom, std::uint8_t* u,
                        std::uint8_t* v) {
    std::size_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const auto load = [](const std::uint32_t* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        const __m128i t0 = load(top + x), t1 = load(top + x + 4);
        const __m128i d0 = load(bottom + x), d1 = load(bottom + x + 4);
        storeEight(lumaOf(t0), lumaOf(t1), yTop + x);
        storeEight(lumaOf(d0), lumaOf(d1), yBottom + x);
        const __m128i br =
            evenLanes(blockSums(blueRed(t0), blueRed(d0)), blockSums(blueRed(t1), blueRed(d1)));
        const __m128i ga = evenLanes(blockSums(greenAlpha(t0), greenAlpha(d0)),
                                     blockSums(greenAlpha(t1), greenAlpha(d1)));
        storeFour(weighted(br, ga, kUb, kUr, kUg, kChromaOffset, 17), u + x / 2);
        storeFour(weighted(br, ga, kVb, kVr, kVg, kChromaOffset, 17), v + x / 2);
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
