#pragma once
// The movie engine as the program sees it: load a movie, advance it in time, draw its current
// frame. It reads no clock and starts no thread: the host says how much time has passed, so the
// same calls always give the same frames.

#include "engine/swf/Log.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kinovex::flash {

class ButtonInput;
class Movie;
class Renderer;
class ScriptMachine;
class SoundMixer;
class TimelineInstance;

// A point on the stage in pixels (the movie's own coordinates: twips / 20).
struct StagePoint {
    double x = 0;
    double y = 0;
};

// A button a person could press, as the stage shows it.
struct StageButton {
    StagePoint centre; // a point of its hit area, in stage pixels
    std::string name;  // its instance name ("" when it has none)
    std::string text;  // the text its look shows, UTF-8
};

// What may still happen on its own, without input: read after a frame to tell whether the
// movie has come to rest.
struct Activity {
    bool mainPlaying = false; // the main timeline plays on (no stop())
    // The main timeline has shown its last frame: playing on only repeats what it showed.
    bool mainShownLastFrame = false;
    // Every clip on the display list stands stopped, or has shown its last frame or been sent
    // back to an earlier one by a script since it was placed: it only repeats itself then (a
    // clip looping as decoration, a wait for a load that never comes).
    bool clipsSettled = false;
    // An event sound playing through for the first time, or stream sound still to play. A
    // looping sound that went round once does not count, as a clip that looped does not.
    bool soundPlaying = false;
    // Milliseconds until the scripts' next timer (setInterval) comes due; none when none is set.
    std::optional<double> nextTimerMs;
    // Files beside the movie that its scripts asked for and have not got yet.
    std::size_t loadsPending = 0;

    // The main timeline stands stopped or has shown its last frame.
    bool mainSettled() const { return !mainPlaying || mainShownLastFrame; }
};

struct LoadResult {
    bool ok = false;
    std::string error; // for the user when !ok
};

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Loads a movie and shows its first frame. A movie with damaged parts still loads; what was
    // wrong is in diagnostics().
    LoadResult load(const std::string& path);
    LoadResult loadFromMemory(std::span<const std::uint8_t> bytes);
    // Plays the movie `other` has loaded, from its first frame, sharing the loaded movie with
    // it: playing only reads a movie, so engines drawing one movie side by side need one copy
    // of it. `other` must not be playing meanwhile on another thread while this loads.
    LoadResult loadSameMovie(const Player& other);
    bool isLoaded() const { return m_root != nullptr; }

    // Moves the movie on by `milliseconds` at its frame rate. Returns the number of frames it
    // advanced (0 while stopped). Time is counted exactly, so many small steps give the same
    // frames as one large one.
    int advance(std::uint32_t milliseconds);
    // Advances exactly one frame (whatever the clock says).
    void nextFrame();
    // Shows frame `frame` (1-based), built as playing from the start would have built it.
    void gotoFrame(std::uint32_t frame);
    void stop() { m_playing = false; }
    void play() { m_playing = true; }
    bool isPlaying() const { return m_playing; }
    // True once the movie's scripts closed the player (fscommand "quit"): it shows its last
    // picture from then on.
    bool hasQuit() const;

    // Draws the current frame scaled to show all of the stage, centred, on the background
    // colour. `pixels` is 32-bit premultiplied ARGB in native byte order; stride in bytes
    // (a multiple of 4).
    void draw(std::uint32_t* pixels, int width, int height, int strideBytes);
    // The same into 16-bit RGB555 rows, bottom row first, each row padded to 4 bytes, as the
    // recorder's bitmaps are. `bits` holds rgb555Stride(width) * height bytes.
    // Draws without the background colour, leaving what the movie does not cover transparent
    // (for outputs that keep an alpha channel).
    void setTransparentBackground(bool transparent) { m_transparent = transparent; }
    void drawRgb555(std::uint8_t* bits, int width, int height);
    // Memory the renderer may keep drawn shapes in, to place them again without drawing them
    // anew (48 MB unless set; engines that draw side by side may share one budget).
    void setShapeCacheBudget(std::size_t bytes);
    static int rgb555Stride(int width) { return (width * 2 + 3) & ~3; }

    double frameRate() const; // frames per second
    std::uint32_t frameCount() const;
    std::uint32_t currentFrame() const; // 1-based
    int stageWidth() const;             // pixels
    int stageHeight() const;
    std::uint32_t backgroundColor() const; // 0xRRGGBB

    // The movie's sound: every frame shown adds exactly its share (see SoundMixer) of 44100 Hz
    // stereo 16-bit samples, starting with the first frame at load. takeSound() appends what
    // has been made since the last call to `out` and forgets it; a host that never takes it
    // keeps only the last kMaxPendingSound samples.
    void takeSound(std::vector<std::int16_t>& out);
    std::size_t pendingSoundSamples() const { return m_sound.size() / 2; }
    void setVolume(int percent); // 0..100
    static constexpr std::size_t kMaxPendingSound = 10 * 44100;

    // Input, in stage pixels. A press and release at one point is a click. Key codes are the
    // movie's own (Key.getCode(): 37 left, 13 enter, 65 'A' ...); charCode is the character
    // typed, 0 for none.
    void mouseMove(StagePoint p);
    void mouseDown(StagePoint p);
    void mouseUp(StagePoint p);
    void keyDown(int keyCode, std::uint32_t charCode);
    void keyUp(int keyCode, std::uint32_t charCode);
    // True while the pointer is over something that reacts to a click (a button): the host
    // shows the hand cursor then.
    bool wantsHandCursor() const;
    // The centre of the first visible, enabled button on the stage, if there is one.
    std::optional<StagePoint> firstButtonCentre() const;
    // Every visible, enabled button on the stage, lowest depth first, through sprites.
    std::vector<StageButton> buttonsOnStage() const;
    // What is still going on (see Activity); costs a walk over the display list.
    Activity activity() const;
    // Maps a point of a `width` x `height` view that draw() filled to the stage.
    StagePoint viewToStage(double x, double y, int width, int height) const;

    // Actions the movie's scripts may run in one frame before the running one is stopped.
    void setScriptInstructionBudget(std::uint64_t actions);
    // Where the scripts' Date clock stands when the movie starts (milliseconds since 1970,
    // UTC); it then goes with the movie's time. Unset, it is the time the movie is loaded.
    // Engines that play one movie side by side (loadSameMovie) share the first one's.
    void setClockEpoch(double epochMs) { m_clockEpoch = epochMs; }

    // Every line the movie's scripts trace(), in order, as they run.
    void setTraceSink(std::function<void(std::string_view)> sink) { m_traceSink = std::move(sink); }

    // Drawings made by scripts whose paths the renderer keeps (for checks that they do not
    // pile up as a movie redraws).
    std::size_t cachedScriptDrawings() const;

    const std::vector<Diagnostic>& diagnostics() const { return m_log.entries(); }
    void setLogSink(Log::Sink sink) { m_log.setSink(std::move(sink)); }

private:
    // Plays a movie just read, or (with `soundsFrom`, the mixer of a player that plays it too)
    // one shared: its first frame is shown.
    // Starts `movie` with Date's clock at `clockEpoch` (another player's movie shares that
    // player's sounds and clock).
    LoadResult start(std::shared_ptr<Movie> movie, const SoundMixer* soundsFrom, double clockEpoch);
    void reset();
    void frameShown();            // after a frame ran: its sound
    void runFrame();              // one frame of the movie, its scripts included
    double scriptClockMs() const; // the scripts' clock (getTimer, timers) now
    void connectButtons();
    // After a mouse or key event reached the buttons: the scripts it woke run.
    void buttonsMoved();

    Log m_log;
    std::shared_ptr<Movie> m_movie;
    std::size_t m_liveSprites = 0;
    std::unique_ptr<ScriptMachine> m_scripts;
    std::string m_movieFolder; // where the movie was read from; empty for one from memory
    std::unique_ptr<TimelineInstance> m_root;
    std::unique_ptr<ButtonInput> m_buttons; // mouse and keys for the movie's buttons
    std::unique_ptr<Renderer> m_renderer;
    std::optional<std::size_t> m_shapeCacheBudget;
    std::unique_ptr<SoundMixer> m_mixer;
    std::vector<std::int16_t> m_sound; // made and not yet taken
    std::function<void(std::string_view)> m_traceSink;
    int m_volume = 100;
    bool m_transparent = false;
    bool m_playing = false;
    std::uint64_t m_elapsedMs = 0;      // since the clock last restarted
    std::uint64_t m_framesByClock = 0;  // frames the clock has paid for since then
    std::uint64_t m_framesRun = 0;      // since load: the scripts' clock (getTimer) counts them
    std::optional<double> m_clockEpoch; // as set; unset: the time of loading
    double m_startClock = 0;            // the clock the movie playing now started at
    std::uint64_t m_scriptBudget = 0;   // 0: the interpreter's own
};

} // namespace kinovex::flash
