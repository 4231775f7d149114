// Capture through a real sound server: the private PulseAudio daemon the test script starts
// (scripts/with-test-services.sh), with the null sink "kinovex_null" whose monitor records
// what is played into it.

#include "platform/PulseCapture.h"
#include "core/record/CWavWriter.h"
#include "core/record/SoundCapture.h"
#include "platform/AudioMixer.h"
#include "platform/PlatformMessageBox.h"
#include "platform/ScreenSize.h"

#include "FakeRecordingServices.h"
#include "PulseTestSupport.h"
#include "TempDir.h"

#include <X11/Xlib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <numbers>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kinovex {
namespace {

using test::ReadFile;
using test::TempDir;

// In CI a missing server is a broken environment, not a reason to skip.
#define REQUIRE_SOUND_SERVER()                                                                     \
    do {                                                                                           \
        if (!QueryPulseSources(nullptr, nullptr)) {                                                \
            if (std::getenv("CI") != nullptr)                                                      \
                FAIL() << "no PulseAudio server (run under scripts/with-test-services.sh)";        \
            GTEST_SKIP() << "no PulseAudio server";                                                \
        }                                                                                          \
    } while (false)

// Runs a program to its end and returns its exit status (-1 if it could not run).
int RunProgram(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(PulseCapture, RecordsTheToneThatIsPlayedIntoTheMixInput) {
    REQUIRE_SOUND_SERVER();
    TempDir dir("pulse");
    const std::string tone = (dir / "tone.wav").string();
    const std::string recording = (dir / "recording.wav").string();
    WriteTone(tone, 2.0);
    const std::string sinkName = "kinovex_tone_" + std::to_string(getpid());
    CPrivateSink sink(sinkName);
    ASSERT_TRUE(sink.loaded());
    CSingleSourceSystem system(sink.monitor());
    test::NotedMessageBoxes boxes;
    SoundCapture capture(system, boxes, nullptr);

    ASSERT_TRUE(capture.Open(recording));
    capture.Start();
    // Playing ends when the tone has gone through the sink: that is the capture's 2 seconds.
    EXPECT_EQ(RunProgram({"paplay", "--device=" + sinkName, tone}), 0);
    capture.Stop();
    EXPECT_TRUE(boxes.Boxes().empty());

    const std::string bytes = ReadFile(recording);
    ASSERT_GT(bytes.size(), 56u);
    const std::size_t frames = (bytes.size() - 56) / 4;
    EXPECT_EQ((bytes.size() - 56) % kCaptureBlockBytes, 0u) << "whole blocks only";
    // The left channel of the part where the tone is loud (the capture may start a little
    // before the tone and end a little after it).
    std::vector<double> loud;
    for (std::size_t i = 0; i < frames; ++i) {
        std::int16_t left = 0;
        std::memcpy(&left, bytes.data() + 56 + 4 * i, 2);
        loud.push_back(left);
    }
    std::size_t first = 0;
    while (first < loud.size() && std::abs(loud[first]) < 3000)
        ++first;
    std::size_t last = loud.size();
    while (last > first && std::abs(loud[last - 1]) < 3000)
        --last;
    ASSERT_GT(last - first, kCaptureFormat.rate / 2) << "at least half a second of tone";
    std::vector<double> tonePart(loud.begin() + static_cast<std::ptrdiff_t>(first),
                                 loud.begin() + static_cast<std::ptrdiff_t>(last));

    int crossings = 0;
    for (std::size_t i = 1; i < tonePart.size(); ++i)
        if ((tonePart[i - 1] < 0) != (tonePart[i] < 0))
            ++crossings;
    const double seconds = static_cast<double>(tonePart.size()) / kCaptureFormat.rate;
    EXPECT_NEAR(crossings / 2.0 / seconds, kToneHz, 15.0);

    const double rate = kCaptureFormat.rate;
    const double atTone = Power(tonePart, kToneHz, rate);
    for (double other : {500.0, 1500.0, 2000.0, 3000.0})
        EXPECT_GT(atTone, 100 * Power(tonePart, other, rate)) << other << " Hz";
}

TEST(PulseCapture, MixerReportsTheMonitorAsTheSelectedMixInput) {
    REQUIRE_SOUND_SERVER();
    std::vector<PulseSourceInfo> sources;
    std::string defaultSource;
    ASSERT_TRUE(QueryPulseSources(&sources, &defaultSource));
    ASSERT_EQ(defaultSource, "kinovex_null.monitor");
    const auto monitor = std::find_if(sources.begin(), sources.end(),
                                      [](const auto& source) { return source.isMonitor; });
    ASSERT_NE(monitor, sources.end());

    // Other tests may add sinks of their own meanwhile; the server's first one stays first.
    CAudioMixer mixer;
    std::vector<std::string> names;
    ASSERT_TRUE(mixer.GetInputSourceName(names));
    const int current = mixer.GetCurrentInputSource();
    ASSERT_GE(current, 0);
    ASSERT_LT(current, static_cast<int>(names.size()));
    const std::string& name = names[static_cast<std::size_t>(current)];
    EXPECT_EQ(name, MixerInputName(monitor->description, true));
    EXPECT_EQ(name.substr(name.size() - 2), "ix") << "the start-up check accepts it";
}

TEST(PulseCapture, DevicesStartWithThePrimaryEntryThenTheDefaultSinksMonitor) {
    REQUIRE_SOUND_SERVER();
    std::vector<CaptureDeviceEntry> entries;
    CPulseCaptureSystem system;
    ASSERT_TRUE(system.Enumerate([&](const CaptureDeviceEntry& entry) {
        entries.push_back(entry);
        return true;
    }));
    ASSERT_GE(entries.size(), 2u);
    EXPECT_TRUE(entries[0].id.empty());
    EXPECT_EQ(entries[1].id, "kinovex_null.monitor");
}

// An X server of the test's own with one screen of the given size. The server picks a free
// display number itself and reports it when it is ready, so that tests running side by side
// never meet on one display.
class OwnXServer {
public:
    OwnXServer(int width, int height) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 3); // the copy stays open
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> words = {
            "Xvfb",      "-displayfd", "3",
            "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
            "-nolisten", "tcp",        "-noreset"};
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        std::string number;
        pollfd ready{ends[0], POLLIN, 0};
        char c = 0;
        while (m_pid > 0 && poll(&ready, 1, 10000) == 1 && read(ends[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ends[0]);
        if (number.empty())
            return;
        // Wait until the server takes connections, so that a refused one in the test means a
        // wrong answer, not a race. (-noreset: the server must not reset, and refuse connections
        // for a moment, each time its last client leaves.)
        for (int i = 0; i < 200; ++i) {
            if (Display* connection = XOpenDisplay((":" + number).c_str())) {
                XCloseDisplay(connection);
                m_name = ":" + number;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~OwnXServer() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    OwnXServer(const OwnXServer&) = delete;
    OwnXServer& operator=(const OwnXServer&) = delete;

    // ":N" once the server is ready; empty when it could not be started.
    const std::string& Name() const { return m_name; }

private:
    pid_t m_pid = -1;
    std::string m_name;
};

TEST(ScreenSize, ComesFromTheNamedDisplay) {
    // Sizes no other server here has; both servers run at once, so each answer must come from
    // the display asked.
    const ScreenSize sizes[] = {{1234, 567}, {640, 1111}};
    OwnXServer first(sizes[0].width, sizes[0].height);
    OwnXServer second(sizes[1].width, sizes[1].height);
    if (first.Name().empty() || second.Name().empty()) {
        if (std::getenv("CI") != nullptr)
            FAIL() << "Xvfb could not be started";
        GTEST_SKIP() << "no Xvfb";
    }
    const std::string* names[] = {&first.Name(), &second.Name()};
    for (int i = 0; i < 2; ++i) {
        const ScreenSize size = DisplayScreenSize(*names[i]);
        EXPECT_EQ(size.width, sizes[i].width) << *names[i];
        EXPECT_EQ(size.height, sizes[i].height) << *names[i];
    }
    // The program's own question goes to the display DISPLAY names.
    test::ScopedEnv display("DISPLAY", second.Name());
    const ScreenSize primary = PrimaryScreenSize();
    EXPECT_EQ(primary.width, sizes[1].width);
    EXPECT_EQ(primary.height, sizes[1].height);
}

} // namespace
} // namespace kinovex
