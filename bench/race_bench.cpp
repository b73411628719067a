// The race: judging a club race of 100 birds, each a full 2048-record archive, from the
// files (reading included; goal: median under 100 ms), and the printable sheet of 500
// birds (goal: under 200 ms).

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "archive/download_archive.h"
#include "logger-sim/flight_log.h"
#include "race/judgement.h"
#include "race/race_fixture.h"
#include "race/result_sheet.h"
#include "race/track_input.h"
#include "resources/string_table.h"

#include "bench/race_on_disk.h"

namespace wing {
namespace {

void BM_JudgeRace100Birds2048Records(benchmark::State& state) {
    const RaceOnDisk disk;
    for (auto _ : state) {
        RaceJudgement j = JudgeRace(disk.race, {}, disk.folder);
        benchmark::DoNotOptimize(j);
    }
    const RaceJudgement j = JudgeRace(disk.race, {}, disk.folder);
    state.counters["arrived"] = static_cast<double>(
        std::count_if(j.birds.begin(), j.birds.end(), [](const BirdResult& b) { return b.arrived; }));
    state.counters["problems"] = static_cast<double>(
        std::count_if(j.birds.begin(), j.birds.end(), [](const BirdResult& b) { return !b.problem.empty(); }));
}
// Wall time: the birds are judged on every core.
BENCHMARK(BM_JudgeRace100Birds2048Records)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RaceSheetHtml500Birds(benchmark::State& state) {
    RaceJudgement j;
    j.race.name = "Bench national";
    j.race.releasePoint = kReleasePoint;
    j.race.releaseTime = kRelease;
    const GeoPoint loft = test::Direct(kReleasePoint, 30, 280000);
    const CLogRecordList records = Flight(loft);
    const BirdResult judged = JudgeBird(j.race, 0, loft, records);
    for (int i = 0; i < 500; ++i) {
        j.race.entries.push_back({"BE-2025-" + std::to_string(1000000 + i), "Blue <" + std::to_string(i) + ">", "J. Peeters & son",
                                  {"", FormatCoordinates(loft)}, "bird.wing"});
        BirdResult b = judged;
        b.entry = static_cast<std::size_t>(i);
        b.rank = i + 1;
        j.birds.push_back(b);
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string html = RaceResultHtml(j, LANG_EN_US);
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["kB"] = static_cast<double>(bytes) / 1024;
}
BENCHMARK(BM_RaceSheetHtml500Birds)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace wing

namespace wing {
namespace {

// The parts of the race's figure, on one thread: reading the 100 archives, and the flight
// analysis alone.
void BM_ReadRaceTracks100(benchmark::State& state) {
    const RaceOnDisk disk;
    for (auto _ : state)
        for (const RaceEntry& e : disk.race.entries) {
            auto t = ReadTrack(disk.folder / e.track);
            benchmark::DoNotOptimize(t);
        }
}
BENCHMARK(BM_ReadRaceTracks100)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

void BM_AnalyseRaceFlights100(benchmark::State& state) {
    const RaceOnDisk disk;
    std::vector<CLogRecordList> tracks;
    std::vector<GeoPoint> lofts;
    for (const RaceEntry& e : disk.race.entries) {
        tracks.push_back(std::get<RaceTrack>(ReadTrack(disk.folder / e.track)).records);
        lofts.push_back(*ParseCoordinates(e.loft.position));
    }
    for (auto _ : state)
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            FlightInput in;
            in.loft = lofts[i];
            in.release = ReleaseEntry{disk.race.releasePoint, disk.race.releaseTime};
            auto s = AnalyseFlight(tracks[i], in);
            benchmark::DoNotOptimize(s);
        }
}
BENCHMARK(BM_AnalyseRaceFlights100)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace wing
