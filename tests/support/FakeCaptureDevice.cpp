#include "FakeCaptureDevice.h"

#include <chrono>

namespace kinovex {

class CFakeCaptureSource : public CaptureSource, private BlockSink {
public:
    explicit CFakeCaptureSource(CFakeCaptureSystem& system) : m_system(system) {
        ++m_system.m_sourcesAlive;
    }
    ~CFakeCaptureSource() override {
        Stop();
        --m_system.m_sourcesAlive;
    }

    CaptureError Open(const WaveFormat& format, std::uint32_t blockBytes,
                      BlockSink& sink) override {
        Stop();
        if (m_system.m_options.failOpen || blockBytes == 0 || format.blockAlign() == 0 ||
            blockBytes % format.blockAlign() != 0)
            return CaptureError::BadFormat;
        m_format = format;
        m_sink = &sink;
        m_assembler = std::make_unique<BlockAssembler>(blockBytes, static_cast<BlockSink&>(*this));
        m_blockBytes = blockBytes;
        return CaptureError::None;
    }

    CaptureError Start() override {
        if (m_sink == nullptr)
            return CaptureError::NotOpen;
        if (m_system.m_options.failStart)
            return CaptureError::StreamRefused;
        if (m_producer.joinable())
            return CaptureError::None;
        ++m_system.m_sourcesStarted;
        m_system.m_offeredBlocks = 0;
        m_bStop = false;
        m_producer = std::thread([this] { Deliver(); });
        return CaptureError::None;
    }

    void Stop() override {
        if (!m_producer.joinable())
            return;
        m_bStop = true;
        m_producer.join();
    }

    std::uint64_t DroppedBlocks() const override {
        return m_assembler ? m_assembler->Dropped() : 0;
    }

private:
    // Every block passes here on its way to the real sink.
    bool OnBlock(std::span<const std::uint8_t> block) override {
        const auto& options = m_system.m_options;
        if (options.beforeBlock)
            options.beforeBlock(m_system.m_offeredBlocks.load());
        ++m_system.m_offeredBlocks;
        if (options.dropWhenFull)
            return m_sink->OnBlock(block);
        // Offered again until taken; a capture that ends meanwhile neither keeps nor drops it.
        while (!m_sink->OnBlock(block) && !m_bStop)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return true;
    }

    void Deliver() {
        const auto& options = m_system.m_options;
        // A lossless source offers one block at a time; a real-time one the server's pieces.
        const std::size_t pieceBytes = options.dropWhenFull ? options.pieceBytes : m_blockBytes;
        std::vector<std::uint8_t> piece(pieceBytes);
        const auto started = std::chrono::steady_clock::now();
        std::uint64_t offset = 0;
        m_assembler->Reset();
        while (offset < options.totalBytes && !m_bStop) {
            const std::size_t size = static_cast<std::size_t>(
                std::min<std::uint64_t>(piece.size(), options.totalBytes - offset));
            if (options.pace > 0)
                std::this_thread::sleep_until(
                    started +
                    std::chrono::duration<double>(static_cast<double>(offset) /
                                                  (m_format.bytesPerSecond() * options.pace)));
            if (options.signal)
                options.signal(offset, piece.data(), size);
            m_assembler->Append(options.signal ? piece.data() : nullptr, size);
            offset += size;
        }
        std::lock_guard lock(m_system.m_mutex);
        ++m_system.m_nDeliveriesFinished;
        m_system.m_deliveryChanged.notify_all();
    }

    CFakeCaptureSystem& m_system;
    WaveFormat m_format;
    BlockSink* m_sink = nullptr;
    std::unique_ptr<BlockAssembler> m_assembler;
    std::uint32_t m_blockBytes = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_producer;
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

std::unique_ptr<CaptureSource> CFakeCaptureSystem::CreateSource(const std::string& id) {
    {
        std::lock_guard lock(m_mutex);
        m_createdIds.push_back(id);
    }
    if (m_options.failCreateDevice)
        return nullptr;
    return std::make_unique<CFakeCaptureSource>(*this);
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
