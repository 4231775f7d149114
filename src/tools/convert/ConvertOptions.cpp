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

// The value of one option being read: its text, where it goes, and how it is refused.
struct OptionValue {
    const std::string& option;
    const std::string& text;
    ConvertOptions& options;
    std::string& error;

    void refuse(const std::string& allowed) const {
        error = option + " '" + text + "' is not allowed: " + allowed;
    }
    // A number in (low, high].
    std::optional<double> number(double low, double high, const char* allowed) const {
        const auto n = parseNumber(text);
        if (!n || *n <= low || *n > high) {
            refuse(allowed);
            return std::nullopt;
        }
        return n;
    }
    // A whole number in [low, high].
    std::optional<long> whole(long low, long high, const char* allowed) const {
        const auto n = parseWhole(text);
        if (!n || *n < low || *n > high) {
            refuse(allowed);
            return std::nullopt;
        }
        return n;
    }
};

struct FlagOption {
    std::string_view shortName; // empty: none
    std::string_view longName;
    void (*set)(ParseResult&);
};

constexpr FlagOption kFlags[] = {
    {"-h", "--help", [](ParseResult& r) { r.showHelp = true; }},
    {"", "--version", [](ParseResult& r) { r.showVersion = true; }},
    {"-r", "--recursive", [](ParseResult& r) { r.options.recursive = true; }},
    {"-q", "--quiet", [](ParseResult& r) { r.options.quiet = true; }},
    {"-y", "--overwrite", [](ParseResult& r) { r.options.overwrite = true; }},
    {"", "--auto-play", [](ParseResult& r) { r.options.autoPlay = true; }},
    {"", "--no-auto-play", [](ParseResult& r) { r.options.autoPlay = false; }},
    {"", "--transparent", [](ParseResult& r) { r.options.transparent = true; }},
    {"", "--no-audio", [](ParseResult& r) { r.options.noAudio = true; }},
};

struct ValueOption {
    std::string_view shortName; // empty: none
    std::string_view longName;
    void (*apply)(const OptionValue&);
};

void applyProfile(const OptionValue& v) {
    if (auto p = profileFromName(v.text)) {
        v.options.profile = *p;
    } else {
        v.refuse("one of " + profileList());
    }
}

void applySize(const OptionValue& v) {
    int w = 0, h = 0;
    if (parseSize(v.text, w, h)) {
        v.options.width = w;
        v.options.height = h;
    } else {
        v.refuse("WIDTHxHEIGHT, each side 1 to " + std::to_string(kMaxSide));
    }
}

void applyLetterbox(const OptionValue& v) {
    if (auto c = parseColor(v.text)) {
        v.options.letterbox = *c;
    } else {
        v.refuse("#RRGGBB or black, white, gray, red, green, blue");
    }
}

void applyClick(const OptionValue& v) {
    if (auto c = parseClick(v.text)) {
        v.options.clicks.push_back(*c);
    } else {
        v.refuse("X,Y@FRAME in stage pixels, FRAME 1 or more (as 120,80@5)");
    }
}

constexpr ValueOption kValueOptions[] = {
    {"-o", "--output", [](const OptionValue& v) { v.options.output = v.text; }},
    {"-p", "--profile", applyProfile},
    {"", "--size", applySize},
    {"", "--scale",
     [](const OptionValue& v) {
         v.options.scale = v.number(0, 16, "a number above 0, at most 16");
     }},
    {"", "--letterbox", applyLetterbox},
    {"", "--fps",
     [](const OptionValue& v) {
         v.options.fps = v.number(0, kMaxFps, "a rate above 0, at most 240");
     }},
    {"", "--duration",
     [](const OptionValue& v) {
         v.options.duration = v.number(0, kMaxSeconds, "seconds above 0, at most 86400");
     }},
    {"", "--max-duration",
     [](const OptionValue& v) {
         if (auto n = v.number(0, kMaxSeconds, "seconds above 0, at most 86400")) {
             v.options.maxDuration = *n;
         }
     }},
    {"", "--frames",
     [](const OptionValue& v) {
         if (auto n = v.whole(1, 100'000'000, "a whole number of frames, 1 or more")) {
             v.options.frames = static_cast<std::uint32_t>(*n);
         }
     }},
    {"", "--click", applyClick},
    {"-j", "--jobs",
     [](const OptionValue& v) {
         if (auto n = v.whole(1, 256, "a whole number from 1 to 256")) {
             v.options.jobs = static_cast<unsigned>(*n);
         }
     }},
    {"", "--report", [](const OptionValue& v) { v.options.report = v.text; }},
    {"", "--ffmpeg", [](const OptionValue& v) { v.options.ffmpeg = v.text; }},
};

// The table entry named `name` in its short or long form, or null.
template <typename Entry, std::size_t N>
const Entry* findOption(const Entry (&table)[N], const std::string& name) {
    for (const Entry& entry : table) {
        if (name == entry.longName || (!entry.shortName.empty() && name == entry.shortName)) {
            return &entry;
        }
    }
    return nullptr;
}

// Reads the option at args[i], moving i past a value given as the next argument. A problem is
// left in result.error.
void readOption(const std::vector<std::string>& args, std::size_t& i, ParseResult& result) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
    }
    if (const FlagOption* flag = findOption(kFlags, name)) {
        if (value) {
            result.error = name + " takes no value";
        } else {
            flag->set(result);
        }
        return;
    }
    const ValueOption* option = findOption(kValueOptions, name);
    if (option == nullptr) {
        result.error = "unknown option " + name + " (see --help)";
        return;
    }
    if (!value) {
        if (i + 1 >= args.size()) {
            result.error = name + " needs a value";
            return;
        }
        value = args[++i];
    }
    option->apply(OptionValue{name, *value, result.options, result.error});
}

// What is wrong with options that are each fine on their own, or nothing.
std::string combinationError(const ConvertOptions& o) {
    if (o.inputs.empty()) {
        return "no movie given (see --help)";
    }
    if (o.width && o.scale) {
        return "--size and --scale cannot be used together";
    }
    if (o.duration && o.frames) {
        return "--duration and --frames cannot be used together";
    }
    if (o.transparent && o.profile != Profile::Webm && o.profile != Profile::Png) {
        return "--transparent is allowed with the webm and png profiles only";
    }
    return {};
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
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            result.options.inputs.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else {
            readOption(args, i, result);
        }
    }
    if (!result.error.empty() || result.showHelp || result.showVersion) {
        return result;
    }
    result.error = combinationError(result.options);
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
