// libFuzzer target: any bytes as a movie, loaded, played and drawn. Whatever the input, the
// engine must not crash, hang, or read or write out of bounds.

#include "engine/Player.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kinovex::flash::Player player;
    if (!player.loadFromMemory(std::span<const std::uint8_t>(data, size)).ok) {
        return 0;
    }
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    std::vector<std::uint32_t> pixels(kWidth * kHeight);
    std::vector<std::uint8_t> bits(
        static_cast<std::size_t>(kinovex::flash::Player::rgb555Stride(kWidth)) * kHeight);
    for (int i = 0; i < 4; ++i) {
        player.draw(pixels.data(), kWidth, kHeight, kWidth * 4);
        player.advance(250);
    }
    player.gotoFrame(1);
    player.drawRgb555(bits.data(), kWidth, kHeight);
    return 0;
}
