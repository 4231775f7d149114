#include "core/convert/CommandLine.h"
#include "core/convert/OutputProfile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kinovex {
namespace {

using ::testing::ElementsAre;

TEST(CommandLine, EncoderCommandSplitsIntoTheWordsTheEncoderExpects) {
    OutputProfile profile;
    ApplyProfilePreset(0, profile);
    const auto words = SplitCommandLine(BuildEncoderCommand(profile, "/opt/My Movies/Temp/intro",
                                                            "/home/ann/Vidéos/intro(143512045)"));
    EXPECT_THAT(words, ElementsAre("ffmpeg", "-y", "-i", "/opt/My Movies/Temp/intro.avi", "-i",
                                   "/opt/My Movies/Temp/intro.wav", "-pix_fmt", "yuv420p",
                                   "-vcodec", "xvid", "-s", "368x208", "-b", "512k", "-r", "29.97",
                                   "-acodec", "aac", "-ac", "2", "-ab", "64k", "-ar", "24000",
                                   "/home/ann/Vidéos/intro(143512045).mp4"));
}

TEST(CommandLine, BackslashesAndQuotesFollowTheRuntimeRules) {
    EXPECT_THAT(SplitCommandLine(R"(p "a b" c)"), ElementsAre("p", "a b", "c"));
    EXPECT_THAT(SplitCommandLine(R"(p a\\\"b)"), ElementsAre("p", R"(a\"b)"));
    EXPECT_THAT(SplitCommandLine(R"(p a\\"b c")"), ElementsAre("p", R"(a\b c)"));
    EXPECT_THAT(SplitCommandLine(R"(p a\b\\c)"), ElementsAre("p", R"(a\b\\c)"));
    EXPECT_THAT(SplitCommandLine(R"(p "a""b" c)"), ElementsAre("p", R"(a"b)", "c"));
    EXPECT_THAT(SplitCommandLine(R"(p "" x)"), ElementsAre("p", "", "x"));
    EXPECT_THAT(SplitCommandLine("p  \t a   b  "), ElementsAre("p", "a", "b"));
}

TEST(CommandLine, ProgramNameIsTakenLiterally) {
    EXPECT_THAT(SplitCommandLine(R"("C:\Program Files\x.exe" -y)"),
                ElementsAre(R"(C:\Program Files\x.exe)", "-y"));
    EXPECT_THAT(SplitCommandLine(R"(dir\prog\ a)"), ElementsAre(R"(dir\prog\)", "a"));
    EXPECT_THAT(SplitCommandLine("   "), ElementsAre());
}

TEST(CommandLine, EmptyFieldsDoNotMakeEmptyWords) {
    // Two blanks in a row in the command separate words; they do not make an empty argument.
    EXPECT_THAT(SplitCommandLine("ffmpeg -ab  -ar 24000"),
                ElementsAre("ffmpeg", "-ab", "-ar", "24000"));
}

} // namespace
} // namespace kinovex
