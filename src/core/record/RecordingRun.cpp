#include "core/record/RecordingRun.h"

#include <algorithm>
#include <filesystem>

namespace kinovex {

RecordingRun::RecordingRun(RecordingServices services)
    : m_services(std::move(services)),
      m_capture(*m_services.captureSystem, *m_services.messageBoxes, m_services.pump.get()) {
    if (!m_services.clock)
        m_services.clock = std::make_shared<SteadyPlayerClock>();
}

RecordingRun::~RecordingRun() {
    m_capture.Stop();
    if (m_recorder)
        m_recorder->End();
    FinishPlayer();
}

void RecordingRun::AddObserver(RunObserver& observer) {
    m_observers.push_back(&observer);
}

void RecordingRun::RemoveObserver(RunObserver& observer) {
    std::erase(m_observers, &observer);
}

void RecordingRun::SetState(RunState state) {
    m_state = state;
    for (RunObserver* observer : std::vector(m_observers))
        observer->OnStateChanged(state);
}

void RecordingRun::Tell(RunEvent event) {
    for (RunObserver* observer : std::vector(m_observers))
        observer->OnRunEvent(event);
}

void RecordingRun::Play(PlaybackSetup setup) {
    if (m_state != RunState::Idle)
        return;
    FinishPlayer();
    m_setup = std::move(setup);
    m_recorder = std::make_unique<FrameRecorder>();
    m_player = std::make_unique<PlayerThread>(m_setup.player, *m_recorder, m_services.clock);
    m_player->Start();
    Tell(RunEvent::PlaybackStarted);
    SetState(RunState::Playing);
}

void RecordingRun::StopPlaying() {
    if (m_state != RunState::Playing && m_state != RunState::Stopping)
        return;
    EndPlayback();
}

void RecordingRun::EndPlayback() {
    if (m_player)
        m_player->RequestStop();
    Tell(RunEvent::PlaybackStopped);
    SetState(RunState::Idle);
}

void RecordingRun::Record() {
    if (m_state != RunState::Playing)
        return;
    SetState(RunState::Recording);
    namespace fs = std::filesystem;
    const std::string& base = m_setup.tempBase;
    std::error_code error;
    // Start-up makes the folder; a program folder tidied up meanwhile gets it back.
    fs::create_directories(fs::path(base).parent_path(), error);
    // The writer makes its file at the first frame: an old recording must not stand in for
    // one that never got a frame.
    fs::remove(base + ".avi", error);
    m_recorder->Begin(MakeAviFrameSink(base + ".avi"));
    m_withSound = StartSound(base + ".wav");
    if (m_player)
        m_player->Wake(); // the first frame now, not at the movie's next one
    Tell(RunEvent::RecordingStarted);
    // A device that could not be opened has shown its own message already.
    if (!m_withSound && m_capture.LastOpenError() != CaptureOpenError::DeviceUnavailable)
        Tell(RunEvent::SoundUnavailable);
}

// Whatever fails, no WAV is left behind: the sound of an earlier take of the movie must never
// be converted with this one's pictures.
bool RecordingRun::StartSound(const std::string& wavPath) {
    std::error_code error;
    std::filesystem::remove(wavPath, error);
    if (m_capture.Open(wavPath) && m_capture.Start() == CaptureError::None)
        return true;
    m_capture.Stop();
    std::filesystem::remove(wavPath, error);
    return false;
}

void RecordingRun::StopRecording() {
    if (m_state != RunState::Recording)
        return;
    SetState(RunState::Stopping);
    m_recorder->End();
    // The window goes on handling its events while the capture ends: Play may end the
    // playback meanwhile.
    m_capture.Stop();
    if (m_player)
        m_player->Wake();
    Tell(RunEvent::RecordingStopped);
    if (m_state == RunState::Stopping)
        EndPlayback();
    // The window is idle before the conversion starts.
    Tell(RunEvent::ConversionStarting);
    if (m_services.encoder)
        m_services.encoder->Convert({m_setup.profile, m_setup.movieName, m_setup.tempBase,
                                     m_recorder->Elapsed(), m_withSound});
}

void RecordingRun::FinishPlayer() {
    if (!m_player)
        return;
    if (!m_player->HasEnded())
        m_player->RequestStop();
    m_player->Join();
    m_player.reset();
}

} // namespace kinovex
