#include "engine/render/FilterBlur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace kinovex::flash {

namespace {

// Division by a box's width as a multiply and a shift: floor(n / d) == (n * m) >> 32 with
// m = ceil(2^32 / d) holds for every n with n * d < 2^32, and a box sums at most 511 values of
// 255.
struct BoxDivider {
    explicit BoxDivider(std::uint32_t d) : factor(((std::uint64_t{1} << 32) + d - 1) / d) {}
    std::uint32_t operator()(std::uint32_t n) const {
        return static_cast<std::uint32_t>((n * factor) >> 32);
    }
    std::uint64_t factor;
};

std::uint32_t channel(std::uint32_t p, int c) {
    return (p >> (8 * c)) & 255u;
}

// One pass of a running-sum box blur along a line of `count` values `step` apart, per channel;
// values beyond the line's ends count as transparent.
template <int Channels>
void blurLine(std::uint32_t* line, int count, std::ptrdiff_t step, int radius,
              std::vector<std::uint32_t>& scratch) {
    if (radius <= 0 || count <= 1) {
        return;
    }
    // The line with `radius` transparent values on each side, so the loop needs no bounds.
    scratch.assign(static_cast<std::size_t>(count + 2 * radius + 1), 0u);
    for (int i = 0; i < count; ++i) {
        scratch[static_cast<std::size_t>(i + radius)] = line[i * step];
    }
    const BoxDivider divide(static_cast<std::uint32_t>(2 * radius + 1));
    std::uint32_t sum[Channels] = {};
    for (int i = 0; i < 2 * radius + 1; ++i) {
        for (int c = 0; c < Channels; ++c) {
            sum[c] += channel(scratch[static_cast<std::size_t>(i)], c);
        }
    }
    for (int i = 0; i < count; ++i) {
        std::uint32_t out = 0;
        for (int c = 0; c < Channels; ++c) {
            out |= divide(sum[c]) << (8 * c);
        }
        line[i * step] = out;
        const std::uint32_t leaving = scratch[static_cast<std::size_t>(i)];
        const std::uint32_t entering = scratch[static_cast<std::size_t>(i + 2 * radius + 1)];
        for (int c = 0; c < Channels; ++c) {
            sum[c] += channel(entering, c) - channel(leaving, c);
        }
    }
}

// One vertical pass over every column at once, row by row, so that memory is read in order:
// `sums` holds each column's running sums.
template <int Channels>
void blurColumns(std::uint32_t* pixels, int width, int height, int strideWords, int radius,
                 std::vector<std::uint32_t>& scratch) {
    if (radius <= 0 || height <= 1) {
        return;
    }
    const auto w = static_cast<std::size_t>(width);
    const auto stride = static_cast<std::size_t>(strideWords);
    scratch.resize(w * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        std::copy_n(pixels + static_cast<std::size_t>(y) * stride, w,
                    scratch.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * w));
    }
    auto row = [&](int y) -> const std::uint32_t* {
        return y < 0 || y >= height ? nullptr : scratch.data() + static_cast<std::size_t>(y) * w;
    };
    std::vector<std::uint32_t> sums(Channels * w, 0u);
    auto add = [&](const std::uint32_t* r, bool subtract) {
        if (r == nullptr) {
            return;
        }
        for (std::size_t x = 0; x < w; ++x) {
            for (int c = 0; c < Channels; ++c) {
                const std::uint32_t v = channel(r[x], c);
                sums[Channels * x + static_cast<std::size_t>(c)] += subtract ? 0u - v : v;
            }
        }
    };
    for (int y = -radius; y <= radius; ++y) {
        add(row(y), false);
    }
    const BoxDivider divide(static_cast<std::uint32_t>(2 * radius + 1));
    for (int y = 0; y < height; ++y) {
        std::uint32_t* out = pixels + static_cast<std::size_t>(y) * stride;
        for (std::size_t x = 0; x < w; ++x) {
            std::uint32_t p = 0;
            for (int c = 0; c < Channels; ++c) {
                p |= divide(sums[Channels * x + static_cast<std::size_t>(c)]) << (8 * c);
            }
            out[x] = p;
        }
        add(row(y + radius + 1), false);
        add(row(y - radius), true);
    }
}

// `passes` box blurs each way over values of `Channels` bytes (4: premultiplied ARGB; 1: a
// plane of coverage, one value of 0..255 in each word).
template <int Channels>
void blurPasses(std::uint32_t* pixels, int width, int height, int strideWords, int radiusX,
                int radiusY, int passes) {
    std::vector<std::uint32_t> scratch;
    for (int pass = 0; pass < passes; ++pass) {
        if (radiusX > 0) {
            for (int y = 0; y < height; ++y) {
                blurLine<Channels>(pixels + static_cast<std::ptrdiff_t>(y) * strideWords, width, 1,
                                   radiusX, scratch);
            }
        }
        blurColumns<Channels>(pixels, width, height, strideWords, radiusY, scratch);
    }
}

} // namespace

void boxBlur(std::uint32_t* pixels, int width, int height, int strideWords, int radiusX,
             int radiusY, int passes) {
    blurPasses<4>(pixels, width, height, strideWords, radiusX, radiusY, passes);
}

int blurRadius(double blur, double scale) {
    // Flash's blur amount is the width of the box.
    return std::clamp(static_cast<int>(std::lround(blur * scale / 2.0)), 0, 255);
}

} // namespace kinovex::flash
