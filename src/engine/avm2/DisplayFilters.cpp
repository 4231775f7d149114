// DisplayObject.filters: copies of the object's filters each time it is read; what a script
// sets must all be filters. A placed object's filters are its placement's, which is drawn with
// them; another object keeps copies of what it was given.

#include "engine/avm2/DisplayNatives.h"

#include "engine/display/Timeline.h"

namespace kinovex::flash::display_natives {

namespace {

Value cloneOf(Machine& vm, const Value& filter) {
    return vm.callProperty(filter, vm.publicName("clone"), {});
}

Value doFilters(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    std::vector<Value> out;
    if (DisplayObject* d = placed(o)) {
        for (const Filter& f : d->filters) {
            const Value v = scriptFilter(vm, f);
            if (v.isObject()) {
                out.push_back(v);
            }
        }
    } else if (const Value kept = hidden(o, "filters"); kept.isObject()) {
        for (const Value& f : kept.o->elems) {
            out.push_back(cloneOf(vm, f));
        }
    }
    return Value::obj(vm.newArray(std::move(out)));
}

Value doSetFilters(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value given = avm2::arg(args, 0);
    std::vector<Value> copies;
    if (!given.isNullish()) {
        const std::uint32_t n = vm.toUint(vm.get(given, "length"));
        ClassInfo* filterClass = vm.builtin("flash.filters.BitmapFilter");
        for (std::uint32_t i = 0; i < n; ++i) {
            const Value f = vm.get(given, std::to_string(i));
            if (!vm.isInstance(f, filterClass)) {
                vm.throwError("ArgumentError", 2005,
                              "Parameter 0 is of the incorrect type. Should be type Filter.");
            }
            copies.push_back(cloneOf(vm, f));
        }
    }
    if (DisplayObject* d = placed(o)) {
        d->filters.clear();
        for (const Value& f : copies) {
            if (const std::optional<Filter> shown = displayFilter(vm, f.o)) {
                d->filters.push_back(*shown);
            }
        }
        return Value();
    }
    setHidden(o, "filters", Value::obj(vm.newArray(std::move(copies))));
    return Value();
}

} // namespace

void installFiltersProperty(Machine& m, ClassInfo* display) {
    installFilterClasses(m);
    m.defineGetter(display, "filters", doFilters, doSetFilters);
}

} // namespace kinovex::flash::display_natives
