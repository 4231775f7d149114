#include "FakeCaptureDevice.h"

#include <chrono>

namespace kinovex {

class CFakeCaptureBuffer : public CLoopingCaptureBuffer {
public:
    CFakeCaptureBuffer(CFakeCaptureSystem& system, const WaveFormat& format,
                       std::uint32_t bufferBytes)
        : CLoopingCaptureBuffer(format, bufferBytes), m_system(system),
          m_dBytesPerSecond(format.bytesPerSecond()) {
        ++m_system.m_buffersCreated;
        ++m_system.m_buffersAlive;
    }

    ~CFakeCaptureBuffer() override {
        Stop();
        --m_system.m_buffersAlive;
    }

    bool Start(std::uint32_t /*flags*/) override {
        if (m_producer.joinable())
            return true;
        ++m_system.m_buffersStarted;
        m_system.m_deliveredBytes = 0;
        m_system.m_positionQueries = 0;
        m_bStop = false;
        m_producer = std::thread([this] { Deliver(); });
        return true;
    }

    bool Stop() override {
        if (!m_producer.joinable())
            return true;
        m_bStop = true;
        WakeProducer();
        m_producer.join();
        ++m_system.m_buffersStopped;
        return true;
    }

    bool GetCurrentPosition(std::uint32_t* capturePosition, std::uint32_t* readPosition) override {
        ++m_system.m_positionQueries;
        return CLoopingCaptureBuffer::GetCurrentPosition(capturePosition, readPosition);
    }

    bool Lock(std::uint32_t offset, std::uint32_t bytes, void** part1, std::uint32_t* size1,
              void** part2, std::uint32_t* size2) override {
        if (m_system.m_options.failLock)
            return false;
        return CLoopingCaptureBuffer::Lock(offset, bytes, part1, size1, part2, size2);
    }

private:
    void Deliver() {
        const auto& options = m_system.m_options;
        std::vector<std::uint8_t> piece(options.pieceBytes);
        const auto started = std::chrono::steady_clock::now();
        std::uint64_t offset = 0;
        const auto stop = [this] { return m_bStop.load(); };
        while (offset < options.totalBytes && !m_bStop) {
            const std::size_t size = static_cast<std::size_t>(
                std::min<std::uint64_t>(piece.size(), options.totalBytes - offset));
            if (options.pace > 0) {
                const auto due =
                    started + std::chrono::duration<double>(static_cast<double>(offset) /
                                                            (m_dBytesPerSecond * options.pace));
                std::this_thread::sleep_until(due);
            } else {
                // Leave at least one byte free: a full loop would read as an empty one.
                WaitForRoom(bufferBytes() - 1 - size, stop);
                if (m_bStop)
                    break;
            }
            if (options.signal)
                options.signal(offset, piece.data(), size);
            Produce(options.signal ? piece.data() : nullptr, size);
            offset += size;
            m_system.m_deliveredBytes = offset;
        }
        std::lock_guard lock(m_system.m_mutex);
        ++m_system.m_nDeliveriesFinished;
        m_system.m_deliveryChanged.notify_all();
    }

    CFakeCaptureSystem& m_system;
    double m_dBytesPerSecond;
    std::atomic<bool> m_bStop{false};
    std::thread m_producer;
};

class CFakeCaptureDevice : public ICaptureDevice {
public:
    explicit CFakeCaptureDevice(CFakeCaptureSystem& system) : m_system(system) {
        ++m_system.m_devicesAlive;
    }
    ~CFakeCaptureDevice() override { --m_system.m_devicesAlive; }

    bool CreateCaptureBuffer(const DSCBUFFERDESC& desc,
                             std::unique_ptr<ICaptureBuffer>* buffer) override {
        if (m_system.m_options.failCreateBuffer)
            return false;
        if (buffer == nullptr || desc.lpwfxFormat == nullptr || desc.dwBufferBytes == 0)
            return false;
        *buffer =
            std::make_unique<CFakeCaptureBuffer>(m_system, *desc.lpwfxFormat, desc.dwBufferBytes);
        return true;
    }

private:
    CFakeCaptureSystem& m_system;
};

CFakeCaptureSystem::CFakeCaptureSystem(FakeCaptureOptions options)
    : m_options(std::move(options)) {}

CFakeCaptureSystem::~CFakeCaptureSystem() = default;

bool CFakeCaptureSystem::Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) {
    for (const auto& id : m_options.deviceIds) {
        ++m_entriesOffered;
        if (!callback({id, id.empty() ? "Primary Sound Capture Driver" : id}))
            break;
    }
    return true;
}

bool CFakeCaptureSystem::CreateDevice(const std::string& id,
                                      std::unique_ptr<ICaptureDevice>* device) {
    {
        std::lock_guard lock(m_mutex);
        m_createdIds.push_back(id);
    }
    if (m_options.failCreateDevice || device == nullptr)
        return false;
    *device = std::make_unique<CFakeCaptureDevice>(*this);
    return true;
}

void CFakeCaptureSystem::WaitDelivered(int deliveries) {
    std::unique_lock lock(m_mutex);
    m_deliveryChanged.wait(lock, [&] { return m_nDeliveriesFinished >= deliveries; });
}

std::vector<std::string> CFakeCaptureSystem::createdDeviceIds() const {
    std::lock_guard lock(m_mutex);
    return m_createdIds;
}

} // namespace kinovex
