#include "engine/swf/Tags.h"

#include "engine/swf/BitReader.h"

namespace kinovex::flash {

bool TagReader::next(Tag& tag) {
    if (m_done || m_pos >= m_data.size()) {
        m_done = true;
        return false;
    }
    BitReader r(m_data);
    r.seek(m_pos);
    const std::size_t headerOffset = m_pos;
    const std::uint16_t codeAndLength = r.u16();
    std::size_t length = codeAndLength & 0x3f;
    if (length == 0x3f) {
        length = r.u32();
    }
    const std::uint16_t code = codeAndLength >> 6;
    if (r.failed()) {
        m_log.report(code, m_base + headerOffset, "the tag header is cut off");
        m_done = true;
        return false;
    }
    if (code == TagEnd) {
        m_done = true;
        return false;
    }
    if (length > r.remaining()) {
        m_log.report(code, m_base + headerOffset,
                     "the tag claims " + std::to_string(length) + " bytes but only " +
                         std::to_string(r.remaining()) + " remain");
        m_done = true;
        return false;
    }
    tag.code = code;
    tag.offset = m_base + headerOffset;
    tag.bodyOffset = m_base + r.position();
    tag.body = m_data.subspan(r.position(), length);
    m_pos = r.position() + length;
    return true;
}

} // namespace kinovex::flash
