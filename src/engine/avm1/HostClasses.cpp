// The methods of MovieClip that work on the display list, and Key, Mouse, Stage, Color, Sound and
// TextField: their methods are calls on the host, which owns clips, input and sound.

#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

void Vm::installHostClasses() {
    // ---- the player's methods of MovieClip ----
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
}

} // namespace kinovex::flash::avm1
