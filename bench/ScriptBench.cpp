// The script interpreter on a loop of one million simple actions (goal: 0.3 s or less), alone
// and as a frame script run by the player.
// registerLoop counts in a register; variableLoop counts in a timeline variable, which is how
// scripts written for version 4 and 5 players loop.

#include "Actions.h"
#include "SwfWriter.h"
#include "engine/Player.h"
#include "engine/avm1/Vm.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kinovex;
using namespace kinovex::swf;

class QuietHost : public flash::avm1::ScriptHost {
public:
    flash::avm1::ClipId rootClip() override { return 1; }
    flash::avm1::ClipId parentClip(flash::avm1::ClipId) override { return 0; }
    flash::avm1::ClipId childClip(flash::avm1::ClipId, std::string_view, bool) override {
        return 0;
    }
    bool clipExists(flash::avm1::ClipId c) override { return c == 1; }
    std::string clipName(flash::avm1::ClipId) override { return {}; }
    flash::avm1::Value getClipProperty(flash::avm1::ClipId, flash::avm1::ClipProperty) override {
        return {};
    }
    void setClipProperty(flash::avm1::ClipId, flash::avm1::ClipProperty,
                         const flash::avm1::Value&) override {}
    void gotoFrame(flash::avm1::ClipId, std::uint32_t, bool) override {}
    bool gotoLabel(flash::avm1::ClipId, std::string_view, bool) override { return false; }
    void play(flash::avm1::ClipId) override {}
    void stop(flash::avm1::ClipId) override {}
    void nextFrame(flash::avm1::ClipId) override {}
    void prevFrame(flash::avm1::ClipId) override {}
    void trace(std::string_view) override {}
    void report(std::string_view) override {}
    double timeMs() override { return 0; }
};

// i = 0; do { i = i + 1 } while (i < n): 7 actions a round in registers.
Actions registerLoop(int rounds) {
    Actions a;
    a.push(0.0).storeRegister(1).op(op::Pop);
    a.label("top");
    a.push({Register{1}, 1.0}).op(op::Add2).storeRegister(1).op(op::Pop);
    a.push({Register{1}, static_cast<double>(rounds)}).op(op::Less2).ifTrue("top");
    return a;
}

// The same with a variable: 11 actions a round.
Actions variableLoop(int rounds) {
    Actions a;
    a.setVar("i", 0.0);
    a.label("top");
    a.push("i").getVar("i").push(1.0).op(op::Add2).op(op::SetVariable);
    a.getVar("i").push(static_cast<double>(rounds)).op(op::Less2).ifTrue("top");
    return a;
}

void runLoop(benchmark::State& state, const Actions& code) {
    QuietHost host;
    flash::avm1::Vm vm(host, 7);
    const auto bytes = std::make_shared<const std::vector<std::uint8_t>>(code.bytes());
    std::uint64_t actions = 0;
    for (auto _ : state) {
        const std::uint64_t before = vm.instructionsRun();
        vm.beginFrame();
        vm.runActions(1, bytes);
        actions += vm.instructionsRun() - before;
    }
    state.counters["actions"] =
        benchmark::Counter(static_cast<double>(actions), benchmark::Counter::kIsRate);
    state.counters["actions_per_run"] =
        static_cast<double>(actions) / static_cast<double>(state.iterations());
}

void BM_RegisterLoop(benchmark::State& state) {
    runLoop(state, registerLoop(142857)); // 1 million actions
}
BENCHMARK(BM_RegisterLoop)->Unit(benchmark::kMillisecond);

void BM_VariableLoop(benchmark::State& state) {
    runLoop(state, variableLoop(90909)); // 1 million actions
}
BENCHMARK(BM_VariableLoop)->Unit(benchmark::kMillisecond);

// The variable loop as a movie's frame script, run by the player one frame at a time: the
// interpreter plus what the player adds (the frame walk, the queue, garbage collection).
void BM_PlayerFrameLoop(benchmark::State& state) {
    swf::SwfWriter movie(100, 100, 12);
    const std::vector<std::uint8_t> code = variableLoop(90909).bytes();
    for (int frame = 0; frame < 2; ++frame) {
        movie.rawTag(12, code); // DoAction
        movie.showFrame();
    }
    const std::vector<std::uint8_t> bytes = movie.finish();
    flash::Player player;
    if (!player.loadFromMemory(bytes).ok) {
        state.SkipWithError("the movie does not load");
        return;
    }
    for (auto _ : state) {
        player.nextFrame();
    }
}
BENCHMARK(BM_PlayerFrameLoop)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
