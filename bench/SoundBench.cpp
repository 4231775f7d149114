// The engine's sound: decoding and mixing a minute of a movie with a 44.1 kHz stereo MP3
// stream (128 kbit/s) and two event sounds (a 22 kHz stereo ADPCM sound started every two
// seconds, a 22 kHz MP3 loop under the whole minute), pulled frame by frame at 30 fps.
// Goal: 2 % of one core or less in real time; the "core_percent" counter gives the figure
// (CPU time for the minute / 60 s). The MP3 data is made with the ffmpeg program.

#include "Sound.h"
#include "engine/display/Mixer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace kinovex;

std::vector<std::uint8_t> makeMp3(const std::string& source, int channels, int kbps) {
    char name[] = "/tmp/kinovex-sound-bench-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) {
        return {};
    }
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i '" +
                                source + "' -ac " + std::to_string(channels) +
                                " -c:a libmp3lame -b:a " + std::to_string(kbps) +
                                "k -write_xing 0 -id3v2_version 0 -f mp3 " + name;
    std::vector<std::uint8_t> bytes;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(name, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::remove(name);
    return bytes;
}

struct Material {
    std::vector<std::vector<std::uint8_t>> streamFrames; // MP3 frames of the minute
    flash::SoundDefinition adpcm;
    flash::SoundDefinition loop;
    bool ok = false;
};

const Material& material() {
    static const Material m = [] {
        Material out;
        // Two tones a fifth apart with some noise: the decoder does real work on every band.
        const auto stream = makeMp3("sine=frequency=440:sample_rate=44100:duration=61[a];"
                                    "anoisesrc=d=61:r=44100:a=0.05[b];[a][b]amix",
                                    2, 128);
        out.streamFrames = swf::SplitMp3Frames(stream);
        const auto loop = makeMp3("sine=frequency=660:sample_rate=22050:duration=2", 1, 48);
        out.loop.id = 2;
        out.loop.format = {flash::SoundCodec::Mp3, 2, true, false};
        out.loop.sampleCount = 44100;
        out.loop.data = loop;
        // Any bits are valid ADPCM: two seconds of 4-bit stereo at 22 kHz.
        out.adpcm.id = 1;
        out.adpcm.format = {flash::SoundCodec::Adpcm, 2, true, true};
        out.adpcm.sampleCount = 44100;
        out.adpcm.data.resize(44100 * 2 * 4 / 8 + 64);
        std::mt19937 random(3);
        for (auto& b : out.adpcm.data) {
            b = static_cast<std::uint8_t>(random());
        }
        out.adpcm.data[0] = 0x80; // 4-bit codes
        out.ok = out.streamFrames.size() > 2000 && !loop.empty();
        return out;
    }();
    return m;
}

void minuteOfSound(benchmark::State& state) {
    const Material& m = material();
    if (!m.ok) {
        state.SkipWithError("ffmpeg with libmp3lame is needed to make the MP3 data");
        return;
    }
    constexpr int kFps = 30;
    constexpr int kFrames = 60 * kFps;
    std::size_t samples = 0;
    for (auto _ : state) {
        flash::SoundMixer mixer(kFps * 256);
        mixer.defineSound(m.adpcm);
        mixer.defineSound(m.loop);
        flash::SoundStreamHead head;
        head.stream = {flash::SoundCodec::Mp3, 3, true, true};
        mixer.streamHead(1, head);
        flash::SoundInfo loops;
        loops.loopCount = 30;
        mixer.startSound(2, loops);
        std::size_t next = 0;
        std::uint64_t delivered = 0;
        std::uint64_t needed = 0;
        flash::PcmBuffer out;
        out.reserve(2 * 44100 / kFps + 2);
        for (int n = 0; n < kFrames; ++n) {
            needed += mixer.samplesForFrame(static_cast<std::uint64_t>(n));
            std::vector<std::uint8_t> block{0, 0, 0, 0};
            while (delivered < needed && next < m.streamFrames.size()) {
                block.insert(block.end(), m.streamFrames[next].begin(), m.streamFrames[next].end());
                delivered += 1152;
                ++next;
            }
            mixer.streamBlock(1, block);
            if (n % (2 * kFps) == 0) {
                mixer.startSound(1, {});
            }
            out.clear();
            mixer.mixFrame(out);
            samples += out.size() / 2;
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.counters["core_percent"] =
        benchmark::Counter(0.6 * static_cast<double>(state.iterations()), // 60 s is 100 %
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(static_cast<std::int64_t>(samples));
}
BENCHMARK(minuteOfSound)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace

BENCHMARK_MAIN();
