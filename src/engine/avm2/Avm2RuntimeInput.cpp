// Avm2Runtime's input: the pointer's presses, releases and moves reach the interactive object
// under it as MouseEvents (a click when press and release meet the same object; rolls out and
// over as the object under it changes), and the keys reach the focused object, or the stage,
// as KeyboardEvents.

#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/Avm2RuntimeGuarded.h"
#include "engine/avm2/DisplayNatives.h"
#include "engine/avm2/HiddenFields.h"

#include <algorithm>
#include <utility>

namespace kinovex::flash {

using avm2::Args;
using avm2::hidden;
using avm2::Machine;
using avm2::Object;
using avm2::setHidden;
using avm2::Value;

bool Avm2Runtime::takesInput() {
    if (m_rootObject == nullptr || m_stopped) {
        return false;
    }
    m_vm->refillBudget();
    return true;
}

Object* Avm2Runtime::pointerAt(double x, double y) {
    m_pointerX = x;
    m_pointerY = y;
    Object* target = display_natives::mouseTarget(*this, *m_vm, Point{x * 20, y * 20});
    pointerOver(target == m_stage ? nullptr : target);
    return target;
}

void Avm2Runtime::mouseEvent(Object* target, const char* type, bool bubbles, Object* related) {
    Machine& m = *m_vm;
    Point local{m_pointerX * 20, m_pointerY * 20};
    Matrix inverse;
    if (target != m_stage && invert(display_natives::stageMatrixOf(target), inverse)) {
        local = Point{inverse.a * local.x + inverse.c * local.y + inverse.tx,
                      inverse.b * local.x + inverse.d * local.y + inverse.ty};
    }
    Value a[11] = {m.str(type),
                   Value::boolean(bubbles),
                   Value::boolean(false),
                   Value::number(local.x / 20),
                   Value::number(local.y / 20),
                   related != nullptr ? Value::obj(related) : Value::null(),
                   Value::boolean(false),
                   Value::boolean(false),
                   Value::boolean(false),
                   Value::boolean(m_buttonDown),
                   Value::integer(0)};
    Object* event = nullptr;
    guarded([&] { event = m.constructClass(m.builtin("flash.events.MouseEvent"), Args(a)); });
    if (event != nullptr) {
        setHidden(event, "stageX", Value::number(m_pointerX));
        setHidden(event, "stageY", Value::number(m_pointerY));
        dispatch(target, event);
    }
}

namespace {
// `o` and its ancestors below the stage, `o` first.
std::vector<Object*> chainOf(Object* o, const Object* stage) {
    std::vector<Object*> chain;
    for (; o != nullptr && o != stage; o = o->parentObj) {
        chain.push_back(o);
    }
    return chain;
}
} // namespace

// Out of the old object and the ancestors it does not share with the new, then over those of
// the new, outermost first, and the new.
void Avm2Runtime::pointerOver(Object* now) {
    Object* was = m_over;
    if (now == was) {
        return;
    }
    m_over = now;
    const std::vector<Object*> wasChain = chainOf(was, m_stage);
    const std::vector<Object*> nowChain = chainOf(now, m_stage);
    const auto shared = [](const std::vector<Object*>& chain, Object* o) {
        return std::find(chain.begin(), chain.end(), o) != chain.end();
    };
    if (was != nullptr) {
        mouseEvent(was, "mouseOut", true, now);
        for (Object* o : wasChain) {
            if (!shared(nowChain, o)) {
                mouseEvent(o, "rollOut", false, now);
            }
        }
    }
    if (now != nullptr) {
        for (auto it = nowChain.rbegin(); it != nowChain.rend(); ++it) {
            if (!shared(wasChain, *it)) {
                mouseEvent(*it, "rollOver", false, was);
            }
        }
        mouseEvent(now, "mouseOver", true, was);
    }
}

void Avm2Runtime::mouseMove(double x, double y) {
    if (takesInput()) {
        mouseEvent(pointerAt(x, y), "mouseMove", true, nullptr);
    }
}

void Avm2Runtime::mouseDown(double x, double y) {
    if (!takesInput()) {
        return;
    }
    Object* target = pointerAt(x, y);
    m_buttonDown = true;
    m_pressed = target;
    mouseEvent(target, "mouseDown", true, nullptr);
}

void Avm2Runtime::mouseUp(double x, double y) {
    if (!takesInput()) {
        return;
    }
    Object* target = pointerAt(x, y);
    m_buttonDown = false;
    Object* pressed = std::exchange(m_pressed, nullptr);
    mouseEvent(target, "mouseUp", true, nullptr);
    if (pressed == target) {
        mouseEvent(target, "click", true, nullptr);
    }
}

void Avm2Runtime::keyEvent(const char* type, int keyCode, std::uint32_t charCode) {
    if (!takesInput()) {
        return;
    }
    Machine& m = *m_vm;
    const Value focus = hidden(m_stage, "focus");
    Object* target = focus.isObject() ? focus.o : m_stage;
    Value a[5] = {m.str(type), Value::boolean(true), Value::boolean(false), Value::number(charCode),
                  Value::integer(keyCode)};
    Object* event = nullptr;
    guarded([&] { event = m.constructClass(m.builtin("flash.events.KeyboardEvent"), Args(a)); });
    if (event != nullptr) {
        dispatch(target, event);
    }
}

void Avm2Runtime::keyDown(int keyCode, std::uint32_t charCode) {
    keyEvent("keyDown", keyCode, charCode);
}

void Avm2Runtime::keyUp(int keyCode, std::uint32_t charCode) {
    keyEvent("keyUp", keyCode, charCode);
}

} // namespace kinovex::flash
