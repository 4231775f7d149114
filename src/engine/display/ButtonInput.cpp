#include "engine/display/ButtonInput.h"

#include "engine/display/Button.h"
#include "engine/display/ShownText.h"

#include <cmath>
#include <vector>

namespace kinovex::flash {

namespace {

struct TransitionInfo {
    std::uint16_t condition;
    ButtonState look;
    int sound; // ButtonSoundSlot, or -1 for none
    const char* handler;
};

constexpr int kNoSound = -1;

// By ButtonInput::Transition. A button released outside goes back to its up look and makes
// the sound of going idle.
constexpr TransitionInfo kTransitions[] = {
    {ButtonIdleToOverUp, ButtonState::Over, static_cast<int>(ButtonSoundSlot::IdleToOverUp),
     "onRollOver"},
    {ButtonOverUpToIdle, ButtonState::Up, static_cast<int>(ButtonSoundSlot::OverUpToIdle),
     "onRollOut"},
    {ButtonOverUpToOverDown, ButtonState::Down, static_cast<int>(ButtonSoundSlot::OverUpToOverDown),
     "onPress"},
    {ButtonOverDownToOverUp, ButtonState::Over, static_cast<int>(ButtonSoundSlot::OverDownToOverUp),
     "onRelease"},
    {ButtonOverDownToOutDown, ButtonState::Over, kNoSound, "onDragOut"},
    {ButtonOutDownToOverDown, ButtonState::Down, kNoSound, "onDragOver"},
    {ButtonOutDownToIdle, ButtonState::Up, static_cast<int>(ButtonSoundSlot::OverUpToIdle),
     "onReleaseOutside"},
    {ButtonIdleToOverDown, ButtonState::Down, kNoSound, "onDragOver"},
    {ButtonOverDownToIdle, ButtonState::Up, kNoSound, "onDragOut"},
};

// Walks every button and clip under `tl` (whatever their visibility), stopping when `visit`
// returns true.
template <typename Visit>
bool walk(TimelineInstance& tl, const Matrix& m, int nesting, Visit&& visit) {
    if (nesting > TimelineInstance::kMaxNesting + 2) {
        return false;
    }
    for (const auto& [depth, obj] : tl.displayList()) {
        const Matrix full = m * obj.matrix;
        if (visit(tl, obj, full)) {
            return true;
        }
        if (obj.sprite && walk(*obj.sprite, full, nesting + 1, visit)) {
            return true;
        }
    }
    return false;
}

} // namespace

int ButtonKeyCode(int keyCode, std::uint32_t charCode) {
    switch (keyCode) {
    case 37:
        return 1; // left
    case 39:
        return 2; // right
    case 36:
        return 3; // home
    case 35:
        return 4; // end
    case 45:
        return 5; // insert
    case 46:
        return 6; // delete
    case 8:
        return 8; // backspace
    case 13:
        return 13; // enter
    case 38:
        return 14; // up
    case 40:
        return 15; // down
    case 33:
        return 16; // page up
    case 34:
        return 17; // page down
    case 9:
        return 18; // tab
    case 27:
        return 19; // escape
    default:
        break;
    }
    // The field holds 7 bits: only ASCII characters can be asked for.
    return charCode >= 32 && charCode < 127 ? static_cast<int>(charCode) : 0;
}

ButtonInput::ButtonInput(TimelineInstance& root) : m_root(root) {}

ButtonInput::~ButtonInput() = default;

bool ButtonInput::locate(const Target& t, Found& out) const {
    if (!t) {
        return false;
    }
    return walk(m_root, Matrix{}, 0,
                [&](TimelineInstance& owner, const DisplayObject& obj, const Matrix& full) {
                    const bool match = t.button != 0
                                           ? obj.button && obj.button->serial() == t.button
                                           : obj.sprite.get() == t.clip;
                    if (match) {
                        out = Found{&owner, &obj, obj.button.get(), full};
                    }
                    return match;
                });
}

bool ButtonInput::isMenu(const Target& t) const {
    Found f;
    return locate(t, f) && f.button != nullptr && f.button->definition().trackAsMenu;
}

bool ButtonInput::pickIn(TimelineInstance& owner, const Matrix& m, Point p, int nesting,
                         Target& out) const {
    if (nesting > TimelineInstance::kMaxNesting + 2) {
        return false;
    }
    const std::vector<const DisplayObject*> objects = m_hit.unmasked(owner.displayList(), m, p);
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        const DisplayObject& obj = **it;
        const Matrix full = m * obj.matrix;
        if (obj.button) {
            if (obj.button->enabled && m_hit.hitsButtonArea(*obj.button, full, p)) {
                out = Target{obj.button->serial(), nullptr};
                return true;
            }
            continue;
        }
        if (!obj.sprite) {
            continue;
        }
        if (m_scripts.clipTakesMouse && m_scripts.clipTakesMouse(*obj.sprite)) {
            Matrix areaFull;
            const TimelineInstance* area =
                m_scripts.clipHitArea ? m_scripts.clipHitArea(*obj.sprite, areaFull) : nullptr;
            const bool hit = area != nullptr ? m_hit.hitsClip(*area, areaFull, p)
                                             : m_hit.hitsClip(*obj.sprite, full, p);
            if (hit) {
                out = Target{0, obj.sprite.get()};
                return true;
            }
            continue;
        }
        if (pickIn(*obj.sprite, full, p, nesting + 1, out)) {
            return true;
        }
    }
    return false;
}

ButtonInput::Target ButtonInput::pick(Point p) const {
    Target t;
    pickIn(m_root, Matrix{}, p, 0, t);
    return t;
}

void ButtonInput::fire(const Target& t, Transition transition) {
    const TransitionInfo& info = kTransitions[static_cast<int>(transition)];
    Found f;
    if (!locate(t, f)) {
        return;
    }
    if (f.button != nullptr) {
        f.button->setState(info.look);
        if (info.sound != kNoSound) {
            f.button->playSound(static_cast<ButtonSoundSlot>(info.sound));
        }
        // Taken before any runs: a script may remove the button and with it the lists.
        std::vector<ActionCode> lists;
        for (const ButtonAction& action : f.button->definition().actions) {
            if ((action.conditions & info.condition) != 0 && action.code) {
                lists.push_back(action.code);
            }
        }
        for (const ActionCode& code : lists) {
            if (!m_scripts.runActions) {
                break;
            }
            m_scripts.runActions(*f.owner, code);
            if (!locate(t, f)) {
                return;
            }
        }
    }
    if (m_scripts.callHandler) {
        m_scripts.callHandler(*f.owner, *f.object, info.handler);
    }
}

void ButtonInput::update() {
    if (!m_havePoint) {
        return;
    }
    Found f;
    if (m_hover && !locate(m_hover, f)) {
        m_hover = {}; // removed while the pointer was on it: nothing to roll out of
    }
    if (m_pressed && !locate(m_pressed, f)) {
        m_pressed = {};
    }
    const Target over = pick(m_point);
    if (!m_down) {
        if (over != m_hover) {
            const Target old = m_hover;
            m_hover = over;
            if (old) {
                fire(old, Transition::RollOut);
            }
            if (over) {
                fire(over, Transition::RollOver);
            }
        }
        return;
    }
    if (m_pressed && isMenu(m_pressed) && over != m_pressed) {
        // A menu button dragged off gives the mouse up at once.
        const Target old = m_pressed;
        m_pressed = {};
        m_hover = {};
        fire(old, Transition::MenuDragOut);
    }
    if (m_pressed) {
        const bool inside = over == m_pressed;
        m_hover = inside ? m_pressed : Target{};
        if (inside != m_pressedInside) {
            m_pressedInside = inside;
            fire(m_pressed, inside ? Transition::DragOver : Transition::DragOut);
        }
        return;
    }
    // The mouse is held but no button has it: only menu buttons light up under it.
    if (over && isMenu(over)) {
        m_pressed = over;
        m_pressedInside = true;
        m_hover = over;
        fire(over, Transition::MenuDragOver);
    }
}

void ButtonInput::mouseMove(Point p) {
    m_point = p;
    m_havePoint = true;
    update();
}

void ButtonInput::mouseDown(Point p) {
    if (m_down) {
        mouseMove(p); // a second press without a release: the first one still holds
        return;
    }
    mouseMove(p); // rolls over first when the pointer arrives with the press
    m_down = true;
    if (m_hover) {
        m_pressed = m_hover;
        m_pressedInside = true;
        fire(m_pressed, Transition::Press);
    }
}

void ButtonInput::mouseUp(Point p) {
    if (!m_down) {
        mouseMove(p);
        return;
    }
    mouseMove(p); // drag out / over on the way to the release point
    m_down = false;
    if (m_pressed) {
        const Target t = m_pressed;
        const bool inside = m_pressedInside;
        m_pressed = {};
        if (inside) {
            m_hover = t;
            fire(t, Transition::Release);
        } else {
            m_hover = {};
            fire(t, Transition::ReleaseOutside);
        }
    }
    update(); // what is under the pointer now rolls over
}

void ButtonInput::frameChanged() {
    update();
}

bool ButtonInput::keyDown(int keyCode, std::uint32_t charCode) {
    const int key = ButtonKeyCode(keyCode, charCode);
    if (key == 0) {
        return false;
    }
    // Topmost first: the last one met in depth order.
    Target taker;
    walk(m_root, Matrix{}, 0, [&](TimelineInstance&, const DisplayObject& obj, const Matrix&) {
        if (obj.button && obj.button->enabled) {
            for (const ButtonAction& action : obj.button->definition().actions) {
                if (action.keyCode == key) {
                    taker = Target{obj.button->serial(), nullptr};
                    break;
                }
            }
        }
        return false;
    });
    if (!taker) {
        return false;
    }
    Found f;
    locate(taker, f);
    std::vector<ActionCode> lists;
    for (const ButtonAction& action : f.button->definition().actions) {
        if (action.keyCode == key && action.code) {
            lists.push_back(action.code);
        }
    }
    for (const ActionCode& code : lists) {
        if (!m_scripts.runActions || !locate(taker, f)) {
            break;
        }
        m_scripts.runActions(*f.owner, code);
    }
    return true;
}

bool ButtonInput::wantsHandCursor() const {
    const Target t = m_down ? (m_pressedInside ? m_pressed : Target{}) : m_hover;
    Found f;
    if (!locate(t, f)) {
        return false;
    }
    if (f.button != nullptr) {
        return f.button->enabled && f.button->useHandCursor;
    }
    return !m_scripts.clipHandCursor || m_scripts.clipHandCursor(*f.object->sprite);
}

template <typename Visit> void ButtonInput::forEachShownButton(Visit&& visit) const {
    // Only buttons that are shown: an invisible sprite hides the buttons in it.
    auto search = [&](auto&& self, TimelineInstance& tl, const Matrix& m, int nesting) -> bool {
        if (nesting > TimelineInstance::kMaxNesting + 2) {
            return true;
        }
        for (const auto& [depth, obj] : tl.displayList()) {
            if (!obj.visible || obj.clipDepth != 0) {
                continue;
            }
            const Matrix full = m * obj.matrix;
            if (obj.sprite && !self(self, *obj.sprite, full, nesting + 1)) {
                return false;
            }
            if (!obj.button || !obj.button->enabled) {
                continue;
            }
            if (const std::optional<Point> p = pointOfArea(*obj.button, full)) {
                if (!visit(obj, *p, tl)) {
                    return false;
                }
            }
        }
        return true;
    };
    search(search, m_root, Matrix{}, 0);
}

std::optional<Point> ButtonInput::pointOfArea(const ButtonInstance& button,
                                              const Matrix& full) const {
    const HitBox box = m_hit.buttonAreaBox(button, full);
    if (box.empty()) {
        return std::nullopt;
    }
    const Point centre{(box.xMin + box.xMax) / 2, (box.yMin + box.yMax) / 2};
    if (m_hit.hitsButtonArea(button, full, centre)) {
        return centre;
    }
    // A ring or an L: the point of the area nearest the middle, on a fine grid.
    constexpr int kSteps = 32;
    double best = 1e300;
    std::optional<Point> result;
    for (int iy = 0; iy <= kSteps; ++iy) {
        for (int ix = 0; ix <= kSteps; ++ix) {
            const Point q{box.xMin + (box.xMax - box.xMin) * ix / kSteps,
                          box.yMin + (box.yMax - box.yMin) * iy / kSteps};
            const double d = std::hypot(q.x - centre.x, q.y - centre.y);
            if (d < best && m_hit.hitsButtonArea(button, full, q)) {
                best = d;
                result = q;
            }
        }
    }
    return result;
}

std::optional<Point> ButtonInput::firstButtonCentre() const {
    std::optional<Point> result;
    forEachShownButton([&](const DisplayObject&, Point p, const TimelineInstance&) {
        result = p;
        return false;
    });
    return result;
}

std::vector<ButtonOnStage> ButtonInput::buttonsOnStage() const {
    std::vector<ButtonOnStage> buttons;
    forEachShownButton([&](const DisplayObject& obj, Point p, const TimelineInstance& owner) {
        buttons.push_back({p, obj.name, ShownText(obj.button->displayList(), owner.movie())});
        return true;
    });
    return buttons;
}

} // namespace kinovex::flash
