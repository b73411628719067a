// race new: a race file from the command line (the release, the loft, the dead-time rule
// and the birds' tracks), each track read first so that a race is never made of files
// that cannot be judged.

#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

#include "archive/download_archive.h"
#include "cli/commands.h"
#include "export/file_output.h"
#include "platform/text.h"
#include "race/dead_time.h"
#include "race/race_file.h"
#include "race/track_input.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing::cli {
namespace {

namespace fs = std::filesystem;

Failure Usage(const std::string& message) { return Failure{Exit::Usage, "usage", FromUtf8(message)}; }

// The race the options describe, or why they do not describe one.
std::variant<Race, Failure> RaceFrom(const Context& ctx, const RaceNewOptions& options, const fs::path& file) {
    Race race;
    race.name = options.name;
    race.zone = options.zone.empty() ? PortableZoneName(CurrentTimeZone()) : options.zone;
    const auto zone = TimeZone::Named(race.zone);
    if (!zone) return Usage("--zone: not a time zone this system knows: " + race.zone);

    const auto release = ParseCoordinates(options.release);
    if (!release) return Failure{Exit::Usage, "usage", ctx.Text(IDS_FLIGHT_BAD_POSITION) + L" " + FromUtf8(options.release)};
    race.releasePoint = *release;
    const auto time = ParseLocalTime(options.releaseTime, *zone);
    if (!time)
        return Usage("--release-time: YYYY-MM-DD HH:MM[:SS], in " + race.zone + " or with its offset (Z, +08:00): " +
                     options.releaseTime);
    race.releaseTime = *time;

    if (!options.deadTime.empty()) {
        const auto rule = ParseDeadTime(options.deadTime);
        if (!rule) return Usage("--dead-time: none, HH:MM-HH:MM or sun:MINUTES: " + options.deadTime);
        race.rules.deadTime = *rule;
    }
    race.rules.arrivalRadiusMetres = ctx.config.arrivalRadius;

    std::optional<GeoPoint> loftPoint;
    LoftEntry loft;
    if (auto failure = ChooseLoft(ctx, options.loftName, options.loftAt, loftPoint, loft)) return *failure;
    if (!loftPoint) return Failure{Exit::Usage, "usage", ctx.Text(IDS_FLIGHT_NO_LOFT)};

    for (const std::string& track : options.tracks) {
        // Every bird's file is read now: a typing error is found before the race is judged.
        const auto read = ReadTrack(track);
        if (const auto* why = std::get_if<std::string>(&read))
            return Failure{Exit::Usage, "bad-track", ctx.Text(IDS_RACE_BAD_TRACK) + L" " + FromUtf8(*why)};
        RaceEntry entry;
        entry.loft = RaceLoft{loft.name, loft.position};
        entry.track = RaceTrackPath(track, file);
        race.entries.push_back(std::move(entry));
    }
    return race;
}

}  // namespace

CLI::App* AddRaceNewCommand(CLI::App& race, RaceNewOptions& options) {
    CLI::App* command = race.add_subcommand("new", "Make a race file: the release, the loft, the dead-time rule and the birds' tracks");
    command->add_option("--name", options.name, "The race's name")->required();
    command->add_option("--release", options.release, "The release point, e.g. \"47.9030, 1.9093\"")->required();
    command->add_option("--release-time", options.releaseTime,
                        "The liberation, \"YYYY-MM-DD HH:MM[:SS]\" in the race's zone, or with an offset (Z, +02:00)")
        ->required();
    command->add_option("--zone", options.zone, "The race's time zone, e.g. Europe/Brussels (default: the PC's)");
    auto* loftName = command->add_option("--loft", options.loftName, "A loft of the settings, by name (default: the first)");
    auto* loftAt = command->add_option("--loft-at", options.loftAt, "The loft's position, e.g. \"50.8467, 4.3525\"");
    loftName->excludes(loftAt);
    command->add_option("--dead-time", options.deadTime,
                        "Night time not timed: none (default), HH:MM-HH:MM in the race's zone, or sun:MINUTES "
                        "(sunset to sunrise at the loft, narrowed by MINUTES at both ends)");
    command->add_option("--out", options.out, "The race file to write (default: <log folder>/races/<name>.json)");
    command->add_option("track", options.tracks, "The birds' tracks: archives (.wing) or GPX files")->required();
    return command;
}

int RunRaceNew(const Context& ctx, const RaceNewOptions& options) {
    const fs::path file = options.out.empty() ? DefaultRaceFile(options.name) : fs::path(options.out);
    if (file.empty())
        return Report(ctx, Failure{Exit::FilesNotWritten, "not-written", ctx.Text(IDS_FILE_NOT_SAVED) + L" races"});
    auto made = RaceFrom(ctx, options, file);
    if (const auto* failure = std::get_if<Failure>(&made)) return Report(ctx, *failure);
    const Race& race = std::get<Race>(made);

    // A race file made earlier may hold corrections: it is never replaced by a new race.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec)))
        return Report(ctx, Failure{Exit::Usage, "exists", ctx.Text(IDS_RACE_FILE_EXISTS) + L" " + FromLocale8(file.string())});
    if (const std::string why = WriteRace(race, file); !why.empty())
        return Report(ctx, Failure{Exit::FilesNotWritten, "not-written", ctx.Text(IDS_FILE_NOT_SAVED) + L" " + FromUtf8(why)});

    if (ctx.json)
        PrintJson({{"ok", true}, {"exit", 0}, {"race", file.string()}, {"entries", race.entries.size()}});
    else
        PrintLine(ctx.Text(IDS_RACE_WRITTEN) + L" " + FromLocale8(file.string()) + L" (" +
                  std::to_wstring(race.entries.size()) + L" " + ctx.Text(IDS_RACE_BIRDS) + L")");
    return 0;
}

}  // namespace wing::cli
