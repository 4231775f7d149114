#include "tools/convert/EncoderProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kinovex::cli {

namespace {

// About five seconds of sound may wait for ffmpeg before the renderer waits in turn.
constexpr std::size_t kMaxQueuedSamples = 5 * 44100 * 2;
constexpr std::size_t kKeptErrorBytes = 4096;

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// The last lines ffmpeg printed, for the user.
std::string lastLines(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r')) {
        trimmed.pop_back();
    }
    const auto cut = trimmed.size() > 600 ? trimmed.rfind('\n', trimmed.size() - 600) : 0;
    return cut == std::string::npos || cut == 0 ? trimmed : trimmed.substr(cut + 1);
}

} // namespace

EncoderProcess::~EncoderProcess() {
    if (m_pid > 0) {
        kill();
    }
}

bool EncoderProcess::start(const std::string& program, const std::vector<std::string>& args,
                           bool withSound) {
    int video[2] = {-1, -1}, sound[2] = {-1, -1}, errors[2] = {-1, -1};
    auto closeAll = [&] {
        for (int* pair : {video, sound, errors}) {
            closeFd(pair[0]);
            closeFd(pair[1]);
        }
    };
    if (::pipe2(video, O_CLOEXEC) != 0 || (withSound && ::pipe2(sound, O_CLOEXEC) != 0) ||
        ::pipe2(errors, O_CLOEXEC) != 0) {
        m_error = std::string("cannot make pipes: ") + std::strerror(errno);
        closeAll();
        return false;
    }
    // A frame is large: a bigger pipe lets ffmpeg take it in fewer wake-ups.
    ::fcntl(video[1], F_SETPIPE_SZ, 1 << 20);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, video[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    if (withSound) {
        posix_spawn_file_actions_adddup2(&actions, sound[0], 3);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    closeFd(video[0]);
    closeFd(sound[0]);
    closeFd(errors[1]);
    if (rc != 0) {
        m_error = "cannot run " + program + ": " + std::strerror(rc);
        closeAll();
        return false;
    }
    m_pid = pid;
    m_videoFd = video[1];
    m_soundFd = sound[1];
    const int errorFd = errors[0];
    m_errorThread = std::thread([this, errorFd] { errorLoop(errorFd); });
    if (withSound) {
        m_soundThread = std::thread([this] { soundLoop(); });
    }
    return true;
}

bool EncoderProcess::writeFrame(std::span<const std::uint8_t> bytes) {
    if (m_videoFd < 0) {
        return false;
    }
    if (!writeAll(m_videoFd, bytes.data(), bytes.size())) {
        closeVideo();
        return false;
    }
    return true;
}

bool EncoderProcess::writeSound(std::span<const std::int16_t> samples) {
    if (samples.empty()) {
        return true;
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_soundFailed || m_queuedSamples < kMaxQueuedSamples; });
    if (m_soundFailed || m_soundFd < 0) {
        return false;
    }
    m_soundQueue.emplace_back(samples.begin(), samples.end());
    m_queuedSamples += samples.size();
    m_changed.notify_all();
    return true;
}

void EncoderProcess::soundLoop() {
    for (;;) {
        std::vector<std::int16_t> block;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_soundClosed || !m_soundQueue.empty(); });
            if (m_soundQueue.empty()) {
                break; // closed and everything written
            }
            block = std::move(m_soundQueue.front());
            m_soundQueue.pop_front();
        }
        const bool ok = writeAll(m_soundFd, block.data(), block.size() * sizeof(std::int16_t));
        std::lock_guard lock(m_mutex);
        m_queuedSamples -= block.size();
        if (!ok) {
            m_soundFailed = true;
            m_soundQueue.clear();
            m_queuedSamples = 0;
        }
        m_changed.notify_all();
        if (!ok) {
            break;
        }
    }
    closeFd(m_soundFd);
}

void EncoderProcess::errorLoop(int fd) {
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        std::lock_guard lock(m_mutex);
        m_errorText.append(buffer, static_cast<std::size_t>(n));
        if (m_errorText.size() > 2 * kKeptErrorBytes) {
            m_errorText.erase(0, m_errorText.size() - kKeptErrorBytes);
        }
    }
    ::close(fd);
}

void EncoderProcess::closeVideo() {
    closeFd(m_videoFd);
}

int EncoderProcess::finish() {
    closeVideo();
    {
        std::lock_guard lock(m_mutex);
        m_soundClosed = true;
        m_changed.notify_all();
    }
    if (m_soundThread.joinable()) {
        m_soundThread.join();
    }
    int status = 0;
    int result = 127;
    if (m_pid > 0) {
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (m_errorThread.joinable()) {
        m_errorThread.join();
    }
    if (result != 0) {
        const std::string detail = lastLines(m_errorText);
        m_error = "ffmpeg failed (exit status " + std::to_string(result) + ")" +
                  (detail.empty() ? "" : ": " + detail);
    }
    return result;
}

void EncoderProcess::kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
    }
    finish();
}

} // namespace kinovex::cli
