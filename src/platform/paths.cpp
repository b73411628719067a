#include "platform/paths.h"

#include <ini.h>
#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "platform/ini_text.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace wing {
namespace {

fs::path HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return {};
}

// "~" and "~/..." under the home folder; anything else as it is.
fs::path ExpandHome(const std::string& text) {
    if (text == "~") return HomeDirectory();
    if (text.rfind("~/", 0) == 0) return HomeDirectory() / text.substr(2);
    return text;
}

std::mutex g_logFolderMutex;
fs::path g_logFolder;  // empty: C:\GPSLOG lies on drive C:

constexpr std::wstring_view kLogFolderName = L"gpslog";

struct DriveLookup {
    char letter;
    std::string value;
    bool found = false;
};

int OnIniEntry(void* user, const char* section, const char* name, const char* value) {
    auto* lookup = static_cast<DriveLookup*>(user);
    if (strcasecmp(section, "drives") != 0) return 1;
    if (std::strlen(name) == 1 && std::toupper(static_cast<unsigned char>(name[0])) == lookup->letter) {
        lookup->value = value;
        lookup->found = true;
    }
    return 1;
}

std::wstring Fold(std::wstring_view s) {
    std::wstring out(s);
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

// The entry of `dir` named `name` regardless of case: the exact spelling when it
// exists, otherwise the first match in name order, otherwise `name` itself.
fs::path MatchComponent(const fs::path& dir, const std::wstring& name) {
    std::error_code ec;
    fs::path exact = dir / ToLocale8(name);
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;
    const std::wstring wanted = Fold(name);
    std::string best;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (Fold(FromLocale8(entry)) == wanted && (best.empty() || entry < best)) best = entry;
    }
    return best.empty() ? exact : dir / best;
}

}  // namespace

fs::path UserMapFilePath() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        base = xdg;
    } else {
        base = HomeDirectory() / ".config";
    }
    return base / "wing-utility" / "device-map.ini";
}

fs::path DriveRoot(wchar_t letter) {
    auto upper = static_cast<char>(std::towupper(static_cast<wint_t>(letter)));
    if (upper < 'A' || upper > 'Z') return {};
    DriveLookup lookup{upper, {}, false};
    if (auto text = ReadIniSafeFile(UserMapFilePath())) ini_parse_string(text->c_str(), OnIniEntry, &lookup);
    if (lookup.found && !lookup.value.empty()) {
        fs::path root = ExpandHome(lookup.value);
        if (root.is_absolute()) return root;
        return {};
    }
    return upper == 'C' ? HomeDirectory() : fs::path{};
}

fs::path ResolveDrivePath(std::wstring_view windowsPath) {
    if (windowsPath.size() < 2 || windowsPath[1] != L':') return {};
    std::wstring_view rest = windowsPath.substr(2);
    if (!rest.empty() && rest[0] != L'\\' && rest[0] != L'/') return {};  // drive-relative

    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t c : rest) {
        if (c == L'\\' || c == L'/') {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    for (const auto& p : parts)
        if (p == L"." || p == L"..") return {};

    fs::path out;
    std::size_t first = 0;
    const bool logFolder = std::towupper(static_cast<wint_t>(windowsPath[0])) == L'C' && !parts.empty() &&
                           Fold(parts[0]) == kLogFolderName;
    if (fs::path moved = LogFolderOverride(); logFolder && !moved.empty()) {
        out = moved;
        first = 1;
    } else {
        out = DriveRoot(windowsPath[0]);
        if (out.empty()) return {};
    }
    for (std::size_t i = first; i < parts.size(); ++i) out = MatchComponent(out, parts[i]);
    return out;
}

bool DriveDirectoryExists(std::wstring_view windowsPath) {
    fs::path p = ResolveDrivePath(windowsPath);
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec);
}

bool CreateDriveDirectory(std::wstring_view windowsPath) {
    fs::path p = ResolveDrivePath(windowsPath);
    if (p.empty()) return false;
    std::error_code ec;
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

std::optional<fs::path> LogFolderFromSetting(std::string_view setting) {
    while (!setting.empty() && (setting.front() == ' ' || setting.front() == '\t')) setting.remove_prefix(1);
    while (!setting.empty() && (setting.back() == ' ' || setting.back() == '\t')) setting.remove_suffix(1);
    if (setting.empty()) return fs::path{};
    fs::path folder = ExpandHome(std::string(setting));
    if (!folder.is_absolute()) return std::nullopt;
    return folder;
}

void SetLogFolder(const fs::path& folder) {
    std::lock_guard<std::mutex> lock(g_logFolderMutex);
    g_logFolder = folder;
}

fs::path LogFolderOverride() {
    std::lock_guard<std::mutex> lock(g_logFolderMutex);
    return g_logFolder;
}

fs::path DefaultLogFolder() {
    const fs::path root = DriveRoot(L'C');
    return root.empty() ? root : MatchComponent(root, L"GPSLOG");
}

std::vector<fs::path> SystemConfigDirs() {
    std::vector<fs::path> dirs;
    const char* list = std::getenv("XDG_CONFIG_DIRS");
    std::string_view rest = list != nullptr ? list : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        // Relative entries are to be ignored, as the base directory rules say.
        if (!dir.empty() && dir.front() == '/') dirs.emplace_back(std::string(dir));
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    if (dirs.empty()) dirs.emplace_back("/etc/xdg");
    return dirs;
}

}  // namespace wing
