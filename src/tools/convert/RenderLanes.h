#pragma once
// Engines drawing one movie's frames side by side. With L lanes, lane i plays the whole movie
// on a thread of its own and draws output frames i, i + L, i + 2L ...; the engine is
// deterministic (its own clock, a fixed random seed), so each lane sees the movie exactly as
// a single engine would. Each drawn frame is also made ready for the pipe in its lane (YUV
// 4:2:0 or straight-alpha BGRA), so the writer only writes.

#include "tools/convert/ConvertOptions.h"
#include "tools/convert/OutputFormat.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kinovex::flash {
class Player;
}

namespace kinovex::cli {

struct LaneFrame {
    bool ended = false;       // the movie ended before this frame: nothing drawn, nothing after it
    bool settled = false;     // nothing more happens on its own (see FrameStepper::settled)
    bool buttonShown = false; // when settled: a button stands on the stage, waiting for input
    std::string pressed;      // the button pressed to start the movie on this frame, if any
    std::vector<std::int16_t> sound;     // what the engine mixed for the frame
    std::span<const std::uint8_t> bytes; // the picture as the pipe takes it
    // The lane's engine CPU time since its previous frame: stepping through the frames other
    // lanes draw, then stepping to and drawing this one (and making it ready for the pipe).
    double renderSeconds = 0;
};

class RenderLanes {
public:
    // One loaded player per lane, all of the same movie.
    RenderLanes(std::vector<std::unique_ptr<flash::Player>> players, const ConvertOptions& options,
                const OutputPlan& plan, bool lengthFixed);
    ~RenderLanes(); // stops the lanes; frames not taken are dropped
    RenderLanes(const RenderLanes&) = delete;
    RenderLanes& operator=(const RenderLanes&) = delete;

    // The next output frame (0, 1, 2 ... in turn), once its lane has it; valid until release().
    const LaneFrame& next();
    // The frame from next() went out: its lane may draw over it.
    void release();

private:
    struct Lane;
    void run(Lane& lane);

    const ConvertOptions& m_options;
    OutputPlan m_plan;
    bool m_lengthFixed;
    std::vector<std::unique_ptr<Lane>> m_lanes;
    std::uint64_t m_next = 0; // the frame next() hands out
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
};

} // namespace kinovex::cli
