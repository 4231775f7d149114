#pragma once
// What one conversion writes: the picture's size and where the movie sits in it, the frame
// rate as an exact fraction, and the ffmpeg arguments of a profile.

#include "tools/convert/ConvertOptions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kinovex::cli {

struct Rational {
    std::int64_t num = 0;
    std::int64_t den = 1;
    double value() const { return static_cast<double>(num) / static_cast<double>(den); }
    std::string text() const { return std::to_string(num) + "/" + std::to_string(den); }
    bool operator==(const Rational&) const = default;
};

// A rate given as a decimal: whole rates exactly, 29.97 and 23.976 as the NTSC fractions,
// anything else to a thousandth.
Rational rateFromDecimal(double fps);
// A movie's 8.8 fixed-point rate (frames per second times 256), reduced.
Rational rateFromMovie(double fps);

struct Geometry {
    int width = 0; // the output picture
    int height = 0;
    // The movie's picture inside it; the rest is letterbox.
    int contentX = 0, contentY = 0, contentWidth = 0, contentHeight = 0;
};

// The output picture for a stage of stageWidth x stageHeight pixels. Sizes are made even for
// the profiles whose pixel format needs it.
Geometry computeGeometry(const ConvertOptions& options, int stageWidth, int stageHeight);

// How frames go down the pipe: opaque pictures for 4:2:0 encoders as YUV 4:2:0, the rest
// (alpha kept, palettes, PNG) as BGRA.
enum class PictureFormat { Bgra, Yuv420 };

struct OutputPlan {
    Geometry geometry;
    Rational rate;
    bool audio = false;       // a sound track is written
    bool transparent = false; // frames carry straight alpha
    PictureFormat picture = PictureFormat::Bgra;

    std::size_t frameBytes() const;
};

OutputPlan planOutput(const ConvertOptions& options, int stageWidth, int stageHeight,
                      double movieFps);

// ffmpeg's whole argument list (argv[0] excluded): raw frames from standard input, raw
// 44100 Hz stereo 16-bit sound from descriptor 3 when plan.audio, into `output`.
std::vector<std::string> encoderArguments(const ConvertOptions& options, const OutputPlan& plan,
                                          const std::string& output, bool hasLibxvid);

} // namespace kinovex::cli
