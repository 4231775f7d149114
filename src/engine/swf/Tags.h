#pragma once
// Tag codes and walking a sequence of tags.

#include "engine/swf/Log.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kinovex::flash {

enum TagCode : std::uint16_t {
    TagEnd = 0,
    TagShowFrame = 1,
    TagDefineShape = 2,
    TagPlaceObject = 4,
    TagRemoveObject = 5,
    TagDefineBits = 6,
    TagDefineButton = 7,
    TagJpegTables = 8,
    TagSetBackgroundColor = 9,
    TagDefineFont = 10,
    TagDefineText = 11,
    TagDoAction = 12,
    TagDefineButtonSound = 17,
    TagDefineBitsLossless = 20,
    TagDefineBitsJpeg2 = 21,
    TagDefineShape2 = 22,
    TagDefineButtonCxform = 23,
    TagPlaceObject2 = 26,
    TagRemoveObject2 = 28,
    TagDefineShape3 = 32,
    TagDefineText2 = 33,
    TagDefineButton2 = 34,
    TagDefineBitsJpeg3 = 35,
    TagDefineBitsLossless2 = 36,
    TagDefineEditText = 37,
    TagDefineSprite = 39,
    TagFrameLabel = 43,
    TagDefineMorphShape = 46,
    TagDefineFont2 = 48,
    TagFileAttributes = 69,
    TagPlaceObject3 = 70,
    TagDoAbc = 72,
    TagDefineFont3 = 75,
    TagSymbolClass = 76,
    TagDoAbc2 = 82,
    TagDefineShape4 = 83,
    TagDefineMorphShape2 = 84,
    TagDefineSceneAndFrameLabelData = 86,
    TagDefineBitsJpeg4 = 90,
};

struct Tag {
    std::uint16_t code = 0;
    std::size_t offset = 0; // of the tag header, in the movie's uncompressed bytes
    std::size_t bodyOffset = 0;
    std::span<const std::uint8_t> body;
};

// Walks the tags of `data` (a movie body or a sprite's tag list). `baseOffset` is where `data`
// starts in the movie, so reported offsets are absolute. A tag whose length runs past the end is
// reported, and iteration stops there: nothing after it can be trusted.
class TagReader {
public:
    TagReader(std::span<const std::uint8_t> data, std::size_t baseOffset, Log& log)
        : m_data(data), m_base(baseOffset), m_log(log) {}

    // False at the End tag, at the end of the data, or at a tag that cannot be read.
    bool next(Tag& tag);

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_base;
    Log& m_log;
    std::size_t m_pos = 0;
    bool m_done = false;
};

} // namespace kinovex::flash
