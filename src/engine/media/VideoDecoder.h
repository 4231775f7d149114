#pragma once
// Decodes one placed video: each instance on the stage has its own decoder, so two placements of
// a stream can show different frames.

#include "engine/definitions/VideoStream.h"
#include "engine/swf/Log.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kinovex::flash {

// A decoded frame: premultiplied ARGB in native byte order, rows top to bottom, no padding.
struct VideoPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

class VideoDecoder {
public:
    explicit VideoDecoder(const VideoStream& stream);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    const VideoStream& stream() const { return m_stream; }

    // The picture of frame `frame` (the placement's ratio): that of the last frame at or before
    // it that the stream has. Going forward decodes the frames in between (from the latest
    // keyframe on the way); going back decodes again from the last keyframe at or before it, or
    // from the first frame when there is none. Null while there is no picture yet. Problems
    // go to `log`, once per stream.
    const VideoPicture* pictureAt(std::uint16_t frame, Log& log);

    // How many frames have been given to the decoder so far (for tests of the seeking).
    std::size_t framesDecoded() const { return m_framesDecoded; }

    // Pictures larger than this are not shown: a damaged header can claim any size.
    static constexpr long long kMaxPixels = 16LL * 1024 * 1024;

private:
    struct Impl;
    bool open(Log& log);
    void restart();
    void decode(std::uint16_t number, const CodedVideoFrame& frame, Log& log);
    void convert(Log& log);
    void problem(const std::string& message, Log& log);

    const VideoStream& m_stream;
    std::unique_ptr<Impl> m_impl;
    bool m_opened = false;
    bool m_unusable = false;
    std::optional<std::uint16_t> m_last; // the last frame given to the decoder
    bool m_havePicture = false;
    VideoPicture m_picture;
    std::size_t m_framesDecoded = 0;
};

} // namespace kinovex::flash
