#include "core/record/SoundCapture.h"

#include <algorithm>

namespace kinovex {

BlockQueue::BlockQueue(std::uint32_t blockBytes, std::uint32_t slots)
    : m_slots(slots, std::vector<std::uint8_t>(blockBytes)) {}

bool BlockQueue::Push(std::span<const std::uint8_t> block) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bClosed || m_count == m_slots.size() || block.size() != m_slots[0].size())
            return false;
        auto& slot = m_slots[(m_first + m_count) % m_slots.size()];
        std::copy(block.begin(), block.end(), slot.begin());
        ++m_count;
    }
    m_changed.notify_one();
    return true;
}

bool BlockQueue::Pop(std::vector<std::uint8_t>& block) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_count > 0 || m_bClosed; });
    if (m_count == 0)
        return false;
    // The slot takes the caller's buffer in exchange, so no block is ever allocated here.
    block.resize(m_slots[m_first].size());
    std::swap(block, m_slots[m_first]);
    m_first = (m_first + 1) % m_slots.size();
    --m_count;
    return true;
}

void BlockQueue::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_bClosed = true;
    }
    m_changed.notify_all();
}

void BlockQueue::Reopen() {
    std::lock_guard lock(m_mutex);
    m_first = 0;
    m_count = 0;
    m_bClosed = false;
}

SoundCapture::SoundCapture(CaptureSystem& system, MessageBoxService& messages, CUiEventPump* pump)
    : m_system(system), m_messages(messages), m_pump(pump) {}

SoundCapture::~SoundCapture() {
    Stop();
}

void SoundCapture::CloseWaveFile() {
    if (m_waveFile) {
        m_waveFile->Close();
        m_waveFile.reset();
    }
}

void SoundCapture::Free() {
    if (m_source) {
        m_source->Stop();
        m_droppedBlocks = m_source->DroppedBlocks();
    }
    m_deviceIds.clear();
    CloseWaveFile();
    m_source.reset();
}

// The writer thread: every queued block goes into the file, in order, until the queue is
// closed and empty. A file that refuses a block ends the thread; the rest of the sound is lost.
void SoundCapture::WriterProc() {
    std::vector<std::uint8_t> block;
    while (m_queue.Pop(block)) {
        std::uint32_t written = 0;
        if (!m_waveFile->Write(static_cast<std::uint32_t>(block.size()), block.data(), &written)) {
            m_messages.Show(kCaptureNotifyErrorText, kCaptureErrorCaption, MessageBoxIcon::Error);
            break;
        }
    }
    m_bThreadEnded = true;
    if (m_pump != nullptr)
        m_pump->Wake();
}

// Stops the source, so that no block is in flight, then lets the writer thread finish the
// queue and waits for it.
void SoundCapture::EndThread() {
    if (m_source)
        m_source->Stop();
    m_queue.Close();
    if (!m_thread.joinable())
        return;
    // The user interface keeps handling its events until the thread is gone. Unlike a wait
    // that gives up when the application quits, this one always sees the thread end: the
    // thread uses the capture's file until its last step.
    if (m_pump != nullptr)
        m_pump->ProcessEventsUntil([this] { return m_bThreadEnded.load(); });
    m_thread.join();
}

CaptureOpenError SoundCapture::OpenCapture() {
    Stop();
    m_droppedBlocks = 0;
    // Whatever fails, nothing of the capture is kept.
    const auto fail = [this](CaptureOpenError error) {
        Free();
        return error;
    };

    // The entry without an id is the primary driver, which stands for another device: skip it.
    const bool listed = m_system.Enumerate([this](const CaptureDeviceEntry& entry) {
        if (!entry.id.empty() && m_deviceIds.size() < kMaxCaptureDevices)
            m_deviceIds.push_back(entry.id);
        return true;
    });
    if (!listed)
        return fail(CaptureOpenError::ListingFailed);
    if (m_deviceIds.empty())
        return fail(CaptureOpenError::NoDevice);

    m_source = m_system.CreateSource(m_deviceIds[0]);
    if (!m_source) {
        m_messages.Show(kCaptureInitErrorText, kCaptureErrorCaption, MessageBoxIcon::Error);
        return fail(CaptureOpenError::DeviceUnavailable);
    }
    if (m_source->Open(kCaptureFormat, kCaptureBlockBytes, *this) != CaptureError::None)
        return fail(CaptureOpenError::FormatRefused);

    m_waveFile = std::make_unique<CWavWriter>();
    if (!m_waveFile->Open(m_fileName, kCaptureFormat))
        return fail(CaptureOpenError::FileUnavailable);
    return CaptureOpenError::None;
}

bool SoundCapture::Open(const std::string& fileName) {
    if (fileName.empty()) {
        m_lastOpenError = CaptureOpenError::NoFileName;
        return false;
    }
    m_fileName = fileName;
    m_lastOpenError = OpenCapture();
    return m_lastOpenError == CaptureOpenError::None;
}

CaptureError SoundCapture::Start() {
    if (m_thread.joinable()) {
        EndThread();
        CloseWaveFile(); // a capture ends with its file
    }
    if (!m_source || !m_waveFile)
        return CaptureError::NotOpen;
    // The writer runs before the first block can come.
    m_queue.Reopen();
    m_bThreadEnded = false;
    m_thread = std::thread(&SoundCapture::WriterProc, this);
    const CaptureError started = m_source->Start();
    if (started != CaptureError::None) {
        EndThread();
        CloseWaveFile();
    }
    return started;
}

void SoundCapture::Stop() {
    EndThread();
    Free();
}

} // namespace kinovex
