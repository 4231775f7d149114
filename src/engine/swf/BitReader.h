#pragma once
// Bounds-checked reading of movie data: bytes in little-endian order and bit fields packed
// most significant bit first. A read past the end (or a field wider than 32 bits) returns 0 and
// marks the reader failed for good, so a parser can read a whole record and check once.

#include "engine/swf/Types.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kinovex::flash {

class BitReader {
public:
    BitReader() = default;
    explicit BitReader(std::span<const std::uint8_t> data) : m_data(data) {}

    bool ok() const { return !m_failed; }
    bool failed() const { return m_failed; }
    void fail() { m_failed = true; }

    // Byte position (bit reads in progress count as the byte they are in).
    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_data.size(); }
    std::size_t remaining() const { return m_failed ? 0 : m_data.size() - m_pos; }
    bool atEnd() const { return remaining() == 0; }
    void seek(std::size_t pos);
    void skip(std::size_t count);

    // Byte reads first drop any partly read byte, as the format requires.
    void align() {
        if (m_bitPos != 0) {
            m_bitPos = 0;
            ++m_pos;
        }
    }
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t s32() { return static_cast<std::int32_t>(u32()); }
    float f32();
    double fixed16() { return s32() / 65536.0; } // 16.16
    double fixed8() { return s16() / 256.0; }    // 8.8
    std::uint32_t encodedU32();
    // A zero-terminated string; a missing terminator fails the reader.
    std::string string();
    // `count` bytes as a view into the data (empty and failed if fewer remain).
    std::span<const std::uint8_t> bytes(std::size_t count);
    std::span<const std::uint8_t> rest();

    std::uint32_t ub(unsigned bits);
    std::int32_t sb(unsigned bits);
    double fb(unsigned bits) { return sb(bits) / 65536.0; }
    bool flag() { return ub(1) != 0; }

    Rect rect();
    Matrix matrix();
    ColorTransform cxform(bool withAlpha);
    Rgba rgb();
    Rgba rgba();
    Rgba argb();

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    unsigned m_bitPos = 0; // bits already consumed of m_data[m_pos]; 0 when aligned
    bool m_failed = false;
};

} // namespace kinovex::flash
