#pragma once
// The Windows drive paths the system writes to (C:\GPSLog\..., C:\GPSLOG\baidu),
// mapped onto this machine. Drive C: is the user's home directory unless the user
// map file ($XDG_CONFIG_HOME/wing-utility/device-map.ini, section [drives], a line
// "C = /some/dir") says otherwise. Path components resolve case-insensitively
// against what exists, as on Windows, so C:\GPSLog and C:\GPSLOG are one folder.

#include <filesystem>
#include <string_view>

namespace wing {

// The user map file, whether or not it exists.
std::filesystem::path UserMapFilePath();

// The directory drive `letter` stands for; empty when the drive is not mapped
// (only C: has a default).
std::filesystem::path DriveRoot(wchar_t letter);

// Maps "X:\a\b" (backslashes or slashes) to a local path. Each component that
// matches an existing entry regardless of case takes that entry's spelling; the
// others are kept as written. Empty when the path has no mapped drive or is not
// absolute, and when a component is "." or "..", so that no name can leave the drive.
std::filesystem::path ResolveDrivePath(std::wstring_view windowsPath);

// True when the path resolves to an existing directory (the attribute query).
bool DriveDirectoryExists(std::wstring_view windowsPath);

// Creates the directory and any missing parents; true when it exists afterwards.
bool CreateDriveDirectory(std::wstring_view windowsPath);

}  // namespace wing
