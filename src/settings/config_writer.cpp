#include "settings/config_writer.h"

#include <cctype>
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
    };
}

std::string Folded(std::string_view key) {
    std::string out(key);
    for (auto& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

// Every Loft<n> and LoftName<n> key of the file that none of `count` lofts uses any more.
std::set<std::string> StaleLoftKeys(const ProfileFile& profile, std::size_t count) {
    std::set<std::string> used;
    for (std::size_t i = 0; i < count; ++i) {
        used.insert(Folded(LoftKey(i)));
        used.insert(Folded(LoftNameKey(i)));
    }
    std::set<std::string> stale;
    for (const std::string& key : profile.KeyNames("Flight"))
        if ((NumberedLoftKey(key, "Loft") || NumberedLoftKey(key, "LoftName")) && !used.count(Folded(key)))
            stale.insert(key);
    return stale;
}

std::string WriteLofts(std::string text, const ProfileFile& profile, const Config& config) {
    for (const std::string& key : StaleLoftKeys(profile, config.lofts.size()))
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

std::string Reason(const std::error_code& ec) { return ec.message(); }

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
    return text;
}

std::optional<std::string> UnstorableValue(const Config& config) {
    for (const Entry& e : ScalarEntries(config))
        if (!ProfileValueFits(e.key, e.value)) return "[" + std::string(e.section) + "] " + e.key;
    for (std::size_t i = 0; i < config.lofts.size(); ++i) {
        if (!ProfileValueFits(LoftKey(i), config.lofts[i].position)) return "[Flight] " + LoftKey(i);
        if (!ProfileValueFits(LoftNameKey(i), config.lofts[i].name)) return "[Flight] " + LoftNameKey(i);
    }
    return std::nullopt;
}

bool SaveUserConfig(const Config& config, const fs::path& inForce, std::string* why, const fs::path& target) {
    auto fail = [why](std::string reason) {
        if (why != nullptr) *why = std::move(reason);
        return false;
    };
    if (auto bad = UnstorableValue(config)) return fail(*bad + ": the value cannot be stored in the settings file");

    std::error_code ec;
    // Written through a link, so a settings file kept elsewhere (with the user's other
    // dotfiles) stays where it is.
    const bool exists = fs::exists(target, ec);
    const fs::path writePath = exists ? fs::canonical(target, ec) : target;
    if (ec) return fail(target.string() + ": " + Reason(ec));

    std::string base;
    std::optional<std::string> current;
    if (exists) {
        current = ReadSettingsFile(writePath);
        if (!current) return fail(target.string() + ": cannot be read as a settings file, so it is left as it is");
        base = ProfileTextFromBytes(*current);
    } else if (auto raw = ReadSettingsFile(inForce)) {
        base = ProfileTextFromBytes(*raw);
    }

    const std::string text = ConfigText(base, config);
    if (exists ? text == *current : text == base) return true;
    fs::create_directories(writePath.parent_path(), ec);
    if (ec) return fail(writePath.parent_path().string() + ": " + Reason(ec));
    std::string reason;
    if (!ReplaceFileContents(writePath, text, &reason)) return fail(writePath.string() + ": " + reason);
    return true;
}

}  // namespace wing
