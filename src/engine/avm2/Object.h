#pragma once
// The machine's heap cells: strings and objects, with the traits (fixed properties) classes
// give their instances and the dynamic properties a script adds.

#include "engine/abc/AbcFile.h"
#include "engine/abc/Instruction.h"
#include "engine/avm2/Value.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace kinovex::flash {
class TimelineInstance;
class ScriptDrawing;
class TextField;
} // namespace kinovex::flash

namespace kinovex::flash::avm2 {

class Machine;
struct ClassInfo;
struct XmlInfo;
struct BitmapPixels;

struct Cell {
    virtual ~Cell() = default;
    // About what the cell holds on the heap, for the machine's memory count.
    virtual std::size_t bytes() const = 0;
    bool marked = false;
};

struct String : Cell {
    explicit String(std::string text) : s(std::move(text)) {}
    std::size_t bytes() const override { return sizeof(String) + s.size(); }
    std::string s;
};

// A namespace. The machine interns them: two with the same kind and URI are the same pointer,
// except private ones, each of which is its own.
struct Ns {
    abc::NamespaceKind kind = abc::NamespaceKind::Package;
    std::string uri;
    bool isPublic() const {
        return (kind == abc::NamespaceKind::Package || kind == abc::NamespaceKind::Namespace) &&
               uri.empty();
    }
};

// A property name as an instruction gives it: a local name and the namespaces it may be in.
struct Name {
    std::string name;
    std::vector<Ns*> nss;
    bool anyName = false;
    bool anyNs = false; // a name written *::x (namespace 0): XML matches it in any namespace
    bool attribute = false;
    Object* objectKey = nullptr; // a late name given as an object (a Dictionary's key)
    bool hasPublic() const {
        for (const Ns* ns : nss) {
            if (ns->isPublic()) {
                return true;
            }
        }
        return false;
    }
};

using Args = std::span<Value>;
using NativeFn = Value (*)(Machine&, Value self, Args args);

// A method: bytecode of an ABC block, or native.
struct MethodInfo {
    const abc::AbcFile* file = nullptr;
    std::uint32_t index = 0;
    const abc::MethodBody* body = nullptr;
    bool refused = false;
    int refusal = 0; // the player's VerifyError number for why, 0 when it has none
    NativeFn native = nullptr;
    std::string name;
    std::uint32_t paramCount = 0;
    // Decoded on first call.
    bool decoded = false;
    abc::DecodedCode code;
    std::vector<std::int32_t> indexAt; // instruction index of each code offset, -1 between
    ClassInfo* owner = nullptr;        // the class whose trait it is (super calls, its scope)
    Object* scriptGlobal = nullptr;    // a script's trait: its global object is its scope
    ClassInfo* activation = nullptr;   // traits of its activation (newactivation)
};

struct Trait {
    enum Type : std::uint8_t { Slot, Const, Method, Accessor };
    Type type = Slot;
    Ns* ns = nullptr;
    std::uint32_t slot = 0;       // Slot/Const: index into Object::slots
    MethodInfo* method = nullptr; // Method
    MethodInfo* getter = nullptr;
    MethodInfo* setter = nullptr;
    std::uint32_t dispId = 0;
};

struct SlotInfo {
    std::string typeName; // "" for any
    Value initial;
    bool isConst = false;
};

struct Traits {
    std::unordered_map<std::string, std::vector<Trait>> byName;
    std::vector<SlotInfo> slots;
    std::vector<std::pair<std::string, const Trait*>> slotNames; // for describe/enumeration

    // The trait `name` stands for; `as3` (the builtin classes' namespace) also finds public ones.
    const Trait* find(const Name& name, const Ns* as3) const;
    const Trait* findNs(const std::string& name, const Ns* ns) const;
    Trait* findExact(const std::string& name, const Ns* ns);
};

enum class ObjKind : std::uint8_t {
    Plain,
    Function,
    Class,
    Array,
    Activation,
    Global,
    Namespace,
    Display,
    Boxed,
    Error,
    Event,
    Date,
    RegExp,
    Dictionary,
    ByteArray,
    Proxy,
    Xml,
    XmlList,
};

struct DynProp {
    std::string name;
    Value value;
    bool enumerable = true;
    bool deleted = false;
};

struct ScopeEntry {
    Value v;
    bool with = false;
};

struct Object : Cell {
    std::size_t bytes() const override {
        return sizeof(Object) + (slots.size() + elems.size()) * sizeof(Value) +
               dyn.size() * (sizeof(DynProp) + 32) + byteData.size();
    }
    ObjKind kind = ObjKind::Plain;
    ClassInfo* cls = nullptr; // the class whose traits it has (null: a plain Object)
    Object* proto = nullptr;
    std::vector<Value> slots;
    std::vector<DynProp> dyn;
    std::unordered_map<std::string, std::uint32_t> dynIndex;
    std::uint32_t liveDyn = 0;

    // Function: the method, its scope and (method closures) its receiver.
    MethodInfo* method = nullptr;
    std::vector<ScopeEntry> scope;
    Value boundThis;
    bool isClosure = false;
    // Class objects: the class.
    ClassInfo* classInfo = nullptr;
    // Arrays.
    std::vector<Value> elems;
    // Boxed primitives, namespaces (uri in a string), errors' stack, dates' time.
    Value primitive;
    double number = 0;
    Ns* ns = nullptr;
    // Display objects: the timeline instance (sprites) this object speaks for.
    TimelineInstance* clip = nullptr;
    std::uint64_t clipId = 0;
    // Display objects a script made: what their graphics drew (clips keep theirs on the clip).
    std::shared_ptr<ScriptDrawing> drawing;
    // Text fields a script made: the field.
    std::shared_ptr<TextField> textField;
    // BitmapData: its pixels (null once disposed).
    std::shared_ptr<BitmapPixels> pixels;
    // Event targets: listeners by event type.
    struct Listener {
        Object* fn;
        bool capture;
        int priority;
    };
    std::unordered_map<std::string, std::vector<Listener>> listeners;
    // Display objects: the script side of the display tree, and the frame whose script ran last.
    std::vector<Object*> children;
    Object* parentObj = nullptr;
    std::int64_t lastFrame = -1;
    // Dictionaries: the objects used as keys (their values are dynamic properties); XML
    // elements: their attributes.
    std::vector<Object*> keyObjects;
    // Frame scripts (addFrameScript), by 0-based frame.
    std::unordered_map<std::uint32_t, Object*> frameScripts;
    // Byte arrays: the bytes, where reading and writing stand, and the byte order.
    std::vector<std::uint8_t> byteData;
    std::uint32_t bytePos = 0;
    bool littleEndian = false;
    // XML nodes: what the node is (XmlNode.h).
    std::shared_ptr<XmlInfo> xml;

    DynProp* findDyn(const std::string& name) {
        auto it = dynIndex.find(name);
        return it == dynIndex.end() || dyn[it->second].deleted ? nullptr : &dyn[it->second];
    }
    void setDyn(const std::string& name, Value v);
    bool deleteDyn(const std::string& name);
};

// A class: its traits, initialisers and class object.
struct ClassInfo {
    std::string name; // local name
    Ns* ns = nullptr; // its package
    ClassInfo* super = nullptr;
    std::vector<ClassInfo*> interfaces;
    std::vector<std::uint32_t> pendingInterfaces; // of `file`, not defined when it was made
    bool isInterface = false;
    bool sealed = false;
    bool isFinal = false;
    Traits instanceTraits;
    Traits staticTraits;
    MethodInfo* init = nullptr;  // instance initialiser
    MethodInfo* cinit = nullptr; // static initialiser
    Ns* protectedNs = nullptr;
    Object* classObj = nullptr;
    Object* prototype = nullptr;
    ObjKind instanceKind = ObjKind::Plain;
    std::vector<ScopeEntry> scope; // scope of its methods: where newclass ran, then the class
    // Builtin: runs before the instance initialiser with the constructor's arguments.
    NativeFn nativeInit = nullptr;
    // Builtin: what calling the class as a function does (a conversion); null: construct.
    NativeFn callAsFunction = nullptr;
    const abc::AbcFile* file = nullptr;
    std::int32_t abcIndex = -1;
    std::uint16_t symbolId = 0; // a timeline symbol linked to it
    // Vectors: the class of Vector.<T>, with T's qualified name ("" for Vector.<*>).
    bool isVector = false;
    std::string vectorOf;

    std::string qualifiedName() const {
        return ns == nullptr || ns->uri.empty() ? name : ns->uri + "::" + name;
    }
    bool isSubclassOf(const ClassInfo* other) const;
};

} // namespace kinovex::flash::avm2
