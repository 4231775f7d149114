// Selection: which clip or text field has the keyboard focus, and the text selected in it. Only
// scripts move the focus here: the engine has no keyboard user tabbing through the movie.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/display/TextField.h"

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::Object;
using avm1::Value;

std::string ScriptRuntime::pathOf(const Value& v) {
    TimelineInstance* parent = nullptr;
    if (const TimelineInstance* c = clipOfValue(v)) {
        return m_vm->targetPath(c->clipId());
    }
    if (const DisplayObject* field = fieldOf(avm1::selfObject(v), &parent)) {
        return m_vm->targetPath(parent->clipId()) + "." + field->name;
    }
    return {};
}

// A text field always takes the focus, with all its text selected; a clip takes it when it is
// not a level and either says focusEnabled or acts as a button.
bool ScriptRuntime::takeFocus(const Value& target) {
    Object* o = avm1::selfObject(target);
    Focus focus{o};
    if (const DisplayObject* field = fieldOf(o); field != nullptr && field->textField) {
        focus.begin = 0;
        focus.end = focus.caret = static_cast<int>(field->textField->content().text.size());
    } else if (TimelineInstance* c = clipOfValue(target)) {
        const bool enabled = m_vm->toBoolean(m_vm->getMember(target, "focusEnabled"));
        if (parentClip(c->clipId()) == 0 || !(enabled || clipTakesMouse(*c))) {
            return false;
        }
    } else {
        return false;
    }
    if (m_focus.object != nullptr) {
        m_vm->release(m_focus.object);
    }
    m_vm->keepAlive(o);
    m_focus = focus;
    return true;
}

void ScriptRuntime::installSelectionObject() {
    avm1::Vm& vm = *m_vm;
    Object* selection = avm1::defineBroadcasterObject(vm, "Selection");
    // The focus as a path, null when nothing (or something that has gone) has it.
    vm.setFunction(selection, "getFocus", [this](avm1::Vm&, const Value&, Args) {
        const std::string path = m_focus.object != nullptr ? pathOf(Value(m_focus.object)) : "";
        return path.empty() ? Value::null() : Value(path);
    });
    // setFocus(undefined or null) clears the focus and gives true. Otherwise it gives false,
    // whether or not the target took the focus.
    vm.setFunction(selection, "setFocus", [this](avm1::Vm&, const Value&, Args args) {
        if (args.empty()) {
            return Value(false);
        }
        if (args[0].isUndefined() || args[0].isNull()) {
            if (m_focus.object != nullptr) {
                m_vm->release(m_focus.object);
            }
            m_focus = Focus{};
            return Value(true);
        }
        takeFocus(args[0]);
        return Value(false);
    });
    using Index = int Focus::*;
    const std::pair<const char*, Index> indices[] = {{"getBeginIndex", &Focus::begin},
                                                     {"getEndIndex", &Focus::end},
                                                     {"getCaretIndex", &Focus::caret}};
    for (const auto& entry : indices) {
        const Index index = entry.second; // a plain local: lambdas may not capture bindings
        vm.setFunction(selection, entry.first, [this, index](avm1::Vm&, const Value&, Args) {
            const bool field = m_focus.object != nullptr && fieldOf(m_focus.object) != nullptr;
            return Value(field ? static_cast<double>(m_focus.*index) : -1.0);
        });
    }
    vm.setFunction(selection, "setSelection", [this](avm1::Vm& v, const Value&, Args args) {
        if (m_focus.object != nullptr && fieldOf(m_focus.object) != nullptr) {
            m_focus.begin = avm1::toInt32(v.toNumber(arg(args, 0)));
            m_focus.end = m_focus.caret = avm1::toInt32(v.toNumber(arg(args, 1)));
        }
        return Value();
    });
    avm1::sealProperties(selection);
}

} // namespace kinovex::flash
