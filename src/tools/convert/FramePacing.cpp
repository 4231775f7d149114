#include "tools/convert/FramePacing.h"

#include <algorithm>

namespace kinovex::cli {

std::uint64_t millisecondsAt(const Rational& rate, std::uint64_t n) {
    const auto num = static_cast<std::uint64_t>(rate.num);
    const auto den = static_cast<std::uint64_t>(rate.den);
    return (n * 1000 * den + num - 1) / num;
}

std::uint64_t samplesThrough(const Rational& rate, std::uint64_t frames) {
    return frames * kSoundRate * static_cast<std::uint64_t>(rate.den) /
           static_cast<std::uint64_t>(rate.num);
}

std::vector<std::int16_t> SoundAligner::frame(std::uint64_t frames,
                                              std::span<const std::int16_t> made) {
    m_waiting.insert(m_waiting.end(), made.begin(), made.end());
    const std::uint64_t allowed = samplesThrough(m_rate, frames) - m_written;
    const std::size_t take = static_cast<std::size_t>(
        std::min<std::uint64_t>(allowed * 2, m_waiting.size() & ~std::size_t{1}));
    std::vector<std::int16_t> out(m_waiting.begin(),
                                  m_waiting.begin() + static_cast<std::ptrdiff_t>(take));
    m_waiting.erase(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(take));
    m_written += take / 2;
    return out;
}

std::vector<std::int16_t> SoundAligner::finish(std::uint64_t frames) {
    std::vector<std::int16_t> out = frame(frames, {});
    const std::uint64_t total = samplesThrough(m_rate, frames);
    if (total > m_written) {
        out.resize(out.size() + static_cast<std::size_t>(total - m_written) * 2, 0);
        m_written = total;
    }
    m_waiting.clear();
    return out;
}

} // namespace kinovex::cli
