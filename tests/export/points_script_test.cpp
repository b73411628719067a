#include "export/points_script.h"
#include "resources/string_table.h"

#include <gtest/gtest.h>

#include "log/log_fixture.h"

namespace wing {
namespace {

using test::Fix;
using test::NoFix;
using test::Satellite;

std::string Obj(int id, long long time, const char* lng, const char* lat, int speed, int alt) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "{\"id\":\"%d\",\"time\":\"%lld\",\"lng\":\"%s\", \"lat\":\"%s\",\"speed\":\"%d\", "
                  "\"alt\":\"%d\"}",
                  id, time, lng, lat, speed, alt);
    return buf;
}

const std::string kHead = "//GPS Board:V 1.0.2.3\r\nvar points_fromJson ={\"points\":[";
const std::uint32_t T = test::T0;

class PointsScriptTest : public ::testing::Test {
protected:
    test::ScopedTimeZone tz{"Asia/Taipei"};
    std::string Content(const CLogRecordList& l, int start, int end) {
        return PointsScriptContent(CExportJob{l, L"SN", L"V 1.0.2.3", 2052}, start, end);
    }
    std::wstring Name(const CLogRecordList& l, int start, int end) {
        return PointsScriptFileName(CExportJob{l, L"SN", L"V 1.0.2.3", 2052}, start, end);
    }
};

TEST_F(PointsScriptTest, EveryFixUpToTheLastIsAnObject) {
    // Segment [3, 9) with fixes at 5, 6 and 7.
    CLogRecordList l{Fix(T), Fix(T + 1), Fix(T + 2), NoFix(T + 3), NoFix(T + 4),
                     Fix(T + 5, 25025000, 121305123, 70, 123), Fix(T + 6, -1000000, -2000000, 255, 0),
                     Fix(T + 7, 10000000, 20000000, 3, 4), NoFix(T + 8)};
    EXPECT_EQ(Content(l, 3, 9),
              kHead + Obj(1, 1430440205, "121.508538", "25.041667", 70, 123) + ",\r\n" +
                  Obj(2, 1430440206, "-2.000000", "-1.000000", 255, 0) + ",\r\n" +
                  Obj(3, 1430440207, "20.000000", "10.000000", 3, 4) + "]};");
    // The second stamp is the record before the last fix.
    EXPECT_EQ(Name(l, 3, 9), L"C:\\GPSLOG\\baidu\\2015_05_01_08_30_05_2015_05_01_08_30_06_points.js");
}

TEST_F(PointsScriptTest, OnlyFixIsWrittenAndNamedWithThePreviousRecord) {
    CLogRecordList l{NoFix(T), NoFix(T + 1), Fix(T + 2), NoFix(T + 3)};
    EXPECT_EQ(Content(l, 1, 4), kHead + Obj(1, 1430440202, "121.508538", "25.041667", 70, 123) + "]};");
    EXPECT_EQ(Name(l, 1, 4), L"C:\\GPSLOG\\baidu\\2015_05_01_08_30_02_2015_05_01_08_30_01_points.js");
}

TEST_F(PointsScriptTest, LastFixAtRecordZeroNamesBothStampsFromIt) {
    CLogRecordList l{Fix(T), NoFix(T + 1)};
    EXPECT_EQ(Name(l, 0, 2), L"C:\\GPSLOG\\baidu\\2015_05_01_08_30_00_2015_05_01_08_30_00_points.js");
    EXPECT_EQ(Content(l, 0, 2), kHead + Obj(1, T, "121.508538", "25.041667", 70, 123) + "]};");
}

TEST_F(PointsScriptTest, UndrawableFixesLeaveGapsInIdsAndATrailingSeparator) {
    // A zero-coordinate fix first, and a satellite fix last: neither is written.
    CLogRecordList l{Fix(T, 0, 0), Fix(T + 1), NoFix(T + 2), Fix(T + 3), Satellite(T + 4)};
    EXPECT_EQ(Content(l, 0, 5),
              kHead + Obj(2, T + 1, "121.508538", "25.041667", 70, 123) + ",\r\n" +
                  Obj(4, T + 3, "121.508538", "25.041667", 70, 123) + ",\r\n]};");
}

TEST_F(PointsScriptTest, TimesFrom2038PrintNegative) {
    CLogRecordList l{Fix(0x80000000u), Fix(0xFFFFFFFFu)};
    std::string text = Content(l, 0, 2);
    EXPECT_NE(text.find("\"time\":\"-2147483648\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"time\":\"-1\""), std::string::npos) << text;
}

TEST_F(PointsScriptTest, NoVersionGivesAnEmptyComment) {
    CLogRecordList l{Fix(T)};
    EXPECT_EQ(PointsScriptContent(CExportJob{l, L"", L"", 2052}, 0, 1).rfind(
                  "//\r\nvar points_fromJson ={\"points\":[{", 0),
              0u);
    EXPECT_EQ(PointsScriptContent(CExportJob{l, L"", L"", 2052}, 1, 1), "");
}

TEST_F(PointsScriptTest, WrittenIntoAnExistingFolderOnly) {
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    CLogRecordList l{Fix(T), Fix(T + 1)};
    CExportJob job{l, L"SN", L"V 1.0.2.3", 2052};
    std::filesystem::create_directories(drive.LogDir());
    auto failure = WritePointsScript(job, 0, 2);
    EXPECT_FALSE(std::filesystem::exists(drive.LogDir() / "baidu"));
    ASSERT_TRUE(failure.has_value());
    std::wstring where;
    LoadLanguageString(2052, 181, where);
    EXPECT_EQ(failure->reason, where);  // tells the user where the map folder goes

    std::filesystem::create_directories(drive.LogDir() / "Baidu");
    EXPECT_FALSE(WritePointsScript(job, 0, 2).has_value());
    EXPECT_EQ(test::FileNames(drive.LogDir() / "Baidu"),
              std::vector<std::string>{"2015_05_01_08_30_00_2015_05_01_08_30_00_points.js"});
    EXPECT_EQ(test::ReadFile(drive.LogDir() / "Baidu" / "2015_05_01_08_30_00_2015_05_01_08_30_00_points.js"),
              Content(l, 0, 2));
    EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
}  // namespace wing
