#include "engine/render/CoverageBlur.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kinovex::flash {

namespace {

// Division of a box's sum (at most 511 values of 255) by its odd width d: (n + 0.5) / d in
// single precision lies at least 0.5 / d from any integer and its error stays below that, so
// truncating it gives floor(n / d); unlike a 64-bit multiply it runs many values at a time.
struct CoverageDivider {
    explicit CoverageDivider(int d) : inverse(1.0f / static_cast<float>(d)) {}
    std::uint8_t operator()(std::int32_t n) const {
        return static_cast<std::uint8_t>(
            static_cast<std::int32_t>((static_cast<float>(n) + 0.5f) * inverse));
    }
    float inverse;
};

// The loops below go over a row in blocks of a fixed length and then one by one, since the
// compiler at -O2 runs only loops of a known count many values at a time.
constexpr std::size_t kBlock = 16;

void divideRow(std::uint8_t* __restrict out, const std::int32_t* __restrict sums, std::size_t w,
               CoverageDivider divide) {
    std::size_t x = 0;
    for (; x + kBlock <= w; x += kBlock) {
        for (std::size_t k = 0; k < kBlock; ++k) {
            out[x + k] = divide(sums[x + k]);
        }
    }
    for (; x < w; ++x) {
        out[x] = divide(sums[x]);
    }
}

// sums += entering - leaving, either row being absent (beyond the plane) when null.
void slideRow(std::int32_t* __restrict sums, const std::uint8_t* __restrict entering,
              const std::uint8_t* __restrict leaving, std::size_t w) {
    static const std::uint8_t zeros[kBlock] = {};
    std::size_t x = 0;
    for (; x + kBlock <= w; x += kBlock) {
        const std::uint8_t* in = entering != nullptr ? entering + x : zeros;
        const std::uint8_t* out = leaving != nullptr ? leaving + x : zeros;
        for (std::size_t k = 0; k < kBlock; ++k) {
            sums[x + k] += static_cast<std::int32_t>(in[k]) - static_cast<std::int32_t>(out[k]);
        }
    }
    for (; x < w; ++x) {
        sums[x] += (entering != nullptr ? entering[x] : 0) - (leaving != nullptr ? leaving[x] : 0);
    }
}

// One vertical pass over every column at once, row by row, so that memory is read in order.
void blurColumns(std::uint8_t* plane, int width, int height, int radius,
                 std::vector<std::uint8_t>& source, std::vector<std::int32_t>& sums) {
    const auto w = static_cast<std::size_t>(width);
    source.assign(plane, plane + w * static_cast<std::size_t>(height));
    sums.assign(w, 0);
    auto row = [&](int y) -> const std::uint8_t* {
        return y < 0 || y >= height ? nullptr : source.data() + static_cast<std::size_t>(y) * w;
    };
    for (int y = 0; y <= radius; ++y) {
        slideRow(sums.data(), row(y), nullptr, w);
    }
    const CoverageDivider divide(2 * radius + 1);
    for (int y = 0; y < height; ++y) {
        divideRow(plane + static_cast<std::size_t>(y) * w, sums.data(), w, divide);
        slideRow(sums.data(), row(y + radius + 1), row(y - radius), w);
    }
}

// out[i] = the difference of two sums `width` apart, divided: each box's mean.
void boxMeans(std::uint8_t* __restrict out, const std::int32_t* __restrict prefix,
              std::size_t count, std::size_t width, CoverageDivider divide) {
    std::size_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        for (std::size_t k = 0; k < kBlock; ++k) {
            out[i + k] = divide(prefix[i + k + width] - prefix[i + k]);
        }
    }
    for (; i < count; ++i) {
        out[i] = divide(prefix[i + width] - prefix[i]);
    }
}

// One horizontal pass along a row, values beyond its ends 0: the sums of the row's first values
// (`radius` zeros ahead of it), whose differences are the boxes' sums. Only the sums depend on
// each other; the means then come many at a time.
void blurRow(std::uint8_t* row, int count, int radius, std::vector<std::int32_t>& prefix) {
    const auto width = static_cast<std::size_t>(2 * radius + 1);
    const auto n = static_cast<std::size_t>(count);
    const auto r = static_cast<std::size_t>(radius);
    prefix.assign(n + width, 0);
    std::int32_t sum = 0;
    for (std::size_t k = 0; k < n; ++k) {
        sum += row[k];
        prefix[r + k + 1] = sum;
    }
    std::fill(prefix.begin() + static_cast<std::ptrdiff_t>(r + n + 1), prefix.end(), sum);
    boxMeans(row, prefix.data(), n, width, CoverageDivider(2 * radius + 1));
}

} // namespace

void coverageBlur(std::uint8_t* plane, int width, int height, int radiusX, int radiusY,
                  int passes) {
    std::vector<std::uint8_t> scratch;
    std::vector<std::int32_t> sums;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; radiusX > 0 && width > 1 && y < height; ++y) {
            blurRow(plane + static_cast<std::ptrdiff_t>(y) * width, width, radiusX, sums);
        }
        if (radiusY > 0 && height > 1) {
            blurColumns(plane, width, height, radiusY, scratch, sums);
        }
    }
}

} // namespace kinovex::flash
