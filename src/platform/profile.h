#pragma once
// Profile (INI) files read with the rules of the Windows profile reader: section and key
// names compare case-insensitively, only the first section of a name is searched and
// the first key of a name in it wins, keys before any section belong to none, a value
// is trimmed and loses one pair of enclosing quotes, and an integer is the decimal
// number at the start of the value (sign allowed, text after it ignored, no digits 0).
// inih does the line parsing; these rules sit on top.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wing {

class ProfileFile {
public:
    // Reads and parses the file (UTF-8, or UTF-16 with a byte-order mark). False when
    // ReadSettingsFile gives nothing for it; the profile is then empty.
    bool Load(const std::filesystem::path& path);
    // Parses profile text given in memory (UTF-8).
    void Parse(std::string_view text);

    // The value of `key` in `section`, or nothing when either is absent.
    std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
    // The value read as a number with GetPrivateProfileInt's rules; `defaultValue` (as
    // an unsigned bit pattern) when the key is absent or its value empty.
    unsigned GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // Each key of `section` with its value as GetString gives it, in file order; of a
    // repeated name only the first, the one GetString takes. One pass, for sections of
    // many thousand keys.
    std::vector<std::pair<std::string, std::string>> Values(std::string_view section) const;
    // The names of the keys of `section`, in file order (repeated names included).
    std::vector<std::string> KeyNames(std::string_view section) const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    friend int ProfileHandler(void*, const char*, const char*, const char*);
    std::vector<Section> sections_;
};

// A profile file's bytes as the text it holds: UTF-16 with a byte-order mark becomes
// UTF-8, anything else is taken as it is.
std::string ProfileTextFromBytes(const std::string& raw);

// Profile names compare as the Windows reader compares them: ignoring ASCII case.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

// The leading decimal number of a profile value, wrapping modulo 2^32 as the Windows
// reader does ("-1" is 0xFFFFFFFF, "12abc" is 12, "abc" is 0).
unsigned ParseProfileInt(std::string_view value);

// One-shot reads of a file, for callers that need a single value.
unsigned GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                              const std::filesystem::path& file);
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file);

}  // namespace wing
