// Key, Mouse and Stage: the keyboard, the pointer and the stage as scripts see them, and the
// listeners scripts give them (called by ScriptRuntime::callListeners).

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/definitions/Movie.h"

#include <algorithm>
#include <cmath>

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

Value nothing(avm1::Vm&, const Value&, Args) {
    return {};
}

} // namespace

void ScriptRuntime::installKeyObject() {
    avm1::Vm& vm = *m_vm;
    Object* key = avm1::defineHostObject(vm, "Key");
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
    defineListeners(vm, key);
    const std::pair<const char*, int> keyCodes[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40},
        {"END", 35},      {"ENTER", 13},    {"ESCAPE", 27},  {"HOME", 36},      {"INSERT", 45},
        {"LEFT", 37},     {"PGDN", 34},     {"PGUP", 33},    {"RIGHT", 39},     {"SHIFT", 16},
        {"SPACE", 32},    {"TAB", 9},       {"UP", 38}};
    for (const auto& [name, code] : keyCodes) {
        key->define(name, Value(code), avm1::kDontEnum | avm1::kDontDelete | avm1::kReadOnly);
    }
}

void ScriptRuntime::installMouseObject() {
    avm1::Vm& vm = *m_vm;
    Object* mouse = avm1::defineHostObject(vm, "Mouse");
    // show and hide: the pointer is the host's.
    vm.setFunction(mouse, "show", nothing);
    vm.setFunction(mouse, "hide", nothing);
    defineListeners(vm, mouse);
}

void ScriptRuntime::installStageObject() {
    avm1::Vm& vm = *m_vm;
    Object* stage = avm1::defineHostObject(vm, "Stage");
    defineListeners(vm, stage);
    // The movie is shown whole, scaled to the output.
    const double width = std::round(m_movie.frameSize().width() / 20.0);
    const double height = std::round(m_movie.frameSize().height() / 20.0);
    const std::pair<const char*, Value> properties[] = {{"width", Value(width)},
                                                        {"height", Value(height)},
                                                        {"scaleMode", Value("showAll")},
                                                        {"align", Value("")},
                                                        {"showMenu", Value(true)}};
    for (const auto& [name, value] : properties) {
        avm1::Property& p = stage->define(name, Value(), avm1::kDontEnum | avm1::kDontDelete);
        p.getter = vm.newFunction([v = value](avm1::Vm&, const Value&, Args) { return v; });
    }
}

} // namespace kinovex::flash
