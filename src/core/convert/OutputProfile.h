#pragma once
// What a conversion produces: the output folder and every value the encoder is given.

#include <cstdint>
#include <string>

namespace kinovex {

// Every text goes onto the encoder's command line exactly as it stands: nothing is validated,
// trimmed or defaulted.
struct OutputProfile {
    std::int32_t profileIndex = -1; // position in the profile list; -1 for none selected
    std::string outputFolder;
    std::string videoCodec;   // -vcodec
    std::string frameSize;    // -s, or "Original" to keep the recording's size
    std::string frameRate;    // -r
    std::string videoBitrate; // -b
    std::string audioCodec;   // -acodec
    std::string audioBitrate; // -ab
    std::string channels;     // -ac
    std::string sampleRate;   // -ar
    std::string extension;    // with its leading dot

    bool operator==(const OutputProfile&) const = default;
};

// The texts of the profile list; index i of the list is preset i.
constexpr const char* kProfileNames[] = {"PSP MPEG-4 Movie(*.mp4)"};
constexpr int kProfileCount = 1;

// Fills the preset fields for list index `index`. An index without a preset (-1 among them)
// leaves every field as it was; outputFolder and profileIndex are never touched.
void ApplyProfilePreset(int index, OutputProfile& profile);

// The encoder's command text for a recording at tempBase + ".avi"/".wav" written to
// outputBase + profile.extension. Without sound the WAV is not read and the sound options give
// way to "-an": the video has no sound track.
std::string BuildEncoderCommand(const OutputProfile& profile, const std::string& tempBase,
                                const std::string& outputBase, bool withSound = true);

} // namespace kinovex
