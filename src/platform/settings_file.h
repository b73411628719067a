#pragma once
// Settings and state files (Wing.ini, device-map.ini, com-numbers, the simulator's
// registrations) are small text files that anyone may replace with something else: a
// FIFO, whose open waits for a writer that never comes, a link to /dev/zero or a huge
// file, read until memory runs out. They are read only when they are regular files of at
// most kSettingsFileLimit bytes; anything else reads as an absent file, so every caller
// falls back to its defaults just as it does for a file that is not there.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace wing {

// Far above any real settings file, far below what would slow the start.
inline constexpr std::size_t kSettingsFileLimit = std::size_t{1} << 20;

// The bytes of the file at `path`, unchanged; nothing when it is absent, is not a regular
// file, is larger than kSettingsFileLimit or cannot be read. Each of these but an absent
// file is told on standard error in one line naming the file and the reason, once per
// file and reason in the life of the process (some files are read at every port lookup).
std::optional<std::string> ReadSettingsFile(const std::filesystem::path& path);

}  // namespace wing
