// The simulator's own round trip through a raw pseudo-terminal, next to the time the
// bytes need on a 115200 baud line (10 bits a byte). With pacing on, the ratio shows
// how close the simulator comes to a real line; without it, how little it adds.

#include <benchmark/benchmark.h>

#include <chrono>

#include "logger-sim/logger_sim.h"
#include "logger-sim/pty_client.h"

namespace {

using namespace wing::sim;
using namespace wing::sim::test;

constexpr double kMsPerByte = 10.0 * 1000.0 / 115200.0;

using Clock = std::chrono::steady_clock;

void Report(benchmark::State& state, Clock::time_point started, double wireMs) {
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    state.counters["wire_ms"] = wireMs;
    state.counters["ratio_to_wire"] = ms / static_cast<double>(state.iterations()) / wireMs;
    state.SetLabel(state.range(0) ? "paced" : "unpaced");
}

SimConfig BenchConfig(bool pacing) {
    SimConfig c;
    c.registerPort = false;
    c.pacing = pacing;
    c.flight.slots = kLogCapacity;
    return c;
}

void OneCommand(benchmark::State& state) {
    LoggerSimulator sim(BenchConfig(state.range(0) != 0));
    SimPort port = sim.Start();
    PtyClient client(port.slavePath);
    const Bytes request = Request(1, 1);
    auto started = Clock::now();
    for (auto _ : state) {
        auto reply = client.Ask(request);
        if (!reply) state.SkipWithError("no reply");
    }
    Report(state, started, (26 + 26) * kMsPerByte);
}
BENCHMARK(OneCommand)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

void Download256Pages(benchmark::State& state) {
    LoggerSimulator sim(BenchConfig(state.range(0) != 0));
    SimPort port = sim.Start();
    PtyClient client(port.slavePath);
    std::vector<Bytes> requests;
    for (int page = 0; page < 256; ++page) {
        int first = page * 8;
        requests.push_back(Request(3, 0, {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(first >> 8), 8, 0}));
    }
    auto started = Clock::now();
    for (auto _ : state) {
        for (const auto& r : requests) {
            if (!client.Ask(r)) state.SkipWithError("no reply");
        }
    }
    Report(state, started, 256 * (26 + 154) * kMsPerByte);
}
BENCHMARK(Download256Pages)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
