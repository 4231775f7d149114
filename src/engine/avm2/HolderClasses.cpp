// Classes that only hold what a script gives them: flash.net's FileFilter and
// NetStreamPlayOptions, and flash.printing.PrintJobOptions.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/NativeVariables.h"

namespace kinovex::flash::avm2 {

namespace {

// Sets each variable of `self` in slot order from the arguments given; the rest keep their
// defaults.
Value fillSlots(Machine& vm, Value self, Args a) {
    if (!self.isObject()) {
        return Value();
    }
    Object* o = self.o;
    const Traits& traits = o->cls->instanceTraits;
    for (std::size_t i = 0; i < a.size() && i < o->slots.size(); ++i) {
        o->slots[i] = vm.coerceTo(a[i], traits.slots[i].typeName);
    }
    return Value();
}

} // namespace

void installHolderClasses(Machine& m) {
    ClassInfo* filter = m.defineNativeClass("flash.net", "FileFilter", m.objectClass);
    filter->isFinal = true;
    for (const char* name : {"description", "extension", "macType"}) {
        addVariable(m, filter, name, "String", Value::null());
    }
    filter->nativeInit = fillSlots;

    ClassInfo* print = m.defineNativeClass("flash.printing", "PrintJobOptions", m.objectClass);
    addVariable(m, print, "printAsBitmap", "Boolean", Value::boolean(false));
    print->nativeInit = fillSlots;
}

void installEventHolderClasses(Machine& m) {
    ClassInfo* options = m.defineNativeClass("flash.net", "NetStreamPlayOptions",
                                             m.builtin("flash.events.EventDispatcher"));
    addVariable(m, options, "len", "Number", Value::integer(-1));
    addVariable(m, options, "offset", "Number", Value::integer(-1));
    addVariable(m, options, "oldStreamName", "String", Value::null());
    addVariable(m, options, "start", "Number", Value::integer(-2));
    addVariable(m, options, "streamName", "String", Value::null());
    addVariable(m, options, "transition", "String", Value::null());
    options->sealed = false;
}

} // namespace kinovex::flash::avm2
