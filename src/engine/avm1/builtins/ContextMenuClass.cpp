// ContextMenu and ContextMenuItem: the menu a right click would show. Nothing here opens a
// menu; scripts build, copy and read them as they would in a player that shows one.

#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/builtins/Geom.h"

#include <array>
#include <string>

namespace kinovex::flash::avm1 {

namespace {

// The player's own entries, each shown until hideBuiltInItems.
constexpr std::array<const char*, 8> kBuiltInItems = {
    "print", "forward_back", "rewind", "loop", "play", "quality", "zoom", "save",
};

Value constructMenu(Vm& vm, const Value& self, Args args) {
    if (Object* o = selfObject(self)) {
        // builtInItems is a plain object naming Object as its constructor; customItems is
        // made by new Array.
        Object* builtIns = vm.newObject();
        builtIns->define("constructor", Value(vm.objectConstructor()), kDontEnum | kDontDelete);
        for (const char* name : kBuiltInItems) {
            builtIns->define(name, Value(true));
        }
        o->define("onSelect", arg(args, 0));
        o->define("customItems",
                  vm.construct(vm.getMember(vm.global(), "Array", Value(vm.global())), {}));
        o->define("builtInItems", Value(builtIns));
    }
    return Value();
}

Value hideBuiltInItems(Vm& vm, const Value& self, Args) {
    const Value builtIns = vm.getMember(self, "builtInItems");
    for (const char* name : kBuiltInItems) {
        vm.setMember(builtIns, name, Value(false));
    }
    return Value();
}

// A copy shares the builtInItems object of the menu it copies and holds copies of its custom
// items.
Value copyMenu(Vm& vm, const Value& self, Args) {
    const Value menu = vm.getMember(vm.global(), "ContextMenu", Value(vm.global()));
    const Value onSelect[] = {vm.getMember(self, "onSelect")};
    const Value copy = vm.construct(menu, onSelect);
    vm.setMember(copy, "builtInItems", vm.getMember(self, "builtInItems"));
    const Value items = vm.getMember(self, "customItems");
    const Value copies = vm.getMember(copy, "customItems");
    Object* from = selfObject(items);
    Object* into = selfObject(copies);
    if (from != nullptr && into != nullptr) {
        const std::uint32_t n = vm.arrayLength(from);
        for (std::uint32_t i = 0; i < n; ++i) {
            const Value item = vm.getMember(items, std::to_string(i));
            vm.setMember(copies, std::to_string(i),
                         vm.callAsMethod(vm.getMember(item, "copy"), item, {}));
        }
    }
    return copy;
}

// caption, onSelect, separatorBefore, enabled, visible: the last three take their defaults
// when not given.
constexpr std::array<const char*, 5> kItemFields = {"caption", "onSelect", "separatorBefore",
                                                    "enabled", "visible"};

Value constructItem(Vm&, const Value& self, Args args) {
    if (Object* o = selfObject(self)) {
        const std::array<Value, 5> defaults = {Value(), Value(), Value(false), Value(true),
                                               Value(true)};
        for (std::size_t i = 0; i < kItemFields.size(); ++i) {
            const Value given = arg(args, i);
            o->define(kItemFields[i], given.isUndefined() ? defaults[i] : given);
        }
    }
    return Value();
}

Value copyItem(Vm& vm, const Value& self, Args) {
    const Value item = vm.getMember(vm.global(), "ContextMenuItem", Value(vm.global()));
    std::array<Value, 5> fields;
    for (std::size_t i = 0; i < kItemFields.size(); ++i) {
        fields[i] = vm.getMember(self, kItemFields[i]);
    }
    return vm.construct(item, fields);
}

} // namespace

void installContextMenuClasses(Vm& vm) {
    // Copying and hiding came with version 7; older movies see neither.
    const PropFlags newer = kDontEnum | kDontDelete | kFromVersion7;
    Object* menu = vm.newObject();
    defineClass(vm, "ContextMenu", constructMenu, menu, false);
    setGeomFunction(vm, menu, "copy", copyMenu, newer);
    setGeomFunction(vm, menu, "hideBuiltInItems", hideBuiltInItems, newer);
    Object* item = vm.newObject();
    defineClass(vm, "ContextMenuItem", constructItem, item, false);
    setGeomFunction(vm, item, "copy", copyItem, newer);
    markNewerPrototype(vm, menu, kFromVersion7);
    markNewerPrototype(vm, item, kFromVersion7);
}

} // namespace kinovex::flash::avm1
