// flash.utils.Dictionary: a dynamic object whose keys may be objects, told apart by identity.
// A value under an object key is kept as a dynamic property named after the object's address,
// and the object among the dictionary's keys, so that it lives as long as the dictionary and
// enumeration gives it back.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"

#include <algorithm>

namespace kinovex::flash::avm2 {

namespace {

constexpr char kObjectKeyMark = '\x02';

std::string nameOf(const Object* key) {
    return kObjectKeyMark + std::to_string(reinterpret_cast<std::uintptr_t>(key));
}

Value dictionaryInit(Machine&, Value, Args) {
    return Value(); // weak keys are kept as strong ones
}

} // namespace

std::optional<Name> dictionaryName(const Value& obj, const Name& name, bool remember) {
    if (name.objectKey == nullptr || !obj.isObject() || obj.o->kind != ObjKind::Dictionary) {
        return std::nullopt;
    }
    Name keyed = name;
    keyed.objectKey = nullptr;
    keyed.name = nameOf(name.objectKey);
    auto& keys = obj.o->keyObjects;
    if (remember && std::find(keys.begin(), keys.end(), name.objectKey) == keys.end()) {
        keys.push_back(name.objectKey);
    }
    return keyed;
}

Value dictionaryKey(Machine& m, Object* dict, const std::string& name) {
    if (!name.empty() && name[0] == kObjectKeyMark) {
        for (Object* key : dict->keyObjects) {
            if (nameOf(key) == name) {
                return Value::obj(key);
            }
        }
    }
    return m.str(name);
}

void installDictionaryClass(Machine& m) {
    ClassInfo* dictionary =
        m.defineNativeClass("flash.utils", "Dictionary", m.objectClass, ObjKind::Dictionary);
    dictionary->sealed = false;
    dictionary->nativeInit = dictionaryInit;
}

} // namespace kinovex::flash::avm2
