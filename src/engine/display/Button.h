#pragma once
// A button placed on a timeline: which look it shows, the objects of that look (sprites in it
// play while it is shown) and the objects of its hit area. A button placed in the look of
// another button has no state of its own and shows its up look, still.

#include "engine/definitions/Characters.h"
#include "engine/display/Timeline.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kinovex::flash {

class Movie;
class SoundMixer;

// What a button shows. A button pressed and dragged off shows its over look, as Flash does.
enum class ButtonState : std::uint8_t { Up, Over, Down };

class ButtonInstance {
public:
    // `nesting` is that of the button's own objects; sprites in it count against `liveSprites`
    // like every other sprite instance, and its sounds go to `sound` (may be null). Sprites of
    // its looks report to `hooks` (may be null) as every clip does, so their frame scripts run;
    // those of the hit area are never shown and run nothing.
    ButtonInstance(const Movie& movie, const Button& def, int nesting, std::size_t& liveSprites,
                   SoundMixer* sound, TimelineHooks* hooks = nullptr);
    ~ButtonInstance();
    ButtonInstance(const ButtonInstance&) = delete;
    ButtonInstance& operator=(const ButtonInstance&) = delete;

    const Button& definition() const { return m_def; }
    ButtonState state() const { return m_state; }
    // Shows another look. Objects that both looks have (the same record) stay as they are and
    // their sprites play on; the others are made afresh, their sprites from their first frame.
    void setState(ButtonState state);
    // Plays the DefineButtonSound sound of a transition, if it has one.
    void playSound(ButtonSoundSlot slot);
    // The sprites of the current look move on by one frame (the hit area's stay as they are).
    void advance();

    // The objects of the current look and of the hit area, as display lists by depth.
    const DisplayList& displayList() const { return m_shown; }
    DisplayList& displayList() { return m_shown; }
    const DisplayList& hitList() const { return m_hit; }

    // Never reused within a run: input handling finds a button again by it after scripts ran
    // (they may have removed it).
    std::uint64_t serial() const { return m_serial; }

    // Set by scripts (Button.enabled, Button.useHandCursor): a disabled button ignores the
    // mouse and keys and shows no hand cursor.
    bool enabled = true;
    bool useHandCursor = true;

private:
    void build(DisplayList& list, std::uint8_t look, DisplayList* reuse);
    void makeObject(DisplayObject& obj, std::size_t recordIndex, bool shown);
    void makeSprite(DisplayObject& obj, bool shown);

    const Movie& m_movie;
    const Button& m_def;
    int m_nesting;
    std::size_t& m_liveSprites;
    SoundMixer* m_sound;
    TimelineHooks* m_hooks;
    ButtonState m_state = ButtonState::Up;
    DisplayList m_shown;
    DisplayList m_hit;
    std::uint64_t m_serial;
};

// A button in the look of another button. It takes no input and shows its up look; the
// sprites of that look are made with it, run no scripts, make no sound and stay on their
// first frame.
class StillButton {
public:
    // `nesting` is that of the button itself, as an object of the button it is in; its
    // sprites are one deeper.
    StillButton(const Movie& movie, const Button& def, int nesting, std::size_t& liveSprites);
    ~StillButton();
    StillButton(const StillButton&) = delete;
    StillButton& operator=(const StillButton&) = delete;

    // The sprite of record `index` of the definition; null for a record that is no sprite of
    // the up look, or one too deep to make.
    const TimelineInstance* sprite(std::size_t index) const {
        return index < m_sprites.size() ? m_sprites[index].get() : nullptr;
    }

private:
    std::vector<std::unique_ptr<TimelineInstance>> m_sprites; // by record
};

} // namespace kinovex::flash
