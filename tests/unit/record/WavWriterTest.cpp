#include "core/record/CWavWriter.h"
#include "core/record/SoundCapture.h"

#include "RecordTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <vector>

namespace kinovex {
namespace {

using test::ReadFile;
using test::TempDir;

TEST(WavWriter, EmptyFileIsTheBareHeaderWithSizesFixedOnClose) {
    TempDir dir("wav");
    const auto path = dir / "empty.wav";
    CWavWriter writer;
    ASSERT_TRUE(writer.Open(path.string(), kCaptureFormat));

    // Until Close the header says "unknown": a capture that dies leaves sizes 0.
    std::string open = ReadFile(path);
    ASSERT_EQ(open.size(), 56u);
    EXPECT_EQ(ReadLE32(open, 4), 0u);
    EXPECT_EQ(ReadLE32(open, 44), 0xFFFFFFFFu);
    EXPECT_EQ(ReadLE32(open, 52), 0u);

    ASSERT_TRUE(writer.Close());
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 56u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(ReadLE32(bytes, 4), 48u);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(ReadLE32(bytes, 16), 16u);
    EXPECT_EQ(ReadLE16(bytes, 20), 1u);
    EXPECT_EQ(ReadLE16(bytes, 22), 2u);
    EXPECT_EQ(ReadLE32(bytes, 24), 24000u);
    EXPECT_EQ(ReadLE32(bytes, 28), 96000u);
    EXPECT_EQ(ReadLE16(bytes, 32), 4u);
    EXPECT_EQ(ReadLE16(bytes, 34), 16u);
    EXPECT_EQ(bytes.substr(36, 4), "fact");
    EXPECT_EQ(ReadLE32(bytes, 40), 4u);
    EXPECT_EQ(ReadLE32(bytes, 44), 0u);
    EXPECT_EQ(bytes.substr(48, 4), "data");
    EXPECT_EQ(ReadLE32(bytes, 52), 0u);
}

TEST(WavWriter, SamplesArriveInOrderAndTheSizesCountThem) {
    TempDir dir("wav");
    const auto path = dir / "tone.wav";
    const std::vector<std::uint8_t> samples = Pattern(0, 984000);
    {
        CWavWriter writer;
        ASSERT_TRUE(writer.Open(path.string(), kCaptureFormat));
        // Blocks of the capture's size, plus odd small pieces that straddle the buffer's end.
        std::size_t done = 0;
        for (std::uint32_t piece : {12000u, 7u, 1u, 65536u, 3u}) {
            std::uint32_t written = 0;
            ASSERT_TRUE(writer.Write(piece, samples.data() + done, &written));
            EXPECT_EQ(written, piece);
            done += piece;
        }
        while (done < samples.size()) {
            const auto piece =
                static_cast<std::uint32_t>(std::min<std::size_t>(12000, samples.size() - done));
            std::uint32_t written = 0;
            ASSERT_TRUE(writer.Write(piece, samples.data() + done, &written));
            done += piece;
        }
        // Destroying the writer closes the file.
    }
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 984056u);
    EXPECT_EQ(ReadLE32(bytes, 4), 984048u);
    EXPECT_EQ(ReadLE32(bytes, 52), 984000u);
    EXPECT_EQ(ReadLE32(bytes, 44), 0u);
    EXPECT_EQ(bytes.substr(56), std::string(samples.begin(), samples.end()));
}

TEST(WavWriter, MisuseIsReportedWithItsCode) {
    TempDir dir("wav");
    CWavWriter writer;
    std::uint32_t written = 7;
    const char data[4] = {};
    EXPECT_FALSE(writer.Write(4, data, &written));
    EXPECT_FALSE(writer.Close());

    ASSERT_TRUE(writer.Open((dir / "a.wav").string(), kCaptureFormat));
    EXPECT_FALSE(writer.Write(4, nullptr, &written));
    EXPECT_FALSE(writer.Write(4, data, nullptr));
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(writer.Close());
}

TEST(WavWriter, MissingFolderFailsAndWritesNothing) {
    TempDir dir("wav");
    CWavWriter writer;
    EXPECT_FALSE(writer.Open((dir / "no such folder" / "a.wav").string(), kCaptureFormat));
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(dir / "no such folder"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(WavWriter, FullDiskStopsWritingAndLeavesAValidFileOfWhatArrived) {
    TempDir dir("wav");
    const auto path = dir / "full.wav";
    const std::vector<std::uint8_t> samples = Pattern(0, 400000);
    // Room for the header and 150002 sample bytes: the last sample frame gets torn.
    constexpr std::uint64_t kLimit = 56 + 150002;
    std::uint32_t acceptedTotal = 0;
    bool ok = true;
    CWavWriter writer;
    ASSERT_TRUE(writer.Open(path.string(), kCaptureFormat));
    {
        FileSizeLimit limit(kLimit);
        for (std::size_t done = 0; done < samples.size(); done += 12000) {
            std::uint32_t written = 0;
            ok = writer.Write(12000, samples.data() + done, &written);
            acceptedTotal += written;
            if (!ok)
                break;
        }
        EXPECT_FALSE(ok);
        EXPECT_LT(acceptedTotal, samples.size());
        std::uint32_t written = 1;
        EXPECT_FALSE(writer.Write(4, samples.data(), &written)) << "later writes fail too";
        EXPECT_EQ(written, 0u);
        writer.Close();
    }
    const std::string bytes = ReadFile(path);
    const std::uint32_t dataSize = ReadLE32(bytes, 52);
    EXPECT_EQ(dataSize, 150000u) << "whole sample frames only";
    EXPECT_EQ(bytes.size(), 56u + dataSize);
    EXPECT_EQ(ReadLE32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(ReadLE32(bytes, 44), 0u);
    EXPECT_EQ(bytes.substr(56), std::string(samples.begin(), samples.begin() + dataSize));
}

} // namespace
} // namespace kinovex
