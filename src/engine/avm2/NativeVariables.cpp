#include "engine/avm2/NativeVariables.h"
#include "engine/avm2/Machine.h"

#include <cmath>

namespace kinovex::flash::avm2 {

void addVariable(Machine& m, ClassInfo* cls, const std::string& name, const std::string& typeName,
                 Value initial) {
    Trait t;
    t.type = Trait::Slot;
    t.ns = m.publicNs();
    t.slot = static_cast<std::uint32_t>(cls->instanceTraits.slots.size());
    cls->instanceTraits.slots.push_back(SlotInfo{typeName, initial, false});
    cls->instanceTraits.byName[name].push_back(t);
    cls->instanceTraits.slotNames.emplace_back(name, nullptr);
}

void addNumberVariable(Machine& m, ClassInfo* cls, const std::string& name) {
    addVariable(m, cls, name, "Number", Value::number(NAN));
}

ClassInfo* defineStringConstants(Machine& m, const char* pkg, const char* cls,
                                 std::initializer_list<StringConstant> constants) {
    ClassInfo* info = m.defineNativeClass(pkg, cls, m.objectClass);
    info->isFinal = true;
    for (const StringConstant& c : constants) {
        m.defineConstant(info, c.name, m.str(c.value));
    }
    return info;
}

} // namespace kinovex::flash::avm2
