// A full download of 2048 records from the simulated logger through the real task,
// flow and serial channel, paced at the line speed, beside the time its bytes need on
// the wire at 115200 baud.

#include <benchmark/benchmark.h>

#include <chrono>

#include "tasks/download_rig.h"

namespace {

constexpr int kRecords = 2048;
constexpr int kPages = kRecords / 8;
// Count request and answer, then per page a 26-byte request and a 154-byte answer.
constexpr double kWireBytes = 26.0 + 26.0 + kPages * (26.0 + 154.0);
constexpr double kWireSeconds = kWireBytes * 10.0 / 115200.0;

void BM_Download2048Records(benchmark::State& state) {
    for (auto _ : state) {
        wing::test::DownloadRig rig(wing::test::LogOf(kRecords, /*pacing=*/true));
        if (!rig.Open()) {
            state.SkipWithError("the simulator's port did not open");
            return;
        }
        auto t0 = std::chrono::steady_clock::now();
        rig.RunToEnd();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(seconds);
        if (rig.pages.size() != static_cast<std::size_t>(kPages)) {
            state.SkipWithError("the download did not complete");
            return;
        }
        state.counters["seconds"] = seconds;
        state.counters["pages_per_s"] = kPages / seconds;
        state.counters["wire_s"] = kWireSeconds;
        state.counters["x_wire"] = seconds / kWireSeconds;
    }
}
BENCHMARK(BM_Download2048Records)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);

// One Query Status round trip through the channel, paced.
void BM_OneCommandRoundTrip(benchmark::State& state) {
    wing::test::DownloadRig rig(wing::test::LogOf(8, /*pacing=*/true));
    if (!rig.Open()) {
        state.SkipWithError("the simulator's port did not open");
        return;
    }
    wing::CQueryStatus status;
    for (auto _ : state) {
        rig.registry.Register(&status);
        std::uint16_t length = 0;
        const std::uint8_t* frame = rig.factory.BuildFrame(&status, length);
        if (!rig.channel.SendAndWait(frame, length, &status)) state.SkipWithError("no answer");
    }
    state.counters["wire_ms"] = 52.0 * 10.0 / 115200.0 * 1000.0;
}
BENCHMARK(BM_OneCommandRoundTrip)->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
