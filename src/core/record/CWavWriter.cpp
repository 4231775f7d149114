#include "core/record/CWavWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kinovex {
namespace {

// Sample bytes gathered before one write to the file: about 0.7 s of the capture format, so
// a capture costs a system call every few blocks.
constexpr std::size_t kBufferBytes = 64 * 1024;

constexpr std::uint32_t kRiffSizeOffset = 4;

void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool PutAt(int fd, std::uint64_t offset, std::uint32_t value) {
    std::uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return pwrite(fd, bytes, 4, static_cast<off_t>(offset)) == 4;
}

} // namespace

CWavWriter::CWavWriter() = default;

CWavWriter::~CWavWriter() {
    if (IsOpen())
        Close();
}

bool CWavWriter::Open(const std::string& fileName, const WaveFormat& format) {
    if (IsOpen())
        Close();
    if (fileName.empty() || format.blockAlign() == 0)
        return false;

    // The whole header is built first so that a file is either created with it or not at all.
    std::vector<std::uint8_t> header;
    PutTag(header, "RIFF");
    Put32(header, 0);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    // PCM goes without the extra-size field.
    constexpr std::uint32_t kPcmFormatSize = 16;
    const auto formatBytes = FmtChunkBytes(format);
    Put32(header, kPcmFormatSize);
    header.insert(header.end(), formatBytes.begin(), formatBytes.begin() + kPcmFormatSize);
    PutTag(header, "fact");
    Put32(header, 4);
    const std::uint64_t factOffset = header.size();
    Put32(header, 0xFFFFFFFFu);
    PutTag(header, "data");
    Put32(header, 0);

    m_fd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return false;
    m_nBlockAlign = format.blockAlign();
    m_nFactOffset = factOffset;
    m_nDataStart = header.size();
    m_nDataOnDisk = 0;
    m_bWriteFailed = false;
    m_buffer.clear();
    m_buffer.reserve(kBufferBytes);
    if (!WriteAll(header.data(), header.size())) {
        close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

bool CWavWriter::WriteAll(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = write(m_fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (done == 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool CWavWriter::Flush() {
    if (m_buffer.empty())
        return true;
    if (m_bWriteFailed) {
        m_buffer.clear();
        return false;
    }
    const std::uint64_t before = static_cast<std::uint64_t>(lseek(m_fd, 0, SEEK_CUR));
    const bool result = WriteAll(m_buffer.data(), m_buffer.size());
    if (!result) {
        // Part of the buffer may have made it; keep count of what is really in the file.
        const off_t now = lseek(m_fd, 0, SEEK_CUR);
        if (now >= 0 && static_cast<std::uint64_t>(now) >= before)
            m_nDataOnDisk += static_cast<std::uint64_t>(now) - before;
        m_bWriteFailed = true;
    } else {
        m_nDataOnDisk += m_buffer.size();
    }
    m_buffer.clear();
    return result;
}

bool CWavWriter::Write(std::uint32_t size, const void* data, std::uint32_t* written) {
    if (!IsOpen())
        return false;
    if (data == nullptr || written == nullptr)
        return false;
    *written = 0;
    if (m_bWriteFailed)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t accepted = 0;
    while (accepted < size) {
        if (m_buffer.size() == kBufferBytes && !Flush()) {
            *written = accepted;
            return false;
        }
        const std::size_t room = kBufferBytes - m_buffer.size();
        const std::size_t take = std::min<std::size_t>(room, size - accepted);
        m_buffer.insert(m_buffer.end(), bytes + accepted, bytes + accepted + take);
        accepted += static_cast<std::uint32_t>(take);
    }
    *written = accepted;
    return true;
}

bool CWavWriter::Close() {
    if (!IsOpen())
        return false;
    bool result = Flush();
    if (m_bWriteFailed) {
        // A torn sample frame at the end would shift every channel of a reader that trusts
        // the size: keep whole frames only.
        m_nDataOnDisk -= m_nDataOnDisk % m_nBlockAlign;
        if (ftruncate(m_fd, static_cast<off_t>(m_nDataStart + m_nDataOnDisk)) != 0)
            result = false;
    }
    std::uint64_t end = m_nDataStart + m_nDataOnDisk;
    if (m_nDataOnDisk % 2 != 0) {
        const std::uint8_t pad = 0;
        if (pwrite(m_fd, &pad, 1, static_cast<off_t>(end)) == 1)
            ++end;
        else
            result = false;
    }
    // Sizes beyond 32 bits cannot be told; the capture never gets near them (6 hours).
    const auto dataSize =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(m_nDataOnDisk, 0xFFFFFFFFu));
    const auto riffSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - 8, 0xFFFFFFFFu));
    if (!PutAt(m_fd, m_nDataStart - 4, dataSize) || !PutAt(m_fd, kRiffSizeOffset, riffSize) ||
        !PutAt(m_fd, m_nFactOffset, 0))
        result = false;
    if (close(m_fd) != 0)
        result = false;
    m_fd = -1;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return result;
}

} // namespace kinovex
