#pragma once
// Sound capture while a movie is recorded: whatever the first capture device delivers goes
// into a WAV file.
//
// The user-interface thread opens, starts and stops a capture. The capture source hands whole
// blocks to the capture on the source's thread; the capture queues them, and a writer thread of
// its own moves them into the file, so the source never waits for the disk. Only the writer
// thread writes the file while the capture runs; the user-interface thread closes it after that
// thread has ended.

#include "core/record/CWavWriter.h"
#include "platform/CaptureSource.h"
#include "platform/PlatformMessageBox.h"
#include "platform/UiEventPump.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kinovex {

// The fixed capture format: 16-bit stereo PCM at 24000 samples per second.
constexpr WaveFormat kCaptureFormat{2, 24000, 16};
// The sound goes to the file in blocks of 125 ms; at most 16 blocks (2 seconds) wait for the
// writer thread, more are lost as an overrun.
constexpr std::uint32_t kCaptureBlockBytes = kCaptureFormat.bytesPerSecond() / 8;
constexpr std::uint32_t kCaptureQueueBlocks = 16;
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
    ListingFailed,     // the capture system could not list its devices
    NoDevice,          // no device besides the primary driver (no sound server, among others)
    DeviceUnavailable, // the first device could not be opened (the user is told)
    FormatRefused,     // the device cannot deliver the capture format in blocks
    FileUnavailable,   // the WAV file could not be made
};

// Whole blocks between one producer thread and one consumer thread, in a fixed number of slots
// made once. Push never waits: with every slot taken it refuses the block.
class BlockQueue {
public:
    BlockQueue(std::uint32_t blockBytes, std::uint32_t slots);

    // False when the block does not have the queue's size, every slot is taken or the queue is
    // closed.
    bool Push(std::span<const std::uint8_t> block);
    // Waits for the oldest block and swaps it into `block`. False once the queue is closed and
    // empty.
    bool Pop(std::vector<std::uint8_t>& block);
    // Refuses further blocks; Pop hands out those already queued, then returns false.
    void Close();
    // Empties the queue and accepts blocks again.
    void Reopen();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::vector<std::uint8_t>> m_slots;
    std::size_t m_first = 0;
    std::size_t m_count = 0;
    bool m_bClosed = true;
};

class SoundCapture : private BlockSink {
public:
    // `system` lists and opens the devices, `messages` shows the two problems, `pump` (may be
    // null) keeps the user interface going while Stop waits. All three outlive the capture.
    SoundCapture(CaptureSystem& system, MessageBoxService& messages, CUiEventPump* pump);
    ~SoundCapture() override; // stops
    SoundCapture(const SoundCapture&) = delete;
    SoundCapture& operator=(const SoundCapture&) = delete;

    // Ends any earlier capture, opens the first capture device and the WAV file `fileName`.
    // True when the capture is ready to start. With no capture device it fails without a
    // message.
    bool Open(const std::string& fileName);
    // Starts the writer thread and the source (after ending a capture that still runs). Without
    // an open capture it starts nothing (NotOpen). When the source does not start, the file is
    // finished empty and the error is returned; the recording goes on without sound.
    CaptureError Start();
    // Stops the source, lets the writer thread write what is queued, keeping the user interface
    // responsive while it waits, and frees everything. Afterwards the WAV file is closed and
    // complete.
    void Stop();

    // What the last Open ended with, and how many devices it listed.
    CaptureOpenError LastOpenError() const { return m_lastOpenError; }
    int DeviceCount() const { return static_cast<int>(m_deviceIds.size()); }
    bool IsRunning() const { return m_thread.joinable() && !m_bThreadEnded; }
    // Blocks lost to an overrun since the capture was opened.
    std::uint64_t DroppedBlocks() const {
        return m_source ? m_source->DroppedBlocks() : m_droppedBlocks;
    }

private:
    bool OnBlock(std::span<const std::uint8_t> block) override { return m_queue.Push(block); }
    CaptureOpenError OpenCapture();
    void Free();
    void CloseWaveFile();
    void WriterProc();
    void EndThread();

    CaptureSystem& m_system;
    MessageBoxService& m_messages;
    CUiEventPump* m_pump;

    std::string m_fileName;
    std::vector<std::string> m_deviceIds;
    std::unique_ptr<CaptureSource> m_source;
    BlockQueue m_queue{kCaptureBlockBytes, kCaptureQueueBlocks};
    std::thread m_thread;
    std::atomic<bool> m_bThreadEnded{false};
    std::unique_ptr<CWavWriter> m_waveFile;
    CaptureOpenError m_lastOpenError = CaptureOpenError::None;
    std::uint64_t m_droppedBlocks = 0; // of the last capture, once its source is gone
};

} // namespace kinovex
