#pragma once
// The compiled-in string tables of the three interface languages.

#include <string>

namespace wing {

constexpr unsigned LANG_ZH_TW = 1028;  // Traditional Chinese
constexpr unsigned LANG_EN_US = 1033;  // English
constexpr unsigned LANG_ZH_CN = 2052;  // Simplified Chinese

// Fetches string `id` of exactly language `langId`. A missing or empty entry leaves
// `text` unchanged and returns false.
bool LoadLanguageString(unsigned langId, unsigned id, std::wstring& text);

}  // namespace wing
