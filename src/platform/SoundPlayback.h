#pragma once
// Playing the movie's sound on the PulseAudio sound server (PipeWire's pulse server works as
// well): 16-bit little-endian PCM, interleaved. With no server the playback is silent: open()
// says so, every other call does nothing, and the program goes on.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kinovex {

class SoundPlayback {
public:
    // How much sound the server is asked to keep queued: enough to ride over a late frame,
    // little enough that pausing and stopping are heard at once.
    static constexpr std::uint32_t kTargetLatencyMs = 200;

    SoundPlayback();
    ~SoundPlayback();
    SoundPlayback(const SoundPlayback&) = delete;
    SoundPlayback& operator=(const SoundPlayback&) = delete;

    // Connects to the server and opens a playback stream. False, and silent, when no server
    // answers or the stream cannot be made. Opening again closes the previous stream first.
    bool open(std::uint32_t rate = 44100, std::uint8_t channels = 2,
              const std::string& streamName = "Movie sound");
    bool isOpen() const;
    void close();

    // Queues interleaved samples, waiting while the server's queue is full. Returns false
    // when the sound was not queued (silent, paused with a full queue, or the server went
    // away; the stream is then closed and the rest is silent too).
    bool write(std::span<const std::int16_t> samples);

    // Pausing keeps what is queued; playing resumes with it.
    void setPaused(bool paused);
    bool isPaused() const;
    // Drops what is queued and not yet heard.
    void stop();
    // Waits until everything written has been played (at most a few seconds).
    bool drain();

    // Time from a sample written now to its being heard, in microseconds (0 when silent).
    std::uint64_t latencyUs() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kinovex
