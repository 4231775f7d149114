// _focusrect: whether focus shows as a rectangle. The main timeline's setting is the movie's;
// from version 6 on every other clip has one of its own, null until set.

#include "engine/avm1/ScriptRuntime.h"

#include <cmath>

namespace kinovex::flash {

using avm1::ClipId;
using avm1::Value;

namespace {

bool isMainTimeline(avm1::ScriptHost& host, ClipId id) {
    return host.parentClip(id) == 0;
}

} // namespace

// The movie's setting reads as a number before version 6.
Value ScriptRuntime::focusRect(ClipId id) {
    const int version = m_vm->version();
    if (isMainTimeline(*this, id)) {
        return version >= 6 ? Value(m_focusRect) : Value(m_focusRect ? 1.0 : 0.0);
    }
    if (version < 6) {
        return {};
    }
    const auto it = m_clipFocusRects.find(id);
    return it != m_clipFocusRects.end() ? Value(it->second) : Value::null();
}

// undefined and null change nothing. The movie's setting takes a value as a number (one that
// is no number changes nothing); a clip's takes it as a boolean.
void ScriptRuntime::setFocusRect(ClipId id, const Value& v) {
    if (v.isUndefined() || v.isNull()) {
        return;
    }
    if (isMainTimeline(*this, id)) {
        if (const double n = m_vm->toNumber(v); !std::isnan(n)) {
            m_focusRect = n != 0;
        }
    } else if (m_vm->version() >= 6) {
        m_clipFocusRects[id] = m_vm->toBoolean(v);
    }
}

} // namespace kinovex::flash
