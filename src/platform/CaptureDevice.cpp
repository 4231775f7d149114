#include "platform/CaptureDevice.h"

#include <algorithm>
#include <cstring>

namespace kinovex {
namespace {

// Whether the ring ranges [a, a + aSize) and [b, b + bSize) share a byte.
bool RingOverlap(std::uint64_t a, std::uint64_t aSize, std::uint64_t b, std::uint64_t bSize,
                 std::uint64_t ring) {
    if (aSize == 0 || bSize == 0)
        return false;
    // Unroll both onto [0, 2 * ring) and compare against b and b shifted by one lap.
    for (std::uint64_t shift : {std::uint64_t{0}, ring}) {
        const std::uint64_t start = b + shift;
        if (a < start + bSize && start < a + aSize)
            return true;
        const std::uint64_t aStart = a + shift;
        if (aStart < b + bSize && b < aStart + aSize)
            return true;
    }
    return false;
}

constexpr std::uint16_t kFormatPcm = 1;

void Put(std::uint8_t*& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        *out++ = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

std::array<std::uint8_t, 18> FmtChunkBytes(const WaveFormat& format) {
    std::array<std::uint8_t, 18> bytes{};
    std::uint8_t* out = bytes.data();
    Put(out, kFormatPcm, 2);
    Put(out, format.channels, 2);
    Put(out, format.rate, 4);
    Put(out, format.bytesPerSecond(), 4);
    Put(out, format.blockAlign(), 2);
    Put(out, format.bits, 2);
    Put(out, 0, 2); // no extra bytes
    return bytes;
}

CLoopingCaptureBuffer::CLoopingCaptureBuffer(const WaveFormat& format, std::uint32_t bufferBytes)
    : m_format(format), m_buffer(bufferBytes) {}

bool CLoopingCaptureBuffer::SetNotificationPositions(std::span<const DSBPOSITIONNOTIFY> positions) {
    for (const auto& position : positions)
        if (position.dwOffset >= m_buffer.size() || position.hEventNotify == nullptr)
            return false;
    std::lock_guard lock(m_mutex);
    m_positions.assign(positions.begin(), positions.end());
    return true;
}

bool CLoopingCaptureBuffer::GetCurrentPosition(std::uint32_t* capturePosition,
                                               std::uint32_t* readPosition) {
    std::lock_guard lock(m_mutex);
    ++m_positionQueries;
    const auto position = static_cast<std::uint32_t>(m_produced % m_buffer.size());
    if (capturePosition != nullptr)
        *capturePosition = position;
    if (readPosition != nullptr)
        *readPosition = position;
    return true;
}

bool CLoopingCaptureBuffer::Lock(std::uint32_t offset, std::uint32_t bytes, void** part1,
                                 std::uint32_t* size1, void** part2, std::uint32_t* size2) {
    if (part1 == nullptr || size1 == nullptr || offset >= m_buffer.size() || bytes == 0 ||
        bytes > m_buffer.size())
        return false;
    std::lock_guard lock(m_mutex);
    if (m_bLocked)
        return false;
    const auto size = static_cast<std::uint32_t>(m_buffer.size());
    const std::uint32_t first = std::min(bytes, size - offset);
    *part1 = m_buffer.data() + offset;
    *size1 = first;
    if (first < bytes) {
        if (part2 == nullptr || size2 == nullptr)
            return false;
        *part2 = m_buffer.data();
        *size2 = bytes - first;
    } else if (part2 != nullptr && size2 != nullptr) {
        *part2 = nullptr;
        *size2 = 0;
    }
    m_bLocked = true;
    m_lockOffset = offset;
    m_lockBytes = bytes;
    return true;
}

bool CLoopingCaptureBuffer::Unlock(void* part1, std::uint32_t size1, void* /*part2*/,
                                   std::uint32_t size2) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_bLocked || part1 != m_buffer.data() + m_lockOffset)
            return false;
        m_bLocked = false;
        m_consumed += static_cast<std::uint64_t>(size1) + size2;
    }
    m_roomChanged.notify_all();
    return true;
}

std::uint64_t CLoopingCaptureBuffer::producedBytes() const {
    std::lock_guard lock(m_mutex);
    return m_produced;
}

std::uint64_t CLoopingCaptureBuffer::consumedBytes() const {
    std::lock_guard lock(m_mutex);
    return m_consumed;
}

std::uint64_t CLoopingCaptureBuffer::positionQueries() const {
    std::lock_guard lock(m_mutex);
    return m_positionQueries;
}

void CLoopingCaptureBuffer::Produce(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t ring = m_buffer.size();
    while (size > 0) {
        // At most one lap at a time, so each position fires at most once per piece.
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, ring));
        std::vector<CEvent*> fire;
        {
            std::lock_guard lock(m_mutex);
            const std::uint64_t start = m_produced % ring;
            if (!m_bLocked || !RingOverlap(start, piece, m_lockOffset, m_lockBytes, ring)) {
                const std::size_t first =
                    static_cast<std::size_t>(std::min<std::uint64_t>(piece, ring - start));
                std::uint8_t* target = m_buffer.data() + start;
                if (data != nullptr) {
                    std::memcpy(target, data, first);
                    std::memcpy(m_buffer.data(), data + first, piece - first);
                } else {
                    std::memset(target, 0, first);
                    std::memset(m_buffer.data(), 0, piece - first);
                }
            }
            for (const auto& position : m_positions) {
                std::uint64_t next = m_produced - start + position.dwOffset;
                if (next < m_produced)
                    next += ring;
                if (next < m_produced + piece)
                    fire.push_back(position.hEventNotify);
            }
            m_produced += piece;
        }
        for (CEvent* event : fire)
            event->Set();
        if (data != nullptr)
            data += piece;
        size -= piece;
    }
}

void CLoopingCaptureBuffer::WaitForRoom(std::uint64_t limit, const std::function<bool()>& stop) {
    std::unique_lock lock(m_mutex);
    m_roomChanged.wait(lock, [&] { return stop() || m_produced - m_consumed <= limit; });
}

void CLoopingCaptureBuffer::WakeProducer() {
    { std::lock_guard lock(m_mutex); }
    m_roomChanged.notify_all();
}

} // namespace kinovex
