// The movie's sound played through a real sound server: the private PulseAudio daemon the
// test script starts (scripts/with-test-services.sh), whose null sink "kinovex_null" has a
// monitor that records what is played into it.

#include "platform/SoundPlayback.h"
#include "platform/PulseCapture.h"

#include "TempDir.h"
#include "engine/display/Mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kinovex {
namespace {

// In CI a missing server is a broken environment, not a reason to skip.
#define REQUIRE_SOUND_SERVER()                                                                     \
    do {                                                                                           \
        if (!QueryPulseSources(nullptr, nullptr)) {                                                \
            if (std::getenv("CI") != nullptr) {                                                    \
                FAIL() << "no PulseAudio server (run under scripts/with-test-services.sh)";        \
            }                                                                                      \
            GTEST_SKIP() << "no PulseAudio server";                                                \
        }                                                                                          \
    } while (false)

constexpr double kToneHz = 1000.0;

// One second of a 1 kHz tone as an event sound of the mixer.
flash::SoundDefinition ToneSound() {
    flash::SoundDefinition d;
    d.id = 1;
    d.format = flash::SoundFormat{flash::SoundCodec::PcmLittle, 3, true, false};
    d.sampleCount = 44100;
    for (int i = 0; i < 44100; ++i) {
        const auto v = static_cast<std::int16_t>(
            12000 * std::sin(2 * std::numbers::pi * kToneHz * i / 44100.0));
        d.data.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xff));
        d.data.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
    }
    return d;
}

// parecord on the null sink's monitor, its raw samples read from a pipe.
class MonitorRecorder {
public:
    MonitorRecorder() {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::vector<std::string> args{"parecord",
                                      "--device=kinovex_null.monitor",
                                      "--raw",
                                      "--format=s16le",
                                      "--rate=44100",
                                      "--channels=2",
                                      "--latency-msec=20"};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_fd = fds[0];
    }
    ~MonitorRecorder() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool running() const { return m_pid > 0 && m_fd >= 0; }

    // Reads until `found` says the recording holds what we wait for, or `timeoutMs` passes.
    template <typename Found> bool readUntil(Found found, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::vector<std::uint8_t> bytes;
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{m_fd, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) {
                break;
            }
            std::uint8_t buffer[8192];
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + n);
            samples.resize(bytes.size() / 2);
            std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
            if (found(samples)) {
                return true;
            }
        }
        return false;
    }

    std::vector<std::int16_t> samples; // interleaved stereo

private:
    pid_t m_pid = -1;
    int m_fd = -1;
};

// The last 100 ms of a recording carry the tone: loud enough and at its pitch.
bool EndsInTone(const std::vector<std::int16_t>& s) {
    const std::size_t window = 4410;
    if (s.size() / 2 < window) {
        return false;
    }
    const std::size_t first = s.size() / 2 - window;
    double sum = 0;
    int crossings = 0;
    for (std::size_t i = first; i < first + window; ++i) {
        sum += static_cast<double>(s[2 * i]) * s[2 * i];
        if (i > first && s[2 * (i - 1)] < 0 && s[2 * i] >= 0) {
            ++crossings;
        }
    }
    const double rms = std::sqrt(sum / window);
    return rms > 4000 && std::abs(crossings - 100) <= 3;
}

TEST(SoundPlayback, WithoutAServerItIsSilentAndTheCallerGoesOn) {
    test::TempDir dir("noserver");
    test::ScopedEnv server("PULSE_SERVER", "unix:" + (dir / "nobody-listens").string());
    SoundPlayback playback;
    EXPECT_FALSE(playback.open());
    EXPECT_FALSE(playback.isOpen());
    const std::vector<std::int16_t> samples(4410, 1000);
    EXPECT_FALSE(playback.write(samples));
    playback.setPaused(true);
    playback.stop();
    EXPECT_FALSE(playback.drain());
    EXPECT_EQ(playback.latencyUs(), 0u);
}

TEST(SoundPlayback, TheMixersToneArrivesAtTheSink) {
    REQUIRE_SOUND_SERVER();
    MonitorRecorder recorder;
    ASSERT_TRUE(recorder.running()) << "parecord could not be started";
    SoundPlayback playback;
    ASSERT_TRUE(playback.open(44100, 2, "Kinovex test tone"));

    flash::SoundMixer mixer(25 * 256);
    mixer.defineSound(ToneSound());
    flash::SoundInfo loops;
    loops.loopCount = 5;
    ASSERT_TRUE(mixer.startSound(1, loops));
    // Written as the player thread writes: one frame's sound at a time.
    for (int frame = 0; frame < 25 * 3; ++frame) {
        flash::PcmBuffer pcm;
        mixer.mixFrame(pcm);
        ASSERT_TRUE(playback.write(pcm));
    }
    EXPECT_GT(playback.latencyUs(), 0u);
    EXPECT_LT(playback.latencyUs(), 2'000'000u);
    EXPECT_TRUE(recorder.readUntil(EndsInTone, 10'000))
        << "recorded " << recorder.samples.size() / 2 << " samples without the tone";
    EXPECT_TRUE(playback.drain());
}

TEST(SoundPlayback, PausedWithAFullQueueWritesDoNotBlockAndStopEmptiesIt) {
    REQUIRE_SOUND_SERVER();
    SoundPlayback playback;
    ASSERT_TRUE(playback.open());
    playback.setPaused(true);
    EXPECT_TRUE(playback.isPaused());
    // Five seconds while paused: the queue takes a little, the rest is refused at once.
    const std::vector<std::int16_t> fiveSeconds(2 * 44100 * 5, 500);
    EXPECT_FALSE(playback.write(fiveSeconds));
    playback.stop();
    playback.setPaused(false);
    EXPECT_FALSE(playback.isPaused());
    const std::vector<std::int16_t> short_(2 * 4410, 500);
    EXPECT_TRUE(playback.write(short_));
    EXPECT_TRUE(playback.drain());
    playback.close();
    EXPECT_FALSE(playback.isOpen());
    EXPECT_FALSE(playback.write(short_));
}

} // namespace
} // namespace kinovex
