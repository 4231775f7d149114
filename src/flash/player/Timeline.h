#pragma once
// A timeline being played: its display list and current frame. The main timeline and every
// placed sprite have one.

#include "flash/player/Characters.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kinovex::flash {

class Movie;
class SoundMixer;
class TimelineInstance;

struct DisplayObject {
    std::uint16_t depth = 0;
    std::uint16_t characterId = 0;
    const Character* character = nullptr; // null when the id is not (yet) defined
    Matrix matrix;
    ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    std::string name;
    std::uint16_t clipDepth = 0; // non-zero: a mask over the depths above it up to this one
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
    bool cacheAsBitmap = false;
    bool visible = true;
    std::uint32_t placedFrame = 0;            // frame of the parent that created it
    std::unique_ptr<TimelineInstance> sprite; // for sprites: its own timeline
};

using DisplayList = std::map<std::uint16_t, DisplayObject>;

class TimelineInstance {
public:
    // Sprites inside sprites deeper than this are not instantiated: a sprite can contain itself.
    static constexpr int kMaxNesting = 32;

    // And no more sprite instances than this live at once: a sprite placing two copies of a
    // sprite that places two copies ... doubles at each level.
    static constexpr std::size_t kMaxSprites = 20000;

    // `liveSprites` counts the sprite instances under the main timeline; it must outlive it.
    TimelineInstance(const Movie& movie, const TimelineDef& def, int nesting,
                     std::size_t& liveSprites);
    ~TimelineInstance();
    TimelineInstance(const TimelineInstance&) = delete;
    TimelineInstance& operator=(const TimelineInstance&) = delete;

    // Where this timeline's sounds go (none: silent). Sprites placed later inherit it; set it
    // before start().
    void setSound(SoundMixer* mixer) { m_sound = mixer; }

    // Shows frame 0 from an empty display list.
    void start();
    // Moves on by one frame: sprites already on the list advance first, then this timeline's
    // next frame runs. At its end the timeline loops to frame 0.
    void advance();
    // Rebuilds the display list of `frame` (0-based) exactly as playing from the start shows it.
    void gotoFrame(std::uint32_t frame);

    std::uint32_t currentFrame() const { return m_frame; }
    std::uint32_t frameCount() const { return m_def.frameCount; }
    const DisplayList& displayList() const { return m_list; }
    const TimelineDef& definition() const { return m_def; }

private:
    void runFrame(std::uint32_t frame);
    void place(const PlaceCommand& cmd);
    void setCharacter(DisplayObject& obj, std::uint16_t id);
    void loopToStart();
    // Names this timeline's stream sound in the mixer.
    std::uintptr_t streamKey() const { return reinterpret_cast<std::uintptr_t>(this); }

    const Movie& m_movie;
    const TimelineDef& m_def;
    int m_nesting;
    std::size_t& m_liveSprites;
    SoundMixer* m_sound = nullptr;
    std::uint32_t m_frame = 0;
    DisplayList m_list;
};

} // namespace kinovex::flash
