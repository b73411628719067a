#include <gtest/gtest.h>

#include <thread>

#include "log/log_fixture.h"
#include "log/save_worker.h"
#include "resources/string_table.h"
#include "support/recording_window.h"

namespace wing {
namespace {

using test::FileNames;
using test::Fix;
using test::NoFix;
namespace fs = std::filesystem;

class SaveWorkerTest : public ::testing::Test {
protected:
    void Run(const CLogRecordList& list, unsigned lang, const std::wstring& sn = L"A1234567") {
        // On its own thread, as the window starts it.
        std::thread worker(SaveWorker, std::cref(list), sn, std::wstring(L"V 1.0.2.3"), lang, &window);
        worker.join();
        auto saved = window.Messages(WM_FILES_SAVED);
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(saved[0].wParam, 0u);
        EXPECT_EQ(saved[0].lParam, 0);
        EXPECT_FALSE(saved[0].sent);
    }
    std::wstring String(unsigned lang, unsigned id) {
        std::wstring s;
        LoadLanguageString(lang, id, s);
        return s;
    }

    test::ScopedTimeZone tz{"Asia/Taipei"};
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    test::RecordingWindow window;
};

// Two local days with fixes, one non-fix record at the end.
CLogRecordList TwoDays() {
    return {Fix(test::T0), Fix(test::T0 + 60), Fix(test::T0 + 86400), Fix(test::T0 + 86460),
            NoFix(test::T0 + 86520)};
}

TEST_F(SaveWorkerTest, EnglishWritesAKmlPerDayAndTheCsv) {
    Run(TwoDays(), LANG_EN_US);
    EXPECT_TRUE(fs::is_directory(drive.LogDir()));
    EXPECT_EQ(FileNames(drive.LogDir()),
              (std::vector<std::string>{
                  "A1234567_2015_05_01_08_30_00_2015_05_01_08_31_00.kml",
                  "A1234567_2015_05_01_08_30_00_2015_05_02_08_31_00.csv",
                  "A1234567_2015_05_02_08_30_00_2015_05_02_08_31_00.kml",
              }));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SaveWorkerTest, ExistingFolderInOtherCaseIsReused) {
    fs::create_directory(drive.Root() / "GPSLog");
    Run(TwoDays(), LANG_ZH_TW);
    EXPECT_FALSE(fs::exists(drive.Root() / "GPSLOG"));
    EXPECT_EQ(FileNames(drive.Root() / "GPSLog").size(), 3u);
}

TEST_F(SaveWorkerTest, SimplifiedChineseWritesPointsScriptsInsteadOfKml) {
    fs::create_directories(drive.LogDir() / "baidu");
    Run(TwoDays(), LANG_ZH_CN);
    EXPECT_EQ(FileNames(drive.LogDir()),
              std::vector<std::string>{"A1234567_2015_05_01_08_30_00_2015_05_02_08_31_00.csv"});
    EXPECT_EQ(FileNames(drive.LogDir() / "baidu"),
              (std::vector<std::string>{
                  "2015_05_01_08_30_00_2015_05_01_08_30_00_points.js",
                  "2015_05_02_08_30_00_2015_05_02_08_30_00_points.js",
              }));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SaveWorkerTest, MissingMapFolderIsReportedPerDayWithAFixAndTheCsvStillWritten) {
    CLogRecordList list = TwoDays();
    list.push_back(Fix(test::T0 + 2 * 86400));
    list.push_back(NoFix(test::T0 + 3 * 86400));  // a day without a fix: no message
    Run(list, LANG_ZH_CN);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>(3, String(LANG_ZH_CN, 181)));
    EXPECT_FALSE(fs::exists(drive.LogDir() / "baidu"));
    EXPECT_EQ(FileNames(drive.LogDir()).size(), 1u);
}

TEST_F(SaveWorkerTest, NoFixWritesOnlyTheCsvAfterOneMessage) {
    Run({NoFix(test::T0), NoFix(test::T0 + 86400)}, LANG_EN_US);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{String(LANG_EN_US, 188)});
    EXPECT_EQ(FileNames(drive.LogDir()),
              std::vector<std::string>{"A1234567_2015_05_01_08_30_00_2015_05_02_08_30_00.csv"});
}

TEST_F(SaveWorkerTest, EmptyListWritesNothingAndStillReports) {
    Run({}, LANG_EN_US);
    EXPECT_TRUE(FileNames(drive.LogDir()).empty());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SaveWorkerTest, UncreatableFolderWritesNothingAndStillReports) {
    std::ofstream(drive.Base() / "plainfile") << "x";
    drive.MapDrive(drive.Base() / "plainfile" / "c");
    Run(TwoDays(), LANG_EN_US);
    EXPECT_TRUE(FileNames(drive.Root()).empty());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SaveWorkerTest, DeviceTextCannotLeaveTheLogFolder) {
    Run(TwoDays(), LANG_EN_US, L"..\\..\\x/../y");
    auto names = FileNames(drive.LogDir());
    ASSERT_EQ(names.size(), 3u);
    for (const auto& n : names) EXPECT_EQ(n.rfind(".._.._x_.._y_2015_05_0", 0), 0u) << n;
    EXPECT_EQ(FileNames(drive.Root()).size(), 0u);
    EXPECT_EQ(FileNames(drive.Base()).size(), 0u);
}

}  // namespace
}  // namespace wing
