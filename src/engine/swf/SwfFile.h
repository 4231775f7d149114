#pragma once
// A movie file opened: its header read and its body uncompressed (stored, zlib or LZMA).

#include "engine/swf/Log.h"
#include "engine/swf/Types.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kinovex::flash {

// Movies above this uncompressed size are refused: the declared length is the attacker's
// number, so it only bounds what we accept, and the buffer grows with the data actually there.
constexpr std::uint32_t kMaxMovieBytes = 256u * 1024u * 1024u;

struct SwfFile {
    char compression = 'F'; // 'F' stored, 'C' zlib, 'Z' LZMA
    std::uint8_t version = 0;
    std::uint32_t declaredLength = 0;
    std::size_t fileLength = 0; // the file's own bytes, compressed or not
    // The whole uncompressed movie, header included, so offsets match the format's own.
    std::vector<std::uint8_t> data;
    Rect frameSize;
    std::uint16_t frameRate256 = 0; // frames per second in 8.8 fixed point
    std::uint16_t frameCount = 0;
    std::size_t firstTagOffset = 0;
    bool truncated = false; // the body is shorter than the header says
};

struct SwfOpenResult {
    bool ok = false;
    std::string error;
};

// Reads the header and uncompresses the body. A body shorter than declared is kept as far as it
// goes (with `truncated` set and a note in the log); a file that is not a movie fails.
SwfOpenResult openSwf(std::span<const std::uint8_t> fileBytes, SwfFile& out, Log& log);
// The same for bytes the caller gives up: a stored movie keeps them without a copy, and the
// bytes of a compressed one are freed once inflated, so the file and its body are never both
// held while the movie is read. `fileBytes` is left empty or holding nothing of use.
SwfOpenResult openSwf(std::vector<std::uint8_t>&& fileBytes, SwfFile& out, Log& log);

} // namespace kinovex::flash
