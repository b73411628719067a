#pragma once
// The race a club station gathers in one day: one race file per local day in the race
// folder. The release is entered once for the day; from then on each bird the station
// reads is added as soon as its archive is written, so the file is the day's race at any
// moment and survives the program being closed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/download_archive.h"
#include "platform/time_zone.h"
#include "race/race.h"

namespace wing {

// <folder>/station-YYYY-MM-DD.json, the local day of `utc` in `zone`.
std::filesystem::path StationRaceFile(const std::filesystem::path& folder, std::int64_t utc, const TimeZone& zone);

// The archives downloaded on the local day of `utc` in `zone`, oldest first: the birds the
// station read that day before its release was entered.
std::vector<ArchiveEntry> ArchivesOfDay(const ArchiveListing& listing, std::int64_t utc, const TimeZone& zone);

// A bird read from a logger of ours as a race keeps it: the logger's serial number for its
// name, its loft, and its archive (relative to the race file when it lies beside it).
RaceEntry LoggerBird(const std::wstring& serial, const std::filesystem::path& archive, const RaceLoft& loft,
                      const std::filesystem::path& raceFile);

// Gives the day's race the release, name, zone and rules of `release`: the file already
// there keeps its birds and every key this version does not know; a new one is made. Then
// each of `birds` not yet in it is added. Empty on success, else why (the file as it was).
std::string SetStationRelease(const std::filesystem::path& raceFile, const Race& release,
                              const std::vector<RaceEntry>& birds);

// Adds one bird to the day's race (nothing when its track is there already). Empty on
// success, else why, the file as it was.
std::string AddStationBird(const std::filesystem::path& raceFile, const RaceEntry& bird);

}  // namespace wing
