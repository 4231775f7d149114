// Counting the frames of a recorded AVI, also one still being written.
#pragma once

#include <string>

namespace kinovex::test {

// The video chunks ("..dc" and "..db") of the "movi" list in the AVI's bytes, up to the index
// or to the last whole chunk.
int CountAviFrames(const std::string& bytes);

} // namespace kinovex::test
