// Decoding a download's pages and writing its exports: 256 pages (2048 records) is
// the figure a long flight reaches.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

#include "export/csv_writer.h"
#include "export/gpx_writer.h"
#include "export/kml_writer.h"
#include "export/points_script.h"
#include "log/day_segments.h"
#include "log/log_record.h"
#include "export/save_worker.h"
#include "platform/message_box.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
constexpr int kPages = 256;
constexpr std::uint32_t kStart = 1430440200;

using PageBytes = std::array<std::uint8_t, LOG_PAGE_SIZE>;

// A two-day flight, one fix every 60 s, with a satellite slot every 16th.
std::vector<PageBytes> FlightPages() {
    std::vector<PageBytes> pages(kPages);
    for (int i = 0; i < kPages * 8; ++i) {
        std::uint8_t* s = pages[i / 8].data() + 16 * (i % 8);
        std::uint32_t t = kStart + 60u * i;
        std::int32_t lat = 25025000 + i * 37, lon = 121305123 - i * 41;
        for (int b = 0; b < 4; ++b) {
            s[b] = static_cast<std::uint8_t>(t >> 8 * b);
            s[4 + b] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(lat) >> 8 * b);
            s[8 + b] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(lon) >> 8 * b);
        }
        s[12] = 70;
        s[13] = 0;
        s[14] = static_cast<std::uint8_t>(100 + i % 50);
        s[15] = 0;
        if (i % 16 == 15) s[15] = 0x80 | 10;
    }
    return pages;
}

CLogRecordList Decode(const std::vector<PageBytes>& pages) {
    CLogRecordList list;
    for (std::size_t i = 0; i < pages.size(); ++i) DecodeLogPage(pages[i], i * 8, list, pages.size() * 8);
    return list;
}

// Exports go to a scratch drive C: under /tmp, named through a private map file.
class ScratchDrive {
public:
    ScratchDrive() {
        setenv("TZ", "Asia/Taipei", 1);
        tzset();
        char tmpl[] = "/tmp/wing-bench-XXXXXX";
        m_base = mkdtemp(tmpl);
        fs::create_directories(m_base / "c" / "GPSLOG" / "baidu");
        fs::create_directories(m_base / "wing-utility");
        std::ofstream(m_base / "wing-utility" / "device-map.ini") << "[drives]\nC = " << (m_base / "c").string() << "\n";
        setenv("XDG_CONFIG_HOME", m_base.c_str(), 1);
        SetMessageBoxHandler([](const MessageBoxRequest&) { return IDOK; });
    }
    ~ScratchDrive() { fs::remove_all(m_base); }

private:
    fs::path m_base;
};

void BM_DecodePages(benchmark::State& state) {
    const auto pages = FlightPages();
    for (auto _ : state) {
        CLogRecordList list = Decode(pages);
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["records"] = kPages * 8;
}
BENCHMARK(BM_DecodePages)->Unit(benchmark::kMicrosecond);

void BM_CsvContent(benchmark::State& state) {
    const CLogRecordList list = Decode(FlightPages());
    CExportJob job{list, L"A1234567", L"V 1.0.2.3", 1033};
    for (auto _ : state) benchmark::DoNotOptimize(CsvContent(job));
}
BENCHMARK(BM_CsvContent)->Unit(benchmark::kMillisecond);

void BM_KmlDocuments(benchmark::State& state) {
    const CLogRecordList list = Decode(FlightPages());
    CExportJob job{list, L"A1234567", L"V 1.0.2.3", 1033};
    CDaySegments segments;
    SplitByDay(list, segments, job.zone, 1033);
    for (auto _ : state) {
        WalkSegments(segments, static_cast<int>(list.size()), [&](int a, int b) {
            pugi::xml_document doc;
            pugi::xml_parse_result parsed;
            BuildKmlDocument(job, a, b, doc, parsed);
            benchmark::DoNotOptimize(doc.first_child());
        });
    }
}
BENCHMARK(BM_KmlDocuments)->Unit(benchmark::kMillisecond);

// The flags of the whole download (a geodesic or so per fix) and the document.
void BM_GpxContent(benchmark::State& state) {
    const CLogRecordList list = Decode(FlightPages());
    CExportJob job{list, L"A1234567", L"V 1.0.2.3", 1033};
    for (auto _ : state) benchmark::DoNotOptimize(GpxContent(job));
}
BENCHMARK(BM_GpxContent)->Unit(benchmark::kMillisecond);

// The whole export run as the window starts it, files included (written and synced).
void BM_SaveWorkerKmlAndCsv(benchmark::State& state) {
    ScratchDrive drive;
    const CLogRecordList list = Decode(FlightPages());
    for (auto _ : state) SaveWorker(list, L"A1234567", L"V 1.0.2.3", 1033, nullptr);
}
BENCHMARK(BM_SaveWorkerKmlAndCsv)->Unit(benchmark::kMillisecond);

void BM_SaveFilesKmlGpxAndCsv(benchmark::State& state) {
    ScratchDrive drive;
    const CLogRecordList list = Decode(FlightPages());
    const CExportJob job{list, L"A1234567", L"V 1.0.2.3", 1033, FormatsForLanguage(1033, true)};
    for (auto _ : state) benchmark::DoNotOptimize(SaveFiles(job));
}
BENCHMARK(BM_SaveFilesKmlGpxAndCsv)->Unit(benchmark::kMillisecond);

void BM_SaveWorkerPointsAndCsv(benchmark::State& state) {
    ScratchDrive drive;
    const CLogRecordList list = Decode(FlightPages());
    for (auto _ : state) SaveWorker(list, L"A1234567", L"V 1.0.2.3", 2052, nullptr);
}
BENCHMARK(BM_SaveWorkerPointsAndCsv)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wing
