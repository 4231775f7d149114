#pragma once
// Reads an AVI back with libavformat/libavcodec, the way the encoder will.

#include <cstdint>
#include <string>
#include <vector>

namespace kinovex {

struct AviContents {
    bool opened = false;
    int videoStreams = 0;
    std::uint32_t codecTag = 0;
    int width = 0;
    int height = 0;
    double frameRate = 0;
    int packets = 0;
    int decodedFrames = 0;
    // The first decoded frame, top row first, one RGB555 value per pixel.
    std::vector<std::uint16_t> firstFrame;
};

AviContents ReadAvi(const std::string& path);

// A 16-bit bottom-up bitmap (rows padded to 4 bytes) whose top-down picture is `picture`.
std::vector<std::uint8_t> MakeDib(const std::vector<std::uint16_t>& picture, int width, int height);

} // namespace kinovex
