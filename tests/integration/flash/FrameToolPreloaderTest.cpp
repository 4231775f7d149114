// A movie as many real ones begin: a preloader that waits on _framesloaded, then a Play
// button; kinovex-frame --click reaches the content behind it.

#include "Actions.h"
#include "Button.h"
#include "FrameToolRun.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace kinovex::test {
namespace {

using swf::Actions;
namespace op = swf::op;

// Standard output, with "<failed>" added when the tool did not succeed.
std::string traceOf(const std::string& args) {
    ToolRun r = runFrameTool(args, ToolOutput::StandardOutput);
    return r.exitCode == 0 ? r.output : r.output + "<failed>";
}

TEST(FrameToolPreloader, AClickOnPlayReachesTheContent) {
    TempDir dir("frame tool preloader");
    swf::SwfWriter movie(200, 150, 12);
    swf::ShapeBuilder box;
    box.fill0(box.addFill(swf::FillStyle::solid(swf::Rgb(0x3366cc)))).rectangle(0, 0, 100, 40);
    const auto boxId = movie.defineShape(box);
    swf::ButtonActions release{swf::ButtonCond::OverDownToOverUp, 0,
                               Actions().gotoFrame(2).bytes()};
    const auto play =
        swf::DefineButton2(movie,
                           {swf::ButtonRecordSpec(swf::ButtonLook::Up | swf::ButtonLook::Over |
                                                      swf::ButtonLook::Down | swf::ButtonLook::Hit,
                                                  boxId)},
                           {release});

    // Frame 1: wait until every frame is there, then go to the Play frame.
    Actions wait;
    wait.trace("loading");
    wait.getVar("_framesloaded").getVar("_totalframes").op(op::Less2).ifTrue("later");
    wait.gotoFrame(1);
    wait.label("later");
    movie.rawTag(12, wait.bytes());
    movie.showFrame();
    movie.place(1, play, swf::Matrix::translate(50, 50));
    movie.rawTag(12, Actions().trace("ready").op(op::Stop).bytes());
    movie.showFrame();
    movie.remove(1);
    movie.rawTag(12, Actions().trace("content").op(op::Stop).bytes());
    movie.showFrame();
    movie.save(dir / "preloader.swf");

    const std::string swf = "'" + (dir / "preloader.swf").string() + "'";
    EXPECT_EQ(traceOf(swf + " --frames 5 --trace"), "loading\nready\n");
    EXPECT_EQ(traceOf(swf + " --frames 5 --trace --click 70,60@4"), "loading\nready\ncontent\n");
    // A click beside the button does nothing.
    EXPECT_EQ(traceOf(swf + " --frames 5 --trace --click 10,10@4"), "loading\nready\n");
}

} // namespace
} // namespace kinovex::test
