#include "settings/language.h"

#include "platform/language_id.h"
#include "resources/string_table.h"

namespace wing {

unsigned SelectLanguage(std::uint8_t languageByOS, unsigned userDefaultLangId) {
    if (languageByOS == 1) {
        if (userDefaultLangId == LANG_ZH_CN || userDefaultLangId == LANG_ZH_TW ||
            userDefaultLangId == LANG_EN_US)
            return userDefaultLangId;
        return LANG_EN_US;
    }
    if (languageByOS == 0) return LANG_ZH_CN;
    return LANG_EN_US;
}

unsigned SelectLanguage(std::uint8_t languageByOS) {
    return SelectLanguage(languageByOS, GetUserDefaultLangId());
}

StartupChoice LoadConfigAndSelectLanguage(const std::filesystem::path& path) {
    StartupChoice choice{Config{}, 0};
    choice.langId = SelectLanguage(choice.config.languageByOS);
    choice.config = LoadConfig(choice.langId, path);
    choice.langId = SelectLanguage(choice.config.languageByOS);
    return choice;
}

}  // namespace wing
