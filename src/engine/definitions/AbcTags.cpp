// The tags of a movie's ActionScript 3 side, read on the main timeline.

#include "engine/definitions/Movie.h"

#include "engine/swf/BitReader.h"

namespace kinovex::flash {

namespace {

// FileAttributes, first byte: the movie's scripts are ActionScript 3.
constexpr std::uint8_t kFileAttributesActionScript3 = 0x08;

} // namespace

bool parseSceneData(std::span<const std::uint8_t> body, SceneData& out) {
    BitReader r(body);
    SceneData data;
    const std::uint32_t scenes = r.encodedU32();
    for (std::uint32_t i = 0; i < scenes && r.ok(); ++i) {
        SceneDef scene;
        scene.start = r.encodedU32();
        scene.name = r.string();
        data.scenes.push_back(std::move(scene));
    }
    const std::uint32_t labels = r.ok() ? r.encodedU32() : 0;
    for (std::uint32_t i = 0; i < labels && r.ok(); ++i) {
        FrameLabelDef label;
        label.frame = r.encodedU32();
        label.name = r.string();
        data.labels.push_back(std::move(label));
    }
    if (!r.ok()) {
        return false;
    }
    out = std::move(data);
    return true;
}

bool Movie::readScriptTag(const Tag& tag, Log& log) {
    switch (tag.code) {
    case TagFileAttributes: {
        BitReader r(tag.body);
        const std::uint8_t flags = r.u8();
        m_actionScript3 = r.ok() && (flags & kFileAttributesActionScript3) != 0;
        return r.ok();
    }
    case TagDoAbc:
    case TagDoAbc2: {
        AbcBlock block;
        // Read while the frame's tags are being read: the block belongs to that frame.
        block.frame = static_cast<std::uint32_t>(m_root.frames.size() - 1);
        std::string problem;
        if (parseAbcBlock(tag.body, tag.code == TagDoAbc2, block, problem)) {
            m_abcBlocks.push_back(std::move(block));
        }
        // Said once here: the movie plays on without the block, or without the methods the
        // verifier refused.
        if (!problem.empty()) {
            log.report(tag.code, tag.offset, problem);
        }
        return true;
    }
    case TagSymbolClass:
        return parseSymbolClasses(tag.body, m_symbolClasses);
    case TagDefineSceneAndFrameLabelData:
        return parseSceneData(tag.body, m_sceneData);
    default:
        return true; // not a tag of ours: skipped by its length
    }
}

} // namespace kinovex::flash
