#include "tools/encoder/EncoderArguments.h"

#include "core/convert/CommandLine.h"
#include "core/convert/OutputProfile.h"

#include <gtest/gtest.h>

#include <set>

namespace kinovex {
namespace {

// The arguments of a command text, without the program name.
EncoderArguments Words(const std::string& text) {
    const auto words = SplitCommandLine("ffmpeg " + text);
    return {words.begin() + 1, words.end()};
}

// The arguments the conversion window hands the front-end for the preset.
EncoderArguments PresetArguments(const std::string& tempBase = "/opt/my app/Temp/intro",
                                 const std::string& extension = ".mp4") {
    OutputProfile profile;
    ApplyProfilePreset(0, profile);
    profile.extension = extension;
    const auto words =
        SplitCommandLine(BuildEncoderCommand(profile, tempBase, "/home/u/out/intro(1)"));
    return {words.begin() + 1, words.end()};
}

TEST(EncoderArguments, MapsThePresetForAnEncoderWithLibxvid) {
    const auto arguments = PresetArguments();
    EXPECT_TRUE(RequestsXvid(arguments));
    EXPECT_EQ(MapEncoderArguments(arguments, true),
              Words(R"(-y -i "/opt/my app/Temp/intro.avi" -i "/opt/my app/Temp/intro.wav")"
                    R"( -pix_fmt yuv420p -vcodec libxvid -s 368x208 -b:v 512k -r 30000/1001)"
                    R"( -acodec aac -ac 2 -b:a 64k -ar 24000 "/home/u/out/intro(1).mp4")"));
}

TEST(EncoderArguments, FallsBackToMpeg4AndTagsOnlyContainersThatTakeTheTag) {
    // An MP4 with the XVID tag is refused by the muxer, so it gets plain mpeg4.
    EXPECT_EQ(MapEncoderArguments(PresetArguments(), false),
              Words(R"(-y -i "/opt/my app/Temp/intro.avi" -i "/opt/my app/Temp/intro.wav")"
                    R"( -pix_fmt yuv420p -vcodec mpeg4 -s 368x208 -b:v 512k -r 30000/1001)"
                    R"( -acodec aac -ac 2 -b:a 64k -ar 24000 "/home/u/out/intro(1).mp4")"));
    EXPECT_EQ(MapEncoderArguments(PresetArguments("/t/intro", ".AVI"), false),
              Words(R"(-y -i /t/intro.avi -i /t/intro.wav -pix_fmt yuv420p)"
                    R"( -vcodec mpeg4 -vtag XVID -s 368x208 -b:v 512k -r 30000/1001)"
                    R"( -acodec aac -ac 2 -b:a 64k -ar 24000 "/home/u/out/intro(1).AVI")"));
}

TEST(EncoderArguments, MapsOnlyOptionsNeverValuesThatLookLikeThem) {
    // Bare values from the profile may hold anything, a leading minus included.
    const auto arguments = Words("-vcodec -b -acodec -ab -s xvid -r -r -ab -vcodec xvid out.avi");
    EXPECT_FALSE(RequestsXvid(arguments));
    EXPECT_EQ(MapEncoderArguments(arguments, true),
              Words("-vcodec -b -acodec -ab -s xvid -r -r -b:a -vcodec xvid out.avi"));
    // Other codecs, other letter case, other rates and a last option without value stay.
    const auto others = Words("-vcodec XVID -vcodec h264 -r 29.970 -r 25 -b");
    EXPECT_FALSE(RequestsXvid(others));
    EXPECT_EQ(MapEncoderArguments(others, true), others);
    EXPECT_EQ(MapEncoderArguments(Words("-r 23.976 -r 59.94"), true),
              Words("-r 24000/1001 -r 60000/1001"));
}

TEST(EncoderArguments, LimitsTheEncoderToStatusUpdatesUnlessALevelIsChosen) {
    EXPECT_EQ(LimitEncoderOutput(Words("-y -i a.avi o.mp4")),
              Words("-loglevel warning -stats -y -i a.avi o.mp4"));
    for (const auto& chosen : {Words("-i a.avi -v error o.mp4"), Words("-loglevel info o.mp4")})
        EXPECT_EQ(LimitEncoderOutput(chosen), chosen);
    // A value that merely reads like the option does not count.
    EXPECT_EQ(LimitEncoderOutput(Words("-metadata -v o.mp4")),
              Words("-loglevel warning -stats -metadata -v o.mp4"));
}

TEST(EncoderArguments, DropsASilentSoundInputWithItsOptions) {
    std::set<std::string> asked;
    const auto kept = DropSilentSound(PresetArguments(), [&](const std::string& path) {
        asked.insert(path);
        return false;
    });
    EXPECT_EQ(asked, std::set<std::string>{"/opt/my app/Temp/intro.wav"});
    EXPECT_EQ(kept, Words(R"(-y -i "/opt/my app/Temp/intro.avi" -pix_fmt yuv420p -vcodec xvid)"
                          R"( -s 368x208 -b 512k -r 29.97 "/home/u/out/intro(1).mp4")"));
}

TEST(EncoderArguments, KeepsSoundThatHoldsSamplesAndSoundOptionsWhileSoundIsLeft) {
    const auto preset = PresetArguments();
    EXPECT_EQ(DropSilentSound(preset, [](const std::string&) { return true; }), preset);

    // Two sound inputs, one of them silent: the silent one goes, the options stay.
    EXPECT_EQ(DropSilentSound(Words("-i a.WAV -i b.wav -ar 24000 o.mp4"),
                              [](const std::string& path) { return path == "b.wav"; }),
              Words("-i b.wav -ar 24000 o.mp4"));

    // Without any sound input nothing is asked and nothing is dropped.
    const auto video = Words("-i a.avi -ac 2 -acodec aac -metadata:s:a:0 x.wav o.mp4");
    EXPECT_EQ(DropSilentSound(video,
                              [](const std::string&) -> bool {
                                  ADD_FAILURE() << "asked about a file that is not an input";
                                  return false;
                              }),
              video);
}

} // namespace
} // namespace kinovex
