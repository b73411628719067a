#include "export/gpx_writer.h"

#include <pugixml.hpp>

#include <sstream>
#include <vector>

#include "export/csv_writer.h"
#include "flight/flight_analysis.h"
#include "log/day_segments.h"
#include "platform/locale.h"

namespace wing {
namespace {

// `text` is ours (ASCII) or has been through XmlSafeUtf8.
pugi::xml_node AppendText(pugi::xml_node parent, const char* name, const std::string& text) {
    pugi::xml_node e = parent.append_child(name);
    e.append_child(pugi::node_pcdata).set_value(text.c_str());
    return e;
}

// The device's texts as the KML carries them: the serial number names the file's
// content, the firmware describes it.
void AppendMetadata(pugi::xml_node gpx, const CExportJob& job) {
    if (job.snText.empty() && job.versionText.empty()) return;
    pugi::xml_node metadata = gpx.append_child("metadata");
    if (!job.snText.empty()) AppendText(metadata, "name", XmlSafeUtf8(job.snText));
    if (!job.versionText.empty()) AppendText(metadata, "desc", "GPS Board: " + XmlSafeUtf8(job.versionText));
}

// A day's track is named by its local date, the day the KML of that day covers.
std::string LocalDate(std::uint32_t time, const TimeZone& zone) {
    std::tm local{};
    if (!DeviceLocalTime(time, local, zone)) return {};
    return Format("%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void AppendPoint(pugi::xml_node segment, const CLogRecord& r) {
    pugi::xml_node point = segment.append_child("trkpt");
    point.append_attribute("lat") = Format("%f", r.LatitudeDegrees()).c_str();
    point.append_attribute("lon") = Format("%f", r.LongitudeDegrees()).c_str();
    AppendText(point, "ele", Format("%d", static_cast<int>(r.altitude)));
    AppendText(point, "time", IsoUtcText(r.time));
}

}  // namespace

std::wstring GpxFileName(const CExportJob& job) {
    std::wstring name = CsvFileName(job);
    // ".csv" and ".gpx" are as long, so the serial number cut to fit the CSV's name fits here.
    if (name.size() >= 4) name.replace(name.size() - 4, 4, L".gpx");
    return name;
}

std::string GpxContent(const CExportJob& job) {
    const CLogRecordList& records = job.records;
    // Flagged over the whole download: a jump is judged by the track around it, across midnight too.
    const std::vector<PointFlag> flags = FlagTrack(records);
    ScopedCNumeric numeric;

    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node gpx = doc.append_child("gpx");
    gpx.append_attribute("xmlns") = GPX_NAMESPACE;
    gpx.append_attribute("version") = "1.1";
    gpx.append_attribute("creator") = GPX_CREATOR;
    AppendMetadata(gpx, job);

    // The split alone: the export run has told the user already when there is no fix.
    CDaySegments days;
    SplitByLocalDay(records, days, job.zone);
    int points = 0;
    WalkSegments(days, static_cast<int>(records.size()), [&](int start, int end) {
        pugi::xml_node segment;  // made with the day's first good point: no empty track
        for (int i = start; i < end; ++i) {
            if (flags[i] != PointFlag::Ok) continue;
            if (!segment) {
                pugi::xml_node track = gpx.append_child("trk");
                AppendText(track, "name", LocalDate(records[i].time, job.zone));
                segment = track.append_child("trkseg");
            }
            AppendPoint(segment, records[i]);
            ++points;
        }
    });
    if (points == 0) return {};

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
}

std::optional<ExportFailure> WriteGpxFile(const CExportJob& job) {
    const std::string content = GpxContent(job);
    if (content.empty()) return std::nullopt;
    return WriteExportFile(GpxFileName(job), content);
}

}  // namespace wing
