#pragma once
// The ActionScript 3 parts of a movie: its bytecode blocks (DoABC and DoABC2 tags), each read
// and verified before it is kept, and the table that binds characters to classes
// (SymbolClass).

#include "engine/abc/AbcFile.h"
#include "engine/abc/Verifier.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kinovex::flash {

enum AbcBlockFlags : std::uint32_t {
    AbcBlockLazyInitialize = 0x1, // run its scripts when first needed, not when loaded
};

struct AbcBlock {
    std::uint32_t frame = 0; // of the main timeline, 0-based: the frame whose tags held it
    std::uint32_t flags = 0; // AbcBlockFlags (DoABC2 only)
    std::string name;        // DoABC2 only
    std::shared_ptr<const abc::AbcFile> file;
    // The method bodies the verifier refused: calling their methods fails, the rest run.
    std::vector<abc::VerifyError> refusedBodies;
};

struct SymbolClass {
    std::uint16_t characterId = 0; // 0: the main timeline
    std::string className;
};

// DefineSceneAndFrameLabelData: the main timeline's scenes and its labels as ActionScript 3
// sees them, both in the order the tag gives them (frames 0-based).
struct SceneDef {
    std::uint32_t start = 0;
    std::string name;
};
struct FrameLabelDef {
    std::uint32_t frame = 0;
    std::string name;
};
struct SceneData {
    std::vector<SceneDef> scenes;
    std::vector<FrameLabelDef> labels;
};

// Reads a DoABC (`withHeader` false) or DoABC2 body and verifies every method body. False with
// `problem` set when the tag or its bytecode cannot be read; the block must then be left out.
// When only some bodies are refused it is kept, and `problem` says how many and the first.
bool parseAbcBlock(std::span<const std::uint8_t> body, bool withHeader, AbcBlock& out,
                   std::string& problem);
// Appends the pairs of a SymbolClass body; false when it is cut short (the pairs read before
// the damage are kept).
bool parseSymbolClasses(std::span<const std::uint8_t> body, std::vector<SymbolClass>& out);
// Reads a DefineSceneAndFrameLabelData body; false, with `out` left empty, when it is cut short.
bool parseSceneData(std::span<const std::uint8_t> body, SceneData& out);

} // namespace kinovex::flash
