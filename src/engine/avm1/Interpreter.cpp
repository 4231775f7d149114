#include "engine/avm1/Interpreter.h"

#include "engine/avm1/Names.h"
#include "engine/avm1/Utf8.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

namespace kinovex::flash::avm1 {

namespace {

// Bounds-checked reading of one action's operands.
struct Operands {
    const std::uint8_t* p;
    std::size_t n;
    std::size_t i = 0;
    bool ok = true;

    bool need(std::size_t k) {
        if (n - i < k || i > n) {
            ok = false;
            return false;
        }
        return true;
    }
    std::uint8_t u8() { return need(1) ? p[i++] : 0; }
    std::uint16_t u16() {
        if (!need(2)) {
            return 0;
        }
        const auto v = static_cast<std::uint16_t>(p[i] | (p[i + 1] << 8));
        i += 2;
        return v;
    }
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32() {
        if (!need(4)) {
            return 0;
        }
        const std::uint32_t v = static_cast<std::uint32_t>(p[i]) |
                                (static_cast<std::uint32_t>(p[i + 1]) << 8) |
                                (static_cast<std::uint32_t>(p[i + 2]) << 16) |
                                (static_cast<std::uint32_t>(p[i + 3]) << 24);
        i += 4;
        return v;
    }
    std::string str() {
        const void* z = i < n ? std::memchr(p + i, 0, n - i) : nullptr;
        if (!z) {
            ok = false;
            i = n;
            return {};
        }
        const auto len = static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - (p + i));
        std::string s(reinterpret_cast<const char*>(p + i), len);
        i += len + 1;
        return s;
    }
};

bool isClip(const Value& v) {
    return v.isObject() && v.asObject()->objectClass() == ObjectClass::Clip;
}

// Skips `count` actions from `pc` (WaitForFrame); returns where it ends up.
std::size_t skipActions(const std::vector<std::uint8_t>& code, std::size_t pc, std::size_t end,
                        int count) {
    for (int k = 0; k < count && pc < end; ++k) {
        const std::uint8_t op = code[pc];
        if (op >= 0x80) {
            if (pc + 3 > end) {
                return end;
            }
            pc += 3 + static_cast<std::size_t>(code[pc + 1] | (code[pc + 2] << 8));
        } else {
            pc += 1;
        }
    }
    return std::min(pc, end);
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
    const bool cs = version >= 7;
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
        const std::uint8_t op = code[pc];
        std::size_t len = 0;
        std::size_t data = pc + 1;
        if (op >= 0x80) {
            if (pc + 3 > end) {
                vm.report("A script ends in the middle of an action");
                return Exit::End;
            }
            len = static_cast<std::size_t>(code[pc + 1] | (code[pc + 2] << 8));
            data = pc + 3;
            if (data + len > end) {
                vm.report("A script action runs past the end of its block");
                return Exit::End;
            }
        }
        const std::size_t next = data + len;
        Operands in{code.data() + data, len};
        pc = next;

        switch (op) {
        case 0x00:
            return Exit::End;
        // ---- timeline (version 3) ----
        case 0x04:
            vm.host().nextFrame(targetClip());
            break;
        case 0x05:
            vm.host().prevFrame(targetClip());
            break;
        case 0x06:
            vm.host().play(targetClip());
            break;
        case 0x07:
            vm.host().stop(targetClip());
            break;
        case 0x08:
            vm.host().toggleQuality();
            break;
        case 0x09:
            vm.host().stopSounds();
            break;
        case 0x81: { // GotoFrame
            const std::uint16_t frame = in.u16();
            vm.host().gotoFrame(targetClip(), frame + 1u, false);
            break;
        }
        case 0x83: { // GetURL
            const std::string url = in.str();
            const std::string target = in.str();
            vm.host().getUrl(url, target, 0);
            break;
        }
        case 0x8A: { // WaitForFrame
            const std::uint16_t frame = in.u16();
            const std::uint8_t skip = in.u8();
            const double loaded =
                vm.toNumber(vm.host().getClipProperty(targetClip(), ClipProperty::FramesLoaded));
            if (!(frame + 1.0 <= loaded)) {
                pc = skipActions(code, pc, end, skip);
            }
            break;
        }
        case 0x8B: { // SetTarget
            const std::string path = in.str();
            f.target = path.empty() ? f.baseTarget : vm.resolveTarget(f.baseTarget, path);
            if (f.hasTargetSlot) {
                f.scope[f.targetSlot] = vm.clipObject(f.target ? f.target : f.baseTarget);
            }
            break;
        }
        case 0x8C: { // GoToLabel
            const std::string label = in.str();
            vm.host().gotoLabel(targetClip(), label, false);
            break;
        }
        // ---- arithmetic and logic (version 4) ----
        case 0x0A: {
            const double b = popNumber();
            push(Value(popNumber() + b));
            break;
        }
        case 0x0B: {
            const double b = popNumber();
            push(Value(popNumber() - b));
            break;
        }
        case 0x0C: {
            const double b = popNumber();
            push(Value(popNumber() * b));
            break;
        }
        case 0x0D: {
            const double b = popNumber();
            const double a = popNumber();
            if (b == 0 && version < 5) {
                push(Value("#ERROR#"));
            } else {
                push(Value(a / b));
            }
            break;
        }
        case 0x0E: { // Equals (numeric)
            const double b = popNumber();
            boolResult(popNumber() == b);
            break;
        }
        case 0x0F: { // Less (numeric)
            const double b = popNumber();
            boolResult(popNumber() < b);
            break;
        }
        case 0x10: { // And
            const bool b = vm.toBoolean(pop());
            boolResult(vm.toBoolean(pop()) && b);
            break;
        }
        case 0x11: { // Or
            const bool b = vm.toBoolean(pop());
            boolResult(vm.toBoolean(pop()) || b);
            break;
        }
        case 0x12: // Not
            boolResult(!vm.toBoolean(pop()));
            break;
        case 0x13: { // StringEquals
            const std::string b = popString();
            boolResult(popString() == b);
            break;
        }
        case 0x14: // StringLength
            push(Value(static_cast<double>(popString().size())));
            break;
        case 0x31: // MBStringLength
            push(Value(static_cast<double>(utf8Length(popString()))));
            break;
        case 0x15:   // StringExtract
        case 0x35: { // MBStringExtract
            const double count = popNumber();
            const double index = popNumber();
            const std::string s = popString();
            const double from = std::max(0.0, toInteger(index) - 1);
            const double n = toInteger(count) < 0 ? 1e18 : toInteger(count);
            if (op == 0x15) {
                const std::size_t a = static_cast<std::size_t>(std::min<double>(from, s.size()));
                const std::size_t b = static_cast<std::size_t>(std::min<double>(n, s.size() - a));
                push(Value(s.substr(a, b)));
            } else {
                push(Value(utf8Substr(s, from, n)));
            }
            break;
        }
        case 0x17:
            pop();
            break;
        case 0x18:
            push(Value(toInteger(popNumber())));
            break;
        case 0x1C: { // GetVariable
            const std::string name = popString();
            push(getVariable(f, name));
            break;
        }
        case 0x1D: { // SetVariable
            const Value v = pop();
            const std::string name = popString();
            setVariable(f, name, v);
            break;
        }
        case 0x20: { // SetTarget2
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
        case 0x21: { // StringAdd
            const std::string b = popString();
            std::string a = popString();
            vm.checkStringSize(a.size() + b.size());
            push(Value(std::move(a += b)));
            break;
        }
        case 0x22: { // GetProperty
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
        case 0x23: { // SetProperty
            const Value v = pop();
            const double index = popNumber();
            const ClipId c = targetOf(f, pop());
            const int i = static_cast<int>(toInteger(index));
            if (c && i >= 0 && i < kClipPropertyCount) {
                vm.host().setClipProperty(c, static_cast<ClipProperty>(i), v);
            }
            break;
        }
        case 0x24: { // CloneSprite
            const double depth = popNumber();
            const std::string name = popString();
            const ClipId source = targetOf(f, pop());
            if (source) {
                vm.host().cloneClip(source, name, static_cast<int>(toInteger(depth)));
            }
            break;
        }
        case 0x25: { // RemoveSprite
            const ClipId c = targetOf(f, pop());
            if (c) {
                vm.host().removeClip(c);
            }
            break;
        }
        case 0x26: { // Trace
            const Value v = pop();
            vm.host().trace(v.isUndefined() ? std::string("undefined") : vm.toString(v));
            break;
        }
        case 0x27: { // StartDrag
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
        case 0x28:
            vm.host().stopDrag();
            break;
        case 0x29: { // StringLess
            const std::string b = popString();
            boolResult(popString() < b);
            break;
        }
        case 0x68: { // StringGreater
            const std::string b = popString();
            boolResult(popString() > b);
            break;
        }
        case 0x30: { // RandomNumber
            const double max = toInteger(popNumber());
            push(Value(max > 0 ? std::floor(vm.random() * max) : 0.0));
            break;
        }
        case 0x32: { // CharToAscii
            const std::string s = popString();
            push(Value(s.empty() ? 0.0 : static_cast<double>(static_cast<unsigned char>(s[0]))));
            break;
        }
        case 0x36: { // MBCharToAscii
            const std::string s = popString();
            push(Value(s.empty() ? 0.0 : static_cast<double>(utf8At(s, 0))));
            break;
        }
        case 0x33: { // AsciiToChar
            const auto c = static_cast<char>(toUint32(popNumber()) & 0xff);
            push(Value(std::string(1, c)));
            break;
        }
        case 0x37: // MBAsciiToChar
            push(Value(utf8Encode(toUint32(popNumber()) & 0x1fffff)));
            break;
        case 0x34: // GetTime
            push(Value(std::floor(vm.host().timeMs())));
            break;
        case 0x96: { // Push
            while (in.i < in.n && in.ok) {
                const std::uint8_t type = in.u8();
                switch (type) {
                case 0:
                    push(Value(in.str()));
                    break;
                case 1: {
                    const std::uint32_t bits = in.u32();
                    push(Value(static_cast<double>(std::bit_cast<float>(bits))));
                    break;
                }
                case 2:
                    push(Value::null());
                    break;
                case 3:
                    push(Value());
                    break;
                case 4: {
                    const std::uint8_t r = in.u8();
                    push(r < f.registerCount ? f.registers[r] : Value());
                    break;
                }
                case 5:
                    push(Value(in.u8() != 0));
                    break;
                case 6: {
                    // The two 32-bit halves come high word first.
                    const std::uint64_t hi = in.u32();
                    const std::uint64_t lo = in.u32();
                    push(Value(std::bit_cast<double>((hi << 32) | lo)));
                    break;
                }
                case 7:
                    push(Value(static_cast<double>(static_cast<std::int32_t>(in.u32()))));
                    break;
                case 8:
                case 9: {
                    const std::size_t k = type == 8 ? in.u8() : in.u16();
                    if (f.constants && k < f.constants->size()) {
                        push(Value((*f.constants)[k]));
                    } else {
                        push(Value());
                    }
                    break;
                }
                default:
                    in.ok = false;
                    break;
                }
            }
            if (!in.ok) {
                vm.report("A script pushes a malformed value");
            }
            break;
        }
        case 0x99: { // Jump
            const std::int16_t offset = in.s16();
            const auto target = static_cast<long long>(next) + offset;
            if (target < static_cast<long long>(start) || target > static_cast<long long>(end)) {
                jumpTo = static_cast<std::size_t>(std::max(0LL, target));
                return Exit::Jump;
            }
            pc = static_cast<std::size_t>(target);
            break;
        }
        case 0x9D: { // If
            const std::int16_t offset = in.s16();
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
        case 0x9A: { // GetURL2
            const std::uint8_t flags = in.u8();
            const std::string target = popString();
            const std::string url = popString();
            vm.host().getUrl(url, target, flags & 3);
            break;
        }
        case 0x9E: { // Call
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
        case 0x9F: { // GotoFrame2
            const std::uint8_t flags = in.u8();
            const std::uint16_t bias = (flags & 2) ? in.u16() : 0;
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
        case 0x8D: { // WaitForFrame2
            const std::uint8_t skip = in.u8();
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
        case 0x88: { // ConstantPool
            const std::uint16_t count = in.u16();
            auto pool = std::make_shared<std::vector<std::string>>();
            pool->reserve(count);
            for (std::uint16_t k = 0; k < count && in.ok; ++k) {
                pool->push_back(in.str());
            }
            f.constants = std::move(pool);
            break;
        }
        case 0x9B:   // DefineFunction
        case 0x8E: { // DefineFunction2
            auto d = std::make_unique<FunctionData>();
            d->name = in.str();
            const std::uint16_t paramCount = in.u16();
            if (op == 0x8E) {
                d->isFunction2 = true;
                d->registerCount = in.u8();
                d->flags = in.u16();
                for (std::uint16_t k = 0; k < paramCount && in.ok; ++k) {
                    d->paramRegisters.push_back(in.u8());
                    d->params.push_back(in.str());
                }
            } else {
                for (std::uint16_t k = 0; k < paramCount && in.ok; ++k) {
                    d->params.push_back(in.str());
                }
            }
            const std::uint16_t size = in.u16();
            if (!in.ok) {
                vm.report("A script defines a malformed function");
                return Exit::End;
            }
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
        case 0x3C: { // DefineLocal
            const Value v = pop();
            const std::string name = popString();
            defineLocal(f, name, v);
            break;
        }
        case 0x41: { // DefineLocal2
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
        case 0x3A: { // Delete
            const std::string name = popString();
            Object* o = vm.toObject(pop());
            push(Value(o ? vm.deleteMember(o, name) : false));
            break;
        }
        case 0x3B: { // Delete2
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
        case 0x3D: { // CallFunction
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
        case 0x52: { // CallMethod
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
        case 0x40: { // NewObject
            const std::string name = popString();
            const std::size_t n = popCount();
            const std::vector<Value> args = popArgs(n);
            push(vm.construct(getVariable(f, name), args));
            break;
        }
        case 0x53: { // NewMethod
            const Value method = pop();
            const Value object = pop();
            const std::size_t n = popCount();
            const std::vector<Value> args = popArgs(n);
            const bool whole =
                method.isUndefined() || (method.isString() && method.asString().empty());
            push(vm.construct(whole ? object : vm.getMember(object, vm.toString(method)), args));
            break;
        }
        case 0x42: { // InitArray
            const std::size_t n = popCount();
            push(Value(vm.newArray(popArgs(n))));
            break;
        }
        case 0x43: { // InitObject
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
        case 0x44: // TypeOf
            push(Value(vm.typeOf(pop())));
            break;
        case 0x45: { // TargetPath
            const Value v = pop();
            if (isClip(v) && v.asObject()->clip()) {
                push(Value(vm.targetPath(v.asObject()->clip())));
            } else {
                push(Value());
            }
            break;
        }
        case 0x46:   // Enumerate
        case 0x55: { // Enumerate2
            Value v = pop();
            if (op == 0x46) {
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
        case 0x47: { // Add2
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
        case 0x48: { // Less2
            const Value b = pop();
            const Value a = pop();
            push(vm.lessThan(a, b));
            break;
        }
        case 0x67: { // Greater
            const Value b = pop();
            const Value a = pop();
            push(vm.lessThan(b, a));
            break;
        }
        case 0x49: { // Equals2
            const Value b = pop();
            const Value a = pop();
            push(Value(vm.abstractEquals(a, b)));
            break;
        }
        case 0x66: { // StrictEquals
            const Value b = pop();
            const Value a = pop();
            push(Value(vm.strictEquals(a, b)));
            break;
        }
        case 0x4A:
            push(Value(popNumber()));
            break;
        case 0x4B:
            push(Value(popString()));
            break;
        case 0x4C: // PushDuplicate
            push(st.empty() ? Value() : st.back());
            break;
        case 0x4D: { // StackSwap
            Value a = pop();
            Value b = pop();
            push(std::move(a));
            push(std::move(b));
            break;
        }
        case 0x4E: { // GetMember
            const Value name = pop();
            const Value object = pop();
            push(vm.getMember(object, vm.toString(name)));
            break;
        }
        case 0x4F: { // SetMember
            const Value v = pop();
            const Value name = pop();
            const Value object = pop();
            vm.setMember(object, vm.toString(name), v);
            break;
        }
        case 0x50:
            push(Value(popNumber() + 1));
            break;
        case 0x51:
            push(Value(popNumber() - 1));
            break;
        case 0x3F: { // Modulo
            const double b = popNumber();
            push(Value(std::fmod(popNumber(), b)));
            break;
        }
        case 0x60: {
            const std::int32_t b = toInt32(popNumber());
            push(Value(static_cast<double>(toInt32(popNumber()) & b)));
            break;
        }
        case 0x61: {
            const std::int32_t b = toInt32(popNumber());
            push(Value(static_cast<double>(toInt32(popNumber()) | b)));
            break;
        }
        case 0x62: {
            const std::int32_t b = toInt32(popNumber());
            push(Value(static_cast<double>(toInt32(popNumber()) ^ b)));
            break;
        }
        case 0x63: { // BitLShift
            const std::uint32_t count = toUint32(popNumber()) & 31;
            const std::uint32_t v = toUint32(popNumber());
            push(Value(static_cast<double>(static_cast<std::int32_t>(v << count))));
            break;
        }
        case 0x64: { // BitRShift
            const std::uint32_t count = toUint32(popNumber()) & 31;
            const std::int32_t v = toInt32(popNumber());
            push(Value(static_cast<double>(v >> count)));
            break;
        }
        case 0x65: { // BitURShift
            const std::uint32_t count = toUint32(popNumber()) & 31;
            const std::uint32_t v = toUint32(popNumber());
            push(Value(static_cast<double>(v >> count)));
            break;
        }
        case 0x87: { // StoreRegister
            const std::uint8_t r = in.u8();
            if (in.ok && r < f.registerCount) {
                f.registers[r] = st.empty() ? Value() : st.back();
            }
            break;
        }
        case 0x3E: // Return
            ret = pop();
            return Exit::Return;
        case 0x94: { // With
            const std::uint16_t size = in.u16();
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
        case 0x8F: { // Try
            const std::uint8_t flags = in.u8();
            const std::uint16_t trySize = in.u16();
            const std::uint16_t catchSize = in.u16();
            const std::uint16_t finallySize = in.u16();
            const bool catchInRegister = flags & 4;
            const bool hasFinally = flags & 2;
            const bool hasCatch = flags & 1;
            std::string catchName;
            std::uint8_t catchRegister = 0;
            if (catchInRegister) {
                catchRegister = in.u8();
            } else {
                catchName = in.str();
            }
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
        case 0x2A: // Throw
            throw ScriptThrow{pop()};
        // ---- classes (version 6 and 7) ----
        case 0x54: { // InstanceOf
            const Value ctor = pop();
            const Value v = pop();
            push(Value(vm.instanceOf(v, ctor.isObject() ? ctor.asObject() : nullptr)));
            break;
        }
        case 0x2B: { // CastOp
            const Value v = pop();
            const Value ctor = pop();
            push(vm.instanceOf(v, ctor.isObject() ? ctor.asObject() : nullptr) ? v : Value::null());
            break;
        }
        case 0x69: { // Extends
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
        case 0x2C: { // ImplementsOp
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
        if (!in.ok) {
            vm.report("A script has a malformed action 0x" + [op] {
                const char* hex = "0123456789abcdef";
                return std::string{hex[op >> 4], hex[op & 15]};
            }());
            return Exit::End;
        }
        (void)cs;
    }
    return Exit::End;
}

} // namespace kinovex::flash::avm1
