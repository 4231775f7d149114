#pragma once
// One play-record-convert run of the desktop program: the player thread and its clock, the
// frame recorder (the temporary AVI), the sound capture (the temporary WAV) and the encoder
// step, with the run's state and what each state allows.
//
// Commands come from the user-interface thread; the run reports its state changes and events
// on that thread to its observers. The services it works with are given to it at construction.

#include "core/convert/OutputProfile.h"
#include "core/record/FrameRecorder.h"
#include "core/record/PlayerThread.h"
#include "core/record/RunState.h"
#include "core/record/SoundCapture.h"
#include "platform/CaptureSource.h"
#include "platform/PlatformMessageBox.h"
#include "platform/UiEventPump.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kinovex {

// What the encoder step is given once a recording has ended.
struct ConversionRequest {
    OutputProfile profile; // the output profile when playback started
    std::string movieName; // without ".swf"
    std::string tempBase;  // the recording: tempBase + ".avi" and + ".wav"
    std::uint32_t elapsedMs = 0;
    bool withSound = true; // false: no sound was recorded and the WAV is not there
};

// Runs the encoder on a finished recording; returns when the conversion is over.
class EncoderLauncher {
public:
    virtual ~EncoderLauncher() = default;
    virtual void Convert(const ConversionRequest& request) = 0;
};

enum class RunEvent {
    PlaybackStarted,    // the player thread runs
    RecordingStarted,   // both temporary files are being written
    RecordingStopped,   // both temporary files are complete
    PlaybackStopped,    // the player thread has been asked to end
    ConversionStarting, // the encoder step begins
    SoundUnavailable,   // after RecordingStarted: the sound capture did not start, the
                        // recording goes on with pictures only
};

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void OnStateChanged(RunState /*state*/) {}
    virtual void OnRunEvent(RunEvent /*event*/) {}
};

struct RecordingServices {
    std::shared_ptr<CaptureSystem> captureSystem;
    std::shared_ptr<MessageBoxService> messageBoxes;
    std::shared_ptr<EncoderLauncher> encoder; // null: a recording is not converted
    std::shared_ptr<PlayerClock> clock;       // null: the steady clock
    std::shared_ptr<CUiEventPump> pump;       // null: the capture's end is awaited without one
};

// What a playback needs: the player thread's options (the movie, the sizes, the window's
// callbacks), the names of the recording and the output profile.
struct PlaybackSetup {
    PlayerThreadOptions player;
    std::string movieName;
    std::string tempBase;
    OutputProfile profile;
};

class RecordingRun {
public:
    // The capture system and the message boxes are required.
    explicit RecordingRun(RecordingServices services);
    ~RecordingRun();
    RecordingRun(const RecordingRun&) = delete;
    RecordingRun& operator=(const RecordingRun&) = delete;

    // Observers are told in the order they were added; each outlives its membership.
    void AddObserver(RunObserver& observer);
    void RemoveObserver(RunObserver& observer);

    RunState State() const { return m_state; }
    bool Allows(RunCommand command) const { return RunAllows(m_state, command); }

    // Idle: starts the player thread on the movie. An earlier player thread ends first.
    void Play(PlaybackSetup setup);
    // Playing or Stopping: asks the player thread to end and returns at once; the run is idle.
    void StopPlaying();
    // Playing: records into the temporary files, the frames into a new "<base>.avi" and the
    // sound into a new "<base>.wav". When the capture cannot start, the WAV is removed, the
    // recording has pictures only and SoundUnavailable follows RecordingStarted.
    void Record();
    // Recording: finishes both files, stops playback and runs the encoder step, which the run
    // enters idle.
    void StopRecording();

    // The player thread of the current playback; null before the first and after FinishPlayer.
    PlayerThread* Player() const { return m_player.get(); }
    // Waits for the player thread to end (asking it to, if nobody has) and drops it.
    void FinishPlayer();
    // The last recording's length so far, in milliseconds.
    std::uint32_t RecordElapsed() const { return m_recorder ? m_recorder->Elapsed() : 0; }
    const std::string& TempBase() const { return m_setup.tempBase; }

private:
    void SetState(RunState state);
    void Tell(RunEvent event);
    void EndPlayback();
    bool StartSound(const std::string& wavPath);

    RecordingServices m_services;
    std::vector<RunObserver*> m_observers;
    RunState m_state = RunState::Idle;
    PlaybackSetup m_setup;
    SoundCapture m_capture;
    bool m_withSound = false;                  // the last recording's sound capture started
    std::unique_ptr<FrameRecorder> m_recorder; // one per playback; outlives its player thread
    std::unique_ptr<PlayerThread> m_player;
};

} // namespace kinovex
