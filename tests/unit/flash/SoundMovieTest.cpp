// Sound tags in a movie made by our writer, read the way the player reads its timeline: each
// frame's sound commands run, then the frame's sound is pulled from the mixer.

#include "SoundTestUtil.h"

#include "engine/definitions/SoundCommands.h"
#include "engine/display/Mixer.h"
#include "engine/swf/SwfFile.h"
#include "engine/swf/Tags.h"

#include <gtest/gtest.h>

namespace kinovex::flash {
namespace {

using test::Frequency;
using test::Rms;

struct PlayedMovie {
    PcmBuffer pcm;
    std::vector<std::size_t> frameStarts; // pair index where each frame's sound begins
    std::size_t malformed = 0;
};

PlayedMovie Play(const swf::SwfWriter& movie, int frames) {
    PlayedMovie out;
    const std::vector<std::uint8_t> bytes = movie.finish();
    Log log;
    SwfFile file;
    EXPECT_TRUE(openSwf(bytes, file, log).ok);
    SoundMixer mixer(file.frameRate256);
    std::vector<std::vector<SoundCommand>> timeline(1);
    TagReader tags(std::span(file.data).subspan(file.firstTagOffset), file.firstTagOffset, log);
    Tag tag;
    while (tags.next(tag)) {
        if (tag.code == TagShowFrame) {
            timeline.emplace_back();
        } else if (tag.code == SoundTagDefineSound) {
            SoundDefinition sound;
            if (ParseDefineSound(tag.body, sound)) {
                mixer.defineSound(std::move(sound));
            } else {
                ++out.malformed;
            }
        } else {
            SoundCommand cmd;
            const SoundTagResult r = ParseSoundCommand(tag.code, tag.body, cmd);
            if (r == SoundTagResult::Ok) {
                timeline.back().push_back(std::move(cmd));
            } else if (r == SoundTagResult::Malformed) {
                ++out.malformed;
            }
        }
    }
    for (int n = 0; n < frames; ++n) {
        const auto& commands = timeline[static_cast<std::size_t>(n) % timeline.size()];
        for (const SoundCommand& cmd : commands) {
            RunSoundCommand(mixer, 1, cmd);
        }
        out.frameStarts.push_back(out.pcm.size() / 2);
        mixer.mixFrame(out.pcm);
    }
    return out;
}

TEST(SoundMovie, AnEventSoundStartsWithItsFrameAndLoopsAsTold) {
    swf::SwfWriter movie(100, 100, 12);
    const auto tone = test::Tone(1000, 22050, 0.25);
    const auto id =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 2, true, false},
                         static_cast<std::uint32_t>(tone.size()), swf::Pcm16Bytes(tone));
    movie.showFrame();
    swf::SoundInfoSpec twice;
    twice.loops = 2;
    swf::StartSound(movie, id, twice);
    for (int n = 0; n < 8; ++n) {
        movie.showFrame();
    }
    const PlayedMovie played = Play(movie, 9);
    EXPECT_EQ(played.malformed, 0u);
    ASSERT_EQ(played.pcm.size() / 2, 9u * 3675u);
    const std::size_t start = played.frameStarts[1];
    EXPECT_EQ(Rms(played.pcm, 0, start), 0.0) << "nothing before its frame";
    // Two quarter seconds of tone at 44.1 kHz, then silence.
    EXPECT_NEAR(Frequency(played.pcm, start + 100, 22000), 1000.0, 5.0);
    EXPECT_GT(Rms(played.pcm, start + 21000, 1000), 7000.0);
    EXPECT_EQ(Rms(played.pcm, start + 22050 + 50, 1000), 0.0);
}

TEST(SoundMovie, AStreamPlaysWithItsFramesAndBadTagsAreSkipped) {
    swf::SwfWriter movie(100, 100, 10); // 4410 samples a frame
    swf::SoundStreamHead(movie, {swf::SoundCodec::PcmLittle, 3, true, true},
                         {swf::SoundCodec::PcmLittle, 1, true, false}, 1102, 0, true);
    movie.rawTag(swf::tag::StartSound, {1}); // cut short
    for (int n = 0; n < 4; ++n) {
        // A quarter of each frame's sound at 11 kHz, each frame's block a different pitch.
        const auto tone = test::Tone(500.0 * (n + 1), 11025, 0.1);
        swf::SoundStreamBlock(movie, swf::Pcm16Bytes(tone));
        movie.showFrame();
    }
    const PlayedMovie played = Play(movie, 4);
    EXPECT_EQ(played.malformed, 1u);
    for (int n = 1; n < 4; ++n) {
        const std::size_t at = played.frameStarts[static_cast<std::size_t>(n)];
        EXPECT_NEAR(Frequency(played.pcm, at + 200, 4000), 500.0 * (n + 1), 15.0) << n;
    }
}

} // namespace
} // namespace kinovex::flash
