// ASnative(group, index): the player's built-in functions by number, as class libraries written
// for the player reach them even where a script has hidden or deleted the named ones. The
// numbers known here are those of Object.prototype's methods (group 101).

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
    vm.setFunction(vm.global(), "ASnative", [objectMethods](Vm& v, const Value&, Args args) {
        const double group = v.toNumber(arg(args, 0));
        const double index = v.toNumber(arg(args, 1));
        if (group != kObjectGroup || !(index >= 0) || index != std::floor(index) ||
            index >= static_cast<double>(objectMethods.size())) {
            return Value();
        }
        Object* f = objectMethods[static_cast<std::size_t>(index)];
        return f != nullptr ? Value(f) : Value();
    });
}

} // namespace kinovex::flash::avm1
