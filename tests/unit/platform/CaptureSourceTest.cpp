#include "platform/CaptureSource.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace kinovex {
namespace {

// Notes every block it is given and takes only as many as it is told to.
class NotingSink : public BlockSink {
public:
    bool OnBlock(std::span<const std::uint8_t> block) override {
        ++offered;
        if (room == 0)
            return false;
        --room;
        blocks.emplace_back(block.begin(), block.end());
        return true;
    }
    std::size_t room = SIZE_MAX;
    std::size_t offered = 0;
    std::vector<std::vector<std::uint8_t>> blocks;
};

std::vector<std::uint8_t> Stream(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
    return bytes;
}

TEST(BlockAssembler, PiecesOfAnySizeBecomeWholeBlocksInOrder) {
    struct Case {
        std::vector<std::size_t> pieces;
        std::size_t blocks; // of 12 bytes
    };
    const Case cases[] = {
        {{12}, 1}, {{5, 5, 5, 5, 4}, 2}, {{30}, 2}, {{11}, 0}, {{1, 0, 11, 13, 11}, 3}, {{36}, 3},
    };
    for (const Case& c : cases) {
        NotingSink sink;
        BlockAssembler assembler(12, sink);
        const auto stream = Stream(40);
        std::size_t offset = 0;
        for (std::size_t piece : c.pieces) {
            assembler.Append(stream.data() + offset, piece);
            offset += piece;
        }
        ASSERT_EQ(sink.blocks.size(), c.blocks) << c.pieces.size() << " pieces";
        for (std::size_t i = 0; i < c.blocks; ++i)
            EXPECT_EQ(sink.blocks[i], std::vector<std::uint8_t>(stream.begin() + 12 * i,
                                                                stream.begin() + 12 * (i + 1)));
        EXPECT_EQ(assembler.Dropped(), 0u);
    }
}

TEST(BlockAssembler, HolesAreSilenceAndAResetForgetsThePartBlock) {
    NotingSink sink;
    BlockAssembler assembler(4, sink);
    const std::uint8_t bytes[] = {9, 9, 9, 9, 9, 9};
    assembler.Append(bytes, 3);
    assembler.Reset();
    assembler.Append(bytes, 2);
    assembler.Append(nullptr, 4);
    assembler.Append(bytes, 2);
    ASSERT_EQ(sink.blocks.size(), 2u);
    EXPECT_EQ(sink.blocks[0], (std::vector<std::uint8_t>{9, 9, 0, 0}));
    EXPECT_EQ(sink.blocks[1], (std::vector<std::uint8_t>{0, 0, 9, 9}));
}

TEST(BlockAssembler, BlocksTheSinkRefusesAreDroppedWholeAndCounted) {
    NotingSink sink;
    sink.room = 2;
    BlockAssembler assembler(8, sink);
    const auto stream = Stream(40);
    assembler.Append(stream.data(), 20); // blocks 0 and 1 taken, 4 bytes wait
    sink.room = 0;
    assembler.Append(stream.data() + 20, 4); // block 2 refused
    sink.room = 1;
    assembler.Append(stream.data() + 24, 8); // block 3 taken
    EXPECT_EQ(sink.offered, 4u);
    EXPECT_EQ(assembler.Dropped(), 1u);
    ASSERT_EQ(sink.blocks.size(), 3u);
    EXPECT_EQ(sink.blocks[2], std::vector<std::uint8_t>(stream.begin() + 24, stream.begin() + 32))
        << "the block after a dropped one starts at its own place in the stream";
}

} // namespace
} // namespace kinovex
