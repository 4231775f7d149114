// The player thread against a clock that only moves when the test says so: what it records,
// which events reach the movie, and that it sleeps instead of spinning.

#include "core/record/PlayerThread.h"

#include "AviFrames.h"
#include "SwfWriter.h"
#include "TempDir.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <future>

namespace kinovex {
namespace {

using test::TempDir;

constexpr std::uint32_t kBackground = 0x3366CC;
constexpr std::uint32_t kBox = 0xFF0000;

// 80 x 60 pixels: the left half a red box on a blue stage.
std::string SaveMovie(const TempDir& dir, double fps = 12, int frames = 4) {
    swf::SwfWriter movie(80, 60, fps);
    movie.setBackground(swf::Rgb(kBackground));
    swf::ShapeBuilder box;
    box.fill0(box.addFill(swf::FillStyle::solid(swf::Rgb(kBox)))).rectangle(0, 0, 40, 60);
    movie.place(1, movie.defineShape(box));
    for (int i = 0; i < frames; ++i)
        movie.showFrame();
    const std::string path = (dir / "movie.swf").string();
    movie.save(path);
    return path;
}

// The first decoded frame of the AVI as 0xRRGGBB (from RGB555), top row first.
std::vector<std::uint32_t> FirstAviFrame(const std::string& path, int& width, int& height) {
    std::vector<std::uint32_t> picture;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return picture;
    avformat_find_stream_info(format, nullptr);
    const AVCodecParameters* parameters = format->streams[0]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, parameters);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (avcodec_open2(decoder, codec, nullptr) == 0) {
        while (picture.empty() && av_read_frame(format, packet) >= 0) {
            if (avcodec_send_packet(decoder, packet) >= 0 &&
                avcodec_receive_frame(decoder, frame) >= 0) {
                width = frame->width;
                height = frame->height;
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        std::uint16_t v = 0;
                        std::memcpy(&v, frame->data[0] + y * frame->linesize[0] + 2 * x, 2);
                        const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                        picture.push_back((r << 3) << 16 | (g << 3) << 8 | b << 3);
                    }
                }
            }
            av_packet_unref(packet);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return picture;
}

// The colour as RGB555 keeps it.
std::uint32_t To555(std::uint32_t rgb) {
    return rgb & 0xF8F8F8;
}

class PlayerThreadTest : public ::testing::Test {
protected:
    void TearDown() override { m_recorder.End(); }

    // A thread recording through the fixture's recorder on the manual clock, started and
    // settled.
    std::unique_ptr<PlayerThread> Start(PlayerThreadOptions options) {
        auto thread = std::make_unique<PlayerThread>(std::move(options), m_recorder, m_clock);
        thread->Start();
        thread->WaitUntilIdle();
        return thread;
    }

    // Moves the clock on in steps of `step` ms, letting the thread catch up after each.
    void Pass(PlayerThread& thread, std::uint32_t total, std::uint32_t step) {
        for (std::uint32_t done = 0; done < total; done += step) {
            m_clock->Advance(std::min(step, total - done));
            thread.WaitUntilIdle();
        }
    }

    TempDir m_dir{"player thread"};
    FrameRecorder m_recorder;
    std::shared_ptr<ManualPlayerClock> m_clock = std::make_shared<ManualPlayerClock>(5000);
};

PlayerThreadOptions MovieOptions(const std::string& path) {
    PlayerThreadOptions options;
    options.moviePath = path;
    options.recordWidth = 80;
    options.recordHeight = 60;
    options.viewWidth = 80;
    options.viewHeight = 60;
    options.playSound = false;
    return options;
}

TEST_F(PlayerThreadTest, StreamHoldsCeilOfElapsedOver83FramesAndShowsTheMovie) {
    auto thread = Start(MovieOptions(SaveMovie(m_dir)));
    const std::string first = (m_dir / "first.avi").string();

    // The capture timer has been due since the start: the first frame comes at once.
    m_recorder.Begin(MakeAviFrameSink(first));
    thread->Wake();
    thread->WaitUntilIdle();
    EXPECT_EQ(test::CountAviFrames(test::ReadFile(first)), 1);
    EXPECT_EQ(m_recorder.Elapsed(), 0u);

    // 12 x 83 = 996 < 1000: a pass at 1000 ms makes it 13.
    m_clock->Advance(1000);
    thread->WaitUntilIdle();
    EXPECT_EQ(m_recorder.Elapsed(), 1000u);
    m_recorder.End();
    EXPECT_EQ(test::CountAviFrames(test::ReadFile(first)), 13);

    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> picture = FirstAviFrame(first, width, height);
    ASSERT_EQ(width, 80);
    ASSERT_EQ(height, 60);
    EXPECT_EQ(picture[30 * 80 + 10], To555(kBox));
    EXPECT_EQ(picture[30 * 80 + 70], To555(kBackground));
    EXPECT_EQ(picture[2 * 80 + 10], To555(kBox)) << "rows upside down";

    // A second recording in the same playback counts from its own first frame: 996 ms later
    // it holds 12, not the first one's backlog.
    const std::string second = (m_dir / "second.avi").string();
    m_recorder.Begin(MakeAviFrameSink(second));
    thread->Wake();
    thread->WaitUntilIdle();
    EXPECT_EQ(test::CountAviFrames(test::ReadFile(second)), 0)
        << "the timer's period was taken at 1000 ms";
    m_clock->Advance(79); // its next period, 13 x 83 after the start
    thread->WaitUntilIdle();
    EXPECT_EQ(test::CountAviFrames(test::ReadFile(second)), 1);
    m_clock->Advance(996);
    thread->WaitUntilIdle();
    EXPECT_EQ(m_recorder.Elapsed(), 996u);
    m_recorder.End();
    EXPECT_EQ(test::CountAviFrames(test::ReadFile(second)), 12);
}

TEST_F(PlayerThreadTest, LatePassAppendsCopiesUpToTheClock) {
    // A stopped movie wakes only for the capture timer, so every pass below is one period.
    auto options = MovieOptions(SaveMovie(m_dir));
    options.onLoaded = [](flash::Player& player) { player.stop(); };
    auto thread = Start(options);
    const std::string avi = (m_dir / "late.avi").string();
    m_recorder.Begin(MakeAviFrameSink(avi));
    thread->Wake();
    thread->WaitUntilIdle();

    std::vector<int> counts;
    for (int i = 0; i < 3; ++i) {
        Pass(*thread, 83, 1);
        counts.push_back(test::CountAviFrames(test::ReadFile(avi)));
    }
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 3})); // at 83 ms ceil(83 / 83) is still 1

    // A pass 500 ms late (at 749 ms) brings the stream to ceil(749 / 83) = 10 at once.
    m_clock->Advance(500);
    thread->WaitUntilIdle();
    EXPECT_EQ(m_recorder.Elapsed(), 749u);
    EXPECT_EQ(test::CountAviFrames(test::ReadFile(avi)), 10);
}

// A clock that moves on at every reading, as the real one may between two readings of a
// busy pass.
class TickingClock final : public PlayerClock {
public:
    std::uint32_t Now() override { return m_now += 29; }
    void Sleep(std::unique_lock<std::mutex>&, std::condition_variable&,
               std::optional<std::uint32_t>, const std::function<bool()>&) override {}

private:
    std::uint32_t m_now = 1000;
};

class CountingSink final : public FrameSink {
public:
    explicit CountingSink(int& frames) : m_frames(frames) {}
    void AppendFrame(int, int, const std::uint8_t*) override { ++m_frames; }
    void Close() override {}

private:
    int& m_frames;
};

TEST(FrameRecorderTest, FramesWrittenAlwaysMatchTheElapsedTimeTold) {
    TickingClock clock;
    FrameRecorder recorder;
    int frames = 0;
    recorder.Begin(std::make_unique<CountingSink>(frames));
    const std::uint8_t picture[2] = {};
    for (int pass = 0; pass < 200; ++pass) {
        recorder.Capture(clock, 1, 1, [&] { return picture; });
        const std::uint32_t elapsed = recorder.Elapsed();
        ASSERT_EQ(frames, std::max<int>(1, static_cast<int>((elapsed + 82) / 83)))
            << "after " << elapsed << " ms";
    }
}

TEST_F(PlayerThreadTest, SleepsUntilSomethingIsDue) {
    // Stopped and not recording: nothing is due, so ten seconds pass without a wake-up.
    auto options = MovieOptions(SaveMovie(m_dir));
    std::atomic<int> frames{0};
    options.onLoaded = [](flash::Player& player) { player.stop(); };
    options.onFrame = [&] { ++frames; };
    auto stopped = Start(options);
    const std::uint64_t settled = stopped->WakeUps();
    Pass(*stopped, 10000, 100);
    EXPECT_EQ(stopped->WakeUps(), settled);
    EXPECT_EQ(frames.load(), 1);

    // Recording it, the thread wakes once per capture period.
    m_recorder.Begin(MakeAviFrameSink((m_dir / "stopped.avi").string()));
    stopped->Wake();
    stopped->WaitUntilIdle();
    const std::uint64_t recording = stopped->WakeUps();
    Pass(*stopped, 10 * 83, 1);
    EXPECT_EQ(stopped->WakeUps() - recording, 10u);
    m_recorder.End();
    stopped.reset();

    // Playing at 12 frames a second: one wake-up per frame, however finely time moves.
    auto playing = Start(MovieOptions(SaveMovie(m_dir, 12)));
    const std::uint64_t before = playing->WakeUps();
    Pass(*playing, 2000, 1);
    EXPECT_EQ(playing->WakeUps() - before, 24u);
}

TEST_F(PlayerThreadTest, MovieThatCannotBeLoadedIsReportedAndShowsNothing) {
    test::WriteFile(m_dir / "broken.swf", "not a movie at all");
    auto options = MovieOptions((m_dir / "broken.swf").string());
    std::promise<std::string> failure;
    std::atomic<int> frames{0};
    options.onLoadFailed = [&](const std::string& error) { failure.set_value(error); };
    options.onFrame = [&] { ++frames; };
    auto thread = Start(options);
    EXPECT_FALSE(failure.get_future().get().empty());
    const std::uint64_t settled = thread->WakeUps();
    Pass(*thread, 5000, 50);
    thread->Post({PlayerEvent::Type::MouseMove});
    thread->WaitUntilIdle();
    EXPECT_EQ(thread->WakeUps(), settled + 1) << "only the event woke it";
    EXPECT_EQ(frames.load(), 0);
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    EXPECT_FALSE(thread->Frames().Take(pixels, width, height));
}

TEST_F(PlayerThreadTest, WindowGetsTheNewestFrameAtItsSize) {
    auto options = MovieOptions(SaveMovie(m_dir));
    std::atomic<int> told{0};
    options.onFrame = [&] { ++told; };
    auto thread = Start(options);
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(thread->Frames().Take(pixels, width, height));
    EXPECT_EQ(told.load(), 1);
    ASSERT_EQ(width, 80);
    ASSERT_EQ(height, 60);
    EXPECT_EQ(pixels[30 * 80 + 10] & 0xFFFFFF, kBox);
    EXPECT_EQ(pixels[30 * 80 + 70] & 0xFFFFFF, kBackground);

    // Resized: the next frame is drawn at the window's new size, the stage centred in it.
    thread->Post({PlayerEvent::Type::ViewSize, PlayerEvent::Button::None, 0, 0, 0, 0, 160, 60});
    thread->WaitUntilIdle();
    ASSERT_TRUE(thread->Frames().Take(pixels, width, height));
    EXPECT_EQ(told.load(), 2);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(pixels[30 * 160 + 60] & 0xFFFFFF, kBox);
    EXPECT_EQ(pixels[30 * 160 + 110] & 0xFFFFFF, kBackground);

    // The same picture again is not handed over; nothing waits.
    Pass(*thread, 1000, 10);
    EXPECT_FALSE(thread->Frames().Take(pixels, width, height));
}

PlayerEvent Mouse(PlayerEvent::Type type, PlayerEvent::Button button) {
    PlayerEvent event;
    event.type = type;
    event.button = button;
    return event;
}

PlayerEvent Key(PlayerEvent::Type type, int code) {
    PlayerEvent event;
    event.type = type;
    event.keyCode = code;
    return event;
}

TEST_F(PlayerThreadTest, RightButtonNeverReachesTheMovie) {
    using T = PlayerEvent::Type;
    using B = PlayerEvent::Button;
    auto options = MovieOptions(SaveMovie(m_dir));
    std::vector<std::pair<T, B>> delivered;
    options.onEvent = [&](const PlayerEvent& e) { delivered.emplace_back(e.type, e.button); };
    auto thread = Start(options);
    for (const PlayerEvent& event :
         {Mouse(T::MouseDown, B::Right), Mouse(T::MouseDown, B::Left), Mouse(T::MouseMove, B::None),
          Mouse(T::MouseUp, B::Right), Mouse(T::MouseUp, B::Left), Key(T::KeyDown, 65),
          Key(T::KeyUp, 65)})
        thread->Post(event);
    thread->WaitUntilIdle();
    EXPECT_EQ(delivered, (std::vector<std::pair<T, B>>{{T::MouseDown, B::Left},
                                                       {T::MouseMove, B::None},
                                                       {T::MouseUp, B::Left},
                                                       {T::KeyDown, B::None},
                                                       {T::KeyUp, B::None}}));
}

TEST_F(PlayerThreadTest, StoppingDropsWhatIsStillQueued) {
    auto options = MovieOptions(SaveMovie(m_dir));
    std::atomic<PlayerThread*> self{nullptr};
    std::promise<void> restQueued;
    std::shared_future<void> queued = restQueued.get_future().share();
    std::vector<int> delivered;
    options.onEvent = [&](const PlayerEvent& event) {
        delivered.push_back(event.keyCode);
        if (event.keyCode == 1) {
            queued.wait(); // the others are in the queue now
            self.load()->RequestStop();
        }
    };
    std::atomic<bool> ended{false};
    options.onEnded = [&] { ended = true; };
    auto thread = Start(options);
    self = thread.get();
    thread->Post(Key(PlayerEvent::Type::KeyDown, 1));
    for (int code = 2; code <= 5; ++code)
        thread->Post(Key(PlayerEvent::Type::KeyDown, code));
    restQueued.set_value();
    thread->Join();
    EXPECT_TRUE(ended.load());
    EXPECT_EQ(delivered, std::vector<int>{1});
}

TEST(RecordingNames, TimeStampAndBaseNames) {
    EXPECT_EQ(RecordTimeStamp(14, 5, 9, 42), "(140509042)");
    EXPECT_EQ(RecordTimeStamp(0, 0, 0, 0), "(000000000)");
    EXPECT_EQ(RecordTimeStamp(23, 59, 59, 999).size(), 11u);
    EXPECT_EQ(OutputBaseName("/home/ann/Videos", "my intro", RecordTimeStamp(14, 5, 9, 42)),
              "/home/ann/Videos/my intro(140509042)");
}

} // namespace
} // namespace kinovex
