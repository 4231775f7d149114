// Makes the movie the converter's benchmark converts: a 550 x 400 cartoon-like movie at
// 24 fps with a bitmap backdrop, 300 gradient shapes in 30 groups that move and turn in every
// frame (nothing is drawn twice the same), and stream sound.
//
//   make_convert_bench_movie OUT.swf SECONDS [SOUND.mp3]
//
// With SOUND.mp3 (44.1 kHz stereo, made by the benchmark script with ffmpeg) the stream is
// MP3, its frames cut into the movie's frames as a movie maker writes them; without it the
// stream is 44.1 kHz stereo PCM (a chord), so the benchmark still runs where no MP3 encoder
// is installed.

#include "Sound.h"
#include "SwfWriter.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

using namespace kinovex;

namespace {

constexpr double kFps = 24;

std::vector<std::uint8_t> ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint16_t GroupSprite(swf::SwfWriter& movie) {
    std::vector<std::uint16_t> kinds;
    for (int k = 0; k < 8; ++k) {
        swf::ShapeBuilder s;
        swf::Gradient g;
        g.stops = {{0, swf::Rgb(0xffffff, 230)},
                   {120, swf::Rgb(0x40a0ff - k * 0x1000, 210)},
                   {255, swf::Rgb(0x102040 + k * 0x100000, 190)}};
        const auto fill =
            k % 2 == 0 ? swf::FillStyle::radial(swf::Matrix::gradientBox(40, 40, 0, 0, 0), g)
                       : swf::FillStyle::linear(swf::Matrix::gradientBox(40, 40, k, 0, 0), g);
        s.fill0(s.addFill(fill)).line(s.addLine(swf::LineStyle::solid(1, swf::Rgb(0x000000, 140))));
        if (k % 3 == 0) {
            s.ellipse(0, 0, 20, 14);
        } else {
            s.polygon({{-20, -10}, {0, -20}, {20, -10}, {15, 15}, {-15, 15}});
        }
        kinds.push_back(movie.defineShape(s, 3));
    }
    swf::Sprite group;
    for (int i = 0; i < 10; ++i) {
        group.place(static_cast<std::uint16_t>(i + 1),
                    kinds[static_cast<std::size_t>(i) % kinds.size()],
                    swf::Matrix::transform(0.8, 0.8, i * 0.6, (i % 5) * 22.0, (i / 5) * 22.0));
    }
    group.showFrame();
    return movie.defineSprite(group);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.swf SECONDS [SOUND.mp3]\n", argv[0]);
        return 2;
    }
    const int frames = static_cast<int>(std::lround(std::stod(argv[2]) * kFps));
    if (frames < 1 || frames > 65535) {
        std::fprintf(stderr, "SECONDS must give 1 to 65535 frames at 24 fps\n");
        return 2;
    }
    std::vector<std::vector<std::uint8_t>> mp3;
    if (argc > 3) {
        mp3 = swf::SplitMp3Frames(ReadAll(argv[3]));
        if (mp3.empty()) {
            std::fprintf(stderr, "%s holds no MP3 frames\n", argv[3]);
            return 1;
        }
    }

    swf::SwfWriter movie(550, 400, kFps);
    movie.setBackground(swf::Rgb(0x203040));
    const auto bitmap = movie.defineBitsJpeg2(swf::Image::rainbow(128, 96, false), 85);
    swf::ShapeBuilder back;
    back.fill0(back.addFill(swf::FillStyle::bitmap(bitmap, swf::Matrix::bitmap(4.3, 0, 0), false)))
        .rectangle(0, 0, 550, 400);
    movie.place(1, movie.defineShape(back));
    const auto group = GroupSprite(movie);

    const swf::SoundFormatBits pcm{swf::SoundCodec::PcmLittle, 3, true, true};
    const swf::SoundFormatBits stream =
        mp3.empty() ? pcm : swf::SoundFormatBits{swf::SoundCodec::Mp3, 3, true, true};
    const auto perFrame = static_cast<std::uint16_t>(44100 / kFps);
    swf::SoundStreamHead(movie, pcm, stream, perFrame);

    constexpr int kGroups = 30;
    std::size_t nextMp3 = 0;
    std::uint64_t delivered = 0; // sample frames sent in blocks so far
    for (int f = 0; f < frames; ++f) {
        const auto needed = static_cast<std::uint64_t>(std::floor((f + 1) * 44100 / kFps));
        if (!mp3.empty()) {
            std::vector<std::uint8_t> data;
            std::uint16_t count = 0;
            while (delivered < needed) {
                const auto& frame = mp3[nextMp3++ % mp3.size()];
                data.insert(data.end(), frame.begin(), frame.end());
                delivered += 1152;
                count += 1152;
            }
            if (count > 0) {
                swf::SoundStreamBlock(movie, swf::Mp3StreamBlockBody(count, 0, data));
            }
        } else {
            std::vector<std::int16_t> samples;
            for (; delivered < needed; ++delivered) {
                const double t = static_cast<double>(delivered) / 44100;
                const double v = 5000 * std::sin(2 * std::numbers::pi * 220 * t) +
                                 4000 * std::sin(2 * std::numbers::pi * 277.2 * t) +
                                 3000 * std::sin(2 * std::numbers::pi * 329.6 * t);
                samples.push_back(static_cast<std::int16_t>(v));
                samples.push_back(static_cast<std::int16_t>(-v));
            }
            swf::SoundStreamBlock(movie, swf::Pcm16Bytes(samples));
        }
        for (int i = 0; i < kGroups; ++i) {
            const double phase = f * 0.02 + i * 0.7;
            const double x = 275 + 230 * std::sin(phase * (1 + i % 3 * 0.3));
            const double y = 200 + 170 * std::cos(phase * (1.2 + i % 4 * 0.2));
            swf::Place p;
            p.depth = static_cast<std::uint16_t>(i + 2);
            if (f == 0) {
                p.character = group;
            } else {
                p.move = true;
            }
            const double s = 0.8 + 0.3 * std::sin(phase * 1.7);
            p.matrix = swf::Matrix::transform(s, s, phase, x, y);
            movie.place(p);
        }
        movie.showFrame();
    }
    movie.save(argv[1], swf::Compression::Zlib);
    return 0;
}
