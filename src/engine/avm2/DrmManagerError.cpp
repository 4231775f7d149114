// flash.errors.DRMManagerError: an Error with a second number (subErrorID), which prints
// itself with both numbers. Its prototype names nothing, unlike the other error classes.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/Machine.h"

namespace kinovex::flash::avm2 {

namespace {

Value drmErrorInit(Machine& vm, Value s, Args a) {
    if (!s.isObject()) {
        return Value();
    }
    vm.initInstance(vm.errorClass, s.o, a.first(std::min<std::size_t>(a.size(), 2)));
    setHidden(s.o, "subErrorID", Value::integer(a.size() > 2 ? vm.toInt(a[2]) : 0));
    return Value();
}

Value subErrorId(Machine&, Value s, Args) {
    return s.isObject() ? hidden(s.o, "subErrorID") : Value::integer(0);
}

Value drmErrorToString(Machine& vm, Value s, Args) {
    return vm.str("DRMManagerError: '" + vm.toString(vm.get(s, "message")) + "', error ID:'" +
                  vm.toString(vm.get(s, "errorID")) + "', subErrorID:'" +
                  vm.toString(subErrorId(vm, s, {})) + "'");
}

} // namespace

void installDrmManagerError(Machine& m) {
    ClassInfo* error = m.defineNativeClass("flash.errors", "DRMManagerError", m.errorClass);
    error->sealed = false;
    error->nativeInit = drmErrorInit;
    error->prototype->setDyn("name", Value());
    error->prototype->dyn.back().enumerable = false;
    m.defineGetter(error, "subErrorID", subErrorId);
    m.defineMethod(error, "toString", drmErrorToString);
}

} // namespace kinovex::flash::avm2
