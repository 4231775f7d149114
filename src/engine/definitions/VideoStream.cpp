#include "engine/definitions/VideoStream.h"

#include "engine/swf/BitReader.h"

namespace kinovex::flash {

namespace {

// Reads the big-endian bit fields of codec headers; reading past the end gives zeros and marks
// the reader failed.
class HeaderBits {
public:
    explicit HeaderBits(std::span<const std::uint8_t> data) : m_data(data) {}

    std::uint32_t bits(unsigned count) {
        std::uint32_t v = 0;
        for (unsigned i = 0; i < count; ++i) {
            const std::size_t byte = m_pos / 8;
            if (byte >= m_data.size()) {
                m_failed = true;
                return 0;
            }
            const unsigned bit = 7 - static_cast<unsigned>(m_pos % 8);
            v = v << 1 | ((m_data[byte] >> bit) & 1u);
            ++m_pos;
        }
        return v;
    }
    // Whole bytes, from a byte boundary.
    void skipBytes(std::size_t count) {
        m_pos = (m_pos + 7) / 8 * 8;
        if (count > m_data.size() - std::min(m_data.size(), m_pos / 8)) {
            m_failed = true;
            m_pos = m_data.size() * 8;
            return;
        }
        m_pos += count * 8;
    }
    bool failed() const { return m_failed; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

bool h263IsIntra(std::span<const std::uint8_t> data) {
    HeaderBits h(data);
    if (h.bits(17) != 1) {
        return false; // no picture start code
    }
    const std::uint32_t version = h.bits(5);
    if (version > 1) {
        return false;
    }
    h.bits(8); // temporal reference
    const std::uint32_t size = h.bits(3);
    if (size == 0) {
        h.bits(16); // width and height in a byte each
    } else if (size == 1) {
        h.bits(32); // in two bytes each
    }
    const std::uint32_t type = h.bits(2);
    return !h.failed() && type == 0;
}

// A screen video frame is whole when every block of the picture is in it; version 2 blocks must
// also not refer to an earlier picture.
bool screenFrameIsWhole(std::span<const std::uint8_t> data, bool version2) {
    HeaderBits h(data);
    const std::uint32_t blockWidth = 16 * (h.bits(4) + 1);
    const std::uint32_t width = h.bits(12);
    const std::uint32_t blockHeight = 16 * (h.bits(4) + 1);
    const std::uint32_t height = h.bits(12);
    if (h.failed() || width == 0 || height == 0) {
        return false;
    }
    if (version2) {
        h.bits(6);
        if (h.bits(1) != 0 || h.bits(1) != 0) {
            return false; // an image of reference or a palette of its own: not simple enough
        }
    }
    const std::uint32_t columns = (width + blockWidth - 1) / blockWidth;
    const std::uint32_t rows = (height + blockHeight - 1) / blockHeight;
    for (std::uint32_t i = 0; i < columns * rows; ++i) {
        const std::uint32_t size = h.bits(16);
        if (h.failed() || size == 0) {
            return false;
        }
        if (version2) {
            h.bits(5);                                  // reserved and colour depth
            const std::uint32_t refersBack = h.bits(3); // diff, zlib prime current / previous
            if (refersBack != 0) {
                return false;
            }
            h.skipBytes(size - 1);
        } else {
            h.skipBytes(size);
        }
        if (h.failed()) {
            return false;
        }
    }
    return true;
}

} // namespace

bool parseDefineVideoStream(std::span<const std::uint8_t> body, VideoStream& stream) {
    BitReader r(body);
    stream.id = r.u16();
    stream.frameCount = r.u16();
    stream.width = r.u16();
    stream.height = r.u16();
    const std::uint8_t flags = r.u8();
    stream.deblocking = static_cast<std::uint8_t>((flags >> 1) & 7u);
    stream.smoothing = (flags & 1u) != 0;
    stream.codec = r.u8();
    return r.ok();
}

bool storeVideoFrame(std::span<const std::uint8_t> body,
                     std::unordered_map<std::uint16_t, std::unique_ptr<Character>>& dictionary,
                     std::string& problem) {
    BitReader r(body);
    const std::uint16_t streamId = r.u16();
    const std::uint16_t frame = r.u16();
    const std::span<const std::uint8_t> data = r.rest();
    if (r.failed()) {
        return false;
    }
    auto it = dictionary.find(streamId);
    if (it == dictionary.end() || it->second->kind != Character::Kind::Video) {
        problem = "video frame " + std::to_string(frame) + " belongs to character " +
                  std::to_string(streamId) + ", which is not a video stream";
        return true;
    }
    auto& stream = static_cast<VideoStream&>(*it->second);
    if (stream.frames.count(frame) != 0) {
        // The first one wins, as with characters defined twice.
        problem = "video frame " + std::to_string(frame) + " of stream " +
                  std::to_string(streamId) + " is given twice";
        return true;
    }
    CodedVideoFrame& coded = stream.frames[frame];
    coded.data.assign(data.begin(), data.end());
    coded.keyframe = isVideoKeyframe(stream.codec, data);
    return true;
}

bool isVideoKeyframe(std::uint8_t codec, std::span<const std::uint8_t> data) {
    switch (static_cast<VideoCodec>(codec)) {
    case VideoCodec::SorensonH263:
        return h263IsIntra(data);
    case VideoCodec::ScreenVideo:
        return screenFrameIsWhole(data, false);
    case VideoCodec::ScreenVideo2:
        return screenFrameIsWhole(data, true);
    case VideoCodec::Vp6:
        // The first bit of a VP6 frame is its mode: 0 for an intra frame.
        return !data.empty() && (data[0] & 0x80u) == 0;
    case VideoCodec::Vp6Alpha:
        // After the 24-bit offset of the alpha frame.
        return data.size() > 3 && (data[3] & 0x80u) == 0;
    }
    return false;
}

const char* videoCodecName(std::uint8_t codec) {
    switch (static_cast<VideoCodec>(codec)) {
    case VideoCodec::SorensonH263:
        return "Sorenson H.263";
    case VideoCodec::ScreenVideo:
        return "screen video";
    case VideoCodec::Vp6:
        return "VP6";
    case VideoCodec::Vp6Alpha:
        return "VP6 with alpha";
    case VideoCodec::ScreenVideo2:
        return "screen video 2";
    }
    return "an unknown codec";
}

} // namespace kinovex::flash
