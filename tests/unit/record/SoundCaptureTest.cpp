#include "core/record/SoundCapture.h"

#include "platform/PulseCapture.h"

#include "FakeRecordingServices.h"
#include "RecordTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

namespace kinovex {
namespace {

using test::ReadFile;
using test::TempDir;

// A capture on the fake capture system whose boxes are noted; the fake's signal is the
// pattern unless the options bring one.
class SoundCaptureTest : public ::testing::Test {
protected:
    SoundCapture& Install(FakeCaptureOptions options, CUiEventPump* pump = nullptr) {
        if (!options.signal)
            options.signal = [](std::uint64_t offset, std::uint8_t* out, std::size_t size) {
                for (std::size_t i = 0; i < size; ++i)
                    out[i] = PatternByte(offset + i);
            };
        m_capture.reset();
        m_system = std::make_unique<CFakeCaptureSystem>(std::move(options));
        m_capture = std::make_unique<SoundCapture>(*m_system, m_boxes, pump);
        return *m_capture;
    }

    std::vector<test::NotedMessageBoxes::Box> Boxes() const { return m_boxes.Boxes(); }
    CFakeCaptureSystem& Fake() { return *m_system; }

    TempDir m_dir{"capture"};
    test::NotedMessageBoxes m_boxes;
    std::unique_ptr<CFakeCaptureSystem> m_system;
    std::unique_ptr<SoundCapture> m_capture;
};

// The WAV is complete (sizes fixed on close) and holds exactly `expected` of the signal.
void ExpectWavHolds(const std::filesystem::path& path, std::uint64_t offset, std::size_t expected) {
    const std::string bytes = ReadFile(path);
    ASSERT_GE(bytes.size(), 56u);
    EXPECT_EQ(ReadLE32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(ReadLE32(bytes, 44), 0u) << "closed files have fact 0";
    EXPECT_EQ(ReadLE32(bytes, 52), expected);
    EXPECT_EQ(ReadLE32(bytes, 24), 24000u);
    ASSERT_EQ(bytes.size(), 56u + expected);
    const auto signal = Pattern(offset, expected);
    EXPECT_EQ(bytes.substr(56), std::string(signal.begin(), signal.end()));
}

TEST_F(SoundCaptureTest, TenPointThreeSecondsGiveEightyTwoWholeBlocks) {
    FakeCaptureOptions options;
    options.totalBytes = 988800; // 10.3 s at 96000 bytes per second
    SoundCapture& capture = Install(options);
    auto& fake = Fake();
    const auto path = m_dir / "sound.wav";

    ASSERT_TRUE(capture.Open(path.string()));
    EXPECT_EQ(capture.LastOpenError(), CaptureOpenError::None);
    capture.Start();
    EXPECT_TRUE(capture.IsRunning());
    fake.WaitDelivered();
    capture.Stop();
    EXPECT_FALSE(capture.IsRunning());

    ExpectWavHolds(path, 0, 984000);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(fake.createdDeviceIds(), std::vector<std::string>{"fake-device-1"});
    EXPECT_EQ(fake.sourcesStarted(), 1);
    EXPECT_EQ(fake.sourcesAlive(), 0);
    EXPECT_EQ(capture.DroppedBlocks(), 0u);
}

TEST_F(SoundCaptureTest, NoDeviceFailsQuietly) {
    for (const auto& ids : {std::vector<std::string>{}, std::vector<std::string>{""}}) {
        FakeCaptureOptions options;
        options.deviceIds = ids;
        SoundCapture& capture = Install(options);
        EXPECT_FALSE(capture.Open((m_dir / "none.wav").string()));
        EXPECT_EQ(capture.LastOpenError(), CaptureOpenError::NoDevice);
        EXPECT_TRUE(Fake().createdDeviceIds().empty());
        EXPECT_EQ(capture.Start(), CaptureError::NotOpen);
        EXPECT_FALSE(capture.IsRunning());
    }
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "none.wav"));
}

TEST_F(SoundCaptureTest, WithoutSoundServerThereIsNoDevice) {
    // The real capture system, pointed at a server that is not there.
    test::ScopedEnv server("PULSE_SERVER", "unix:" + (m_dir / "no-server").string());
    CPulseCaptureSystem pulse;
    SoundCapture capture(pulse, m_boxes, nullptr);
    EXPECT_FALSE(capture.Open((m_dir / "none.wav").string()));
    EXPECT_EQ(capture.LastOpenError(), CaptureOpenError::NoDevice);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "none.wav"));
}

TEST_F(SoundCaptureTest, EmptyNameFailsAtOnce) {
    EXPECT_FALSE(Install({}).Open(""));
    EXPECT_EQ(m_capture->LastOpenError(), CaptureOpenError::NoFileName);
    EXPECT_EQ(Fake().entriesOffered(), 0);
}

TEST_F(SoundCaptureTest, OnlyTheFirstTwentyDevicesAreListedAndTheFirstIsUsed) {
    FakeCaptureOptions options;
    options.deviceIds = {""};
    for (int i = 1; i <= 25; ++i)
        options.deviceIds.push_back("card-" + std::to_string(i));
    SoundCapture& capture = Install(options);
    ASSERT_TRUE(capture.Open((m_dir / "a.wav").string()));
    EXPECT_EQ(capture.DeviceCount(), 20);
    EXPECT_EQ(Fake().entriesOffered(), 26) << "the listing always asks for the next device";
    EXPECT_EQ(Fake().createdDeviceIds(), std::vector<std::string>{"card-1"});
}

TEST_F(SoundCaptureTest, DeviceThatCannotBeCreatedIsReportedOnce) {
    FakeCaptureOptions options;
    options.failCreateDevice = true;
    SoundCapture& capture = Install(options);
    EXPECT_FALSE(capture.Open((m_dir / "a.wav").string()));
    EXPECT_EQ(capture.LastOpenError(), CaptureOpenError::DeviceUnavailable);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error initializing DirectSound.  Sample will now exit.");
    EXPECT_EQ(boxes[0].caption, "DirectSound Sample");
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Error);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "a.wav"));
}

TEST_F(SoundCaptureTest, EachStepThatFailsIsNamedAndLeavesNothingOpen) {
    struct Case {
        const char* name;
        FakeCaptureOptions options;
        std::string file; // under the test's folder
        CaptureOpenError error;
    };
    FakeCaptureOptions noFormat;
    noFormat.failOpen = true;
    const Case cases[] = {
        {"format", noFormat, "a.wav", CaptureOpenError::FormatRefused},
        {"file", {}, "missing folder/a.wav", CaptureOpenError::FileUnavailable},
        {"none", {}, "b.wav", CaptureOpenError::None},
    };
    for (const Case& c : cases) {
        SoundCapture& capture = Install(c.options);
        EXPECT_EQ(capture.Open((m_dir / c.file).string()), c.error == CaptureOpenError::None)
            << c.name;
        EXPECT_EQ(capture.LastOpenError(), c.error) << c.name;
        capture.Stop();
        EXPECT_EQ(Fake().sourcesAlive(), 0) << c.name;
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SoundCaptureTest, SecondOpeningEndsTheFirstCaptureAndClosesItsFile) {
    FakeCaptureOptions options;
    options.totalBytes = 5 * 96000 + 500;
    SoundCapture& capture = Install(options);
    auto& fake = Fake();
    ASSERT_TRUE(capture.Open((m_dir / "first.wav").string()));
    capture.Start();
    fake.WaitDelivered(1);
    ASSERT_TRUE(capture.Open((m_dir / "second.wav").string()));
    EXPECT_FALSE(capture.IsRunning());
    ExpectWavHolds(m_dir / "first.wav", 0, 480000);
    EXPECT_EQ(fake.sourcesAlive(), 1) << "only the new capture's source is left";

    capture.Start();
    fake.WaitDelivered(2);
    capture.Stop();
    ExpectWavHolds(m_dir / "second.wav", 0, 480000);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SoundCaptureTest, ASourceThatDoesNotStartLeavesAFinishedEmptyFile) {
    FakeCaptureOptions options;
    options.totalBytes = 96000;
    options.failStart = true;
    SoundCapture& capture = Install(options);
    const auto path = m_dir / "silent.wav";
    ASSERT_TRUE(capture.Open(path.string()));
    EXPECT_EQ(capture.Start(), CaptureError::StreamRefused);
    EXPECT_FALSE(capture.IsRunning());
    ExpectWavHolds(path, 0, 0);
    capture.Stop();
    EXPECT_TRUE(Boxes().empty());
    ExpectWavHolds(path, 0, 0);
}

TEST_F(SoundCaptureTest, StopKeepsTheBlockInFlightAndEverythingBeforeIt) {
    FakeCaptureOptions options;
    options.totalBytes = 100 * std::uint64_t{kCaptureBlockBytes};
    std::promise<void> reached;
    options.beforeBlock = [&](std::uint64_t index) {
        if (index == 5) {
            reached.set_value();
            // Stop is called meanwhile; the block still reaches the capture after it.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    };
    SoundCapture& capture = Install(options);
    const auto path = m_dir / "cut.wav";
    ASSERT_TRUE(capture.Open(path.string()));
    capture.Start();
    reached.get_future().wait();
    capture.Stop();
    ExpectWavHolds(path, 0, 6 * kCaptureBlockBytes);
    EXPECT_EQ(Fake().sourcesAlive(), 0);
}

TEST_F(SoundCaptureTest, AnOverrunLosesWholeBlocksAndCountsThem) {
    FakeCaptureOptions options;
    constexpr std::uint64_t kBlocks = 200;
    options.totalBytes = kBlocks * kCaptureBlockBytes;
    options.dropWhenFull = true; // as the sound server: never waits for the capture
    options.pieceBytes = 7000;
    SoundCapture& capture = Install(options);
    const auto path = m_dir / "overrun.wav";
    ASSERT_TRUE(capture.Open(path.string()));
    capture.Start();
    Fake().WaitDelivered();
    capture.Stop();
    EXPECT_EQ(Fake().offeredBlocks(), kBlocks);

    // What reached the file is whole blocks of the signal, in the signal's order.
    const std::string bytes = ReadFile(path);
    ASSERT_EQ((bytes.size() - 56) % kCaptureBlockBytes, 0u);
    const std::uint64_t kept = (bytes.size() - 56) / kCaptureBlockBytes;
    EXPECT_EQ(kept + capture.DroppedBlocks(), kBlocks);
    std::uint64_t next = 0;
    for (std::uint64_t i = 0; i < kept; ++i) {
        const std::string block = bytes.substr(56 + i * kCaptureBlockBytes, kCaptureBlockBytes);
        bool found = false;
        while (!found && next < kBlocks) {
            const auto signal = Pattern(next++ * kCaptureBlockBytes, kCaptureBlockBytes);
            found = block == std::string(signal.begin(), signal.end());
        }
        ASSERT_TRUE(found) << "block " << i << " is no later block of the signal";
    }
}

TEST_F(SoundCaptureTest, FullDiskEndsTheCaptureWithAReadableFile) {
    FakeCaptureOptions options;
    options.totalBytes = 3 * 96000;
    SoundCapture& capture = Install(options);
    const auto path = m_dir / "full.wav";
    ASSERT_TRUE(capture.Open(path.string()));
    {
        FileSizeLimit limit(56 + 50002);
        capture.Start();
        m_boxes.WaitForBox();
        capture.Stop();
    }
    EXPECT_EQ(Boxes().at(0).text,
              "Error handling DirectSound notifications. Sample will now exit.");
    ExpectWavHolds(path, 0, 50000);
}

TEST(BlockQueue, TakesOneBlockPerSlotAndHandsThemOutInOrder) {
    BlockQueue queue(2, 3);
    const std::vector<std::uint8_t> blocks[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
    EXPECT_FALSE(queue.Push(blocks[0])) << "closed until opened";
    queue.Reopen();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(queue.Push(blocks[i]));
    EXPECT_FALSE(queue.Push(blocks[3])) << "every slot taken";
    EXPECT_FALSE(queue.Push(std::vector<std::uint8_t>{5, 5, 5})) << "not a whole block";
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, blocks[0]);
    EXPECT_TRUE(queue.Push(blocks[3]));
    queue.Close();
    EXPECT_FALSE(queue.Push(blocks[0])) << "closed";
    for (int i = 1; i < 4; ++i) {
        ASSERT_TRUE(queue.Pop(out)) << "a closed queue still hands out what it holds";
        EXPECT_EQ(out, blocks[i]);
    }
    EXPECT_FALSE(queue.Pop(out));
    queue.Reopen();
    EXPECT_TRUE(queue.Push(blocks[0]));
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, blocks[0]) << "reopened empty";
}

// A user-interface pump that records its use; Wake ends its sleep.
class CRecordingPump : public CUiEventPump {
public:
    void ProcessEventsUntil(const std::function<bool()>& done) override {
        std::unique_lock lock(m_mutex);
        ++m_nCalls;
        while (!done()) {
            m_woken.wait(lock, [this] { return m_bWake; });
            m_bWake = false;
        }
    }
    void Wake() override {
        std::lock_guard lock(m_mutex);
        m_bWake = true;
        m_woken.notify_all();
    }
    int calls() {
        std::lock_guard lock(m_mutex);
        return m_nCalls;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_bWake = false;
    int m_nCalls = 0;
};

TEST_F(SoundCaptureTest, StoppingKeepsTheUserInterfaceRunningUntilTheThreadEnds) {
    FakeCaptureOptions options;
    options.totalBytes = 96000;
    CRecordingPump pump;
    SoundCapture& capture = Install(options, &pump);
    ASSERT_TRUE(capture.Open((m_dir / "ui.wav").string()));
    capture.Start();
    Fake().WaitDelivered();
    capture.Stop();
    EXPECT_EQ(pump.calls(), 1);
    EXPECT_FALSE(capture.IsRunning());
    ExpectWavHolds(m_dir / "ui.wav", 0, 96000);
}

} // namespace
} // namespace kinovex
