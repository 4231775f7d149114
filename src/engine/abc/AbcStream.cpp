#include "engine/abc/AbcStream.h"

#include <bit>
#include <cstring>

namespace kinovex::flash::abc {

void AbcStream::failAt(std::size_t position, std::string message) {
    if (!m_error) {
        m_error = AbcError{m_base + position, std::move(message)};
    }
}

std::uint8_t AbcStream::u8() {
    if (m_error || m_pos >= m_data.size()) {
        fail("the data ends inside a byte field");
        return 0;
    }
    return m_data[m_pos++];
}

std::uint16_t AbcStream::u16() {
    if (m_error || m_data.size() - m_pos < 2) {
        fail("the data ends inside a 16-bit field");
        return 0;
    }
    const auto v = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

std::int32_t AbcStream::s24() {
    if (m_error || m_data.size() - m_pos < 3) {
        fail("the data ends inside a branch offset");
        return 0;
    }
    std::uint32_t v = m_data[m_pos] | (m_data[m_pos + 1] << 8) | (m_data[m_pos + 2] << 16);
    m_pos += 3;
    if ((v & 0x800000u) != 0) {
        v |= 0xFF000000u;
    }
    return static_cast<std::int32_t>(v);
}

std::uint32_t AbcStream::variable(const char* what) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < 5; ++i) {
        if (m_error || m_pos >= m_data.size()) {
            fail(std::string("the data ends inside ") + what);
            return 0;
        }
        const std::uint8_t byte = m_data[m_pos++];
        value |= static_cast<std::uint32_t>(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0) {
            return value;
        }
    }
    // The fifth byte carries the top four bits and never continues.
    return value;
}

std::uint32_t AbcStream::u32() {
    return variable("a variable-length integer");
}

std::int32_t AbcStream::s32() {
    // The 32 bits as read: a negative value takes all five bytes, and a shorter form is not
    // sign-extended.
    return static_cast<std::int32_t>(variable("a variable-length integer"));
}

std::uint32_t AbcStream::u30() {
    const std::size_t start = m_pos;
    const std::uint32_t value = variable("a variable-length integer");
    if ((value & 0xC0000000u) != 0) {
        failAt(start, "a 30-bit value has its top bits set");
        return 0;
    }
    return value;
}

double AbcStream::d64() {
    if (m_error || m_data.size() - m_pos < 8) {
        fail("the data ends inside a double");
        return 0.0;
    }
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | m_data[m_pos + static_cast<std::size_t>(i)];
    }
    m_pos += 8;
    return std::bit_cast<double>(bits);
}

std::size_t AbcStream::skip(std::size_t count, const char* what) {
    const std::size_t start = m_pos;
    if (m_error || count > m_data.size() - m_pos) {
        fail(std::string(what) + " of " + std::to_string(count) + " bytes runs past the end");
        return start;
    }
    m_pos += count;
    return start;
}

std::uint32_t AbcStream::count(std::size_t minBytes, const char* what) {
    const std::size_t start = m_pos;
    const std::uint32_t n = u30();
    if (m_error) {
        return 0;
    }
    if (n > remaining() / minBytes) {
        failAt(start, std::string(what) + " count " + std::to_string(n) + " is more than the " +
                          std::to_string(remaining()) + " bytes left can hold");
        return 0;
    }
    return n;
}

std::uint32_t AbcStream::index(std::size_t size, const char* what, bool zeroAllowed) {
    const std::size_t start = m_pos;
    const std::uint32_t i = u30();
    if (m_error) {
        return 0;
    }
    if (i >= size || (i == 0 && !zeroAllowed)) {
        failAt(start, std::string(what) + " index " + std::to_string(i) +
                          " is outside its pool of " + std::to_string(size));
        return 0;
    }
    return i;
}

} // namespace kinovex::flash::abc
