// kinovex-frame with the movie's scripts: --trace on standard output and nothing else there,
// --click before a frame, --audio as a WAV file.

#include "Actions.h"
#include "FrameToolRun.h"
#include "Sound.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kinovex::test {
namespace {

// Standard output only: --trace must write nothing else there.
ToolRun runTool(const std::string& args) {
    return runFrameTool(args, ToolOutput::StandardOutput);
}

using swf::Actions;
using swf::Int;
namespace op = swf::op;

void doAction(swf::Timeline& t, const Actions& a) {
    t.rawTag(12, a.bytes());
}

// obj.method(args...), result dropped.
Actions& callMethod(Actions& a, const std::string& object, const std::string& method,
                    const std::vector<swf::PushValue>& args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        a.push(*it);
    }
    a.push(Int{static_cast<std::int32_t>(args.size())}).getVar(object).push(method);
    return a.op(op::CallMethod).op(op::Pop);
}

TEST(FrameToolScripts, TraceLinesAloneOnStandardOutput) {
    TempDir dir("frame tool trace");
    swf::SwfWriter movie(100, 100, 12);
    Actions first;
    first.trace("f1").push(0.1).push(0.2).op(op::Add2).op(op::Trace);
    // Problems go to the diagnostics, never to standard output.
    first.getUrl("http://example.com/x.txt", "").trace("multi\nline");
    doAction(movie, first);
    movie.showFrame();
    doAction(movie, Actions().trace("f2"));
    movie.showFrame();
    movie.save(dir / "trace.swf");

    ToolRun r = runTool(quote((dir / "trace.swf").string()) + " --frames 3 --trace");
    ASSERT_EQ(r.exitCode, 0);
    // Frame 3 is the root looping back to frame 1.
    EXPECT_EQ(r.output, "f1\n0.3\nmulti\nline\nf2\nf1\n0.3\nmulti\nline\n");

    // With a picture asked for as well, the output is the same and the picture is written.
    r = runTool(quote((dir / "trace.swf").string()) + " --frames 2 --trace -o " +
                quote((dir / "f.png").string()));
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "f1\n0.3\nmulti\nline\nf2\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "f.png"));

    // Without --trace nothing is printed.
    r = runTool(quote((dir / "trace.swf").string()) + " --frames 2 -o " +
                quote((dir / "f.png").string()));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "");
}

TEST(FrameToolScripts, ClicksArriveBeforeTheirFrame) {
    TempDir dir("frame tool click");
    swf::SwfWriter movie(200, 100, 12);
    Actions first;
    first.push("onMouseDown")
        .defineFunction("", {},
                        Actions()
                            .push("down ")
                            .getVar("_xmouse")
                            .op(op::Add2)
                            .push(",")
                            .op(op::Add2)
                            .getVar("_ymouse")
                            .op(op::Add2)
                            .op(op::Trace))
        .op(op::SetVariable);
    first.push({"listener", Int{0}}).op(op::InitObject).op(op::SetVariable);
    first.getVar("listener")
        .push("onMouseUp")
        .defineFunction("", {}, Actions().trace("up"))
        .op(op::SetMember);
    first.getVar("listener").push(Int{1}).getVar("Mouse").push("addListener");
    first.op(op::CallMethod).op(op::Pop);
    first.trace("f1");
    doAction(movie, first);
    movie.showFrame();
    doAction(movie, Actions().trace("f2"));
    movie.showFrame();
    doAction(movie, Actions().trace("f3").op(op::Stop));
    movie.showFrame();
    movie.save(dir / "click.swf");

    ToolRun r = runTool(quote((dir / "click.swf").string()) +
                        " --frames 3 --trace --click 10.5,20@2 --click=150,80@3");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "f1\ndown 10.5,20\nup\nf2\ndown 150,80\nup\nf3\n");

    r = runTool(quote((dir / "click.swf").string()) + " --frames 3 --trace --click 10,20");
    EXPECT_EQ(r.exitCode, 2) << "a click needs its frame";
}

TEST(FrameToolScripts, AudioIsTheMixedSoundOfTheFramesRun) {
    TempDir dir("frame tool audio");
    swf::SwfWriter movie(100, 100, 10);
    std::vector<std::uint8_t> pcm;
    for (int i = 0; i < 4410; ++i) {
        pcm.push_back(0x10); // 10000 = 0x2710, little-endian
        pcm.push_back(0x27);
    }
    const auto sound =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false}, 4410, pcm);
    std::vector<std::uint8_t> exportBody{1,
                                         0,
                                         static_cast<std::uint8_t>(sound & 0xff),
                                         static_cast<std::uint8_t>(sound >> 8),
                                         'b',
                                         'e',
                                         'e',
                                         'p',
                                         0};
    movie.rawTag(56, exportBody);
    Actions first;
    first.push("s").push(Int{0}).push("Sound").op(op::NewObject).op(op::SetVariable);
    callMethod(first, "s", "attachSound", {"beep"});
    callMethod(first, "s", "start", {});
    first.op(op::Stop);
    doAction(movie, first);
    movie.showFrame();
    movie.save(dir / "sound.swf");

    const auto wav = dir / "out.wav";
    const ToolRun r =
        runTool(quote((dir / "sound.swf").string()) + " --frames 3 --audio " + quote(wav.string()));
    ASSERT_EQ(r.exitCode, 0);
    std::ifstream in(wav, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    // Three frames at 10 a second: 3 * 4410 stereo samples after a 44-byte header.
    ASSERT_EQ(bytes.size(), 44u + 3u * 4410u * 4u);
    auto u16 = [&](std::size_t at) { return bytes[at] | bytes[at + 1] << 8; };
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
    };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1);      // PCM
    EXPECT_EQ(u16(22), 2);      // stereo
    EXPECT_EQ(u32(24), 44100u); // rate
    EXPECT_EQ(u16(34), 16);     // bits
    EXPECT_EQ(u32(40), 3u * 4410u * 4u);
    // The sound started by the first frame's script plays from the first sample, on both
    // sides, and is over after a tenth of a second.
    EXPECT_EQ(u16(44), 10000);
    EXPECT_EQ(u16(46), 10000);
    EXPECT_EQ(u16(44 + 4409 * 4), 10000);
    EXPECT_EQ(u16(44 + 4410 * 4), 0);
}

} // namespace
} // namespace kinovex::test
