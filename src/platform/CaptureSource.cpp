#include "platform/CaptureSource.h"

#include <algorithm>
#include <cstring>

namespace kinovex {
namespace {

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

const char* CaptureErrorText(CaptureError error) {
    switch (error) {
    case CaptureError::None:
        return "no error";
    case CaptureError::BadFormat:
        return "the capture format or block size is not supported";
    case CaptureError::NotOpen:
        return "the capture was started before it was opened";
    case CaptureError::StreamRefused:
        return "the sound server refused the record stream";
    }
    return "unknown capture error";
}

BlockAssembler::BlockAssembler(std::uint32_t blockBytes, BlockSink& sink)
    : m_block(blockBytes), m_sink(sink) {}

void BlockAssembler::Append(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const std::size_t take = std::min(size, m_block.size() - m_filled);
        if (data != nullptr) {
            std::memcpy(m_block.data() + m_filled, data, take);
            data += take;
        } else {
            std::memset(m_block.data() + m_filled, 0, take);
        }
        m_filled += take;
        size -= take;
        if (m_filled == m_block.size()) {
            m_filled = 0;
            if (!m_sink.OnBlock(m_block))
                ++m_dropped;
        }
    }
}

} // namespace kinovex
