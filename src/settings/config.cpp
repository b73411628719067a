#include "settings/config.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <unordered_map>

#include "platform/device_map.h"
#include "platform/message_box.h"
#include "platform/module_dir.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {

namespace {

bool Exists(const std::filesystem::path& path) {
    // The status as the first design asked for it: anything that answers counts, so a
    // file that cannot be read is still the one in force (and reads as empty).
    struct stat status{};
    return ::stat(path.c_str(), &status) == 0;
}

// Loft and LoftName, then Loft<n> / LoftName<n> in the order of n (gaps allowed). A loft
// without a position is none: the file that ships names "Loft" and leaves its position
// to the fancier. The section is read in one pass: a file may hold many thousand lofts.
std::vector<LoftEntry> ReadLofts(const ProfileFile& profile) {
    std::map<unsigned, std::string> positions;
    std::unordered_map<std::string, std::string> names;  // by the name's key, lower case
    for (const auto& [key, value] : profile.Values("Flight")) {
        std::string folded = key;
        for (auto& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (folded == "loft") positions.emplace(1, value);
        else if (unsigned n = NumberedLoftKey(key, "Loft")) positions.emplace(n, value);
        else if (folded.starts_with("loftname")) names.emplace(std::move(folded), value);
    }
    std::vector<LoftEntry> lofts;
    for (const auto& [n, position] : positions) {
        if (position.empty()) continue;
        const auto name = names.find(n == 1 ? std::string("loftname") : "loftname" + std::to_string(n));
        lofts.push_back(LoftEntry{name != names.end() && !name->second.empty() ? name->second : DefaultLoftName(n - 1),
                                  position});
    }
    return lofts;
}

// A number of the [Map] section: the whole value, in [low, high]; nothing for anything
// else, which leaves the key at its default (a stray "abc" must not read as zoom 0).
std::optional<int> MapNumber(const ProfileFile& profile, std::string_view key, int low, int high) {
    const auto text = profile.GetString("Map", key);
    if (!text) return std::nullopt;
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || stop != end || value < low || value > high) return std::nullopt;
    return value;
}

// MBTiles, then MBTiles<n> in the order of n (gaps allowed); an empty value is no file.
std::vector<std::filesystem::path> ReadMapFiles(const ProfileFile& profile) {
    std::map<unsigned, std::string> values;
    for (const auto& [key, value] : profile.Values("Map")) {
        if (ProfileNamesEqual(key, "MBTiles")) values.emplace(1, value);
        else if (unsigned n = NumberedLoftKey(key, "MBTiles")) values.emplace(n, value);
    }
    std::vector<std::filesystem::path> files;
    for (const auto& [n, value] : values)
        if (!value.empty()) files.push_back(MapFileFromSetting(value));
    return files;
}

// A switch as a number (non-zero: on), or as the words people write for one: yes/true/on
// and no/false/off in any case. Offline keeps every request off the network, so "yes"
// must not read as 0 the way the profile reader's numbers would take it.
int MapSwitch(const ProfileFile& profile, std::string_view key) {
    const auto text = profile.GetString("Map", key);
    if (!text) return 0;
    std::string word;
    for (char c : *text)
        if (c != ' ' && c != '\t') word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "yes" || word == "true" || word == "on") return 1;
    if (word == "no" || word == "false" || word == "off") return 0;
    return static_cast<int>(profile.GetInt("Map", key, 0));
}

MapConfig ReadMap(const ProfileFile& profile) {
    MapConfig map;
    if (auto url = profile.GetString("Map", "TileUrl"); url && !url->empty()) map.tileUrl = *url;
    if (auto text = profile.GetString("Map", "Attribution"); text && !text->empty()) map.attribution = *text;
    map.maxZoom = MapNumber(profile, "MaxZoom", 0, kMaxMapZoom).value_or(map.maxZoom);
    map.cacheMiB = MapNumber(profile, "CacheMiB", 1, kMaxMapCacheMiB).value_or(map.cacheMiB);
    map.offline = MapSwitch(profile, "Offline");
    map.mbtiles = ReadMapFiles(profile);
    return map;
}

}  // namespace

unsigned NumberedLoftKey(std::string_view key, std::string_view prefix) {
    if (key.size() <= prefix.size() || !ProfileNamesEqual(key.substr(0, prefix.size()), prefix)) return 0;
    unsigned n = 0;
    for (char c : key.substr(prefix.size())) {
        if (c < '0' || c > '9' || n > 100000) return 0;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n >= 2 ? n : 0;
}

std::filesystem::path MapFileFromSetting(std::string_view value) {
    return LogFolderFromSetting(value).value_or(std::filesystem::path(value));
}

std::string DefaultLoftName(std::size_t index) {
    return index == 0 ? std::string("Loft") : "Loft " + std::to_string(index + 1);
}

const LoftEntry* FindLoft(const Config& config, std::string_view name) {
    for (const LoftEntry& loft : config.lofts)
        if (ProfileNamesEqual(loft.name, name)) return &loft;
    return nullptr;
}

std::vector<ConfigCandidate> ConfigCandidates(const std::filesystem::path& programDir) {
    std::vector<ConfigCandidate> out{{ConfigOrigin::User, UserConfigPath()}};
    for (const auto& dir : SystemConfigDirs())
        out.push_back({ConfigOrigin::System, dir / "wing-utility" / kConfigFileName});
    out.push_back({ConfigOrigin::Program, programDir / kConfigFileName});
    return out;
}

std::vector<ConfigCandidate> ConfigCandidates() { return ConfigCandidates(ProgramConfigPath().parent_path()); }

ConfigCandidate FindConfigFile(const std::vector<ConfigCandidate>& candidates) {
    for (const auto& c : candidates)
        if (Exists(c.path)) return c;
    return candidates.back();
}

std::filesystem::path ConfigFilePath() { return FindConfigFile(ConfigCandidates()).path; }

std::filesystem::path UserConfigPath() { return std::filesystem::path(WingConfigDir()) / kConfigFileName; }

std::filesystem::path ProgramConfigPath() {
    std::string dir;
    GetModuleDir(dir);  // on failure the name alone is used, relative to the working directory
    return std::filesystem::path(dir + kConfigFileName);
}

std::string SettingsFilesHelp(const std::filesystem::path& given) {
    const auto candidates = ConfigCandidates();
    const std::filesystem::path inForce = given.empty() ? FindConfigFile(candidates).path : given;
    std::string out = given.empty() ? "Settings are read from the first of these files that exists:\n"
                                    : "Settings are read from the file given with --config, not from the first of "
                                      "these files that exists:\n  * " + given.string() + "\n";
    for (const auto& c : candidates)
        out += (given.empty() && c.path == inForce ? "  * " : "    ") + c.path.string() + "\n";
    out += "(* the file in force). The Settings window writes " + UserConfigPath().string() + "\n";
    return out;
}

Config ConfigFromProfile(const ProfileFile& profile) {
    Config config;
    config.competition = static_cast<int>(profile.GetInt("Mode", "Competition", 2));
    config.threshold = profile.GetInt("Power", "Threshold", 4);
    config.languageByOS = static_cast<std::uint8_t>(profile.GetInt("Language", "LanguageByOS", 4));
    config.ntpEnable = static_cast<int>(profile.GetInt("NTP", "NTP", 0));
    config.personal = static_cast<int>(profile.GetInt("Personal", "ENABLE", 0));
    config.comNumber = static_cast<int>(profile.GetInt("Personal", "COM", 0));
    if (auto server = profile.GetString("NTP", "Server"); server && !server->empty())
        config.ntpServer = *server;
    if (auto folder = profile.GetString("Log", "Folder")) config.logFolder = *folder;
    config.lofts = ReadLofts(profile);
    config.arrivalRadius = static_cast<int>(profile.GetInt("Flight", "ArrivalRadius", 100));
    if (config.arrivalRadius <= 0) config.arrivalRadius = 100;
    config.openFlightAfterSave = static_cast<int>(profile.GetInt("Flight", "OpenAfterSave", 1));
    config.gpx = static_cast<int>(profile.GetInt("Export", "GPX", 0));
    config.map = ReadMap(profile);
    return config;
}

Config LoadConfig(unsigned langId, const std::filesystem::path& path) {
    Config config;
    if (!Exists(path)) {
        std::wstring text;
        LoadLanguageString(langId, IDS_CONFIG_MISSING, text);
        ShowMessageBox(text, kApplicationName, MB_OK);
        config.competition = 1;
        config.threshold = 40;
        config.languageByOS = 1;
        config.ntpEnable = 0;
        config.personal = 1;
        config.comNumber = 0;
        return config;
    }

    // The file exists: an unreadable one reads like an empty one, every key at its default.
    ProfileFile profile;
    profile.Load(path);
    return ConfigFromProfile(profile);
}

Config LoadConfig(unsigned langId) { return LoadConfig(langId, ConfigFilePath()); }

void ApplyLogFolder(const Config& config) {
    const auto folder = LogFolderFromSetting(config.logFolder);
    if (!folder)
        std::fprintf(stderr, "wing-utility: the log folder \"%s\" is not a full path; using the default\n",
                     config.logFolder.c_str());
    SetLogFolder(folder.value_or(std::filesystem::path()));
}

}  // namespace wing
