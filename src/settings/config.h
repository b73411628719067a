#pragma once
// The settings ("Wing.ini"): the six of the first design, the time server, the log
// folder, the lofts of the flight view, the export formats and where the map comes from.
// Read at start-up from the first of these that exists:
//   1. the user's file, $XDG_CONFIG_HOME/wing-utility/Wing.ini (~/.config/...), which the
//      settings window writes;
//   2. the system's default, wing-utility/Wing.ini in each of $XDG_CONFIG_DIRS
//      (/etc/xdg), which the package installs;
//   3. Wing.ini beside the program, so that a copied program still finds its own.
// Keys, meanings and defaults are the same wherever the file lies.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace wing {

inline constexpr const char* kConfigFileName = "Wing.ini";
// The time server used when the settings name none ([NTP] Server).
inline constexpr const char* kDefaultNtpServer = "pool.ntp.org";
// Caption of the tool's own message boxes.
inline constexpr const wchar_t* kApplicationName = L"WingUtility";

// A loft the fancier flies to: its name and its position as typed (ParseCoordinates
// reads it). The first is [Flight] Loft / LoftName, the n-th (n >= 2) Loft<n> / LoftName<n>.
struct LoftEntry {
    std::string name;
    std::string position;
    bool operator==(const LoftEntry&) const = default;
};

// Where the map under the tracks comes from ([Map]). The default is OpenStreetMap's
// standard tile server, used by the tile usage policy it publishes; tests, benchmarks and
// the demo set Offline=1 or a server on loopback in their own settings file.
inline constexpr const char* kDefaultTileUrl = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
inline constexpr const char* kDefaultTileAttribution = "\u00a9 OpenStreetMap contributors";

struct MapConfig {
    std::string tileUrl = kDefaultTileUrl;  // [Map] TileUrl: {z} {x} {y}, optional {s}
    std::string attribution = kDefaultTileAttribution;  // [Map] Attribution
    int maxZoom = 19;                       // [Map] MaxZoom: 0-19
    int cacheMiB = 256;                     // [Map] CacheMiB: the disk cache's cap
    int offline = 0;                        // [Map] Offline: non-zero = no network request at all
    std::vector<std::filesystem::path> mbtiles;  // [Map] MBTiles: offline files, tried in order before the network
                                                 // (MBTiles, MBTiles2, MBTiles3, ...; ~/ is the home folder)
    bool operator==(const MapConfig&) const = default;
};
// The values [Map] accepts; one outside them reads as the default.
inline constexpr int kMaxMapZoom = 19;
inline constexpr int kMaxMapCacheMiB = 4096;  // from 1; a larger disk cache only slows its upkeep

struct Config {
    // Values before the file is read; only languageByOS is used that early.
    int competition = 1;             // [Mode] Competition: non-zero = racing configuration
    std::uint32_t threshold = 0;     // [Power] Threshold: battery, tenths of a volt
    std::uint8_t languageByOS = 1;   // [Language] LanguageByOS: low 8 bits of the value
    int ntpEnable = 0;               // [NTP] NTP: set the PC clock at start
    int personal = 0;                // [Personal] ENABLE: personal mode
    int comNumber = 0;               // [Personal] COM: fixed port of station mode
    std::string ntpServer = kDefaultNtpServer;  // [NTP] Server
    std::string logFolder;           // [Log] Folder: where C:\GPSLOG lies; empty = ~/GPSLOG
    std::vector<LoftEntry> lofts;    // [Flight] Loft, LoftName, Loft2, LoftName2, ...: those with a position
    int arrivalRadius = 100;         // [Flight] ArrivalRadius: metres from the loft that count as home
    int openFlightAfterSave = 1;     // [Flight] OpenAfterSave: show the flight after a read and save
    int gpx = 0;  // [Export] GPX: write a GPX beside the CSV
    MapConfig map;  // [Map]
};

// n when `key` is "<prefix><n>" with n >= 2 (Loft2, LoftName12, ignoring case): the
// keys of the second and later lofts; 0 for any other key.
unsigned NumberedLoftKey(std::string_view key, std::string_view prefix);

// The file an [Map] MBTiles value names: "~/" lies in the home folder, as for the log
// folder; any other path is taken as written.
std::filesystem::path MapFileFromSetting(std::string_view value);

// The name a loft gets when the file gives none: "Loft", then "Loft 2", "Loft 3", ...
std::string DefaultLoftName(std::size_t index);

// The loft of that name, ignoring ASCII case as the file's own names do; null when none.
const LoftEntry* FindLoft(const Config& config, std::string_view name);

// Where a settings file may lie, in the order they are looked for.
enum class ConfigOrigin { User, System, Program };

struct ConfigCandidate {
    ConfigOrigin origin;
    std::filesystem::path path;
};

// The places looked in, in order: the user's file, each system directory's, and
// Wing.ini in `programDir` (the executable's directory by default).
std::vector<ConfigCandidate> ConfigCandidates(const std::filesystem::path& programDir);
std::vector<ConfigCandidate> ConfigCandidates();
// The first candidate that exists; the last (beside the program) when none does, so that
// the missing-file message and fall-backs apply.
ConfigCandidate FindConfigFile(const std::vector<ConfigCandidate>& candidates);

// The settings file in force: FindConfigFile over ConfigCandidates().
std::filesystem::path ConfigFilePath();
// The user's own file, where the settings window writes (it may not exist yet).
std::filesystem::path UserConfigPath();
// The file beside the executable.
std::filesystem::path ProgramConfigPath();

// The lines `--help` prints about the settings: each place in lookup order, the one in
// force marked, and the file the settings window writes. A file `given` on the command
// line is the one in force instead, and is marked as such.
std::string SettingsFilesHelp(const std::filesystem::path& given = {});

// Reads the profile file at `path`. When it is absent, string 169 in `langId` is shown in
// a message box (OK only, the application's name as caption) and, after the box closes,
// the fall-backs 1, 40, 1, 0, 1, 0 are used.
Config LoadConfig(unsigned langId, const std::filesystem::path& path);
// The same for the settings file in force.
Config LoadConfig(unsigned langId);

// The values a profile gives (the file exists; absent keys take their defaults).
Config ConfigFromProfile(const ProfileFile& profile);

// Moves the log folder (C:\GPSLOG) where the settings say. A folder that is not a full
// path is not used: the default stays and one line on standard error says why.
void ApplyLogFolder(const Config& config);

}  // namespace wing
