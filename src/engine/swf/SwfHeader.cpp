#include "engine/swf/SwfHeader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <lzma.h>
#include <zlib.h>

namespace kinovex::flash {

namespace {

// An LZMA body starts with its packed length (4 bytes) and 5 bytes of coder properties.
constexpr std::size_t kLzmaPropertiesAt = 4;
constexpr std::size_t kLzmaProperties = 5;
constexpr std::size_t kLzmaPrefix = kLzmaPropertiesAt + kLzmaProperties;

// How many bytes a frame header takes, from its first byte (the rectangle's field width).
std::size_t frameHeaderSize(std::uint8_t first) {
    const unsigned rectangleBits = 5 + 4 * (first >> 3);
    return (rectangleBits + 7) / 8 + 4;
}

// What a source says after filling a buffer: filled, ended short, or broken.
enum class Flow { Full, Ended, Damaged };

class StoredSource {
public:
    explicit StoredSource(std::span<const std::uint8_t> body) : m_rest(body) {}
    Flow fill(std::span<std::uint8_t> out, std::size_t& count) {
        const std::size_t n = std::min(out.size(), m_rest.size());
        std::copy_n(m_rest.begin(), n, out.begin());
        m_rest = m_rest.subspan(n);
        count += n;
        return n == out.size() ? Flow::Full : Flow::Ended;
    }

private:
    std::span<const std::uint8_t> m_rest;
};

class ZlibSource {
public:
    explicit ZlibSource(std::span<const std::uint8_t> body) {
        m_stream.next_in = const_cast<Bytef*>(body.data()); // zlib's API is not const-correct
        m_stream.avail_in = static_cast<uInt>(std::min<std::size_t>(body.size(), UINT32_MAX));
        m_open = !body.empty() && inflateInit(&m_stream) == Z_OK;
    }
    ~ZlibSource() {
        if (m_open) {
            inflateEnd(&m_stream);
        }
    }
    ZlibSource(const ZlibSource&) = delete;
    ZlibSource& operator=(const ZlibSource&) = delete;

    Flow fill(std::span<std::uint8_t> out, std::size_t& count) {
        if (!m_open) {
            return Flow::Damaged;
        }
        m_stream.next_out = out.data();
        m_stream.avail_out = static_cast<uInt>(out.size());
        int rc = Z_OK;
        // Without progress inflate answers Z_BUF_ERROR, so this ends.
        while (m_stream.avail_out > 0 && rc == Z_OK) {
            rc = inflate(&m_stream, Z_NO_FLUSH);
        }
        count += out.size() - m_stream.avail_out;
        if (m_stream.avail_out == 0) {
            return Flow::Full;
        }
        return rc == Z_STREAM_END || rc == Z_BUF_ERROR ? Flow::Ended : Flow::Damaged;
    }

private:
    z_stream m_stream{};
    bool m_open = false;
};

class LzmaSource {
public:
    explicit LzmaSource(std::span<const std::uint8_t> body) {
        if (body.size() <= kLzmaPrefix) {
            return; // no stream to unpack
        }
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_properties_decode(&filters[0], nullptr, body.data() + kLzmaPropertiesAt,
                                   kLzmaProperties) != LZMA_OK) {
            return;
        }
        // No match in the few bytes unpacked here reaches further back than they go, so the
        // smallest dictionary decodes them the same, and the file's own size is never allocated.
        static_cast<lzma_options_lzma*>(filters[0].options)->dict_size = LZMA_DICT_SIZE_MIN;
        m_open = lzma_raw_decoder(&m_stream, filters) == LZMA_OK;
        std::free(filters[0].options); // the decoder keeps its own copy
        m_stream.next_in = body.data() + kLzmaPrefix;
        m_stream.avail_in = body.size() - kLzmaPrefix;
    }
    ~LzmaSource() { lzma_end(&m_stream); }
    LzmaSource(const LzmaSource&) = delete;
    LzmaSource& operator=(const LzmaSource&) = delete;

    Flow fill(std::span<std::uint8_t> out, std::size_t& count) {
        if (!m_open) {
            return Flow::Damaged;
        }
        m_stream.next_out = out.data();
        m_stream.avail_out = out.size();
        lzma_ret rc = LZMA_OK;
        while (m_stream.avail_out > 0 && rc == LZMA_OK) {
            const std::size_t inBefore = m_stream.avail_in;
            const std::size_t outBefore = m_stream.avail_out;
            rc = lzma_code(&m_stream, LZMA_RUN);
            if (m_stream.avail_in == inBefore && m_stream.avail_out == outBefore) {
                break; // nothing more comes of what is there
            }
        }
        count += out.size() - m_stream.avail_out;
        if (m_stream.avail_out == 0) {
            return Flow::Full;
        }
        return rc == LZMA_OK || rc == LZMA_STREAM_END || rc == LZMA_BUF_ERROR ? Flow::Ended
                                                                              : Flow::Damaged;
    }

private:
    lzma_stream m_stream = LZMA_STREAM_INIT;
    bool m_open = false;
};

// Two steps: the first byte, which tells the header's size, then the rest of the header.
template <class Source> FrameHeaderBytes pullFrameHeader(Source& source, std::size_t bodyLimit) {
    FrameHeaderBytes out;
    const std::span<std::uint8_t> bytes(out.bytes);
    Flow flow = source.fill(bytes.first(std::min<std::size_t>(1, bodyLimit)), out.count);
    if (flow == Flow::Full && out.count == 1) {
        const std::size_t size = std::min(frameHeaderSize(out.bytes[0]), bodyLimit);
        flow = source.fill(bytes.subspan(1, size - 1), out.count);
    }
    out.damaged = flow == Flow::Damaged;
    return out;
}

} // namespace

SwfHeaderError readPreamble(std::span<const std::uint8_t> file, SwfPreamble& out) {
    out = SwfPreamble{};
    if (file.size() < kSwfPreambleBytes) {
        return SwfHeaderError::TooShort;
    }
    const char sig = static_cast<char>(file[0]);
    if ((sig != 'F' && sig != 'C' && sig != 'Z') || file[1] != 'W' || file[2] != 'S') {
        return SwfHeaderError::NotAMovie;
    }
    out.compression = sig;
    out.version = file[3];
    BitReader length(file.subspan(4, 4));
    out.declaredLength = length.u32();
    return SwfHeaderError::None;
}

FrameHeader readFrameHeader(BitReader& r) {
    FrameHeader header;
    header.frameSize = r.rect();
    header.frameRate256 = r.u16();
    header.frameCount = r.u16();
    return header;
}

FrameHeaderBytes unpackFrameHeader(char compression, std::span<const std::uint8_t> body,
                                   std::size_t bodyLimit) {
    if (compression == 'C') {
        ZlibSource source(body);
        return pullFrameHeader(source, bodyLimit);
    }
    if (compression == 'Z') {
        LzmaSource source(body);
        return pullFrameHeader(source, bodyLimit);
    }
    StoredSource source(body);
    return pullFrameHeader(source, bodyLimit);
}

SwfHeader readSwfHeader(std::span<const std::uint8_t> prefix) {
    SwfHeader header;
    header.error = readPreamble(prefix, header.preamble);
    if (header.error != SwfHeaderError::None) {
        return header;
    }
    const auto body = prefix.subspan(kSwfPreambleBytes);
    const char compression = header.preamble.compression;
    if ((compression == 'C' && body.empty()) ||
        (compression == 'Z' && body.size() <= kLzmaPrefix)) {
        header.error = SwfHeaderError::TooShort; // cut before the compressed stream
        return header;
    }
    // As when the movie is opened, the body ends at the declared length.
    const std::size_t declared = header.preamble.declaredLength;
    const std::size_t bodyLimit = declared > kSwfPreambleBytes ? declared - kSwfPreambleBytes : 0;
    const FrameHeaderBytes unpacked = unpackFrameHeader(compression, body, bodyLimit);
    if (unpacked.damaged) {
        header.error = SwfHeaderError::Damaged;
        return header;
    }
    BitReader r(std::span<const std::uint8_t>(unpacked.bytes.data(), unpacked.count));
    header.frame = readFrameHeader(r);
    if (r.failed()) {
        header.error = SwfHeaderError::TooShort;
        header.frame = FrameHeader{};
    }
    return header;
}

} // namespace kinovex::flash
