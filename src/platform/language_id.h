#pragma once
// The user's default language identifier (a Windows LANGID) from the Linux locale:
// the first non-empty of LC_ALL, LC_MESSAGES and LANG, as the C library picks the
// language of messages. zh_TW is 1028, en_US 1033, zh_CN 2052, zh_HK 3076, zh_SG 4100;
// other languages get their Windows ids. "C", "POSIX" and an unset locale are 1033.

#include <string_view>

namespace wing {

// The language id for one locale name such as "zh_TW.UTF-8" or "de_CH@euro".
unsigned LanguageIdFromLocaleName(std::string_view localeName);

// The language id of the current environment.
unsigned GetUserDefaultLangId();

}  // namespace wing
