// The helpers the runtime's display natives share.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

namespace kinovex::flash::display_natives {

Avm2Runtime& host(Machine& vm) {
    return *static_cast<Avm2Runtime*>(vm.host);
}

Object* self(Machine& vm, const Value& v) {
    if (!v.isObject()) {
        vm.throwError("TypeError", 1009,
                      "Cannot access a property or method of a null object reference.");
    }
    return v.o;
}

} // namespace kinovex::flash::display_natives
