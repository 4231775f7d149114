#pragma once
// The movie the desktop road tests record, and what its converted file must hold.

#include <QString>

#include <filesystem>

namespace kinovex::test {

// 320 x 240 at 12 frames a second on a green stage: a red square sliding right and a blue one
// sliding down, 48 frames in a loop, and a 1 kHz tone that loops for as long as it plays.
void WriteShapesAndToneMovie(const std::filesystem::path& path);

// The converted file (the handheld profile, 368 x 208): a frame from its middle is mostly the
// stage's green with the two squares in it, and its sound is the tone.
void ExpectShapesAndTone(const QString& output);

} // namespace kinovex::test
