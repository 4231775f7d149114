// The movie engine drawing a typical 550 x 400 frame: a few hundred shapes with gradients,
// strokes and a bitmap, nested in sprites. Goal: 5 ms or less per frame on one core.
// drawFrame draws the same frame again (shapes come from the bitmap cache); drawMovingFrame
// draws frames in which everything, the bitmap too, has moved by a fraction of a pixel (a
// shape comes from the cache once it has been drawn at that quarter-pixel offset before);
// drawTurningFrame draws frames in which everything also turns and grows, so no shape can
// come from the cache and every one is rasterised anew; drawTypicalFrame draws a cartoon's
// frames: half the groups stand still, half slide, and each frame one group in five turns
// and changes size (each group every fifth frame), the rest keep their last look.

#include "CartoonScene.h"
#include "engine/Player.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace kinovex;

using bench::Motion;

std::vector<std::uint8_t> typicalMovie(int shapes, int frames = 1, Motion motion = Motion::Slide) {
    swf::SwfWriter movie(550, 400, 24);
    bench::CartoonScene scene(movie, shapes, motion);
    for (int f = 0; f < frames; ++f) {
        scene.placeFrame(f);
        movie.showFrame();
    }
    return movie.finish(swf::Compression::Zlib);
}

void drawFrame(benchmark::State& state) {
    const auto bytes = typicalMovie(static_cast<int>(state.range(0)));
    flash::Player player;
    if (!player.loadFromMemory(bytes).ok) {
        state.SkipWithError("movie did not load");
        return;
    }
    std::vector<std::uint32_t> pixels(550 * 400);
    player.draw(pixels.data(), 550, 400, 550 * 4); // shapes converted and bitmap decoded once
    for (auto _ : state) {
        player.draw(pixels.data(), 550, 400, 550 * 4);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetLabel(std::to_string(state.range(0)) + " shapes + bitmap");
}
BENCHMARK(drawFrame)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

// Draws the frames of a 500-frame movie one after another, each once, as playback does.
void drawChangingFrames(benchmark::State& state, Motion motion, const std::string& what) {
    const auto bytes = typicalMovie(static_cast<int>(state.range(0)), 500, motion);
    flash::Player player;
    if (!player.loadFromMemory(bytes).ok) {
        state.SkipWithError("movie did not load");
        return;
    }
    std::vector<std::uint32_t> pixels(550 * 400);
    player.draw(pixels.data(), 550, 400, 550 * 4);
    for (auto _ : state) {
        player.nextFrame();
        player.draw(pixels.data(), 550, 400, 550 * 4);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetLabel(std::to_string(state.range(0)) + " " + what);
}

// Every frame new: what an animation where everything moves costs.
void drawMovingFrame(benchmark::State& state) {
    drawChangingFrames(state, Motion::Slide, "moving shapes + bitmap");
}
BENCHMARK(drawMovingFrame)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

// Every frame new and nothing the same shape as before: what no cache can help with.
void drawTurningFrame(benchmark::State& state) {
    drawChangingFrames(state, Motion::Turn, "turning shapes + bitmap");
}
BENCHMARK(drawTurningFrame)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

// A cartoon: most shapes still or sliding, one group in five turning and growing per frame.
void drawTypicalFrame(benchmark::State& state) {
    drawChangingFrames(state, Motion::Typical, "shapes, 1 group in 5 turning + bitmap");
}
BENCHMARK(drawTypicalFrame)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

void drawRgb555(benchmark::State& state) {
    const auto bytes = typicalMovie(300);
    flash::Player player;
    player.loadFromMemory(bytes);
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(flash::Player::rgb555Stride(552)) *
                                   400);
    for (auto _ : state) {
        player.drawRgb555(bits.data(), 552, 400);
        benchmark::DoNotOptimize(bits.data());
    }
}
BENCHMARK(drawRgb555)->Unit(benchmark::kMillisecond);

void loadMovie(benchmark::State& state) {
    const auto bytes = typicalMovie(300);
    for (auto _ : state) {
        flash::Player player;
        benchmark::DoNotOptimize(player.loadFromMemory(bytes).ok);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(loadMovie)->Unit(benchmark::kMicrosecond);

// A movie of about `megabytes` MB (stored, not compressed): half shapes with many curved edges
// (some of them on show throughout), half JPEG pictures shown one per frame, like a slide show.
std::vector<std::uint8_t> largeMovie(int megabytes) {
    swf::SwfWriter movie(550, 400, 24);
    const std::size_t target = static_cast<std::size_t>(megabytes) * 1024 * 1024;
    std::size_t shapeBytes = 0;
    std::uint16_t depth = 1;
    int n = 0;
    while (shapeBytes < target / 2) {
        swf::ShapeBuilder s;
        s.fill0(s.addFill(swf::FillStyle::solid(swf::Rgb(0x102030 * (n % 7)))));
        s.moveTo(0, 0);
        for (int i = 0; i < 400; ++i) {
            s.curveTo(i % 50 + 3.3, i % 30 + 1.7, (i * 7) % 90 + 0.35, (i * 13) % 70 + 0.6);
        }
        s.lineTo(0, 0);
        const auto before = movie.tags().size();
        const auto id = movie.defineShape(s);
        shapeBytes += movie.tags().size() - before;
        if (n++ % 20 == 0) {
            movie.place(depth++, id);
        }
    }
    std::size_t imageBytes = 0;
    for (int i = 0; imageBytes < target / 2; ++i) {
        const auto before = movie.tags().size();
        const auto id = movie.defineBitsJpeg2(swf::Image::rainbow(640, 480, false), 95);
        imageBytes += movie.tags().size() - before;
        swf::ShapeBuilder s;
        s.fill0(s.addFill(swf::FillStyle::bitmap(id, swf::Matrix::bitmap(0.5, 100, 100))))
            .rectangle(100, 100, 320, 240);
        movie.place(depth, movie.defineShape(s)); // replaces the picture before
        movie.showFrame();
    }
    return movie.finish();
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Loading time against file size, and what a 10 MB movie played through to its end holds in
// memory at most (the peak of the whole process, the movie's own bytes included).
void loadLargeMovie(benchmark::State& state) {
    const auto bytes = largeMovie(static_cast<int>(state.range(0)));
    const long before = peakRssKb();
    long grown = 0;
    for (auto _ : state) {
        flash::Player player;
        benchmark::DoNotOptimize(player.loadFromMemory(bytes).ok);
        state.PauseTiming();
        std::vector<std::uint32_t> pixels(550 * 400);
        for (std::uint32_t f = 0; f < player.frameCount(); ++f) {
            player.draw(pixels.data(), 550, 400, 550 * 4);
            player.nextFrame();
        }
        grown = std::max(grown, peakRssKb() - before);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
    state.counters["peak_growth_MB"] = static_cast<double>(grown) / 1024.0;
}
BENCHMARK(loadLargeMovie)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
