// Which input a recording takes on a desktop whose default source is a microphone: a sound
// server of this test's own (so that changing its defaults disturbs no other test), PulseAudio
// and PipeWire in turn, with a null sink where playback goes and a null source as the
// microphone.

#include "core/record/CWavWriter.h"
#include "core/record/SoundCapture.h"
#include "platform/AudioMixer.h"
#include "platform/PulseCapture.h"

#include "FakeRecordingServices.h"
#include "PulseTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

// Starts a program and returns its process id (0 if it could not start). What it prints goes
// to `log`; with `ownGroup` it leads a process group of its own, which takes its children too.
pid_t Spawn(std::vector<std::string> arguments, const std::string& log = "/dev/null",
            bool ownGroup = false) {
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t output;
    posix_spawn_file_actions_init(&output);
    posix_spawn_file_actions_addopen(&output, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (log != "/dev/null")
        posix_spawn_file_actions_adddup2(&output, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (ownGroup) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &output, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&output);
    return failed == 0 ? pid : 0;
}

// Runs a program to its end; true when it exits with 0.
bool RunToEnd(std::vector<std::string> arguments) {
    const pid_t pid = Spawn(std::move(arguments));
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// What a shell command prints, without its last line break.
std::string OutputOf(const std::string& command) {
    std::string text;
    if (FILE* output = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, output) != nullptr)
            text += buffer;
        pclose(output);
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// Asks `done` every 50 ms until it holds or `seconds` have passed.
bool PollUntil(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The two sound servers a Linux desktop speaks to through libpulse: a PulseAudio daemon, and
// PipeWire with its pulse server and the session manager that picks its default devices.
enum class ServerKind { PulseAudio, PipeWire };

// How a kind starts, which programs it needs, how its microphone is made, and the modules
// that keep a sink (with its monitor) there when ours is gone.
struct ServerRecipe {
    std::vector<std::string> programs;
    std::vector<std::string> start; // `{socket}` stands for the pulse socket's path
    std::string microphone;
    std::vector<std::string> keepingASink;
};

const ServerRecipe& RecipeOf(ServerKind kind) {
    static const ServerRecipe pulseAudio{
        {"pulseaudio", "pactl", "paplay"},
        {"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
         "--load=module-native-protocol-unix auth-anonymous=1 socket={socket}"},
        "module-null-source source_name=microphone",
        {}};
    // wireplumber needs a session bus, pipewire-pulse makes $XDG_RUNTIME_DIR/pulse/native.
    // Both give up for good when PipeWire's socket is not there yet: they wait for it.
    static const ServerRecipe pipeWire{
        {"dbus-run-session", "pipewire", "wireplumber", "pipewire-pulse", "pactl", "paplay"},
        {"dbus-run-session", "--", "sh", "-c",
         "pipewire & for i in $(seq 400); do [ -S \"$XDG_RUNTIME_DIR/pipewire-0\" ] && break; "
         "sleep 0.05; done; wireplumber & exec pipewire-pulse"},
        "module-null-sink sink_name=microphone media.class=Audio/Source/Virtual",
        {"module-always-sink"}};
    return kind == ServerKind::PulseAudio ? pulseAudio : pipeWire;
}

std::string NameOf(ServerKind kind) {
    return kind == ServerKind::PulseAudio ? "PulseAudio" : "PipeWire";
}

void PrintTo(ServerKind kind, std::ostream* out) {
    *out << NameOf(kind);
}

// A sound server in a folder of its own (its runtime folder and home), the one this process
// and its children talk to while it lives: the sink "speakers" (the default sink) and the
// source "microphone" (the default source).
class PrivateSoundServer {
public:
    explicit PrivateSoundServer(ServerKind kind) : m_recipe(RecipeOf(kind)) {
        for (const auto& program : m_recipe.programs)
            if (OutputOf("command -v " + program).empty())
                m_missing += (m_missing.empty() ? "" : ", ") + program;
        const fs::path runtime = m_dir / "run";
        fs::create_directories(runtime / "pulse");
        fs::permissions(runtime, fs::perms::owner_all);
        const std::string socket = (runtime / "pulse" / "native").string();
        SetEnv("HOME", m_dir.str());
        SetEnv("XDG_RUNTIME_DIR", runtime.string());
        SetEnv("PULSE_RUNTIME_PATH", (runtime / "pulse").string());
        SetEnv("PULSE_SERVER", "unix:" + socket);
        for (const char* name : {"PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_SINK"})
            m_env.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
        // The server's processes whose parent ends before them become this process's children
        // rather than init's, so that stopping the server reaps them all (and at once).
        prctl(PR_GET_CHILD_SUBREAPER, &m_wasSubreaper);
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        if (m_missing.empty())
            m_failure = Start(socket);
    }
    ~PrivateSoundServer() {
        Stop();
        prctl(PR_SET_CHILD_SUBREAPER, m_wasSubreaper);
    }
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // The programs of this kind that are not installed, empty when all are.
    const std::string& Missing() const { return m_missing; }
    bool Up() const { return m_missing.empty() && m_failure.empty(); }
    // Which step of the start failed.
    const std::string& Failure() const { return m_failure; }
    std::string Log() const { return test::ReadFile(m_dir / "server.log"); }
    const TempDir& Dir() const { return m_dir; }

    // Takes away every sink, and so every monitor: ours, by the index its module has (the
    // microphone may be a null-sink module too), and whatever would put another in its place.
    bool RemoveSinks() {
        for (const auto& module : m_recipe.keepingASink)
            if (!RunToEnd({"pactl", "unload-module", module}))
                return false;
        if (m_speakersModule.empty() || !RunToEnd({"pactl", "unload-module", m_speakersModule}))
            return false;
        return PollUntil(
            [] {
                std::vector<PulseSourceInfo> sources;
                return QueryPulseSources(&sources, nullptr) &&
                       std::none_of(sources.begin(), sources.end(),
                                    [](const PulseSourceInfo& source) { return source.isMonitor; });
            },
            10);
    }

private:
    void SetEnv(const char* name, const std::string& value) {
        m_env.push_back(std::make_unique<ScopedEnv>(name, value));
    }

    // Starts the server and puts the devices in place; tells what failed, if anything.
    std::string Start(const std::string& socket) {
        std::vector<std::string> start = m_recipe.start;
        for (auto& argument : start)
            if (const auto at = argument.find("{socket}"); at != std::string::npos)
                argument.replace(at, 8, socket);
        m_pid = Spawn(start, (m_dir / "server.log").string(), true);
        // A loaded machine may take a few seconds to bring a server and its session up.
        if (m_pid <= 0)
            return "cannot start " + start[0];
        if (!PollUntil([] { return RunToEnd({"pactl", "info"}); }, 20))
            return "no answer to pactl info";
        m_speakersModule = OutputOf("pactl load-module module-null-sink sink_name=speakers");
        if (m_speakersModule.empty())
            return "no speakers";
        if (OutputOf("pactl load-module " + m_recipe.microphone).empty())
            return "no microphone";
        // PipeWire keeps the defaults in metadata its session manager makes: ask again until
        // both are in place.
        std::string source;
        std::string sink;
        const bool defaultsSet = PollUntil(
            [&] {
                return RunToEnd({"pactl", "set-default-sink", "speakers"}) &&
                       RunToEnd({"pactl", "set-default-source", "microphone"}) &&
                       QueryPulseSources(nullptr, &source, &sink) && source == "microphone" &&
                       sink == "speakers";
            },
            20);
        return defaultsSet ? "" : "the defaults stay " + sink + " and " + source;
    }

    // Ends the server with every process it started; none may stay behind.
    void Stop() {
        if (m_pid <= 0)
            return;
        kill(-m_pid, SIGTERM);
        const auto groupGone = [this] {
            while (waitpid(-m_pid, nullptr, WNOHANG) > 0) {
            }
            return kill(-m_pid, 0) != 0 && errno == ESRCH;
        };
        if (!PollUntil(groupGone, 10)) {
            kill(-m_pid, SIGKILL);
            EXPECT_TRUE(PollUntil(groupGone, 5)) << "processes of the sound server stay behind";
        }
    }

    const ServerRecipe& m_recipe;
    TempDir m_dir{"sound"};
    std::vector<std::unique_ptr<ScopedEnv>> m_env;
    std::string m_missing;
    std::string m_speakersModule;
    pid_t m_pid = 0;
    int m_wasSubreaper = 0;
    std::string m_failure;
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

class MonitorChoice : public ::testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override {
        m_server = std::make_unique<PrivateSoundServer>(GetParam());
        if (!m_server->Missing().empty()) {
            const std::string reason =
                "no " + m_server->Missing() + " to start " + NameOf(GetParam()) + " with";
            if (std::getenv("CI") != nullptr)
                FAIL() << reason;
            GTEST_SKIP() << reason;
        }
        ASSERT_TRUE(m_server->Up())
            << NameOf(GetParam()) << " did not come up: " << m_server->Failure() << "\n"
            << m_server->Log();
        const bool pipeWire = OutputOf("pactl info").find("on PipeWire") != std::string::npos;
        ASSERT_EQ(pipeWire, GetParam() == ServerKind::PipeWire) << "another server answers";
    }
    void TearDown() override { m_server.reset(); }

    std::unique_ptr<PrivateSoundServer> m_server;
};

TEST_P(MonitorChoice, WithAMicrophoneAsDefaultTheRecordingHearsThePlayback) {
    // The start-up check sees a mix input: no warning.
    CAudioMixer mixer;
    std::vector<std::string> names;
    ASSERT_TRUE(mixer.GetInputSourceName(names));
    ASSERT_GE(mixer.GetCurrentInputSource(), 0);
    const std::string& selected = names[static_cast<std::size_t>(mixer.GetCurrentInputSource())];
    EXPECT_EQ(selected.substr(selected.size() - 3), "Mix");

    const std::string tone = (m_server->Dir() / "tone.wav").string();
    const std::string recording = (m_server->Dir() / "recording.wav").string();
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

TEST_P(MonitorChoice, WithoutAnyMonitorTheMixWarningStays) {
    ASSERT_TRUE(m_server->RemoveSinks());

    CAudioMixer mixer;
    std::vector<std::string> names;
    ASSERT_TRUE(mixer.GetInputSourceName(names));
    const int current = mixer.GetCurrentInputSource();
    ASSERT_GE(current, 0);
    const std::string& selected = names[static_cast<std::size_t>(current)];
    EXPECT_NE(selected.substr(selected.size() - 2), "ix");
}

INSTANTIATE_TEST_SUITE_P(Servers, MonitorChoice,
                         ::testing::Values(ServerKind::PulseAudio, ServerKind::PipeWire),
                         [](const ::testing::TestParamInfo<ServerKind>& kind) {
                             return NameOf(kind.param);
                         });

} // namespace
} // namespace kinovex
