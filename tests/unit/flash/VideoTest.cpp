// Embedded video: streams coded by libavcodec's encoders, played, sought back and forth, drawn
// scaled, tinted and masked, and damaged on purpose.

#include "Video.h"
#include "FlashTestUtil.h"
#include "engine/definitions/Movie.h"
#include "engine/definitions/VideoStream.h"
#include "engine/media/VideoDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

namespace kinovex::flash::test {
namespace {

using swf::Rgb;

constexpr int kVideoWidth = 64;
constexpr int kVideoHeight = 48;
constexpr double kLeft = 10; // where the movies place their video, stage pixels
constexpr double kTop = 10;
constexpr std::uint32_t kBackdrop = 0x2040c0;
constexpr std::uint32_t kBlock = 0xe02020;

// Frame f: a 16-pixel block at x = 4f, y = 16 on the backdrop.
std::vector<swf::Image> movingBlock(int frames) {
    std::vector<swf::Image> pictures;
    for (int f = 0; f < frames; ++f) {
        pictures.push_back(swf::BlockPicture(kVideoWidth, kVideoHeight, 0xff000000u | kBackdrop,
                                             4 * f, 16, 16, 0xff000000u | kBlock));
    }
    return pictures;
}

constexpr std::uint32_t kBars[4] = {0xff0000, 0x00ff00, 0x0000ff, 0xffff00};

// Frame f: four 16-pixel bars, the first being kBars[f % 4].
std::uint32_t barColour(int frame, int bar) {
    return kBars[(frame + bar) % 4];
}

std::vector<swf::Image> rotatingBars(int frames) {
    std::vector<swf::Image> pictures;
    for (int f = 0; f < frames; ++f) {
        swf::Image image(kVideoWidth, kVideoHeight);
        for (int y = 0; y < kVideoHeight; ++y) {
            for (int x = 0; x < kVideoWidth; ++x) {
                image.at(x, y) = 0xff000000u | barColour(f, x / 16);
            }
        }
        pictures.push_back(std::move(image));
    }
    return pictures;
}

struct PlacedVideo {
    swf::VideoStreamSpec spec;
    swf::Matrix matrix = swf::Matrix::translate(kLeft, kTop);
    std::optional<swf::ColorTransform> colorTransform = std::nullopt;
};

// A 160 x 120 movie on white: the stream's frames, then one movie frame per entry of `ratios`
// showing the video at that ratio (placed in the first, moved after).
swf::SwfWriter videoMovie(const std::vector<std::vector<std::uint8_t>>& coded,
                          const std::vector<std::uint16_t>& ratios, PlacedVideo placed) {
    swf::SwfWriter movie(160, 120, 12);
    movie.setBackground(Rgb(0xffffff));
    if (placed.spec.frameCount == 0) {
        placed.spec.frameCount = static_cast<std::uint16_t>(coded.size());
    }
    placed.spec.width = kVideoWidth;
    placed.spec.height = kVideoHeight;
    const std::uint16_t id = swf::DefineVideoStream(movie, placed.spec);
    for (std::size_t i = 0; i < ratios.size(); ++i) {
        if (i < coded.size()) {
            swf::VideoFrame(movie, id, static_cast<std::uint16_t>(i), coded[i]);
        }
        swf::Place p;
        p.depth = 1;
        p.ratio = ratios[i];
        if (i == 0) {
            p.character = id;
            p.matrix = placed.matrix;
            p.colorTransform = placed.colorTransform;
        } else {
            p.move = true;
        }
        movie.place(p);
        movie.showFrame();
    }
    return movie;
}

std::vector<std::uint16_t> upTo(int count) {
    std::vector<std::uint16_t> r;
    for (int i = 0; i < count; ++i) {
        r.push_back(static_cast<std::uint16_t>(i));
    }
    return r;
}

std::string diagnosticsText(const Player& player) {
    std::string all;
    for (const Diagnostic& d : player.diagnostics()) {
        all += d.text() + "\n";
    }
    return all;
}

TEST(VideoPlayback, H263MovingBlockIsAtItsPlaceInEveryFrameAndRatiosGoBack) {
    const int frames = 10;
    const auto coded = swf::EncodeVideo(swf::VideoCodecId::H263, movingBlock(frames), 4);
    std::vector<std::uint16_t> ratios = upTo(frames);
    ratios.push_back(3); // back over a keyframe
    ratios.push_back(7); // forward again, past the keyframe at 4
    ratios.push_back(1); // back to before the first keyframe after 0
    swf::SwfWriter movie = videoMovie(coded, ratios, {});
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    std::vector<Frame> shown;
    for (int f = 0; f < frames; ++f) {
        if (f > 0) {
            player.nextFrame();
        }
        shown.push_back(render(player));
        const Frame& image = shown.back();
        const int blockX = static_cast<int>(kLeft) + 4 * f + 8;
        const int blockY = static_cast<int>(kTop) + 24;
        EXPECT_TRUE(near(rgb(image.at(blockX, blockY)), kBlock, 24))
            << "frame " << f << ": " << std::hex << rgb(image.at(blockX, blockY));
        EXPECT_TRUE(near(rgb(image.at(blockX, blockY + 16)), kBackdrop, 24)) << "frame " << f;
        EXPECT_TRUE(near(rgb(image.at(blockX + 14, blockY)), kBackdrop, 24)) << "frame " << f;
        // The box ends at the stream's size.
        EXPECT_EQ(rgb(image.at(static_cast<int>(kLeft) + kVideoWidth + 1, blockY)), 0xffffffu);
        EXPECT_EQ(rgb(image.at(blockX, static_cast<int>(kTop) + kVideoHeight + 1)), 0xffffffu);
    }
    // The same placement moved to earlier and later ratios shows exactly what forward play
    // showed there.
    for (const int expected : {3, 7, 1}) {
        player.nextFrame();
        EXPECT_EQ(render(player).pixels, shown[static_cast<std::size_t>(expected)].pixels)
            << "ratio " << expected;
    }
    // So does a jump of the movie, which builds the placement anew.
    player.gotoFrame(6);
    EXPECT_EQ(render(player).pixels, shown[5].pixels);
    player.gotoFrame(3);
    EXPECT_EQ(render(player).pixels, shown[2].pixels);
    EXPECT_TRUE(player.diagnostics().empty()) << diagnosticsText(player);
}

class ScreenVideoPlayback : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(ScreenVideoPlayback, ColourBarsAreExactInEveryFrameForwardAndBack) {
    const int frames = 8;
    const auto coded = swf::EncodeVideo(GetParam(), rotatingBars(frames), 3);
    std::vector<std::uint16_t> ratios = upTo(frames);
    ratios.push_back(4);
    ratios.push_back(2);
    ratios.push_back(7);
    swf::SwfWriter movie = videoMovie(coded, ratios, {{0, 0, 0, GetParam()}});
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    for (std::size_t i = 0; i < ratios.size(); ++i) {
        if (i > 0) {
            player.nextFrame();
        }
        const Frame image = render(player);
        for (int bar = 0; bar < 4; ++bar) {
            for (const int x : {bar * 16, bar * 16 + 15}) {
                for (const int y : {0, kVideoHeight - 1}) {
                    ASSERT_EQ(
                        rgb(image.at(static_cast<int>(kLeft) + x, static_cast<int>(kTop) + y)),
                        barColour(ratios[i], bar))
                        << "movie frame " << i << ", ratio " << ratios[i] << ", x " << x << ", y "
                        << y;
                }
            }
        }
    }
    EXPECT_TRUE(player.diagnostics().empty()) << diagnosticsText(player);
}

INSTANTIATE_TEST_SUITE_P(Video, ScreenVideoPlayback,
                         ::testing::Values(swf::VideoCodecId::ScreenVideo,
                                           swf::VideoCodecId::ScreenVideo2),
                         [](const auto& test) {
                             return test.param == swf::VideoCodecId::ScreenVideo
                                        ? std::string("Version1")
                                        : std::string("Version2");
                         });

// The stream's frames, read back from a movie.
struct LoadedStream {
    Log log;
    Movie movie;
    const VideoStream* stream = nullptr;
};

void loadStream(LoadedStream& out, const swf::SwfWriter& writer) {
    const auto bytes = writer.finish();
    ASSERT_TRUE(out.movie.load(bytes, out.log).ok);
    out.stream = out.movie.characterAs<VideoStream>(1, Character::Kind::Video);
    ASSERT_NE(out.stream, nullptr);
}

TEST(VideoStreamModel, DefinitionAndKeyframesAreReadFromTheTags) {
    const auto coded = swf::EncodeVideo(swf::VideoCodecId::H263, movingBlock(10), 4);
    PlacedVideo placed;
    placed.spec = {25, 0, 0, swf::VideoCodecId::H263, true, 2};
    LoadedStream loaded;
    loadStream(loaded, videoMovie(coded, upTo(10), placed));
    const VideoStream& s = *loaded.stream;
    EXPECT_EQ(s.frameCount, 25);
    EXPECT_EQ(s.width, kVideoWidth);
    EXPECT_EQ(s.height, kVideoHeight);
    EXPECT_EQ(s.codec, 2);
    EXPECT_TRUE(s.smoothing);
    EXPECT_EQ(s.deblocking, 2);
    ASSERT_EQ(s.frames.size(), 10u);
    for (const auto& [number, frame] : s.frames) {
        EXPECT_EQ(frame.keyframe, number % 4 == 0) << "frame " << number;
    }

    // Screen video: a frame is whole when it carries every block; the encoder leaves out the
    // blocks that did not change.
    const auto screen = swf::EncodeVideo(swf::VideoCodecId::ScreenVideo, movingBlock(1), 0);
    EXPECT_TRUE(isVideoKeyframe(3, screen[0]));
    const auto unchanged = swf::EncodeVideo(swf::VideoCodecId::ScreenVideo,
                                            {rotatingBars(1)[0], rotatingBars(1)[0]}, 0);
    EXPECT_FALSE(isVideoKeyframe(3, unchanged[1])); // every block left out
    // Cut short, no frame is a keyframe.
    for (const auto& [codec, data] :
         {std::pair{std::uint8_t{2}, coded[0]}, {std::uint8_t{3}, screen[0]}}) {
        EXPECT_FALSE(isVideoKeyframe(codec, std::span(data).first(3)));
    }
    EXPECT_TRUE(isVideoKeyframe(4, std::vector<std::uint8_t>{0x00, 0x12}));
    EXPECT_FALSE(isVideoKeyframe(4, std::vector<std::uint8_t>{0x80, 0x12}));
    EXPECT_TRUE(isVideoKeyframe(5, std::vector<std::uint8_t>{0x00, 0x00, 0x10, 0x36}));
    EXPECT_FALSE(isVideoKeyframe(5, std::vector<std::uint8_t>{0x00, 0x00, 0x10}));
}

TEST(VideoStreamModel, SeekingDecodesOnlyFromTheLastKeyframe) {
    const auto coded = swf::EncodeVideo(swf::VideoCodecId::H263, movingBlock(10), 4);
    LoadedStream loaded;
    loadStream(loaded, videoMovie(coded, upTo(10), {}));
    VideoDecoder decoder(*loaded.stream);
    Log log;
    ASSERT_NE(decoder.pictureAt(9, log), nullptr);
    EXPECT_EQ(decoder.framesDecoded(), 2u); // 8 and 9
    const VideoPicture* back = decoder.pictureAt(5, log);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(decoder.framesDecoded(), 4u); // 4 and 5
    VideoDecoder fresh(*loaded.stream);
    const VideoPicture* direct = fresh.pictureAt(5, log);
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(back->pixels, direct->pixels);
    EXPECT_EQ(back->width, kVideoWidth);
    EXPECT_EQ(back->height, kVideoHeight);

    decoder.pictureAt(6, log);
    EXPECT_EQ(decoder.framesDecoded(), 5u); // on from 5
    decoder.pictureAt(6, log);
    EXPECT_EQ(decoder.framesDecoded(), 5u); // nothing new
    decoder.pictureAt(2, log);
    EXPECT_EQ(decoder.framesDecoded(), 8u); // 0, 1 and 2
    // Past the last frame the last picture stays.
    const VideoPicture* last = decoder.pictureAt(500, log);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->pixels, fresh.pictureAt(9, log)->pixels);
    EXPECT_TRUE(log.entries().empty());
}

TEST(VideoRobustness, DamagedFramesAndTagsAreReportedAndPlayGoesOn) {
    auto coded = swf::EncodeVideo(swf::VideoCodecId::H263, movingBlock(4), 0);
    swf::SwfWriter movie(160, 120, 12);
    movie.setBackground(Rgb(0xffffff));
    const std::uint16_t id =
        swf::DefineVideoStream(movie, {4, kVideoWidth, kVideoHeight, swf::VideoCodecId::H263});
    const std::uint16_t shape = defineRect(movie, 0, 0, 5, 5, 0x000000);
    const std::uint16_t unknownCodec =
        swf::DefineVideoStream(movie, {1, kVideoWidth, kVideoHeight, 9});
    swf::VideoFrame(movie, id, 0, coded[0]);
    swf::VideoFrame(movie, id, 0, coded[1]); // twice
    std::vector<std::uint8_t> noise(300);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    swf::VideoFrame(movie, id, 1, noise);
    // A picture header claiming 65535 x 65535 pixels.
    swf::VideoFrame(movie, id, 2, {0x00, 0x00, 0x84, 0x00, 0x7f, 0xff, 0xff, 0xff, 0xff, 0x00});
    movie.rawTag(swf::tag::VideoFrame, {0x01, 0x00, 0x03}); // too short for its numbers
    swf::VideoFrame(movie, shape, 0, coded[0]);             // not a video stream
    swf::VideoFrame(movie, unknownCodec, 0, coded[0]);
    swf::Place p;
    p.depth = 1;
    p.character = id;
    p.matrix = swf::Matrix::translate(kLeft, kTop);
    p.ratio = 0;
    movie.place(p);
    swf::Place other;
    other.depth = 2;
    other.character = unknownCodec;
    other.matrix = swf::Matrix::translate(80, 60);
    movie.place(other);
    movie.showFrame();
    for (std::uint16_t ratio = 1; ratio < 4; ++ratio) {
        swf::Place move;
        move.depth = 1;
        move.move = true;
        move.ratio = ratio;
        movie.place(move);
        movie.showFrame();
    }
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame first = render(player);
    EXPECT_TRUE(
        near(rgb(first.at(static_cast<int>(kLeft) + 8, static_cast<int>(kTop) + 24)), kBlock, 24));
    EXPECT_EQ(rgb(first.at(100, 80)), 0xffffffu); // the stream no decoder knows shows nothing
    for (int f = 1; f < 4; ++f) {
        player.nextFrame();
        render(player);
    }
    player.gotoFrame(2);
    render(player);
    const std::string log = diagnosticsText(player);
    EXPECT_NE(log.find("given twice"), std::string::npos) << log;
    EXPECT_NE(log.find("not a video stream"), std::string::npos) << log;
    EXPECT_NE(log.find("malformed"), std::string::npos) << log;
    EXPECT_NE(log.find("codec 9 cannot be played"), std::string::npos) << log;
    EXPECT_NE(log.find("frame 1 cannot be decoded"), std::string::npos) << log;
}

// Two colours side by side (red left, blue right), shown scaled by 2 x 1.5 under a colour
// transform that halves red and adds 64 green.
Frame drawScaled(bool smoothing, bool masked) {
    swf::Image picture(kVideoWidth, kVideoHeight);
    for (int y = 0; y < kVideoHeight; ++y) {
        for (int x = 0; x < kVideoWidth; ++x) {
            picture.at(x, y) = x < kVideoWidth / 2 ? 0xffff0000u : 0xff0000ffu;
        }
    }
    const auto coded = swf::EncodeVideo(swf::VideoCodecId::ScreenVideo, {picture}, 0);
    swf::SwfWriter movie(160, 120, 12);
    movie.setBackground(Rgb(0xffffff));
    const std::uint16_t id = swf::DefineVideoStream(
        movie, {1, kVideoWidth, kVideoHeight, swf::VideoCodecId::ScreenVideo, smoothing});
    swf::VideoFrame(movie, id, 0, coded[0]);
    if (masked) {
        swf::Place mask;
        mask.depth = 1;
        mask.character = defineRect(movie, 0, 0, 40, 120, 0x000000);
        mask.clipDepth = 2;
        movie.place(mask);
    }
    swf::Place p;
    p.depth = 2;
    p.character = id;
    p.matrix = swf::Matrix::scale(2, 1.5, kLeft, kTop);
    swf::ColorTransform cx;
    cx.rMul = 128;
    cx.gAdd = 64;
    p.colorTransform = cx;
    movie.place(p);
    movie.showFrame();
    Player player;
    EXPECT_TRUE(load(player, movie).ok);
    return render(player);
}

TEST(VideoDrawing, ScaledTintedSmoothedAndMasked) {
    const Frame f = drawScaled(false, false);
    const int midY = static_cast<int>(kTop) + 36;
    EXPECT_TRUE(near(rgb(f.at(42, midY)), 0x804000, 2)) << std::hex << rgb(f.at(42, midY));
    EXPECT_TRUE(near(rgb(f.at(106, midY)), 0x0040ff, 2)) << std::hex << rgb(f.at(106, midY));
    // The box is the stream's size, scaled: 128 x 72 pixels.
    EXPECT_TRUE(near(rgb(f.at(136, midY)), 0x0040ff, 2));
    EXPECT_EQ(rgb(f.at(140, midY)), 0xffffffu);
    EXPECT_TRUE(near(rgb(f.at(42, 80)), 0x804000, 2));
    EXPECT_EQ(rgb(f.at(42, 84)), 0xffffffu);
    // Without smoothing the last red column stays red; smoothed it takes some blue.
    const int edge = static_cast<int>(kLeft) + kVideoWidth - 1;
    EXPECT_TRUE(near(rgb(f.at(edge, midY)), 0x804000, 2)) << std::hex << rgb(f.at(edge, midY));
    const Frame smooth = drawScaled(true, false);
    const std::uint32_t blended = rgb(smooth.at(edge, midY));
    EXPECT_LT(blended >> 16, 0x78u) << std::hex << blended;
    EXPECT_GT(blended & 0xff, 0x20u) << std::hex << blended;

    const Frame masked = drawScaled(false, true);
    EXPECT_TRUE(near(rgb(masked.at(30, midY)), 0x804000, 2));
    EXPECT_EQ(rgb(masked.at(42, midY)), 0xffffffu);
    EXPECT_EQ(rgb(masked.at(106, midY)), 0xffffffu);
}

} // namespace
} // namespace kinovex::flash::test
