#include "engine/render/BitmapTint.h"

#include <array>
#include <cstdint>

namespace kinovex::flash {

cairo_surface_t* transformedSurface(cairo_surface_t* src, const ColorTransform& cx) {
    cairo_surface_flush(src);
    const int w = cairo_image_surface_get_width(src);
    const int h = cairo_image_surface_get_height(src);
    cairo_surface_t* dst = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    const int sstride = cairo_image_surface_get_stride(src);
    const int dstride = cairo_image_surface_get_stride(dst);
    const unsigned char* sdata = cairo_image_surface_get_data(src);
    unsigned char* ddata = cairo_image_surface_get_data(dst);
    // The transform of each channel value, once per value rather than once per pixel; and
    // c * 255 / a as a multiply by a rounded-up reciprocal, exact for c * 255 < 2^16.
    std::array<std::array<std::uint8_t, 256>, 4> table{};
    for (int v = 0; v < 256; ++v) {
        const auto u = static_cast<std::uint8_t>(v);
        const Rgba t = cx.apply(Rgba{u, u, u, u});
        table[0][v] = t.r;
        table[1][v] = t.g;
        table[2][v] = t.b;
        table[3][v] = t.a;
    }
    std::array<std::uint64_t, 256> reciprocal{};
    for (std::uint64_t a = 1; a < 256; ++a) {
        reciprocal[a] = ((std::uint64_t{1} << 24) + a - 1) / a;
    }
    const std::uint8_t* const tr = table[0].data();
    const std::uint8_t* const tg = table[1].data();
    const std::uint8_t* const tb = table[2].data();
    const std::uint8_t* const ta = table[3].data();
    // An opaque pixel (most of a picture) is its straight colour: each channel's whole answer,
    // premultiplied and in place, comes from one table.
    const std::uint32_t opaqueAlpha = ta[255];
    std::array<std::array<std::uint32_t, 256>, 3> opaque{};
    for (std::uint32_t v = 0; v < 256; ++v) {
        opaque[0][v] = (tr[v] * opaqueAlpha / 255) << 16;
        opaque[1][v] = (tg[v] * opaqueAlpha / 255) << 8;
        opaque[2][v] = tb[v] * opaqueAlpha / 255;
    }
    for (int y = 0; y < h; ++y) {
        const auto* s = reinterpret_cast<const std::uint32_t*>(
            sdata + static_cast<std::ptrdiff_t>(y) * sstride);
        auto* d =
            reinterpret_cast<std::uint32_t*>(ddata + static_cast<std::ptrdiff_t>(y) * dstride);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = s[x];
            const std::uint32_t a = p >> 24;
            if (a == 255) {
                d[x] = opaqueAlpha << 24 | opaque[0][(p >> 16) & 255] | opaque[1][(p >> 8) & 255] |
                       opaque[2][p & 255];
                continue;
            }
            const std::uint64_t inv = reciprocal[a];
            auto straight = [&](int shift) {
                return static_cast<std::uint32_t>((((p >> shift) & 255) * 255 * inv) >> 24) & 255;
            };
            const std::uint32_t na = ta[a];
            const std::uint32_t r = tr[a != 0 ? straight(16) : 0];
            const std::uint32_t g = tg[a != 0 ? straight(8) : 0];
            const std::uint32_t b = tb[a != 0 ? straight(0) : 0];
            d[x] = (na << 24) | ((r * na / 255) << 16) | ((g * na / 255) << 8) | (b * na / 255);
        }
    }
    cairo_surface_mark_dirty(dst);
    return dst;
}

} // namespace kinovex::flash
