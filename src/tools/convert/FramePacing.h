#pragma once
// The arithmetic that keeps picture and sound together when the output's frame rate is not
// the movie's: how far the engine's clock moves for each output frame, and how many sound
// samples belong to the first n output frames.

#include "tools/convert/OutputFormat.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kinovex::cli {

constexpr int kSoundRate = 44100;

// Milliseconds of movie time from the first output frame to output frame n + 1 (0-based n),
// rounded up: the engine then has always shown the movie frame due at that instant.
std::uint64_t millisecondsAt(const Rational& rate, std::uint64_t n);

// Sample frames (per channel) in the first `frames` output frames:
// floor(frames * 44100 / rate). For a movie at its own rate this is exactly what the engine
// mixes for those frames.
std::uint64_t samplesThrough(const Rational& rate, std::uint64_t frames);

// Hands out the engine's sound frame by frame without ever running ahead of the picture:
// after output frame n at most samplesThrough(n) sample frames have been handed out; what the
// engine made early waits for the next frame. finish() pads with silence (or drops what is
// left) so the sound ends exactly with the picture.
class SoundAligner {
public:
    explicit SoundAligner(Rational rate) : m_rate(rate) {}
    // The engine's interleaved stereo samples for output frame `frames` (1-based count of
    // frames written with this one); returns what goes out now.
    std::vector<std::int16_t> frame(std::uint64_t frames, std::span<const std::int16_t> made);
    std::vector<std::int16_t> finish(std::uint64_t frames);
    std::uint64_t written() const { return m_written; } // sample frames

private:
    Rational m_rate;
    std::vector<std::int16_t> m_waiting;
    std::uint64_t m_written = 0;
};

} // namespace kinovex::cli
