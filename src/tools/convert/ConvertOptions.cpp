#include "tools/convert/ConvertOptions.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

namespace kinovex::cli {

namespace {

struct ProfileEntry {
    Profile profile;
    const char* name;
    const char* extension;
};

constexpr std::array kProfiles{
    ProfileEntry{Profile::Psp, "psp", ".mp4"},    ProfileEntry{Profile::Mp4, "mp4", ".mp4"},
    ProfileEntry{Profile::Webm, "webm", ".webm"}, ProfileEntry{Profile::Gif, "gif", ".gif"},
    ProfileEntry{Profile::Png, "png", ".png"},
};

constexpr int kMaxSide = 8192;
constexpr double kMaxFps = 240;
constexpr double kMaxSeconds = 24 * 3600;

std::optional<double> parseNumber(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<long> parseWhole(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end) {
        return std::nullopt;
    }
    return value;
}

// "WxH" with both sides in 1..kMaxSide.
bool parseSize(const std::string& text, int& w, int& h) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) {
        return false;
    }
    const auto a = parseWhole(text.substr(0, x));
    const auto b = parseWhole(text.substr(x + 1));
    if (!a || !b || *a < 1 || *b < 1 || *a > kMaxSide || *b > kMaxSide) {
        return false;
    }
    w = static_cast<int>(*a);
    h = static_cast<int>(*b);
    return true;
}

// "X,Y@FRAME".
std::optional<Click> parseClick(const std::string& text) {
    const auto comma = text.find(',');
    const auto at = text.find('@');
    if (comma == std::string::npos || at == std::string::npos || at < comma) {
        return std::nullopt;
    }
    const auto x = parseNumber(text.substr(0, comma));
    const auto y = parseNumber(text.substr(comma + 1, at - comma - 1));
    const auto frame = parseWhole(text.substr(at + 1));
    if (!x || !y || !frame || *frame < 1 || *frame > 100'000'000) {
        return std::nullopt;
    }
    return Click{*x, *y, static_cast<std::uint32_t>(*frame)};
}

std::optional<Rgb> parseColor(std::string text) {
    static const std::map<std::string, Rgb> kNamed{
        {"black", {0, 0, 0}}, {"white", {255, 255, 255}}, {"gray", {128, 128, 128}},
        {"red", {255, 0, 0}}, {"green", {0, 128, 0}},     {"blue", {0, 0, 255}},
    };
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (auto it = kNamed.find(text); it != kNamed.end()) {
        return it->second;
    }
    if (!text.empty() && text[0] == '#') {
        text.erase(0, 1);
    } else if (text.rfind("0x", 0) == 0) {
        text.erase(0, 2);
    }
    if (text.size() != 6) {
        return std::nullopt;
    }
    unsigned value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + 6, value, 16);
    if (ec != std::errc{} || ptr != text.data() + 6) {
        return std::nullopt;
    }
    return Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value)};
}

std::string profileList() {
    std::string list;
    for (const auto& p : kProfiles) {
        list += list.empty() ? "" : ", ";
        list += p.name;
    }
    return list;
}

} // namespace

const char* profileName(Profile p) {
    for (const auto& entry : kProfiles) {
        if (entry.profile == p) {
            return entry.name;
        }
    }
    return "?";
}

std::optional<Profile> profileFromName(const std::string& name) {
    for (const auto& entry : kProfiles) {
        if (name == entry.name) {
            return entry.profile;
        }
    }
    return std::nullopt;
}

std::string profileExtension(Profile p) {
    for (const auto& entry : kProfiles) {
        if (entry.profile == p) {
            return entry.extension;
        }
    }
    return {};
}

ParseResult parseConvertArguments(const std::vector<std::string>& args) {
    ParseResult result;
    ConvertOptions& o = result.options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            o.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        // The option's value: after '=' or the next argument.
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            result.error = arg + " needs a value";
            return std::nullopt;
        };
        auto refuse = [&](const std::string& given, const std::string& allowed) {
            result.error = arg + " '" + given + "' is not allowed: " + allowed;
        };
        // A number option in (low, high].
        auto number = [&](double low, double high, const char* allowed) -> std::optional<double> {
            const auto text = value();
            if (!text) {
                return std::nullopt;
            }
            const auto n = parseNumber(*text);
            if (!n || *n <= low || *n > high) {
                refuse(*text, allowed);
                return std::nullopt;
            }
            return n;
        };
        const bool takesValue = arg != "-h" && arg != "--help" && arg != "--version" &&
                                arg != "-r" && arg != "--recursive" && arg != "-q" &&
                                arg != "--quiet" && arg != "-y" && arg != "--overwrite" &&
                                arg != "--auto-play" && arg != "--no-auto-play" &&
                                arg != "--transparent" && arg != "--no-audio";
        if (!takesValue && inlineValue) {
            result.error = arg + " takes no value";
            break;
        }
        if (arg == "-h" || arg == "--help") {
            result.showHelp = true;
        } else if (arg == "--version") {
            result.showVersion = true;
        } else if (arg == "-r" || arg == "--recursive") {
            o.recursive = true;
        } else if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "-y" || arg == "--overwrite") {
            o.overwrite = true;
        } else if (arg == "--auto-play") {
            o.autoPlay = true;
        } else if (arg == "--no-auto-play") {
            o.autoPlay = false;
        } else if (arg == "--transparent") {
            o.transparent = true;
        } else if (arg == "--no-audio") {
            o.noAudio = true;
        } else if (arg == "-o" || arg == "--output") {
            if (auto v = value()) {
                o.output = *v;
            }
        } else if (arg == "-p" || arg == "--profile") {
            if (auto v = value()) {
                if (auto p = profileFromName(*v)) {
                    o.profile = *p;
                } else {
                    refuse(*v, "one of " + profileList());
                }
            }
        } else if (arg == "--size") {
            if (auto v = value()) {
                int w = 0, h = 0;
                if (parseSize(*v, w, h)) {
                    o.width = w;
                    o.height = h;
                } else {
                    refuse(*v, "WIDTHxHEIGHT, each side 1 to " + std::to_string(kMaxSide));
                }
            }
        } else if (arg == "--scale") {
            if (auto n = number(0, 16, "a number above 0, at most 16")) {
                o.scale = n;
            }
        } else if (arg == "--letterbox") {
            if (auto v = value()) {
                if (auto c = parseColor(*v)) {
                    o.letterbox = *c;
                } else {
                    refuse(*v, "#RRGGBB or black, white, gray, red, green, blue");
                }
            }
        } else if (arg == "--fps") {
            if (auto n = number(0, kMaxFps, "a rate above 0, at most 240")) {
                o.fps = n;
            }
        } else if (arg == "--duration") {
            if (auto n = number(0, kMaxSeconds, "seconds above 0, at most 86400")) {
                o.duration = n;
            }
        } else if (arg == "--max-duration") {
            if (auto n = number(0, kMaxSeconds, "seconds above 0, at most 86400")) {
                o.maxDuration = *n;
            }
        } else if (arg == "--frames") {
            if (auto v = value()) {
                const auto n = parseWhole(*v);
                if (n && *n >= 1 && *n <= 100'000'000) {
                    o.frames = static_cast<std::uint32_t>(*n);
                } else {
                    refuse(*v, "a whole number of frames, 1 or more");
                }
            }
        } else if (arg == "--click") {
            if (auto v = value()) {
                if (auto c = parseClick(*v)) {
                    o.clicks.push_back(*c);
                } else {
                    refuse(*v, "X,Y@FRAME in stage pixels, FRAME 1 or more (as 120,80@5)");
                }
            }
        } else if (arg == "-j" || arg == "--jobs") {
            if (auto v = value()) {
                const auto n = parseWhole(*v);
                if (n && *n >= 1 && *n <= 256) {
                    o.jobs = static_cast<unsigned>(*n);
                } else {
                    refuse(*v, "a whole number from 1 to 256");
                }
            }
        } else if (arg == "--report") {
            if (auto v = value()) {
                o.report = *v;
            }
        } else if (arg == "--ffmpeg") {
            if (auto v = value()) {
                o.ffmpeg = *v;
            }
        } else {
            result.error = "unknown option " + arg + " (see --help)";
        }
    }
    if (!result.error.empty() || result.showHelp || result.showVersion) {
        return result;
    }
    if (o.inputs.empty()) {
        result.error = "no movie given (see --help)";
    } else if (o.width && o.scale) {
        result.error = "--size and --scale cannot be used together";
    } else if (o.duration && o.frames) {
        result.error = "--duration and --frames cannot be used together";
    } else if (o.transparent && o.profile != Profile::Webm && o.profile != Profile::Png) {
        result.error = "--transparent is allowed with the webm and png profiles only";
    }
    return result;
}

std::string convertUsage() {
    return R"(usage: kinovex-convert MOVIE.swf [-o OUT] [options]
       kinovex-convert MOVIE.swf... | FOLDER [-r] -o OUTFOLDER [options]

Renders Flash movies on their own clock, mixes their sound and encodes both with ffmpeg,
faster than real time. The same movie and options always give the same frames.

Output
  -o, --output PATH     the output file (one movie) or folder (several movies, a folder);
                        default: beside the movie, with the profile's extension
  -p, --profile NAME    mp4   H.264 + AAC at the movie's size (default)
                        psp   MPEG-4 part 2 368x208, 29.97 fps, 512k + AAC 64k 24000 Hz
                        webm  VP9 + Opus (with --transparent the alpha channel is kept)
                        gif   animated GIF with a palette made for the movie
                        png   a numbered sequence OUT_00001.png ... (alpha with --transparent)
  --transparent         keep the movie's transparency (webm and png)
  --no-audio            leave the sound out
  -y, --overwrite       replace existing output files (otherwise they are refused)

Geometry and time
  --size WxH            output size; the movie is scaled to fit, its aspect kept
  --scale F             output size = the stage size times F
  --letterbox COLOR     colour of the bars --size leaves (#RRGGBB or a name; black)
  --fps RATE            output frame rate (default: the movie's own rate)
  --duration S          convert S seconds
  --frames N            convert N frames
  --max-duration S      the bound for movies that never come to rest (default 600)
  By default the movie plays from its first frame until nothing more happens on its own:
  its main timeline has stopped, or has shown its last frame and gone back, or has been
  sent back to the same frame twice by a script (a loop); every clip on
  the stage has stopped, or has shown its last frame or been sent back by a script since it
  was placed; no sound plays (one looping as background music counts once it went round),
  no script timer (setInterval) is due within a second (one due within a second at every
  frame for 2 s only polls and does not count) and nothing is being loaded. The conversion then ends once the picture has stood still for a
  second (that second is kept), or when the picture comes back round to one it showed since
  (a clip looping as decoration: one round is kept). A main timeline that goes back
  from its last frame with its clips and timers at rest ends with that last frame, sound or
  not (going round starts its sounds anew).
  --max-duration ends the rest, and kinovex-convert says which end it was: "ended: movie
  finished at 0:49.8", "ended: stopped, waiting for input at 0:03.0" (at rest with a button
  on the stage) or "ended: --max-duration at 10:00.0".

Interaction
  --click X,Y@FRAME     press and release the mouse at stage pixel X,Y before output frame
                        FRAME (1 is the first); repeat for several clicks
  --auto-play           (the default) when the movie stands waiting with buttons on the
                        stage, press the one a person would press to start: a button whose
                        instance name or text says play, start, begin, go, enter, continue,
                        skip or next (as a word, in any case), else the only button; at most
                        once per frame of the main timeline, and not on its last frame once
                        it has played through (that button would play it again). The report
                        says which it pressed and when: pressed "play_btn" at 0:03.2
  --no-auto-play        press nothing: a movie waiting on a button ends there

Batch
  -r, --recursive       look for .swf files in sub-folders of given folders too
  -j, --jobs N          movies converted at once (default: the number of cores); with
                        fewer movies than N / 2, each movie's frames are drawn by
                        N / (2 x movies) engines side by side, ffmpeg taking the other half
  --report FILE.json    write a machine-readable report of every movie
  One bad movie never stops a batch; a summary follows at the end.

Other
  -q, --quiet           print nothing but errors
  --ffmpeg PATH         the ffmpeg to run (default: $KINOVEX_FFMPEG, else ffmpeg on PATH)
  -h, --help            this text
  --version             the version

Progress goes to standard error: a bar with the time left on a terminal, plain lines
otherwise, nothing with --quiet.

Exit status
  0  every movie was converted
  1  at least one movie could not be converted (the summary says why)
  2  the command line was refused
  3  ffmpeg could not be found or run
  130 interrupted
)";
}

} // namespace kinovex::cli
