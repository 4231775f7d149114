// The interpreter loop: one C++ call per ActionScript call, the operand stack, locals and
// scope stack in vectors of the call (a Frame), exceptions as C++ exceptions caught by the
// method's exception table. Instructions are run by group (InterpreterSteps below).

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/SystemClasses.h"

#include "engine/abc/Instruction.h"
#include "engine/abc/Opcodes.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kinovex::flash::avm2 {

// One running call of a bytecode method.
struct Frame {
    Machine::LoadedFile& lf;
    MethodInfo* m;
    const abc::AbcFile& file;
    const abc::Method& am;
    const abc::MethodBody& body;
    const std::vector<ScopeEntry>& outer;
    std::vector<Value> locals;
    std::vector<Value> stack;
    std::vector<ScopeEntry> scopes;
    std::size_t pc = 0;
    bool returned = false;
    Value result;

    Value pop() {
        Value v = stack.back();
        stack.pop_back();
        return v;
    }
    void branchTo(std::size_t at, std::int32_t delta) {
        const abc::Instruction& in = m->code.instructions[at];
        const std::int64_t target = static_cast<std::int64_t>(in.offset) + in.length + delta;
        pc = static_cast<std::size_t>(m->indexAt[static_cast<std::size_t>(target)]);
    }
    std::vector<ScopeEntry> fullScope() const {
        std::vector<ScopeEntry> s = outer;
        s.insert(s.end(), scopes.begin(), scopes.end());
        return s;
    }
    // The outermost scope: the script's global object.
    Value globalScope() const {
        if (!outer.empty()) {
            return outer.front().v;
        }
        return scopes.empty() ? Value() : scopes.front().v;
    }
    // The arguments stay on the stack until the call returns.
    Args argsOf(std::size_t count) { return Args(stack.data() + stack.size() - count, count); }
};

namespace {

// Counts the call's depth and keeps it on the machine's call stack while it runs.
struct DepthGuard {
    int& depth;
    std::vector<MethodInfo*>& calls;
    DepthGuard(int& d, std::vector<MethodInfo*>& c, MethodInfo* m) : depth(d), calls(c) {
        ++depth;
        calls.push_back(m);
    }
    ~DepthGuard() {
        --depth;
        calls.pop_back();
    }
};

// Decodes the instructions control can reach, as the verifier walked them: bytes no path reaches
// are never decoded, so damage in them does not matter.
bool decode(MethodInfo* m) {
    if (m->decoded) {
        return true;
    }
    const auto code = m->file->code(*m->body);
    const auto length = static_cast<std::uint32_t>(code.size());
    std::vector<std::int32_t> seen(length + 1, 0);
    std::vector<abc::Instruction> found;
    std::vector<std::int64_t> work = {0};
    for (const abc::ExceptionHandler& h : m->body->exceptions) {
        work.push_back(h.target);
    }
    m->code.caseOffsets.clear();
    while (!work.empty()) {
        std::int64_t at = work.back();
        work.pop_back();
        while (at >= 0 && at < length && seen[static_cast<std::size_t>(at)] == 0) {
            abc::Instruction in;
            if (abc::decodeInstruction(code, static_cast<std::size_t>(at), in,
                                       m->code.caseOffsets)) {
                return false;
            }
            seen[static_cast<std::size_t>(at)] = 1;
            found.push_back(in);
            const std::int64_t next = at + in.length;
            const abc::OpcodeInfo& info = abc::opcodeInfo(in.opcode);
            if ((info.flags & abc::OpBranch) != 0 || (info.flags & abc::OpJump) != 0) {
                work.push_back(next + in.operands[0]);
            }
            if (in.opcode == abc::OpLookupSwitch) {
                work.push_back(at + in.operands[0]);
                for (std::int32_t c = 0; c <= in.operands[1]; ++c) {
                    work.push_back(
                        at + m->code.caseOffsets[static_cast<std::size_t>(in.operands[2] + c)]);
                }
                break;
            }
            if ((info.flags & (abc::OpJump | abc::OpEndsFlow)) != 0) {
                break;
            }
            at = next;
        }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.offset < b.offset; });
    m->code.instructions = std::move(found);
    m->code.codeLength = length;
    m->indexAt.assign(length + 1, -1);
    for (std::size_t i = 0; i < m->code.instructions.size(); ++i) {
        m->indexAt[m->code.instructions[i].offset] = static_cast<std::int32_t>(i);
    }
    m->decoded = !m->code.instructions.empty();
    return m->decoded;
}

bool isVector(const Object* o) {
    return o->cls != nullptr && o->cls->isVector;
}

bool isLateName(abc::MultinameKind k) {
    return k == abc::MultinameKind::RTQNameL || k == abc::MultinameKind::RTQNameLA ||
           k == abc::MultinameKind::MultinameL || k == abc::MultinameKind::MultinameLA;
}

bool isRuntimeNs(abc::MultinameKind k) {
    return k == abc::MultinameKind::RTQName || k == abc::MultinameKind::RTQNameA ||
           k == abc::MultinameKind::RTQNameL || k == abc::MultinameKind::RTQNameLA;
}

} // namespace

Name Machine::runtimeName(Frame& f, std::uint32_t index) {
    const abc::Multiname& mn = f.file.multinames[index];
    Name name = staticName(f.lf, index);
    if (abc::runtimeNameValues(mn.kind) == 0) {
        return name;
    }
    if (isLateName(mn.kind)) {
        const Value nv = f.pop();
        name.name =
            nv.isObject() && nv.o->kind == ObjKind::Namespace ? nv.o->ns->uri : toString(nv);
        if (nv.isObject() && nv.o->kind != ObjKind::Namespace) {
            name.objectKey = nv.o;
        }
    }
    if (isRuntimeNs(mn.kind)) {
        const Value nsv = f.pop();
        if (!nsv.isObject() || nsv.o->kind != ObjKind::Namespace || nsv.o->ns == nullptr) {
            // The player refuses a name whose run-time namespace is anything else.
            throwError("VerifyError", 1058,
                       "Illegal operand type: " + describeForError(nsv) + " must be Namespace.");
        }
        name.nss.clear();
        name.nss.push_back(nsv.o->ns);
    }
    return name;
}

void Machine::requireObject(const Value& v) {
    if (v.isNull()) {
        throwError("TypeError", 1009,
                   "Cannot access a property or method of a null object reference.");
    }
    if (v.isUndefined()) {
        throwError("TypeError", 1010, "A term is undefined and has no properties.");
    }
}

bool Machine::scopeHas(const ScopeEntry& e, const Name& name) {
    if (e.with) {
        return hasProperty(e.v, name);
    }
    Object* holder = nullptr;
    bool isStatic = false;
    if (findTrait(e.v, name, &holder, &isStatic) != nullptr) {
        return true;
    }
    // Activations also hold what scripts add to them at run time.
    return e.v.isObject() && e.v.o->kind == ObjKind::Activation && hasProperty(e.v, name);
}

// A script's global object holds what scripts add to it at run time; the definitions of the
// domain (int, the classes of other scripts) come before those.
bool Machine::globalHas(const ScopeEntry& e, const Name& name) {
    return !e.with && e.v.isObject() && e.v.o->kind == ObjKind::Global && hasProperty(e.v, name);
}

Value Machine::findProperty(Frame& f, const Name& name, bool strict) {
    std::optional<Value> global;
    const auto search = [&](const std::vector<ScopeEntry>& scopes) -> std::optional<Value> {
        for (std::size_t i = scopes.size(); i-- > 0;) {
            if (scopeHas(scopes[i], name)) {
                return scopes[i].v;
            }
            if (!global && globalHas(scopes[i], name)) {
                global = scopes[i].v;
            }
        }
        return std::nullopt;
    };
    if (const auto found = search(f.scopes)) {
        return *found;
    }
    if (const auto found = search(f.outer)) {
        return *found;
    }
    const Value def = findDefinition(name, false);
    if (!def.isUndefined()) {
        return def;
    }
    if (global) {
        return *global;
    }
    if (strict) {
        throwError("ReferenceError", 1065, "Variable " + name.name + " is not defined.");
    }
    if (!f.outer.empty()) {
        return f.outer.front().v;
    }
    return f.scopes.empty() ? Value() : f.scopes.front().v;
}

const Trait* Machine::superTrait(Frame& f, const Name& name) {
    ClassInfo* base = f.m->owner != nullptr ? f.m->owner->super : nullptr;
    return base != nullptr ? base->instanceTraits.find(name, m_as3) : nullptr;
}

void Machine::enterNative() {
    if (m_depth >= kMaxDepth) {
        throwError("Error", 1023, "Stack overflow occurred.");
    }
    ++m_depth;
}

// A class's native method shows in stack traces as a bytecode method does.
struct NativeFrame {
    std::vector<MethodInfo*>& calls;
    bool shown;
    NativeFrame(std::vector<MethodInfo*>& c, MethodInfo* m) : calls(c), shown(m->owner != nullptr) {
        if (shown) {
            calls.push_back(m);
        }
    }
    ~NativeFrame() {
        if (shown) {
            calls.pop_back();
        }
    }
};

Value Machine::callNative(MethodInfo* m, const Value& self, Args args) {
    NativeDepth level(*this);
    NativeFrame frame(m_calls, m);
    return m->native(*this, self, args);
}

Value Machine::invokeTrait(MethodInfo* mi, const Value& receiver, Args a) {
    if (mi->native != nullptr) {
        return callNative(mi, receiver, a);
    }
    return runMethod(mi, receiver, a,
                     mi->owner != nullptr ? mi->owner->scope : std::vector<ScopeEntry>{});
}

namespace {
// A function of no class (a script's or a closure) whose parameters have no type and no
// default, and that takes no rest: the player lets a call leave them out (undefined).
bool uncheckedFunction(const MethodInfo* m, const abc::Method& am,
                       std::span<const std::uint32_t> paramTypes) {
    if (m->owner != nullptr || (am.flags & (abc::MethodNeedRest | abc::MethodHasOptional)) != 0) {
        return false;
    }
    return std::all_of(paramTypes.begin(), paramTypes.end(),
                       [](std::uint32_t type) { return type == 0; });
}
} // namespace

void Machine::bindArguments(Frame& f, const Value& self, Args args, Object* callee) {
    const abc::Method& am = f.am;
    f.locals.assign(std::max<std::size_t>(f.body.localCount, am.paramCount + 2), Value());
    f.locals[0] = self;
    const auto paramTypes = f.file.parameterTypes(am);
    const bool hasOptional = (am.flags & abc::MethodHasOptional) != 0;
    const std::uint32_t required = am.paramCount - (hasOptional ? am.optionalCount : 0);
    for (std::uint32_t i = 0; i < am.paramCount; ++i) {
        Value v;
        if (i < args.size()) {
            v = args[i];
        } else if (((am.flags & (abc::MethodNeedRest | abc::MethodNeedArguments)) != 0 &&
                    !hasOptional) ||
                   uncheckedFunction(f.m, am, paramTypes)) {
            v = Value(); // methods taking the rest or arguments leave missing parameters undefined
        } else if (hasOptional && i >= required) {
            const abc::ConstantValue& cv = f.file.optionalValues[am.firstOptional + i - required];
            constantValue(f.lf, cv.kind, cv.index, v);
        } else {
            const std::string owner =
                f.m->owner ? f.m->owner->qualifiedName() + "/" : std::string();
            throwError("ArgumentError", 1063,
                       "Argument count mismatch on " + owner + f.m->name + "(). Expected " +
                           std::to_string(required) + ", got " + std::to_string(args.size()) + ".");
        }
        if (i < paramTypes.size() && paramTypes[i] != 0) {
            v = coerceTo(v, typeNameOf(f.lf, paramTypes[i]));
        }
        f.locals[i + 1] = v;
    }
    if ((am.flags & abc::MethodNeedRest) != 0) {
        std::vector<Value> rest;
        for (std::size_t i = am.paramCount; i < args.size(); ++i) {
            rest.push_back(args[i]);
        }
        f.locals[am.paramCount + 1] = Value::obj(newArray(std::move(rest)));
    } else if ((am.flags & abc::MethodNeedArguments) != 0) {
        Object* a = newArray(std::vector<Value>(args.begin(), args.end()));
        if (callee != nullptr) {
            a->setDyn("callee", Value::obj(callee));
            a->dyn.back().enumerable = false;
        }
        f.locals[am.paramCount + 1] = Value::obj(a);
    }
}

// Sends a thrown value to the handler of the method that covers where it was thrown: true when
// one takes it (the frame then goes on at the handler).
bool Machine::catchInFrame(Frame& f, const Value& thrown) {
    const std::uint32_t offset = f.m->code.instructions[f.pc == 0 ? 0 : f.pc - 1].offset;
    for (const abc::ExceptionHandler& h : f.body.exceptions) {
        if (offset < h.from || offset >= h.to) {
            continue;
        }
        if (h.type != 0) {
            ClassInfo* c = classFromName(f.lf, h.type);
            if (c != nullptr && !isInstance(thrown, c)) {
                continue;
            }
        }
        f.stack.clear();
        f.scopes.clear();
        f.stack.push_back(thrown);
        f.pc = static_cast<std::size_t>(f.m->indexAt[h.target]);
        return true;
    }
    return false;
}

Value Machine::runMethod(MethodInfo* m, const Value& self, Args args,
                         const std::vector<ScopeEntry>& outer, Object* callee) {
    if (m->native != nullptr) {
        return callNative(m, self, args);
    }
    if (m->body == nullptr) {
        const std::string owner = m->owner != nullptr ? m->owner->name + "/" : std::string();
        throwError("VerifyError", 1001, "The method " + owner + m->name + "() is not implemented.");
    }
    if (m->refused && m->refusal == 1023) {
        throwError("VerifyError", 1023, "Stack overflow occurred.");
    }
    if (m->refused) {
        throwError("VerifyError", 1051, "Illegal early binding access to " + m->name + ".");
    }
    if (!decode(m)) {
        throwError("VerifyError", 1011, "Method " + m->name + " contained illegal opcode.");
    }
    if (m_depth >= kMaxDepth) {
        throwError("Error", 1023, "Stack overflow occurred.");
    }
    DepthGuard guard(m_depth, m_calls, m);
    LoadedFile& lf = *fileOf(m->file);
    // A method that sets the default XML namespace leaves its caller's as it found it.
    const bool setsDxns = (lf.file->methods[m->index].flags & abc::MethodSetDxns) != 0;
    struct DxnsGuard {
        std::string& ns;
        std::string saved;
        bool active;
        ~DxnsGuard() {
            if (active) {
                ns = std::move(saved);
            }
        }
    } dxnsGuard{defaultXmlNs, setsDxns ? defaultXmlNs : std::string(), setsDxns};
    Frame f{lf, m,     *m->file, m->file->methods[m->index], *m->body, outer, {}, {}, {},
            0,  false, Value()};
    bindArguments(f, self, args, callee);
    f.stack.reserve(f.body.maxStack + 2);
    f.scopes.reserve(f.body.maxScopeDepth + 1);
    const auto& ins = m->code.instructions;
    const bool limited = m_budgetLimit != 0;
    while (true) {
        try {
            while (!f.returned) {
                if (limited && --m_budget == 0) {
                    throw BudgetExhausted{};
                }
                const abc::Instruction& in = ins[f.pc];
                const std::size_t at = f.pc++;
                if (!stepBasic(f, in, at) && !stepBranches(f, in, at) &&
                    !stepArithmetic(f, in, at) && !stepCompare(f, in, at) &&
                    !stepTypes(f, in, at) && !stepProperties(f, in, at) && !stepSlots(f, in, at) &&
                    !stepCalls(f, in, at) && !stepObjects(f, in, at)) {
                    throwError("VerifyError", 1011,
                               "Method " + m->name + " contained illegal opcode " +
                                   std::to_string(in.opcode) + " at offset " +
                                   std::to_string(in.offset) + ".");
                }
            }
            return f.result;
        } catch (ScriptException& ex) {
            if (!catchInFrame(f, ex.value)) {
                throw;
            }
        }
    }
}

bool Machine::stepBasic(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x01:
    case 0x02:
    case 0x09:
    case 0xEF:
    case 0xF0:
    case 0xF1:
    case 0xF2:
    case 0xF3:
        break;
    case 0x06: // dxns
        defaultXmlNs = std::string(f.file.string(static_cast<std::uint32_t>(op0)));
        break;
    case 0x07: { // dxnslate
        const Value ns = f.pop();
        defaultXmlNs = ns.isObject() && ns.o->kind == ObjKind::Namespace && ns.o->ns != nullptr
                           ? ns.o->ns->uri
                           : toString(ns);
        break;
    }
    case 0x08:
        f.locals[static_cast<std::size_t>(op0)] = Value();
        break;
    case 0x20:
        f.stack.push_back(Value::null());
        break;
    case 0x21:
        f.stack.push_back(Value());
        break;
    case 0x24:
        f.stack.push_back(Value::integer(static_cast<std::int8_t>(op0)));
        break;
    case 0x25:
        f.stack.push_back(Value::integer(static_cast<std::int16_t>(op0)));
        break;
    case 0x26:
        f.stack.push_back(Value::boolean(true));
        break;
    case 0x27:
        f.stack.push_back(Value::boolean(false));
        break;
    case 0x28:
        f.stack.push_back(Value::number(NAN));
        break;
    case 0x29:
        f.stack.pop_back();
        break;
    case 0x2A:
        f.stack.push_back(f.stack.back());
        break;
    case 0x2B:
        std::swap(f.stack[f.stack.size() - 1], f.stack[f.stack.size() - 2]);
        break;
    case 0x2C:
        f.stack.push_back(str(std::string(f.file.string(static_cast<std::uint32_t>(op0)))));
        break;
    case 0x2D:
        f.stack.push_back(Value::integer(f.file.ints[static_cast<std::size_t>(op0)]));
        break;
    case 0x2E:
        f.stack.push_back(Value::number(f.file.uints[static_cast<std::size_t>(op0)]));
        break;
    case 0x2F:
        f.stack.push_back(Value::number(f.file.doubles[static_cast<std::size_t>(op0)]));
        break;
    case 0x30:
        f.scopes.push_back(ScopeEntry{f.pop(), false});
        break;
    case 0x62:
        f.stack.push_back(f.locals[static_cast<std::size_t>(op0)]);
        break;
    case 0x63:
        f.locals[static_cast<std::size_t>(op0)] = f.pop();
        break;
    case 0x64:
        f.stack.push_back(!f.outer.empty() ? f.outer.front().v
                                           : (f.scopes.empty() ? Value() : f.scopes.front().v));
        break;
    case 0x65:
        f.stack.push_back(static_cast<std::size_t>(op0) < f.scopes.size()
                              ? f.scopes[static_cast<std::size_t>(op0)].v
                              : Value());
        break;
    case 0x67:
        f.stack.push_back(static_cast<std::size_t>(op0) < f.outer.size()
                              ? f.outer[static_cast<std::size_t>(op0)].v
                              : Value());
        break;
    case 0xD0:
    case 0xD1:
    case 0xD2:
    case 0xD3:
        f.stack.push_back(f.locals[in.opcode - 0xD0]);
        break;
    case 0xD4:
    case 0xD5:
    case 0xD6:
    case 0xD7:
        f.locals[in.opcode - 0xD4] = f.pop();
        break;
    default:
        return false;
    }
    return true;
}

bool Machine::stepBranches(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x03:
        throw ScriptException{f.pop()};
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
    case 0x15:
    case 0x16:
    case 0x17:
    case 0x18: {
        const Value b = f.pop();
        const Value a = f.pop();
        bool r = false;
        switch (in.opcode) {
        case 0x0C:
            r = !(lessThan(a, b).kind == Kind::Boolean && lessThan(a, b).b);
            break;
        case 0x0D: {
            const Value x = lessThan(b, a);
            r = !(x.kind == Kind::Boolean && !x.b);
            break;
        }
        case 0x0E: {
            const Value x = lessThan(b, a);
            r = !(x.kind == Kind::Boolean && x.b);
            break;
        }
        case 0x0F: {
            const Value x = lessThan(a, b);
            r = !(x.kind == Kind::Boolean && !x.b);
            break;
        }
        case 0x15: {
            const Value x = lessThan(a, b);
            r = x.kind == Kind::Boolean && x.b;
            break;
        }
        case 0x16: {
            const Value x = lessThan(b, a);
            r = x.kind == Kind::Boolean && !x.b;
            break;
        }
        case 0x17: {
            const Value x = lessThan(b, a);
            r = x.kind == Kind::Boolean && x.b;
            break;
        }
        case 0x18: {
            const Value x = lessThan(a, b);
            r = x.kind == Kind::Boolean && !x.b;
            break;
        }
        default:
            break;
        }
        if (r) {
            f.branchTo(at, op0);
        }
        break;
    }
    case 0x10:
        f.branchTo(at, op0);
        break;
    case 0x11:
        if (toBoolean(f.pop())) {
            f.branchTo(at, op0);
        }
        break;
    case 0x12:
        if (!toBoolean(f.pop())) {
            f.branchTo(at, op0);
        }
        break;
    case 0x13:
    case 0x14: {
        const Value b = f.pop();
        const Value a = f.pop();
        if (looseEquals(a, b) == (in.opcode == 0x13)) {
            f.branchTo(at, op0);
        }
        break;
    }
    case 0x19:
    case 0x1A: {
        const Value b = f.pop();
        const Value a = f.pop();
        if (strictEquals(a, b) == (in.opcode == 0x19)) {
            f.branchTo(at, op0);
        }
        break;
    }
    case 0x1B: { // lookupswitch: offsets from the instruction's own start
        const std::int32_t index = toInt(f.pop());
        const auto count = static_cast<std::int32_t>(in.operands[1]);
        std::int32_t delta = op0;
        if (index >= 0 && index <= count) {
            delta = f.m->code.caseOffsets[static_cast<std::size_t>(in.operands[2] + index)];
        }
        const std::int64_t target = static_cast<std::int64_t>(in.offset) + delta;
        if (target < 0 || target >= static_cast<std::int64_t>(f.m->indexAt.size()) ||
            f.m->indexAt[static_cast<std::size_t>(target)] < 0) {
            throwError("VerifyError", 1021,
                       "At least one branch target was not on a valid instruction in the method.");
        }
        f.pc = static_cast<std::size_t>(f.m->indexAt[static_cast<std::size_t>(target)]);
        break;
    }
    case 0x1C: {
        const Value v = f.pop();
        requireObject(v);
        f.scopes.push_back(ScopeEntry{v, true});
        break;
    }
    case 0x1D:
        f.scopes.pop_back();
        break;
    default:
        return false;
    }
    return true;
}

bool Machine::stepArithmetic(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x90:
        f.stack.back() = Value::number(-toNumber(f.stack.back()));
        break;
    case 0x91:
        f.stack.back() = Value::number(toNumber(f.stack.back()) + 1);
        break;
    case 0x93:
        f.stack.back() = Value::number(toNumber(f.stack.back()) - 1);
        break;
    case 0x92: {
        Value& l = f.locals[static_cast<std::size_t>(op0)];
        l = Value::number(toNumber(l) + 1);
        break;
    }
    case 0x94: {
        Value& l = f.locals[static_cast<std::size_t>(op0)];
        l = Value::number(toNumber(l) - 1);
        break;
    }
    case 0xC0:
        f.stack.back() = Value::integer(
            static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(f.stack.back())) + 1u));
        break;
    case 0xC1:
        f.stack.back() = Value::integer(
            static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(f.stack.back())) - 1u));
        break;
    case 0xC2: {
        Value& l = f.locals[static_cast<std::size_t>(op0)];
        l = Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(l)) + 1u));
        break;
    }
    case 0xC3: {
        Value& l = f.locals[static_cast<std::size_t>(op0)];
        l = Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(l)) - 1u));
        break;
    }
    case 0xC4:
        f.stack.back() = Value::integer(
            static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(toInt(f.stack.back()))));
        break;
    case 0xA0: {
        const Value b = f.pop();
        Value& a = f.stack.back();
        if (a.kind == Kind::Int && b.kind == Kind::Int) {
            a = Value::number(static_cast<double>(a.i) + b.i);
        } else {
            a = add(a, b);
        }
        break;
    }
    case 0xA1:
    case 0xA2:
    case 0xA3:
    case 0xA4: {
        const Value b = f.pop();
        Value& a = f.stack.back();
        if (a.kind == Kind::Int && b.kind == Kind::Int && in.opcode != 0xA3 && in.opcode != 0xA4) {
            const double x = a.i;
            const double y = b.i;
            a = Value::number(in.opcode == 0xA1 ? x - y : x * y);
            break;
        }
        const double x = toNumber(a);
        const double y = toNumber(b);
        double r = 0;
        switch (in.opcode) {
        case 0xA1:
            r = x - y;
            break;
        case 0xA2:
            r = x * y;
            break;
        case 0xA3:
            r = x / y;
            break;
        case 0xA4:
            r = std::fmod(x, y);
            break;
        default:
            break;
        }
        a = Value::number(r);
        break;
    }
    case 0xC5:
    case 0xC6:
    case 0xC7: {
        const auto y = static_cast<std::uint32_t>(toInt(f.pop()));
        Value& a = f.stack.back();
        const auto x = static_cast<std::uint32_t>(toInt(a));
        const std::uint32_t r = in.opcode == 0xC5 ? x + y : in.opcode == 0xC6 ? x - y : x * y;
        a = Value::integer(static_cast<std::int32_t>(r));
        break;
    }
    default:
        return false;
    }
    return true;
}

bool Machine::stepCompare(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x50:
        f.stack.back() = Value::integer(-(toInt(f.stack.back()) & 1));
        break;
    case 0x51:
        f.stack.back() = Value::integer(static_cast<std::int8_t>(toInt(f.stack.back()) & 0xFF));
        break;
    case 0x52:
        f.stack.back() = Value::integer(static_cast<std::int16_t>(toInt(f.stack.back()) & 0xFFFF));
        break;
    case 0x95:
        f.stack.back() = str(typeOf(f.stack.back()));
        break;
    case 0x96:
        f.stack.back() = Value::boolean(!toBoolean(f.stack.back()));
        break;
    case 0x97:
        f.stack.back() = Value::integer(~toInt(f.stack.back()));
        break;
    case 0xA5:
    case 0xA6:
    case 0xA7:
    case 0xA8:
    case 0xA9:
    case 0xAA: {
        const std::int32_t y = toInt(f.pop());
        Value& a = f.stack.back();
        const std::int32_t x = toInt(a);
        switch (in.opcode) {
        case 0xA5:
            a = Value::integer(
                static_cast<std::int32_t>(static_cast<std::uint32_t>(x) << (y & 31)));
            break;
        case 0xA6:
            a = Value::integer(x >> (y & 31));
            break;
        case 0xA7:
            a = Value::number(static_cast<std::uint32_t>(x) >> (y & 31));
            break;
        case 0xA8:
            a = Value::integer(x & y);
            break;
        case 0xA9:
            a = Value::integer(x | y);
            break;
        case 0xAA:
            a = Value::integer(x ^ y);
            break;
        default:
            break;
        }
        break;
    }
    case 0xAB: {
        const Value b = f.pop();
        f.stack.back() = Value::boolean(looseEquals(f.stack.back(), b));
        break;
    }
    case 0xAC: {
        const Value b = f.pop();
        f.stack.back() = Value::boolean(strictEquals(f.stack.back(), b));
        break;
    }
    case 0xAD: {
        const Value b = f.pop();
        const Value r = lessThan(f.stack.back(), b);
        f.stack.back() = Value::boolean(r.kind == Kind::Boolean && r.b);
        break;
    }
    case 0xAE: {
        const Value b = f.pop();
        const Value r = lessThan(b, f.stack.back());
        f.stack.back() = Value::boolean(r.kind == Kind::Boolean && !r.b);
        break;
    }
    case 0xAF: {
        const Value b = f.pop();
        const Value r = lessThan(b, f.stack.back());
        f.stack.back() = Value::boolean(r.kind == Kind::Boolean && r.b);
        break;
    }
    case 0xB0: {
        const Value b = f.pop();
        const Value r = lessThan(f.stack.back(), b);
        f.stack.back() = Value::boolean(r.kind == Kind::Boolean && !r.b);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool Machine::stepTypes(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x70:
    case 0x85: { // convert_s, coerce_s
        Value& v = f.stack.back();
        if (in.opcode == 0x85 && v.isNullish()) {
            v = Value::null();
        } else if (!v.isString()) {
            v = str(toString(v));
        }
        break;
    }
    case 0x71: // esc_xelem
        f.stack.back() = str(escapeXmlElementValue(*this, f.stack.back()));
        break;
    case 0x72: // esc_xattr
        f.stack.back() = str(escapeXmlAttributeValue(*this, f.stack.back()));
        break;
    case 0x73:
    case 0x83:
        f.stack.back() = Value::integer(toInt(f.stack.back()));
        break;
    case 0x74:
    case 0x88:
        f.stack.back() = Value::number(toUint(f.stack.back()));
        break;
    case 0x75:
    case 0x84:
        if (f.stack.back().kind != Kind::Int && f.stack.back().kind != Kind::Number) {
            f.stack.back() = Value::number(toNumber(f.stack.back()));
        }
        break;
    case 0x76:
    case 0x81:
        f.stack.back() = Value::boolean(toBoolean(f.stack.back()));
        break;
    case 0x77:
        requireObject(f.stack.back());
        break;
    case 0x78:
        requireObject(f.stack.back());
        if (isXmlObject(f.stack.back())) {
            break;
        }
        throwError("TypeError", 1123,
                   "Filter operator not supported on type " + describeForError(f.stack.back()) +
                       ".");
    case 0x80:
        f.stack.back() =
            coerceTo(f.stack.back(), typeNameOf(f.lf, static_cast<std::uint32_t>(op0)));
        break;
    case 0x82:
        break;
    case 0x89:
        if (f.stack.back().isUndefined()) {
            f.stack.back() = Value::null();
        }
        break;
    case 0x86: { // astype
        ClassInfo* c = classFromName(f.lf, static_cast<std::uint32_t>(op0));
        if (!isInstance(f.stack.back(), c)) {
            f.stack.back() = Value::null();
        }
        break;
    }
    case 0x87: { // astypelate
        const Value c = f.pop();
        requireObject(c);
        if (!c.isObject() || c.o->kind != ObjKind::Class) {
            throwError("TypeError", 1041, "The right-hand side of operator must be a class.");
        }
        if (!isInstance(f.stack.back(), c.o->classInfo)) {
            f.stack.back() = Value::null();
        }
        break;
    }
    case 0xB1: { // instanceof
        const Value c = f.pop();
        const Value v = f.stack.back();
        bool r = false;
        if (!c.isObject() || (c.o->kind != ObjKind::Class && c.o->kind != ObjKind::Function)) {
            throwError("TypeError", 1040,
                       "The right-hand side of instanceof must be a class or function.");
        }
        const Value proto = get(c, "prototype");
        if (proto.isObject()) {
            for (Object* p = prototypeOf(v); p != nullptr && !v.isNullish(); p = p->proto) {
                if (p == proto.o) {
                    r = true;
                    break;
                }
            }
        }
        f.stack.back() = Value::boolean(r);
        break;
    }
    case 0xB2: { // istype
        ClassInfo* c = classFromName(f.lf, static_cast<std::uint32_t>(op0));
        f.stack.back() = Value::boolean(isInstance(f.stack.back(), c));
        break;
    }
    case 0xB3: { // istypelate
        const Value c = f.pop();
        requireObject(c);
        if (!c.isObject() || c.o->kind != ObjKind::Class) {
            throwError("TypeError", 1041, "The right-hand side of operator must be a class.");
        }
        f.stack.back() = Value::boolean(isInstance(f.stack.back(), c.o->classInfo));
        break;
    }
    default:
        return false;
    }
    return true;
}

bool Machine::stepProperties(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x04: { // getsuper
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value obj = f.pop();
        const Trait* t = superTrait(f, name);
        if (t == nullptr) {
            f.stack.push_back(getProperty(obj, name));
        } else if ((t->type == Trait::Slot || t->type == Trait::Const) && obj.isObject() &&
                   t->slot < obj.o->slots.size()) {
            f.stack.push_back(obj.o->slots[t->slot]); // the base class's own slot
        } else if (t->type == Trait::Accessor && t->getter) {
            f.stack.push_back(invokeTrait(t->getter, obj, {}));
        } else if (t->type == Trait::Method) {
            f.stack.push_back(Value::obj(methodClosure(t->method, obj, t->method->owner)));
        } else {
            f.stack.push_back(getProperty(obj, name));
        }
        break;
    }
    case 0x05: { // setsuper
        Value v = f.pop();
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value obj = f.pop();
        const Trait* t = superTrait(f, name);
        if (t == nullptr) {
            setProperty(obj, name, v);
        } else if (t->type == Trait::Accessor && t->setter) {
            Value a[1] = {v};
            invokeTrait(t->setter, obj, Args(a, 1));
        } else if (t->type == Trait::Slot && obj.isObject() && t->slot < obj.o->slots.size() &&
                   t->slot < f.m->owner->super->instanceTraits.slots.size()) {
            const ClassInfo* base = f.m->owner->super;
            obj.o->slots[t->slot] = coerceTo(v, base->instanceTraits.slots[t->slot].typeName);
        } else if (t->type == Trait::Method) {
            setProperty(obj, name, v);
        } // a constant or a getter alone of the base class: the write is dropped
        break;
    }
    case 0x5D:
    case 0x5E: { // findpropstrict, findproperty
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        f.stack.push_back(findProperty(f, name, in.opcode == 0x5D));
        break;
    }
    case 0x5F: { // finddef
        f.stack.push_back(findDefinition(staticName(f.lf, static_cast<std::uint32_t>(op0)), true));
        break;
    }
    case 0x60: { // getlex
        const Name name = staticName(f.lf, static_cast<std::uint32_t>(op0));
        const Value holder = findProperty(f, name, true);
        f.stack.push_back(getProperty(holder, name));
        break;
    }
    case 0x61:
    case 0x68: { // setproperty, initproperty
        const Value v = f.pop();
        const abc::Multiname& mn = f.file.multinames[static_cast<std::size_t>(op0)];
        if ((mn.kind == abc::MultinameKind::MultinameL ||
             mn.kind == abc::MultinameKind::MultinameLA) &&
            f.stack.back().isNumeric() && f.stack[f.stack.size() - 2].isObject() &&
            f.stack[f.stack.size() - 2].o->kind == ObjKind::Array &&
            !isVector(f.stack[f.stack.size() - 2].o)) {
            const double d = f.stack.back().num();
            if (d >= 0 && d < 10000000 && d == std::trunc(d)) {
                f.stack.pop_back();
                Object* arr = f.pop().o;
                const auto i = static_cast<std::size_t>(d);
                if (i >= arr->elems.size()) {
                    resizeElements(arr->elems, i + 1, Value::hole());
                }
                arr->elems[i] = v;
                break;
            }
        }
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value obj = f.pop();
        setProperty(obj, name, v, in.opcode == 0x68);
        break;
    }
    case 0x66: { // getproperty
        const abc::Multiname& mn = f.file.multinames[static_cast<std::size_t>(op0)];
        if ((mn.kind == abc::MultinameKind::MultinameL ||
             mn.kind == abc::MultinameKind::MultinameLA) &&
            f.stack.back().isNumeric() && f.stack[f.stack.size() - 2].isObject() &&
            f.stack[f.stack.size() - 2].o->kind == ObjKind::Array) {
            const double d = f.stack.back().num();
            const Object* arr = f.stack[f.stack.size() - 2].o;
            if (d >= 0 && d == std::trunc(d) && d < static_cast<double>(arr->elems.size()) &&
                !arr->elems[static_cast<std::size_t>(d)].isHole()) {
                const Value v = arr->elems[static_cast<std::size_t>(d)];
                f.stack.pop_back();
                f.stack.back() = v;
                break;
            }
        }
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value obj = f.pop();
        f.stack.push_back(getProperty(obj, name));
        break;
    }
    default:
        return false;
    }
    return true;
}

bool Machine::stepSlots(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x1E:
    case 0x23: { // nextname, nextvalue
        const std::uint32_t index = toUint(f.pop());
        const Value obj = f.pop();
        if (!obj.isObject()) {
            f.stack.push_back(Value());
        } else {
            f.stack.push_back(in.opcode == 0x1E ? nameAt(obj.o, index) : valueAt(obj.o, index));
        }
        break;
    }
    case 0x1F: { // hasnext
        const std::uint32_t index = toUint(f.pop());
        const Value obj = f.pop();
        f.stack.push_back(Value::integer(
            obj.isObject() ? static_cast<std::int32_t>(nextIndex(obj.o, index)) : 0));
        break;
    }
    case 0x32: { // hasnext2
        Value& obj = f.locals[static_cast<std::size_t>(op0)];
        Value& idx = f.locals[static_cast<std::size_t>(in.operands[1])];
        std::uint32_t i = toUint(idx);
        bool found = false;
        while (obj.isObject()) {
            i = nextIndex(obj.o, i);
            if (i != 0) {
                found = true;
                break;
            }
            Object* p = obj.o->proto;
            // The prototype chain enumerates too, ending before the classes' own
            // prototypes of builtins (which hold nothing enumerable).
            obj = Value::obj(p);
            i = 0;
        }
        if (!found) {
            obj = Value::null();
        }
        idx = Value::integer(static_cast<std::int32_t>(i));
        f.stack.push_back(Value::boolean(found));
        break;
    }
    case 0x6A: {
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value obj = f.pop();
        requireObject(obj);
        f.stack.push_back(Value::boolean(deleteProperty(obj, name)));
        break;
    }
    case 0x6C:
    case 0x6E: { // getslot, getglobalslot
        const Value obj = in.opcode == 0x6C ? f.pop() : f.globalScope();
        if (!obj.isObject()) {
            throwError("TypeError", 1009,
                       "Cannot access a property or method of a null object reference.");
        }
        const auto s = static_cast<std::size_t>(op0) - 1;
        f.stack.push_back(s < obj.o->slots.size() ? obj.o->slots[s] : Value());
        break;
    }
    case 0x6D:
    case 0x6F: { // setslot, setglobalslot
        const Value v = f.pop();
        const Value obj = in.opcode == 0x6D ? f.pop() : f.globalScope();
        if (!obj.isObject()) {
            throwError("TypeError", 1009,
                       "Cannot access a property or method of a null object reference.");
        }
        const auto s = static_cast<std::size_t>(op0) - 1;
        if (s < obj.o->slots.size()) {
            const Traits* tr = obj.o->kind == ObjKind::Class
                                   ? &obj.o->classInfo->staticTraits
                                   : (obj.o->cls ? &obj.o->cls->instanceTraits : nullptr);
            obj.o->slots[s] =
                tr != nullptr && s < tr->slots.size() ? coerceTo(v, tr->slots[s].typeName) : v;
        }
        break;
    }
    case 0xB4: { // in
        const Value obj = f.pop();
        const Value nm = f.stack.back();
        requireObject(obj);
        f.stack.back() = Value::boolean(hasProperty(obj, publicName(toString(nm))));
        break;
    }
    default:
        return false;
    }
    return true;
}

bool Machine::stepCalls(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x41: { // call
        const auto n = static_cast<std::size_t>(op0);
        const Value fn = f.stack[f.stack.size() - n - 2];
        const Value recv = f.stack[f.stack.size() - n - 1];
        Value r = call(fn, recv, f.argsOf(n));
        f.stack.resize(f.stack.size() - n - 2);
        f.stack.push_back(r);
        break;
    }
    case 0x42: { // construct
        const auto n = static_cast<std::size_t>(op0);
        const Value c = f.stack[f.stack.size() - n - 1];
        Value r = construct(c, f.argsOf(n));
        f.stack.resize(f.stack.size() - n - 1);
        f.stack.push_back(r);
        break;
    }
    case 0x43: { // callmethod: by dispatch id
        const auto n = static_cast<std::size_t>(in.operands[1]);
        const Value recv = f.stack[f.stack.size() - n - 1];
        MethodInfo* target = nullptr;
        if (ClassInfo* c = classOfValue(recv)) {
            for (const auto& [nm, list] : c->instanceTraits.byName) {
                for (const Trait& t : list) {
                    if (t.type == Trait::Method && t.dispId == static_cast<std::uint32_t>(op0)) {
                        target = t.method;
                    }
                }
            }
        }
        if (target == nullptr) {
            throwError("VerifyError", 1051, "Illegal early binding access.");
        }
        Value r = invokeTrait(target, recv, f.argsOf(n));
        f.stack.resize(f.stack.size() - n - 1);
        f.stack.push_back(r);
        break;
    }
    case 0x44: { // callstatic
        const auto n = static_cast<std::size_t>(in.operands[1]);
        const Value recv = f.stack[f.stack.size() - n - 1];
        MethodInfo* target = f.lf.methods[static_cast<std::size_t>(op0)];
        Value r = runMethod(target, recv, f.argsOf(n), f.fullScope());
        f.stack.resize(f.stack.size() - n - 1);
        f.stack.push_back(r);
        break;
    }
    case 0x45:
    case 0x4E: { // callsuper, callsupervoid
        const auto n = static_cast<std::size_t>(in.operands[1]);
        std::vector<Value> a(f.stack.end() - static_cast<std::ptrdiff_t>(n), f.stack.end());
        f.stack.resize(f.stack.size() - n);
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value recv = f.pop();
        const Trait* t = superTrait(f, name);
        Value r;
        if (t != nullptr && t->type == Trait::Method) {
            r = invokeTrait(t->method, recv, Args(a));
        } else if (t != nullptr && t->type == Trait::Accessor && t->getter) {
            r = call(invokeTrait(t->getter, recv, {}), recv, Args(a));
        } else {
            throwError("ReferenceError", 1070,
                       "Method " + name.name + " not found on " +
                           (f.m->owner && f.m->owner->super ? f.m->owner->super->qualifiedName()
                                                            : std::string("Object")));
        }
        if (in.opcode == 0x45) {
            f.stack.push_back(r);
        }
        break;
    }
    case 0x46:
    case 0x4C:
    case 0x4F:
    case 0x4A: { // callproperty, callproplex, callpropvoid, constructprop
        const auto n = static_cast<std::size_t>(in.operands[1]);
        std::vector<Value> a(f.stack.end() - static_cast<std::ptrdiff_t>(n), f.stack.end());
        f.stack.resize(f.stack.size() - n);
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value recv = f.pop();
        Value r;
        if (in.opcode == 0x4A) {
            r = constructProperty(recv, name, Args(a));
        } else {
            r = callProperty(recv, name, Args(a), in.opcode == 0x4C);
        }
        if (in.opcode != 0x4F) {
            f.stack.push_back(r);
        }
        break;
    }
    case 0x47:
        f.returned = true;
        f.result = Value();
        break;
    case 0x48: {
        Value r = f.pop();
        if (f.am.returnType != 0) {
            r = coerceTo(r, typeNameOf(f.lf, f.am.returnType));
        }
        f.returned = true;
        f.result = r;
        break;
    }
    case 0x49: { // constructsuper
        const auto n = static_cast<std::size_t>(op0);
        std::vector<Value> a(f.stack.end() - static_cast<std::ptrdiff_t>(n), f.stack.end());
        f.stack.resize(f.stack.size() - n);
        const Value recv = f.pop();
        if (!recv.isObject()) {
            throwError("TypeError", 1009,
                       "Cannot access a property or method of a null object reference.");
        }
        initInstance(f.m->owner != nullptr ? f.m->owner->super : nullptr, recv.o, Args(a));
        break;
    }
    default:
        return false;
    }
    return true;
}

bool Machine::stepObjects(Frame& f, const abc::Instruction& in, std::size_t at) {
    const auto op0 = in.operands[0];
    (void)at;
    (void)op0;
    switch (in.opcode) {
    case 0x31: {
        Value v;
        constantValue(f.lf, 0x08, static_cast<std::uint32_t>(op0), v);
        f.stack.push_back(v);
        break;
    }
    case 0x35:
    case 0x36:
    case 0x37:
    case 0x38:
    case 0x39:
    case 0x3A:
    case 0x3B:
    case 0x3C:
    case 0x3D:
    case 0x3E:
        runDomainMemoryOp(*this, static_cast<std::uint8_t>(in.opcode), f.stack);
        break;
    case 0x40: { // newfunction
        MethodInfo* fm = f.lf.methods[static_cast<std::size_t>(op0)];
        f.stack.push_back(Value::obj(newFunction(fm, f.fullScope())));
        break;
    }
    case 0x53: { // applytype: Vector.<T>
        const auto n = static_cast<std::size_t>(op0);
        const Value param = n > 0 ? f.stack.back() : Value();
        f.stack.resize(f.stack.size() - n);
        const Value base = f.pop();
        if (!base.isObject() || base.o->kind != ObjKind::Class || !base.o->classInfo->isVector) {
            throwError("TypeError", 1127,
                       "Type application attempted on a non-parameterized type.");
        }
        ClassInfo* element =
            param.isObject() && param.o->kind == ObjKind::Class ? param.o->classInfo : nullptr;
        f.stack.push_back(Value::obj(vectorOf(*this, element)->classObj));
        break;
    }
    case 0x55: { // newobject
        const auto n = static_cast<std::size_t>(op0);
        Object* o = newPlainObject();
        const std::size_t base = f.stack.size() - 2 * n;
        for (std::size_t i = 0; i < n; ++i) {
            o->setDyn(toString(f.stack[base + 2 * i]), f.stack[base + 2 * i + 1]);
        }
        f.stack.resize(base);
        f.stack.push_back(Value::obj(o));
        break;
    }
    case 0x56: { // newarray
        const auto n = static_cast<std::size_t>(op0);
        std::vector<Value> e(f.stack.end() - static_cast<std::ptrdiff_t>(n), f.stack.end());
        f.stack.resize(f.stack.size() - n);
        f.stack.push_back(Value::obj(newArray(std::move(e))));
        break;
    }
    case 0x57: { // newactivation
        if (f.m->activation == nullptr) {
            auto ci = std::make_unique<ClassInfo>();
            ci->name = "activation";
            ci->instanceKind = ObjKind::Activation;
            f.m->activation = ci.get();
            m_classes.push_back(std::move(ci));
            buildTraits(f.lf, f.body.traits, f.m->activation->instanceTraits, nullptr, nullptr);
        }
        Object* o = newObject(f.m->activation);
        o->kind = ObjKind::Activation;
        f.stack.push_back(Value::obj(o));
        break;
    }
    case 0x58: { // newclass
        const Value base = f.pop();
        ClassInfo* super =
            base.isObject() && base.o->kind == ObjKind::Class ? base.o->classInfo : nullptr;
        ClassInfo* c = newClass(f.lf, static_cast<std::uint32_t>(op0), super, f.fullScope());
        f.stack.push_back(Value::obj(c->classObj));
        break;
    }
    case 0x59: { // getdescendants
        const Name name = runtimeName(f, static_cast<std::uint32_t>(op0));
        const Value obj = f.pop();
        requireObject(obj);
        f.stack.push_back(xmlDescendants(*this, obj, name));
        break;
    }
    case 0x5A: { // newcatch
        const abc::ExceptionHandler& h = f.body.exceptions[static_cast<std::size_t>(op0)];
        auto ci = std::make_unique<ClassInfo>();
        ci->name = "catch";
        ci->instanceKind = ObjKind::Activation;
        if (h.varName != 0) {
            const Name vn = staticName(f.lf, h.varName);
            Trait t;
            t.type = Trait::Slot;
            t.ns = vn.nss.empty() ? m_public : vn.nss.front();
            t.slot = 0;
            ci->instanceTraits.byName[vn.name].push_back(t);
            ci->instanceTraits.slots.push_back(SlotInfo{});
        }
        Object* o = newObject(ci.get());
        o->kind = ObjKind::Activation;
        m_classes.push_back(std::move(ci));
        f.stack.push_back(Value::obj(o));
        break;
    }
    default:
        return false;
    }
    return true;
}

} // namespace kinovex::flash::avm2
