#include "core/record/CAviWriter.h"

#include "AviTestSupport.h"
#include "RecordTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex {
namespace {

using test::TempDir;

constexpr std::uint16_t Rgb555(int r, int g, int b) {
    return static_cast<std::uint16_t>(r << 10 | g << 5 | b);
}

// Four flat quarters split on block boundaries, so the lossy compressor reproduces them
// exactly and any flip or mirror shows.
std::vector<std::uint16_t> Quarters(int width, int height, int splitX, int splitY) {
    const std::uint16_t colours[4] = {Rgb555(31, 0, 0), Rgb555(0, 31, 0), Rgb555(0, 0, 31),
                                      Rgb555(31, 31, 31)};
    std::vector<std::uint16_t> picture(static_cast<std::size_t>(width) *
                                       static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture[static_cast<std::size_t>(y * width + x)] =
                colours[(y < splitY ? 0 : 2) + (x < splitX ? 0 : 1)];
    return picture;
}

TEST(AviWriter, FramesReadBackAsWrittenWithCodecRateAndCount) {
    TempDir dir("avi");
    const auto path = dir / "movie.avi";
    const auto picture = Quarters(320, 240, 160, 120);
    const auto dib = MakeDib(picture, 320, 240);
    ASSERT_EQ(dib.size(), CAviWriter::FrameSize(320, 240, 16));
    EXPECT_EQ(CAviWriter::FrameSize(320, 240, 16), 153600u);
    {
        CAviWriter writer(path.string(), kCodecMSVC, 12);
        EXPECT_EQ(writer.GetLastError(), "Method Succeeded");
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(writer.AppendFrame(320, 240, dib.data(), 16)) << "frame " << i;
        EXPECT_EQ(writer.GetLastError(), "Method Succeeded");
        writer.Close();
        writer.Close(); // harmless
        EXPECT_FALSE(writer.AppendFrame(320, 240, dib.data(), 16));
    }
    const AviContents avi = ReadAvi(path.string());
    ASSERT_TRUE(avi.opened);
    EXPECT_EQ(avi.videoStreams, 1);
    EXPECT_EQ(avi.codecTag, kCodecMSVC);
    EXPECT_DOUBLE_EQ(avi.frameRate, 12.0);
    EXPECT_EQ(avi.width, 320);
    EXPECT_EQ(avi.height, 240);
    EXPECT_EQ(avi.packets, 5);
    EXPECT_EQ(avi.decodedFrames, 5);
    EXPECT_EQ(avi.firstFrame, picture) << "top-left must be red, bottom-right white";
}

TEST(AviWriter, OddSizesArePaddedNeverCropped) {
    TempDir dir("avi");
    const auto path = dir / "odd.avi";
    // 321 x 241: the last column and row are repeated up to 324 x 244.
    const auto picture = Quarters(321, 241, 160, 120);
    const auto dib = MakeDib(picture, 321, 241);
    EXPECT_EQ(CAviWriter::FrameSize(321, 240, 16), 154560u);
    ASSERT_EQ(dib.size(), CAviWriter::FrameSize(321, 241, 16));
    {
        CAviWriter writer(path.string(), kCodecMSVC, 12);
        ASSERT_TRUE(writer.AppendFrame(321, 241, dib.data(), 16));
        ASSERT_TRUE(writer.AppendFrame(321, 241, dib.data(), 16));
        writer.Close();
    }
    const AviContents avi = ReadAvi(path.string());
    ASSERT_EQ(avi.width, 324);
    ASSERT_EQ(avi.height, 244);
    ASSERT_EQ(avi.decodedFrames, 2);
    for (int y = 0; y < 244; ++y) {
        for (int x = 0; x < 324; ++x) {
            const std::uint16_t expected =
                picture[static_cast<std::size_t>(std::min(y, 240) * 321 + std::min(x, 320))];
            ASSERT_EQ(avi.firstFrame[static_cast<std::size_t>(y * 324 + x)], expected)
                << "at " << x << "," << y;
        }
    }
}

TEST(AviWriter, NoFrameNoFile) {
    TempDir dir("avi");
    {
        CAviWriter writer((dir / "never.avi").string(), kCodecMSVC, 12);
        writer.Close();
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "never.avi"));
}

TEST(AviWriter, UnknownCodecLeavesAnEmptyStreamAndClosesTheWriter) {
    TempDir dir("avi");
    const auto path = dir / "nocodec.avi";
    const auto dib = MakeDib(Quarters(64, 48, 32, 24), 64, 48);
    CAviWriter writer(path.string(), MakeFourCC('Z', 'Q', 'X', '9'), 12);
    EXPECT_FALSE(writer.AppendFrame(64, 48, dib.data(), 16));
    EXPECT_EQ(writer.GetLastError(),
              "Unable to Create Compressed Stream: Check your CODEC options");
    EXPECT_EQ(writer.GetState(), 0);
    EXPECT_FALSE(writer.AppendFrame(64, 48, dib.data(), 16));
    writer.Close();

    const AviContents avi = ReadAvi(path.string());
    ASSERT_TRUE(avi.opened) << "the file stays on disk and is a readable AVI";
    EXPECT_EQ(avi.videoStreams, 1);
    EXPECT_EQ(avi.codecTag, MakeFourCC('Z', 'Q', 'X', '9'));
    EXPECT_EQ(avi.packets, 0);
}

TEST(AviWriter, SetUpFailuresNameTheirStep) {
    TempDir dir("avi");
    const auto dib = MakeDib(Quarters(64, 48, 32, 24), 64, 48);
    {
        CAviWriter writer((dir / "missing" / "a.avi").string(), kCodecMSVC, 12);
        EXPECT_FALSE(writer.AppendFrame(64, 48, dib.data(), 16));
        EXPECT_EQ(writer.GetLastError(), "Unable to Create the Movie File");
    }
    {
        // The compressor takes 16-bit frames only.
        std::vector<std::uint8_t> frame24(CAviWriter::FrameSize(64, 48, 24));
        CAviWriter writer((dir / "deep.avi").string(), kCodecMSVC, 12);
        EXPECT_FALSE(writer.AppendFrame(64, 48, frame24.data(), 24));
        EXPECT_EQ(writer.GetLastError(), "Unable to Set Video Stream Format");
        EXPECT_FALSE(writer.AppendFrame(64, 48, dib.data(), 16));
    }
    {
        CAviWriter writer((dir / "norate.avi").string(), kCodecMSVC, 0);
        EXPECT_FALSE(writer.AppendFrame(64, 48, dib.data(), 16));
        EXPECT_EQ(writer.GetLastError(), "Unable to Create Video Stream in the Movie File");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(AviWriter, FullDiskFailsTheFrameKeepsEarlierFramesAndClosesForGood) {
    TempDir dir("avi");
    const auto path = dir / "full.avi";
    // Noise does not compress: every frame costs real room on the disk.
    std::vector<std::uint16_t> picture(320 * 240);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] =
            static_cast<std::uint16_t>((PatternByte(i) << 7 ^ PatternByte(i * 31)) & 0x7FFF);
    const auto dib = MakeDib(picture, 320, 240);

    CAviWriter writer(path.string(), kCodecMSVC, 12);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writer.AppendFrame(320, 240, dib.data(), 16));
    const auto sizeAfterThree = std::filesystem::file_size(path);
    int written = 3;
    {
        FileSizeLimit limit(sizeAfterThree + 100000);
        bool result = true;
        while (written < 100 && (result = writer.AppendFrame(320, 240, dib.data(), 16)))
            ++written;
        EXPECT_FALSE(result);
        EXPECT_EQ(writer.GetLastError(), "Unable to Write Video Stream to the output Movie File");
        EXPECT_EQ(writer.GetState(), 0);
        EXPECT_FALSE(writer.AppendFrame(320, 240, dib.data(), 16));
        writer.Close();
    }
    const AviContents avi = ReadAvi(path.string());
    ASSERT_TRUE(avi.opened);
    EXPECT_EQ(avi.decodedFrames, written) << "the frames before the failure play, no torn one";
    ASSERT_FALSE(avi.firstFrame.empty());
}

} // namespace
} // namespace kinovex
