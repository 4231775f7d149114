#pragma once
// What the player asks of a movie's script machine. The display layer defines it and the
// player holds a machine only through it, so the ActionScript 1/2 runtime and a machine for
// later movies plug in the same way, both over the same display list.

#include "engine/display/ButtonInput.h"
#include "engine/display/ScriptLayers.h"
#include "engine/display/Timeline.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kinovex::flash {

class ScriptMachine {
public:
    virtual ~ScriptMachine() = default;

    // Where trace() lines go, in order.
    virtual void setTraceSink(std::function<void(std::string_view)> sink) = 0;
    // The most instructions one frame's scripts may run before they are stopped.
    virtual void setInstructionBudget(std::uint64_t actions) = 0;

    // The main timeline, before its first frame is shown.
    virtual void attachRoot(TimelineInstance& root) = 0;
    // One frame of the movie: timelines move on and the scripts that frame brings run, with
    // the scripts' clock standing at `nowMs`.
    virtual void runFrame(double nowMs) = 0;
    // Runs what the last frame, jump or input event queued, and shows bound text fields.
    virtual void finishFrame() = 0;

    // True once a script has asked the player to close (fscommand "quit"): from then on no
    // timeline moves and no script runs.
    virtual bool quitRequested() const = 0;

    // When the next of the scripts' timers (setInterval and the like) comes due, on the
    // scripts' clock (the `nowMs` of runFrame); none while no timer is set.
    virtual std::optional<double> nextTimerDueMs() const = 0;
    // The folder the movie was read from: scripts may load text files in it (LoadVars, XML,
    // loadVariables). A machine given none (a movie from memory) finds every file missing.
    virtual void setMovieFolder(std::string folder) = 0;
    // Where Date's clock stands when the movie starts (milliseconds since 1970, UTC); the
    // movie's own time is added to it as it plays.
    virtual void setClockEpoch(double epochMs) = 0;
    // Loads scripts started that have not finished yet; each finishes on a later frame.
    virtual std::size_t loadsPending() const = 0;

    // The callbacks through which buttons and clips that act as buttons reach the scripts.
    virtual ButtonScripts buttonScripts() = 0;
    // The display objects the machine made itself, for the renderer (null: it makes none; the
    // timelines' display lists hold all there is to draw).
    virtual const ScriptLayers* scriptLayers() const { return nullptr; }

    // Input, in stage pixels, before the buttons see it (clip events, listeners).
    virtual void mouseMove(double x, double y) = 0;
    virtual void mouseDown(double x, double y) = 0;
    virtual void mouseUp(double x, double y) = 0;
    virtual void keyDown(int keyCode, std::uint32_t charCode) = 0;
    virtual void keyUp(int keyCode, std::uint32_t charCode) = 0;
};

} // namespace kinovex::flash
