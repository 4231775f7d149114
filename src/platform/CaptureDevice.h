#pragma once
// Sound capture devices: what the recorder needs from a sound card's recording side.
//
// The capture module works the way it always did with the system's capture API: it lists the
// devices, opens the first, creates a looping capture buffer with notification positions,
// starts it and moves each newly filled block out under Lock/Unlock. This layer offers exactly
// that. The PulseAudio implementation feeds the loop from a record stream; the fake one, for
// tests, from a signal of the test's choosing.

#include "platform/SyncEvent.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kinovex {

// Linear PCM, little-endian.
struct WaveFormat {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0; // sample frames per second
    std::uint16_t bits = 0; // per sample

    // Bytes of one sample frame (every channel's sample) and of one second.
    constexpr std::uint16_t blockAlign() const {
        return static_cast<std::uint16_t>(channels * (bits / 8));
    }
    constexpr std::uint32_t bytesPerSecond() const { return rate * blockAlign(); }
    bool operator==(const WaveFormat&) const = default;
};

// The format as a WAV file's "fmt " chunk holds it: format tag 1 (PCM), channels, rate, bytes
// per second, block align, bits per sample and an extra size of 0, each little-endian. A PCM
// file stores the first 16 of these bytes.
std::array<std::uint8_t, 18> FmtChunkBytes(const WaveFormat& format);

// One capture device as the enumeration lists it. The first entry normally stands for the
// primary driver and has no id.
struct CaptureDeviceEntry {
    std::string id;
    std::string description;
};

// A notification position: `hEventNotify` is set each time capture passes byte `dwOffset`.
struct DSBPOSITIONNOTIFY {
    std::uint32_t dwOffset;
    CEvent* hEventNotify;
};

struct DSCBUFFERDESC {
    std::uint32_t dwSize = 28; // bytes of the descriptor with its effect fields, as callers check
    std::uint32_t dwFlags = 0;
    std::uint32_t dwBufferBytes = 0;
    const WaveFormat* lpwfxFormat = nullptr;
};

constexpr std::uint32_t DSCBSTART_LOOPING = 1;

// A looping capture buffer. Not for concurrent use by several consumer threads; the producer
// (the sound server or the fake) runs on its own thread and is synchronised internally.
class ICaptureBuffer {
public:
    virtual ~ICaptureBuffer() = default;
    // The buffer's actual format.
    virtual WaveFormat GetFormat() const = 0;
    virtual bool SetNotificationPositions(std::span<const DSBPOSITIONNOTIFY> positions) = 0;
    virtual bool Start(std::uint32_t flags) = 0;
    virtual bool Stop() = 0;
    // Offsets in the buffer: where capture writes next, and up to where data is complete.
    virtual bool GetCurrentPosition(std::uint32_t* capturePosition,
                                    std::uint32_t* readPosition) = 0;
    // Gives access to `bytes` bytes from `offset`, as one part or, when the region wraps, two.
    virtual bool Lock(std::uint32_t offset, std::uint32_t bytes, void** part1, std::uint32_t* size1,
                      void** part2, std::uint32_t* size2) = 0;
    virtual bool Unlock(void* part1, std::uint32_t size1, void* part2, std::uint32_t size2) = 0;
};

class ICaptureDevice {
public:
    virtual ~ICaptureDevice() = default;
    // Every buffer must be destroyed before the device that made it.
    virtual bool CreateCaptureBuffer(const DSCBUFFERDESC& desc,
                                     std::unique_ptr<ICaptureBuffer>* buffer) = 0;
};

// A source of capture devices: the sound server, or a fake.
class ICaptureSystem {
public:
    virtual ~ICaptureSystem() = default;
    // Calls `callback` for each device in order until it returns false.
    virtual bool Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) = 0;
    virtual bool CreateDevice(const std::string& id, std::unique_ptr<ICaptureDevice>* device) = 0;
};

// The looping buffer shared by the implementations: a producer thread calls Produce with each
// piece of captured sound; the consumer reads whole regions under Lock. Bytes of a region that
// is locked are never overwritten while it is locked (a producer that laps the consumer loses
// that piece of sound instead, as an overrun on a sound card would).
class CLoopingCaptureBuffer : public ICaptureBuffer {
public:
    CLoopingCaptureBuffer(const WaveFormat& format, std::uint32_t bufferBytes);

    WaveFormat GetFormat() const override { return m_format; }
    bool SetNotificationPositions(std::span<const DSBPOSITIONNOTIFY> positions) override;
    bool GetCurrentPosition(std::uint32_t* capturePosition, std::uint32_t* readPosition) override;
    bool Lock(std::uint32_t offset, std::uint32_t bytes, void** part1, std::uint32_t* size1,
              void** part2, std::uint32_t* size2) override;
    bool Unlock(void* part1, std::uint32_t size1, void* part2, std::uint32_t size2) override;

    std::uint32_t bufferBytes() const { return static_cast<std::uint32_t>(m_buffer.size()); }
    // Bytes captured since the buffer was created, and bytes handed back through Unlock.
    std::uint64_t producedBytes() const;
    std::uint64_t consumedBytes() const;
    // How often the consumer asked for the position: a consumer that sleeps between
    // notifications asks about once per notification.
    std::uint64_t positionQueries() const;

protected:
    // Appends captured bytes at the capture position, setting the events of the positions
    // passed. Null `data` appends silence.
    void Produce(const std::uint8_t* data, std::size_t size);
    // Blocks until at most `limit` captured bytes are not yet handed back, or `stop` is true.
    // For producers that must not lap the consumer (the fake device).
    void WaitForRoom(std::uint64_t limit, const std::function<bool()>& stop);
    // Wakes WaitForRoom so it re-checks `stop`.
    void WakeProducer();

private:
    WaveFormat m_format;
    std::vector<std::uint8_t> m_buffer;
    mutable std::mutex m_mutex;
    std::condition_variable m_roomChanged;
    std::vector<DSBPOSITIONNOTIFY> m_positions;
    std::uint64_t m_produced = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_positionQueries = 0;
    bool m_bLocked = false;
    std::uint32_t m_lockOffset = 0;
    std::uint32_t m_lockBytes = 0;
};

} // namespace kinovex
