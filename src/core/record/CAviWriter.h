#pragma once
// Writes uncompressed bottom-up bitmap frames into one compressed video stream of a new AVI
// file. The stream is set up at the first frame, when the frame size and depth are known.
//
// The writer dispatches through a table of entry functions indexed by its state, so no checks
// are repeated per frame and after any failure every later call fails at once.

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace kinovex {

// Four-character codes as the AVI header stores them ("MSVC" is 'M' in the lowest byte).
constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

constexpr std::uint32_t kCodecMSVC = MakeFourCC('M', 'S', 'V', 'C');

class CAviWriter {
public:
    // Creates no file: that happens at the first frame.
    CAviWriter(const std::string& fileName, std::uint32_t codec, int frameRate);
    ~CAviWriter(); // finishes the file if Close was not called
    CAviWriter(const CAviWriter&) = delete;
    CAviWriter& operator=(const CAviWriter&) = delete;

    // `bits` is a bottom-up bitmap of width x height pixels at bitCount bits per pixel, rows
    // padded to multiples of 4 bytes. true when the frame was written, false otherwise.
    bool AppendFrame(int width, int height, const void* bits, int bitCount);

    // Finishes the file and releases everything; the writer is closed for good. Harmless to
    // call again.
    void ReleaseAll();
    void Close();

    // "Method Succeeded" until something fails.
    const std::string& GetLastError() const { return m_szLastError; }
    int GetState() const { return m_nState; }

    // Bytes of one frame as the caller stores it: rows rounded up to 4 bytes.
    static std::uint32_t FrameSize(int width, int height, int bitCount);

private:
    using AppendFunction = bool (CAviWriter::*)(int, int, const void*, int);

    bool AppendClosed(int width, int height, const void* bits, int bitCount);
    bool AppendFirstFrame(int width, int height, const void* bits, int bitCount);
    bool AppendNextFrame(int width, int height, const void* bits, int bitCount);
    bool Fail(const char* text);
    bool WritePacket();

    // The frame buffer holds a frame padded to the compressor's block size; it exists only
    // when the movie's size needs padding.
    std::vector<std::uint8_t> m_arrFrameBuffer;
    std::int32_t m_nFrameIndex = 0;
    AVFormatContext* m_pFile = nullptr;
    AVStream* m_pStream = nullptr;
    AVCodecContext* m_pCompressor = nullptr;
    AVFrame* m_pFrame = nullptr;
    AVPacket* m_pPacket = nullptr;
    bool m_bHeaderWritten = false;
    int m_nFrameRate;
    std::uint32_t m_dwCodec;
    std::string m_szFileName;
    std::string m_szLastError;
    std::int32_t m_nState = 1;
    int m_nWidth = 0; // the caller's frame
    int m_nHeight = 0;
    int m_nBitCount = 0;
    int m_nCodedWidth = 0; // the compressor's frame, padded to whole blocks
    int m_nCodedHeight = 0;
    AppendFunction m_pAppendTable[3];
};

} // namespace kinovex
