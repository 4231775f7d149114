#pragma once
// Helpers for the sound tests: tones, coded sound made with the ffmpeg program, and measuring
// what came out.

#include "Sound.h"
#include "TempDir.h"
#include "engine/media/SoundDecoder.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace kinovex::flash::test {

// `seconds` of a sine tone, interleaved over `channels`, at `rate`.
inline std::vector<std::int16_t> Tone(double frequency, int rate, double seconds, int channels = 1,
                                      double amplitude = 12000.0) {
    const auto count = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> out;
    out.reserve(count * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < count; ++i) {
        const double v = amplitude * std::sin(2.0 * std::numbers::pi * frequency *
                                              static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) {
            out.push_back(static_cast<std::int16_t>(std::lround(c == 0 ? v : -v)));
        }
    }
    return out;
}

// Crossings of zero going up, per second, on one channel of interleaved stereo.
inline double Frequency(const PcmBuffer& pcm, std::size_t firstPair, std::size_t pairs,
                        int channel = 0) {
    int crossings = 0;
    for (std::size_t i = firstPair + 1; i < firstPair + pairs && i < pcm.size() / 2; ++i) {
        if (pcm[2 * (i - 1) + static_cast<std::size_t>(channel)] < 0 &&
            pcm[2 * i + static_cast<std::size_t>(channel)] >= 0) {
            ++crossings;
        }
    }
    return crossings * static_cast<double>(kMixRate) / static_cast<double>(pairs);
}

inline double Rms(const PcmBuffer& pcm, std::size_t firstPair, std::size_t pairs, int channel = 0) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = firstPair; i < firstPair + pairs && i < pcm.size() / 2; ++i, ++n) {
        const double v = pcm[2 * i + static_cast<std::size_t>(channel)];
        sum += v * v;
    }
    return n == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(n));
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs ffmpeg on a generated tone; empty when ffmpeg or the encoder is missing.
inline std::vector<std::uint8_t> Encode(const std::string& lavfiSource, const std::string& args,
                                        const std::string& suffix) {
    kinovex::test::TempDir dir("sound");
    const auto out = dir / ("out." + suffix);
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i '" +
                                lavfiSource + "' " + args + " '" + out.string() + "'";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    return ReadBytes(out);
}

// A 440 Hz mono tone as a bare MP3 stream (no tag, no info frame).
inline std::vector<std::uint8_t> Mp3Tone(int rate, double seconds, int channels = 1) {
    return Encode("sine=frequency=440:sample_rate=" + std::to_string(rate) +
                      ":duration=" + std::to_string(seconds),
                  "-ac " + std::to_string(channels) +
                      " -c:a libmp3lame -b:a 64k -write_xing 0 -id3v2_version 0 -f mp3",
                  "mp3");
}

// The audio payloads of an FLV file (each tag's data after its one format byte).
inline std::vector<std::vector<std::uint8_t>>
FlvAudioPackets(const std::vector<std::uint8_t>& flv) {
    std::vector<std::vector<std::uint8_t>> packets;
    std::size_t pos = 9 + 4;
    while (pos + 11 <= flv.size()) {
        const std::uint8_t type = flv[pos];
        const std::size_t size = static_cast<std::size_t>(flv[pos + 1]) << 16 |
                                 static_cast<std::size_t>(flv[pos + 2]) << 8 | flv[pos + 3];
        const std::size_t data = pos + 11;
        if (data + size > flv.size()) {
            break;
        }
        if (type == 8 && size > 1) {
            packets.emplace_back(flv.begin() + static_cast<std::ptrdiff_t>(data + 1),
                                 flv.begin() + static_cast<std::ptrdiff_t>(data + size));
        }
        pos = data + size + 4;
    }
    return packets;
}

} // namespace kinovex::flash::test
