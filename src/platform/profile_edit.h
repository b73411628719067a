#pragma once
// Changes to profile (INI) text that keep every other byte. The settings file is also
// the user's to write by hand: comments, keys of other versions, blank lines, the order
// of things and their spacing must all survive the settings window.
//
// Sections and keys are found by the reader's rules (ProfileFile): names compare
// ignoring ASCII case, only the first section of a name counts, and in it the first line
// of a key, so the line changed is the line whose value the reader takes.

#include <string>
#include <string_view>

namespace wing {

// Gives `key` in `section` the value `value`. On the key's line only the value changes:
// the name, the blanks around '=' and an inline comment after the value stay, unless
// they would push the value past the reader's cut: the line is then "name=value". A key the
// section lacks gets a line after its commented-out line (";Server=..."), else after the
// section's last key, else after its header; a section the text lacks is added at the end. Added lines end as the text's
// first line does ("\r\n" or "\n").
std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);

// Removes every line of `key` in the first section named `section`, line ends included.
std::string RemoveProfileKey(std::string_view text, std::string_view section, std::string_view key);

// True when the reader gives `value` back unchanged from a line "key=value": one line,
// no blanks at either end, no ';' after a blank (an inline comment), no pair of quotes
// around it, and a line short enough for the reader to take whole.
bool ProfileValueFits(std::string_view key, std::string_view value);

}  // namespace wing
