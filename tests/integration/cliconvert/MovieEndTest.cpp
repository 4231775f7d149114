// Where kinovex-convert ends a movie whose length the command line leaves open, and what it
// presses on the way: each movie made here at 12 frames a second, converted to a png sequence
// whose frames are counted, with the reason the tool gives for the end.

#include "ToolRun.h"

#include "Actions.h"
#include "Button.h"
#include "Sound.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <numbers>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using swf::Actions;
using swf::Int;
namespace op = swf::op;

const std::string kTool = KINOVEX_CONVERT_TOOL;
constexpr double kFps = 12;

std::uint16_t Box(swf::SwfWriter& movie, std::uint32_t rgb, double w, double h) {
    swf::ShapeBuilder box;
    box.fill1(box.addFill(swf::FillStyle::solid(swf::Rgb(rgb)))).rectangle(0, 0, w, h);
    return movie.defineShape(box);
}

void DoAction(swf::Timeline& timeline, const Actions& a) {
    timeline.rawTag(swf::tag::DoAction, a.bytes());
}

Actions Stop() {
    Actions a;
    a.op(op::Stop);
    return a;
}

// A box at x = 2 * frame on each of `frames` frames of `timeline`, placed at depth 1 on the
// first; `script(frame)` (1-based) runs on each frame before it shows.
void WalkingBox(swf::Timeline& timeline, std::uint16_t box, int frames,
                const std::function<void(swf::Timeline&, int)>& script = {}) {
    for (int f = 1; f <= frames; ++f) {
        if (script) {
            script(timeline, f);
        }
        if (f == 1) {
            timeline.place(1, box, swf::Matrix::translate(0, 10));
        } else {
            timeline.move(1, swf::Matrix::translate(2.0 * (f - 1), 10));
        }
        timeline.showFrame();
    }
}

// A sprite of a walking box, placed at depth 2 of the main timeline's first frame as "clip".
void PlaceClip(swf::SwfWriter& movie, swf::Sprite& clip) {
    swf::Place place;
    place.depth = 2;
    place.character = movie.defineSprite(clip);
    place.name = "clip";
    movie.place(place);
}

// 4 s of a walking box, stopped by a script on frame 12.
swf::SwfWriter StoppedEarly() {
    swf::SwfWriter movie(64, 48, kFps);
    WalkingBox(movie, Box(movie, 0xFF0000, 8, 8), 48, [](swf::Timeline& t, int f) {
        if (f == 12) {
            DoAction(t, Stop());
        }
    });
    return movie;
}

// One frame on the main timeline; a clip walks for 3 s and stops on its last frame.
swf::SwfWriter ClipLongerThanMain() {
    swf::SwfWriter movie(64, 48, kFps);
    swf::Sprite clip;
    WalkingBox(clip, Box(movie, 0x00FF00, 8, 8), 36, [](swf::Timeline& t, int f) {
        if (f == 36) {
            DoAction(t, Stop());
        }
    });
    PlaceClip(movie, clip);
    movie.showFrame();
    return movie;
}

// The main timeline stops on its one frame; a clip of half a second loops for ever.
swf::SwfWriter LoopingDecoration() {
    swf::SwfWriter movie(64, 48, kFps);
    swf::Sprite clip;
    WalkingBox(clip, Box(movie, 0x0000FF, 8, 8), 6);
    DoAction(movie, Stop());
    PlaceClip(movie, clip);
    movie.showFrame();
    return movie;
}

// A walking box for 1 s, stopped on its last frame, while a tone of `seconds` started on its
// first frame plays on, `loops` times.
swf::SwfWriter BoxWithTone(int seconds, std::uint16_t loops) {
    swf::SwfWriter movie(64, 48, kFps);
    std::vector<std::int16_t> tone;
    for (int i = 0; i < seconds * 44100; ++i) {
        const auto v =
            static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * 440 * i / 44100));
        tone.push_back(v);
        tone.push_back(v);
    }
    const std::uint16_t sound =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, true},
                         static_cast<std::uint32_t>(seconds * 44100), swf::Pcm16Bytes(tone));
    swf::SoundInfoSpec info;
    info.loops = loops;
    swf::StartSound(movie, sound, info);
    WalkingBox(movie, Box(movie, 0xFF00FF, 8, 8), 12, [](swf::Timeline& t, int f) {
        if (f == 12) {
            DoAction(t, Stop());
        }
    });
    return movie;
}

// Stopped on one frame; every 1.2 s a timer moves the box "box" on, and clears itself at its
// third call (3.6 s). Between calls the picture stands still for longer than a second.
swf::SwfWriter TimerDriven() {
    swf::SwfWriter movie(64, 48, kFps);
    swf::Place place;
    place.depth = 1;
    place.character = Box(movie, 0xFFFF00, 8, 8);
    place.name = "box";
    movie.place(place);
    Actions tick;
    tick.push("n").getVar("n").push(Int{1}).op(op::Add2).op(op::SetVariable);
    tick.getVar("box").push("_x").getVar("n").push(Int{10}).op(op::Multiply).op(op::SetMember);
    tick.getVar("n").push(Int{3}).op(op::Equals2).op(op::Not).ifTrue("on");
    tick.getVar("id").call("clearInterval", 1).op(op::Pop).label("on");
    Actions a;
    a.setVar("n", Int{0});
    a.push("id").push(Int{1200}).defineFunction("", {}, tick).call("setInterval", 2);
    a.op(op::SetVariable).op(op::Stop);
    DoAction(movie, a);
    movie.showFrame();
    return movie;
}

// 40 frames of a walking box whose script on frame 20 sends it back to frame 5 to play on:
// frame 40 is never shown.
swf::SwfWriter ScriptLoop() {
    swf::SwfWriter movie(64, 48, kFps);
    WalkingBox(movie, Box(movie, 0x0000FF, 8, 8), 40, [](swf::Timeline& t, int f) {
        if (f == 20) {
            Actions back;
            back.gotoFrame(4).op(op::Play);
            DoAction(t, back);
        }
    });
    return movie;
}

// Stopped on one frame while a script polls every 100 ms and changes nothing that is seen.
swf::SwfWriter PollingTimer() {
    swf::SwfWriter movie(64, 48, kFps);
    movie.place(1, Box(movie, 0x00FFFF, 8, 8));
    Actions poll;
    poll.push("n").getVar("n").push(Int{1}).op(op::Add2).op(op::SetVariable);
    Actions a;
    a.setVar("n", Int{0});
    a.push(Int{100}).defineFunction("", {}, poll).call("setInterval", 2).op(op::Pop);
    a.op(op::Stop);
    DoAction(movie, a);
    movie.showFrame();
    return movie;
}

// Stands on its first frame with a button named "play_btn" whose press plays on: 2 s of a
// walking box follow, and then the movie goes back to its first frame.
swf::SwfWriter PlayButton() {
    swf::SwfWriter movie(64, 48, kFps);
    const std::uint16_t face = Box(movie, 0x808080, 32, 16);
    Actions play;
    play.op(op::Play);
    const std::uint16_t button = swf::DefineButton2(
        movie, {swf::ButtonRecordSpec(swf::ButtonLook::Up | swf::ButtonLook::Hit, face)},
        {swf::ButtonActions{swf::ButtonCond::OverDownToOverUp, 0, play.bytes()}});
    swf::Place place;
    place.depth = 3;
    place.character = button;
    place.name = "play_btn";
    place.matrix = swf::Matrix::translate(16, 24);
    movie.place(place);
    DoAction(movie, Stop());
    movie.showFrame();
    movie.remove(3);
    WalkingBox(movie, Box(movie, 0x00FFFF, 8, 8), 24);
    return movie;
}

struct Outcome {
    std::size_t frames = 0;
    std::string ended;   // the text after "ended: "
    std::string pressed; // the line telling what was pressed, if any
};

class MovieEnd : public ::testing::Test {
protected:
    Outcome Convert(const swf::SwfWriter& movie, const std::string& name,
                    std::vector<std::string> args) {
        const fs::path input = m_dir / (name + ".swf");
        movie.save(input);
        const fs::path folder = m_dir / name;
        fs::create_directories(folder);
        args.insert(args.begin(), {kTool, "--ffmpeg", "/usr/bin/ffmpeg", input.string(), "-p",
                                   "png", "-o", (folder / "f").string(), "--max-duration", "20"});
        const test::ToolResult run = test::RunProgram(args, m_dir.path());
        EXPECT_EQ(run.status, 0) << run.err;
        Outcome out;
        out.frames = static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
        out.ended = lineAfter(run.err, "ended: ");
        out.pressed = lineAfter(run.err, ": pressed ");
        return out;
    }

    static std::string lineAfter(const std::string& text, const std::string& marker) {
        const auto at = text.find(marker);
        if (at == std::string::npos) {
            return {};
        }
        const auto from = at + marker.size();
        return text.substr(from, text.find('\n', from) - from);
    }

    test::TempDir m_dir{"kinovex movie end"};
};

TEST_F(MovieEnd, ALengthLeftOpenEndsWhenNothingMoreHappensOnItsOwn) {
    struct Case {
        const char* name;
        std::function<swf::SwfWriter()> movie;
        std::vector<std::string> args;
        std::size_t frames; // within two
        std::string ended;  // the reason, before its time
        std::string pressed;
    };
    const std::vector<Case> cases = {
        // Stops on frame 12 (output frame 11): that picture a second long, then the end.
        {"stopped_early", StoppedEarly, {}, 23, "movie finished at ", ""},
        // The clip's 36 frames and a still second.
        {"clip_longer", ClipLongerThanMain, {}, 47, "movie finished at ", ""},
        // At rest once the clip showed its last frame (output frame 5): one round more.
        {"decoration", LoopingDecoration, {}, 11, "movie finished at ", ""},
        // The tone ends at 3 s; then a still second.
        {"long_sound", [] { return BoxWithTone(3, 1); }, {}, 48, "movie finished at ", ""},
        // A 1 s tone looping as background music holds nothing once it went round: as
        // stopped_early.
        {"background_loop", [] { return BoxWithTone(1, 1000); }, {}, 23, "movie finished at ", ""},
        // The last call at 3.6 s (output frame 44), then a still second.
        {"timer", TimerDriven, {}, 56, "movie finished at ", ""},
        // Sent back to frame 5 a second time at output frame 34: it loops; one round more.
        {"script_loop", ScriptLoop, {}, 50, "movie finished at ", ""},
        // A timer due within a second at every frame for 2 s polls: then a still second.
        {"polling", PollingTimer, {}, 37, "movie finished at ", ""},
        // Pressed at output frame 1; the 24 frames after the first, then back to the first.
        {"play_button", PlayButton, {}, 26, "movie finished at ", "\"play_btn\" at 0:00.1"},
        // Two engines drawing alternate frames press and end alike.
        {"play_button_lanes",
         PlayButton,
         {"-j", "4"},
         26,
         "movie finished at ",
         "\"play_btn\" at 0:00.1"},
        {"decoration_lanes", LoopingDecoration, {"-j", "4"}, 11, "movie finished at ", ""},
        {"play_button_off",
         PlayButton,
         {"--no-auto-play"},
         12,
         "stopped, waiting for input at ",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome out = Convert(c.movie(), c.name, c.args);
        EXPECT_NEAR(static_cast<double>(out.frames), static_cast<double>(c.frames), 2.0);
        EXPECT_EQ(out.ended.rfind(c.ended, 0), 0u) << out.ended;
        EXPECT_EQ(out.pressed, c.pressed);
    }
}

} // namespace
} // namespace kinovex
