// MovieClip, Key, Mouse, Stage, Color, Sound and TextField: their methods are calls on the host,
// which owns clips, input and sound.

#include "engine/avm1/Vm.h"

#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

ClipId clipOf(const Value& self) {
    if (self.isObject() && self.asObject()->objectClass() == ObjectClass::Clip) {
        return self.asObject()->clip();
    }
    return 0;
}

// gotoAndPlay(frame) / gotoAndStop(frame): a number or a label.
void gotoFrame(Vm& v, ClipId clip, const Value& frame, bool play) {
    if (!clip) {
        return;
    }
    if (frame.isString()) {
        const double n = stringToNumber(frame.asString(), 5);
        if (std::isnan(n)) {
            v.host().gotoLabel(clip, frame.asString(), play);
            return;
        }
        v.host().gotoFrame(clip, static_cast<std::uint32_t>(std::max(1.0, n)), play);
        return;
    }
    const double n = toInteger(v.toNumber(frame));
    v.host().gotoFrame(clip, static_cast<std::uint32_t>(std::clamp(n, 1.0, 1e9)), play);
}

} // namespace

void Vm::installHostClasses() {
    // ---- MovieClip ----
    m_clipProto = newObject();
    Object* clipCtor = newFunction([](Vm&, const Value&, auto) { return Value(); }, "MovieClip");
    clipCtor->define("prototype", Value(m_clipProto), kDontEnum | kDontDelete);
    m_clipProto->define("constructor", Value(clipCtor), kDontEnum);
    m_global->define("MovieClip", Value(clipCtor), kDontEnum);

    setFunction(m_clipProto, "play", [](Vm& v, const Value& self, auto) {
        if (ClipId c = clipOf(self)) {
            v.host().play(c);
        }
        return Value();
    });
    setFunction(m_clipProto, "stop", [](Vm& v, const Value& self, auto) {
        if (ClipId c = clipOf(self)) {
            v.host().stop(c);
        }
        return Value();
    });
    setFunction(m_clipProto, "nextFrame", [](Vm& v, const Value& self, auto) {
        if (ClipId c = clipOf(self)) {
            v.host().nextFrame(c);
        }
        return Value();
    });
    setFunction(m_clipProto, "prevFrame", [](Vm& v, const Value& self, auto) {
        if (ClipId c = clipOf(self)) {
            v.host().prevFrame(c);
        }
        return Value();
    });
    setFunction(m_clipProto, "gotoAndPlay",
                [](Vm& v, const Value& self, std::span<const Value> args) {
                    gotoFrame(v, clipOf(self), arg(args, 0), true);
                    return Value();
                });
    setFunction(m_clipProto, "gotoAndStop",
                [](Vm& v, const Value& self, std::span<const Value> args) {
                    gotoFrame(v, clipOf(self), arg(args, 0), false);
                    return Value();
                });
    setFunction(m_clipProto, "getDepth", [](Vm& v, const Value& self, auto) -> Value {
        const ClipId c = clipOf(self);
        return c && v.host().clipExists(c) ? Value(static_cast<double>(v.host().clipDepth(c)))
                                           : Value();
    });
    for (const char* name : {"attachMovie",
                             "duplicateMovieClip",
                             "removeMovieClip",
                             "createEmptyMovieClip",
                             "createTextField",
                             "swapDepths",
                             "getNextHighestDepth",
                             "hitTest",
                             "getBounds",
                             "localToGlobal",
                             "globalToLocal",
                             "startDrag",
                             "stopDrag",
                             "beginFill",
                             "beginGradientFill",
                             "lineStyle",
                             "moveTo",
                             "lineTo",
                             "curveTo",
                             "endFill",
                             "clear",
                             "setMask",
                             "getBytesLoaded",
                             "getBytesTotal",
                             "loadMovie",
                             "unloadMovie",
                             "loadVariables",
                             "getURL",
                             "attachSound",
                             "getInstanceAtDepth"}) {
        const std::string method = name;
        setFunction(m_clipProto, method,
                    [method](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                        const ClipId c = clipOf(self);
                        return c ? v.host().callClipMethod(v, c, method, args) : Value();
                    });
    }

    // ---- Button: a button's script object; its clip properties come from the host ----
    m_buttonProto = newObject();
    Object* buttonCtor = newFunction([](Vm&, const Value&, auto) { return Value(); }, "Button");
    buttonCtor->define("prototype", Value(m_buttonProto), kDontEnum | kDontDelete);
    m_buttonProto->define("constructor", Value(buttonCtor), kDontEnum);
    m_global->define("Button", Value(buttonCtor), kDontEnum);
    // What the host reads back after scripts ran: a button takes the mouse and shows the hand
    // until a script says otherwise.
    m_buttonProto->define("enabled", Value(true), kDontEnum);
    m_buttonProto->define("useHandCursor", Value(true), kDontEnum);
    setFunction(m_buttonProto, "getDepth", [](Vm& v, const Value& self, auto) -> Value {
        const ClipId c = clipOf(self);
        return c && v.host().clipExists(c) ? Value(static_cast<double>(v.host().clipDepth(c)))
                                           : Value();
    });

    // ---- objects and classes the host implements ----
    auto hostMethods = [this](Object* target, const std::string& className,
                              std::initializer_list<const char*> methods) {
        for (const char* name : methods) {
            const std::string method = name;
            setFunction(target, method,
                        [className, method](Vm& v, const Value& self,
                                            std::span<const Value> args) -> Value {
                            Object* o = self.isObject() ? self.asObject() : nullptr;
                            return v.host().callHostMethod(v, className, o, method, args);
                        });
        }
    };
    Object* key = newObject();
    key->setHostClass("Key");
    m_global->define("Key", Value(key), kDontEnum);
    hostMethods(key, "Key",
                {"isDown", "isToggled", "getCode", "getAscii", "addListener", "removeListener"});
    const std::pair<const char*, int> keyCodes[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40},
        {"END", 35},      {"ENTER", 13},    {"ESCAPE", 27},  {"HOME", 36},      {"INSERT", 45},
        {"LEFT", 37},     {"PGDN", 34},     {"PGUP", 33},    {"RIGHT", 39},     {"SHIFT", 16},
        {"SPACE", 32},    {"TAB", 9},       {"UP", 38}};
    for (const auto& [name, code] : keyCodes) {
        key->define(name, Value(code), kDontEnum | kDontDelete | kReadOnly);
    }
    Object* mouse = newObject();
    mouse->setHostClass("Mouse");
    m_global->define("Mouse", Value(mouse), kDontEnum);
    hostMethods(mouse, "Mouse", {"show", "hide", "addListener", "removeListener"});
    Object* stage = newObject();
    stage->setHostClass("Stage");
    m_global->define("Stage", Value(stage), kDontEnum);
    hostMethods(stage, "Stage", {"addListener", "removeListener"});
    for (const char* name : {"width", "height", "scaleMode", "align", "showMenu"}) {
        const std::string property = name;
        Property& p = stage->define(property, Value(), kDontEnum | kDontDelete);
        p.getter = newFunction([property](Vm& v, const Value& self, auto) {
            Object* o = self.isObject() ? self.asObject() : nullptr;
            return v.host().callHostMethod(v, "Stage", o, property, {});
        });
    }

    // Classes whose instances stand for something of the host's: the constructor keeps its
    // arguments (the target clip for Color and Sound) where the host can read them.
    auto hostClass = [this, &hostMethods](const char* name,
                                          std::initializer_list<const char*> methods) {
        Object* proto = newObject();
        const std::string className = name;
        Object* ctor = newFunction(
            [className](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                Object* o = self.isObject() ? self.asObject() : nullptr;
                if (o) {
                    o->setHostClass(className);
                    o->primitive() =
                        Value(v.newArray(std::vector<Value>(args.begin(), args.end())));
                    v.host().callHostMethod(v, className, o, "constructor", args);
                }
                return self;
            },
            name);
        ctor->define("prototype", Value(proto), kDontEnum | kDontDelete);
        proto->define("constructor", Value(ctor), kDontEnum);
        m_global->define(name, Value(ctor), kDontEnum);
        hostMethods(proto, className, methods);
        return proto;
    };
    hostClass("Color", {"setRGB", "getRGB", "setTransform", "getTransform"});
    hostClass("Sound",
              {"attachSound", "start", "stop", "setVolume", "getVolume", "setPan", "getPan",
               "setTransform", "getTransform", "loadSound", "getBytesLoaded", "getBytesTotal"});
    Object* fieldProto =
        hostClass("TextField", {"setTextFormat", "getTextFormat", "replaceSel", "removeTextField",
                                "getDepth", "setNewTextFormat", "getNewTextFormat"});
    // A field's properties read and write the field itself: the host answers "get:text",
    // "set:text" and so on.
    for (const char* name :
         {"text",       "htmlText",    "html",       "multiline",       "wordWrap",
          "border",     "borderColor", "background", "backgroundColor", "textColor",
          "autoSize",   "selectable",  "variable",   "password",        "type",
          "embedFonts", "textWidth",   "textHeight", "length",          "scroll",
          "maxscroll",  "_x",          "_y",         "_width",          "_height",
          "_visible",   "_alpha",      "_name"}) {
        const std::string property = name;
        Property& p = fieldProto->define(property, Value(), kDontEnum | kDontDelete);
        p.getter = newFunction([property](Vm& v, const Value& self, auto) {
            Object* o = self.isObject() ? self.asObject() : nullptr;
            return v.host().callHostMethod(v, "TextField", o, "get:" + property, {});
        });
        p.setter = newFunction([property](Vm& v, const Value& self, std::span<const Value> args) {
            Object* o = self.isObject() ? self.asObject() : nullptr;
            v.host().callHostMethod(v, "TextField", o, "set:" + property, args);
            return Value();
        });
    }
    hostClass("TextFormat", {});
    hostClass("LoadVars", {"load", "send", "sendAndLoad", "toString", "decode"});
    hostClass("XML", {"load", "send", "sendAndLoad", "parseXML", "toString"});
    hostClass("LocalConnection", {"connect", "send", "close", "domain"});
    hostClass("SharedObject", {"flush", "clear", "getSize"});
}

} // namespace kinovex::flash::avm1
