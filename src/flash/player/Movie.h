#pragma once
// A loaded movie: its header values, the character dictionary and the main timeline.

#include "flash/player/Characters.h"
#include "flash/swf/Log.h"
#include "flash/swf/SwfFile.h"
#include "flash/swf/Tags.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>

namespace kinovex::flash {

class Movie {
public:
    // Reads the whole movie. Malformed tags are reported to `log` and left out; only a file
    // that is not a movie at all fails.
    SwfOpenResult load(std::span<const std::uint8_t> fileBytes, Log& log);

    const Character* character(std::uint16_t id) const;
    template <typename T> const T* characterAs(std::uint16_t id, Character::Kind kind) const {
        const Character* c = character(id);
        return c != nullptr && c->kind == kind ? static_cast<const T*>(c) : nullptr;
    }

    std::uint8_t version() const { return m_file.version; }
    const Rect& frameSize() const { return m_file.frameSize; }
    std::uint16_t frameRate256() const { return m_file.frameRate256; }
    const TimelineDef& timeline() const { return m_root; }
    Rgba background() const { return m_background; }
    std::size_t characterCount() const { return m_dictionary.size(); }
    // DefineSound tags, for the mixer; moved out once it has them.
    std::vector<SoundDefinition>& sounds() { return m_sounds; }

private:
    void readTimeline(std::span<const std::uint8_t> data, std::size_t baseOffset,
                      std::uint32_t declaredFrames, TimelineDef& timeline, bool isRoot, Log& log);
    bool readDefinition(const Tag& tag, Log& log);
    void define(std::unique_ptr<Character> c, std::size_t offset, int code, Log& log);

    SwfFile m_file;
    TimelineDef m_root;
    Rgba m_background{255, 255, 255, 255};
    bool m_haveBackground = false;
    std::vector<std::uint8_t> m_jpegTables;
    std::unordered_map<std::uint16_t, std::unique_ptr<Character>> m_dictionary;
    std::vector<SoundDefinition> m_sounds;
};

} // namespace kinovex::flash
