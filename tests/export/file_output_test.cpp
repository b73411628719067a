#include "export/file_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "export/csv_writer.h"
#include "export/file_size_limit.h"
#include "export/kml_writer.h"
#include "export/points_script.h"
#include "log/log_fixture.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using test::Fix;

TEST(FileNameSafe, OnlyUnsafeCharactersChange) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"A1234567", L"A1234567"},
        {L"SN-12.3 x", L"SN-12.3 x"},
        {L"信鴿01", L"信鴿01"},
        {L"../etc", L".._etc"},
        {L"a\\b/c", L"a_b_c"},
        {L"x\r\ny\x7f", L"x__y_"},
        {L"C:*?\"<>|", L"C_______"},
        {L"..", L"__"},
        {L".", L"_"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(FileNameSafe(c.in), c.out);
}

class ReplaceFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/wing-replace-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(ReplaceFileTest, WritesAndReplacesWithOrdinaryPermissions) {
    const fs::path target = dir / "a.csv";
    mode_t old = umask(022);
    ASSERT_TRUE(ReplaceFileContents(target, "first"));
    umask(old);
    EXPECT_EQ(test::ReadFile(target), "first");
    struct stat st{};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    ASSERT_TRUE(ReplaceFileContents(target, ""));
    EXPECT_EQ(test::ReadFile(target), "");
    EXPECT_EQ(test::FileNames(dir), std::vector<std::string>{"a.csv"});
}

TEST_F(ReplaceFileTest, FailuresLeaveTheEarlierFileAndNoLeftovers) {
    const fs::path target = dir / "a.csv";
    ASSERT_TRUE(ReplaceFileContents(target, "good"));
    {
        test::ScopedFileSizeLimit full(10);
        EXPECT_FALSE(ReplaceFileContents(target, std::string(4096, 'x')));
    }
    EXPECT_EQ(test::ReadFile(target), "good");
    EXPECT_EQ(test::FileNames(dir), std::vector<std::string>{"a.csv"});

    EXPECT_FALSE(ReplaceFileContents(dir / "missing" / "a.csv", "x"));
    fs::create_directory(dir / "adir");
    EXPECT_FALSE(ReplaceFileContents(dir / "adir", "x"));  // a folder in the way
    EXPECT_TRUE(fs::is_directory(dir / "adir"));
    EXPECT_EQ(test::FileNames(dir), std::vector<std::string>{"a.csv"});
}

// A write that fails after the open leaves each earlier export in place and is
// reported as each writer reports a file it cannot open.
TEST(WriterFailure, FullDiskKeepsEarlierExports) {
    test::ScopedTimeZone tz("Asia/Taipei");
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    fs::create_directories(drive.LogDir() / "baidu");
    CLogRecordList list{Fix(test::T0), Fix(test::T0 + 60), Fix(test::T0 + 120)};
    CExportJob job{list, L"A1", L"V 1", 1033};
    WriteCsvFile(job);
    WriteKmlFile(job, 0, 3);
    WritePointsScript(job, 0, 3);
    auto before = test::FileNames(drive.LogDir());
    auto beforeJs = test::FileNames(drive.LogDir() / "baidu");
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(beforeJs.size(), 1u);
    std::vector<std::string> contents;
    for (const auto& n : before) contents.push_back(test::ReadFile(drive.LogDir() / n));
    std::string js = test::ReadFile(drive.LogDir() / "baidu" / beforeJs[0]);

    CLogRecordList changed = list;
    for (auto& r : changed) r.altitude = 999;
    CExportJob job2{changed, L"A1", L"V 2", 1033};
    {
        test::ScopedFileSizeLimit full(16);
        WriteCsvFile(job2);
        WriteKmlFile(job2, 0, 3);
        WritePointsScript(job2, 0, 3);
    }
    EXPECT_EQ(test::FileNames(drive.LogDir()), before);
    EXPECT_EQ(test::FileNames(drive.LogDir() / "baidu"), beforeJs);
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(test::ReadFile(drive.LogDir() / before[i]), contents[i]) << before[i];
    EXPECT_EQ(test::ReadFile(drive.LogDir() / "baidu" / beforeJs[0]), js);
    // Only the KML writer shows a box for a failed save: "Error: " and the parser's
    // reason, which is empty after the successful parse.
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"Error: "});
}

}  // namespace
}  // namespace wing
