#include "export/points_script.h"


#include "export/file_output.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {

std::wstring PointsScriptFileName(const CExportJob& job, int start, int end) {
    const int first = FindFirstFix(job.records, start, end);
    if (first == -1) return {};
    const int last = FindLastFix(job.records, first, end);
    const int second = last > 0 ? last - 1 : 0;
    return std::wstring(POINTS_FOLDER) + L"\\" + GetRecord(job.records, first).FileStamp(job.zone) + L"_" +
           GetRecord(job.records, second).FileStamp(job.zone) + L"_points.js";
}

std::string PointsScriptContent(const CExportJob& job, int start, int end) {
    const auto& recs = job.records;
    const int first = FindFirstFix(recs, start, end);
    if (first == -1) return {};
    const int last = FindLastFix(recs, first, end);
    ScopedCNumeric numeric;

    std::wstring version = job.versionText.substr(0, 63);
    std::wstring board = version.empty() ? std::wstring() : L"GPS Board:" + version;
    std::wstring text = L"//" + board + L"\r\nvar points_fromJson ={\"points\":[";
    // Every fix up to and including the segment's last one, so the arrival is drawn.
    for (int i = first; i <= last; ++i) {
        CLogRecord r = GetRecord(recs, i);
        if (!r.IsFix()) continue;
        if (r.LatitudeDegrees() == 0.0 && r.LongitudeDegrees() == 0.0) continue;
        text += WFormat(
            L"{\"id\":\"%d\",\"time\":\"%d\",\"lng\":\"%f\", \"lat\":\"%f\",\"speed\":\"%d\", "
            L"\"alt\":\"%d\"}",
            i - first + 1, static_cast<std::int32_t>(r.time), r.LongitudeDegrees(),
            r.LatitudeDegrees(), r.SpeedKmh(), static_cast<int>(r.altitude));
        if (i < last) text += L",\r\n";
    }
    text += L"]};";
    return ToUtf8(text);
}

std::optional<ExportFailure> WritePointsScript(const CExportJob& job, int start, int end) {
    if (CountFixes(job.records, start, end) == 0) return std::nullopt;
    if (FindFirstFix(job.records, start, end) == -1) return std::nullopt;
    const std::wstring name = PointsScriptFileName(job, start, end);
    if (!DriveDirectoryExists(POINTS_FOLDER)) {
        // The map page's folder is the user's to put in place: the reason says how.
        std::wstring text;
        LoadLanguageString(job.langId, IDS_MAP_FOLDER_MISSING, text);
        return ExportFailure{name, text};
    }
    return WriteExportFile(name, PointsScriptContent(job, start, end));
}

}  // namespace wing
