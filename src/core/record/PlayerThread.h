#pragma once
// The player thread: plays one movie with our engine, hands its frames to the window that
// shows them, plays its sound, and while its frame recorder has a recording captures a frame
// every 83 ms into it.

#include "core/record/FrameRecorder.h"
#include "core/record/PlayerThreadClock.h"
#include "engine/Player.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kinovex {

// "(hhmmssmmm)": the time stamp that keeps conversions of the same movie apart.
std::string RecordTimeStamp(int hour, int minute, int second, int millisecond);
// The conversion's output without its extension.
std::string OutputBaseName(const std::string& outputFolder, const std::string& movieName,
                           const std::string& timeStamp);

// What the window sends the movie. Positions are in the window's pixels.
struct PlayerEvent {
    enum class Type { MouseMove, MouseDown, MouseUp, KeyDown, KeyUp, ViewSize };
    enum class Button { None, Left, Right };

    Type type = Type::MouseMove;
    Button button = Button::None;
    double x = 0;
    double y = 0;
    int keyCode = 0;            // the movie's key code (Key.getCode())
    std::uint32_t charCode = 0; // the character typed, 0 for none
    int width = 0;              // ViewSize: the window's new size
    int height = 0;
};

// The newest frame for the window. The player thread puts, the window takes; a frame not yet
// taken is replaced by a newer one, so a busy window never makes the movie wait.
class FrameMailbox {
public:
    // Stores a copy of `pixels` (width x height, premultiplied ARGB32, rows packed). True when
    // the slot was empty, so the window has to be told.
    bool Put(const std::vector<std::uint32_t>& pixels, int width, int height);
    // Swaps the waiting frame into `pixels`; false when none waits.
    bool Take(std::vector<std::uint32_t>& pixels, int& width, int& height);

private:
    std::mutex m_mutex;
    std::vector<std::uint32_t> m_pixels;
    int m_width = 0;
    int m_height = 0;
    bool m_full = false;
};

struct PlayerThreadOptions {
    std::string moviePath;
    int recordWidth = 0; // the recorded frames' size (the player window's at the start)
    int recordHeight = 0;
    int viewWidth = 0; // the window's size; ViewSize events change it
    int viewHeight = 0;
    bool playSound = true; // through the sound server, where the mix input hears it

    // Called on the player thread. None may block for long or call back into the thread
    // except through Post/Wake/RequestStop.
    std::function<void()> onFrame;          // a frame waits in Frames()
    std::function<void(bool)> onHandCursor; // the pointer is over a button, or no longer
    std::function<void(const std::string&)> onLoadFailed; // the engine could not load the movie
    std::function<void()> onEnded;                        // the last call of the thread
    // Tests: the loaded engine before the first frame is shown, and each event as it reaches
    // the engine.
    std::function<void(flash::Player&)> onLoaded;
    std::function<void(const PlayerEvent&)> onEvent;
};

class SoundFeeder;

class PlayerThread {
public:
    // `recorder` gets the frames while it has a recording and must outlive the thread;
    // `clock` is the steady clock when null.
    PlayerThread(PlayerThreadOptions options, FrameRecorder& recorder,
                 std::shared_ptr<PlayerClock> clock = nullptr);
    // Asks the thread to stop and waits for it to end.
    ~PlayerThread();
    PlayerThread(const PlayerThread&) = delete;
    PlayerThread& operator=(const PlayerThread&) = delete;

    void Start();
    // Queues an event for the movie. Right-button events are dropped by the thread.
    void Post(const PlayerEvent& event);
    // The recording started or stopped: look at the recorder now, not at the next frame.
    void Wake();
    // Wakes the thread and has it end without handling what is queued. Returns at once; safe
    // from the thread's own callbacks.
    void RequestStop();
    // Waits for the thread's end (it must have been asked to stop).
    void Join();
    bool HasEnded() const { return m_bEnded.load(); }

    FrameMailbox& Frames() { return m_frames; }

    // Tests: how often the thread woke from its sleep, and a wait until it sleeps with
    // nothing due at the clock's current time and no event queued (or has ended).
    std::uint64_t WakeUps() const { return m_nWakeUps.load(); }
    void WaitUntilIdle();

private:
    void PlayerThreadProc();
    void Load();
    void AdvanceMovie(std::uint32_t now);
    void CapturePass(std::uint32_t now);
    bool HandleEvents(); // false when the thread was asked to stop
    void ShowFrame();
    void PlaySound();
    void SleepUntilDue(std::uint32_t now);
    bool WakeConditionLocked() const;
    std::optional<std::uint32_t> NextMovieFrameDue() const;

    PlayerThreadOptions m_options;
    FrameRecorder& m_recorder;
    std::atomic<bool> m_bRunning{true};
    std::shared_ptr<PlayerClock> m_clock;
    std::thread m_thread;
    std::atomic<bool> m_bEnded{false};
    std::atomic<std::uint64_t> m_nWakeUps{0};
    FrameMailbox m_frames;

    // The queue and the sleep.
    mutable std::mutex m_mutex;
    std::condition_variable m_wakeCondition;
    std::condition_variable m_idleCondition;
    std::deque<PlayerEvent> m_queue;
    bool m_bWakeRequested = false;
    bool m_bSleeping = false;
    std::optional<std::uint32_t> m_due;

    // The player thread's own state.
    flash::Player m_player;
    std::uint32_t m_nLastTick = 0;      // clock time already given to the engine
    std::uint64_t m_nMovieMs = 0;       // engine time since the load
    std::uint64_t m_nMovieFrames = 0;   // frames that time has paid for
    std::uint32_t m_nTimerStart = 0;    // the capture timer's first tick
    std::uint32_t m_nTimerNext = 0;     // its next period
    bool m_bTimerSignalled = false;     // a period passed and no capture took it yet
    std::vector<std::uint8_t> m_dib;    // the recorded frame: RGB555, bottom-up
    std::vector<std::uint32_t> m_draw;  // the window's frame being drawn
    std::vector<std::uint32_t> m_shown; // the window's last frame handed over
    int m_nShownWidth = 0;
    int m_nShownHeight = 0;
    bool m_bViewDirty = true;
    bool m_bHandCursor = false;
    std::vector<std::int16_t> m_sound;
    std::unique_ptr<SoundFeeder> m_feeder; // the sound's way to the server
    bool m_bSoundTried = false;
};

} // namespace kinovex
