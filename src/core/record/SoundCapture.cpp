#include "core/record/SoundCapture.h"

namespace kinovex {

SoundCapture::SoundCapture(ICaptureSystem& system, MessageBoxService& messages, CUiEventPump* pump)
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
    m_notificationEvent.reset();
    m_stopEvent.reset();
    m_deviceIds.clear();
    CloseWaveFile();
    m_buffer.reset();
    m_device.reset();
}

bool SoundCapture::MakeCaptureBuffer(const WaveFormat& format) {
    m_buffer.reset();
    if (format.blockAlign() == 0 || !m_device)
        return false;

    m_notifySize = format.bytesPerSecond() >= 8192 ? format.bytesPerSecond() / 8 : 1024;
    m_notifySize -= m_notifySize % format.blockAlign();
    m_bufferSize = m_notifySize * kCaptureNotifyCount;

    DSCBUFFERDESC desc;
    desc.dwFlags = 0;
    desc.dwBufferBytes = m_bufferSize;
    desc.lpwfxFormat = &format;
    bool result = m_device->CreateCaptureBuffer(desc, &m_buffer);
    if (!result || !m_buffer) {
        m_buffer.reset();
        return false;
    }
    m_nextOffset = 0;

    for (std::uint32_t i = 0; i < kCaptureNotifyCount; ++i)
        m_positions[i] = {m_notifySize * (i + 1) - 1, m_notificationEvent.get()};
    return m_buffer->SetNotificationPositions(m_positions);
}

bool SoundCapture::DrainCaptureBuffer() {
    if (!m_buffer || !m_waveFile)
        return true;
    std::uint32_t readPosition = 0;
    bool result = m_buffer->GetCurrentPosition(nullptr, &readPosition);
    if (!result)
        return result;

    std::int64_t lockSize = static_cast<std::int64_t>(readPosition) - m_nextOffset;
    if (lockSize < 0)
        lockSize += m_bufferSize;
    // Whole blocks only: the rest follows with the next notification.
    lockSize -= lockSize % m_notifySize;
    if (lockSize == 0)
        return true;

    void* part1 = nullptr;
    void* part2 = nullptr;
    std::uint32_t size1 = 0;
    std::uint32_t size2 = 0;
    result = m_buffer->Lock(m_nextOffset, static_cast<std::uint32_t>(lockSize), &part1, &size1,
                            &part2, &size2);
    if (!result)
        return result;

    std::uint32_t written = 0;
    result = m_waveFile->Write(size1, part1, &written);
    if (result) {
        m_nextOffset = (m_nextOffset + size1) % m_bufferSize;
        if (part2 != nullptr && size2 > 0) {
            result = m_waveFile->Write(size2, part2, &written);
            if (result)
                m_nextOffset = (m_nextOffset + size2) % m_bufferSize;
        }
    }
    const bool unlocked = m_buffer->Unlock(part1, size1, part2, size2);
    if (!result)
        return result;
    return unlocked;
}

// Stopping: stop the buffer, take the whole blocks still pending and finish the file. When a
// step fails, Free closes the file later.
void SoundCapture::FinishCapture() {
    if (!m_buffer)
        return;
    if (!m_buffer->Stop())
        return;
    if (!DrainCaptureBuffer())
        return;
    CloseWaveFile();
}

void SoundCapture::ThreadProc() {
    if (MakeCaptureBuffer(m_format))
        m_buffer->Start(DSCBSTART_LOOPING);
    for (;;) {
        const int signalled = WaitForEvents({m_notificationEvent.get(), m_stopEvent.get()});
        if (signalled == 0) {
            if (DrainCaptureBuffer())
                continue;
            m_messages.Show(kCaptureNotifyErrorText, kCaptureErrorCaption, MessageBoxIcon::Error);
        }
        // The stop event, or a wait that cannot work: end the capture either way.
        FinishCapture();
        break;
    }
    m_bThreadEnded = true;
    if (m_pump != nullptr)
        m_pump->Wake();
}

void SoundCapture::WaitForThread() {
    if (!m_thread.joinable())
        return;
    // The user interface keeps handling its events until the thread is gone. Unlike a wait
    // that gives up when the application quits, this one always sees the thread end: the
    // thread uses the capture's state until its last step.
    if (m_pump != nullptr)
        m_pump->ProcessEventsUntil([this] { return m_bThreadEnded.load(); });
    m_thread.join();
}

CaptureOpenError SoundCapture::OpenCapture() {
    Stop();
    // Whatever fails, nothing of the capture is kept.
    const auto fail = [this](CaptureOpenError error) {
        Free();
        return error;
    };

    m_notificationEvent = std::make_unique<CEvent>(false);
    m_stopEvent = std::make_unique<CEvent>(true);
    if (!m_notificationEvent->IsValid() || !m_stopEvent->IsValid())
        return fail(CaptureOpenError::NoEvents);

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

    if (!m_system.CreateDevice(m_deviceIds[0], &m_device) || !m_device) {
        m_messages.Show(kCaptureInitErrorText, kCaptureErrorCaption, MessageBoxIcon::Error);
        return fail(CaptureOpenError::DeviceUnavailable);
    }

    m_format = kCaptureFormat;
    if (!MakeCaptureBuffer(m_format))
        return fail(CaptureOpenError::BufferUnavailable);

    m_waveFile = std::make_unique<CWavWriter>();
    if (!m_waveFile->Open(m_fileName, m_buffer->GetFormat()))
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

void SoundCapture::Start() {
    if (m_thread.joinable()) {
        if (m_stopEvent)
            m_stopEvent->Set();
        WaitForThread();
    }
    // Without an open capture there is nothing to wait for: a thread would never wake.
    if (!m_stopEvent || !m_notificationEvent || !m_device)
        return;
    // A stop left over from an earlier thread must not end the new one at once.
    m_stopEvent->Reset();
    m_bThreadEnded = false;
    m_thread = std::thread(&SoundCapture::ThreadProc, this);
}

void SoundCapture::Stop() {
    if (m_thread.joinable()) {
        if (m_stopEvent)
            m_stopEvent->Set();
        WaitForThread();
    }
    Free();
}

} // namespace kinovex
