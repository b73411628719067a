// The GPX of a download read back point for point: a track per local day, only the good
// points, times in UTC, the logger's texts in the metadata.

#include "export/gpx_writer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <pugixml.hpp>

#include "export/csv_writer.h"
#include "export/gpx_fixture.h"
#include "platform/text.h"

namespace wing {
namespace {

using test::Fix;
using test::NoFix;
using test::Satellite;
namespace fs = std::filesystem;

class GpxTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(drive.LogDir()); }

    // Writes the GPX and loads the one file it produced.
    void Write(const CExportJob& job) {
        EXPECT_FALSE(WriteGpxFile(job).has_value());
        auto names = test::FileNames(drive.LogDir());
        ASSERT_EQ(names.size(), 1u);
        name = names[0];
        text = test::ReadFile(drive.LogDir() / name);
        ASSERT_TRUE(doc.load_string(text.c_str())) << text.substr(0, 200);
    }

    test::ScopedTimeZone tz{"Asia/Taipei"};
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    pugi::xml_document doc;
    std::string name, text;
};

TEST_F(GpxTest, ATrackPerLocalDayHoldsEveryGoodPointAndNothingElse) {
    const auto cases = test::FourDaysWithFlaggedPoints();
    const CLogRecordList records = test::GpxRecords(cases);
    Write(CExportJob{records, L"WG1507A0042", L"V 1.2.3.4", 1033});

    std::vector<std::string> trackNames;
    for (auto trk : doc.child("gpx").children("trk")) {
        trackNames.push_back(trk.child_value("name"));
        EXPECT_EQ(std::distance(trk.children("trkseg").begin(), trk.children("trkseg").end()), 1);
    }
    EXPECT_EQ(trackNames, std::vector<std::string>(std::begin(test::kFourDaysTrackNames),
                                                   std::end(test::kFourDaysTrackNames)));

    const auto tracks = test::GpxTracks(doc);
    std::vector<std::size_t> next(tracks.size(), 0);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        if (c.utc == nullptr) continue;
        SCOPED_TRACE("record " + std::to_string(i));
        ASSERT_LT(static_cast<std::size_t>(c.track), tracks.size());
        ASSERT_LT(next[c.track], tracks[c.track].size());
        const test::GpxPoint& p = tracks[c.track][next[c.track]++];
        EXPECT_NEAR(p.lat, c.record.LatitudeDegrees(), 5e-7);
        EXPECT_NEAR(p.lon, c.record.LongitudeDegrees(), 5e-7);
        EXPECT_EQ(p.ele, std::to_string(c.record.altitude));
        EXPECT_EQ(p.time, c.utc);
    }
    for (std::size_t k = 0; k < tracks.size(); ++k) EXPECT_EQ(next[k], tracks[k].size()) << "track " << k;
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(GpxTest, NamedLikeTheCsvWithTheLoggerInTheMetadata) {
    const CLogRecordList records = test::GpxRecords(test::FourDaysWithFlaggedPoints());
    struct Case {
        const char* what;
        std::wstring sn, version;
        const char* file;
        const char* metadataName;  // nullptr: no such element
        const char* metadataDesc;
    } cases[] = {
        {"serial and firmware", L"WG1507A0042", L"V 1.2.3.4",
         "WG1507A0042_2015_05_01_23_54_00_2015_05_04_02_00_00.gpx", "WG1507A0042", "GPS Board: V 1.2.3.4"},
        {"firmware alone", L"", L"V 1.2.3.4", "2015_05_01_23_54_00_2015_05_04_02_00_00.gpx", nullptr,
         "GPS Board: V 1.2.3.4"},
        {"neither", L"", L"", "2015_05_01_23_54_00_2015_05_04_02_00_00.gpx", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(drive.LogDir());
        fs::create_directories(drive.LogDir());
        const CExportJob job{records, c.sn, c.version, 1033};
        Write(job);
        EXPECT_EQ(name, c.file);
        const std::wstring csv = CsvFileName(job);
        EXPECT_EQ(GpxFileName(job), csv.substr(0, csv.size() - 4) + L".gpx");

        EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
        auto gpx = doc.child("gpx");
        EXPECT_STREQ(gpx.attribute("xmlns").value(), "http://www.topografix.com/GPX/1/1");
        EXPECT_STREQ(gpx.attribute("version").value(), "1.1");
        EXPECT_STREQ(gpx.attribute("creator").value(), "wing-utility");
        auto metadata = gpx.child("metadata");
        EXPECT_EQ(static_cast<bool>(metadata), c.metadataName != nullptr || c.metadataDesc != nullptr);
        if (metadata) {
            EXPECT_EQ(std::string(gpx.first_child().name()), "metadata");  // before any track
        }
        EXPECT_EQ(static_cast<bool>(metadata.child("name")), c.metadataName != nullptr);
        if (c.metadataName) {
            EXPECT_STREQ(metadata.child_value("name"), c.metadataName);
        }
        EXPECT_EQ(static_cast<bool>(metadata.child("desc")), c.metadataDesc != nullptr);
        if (c.metadataDesc) {
            EXPECT_STREQ(metadata.child_value("desc"), c.metadataDesc);
        }
    }
}

TEST_F(GpxTest, DeviceTextIsMadeSafeForXml) {
    std::string oldCtype = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    CLogRecordList list{Fix(test::T0)};
    Write(CExportJob{list, L"<&]]>\x01信鴿", L"V <1>&\x1F\uFFFE", 1033});
    std::setlocale(LC_CTYPE, oldCtype.c_str());
    // Markup is escaped; characters XML cannot carry become U+FFFD.
    EXPECT_EQ(FromUtf8(doc.child("gpx").child("metadata").child_value("name")), L"<&]]>\uFFFD信鴿");
    EXPECT_EQ(FromUtf8(doc.child("gpx").child("metadata").child_value("desc")), L"GPS Board: V <1>&\uFFFD\uFFFD");
    EXPECT_EQ(text.find("]]>"), std::string::npos);
    EXPECT_EQ(FromUtf8(name), L"_&]]__信鴿_2015_05_01_08_30_00_2015_05_01_08_30_00.gpx");
}

TEST_F(GpxTest, WithoutAGoodPointThereIsNoFileAndNoFailure) {
    const std::uint32_t t = test::T0;
    struct Case {
        const char* what;
        CLogRecordList list;
    } cases[] = {
        {"empty list", {}},
        {"no fix", {NoFix(t), NoFix(t + 86400)}},
        {"a satellite fix and a zero position", {Satellite(t), Fix(t + 1, 0, 0)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CExportJob job{c.list, L"SN", L"V 1", 1033};
        EXPECT_TRUE(GpxContent(job).empty());
        EXPECT_FALSE(WriteGpxFile(job).has_value());
        EXPECT_TRUE(test::FileNames(drive.LogDir()).empty());
    }
    EXPECT_TRUE(boxes.Texts().empty());  // the export run tells the user, once
}

TEST_F(GpxTest, AFileNotInPlaceIsNamedWithTheReason) {
    fs::remove(drive.LogDir());
    CLogRecordList list{Fix(test::T0)};
    auto failure = WriteGpxFile(CExportJob{list, L"", L"", 1033});
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->path.find(L"2015_05_01_08_30_00_2015_05_01_08_30_00.gpx"), std::wstring::npos)
        << ToUtf8(failure->path);
    EXPECT_EQ(failure->reason, L"No such file or directory");
    EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
}  // namespace wing
