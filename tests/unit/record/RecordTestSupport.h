#pragma once
// Helpers of the recording tests: little-endian fields, a known byte pattern, a file size
// limit standing in for a full disk.

#include <csignal>
#include <cstdint>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace kinovex {

inline std::uint32_t ReadLE32(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value =
            value << 8 | static_cast<std::uint8_t>(bytes.at(offset + static_cast<std::size_t>(i)));
    return value;
}

inline std::uint16_t ReadLE16(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(offset)) |
                                      static_cast<std::uint8_t>(bytes.at(offset + 1)) << 8);
}

// Byte i of an endless stream that never repeats within two seconds of capture.
inline std::uint8_t PatternByte(std::uint64_t i) {
    return static_cast<std::uint8_t>((i * 7 + (i >> 8) * 13 + (i >> 16)) & 0xFF);
}

inline std::vector<std::uint8_t> Pattern(std::uint64_t offset, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = PatternByte(offset + i);
    return bytes;
}

// While it lives, no file of this process may grow beyond `bytes`, and growing one fails
// with EFBIG instead of killing the process: a disk that is full at a known point.
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace kinovex
