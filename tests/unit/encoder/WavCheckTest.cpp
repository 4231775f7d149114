#include "tools/encoder/WavCheck.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kinovex {
namespace {

std::string Le32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::string Chunk(const std::string& id, std::uint32_t size, const std::string& payload) {
    return id + Le32(size) + payload;
}

// The 16-bit stereo 24000 Hz format block the recorder writes.
const std::string kFormat = Chunk("fmt ", 16,
                                  std::string("\x01\x00\x02\x00", 4) + Le32(24000) + Le32(96000) +
                                      std::string("\x04\x00\x10\x00", 4));

std::string Wav(std::uint32_t riffSize, const std::string& chunks) {
    return "RIFF" + Le32(riffSize) + "WAVE" + chunks;
}

class WavCheck : public ::testing::Test {
protected:
    bool HoldsSamples(const std::string& bytes) {
        const auto path = m_dir / "sound.wav";
        test::WriteFile(path, bytes);
        return WavHoldsSamples(path.string());
    }
    test::TempDir m_dir{"wav check"};
};

TEST_F(WavCheck, SamplesAfterTheDataHeaderCountWhateverTheSizesSay) {
    const std::string samples(400, '\x11');
    EXPECT_TRUE(HoldsSamples(Wav(36 + 400, kFormat + Chunk("data", 400, samples))));
    // A recording that ended before the sizes were filled in.
    EXPECT_TRUE(HoldsSamples(Wav(0, kFormat + Chunk("data", 0, samples))));
    // Even one byte after the header.
    EXPECT_TRUE(HoldsSamples(Wav(0, kFormat + Chunk("data", 0, "\x01"))));
    // Other chunks before the data, one of odd length with its pad byte.
    EXPECT_TRUE(HoldsSamples(
        Wav(0, kFormat + Chunk("LIST", 3, std::string("abc\0", 4)) + Chunk("data", 4, "abcd"))));
}

TEST_F(WavCheck, AHeaderWithNothingAfterItHoldsNoSamples) {
    EXPECT_FALSE(HoldsSamples(Wav(36, kFormat + Chunk("data", 0, ""))));
    // Sizes that promise samples the file does not have.
    EXPECT_FALSE(HoldsSamples(Wav(36 + 96000, kFormat + Chunk("data", 96000, ""))));
    // A data chunk header cut short, or none at all.
    EXPECT_FALSE(HoldsSamples(Wav(36, kFormat + "data")));
    EXPECT_FALSE(HoldsSamples(Wav(36, kFormat)));
    // A chunk whose size runs past the end hides whatever follows it.
    EXPECT_FALSE(HoldsSamples(Wav(0, Chunk("fmt ", 0xFFFFFFF0u, "") + Chunk("data", 4, "abcd"))));
}

TEST_F(WavCheck, WhatIsNoWaveFileHoldsNoSamples) {
    EXPECT_FALSE(WavHoldsSamples((m_dir / "missing.wav").string()));
    EXPECT_FALSE(WavHoldsSamples(m_dir.str())); // a folder
    EXPECT_FALSE(HoldsSamples(""));
    EXPECT_FALSE(HoldsSamples("RIFF"));
    EXPECT_FALSE(HoldsSamples("RIFX" + Le32(0) + "WAVE" + kFormat + Chunk("data", 4, "abcd")));
    EXPECT_FALSE(HoldsSamples("RIFF" + Le32(0) + "AVI " + Chunk("data", 4, "abcd")));
}

} // namespace
} // namespace kinovex
