#pragma once
// Fields a native class keeps in its instances (an event's type, a timer's delay) as dynamic
// properties no script can name or enumerate.

#include "engine/avm2/Object.h"

#include <string>

namespace kinovex::flash::avm2 {

inline Value hidden(Object* o, const char* name) {
    const DynProp* p = o->findDyn(std::string("\x01") + name);
    return p != nullptr ? p->value : Value();
}

inline void setHidden(Object* o, const char* name, Value v) {
    const std::string key = std::string("\x01") + name;
    o->setDyn(key, v);
    o->findDyn(key)->enumerable = false;
}

} // namespace kinovex::flash::avm2
