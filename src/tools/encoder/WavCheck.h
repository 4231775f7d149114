#pragma once
// Whether a recording's sound file holds anything to encode.

#include <string>

namespace kinovex {

// True when `path` is a RIFF/WAVE file with at least one byte after its "data" chunk header.
// The chunk sizes in the headers are not trusted for this: a recording that ended before its
// sizes were filled in has zeros there but its samples are still in the file. A missing file,
// one that cannot be read, one that is not a WAV and one whose data chunk is empty or absent
// hold no samples.
bool WavHoldsSamples(const std::string& path);

} // namespace kinovex
