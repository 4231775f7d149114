// The movie header reader: ReadHeader on stored, zlib and LZMA movies of growing size. The
// time should not grow with the movie, since at most 512 bytes are read and 32 unpacked.

#include "core/movie/CSwfHeaderReader.h"

#include "SwfWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace kinovex;

// A movie of about `kilobytes` KB: random-looking triangles, which compress poorly.
std::filesystem::path MakeMovie(int kilobytes, swf::Compression compression) {
    swf::SwfWriter movie(550, 400, 24);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525U + 1013904223U;
        return seed >> 8;
    };
    while (movie.finish().size() < static_cast<size_t>(kilobytes) * 1024) {
        for (int i = 0; i < 50; ++i) {
            swf::ShapeBuilder shape;
            shape.fill0(shape.addFill(swf::FillStyle::solid(swf::Rgb(next()))));
            shape.polygon({{next() % 550, next() % 400},
                           {next() % 550, next() % 400},
                           {next() % 550, next() % 400}});
            movie.defineShape(shape);
        }
        movie.showFrame();
    }
    const auto path =
        std::filesystem::temp_directory_path() /
        ("kinovex-header-bench-" + std::to_string(getpid()) + "-" + std::to_string(kilobytes) +
         "-" + std::to_string(static_cast<int>(compression)) + ".swf");
    movie.save(path, compression);
    return path;
}

void ReadHeader(benchmark::State& state, swf::Compression compression) {
    const auto path = MakeMovie(static_cast<int>(state.range(0)), compression);
    for (auto _ : state) {
        CSwfHeaderReader reader;
        SwfHeaderInfo info{};
        benchmark::DoNotOptimize(reader.ReadHeader(path.c_str(), info));
        benchmark::DoNotOptimize(info);
    }
    state.counters["file KB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024;
    std::filesystem::remove(path);
}

void Stored(benchmark::State& state) {
    ReadHeader(state, swf::Compression::None);
}
void Zlib(benchmark::State& state) {
    ReadHeader(state, swf::Compression::Zlib);
}
void Lzma(benchmark::State& state) {
    ReadHeader(state, swf::Compression::Lzma);
}

BENCHMARK(Stored)->Arg(4)->Arg(1024);
BENCHMARK(Zlib)->Arg(4)->Arg(1024);
BENCHMARK(Lzma)->Arg(4)->Arg(1024);

} // namespace

BENCHMARK_MAIN();
