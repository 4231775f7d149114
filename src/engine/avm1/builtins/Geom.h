#pragma once
// The flash.geom package: its classes, and the arithmetic they share. The classes keep their
// fields as ordinary members that scripts may set to anything, so their methods work the way
// the operators of a script would on those members.

#include "engine/avm1/Vm.h"
#include "engine/swf/Types.h"

#include <optional>

#include <span>
#include <string_view>

namespace kinovex::flash::avm1 {

// _global.flash.<name>, made on first use; _global.flash is seen from version 8 on.
Object* flashPackage(Vm& vm, std::string_view name);
// _global.flash.geom.
Object* geomPackage(Vm& vm);
// A class of flash.geom: its constructor (a function with a prototype of its own) and prototype.
Object* defineGeomClass(Vm& vm, std::string_view name, NativeFunction ctor, Object* proto);
// A function on `target` that has a prototype of its own, as functions made by scripts do.
void setGeomFunction(Vm& vm, Object* target, std::string_view name, NativeFunction f,
                     PropFlags flags = 0);
// A getter (and setter, when given) property on a prototype.
void setGeomProperty(Vm& vm, Object* proto, std::string_view name, NativeFunction get,
                     NativeFunction set = {});

// a + b, a - b, a * b as the script operators give them (b is converted before a).
Value plusValues(Vm& vm, const Value& a, const Value& b);
double minusValues(Vm& vm, const Value& a, const Value& b);
double timesValues(Vm& vm, const Value& a, const Value& b);
// "(a=1, b=2)": each field's name and value as the script reads it, joined as `+` joins them.
Value fieldsText(Vm& vm, const Value& self, std::span<const char* const> fields);
// new flash.geom.<name>(args), with whatever that name holds now.
Value newGeom(Vm& vm, std::string_view name, std::span<const Value> args);

void installPointClass(Vm& vm);
void installRectangleClass(Vm& vm);
void installColorTransformClass(Vm& vm);
void installMatrixClass(Vm& vm);
// flash.filters: BitmapFilter and its filters.
void installFilterClasses(Vm& vm);

// A new flash.geom.ColorTransform holding `cx`.
Value newColorTransform(Vm& vm, const ColorTransform& cx);
// What a ColorTransform object holds; nothing for any other value.
std::optional<ColorTransform> colorTransformOf(const Value& v);

} // namespace kinovex::flash::avm1
