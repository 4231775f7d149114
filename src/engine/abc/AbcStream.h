#pragma once
// Reads the encodings of ActionScript 3 bytecode from a run of bytes: fixed-size little-endian
// integers, the variable-length u30/u32/s32 (seven bits a byte, low bits first, at most five
// bytes), s24 branch offsets and doubles. The first problem is kept with its offset; from then
// on every read returns 0 and nothing remains, so a loop over a count stops by itself.

#include "engine/abc/AbcError.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kinovex::flash::abc {

class AbcStream {
public:
    // `base` is where `data` starts in the block, for the offsets of errors.
    explicit AbcStream(std::span<const std::uint8_t> data, std::size_t base = 0)
        : m_data(data), m_base(base) {}

    bool ok() const { return !m_error; }
    const std::optional<AbcError>& error() const { return m_error; }
    // Records a problem at the current position (only the first one is kept).
    void fail(std::string message) { failAt(m_pos, std::move(message)); }
    void failAt(std::size_t position, std::string message);

    std::size_t position() const { return m_pos; }
    std::size_t offset() const { return m_base + m_pos; }
    std::size_t remaining() const { return m_error ? 0 : m_data.size() - m_pos; }
    bool atEnd() const { return remaining() == 0; }

    std::uint8_t u8();
    std::uint16_t u16();
    std::int32_t s24();
    std::uint32_t u32();
    std::int32_t s32();
    // Like u32, and the value must fit in 30 bits.
    std::uint32_t u30();
    double d64();
    // `count` bytes: their offset in the stream's data.
    std::size_t skip(std::size_t count, const char* what);

    // A count of entries each at least `minBytes` long: more than the bytes left can hold is
    // damage, refused before anything is allocated for it.
    std::uint32_t count(std::size_t minBytes, const char* what);
    // An index that must be below `size` (and above 0 unless `zeroAllowed`).
    std::uint32_t index(std::size_t size, const char* what, bool zeroAllowed = true);

private:
    std::uint32_t variable(const char* what);

    std::span<const std::uint8_t> m_data;
    std::size_t m_base;
    std::size_t m_pos = 0;
    std::optional<AbcError> m_error;
};

} // namespace kinovex::flash::abc
