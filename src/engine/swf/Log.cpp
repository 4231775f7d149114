#include "engine/swf/Log.h"

namespace kinovex::flash {

std::string Diagnostic::text() const {
    if (tagCode < 0) {
        return message;
    }
    return "tag " + std::to_string(tagCode) + " at offset " + std::to_string(offset) + ": " +
           message;
}

void Log::report(int tagCode, std::size_t offset, std::string message) {
    ++m_count;
    if (m_entries.size() >= kMaxEntries) {
        return;
    }
    m_entries.push_back(Diagnostic{tagCode, offset, std::move(message)});
    if (m_sink) {
        m_sink(m_entries.back());
    }
}

} // namespace kinovex::flash
