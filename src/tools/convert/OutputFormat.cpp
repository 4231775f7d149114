#include "tools/convert/OutputFormat.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace kinovex::cli {

namespace {

Rational reduced(std::int64_t num, std::int64_t den) {
    const std::int64_t g = std::gcd(num, den);
    return g > 0 ? Rational{num / g, den / g} : Rational{num, den};
}

bool needsEvenSize(Profile p) {
    return p == Profile::Mp4 || p == Profile::Psp || p == Profile::Webm;
}

int even(int side) {
    return std::max(2, side + (side & 1));
}

// What ffmpeg may hold of the video pipe while the encoder is behind: a few frames smooth out
// uneven frames, more only cost memory (64 frames of 1920 x 1080 would be half a gigabyte).
constexpr std::size_t kVideoQueueBytes = 16u * 1024u * 1024u;
constexpr std::size_t kMinVideoQueueFrames = 2;
constexpr std::size_t kMaxVideoQueueFrames = 8;
// Pictures larger than this are encoded with the encoder's leaner settings.
constexpr long kLeanEncoderPixels = 1024L * 640L;

// The psp preset: the desktop program's output for the handheld.
constexpr int kPspWidth = 368;
constexpr int kPspHeight = 208;

std::size_t videoQueueFrames(const OutputPlan& plan) {
    return std::clamp(kVideoQueueBytes / std::max<std::size_t>(1, plan.frameBytes()),
                      kMinVideoQueueFrames, kMaxVideoQueueFrames);
}

const char* pixelFormatName(PictureFormat f) {
    return f == PictureFormat::Yuv420 ? "yuv420p" : "bgra";
}

} // namespace

std::size_t OutputPlan::frameBytes() const {
    const std::size_t pixels = static_cast<std::size_t>(geometry.width) * geometry.height;
    return picture == PictureFormat::Yuv420 ? pixels * 3 / 2 : pixels * 4;
}

Rational rateFromDecimal(double fps) {
    if (std::abs(fps - std::round(fps)) < 1e-9) {
        return {static_cast<std::int64_t>(std::round(fps)), 1};
    }
    if (std::abs(fps - 29.97) < 1e-9) {
        return {30000, 1001};
    }
    if (std::abs(fps - 23.976) < 1e-9) {
        return {24000, 1001};
    }
    return reduced(static_cast<std::int64_t>(std::llround(fps * 1000)), 1000);
}

Rational rateFromMovie(double fps) {
    return reduced(static_cast<std::int64_t>(std::llround(fps * 256)), 256);
}

Geometry computeGeometry(const ConvertOptions& options, int stageWidth, int stageHeight) {
    stageWidth = std::max(1, stageWidth);
    stageHeight = std::max(1, stageHeight);
    Geometry g;
    if (options.profile == Profile::Psp && !options.width) {
        g.width = kPspWidth;
        g.height = kPspHeight;
    } else if (options.width && options.height) {
        g.width = *options.width;
        g.height = *options.height;
    } else {
        const double f = options.scale.value_or(1.0);
        g.width = std::max(1, static_cast<int>(std::lround(stageWidth * f)));
        g.height = std::max(1, static_cast<int>(std::lround(stageHeight * f)));
    }
    if (needsEvenSize(options.profile)) {
        g.width = even(g.width);
        g.height = even(g.height);
    }
    // The stage fitted into the picture, centred, its aspect kept; within a pixel of a side
    // it simply fills that side, so rounding never leaves a one-pixel bar.
    const double s = std::min(static_cast<double>(g.width) / stageWidth,
                              static_cast<double>(g.height) / stageHeight);
    g.contentWidth = std::clamp(static_cast<int>(std::lround(stageWidth * s)), 1, g.width);
    g.contentHeight = std::clamp(static_cast<int>(std::lround(stageHeight * s)), 1, g.height);
    if (g.width - g.contentWidth <= 1) {
        g.contentWidth = g.width;
    }
    if (g.height - g.contentHeight <= 1) {
        g.contentHeight = g.height;
    }
    g.contentX = (g.width - g.contentWidth) / 2;
    g.contentY = (g.height - g.contentHeight) / 2;
    return g;
}

OutputPlan planOutput(const ConvertOptions& options, int stageWidth, int stageHeight,
                      double movieFps) {
    OutputPlan plan;
    plan.geometry = computeGeometry(options, stageWidth, stageHeight);
    if (options.fps) {
        plan.rate = rateFromDecimal(*options.fps);
    } else if (options.profile == Profile::Psp) {
        plan.rate = {30000, 1001};
    } else {
        plan.rate = rateFromMovie(movieFps > 0 ? movieFps : 12.0);
    }
    plan.audio =
        !options.noAudio && options.profile != Profile::Gif && options.profile != Profile::Png;
    plan.transparent = options.transparent;
    plan.picture = !plan.transparent && needsEvenSize(options.profile) ? PictureFormat::Yuv420
                                                                       : PictureFormat::Bgra;
    return plan;
}

std::vector<std::string> encoderArguments(const ConvertOptions& options, const OutputPlan& plan,
                                          const std::string& output, bool hasLibxvid) {
    const Geometry& g = plan.geometry;
    std::vector<std::string> a{"-hide_banner", "-nostdin", "-loglevel", "error",
                               options.overwrite ? "-y" : "-n"};
    // Both inputs are raw with every parameter given: nothing to probe, so ffmpeg opens each
    // without reading ahead on it (which could wait for data the other pipe holds back).
    a.insert(a.end(), {"-probesize", "32", "-analyzeduration", "0", "-f", "rawvideo", "-pix_fmt",
                       pixelFormatName(plan.picture), "-video_size",
                       std::to_string(g.width) + "x" + std::to_string(g.height), "-framerate",
                       plan.rate.text(), "-thread_queue_size",
                       std::to_string(videoQueueFrames(plan)), "-i", "pipe:0"});
    if (plan.audio) {
        a.insert(a.end(), {"-probesize", "32", "-analyzeduration", "0", "-f", "s16le", "-ar",
                           "44100", "-ac", "2", "-thread_queue_size", "1024", "-i", "pipe:3"});
    }
    switch (options.profile) {
    case Profile::Mp4:
        // veryfast keeps the encoder well ahead of real time on a small machine; crf 20 is
        // visually clean for flat cartoon colours.
        a.insert(a.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt",
                           "yuv420p", "-movflags", "+faststart", "-f", "mp4"});
        if (static_cast<long>(g.width) * g.height > kLeanEncoderPixels) {
            // From about 1280 x 720 the encoder's frame threads and lookahead hold most of
            // the conversion's memory (185 MB there): threads that share each frame by slices
            // and a lookahead of five frames hold 140 MB, for about 15 % more encoding time.
            a.insert(a.end(), {"-x264-params", "sliced-threads=1:rc-lookahead=5"});
        }
        if (plan.audio) {
            a.insert(a.end(), {"-c:a", "aac", "-b:a", "160k"});
        }
        break;
    case Profile::Psp:
        a.insert(a.end(), {"-c:v", hasLibxvid ? "libxvid" : "mpeg4", "-b:v", "512k", "-pix_fmt",
                           "yuv420p", "-f", "mp4"});
        if (plan.audio) {
            a.insert(a.end(), {"-c:a", "aac", "-b:a", "64k", "-ar", "24000", "-ac", "2"});
        }
        break;
    case Profile::Webm:
        a.insert(a.end(), {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8",
                           "-row-mt", "1", "-b:v", "0", "-crf", "32", "-pix_fmt",
                           plan.transparent ? "yuva420p" : "yuv420p", "-f", "webm"});
        if (plan.audio) {
            a.insert(a.end(), {"-c:a", "libopus", "-b:a", "128k", "-ar", "48000"});
        }
        break;
    case Profile::Gif:
        a.insert(a.end(), {"-filter_complex",
                           "[0:v]split[a][b];[a]palettegen=stats_mode=full[p];"
                           "[b][p]paletteuse=dither=sierra2_4a",
                           "-loop", "0", "-f", "gif"});
        break;
    case Profile::Png:
        a.insert(a.end(), {"-c:v", "png", "-pix_fmt", plan.transparent ? "rgba" : "rgb24",
                           "-start_number", "1", "-f", "image2"});
        break;
    }
    a.push_back(output);
    return a;
}

} // namespace kinovex::cli
