#pragma once
// The compiled-in string tables of the three interface languages.

#include <string>

namespace wing {

constexpr unsigned LANG_ZH_TW = 1028;  // Traditional Chinese
constexpr unsigned LANG_EN_US = 1033;  // English
constexpr unsigned LANG_ZH_CN = 2052;  // Simplified Chinese

// The system's own texts are ids 101 to 192; one more, "Unknown status code %u", names a
// device status code that has no text of its own.
constexpr unsigned IDS_FIRST = 101;
constexpr unsigned IDS_LAST = 192;
constexpr unsigned IDS_UNKNOWN_STATUS_CODE = 193;

// Fetches string `id` of exactly language `langId`. A missing or empty entry leaves
// `text` unchanged and returns false.
bool LoadLanguageString(unsigned langId, unsigned id, std::wstring& text);

}  // namespace wing
