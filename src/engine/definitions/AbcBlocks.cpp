#include "engine/definitions/AbcBlocks.h"

#include "engine/abc/AbcReader.h"
#include "engine/abc/Verifier.h"
#include "engine/swf/BitReader.h"

namespace kinovex::flash {

bool parseAbcBlock(std::span<const std::uint8_t> body, bool withHeader, AbcBlock& out,
                   std::string& problem) {
    BitReader r(body);
    if (withHeader) {
        out.flags = r.u32();
        out.name = r.string();
        if (r.failed()) {
            problem = "ActionScript 3 block refused: its header is cut short";
            return false;
        }
    }
    const auto code = r.rest();
    auto file = std::make_shared<abc::AbcFile>();
    const std::string label =
        "ActionScript 3 block" + (out.name.empty() ? std::string() : " \"" + out.name + "\"");
    if (auto error = abc::readAbc(std::vector<std::uint8_t>(code.begin(), code.end()), *file)) {
        problem = label + " refused: " + error->text();
        return false;
    }
    abc::VerifyReport report = abc::verifyFile(*file);
    if (!report.refused.empty()) {
        problem = label + ": the verifier refused " + std::to_string(report.refused.size()) +
                  " of " + std::to_string(report.bodies) +
                  " method bodies, the first: " + report.refused.front().text();
    }
    out.refusedBodies = std::move(report.refused);
    out.file = std::move(file);
    return true;
}

bool parseSymbolClasses(std::span<const std::uint8_t> body, std::vector<SymbolClass>& out) {
    BitReader r(body);
    const std::uint16_t count = r.u16();
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        SymbolClass symbol;
        symbol.characterId = r.u16();
        symbol.className = r.string();
        if (r.ok()) {
            out.push_back(std::move(symbol));
        }
    }
    return r.ok();
}

} // namespace kinovex::flash
