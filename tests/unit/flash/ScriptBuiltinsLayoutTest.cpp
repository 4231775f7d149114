// The built-in objects a movie's scripts start with, as the player sets them up: each object's
// own members in the order for..in finds them (once ASSetPropFlags shows them), with their
// flags and kinds, and the prototype each object inherits from.

#include "SwfWriter.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/definitions/Movie.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kinovex::flash::test {
namespace {

using avm1::Object;
using avm1::Property;
using avm1::Value;

// "name:kind:flags": kind f (function), o (object), n=value (number), s (string), b (boolean),
// u (undefined), get / get+set (a property with a getter and maybe a setter).
std::string member(const Property& p) {
    std::string kind;
    const Value& v = p.value;
    if (p.getter != nullptr) {
        kind = p.setter != nullptr ? "get+set" : "get";
    } else if (v.isObject()) {
        kind = v.asObject()->function() != nullptr ? "f" : "o";
    } else if (v.isNumber()) {
        kind = "n=" + avm1::numberToString(v.asNumber());
    } else if (v.isString()) {
        kind = "s";
    } else if (v.isBool()) {
        kind = "b";
    } else {
        kind = "u";
    }
    return p.name + ":" + kind + ":" + std::to_string(p.flags);
}

struct Layout {
    std::string object;  // "_global", "Math", "Array.prototype" ...
    std::string proto;   // the object it inherits from, by the same names ("null": none)
    std::string members; // member() of each own property, in order, space-separated
};

// Every object on _global, and the prototype of each one that has one.
std::vector<Layout> layoutOf(int version) {
    swf::MovieOptions options;
    options.version = static_cast<std::uint8_t>(version);
    swf::SwfWriter writer(100, 100, 12, options);
    writer.showFrame();
    Log log;
    Movie movie;
    EXPECT_TRUE(movie.load(writer.finish(), log).ok);
    ScriptRuntime runtime(movie, log, nullptr);
    Object* global = runtime.vm().global();

    std::vector<std::pair<std::string, Object*>> objects{{"_global", global}};
    for (const Property& p : global->properties()) {
        if (!p.value.isObject() || p.value.asObject() == global || p.name == avm1::kProtoName) {
            continue;
        }
        Object* o = p.value.asObject();
        if (o->function() != nullptr && o->properties().size() == 2) { // __proto__, constructor
            continue; // a global function (trace, parseInt ...)
        }
        objects.emplace_back(p.name, o);
        if (const Property* proto = o->findOwn("prototype"); proto && proto->value.isObject()) {
            objects.emplace_back(p.name + ".prototype", proto->value.asObject());
        }
    }
    // Function.prototype goes by its name even where no Function is on _global (version 5).
    std::map<const Object*, std::string> names{
        {runtime.vm().functionPrototype(), "Function.prototype"}};
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        names[it->second] = it->first; // the first name an object goes by
    }
    std::vector<Layout> out;
    for (const auto& [name, o] : objects) {
        Layout l{name, "null", ""};
        if (o->proto() != nullptr) {
            auto known = names.find(o->proto());
            l.proto = known != names.end() ? known->second : "?";
        }
        for (const Property& p : o->properties()) {
            // __proto__ is the prototype column, and a function's constructor is Function:
            // both checked below.
            const bool ownConstructor = o->function() != nullptr && p.name == "constructor";
            if (p.name != avm1::kProtoName && !ownConstructor) {
                l.members += (l.members.empty() ? "" : " ") + member(p);
            }
        }
        if (o->proto() != nullptr) {
            const Property* proto = o->findOwn(avm1::kProtoName);
            EXPECT_TRUE(proto && proto->flags == (avm1::kDontEnum | avm1::kDontDelete)) << name;
        }
        if (o->function() != nullptr) {
            const Object* function =
                runtime.vm().functionPrototype()->findOwn("constructor")->value.asObject();
            const Property* ctor = o->findOwn("constructor");
            EXPECT_TRUE(ctor && ctor->flags == (avm1::kDontEnum | avm1::kDontDelete) &&
                        ctor->value.asObject() == function)
                << name;
        }
        out.push_back(l);
    }
    return out;
}

// Movies of version 6 on. Flags: 1 hidden from for..in, 2 not deletable, 4 read-only.
const std::vector<Layout> kLayout = {
    {"_global", "Object.prototype",
     "Object:f:1 Function:f:1 Array:f:1 String:f:1 Number:f:1 Boolean:f:1 Math:o:1 Date:f:1 "
     "Error:f:1 AsBroadcaster:f:129 getTimer:f:1 trace:f:1 isNaN:f:1 isFinite:f:1 parseFloat:f:1 "
     "parseInt:f:1 "
     "escape:f:1 unescape:f:1 setInterval:f:1 clearInterval:f:1 ASSetPropFlags:f:1 _global:o:1 "
     "NaN:n=NaN:1 Infinity:n=Infinity:1 MovieClip:f:1 Button:f:1 Key:o:1 Mouse:o:1 Stage:o:1 "
     "Color:f:1 Sound:f:1 TextField:f:1 TextFormat:f:1 LoadVars:f:1 XML:f:1 LocalConnection:f:1 "
     "SharedObject:f:1"},
    {"Object", "Function.prototype", "prototype:o:3 registerClass:f:1"},
    {"Object.prototype", "null",
     "constructor:f:3 toString:f:1 valueOf:f:1 hasOwnProperty:f:1 isPropertyEnumerable:f:1 "
     "isPrototypeOf:f:1 addProperty:f:1 watch:f:1 unwatch:f:1"},
    {"Function", "Function.prototype", "prototype:o:3"},
    {"Function.prototype", "Object.prototype", "constructor:f:3 call:f:1 apply:f:1"},
    {"Array", "Function.prototype",
     "prototype:o:3 CASEINSENSITIVE:n=1:0 DESCENDING:n=2:0 UNIQUESORT:n=4:0 "
     "RETURNINDEXEDARRAY:n=8:0 NUMERIC:n=16:0"},
    {"Array.prototype", "Object.prototype",
     "constructor:f:3 push:f:1 pop:f:1 shift:f:1 unshift:f:1 join:f:1 toString:f:1 reverse:f:1 "
     "slice:f:1 splice:f:1 concat:f:1 sort:f:1 sortOn:f:1"},
    {"String", "Function.prototype", "prototype:o:3 fromCharCode:f:1"},
    {"String.prototype", "Object.prototype",
     "constructor:f:3 toString:f:1 valueOf:f:1 charAt:f:1 charCodeAt:f:1 indexOf:f:1 "
     "lastIndexOf:f:1 substr:f:1 substring:f:1 slice:f:1 split:f:1 toUpperCase:f:1 toLowerCase:f:1 "
     "concat:f:1"},
    {"Number", "Function.prototype",
     "prototype:o:3 MAX_VALUE:n=1.79769313486232e+308:7 MIN_VALUE:n=4.94065645841247e-324:7 "
     "NaN:n=NaN:7 POSITIVE_INFINITY:n=Infinity:7 NEGATIVE_INFINITY:n=-Infinity:7"},
    {"Number.prototype", "Object.prototype", "constructor:f:3 toString:f:1 valueOf:f:1"},
    {"Boolean", "Function.prototype", "prototype:o:3"},
    {"Boolean.prototype", "Object.prototype", "constructor:f:3 toString:f:1 valueOf:f:1"},
    {"Math", "Object.prototype",
     "abs:f:7 acos:f:7 asin:f:7 atan:f:7 ceil:f:7 cos:f:7 exp:f:7 floor:f:7 log:f:7 round:f:7 "
     "sin:f:7 sqrt:f:7 tan:f:7 atan2:f:7 pow:f:7 max:f:7 min:f:7 random:f:7 E:n=2.71828182845905:7 "
     "LN10:n=2.30258509299405:7 LN2:n=0.693147180559945:7 LOG10E:n=0.434294481903252:7 "
     "LOG2E:n=1.44269504088896:7 PI:n=3.14159265358979:7 SQRT1_2:n=0.707106781186548:7 "
     "SQRT2:n=1.4142135623731:7"},
    {"Date", "Function.prototype", "prototype:o:3 UTC:f:7"},
    {"Date.prototype", "Object.prototype",
     "constructor:f:3 getFullYear:f:1 getUTCFullYear:f:1 getMonth:f:1 getUTCMonth:f:1 getDate:f:1 "
     "getUTCDate:f:1 getHours:f:1 getUTCHours:f:1 getMinutes:f:1 getUTCMinutes:f:1 getSeconds:f:1 "
     "getUTCSeconds:f:1 getMilliseconds:f:1 getUTCMilliseconds:f:1 getDay:f:1 getUTCDay:f:1 "
     "getTime:f:1 valueOf:f:1 getYear:f:1 getTimezoneOffset:f:1 setFullYear:f:1 setUTCFullYear:f:1 "
     "setMonth:f:1 setUTCMonth:f:1 setDate:f:1 setUTCDate:f:1 setHours:f:1 setUTCHours:f:1 "
     "setMinutes:f:1 setUTCMinutes:f:1 setSeconds:f:1 setUTCSeconds:f:1 setMilliseconds:f:1 "
     "setUTCMilliseconds:f:1 setYear:f:1 setTime:f:1 toString:f:1"},
    {"Error", "Function.prototype", "prototype:o:3"},
    {"Error.prototype", "Object.prototype", "constructor:f:3 message:s:1 name:s:1 toString:f:1"},
    {"AsBroadcaster", "Function.prototype",
     "prototype:o:3 initialize:f:3 addListener:f:3 removeListener:f:3 broadcastMessage:f:3"},
    {"AsBroadcaster.prototype", "Object.prototype", "constructor:f:3"},
    {"MovieClip", "Function.prototype", "prototype:o:3"},
    {"MovieClip.prototype", "Object.prototype",
     "constructor:f:3 play:f:1 stop:f:1 nextFrame:f:1 prevFrame:f:1 gotoAndPlay:f:1 "
     "gotoAndStop:f:1 getDepth:f:1 attachMovie:f:1 duplicateMovieClip:f:1 removeMovieClip:f:1 "
     "createEmptyMovieClip:f:1 createTextField:f:1 swapDepths:f:1 getNextHighestDepth:f:1 "
     "hitTest:f:1 getBounds:f:1 localToGlobal:f:1 globalToLocal:f:1 startDrag:f:1 stopDrag:f:1 "
     "beginFill:f:1 beginGradientFill:f:1 lineStyle:f:1 moveTo:f:1 lineTo:f:1 curveTo:f:1 "
     "endFill:f:1 clear:f:1 setMask:f:1 getBytesLoaded:f:1 getBytesTotal:f:1 loadMovie:f:1 "
     "unloadMovie:f:1 loadVariables:f:1 getURL:f:1 attachSound:f:1 getInstanceAtDepth:f:1"},
    {"Button", "Function.prototype", "prototype:o:3"},
    {"Button.prototype", "Object.prototype",
     "constructor:f:3 enabled:b:1 useHandCursor:b:1 getDepth:f:1"},
    {"Key", "Object.prototype",
     "isDown:f:1 isToggled:f:1 getCode:f:1 getAscii:f:1 addListener:f:1 removeListener:f:1 "
     "BACKSPACE:n=8:7 CAPSLOCK:n=20:7 CONTROL:n=17:7 DELETEKEY:n=46:7 DOWN:n=40:7 END:n=35:7 "
     "ENTER:n=13:7 ESCAPE:n=27:7 HOME:n=36:7 INSERT:n=45:7 LEFT:n=37:7 PGDN:n=34:7 PGUP:n=33:7 "
     "RIGHT:n=39:7 SHIFT:n=16:7 SPACE:n=32:7 TAB:n=9:7 UP:n=38:7"},
    {"Mouse", "Object.prototype", "show:f:1 hide:f:1 addListener:f:1 removeListener:f:1"},
    {"Stage", "Object.prototype",
     "addListener:f:1 removeListener:f:1 width:get:3 height:get:3 scaleMode:get:3 align:get:3 "
     "showMenu:get:3"},
    {"Color", "Function.prototype", "prototype:o:3"},
    {"Color.prototype", "Object.prototype",
     "constructor:f:3 setRGB:f:1 getRGB:f:1 setTransform:f:1 getTransform:f:1"},
    {"Sound", "Function.prototype", "prototype:o:3"},
    {"Sound.prototype", "Object.prototype",
     "constructor:f:3 attachSound:f:1 start:f:1 stop:f:1 setVolume:f:1 getVolume:f:1 setPan:f:1 "
     "getPan:f:1 setTransform:f:1 getTransform:f:1 loadSound:f:1 getBytesLoaded:f:1 "
     "getBytesTotal:f:1"},
    {"TextField", "Function.prototype", "prototype:o:3"},
    {"TextField.prototype", "Object.prototype",
     "constructor:f:3 setTextFormat:f:1 getTextFormat:f:1 replaceSel:f:1 removeTextField:f:1 "
     "getDepth:f:1 setNewTextFormat:f:1 getNewTextFormat:f:1 text:get+set:3 htmlText:get+set:3 "
     "html:get+set:3 multiline:get+set:3 wordWrap:get+set:3 border:get+set:3 borderColor:get+set:3 "
     "background:get+set:3 backgroundColor:get+set:3 textColor:get+set:3 autoSize:get+set:3 "
     "selectable:get+set:3 variable:get+set:3 password:get+set:3 type:get+set:3 "
     "embedFonts:get+set:3 textWidth:get+set:3 textHeight:get+set:3 length:get+set:3 "
     "scroll:get+set:3 maxscroll:get+set:3 _x:get+set:3 _y:get+set:3 _width:get+set:3 "
     "_height:get+set:3 _visible:get+set:3 _alpha:get+set:3 _name:get+set:3"},
    {"TextFormat", "Function.prototype", "prototype:o:3"},
    {"TextFormat.prototype", "Object.prototype", "constructor:f:3"},
    {"LoadVars", "Function.prototype", "prototype:o:3"},
    {"LoadVars.prototype", "Object.prototype",
     "constructor:f:3 load:f:1 send:f:1 sendAndLoad:f:1 toString:f:1 decode:f:1"},
    {"XML", "Function.prototype", "prototype:o:3"},
    {"XML.prototype", "Object.prototype",
     "constructor:f:3 load:f:1 send:f:1 sendAndLoad:f:1 parseXML:f:1 toString:f:1"},
    {"LocalConnection", "Function.prototype", "prototype:o:3"},
    {"LocalConnection.prototype", "Object.prototype",
     "constructor:f:3 connect:f:1 send:f:1 close:f:1 domain:f:1"},
    {"SharedObject", "Function.prototype", "prototype:o:3"},
    {"SharedObject.prototype", "Object.prototype",
     "constructor:f:3 flush:f:1 clear:f:1 getSize:f:1"},
};

TEST(ScriptBuiltinsLayout, EveryBuiltInObjectHasItsMembersFlagsAndPrototype) {
    for (const int version : {5, 6, 8}) {
        std::vector<Layout> expected = kLayout;
        if (version < 6) {
            // _global and Function are names from version 6 on (Function's prototype is there
            // all the same).
            std::string& members = expected[0].members;
            for (const std::string_view name : {" _global:o:1", " Function:f:1"}) {
                members.erase(members.find(name), name.size());
            }
            std::erase_if(expected, [](const Layout& l) {
                return l.object == "Function" || l.object == "Function.prototype";
            });
        }
        const std::vector<Layout> got = layoutOf(version);
        ASSERT_EQ(got.size(), expected.size()) << "version " << version;
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(expected[i].object + " in version " + std::to_string(version));
            EXPECT_EQ(got[i].object, expected[i].object);
            EXPECT_EQ(got[i].proto, expected[i].proto);
            EXPECT_EQ(got[i].members, expected[i].members);
        }
    }
}

} // namespace
} // namespace kinovex::flash::test
