#include "platform/CaptureDevice.h"

#include <gtest/gtest.h>

#include <numeric>

namespace kinovex {
namespace {

constexpr WaveFormat kFormat{2, 24000, 16};

// The shared loop with its producer side opened up for the test.
class CTestBuffer : public CLoopingCaptureBuffer {
public:
    using CLoopingCaptureBuffer::CLoopingCaptureBuffer;
    using CLoopingCaptureBuffer::Produce;
    bool Start(std::uint32_t) override { return true; }
    bool Stop() override { return true; }
};

std::vector<std::uint8_t> Bytes(std::uint8_t first, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

TEST(CaptureBuffer, NotificationsFireWhenTheirByteIsCapturedAlsoAcrossTheWrap) {
    CTestBuffer buffer(kFormat, 160);
    CEvent first(false);
    CEvent last(false);
    const DSBPOSITIONNOTIFY positions[] = {{9, &first}, {159, &last}};
    ASSERT_TRUE(buffer.SetNotificationPositions(positions));

    buffer.Produce(Bytes(0, 9).data(), 9); // bytes 0..8: not yet
    EXPECT_FALSE(first.Wait(0));
    buffer.Produce(Bytes(9, 1).data(), 1); // byte 9
    EXPECT_TRUE(first.Wait(0));
    buffer.Produce(nullptr, 150); // up to 159
    EXPECT_FALSE(first.Wait(0));
    EXPECT_TRUE(last.Wait(0));
    buffer.Produce(nullptr, 20); // wraps past 9 again
    EXPECT_TRUE(first.Wait(0));
    EXPECT_FALSE(last.Wait(0));

    std::uint32_t capture = 0;
    std::uint32_t read = 0;
    ASSERT_TRUE(buffer.GetCurrentPosition(&capture, &read));
    EXPECT_EQ(read, 20u);
    EXPECT_EQ(buffer.producedBytes(), 180u);

    const DSBPOSITIONNOTIFY outside[] = {{160, &first}};
    EXPECT_FALSE(buffer.SetNotificationPositions(outside));
}

TEST(CaptureBuffer, LockHandsOutWrappedRegionsInTwoParts) {
    CTestBuffer buffer(kFormat, 100);
    const auto bytes = Bytes(0, 130);
    buffer.Produce(bytes.data(), bytes.size()); // positions 0..29 hold 100..129

    void* part1 = nullptr;
    void* part2 = nullptr;
    std::uint32_t size1 = 0;
    std::uint32_t size2 = 0;
    ASSERT_TRUE(buffer.Lock(80, 40, &part1, &size1, &part2, &size2));
    ASSERT_EQ(size1, 20u);
    ASSERT_EQ(size2, 20u);
    EXPECT_EQ(static_cast<std::uint8_t*>(part1)[0], 80);
    EXPECT_EQ(static_cast<std::uint8_t*>(part2)[0], 100);
    EXPECT_FALSE(buffer.Lock(0, 4, &part1, &size1, &part2, &size2)) << "one lock at a time";
    ASSERT_TRUE(buffer.Unlock(part1, size1, part2, size2));
    EXPECT_EQ(buffer.consumedBytes(), 40u);

    ASSERT_TRUE(buffer.Lock(10, 20, &part1, &size1, &part2, &size2));
    EXPECT_EQ(size1, 20u);
    EXPECT_EQ(part2, nullptr);
    EXPECT_EQ(size2, 0u);
    buffer.Unlock(part1, size1, part2, size2);
    EXPECT_FALSE(buffer.Lock(100, 4, &part1, &size1, &part2, &size2));
    EXPECT_FALSE(buffer.Lock(0, 101, &part1, &size1, &part2, &size2));
}

TEST(CaptureBuffer, AProducerThatLapsTheReaderNeverWritesIntoALockedRegion) {
    CTestBuffer buffer(kFormat, 100);
    buffer.Produce(Bytes(0, 100).data(), 100);
    void* part1 = nullptr;
    void* part2 = nullptr;
    std::uint32_t size1 = 0;
    std::uint32_t size2 = 0;
    ASSERT_TRUE(buffer.Lock(0, 50, &part1, &size1, &part2, &size2));
    buffer.Produce(Bytes(200, 10).data(), 10); // lands on 0..9, inside the lock: lost
    EXPECT_EQ(static_cast<std::uint8_t*>(part1)[0], 0);
    EXPECT_EQ(buffer.producedBytes(), 110u) << "the lost piece still takes its time";
    buffer.Unlock(part1, size1, part2, size2);
    buffer.Produce(Bytes(210, 10).data(), 10); // 10..19, unlocked now
    ASSERT_TRUE(buffer.Lock(10, 10, &part1, &size1, &part2, &size2));
    EXPECT_EQ(static_cast<std::uint8_t*>(part1)[0], 210);
    buffer.Unlock(part1, size1, part2, size2);
}

} // namespace
} // namespace kinovex
