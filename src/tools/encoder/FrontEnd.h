#pragma once
// The encoder front-end: the legacy encoder command in, today's ffmpeg run behind it.

namespace kinovex {

// Finds the real encoder, adapts the arguments, runs it and streams its diagnostics to standard
// error with every status update's time in seconds. Returns the process exit status: the real
// encoder's, or 127 when there is none to run.
int RunEncoderFrontEnd(int argc, char** argv);

} // namespace kinovex
