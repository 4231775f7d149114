#include "core/movie/CSwfHeaderReader.h"

#include "engine/swf/BitReader.h"
#include "engine/swf/SwfHeader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace kinovex {

namespace {

// Files this short cannot hold a header: 8 bytes of signature, version and length, and at
// least 14 more for the smallest rectangle, rate and count of a real movie.
constexpr off_t kShortestMovie = 22;

} // namespace

CSwfHeaderReader::CSwfHeaderReader() : m_info{} {}

CSwfHeaderReader::~CSwfHeaderReader() = default;

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
    std::array<uint8_t, kFileBufferSize> buffer{};
    const size_t wanted = static_cast<size_t>(std::min<off_t>(status.st_size, kFileBufferSize));
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd, buffer.data() + got, wanted - got);
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
    ParseHeader(buffer.data(), static_cast<int>(got));
    info = m_info;
    return true;
}

bool CSwfHeaderReader::ParseHeader(const uint8_t* bytes, int count) {
    m_info = SwfHeaderInfo{};
    if (bytes == nullptr || count < static_cast<int>(flash::kSwfPreambleBytes))
        return false;
    const std::span<const uint8_t> file(bytes, static_cast<size_t>(count));
    std::memcpy(m_info.signature, bytes, 3);
    m_info.version = bytes[3];
    flash::BitReader length(file.subspan(4, 4));
    m_info.fileLength = length.u32();

    // The signature is not judged here: anything but a zlib or LZMA mark reads as a stored
    // body, and only a stored body ends at the declared length.
    const char compression = bytes[0] == 'C' || bytes[0] == 'Z' ? static_cast<char>(bytes[0]) : 'F';
    size_t bodyLimit = std::numeric_limits<size_t>::max();
    if (compression == 'F')
        bodyLimit = m_info.fileLength > flash::kSwfPreambleBytes
                        ? m_info.fileLength - flash::kSwfPreambleBytes
                        : 0;
    const flash::FrameHeaderBytes body =
        flash::unpackFrameHeader(compression, file.subspan(flash::kSwfPreambleBytes), bodyLimit);
    if (body.damaged)
        return false;

    // A body that ends inside the header reads as zeros from there on.
    flash::BitReader reader(body.bytes);
    const flash::FrameHeader frame = flash::readFrameHeader(reader);
    m_info.xMin = frame.frameSize.xMin;
    m_info.xMax = frame.frameSize.xMax;
    m_info.yMin = frame.frameSize.yMin;
    m_info.yMax = frame.frameSize.yMax;
    const uint16_t rate = frame.frameRate256;
    m_info.frameRate = static_cast<float>(rate >> 8) + static_cast<float>(rate & 0xFF) / 256.0F;
    m_info.frameCount = frame.frameCount;
    return true;
}

} // namespace kinovex
