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
            // Color's and Sound's prototypes, Key, Mouse, Selection, Accessibility, Date, Math,
            // Number and Object are sealed, read-only as well.
            const bool sealed = name == "Color.prototype" || name == "Sound.prototype" ||
                                name == "Key" || name == "Mouse" || name == "Selection" ||
                                name == "Accessibility" || name == "Date" || name == "Math" ||
                                name == "Number" || name == "Object";
            // A player function's link is seen from version 6 on; the prototypes of
            // MovieClipLoader and PrintJob link on from version 7.
            // ContextMenu's, ContextMenuItem's and LoadVars' prototypes carry their class's
            // version on the link in older movies.
            const bool newerMenu = version < 7 && (name == "ContextMenu.prototype" ||
                                                   name == "ContextMenuItem.prototype");
            const bool from7 =
                name == "MovieClipLoader.prototype" || name == "PrintJob.prototype" || newerMenu;
            const bool from6 = version < 6 && name == "LoadVars.prototype";
            const avm1::PropFlags flags =
                avm1::kDontEnum | avm1::kDontDelete | (sealed ? avm1::kReadOnly : 0) |
                (from7 ? avm1::kFromVersion7 : 0) | (from6 ? avm1::kFromVersion6 : 0) |
                (o->function() != nullptr ? avm1::kFromVersion6 : 0);
            EXPECT_TRUE(proto && proto->flags == flags) << name;
        }
        if (o->function() != nullptr && o->proto() != nullptr) {
            const Object* function =
                runtime.vm().functionPrototype()->findOwn("constructor")->value.asObject();
            const Property* ctor = o->findOwn("constructor");
            // Date's, Number's and Object's constructor links are read-only too.
            const bool sealed = name == "Date" || name == "Number" || name == "Object";
            const avm1::PropFlags flags =
                avm1::kDontEnum | avm1::kDontDelete | (sealed ? avm1::kReadOnly : 0);
            EXPECT_TRUE(ctor && ctor->flags == flags && ctor->value.asObject() == function) << name;
        }
        out.push_back(l);
    }
    return out;
}

// Movies of version 6 on. Flags: 1 hidden from for..in, 2 not deletable, 4 read-only.
const std::vector<Layout> kLayout = {
    {"_global", "Object.prototype",
     "Object:f:1 Function:f:1 Array:f:1 String:f:1 Number:f:1 Boolean:f:1 Math:o:1 Date:f:1 "
     "Error:f:1 AsBroadcaster:f:1 getTimer:f:3 trace:f:3 isNaN:f:3 isFinite:f:3 parseFloat:f:3 "
     "parseInt:f:3 escape:f:3 unescape:f:3 setInterval:f:3 clearInterval:f:3 setTimeout:f:3 "
     "clearTimeout:f:3 ASSetPropFlags:f:3 AsSetupError:f:1 enableDebugConsole:f:3 "
     "showRedrawRegions:f:3 updateAfterEvent:f:3 ASnative:f:3 ASconstructor:f:3 ASSetNative:f:3 "
     "ASSetNativeAccessor:f:3 _global:o:1 NaN:n=NaN:1 "
     "Infinity:n=Infinity:1 o:u:1 MovieClip:f:1 Button:f:1 flash:o:4097 ContextMenu:f:1 "
     "ContextMenuItem:f:1 System:o:1 Key:o:1 Mouse:o:1 Stage:o:1 Selection:o:1 Color:f:1 Sound:f:1 "
     "TextField:f:1 TextFormat:f:1 LoadVars:f:1 XMLNode:f:1 XML:f:1 LocalConnection:f:1 "
     "SharedObject:f:1 Camera:f:1 Microphone:f:1 Accessibility:o:1 PrintJob:f:1 TextSnapshot:f:1 "
     "XMLSocket:f:1 RemoteLSOUsage:f:1 Video:f:1 MovieClipLoader:f:1"},
    {"Object", "Function.prototype", "prototype:o:7 registerClass:f:7"},
    {"Object.prototype", "null",
     "constructor:f:3 toString:f:3 valueOf:f:3 hasOwnProperty:f:131 isPropertyEnumerable:f:131 "
     "isPrototypeOf:f:131 addProperty:f:131 watch:f:131 unwatch:f:131 toLocaleString:f:3"},
    {"Function", "Function.prototype", "prototype:o:3"},
    {"Function.prototype", "Object.prototype", "constructor:f:3 call:f:131 apply:f:131"},
    {"Array", "Function.prototype",
     "prototype:o:3 CASEINSENSITIVE:n=1:0 DESCENDING:n=2:0 UNIQUESORT:n=4:0 "
     "RETURNINDEXEDARRAY:n=8:0 NUMERIC:n=16:0"},
    {"Array.prototype", "Object.prototype",
     "constructor:f:3 push:f:3 pop:f:3 shift:f:3 unshift:f:3 join:f:3 toString:f:3 reverse:f:3 "
     "slice:f:3 splice:f:3 concat:f:3 sort:f:3 sortOn:f:3"},
    {"String", "Function.prototype", "prototype:o:3 fromCharCode:f:3"},
    {"String.prototype", "Object.prototype",
     "constructor:f:3 toString:f:3 valueOf:f:3 charAt:f:3 charCodeAt:f:3 indexOf:f:3 "
     "lastIndexOf:f:3 substr:f:3 substring:f:3 slice:f:3 split:f:3 toUpperCase:f:3 toLowerCase:f:3 "
     "concat:f:3"},
    {"Number", "Function.prototype",
     "prototype:o:7 MAX_VALUE:n=1.79769313486231e+308:7 MIN_VALUE:n=4.94065645841247e-324:7 "
     "NaN:n=NaN:7 POSITIVE_INFINITY:n=Infinity:7 NEGATIVE_INFINITY:n=-Infinity:7"},
    {"Number.prototype", "Object.prototype", "constructor:f:3 toString:f:3 valueOf:f:3"},
    {"Boolean", "Function.prototype", "prototype:o:3"},
    {"Boolean.prototype", "Object.prototype", "constructor:f:3 toString:f:3 valueOf:f:3"},
    {"Math", "Object.prototype",
     "abs:f:7 acos:f:7 asin:f:7 atan:f:7 ceil:f:7 cos:f:7 exp:f:7 floor:f:7 log:f:7 round:f:7 "
     "sin:f:7 sqrt:f:7 tan:f:7 atan2:f:7 pow:f:7 max:f:7 min:f:7 random:f:7 E:n=2.71828182845905:7 "
     "LN10:n=2.30258509299405:7 LN2:n=0.693147180559945:7 LOG10E:n=0.434294481903252:7 "
     "LOG2E:n=1.44269504088896:7 PI:n=3.14159265358979:7 SQRT1_2:n=0.707106781186548:7 "
     "SQRT2:n=1.4142135623731:7 constructor:f:7"},
    {"Date", "Function.prototype", "prototype:o:7 UTC:f:7"},
    {"Date.prototype", "Object.prototype",
     "constructor:f:3 getFullYear:f:3 getUTCFullYear:f:3 getMonth:f:3 getUTCMonth:f:3 getDate:f:3 "
     "getUTCDate:f:3 getHours:f:3 getUTCHours:f:3 getMinutes:f:3 getUTCMinutes:f:3 getSeconds:f:3 "
     "getUTCSeconds:f:3 getMilliseconds:f:3 getUTCMilliseconds:f:3 getDay:f:3 getUTCDay:f:3 "
     "getTime:f:3 valueOf:f:3 getYear:f:3 getUTCYear:f:3 getTimezoneOffset:f:3 setFullYear:f:3 "
     "setUTCFullYear:f:3 setMonth:f:3 setUTCMonth:f:3 setDate:f:3 setUTCDate:f:3 setHours:f:3 "
     "setUTCHours:f:3 "
     "setMinutes:f:3 setUTCMinutes:f:3 setSeconds:f:3 setUTCSeconds:f:3 setMilliseconds:f:3 "
     "setUTCMilliseconds:f:3 setYear:f:3 setTime:f:3 toString:f:3"},
    {"Error", "Function.prototype", "prototype:o:3"},
    {"Error.prototype", "Object.prototype", "constructor:f:3 message:s:0 name:s:0 toString:f:0"},
    {"AsBroadcaster", "Function.prototype",
     "prototype:o:131 initialize:f:131 addListener:f:131 removeListener:f:131 "
     "broadcastMessage:f:131"},
    {"AsBroadcaster.prototype", "Object.prototype", "constructor:f:3"},
    {"AsSetupError", "Function.prototype", "prototype:o:3"},
    {"AsSetupError.prototype", "Object.prototype", "constructor:f:3"},
    // Bare functions: no prototype link, no constructor.
    {"enableDebugConsole", "null", ""},
    {"ASnative", "null", ""},
    {"ASconstructor", "null", ""},
    {"MovieClip", "Function.prototype", "prototype:o:3"},
    {"MovieClip.prototype", "Object.prototype",
     "constructor:f:3 play:f:3 stop:f:3 nextFrame:f:3 prevFrame:f:3 gotoAndPlay:f:3 "
     "gotoAndStop:f:3 getDepth:f:131 attachMovie:f:3 duplicateMovieClip:f:3 removeMovieClip:f:3 "
     "createEmptyMovieClip:f:131 createTextField:f:3 swapDepths:f:3 getNextHighestDepth:f:3 "
     "hitTest:f:3 getBounds:f:3 localToGlobal:f:3 globalToLocal:f:3 startDrag:f:3 stopDrag:f:3 "
     "beginFill:f:131 beginGradientFill:f:131 lineStyle:f:131 moveTo:f:131 lineTo:f:131 "
     "curveTo:f:131 endFill:f:131 clear:f:131 setMask:f:131 getBytesLoaded:f:3 getBytesTotal:f:3 "
     "loadMovie:f:3 unloadMovie:f:3 loadVariables:f:3 getURL:f:3 attachSound:f:3 "
     "getInstanceAtDepth:f:1027 getSWFVersion:f:3 transform:get+set:4099"},
    {"Button", "Function.prototype", "prototype:o:3"},
    {"Button.prototype", "Object.prototype",
     "constructor:f:3 enabled:b:0 useHandCursor:b:0 getDepth:f:0 blendMode:get+set:0 "
     "cacheAsBitmap:get+set:0 filters:get+set:0 scale9Grid:get+set:0 tabIndex:get+set:0"},
    // The flash package (geom, filters), seen from version 8 on.
    {"flash", "Object.prototype", "geom:o:0 filters:o:0 net:o:0"},
    {"ContextMenu", "Function.prototype", "prototype:o:3"},
    {"ContextMenu.prototype", "Object.prototype",
     "constructor:f:3 copy:f:1027 hideBuiltInItems:f:1027"},
    {"ContextMenuItem", "Function.prototype", "prototype:o:3"},
    {"ContextMenuItem.prototype", "Object.prototype", "constructor:f:3 copy:f:1027"},
    {"System", "Object.prototype",
     "capabilities:o:3 security:o:3 setClipboard:f:3 showSettings:f:3 useCodepage:b:2 "
     "exactSettings:b:2"},
    {"Key", "Object.prototype",
     "constructor:f:7 broadcastMessage:f:135 addListener:f:135 removeListener:f:135 "
     "_listeners:o:135 "
     "isDown:f:7 isToggled:f:7 getCode:f:7 getAscii:f:7 isAccessible:f:7 ALT:n=18:7 "
     "BACKSPACE:n=8:7 CAPSLOCK:n=20:7 CONTROL:n=17:7 DELETEKEY:n=46:7 DOWN:n=40:7 END:n=35:7 "
     "ENTER:n=13:7 ESCAPE:n=27:7 HOME:n=36:7 INSERT:n=45:7 LEFT:n=37:7 PGDN:n=34:7 PGUP:n=33:7 "
     "RIGHT:n=39:7 SHIFT:n=16:7 SPACE:n=32:7 TAB:n=9:7 UP:n=38:7"},
    {"Mouse", "Object.prototype",
     "constructor:f:7 broadcastMessage:f:135 addListener:f:135 removeListener:f:135 "
     "_listeners:o:135 "
     "show:f:7 hide:f:7"},
    {"Stage", "Object.prototype",
     "addListener:f:3 removeListener:f:3 width:get:3 height:get:3 scaleMode:get+set:3 "
     "align:get+set:3 showMenu:get:3"},
    {"Selection", "Object.prototype",
     "constructor:f:7 broadcastMessage:f:135 addListener:f:135 removeListener:f:135 "
     "_listeners:o:135 "
     "getFocus:f:7 setFocus:f:7 getBeginIndex:f:7 getEndIndex:f:7 getCaretIndex:f:7 "
     "setSelection:f:7"},
    {"Color", "Function.prototype", "prototype:o:3"},
    {"Color.prototype", "Object.prototype",
     "constructor:f:7 setRGB:f:7 getRGB:f:7 setTransform:f:7 getTransform:f:7"},
    {"Sound", "Function.prototype", "prototype:o:3"},
    {"Sound.prototype", "Object.prototype",
     "constructor:f:7 attachSound:f:7 start:f:7 stop:f:7 setVolume:f:7 getVolume:f:7 setPan:f:7 "
     "getPan:f:7 setTransform:f:7 getTransform:f:7 loadSound:f:7 getBytesLoaded:f:7 "
     "getBytesTotal:f:7 getDuration:f:7 setDuration:f:7 getPosition:f:7 setPosition:f:7 "
     "checkPolicyFile:get:3 areSoundsInaccessible:f:8199"},
    {"TextField", "Function.prototype", "prototype:o:3 StyleSheet:f:1025"},
    // The field properties come when the first field is made.
    {"TextField.prototype", "Object.prototype",
     "constructor:f:3 setTextFormat:f:3 getTextFormat:f:3 replaceSel:f:3 removeTextField:f:3 "
     "getDepth:f:3 setNewTextFormat:f:3 getNewTextFormat:f:3"},
    {"TextFormat", "Function.prototype", "prototype:o:3"},
    {"TextFormat.prototype", "Object.prototype", "constructor:f:3"},
    {"LoadVars", "Function.prototype", "prototype:o:3"},
    // LoadVars' members but toString are hidden from movies before version 6 (128).
    {"LoadVars.prototype", "Object.prototype",
     "constructor:f:3 contentType:s:131 load:f:131 send:f:131 sendAndLoad:f:131 decode:f:131 "
     "getBytesLoaded:f:131 getBytesTotal:f:131 addRequestHeader:f:131 toString:f:3 "
     "onData:f:131 onLoad:f:131"},
    // XMLNode's and XML's members show in for..in; the node's names and links are getters.
    {"XMLNode", "Function.prototype", "prototype:o:3"},
    {"XMLNode.prototype", "Object.prototype",
     "constructor:f:3 attributes:get:0 childNodes:get:0 firstChild:get:0 lastChild:get:0 "
     "localName:get:0 namespaceURI:get:0 nextSibling:get:0 nodeName:get+set:0 nodeType:get:0 "
     "nodeValue:get+set:0 parentNode:get:0 prefix:get:0 previousSibling:get:0 appendChild:f:0 "
     "cloneNode:f:0 getNamespaceForPrefix:f:0 getPrefixForNamespace:f:0 hasChildNodes:f:0 "
     "insertBefore:f:0 removeNode:f:0 toString:f:0"},
    {"XML", "Function.prototype", "prototype:o:3"},
    {"XML.prototype", "XMLNode.prototype",
     "__constructor__:f:129 getBytesLoaded:f:0 getBytesTotal:f:0 addRequestHeader:f:0 "
     "createElement:f:0 "
     "createTextNode:f:0 load:f:0 send:f:0 sendAndLoad:f:0 onData:f:0 onLoad:f:0 parseXML:f:0"},
    {"LocalConnection", "Function.prototype", "prototype:o:3"},
    {"LocalConnection.prototype", "Object.prototype",
     "constructor:f:3 connect:f:3 send:f:3 close:f:3 domain:f:3"},
    {"SharedObject", "Function.prototype",
     "prototype:o:3 deleteAll:f:1 getDiskUsage:f:1 getLocal:f:0 getRemote:f:0"},
    {"SharedObject.prototype", "Object.prototype",
     "constructor:f:3 flush:f:131 clear:f:131 getSize:f:131 close:f:131 connect:f:131 send:f:131 "
     "setFps:f:131"},
    {"Camera", "Function.prototype", "prototype:o:3 get:f:0"},
    {"Camera.prototype", "Object.prototype",
     "constructor:f:3 setCursor:f:3 setKeyFrameInterval:f:3 setLoopback:f:3 setMode:f:3 "
     "setMotionLevel:f:3 setQuality:f:3"},
    {"Microphone", "Function.prototype", "prototype:o:3 get:f:0"},
    {"Microphone.prototype", "Object.prototype",
     "constructor:f:3 setGain:f:3 setRate:f:3 setSilenceLevel:f:3 setUseEchoSuppression:f:3"},
    {"Accessibility", "Object.prototype",
     "constructor:f:7 isActive:f:134 sendEvent:f:134 updateProperties:f:134"},
    {"PrintJob", "Function.prototype", "prototype:o:3"},
    // Its page sizes come with the first PrintJob built.
    {"PrintJob.prototype", "Object.prototype",
     "constructor:f:3 start:f:1027 addPage:f:1027 send:f:1027"},
    {"TextSnapshot", "Function.prototype", "prototype:o:3"},
    {"TextSnapshot.prototype", "Object.prototype",
     "constructor:f:3 findText:f:128 getCount:f:128 getSelected:f:128 getSelectedText:f:128 "
     "getText:f:128 getTextRunInfo:f:128 hitTestTextNearPos:f:128 setSelectColor:f:128 "
     "setSelected:f:128"},
    {"XMLSocket", "Function.prototype", "prototype:o:3"},
    {"XMLSocket.prototype", "Object.prototype",
     "constructor:f:3 connect:f:3 close:f:3 send:f:3 onData:f:3"},
    {"RemoteLSOUsage", "Function.prototype", "prototype:o:3 getURLPageSupport:f:1"},
    {"RemoteLSOUsage.prototype", "Object.prototype", "constructor:f:3"},
    {"Video", "Function.prototype", "prototype:o:3"},
    {"Video.prototype", "Object.prototype", "constructor:f:3 attachVideo:f:3 clear:f:3"},
    {"MovieClipLoader", "Function.prototype", "prototype:o:3"},
    // All of it, its __proto__ too, is hidden from movies before version 7 (1024).
    {"MovieClipLoader.prototype", "Object.prototype",
     "broadcastMessage:f:1027 addListener:f:1027 removeListener:f:1027 _listeners:o:1027 "
     "constructor:f:1027 loadClip:f:1027 getProgress:f:1027 unloadClip:f:1027"},
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
