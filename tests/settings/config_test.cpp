#include <gtest/gtest.h>

#include "platform/module_dir.h"
#include "platform/settings_file.h"
#include "platform/unusual_files.h"
#include "resources/string_table.h"
#include "settings/config.h"
#include "settings/settings_test_env.h"

namespace wing {
namespace {

using testing_ui::BoxRecorder;
using testing_ui::ScratchDir;

struct Six {
    int competition;
    unsigned threshold;
    unsigned languageByOS;
    int ntp, personal, com;
};

void ExpectValues(const Config& c, const Six& e, const char* what) {
    EXPECT_EQ(c.competition, e.competition) << what;
    EXPECT_EQ(c.threshold, e.threshold) << what;
    EXPECT_EQ(c.languageByOS, e.languageByOS) << what;
    EXPECT_EQ(c.ntpEnable, e.ntp) << what;
    EXPECT_EQ(c.personal, e.personal) << what;
    EXPECT_EQ(c.comNumber, e.com) << what;
}

TEST(LoadConfig, MissingFileShowsOneMessageThenUsesTheFallBacks) {
    ScratchDir dir;
    for (unsigned lang : {LANG_ZH_TW, LANG_EN_US, LANG_ZH_CN}) {
        BoxRecorder boxes;
        const Config c = LoadConfig(lang, dir.path / "Wing.ini");
        ASSERT_EQ(boxes.boxes.size(), 1u) << lang;
        std::wstring expected;
        ASSERT_TRUE(LoadLanguageString(lang, 169, expected));
        EXPECT_EQ(boxes.boxes[0].text, expected);
        EXPECT_EQ(boxes.boxes[0].caption, kApplicationName);
        EXPECT_EQ(boxes.boxes[0].type, MB_OK);
        ExpectValues(c, {1, 40, 1, 0, 1, 0}, "missing");
        EXPECT_EQ(c.ntpServer, kDefaultNtpServer);
    }
    BoxRecorder boxes;
    LoadConfig(LANG_EN_US, dir.path / "Wing.ini");
    EXPECT_EQ(boxes.boxes.at(0).text, L"Can not find Wing.ini, please check");
}

TEST(LoadConfig, FilesGiveTheirValuesOrTheKeyDefaults) {
    struct Case {
        const char* what;
        const char* text;
        Six expected;
    };
    const Case cases[] = {
        {"empty file", "", {2, 4, 4, 0, 0, 0}},
        {"every key, the missing-file values",
         "[Mode]\nCompetition=1\n[Power]\nThreshold=40\n[Language]\nLanguageByOS=1\n"
         "[NTP]\nNTP=0\n[Personal]\nENABLE=1\nCOM=0\n",
         {1, 40, 1, 0, 1, 0}},
        {"station mode", "[Personal]\nENABLE=0\nCOM=7\n[NTP]\nNTP=1\n", {2, 4, 4, 1, 0, 7}},
        {"LanguageByOS keeps its low 8 bits", "[Language]\nLanguageByOS=257\n", {2, 4, 1, 0, 0, 0}},
        {"LanguageByOS 256 is 0", "[Language]\nLanguageByOS=256\n", {2, 4, 0, 0, 0, 0}},
        {"LanguageByOS -1 is 255", "[Language]\nLanguageByOS=-1\n", {2, 4, 255, 0, 0, 0}},
        {"mixed-case names",
         "[mode]\nCOMPETITION=0\n[POWER]\nthreshold=35\n[personal]\nEnable=2\nCom=3\n",
         {0, 35, 4, 0, 2, 3}},
        {"garbage values read as the reader gives them",
         "[Mode]\nCompetition=racing\n[Power]\nThreshold=38V\n[Personal]\nCOM=COM4\nENABLE=\n",
         {0, 38, 4, 0, 0, 0}},
        {"negative threshold compares unsigned", "[Power]\nThreshold=-5\n", {2, 0xFFFFFFFBu, 4, 0, 0, 0}},
        {"a value in a repeated section is not seen", "[Mode]\n[Power]\n[Mode]\nCompetition=0\n",
         {2, 4, 4, 0, 0, 0}},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        BoxRecorder boxes;
        const Config config = LoadConfig(LANG_EN_US, dir.Write(c.text));
        EXPECT_TRUE(boxes.boxes.empty()) << c.what;
        ExpectValues(config, c.expected, c.what);
    }
}

TEST(LoadConfig, TimeServerComesFromTheNtpSection) {
    ScratchDir dir;
    BoxRecorder boxes;
    EXPECT_EQ(LoadConfig(LANG_EN_US, dir.Write("[NTP]\nNTP=1\nServer = time.example.org\n")).ntpServer,
              "time.example.org");
    EXPECT_EQ(LoadConfig(LANG_EN_US, dir.Write("[NTP]\nNTP=1\nServer=\n")).ntpServer, "pool.ntp.org");
    EXPECT_EQ(LoadConfig(LANG_EN_US, dir.Write("[NTP]\nNTP=1\n")).ntpServer, "pool.ntp.org");
}

TEST(LoadConfig, GpxIsWrittenOnlyWhenTheExportSectionAsks) {
    const std::pair<const char*, int> cases[] = {
        {"", 0}, {"[Export]\nGPX=1\n", 1}, {"[Export]\nGPX=0\n", 0}, {"[export]\ngpx = 1\n", 1}, {"[Flight]\nGPX=1\n", 0},
    };
    ScratchDir dir;
    BoxRecorder boxes;
    for (const auto& [text, gpx] : cases) EXPECT_EQ(LoadConfig(LANG_EN_US, dir.Write(text)).gpx, gpx) << text;
    // The file the project installs keeps it off.
    EXPECT_EQ(LoadConfig(LANG_EN_US, std::filesystem::path(WING_SOURCE_DIR) / "data/Wing.ini").gpx, 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(LoadConfig, AnExistingButUnreadableFileCountsAsPresent) {
    // Each of these exists but cannot be read as a profile file (a FIFO once kept the
    // start waiting with no window); a dangling link is no file at all.
    ScratchDir dir;
    int n = 0;
    for (const auto& kind : test::UnusualFiles()) {
        const auto path = dir.path / ("Wing" + std::to_string(n++) + ".ini");
        kind.make(path, "[Mode]\nCompetition=0\n[Power]\nThreshold=38\n");
        BoxRecorder boxes;
        Config c;
        EXPECT_TRUE(test::ReturnsWithinFiveSeconds([&] { c = LoadConfig(LANG_EN_US, path); }, path)) << kind.what;
        const bool absent = kind.reason == nullptr;
        EXPECT_EQ(boxes.boxes.size(), absent ? 1u : 0u) << kind.what;
        ExpectValues(c, absent ? Six{1, 40, 1, 0, 1, 0} : Six{2, 4, 4, 0, 0, 0}, kind.what);
    }
}

// Bytes that are no text at all, NUL included, from a fixed seed.
std::string BinaryGarbage(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (auto& c : out) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return out;
}

constexpr const char* kStation = "[Mode]\nCompetition=0\n[Power]\nThreshold=38\n[Language]\nLanguageByOS=2\n"
                                 "[NTP]\nNTP=1\n[Personal]\nENABLE=0\nCOM=5\n";

TEST(LoadConfig, BadFilesReadAsTheRulesGiveThemWithoutAMessage) {
    const std::string garbage = BinaryGarbage(4096, 7);
    ASSERT_NE(garbage.find('\0'), std::string::npos);
    struct Case {
        const char* what;
        std::string text;
        Six expected;
    };
    const Case cases[] = {
        {"binary garbage only", garbage, {2, 4, 4, 0, 0, 0}},
        {"binary garbage after the settings", std::string(kStation) + garbage, {0, 38, 2, 1, 0, 5}},
        {"binary garbage before the settings", garbage + "\n" + kStation, {0, 38, 2, 1, 0, 5}},
        {"a NUL inside a line ends nothing but that line",
         "[Mode]\nCompetition=0\n[Power]\nThreshold=3" + std::string(1, '\0') + "9\n[Personal]\nCOM=5\n",
         {0, 3, 4, 0, 0, 5}},
        // Huge numbers wrap modulo 2^32 as the Windows reader's do.
        {"huge values",
         "[Mode]\nCompetition=99999999999999999999\n[Power]\nThreshold=4294967296\n[Language]\n"
         "LanguageByOS=4294967297\n[NTP]\nNTP=18446744073709551617\n[Personal]\nENABLE=-4294967295\n"
         "COM=-2147483649\n",
         {1661992959, 0, 1, 1, 1, 2147483647}},
        {"the largest values", "[Power]\nThreshold=4294967295\n[Personal]\nCOM=2147483647\n",
         {2, 4294967295u, 4, 0, 0, 2147483647}},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        BoxRecorder boxes;
        const Config config = LoadConfig(LANG_EN_US, dir.Write(c.text));
        EXPECT_TRUE(boxes.boxes.empty()) << c.what;
        ExpectValues(config, c.expected, c.what);
    }
}

TEST(LoadConfig, AVeryLongLineIsOneLineAndTheRestOfTheFileStillCounts) {
    // Thousands of times inih's line, yet leaving the file within the size that is read.
    constexpr std::size_t kLong = kSettingsFileLimit - 4096;
    auto repeated = [&](const std::string& piece) {
        std::string out;
        out.reserve(kLong + piece.size());
        while (out.size() < kLong) out += piece;
        return out;
    };
    struct Case {
        const char* what;
        std::string text;
        Six expected;
    };
    const Case cases[] = {
        // Wherever a reader cut this comment, a piece would start like a key: none may count.
        {"a comment full of keys",
         "[Personal]\nENABLE=0\n; " + repeated("COM=9 ") + "\nCOM=3\n[Mode]\nCompetition=0\n", {0, 4, 4, 0, 0, 3}},
        {"a value followed by almost 1 MiB of blanks",
         "[Power]\nThreshold=38" + repeated(" ") + "\n[Mode]\nCompetition=0\n", {0, 38, 4, 0, 0, 0}},
        {"a key line without '='", "[Personal]\n" + repeated("ENABLE") + "\nCOM=4\n", {2, 4, 4, 0, 0, 4}},
        {"a section name of almost 1 MiB", "[" + repeated("Mode") + "]\nCompetition=0\n[Personal]\nCOM=6\n",
         {2, 4, 4, 0, 0, 6}},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        BoxRecorder boxes;
        const Config config = LoadConfig(LANG_EN_US, dir.Write(c.text));
        EXPECT_TRUE(boxes.boxes.empty()) << c.what;
        ExpectValues(config, c.expected, c.what);
    }
    // A number of almost 1 MiB of digits reads as whatever it wraps to; the key after it still counts.
    BoxRecorder boxes;
    EXPECT_EQ(LoadConfig(LANG_EN_US, dir.Write("[Personal]\nCOM=" + repeated("1234567890") + "\nENABLE=2\n")).personal, 2);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(ModuleDir, IsTheDirectoryOfTheRunningExecutable) {
    std::string dir;
    ASSERT_TRUE(GetModuleDir(dir));
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir) / "test_settings"));
    EXPECT_EQ(ProgramConfigPath(), std::filesystem::path(dir + "Wing.ini"));

    const std::pair<const char*, const char*> cases[] = {
        {"/opt/wing/bin/wing-utility", "/opt/wing/bin/"},
        {"/wing-utility", "/"},
        {"wing-utility", ""},
        {"/a/b/", "/a/b/"},
        {"", ""},
    };
    for (auto [path, expected] : cases) EXPECT_EQ(DirectoryOfPath(path), expected) << path;
}

}  // namespace
}  // namespace wing
