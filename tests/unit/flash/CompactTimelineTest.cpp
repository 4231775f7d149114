// Timelines keep each placement as a compact record; playing, jumping and loading must see
// exactly what the movie says, however it is stored.

#include "FlashTestUtil.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Timeline.h"
#include "engine/swf/SwfFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace kinovex::flash::test {
namespace {

PlaceCommand plainMove(std::uint16_t depth, const Matrix& m) {
    PlaceCommand p;
    p.depth = depth;
    p.move = true;
    p.hasMatrix = true;
    p.matrix = m;
    return p;
}

TEST(TimelineRecords, PlacementsComeBackExactlyAsRecorded) {
    std::vector<PlaceCommand> cases;
    cases.push_back(plainMove(3, Matrix{0.75, -0.5, 0.5, 0.75, -1200, 88000}));
    cases.push_back(plainMove(4, Matrix{}));

    PlaceCommand full;
    full.depth = 9;
    full.hasCharacter = full.hasMatrix = full.hasColorTransform = full.hasRatio = true;
    full.hasName = full.hasClipDepth = full.hasFilters = full.hasBlendMode = true;
    full.hasCacheAsBitmap = full.hasVisible = true;
    full.characterId = 412;
    full.matrix = Matrix{-32768.0, 1.0 / 65536, -1.0 / 65536, 32767.5, -2147483647.0, 5};
    full.colorTransform = ColorTransform{0.5, 1.25, -1, 0, 12, -255, 0, 3};
    full.ratio = 65535;
    full.name = "door_left";
    full.clipDepth = 20;
    Filter blur;
    blur.blurX = 3.5;
    Filter glow;
    glow.type = Filter::Type::GradientGlow;
    glow.gradient = {{0, Rgba{1, 2, 3, 4}}, {255, Rgba{}}};
    full.filters = {blur, glow};
    full.blendMode = BlendMode::Hardlight;
    full.cacheAsBitmap = true;
    full.visible = false;
    auto actions = std::make_shared<std::vector<ClipAction>>(1);
    (*actions)[0].events = ClipEventEnterFrame;
    full.clipActions = actions;
    cases.push_back(full);

    // Colour transform without anything else rare, and a flagged-off visible placement.
    PlaceCommand faded = plainMove(5, Matrix::translate(20, 40));
    faded.hasColorTransform = true;
    faded.colorTransform.aMult = 0.25;
    faded.hasVisible = true;
    faded.visible = false;
    cases.push_back(faded);

    // Matrices no file holds but code may make: they must not be rounded.
    for (const Matrix& wide :
         {Matrix{0.1, 0, 0, 1, 0, 0}, Matrix{1, 0, 0, 1, 0.5, 0}, Matrix{1, -0.0, 0, 1, 0, 0},
          Matrix{1, 0, 0, 1, 0, 1e12}, Matrix{40000.0, 0, 0, 1, 0, 0}}) {
        cases.push_back(plainMove(6, wide));
    }

    TimelineDef def;
    std::vector<PlaceRecord> records;
    for (const PlaceCommand& c : cases) {
        records.push_back(def.recordPlace(PlaceCommand(c)));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const PlaceCommand back = def.placeCommand(records[i]);
        EXPECT_EQ(back, cases[i]) << "case " << i;
        EXPECT_EQ(std::signbit(back.matrix.b), std::signbit(cases[i].matrix.b)) << "case " << i;
    }
}

TEST(TimelineRecords, PlainMovesNeedNothingOutOfLine) {
    TimelineDef def;
    for (int i = 0; i < 1000; ++i) {
        // Matrices as files hold them: 16.16 scale and skew, whole twips.
        const double scale = std::round(std::cos(i * 0.01) * 65536) / 65536;
        def.recordPlace(plainMove(static_cast<std::uint16_t>(i % 7 + 1),
                                  Matrix{scale, 0.25, -0.25, 1.5, i * 20.0, -i * 1.0}));
    }
    PlaceCommand replaced = plainMove(2, Matrix{});
    replaced.hasCharacter = true;
    replaced.characterId = 7;
    def.recordPlace(std::move(replaced));
    EXPECT_TRUE(def.colorTransforms.empty());
    EXPECT_TRUE(def.placeExtras.empty());
}

// Everything a display list shows, to the last field, as text two lists can be compared by.
std::string describe(const DisplayList& list) {
    std::ostringstream out;
    out.precision(17);
    for (const auto& [depth, obj] : list) {
        const Matrix& m = obj.matrix;
        const ColorTransform& cx = obj.colorTransform;
        out << depth << ":" << obj.characterId << "@" << obj.placedFrame << " m(" << m.a << ","
            << m.b << "," << m.c << "," << m.d << "," << m.tx << "," << m.ty << ") cx(" << cx.rMult
            << "," << cx.gMult << "," << cx.bMult << "," << cx.aMult << "," << cx.rAdd << ","
            << cx.gAdd << "," << cx.bAdd << "," << cx.aAdd << ") r" << obj.ratio << " n'"
            << obj.name << "' clip" << obj.clipDepth << " b" << static_cast<int>(obj.blendMode)
            << " cache" << obj.cacheAsBitmap << " vis" << obj.visible << " f[";
        for (const Filter& f : obj.filters) {
            out << static_cast<int>(f.type) << "/" << f.blurX << "/" << static_cast<int>(f.color.r)
                << " ";
        }
        out << "]; ";
    }
    return out.str();
}

// Objects that move every frame, are renamed, get other filters and colours, are replaced and
// removed; every property changed later is also set where the object is placed.
swf::SwfWriter changingMovie() {
    swf::SwfWriter movie(200, 200, 12);
    const auto red = defineRect(movie, 0, 0, 10, 10, 0xff0000);
    const auto blue = defineRect(movie, 0, 0, 10, 10, 0x0000ff);
    constexpr int kFrames = 10;
    for (int f = 0; f < kFrames; ++f) {
        swf::Place walker;
        walker.depth = 1;
        if (f == 0) {
            walker.character = red;
            walker.name = "walker";
            walker.colorTransform = swf::ColorTransform::alpha(0.5);
            walker.filters = std::vector<swf::Filter>{swf::BlurFilter{}};
            walker.blendMode = swf::BlendMode::Multiply;
            walker.ratio = 1;
        } else {
            walker.move = true;
        }
        walker.matrix = swf::Matrix::transform(0.8 + f * 0.05, 1.1, f * 0.3, 10 + f * 7.3, 20);
        if (f == 3) {
            walker.name = "runner";
        }
        if (f == 4) {
            swf::GlowFilter glow;
            glow.color = swf::Rgb(0x00ff00);
            walker.filters = std::vector<swf::Filter>{glow, swf::BlurFilter{8, 2, 2}};
        }
        if (f == 5) {
            walker.colorTransform = swf::ColorTransform::alpha(0.9);
            walker.ratio = 40;
        }
        movie.place(walker);

        if (f == 1 || f == 6) { // placed, then replaced by another shape at the same depth
            swf::Place p;
            p.depth = 2;
            p.character = f == 1 ? red : blue;
            p.matrix = swf::Matrix::scale(1.5, 0.5, 100, 100);
            p.clipDepth = 3;
            movie.place(p);
        }
        if (f > 1 && f != 6) {
            movie.move(2, swf::Matrix::scale(1.5 - f * 0.1, 0.5, 100 - f, 100));
        }
        if (f == 2) {
            movie.place(3, blue, swf::Matrix::translate(50, 60));
        }
        if (f == 7) {
            movie.remove(3);
        }
        movie.showFrame();
    }
    return movie;
}

struct Played {
    Movie movie;
    Log log;
    std::size_t sprites = 0;
    std::unique_ptr<TimelineInstance> root;

    explicit Played(const swf::SwfWriter& writer) {
        EXPECT_TRUE(movie.load(writer.finish(swf::Compression::Zlib), log).ok);
        root = std::make_unique<TimelineInstance>(movie, movie.timeline(), 0, sprites);
        root->start();
    }
};

TEST(TimelineRecords, GoingBackRebuildsWhatForwardPlayShowed) {
    Played forward(changingMovie());
    ASSERT_TRUE(forward.log.entries().empty()) << forward.log.entries().front().text();
    std::vector<std::string> seen;
    for (std::uint32_t f = 0; f < forward.root->frameCount(); ++f) {
        seen.push_back(describe(forward.root->displayList()));
        forward.root->advance();
    }
    ASSERT_EQ(seen.size(), 10u);
    // The walker shows its rare parts as placed, renamed and refiltered.
    EXPECT_NE(seen[0].find("n'walker'"), std::string::npos);
    EXPECT_NE(seen[3].find("n'runner'"), std::string::npos);
    EXPECT_NE(seen[4].find("f[2/"), std::string::npos);
    EXPECT_NE(seen[5].find(" r40 "), std::string::npos);

    // A script's jump back keeps what still stands and puts back each placement's state.
    Played jumping(changingMovie());
    jumping.root->jumpTo(9);
    for (const std::uint32_t target : {8u, 6u, 5u, 4u, 3u, 1u, 0u}) {
        jumping.root->jumpTo(9);
        jumping.root->jumpTo(target);
        EXPECT_EQ(describe(jumping.root->displayList()), seen[target]) << "jump to " << target;
    }
    // Going to a frame replays from the start.
    Played seeking(changingMovie());
    for (const std::uint32_t target : {9u, 2u, 7u, 0u, 5u, 4u, 8u, 3u}) {
        seeking.root->gotoFrame(target);
        EXPECT_EQ(describe(seeking.root->displayList()), seen[target]) << "go to " << target;
    }
}

TEST(MovieLoading, FileBytesGivenUpReadTheSameMovie) {
    swf::SwfWriter writer = changingMovie();
    for (const auto compression :
         {swf::Compression::None, swf::Compression::Zlib, swf::Compression::Lzma}) {
        std::vector<std::uint8_t> bytes = writer.finish(compression);
        // A stored file with bytes past its declared length, as some tools write them.
        if (compression == swf::Compression::None) {
            bytes.insert(bytes.end(), 100, 0xAB);
        }
        Log copiedLog;
        SwfFile copied;
        ASSERT_TRUE(openSwf(std::span<const std::uint8_t>(bytes), copied, copiedLog).ok);
        // The file's own length, what a movie's LoaderInfo counts as its bytes.
        const std::size_t fileLength = bytes.size();
        EXPECT_EQ(copied.fileLength, fileLength);
        Log takenLog;
        SwfFile taken;
        ASSERT_TRUE(openSwf(std::move(bytes), taken, takenLog).ok);
        EXPECT_EQ(taken.fileLength, fileLength);
        EXPECT_EQ(taken.data, copied.data);
        EXPECT_EQ(taken.data.size(), taken.declaredLength);
        EXPECT_EQ(taken.frameCount, 10);
        EXPECT_EQ(taken.firstTagOffset, copied.firstTagOffset);
        EXPECT_FALSE(taken.truncated);
        EXPECT_TRUE(takenLog.entries().empty());
    }
    // A stored file cut short keeps what is there, either way.
    std::vector<std::uint8_t> cut = writer.finish();
    cut.resize(cut.size() - 5);
    SwfFile copied;
    Log log;
    ASSERT_TRUE(openSwf(std::span<const std::uint8_t>(cut), copied, log).ok);
    SwfFile taken;
    ASSERT_TRUE(openSwf(std::move(cut), taken, log).ok);
    EXPECT_EQ(taken.data, copied.data);
    EXPECT_TRUE(taken.truncated);
}

TEST(MovieLoading, AMovieLongerThanTheFrameLimitPlaysTheFramesKept) {
    swf::SwfWriter writer(100, 100, 24);
    const auto box = defineRect(writer, 0, 0, 10, 10, 0xff0000);
    writer.place(1, box);
    for (int f = 0; f < 16005; ++f) {
        if (f == 15999) {
            writer.move(1, swf::Matrix::translate(30, 0));
        }
        writer.showFrame();
    }
    Played l(writer);
    ASSERT_FALSE(l.log.entries().empty());
    EXPECT_NE(l.log.entries().front().message.find("too many frames"), std::string::npos);
    EXPECT_EQ(l.root->frameCount(), 16000u);
    l.root->gotoFrame(15999);
    ASSERT_EQ(l.root->currentFrame(), 15999u);
    EXPECT_EQ(l.root->displayList().at(1).matrix.tx, 600);
}

} // namespace
} // namespace kinovex::flash::test
