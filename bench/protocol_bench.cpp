// Request building and the receive path (ring, parser, registry, Read Log decoder) at the
// rates a download needs: at 115200 baud the wire carries about 11.5 KB/s.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/window.h"
#include "protocol/cmd_factory.h"
#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "protocol/receive_ring.h"
#include "fuzz/drivers.h"
#include "support/frames.h"

namespace wing {
namespace {

// Counts answers; the window's own handling is not what is measured here.
class CountingWindow : public IWindow {
public:
    bool Post(unsigned, WPARAM, LPARAM) override {
        ++errors;
        return true;
    }
    LRESULT Send(unsigned, WPARAM, LPARAM) override {
        ++answers;
        return 0;
    }
    bool IsWindow() const override { return true; }

    std::int64_t answers = 0;
    std::int64_t errors = 0;
};

void BM_BuildFrame(benchmark::State& state) {
    wing::fuzz::CommandSet set;
    auto commands = set.All();
    CWingCmdFactory factory;
    std::uint16_t length = 0;
    for (auto _ : state) {
        for (CWingMsg* m : commands) {
            set.rtc.m_time += 1;  // parameters change between requests, as they do in use
            const std::uint8_t* frame = factory.BuildFrame(m, length);
            benchmark::DoNotOptimize(frame);
            benchmark::DoNotOptimize(length);
        }
    }
    std::int64_t frames = state.iterations() * static_cast<std::int64_t>(std::size(commands));
    state.SetItemsProcessed(frames);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildFrame);

// A download's worth of Read Log replies (154 bytes each: 16-byte body, 128-byte page),
// arriving in chunks of state.range(0) bytes. After each chunk the reader thread cuts
// out its frames, and the download task registers the command again for the next page.
void BM_ReceiveReadLogStream(benchmark::State& state) {
    const int chunk = static_cast<int>(state.range(0));
    constexpr int kReplies = 64;
    std::vector<std::uint8_t> stream;
    for (int r = 0; r < kReplies; ++r) {
        std::vector<std::uint8_t> page(128);
        for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(r * 31 + i * 7);
        auto frame = test::DataReply(3, 0, {0}, page);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }

    CountingWindow window;
    CCmdRegistry registry;
    registry.m_window = &window;
    CWingProtocol protocol;
    protocol.m_registry = &registry;
    ReceiveRing ring(&protocol);
    CReadLog read;
    registry.Register(&read);

    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            int n = static_cast<int>(std::min<std::size_t>(chunk, stream.size() - at));
            ring.AppendBytes(stream.data() + at, n);
            while (!ring.IsRingEmpty()) {
                int before = ring.m_read;
                ring.ExtractFrame();
                if (ring.m_current == nullptr) {
                    if (ring.m_read == before) break;  // the rest of the frame is still on its way
                    continue;
                }
                if (ring.m_frameLength > 0 && ring.m_frameLength <= kFrameBufferSize) {
                    ring.m_current->Parse(ring.m_frame, ring.m_frameLength);
                    registry.Register(&read);
                }
            }
        }
    }
    if (window.answers != state.iterations() * kReplies || window.errors != 0) {
        state.SkipWithError("not every reply was answered");
        return;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
    state.SetItemsProcessed(state.iterations() * kReplies);
}
BENCHMARK(BM_ReceiveReadLogStream)->Arg(115)->Arg(256);

}  // namespace
}  // namespace wing
