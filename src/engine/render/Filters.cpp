#include "engine/render/Filters.h"

#include "engine/render/FilterBevel.h"
#include "engine/render/FilterBlur.h"
#include "engine/render/FilterShadow.h"
#include "engine/render/PremulPixel.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace kinovex::flash {

namespace {

void colorMatrix(std::uint32_t* px, std::size_t count, const std::vector<float>& m) {
    if (m.size() < 20) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = px[i];
        const double a = p >> 24;
        double r = 0, g = 0, b = 0;
        if (a > 0) {
            r = ((p >> 16) & 255) * 255.0 / a;
            g = ((p >> 8) & 255) * 255.0 / a;
            b = (p & 255) * 255.0 / a;
        }
        const double in[4] = {r, g, b, a};
        double out[4];
        for (int row = 0; row < 4; ++row) {
            const float* k = &m[static_cast<std::size_t>(row) * 5];
            out[row] = k[0] * in[0] + k[1] * in[1] + k[2] * in[2] + k[3] * in[3] + k[4];
        }
        px[i] = premul8::fromStraight(out[0], out[1], out[2], std::clamp(out[3], 0.0, 255.0));
    }
}

// Each pixel becomes a weighted sum of its neighbours (unpremultiplied channels), divided and
// offset. Pixels beyond the edge repeat the edge (clamp) or are the filter's colour.
void convolution(std::uint32_t* px, int w, int h, int stride, const Filter& f) {
    const int cols = f.matrixX;
    const int rows = f.matrixY;
    // Flash players take kernels of at most 15 x 15; a larger one (only a damaged file has it)
    // would cost minutes a frame and is left out.
    constexpr int kMaxKernel = 15;
    if (cols <= 0 || rows <= 0 || cols > kMaxKernel || rows > kMaxKernel ||
        f.matrix.size() < static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows)) {
        return;
    }
    // A divisor of 0 would wipe the picture out; it counts as 1.
    const double divisor = f.divisor != 0.0f && std::isfinite(f.divisor) ? f.divisor : 1.0;
    const double bias = std::isfinite(f.bias) ? f.bias : 0.0;
    std::vector<double> kernel(f.matrix.begin(), f.matrix.begin() + cols * rows);
    for (double& k : kernel) {
        k = std::isfinite(k) ? k / divisor : 0.0;
    }
    // The source, unpremultiplied, with a border of what lies beyond the edge.
    const int left = cols / 2;
    const int top = rows / 2;
    const int bw = w + cols - 1;
    const int bh = h + rows - 1;
    std::vector<float> src(static_cast<std::size_t>(bw) * static_cast<std::size_t>(bh) * 4);
    const float outside[4] = {static_cast<float>(f.color.r), static_cast<float>(f.color.g),
                              static_cast<float>(f.color.b), static_cast<float>(f.color.a)};
    for (int y = 0; y < bh; ++y) {
        for (int x = 0; x < bw; ++x) {
            int sx = x - left;
            int sy = y - top;
            float* out = &src[(static_cast<std::size_t>(y) * static_cast<std::size_t>(bw) +
                               static_cast<std::size_t>(x)) *
                              4];
            if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                if (!f.clamp) {
                    std::copy_n(outside, 4, out);
                    continue;
                }
                sx = std::clamp(sx, 0, w - 1);
                sy = std::clamp(sy, 0, h - 1);
            }
            const std::uint32_t p =
                px[static_cast<std::size_t>(sy) * static_cast<std::size_t>(stride) +
                   static_cast<std::size_t>(sx)];
            const float a = static_cast<float>(p >> 24);
            const float k = a > 0 ? 255.0f / a : 0.0f;
            out[0] = static_cast<float>((p >> 16) & 255) * k;
            out[1] = static_cast<float>((p >> 8) & 255) * k;
            out[2] = static_cast<float>(p & 255) * k;
            out[3] = a;
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < rows; ++j) {
                const float* line =
                    &src[(static_cast<std::size_t>(y + j) * static_cast<std::size_t>(bw) +
                          static_cast<std::size_t>(x)) *
                         4];
                for (int i = 0; i < cols; ++i) {
                    const double k = kernel[static_cast<std::size_t>(j * cols + i)];
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += line[i * 4 + c] * k;
                    }
                }
            }
            std::uint32_t& p = px[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                                  static_cast<std::size_t>(x)];
            auto channel = [&](int c) { return std::clamp(sum[c] + bias, 0.0, 255.0); };
            const double alpha = f.preserveAlpha ? static_cast<double>(p >> 24) : channel(3);
            p = premul8::fromStraight(channel(0), channel(1), channel(2), alpha);
        }
    }
}

void applyToArea(std::uint32_t* px, int w, int h, int stride, const Filter& f, double scale) {
    switch (f.type) {
    case Filter::Type::Blur:
        boxBlur(px, w, h, stride, blurRadius(f.blurX, scale), blurRadius(f.blurY, scale),
                std::max(1, f.passes));
        break;
    case Filter::Type::DropShadow:
    case Filter::Type::Glow:
        applyShadow(px, w, h, stride, f, scale);
        break;
    case Filter::Type::Bevel:
    case Filter::Type::GradientGlow:
    case Filter::Type::GradientBevel:
        applyBevelOrGradientGlow(px, w, h, stride, f, scale);
        break;
    case Filter::Type::ColorMatrix:
        for (int y = 0; y < h; ++y) {
            colorMatrix(px + static_cast<std::ptrdiff_t>(y) * stride, static_cast<std::size_t>(w),
                        f.matrix);
        }
        break;
    case Filter::Type::Convolution:
        convolution(px, w, h, stride, f);
        break;
    }
}

} // namespace

std::optional<std::pair<int, int>> filterReach(const Filter& f, double scale) {
    if (f.type == Filter::Type::ColorMatrix || f.type == Filter::Type::Convolution) {
        return std::nullopt;
    }
    const int passes = std::max(1, f.passes);
    const double shift = std::abs(f.distance * scale);
    const int x = blurRadius(f.blurX, scale) * passes + static_cast<int>(std::ceil(shift)) + 1;
    const int y = blurRadius(f.blurY, scale) * passes + static_cast<int>(std::ceil(shift)) + 1;
    return std::pair{x, y};
}

namespace {

// Premultiplied: a transparent pixel is all zero, so one OR over the row tells an empty row. The
// OR runs in blocks of a fixed length, which the compiler at -O2 runs many pixels at a time.
bool anyPixel(const std::uint32_t* row, int w) {
    constexpr int kBlock = 16;
    std::uint32_t any = 0;
    int i = 0;
    for (; i + kBlock <= w; i += kBlock) {
        for (int k = 0; k < kBlock; ++k) {
            any |= row[i + k];
        }
    }
    for (; i < w; ++i) {
        any |= row[i];
    }
    return any != 0;
}

} // namespace

std::optional<PixelArea> coveredArea(const std::uint32_t* px, int w, int h, int stride) {
    PixelArea area{w, h, 0, 0};
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* row = px + static_cast<std::ptrdiff_t>(y) * stride;
        if (!anyPixel(row, w)) {
            continue;
        }
        int x = 0;
        while (x < w && (row[x] >> 24) == 0) {
            ++x;
        }
        if (x == w) {
            continue;
        }
        int last = w - 1;
        while ((row[last] >> 24) == 0) {
            --last;
        }
        area = {std::min(area.left, x), std::min(area.top, y), std::max(area.right, last + 1),
                y + 1};
    }
    if (area.right <= area.left) {
        return std::nullopt;
    }
    return area;
}

void applyFilter(cairo_surface_t* surface, const Filter& f, double scale) {
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        return;
    }
    cairo_surface_flush(surface);
    auto* px = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface) / 4;
    if (px == nullptr || w <= 0 || h <= 0) {
        return;
    }
    // Filters whose result stays near the object work on the object's pixels and the margin
    // their blur and offset reach, not on the whole surface (an object's layer is as large as
    // the stage): outside that margin their result is transparent anyway.
    if (const auto margin = filterReach(f, scale)) {
        const std::optional<PixelArea> covered = coveredArea(px, w, h, stride);
        if (!covered) {
            return;
        }
        const int left = std::max(0, covered->left - margin->first);
        const int top = std::max(0, covered->top - margin->second);
        const int right = std::min(w, covered->right + margin->first);
        const int bottom = std::min(h, covered->bottom + margin->second);
        applyToArea(px + static_cast<std::ptrdiff_t>(top) * stride + left, right - left,
                    bottom - top, stride, f, scale);
    } else {
        applyToArea(px, w, h, stride, f, scale);
    }
    cairo_surface_mark_dirty(surface);
}

} // namespace kinovex::flash
