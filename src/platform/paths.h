#pragma once
// The Windows drive paths the system writes to (C:\GPSLog\..., C:\GPSLOG\baidu),
// mapped onto this machine. Drive C: is the user's home directory unless the user
// map file ($XDG_CONFIG_HOME/wing-utility/device-map.ini, section [drives], a line
// "C = /some/dir") says otherwise. Path components resolve case-insensitively
// against what exists, as on Windows, so C:\GPSLog and C:\GPSLOG are one folder.
//
// The log folder C:\GPSLOG itself can be moved (the settings' [Log] Folder): every
// path under it then resolves under the folder set here, so the exports, the archive,
// the flight lists and Open Log Folder all follow it from this one place.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

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

// The folder a log-folder setting names: "~" and "~/..." lie in the home folder, an
// absolute path is taken as it is, and an empty setting (blanks only) gives an empty
// path, the default. Nothing for a relative path, which would depend on the folder the
// tool happens to start in.
std::optional<std::filesystem::path> LogFolderFromSetting(std::string_view setting);

// Moves C:\GPSLOG and everything under it to `folder`; an empty path puts it back on
// drive C:. Safe to call while other threads resolve paths, though a save under way
// should not see the folder change (the window waits for it to end).
void SetLogFolder(const std::filesystem::path& folder);
// The folder set by SetLogFolder; empty when the log folder is on drive C:.
std::filesystem::path LogFolderOverride();
// Where C:\GPSLOG lies without a SetLogFolder (normally ~/GPSLOG).
std::filesystem::path DefaultLogFolder();

// The directories of $XDG_CONFIG_DIRS that are absolute paths, in order; /etc/xdg when
// the variable is unset or names none.
std::vector<std::filesystem::path> SystemConfigDirs();

}  // namespace wing
