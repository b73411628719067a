// Real readers of the exported files: the OGC KML and the GPX 1.1 schemas through xmllint,
// GPSBabel for the KML coordinates and the GPX points, Node.js for the points scripts and
// Python's csv module.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <pugixml.hpp>

#include "export/gpx_fixture.h"
#include "export/gpx_writer.h"
#include "log/log_fixture.h"
#include "export/save_worker.h"
#include "platform/text.h"
#include "resources/string_table.h"
#include "support/recording_window.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using test::PositionSlot;
using test::Slot;

struct Output {
    int status = -1;
    std::string out;
};

// Runs a shell command and returns its exit status and standard output.
Output RunCommand(const std::string& command) {
    Output r;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// "lat,lon,alt" lines of every GPX point element of that name, in document order.
std::string GpxPoints(const std::string& gpx, const char* element) {
    pugi::xml_document doc;
    if (!doc.load_string(gpx.c_str())) return "unreadable GPX";
    std::string out;
    for (auto x : doc.select_nodes((std::string("//") + element).c_str())) {
        pugi::xml_node n = x.node();
        char buf[128];
        std::snprintf(buf, sizeof buf, "%f,%f,%.1f\n", n.attribute("lat").as_double(),
                      n.attribute("lon").as_double(), n.child("ele").text().as_double());
        out += buf;
    }
    return out;
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

bool Installed(const char* tool) {
    return RunCommand(std::string("command -v ") + tool + " >/dev/null 2>&1").status == 0;
}

#define SKIP_WITHOUT(tool) \
    if (!Installed(tool)) GTEST_SKIP() << tool << " is not installed (scripts/install-deps installs it)"

std::string F6(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", v);
    return buf;
}

Slot SatelliteSlot(std::uint32_t time, std::uint8_t status) {
    Slot s{};
    test::PutU32(s, 0, time);
    for (int n = 1; n <= 12; ++n) s[3 + n] = static_cast<std::uint8_t>(n * 3);
    s[13] = status;
    s[15] = 0x80 | 5;
    return s;
}

// Three local days (UTC+8): a southern-western track with a zero-coordinate fix,
// satellite and non-fix records on day one, a single fix on day two, and a day that
// ends in a satellite fix. Decoded from pages, as a download gives it.
CLogRecordList Flight() {
    const std::uint32_t t = test::T0;
    std::vector<Slot> slots = {
        SatelliteSlot(t - 10, 0x20),
        PositionSlot(t, -33521234, -70401234, 55, 0, 520),
        PositionSlot(t + 30, -33522000, -70402500, 61, 0, 515),
        PositionSlot(t + 60, 0, 0, 0, 0, 0),  // a fix without coordinates
        PositionSlot(t + 90, -33523000, -70403500, 64, 0x41, 510),  // not a fix
        SatelliteSlot(t + 100, 0),  // a satellite fix: counted, never drawn
        PositionSlot(t + 120, -33524321, -70404321, 66, 0, 505),
        PositionSlot(t + 86400, 25025000, 121305123, 70, 0, 123),
        PositionSlot(t + 86460, 25026000, 121306000, 72, 0x80, 124),
        PositionSlot(t + 2 * 86400, 24000000, 120500000, 80, 0, 32767),
        PositionSlot(t + 2 * 86400 + 60, 24001000, 120501000, 255, 0, 0),
        SatelliteSlot(t + 2 * 86400 + 120, 0),
    };
    CLogRecordList list;
    const std::size_t count = slots.size();
    for (std::size_t i = 0; i < slots.size(); i += 8) {
        std::vector<Slot> page(slots.begin() + i, slots.begin() + std::min(slots.size(), i + 8));
        DecodeLogPage(test::Page(page, 0xFF), i, list, count);
    }
    return list;
}

// The drawn fixes of each local day, keyed by the day's first-fix file stamp.
std::map<std::wstring, std::vector<CLogRecord>> DrawnByDay(const CLogRecordList& list) {
    std::map<std::wstring, std::vector<CLogRecord>> out;
    std::map<int, std::wstring> dayKey;
    for (const auto& r : list) {
        if (!r.IsFix()) continue;
        std::wstring stamp = r.FileStamp(TimeZone::Pc());
        int day = std::stoi(stamp.substr(8, 2));
        if (!dayKey.count(day)) dayKey[day] = stamp;
        auto& drawn = out[dayKey[day]];
        if (r.latitude != 0 || r.longitude != 0) drawn.push_back(r);
    }
    return out;
}

class ConsumersTest : public ::testing::Test {
protected:
    void Save(const CLogRecordList& list, unsigned lang, const std::wstring& sn, const std::wstring& version) {
        test::RecordingWindow window;
        SaveWorker(list, sn, version, lang, &window);
        ASSERT_EQ(window.Count(WM_FILES_SAVED), 1u);
    }
    std::vector<fs::path> Files(const fs::path& dir, const std::string& ext) {
        std::vector<fs::path> out;
        for (const auto& n : test::FileNames(dir))
            if (fs::path(n).extension() == ext) out.push_back(dir / n);
        return out;
    }

    Output Lint(const fs::path& file, const fs::path& xsd) {
        return RunCommand("xmllint --noout --schema " + Quote(xsd) + " " + Quote(file) + " 2>&1");
    }

    test::ScopedTimeZone tz{"Asia/Taipei"};
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    const fs::path schema = fs::path(WING_SOURCE_DIR) / "tests/data/kml-schema/ogckml22.xsd";
    const fs::path gpxSchema = fs::path(WING_SOURCE_DIR) / "tests/data/gpx-schema/gpx.xsd";
};

TEST_F(ConsumersTest, KmlValidatesAndGpsBabelReadsTheCoordinatesBack) {
    const CLogRecordList list = Flight();
    ASSERT_EQ(list.size(), 12u);
    Save(list, LANG_EN_US, L"A1234567", L"V 1.0.2.3");
    auto kmls = Files(drive.LogDir(), ".kml");
    auto expected = DrawnByDay(list);
    ASSERT_EQ(kmls.size(), 3u);
    ASSERT_EQ(expected.size(), 3u);

    for (const auto& kml : kmls) {
        SCOPED_TRACE(kml.filename().string());
        Output lint = RunCommand("xmllint --noout --schema " + Quote(schema) + " " + Quote(kml) + " 2>&1");
        EXPECT_EQ(lint.status, 0) << lint.out;

        std::wstring key = FromUtf8(kml.filename().string()).substr(9, 19);
        ASSERT_TRUE(expected.count(key));
        std::string want;
        for (const auto& r : expected[key])
            want += F6(r.LatitudeDegrees()) + "," + F6(r.LongitudeDegrees()) + "," + std::to_string(r.altitude) + ".0\n";

        // Waypoints are the pins, the track is the line: both carry every drawn fix.
        for (const char* kind : {"-w", "-t"}) {
            Output babel = RunCommand(std::string("gpsbabel ") + kind + " -i kml -f " + Quote(kml) +
                                      " -o gpx -F -");
            ASSERT_EQ(babel.status, 0) << babel.out;
            EXPECT_EQ(GpxPoints(babel.out, kind[1] == 'w' ? "wpt" : "trkpt"), want) << kind;
        }
    }
}

TEST_F(ConsumersTest, EdgeCaseKmlsValidate) {
    const std::uint32_t t = test::T0;
    struct Case {
        const char* what;
        CLogRecordList list;
        std::wstring sn, version;
    } cases[] = {
        {"single fix, no serial, no version", {test::NoFix(t), test::Fix(t + 1)}, L"", L""},
        {"only a satellite fix: an empty track", {test::Satellite(t)}, L"SN", L"V 1"},
        {"markup in device texts", {test::Fix(t)}, L"<a&b>]]>", L"V <9>&"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(drive.LogDir());
        Save(c.list, LANG_ZH_TW, c.sn, c.version);
        auto kmls = Files(drive.LogDir(), ".kml");
        ASSERT_EQ(kmls.size(), 1u);
        Output lint = RunCommand("xmllint --noout --schema " + Quote(schema) + " " + Quote(kmls[0]) + " 2>&1");
        EXPECT_EQ(lint.status, 0) << lint.out;
    }
}

TEST_F(ConsumersTest, GpxValidatesAndGpsBabelReadsEveryGoodPointBack) {
    SKIP_WITHOUT("xmllint");
    SKIP_WITHOUT("gpsbabel");
    const auto cases = test::FourDaysWithFlaggedPoints();
    const CLogRecordList list = test::GpxRecords(cases);
    ASSERT_TRUE(SaveFiles(CExportJob{list, L"WG1507A0042", L"V 1.2.3.4", LANG_EN_US,
                                     FormatsForLanguage(LANG_EN_US, true)})
                    .empty());
    auto gpxs = Files(drive.LogDir(), ".gpx");
    ASSERT_EQ(gpxs.size(), 1u);
    Output lint = Lint(gpxs[0], gpxSchema);
    EXPECT_EQ(lint.status, 0) << lint.out;

    // GPSBabel's own reading: every good point, in order, with its height and UTC time.
    Output babel = RunCommand("gpsbabel -t -i gpx -f " + Quote(gpxs[0]) + " -o unicsv,utc=0 -F - 2>&1");
    ASSERT_EQ(babel.status, 0) << babel.out;
    // unicsv ends its lines in CR LF.
    std::string want = "No,Latitude,Longitude,Altitude,Date,Time\r\n";
    int n = 0;
    for (const auto& c : cases) {
        if (c.utc == nullptr) continue;
        std::string date(c.utc, 10), clock(c.utc + 11, 8);
        std::replace(date.begin(), date.end(), '-', '/');
        want += std::to_string(++n) + "," + F6(c.record.LatitudeDegrees()) + "," + F6(c.record.LongitudeDegrees()) +
                "," + std::to_string(c.record.altitude) + ".0," + date + "," + clock + "\r\n";
    }
    EXPECT_EQ(n, 8);
    EXPECT_EQ(babel.out, want);
}

TEST_F(ConsumersTest, GpxWithAnyDeviceTextValidates) {
    SKIP_WITHOUT("xmllint");
    const std::uint32_t t = test::T0;
    struct Case {
        const char* what;
        CLogRecordList list;
        std::wstring sn, version;
    } cases[] = {
        {"a single fix, no serial, no version", {test::NoFix(t), test::Fix(t + 1)}, L"", L""},
        {"markup in device texts", {test::Fix(t)}, L"<a&b>]]>", L"V <9>&]]>"},
        {"characters XML forbids", {test::Fix(t)}, L"SN\x01\x1F\x7F", L"V 1\uFFFE\uFFFF\x0B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(drive.LogDir());
        fs::create_directories(drive.LogDir());
        ASSERT_FALSE(WriteGpxFile(CExportJob{c.list, c.sn, c.version, LANG_ZH_TW}).has_value());
        auto gpxs = Files(drive.LogDir(), ".gpx");
        ASSERT_EQ(gpxs.size(), 1u);
        Output lint = Lint(gpxs[0], gpxSchema);
        EXPECT_EQ(lint.status, 0) << lint.out;
    }
}

TEST_F(ConsumersTest, NodeEvaluatesThePointsScripts) {
    const CLogRecordList list = Flight();
    fs::create_directories(drive.LogDir() / "baidu");
    Save(list, LANG_ZH_CN, L"A1234567", L"V 1.0.2.3");
    auto scripts = Files(drive.LogDir() / "baidu", ".js");
    auto expected = DrawnByDay(list);
    ASSERT_EQ(scripts.size(), 3u);

    const std::string reader =
        "const vm=require('vm'),fs=require('fs');const c={};"
        "vm.runInNewContext(fs.readFileSync(process.argv[1],'utf8'),c);"
        "for(const p of c.points_fromJson.points)"
        "console.log([p.time,p.lng,p.lat,p.speed,p.alt].join('|'));";
    for (const auto& js : scripts) {
        SCOPED_TRACE(js.filename().string());
        std::wstring key = FromUtf8(js.filename().string()).substr(0, 19);
        ASSERT_TRUE(expected.count(key));
        std::string want;
        for (const auto& r : expected[key])
            want += std::to_string(static_cast<std::int32_t>(r.time)) + "|" + F6(r.LongitudeDegrees()) + "|" +
                    F6(r.LatitudeDegrees()) + "|" + std::to_string(r.SpeedKmh()) + "|" +
                    std::to_string(r.altitude) + "\n";
        Output node = RunCommand("node -e \"" + reader + "\" " + Quote(js) + " 2>&1");
        ASSERT_EQ(node.status, 0) << node.out;
        EXPECT_EQ(node.out, want);
    }
}

TEST_F(ConsumersTest, PythonCsvReaderReadsTheHeadersColumns) {
    const CLogRecordList list = Flight();
    Save(list, LANG_EN_US, L"A1234567", L"V 1.0.2.3");
    auto csvs = Files(drive.LogDir(), ".csv");
    ASSERT_EQ(csvs.size(), 1u);
    const std::string reader =
        "import csv,sys\n"
        "f=open(sys.argv[1],newline='',encoding='utf-8')\n"
        "print(f.readline().rstrip('\\r\\n'));print(f.readline().rstrip('\\r\\n'))\n"
        "r=csv.DictReader(f,skipinitialspace=True,restkey='extra')\n"
        "print(len(r.fieldnames))\n"
        "for row in r:\n"
        "  print('|'.join([row['DateTime'],row['GPSLong'],row['GPSLat'],row['Debug Status'],"
        "row['Status '],row['Speed'],row['Altitude'],row['CN1'],row['CN12'],str(row.get('extra'))]))\n";
    Output py = RunCommand("python3 -c \"" + reader + "\" " + Quote(csvs[0]) + " 2>&1");
    ASSERT_EQ(py.status, 0) << py.out;

    std::string want = "SN :A1234567\nGPS Board :V 1.0.2.3\n22\n";
    for (const auto& r : list) {
        if (r.kind == 1) {
            want += r.DateTimeText(TimeZone::Pc()) + "|N/A|N/A|" + std::to_string(r.debugStatus) + "|" +
                    std::to_string(r.status) + "|N/A|N/A|" + std::to_string(r.cn[0]) + "|" +
                    std::to_string(r.cn[11]) + "|['']\n";
        } else {
            want += r.DateTimeText(TimeZone::Pc()) + "|" + F6(r.LongitudeDegrees()) + "|" + F6(r.LatitudeDegrees()) + "|" +
                    std::to_string(r.debugStatus) + "|" + std::to_string(r.status) + "|" +
                    std::to_string(r.SpeedKmh()) + "|" + std::to_string(r.altitude) + "|N/A|N/A|None\n";
        }
    }
    EXPECT_EQ(py.out, want);
}

}  // namespace
}  // namespace wing
