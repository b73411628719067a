#include "export/kml_writer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <pugixml.hpp>

#include "log/log_fixture.h"
#include "platform/text.h"

namespace wing {
namespace {

using test::Fix;
using test::NoFix;
using test::Satellite;
namespace fs = std::filesystem;

std::vector<std::string> ChildNames(pugi::xml_node n) {
    std::vector<std::string> out;
    for (auto c : n.children()) out.push_back(c.type() == pugi::node_element ? c.name() : "#text");
    return out;
}

class KmlTest : public ::testing::Test {
protected:
    KmlTest() { std::setlocale(LC_TIME, "C"); }

    // Writes the segment and loads the one file it produced.
    pugi::xml_node Write(const CExportJob& job, int start, int end) {
        WriteKmlFile(job, start, end);
        auto names = test::FileNames(drive.LogDir());
        EXPECT_EQ(names.size(), 1u);
        if (names.empty()) return {};
        name = names[0];
        text = test::ReadFile(drive.LogDir() / name);
        EXPECT_TRUE(doc.load_string(text.c_str()));
        return doc.child("kml");
    }
    static std::vector<pugi::xml_node> Pins(pugi::xml_node kml) {
        std::vector<pugi::xml_node> out;
        for (auto p : kml.child("Document").child("Folder").children("Placemark")) out.push_back(p);
        return out;
    }

    test::ScopedTimeZone tz{"Asia/Taipei"};
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    pugi::xml_document doc;
    std::string name, text;
    void SetUp() override { fs::create_directories(drive.LogDir()); }
};

TEST_F(KmlTest, DocumentTreeInOrder) {
    CLogRecordList list{NoFix(test::T0), Fix(test::T0 + 60), Fix(test::T0 + 120), NoFix(test::T0 + 180)};
    auto kml = Write(CExportJob{list, L"A1234567", L"V 1.0.2.3", 1033}, 0, 4);
    EXPECT_EQ(text.rfind("<?xml version='1.0' encoding='UTF-8'?><kml xmlns=\"http://www.opengis.net/kml/2.2\">", 0), 0u)
        << text.substr(0, 120);
    EXPECT_EQ(name, "A1234567_2015_05_01_08_31_00_2015_05_01_08_32_00.kml");

    auto document = kml.child("Document");
    EXPECT_EQ(ChildNames(kml), std::vector<std::string>{"Document"});
    EXPECT_EQ(ChildNames(document),
              (std::vector<std::string>{"name", "description", "Style", "Placemark", "Folder"}));
    EXPECT_STREQ(document.child_value("name"), "A1234567");
    EXPECT_STREQ(document.child_value("description"), "GPS Board: V 1.0.2.3");

    auto style = document.child("Style");
    EXPECT_STREQ(style.attribute("id").value(), "Poly01");
    EXPECT_STREQ(style.child("LineStyle").child_value("color"), "c8ffff00");
    EXPECT_STREQ(style.child("LineStyle").child_value("colorMode"), "random");
    EXPECT_STREQ(style.child("LineStyle").child_value("width"), "5");
    EXPECT_STREQ(style.child("PolyStyle").child_value("color"), "7f0000ff");

    auto track = document.child("Placemark");
    EXPECT_EQ(ChildNames(track), (std::vector<std::string>{"name", "description", "styleUrl", "LineString"}));
    EXPECT_STREQ(track.child_value("name"), "3D_GPS_Tracks");
    EXPECT_STREQ(track.child_value("styleUrl"), "#Poly01");
    auto line = track.child("LineString");
    EXPECT_EQ(ChildNames(line), (std::vector<std::string>{"extrude", "tessellate", "altitudeMode", "coordinates"}));
    EXPECT_STREQ(line.child_value("altitudeMode"), "relativeToGround");
    // The track lines end in CR LF as written (an XML reader reports them as LF).
    EXPECT_NE(text.find("<coordinates>121.508538,25.041667,123\r\n121.508538,25.041667,123\r\n</coordinates>"),
              std::string::npos);

    auto folder = document.child("Folder");
    EXPECT_EQ(ChildNames(folder),
              (std::vector<std::string>{"name", "open", "description", "Style", "Placemark", "Placemark"}));
    EXPECT_STREQ(folder.child_value("name"), "All_GPS_Data");
    EXPECT_STREQ(folder.child_value("open"), "1");
    EXPECT_EQ(folder.child("description").first_child().type(), pugi::node_cdata);
    EXPECT_STREQ(folder.child("Style").attribute("id").value(), "All_GPS_DATA");
    EXPECT_STREQ(folder.child("Style").child("LabelStyle").child_value("color"), "ff0000cc");

    auto pin = folder.child("Placemark");
    EXPECT_EQ(ChildNames(pin), (std::vector<std::string>{"name", "description", "Style", "Point"}));
    EXPECT_TRUE(pin.child("name").first_child().empty());
    EXPECT_EQ(pin.child("description").first_child().type(), pugi::node_cdata);
    auto icon = pin.child("Style").child("IconStyle");
    EXPECT_STREQ(icon.child_value("scale"), "0.5");
    EXPECT_STREQ(icon.child("Icon").child_value("href"), PIN_ICON_URL);
    EXPECT_STREQ(pin.child("Point").child_value("coordinates"), "121.508538,25.041667,123");
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(KmlTest, PopupTextsWithEnglishStrings) {
    CLogRecordList list{Fix(test::T0), Fix(test::T0 + 60, 25025000, 121305123, 70, 123),
                        Fix(test::T0 + 120, -1000000, -2000000, 0, 5)};
    list[2].debugStatus = 0;
    auto kml = Write(CExportJob{list, L"A1", L"V 1", 1033}, 0, 3);
    auto pins = Pins(kml);
    ASSERT_EQ(pins.size(), 3u);
    EXPECT_STREQ(pins[1].child_value("description"),
                 "Point-2<BR>05/01/15 08:31:00 (UTC+8.0)<BR>Speed:  1166.7  M/Minutes ( 70 "
                 "KM/hr)<BR>Altitude: 123 Meters Status:0");
    EXPECT_STREQ(pins[2].child("Point").child_value("coordinates"), "-2.000000,-1.000000,5");
    EXPECT_STREQ(kml.child("Document").child("Folder").child_value("description"),
                 "Display all the detials. <br> [Total data: 3 count]<br><br> GPS Time(UTC +8.0 "
                 ")<br> - Start Time: 05/01/15 08:30:00<br> - End Time:   05/01/15 08:32:00");
}

TEST_F(KmlTest, OffsetIsTheOneInForceAtTheRecordsTime) {
    test::ScopedTimeZone berlin("Europe/Berlin");
    CLogRecordList list{Fix(1435744800)};  // 2015-07-01 12:00 local, summer time
    auto kml = Write(CExportJob{list, L"", L"", 1033}, 0, 1);
    std::string pin = Pins(kml).at(0).child_value("description");
    EXPECT_NE(pin.find("07/01/15 12:00:00 (UTC+2.0)"), std::string::npos) << pin;
    std::string summary = kml.child("Document").child("Folder").child_value("description");
    EXPECT_NE(summary.find("GPS Time(UTC +2.0 )"), std::string::npos) << summary;
}

TEST_F(KmlTest, OnlyFixIsDrawnAndGivesBothTimes) {
    CLogRecordList list{NoFix(test::T0), NoFix(test::T0 + 1), Fix(test::T0 + 2), NoFix(test::T0 + 3)};
    auto kml = Write(CExportJob{list, L"", L"", 1033}, 0, 4);
    EXPECT_EQ(name, "2015_05_01_08_30_02_2015_05_01_08_30_02.kml");
    auto pins = Pins(kml);
    ASSERT_EQ(pins.size(), 1u);
    EXPECT_EQ(std::string(pins[0].child_value("description")).rfind("Point-1<BR>05/01/15 08:30:02 ", 0), 0u);
    EXPECT_NE(text.find("<coordinates>121.508538,25.041667,123\r\n</coordinates>"), std::string::npos);
    std::string summary = kml.child("Document").child("Folder").child_value("description");
    EXPECT_NE(summary.find("[Total data: 1 count]"), std::string::npos);
    EXPECT_NE(summary.find("Start Time: 05/01/15 08:30:02<br> - End Time:   05/01/15 08:30:02"), std::string::npos)
        << summary;
    // Empty serial and version: no serial in the name, empty Document name and description.
    EXPECT_STREQ(kml.child("Document").child_value("name"), "");
    EXPECT_STREQ(kml.child("Document").child_value("description"), "");
}

TEST_F(KmlTest, UndrawableFixesAreCountedButNotNumbered) {
    // Satellite fixes first and last give the stamps; a zero-coordinate fix in between.
    CLogRecordList list{Satellite(test::T0), Fix(test::T0 + 1, 0, 0), Fix(test::T0 + 2),
                        NoFix(test::T0 + 3), Fix(test::T0 + 4), Satellite(test::T0 + 5)};
    auto kml = Write(CExportJob{list, L"", L"", 1033}, 0, 6);
    EXPECT_EQ(name, "2015_05_01_08_30_00_2015_05_01_08_30_05.kml");
    auto pins = Pins(kml);
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(std::string(pins[0].child_value("description")).rfind("Point-1<BR>05/01/15 08:30:02", 0), 0u);
    EXPECT_EQ(std::string(pins[1].child_value("description")).rfind("Point-2<BR>05/01/15 08:30:04", 0), 0u);
    std::string summary = kml.child("Document").child("Folder").child_value("description");
    EXPECT_NE(summary.find("[Total data: 5 count]"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Start Time: 05/01/15 08:30:00<br> - End Time:   05/01/15 08:30:05"), std::string::npos);
}

TEST_F(KmlTest, SegmentWithoutFixWritesNothing) {
    CLogRecordList list{Fix(test::T0), NoFix(test::T0 + 1), NoFix(test::T0 + 2)};
    WriteKmlFile(CExportJob{list, L"", L"", 1033}, 1, 3);
    EXPECT_TRUE(test::FileNames(drive.LogDir()).empty());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(KmlTest, DeviceTextIsEscapedInTheDocument) {
    std::string oldCtype = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    CLogRecordList list{Fix(test::T0)};
    auto kml = Write(CExportJob{list, L"<&]]>信鴿", L"V <1>", 1033}, 0, 1);
    std::setlocale(LC_CTYPE, oldCtype.c_str());
    EXPECT_EQ(FromUtf8(kml.child("Document").child_value("name")), L"<&]]>信鴿");
    EXPECT_STREQ(kml.child("Document").child_value("description"), "GPS Board: V <1>");
    EXPECT_EQ(FromUtf8(name), L"_&]]_信鴿_2015_05_01_08_30_00_2015_05_01_08_30_00.kml");
}

TEST_F(KmlTest, FailedSaveIsReportedWithTheFileAndTheReason) {
    fs::remove(drive.LogDir());
    CLogRecordList list{Fix(test::T0)};
    auto failure = WriteKmlFile(CExportJob{list, L"", L"", 1033}, 0, 1);
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->path.find(L"2015_05_01_08_30_00_2015_05_01_08_30_00.kml"), std::wstring::npos);
    EXPECT_EQ(failure->reason, L"No such file or directory");
    EXPECT_TRUE(boxes.Texts().empty());  // the save run shows it
}

}  // namespace
}  // namespace wing
