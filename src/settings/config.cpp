#include "settings/config.h"

#include <sys/stat.h>

#include "platform/message_box.h"
#include "platform/module_dir.h"
#include "platform/profile.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {

namespace {
}

std::filesystem::path ConfigFilePath() {
    std::string dir;
    GetModuleDir(dir);  // on failure the name alone is used, relative to the working directory
    return std::filesystem::path(dir + kConfigFileName);
}

Config LoadConfig(unsigned langId, const std::filesystem::path& path) {
    Config config;
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0) {
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
    config.competition = static_cast<int>(profile.GetInt("Mode", "Competition", 2));
    config.threshold = profile.GetInt("Power", "Threshold", 4);
    config.languageByOS = static_cast<std::uint8_t>(profile.GetInt("Language", "LanguageByOS", 4));
    config.ntpEnable = static_cast<int>(profile.GetInt("NTP", "NTP", 0));
    config.personal = static_cast<int>(profile.GetInt("Personal", "ENABLE", 0));
    config.comNumber = static_cast<int>(profile.GetInt("Personal", "COM", 0));
    if (auto server = profile.GetString("NTP", "Server"); server && !server->empty())
        config.ntpServer = *server;
    if (auto loft = profile.GetString("Flight", "Loft")) config.loft = *loft;
    if (auto name = profile.GetString("Flight", "LoftName"); name && !name->empty()) config.loftName = *name;
    config.arrivalRadius = static_cast<int>(profile.GetInt("Flight", "ArrivalRadius", 100));
    if (config.arrivalRadius <= 0) config.arrivalRadius = 100;
    config.openFlightAfterSave = static_cast<int>(profile.GetInt("Flight", "OpenAfterSave", 1));
    config.gpx = static_cast<int>(profile.GetInt("Export", "GPX", 0));
    return config;
}

Config LoadConfig(unsigned langId) { return LoadConfig(langId, ConfigFilePath()); }

}  // namespace wing
