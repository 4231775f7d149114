// Playing and recording a movie for real: the player thread plays a 1 kHz tone into a sink of
// the test's own on the private sound server (scripts/with-test-services.sh), the capture
// records that sink's monitor, and the AVI gets the movie's frames on the 83 ms period.

#include "core/record/CWavWriter.h"
#include "core/record/PlayerThread.h"
#include "core/record/SoundCapture.h"
#include "platform/PulseCapture.h"

#include "AviFrames.h"
#include "FakeRecordingServices.h"
#include "PulseTestSupport.h"
#include "Sound.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <unistd.h>

namespace kinovex {
namespace {

using test::TempDir;

constexpr std::uint32_t kBackground = 0x3366CC;

// 160 x 120 at 24 frames a second for ten seconds: a box moving across, and a looping tone.
std::string SaveToneMovie(const TempDir& dir) {
    swf::SwfWriter movie(160, 120, 24);
    movie.setBackground(swf::Rgb(kBackground));
    std::vector<std::int16_t> tone(44100);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(
            12000 * std::sin(2 * std::numbers::pi * kToneHz * static_cast<double>(i) / 44100.0));
    const std::uint16_t sound =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false},
                         static_cast<std::uint32_t>(tone.size()), swf::Pcm16Bytes(tone));
    swf::SoundInfoSpec info;
    info.noMultiple = true;
    info.loops = 30;
    swf::StartSound(movie, sound, info);
    swf::ShapeBuilder box;
    box.fill0(box.addFill(swf::FillStyle::solid(swf::Rgb(0xFFCC00)))).rectangle(0, 0, 20, 20);
    const std::uint16_t boxId = movie.defineShape(box);
    movie.place(1, boxId);
    for (int frame = 0; frame < 240; ++frame) {
        movie.move(1, swf::Matrix::translate(frame % 140, 50));
        movie.showFrame();
    }
    const std::string path = (dir / "tone.swf").string();
    movie.save(path);
    return path;
}

TEST(PlayAndRecord, ThreeSecondsHoldTheToneAndAFrameEvery83Ms) {
    if (!QueryPulseSources(nullptr, nullptr)) {
        if (std::getenv("CI") != nullptr)
            FAIL() << "no PulseAudio server (run under scripts/with-test-services.sh)";
        GTEST_SKIP() << "no PulseAudio server";
    }
    TempDir dir("play and record");
    const std::string sinkName = "kinovex_play_" + std::to_string(getpid());
    CPrivateSink sink(sinkName);
    ASSERT_TRUE(sink.loaded());
    // The player's sound goes to the server's default sink; for this process, ours.
    test::ScopedEnv defaultSink("PULSE_SINK", sinkName);
    CSingleSourceSystem system(sink.monitor());
    test::NotedMessageBoxes boxes;
    SoundCapture capture(system, boxes, nullptr);

    std::mutex mutex;
    std::condition_variable framesCame;
    PlayerThreadOptions options;
    options.moviePath = SaveToneMovie(dir);
    options.recordWidth = options.viewWidth = 160;
    options.recordHeight = options.viewHeight = 120;
    options.onFrame = [&] {
        std::lock_guard lock(mutex);
        framesCame.notify_all();
    };
    FrameRecorder recorder;
    PlayerThread thread(options, recorder);
    thread.Start();

    const std::string avi = (dir / "tone.avi").string();
    const std::string wav = (dir / "tone.wav").string();
    recorder.Begin(MakeAviFrameSink(avi));
    ASSERT_TRUE(capture.Open(wav));
    capture.Start();
    thread.Wake();
    // The box moves every frame, so frames keep coming: each one is a moment to look at how
    // far the recording has got.
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    const auto waitForFramesUntil = [&](const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        for (int frame = 0; frame < 24 * 30 && !done(); ++frame) {
            framesCame.wait_for(lock, std::chrono::seconds(1));
            thread.Frames().Take(pixels, width, height);
        }
        return done();
    };
    ASSERT_TRUE(waitForFramesUntil([&] { return recorder.Elapsed() >= 3000; }));
    recorder.End();
    const std::uint32_t elapsed = recorder.Elapsed();
    // The sound arrives later than the picture: the server hands a sink's sound to its
    // monitor in pieces as large as the sink's latency (2 s for a null sink).
    const std::uint64_t threeSeconds = 56 + 3 * std::uint64_t{kCaptureFormat.bytesPerSecond()};
    EXPECT_TRUE(waitForFramesUntil([&] {
        std::error_code error;
        const auto size = std::filesystem::file_size(wav, error);
        return !error && size >= threeSeconds;
    }));
    capture.Stop();
    thread.RequestStop();
    thread.Join();
    EXPECT_TRUE(boxes.Boxes().empty());

    // ceil(t / 83) frames: 37 for three seconds. Frames and elapsed time come from the same
    // reading of the clock, so they agree exactly whatever the load.
    const int frames = test::CountAviFrames(test::ReadFile(avi));
    EXPECT_EQ(frames, static_cast<int>((elapsed + 82) / 83));
    EXPECT_GE(frames, 37);
    EXPECT_LE(frames, 45);

    const std::string bytes = test::ReadFile(wav);
    ASSERT_GT(bytes.size(), 56u);
    std::vector<double> left;
    for (std::size_t at = 56; at + 4 <= bytes.size(); at += 4) {
        std::int16_t sample = 0;
        std::memcpy(&sample, bytes.data() + at, 2);
        left.push_back(sample);
    }
    // The part where the tone is loud; the sound reaches the sink a little after the start.
    std::size_t first = 0;
    while (first < left.size() && std::abs(left[first]) < 2000)
        ++first;
    std::size_t last = left.size();
    while (last > first && std::abs(left[last - 1]) < 2000)
        --last;
    const double rate = kCaptureFormat.rate;
    ASSERT_GT(static_cast<double>(last - first), 1.5 * rate) << "at least 1.5 s of tone";
    const std::vector<double> tone(left.begin() + static_cast<std::ptrdiff_t>(first),
                                   left.begin() + static_cast<std::ptrdiff_t>(last));
    const double atTone = Power(tone, kToneHz, rate);
    for (double other : {500.0, 1500.0, 2000.0, 3000.0})
        EXPECT_GT(atTone, 100 * Power(tone, other, rate)) << other << " Hz";
}

} // namespace
} // namespace kinovex
