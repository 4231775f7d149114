// The methods of the player's classes called on what they do not stand for: a plain object and
// undefined as `this`. Each gives what it gives on its own (Key.getCode ...) or undefined, and
// none of them stops the script.

#include "ScriptClipTestUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
namespace op = swf::op;

struct Call {
    const char* holder; // the object the method is on
    const char* method;
    const char* onObject;  // what holder.method.call({}) traces
    const char* onNothing; // what holder.method.call(undefined) traces
};

const Call kCalls[] = {
    {"MovieClip.prototype", "play", "undefined", "undefined"},
    {"MovieClip.prototype", "gotoAndStop", "undefined", "undefined"},
    {"MovieClip.prototype", "getDepth", "undefined", "undefined"},
    {"MovieClip.prototype", "attachMovie", "undefined", "undefined"},
    {"MovieClip.prototype", "duplicateMovieClip", "undefined", "undefined"},
    {"MovieClip.prototype", "removeMovieClip", "undefined", "undefined"},
    {"MovieClip.prototype", "createEmptyMovieClip", "undefined", "undefined"},
    {"MovieClip.prototype", "createTextField", "undefined", "undefined"},
    {"MovieClip.prototype", "swapDepths", "undefined", "undefined"},
    {"MovieClip.prototype", "getNextHighestDepth", "undefined", "undefined"},
    {"MovieClip.prototype", "hitTest", "undefined", "undefined"},
    {"MovieClip.prototype", "getBounds", "undefined", "undefined"},
    {"MovieClip.prototype", "localToGlobal", "undefined", "undefined"},
    {"MovieClip.prototype", "startDrag", "undefined", "undefined"},
    {"MovieClip.prototype", "stopDrag", "undefined", "undefined"},
    {"MovieClip.prototype", "beginFill", "undefined", "undefined"},
    {"MovieClip.prototype", "lineTo", "undefined", "undefined"},
    {"MovieClip.prototype", "clear", "undefined", "undefined"},
    {"MovieClip.prototype", "setMask", "undefined", "undefined"},
    {"MovieClip.prototype", "getBytesTotal", "undefined", "undefined"},
    {"MovieClip.prototype", "getURL", "undefined", "undefined"},
    {"MovieClip.prototype", "attachSound", "undefined", "undefined"},
    {"MovieClip.prototype", "getInstanceAtDepth", "undefined", "undefined"},
    {"Button.prototype", "getDepth", "undefined", "undefined"},
    {"Key", "isDown", "false", "false"},
    {"Key", "getCode", "0", "0"},
    {"Key", "addListener", "false", "false"},
    {"Key", "removeListener", "false", "false"},
    {"Mouse", "hide", "1", "0"},
    {"Stage", "addListener", "true", "true"},
    {"Color.prototype", "setRGB", "undefined", "undefined"},
    {"Color.prototype", "getRGB", "undefined", "undefined"},
    {"Color.prototype", "getTransform", "undefined", "undefined"},
    {"Sound.prototype", "attachSound", "undefined", "undefined"},
    {"Sound.prototype", "start", "undefined", "undefined"},
    {"Sound.prototype", "stop", "undefined", "undefined"},
    {"Sound.prototype", "getVolume", "100", "undefined"},
    {"Sound.prototype", "getBytesTotal", "undefined", "undefined"},
    {"TextField.prototype", "getTextFormat", "undefined", "undefined"},
    {"TextField.prototype", "setTextFormat", "undefined", "undefined"},
    {"TextField.prototype", "removeTextField", "undefined", "undefined"},
    {"TextField.prototype", "getDepth", "undefined", "undefined"},
    {"TextField.StyleSheet.prototype", "parseColor", "null", "null"},
    {"TextField.StyleSheet.prototype", "parseCSSFontFamily", "undefined", "undefined"},
    {"LoadVars.prototype", "load", "false", "undefined"},
    {"XML.prototype", "parseXML", "undefined", "undefined"},
    {"LocalConnection.prototype", "connect", "undefined", "undefined"},
    {"SharedObject.prototype", "flush", "undefined", "undefined"},
};

// Pushes the object a path like "MovieClip.prototype" names.
void pushPath(Actions& a, const std::string& path) {
    std::size_t dot = path.find('.');
    a.getVar(path.substr(0, dot));
    while (dot != std::string::npos) {
        const std::size_t next = path.find('.', dot + 1);
        a.push(path.substr(dot + 1, next - dot - 1)).op(op::GetMember);
        dot = next;
    }
}

// trace(holder.method.call(self)) with self pushed by `pushSelf`.
template <typename PushSelf> void traceCall(Actions& a, const Call& c, PushSelf pushSelf) {
    pushSelf(a);
    a.push(Int{1});
    pushPath(a, c.holder);
    a.push(c.method).op(op::GetMember);
    a.push("call").op(op::CallMethod).op(op::Trace);
}

TEST(ScriptPlayerMethods, OnWhatTheyDoNotStandForGiveUndefinedOrTheirOwnAnswer) {
    swf::SwfWriter movie(100, 100, 12);
    Actions a;
    for (const Call& c : kCalls) {
        traceCall(a, c, [](Actions& s) { s.push(Int{0}).op(op::InitObject); });
        traceCall(a, c, [](Actions& s) { s.push(swf::Undefined{}); });
    }
    a.trace("end");
    doAction(movie, a);
    movie.showFrame();
    const Lines lines = traceFrames(movie, 1);
    ASSERT_EQ(lines.size(), std::size(kCalls) * 2 + 1);
    for (std::size_t i = 0; i < std::size(kCalls); ++i) {
        const Call& c = kCalls[i];
        SCOPED_TRACE(std::string(c.holder) + "." + c.method);
        EXPECT_EQ(lines[2 * i], c.onObject);
        EXPECT_EQ(lines[2 * i + 1], c.onNothing);
    }
    EXPECT_EQ(lines.back(), "end");
}

} // namespace
} // namespace kinovex::flash::test
