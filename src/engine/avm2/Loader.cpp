// ABC blocks into the machine: namespaces, methods, scripts (run lazily, as the player does)
// and classes (made when a script's newclass runs).

#include "engine/avm2/Machine.h"

#include <algorithm>

#include <cmath>
#include <unordered_set>

namespace kinovex::flash::avm2 {

Machine::LoadedFile* Machine::fileOf(const abc::AbcFile* f) {
    for (auto& lf : m_files) {
        if (lf->file == f) {
            return lf.get();
        }
    }
    return nullptr;
}

void Machine::loadAbc(const abc::AbcFile& file, const std::vector<std::uint32_t>& refusedMethods,
                      const std::vector<int>& refusals) {
    auto owned = std::make_unique<LoadedFile>();
    LoadedFile& lf = *owned;
    m_files.push_back(std::move(owned));
    lf.file = &file;
    lf.namespaces.resize(file.namespaces.size(), nullptr);
    for (std::size_t i = 1; i < file.namespaces.size(); ++i) {
        const abc::Namespace& ns = file.namespaces[i];
        lf.namespaces[i] = internNs(ns.kind, std::string(file.string(ns.name)));
    }
    lf.nsSets.resize(file.nsSets.size());
    for (std::size_t i = 1; i < file.nsSets.size(); ++i) {
        for (std::uint32_t n : file.nsSets[i]) {
            if (n < lf.namespaces.size() && lf.namespaces[n] != nullptr) {
                lf.nsSets[i].push_back(lf.namespaces[n]);
            }
        }
    }
    for (std::size_t i = 0; i < file.methods.size(); ++i) {
        auto m = std::make_unique<MethodInfo>();
        m->file = &file;
        m->index = static_cast<std::uint32_t>(i);
        const abc::Method& am = file.methods[i];
        m->paramCount = am.paramCount;
        m->name = std::string(file.string(am.name));
        if (am.body >= 0) {
            m->body = &file.bodies[static_cast<std::size_t>(am.body)];
        }
        lf.methods.push_back(m.get());
        m_methods.push_back(std::move(m));
    }
    for (std::size_t i = 0; i < refusedMethods.size(); ++i) {
        const std::uint32_t r = refusedMethods[i];
        if (r < lf.methods.size()) {
            lf.methods[r]->refused = true;
            lf.methods[r]->refusal = i < refusals.size() ? refusals[i] : 0;
        }
    }
    lf.classes.resize(file.instances.size(), nullptr);
    lf.scriptGlobals.resize(file.scripts.size(), nullptr);
    lf.scriptStarted.resize(file.scripts.size(), false);
    for (std::uint32_t s = 0; s < file.scripts.size(); ++s) {
        for (const abc::Trait& t : file.scripts[s].traits) {
            const abc::Multiname& mn = file.multinames[t.name];
            if (mn.ns >= lf.namespaces.size() || lf.namespaces[mn.ns] == nullptr) {
                continue;
            }
            DomainEntry e;
            e.file = &lf;
            e.script = s;
            m_domain.emplace(domainKey(std::string(file.string(mn.name)), lf.namespaces[mn.ns]), e);
        }
    }
    if (!file.scripts.empty()) {
        // The last script is the block's entry point: it runs when the block's frame comes.
        m_pendingScripts.emplace_back(&lf, static_cast<std::uint32_t>(file.scripts.size() - 1));
    }
}

void Machine::runPendingScripts() {
    auto pending = std::move(m_pendingScripts);
    m_pendingScripts.clear();
    for (auto& [lf, s] : pending) {
        ensureScript(*lf, s);
    }
}

Object* Machine::ensureScript(LoadedFile& lf, std::uint32_t script) {
    if (lf.scriptGlobals[script] != nullptr) {
        return lf.scriptGlobals[script];
    }
    const abc::Script& sc = lf.file->scripts[script];
    auto ci = std::make_unique<ClassInfo>();
    ClassInfo* cls = ci.get();
    m_classes.push_back(std::move(ci));
    cls->name = "global";
    cls->sealed = false;
    cls->instanceKind = ObjKind::Global;
    Object* global = track(new Object());
    global->kind = ObjKind::Global;
    global->cls = cls;
    global->proto = objectClass->prototype;
    lf.scriptGlobals[script] = global;
    buildTraits(lf, sc.traits, cls->instanceTraits, nullptr, nullptr);
    for (auto& [name, list] : cls->instanceTraits.byName) {
        for (Trait& t : list) {
            if (t.method != nullptr) {
                t.method->scriptGlobal = global;
                t.method->owner = nullptr;
            }
            if (t.getter != nullptr) {
                t.getter->scriptGlobal = global;
            }
            if (t.setter != nullptr) {
                t.setter->scriptGlobal = global;
            }
        }
    }
    initSlots(global, cls->instanceTraits);
    cls->scope = {ScopeEntry{Value::obj(global), false}};
    lf.scriptStarted[script] = true;
    MethodInfo* init = lf.methods[sc.initializer];
    init->scriptGlobal = global;
    runMethod(init, Value::obj(global), {}, {});
    return global;
}

Name Machine::staticName(LoadedFile& lf, std::uint32_t index) {
    Name n;
    const abc::Multiname& mn = lf.file->multinames[index];
    n.name = std::string(lf.file->string(mn.name));
    n.anyName = mn.name == 0 &&
                (mn.kind == abc::MultinameKind::QName || mn.kind == abc::MultinameKind::Multiname);
    n.attribute =
        mn.kind == abc::MultinameKind::QNameA || mn.kind == abc::MultinameKind::MultinameA ||
        mn.kind == abc::MultinameKind::RTQNameA || mn.kind == abc::MultinameKind::RTQNameLA ||
        mn.kind == abc::MultinameKind::MultinameLA;
    switch (mn.kind) {
    case abc::MultinameKind::QName:
    case abc::MultinameKind::QNameA:
        if (mn.ns < lf.namespaces.size() && lf.namespaces[mn.ns] != nullptr) {
            n.nss.push_back(lf.namespaces[mn.ns]);
        } else {
            n.nss.push_back(m_public);
            n.anyNs = mn.ns == 0;
        }
        break;
    case abc::MultinameKind::Multiname:
    case abc::MultinameKind::MultinameA:
    case abc::MultinameKind::MultinameL:
    case abc::MultinameKind::MultinameLA:
        if (mn.nsSet < lf.nsSets.size()) {
            n.nss = lf.nsSets[mn.nsSet];
        }
        break;
    case abc::MultinameKind::TypeName: {
        const abc::Multiname& base = lf.file->multinames[mn.typeBase];
        n.name = std::string(lf.file->string(base.name));
        if (base.ns < lf.namespaces.size() && lf.namespaces[base.ns] != nullptr) {
            n.nss.push_back(lf.namespaces[base.ns]);
        }
        break;
    }
    default:
        break;
    }
    return n;
}

std::string Machine::typeNameOf(LoadedFile& lf, std::uint32_t index) {
    if (index == 0 || index >= lf.file->multinames.size()) {
        return {};
    }
    const abc::Multiname& mn = lf.file->multinames[index];
    std::string name(lf.file->string(mn.name));
    if (mn.kind == abc::MultinameKind::QName && mn.ns < lf.namespaces.size() &&
        lf.namespaces[mn.ns] != nullptr) {
        const Ns* ns = lf.namespaces[mn.ns];
        if (!ns->uri.empty() && ns->kind == abc::NamespaceKind::Package) {
            return ns->uri + "." + name;
        }
    }
    return name;
}

const Value* Machine::constantValue(LoadedFile& lf, std::uint8_t kind, std::uint32_t index,
                                    Value& out) {
    const abc::AbcFile& f = *lf.file;
    switch (kind) {
    case 0x03:
        out = index < f.ints.size() ? Value::integer(f.ints[index]) : Value();
        break;
    case 0x04:
        out = index < f.uints.size() ? Value::number(f.uints[index]) : Value();
        break;
    case 0x06:
        out = index < f.doubles.size() ? Value::number(f.doubles[index]) : Value();
        break;
    case 0x01:
        out = index < f.strings.size() ? str(std::string(f.string(index))) : Value();
        break;
    case 0x0B:
        out = Value::boolean(true);
        break;
    case 0x0A:
        out = Value::boolean(false);
        break;
    case 0x0C:
        out = Value::null();
        break;
    case 0x00:
        out = Value();
        break;
    default:
        if (index < lf.namespaces.size() && lf.namespaces[index] != nullptr) {
            Object* o = newObject(namespaceClass);
            o->kind = ObjKind::Namespace;
            o->ns = lf.namespaces[index];
            out = Value::obj(o);
        } else {
            out = Value();
        }
        break;
    }
    return &out;
}

namespace {
Value defaultFor(const std::string& type) {
    if (type == "int" || type == "uint") {
        return Value::integer(0);
    }
    if (type == "Number") {
        return Value::number(NAN);
    }
    if (type == "Boolean") {
        return Value::boolean(false);
    }
    if (type.empty() || type == "*") {
        return Value();
    }
    return Value::null();
}
} // namespace

void Machine::buildTraits(LoadedFile& lf, const std::vector<abc::Trait>& traits, Traits& out,
                          ClassInfo* owner, std::vector<std::pair<std::uint32_t, std::uint32_t>>*) {
    const abc::AbcFile& f = *lf.file;
    const std::size_t base =
        owner != nullptr && owner->super != nullptr && &out == &owner->instanceTraits
            ? owner->super->instanceTraits.slots.size()
            : 0;
    for (const abc::Trait& t : traits) {
        const abc::Multiname& mn = f.multinames[t.name];
        const std::string name(f.string(mn.name));
        Ns* ns = mn.ns < lf.namespaces.size() && lf.namespaces[mn.ns] != nullptr
                     ? lf.namespaces[mn.ns]
                     : m_public;
        switch (t.kind) {
        case abc::TraitKind::Slot:
        case abc::TraitKind::Const:
        case abc::TraitKind::Class:
        case abc::TraitKind::Function: {
            std::size_t slot = t.slotId != 0 ? base + t.slotId - 1 : out.slots.size();
            if (slot > 100000) {
                slot = out.slots.size();
            }
            if (slot >= out.slots.size()) {
                out.slots.resize(slot + 1);
            }
            SlotInfo& info = out.slots[slot];
            info.isConst = t.kind == abc::TraitKind::Const;
            if (t.kind == abc::TraitKind::Slot || t.kind == abc::TraitKind::Const) {
                info.typeName = typeNameOf(lf, t.typeName);
                if (t.value.kind != 0 || t.value.index != 0) {
                    constantValue(lf, t.value.kind, t.value.index, info.initial);
                    info.initial = coerceTo(info.initial, info.typeName);
                } else {
                    info.initial = defaultFor(info.typeName);
                }
            } else if (t.kind == abc::TraitKind::Function) {
                info.initial = Value::obj(newFunction(lf.methods[t.index], {}));
            } else {
                info.initial = Value::null();
            }
            Trait tr;
            tr.type = info.isConst ? Trait::Const : Trait::Slot;
            tr.ns = ns;
            tr.slot = static_cast<std::uint32_t>(slot);
            if (Trait* old = out.findExact(name, ns)) {
                *old = tr;
            } else {
                out.byName[name].push_back(tr);
            }
            out.slotNames.emplace_back(name, nullptr);
            break;
        }
        case abc::TraitKind::Method:
        case abc::TraitKind::Getter:
        case abc::TraitKind::Setter: {
            MethodInfo* m = lf.methods[t.index];
            m->owner = owner;
            if (m->name.empty()) {
                m->name = name;
            }
            Trait* existing = out.findExact(name, ns);
            Trait tr;
            if (existing != nullptr && existing->type == Trait::Accessor &&
                t.kind != abc::TraitKind::Method) {
                tr = *existing;
            }
            tr.ns = ns;
            tr.dispId = t.slotId;
            if (t.kind == abc::TraitKind::Method) {
                tr.type = Trait::Method;
                tr.method = m;
            } else {
                tr.type = Trait::Accessor;
                (t.kind == abc::TraitKind::Getter ? tr.getter : tr.setter) = m;
            }
            if (existing != nullptr) {
                *existing = tr;
            } else {
                out.byName[name].push_back(tr);
            }
            break;
        }
        }
    }
}

// A protected member this class overrides is overridden under its ancestors' protected names
// too: their code, which names it in their own protected namespace, reaches the override.
void Machine::overrideInheritedProtected(ClassInfo* c) {
    if (c->protectedNs == nullptr) {
        return;
    }
    std::vector<const Ns*> ancestors;
    for (const ClassInfo* a = c->super; a != nullptr; a = a->super) {
        if (a->protectedNs != nullptr) {
            ancestors.push_back(a->protectedNs);
        }
    }
    for (auto& [name, list] : c->instanceTraits.byName) {
        const auto own = std::find_if(list.begin(), list.end(),
                                      [c](const Trait& t) { return t.ns == c->protectedNs; });
        if (own == list.end()) {
            continue;
        }
        const Trait chosen = *own;
        for (Trait& t : list) {
            if (std::find(ancestors.begin(), ancestors.end(), t.ns) != ancestors.end()) {
                Ns* ns = t.ns;
                t = chosen;
                t.ns = ns;
            }
        }
    }
}

ClassInfo* Machine::newClass(LoadedFile& lf, std::uint32_t index, ClassInfo* super,
                             const std::vector<ScopeEntry>& scope) {
    const abc::AbcFile& f = *lf.file;
    const abc::Instance& inst = f.instances[index];
    const abc::Class& cl = f.classes[index];
    auto owned = std::make_unique<ClassInfo>();
    ClassInfo* c = owned.get();
    m_classes.push_back(std::move(owned));
    const abc::Multiname& mn = f.multinames[inst.name];
    c->name = std::string(f.string(mn.name));
    c->ns = mn.ns < lf.namespaces.size() && lf.namespaces[mn.ns] != nullptr ? lf.namespaces[mn.ns]
                                                                            : m_public;
    c->super = super;
    c->file = &f;
    c->abcIndex = static_cast<std::int32_t>(index);
    c->isInterface = (inst.flags & abc::InstanceInterface) != 0;
    c->sealed = (inst.flags & abc::InstanceSealed) != 0;
    c->isFinal = (inst.flags & abc::InstanceFinal) != 0;
    if ((inst.flags & abc::InstanceProtectedNs) != 0 && inst.protectedNs < lf.namespaces.size()) {
        c->protectedNs = lf.namespaces[inst.protectedNs];
    }
    if (super != nullptr) {
        c->instanceTraits = super->instanceTraits;
        c->instanceKind = super->instanceKind;
        c->nativeInit = nullptr;
        // Protected members inherited answer to this class's protected namespace too.
        if (super->protectedNs != nullptr && c->protectedNs != nullptr) {
            for (auto& [name, list] : c->instanceTraits.byName) {
                std::vector<Trait> extra;
                for (const Trait& t : list) {
                    if (t.ns == super->protectedNs) {
                        Trait copy = t;
                        copy.ns = c->protectedNs;
                        extra.push_back(copy);
                    }
                }
                list.insert(list.end(), extra.begin(), extra.end());
            }
        }
    }
    for (std::uint32_t i : inst.interfaces) {
        if (ClassInfo* known = definedClass(lf, i)) {
            c->interfaces.push_back(known);
        } else {
            c->pendingInterfaces.push_back(i); // defined later in its script
        }
    }
    c->classObj = track(new Object());
    c->classObj->kind = ObjKind::Class;
    c->classObj->classInfo = c;
    c->classObj->cls = classClass;
    c->classObj->proto = classClass != nullptr ? classClass->prototype : nullptr;
    c->prototype = newPlainObject();
    c->prototype->proto = super != nullptr ? super->prototype : objectClass->prototype;
    c->classObj->setDyn("prototype", Value::obj(c->prototype));
    c->classObj->dyn.back().enumerable = false;
    c->prototype->setDyn("constructor", Value::obj(c->classObj));
    c->prototype->dyn.back().enumerable = false;
    c->scope = scope;
    c->scope.push_back(ScopeEntry{Value::obj(c->classObj), false});
    buildTraits(lf, inst.traits, c->instanceTraits, c, nullptr);
    overrideInheritedProtected(c);
    buildTraits(lf, cl.traits, c->staticTraits, c, nullptr);
    // Methods of the interfaces it implements answer to the interfaces' names as well.
    for (ClassInfo* i : c->interfaces) {
        for (const auto& [name, list] : i->instanceTraits.byName) {
            for (const Trait& it : list) {
                Name pub = publicName(name);
                if (const Trait* own = c->instanceTraits.find(pub, m_as3)) {
                    if (c->instanceTraits.findExact(name, it.ns) == nullptr) {
                        Trait copy = *own;
                        copy.ns = it.ns;
                        c->instanceTraits.byName[name].push_back(copy);
                    }
                }
            }
        }
    }
    c->init = lf.methods[inst.initializer];
    c->init->owner = c;
    c->cinit = lf.methods[cl.initializer];
    c->cinit->owner = c;
    initSlots(c->classObj, c->staticTraits);
    lf.classes[index] = c;
    runMethod(c->cinit, Value::obj(c->classObj), {}, c->scope);
    return c;
}

ClassInfo* Machine::definedClass(LoadedFile& lf, std::uint32_t index) {
    const Name n = staticName(lf, index);
    DomainEntry* e = nullptr;
    if (findInDomain(n, &e)) {
        const Value v = getProperty(Value::obj(holderOf(*e)), n);
        if (v.isObject() && v.o->kind == ObjKind::Class) {
            return v.o->classInfo;
        }
    }
    return nullptr;
}

void Machine::resolveInterfaces(ClassInfo* cls) {
    std::vector<ClassInfo*> work;
    std::unordered_set<ClassInfo*> seen;
    for (ClassInfo* c = cls; c != nullptr && seen.insert(c).second; c = c->super) {
        work.push_back(c);
    }
    while (!work.empty()) {
        ClassInfo* c = work.back();
        work.pop_back();
        if (!c->pendingInterfaces.empty() && c->file != nullptr) {
            LoadedFile& lf = *fileOf(c->file);
            std::erase_if(c->pendingInterfaces, [&](std::uint32_t i) {
                ClassInfo* found = definedClass(lf, i);
                // One that leads back to the class would make a ring: it is left out.
                if (found != nullptr && found != c && !found->isSubclassOf(c)) {
                    c->interfaces.push_back(found);
                }
                return found != nullptr;
            });
        }
        for (ClassInfo* i : c->interfaces) {
            if (seen.insert(i).second) {
                work.push_back(i);
            }
        }
    }
}

ClassInfo* Machine::classFromName(LoadedFile& lf, std::uint32_t index) {
    if (index == 0) {
        return nullptr;
    }
    if (ClassInfo* c = definedClass(lf, index)) {
        return c;
    }
    return findClass(typeNameOf(lf, index));
}

ClassInfo* Machine::currentClassFor(MethodInfo* m) const {
    return m->owner;
}

} // namespace kinovex::flash::avm2
