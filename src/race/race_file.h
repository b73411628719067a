#pragma once
// The race file: a small JSON document (docs/race-file.md), by default in
// <log folder>/races/, written under a temporary name and renamed into place.

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

#include "race/race.h"

namespace wing {

// The folder races are kept in by default: <log folder>/races.
std::filesystem::path RaceFolder();

// The race a file's text holds, or a message naming what is wrong (the entry, the key).
std::variant<Race, std::string> DecodeRace(std::string_view json);
// The file's text: the race's values over keptJson's, unknown keys untouched.
std::string EncodeRace(const Race& race);

std::variant<Race, std::string> ReadRace(const std::filesystem::path& path);
// Empty on success; else what failed, the file left as it was.
std::string WriteRace(const Race& race, const std::filesystem::path& path);

}  // namespace wing
