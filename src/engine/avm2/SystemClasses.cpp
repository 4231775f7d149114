// flash.system's ApplicationDomain and Capabilities, flash.accessibility.Accessibility and
// flash.crypto.generateRandomBytes.
// A movie runs in one domain, whose definitions are those of the machine: each
// ApplicationDomain object speaks for it (currentDomain makes a new one each time, as the
// player does), and it has no parent a script can see.

#include "engine/avm2/SystemClasses.h"
#include "engine/avm2/Builtins.h"
#include "engine/avm2/ByteArray.h"
#include "engine/avm2/HiddenFields.h"

#include <bit>

namespace kinovex::flash::avm2 {

std::vector<std::string> Machine::definitionNames() {
    std::vector<std::string> names;
    for (const auto& lf : m_files) {
        const abc::AbcFile& file = *lf->file;
        for (const abc::Script& script : file.scripts) {
            for (const abc::Trait& t : script.traits) {
                const abc::Multiname& mn = file.multinames[t.name];
                const Ns* ns = mn.ns < lf->namespaces.size() ? lf->namespaces[mn.ns] : nullptr;
                if (ns == nullptr || ns->kind != abc::NamespaceKind::Package) {
                    continue;
                }
                const std::string local(file.string(mn.name));
                names.push_back(ns->uri.empty() ? local : ns->uri + "::" + local);
            }
        }
    }
    return names;
}

namespace {

Value newDomain(Machine& vm) {
    return Value::obj(vm.constructClass(vm.builtin("flash.system.ApplicationDomain"), {}));
}

Value currentDomain(Machine& vm, Value, Args) {
    return newDomain(vm);
}
Value domainNull(Machine&, Value, Args) {
    return Value::null();
}

// The definition a name stands for ("pkg.Name", "pkg::Name" or "Name"); undefined for none.
Value lookUp(Machine& vm, const Value& name) {
    if (name.isNullish()) {
        return Value();
    }
    return vm.getDefinitionByName(vm.toString(name));
}
Value hasDefinition(Machine& vm, Value, Args a) {
    return Value::boolean(!lookUp(vm, arg(a, 0)).isUndefined());
}
Value getDefinition(Machine& vm, Value, Args a) {
    const Value v = lookUp(vm, arg(a, 0));
    if (v.isUndefined()) {
        vm.throwError("ReferenceError", 1065,
                      "Variable " + vm.toString(arg(a, 0)) + " is not defined.");
    }
    return v;
}
Value definitionNames(Machine& vm, Value, Args) {
    Object* names = vm.constructClass(vectorOf(vm, vm.stringClass), {});
    for (std::string& n : vm.definitionNames()) {
        names->elems.push_back(vm.str(std::move(n)));
    }
    return Value::obj(names);
}
// The memory belongs to the one domain, whichever object speaks for it.
Object* domainClassObject(Machine& vm) {
    return vm.builtin("flash.system.ApplicationDomain")->classObj;
}
Value domainMemory(Machine& vm, Value, Args) {
    const Value memory = hidden(domainClassObject(vm), "domainMemory");
    return memory.isObject() ? memory : Value::null();
}
Value setDomainMemory(Machine& vm, Value, Args a) {
    const Value memory = arg(a, 0);
    if (memory.isObject() && memory.o->byteData.size() < 1024) {
        vm.throwError("Error", 1504, "End of file.");
    }
    setHidden(domainClassObject(vm), "domainMemory", memory.isObject() ? memory : Value::null());
    return Value();
}

// ---- Capabilities: a desktop player on Linux ----

// The screen is a common laptop one: 1920 by 1080 pixels at 125 % scaling.
constexpr int kScreenWidth = 1536;
constexpr int kScreenHeight = 864;

Value screenWidth(Machine&, Value, Args) {
    return Value::integer(kScreenWidth);
}
Value screenHeight(Machine&, Value, Args) {
    return Value::integer(kScreenHeight);
}
Value screenDpi(Machine&, Value, Args) {
    return Value::integer(72);
}
Value one(Machine&, Value, Args) {
    return Value::integer(1);
}
Value nothing(Machine&, Value, Args) {
    return Value();
}
Value yes(Machine&, Value, Args) {
    return Value::boolean(true);
}
Value no(Machine&, Value, Args) {
    return Value::boolean(false);
}

void installCapabilities(Machine& m) {
    ClassInfo* caps = m.defineNativeClass("flash.system", "Capabilities", m.objectClass);
    caps->isFinal = true;
    m.defineGetter(caps, "screenResolutionX", screenWidth, nullptr, true);
    m.defineGetter(caps, "screenResolutionY", screenHeight, nullptr, true);
    m.defineGetter(caps, "screenDPI", screenDpi, nullptr, true);
    m.defineGetter(caps, "pixelAspectRatio", one, nullptr, true);
    m.defineGetter(caps, "hasAudio", yes, nullptr, true);
    m.defineGetter(caps, "hasMP3", yes, nullptr, true);
    m.defineGetter(caps, "isDebugger", no, nullptr, true);
    m.defineGetter(caps, "avHardwareDisable", yes, nullptr, true);
    m.defineConstant(caps, "version", m.str("LNX 32,0,0,465"));
    m.defineConstant(caps, "os", m.str("Linux"));
    m.defineConstant(caps, "manufacturer", m.str("Adobe Linux"));
    m.defineConstant(caps, "playerType", m.str("StandAlone"));
    m.defineConstant(caps, "language", m.str("en"));
    m.defineConstant(caps, "cpuArchitecture", m.str("x86"));
}

Value generateRandomBytes(Machine& vm, Value, Args a) {
    const std::uint32_t n = vm.toUint(arg(a, 0));
    if (n < 1 || n > 1024) {
        vm.throwError("RangeError", 2004, "One of the parameters is invalid.");
    }
    Object* bytes = vm.constructClass(vm.builtin("flash.utils.ByteArray"), {});
    for (std::uint32_t i = 0; i < n; ++i) {
        bytes->byteData.push_back(static_cast<std::uint8_t>(vm.nextRandom() * 256));
    }
    return Value::obj(bytes);
}

std::vector<std::uint8_t>& domainBytes(Machine& vm) {
    ClassInfo* domain = vm.builtin("flash.system.ApplicationDomain");
    if (domain == nullptr) {
        vm.throwError("RangeError", 1506, "The specified range is invalid.");
    }
    Value memory = hidden(domain->classObj, "domainMemory");
    if (!memory.isObject()) {
        memory = hidden(domain->classObj, "defaultMemory");
    }
    if (!memory.isObject()) {
        memory = Value::obj(vm.constructClass(vm.builtin("flash.utils.ByteArray"), {}));
        memory.o->byteData.resize(1024);
        setHidden(domain->classObj, "defaultMemory", memory);
    }
    return memory.o->byteData;
}

// The `size` bytes at `address` of the memory; out of it, the player's RangeError.
std::uint8_t* memoryAt(Machine& vm, const Value& address, std::size_t size) {
    std::vector<std::uint8_t>& bytes = domainBytes(vm);
    const std::int32_t at = vm.toInt(address);
    if (at < 0 || static_cast<std::size_t>(at) + size > bytes.size()) {
        vm.throwError("RangeError", 1506, "The specified range is invalid.");
    }
    return bytes.data() + at;
}

std::uint64_t loadLittle(const std::uint8_t* p, std::size_t size) {
    std::uint64_t v = 0;
    for (std::size_t i = size; i > 0; --i) {
        v = (v << 8) | p[i - 1];
    }
    return v;
}

void storeLittle(std::uint8_t* p, std::uint64_t v, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

Value loaderInfoDomain(Machine& vm, Value, Args) {
    return newDomain(vm);
}

} // namespace

void runDomainMemoryOp(Machine& vm, std::uint8_t opcode, std::vector<Value>& stack) {
    static constexpr std::size_t kSizes[] = {1, 2, 4, 4, 8};
    const bool store = opcode >= 0x3A;
    const std::size_t kind = static_cast<std::size_t>(opcode - (store ? 0x3A : 0x35));
    const std::size_t size = kSizes[kind];
    const Value address = stack.back();
    stack.pop_back();
    std::uint8_t* p = memoryAt(vm, address, size);
    if (!store) {
        const std::uint64_t bits = loadLittle(p, size);
        const auto low = static_cast<std::uint32_t>(bits);
        stack.push_back(kind == 2   ? Value::integer(static_cast<std::int32_t>(low))
                        : kind == 3 ? Value::number(std::bit_cast<float>(low))
                        : kind == 4 ? Value::number(std::bit_cast<double>(bits))
                                    : Value::integer(static_cast<std::int32_t>(low)));
        return;
    }
    const Value v = stack.back();
    stack.pop_back();
    std::uint64_t bits = 0;
    if (kind == 3) {
        bits = std::bit_cast<std::uint32_t>(static_cast<float>(vm.toNumber(v)));
    } else if (kind == 4) {
        bits = std::bit_cast<std::uint64_t>(vm.toNumber(v));
    } else {
        bits = static_cast<std::uint32_t>(vm.toInt(v));
    }
    storeLittle(p, bits, size);
}

void installSystemClasses(Machine& m) {
    ClassInfo* domain = m.defineNativeClass("flash.system", "ApplicationDomain", m.objectClass);
    domain->isFinal = true;
    m.defineGetter(domain, "currentDomain", currentDomain, nullptr, true);
    m.defineConstant(domain, "MIN_DOMAIN_MEMORY_LENGTH", Value::integer(1024));
    m.defineGetter(domain, "parentDomain", domainNull);
    m.defineGetter(domain, "domainMemory", domainMemory, setDomainMemory);
    m.defineMethod(domain, "hasDefinition", hasDefinition, 1);
    m.defineMethod(domain, "getDefinition", getDefinition, 1);
    m.defineMethod(domain, "getQualifiedDefinitionNames", definitionNames);
    if (ClassInfo* loaderInfo = m.builtin("flash.display.LoaderInfo")) {
        m.defineGetter(loaderInfo, "applicationDomain", loaderInfoDomain);
    }
    installCapabilities(m);
    m.defineGlobalFunction("flash.crypto", "generateRandomBytes", generateRandomBytes, 1);
    ClassInfo* accessibility =
        m.defineNativeClass("flash.accessibility", "Accessibility", m.objectClass);
    m.defineGetter(accessibility, "active", no, nullptr, true); // no screen reader
    m.defineStatic(accessibility, "updateProperties", nothing);
    installEventHolderClasses(m);
    installLocalStoreClasses(m);
}

} // namespace kinovex::flash::avm2
