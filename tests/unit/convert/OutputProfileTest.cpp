#include "core/convert/OutputProfile.h"

#include <gtest/gtest.h>

namespace kinovex {
namespace {

OutputProfile Preset() {
    OutputProfile profile;
    profile.profileIndex = 0;
    profile.outputFolder = "/home/ann/Documents/Tessaline";
    ApplyProfilePreset(0, profile);
    return profile;
}

TEST(OutputProfile, PresetGivesTheHandheldCommandWordForWord) {
    EXPECT_EQ(BuildEncoderCommand(Preset(), "/opt/kinovex/Temp/intro",
                                  "/home/ann/Documents/Tessaline/intro(143512045)"),
              "ffmpeg -y -i \"/opt/kinovex/Temp/intro.avi\" -i \"/opt/kinovex/Temp/intro.wav\" "
              "-pix_fmt yuv420p -vcodec xvid -s 368x208 -b 512k -r 29.97 -acodec aac -ac 2 "
              "-ab 64k -ar 24000 \"/home/ann/Documents/Tessaline/intro(143512045).mp4\"");
}

TEST(OutputProfile, WithoutSoundTheWavIsNotReadAndTheVideoHasNoSoundTrack) {
    EXPECT_EQ(BuildEncoderCommand(Preset(), "/opt/kinovex/Temp/intro", "/home/ann/intro(1)", false),
              "ffmpeg -y -i \"/opt/kinovex/Temp/intro.avi\" -pix_fmt yuv420p -vcodec xvid "
              "-s 368x208 -b 512k -r 29.97 -an \"/home/ann/intro(1).mp4\"");
}

TEST(OutputProfile, PresetLeavesTheOutputFolderAndIndexAlone) {
    OutputProfile profile;
    profile.profileIndex = 7;
    profile.outputFolder = "/media/usb";
    ApplyProfilePreset(0, profile);
    EXPECT_EQ(profile.profileIndex, 7);
    EXPECT_EQ(profile.outputFolder, "/media/usb");
    EXPECT_EQ(profile.extension, ".mp4");
}

TEST(OutputProfile, OnlyTheExactWordOriginalDropsTheSizeOption) {
    OutputProfile profile = Preset();
    profile.frameSize = "Original";
    EXPECT_EQ(BuildEncoderCommand(profile, "t", "o"),
              "ffmpeg -y -i \"t.avi\" -i \"t.wav\" -pix_fmt yuv420p -vcodec xvid -b 512k -r 29.97 "
              "-acodec aac -ac 2 -ab 64k -ar 24000 \"o.mp4\"");

    profile.frameSize = "original";
    EXPECT_NE(BuildEncoderCommand(profile, "t", "o").find(" -s original -b "), std::string::npos);

    profile.frameSize = "";
    EXPECT_NE(BuildEncoderCommand(profile, "t", "o").find(" -s  -b "), std::string::npos);
}

TEST(OutputProfile, EmptyFieldsLeaveTwoBlanksAndNothingIsDefaulted) {
    OutputProfile profile = Preset();
    profile.audioBitrate.clear();
    profile.videoCodec.clear();
    profile.extension.clear();
    const std::string command = BuildEncoderCommand(profile, "t", "o");
    EXPECT_NE(command.find("-vcodec  -s"), std::string::npos);
    EXPECT_NE(command.find("-ab  -ar"), std::string::npos);
    EXPECT_EQ(command.substr(command.size() - 4), " \"o\"");
}

TEST(OutputProfile, ValuesWithBlanksGoInBare) {
    OutputProfile profile = Preset();
    profile.videoBitrate = "512k -an";
    EXPECT_NE(BuildEncoderCommand(profile, "t", "o").find("-b 512k -an -r 29.97"),
              std::string::npos);
}

TEST(OutputProfile, IndexWithoutPresetChangesNothing) {
    for (int index : {-1, 1, 42}) {
        OutputProfile profile = Preset();
        profile.frameSize = "640x480";
        const OutputProfile before = profile;
        ApplyProfilePreset(index, profile);
        EXPECT_EQ(profile, before) << "index " << index;
    }
    OutputProfile empty;
    ApplyProfilePreset(-1, empty);
    EXPECT_EQ(empty, OutputProfile{});
}

} // namespace
} // namespace kinovex
