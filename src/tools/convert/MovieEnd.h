#pragma once
// Where a conversion of open length ends, judged frame by frame on what goes out. Once the
// movie has come to rest (FrameStepper::settled), it ends when its picture has stood still for
// a second (that second is kept), or when the picture comes back round to one it showed since
// it came to rest (a clip looping as decoration: one round of it is kept, whatever picture of
// the round the rest began on).

#include <cstdint>
#include <span>
#include <unordered_set>

namespace kinovex::cli {

class MovieEnd {
public:
    enum class Verdict {
        Go,        // write the frame and go on
        EndAfter,  // write the frame: it is the last
        EndBefore, // the conversion ended with the frame before
    };

    // `framesPerSecond`: output frames in a second (at least 1).
    explicit MovieEnd(std::uint32_t framesPerSecond);

    // The next output frame: whether the movie was at rest on it, and its picture's hash.
    Verdict frame(bool settled, std::uint64_t pictureHash);

private:
    std::uint32_t m_second;
    bool m_resting = false;
    std::unordered_set<std::uint64_t> m_restPictures; // the pictures shown since it came to rest
    std::uint64_t m_lastPicture = 0;
    std::uint32_t m_stillFrames = 0; // frames at rest showing the last picture, this one too
};

// A hash of a frame's bytes, for telling pictures apart.
std::uint64_t pictureHash(std::span<const std::uint8_t> bytes);

} // namespace kinovex::cli
