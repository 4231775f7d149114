// Calls: functions by name, methods (and super's), and `new` on either.

#include "engine/avm1/InterpreterRun.h"

namespace kinovex::flash::avm1 {

namespace {

// A method's name, converted once (an object's toString runs here); undefined names none.
std::string methodName(Vm& vm, const Value& method) {
    return method.isUndefined() ? std::string() : vm.toString(method);
}

bool isFunction(const Value& v) {
    return v.isObject() && v.asObject()->function();
}

bool keepsPrimitive(ObjectClass c) {
    return c == ObjectClass::Date || c == ObjectClass::String || c == ObjectClass::Number ||
           c == ObjectClass::Boolean;
}

bool isSuperObject(const Value& v) {
    return v.isObject() && v.asObject()->hostClass() == "super";
}

// The level of the prototype chain a method called on super runs at: one step above super's.
// From version 7 the step goes on to just below the object that holds the method, so that the
// method's own super looks above that object.
Object* superCallHome(Vm& vm, Object* super, std::string_view name) {
    Object* home = super->proto();
    Object* holder = home && vm.version() >= 7 ? vm.holderOf(home, name) : nullptr;
    if (!holder || holder == home) {
        return home;
    }
    int links = 0;
    for (Object* o = home; o && links <= Object::kMaxPrototypeLinks; o = o->proto(), ++links) {
        if (o->proto() == holder) {
            return o;
        }
    }
    return home;
}

void callFunction(Run& r) {
    const std::string name = r.popString();
    const std::size_t n = r.popCount();
    const std::vector<Value> args = r.popArgs(n);
    const Value fn = r.in.getVariable(r.f, name);
    if (isSuperObject(fn)) {
        r.push(Interpreter::callSuperConstructor(r.vm, fn.asObject(), args)); // super(...)
        return;
    }
    if (!isFunction(fn)) {
        r.push(Value());
        return;
    }
    r.push(r.vm.call(fn, Value(r.in.callee(r.f, name)), args));
}

void newObject(Run& r) {
    const std::string name = r.popString();
    const std::size_t n = r.popCount();
    const std::vector<Value> args = r.popArgs(n);
    r.push(r.vm.construct(r.in.getVariable(r.f, name), args));
}

// new o.method(...), or new o(...) when the method's name is empty.
void newMethod(Run& r) {
    const Value method = r.pop();
    const Value object = r.pop();
    const std::size_t n = r.popCount();
    const std::vector<Value> args = r.popArgs(n);
    const std::string name = methodName(r.vm, method);
    const Value constructor = name.empty() ? object : r.vm.getMember(object, name);
    r.push(r.vm.construct(constructor, args));
}

} // namespace

// o.method(...); o(...) when the method's name is empty. On super, the method runs on the
// current `this`, and super(...) is the superclass constructor.
Step Interpreter::callMethod(Run& r, const Instruction&) {
    Vm& vm = r.vm;
    const Value method = r.pop();
    const Value object = r.pop();
    const std::size_t n = r.popCount();
    const std::vector<Value> args = r.popArgs(n);
    const bool isSuper = isSuperObject(object);
    const Value self = isSuper ? object.asObject()->primitive() : object;
    const std::string name = methodName(vm, method);
    if (name.empty()) {
        r.push(isSuper ? callSuperConstructor(vm, object.asObject(), args)
                       : vm.call(object, Value(), args));
        return Step::Next;
    }
    const Value fn = vm.getScriptMember(object, name);
    if (!isFunction(fn)) {
        r.push(Value());
    } else if (isSuper) {
        r.push(
            vm.runFunction(fn.asObject(), self, args, superCallHome(vm, object.asObject(), name)));
    } else {
        r.push(vm.callFoundMethod(fn, self, name, args));
    }
    return Step::Next;
}

Value Interpreter::callSuperConstructor(Vm& vm, Object* super, std::span<const Value> args) {
    const Property* c = super->findOwn("__constructor__");
    Object* ctor = c && c->value.isObject() ? c->value.asObject() : nullptr;
    if (!ctor || !ctor->function()) {
        return Value();
    }
    // A native constructor sets up `this` as it does for `new`: super() in a subclass of Date
    // makes the object a date, and the value it kept is gone once another class's constructor
    // runs on it.
    vm.m_constructing = ctor->function()->native && ctor->function()->nativeConstructs;
    Object* self = super->primitive().isObject() ? super->primitive().asObject() : nullptr;
    if (vm.m_constructing && self && keepsPrimitive(self->objectClass())) {
        self->setObjectClass(ObjectClass::Object);
        self->primitive() = Value();
    }
    const Value r = vm.runFunction(ctor, super->primitive(), args, super->proto());
    vm.m_constructing = false;
    return r;
}

void addCallActions(ActionTable& t) {
    t.on<callFunction>(Opcode::ActionCallFunction);
    t.on<Interpreter::callMethod>(Opcode::ActionCallMethod);
    t.on<newObject>(Opcode::ActionNewObject);
    t.on<newMethod>(Opcode::ActionNewMethod);
}

} // namespace kinovex::flash::avm1
