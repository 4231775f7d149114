#include "cli/convert/PictureConversion.h"

#include <algorithm>

namespace kinovex::cli {

namespace {

// BT.601 in 16-bit fixed point, scaled to video range (luma 16..235, chroma 16..240).
constexpr std::int32_t kYr = 16829, kYg = 33039, kYb = 6416;
constexpr std::int32_t kUr = -9714, kUg = -19070, kUb = 28784;
constexpr std::int32_t kVr = 28784, kVg = -24103, kVb = -4681;

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
        (kYr * red(p) + kYg * green(p) + kYb * blue(p) + (16 << 16) + (1 << 15)) >> 16);
}

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
    for (std::size_t row = 0; row < h; ++row) {
        const std::uint32_t* line = pixels + row * w;
        std::uint8_t* y = yPlane + row * w;
        for (std::size_t x = 0; x < w; ++x) {
            y[x] = luma(line[x]);
        }
    }
    // Chroma from the sums of each 2 x 2 block: four times the mean, so two more bits to shift.
    constexpr std::int32_t kOffset = (128 << 18) + (1 << 17);
    for (std::size_t row = 0; row < h / 2; ++row) {
        const std::uint32_t* top = pixels + 2 * row * w;
        const std::uint32_t* bottom = top + w;
        std::uint8_t* u = uPlane + row * (w / 2);
        std::uint8_t* v = vPlane + row * (w / 2);
        for (std::size_t x = 0; x < w / 2; ++x) {
            const std::uint32_t a = top[2 * x], b = top[2 * x + 1];
            const std::uint32_t c = bottom[2 * x], d = bottom[2 * x + 1];
            const std::int32_t r = red(a) + red(b) + red(c) + red(d);
            const std::int32_t g = green(a) + green(b) + green(c) + green(d);
            const std::int32_t bl = blue(a) + blue(b) + blue(c) + blue(d);
            u[x] = static_cast<std::uint8_t>((kUr * r + kUg * g + kUb * bl + kOffset) >> 18);
            v[x] = static_cast<std::uint8_t>((kVr * r + kVg * g + kVb * bl + kOffset) >> 18);
        }
    }
}

} // namespace kinovex::cli
