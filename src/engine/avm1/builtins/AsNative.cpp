// ASnative(group, index): the player's built-in functions by number, as class libraries written
// for the player reach them even where a script has hidden or deleted the named ones. The
// numbers known here are those of Object.prototype's methods (group 101), escape (100, 0),
// ASnew (2, 0), Array.prototype.push (252, 1) and what the player's classes register on the Vm.

#include "engine/avm1/Vm.h"
#include "engine/avm1/builtins/Builtins.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kinovex::flash::avm1 {

namespace {

constexpr double kObjectGroup = 101;
constexpr std::array<std::string_view, 8> kObjectMethods = {
    "watch",    "unwatch",        "addProperty",   "valueOf",
    "toString", "hasOwnProperty", "isPrototypeOf", "isPropertyEnumerable"};

// A name given to ASSetNative may start with the version that sees it: "6name" ... "9name".
PropFlags versionPrefix(std::string& name) {
    if (name.size() < 2 || name[0] < '6' || name[0] > '9') {
        return 0;
    }
    const char digit = name[0];
    name.erase(0, 1);
    return digit == '6'   ? kFromVersion6
           : digit == '7' ? kFromVersion7
           : digit == '8' ? kFromVersion8
                          : kFromVersion9;
}

// ASSetNative(object, group, "name,name...", first) puts ASnative(group, first + i) on the
// object under each name; ASSetNativeAccessor makes each name a getter/setter pair of two
// numbers in a row. A name the object had keeps its flags.
Value setNatives(Vm& vm, Args args, const Value& asNative, bool accessors) {
    Object* target = selfObject(arg(args, 0));
    if (!target || args.size() < 3) {
        return Value();
    }
    const Value group = args[1];
    // 64 bits: counting on from the largest 32-bit number must not overflow.
    std::int64_t index = args.size() > 3 ? toInt32(vm.toNumber(args[3])) : 0;
    auto next = [&]() {
        const Value number[] = {group, Value(static_cast<double>(index++))};
        return vm.call(asNative, Value(), number);
    };
    const std::string names = vm.toString(args[2]);
    for (std::size_t start = 0; start <= names.size();) {
        const std::size_t end = std::min(names.find(',', start), names.size());
        std::string name = names.substr(start, end - start);
        start = end + 1;
        const PropFlags flags = versionPrefix(name);
        const Value getter = next();
        const Value setter = accessors ? next() : Value();
        if (name.empty()) {
            continue;
        }
        const bool had = target->findOwn(name) != nullptr;
        Property& p = target->define(name, accessors ? Value() : getter);
        if (accessors && getter.isObject()) {
            p.getter = getter.asObject();
            p.setter = setter.isObject() ? setter.asObject() : nullptr;
        }
        if (!had || accessors) {
            p.flags = flags;
        }
    }
    return Value();
}

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
    // ASnative(group, index) gives the function; ASconstructor(group, index) the same as a
    // class, with a prototype of its own. Both are bare functions themselves.
    auto nativeFunction = [objectMethods](Vm& v, Args args, bool asClass) {
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
        NativeFunction f =
            d != nullptr && d->native ? d->native : [](Vm&, const Value&, Args) { return Value(); };
        if (asClass) {
            return Value(newScriptedFunction(v, std::move(f), d != nullptr ? d->name : ""));
        }
        return Value(v.newFunction(std::move(f), d != nullptr ? d->name : "",
                                   d != nullptr && d->nativeConstructs));
    };
    const PropFlags hook = kDontEnum | kDontDelete;
    Object* asNative = newBareFunction(vm, [nativeFunction](Vm& v, const Value&, Args args) {
        return nativeFunction(v, args, false);
    });
    Object* asConstructor = newBareFunction(vm, [nativeFunction](Vm& v, const Value&, Args args) {
        return nativeFunction(v, args, true);
    });
    vm.global()->define("ASnative", Value(asNative), hook);
    vm.global()->define("ASconstructor", Value(asConstructor), hook);
    vm.keepAlive(asNative);
    vm.setFunction(vm.global(), "ASSetNative", [asNative](Vm& v, const Value&, Args args) {
        return setNatives(v, args, Value(asNative), false);
    });
    vm.setFunction(vm.global(), "ASSetNativeAccessor", [asNative](Vm& v, const Value&, Args args) {
        return setNatives(v, args, Value(asNative), true);
    });
}

} // namespace kinovex::flash::avm1
