#include "export/csv_writer.h"

#include <gtest/gtest.h>

#include "log/log_fixture.h"

namespace wing {
namespace {

using test::Fix;
using test::NoFix;
using test::Satellite;

class CsvTest : public ::testing::Test {
protected:
    test::ScopedTimeZone tz{"Asia/Taipei"};
};

TEST_F(CsvTest, ExampleRowsByteForByte) {
    CLogRecordList list;
    list.push_back(Fix(test::T0, 25025000, 121305123, 70, 123));
    // Satellite slot: bytes 4-6 = 35, 40, 38, status 0xA0, kind bit only in byte 15.
    test::Slot s{};
    test::PutU32(s, 0, test::T0);
    s[4] = 35;
    s[5] = 40;
    s[6] = 38;
    s[13] = 0xA0;
    s[15] = 0x80;
    DecodeLogPage(test::Page({s}), 0, list, 2);
    ASSERT_EQ(list.size(), 2u);

    CExportJob job{list, L"A1234567", L"V 1.0.2.3", 1033};
    EXPECT_EQ(CsvContent(job),
              "SN :A1234567\r\n"
              "GPS Board :V 1.0.2.3\r\n"
              "DateTime, GPSLong, GPSLat, Debug Status,Switch,Plugin,Wake On, Status ,Speed, "
              "Altitude,CN1,CN2,CN3,CN4,CN5,CN6,CN7,CN8,CN9,CN10,CN11,CN12\r\n"
              "2015-05-01  08:30:00,121.508538,25.041667,0,0,0,0,0,70,123,"
              "N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A\r\n"
              "2015-05-01  08:30:00,N/A,N/A,160,1,0,1,0,N/A,N/A,35,40,38,0,0,0,0,0,0,32,0,0,\r\n");
}

TEST_F(CsvTest, HeaderLinesWithoutSerialOrVersion) {
    CLogRecordList list{Fix(test::T0)};
    std::string text = CsvContent(CExportJob{list, L"", L"", 1033});
    EXPECT_EQ(text.rfind("SN :\r\nGPS Board :\r\nDateTime,", 0), 0u);
    // A line break in the device's text never starts a line of its own.
    text = CsvContent(CExportJob{list, L"\x01\x1b\r\nA1\n", L"V\r1", 1033});
    EXPECT_EQ(text.rfind("SN :\x01\x1b  A1 \r\nGPS Board :V 1\r\nDateTime,", 0), 0u);
    // The version is cut to the 63 bytes its buffer holds.
    text = CsvContent(CExportJob{list, L"", std::wstring(100, L'9'), 1033});
    EXPECT_NE(text.find("GPS Board :" + std::string(63, '9') + "\r\n"), std::string::npos);
}

TEST_F(CsvTest, RowValueEdges) {
    CLogRecordList list{Fix(test::T0, -25025000, 0, 255, 32767)};
    list[0].speed = 255 | 0x12 << 8;  // the high byte is the status byte and never printed
    std::string text = CsvContent(CExportJob{list, L"", L"", 1033});
    EXPECT_NE(text.find(",0.000000,-25.041667,0,0,0,0,0,255,32767,N/A"), std::string::npos) << text;
}

TEST_F(CsvTest, NameStampsComeFromFixesBeforeTheFinalRecord) {
    const std::uint32_t t = test::T0;
    struct Case {
        const char* what;
        CLogRecordList list;
        const wchar_t* name;
    } cases[] = {
        {"one record", {Fix(t)}, L"C:\\GPSLog\\SN_2015_05_01_08_30_00_2015_05_01_08_30_00.csv"},
        {"only the final record a fix",
         {NoFix(t), NoFix(t + 1), Fix(t + 2)},
         L"C:\\GPSLog\\SN_2015_05_01_08_30_00_2015_05_01_08_30_02.csv"},
        {"an earlier fix before a final fix",
         {NoFix(t), Fix(t + 1), Fix(t + 2), NoFix(t + 3), Fix(t + 4)},
         L"C:\\GPSLog\\SN_2015_05_01_08_30_01_2015_05_01_08_30_02.csv"},
        {"no fix", {NoFix(t), NoFix(t + 9)}, L"C:\\GPSLog\\SN_2015_05_01_08_30_00_2015_05_01_08_30_09.csv"},
        {"satellite fix counts", {Satellite(t + 5), NoFix(t + 6), Satellite(t + 7), NoFix(t + 8)},
         L"C:\\GPSLog\\SN_2015_05_01_08_30_05_2015_05_01_08_30_07.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CsvFileName(CExportJob{c.list, L"SN", L"", 1033}), c.name);
    }
    CLogRecordList one{Fix(t)};
    EXPECT_EQ(CsvFileName(CExportJob{one, L"", L"", 1033}),
              L"C:\\GPSLog\\2015_05_01_08_30_00_2015_05_01_08_30_00.csv");
    EXPECT_EQ(CsvFileName(CExportJob{one, L"a/b\\c:d", L"", 1033}),
              L"C:\\GPSLog\\a_b_c_d_2015_05_01_08_30_00_2015_05_01_08_30_00.csv");
}

TEST_F(CsvTest, ReadingTheSameLogAgainReplacesTheFile) {
    test::TempDrive drive;
    std::filesystem::create_directories(drive.LogDir());
    CLogRecordList list{Fix(test::T0), Fix(test::T0 + 60)};
    WriteCsvFile(CExportJob{list, L"A1", L"V 1", 1033});
    WriteCsvFile(CExportJob{list, L"A1", L"V 2", 1033});
    auto names = test::FileNames(drive.LogDir());
    ASSERT_EQ(names, std::vector<std::string>{"A1_2015_05_01_08_30_00_2015_05_01_08_30_00.csv"});
    EXPECT_NE(test::ReadFile(drive.LogDir() / names[0]).find("GPS Board :V 2\r\n"), std::string::npos);
}

TEST_F(CsvTest, MissingFolderWritesNothingAndSaysWhy) {
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    CLogRecordList list{Fix(test::T0)};
    auto failure = WriteCsvFile(CExportJob{list, L"A1", L"", 1033});
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->reason, L"No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(drive.LogDir()));
    EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
}  // namespace wing
