#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
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
        window.Clear();
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


// A small file system of its own on `at` (tmpfs). Mounting needs the right to (root, as
// in the container and in CI); without it the test says so and is skipped.
class ScopedTmpfs {
public:
    ScopedTmpfs(const fs::path& at, const char* options) : m_at(at) {
        fs::create_directories(at);
        m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
        if (!m_mounted) m_error = std::strerror(errno);
    }
    ~ScopedTmpfs() {
        if (m_mounted) ::umount2(m_at.c_str(), MNT_DETACH);
    }
    // Makes it read-only, also for root.
    bool MakeReadOnly() {
        return ::mount("tmpfs", m_at.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    bool Mounted() const { return m_mounted; }
    const std::string& Error() const { return m_error; }

private:
    fs::path m_at;
    bool m_mounted = false;
    std::string m_error;
};

#define SKIP_UNLESS_MOUNTED(fs_)                                                                       \
    if (!(fs_).Mounted())                                                                              \
    GTEST_SKIP() << "cannot mount a tmpfs here (" << (fs_).Error()                                     \
                 << "); run as root or with CAP_SYS_ADMIN to check the export on a full or read-only disk"

// Every file below `dir` with its contents.
std::map<std::string, std::string> Contents(const fs::path& dir) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file()) out[fs::relative(it->path(), dir).string()] = test::ReadFile(it->path());
    return out;
}

// `TwoDays()` with 3000 more fixes between the first two, so the files get the same
// names as its files but the first day's and the CSV are far larger.
CLogRecordList SameNamesButLarge() {
    CLogRecordList list{Fix(test::T0)};
    for (int i = 0; i < 3000; ++i) list.push_back(Fix(test::T0 + 1 + i / 60));
    list.push_back(Fix(test::T0 + 60));
    list.push_back(Fix(test::T0 + 86400));
    list.push_back(Fix(test::T0 + 86460));
    list.push_back(NoFix(test::T0 + 86520));
    return list;
}

TEST_F(SaveWorkerTest, FullDiskKeepsEveryEarlierFileWholeAndLeavesNoPartFile) {
    ScopedTmpfs disk(drive.Root(), "size=64k");
    SKIP_UNLESS_MOUNTED(disk);
    Run(TwoDays(), LANG_EN_US);
    const auto earlier = Contents(drive.Root());
    ASSERT_EQ(earlier.size(), 3u);

    // The same names again, each far larger than the disk: every write fails.
    Run(SameNamesButLarge(), LANG_EN_US);
    EXPECT_EQ(Contents(drive.Root()), earlier);
    // A second, different run on the full disk adds only whole files, if any.
    CLogRecordList other;
    for (int i = 0; i < 2000; ++i) other.push_back(Fix(test::T0 + 5 * 86400 + i));
    Run(other, LANG_EN_US);
    for (const auto& [name, text] : Contents(drive.Root())) {
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
        if (earlier.count(name)) EXPECT_EQ(text, earlier.at(name)) << name;
        else ADD_FAILURE() << "a file was written although the disk is full: " << name;
    }
    // Each KML document that could not be saved is reported, as a failed save is.
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>(2, L"Error: "));
}

TEST_F(SaveWorkerTest, ReadOnlyLogFolderKeepsTheEarlierFilesAndStillReports) {
    ScopedTmpfs disk(drive.Root(), "size=1m");
    if (::geteuid() != 0) {
        // Without root a mode is enough to refuse writes.
        fs::create_directories(drive.LogDir());
        std::ofstream(drive.LogDir() / "earlier.csv") << "SN :A1\r\n";
        fs::permissions(drive.LogDir(), fs::perms::owner_read | fs::perms::owner_exec);
    } else {
        SKIP_UNLESS_MOUNTED(disk);
        fs::create_directories(drive.LogDir());
        std::ofstream(drive.LogDir() / "earlier.csv") << "SN :A1\r\n";
        ASSERT_TRUE(disk.MakeReadOnly()) << std::strerror(errno);
    }
    const auto earlier = Contents(drive.Root());
    Run(TwoDays(), LANG_EN_US);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>(2, L"Error: "));
    Run(TwoDays(), LANG_ZH_CN);  // no map folder either: its notice per day
    EXPECT_EQ(boxes.Texts().size(), 4u);
    EXPECT_EQ(Contents(drive.Root()), earlier);
    if (::geteuid() != 0) fs::permissions(drive.LogDir(), fs::perms::owner_all, std::filesystem::perm_options::add);
}

TEST_F(SaveWorkerTest, ReadOnlyDriveWithoutTheFolderWritesNothingAndStillReports) {
    ScopedTmpfs disk(drive.Root(), "size=1m");
    SKIP_UNLESS_MOUNTED(disk);
    ASSERT_TRUE(disk.MakeReadOnly()) << std::strerror(errno);
    Run(TwoDays(), LANG_EN_US);
    EXPECT_TRUE(Contents(drive.Root()).empty());
}

}  // namespace
}  // namespace wing
