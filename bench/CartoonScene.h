// The scene the engine's and the converter's benchmarks draw: a 550 x 400 stage with a bitmap
// backdrop and groups of ten gradient shapes with strokes, as a cartoon's characters are built
// from many small parts.
#pragma once

#include "SwfWriter.h"

#include <cstdint>

namespace kinovex::bench {

// How the groups change from frame to frame.
enum class Motion {
    Slide,   // every group and the backdrop move by a fraction of a pixel
    Turn,    // ... and every group turns and grows: no frame repeats a shape's look
    Typical, // a cartoon: half the groups stand still, half slide; each frame one group in
             // five turns and changes size (each group every fifth frame)
};

class CartoonScene {
public:
    // Defines the bitmap, the eight shapes and the group sprite in `movie`. With `filtered`,
    // one group in three casts a drop shadow and one in five glows, as in real cartoons.
    CartoonScene(swf::SwfWriter& movie, int shapes, Motion motion, bool filtered = false);

    // Places (frame 0) or moves everything for frame `frame`; the caller shows the frame.
    void placeFrame(int frame);

private:
    swf::SwfWriter& m_movie;
    int m_groups;
    Motion m_motion;
    bool m_filtered;
    std::uint16_t m_backdrop = 0;
    std::uint16_t m_group = 0;
};

} // namespace kinovex::bench
