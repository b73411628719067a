#pragma once
// What one fuzz input does to the settings reader and editor. The libFuzzer targets and
// the corpus replay test both call these drivers, so a corpus file runs through exactly
// the same code in either. Each returns the first broken invariant, or null.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"
#include "platform/profile_edit.h"

namespace wing::fuzz {

// The names an edit picks from: the real ones, their spellings in another case, and a
// few that only look like them.
inline constexpr std::array<const char*, 8> kSections = {"Mode", "Power", "NTP", "Log", "Flight", "mode", "Export", "Flight2"};
inline constexpr std::array<const char*, 8> kKeys = {"Competition", "Threshold", "Server", "Folder",
                                                     "Loft",        "Loft2",     "LoftName", "folder"};

inline std::optional<std::string> Read(const std::string& text, std::string_view section, std::string_view key) {
    ProfileFile profile;
    profile.Parse(text);
    return profile.GetString(section, key);
}

// The lines of `text`, each with its line end.
inline std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// Every value of the probe names but `key` in `section` reads in `after` as in `before`.
inline bool OthersReadAsBefore(const std::string& before, const std::string& after, std::string_view section,
                               std::string_view key) {
    ProfileFile a, b;
    a.Parse(before);
    b.Parse(after);
    for (const char* s : kSections)
        for (const char* k : kKeys)
            if (!(ProfileNamesEqual(s, section) && ProfileNamesEqual(k, key)) && a.GetString(s, k) != b.GetString(s, k))
                return false;
    return true;
}

// `value` set for `key` in `section` of `text`: it reads back, nothing else does
// otherwise, and what differs lies within one line of `text` (or is a line added).
inline const char* CheckSet(const std::string& text, std::string_view section, std::string_view key,
                            const std::string& value) {
    const std::string out = SetProfileValue(text, section, key, value);
    if (!ProfileValueFits(key, value)) return nullptr;  // refused before it is ever written
    if (Read(out, section, key) != value) return "the value set does not read back";
    if (!OthersReadAsBefore(text, out, section, key)) return "another value changed";
    std::size_t prefix = 0;
    while (prefix < text.size() && prefix < out.size() && text[prefix] == out[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < text.size() - prefix && suffix < out.size() - prefix &&
           text[text.size() - 1 - suffix] == out[out.size() - 1 - suffix])
        ++suffix;
    const std::string_view changed = std::string_view(text).substr(prefix, text.size() - prefix - suffix);
    return changed.find('\n') == std::string_view::npos ? nullptr : "more than the key's own line changed";
}

// `key` removed from `section` of `text`: it is gone, nothing else reads otherwise, and
// only whole lines were taken out.
inline const char* CheckRemove(const std::string& text, std::string_view section, std::string_view key) {
    const std::string out = RemoveProfileKey(text, section, key);
    if (Read(out, section, key)) return "a removed key still reads";
    if (!OthersReadAsBefore(text, out, section, key)) return "another value changed";
    std::size_t at = 0;
    for (std::string_view line : LinesOf(text))
        if (out.compare(at, line.size(), line) == 0) at += line.size();
    return at == out.size() ? nullptr : "a line that stays was changed";
}

// Any bytes as a settings file: read without fault; the one-pass section read agrees
// with the lookups by name; and each probe key the file holds can be set in place.
inline const char* DriveSettingsRead(const std::uint8_t* data, std::size_t size) {
    const std::string text = ProfileTextFromBytes(std::string(reinterpret_cast<const char*>(data), size));
    ProfileFile profile;
    profile.Parse(text);
    for (const char* section : kSections) {
        for (const auto& [key, value] : profile.Values(section))
            if (profile.GetString(section, key) != value) return "Values disagrees with GetString";
        for (const char* key : kKeys)
            if (profile.GetString(section, key))
                if (const char* failure = CheckSet(text, section, key, "1")) return failure;
    }
    return nullptr;
}

// Input: [section selector][key selector][operation][value bytes] 0xFF [text bytes]:
// one value set (CheckSet) or one key removed (CheckRemove).
inline const char* DriveSettingsEdit(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return nullptr;
    const char* section = kSections[data[0] % kSections.size()];
    const char* key = kKeys[data[1] % kKeys.size()];
    const bool remove = (data[2] & 1) != 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::size_t split = rest.find('\xFF');
    const std::string value(rest.substr(0, split));
    const std::string text(split == std::string_view::npos ? std::string_view() : rest.substr(split + 1));
    return remove ? CheckRemove(text, section, key) : CheckSet(text, section, key, value);
}

}  // namespace wing::fuzz
