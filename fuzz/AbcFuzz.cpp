// libFuzzer target: any bytes as a block of ActionScript 3 bytecode, read and, when it reads,
// every method body verified and the block's entry script run on the ActionScript 3 machine
// (the bodies the verifier refused fail when called), under a small instruction budget. The
// same bytes are also decoded as one body's code. Nothing may crash, hang, or allocate beyond
// what the input's size allows.

#include "engine/abc/AbcReader.h"
#include "engine/abc/Instruction.h"
#include "engine/abc/Verifier.h"
#include "engine/avm2/Machine.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

constexpr std::uint64_t kBudget = 20000;

void runEntryScript(const kinovex::flash::abc::AbcFile& file,
                    const kinovex::flash::abc::VerifyReport& report) {
    using namespace kinovex::flash::avm2;
    std::vector<std::uint32_t> refused;
    for (const auto& e : report.refused) {
        refused.push_back(e.method);
    }
    Machine vm;
    vm.setInstructionBudget(kBudget);
    vm.refillBudget();
    try {
        vm.loadAbc(file, refused);
        vm.runPendingScripts();
    } catch (const ScriptException&) {
    } catch (const BudgetExhausted&) {
    }
    vm.collectGarbage();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kinovex::flash::abc;
    const std::span<const std::uint8_t> bytes(data, size);
    AbcFile file;
    if (!readAbc(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), file)) {
        const VerifyReport report = verifyFile(file);
        runEntryScript(file, report);
    }
    DecodedCode code;
    (void)decodeCode(bytes, code);
    return 0;
}
