#pragma once
// Sound capture while a movie is recorded: whatever the selected recording input delivers goes
// into a WAV file.
//
// A module of free functions over module-level state, so at most one capture exists at a time.
// The user-interface thread opens, starts and stops it; a capture thread of its own sleeps
// until the capture buffer passes one of its notification positions and then moves the newly
// filled whole blocks into the file.

#include "platform/CaptureDevice.h"
#include "platform/HResult.h"

#include <cstdint>
#include <string>

namespace kinovex {

// The fixed capture format: 16-bit stereo PCM at 24000 samples per second.
constexpr WAVEFORMATEX kCaptureFormat{WAVE_FORMAT_PCM, 2, 24000, 96000, 4, 16, 0};
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

// Ends any earlier capture, opens the first capture device and the WAV file `fileName`.
// True when the capture is ready to start. With no capture device it fails without a message.
bool OpenSoundCapture(const std::string& fileName);
// Starts the capture thread (after ending one that still runs). Does nothing when no capture
// is open.
void StartCaptureThread();
// Ends the capture thread, keeping the user interface responsive while it waits, and frees
// everything. Afterwards the WAV file is closed and complete.
void StopSoundCapture();

// What the last OpenSoundCapture ended with, and how many devices it listed (for tests and
// the log).
HRESULT LastSoundCaptureResult();
int CaptureDeviceCount();
bool IsCaptureThreadRunning();

} // namespace kinovex
