#include "cli/convert/FrameStepper.h"

#include "cli/convert/FramePacing.h"
#include "engine/Player.h"

namespace kinovex::cli {

namespace {

void clickAt(flash::Player& player, const Click& c) {
    const flash::StagePoint p{c.x, c.y};
    player.mouseMove(p);
    player.mouseDown(p);
    player.mouseUp(p);
}

} // namespace

FrameStepper::FrameStepper(flash::Player& player, const ConvertOptions& options, Rational rate,
                           bool lengthFixed)
    : m_player(player), m_options(options), m_rate(rate), m_lengthFixed(lengthFixed) {}

bool FrameStepper::stepTo(std::uint64_t n) {
    for (const Click& c : m_options.clicks) {
        if (c.frame == n + 1) {
            clickAt(m_player, c); // before frame 1: as soon as the movie can take it
        }
    }
    if (n > 0 && !m_lengthFixed && m_player.hasQuit()) {
        return false; // the movie closed itself: the previous output frame was the last
    }
    if (n > 0) {
        const std::uint64_t due = millisecondsAt(m_rate, n);
        const auto step = static_cast<std::uint32_t>(due - m_clockMs);
        m_clockMs = due;
        const std::uint32_t before = m_player.currentFrame();
        const int advanced = m_player.advance(step);
        const std::uint32_t now = m_player.currentFrame();
        // Played on from its last frame and back to (or still at) an earlier one or that one:
        // the previous output frame was the last.
        const std::uint32_t count = m_player.frameCount();
        if (!m_lengthFixed && count > 1 && m_lastShown == count && advanced > 0 &&
            now <= m_lastShown) {
            return false;
        }
        // A main timeline that moved on a frame and still shows the same one stands stopped:
        // a button there is what the movie waits for.
        if (m_options.autoPlay && advanced > 0 && now == before && m_autoPlayedOn != now) {
            if (const auto centre = m_player.firstButtonCentre()) {
                clickAt(m_player, Click{centre->x, centre->y, 0});
                m_autoPlayedOn = now;
            }
        }
    }
    m_lastShown = m_player.currentFrame();
    return true;
}

} // namespace kinovex::cli
