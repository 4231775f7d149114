// kinovex-frame: draws frames of a movie into PNG files, with no display and no sound.
//
//   kinovex-frame MOVIE.swf --frames N [--width W --height H] -o OUT.png
//   kinovex-frame MOVIE.swf --frames N --every K -o 'DIR/f%d.png'
//   ... [--trace] [--click X,Y@FRAME ...] [--audio OUT.wav]
//
// The movie runs from its start; frame 1 is the first frame shown. The first form writes frame
// N, the second every K-th frame up to N, with %d replaced by the frame number. --trace prints
// every line the movie's scripts trace, and nothing else, on standard output; --click presses
// and releases the mouse at stage pixel X,Y before frame FRAME runs; --audio writes the sound
// of the frames run as a 44100 Hz stereo 16-bit WAV file. With --trace or --audio the picture
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
                 "       options: --trace, --click X,Y@FRAME (repeatable), --audio OUT.wav\n");
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

} // namespace

int main(int argc, char** argv) {
    std::string movie, output, audio;
    long frames = 1, every = 0, width = 0, height = 0;
    bool trace = false;
    std::multimap<long, Click> clicks;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto take = [&](long& into) {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    return false;
                }
                value = args[++i];
            }
            const auto n = number(value);
            if (!n || *n < 1) {
                return false;
            }
            into = *n;
            return true;
        };
        bool good = true;
        if (arg == "--frames") {
            good = take(frames);
        } else if (arg == "--every") {
            good = take(every);
        } else if (arg == "--width") {
            good = take(width);
        } else if (arg == "--height") {
            good = take(height);
        } else if (arg == "-o" || arg == "--output") {
            if (hasValue) {
                output = value;
            } else if (i + 1 < args.size()) {
                output = args[++i];
            } else {
                good = false;
            }
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--click") {
            if (!hasValue) {
                good = i + 1 < args.size();
                if (good) {
                    value = args[++i];
                }
            }
            long at = 0;
            Click click;
            good = good && parseClick(value, at, click);
            if (good) {
                clicks.emplace(at, click);
            }
        } else if (arg == "--audio") {
            if (hasValue) {
                audio = value;
            } else if (i + 1 < args.size()) {
                audio = args[++i];
            } else {
                good = false;
            }
            good = good && !audio.empty();
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "kinovex-frame: unknown option %s\n", arg.c_str());
            good = false;
        } else if (movie.empty()) {
            movie = arg;
        } else {
            good = false;
        }
        if (!good) {
            usage();
            return 2;
        }
    }
    if (movie.empty() || (output.empty() && !trace && audio.empty())) {
        usage();
        return 2;
    }
    std::string probe;
    if (every > 0 && !output.empty() && !expandPattern(output, 1, probe)) {
        std::fprintf(stderr, "kinovex-frame: with --every the output name needs %%d\n");
        return 2;
    }

    kinovex::flash::Player player;
    // Standard output carries the movie's trace lines and nothing else.
    if (trace) {
        player.setTraceSink([](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        });
    }
    const kinovex::flash::LoadResult loaded = player.load(movie);
    if (!loaded.ok) {
        std::fprintf(stderr, "kinovex-frame: %s: %s\n", movie.c_str(), loaded.error.c_str());
        return 1;
    }
    const int stageW = player.stageWidth();
    const int stageH = player.stageHeight();
    if (width == 0 && height == 0) {
        width = stageW;
        height = stageH;
    } else if (height == 0) {
        height = stageW > 0 ? (width * stageH + stageW / 2) / stageW : width;
    } else if (width == 0) {
        width = stageH > 0 ? (height * stageW + stageH / 2) / stageH : height;
    }
    width = std::clamp<long>(width, 1, kMaxSide);
    height = std::clamp<long>(height, 1, kMaxSide);

    std::vector<std::int16_t> sound;
    auto clickAt = [&](long frame) {
        const auto [first, last] = clicks.equal_range(frame);
        for (auto it = first; it != last; ++it) {
            const kinovex::flash::StagePoint p{it->second.x, it->second.y};
            player.mouseMove(p);
            player.mouseDown(p);
            player.mouseUp(p);
        }
    };
    // Clicks for frame 1 come after loading, which showed it.
    clickAt(1);
    for (long frame = 1; frame <= frames; ++frame) {
        if (!audio.empty()) {
            player.takeSound(sound);
        }
        const bool write = !output.empty() && (every > 0 ? frame % every == 0 : frame == frames);
        if (write) {
            std::string path;
            expandPattern(output, frame, path);
            if (every == 0) {
                path = output;
            }
            if (!writePng(player, static_cast<int>(width), static_cast<int>(height), path)) {
                std::fprintf(stderr, "kinovex-frame: cannot write %s\n", path.c_str());
                return 1;
            }
        }
        if (frame < frames) {
            clickAt(frame + 1);
            player.nextFrame();
        }
    }
    std::fflush(stdout);
    if (!audio.empty() && !writeWav(audio, sound)) {
        std::fprintf(stderr, "kinovex-frame: cannot write %s\n", audio.c_str());
        return 1;
    }
    for (const kinovex::flash::Diagnostic& d : player.diagnostics()) {
        if (d.tagCode < 0) {
            std::fprintf(stderr, "kinovex-frame: %s\n", d.message.c_str());
        } else if (d.tagCode == kinovex::flash::TagDoAbc ||
                   d.tagCode == kinovex::flash::TagDoAbc2) {
            // ActionScript 3 code left out, or methods the verifier refused.
            std::fprintf(stderr, "kinovex-frame: %s\n", d.text().c_str());
        }
    }
    return 0;
}
