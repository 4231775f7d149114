#pragma once
// A capture system for tests: devices of the test's choosing that deliver a chosen signal.
//
// Give it to the code under test as its capture system. Each started source delivers
// `totalBytes` of the signal in whole blocks on a thread of its own (sound short of a whole
// block at the end is not delivered). By default it hands each block over as soon as the sink
// takes it: a block the sink refuses is offered again, so nothing is lost and the result does not
// depend on how busy the machine is. With `dropWhenFull` it behaves as the sound server does:
// the signal comes in pieces of `pieceBytes`, at `pace` times real time (0: at once), and a
// block the sink refuses is dropped and counted. Tests wait for WaitDelivered, never for a
// clock.

#include "platform/CaptureSource.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kinovex {

struct FakeCaptureOptions {
    // The enumeration, in order; an empty id is an entry without an id (the primary driver).
    std::vector<std::string> deviceIds{"", "fake-device-1"};
    bool failCreateDevice = false;
    bool failOpen = false;  // Open refuses the format
    bool failStart = false; // Start fails as a refused record stream
    // Fills `size` bytes of the signal starting at byte `offset` of the stream.
    std::function<void(std::uint64_t offset, std::uint8_t* out, std::size_t size)> signal;
    // Called on the source's thread before block `index` (from 0) is handed over.
    std::function<void(std::uint64_t index)> beforeBlock;
    std::uint64_t totalBytes = 0;
    bool dropWhenFull = false;
    std::uint32_t pieceBytes = 4800;
    double pace = 0;
};

class CFakeCaptureSystem : public CaptureSystem {
public:
    explicit CFakeCaptureSystem(FakeCaptureOptions options);
    ~CFakeCaptureSystem() override;

    bool Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) override;
    std::unique_ptr<CaptureSource> CreateSource(const std::string& id) override;

    // Blocks until `deliveries` started sources have delivered all of their bytes (or were
    // stopped), counting from the system's creation.
    void WaitDelivered(int deliveries = 1);

    // What the capture module did with us.
    int entriesOffered() const { return m_entriesOffered.load(); }
    std::vector<std::string> createdDeviceIds() const;
    int sourcesStarted() const { return m_sourcesStarted.load(); }
    int sourcesAlive() const { return m_sourcesAlive.load(); }
    // Whole blocks the last started source offered its sink.
    std::uint64_t offeredBlocks() const { return m_offeredBlocks.load(); }

private:
    friend class CFakeCaptureSource;

    const FakeCaptureOptions m_options;
    std::atomic<int> m_entriesOffered{0};
    std::atomic<int> m_sourcesStarted{0};
    std::atomic<int> m_sourcesAlive{0};
    std::atomic<std::uint64_t> m_offeredBlocks{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_deliveryChanged;
    int m_nDeliveriesFinished = 0;
    std::vector<std::string> m_createdIds;
};

} // namespace kinovex
