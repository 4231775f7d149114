#include "SoundTestUtil.h"

#include "engine/display/Mixer.h"

#include <gtest/gtest.h>

#include <numeric>

namespace kinovex::flash {
namespace {

using test::Frequency;
using test::Rms;

// A 44.1 kHz stereo sound whose left samples count 1, 2, 3, ... and right samples -1, -2, ...,
// so any sample that comes out names its own position.
SoundDefinition Ramp(std::uint16_t id, std::uint32_t pairs) {
    std::vector<std::int16_t> pcm;
    for (std::uint32_t i = 0; i < pairs; ++i) {
        pcm.push_back(static_cast<std::int16_t>(i + 1));
        pcm.push_back(static_cast<std::int16_t>(-static_cast<int>(i + 1)));
    }
    SoundDefinition d;
    d.id = id;
    d.format = SoundFormat{SoundCodec::PcmLittle, 3, true, true};
    d.sampleCount = pairs;
    d.data = swf::Pcm16Bytes(pcm);
    return d;
}

// A constant level on both sides.
SoundDefinition Level(std::uint16_t id, std::uint32_t pairs, std::int16_t value) {
    SoundDefinition d;
    d.id = id;
    d.format = SoundFormat{SoundCodec::PcmLittle, 3, true, false};
    d.sampleCount = pairs;
    d.data = swf::Pcm16Bytes(std::vector<std::int16_t>(pairs, value));
    return d;
}

PcmBuffer Pull(SoundMixer& mixer, std::size_t pairs) {
    PcmBuffer out(pairs * 2);
    mixer.mix(out);
    return out;
}

std::vector<int> Lefts(const PcmBuffer& pcm) {
    std::vector<int> out;
    for (std::size_t i = 0; i < pcm.size(); i += 2) {
        out.push_back(pcm[i]);
    }
    return out;
}

std::vector<int> Count(int from, int to) { // from..to inclusive
    std::vector<int> out(static_cast<std::size_t>(to - from + 1));
    std::iota(out.begin(), out.end(), from);
    return out;
}

TEST(MixerTiming, FramesGetExactSampleCountsAtEveryRate) {
    for (double fps : {7.0, 12.0, 25.0, 29.97, 30.0, 120.0}) {
        const std::uint16_t rate256 = swf::FrameRateField(fps);
        SoundMixer mixer(rate256);
        const std::uint64_t frames = 100000;
        const double exact = 44100.0 * 256.0 / rate256;
        std::uint64_t total = 0;
        for (std::uint64_t n = 0; n < frames; ++n) {
            const std::size_t count = mixer.samplesForFrame(n);
            ASSERT_TRUE(count == static_cast<std::size_t>(exact) ||
                        count == static_cast<std::size_t>(exact) + 1)
                << fps << " fps, frame " << n;
            total += count;
        }
        EXPECT_EQ(total, frames * 44100u * 256u / rate256) << fps << " fps";
    }
    EXPECT_EQ(swf::FrameRateField(29.97), 7672) << "29.96875 as the movie stores it";

    // Pulling frame by frame gives the same counts and moves the frame on.
    SoundMixer mixer(swf::FrameRateField(29.97));
    PcmBuffer out;
    for (int n = 0; n < 300; ++n) {
        mixer.mixFrame(out);
    }
    EXPECT_EQ(mixer.frameIndex(), 300u);
    EXPECT_EQ(out.size(), 2u * (300u * 44100u * 256u / 7672u));
}

TEST(MixerTiming, ARateOfZeroPlaysAtTwelveFrames) {
    SoundMixer mixer(0);
    EXPECT_EQ(mixer.samplesForFrame(0), 3675u);
}

TEST(MixerEvents, InAndOutPointsAndLoopsPlayTheRightSamples) {
    SoundMixer mixer;
    mixer.defineSound(Ramp(1, 1000));
    SoundInfo info;
    info.hasInPoint = true;
    info.inPoint = 10;
    info.hasOutPoint = true;
    info.outPoint = 15;
    info.loopCount = 3;
    ASSERT_TRUE(mixer.startSound(1, info));
    const PcmBuffer out = Pull(mixer, 20);
    std::vector<int> expected;
    for (int loop = 0; loop < 3; ++loop) {
        for (int v : Count(11, 15)) {
            expected.push_back(v);
        }
    }
    expected.resize(20, 0); // then silence
    EXPECT_EQ(Lefts(out), expected);
    EXPECT_EQ(out[1], -11) << "the right side follows";
    EXPECT_FALSE(mixer.isPlaying(1));

    // Points beyond the end are held to the sound; an out point before the in point is silent.
    SoundInfo late;
    late.hasInPoint = true;
    late.inPoint = 995;
    late.hasOutPoint = true;
    late.outPoint = 5000;
    ASSERT_TRUE(mixer.startSound(1, late));
    EXPECT_EQ(Lefts(Pull(mixer, 7)), (std::vector<int>{996, 997, 998, 999, 1000, 0, 0}));
    SoundInfo backwards;
    backwards.hasInPoint = true;
    backwards.inPoint = 50;
    backwards.hasOutPoint = true;
    backwards.outPoint = 40;
    EXPECT_TRUE(mixer.startSound(1, backwards));
    EXPECT_EQ(mixer.voiceCount(), 0u);
}

TEST(MixerEvents, ASoundSpreadsOverFramesWithoutLosingASample) {
    SoundMixer mixer(swf::FrameRateField(29.97));
    mixer.defineSound(Ramp(1, 5000));
    ASSERT_TRUE(mixer.startSound(1, {}));
    PcmBuffer out;
    for (int n = 0; n < 5; ++n) {
        mixer.mixFrame(out);
    }
    const std::vector<int> lefts = Lefts(out);
    EXPECT_TRUE(std::equal(lefts.begin(), lefts.begin() + 5000, Count(1, 5000).begin()));
    EXPECT_TRUE(std::all_of(lefts.begin() + 5000, lefts.end(), [](int v) { return v == 0; }));
}

TEST(MixerEvents, EnvelopesShapeEachSideAndHoldTheirEnds) {
    SoundMixer mixer;
    mixer.defineSound(Level(1, 4000, 10000));
    SoundInfo info;
    // Left fades in over the first 1000 samples, right fades out between 1000 and 3000.
    info.envelope = {{0, 0, 32768}, {1000, 32768, 32768}, {3000, 32768, 0}};
    info.loopCount = 2; // the envelope runs on through the second loop
    ASSERT_TRUE(mixer.startSound(1, info));
    const PcmBuffer out = Pull(mixer, 8000);
    auto left = [&](std::size_t i) { return out[2 * i]; };
    auto right = [&](std::size_t i) { return out[2 * i + 1]; };
    EXPECT_EQ(left(0), 0);
    EXPECT_NEAR(left(500), 5000, 10);
    EXPECT_EQ(left(1000), 10000);
    EXPECT_EQ(right(1000), 10000);
    EXPECT_NEAR(right(2000), 5000, 10);
    EXPECT_EQ(right(3000), 0);
    EXPECT_EQ(left(3500), 10000);
    EXPECT_EQ(right(5000), 0) << "after the last point its level holds, also when looping";
    EXPECT_EQ(left(5000), 10000);
    // Levels only go down: a sound never gets louder than it is.
    for (std::size_t i = 0; i < 8000; ++i) {
        ASSERT_LE(left(i), 10000);
    }
}

// Scripts ask a library sound's size and length after it has played: the coded data goes at
// decoding, but what the definition said of it stays.
TEST(MixerEvents, ADefinitionKeepsItsSizeAfterDecoding) {
    SoundMixer mixer;
    mixer.defineSound(Level(1, 100, 1000));
    EXPECT_EQ(mixer.codedSize(1), 200u);
    ASSERT_TRUE(mixer.startSound(1, SoundInfo{}));
    EXPECT_EQ(mixer.codedSize(1), 200u);
    ASSERT_NE(mixer.definition(1), nullptr);
    EXPECT_EQ(mixer.definition(1)->sampleCount, 100u);
    EXPECT_EQ(mixer.definition(2), nullptr);
    EXPECT_EQ(mixer.codedSize(2), 0u);
}

TEST(MixerEvents, SyncStopAndNoMultiple) {
    SoundMixer mixer;
    mixer.defineSound(Level(1, 10000, 1000));
    mixer.defineSound(Level(2, 10000, 100));
    SoundInfo plain;
    SoundInfo noMultiple;
    noMultiple.syncNoMultiple = true;
    SoundInfo stop;
    stop.syncStop = true;

    // Started twice, a sound plays twice over itself.
    ASSERT_TRUE(mixer.startSound(1, plain));
    ASSERT_TRUE(mixer.startSound(1, plain));
    EXPECT_EQ(Pull(mixer, 1)[0], 2000);
    // With no-multiple it is not started again while it plays, but other sounds are.
    ASSERT_TRUE(mixer.startSound(1, noMultiple));
    ASSERT_TRUE(mixer.startSound(2, noMultiple));
    EXPECT_EQ(Pull(mixer, 1)[0], 2100);
    // Sync stop ends every copy of that sound only, and starts nothing.
    ASSERT_TRUE(mixer.startSound(1, stop));
    EXPECT_FALSE(mixer.isPlaying(1));
    EXPECT_TRUE(mixer.isPlaying(2));
    EXPECT_EQ(Pull(mixer, 1)[0], 100);
    // Frames passed over by a jump make no sound.
    mixer.setSuspended(true);
    EXPECT_TRUE(mixer.startSound(2, plain));
    mixer.setSuspended(false);
    EXPECT_EQ(Pull(mixer, 1)[0], 100);
    // Once a sound has ended, no-multiple starts it again.
    mixer.stopAll();
    ASSERT_TRUE(mixer.startSound(1, noMultiple));
    EXPECT_EQ(Pull(mixer, 1)[0], 1000);
}

TEST(MixerEvents, LoudSoundsClipVolumeScalesAndLimitsHold) {
    SoundMixer mixer;
    mixer.defineSound(Level(1, 100, 30000));
    ASSERT_TRUE(mixer.startSound(1, {}));
    ASSERT_TRUE(mixer.startSound(1, {}));
    EXPECT_EQ(Pull(mixer, 1)[0], 32767) << "clipped, not wrapped round";
    mixer.setVolume(25);
    EXPECT_EQ(Pull(mixer, 1)[0], 15000);
    mixer.setVolume(0);
    EXPECT_EQ(Pull(mixer, 1)[0], 0);

    mixer.stopAll();
    mixer.setVolume(100);
    for (std::size_t i = 0; i < SoundMixer::kMaxVoices; ++i) {
        ASSERT_TRUE(mixer.startSound(1, {}));
    }
    EXPECT_FALSE(mixer.startSound(1, {}));
    EXPECT_EQ(mixer.voiceCount(), SoundMixer::kMaxVoices);

    EXPECT_FALSE(mixer.startSound(77, {}));
    EXPECT_NE(mixer.lastError().find("77"), std::string::npos);
}

// Feeds a stream frame by frame: `blockPairs[n]` samples of the running ramp in frame n.
PcmBuffer PlayPcmStream(SoundMixer& mixer, const std::vector<std::size_t>& blockPairs, int& next) {
    PcmBuffer out;
    for (std::size_t pairs : blockPairs) {
        std::vector<std::int16_t> pcm;
        for (std::size_t i = 0; i < pairs; ++i) {
            pcm.push_back(static_cast<std::int16_t>(next));
            pcm.push_back(static_cast<std::int16_t>(next));
            ++next;
        }
        if (pairs > 0) {
            mixer.streamBlock(1, swf::Pcm16Bytes(pcm));
        }
        mixer.mixFrame(out);
    }
    return out;
}

TEST(MixerStream, StaysInStepWithTheFramesWhenBlocksComeShortOrLong) {
    SoundMixer mixer(25 * 256); // 1764 samples a frame
    SoundStreamHead head;
    head.stream = SoundFormat{SoundCodec::PcmLittle, 3, true, true};
    head.samplesPerBlock = 1764;
    mixer.streamHead(1, head);
    int next = 1;
    // Blocks short by 100, then long by 100: the first frame ends in silence and the late
    // sound is dropped, so sample k always plays at position k.
    const PcmBuffer out = PlayPcmStream(mixer, {1664, 1864, 1764, 1764}, next);
    const std::vector<int> lefts = Lefts(out);
    ASSERT_EQ(lefts.size(), 4u * 1764u);
    EXPECT_TRUE(std::equal(lefts.begin(), lefts.begin() + 1664, Count(1, 1664).begin()));
    EXPECT_EQ(lefts[1664], 0);
    EXPECT_EQ(lefts[1763], 0);
    for (std::size_t k = 1764; k < lefts.size(); ++k) {
        ASSERT_EQ(lefts[k], static_cast<int>(k) + 1) << k;
    }

    // A frame without a block and nothing left: the stream pauses; its next block plays at
    // once, from its own start.
    const PcmBuffer resumed = PlayPcmStream(mixer, {0, 1764}, next);
    const std::vector<int> r = Lefts(resumed);
    EXPECT_TRUE(std::all_of(r.begin(), r.begin() + 1764, [](int v) { return v == 0; }));
    EXPECT_EQ(r[1764], next - 1764);

    // Stopping (a jump in the timeline) drops what was decoded ahead.
    mixer.streamBlock(1, swf::Pcm16Bytes(std::vector<std::int16_t>(2 * 3000, 500)));
    mixer.stopStream(1);
    PcmBuffer silent;
    mixer.mixFrame(silent);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](std::int16_t v) { return v == 0; }));
}

TEST(MixerStream, ABlockWithoutAHeadIsIgnoredAndTooMuchSoundIsCutBack) {
    SoundMixer mixer(12 * 256);
    mixer.streamBlock(9, swf::Pcm16Bytes(std::vector<std::int16_t>(100, 1000)));
    PcmBuffer out;
    mixer.mixFrame(out);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t v) { return v == 0; }));

    SoundStreamHead head;
    head.stream = SoundFormat{SoundCodec::PcmLittle, 3, true, true};
    mixer.streamHead(9, head);
    // Ten seconds in one frame: at most a second of it is kept, so the stream ends within a
    // second of its frames, and the sound is not decoded beyond that.
    std::vector<std::int16_t> pcm(2 * 441000, 700);
    mixer.streamBlock(9, swf::Pcm16Bytes(pcm));
    PcmBuffer second;
    for (int n = 0; n < 12; ++n) {
        mixer.mixFrame(second);
    }
    EXPECT_TRUE(std::all_of(second.begin(), second.end(), [](std::int16_t v) { return v == 700; }));
    PcmBuffer after;
    mixer.mixFrame(after);
    EXPECT_EQ(after.front(), 0);
    EXPECT_EQ(after.back(), 0);
}

TEST(MixerStream, Mp3BlocksOfSilenceDoNotEatTheSoundAfterThem) {
    SoundMixer mixer(12 * 256);
    SoundStreamHead head;
    head.stream = SoundFormat{SoundCodec::Mp3, 3, true, false};
    mixer.streamHead(3, head);
    PcmBuffer out;
    for (int n = 0; n < 20; ++n) {
        mixer.streamBlock(3, swf::Mp3StreamBlockBody(0, 0, {}));
        mixer.mixFrame(out);
    }
    const std::vector<std::uint8_t> mp3 = test::Mp3Tone(44100, 0.5);
    if (mp3.empty()) {
        GTEST_SKIP() << "ffmpeg with libmp3lame is not available";
    }
    out.clear();
    mixer.streamBlock(3, swf::Mp3StreamBlockBody(0, 0, mp3));
    mixer.mixFrame(out);
    // The tone starts with the block (after the decoder's delay), not 20 frames into it.
    EXPECT_GT(Rms(out, 2000, 1000), 2000.0);
}

TEST(MixerStream, Mp3BlocksPlayAContinuousTone) {
    const std::vector<std::uint8_t> mp3 = test::Mp3Tone(44100, 3.0);
    if (mp3.empty()) {
        GTEST_SKIP() << "ffmpeg with libmp3lame is not available";
    }
    const auto frames = swf::SplitMp3Frames(mp3);
    ASSERT_GT(frames.size(), 100u);
    SoundMixer mixer(swf::FrameRateField(29.97));
    SoundStreamHead head;
    head.stream = SoundFormat{SoundCodec::Mp3, 3, true, false};
    mixer.streamHead(7, head);

    // As a movie writer lays them out: each frame's block holds the MP3 frames that reach
    // past the end of that frame's sound.
    PcmBuffer out;
    std::size_t delivered = 0;
    std::size_t next = 0;
    std::uint64_t needed = 0;
    for (int n = 0; n < 80; ++n) {
        needed += mixer.samplesForFrame(static_cast<std::uint64_t>(n));
        std::vector<std::uint8_t> data;
        std::uint16_t count = 0;
        while (delivered < needed && next < frames.size()) {
            data.insert(data.end(), frames[next].begin(), frames[next].end());
            delivered += 1152;
            count = static_cast<std::uint16_t>(count + 1152);
            ++next;
        }
        mixer.streamBlock(7, swf::Mp3StreamBlockBody(count, 0, data));
        mixer.mixFrame(out);
    }
    const std::size_t pairs = out.size() / 2;
    EXPECT_NEAR(Frequency(out, 3000, pairs - 3000), 440.0, 2.0);
    // No gap anywhere after the start: every 10 ms window carries the tone.
    for (std::size_t at = 3000; at + 441 < pairs; at += 441) {
        ASSERT_GT(Rms(out, at, 441), 2000.0) << "quiet at " << at;
    }
}

} // namespace
} // namespace kinovex::flash
