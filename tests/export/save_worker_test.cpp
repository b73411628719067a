#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "log/log_fixture.h"
#include "export/save_worker.h"
#include "platform/text.h"
#include "resources/string_table.h"
#include "support/decimal_comma.h"
#include "support/recording_window.h"

namespace wing {
namespace {

using test::FileNames;
using test::Fix;
using test::NoFix;
namespace fs = std::filesystem;

class SaveWorkerTest : public ::testing::Test {
protected:
    // Runs the save on its own thread, as the window starts it; the number of files it
    // reported as not in place.
    std::size_t Run(const CLogRecordList& list, unsigned lang, const std::wstring& sn = L"A1234567") {
        window.Clear();
        std::thread worker(SaveWorker, list, sn, std::wstring(L"V 1.0.2.3"), lang, &window);
        worker.join();
        auto saved = window.Messages(WM_FILES_SAVED);
        EXPECT_EQ(saved.size(), 1u);
        if (saved.size() != 1) return ~std::size_t{0};
        EXPECT_EQ(saved[0].lParam, 0);
        EXPECT_FALSE(saved[0].sent);
        return saved[0].wParam;
    }
    // The boxes of files not in place, each the first line of string 194, the file's
    // path and the reason.
    std::vector<std::wstring> FailureBoxes() {
        std::vector<std::wstring> out;
        const std::wstring head = String(LANG_EN_US, IDS_FILE_NOT_SAVED) + L"\n";
        for (const auto& t : boxes.Texts())
            if (t.rfind(head, 0) == 0 || t.rfind(String(LANG_ZH_CN, IDS_FILE_NOT_SAVED) + L"\n", 0) == 0) out.push_back(t);
        return out;
    }
    void ExpectFailureBoxes(std::size_t count, const std::wstring& pathPart, const std::wstring& reasonPart) {
        auto texts = FailureBoxes();
        EXPECT_EQ(texts.size(), count);
        for (const auto& t : texts) {
            EXPECT_NE(t.find(pathPart), std::wstring::npos) << ToUtf8(t);
            EXPECT_NE(t.find(reasonPart), std::wstring::npos) << ToUtf8(t);
        }
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

// Every file below `dir` with its contents.
std::map<std::string, std::string> Contents(const fs::path& dir) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file()) out[fs::relative(it->path(), dir).string()] = test::ReadFile(it->path());
    return out;
}

TEST_F(SaveWorkerTest, EnglishWritesAKmlPerDayAndTheCsv) {
    EXPECT_EQ(Run(TwoDays(), LANG_EN_US), 0u);
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
    EXPECT_EQ(Run(TwoDays(), LANG_ZH_TW), 0u);
    EXPECT_FALSE(fs::exists(drive.Root() / "GPSLOG"));
    EXPECT_EQ(FileNames(drive.Root() / "GPSLog").size(), 3u);
}

TEST_F(SaveWorkerTest, SimplifiedChineseWritesPointsScriptsInsteadOfKml) {
    fs::create_directories(drive.LogDir() / "baidu");
    EXPECT_EQ(Run(TwoDays(), LANG_ZH_CN), 0u);
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
    list.push_back(NoFix(test::T0 + 3 * 86400));  // a day without a fix: no file, no message
    EXPECT_EQ(Run(list, LANG_ZH_CN), 3u);
    // Each day's script is not in place, and its box says where the map folder goes.
    EXPECT_EQ(boxes.Texts().size(), 3u);
    ExpectFailureBoxes(3, L"_points.js", String(LANG_ZH_CN, 181));
    EXPECT_FALSE(fs::exists(drive.LogDir() / "baidu"));
    EXPECT_EQ(FileNames(drive.LogDir()).size(), 1u);
}

TEST_F(SaveWorkerTest, NoFixWritesOnlyTheCsvAfterOneMessage) {
    EXPECT_EQ(Run({NoFix(test::T0), NoFix(test::T0 + 86400)}, LANG_EN_US), 0u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{String(LANG_EN_US, 188)});
    EXPECT_EQ(FileNames(drive.LogDir()),
              std::vector<std::string>{"A1234567_2015_05_01_08_30_00_2015_05_02_08_30_00.csv"});
}

TEST_F(SaveWorkerTest, EmptyListWritesNothingAndStillReports) {
    EXPECT_EQ(Run({}, LANG_EN_US), 0u);
    EXPECT_TRUE(FileNames(drive.LogDir()).empty());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SaveWorkerTest, LogFolderThatCannotBeHadIsReportedWithItsReason) {
    struct Case {
        const char* what;
        std::function<void(test::TempDrive&)> arrange;
        const wchar_t* reason;
    };
    const Case cases[] = {
        {"drive below a plain file",
         [](test::TempDrive& d) {
             std::ofstream(d.Base() / "plainfile") << "x";
             d.MapDrive(d.Base() / "plainfile" / "c");
         },
         L"Not a directory"},
        {"log folder is a plain file",
         [](test::TempDrive& d) { std::ofstream(d.Root() / "GPSLOG") << "x"; }, L"Not a directory"},
        {"log folder is a dangling link",
         [](test::TempDrive& d) { fs::create_symlink(d.Base() / "gone", d.Root() / "GPSLOG"); }, L"exists"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDrive own;
        c.arrange(own);
        boxes.Clear();
        EXPECT_EQ(Run(TwoDays(), LANG_EN_US), 1u);
        ExpectFailureBoxes(1, L"GPSLOG", c.reason);
        std::error_code ec;
        EXPECT_FALSE(fs::is_directory(own.LogDir(), ec));
    }
}

TEST_F(SaveWorkerTest, DeviceTextCannotLeaveTheLogFolder) {
    EXPECT_EQ(Run(TwoDays(), LANG_EN_US, L"..\\..\\x/../y"), 0u);
    auto names = FileNames(drive.LogDir());
    ASSERT_EQ(names.size(), 3u);
    for (const auto& n : names) EXPECT_EQ(n.rfind(".._.._x_.._y_2015_05_0", 0), 0u) << n;
    EXPECT_EQ(FileNames(drive.Root()).size(), 0u);
    EXPECT_EQ(FileNames(drive.Base()).size(), 0u);
}

// Each file the formats choose, and no other, by the same day split; a day format with no
// fix to show tells the user once, the CSV alone says nothing.
TEST_F(SaveWorkerTest, FormatsChooseTheFilesWritten) {
    const std::string csv = "A1234567_2015_05_01_08_30_00_2015_05_02_08_31_00.csv";
    const std::string gpx = "A1234567_2015_05_01_08_30_00_2015_05_02_08_31_00.gpx";
    const std::string kml1 = "A1234567_2015_05_01_08_30_00_2015_05_01_08_31_00.kml";
    const std::string kml2 = "A1234567_2015_05_02_08_30_00_2015_05_02_08_31_00.kml";
    const std::string js1 = "baidu/2015_05_01_08_30_00_2015_05_01_08_30_00_points.js";
    const std::string js2 = "baidu/2015_05_02_08_30_00_2015_05_02_08_30_00_points.js";
    struct Case {
        const char* what;
        unsigned lang;
        std::optional<ExportFormats> formats;
        std::set<std::string> files;
    };
    const Case cases[] = {
        {"by language, English", LANG_EN_US, std::nullopt, {kml1, kml2, csv}},
        {"by language, Simplified Chinese", LANG_ZH_CN, std::nullopt, {js1, js2, csv}},
        {"the window's English with GPX", LANG_EN_US, FormatsForLanguage(LANG_EN_US, true), {kml1, kml2, gpx, csv}},
        {"the window's Simplified Chinese with GPX", LANG_ZH_CN, FormatsForLanguage(LANG_ZH_CN, true),
         {js1, js2, gpx, csv}},
        {"CSV and GPX", LANG_EN_US, ExportFormats{true, false, false, true}, {gpx, csv}},
        {"GPX alone", LANG_ZH_TW, ExportFormats{false, false, false, true}, {gpx}},
        {"CSV alone", LANG_EN_US, ExportFormats{true, false, false, false}, {csv}},
        {"everything", LANG_EN_US, ExportFormats{true, true, true, true}, {kml1, kml2, js1, js2, gpx, csv}},
    };
    const CLogRecordList list = TwoDays();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(drive.LogDir());
        fs::create_directories(drive.LogDir() / "baidu");
        EXPECT_TRUE(SaveFiles(CExportJob{list, L"A1234567", L"V 1.0.2.3", c.lang, c.formats}).empty());
        std::set<std::string> written;
        for (const auto& [name, bytes] : Contents(drive.LogDir())) written.insert(name);
        EXPECT_EQ(written, c.files);
    }
    EXPECT_TRUE(boxes.Texts().empty());

    const CLogRecordList noFix{NoFix(test::T0), NoFix(test::T0 + 86400)};
    for (const auto& [formats, messages] : {std::pair{ExportFormats{true, false, false, true}, 1u},
                                            std::pair{ExportFormats{true, true, false, true}, 1u},
                                            std::pair{ExportFormats{true, false, false, false}, 0u}}) {
        boxes.Clear();
        fs::remove_all(drive.LogDir());
        EXPECT_TRUE(SaveFiles(CExportJob{noFix, L"A1234567", L"V 1", LANG_EN_US, formats}).empty());
        EXPECT_EQ(boxes.Texts().size(), messages) << formats.kml << formats.gpx;
        EXPECT_EQ(FileNames(drive.LogDir()),
                  std::vector<std::string>{"A1234567_2015_05_01_08_30_00_2015_05_02_08_30_00.csv"});
    }
}

// Every file other programs read has a decimal point whatever the user's numbers look like.
TEST_F(SaveWorkerTest, EveryFileIsTheSameUnderADecimalComma) {
    // Two days south and west of Greenwich: negative numbers with fractions everywhere.
    const CLogRecordList list{Fix(test::T0, -33521234, -70401234, 70, 5), Fix(test::T0 + 60, -33521734, -70401734),
                              Fix(test::T0 + 86400, -33522234, -70402234), Fix(test::T0 + 86460, -33522734, -70402734),
                              NoFix(test::T0 + 86520)};
    const CExportJob job{list, L"A1234567", L"V 1.0.2.3", LANG_EN_US, ExportFormats{true, true, true, true}};
    fs::create_directories(drive.LogDir() / "baidu");
    ASSERT_TRUE(SaveFiles(job).empty());
    const auto withPoint = Contents(drive.LogDir());
    ASSERT_EQ(withPoint.size(), 6u);  // two days of KML and of scripts, the GPX, the CSV
    {
        test::ScopedDecimalComma comma;
        if (!comma.Active()) GTEST_SKIP() << "no locale with a decimal comma here, and localedef could not make one";
        char sample[16];
        std::snprintf(sample, sizeof sample, "%.1f", 1.5);
        ASSERT_STREQ(sample, "1,5");
        ASSERT_TRUE(SaveFiles(job).empty());
    }
    const auto withComma = Contents(drive.LogDir());
    ASSERT_EQ(withComma.size(), withPoint.size());
    for (const auto& [name, bytes] : withPoint) {
        SCOPED_TRACE(name);
        EXPECT_EQ(withComma.at(name), bytes);
    }
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
    EXPECT_EQ(Run(TwoDays(), LANG_EN_US), 0u);
    const auto earlier = Contents(drive.Root());
    ASSERT_EQ(earlier.size(), 3u);

    // The same names again, the first day's and the CSV far larger than the disk: those
    // writes fail, and each is reported with the system's reason (the second day's
    // file is the same as before and fits).
    EXPECT_EQ(Run(SameNamesButLarge(), LANG_EN_US), 2u);
    ExpectFailureBoxes(2, L"A1234567_2015_05_0", L"No space left on device");
    EXPECT_EQ(Contents(drive.Root()), earlier);
    // A second, different run on the full disk adds only whole files, if any.
    CLogRecordList other;
    for (int i = 0; i < 2000; ++i) other.push_back(Fix(test::T0 + 5 * 86400 + i));
    const std::size_t failed = Run(other, LANG_EN_US);
    for (const auto& [name, text] : Contents(drive.Root())) {
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
        if (earlier.count(name)) EXPECT_EQ(text, earlier.at(name)) << name;
        else ADD_FAILURE() << "a file was written although the disk is full: " << name;
    }
    EXPECT_EQ(failed, 2u);  // its KML and its CSV
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
    EXPECT_EQ(Run(TwoDays(), LANG_EN_US), 3u);
    ExpectFailureBoxes(3, L"A1234567_2015_05_0", ::geteuid() != 0 ? L"Permission denied" : L"Read-only file system");
    boxes.Clear();
    EXPECT_EQ(Run(TwoDays(), LANG_ZH_CN), 3u);  // no map folder either: two days, and the CSV
    EXPECT_EQ(FailureBoxes().size(), 3u);
    EXPECT_EQ(Contents(drive.Root()), earlier);
    if (::geteuid() != 0) fs::permissions(drive.LogDir(), fs::perms::owner_all, std::filesystem::perm_options::add);
}

TEST_F(SaveWorkerTest, ReadOnlyDriveWithoutTheFolderWritesNothingAndStillReports) {
    ScopedTmpfs disk(drive.Root(), "size=1m");
    SKIP_UNLESS_MOUNTED(disk);
    ASSERT_TRUE(disk.MakeReadOnly()) << std::strerror(errno);
    EXPECT_EQ(Run(TwoDays(), LANG_EN_US), 1u);
    ExpectFailureBoxes(1, L"GPSLOG", L"Read-only file system");
    EXPECT_TRUE(Contents(drive.Root()).empty());
}

}  // namespace
}  // namespace wing
