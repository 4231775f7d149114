#pragma once
// Integer arithmetic on premultiplied ARGB32 pixels, exact to the rounding of x * k / 255.

#include <algorithm>
#include <cstdint>

namespace kinovex::flash::premul8 {

// Every channel of `p` times k / 255 (k in 0..255), rounded to nearest. Two channels share
// one multiply: their products stay below 2^16 and never reach each other.
inline std::uint32_t scale(std::uint32_t p, std::uint32_t k) {
    std::uint32_t rb = (p & 0x00ff00ffu) * k + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
    std::uint32_t ag = ((p >> 8) & 0x00ff00ffu) * k + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00ff00ffu)) & 0xff00ff00u;
    return rb | ag;
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
