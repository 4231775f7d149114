#include "engine/abc/Verifier.h"

#include "engine/abc/Opcodes.h"

namespace kinovex::flash::abc {

namespace {

// VerifyScratch::instructionAt: the index of the instruction starting at an offset, or one of
// these.
constexpr std::int32_t kNotDecoded = -1;
constexpr std::int32_t kInsideInstruction = -2;

constexpr std::size_t kStepsPerCodeByte = 8;
constexpr std::size_t kSpareSteps = 1024;

class BodyVerifier {
public:
    BodyVerifier(const AbcFile& file, std::uint32_t bodyIndex, VerifyScratch& scratch)
        : m_file(file), m_body(file.bodies[bodyIndex]), m_code(file.code(m_body)), m_s(scratch) {}

    // The problem found, with the offset in the code; empty when the body is sound.
    std::optional<AbcError> run();

private:
    bool fail(std::size_t offset, std::string message, int playerError = 0) {
        if (!m_error) {
            m_error = AbcError{offset, std::move(message), playerError};
        }
        return false;
    }
    bool checkOperands(const Instruction& ins);
    bool checkRef(const Instruction& ins, OperandRef ref, std::int32_t value);
    bool checkName(const Instruction& ins, const OpcodeInfo& info);
    bool checkExceptions();
    std::int64_t popCount(const Instruction& ins, const OpcodeInfo& info) const;
    bool decodeAt(std::uint32_t offset);
    // `what` goes there (a handler's number follows it when `handler` is not negative); said
    // when it cannot.
    bool reach(std::int64_t target, std::int32_t stack, std::int32_t scope, std::uint32_t from,
               const char* what, std::int64_t handler = -1);
    bool enterHandlers(std::uint32_t offset);
    bool applyStackEffects(const Instruction& ins, std::int32_t& stack, std::int32_t& scope);
    bool branch(const Instruction& ins, std::int64_t target, std::int32_t stack,
                std::int32_t scope);
    bool followFlow(const Instruction& ins, std::int32_t stack, std::int32_t scope);
    bool step(std::uint32_t i);

    const AbcFile& m_file;
    const MethodBody& m_body;
    std::span<const std::uint8_t> m_code;
    VerifyScratch& m_s;
    std::optional<AbcError> m_error;
};

std::optional<AbcError> BodyVerifier::run() {
    if (m_code.empty()) {
        return AbcError{0, "the body has no code"};
    }
    m_s.instructions.clear();
    m_s.caseOffsets.clear();
    m_s.stackDepth.clear();
    m_s.scopeDepth.clear();
    m_s.pending.clear();
    m_s.instructionAt.assign(m_code.size(), kNotDecoded);
    if (!checkExceptions() || !reach(0, 0, 0, 0, "the start")) {
        return m_error;
    }
    // An instruction is walked again only when a shallower scope stack reaches it; damaged code
    // could make that happen for every pair of instructions, so the walk has a budget far
    // beyond what compiled code needs.
    std::size_t budget = kStepsPerCodeByte * m_code.size() + kSpareSteps;
    while (!m_s.pending.empty()) {
        if (budget-- == 0) {
            return AbcError{0, "the scope depths of the body do not settle"};
        }
        const std::uint32_t i = m_s.pending.back();
        m_s.pending.pop_back();
        if (!step(i)) {
            break;
        }
    }
    return m_error;
}

bool BodyVerifier::checkRef(const Instruction& ins, OperandRef ref, std::int32_t value) {
    const auto index = static_cast<std::uint32_t>(value);
    std::size_t size = 0;
    bool zeroAllowed = false;
    const char* what = "";
    switch (ref) {
    case OperandRef::None:
        return true;
    case OperandRef::Multiname:
        size = m_file.multinames.size();
        what = "multiname";
        break;
    case OperandRef::String:
        size = m_file.strings.size();
        what = "string";
        break;
    case OperandRef::Int:
        size = m_file.ints.size();
        what = "int";
        break;
    case OperandRef::UInt:
        size = m_file.uints.size();
        what = "uint";
        break;
    case OperandRef::Double:
        size = m_file.doubles.size();
        what = "double";
        break;
    case OperandRef::Namespace:
        size = m_file.namespaces.size();
        what = "namespace";
        break;
    case OperandRef::Method:
        size = m_file.methods.size();
        zeroAllowed = true;
        what = "method";
        break;
    case OperandRef::Class:
        size = m_file.classes.size();
        zeroAllowed = true;
        what = "class";
        break;
    case OperandRef::Exception:
        size = m_body.exceptions.size();
        zeroAllowed = true;
        what = "exception handler";
        break;
    case OperandRef::Local:
        size = m_body.localCount;
        zeroAllowed = true;
        what = "local register";
        break;
    }
    if (index < size && (index != 0 || zeroAllowed)) {
        return true;
    }
    return fail(ins.offset, std::string(opcodeInfo(ins.opcode).name) + ": " + what + " " +
                                std::to_string(index) + " is outside its pool of " +
                                std::to_string(size));
}

bool BodyVerifier::checkName(const Instruction& ins, const OpcodeInfo& info) {
    if ((info.flags & OpStaticName) == 0 || info.first != OperandRef::Multiname) {
        return true;
    }
    const Multiname& name = m_file.multinames[static_cast<std::uint32_t>(ins.operands[0])];
    if (runtimeNameValues(name.kind) == 0) {
        return true;
    }
    return fail(ins.offset, std::string(info.name) + ": multiname " +
                                std::to_string(ins.operands[0]) +
                                " takes part of its name from the stack, which it cannot here");
}

bool BodyVerifier::checkOperands(const Instruction& ins) {
    const OpcodeInfo& info = opcodeInfo(ins.opcode);
    if (!checkRef(ins, info.first, ins.operands[0]) ||
        !checkRef(ins, info.second, ins.operands[1]) || !checkName(ins, info)) {
        return false;
    }
    if (info.layout == OperandLayout::Debug) {
        return ins.operands[1] == 0 || checkRef(ins, OperandRef::String, ins.operands[1]);
    }
    if (ins.opcode >= OpGetLocal0 && ins.opcode < OpSetLocal0 + 4) {
        const std::int32_t local = (ins.opcode - OpGetLocal0) % 4;
        return checkRef(ins, OperandRef::Local, local);
    }
    return true;
}

// The ranges handlers guard must lie in the code; where a handler starts is checked when code
// that can throw into it is reached.
bool BodyVerifier::checkExceptions() {
    for (std::size_t h = 0; h < m_body.exceptions.size(); ++h) {
        const ExceptionHandler& handler = m_body.exceptions[h];
        if (handler.from > handler.to || handler.to > m_code.size()) {
            return fail(handler.from, "exception handler " + std::to_string(h) + " guards " +
                                          std::to_string(handler.from) + " to " +
                                          std::to_string(handler.to) + " in code of " +
                                          std::to_string(m_code.size()) + " bytes");
        }
    }
    return true;
}

std::int64_t BodyVerifier::popCount(const Instruction& ins, const OpcodeInfo& info) const {
    const std::int64_t args =
        info.layout == OperandLayout::U30U30 ? ins.operands[1] : ins.operands[0];
    auto runtimeName = [&] {
        return runtimeNameValues(
            m_file.multinames[static_cast<std::uint32_t>(ins.operands[0])].kind);
    };
    switch (info.popRule) {
    case PopRule::Fixed:
        return info.pops;
    case PopRule::Args:
        return info.pops + args;
    case PopRule::NameAndArgs:
        return info.pops + args + runtimeName();
    case PopRule::Name:
        return info.pops + runtimeName();
    case PopRule::ArgPairs:
        return 2 * args;
    }
    return info.pops;
}

// Decodes the instruction at `offset`, which no instruction decoded so far covers.
bool BodyVerifier::decodeAt(std::uint32_t offset) {
    Instruction ins;
    if (auto error = decodeInstruction(m_code, offset, ins, m_s.caseOffsets)) {
        return fail(error->offset, std::move(error->message));
    }
    for (std::uint32_t b = offset + 1; b < offset + ins.length; ++b) {
        if (m_s.instructionAt[b] >= 0) {
            return fail(offset, std::string(opcodeInfo(ins.opcode).name) + " at " +
                                    std::to_string(offset) + " runs into the instruction at " +
                                    std::to_string(b));
        }
        m_s.instructionAt[b] = kInsideInstruction;
    }
    m_s.instructionAt[offset] = static_cast<std::int32_t>(m_s.instructions.size());
    m_s.instructions.push_back(ins);
    m_s.stackDepth.push_back(-1);
    m_s.scopeDepth.push_back(-1);
    return true;
}

// Paths that meet must agree on the operand stack. Compilers let the scope stack differ where a
// catch block rejoins the code it guards; the shallower of the two is what both can rely on,
// so the walk goes on from there again.
bool BodyVerifier::reach(std::int64_t target, std::int32_t stack, std::int32_t scope,
                         std::uint32_t from, const char* what, std::int64_t handler) {
    auto going = [&] {
        return std::string(what) + (handler >= 0 ? " " + std::to_string(handler) : "") + " to " +
               std::to_string(target);
    };
    if (target < 0 || target >= static_cast<std::int64_t>(m_code.size())) {
        return fail(from,
                    going() + " leaves the code of " + std::to_string(m_code.size()) + " bytes");
    }
    const auto offset = static_cast<std::uint32_t>(target);
    if (m_s.instructionAt[offset] == kInsideInstruction) {
        return fail(from, going() + " lands inside an instruction");
    }
    if (m_s.instructionAt[offset] == kNotDecoded && !decodeAt(offset)) {
        return false;
    }
    const auto at = static_cast<std::size_t>(m_s.instructionAt[offset]);
    if (m_s.stackDepth[at] < 0) {
        m_s.stackDepth[at] = stack;
        m_s.scopeDepth[at] = scope;
        m_s.pending.push_back(static_cast<std::uint32_t>(at));
        return true;
    }
    if (m_s.stackDepth[at] != stack) {
        return fail(from, "paths meet at " + std::to_string(target) + " with stack depths " +
                              std::to_string(m_s.stackDepth[at]) + " and " + std::to_string(stack));
    }
    if (scope < m_s.scopeDepth[at]) {
        m_s.scopeDepth[at] = scope;
        m_s.pending.push_back(static_cast<std::uint32_t>(at));
    }
    return true;
}

// A handler starts with the thrown value on an otherwise empty stack, and no scopes of the
// body's own.
bool BodyVerifier::enterHandlers(std::uint32_t offset) {
    for (std::size_t h = 0; h < m_body.exceptions.size(); ++h) {
        const ExceptionHandler& handler = m_body.exceptions[h];
        if (offset >= handler.from && offset < handler.to &&
            !reach(handler.target, 1, 0, offset, "exception handler",
                   static_cast<std::int64_t>(h))) {
            return false;
        }
    }
    return true;
}

bool BodyVerifier::applyStackEffects(const Instruction& ins, std::int32_t& stack,
                                     std::int32_t& scope) {
    const OpcodeInfo& info = opcodeInfo(ins.opcode);
    const std::int64_t pops = popCount(ins, info);
    if (pops > stack) {
        return fail(ins.offset, std::string(info.name) + " takes " + std::to_string(pops) +
                                    " values from a stack of " + std::to_string(stack));
    }
    const std::int64_t after = stack - pops + info.pushes;
    if (after > m_body.maxStack) {
        return fail(ins.offset,
                    std::string(info.name) + " grows the stack to " + std::to_string(after) +
                        " past its maximum of " + std::to_string(m_body.maxStack),
                    1023);
    }
    stack = static_cast<std::int32_t>(after);
    const std::int64_t scopeRoom = std::int64_t{m_body.maxScopeDepth} - m_body.initScopeDepth;
    if ((info.flags & OpPushesScope) != 0 && ++scope > scopeRoom) {
        return fail(ins.offset, std::string(info.name) + " grows the scope stack past its " +
                                    std::to_string(scopeRoom) + " entries");
    }
    if ((info.flags & OpPopsScope) != 0 && --scope < 0) {
        return fail(ins.offset, "popscope on an empty scope stack");
    }
    if (ins.opcode == OpGetScopeObject && ins.operands[0] >= scope) {
        return fail(ins.offset, "getscopeobject " + std::to_string(ins.operands[0]) +
                                    " on a scope stack of " + std::to_string(scope));
    }
    return true;
}

// The next instruction first, then the targets of jumps: a jump into an instruction that is
// also reached in order is then reported as such.
bool BodyVerifier::followFlow(const Instruction& ins, std::int32_t stack, std::int32_t scope) {
    const OpcodeInfo& info = opcodeInfo(ins.opcode);
    const char* name = info.name;
    const bool continues =
        (info.flags & (OpEndsFlow | OpJump)) == 0 && info.layout != OperandLayout::LookupSwitch;
    const std::int64_t next = std::int64_t{ins.offset} + ins.length;
    if (continues && next >= static_cast<std::int64_t>(m_code.size())) {
        return fail(ins.offset, std::string(name) + " runs off the end of the code");
    }
    if (continues && !reach(next, stack, scope, ins.offset, name)) {
        return false;
    }
    if (info.layout == OperandLayout::S24) {
        return branch(ins, next + ins.operands[0], stack, scope);
    }
    if (info.layout != OperandLayout::LookupSwitch) {
        return true;
    }
    // Its offsets count from the lookupswitch itself.
    if (!branch(ins, std::int64_t{ins.offset} + ins.operands[0], stack, scope)) {
        return false;
    }
    const auto first = static_cast<std::size_t>(ins.operands[2]);
    for (std::size_t c = 0; c <= static_cast<std::size_t>(ins.operands[1]); ++c) {
        if (!branch(ins, std::int64_t{ins.offset} + m_s.caseOffsets[first + c], stack, scope)) {
            return false;
        }
    }
    return true;
}

// A jump backwards must land on a label, which marks where a loop starts.
bool BodyVerifier::branch(const Instruction& ins, std::int64_t target, std::int32_t stack,
                          std::int32_t scope) {
    const char* name = opcodeInfo(ins.opcode).name;
    if (!reach(target, stack, scope, ins.offset, name)) {
        return false;
    }
    if (target > ins.offset) {
        return true;
    }
    const auto at = static_cast<std::size_t>(m_s.instructionAt[static_cast<std::size_t>(target)]);
    if (m_s.instructions[at].opcode == OpLabel) {
        return true;
    }
    return fail(ins.offset, std::string(name) + " to " + std::to_string(target) +
                                " goes back to an instruction that is not a label");
}

bool BodyVerifier::step(std::uint32_t i) {
    // A copy: reaching new code grows the list.
    const Instruction ins = m_s.instructions[i];
    std::int32_t stack = m_s.stackDepth[i];
    std::int32_t scope = m_s.scopeDepth[i];
    return checkOperands(ins) && applyStackEffects(ins, stack, scope) &&
           followFlow(ins, stack, scope) &&
           ((opcodeInfo(ins.opcode).flags & OpNoThrow) != 0 || enterHandlers(ins.offset));
}

} // namespace

std::string VerifyError::text() const {
    return "method " + std::to_string(method) + " (body " + std::to_string(body) +
           ") at code offset " + std::to_string(offset) + ": " + message;
}

std::optional<VerifyError> verifyBody(const AbcFile& file, std::uint32_t bodyIndex,
                                      VerifyScratch& scratch) {
    BodyVerifier verifier(file, bodyIndex, scratch);
    if (auto error = verifier.run()) {
        return VerifyError{bodyIndex, file.bodies[bodyIndex].method, error->offset,
                           std::move(error->message), error->playerError};
    }
    return std::nullopt;
}

VerifyReport verifyFile(const AbcFile& file) {
    VerifyReport report;
    VerifyScratch scratch;
    for (std::size_t b = 0; b < file.bodies.size(); ++b) {
        if (auto error = verifyBody(file, static_cast<std::uint32_t>(b), scratch)) {
            report.refused.push_back(std::move(*error));
        }
        ++report.bodies;
        report.instructions += scratch.instructions.size();
    }
    return report;
}

} // namespace kinovex::flash::abc
