#include "platform/ini_text.h"

#include <ini.h>

#include <algorithm>

#include "platform/settings_file.h"

namespace wing {

namespace {
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
}

std::size_t IniLineLimit() {
    // inih keeps INI_MAX_LINE - 1 bytes with the line end; one more for a '=' the
    // profile reader may add to a key without a value.
    return INI_MAX_LINE - 3;
}

bool IniBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\0'; }

std::size_t IniTextStart(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && IniBlank(text[start])) ++start;
    if (text.substr(start, kUtf8Bom.size()) == kUtf8Bom) start += kUtf8Bom.size();
    return start;
}

std::string IniSafeLine(std::string_view line) {
    std::size_t start = 0;
    while (start < line.size() && IniBlank(line[start])) ++start;
    line.remove_prefix(start);
    if (line.size() > IniLineLimit()) line = line.substr(0, IniLineLimit());
    std::string out(line);
    for (auto& c : out)
        if (c == '\0') c = ' ';
    return out;
}

std::string IniSafeText(std::string_view text) {
    text.remove_prefix(IniTextStart(text));
    std::string out = "\n";
    out.reserve(std::min<std::size_t>(text.size(), 1u << 20) + 2);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        out += IniSafeLine(text.substr(start, end - start));
        out += '\n';
        start = end + 1;
    }
    return out;
}

std::optional<std::string> ReadIniSafeFile(const std::filesystem::path& path) {
    auto raw = ReadSettingsFile(path);
    if (!raw) return std::nullopt;
    return IniSafeText(*raw);
}

}  // namespace wing
