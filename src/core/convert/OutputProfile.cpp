#include "core/convert/OutputProfile.h"

namespace kinovex {

void ApplyProfilePreset(int index, OutputProfile& profile) {
    if (index != 0)
        return;
    profile.videoCodec = "xvid";
    profile.frameSize = "368x208";
    profile.videoBitrate = "512k";
    profile.frameRate = "29.97";
    profile.audioCodec = "aac";
    profile.channels = "2";
    profile.audioBitrate = "64k";
    profile.sampleRate = "24000";
    profile.extension = ".mp4";
}

std::string BuildEncoderCommand(const OutputProfile& profile, const std::string& tempBase,
                                const std::string& outputBase, bool withSound) {
    // Paths are quoted, every other value is inserted bare: a value with a blank in it becomes
    // two encoder arguments, as the user typed it.
    std::string command = "ffmpeg -y -i \"" + tempBase + ".avi\"";
    if (withSound)
        command += " -i \"" + tempBase + ".wav\"";
    command += " -pix_fmt yuv420p -vcodec " + profile.videoCodec;
    if (profile.frameSize != "Original")
        command += " -s " + profile.frameSize;
    command += " -b " + profile.videoBitrate + " -r " + profile.frameRate;
    if (withSound)
        command += " -acodec " + profile.audioCodec + " -ac " + profile.channels + " -ab " +
                   profile.audioBitrate + " -ar " + profile.sampleRate;
    else
        command += " -an";
    command += " \"" + outputBase + profile.extension + "\"";
    return command;
}

} // namespace kinovex
