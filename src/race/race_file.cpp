#include "race/race_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "export/file_output.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "race/dead_time.h"
#include "race/race_time.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;
constexpr int kMaxDecimals = 6;
constexpr int kMaxRaceDays = 31;

// A value of the file that is wrong: the message names where it is.
struct BadValue : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw BadValue(where + ": " + what); }

// "release.time", "entry 2 (ring X): track", "entry 2: loft.position".
std::string Key(const std::string& where, const char* key) {
    if (where.empty()) return key;
    const bool entry = where.rfind("entry ", 0) == 0 && where.find(':') == std::string::npos;
    return where + (entry ? ": " : ".") + key;
}

const Json* Member(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

const Json& Required(const Json& object, const char* key, const std::string& where) {
    const Json* value = Member(object, key);
    if (value == nullptr) Fail(Key(where, key), "missing");
    return *value;
}

std::string Text(const Json& object, const char* key, const std::string& where, bool required) {
    const Json* value = required ? &Required(object, key, where) : Member(object, key);
    if (value == nullptr) return {};
    if (!value->is_string()) Fail(Key(where, key), "must be text");
    return value->get<std::string>();
}

double Number(const Json& object, const char* key, const std::string& where) {
    const Json& value = Required(object, key, where);
    if (!value.is_number()) Fail(Key(where, key), "must be a number");
    return value.get<double>();
}

// An optional whole number in [low, high]; `fallback` when absent.
int Whole(const Json& object, const char* key, const std::string& where, int low, int high, int fallback) {
    const Json* value = Member(object, key);
    if (value == nullptr) return fallback;
    if (!value->is_number_integer() || value->get<long long>() < low || value->get<long long>() > high)
        Fail(Key(where, key), "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return value->get<int>();
}

const Json& Object(const Json& value, const std::string& where) {
    if (!value.is_object()) Fail(where, "must be an object");
    return value;
}

RaceRules DecodeRules(const Json* json) {
    RaceRules rules;
    if (json == nullptr) return rules;
    const Json& r = Object(*json, "rules");
    const std::string unit = Text(r, "unit", "rules", false);
    if (unit == "yd/min") rules.unit = VelocityUnit::YardsPerMinute;
    else if (!unit.empty() && unit != "m/min") Fail("rules.unit", "\"m/min\" or \"yd/min\", not \"" + unit + "\"");
    rules.velocityDecimals = Whole(r, "velocity_decimals", "rules", 0, kMaxDecimals, rules.velocityDecimals);
    if (const std::string dead = Text(r, "dead_time", "rules", false); !dead.empty()) {
        const auto rule = ParseDeadTime(dead);
        if (!rule) Fail("rules.dead_time", "\"none\", \"HH:MM-HH:MM\" or \"sun:MINUTES\", not \"" + dead + "\"");
        rules.deadTime = *rule;
    }
    if (Member(r, "arrival_radius_m") != nullptr) {
        rules.arrivalRadiusMetres = Number(r, "arrival_radius_m", "rules");
        if (!(rules.arrivalRadiusMetres > 0 && rules.arrivalRadiusMetres <= 100000))
            Fail("rules.arrival_radius_m", "must be above 0 and at most 100000");
    }
    rules.maxDays = Whole(r, "max_days", "rules", 1, kMaxRaceDays, rules.maxDays);
    return rules;
}

RaceEntry DecodeEntry(const Json& json, std::size_t index) {
    std::string where = "entry " + std::to_string(index + 1);
    const Json& e = Object(json, where);
    RaceEntry entry;
    entry.ring = Text(e, "ring", where, false);
    if (!entry.ring.empty()) where += " (ring " + entry.ring + ")";
    entry.name = Text(e, "name", where, false);
    entry.owner = Text(e, "owner", where, false);
    const Json& loft = Object(Required(e, "loft", where), where + ": loft");
    entry.loft.name = Text(loft, "name", where + ": loft", false);
    entry.loft.position = Text(loft, "position", where + ": loft", false);
    if (entry.loft.name.empty() && entry.loft.position.empty()) Fail(where + ": loft", "needs a name or a position");
    if (!entry.loft.position.empty() && !ParseCoordinates(entry.loft.position))
        Fail(where + ": loft.position", "not a position on the globe: \"" + entry.loft.position + "\"");
    entry.track = Text(e, "track", where, true);
    if (entry.track.empty()) Fail(where + ": track", "is empty");
    return entry;
}

Race DecodeDocument(const Json& doc) {
    if (!doc.is_object()) Fail("the race file", "must be a JSON object");
    if (const int version = Whole(doc, "version", "", 1, 1 << 30, kFormatVersion); version > kFormatVersion)
        Fail("version", std::to_string(version) + " is newer than this tool reads (" + std::to_string(kFormatVersion) + ")");
    Race race;
    race.name = Text(doc, "name", "", true);
    if (race.name.empty()) Fail("name", "is empty");
    race.zone = Text(doc, "zone", "", false);
    const auto zone = race.zone.empty() ? TimeZone::Utc() : TimeZone::Named(race.zone);
    if (!zone) Fail("zone", "not a time zone this system knows: \"" + race.zone + "\"");

    const Json& release = Object(Required(doc, "release", ""), "release");
    race.releasePoint = GeoPoint{Number(release, "lat", "release"), Number(release, "lon", "release")};
    if (!IsValidPoint(race.releasePoint)) Fail("release", "lat and lon are off the globe");
    const std::string time = Text(release, "time", "release", true);
    const auto moment = ParseIsoTime(time, &*zone);
    if (!moment)
        Fail("release.time", "not one moment: \"" + time + "\" (YYYY-MM-DDTHH:MM:SS, with Z or an offset, or local time in the race's zone)");
    race.releaseTime = *moment;

    race.rules = DecodeRules(Member(doc, "rules"));
    const Json& entries = Required(doc, "entries", "");
    if (!entries.is_array()) Fail("entries", "must be a list");
    for (std::size_t i = 0; i < entries.size(); ++i) race.entries.push_back(DecodeEntry(entries[i], i));
    return race;
}

// `base`'s object under `key` (made when missing or not an object), for values written over it.
Json& ObjectIn(Json& base, const char* key) {
    Json& value = base[key];
    if (!value.is_object()) value = Json::object();
    return value;
}

// Optional text: written when set, removed when cleared.
void PutText(Json& object, const char* key, const std::string& value) {
    if (value.empty()) object.erase(key);
    else object[key] = value;
}

bool SameValues(const Race& a, const Race& b) {
    return a.name == b.name && a.releasePoint.lat == b.releasePoint.lat && a.releasePoint.lon == b.releasePoint.lon &&
           a.releaseTime == b.releaseTime && a.zone == b.zone && a.rules == b.rules && a.entries == b.entries;
}

std::variant<std::string, std::string> ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::variant<std::string, std::string>(std::in_place_index<1>, std::strerror(errno));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::variant<std::string, std::string>(std::in_place_index<1>, "read error");
    return std::variant<std::string, std::string>(std::in_place_index<0>, std::move(text));
}

}  // namespace

fs::path RaceFolder() { return ResolveDrivePath(L"C:\\GPSLOG\\races"); }

fs::path DefaultRaceFile(const std::string& name) {
    const fs::path folder = RaceFolder();
    if (folder.empty()) return {};
    return folder / (ToUtf8(FileNameSafe(FromUtf8(name))) + ".json");
}

fs::path RaceTrackPath(const fs::path& track, const fs::path& raceFile) {
    const fs::path full = fs::absolute(track).lexically_normal();
    const fs::path relative = full.lexically_relative(fs::absolute(raceFile).parent_path().lexically_normal());
    if (!relative.empty() && *relative.begin() != "..") return relative;
    return full;
}

std::string PortableZoneName(std::string name) {
    const auto at = name.find("zoneinfo/");
    if (!name.empty() && name.front() == '/' && at != std::string::npos) name.erase(0, at + 9);
    return name;
}

std::variant<Race, std::string> DecodeRace(std::string_view json) {
    Json doc;
    try {
        doc = Json::parse(json);
    } catch (const Json::parse_error& e) {
        return std::string("not a JSON document: ") + e.what();
    }
    try {
        Race race = DecodeDocument(doc);
        race.keptJson = std::string(json);
        return race;
    } catch (const BadValue& e) {
        return std::string(e.what());
    } catch (const Json::exception& e) {  // a number beyond int, say
        return std::string(e.what());
    }
}

std::string EncodeRace(const Race& race) {
    Json doc = Json::object();
    if (!race.keptJson.empty()) {
        Json kept = Json::parse(race.keptJson, nullptr, false);
        if (kept.is_object()) doc = std::move(kept);
    }
    doc["version"] = kFormatVersion;
    doc["name"] = race.name;
    PutText(doc, "zone", race.zone);
    const auto zone = race.zone.empty() ? std::optional(TimeZone::Utc()) : TimeZone::Named(race.zone);
    Json& release = ObjectIn(doc, "release");
    release["lat"] = race.releasePoint.lat;
    release["lon"] = race.releasePoint.lon;
    release["time"] = IsoTimeText(race.releaseTime, zone ? *zone : TimeZone::Utc());

    Json& rules = ObjectIn(doc, "rules");
    rules["unit"] = race.rules.unit == VelocityUnit::YardsPerMinute ? "yd/min" : "m/min";
    rules["velocity_decimals"] = race.rules.velocityDecimals;
    rules["dead_time"] = DeadTimeText(race.rules.deadTime);
    rules["arrival_radius_m"] = race.rules.arrivalRadiusMetres;
    rules["max_days"] = race.rules.maxDays;

    // Entries keep their unknown keys by position: the n-th entry over the file's n-th.
    Json kept = doc.contains("entries") && doc["entries"].is_array() ? doc["entries"] : Json::array();
    Json entries = Json::array();
    for (std::size_t i = 0; i < race.entries.size(); ++i) {
        const RaceEntry& e = race.entries[i];
        Json entry = i < kept.size() && kept[i].is_object() ? kept[i] : Json::object();
        PutText(entry, "ring", e.ring);
        PutText(entry, "name", e.name);
        PutText(entry, "owner", e.owner);
        Json& loft = ObjectIn(entry, "loft");
        PutText(loft, "name", e.loft.name);
        PutText(loft, "position", e.loft.position);
        entry["track"] = e.track.generic_string();
        entries.push_back(std::move(entry));
    }
    doc["entries"] = std::move(entries);
    // Text that is no UTF-8 (a name typed in another code set) is written with U+FFFD
    // in its place, and WriteRace then refuses the race as not reading back.
    return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::variant<Race, std::string> ReadRace(const fs::path& path) {
    auto text = ReadWholeFile(path);
    if (text.index() == 1) return path.string() + ": " + std::get<1>(text);
    auto race = DecodeRace(std::get<0>(text));
    if (auto* why = std::get_if<std::string>(&race)) return path.string() + ": " + *why;
    return race;
}

std::string WriteRace(const Race& race, const fs::path& path) {
    const std::string text = EncodeRace(race);
    // What would be written must give the race back, or nothing is written.
    const auto decoded = DecodeRace(text);
    if (const auto* why = std::get_if<std::string>(&decoded)) return path.string() + ": " + *why;
    if (!SameValues(std::get<Race>(decoded), race)) return path.string() + ": the race does not read back as it was given";

    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    if (ec) return path.parent_path().string() + ": " + ec.message();
    RemoveStaleTempFiles(path.has_parent_path() ? path.parent_path() : fs::path("."), path.filename().string());
    std::string why;
    if (!ReplaceFileContents(path, text, &why)) return path.string() + ": " + why;
    const auto back = ReadWholeFile(path);
    if (back.index() == 1) return path.string() + ": read back: " + std::get<1>(back);
    if (std::get<0>(back) != text) return path.string() + ": read back: the file differs from what was written";
    return {};
}

}  // namespace wing
