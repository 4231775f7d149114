// kinovex-frame: draws frames of a movie into PNG files, with no display and no sound.
//
//   kinovex-frame MOVIE.swf --frames N [--width W --height H] -o OUT.png
//   kinovex-frame MOVIE.swf --frames N --every K -o 'DIR/f%d.png'
//   ... [--trace] [--click X,Y@FRAME ...] [--audio OUT.wav] [--clock MS]
//
// The movie runs from its start; frame 1 is the first frame shown. The first form writes frame
// N, the second every K-th frame up to N, with %d replaced by the frame number. --trace prints
// every line the movie's scripts trace, and nothing else, on standard output; --click presses
// and releases the mouse at stage pixel X,Y before frame FRAME runs; --audio writes the sound
// of the frames run as a 44100 Hz stereo 16-bit WAV file; --clock sets where the scripts' Date
// clock stands at the start, in milliseconds since 1970 UTC (default: now), so that a movie
// showing the date prints the same on every run. With --trace or --audio the picture
// is optional. Standard error says what of the movie's ActionScript 3 code was left out or
// refused by the verifier.

#include "engine/Player.h"
#include "engine/swf/Tags.h"

#include <algorithm>
#include <cairo.h>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kMaxSide = 16384;

void usage() {
    std::fprintf(stderr,
                 "usage: kinovex-frame MOVIE.swf --frames N [--width W --height H] -o OUT.png\n"
                 "       kinovex-frame MOVIE.swf --frames N --every K -o 'DIR/f%%d.png'\n"
                 "       options: --trace, --click X,Y@FRAME (repeatable), --audio OUT.wav,\n"
                 "                --clock MS (Date's time at the start, ms since 1970 UTC)\n");
}

std::optional<long> number(const std::string& text);

struct Click {
    double x = 0;
    double y = 0;
};

// "X,Y@FRAME" with X and Y in stage pixels (fractions allowed) and FRAME >= 1.
bool parseClick(const std::string& text, long& frame, Click& click) {
    const auto at = text.find('@');
    const auto comma = text.find(',');
    if (at == std::string::npos || comma == std::string::npos || comma > at) {
        return false;
    }
    auto real = [](const std::string& t, double& out) {
        if (t.empty()) {
            return false;
        }
        char* end = nullptr;
        out = std::strtod(t.c_str(), &end);
        return end == t.c_str() + t.size() && std::isfinite(out);
    };
    const auto n = number(text.substr(at + 1));
    if (!n || *n < 1 || !real(text.substr(0, comma), click.x) ||
        !real(text.substr(comma + 1, at - comma - 1), click.y)) {
        return false;
    }
    frame = *n;
    return true;
}

void put16(std::FILE* f, std::uint16_t v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v & 0xff),
                                static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

void put32(std::FILE* f, std::uint32_t v) {
    put16(f, static_cast<std::uint16_t>(v & 0xffff));
    put16(f, static_cast<std::uint16_t>(v >> 16));
}

// A canonical 44-byte-header PCM WAV file: 44100 Hz, stereo, 16-bit little-endian.
bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    const auto bytes = static_cast<std::uint32_t>(
        std::min<std::size_t>(samples.size() * 2, 0xffffffffu - 36u) & ~std::size_t{3});
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 2);
    put32(f, 44100);
    put32(f, 44100 * 4);
    put16(f, 4);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, bytes);
    for (std::size_t i = 0; i < bytes / 2; ++i) {
        put16(f, static_cast<std::uint16_t>(samples[i]));
    }
    return std::fclose(f) == 0;
}

std::optional<long> number(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end) {
        return std::nullopt;
    }
    return value;
}

// Replaces the first %d (with an optional zero-padded width, as in %04d) by `frame`.
bool expandPattern(const std::string& pattern, long frame, std::string& out) {
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            continue;
        }
        std::size_t j = i + 1;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') {
            ++j;
        }
        if (j < pattern.size() && pattern[j] == 'd') {
            const int width = j > i + 1 ? std::atoi(pattern.substr(i + 1, j - i - 1).c_str()) : 0;
            char digits[32];
            std::snprintf(digits, sizeof digits, "%0*ld", std::min(width, 20), frame);
            out = pattern.substr(0, i) + digits + pattern.substr(j + 1);
            return true;
        }
    }
    out = pattern;
    return false;
}

bool writePng(kinovex::flash::Player& player, int width, int height, const std::string& path) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_surface_flush(surface);
    player.draw(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface)), width,
                height, cairo_image_surface_get_stride(surface));
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    return status == CAIRO_STATUS_SUCCESS;
}

struct FrameOptions {
    std::string movie, output, audio;
    long frames = 1, every = 0, width = 0, height = 0;
    bool trace = false;
    std::multimap<long, Click> clicks;
    std::optional<double> clock;
};

enum class Parsed { Run, Help, Bad };

// The value of the option at args[i]: after '=' when `inlineValue` holds it, else the next
// argument (moving i past it).
std::optional<std::string> optionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::optional<std::string>& inlineValue) {
    if (inlineValue) {
        return inlineValue;
    }
    if (i + 1 >= args.size()) {
        return std::nullopt;
    }
    return args[++i];
}

// Reads the option `arg` at args[i] into `o`; false when it is not a valid one.
bool readArgument(const std::vector<std::string>& args, std::size_t& i, const std::string& arg,
                  const std::optional<std::string>& inlineValue, FrameOptions& o) {
    static const std::map<std::string, long FrameOptions::*> kCounts = {
        {"--frames", &FrameOptions::frames},
        {"--every", &FrameOptions::every},
        {"--width", &FrameOptions::width},
        {"--height", &FrameOptions::height}};
    if (const auto count = kCounts.find(arg); count != kCounts.end()) {
        const auto text = optionValue(args, i, inlineValue);
        const auto n = text ? number(*text) : std::nullopt;
        if (!n || *n < 1) {
            return false;
        }
        o.*(count->second) = *n;
        return true;
    }
    if (arg == "-o" || arg == "--output" || arg == "--audio") {
        const auto text = optionValue(args, i, inlineValue);
        if (!text) {
            return false;
        }
        (arg == "--audio" ? o.audio : o.output) = *text;
        return arg != "--audio" || !text->empty();
    }
    if (arg == "--click") {
        const auto text = optionValue(args, i, inlineValue);
        long at = 0;
        Click click;
        if (!text || !parseClick(*text, at, click)) {
            return false;
        }
        o.clicks.emplace(at, click);
        return true;
    }
    if (arg == "--trace") {
        o.trace = true;
        return true;
    }
    if (arg == "--clock") {
        const auto text = optionValue(args, i, inlineValue);
        const auto ms = text ? number(*text) : std::nullopt;
        if (!ms || *ms < 0) {
            return false;
        }
        o.clock = static_cast<double>(*ms);
        return true;
    }
    if (!arg.empty() && arg[0] == '-' && arg != "-") {
        std::fprintf(stderr, "kinovex-frame: unknown option %s\n", arg.c_str());
        return false;
    }
    if (!o.movie.empty()) {
        return false;
    }
    o.movie = arg;
    return true;
}

Parsed parseArguments(const std::vector<std::string>& args, FrameOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (arg == "-h" || arg == "--help") {
            return Parsed::Help;
        }
        if (!readArgument(args, i, arg, inlineValue, o)) {
            return Parsed::Bad;
        }
    }
    if (o.movie.empty() || (o.output.empty() && !o.trace && o.audio.empty())) {
        return Parsed::Bad;
    }
    return Parsed::Run;
}

// The picture size: the stage's, or the one side given with the other in the stage's aspect.
void fitPictureSize(FrameOptions& o, int stageW, int stageH) {
    if (o.width == 0 && o.height == 0) {
        o.width = stageW;
        o.height = stageH;
    } else if (o.height == 0) {
        o.height = stageW > 0 ? (o.width * stageH + stageW / 2) / stageW : o.width;
    } else if (o.width == 0) {
        o.width = stageH > 0 ? (o.height * stageW + stageH / 2) / stageH : o.height;
    }
    o.width = std::clamp<long>(o.width, 1, kMaxSide);
    o.height = std::clamp<long>(o.height, 1, kMaxSide);
}

void clickAt(kinovex::flash::Player& player, const FrameOptions& o, long frame) {
    const auto [first, last] = o.clicks.equal_range(frame);
    for (auto it = first; it != last; ++it) {
        const kinovex::flash::StagePoint p{it->second.x, it->second.y};
        player.mouseMove(p);
        player.mouseDown(p);
        player.mouseUp(p);
    }
}

// Runs the frames, writing the pictures asked for and gathering the sound; the exit status.
int playFrames(kinovex::flash::Player& player, const FrameOptions& o,
               std::vector<std::int16_t>& sound) {
    // Clicks for frame 1 come after loading, which showed it.
    clickAt(player, o, 1);
    for (long frame = 1; frame <= o.frames; ++frame) {
        if (!o.audio.empty()) {
            player.takeSound(sound);
        }
        const bool write =
            !o.output.empty() && (o.every > 0 ? frame % o.every == 0 : frame == o.frames);
        if (write) {
            std::string path;
            expandPattern(o.output, frame, path);
            if (o.every == 0) {
                path = o.output;
            }
            if (!writePng(player, static_cast<int>(o.width), static_cast<int>(o.height), path)) {
                std::fprintf(stderr, "kinovex-frame: cannot write %s\n", path.c_str());
                return 1;
            }
        }
        if (frame < o.frames) {
            clickAt(player, o, frame + 1);
            player.nextFrame();
        }
    }
    return 0;
}

void printDiagnostics(const kinovex::flash::Player& player) {
    for (const kinovex::flash::Diagnostic& d : player.diagnostics()) {
        if (d.tagCode < 0) {
            std::fprintf(stderr, "kinovex-frame: %s\n", d.message.c_str());
        } else if (d.tagCode == kinovex::flash::TagDoAbc ||
                   d.tagCode == kinovex::flash::TagDoAbc2) {
            // ActionScript 3 code left out, or methods the verifier refused.
            std::fprintf(stderr, "kinovex-frame: %s\n", d.text().c_str());
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    FrameOptions o;
    switch (parseArguments(std::vector<std::string>(argv + 1, argv + argc), o)) {
    case Parsed::Help:
        usage();
        return 0;
    case Parsed::Bad:
        usage();
        return 2;
    case Parsed::Run:
        break;
    }
    std::string probe;
    if (o.every > 0 && !o.output.empty() && !expandPattern(o.output, 1, probe)) {
        std::fprintf(stderr, "kinovex-frame: with --every the output name needs %%d\n");
        return 2;
    }

    kinovex::flash::Player player;
    // Standard output carries the movie's trace lines and nothing else.
    if (o.trace) {
        player.setTraceSink([](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        });
    }
    if (o.clock) {
        player.setClockEpoch(*o.clock);
    }
    const kinovex::flash::LoadResult loaded = player.load(o.movie);
    if (!loaded.ok) {
        std::fprintf(stderr, "kinovex-frame: %s: %s\n", o.movie.c_str(), loaded.error.c_str());
        return 1;
    }
    fitPictureSize(o, player.stageWidth(), player.stageHeight());
    std::vector<std::int16_t> sound;
    if (const int status = playFrames(player, o, sound); status != 0) {
        return status;
    }
    std::fflush(stdout);
    if (!o.audio.empty() && !writeWav(o.audio, sound)) {
        std::fprintf(stderr, "kinovex-frame: cannot write %s\n", o.audio.c_str());
        return 1;
    }
    printDiagnostics(player);
    return 0;
}
