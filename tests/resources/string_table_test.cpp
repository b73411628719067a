#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "resources/string_blocks.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

std::wstring Load(unsigned lang, unsigned id) {
    std::wstring text;
    LoadLanguageString(lang, id, text);
    return text;
}

// --- the walk over hand-made blocks ---------------------------------------------------

// Block 8 (ids 112..127) of language 7: 112 "ab", 113 empty, 114 "c", then the block stops
// short after a length that claims more units than remain.
const char16_t kShortBlock[] = {2, u'a', u'b', 0, 1, u'c', 5, u'x'};
// Block 1 (ids 0..15) of language 7, complete: only id 15 holds a text, with a surrogate pair.
const char16_t kFullBlock[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, u'z', 0xD83D, 0xDE00};
const StringBlock kFixture[] = {
    {7, 8, kShortBlock},
    {7, 1, kFullBlock},
    {9, 8, std::span<const char16_t>()},
};

TEST(StringBlockWalk, FindsEntriesByBlockAndPosition) {
    std::wstring text;
    ASSERT_TRUE(LoadStringFromBlocks(kFixture, 7, 112, text));
    EXPECT_EQ(text, L"ab");
    ASSERT_TRUE(LoadStringFromBlocks(kFixture, 7, 114, text));
    EXPECT_EQ(text, L"c");
    ASSERT_TRUE(LoadStringFromBlocks(kFixture, 7, 15, text));
    EXPECT_EQ(text, std::wstring(L"z") + static_cast<wchar_t>(0x1F600));
}

TEST(StringBlockWalk, FailuresLeaveTheTextUnchanged) {
    struct Case {
        const char* what;
        unsigned lang, id;
    };
    const Case cases[] = {
        {"empty entry", 7, 113},
        {"length runs past the block", 7, 115},
        {"block ends before the entry", 7, 120},
        {"last entry of a short block", 7, 127},
        {"empty entry in a full block", 7, 3},
        {"no block for the id", 7, 40},
        {"block of another language only", 8, 112},
        {"empty block", 9, 112},
        {"huge id", 7, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        std::wstring text = L"keep";
        EXPECT_FALSE(LoadStringFromBlocks(kFixture, c.lang, c.id, text)) << c.what;
        EXPECT_EQ(text, L"keep") << c.what;
    }
}

// --- the compiled tables -----------------------------------------------------------------

// The ids in use: the system's and the command line's, then each later part's own range.
const std::pair<unsigned, unsigned> kRangesInUse[] = {
    {IDS_FIRST, IDS_LAST_OWN},
    {IDS_RACE_FILE_FIRST, IDS_RACE_FILE_LAST},
    {IDS_RACE_FIRST, IDS_RACE_LAST},
    {IDS_RACEWIN_FIRST, IDS_RACEWIN_LAST},
    {IDS_RACE_PARTS_FIRST, IDS_RACE_PARTS_LAST},
    {IDS_RACEOPEN_FIRST, IDS_RACEOPEN_LAST},
};

TEST(StringTables, EveryBlockHoldsExactlySixteenEntries) {
    std::set<std::pair<unsigned, unsigned>> seen;
    for (const auto& block : CompiledStringBlocks()) {
        EXPECT_TRUE(seen.insert({block.langId, block.blockId}).second)
            << "duplicate block " << block.blockId << " of " << block.langId;
        std::size_t pos = 0;
        for (int entry = 0; entry < 16; ++entry) {
            ASSERT_LT(pos, block.data.size()) << block.langId << "/" << block.blockId;
            pos += 1 + block.data[pos];
        }
        EXPECT_EQ(pos, block.data.size()) << block.langId << "/" << block.blockId;
    }
    // The three languages hold the same blocks: every one from the first id to the command
    // line's last, and those of the ranges kept for later windows.
    std::map<unsigned, std::set<unsigned>> blocksOf;
    for (auto [lang, block] : seen) blocksOf[lang].insert(block);
    ASSERT_EQ(blocksOf.size(), 3u);
    for (unsigned block = IDS_FIRST / 16 + 1; block <= IDS_LAST_OWN / 16 + 1; ++block)
        EXPECT_TRUE(blocksOf[LANG_EN_US].count(block)) << block;
    EXPECT_EQ(blocksOf[LANG_ZH_TW], blocksOf[LANG_EN_US]);
    EXPECT_EQ(blocksOf[LANG_ZH_CN], blocksOf[LANG_EN_US]);
}

// Past the command line's texts the ids come in ranges with gaps between them: an id one
// language has, the other two have as well.
TEST(StringTables, EveryLaterTextIsInEachLanguage) {
    unsigned lastBlock = 0;
    for (const auto& block : CompiledStringBlocks()) lastBlock = std::max(lastBlock, block.blockId);
    int found = 0;
    for (unsigned id = IDS_LAST_OWN + 1; id < lastBlock * 16; ++id) {
        std::wstring en, tw, cn;
        const bool has = LoadLanguageString(LANG_EN_US, id, en);
        EXPECT_EQ(LoadLanguageString(LANG_ZH_TW, id, tw), has) << id;
        EXPECT_EQ(LoadLanguageString(LANG_ZH_CN, id, cn), has) << id;
        if (!has) continue;
        ++found;
        EXPECT_FALSE(en.empty() || tw.empty() || cn.empty()) << id;
        EXPECT_NE(tw, en) << id;  // translated, not copied
    }
    EXPECT_GT(found, 0);
}

TEST(StringTables, CoverageOfTheThreeLanguages) {
    for (unsigned lang : {LANG_ZH_TW, LANG_EN_US, LANG_ZH_CN}) {
        for (unsigned id = IDS_FIRST; id <= IDS_LAST; ++id) {
            const bool absent = lang == LANG_ZH_CN && (id == 183 || id == 184);
            std::wstring text = L"keep";
            EXPECT_EQ(LoadLanguageString(lang, id, text), !absent) << lang << " id " << id;
            if (absent) EXPECT_EQ(text, L"keep") << lang << " id " << id;
            else EXPECT_FALSE(text.empty()) << lang << " id " << id;
        }
        for (auto [first, last] : kRangesInUse) {
            for (unsigned id = std::max(first, IDS_LAST_OWN + 1); id <= last; ++id) {
                std::wstring text;
                EXPECT_TRUE(LoadLanguageString(lang, id, text) && !text.empty()) << lang << " id " << id;
            }
        }
        for (unsigned id = IDS_UNKNOWN_STATUS_CODE; id <= IDS_LAST_OWN; ++id) {
            std::wstring text;
            EXPECT_TRUE(LoadLanguageString(lang, id, text) && !text.empty()) << lang << " id " << id;
        }
        // just outside the range in use, in blocks that exist
        std::wstring text = L"keep";
        EXPECT_FALSE(LoadLanguageString(lang, 100, text));
        EXPECT_FALSE(LoadLanguageString(lang, IDS_LAST_OWN + 1, text));
        EXPECT_EQ(text, L"keep");
    }
}

TEST(StringTables, IdsOutsideEveryBlockOrLanguageFail) {
    const std::pair<unsigned, unsigned> cases[] = {
        {LANG_EN_US, 0}, {LANG_EN_US, 95}, {LANG_EN_US, (IDS_LAST_OWN / 16 + 1) * 16}, {LANG_EN_US, 65536 + 101},
        {3076, 156},  // zh-HK has no table
        {0, 156},
    };
    for (auto [lang, id] : cases) {
        std::wstring text = L"keep";
        EXPECT_FALSE(LoadLanguageString(lang, id, text)) << lang << " " << id;
        EXPECT_EQ(text, L"keep");
    }
}

TEST(StringTables, EnglishTextsKeepTheirExactSpacingAndCharacters) {
    const std::pair<unsigned, const wchar_t*> cases[] = {
        {111, L"GPS Data Access "},
        {150, L"GPS reading  error, please try again!"},
        {153, L"Downloading\u2026Please wait a moment."},
        {167, L"Display all the detials. <br> [Total data:"},
        {169, L"Can not find Wing.ini, please check"},
        {171, L"'s NACK."},
        {172, L"Please reset device and retry  again"},
        {176, L"count]<br><br> GPS Time(UTC"},
        {183, L")<br> - Start Time:"},
        {184, L")<BR>Speed:"},
        {186, L"Please insert the GPS board"},
        {IDS_UNKNOWN_STATUS_CODE, L"Unknown status code %u"},
    };
    for (auto [id, expected] : cases) EXPECT_EQ(Load(LANG_EN_US, id), expected) << id;
}

TEST(StringTables, DayNamesRunFromSundayToSaturday) {
    const wchar_t* english[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                L"Thursday", L"Friday", L"Saturday"};
    const wchar_t* chinese[] = {L"星期日", L"星期一", L"星期二", L"星期三",
                                L"星期四", L"星期五", L"星期六"};
    for (unsigned day = 1; day <= 7; ++day) {
        EXPECT_EQ(Load(LANG_EN_US, 116 + day), english[day - 1]) << day;
        EXPECT_EQ(Load(LANG_ZH_TW, 116 + day), chinese[day - 1]) << day;
        EXPECT_EQ(Load(LANG_ZH_CN, 116 + day), chinese[day - 1]) << day;
    }
}

TEST(StringTables, ChineseTextsCarryTheirFixedPartsAndDifferences) {
    EXPECT_EQ(Load(LANG_ZH_TW, 169), L"找不到 Wing.ini,請檢查");
    EXPECT_EQ(Load(LANG_ZH_CN, 169), L"找不到 Wing.ini,请检查");
    EXPECT_EQ(Load(LANG_ZH_CN, 181), L"请baidu资料夹放到C:PSLOG资料夹下");
    for (unsigned lang : {LANG_ZH_TW, LANG_EN_US, LANG_ZH_CN})
        EXPECT_NE(Load(lang, 181).find(L"C:PSLOG"), std::wstring::npos) << lang;

    EXPECT_NE(Load(LANG_ZH_CN, 112).find(L"百度"), std::wstring::npos);
    EXPECT_NE(Load(LANG_ZH_TW, 112).find(L"Google Earth"), std::wstring::npos);
    EXPECT_NE(Load(LANG_ZH_CN, 176).find(L"(UTC+8)"), std::wstring::npos);
    EXPECT_EQ(Load(LANG_ZH_TW, 176).find(L"+8"), std::wstring::npos);
    EXPECT_NE(Load(LANG_ZH_CN, 168).find(L"(UTC +8.0)"), std::wstring::npos);
    EXPECT_NE(Load(LANG_ZH_CN, 168).find(L"速度"), std::wstring::npos);
    for (unsigned id : {134u, 135u, 137u})
        EXPECT_NE(Load(LANG_ZH_CN, id).find(L"读卡器"), std::wstring::npos) << id;
    for (unsigned id : {142u, 158u})
        EXPECT_NE(Load(LANG_ZH_CN, id).find(L"Aerolite"), std::wstring::npos) << id;
    // the KML fragments keep their markup in every language
    for (unsigned lang : {LANG_ZH_TW, LANG_ZH_CN}) {
        EXPECT_NE(Load(lang, 167).find(L"<br> ["), std::wstring::npos) << lang;
        EXPECT_NE(Load(lang, 175).find(L"<BR>"), std::wstring::npos) << lang;
        EXPECT_EQ(Load(lang, 176).substr(0, 12).find(L"]<br><br> "), 1u) << lang;
        EXPECT_EQ(Load(lang, 177).rfind(L"<br> - ", 0), 0u) << lang;
        EXPECT_NE(Load(lang, IDS_UNKNOWN_STATUS_CODE).find(L"%u"), std::wstring::npos) << lang;
    }
    EXPECT_EQ(Load(LANG_ZH_TW, 183).rfind(L")<br> - ", 0), 0u);
    EXPECT_EQ(Load(LANG_ZH_TW, 184).rfind(L")<BR>", 0), 0u);
}

// Characters whose forms differ between the two scripts (traditional, simplified), drawn
// from the words the tables use. A slip of the wrong script shows up here.
const std::pair<wchar_t, wchar_t> kScriptPairs[] = {
    {L'關', L'关'}, {L'於', L'于'}, {L'歡', L'欢'}, {L'記', L'记'}, {L'錄', L'录'}, {L'時', L'时'},
    {L'間', L'间'}, {L'電', L'电'}, {L'腦', L'脑'}, {L'連', L'连'}, {L'線', L'线'}, {L'請', L'请'},
    {L'讀', L'读'}, {L'閱', L'阅'}, {L'啟', L'启'}, {L'動', L'动'}, {L'設', L'设'}, {L'預', L'预'},
    {L'約', L'约'}, {L'資', L'资'}, {L'狀', L'状'}, {L'態', L'态'}, {L'儲', L'储'}, {L'開', L'开'},
    {L'離', L'离'}, {L'鐘', L'钟'}, {L'錯', L'错'}, {L'誤', L'误'}, {L'類', L'类'}, {L'長', L'长'},
    {L'進', L'进'}, {L'數', L'数'}, {L'應', L'应'}, {L'測', L'测'}, {L'載', L'载'}, {L'體', L'体'},
    {L'寫', L'写'}, {L'組', L'组'}, {L'許', L'许'}, {L'斷', L'断'}, {L'傳', L'传'}, {L'機', L'机'},
    {L'無', L'无'}, {L'沒', L'没'}, {L'據', L'据'}, {L'壓', L'压'}, {L'為', L'为'}, {L'賽', L'赛'},
    {L'擇', L'择'}, {L'與', L'与'}, {L'響', L'响'}, {L'詳', L'详'}, {L'細', L'细'}, {L'總', L'总'},
    {L'練', L'练'}, {L'後', L'后'}, {L'試', L'试'}, {L'裝', L'装'}, {L'結', L'结'}, {L'檔', L'档'},
    {L'確', L'确'}, {L'認', L'认'}, {L'這', L'这'}, {L'舊', L'旧'}, {L'韌', L'韧'}, {L'軌', L'轨'},
    {L'跡', L'迹'}, {L'點', L'点'}, {L'號', L'号'}, {L'產', L'产'}, {L'碼', L'码'}, {L'門', L'门'},
    {L'鴿', L'鸽'}, {L'發', L'发'}, {L'變', L'变'}, {L'換', L'换'}, {L'檢', L'检'}, {L'參', L'参'},
    {L'處', L'处'}, {L'閃', L'闪'}, {L'憶', L'忆'}, {L'夾', L'夹'}, {L'區', L'区'}, {L'單', L'单'},
    {L'鐵', L'铁'}, {L'滿', L'满'}, {L'會', L'会'}, {L'續', L'续'}, {L'備', L'备'}, {L'節', L'节'},
    {L'擁', L'拥'}, {L'構', L'构'}, {L'標', L'标'}, {L'準', L'准'}, {L'轉', L'转'}, {L'筆', L'笔'},
    {L'項', L'项'}, {L'顯', L'显'}, {L'圖', L'图'}, {L'導', L'导'}, {L'則', L'则'}, {L'訊', L'讯'},
    {L'網', L'网'}, {L'絡', L'络'}, {L'閉', L'闭'}, {L'雜', L'杂'}, {L'圖', L'图'}, {L'磚', L'砖'},
    {L'縮', L'缩'}, {L'層', L'层'}, {L'級', L'级'}, {L'權', L'权'}, {L'僅', L'仅'}, {L'優', L'优'},
    {L'選', L'选'}, {L'須', L'须'}, {L'頭', L'头'}, {L'徑', L'径'}, {L'稱', L'称'}, {L'務', L'务'},
    {L'盤', L'盘'}, {L'緩', L'缓'}, {L'聯', L'联'}, {L'規', L'规'}, {L'計', L'计'}, {L'環', L'环'},
    {L'歸', L'归'}, {L'飛', L'飞'}, {L'遠', L'远'}, {L'軍', L'军'}, {L'評', L'评'}, {L'績', L'绩'},
    {L'際', L'际'}, {L'側', L'侧'},
};

TEST(StringTables, EachChineseTableKeepsToItsScript) {
    // 2052 keeps Traditional characters in its KML fragments.
    const std::set<unsigned> traditionalIn2052 = {167, 174, 175, 176, 179};
    // The language chooser names Simplified Chinese in its own script in every language.
    const std::set<unsigned> simplifiedIn1028 = {IDS_SETTINGS_LANGUAGE_ZH_CN};
    unsigned lastBlock = 0;
    for (const auto& block : CompiledStringBlocks()) lastBlock = std::max(lastBlock, block.blockId);
    for (unsigned id = IDS_FIRST; id < lastBlock * 16; ++id) {
        const std::wstring tw = Load(LANG_ZH_TW, id);
        const std::wstring cn = Load(LANG_ZH_CN, id);
        for (auto [trad, simp] : kScriptPairs) {
            if (!simplifiedIn1028.count(id)) {
                EXPECT_EQ(tw.find(simp), std::wstring::npos) << "1028 id " << id;
            }
            if (traditionalIn2052.count(id))
                EXPECT_EQ(cn.find(simp), std::wstring::npos) << "2052 id " << id;
            else
                EXPECT_EQ(cn.find(trad), std::wstring::npos) << "2052 id " << id;
        }
    }
}

}  // namespace
}  // namespace wing
