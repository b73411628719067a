#pragma once
// One KML document per local day: the day's track as an extruded line, a pin per
// fix with its popup text, and a summary popup.

#include <pugixml.hpp>
#include <string>

#include "export/file_output.h"
#include "export/export_job.h"

namespace wing {

inline constexpr char KML_NAMESPACE[] = "http://www.opengis.net/kml/2.2";
inline constexpr char PIN_ICON_URL[] = "http://maps.google.com/mapfiles/kml/paddle/red-circle.png";

// The Windows name: C:\GPSLog\[SN_]<first fix stamp>_<last fix stamp>.kml, or empty
// when the segment [start, end) has no fix.
std::wstring KmlFileName(const CExportJob& job, int start, int end);

// Builds the document for the segment [start, end); false when it has no fix or the
// document cannot be built (the message box has then been shown).
bool BuildKmlDocument(const CExportJob& job, int start, int end, pugi::xml_document& doc,
                      pugi::xml_parse_result& parsed);

// Writes the document of the segment [start, end), replacing an earlier file of that
// name; the failure when it could not be written. No fix: no file, and no failure.
std::optional<ExportFailure> WriteKmlFile(const CExportJob& job, int start, int end);

// Appends one pin for record `r` as point number `p` to `folder`.
void AddPointPlacemark(const CLogRecord& r, int p, pugi::xml_document& doc, pugi::xml_node folder,
                       const CExportJob& job);

// Shows "Error: %s" with the reason of the document's last parse (empty when the
// parse succeeded).
void ShowXmlError(const pugi::xml_parse_result& lastParse);

}  // namespace wing
