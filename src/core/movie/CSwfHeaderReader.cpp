#include "core/movie/CSwfHeaderReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <lzma.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kinovex {

namespace {

// Files this short cannot hold a header: 8 bytes of signature, version and length, and at
// least 14 more for the smallest rectangle, rate and count of a real movie.
constexpr off_t kShortestMovie = 22;

// An LZMA body (first byte "Z") starts with its packed length (4 bytes) and the 5 property
// bytes; the stream follows.
constexpr int kLzmaProperties = 5;
constexpr int kLzmaPrefix = 4 + kLzmaProperties;

} // namespace

CSwfHeaderReader::CSwfHeaderReader()
    : m_info{}, m_zStream{}, m_pDecodeBuf(new uint8_t[kDecodeBufferSize]()),
      m_pFileBuf(new uint8_t[kFileBufferSize]()) {}

CSwfHeaderReader::~CSwfHeaderReader() {
    delete[] m_pDecodeBuf;
    delete[] m_pFileBuf;
}

bool CSwfHeaderReader::ReadHeader(const char* path, SwfHeaderInfo& info) {
    if (path == nullptr || *path == '\0')
        return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size < kShortestMovie) {
        ::close(fd);
        return false;
    }
    const size_t wanted = static_cast<size_t>(std::min<off_t>(status.st_size, kFileBufferSize));
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd, m_pFileBuf + got, wanted - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    // A folder, or a file cut short between the size query and the read, holds no header.
    if (got < static_cast<size_t>(kShortestMovie))
        return false;
    m_nBytesRead = static_cast<int>(got);
    ParseHeader(m_pFileBuf, m_nBytesRead);
    info = m_info;
    return true;
}

bool CSwfHeaderReader::ParseHeader(const uint8_t* bytes, int count) {
    m_info = SwfHeaderInfo{};
    m_nBitPos = 0;
    std::memset(m_pDecodeBuf, 0, kDecodeBufferSize);
    if (bytes == nullptr || count < 8)
        return false;

    std::memcpy(m_info.signature, bytes, 3);
    m_info.version = bytes[3];
    m_info.fileLength = static_cast<uint32_t>(bytes[4]) | static_cast<uint32_t>(bytes[5]) << 8 |
                        static_cast<uint32_t>(bytes[6]) << 16 |
                        static_cast<uint32_t>(bytes[7]) << 24;

    const uint8_t* body = bytes + 8;
    const int bodyCount = count - 8;
    if (bytes[0] == 'C') {
        if (!InflateZlib(body, bodyCount))
            return false;
    } else if (bytes[0] == 'Z') {
        // Stored as is, LZMA data would decode as a plausible-looking but wrong size; unpack
        // it like the zlib body, or report nothing.
        if (!InflateLzma(body, bodyCount))
            return false;
    } else {
        // Bytes past the declared end of the movie are not part of its header.
        const int64_t declared = static_cast<int64_t>(m_info.fileLength) - 8;
        const int64_t copy =
            std::clamp<int64_t>(std::min<int64_t>(bodyCount, declared), 0, kDecodeBufferSize);
        std::memcpy(m_pDecodeBuf, body, static_cast<size_t>(copy));
    }

    const int nbits = static_cast<int>(ReadBits(5));
    m_info.xMin = ReadSignedBits(nbits);
    m_info.xMax = ReadSignedBits(nbits);
    m_info.yMin = ReadSignedBits(nbits);
    m_info.yMax = ReadSignedBits(nbits);
    m_nBitPos = (m_nBitPos + 7) & ~7;
    const uint16_t rate = ReadU16();
    m_info.frameRate = static_cast<float>(rate >> 8) + static_cast<float>(rate & 0xFF) / 256.0F;
    m_info.frameCount = ReadU16();
    return true;
}

bool CSwfHeaderReader::InflateZlib(const uint8_t* body, int count) {
    m_zStream = z_stream{};
    if (inflateInit(&m_zStream) != Z_OK)
        return false;
    m_zStream.next_in = const_cast<Bytef*>(body); // zlib's API is not const-correct
    m_zStream.avail_in = static_cast<uInt>(std::max(count, 0));
    m_zStream.next_out = m_pDecodeBuf;
    m_zStream.avail_out = kMaxInflate;
    const int result = inflate(&m_zStream, Z_SYNC_FLUSH);
    inflateEnd(&m_zStream);
    if (result != Z_OK && result != Z_STREAM_END) {
        // A damaged stream may have written some bytes before failing; they are not a header.
        std::memset(m_pDecodeBuf, 0, kMaxInflate);
        return false;
    }
    return true;
}

bool CSwfHeaderReader::InflateLzma(const uint8_t* body, int count) {
    if (count <= kLzmaPrefix)
        return false;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, body + 4, kLzmaProperties) != LZMA_OK)
        return false;
    // Only the first bytes are unpacked, so no match can reach further back than them: the
    // smallest dictionary decodes them the same, and a file cannot make us allocate the
    // gigabytes its properties may ask for.
    static_cast<lzma_options_lzma*>(filters[0].options)->dict_size = LZMA_DICT_SIZE_MIN;
    lzma_stream stream = LZMA_STREAM_INIT;
    const lzma_ret setUp = lzma_raw_decoder(&stream, filters);
    std::free(filters[0].options);
    if (setUp != LZMA_OK)
        return false;
    stream.next_in = body + kLzmaPrefix;
    stream.avail_in = static_cast<size_t>(count - kLzmaPrefix);
    stream.next_out = m_pDecodeBuf;
    stream.avail_out = kMaxInflate;
    const lzma_ret result = lzma_code(&stream, LZMA_RUN);
    lzma_end(&stream);
    if (result != LZMA_OK && result != LZMA_STREAM_END) {
        std::memset(m_pDecodeBuf, 0, kMaxInflate);
        return false;
    }
    return true;
}

uint32_t CSwfHeaderReader::ReadBits(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const int byte = m_nBitPos >> 3;
        const uint32_t bit =
            byte < kDecodeBufferSize ? (m_pDecodeBuf[byte] >> (7 - (m_nBitPos & 7))) & 1U : 0U;
        value = value << 1 | bit;
        ++m_nBitPos;
    }
    return value;
}

int32_t CSwfHeaderReader::ReadSignedBits(int count) {
    const uint32_t value = ReadBits(count);
    if (count > 0 && (value >> (count - 1)) & 1U)
        return static_cast<int32_t>(static_cast<int64_t>(value) - (int64_t{1} << count));
    return static_cast<int32_t>(value);
}

uint16_t CSwfHeaderReader::ReadU16() {
    const uint32_t low = ReadBits(8);
    const uint32_t high = ReadBits(8);
    return static_cast<uint16_t>(high << 8 | low);
}

} // namespace kinovex
