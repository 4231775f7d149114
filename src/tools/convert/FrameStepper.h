#pragma once
// Moves a movie on from one output frame to the next: the clicks due before the frame, the
// engine's clock advanced to the frame's instant, the press of a start button when the movie
// waits on one, and whether the movie has come to rest.

#include "tools/convert/ConvertOptions.h"
#include "tools/convert/OutputFormat.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kinovex::flash {
class Player;
}

namespace kinovex::cli {

// A script timer due sooner than this still counts as something that will happen.
constexpr double kTimerHorizonMs = 1000;
// A timer due within the horizon at every frame for longer than this is a script polling (an
// interval shorter than the horizon, checking on something): like a clip looping, it repeats
// itself, and whether the picture still changes decides the end.
constexpr double kPollingAfterMs = 2000;

class FrameStepper {
public:
    // `lengthFixed`: --frames or --duration set the length, so the movie's end does not count.
    FrameStepper(flash::Player& player, const ConvertOptions& options, Rational rate,
                 bool lengthFixed);

    // Brings the engine to output frame `n` (0-based; frame 0 is the one shown at load; call
    // with n = 0, 1, 2 ... in turn). False when the movie ended before that frame: it closed
    // itself, or its main timeline went back from its last frame with nothing else going on.
    bool stepTo(std::uint64_t n);

    // After stepTo: nothing more happens on its own. The main timeline and every clip stand
    // stopped or have shown their last frame, no sound plays, no timer comes due within
    // kTimerHorizonMs and nothing is being loaded.
    bool settled() const { return m_settled; }
    // After stepTo: the button pressed to start the movie on this frame ("" when none), as
    // buttonLabel() names it.
    const std::string& pressed() const { return m_pressed; }
    // A visible, enabled button stands on the stage.
    bool buttonShown() const;

private:
    // A main timeline a script sends back to the same frame a second time loops there: like
    // one that went round from its last frame, it only repeats what it showed.
    void noteScriptLoop(std::uint32_t now, std::uint32_t count, int advanced);
    // Presses the start button, if there is one, on output frame `n` showing main `frame`.
    void pressStartButton(std::uint64_t n, std::uint32_t frame);

    flash::Player& m_player;
    const ConvertOptions& m_options;
    Rational m_rate;
    bool m_lengthFixed;
    std::uint64_t m_clockMs = 0;
    std::uint32_t m_lastShown = 0;
    std::uint32_t m_autoPlayedOn = 0;   // the main timeline's frame a button was last pressed on
    std::uint64_t m_nextButtonLook = 0; // the output frame from which to look for one again
    bool m_settled = false;
    std::optional<std::uint32_t> m_lastLanding; // where a script last sent the main timeline back
    bool m_mainLoops = false;
    double m_timerNearMs = 0; // how long a timer has been due within the horizon at every frame
    std::string m_pressed;
};

} // namespace kinovex::cli
