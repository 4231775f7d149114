#include "tools/convert/PictureConversion.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// Sixteen pixels at a time where the processor has AVX2, chosen when the program runs.
#define KINOVEX_WIDE_VECTORS 1
#include <immintrin.h>
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

std::size_t rowPairSse2(const std::uint32_t* top, const std::uint32_t* bottom, std::size_t from,
                        std::size_t width, std::uint8_t* yTop, std::uint8_t* yBottom,
                        std::uint8_t* u, std::uint8_t* v) {
    std::size_t x = from;
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

#if defined(KINOVEX_WIDE_VECTORS)
// The same as the four-pixel steps, eight pixels to a vector.
__attribute__((target("avx2"))) inline __m256i weightsWide(std::int32_t low, std::int32_t high) {
    return _mm256_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(high) << 16) |
                                                       (static_cast<std::uint32_t>(low) & 0xFFFF)));
}

__attribute__((target("avx2"))) inline __m256i weightedWide(__m256i br, __m256i ga, std::int32_t kb,
                                                            std::int32_t kr, std::int32_t kg,
                                                            std::int32_t offset, int shift) {
    const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(br, weightsWide(kb, kr)),
                                         _mm256_madd_epi16(ga, weightsWide(kg, 0)));
    return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(offset)), shift);
}

__attribute__((target("avx2"))) inline __m256i blueRedWide(__m256i p) {
    return _mm256_and_si256(p, _mm256_set1_epi32(0x00FF00FF));
}

__attribute__((target("avx2"))) inline __m256i lumaWide(__m256i p) {
    return weightedWide(blueRedWide(p), _mm256_srli_epi16(p, 8), kYb, kYr, kYg, kLumaOffset, 15);
}

// Sixteen luma values (eight 32-bit values 0..255 in each of a, b) as sixteen bytes. Packing
// works within each 128-bit half, so the quarters come out of order and are put back.
__attribute__((target("avx2"))) inline void storeSixteen(__m256i a, __m256i b, std::uint8_t* out) {
    const __m256i words = _mm256_packs_epi32(a, b);
    const __m256i bytes = _mm256_packus_epi16(words, words);
    const __m256i ordered =
        _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(ordered));
}

// The channel sums of the 2 x 2 blocks of eight columns of a row pair, in even lanes.
__attribute__((target("avx2"))) inline __m256i blockSumsWide(__m256i top, __m256i bottom) {
    const __m256i column = _mm256_add_epi16(top, bottom);
    return _mm256_add_epi16(column, _mm256_srli_epi64(column, 32));
}

__attribute__((target("avx2"))) inline __m256i loadEight(const std::uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Lanes 0 and 2 of each half of a, then of b: a0 a2 b0 b2 | a4 a6 b4 b6.
__attribute__((target("avx2"))) inline __m256i evenLanesWide(__m256i a, __m256i b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
}

// Eight chroma values from the block sums of sixteen columns (even lanes of a, then of b):
// the shuffle takes them in the order 0 1 4 5 | 2 3 6 7, put back before they are stored.
__attribute__((target("avx2"))) inline void storeChromaWide(__m256i br, __m256i ga, std::int32_t kb,
                                                            std::int32_t kr, std::int32_t kg,
                                                            std::uint8_t* out) {
    const __m256i values =
        _mm256_permutevar8x32_epi32(weightedWide(br, ga, kb, kr, kg, kChromaOffset, 17),
                                    _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
    const __m128i words =
        _mm_packs_epi32(_mm256_castsi256_si128(values), _mm256_extracti128_si256(values, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
}

__attribute__((target("avx2"))) std::size_t
rowPairAvx2(const std::uint32_t* top, const std::uint32_t* bottom, std::size_t width,
            std::uint8_t* yTop, std::uint8_t* yBottom, std::uint8_t* u, std::uint8_t* v) {
    std::size_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i t0 = loadEight(top + x), t1 = loadEight(top + x + 8);
        const __m256i d0 = loadEight(bottom + x), d1 = loadEight(bottom + x + 8);
        storeSixteen(lumaWide(t0), lumaWide(t1), yTop + x);
        storeSixteen(lumaWide(d0), lumaWide(d1), yBottom + x);
        const __m256i br = evenLanesWide(blockSumsWide(blueRedWide(t0), blueRedWide(d0)),
                                         blockSumsWide(blueRedWide(t1), blueRedWide(d1)));
        const __m256i ga =
            evenLanesWide(blockSumsWide(_mm256_srli_epi16(t0, 8), _mm256_srli_epi16(d0, 8)),
                          blockSumsWide(_mm256_srli_epi16(t1, 8), _mm256_srli_epi16(d1, 8)));
        storeChromaWide(br, ga, kUb, kUr, kUg, u + x / 2);
        storeChromaWide(br, ga, kVb, kVr, kVg, v + x / 2);
    }
    return x;
}

bool wideVectors() {
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported;
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
#if defined(KINOVEX_WIDE_VECTORS)
        if (wideVectors()) {
            done = rowPairAvx2(top, bottom, w, yTop, yTop + w, u, v);
        }
#endif
#if defined(__SSE2__)
        done = rowPairSse2(top, bottom, done, w, yTop, yTop + w, u, v);
#endif
        rowPair(top, bottom, done, w, yTop, yTop + w, u, v);
    }
}

} // namespace kinovex::cli
