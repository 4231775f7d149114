// Picture and sound stay together however long a movie runs and whatever the output rate.

#include "tools/convert/FramePacing.h"

#include "SwfWriter.h"
#include "engine/Player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kinovex::cli {
namespace {

const std::vector<Rational> kRates{
    {7, 1}, {12, 1}, {25, 1}, {959, 32} /* 29.97 as 7672/256 */, {30, 1}, {120, 1}, {30000, 1001}};

// How many frames the long runs below take. The sanitizer build runs them a tenth as long: it
// is there for memory errors, which show in the first frames as well, and its unoptimised
// engine would spend minutes on the whole run that the normal build checks in a second.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t kRunScale = 10;
#else
constexpr std::uint64_t kRunScale = 1;
#endif

std::string Name(const Rational& r) {
    return r.text();
}

TEST(FramePacing, TheClockRoundsUpToEachFrameAndNeverDrifts) {
    for (const Rational& rate : kRates) {
        SCOPED_TRACE(Name(rate));
        std::uint64_t previous = 0;
        for (std::uint64_t n = 0; n <= 100000; ++n) {
            const std::uint64_t ms = millisecondsAt(rate, n);
            // The frame's instant n/rate, rounded up to a whole millisecond, in exact integers.
            const auto exact = static_cast<std::uint64_t>(n) * 1000 * rate.den;
            ASSERT_GE(static_cast<std::uint64_t>(ms) * rate.num, exact) << n;
            if (ms > 0) {
                ASSERT_LT(static_cast<std::uint64_t>(ms - 1) * rate.num, exact) << n;
            } else {
                ASSERT_EQ(exact, 0u);
            }
            ASSERT_GE(ms, previous);
            previous = ms;
        }
    }
    EXPECT_EQ(millisecondsAt({7, 1}, 100000), 14285715u); // 14285714.28... rounded up
    EXPECT_EQ(millisecondsAt({30000, 1001}, 100000), 3336667u);
}

TEST(FramePacing, SamplesThroughIsExactOverLongRuns) {
    // floor(n * 44100 / rate) in exact arithmetic; each frame gets its whole share or one
    // sample fewer, and the shares add up to the total with nothing lost.
    for (const Rational& rate : kRates) {
        SCOPED_TRACE(Name(rate));
        const double share = kSoundRate / rate.value();
        std::uint64_t sum = 0;
        for (std::uint64_t n = 1; n <= 100000; ++n) {
            const std::uint64_t got = samplesThrough(rate, n) - samplesThrough(rate, n - 1);
            ASSERT_GE(got, static_cast<std::uint64_t>(std::floor(share))) << n;
            ASSERT_LE(got, static_cast<std::uint64_t>(std::ceil(share))) << n;
            sum += got;
        }
        const auto total = static_cast<std::uint64_t>(100000) * kSoundRate * rate.den;
        EXPECT_EQ(sum, static_cast<std::uint64_t>(total / rate.num));
    }
    EXPECT_EQ(samplesThrough({7, 1}, 100000), 630000000u);
    EXPECT_EQ(samplesThrough({12, 1}, 100000), 367500000u);
    EXPECT_EQ(samplesThrough({25, 1}, 100000), 176400000u);
    EXPECT_EQ(samplesThrough({959, 32}, 100000), 147153284u); // 147153284.67...
    EXPECT_EQ(samplesThrough({30, 1}, 100000), 147000000u);
    EXPECT_EQ(samplesThrough({120, 1}, 100000), 36750000u);
    EXPECT_EQ(samplesThrough({30000, 1001}, 100000), 147147000u);
}

// A movie of two empty frames that loops, at `fps` (the engine mixes silence for it).
std::vector<std::uint8_t> LoopingMovie(double fps) {
    swf::SwfWriter movie(16, 16, fps);
    movie.showFrame();
    movie.showFrame();
    return movie.finish();
}

TEST(FramePacing, AtTheMoviesOwnRateEachOutputFrameIsOneMovieFrameWithItsSound) {
    // The engine counts its clock in whole milliseconds; stepping it to millisecondsAt()
    // must move it exactly one frame per output frame, and the sound it mixes for that frame
    // must be exactly what samplesThrough() gives the frame, over 30000 frames (more than
    // 16 minutes even at 30 fps).
    for (double fps : {7.0, 12.0, 25.0, 7672.0 / 256, 30.0, 120.0}) {
        SCOPED_TRACE(fps);
        const auto bytes = LoopingMovie(fps);
        flash::Player player;
        ASSERT_TRUE(player.loadFromMemory(bytes).ok);
        const Rational rate = rateFromMovie(player.frameRate());
        std::vector<std::int16_t> sound;
        player.takeSound(sound);
        ASSERT_EQ(sound.size() / 2, samplesThrough(rate, 1));
        std::uint64_t clock = 0;
        for (std::uint64_t n = 1; n < 30000 / kRunScale; ++n) {
            const std::uint64_t due = millisecondsAt(rate, n);
            ASSERT_EQ(player.advance(static_cast<std::uint32_t>(due - clock)), 1) << n;
            clock = due;
            sound.clear();
            player.takeSound(sound);
            ASSERT_EQ(sound.size() / 2, samplesThrough(rate, n + 1) - samplesThrough(rate, n)) << n;
        }
    }
}

TEST(SoundAligner, NeverRunsAheadOfThePictureAndEndsWithIt) {
    // The engine's sound arrives in bursts (nothing for a while, then several frames' worth);
    // what goes out keeps its order, never passes samplesThrough(frames), and finish() ends
    // exactly at the picture's end, padding or dropping.
    std::mt19937 random(7);
    for (const Rational& rate : kRates) {
        for (int extra : {-3000, 0, 5000}) {
            SCOPED_TRACE(Name(rate) + " extra " + std::to_string(extra));
            SoundAligner aligner(rate);
            const std::uint64_t frames = 2000 / kRunScale;
            const auto made = static_cast<std::int64_t>(samplesThrough(rate, frames)) + extra;
            std::int64_t given = 0;
            std::int16_t nextIn = 0, nextOut = 0;
            std::uint64_t out = 0;
            for (std::uint64_t f = 1; f <= frames; ++f) {
                std::int64_t count = 0;
                if (random() % 4 == 0 || f == frames) {
                    const auto burst =
                        static_cast<std::int64_t>(samplesThrough(rate, f + random() % 6)) - given;
                    count = std::clamp<std::int64_t>(burst, 0, made - given);
                    if (f == frames) {
                        count = made - given;
                    }
                }
                std::vector<std::int16_t> in;
                for (std::int64_t i = 0; i < count; ++i) {
                    in.push_back(nextIn);
                    in.push_back(static_cast<std::int16_t>(-nextIn));
                    ++nextIn;
                }
                given += count;
                const auto sent = aligner.frame(f, in);
                ASSERT_EQ(sent.size() % 2, 0u);
                for (std::size_t i = 0; i < sent.size(); i += 2) {
                    ASSERT_EQ(sent[i], nextOut);
                    ASSERT_EQ(sent[i + 1], static_cast<std::int16_t>(-nextOut));
                    ++nextOut;
                }
                out += sent.size() / 2;
                ASSERT_LE(out, samplesThrough(rate, f)) << f;
                ASSERT_EQ(aligner.written(), out);
            }
            const auto tail = aligner.finish(frames);
            out += tail.size() / 2;
            EXPECT_EQ(out, samplesThrough(rate, frames));
            EXPECT_EQ(aligner.written(), samplesThrough(rate, frames));
            if (extra < 0) {
                // What the engine did not make is silence at the end.
                ASSERT_GE(tail.size(), static_cast<std::size_t>(-extra) * 2);
                for (std::size_t i = tail.size() - static_cast<std::size_t>(-extra) * 2;
                     i < tail.size(); ++i) {
                    ASSERT_EQ(tail[i], 0);
                }
            }
        }
    }
}

TEST(SoundAligner, SoundThatComesInStepPassesStraightThrough) {
    const Rational rate{959, 32};
    SoundAligner aligner(rate);
    for (std::uint64_t f = 1; f <= 500; ++f) {
        const std::uint64_t share = samplesThrough(rate, f) - samplesThrough(rate, f - 1);
        const std::vector<std::int16_t> in(share * 2, 1);
        ASSERT_EQ(aligner.frame(f, in).size(), in.size()) << f;
    }
    EXPECT_TRUE(aligner.finish(500).empty());
}

} // namespace
} // namespace kinovex::cli
