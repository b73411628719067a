#pragma once
// The export run started when a download is complete.

#include <string>
#include <vector>

#include "export/export_job.h"
#include "export/file_output.h"
#include "log/log_record.h"
#include "platform/window.h"

namespace wing {

// The folder every export lives under; it is created when missing.
inline constexpr wchar_t LOG_FOLDER[] = L"C:\\GPSLOG\\";

// Writes the files the job's formats choose (by default the language's: points scripts
// for 2052, KML documents otherwise, and the CSV): the day files first, then the GPX, then
// the CSV of the whole list; the files that are not in place. An empty list writes
// nothing. Stale temporary files that a killed save left in the folders it writes to are
// removed first.
std::vector<ExportFailure> SaveFiles(const CExportJob& job);

// The box that names a file not in place and the system's reason.
void ShowSaveFailure(const ExportFailure& failure, unsigned langId);

// The export run on its own thread: SaveFiles, a message box for each file not in
// place naming it and the system's reason, then WM_FILES_SAVED to `window` with the
// number of those files as wParam (0: every file is in place). The records are the
// run's own, so nothing the window does meanwhile can change what is saved.
void SaveWorker(CLogRecordList records, std::wstring snText, std::wstring versionText, unsigned langId,
                HWND window);

}  // namespace wing
