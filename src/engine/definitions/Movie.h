#pragma once
// A loaded movie: its header values, the character dictionary and the main timeline.

#include "engine/definitions/AbcBlocks.h"
#include "engine/definitions/Characters.h"
#include "engine/swf/Log.h"
#include "engine/swf/SwfFile.h"
#include "engine/swf/Tags.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kinovex::flash {

class Movie {
public:
    // Reads the whole movie. Malformed tags are reported to `log` and left out; only a file
    // that is not a movie at all fails.
    SwfOpenResult load(std::span<const std::uint8_t> fileBytes, Log& log);
    // The same with the file's bytes given up, so that they are not held beside the movie's
    // body while it is read (see openSwf).
    SwfOpenResult load(std::vector<std::uint8_t>&& fileBytes, Log& log);

    const Character* character(std::uint16_t id) const;
    template <typename T> const T* characterAs(std::uint16_t id, Character::Kind kind) const {
        const Character* c = character(id);
        return c != nullptr && c->kind == kind ? static_cast<const T*>(c) : nullptr;
    }

    std::uint8_t version() const { return m_file.version; }
    const Rect& frameSize() const { return m_file.frameSize; }
    std::uint16_t frameRate256() const { return m_file.frameRate256; }
    std::uint32_t declaredLength() const { return m_file.declaredLength; }
    std::size_t fileLength() const { return m_file.fileLength; }
    const TimelineDef& timeline() const { return m_root; }
    Rgba background() const { return m_background; }
    std::size_t characterCount() const { return m_dictionary.size(); }
    // ExportAssets: the character a linkage name stands for (0: none; matched in any case when
    // no exact match exists), and the name a character is exported under ("" when none).
    std::uint16_t exportedId(std::string_view name) const;
    std::string exportName(std::uint16_t id) const;
    // FileAttributes says the movie's scripts are ActionScript 3.
    bool isActionScript3() const { return m_actionScript3; }
    // The movie's ActionScript 3 blocks in the order they stand, damaged ones left out.
    const std::vector<AbcBlock>& abcBlocks() const { return m_abcBlocks; }
    // The classes SymbolClass tags bind to characters, in the order they stand.
    const std::vector<SymbolClass>& symbolClasses() const { return m_symbolClasses; }
    // The main timeline's scenes and labels (both empty when the movie has no such tag).
    const SceneData& sceneData() const { return m_sceneData; }
    // DefineSound tags, for the mixer; moved out once it has them.
    std::vector<SoundDefinition>& sounds() { return m_sounds; }

private:
    void readBody(Log& log);
    void readTimeline(std::span<const std::uint8_t> data, std::size_t baseOffset,
                      std::uint32_t declaredFrames, TimelineDef& timeline, bool isRoot, Log& log);
    bool readDefinition(const Tag& tag, Log& log);
    // FileAttributes, DoABC, DoABC2 and SymbolClass (AbcTags.cpp); false when malformed.
    bool readScriptTag(const Tag& tag, Log& log);
    void define(std::unique_ptr<Character> c, std::size_t offset, int code, Log& log);

    SwfFile m_file;
    TimelineDef m_root;
    Rgba m_background{255, 255, 255, 255};
    bool m_haveBackground = false;
    std::vector<std::uint8_t> m_jpegTables;
    std::unordered_map<std::uint16_t, std::unique_ptr<Character>> m_dictionary;
    std::vector<SoundDefinition> m_sounds;
    std::unordered_map<std::string, std::uint16_t> m_exports;
    std::unordered_map<std::uint16_t, std::string> m_exportNames;
    bool m_actionScript3 = false;
    std::vector<AbcBlock> m_abcBlocks;
    std::vector<SymbolClass> m_symbolClasses;
    SceneData m_sceneData;
};

} // namespace kinovex::flash
