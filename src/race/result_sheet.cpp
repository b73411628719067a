#include "race/result_sheet.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "export/file_output.h"
#include "platform/text.h"
#include "platform/time_zone.h"
#include "race/dead_time.h"
#include "race/race_time.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

std::string Text(unsigned langId, unsigned id) {
    std::wstring text;
    if (!LoadLanguageString(langId, id, text)) LoadLanguageString(LANG_EN_US, id, text);
    return ToUtf8(text);
}

TimeZone ZoneOf(const RaceJudgement& j) {
    if (j.race.zone.empty()) return TimeZone::Utc();
    return TimeZone::Named(j.race.zone).value_or(TimeZone::Utc());
}

std::string LocalTime(std::int64_t utc, const TimeZone& zone) { return zone.Format(utc, "%Y-%m-%d %H:%M:%S"); }

std::string Fixed(double value, int places) { return Format("%.*f", places, value); }

std::string Duration(std::int64_t seconds) {
    const char* sign = seconds < 0 ? "-" : "";
    seconds = std::llabs(seconds);
    return Format("%s%lld:%02lld:%02lld", sign, static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
}

std::string UnitText(const RaceRules& rules, unsigned langId) {
    return Text(langId, rules.unit == VelocityUnit::YardsPerMinute ? IDS_RACE_UNIT_YD : IDS_RACE_UNIT_M);
}

std::string DeadTimeWords(const DeadTimeRule& rule, unsigned langId) {
    switch (rule.kind) {
        case DeadTimeRule::Kind::None: return Text(langId, IDS_RACE_DEAD_NONE);
        case DeadTimeRule::Kind::Fixed:
            return Text(langId, IDS_RACE_DEAD_FIXED) + " " +
                   Format("%02d:%02d-%02d:%02d", rule.startMinute / 60, rule.startMinute % 60, rule.endMinute / 60,
                          rule.endMinute % 60);
        case DeadTimeRule::Kind::Sun: return Text(langId, IDS_RACE_DEAD_SUN) + " " + Format("%+d", rule.sunOffsetMinutes);
    }
    return {};
}

using Column = RaceResultColumn;

std::vector<Column> Columns(const RaceJudgement& j, unsigned langId, const TimeZone& zone) {
    const RaceRules& rules = j.race.rules;
    auto entry = [&j](const BirdResult& b) -> const RaceEntry& {
        static const RaceEntry none;
        return b.entry < j.race.entries.size() ? j.race.entries[b.entry] : none;
    };
    auto judged = [](const BirdResult& b) { return b.problem.empty(); };
    auto km = [](std::optional<double> metres) { return metres ? Fixed(*metres / 1000, 3) : std::string(); };
    // The cells are called after this returns: the language is held by value.
    auto t = [langId](unsigned id) { return Text(langId, id); };
    return {
        {t(IDS_RACE_COL_RANK), [](const BirdResult& b) { return b.rank > 0 ? std::to_string(b.rank) : std::string(); }},
        {t(IDS_RACE_COL_RING), [=](const BirdResult& b) { return entry(b).ring; }, false},
        {t(IDS_RACE_COL_NAME), [=](const BirdResult& b) { return entry(b).name; }, false},
        {t(IDS_RACE_COL_OWNER), [=](const BirdResult& b) { return entry(b).owner; }, false},
        {t(IDS_RACE_COL_LOFT),
         [=](const BirdResult& b) { return entry(b).loft.name.empty() ? entry(b).loft.position : entry(b).loft.name; }, false},
        {t(IDS_RACE_COL_TRACK), [=](const BirdResult& b) { return entry(b).track.string(); }, false, false},
        {t(IDS_RACE_COL_ARRIVAL),
         [=](const BirdResult& b) {
             if (!judged(b)) return std::string();
             return b.arrival ? LocalTime(*b.arrival, zone) : t(IDS_RACE_NOT_ARRIVED);
         },
         false},
        {t(IDS_RACE_COL_DISTANCE), [=](const BirdResult& b) { return judged(b) ? km(b.distanceMetres) : ""; }},
        {t(IDS_RACE_COL_FLYING), [=](const BirdResult& b) { return judged(b) ? Duration(b.flyingSeconds) : ""; }},
        {t(IDS_RACE_COL_DEAD), [=](const BirdResult& b) { return judged(b) ? Duration(b.deadSeconds) : ""; }},
        {t(IDS_RACE_COL_VELOCITY) + " (" + UnitText(rules, langId) + ")",
         [=](const BirdResult& b) {
             const auto v = PublishedVelocity(rules, b);
             return v ? Fixed(*v, std::clamp(rules.velocityDecimals, 0, 6)) : std::string();
         }},
        {t(IDS_RACE_COL_PATH), [=](const BirdResult& b) { return judged(b) ? km(b.pathMetres) : ""; }},
        {t(IDS_RACE_COL_EXTRA), [=](const BirdResult& b) { return judged(b) ? km(b.extraMetres) : ""; }},
        {t(IDS_RACE_COL_MAX_CROSS), [=](const BirdResult& b) { return judged(b) ? Fixed(b.maxCrossTrackMetres, 0) : ""; }},
        {t(IDS_RACE_COL_MEAN_CROSS), [=](const BirdResult& b) { return judged(b) ? Fixed(b.meanCrossTrackMetres, 0) : ""; }},
        {t(IDS_RACE_COL_SIDE),
         [=](const BirdResult& b) {
             return b.crossTrackSide < 0 ? t(IDS_RACE_SIDE_LEFT) : b.crossTrackSide > 0 ? t(IDS_RACE_SIDE_RIGHT) : "";
         },
         false},
        {t(IDS_RACE_COL_TURN_BACKS),
         [=](const BirdResult& b) {
             std::string cell;
             for (const TurnBack& tb : b.turnBacks) cell += (cell.empty() ? "" : "; ") + Fixed(tb.seconds / 60.0, 1);
             return cell;
         }},
        {t(IDS_RACE_COL_RESTS),
         [=](const BirdResult& b) {
             std::string cell;
             for (const JudgedRest& r : b.rests) {
                 cell += (cell.empty() ? "" : "; ") + Fixed(r.rest.durationSeconds / 60.0, 0);
                 if (r.velocityWithoutMetresPerMinute) {
                     BirdResult without;
                     without.velocityMetresPerMinute = r.velocityWithoutMetresPerMinute;
                     without.velocityYardsPerMinute = *r.velocityWithoutMetresPerMinute / kMetresPerYard;
                     cell += ": " + Fixed(*PublishedVelocity(rules, without), std::clamp(rules.velocityDecimals, 0, 6));
                 }
             }
             return cell;
         }},
        {t(IDS_RACE_COL_BEHIND), [=](const BirdResult& b) { return km(b.behindWinnerMetres); }},
        {t(IDS_RACE_COL_BEHIND_MIN),
         [=](const BirdResult& b) { return b.behindWinnerMinutes ? Fixed(*b.behindWinnerMinutes, 1) : std::string(); }},
        {t(IDS_RACE_COL_CLOSEST), [=](const BirdResult& b) { return km(b.closestMetres); }},
        {t(IDS_RACE_COL_PROBLEM), [](const BirdResult& b) { return b.problem; }, false},
    };
}

// A CSV field: quoted when it holds a separator, a quote or a line end. Text a spreadsheet
// would run as a formula (=, +, -, @ first) gets a leading apostrophe: a ring number or an
// owner's name from a race file must never become a command.
std::string CsvField(const std::string& text, bool number) {
    std::string out = text;
    if (!number && !out.empty() && std::string_view("=+-@\t\r").find(out[0]) != std::string_view::npos) out.insert(0, "'");
    if (out.find_first_of(",\"\r\n") == std::string::npos) return out;
    std::string quoted = "\"";
    for (char c : out) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string Html(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string LangAttribute(unsigned langId) {
    return langId == LANG_ZH_TW ? "zh-TW" : langId == LANG_ZH_CN ? "zh-CN" : "en";
}

// The race's head lines: label and value, shown above the table.
std::vector<std::pair<std::string, std::string>> RaceLines(const RaceJudgement& j, unsigned langId, const TimeZone& zone) {
    const Race& r = j.race;
    auto t = [&](unsigned id) { return Text(langId, id); };
    std::vector<std::pair<std::string, std::string>> lines{
        {t(IDS_RACE_RELEASE), LocalTime(r.releaseTime, zone)},
        {t(IDS_RACE_ZONE), r.zone.empty() ? "UTC" : r.zone},
        {t(IDS_RACE_POINT), FormatCoordinates(r.releasePoint)},
        {t(IDS_RACE_UNIT), UnitText(r.rules, langId)},
        {t(IDS_RACE_DECIMALS), std::to_string(r.rules.velocityDecimals)},
        {t(IDS_RACE_DEAD_TIME), DeadTimeWords(r.rules.deadTime, langId)},
        {t(IDS_RACE_ARRIVAL_RADIUS), Fixed(r.rules.arrivalRadiusMetres, 0)},
        {t(IDS_RACE_MAX_DAYS), std::to_string(r.rules.maxDays)},
    };
    if (j.winnerArrival) lines.push_back({t(IDS_RACE_WINNER_ARRIVAL), LocalTime(*j.winnerArrival, zone)});
    return lines;
}

// Printed on A4 across: the table's head repeats on every page and no bird's row is split.
constexpr char kStyle[] = R"(
body { font-family: "Noto Sans", "Noto Sans CJK TC", "Noto Sans CJK SC", sans-serif; font-size: 10pt; margin: 1em; }
h1 { font-size: 15pt; margin: 0 0 0.4em; }
table.rules { border-collapse: collapse; margin-bottom: 1em; }
table.rules th { text-align: left; font-weight: normal; color: #444; padding: 0 1.2em 0 0; }
table.birds { border-collapse: collapse; width: 100%; }
table.birds caption { text-align: left; font-weight: bold; padding: 0.2em 0; }
table.birds th, table.birds td { border: 1px solid #999; padding: 2px 4px; vertical-align: top; }
table.birds th { background: #eee; font-weight: bold; }
table.birds td.n { text-align: right; white-space: nowrap; }
table.birds tr.problem td { color: #900; }
@page { size: A4 landscape; margin: 10mm; }
@media print {
  body { margin: 0; font-size: 7pt; }
  table.birds th { background: none; }
  thead { display: table-header-group; }
  tr { break-inside: avoid; page-break-inside: avoid; }
}
)";

}  // namespace

std::vector<RaceResultColumn> RaceResultColumns(const RaceJudgement& judgement, unsigned langId) {
    return Columns(judgement, langId, ZoneOf(judgement));
}

std::string RaceResultCsv(const RaceJudgement& judgement, unsigned langId) {
    ScopedCNumeric numeric;
    const TimeZone zone = ZoneOf(judgement);
    const std::vector<Column> columns = Columns(judgement, langId, zone);
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c) out += (c ? "," : "") + CsvField(columns[c].title, false);
    out += "\r\n";
    for (const BirdResult& bird : judgement.birds) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            out += (c ? "," : "") + CsvField(columns[c].cell(bird), columns[c].number);
        out += "\r\n";
    }
    return out;
}

std::string RaceResultHtml(const RaceJudgement& judgement, unsigned langId) {
    ScopedCNumeric numeric;
    const TimeZone zone = ZoneOf(judgement);
    const std::vector<Column> columns = Columns(judgement, langId, zone);
    const std::string title = Text(langId, IDS_RACE_TITLE) + " - " + judgement.race.name;
    std::string out;
    out.reserve(1024 + judgement.birds.size() * 1024);
    out += "<!DOCTYPE html>\n<html lang=\"" + LangAttribute(langId) + "\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<title>" + Html(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    out += "<h1>" + Html(title) + "</h1>\n<table class=\"rules\">\n";
    for (const auto& [label, value] : RaceLines(judgement, langId, zone))
        out += "<tr><th>" + Html(label) + "</th><td>" + Html(value) + "</td></tr>\n";
    out += "</table>\n<table class=\"birds\">\n<caption>" + Html(Text(langId, IDS_RACE_TABLE_BIRDS)) + "</caption>\n<thead><tr>";
    for (const Column& c : columns)
        if (c.onSheet) out += "<th>" + Html(c.title) + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (const BirdResult& bird : judgement.birds) {
        out += bird.problem.empty() ? "<tr>" : "<tr class=\"problem\">";
        for (const Column& c : columns) {
            if (!c.onSheet) continue;
            out += c.number ? "<td class=\"n\">" : "<td>";
            out += Html(c.cell(bird));
            out += "</td>";
        }
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n</body>\n</html>\n";
    return out;
}

std::string RaceResultJson(const RaceJudgement& judgement) {
    using nlohmann::json;
    const Race& race = judgement.race;
    const TimeZone zone = ZoneOf(judgement);
    auto optional = [](const auto& value) { return value ? json(*value) : json(nullptr); };
    json birds = json::array();
    for (const BirdResult& b : judgement.birds) {
        const RaceEntry entry = b.entry < race.entries.size() ? race.entries[b.entry] : RaceEntry{};
        json bird{
            {"rank", b.rank > 0 ? json(b.rank) : json(nullptr)},
            {"entry", b.entry + 1},
            {"ring", entry.ring},
            {"name", entry.name},
            {"owner", entry.owner},
            {"loft", {{"name", entry.loft.name}, {"lat", b.loft.lat}, {"lon", b.loft.lon}}},
            {"track", entry.track.string()},
            {"problem", b.problem.empty() ? json(nullptr) : json(b.problem)},
            {"arrived", b.arrived},
            {"arrival", b.arrival ? json(IsoTimeText(*b.arrival, zone)) : json(nullptr)},
        };
        if (b.problem.empty()) {
            bird["distance_m"] = b.distanceMetres;
            bird["flying_seconds"] = b.flyingSeconds;
            bird["dead_seconds"] = b.deadSeconds;
            bird["path_m"] = b.pathMetres;
            bird["extra_m"] = b.extraMetres;
            bird["max_cross_track_m"] = b.maxCrossTrackMetres;
            bird["mean_cross_track_m"] = b.meanCrossTrackMetres;
            bird["cross_track_side"] = b.crossTrackSide < 0 ? json("left") : b.crossTrackSide > 0 ? json("right") : json(nullptr);
        } else {
            for (const char* key : {"distance_m", "flying_seconds", "dead_seconds", "path_m", "extra_m", "max_cross_track_m",
                                    "mean_cross_track_m", "cross_track_side"})
                bird[key] = nullptr;
        }
        bird["velocity_m_per_min"] = optional(b.velocityMetresPerMinute);
        bird["velocity_yd_per_min"] = optional(b.velocityYardsPerMinute);
        bird["velocity_published"] = optional(PublishedVelocity(race.rules, b));
        json turnBacks = json::array();
        for (const TurnBack& t : b.turnBacks)
            turnBacks.push_back({{"start", IsoTimeText(t.start, zone)}, {"seconds", t.seconds}, {"metres_lost", t.metresLost}});
        bird["turn_backs"] = turnBacks;
        json rests = json::array();
        for (const JudgedRest& r : b.rests)
            rests.push_back({{"start", IsoTimeText(r.rest.start, zone)},
                             {"seconds", r.rest.durationSeconds},
                             {"lat", r.rest.centre.lat},
                             {"lon", r.rest.centre.lon},
                             {"velocity_without_m_per_min", optional(r.velocityWithoutMetresPerMinute)}});
        bird["rests"] = rests;
        bird["behind_winner_m"] = optional(b.behindWinnerMetres);
        bird["behind_winner_minutes"] = optional(b.behindWinnerMinutes);
        bird["closest_m"] = optional(b.closestMetres);
        birds.push_back(std::move(bird));
    }
    const RaceRules& rules = race.rules;
    json doc{
        {"race",
         {{"name", race.name},
          {"release", {{"lat", race.releasePoint.lat}, {"lon", race.releasePoint.lon}, {"time", IsoTimeText(race.releaseTime, zone)}}},
          {"zone", race.zone.empty() ? "UTC" : race.zone},
          {"rules",
           {{"unit", rules.unit == VelocityUnit::YardsPerMinute ? "yd/min" : "m/min"},
            {"velocity_decimals", rules.velocityDecimals},
            {"dead_time", DeadTimeText(rules.deadTime)},
            {"arrival_radius_m", rules.arrivalRadiusMetres},
            {"max_days", rules.maxDays}}},
          {"winner_arrival", judgement.winnerArrival ? json(IsoTimeText(*judgement.winnerArrival, zone)) : json(nullptr)}}},
        {"birds", birds},
    };
    return doc.dump(2, ' ', false, json::error_handler_t::replace);
}

namespace {

// Empty when `path` holds exactly `data`; else why not.
std::string ReadBackProblem(const std::filesystem::path& path, std::string_view data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string("cannot be read back: ") + std::strerror(errno);
    const std::string back{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return back == data ? std::string() : std::string("does not read back as it was written");
}

}  // namespace

std::optional<ExportFailure> WriteResultFile(const std::filesystem::path& path, std::string_view data) {
    std::string why;
    if (ReplaceFileContents(path, data, &why)) why = ReadBackProblem(path, data);
    if (why.empty()) return std::nullopt;
    return ExportFailure{FromLocale8(path.string()), FromLocale8(why)};
}

RaceResultFiles WriteRaceResults(const RaceJudgement& judgement, const std::filesystem::path& folder,
                                 const std::string& stem, const RaceResultFormats& formats, unsigned langId) {
    RaceResultFiles out;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    auto write = [&](const char* extension, const std::string& data) {
        const std::filesystem::path path = folder / (stem + "-results." + extension);
        if (auto failure = WriteResultFile(path, data)) out.notWritten.push_back(std::move(*failure));
        else out.written.push_back(path);
    };
    if (formats.csv) write("csv", RaceResultCsv(judgement, langId));
    if (formats.html) write("html", RaceResultHtml(judgement, langId));
    if (formats.json) write("json", RaceResultJson(judgement));
    return out;
}

}  // namespace wing
