// The ActionScript 3 interpreter on a loop of one million simple instructions (goal: 0.3 s or
// less): `for (i = 0; i < n; i++) sum += i` in int locals, 8 instructions a round.

#include "AbcBuilder.h"
#include "engine/abc/AbcReader.h"
#include "engine/avm2/Machine.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kinovex;

constexpr int kRounds = 125000; // 8 instructions a round: 1 million

std::vector<std::uint8_t> loopBlock(int rounds) {
    test::AbcBuilder abc;
    const auto limit = abc.addInt(rounds);
    // 0: pushbyte 0, setlocal1, pushbyte 0, setlocal2, jump cond
    // top: label, getlocal2, getlocal1, add_i, setlocal2, inclocal_i 1
    // cond: getlocal1, pushint n, iflt top; returnvoid
    test::AbcBytes code;
    code.u8(0x24).u8(0).u8(0xD5).u8(0x24).u8(0).u8(0xD6).u8(0x10).s24(7);
    const auto top = static_cast<std::int32_t>(code.size());
    code.u8(0x09).u8(0xD2).u8(0xD1).u8(0xC5).u8(0xD6).u8(0xC2).u30(1);
    code.u8(0xD1).u8(0x2D).u30(limit).u8(0x15);
    code.s24(top - static_cast<std::int32_t>(code.size() + 3));
    code.u8(0x47);
    const auto method = abc.addMethod({});
    abc.addBody({.method = method, .maxStack = 3, .localCount = 3, .code = code.data()});
    abc.addScript(method);
    return abc.bytes();
}

void BM_Avm2IntLoop(benchmark::State& state) {
    flash::abc::AbcFile file;
    if (flash::abc::readAbc(loopBlock(kRounds), file)) {
        state.SkipWithError("the block does not read");
        return;
    }
    for (auto _ : state) {
        flash::avm2::Machine vm;
        vm.loadAbc(file, {});
        vm.runPendingScripts();
    }
}
BENCHMARK(BM_Avm2IntLoop)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
