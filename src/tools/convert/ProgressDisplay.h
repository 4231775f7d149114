#pragma once
// What the user sees while movies convert, on standard error: a bar with the time left on a
// terminal, a plain line now and then otherwise (a log, a pipe), nothing when asked for quiet.

#include "tools/convert/Batch.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

namespace kinovex::cli {

class ProgressDisplay : public BatchObserver {
public:
    enum class Mode { Terminal, Lines, Quiet };
    ProgressDisplay(Mode mode, std::size_t movies, std::FILE* out = stderr);

    void started(std::size_t index, const BatchInput& input) override;
    void progressed(std::size_t index, const JobProgress& progress) override;
    void finished(std::size_t index, const JobResult& result) override;

    // The end: converted and failed, each failure with its reason.
    void summary(const std::vector<JobResult>& results);

private:
    struct Running {
        std::string name;
        JobProgress progress;
        int lastTenth = -1; // the last 10 % step a plain line was printed for
        std::chrono::steady_clock::time_point start;
    };
    void drawBar();
    void clearBar();

    Mode m_mode;
    std::size_t m_movies;
    std::size_t m_done = 0;
    std::FILE* m_out;
    std::map<std::size_t, Running> m_running;
    std::chrono::steady_clock::time_point m_lastDraw;
    bool m_barShown = false;
};

// "1:05" / "1:02:03".
std::string formatDuration(double seconds);

} // namespace kinovex::cli
