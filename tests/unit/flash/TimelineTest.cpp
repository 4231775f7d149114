// Display-list semantics: placing, moving, replacing, removing, sprites, going to frames.

#include "engine/display/Timeline.h"
#include "FlashTestUtil.h"
#include "TempDir.h"
#include "engine/definitions/Movie.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kinovex::flash::test {
namespace {

// Everything a display list holds, sprites included, as text that two lists can be compared by.
std::string describe(const DisplayList& list) {
    std::ostringstream out;
    for (const auto& [depth, obj] : list) {
        out << depth << ":" << obj.characterId << " m(" << obj.matrix.a << "," << obj.matrix.tx
            << "," << obj.matrix.ty << ") r" << obj.ratio << " c" << obj.clipDepth << " n'"
            << obj.name << "' a" << obj.colorTransform.aMult << " b"
            << static_cast<int>(obj.blendMode) << " f" << obj.filters.size();
        if (obj.sprite) {
            out << " [@" << obj.sprite->currentFrame() << " " << describe(obj.sprite->displayList())
                << "]";
        }
        out << "; ";
    }
    return out.str();
}

struct Loaded {
    Movie movie;
    Log log;
    std::size_t sprites = 0;
    std::unique_ptr<TimelineInstance> root;

    explicit Loaded(const swf::SwfWriter& writer) {
        const auto bytes = writer.finish();
        EXPECT_TRUE(movie.load(bytes, log).ok);
        root = std::make_unique<TimelineInstance>(movie, movie.timeline(), 0, sprites);
        root->start();
    }
};

TEST(Timeline, PlaceMoveReplaceAndRemove) {
    swf::SwfWriter movie(100, 100, 12);
    const auto a = defineRect(movie, 0, 0, 10, 10, 0xff0000);
    const auto b = defineRect(movie, 0, 0, 10, 10, 0x00ff00);
    swf::Place first;
    first.depth = 5;
    first.character = a;
    first.matrix = swf::Matrix::translate(10, 0);
    first.name = "box";
    movie.place(first);
    movie.showFrame();
    movie.move(5, swf::Matrix::translate(20, 0)); // frame 1: moved
    movie.showFrame();
    swf::Place replace;
    replace.depth = 5;
    replace.character = b;
    replace.move = true; // frame 2: new character, same place and name
    movie.place(replace);
    movie.showFrame();
    swf::Place moveNothing;
    moveNothing.depth = 9;
    moveNothing.move = true;
    moveNothing.matrix = swf::Matrix::translate(1, 1);
    movie.place(moveNothing); // frame 3: nothing at depth 9, so nothing happens
    movie.showFrame();
    movie.remove(5); // frame 4
    movie.showFrame();

    Loaded l(movie);
    const DisplayList& list = l.root->displayList();
    ASSERT_EQ(list.count(5), 1u);
    EXPECT_EQ(list.at(5).characterId, a);
    EXPECT_EQ(list.at(5).matrix.tx, 200);
    EXPECT_EQ(list.at(5).name, "box");
    l.root->advance();
    EXPECT_EQ(list.at(5).matrix.tx, 400);
    EXPECT_EQ(list.at(5).characterId, a);
    l.root->advance();
    EXPECT_EQ(list.at(5).characterId, b);
    EXPECT_EQ(list.at(5).matrix.tx, 400);
    EXPECT_EQ(list.at(5).name, "box");
    l.root->advance();
    EXPECT_EQ(list.size(), 1u);
    l.root->advance();
    EXPECT_TRUE(list.empty());
}

// A new placement (not a move) at a depth that holds an object replaces it, properties and
// all, in movies up to SWF 5; later movies keep the first object as it was.
TEST(Timeline, PlacingOnAnOccupiedDepthReplacesOnlyInSwf5) {
    for (const std::uint8_t version : {5, 6, 8}) {
        swf::SwfWriter movie(100, 100, 12, {version, version >= 8});
        const auto a = defineRect(movie, 0, 0, 10, 10, 0xff0000);
        swf::Place p;
        p.depth = 1;
        p.character = a;
        p.colorTransform = swf::ColorTransform::alpha(0.5);
        p.clipDepth = 4;
        movie.place(p);
        movie.place(1, a, swf::Matrix::translate(3, 0));
        movie.showFrame();
        Loaded l(movie);
        const DisplayObject& obj = l.root->displayList().at(1);
        const bool replaced = version == 5;
        EXPECT_EQ(obj.clipDepth, replaced ? 0 : 4) << int(version);
        EXPECT_DOUBLE_EQ(obj.colorTransform.aMult, replaced ? 1.0 : 0.5) << int(version);
        EXPECT_EQ(obj.matrix.tx, replaced ? 60 : 0) << int(version);
    }
}

TEST(Timeline, PlaceObject3KeepsBlendModeFiltersAndCacheFlag) {
    swf::SwfWriter movie(100, 100, 12);
    swf::Place p;
    p.depth = 2;
    p.character = defineRect(movie, 0, 0, 10, 10, 0xff0000);
    p.blendMode = swf::BlendMode::Screen;
    swf::GradientGlowFilter glow;
    glow.stops = {{swf::Rgb(0xff0000), 0}, {swf::Rgb(0x0000ff), 255}};
    p.filters = std::vector<swf::Filter>{swf::BlurFilter{},
                                         swf::DropShadowFilter{},
                                         swf::ColorMatrixFilter{},
                                         swf::ConvolutionFilter{},
                                         glow,
                                         swf::BevelFilter{}};
    p.cacheAsBitmap = true;
    p.ratio = 7;
    movie.place(p);
    movie.showFrame();
    Loaded l(movie);
    ASSERT_TRUE(l.log.entries().empty()) << l.log.entries().front().text();
    const DisplayObject& obj = l.root->displayList().at(2);
    EXPECT_EQ(obj.blendMode, BlendMode::Screen);
    ASSERT_EQ(obj.filters.size(), 6u);
    EXPECT_EQ(obj.filters[0].type, Filter::Type::Blur);
    EXPECT_EQ(obj.filters[3].type, Filter::Type::Convolution);
    EXPECT_EQ(obj.filters[3].matrix.size(), 9u);
    EXPECT_EQ(obj.filters[4].gradient.size(), 2u);
    EXPECT_EQ(obj.filters[4].gradient[1].ratio, 255);
    EXPECT_EQ(obj.filters[5].type, Filter::Type::Bevel);
    EXPECT_TRUE(obj.cacheAsBitmap);
    EXPECT_EQ(obj.ratio, 7);
}

// A root timeline of `frames` frames holding a 3-frame sprite placed in frame 1 and another
// placed in frame 3, with moves and a removal along the way.
swf::SwfWriter busyMovie() {
    swf::SwfWriter movie(100, 100, 12);
    const auto box = defineRect(movie, 0, 0, 10, 10, 0xff0000);
    swf::Sprite spin;
    spin.place(1, box);
    spin.showFrame();
    spin.move(1, swf::Matrix::translate(5, 0));
    spin.showFrame();
    spin.remove(1);
    spin.showFrame();
    const auto sprite = movie.defineSprite(spin);
    movie.frameLabel("start");
    movie.place(1, sprite);
    movie.showFrame();
    movie.place(2, box, swf::Matrix::translate(1, 1));
    movie.showFrame();
    movie.place(3, sprite, swf::Matrix::translate(50, 0));
    movie.move(2, swf::Matrix::translate(2, 2));
    movie.showFrame();
    movie.frameLabel("late");
    movie.showFrame();
    movie.remove(2);
    movie.showFrame();
    movie.showFrame();
    return movie;
}

TEST(Timeline, SpritesAdvanceWithTheirParentFromTheirOwnFirstFrame) {
    Loaded l(busyMovie());
    const DisplayList& list = l.root->displayList();
    EXPECT_EQ(list.at(1).sprite->currentFrame(), 0u);
    l.root->advance();
    l.root->advance(); // root frame 2: the second sprite is new
    EXPECT_EQ(list.at(1).sprite->currentFrame(), 2u);
    EXPECT_EQ(list.at(3).sprite->currentFrame(), 0u);
    EXPECT_TRUE(list.at(1).sprite->displayList().empty()); // removed in its frame 3
    l.root->advance();
    EXPECT_EQ(list.at(1).sprite->currentFrame(), 0u); // looped
    EXPECT_EQ(list.at(3).sprite->currentFrame(), 1u);
    EXPECT_EQ(list.at(3).sprite->displayList().at(1).matrix.tx, 100);
    EXPECT_EQ(l.movie.timeline().labels.at("late"), 3u);
    EXPECT_EQ(l.movie.timeline().labels.at("start"), 0u);
}

TEST(Timeline, GoingToAnyFrameBuildsWhatPlayingForwardBuilt) {
    Loaded forward(busyMovie());
    std::vector<std::string> seen;
    for (std::uint32_t f = 0; f < forward.root->frameCount(); ++f) {
        seen.push_back(describe(forward.root->displayList()));
        forward.root->advance();
    }
    ASSERT_EQ(seen.size(), 6u);
    Loaded jumping(busyMovie());
    for (const std::uint32_t target : {5u, 2u, 4u, 0u, 3u, 1u, 5u, 3u, 3u}) {
        jumping.root->gotoFrame(target);
        EXPECT_EQ(jumping.root->currentFrame(), target);
        EXPECT_EQ(describe(jumping.root->displayList()), seen[target]) << "frame " << target;
    }
}

TEST(Timeline, TheRootLoopsAndASpriteItPlacedFirstKeepsPlaying) {
    Loaded l(busyMovie());
    const std::string first = describe(l.root->displayList());
    for (std::uint32_t i = 0; i < l.root->frameCount(); ++i) {
        l.root->advance();
    }
    EXPECT_EQ(l.root->currentFrame(), 0u);
    const DisplayList& list = l.root->displayList();
    ASSERT_EQ(list.size(), 1u);
    // The sprite of frame 1 played on through the loop: 6 frames later it is at 6 % 3.
    EXPECT_EQ(list.at(1).sprite->currentFrame(), 0u);
    l.root->advance();
    EXPECT_EQ(list.at(1).sprite->currentFrame(), 1u);
    EXPECT_EQ(describe(list).substr(0, 2), first.substr(0, 2));
}

TEST(Player, AdvanceCountsFramesFromExactTime) {
    swf::SwfWriter movie(10, 10, 12);
    for (int i = 0; i < 30; ++i) {
        movie.showFrame();
    }
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    EXPECT_EQ(player.frameRate(), 12.0);
    EXPECT_EQ(player.frameCount(), 30u);
    EXPECT_EQ(player.currentFrame(), 1u);
    EXPECT_EQ(player.advance(83), 0); // one frame takes 83 1/3 ms
    EXPECT_EQ(player.advance(1), 1);
    int frames = 0;
    for (int i = 0; i < 916; ++i) {
        frames += player.advance(1); // no drift from many small steps
    }
    EXPECT_EQ(frames, 11);
    EXPECT_EQ(player.currentFrame(), 13u);
    player.stop();
    EXPECT_EQ(player.advance(10000), 0);
    EXPECT_EQ(player.currentFrame(), 13u);
    player.gotoFrame(30);
    EXPECT_EQ(player.currentFrame(), 30u);
    player.play();
    player.advance(84);
    EXPECT_EQ(player.currentFrame(), 1u); // looped
}

TEST(Player, LoadsFromAPathAndSaysWhyItCannot) {
    kinovex::test::TempDir dir("flash player");
    swf::SwfWriter movie(10, 10, 12);
    movie.showFrame();
    movie.save(dir / "movie one.swf", swf::Compression::Zlib);
    kinovex::test::WriteFile(dir / "text.swf", "this is not a movie");
    Player player;
    EXPECT_TRUE(player.load((dir / "movie one.swf").string()).ok);
    EXPECT_EQ(player.stageWidth(), 10);
    const LoadResult missing = player.load((dir / "none.swf").string());
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(player.isLoaded());
    EXPECT_NE(missing.error.find("cannot be read"), std::string::npos);
    const LoadResult text = player.load((dir / "text.swf").string());
    EXPECT_FALSE(text.ok);
    EXPECT_NE(text.error.find("not a Flash movie"), std::string::npos);
}

} // namespace
} // namespace kinovex::flash::test
