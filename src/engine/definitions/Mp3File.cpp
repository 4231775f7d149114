#include "engine/definitions/Mp3File.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace kinovex::flash {

namespace {

struct FrameHeader {
    int sampleRate = 0;
    int samples = 0; // per channel
    bool stereo = false;
    std::size_t length = 0; // bytes, header included
};

// The header at `at`, when four bytes there make a valid layer III one.
std::optional<FrameHeader> headerAt(std::span<const std::uint8_t> b, std::size_t at) {
    if (at + 4 > b.size() || b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int version = (b[at + 1] >> 3) & 3; // 0: MPEG 2.5, 2: MPEG 2, 3: MPEG 1
    const int layer = (b[at + 1] >> 1) & 3;   // 1: layer III
    const int bitrateIndex = b[at + 2] >> 4;
    const int rateIndex = (b[at + 2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    static constexpr std::array<int, 15> kMpeg1 = {0,   32,  40,  48,  56,  64,  80, 96,
                                                   112, 128, 160, 192, 224, 256, 320};
    static constexpr std::array<int, 15> kMpeg2 = {0,  8,  16, 24,  32,  40,  48, 56,
                                                   64, 80, 96, 112, 128, 144, 160};
    static constexpr std::array<int, 3> kRates = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    FrameHeader h;
    h.sampleRate = kRates[static_cast<std::size_t>(rateIndex)] >> (mpeg1          ? 0
                                                                   : version == 2 ? 1
                                                                                  : 2);
    h.samples = mpeg1 ? 1152 : 576;
    h.stereo = (b[at + 3] >> 6) != 3;
    const int kbps = (mpeg1 ? kMpeg1 : kMpeg2)[static_cast<std::size_t>(bitrateIndex)];
    const int padding = (b[at + 2] >> 1) & 1;
    h.length = static_cast<std::size_t>((mpeg1 ? 144 : 72) * kbps * 1000 / h.sampleRate + padding);
    return h;
}

// Where the audio starts: after an ID3v2 tag, if there is one.
std::size_t afterId3(std::span<const std::uint8_t> b) {
    if (b.size() < 10 || b[0] != 'I' || b[1] != 'D' || b[2] != '3') {
        return 0;
    }
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) {
        size = (size << 7) | (b[static_cast<std::size_t>(i)] & 0x7F);
    }
    const std::size_t footer = (b[5] & 0x10) != 0 ? 10 : 0;
    return 10 + size + footer;
}

// The rate code of the nearest of the four rates a sound format names.
std::uint8_t rateCodeOf(int sampleRate) {
    if (sampleRate >= 32000) {
        return 3;
    }
    return sampleRate >= 16000 ? 2 : 1;
}

} // namespace

bool ReadMp3File(std::span<const std::uint8_t> bytes, SoundDefinition& out, std::string& error) {
    std::vector<std::uint8_t> frames;
    std::uint64_t samples = 0;
    std::optional<FrameHeader> first;
    for (std::size_t at = afterId3(bytes); at + 4 <= bytes.size();) {
        const std::optional<FrameHeader> h = headerAt(bytes, at);
        // A frame counts when it is whole and has the first frame's rate and channels.
        if (!h || at + h->length > bytes.size() ||
            (first && (h->sampleRate != first->sampleRate || h->stereo != first->stereo))) {
            ++at; // look for the next frame
            continue;
        }
        if (!first) {
            // The first frame is only believed when another follows it (or the file ends).
            const std::size_t next = at + h->length;
            if (next != bytes.size() && !headerAt(bytes, next)) {
                ++at;
                continue;
            }
            first = h;
        }
        frames.insert(frames.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + h->length));
        samples += static_cast<std::uint64_t>(h->samples);
        at += h->length;
    }
    if (!first) {
        error = "no MP3 audio in the file";
        return false;
    }
    out.format.codec = SoundCodec::Mp3;
    out.format.rateCode = rateCodeOf(first->sampleRate);
    out.format.is16Bit = true;
    out.format.stereo = first->stereo;
    // The count is at the format's rate, which a 48 or 24 kHz file only comes near.
    const double scale = out.format.rateTimes2() / 2.0 / first->sampleRate;
    out.sampleCount = static_cast<std::uint32_t>(
        std::min<double>(std::round(static_cast<double>(samples) * scale), UINT32_MAX));
    out.seekSamples = 0;
    out.data = std::move(frames);
    return true;
}

} // namespace kinovex::flash
