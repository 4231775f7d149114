// A movie whose script clears and redraws 2000 line segments and a filled curve every frame
// (graphs, particle trails, drawn games do this): one frame advanced and drawn at 550 x 400.
// The count of drawings the renderer keeps is reported: it must stay at one however many frames
// run.

#include "Actions.h"
#include "SwfWriter.h"
#include "engine/Player.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

using namespace kinovex;
using namespace kinovex::swf;

// this.method(args...), result dropped; arguments given first to last.
void run(Actions& a, const std::string& method, const std::vector<PushValue>& args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        a.push(*it);
    }
    a.push(Int{static_cast<int>(args.size())}).getVar("this").push(method).op(op::CallMethod);
    a.op(op::Pop);
}

std::vector<std::uint8_t> redrawingMovie() {
    Actions body;
    body.push("n").getVar("n").op(op::Increment).op(op::SetVariable);
    run(body, "clear", {});
    run(body, "beginFill", {255.0, 50.0});
    run(body, "moveTo", {0.0, 400.0});
    run(body, "curveTo", {275.0, 0.0, 550.0, 400.0});
    run(body, "endFill", {});
    run(body, "lineStyle", {1.0, 0.0, 100.0});
    run(body, "moveTo", {0.0, 200.0});
    body.push("i").push(0.0).op(op::SetVariable);
    body.label("loop");
    // lineTo(i * 0.275, 200 + ((i * 7 + n) % 150))
    body.getVar("i").push(7.0).op(op::Multiply).getVar("n").op(op::Add2).push(150.0);
    body.op(op::Modulo).push(200.0).op(op::Add2);
    body.getVar("i").push(0.275).op(op::Multiply);
    body.push(Int{2}).getVar("this").push("lineTo").op(op::CallMethod).op(op::Pop);
    body.push("i").getVar("i").op(op::Increment).op(op::SetVariable);
    body.getVar("i").push(2000.0).op(op::Less2).ifTrue("loop");
    Actions a;
    a.push("n").push(0.0).op(op::SetVariable);
    a.getVar("this").push("onEnterFrame");
    a.defineFunction("", {}, body);
    a.op(op::SetMember);
    SwfWriter movie(550, 400, 24);
    movie.setBackground(Rgb(0xFFFFFF));
    movie.rawTag(12, a.bytes());
    movie.showFrame();
    return movie.finish();
}

void BM_RedrawEveryFrame(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = redrawingMovie();
    flash::Player player;
    if (!player.loadFromMemory(bytes).ok) {
        state.SkipWithError("movie did not load");
        return;
    }
    std::vector<std::uint32_t> pixels(550 * 400);
    for (auto _ : state) {
        player.nextFrame();
        player.draw(pixels.data(), 550, 400, 550 * 4);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["drawingsKept"] = static_cast<double>(player.cachedScriptDrawings());
}
BENCHMARK(BM_RedrawEveryFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
