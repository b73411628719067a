#pragma once
// Writing the settings back: the settings window's values into the user's file, every
// line the window does not own (comments, unknown keys, blank lines, order) kept as it
// was, through a temporary name and a rename so a failure leaves the old file whole.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "settings/config.h"

namespace wing {

// `base` (profile text) with every value of `config` that differs from what `base` gives
// set (SetProfileValue), and nothing else changed. A value the text lacks but whose
// default is already `config`'s is left out.
std::string ConfigText(std::string_view base, const Config& config);

// The first value of `config` the file cannot hold as it is (ProfileValueFits): its
// "[Section] Key" name; nothing when every value fits.
std::optional<std::string> UnstorableValue(const Config& config);

// Writes `config` to `target` (the user's file). The text starts from `target` when it
// exists, otherwise from `inForce` (the file the settings came from), so nothing of it
// is lost; the folder is made when missing. A symbolic link is written through, not
// replaced, also when its file does not exist yet (its folder must). Nothing is written
// when the text would not change. The new text is read back before it replaces the old:
// a value it would not give back whole refuses the save. The file keeps its mode and
// owner. A target that exists but cannot be read as a settings file (not a regular
// file, too large) is left alone. Temporary files of a save that was killed part-way
// are removed. False with the reason in `why` on failure.
bool SaveUserConfig(const Config& config, const std::filesystem::path& inForce, std::string* why = nullptr,
                    const std::filesystem::path& target = UserConfigPath());

// Removes the temporary files that saves of `target` killed part-way left beside the
// file it writes (through links); anything else there stays. Called at start.
void RemoveStaleSettingsTempFiles(const std::filesystem::path& target = UserConfigPath());

}  // namespace wing
