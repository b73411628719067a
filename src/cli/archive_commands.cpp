// export and flight: the files again, and the flight's figures, from archived downloads.

#include <cmath>
#include <cstdio>
#include <string>

#include "archive/download_archive.h"
#include "cli/commands.h"
#include "cli/output_choices.h"
#include "flight/coordinates.h"
#include "flight/flight_analysis.h"
#include "platform/text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing::cli {
namespace {

Failure Unreadable(const Context& ctx, const std::string& path, const std::string& why) {
    return Failure{Exit::Usage, "bad-archive", ctx.Text(IDS_FLIGHT_DAMAGED) + L" " + FromLocale8(path) + L": " + FromUtf8(why)};
}

Failure BadPosition(const Context& ctx, const std::string& text) {
    return Failure{Exit::Usage, "usage", ctx.Text(IDS_FLIGHT_BAD_POSITION) + L" " + FromUtf8(text)};
}

std::string Fixed(double value, int places) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", places, value);
    return text;
}

std::string Duration(std::int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

nlohmann::json SummaryJson(const FlightSummary& s, const std::optional<GeoPoint>& loft, const std::string& loftName) {
    nlohmann::json doc{{"ok", true}};
    if (loft) doc["loft"] = {{"name", loftName}, {"lat", loft->lat}, {"lon", loft->lon}};
    if (s.release)
        doc["release"] = {{"time", UtcTimeText(s.release->time)},
                          {"lat", s.release->point.lat},
                          {"lon", s.release->point.lon},
                          {"estimated", s.release->Estimated()}};
    if (s.arrival)
        doc["arrival"] = {{"time", UtcTimeText(s.arrival->time)},
                          {"lat", s.arrival->point.lat},
                          {"lon", s.arrival->point.lon},
                          {"metres_from_loft", s.arrival->distanceToLoftMetres}};
    auto put = [&](const char* key, const auto& value) {
        if (value) doc[key] = *value;
    };
    put("flight_seconds", s.flightSeconds);
    put("distance_metres", s.distanceMetres);
    put("velocity_m_per_min", s.velocityMetresPerMinute);
    put("velocity_yd_per_min", s.velocityYardsPerMinute);
    put("path_metres", s.pathMetres);
    put("route_efficiency", s.routeEfficiency);
    put("average_speed_kmh", s.averageSpeedKmh);
    put("max_speed_kmh", s.maxSpeedKmh);
    put("max_logger_speed_kmh", s.maxLoggerSpeedKmh);
    put("max_altitude_metres", s.maxAltitudeMetres);
    nlohmann::json rests = nlohmann::json::array();
    for (const Rest& r : s.rests)
        rests.push_back({{"start", UtcTimeText(r.start)},
                         {"seconds", r.durationSeconds},
                         {"lat", r.centre.lat},
                         {"lon", r.centre.lon}});
    doc["rests"] = rests;
    doc["points"] = {{"ok", s.counts.ok},
                     {"no_fix", s.counts.noFix},
                     {"zero_position", s.counts.zeroPosition},
                     {"out_of_range", s.counts.outOfRange},
                     {"spike", s.counts.spike}};
    return doc;
}

void PrintSummary(const Context& ctx, const FlightSummary& s, bool haveLoft, const TimeZone& zone) {
    auto line = [&](unsigned id, const std::string& value) { PrintLine(ctx.Text(id) + L": " + FromUtf8(value)); };
    if (!haveLoft) PrintLine(ctx.Text(IDS_FLIGHT_NO_LOFT));
    if (s.velocityMetresPerMinute)
        line(IDS_FLIGHT_VELOCITY,
             Fixed(*s.velocityMetresPerMinute, 2) + " m/min   " + Fixed(*s.velocityYardsPerMinute, 2) + " yd/min");
    if (s.release)
        line(IDS_FLIGHT_RELEASE, LocalTimeText(s.release->time, zone) +
                                     (s.release->Estimated() ? " (" + ToUtf8(ctx.Text(IDS_FLIGHT_ESTIMATED)) + ")" : ""));
    if (haveLoft)
        line(IDS_FLIGHT_ARRIVAL, s.arrival ? LocalTimeText(s.arrival->time, zone) : ToUtf8(ctx.Text(IDS_FLIGHT_NOT_ARRIVED)));
    if (s.flightSeconds) line(IDS_FLIGHT_TIME, Duration(*s.flightSeconds));
    if (s.distanceMetres && haveLoft) line(IDS_FLIGHT_DISTANCE, Fixed(*s.distanceMetres / 1000, 3) + " km");
    if (s.pathMetres) line(IDS_FLIGHT_PATH, Fixed(*s.pathMetres / 1000, 3) + " km");
    if (s.routeEfficiency) line(IDS_FLIGHT_EFFICIENCY, Fixed(*s.routeEfficiency * 100, 1) + " %");
    if (s.averageSpeedKmh && s.maxSpeedKmh)
        line(IDS_FLIGHT_SPEED, Fixed(*s.averageSpeedKmh, 1) + " / " + Fixed(*s.maxSpeedKmh, 1) + " km/h");
    if (s.maxLoggerSpeedKmh) line(IDS_FLIGHT_LOGGER_SPEED, std::to_string(*s.maxLoggerSpeedKmh) + " km/h");
    if (s.maxAltitudeMetres) line(IDS_FLIGHT_ALTITUDE, std::to_string(*s.maxAltitudeMetres) + " m");
    line(IDS_FLIGHT_RESTS, std::to_string(s.rests.size()));
    for (const Rest& r : s.rests)
        PrintLine(L"  " + FromUtf8(LocalTimeText(r.start, zone)) + L"  " + std::to_wstring(r.durationSeconds / 60) + L" min  " +
                  FromUtf8(FormatCoordinates(r.centre)));
    const int leftOut = s.counts.noFix + s.counts.zeroPosition + s.counts.outOfRange + s.counts.spike;
    line(IDS_FLIGHT_LEFT_OUT, std::to_string(leftOut));
}

}  // namespace

std::optional<Failure> ChooseLoft(const Context& ctx, const std::string& loftName, const std::string& loftAt,
                                  std::optional<GeoPoint>& loft, LoftEntry& chosen) {
    if (!loftAt.empty()) {
        loft = ParseCoordinates(loftAt);
        if (!loft) return BadPosition(ctx, loftAt);
        chosen = LoftEntry{"", loftAt};
        return std::nullopt;
    }
    const LoftEntry* entry = nullptr;
    if (!loftName.empty()) {
        entry = FindLoft(ctx.config, loftName);
        if (entry == nullptr)
            return Failure{Exit::Usage, "usage", ctx.Text(IDS_FLIGHT_NO_LOFT) + L" (" + FromUtf8(loftName) + L")"};
    } else if (!ctx.config.lofts.empty()) {
        entry = &ctx.config.lofts.front();  // the first loft, as the flight window opens with
    }
    if (entry == nullptr) return std::nullopt;
    chosen = *entry;
    loft = ParseCoordinates(entry->position);
    if (!loft) return BadPosition(ctx, entry->position);
    return std::nullopt;
}

int RunExport(const Context& ctx, const ExportOptions& options) {
    Failure usage;
    const auto choices = OutputChoicesFrom(ctx, options.out, options.formats, usage);
    if (!choices) return Report(ctx, usage);
    ApplyToProcess(*choices);
    int exit = 0;
    nlohmann::json results = nlohmann::json::array();
    for (const std::string& path : options.archives) {
        auto read = ReadArchive(path);
        // An archive whose zone this system does not know cannot give the files of the day.
        if (const auto* download = std::get_if<ArchivedDownload>(&read))
            if (auto zone = ArchiveZone(*download); std::holds_alternative<std::string>(zone))
                read = std::get<std::string>(zone);
        if (const auto* why = std::get_if<std::string>(&read)) {
            // One bad archive is named and skipped; the others are still exported.
            const Failure failure = Unreadable(ctx, path, *why);
            if (!ctx.json) PrintError(failure.message);
            results.push_back({{"archive", path}, {"ok", false}, {"error", failure.kind}, {"message", ToUtf8(failure.message)}});
            if (exit == 0) exit = static_cast<int>(Exit::Usage);
            continue;
        }
        const auto& download = std::get<ArchivedDownload>(read);
        const auto notWritten = ExportArchive(download, choices->formats);
        nlohmann::json missing = nlohmann::json::array();
        for (const auto& f : notWritten) {
            missing.push_back({{"path", ToUtf8(f.path)}, {"reason", ToUtf8(f.reason)}});
            if (!ctx.json) PrintError(ctx.Text(IDS_FILE_NOT_SAVED) + L" " + f.path + L": " + f.reason);
        }
        if (!notWritten.empty()) exit = static_cast<int>(Exit::FilesNotWritten);
        else if (!ctx.json) PrintLine(FromLocale8(path) + L": " + std::to_wstring(download.rawSlots.size()) + L" " + ctx.Text(IDS_CLI_RECORDS));
        results.push_back({{"archive", path}, {"ok", notWritten.empty()}, {"records", download.rawSlots.size()}, {"not_written", missing}});
    }
    if (ctx.json) PrintJson({{"ok", exit == 0}, {"exit", exit}, {"folder", LogFolder().string()}, {"archives", results}});
    return exit;
}

int RunFlight(const Context& ctx, const FlightOptions& options) {
    auto read = ReadArchive(options.archive);
    if (const auto* why = std::get_if<std::string>(&read)) return Report(ctx, Unreadable(ctx, options.archive, *why));
    const auto& download = std::get<ArchivedDownload>(read);
    // Every local time of the flight, typed or shown, is in the download's zone.
    const auto zoneOf = ArchiveZone(download);
    if (const auto* why = std::get_if<std::string>(&zoneOf)) return Report(ctx, Unreadable(ctx, options.archive, *why));
    const TimeZone& zone = std::get<TimeZone>(zoneOf);

    FlightInput input;
    input.settings.arrivalRadiusMetres = ctx.config.arrivalRadius;
    std::optional<GeoPoint> loft;
    LoftEntry chosen;
    if (auto failure = ChooseLoft(ctx, options.loftName, options.loftAt, loft, chosen)) return Report(ctx, *failure);
    if (loft) input.loft = *loft;
    const std::string loftName = chosen.name.empty() ? chosen.position : chosen.name;
    if (!options.release.empty() || !options.releaseTime.empty()) {
        const auto point = ParseCoordinates(options.release);
        if (!point) return Report(ctx, BadPosition(ctx, options.release));
        const auto time = ParseLocalTime(options.releaseTime, zone);
        if (!time)
            return Report(ctx, Failure{Exit::Usage, "usage",
                                       L"--release-time: YYYY-MM-DD HH:MM[:SS], in " + FromUtf8(zone.Name()) +
                                           L" or with its offset (Z, +08:00): " + FromUtf8(options.releaseTime)});
        input.release = ReleaseEntry{*point, *time};
    }
    const FlightSummary summary = AnalyseFlight(RecordsOf(download), input);
    if (ctx.json) {
        nlohmann::json doc = SummaryJson(summary, loft, loftName);
        doc["serial"] = ToUtf8(download.serial);
        doc["downloaded"] = UtcTimeText(download.downloadedUtc);
        PrintJson(doc);
    } else {
        PrintLine(ctx.Text(IDS_FLIGHT_TITLE) + L" - " + download.serial + L" - " + FromUtf8(LocalTimeText(download.downloadedUtc, zone)));
        PrintSummary(ctx, summary, loft.has_value(), zone);
    }
    return 0;
}

}  // namespace wing::cli
