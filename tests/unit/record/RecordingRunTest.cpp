// The recording run on stand-in services: which commands each state takes and what they
// report, and the recording that reaches the encoder step.

#include "core/record/RecordingRun.h"

#include "AviFrames.h"
#include "FakeRecordingServices.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using enum RunEvent;

std::string SaveMovie(const TempDir& dir) {
    swf::SwfWriter movie(80, 60, 12);
    movie.setBackground(swf::Rgb(0x3366CC));
    for (int i = 0; i < 4; ++i)
        movie.showFrame();
    const std::string path = (dir / "movie.swf").string();
    movie.save(path);
    return path;
}

// Everything the run reported, in order: events and the states it entered.
struct Report : RunObserver {
    void OnStateChanged(RunState state) override { states.push_back(state); }
    void OnRunEvent(RunEvent event) override { events.push_back(event); }
    std::vector<RunState> states;
    std::vector<RunEvent> events;
};

class RecordingRunTest : public ::testing::Test {
protected:
    RecordingRunTest() { m_run.AddObserver(m_report); }
    ~RecordingRunTest() override { m_run.RemoveObserver(m_report); }

    PlaybackSetup Setup() const {
        PlaybackSetup setup;
        setup.player.moviePath = SaveMovie(m_dir);
        setup.player.recordWidth = setup.player.viewWidth = 80;
        setup.player.recordHeight = setup.player.viewHeight = 60;
        setup.player.playSound = false;
        setup.movieName = "movie";
        setup.tempBase = (m_dir / "Temp" / "movie").string();
        setup.profile.outputFolder = m_dir.str();
        return setup;
    }

    void Settle() {
        if (PlayerThread* player = m_run.Player())
            player->WaitUntilIdle();
    }

    TempDir m_dir{"recording run"};
    test::FakeRecording m_fake = test::MakeFakeRecording({}, true);
    RecordingRun m_run{m_fake.Services()};
    Report m_report;
};

using Command = std::function<void(RecordingRun&)>;

struct CommandCase {
    const char* name;
    int stepsBefore; // 0 idle, 1 playing, 2 recording
    Command command;
    RunState after;
    std::vector<RunEvent> events; // reported by the command
};

TEST_F(RecordingRunTest, EachStateTakesItsOwnCommandsAndIgnoresTheRest) {
    const Command play = [this](RecordingRun& run) { run.Play(Setup()); };
    const Command stopPlaying = [](RecordingRun& run) { run.StopPlaying(); };
    const Command record = [](RecordingRun& run) { run.Record(); };
    const Command stopRecording = [](RecordingRun& run) { run.StopRecording(); };
    const CommandCase cases[] = {
        {"idle: play", 0, play, RunState::Playing, {PlaybackStarted}},
        {"idle: stop playing", 0, stopPlaying, RunState::Idle, {}},
        {"idle: record", 0, record, RunState::Idle, {}},
        {"idle: stop recording", 0, stopRecording, RunState::Idle, {}},
        {"playing: play", 1, play, RunState::Playing, {}},
        {"playing: stop playing", 1, stopPlaying, RunState::Idle, {PlaybackStopped}},
        {"playing: record", 1, record, RunState::Recording, {RecordingStarted}},
        {"playing: stop recording", 1, stopRecording, RunState::Playing, {}},
        {"recording: play", 2, play, RunState::Recording, {}},
        {"recording: stop playing", 2, stopPlaying, RunState::Recording, {}},
        {"recording: record", 2, record, RunState::Recording, {}},
        {"recording: stop recording",
         2,
         stopRecording,
         RunState::Idle,
         {RecordingStopped, PlaybackStopped, ConversionStarting}},
    };
    const Command steps[] = {play, record};
    for (const CommandCase& c : cases) {
        RecordingRun run(m_fake.Services());
        for (int i = 0; i < c.stepsBefore; ++i)
            steps[i](run);
        Report report;
        run.AddObserver(report);
        c.command(run);
        EXPECT_EQ(run.State(), c.after) << c.name;
        EXPECT_EQ(report.events, c.events) << c.name;
        run.RemoveObserver(report);
    }
}

TEST_F(RecordingRunTest, StopRecordingPassesThroughStoppingAndConvertsWhatWasRecorded) {
    m_run.Play(Setup());
    Settle();
    // A stale recording of the same movie is replaced, never appended to.
    fs::create_directories(m_dir / "Temp");
    test::WriteFile(m_dir / "Temp" / "movie.avi", "an old recording");
    m_run.Record();
    Settle();
    m_fake.clock->Advance(1000);
    Settle();
    m_run.StopRecording();

    EXPECT_EQ(m_report.states, (std::vector<RunState>{RunState::Playing, RunState::Recording,
                                                      RunState::Stopping, RunState::Idle}));
    ASSERT_EQ(m_fake.encoder->requests.size(), 1u);
    const ConversionRequest& request = m_fake.encoder->requests[0];
    EXPECT_EQ(request.movieName, "movie");
    EXPECT_EQ(request.tempBase, (m_dir / "Temp" / "movie").string());
    EXPECT_EQ(request.profile.outputFolder, m_dir.str());
    EXPECT_EQ(request.elapsedMs, 1000u);
    // ceil(1000 / 83) frames, and a complete sound file of the (silent) capture.
    EXPECT_EQ(test::CountAviFrames(test::ReadFile(request.tempBase + ".avi")), 13);
    EXPECT_EQ(test::ReadFile(request.tempBase + ".wav").substr(0, 4), "RIFF");
    EXPECT_TRUE(m_fake.boxes->Boxes().empty());
}

struct SoundCase {
    const char* name;
    FakeCaptureOptions capture;
    std::vector<RunEvent> events; // reported by Record
    bool withSound;
};

// A retake whose sound cannot be recorded must not be converted with the sound of an earlier
// take: the WAV is gone and the conversion is asked for without sound.
TEST_F(RecordingRunTest, ARetakeWithoutSoundNeverKeepsTheEarlierTakesSound) {
    FakeCaptureOptions failStart, failOpen, failCreate, noDevice;
    failStart.failStart = true;
    failOpen.failOpen = true;
    failCreate.failCreateDevice = true; // the capture shows its own message
    noDevice.deviceIds = {""};
    const SoundCase cases[] = {
        {"capture runs", {}, {RecordingStarted}, true},
        {"start fails", failStart, {RecordingStarted, SoundUnavailable}, false},
        {"format refused", failOpen, {RecordingStarted, SoundUnavailable}, false},
        {"no device", noDevice, {RecordingStarted, SoundUnavailable}, false},
        {"device unavailable", failCreate, {RecordingStarted}, false},
    };
    const std::string stale = "RIFF of an earlier take";
    for (const SoundCase& c : cases) {
        test::FakeRecording fake = test::MakeFakeRecording(c.capture, true);
        RecordingRun run(fake.Services());
        run.Play(Setup());
        const std::string wav = (m_dir / "Temp" / "movie.wav").string();
        fs::create_directories(m_dir / "Temp");
        test::WriteFile(wav, stale);
        Report report;
        run.AddObserver(report);
        run.Record();
        EXPECT_EQ(report.events, c.events) << c.name;
        run.RemoveObserver(report);
        run.StopRecording();

        ASSERT_EQ(fake.encoder->requests.size(), 1u) << c.name;
        EXPECT_EQ(fake.encoder->requests[0].withSound, c.withSound) << c.name;
        EXPECT_EQ(fs::exists(wav), c.withSound) << c.name;
        if (c.withSound) {
            EXPECT_NE(test::ReadFile(wav), stale) << c.name;
        }
    }
}

// A user-interface pump that, while the run waits for the capture's end, stops playback as a
// click on Stop Playing would.
class StopPlayingWhileWaiting final : public CUiEventPump {
public:
    void ProcessEventsUntil(const std::function<bool()>& done) override {
        if (run != nullptr)
            run->StopPlaying();
        std::unique_lock lock(m_mutex);
        m_woken.wait(lock, [&] { return done(); });
    }
    void Wake() override {
        std::lock_guard lock(m_mutex);
        m_woken.notify_all();
    }
    RecordingRun* run = nullptr;

private:
    std::mutex m_mutex;
    std::condition_variable m_woken;
};

TEST_F(RecordingRunTest, PlaybackStoppedWhileTheCaptureEndsIsStoppedOnce) {
    auto pump = std::make_shared<StopPlayingWhileWaiting>();
    RecordingServices services = m_fake.Services();
    services.pump = pump;
    RecordingRun run(services);
    pump->run = &run;
    Report report;
    run.AddObserver(report);
    run.Play(Setup());
    run.Record();
    run.StopRecording();
    EXPECT_EQ(report.events,
              (std::vector<RunEvent>{PlaybackStarted, RecordingStarted, PlaybackStopped,
                                     RecordingStopped, ConversionStarting}));
    EXPECT_EQ(run.State(), RunState::Idle);
    EXPECT_EQ(m_fake.encoder->requests.size(), 1u);
    run.RemoveObserver(report);
}

} // namespace
} // namespace kinovex
