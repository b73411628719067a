// A full download of 2048 records from the simulated logger through the real task,
// flow and serial channel, paced at the line speed, beside the time its bytes need on
// the wire at 115200 baud, and where each page's time goes: the bytes on the wire, the
// logger's own turnaround, from the reply's last byte until the answer is dispatched (mean
// and 99th percentile), and from the answer to the next request (the task's pause).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "tasks/download_rig.h"

namespace {

constexpr int kRecords = 2048;
constexpr int kPages = kRecords / 8;
// Count request and answer, then per page a 26-byte request and a 154-byte answer.
constexpr double kWireBytes = 26.0 + 26.0 + kPages * (26.0 + 154.0);
constexpr double kWireSeconds = kWireBytes * 10.0 / 115200.0;
constexpr double kByteMs = 10.0 / 115200.0 * 1000.0;
constexpr double kRequestWireMs = 26.0 * kByteMs;
constexpr double kReplyWireMs = 154.0 * kByteMs;

using SteadyClock = std::chrono::steady_clock;

// Mean milliseconds of each stretch of a page, from the simulator's frame log (when a
// request was whole, when the reply started out) and the tool's answer times.
struct PageSplit {
    double logger = 0;     // request whole -> reply starts out
    double polling = 0;    // reply's last byte written -> answer dispatched
    double pollingP99 = 0; //   its 99th percentile over the pages
    double toRequest = 0;  // answer dispatched -> next request's first byte
    int pages = 0;
};

PageSplit SplitPages(const std::vector<wing::sim::FrameLogEntry>& log, SteadyClock::time_point simStart,
                     const std::vector<SteadyClock::time_point>& answers) {
    std::vector<double> requests, replies, lastBytes;
    for (const auto& e : log) {
        if (e.command != 3 || e.sub != 0) continue;  // Read Log only
        (e.fromPc ? requests : replies).push_back(e.seconds * 1000.0);
        // The simulator notes when a reply's last byte went out; the line's time stands
        // in where it did not.
        if (!e.fromPc) lastBytes.push_back(e.sentSeconds >= 0 ? e.sentSeconds * 1000.0 : e.seconds * 1000.0 + kReplyWireMs);
    }
    std::vector<double> answered;
    for (auto t : answers) answered.push_back(std::chrono::duration<double, std::milli>(t - simStart).count());
    PageSplit split;
    std::vector<double> polling;
    std::size_t n = std::min({requests.size(), replies.size(), answered.size()});
    for (std::size_t i = 0; i + 1 < n; ++i) {
        split.logger += replies[i] - requests[i];
        polling.push_back(answered[i] - lastBytes[i]);
        split.polling += polling.back();
        split.toRequest += (requests[i + 1] - kRequestWireMs) - answered[i];
        ++split.pages;
    }
    if (split.pages > 0) {
        std::sort(polling.begin(), polling.end());
        split.pollingP99 = polling[std::min(polling.size() - 1, polling.size() * 99 / 100)];
        split.logger /= split.pages;
        split.polling /= split.pages;
        split.toRequest /= split.pages;
    }
    return split;
}

void BM_Download2048Records(benchmark::State& state) {
    for (auto _ : state) {
        wing::test::DownloadRig rig(wing::test::LogOf(kRecords, /*pacing=*/true));
        std::vector<SteadyClock::time_point> answers;
        answers.reserve(kPages);
        rig.onPage = [&](int) { answers.push_back(SteadyClock::now()); };
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
        PageSplit split = SplitPages(rig.simulator.FrameLog(), rig.simulator.StartedAt(), answers);
        state.counters["page_ms"] = seconds * 1000.0 / kPages;
        state.counters["wire_page_ms"] = kRequestWireMs + kReplyWireMs;
        state.counters["logger_page_ms"] = split.logger;
        state.counters["polling_page_ms"] = split.polling;
        state.counters["polling_p99_ms"] = split.pollingP99;
        state.counters["to_request_page_ms"] = split.toRequest;
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
