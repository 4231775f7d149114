#include "tools/encoder/WavCheck.h"

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kinovex {

namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool ReadAt(int fd, std::uint64_t offset, unsigned char* buffer, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n =
            pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint32_t LittleEndian32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace

bool WavHoldsSamples(const std::string& path) {
    Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);

    unsigned char header[12];
    if (!ReadAt(file.get(), 0, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;

    // Walk the chunks by their own sizes up to the end of the file (the RIFF size may be 0).
    std::uint64_t offset = 12;
    while (offset + 8 <= fileSize) {
        unsigned char chunk[8];
        if (!ReadAt(file.get(), offset, chunk, sizeof chunk))
            return false;
        if (std::memcmp(chunk, "data", 4) == 0)
            return fileSize > offset + 8;
        const std::uint64_t size = LittleEndian32(chunk + 4);
        offset += 8 + size + (size & 1); // chunks are padded to an even length
    }
    return false;
}

} // namespace kinovex
