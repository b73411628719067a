#pragma once
// The interface language: 1028, 1033 or 2052, chosen from LanguageByOS and the user's
// default language.

#include <cstdint>
#include <filesystem>

#include "settings/config.h"

namespace wing {

// 1: the user's language when it is 2052, 1028 or 1033, otherwise 1033; 0: 2052; any
// other value: 1033.
unsigned SelectLanguage(std::uint8_t languageByOS, unsigned userDefaultLangId);
// The same with the user's language taken from the locale.
unsigned SelectLanguage(std::uint8_t languageByOS);

struct StartupChoice {
    Config config;
    unsigned langId;
};

// The start-up order: choose with LanguageByOS 1 (so a missing-file message comes in the
// user's language), read the profile file at `path`, then choose with the configured value.
StartupChoice LoadConfigAndSelectLanguage(const std::filesystem::path& path);

}  // namespace wing
