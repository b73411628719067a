#pragma once
// Conversions between the wide text used inside the system and UTF-8 / the locale's
// 8-bit code set at its edges.

#include <string>
#include <string_view>

namespace wing {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// 8-bit text in the C library's current LC_CTYPE code set (the "ANSI code page").
std::wstring FromLocale8(std::string_view text);
std::string ToLocale8(std::wstring_view text);

}  // namespace wing
