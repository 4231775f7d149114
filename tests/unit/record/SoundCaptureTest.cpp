#include "core/record/SoundCapture.h"

#include "platform/PulseCapture.h"

#include "FakeRecordingServices.h"
#include "RecordTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

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
    // One buffer at opening, a fresh one in the thread; all gone, as is the device.
    EXPECT_EQ(fake.buffersCreated(), 2);
    EXPECT_EQ(fake.buffersStarted(), 1);
    EXPECT_EQ(fake.buffersAlive(), 0);
    EXPECT_EQ(fake.devicesAlive(), 0);
    // The thread sleeps between notifications: 82 notifications, one final look.
    EXPECT_LE(fake.positionQueries(), 84u);
}

TEST_F(SoundCaptureTest, NoDeviceFailsQuietly) {
    for (const auto& ids : {std::vector<std::string>{}, std::vector<std::string>{""}}) {
        FakeCaptureOptions options;
        options.deviceIds = ids;
        SoundCapture& capture = Install(options);
        EXPECT_FALSE(capture.Open((m_dir / "none.wav").string()));
        EXPECT_EQ(capture.LastOpenError(), CaptureOpenError::NoDevice);
        EXPECT_TRUE(Fake().createdDeviceIds().empty());
        capture.Start(); // nothing to start
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
    FakeCaptureOptions noBuffer;
    noBuffer.failCreateBuffer = true;
    const Case cases[] = {
        {"buffer", noBuffer, "a.wav", CaptureOpenError::BufferUnavailable},
        {"file", {}, "missing folder/a.wav", CaptureOpenError::FileUnavailable},
        {"none", {}, "b.wav", CaptureOpenError::None},
    };
    for (const Case& c : cases) {
        SoundCapture& capture = Install(c.options);
        EXPECT_EQ(capture.Open((m_dir / c.file).string()), c.error == CaptureOpenError::None)
            << c.name;
        EXPECT_EQ(capture.LastOpenError(), c.error) << c.name;
        capture.Stop();
        EXPECT_EQ(Fake().buffersAlive(), 0) << c.name;
        EXPECT_EQ(Fake().devicesAlive(), 0) << c.name;
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
    EXPECT_EQ(fake.buffersAlive(), 1) << "only the new capture's buffer is left";

    capture.Start();
    fake.WaitDelivered(2);
    capture.Stop();
    ExpectWavHolds(m_dir / "second.wav", 0, 480000);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SoundCaptureTest, FailingNotificationsEndTheCaptureButTheFileIsStillFinished) {
    FakeCaptureOptions options;
    options.totalBytes = 96000;
    options.failLock = true;
    SoundCapture& capture = Install(options);
    const auto path = m_dir / "broken.wav";
    ASSERT_TRUE(capture.Open(path.string()));
    capture.Start();
    m_boxes.WaitForBox();
    capture.Stop();
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error handling DirectSound notifications. Sample will now exit.");
    EXPECT_EQ(boxes[0].caption, "DirectSound Sample");
    ExpectWavHolds(path, 0, 0);
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
        Fake().WaitDelivered();
        capture.Stop();
    }
    EXPECT_EQ(Boxes().at(0).text,
              "Error handling DirectSound notifications. Sample will now exit.");
    ExpectWavHolds(path, 0, 50000);
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
