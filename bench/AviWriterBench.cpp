// AppendFrame of the recorder's frames: 550 x 400 at 16 bits (the default movie size), written
// to a real file. Run with --benchmark_repetitions=N to get the median.

#include "core/record/CAviWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 550;
constexpr int kHeight = 400;

// A frame like a movie's: a gradient sky, a moving disc, a band of text-like detail.
std::vector<std::uint8_t> MovieFrame(int frame) {
    const std::size_t stride = (kWidth * 2 + 3) / 4 * 4;
    std::vector<std::uint8_t> dib(stride * kHeight);
    const double cx = 100 + 5.0 * (frame % 60);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<std::uint16_t*>(dib.data() + stride * (kHeight - 1 - y));
        for (int x = 0; x < kWidth; ++x) {
            int r = 4 + y * 20 / kHeight;
            int g = 10 + y * 15 / kHeight;
            int b = 31;
            if (std::hypot(x - cx, y - 200.0) < 60) {
                r = 31;
                g = 20;
                b = 0;
            }
            if (y > 330 && y < 360 && ((x / 3 + y / 2 + frame) % 7) < 3) {
                r = g = b = 0;
            }
            row[x] = static_cast<std::uint16_t>(r << 10 | g << 5 | b);
        }
    }
    return dib;
}

void BM_AppendFrame(benchmark::State& state) {
    const std::string folder = std::filesystem::temp_directory_path() / "kinovex-bench";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/bench-" + std::to_string(getpid()) + ".avi";
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 24; ++i)
        frames.push_back(MovieFrame(i));

    kinovex::CAviWriter writer(path, kinovex::kCodecMSVC, 12);
    std::size_t next = 0;
    for (auto _ : state) {
        const auto result = writer.AppendFrame(kWidth, kHeight, frames[next].data(), 16);
        if (!result) {
            state.SkipWithError(writer.GetLastError().c_str());
            break;
        }
        next = (next + 1) % frames.size();
    }
    writer.Close();
    std::filesystem::remove(path);
}
BENCHMARK(BM_AppendFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
