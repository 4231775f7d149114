#include "ShapesAndTone.h"

#include "Shape.h"
#include "Sound.h"
#include "SwfWriter.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace kinovex::test {
namespace {

constexpr double kToneHz = 1000.0;

QByteArray RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

// The energy at `hz` against all of it (Goertzel), for mono 16-bit samples.
double ToneShare(const std::vector<std::int16_t>& samples, int rate, double hz) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double s1 = 0, s2 = 0, total = 0;
    for (std::int16_t sample : samples) {
        const double s0 = sample + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += static_cast<double>(sample) * sample;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    const double n = static_cast<double>(samples.size());
    return total > 0 ? 2 * power / (n * total) : 0;
}

} // namespace

void WriteShapesAndToneMovie(const std::filesystem::path& path) {
    swf::SwfWriter movie(320, 240, 12);
    movie.setBackground(swf::Rgb(0x20A040));
    auto square = [&](std::uint32_t rgb) {
        swf::ShapeBuilder shape;
        const int fill = shape.addFill(swf::FillStyle::solid(swf::Rgb(rgb)));
        shape.fill0(fill).moveTo(0, 0).lineTo(80, 0).lineTo(80, 80).lineTo(0, 80).lineTo(0, 0);
        return movie.defineShape(shape);
    };
    const std::uint16_t red = square(0xE02020);
    const std::uint16_t blue = square(0x2040E0);

    const int rate = 44100;
    std::vector<std::int16_t> samples(2 * rate); // one second, stereo
    for (int i = 0; i < rate; ++i) {
        const auto value =
            static_cast<std::int16_t>(14000 * std::sin(2 * std::numbers::pi * kToneHz * i / rate));
        samples[2 * i] = value;
        samples[2 * i + 1] = value;
    }
    swf::SoundFormatBits format;
    const std::uint16_t tone = swf::DefineSound(movie, format, rate, swf::Pcm16Bytes(samples));
    swf::SoundInfoSpec loop;
    loop.loops = 600;
    swf::StartSound(movie, tone, loop);

    movie.place(1, red, swf::Matrix::translate(0, 20));
    movie.place(2, blue, swf::Matrix::translate(200, 0));
    for (int frame = 0; frame < 48; ++frame) {
        movie.move(1, swf::Matrix::translate(frame * 5, 20));
        movie.move(2, swf::Matrix::translate(200, frame * 3));
        movie.showFrame();
    }
    movie.save(path, swf::Compression::Zlib);
}

void ExpectShapesAndTone(const QString& output) {
    EXPECT_EQ(RunTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                  "stream=width,height", "-of", "csv=p=0", output})
                  .trimmed(),
              "368,208");

    // A frame from the middle: mostly the stage's green, with the red and blue squares.
    const QByteArray rgb =
        RunTool("ffmpeg", {"-v", "error", "-ss", "1.5", "-i", output, "-frames:v", "1", "-f",
                           "rawvideo", "-pix_fmt", "rgb24", "-"});
    ASSERT_EQ(rgb.size(), 368 * 208 * 3);
    int green = 0, red = 0, blue = 0;
    for (int i = 0; i < rgb.size(); i += 3) {
        const int r = static_cast<unsigned char>(rgb[i]);
        const int g = static_cast<unsigned char>(rgb[i + 1]);
        const int b = static_cast<unsigned char>(rgb[i + 2]);
        green += g > 120 && r < 80 && b < 110;
        red += r > 170 && g < 80 && b < 80;
        blue += b > 170 && r < 80 && g < 110;
    }
    const int pixels = 368 * 208;
    EXPECT_GT(green, pixels / 3);
    EXPECT_GT(red, pixels / 50);
    EXPECT_GT(blue, pixels / 50);

    // The sound holds the tone.
    const QByteArray pcm = RunTool("ffmpeg", {"-v", "error", "-i", output, "-vn", "-ac", "1", "-ar",
                                              "24000", "-f", "s16le", "-"});
    std::vector<std::int16_t> samples(static_cast<std::size_t>(pcm.size()) / 2);
    std::memcpy(samples.data(), pcm.constData(), samples.size() * 2);
    // A null sink's monitor hands its sound over in pieces of up to two seconds, so the
    // recording may hold less sound than picture; what it holds is the tone.
    ASSERT_GT(samples.size(), 24000u / 2) << "less than half a second of sound";
    const std::size_t quarter = samples.size() / 4;
    const std::vector<std::int16_t> middle(samples.begin() + static_cast<std::ptrdiff_t>(quarter),
                                           samples.end() - static_cast<std::ptrdiff_t>(quarter));
    EXPECT_GT(ToneShare(middle, 24000, kToneHz), 0.5);
}

} // namespace kinovex::test
