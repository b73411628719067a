#pragma once
// Lines made safe for inih, which reads a line into a buffer of INI_MAX_LINE bytes and
// would take the rest of a longer line as lines of its own (a long comment could then
// turn into keys), treats an indented line as the continuation of the key before it and
// stops at a NUL byte. Each line is therefore cut to what inih reads whole, left-trimmed,
// and its NUL bytes become blanks. A profile line longer than that keeps only its head,
// which still holds the key and the leading digits of any sensible value.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wing {

// Room left in inih's buffer for a line of ours plus one added character and the line end.
std::size_t IniLineLimit();

// One line (without its line end) as inih may read it.
std::string IniSafeLine(std::string_view line);
// Every line of `text` as IniSafeLine gives it, each ended by '\n'.
std::string IniSafeText(std::string_view text);
// The file's bytes (read with ReadSettingsFile) as IniSafeText gives them; nothing when
// ReadSettingsFile gives nothing.
std::optional<std::string> ReadIniSafeFile(const std::filesystem::path& path);

}  // namespace wing
