#include "core/record/CAviWriter.h"

#include "platform/ScreenSize.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

namespace kinovex {
namespace {

const char* const kMethodSucceeded = "Method Succeeded";

// The compressor for a four-character code. Only "MSVC" (Microsoft Video 1) is offered: it is
// what the recorder asks for, and the only compressor whose input is the recorder's 16-bit
// frame as it stands.
const AVCodec* FindCompressor(std::uint32_t codec) {
    char text[4];
    for (int i = 0; i < 4; ++i)
        text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(codec >> (8 * i))));
    if (std::memcmp(text, "MSVC", 4) == 0)
        return avcodec_find_encoder(AV_CODEC_ID_MSVIDEO1);
    return nullptr;
}

// Microsoft Video 1 codes 4 x 4 blocks.
constexpr int kBlock = 4;

int RoundUpToBlock(int value) {
    return (value + kBlock - 1) / kBlock * kBlock;
}

// A caller's buffer shown to the compressor without copying; the compressor is done with it
// before AppendFrame returns.
void KeepCallerBuffer(void* /*opaque*/, std::uint8_t* /*data*/) {}

} // namespace

CAviWriter::CAviWriter(const std::string& fileName, std::uint32_t codec, int frameRate)
    : m_nFrameRate(frameRate), m_dwCodec(codec), m_szFileName(fileName),
      m_szLastError(kMethodSucceeded), m_pAppendTable{&CAviWriter::AppendClosed,
                                                      &CAviWriter::AppendFirstFrame,
                                                      &CAviWriter::AppendNextFrame} {}

CAviWriter::~CAviWriter() {
    ReleaseAll();
}

std::uint32_t CAviWriter::FrameSize(int width, int height, int bitCount) {
    if (width <= 0 || height <= 0 || bitCount <= 0)
        return 0;
    const std::uint64_t row = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
    return static_cast<std::uint32_t>(row * static_cast<std::uint64_t>(height));
}

bool CAviWriter::AppendFrame(int width, int height, const void* bits, int bitCount) {
    return (this->*m_pAppendTable[m_nState])(width, height, bits, bitCount);
}

bool CAviWriter::AppendClosed(int, int, const void*, int) {
    return false;
}

bool CAviWriter::Fail(const char* text) {
    m_szLastError.assign(text, std::min<std::size_t>(std::strlen(text), 259));
    ReleaseAll();
    return false;
}

bool CAviWriter::AppendFirstFrame(int width, int height, const void* bits, int bitCount) {
    // Sizes the compressor and the file header can hold; anything else is not a movie frame.
    constexpr int kMaxSide = 16384;
    const bool sizeValid = width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
                           bitCount > 0 && bitCount <= 32;
    m_nWidth = width;
    m_nHeight = height;
    m_nBitCount = bitCount;
    m_nCodedWidth = sizeValid ? RoundUpToBlock(width) : 0;
    m_nCodedHeight = sizeValid ? RoundUpToBlock(height) : 0;

    // The frame buffer pads a frame whose size is not a whole number of blocks. It is sized for
    // the larger of the screen and the frame, so any frame the player hands over fits.
    if (sizeValid && (m_nCodedWidth != width || m_nCodedHeight != height)) {
        const ScreenSize screen = PrimaryScreenSize();
        const std::size_t screenBytes = static_cast<std::size_t>(std::max(screen.width, width)) *
                                        static_cast<std::size_t>(std::max(screen.height, height)) *
                                        4;
        const std::size_t codedBytes =
            static_cast<std::size_t>(m_nCodedWidth) * static_cast<std::size_t>(m_nCodedHeight) * 4;
        try {
            m_arrFrameBuffer.assign(std::max(screenBytes, codedBytes), 0);
        } catch (const std::bad_alloc&) {
            return Fail("Unable to Allocate Memory on Heap");
        }
    }

    // An existing file is replaced. "file:" keeps a colon in the name from reading as a
    // protocol.
    if (avformat_alloc_output_context2(&m_pFile, nullptr, "avi", m_szFileName.c_str()) < 0 ||
        m_pFile == nullptr)
        return Fail("Unable to Create the Movie File");
    if (avio_open(&m_pFile->pb, ("file:" + m_szFileName).c_str(), AVIO_FLAG_WRITE) < 0)
        return Fail("Unable to Create the Movie File");
    // Every frame goes to the file at once, so a failing disk shows at the frame it hits.
    m_pFile->flags |= AVFMT_FLAG_FLUSH_PACKETS;

    if (m_nFrameRate <= 0)
        return Fail("Unable to Create Video Stream in the Movie File");
    m_pStream = avformat_new_stream(m_pFile, nullptr);
    if (m_pStream == nullptr)
        return Fail("Unable to Create Video Stream in the Movie File");
    m_pStream->time_base = AVRational{1, m_nFrameRate};
    m_pStream->avg_frame_rate = AVRational{m_nFrameRate, 1};
    m_pStream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    m_pStream->codecpar->codec_tag = m_dwCodec;
    m_pStream->codecpar->width = m_nCodedWidth;
    m_pStream->codecpar->height = m_nCodedHeight;
    m_pStream->codecpar->bits_per_coded_sample = bitCount;

    const AVCodec* compressor = FindCompressor(m_dwCodec);
    if (compressor != nullptr)
        m_pCompressor = avcodec_alloc_context3(compressor);
    if (m_pCompressor == nullptr)
        return Fail("Unable to Create Compressed Stream: Check your CODEC options");

    // The compressor takes 16-bit RGB 5-5-5, the layout of a 16-bit bitmap.
    if (!sizeValid || bitCount != 16)
        return Fail("Unable to Set Video Stream Format");
    m_pCompressor->width = m_nCodedWidth;
    m_pCompressor->height = m_nCodedHeight;
    m_pCompressor->pix_fmt = AV_PIX_FMT_RGB555LE;
    m_pCompressor->time_base = AVRational{1, m_nFrameRate};
    m_pCompressor->framerate = AVRational{m_nFrameRate, 1};
    // Every frame a key frame, so the encoder can cut anywhere.
    m_pCompressor->gop_size = 1;
    m_pCompressor->keyint_min = 0;
    m_pFrame = av_frame_alloc();
    m_pPacket = av_packet_alloc();
    if (m_pFrame == nullptr || m_pPacket == nullptr ||
        avcodec_open2(m_pCompressor, compressor, nullptr) < 0 ||
        avcodec_parameters_from_context(m_pStream->codecpar, m_pCompressor) < 0)
        return Fail("Unable to Set Video Stream Format");
    m_pStream->codecpar->codec_tag = m_dwCodec;
    if (avformat_write_header(m_pFile, nullptr) < 0)
        return Fail("Unable to Set Video Stream Format");
    m_bHeaderWritten = true;

    m_nState = 2;
    return AppendNextFrame(width, height, bits, bitCount);
}

bool CAviWriter::AppendNextFrame(int, int, const void* bits, int) {
    const std::int32_t position = m_nFrameIndex++;
    if (bits == nullptr)
        return Fail("Unable to Write Video Stream to the output Movie File");

    const auto* source = static_cast<const std::uint8_t*>(bits);
    const std::uint32_t frameSize = FrameSize(m_nWidth, m_nHeight, m_nBitCount);
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(frameSize / m_nHeight);
    av_frame_unref(m_pFrame);
    m_pFrame->format = AV_PIX_FMT_RGB555LE;
    m_pFrame->width = m_nCodedWidth;
    m_pFrame->height = m_nCodedHeight;
    m_pFrame->pts = position;
    if (m_arrFrameBuffer.empty()) {
        // Bottom-up rows: start at the top row and step backwards.
        m_pFrame->buf[0] = av_buffer_create(const_cast<std::uint8_t*>(source), frameSize,
                                            KeepCallerBuffer, nullptr, AV_BUFFER_FLAG_READONLY);
        m_pFrame->data[0] = const_cast<std::uint8_t*>(source) + stride * (m_nHeight - 1);
        m_pFrame->linesize[0] = -static_cast<int>(stride);
    } else {
        // Pad to whole blocks by repeating the last column and the last row: the picture is
        // neither cropped nor scaled, and the padding compresses to almost nothing.
        const std::size_t codedStride = static_cast<std::size_t>(m_nCodedWidth) * 2;
        for (int y = 0; y < m_nCodedHeight; ++y) {
            const int pictureRow = std::min(y, m_nHeight - 1);
            const auto* from = reinterpret_cast<const std::uint16_t*>(
                source + stride * (m_nHeight - 1 - pictureRow));
            auto* to = reinterpret_cast<std::uint16_t*>(m_arrFrameBuffer.data() +
                                                        codedStride * static_cast<std::size_t>(y));
            std::memcpy(to, from, static_cast<std::size_t>(m_nWidth) * 2);
            std::fill(to + m_nWidth, to + m_nCodedWidth, from[m_nWidth - 1]);
        }
        m_pFrame->buf[0] = av_buffer_create(m_arrFrameBuffer.data(), m_arrFrameBuffer.size(),
                                            KeepCallerBuffer, nullptr, 0);
        m_pFrame->data[0] = m_arrFrameBuffer.data();
        m_pFrame->linesize[0] = static_cast<int>(codedStride);
    }
    if (m_pFrame->buf[0] == nullptr)
        return Fail("Unable to Write Video Stream to the output Movie File");

    const int sent = avcodec_send_frame(m_pCompressor, m_pFrame);
    av_frame_unref(m_pFrame);
    if (sent < 0 || !WritePacket())
        return Fail("Unable to Write Video Stream to the output Movie File");
    return true;
}

bool CAviWriter::WritePacket() {
    for (;;) {
        const int received = avcodec_receive_packet(m_pCompressor, m_pPacket);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0)
            return false;
        av_packet_rescale_ts(m_pPacket, m_pCompressor->time_base, m_pStream->time_base);
        m_pPacket->stream_index = m_pStream->index;
        // Every packet is flushed, so this is the end of the last whole frame in the file.
        const std::int64_t lastWholeFrameEnd = avio_tell(m_pFile->pb);
        const int written = av_write_frame(m_pFile, m_pPacket);
        av_packet_unref(m_pPacket);
        if (written < 0) {
            // A frame cut short by a full disk would decode as garbage: drop what made it.
            if (lastWholeFrameEnd > 0 &&
                truncate(m_szFileName.c_str(), static_cast<off_t>(lastWholeFrameEnd)) != 0)
                m_pFile->pb->error = AVERROR(errno);
            return false;
        }
    }
}

void CAviWriter::ReleaseAll() {
    m_nState = 0;
    if (m_pFile != nullptr) {
        if (m_pFile->pb != nullptr) {
            if (!m_bHeaderWritten && m_pStream != nullptr) {
                // The stream was declared before the set-up failed: the file keeps it, empty,
                // so what is on disk is a readable movie that says what was asked for.
                AVCodecParameters* parameters = m_pStream->codecpar;
                parameters->codec_type = AVMEDIA_TYPE_VIDEO;
                const AVCodecTag* const riffTags[] = {avformat_get_riff_video_tags(), nullptr};
                parameters->codec_id = av_codec_get_id(riffTags, m_dwCodec);
                parameters->codec_tag = m_dwCodec;
                parameters->width = m_nCodedWidth;
                parameters->height = m_nCodedHeight;
                if (avformat_write_header(m_pFile, nullptr) >= 0)
                    m_bHeaderWritten = true;
            }
            if (m_bHeaderWritten)
                av_write_trailer(m_pFile);
            avio_closep(&m_pFile->pb);
        }
        avformat_free_context(m_pFile);
        m_pFile = nullptr;
        m_pStream = nullptr;
    }
    m_bHeaderWritten = false;
    avcodec_free_context(&m_pCompressor);
    av_frame_free(&m_pFrame);
    av_packet_free(&m_pPacket);
    m_arrFrameBuffer.clear();
    m_arrFrameBuffer.shrink_to_fit();
}

void CAviWriter::Close() {
    ReleaseAll();
}

} // namespace kinovex
