// Several engines drawing one movie's frames side by side give exactly the frames and sound
// one engine gives alone, end where it ends, and stop cleanly when the writer stops early.

#include "tools/convert/RenderLanes.h"

#include "../flash/FlashTestUtil.h"
#include "../flash/SoundTestUtil.h"
#include "Actions.h"
#include "Sound.h"
#include "SwfWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace kinovex::cli {
namespace {

// Ten frames that loop: each frame a script moves a box to a random place and turns it; a tone
// plays from the start and another from the sixth frame. Random places show any lane whose engine
// drifted from the others.
std::vector<std::uint8_t> RandomWalkMovie() {
    swf::SwfWriter movie(64, 48, 12);
    swf::Sprite clip;
    clip.place(1, flash::test::defineRect(movie, -6, -4, 12, 8, 0x2060C0));
    clip.showFrame();
    const auto box = movie.defineSprite(clip);
    const auto tone = flash::test::Tone(440, 44100, 0.5);
    const auto sound =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false},
                         static_cast<std::uint32_t>(tone.size()), swf::Pcm16Bytes(tone));
    const auto chirp = flash::test::Tone(1000, 44100, 0.1);
    const auto late =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false},
                         static_cast<std::uint32_t>(chirp.size()), swf::Pcm16Bytes(chirp));
    swf::StartSound(movie, sound);
    swf::Place place;
    place.depth = 1;
    place.character = box;
    place.name = "box";
    movie.place(place);
    for (int frame = 0; frame < 10; ++frame) {
        swf::Actions script;
        script.getVar("box")
            .push("_x")
            .push(50.0)
            .op(swf::op::RandomNumber)
            .op(swf::op::SetMember)
            .getVar("box")
            .push("_rotation")
            .push(frame * 37.0)
            .op(swf::op::SetMember);
        movie.rawTag(swf::tag::DoAction, script.bytes());
        if (frame == 5) {
            swf::StartSound(movie, late); // one not yet decoded when the engines start
        }
        movie.showFrame();
    }
    return movie.finish();
}

struct Output {
    std::vector<std::vector<std::uint8_t>> pictures;
    std::vector<std::vector<std::int16_t>> sounds;
    bool ended = false;
};

std::vector<std::unique_ptr<flash::Player>> Players(const std::vector<std::uint8_t>& movie,
                                                    unsigned count) {
    // One engine reads the movie; the others share what it loaded.
    std::vector<std::unique_ptr<flash::Player>> players;
    players.push_back(std::make_unique<flash::Player>());
    EXPECT_TRUE(players.back()->loadFromMemory(movie).ok);
    for (unsigned i = 1; i < count; ++i) {
        players.push_back(std::make_unique<flash::Player>());
        EXPECT_TRUE(players.back()->loadSameMovie(*players.front()).ok);
    }
    return players;
}

Output Convert(const std::vector<std::uint8_t>& movie, unsigned lanes, std::size_t maxFrames,
               const ConvertOptions& options) {
    const OutputPlan plan = planOutput(options, 64, 48, 12);
    RenderLanes render(Players(movie, lanes), options, plan, false);
    Output out;
    while (out.pictures.size() < maxFrames) {
        const LaneFrame& frame = render.next();
        if (frame.ended) {
            out.ended = true;
            break;
        }
        EXPECT_EQ(frame.bytes.size(), plan.frameBytes());
        out.pictures.emplace_back(frame.bytes.begin(), frame.bytes.end());
        out.sounds.push_back(frame.sound);
        render.release();
    }
    return out;
}

TEST(RenderLanes, AnyNumberOfLanesGivesTheOneEnginesFramesAndSound) {
    const auto movie = RandomWalkMovie();
    ConvertOptions options; // mp4: frames go as YUV 4:2:0
    const Output alone = Convert(movie, 1, 100, options);
    ASSERT_TRUE(alone.ended);
    ASSERT_EQ(alone.pictures.size(), 10u); // it loops after its tenth frame
    // The movie does move: the comparison below has something to catch.
    EXPECT_GT(std::set(alone.pictures.begin(), alone.pictures.end()).size(), 5u);
    std::size_t soundSamples = 0;
    for (const auto& s : alone.sounds) {
        soundSamples += s.size();
    }
    EXPECT_EQ(soundSamples, 10u * 44100 / 12 * 2);
    for (unsigned lanes : {2u, 3u, 4u}) {
        SCOPED_TRACE(lanes);
        const Output side = Convert(movie, lanes, 100, options);
        EXPECT_TRUE(side.ended);
        ASSERT_EQ(side.pictures.size(), alone.pictures.size());
        for (std::size_t i = 0; i < side.pictures.size(); ++i) {
            EXPECT_EQ(side.pictures[i], alone.pictures[i]) << "frame " << i;
            EXPECT_EQ(side.sounds[i], alone.sounds[i]) << "frame " << i;
        }
    }
}

// A movie that closes itself with fscommand("quit") on its fourth of twenty frames ends there,
// on every lane.
TEST(RenderLanes, AMovieThatQuitsEndsOnTheFrameItQuit) {
    swf::SwfWriter movie(64, 48, 12);
    for (int frame = 1; frame <= 20; ++frame) {
        if (frame == 4) {
            swf::Actions quit;
            movie.rawTag(swf::tag::DoAction, quit.getUrl("FSCommand:quit", "").bytes());
        }
        movie.showFrame();
    }
    const auto bytes = movie.finish();
    for (unsigned lanes : {1u, 3u}) {
        const Output out = Convert(bytes, lanes, 100, ConvertOptions{});
        EXPECT_TRUE(out.ended) << lanes;
        EXPECT_EQ(out.pictures.size(), 4u) << lanes;
    }
}

TEST(RenderLanes, ClicksAndTransparencyReachEveryLane) {
    const auto movie = RandomWalkMovie();
    ConvertOptions options;
    options.profile = Profile::Webm;
    options.transparent = true; // BGRA with straight alpha
    options.clicks = {{10, 10, 3}, {30, 20, 6}};
    const Output alone = Convert(movie, 1, 100, options);
    const Output side = Convert(movie, 3, 100, options);
    ASSERT_EQ(alone.pictures.size(), 10u);
    EXPECT_EQ(side.pictures, alone.pictures);
    EXPECT_EQ(alone.pictures[0].size(), 64u * 48 * 4);
}

TEST(RenderLanes, AWriterThatStopsEarlyLeavesNoLaneWaiting) {
    const auto movie = RandomWalkMovie();
    for (std::size_t taken : {0u, 1u, 4u}) {
        // Lanes are drawing ahead when the writer stops; destroying them must not hang.
        const Output out = Convert(movie, 3, taken, ConvertOptions{});
        EXPECT_EQ(out.pictures.size(), taken);
        EXPECT_FALSE(out.ended);
    }
}

} // namespace
} // namespace kinovex::cli
