// The race window's figures, offscreen, over tiles served on loopback, for a race of 100
// birds each with a full 2048-record archive:
//  - one replay frame of the map at 1000 x 700 with every tile in the memory cache, the
//    replay time moving on a minute each frame (median and 99th percentile; goal: median
//    under 16 ms), and the same while the map follows the leading bird (the view moves
//    every frame, so the tracks are drawn anew each time);
//  - opening the race file's window until it is drawn, map tiles complete (warm disk
//    cache; goal under 500 ms).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <algorithm>
#include <functional>

#include "race/judgement.h"
#include "race/replay.h"
#include "raceview/race_map.h"
#include "raceview/race_window.h"
#include "support/tile_server.h"

#include "bench/race_on_disk.h"
#include "bench/qt_bench_app.h"

namespace wing {
namespace {

void EnsureApp() { bench::EnsureApp("race_window_bench"); }

using bench::Pump;

double Percentile(std::vector<double> v, double share) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(share * static_cast<double>(v.size())))];
}

Config LoopbackConfig(const test::TileServer& server) {
    Config config;
    config.map.tileUrl = server.UrlTemplate().toStdString();
    config.map.offline = 0;
    return config;
}

const RaceOnDisk& Disk() {
    static const RaceOnDisk disk;
    return disk;
}

void ReplayFrames(benchmark::State& state, bool follow) {
    EnsureApp();
    test::TileServer server;
    server.delayMs = 0;
    const RaceOnDisk& disk = Disk();
    // The window's own map, as the replay drives it.
    RaceWindow window(disk.race, disk.folder, LoopbackConfig(server), 1033);
    RaceMap& map = window.Map();
    map.setParent(nullptr);
    map.resize(1000, 700);
    map.show();
    map.FitToRace();
    map.SetFollowLeader(follow);
    window.SetReplayTime(window.Replay().Start() + 3600);
    map.grab();
    if (!Pump([&] { return map.Complete(); })) state.SkipWithError("the tiles did not come");
    if (follow) {  // the tiles along the way, so every frame has them in memory
        for (double t = window.Replay().Start(); t < window.Replay().End(); t += 600) {
            map.SetReplayTime(t);
            map.grab();
            Pump([&] { return map.Complete(); });
        }
    }
    QImage frame(1000, 700, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ms;
    double t = window.Replay().Start() + 3600;
    for (auto _ : state) {
        t += 60;
        if (t > window.Replay().End()) t = window.Replay().Start();
        QElapsedTimer timer;
        timer.start();
        map.SetReplayTime(t);
        map.render(&frame);
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    state.counters["median_ms"] = Percentile(ms, 0.5);
    state.counters["p99_ms"] = Percentile(ms, 0.99);
    state.counters["birds"] = static_cast<double>(window.Replay().BirdCount());
    map.setParent(&window);
}

void BM_ReplayFrame100Birds1000x700(benchmark::State& state) { ReplayFrames(state, false); }
BENCHMARK(BM_ReplayFrame100Birds1000x700)->Iterations(600)->Unit(benchmark::kMillisecond);

void BM_ReplayFrameFollowingLeader(benchmark::State& state) { ReplayFrames(state, true); }
BENCHMARK(BM_ReplayFrameFollowingLeader)->Iterations(300)->Unit(benchmark::kMillisecond);

void BM_OpenRace100Archives(benchmark::State& state) {
    EnsureApp();
    test::TileServer server;
    server.delayMs = 0;
    const RaceOnDisk& disk = Disk();
    const Config config = LoopbackConfig(server);
    auto open = [&] {
        RaceWindow window(disk.race, disk.folder, config, 1033);
        window.resize(1400, 850);
        window.show();
        const bool complete = Pump([&] { return window.Map().Complete(); });
        window.grab();
        return complete;
    };
    open();  // warms the disk cache
    std::vector<double> ms;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (!open()) state.SkipWithError("the map was not completed");
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    state.counters["median_ms"] = Percentile(ms, 0.5);
}
BENCHMARK(BM_OpenRace100Archives)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wing
