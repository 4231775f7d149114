#include "encoder/EncoderArguments.h"

#include "convert/CommandLine.h"
#include "convert/OutputProfile.h"

#include <gtest/gtest.h>

#include <set>

namespace kinovex {
namespace {

// The arguments the conversion window hands the front-end for the preset.
EncoderArguments PresetArguments(const std::string& tempBase = "/opt/my app/Temp/intro",
                                 const std::string& extension = ".mp4") {
    OutputProfile profile;
    ApplyProfilePreset(0, profile);
    profile.extension = extension;
    auto words = SplitCommandLine(BuildEncoderCommand(profile, tempBase, "/home/u/out/intro(1)"));
    return {words.begin() + 1, words.end()};
}

const EncoderArguments kMappedPreset = {"-y",
                                        "-i",
                                        "/opt/my app/Temp/intro.avi",
                                        "-i",
                                        "/opt/my app/Temp/intro.wav",
                                        "-pix_fmt",
                                        "yuv420p",
                                        "-vcodec",
                                        "libxvid",
                                        "-s",
                                        "368x208",
                                        "-b:v",
                                        "512k",
                                        "-r",
                                        "29.97",
                                        "-acodec",
                                        "aac",
                                        "-ac",
                                        "2",
                                        "-b:a",
                                        "64k",
                                        "-ar",
                                        "24000",
                                        "/home/u/out/intro(1).mp4"};

TEST(EncoderArguments, MapsThePresetForAnEncoderWithLibxvid) {
    const auto arguments = PresetArguments();
    EXPECT_TRUE(RequestsXvid(arguments));
    EXPECT_EQ(MapEncoderArguments(arguments, true), kMappedPreset);
}

TEST(EncoderArguments, FallsBackToMpeg4AndTagsOnlyContainersThatTakeTheTag) {
    auto expected = kMappedPreset;
    expected[8] = "mpeg4";
    // An MP4 with the XVID tag is refused by the muxer, so it gets plain mpeg4.
    EXPECT_EQ(MapEncoderArguments(PresetArguments(), false), expected);

    const auto avi = MapEncoderArguments(PresetArguments("/t/intro", ".AVI"), false);
    const EncoderArguments start = {"-y",           "-i",       "/t/intro.avi", "-i",
                                    "/t/intro.wav", "-pix_fmt", "yuv420p",      "-vcodec",
                                    "mpeg4",        "-vtag",    "XVID",         "-s"};
    EXPECT_EQ(EncoderArguments(avi.begin(), avi.begin() + 12), start);
    EXPECT_EQ(avi.back(), "/home/u/out/intro(1).AVI");
}

TEST(EncoderArguments, MapsOnlyOptionsNeverValuesThatLookLikeThem) {
    // Bare values from the profile may hold anything, a leading minus included.
    const EncoderArguments arguments = {"-vcodec", "-b",  "-acodec", "-ab",  "-s",
                                        "xvid",    "-ab", "-vcodec", "xvid", "out.avi"};
    EXPECT_FALSE(RequestsXvid(arguments));
    const EncoderArguments mapped = {"-vcodec", "-b",   "-acodec", "-ab",  "-s",
                                     "xvid",    "-b:a", "-vcodec", "xvid", "out.avi"};
    EXPECT_EQ(MapEncoderArguments(arguments, true), mapped);
    // Other codecs, other letter case, and a trailing option without value stay as given.
    const EncoderArguments others = {"-vcodec", "XVID", "-vcodec", "h264", "-b"};
    EXPECT_FALSE(RequestsXvid(others));
    EXPECT_EQ(MapEncoderArguments(others, true), others);
}

TEST(EncoderArguments, DropsASilentSoundInputWithItsOptions) {
    std::set<std::string> asked;
    const auto kept = DropSilentSound(PresetArguments(), [&](const std::string& path) {
        asked.insert(path);
        return false;
    });
    EXPECT_EQ(asked, std::set<std::string>{"/opt/my app/Temp/intro.wav"});
    const EncoderArguments expected = {"-y",
                                       "-i",
                                       "/opt/my app/Temp/intro.avi",
                                       "-pix_fmt",
                                       "yuv420p",
                                       "-vcodec",
                                       "xvid",
                                       "-s",
                                       "368x208",
                                       "-b",
                                       "512k",
                                       "-r",
                                       "29.97",
                                       "/home/u/out/intro(1).mp4"};
    EXPECT_EQ(kept, expected);
    EXPECT_EQ(MapEncoderArguments(kept, true).size(), expected.size());
}

TEST(EncoderArguments, KeepsSoundThatHoldsSamplesAndSoundOptionsWhileSoundIsLeft) {
    const auto preset = PresetArguments();
    EXPECT_EQ(DropSilentSound(preset, [](const std::string&) { return true; }), preset);

    // Two sound inputs, one of them silent: the silent one goes, the options stay.
    const EncoderArguments two = {"-i", "a.WAV", "-i", "b.wav", "-ar", "24000", "o.mp4"};
    const EncoderArguments kept = {"-i", "b.wav", "-ar", "24000", "o.mp4"};
    EXPECT_EQ(DropSilentSound(two, [](const std::string& path) { return path == "b.wav"; }), kept);

    // Without any sound input nothing is asked and nothing is dropped.
    const EncoderArguments video = {"-i", "a.avi", "-ac", "2", "-acodec", "aac", "o.mp4"};
    EXPECT_EQ(DropSilentSound(video,
                              [](const std::string&) -> bool {
                                  ADD_FAILURE() << "asked about a file that is not a WAV";
                                  return false;
                              }),
              video);
}

} // namespace
} // namespace kinovex
