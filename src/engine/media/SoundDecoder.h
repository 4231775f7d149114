#pragma once
// Turns a movie's coded sound into what the mixer plays: interleaved stereo, 16 bits, 44100 Hz.
// Uncompressed PCM and ADPCM are decoded here; MP3 and Nellymoser by libavcodec; every rate is
// converted by libswresample.

#include "engine/definitions/SoundTags.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kinovex::flash {

inline constexpr int kMixRate = 44100;

// Interleaved left/right pairs at kMixRate.
using PcmBuffer = std::vector<std::int16_t>;

// Uncompressed data as signed 16-bit interleaved samples at the sound's own rate. 8-bit data
// is unsigned, as the format stores it. A trailing partial sample is dropped.
std::vector<std::int16_t> DecodePcm(std::span<const std::uint8_t> data, bool is16Bit, int channels,
                                    bool bigEndian);

// ADPCM as movies store it: a 2-bit code size, then packets of 4096 samples per channel, each
// starting with a plain 16-bit sample and a 6-bit step index per channel. Samples are signed
// 16-bit interleaved at the sound's own rate.
std::vector<std::int16_t> DecodeAdpcm(std::span<const std::uint8_t> data, int channels);

// Decodes one sound, piece after piece, keeping what joins the pieces (the MP3 bit reservoir,
// the resampler's filter) so a stream's blocks play without seams.
class SoundDecoder {
public:
    explicit SoundDecoder(const SoundFormat& format);
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // False when the format cannot be decoded (Speex, an unknown codec, a missing libavcodec
    // decoder); such a decoder gives nothing.
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

    // Appends the sound of `data` to `out`, at most `maxPairs` samples of it: a few bytes of
    // a damaged or hostile movie can stand for hours of sound, so callers bound what they
    // will hold.
    void decode(std::span<const std::uint8_t> data, PcmBuffer& out,
                std::size_t maxPairs = kUnbounded);
    static constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);
    // Appends what the decoder and the resampler still hold: call at the end of a sound.
    void flush(PcmBuffer& out);
    // Forgets everything held, for data that does not continue the previous piece.
    void reset();
    // Drops the next `count` decoded samples per channel, at the sound's own rate: the MP3
    // encoder's delay before the sound really starts.
    void skip(std::uint32_t count) { m_skip = count; }

private:
    struct Impl;
    void resample(const std::uint8_t* const* planes, int sampleFormat, int channels, int rate2,
                  int count, PcmBuffer& out);
    void decodeWithCodec(std::span<const std::uint8_t> data, PcmBuffer& out, bool flushing);
    void pushS16(const std::vector<std::int16_t>& samples, int channels, PcmBuffer& out);

    SoundFormat m_format;
    bool m_ok = true;
    std::string m_error;
    std::uint32_t m_skip = 0;
    std::unique_ptr<Impl> m_impl;
};

// The longest event sound kept: ten minutes (about 100 MB decoded). Longer music comes as
// stream sound, which is decoded as it plays.
inline constexpr std::size_t kMaxSoundPairs = 600u * kMixRate;

// A whole DefineSound at 44.1 kHz stereo, cut to the length the tag declares (MP3: after its
// seek samples) and to kMaxSoundPairs. Empty, with `error` set, when the format cannot be
// decoded.
PcmBuffer DecodeSound(const SoundDefinition& sound, std::string* error = nullptr);

// Samples at 44.1 kHz that `count` samples at the format's rate last.
std::uint64_t SamplesAtMixRate(const SoundFormat& format, std::uint64_t count);

} // namespace kinovex::flash
