#pragma once
// Sound capture while a movie is recorded: whatever the first capture device delivers goes
// into a WAV file.
//
// The user-interface thread opens, starts and stops a capture; a capture thread of its own
// sleeps until the capture buffer passes one of its notification positions and then moves the
// newly filled whole blocks into the file.

#include "core/record/CWavWriter.h"
#include "platform/CaptureDevice.h"
#include "platform/PlatformMessageBox.h"
#include "platform/UiEventPump.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kinovex {

// The fixed capture format: 16-bit stereo PCM at 24000 samples per second.
constexpr WaveFormat kCaptureFormat{2, 24000, 16};
// 125 ms of that format per notification, 16 notifications per (2-second) buffer.
constexpr std::uint32_t kCaptureNotifySize = 12000;
constexpr std::uint32_t kCaptureNotifyCount = 16;
constexpr std::uint32_t kCaptureBufferSize = kCaptureNotifySize * kCaptureNotifyCount;
// At most this many devices are listed; the first one is used.
constexpr int kMaxCaptureDevices = 20;

// The texts and the caption of the two problems the capture shows to the user.
constexpr const char* kCaptureInitErrorText =
    "Error initializing DirectSound.  Sample will now exit.";
constexpr const char* kCaptureNotifyErrorText =
    "Error handling DirectSound notifications. Sample will now exit.";
constexpr const char* kCaptureErrorCaption = "DirectSound Sample";

// Why a capture could not be opened.
enum class CaptureOpenError {
    None,
    NoFileName,        // an empty file name
    NoEvents,          // the system refused the capture thread's events
    ListingFailed,     // the capture system could not list its devices
    NoDevice,          // no device besides the primary driver (no sound server, among others)
    DeviceUnavailable, // the first device could not be opened (the user is told)
    BufferUnavailable, // its capture buffer could not be made
    FileUnavailable,   // the WAV file could not be made
};

class SoundCapture {
public:
    // `system` lists and opens the devices, `messages` shows the two problems, `pump` (may be
    // null) keeps the user interface going while Stop waits. All three outlive the capture.
    SoundCapture(ICaptureSystem& system, MessageBoxService& messages, CUiEventPump* pump);
    ~SoundCapture(); // stops
    SoundCapture(const SoundCapture&) = delete;
    SoundCapture& operator=(const SoundCapture&) = delete;

    // Ends any earlier capture, opens the first capture device and the WAV file `fileName`.
    // True when the capture is ready to start. With no capture device it fails without a
    // message.
    bool Open(const std::string& fileName);
    // Starts the capture thread (after ending one that still runs). Does nothing when no
    // capture is open.
    void Start();
    // Ends the capture thread, keeping the user interface responsive while it waits, and frees
    // everything. Afterwards the WAV file is closed and complete.
    void Stop();

    // What the last Open ended with, and how many devices it listed.
    CaptureOpenError LastOpenError() const { return m_lastOpenError; }
    int DeviceCount() const { return static_cast<int>(m_deviceIds.size()); }
    bool IsRunning() const { return m_thread.joinable() && !m_bThreadEnded; }

private:
    CaptureOpenError OpenCapture();
    void Free();
    void CloseWaveFile();
    bool MakeCaptureBuffer(const WaveFormat& format);
    bool DrainCaptureBuffer();
    void FinishCapture();
    void ThreadProc();
    void WaitForThread();

    ICaptureSystem& m_system;
    MessageBoxService& m_messages;
    CUiEventPump* m_pump;

    std::string m_fileName;
    std::vector<std::string> m_deviceIds;
    std::unique_ptr<ICaptureDevice> m_device;
    std::unique_ptr<ICaptureBuffer> m_buffer;
    std::unique_ptr<CEvent> m_notificationEvent; // auto-reset
    std::unique_ptr<CEvent> m_stopEvent;         // manual-reset
    std::thread m_thread;
    std::atomic<bool> m_bThreadEnded{false};
    std::unique_ptr<CWavWriter> m_waveFile;
    WaveFormat m_format{};
    std::uint32_t m_notifySize = 0;
    std::uint32_t m_bufferSize = 0;
    std::uint32_t m_nextOffset = 0;
    std::array<DSBPOSITIONNOTIFY, kCaptureNotifyCount> m_positions{};
    CaptureOpenError m_lastOpenError = CaptureOpenError::None;
};

} // namespace kinovex
