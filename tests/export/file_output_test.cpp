#include "export/file_output.h"
#include "platform/text.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <fstream>

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

// Runs the body with LC_CTYPE set to `name`, as the program runs in the user's locale.
template <typename Body>
void InCtype(const char* name, Body body) {
    std::string old = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, name), nullptr) << name;
    body();
    std::setlocale(LC_CTYPE, old.c_str());
}

TEST(SerialNamePart, KeepsOrdinarySerialsAndCutsLongOnesToFitTheNameLimit) {
    const std::wstring rest = L"_2015_05_01_08_30_00_2015_05_01_10_51_30.kml";
    InCtype("C.UTF-8", [&] {
        EXPECT_EQ(SerialNamePart(L"WG1507A0042", rest), L"WG1507A0042");
        EXPECT_EQ(SerialNamePart(L"信鴿01", rest), L"信鴿01");
        const std::wstring cases[] = {
            std::wstring(128, L'\uFFFD'),  // an erased serial area: 128 bytes 0xFF
            std::wstring(100, L'\uFFFD'),
            std::wstring(43, L'\u4FE1'),   // 43 characters of three bytes each, and more
            std::wstring(200, L'a'),
            std::wstring(120, L'\u4FE1') + L"/..",
        };
        for (const auto& serial : cases) {
            const std::wstring part = SerialNamePart(serial, rest);
            const std::string name = ToLocale8(part + rest);
            EXPECT_LE(name.size() + kTempNameExtraBytes, static_cast<std::size_t>(NAME_MAX)) << name;
            EXPECT_FALSE(part.empty());
            // Cut on a character boundary: a prefix of the safe text, whole characters only.
            EXPECT_EQ(FileNameSafe(serial).rfind(part, 0), 0u);
        }
        // The longest such name, and its temporary name, can be created.
        char tmpl[] = "/tmp/wing-name-XXXXXX";
        const fs::path dir = mkdtemp(tmpl);
        const fs::path target = dir / ToLocale8(SerialNamePart(std::wstring(128, L'\uFFFD'), rest) + rest);
        std::string why;
        EXPECT_TRUE(ReplaceFileContents(target, "x", &why)) << why;
        EXPECT_TRUE(fs::exists(target));
        fs::remove_all(dir);
    });
}

TEST(XmlSafeUtf8, ReplacesOnlyWhatXmlForbids) {
    struct Case {
        std::wstring in;
        std::string out;
    } cases[] = {
        {L"WG1507A0042", "WG1507A0042"},
        {L"\t\r\n", "\t\r\n"},
        {std::wstring(L"a\x01\x1b b"), "a\xEF\xBF\xBD\xEF\xBF\xBD b"},
        {std::wstring(1, L'\0') + L"x", "\xEF\xBF\xBDx"},
        {std::wstring(1, static_cast<wchar_t>(0xFFFE)), "\xEF\xBF\xBD"},
        {std::wstring(1, static_cast<wchar_t>(0xD800)), "\xEF\xBF\xBD"},
        {L"信鴿 \U0001F54A", "\xE4\xBF\xA1\xE9\xB4\xBF \xF0\x9F\x95\x8A"},
    };
    for (const auto& c : cases) EXPECT_EQ(XmlSafeUtf8(c.in), c.out);
}

TEST(RemoveStaleTempFiles, RemovesOnlyOurLeftoversOfFinishedRuns) {
    char tmpl[] = "/tmp/wing-stale-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    // A process id that is certainly not running: a child that has been reaped.
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    struct File {
        std::string name;
        bool old;
        bool removed;
    } files[] = {
        {".A1_2015.csv." + dead + ".3.0a1b2c3d.tmp", true, true},
        {".A1.x_2015.kml." + dead + ".0.ffffffff.tmp", true, true},
        {".A1_2015.csv." + dead + ".4.0a1b2c3d.tmp", false, false},            // newer than this process
        {".A1_2015.csv.1.5.0a1b2c3d.tmp", true, false},                        // its writer still runs
        {".A1_2015.csv." + std::to_string(getpid()) + ".6.0a1b2c3d.tmp", true, false},  // ours
        {".A1_2015.csv." + dead + ".7.0a1b2c3.tmp", true, false},              // not our pattern
        {"A1_2015.csv." + dead + ".8.0a1b2c3d.tmp", true, false},
        {".notes.tmp", true, false},
        {"A1_2015.csv", true, false},
    };
    for (const auto& f : files) {
        std::ofstream(dir / f.name) << "x";
        if (f.old) fs::last_write_time(dir / f.name, old);
    }
    RemoveStaleTempFiles(dir);
    for (const auto& f : files) EXPECT_EQ(fs::exists(dir / f.name), !f.removed) << f.name;
    fs::remove_all(dir);
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
        for (auto failure : {WriteCsvFile(job2), WriteKmlFile(job2, 0, 3), WritePointsScript(job2, 0, 3)}) {
            ASSERT_TRUE(failure.has_value());
            EXPECT_EQ(failure->reason, L"File too large");
            EXPECT_EQ(failure->path.find(FromLocale8(drive.LogDir().string())), 0u) << ToUtf8(failure->path);
        }
    }
    EXPECT_EQ(test::FileNames(drive.LogDir()), before);
    EXPECT_EQ(test::FileNames(drive.LogDir() / "baidu"), beforeJs);
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(test::ReadFile(drive.LogDir() / before[i]), contents[i]) << before[i];
    EXPECT_EQ(test::ReadFile(drive.LogDir() / "baidu" / beforeJs[0]), js);
    EXPECT_TRUE(boxes.Texts().empty());  // the writers report; the save run shows
}

}  // namespace
}  // namespace wing
