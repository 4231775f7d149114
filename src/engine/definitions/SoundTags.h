#pragma once
// The sound tags of a movie as plain values: DefineSound, the SOUNDINFO of StartSound,
// SoundStreamHead/SoundStreamHead2 and the MP3 framing of SoundStreamBlock.

#include "engine/swf/BitReader.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kinovex::flash {

enum class SoundCodec : std::uint8_t {
    PcmNative = 0, // uncompressed, in the byte order of the machine that made the movie
    Adpcm = 1,
    Mp3 = 2,
    PcmLittle = 3, // uncompressed, little-endian
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    Speex = 11,
};

struct SoundFormat {
    SoundCodec codec = SoundCodec::PcmLittle;
    std::uint8_t rateCode = 3; // 0: 5.5 kHz, 1: 11 kHz, 2: 22 kHz, 3: 44 kHz
    bool is16Bit = true;
    bool stereo = false;

    int channels() const { return stereo ? 2 : 1; }
    // The rate as a fraction: the "5.5 kHz" rate is really 44100 / 8 = 5512.5 Hz.
    std::uint32_t rateTimes2() const;
    bool operator==(const SoundFormat&) const = default;
};

// The 8-bit format field shared by DefineSound and the stream heads.
SoundFormat ReadSoundFormat(BitReader& r);

struct SoundDefinition {
    std::uint16_t id = 0;
    SoundFormat format;
    std::uint32_t sampleCount = 0;  // per channel, at the sound's own rate
    std::uint16_t seekSamples = 0;  // MP3 only: decoder delay to drop at the start
    std::vector<std::uint8_t> data; // the coded sound (MP3: without the seek field)
};

bool ParseDefineSound(std::span<const std::uint8_t> body, SoundDefinition& out);

struct EnvelopePoint {
    std::uint32_t position = 0; // in 44 kHz samples from the start of playing
    std::uint16_t left = 32768; // 0..32768
    std::uint16_t right = 32768;
};

struct SoundInfo {
    bool syncStop = false;
    bool syncNoMultiple = false;
    bool hasInPoint = false;
    bool hasOutPoint = false;
    std::uint32_t inPoint = 0; // 44 kHz samples
    std::uint32_t outPoint = 0;
    std::uint16_t loopCount = 1;
    std::vector<EnvelopePoint> envelope;
};

bool ReadSoundInfo(BitReader& r, SoundInfo& out);

// StartSound names the sound by id, StartSound2 by its class name.
struct StartSoundCommand {
    std::uint16_t soundId = 0;
    std::string className;
    SoundInfo info;
};

bool ParseStartSound(std::span<const std::uint8_t> body, StartSoundCommand& out);
bool ParseStartSound2(std::span<const std::uint8_t> body, StartSoundCommand& out);

struct SoundStreamHead {
    SoundFormat playback;
    SoundFormat stream;
    std::uint16_t samplesPerBlock = 0; // average per frame, at the stream's rate
    std::int16_t latencySeek = 0;      // MP3 only
};

// Both SoundStreamHead and SoundStreamHead2 (the second allows every codec and 8-bit data).
bool ParseSoundStreamHead(std::span<const std::uint8_t> body, SoundStreamHead& out);

// An MP3 stream block carries its sample count and the samples to skip before this frame's
// sound starts; other codecs' blocks are the coded data alone.
struct Mp3StreamBlock {
    std::uint16_t sampleCount = 0;
    std::int16_t seekSamples = 0;
    std::span<const std::uint8_t> frames;
};

bool ParseMp3StreamBlock(std::span<const std::uint8_t> body, Mp3StreamBlock& out);

} // namespace kinovex::flash
