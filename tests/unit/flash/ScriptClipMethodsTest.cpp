// The MovieClip side of scripts in the player: properties, clips made and removed by scripts,
// classes registered for symbols, Color.

#include "ScriptClipTestUtil.h"
#include "Sound.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <ostream>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
namespace op = swf::op;

// Pushes object.method(args...), arguments already pushed last first.
Actions& callMethod(Actions& a, const std::string& object, const std::string& method, int argc) {
    return a.push(Int{argc}).getVar(object).push(method).op(op::CallMethod);
}

swf::Sprite namedSprite(int frames) {
    swf::Sprite s;
    Actions hello;
    hello.push("hello ").getVar("this").push("_name").op(op::GetMember).op(op::Add2);
    hello.op(op::Trace);
    doAction(s, hello);
    for (int i = 0; i < frames; ++i) {
        s.showFrame();
    }
    return s;
}

TEST(ScriptClipMethods, AttachDuplicateAndRemoveClips) {
    swf::SwfWriter movie(100, 100, 12);
    const auto sym = movie.defineSprite(namedSprite(1));
    exportAsset(movie, sym, "sym");
    Actions a;
    a.push("a").push({Int{5}, "first", "sym"});
    callMethod(a, "this", "attachMovie", 3).op(op::SetVariable);
    traceMember(a, "a", "_name");
    traceMember(a, "a", "_target");
    callMethod(a, "a", "getDepth", 0).op(op::Trace);
    callMethod(a, "this", "getNextHighestDepth", 0).op(op::Trace);
    a.push("b").push({Int{7}, "second"});
    callMethod(a, "a", "duplicateMovieClip", 2).op(op::SetVariable);
    traceMember(a, "b", "_target");
    a.getVar("first").op(op::TypeOf).op(op::Trace);
    callMethod(a, "a", "removeMovieClip", 0).op(op::Pop);
    a.getVar("first").op(op::TypeOf).op(op::Trace);
    a.getVar("b").op(op::Trace);
    // A clip the timeline placed stays: scripts remove only what sits at script depths.
    callMethod(a, "placed", "removeMovieClip", 0).op(op::Pop);
    a.getVar("placed").op(op::TypeOf).op(op::Trace);
    // So does a call on a clip that has gone.
    callMethod(a, "a", "getDepth", 0).op(op::Trace);
    a.op(op::Stop);
    doAction(movie, a);
    swf::Place placed;
    placed.depth = 1;
    placed.character = sym;
    placed.name = "placed";
    movie.place(placed);
    movie.showFrame();

    // Clips made by attachMovie run their first frame after the script that made them; the
    // one removed before its turn never does.
    EXPECT_EQ(traceFrames(movie, 2),
              (Lines{"first", "/first", "5", "6", "/second", "movieclip", "undefined",
                     "_level0.second", "movieclip", "undefined", "hello placed", "hello second"}));
}

TEST(ScriptClipMethods, PropertiesReadAndWriteTheDisplayObject) {
    swf::SwfWriter movie(100, 100, 12);
    const auto rect = defineRect(movie, 0, 0, 50, 40, 0x00ff00);
    swf::Sprite box;
    box.place(1, rect);
    box.showFrame();
    box.showFrame();
    const auto boxId = movie.defineSprite(box);
    swf::Place p;
    p.depth = 1;
    p.character = boxId;
    p.name = "box";
    p.matrix = swf::Matrix::translate(10, 20);
    movie.place(p);
    movie.place(2, boxId); // unnamed: gets a name of its own

    Actions a;
    traceMember(a, "box", "_x");
    traceMember(a, "box", "_y");
    setMember(a, "box", "_x", 10.123); // positions are whole twips
    traceMember(a, "box", "_x");
    setMember(a, "box", "_alpha", Int{33}); // alpha is kept in 1/256 steps
    traceMember(a, "box", "_alpha");
    traceMember(a, "box", "_width");
    traceMember(a, "box", "_height");
    setMember(a, "box", "_xscale", Int{200});
    traceMember(a, "box", "_width");
    traceMember(a, "box", "_xscale");
    setMember(a, "box", "_width", Int{25});
    traceMember(a, "box", "_xscale");
    traceMember(a, "box", "_currentframe");
    traceMember(a, "box", "_totalframes");
    traceMember(a, "box", "_framesloaded");
    traceMember(a, "instance1", "_name");
    setMember(a, "box", "_visible", false);
    traceMember(a, "box", "_visible");
    a.op(op::Stop);
    doAction(movie, a);
    movie.showFrame();

    Player player;
    EXPECT_EQ(traceFrames(movie, 1, &player),
              (Lines{"10", "20", "10.1", "32.8125", "50", "40", "100", "200", "50", "1", "2", "2",
                     "instance1", "false"}));
}

TEST(ScriptClipMethods, RegisteredClassesConstructTimelineClipsBeforeTheirFrameRuns) {
    swf::SwfWriter movie(100, 100, 12);
    const auto sym = movie.defineSprite(namedSprite(1));
    exportAsset(movie, sym, "sym");
    Actions init;
    init.push("Foo")
        .defineFunction("", {},
                        Actions()
                            .push("ctor ")
                            .getVar("this")
                            .push("_name")
                            .op(op::GetMember)
                            .op(op::Add2)
                            .op(op::Trace))
        .op(op::SetVariable);
    member(init, "Foo", "prototype").push("hi").defineFunction("", {}, traceText("hi"));
    init.op(op::SetMember);
    init.getVar("Foo").push("sym");
    callMethod(init, "Object", "registerClass", 2).op(op::Pop);
    initAction(movie, sym, init);
    swf::Place placed;
    placed.depth = 1;
    placed.character = sym;
    placed.name = "s1";
    movie.place(placed);
    Actions frame;
    callMethod(frame, "s1", "hi", 0).op(op::Pop);
    frame.op(op::Stop);
    doAction(movie, frame);
    movie.showFrame();

    EXPECT_EQ(traceFrames(movie, 1), (Lines{"ctor s1", "hello s1", "hi"}));
}

TEST(ScriptClipMethods, ColorTintsTheClip) {
    swf::SwfWriter movie(20, 20, 12);
    swf::Sprite box;
    box.place(1, defineRect(movie, 0, 0, 20, 20, 0x00ff00));
    box.showFrame();
    swf::Place p;
    p.depth = 1;
    p.character = movie.defineSprite(box);
    p.name = "box";
    movie.place(p);
    Actions a;
    a.push("c").getVar("box").push(Int{1}).push("Color").op(op::NewObject).op(op::SetVariable);
    a.push(Int{0xff0000});
    callMethod(a, "c", "setRGB", 1).op(op::Pop);
    callMethod(a, "c", "getRGB", 0).op(op::Trace);
    doAction(movie, a);
    movie.showFrame();

    Player player;
    EXPECT_EQ(traceFrames(movie, 1, &player), (Lines{"16711680"}));
    EXPECT_EQ(rgb(render(player).at(10, 10)), 0xff0000u);
}

// Sounds named by their export name: StartSound2 on the timeline and Sound.attachSound.
TEST(ScriptClipMethods, ExportedNamesStartSounds) {
    for (const bool fromScript : {false, true}) {
        swf::SwfWriter movie(20, 20, 10);
        std::vector<std::uint8_t> pcm(2 * 441, 0);
        for (std::size_t i = 0; i < pcm.size(); i += 2) {
            pcm[i + 1] = 0x10; // 4096
        }
        const auto id =
            swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false}, 441, pcm);
        exportAsset(movie, id, "Beep");
        if (fromScript) {
            Actions a;
            a.push("s").push(Int{0}).push("Sound").op(op::NewObject).op(op::SetVariable);
            a.push({"beep"}); // linkage names match in any case
            callMethod(a, "s", "attachSound", 1).op(op::Pop);
            callMethod(a, "s", "start", 0).op(op::Pop);
            doAction(movie, a);
        } else {
            swf::StartSound2(movie, "Beep");
        }
        movie.showFrame();

        Player player;
        ASSERT_TRUE(load(player, movie).ok);
        std::vector<std::int16_t> sound;
        player.takeSound(sound);
        ASSERT_EQ(sound.size(), 2u * 4410u) << fromScript;
        EXPECT_EQ(sound[0], 4096) << fromScript;
        EXPECT_EQ(sound[2 * 440 + 1], 4096) << fromScript;
        EXPECT_EQ(sound[2 * 441], 0) << fromScript;
    }
}

// A Sound's levels are its target's: Sounds of the same target share them, the pan is read from
// the side turned down, and a Sound whose target is not there gives undefined.
TEST(ScriptClipMethods, SoundLevelsBelongToTheTarget) {
    swf::SwfWriter movie(20, 20, 10);
    Actions a;
    auto newSound = [&a](const char* name, const char* target) {
        a.push(name);
        if (target != nullptr) {
            a.push(target);
        }
        a.push(Int{target != nullptr ? 1 : 0}).push("Sound").op(op::NewObject);
        a.op(op::SetVariable);
    };
    newSound("s", nullptr);
    newSound("t", nullptr);
    newSound("x", "nothere");
    a.push(-20.0);
    callMethod(a, "s", "setPan", 1).op(op::Pop);
    callMethod(a, "t", "getPan", 0).op(op::Trace);
    callMethod(a, "t", "getTransform", 0).push("rr").op(op::GetMember).op(op::Trace);
    a.push("ll").push(30.0).push(Int{1}).op(op::InitObject);
    callMethod(a, "s", "setTransform", 1).op(op::Pop);
    callMethod(a, "t", "getPan", 0).op(op::Trace);
    callMethod(a, "x", "getVolume", 0).op(op::Trace);
    doAction(movie, a);
    movie.showFrame();
    EXPECT_EQ(traceFrames(movie, 1), (Lines{"-20", "80", "70", "undefined"}));
}

// ---- rules of clip methods, each a short script on the first of a few frames ----

struct ClipRule {
    const char* name;
    std::uint8_t version;
    std::function<void(Actions&)> script;
    int frames;
    Lines expected;
};

std::ostream& operator<<(std::ostream& out, const ClipRule& r) {
    return out << r.name;
}

class ClipRules : public testing::TestWithParam<ClipRule> {};

TEST_P(ClipRules, TraceWhatThePlayerTraces) {
    const ClipRule& rule = GetParam();
    swf::SwfWriter movie(100, 100, 12, {rule.version, rule.version >= 8});
    Actions a;
    rule.script(a);
    doAction(movie, a);
    for (int i = 0; i < rule.frames; ++i) {
        movie.showFrame();
    }
    EXPECT_EQ(traceFrames(movie, rule.frames), rule.expected);
}

// parent.createEmptyMovieClip(name, depth)
void createClip(Actions& a, const std::string& parent, const std::string& name, int depth) {
    a.push({Int{depth}, name});
    callMethod(a, parent, "createEmptyMovieClip", 2).op(op::Pop);
}

// object.onUnload = function () { trace(this[show]); }
void traceOnUnload(Actions& a, const std::string& object, const std::string& show) {
    Actions body;
    traceMember(body, "this", show);
    a.getVar(object).push("onUnload").defineFunction("", {}, body).op(op::SetMember);
}

// name = object.member
void alias(Actions& a, const std::string& name, const std::string& object,
           const std::string& memberName) {
    a.push(name);
    member(a, object, memberName).op(op::SetVariable);
}

// Traces object.getDepth().
void traceDepth(Actions& a, const std::string& object) {
    callMethod(a, object, "getDepth", 0).op(op::Trace);
}

// point = {x: x, y: y}; clip.method(point); trace(point.x); trace(point.y)
void convertPoint(Actions& a, const char* method, const swf::PushValue& x,
                  const swf::PushValue& y) {
    a.push("point").push({"x", x, "y", y, Int{2}}).op(op::InitObject).op(op::SetVariable);
    a.getVar("point");
    callMethod(a, "c", method, 1).op(op::Pop);
    traceMember(a, "point", "x");
    traceMember(a, "point", "y");
}

// l = new MovieClipLoader(); l.onLoadError = function (m, e, s) { trace(e + s + m); }
void newLoader(Actions& a) {
    a.push("l").push(Int{0}).push("MovieClipLoader").op(op::NewObject).op(op::SetVariable);
    Actions onError;
    onError.getVar("e").getVar("s").op(op::Add2).getVar("m").op(op::Add2).op(op::Trace);
    a.getVar("l").push("onLoadError").defineFunction("", {"m", "e", "s"}, onError);
    a.op(op::SetMember);
}

const ClipRule kClipRules[] = {
    // It stands at -32769 minus its depth, where scripts cannot remove it, until onUnload ran.
    {"RemoveMovieClipKeepsAClipWithUnloadUntilItRan",
     7,
     [](Actions& a) {
         createClip(a, "this", "a", 5);
         traceOnUnload(a, "a", "_target");
         callMethod(a, "a", "removeMovieClip", 0).op(op::Pop);
         traceDepth(a, "a");
         callMethod(a, "a", "removeMovieClip", 0).op(op::Pop);
         a.trace("end");
     },
     2,
     {"-32774", "end", "/a"}},
    // Any onUnload keeps it there, on the prototype too, even one that is no function.
    {"RemoveMovieClipKeepsAClipWithAnyOnUnload",
     7,
     [](Actions& a) {
         member(a, "MovieClip", "prototype").push("onUnload").push(Int{42}).op(op::SetMember);
         createClip(a, "this", "a", 5);
         callMethod(a, "a", "removeMovieClip", 0).op(op::Pop);
         traceDepth(a, "a");
     },
     1,
     {"-32774"}},
    // A clip without a handler of its own keeps only the children that answer unload; the
    // innermost handlers run first.
    {"RemoveMovieClipKeepsOnlyChildrenThatAnswerUnload",
     7,
     [](Actions& a) {
         createClip(a, "this", "a", 0);
         createClip(a, "a", "x", 0);
         createClip(a, "a", "y", 1);
         alias(a, "y", "a", "y");
         traceOnUnload(a, "y", "_target");
         callMethod(a, "a", "removeMovieClip", 0).op(op::Pop);
         traceDepth(a, "a");
         traceMember(a, "a", "x");
         traceDepth(a, "y");
     },
     1,
     {"-32769", "undefined", "1", "/a/y"}},
    {"ClipsInsideAClipWaitingForUnloadCannotBeRemoved",
     7,
     [](Actions& a) {
         createClip(a, "this", "a", 0);
         createClip(a, "a", "d", 3);
         traceOnUnload(a, "a", "_name");
         callMethod(a, "a", "removeMovieClip", 0).op(op::Pop);
         alias(a, "d", "a", "d");
         callMethod(a, "d", "removeMovieClip", 0).op(op::Pop);
         traceDepth(a, "d");
     },
     1,
     {"3", "a"}},
    {"RemoveMovieClipBorrowedByATextFieldRemovesIt",
     7,
     [](Actions& a) {
         a.push({Int{10}, Int{10}, Int{0}, Int{0}, Int{5}, "t"});
         callMethod(a, "this", "createTextField", 6).op(op::Pop);
         setMember(a, "t", "test", "kept");
         a.getVar("t").push("rm");
         member(a, "MovieClip", "prototype").push("removeMovieClip").op(op::GetMember);
         a.op(op::SetMember);
         callMethod(a, "t", "rm", 0).op(op::Pop);
         traceMember(a, "t", "test");
     },
     1,
     {"undefined"}},
    // A name finds a child clip before a text field of that name, whatever their depths; a
    // field alone is found too, as a variable and as a member.
    {"AChildClipComesBeforeATextFieldOfTheSameName",
     7,
     [](Actions& a) {
         a.push({Int{10}, Int{10}, Int{0}, Int{0}, Int{1}, "n"});
         callMethod(a, "this", "createTextField", 6).op(op::Pop);
         createClip(a, "this", "n", 5);
         a.push({Int{10}, Int{10}, Int{0}, Int{0}, Int{2}, "t"});
         callMethod(a, "this", "createTextField", 6).op(op::Pop);
         a.getVar("n").op(op::TypeOf).op(op::Trace);
         a.getVar("t").op(op::TypeOf).op(op::Trace);
         a.getVar("this").push("t").op(op::GetMember).op(op::TypeOf).op(op::Trace);
         a.getVar("missing").op(op::TypeOf).op(op::Trace);
     },
     1,
     {"movieclip", "object", "object", "undefined"}},
    // The field properties go on TextField.prototype as it is when a field is made.
    {"MakingATextFieldGivesTheCurrentPrototypeItsProperties",
     7,
     [](Actions& a) {
         auto traceHasText = [](Actions& s) {
             alias(s, "p", "TextField", "prototype");
             s.push("text");
             callMethod(s, "p", "hasOwnProperty", 1).op(op::Trace);
         };
         traceHasText(a);
         a.push({Int{10}, Int{10}, Int{0}, Int{0}, Int{5}, "t"});
         callMethod(a, "this", "createTextField", 6).op(op::Pop);
         traceHasText(a);
         a.getVar("TextField").push("prototype").push(Int{0}).push("Object").op(op::NewObject);
         a.op(op::SetMember);
         traceHasText(a);
         a.push(Int{0}).push("TextField").op(op::NewObject).op(op::Pop);
         traceHasText(a);
     },
     1,
     {"false", "true", "false", "true"}},
    // A TextFormat converts what is written to its members; unset ones read as null.
    {"TextFormatMembersConvertWhatIsWritten",
     7,
     [](Actions& a) {
         a.push("f").push(Int{0}).push("TextFormat").op(op::NewObject).op(op::SetVariable);
         traceMember(a, "f", "bold");
         setMember(a, "f", "size", "12.7");
         setMember(a, "f", "align", "CENTER");
         setMember(a, "f", "leftMargin", -3.0);
         setMember(a, "f", "display", "anything");
         setMember(a, "f", "bold", 1.0);
         for (const char* name : {"size", "align", "leftMargin", "display", "bold"}) {
             traceMember(a, "f", name);
         }
         setMember(a, "f", "align", "middle");
         setMember(a, "f", "bold", swf::Undefined{});
         traceMember(a, "f", "align");
         traceMember(a, "f", "bold");
     },
     1,
     {"null", "12", "center", "0", "block", "true", "center", "null"}},
    // getTextFormat keeps its range within the text; an empty range gives a format with nothing
    // set. The break that ends a paragraph reports the next paragraph's alignment.
    {"GetTextFormatKeepsItsRangeWithinTheText",
     7,
     [](Actions& a) {
         a.push({Int{10}, Int{100}, Int{0}, Int{0}, Int{5}, "t"});
         callMethod(a, "this", "createTextField", 6).op(op::Pop);
         setMember(a, "t", "html", true);
         setMember(a, "t", "multiline", true);
         setMember(a, "t", "htmlText", "<p align='right'>ab</p>c");
         auto traceFormat = [](Actions& s, std::vector<double> range, const char* name) {
             for (auto it = range.rbegin(); it != range.rend(); ++it) {
                 s.push(*it);
             }
             callMethod(s, "t", "getTextFormat", static_cast<int>(range.size()));
             s.push(name).op(op::GetMember).op(op::Trace);
         };
         traceFormat(a, {-1}, "size");
         traceFormat(a, {1, 1}, "size");
         traceFormat(a, {2, 9}, "font");
         traceFormat(a, {-1, 2}, "align");
         traceFormat(a, {2}, "align");
     },
     1,
     {"null", "null", "Times New Roman", "right", "left"}},
    // The main timeline's _focusrect is the movie's and takes numbers only; a clip's is its own.
    {"FocusRectOfTheMovieTakesNumbersAndOfAClipBooleans",
     7,
     [](Actions& a) {
         createClip(a, "this", "c", 1);
         traceMember(a, "c", "_focusrect");
         setMember(a, "c", "_focusrect", "0");
         traceMember(a, "c", "_focusrect");
         traceMember(a, "_root", "_focusrect");
         setMember(a, "_root", "_focusrect", "on");
         traceMember(a, "_root", "_focusrect");
         setMember(a, "_root", "_focusrect", "0");
         traceMember(a, "_root", "_focusrect");
     },
     1,
     {"null", "true", "true", "true", "false"}},
    // A bound field reads its variable when bound, and a clip's variable whenever its text is
    // read; writing its text writes the variable.
    {"ABoundFieldFollowsAClipVariableAtOnceAndAnObjectsWhenBound",
     7,
     [](Actions& a) {
         a.push({Int{10}, Int{10}, Int{0}, Int{0}, Int{5}, "t"});
         callMethod(a, "this", "createTextField", 6).op(op::Pop);
         createClip(a, "this", "m", 1);
         setMember(a, "m", "v", 1.0);
         setMember(a, "t", "variable", "m.v");
         traceMember(a, "t", "text");
         setMember(a, "m", "v", 2.0);
         traceMember(a, "t", "text");
         a.push("o").push({"v", 4.0, Int{1}}).op(op::InitObject).op(op::SetVariable);
         setMember(a, "t", "variable", "o.v");
         setMember(a, "o", "v", 5.0);
         traceMember(a, "t", "text");
         setMember(a, "t", "text", "6");
         traceMember(a, "o", "v");
     },
     1,
     {"1", "2", "4", "6"}},
    // maxscroll and bottomScroll come from the lines laid out in the field's height.
    {"MaxscrollAndBottomScrollCountTheLinesThatFit",
     7,
     [](Actions& a) {
         struct Field {
             const char* name;
             int depth;
             int height;
         };
         for (const Field& f : {Field{"tall", 1, 1000}, Field{"flat", 2, 0}}) {
             a.push({Int{f.height}, Int{100}, Int{0}, Int{0}, Int{f.depth}, f.name});
             callMethod(a, "this", "createTextField", 6).op(op::Pop);
             setMember(a, f.name, "text", "a\rb\rc");
             traceMember(a, f.name, "maxscroll");
             traceMember(a, f.name, "bottomScroll");
         }
     },
     1,
     {"1", "3", "3", "1"}},
    {"SwapDepthsTakesOnlyDepthsScriptsMayPlaceAt",
     7,
     [](Actions& a) {
         createClip(a, "this", "s", 1);
         for (const double depth : {-16385.0, 2130690045.0, -16384.0, 2130690044.0}) {
             a.push(depth);
             callMethod(a, "s", "swapDepths", 1).op(op::Pop);
             traceDepth(a, "s");
         }
     },
     1,
     {"1", "1", "-16384", "2130690044"}},
    // A depth is a number: words, even ones that read as numbers, and nothing move no clip.
    {"SwapDepthsMovesNothingForWhatIsNoNumber",
     7,
     [](Actions& a) {
         createClip(a, "this", "s", 1);
         a.push("3");
         callMethod(a, "s", "swapDepths", 1).op(op::Pop);
         callMethod(a, "s", "swapDepths", 0).op(op::Pop);
         traceDepth(a, "s");
     },
     1,
     {"1"}},
    // A reference to a clip that left reads, writes and compares as the clip now at the path
    // the old one was made at, renamed or not since; with none there it is nothing.
    {"ReferencesToAClipThatLeftFindTheClipAtItsPath",
     7,
     [](Actions& a) {
         a.push("x").push({Int{0}, "a"});
         callMethod(a, "this", "createEmptyMovieClip", 2).op(op::SetVariable);
         setMember(a, "x", "answer", Int{42});
         createClip(a, "this", "a", 0);
         traceMember(a, "x", "answer");
         setMember(a, "x", "answer", Int{7});
         traceMember(a, "a", "answer");
         a.getVar("x").getVar("a").op(op::StrictEquals).op(op::Trace);
         a.push("y").push({Int{1}, "c"});
         callMethod(a, "this", "createEmptyMovieClip", 2).op(op::SetVariable);
         setMember(a, "y", "_name", "d");
         callMethod(a, "d", "removeMovieClip", 0).op(op::Pop);
         createClip(a, "this", "d", 2);
         a.getVar("y").getVar("d").op(op::Equals2).op(op::Trace);
         a.push("[").getVar("y").op(op::Add2).push("]").op(op::Add2).op(op::Trace);
     },
     1,
     {"undefined", "7", "true", "false", "[]"}},
    // A sound object that loaded a sound for a target that is there keeps levels of its own,
    // whole at each load.
    {"LoadSoundGivesTheSoundObjectLevelsOfItsOwn",
     7,
     [](Actions& a) {
         a.push("s").push(Int{0}).push("Sound").op(op::NewObject).op(op::SetVariable);
         a.push(Int{25});
         callMethod(a, "s", "setVolume", 1).op(op::Pop);
         a.push({true, "missing.mp3"});
         callMethod(a, "s", "loadSound", 2).op(op::Pop);
         callMethod(a, "s", "getVolume", 0).op(op::Trace);
         a.push(Int{50});
         callMethod(a, "s", "setVolume", 1).op(op::Pop);
         a.push("t").push(Int{0}).push("Sound").op(op::NewObject).op(op::SetVariable);
         callMethod(a, "t", "getVolume", 0).op(op::Trace);
         // Not so for a target that is not there.
         a.push("u").push({"nowhere", Int{1}}).push("Sound").op(op::NewObject);
         a.op(op::SetVariable);
         a.push({true, "missing.mp3"});
         callMethod(a, "u", "loadSound", 2).op(op::Pop);
         callMethod(a, "u", "getVolume", 0).op(op::Trace);
     },
     1,
     {"100", "25", "undefined"}},
    // loadMovie with no address leaves the clip as it is for a frame; from the second frame on
    // an empty clip of its name stands in its place, and references to the old one find it.
    {"LoadMovieWithNoAddressEmptiesTheClipTwoFramesOn",
     7,
     [](Actions& a) {
         a.push("x").push({Int{0}, "a"});
         callMethod(a, "this", "createEmptyMovieClip", 2).op(op::SetVariable);
         setMember(a, "x", "n", Int{42});
         a.push("");
         callMethod(a, "x", "loadMovie", 1).op(op::Pop);
         Actions body;
         traceMember(body, "x", "n");
         a.getVar("this").push("onEnterFrame").defineFunction("", {}, body).op(op::SetMember);
     },
     3,
     {"42", "undefined"}},
    // The action takes the depth as the display list keeps it, 16384 above the script's.
    {"CloneSpriteTakesTheDepthOfTheDisplayList",
     7,
     [](Actions& a) {
         createClip(a, "this", "s", 1);
         a.push({"s", "t", Int{16424}}).op(op::CloneSprite);
         traceDepth(a, "t");
     },
     1,
     {"40"}},
    // Only numbers of the point's own are converted, as twips that wrap around at 32 bits.
    {"LocalToGlobalConvertsOnlyNumbersAsWrappedTwips",
     7,
     [](Actions& a) {
         createClip(a, "this", "c", 1);
         setMember(a, "c", "_x", Int{50});
         convertPoint(a, "localToGlobal", "1", Int{1});
         convertPoint(a, "localToGlobal", Int{2}, swf::Undefined{});
         convertPoint(a, "localToGlobal", 2147483647.0, Int{1});
         convertPoint(a, "globalToLocal", std::numeric_limits<double>::infinity(), Int{1});
     },
     1,
     {"1", "1", "2", "undefined", "49", "1", "-50", "1"}},
    // A clip a with block names is `this` to the functions found on it.
    {"FunctionsFoundOnAWithClipRunOnIt",
     7,
     [](Actions& a) {
         createClip(a, "this", "c", 1);
         Actions body;
         body.call("getDepth", 0).op(op::Trace);
         a.getVar("c").with(body);
     },
     1,
     {"1"}},
    {"GetInstanceAtDepthTakesWhatIsNoFiniteNumberAsDepth0",
     7,
     [](Actions& a) {
         createClip(a, "this", "a", 0);
         for (const swf::PushValue& depth :
              {swf::PushValue{swf::Null{}}, swf::PushValue{"word"},
               swf::PushValue{std::numeric_limits<double>::infinity()},
               swf::PushValue{swf::Undefined{}}}) {
             a.push(depth);
             callMethod(a, "this", "getInstanceAtDepth", 1).op(op::Trace);
         }
     },
     1,
     {"_level0.a", "_level0.a", "_level0.a", "undefined"}},
    {"GetInstanceAtDepthIsHiddenBeforeVersion7",
     6,
     [](Actions& a) { member(a, "this", "getInstanceAtDepth").op(op::TypeOf).op(op::Trace); },
     1,
     {"undefined"}},
    {"LockrootMakesAClipTheRootOfTheClipsInIt",
     7,
     [](Actions& a) {
         createClip(a, "this", "a", 0);
         createClip(a, "a", "b", 0);
         alias(a, "b", "a", "b");
         alias(a, "root", "b", "_root");
         traceMember(a, "root", "_target");
         setMember(a, "a", "_lockroot", true);
         alias(a, "root", "b", "_root");
         traceMember(a, "root", "_target");
     },
     1,
     {"/", "/a"}},
    {"LockrootComesWithVersion7",
     6,
     [](Actions& a) {
         createClip(a, "this", "a", 0);
         setMember(a, "a", "_lockroot", true);
         alias(a, "root", "a", "_root");
         traceMember(a, "root", "_target");
     },
     1,
     {"/"}},
    // A child named like a built-in property hides it from names, not from GetProperty.
    {"AChildComesBeforeTheBuiltInPropertyOfItsName",
     7,
     [](Actions& a) {
         createClip(a, "this", "_x", 0);
         traceMember(a, "this", "_x");
         a.push({"", Int{0}}).op(op::GetProperty).op(op::Trace);
     },
     1,
     {"_level0._x", "0"}},
    {"GetBoundsGivesAnObjectWithoutPrototype",
     7,
     [](Actions& a) {
         createClip(a, "this", "c", 1);
         callMethod(a, "c", "getBounds", 0).op(op::Trace);
     },
     1,
     {"[type Object]"}},
    // Errors reach the loader's own handlers two frames on, with the target as it is then.
    {"ClipLoaderReportsMissingAndRefusedFiles",
     7,
     [](Actions& a) {
         newLoader(a);
         createClip(a, "this", "a", 1);
         a.push({"a", "none.swf"});
         callMethod(a, "l", "loadClip", 2).op(op::Trace);
         a.getVar("a").push("http://example.com/a.swf");
         callMethod(a, "l", "loadClip", 2).op(op::Pop);
         a.push({"_level0.b", "../a.swf"});
         callMethod(a, "l", "loadClip", 2).op(op::Pop);
         Actions enter;
         enter.trace("enter");
         a.push("onEnterFrame").defineFunction("", {}, enter).op(op::SetVariable);
     },
     3,
     {"true", "enter", "URLNotFound0_level0.a", "IllegalRequest0_level0.a",
      "IllegalRequest0undefined", "enter"}},
    {"ClipLoaderProgressIsTheBytesOfTheMovieInTheClip",
     7,
     [](Actions& a) {
         newLoader(a);
         createClip(a, "this", "a", 1);
         a.push("/a");
         callMethod(a, "l", "getProgress", 1).op(op::Trace);
         a.push("/a");
         callMethod(a, "l", "getProgress", 1).push("bytesTotal").op(op::GetMember);
         a.op(op::Trace);
         a.push("/b");
         callMethod(a, "l", "getProgress", 1).op(op::Trace);
     },
     1,
     {"[type Object]", "0", "undefined"}},
    {"AClipAScriptMadeHasNoBytesOfItsOwn",
     7,
     [](Actions& a) {
         createClip(a, "this", "a", 1);
         callMethod(a, "a", "getBytesTotal", 0).op(op::Trace);
         callMethod(a, "a", "getBytesLoaded", 0).op(op::Trace);
     },
     1,
     {"0", "0"}},
    {"ClipLoaderMethodsAreHiddenBeforeVersion7",
     6,
     [](Actions& a) {
         newLoader(a);
         member(a, "l", "loadClip").op(op::TypeOf).op(op::Trace);
         a.getVar("MovieClipLoader").op(op::TypeOf).op(op::Trace);
     },
     1,
     {"undefined", "function"}},
};

INSTANTIATE_TEST_SUITE_P(Rules, ClipRules, testing::ValuesIn(kClipRules),
                         [](const testing::TestParamInfo<ClipRule>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace kinovex::flash::test
