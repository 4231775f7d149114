// A text field bound to a variable, between frames: setting the binding shows the variable at
// once, writing the text writes the variable, and reading the text shows a clip's variable as
// it is now (a variable of any other object shows only at the next frame).

#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/display/TextField.h"

namespace kinovex::flash {

using avm1::Value;

namespace {

void show(TextField& f, const std::string& text) {
    if (f.html()) {
        f.setHtmlText(text);
    } else {
        f.setText(text);
    }
}

} // namespace

void ScriptRuntime::readFieldVariable(TimelineInstance& parent, TextField& f) {
    if (f.variable().empty()) {
        return;
    }
    const Value v = m_vm->getVariable(parent.clipId(), f.variable());
    if (!v.isUndefined()) {
        show(f, m_vm->toString(v));
    }
}

// "name" and "clip:name" are variables of a clip; "path.name" is one when the path leads to a
// clip.
void ScriptRuntime::showClipVariable(TimelineInstance& parent, TextField& f) {
    const std::string& path = f.variable();
    const std::size_t cut = path.find_last_of(".:");
    if (path.empty() || cut == 0) {
        return;
    }
    if (cut != std::string::npos && path[cut] == '.') {
        const Value owner = m_vm->getVariable(parent.clipId(), path.substr(0, cut));
        if (!owner.isObject() || owner.asObject()->objectClass() != avm1::ObjectClass::Clip) {
            return;
        }
    }
    readFieldVariable(parent, f);
}

void ScriptRuntime::writeFieldVariable(TimelineInstance& parent, TextField& f) {
    if (!f.variable().empty()) {
        m_vm->setVariable(parent.clipId(), f.variable(), Value(f.html() ? f.htmlText() : f.text()));
    }
}

} // namespace kinovex::flash
