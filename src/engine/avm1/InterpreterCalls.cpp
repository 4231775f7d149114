// Calls: functions by name, methods (and super's), and `new` on either.

#include "engine/avm1/InterpreterRun.h"

namespace kinovex::flash::avm1 {

namespace {

bool isEmptyName(const Value& method) {
    return method.isUndefined() || (method.isString() && method.asString().empty());
}

bool isFunction(const Value& v) {
    return v.isObject() && v.asObject()->function();
}

void callFunction(Run& r) {
    const std::string name = r.popString();
    const std::size_t n = r.popCount();
    const std::vector<Value> args = r.popArgs(n);
    const Value fn = r.in.getVariable(r.f, name);
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
    const Value constructor =
        isEmptyName(method) ? object : r.vm.getMember(object, r.vm.toString(method));
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
    const bool isSuper = object.isObject() && object.asObject()->hostClass() == "super";
    const Value self = isSuper ? object.asObject()->primitive() : object;
    if (isEmptyName(method)) {
        if (!isSuper) {
            r.push(vm.call(object, Value(), args));
            return Step::Next;
        }
        const Property* c = object.asObject()->findOwn("__constructor__");
        Object* ctor = c && c->value.isObject() ? c->value.asObject() : nullptr;
        if (ctor && ctor->function()) {
            const Value proto = vm.getMember(ctor, "prototype", Value(ctor));
            r.push(vm.runFunction(ctor, self, args, proto.isObject() ? proto.asObject() : nullptr));
        } else {
            r.push(Value());
        }
        return Step::Next;
    }
    const std::string name = vm.toString(method);
    const Value fn = vm.getScriptMember(object, name);
    if (!isFunction(fn)) {
        r.push(Value());
    } else if (isSuper) {
        // The method is found above the current class; its own super is above that.
        Object* holder = object.asObject()->proto();
        int hops = 0;
        while (holder && !holder->findOwn(name) && hops++ < 256) {
            holder = holder->proto();
        }
        r.push(vm.runFunction(fn.asObject(), self, args, holder));
    } else {
        r.push(vm.call(fn, self, args));
    }
    return Step::Next;
}

void addCallActions(ActionTable& t) {
    t.on<callFunction>(Opcode::ActionCallFunction);
    t.on<Interpreter::callMethod>(Opcode::ActionCallMethod);
    t.on<newObject>(Opcode::ActionNewObject);
    t.on<newMethod>(Opcode::ActionNewMethod);
}

} // namespace kinovex::flash::avm1
