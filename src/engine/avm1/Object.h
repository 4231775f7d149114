#pragma once
// Script objects: properties kept in the order they were made, a prototype, property flags,
// getter/setter pairs from addProperty. Functions, arrays, wrappers of primitives and movie
// clips are objects with a little extra state.

#include "engine/avm1/ScriptHost.h"
#include "engine/avm1/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kinovex::flash::avm1 {

class Vm;

// ASSetPropFlags bits. Besides the three that act everywhere, some hide a property from
// movies of some versions, as if it were not there.
using PropFlags = std::uint16_t;
enum PropFlag : PropFlags {
    kDontEnum = 1,
    kDontDelete = 2,
    kReadOnly = 4,
    kFromVersion6 = 0x80,
    kNotInVersion6 = 0x100,
    kFromVersion7 = 0x400,
    kFromVersion8 = 0x1000,
    kFromVersion9 = 0x2000,
};

// The property that holds an object's prototype.
inline constexpr std::string_view kProtoName = "__proto__";

struct Property {
    std::string name; // as first written
    std::string key;  // the lookup key (lower-cased for movies before version 7)
    Value value;
    Object* getter = nullptr;
    Object* setter = nullptr;
    PropFlags flags = 0;
};

// Whether a movie of `version` sees the property (see the version bits of PropFlag).
bool visibleIn(const Property& p, int version);
// Whether a movie of `version` stops at this __proto__ link when it walks a prototype chain to
// enumerate it or to test an instance. A version 5 movie stops at a link flagged for any later
// version; a later movie only at one flagged for the version after its own (a version 6 movie
// at a link flagged for 7, not at one flagged for 8): the player checks that one flag alone.
bool prototypeLinkHidden(const Property& link, int version);

enum class ObjectClass : std::uint8_t {
    Object,
    Function,
    Array,
    String,
    Number,
    Boolean,
    Date,
    Clip,
    Arguments,
    Error,
};

using NativeFunction = std::function<Value(Vm& vm, const Value& self, std::span<const Value> args)>;
// The arguments a native function is called with.
using Args = std::span<const Value>;

using Code = std::shared_ptr<const std::vector<std::uint8_t>>;
// The strings of an ActionConstantPool, made into values once: a push of one shares its text.
using ConstantPool = std::shared_ptr<const std::vector<Value>>;

// A function defined by DefineFunction or DefineFunction2, or one of ours.
struct FunctionData {
    NativeFunction native;
    // Native constructors that act on the new object (Array, Date, ...) set this so `new`
    // gives them the object instead of making a plain one.
    bool nativeConstructs = false;

    std::string name;
    Code code; // the whole action list the body sits in
    std::size_t start = 0;
    std::size_t length = 0;
    std::vector<std::string> params;
    std::vector<std::uint8_t> paramRegisters; // DefineFunction2; 0 = not in a register
    bool isFunction2 = false;
    std::uint8_t registerCount = 0;
    std::uint16_t flags = 0;
    std::vector<Object*> scope; // the scope chain where it was defined
    ConstantPool constants;
    ClipId target = 0; // the timeline it was defined on
    int version = 0;
};

// A script's watch on one name of an object: called on every write to it.
struct Watchpoint {
    std::string key; // the name as the object compares names
    Object* callback = nullptr;
    Value userData;
    int running = 0; // calls of the callback under way for this name
};

// What a host class keeps in its objects beside their properties (the tree of XML nodes). The
// objects it names live as long as the object holding it.
class HostData {
public:
    virtual ~HostData() = default;
    virtual void references(std::vector<Object*>& out) const = 0;
};

class Object {
public:
    // An object with a prototype has it as its own __proto__ property, hidden and permanent.
    Object(ObjectClass cls, Object* proto, bool caseSensitive);
    ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ObjectClass objectClass() const { return m_class; }
    void setObjectClass(ObjectClass c) { m_class = c; }
    Object* proto() const { return m_proto; }
    // Sets __proto__; lookups follow it when it is an object. Anything else (a number, null)
    // ends the chain here.
    void setProto(const Value& v);
    void setProto(Object* p) { setProto(Value(p)); }
    bool caseSensitive() const { return m_caseSensitive; }
    std::string keyOf(std::string_view name) const;

    // Own properties only; no getters are run here.
    Property* findOwn(std::string_view name);
    const Property* findOwn(std::string_view name) const;
    // Finds `name` here or on the prototype chain, following at most kMaxPrototypeLinks links;
    // with a movie version, passes over the properties that version does not see.
    // `chainTooLong` tells when the chain went on past the links without the name.
    static constexpr int kMaxPrototypeLinks = 256;
    Property* find(std::string_view name, int version, bool& chainTooLong);
    Property* find(std::string_view name, int version = 0) {
        bool tooLong = false;
        return find(name, version, tooLong);
    }
    // Sets an own data property, making it when missing (flags untouched when present).
    Property& define(std::string_view name, Value v, PropFlags flags = 0);
    // False when missing or dont-delete. Removing __proto__ ends the prototype link too,
    // unless `keepPrototype`.
    bool removeOwn(std::string_view name, bool keepPrototype = false);
    std::vector<Property>& properties() { return m_props; }
    const std::vector<Property>& properties() const { return m_props; }

    // Array elements (dense storage for arrays; indices are properties as far as scripts see).
    std::vector<Value>& elements() { return m_elements; }
    const std::vector<Value>& elements() const { return m_elements; }

    // The primitive a String/Number/Boolean/Date object wraps.
    Value& primitive() { return m_primitive; }
    const Value& primitive() const { return m_primitive; }

    FunctionData* function() { return m_function.get(); }
    const FunctionData* function() const { return m_function.get(); }
    void setFunction(std::unique_ptr<FunctionData> f) { m_function = std::move(f); }

    ClipId clip() const { return m_clip; }
    void setClip(ClipId c) { m_clip = c; }

    // Watches set by Object.watch, by name; null when there are none.
    Watchpoint* findWatch(std::string_view name);
    void setWatch(std::string_view name, Object* callback, Value userData);
    bool removeWatch(std::string_view name);
    const std::vector<Watchpoint>* watches() const { return m_watches.get(); }

    // For the host objects (Sound, Color, ...): which class made this object.
    const std::string& hostClass() const { return m_hostClass; }
    void setHostClass(std::string c) { m_hostClass = std::move(c); }

    HostData* hostData() const { return m_hostData.get(); }
    void setHostData(std::unique_ptr<HostData> data) { m_hostData = std::move(data); }

    // Garbage collection.
    bool marked = false;

private:
    // The hash a name is indexed by: FNV-1a over its bytes with ASCII letters in lower case,
    // so that one hash serves objects of either case rule along a prototype chain.
    static std::uint32_t nameHash(std::string_view name);
    Property* findIndexed(std::string_view name, std::uint32_t hash);
    void indexProperty(std::uint32_t position, std::uint32_t hash);
    void rebuildIndex();

    ObjectClass m_class;
    Object* m_proto;
    bool m_caseSensitive;
    std::vector<Property> m_props;
    // Once there are many properties: an open-addressed table, at most half full, probed from
    // a name's hash onwards. A slot holds the name's hash above the property's position plus
    // one (0 is a free slot), so that other names are passed over without reading them.
    std::vector<std::uint64_t> m_slots;
    std::vector<Value> m_elements;
    Value m_primitive;
    std::unique_ptr<FunctionData> m_function;
    ClipId m_clip = 0;
    std::string m_hostClass;
    std::unique_ptr<std::vector<Watchpoint>> m_watches; // rare: only when a script watches
    std::unique_ptr<HostData> m_hostData;
};

} // namespace kinovex::flash::avm1
