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
// Where a new race of that name goes by default: RaceFolder()/<name>.json, the name made
// safe for a file name; empty when there is no log folder.
std::filesystem::path DefaultRaceFile(const std::string& name);
// A track as a race file keeps it: relative when it lies in the race file's folder (the
// two move together), else its full path.
std::filesystem::path RaceTrackPath(const std::filesystem::path& track, const std::filesystem::path& raceFile);
// The PC's zone as a race file names it, the same on another PC: "Europe/Brussels", not
// the path of the file that holds it here.
std::string PortableZoneName(std::string name);

// The race a file's text holds, or a message naming what is wrong (the entry, the key).
std::variant<Race, std::string> DecodeRace(std::string_view json);
// The file's text: the race's values over keptJson's, unknown keys untouched.
std::string EncodeRace(const Race& race);

std::variant<Race, std::string> ReadRace(const std::filesystem::path& path);
// Empty on success; else what failed, the file left as it was.
std::string WriteRace(const Race& race, const std::filesystem::path& path);

}  // namespace wing
