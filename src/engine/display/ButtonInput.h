#pragma once
// Mouse and keys for the movie's buttons, as Flash runs them.
//
// The pointer is over the topmost enabled button whose hit area holds it (masks respected;
// shapes drawn above a button do not hide it from the mouse). Each button is idle, over-up,
// over-down (pressed with the pointer on it) or out-down (pressed, pointer dragged off), and
// every input event moves buttons between those states:
//
//   move, not pressed:   the old button rolls out, the new one rolls over
//   press:               the button under the pointer is pressed and keeps the mouse until
//                        the release: it alone sees drag out / drag over meanwhile
//   release:             on the pressed button: release; elsewhere: release outside, and
//                        then the button under the pointer rolls over
//   menu buttons (track as menu) instead give the mouse up when dragged off, and light up
//   as pressed when the pointer is dragged onto them with the mouse held.
//
// A transition changes the button's look, plays its DefineButtonSound sound and then runs,
// in the order stored, the button's action lists whose condition it is, and after them the
// handler of the button's script object (onRollOver, onPress ...). Scripts may change
// anything meanwhile, even remove the button: each button is looked up again (by serial)
// before anything further is done with it.

#include "engine/display/ButtonHitTest.h"
#include "engine/display/Timeline.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kinovex::flash {

class ButtonInstance;

// A visible, enabled button on the stage as a person would see it.
struct ButtonOnStage {
    Point centre;     // stage twips; a point of its hit area
    std::string name; // its instance name ("" when it has none)
    std::string text; // the text its look shows (see ShownText)
};

// The seam between buttons and the movie's scripts; the player connects it to its
// interpreter. Members left empty are skipped (the button then only changes its look and
// makes its sound).
struct ButtonScripts {
    // Runs one of a button's action lists as a script of `owner`, the timeline on whose display
    // list the button stands (as a frame script of that timeline would run).
    std::function<void(TimelineInstance& owner, const ActionCode& code)> runActions;
    // Calls the handler `name` ("onRollOver", "onRollOut", "onPress", "onRelease",
    // "onReleaseOutside", "onDragOver", "onDragOut") of the script object of `target`, a
    // display object on `owner`'s list: a button, or a clip that takes the mouse (below).
    std::function<void(TimelineInstance& owner, const DisplayObject& target, std::string_view name)>
        callHandler;
    // True when a sprite's script object has mouse handlers (onPress, onRelease,
    // onRollOver ...): the clip then takes the mouse as a button does, what it draws being its
    // hit area, and the buttons inside it no longer see the mouse.
    std::function<bool(const TimelineInstance& clip)> clipTakesMouse;
    // Whether the hand cursor shows over such a clip (its useHandCursor); true when unset.
    std::function<bool(const TimelineInstance& clip)> clipHandCursor;
    // The clip whose drawing is such a clip's hit area instead of its own (its hitArea), with
    // that clip's matrix to stage twips; null when it has none.
    std::function<const TimelineInstance*(const TimelineInstance& clip, Matrix& areaToStage)>
        clipHitArea;
};

// The button key code of a key (DefineButton2 key conditions: 1 left, 2 right, 3 home, 4 end,
// 5 insert, 6 delete, 8 backspace, 13 enter, 14 up, 15 down, 16 page up, 17 page down, 18 tab,
// 19 escape, 32 and up the character typed); 0 when buttons cannot ask for it.
int ButtonKeyCode(int keyCode, std::uint32_t charCode);

class ButtonInput {
public:
    // Points are in the main timeline's space: stage twips.
    explicit ButtonInput(TimelineInstance& root);
    ~ButtonInput();
    ButtonInput(const ButtonInput&) = delete;
    ButtonInput& operator=(const ButtonInput&) = delete;

    void setScripts(ButtonScripts scripts) { m_scripts = std::move(scripts); }

    void mouseMove(Point p);
    void mouseDown(Point p);
    void mouseUp(Point p);
    // A key press runs the key condition lists of the topmost enabled button that has one for
    // it, and of no other. Returns whether a button took it.
    bool keyDown(int keyCode, std::uint32_t charCode);
    // After a frame ran: buttons that came or went under a pointer that stood still roll over
    // or out as if the pointer had moved.
    void frameChanged();

    bool wantsHandCursor() const;
    // The middle of the first visible, enabled button's hit area (lowest depth first, through
    // sprites), in stage twips; a point inside the area when the middle of its box is not.
    std::optional<Point> firstButtonCentre() const;
    // Every visible, enabled button in that order, with a point of its hit area as above.
    std::vector<ButtonOnStage> buttonsOnStage() const;

    bool isPressed() const { return m_down; }

private:
    // A button (by serial) or a clip that takes the mouse (by its timeline).
    struct Target {
        std::uint64_t button = 0;
        const TimelineInstance* clip = nullptr;
        explicit operator bool() const { return button != 0 || clip != nullptr; }
        bool operator==(const Target&) const = default;
    };
    struct Found {
        TimelineInstance* owner = nullptr;
        const DisplayObject* object = nullptr;
        ButtonInstance* button = nullptr; // null for clips
        Matrix full;                      // the target's own space to stage twips
    };
    enum class Transition : std::uint8_t {
        RollOver,
        RollOut,
        Press,
        Release,
        DragOut,
        DragOver,
        ReleaseOutside,
        MenuDragOver,
        MenuDragOut,
    };

    void update();
    Target pick(Point p) const;
    bool pickIn(TimelineInstance& owner, const Matrix& m, Point p, int nesting, Target& out) const;
    bool locate(const Target& t, Found& out) const;
    bool isMenu(const Target& t) const;
    void fire(const Target& t, Transition transition);
    // Calls `visit` with each visible, enabled button and a point of its hit area, in order,
    // until it returns false.
    template <typename Visit> void forEachShownButton(Visit&& visit) const;
    // A point of the button's hit area: the middle of its box, else the point of the area
    // nearest it; none for an empty area.
    std::optional<Point> pointOfArea(const ButtonInstance& button, const Matrix& full) const;

    TimelineInstance& m_root;
    ButtonScripts m_scripts;
    mutable HitTester m_hit;
    Point m_point;
    bool m_havePoint = false;
    bool m_down = false;
    Target m_hover;   // under the pointer and reacting to it
    Target m_pressed; // took the mouse at the press
    bool m_pressedInside = false;
};

} // namespace kinovex::flash
