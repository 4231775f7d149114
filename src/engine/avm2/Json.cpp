// JSON.parse and JSON.stringify.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/text/TextEncoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kinovex::flash::avm2 {

namespace {

// ---- parse ----

class JsonReader {
public:
    JsonReader(Machine& vm, const std::string& text) : m_vm(vm), m_s(text) {}

    Value document() {
        Value v = value();
        space();
        if (m_at != m_s.size()) {
            fail();
        }
        return v;
    }

private:
    [[noreturn]] void fail() { m_vm.throwError("SyntaxError", 1132, "Invalid JSON parse input."); }

    void space() {
        while (m_at < m_s.size() &&
               (m_s[m_at] == ' ' || m_s[m_at] == '\t' || m_s[m_at] == '\n' || m_s[m_at] == '\r')) {
            ++m_at;
        }
    }

    bool take(const char* word) {
        const std::string_view w(word);
        if (m_s.compare(m_at, w.size(), w) == 0) {
            m_at += w.size();
            return true;
        }
        return false;
    }

    Value value() {
        const NativeDepth level(m_vm);
        space();
        if (m_at >= m_s.size()) {
            fail();
        }
        const char c = m_s[m_at];
        if (c == '{') {
            return object();
        }
        if (c == '[') {
            return array();
        }
        if (c == '"') {
            return m_vm.str(string());
        }
        if (take("true")) {
            return Value::boolean(true);
        }
        if (take("false")) {
            return Value::boolean(false);
        }
        if (take("null")) {
            return Value::null();
        }
        return number();
    }

    Value number() {
        const std::size_t start = m_at;
        m_at += m_s[m_at] == '-' ? 1 : 0;
        const auto digits = [&] {
            const std::size_t from = m_at;
            while (m_at < m_s.size() && m_s[m_at] >= '0' && m_s[m_at] <= '9') {
                ++m_at;
            }
            return m_at > from;
        };
        if (!digits()) {
            fail();
        }
        if (m_at < m_s.size() && m_s[m_at] == '.') {
            ++m_at;
            if (!digits()) {
                fail();
            }
        }
        if (m_at < m_s.size() && (m_s[m_at] == 'e' || m_s[m_at] == 'E')) {
            ++m_at;
            m_at += m_at < m_s.size() && (m_s[m_at] == '+' || m_s[m_at] == '-') ? 1 : 0;
            if (!digits()) {
                fail();
            }
        }
        return Value::number(std::strtod(m_s.substr(start, m_at - start).c_str(), nullptr));
    }

    std::string string() {
        ++m_at; // '"'
        std::string out;
        while (true) {
            if (m_at >= m_s.size()) {
                fail();
            }
            const char c = m_s[m_at++];
            if (c == '"') {
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_s.size()) {
                fail();
            }
            const char e = m_s[m_at++];
            const std::string_view plain = "\"\\/bfnrt";
            const std::string_view meant = "\"\\/\b\f\n\r\t";
            if (const auto k = plain.find(e); k != std::string_view::npos) {
                out += meant[k];
            } else if (e == 'u' && m_at + 4 <= m_s.size()) {
                appendUtf8(out,
                           static_cast<char32_t>(std::stoul(m_s.substr(m_at, 4), nullptr, 16)));
                m_at += 4;
            } else {
                fail();
            }
        }
    }

    Value array() {
        ++m_at;
        std::vector<Value> elems;
        space();
        if (take("]")) {
            return Value::obj(m_vm.newArray(std::move(elems)));
        }
        do {
            elems.push_back(value());
            space();
        } while (take(","));
        if (!take("]")) {
            fail();
        }
        return Value::obj(m_vm.newArray(std::move(elems)));
    }

    Value object() {
        ++m_at;
        Object* o = m_vm.newPlainObject();
        space();
        if (take("}")) {
            return Value::obj(o);
        }
        do {
            space();
            if (m_at >= m_s.size() || m_s[m_at] != '"') {
                fail();
            }
            const std::string key = string();
            space();
            if (!take(":")) {
                fail();
            }
            o->setDyn(key, value());
            space();
        } while (take(","));
        if (!take("}")) {
            fail();
        }
        return Value::obj(o);
    }

    Machine& m_vm;
    const std::string& m_s;
    std::size_t m_at = 0;
};

Value revive(Machine& vm, const Value& reviver, const Value& holder, const std::string& key) {
    const NativeDepth level(vm);
    const Value v = vm.get(holder, key);
    if (v.isObject()) {
        std::vector<std::string> keys;
        if (v.o->kind == ObjKind::Array) {
            for (std::size_t i = 0; i < v.o->elems.size(); ++i) {
                keys.push_back(std::to_string(i));
            }
        } else {
            for (const DynProp& p : v.o->dyn) {
                if (!p.deleted && p.enumerable) {
                    keys.push_back(p.name);
                }
            }
        }
        for (const std::string& k : keys) {
            const Value r = revive(vm, reviver, v, k);
            if (r.isUndefined()) {
                vm.deleteProperty(v, vm.publicName(k));
            } else {
                vm.set(v, k, r);
            }
        }
    }
    Value a[2] = {vm.str(key), v};
    return vm.call(reviver, holder, Args(a, 2));
}

Value jsonParse(Machine& vm, Value, Args args) {
    const Value text = arg(args, 0);
    if (text.isNullish()) {
        vm.throwError("SyntaxError", 1132, "Invalid JSON parse input.");
    }
    Value result = JsonReader(vm, vm.toString(text)).document();
    const Value reviver = arg(args, 1);
    if (reviver.isObject() && reviver.o->kind == ObjKind::Function) {
        Object* root = vm.newPlainObject();
        root->setDyn("", result);
        result = revive(vm, reviver, Value::obj(root), "");
    }
    return result;
}

// ---- stringify ----

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

bool isFunction(const Value& v) {
    return v.isObject() && (v.o->kind == ObjKind::Function || v.o->kind == ObjKind::Class);
}

class JsonWriter {
public:
    JsonWriter(Machine& vm, Value replacer, std::string gap)
        : m_vm(vm), m_replacer(replacer), m_gap(std::move(gap)) {
        if (replacer.isObject() && replacer.o->kind == ObjKind::Array) {
            m_allowed.emplace();
            for (const Value& k : replacer.o->elems) {
                m_allowed->push_back(vm.toString(k));
            }
        }
    }

    // The text of holder[key], or nothing when it is left out (undefined, functions).
    std::optional<std::string> write(const Value& holder, const std::string& key, Value v) {
        const NativeDepth level(m_vm);
        std::optional<std::string> text = written(holder, key, v);
        if (text) {
            m_written += text->size();
            m_vm.checkStringLength(m_written);
        }
        return text;
    }

private:
    std::optional<std::string> written(const Value& holder, const std::string& key, Value v) {
        if (v.isObject() && m_vm.hasProperty(v, m_vm.publicName("toJSON"))) {
            const Value toJson = m_vm.get(v, "toJSON");
            if (isFunction(toJson)) {
                Value k = m_vm.str(key);
                v = m_vm.call(toJson, v, Args(&k, 1));
            }
        }
        if (isFunction(m_replacer)) {
            Value a[2] = {m_vm.str(key), v};
            v = m_vm.call(m_replacer, holder, Args(a, 2));
        }
        if (v.isObject() && v.o->kind == ObjKind::Boxed) {
            v = v.o->primitive;
        }
        if (v.isNull()) {
            return "null";
        }
        if (v.kind == Kind::Boolean) {
            return v.b ? "true" : "false";
        }
        if (v.isString()) {
            return quote(m_vm.toString(v));
        }
        if (v.isNumeric()) {
            const double n = m_vm.toNumber(v);
            return std::isfinite(n) ? Machine::numberText(n) : "null";
        }
        if (!v.isObject() || isFunction(v)) {
            return std::nullopt;
        }
        if (std::find(m_stack.begin(), m_stack.end(), v.o) != m_stack.end()) {
            m_vm.throwError("TypeError", 1129,
                            "Cyclic structure cannot be converted to JSON string.");
        }
        m_stack.push_back(v.o);
        const std::string indent = m_indent;
        m_indent += m_gap;
        std::string out = v.o->kind == ObjKind::Array || (v.o->cls != nullptr && v.o->cls->isVector)
                              ? array(v)
                              : object(v);
        m_indent = indent;
        m_stack.pop_back();
        return out;
    }

    std::string wrap(const std::vector<std::string>& parts, char open, char close) const {
        if (parts.empty()) {
            return std::string(1, open) + close;
        }
        const std::string lead = m_gap.empty() ? "" : "\n" + m_indent;
        std::size_t length = parts.size() * (lead.size() + 1) + m_indent.size() + 3;
        for (const std::string& part : parts) {
            length += part.size();
        }
        m_vm.checkStringLength(length);
        std::string out(1, open);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            out += (i > 0 ? "," : "") + lead + parts[i];
        }
        if (!m_gap.empty()) {
            out += "\n" + m_indent.substr(0, m_indent.size() - m_gap.size());
        }
        return out + close;
    }

    std::string array(const Value& v) {
        std::vector<std::string> parts;
        const std::size_t n = v.o->kind == ObjKind::Array
                                  ? v.o->elems.size()
                                  : static_cast<std::size_t>(m_vm.toNumber(m_vm.get(v, "length")));
        for (std::size_t i = 0; i < n; ++i) {
            const std::string key = std::to_string(i);
            parts.push_back(write(v, key, m_vm.get(v, key)).value_or("null"));
        }
        return wrap(parts, '[', ']');
    }

    // The names an object gives: its class's public variables, constants and getters, then its
    // enumerable dynamic properties in the order they were made.
    std::vector<std::string> keysOf(Object* o) const {
        if (m_allowed) {
            return *m_allowed;
        }
        std::vector<std::string> keys;
        if (o->cls != nullptr) {
            std::vector<std::string> getters;
            for (const auto& [name, traits] : o->cls->instanceTraits.byName) {
                for (const Trait& t : traits) {
                    if (t.ns != m_vm.publicNs()) {
                        continue;
                    }
                    if (t.type == Trait::Slot || t.type == Trait::Const) {
                        keys.push_back(name);
                    } else if (t.type == Trait::Accessor && t.getter != nullptr) {
                        getters.push_back(name);
                    }
                }
            }
            keys.insert(keys.end(), getters.begin(), getters.end());
        }
        for (const DynProp& p : o->dyn) {
            if (!p.deleted && p.enumerable) {
                keys.push_back(p.name);
            }
        }
        return keys;
    }

    std::string object(const Value& v) {
        std::vector<std::string> parts;
        for (const std::string& key : keysOf(v.o)) {
            if (m_allowed && !m_vm.hasProperty(v, m_vm.publicName(key))) {
                continue;
            }
            if (const auto text = write(v, key, m_vm.get(v, key))) {
                parts.push_back(quote(key) + (m_gap.empty() ? ":" : ": ") + *text);
            }
        }
        return wrap(parts, '{', '}');
    }

    Machine& m_vm;
    Value m_replacer;
    std::string m_gap;
    std::string m_indent;
    std::optional<std::vector<std::string>> m_allowed;
    std::vector<Object*> m_stack;
    std::size_t m_written = 0; // the length of every value's text written so far
};

std::string gapOf(Machine& vm, const Value& space) {
    if (space.isNumeric()) {
        const double n = std::clamp(std::floor(vm.toNumber(space)), 0.0, 10.0);
        return std::string(static_cast<std::size_t>(n), ' ');
    }
    if (space.isString()) {
        return vm.toString(space).substr(0, 10);
    }
    return "";
}

Value jsonStringify(Machine& vm, Value, Args args) {
    // A replacer left out is null; one given must be null, an array or a function (undefined
    // given is refused).
    const Value replacer = args.size() > 1 ? args[1] : Value::null();
    const bool listed = replacer.isObject() && replacer.o->kind == ObjKind::Array;
    if (!replacer.isNull() && !listed && !isFunction(replacer)) {
        vm.throwError("TypeError", 1131,
                      "Replacer argument to JSON stringifier must be an array or a two parameter "
                      "function.");
    }
    JsonWriter writer(vm, replacer, gapOf(vm, arg(args, 2)));
    Object* root = vm.newPlainObject();
    root->setDyn("", arg(args, 0));
    const auto text = writer.write(Value::obj(root), "", arg(args, 0));
    return text ? vm.str(*text) : Value();
}

} // namespace

void installJsonClass(Machine& m) {
    ClassInfo* json = m.defineNativeClass("", "JSON", m.objectClass);
    m.defineStatic(json, "parse", jsonParse, 2);
    m.defineStatic(json, "stringify", jsonStringify, 3);
}

} // namespace kinovex::flash::avm2
