#pragma once
// The command line of kinovex-convert, parsed and checked. Nothing here touches a file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kinovex::cli {

enum class Profile { Psp, Mp4, Webm, Gif, Png };

// "psp", "mp4" ... and back; none for a name that is not a profile.
const char* profileName(Profile p);
std::optional<Profile> profileFromName(const std::string& name);
// The file name ending a profile writes (".mp4"; the png sequence writes "NAME_%05d.png").
std::string profileExtension(Profile p);

struct Click {
    double x = 0;
    double y = 0;
    std::uint32_t frame = 1; // the output frame before which the click happens (1-based)
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

struct ConvertOptions {
    std::vector<std::string> inputs;
    std::string output; // a file for one movie, a folder for several; empty: beside the input
    Profile profile = Profile::Mp4;
    std::optional<int> width, height;    // --size
    std::optional<double> scale;         // --scale
    Rgb letterbox;                       // --letterbox (black by default)
    std::optional<double> fps;           // --fps; default the movie's rate
    std::optional<double> duration;      // --duration seconds
    std::optional<std::uint32_t> frames; // --frames
    double maxDuration = 600;            // bound for movies that never come to rest
    std::vector<Click> clicks;
    bool autoPlay = true; // press a start button the movie waits on (--no-auto-play: off)
    bool transparent = false;
    bool noAudio = false;
    bool recursive = false;
    bool overwrite = false;
    bool quiet = false;
    unsigned jobs = 0;  // 0: one per core
    std::string report; // --report FILE.json
    std::string ffmpeg; // --ffmpeg PATH; empty: KINOVEX_FFMPEG or the one on PATH
};

struct ParseResult {
    ConvertOptions options;
    bool showHelp = false;
    bool showVersion = false;
    std::string error; // non-empty: the arguments were refused, with what is allowed
};

ParseResult parseConvertArguments(const std::vector<std::string>& args);

// The text --help prints.
std::string convertUsage();

// Exit statuses, also listed in --help and the manual page.
namespace exitcode {
constexpr int kOk = 0;
constexpr int kSomeFailed = 1;    // at least one movie could not be converted
constexpr int kUsage = 2;         // the command line was refused
constexpr int kNoEncoder = 3;     // no ffmpeg could be run
constexpr int kInterrupted = 130; // stopped by Ctrl+C
} // namespace exitcode

} // namespace kinovex::cli
