#pragma once
// Problems found while reading or playing a movie. The engine never stops for them; it records
// them here so the host can show or log them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kinovex::flash {

struct Diagnostic {
    int tagCode = -1;       // -1 when the problem is not about one tag
    std::size_t offset = 0; // byte offset of the tag header in the uncompressed movie
    std::string message;

    std::string text() const;
};

class Log {
public:
    using Sink = std::function<void(const Diagnostic&)>;

    // A damaged movie can hold thousands of bad tags; only the first ones are kept.
    static constexpr std::size_t kMaxEntries = 256;

    void setSink(Sink sink) { m_sink = std::move(sink); }
    void report(int tagCode, std::size_t offset, std::string message);
    const std::vector<Diagnostic>& entries() const { return m_entries; }
    std::size_t count() const { return m_count; }
    void clear() {
        m_entries.clear();
        m_count = 0;
    }

private:
    Sink m_sink;
    std::vector<Diagnostic> m_entries;
    std::size_t m_count = 0;
};

} // namespace kinovex::flash
