#pragma once
// A capture system for tests: devices of the test's choosing that deliver a chosen signal.
//
// Give it to the code under test as its capture system. Each started buffer delivers `totalBytes`
// of the signal in pieces of `pieceBytes`, either as fast as the consumer takes it (pace 0: the
// consumer is never lapped, so the result does not depend on how busy the machine is) or at `pace`
// times real time. Tests wait for WaitDelivered, never for a clock.

#include "platform/CaptureDevice.h"

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
    bool failCreateBuffer = false;
    bool failLock = false;
    // Fills `size` bytes of the signal starting at byte `offset` of the stream.
    std::function<void(std::uint64_t offset, std::uint8_t* out, std::size_t size)> signal;
    std::uint64_t totalBytes = 0;
    std::uint32_t pieceBytes = 4800;
    double pace = 0;
};

class CFakeCaptureSystem : public ICaptureSystem {
public:
    explicit CFakeCaptureSystem(FakeCaptureOptions options);
    ~CFakeCaptureSystem() override;

    bool Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) override;
    bool CreateDevice(const std::string& id, std::unique_ptr<ICaptureDevice>* device) override;

    // Blocks until `deliveries` started buffers have delivered all of their bytes (or were
    // stopped), counting from the system's creation.
    void WaitDelivered(int deliveries = 1);

    // What the capture module did with us.
    int entriesOffered() const { return m_entriesOffered.load(); }
    std::vector<std::string> createdDeviceIds() const;
    int buffersCreated() const { return m_buffersCreated.load(); }
    int buffersStarted() const { return m_buffersStarted.load(); }
    int buffersStopped() const { return m_buffersStopped.load(); }
    int buffersAlive() const { return m_buffersAlive.load(); }
    int devicesAlive() const { return m_devicesAlive.load(); }
    // Position queries and notification blocks of the last started buffer.
    std::uint64_t positionQueries() const { return m_positionQueries.load(); }
    std::uint64_t deliveredBytes() const { return m_deliveredBytes.load(); }

private:
    friend class CFakeCaptureDevice;
    friend class CFakeCaptureBuffer;

    const FakeCaptureOptions m_options;
    std::atomic<int> m_entriesOffered{0};
    std::atomic<int> m_buffersCreated{0};
    std::atomic<int> m_buffersStarted{0};
    std::atomic<int> m_buffersStopped{0};
    std::atomic<int> m_buffersAlive{0};
    std::atomic<int> m_devicesAlive{0};
    std::atomic<std::uint64_t> m_positionQueries{0};
    std::atomic<std::uint64_t> m_deliveredBytes{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_deliveryChanged;
    int m_nDeliveriesFinished = 0;
    std::vector<std::string> m_createdIds;
};

} // namespace kinovex
