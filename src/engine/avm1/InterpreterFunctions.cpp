// Script functions: DefineFunction and DefineFunction2 make them; a call runs one in a frame of
// its own, with the arguments as locals or in registers; super for the methods of classes.

#include "engine/avm1/InterpreterRun.h"

#include <memory>

namespace kinovex::flash::avm1 {

namespace {

// What a definition makes: the body follows the record; the function keeps the scope chain, the
// constant pool and the timeline it was defined in.
std::unique_ptr<FunctionData> functionData(const Run& r, const Instruction& ins) {
    const FunctionOperands& header = ins.function;
    auto d = std::make_unique<FunctionData>();
    d->name = header.name;
    const bool function2 = ins.op == Opcode::ActionDefineFunction2;
    d->isFunction2 = function2;
    d->registerCount = header.registerCount;
    d->flags = header.flags;
    ListReader params(header.params, function2);
    std::uint8_t reg = 0;
    std::string_view paramName;
    for (std::uint16_t k = 0; k < header.paramCount && params.next(reg, paramName); ++k) {
        if (function2) {
            d->paramRegisters.push_back(reg);
        }
        d->params.emplace_back(paramName);
    }
    d->code = r.f.code;
    d->start = ins.next;
    d->length = std::min<std::size_t>(header.bodySize, r.end - ins.next);
    d->scope = r.f.scope;
    Object* base = r.vm.clipObject(r.f.baseTarget);
    if (r.vm.version() < 6 && base) {
        // Version 5 functions close over nothing: no activation and no with block of the code
        // that defined them, only _global and their timeline.
        d->scope = {r.vm.global(), base};
    } else if (r.f.hasTargetSlot && r.f.targetSlot < d->scope.size() &&
               r.f.target != r.f.baseTarget) {
        if (base) {
            d->scope[r.f.targetSlot] = base;
        }
    }
    d->constants = r.f.constants;
    // A function runs on, and looks names up in, the timeline whose actions defined it, whatever
    // SetTarget changed.
    d->target = r.f.baseTarget;
    d->version = r.vm.version();
    return d;
}

Step defineFunction(Run& r, const Instruction& ins) {
    if (ins.status == DecodeStatus::Malformed) {
        r.vm.report("A script defines a malformed function");
        return Step::End;
    }
    std::unique_ptr<FunctionData> d = functionData(r, ins);
    r.pc = ins.next + d->length;
    Object* fn = r.vm.newObjectOfClass(ObjectClass::Function, r.vm.functionPrototype());
    const std::string name = d->name;
    fn->setFunction(std::move(d));
    Object* proto = r.vm.newObject();
    proto->define("constructor", Value(fn), kDontEnum | kDontDelete);
    fn->define("prototype", Value(proto), kDontEnum | kDontDelete);
    if (name.empty()) {
        r.push(Value(fn));
    } else {
        r.in.defineLocal(r.f, name, Value(fn));
    }
    return Step::Next;
}

// The `arguments` of a call, made the first time they are asked for.
class Arguments {
public:
    // `caller` is the script function running when this one was called; null when the call
    // came from a frame's actions or an event.
    Arguments(Vm& vm, Object* callee, Object* caller, std::span<const Value> args)
        : m_vm(vm), m_callee(callee), m_caller(caller), m_args(args) {}

    Object* get() {
        if (!m_object) {
            m_object = m_vm.newArray(std::vector<Value>(m_args.begin(), m_args.end()));
            m_object->define("callee", Value(m_callee), kDontEnum | kDontDelete);
            m_object->define("caller", Value(m_caller), kDontEnum | kDontDelete);
        }
        return m_object;
    }

private:
    Vm& m_vm;
    Object* m_callee;
    Object* m_caller;
    std::span<const Value> m_args;
    Object* m_object = nullptr;
};

// A call's frame: an activation object of its own on top of the scope chain the function was
// defined in, on the function's timeline (the root when that one is gone).
Frame functionFrame(Vm& vm, Object* function, const Value& self, Object* home) {
    const FunctionData& d = *function->function();
    Frame f;
    f.code = d.code;
    f.constants = d.constants;
    f.scope = d.scope;
    Object* activation = vm.newObjectOfClass(ObjectClass::Object, nullptr);
    f.scope.push_back(activation);
    f.locals = activation;
    f.self = self;
    f.target = vm.host().clipExists(d.target) ? d.target : vm.host().rootClip();
    f.baseTarget = f.target;
    f.home = home;
    f.callee = function;
    return f;
}

// DefineFunction: the arguments are locals named by the parameters, beside `arguments`.
void bindParameters(Frame& f, const FunctionData& d, std::span<const Value> args,
                    Arguments& arguments) {
    for (std::size_t i = 0; i < d.params.size(); ++i) {
        f.locals->define(d.params[i], i < args.size() ? args[i] : Value());
    }
    f.locals->define("arguments", Value(arguments.get()));
}

// DefineFunction2: what the flags ask for goes into the registers from 1 on, in this order
// (this, arguments, super, _root, _parent, _global); then the parameters that have a register go
// into it, the others are locals.
void preloadRegisters(Interpreter& in, Frame& f, const FunctionData& d, std::span<const Value> args,
                      Arguments& arguments) {
    enum : std::uint16_t {
        PreloadThis = 0x0001,
        SuppressThis = 0x0002,
        PreloadArguments = 0x0004,
        SuppressArguments = 0x0008,
        PreloadSuper = 0x0010,
        SuppressSuper = 0x0020,
        PreloadRoot = 0x0040,
        PreloadParent = 0x0080,
        PreloadGlobal = 0x0100,
    };
    Vm& vm = in.vm;
    std::size_t r = 1;
    auto preload = [&](const Value& v) {
        if (r < f.registerCount) {
            f.registers[r] = v;
        }
        ++r;
    };
    if (d.flags & PreloadThis) {
        preload(f.self);
    }
    // `this` is a local of the function (which a parameter of that name replaces), unless the
    // flags suppress it.
    if (!(d.flags & SuppressThis)) {
        f.locals->define("this", f.self, kDontEnum);
    }
    if (d.flags & PreloadArguments) {
        preload(Value(arguments.get()));
    } else if (!(d.flags & SuppressArguments)) {
        f.locals->define("arguments", Value(arguments.get()));
    }
    if (d.flags & PreloadSuper) {
        Object* super = in.makeSuper(f);
        preload(super ? Value(super) : Value());
    } else if (d.flags & SuppressSuper) {
        f.locals->define("super", Value());
    }
    if (d.flags & PreloadRoot) {
        preload(Value(vm.clipObject(vm.host().rootClip())));
    }
    if (d.flags & PreloadParent) {
        const ClipId parent = vm.host().parentClip(f.target);
        preload(parent ? Value(vm.clipObject(parent)) : Value());
    }
    if (d.flags & PreloadGlobal) {
        preload(Value(vm.global()));
    }
    for (std::size_t i = 0; i < d.params.size(); ++i) {
        const Value v = i < args.size() ? args[i] : Value();
        const std::uint8_t reg = i < d.paramRegisters.size() ? d.paramRegisters[i] : 0;
        if (reg != 0 && reg < f.registerCount) {
            f.registers[reg] = v;
        } else {
            f.locals->define(d.params[i], v);
        }
    }
}

} // namespace

Value Interpreter::callScript(Object* function, const Value& self, std::span<const Value> args,
                              Object* home) {
    const FunctionData& d = *function->function();
    Frame f = functionFrame(vm, function, self, home);
    // A DefineFunction2 that asks for no registers works on the four the frame scripts share.
    const bool sharesRegisters = d.isFunction2 && d.registerCount == 0;
    std::vector<Value> registers(sharesRegisters ? 0 : d.isFunction2 ? d.registerCount : 4);
    f.registers = sharesRegisters ? vm.m_globalRegisters : registers.data();
    f.registerCount = sharesRegisters ? 4 : registers.size();
    struct Running {
        Object*& current;
        Object* outer;
        Running(Object*& c, Object* function) : current(c), outer(c) { current = function; }
        ~Running() { current = outer; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } running(vm.m_runningFunction, function);
    Arguments arguments(vm, function, running.outer, args);
    if (d.isFunction2) {
        preloadRegisters(*this, f, d, args, arguments);
    } else {
        bindParameters(f, d, args, arguments);
    }
    std::size_t jump = 0;
    Value ret;
    const Exit e = run(f, d.start, d.start + d.length, jump, ret);
    return e == Exit::Return ? ret : Value();
}

Object* Interpreter::makeSuper(Frame& f) {
    if (!f.home || vm.version() < 6) { // super came with Flash 6
        return nullptr;
    }
    // Lookups on super start above `home`, the level of the prototype chain it stands for;
    // calls on it keep the current `this`.
    Object* s = vm.newObjectOfClass(ObjectClass::Object, f.home->proto());
    s->setHostClass("super");
    s->primitive() = f.self;
    const Property* ctor = f.home->findOwn("__constructor__");
    Value superCtor = ctor ? ctor->value : Value();
    if (superCtor.isUndefined() && f.home->proto()) {
        superCtor = vm.getMember(f.home->proto(), "constructor", Value(f.home->proto()));
    }
    s->define("__constructor__", superCtor, kDontEnum);
    return s;
}

void addFunctionActions(ActionTable& t) {
    t.on<defineFunction>(Opcode::ActionDefineFunction);
    t.on<defineFunction>(Opcode::ActionDefineFunction2);
}

} // namespace kinovex::flash::avm1
