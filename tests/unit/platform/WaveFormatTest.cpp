#include "platform/CaptureSource.h"

#include <gtest/gtest.h>

namespace kinovex {
namespace {

TEST(WaveFormat, FmtChunkBytesAreLittleEndianPcmFields) {
    struct Case {
        WaveFormat format;
        std::array<std::uint8_t, 18> bytes;
    };
    const Case cases[] = {
        {{2, 24000, 16}, {1, 0, 2, 0, 0xC0, 0x5D, 0, 0, 0x00, 0x77, 0x01, 0, 4, 0, 16, 0, 0, 0}},
        {{1, 44100, 16}, {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0, 2, 0, 16, 0, 0, 0}},
        {{6, 48000, 24}, {1, 0, 6, 0, 0x80, 0xBB, 0, 0, 0x00, 0x2F, 0x0D, 0, 18, 0, 24, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FmtChunkBytes(c.format), c.bytes) << c.format.channels << " channels";
}

} // namespace
} // namespace kinovex
