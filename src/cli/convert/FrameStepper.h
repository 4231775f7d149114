#pragma once
// Moves a movie on from one output frame to the next: the clicks due before the frame, the
// engine's clock advanced to the frame's instant, --auto-play's press when the movie waits on
// a button, and the end of a conversion whose length the command line leaves open.

#include "cli/convert/ConvertOptions.h"
#include "cli/convert/OutputFormat.h"

#include <cstdint>

namespace kinovex::flash {
class Player;
}

namespace kinovex::cli {

class FrameStepper {
public:
    // `lengthFixed`: --frames or --duration set the length, so the movie's end does not count.
    FrameStepper(flash::Player& player, const ConvertOptions& options, Rational rate,
                 bool lengthFixed);

    // Brings the engine to output frame `n` (0-based; frame 0 is the one shown at load; call
    // with n = 0, 1, 2 ... in turn). False when the movie ended before that frame: it reached
    // its last frame and then looped or stood still there.
    bool stepTo(std::uint64_t n);

private:
    flash::Player& m_player;
    const ConvertOptions& m_options;
    Rational m_rate;
    bool m_lengthFixed;
    std::uint64_t m_clockMs = 0;
    std::uint32_t m_lastShown = 0;
    std::uint32_t m_autoPlayedOn = 0; // the frame --auto-play last pressed a button on
};

} // namespace kinovex::cli
