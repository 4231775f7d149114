// Variables and members: looking names up through the scope chain, slash and dot paths, and
// the actions that read, write, declare, delete and enumerate them.

#include "engine/avm1/InterpreterRun.h"
#include "engine/avm1/Names.h"

namespace kinovex::flash::avm1 {

namespace {

// Whether a name holds any of the characters paths are made of (':', '.', '/'): most names
// are plain, and one pass over them settles it.
bool mayBePath(std::string_view name) {
    for (const char c : name) {
        if (c == ':' || c == '.' || c == '/') {
            return true;
        }
    }
    return false;
}

} // namespace

ClipId Interpreter::pathRoot(Frame& f) {
    return vm.host().clipExists(f.target) ? vm.levelOf(f.target) : vm.host().rootClip();
}

Object* Interpreter::scopeEntry(Frame& f, std::size_t k) {
    // A target clip that has been removed since SetTarget chose it leaves its place to the
    // timeline the actions started on.
    if (f.hasTargetSlot && k == f.targetSlot && f.target != f.baseTarget && f.target != 0 &&
        !vm.host().clipExists(f.target) && vm.host().clipExists(f.baseTarget)) {
        return vm.clipObject(f.baseTarget);
    }
    return f.scope[k];
}

Object* Interpreter::callee(Frame& f, std::string_view name) {
    // A function called by name runs on the scope object it was found on: a function's
    // locals or a with block's object, a clip too; one found on _global or a timeline, on the
    // timeline.
    if (!mayBePath(name)) {
        for (std::size_t k = f.scope.size(); k-- > 0;) {
            Object* o = scopeEntry(f, k);
            if (o && vm.hasProperty(o, name)) {
                const bool withObject = k + f.withCount >= f.scope.size();
                if (o != vm.global() && (withObject || o->objectClass() != ObjectClass::Clip)) {
                    return o;
                }
                break;
            }
        }
    }
    return vm.clipObject(f.target);
}

Object* Interpreter::resolveInScope(Frame& f, std::string_view path) {
    for (std::size_t k = f.scope.size(); k-- > 0;) {
        Object* start = scopeEntry(f, k);
        if (!start) {
            continue;
        }
        if (Object* o = vm.resolvePath(start, pathRoot(f), path)) {
            return o;
        }
    }
    return nullptr;
}

Value Interpreter::getVariable(Frame& f, std::string_view name) {
    const bool cs = vm.version() >= 7;
    // "path:name" and "path.name": the path is read from each scope in turn, innermost first,
    // and the first one it leads somewhere from gives the variable.
    const bool path = mayBePath(name);
    const auto cut = path ? name.find_last_of(":.") : std::string_view::npos;
    if (cut != std::string_view::npos) {
        Object* o = resolveInScope(f, name.substr(0, cut));
        return o ? vm.getMember(o, name.substr(cut + 1), Value(o)) : Value();
    }
    // A slash path with no variable names a clip, read from the timeline only; where it leads
    // to no clip, the name is an ordinary variable's, as setVariable takes it.
    if (path && name.find('/') != std::string_view::npos) {
        Object* t = vm.clipObject(f.target);
        Object* o = t ? vm.resolvePath(t, pathRoot(f), name) : nullptr;
        if (o && o->objectClass() == ObjectClass::Clip) {
            return Value(o);
        }
    }
    // In a DefineFunction2 function `this` is a local variable, looked up like the others.
    const bool thisIsLocal = f.callee && f.callee->function() && f.callee->function()->isFunction2;
    if (sameName(name, "this", cs) && !thisIsLocal) {
        return f.self;
    }
    for (std::size_t k = f.scope.size(); k-- > 0;) {
        Object* o = scopeEntry(f, k);
        if (std::optional<Value> found = o ? vm.findMember(o, name) : std::nullopt) {
            return *std::move(found);
        }
        // A with block's object answers for the names it lacks through its __resolve.
        if (o && o != f.locals && o != vm.global() && o->objectClass() != ObjectClass::Clip) {
            if (auto resolved = vm.resolveMissing(o, name)) {
                return *resolved;
            }
        }
    }
    if (sameName(name, "super", cs)) {
        Object* super = makeSuper(f);
        return super ? Value(super) : Value();
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
            return vm.findMember(t, name).value_or(Value());
        }
    }
    return {};
}

namespace {

// Whether a scope object takes an assignment to `name`: a clip, for any name it answers to;
// another object, for a name it holds itself.
bool holdsName(Vm& vm, Object* o, std::string_view name) {
    if (o->objectClass() == ObjectClass::Clip) {
        return vm.hasProperty(o, name);
    }
    const Property* p = o->findOwn(name);
    return p && visibleIn(*p, vm.version());
}

} // namespace

void Interpreter::setVariable(Frame& f, std::string_view name, const Value& v) {
    // Paths as getVariable reads them; a slash alone does not make a path here ("a/b" is a
    // variable of that name).
    const auto cut = mayBePath(name) ? name.find_last_of(":.") : std::string_view::npos;
    if (cut != std::string_view::npos) {
        if (Object* o = resolveInScope(f, name.substr(0, cut))) {
            vm.setMember(o, name.substr(cut + 1), v);
        }
        return;
    }
    // The innermost scope that holds the name itself takes it (a name an object only inherits
    // stays with its prototype); otherwise the timeline does (or the function's locals when the
    // function runs on no timeline).
    for (std::size_t k = f.scope.size(); k-- > 0;) {
        Object* o = scopeEntry(f, k);
        if (!o) {
            continue;
        }
        const bool isTimeline =
            f.hasTargetSlot ? k == f.targetSlot : o->objectClass() == ObjectClass::Clip;
        if (isTimeline || holdsName(vm, o, name)) {
            if (isTimeline && f.target && f.hasTargetSlot && vm.host().clipExists(f.target)) {
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
    // From version 6, var __proto__ = o gives the function's activation a prototype, which its
    // lookups follow.
    if (f.locals && vm.version() >= 6 && sameName(name, kProtoName, vm.version() >= 7)) {
        f.locals->setProto(v);
    } else if (f.locals) {
        f.locals->define(name, v);
    } else {
        setVariable(f, name, v);
    }
}

namespace {

void getVariable(Run& r) {
    const std::string name = r.popString();
    r.push(r.in.getVariable(r.f, name));
}

void setVariable(Run& r) {
    const Value v = r.pop();
    const std::string name = r.popString();
    r.in.setVariable(r.f, name, v);
}

void defineLocal(Run& r) {
    const Value v = r.pop();
    const std::string name = r.popString();
    r.in.defineLocal(r.f, name, v);
}

// var name; (without a value): declared where it is not yet.
void defineLocal2(Run& r) {
    const std::string name = r.popString();
    if (r.f.locals) {
        if (!r.f.locals->findOwn(name)) {
            r.f.locals->define(name, Value());
        }
    } else if (Object* t = r.vm.clipObject(r.f.target)) {
        if (!t->findOwn(name)) {
            t->define(name, Value());
        }
    }
}

// Versions 6 and 7 read a member of a string from a wrapper that whatever _global.String is now
// builds from it, running a script's replacement; there is nothing to read when that is no
// function.
Value stringWrapper(Vm& vm, const Value& text) {
    const Value ctor = vm.getMember(Value(vm.global()), "String");
    // The player's own String builds the wrapper the string's members are read from anyway.
    if (ctor.isObject() && ctor.asObject() == vm.stringConstructor()) {
        return text;
    }
    return vm.construct(ctor, std::span<const Value>(&text, 1));
}

void getMember(Run& r) {
    const Value name = r.pop();
    Value object = r.pop();
    if (object.isString() && (r.vm.version() == 6 || r.vm.version() == 7)) {
        object = stringWrapper(r.vm, object);
    }
    r.push(r.vm.getScriptMember(object, r.vm.toString(name)));
}

// o.name = v; a script cannot make a member with an empty name.
void setMember(Run& r) {
    const Value v = r.pop();
    const Value name = r.pop();
    const Value object = r.pop();
    const std::string text = r.vm.toString(name);
    if (!text.empty()) {
        r.vm.setMember(object, text, v);
    }
}

// delete o.name
void deleteMember(Run& r) {
    const std::string name = r.popString();
    Object* o = r.vm.toObject(r.pop());
    r.push(Value(o ? r.vm.deleteMember(o, name) : false));
}

// delete name: from the innermost scope that has it.
void deleteVariable(Run& r) {
    const std::string name = r.popString();
    bool done = false;
    for (auto it = r.f.scope.rbegin(); it != r.f.scope.rend(); ++it) {
        if (*it && (*it)->findOwn(name)) {
            done = r.vm.deleteMember(*it, name);
            break;
        }
    }
    r.push(Value(done));
}

// for..in: a null to stop at, then the names. Enumerate names the object by a variable.
template <bool byName> void enumerate(Run& r) {
    Value v = r.pop();
    if (byName) {
        v = r.in.getVariable(r.f, r.vm.toString(v));
    }
    r.push(Value::null());
    if (!v.isObject()) {
        return;
    }
    Object* o = v.asObject();
    std::vector<std::string> names = r.vm.enumerate(o);
    if (o->objectClass() == ObjectClass::Clip && o->clip()) {
        // Named children of a clip are enumerable too.
        for (std::string& child : r.vm.host().childNames(o->clip())) {
            if (std::find(names.begin(), names.end(), child) == names.end()) {
                names.push_back(std::move(child));
            }
        }
    }
    for (std::string& name : names) {
        r.push(Value(std::move(name)));
    }
}

} // namespace

void addVariableActions(ActionTable& t) {
    t.on<getVariable>(Opcode::ActionGetVariable);
    t.on<setVariable>(Opcode::ActionSetVariable);
    t.on<defineLocal>(Opcode::ActionDefineLocal);
    t.on<defineLocal2>(Opcode::ActionDefineLocal2);
    t.on<getMember>(Opcode::ActionGetMember);
    t.on<setMember>(Opcode::ActionSetMember);
    t.on<deleteMember>(Opcode::ActionDelete);
    t.on<deleteVariable>(Opcode::ActionDelete2);
    t.on<enumerate<true>>(Opcode::ActionEnumerate);
    t.on<enumerate<false>>(Opcode::ActionEnumerate2);
}

} // namespace kinovex::flash::avm1
