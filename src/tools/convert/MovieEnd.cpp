#include "tools/convert/MovieEnd.h"

#include <algorithm>
#include <cstring>

namespace kinovex::cli {

MovieEnd::MovieEnd(std::uint32_t framesPerSecond) : m_second(std::max(1u, framesPerSecond)) {}

MovieEnd::Verdict MovieEnd::frame(bool settled, std::uint64_t picture) {
    if (!settled) {
        m_resting = false;
        m_stillFrames = 0;
        m_restPictures.clear();
        return Verdict::Go;
    }
    if (!m_resting) {
        m_resting = true;
        m_restPictures.insert(picture);
        m_stillFrames = 1;
    } else if (picture == m_lastPicture) {
        ++m_stillFrames;
    } else if (!m_restPictures.insert(picture).second) {
        return Verdict::EndBefore; // back to a picture of this rest: the loop went round
    } else {
        m_stillFrames = 1;
    }
    m_lastPicture = picture;
    return m_stillFrames >= m_second ? Verdict::EndAfter : Verdict::Go;
}

std::uint64_t pictureHash(std::span<const std::uint8_t> bytes) {
    // FNV-1a over 8-byte words in four interleaved lanes, so the multiplies of one lane wait
    // for nothing of the others; then the lanes, and the bytes left over.
    constexpr std::uint64_t kPrime = 0x100000001b3ull;
    constexpr std::uint64_t kBasis = 0xcbf29ce484222325ull;
    std::uint64_t lanes[4] = {kBasis, kBasis ^ 1, kBasis ^ 2, kBasis ^ 3};
    std::size_t i = 0;
    for (; i + 32 <= bytes.size(); i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + i + 8 * lane, 8);
            lanes[lane] = (lanes[lane] ^ word) * kPrime;
        }
    }
    std::uint64_t h = kBasis;
    for (const std::uint64_t lane : lanes) {
        h = (h ^ lane) * kPrime;
    }
    for (; i < bytes.size(); ++i) {
        h = (h ^ bytes[i]) * kPrime;
    }
    return h ^ bytes.size();
}

} // namespace kinovex::cli
