#pragma once
// The picture side of one recording: where the captured frames go and how far the recording
// has got. The thread that starts and ends a recording and the player thread that feeds it
// share one recorder; a recorder belongs to one playback.

#include "core/record/PlayerThreadClock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kinovex {

// The capture period, and the rate the AVI stream is declared with (1000 / 12 = 83.3 ms).
constexpr std::uint32_t kCapturePeriodMs = 83;
constexpr int kRecordFrameRate = 12;

// Where recorded frames go: bottom-up RGB555 pictures of one size.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void AppendFrame(int width, int height, const std::uint8_t* rgb555) = 0;
    // Finishes the file; no frame follows.
    virtual void Close() = 0;
};

// The desktop's sink: an AVI file of MSVC frames at 12 per second, made at its first frame.
std::unique_ptr<FrameSink> MakeAviFrameSink(const std::string& aviPath);

class FrameRecorder {
public:
    // Starts a recording into `sink`; its first frame fixes the recording's start afresh.
    void Begin(std::unique_ptr<FrameSink> sink);
    // Closes the sink and ends the recording. Harmless without one.
    void End();
    bool IsRecording() const;

    // Milliseconds from the recording's first frame to its latest capture pass; it keeps the
    // last recording's length once that has ended.
    std::uint32_t Elapsed() const { return m_elapsed.load(std::memory_order_relaxed); }

    // The player thread's capture pass: false when no recording runs. Otherwise `draw` fills
    // the picture and the sink gets as many copies of it as bring the stream to
    // ceil(t / 83) frames after t ms: a late pass gives repeated frames, never a shorter video.
    bool Capture(PlayerClock& clock, int width, int height,
                 const std::function<const std::uint8_t*()>& draw);

private:
    mutable std::mutex m_mutex;
    std::unique_ptr<FrameSink> m_sink; // null while no recording runs
    std::uint32_t m_start = 0;         // tick of the recording's first frame
    std::uint32_t m_frames = 0;        // frames of the current recording
    std::atomic<std::uint32_t> m_elapsed{0};
};

} // namespace kinovex
