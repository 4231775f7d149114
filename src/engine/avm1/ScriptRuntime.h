#pragma once
// The movie's scripts in the player: one interpreter per loaded movie, and the interpreter's
// host over the player's timelines.
//
// A frame goes as Flash runs it. Every clip, newest first, queues its enterFrame event and
// then, when it plays, moves to its next frame: objects are placed and removed at once (a new
// sprite runs its first frame there and then, queuing its load event and that frame's actions),
// init actions run at once, frame actions are queued. When all clips have moved, the queue runs
// in order; a jump made by a script queues the actions of the frame it lands on, which run in
// the same pass. Garbage is collected at the end.
//
// Clips are known to scripts by ids that are never reused, so a script holding a clip that has
// gone finds nothing.

#include "engine/avm1/Vm.h"
#include "engine/display/ScriptMachine.h"
#include "engine/display/Timeline.h"
#include "engine/swf/Log.h"
#include "engine/swf/MovieFolder.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kinovex::flash {

class HitTester;
class Movie;
class SoundMixer;
class TextField;
class TextFonts;
struct EditText;
struct StagePoint;

// A Color or Transform multiplier given in percent, as the player keeps it: in 8.8 fixed point.
double fixedMultiplier(double percent);

class ScriptRuntime final : public ScriptMachine, public avm1::ScriptHost, public TimelineHooks {
public:
    ScriptRuntime(const Movie& movie, Log& log, SoundMixer* mixer);
    ~ScriptRuntime() override;
    ScriptRuntime(const ScriptRuntime&) = delete;
    ScriptRuntime& operator=(const ScriptRuntime&) = delete;

    // Where trace() lines go (may be empty: dropped).
    void setTraceSink(std::function<void(std::string_view)> sink) override {
        m_traceSink = std::move(sink);
    }
    void setInstructionBudget(std::uint64_t actions) override {
        m_vm->setInstructionBudget(actions);
    }

    // The main timeline, before its first frame runs; then finishFrame() after it ran.
    void attachRoot(TimelineInstance& root) override;
    // One frame of the movie: every clip's enterFrame and next frame, the queued scripts,
    // garbage collection. `nowMs` is the movie's clock at this frame.
    void runFrame(double nowMs) override;
    // Runs what is queued and collects garbage (after the first frame, after input).
    void finishFrame() override;

    // Buttons' actions are queued on the timeline holding the button and run when the event
    // has been handled, as frame scripts are; handlers run after them.
    ButtonScripts buttonScripts() override;
    bool quitRequested() const override { return m_quitRequested; }
    std::optional<double> nextTimerDueMs() const override { return m_vm->nextIntervalDueMs(); }
    // Loads of files beside the movie (ScriptLoads.cpp).
    void setMovieFolder(std::string folder) override;
    void setClockEpoch(double epochMs) override { m_clockEpochMs = epochMs; }
    std::size_t loadsPending() const override { return m_loads.size() + m_clipLoads.size(); }

    // Input, in stage pixels. Each runs the scripts it wakes at once.
    void mouseMove(double x, double y) override;
    void mouseDown(double x, double y) override;
    void mouseUp(double x, double y) override;
    void keyDown(int keyCode, std::uint32_t charCode) override;
    void keyUp(int keyCode, std::uint32_t charCode) override;
    double mouseX() const { return m_mouseX; }
    double mouseY() const { return m_mouseY; }

    // For buttons: queues actions to run on `clip`'s timeline (run them with finishFrame()).
    void queueActions(TimelineInstance& clip, const ActionCode& code);

    // Buttons as scripts see them (ScriptButtons.cpp). A button gets its id, and with it a
    // Button script object, when a script first names it (or a handler on Button.prototype
    // could answer it); 0 from existingButtonId when it has none.
    avm1::ClipId buttonId(TimelineInstance& owner, const DisplayObject& button);
    // The first clip or button on `parent`'s display list of that name (0 for none); with
    // `firstField`, also the first text field of the name met before it, if any.
    avm1::ClipId childNamed(TimelineInstance& parent, std::string_view name, bool caseSensitive,
                            DisplayObject** firstField);
    avm1::ClipId existingButtonId(const DisplayObject& button) const;
    // Queues a call of handler `name` (onPress ...) of a clip's or button's script object; it
    // runs with finishFrame(), after the actions queued before it.
    void queueHandler(avm1::ClipId id, std::string_view name);
    // Clips that act as buttons: one with a mouse handler (onPress, onRelease, onRollOver ...)
    // and not disabled takes the mouse; its useHandCursor; the clip its hitArea names (with
    // that clip's matrix to the stage) when it has one.
    bool clipTakesMouse(const TimelineInstance& clip);
    bool clipHandCursor(const TimelineInstance& clip);
    const TimelineInstance* clipHitArea(const TimelineInstance& clip, Matrix& areaToStage);
    // A mouse event for such a clip: it shows its frame labelled _up, _over or _down when it
    // has one for the event, and its handler is queued.
    void clipMouseEvent(TimelineInstance& clip, std::string_view handler);
    // The topmost clip under stage point (x, y) in pixels whose own shapes are hit, `skip` and
    // its children left out: the slash path a dragged clip reports as _droptarget, for the
    // point where its origin stands.
    std::string dropTargetAt(double x, double y, avm1::ClipId skip) const;

    avm1::Vm& vm() { return *m_vm; }
    TimelineInstance* clip(avm1::ClipId id) const;
    // The object a clip stands in (null for the main timeline or a clip that has gone).
    DisplayObject* objectOf(avm1::ClipId id) const;
    std::size_t clipCount() const { return m_clips.size(); }

    // ---- ScriptHost ----
    avm1::ClipId rootClip() override;
    avm1::ClipId parentClip(avm1::ClipId clip) override;
    avm1::ClipId childClip(avm1::ClipId parent, std::string_view name, bool caseSensitive) override;
    bool clipExists(avm1::ClipId clip) override;
    std::string formerPath(avm1::ClipId clip) override;
    std::string clipName(avm1::ClipId clip) override;
    int clipDepth(avm1::ClipId clip) override;
    std::optional<int> fieldDepth(avm1::Object* field) override;
    std::string fieldPath(avm1::Object* field, bool withName) override;
    bool isButton(avm1::ClipId clip) override;
    avm1::Value getClipProperty(avm1::ClipId clip, avm1::ClipProperty p) override;
    void setClipProperty(avm1::ClipId clip, avm1::ClipProperty p, const avm1::Value& v) override;
    void gotoFrame(avm1::ClipId clip, std::uint32_t frame, bool play) override;
    bool gotoLabel(avm1::ClipId clip, std::string_view label, bool play) override;
    void play(avm1::ClipId clip) override;
    void stop(avm1::ClipId clip) override;
    void nextFrame(avm1::ClipId clip) override;
    void prevFrame(avm1::ClipId clip) override;
    std::uint32_t frameOfLabel(avm1::ClipId clip, std::string_view label) override;
    void callFrame(avm1::ClipId clip, std::uint32_t frame) override;
    std::vector<std::string> childNames(avm1::ClipId clip) override;
    void stopSounds() override;
    avm1::ClipId cloneClip(avm1::ClipId clip, std::string_view name, int depth) override;
    void removeClip(avm1::ClipId clip) override;
    void startDrag(avm1::ClipId clip, bool lockCenter, const double* rect) override;
    void stopDrag() override;
    void trace(std::string_view line) override;
    void report(std::string_view message) override;
    void getUrl(std::string_view url, std::string_view target, int method) override;
    void loadVariables(std::string_view url, avm1::Object* target) override;
    double timeMs() override { return m_nowMs; }
    double epochMs() override { return m_clockEpochMs + m_nowMs; }
    avm1::Object* childObject(avm1::ClipId parent, std::string_view name,
                              bool caseSensitive) override;
    // One walk over the display list instead of childClip's and then childObject's.
    NamedChild namedChild(avm1::ClipId parent, std::string_view name, bool caseSensitive) override;

    // ---- TimelineHooks ----
    void clipCreated(TimelineInstance& clip) override;
    void clipLeaving(TimelineInstance& clip) override;
    void clipDestroyed(TimelineInstance& clip) override;
    void frameActions(TimelineInstance& clip, const ActionCode& code) override;
    void initActions(TimelineInstance& clip, std::uint16_t spriteId,
                     const ActionCode& code) override;

private:
    struct Queued {
        avm1::ClipId clip = 0;
        ActionCode code;                // actions to run, or
        std::string method;             // a handler to call on the clip's object
        avm1::Object* object = nullptr; // for unload: the object of a clip that has gone
        bool unload = false;
        bool removal = false; // a clip that answered unload leaves the list now
    };

    // Queues `event`: the clip actions that answer it, then the handler method when given.
    void queueEvent(TimelineInstance& clip, std::uint32_t event, std::string_view method);
    // Queues a new clip's construct and initialize actions ahead of everything queued that is
    // not such actions, so they run before the actions of the frame that placed it.
    void queueInitialize(TimelineInstance& clip);
    // The clip's actions for `event`, run at once.
    void runClipActions(TimelineInstance& clip, std::uint32_t event);
    void drain();
    // True when the clip (or, with `inside`, a clip inside it) answers unload: unload clip
    // actions or an onUnload method.
    bool answersUnload(TimelineInstance& clip, bool inside);
    // Queues the unload events of the clip and the clips inside it, the innermost first.
    void queueUnload(TimelineInstance& clip);
    void finishRemoval(avm1::ClipId id);
    // Sends a mouse or key event to every clip and to the listeners of `listenerHolder`.
    void broadcast(std::uint32_t event, std::string_view method, std::string_view listenerHolder);
    void callListeners(std::string_view holder, std::string_view method);
    // _xmouse (p X) or _ymouse of the pointer in the space `toStage` maps to stage twips.
    double pointerIn(const Matrix& toStage, avm1::ClipProperty p) const;
    // Puts the dragged clip under the pointer (its grip kept, its bounds respected).
    void moveDragged();

    // The player's classes for scripts, after the script machine's own built-ins
    // (ScriptClasses.cpp), and the classes of each file.
    void installPlayerClasses();
    // MovieClip's methods on the display list (ScriptClipMethods.cpp).
    void installClipMethods();
    friend struct ClipMethods;
    void installKeyObject(); // ScriptInputObjects.cpp
    void installMouseObject();
    void installStageObject();
    void installSelectionObject();
    // What has the focus (a clip or a text field's script object, kept alive while it has it)
    // and the text selected in it; -1 for a clip or nothing.
    struct Focus {
        avm1::Object* object = nullptr;
        int begin = -1;
        int end = -1;
        int caret = -1;
    };
    Focus m_focus;
    // Whether setFocus may give `target` the focus, and gives it; false leaves it as it was.
    bool takeFocus(const avm1::Value& target);
    // "_level0.a.t": the path of the clip or text field a script object stands for; empty for
    // anything else (and for those that have gone).
    std::string pathOf(const avm1::Value& v);
    void installColorClass(); // ScriptColor.cpp
    // The colour transform of the clip a Color object was made for; null when it names none.
    ColorTransform* colorTarget(avm1::Object* self);
    // The colour transform of a clip; the main timeline's is kept here, as it has no display
    // object of its own.
    ColorTransform* colorOfClip(avm1::ClipId id);
    ColorTransform m_rootColor;
    void installTransformClass(); // ScriptTransform.cpp
    void installConcatenatedTransforms(avm1::Object* proto);
    void installClipTransform();
    // The clip a flash.geom.Transform was made for; null for anything else.
    TimelineInstance* transformTarget(const avm1::Value& self) const;
    void installSoundClass(); // ScriptSound.cpp
    static void sealSoundPrototype(avm1::Vm& vm, avm1::Object* proto);
    // The object whose sound levels a Sound sets: its target clip's or text field's, the
    // movie's own for a Sound made without a target; null when the target is not there.
    avm1::Object* soundHolder(avm1::Object* self);
    avm1::Object* m_movieSound = nullptr;
    void installTextFieldClass(); // ScriptTextFields.cpp
    void installFieldProperties(avm1::Object* proto);
    // A field placed on a timeline is made as `new TextField` makes one: its class's properties
    // go on TextField.prototype.
    void fieldsPlaced(TimelineInstance& root);
    // A bound field and its variable at once (ScriptFieldVariables.cpp): the field shows the
    // variable's value when it is defined (showClipVariable: only a variable of a clip, which
    // the player watches); writing the field's text writes the variable.
    void readFieldVariable(TimelineInstance& parent, TextField& f);
    void showClipVariable(TimelineInstance& parent, TextField& f);
    void writeFieldVariable(TimelineInstance& parent, TextField& f);
    // The fonts that lay out fields for the properties read from their lines (maxscroll ...).
    TextFonts& textFonts();
    std::unique_ptr<TextFonts> m_textFonts;
    void installTextFormatClass(); // ScriptTextFormat.cpp
    void installOutsideClasses();  // ScriptOutsideClasses.cpp
    void installInertClasses();    // ScriptInertClasses.cpp
    // LoadVars and XML, and where their loads wait (ScriptLoads.cpp).
    void installLoadClasses();
    void installClipLoaderClass(); // ScriptClipLoader.cpp
    // A clip object, or a target path to one, as the clip object now; undefined when none.
    avm1::Value loadTarget(const avm1::Value& target);
    avm1::Value clipProgress(const avm1::Value& target);
    // The bytes of the movie a clip shows (getBytesTotal, getProgress).
    double clipBytes(const TimelineInstance& clip) const;
    void finishClipLoads();
    // loadMovie with no address empties the clip: on the second frame after the call an empty
    // clip of the same name takes its place (ScriptMovieUnloads.cpp).
    void unloadMovieLater(avm1::ClipId clip);
    void finishMovieUnloads();
    avm1::ClipId replaceWithEmptyClip(avm1::ClipId clip); // the new clip; 0 for none
    struct MovieUnload {
        avm1::ClipId clip = 0;
        int framesLeft = 2;
    };
    std::vector<MovieUnload> m_movieUnloads;
    void startLoad(avm1::Object* target, std::string url, bool variables);
    // Loads started before this frame finish, in the order they were started.
    void finishLoads();

    // The clip a script value stands for (null for anything else).
    TimelineInstance* clipOfValue(const avm1::Value& v) const;
    // A button by its script id (null when it has gone), and the timeline it stands on.
    DisplayObject* findButton(avm1::ClipId id, TimelineInstance** owner = nullptr) const;
    // The button whose looks hold `clip` (a sprite placed in a button), 0 when none; the
    // display object standing for the sprite there, and the button and its timeline.
    avm1::ClipId buttonHolding(const TimelineInstance& clip);
    DisplayObject* buttonPart(const TimelineInstance& clip, TimelineInstance** owner = nullptr,
                              const DisplayObject** button = nullptr) const;
    // After scripts ran: buttons take enabled and useHandCursor from their script objects, and
    // the script objects of buttons that went stop standing for them.
    void syncButtons();
    // Text fields as script objects (ScriptTextFields.cpp): made on first use, kept while the
    // field stands. createTextField(name, depth, x, y, width, height) on `parent`.
    avm1::Value createTextField(TimelineInstance& parent, avm1::Args args);
    avm1::Object* fieldObject(TimelineInstance& parent, DisplayObject& obj);
    // The display object of the field a script object stands for (null when it has gone).
    DisplayObject* fieldOf(avm1::Object* self, TimelineInstance** parent = nullptr) const;
    void dropGoneFields();

    const Movie& m_movie;
    Log& m_log;
    SoundMixer* m_mixer;
    std::unique_ptr<avm1::Vm> m_vm;
    std::function<void(std::string_view)> m_traceSink;
    TimelineInstance* m_root = nullptr;
    std::unordered_map<avm1::ClipId, TimelineInstance*> m_clips;
    struct ButtonRef {
        avm1::ClipId owner = 0;   // the timeline it stands on
        std::uint64_t serial = 0; // ButtonInstance::serial
        std::int32_t depth = 0;   // where it stood when last found
    };
    mutable std::unordered_map<avm1::ClipId, ButtonRef> m_buttonRefs;
    std::unordered_map<std::uint64_t, avm1::ClipId> m_buttonIds; // by serial
    mutable std::unique_ptr<HitTester> m_hitTester;              // made when a drag first asks
    // What a clip last reported as _droptarget, kept after the drag ends.
    std::unordered_map<avm1::ClipId, std::string> m_dropTargets;
    // _focusrect (ScriptFocusRect.cpp): the main timeline's stands for the whole movie; another
    // clip's is its own, unset until a script sets it.
    avm1::Value focusRect(avm1::ClipId id);
    void setFocusRect(avm1::ClipId id, const avm1::Value& v);
    bool m_focusRect = true;
    std::unordered_map<avm1::ClipId, bool> m_clipFocusRects;
    // Clips in the order they were made; a frame visits them newest first.
    std::vector<avm1::ClipId> m_execOrder;
    avm1::ClipId m_nextClip = 1;
    std::uint32_t m_instanceCounter = 0;
    std::deque<Queued> m_queue;
    std::vector<avm1::ClipId> m_gone; // clips removed while their unload may still run
    // Clips whose unload events were queued before they left: leaving does not queue them again.
    std::unordered_set<avm1::ClipId> m_unloadQueued;
    std::unordered_set<std::uint16_t> m_initDone;
    std::unique_ptr<Sprite> m_emptySprite; // what createEmptyMovieClip places
    std::unique_ptr<EditText> m_fieldDef;  // what createTextField places (sized per field)
    struct FieldRef {
        avm1::ClipId parent = 0;
        std::weak_ptr<TextField> field;
    };
    std::unordered_map<avm1::Object*, FieldRef> m_fieldObjects;
    std::unordered_map<const TextField*, avm1::Object*> m_objectOfField;
    std::set<std::string> m_reported;
    double m_nowMs = 0;
    double m_clockEpochMs = 0;
    double m_mouseX = 0;
    double m_mouseY = 0;
    bool m_mousePressed = false;
    std::set<int> m_keysDown;
    int m_lastKey = 0;
    std::uint32_t m_lastChar = 0;
    avm1::ClipId m_dragClip = 0;
    bool m_dragLockCenter = false;
    double m_dragOffsetX = 0;
    double m_dragOffsetY = 0;
    bool m_dragHasRect = false;
    double m_dragRect[4] = {0, 0, 0, 0};
    bool m_draining = false;
    // The main timeline's load event waits for the end of its first frame's scripts.
    bool m_rootLoadDue = false;
    std::size_t m_initializeQueued = 0; // at the front of m_queue
    // Target paths of the clips that left this frame, for their unload handlers.
    std::unordered_map<avm1::ClipId, std::string> m_formerPaths;
    avm1::ClipId m_unloading = 0; // the clip whose unload actions run
    bool m_quitRequested = false; // fscommand "quit"
    MovieFolder m_folder;
    struct PendingLoad {
        avm1::Object* target = nullptr; // kept alive while it waits
        std::string url;
        bool variables = false; // loadVariables: into the target's variables
    };
    std::deque<PendingLoad> m_loads;
    struct ClipLoad {
        avm1::Object* loader = nullptr; // kept alive while it waits, as an object target is
        std::string url;
        avm1::Value target;
        int framesLeft = 0;
    };
    std::deque<ClipLoad> m_clipLoads;
    void loadAsNothing(const ClipLoad& load);
};

} // namespace kinovex::flash
