#pragma once
// Script objects that stand for something of the player's: objects on _global (Key, Mouse,
// Stage) and classes whose instances the player answers for (Color, Sound, TextField ...). The
// player defines them and registers their methods beside its code.

#include "engine/avm1/Vm.h"

#include <functional>
#include <string_view>

namespace kinovex::flash::avm1 {

// An object on _global.
Object* defineHostObject(Vm& vm, std::string_view name);

// An object on _global made as the player makes Key, Mouse and Selection: a new Object given to
// AsBroadcaster.initialize. Seal it once its methods are on.
Object* defineBroadcasterObject(Vm& vm, std::string_view name);
// Gives `o` AsBroadcaster's members, as AsBroadcaster.initialize(o) does.
void makeBroadcaster(Vm& vm, Object* o);
// Makes every property of `o` hidden, permanent and read-only.
void sealProperties(Object* o);

// What a host class's constructor does besides keeping its arguments.
using HostInit = std::function<void(Vm& vm, Object* self, Args args)>;

// A class on _global; returns its prototype. Its constructor keeps its arguments where the
// methods find them (constructorArg: the target clip of Color and Sound), then runs `init` when
// there is one.
Object* defineHostClass(Vm& vm, std::string_view name, HostInit init = {});

// Argument `i` the constructor of `self` was given; undefined when there was none.
Value constructorArg(const Object* self, std::size_t i);

// The prototype _global's class `name` has now (a script may have replaced either); null when
// there is none.
Object* currentPrototype(Vm& vm, const char* name);

} // namespace kinovex::flash::avm1
