// Array: a dense list of values (holes read as undefined) plus dynamic properties.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/Utf16Order.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

enum SortOptions {
    CaseInsensitive = 1,
    Descending = 2,
    UniqueSort = 4,
    ReturnIndexedArray = 8,
    Numeric = 16,
};

std::vector<Value>& elemsOf(Machine& vm, const Value& self) {
    if (!self.isObject() || self.o->kind != ObjKind::Array) {
        vm.throwError("TypeError", 1034,
                      "Type Coercion failed: cannot convert " + vm.toString(self) + " to Array.");
    }
    return self.o->elems;
}

double relIndex(Machine& vm, Args args, std::size_t i, double fallback, double len) {
    if (i >= args.size() || args[i].isUndefined()) {
        return fallback;
    }
    double d = vm.toNumber(args[i]);
    d = std::isnan(d) ? 0 : std::trunc(d);
    if (d < 0) {
        d = std::max(0.0, len + d);
    }
    return std::min(d, len);
}

// A new list of the same class as `self`: an Array for arrays, the same Vector type for vectors.
Object* sameKind(Machine& vm, const Value& self, std::vector<Value> elems) {
    Object* o = vm.newArray(std::move(elems));
    if (self.isObject() && self.o->cls != nullptr && self.o->cls->isVector) {
        o->cls = self.o->cls;
        o->proto = self.o->cls->prototype;
    }
    return o;
}

Value arrayInit(Machine& vm, Value self, Args args) {
    auto& e = self.o->elems;
    if (args.size() == 1 && args[0].isNumeric()) {
        const double n = args[0].num();
        if (n < 0 || n != std::trunc(n) || n > 4294967295.0) {
            vm.throwError("RangeError", 1005,
                          "Array index is not a positive integer (" + Machine::numberText(n) +
                              ").");
        }
        vm.resizeElements(e, static_cast<std::size_t>(std::min(n, 1e7)), Value::hole());
    } else {
        e.assign(args.begin(), args.end());
    }
    return Value();
}

Value arrayCall(Machine& vm, Value, Args args) {
    Object* a = vm.newArray();
    arrayInit(vm, Value::obj(a), args);
    return Value::obj(a);
}

std::string joinWith(Machine& vm, std::vector<Value> e, const std::string& sep) {
    std::string s;
    for (std::size_t i = 0; i < e.size(); ++i) {
        const std::string item = e[i].isNullish() ? std::string() : vm.toString(e[i]);
        vm.checkStringLength(s.size() + sep.size() + item.size());
        if (i > 0) {
            s += sep;
        }
        s += item;
    }
    return s;
}

Value arrayJoin(Machine& vm, Value self, Args args) {
    const std::string sep = arg(args, 0).isUndefined() ? "," : vm.toString(args[0]);
    return vm.str(joinWith(vm, elemsOf(vm, self), sep));
}

Value arrayToString(Machine& vm, Value self, Args) {
    if (!self.isObject() || self.o->kind != ObjKind::Array) {
        return vm.str("");
    }
    return vm.str(joinWith(vm, self.o->elems, ","));
}

// Each element's own toLocaleString (a Boolean's and a String's are Object's: "[object
// Boolean]"), joined with commas.
Value arrayToLocaleString(Machine& vm, Value self, Args) {
    if (!self.isObject() || self.o->kind != ObjKind::Array) {
        return vm.str("");
    }
    std::vector<Value> texts;
    for (const Value& e : std::vector<Value>(self.o->elems)) {
        texts.push_back(e.isNullish() ? Value()
                                      : vm.callProperty(e, vm.publicName("toLocaleString"), {}));
    }
    return vm.str(joinWith(vm, std::move(texts), ","));
}

Value arrayLength(Machine& vm, Value self, Args) {
    return Value::number(static_cast<double>(elemsOf(vm, self).size()));
}

Value arraySetLength(Machine& vm, Value self, Args args) {
    const double n = vm.toNumber(arg(args, 0));
    if (n < 0 || n != std::trunc(n) || n > 4294967295.0) {
        vm.throwError("RangeError", 1005,
                      "Array index is not a positive integer (" + Machine::numberText(n) + ").");
    }
    vm.resizeElements(elemsOf(vm, self), static_cast<std::size_t>(std::min(n, 1e7)), Value::hole());
    return Value();
}

// The values a push, unshift or splice adds: for a Vector, each coerced to its element type,
// and none may be added to a fixed one.
std::vector<Value> itemsToAdd(Machine& vm, const Value& self, Args args) {
    vm.charge(args.size() * sizeof(Value));
    std::vector<Value> items(args.begin(), args.end());
    if (self.o->cls == nullptr || !self.o->cls->isVector) {
        return items;
    }
    if (!items.empty() && Machine::toBoolean(self.o->primitive)) {
        vm.throwError("RangeError", 1126, "Cannot change the length of a fixed Vector.");
    }
    for (Value& v : items) {
        v = vm.coerceTo(v, self.o->cls->vectorOf);
    }
    return items;
}

Value arrayPush(Machine& vm, Value self, Args args) {
    auto& e = elemsOf(vm, self);
    const std::vector<Value> items = itemsToAdd(vm, self, args);
    e.insert(e.end(), items.begin(), items.end());
    return Value::number(static_cast<double>(e.size()));
}

// Vectors of int, uint and Number keep their elements as bare numbers; every other Vector
// keeps values, as an Array does.
bool numericVector(const ClassInfo* cls) {
    return cls != nullptr && cls->isVector &&
           (cls->vectorOf == "int" || cls->vectorOf == "uint" || cls->vectorOf == "Number");
}

// What pop and shift give for an empty list: undefined, or for a numeric Vector undefined
// converted to its element type.
Value nothingTaken(Machine& vm, const Value& self) {
    return numericVector(self.o->cls) ? vm.coerceTo(Value(), self.o->cls->vectorOf) : Value();
}

// What fills the new slots of a lengthened Vector: zero for a numeric one, null otherwise.
Value vectorFill(Machine& vm, const ClassInfo* cls) {
    return numericVector(cls) ? vm.coerceTo(Value::number(0), cls->vectorOf) : Value::null();
}

Value arrayPop(Machine& vm, Value self, Args) {
    auto& e = elemsOf(vm, self);
    if (e.empty()) {
        return nothingTaken(vm, self);
    }
    Value v = e.back();
    e.pop_back();
    return v;
}

Value arrayShift(Machine& vm, Value self, Args) {
    auto& e = elemsOf(vm, self);
    if (e.empty()) {
        return nothingTaken(vm, self);
    }
    Value v = e.front();
    e.erase(e.begin());
    return v;
}

Value arrayUnshift(Machine& vm, Value self, Args args) {
    auto& e = elemsOf(vm, self);
    const std::vector<Value> items = itemsToAdd(vm, self, args);
    e.insert(e.begin(), items.begin(), items.end());
    return Value::number(static_cast<double>(e.size()));
}

Value arraySlice(Machine& vm, Value self, Args args) {
    const auto& e = elemsOf(vm, self);
    const double len = static_cast<double>(e.size());
    const double a = relIndex(vm, args, 0, 0, len);
    const double b = relIndex(vm, args, 1, len, len);
    std::vector<Value> out;
    for (double i = a; i < b; ++i) {
        out.push_back(e[static_cast<std::size_t>(i)]);
    }
    return Value::obj(sameKind(vm, self, std::move(out)));
}

// Element i as reading it gives: a hole reads through the prototypes (Array.prototype[i]) and
// stays a hole when none of them has it.
Value readThrough(Machine& vm, const Object* a, std::size_t i) {
    if (!a->elems[i].isHole() || a->proto == nullptr) {
        return a->elems[i];
    }
    const Name name = vm.publicName(std::to_string(i));
    const Value proto = Value::obj(a->proto);
    return vm.hasProperty(proto, name) ? vm.getProperty(proto, name) : Value::hole();
}

Value arraySplice(Machine& vm, Value self, Args args) {
    auto& e = elemsOf(vm, self);
    if (args.empty()) {
        return Value();
    }
    const double len = static_cast<double>(e.size());
    const double start = relIndex(vm, args, 0, 0, len);
    double count = args.size() < 2 ? len - start
                                   : std::clamp(std::trunc(vm.toNumber(args[1])), 0.0, len - start);
    if (std::isnan(count)) {
        count = 0;
    }
    const auto s = static_cast<std::ptrdiff_t>(start);
    const auto c = static_cast<std::ptrdiff_t>(count);
    // What is removed or moved is read, and so written, through the prototypes.
    if (self.o->cls == vm.arrayClass) {
        for (auto i = static_cast<std::size_t>(s); i < e.size(); ++i) {
            e[i] = readThrough(vm, self.o, i);
        }
    }
    std::vector<Value> removed(e.begin() + s, e.begin() + s + c);
    e.erase(e.begin() + s, e.begin() + s + c);
    if (args.size() > 2) {
        vm.charge((args.size() - 2) * sizeof(Value));
        e.insert(e.begin() + s, args.begin() + 2, args.end());
    }
    return Value::obj(sameKind(vm, self, std::move(removed)));
}

Value arrayConcat(Machine& vm, Value self, Args args) {
    std::vector<Value> out = elemsOf(vm, self);
    for (const Value& v : args) {
        if (v.isObject() && v.o->kind == ObjKind::Array) {
            vm.charge(v.o->elems.size() * sizeof(Value));
            out.insert(out.end(), v.o->elems.begin(), v.o->elems.end());
        } else {
            out.push_back(v);
        }
    }
    return Value::obj(sameKind(vm, self, std::move(out)));
}

Value arrayReverse(Machine& vm, Value self, Args) {
    auto& e = elemsOf(vm, self);
    std::reverse(e.begin(), e.end());
    return self;
}

Value arrayIndexOf(Machine& vm, Value self, Args args) {
    const auto& e = elemsOf(vm, self);
    const double len = static_cast<double>(e.size());
    for (double i = relIndex(vm, args, 1, 0, len); i < len; ++i) {
        if (vm.strictEquals(e[static_cast<std::size_t>(i)], arg(args, 0))) {
            return Value::number(i);
        }
    }
    return Value::integer(-1);
}

Value arrayLastIndexOf(Machine& vm, Value self, Args args) {
    const auto& e = elemsOf(vm, self);
    const double len = static_cast<double>(e.size());
    double from = args.size() > 1 ? vm.toNumber(args[1]) : len - 1;
    if (from < 0) {
        from = std::max(0.0, from + len); // the player starts at 0 even before the array
    }
    for (double i = std::min(std::trunc(from), len - 1); i >= 0; --i) {
        if (vm.strictEquals(e[static_cast<std::size_t>(i)], arg(args, 0))) {
            return Value::number(i);
        }
    }
    return Value::integer(-1);
}

enum class Iter { ForEach, Map, Filter, Some, Every };

Value iterate(Machine& vm, Value self, Args args, Iter kind) {
    const std::vector<Value> e = elemsOf(vm, self);
    const Value fn = arg(args, 0);
    const Value thisArg = arg(args, 1);
    std::vector<Value> out;
    for (std::size_t i = 0; i < e.size() && i < self.o->elems.size(); ++i) {
        const Value item = self.o->elems[i];
        Value a[3] = {item, Value::number(static_cast<double>(i)), self};
        const Value r = vm.call(fn, thisArg, Args(a, 3));
        switch (kind) {
        case Iter::ForEach:
            break;
        case Iter::Map: // a Vector's map makes one of its own type
            out.push_back(self.o->cls != nullptr && self.o->cls->isVector
                              ? vm.coerceTo(r, self.o->cls->vectorOf)
                              : r);
            break;
        case Iter::Filter:
            if (Machine::toBoolean(r)) {
                out.push_back(item);
            }
            break;
        case Iter::Some:
            if (Machine::toBoolean(r)) {
                return Value::boolean(true);
            }
            break;
        case Iter::Every:
            if (!Machine::toBoolean(r)) {
                return Value::boolean(false);
            }
            break;
        }
    }
    switch (kind) {
    case Iter::Map:
    case Iter::Filter:
        return Value::obj(sameKind(vm, self, std::move(out)));
    case Iter::Some:
        return Value::boolean(false);
    case Iter::Every:
        return Value::boolean(true);
    default:
        return Value();
    }
}

Value arrayForEach(Machine& vm, Value self, Args args) {
    return iterate(vm, self, args, Iter::ForEach);
}
Value arrayMap(Machine& vm, Value self, Args args) {
    return iterate(vm, self, args, Iter::Map);
}
Value arrayFilter(Machine& vm, Value self, Args args) {
    return iterate(vm, self, args, Iter::Filter);
}
Value arraySome(Machine& vm, Value self, Args args) {
    return iterate(vm, self, args, Iter::Some);
}
Value arrayEvery(Machine& vm, Value self, Args args) {
    return iterate(vm, self, args, Iter::Every);
}

// Compares two values as sort does with `options`: negative, zero or positive.
int compareValues(Machine& vm, const Value& a, const Value& b, int options) {
    // undefined sorts last whatever the order.
    if (a.isUndefined() || b.isUndefined()) {
        return a.isUndefined() == b.isUndefined() ? 0 : a.isUndefined() ? 1 : -1;
    }
    int r = 0;
    if ((options & Numeric) != 0) {
        const double x = vm.toNumber(a);
        const double y = vm.toNumber(b);
        r = x < y ? -1 : x > y ? 1 : 0;
    } else {
        std::string x = vm.toString(a);
        std::string y = vm.toString(b);
        if ((options & CaseInsensitive) != 0) {
            for (char& c : x) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            for (char& c : y) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
        }
        r = compareUtf16(x, y);
        r = r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    return (options & Descending) != 0 ? -r : r;
}

Value sortWith(Machine& vm, Value self, const std::function<int(const Value&, const Value&)>& cmp,
               int options) {
    // The values sorted are what reading each index gives, holes read through the prototypes.
    std::vector<Value> copy;
    for (std::size_t i = 0; i < elemsOf(vm, self).size(); ++i) {
        copy.push_back(readThrough(vm, self.o, i));
    }
    std::vector<std::size_t> order(copy.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return cmp(copy[x], copy[y]) < 0; });
    if ((options & UniqueSort) != 0) {
        for (std::size_t i = 1; i < order.size(); ++i) {
            if (cmp(copy[order[i - 1]], copy[order[i]]) == 0) {
                return Value::integer(0);
            }
        }
    }
    if ((options & ReturnIndexedArray) != 0) {
        std::vector<Value> idx;
        for (std::size_t i : order) {
            idx.push_back(Value::number(static_cast<double>(i)));
        }
        return Value::obj(vm.newArray(std::move(idx)));
    }
    auto& e = elemsOf(vm, self); // the comparisons may have run scripts that resized it
    for (std::size_t i = 0; i < order.size() && i < e.size(); ++i) {
        e[i] = copy[order[i]];
    }
    return self;
}

Value arraySort(Machine& vm, Value self, Args args) {
    Value fn;
    int options = 0;
    if (!args.empty() && args[0].isObject() && args[0].o->kind == ObjKind::Function) {
        fn = args[0];
        options = args.size() > 1 ? vm.toInt(args[1]) : 0;
    } else if (!args.empty()) {
        options = vm.toInt(args[0]);
    }
    if (fn.isObject()) {
        return sortWith(
            vm, self,
            [&](const Value& a, const Value& b) {
                if (a.isUndefined() || b.isUndefined()) {
                    return a.isUndefined() == b.isUndefined() ? 0 : a.isUndefined() ? 1 : -1;
                }
                Value ab[2] = {a, b};
                const double r = vm.toNumber(vm.call(fn, Value::null(), Args(ab, 2)));
                const int c = r < 0 ? -1 : r > 0 ? 1 : 0;
                return (options & Descending) != 0 ? -c : c;
            },
            options);
    }
    return sortWith(
        vm, self, [&](const Value& a, const Value& b) { return compareValues(vm, a, b, options); },
        options);
}

Value arraySortOn(Machine& vm, Value self, Args args) {
    std::vector<std::string> fields;
    std::vector<int> opts;
    const Value f = arg(args, 0);
    if (f.isObject() && f.o->kind == ObjKind::Array) {
        for (const Value& v : f.o->elems) {
            fields.push_back(vm.toString(v));
        }
    } else {
        fields.push_back(vm.toString(f));
    }
    const Value o = arg(args, 1);
    if (o.isObject() && o.o->kind == ObjKind::Array) {
        for (const Value& v : o.o->elems) {
            opts.push_back(vm.toInt(v));
        }
    }
    const int common = o.isObject() ? 0 : vm.toInt(o);
    if (opts.size() != fields.size()) {
        opts.assign(fields.size(), common);
    }
    const int overall = opts.empty() ? 0 : opts[0];
    return sortWith(
        vm, self,
        [&](const Value& a, const Value& b) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const Value x = a.isObject() ? vm.get(a, fields[i]) : Value();
                const Value y = b.isObject() ? vm.get(b, fields[i]) : Value();
                const int c = compareValues(vm, x, y, opts[i]);
                if (c != 0) {
                    return c;
                }
            }
            return 0;
        },
        overall);
}

} // namespace

namespace {

Value vectorInit(Machine& vm, Value self, Args args) {
    Object* o = self.o;
    const double n = args.empty() ? 0 : vm.toNumber(args[0]);
    if (n < 0 || n != std::trunc(n) || n > 1e7) {
        vm.throwError("RangeError", 1005,
                      "Array index is not a positive integer (" + Machine::numberText(n) + ").");
    }
    o->elems.clear();
    vm.resizeElements(o->elems, static_cast<std::size_t>(n), vectorFill(vm, o->cls));
    o->primitive = Value::boolean(args.size() > 1 && Machine::toBoolean(args[1]));
    return Value();
}

// Vector.<T>(value) as a function: a Vector of that type as it is; an Array or another
// Vector copied into a new one, each element converted to T.
Value vectorCall(Machine& vm, Value fn, Args args) {
    ClassInfo* cls = fn.o->classInfo;
    if (args.size() != 1) {
        vm.throwError("ArgumentError", 1112,
                      "Argument count mismatch on class coercion.  Expected 1, got " +
                          std::to_string(args.size()) + ".");
    }
    const Value& from = args[0];
    if (from.isNullish() || vm.isInstance(from, cls)) {
        return from.isUndefined() ? Value::null() : from;
    }
    if (!from.isObject() || from.o->kind != ObjKind::Array) {
        vm.throwError("TypeError", 1034,
                      "Type Coercion failed: cannot convert " + vm.toString(from) + " to " +
                          cls->qualifiedName() + ".");
    }
    Object* v = vm.constructClass(cls, {});
    const std::vector<Value> items = from.o->elems;
    vm.charge(items.size() * sizeof(Value));
    for (const Value& item : items) {
        v->elems.push_back(vm.coerceTo(item.isHole() ? Value() : item, cls->vectorOf));
    }
    return Value::obj(v);
}

Value vectorFixed(Machine& vm, Value self, Args) {
    (void)vm;
    return Value::boolean(self.isObject() && Machine::toBoolean(self.o->primitive));
}

Value vectorSetFixed(Machine&, Value self, Args args) {
    if (self.isObject()) {
        self.o->primitive = Value::boolean(Machine::toBoolean(arg(args, 0)));
    }
    return Value();
}

Value vectorSetLength(Machine& vm, Value self, Args args) {
    Object* o = self.o;
    const double n = vm.toNumber(arg(args, 0));
    if (Machine::toBoolean(o->primitive)) {
        vm.throwError("RangeError", 1126, "Cannot change the length of a fixed Vector.");
    }
    if (n < 0 || n != std::trunc(n) || n > 1e7) {
        vm.throwError("RangeError", 1005,
                      "Array index is not a positive integer (" + Machine::numberText(n) + ").");
    }
    vm.resizeElements(o->elems, static_cast<std::size_t>(n), vectorFill(vm, o->cls));
    return Value();
}

} // namespace

ClassInfo* vectorOf(Machine& m, ClassInfo* element) {
    const std::string elementName = element == nullptr ? "*" : element->qualifiedName();
    const std::string name = "Vector.<" + elementName + ">";
    if (ClassInfo* known = m.builtin("__AS3__.vec::" + name)) {
        return known;
    }
    ClassInfo* v = m.defineNativeClass("__AS3__.vec", name, m.objectClass, ObjKind::Array);
    v->isVector = true;
    v->vectorOf = element == nullptr ? "" : element->qualifiedName();
    if (element != nullptr && !element->ns->uri.empty()) {
        v->vectorOf = element->ns->uri + "." + element->name;
    }
    v->instanceTraits = m.arrayClass->instanceTraits;
    v->nativeInit = vectorInit;
    v->callAsFunction = vectorCall;
    v->prototype->proto = m.arrayClass->prototype;
    m.defineGetter(v, "length", arrayLength, vectorSetLength);
    m.defineGetter(v, "fixed", vectorFixed, vectorSetFixed);
    return v;
}

void installArrayClass(Machine& m) {
    ClassInfo* array = m.defineNativeClass("", "Array", m.objectClass, ObjKind::Array);
    m.arrayClass = array;
    array->sealed = false;
    array->nativeInit = arrayInit;
    array->callAsFunction = arrayCall;
    array->prototype->kind = ObjKind::Array;
    m.defineGetter(array, "length", arrayLength, arraySetLength);
    const std::pair<const char*, NativeFn> methods[] = {{"join", arrayJoin},
                                                        {"push", arrayPush},
                                                        {"pop", arrayPop},
                                                        {"shift", arrayShift},
                                                        {"unshift", arrayUnshift},
                                                        {"slice", arraySlice},
                                                        {"splice", arraySplice},
                                                        {"concat", arrayConcat},
                                                        {"reverse", arrayReverse},
                                                        {"indexOf", arrayIndexOf},
                                                        {"lastIndexOf", arrayLastIndexOf},
                                                        {"forEach", arrayForEach},
                                                        {"map", arrayMap},
                                                        {"filter", arrayFilter},
                                                        {"some", arraySome},
                                                        {"every", arrayEvery},
                                                        {"sort", arraySort},
                                                        {"sortOn", arraySortOn}};
    for (const auto& [name, fn] : methods) {
        m.defineMethod(array, name, fn, 1);
        Object* f = m.newNativeFunction(fn, name, 1);
        array->prototype->setDyn(name, Value::obj(f));
        array->prototype->dyn.back().enumerable = false;
    }
    Object* ts = m.newNativeFunction(arrayToString, "toString");
    array->prototype->setDyn("toString", Value::obj(ts));
    array->prototype->dyn.back().enumerable = false;
    Object* lts = m.newNativeFunction(arrayToLocaleString, "toLocaleString");
    array->prototype->setDyn("toLocaleString", Value::obj(lts));
    array->prototype->dyn.back().enumerable = false;
    m.defineConstant(array, "CASEINSENSITIVE", Value::integer(CaseInsensitive));
    m.defineConstant(array, "DESCENDING", Value::integer(Descending));
    m.defineConstant(array, "UNIQUESORT", Value::integer(UniqueSort));
    m.defineConstant(array, "RETURNINDEXEDARRAY", Value::integer(ReturnIndexedArray));
    m.defineConstant(array, "NUMERIC", Value::integer(Numeric));
    ClassInfo* vector = m.defineNativeClass("__AS3__.vec", "Vector", m.objectClass, ObjKind::Array);
    vector->isVector = true;
}

} // namespace kinovex::flash::avm2
