// Text files a movie loads from its folder, end to end through the player: LoadVars and XML
// loads finish on the next frame in the order they were started, a file outside the folder or
// one that is missing gives the failure events, and a movie from memory finds nothing.

#include "ScriptClipTestUtil.h"
#include "TempDir.h"
#include "engine/Player.h"

#include <gtest/gtest.h>

#include <string>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
namespace op = swf::op;

// name = new cls(); name.onLoad = function (ok) { trace(label + ok); trace(this[show]); };
// name.load(url)
void startLoad(Actions& a, const std::string& cls, const std::string& name, const std::string& url,
               const std::string& show) {
    a.push(name).push(Int{0}).push(cls).op(op::NewObject).op(op::SetVariable);
    Actions onLoad;
    onLoad.push(name + " ").getVar("ok").op(op::Add2).op(op::Trace);
    onLoad.getVar("this").push(show).op(op::GetMember).op(op::Trace);
    a.getVar(name).push("onLoad").defineFunction("", {"ok"}, onLoad).op(op::SetMember);
    a.push(url).push(Int{1}).getVar(name).push("load").op(op::CallMethod).op(op::Pop);
}

swf::SwfWriter loadingMovie() {
    swf::SwfWriter movie(20, 20, 12);
    Actions a;
    startLoad(a, "LoadVars", "vars", "data/vars.txt", "colour");
    startLoad(a, "XML", "doc", "data/doc.xml", "firstChild");
    startLoad(a, "LoadVars", "outside", "../secret.txt", "colour");
    startLoad(a, "LoadVars", "missing", "data/none.txt", "colour");
    a.trace("started");
    doAction(movie, a);
    movie.showFrame();
    movie.showFrame();
    movie.showFrame();
    return movie;
}

const Lines kLoaded = {"started",   "vars true",        "blue",
                       "doc true",  "<a>b &amp; c</a>", "outside false",
                       "undefined", "missing false",    "undefined"};

TEST(ScriptLoads, FinishOnTheNextFrameInTheOrderStarted) {
    kinovex::test::TempDir dir("movie loads");
    std::filesystem::create_directories(dir / "movie" / "data");
    kinovex::test::WriteFile(dir / "movie" / "data" / "vars.txt", "colour=blue&size=3");
    kinovex::test::WriteFile(dir / "movie" / "data" / "doc.xml", "<a>b &amp; c</a>");
    kinovex::test::WriteFile(dir / "secret.txt", "colour=red");
    loadingMovie().save(dir / "movie" / "loads.swf", swf::Compression::None);

    Player player;
    Lines lines;
    player.setTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(player.load((dir / "movie" / "loads.swf").string()).ok);
    EXPECT_EQ(lines, Lines{"started"});
    EXPECT_EQ(player.activity().loadsPending, 4u); // a conversion does not end meanwhile
    player.nextFrame();
    EXPECT_EQ(player.activity().loadsPending, 0u);
    player.nextFrame();
    EXPECT_EQ(lines, kLoaded);
    int refusals = 0;
    for (const Diagnostic& d : player.diagnostics()) {
        refusals += d.message.find("../secret.txt") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(refusals, 1);
}

TEST(ScriptLoads, AMovieFromMemoryFindsEveryFileMissing) {
    const Lines lines = traceFrames(loadingMovie(), 3);
    EXPECT_EQ(lines, (Lines{"started", "vars false", "undefined", "doc false", "null",
                            "outside false", "undefined", "missing false", "undefined"}));
}

// loadVariables into the main timeline (flags: variables, target path) and into a plain
// object, which is passed over; the variables are there before the next frame's timers run.
TEST(ScriptLoads, VariablesComeOntoClipsBeforeTheNextFramesTimers) {
    kinovex::test::TempDir dir("movie variables");
    kinovex::test::WriteFile(dir / "vars.txt", "colour=blue&size=3");
    swf::SwfWriter movie(20, 20, 12);
    Actions a;
    a.push({"plain", Int{0}}).op(op::InitObject).op(op::SetVariable);
    a.push({"vars.txt", "_root"}).getUrl2(0xC0);
    a.push({"vars.txt", "plain"}).getUrl2(0xC0);
    Actions later;
    later.getVar("colour").op(op::Trace);
    later.getVar("plain").push("colour").op(op::GetMember).op(op::Trace);
    a.push(1.0)
        .defineFunction("", {}, later)
        .push(Int{2})
        .push("setTimeout")
        .op(op::CallFunction)
        .op(op::Pop);
    doAction(movie, a);
    for (int i = 0; i < 3; ++i) {
        movie.showFrame();
    }
    movie.save(dir / "variables.swf", swf::Compression::None);

    Player player;
    Lines lines;
    player.setTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(player.load((dir / "variables.swf").string()).ok);
    EXPECT_EQ(player.activity().loadsPending, 1u);
    player.nextFrame();
    player.nextFrame();
    EXPECT_EQ(lines, (Lines{"blue", "undefined"})); // the timer ran once
}

// A file that is neither movie nor image loads into a clip as an empty movie: the listeners
// hear of it in order, and the clip given is replaced by an empty one of its name.
TEST(ScriptLoads, AFileThatIsNoMovieLoadsIntoAClipAsAnEmptyOne) {
    kinovex::test::TempDir dir("clip loads");
    std::filesystem::create_directories(dir / "movie");
    kinovex::test::WriteFile(dir / "movie" / "notes.txt", "no movie");
    swf::SwfWriter movie(20, 20, 12, {7, false});
    Actions a;
    a.push("x").push({Int{1}, "a"});
    a.push(Int{2}).getVar("this").push("createEmptyMovieClip").op(op::CallMethod);
    a.op(op::SetVariable);
    a.getVar("x").push("n").push(Int{1}).op(op::SetMember);
    a.push("l").push(Int{0}).push("MovieClipLoader").op(op::NewObject).op(op::SetVariable);
    for (const char* event : {"onLoadStart", "onLoadComplete", "onLoadInit"}) {
        Actions body;
        body.push(std::string(event) + " ").getVar("m").getVar("a").op(op::Equals2);
        body.op(op::Add2).op(op::Trace);
        if (std::string(event) == "onLoadInit") {
            body.getVar("x").push("n").op(op::GetMember).op(op::Trace);
        }
        a.getVar("l").push(event).defineFunction("", {"m"}, body).op(op::SetMember);
    }
    a.getVar("x").push("notes.txt").push(Int{2}).getVar("l").push("loadClip").op(op::CallMethod);
    a.op(op::Pop);
    doAction(movie, a.op(op::Stop));
    movie.showFrame();
    movie.showFrame();
    movie.showFrame();
    movie.save(dir / "movie" / "clip.swf", swf::Compression::None);

    Player player;
    Lines lines;
    player.setTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(player.load((dir / "movie" / "clip.swf").string()).ok);
    player.nextFrame();
    player.nextFrame();
    player.nextFrame();
    EXPECT_EQ(lines,
              (Lines{"onLoadStart true", "onLoadComplete true", "onLoadInit true", "undefined"}));
}

} // namespace
} // namespace kinovex::flash::test
