// Which input a recording takes on a desktop whose default source is a microphone: a sound
// server of this test's own (so that changing its defaults disturbs no other test), with a
// null sink where playback goes and a null source as the microphone.

#include "core/record/CWavWriter.h"
#include "core/record/SoundCapture.h"
#include "platform/AudioMixer.h"
#include "platform/PulseCapture.h"

#include "FakeRecordingServices.h"
#include "PulseTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace kinovex {
namespace {

using test::ScopedEnv;
using test::TempDir;

// Starts a program and returns its process id (0 if it could not start).
pid_t Spawn(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // What the programs print is of no interest here.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    return failed == 0 ? pid : 0;
}

// Runs a program to its end; true when it exits with 0.
bool RunToEnd(std::vector<std::string> arguments) {
    const pid_t pid = Spawn(std::move(arguments));
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// A PulseAudio daemon in a folder of its own, the one this process and its children talk to
// while it lives: the sink "speakers" (the default sink) and the source "microphone".
class PrivateSoundServer {
public:
    PrivateSoundServer()
        : m_socket((m_dir / "native").string()), m_runtime("XDG_RUNTIME_DIR", m_dir.str()),
          m_pulseRuntime("PULSE_RUNTIME_PATH", m_dir.str()),
          m_server("PULSE_SERVER", "unix:" + m_socket) {
        m_pid = Spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                       "--load=module-native-protocol-unix auth-anonymous=1 socket=" + m_socket,
                       "--load=module-null-sink sink_name=speakers",
                       "--load=module-null-source source_name=microphone",
                       "--log-target=file:" + (m_dir / "pulse.log").string()});
        for (int i = 0; m_pid > 0 && i < 50 && !RunToEnd({"pactl", "info"}); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~PrivateSoundServer() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool Up() const { return m_pid > 0 && QueryPulseSources(nullptr, nullptr); }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir{"pa"};
    std::string m_socket;
    ScopedEnv m_runtime;
    ScopedEnv m_pulseRuntime;
    ScopedEnv m_server;
    pid_t m_pid = 0;
};

// The left channel of a capture's WAV where it is loud.
std::vector<double> LoudPart(const std::string& bytes) {
    std::vector<double> loud;
    for (std::size_t at = 56; at + 4 <= bytes.size(); at += 4) {
        std::int16_t left = 0;
        std::memcpy(&left, bytes.data() + at, 2);
        if (std::abs(left) >= 3000 || !loud.empty())
            loud.push_back(left);
    }
    while (!loud.empty() && std::abs(loud.back()) < 3000)
        loud.pop_back();
    return loud;
}

TEST(MonitorChoice, WithAMicrophoneAsDefaultTheRecordingHearsThePlayback) {
    PrivateSoundServer server;
    if (!server.Up())
        GTEST_SKIP() << "no PulseAudio daemon to start";
    ASSERT_TRUE(RunToEnd({"pactl", "set-default-source", "microphone"}));
    ASSERT_TRUE(RunToEnd({"pactl", "set-default-sink", "speakers"}));
    std::string defaultSource;
    ASSERT_TRUE(QueryPulseSources(nullptr, &defaultSource));
    ASSERT_EQ(defaultSource, "microphone");

    // The start-up check sees a mix input: no warning.
    CAudioMixer mixer;
    std::vector<std::string> names;
    ASSERT_TRUE(mixer.GetInputSourceName(names));
    ASSERT_GE(mixer.GetCurrentInputSource(), 0);
    const std::string& selected = names[static_cast<std::size_t>(mixer.GetCurrentInputSource())];
    EXPECT_EQ(selected.substr(selected.size() - 3), "Mix");

    const std::string tone = (server.Dir() / "tone.wav").string();
    const std::string recording = (server.Dir() / "recording.wav").string();
    WriteTone(tone, 1.0);
    CPulseCaptureSystem system;
    test::NotedMessageBoxes boxes;
    SoundCapture capture(system, boxes, nullptr);
    ASSERT_TRUE(capture.Open(recording));
    ASSERT_EQ(capture.Start(), CaptureError::None);
    // To the default sink, as the movie's sound goes; paplay ends when the tone has played.
    EXPECT_TRUE(RunToEnd({"paplay", tone}));
    capture.Stop();

    const std::vector<double> loud = LoudPart(test::ReadFile(recording));
    ASSERT_GT(loud.size(), kCaptureFormat.rate / 2) << "at least half a second of the tone";
    const double rate = kCaptureFormat.rate;
    EXPECT_GT(Power(loud, kToneHz, rate), 100 * Power(loud, 1500.0, rate));
}

TEST(MonitorChoice, WithoutAnyMonitorTheMixWarningStays) {
    PrivateSoundServer server;
    if (!server.Up())
        GTEST_SKIP() << "no PulseAudio daemon to start";
    ASSERT_TRUE(RunToEnd({"pactl", "unload-module", "module-null-sink"}));
    ASSERT_TRUE(RunToEnd({"pactl", "set-default-source", "microphone"}));

    CAudioMixer mixer;
    std::vector<std::string> names;
    ASSERT_TRUE(mixer.GetInputSourceName(names));
    const int current = mixer.GetCurrentInputSource();
    ASSERT_GE(current, 0);
    const std::string& selected = names[static_cast<std::size_t>(current)];
    EXPECT_NE(selected.substr(selected.size() - 2), "ix");
}

} // namespace
} // namespace kinovex
