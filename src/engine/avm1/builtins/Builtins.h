#pragma once
// The built-in classes and functions every movie starts with, one file each. Vm::installBuiltins
// calls them in the order they go onto _global, which is the order a for..in over _global finds
// them in once ASSetPropFlags shows them.

#include "engine/avm1/Vm.h"

#include <string_view>

namespace kinovex::flash::avm1 {

// A class on _global: its constructor `name` and its prototype `proto`, each naming the other.
Object* defineClass(Vm& vm, std::string_view name, NativeFunction ctor, Object* proto,
                    bool constructs);
// A function as the player's own ActionScript defines them: with a prototype object of its own
// whose constructor is the function.
Object* newScriptedFunction(Vm& vm, NativeFunction f, std::string_view name);
// For a class that came after the movie's version (`versionFlag`, e.g. kFromVersion7): its
// prototype names Object as its constructor, and its __proto__ carries the flag.
void markNewerPrototype(Vm& vm, Object* proto, PropFlags versionFlag);
// A bare function, as the player's lowest-level hooks are: no __proto__, no constructor.
Object* newBareFunction(Vm& vm, NativeFunction f);

void installObjectClass(Vm& vm);
void installFunctionClass(Vm& vm);
// These return the prototype they made.
Object* installArrayClass(Vm& vm);
Object* installStringClass(Vm& vm);
Object* installNumberClass(Vm& vm);
Object* installBooleanClass(Vm& vm);
void installMathObject(Vm& vm);
void installDateClass(Vm& vm);
Object* installErrorClass(Vm& vm);
void installAsBroadcaster(Vm& vm);
void installGlobalFunctions(Vm& vm);
// ASnative on _global: built-in functions by number (needs Object.prototype installed).
void installAsNative(Vm& vm);
Object* installMovieClipClass(Vm& vm);
Object* installButtonClass(Vm& vm);
void installContextMenuClasses(Vm& vm);
void installSystemObject(Vm& vm); // System, System.capabilities and ASnative(11, 0)

// The clip a clip's or button's script object stands for; 0 for anything else.
ClipId clipOf(const Value& self);
// getDepth() of clips and buttons.
Value clipDepth(Vm& vm, const Value& self, Args args);

} // namespace kinovex::flash::avm1
