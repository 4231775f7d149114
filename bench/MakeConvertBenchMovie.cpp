// Makes the movie the converter's benchmark converts: the engine benchmark's cartoon scene
// (a bitmap backdrop, 300 gradient shapes in 30 groups; half stand still, half slide, and one
// group in five turns and grows in each frame) at 24 fps, with stream sound. With --turn every
// group turns and grows in every frame, so nothing is drawn twice the same: the worst case.
//
//   make_convert_bench_movie [--turn] OUT.swf SECONDS [SOUND.mp3]
//
// With SOUND.mp3 (44.1 kHz stereo, made by the benchmark script with ffmpeg) the stream is
// MP3, its frames cut into the movie's frames as a movie maker writes them; without it the
// stream is 44.1 kHz stereo PCM (a chord), so the benchmark still runs where no MP3 encoder
// is installed.

#include "CartoonScene.h"
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

} // namespace

int main(int argc, char** argv) {
    auto motion = bench::Motion::Typical;
    bool filtered = false;
    for (; argc > 1 && std::string(argv[1]).starts_with("--"); --argc, ++argv) {
        const std::string option = argv[1];
        if (option == "--turn") {
            motion = bench::Motion::Turn;
        } else if (option == "--filters") {
            filtered = true;
        } else {
            argc = 0; // an unknown option: the usage line below
            break;
        }
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_convert_bench_movie [--turn] [--filters] OUT.swf "
                             "SECONDS [SOUND.mp3]\n");
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
    bench::CartoonScene scene(movie, 300, motion, filtered);

    const swf::SoundFormatBits pcm{swf::SoundCodec::PcmLittle, 3, true, true};
    const swf::SoundFormatBits stream =
        mp3.empty() ? pcm : swf::SoundFormatBits{swf::SoundCodec::Mp3, 3, true, true};
    const auto perFrame = static_cast<std::uint16_t>(44100 / kFps);
    swf::SoundStreamHead(movie, pcm, stream, perFrame);

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
        scene.placeFrame(f);
        movie.showFrame();
    }
    movie.save(argv[1], swf::Compression::Zlib);
    return 0;
}
