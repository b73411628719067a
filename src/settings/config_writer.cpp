#include "settings/config_writer.h"

#include <cctype>
#include <cerrno>
#include <set>
#include <system_error>
#include <vector>

#include "export/file_output.h"
#include "platform/profile.h"
#include "platform/profile_edit.h"
#include "platform/settings_file.h"

namespace fs = std::filesystem;

namespace wing {
namespace {

struct Entry {
    const char* section;
    const char* key;
    std::string value;
};

std::string LoftKey(std::size_t index) { return index == 0 ? "Loft" : "Loft" + std::to_string(index + 1); }
std::string LoftNameKey(std::size_t index) { return index == 0 ? "LoftName" : "LoftName" + std::to_string(index + 1); }
std::string MapFileKey(std::size_t index) { return index == 0 ? "MBTiles" : "MBTiles" + std::to_string(index + 1); }

// The scalar values with their places in the file.
std::vector<Entry> ScalarEntries(const Config& c) {
    return {
        {"Mode", "Competition", std::to_string(c.competition)},
        {"Power", "Threshold", std::to_string(c.threshold)},
        {"Language", "LanguageByOS", std::to_string(c.languageByOS)},
        {"NTP", "NTP", std::to_string(c.ntpEnable)},
        {"NTP", "Server", c.ntpServer},
        {"Personal", "ENABLE", std::to_string(c.personal)},
        {"Personal", "COM", std::to_string(c.comNumber)},
        {"Log", "Folder", c.logFolder},
        {"Flight", "ArrivalRadius", std::to_string(c.arrivalRadius)},
        {"Flight", "OpenAfterSave", std::to_string(c.openFlightAfterSave)},
        {"Export", "GPX", std::to_string(c.gpx)},
        {"Map", "TileUrl", c.map.tileUrl},
        {"Map", "Attribution", c.map.attribution},
        {"Map", "MaxZoom", std::to_string(c.map.maxZoom)},
        {"Map", "CacheMiB", std::to_string(c.map.cacheMiB)},
        {"Map", "Offline", std::to_string(c.map.offline)},
    };
}

std::string Folded(std::string_view key) {
    std::string out(key);
    for (auto& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

// Every key "<prefix><n>" (n >= 2) of `section` for each prefix that is not among
// `used` (folded): the keys of list entries the list no longer has.
std::set<std::string> StaleNumberedKeys(const ProfileFile& profile, const char* section,
                                        std::initializer_list<const char*> prefixes, const std::set<std::string>& used) {
    std::set<std::string> stale;
    for (const std::string& key : profile.KeyNames(section))
        for (const char* prefix : prefixes)
            if (NumberedLoftKey(key, prefix) && !used.count(Folded(key))) stale.insert(key);
    return stale;
}

std::string WriteLofts(std::string text, const ProfileFile& profile, const Config& config) {
    std::set<std::string> used;
    for (std::size_t i = 0; i < config.lofts.size(); ++i) {
        used.insert(Folded(LoftKey(i)));
        used.insert(Folded(LoftNameKey(i)));
    }
    for (const std::string& key : StaleNumberedKeys(profile, "Flight", {"Loft", "LoftName"}, used))
        text = RemoveProfileKey(text, "Flight", key);
    if (config.lofts.empty()) {
        text = RemoveProfileKey(text, "Flight", "Loft");
        return RemoveProfileKey(text, "Flight", "LoftName");
    }
    for (std::size_t i = 0; i < config.lofts.size(); ++i) {
        text = SetProfileValue(text, "Flight", LoftKey(i), config.lofts[i].position);
        text = SetProfileValue(text, "Flight", LoftNameKey(i), config.lofts[i].name);
    }
    return text;
}

// The offline map files as MBTiles, MBTiles2, ...: numbered afresh, the keys beyond them
// removed. A key that already names its file keeps its spelling ("~/maps/a.mbtiles").
std::string WriteMapFiles(std::string text, const ProfileFile& profile, const Config& config) {
    const auto& files = config.map.mbtiles;
    std::set<std::string> used;
    for (std::size_t i = 0; i < files.size(); ++i) used.insert(Folded(MapFileKey(i)));
    for (const std::string& key : StaleNumberedKeys(profile, "Map", {"MBTiles"}, used))
        text = RemoveProfileKey(text, "Map", key);
    if (files.empty()) return RemoveProfileKey(text, "Map", "MBTiles");
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto now = profile.GetString("Map", MapFileKey(i));
        if (!now || now->empty() || MapFileFromSetting(*now) != files[i])
            text = SetProfileValue(text, "Map", MapFileKey(i), files[i].string());
    }
    return text;
}

std::string Reason(const std::error_code& ec) { return ec.message(); }

// The file a write to `target` lands in: `target`, or what its chain of links ends in
// (which need not exist yet). Nothing, with the reason, for a chain that does not end.
std::optional<fs::path> WriteTarget(const fs::path& target, std::string* why) {
    fs::path path = target;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            *why = Reason(ec);
            return std::nullopt;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    *why = std::generic_category().message(ELOOP);
    return std::nullopt;
}

// The first value of `config` that `text` does not give back as a file holding only
// `config`'s values would: its "[Section] Key" name.
std::optional<std::string> ValueNotReadBack(std::string_view text, const Config& config) {
    ProfileFile written, plain;
    written.Parse(text);
    plain.Parse(ConfigText("", config));
    const Config got = ConfigFromProfile(written);
    const Config want = ConfigFromProfile(plain);
    const std::vector<Entry> a = ScalarEntries(got), b = ScalarEntries(want);
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].value != b[i].value) return "[" + std::string(a[i].section) + "] " + a[i].key;
    if (got.lofts != want.lofts) return std::string("[Flight] Loft");
    if (got.map.mbtiles != want.map.mbtiles) return std::string("[Map] MBTiles");
    return std::nullopt;
}

}  // namespace

std::string ConfigText(std::string_view base, const Config& config) {
    ProfileFile profile;
    profile.Parse(base);
    const Config was = ConfigFromProfile(profile);
    const std::vector<Entry> before = ScalarEntries(was);
    const std::vector<Entry> after = ScalarEntries(config);
    std::string text(base);
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i].value != before[i].value) text = SetProfileValue(text, after[i].section, after[i].key, after[i].value);
    if (config.lofts != was.lofts) text = WriteLofts(std::move(text), profile, config);
    if (config.map.mbtiles != was.map.mbtiles) text = WriteMapFiles(std::move(text), profile, config);
    return text;
}

std::optional<std::string> UnstorableValue(const Config& config) {
    for (const Entry& e : ScalarEntries(config))
        if (!ProfileValueFits(e.key, e.value)) return "[" + std::string(e.section) + "] " + e.key;
    for (std::size_t i = 0; i < config.lofts.size(); ++i) {
        if (!ProfileValueFits(LoftKey(i), config.lofts[i].position)) return "[Flight] " + LoftKey(i);
        if (!ProfileValueFits(LoftNameKey(i), config.lofts[i].name)) return "[Flight] " + LoftNameKey(i);
    }
    for (std::size_t i = 0; i < config.map.mbtiles.size(); ++i)
        if (!ProfileValueFits(MapFileKey(i), config.map.mbtiles[i].string())) return "[Map] " + MapFileKey(i);
    return std::nullopt;
}

void RemoveStaleSettingsTempFiles(const fs::path& target) {
    std::string ignored;
    if (const auto path = WriteTarget(target, &ignored))
        RemoveStaleTempFiles(path->parent_path().empty() ? fs::path(".") : path->parent_path(),
                             path->filename().string());
}

bool SaveUserConfig(const Config& config, const fs::path& inForce, std::string* why, const fs::path& target) {
    auto fail = [why](std::string reason) {
        if (why != nullptr) *why = std::move(reason);
        return false;
    };
    if (auto bad = UnstorableValue(config)) return fail(*bad + ": the value cannot be stored in the settings file");

    // Written through a link, so a settings file kept elsewhere (with the user's other
    // dotfiles) stays where it is; a link whose file is not there yet gets it made, and
    // stays a link.
    std::string reason;
    const auto writePath = WriteTarget(target, &reason);
    if (!writePath) return fail(target.string() + ": " + reason);
    const bool throughLink = *writePath != target;
    const fs::path dir = writePath->parent_path().empty() ? fs::path(".") : writePath->parent_path();
    std::error_code ec;
    const bool exists = fs::exists(*writePath, ec);
    if (ec) return fail(target.string() + ": " + Reason(ec));

    std::string base;
    if (exists) {
        const auto current = ReadSettingsFile(*writePath);
        if (!current) return fail(target.string() + ": cannot be read as a settings file, so it is left as it is");
        base = ProfileTextFromBytes(*current);
    } else if (auto raw = ReadSettingsFile(inForce)) {
        base = ProfileTextFromBytes(*raw);
    }

    const std::string text = ConfigText(base, config);
    // Nothing changed, nothing written: a file in another encoding stays as it is.
    if (text == base) return true;
    // What the file will say is checked before it says it: a line the reader would cut
    // must never move the log folder after a restart.
    if (auto bad = ValueNotReadBack(text, config))
        return fail(*bad + ": the value would not read back whole from the settings file, so nothing was written");

    if (throughLink && !fs::is_directory(dir, ec))
        return fail(target.string() + ": links to " + writePath->string() + ", whose folder does not exist");
    fs::create_directories(dir, ec);
    if (ec) return fail(dir.string() + ": " + Reason(ec));
    // A save killed part-way leaves its temporary file; the next one clears it.
    RemoveStaleTempFiles(dir, writePath->filename().string());
    if (!ReplaceFileContents(*writePath, text, &reason, KeepAttributes::ModeAndOwner))
        return fail(writePath->string() + ": " + reason);
    return true;
}

}  // namespace wing
