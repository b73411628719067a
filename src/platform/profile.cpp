#include "platform/profile.h"

#include <ini.h>

#include <charconv>
#include <unordered_set>

#include "platform/ini_text.h"
#include "platform/settings_file.h"
#include "platform/text.h"

namespace wing {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IniBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IniBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A value as the reader gives it: one pair of enclosing quotes taken off.
std::string_view Unquoted(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

std::string FoldedName(std::string_view name) {
    std::string out(name);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string ProfileTextFromBytes(const std::string& raw) {
    const bool le = raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
                    static_cast<unsigned char>(raw[1]) == 0xFE;
    const bool be = raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFE &&
                    static_cast<unsigned char>(raw[1]) == 0xFF;
    if (!le && !be) return raw;
    std::wstring wide;
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(raw[le ? i : i + 1]);
        const auto hi = static_cast<unsigned char>(raw[le ? i + 1 : i]);
        char32_t unit = static_cast<char32_t>(hi << 8 | lo);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < raw.size()) {
            const auto lo2 = static_cast<unsigned char>(raw[le ? i + 2 : i + 3]);
            const auto hi2 = static_cast<unsigned char>(raw[le ? i + 3 : i + 2]);
            const char32_t next = static_cast<char32_t>(hi2 << 8 | lo2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                i += 2;
            }
        }
        wide.push_back(static_cast<wchar_t>(unit));
    }
    return ToUtf8(wide);
}

int ProfileHandler(void* user, const char* section, const char* name, const char* value) {
    auto* self = static_cast<ProfileFile*>(user);
    // Section headers were rewritten to "[<index>]"; keys before the first header have
    // an empty section and belong to none, and so would keys under any other header.
    if (section == nullptr || *section == '\0' || name == nullptr) return 1;
    const std::string_view digits(section);
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error != std::errc() || end != digits.data() + digits.size() || index >= self->sections_.size()) return 1;
    self->sections_[index].keys.emplace_back(Trim(name), value ? Trim(value) : std::string_view());
    return 1;
}

void ProfileFile::Parse(std::string_view text) {
    sections_.clear();
    // Each line is left-trimmed (an indented line is a line of its own, never a
    // continuation) and each header becomes "[<index>]", so a repeated section stays
    // distinct and its name survives whatever characters it holds. The text starts where
    // the editor's does, and the prepared text with an empty line, so that inih takes no
    // byte-order mark of its own.
    text.remove_prefix(IniTextStart(text));
    std::string prepared = "\n";
    prepared.reserve(text.size() + 16);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        // A 10 MB line stays one line, a NUL ends nothing but its own line.
        const std::string safe = IniSafeLine(text.substr(start, end - start));
        std::string_view line = Trim(safe);
        if (!line.empty() && line.front() == '[') {
            std::string_view name = line.substr(1);
            const std::size_t close = name.find(']');
            if (close != std::string_view::npos) name = name.substr(0, close);
            prepared += '[';
            prepared += std::to_string(sections_.size());
            prepared += "]\n";
            sections_.push_back(Section{std::string(Trim(name)), {}});
        } else if (!line.empty() && line.find_first_of("=:") == std::string_view::npos &&
                   line.front() != ';' && line.front() != '#') {
            // A key without '=' has an empty value (so it reads as the default).
            prepared.append(line);
            prepared += "=\n";
        } else {
            prepared.append(line);
            prepared += '\n';
        }
        start = end + 1;
    }
    ini_parse_string(prepared.c_str(), ProfileHandler, this);
}

bool ProfileFile::Load(const std::filesystem::path& path) {
    sections_.clear();
    // A path that cannot be read (a directory, a FIFO, an I/O error, a huge file) reads
    // as an empty profile, every key at its default; it never throws or waits.
    const auto raw = ReadSettingsFile(path);
    if (!raw) return false;
    Parse(ProfileTextFromBytes(*raw));
    return true;
}

std::optional<std::string> ProfileFile::GetString(std::string_view section,
                                                  std::string_view key) const {
    for (const auto& s : sections_) {
        if (!ProfileNamesEqual(s.name, section)) continue;
        for (const auto& [name, value] : s.keys)
            if (ProfileNamesEqual(name, key)) return std::string(Unquoted(value));
        return std::nullopt;  // only the first section of a name is searched
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> ProfileFile::Values(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& s : sections_) {
        if (!ProfileNamesEqual(s.name, section)) continue;
        std::unordered_set<std::string> seen;
        for (const auto& [name, value] : s.keys)
            if (seen.insert(FoldedName(name)).second) values.emplace_back(name, Unquoted(value));
        break;  // only the first section of a name is searched
    }
    return values;
}

std::vector<std::string> ProfileFile::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    for (const auto& s : sections_) {
        if (!ProfileNamesEqual(s.name, section)) continue;
        for (const auto& entry : s.keys) names.push_back(entry.first);
        break;  // only the first section of a name is searched
    }
    return names;
}

unsigned ProfileFile::GetInt(std::string_view section, std::string_view key,
                             int defaultValue) const {
    const auto value = GetString(section, key);
    if (!value || value->empty()) return static_cast<unsigned>(defaultValue);
    return ParseProfileInt(*value);
}

unsigned ParseProfileInt(std::string_view value) {
    value = Trim(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    unsigned result = 0;
    for (char c : value) {
        if (c < '0' || c > '9') break;
        result = result * 10u + static_cast<unsigned>(c - '0');  // wraps like the Windows reader
    }
    return negative ? 0u - result : result;
}

unsigned GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                              const std::filesystem::path& file) {
    ProfileFile profile;
    profile.Load(file);
    return profile.GetInt(section, key, defaultValue);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file) {
    ProfileFile profile;
    profile.Load(file);
    auto value = profile.GetString(section, key);
    return value ? *value : std::string(defaultValue);
}

}  // namespace wing
