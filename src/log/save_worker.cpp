#include "log/save_worker.h"

#include "export/csv_writer.h"
#include "export/kml_writer.h"
#include "export/points_script.h"
#include "log/day_segments.h"
#include "log/export_job.h"
#include "platform/paths.h"
#include "resources/string_table.h"

namespace wing {

void SaveWorker(const CLogRecordList& records, const std::wstring& snText,
                const std::wstring& versionText, unsigned langId, HWND window) {
    bool folderReady = DriveDirectoryExists(LOG_FOLDER) || CreateDriveDirectory(LOG_FOLDER);
    if (folderReady && !records.empty()) {
        CExportJob job{records, snText, versionText, langId};
        CDaySegments segments;
        SplitByDay(records, segments, langId);
        const int size = static_cast<int>(records.size());
        if (langId == LANG_ZH_CN) {
            WalkSegments(segments, size, [&](int start, int end) { WritePointsScript(job, start, end); });
        } else {
            WalkSegments(segments, size, [&](int start, int end) { WriteKmlFile(job, start, end); });
        }
        WriteCsvFile(job);
    }
    PostMessageTo(window, WM_FILES_SAVED, 0, 0);
}

}  // namespace wing
