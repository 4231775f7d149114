#include "engine/render/BlendModes.h"

#include "engine/render/PremulPixel.h"

#include <algorithm>

namespace kinovex::flash {

namespace {

// The blend of one channel, premultiplied (s and d with their alphas sa and da), in units of
// 255 * 255: sa * da * B(s / sa, d / da).
template <BlendMode kMode>
inline std::int32_t blendChannel(std::int32_t d, std::int32_t da, std::int32_t s, std::int32_t sa) {
    if constexpr (kMode == BlendMode::Overlay) {
        return 2 * d < da ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
    } else if constexpr (kMode == BlendMode::Hardlight) {
        return 2 * s < sa ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
    } else if constexpr (kMode == BlendMode::Screen) {
        return s * da + d * sa - s * d;
    } else if constexpr (kMode == BlendMode::Darken) {
        return std::min(s * da, d * sa);
    } else if constexpr (kMode == BlendMode::Lighten) {
        return std::max(s * da, d * sa);
    } else {
        static_assert(kMode == BlendMode::Difference);
        const std::int32_t sd = s * da, ds = d * sa;
        return sd > ds ? sd - ds : ds - sd;
    }
}

template <BlendMode kMode>
void blendRows(std::uint32_t* dst, int dstStride, const std::uint32_t* src, int srcStride,
               int width, int height) {
    for (int y = 0; y < height; ++y, dst += dstStride, src += srcStride) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t s = src[x];
            const auto sa = static_cast<std::int32_t>(s >> 24);
            if (sa == 0) {
                continue; // a clear pixel leaves what lies beneath
            }
            const std::uint32_t d = dst[x];
            const auto da = static_cast<std::int32_t>(d >> 24);
            std::uint32_t out =
                premul8::divide255(static_cast<std::uint32_t>(255 * (sa + da) - sa * da)) << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                const auto sc = static_cast<std::int32_t>((s >> shift) & 255);
                const auto dc = static_cast<std::int32_t>((d >> shift) & 255);
                const std::int32_t sum =
                    (255 - sa) * dc + (255 - da) * sc + blendChannel<kMode>(dc, da, sc, sa);
                out |= premul8::divide255(static_cast<std::uint32_t>(std::clamp(sum, 0, 255 * 255)))
                       << shift;
            }
            dst[x] = out;
        }
    }
}

using BlendRows = void (*)(std::uint32_t*, int, const std::uint32_t*, int, int, int);

// The loop for `mode`; none for the modes left to cairo.
BlendRows rowsFor(BlendMode mode) {
    switch (mode) {
    case BlendMode::Overlay:
        return &blendRows<BlendMode::Overlay>;
    case BlendMode::Hardlight:
        return &blendRows<BlendMode::Hardlight>;
    case BlendMode::Screen:
        return &blendRows<BlendMode::Screen>;
    case BlendMode::Darken:
        return &blendRows<BlendMode::Darken>;
    case BlendMode::Lighten:
        return &blendRows<BlendMode::Lighten>;
    case BlendMode::Difference:
        return &blendRows<BlendMode::Difference>;
    default:
        return nullptr;
    }
}

} // namespace

bool blendsDirectly(BlendMode mode) {
    return rowsFor(mode) != nullptr;
}

void blendImage(std::uint32_t* dst, int dstStrideWords, const std::uint32_t* src,
                int srcStrideWords, int width, int height, BlendMode mode) {
    if (const BlendRows rows = rowsFor(mode)) {
        rows(dst, dstStrideWords, src, srcStrideWords, width, height);
    }
}

} // namespace kinovex::flash
