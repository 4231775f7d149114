// kinovex-frame: draws frames of a movie into PNG files, with no display and no sound.
//
//   kinovex-frame MOVIE.swf --frames N [--width W --height H] -o OUT.png
//   kinovex-frame MOVIE.swf --frames N --every K -o 'DIR/f%d.png'
//
// The movie runs from its start; frame 1 is the first frame shown. The first form writes frame
// N, the second every K-th frame up to N, with %d replaced by the frame number.

#include "flash/Player.h"

#include <algorithm>
#include <cairo.h>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kMaxSide = 16384;

void usage() {
    std::fprintf(stderr,
                 "usage: kinovex-frame MOVIE.swf --frames N [--width W --height H] -o OUT.png\n"
                 "       kinovex-frame MOVIE.swf --frames N --every K -o 'DIR/f%%d.png'\n");
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
    std::string movie, output;
    long frames = 1, every = 0, width = 0, height = 0;
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
    if (movie.empty() || output.empty()) {
        usage();
        return 2;
    }
    std::string probe;
    if (every > 0 && !expandPattern(output, 1, probe)) {
        std::fprintf(stderr, "kinovex-frame: with --every the output name needs %%d\n");
        return 2;
    }

    kinovex::flash::Player player;
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

    for (long frame = 1; frame <= frames; ++frame) {
        const bool write = every > 0 ? frame % every == 0 : frame == frames;
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
            player.nextFrame();
        }
    }
    return 0;
}
