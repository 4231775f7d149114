// The player thread's costs at the default movie size, 550 x 400.
//
// BM_CapturePass: one capture pass as the thread makes it while recording: the movie moves on
// a frame, is drawn into the 16-bit bitmap and appended to the AVI. Goal: median <= 25 ms
// (run with --benchmark_repetitions=N for the median).
//
// BM_ThreadCpu/stopped and /still: the player thread's processor time over 3 s of real time
// (getrusage), in percent of one core. "stopped": a movie whose engine is stopped, the thread
// sleeps. "still": a one-frame movie at 24 frames a second, which the thread advances and
// draws on every frame, though the picture never changes. Goal: <= 2 %.

#include "SwfWriter.h"
#include "core/record/CAviWriter.h"
#include "core/record/PlayerThread.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace kinovex;

// Backdrop, a few dozen shapes with gradients and lines; with `frames` > 1 they all move.
std::string SaveMovie(const std::string& path, int frames) {
    swf::SwfWriter movie(550, 400, 24);
    movie.setBackground(swf::Rgb(0x203040));
    swf::ShapeBuilder back;
    swf::Gradient sky;
    sky.stops = {{0, swf::Rgb(0x3060c0)}, {255, swf::Rgb(0xa0d0ff)}};
    back.fill0(back.addFill(
                   swf::FillStyle::linear(swf::Matrix::gradientBox(550, 400, 1.57, 275, 200), sky)))
        .rectangle(0, 0, 550, 400);
    movie.place(1, movie.defineShape(back));
    std::vector<std::uint16_t> kinds;
    for (int k = 0; k < 6; ++k) {
        swf::ShapeBuilder s;
        swf::Gradient g;
        g.stops = {{0, swf::Rgb(0xffffff, 230)}, {255, swf::Rgb(0x102040 + k * 0x200000, 200)}};
        s.fill0(s.addFill(swf::FillStyle::radial(swf::Matrix::gradientBox(60, 60, 0, 0, 0), g)))
            .line(s.addLine(swf::LineStyle::solid(1, swf::Rgb(0x000000, 128))));
        s.ellipse(0, 0, 30, 20 + k * 2);
        kinds.push_back(movie.defineShape(s));
    }
    for (int frame = 0; frame < frames; ++frame) {
        for (int i = 0; i < 40; ++i) {
            const double x = std::fmod(i * 53.0 + frame * 3.1, 550.0);
            const double y = std::fmod(i * 31.0 + frame * 1.7, 400.0);
            const auto depth = static_cast<std::uint16_t>(i + 2);
            if (frame == 0)
                movie.place(depth, kinds[static_cast<std::size_t>(i) % kinds.size()],
                            swf::Matrix::translate(x, y));
            else
                movie.move(depth, swf::Matrix::translate(x, y));
        }
        movie.showFrame();
    }
    movie.save(path);
    return path;
}

std::string BenchFolder() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("kinovex-player-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return folder.string();
}

void BM_CapturePass(benchmark::State& state) {
    const std::string folder = BenchFolder();
    flash::Player player;
    player.load(SaveMovie(folder + "/moving.swf", 48));
    std::vector<std::uint8_t> dib(static_cast<std::size_t>(flash::Player::rgb555Stride(550)) * 400);
    CAviWriter writer(folder + "/capture.avi", kCodecMSVC, kRecordFrameRate);
    for (auto _ : state) {
        player.nextFrame();
        player.drawRgb555(dib.data(), 550, 400);
        writer.AppendFrame(550, 400, dib.data(), 16);
    }
    writer.Close();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CapturePass)->Unit(benchmark::kMillisecond);

double ThreadSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_ThreadCpu(benchmark::State& state, bool stopped) {
    const std::string folder = BenchFolder();
    PlayerThreadOptions options;
    options.moviePath = SaveMovie(folder + "/still.swf", 1);
    options.recordWidth = options.viewWidth = 550;
    options.recordHeight = options.viewHeight = 400;
    options.playSound = false;
    if (stopped)
        options.onLoaded = [](flash::Player& player) { player.stop(); };
    for (auto _ : state) {
        FrameRecorder recorder;
        PlayerThread thread(options, recorder);
        thread.Start();
        // Drawing caches settle in the first frames; then the process is all but idle: this
        // thread sleeps and only the player thread works.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const double before = ThreadSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double cpu = ThreadSeconds() - before;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_percent"] = 100 * cpu / wall;
        state.counters["wake_ups_per_s"] = static_cast<double>(thread.WakeUps()) / (wall + 0.3);
        thread.RequestStop();
        thread.Join();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK_CAPTURE(BM_ThreadCpu, stopped, true)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreadCpu, still, false)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
