// The flight figures of a 2048-record download, the most a long flight fills: they are
// worked out while the fancier waits, so they must take a few milliseconds at most.

#include <benchmark/benchmark.h>

#include <GeographicLib/Geodesic.hpp>

#include <cmath>

#include "flight/flight_analysis.h"
#include "flight/flight_fixture.h"

namespace wing {
namespace {

constexpr int kRecords = 2048;
constexpr std::uint32_t kStart = 1700000000;
constexpr std::uint32_t kEvery = 3;  // seconds between records

struct Flight {
    CLogRecordList records;
    GeoPoint loft;
};

// Five minutes in the basket, about 50 km, a ten-minute rest, about 50 km more to the
// loft, at 70 km/h on a heading that wanders; a satellite record, a record without a
// fix, a zero position and a spike every few hundred records.
Flight SyntheticFlight() {
    const auto& geod = GeographicLib::Geodesic::WGS84();
    const double step = 70 / 3.6 * kEvery;
    constexpr int kBasket = 100, kRestFrom = 960, kRestTo = 1160;
    Flight f;
    double lat = 24.0, lon = 120.6;
    for (int i = 0; i < kRecords; ++i) {
        const bool still = i < kBasket || (i >= kRestFrom && i < kRestTo);
        if (!still) {
            const double heading = 35 + 15 * std::sin(i / 40.0);
            geod.Direct(lat, lon, heading, step, lat, lon);
        }
        // A few metres of GPS wander.
        const double wander = 0.00004 * std::sin(i * 1.7);
        f.records.push_back(test::Position(kStart + kEvery * i, lat + wander, lon - wander, still ? 0 : 70,
                                           120 + (i % 300)));
    }
    f.loft = {f.records.back().LatitudeDegrees(), f.records.back().LongitudeDegrees()};
    for (int i = 150; i < kRecords - 10; i += 300) {
        f.records[i] = test::Satellite(f.records[i].time);
        f.records[i + 1] = test::WithoutFix(f.records[i + 1]);
        f.records[i + 2].latitude = f.records[i + 2].longitude = 0;
        f.records[i + 4].longitude += 180000;  // 18 minutes east, some 30 km
    }
    return f;
}

void BM_AnalyseFlight2048Records(benchmark::State& state) {
    const Flight f = SyntheticFlight();
    FlightInput in;
    in.loft = f.loft;  // release estimated from the track: the longest way through
    for (auto _ : state) {
        FlightSummary s = AnalyseFlight(f.records, in);
        benchmark::DoNotOptimize(s);
    }
    const FlightSummary s = AnalyseFlight(f.records, in);
    state.counters["path_km"] = s.pathMetres.value_or(0) / 1000;
    state.counters["rests"] = static_cast<double>(s.rests.size());
    state.counters["spikes"] = s.counts.spike;
    state.counters["arrived"] = s.arrival.has_value();
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_AnalyseFlight2048Records)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wing
