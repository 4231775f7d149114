#include "core/record/FrameRecorder.h"

#include "core/record/CAviWriter.h"

namespace kinovex {
namespace {

class AviFrameSink final : public FrameSink {
public:
    explicit AviFrameSink(const std::string& path) : m_writer(path, kCodecMSVC, kRecordFrameRate) {}
    void AppendFrame(int width, int height, const std::uint8_t* rgb555) override {
        m_writer.AppendFrame(width, height, rgb555, 16);
    }
    void Close() override { m_writer.Close(); }

private:
    CAviWriter m_writer;
};

} // namespace

std::unique_ptr<FrameSink> MakeAviFrameSink(const std::string& aviPath) {
    return std::make_unique<AviFrameSink>(aviPath);
}

void FrameRecorder::Begin(std::unique_ptr<FrameSink> sink) {
    std::lock_guard lock(m_mutex);
    if (m_sink)
        m_sink->Close();
    m_sink = std::move(sink);
    m_frames = 0;
}

void FrameRecorder::End() {
    std::lock_guard lock(m_mutex);
    if (m_sink) {
        m_sink->Close();
        m_sink.reset();
    }
}

bool FrameRecorder::IsRecording() const {
    std::lock_guard lock(m_mutex);
    return m_sink != nullptr;
}

bool FrameRecorder::Capture(PlayerClock& clock, int width, int height,
                            const std::function<const std::uint8_t*()>& draw) {
    std::lock_guard lock(m_mutex);
    if (!m_sink)
        return false;
    if (width <= 0 || height <= 0)
        return true; // no picture size: nothing can be recorded
    const std::uint8_t* picture = draw();
    // One reading of the clock for the whole pass, so that the frames written and the elapsed
    // time told always agree: ceil(elapsed / 83) frames.
    const std::uint32_t now = clock.Now();
    if (m_frames == 0) {
        m_start = now;
        m_sink->AppendFrame(width, height, picture);
        m_frames = 1;
    }
    std::int64_t behind =
        static_cast<std::int64_t>(now - m_start) - std::int64_t{kCapturePeriodMs} * m_frames;
    while (behind > 0) {
        m_sink->AppendFrame(width, height, picture);
        ++m_frames;
        behind -= kCapturePeriodMs;
    }
    m_elapsed.store(now - m_start, std::memory_order_relaxed);
    return true;
}

} // namespace kinovex
