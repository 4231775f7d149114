// MP3 files read as sounds: the frames kept, the rate, channels and sample count they give, and
// what is refused.

#include "engine/definitions/Mp3File.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kinovex::flash {
namespace {

using Bytes = std::vector<std::uint8_t>;

// `count` frames with the header bytes `b1 b2 b3` and silent bodies of the length they give.
Bytes frames(int count, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::size_t length) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        Bytes frame(length, 0);
        frame[0] = 0xFF;
        frame[1] = b1;
        frame[2] = b2;
        frame[3] = b3;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// MPEG-1 layer III, 128 kbit/s, 44.1 kHz, joint stereo: 417-byte frames of 1152 samples.
Bytes mpeg1(int count) {
    return frames(count, 0xFB, 0x90, 0x64, 417);
}

TEST(Mp3File, ReadsFramesRateAndLength) {
    const Bytes id3 = text("ID3") + Bytes{3, 0, 0, 0, 0, 0, 20} + Bytes(20, 'x');
    struct Row {
        const char* what;
        Bytes file;
        bool ok;
        std::uint8_t rateCode;
        bool stereo;
        std::uint32_t samples; // at the format's rate
        std::size_t dataBytes;
    };
    const Row rows[] = {
        {"plain frames", mpeg1(10), true, 3, true, 11520, 4170},
        {"after an ID3v2 tag, garbage and an ID3v1 tag left out",
         id3 + mpeg1(3) + text("junk") + mpeg1(2) + text("TAG") + Bytes(125, 0), true, 3, true,
         5760, 2085},
        {"MPEG-2 at 22.05 kHz, mono: 576 samples a frame", frames(4, 0xF3, 0x80, 0xC0, 208), true,
         2, false, 2304, 832},
        {"48 kHz counted at 44.1 kHz", frames(10, 0xFB, 0x94, 0x64, 384), true, 3, true, 10584,
         3840},
        {"a frame of another rate is left out", mpeg1(2) + frames(1, 0xFB, 0x94, 0x64, 384), true,
         3, true, 2304, 834},
        {"text", text("not a sound at all"), false, 0, false, 0, 0},
        {"a lone frame header in text", text("abc") + mpeg1(1) + text("def"), false, 0, false, 0,
         0},
        {"layer II frames", frames(3, 0xFD, 0x90, 0x64, 417), false, 0, false, 0, 0},
        {"nothing", {}, false, 0, false, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SoundDefinition d;
        std::string error;
        ASSERT_EQ(ReadMp3File(r.file, d, error), r.ok);
        if (!r.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(d.format.codec, SoundCodec::Mp3);
        EXPECT_EQ(d.format.rateCode, r.rateCode);
        EXPECT_EQ(d.format.stereo, r.stereo);
        EXPECT_EQ(d.sampleCount, r.samples);
        EXPECT_EQ(d.data.size(), r.dataBytes);
    }
}

} // namespace
} // namespace kinovex::flash
