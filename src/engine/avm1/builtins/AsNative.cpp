// ASnative(group, index): the player's built-in functions by number, as class libraries written
// for the player reach them even where a script has hidden or deleted the named ones. The
// numbers known here are those of Object.prototype's methods (group 101), escape (100, 0),
// ASnew (2, 0), Array.prototype.push (252, 1) and what the player's classes register on the Vm.

#include "engine/avm1/Vm.h"
#include "engine/avm1/builtins/Builtins.h"

#include <array>
#include <cmath>
#include <string_view>
#include <vector>

namespace kinovex::flash::avm1 {

namespace {

constexpr double kObjectGroup = 101;
constexpr std::array<std::string_view, 8> kObjectMethods = {
    "watch",    "unwatch",        "addProperty",   "valueOf",
    "toString", "hasOwnProperty", "isPrototypeOf", "isPropertyEnumerable"};

} // namespace

void installAsNative(Vm& vm) {
    // The functions as installed, held for good: a script may delete the named ones later.
    std::vector<Object*> objectMethods;
    for (const std::string_view name : kObjectMethods) {
        const Property* p = vm.objectPrototype()->findOwn(name);
        Object* f = p != nullptr && p->value.isObject() ? p->value.asObject() : nullptr;
        vm.keepAlive(f);
        objectMethods.push_back(f);
    }
    auto registerMember = [&vm](Object* holder, std::string_view name, int group, int index) {
        const Property* p = holder != nullptr ? holder->findOwn(name) : nullptr;
        if (p != nullptr && p->value.isObject()) {
            vm.registerNative(group, index, p->value.asObject());
        }
    };
    registerMember(vm.global(), "escape", 100, 0);
    registerMember(vm.global(), "unescape", 100, 1);
    registerMember(vm.arrayPrototype(), "push", 252, 1);
    // ASnew (2, 0): whether the script function calling it was called with `new`.
    Object* asNew = vm.newFunction(
        [](Vm& v, const Value&, Args) { return Value(v.scriptConstructed()); }, "ASnew");
    vm.keepAlive(asNew);
    vm.registerNative(2, 0, asNew);
    vm.setFunction(vm.global(), "ASnative", [objectMethods](Vm& v, const Value&, Args args) {
        const double group = v.toNumber(arg(args, 0));
        const double index = v.toNumber(arg(args, 1));
        if (!(index >= 0) || index != std::floor(index) || !(group >= 0) || group > 0xFFFF ||
            index > 0xFFFF) {
            return Value();
        }
        Object* known = group == kObjectGroup && index < static_cast<double>(objectMethods.size())
                            ? objectMethods[static_cast<std::size_t>(index)]
                            : v.native(static_cast<int>(group), static_cast<int>(index));
        // Every call makes a new function object; one this player does not have does nothing.
        const FunctionData* d = known != nullptr ? known->function() : nullptr;
        if (d == nullptr || !d->native) {
            return Value(v.newFunction([](Vm&, const Value&, Args) { return Value(); }));
        }
        return Value(v.newFunction(d->native, d->name, d->nativeConstructs));
    });
}

} // namespace kinovex::flash::avm1
