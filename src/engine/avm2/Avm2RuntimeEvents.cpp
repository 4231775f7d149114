// Avm2Runtime's events: dispatch through the display list's capture, target and bubble phases,
// added and removed with their stage events, and the frame's broadcasts.

#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/Avm2RuntimeGuarded.h"
#include "engine/avm2/DisplayNatives.h"
#include "engine/avm2/HiddenFields.h"

#include <algorithm>

namespace kinovex::flash {

using avm2::Args;
using avm2::ClassInfo;
using avm2::hidden;
using avm2::Machine;
using avm2::Object;
using avm2::setHidden;
using avm2::Value;
using display_natives::onStage;

void Avm2Runtime::dispatch(Object* target, Object* event, Object* dispatcher) {
    Machine& m = *m_vm;
    const std::string type = m.toString(hidden(event, "type"));
    std::vector<Object*> path;
    for (Object* p = target->parentObj; p != nullptr; p = p->parentObj) {
        path.push_back(p);
    }
    setHidden(event, "target", Value::obj(target));
    auto deliver = [&](Object* at, bool capture, int phase) {
        auto it = at->listeners.find(type);
        if (it == at->listeners.end()) {
            return;
        }
        const std::vector<Object::Listener> list = it->second;
        setHidden(event, "currentTarget", Value::obj(at));
        setHidden(event, "eventPhase", Value::integer(phase));
        for (const Object::Listener& l : list) {
            if (l.capture != capture) {
                continue;
            }
            Value a[1] = {Value::obj(event)};
            guarded([&] { m.call(Value::obj(l.fn), Value::null(), Args(a, 1)); });
            if (Machine::toBoolean(hidden(event, "stopNow"))) {
                return;
            }
        }
    };
    auto stopped = [&] { return Machine::toBoolean(hidden(event, "stop")); };
    for (std::size_t i = path.size(); i-- > 0 && !stopped();) {
        deliver(path[i], true, 1);
    }
    if (!stopped()) {
        deliver(dispatcher != nullptr ? dispatcher : target, false, 2);
    }
    if (Machine::toBoolean(hidden(event, "bubbles"))) {
        for (std::size_t i = 0; i < path.size() && !stopped(); ++i) {
            deliver(path[i], false, 3);
        }
    }
    setHidden(event, "currentTarget", Value::null());
    setHidden(event, "eventPhase", Value::integer(2));
}

void Avm2Runtime::dispatchNew(Object* target, const char* type, bool bubbles) {
    Machine& m = *m_vm;
    Value a[2] = {m.str(type), Value::boolean(bubbles)};
    Object* event = nullptr;
    guarded([&] { event = m.constructClass(m.builtin("flash.events.Event"), Args(a, 2)); });
    if (event != nullptr) {
        dispatch(target, event);
    }
}

// `type` to `top` and everything beneath it, each before its children.
void Avm2Runtime::dispatchToSubtree(Object* top, const char* type) {
    std::vector<Object*> todo{top};
    while (!todo.empty()) {
        Object* o = todo.back();
        todo.pop_back();
        dispatchNew(o, type, false);
        todo.insert(todo.end(), o->children.rbegin(), o->children.rend());
    }
}

void Avm2Runtime::dispatchAdded(Object* child) {
    dispatchNew(child, "added", true);
    if (onStage(*this, child)) {
        dispatchToSubtree(child, "addedToStage");
    }
}

void Avm2Runtime::dispatchRemoved(Object* child) {
    dispatchNew(child, "removed", true);
    if (onStage(*this, child)) {
        dispatchToSubtree(child, "removedFromStage");
    }
}

void Avm2Runtime::listening(Object* o, const std::string& type) {
    const bool broadcastType = type == "enterFrame" || type == "frameConstructed" ||
                               type == "exitFrame" || type == "render";
    if (broadcastType && o != m_stage &&
        std::find(m_listening.begin(), m_listening.end(), o) == m_listening.end()) {
        m_listening.push_back(o);
    }
}

// Every display object listening hears a frame's events, on the display list or not: the
// stage first, then the others in the order they began to listen.
void Avm2Runtime::broadcast(const char* type) {
    Machine& m = *m_vm;
    ClassInfo* ev = m.builtin("flash.events.Event");
    std::vector<Object*> targets;
    const auto hears = [type](const Object* o) {
        auto it = o->listeners.find(type);
        return it != o->listeners.end() && !it->second.empty();
    };
    if (hears(m_stage)) {
        targets.push_back(m_stage);
    }
    std::erase_if(m_listening, [](const Object* o) {
        return std::all_of(o->listeners.begin(), o->listeners.end(),
                           [](const auto& entry) { return entry.second.empty(); });
    });
    for (Object* o : m_listening) {
        if (hears(o)) {
            targets.push_back(o);
        }
    }
    for (Object* o : targets) {
        Value a[1] = {m.str(type)};
        Object* e = nullptr;
        guarded([&] { e = m.constructClass(ev, Args(a, 1)); });
        if (e != nullptr) {
            dispatch(o, e);
        }
    }
}

} // namespace kinovex::flash
