#include "core/record/PlayerThread.h"

#include "platform/SoundPlayback.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kinovex {

namespace {

// A stall longer than this (a suspended machine, a debugger) is not made up frame by frame.
constexpr std::uint32_t kMaxStepMs = 5000;

} // namespace

// ---------------------------------------------------------------------------------------------
// Clocks

SteadyPlayerClock::SteadyPlayerClock() : m_origin(std::chrono::steady_clock::now()) {}

std::uint32_t SteadyPlayerClock::Now() {
    const auto since = std::chrono::steady_clock::now() - m_origin;
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SteadyPlayerClock::Sleep(std::unique_lock<std::mutex>& lock,
                              std::condition_variable& condition, std::optional<std::uint32_t> due,
                              const std::function<bool()>& wake) {
    while (!wake()) {
        if (!due) {
            condition.wait(lock);
            continue;
        }
        const auto left = static_cast<std::int32_t>(*due - Now());
        condition.wait_for(lock, std::chrono::milliseconds(std::max(left, 1)));
    }
}

void ManualPlayerClock::Attach(std::mutex& mutex, std::condition_variable& condition) {
    m_mutex = &mutex;
    m_condition = &condition;
}

void ManualPlayerClock::Sleep(std::unique_lock<std::mutex>& lock,
                              std::condition_variable& condition,
                              std::optional<std::uint32_t> /*due*/,
                              const std::function<bool()>& wake) {
    // Advance notifies: time only passes there.
    condition.wait(lock, wake);
}

void ManualPlayerClock::Advance(std::uint32_t milliseconds) {
    std::mutex* mutex = m_mutex.load();
    if (mutex == nullptr) {
        m_now += milliseconds;
        return;
    }
    // Under the sleeper's lock, so the change cannot fall between its look at the time and
    // its going to sleep.
    std::lock_guard lock(*mutex);
    m_now += milliseconds;
    m_condition.load()->notify_all();
}

// ---------------------------------------------------------------------------------------------
// Names

std::string RecordTimeStamp(int hour, int minute, int second, int millisecond) {
    char text[32];
    std::snprintf(text, sizeof text, "(%.2d%.2d%.2d%.3d)", hour, minute, second, millisecond);
    return text;
}

std::string OutputBaseName(const std::string& outputFolder, const std::string& movieName,
                           const std::string& timeStamp) {
    return outputFolder + "/" + movieName + timeStamp;
}

// ---------------------------------------------------------------------------------------------
// Frame hand-off

bool FrameMailbox::Put(const std::vector<std::uint32_t>& pixels, int width, int height) {
    std::lock_guard lock(m_mutex);
    m_pixels.assign(pixels.begin(), pixels.end());
    m_width = width;
    m_height = height;
    const bool wasEmpty = !m_full;
    m_full = true;
    return wasEmpty;
}

bool FrameMailbox::Take(std::vector<std::uint32_t>& pixels, int& width, int& height) {
    std::lock_guard lock(m_mutex);
    if (!m_full)
        return false;
    pixels.swap(m_pixels);
    width = m_width;
    height = m_height;
    m_full = false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Sound

// Plays the movie's sound on a thread of its own. A write to the server waits while the
// server's queue is full, and some sinks take their sound in large pieces (a null sink every
// 2 seconds): the player thread must not wait for that, or its frames and captures would be
// late. The feeder keeps at most kMaxQueued samples; beyond that the oldest are dropped.
class SoundFeeder {
public:
    SoundFeeder() : m_thread(&SoundFeeder::Run, this) {}
    ~SoundFeeder() {
        {
            std::lock_guard lock(m_mutex);
            m_bStop = true;
        }
        m_condition.notify_all();
        m_thread.join();
    }
    SoundFeeder(const SoundFeeder&) = delete;
    SoundFeeder& operator=(const SoundFeeder&) = delete;

    void Queue(const std::vector<std::int16_t>& samples) {
        std::lock_guard lock(m_mutex);
        if (m_bFailed)
            return;
        m_pending.insert(m_pending.end(), samples.begin(), samples.end());
        if (m_pending.size() > kMaxQueued)
            m_pending.erase(m_pending.begin(),
                            m_pending.end() - static_cast<std::ptrdiff_t>(kMaxQueued));
        m_condition.notify_all();
    }

private:
    static constexpr std::size_t kMaxQueued = 4 * 44100 * 2;

    void Run() {
        SoundPlayback playback;
        // With no server the movie plays on silently.
        const bool open = playback.open(44100, 2, "Movie sound");
        std::vector<std::int16_t> samples;
        std::unique_lock lock(m_mutex);
        m_bFailed = !open;
        for (;;) {
            m_condition.wait(lock, [this] { return m_bStop || !m_pending.empty(); });
            if (m_bStop)
                break;
            samples.swap(m_pending);
            m_pending.clear();
            lock.unlock();
            if (open)
                playback.write(samples);
            lock.lock();
        }
        lock.unlock();
        if (open)
            playback.stop(); // what is queued belongs to a picture no longer shown
    }

    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::vector<std::int16_t> m_pending;
    bool m_bStop = false;
    bool m_bFailed = false;
    std::thread m_thread; // last: it starts when everything above exists
};

// ---------------------------------------------------------------------------------------------
// The thread

PlayerThread::PlayerThread(PlayerThreadOptions options, FrameRecorder& recorder,
                           std::shared_ptr<PlayerClock> clock)
    : m_options(std::move(options)), m_recorder(recorder), m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = std::make_shared<SteadyPlayerClock>();
    m_clock->Attach(m_mutex, m_wakeCondition);
}

PlayerThread::~PlayerThread() {
    if (m_thread.joinable()) {
        RequestStop();
        m_thread.join();
    }
}

void PlayerThread::Start() {
    if (!m_thread.joinable())
        m_thread = std::thread(&PlayerThread::PlayerThreadProc, this);
}

void PlayerThread::Post(const PlayerEvent& event) {
    std::lock_guard lock(m_mutex);
    m_queue.push_back(event);
    m_wakeCondition.notify_all();
}

void PlayerThread::Wake() {
    std::lock_guard lock(m_mutex);
    m_bWakeRequested = true;
    m_wakeCondition.notify_all();
}

void PlayerThread::RequestStop() {
    m_bRunning = false;
    std::lock_guard lock(m_mutex);
    m_wakeCondition.notify_all();
}

void PlayerThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void PlayerThread::WaitUntilIdle() {
    std::unique_lock lock(m_mutex);
    m_idleCondition.wait(
        lock, [this] { return m_bEnded.load() || (m_bSleeping && !WakeConditionLocked()); });
}

bool PlayerThread::WakeConditionLocked() const {
    return !m_bRunning.load() || !m_queue.empty() || m_bWakeRequested ||
           (m_due && TickReached(m_clock->Now(), *m_due));
}

void PlayerThread::PlayerThreadProc() {
    Load();
    const std::uint32_t start = m_clock->Now();
    m_nLastTick = start;
    // The capture timer's first period is due at once, so a recording that starts takes its
    // first frame on the next pass.
    m_nTimerStart = start;
    m_nTimerNext = start;
    if (m_options.recordWidth > 0 && m_options.recordHeight > 0)
        m_dib.assign(static_cast<std::size_t>(flash::Player::rgb555Stride(m_options.recordWidth)) *
                         static_cast<std::size_t>(m_options.recordHeight),
                     0);

    while (m_bRunning.load()) {
        AdvanceMovie(m_clock->Now());
        CapturePass(m_clock->Now());
        if (!HandleEvents())
            break;
        if (m_bViewDirty)
            ShowFrame();
        PlaySound();
        SleepUntilDue(m_clock->Now());
    }

    m_feeder.reset();
    {
        std::lock_guard lock(m_mutex);
        m_bEnded = true;
        m_idleCondition.notify_all();
    }
    if (m_options.onEnded)
        m_options.onEnded();
}

void PlayerThread::Load() {
    const flash::LoadResult result = m_player.load(m_options.moviePath);
    if (!result.ok) {
        // The window stays empty until playback stops; the thread only waits for the end.
        if (m_options.onLoadFailed)
            m_options.onLoadFailed(result.error);
        return;
    }
    if (m_options.onLoaded)
        m_options.onLoaded(m_player);
    m_bViewDirty = true;
}

void PlayerThread::AdvanceMovie(std::uint32_t now) {
    std::uint32_t passed = now - m_nLastTick;
    m_nLastTick = now;
    if (!m_player.isLoaded() || !m_player.isPlaying() || passed == 0)
        return;
    passed = std::min(passed, kMaxStepMs);
    if (m_player.advance(passed) > 0)
        m_bViewDirty = true;
    // The engine counts its time the same way; the next frame's due time comes from this.
    const auto rate = static_cast<std::uint64_t>(std::lround(m_player.frameRate() * 256));
    m_nMovieMs += passed;
    m_nMovieFrames = m_nMovieMs * rate / (1000u * 256u);
}

std::optional<std::uint32_t> PlayerThread::NextMovieFrameDue() const {
    if (!m_player.isLoaded() || !m_player.isPlaying())
        return std::nullopt;
    const auto rate = static_cast<std::uint64_t>(std::lround(m_player.frameRate() * 256));
    if (rate == 0)
        return std::nullopt;
    const std::uint64_t dueMs = ((m_nMovieFrames + 1) * 1000u * 256u + rate - 1) / rate;
    const std::uint64_t wait = dueMs > m_nMovieMs ? dueMs - m_nMovieMs : 1;
    return m_nLastTick + static_cast<std::uint32_t>(std::min<std::uint64_t>(wait, kMaxStepMs));
}

void PlayerThread::CapturePass(std::uint32_t now) {
    // The capture timer ticks every 83 ms from the thread's start. A tick that passes while
    // nothing is recorded keeps it signalled, and several missed ticks count as one.
    if (TickReached(now, m_nTimerNext)) {
        m_bTimerSignalled = true;
        const std::uint32_t sinceStart = now - m_nTimerStart;
        m_nTimerNext = m_nTimerStart + (sinceStart / kCapturePeriodMs + 1) * kCapturePeriodMs;
    }

    if (!m_bTimerSignalled)
        return;
    const bool recording =
        m_recorder.Capture(*m_clock, m_options.recordWidth, m_options.recordHeight, [this] {
            m_player.drawRgb555(m_dib.data(), m_options.recordWidth, m_options.recordHeight);
            return m_dib.data();
        });
    if (recording)
        m_bTimerSignalled = false;
}

bool PlayerThread::HandleEvents() {
    for (;;) {
        PlayerEvent event;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty())
                break;
            event = m_queue.front();
            m_queue.pop_front();
        }
        // Playback ended: what is still queued is for a movie that is going away.
        if (!m_bRunning.load())
            return false;
        const bool press =
            event.type == PlayerEvent::Type::MouseDown || event.type == PlayerEvent::Type::MouseUp;
        if (press && event.button != PlayerEvent::Button::Left)
            continue; // the movie gets the left button only; the right one is the window's
        const int viewWidth = m_options.viewWidth;
        const int viewHeight = m_options.viewHeight;
        const auto stage = [&] {
            return m_player.viewToStage(event.x, event.y, viewWidth, viewHeight);
        };
        switch (event.type) {
        case PlayerEvent::Type::ViewSize:
            m_options.viewWidth = event.width;
            m_options.viewHeight = event.height;
            break;
        case PlayerEvent::Type::MouseMove:
            m_player.mouseMove(stage());
            break;
        case PlayerEvent::Type::MouseDown:
            m_player.mouseDown(stage());
            break;
        case PlayerEvent::Type::MouseUp:
            m_player.mouseUp(stage());
            break;
        case PlayerEvent::Type::KeyDown:
            m_player.keyDown(event.keyCode, event.charCode);
            break;
        case PlayerEvent::Type::KeyUp:
            m_player.keyUp(event.keyCode, event.charCode);
            break;
        }
        // Input may change the picture (a button's state); it is drawn once after the queue.
        m_bViewDirty = true;
        if (m_options.onEvent)
            m_options.onEvent(event);
    }
    const bool hand = m_player.isLoaded() && m_player.wantsHandCursor();
    if (hand != m_bHandCursor) {
        m_bHandCursor = hand;
        if (m_options.onHandCursor)
            m_options.onHandCursor(hand);
    }
    return true;
}

void PlayerThread::ShowFrame() {
    m_bViewDirty = false;
    const int width = m_options.viewWidth;
    const int height = m_options.viewHeight;
    if (!m_player.isLoaded() || width <= 0 || height <= 0)
        return; // no movie: the window stays empty
    m_draw.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    m_player.draw(m_draw.data(), width, height, width * 4);
    // A movie that sits on one picture costs the window nothing.
    if (width == m_nShownWidth && height == m_nShownHeight && m_draw == m_shown)
        return;
    m_shown.swap(m_draw);
    m_nShownWidth = width;
    m_nShownHeight = height;
    if (m_frames.Put(m_shown, width, height) && m_options.onFrame)
        m_options.onFrame();
}

void PlayerThread::PlaySound() {
    m_sound.clear();
    m_player.takeSound(m_sound);
    if (!m_options.playSound || m_sound.empty())
        return;
    if (!m_feeder) {
        // The server is contacted once the movie makes a sound, and only once a playback.
        if (m_bSoundTried ||
            std::all_of(m_sound.begin(), m_sound.end(), [](std::int16_t s) { return s == 0; }))
            return;
        m_bSoundTried = true;
        m_feeder = std::make_unique<SoundFeeder>();
    }
    m_feeder->Queue(m_sound);
}

void PlayerThread::SleepUntilDue(std::uint32_t now) {
    std::optional<std::uint32_t> due = NextMovieFrameDue();
    if (m_recorder.IsRecording()) {
        const std::uint32_t capture = m_bTimerSignalled ? now : m_nTimerNext;
        if (!due || static_cast<std::int32_t>(capture - *due) < 0)
            due = capture;
    }

    std::unique_lock lock(m_mutex);
    m_due = due;
    m_clock->Sleep(lock, m_wakeCondition, due, [this] {
        const bool wake = WakeConditionLocked();
        m_bSleeping = !wake;
        if (!wake)
            m_idleCondition.notify_all();
        return wake;
    });
    m_bSleeping = false;
    m_bWakeRequested = false;
    ++m_nWakeUps;
}

} // namespace kinovex
