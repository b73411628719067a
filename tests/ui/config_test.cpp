#include <gtest/gtest.h>

#include "platform/module_dir.h"
#include "resources/string_table.h"
#include "ui/config.h"
#include "ui/ui_test_env.h"

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

TEST(LoadConfig, AnExistingButUnreadableFileCountsAsPresent) {
    // A directory of that name exists but cannot be read as a profile file.
    ScratchDir dir;
    std::filesystem::create_directory(dir.path / "Wing.ini");
    BoxRecorder boxes;
    const Config c = LoadConfig(LANG_EN_US, dir.path / "Wing.ini");
    EXPECT_TRUE(boxes.boxes.empty());
    ExpectValues(c, {2, 4, 4, 0, 0, 0}, "unreadable");
}

TEST(ModuleDir, IsTheDirectoryOfTheRunningExecutable) {
    std::string dir;
    ASSERT_TRUE(GetModuleDir(dir));
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir) / "test_ui_core"));
    EXPECT_EQ(ConfigFilePath(), std::filesystem::path(dir + "Wing.ini"));

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
