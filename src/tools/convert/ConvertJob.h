#pragma once
// One movie converted: the engine runs on its own clock, each frame is drawn and sent to
// ffmpeg with exactly the sound the engine mixed for it.

#include "tools/convert/ConvertOptions.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kinovex::cli {

struct EncoderSetup {
    std::string program = "ffmpeg"; // path or a name looked up on PATH
    bool hasLibxvid = false;
};

struct JobProgress {
    std::uint32_t frame = 0;    // frames written so far
    std::uint32_t expected = 0; // frames the conversion will write, 0 when not known yet
    double outputSeconds = 0;   // duration written so far
};

struct JobResult {
    bool ok = false;
    std::string input;
    std::string output;
    std::string error; // why it failed
    std::string note;  // something the user should know about a conversion that worked
    // Why and when the conversion ended: "movie finished at 0:49.8", "stopped, waiting for
    // input at 0:12.0", "--max-duration at 10:00.0", "--duration" or "--frames".
    std::string ended;
    // What the converter did to the movie on its way: "pressed \"play_btn\" at 0:03.2".
    std::vector<std::string> events;
    std::uint32_t frames = 0;
    double outputSeconds = 0;
    double renderSeconds = 0; // CPU time of the engines (advancing and drawing), summed over them
    double wallSeconds = 0;
    std::uint64_t soundSamples = 0; // sample frames (per channel) written
};

using ProgressCallback = std::function<void(const JobProgress&)>;

// `engines`: how many engines may draw the movie's frames side by side (see RenderLanes); they
// share one copy of the loaded movie.
JobResult convertMovie(const std::string& input, const std::string& output,
                       const ConvertOptions& options, const EncoderSetup& encoder,
                       const ProgressCallback& progress, const std::atomic<bool>& interrupted,
                       unsigned engines = 1);

// A time in the output as the report gives it: "0:49.8", "1:02:03.0".
std::string formatMoment(double seconds);

// Where a movie's output goes when -o names no file: beside the movie, or in `folder`, with
// the profile's extension (the png sequence: NAME_%05d.png).
std::string outputPathFor(const std::string& input, const std::string& folder, Profile profile);

// The png sequence's file name pattern for an output the user named: "shots/run" and
// "shots/run.png" give "shots/run_%05d.png"; a name holding a %d pattern stays as it is.
std::string sequencePattern(const std::string& output);

} // namespace kinovex::cli
