#pragma once
// The ActionScript 3 machine: its heap, the classes and scripts of the ABC blocks it has
// loaded, name resolution and the interpreter. It knows nothing of the display list; the
// runtime (Avm2Runtime.h) binds it to one.

#include "engine/avm2/Object.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kinovex::flash::avm2 {

// A value a script threw, on its way to a catch.
struct ScriptException {
    Value value;
};
// The instruction budget ran out: every script running stops.
struct BudgetExhausted {};

struct Frame;

class Machine {
public:
    static constexpr int kMaxDepth = 256;

    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // ---- output and limits ----
    void setTraceSink(std::function<void(std::string_view)> sink) { m_trace = std::move(sink); }
    // A line of trace output; the halves of characters split apart print as U+FFFD.
    void traceLine(std::string_view line);
    void setInstructionBudget(std::uint64_t n) { m_budgetLimit = n; }
    void refillBudget() { m_budget = m_budgetLimit; }
    double nowMs = 0;        // the movie's time
    double clockEpochMs = 0; // Date's clock when the movie started (ms since 1970, UTC)
    void* host = nullptr;    // the runtime that binds the machine to a display list
    // Math.random: a number in [0, 1) from the machine's own generator (xorshift64*).
    double nextRandom() {
        m_random ^= m_random >> 12;
        m_random ^= m_random << 25;
        m_random ^= m_random >> 27;
        return static_cast<double>((m_random * 2685821657736338717ULL) >> 11) * 0x1.0p-53;
    }

    // ---- heap ----
    String* newString(std::string s);
    Value str(std::string s) { return Value::str(newString(std::move(s))); }
    Object* newObject(ClassInfo* cls); // an instance with its slots at their defaults
    Object* newPlainObject();
    Object* newArray(std::vector<Value> elems = {});
    Object* newFunction(MethodInfo* m, std::vector<ScopeEntry> scope);
    Object* newNativeFunction(NativeFn fn, std::string name, std::uint32_t length = 0);
    Object* methodClosure(MethodInfo* m, Value self, ClassInfo* cls);
    // Extra roots the runtime keeps (display objects, listeners): marked at each collection.
    std::function<void(std::vector<Object*>&)> extraRoots;
    void collectGarbage();
    std::size_t liveCells() const { return m_cells.size(); }

    // ---- memory ----
    // What the heap grows by is counted; past the heap limit (kHeapLimit unless set) since the
    // last collection, which counts again what it keeps, or a string longer than
    // kMaxStringLength bytes or the limit, the script gets the player's out-of-memory error
    // (#1000) instead of the process running out.
    static constexpr std::size_t kHeapLimit = std::size_t{768} << 20;
    static constexpr std::size_t kMaxStringLength = std::size_t{1} << 28;
    void setHeapLimit(std::size_t bytes) { m_heapLimit = bytes; }
    void charge(std::size_t bytes);
    void checkStringLength(std::size_t length);
    // e.resize(n, fill), with the growth charged.
    void resizeElements(std::vector<Value>& e, std::size_t n, const Value& fill);

    // ---- conversions ----
    std::string toString(const Value& v);
    double toNumber(const Value& v);
    static bool toBoolean(const Value& v);
    std::int32_t toInt(const Value& v);
    std::uint32_t toUint(const Value& v);
    Value toPrimitive(const Value& v, bool preferString);
    std::string typeOf(const Value& v);
    static std::string numberText(double n);
    bool strictEquals(const Value& a, const Value& b);
    bool looseEquals(const Value& a, const Value& b);
    // a < b as ECMAScript compares: true, false, or undefined (NaN involved).
    Value lessThan(const Value& a, const Value& b);
    Value add(const Value& a, const Value& b);
    Value coerceTo(const Value& v, const std::string& typeName);
    ClassInfo* classOfValue(const Value& v);
    bool isInstance(const Value& v, ClassInfo* cls);
    std::string qualifiedClassName(const Value& v);

    // ---- errors ----
    [[noreturn]] void throwError(std::string_view cls, int id, const std::string& text);
    Value makeError(std::string_view cls, int id, const std::string& text);
    // A value's class as error messages name it: "pkg.Name" ("null", "int" ...).
    std::string describeForError(const Value& v);
    // A value as coercion errors show it: strings quoted, objects by class.
    std::string describeValue(const Value& v);

    // ---- names and properties ----
    Ns* internNs(abc::NamespaceKind kind, const std::string& uri);
    Ns* publicNs() const { return m_public; }
    Ns* as3Ns() const { return m_as3; }
    Name publicName(std::string name) const;
    Value getProperty(const Value& obj, const Name& name);
    void setProperty(const Value& obj, const Name& name, const Value& v, bool init = false);
    bool hasProperty(const Value& obj, const Name& name);
    // vec[i] = v for a Vector: coerced to its type, appended at its length unless fixed.
    void setVectorElement(Object* vec, std::size_t i, const Value& v);
    bool deleteProperty(const Value& obj, const Name& name);
    Value callProperty(const Value& obj, const Name& name, Args args, bool lex = false);
    Value constructProperty(const Value& obj, const Name& name, Args args);
    Value call(const Value& fn, const Value& self, Args args);
    Value construct(const Value& cls, Args args);
    Object* constructClass(ClassInfo* cls, Args args);
    // Runs a class's instance initialisers on `self` (constructsuper).
    void initInstance(ClassInfo* cls, Object* self, Args args);
    const Trait* findTrait(const Value& obj, const Name& name, Object** holder, bool* isStatic);
    Object* prototypeOf(const Value& v);
    Object* ownPrototype(Object* fn, const std::string& name);
    // Convenience for natives.
    Value get(const Value& obj, const std::string& name) {
        return getProperty(obj, publicName(name));
    }
    void set(const Value& obj, const std::string& name, const Value& v) {
        setProperty(obj, publicName(name), v);
    }
    // Enumeration (hasnext2 / nextname / nextvalue): the index after `index` with a property, 0
    // at the end.
    std::uint32_t nextIndex(Object* o, std::uint32_t index);
    Value nameAt(Object* o, std::uint32_t index);
    Value valueAt(Object* o, std::uint32_t index);

    // ---- scripts and classes ----
    // Loads a block: its scripts' definitions join the domain; none runs yet.
    // `refusals`, when given, holds beside each refused method the player's VerifyError number
    // for why (0: none known).
    void loadAbc(const abc::AbcFile& file, const std::vector<std::uint32_t>& refusedMethods,
                 const std::vector<int>& refusals = {});
    // Runs the initialisers of the scripts loaded and not yet run (a DoABC block's frame).
    void runPendingScripts();
    // The class with that qualified name ("pkg.Name" or "Name"), initialising its script.
    ClassInfo* findClass(const std::string& qualified);
    Value findDefinition(const Name& name, bool strict);
    Value getDefinitionByName(const std::string& qualified);
    // The qualified names ("pkg::Name") of the public definitions the loaded blocks give, in
    // the order of the blocks and their scripts.
    std::vector<std::string> definitionNames();

    // ---- builtins ----
    ClassInfo* defineNativeClass(const std::string& pkg, const std::string& name, ClassInfo* super,
                                 ObjKind kind = ObjKind::Plain);
    void defineMethod(ClassInfo* cls, const std::string& name, NativeFn fn,
                      std::uint32_t length = 0);
    void defineStatic(ClassInfo* cls, const std::string& name, NativeFn fn,
                      std::uint32_t length = 0);
    void defineGetter(ClassInfo* cls, const std::string& name, NativeFn getter,
                      NativeFn setter = nullptr, bool isStatic = false);
    void defineConstant(ClassInfo* cls, const std::string& name, Value v);
    void defineGlobalFunction(const std::string& pkg, const std::string& name, NativeFn fn,
                              std::uint32_t length = 0);
    void defineGlobalValue(const std::string& name, Value v);
    // A constant of a package (flash.utils.flash_proxy).
    void definePackageValue(const std::string& pkg, const std::string& name, Value v);
    ClassInfo* builtin(const std::string& qualified) const;

    ClassInfo* objectClass = nullptr;
    ClassInfo* classClass = nullptr;
    ClassInfo* functionClass = nullptr;
    ClassInfo* arrayClass = nullptr;
    ClassInfo* stringClass = nullptr;
    ClassInfo* numberClass = nullptr;
    ClassInfo* intClass = nullptr;
    ClassInfo* uintClass = nullptr;
    ClassInfo* booleanClass = nullptr;
    ClassInfo* namespaceClass = nullptr;
    ClassInfo* errorClass = nullptr;
    ClassInfo* regExpClass = nullptr;

    // ---- the interpreter ----
    // A native method called: it counts as a level of call depth, so that natives calling each
    // other in a ring (toString of an array holding itself) end in the stack overflow error.
    Value callNative(MethodInfo* m, const Value& self, Args args);
    // One level of call depth for a native that recurses (JSON's reader and writer): past
    // kMaxDepth the script gets the player's stack overflow error (#1023).
    void enterNative();
    void leaveNative() { --m_depth; }
    Value runMethod(MethodInfo* m, const Value& self, Args args,
                    const std::vector<ScopeEntry>& scope, Object* callee = nullptr);
    int depth() const { return m_depth; }
    ClassInfo* currentClassFor(MethodInfo* m) const;
    // Where the running scripts stand, innermost first, as the player prints it under an
    // uncaught error: "\tat Test()" a line.
    std::string stackTrace() const;
    // Whatever a script threw and nothing caught: printed as the player's uncaught message.
    void reportUncaught(const Value& v);
    Object* globalObject() const { return m_builtinGlobal; }

private:
    friend struct Frame;
    Name runtimeName(Frame& f, std::uint32_t index);
    bool scopeHas(const ScopeEntry& e, const Name& name);
    bool globalHas(const ScopeEntry& e, const Name& name);
    // Throws the player's TypeError for null (#1009) and undefined (#1010).
    void requireObject(const Value& v);
    Value findProperty(Frame& f, const Name& name, bool strict);
    const Trait* superTrait(Frame& f, const Name& name);
    Value invokeTrait(MethodInfo* mi, const Value& receiver, Args a);
    void bindArguments(Frame& f, const Value& self, Args args, Object* callee);
    bool catchInFrame(Frame& f, const Value& thrown);
    bool stepBasic(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepArithmetic(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepBranches(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepCompare(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepTypes(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepProperties(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepSlots(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepCalls(Frame& f, const abc::Instruction& in, std::size_t at);
    bool stepObjects(Frame& f, const abc::Instruction& in, std::size_t at);
    template <class T> T* track(T* cell) {
        m_cells.push_back(cell);
        return cell;
    }
    void mark(const Value& v, std::vector<Cell*>& work);
    void markObject(Object* o, std::vector<Cell*>& work);

public:
    struct LoadedFile {
        const abc::AbcFile* file = nullptr;
        std::vector<MethodInfo*> methods;
        std::vector<ClassInfo*> classes;
        std::vector<Ns*> namespaces;          // by pool index
        std::vector<std::vector<Ns*>> nsSets; // by pool index
        std::vector<Object*> scriptGlobals;
        std::vector<bool> scriptStarted;
    };

private:
    struct DomainEntry {
        LoadedFile* file = nullptr;
        std::uint32_t script = 0;
        Object* holder = nullptr; // builtins: the object that has it
    };

public:
    // Resolution helpers the interpreter uses.
    Name staticName(LoadedFile& lf, std::uint32_t mn);
    const Value* constantValue(LoadedFile& lf, std::uint8_t kind, std::uint32_t index, Value& out);
    Object* ensureScript(LoadedFile& lf, std::uint32_t script);
    void overrideInheritedProtected(ClassInfo* c);
    ClassInfo* newClass(LoadedFile& lf, std::uint32_t index, ClassInfo* super,
                        const std::vector<ScopeEntry>& scope);
    LoadedFile* fileOf(const abc::AbcFile* f);
    std::string typeNameOf(LoadedFile& lf, std::uint32_t mn);
    // The class a type name of the block stands for (found in its namespace), or null.
    ClassInfo* classFromName(LoadedFile& lf, std::uint32_t mn);
    // The class a name of the block stands for once its script has defined it, or null.
    ClassInfo* definedClass(LoadedFile& lf, std::uint32_t mn);
    // Interfaces a class (or its bases, or their interfaces) names that are defined by now.
    void resolveInterfaces(ClassInfo* cls);
    bool findInDomain(const Name& name, DomainEntry** entry);
    Object* holderOf(DomainEntry& e);

private:
    void buildTraits(LoadedFile& lf, const std::vector<abc::Trait>& traits, Traits& out,
                     ClassInfo* owner,
                     std::vector<std::pair<std::uint32_t, std::uint32_t>>* classSlots);
    void initSlots(Object* o, const Traits& t);
    void installCoreClasses();

    std::vector<Cell*> m_cells;
    std::size_t m_cellsAtLastCollect = 0; // none made since when m_cells is still this long
    std::size_t m_charged = 0;            // bytes the heap grew by since the last collection
    std::size_t m_heapLimit = kHeapLimit;
    bool m_outOfMemory = false; // making the out-of-memory error: nothing is counted
    [[noreturn]] void throwOutOfMemory();
    std::function<void(std::string_view)> m_trace;
    std::uint64_t m_budgetLimit = 0;

public:
    std::uint64_t m_budget = 0;

private:
    int m_depth = 0;
    std::vector<MethodInfo*> m_calls; // the bytecode methods running, innermost last
    std::uint64_t m_random = 0x9E3779B97F4A7C15ULL;
    std::unordered_map<std::string, std::unique_ptr<Ns>> m_nsTable;
    std::vector<std::unique_ptr<Ns>> m_privateNs;
    Ns* m_public = nullptr;
    Ns* m_as3 = nullptr;
    std::vector<std::unique_ptr<MethodInfo>> m_methods;
    std::vector<std::unique_ptr<ClassInfo>> m_classes;
    std::vector<std::unique_ptr<LoadedFile>> m_files;
    std::unordered_map<std::string, DomainEntry> m_domain; // name + '\n' + ns uri/id
    std::vector<std::pair<LoadedFile*, std::uint32_t>> m_pendingScripts;
    std::unordered_map<std::string, ClassInfo*> m_builtins;
    Object* m_builtinGlobal = nullptr;
    std::vector<Value> m_stackRoots;

public:
    std::vector<Value>& stackRoots() { return m_stackRoots; }
    // The default XML namespace (dxns): the namespace E4X gives unqualified element names.
    std::string defaultXmlNs;
    std::string domainKey(const std::string& name, const Ns* ns) const;
};

// Holds one level of the machine's call depth for as long as it lives.
struct NativeDepth {
    explicit NativeDepth(Machine& machine) : vm(machine) { vm.enterNative(); }
    ~NativeDepth() { vm.leaveNative(); }
    NativeDepth(const NativeDepth&) = delete;
    NativeDepth& operator=(const NativeDepth&) = delete;
    Machine& vm;
};

// Argument i, undefined past the last.
inline Value arg(Args args, std::size_t i) {
    return i < args.size() ? args[i] : Value();
}

void installLanguageClasses(Machine& m);

} // namespace kinovex::flash::avm2
