#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "resources/refusal_text.h"

namespace wing {
namespace {

TEST(RefusalText, SetModeRefusedWithCode9ReadsExactly) {
    EXPECT_EQ(ComposeRefusalText(LANG_EN_US, L"Set Mode", 9),
              L"Received command [Set Mode] 's NACK. \n\n[Incorrect Mode]\n\n"
              L"Please reset device and retry  again");
}

TEST(RefusalText, CodesIndexTheFifteenTexts) {
    const auto texts = LoadStatusCodeTexts(LANG_EN_US);
    ASSERT_EQ(texts.size(), 15u);
    EXPECT_EQ(StatusCodeText(texts, LANG_EN_US, 0), L"Echo Message");
    EXPECT_EQ(StatusCodeText(texts, LANG_EN_US, 6), L"Command parameter error");
    EXPECT_EQ(StatusCodeText(texts, LANG_EN_US, 14), L"No command allowed");
    for (unsigned lang : {LANG_ZH_TW, LANG_ZH_CN}) {
        const auto chinese = LoadStatusCodeTexts(lang);
        for (unsigned code = 0; code < 15; ++code) {
            std::wstring expected;
            ASSERT_TRUE(LoadLanguageString(lang, 127 + code, expected));
            EXPECT_EQ(chinese[code], expected) << lang << " code " << code;
        }
    }
}

TEST(RefusalText, CodesPastTheListGetAClearText) {
    struct Case {
        unsigned lang;
        unsigned code;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {LANG_EN_US, 15, L"Unknown status code 15"},
        {LANG_EN_US, 17, L"Unknown status code 17"},
        {LANG_EN_US, 255, L"Unknown status code 255"},
        {LANG_ZH_TW, 17, L"未知的狀態碼 17"},
        {LANG_ZH_CN, 17, L"未知的状态码 17"},
        {3076, 17, L"Unknown status code 17"},  // a language without tables falls back
    };
    for (const auto& c : cases) {
        const auto texts = LoadStatusCodeTexts(c.lang);
        EXPECT_EQ(StatusCodeText(texts, c.lang, c.code), c.expected) << c.lang << " " << c.code;
    }
    EXPECT_EQ(ComposeRefusalText(LANG_EN_US, L"Delete Log", 17),
              L"Received command [Delete Log] 's NACK. \n\n[Unknown status code 17]\n\n"
              L"Please reset device and retry  again");
    // a shorter list than usual is never read past either
    EXPECT_EQ(StatusCodeText({L"only"}, LANG_EN_US, 1), L"Unknown status code 1");
}

TEST(RefusalText, ChineseRefusalsUseTheirOwnTexts) {
    const std::wstring text = ComposeRefusalText(LANG_ZH_TW, L"Set Mode", 9);
    EXPECT_EQ(text, L"收到命令 [Set Mode] 的 NACK。 \n\n[模式錯誤]\n\n請重置裝置後再試一次");
}

}  // namespace
}  // namespace wing
