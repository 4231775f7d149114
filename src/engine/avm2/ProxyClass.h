#pragma once
// flash.utils.Proxy: an instance hands every use of a property it has no trait for to its
// class's flash_proxy methods. Each hook does nothing (nullopt, or false) when `obj` is no
// Proxy; property access calls them once the traits have not answered.

#include "engine/avm2/Object.h"

#include <optional>

namespace kinovex::flash::avm2 {

class Machine;

void installProxyClass(Machine& m); // and the flash_proxy namespace

std::optional<Value> proxyGet(Machine& vm, const Value& obj, const Name& name);
bool proxySet(Machine& vm, const Value& obj, const Name& name, const Value& v);
std::optional<Value> proxyCall(Machine& vm, const Value& obj, const Name& name, Args args);
std::optional<bool> proxyHas(Machine& vm, const Value& obj, const Name& name);
std::optional<bool> proxyDelete(Machine& vm, const Value& obj, const Name& name);
// for-in and for-each over a Proxy: nextNameIndex, nextName and nextValue.
std::uint32_t proxyNextIndex(Machine& vm, Object* o, std::uint32_t index);
Value proxyNameAt(Machine& vm, Object* o, std::uint32_t index);
Value proxyValueAt(Machine& vm, Object* o, std::uint32_t index);

} // namespace kinovex::flash::avm2
