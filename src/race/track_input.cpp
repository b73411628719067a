#include "race/track_input.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <utility>

#include <pugixml.hpp>

#include "archive/download_archive.h"
#include "flight/coordinates.h"
#include "platform/text.h"
#include "race/race_time.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

constexpr char kArchiveMagic[] = "WING-ARCHIVE";

// The element's name without a namespace prefix.
std::string_view LocalName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element && LocalName(child) == name) return child;
    return {};
}

// Every `name` element below `node` in document order, however deep (tracks hold
// segments, segments hold points).
void Collect(const pugi::xml_node& node, std::string_view container, std::string_view name,
             std::vector<pugi::xml_node>& out) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (LocalName(child) == name) out.push_back(child);
        else if (LocalName(child) == container || LocalName(child) == "trkseg") Collect(child, container, name, out);
    }
}

bool ReadNumber(const char* text, double& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    value = std::strtod(text, &end);
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') ++end;
    return *end == '\0' && std::isfinite(value);
}

std::string Trimmed(const char* text) {
    std::string s(text);
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// One GPX point as a position fix of ours: a fix, the elevation as the altitude (whole
// metres, 0 to 65535), the speed where GPX 1.0 gives one (m/s, as km/h up to 255).
std::variant<CLogRecord, std::string> PointRecord(const pugi::xml_node& point) {
    GeoPoint where;
    if (!ReadNumber(point.attribute("lat").value(), where.lat) || !ReadNumber(point.attribute("lon").value(), where.lon))
        return std::string("no lat and lon");
    if (!IsValidPoint(where)) return std::string("lat and lon off the globe");
    const pugi::xml_node timeNode = Child(point, "time");
    if (!timeNode) return std::string("no time");
    const std::string timeText = Trimmed(timeNode.child_value());
    // GPX times are UTC; one without an offset is read as such.
    const TimeZone utc = TimeZone::Utc();
    const auto time = ParseIsoTime(timeText, &utc);
    if (!time || *time < 0 || *time > std::numeric_limits<std::uint32_t>::max())
        return "a time that is not one (\"" + timeText + "\")";

    CLogRecord r;
    r.kind = 0;
    r.debugStatus = 0;
    r.time = static_cast<std::uint32_t>(*time);
    r.latitude = DegreesToPacked(where.lat);
    r.longitude = DegreesToPacked(where.lon);
    r.switchBit = r.pluginBit = r.wakeOnBit = r.status = 0;
    double value = 0;
    if (const pugi::xml_node ele = Child(point, "ele"); ele && ReadNumber(ele.child_value(), value))
        r.altitude = static_cast<std::uint16_t>(std::clamp(std::lround(value), 0L, 65535L));
    if (const pugi::xml_node speed = Child(point, "speed"); speed && ReadNumber(speed.child_value(), value))
        r.speed = static_cast<std::uint16_t>(std::clamp(std::lround(value * 3.6), 0L, 255L));
    return r;
}

std::variant<RaceTrack, std::string> ReadGpx(const fs::path& path) {
    const std::string name = path.string();
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return name + ": " + std::strerror(errno);
    // Where a point lies in the file, for the messages.
    auto lineAt = [&](std::ptrdiff_t offset) {
        const auto end = text.begin() + std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
        return std::to_string(1 + std::count(text.begin(), end, '\n'));
    };
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
    if (!parsed)
        return name + ": neither an archive nor a GPX file (" + parsed.description() + ", line " +
               lineAt(parsed.offset) + ")";
    const pugi::xml_node gpx = doc.document_element();
    if (LocalName(gpx) != "gpx") return name + ": neither an archive nor a GPX file";
    const std::string version = gpx.attribute("version").value();
    if (!version.empty() && version != "1.0" && version != "1.1")
        return name + ": GPX version " + version + " (1.0 and 1.1 are read)";

    std::vector<pugi::xml_node> points;
    const char* kind = "track point";
    for (pugi::xml_node trk : gpx.children())
        if (trk.type() == pugi::node_element && LocalName(trk) == "trk") Collect(trk, "trk", "trkpt", points);
    if (points.empty()) {  // no track: the routes
        kind = "route point";
        for (pugi::xml_node rte : gpx.children())
            if (rte.type() == pugi::node_element && LocalName(rte) == "rte") Collect(rte, "rte", "rtept", points);
    }
    if (points.empty()) return name + ": no track or route points";

    RaceTrack track;
    track.records.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        auto record = PointRecord(points[i]);
        if (auto* why = std::get_if<std::string>(&record))
            return name + ": " + kind + " " + std::to_string(i + 1) + " (line " + lineAt(points[i].offset_debug()) + "): " + *why;
        track.records.push_back(std::move(std::get<CLogRecord>(record)));
    }
    // Several tracks or segments need not come in time order.
    std::stable_sort(track.records.begin(), track.records.end(),
                     [](const CLogRecord& a, const CLogRecord& b) { return a.time < b.time; });
    return track;
}

bool StartsAsArchive(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char head[sizeof kArchiveMagic - 1] = {};
    return in.read(head, sizeof head) && std::memcmp(head, kArchiveMagic, sizeof head) == 0;
}

}  // namespace

std::variant<RaceTrack, std::string> ReadTrack(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return path.string() + ": " + (fs::exists(path, ec) ? "not a file" : "missing");
    if (!StartsAsArchive(path)) return ReadGpx(path);
    auto read = ReadArchive(path);
    if (const auto* why = std::get_if<std::string>(&read)) return path.string() + ": " + *why;
    const auto& download = std::get<ArchivedDownload>(read);
    return RaceTrack{RecordsOf(download), ToUtf8(download.serial)};
}

}  // namespace wing
