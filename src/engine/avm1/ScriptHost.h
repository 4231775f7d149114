#pragma once
// What the interpreter needs from the player. The player implements this with an adapter over
// its timelines; tests implement it with a fake that records what scripts did. The player's
// own classes (MovieClip's display list methods, Key, Color, Sound, TextField ...) do not go
// through here: the player defines them on the Vm, each method with its own native function.

#include "engine/avm1/Value.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kinovex::flash::avm1 {

class Object;
class Vm;

// The player's name for a movie clip; 0 is no clip. An id is never reused for another clip, so
// a script holding a removed clip's id simply finds nothing.
using ClipId = std::uint64_t;

// The indices GetProperty and SetProperty use; the names are the _x ... properties of clips.
enum class ClipProperty : int {
    X = 0,
    Y,
    XScale,
    YScale,
    CurrentFrame,
    TotalFrames,
    Alpha,
    Visible,
    Width,
    Height,
    Rotation,
    Target,
    FramesLoaded,
    Name,
    DropTarget,
    Url,
    HighQuality,
    FocusRect,
    SoundBufTime,
    Quality,
    XMouse,
    YMouse,
};
constexpr int kClipPropertyCount = 22;
// "_x" for ClipProperty::X and so on.
inline constexpr std::array<std::string_view, kClipPropertyCount> kClipPropertyNames = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse"};
constexpr std::string_view clipPropertyName(ClipProperty p) {
    const int i = static_cast<int>(p);
    return i >= 0 && i < kClipPropertyCount ? kClipPropertyNames[static_cast<std::size_t>(i)]
                                            : std::string_view();
}

class ScriptHost {
public:
    virtual ~ScriptHost() = default;

    // The clip tree. childClip finds a clip on `parent`'s display list by instance name.
    virtual ClipId rootClip() = 0;
    virtual ClipId levelClip(int level) { return level == 0 ? rootClip() : 0; }
    virtual ClipId parentClip(ClipId clip) = 0;
    virtual ClipId childClip(ClipId parent, std::string_view name, bool caseSensitive) = 0;
    // A named child that is not a clip (a text field) as the script object standing for it;
    // null when there is none.
    virtual Object* childObject(ClipId, std::string_view /*name*/, bool /*caseSensitive*/) {
        return nullptr;
    }
    // What a name on `parent` finds among its children: the clip childClip finds, else the
    // object childObject finds (none of either when neither does).
    struct NamedChild {
        ClipId clip = 0;
        Object* other = nullptr;
    };
    virtual NamedChild namedChild(ClipId parent, std::string_view name, bool caseSensitive) {
        const ClipId clip = childClip(parent, name, caseSensitive);
        return {clip, clip != 0 ? nullptr : childObject(parent, name, caseSensitive)};
    }
    virtual bool clipExists(ClipId clip) = 0;
    // The target path a clip had when it left the display list, while its unload handlers may
    // still ask for it; empty when unknown.
    virtual std::string formerPath(ClipId) { return {}; }
    virtual std::string clipName(ClipId clip) = 0;
    // The depth of a clip on its parent (_level number for roots).
    virtual int clipDepth(ClipId) { return 0; }
    // The depth a script sees for the text field `field` stands for (as its getDepth gives);
    // nothing when it stands for none.
    virtual std::optional<int> fieldDepth(Object* /*field*/) { return std::nullopt; }
    // The target path of the text field `field` stands for ("_level0.t", or the path of its
    // timeline without `withName`); empty for none.
    virtual std::string fieldPath(Object* /*field*/, bool /*withName*/) { return {}; }
    // Buttons are named by ids too: their script objects are Button objects, with the clip
    // properties (_x, _alpha, _name ...) but none of a clip's methods.
    virtual bool isButton(ClipId) { return false; }

    // Properties by index; _target and _name are worked out by the interpreter.
    virtual Value getClipProperty(ClipId clip, ClipProperty p) = 0;
    virtual void setClipProperty(ClipId clip, ClipProperty p, const Value& v) = 0;

    // Timeline control. Frames are 1-based; a frame beyond the end goes to the last one.
    virtual void gotoFrame(ClipId clip, std::uint32_t frame, bool play) = 0;
    // Returns false when there is no such label (nothing happens then).
    virtual bool gotoLabel(ClipId clip, std::string_view label, bool play) = 0;
    virtual void play(ClipId clip) = 0;
    virtual void stop(ClipId clip) = 0;
    virtual void nextFrame(ClipId clip) = 0;
    virtual void prevFrame(ClipId clip) = 0;
    // 1-based number of a labelled frame, 0 when there is none (for WaitForFrame with labels).
    virtual std::uint32_t frameOfLabel(ClipId, std::string_view) { return 0; }
    // The Call action: runs that frame's actions on the clip now, without going there.
    virtual void callFrame(ClipId, std::uint32_t /*frame*/) {}
    // Instance names of a clip's named children, for for..in over a clip.
    virtual std::vector<std::string> childNames(ClipId) { return {}; }

    virtual void toggleQuality() {}
    virtual void stopSounds() {}
    // duplicateMovieClip: returns the new clip, 0 when it could not be made.
    virtual ClipId cloneClip(ClipId, std::string_view /*name*/, int /*depth*/) { return 0; }
    virtual void removeClip(ClipId) {}
    virtual void startDrag(ClipId, bool /*lockCenter*/, const double* /*rect4 or null*/) {}
    virtual void stopDrag() {}

    // Output and problems. trace() lines go to the movie's trace output, report() to the
    // diagnostics the player keeps.
    virtual void trace(std::string_view line) = 0;
    virtual void report(std::string_view message) = 0;

    // GetURL and friends. The engine loads nothing from outside the movie: the default says so.
    // "FSCommand:" URLs arrive here too, with the command after the colon.
    virtual void getUrl(std::string_view url, std::string_view target, int /*method*/) {
        (void)target;
        report("Loading \"" + std::string(url) + "\" is unavailable");
    }

    // loadVariables: the variables of the text file `url` go onto `target` (a clip or a text
    // field's object) on a later frame. The default loads nothing.
    virtual void loadVariables(std::string_view url, Object* target) {
        (void)target;
        getUrl(url, {}, 0);
    }

    // The movie's clock: milliseconds since the movie started, as the host advanced it.
    virtual double timeMs() = 0;
    // Wall-clock time for Date: milliseconds since 1970 (UTC) and the local zone's offset
    // from UTC in minutes (east positive).
    virtual double epochMs() { return 0; }
    virtual int utcOffsetMinutes() { return 0; }
};

} // namespace kinovex::flash::avm1
