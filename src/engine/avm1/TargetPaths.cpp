// Walking a target path ("a/b", "../a", "_root.a", "/a:b") from an object to the object it
// names, as variable paths and SetTarget read them.

#include "engine/avm1/Names.h"
#include "engine/avm1/Vm.h"

namespace kinovex::flash::avm1 {

namespace {

bool isClipObject(const Object* o) {
    return o->objectClass() == ObjectClass::Clip && o->clip() != 0;
}

// The longest name a path step reads; a longer one goes on as the next step.
constexpr std::size_t kMaxPathName = 127;

// Splits a path (after its leading slash) into steps: names, and ".." for the parent.
class PathReader {
public:
    enum class Kind { End, Parent, Name, Bad };
    struct Step {
        Kind kind;
        std::string_view name;
    };

    PathReader(std::string_view path, bool slashSeen) : m_rest(path), m_slashSeen(slashSeen) {}

    Step next() {
        if (m_rest.empty()) {
            return {Kind::End, {}};
        }
        // Colons before a name are skipped, but a name is never empty: one colon with no
        // name after it is the name.
        while (m_rest.starts_with(':') && m_rest.size() > 1 && m_rest[1] != '/') {
            m_rest.remove_prefix(1);
            m_afterDot = false;
        }
        // ".." is slash syntax: it steps up at the start or after ':' or '/' (never right
        // after a dot) when the path ends or goes on with '/' or ':' there, and the names
        // after it are read as slash names. The delimiter after it goes with it.
        if (!m_afterDot && m_rest.starts_with("..") &&
            (m_rest.size() == 2 || m_rest[2] == '/' || m_rest[2] == ':')) {
            m_slashSeen = true;
            m_rest.remove_prefix(m_rest.size() > 2 ? 3 : 2);
            return {Kind::Parent, {}};
        }
        return readName();
    }

private:
    // Dots part names until a slash has been read, except in a name that starts with one
    // ("a/b.c" and "a:...:d" name "b.c" and "...").
    bool endsName(std::size_t i) const {
        const char c = m_rest[i];
        return c == '/' || (c == ':' && i > 0) || (c == '.' && !m_slashSeen && m_rest[0] != '.');
    }

    Step readName() {
        std::size_t end = 0;
        while (end < m_rest.size() && end < kMaxPathName && !endsName(end)) {
            ++end;
        }
        const std::string_view name = m_rest.substr(0, end);
        m_afterDot = false;
        if (end < m_rest.size() && endsName(end)) {
            m_slashSeen = m_slashSeen || m_rest[end] == '/';
            m_afterDot = m_rest[end] == '.';
            ++end;
        }
        m_rest.remove_prefix(end);
        return {name.empty() ? Kind::Bad : Kind::Name, name};
    }

    std::string_view m_rest;
    bool m_slashSeen;
    bool m_afterDot = false;
};

} // namespace

ClipId Vm::levelOf(ClipId clip) {
    ClipId c = clip;
    for (int guard = 0; guard < 4096; ++guard) {
        const ClipId parent = m_host.parentClip(c);
        if (!parent) {
            return c;
        }
        c = parent;
    }
    return c;
}

Value Vm::pathStep(Object* o, std::string_view name) {
    // A clip's own children come before its variables of the same name.
    if (isClipObject(o)) {
        if (const ClipId child = m_host.childClip(o->clip(), name, m_version >= 7)) {
            return Value(clipObject(child));
        }
    }
    return getMember(o, name, Value(o));
}

ClipId Vm::rootOf(ClipId clip) {
    ClipId c = clip;
    for (int guard = 0; c != 0 && m_version >= 7 && guard < 4096; ++guard) {
        const Object* o = existingClipObject(c);
        const Property* lock = o != nullptr ? o->findOwn("_lockroot") : nullptr;
        if (lock != nullptr && lock->getter == nullptr && toBoolean(lock->value)) {
            return c;
        }
        c = m_host.parentClip(c);
    }
    return m_host.rootClip();
}

ClipId Vm::resolveTarget(ClipId base, std::string_view path) {
    if (path.empty()) {
        return base;
    }
    Object* start = clipObject(base);
    if (!start) {
        return 0;
    }
    const ClipId root = m_host.clipExists(base) ? levelOf(base) : m_host.rootClip();
    Object* o = resolvePath(start, root, path);
    return o && isClipObject(o) ? o->clip() : 0;
}

Object* Vm::resolvePath(Object* start, ClipId root, std::string_view path) {
    if (path.empty()) {
        return nullptr;
    }
    Object* o = start;
    const bool absolute = path.starts_with('/');
    if (absolute) {
        o = root ? clipObject(root) : nullptr;
        path.remove_prefix(1);
    }
    PathReader reader(path, absolute);
    for (PathReader::Step s = reader.next(); o && s.kind != PathReader::Kind::End;
         s = reader.next()) {
        if (s.kind == PathReader::Kind::Bad) {
            return nullptr;
        }
        if (s.kind == PathReader::Kind::Parent) {
            const ClipId parent = isClipObject(o) ? m_host.parentClip(o->clip()) : 0;
            o = parent ? clipObject(parent) : nullptr;
            continue;
        }
        const Value v = pathStep(o, s.name);
        o = v.isObject() ? v.asObject() : nullptr;
    }
    return o;
}

} // namespace kinovex::flash::avm1
