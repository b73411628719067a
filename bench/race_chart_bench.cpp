// The race window's distance chart for a race of 100 birds each with a full 2048-record
// archive, offscreen at 600 x 300: the replay's cursor moved on a minute, then the whole
// chart drawn (what a resize or an export costs) or only the strip around the cursor
// (what a replay frame repaints); median and 99th percentile.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>

#include "race/judgement.h"
#include "race/replay.h"
#include "raceview/race_chart.h"

#include "bench/race_on_disk.h"
#include "bench/qt_bench_app.h"

namespace wing {
namespace {

void EnsureApp() { bench::EnsureApp("race_chart_bench"); }

double Percentile(std::vector<double> v, double share) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(share * static_cast<double>(v.size())))];
}

void ChartFrames(benchmark::State& state, bool strip) {
    EnsureApp();
    static const RaceOnDisk disk;
    std::vector<CLogRecordList> tracks;
    const RaceJudgement judgement = JudgeRace(disk.race, {}, disk.folder, &tracks);
    const RaceReplay replay(judgement, tracks);
    std::vector<QColor> colours;
    std::vector<QString> names;
    for (std::size_t i = 0; i < replay.BirdCount(); ++i) {
        colours.push_back(QColor::fromHsv(static_cast<int>(i * 37 % 360), 200, 200));
        names.push_back(QString::number(i + 1));
    }
    RaceDistanceChart chart(1033);
    chart.SetReplay(replay, colours, names);
    chart.resize(600, 300);
    chart.show();
    QApplication::processEvents();
    QImage frame(600, 300, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ms;
    double t = replay.Start();
    for (auto _ : state) {
        t += 60;
        if (t > replay.End()) t = replay.Start();
        QElapsedTimer timer;
        timer.start();
        chart.SetCursor(t);
        if (strip) {
            // What a frame repaints: the strips the cursor left and entered, over every line.
            const int x = static_cast<int>((t - replay.Start()) / (replay.End() - replay.Start()) * 600);
            chart.render(&frame, QPoint(), QRegion(x - 8, 0, 16, 300));
        } else {
            chart.render(&frame);
        }
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    state.counters["median_ms"] = Percentile(ms, 0.5);
    state.counters["p99_ms"] = Percentile(ms, 0.99);
    state.counters["birds"] = static_cast<double>(replay.BirdCount());
}
void BM_ChartWholeFrame100Birds(benchmark::State& state) { ChartFrames(state, false); }
BENCHMARK(BM_ChartWholeFrame100Birds)->Iterations(200)->Unit(benchmark::kMillisecond);
void BM_ChartCursorStrip100Birds(benchmark::State& state) { ChartFrames(state, true); }
BENCHMARK(BM_ChartCursorStrip100Birds)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wing
