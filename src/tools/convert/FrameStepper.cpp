#include "tools/convert/FrameStepper.h"

#include "engine/Player.h"
#include "tools/convert/FramePacing.h"
#include "tools/convert/StartButton.h"

#include <cmath>

namespace kinovex::cli {

namespace {

void clickAt(flash::Player& player, const Click& c) {
    const flash::StagePoint p{c.x, c.y};
    player.mouseMove(p);
    player.mouseDown(p);
    player.mouseUp(p);
}

// No clip plays on to frames it has not shown, no timer is due soon (unless it only polls),
// nothing is loading.
bool clipsAndTimersAtRest(const flash::Activity& a, bool timerPolls) {
    return a.clipsSettled && a.loadsPending == 0 &&
           (!a.nextTimerMs || *a.nextTimerMs > kTimerHorizonMs || timerPolls);
}

} // namespace

FrameStepper::FrameStepper(flash::Player& player, const ConvertOptions& options, Rational rate,
                           bool lengthFixed)
    : m_player(player), m_options(options), m_rate(rate), m_lengthFixed(lengthFixed) {}

bool FrameStepper::stepTo(std::uint64_t n) {
    m_pressed.clear();
    for (const Click& c : m_options.clicks) {
        if (c.frame == n + 1) {
            clickAt(m_player, c); // before frame 1: as soon as the movie can take it
        }
    }
    if (m_player.hasQuit()) {
        m_settled = true;
        // The movie closed itself: the previous output frame was the last.
        return n == 0 || m_lengthFixed;
    }
    int advanced = 0;
    if (n > 0) {
        const std::uint64_t due = millisecondsAt(m_rate, n);
        const auto step = static_cast<std::uint32_t>(due - m_clockMs);
        m_clockMs = due;
        advanced = m_player.advance(step);
    }
    flash::Activity activity = m_player.activity();
    const bool timerNear = activity.nextTimerMs && *activity.nextTimerMs <= kTimerHorizonMs;
    m_timerNearMs = timerNear ? m_timerNearMs + 1000.0 / m_rate.value() : 0.0;
    const bool timerPolls = m_timerNearMs > kPollingAfterMs;
    // Played on from its last frame and back to an earlier one (or that one again, playing),
    // with its clips and timers at rest: the previous output frame was the last. Sound still
    // playing does not hold it: going round again starts the sounds of the first frames anew,
    // so a loop with a sound a little longer than itself would never end. A main timeline
    // stopped on its last frame comes to rest instead, and waits for its sound.
    const std::uint32_t count = m_player.frameCount();
    const std::uint32_t now = m_player.currentFrame();
    const bool wentBack = now < m_lastShown || (now == m_lastShown && activity.mainPlaying);
    noteScriptLoop(now, count, advanced);
    if (!m_lengthFixed && count > 1 && m_lastShown == count && advanced > 0 && wentBack &&
        clipsAndTimersAtRest(activity, timerPolls)) {
        return false;
    }
    const bool mainSettled = activity.mainSettled() || m_mainLoops;
    if (m_options.autoPlay && n > 0 && mainSettled && activity.clipsSettled) {
        // A movie that played through to its last frame shows its end there, not a start: its
        // button would play it again. A main timeline of one frame plays in its clips.
        const bool atEnd = count > 1 && activity.mainShownLastFrame;
        if (!atEnd) {
            pressStartButton(n, now);
        }
        if (!m_pressed.empty()) {
            activity = m_player.activity();
        }
    }
    m_settled = mainSettled && !activity.soundPlaying && clipsAndTimersAtRest(activity, timerPolls);
    m_lastShown = m_player.currentFrame(); // a press may have moved it
    return true;
}

void FrameStepper::noteScriptLoop(std::uint32_t now, std::uint32_t count, int advanced) {
    if (advanced <= 0 || now >= m_lastShown || m_lastShown == count) {
        return; // not sent back by a script (going round from the last frame is no jump)
    }
    // Landing where the last jump back landed, give or take the frames one step plays.
    if (m_lastLanding && std::abs(static_cast<std::int64_t>(now) -
                                  static_cast<std::int64_t>(*m_lastLanding)) <= advanced) {
        m_mainLoops = true;
    }
    m_lastLanding = now;
}

void FrameStepper::pressStartButton(std::uint64_t n, std::uint32_t frame) {
    if (m_autoPlayedOn == frame || n < m_nextButtonLook) {
        return;
    }
    const std::vector<flash::StageButton> buttons = m_player.buttonsOnStage();
    if (const auto chosen = chooseStartButton(buttons)) {
        const flash::StageButton& button = buttons[*chosen];
        clickAt(m_player, Click{button.centre.x, button.centre.y, 0});
        m_autoPlayedOn = frame;
        m_pressed = buttonLabel(button);
    } else {
        // None to press: looking again at every frame of a movie that stays that way would
        // cost a walk over its buttons each time; once a second is soon enough.
        m_nextButtonLook = n + static_cast<std::uint64_t>(std::ceil(m_rate.value()));
    }
}

bool FrameStepper::buttonShown() const {
    return m_player.firstButtonCentre().has_value();
}

} // namespace kinovex::cli
