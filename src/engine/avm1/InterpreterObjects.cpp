// Objects, arrays and classes: literals, instanceof and casts, extends and implements.

#include "engine/avm1/InterpreterRun.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kinovex::flash::avm1 {

namespace {

Object* asObject(const Value& v) {
    return v.isObject() ? v.asObject() : nullptr;
}

// [a, b, ...]: the count on top, then the elements, the first one next.
void initArray(Run& r) {
    // A count beyond what the stack holds still makes the array that long: the elements the
    // stack does not have are undefined.
    const double count = r.popNumber();
    const std::size_t n = count > 0 ? static_cast<std::size_t>(std::min(count, 1e9)) : 0;
    std::vector<Value> elements = r.popArgs(std::min(n, r.stack.size()));
    r.vm.checkArrayLength(n);
    elements.resize(n);
    Object* a = r.vm.newArray(std::move(elements));
    r.vm.takeArrayPrototypeNow(a);
    r.push(Value(a));
}

// {name: value, ...}: pairs of a name and a value, the last pair on top.
void initObject(Run& r) {
    // At most the pairs the stack holds, counted with the count still on it.
    const std::size_t held = r.stack.size() / 2;
    const std::size_t n = std::min(r.popCount(), held);
    std::vector<std::pair<std::string, Value>> pairs;
    for (std::size_t k = 0; k < n; ++k) {
        Value v = r.pop();
        pairs.emplace_back(r.popString(), std::move(v));
    }
    Object* o = r.vm.newObject();
    // An object literal names Object as its constructor, hidden and permanent.
    o->define("constructor", Value(r.vm.objectConstructor()), kDontEnum | kDontDelete);
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
        r.vm.setMember(o, it->first, it->second);
    }
    r.push(Value(o));
}

void instanceOf(Run& r) {
    const Value ctor = r.pop();
    const Value v = r.pop();
    r.push(Value(r.vm.instanceOf(v, asObject(ctor))));
}

// The value when it is an instance of the class, null otherwise.
void castOp(Run& r) {
    const Value v = r.pop();
    const Value ctor = r.pop();
    r.push(r.vm.instanceOf(v, asObject(ctor)) ? v : Value::null());
}

// subclass.prototype becomes a new object whose prototype is superclass.prototype. It gets no
// constructor of its own: instances find superclass.prototype's through it.
void extends(Run& r) {
    const Value superclass = r.pop();
    const Value subclass = r.pop();
    if (!superclass.isObject() || !subclass.isObject()) {
        return;
    }
    const Value superProto = r.vm.getMember(superclass.asObject(), "prototype", superclass);
    Object* proto = r.vm.newObject(asObject(superProto));
    proto->define("__constructor__", superclass, kDontEnum | kFromVersion6);
    r.vm.setMember(subclass.asObject(), "prototype", Value(proto));
}

// The interfaces go on the class's prototype, where instanceof looks for them.
void implementsOp(Run& r) {
    const Value ctor = r.pop();
    const std::size_t n = r.popCount();
    std::vector<Value> interfaces = r.popArgs(n);
    if (!ctor.isObject()) {
        return;
    }
    const Value proto = r.vm.getMember(ctor.asObject(), "prototype", ctor);
    if (proto.isObject()) {
        proto.asObject()->define("__implements__", Value(r.vm.newArray(std::move(interfaces))),
                                 kDontEnum | kDontDelete);
    }
}

} // namespace

void addObjectActions(ActionTable& t) {
    t.on<initArray>(Opcode::ActionInitArray);
    t.on<initObject>(Opcode::ActionInitObject);
    t.on<instanceOf>(Opcode::ActionInstanceOf);
    t.on<castOp>(Opcode::ActionCastOp);
    t.on<extends>(Opcode::ActionExtends);
    t.on<implementsOp>(Opcode::ActionImplementsOp);
}

} // namespace kinovex::flash::avm1
