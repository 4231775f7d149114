#pragma once
// Array.prototype.sort and sortOn, and what the Array methods share.

#include "engine/avm1/Vm.h"

namespace kinovex::flash::avm1 {

// Array.sort flags (also on the Array constructor: Array.NUMERIC ...).
enum SortFlag : int {
    kCaseInsensitive = 1,
    kDescending = 2,
    kUniqueSort = 4,
    kReturnIndexedArray = 8,
    kNumeric = 16,
};

// The array `v` is; null for anything else.
Object* arrayOf(const Value& v);

Value arraySort(Vm& vm, const Value& self, Args args);
Value arraySortOn(Vm& vm, const Value& self, Args args);

} // namespace kinovex::flash::avm1
