#pragma once
// Sound capture: what the recorder needs from a sound card's recording side.
//
// A capture system lists its devices and opens one as a capture source. A started source hands
// the captured sound to its sink in whole blocks, in order, on a thread of its own. A source
// that is fed in real time (the sound server) never waits for its sink: a block the sink has no
// room for is dropped and counted, as an overrun on a sound card loses sound. The PulseAudio
// source feeds the sink from a record stream; the fake one, for tests, from a signal of the
// test's choosing.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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

// What went wrong in a capture source or the capture that uses it.
enum class CaptureError {
    None,
    BadFormat,     // a format or block size the source cannot deliver
    NotOpen,       // Start before Open
    StreamRefused, // the sound server did not set up the record stream
};

// A short English text for logs and messages.
const char* CaptureErrorText(CaptureError error);

// One capture device as the enumeration lists it. The first entry normally stands for the
// primary driver and has no id.
struct CaptureDeviceEntry {
    std::string id;
    std::string description;
};

// Where a source's blocks go.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    // One whole block, on the source's thread; the bytes are valid during the call only. False
    // when the sink has no room for it: the source then drops the block. Must not wait.
    virtual bool OnBlock(std::span<const std::uint8_t> block) = 0;
};

class CaptureSource {
public:
    virtual ~CaptureSource() = default; // implementations stop first
    // Sets the format, the block size (whole sample frames) and the sink, which outlives every
    // call of it. Only while stopped.
    virtual CaptureError Open(const WaveFormat& format, std::uint32_t blockBytes,
                              BlockSink& sink) = 0;
    virtual CaptureError Start() = 0;
    // Ends the capture. When Stop returns the sink is no longer being called and will not be
    // again; sound short of a whole block is discarded. Harmless when not started.
    virtual void Stop() = 0;
    // Blocks the sink refused since Open.
    virtual std::uint64_t DroppedBlocks() const = 0;
};

// A source of capture devices: the sound server, or a fake.
class CaptureSystem {
public:
    virtual ~CaptureSystem() = default;
    // Calls `callback` for each device in order until it returns false. False when the devices
    // could not be listed.
    virtual bool Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) = 0;
    // The device `id` as a source; null when it cannot be opened.
    virtual std::unique_ptr<CaptureSource> CreateSource(const std::string& id) = 0;
};

// Cuts captured sound, in pieces of any size, into whole blocks for a sink and counts the
// blocks the sink refuses. For the sources, on their capture thread.
class BlockAssembler {
public:
    BlockAssembler(std::uint32_t blockBytes, BlockSink& sink);
    // Appends `size` captured bytes; null `data` appends silence (sound the server lost, whose
    // time still passes).
    void Append(const std::uint8_t* data, std::size_t size);
    // Forgets a partly filled block.
    void Reset() { m_filled = 0; }
    // Safe from any thread.
    std::uint64_t Dropped() const { return m_dropped.load(); }

private:
    std::vector<std::uint8_t> m_block;
    std::size_t m_filled = 0;
    BlockSink& m_sink;
    std::atomic<std::uint64_t> m_dropped{0};
};

} // namespace kinovex
