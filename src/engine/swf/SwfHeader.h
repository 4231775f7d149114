#pragma once
// The header a movie file starts with: its compression, version and declared length, then the
// frame rectangle, rate and count. Read from the first bytes of a file, unpacking no more of a
// compressed body than the header takes.

#include "engine/swf/BitReader.h"
#include "engine/swf/Types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kinovex::flash {

// Signature, version and declared length: the bytes every movie starts with, never compressed.
constexpr std::size_t kSwfPreambleBytes = 8;
// The most a frame header can take: 5 + 4 x 31 bits of rectangle (17 bytes), rate and count.
constexpr std::size_t kMaxFrameHeaderBytes = 21;

struct SwfPreamble {
    char compression = 'F'; // 'F' stored, 'C' zlib, 'Z' LZMA
    std::uint8_t version = 0;
    std::uint32_t declaredLength = 0; // of the whole movie uncompressed, these bytes included
};

struct FrameHeader {
    Rect frameSize;
    std::uint16_t frameRate256 = 0; // frames per second in 8.8 fixed point
    std::uint16_t frameCount = 0;
};

enum class SwfHeaderError {
    None,
    TooShort,  // the bytes (or the movie's declared length) end inside the header
    NotAMovie, // no movie signature
    Damaged,   // the compressed body cannot be unpacked
};

struct SwfHeader {
    SwfHeaderError error = SwfHeaderError::None;
    SwfPreamble preamble;
    FrameHeader frame;
};

// The first eight bytes of a file. TooShort or NotAMovie when they are not a movie's.
SwfHeaderError readPreamble(std::span<const std::uint8_t> file, SwfPreamble& out);

// The frame rectangle, rate and count at `r`'s position; `r` fails when its data ends inside
// them, and is left on the first byte after them.
FrameHeader readFrameHeader(BitReader& r);

// The first bytes of a movie's body, uncompressed, up to the end of its frame header.
struct FrameHeaderBytes {
    std::array<std::uint8_t, kMaxFrameHeaderBytes> bytes{}; // zeros past `count`
    std::size_t count = 0;
    bool damaged = false; // the compressed stream is broken or missing
};

// Unpacks the start of `body` (what follows the eight first bytes) as `compression` says
// ('C' zlib, 'Z' LZMA, anything else stored), taking at most `bodyLimit` bytes of the
// uncompressed body. It stops at the end of the frame header: the first byte tells how long
// the header is, and only then is the rest unpacked.
FrameHeaderBytes unpackFrameHeader(char compression, std::span<const std::uint8_t> body,
                                   std::size_t bodyLimit);

// The whole header from the first bytes of a movie file (a prefix is enough: nothing past the
// header is read). Fails cleanly when `prefix` is not a movie's start or ends inside the header.
SwfHeader readSwfHeader(std::span<const std::uint8_t> prefix);

} // namespace kinovex::flash
