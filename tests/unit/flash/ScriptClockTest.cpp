// Date's clock through the player: it starts where setClockEpoch put it and goes with the
// movie's frames, and a player sharing another's movie shares its clock.

#include "ScriptClipTestUtil.h"
#include "engine/Player.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
namespace op = swf::op;

// A 10 fps movie tracing new Date().getTime() on each of its three frames.
swf::SwfWriter clockMovie() {
    swf::SwfWriter movie(100, 100, 10);
    Actions a;
    a.push(Int{0}).push({Int{0}, "Date"}).op(op::NewObject);
    a.push("getTime").op(op::CallMethod).op(op::Trace);
    for (int i = 0; i < 3; ++i) {
        doAction(movie, a);
        movie.showFrame();
    }
    return movie;
}

TEST(ScriptClock, StartsWhereItIsSetAndGoesWithTheFrames) {
    Player player;
    player.setClockEpoch(5e11);
    EXPECT_EQ(traceFrames(clockMovie(), 3, &player),
              (Lines{"500000000000", "500000000100", "500000000200"}));
}

TEST(ScriptClock, UnsetItStartsAtTheTimeOfLoadingAndPlayersOfOneMovieShareIt) {
    Player first;
    const Lines own = traceFrames(clockMovie(), 2, &first);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_GT(std::stod(own[0]), 1.6e12); // later than 2020
    Player second;
    Lines shared;
    second.setTraceSink([&shared](std::string_view line) { shared.emplace_back(line); });
    ASSERT_TRUE(second.loadSameMovie(first).ok);
    second.nextFrame();
    EXPECT_EQ(shared, own);
}

} // namespace
} // namespace kinovex::flash::test
