#include "engine/render/Compositor.h"

#include "engine/render/PremulPixel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// Eight pixels at a time where the processor has AVX2, chosen when the program runs.
#define KINOVEX_WIDE_VECTORS 1
#include <immintrin.h>
#endif

namespace kinovex::flash {

namespace {

bool g_wideAllowed = true;

double toLinear(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double toSrgb(double c) {
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
}

// Two channels at once (bits 0-7 and 16-23): x * k / 255, rounded as pixman rounds.
inline std::uint32_t mulPair(std::uint32_t x, std::uint32_t k) {
    return premul8::halvesOver255((x & 0xff00ffu) * k);
}

// Two channels at once, saturating at 255.
inline std::uint32_t addPair(std::uint32_t x, std::uint32_t y) {
    std::uint32_t t = x + y;
    t |= 0x1000100u - ((t >> 8) & 0xff00ffu);
    return t & 0xff00ffu;
}

// src OVER dst, premultiplied.
inline std::uint32_t over(std::uint32_t src, std::uint32_t dst) {
    const std::uint32_t inv = 255 - (src >> 24);
    if (inv == 0) {
        return src;
    }
    return addPair(src & 0xff00ffu, mulPair(dst, inv)) |
           addPair((src >> 8) & 0xff00ffu, mulPair(dst >> 8, inv)) << 8;
}

inline std::uint32_t add(std::uint32_t src, std::uint32_t dst) {
    return addPair(src & 0xff00ffu, dst & 0xff00ffu) |
           addPair((src >> 8) & 0xff00ffu, (dst >> 8) & 0xff00ffu) << 8;
}

// OVER: src on top of dst. Add (fills gathered front to back): src goes under what dst holds,
// on as much of the pixel as is still uncovered, so fills meeting at an edge share its pixels
// and the front one of two overlapping fills stays in front.
template <bool kAdd>
inline void blend(std::uint32_t& dst, std::uint32_t src, std::uint32_t coverage) {
    if constexpr (kAdd) {
        coverage = std::min(coverage, 255 - (dst >> 24));
        if (coverage == 0) {
            return;
        }
    }
    const std::uint32_t s = coverage == 255 ? src : premul8::scale(src, coverage);
    dst = kAdd ? add(s, dst) : over(s, dst);
}

// The first x from `x` on with some coverage (or `width`). A line's mask is mostly empty:
// its box spans the whole shape.
inline int skipUncovered(const std::uint8_t* cov, int x, int width) {
    while (x + 8 <= width) {
        std::uint64_t eight = 0;
        std::memcpy(&eight, cov + x, 8);
        if (eight != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                return x + std::countr_zero(eight) / 8;
            }
            break;
        }
        x += 8;
    }
    while (x < width && cov[x] == 0) {
        ++x;
    }
    return x;
}

} // namespace

std::vector<RampStop> gradientStops(const Gradient& g, const ColorTransform& cx) {
    std::vector<RampStop> out;
    for (std::size_t i = 0; i < g.stops.size(); ++i) {
        const Rgba color = cx.apply(g.stops[i].color);
        if (g.interpolation == Interpolation::LinearRgb && i > 0) {
            // Mixing in linear light: approximated by extra stops along the way.
            const Rgba a = cx.apply(g.stops[i - 1].color);
            const double ra = g.stops[i - 1].ratio;
            const double rb = g.stops[i].ratio;
            constexpr int kSteps = 8;
            for (int k = 1; k < kSteps; ++k) {
                const double t = static_cast<double>(k) / kSteps;
                auto mix = [t](std::uint8_t ca, std::uint8_t cb) {
                    const double v =
                        toSrgb(toLinear(ca / 255.0) * (1 - t) + toLinear(cb / 255.0) * t);
                    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
                };
                const Rgba c{mix(a.r, color.r), mix(a.g, color.g), mix(a.b, color.b),
                             static_cast<std::uint8_t>(std::lround(a.a * (1 - t) + color.a * t))};
                out.push_back(RampStop{(ra + (rb - ra) * t) / 255.0, c});
            }
        }
        out.push_back(RampStop{g.stops[i].ratio / 255.0, color});
    }
    // Stops out of order are drawn in order, as cairo sorts them.
    std::stable_sort(out.begin(), out.end(),
                     [](const RampStop& x, const RampStop& y) { return x.offset < y.offset; });
    return out;
}

GradientRamp makeRamp(const FillStyle& fill, const ColorTransform& cx) {
    GradientRamp ramp;
    ramp.type = fill.type;
    ramp.spread = fill.gradient.spread;
    ramp.focal = std::clamp(fill.gradient.focalPoint, -0.998, 0.998);
    const std::vector<RampStop> stops = gradientStops(fill.gradient, cx);
    if (stops.empty()) {
        ramp.colors.fill(0);
        ramp.opaque = false;
        return ramp;
    }
    std::size_t k = 0;
    for (int i = 0; i < GradientRamp::kSize; ++i) {
        const double t = static_cast<double>(i) / (GradientRamp::kSize - 1);
        while (k + 1 < stops.size() && stops[k + 1].offset < t) {
            ++k;
        }
        const RampStop& a = stops[k];
        const RampStop& b = k + 1 < stops.size() ? stops[k + 1] : a;
        double w = 0.0;
        if (t <= a.offset) {
            w = 0.0;
        } else if (b.offset > a.offset) {
            w = std::clamp((t - a.offset) / (b.offset - a.offset), 0.0, 1.0);
        } else {
            w = 1.0;
        }
        // Colours mix unpremultiplied and are premultiplied afterwards, as pixman does.
        const double alpha = (a.color.a + (b.color.a - a.color.a) * w) / 255.0;
        auto ch = [&](std::uint8_t x, std::uint8_t y) {
            return static_cast<std::uint32_t>((x + (y - x) * w) * alpha + 0.5);
        };
        const auto ia = static_cast<std::uint32_t>(alpha * 255.0 + 0.5);
        ramp.colors[static_cast<std::size_t>(i)] = ia << 24 | ch(a.color.r, b.color.r) << 16 |
                                                   ch(a.color.g, b.color.g) << 8 |
                                                   ch(a.color.b, b.color.b);
        ramp.opaque = ramp.opaque && ia == 255;
    }
    return ramp;
}

namespace {

// The paint's colours along a row where the mask covers it; elsewhere `colors` is left as it
// was (no coverage, no effect).
template <FillStyle::Type kType, SpreadMode kSpread>
void gradientRow(std::uint32_t* colors, const std::uint8_t* cov, int width, double px, double py,
                 const Paint& paint) {
    const GradientRamp& ramp = *paint.ramp;
    double gx = paint.a * px + paint.c * py + paint.tx;
    double gy = paint.b * px + paint.d * py + paint.ty;
    for (int x = 0; x < width; ++x, gx += paint.a, gy += paint.b) {
        if (cov[x] == 0) {
            const int next = skipUncovered(cov, x, width);
            if (next == width) {
                break;
            }
            gx += paint.a * (next - x);
            gy += paint.b * (next - x);
            x = next;
        }
        double t = 0;
        if constexpr (kType == FillStyle::Type::Linear) {
            t = (gx + 1.0) * 0.5;
        } else if constexpr (kType == FillStyle::Type::Radial) {
            t = std::sqrt(gx * gx + gy * gy);
        } else {
            // The circle of radius 1 drawn from a focal point f on the x axis: the t for
            // which the point lies on the circle centred at f*(1-t) with radius t.
            const double f = ramp.focal;
            const double dx = gx - f;
            const double a = f * f - 1.0; // < 0: the focal point is inside the circle
            const double b = 2.0 * dx * f;
            const double c = dx * dx + gy * gy;
            t = (-b - std::sqrt(std::max(0.0, b * b - 4.0 * a * c))) / (2.0 * a);
        }
        if constexpr (kSpread == SpreadMode::Repeat) {
            t -= std::floor(t);
        } else if constexpr (kSpread == SpreadMode::Reflect) {
            t -= 2.0 * std::floor(t * 0.5);
            t = t > 1.0 ? 2.0 - t : t;
        }
        // Clamps pad gradients, and keeps a degenerate matrix's NaN inside the ramp.
        if (!(t > 0.0)) {
            t = 0.0;
        } else if (t > 1.0) {
            t = 1.0;
        }
        const auto index = static_cast<std::size_t>(t * (GradientRamp::kSize - 1) + 0.5);
        colors[x] = ramp.colors[index];
    }
}

#if defined(__SSE2__)
// Linear and radial gradients that pad, four pixels at a time where any of them is covered:
// the position in the gradient square is worked out for each pixel from the row's start.
template <FillStyle::Type kType>
void paddedGradientRow(std::uint32_t* colors, const std::uint8_t* cov, int width, double px,
                       double py, const Paint& paint) {
    const std::uint32_t* ramp = paint.ramp->colors.data();
    const double gx0 = paint.a * px + paint.c * py + paint.tx;
    const double gy0 = paint.b * px + paint.d * py + paint.ty;
    const __m128d zero = _mm_setzero_pd();
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d scale = _mm_set1_pd(GradientRamp::kSize - 1);
    const __m128d half = _mm_set1_pd(0.5);
    // The ramp index of two pixels whose offsets from the row's start are in `at`.
    auto indices = [&](__m128d at) {
        const __m128d gx = _mm_add_pd(_mm_set1_pd(gx0), _mm_mul_pd(at, _mm_set1_pd(paint.a)));
        __m128d t;
        if constexpr (kType == FillStyle::Type::Linear) {
            t = _mm_mul_pd(_mm_add_pd(gx, one), half);
        } else {
            const __m128d gy = _mm_add_pd(_mm_set1_pd(gy0), _mm_mul_pd(at, _mm_set1_pd(paint.b)));
            t = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(gx, gx), _mm_mul_pd(gy, gy)));
        }
        // Clamped; max keeps its second operand when the first is NaN (a degenerate matrix).
        t = _mm_min_pd(_mm_max_pd(t, zero), one);
        return _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(t, scale), half));
    };
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        std::uint32_t four = 0;
        std::memcpy(&four, cov + x, 4);
        if (four == 0) {
            continue;
        }
        const double base = x;
        const __m128i lo = indices(_mm_set_pd(base + 1, base));
        const __m128i hi = indices(_mm_set_pd(base + 3, base + 2));
        colors[x] = ramp[_mm_cvtsi128_si32(lo)];
        colors[x + 1] = ramp[_mm_cvtsi128_si32(_mm_srli_si128(lo, 4))];
        colors[x + 2] = ramp[_mm_cvtsi128_si32(hi)];
        colors[x + 3] = ramp[_mm_cvtsi128_si32(_mm_srli_si128(hi, 4))];
    }
    for (; x < width; ++x) {
        if (cov[x] != 0) {
            const double at = x;
            colors[x] = ramp[_mm_cvtsi128_si32(indices(_mm_set1_pd(at)))];
        }
    }
}
#endif

template <FillStyle::Type kType>
void gradientRowBySpread(std::uint32_t* colors, const std::uint8_t* cov, int width, double px,
                         double py, const Paint& paint) {
#if defined(__SSE2__)
    if constexpr (kType != FillStyle::Type::Focal) {
        if (paint.ramp->spread == SpreadMode::Pad) {
            paddedGradientRow<kType>(colors, cov, width, px, py, paint);
            return;
        }
    }
#endif
    switch (paint.ramp->spread) {
    case SpreadMode::Repeat:
        gradientRow<kType, SpreadMode::Repeat>(colors, cov, width, px, py, paint);
        break;
    case SpreadMode::Reflect:
        gradientRow<kType, SpreadMode::Reflect>(colors, cov, width, px, py, paint);
        break;
    default:
        gradientRow<kType, SpreadMode::Pad>(colors, cov, width, px, py, paint);
        break;
    }
}

#if defined(__SSE2__)
// x * k / 255 in each 16-bit lane, rounded as mulPair rounds (exact in 16 bits for 8-bit x, k):
// (t + (t >> 8)) >> 8 is the high half of t * 257.
inline __m128i mul255(__m128i x, __m128i k) {
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, k), _mm_set1_epi16(0x80));
    return _mm_mulhi_epu16(t, _mm_set1_epi16(0x101));
}

// Four pixels at once, exactly as blend<kAdd> does one.
// Premultiplied OVER of four pixels: s + d * (255 - alpha of s) / 255; `sLo` and `sHi` are s
// widened to 16 bits a channel.
inline __m128i overFour(__m128i s, __m128i sLo, __m128i sHi, __m128i d) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i invLo =
        _mm_sub_epi16(full, _mm_shufflehi_epi16(_mm_shufflelo_epi16(sLo, 0xff), 0xff));
    const __m128i invHi =
        _mm_sub_epi16(full, _mm_shufflehi_epi16(_mm_shufflelo_epi16(sHi, 0xff), 0xff));
    const __m128i dLo = mul255(_mm_unpacklo_epi8(d, zero), invLo);
    const __m128i dHi = mul255(_mm_unpackhi_epi8(d, zero), invHi);
    return _mm_adds_epu8(s, _mm_packus_epi16(dLo, dHi));
}

template <bool kAdd> inline void blend4(std::uint32_t* dst, const std::uint32_t* src, __m128i m) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    if constexpr (kAdd) {
        // No more than what is still uncovered of each pixel.
        const __m128i room = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(d, 24));
        m = _mm_min_epi16(m, room);
    }
    const __m128i m16 = _mm_packs_epi32(m, m);          // m0 m1 m2 m3 (16-bit)
    const __m128i pairs = _mm_unpacklo_epi16(m16, m16); // m0 m0 m1 m1 m2 m2 m3 m3
    const __m128i mLo = _mm_unpacklo_epi32(pairs, pairs);
    const __m128i mHi = _mm_unpackhi_epi32(pairs, pairs);
    const __m128i sLo = mul255(_mm_unpacklo_epi8(s, zero), mLo);
    const __m128i sHi = mul255(_mm_unpackhi_epi8(s, zero), mHi);
    const __m128i scaled = _mm_packus_epi16(sLo, sHi);
    if constexpr (kAdd) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_adds_epu8(scaled, d));
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), overFour(scaled, sLo, sHi, d));
    }
}
#endif

#if defined(KINOVEX_WIDE_VECTORS)
bool wideVectors() {
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported && g_wideAllowed;
}

// mul255 in each 16-bit lane of eight pixels' worth.
__attribute__((target("avx2"))) inline __m256i mul255Wide(__m256i x, __m256i k) {
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(x, k), _mm256_set1_epi16(0x80));
    return _mm256_mulhi_epu16(t, _mm256_set1_epi16(0x101));
}

// d * (255 - alpha of s) / 255 + s for the pixels held as 16-bit channels in one register.
__attribute__((target("avx2"))) inline __m256i overWide(__m256i s, __m256i d) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i alphaLo =
        _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(_mm256_unpacklo_epi8(s, zero), 0xff), 0xff);
    const __m256i alphaHi =
        _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(_mm256_unpackhi_epi8(s, zero), 0xff), 0xff);
    const __m256i dLo = mul255Wide(_mm256_unpacklo_epi8(d, zero), _mm256_sub_epi16(full, alphaLo));
    const __m256i dHi = mul255Wide(_mm256_unpackhi_epi8(d, zero), _mm256_sub_epi16(full, alphaHi));
    return _mm256_adds_epu8(s, _mm256_packus_epi16(dLo, dHi));
}

// Eight pixels at a time from x on, exactly as blend4<false> does four: paint OVER the pixels
// through the coverage. Returns where it stopped.
__attribute__((target("avx2"))) int overThroughWide(std::uint32_t* dst, const std::uint32_t* src,
                                                    const std::uint8_t* cov, int x, int width) {
    const __m256i zero = _mm256_setzero_si256();
    // Each pixel's coverage spread over its four 16-bit channels, in the order unpacking the
    // pixels' bytes puts them: pixels 0, 1 | 4, 5 and 2, 3 | 6, 7.
    const __m256i spreadLo =
        _mm256_setr_epi8(0, -1, 0, -1, 0, -1, 0, -1, 1, -1, 1, -1, 1, -1, 1, -1, 4, -1, 4, -1, 4,
                         -1, 4, -1, 5, -1, 5, -1, 5, -1, 5, -1);
    const __m256i spreadHi =
        _mm256_setr_epi8(2, -1, 2, -1, 2, -1, 2, -1, 3, -1, 3, -1, 3, -1, 3, -1, 6, -1, 6, -1, 6,
                         -1, 6, -1, 7, -1, 7, -1, 7, -1, 7, -1);
    for (; x + 8 <= width; x += 8) {
        std::uint64_t eight = 0;
        std::memcpy(&eight, cov + x, 8);
        if (eight == 0) {
            continue;
        }
        const __m256i m = _mm256_set1_epi64x(static_cast<long long>(eight));
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
        const __m256i sLo =
            mul255Wide(_mm256_unpacklo_epi8(s, zero), _mm256_shuffle_epi8(m, spreadLo));
        const __m256i sHi =
            mul255Wide(_mm256_unpackhi_epi8(s, zero), _mm256_shuffle_epi8(m, spreadHi));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                            overWide(_mm256_packus_epi16(sLo, sHi), d));
    }
    return x;
}

// Eight pixels of an image at a time OVER another from x on; returns where it stopped. Clear
// pixels leave what is there, opaque ones replace it.
__attribute__((target("avx2"))) int imageOverWide(std::uint32_t* d, const std::uint32_t* s, int x,
                                                  int width) {
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 8 <= width; x += 8) {
        const __m256i sp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + x));
        if (_mm256_testz_si256(sp, sp) != 0) {
            continue;
        }
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(sp, alpha), alpha)) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), sp);
            continue;
        }
        const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), overWide(sp, dp));
    }
    return x;
}
#endif

template <bool kAdd>
void blendRow(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* cov, int width) {
    int x = skipUncovered(cov, 0, width);
#if defined(KINOVEX_WIDE_VECTORS)
    if constexpr (!kAdd) {
        if (wideVectors()) {
            x = overThroughWide(dst, src, cov, x, width);
        }
    }
#endif
#if defined(__SSE2__)
    for (; x + 4 <= width; x += 4) {
        std::uint32_t four = 0;
        std::memcpy(&four, cov + x, 4);
        if (four == 0) {
            continue;
        }
        const __m128i m = _mm_unpacklo_epi16(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), _mm_setzero_si128()),
            _mm_setzero_si128());
        blend4<kAdd>(dst + x, src + x, m);
    }
#endif
    for (; x < width; ++x) {
        if (cov[x] != 0) {
            blend<kAdd>(dst[x], src[x], cov[x]);
        }
    }
}

template <bool kAdd> void composite(const CoverageTarget& t, const Paint& paint) {
    if (paint.ramp == nullptr && paint.solid == 0) {
        return;
    }
    // The paint's colours for one row, blended in a second pass.
    thread_local std::vector<std::uint32_t> colors;
    colors.resize(static_cast<std::size_t>(std::max(t.width, 0)));
    if (paint.ramp == nullptr) {
        std::fill(colors.begin(), colors.end(), paint.solid);
    }
    for (int row = 0; row < t.height; ++row) {
        std::uint32_t* dst = t.pixels + static_cast<std::ptrdiff_t>(row) * t.strideWords;
        const std::uint8_t* cov = t.coverage + static_cast<std::ptrdiff_t>(row) * t.coverageStride;
        if (paint.ramp != nullptr) {
            // Pixel centres, as pixman samples gradients.
            const double px = t.x0 + 0.5;
            const double py = t.y0 + row + 0.5;
            switch (paint.ramp->type) {
            case FillStyle::Type::Linear:
                gradientRowBySpread<FillStyle::Type::Linear>(colors.data(), cov, t.width, px, py,
                                                             paint);
                break;
            case FillStyle::Type::Focal:
                gradientRowBySpread<FillStyle::Type::Focal>(colors.data(), cov, t.width, px, py,
                                                            paint);
                break;
            default:
                gradientRowBySpread<FillStyle::Type::Radial>(colors.data(), cov, t.width, px, py,
                                                             paint);
                break;
            }
        }
        blendRow<kAdd>(dst, colors.data(), cov, t.width);
    }
}

} // namespace

bool allowWideVectors(bool allowed) {
    const bool before = g_wideAllowed;
    g_wideAllowed = allowed;
    return before;
}

void compositeOver(const CoverageTarget& t, const Paint& paint) {
    composite<false>(t, paint);
}

void accumulate(const CoverageTarget& t, const Paint& paint) {
    composite<true>(t, paint);
}

void compositeImageOver(std::uint32_t* dst, int dstStrideWords, const std::uint32_t* src,
                        int srcStrideWords, int width, int height) {
    for (int y = 0; y < height; ++y) {
        std::uint32_t* d = dst + static_cast<std::ptrdiff_t>(y) * dstStrideWords;
        const std::uint32_t* s = src + static_cast<std::ptrdiff_t>(y) * srcStrideWords;
        int x = 0;
#if defined(KINOVEX_WIDE_VECTORS)
        if (wideVectors()) {
            x = imageOverWide(d, s, x, width);
        }
#endif
#if defined(__SSE2__)
        // A shape's bitmap is mostly clear around the shape: four clear pixels are passed by,
        // four opaque ones replace what is there.
        const __m128i zero = _mm_setzero_si128();
        const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        for (; x + 4 <= width; x += 4) {
            const __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(sp, zero)) == 0xFFFF) {
                continue;
            }
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(sp, alpha), alpha)) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), sp);
                continue;
            }
            const __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x));
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(d + x),
                overFour(sp, _mm_unpacklo_epi8(sp, zero), _mm_unpackhi_epi8(sp, zero), dp));
        }
#endif
        for (; x < width; ++x) {
            if (s[x] != 0) {
                d[x] = over(s[x], d[x]);
            }
        }
    }
}

namespace {

// Eight bytes of coverage at once, for the long covered or uncovered stretches of a mask.
inline std::uint64_t eightAt(const std::uint8_t* p) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

void keepCovered(std::uint32_t* drawn, int drawnStrideWords, const std::uint32_t* under,
                 int underStrideWords, const std::uint8_t* coverage, int coverageStride, int width,
                 int height) {
    constexpr std::uint64_t kAllCovered = ~std::uint64_t{0};
    for (int y = 0; y < height; ++y) {
        std::uint32_t* d = drawn + static_cast<std::ptrdiff_t>(y) * drawnStrideWords;
        const std::uint32_t* u = under + static_cast<std::ptrdiff_t>(y) * underStrideWords;
        const std::uint8_t* c = coverage + static_cast<std::ptrdiff_t>(y) * coverageStride;
        int x = 0;
        while (x < width) {
            if (x + 8 <= width) {
                const std::uint64_t eight = eightAt(c + x);
                if (eight == kAllCovered) {
                    x += 8;
                    continue;
                }
                if (eight == 0) {
                    std::memcpy(d + x, u + x, 8 * sizeof *d);
                    x += 8;
                    continue;
                }
            }
            const int end = std::min(width, x + 8);
            for (; x < end; ++x) {
                if (c[x] != 255) {
                    d[x] = premul8::mix(u[x], d[x], c[x]);
                }
            }
        }
    }
}

} // namespace kinovex::flash
