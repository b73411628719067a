#pragma once
// The compiled-in string tables of the three interface languages.

#include <string>

namespace wing {

constexpr unsigned LANG_ZH_TW = 1028;  // Traditional Chinese
constexpr unsigned LANG_EN_US = 1033;  // English
constexpr unsigned LANG_ZH_CN = 2052;  // Simplified Chinese

// The system's own texts are ids 101 to 192. Ours follow them: "Unknown status code %u"
// names a device status code that has no text of its own; the other two tell that a
// file of a download could not be saved (the box) and that not every file was (the
// read's final line).
constexpr unsigned IDS_FIRST = 101;
constexpr unsigned IDS_LAST = 192;
constexpr unsigned IDS_UNKNOWN_STATUS_CODE = 193;
constexpr unsigned IDS_FILE_NOT_SAVED = 194;
constexpr unsigned IDS_NOT_ALL_SAVED = 195;
constexpr unsigned IDS_LAST_OWN = 288;  // the command line's texts end here

// Fetches string `id` of exactly language `langId`. A missing or empty entry leaves
// `text` unchanged and returns false.
bool LoadLanguageString(unsigned langId, unsigned id, std::wstring& text);

}  // namespace wing
