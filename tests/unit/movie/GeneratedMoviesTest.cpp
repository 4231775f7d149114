// The introductory movie and the samples the build makes: the movie page sizes its player
// from these headers, so they must say what the movies are.

#include "core/movie/CSwfHeaderReader.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kinovex {
namespace {

const std::filesystem::path kProgramDir = KINOVEX_PROGRAM_DIR;

SwfHeaderInfo Read(const std::filesystem::path& path) {
    CSwfHeaderReader reader;
    SwfHeaderInfo info{};
    EXPECT_TRUE(reader.ReadHeader(path.c_str(), info)) << path;
    return info;
}

TEST(GeneratedMovies, IntroductoryMovieIs500By300AndLoopsTwoSeconds) {
    for (const auto& path : {kProgramDir / "res" / "head.swf", kProgramDir / "head.swf"}) {
        SCOPED_TRACE(path.string());
        const SwfHeaderInfo info = Read(path);
        EXPECT_EQ(std::string(info.signature, 3), "FWS");
        EXPECT_EQ(info.xMax / 20, 500);
        EXPECT_EQ(info.yMax / 20, 300);
        EXPECT_FLOAT_EQ(info.frameRate, 24.0F);
        EXPECT_EQ(info.frameCount, 48);
        EXPECT_EQ(info.fileLength, std::filesystem::file_size(path));
    }
    EXPECT_EQ(test::ReadFile(kProgramDir / "res" / "head.swf"),
              test::ReadFile(kProgramDir / "head.swf"));
}

TEST(GeneratedMovies, SamplesHaveSizesRatesAndTheirCompression) {
    struct Sample {
        const char* name;
        const char* signature;
        int width, height;
    };
    for (const Sample& s :
         {Sample{"bouncing-ball.swf", "FWS", 400, 300},
          Sample{"morphing-shape.swf", "FWS", 320, 240}, Sample{"windmills.swf", "FWS", 480, 320},
          Sample{"title-text-compressed.swf", "CWS", 480, 200},
          Sample{"bitmaps-lzma.swf", "ZWS", 480, 320}}) {
        SCOPED_TRACE(s.name);
        const SwfHeaderInfo info = Read(kProgramDir / "samples" / s.name);
        EXPECT_EQ(std::string(info.signature, 3), s.signature);
        EXPECT_EQ(info.xMax / 20, s.width);
        EXPECT_EQ(info.yMax / 20, s.height);
        EXPECT_GT(info.frameRate, 0.0F);
        EXPECT_GT(info.frameCount, 0);
    }
}

} // namespace
} // namespace kinovex
