#pragma once
// One JavaScript file per local day for the map page in C:\GPSLOG\baidu: a single
// variable `points_fromJson` holding the day's fixes.

#include <string>

#include "export/file_output.h"
#include "export/export_job.h"

namespace wing {

inline constexpr wchar_t POINTS_FOLDER[] = L"C:\\GPSLOG\\baidu";

// The Windows name: <folder>\<first fix stamp>_<stamp of the record before the last
// fix>_points.js (record 0's when the last fix is record 0); empty when no fix.
std::wstring PointsScriptFileName(const CExportJob& job, int start, int end);

// The script text of the segment [start, end) as UTF-8; empty when no fix.
std::string PointsScriptContent(const CExportJob& job, int start, int end);

// Writes the file when the segment has a fix; the failure when it could not be
// written. The folder is never created: when it is missing, the failure's reason is
// string 181, which tells the user where to put it.
std::optional<ExportFailure> WritePointsScript(const CExportJob& job, int start, int end);

}  // namespace wing
