#pragma once
// A timeline being played: its display list and current frame. The main timeline and every
// placed sprite have one.

#include "engine/definitions/Characters.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kinovex::flash {

class ButtonInstance;
class Movie;
class ScriptDrawing;
class SoundMixer;
class StillButton;
class TextField;
class TimelineInstance;
class VideoDecoder;

// Depths as the list keeps them: the file's depth field. Scripts see this minus kScriptDepthBase,
// so objects the timeline places sit at negative depths and the ones scripts make at 0 and up.
constexpr std::int32_t kScriptDepthBase = 16384;

// Depths scripts give are numbers; the list keeps them offset, as the file's depths are. False
// for a number that names no depth.
inline bool scriptDepthOf(double d, std::int32_t& out) {
    if (!std::isfinite(d)) {
        return false;
    }
    const double at = std::trunc(d) + kScriptDepthBase;
    if (at < INT32_MIN || at > INT32_MAX) {
        return false;
    }
    out = static_cast<std::int32_t>(at);
    return true;
}

// Delete a button's state where its type is known (display/Button.cpp).
struct ButtonInstanceDeleter {
    void operator()(ButtonInstance* button) const;
};
struct StillButtonDeleter {
    void operator()(StillButton* button) const;
};

struct DisplayObject {
    std::int32_t depth = 0;
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
    // An ActionScript 3 script took it out of its timeline's children (removeChild, or added
    // it to another container, which draws it): this list no longer draws it.
    bool takenByScript = false;
    // An ActionScript 3 script gave it a mask (the renderer asks the script layers for it), or
    // made it another object's mask (it is drawn only as that mask).
    bool scriptMasked = false;
    bool scriptMaskOfAnother = false;
    // A script's scrollRect: only this part of the object shows, moved to its origin.
    std::optional<Rect> scrollRect;
    std::uint32_t placedFrame = 0; // frame of the parent that created it
    // Made by a script (attachMovie, duplicateMovieClip ...): the timeline's own jumps and
    // moves leave it.
    bool dynamic = false;
    // A script set its position, scale, rotation, size or alpha, or moved it to another depth:
    // the timeline's moves no longer change its matrix or colours (a new character still
    // replaces it).
    bool scriptTransformed = false;
    std::shared_ptr<const std::vector<ClipAction>> clipActions; // PlaceObject clip actions
    std::unique_ptr<TimelineInstance> sprite;                   // for sprites: its own timeline
    // For buttons: which look it shows and the objects of its looks.
    std::unique_ptr<ButtonInstance, ButtonInstanceDeleter> button;
    // For a button in the look of another button, which has no state of its own: the sprites
    // of its up look.
    std::unique_ptr<StillButton, StillButtonDeleter> stillButton;
    // For text fields: what the field shows now.
    std::shared_ptr<TextField> textField;
    // For videos: this placement's decoder, made when it is first drawn (drawing decodes).
    mutable std::shared_ptr<VideoDecoder> video;
};

using DisplayList = std::map<std::int32_t, DisplayObject>;

// What the script side of the player hears from timelines. Sprites placed later inherit the
// hooks of their parent.
class TimelineHooks {
public:
    virtual ~TimelineHooks() = default;
    // A sprite instance was made and its display object filled in; its first frame runs next.
    virtual void clipCreated(TimelineInstance& clip) = 0;
    // The instance, with all it holds, is about to leave its parent's display list; it is still
    // in place. Not called when the whole movie goes.
    virtual void clipLeaving(TimelineInstance& /*clip*/) {}
    // The instance is about to be destroyed (removed, replaced, or its parent went).
    virtual void clipDestroyed(TimelineInstance& clip) = 0;
    // A DoAction of a frame that was reached (not of frames a jump passed over).
    virtual void frameActions(TimelineInstance& clip, const ActionCode& code) = 0;
    // A DoInitAction for sprite `spriteId`, met on `clip`'s timeline.
    virtual void initActions(TimelineInstance& clip, std::uint16_t spriteId,
                             const ActionCode& code) = 0;
};

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
    void setHooks(TimelineHooks* hooks) { m_hooks = hooks; }

    // Shows frame 0 from an empty display list (its actions run unless `runActions` is false).
    void start(bool runActions = true);
    // Moves on by one frame: sprites already on the list advance first, then this timeline's
    // next frame runs. At its end the timeline loops to frame 0.
    void advance();
    // This timeline's own step, children left alone: the next frame, or back to frame 0 at the
    // end, when it is playing.
    void advanceOwn();
    // Rebuilds the display list of `frame` (0-based) exactly as playing from the start shows it.
    void gotoFrame(std::uint32_t frame);
    // A jump as scripts make it: the display list becomes that of `frame` (0-based), objects
    // that stand there already stay, sprites keep their own frames, and only the frame landed
    // on runs its actions and starts its sounds.
    void jumpTo(std::uint32_t frame);

    std::uint32_t currentFrame() const { return m_frame; }
    std::uint32_t frameCount() const { return m_def.frameCount; }
    const DisplayList& displayList() const { return m_list; }
    DisplayList& displayList() { return m_list; }
    const TimelineDef& definition() const { return m_def; }
    const Movie& movie() const { return m_movie; }

    bool playing() const { return m_playing; }
    void setPlaying(bool on) { m_playing = on; }
    // True once the timeline has shown its last frame since it was placed (a one-frame
    // timeline at once): from then on, playing only repeats what it showed.
    bool hasShownLastFrame() const { return m_shownLastFrame; }
    // True once a script has sent the timeline back to an earlier frame (a loop made with
    // gotoAndPlay, a wait for something to load): it too repeats what it showed.
    bool hasJumpedBack() const { return m_jumpedBack; }
    TimelineInstance* parent() const { return m_parent; }
    // The display object this timeline is the sprite of (null for the main timeline).
    DisplayObject* owner() const;
    std::int32_t depth() const { return m_depth; }
    std::uint64_t clipId() const { return m_clipId; }
    void setClipId(std::uint64_t id) { m_clipId = id; }
    int nesting() const { return m_nesting; }
    // True for a clip that a SWF 5 timeline replaced with a new object at its depth: it goes
    // without unload events.
    bool replacedByPlace() const { return m_replacedByPlace; }
    // The clip actions its PlaceObject gave it (null when none).
    const std::shared_ptr<const std::vector<ClipAction>>& clipActions() const {
        return m_clipActions;
    }

    // For scripts: puts `character` at `depth`, replacing what stood there, and returns the new
    // object. A sprite gets its timeline, which runs its first frame at once.
    DisplayObject& addObject(std::int32_t depth, const Character& character, std::string name,
                             std::shared_ptr<const std::vector<ClipAction>> clipActions = {});
    bool removeObject(std::int32_t depth);
    // Exchanges what stands at two depths (either may be empty).
    void swapDepths(std::int32_t a, std::int32_t b);

    // What scripts drew into this timeline (null until one draws); shown beneath its children.
    const std::shared_ptr<ScriptDrawing>& drawing() const { return m_drawing; }
    void setDrawing(std::shared_ptr<ScriptDrawing> drawing) { m_drawing = std::move(drawing); }
    // setMask: the clip whose drawing masks this one, and the clip this one masks (a clip that
    // masks another is not drawn itself). Whoever sets these clears them before either goes.
    TimelineInstance* scriptMask() const { return m_scriptMask; }
    void setScriptMask(TimelineInstance* mask) { m_scriptMask = mask; }
    TimelineInstance* maskedClip() const { return m_maskedClip; }
    void setMaskedClip(TimelineInstance* clip) { m_maskedClip = clip; }

private:
    void runFrame(std::uint32_t frame, bool runActions, bool display = true);
    void place(const PlaceCommand& cmd);
    bool newPlaceReplaces() const;
    // Removes what stands at `depth`, telling the hooks first when it is a clip.
    void eraseAt(std::int32_t depth);
    DisplayList::iterator eraseAt(DisplayList::iterator it);
    bool moveChangesCharacter(std::uint16_t placedId) const;
    void applyPlace(DisplayObject& obj, const PlaceCommand& cmd);
    void setCharacter(DisplayObject& obj, std::uint16_t id);
    void instantiate(DisplayObject& obj, const TimelineDef& def);
    void rewindTo(std::uint32_t frame);
    void stepForwardTo(std::uint32_t frame, bool advanceChildren);
    // Names this timeline's stream sound in the mixer.
    std::uintptr_t streamKey() const { return reinterpret_cast<std::uintptr_t>(this); }

    const Movie& m_movie;
    const TimelineDef& m_def;
    int m_nesting;
    std::size_t& m_liveSprites;
    SoundMixer* m_sound = nullptr;
    TimelineHooks* m_hooks = nullptr;
    TimelineInstance* m_parent = nullptr;
    std::int32_t m_depth = 0;
    std::uint64_t m_clipId = 0;
    bool m_playing = true;
    bool m_shownLastFrame = false;
    bool m_jumpedBack = false;
    bool m_replacedByPlace = false;
    std::uint32_t m_frame = 0;
    std::shared_ptr<const std::vector<ClipAction>> m_clipActions;
    DisplayList m_list;
    std::shared_ptr<ScriptDrawing> m_drawing;
    TimelineInstance* m_scriptMask = nullptr;
    TimelineInstance* m_maskedClip = nullptr;
};

} // namespace kinovex::flash
