#include "engine/avm1/Interpreter.h"

#include "engine/avm1/Instruction.h"
#include "engine/avm1/Names.h"
#include "engine/avm1/Utf8.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kinovex::flash::avm1 {

namespace {

bool isClip(const Value& v) {
    return v.isObject() && v.asObject()->objectClass() == ObjectClass::Clip;
}

} // namespace

ClipId Interpreter::targetOf(Frame& f, const Value& v) {
    if (isClip(v)) {
        return v.asObject()->clip();
    }
    const std::string path = vm.toString(v);
    if (path.empty()) {
        return f.target;
    }
    return vm.resolveTarget(f.target, path);
}

Object* Interpreter::makeSuper(Frame& f) {
    if (!f.home && f.self.isObject() && f.callee) {
        // A method found on a prototype: super starts above the one holding it. Worked out only
        // when a script asks for super, since it means looking through the prototypes.
        int hops = 0;
        for (Object* o = f.self.asObject(); o && hops < 256 && !f.home; o = o->proto(), ++hops) {
            for (const Property& p : o->properties()) {
                if (p.value.isObject() && p.value.asObject() == f.callee) {
                    f.home = o;
                    break;
                }
            }
        }
    }
    if (!f.home) {
        return nullptr;
    }
    // Lookups on super start above the prototype the running method came from; calls on it
    // keep the current `this`.
    Object* s = vm.newObject(f.home->proto());
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

Value Interpreter::getVariable(Frame& f, std::string_view name) {
    const bool cs = vm.version() >= 7;
    const auto colon = name.rfind(':');
    if (colon != std::string_view::npos) {
        const ClipId c = vm.resolveTarget(f.target, name.substr(0, colon));
        Object* o = vm.clipObject(c);
        return o ? vm.getMember(o, name.substr(colon + 1), Value(o)) : Value();
    }
    if (name.find('/') != std::string_view::npos) {
        const ClipId c = vm.resolveTarget(f.target, name);
        return c ? Value(vm.clipObject(c)) : Value();
    }
    const auto dot = name.find('.');
    if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
        Value v = getVariable(f, name.substr(0, dot));
        std::string_view rest = name.substr(dot + 1);
        while (!rest.empty()) {
            const auto d = rest.find('.');
            const std::string_view part = rest.substr(0, d);
            v = vm.getMember(v, part);
            rest = d == std::string_view::npos ? std::string_view() : rest.substr(d + 1);
        }
        return v;
    }
    if (sameName(name, "this", cs)) {
        return f.self;
    }
    for (auto it = f.scope.rbegin(); it != f.scope.rend(); ++it) {
        Object* o = *it;
        if (o && vm.hasProperty(o, name)) {
            return vm.getMember(o, name, Value(o));
        }
    }
    if (sameName(name, "super", cs)) {
        return Value(makeSuper(f));
    }
    if (sameName(name, "_global", cs) && vm.version() >= 6) {
        return Value(vm.global());
    }
    if (sameName(name, "_root", cs) ||
        (name.size() > 6 && sameName(name.substr(0, 6), "_level", cs))) {
        const ClipId c = vm.resolveTarget(f.target ? f.target : vm.host().rootClip(), name);
        return c ? Value(vm.clipObject(c)) : Value();
    }
    if (f.target) {
        if (Object* t = vm.clipObject(f.target)) {
            if (vm.hasProperty(t, name)) {
                return vm.getMember(t, name, Value(t));
            }
        }
    }
    return {};
}

void Interpreter::setVariable(Frame& f, std::string_view name, const Value& v) {
    const auto colon = name.rfind(':');
    if (colon != std::string_view::npos) {
        const ClipId c = vm.resolveTarget(f.target, name.substr(0, colon));
        if (Object* o = vm.clipObject(c)) {
            vm.setMember(o, name.substr(colon + 1), v);
        }
        return;
    }
    const auto cut = name.find_last_of("./");
    if (cut != std::string_view::npos && cut > 0 && cut + 1 < name.size()) {
        const std::string_view head = name.substr(0, cut);
        Value owner = name[cut] == '/' ? Value(vm.clipObject(vm.resolveTarget(f.target, head)))
                                       : getVariable(f, head);
        vm.setMember(owner, name.substr(cut + 1), v);
        return;
    }
    // The innermost scope that has the name takes it; otherwise the timeline does (or the
    // function's locals when the function runs on no timeline).
    for (std::size_t k = f.scope.size(); k-- > 0;) {
        Object* o = f.scope[k];
        if (!o) {
            continue;
        }
        const bool isTimeline =
            f.hasTargetSlot ? k == f.targetSlot : o->objectClass() == ObjectClass::Clip;
        if (isTimeline || vm.hasProperty(o, name)) {
            if (isTimeline && f.target && f.hasTargetSlot) {
                if (Object* t = vm.clipObject(f.target)) {
                    vm.setMember(t, name, v);
                    return;
                }
            }
            vm.setMember(o, name, v);
            return;
        }
    }
    if (Object* t = vm.clipObject(f.target)) {
        vm.setMember(t, name, v);
    } else if (f.locals) {
        vm.setMember(f.locals, name, v);
    }
}

void Interpreter::defineLocal(Frame& f, std::string_view name, const Value& v) {
    if (f.locals) {
        f.locals->define(name, v);
    } else {
        setVariable(f, name, v);
    }
}

Frame Interpreter::topLevelFrame(ClipId clip) {
    Frame f;
    f.target = clip;
    f.baseTarget = clip;
    f.scope = {vm.global(), vm.clipObject(clip)};
    f.targetSlot = 1;
    f.hasTargetSlot = true;
    f.self = Value(vm.clipObject(clip));
    f.registers = vm.m_globalRegisters;
    f.registerCount = 4;
    return f;
}

void Interpreter::runTopLevel(ClipId clip, const Code& code) {
    Frame f = topLevelFrame(clip);
    f.code = code;
    std::size_t jump = 0;
    Value ret;
    run(f, 0, code->size(), jump, ret);
}

Value Interpreter::callScript(Object* function, const Value& self, std::span<const Value> args,
                              Object* home) {
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
    std::vector<Value> registers(d.isFunction2 ? std::max<std::size_t>(d.registerCount, 1) : 4);
    f.registers = registers.data();
    f.registerCount = registers.size();

    Object* argumentsObject = nullptr;
    auto makeArguments = [&] {
        if (!argumentsObject) {
            argumentsObject = vm.newArray(std::vector<Value>(args.begin(), args.end()));
            argumentsObject->define("callee", Value(function), kDontEnum);
        }
        return argumentsObject;
    };

    if (!d.isFunction2) {
        for (std::size_t i = 0; i < d.params.size(); ++i) {
            activation->define(d.params[i], i < args.size() ? args[i] : Value());
        }
        activation->define("arguments", Value(makeArguments()));
    } else {
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
        std::size_t r = 1;
        auto preload = [&](const Value& v) {
            if (r < registers.size()) {
                registers[r] = v;
            }
            ++r;
        };
        if (d.flags & PreloadThis) {
            preload(self);
        }
        if (d.flags & PreloadArguments) {
            preload(Value(makeArguments()));
        } else if (!(d.flags & SuppressArguments)) {
            activation->define("arguments", Value(makeArguments()));
        }
        if (d.flags & PreloadSuper) {
            preload(Value(makeSuper(f)));
        } else if (d.flags & SuppressSuper) {
            activation->define("super", Value());
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
            if (reg != 0 && reg < registers.size()) {
                registers[reg] = v;
            } else {
                activation->define(d.params[i], v);
            }
        }
    }
    std::size_t jump = 0;
    Value ret;
    const Exit e = run(f, d.start, d.start + d.length, jump, ret);
    return e == Exit::Return ? ret : Value();
}

Interpreter::Exit Interpreter::run(Frame& f, std::size_t start, std::size_t end,
                                   std::size_t& jumpTo, Value& ret) {
    const std::vector<std::uint8_t>& code = *f.code;
    end = std::min(end, code.size());
    std::vector<Value>& st = f.stack;
    const int version = vm.version();
    auto pop = [&st]() -> Value {
        if (st.empty()) {
            return Value();
        }
        Value v = std::move(st.back());
        st.pop_back();
        return v;
    };
    auto push = [&st](Value v) { st.push_back(std::move(v)); };
    auto popNumber = [&]() { return vm.toNumber(pop()); };
    auto popString = [&]() { return vm.toString(pop()); };
    auto popCount = [&]() -> std::size_t {
        const double n = popNumber();
        if (!(n > 0)) {
            return 0;
        }
        // Counts beyond what the stack holds are malformed; take what there is.
        return std::min(static_cast<std::size_t>(std::min(n, 1e9)), st.size());
    };
    auto popArgs = [&](std::size_t n) {
        std::vector<Value> args;
        args.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            args.push_back(pop());
        }
        return args;
    };
    auto boolResult = [&](bool b) {
        // Version 4 movies work with 1 and 0.
        push(version >= 5 ? Value(b) : Value(b ? 1.0 : 0.0));
    };
    auto targetClip = [&]() { return f.target; };

    std::size_t pc = start;
    // After a with or try block ended by `e`: whether this run ends too. A return does; a jump
    // out of the range being run goes up to the caller, one inside it goes on here.
    auto blockEndsRun = [&](Exit e, std::size_t j) {
        if (e == Exit::Return) {
            return true;
        }
        if (e == Exit::Jump) {
            if (j < start || j > end) {
                jumpTo = j;
                return true;
            }
            pc = j;
        }
        return false;
    };
    while (pc < end) {
        if (++vm.m_usedThisFrame > vm.m_budget) {
            if (!vm.m_budgetReported) {
                vm.m_budgetReported = true;
                vm.report("A script ran too long and was stopped");
            }
            throw ScriptAbort{};
        }
        ++vm.m_totalInstructions;
        const Instruction ins = decodeAction(code, pc, end);
        if (ins.status == DecodeStatus::HeaderCut) {
            vm.report("A script ends in the middle of an action");
            return Exit::End;
        }
        if (ins.status == DecodeStatus::PastEnd) {
            vm.report("A script action runs past the end of its block");
            return Exit::End;
        }
        const std::size_t next = ins.next;
        bool malformed = ins.status == DecodeStatus::Malformed;
        pc = next;

        switch (ins.op) {
        case Opcode::ActionEnd:
            return Exit::End;
        // ---- timeline (version 3) ----
        case Opcode::ActionNextFrame:
            vm.host().nextFrame(targetClip());
            break;
        case Opcode::ActionPreviousFrame:
            vm.host().prevFrame(targetClip());
            break;
        case Opcode::ActionPlay:
            vm.host().play(targetClip());
            break;
        case Opcode::ActionStop:
            vm.host().stop(targetClip());
            break;
        case Opcode::ActionToggleQuality:
            vm.host().toggleQuality();
            break;
        case Opcode::ActionStopSounds:
            vm.host().stopSounds();
            break;
        case Opcode::ActionGotoFrame: { // GotoFrame
            vm.host().gotoFrame(targetClip(), ins.frame.frame + 1u, false);
            break;
        }
        case Opcode::ActionGetURL: { // GetURL
            vm.host().getUrl(ins.url.url, ins.url.target, 0);
            break;
        }
        case Opcode::ActionWaitForFrame: { // WaitForFrame
            const double loaded =
                vm.toNumber(vm.host().getClipProperty(targetClip(), ClipProperty::FramesLoaded));
            if (!(ins.frame.frame + 1.0 <= loaded)) {
                pc = skipActions(code, pc, end, ins.frame.skip);
            }
            break;
        }
        case Opcode::ActionSetTarget: { // SetTarget
            const std::string_view path = ins.text;
            f.target = path.empty() ? f.baseTarget : vm.resolveTarget(f.baseTarget, path);
            if (f.hasTargetSlot) {
                f.scope[f.targetSlot] = vm.clipObject(f.target ? f.target : f.baseTarget);
            }
            break;
        }
        case Opcode::ActionGoToLabel: { // GoToLabel
            vm.host().gotoLabel(targetClip(), ins.text, false);
            break;
        }
        // ---- arithmetic and logic (version 4) ----
        case Opcode::ActionAdd: {
            const double b = popNumber();
            push(Value(popNumber() + b));
            break;
        }
        case Opcode::ActionSubtract: {
            const double b = popNumber();
            push(Value(popNumber() - b));
            break;
        }
        case Opcode::ActionMultiply: {
            const double b = popNumber();
            push(Value(popNumber() * b));
            break;
        }
        case Opcode::ActionDivide: {
            const double b = popNumber();
            const double a = popNumber();
            if (b == 0 && version < 5) {
                push(Value("#ERROR#"));
            } else {
                push(Value(a / b));
            }
            break;
        }
        case Opcode::ActionEquals: { // Equals (numeric)
            const double b = popNumber();
            boolResult(popNumber() == b);
            break;
        }
        case Opcode::ActionLess: { // Less (numeric)
            const double b = popNumber();
            boolResult(popNumber() < b);
            break;
        }
        case Opcode::ActionAnd: { // And
            const bool b = vm.toBoolean(pop());
            boolResult(vm.toBoolean(pop()) && b);
            break;
        }
        case Opcode::ActionOr: { // Or
            const bool b = vm.toBoolean(pop());
            boolResult(vm.toBoolean(pop()) || b);
            break;
        }
        case Opcode::ActionNot: // Not
            boolResult(!vm.toBoolean(pop()));
            break;
        case Opcode::ActionStringEquals: { // StringEquals
            const std::string b = popString();
            boolResult(popString() == b);
            break;
        }
        case Opcode::ActionStringLength: // StringLength
            push(Value(static_cast<double>(popString().size())));
            break;
        case Opcode::ActionMBStringLength: // MBStringLength
            push(Value(static_cast<double>(utf8Length(popString()))));
            break;
        case Opcode::ActionStringExtract:     // StringExtract
        case Opcode::ActionMBStringExtract: { // MBStringExtract
            const double count = popNumber();
            const double index = popNumber();
            const std::string s = popString();
            const double from = std::max(0.0, toInteger(index) - 1);
            const double n = toInteger(count) < 0 ? 1e18 : toInteger(count);
            if (ins.op == Opcode::ActionStringExtract) {
                const std::size_t a = static_cast<std::size_t>(std::min<double>(from, s.size()));
                const std::size_t b = static_cast<std::size_t>(std::min<double>(n, s.size() - a));
                push(Value(s.substr(a, b)));
            } else {
                push(Value(utf8Substr(s, from, n)));
            }
            break;
        }
        case Opcode::ActionPop:
            pop();
            break;
        case Opcode::ActionToInteger:
            push(Value(toInteger(popNumber())));
            break;
        case Opcode::ActionGetVariable: { // GetVariable
            const std::string name = popString();
            push(getVariable(f, name));
            break;
        }
        case Opcode::ActionSetVariable: { // SetVariable
            const Value v = pop();
            const std::string name = popString();
            setVariable(f, name, v);
            break;
        }
        case Opcode::ActionSetTarget2: { // SetTarget2
            const Value t = pop();
            const bool empty = t.isString() && t.asString().empty();
            f.target = empty ? f.baseTarget
                             : (isClip(t) ? t.asObject()->clip()
                                          : vm.resolveTarget(f.baseTarget, vm.toString(t)));
            if (f.hasTargetSlot) {
                f.scope[f.targetSlot] = vm.clipObject(f.target ? f.target : f.baseTarget);
            }
            break;
        }
        case Opcode::ActionStringAdd: { // StringAdd
            const std::string b = popString();
            std::string a = popString();
            vm.checkStringSize(a.size() + b.size());
            push(Value(std::move(a += b)));
            break;
        }
        case Opcode::ActionGetProperty: { // GetProperty
            const double index = popNumber();
            const ClipId c = targetOf(f, pop());
            const int i = static_cast<int>(toInteger(index));
            if (!c || i < 0 || i >= kClipPropertyCount) {
                push(Value());
            } else {
                Object* o = vm.clipObject(c);
                push(vm.getMember(o, clipPropertyName(static_cast<ClipProperty>(i)), Value(o)));
            }
            break;
        }
        case Opcode::ActionSetProperty: { // SetProperty
            const Value v = pop();
            const double index = popNumber();
            const ClipId c = targetOf(f, pop());
            const int i = static_cast<int>(toInteger(index));
            if (c && i >= 0 && i < kClipPropertyCount) {
                vm.host().setClipProperty(c, static_cast<ClipProperty>(i), v);
            }
            break;
        }
        case Opcode::ActionCloneSprite: { // CloneSprite
            const double depth = popNumber();
            const std::string name = popString();
            const ClipId source = targetOf(f, pop());
            if (source) {
                vm.host().cloneClip(source, name, static_cast<int>(toInteger(depth)));
            }
            break;
        }
        case Opcode::ActionRemoveSprite: { // RemoveSprite
            const ClipId c = targetOf(f, pop());
            if (c) {
                vm.host().removeClip(c);
            }
            break;
        }
        case Opcode::ActionTrace: { // Trace
            const Value v = pop();
            vm.host().trace(v.isUndefined() ? std::string("undefined") : vm.toString(v));
            break;
        }
        case Opcode::ActionStartDrag: { // StartDrag
            const ClipId c = targetOf(f, pop());
            const bool lock = vm.toBoolean(pop());
            const bool constrain = vm.toBoolean(pop());
            double rect[4] = {0, 0, 0, 0};
            if (constrain) {
                rect[3] = popNumber();
                rect[2] = popNumber();
                rect[1] = popNumber();
                rect[0] = popNumber();
            }
            if (c) {
                vm.host().startDrag(c, lock, constrain ? rect : nullptr);
            }
            break;
        }
        case Opcode::ActionEndDrag:
            vm.host().stopDrag();
            break;
        case Opcode::ActionStringLess: { // StringLess
            const std::string b = popString();
            boolResult(popString() < b);
            break;
        }
        case Opcode::ActionStringGreater: { // StringGreater
            const std::string b = popString();
            boolResult(popString() > b);
            break;
        }
        case Opcode::ActionRandomNumber: { // RandomNumber
            const double max = toInteger(popNumber());
            push(Value(max > 0 ? std::floor(vm.random() * max) : 0.0));
            break;
        }
        case Opcode::ActionCharToAscii: { // CharToAscii
            const std::string s = popString();
            push(Value(s.empty() ? 0.0 : static_cast<double>(static_cast<unsigned char>(s[0]))));
            break;
        }
        case Opcode::ActionMBCharToAscii: { // MBCharToAscii
            const std::string s = popString();
            push(Value(s.empty() ? 0.0 : static_cast<double>(utf8At(s, 0))));
            break;
        }
        case Opcode::ActionAsciiToChar: { // AsciiToChar
            const auto c = static_cast<char>(toUint32(popNumber()) & 0xff);
            push(Value(std::string(1, c)));
            break;
        }
        case Opcode::ActionMBAsciiToChar: // MBAsciiToChar
            push(Value(utf8Encode(toUint32(popNumber()) & 0x1fffff)));
            break;
        case Opcode::ActionGetTime: // GetTime
            push(Value(std::floor(vm.host().timeMs())));
            break;
        case Opcode::ActionPush: { // Push
            PushReader values(ins.payload);
            PushItem item;
            while (values.next(item)) {
                switch (item.kind) {
                case PushItem::String:
                    push(Value(item.text));
                    break;
                case PushItem::Number:
                    push(Value(item.number));
                    break;
                case PushItem::Null:
                    push(Value::null());
                    break;
                case PushItem::Undefined:
                    push(Value());
                    break;
                case PushItem::Register:
                    push(item.index < f.registerCount ? f.registers[item.index] : Value());
                    break;
                case PushItem::Boolean:
                    push(Value(item.boolean));
                    break;
                case PushItem::Constant:
                    if (f.constants && item.index < f.constants->size()) {
                        push(Value((*f.constants)[item.index]));
                    } else {
                        push(Value());
                    }
                    break;
                }
            }
            if (!values.ok()) {
                vm.report("A script pushes a malformed value");
                malformed = true;
            }
            break;
        }
        case Opcode::ActionJump: { // Jump
            const std::int16_t offset = ins.offset;
            const auto target = static_cast<long long>(next) + offset;
            if (target < static_cast<long long>(start) || target > static_cast<long long>(end)) {
                jumpTo = static_cast<std::size_t>(std::max(0LL, target));
                return Exit::Jump;
            }
            pc = static_cast<std::size_t>(target);
            break;
        }
        case Opcode::ActionIf: { // If
            const std::int16_t offset = ins.offset;
            if (vm.toBoolean(pop())) {
                const auto target = static_cast<long long>(next) + offset;
                if (target < static_cast<long long>(start) ||
                    target > static_cast<long long>(end)) {
                    jumpTo = static_cast<std::size_t>(std::max(0LL, target));
                    return Exit::Jump;
                }
                pc = static_cast<std::size_t>(target);
            }
            break;
        }
        case Opcode::ActionGetURL2: { // GetURL2
            const std::uint8_t flags = ins.flags.flags;
            const std::string target = popString();
            const std::string url = popString();
            vm.host().getUrl(url, target, flags & 3);
            break;
        }
        case Opcode::ActionCall: { // Call
            const std::string frame = popString();
            const auto colon = frame.rfind(':');
            const ClipId c = colon == std::string::npos
                                 ? f.target
                                 : vm.resolveTarget(f.target, frame.substr(0, colon));
            const std::string which = colon == std::string::npos ? frame : frame.substr(colon + 1);
            const double n = stringToNumber(which, 5);
            const std::uint32_t number = !std::isnan(n)
                                             ? static_cast<std::uint32_t>(std::max(1.0, n))
                                             : vm.host().frameOfLabel(c, which);
            if (c && number) {
                vm.host().callFrame(c, number);
            }
            break;
        }
        case Opcode::ActionGotoFrame2: { // GotoFrame2
            const std::uint8_t flags = ins.flags.flags;
            const std::uint16_t bias = ins.flags.bias;
            const bool play = flags & 1;
            const Value frame = pop();
            ClipId c = f.target;
            std::string label;
            double number = 0;
            if (frame.isString()) {
                std::string s = frame.asString();
                const auto colon = s.rfind(':');
                if (colon != std::string::npos) {
                    c = vm.resolveTarget(f.target, s.substr(0, colon));
                    s = s.substr(colon + 1);
                }
                number = stringToNumber(s, 5);
                if (std::isnan(number)) {
                    label = s;
                }
            } else {
                number = vm.toNumber(frame);
            }
            if (!c) {
                break;
            }
            if (!label.empty()) {
                vm.host().gotoLabel(c, label, play);
            } else if (!std::isnan(number)) {
                vm.host().gotoFrame(c,
                                    static_cast<std::uint32_t>(std::max(
                                        1.0, std::min(toInteger(number) + bias, 65535.0 * 2))),
                                    play);
            }
            break;
        }
        case Opcode::ActionWaitForFrame2: { // WaitForFrame2
            const std::uint8_t skip = ins.frame.skip;
            const Value frame = pop();
            const double loaded =
                vm.toNumber(vm.host().getClipProperty(targetClip(), ClipProperty::FramesLoaded));
            double wanted = vm.toNumber(frame);
            if (frame.isString() && std::isnan(wanted)) {
                wanted = vm.host().frameOfLabel(targetClip(), frame.asString());
            }
            if (!(wanted <= loaded)) {
                pc = skipActions(code, pc, end, skip);
            }
            break;
        }
        // ---- objects and functions (version 5) ----
        case Opcode::ActionConstantPool: { // ConstantPool
            const std::uint16_t count = ins.list.count;
            auto pool = std::make_shared<std::vector<std::string>>();
            pool->reserve(count);
            ListReader strings(ins.list.items, false);
            std::uint8_t unused = 0;
            std::string_view text;
            for (std::uint16_t k = 0; k < count && strings.next(unused, text); ++k) {
                pool->push_back(std::string(text));
            }
            f.constants = std::move(pool);
            break;
        }
        case Opcode::ActionDefineFunction:    // DefineFunction
        case Opcode::ActionDefineFunction2: { // DefineFunction2
            if (malformed) {
                vm.report("A script defines a malformed function");
                return Exit::End;
            }
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
            const std::uint16_t size = header.bodySize;
            d->code = f.code;
            d->start = next;
            d->length = std::min<std::size_t>(size, end - next);
            d->scope = f.scope;
            d->constants = f.constants;
            d->target = f.target;
            d->version = version;
            pc = next + d->length;
            Object* fn = vm.newObjectOfClass(ObjectClass::Function, vm.functionPrototype());
            const std::string name = d->name;
            fn->setFunction(std::move(d));
            Object* proto = vm.newObject();
            proto->define("constructor", Value(fn), kDontEnum);
            fn->define("prototype", Value(proto), kDontEnum);
            if (name.empty()) {
                push(Value(fn));
            } else {
                defineLocal(f, name, Value(fn));
            }
            break;
        }
        case Opcode::ActionDefineLocal: { // DefineLocal
            const Value v = pop();
            const std::string name = popString();
            defineLocal(f, name, v);
            break;
        }
        case Opcode::ActionDefineLocal2: { // DefineLocal2
            const std::string name = popString();
            if (f.locals) {
                if (!f.locals->findOwn(name)) {
                    f.locals->define(name, Value());
                }
            } else if (Object* t = vm.clipObject(f.target)) {
                if (!t->findOwn(name)) {
                    t->define(name, Value());
                }
            }
            break;
        }
        case Opcode::ActionDelete: { // Delete
            const std::string name = popString();
            Object* o = vm.toObject(pop());
            push(Value(o ? vm.deleteMember(o, name) : false));
            break;
        }
        case Opcode::ActionDelete2: { // Delete2
            const std::string name = popString();
            bool done = false;
            for (auto it = f.scope.rbegin(); it != f.scope.rend(); ++it) {
                if (*it && (*it)->findOwn(name)) {
                    done = vm.deleteMember(*it, name);
                    break;
                }
            }
            push(Value(done));
            break;
        }
        case Opcode::ActionCallFunction: { // CallFunction
            const std::string name = popString();
            const std::size_t n = popCount();
            const std::vector<Value> args = popArgs(n);
            const Value fn = getVariable(f, name);
            if (!fn.isObject() || !fn.asObject()->function()) {
                push(Value());
                break;
            }
            push(vm.call(fn, Value(vm.clipObject(f.target)), args));
            break;
        }
        case Opcode::ActionCallMethod: { // CallMethod
            const Value method = pop();
            const Value object = pop();
            const std::size_t n = popCount();
            const std::vector<Value> args = popArgs(n);
            const bool isSuper = object.isObject() && object.asObject()->hostClass() == "super";
            const Value self = isSuper ? object.asObject()->primitive() : object;
            if (method.isUndefined() || (method.isString() && method.asString().empty())) {
                if (isSuper) {
                    // super(...): the superclass constructor on this object.
                    const Property* c = object.asObject()->findOwn("__constructor__");
                    Object* ctor = c && c->value.isObject() ? c->value.asObject() : nullptr;
                    if (ctor && ctor->function()) {
                        const Value proto = vm.getMember(ctor, "prototype", Value(ctor));
                        push(vm.runFunction(ctor, self, args,
                                            proto.isObject() ? proto.asObject() : nullptr));
                    } else {
                        push(Value());
                    }
                } else {
                    push(vm.call(object, Value(), args));
                }
                break;
            }
            const std::string name = vm.toString(method);
            const Value fn = vm.getMember(object, name);
            if (!fn.isObject() || !fn.asObject()->function()) {
                push(Value());
                break;
            }
            if (isSuper) {
                // The method is found above the current class; its own super is above that.
                Object* holder = object.asObject()->proto();
                int hops = 0;
                while (holder && !holder->findOwn(name) && hops++ < 256) {
                    holder = holder->proto();
                }
                push(vm.runFunction(fn.asObject(), self, args, holder));
            } else {
                push(vm.call(fn, self, args));
            }
            break;
        }
        case Opcode::ActionNewObject: { // NewObject
            const std::string name = popString();
            const std::size_t n = popCount();
            const std::vector<Value> args = popArgs(n);
            push(vm.construct(getVariable(f, name), args));
            break;
        }
        case Opcode::ActionNewMethod: { // NewMethod
            const Value method = pop();
            const Value object = pop();
            const std::size_t n = popCount();
            const std::vector<Value> args = popArgs(n);
            const bool whole =
                method.isUndefined() || (method.isString() && method.asString().empty());
            push(vm.construct(whole ? object : vm.getMember(object, vm.toString(method)), args));
            break;
        }
        case Opcode::ActionInitArray: { // InitArray
            const std::size_t n = popCount();
            push(Value(vm.newArray(popArgs(n))));
            break;
        }
        case Opcode::ActionInitObject: { // InitObject
            const std::size_t n = std::min(popCount(), st.size() / 2);
            std::vector<std::pair<std::string, Value>> pairs;
            for (std::size_t k = 0; k < n; ++k) {
                Value v = pop();
                pairs.emplace_back(popString(), std::move(v));
            }
            Object* o = vm.newObject();
            for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
                vm.setMember(o, it->first, it->second);
            }
            push(Value(o));
            break;
        }
        case Opcode::ActionTypeOf: // TypeOf
            push(Value(vm.typeOf(pop())));
            break;
        case Opcode::ActionTargetPath: { // TargetPath
            const Value v = pop();
            if (isClip(v) && v.asObject()->clip()) {
                push(Value(vm.targetPath(v.asObject()->clip())));
            } else {
                push(Value());
            }
            break;
        }
        case Opcode::ActionEnumerate:    // Enumerate
        case Opcode::ActionEnumerate2: { // Enumerate2
            Value v = pop();
            if (ins.op == Opcode::ActionEnumerate) {
                v = getVariable(f, vm.toString(v));
            }
            push(Value::null());
            if (v.isObject()) {
                Object* o = v.asObject();
                std::vector<std::string> names = vm.enumerate(o);
                if (o->objectClass() == ObjectClass::Clip && o->clip()) {
                    // Named children of a clip are enumerable too.
                    for (std::string& child : vm.host().childNames(o->clip())) {
                        if (std::find(names.begin(), names.end(), child) == names.end()) {
                            names.push_back(std::move(child));
                        }
                    }
                }
                for (std::string& name : names) {
                    push(Value(std::move(name)));
                }
            }
            break;
        }
        case Opcode::ActionAdd2: { // Add2
            const Value b = vm.toPrimitive(pop());
            const Value a = vm.toPrimitive(pop());
            if (a.isString() || b.isString()) {
                std::string left = vm.toString(a);
                const std::string right = vm.toString(b);
                vm.checkStringSize(left.size() + right.size());
                push(Value(std::move(left += right)));
            } else {
                push(Value(vm.toNumber(a) + vm.toNumber(b)));
            }
            break;
        }
        case Opcode::ActionLess2: { // Less2
            const Value b = pop();
            const Value a = pop();
            push(vm.lessThan(a, b));
            break;
        }
        case Opcode::ActionGreater: { // Greater
            const Value b = pop();
            const Value a = pop();
            push(vm.lessThan(b, a));
            break;
        }
        case Opcode::ActionEquals2: { // Equals2
            const Value b = pop();
            const Value a = pop();
            push(Value(vm.abstractEquals(a, b)));
            break;
        }
        case Opcode::ActionStrictEquals: { // StrictEquals
            const Value b = pop();
            const Value a = pop();
            push(Value(vm.strictEquals(a, b)));
            break;
        }
        case Opcode::ActionToNumber:
            push(Value(popNumber()));
            break;
        case Opcode::ActionToString:
            push(Value(popString()));
            break;
        case Opcode::ActionPushDuplicate: // PushDuplicate
            push(st.empty() ? Value() : st.back());
            break;
        case Opcode::ActionStackSwap: { // StackSwap
            Value a = pop();
            Value b = pop();
            push(std::move(a));
            push(std::move(b));
            break;
        }
        case Opcode::ActionGetMember: { // GetMember
            const Value name = pop();
            const Value object = pop();
            push(vm.getMember(object, vm.toString(name)));
            break;
        }
        case Opcode::ActionSetMember: { // SetMember
            const Value v = pop();
            const Value name = pop();
            const Value object = pop();
            vm.setMember(object, vm.toString(name), v);
            break;
        }
        case Opcode::ActionIncrement:
            push(Value(popNumber() + 1));
            break;
        case Opcode::ActionDecrement:
            push(Value(popNumber() - 1));
            break;
        case Opcode::ActionModulo: { // Modulo
            const double b = popNumber();
            push(Value(std::fmod(popNumber(), b)));
            break;
        }
        case Opcode::ActionBitAnd: {
            const std::int32_t b = toInt32(popNumber());
            push(Value(static_cast<double>(toInt32(popNumber()) & b)));
            break;
        }
        case Opcode::ActionBitOr: {
            const std::int32_t b = toInt32(popNumber());
            push(Value(static_cast<double>(toInt32(popNumber()) | b)));
            break;
        }
        case Opcode::ActionBitXor: {
            const std::int32_t b = toInt32(popNumber());
            push(Value(static_cast<double>(toInt32(popNumber()) ^ b)));
            break;
        }
        case Opcode::ActionBitLShift: { // BitLShift
            const std::uint32_t count = toUint32(popNumber()) & 31;
            const std::uint32_t v = toUint32(popNumber());
            push(Value(static_cast<double>(static_cast<std::int32_t>(v << count))));
            break;
        }
        case Opcode::ActionBitRShift: { // BitRShift
            const std::uint32_t count = toUint32(popNumber()) & 31;
            const std::int32_t v = toInt32(popNumber());
            push(Value(static_cast<double>(v >> count)));
            break;
        }
        case Opcode::ActionBitURShift: { // BitURShift
            const std::uint32_t count = toUint32(popNumber()) & 31;
            const std::uint32_t v = toUint32(popNumber());
            push(Value(static_cast<double>(v >> count)));
            break;
        }
        case Opcode::ActionStoreRegister: { // StoreRegister
            const std::uint8_t r = ins.reg;
            if (!malformed && r < f.registerCount) {
                f.registers[r] = st.empty() ? Value() : st.back();
            }
            break;
        }
        case Opcode::ActionReturn: // Return
            ret = pop();
            return Exit::Return;
        case Opcode::ActionWith: { // With
            const std::uint16_t size = ins.size;
            const std::size_t blockEnd = std::min<std::size_t>(next + size, end);
            Object* o = vm.toObject(pop());
            pc = blockEnd;
            if (!o) {
                break;
            }
            const Vm::NestingGuard nesting(vm);
            f.scope.push_back(o);
            const bool hadSlot = f.hasTargetSlot;
            std::size_t j = 0;
            Exit e;
            try {
                e = run(f, next, blockEnd, j, ret);
            } catch (...) {
                f.scope.pop_back();
                throw;
            }
            f.scope.pop_back();
            f.hasTargetSlot = hadSlot;
            if (blockEndsRun(e, j)) {
                return e;
            }
            break;
        }
        case Opcode::ActionTry: { // Try
            const std::uint8_t flags = ins.tryBlock.flags;
            const std::uint16_t trySize = ins.tryBlock.trySize;
            const std::uint16_t catchSize = ins.tryBlock.catchSize;
            const std::uint16_t finallySize = ins.tryBlock.finallySize;
            const bool catchInRegister = flags & 4;
            const bool hasFinally = flags & 2;
            const bool hasCatch = flags & 1;
            const std::string_view catchName = ins.tryBlock.catchName;
            const std::uint8_t catchRegister = ins.tryBlock.catchRegister;
            const std::size_t tryEnd = std::min<std::size_t>(next + trySize, end);
            const std::size_t catchEnd = std::min<std::size_t>(tryEnd + catchSize, end);
            const std::size_t finallyEnd = std::min<std::size_t>(catchEnd + finallySize, end);
            const std::size_t depth = st.size();
            const std::size_t scopeDepth = f.scope.size();
            const Vm::NestingGuard nesting(vm);
            std::optional<Value> pending;
            std::size_t j = 0;
            Exit e = Exit::End;
            try {
                e = run(f, next, tryEnd, j, ret);
            } catch (ScriptThrow& t) {
                st.resize(std::min(st.size(), depth));
                f.scope.resize(scopeDepth);
                if (hasCatch) {
                    if (catchInRegister) {
                        if (catchRegister < f.registerCount) {
                            f.registers[catchRegister] = t.value;
                        }
                    } else {
                        defineLocal(f, catchName, t.value);
                    }
                    try {
                        e = run(f, tryEnd, catchEnd, j, ret);
                    } catch (ScriptThrow& t2) {
                        st.resize(std::min(st.size(), depth));
                        f.scope.resize(scopeDepth);
                        pending = t2.value;
                    }
                } else {
                    pending = t.value;
                }
            }
            if (hasFinally) {
                std::size_t j2 = 0;
                Value r2;
                const Exit e2 = run(f, catchEnd, finallyEnd, j2, r2);
                if (e2 != Exit::End) {
                    // A return or jump in finally replaces whatever was leaving.
                    pending.reset();
                    e = e2;
                    j = j2;
                    ret = r2;
                }
            }
            if (pending) {
                throw ScriptThrow{*pending};
            }
            pc = finallyEnd;
            if (blockEndsRun(e, j)) {
                return e;
            }
            break;
        }
        case Opcode::ActionThrow: // Throw
            throw ScriptThrow{pop()};
        // ---- classes (version 6 and 7) ----
        case Opcode::ActionInstanceOf: { // InstanceOf
            const Value ctor = pop();
            const Value v = pop();
            push(Value(vm.instanceOf(v, ctor.isObject() ? ctor.asObject() : nullptr)));
            break;
        }
        case Opcode::ActionCastOp: { // CastOp
            const Value v = pop();
            const Value ctor = pop();
            push(vm.instanceOf(v, ctor.isObject() ? ctor.asObject() : nullptr) ? v : Value::null());
            break;
        }
        case Opcode::ActionExtends: { // Extends
            const Value superclass = pop();
            const Value subclass = pop();
            if (!superclass.isObject() || !subclass.isObject()) {
                break;
            }
            const Value superProto = vm.getMember(superclass.asObject(), "prototype", superclass);
            Object* proto = vm.newObject(superProto.isObject() ? superProto.asObject() : nullptr);
            proto->define("__constructor__", superclass, kDontEnum);
            proto->define("constructor", superclass, kDontEnum);
            vm.setMember(subclass.asObject(), "prototype", Value(proto));
            break;
        }
        case Opcode::ActionImplementsOp: { // ImplementsOp
            const Value ctor = pop();
            const std::size_t n = popCount();
            std::vector<Value> interfaces = popArgs(n);
            if (ctor.isObject()) {
                const Value proto = vm.getMember(ctor.asObject(), "prototype", ctor);
                if (proto.isObject()) {
                    proto.asObject()->define("__implements__",
                                             Value(vm.newArray(std::move(interfaces))),
                                             kDontEnum | kDontDelete);
                }
            }
            break;
        }
        default:
            // Unknown actions are skipped by their length, as the player does.
            break;
        }
        if (malformed) {
            vm.report("A script has a malformed action 0x" +
                      [op = static_cast<std::uint8_t>(ins.op)] {
                          const char* hex = "0123456789abcdef";
                          return std::string{hex[op >> 4], hex[op & 15]};
                      }());
            return Exit::End;
        }
    }
    return Exit::End;
}

} // namespace kinovex::flash::avm1
