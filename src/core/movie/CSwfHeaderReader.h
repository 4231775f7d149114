#pragma once
// Frame size, rate and count of a movie file, read from its first bytes without loading it.

#include <cstdint>

namespace kinovex {

// The movie file header. The rectangle is in twips (1/20 pixel); callers take
// width = xMax / 20 and height = yMax / 20.
struct SwfHeaderInfo {
    char signature[3];   // "FWS" stored, "CWS" zlib, "ZWS" LZMA
    uint8_t version;     // fourth byte of the file
    uint32_t fileLength; // declared length of the whole movie, uncompressed
    int32_t xMin;
    int32_t xMax;
    int32_t yMin;
    int32_t yMax;
    float frameRate; // frames per second
    uint16_t frameCount;
};

class CSwfHeaderReader {
public:
    CSwfHeaderReader();
    virtual ~CSwfHeaderReader();
    CSwfHeaderReader(const CSwfHeaderReader&) = delete;
    CSwfHeaderReader& operator=(const CSwfHeaderReader&) = delete;

    // Reads at most 512 bytes of the file at `path` and decodes its header into `info`.
    // False when `path` is null or empty, the file cannot be opened or sized, or it holds 21
    // bytes or fewer. A header that cannot be decoded still gives true, with the first eight
    // bytes filled in and zeros for the rectangle, rate and count.
    bool ReadHeader(const char* path, SwfHeaderInfo& info);

    // Decodes the header from the first `count` bytes of a file into the reader's own record.
    // False when the compressed body cannot be unpacked (or fewer than eight bytes are given).
    bool ParseHeader(const uint8_t* bytes, int count);

    const SwfHeaderInfo& Info() const { return m_info; }

    static constexpr int kFileBufferSize = 512;

private:
    SwfHeaderInfo m_info;
};

} // namespace kinovex
