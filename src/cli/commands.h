#pragma once
// The subcommands of wing-utility-cli. Each returns the process's exit code (cli::Exit)
// and prints its result as text or, with --json, as JSON.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "flight/coordinates.h"
#include "platform/time_zone.h"

namespace CLI {
class App;
}

namespace wing::cli {

struct StatusOptions {
    int port = 0;  // 0: the adapter found
};

// What a setting sends, from --now / --at / --mode.
struct SetOptions {
    int port = 0;
    bool now = false;
    std::string at;        // "YYYY-MM-DD HH:MM" local time
    std::string mode;      // "1".."3" interval modes, "racing"; empty: as the settings' configuration
    bool yes = false;      // set a racing mode on a low battery without asking
};

struct ReadOptions {
    int port = 0;
    std::string out;      // the log folder for this run; empty: the settings'
    std::string formats;  // "csv,kml,gpx,js"; empty: as the window writes
};

struct ExportOptions {
    std::vector<std::string> archives;
    std::string out;
    std::string formats;
};

struct FlightOptions {
    std::string archive;
    std::string loftName;    // a loft of the settings
    std::string loftAt;      // a position typed by hand
    std::string release;     // the release point typed by hand
    std::string releaseTime; // "YYYY-MM-DD HH:MM[:SS]" local time
};

// race new: a race file from the release, the loft and the birds' tracks.
struct RaceNewOptions {
    std::string name;
    std::string release;      // the release point typed by hand
    std::string releaseTime;  // "YYYY-MM-DD HH:MM[:SS]" in the race's zone, or with an offset
    std::string zone;         // the race's zone; empty: the PC's own
    std::string loftName;
    std::string loftAt;
    std::string deadTime;     // none, HH:MM-HH:MM, sun:MINUTES; empty: none
    std::string out;          // the race file; empty: <log folder>/races/<name>.json
    std::vector<std::string> tracks;
};

struct StationOptions {
    int port = 0;
    bool autoRead = false;
    bool autoSet = false;
    SetOptions set;
    std::string roster;  // CSV file the lines are appended to
    std::string out;
    std::string formats;
};

struct RaceOptions {
    std::string file;     // the race file
    std::string formats;  // "csv,json,html"; empty: all three
    std::string out;      // folder of the result files; empty: the race file's
};

int RunPorts(const Context& ctx);
int RunStatus(const Context& ctx, const StatusOptions& options);
int RunSet(const Context& ctx, const SetOptions& options);
int RunRead(const Context& ctx, const ReadOptions& options);
int RunExport(const Context& ctx, const ExportOptions& options);
int RunFlight(const Context& ctx, const FlightOptions& options);
int RunStation(const Context& ctx, const StationOptions& options);
int RunRace(const Context& ctx, const RaceOptions& options);
int RunRaceNew(const Context& ctx, const RaceNewOptions& options);

// The subcommand "new" of `race`, its options filling `options`.
CLI::App* AddRaceNewCommand(CLI::App& race, RaceNewOptions& options);

// The loft a command works with: the position typed (--loft-at), a loft of the settings by
// name (--loft), else the settings' first; none when the settings have none. `chosen` is
// the settings' entry, or the typed position without a name.
std::optional<Failure> ChooseLoft(const Context& ctx, const std::string& loftName, const std::string& loftAt,
                                  std::optional<GeoPoint>& loft, LoftEntry& chosen);

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" (or with a 'T') as UTC seconds: local time
// in `zone`, or at the offset that follows it ("Z", "+08:00", "-0500", "+08"). None when
// the text is not such a time, or the zone's clocks skipped it or showed it twice.
std::optional<std::int64_t> ParseLocalTime(const std::string& text, const TimeZone& zone);
// The same in the PC's own zone.
std::optional<std::int64_t> ParseLocalTime(const std::string& text);
// UTC seconds as "YYYY-MM-DD HH:MM:SS" local time in `zone`.
std::string LocalTimeText(std::int64_t utc, const TimeZone& zone);
// The same in the PC's own zone.
std::string LocalTimeText(std::int64_t utc);
// UTC seconds as ISO 8601 with 'Z'.
std::string UtcTimeText(std::int64_t utc);

}  // namespace wing::cli
