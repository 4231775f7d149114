#pragma once
// Integer arithmetic on premultiplied ARGB32 pixels, exact to the rounding of x * k / 255.

#include <algorithm>
#include <cstdint>

namespace kinovex::flash::premul8 {

// The two sums of channel products held in the 16-bit halves of x (each at most 255 * 255),
// each over 255 rounded to nearest, in the low byte of its half. Two channels share one
// multiply this way: their products stay below 2^16 and never reach each other.
inline std::uint32_t halvesOver255(std::uint32_t x) {
    x += 0x00800080u;
    return ((x + ((x >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
}

// Every channel of `p` times k / 255 (k in 0..255), rounded to nearest.
inline std::uint32_t scale(std::uint32_t p, std::uint32_t k) {
    return halvesOver255((p & 0x00ff00ffu) * k) | halvesOver255(((p >> 8) & 0x00ff00ffu) * k) << 8;
}

// Every channel of (a * (255 - k) + b * k) / 255, rounded to nearest: from a at k = 0 to b at
// k = 255, rounded once.
inline std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t k) {
    const std::uint32_t j = 255u - k;
    return halvesOver255((a & 0x00ff00ffu) * j + (b & 0x00ff00ffu) * k) |
           halvesOver255(((a >> 8) & 0x00ff00ffu) * j + ((b >> 8) & 0x00ff00ffu) * k) << 8;
}

// The premultiplied pixel of straight channels r, g, b, a given in 0..255 (clamped there).
inline std::uint32_t fromStraight(double r, double g, double b, double a) {
    auto ch = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0) + 0.5); };
    const std::uint32_t ia = ch(a);
    return (ia << 24) | (ch(r * a / 255.0) << 16) | (ch(g * a / 255.0) << 8) | ch(b * a / 255.0);
}

// x / 255 rounded to nearest, for 0 <= x <= 255 * 255 (a product of two 8-bit values).
inline std::uint32_t divide255(std::uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

inline std::uint32_t alpha(std::uint32_t p) {
    return p >> 24;
}

// `src` over `dst`: their channel sums never pass 255 when both are valid premultiplied
// pixels, so no channel carries into the next.
inline std::uint32_t over(std::uint32_t src, std::uint32_t dst) {
    return src + scale(dst, 255u - alpha(src));
}

} // namespace kinovex::flash::premul8
