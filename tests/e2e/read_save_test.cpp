// Reading and saving a flight from the real window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>

#include <pugixml.hpp>

#include "platform/locale.h"
#include "window_rig.h"

namespace wing {
namespace {

using test::Logger;
using test::ReadyToRead;
using test::RigOptions;
using test::WindowRig;

bool Saved(WindowRig& rig) {
    return rig.StaticText(IDC_READ_MESSAGE).rfind(rig.dlg->Text(151), 0) == 0 && rig.dlg->IsItemEnabled(IDC_LINK);
}

TEST(ReadAndSave, FullLogIsSavedAsCsvAndKml) {
    WindowRig rig(ReadyToRead(2048));
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return Saved(rig); }, 60));
    EXPECT_EQ(rig.StaticText(IDC_READ_COUNTER), L"2048/2048");
    EXPECT_EQ(rig.dlg->Progress(IDC_READ_PROGRESS), 100);
    EXPECT_EQ(rig.dlg->Session().Records().size(), 2048u);
    EXPECT_EQ(rig.ReceivedFrames(3, 0).size(), 256u);
    int csv = 0, kml = 0;
    for (const auto& f : rig.LogFiles()) {
        csv += f.extension() == ".csv";
        kml += f.extension() == ".kml";
    }
    EXPECT_EQ(csv, 1);
    EXPECT_GE(kml, 1);
    // The profile does not ask for a GPX.
    for (const auto& f : rig.LogFiles()) EXPECT_NE(f.extension(), ".gpx") << f;
    // The poll resumes and the controls come back.
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_READ_SAVE));
    EXPECT_TRUE(rig.dlg->IsCloseItemEnabled());
}

TEST(ReadAndSave, AGpxAskedForInTheProfileHoldsTheLoggersGoodPoints) {
    RigOptions options;
    options.extraIni = "[Export]\nGPX=1\n";
    WindowRig rig(ReadyToRead(300), options);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return Saved(rig); }, 30));
    std::vector<std::filesystem::path> csvs, gpxs;
    int kml = 0;
    for (const auto& f : rig.LogFiles()) {
        if (f.extension() == ".csv") csvs.push_back(f);
        if (f.extension() == ".gpx") gpxs.push_back(f);
        kml += f.extension() == ".kml";
    }
    const auto slots = rig.simulator.LogSlots();
    ASSERT_EQ(csvs.size(), 1u);
    EXPECT_EQ(test::ReadWhole(csvs[0]), test::ExpectedCsv(slots, L"WG1507A0042", L"V 1.2.3.4", 1033));
    EXPECT_GE(kml, 1);
    ASSERT_EQ(gpxs.size(), 1u);

    // Every position fix the logger holds with a position, in order, and nothing else.
    std::vector<CLogRecord> good;
    for (const auto& r : test::ExpectedRecords(slots))
        if (r.kind == 0 && r.IsFix() && (r.latitude != 0 || r.longitude != 0)) good.push_back(r);
    ASSERT_LT(good.size(), slots.size());  // satellite records and records without a fix are left out
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(gpxs[0].c_str()));
    std::size_t next = 0;
    for (auto point : doc.select_nodes("/gpx/trk/trkseg/trkpt")) {
        ASSERT_LT(next, good.size());
        const CLogRecord& r = good[next++];
        pugi::xml_node p = point.node();
        EXPECT_NEAR(p.attribute("lat").as_double(), r.LatitudeDegrees(), 5e-7) << next;
        EXPECT_NEAR(p.attribute("lon").as_double(), r.LongitudeDegrees(), 5e-7) << next;
        EXPECT_EQ(p.child_value("ele"), std::to_string(r.altitude)) << next;
        EXPECT_EQ(p.child_value("time"), IsoUtcText(r.time)) << next;
    }
    EXPECT_EQ(next, good.size());
    EXPECT_TRUE(rig.Boxes().empty());
}

TEST(ReadAndSave, SimplifiedChineseWritesThePointsScript) {
    RigOptions options;
    options.languageByOS = 0;
    WindowRig rig(ReadyToRead(200), options);
    // The map page's folder is the user's; the tool never makes it.
    std::filesystem::create_directories(rig.drive + "/GPSLOG/baidu");
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return Saved(rig); }, 30));
    int js = 0, kml = 0, csv = 0;
    for (const auto& f : rig.LogFiles()) {
        js += f.extension() == ".js";
        kml += f.extension() == ".kml";
        csv += f.extension() == ".csv";
    }
    EXPECT_GE(js, 1);
    EXPECT_EQ(kml, 0);
    EXPECT_EQ(csv, 1);
    EXPECT_TRUE(rig.Boxes().empty());
}

TEST(ReadAndSave, SwitchOnOrARaceNotStartedReadsNothing) {
    WindowRig on(Logger());
    ASSERT_TRUE(on.LinkAndWait());
    on.dlg->OnReadAndSave();
    EXPECT_EQ(on.StaticText(IDC_ERROR_LINE), on.dlg->Text(191));

    auto ahead = ReadyToRead(64);
    ahead.startType = 1;
    ahead.reservedStart = static_cast<std::uint32_t>(std::time(nullptr) + 7200);
    WindowRig rig(ahead);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    EXPECT_EQ(rig.StaticText(IDC_READ_MESSAGE).rfind(rig.dlg->Text(163), 0), 0u);  // station mode: in the window
    test::PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(rig.ReceivedFrames(3, 1).empty());
    EXPECT_TRUE(rig.LogFiles().empty());
}

TEST(ReadAndSave, EmptyLogSaysSoAndTheLinkStays) {
    auto empty = ReadyToRead(0);
    empty.records = std::vector<sim::LogSlot>{};
    WindowRig rig(empty);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.StaticText(IDC_READ_MESSAGE) == rig.dlg->Text(149); }));
    EXPECT_TRUE(rig.WaitFor([&] { return rig.dlg->IsItemEnabled(IDC_READ_SAVE); }));
    EXPECT_TRUE(rig.Linked());
}

}  // namespace
}  // namespace wing

namespace wing {
namespace {

TEST(ReadAndSave, TheFlightWindowOpensByItselfWithTheVelocityOfTheLoggersFlight) {
    test::WindowHost host;
    auto config = test::ReadyToRead(0);
    config.flight.distanceKm = 40;
    config.flight.zeroFix = true;
    sim::LoggerSimulator logger(config);
    const sim::SimPort port = logger.Start();
    ASSERT_TRUE(port);
    // The loft is where the simulated bird ends its flight.
    ArchivedDownload held;
    held.rawSlots = logger.LogSlots();
    std::optional<GeoPoint> loft;
    for (const auto& r : RecordsOf(held))
        if (r.kind == 0 && r.IsFix()) loft = GeoPoint{r.LatitudeDegrees(), r.LongitudeDegrees()};
    ASSERT_TRUE(loft);
    const std::string loftText = FormatCoordinates(*loft);
    RigOptions options;
    options.extraIni = "[Flight]\nLoft=" + loftText + "\nLoftName=Home\n";
    host.OpenWindow(options, port.comNumber);
    ASSERT_TRUE(host.LinkAndWait());
    host.Click(IDC_READ_SAVE);
    ASSERT_TRUE(host.WaitFor([&] { return host.dlg->Flight() != nullptr; }, 60));

    // The figures are the analysis's of exactly what the logger holds.
    const CLogRecordList records = host.dlg->Session().Records();
    ASSERT_EQ(records.size(), RecordsOf(held).size());
    FlightInput input;
    input.loft = *ParseCoordinates(loftText);
    const FlightSummary expected = AnalyseFlight(RecordsOf(held), input);
    ASSERT_TRUE(expected.velocityMetresPerMinute);
    ASSERT_TRUE(host.dlg->Flight()->Summary().velocityMetresPerMinute);
    EXPECT_DOUBLE_EQ(*host.dlg->Flight()->Summary().velocityMetresPerMinute, *expected.velocityMetresPerMinute);
    EXPECT_TRUE(host.dlg->Flight()->isVisible());
    EXPECT_EQ(host.dlg->Session().LastArchive().extension(), ".wing");
    host.CloseWindow();
    logger.Stop();
}

}  // namespace
}  // namespace wing
