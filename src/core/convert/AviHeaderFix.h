#pragma once
// Marking an AVI file's video as "MP43", the four-character code that Windows players look
// for to pick their MPEG-4 version 3 decoder.

#include <string>

namespace kinovex {

enum class AviHeaderFix {
    Patched,    // "MP43" written as the stream handler and the compression code
    NotAvi,     // not an AVI with the standard header layout: left untouched
    CannotOpen, // missing, unreadable or not writable
};

// Writes "MP43" at byte offsets 112 (the video stream header's handler) and 188 (the video
// format's compression code) of the file at `path`, in place. Only a RIFF AVI file whose first
// stream is a video stream at the standard offsets is changed: the same bytes in any other
// file would be someone else's data.
AviHeaderFix FixMsmpeg4Header(const std::string& path);

} // namespace kinovex
