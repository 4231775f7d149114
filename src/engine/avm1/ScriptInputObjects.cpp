// Key, Mouse and Stage: the keyboard, the pointer and the stage as scripts see them, and the
// listeners scripts give them (called by ScriptRuntime::callListeners).

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/definitions/Movie.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

Object* listenersOf(avm1::Vm& vm, Object* holder) {
    avm1::Property* p = holder->findOwn("_listeners");
    if (p != nullptr && p->value.isObject()) {
        return p->value.asObject();
    }
    Object* list = vm.newArray();
    holder->define("_listeners", Value(list), avm1::kDontEnum);
    return list;
}

// addListener(listener): true, whether or not it was there already.
Value addListener(avm1::Vm& vm, const Value& self, Args args) {
    Object* holder = avm1::selfObject(self);
    const Value listener = arg(args, 0);
    if (holder == nullptr || !listener.isObject()) {
        return Value(true);
    }
    auto& elements = listenersOf(vm, holder)->elements();
    if (std::find_if(elements.begin(), elements.end(), [&](const Value& v) {
            return v.isObject() && v.asObject() == listener.asObject();
        }) == elements.end()) {
        elements.push_back(listener);
    }
    return Value(true);
}

// removeListener(listener): whether it was there.
Value removeListener(avm1::Vm& vm, const Value& self, Args args) {
    Object* holder = avm1::selfObject(self);
    const Value listener = arg(args, 0);
    if (holder == nullptr || !listener.isObject()) {
        return Value(false);
    }
    auto& elements = listenersOf(vm, holder)->elements();
    const auto before = elements.size();
    std::erase_if(elements, [&](const Value& v) {
        return v.isObject() && v.asObject() == listener.asObject();
    });
    return Value(elements.size() != before);
}

void defineListeners(avm1::Vm& vm, Object* holder) {
    vm.setFunction(holder, "addListener", addListener);
    vm.setFunction(holder, "removeListener", removeListener);
}

} // namespace

void ScriptRuntime::installKeyObject() {
    avm1::Vm& vm = *m_vm;
    Object* key = avm1::defineBroadcasterObject(vm, "Key");
    vm.setFunction(key, "isDown", [this](avm1::Vm& v, const Value&, Args args) {
        return Value(m_keysDown.count(static_cast<int>(v.toNumber(arg(args, 0)))) != 0);
    });
    vm.setFunction(key, "isToggled", [](avm1::Vm&, const Value&, Args) { return Value(false); });
    vm.setFunction(key, "getCode", [this](avm1::Vm&, const Value&, Args) {
        return Value(static_cast<double>(m_lastKey));
    });
    vm.setFunction(key, "getAscii", [this](avm1::Vm&, const Value&, Args) {
        return Value(static_cast<double>(m_lastChar));
    });
    vm.setFunction(key, "isAccessible", [](avm1::Vm&, const Value&, Args) { return Value(false); });
    const std::pair<const char*, int> keyCodes[] = {
        {"ALT", 18},    {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46},
        {"DOWN", 40},   {"END", 35},      {"ENTER", 13},    {"ESCAPE", 27},  {"HOME", 36},
        {"INSERT", 45}, {"LEFT", 37},     {"PGDN", 34},     {"PGUP", 33},    {"RIGHT", 39},
        {"SHIFT", 16},  {"SPACE", 32},    {"TAB", 9},       {"UP", 38}};
    for (const auto& [name, code] : keyCodes) {
        key->define(name, Value(code));
    }
    avm1::sealProperties(key);
}

void ScriptRuntime::installMouseObject() {
    avm1::Vm& vm = *m_vm;
    Object* mouse = avm1::defineBroadcasterObject(vm, "Mouse");
    // show and hide: the pointer is the host's. Each tells whether it was shown before: 1 or 0.
    auto shown = std::make_shared<bool>(true);
    for (const bool show : {true, false}) {
        vm.setFunction(mouse, show ? "show" : "hide", [shown, show](avm1::Vm&, const Value&, Args) {
            const bool was = std::exchange(*shown, show);
            return Value(was ? 1.0 : 0.0);
        });
    }
    avm1::sealProperties(mouse);
}

namespace {

// Stage.align: the edges named, each by its letter in any case, always given as "LTRB" orders
// them; anything else in the text is passed over.
std::string stageAlign(std::string_view text) {
    std::string out;
    for (const char edge : {'L', 'T', 'R', 'B'}) {
        if (std::any_of(text.begin(), text.end(), [edge](char c) {
                return std::toupper(static_cast<unsigned char>(c)) == edge;
            })) {
            out += edge;
        }
    }
    return out;
}

// Stage.scaleMode: one of the four modes in any case, spelled the player's way; anything else
// leaves the mode as it was.
std::optional<std::string> stageScaleMode(std::string_view text) {
    for (const char* mode : {"noBorder", "exactFit", "showAll", "noScale"}) {
        const std::string_view m(mode);
        if (m.size() == text.size() &&
            std::equal(m.begin(), m.end(), text.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return std::string(m);
        }
    }
    return std::nullopt;
}

// Stage.scaleMode and Stage.align: what scripts set is kept and read back; the movie is shown
// the same way whatever they say. They are natives 666/1 to 666/4 as well (get, set each).
void defineStageSettings(avm1::Vm& vm, Object* stage) {
    auto settings = std::make_shared<std::pair<std::string, std::string>>("showAll", "");
    using Normalize = std::optional<std::string> (*)(std::string_view);
    const Normalize align = [](std::string_view t) { return std::optional(stageAlign(t)); };
    const std::tuple<const char*, std::string std::pair<std::string, std::string>::*, Normalize>
        properties[] = {{"scaleMode", &std::pair<std::string, std::string>::first, stageScaleMode},
                        {"align", &std::pair<std::string, std::string>::second, align}};
    int index = 1;
    for (const auto& property : properties) {
        // Plain locals rather than a structured binding: not every compiler lets lambdas
        // capture those.
        const char* name = std::get<0>(property);
        const auto member = std::get<1>(property);
        const Normalize normalize = std::get<2>(property);
        avm1::Property& p = stage->define(name, Value(), avm1::kDontEnum | avm1::kDontDelete);
        p.getter = vm.newFunction([settings, member](avm1::Vm&, const Value&, Args) {
            return Value((*settings).*member);
        });
        p.setter =
            vm.newFunction([settings, member, normalize](avm1::Vm& v, const Value&, Args args) {
                if (auto value = normalize(v.toString(arg(args, 0)))) {
                    (*settings).*member = std::move(*value);
                }
                return Value();
            });
        vm.registerNative(666, index++, p.getter);
        vm.registerNative(666, index++, p.setter);
    }
}

} // namespace

void ScriptRuntime::installStageObject() {
    avm1::Vm& vm = *m_vm;
    Object* stage = avm1::defineHostObject(vm, "Stage");
    defineListeners(vm, stage);
    // The movie is shown whole, scaled to the output.
    const double width = std::round(m_movie.frameSize().width() / 20.0);
    const double height = std::round(m_movie.frameSize().height() / 20.0);
    auto fixed = [&](const char* name, Value value) {
        avm1::Property& p = stage->define(name, Value(), avm1::kDontEnum | avm1::kDontDelete);
        p.getter = vm.newFunction([value](avm1::Vm&, const Value&, Args) { return value; });
    };
    fixed("width", Value(width));
    fixed("height", Value(height));
    defineStageSettings(vm, stage);
    fixed("showMenu", Value(true));
}

} // namespace kinovex::flash
