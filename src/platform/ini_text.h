#pragma once
// Lines made safe for inih, which reads a line into a buffer of INI_MAX_LINE bytes and
// would take the rest of a longer line as lines of its own (a long comment could then
// turn into keys), treats an indented line as the continuation of the key before it and
// stops at a NUL byte. Each line is therefore left-trimmed, cut to what inih reads whole,
// and its NUL bytes become blanks. A profile line longer than that keeps only its head,
// which still holds the key and the leading digits of any sensible value.
//
// Where the text starts is one rule for every reader and for the editor (IniTextStart):
// a byte-order mark counts only there, so that inih (which drops one at the very start
// of what it is given) never sees a header that the line rewriting took for a key.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wing {

// Room left in inih's buffer for a line of ours plus one added character and the line end.
std::size_t IniLineLimit();

// What the readers take as blank around names, values and lines: inih's white space,
// and NUL, which a line keeps as a blank.
bool IniBlank(char c);

// Where the text of a file starts: after the blanks and NULs that lead it and one UTF-8
// byte-order mark after them (none: at the first byte that is not blank).
std::size_t IniTextStart(std::string_view text);

// One line (without its line end) as inih may read it: left-trimmed, cut to IniLineLimit
// bytes, NULs made blanks.
std::string IniSafeLine(std::string_view line);
// The text from IniTextStart, every line as IniSafeLine gives it, each ended by '\n'.
// It starts with an empty line, so a second byte-order mark is text to inih as to us.
std::string IniSafeText(std::string_view text);
// The file's bytes (read with ReadSettingsFile) as IniSafeText gives them; nothing when
// ReadSettingsFile gives nothing.
std::optional<std::string> ReadIniSafeFile(const std::filesystem::path& path);

}  // namespace wing
