#pragma once
// One GPX 1.1 file per download, for any other GPS program: a track per local day (split
// as the KML documents are), each point with its height and its time in UTC. Only the
// points the flight analysis finds good go in; a satellite record, a record without a
// fix, a position of 0, 0, one off the globe or a jump no pigeon can fly is left out.

#include <string>

#include "export/export_job.h"
#include "export/file_output.h"

namespace wing {

inline constexpr char GPX_NAMESPACE[] = "http://www.topografix.com/GPX/1/1";
inline constexpr char GPX_CREATOR[] = "wing-utility";

// The Windows name: the CSV's (C:\GPSLog\[SN_]<first stamp>_<last stamp>) with .gpx;
// empty for an empty list.
std::wstring GpxFileName(const CExportJob& job);

// The document as UTF-8; empty when no record is a good point.
std::string GpxContent(const CExportJob& job);

// Writes the file, replacing an earlier one of the same name; the failure when it could
// not be written. No good point: no file, and no failure.
std::optional<ExportFailure> WriteGpxFile(const CExportJob& job);

}  // namespace wing
