#pragma once
// Embedded video as a movie stores it: the stream's definition (DefineVideoStream) and its coded
// frames (VideoFrame tags), kept by frame number.

#include "engine/definitions/Characters.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace kinovex::flash {

inline constexpr std::uint16_t VideoTagDefineVideoStream = 60;
inline constexpr std::uint16_t VideoTagVideoFrame = 61;

// The codec numbers movies use.
enum class VideoCodec : std::uint8_t {
    SorensonH263 = 2,
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
};

struct CodedVideoFrame {
    std::vector<std::uint8_t> data; // empty: the picture stays as it was
    bool keyframe = false;          // decodes without the frames before it
};

struct VideoStream : Character {
    VideoStream() : Character(Kind::Video) {}
    std::uint16_t frameCount = 0; // as declared; frames are kept whatever their number
    std::uint16_t width = 0;      // pixels
    std::uint16_t height = 0;
    std::uint8_t deblocking = 0; // 0: as each frame says, 1: off, 2..5: filter levels
    bool smoothing = false;
    std::uint8_t codec = 0; // a VideoCodec, or a number no player knows
    std::map<std::uint16_t, CodedVideoFrame> frames;
    // Trouble decoding the stream is reported once, not once per frame drawn.
    // Atomic: engines drawing one movie side by side share its streams.
    mutable std::atomic<bool> problemReported{false};
};

// DefineVideoStream. False when the tag is too short.
bool parseDefineVideoStream(std::span<const std::uint8_t> body, VideoStream& stream);

// A VideoFrame tag: gives its data to the stream it names in `dictionary`. False when the tag is
// too short to hold its stream and frame number; `problem` tells what else was wrong (no such
// stream, a frame given twice) and then nothing was stored.
bool storeVideoFrame(std::span<const std::uint8_t> body,
                     std::unordered_map<std::uint16_t, std::unique_ptr<Character>>& dictionary,
                     std::string& problem);

// Whether a coded frame of `codec` can be decoded without the frames before it, read from the
// frame's own header. Frames of unknown codecs and damaged headers are not keyframes.
bool isVideoKeyframe(std::uint8_t codec, std::span<const std::uint8_t> data);

const char* videoCodecName(std::uint8_t codec);

} // namespace kinovex::flash
