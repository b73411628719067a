// The map's figures, offscreen, over tiles served on loopback:
//  - redrawing a 1000 x 700 flight map with every tile in the memory cache (median frame);
//  - opening the flight window with a warm disk cache until its map is complete (median);
//  - resident memory after panning across 500 tiles, beside the memory cache's cap.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include <time.h>

#include "flightview/flight_map.h"
#include "flightview/flight_window.h"
#include "flightview/simulated_flight.h"
#include "support/tile_server.h"
#include "bench/qt_bench_app.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

void EnsureApp() { bench::EnsureApp("map_bench"); }

using bench::Pump;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/wing-map-bench-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~Folder() { fs::remove_all(path); }
    fs::path path;
};

TileSourceOptions Loopback(const test::TileServer& server, const fs::path& cache) {
    TileSourceOptions tiles;
    tiles.map.tileUrl = server.UrlTemplate().toStdString();
    tiles.map.offline = 0;
    tiles.cacheFolder = cache;
    return tiles;
}

FlightMapData FlightData(const test::Flight& f) {
    const CLogRecordList records = RecordsOf(f.download);
    FlightInput input;
    input.loft = f.loft;
    return MapDataOf(records, AnalyseFlight(records, input), f.loft);
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double RssMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

void BM_MapRedraw1000x700(benchmark::State& state) {
    EnsureApp();
    test::TileServer server;
    server.delayMs = 0;
    Folder folder;
    FlightMap map(Loopback(server, folder.path), 1033);
    map.resize(1000, 700);
    map.SetData(FlightData(test::SimulatedFlight()));
    map.grab();
    if (!Pump([&] { return map.Complete(); })) state.SkipWithError("the tiles did not come");
    QImage frame(1000, 700, QImage::Format_ARGB32_Premultiplied);
    // Wall time, and the drawing thread's own CPU time (the machine may be shared).
    std::vector<double> ms, cpu;
    for (auto _ : state) {
        QElapsedTimer timer;
        const double cpu0 = ThreadCpuMs();
        timer.start();
        map.render(&frame);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(ThreadCpuMs() - cpu0);
    }
    state.counters["median_ms"] = Median(ms);
    state.counters["median_cpu_ms"] = Median(cpu);
    state.counters["tiles"] = static_cast<double>(map.Viewport().TilesInView(map.Viewport().TileZoom(19), 0).size());
}
BENCHMARK(BM_MapRedraw1000x700)->Iterations(300)->Unit(benchmark::kMillisecond);

void BM_FlightWindowWarmDiskCache(benchmark::State& state) {
    EnsureApp();
    test::TileServer server;
    server.delayMs = 0;
    Folder folder;
    const test::Flight f = test::SimulatedFlight();
    auto open = [&](bool warming) {
        FlightWindow window(f.download, LoftSetting{"Home", f.loft, 100}, 1033, Loopback(server, folder.path));
        window.resize(1300, 800);
        window.show();
        const bool complete = Pump([&] { return window.Map().Complete(); });
        if (warming) {  // the ring around the view too
            const MapViewport& vp = window.Map().Viewport();
            const auto ring = vp.TilesInView(vp.TileZoom(19), 1);
            Pump([&] { return std::all_of(ring.begin(), ring.end(), [&](auto& t) { return window.Map().Source().Settled(t); }); });
        }
        return complete;
    };
    open(true);  // warms the disk cache
    const int served = server.requests;
    std::vector<double> ms;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (!open(false)) state.SkipWithError("the map was not completed");
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    state.counters["median_ms"] = Median(ms);
    state.counters["requests_when_warm"] = server.requests - served;
}
BENCHMARK(BM_FlightWindowWarmDiskCache)->Iterations(15)->Unit(benchmark::kMillisecond);

void BM_RssAfterPanning500Tiles(benchmark::State& state) {
    EnsureApp();
    for (auto _ : state) {
        test::TileServer server;
        server.delayMs = 0;
        Folder folder;
        TileSourceOptions options = Loopback(server, folder.path);
        MapView view(options, 1033);
        view.resize(1000, 700);
        view.SetView({24.15, 120.65}, 13);
        const double before = RssMiB();
        std::set<TileId> seen;
        for (int step = 0; seen.size() < 500 && step < 400; ++step) {
            view.grab();
            Pump([&] { return view.Complete(); });
            const auto& vp = view.Viewport();
            for (const TileId& t : vp.TilesInView(vp.TileZoom(19), 0)) seen.insert(t);
            // East a tile at a time; down a row of views at the end of each stretch.
            const GeoPoint next = view.GeoAt(step % 12 == 11 ? QPointF(500 - 11 * 256, 350 + 700) : QPointF(756, 350));
            view.SetView(next, 13);
        }
        state.counters["tiles_seen"] = static_cast<double>(seen.size());
        state.counters["rss_before_mib"] = before;
        state.counters["rss_after_mib"] = RssMiB();
        state.counters["memory_cache_mib"] = view.Source().MemoryBytes() / 1048576.0;
        state.counters["memory_cap_mib"] = options.memoryBytes / 1048576.0;
        state.counters["served"] = server.requests;
    }
}
BENCHMARK(BM_RssAfterPanning500Tiles)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wing
