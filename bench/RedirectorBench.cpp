// The console redirector: how fast it moves a child's output, and how soon a run is over after
// the child ends or a stop is asked for.

#include "core/convert/CConsoleRedirector.h"

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

class CCountingRedirector : public kinovex::CConsoleRedirector {
public:
    ~CCountingRedirector() override { StopRedirect(); }
    std::atomic<std::size_t> bytes{0};

protected:
    void OnOutputText(std::string_view text) override { bytes += text.size(); }
    void OnErrorText(std::string_view) override {}
};

void RunToEnd(CCountingRedirector& redirector, const std::string& command) {
    redirector.StartRedirect(command);
    if (auto thread = redirector.ReaderThread())
        thread->Wait();
}

// Output throughput: 255-byte reads, one look at the pipe every poll interval.
void BM_ReadOutput(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        CCountingRedirector redirector;
        RunToEnd(redirector, "head -c " + std::to_string(size) + " /dev/zero");
        benchmark::DoNotOptimize(redirector.bytes.load());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_ReadOutput)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

// A child that ends at once: start to the end of the reader thread.
void BM_ChildEndsRunEnds(benchmark::State& state) {
    for (auto _ : state) {
        CCountingRedirector redirector;
        RunToEnd(redirector, "true");
    }
}
BENCHMARK(BM_ChildEndsRunEnds)->Unit(benchmark::kMillisecond)->UseRealTime();

// A child that runs on: the cost of a cancel (stop event, kill of the group, collection).
void BM_StopARunningChild(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        CCountingRedirector redirector;
        redirector.StartRedirect("sleep 1000");
        state.ResumeTiming();
        redirector.StopRedirect();
    }
}
BENCHMARK(BM_StopARunningChild)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
