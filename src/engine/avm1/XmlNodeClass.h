#pragma once
// XMLNode on _global; the XML class builds on it.

#include "engine/avm1/Vm.h"

namespace kinovex::flash::avm1 {

// A getter/setter pair `name` on `proto`, as addProperty makes them (no setter: writes are lost).
void defineAccessor(Vm& vm, Object* proto, std::string_view name, NativeFunction get,
                    NativeFunction set = {});

// XMLNode's getters (firstChild, nodeName ...) on `proto` unless it has them: a node made by
// the XMLNode constructor, createElement or createTextNode puts them on its prototype.
void defineNodeAccessors(Vm& vm, Object* proto);

// Returns XMLNode.prototype.
Object* installXmlNodeClass(Vm& vm);

} // namespace kinovex::flash::avm1
