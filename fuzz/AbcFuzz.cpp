// libFuzzer target: any bytes as a block of ActionScript 3 bytecode, read and, when it reads,
// every method body verified; the same bytes are also decoded as one body's code. Neither may
// crash, hang, or allocate beyond what the input's size allows.

#include "engine/abc/AbcReader.h"
#include "engine/abc/Instruction.h"
#include "engine/abc/Verifier.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kinovex::flash::abc;
    const std::span<const std::uint8_t> bytes(data, size);
    AbcFile file;
    if (!readAbc(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), file)) {
        (void)verifyFile(file);
    }
    DecodedCode code;
    (void)decodeCode(bytes, code);
    return 0;
}
