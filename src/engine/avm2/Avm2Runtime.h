#pragma once
// The ActionScript 3 machine bound to the display list: the player's ScriptMachine for movies
// that declare ActionScript 3. It loads the movie's ABC blocks, constructs the document class
// as the main timeline, gives timeline sprites their script objects and orders each frame's
// events and frame scripts.

#include "engine/avm2/Machine.h"
#include "engine/avm2/TimerQueue.h"
#include "engine/definitions/AbcBlocks.h"
#include "engine/display/ScriptMachine.h"
#include "engine/swf/Log.h"
#include "engine/swf/MovieFolder.h"

#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace kinovex::flash {

class DisplayTreeView;
class HitTester;
class Movie;
class SoundMixer;
class TextFonts;
struct DecodedImage;
struct Sprite;
struct Button;
struct ButtonRecord;
struct Character;
struct EditText;

class Avm2Runtime final : public ScriptMachine, private TimelineHooks {
public:
    // `mixer`, when given, plays the sounds scripts start.
    Avm2Runtime(const Movie& movie, Log& log, SoundMixer* mixer = nullptr);
    ~Avm2Runtime() override;

    void setTraceSink(std::function<void(std::string_view)> sink) override;
    void setInstructionBudget(std::uint64_t actions) override;
    void attachRoot(TimelineInstance& root) override;
    void runFrame(double nowMs) override;
    void finishFrame() override;
    bool quitRequested() const override { return false; }
    std::optional<double> nextTimerDueMs() const override { return m_timers.nextDue(); }
    void setMovieFolder(std::string folder) override;
    void setClockEpoch(double epochMs) override;
    std::size_t loadsPending() const override { return 0; }
    ButtonScripts buttonScripts() override { return {}; }
    const ScriptLayers* scriptLayers() const override;
    // The pointer and the keys reach the display objects as MouseEvent and KeyboardEvent.
    void mouseMove(double x, double y) override;
    void mouseDown(double x, double y) override;
    void mouseUp(double x, double y) override;
    void keyDown(int keyCode, std::uint32_t charCode) override;
    void keyUp(int keyCode, std::uint32_t charCode) override;

    avm2::Machine& machine() { return *m_vm; }

    // For the display classes.
    avm2::Object* objectFor(TimelineInstance& clip);
    // The script object of `clip`, if it has one yet.
    avm2::Object* existingObjectFor(const TimelineInstance& clip) const;
    TimelineInstance* root() const { return m_root; }
    avm2::Object* rootObject() const { return m_rootObject; }
    avm2::Object* stageObject() const { return m_stage; }
    // Where the pointer last stood, in stage pixels.
    Point pointer() const { return {m_pointerX, m_pointerY}; }
    // The main movie's LoaderInfo, made when first asked for.
    avm2::Object* loaderInfo();
    const Movie& movie() const { return m_movie; }
    SoundMixer* mixer() const { return m_mixer; }
    // Dispatches `event` to `target` through its ancestors (capture, target, bubble).
    // `dispatcher`, when given, is an EventDispatcher acting for `target`: its own listeners
    // hear the target phase, the target's ancestors the others.
    void dispatch(avm2::Object* target, avm2::Object* event, avm2::Object* dispatcher = nullptr);
    void runFrameScripts();
    // stage.invalidate(): "render" goes to its listeners before the stage is next drawn.
    void invalidateStage() { m_renderQueued = true; }
    // After a goto, to another frame or the same: the frame goes round (frameConstructed, its
    // scripts, exitFrame) at once, or, from a frame script, its scripts run at once and the
    // rest once that script has ended.
    void afterGoto();
    // A script's goto of `c` to `target` (0-based): from the clip's own frame script it waits
    // for that script to end, the last one winning (`queued` when it is run then); otherwise it
    // happens at once.
    void gotoFrameOf(TimelineInstance& c, std::uint32_t target, bool play, bool queued = false);
    // Gives what `o`'s timeline shows without a timeline of its own (shapes, texts) script
    // objects among its children, and takes out those whose placement went.
    void syncTimelineObjects(avm2::Object* o);
    // A listener for `type` was added to display object `o`: it hears the frame's events from
    // then on, after those that listened before it.
    void listening(avm2::Object* o, const std::string& type);
    // Tells a child just added: "added" (bubbling), then "addedToStage" to it and all beneath
    // it when it is on the stage.
    void dispatchAdded(avm2::Object* child);
    // The same before a child leaves its parent: "removed", then "removedFromStage".
    void dispatchRemoved(avm2::Object* child);
    // Loads the ActionScript 3 blocks of the main timeline's frames up to `frame` (0-based) not
    // loaded yet, and runs their scripts.
    void loadBlocksUpTo(std::uint32_t frame);
    double frameRate() const;
    std::uint8_t swfVersion() const;
    HitTester& hitTester();
    // "instanceN", N counting the display objects made so far.
    std::string nextInstanceName();
    const SceneData& sceneData() const;
    avm2::TimerQueue& timers() { return m_timers; }
    // An object a script made of a class linked to a sprite symbol gets the symbol's timeline,
    // its first frame placed at once (its own until a container shows it).
    void bindSymbol(avm2::Object* o);
    // The symbol the movie links to the class, or to the nearest of its script bases; null
    // for none.
    const Character* linkedSymbol(const avm2::ClassInfo* cls) const;
    // A Loader's load of the file `url` names beside the movie, for its LoaderInfo `info`:
    // done before the next frame, with its events.
    // A URLLoader's load goes the same way, its data read as the loader's dataFormat says.
    void queueLoad(avm2::Object* info, std::string url);
    // Drops the loads queued for `target` (URLLoader.close).
    void cancelLoad(avm2::Object* target);
    // An address the movie would open or send to (navigateToURL): logged once, nothing more.
    void reportUrl(const std::string& url);
    // The fonts text fields are measured with, and what a text field a script makes starts as.
    TextFonts& textFonts();
    const EditText& scriptFieldDefinition();

private:
    void clipCreated(TimelineInstance& clip) override;
    void clipLeaving(TimelineInstance& clip) override;
    void clipDestroyed(TimelineInstance& clip) override;
    // Makes the script objects of the clips the frame's advance placed.
    void constructPendingClips();
    void frameActions(TimelineInstance&, const ActionCode&) override {}
    void initActions(TimelineInstance&, std::uint16_t, const ActionCode&) override {}

    // Runs `body` as one script entry: the budget is checked and what escapes is reported.
    template <class F> void guarded(F&& body);
    void broadcast(const char* type);
    void runFrameScriptRounds();
    void catchUpAfterGoto();
    // Makes an Event of `type` and dispatches it to `target`.
    void dispatchNew(avm2::Object* target, const char* type, bool bubbles);
    void dispatchToSubtree(avm2::Object* top, const char* type);
    void loadBlocksOfFrame(std::uint32_t frame);
    // Input: whether scripts may hear it now; the object under the pointer at (x, y), with
    // the rolls out and over its change brings; a MouseEvent of `type` to `target`.
    bool takesInput();
    avm2::Object* pointerAt(double x, double y);
    void pointerOver(avm2::Object* now);
    void mouseEvent(avm2::Object* target, const char* type, bool bubbles, avm2::Object* related);
    void keyEvent(const char* type, int keyCode, std::uint32_t charCode);
    // Calls what the timers have due by `nowMs`, the earliest first.
    void runTimers(double nowMs);

    const Movie& m_movie;
    Log& m_log;
    std::unique_ptr<avm2::Machine> m_vm;
    TimelineInstance* m_root = nullptr;
    avm2::Object* m_rootObject = nullptr;
    avm2::Object* m_stage = nullptr;
    avm2::Object* m_loaderInfo = nullptr;
    std::unordered_map<TimelineInstance*, avm2::Object*> m_objects;
    std::vector<TimelineInstance*> m_order; // clips in creation order
    // The script objects of shapes and texts on the timelines, by parent, depth and the frame
    // that placed them.
    using TimelineKey = std::tuple<const TimelineInstance*, std::int32_t, std::uint32_t>;
    std::map<TimelineKey, avm2::Object*> m_timelineObjects;
    std::vector<TimelineInstance*> m_pendingClips; // placed by the advance, not made yet
    bool m_advancing = false;
    std::unique_ptr<HitTester> m_hitTester;
    std::unique_ptr<DisplayTreeView> m_treeView;
    bool m_inFrameScripts = false;
    bool m_gotoQueued = false;
    std::vector<TimelineInstance*> m_scriptClips; // whose frame scripts are running
    std::map<TimelineInstance*, std::pair<std::uint32_t, bool>> m_queuedGotos;
    int m_gotoDepth = 0;
    std::uint32_t m_instances = 0;
    std::vector<avm2::Object*> m_listening; // display objects with frame event listeners
    avm2::TimerQueue m_timers;
    std::uint32_t m_blocksLoadedUpTo = 0;
    bool m_started = false;
    bool m_stopped = false; // the budget ran out: no script runs again
    std::uint64_t m_budget = 0;
    // The pointer, in stage pixels; what it is over (null: the stage) and what it pressed.
    double m_pointerX = 0;
    double m_pointerY = 0;
    bool m_buttonDown = false;
    bool m_renderQueued = false;
    avm2::Object* m_over = nullptr;
    avm2::Object* m_pressed = nullptr;
    SoundMixer* m_mixer = nullptr;
    MovieFolder m_folder;
    std::vector<std::pair<avm2::Object*, std::string>> m_loads; // queued by queueLoad
    void finishLoads();
    // A Sound's load: the MP3 file becomes a sound of the mixer's, the sound hears complete.
    void finishSoundLoad(avm2::Object* sound, const std::string& url);
    // An error event of class flash.events.`cls` ("IOErrorEvent" ...), its text "Error #id: ...".
    void dispatchError(avm2::Object* target, const char* cls, const char* type, int id,
                       const std::string& text);
    void finishUrlLoad(avm2::Object* loader, const std::string& url);
    std::set<std::string> m_reportedUrls; // by reportUrl, at most a few
    void showImage(avm2::Object* info, DecodedImage& image);
    // A script object of class `cls` for a sprite no timeline holds, with its own timeline.
    avm2::Object* freeClip(const Sprite& def, avm2::ClassInfo* cls);
    // Gives `o` a timeline of its own showing `def`, kept to the end (m_freeClips).
    void startFreeTimeline(avm2::Object* o, const Sprite& def);
    // The class of what the timeline shows without a timeline of its own (a shape, a text, a
    // button); null for what gets no script object.
    static const char* timelineObjectClass(const Character& ch);
    avm2::Object* buttonRecordObject(const ButtonRecord& record);
    // Makes the four looks of a button the timeline placed.
    void buildButtonLooks(avm2::Object* button, const Button& def);
    std::unique_ptr<TextFonts> m_textFonts;
    std::unique_ptr<EditText> m_fieldDefinition;
    // The timelines of sprites scripts made (bindSymbol), kept to the end; last, so that they
    // go first and tell the runtime while it is whole.
    std::size_t m_freeSprites = 0;
    std::vector<std::unique_ptr<TimelineInstance>> m_freeClips;
};

} // namespace kinovex::flash
