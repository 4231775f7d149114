#include "engine/swf/BitReader.h"

#include <cstring>

namespace kinovex::flash {

void BitReader::seek(std::size_t pos) {
    m_bitPos = 0;
    if (pos > m_data.size()) {
        m_failed = true;
        return;
    }
    m_pos = pos;
}

void BitReader::skip(std::size_t count) {
    align();
    if (m_failed || count > m_data.size() - m_pos) {
        m_failed = true;
        return;
    }
    m_pos += count;
}

std::uint8_t BitReader::u8() {
    align();
    if (m_failed || m_pos >= m_data.size()) {
        m_failed = true;
        return 0;
    }
    return m_data[m_pos++];
}

std::uint16_t BitReader::u16() {
    align();
    if (m_failed || m_data.size() - m_pos < 2) {
        m_failed = true;
        return 0;
    }
    const std::uint16_t v = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

std::uint32_t BitReader::u32() {
    align();
    if (m_failed || m_data.size() - m_pos < 4) {
        m_failed = true;
        return 0;
    }
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | m_data[m_pos + static_cast<std::size_t>(i)];
    }
    m_pos += 4;
    return v;
}

float BitReader::f32() {
    const std::uint32_t bits = u32();
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::uint32_t BitReader::encodedU32() {
    std::uint32_t v = 0;
    for (unsigned i = 0; i < 5; ++i) {
        const std::uint8_t byte = u8();
        v |= static_cast<std::uint32_t>(byte & 0x7f) << (7 * i);
        if ((byte & 0x80) == 0) {
            break;
        }
    }
    return v;
}

std::string BitReader::string() {
    align();
    if (m_failed) {
        return {};
    }
    const std::uint8_t* begin = m_data.data() + m_pos;
    const void* end = std::memchr(begin, 0, m_data.size() - m_pos);
    if (end == nullptr) {
        m_failed = true;
        return {};
    }
    const std::size_t length =
        static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - begin);
    std::string s(reinterpret_cast<const char*>(begin), length);
    m_pos += length + 1;
    return s;
}

std::span<const std::uint8_t> BitReader::bytes(std::size_t count) {
    align();
    if (m_failed || count > m_data.size() - m_pos) {
        m_failed = true;
        return {};
    }
    auto view = m_data.subspan(m_pos, count);
    m_pos += count;
    return view;
}

std::span<const std::uint8_t> BitReader::rest() {
    align();
    if (m_failed) {
        return {};
    }
    auto view = m_data.subspan(m_pos);
    m_pos = m_data.size();
    return view;
}

std::uint32_t BitReader::ub(unsigned bits) {
    if (bits > 32) {
        m_failed = true;
        return 0;
    }
    std::uint32_t v = 0;
    while (bits > 0) {
        if (m_failed || m_pos >= m_data.size()) {
            m_failed = true;
            return 0;
        }
        const unsigned available = 8 - m_bitPos;
        const unsigned take = bits < available ? bits : available;
        const unsigned shift = available - take;
        const std::uint32_t chunk = (m_data[m_pos] >> shift) & ((1u << take) - 1u);
        v = (v << take) | chunk;
        bits -= take;
        m_bitPos += take;
        if (m_bitPos == 8) {
            m_bitPos = 0;
            ++m_pos;
        }
    }
    return v;
}

std::int32_t BitReader::sb(unsigned bits) {
    if (bits == 0) {
        return 0;
    }
    const std::uint32_t raw = ub(bits);
    if (bits >= 32) {
        return static_cast<std::int32_t>(raw);
    }
    const std::uint32_t sign = 1u << (bits - 1);
    // Sign-extend without shifting a negative number.
    return static_cast<std::int32_t>(static_cast<std::int64_t>(raw ^ sign) -
                                     static_cast<std::int64_t>(sign));
}

Rect BitReader::rect() {
    align();
    const unsigned n = ub(5);
    Rect r;
    r.xMin = sb(n);
    r.xMax = sb(n);
    r.yMin = sb(n);
    r.yMax = sb(n);
    align();
    return r;
}

Matrix BitReader::matrix() {
    align();
    Matrix m;
    if (flag()) {
        const unsigned n = ub(5);
        m.a = fb(n);
        m.d = fb(n);
    }
    if (flag()) {
        const unsigned n = ub(5);
        m.b = fb(n);
        m.c = fb(n);
    }
    const unsigned n = ub(5);
    m.tx = sb(n);
    m.ty = sb(n);
    align();
    return m;
}

ColorTransform BitReader::cxform(bool withAlpha) {
    align();
    const bool hasAdd = flag();
    const bool hasMult = flag();
    const unsigned n = ub(4);
    ColorTransform cx;
    if (hasMult) {
        cx.rMult = sb(n) / 256.0;
        cx.gMult = sb(n) / 256.0;
        cx.bMult = sb(n) / 256.0;
        if (withAlpha) {
            cx.aMult = sb(n) / 256.0;
        }
    }
    if (hasAdd) {
        cx.rAdd = sb(n);
        cx.gAdd = sb(n);
        cx.bAdd = sb(n);
        if (withAlpha) {
            cx.aAdd = sb(n);
        }
    }
    align();
    return cx;
}

Rgba BitReader::rgb() {
    Rgba c;
    c.r = u8();
    c.g = u8();
    c.b = u8();
    return c;
}

Rgba BitReader::rgba() {
    Rgba c = rgb();
    c.a = u8();
    return c;
}

Rgba BitReader::argb() {
    Rgba c;
    c.a = u8();
    c.r = u8();
    c.g = u8();
    c.b = u8();
    return c;
}

} // namespace kinovex::flash
