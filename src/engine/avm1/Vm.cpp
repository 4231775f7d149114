#include "engine/avm1/Vm.h"

#include "engine/avm1/Interpreter.h"
#include "engine/avm1/Names.h"
#include "engine/avm1/Utf8.h"
#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/builtins/Geom.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kinovex::flash::avm1 {

namespace {
constexpr int kMaxIntervalCalls = 10; // per interval and frame
}

Vm::Vm(ScriptHost& host, int swfVersion) : m_host(host), m_version(swfVersion) {
    installBuiltins();
}

Vm::~Vm() = default;

void Vm::installBuiltins() {
    m_objectProto = newObjectOfClass(ObjectClass::Object, nullptr);
    m_functionProto = newObjectOfClass(ObjectClass::Object, m_objectProto);
    m_global = newObject();
    installObjectClass(*this);
    installFunctionClass(*this);
    m_objectCtor = m_objectProto->findOwn("constructor")->value.asObject();
    m_functionCtor = m_functionProto->findOwn("constructor")->value.asObject();
    // The functions made so far were made before Function was; they get their constructor now.
    for (const auto& o : m_heap) {
        if (o->objectClass() == ObjectClass::Function && !o->findOwn("constructor")) {
            o->define("constructor", Value(m_functionCtor), kDontEnum | kDontDelete);
        }
    }
    // Object is sealed: its links and registerClass are read-only.
    for (Property& p : m_objectCtor->properties()) {
        p.flags |= kReadOnly;
    }
    m_arrayProto = installArrayClass(*this);
    m_arrayCtor = m_arrayProto->findOwn("constructor")->value.asObject();
    m_stringProto = installStringClass(*this);
    m_stringCtor = m_stringProto->findOwn("constructor")->value.asObject();
    m_numberProto = installNumberClass(*this);
    m_booleanProto = installBooleanClass(*this);
    installMathObject(*this);
    installDateClass(*this);
    m_errorProto = installErrorClass(*this);
    installAsBroadcaster(*this);
    installGlobalFunctions(*this);
    m_clipProto = installMovieClipClass(*this);
    m_buttonProto = installButtonClass(*this);
    installPointClass(*this);
    installRectangleClass(*this);
    installColorTransformClass(*this);
    installMatrixClass(*this);
    installFilterClasses(*this);
    installContextMenuClasses(*this);
    installSystemObject(*this);
}

double Vm::random() {
    // xorshift64*: fast, and the same sequence on every machine.
    m_randomState ^= m_randomState >> 12;
    m_randomState ^= m_randomState << 25;
    m_randomState ^= m_randomState >> 27;
    const std::uint64_t r = m_randomState * 2685821657736338717ULL;
    return static_cast<double>(r >> 11) / 9007199254740992.0;
}

Object* Vm::newObjectOfClass(ObjectClass cls, Object* proto) {
    m_heap.push_back(std::make_unique<Object>(cls, proto, m_version >= 7));
    m_collectDue = true;
    Object* o = m_heap.back().get();
    // Every function has its own constructor, Function, hidden and permanent like __proto__,
    // and a __proto__ that movies of version 5 do not see.
    if (cls == ObjectClass::Function) {
        if (m_functionCtor) {
            o->define("constructor", Value(m_functionCtor), kDontEnum | kDontDelete);
        }
        if (Property* link = o->findOwn(kProtoName)) {
            link->flags |= kFromVersion6;
        }
    }
    return o;
}

Object* Vm::newObject(Object* proto) {
    return newObjectOfClass(ObjectClass::Object, proto ? proto : m_objectProto);
}

Object* Vm::newConstructedArray(std::vector<Value> elements) {
    Object* a = newObjectOfClass(ObjectClass::Array, m_arrayProto);
    a->elements() = std::move(elements);
    // The slot only makes the name an own one: reads and writes go to the elements.
    a->define("length", Value(), kDontEnum | kDontDelete);
    return a;
}

Object* Vm::newArray(std::vector<Value> elements) {
    Object* a = newConstructedArray(std::move(elements));
    if (m_arrayCtor) {
        a->define("constructor", Value(m_arrayCtor), kDontEnum | kDontDelete);
    }
    return a;
}

void Vm::takeArrayPrototypeNow(Object* array) {
    const Value ctor = getMember(m_global, "Array", Value(m_global));
    const Value proto = ctor.isObject() ? getMember(ctor, "prototype") : Value();
    if (!proto.isObject() || proto.asObject() != array->proto()) {
        array->setProto(proto);
    }
}

Object* Vm::newFunction(NativeFunction f, std::string_view name, bool constructs) {
    Object* fn = newObjectOfClass(ObjectClass::Function, m_functionProto);
    auto data = std::make_unique<FunctionData>();
    data->native = std::move(f);
    data->nativeConstructs = constructs;
    data->name = std::string(name);
    fn->setFunction(std::move(data));
    return fn;
}

void Vm::setFunction(Object* target, std::string_view name, NativeFunction f, PropFlags flags) {
    target->define(name, newFunction(std::move(f), name), flags).flags = flags;
}

Object* Vm::clipObject(ClipId clip) {
    if (clip == 0) {
        return nullptr;
    }
    auto it = m_clips.find(clip);
    if (it != m_clips.end()) {
        return it->second;
    }
    Object* o =
        newObjectOfClass(ObjectClass::Clip, m_host.isButton(clip) ? m_buttonProto : m_clipProto);
    o->setClip(clip);
    m_clips.emplace(clip, o);
    // Every level's main timeline carries the player's version, as a plain variable.
    if (!m_host.isButton(clip) && m_host.parentClip(clip) == 0 && m_host.clipExists(clip)) {
        o->define("$version", Value(std::string(kPlayerVersion)), 0);
    }
    return o;
}

Object* Vm::registeredClass(std::string_view linkage) {
    // Movies of version 5 can call Object.registerClass, but their clips never take the class.
    if (m_version < 6) {
        return nullptr;
    }
    const Property* registry = m_global->findOwn("__registeredClasses");
    if (!registry || !registry->value.isObject()) {
        return nullptr;
    }
    const Property* entry = registry->value.asObject()->findOwn(linkage);
    if (!entry || !entry->value.isObject() || !entry->value.asObject()->function()) {
        return nullptr;
    }
    return entry->value.asObject();
}

bool Vm::initClipClass(ClipId clip, std::string_view linkage,
                       const std::function<void()>& beforeConstructor) {
    Object* ctor = registeredClass(linkage);
    Object* o = ctor ? clipObject(clip) : nullptr;
    if (!o) {
        return false;
    }
    const Value proto = getMember(ctor, "prototype", Value(ctor));
    if (proto.isObject()) {
        o->setProto(proto.asObject());
    }
    o->define("__constructor__", Value(ctor), kDontEnum);
    if (beforeConstructor) {
        beforeConstructor();
    }
    try {
        runFunction(ctor, Value(o), {}, proto.isObject() ? proto.asObject() : nullptr);
    } catch (const ScriptThrow& t) {
        report("Uncaught exception: " + toString(t.value));
    } catch (const ScriptAbort&) {
    }
    return true;
}

Value Vm::getVariable(ClipId clip, std::string_view path) {
    if (!m_host.clipExists(clip)) {
        return {};
    }
    Interpreter in(*this);
    Frame f = in.topLevelFrame(clip);
    try {
        return in.getVariable(f, path);
    } catch (const ScriptThrow&) {
    } catch (const ScriptAbort&) {
    }
    return {};
}

void Vm::setVariable(ClipId clip, std::string_view path, const Value& v) {
    if (!m_host.clipExists(clip)) {
        return;
    }
    Interpreter in(*this);
    Frame f = in.topLevelFrame(clip);
    try {
        in.setVariable(f, path, v);
    } catch (const ScriptThrow&) {
    } catch (const ScriptAbort&) {
    }
}

void Vm::clipRemoved(ClipId clip) {
    m_madeAt.erase(clip);
    auto it = m_clips.find(clip);
    if (it != m_clips.end()) {
        if (m_leftClips.count(clip) != 0) {
            m_leftClipObjects[it->second] = clip;
        }

        it->second->setClip(0);
        m_clips.erase(it);
    }
}

void Vm::report(const std::string& message) {
    m_host.report(message);
}

void Vm::checkStringSize(std::size_t size) {
    if (size > kMaxStringSize) {
        report("A script made a string of " + std::to_string(size) + " bytes and was stopped");
        throw ScriptAbort{};
    }
}

void Vm::checkArrayLength(std::size_t length) {
    if (length > kMaxArrayLength) {
        report("A script made an array of " + std::to_string(length) + " items and was stopped");
        throw ScriptAbort{};
    }
}

void Vm::throwValue(const Value& v) {
    throw ScriptThrow{v};
}

// ---- members ----

namespace {

// "12" -> 12; anything that is not a canonical array index -> -1.
long long arrayIndex(std::string_view name) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) {
        return -1;
    }
    long long v = 0;
    for (char c : name) {
        if (c < '0' || c > '9') {
            return -1;
        }
        v = v * 10 + (c - '0');
    }
    return v < 4294967295LL ? v : -1;
}

int clipPropertyIndex(std::string_view name, bool caseSensitive) {
    if (name.empty() || name[0] != '_') {
        return -1;
    }
    for (int i = 0; i < kClipPropertyCount; ++i) {
        if (sameName(name, clipPropertyName(static_cast<ClipProperty>(i)), caseSensitive)) {
            return i;
        }
    }
    return -1;
}

} // namespace

Value Vm::arrayLengthValue(Object* array) {
    // What a script wrote stands while the elements still number what it asked for.
    const Property* slot = array->findOwn("length");
    if (slot && !slot->value.isUndefined()) {
        const std::int32_t asked = toInt32(toNumber(slot->value));
        if (static_cast<std::size_t>(std::max(asked, 0)) == array->elements().size()) {
            return slot->value;
        }
    }
    return Value(static_cast<double>(array->elements().size()));
}

void Vm::writeArrayLength(Object* array, const Value& v) {
    // The elements are cut or padded to the length as a 32-bit integer (none when it is not
    // positive); a length that is no such count reads back as it was written.
    const double n = toNumber(v);
    const std::int32_t count = std::max(toInt32(n), 0);
    checkArrayLength(static_cast<std::size_t>(count));
    array->elements().resize(static_cast<std::size_t>(count));
    const bool plain = v.isNumber() && n == static_cast<double>(count);
    if (Property* slot = array->findOwn("length")) {
        slot->value = plain ? Value() : v;
    }
}

std::uint32_t Vm::arrayLength(Object* array) {
    if (array->objectClass() == ObjectClass::Array) {
        return static_cast<std::uint32_t>(array->elements().size());
    }
    return toUint32(toNumber(getMember(array, "length", Value(array))));
}

Value Vm::getMember(const Value& object, std::string_view name) {
    // A primitive's own links are its wrapper's.
    const bool cs = m_version >= 7;
    if (!object.isObject() && !object.isNullish() &&
        (sameName(name, kProtoName, cs) || sameName(name, "__constructor__", cs))) {
        return getMember(toObject(object), name, object);
    }
    if (object.isString()) {
        if (sameName(name, "length", cs)) {
            return Value(static_cast<double>(utf8Length(object.asString())));
        }
        return getMember(m_stringProto, name, object);
    }
    if (object.isNumber()) {
        return getMember(m_numberProto, name, object);
    }
    if (object.isBool()) {
        return getMember(m_booleanProto, name, object);
    }
    if (!object.isObject()) {
        return {};
    }
    return getMember(object.asObject(), name, object);
}

Value Vm::getMember(Object* o, std::string_view name, const Value& self) {
    // A clip that left is read through its reference: the clip there now, or nothing.
    if (isLeftClip(o)) {
        const ClipId now = referencedClip(o);
        Object* live = now != 0 ? clipObject(now) : nullptr;
        return live != nullptr ? getMember(live, name, Value(live)) : Value();
    }
    const bool cs = m_version >= 7;
    if (o->objectClass() == ObjectClass::Array) {
        const long long i = arrayIndex(name);
        if (i >= 0) {
            auto& el = o->elements();
            const auto index = static_cast<std::size_t>(i);
            return index < el.size() && !el[index].isHole() ? el[index] : Value();
        }
        if (sameName(name, "length", cs)) {
            return arrayLengthValue(o);
        }
    }
    if (o->objectClass() == ObjectClass::String && sameName(name, "length", cs)) {
        return Value(static_cast<double>(utf8Length(o->primitive().asString())));
    }
    const ClipId clip = o->objectClass() == ObjectClass::Clip ? o->clip() : 0;
    if (clip != 0 && !name.empty() && name[0] == '_') {
        // A clip's own property, then a child of that name, come before its built-in one.
        if (Property* own = o->findOwn(name); own != nullptr && visibleIn(*own, m_version)) {
            return own->getter ? call(Value(own->getter), self, {}) : own->value;
        }
        if (const ClipId child = m_host.childClip(clip, name, cs)) {
            return Value(clipObject(child));
        }
        const int p = clipPropertyIndex(name, cs);
        if (p == static_cast<int>(ClipProperty::Target)) {
            return Value(slashPath(clip));
        }
        if (p == static_cast<int>(ClipProperty::Name)) {
            return Value(m_host.clipName(clip));
        }
        if (p >= 0) {
            return m_host.getClipProperty(clip, static_cast<ClipProperty>(p));
        }
        if (sameName(name, "_parent", cs)) {
            const ClipId parent = m_host.parentClip(clip);
            return parent ? Value(clipObject(parent)) : Value();
        }
        if (sameName(name, "_root", cs)) {
            return Value(clipObject(rootOf(clip)));
        }
        if (sameName(name, "_global", cs) && m_version >= 6) {
            return Value(m_global);
        }
        if (name.size() > 6 && sameName(name.substr(0, 6), "_level", cs)) {
            const long long n = arrayIndex(name.substr(6));
            if (n >= 0) {
                const ClipId level = m_host.levelClip(static_cast<int>(n));
                return level ? Value(clipObject(level)) : Value();
            }
        }
    }
    if (Property* p = findInChain(o, name)) {
        if (p->getter) {
            return call(Value(p->getter), self, {});
        }
        return p->value;
    }
    if (clip != 0) {
        const ScriptHost::NamedChild child = m_host.namedChild(clip, name, cs);
        if (child.clip != 0) {
            return Value(clipObject(child.clip));
        }
        if (child.other != nullptr) {
            return Value(child.other);
        }
    }
    return {};
}

Value Vm::getScriptMember(const Value& object, std::string_view name) {
    Value v = getMember(object, name);
    if (v.isUndefined() && object.isObject() && !hasProperty(object.asObject(), name)) {
        return resolveMissing(object.asObject(), name).value_or(Value());
    }
    return v;
}

std::optional<Value> Vm::resolveMissing(Object* object, std::string_view name) {
    // Version flags do not hide __resolve, and a getter added over it is not run: its slot's
    // value is what counts. From version 7 on, a slot holding no object is passed over.
    int links = 0;
    for (Object* o = object; o && links <= Object::kMaxPrototypeLinks; o = o->proto(), ++links) {
        const Property* r = o->findOwn("__resolve");
        if (!r || (!r->value.isObject() && m_version >= 7)) {
            continue;
        }
        if (!r->value.isObject() || !r->value.asObject()->function()) {
            return std::nullopt;
        }
        const Value args[] = {Value(std::string(name))};
        return call(r->value, Value(object), args);
    }
    return std::nullopt;
}

Property* Vm::accessorAbove(Object* o, std::string_view name) {
    int links = 0;
    for (Object* c = o->proto(); c && links <= Object::kMaxPrototypeLinks;
         c = c->proto(), ++links) {
        Property* p = c->findOwn(name);
        if (p && visibleIn(*p, m_version) && (p->getter || p->setter)) {
            return p;
        }
    }
    return nullptr;
}

Property* Vm::findInChain(Object* o, std::string_view name) {
    bool tooLong = false;
    Property* p = o->find(name, m_version, tooLong);
    // The player stops the running script when a lookup needs more prototype links than it
    // follows. Outside a script (the host reading a handler) the name is just not there.
    if (tooLong && (m_runningActions || m_depth > 0)) {
        if (!m_chainReported) {
            m_chainReported = true;
            report("A script looked a name up through more than " +
                   std::to_string(Object::kMaxPrototypeLinks) + " prototypes and was stopped");
        }
        throw ScriptAbort{};
    }
    return p;
}

bool Vm::hasProperty(Object* o, std::string_view name) {
    if (findInChain(o, name)) {
        return true;
    }
    const bool cs = m_version >= 7;
    if (o->objectClass() == ObjectClass::Array) {
        const long long i = arrayIndex(name);
        if (i >= 0) {
            const auto index = static_cast<std::size_t>(i);
            return index < o->elements().size() && !o->elements()[index].isHole();
        }
        if (sameName(name, "length", cs)) {
            return true;
        }
    }
    if (o->objectClass() == ObjectClass::Clip && o->clip() != 0) {
        if (!name.empty() && name[0] == '_') {
            if (clipPropertyIndex(name, cs) >= 0 || sameName(name, "_parent", cs) ||
                sameName(name, "_root", cs)) {
                return true;
            }
        }
        const ScriptHost::NamedChild child = m_host.namedChild(o->clip(), name, cs);
        return child.clip != 0 || child.other != nullptr;
    }
    return false;
}

std::optional<Value> Vm::findMember(Object* o, std::string_view name) {
    const ObjectClass cls = o->objectClass();
    // Arrays, strings and clips answer to names beyond their properties, or, for a clip's own
    // '_' names and a clip that left, in another order: those take the long way.
    const bool plain =
        cls != ObjectClass::Array && cls != ObjectClass::String && cls != ObjectClass::Clip;
    const bool clipVariable = cls == ObjectClass::Clip && o->clip() != 0 && !isLeftClip(o) &&
                              !name.empty() && name[0] != '_';
    if (!plain && !clipVariable) {
        return hasProperty(o, name) ? std::optional<Value>(getMember(o, name, Value(o)))
                                    : std::nullopt;
    }
    if (Property* p = findInChain(o, name)) {
        return p->getter ? call(Value(p->getter), Value(o), {}) : p->value;
    }
    if (clipVariable) {
        const ScriptHost::NamedChild child = m_host.namedChild(o->clip(), name, m_version >= 7);
        if (child.clip != 0) {
            return Value(clipObject(child.clip));
        }
        if (child.other != nullptr) {
            return Value(child.other);
        }
    }
    return std::nullopt;
}

void Vm::setMember(const Value& object, std::string_view name, const Value& v) {
    if (object.isObject()) {
        setMember(object.asObject(), name, v);
    }
}

void Vm::setMember(Object* o, std::string_view name, const Value& v) {
    if (isLeftClip(o)) {
        const ClipId now = referencedClip(o);
        if (Object* live = now != 0 ? clipObject(now) : nullptr) {
            setMember(live, name, v);
        }
        return;
    }
    // A watch runs on the write unless it is already running for it (from version 7 on, up to
    // a depth of nested writes).
    const int nesting = m_version >= 7 ? kWatchNesting : 1;
    if (Watchpoint* w = o->watches() ? o->findWatch(name) : nullptr; w && w->running < nesting) {
        writeWatched(o, name, v, *w);
        return;
    }
    writeMember(o, name, v);
}

void Vm::writeWatched(Object* o, std::string_view name, const Value& v, Watchpoint& w) {
    // The name exists from the write on, before the callback runs (which may delete it).
    const Property* own = o->findOwn(name);
    const Value old = own ? own->value : Value();
    if (!own) {
        o->define(name, Value());
    }
    const Value args[] = {Value(std::string(name)), old, v, w.userData};
    const Value callback(w.callback);
    ++w.running;
    Value result;
    {
        // The count goes down however the call ends (a script stopped inside it included).
        struct Finished {
            Object* o;
            std::string_view name;
            ~Finished() {
                if (Watchpoint* still = o->findWatch(name)) {
                    --still->running;
                }
            }
        } finished{o, name};
        result = call(callback, Value(o), args);
    }
    // A callback that deleted the property keeps it deleted.
    if (!o->findOwn(name)) {
        return;
    }
    writeMember(o, name, result);
}

void Vm::writeMember(Object* o, std::string_view name, const Value& v) {
    const bool cs = m_version >= 7;
    if (o->objectClass() == ObjectClass::Array) {
        const long long i = arrayIndex(name);
        auto& el = o->elements();
        if (i >= 0) {
            const auto index = static_cast<std::size_t>(i);
            // A script writing a[4000000000] must not make us allocate it all.
            if (index >= el.size()) {
                checkArrayLength(index + 1);
                el.resize(index + 1);
            }
            el[index] = v;
            return;
        }
        if (sameName(name, "length", cs)) {
            writeArrayLength(o, v);
            return;
        }
    }
    // A __proto__ that addProperty turned into a getter/setter pair is written like any other
    // such property: the setter runs and the prototype stays.
    if (const Property* own = o->findOwn(kProtoName);
        sameName(name, kProtoName, cs) && !(own && (own->getter || own->setter))) {
        if (own == nullptr || !(own->flags & kReadOnly)) {
            o->setProto(v);
        }
        return;
    }
    if (o->objectClass() == ObjectClass::Clip && o->clip() != 0 && !name.empty() &&
        name[0] == '_') {
        const int p = clipPropertyIndex(name, cs);
        if (p >= 0) {
            m_host.setClipProperty(o->clip(), static_cast<ClipProperty>(p), v);
            return;
        }
    }
    // A property this movie does not see is written over as a new one.
    if (Property* own = o->findOwn(name); own && !visibleIn(*own, m_version)) {
        own->flags = 0;
    }
    // A setter anywhere on the chain takes the write, unless it is flagged read-only; a read-only
    // own property refuses it. Plain properties up the chain do not hide a getter/setter pair
    // above them: a pair without a setter refuses the write too.
    Property* p = findInChain(o, name);
    if (p && !p->getter && !p->setter && o->findOwn(name) != p) {
        p = accessorAbove(o, name);
    }
    if (p) {
        if (p->setter && (p->flags & kReadOnly)) {
            return;
        }
        if (p->setter) {
            // The slot under an own setter keeps the last value written: a watch on the name
            // reads it as the old value.
            if (o->findOwn(name) == p) {
                p->value = v;
            }
            const Value arg[1] = {v};
            call(Value(p->setter), Value(o), arg);
            return;
        }
        if (p->getter && !p->setter) {
            return;
        }
        if (o->findOwn(name) == p) {
            if (!(p->flags & kReadOnly)) {
                p->value = v;
            }
            return;
        }
    }
    o->define(name, v);
}

bool Vm::deleteMember(Object* o, std::string_view name) {
    if (o->objectClass() == ObjectClass::Array) {
        const long long i = arrayIndex(name);
        if (i >= 0 && static_cast<std::size_t>(i) < o->elements().size()) {
            // The element goes, leaving a hole; the length stays.
            o->elements()[static_cast<std::size_t>(i)] = Value::hole();
            return true;
        }
    }
    // From version 7 deleting __proto__ takes the name away, but lookups still go through the
    // prototype it held.
    return o->removeOwn(name, m_version >= 7);
}

Object* Vm::linkedProto(Object* o) const {
    // Once a version 7 script deleted __proto__, lookups still reach the prototype, but
    // instanceof and for..in no longer do.
    const Property* link = o->findOwn(kProtoName);
    return !link || prototypeLinkHidden(*link, m_version) ? nullptr : o->proto();
}

std::vector<std::string> Vm::enumerate(Object* object) {
    std::vector<std::string> names;
    std::vector<std::string> seenKeys;
    int hops = 0;
    for (Object* o = object; o && hops < 256; o = linkedProto(o), ++hops) {
        std::vector<std::string> level;
        if (o->objectClass() == ObjectClass::Array) {
            for (std::size_t i = 0; i < o->elements().size(); ++i) {
                if (!o->elements()[i].isHole()) {
                    level.push_back(std::to_string(i));
                }
            }
        }
        for (const Property& p : o->properties()) {
            if (std::find(seenKeys.begin(), seenKeys.end(), p.key) != seenKeys.end()) {
                continue;
            }
            seenKeys.push_back(p.key);
            // A for..in also finds the properties this movie's version does not see.
            if (!(p.flags & kDontEnum)) {
                level.push_back(p.name);
            }
        }
        // Inherited names come out after the object's own ones.
        names.insert(names.begin(), level.begin(), level.end());
    }
    return names;
}

// ---- target paths ----

std::vector<std::string> Vm::namesFromLevel(ClipId clip, ClipId& level) {
    std::vector<std::string> names;
    ClipId c = clip;
    int guard = 0;
    while (c && guard++ < 4096) {
        const ClipId parent = m_host.parentClip(c);
        if (!parent) {
            break;
        }
        names.push_back(m_host.clipName(c));
        c = parent;
    }
    level = c;
    return {names.rbegin(), names.rend()};
}

std::string Vm::targetPath(ClipId clip) {
    if (!m_host.clipExists(clip)) {
        return m_host.formerPath(clip);
    }
    ClipId level = 0;
    const auto names = namesFromLevel(clip, level);
    std::string out = "_level" + std::to_string(m_host.clipDepth(level));
    for (const auto& name : names) {
        out += "." + name;
    }
    return out;
}

std::string Vm::slashPath(ClipId clip) {
    if (!m_host.clipExists(clip)) {
        return {};
    }
    ClipId levelClip = 0;
    const auto names = namesFromLevel(clip, levelClip);
    const int level = m_host.clipDepth(levelClip);
    std::string out = level == 0 ? std::string() : "_level" + std::to_string(level);
    for (const auto& name : names) {
        out += "/" + name;
    }
    return out.empty() ? "/" : out;
}

// ---- calls ----

Value Vm::call(const Value& function, const Value& self, std::span<const Value> args) {
    if (!function.isObject() || !function.asObject()->function()) {
        return {};
    }
    m_constructing = false;
    return runFunction(function.asObject(), self, args);
}

Value Vm::callAsMethod(const Value& function, const Value& self, std::span<const Value> args) {
    if (!function.isObject() || !function.asObject()->function()) {
        return {};
    }
    m_constructing = false;
    Object* home = self.isObject() ? self.asObject()->proto() : nullptr;
    return runFunction(function.asObject(), self, args, home);
}

Value Vm::callFoundMethod(const Value& function, const Value& self, std::string_view name,
                          std::span<const Value> args) {
    if (m_version < 7 || !self.isObject()) {
        return callAsMethod(function, self, args);
    }
    if (!function.isObject() || !function.asObject()->function()) {
        return {};
    }
    m_constructing = false;
    Object* o = self.asObject();
    Object* holder = holderOf(o, name);
    return runFunction(function.asObject(), self, args,
                       holder && holder != o ? holder : o->proto());
}

Object* Vm::holderOf(Object* o, std::string_view name) {
    for (int links = 0; o && links <= Object::kMaxPrototypeLinks; o = o->proto(), ++links) {
        const Property* p = o->findOwn(name);
        if (p && visibleIn(*p, m_version)) {
            return o;
        }
    }
    return nullptr;
}

Value Vm::construct(const Value& constructor, std::span<const Value> args) {
    if (!constructor.isObject() || !constructor.asObject()->function()) {
        return {};
    }
    Object* ctor = constructor.asObject();
    const Value protoValue = getMember(ctor, "prototype", Value(ctor));
    // A constructor with no prototype object builds objects with no prototype at all.
    Object* proto = protoValue.isObject() ? protoValue.asObject() : nullptr;
    // The new object names its constructor, hidden and seen from version 6 on; before version 7
    // also as constructor.
    Object* self = newObjectOfClass(ObjectClass::Object, proto);
    const PropFlags ctorFlags = kDontEnum | kFromVersion6;
    self->define("__constructor__", Value(ctor), ctorFlags);
    if (m_version < 7) {
        self->define("constructor", Value(ctor), kDontEnum);
    }
    if (ctor->function()->native && ctor->function()->nativeConstructs) {
        m_constructing = true;
        const Value r = runFunction(ctor, Value(self), args, proto);
        m_constructing = false;
        // An object the constructor made itself is named the same way.
        if (r.isObject() && r.asObject() != self) {
            r.asObject()->define("__constructor__", Value(ctor), ctorFlags);
            if (m_version < 7) {
                r.asObject()->define("constructor", Value(ctor), kDontEnum);
            }
        }
        return r.isObject() ? r : Value(self);
    }
    m_constructingScript = !ctor->function()->native;
    runFunction(ctor, Value(self), args, proto);
    return Value(self);
}

bool Vm::instanceOf(const Value& v, Object* constructor) {
    if (!v.isObject() || !constructor) {
        return false;
    }
    const Value protoValue = getMember(constructor, "prototype", Value(constructor));
    if (!protoValue.isObject()) {
        return false;
    }
    Object* proto = protoValue.asObject();
    int hops = 0;
    for (Object* o = linkedProto(v.asObject()); o && hops < 256; o = linkedProto(o), ++hops) {
        if (o == proto) {
            return true;
        }
        // Interfaces a class implements count too.
        if (Property* impl = o->findOwn("__implements__")) {
            if (impl->value.isObject()) {
                for (const Value& i : impl->value.asObject()->elements()) {
                    if (i.isObject() && i.asObject() == constructor) {
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

Value Vm::runFunction(Object* function, const Value& self, std::span<const Value> args,
                      Object* home) {
    FunctionData* f = function->function();
    if (f->native) {
        const NativeGuard nesting(*this);
        return f->native(*this, self, args);
    }
    const bool constructed = std::exchange(m_constructingScript, false);
    const NestingGuard nesting(*this);
    m_scriptConstructed.push_back(constructed);
    struct Pop {
        std::vector<bool>& stack;
        ~Pop() { stack.pop_back(); }
    } pop{m_scriptConstructed};
    return Interpreter(*this).callScript(function, self, args, home);
}

// ---- frames ----

void Vm::enterNested() {
    // A frame's script running at the bottom takes the first level of the limit itself.
    if (!canNest()) {
        if (!m_recursionReported) {
            m_recursionReported = true;
            report("A script went " + std::to_string(m_recursionLimit) +
                   " calls deep and was stopped");
        }
        throw ScriptAbort{};
    }
    ++m_depth;
}

Vm::NativeGuard::NativeGuard(Vm& vm) : m_vm(vm) {
    if (vm.m_nativeDepth >= kMaxNativeNesting) {
        vm.report("Built-in functions went " + std::to_string(kMaxNativeNesting) +
                  " calls deep and were stopped");
        throw ScriptAbort{};
    }
    ++vm.m_nativeDepth;
}

bool Vm::chargeInstructions(std::uint64_t n) {
    m_usedThisFrame += n;
    m_totalInstructions += n;
    return m_usedThisFrame <= m_budget;
}

void Vm::beginFrame() {
    m_usedThisFrame = 0;
    const double now = m_host.timeMs();
    // Copy the due ones first, earliest first (ties in the order they were set): a callback
    // may add or clear intervals.
    std::vector<std::pair<double, int>> due;
    for (const Interval& i : m_intervals) {
        if (i.next <= now) {
            due.emplace_back(i.next, i.id);
        }
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : due) {
        const int id = entry.second;
        auto it = std::find_if(m_intervals.begin(), m_intervals.end(),
                               [id](const Interval& i) { return i.id == id; });
        if (it == m_intervals.end()) {
            continue;
        }
        // Every period that passed gets its call, but a host that jumps far ahead in time does
        // not get thousands of them: past kMaxIntervalCalls the rest are dropped.
        int calls = 0;
        while (calls < kMaxIntervalCalls) {
            it = std::find_if(m_intervals.begin(), m_intervals.end(),
                              [id](const Interval& i) { return i.id == id; });
            if (it == m_intervals.end() || it->next > now) {
                break;
            }
            it->next += it->period;
            ++calls;
            const Value fn = it->method.empty() ? it->function : getMember(it->self, it->method);
            const Value self = it->method.empty() ? Value() : it->self;
            const std::vector<Value> args = it->args;
            const bool once = it->once;
            if (once) {
                m_intervals.erase(it);
            }
            try {
                call(fn, self, args);
            } catch (const ScriptThrow& t) {
                report("Uncaught exception in an interval: " + toString(t.value));
            } catch (const ScriptAbort&) {
                return;
            }
            if (once) {
                break;
            }
        }
        it = std::find_if(m_intervals.begin(), m_intervals.end(),
                          [id](const Interval& i) { return i.id == id; });
        if (it != m_intervals.end() && it->next <= now) {
            it->next = now + it->period;
        }
    }
}

int Vm::addInterval(Value function, Value self, std::string method, std::vector<Value> args,
                    double periodMs, bool once) {
    Interval i{m_nextInterval++,
               std::move(function),
               std::move(self),
               std::move(method),
               std::move(args),
               std::max(periodMs, 1.0),
               m_host.timeMs() + std::max(periodMs, 1.0),
               once};
    m_intervals.push_back(std::move(i));
    return m_intervals.back().id;
}

void Vm::clearInterval(int id) {
    std::erase_if(m_intervals, [id](const Interval& i) { return i.id == id; });
}

std::optional<double> Vm::nextIntervalDueMs() const {
    std::optional<double> first;
    for (const Interval& i : m_intervals) {
        if (!first || i.next < *first) {
            first = i.next;
        }
    }
    return first;
}

void Vm::runActions(ClipId clip, std::vector<std::uint8_t> code) {
    runActions(clip, std::make_shared<const std::vector<std::uint8_t>>(std::move(code)));
}

void Vm::runActions(ClipId clip, Code code) {
    if (!code) {
        return;
    }
    if (m_usedThisFrame > m_budget) {
        return; // a runaway script already used this frame up
    }
    // Actions run while others run (init actions met by a script's goto) nest on the machine's
    // stack like a function call; what stops them stops only them.
    const bool nested = m_runningActions;
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{m_runningActions, nested};
    m_runningActions = true;
    try {
        std::optional<NestingGuard> nesting;
        if (nested) {
            nesting.emplace(*this);
        }
        Interpreter(*this).runTopLevel(clip, code);
    } catch (const ScriptThrow& t) {
        report("Uncaught exception: " + toString(t.value));
    } catch (const ScriptAbort&) {
    }
    if (!nested) {
        m_strayThrow = false;
    }
}

// A frame's actions that a script runs through `call` nest like a function call, and a stop for
// running too deep or too long stops the actions that called them too.
void Vm::runCalledFrame(ClipId clip, const Code& code) {
    if (!code) {
        return;
    }
    const NestingGuard nesting(*this);
    try {
        Interpreter(*this).runTopLevel(clip, code);
    } catch (const ScriptThrow& t) {
        report("Uncaught exception: " + toString(t.value));
    }
}

Object* Vm::existingClipObject(ClipId clip) const {
    auto it = m_clips.find(clip);
    return it == m_clips.end() ? nullptr : it->second;
}

bool Vm::callHandler(ClipId clip, std::string_view name, std::span<const Value> args) {
    return callMethod(clipObject(clip), name, args);
}

bool Vm::callMethod(Object* o, std::string_view name, std::span<const Value> args) {
    if (!o || m_usedThisFrame > m_budget) {
        return false;
    }
    const Value fn = getMember(o, name, Value(o));
    if (!fn.isObject() || !fn.asObject()->function()) {
        return false;
    }
    try {
        call(fn, Value(o), args);
    } catch (const ScriptThrow& t) {
        report("Uncaught exception: " + toString(t.value));
    } catch (const ScriptAbort&) {
    }
    return true;
}

// ---- garbage ----

void Vm::markValue(const Value& v) {
    if (v.isObject()) {
        mark(v.asObject());
    }
}

void Vm::mark(Object* root) {
    std::vector<Object*> work{root};
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        if (!o || o->marked) {
            continue;
        }
        o->marked = true;
        work.push_back(o->proto());
        for (const Property& p : o->properties()) {
            if (p.value.isObject()) {
                work.push_back(p.value.asObject());
            }
            work.push_back(p.getter);
            work.push_back(p.setter);
        }
        for (const Value& v : o->elements()) {
            if (v.isObject()) {
                work.push_back(v.asObject());
            }
        }
        if (o->primitive().isObject()) {
            work.push_back(o->primitive().asObject());
        }
        if (const FunctionData* f = o->function()) {
            for (Object* s : f->scope) {
                work.push_back(s);
            }
        }
        if (const auto* watches = o->watches()) {
            for (const Watchpoint& w : *watches) {
                work.push_back(w.callback);
                if (w.userData.isObject()) {
                    work.push_back(w.userData.asObject());
                }
            }
        }
        if (const HostData* data = o->hostData()) {
            data->references(work);
        }
    }
}

void Vm::keepAlive(Object* o) {
    if (o) {
        m_extraRoots.push_back(o);
    }
}

void Vm::registerNative(int group, int index, Object* function) {
    if (function != nullptr) {
        m_natives[static_cast<std::int64_t>(group) << 16 | index] = function;
        keepAlive(function);
    }
}

Object* Vm::native(int group, int index) const {
    const auto it = m_natives.find(static_cast<std::int64_t>(group) << 16 | index);
    return it != m_natives.end() ? it->second : nullptr;
}

void Vm::release(Object* o) {
    auto it = std::find(m_extraRoots.begin(), m_extraRoots.end(), o);
    if (it != m_extraRoots.end()) {
        m_extraRoots.erase(it);
        m_collectDue = true;
    }
}

void Vm::collectGarbage() {
    if (m_depth > 0) {
        return; // values on a running script's stack are not roots we can see
    }
    if (!m_collectDue) {
        // Nothing was made since: the heap is no larger than the last collection left it, and
        // what has become garbage meanwhile goes with the next collection that follows making
        // something. A frame with no script running costs no walk over every object.
        return;
    }
    for (auto& o : m_heap) {
        o->marked = false;
    }
    for (Object* o :
         {m_global, m_objectProto, m_functionProto, m_arrayProto, m_arrayCtor, m_stringProto,
          m_stringCtor, m_numberProto, m_booleanProto, m_clipProto, m_buttonProto, m_errorProto}) {
        mark(o);
    }
    for (auto& [id, o] : m_clips) {
        mark(o);
    }
    for (Object* o : m_extraRoots) {
        mark(o);
    }
    for (const Interval& i : m_intervals) {
        markValue(i.function);
        markValue(i.self);
        for (const Value& v : i.args) {
            markValue(v);
        }
    }
    for (const Value& v : m_globalRegisters) {
        markValue(v);
    }
    std::erase_if(m_leftClipObjects, [](const auto& entry) { return !entry.first->marked; });
    std::erase_if(m_heap, [](const std::unique_ptr<Object>& o) { return !o->marked; });
    m_collectDue = false;
    m_survivors = m_heap.size();
    forgetUnreachableLeftClips();
}

void Vm::collectWhenGrown() {
    constexpr std::size_t kLeastGrowth = 1000;
    if (m_heap.size() >= m_survivors + std::max(kLeastGrowth, m_survivors / 2)) {
        collectGarbage();
    }
}

} // namespace kinovex::flash::avm1
