#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "settings/language.h"
#include "settings/settings_test_env.h"

namespace wing {
namespace {

using testing_ui::BoxRecorder;
using testing_ui::FakeLocale;
using testing_ui::ScratchDir;

TEST(SelectLanguage, FollowsLanguageByOsAndTheUsersLanguage) {
    struct Case {
        unsigned languageByOS;
        unsigned user;
        unsigned expected;
    };
    const Case cases[] = {
        {1, 1028, 1028}, {1, 1033, 1033}, {1, 2052, 2052},
        {1, 3076, 1033},  // zh-HK
        {1, 4100, 1033},  // zh-SG
        {1, 1031, 1033},  // German
        {0, 1033, 2052}, {0, 1028, 2052},
        {2, 2052, 1033}, {4, 1028, 1033}, {255, 2052, 1033},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SelectLanguage(static_cast<std::uint8_t>(c.languageByOS), c.user), c.expected)
            << c.languageByOS << " on " << c.user;
}

TEST(SelectLanguage, ReadsTheUsersLanguageFromTheLocale) {
    const std::pair<const char*, unsigned> cases[] = {
        {"zh_TW.UTF-8", 1028}, {"zh_CN.UTF-8", 2052}, {"en_US.UTF-8", 1033},
        {"zh_HK.UTF-8", 1033}, {"fr_FR.UTF-8", 1033}, {"C", 1033},
    };
    for (auto [locale, expected] : cases) {
        FakeLocale fake(locale);
        EXPECT_EQ(SelectLanguage(1), expected) << locale;
        EXPECT_EQ(SelectLanguage(0), LANG_ZH_CN) << locale;
    }
}

TEST(StartupLanguage, MissingFileSpeaksTheUsersLanguageAndKeepsIt) {
    const std::pair<const char*, unsigned> cases[] = {
        {"zh_TW.UTF-8", 1028}, {"zh_CN.UTF-8", 2052}, {"zh_HK.UTF-8", 1033}, {"de_DE.UTF-8", 1033},
    };
    ScratchDir dir;
    for (auto [locale, lang] : cases) {
        FakeLocale fake(locale);
        BoxRecorder boxes;
        const StartupChoice choice = LoadConfigAndSelectLanguage(dir.path / "Wing.ini");
        std::wstring expected;
        LoadLanguageString(lang, 169, expected);
        ASSERT_EQ(boxes.boxes.size(), 1u) << locale;
        EXPECT_EQ(boxes.boxes[0].text, expected) << locale;
        EXPECT_EQ(choice.langId, lang) << locale;
        EXPECT_EQ(choice.config.languageByOS, 1u);
    }
}

TEST(StartupLanguage, ConfiguredValueDecidesTheSecondChoice) {
    struct Case {
        const char* what;
        const char* locale;
        const char* text;
        unsigned expected;
    };
    const Case cases[] = {
        {"0 on an English system", "en_US.UTF-8", "[Language]\nLanguageByOS=0\n", 2052},
        {"2 on a Chinese system", "zh_CN.UTF-8", "[Language]\nLanguageByOS=2\n", 1033},
        {"key absent reads 4", "zh_TW.UTF-8", "[Mode]\nCompetition=1\n", 1033},
        {"1 follows the system", "zh_TW.UTF-8", "[Language]\nLanguageByOS=1\n", 1028},
        {"257 is 1", "zh_CN.UTF-8", "[Language]\nLanguageByOS=257\n", 2052},
        {"256 is 0", "en_US.UTF-8", "[Language]\nLanguageByOS=256\n", 2052},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        FakeLocale fake(c.locale);
        BoxRecorder boxes;
        EXPECT_EQ(LoadConfigAndSelectLanguage(dir.Write(c.text)).langId, c.expected) << c.what;
        EXPECT_TRUE(boxes.boxes.empty()) << c.what;
    }
}

}  // namespace
}  // namespace wing
