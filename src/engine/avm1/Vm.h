#pragma once
// The ActionScript 1/2 interpreter. One per movie; it owns every script object and frees the
// unreachable ones when it collects garbage (the host has it do so between frames).
//
// The player calls, for each frame: beginFrame(); the frame's DoInitAction lists (once per
// sprite, before its first use) and DoAction lists in tag order with runActions(); clip events
// with callHandler() (onEnterFrame and friends) or runActions() for PlaceObject clip actions;
// then collectWhenGrown().

#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptHost.h"
#include "engine/avm1/Value.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kinovex::flash::avm1 {

struct Frame;

// The player version scripts see ($version on every level).
inline constexpr std::string_view kPlayerVersion = "WIN 9,0,999,0";

class Vm {
public:
    Vm(ScriptHost& host, int swfVersion);
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    // Starts a frame: resets the instruction budget and fires intervals that are due.
    void beginFrame();
    // Runs one action list on `clip`'s timeline. The bytes are kept alive as long as functions
    // defined in them are.
    void runActions(ClipId clip, Code code);
    void runActions(ClipId clip, std::vector<std::uint8_t> code);
    // Runs a frame's actions for a running script's `call`; a stop for running too deep or too
    // long leaves through the caller.
    void runCalledFrame(ClipId clip, const Code& code);
    // Calls clip.name() when it is a function (onEnterFrame, onPress, ...). Returns false when
    // there is no such function.
    bool callHandler(ClipId clip, std::string_view name, std::span<const Value> args = {});
    // A clip made from the library symbol `linkage` (attachMovie, or placed by a timeline): its
    // script object gets the class Object.registerClass named for the symbol, and the class
    // constructor runs on it, after `beforeConstructor` (the clip's own initialize actions).
    // Returns false, and runs nothing, when no class is registered for the symbol.
    bool initClipClass(ClipId clip, std::string_view linkage,
                       const std::function<void()>& beforeConstructor = {});
    // The class Object.registerClass named for the symbol `linkage`, if any.
    Object* registeredClass(std::string_view linkage);
    // A variable as a script on `clip`'s timeline sees it; `path` may be a plain name or a
    // slash or dot path ("score", "/hud:score", "_root.hud.score"). For text fields bound to
    // variables.
    Value getVariable(ClipId clip, std::string_view path);
    void setVariable(ClipId clip, std::string_view path, const Value& v);
    // The player removed a clip: its script object stops standing for it.
    void clipRemoved(ClipId clip);
    // A clip was made: its target path as it is now is where references to it look once it
    // has left. A clip left its parent's display list: from then on a reference to it stands
    // for the clip at that path, or for nothing when there is none.
    void clipMade(ClipId clip);
    void clipLeft(ClipId clip);
    // The clip a clip object stands for now: its own while it is there, else the one its
    // reference finds (0 for none). Objects of other kinds stand for no clip.
    ClipId referencedClip(const Object* o) const;
    // Whether `o` is a clip object whose clip left (not one that still runs its unload handler).
    bool isLeftClip(const Object* o) const { return leftClipOf(o) != 0; }
    // Objects that are one, or references that find the same clip, or both find none.
    bool sameObject(const Object* a, const Object* b) const;
    // Frees what no script can reach any more.
    void collectGarbage();
    // The same between frames, once the heap has grown by half of what the last collection
    // left (and by a thousand objects at least): a frame that makes a few objects does not walk
    // every object there is, and the heap stays within one and a half times what is reachable.
    void collectWhenGrown();
    // Objects the host keeps (listeners it was given, sound objects it plays) must survive
    // collection while it holds them: keepAlive counts a hold, release drops one.
    void keepAlive(Object* o);
    void release(Object* o);

    // Instructions one frame may run before the running script is stopped.
    void setInstructionBudget(std::uint64_t budget) { m_budget = budget; }
    std::uint64_t instructionsRun() const { return m_totalInstructions; }
    void setRecursionLimit(int limit) { m_recursionLimit = limit; }

    int version() const { return m_version; }
    ScriptHost& host() { return m_host; }
    Object* global() { return m_global; }
    Object* clipObject(ClipId clip);               // made on first use; null for 0
    Object* existingClipObject(ClipId clip) const; // null when no script has used the clip
    // Calls o.name() when it is a function, as callHandler does for clips (a listener's
    // onMouseDown, a removed clip's onUnload). False when there is no such function.
    bool callMethod(Object* o, std::string_view name, std::span<const Value> args = {});
    std::size_t objectCount() const { return m_heap.size(); }

    // ---- for the built-ins and the host adapter ----
    Object* newObject(Object* proto = nullptr); // proto defaults to Object.prototype
    // Every array owns a hidden, permanent length; one made by a literal or by the player
    // itself also owns a hidden constructor, which `new Array` leaves to the new operator.
    Object* newArray(std::vector<Value> elements = {});
    Object* newConstructedArray(std::vector<Value> elements);
    Object* newFunction(NativeFunction f, std::string_view name = {}, bool constructs = false);
    Object* newObjectOfClass(ObjectClass cls, Object* proto);
    Object* objectPrototype() { return m_objectProto; }
    Object* objectConstructor() { return m_objectCtor; }
    Object* functionPrototype() { return m_functionProto; }
    Object* arrayPrototype() { return m_arrayProto; }
    Object* stringPrototype() { return m_stringProto; }
    // The String constructor the player made (a script may put another on _global).
    Object* stringConstructor() { return m_stringCtor; }
    Object* numberPrototype() { return m_numberProto; }
    Object* booleanPrototype() { return m_booleanProto; }
    Object* clipPrototype() { return m_clipProto; }
    Object* buttonPrototype() { return m_buttonProto; }
    Object* errorPrototype() { return m_errorProto; }
    // An array made by a literal or by calling Array as a function takes the prototype that
    // _global.Array has at that moment (none once a script deleted Array).
    void takeArrayPrototypeNow(Object* array);
    void setFunction(Object* target, std::string_view name, NativeFunction f,
                     PropFlags flags = kDontEnum | kDontDelete);
    // True while a native constructor runs for `new` (String(x) and new String(x) differ).
    bool constructing() const { return m_constructing; }
    // Whether the script function running now was called with `new` (false outside one).
    bool scriptConstructed() const {
        return !m_scriptConstructed.empty() && m_scriptConstructed.back();
    }

    // Conversions, with this movie's version rules.
    double toNumber(const Value& v);
    std::string toString(const Value& v);
    bool toBoolean(const Value& v) const;
    // An object's value for the operators: what its valueOf gives (for `adding`, a Date's
    // toString from version 6) when that is not an object, else the object itself. Clips stay
    // themselves.
    Value toPrimitive(const Value& v, bool adding = false);
    Object* toObject(const Value& v); // null for undefined/null
    std::string typeOf(const Value& v);
    bool abstractEquals(const Value& a, const Value& b);
    bool strictEquals(const Value& a, const Value& b) const;
    // a < b: true, false, or undefined when a number is NaN.
    Value lessThan(const Value& a, const Value& b);

    // Members, with getters/setters, clip properties and array elements.
    Value getMember(const Value& object, std::string_view name);
    Value getMember(Object* object, std::string_view name, const Value& self);
    // A script's read of a member: a name found nowhere on the object's chain goes to the
    // chain's __resolve function, called with the name.
    Value getScriptMember(const Value& object, std::string_view name);
    // That fallback alone; nothing unless the value in the first __resolve slot on `object`'s
    // chain is a function.
    std::optional<Value> resolveMissing(Object* object, std::string_view name);
    void setMember(const Value& object, std::string_view name, const Value& v);
    void setMember(Object* object, std::string_view name, const Value& v);
    bool deleteMember(Object* object, std::string_view name);
    bool hasProperty(Object* object, std::string_view name);
    // What getMember gives when hasProperty holds, else nothing: a scope's read of a variable,
    // looking the name up once where the object allows it.
    std::optional<Value> findMember(Object* object, std::string_view name);
    // Names a for..in loop sees, in the order the loop pushes them.
    std::vector<std::string> enumerate(Object* object);

    // v, or a NaN just computed in a box of its own (see markedNaN).
    Value boxed(const Value& v) {
        return v.isNumber() && std::isnan(v.asNumber()) && !isMarkedNaN(v.asNumber())
                   ? Value(markedNaN(m_nanBoxes++))
                   : v;
    }
    // A throw that a return in a finally block cut short is not forgotten: the next try block to
    // end in the same frame's actions catches undefined.
    void noteStrayThrow() { m_strayThrow = true; }
    bool takeStrayThrow() { return std::exchange(m_strayThrow, false); }
    Value call(const Value& function, const Value& self, std::span<const Value> args);
    // A call on an object (o.f(), f.call(o)): a script function gets a super one step above
    // the object's prototype, wherever on the chain the function was found.
    Value callAsMethod(const Value& function, const Value& self, std::span<const Value> args);
    // A script's o.name(): from version 7 the function's super stands one step above the object
    // on o's chain that holds `name` (above o's prototype when o holds it itself).
    Value callFoundMethod(const Value& function, const Value& self, std::string_view name,
                          std::span<const Value> args);
    // The first object on o's chain with its own `name` visible to this movie; null for none.
    Object* holderOf(Object* o, std::string_view name);
    Value construct(const Value& constructor, std::span<const Value> args);
    bool instanceOf(const Value& v, Object* constructor);
    // "_level0.a.b", as TargetPath and clips turned to text give it.
    std::string targetPath(ClipId clip);
    // "/a/b", as the _target property gives it ("/" for the root).
    std::string slashPath(ClipId clip);
    ClipId resolveTarget(ClipId base, std::string_view path);
    // The object a target path names when read from `start` ("a/b", "../a", "_root.a", "a:b"):
    // a leading slash starts at `root`, ".." steps to the parent clip, and ':' '/' '.' part the
    // names (a dot only before the first slash). Null when a step names nothing that is an
    // object, and for a path with no step at all ("", ":").
    Object* resolvePath(Object* start, ClipId root, std::string_view path);
    // The level (the clip with no parent) that `clip` is on.
    // What _root is to `clip`: the nearest clip around it, itself included, whose _lockroot is
    // true (from version 7); the main timeline when there is none.
    ClipId rootOf(ClipId clip);
    ClipId levelOf(ClipId clip);

    // Longest string and array a script may make. A script doubling a string in a loop would
    // otherwise take all memory before the budget stops it; it is stopped and reported instead.
    static constexpr std::size_t kMaxStringSize = std::size_t{32} << 20;
    static constexpr std::size_t kMaxArrayLength = std::size_t{4} << 20;
    void checkStringSize(std::size_t size);
    void checkArrayLength(std::size_t length);
    // An array's length as scripts read and write it.
    Value arrayLengthValue(Object* array);
    void writeArrayLength(Object* array, const Value& v);

    // Throws a script exception from a native function.
    [[noreturn]] void throwValue(const Value& v);
    void report(const std::string& message);

    // setInterval bookkeeping (the built-in registers here).
    int addInterval(Value function, Value self, std::string method, std::vector<Value> args,
                    double periodMs, bool once = false);
    void clearInterval(int id);
    // When the interval due first calls next (on the host's clock); none while none is set.
    std::optional<double> nextIntervalDueMs() const;

    // The movie's random numbers, in [0, 1). Seeded the same way every run, so a movie plays the
    // same each time it is converted.
    double random();

    // Array elements as a vector (for native functions that take arrays).
    std::uint32_t arrayLength(Object* array);

    // ASnative(group, index): the player's functions by number, kept for good once registered.
    void registerNative(int group, int index, Object* function);
    Object* native(int group, int index) const;

private:
    Object* wrapperOf(const Value& v, ObjectClass cls, Object* proto);
    // The names from the level down to `clip` (not the level's own), and the level clip.
    std::vector<std::string> namesFromLevel(ClipId clip, ClipId& level);
    // One name of a target path read on `o`: a child clip first, then a member.
    Value pathStep(Object* o, std::string_view name);

    friend struct Interpreter;
    struct Interval {
        int id;
        Value function; // or the object whose `method` is called
        Value self;
        std::string method;
        std::vector<Value> args;
        double period;
        double next;
        bool once; // setTimeout: gone after its call
    };

    void installBuiltins();
    // Object::find, stopping the running script when the chain is longer than the player's.
    Property* findInChain(Object* o, std::string_view name);
    // o's prototype as instanceof and for..in see it: none when o has no __proto__ property,
    // or when this movie's version stops at its link (see prototypeLinkHidden).
    Object* linkedProto(Object* o) const;
    // The first getter/setter pair for `name` above o on its chain.
    Property* accessorAbove(Object* o, std::string_view name);
    // setMember's two steps: the watch on the name, if any, then the write itself.
    void writeWatched(Object* o, std::string_view name, const Value& v, Watchpoint& w);
    void writeMember(Object* o, std::string_view name, const Value& v);
    static constexpr int kWatchNesting = 65;
    // o.name() for a conversion; undefined when o has no such method.
    Value callConversion(Object* o, std::string_view name);
    // super as text: the toString above its level, run on its `this`.
    std::string superToString(Object* super);
    Value runFunction(Object* function, const Value& self, std::span<const Value> args,
                      Object* super = nullptr);
    void mark(Object* o);
    void markValue(const Value& v);
    bool chargeInstructions(std::uint64_t n);
    // Calls, with blocks and try blocks nest on the machine's stack: all count against the
    // recursion limit.
    void enterNested();
    // True when one more nested call stays within the recursion limit.
    bool canNest() const { return m_depth + (m_runningActions ? 1 : 0) < m_recursionLimit; }
    struct NestingGuard {
        explicit NestingGuard(Vm& vm) : m_vm(vm) { vm.enterNested(); }
        ~NestingGuard() { --m_vm.m_depth; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;
        Vm& m_vm;
    };
    // Native functions do not count toward the script's recursion limit (a toString that
    // converts its own object through String() ends at the limit with a text); they have a
    // bound of their own so that natives calling natives cannot run the stack out.
    struct NativeGuard {
        explicit NativeGuard(Vm& vm);
        ~NativeGuard() { --m_vm.m_nativeDepth; }
        NativeGuard(const NativeGuard&) = delete;
        NativeGuard& operator=(const NativeGuard&) = delete;
        Vm& m_vm;
    };
    static constexpr int kMaxNativeNesting = 1024;

    ScriptHost& m_host;
    int m_version;
    std::vector<std::unique_ptr<Object>> m_heap;
    // Something was made, or a root the host held let go, since the last collection: only
    // then can a collection find garbage it has not already freed or left to the next one.
    bool m_collectDue = true;
    std::size_t m_survivors = 0; // objects the last collection left
    Object* m_global = nullptr;
    Object* m_objectProto = nullptr;
    Object* m_objectCtor = nullptr;
    Object* m_functionCtor = nullptr;
    Object* m_functionProto = nullptr;
    Object* m_arrayProto = nullptr;
    Object* m_arrayCtor = nullptr;
    Object* m_stringProto = nullptr;
    Object* m_stringCtor = nullptr;
    Object* m_numberProto = nullptr;
    Object* m_booleanProto = nullptr;
    Object* m_clipProto = nullptr;
    Object* m_buttonProto = nullptr;
    Object* m_errorProto = nullptr;
    std::unordered_map<ClipId, Object*> m_clips;
    // Where clips were made (by level and names), for those there and those that left; the
    // objects of clips that left (their own clip id cleared).
    struct MadeAt {
        ClipId level = 0;
        std::vector<std::string> names;
    };
    std::unordered_map<ClipId, MadeAt> m_madeAt;
    std::unordered_map<ClipId, MadeAt> m_leftClips;
    std::unordered_map<const Object*, ClipId> m_leftClipObjects;
    ClipId leftClipOf(const Object* o) const;
    ClipId findLeftClip(ClipId clip) const;
    void forgetUnreachableLeftClips();
    std::vector<Object*> m_extraRoots;
    std::unordered_map<std::int64_t, Object*> m_natives; // by group << 16 | index
    std::vector<Interval> m_intervals;
    int m_nextInterval = 1;
    std::uint64_t m_randomState = 0x853c49e6748fea9bULL;
    std::uint64_t m_nanBoxes = 0;
    bool m_strayThrow = false; // see noteStrayThrow

    Value m_globalRegisters[4];
    std::uint64_t m_budget = 20'000'000;
    std::uint64_t m_usedThisFrame = 0;
    std::uint64_t m_totalInstructions = 0;
    bool m_budgetReported = false;
    bool m_recursionReported = false;
    bool m_chainReported = false;
    int m_recursionLimit = 256;
    int m_depth = 0;
    int m_nativeDepth = 0;
    bool m_runningActions = false;       // runActions is on the stack
    bool m_constructing = false;         // a native constructor is being called with `new`
    Object* m_runningFunction = nullptr; // the script function running, for arguments.caller
    // One entry a running script function: whether `new` called it. m_constructingScript
    // marks the next script function run as one `new` calls.
    std::vector<bool> m_scriptConstructed;
    bool m_constructingScript = false;
};

} // namespace kinovex::flash::avm1
