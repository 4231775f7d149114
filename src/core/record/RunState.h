#pragma once
// The states of a play-record-convert run and the commands each one allows.

namespace kinovex {

enum class RunState {
    Idle,      // nothing plays
    Playing,   // a movie plays
    Recording, // a movie plays and is recorded
    Stopping,  // the recording has ended and playback is ending before the conversion
};

// The commands of the command bar.
enum class RunCommand { Browse, Play, Record, PlayAndRecord, Options };

// Whether `state` allows `command`: the command bar enables exactly these buttons. Play stops
// a playback that runs and Record stops a recording that runs.
bool RunAllows(RunState state, RunCommand command);

} // namespace kinovex
