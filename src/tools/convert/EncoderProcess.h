#pragma once
// ffmpeg as a child fed through two pipes: raw frames on its standard input, raw sound on
// descriptor 3. Sound is written by a thread of its own, so ffmpeg may read its two inputs in
// whatever order it likes without either side waiting on the other for ever.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kinovex::cli {

class EncoderProcess {
public:
    EncoderProcess() = default;
    ~EncoderProcess(); // kills a child still running
    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;

    // Starts `program` with `args`. False with error() set when it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args, bool withSound);

    // Blocks until ffmpeg took the frame; false when it went away (see finish()).
    bool writeFrame(std::span<const std::uint8_t> bytes);
    // Queues sound for the sound pipe; blocks while more than a few seconds are queued.
    bool writeSound(std::span<const std::int16_t> samples);

    // Closes both pipes, waits for ffmpeg and returns its exit status (128 + signal when a
    // signal ended it). error() then holds ffmpeg's last diagnostics when it failed.
    int finish();
    // Stops ffmpeg at once (the conversion was interrupted).
    void kill();

    const std::string& error() const { return m_error; }

private:
    void soundLoop();
    void errorLoop(int fd);
    void closeVideo();

    int m_pid = -1;
    int m_videoFd = -1;
    int m_soundFd = -1;
    std::thread m_soundThread;
    std::thread m_errorThread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<std::int16_t>> m_soundQueue;
    std::size_t m_queuedSamples = 0;
    bool m_soundClosed = false;
    bool m_soundFailed = false;
    std::string m_errorText; // ffmpeg's standard error, its last few kilobytes
    std::string m_error;
};

} // namespace kinovex::cli
