#include "race/station_race.h"

#include <algorithm>
#include <variant>

#include "platform/text.h"
#include "race/race_file.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

std::string DayText(std::int64_t utc, const TimeZone& zone) { return zone.Format(utc, "%Y-%m-%d"); }

// The track as one file, wherever the entry names it from.
fs::path TrackFile(const RaceEntry& entry, const fs::path& raceFile) {
    const fs::path track = entry.track.is_relative() ? raceFile.parent_path() / entry.track : entry.track;
    return fs::absolute(track).lexically_normal();
}

bool HasTrack(const Race& race, const RaceEntry& bird, const fs::path& raceFile) {
    const fs::path wanted = TrackFile(bird, raceFile);
    return std::any_of(race.entries.begin(), race.entries.end(),
                       [&](const RaceEntry& e) { return TrackFile(e, raceFile) == wanted; });
}

void AddNew(Race& race, const std::vector<RaceEntry>& birds, const fs::path& raceFile) {
    for (const RaceEntry& bird : birds)
        if (!HasTrack(race, bird, raceFile)) race.entries.push_back(bird);
}

}  // namespace

fs::path StationRaceFile(const fs::path& folder, std::int64_t utc, const TimeZone& zone) {
    return folder / ("station-" + DayText(utc, zone) + ".json");
}

std::vector<ArchiveEntry> ArchivesOfDay(const ArchiveListing& listing, std::int64_t utc, const TimeZone& zone) {
    const std::string day = DayText(utc, zone);
    std::vector<ArchiveEntry> out;
    for (const ArchiveEntry& entry : listing.entries)
        if (DayText(entry.downloadedUtc, zone) == day) out.push_back(entry);
    std::stable_sort(out.begin(), out.end(),
                     [](const ArchiveEntry& a, const ArchiveEntry& b) { return a.downloadedUtc < b.downloadedUtc; });
    return out;
}

RaceEntry LoggerBird(const std::wstring& serial, const fs::path& archive, const RaceLoft& loft, const fs::path& raceFile) {
    RaceEntry entry;
    entry.name = ToUtf8(serial);
    entry.loft = loft;
    entry.track = RaceTrackPath(archive, raceFile);
    return entry;
}

std::string SetStationRelease(const fs::path& raceFile, const Race& release, const std::vector<RaceEntry>& birds) {
    Race race;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(raceFile, ec))) {
        auto read = ReadRace(raceFile);
        // A day's race that no longer reads is not written over: its birds would be lost.
        if (const auto* why = std::get_if<std::string>(&read)) return *why;
        race = std::move(std::get<Race>(read));
    }
    race.name = release.name;
    race.releasePoint = release.releasePoint;
    race.releaseTime = release.releaseTime;
    race.zone = release.zone;
    race.rules = release.rules;
    AddNew(race, birds, raceFile);
    return WriteRace(race, raceFile);
}

std::string AddStationBird(const fs::path& raceFile, const RaceEntry& bird) {
    auto read = ReadRace(raceFile);
    if (const auto* why = std::get_if<std::string>(&read)) return *why;
    Race& race = std::get<Race>(read);
    if (HasTrack(race, bird, raceFile)) return {};
    race.entries.push_back(bird);
    return WriteRace(race, raceFile);
}

}  // namespace wing
