#include "export/kml_writer.h"

#include "export/file_output.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "resources/string_table.h"

namespace wing {
namespace {

std::wstring Str(const CExportJob& job, unsigned id) {
    std::wstring text;
    LoadLanguageString(job.langId, id, text);
    return text;
}

// `text` is ours (ASCII) or has been through XmlSafeUtf8.
pugi::xml_node AppendElement(pugi::xml_node parent, const char* name, const std::string& text = {}) {
    pugi::xml_node e = parent.append_child(name);
    if (!text.empty()) e.append_child(pugi::node_pcdata).set_value(text.c_str());
    return e;
}

pugi::xml_node AppendCdata(pugi::xml_node parent, const char* name, const std::wstring& text) {
    pugi::xml_node e = parent.append_child(name);
    e.append_child(pugi::node_cdata).set_value(XmlSafeUtf8(text).c_str());
    return e;
}

// Inserts a new element before the folder's first child; an empty folder appends.
pugi::xml_node InsertFirst(pugi::xml_node parent, const char* name) {
    pugi::xml_node firstChild = parent.first_child();
    return firstChild ? parent.insert_child_before(name, firstChild) : parent.append_child(name);
}

std::string PointCoordinates(const CLogRecord& r) {
    return Format("%f,%f,%d", r.LongitudeDegrees(), r.LatitudeDegrees(), r.altitude);
}

bool Drawn(const CLogRecord& r) {
    return r.IsFix() && !(r.LatitudeDegrees() == 0.0 && r.LongitudeDegrees() == 0.0);
}

std::wstring Truncated(const std::wstring& text, std::size_t maxChars) {
    return text.size() > maxChars ? text.substr(0, maxChars) : text;
}

struct StringWriter : pugi::xml_writer {
    std::string data;
    void write(const void* bytes, size_t size) override {
        data.append(static_cast<const char*>(bytes), size);
    }
};

}  // namespace

std::wstring KmlFileName(const CExportJob& job, int start, int end) {
    int first = FindFirstFix(job.records, start, end);
    if (first == -1) return {};
    int last = FindLastFix(job.records, first, end);
    std::wstring a = GetRecord(job.records, first).FileStamp(job.zone);
    std::wstring b = GetRecord(job.records, last).FileStamp(job.zone);
    const std::wstring rest = L"_" + a + L"_" + b + L".kml";
    if (!job.snText.empty()) return L"C:\\GPSLog\\" + SerialNamePart(job.snText, rest) + rest;
    return L"C:\\GPSLog\\" + a + L"_" + b + L".kml";
}

void ShowXmlError(const pugi::xml_parse_result& lastParse) {
    std::wstring reason = lastParse ? std::wstring() : FromUtf8(lastParse.description());
    ShowMessageBox(L"Error: " + reason, L"", MB_OK);
}

void AddPointPlacemark(const CLogRecord& r, int p, pugi::xml_document&, pugi::xml_node folder,
                       const CExportJob& job) {
    pugi::xml_node placemark = folder.append_child("Placemark");
    AppendElement(placemark, "name");
    std::wstring text = WFormat(
        L"%ls<BR>%ls %ls%+.1f%ls  %.1f  %ls %d %ls %d %ls%d", WFormat(L"Point-%d", p).c_str(),
        FormatDeviceTime(r.time, job.zone).c_str(), Str(job, 168).c_str(), UtcOffsetHours(r.time, job.zone),
        Str(job, 184).c_str(), r.SpeedMetresPerMinute(), Str(job, 174).c_str(), r.SpeedKmh(),
        Str(job, 175).c_str(), static_cast<int>(r.altitude), Str(job, 179).c_str(),
        static_cast<int>(r.debugStatus));
    AppendCdata(placemark, "description", text);
    pugi::xml_node iconStyle = AppendElement(AppendElement(placemark, "Style"), "IconStyle");
    AppendElement(iconStyle, "scale", "0.5");
    AppendElement(AppendElement(iconStyle, "Icon"), "href", PIN_ICON_URL);
    AppendElement(AppendElement(placemark, "Point"), "coordinates", PointCoordinates(r));
}

bool BuildKmlDocument(const CExportJob& job, int start, int end, pugi::xml_document& doc,
                      pugi::xml_parse_result& parsed) {
    const auto& recs = job.records;
    const int n = CountFixes(recs, start, end);
    if (n == 0) return false;
    const int first = FindFirstFix(recs, start, end);
    if (first == -1) return false;
    const int last = FindLastFix(recs, first, end);
    ScopedCNumeric numeric;

    parsed = doc.load_string("<kml></kml>", pugi::parse_default | pugi::parse_ws_pcdata);
    if (!parsed) {
        ShowXmlError(parsed);
        return false;
    }
    pugi::xml_node root = doc.document_element();
    root.append_attribute("xmlns") = KML_NAMESPACE;
    pugi::xml_node pi = doc.insert_child_before(pugi::node_pi, root);
    pi.set_name("xml");
    pi.set_value("version='1.0' encoding='UTF-8'");

    pugi::xml_node document = root.append_child("Document");
    AppendElement(document, "name", XmlSafeUtf8(job.snText));
    std::wstring version = Truncated(job.versionText, 63);
    AppendElement(document, "description",
                  version.empty() ? std::string() : "GPS Board: " + XmlSafeUtf8(version));
    pugi::xml_node style = document.append_child("Style");
    style.append_attribute("id") = "Poly01";
    pugi::xml_node lineStyle = style.append_child("LineStyle");
    AppendElement(lineStyle, "color", "c8ffff00");
    AppendElement(lineStyle, "colorMode", "random");
    AppendElement(lineStyle, "width", "5");
    pugi::xml_node polyStyle = style.append_child("PolyStyle");
    AppendElement(polyStyle, "color", "7f0000ff");
    AppendElement(polyStyle, "colorMode", "random");

    pugi::xml_node track = document.append_child("Placemark");
    AppendElement(track, "name", "3D_GPS_Tracks");
    AppendElement(track, "description", "Display: red wall with outlines");
    AppendElement(track, "styleUrl", "#Poly01");
    pugi::xml_node lineString = track.append_child("LineString");
    AppendElement(lineString, "extrude", "1");
    AppendElement(lineString, "tessellate", "1");
    AppendElement(lineString, "altitudeMode", "relativeToGround");
    pugi::xml_node folder = document.append_child("Folder");

    // Every fix up to and including the segment's last one, so the arrival is drawn.
    std::string trackText;
    int p = 1;
    for (int i = first; i <= last; ++i) {
        CLogRecord r = GetRecord(recs, i);
        if (!Drawn(r)) continue;
        trackText += PointCoordinates(r) + "\r\n";
        AddPointPlacemark(r, p, doc, folder, job);
        ++p;
    }
    AppendElement(lineString, "coordinates", trackText);

    const CLogRecord firstRec = GetRecord(recs, first);
    const CLogRecord lastRec = GetRecord(recs, last);
    std::wstring summary = WFormat(
        L"%ls %d %ls %+.1f %ls %ls%ls   %ls", Str(job, 167).c_str(), n, Str(job, 176).c_str(),
        UtcOffsetHours(firstRec.time, job.zone), Str(job, 183).c_str(), FormatDeviceTime(firstRec.time, job.zone).c_str(),
        Str(job, 177).c_str(), FormatDeviceTime(lastRec.time, job.zone).c_str());

    pugi::xml_node labelled = InsertFirst(folder, "Style");
    labelled.append_attribute("id") = "All_GPS_DATA";
    AppendElement(labelled.append_child("LabelStyle"), "color", "ff0000cc");
    InsertFirst(folder, "description").append_child(pugi::node_cdata).set_value(XmlSafeUtf8(summary).c_str());
    InsertFirst(folder, "open").append_child(pugi::node_pcdata).set_value("1");
    InsertFirst(folder, "name").append_child(pugi::node_pcdata).set_value("All_GPS_Data");
    return true;
}

std::optional<ExportFailure> WriteKmlFile(const CExportJob& job, int start, int end) {
    pugi::xml_document doc;
    pugi::xml_parse_result parsed;
    if (!BuildKmlDocument(job, start, end, doc, parsed)) return std::nullopt;
    StringWriter writer;
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return WriteExportFile(KmlFileName(job, start, end), writer.data);
}

}  // namespace wing
