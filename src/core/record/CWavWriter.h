#pragma once
// The WAV file the sound capture writes: a RIFF/WAVE file with "fmt ", "fact" and "data"
// chunks. The header goes out with zero sizes when the file is opened and the sizes are fixed
// on Close, so a file that was never closed (a crash) keeps sizes 0.

#include "platform/CaptureSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kinovex {

class CWavWriter {
public:
    CWavWriter();
    ~CWavWriter(); // closes the file
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    // Creates or truncates the file and writes everything up to the first sample byte.
    bool Open(const std::string& fileName, const WaveFormat& format);
    // Appends `size` bytes; `written` receives how many were accepted. When the disk refuses
    // them, returns false with `written` counting what was accepted before.
    bool Write(std::uint32_t size, const void* data, std::uint32_t* written);
    // Fixes the sizes and closes the file, also after a failed Write: the file then describes
    // exactly the samples that reached the disk.
    bool Close();

    bool IsOpen() const { return m_fd >= 0; }

private:
    bool Flush();
    bool WriteAll(const std::uint8_t* data, std::size_t size);

    int m_fd = -1;
    std::uint16_t m_nBlockAlign = 1;
    std::uint64_t m_nDataStart = 0;  // file offset of the first sample byte
    std::uint64_t m_nDataOnDisk = 0; // sample bytes that reached the file
    std::uint64_t m_nFactOffset = 0; // file offset of the "fact" value
    bool m_bWriteFailed = false;
    std::vector<std::uint8_t> m_buffer; // samples not yet written; reserved once at Open
};

} // namespace kinovex
