// Reading the settings at start: a file at the size limit, filled with loft keys, must
// read in a few milliseconds (each loft's key is looked up once, not once per key).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/settings_file.h"
#include "settings/config.h"

namespace wing {
namespace {

// [Flight] with Loft2=..., Loft3=... (no names: each name is looked for in vain) up to
// kSettingsFileLimit bytes.
std::string ManyLofts() {
    std::string text = "[Flight]\nLoft=24.1, 120.6\n";
    for (unsigned n = 2;; ++n) {
        const std::string lines = "Loft" + std::to_string(n) + "=24.1, 120.6\n";
        if (text.size() + lines.size() > kSettingsFileLimit) break;
        text += lines;
    }
    return text;
}

void BM_LoadConfigOf1MiBOfLofts(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / ("wing-bench-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(path, std::ios::binary) << ManyLofts();
    std::size_t lofts = 0;
    for (auto _ : state) {
        const Config config = LoadConfig(1033, path);
        lofts = config.lofts.size();
        benchmark::DoNotOptimize(lofts);
    }
    state.counters["lofts"] = static_cast<double>(lofts);
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadConfigOf1MiBOfLofts)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace wing
