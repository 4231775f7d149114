// flash.utils.Proxy and the flash_proxy namespace. Names reach the flash_proxy methods as
// QName objects (hasProperty's as a string); the base class's methods throw the player's
// IllegalOperationError until a subclass overrides them.

#include "engine/avm2/ProxyClass.h"
#include "engine/avm2/Machine.h"

namespace kinovex::flash::avm2 {

namespace {

constexpr const char* kProxyUri = "http://www.adobe.com/2006/actionscript/flash/proxy";

bool isProxy(const Value& obj) {
    return obj.isObject() && obj.o->kind == ObjKind::Proxy;
}

// Calls the object's flash_proxy::`method`.
Value callProxy(Machine& vm, const Value& obj, const char* method, Args args) {
    Name n;
    n.name = method;
    n.nss = {vm.internNs(abc::NamespaceKind::Namespace, kProxyUri)};
    return vm.callProperty(obj, n, args);
}

// The name as a QName: public when the name may be public, else in its first namespace.
Value qualifiedName(Machine& vm, const Name& name) {
    const std::string uri = name.hasPublic() || name.nss.empty() ? "" : name.nss.front()->uri;
    if (ClassInfo* qname = vm.builtin("QName")) {
        Value a[2] = {vm.str(uri), vm.str(name.name)};
        return Value::obj(vm.constructClass(qname, Args(a, 2)));
    }
    return vm.str(uri.empty() ? name.name : uri + "::" + name.name);
}

#define NOT_IMPLEMENTED(FN, NAME)                                                                  \
    Value FN(Machine& vm, Value, Args) {                                                           \
        vm.throwError("flash.errors.IllegalOperationError", 2088,                                  \
                      "The Proxy class does not implement " NAME                                   \
                      ". It must be overridden by a subclass.");                                   \
    }
NOT_IMPLEMENTED(getPropertyBase, "getProperty")
NOT_IMPLEMENTED(setPropertyBase, "setProperty")
NOT_IMPLEMENTED(callPropertyBase, "callProperty")
NOT_IMPLEMENTED(hasPropertyBase, "hasProperty")
NOT_IMPLEMENTED(deletePropertyBase, "deleteProperty")
NOT_IMPLEMENTED(getDescendantsBase, "getDescendants")
NOT_IMPLEMENTED(nextNameIndexBase, "nextNameIndex")
NOT_IMPLEMENTED(nextNameBase, "nextName")
NOT_IMPLEMENTED(nextValueBase, "nextValue")
#undef NOT_IMPLEMENTED

Value isAttributeBase(Machine& vm, Value, Args a) {
    const Value name = arg(a, 0);
    return Value::boolean(name.isObject() && Machine::toBoolean(vm.get(name, "attribute")));
}

} // namespace

std::optional<Value> proxyGet(Machine& vm, const Value& obj, const Name& name) {
    if (!isProxy(obj)) {
        return std::nullopt;
    }
    Value a[1] = {qualifiedName(vm, name)};
    return callProxy(vm, obj, "getProperty", Args(a, 1));
}

bool proxySet(Machine& vm, const Value& obj, const Name& name, const Value& v) {
    if (!isProxy(obj)) {
        return false;
    }
    Value a[2] = {qualifiedName(vm, name), v};
    callProxy(vm, obj, "setProperty", Args(a, 2));
    return true;
}

std::optional<Value> proxyCall(Machine& vm, const Value& obj, const Name& name, Args args) {
    if (!isProxy(obj)) {
        return std::nullopt;
    }
    std::vector<Value> a{qualifiedName(vm, name)};
    a.insert(a.end(), args.begin(), args.end());
    return callProxy(vm, obj, "callProperty", Args(a));
}

std::optional<bool> proxyHas(Machine& vm, const Value& obj, const Name& name) {
    if (!isProxy(obj)) {
        return std::nullopt;
    }
    Value a[1] = {vm.str(name.name)};
    return Machine::toBoolean(callProxy(vm, obj, "hasProperty", Args(a, 1)));
}

std::optional<bool> proxyDelete(Machine& vm, const Value& obj, const Name& name) {
    if (!isProxy(obj)) {
        return std::nullopt;
    }
    Value a[1] = {qualifiedName(vm, name)};
    return Machine::toBoolean(callProxy(vm, obj, "deleteProperty", Args(a, 1)));
}

std::uint32_t proxyNextIndex(Machine& vm, Object* o, std::uint32_t index) {
    Value a[1] = {Value::number(index)};
    return vm.toUint(callProxy(vm, Value::obj(o), "nextNameIndex", Args(a, 1)));
}

Value proxyNameAt(Machine& vm, Object* o, std::uint32_t index) {
    Value a[1] = {Value::number(index)};
    return callProxy(vm, Value::obj(o), "nextName", Args(a, 1));
}

Value proxyValueAt(Machine& vm, Object* o, std::uint32_t index) {
    Value a[1] = {Value::number(index)};
    return callProxy(vm, Value::obj(o), "nextValue", Args(a, 1));
}

void installProxyClass(Machine& m) {
    Ns* ns = m.internNs(abc::NamespaceKind::Namespace, kProxyUri);
    Object* nsObject = m.newObject(m.namespaceClass);
    nsObject->ns = ns;
    m.definePackageValue("flash.utils", "flash_proxy", Value::obj(nsObject));
    ClassInfo* proxy = m.defineNativeClass("flash.utils", "Proxy", m.objectClass, ObjKind::Proxy);
    const std::pair<const char*, NativeFn> methods[] = {
        {"getProperty", getPropertyBase},       {"setProperty", setPropertyBase},
        {"callProperty", callPropertyBase},     {"hasProperty", hasPropertyBase},
        {"deleteProperty", deletePropertyBase}, {"getDescendants", getDescendantsBase},
        {"nextNameIndex", nextNameIndexBase},   {"nextName", nextNameBase},
        {"nextValue", nextValueBase},           {"isAttribute", isAttributeBase}};
    for (const auto& [name, fn] : methods) {
        m.defineMethod(proxy, name, fn, 1);
        proxy->instanceTraits.byName[name].back().ns = ns; // in flash_proxy, not public
    }
}

} // namespace kinovex::flash::avm2
